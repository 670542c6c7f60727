// Percent-decoding: never longer than its input, texts without "%" come back unchanged, and decoding
// the encoding of any bytes gives them back.

#include "tests/fuzz/fuzz_board.h"
#include "web/percent_decode.h"

#include <cstddef>
#include <cstdint>

namespace {

std::string percentEncode(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        text += '%';
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string decoded = percentDecode(input);
    FUZZ_CHECK(decoded.size() <= input.size(), "decoding grew the text");
    if (input.find('%') == std::string::npos)
        FUZZ_CHECK(decoded == input, "a text without escapes changed");
    // Every byte escaped; texts shorter than four characters are not decoded, so a plain tail follows.
    std::string encoded = percentEncode(input) + "..";
    FUZZ_CHECK(percentDecode(encoded) == input + "..", "the encoding did not decode back");
    return 0;
}
