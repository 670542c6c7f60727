#include "fieldbus/bus_statistics.h"

namespace {

const char* const kCounterNames[kBusCounterCount] = {"TX", "TO", "Retr", "IOEr", "BCRC", "short"};

} // namespace

const char* busCounterName(BusCounter counter) {
    return kCounterNames[static_cast<size_t>(counter)];
}

void BusStatistics::count(BusCounter counter, int address) {
    ++totals_[index(counter)];
    if (address >= 0 && address <= 255)
        ++perAddress_[index(counter)][static_cast<size_t>(address)];
}
