#include "web/percent_decode.h"

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string percentDecode(const std::string& text) {
    const size_t kShortest = 4;
    if (text.size() < kShortest)
        return text;
    std::string decoded;
    decoded.reserve(text.size());
    size_t i = 0;
    while (i + 2 < text.size()) {
        int high = hexValue(text[i + 1]);
        int low = hexValue(text[i + 2]);
        if (text[i] == '%' && high >= 0 && low >= 0) {
            decoded += static_cast<char>(high << 4 | low);
            i += 3;
        } else {
            decoded += text[i];
            ++i;
        }
    }
    decoded.append(text, i, std::string::npos);
    return decoded;
}
