#include "ui/manual_screen.h"

#include "config/config.h"

namespace {

constexpr int kFrequencyDecimals = 2;

} // namespace

ManualScreen::ManualScreen(Config& config)
    : HorizontalMenuItem("Экран ручного режима"), list_("Настройки ручного режима"),
      noLimits_(config.manualNoLimits), frequency1_(config.manualFreqDrive1, kFrequencyDecimals),
      frequency2_(config.manualFreqDrive2, kFrequencyDecimals), reverseStart_(config.manualReverseStart) {
    // The list is the page itself: nothing closes it, and left and right belong to the page set.
    list_.setCancelCloses(false);
    list_.setConsumesLeftRight(false);
    list_.addMenuItem(&noLimits_);
    list_.addMenuItem(&frequency1_);
    list_.addMenuItem(&frequency2_);
    list_.addMenuItem(&reverseStart_);
}

ManualScreen::~ManualScreen() {
    // Off the display before its entries leave it one by one.
    list_.deactivate();
}

bool ManualScreen::onKey(int key, bool pressed) {
    return list_.onKey(key, pressed);
}

void ManualScreen::setIndex(int index) {
    HorizontalMenuItem::setIndex(index);
    list_.setPageOrigin(pageOrigin());
}

void ManualScreen::close() {
    list_.close();
}

void ManualScreen::showList() {
    list_.activate(index());
}
