#include "ui/service_item.h"

#include "core/registry.h"
#include "ui/display.h"
#include "ui/keys.h"

namespace {

constexpr long kMessageFontSize = 1024;
constexpr uint8_t kInk = 255;

} // namespace

void ServiceItem::activate(int) {
    message_ = act();
    show();
    if (gDisplay) {
        Font& font = gDisplay->font(FontFace::Arial);
        font.setSize(kMessageFontSize);
        for (const MessageLine& line : message_)
            page_.drawText(font, line.text, line.x, line.baseline, kInk);
    }
    refresh();
    afterShown();
}

bool ServiceItem::onKey(int key, bool pressed) {
    if (!isShown() || !isPanelKey(key))
        return false;
    if (pressed && key == kKeyCancel)
        close();
    return true;
}
