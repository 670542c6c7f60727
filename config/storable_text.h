#pragma once
// Which texts a setting may hold: those the configuration file can store and load back unchanged.

#include <cstddef>
#include <string>

// The longest text a setting holds (the Modbus texts take 256 bytes); a file holding a longer one was
// not written by this system.
constexpr size_t kMaxSettingTextBytes = 1024;

// True for at most kMaxSettingTextBytes of UTF-8 (shortest forms only) of characters XML allows, none of them
// a control character (below U+0020, so no zero byte, tab or line break either).
bool isStorableText(const std::string& text);
