#pragma once
// A number setting, kept inside its bounds by every set.

#include <string>

struct ConfigFloat {
    std::string label;
    float defaultValue = 0;
    float value = 0;
    float minValue = 0;
    float maxValue = 0;
    bool autosave = false;

    // Clamps the request into [minValue, maxValue] (NaN becomes minValue); a change is journalled,
    // reported and, with autosave, saved. Returns the value in force.
    float set(float requested);
};
