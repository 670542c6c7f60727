#pragma once
// What every setter does after a change besides journalling it: tell the controller, then save.

#include <functional>

// The controller's view of a change. The setting is identified by its address; selects pass their
// indices, flags groups 0 and 0. When it runs, the setting already holds the new value.
using SettingChangeHook = std::function<void(const void* setting, float newValue, float oldValue)>;

// Calls the hook of the configuration object, when the object is registered and has one.
void reportSettingChange(const void* setting, float newValue, float oldValue);
// Rewrites the main configuration file when the setting saves automatically and the configuration
// object is registered (it is not while it loads its files).
void saveAfterChange(bool autosave);
