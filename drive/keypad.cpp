#include "drive/keypad.h"

Keypad::Keypad(KeyHandler& screens, DisplayBlanking& display) : screens_(screens), display_(display) {
    restartInactivity();
}

void Keypad::onKeyInput(int code, bool pressed) {
    wake();
    screens_.onKey(code, pressed);
    if (!pressed) {
        autorepeat_.cancel();
        return;
    }
    heldKey_ = code;
    autorepeat_.start("autorepeat", kFirstRepeatMs, [this] { repeat(); });
}

void Keypad::wake() {
    restartInactivity();
    display_.setBlank(false);
}

void Keypad::restartInactivity() {
    inactivity_.start("inactivity", kInactivityMs, [this] { inactive(); });
}

void Keypad::repeat() {
    screens_.onKey(heldKey_, true);
    autorepeat_.start("autorepeat", kRepeatMs, [this] { repeat(); });
}

void Keypad::inactive() {
    display_.setBlank(true);
    screens_.onInactivity();
}
