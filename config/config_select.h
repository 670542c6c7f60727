#pragma once
// A choice among labelled options (the position of an option is its stored value), and the three
// fixed choices yes/no, on/off and on/off/automatic.

#include <cstdint>
#include <string>
#include <vector>

class ConfigSelect {
public:
    ConfigSelect() = default;
    ConfigSelect(std::string label, int32_t defaultIndex, bool autosave);
    virtual ~ConfigSelect() = default;
    ConfigSelect(const ConfigSelect&) = delete;
    ConfigSelect& operator=(const ConfigSelect&) = delete;

    // An index outside the options is refused with an error line; a change is journalled (unless
    // quiet), reported and, with autosave, saved. Returns the index in force.
    virtual int32_t set(int32_t index);
    // Takes the other select's current index, as set does.
    virtual int32_t assign(const ConfigSelect& other);

    // The option at index, or an empty text outside the options.
    const std::string& optionText(int32_t index) const;
    const std::string& currentText() const { return optionText(current); }

    std::string label;
    int32_t defaultIndex = 0;
    int32_t current = 0;
    std::vector<std::string> options;
    bool autosave = false;
    // Set by an owner that does not want its changes journalled.
    bool quiet = false;

protected:
    // The checks and the journal line every select shares: false when the index is refused or already
    // current; otherwise current takes it and old holds the previous index.
    bool takeIndex(int32_t index, int32_t& old);
};

// Index 0 "Да", 1 "Нет".
class YesNo : public ConfigSelect {
public:
    explicit YesNo(std::string label = "", int32_t defaultIndex = 0, bool autosave = false);
};

// Index 0 "Вкл.", 1 "Откл.".
class OnOff : public ConfigSelect {
public:
    explicit OnOff(std::string label = "", int32_t defaultIndex = 0, bool autosave = false);
};

// Index 0 "Вкл.", 1 "Откл.", 2 "Авто".
class OnOffAuto : public ConfigSelect {
public:
    explicit OnOffAuto(std::string label = "", int32_t defaultIndex = 0, bool autosave = false);
};
