#include "ui/edit_string.h"

#include "config/config_string.h"
#include "core/registry.h"
#include "ui/display.h"
#include "ui/keys.h"
#include "ui/utf8.h"

namespace {

constexpr long kFieldFontSize = 960;
constexpr int kFieldX = 3;
constexpr int kFieldBaseline = 40;

std::u32string decoded(const std::string& text) {
    std::u32string points;
    decodeUtf8(text, points);
    return points;
}

std::u32string printableAscii() {
    std::u32string points;
    for (char32_t c = U' '; c <= U'~'; ++c)
        points += c;
    return points;
}

} // namespace

const std::u32string& EditString::defaultAlphabet() {
    static const std::u32string alphabet = printableAscii() + decoded("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ") +
                                           decoded("абвгдеёжзийклмнопрстуфхцчшщъыьэюя");
    return alphabet;
}

const std::u32string& EditString::wellNameAlphabet() {
    static const std::u32string alphabet =
        decoded(" #$%&'(),-.0123456789=@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~"
                "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя");
    return alphabet;
}

EditString::EditString(ConfigString& setting, const std::u32string& alphabet, size_t maxLength)
    : ScreenItem(setting.label), setting_(setting), alphabet_(alphabet),
      maxLength_(maxLength ? maxLength : 1) {}

void EditString::activate(int) {
    // Text that is not valid UTF-8 starts empty rather than as garbage.
    text_ = decoded(setting_.value);
    cursor_ = 0;
    first_ = 0;
    show();
    draw();
}

void EditString::cycle(int direction) {
    if (alphabet_.empty())
        return;
    if (static_cast<size_t>(cursor_) >= text_.size())
        text_.resize(static_cast<size_t>(cursor_) + 1, U' ');
    char32_t& character = text_[cursor_];
    size_t at = alphabet_.find(character);
    size_t size = alphabet_.size();
    if (at == std::u32string::npos)
        character = direction > 0 ? alphabet_[size > 1 ? 1 : 0] : alphabet_[size - 1];
    else
        character = alphabet_[(at + size + direction) % size];
}

bool EditString::onKey(int key, bool pressed) {
    if (!isShown() || !isPanelKey(key))
        return false;
    if (!pressed)
        return true;
    switch (key) {
    case kKeyLeft:
        if (cursor_ > 0)
            --cursor_;
        break;
    case kKeyRight:
        if (static_cast<size_t>(cursor_) + 1 < maxLength_)
            ++cursor_;
        break;
    case kKeyUp:
        cycle(1);
        break;
    case kKeyDown:
        cycle(-1);
        break;
    case kKeyEnter: {
        std::u32string result = text_;
        result.erase(result.find_last_not_of(U' ') + 1);
        setting_.set(encodeUtf8(result));
        close();
        return true;
    }
    case kKeyCancel:
        close();
        return true;
    }
    if (cursor_ < first_)
        first_ = cursor_;
    if (cursor_ >= first_ + kVisibleCharacters)
        first_ = cursor_ - kVisibleCharacters + 1;
    draw();
    return true;
}

void EditString::draw() {
    if (!gDisplay || !isShown())
        return;
    clearWithTitle();
    std::u32string window;
    for (int i = first_; i < first_ + kVisibleCharacters; ++i)
        window += static_cast<size_t>(i) < text_.size() ? text_[i] : U' ';
    Font& field = gDisplay->font(FontFace::RobotoMono);
    field.setSize(kFieldFontSize);
    page_.drawText(field, encodeUtf8(window), kFieldX, kFieldBaseline, 255);
    int pitch = 0, height = 0;
    field.measure("0", pitch, height);
    placeBar(kFieldX + (cursor_ - first_) * pitch, kFieldBaseline - 15, pitch, 19);
    refresh();
}
