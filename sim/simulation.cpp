#include "sim/simulation.h"

#include "core/registry.h"
#include "core/timer_queue.h"
#include "daemon/velkord.h"
#include "platform/sim_platform.h"
#include "platform/virtual_clock.h"
#include "sim/sandbox.h"
#include "sim/scenario.h"
#include "sim/web_files.h"

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

int runSimulation(const SimOptions& options, const SimulationHooks& hooks) {
    std::string error;
    Scenario scenario;
    if (!options.scenario.empty() && !loadScenario(options.scenario, scenario, error)) {
        std::fprintf(stderr, "velkord-sim: %s\n", error.c_str());
        return 2;
    }
    bool fresh = !sandboxCommissioned(options.root);
    if (!prepareSandbox(options.root, error) || !installSimThermometers(options.root, error) ||
        !installWebFiles(options.root, VELKORD_WWW_BUILD_DIR, VELKORD_USERS_FILE, error)) {
        std::fprintf(stderr, "velkord-sim: %s\n", error.c_str());
        return 1;
    }

    platform::SimPlatform board(absolutePath(options.root), makeClock(options.speed),
                                options.driveBusPty ? platform::DriveBusLine::kPty
                                                    : platform::DriveBusLine::kLocal);
    board.ports.http = options.httpPort;
    board.ports.https = options.httpsPort;
    board.ports.modbusTcp = options.modbusPort;
    std::unique_ptr<SimSession> session;
    bool scenarioRefused = false;
    board.onStarted = [&]() {
        session = std::make_unique<SimSession>(board, fresh, std::move(scenario));
        if (!session->start()) {
            scenarioRefused = true;
            gTimers->quit = true;
        }
        if (options.forSeconds >= 0) {
            auto stopAfterMs = static_cast<uint32_t>(options.forSeconds * 1000.0);
            gTimers->add("sim-for", stopAfterMs, []() { gTimers->quit = true; });
        }
        if (hooks.started)
            hooks.started(*session);
    };
    board.onStopping = [&]() {
        if (session && hooks.stopping)
            hooks.stopping(*session);
        session.reset();
    };
    int status = runDaemon(board);
    return scenarioRefused ? 2 : status;
}
