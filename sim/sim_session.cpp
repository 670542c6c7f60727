#include "sim/sim_session.h"

#include "core/registry.h"
#include "core/timer_queue.h"
#include "platform/clock.h"

#include <cstdio>

SimSession::SimSession(platform::SimPlatform& board) : board_(board), keys_(board.simSpi().fixedInputs()) {
    board_.simSpi().setProvider(&keys_);
    addCommands();
}

SimSession::~SimSession() {
    board_.simSpi().setProvider(nullptr);
}

void SimSession::start() {
    std::string error;
    if (!control_.listen(platform::rootPath("/sim.sock"), error))
        std::fprintf(stderr, "velkord-sim: %s\n", error.c_str());
}

void SimSession::addCommands() {
    control_.addCommand("frame", [this](const std::vector<std::string>& arguments) -> std::string {
        if (arguments.size() != 1)
            return "error usage: frame FILE.png";
        if (!board_.simFramebuffer().writePng(arguments[0]))
            return "error cannot write " + arguments[0];
        return "ok";
    });
    // key CODE|NAME [tap|press|release]
    control_.addCommand("key", [this](const std::vector<std::string>& arguments) -> std::string {
        int code = arguments.empty() ? 0 : PanelKeys::keyCode(arguments[0]);
        std::string action = arguments.size() > 1 ? arguments[1] : "tap";
        if (code == 0 || arguments.size() > 2)
            return "error usage: key 33-38|cancel|left|down|up|enter|right [tap|press|release]";
        if (action == "tap")
            keys_.tap(code);
        else if (action == "press")
            keys_.press(code);
        else if (action == "release")
            keys_.release(code);
        else
            return "error unknown key action " + action;
        return "ok";
    });
    control_.addCommand("presents", [this](const std::vector<std::string>&) {
        return "ok " + std::to_string(board_.simFramebuffer().presents());
    });
    control_.addCommand("time", [](const std::vector<std::string>&) {
        return "ok " + std::to_string(platform::monotonicMs());
    });
    control_.addCommand("quit", [](const std::vector<std::string>&) -> std::string {
        if (gTimers)
            gTimers->quit = true;
        return "ok";
    });
}
