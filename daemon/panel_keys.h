#pragma once
// The panel's side of the keypad routing: keys go to the root screen stack, blanking to the display.

#include "drive/keypad.h"

class Display;
class MenuSet;

class RootMenuKeys : public KeyHandler {
public:
    explicit RootMenuKeys(MenuSet& rootMenu) : rootMenu_(rootMenu) {}
    void onKey(int code, bool pressed) override;
    // Five minutes untouched: whatever menu or editor is open closes.
    void onInactivity() override;

private:
    MenuSet& rootMenu_;
};

class PanelBlanking : public DisplayBlanking {
public:
    explicit PanelBlanking(Display& display) : display_(display) {}
    void setBlank(bool blank) override;

private:
    Display& display_;
};
