#pragma once
// Traffic counters of a serial Modbus line, as totals and per slave address.

#include <array>
#include <cstddef>
#include <cstdint>

// In the column order of the debug screen ("TX    TO   Retr  IOEr BCRC short").
enum class BusCounter {
    kTx,      // a transmission was written completely
    kTimeout, // the answer time-out expired
    kRetry,   // a request was sent again after a time-out
    kIoError, // the port reported an error or hang-up
    kBadCrc,  // an RTU frame failed the CRC check
    kShort,   // an RTU frame shorter than 4 bytes was received
};
constexpr int kBusCounterCount = 6;

// "TX", "TO", "Retr", "IOEr", "BCRC", "short".
const char* busCounterName(BusCounter counter);

class BusStatistics {
public:
    // address: the first byte of the request on the line, or -1 when there is none (totals only).
    void count(BusCounter counter, int address);

    uint32_t total(BusCounter counter) const { return totals_[index(counter)]; }
    uint32_t forAddress(BusCounter counter, uint8_t address) const {
        return perAddress_[index(counter)][address];
    }

private:
    static size_t index(BusCounter counter) { return static_cast<size_t>(counter); }

    std::array<uint32_t, kBusCounterCount> totals_{};
    std::array<std::array<uint32_t, 256>, kBusCounterCount> perAddress_{};
};
