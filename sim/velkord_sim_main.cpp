// velkord-sim: the daemon, started through the same start-up code, on a simulated board.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "core/velkord.h"
#include "platform/sim_platform.h"
#include "platform/virtual_clock.h"
#include "sim/options.h"
#include "sim/sandbox.h"
#include "sim/sim_session.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<platform::Clock> makeClock(double speed) {
    if (speed == 0)
        return std::make_unique<platform::VirtualClock>(platform::SystemClock().monotonic().tv_sec * 1000ull,
                                                        platform::SystemClock().wallTime().tv_sec);
    if (speed == 1)
        return std::make_unique<platform::SystemClock>();
    return std::make_unique<platform::ScaledClock>(speed);
}

std::string absolutePath(const std::string& path) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved))
        return path;
    return resolved;
}

} // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!parseSimOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "velkord-sim: %s\n%s", error.c_str(), kSimUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kSimUsage, stdout);
        return 0;
    }
    if (!options.scenario.empty() && options.scenario != "normal") {
        std::fprintf(stderr, "velkord-sim: unknown scenario: %s\n", options.scenario.c_str());
        return 2;
    }
    if (!prepareSandbox(options.root, error)) {
        std::fprintf(stderr, "velkord-sim: %s\n", error.c_str());
        return 1;
    }

    platform::SimPlatform board(absolutePath(options.root), makeClock(options.speed));
    board.ports.http = options.httpPort;
    board.ports.https = options.httpsPort;
    board.ports.modbusTcp = options.modbusPort;
    std::unique_ptr<SimSession> session;
    board.onStarted = [&]() {
        session = std::make_unique<SimSession>(board);
        session->start();
        if (options.forSeconds >= 0) {
            auto stopAfterMs = static_cast<uint32_t>(options.forSeconds * 1000.0);
            gTimers->add("sim-for", stopAfterMs, []() { gTimers->quit = true; });
        }
    };
    board.onStopping = [&]() { session.reset(); };
    return runDaemon(board);
}
