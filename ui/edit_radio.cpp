#include "ui/edit_radio.h"

#include "config/config_select.h"
#include "core/registry.h"
#include "ui/display.h"
#include "ui/keys.h"

#include <algorithm>

namespace {

constexpr long kListFontSize = 704;
constexpr int kBaseline = 11;

} // namespace

EditRadio::EditRadio(ConfigSelect& setting) : ScreenItem(setting.label), select_(setting) {}

void EditRadio::activate(int) {
    int count = static_cast<int>(select_.options.size());
    cursor_ = std::min(std::max(select_.current, 0), std::max(count - 1, 0));
    top_ = 0;
    show();
    draw();
}

void EditRadio::confirm() {
    if (cursor_ != select_.current)
        select_.set(cursor_);
    close();
}

bool EditRadio::onKey(int key, bool pressed) {
    if (!isShown() || !isPanelKey(key))
        return false;
    if (!pressed)
        return true;
    int count = static_cast<int>(select_.options.size());
    switch (key) {
    case kKeyDown:
        cursor_ = std::min(cursor_ + 1, std::max(count - 1, 0));
        break;
    case kKeyUp:
        cursor_ = std::max(cursor_ - 1, 0);
        break;
    case kKeyEnter:
        confirm();
        if (!isShown())
            return true;
        break;
    case kKeyCancel:
        close();
        return true;
    default:
        return true;
    }
    draw();
    return true;
}

void EditRadio::drawRow(int option, int y) {
    Font& font = gDisplay->font(FontFace::Arial);
    page_.drawText(font, "(", 3, y + kBaseline, 255);
    page_.drawText(font, ")", 13, y + kBaseline, 255);
    if (option == select_.current)
        page_.drawText(font, "*", 8, y + kBaseline, 255);
    page_.drawText(font, select_.optionText(option), 24, y + kBaseline, 255);
}

void EditRadio::draw() {
    if (!gDisplay || !isShown())
        return;
    int visibleRows = std::max(1, (page_.height() - 1) / kListRowHeight);
    if (cursor_ < top_)
        top_ = cursor_;
    if (cursor_ >= top_ + visibleRows)
        top_ = cursor_ - visibleRows + 1;
    page_.clear();
    gDisplay->font(FontFace::Arial).setSize(kListFontSize);
    int count = static_cast<int>(select_.options.size());
    for (int option = top_; option < count && option < top_ + visibleRows; ++option)
        drawRow(option, (option - top_) * kListRowHeight);
    placeBar(0, (cursor_ - top_) * kListRowHeight, count > 0 ? page_.width() : 0, kListRowHeight + 1);
    refresh();
}
