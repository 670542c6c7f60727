#include "ui/alarm_list_page.h"

#include "ui/display.h"
#include "ui/keys.h"

#include <algorithm>

namespace {

constexpr long kFontSize = 704;
constexpr int kHeadingX = 60;
constexpr int kHeadingY = 11;
constexpr int kFirstRowY = 25;
constexpr int kEmptyX = 80;
constexpr int kEmptyY = 31;
constexpr uint8_t kInk = 255;

} // namespace

AlarmListPage::AlarmListPage(const AlarmList& alarms)
    : HorizontalMenuItem("Аварии привода:"), alarms_(alarms) {
    layer_.visible = false;
    alarms_.addObserver(this);
}

AlarmListPage::~AlarmListPage() {
    alarms_.removeObserver(this);
    if (gDisplay)
        gDisplay->removeLayer(&layer_);
}

int AlarmListPage::visibleHeight() const {
    return gDisplay ? gDisplay->height() : kLayerHeight;
}

bool AlarmListPage::onKey(int key, bool pressed) {
    if (key != kKeyDown && key != kKeyUp)
        return false;
    if (!pressed)
        return true;
    int limit = std::max(0, contentHeight_ - visibleHeight());
    scroll_ += key == kKeyDown ? kScrollStep : -kScrollStep;
    scroll_ = std::clamp(scroll_, 0, limit);
    drawLayer(); // redraws the panel
    return true;
}

void AlarmListPage::drawLayer() {
    const auto& entries = alarms_.entries();
    contentHeight_ = std::max(kRowHeight * static_cast<int>(alarms_.count()) + 15, visibleHeight());
    scroll_ = std::clamp(scroll_, 0, std::max(0, contentHeight_ - visibleHeight()));
    if (!gDisplay)
        return;
    // The layer keeps its 85 rows; a scrolled list is drawn shifted up by the scroll offset.
    int width = entries.empty() ? kEmptyWidth : kListWidth;
    layer_ = Layer(Rect{0, width, 0, kLayerHeight}, true, kBlendCoverage);
    Font& font = gDisplay->font(FontFace::Arial);
    font.setSize(kFontSize);
    if (entries.empty()) {
        layer_.drawText(font, "Нет аварий", kEmptyX, kEmptyY, kInk);
    } else {
        layer_.drawText(font, "Аварии привода:", kHeadingX, kHeadingY - scroll_, kInk);
        int row = 0;
        for (const auto& entry : entries)
            layer_.drawText(font, entry.second.text, 0, kFirstRowY + kRowHeight * row++ - scroll_, kInk);
    }
    // Only a page that stands in the page set has a place on the panel.
    if (index() < 0)
        return;
    if (!gDisplay->hasLayer(&layer_))
        gDisplay->addLayer(&layer_);
    placeLayer();
    gDisplay->redraw();
}

void AlarmListPage::placeLayer() {
    if (gDisplay)
        layer_.moveTo(gDisplay->pageX(pageOrigin()), 0);
}
