#include "ui/vertical_menu.h"

#include "core/registry.h"
#include "ui/display.h"
#include "ui/keys.h"

#include <algorithm>

namespace {

constexpr long kListFontSize = 704;
constexpr int kTitleX = 3;
constexpr int kBaseline = 11; // within a 14-pixel row
constexpr uint8_t kEnabledInk = 255;
constexpr uint8_t kDisabledInk = 64;

} // namespace

VerticalMenu::VerticalMenu(std::string title, int32_t pageOrigin)
    : MenuSet(std::move(title)), pageOrigin_(pageOrigin) {}

VerticalMenu::~VerticalMenu() {
    if (gDisplay) {
        gDisplay->removeLayer(&list_);
        gDisplay->removeLayer(&bar_);
    }
}

void VerticalMenu::rebuild() {
    rebuildNeeded_ = false;
    if (!gDisplay)
        return;
    int width = gDisplay->width();
    int rows = static_cast<int>(items_.size());
    // Opaque: an open list hides the page or the menu it was opened from, down to the screen's bottom
    // even when scrolled to its last row (the rows do not fill the screen exactly).
    int scrolledRows = std::max(0, rows - visibleRows());
    int height = std::max(kRowHeight * rows + 1, kRowHeight * scrolledRows + gDisplay->height());
    list_ = Layer(Rect{0, width, 0, height}, false, kBlendOpaque);
    bar_ = Layer(Rect{0, width, 0, kRowHeight + 1}, false, kBlendExclusion);
    bar_.fillRect(bar_.rect(), 255);
    Font& font = gDisplay->font(FontFace::Arial);
    font.setSize(kListFontSize);
    for (int row = 0; row < rows; ++row) {
        const MenuItem* item = items_[row];
        int baseline = row * kRowHeight + kBaseline;
        if (!item) {
            list_.drawText(font, "*** NULL ***", kTitleX, baseline, kEnabledInk);
            continue;
        }
        list_.drawText(font, item->titleRef(), kTitleX, baseline,
                       item->enabled() ? kEnabledInk : kDisabledInk);
    }
}

int VerticalMenu::visibleRows() const {
    return gDisplay ? std::max(1, (gDisplay->height() - 1) / kRowHeight) : 1;
}

void VerticalMenu::placeLayers() {
    if (!gDisplay)
        return;
    int visibleRows = this->visibleRows();
    if (current_ >= 0) {
        if (current_ < top_)
            top_ = current_;
        if (current_ >= top_ + visibleRows)
            top_ = current_ - visibleRows + 1;
    }
    int32_t x = gDisplay->pageX(pageOrigin_);
    list_.moveTo(x, -top_ * kRowHeight);
    bar_.moveTo(x, (std::max(current_, 0) - top_) * kRowHeight);
    bar_.visible = shown_ && current_ >= 0;
    list_.visible = shown_;
}

void VerticalMenu::activate(int) {
    if (rebuildNeeded_)
        rebuild();
    shown_ = true;
    placeLayers();
    if (!gDisplay)
        return;
    gDisplay->addLayer(&list_);
    gDisplay->addLayer(&bar_);
    gDisplay->redraw();
}

void VerticalMenu::deactivate() {
    shown_ = false;
    list_.visible = false;
    bar_.visible = false;
    if (!gDisplay)
        return;
    gDisplay->removeLayer(&list_);
    gDisplay->removeLayer(&bar_);
    gDisplay->redraw();
}

void VerticalMenu::selectFirstEnabled() {
    auto it =
        std::find_if(items_.begin(), items_.end(), [](MenuItem* item) { return item && item->enabled(); });
    current_ = it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int VerticalMenu::addMenuItem(MenuItem* item) {
    int index = MenuSet::addMenuItem(item);
    rebuildNeeded_ = true;
    selectFirstEnabled();
    return index;
}

void VerticalMenu::removeMenuItem(int index) {
    // The selection is a row, not an open page: removing an entry never opens another one.
    if (!detachItem(index))
        return;
    if (current_ < 0 || current_ >= static_cast<int>(items_.size()) || !items_[current_] ||
        !items_[current_]->enabled())
        selectFirstEnabled();
    rebuildNeeded_ = true;
    if (shown_)
        activate(MenuItem::index());
}

void VerticalMenu::itemChanged(MenuItem*) {
    rebuildNeeded_ = true;
    if (current_ >= 0 && items_[current_] && !items_[current_]->enabled())
        moveSelection(1);
    if (current_ < 0 || !items_[current_] || !items_[current_]->enabled())
        selectFirstEnabled();
    if (!shown_)
        return;
    rebuild();
    placeLayers();
    if (gDisplay)
        gDisplay->redraw();
}

void VerticalMenu::moveSelection(int direction) {
    for (int i = current_ + direction; i >= 0 && i < static_cast<int>(items_.size()); i += direction) {
        if (items_[i] && items_[i]->enabled()) {
            current_ = i;
            return;
        }
    }
}

bool VerticalMenu::onKey(int key, bool pressed) {
    if (!shown_)
        return false;
    // The open entry, if any, gets the key first.
    if (MenuItem* item = currentItem())
        if (item->onKey(key, pressed))
            return true;
    if (!isPanelKey(key))
        return false;
    if (key == kKeyLeft || key == kKeyRight)
        return consumesLeftRight_;
    if (key == kKeyCancel && !cancelCloses_)
        return false;
    if (!pressed)
        return true;
    switch (key) {
    case kKeyDown:
    case kKeyUp:
        moveSelection(key == kKeyDown ? 1 : -1);
        placeLayers();
        if (gDisplay)
            gDisplay->redraw();
        return true;
    case kKeyEnter:
        if (MenuItem* item = currentItem())
            item->activate(current_);
        return true;
    case kKeyCancel:
        close();
        return true;
    }
    return false;
}
