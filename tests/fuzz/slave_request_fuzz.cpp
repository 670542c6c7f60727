// The SCADA slave's request handler: any request PDU gets nothing (a broadcast or a fragment) or a
// well-formed answer, a normal one or an exception, and leaves every setting valid.

#include "core/registry.h"
#include "fieldbus/smbus_slave.h"
#include "tests/fuzz/fuzz_board.h"
#include "tests/fuzz/fuzz_config.h"

#include <cstddef>
#include <cstdint>

namespace {

// The longest answer: a read of 127 registers.
constexpr size_t kLongestAnswer = 3 + 2 * SMBusSlave::kMaxReadRegisters;
constexpr uint8_t kExceptionBit = 0x80;

std::string wellFormed(const Bytes& request, const Bytes& response) {
    if (request.size() < 2 || request[0] == 0)
        return response.empty() ? "" : "answered a broadcast or a fragment";
    if (response.size() < 3 || response[0] != request[0])
        return "an answer of " + std::to_string(response.size()) + " bytes";
    if (response[1] == (request[1] | kExceptionBit))
        return response.size() == 3 && response[2] >= 1 && response[2] <= 3 ? "" : "a malformed exception";
    if (response[1] != request[1] || response.size() > kLongestAnswer)
        return "function " + std::to_string(response[1]) + " in " + std::to_string(response.size()) +
               " bytes";
    // Reads carry their byte count; writes echo address and quantity or value.
    uint8_t function = request[1];
    if (function >= 1 && function <= 4 && response[2] + 3u != response.size())
        return "a read answer whose byte count is not its length";
    if ((function == 5 || function == 6 || function == 15 || function == 16) && response.size() != 6)
        return "a write answer of " + std::to_string(response.size()) + " bytes";
    return "";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBoard::get().clearLog();
    fuzzTimers();
    gSerialNumber = "unknown";
    std::unique_ptr<Config>& config = defaultConfig();
    SMBusSlave slave;
    // An input is one request or several, separated by the byte pair 0xFF 0xFE.
    Bytes request;
    auto handle = [&] {
        Bytes response = slave.handleRequest(request);
        std::string fault = wellFormed(request, response);
        FUZZ_CHECK(fault.empty(), fault);
        request.clear();
    };
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0xFE) {
            handle();
            ++i;
            continue;
        }
        request.push_back(data[i]);
    }
    handle();
    std::string offender;
    FUZZ_CHECK(settingsValid(*config, offender), offender + " holds an invalid value");
    return 0;
}
