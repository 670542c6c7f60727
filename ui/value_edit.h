#pragma once
// The number editor: the value shown zero-padded, one digit under the cursor; up and down change
// that digit's place value within the setting's range.

#include "ui/screen_item.h"

#include <string>
#include <utility>
#include <vector>

struct ConfigFloat;

class ValueEdit : public ScreenItem {
public:
    // Values shown as a text instead of a number (exact match).
    using SpecialValues = std::vector<std::pair<float, std::string>>;

    ValueEdit(ConfigFloat& setting, int decimals, SpecialValues specials = {});

    bool onKey(int key, bool pressed) override;
    void activate(int index) override;

    // What the editor shows now: the number text, or the special text.
    std::string shownText() const;
    int cursor() const { return cursor_; }
    float editedValue() const { return edited_; }

private:
    void setEdited(float value);
    void moveCursor(int direction);
    void step(int direction);
    const std::string* specialText(float value) const;
    void draw();

    ConfigFloat& setting_;
    int decimals_;
    SpecialValues specials_;
    std::string format_;
    float edited_ = 0;
    std::string text_;
    int cursor_ = 0;
    bool special_ = false;
};
