#pragma once
// A set of independent on/off options held as a bit mask: flag i is option i and bit i.

#include "config/config_select.h"

class ConfigFlagsGroup : public ConfigSelect {
public:
    static constexpr size_t kMaxFlags = 64;

    ConfigFlagsGroup() = default;
    ConfigFlagsGroup(std::string label, uint64_t mask, bool autosave);

    // A flag number outside the options is refused with an error line; a change is journalled
    // (unless quiet), reported and, with autosave, saved.
    void setFlag(unsigned flag, bool on);
    // Takes the whole mask, unchecked against the number of flags.
    void setAll(uint64_t newMask);
    bool isOn(unsigned flag) const { return flag < kMaxFlags && (mask >> flag & 1) != 0; }

    // The inherited current index plays no part in it.
    uint64_t mask = 0;
};
