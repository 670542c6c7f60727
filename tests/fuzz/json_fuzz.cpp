// The web API's JSON parser: any bytes parse or are refused without harm; what parses is nested no
// deeper than the limit, and its serialization parses back to the same serialization.

#include "tests/fuzz/fuzz_board.h"
#include "web/json_value.h"

#include <cstddef>
#include <cstdint>

namespace {

int depthOf(const JsonValue& value) {
    int deepest = 0;
    for (const JsonValue& item : value.items)
        deepest = std::max(deepest, depthOf(item));
    for (const auto& member : value.members)
        deepest = std::max(deepest, depthOf(member.second));
    bool container = value.type == kJsonArray || value.type == kJsonHash;
    return deepest + (container ? 1 : 0);
}

// Keys are serialized as they are, so only a value whose keys need no escape can come back whole.
bool keysPlain(const JsonValue& value) {
    for (const JsonValue& item : value.items)
        if (!keysPlain(item))
            return false;
    for (const auto& [key, member] : value.members) {
        if (key.find_first_of("\"\\") != std::string::npos || !keysPlain(member))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    JsonValue value;
    if (!parseJson(input, value)) {
        FUZZ_CHECK(value.type == kJsonUndefined, "a refused input leaves a value behind");
        return 0;
    }
    FUZZ_CHECK(depthOf(value) <= kJsonMaxDepth, "nested deeper than the limit");
    if (!keysPlain(value))
        return 0;
    // A number at the very end of the input is refused by design, so the text gets a trailing space.
    std::string first = serializeJson(value);
    JsonValue again;
    FUZZ_CHECK(parseJson(first + " ", again), "its own serialization is refused: " + first);
    std::string second = serializeJson(again);
    FUZZ_CHECK(second == first, first + " became " + second);
    return 0;
}
