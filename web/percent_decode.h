#pragma once
// Percent-decoding of HTTP/2 paths, query pieces, cookies and header values. "+" stays "+"; a text
// shorter than 4 characters, and the last two characters of any text, are taken as they are.

#include <string>

std::string percentDecode(const std::string& text);
