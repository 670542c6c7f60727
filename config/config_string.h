#pragma once
// A text setting: any text, no length limit.

#include <string>

struct ConfigString {
    std::string label;
    std::string defaultValue;
    std::string value;
    bool autosave = false;

    // A different text is journalled and, with autosave, saved. The controller is not told.
    void set(const std::string& text);
};
