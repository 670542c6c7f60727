#include "sim/simulation.h"

#include "core/registry.h"
#include "core/timer_queue.h"
#include "daemon/velkord.h"
#include "platform/clock.h"
#include "platform/sim_platform.h"
#include "platform/virtual_clock.h"
#include "sim/sandbox.h"
#include "sim/scenario.h"
#include "sim/web_files.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

std::unique_ptr<platform::Clock> makeClock(double speed) {
    if (speed == 0)
        return std::make_unique<platform::VirtualClock>(platform::SystemClock().monotonic().tv_sec * 1000ull,
                                                        platform::SystemClock().wallTime().tv_sec);
    if (speed == 1)
        return std::make_unique<platform::SystemClock>();
    return std::make_unique<platform::ScaledClock>(speed);
}

// The init script's stop of the running daemon comes this long after the panel's request.
constexpr uint32_t kInitScriptDelayMs = 1000;

std::string absolutePath(const std::string& path) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved))
        return path;
    return resolved;
}

std::unique_ptr<platform::SimPlatform> makeBoard(const SimOptions& options) {
    auto board = std::make_unique<platform::SimPlatform>(absolutePath(options.root), makeClock(options.speed),
                                                         options.driveBusPty ? platform::DriveBusLine::kPty
                                                                             : platform::DriveBusLine::kLocal);
    board->ports.http = options.httpPort;
    board->ports.https = options.httpsPort;
    board->ports.modbusTcp = options.modbusPort;
    return board;
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

    std::unique_ptr<platform::SimPlatform> board = makeBoard(options);
    std::unique_ptr<SimSession> session;
    bool scenarioRefused = false;
    double remainingMs = options.forSeconds >= 0 ? options.forSeconds * 1000.0 : -1.0;
    uint32_t startedAtMs = 0;
    int status = 0;
    for (;;) {
        // What the panel asked for: the init script stops this daemon a moment later and starts it
        // again; a reboot brings the whole board up from cold.
        std::optional<platform::PowerAction> action;
        board->simSystemControl().setPowerListener([&action](platform::PowerAction requested) {
            if (action || !gTimers)
                return;
            action = requested;
            gTimers->add("init-script", kInitScriptDelayMs, [] { gTimers->quit = true; });
        });
        board->onStarted = [&]() {
            session = std::make_unique<SimSession>(*board, fresh, std::move(scenario));
            fresh = false;
            scenario = Scenario();
            if (!session->start()) {
                scenarioRefused = true;
                gTimers->quit = true;
            }
            startedAtMs = platform::monotonicMs();
            if (remainingMs >= 0)
                gTimers->add("sim-for", static_cast<uint32_t>(remainingMs), []() { gTimers->quit = true; });
            if (hooks.started)
                hooks.started(*session);
        };
        board->onStopping = [&]() {
            if (remainingMs >= 0)
                remainingMs = std::max(0.0, remainingMs - (platform::monotonicMs() - startedAtMs));
            if (session && hooks.stopping)
                hooks.stopping(*session);
            session.reset();
        };
        status = runDaemon(*board);
        if (!action || scenarioRefused || status != 0 || remainingMs == 0)
            break;
        if (*action == platform::PowerAction::kReboot) {
            // The board's clock keeps the time that was set (its real-time clock), nothing else.
            int64_t offsetUs = board->clock().wallOffsetUs();
            board.reset();
            board = makeBoard(options);
            board->clock().setWallOffsetUs(offsetUs);
        }
    }
    return scenarioRefused ? 2 : status;
}
