#include "ui/read_only_string.h"

#include "core/registry.h"
#include "ui/display.h"
#include "ui/keys.h"

namespace {

constexpr long kTextFontSize = 960;

} // namespace

ReadOnlyString::ReadOnlyString(std::string title, std::string text)
    : MenuItem(std::move(title)), text_(std::move(text)) {
    layer_.visible = false;
}

ReadOnlyString::~ReadOnlyString() {
    if (gDisplay)
        gDisplay->removeLayer(&layer_);
}

void ReadOnlyString::activate(int) {
    if (!gDisplay)
        return;
    layer_ = Layer(gDisplay->screen(), true, kBlendOpaque);
    Font& font = gDisplay->font(FontFace::Arial);
    font.setSize(kTextFontSize);
    layer_.drawText(font, text_, 2, 17, 255);
    gDisplay->addLayer(&layer_);
    gDisplay->redraw();
}

void ReadOnlyString::deactivate() {
    layer_.visible = false;
    if (!gDisplay)
        return;
    gDisplay->removeLayer(&layer_);
    gDisplay->redraw();
}

bool ReadOnlyString::onKey(int key, bool pressed) {
    if (!layer_.visible || key != kKeyCancel)
        return false;
    if (pressed)
        close();
    return true;
}
