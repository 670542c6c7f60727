#pragma once
// UTF-8 text to Unicode code points and back.

#include <string>

// False when the text is not valid UTF-8 (nothing is then decoded).
bool decodeUtf8(const std::string& text, std::u32string& codePoints);
std::string encodeUtf8(const std::u32string& codePoints);
