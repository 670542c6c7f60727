#include "ui/read_only_string.h"

#include "core/registry.h"
#include "ui/display.h"
#include "ui/keys.h"

namespace {

constexpr long kTextFontSize = 960;

} // namespace

ReadOnlyString::ReadOnlyString(std::string title, std::string text)
    : ScreenItem(std::move(title)), text_(std::move(text)) {}

void ReadOnlyString::activate(int) {
    show();
    if (!gDisplay)
        return;
    Font& font = gDisplay->font(FontFace::Arial);
    font.setSize(kTextFontSize);
    page_.drawText(font, text_, 2, 17, 255);
    refresh();
}

bool ReadOnlyString::onKey(int key, bool pressed) {
    if (!isShown() || key != kKeyCancel)
        return false;
    if (pressed)
        close();
    return true;
}
