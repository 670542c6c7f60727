// Control command "cadence": the periods of the 10 ms discrete-I/O exchange over the frames the
// simulated chain keeps (the last ten seconds by default), on the daemon's clock:
//   "ok frames=N p50=MS p99=MS max=MS late=N", late counting the periods over 15 ms.

#include "sim/sim_session.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A period this much over the nominal 10 ms counts as late.
constexpr uint32_t kLatePeriodMs = 15;

uint32_t at(const std::vector<uint32_t>& sorted, double fraction) {
    auto index = static_cast<size_t>(fraction * static_cast<double>(sorted.size()));
    return sorted[std::min(sorted.size() - 1, index)];
}

} // namespace

std::string cadenceOfKeptFrames(const platform::SimSpi& spi) {
    const auto& frames = spi.outputFrames();
    if (frames.size() < 2)
        return "error fewer than two exchanges kept";
    std::vector<uint32_t> periods;
    periods.reserve(frames.size() - 1);
    // Unsigned difference: right across the wrap of the 32-bit millisecond count.
    for (size_t i = 1; i < frames.size(); ++i)
        periods.push_back(frames[i].atMs - frames[i - 1].atMs);
    std::sort(periods.begin(), periods.end());
    auto late = std::count_if(periods.begin(), periods.end(), [](uint32_t ms) { return ms > kLatePeriodMs; });
    char line[160];
    std::snprintf(line, sizeof line, "ok frames=%zu p50=%u p99=%u max=%u late=%ld", frames.size(),
                  at(periods, 0.50), at(periods, 0.99), periods.back(), static_cast<long>(late));
    return line;
}

void addCadenceCommand(ControlServer& control, platform::SimSpi& spi) {
    control.addCommand("cadence",
                       [&spi](const std::vector<std::string>&) { return cadenceOfKeptFrames(spi); });
}
