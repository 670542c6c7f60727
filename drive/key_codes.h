#pragma once
// Keypad key codes: the numbers of the discrete inputs the keys are wired to.

constexpr int kKeyCancel = 33; // "ОТМ"
constexpr int kKeyLeft = 34;
constexpr int kKeyDown = 35;
constexpr int kKeyUp = 36;
constexpr int kKeyEnter = 37; // "ВВОД"
constexpr int kKeyRight = 38;

constexpr int kFirstKey = kKeyCancel;
constexpr int kLastKey = kKeyRight;

inline bool isKeyInput(int input) {
    return input >= kFirstKey && input <= kLastKey;
}
