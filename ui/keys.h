#pragma once
// Key codes of the panel's keypad.

enum Key : int {
    kKeyCancel = 33, // "ОТМ"
    kKeyLeft = 34,
    kKeyDown = 35,
    kKeyUp = 36,
    kKeyEnter = 37, // "ВВОД"
    kKeyRight = 38,
};

inline bool isPanelKey(int key) {
    return key >= kKeyCancel && key <= kKeyRight;
}
