#pragma once
// What the benches share: percentiles, the real monotonic clock in milliseconds, a free loopback port,
// and the cadence record of the daemon's 10 ms discrete-I/O exchange as the simulated chain saw it.

#include "platform/sim_spi.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The nominal period of the discrete-I/O exchange.
constexpr double kIoPeriodMs = 10;

// The value below which `fraction` of the sorted values lie; 0 for none.
double percentile(const std::vector<double>& sorted, double fraction);

// The real monotonic clock, in milliseconds truncated to 32 bits, as the simulated chain stamps frames.
uint32_t realMonotonicMs();

// A loopback TCP port nobody listens on at this moment.
int freePort();

// The moments of the exchanges the simulated chain recorded between two monotonic times.
std::vector<uint32_t> exchangeTimes(const platform::SimSpi& spi, uint32_t fromMs, uint32_t toMs);

// Periods between successive moments, against their nominal length.
struct Cadence {
    size_t periods = 0;
    // From the first moment to the last.
    double spanMs = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    double maxMs = 0;
    // |period - nominal|.
    double p99ErrorMs = 0;
    double maxErrorMs = 0;
};

Cadence cadenceOf(const std::vector<uint32_t>& timesMs, double nominalMs = kIoPeriodMs);

// One line: "N periods over S s: p50 P ms, p99 P ms, max P ms; p99 error E ms, max E ms".
std::string describe(const Cadence& cadence);

} // namespace bench
