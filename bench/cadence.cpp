#include "bench/cadence.h"

#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

double percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty())
        return 0;
    auto index = static_cast<size_t>(fraction * static_cast<double>(sorted.size()));
    return sorted[std::min(sorted.size() - 1, index)];
}

uint32_t realMonotonicMs() {
    timespec now = platform::SystemClock().monotonic();
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

std::vector<uint32_t> exchangeTimes(const platform::SimSpi& spi, uint32_t fromMs, uint32_t toMs) {
    std::vector<uint32_t> times;
    for (const platform::SimSpiOutputFrame& frame : spi.outputFrames())
        if (frame.atMs >= fromMs && frame.atMs <= toMs)
            times.push_back(frame.atMs);
    return times;
}

Cadence cadenceOf(const std::vector<uint32_t>& timesMs, double nominalMs) {
    Cadence cadence;
    if (timesMs.size() < 2)
        return cadence;
    std::vector<double> periods;
    std::vector<double> errors;
    for (size_t i = 1; i < timesMs.size(); ++i) {
        // Unsigned difference: right across the wrap of the 32-bit millisecond count.
        auto period = static_cast<double>(static_cast<uint32_t>(timesMs[i] - timesMs[i - 1]));
        periods.push_back(period);
        errors.push_back(std::fabs(period - nominalMs));
    }
    std::sort(periods.begin(), periods.end());
    std::sort(errors.begin(), errors.end());
    cadence.periods = periods.size();
    cadence.spanMs = static_cast<double>(static_cast<uint32_t>(timesMs.back() - timesMs.front()));
    cadence.p50Ms = percentile(periods, 0.50);
    cadence.p99Ms = percentile(periods, 0.99);
    cadence.maxMs = periods.back();
    cadence.p99ErrorMs = percentile(errors, 0.99);
    cadence.maxErrorMs = errors.back();
    return cadence;
}

std::string describe(const Cadence& cadence) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "%zu periods over %.1f s: p50 %.0f ms, p99 %.0f ms, max %.0f ms; p99 error %.0f ms, "
                  "max error %.0f ms",
                  cadence.periods, cadence.spanMs / 1000.0, cadence.p50Ms, cadence.p99Ms, cadence.maxMs,
                  cadence.p99ErrorMs, cadence.maxErrorMs);
    return line;
}

} // namespace bench
