#pragma once
// A text setting: any text the configuration file can hold (storable_text.h), no length limit.

#include <string>

struct ConfigString {
    std::string label;
    std::string defaultValue;
    std::string value;
    bool autosave = false;

    // A different text is journalled and, with autosave, saved. The controller is not told. A text the
    // file could not load back is refused with an error line and the value kept.
    void set(const std::string& text);
};
