#include "ui/value_edit.h"

#include "config/config_float.h"
#include "core/log.h"
#include "core/registry.h"
#include "ui/display.h"
#include "ui/keys.h"

#include <cctype>
#include <cmath>

namespace {

constexpr long kValueFontSize = 1024;
constexpr int kTextX = 3;
constexpr int kTextBaseline = 40;

int digitsRightOf(const std::string& text, int position) {
    int count = 0;
    for (size_t i = static_cast<size_t>(position) + 1; i < text.size(); ++i)
        if (std::isdigit(static_cast<unsigned char>(text[i])))
            ++count;
    return count;
}

} // namespace

ValueEdit::ValueEdit(ConfigFloat& setting, int decimals, SpecialValues specials)
    : ScreenItem(setting.label), setting_(setting), decimals_(decimals), specials_(std::move(specials)) {
    // Wide enough for the largest value: 600 with 2 decimals reads 060.00.
    int width = setting.maxValue > 0 ? static_cast<int>(std::log10(setting.maxValue) + 1) : 1;
    if (decimals_ > 0)
        width += decimals_ + 1;
    format_ = formatText("%%0%d.%df", std::max(width, 1), decimals_);
}

const std::string* ValueEdit::specialText(float value) const {
    for (const auto& special : specials_)
        if (special.first == value)
            return &special.second;
    return nullptr;
}

std::string ValueEdit::shownText() const {
    if (special_)
        if (const std::string* text = specialText(edited_))
            return *text;
    return text_;
}

void ValueEdit::setEdited(float value) {
    edited_ = value;
    special_ = specialText(value) != nullptr;
    text_ = formatText(format_.c_str(), static_cast<double>(value));
}

void ValueEdit::activate(int) {
    setEdited(setting_.value);
    cursor_ = static_cast<int>(text_.size()) - 1;
    show();
    draw();
}

void ValueEdit::moveCursor(int direction) {
    int next = cursor_ + direction;
    if (next >= 0 && next < static_cast<int>(text_.size()) && text_[next] == '.')
        next += direction;
    if (next >= 0 && next < static_cast<int>(text_.size()))
        cursor_ = next;
}

void ValueEdit::step(int direction) {
    int position = special_ ? static_cast<int>(text_.size()) - 1 : cursor_;
    int keptRight = static_cast<int>(text_.size()) - 1 - position;
    double place = std::pow(10.0, digitsRightOf(text_, position) - decimals_);
    double value = edited_ + direction * place;
    if (value < setting_.minValue)
        value = setting_.minValue;
    if (value > setting_.maxValue)
        value = setting_.maxValue;
    // What is shown is what gets stored: no binary fractions creep in from repeated steps.
    double scale = std::pow(10.0, decimals_);
    setEdited(static_cast<float>(std::round(value * scale) / scale));
    // Stay on the same decimal place when the text grows or shrinks.
    cursor_ = std::max(0, static_cast<int>(text_.size()) - 1 - keptRight);
    if (text_[cursor_] == '.')
        moveCursor(-1);
}

bool ValueEdit::onKey(int key, bool pressed) {
    if (!isShown() || !isPanelKey(key))
        return false;
    if (!pressed)
        return true;
    switch (key) {
    case kKeyLeft:
    case kKeyRight:
        if (!special_)
            moveCursor(key == kKeyLeft ? -1 : 1);
        break;
    case kKeyDown:
    case kKeyUp:
        step(key == kKeyUp ? 1 : -1);
        break;
    case kKeyEnter:
        setting_.set(edited_);
        close();
        return true;
    case kKeyCancel:
        close();
        return true;
    }
    draw();
    return true;
}

void ValueEdit::draw() {
    if (!gDisplay || !isShown())
        return;
    clearWithTitle();
    Font& font = gDisplay->font(FontFace::Arial);
    font.setSize(kValueFontSize);
    page_.drawText(font, shownText(), kTextX, kTextBaseline, 255);
    if (special_) {
        placeBar(0, 0, 0, 0);
    } else {
        int before = 0, through = 0, height = 0;
        font.measure(text_.substr(0, static_cast<size_t>(cursor_)), before, height);
        font.measure(text_.substr(0, static_cast<size_t>(cursor_) + 1), through, height);
        placeBar(kTextX + before, kTextBaseline - 18, through - before, 22);
    }
    refresh();
}
