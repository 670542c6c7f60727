#pragma once
// Which texts a setting may hold: those the configuration file can store and load back unchanged.

#include <string>

// True for UTF-8 (shortest forms only) of characters XML allows, none of them a control character
// (below U+0020, so no zero byte, tab or line break either).
bool isStorableText(const std::string& text);
