#include "ui/screen_item.h"

#include "core/registry.h"
#include "ui/display.h"

namespace {

constexpr long kTitleFontSize = 704;
constexpr int kTitleX = 3;
constexpr int kTitleBaseline = 12;

} // namespace

ScreenItem::ScreenItem(std::string title) : MenuItem(std::move(title)) {
    page_.visible = false;
    bar_.visible = false;
}

ScreenItem::~ScreenItem() {
    if (!gDisplay)
        return;
    gDisplay->removeLayer(&page_);
    gDisplay->removeLayer(&bar_);
}

void ScreenItem::show() {
    shown_ = true;
    if (!gDisplay)
        return;
    page_ = Layer(gDisplay->screen(), true, kBlendOpaque);
    bar_ = Layer(Rect{}, false, kBlendExclusion);
    gDisplay->removeLayer(&page_);
    gDisplay->removeLayer(&bar_);
    gDisplay->addLayer(&page_);
    gDisplay->addLayer(&bar_);
}

void ScreenItem::deactivate() {
    if (shown_)
        hide();
}

void ScreenItem::hide() {
    shown_ = false;
    page_.visible = false;
    bar_.visible = false;
    if (!gDisplay)
        return;
    gDisplay->removeLayer(&page_);
    gDisplay->removeLayer(&bar_);
    gDisplay->redraw();
}

void ScreenItem::clearWithTitle() {
    page_.clear();
    if (!gDisplay)
        return;
    Font& font = gDisplay->font(FontFace::Arial);
    font.setSize(kTitleFontSize);
    page_.drawText(font, titleRef(), kTitleX, kTitleBaseline, 255);
}

void ScreenItem::refresh() {
    if (gDisplay)
        gDisplay->redraw();
}

void ScreenItem::placeBar(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) {
        bar_.visible = false;
        return;
    }
    if (bar_.width() != width || bar_.height() != height) {
        bar_ = Layer(Rect{0, width, 0, height}, true, kBlendExclusion);
        bar_.fillRect(bar_.rect(), 255);
    }
    bar_.moveTo(page_.left() + x, page_.top() + y);
    bar_.visible = true;
}
