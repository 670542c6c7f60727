#include "sim/sim_session.h"

#include "config/config.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "fieldbus/smbus.h"
#include "platform/clock.h"
#include "platform/virtual_clock.h"
#include "ui/display.h"

#include <cstdio>

SimSession::SimSession(platform::SimPlatform& board, bool fresh, Scenario scenario)
    : board_(board), keys_(board.simSpi().fixedInputs()) {
    attachDrives();
    attachScadaLine();
    attachModem();
    plant_ = std::make_unique<PlantBoard>(board_.simSpi(), drives_.get());
    keys_.setInputs(*plant_);
    board_.simSpi().setProvider(&keys_);
    oneWire_ = std::make_unique<SimOneWireBus>(plant_->model());
    addCommands();
    if (fresh)
        scenarios_.push_back(std::make_unique<ScenarioRunner>(control_, commissioningScenario()));
    if (!scenario.steps.empty())
        scenarios_.push_back(std::make_unique<ScenarioRunner>(control_, std::move(scenario)));
}

SimSession::~SimSession() {
    board_.simSpi().setProvider(nullptr);
    if (auto* clock = dynamic_cast<platform::VirtualClock*>(&board_.clock()))
        clock->setInFlightCheck(nullptr);
}

bool SimSession::start() {
    std::string error;
    if (!control_.listen(platform::rootPath("/sim.sock"), error))
        std::fprintf(stderr, "velkord-sim: %s\n", error.c_str());
    for (auto& scenario : scenarios_) {
        std::vector<std::string> unknown = scenario->unknownCommands();
        if (!unknown.empty()) {
            std::fprintf(stderr, "velkord-sim: the scenario uses unknown commands: %s\n", unknown[0].c_str());
            return false;
        }
    }
    for (auto& scenario : scenarios_)
        scenario->start();
    return true;
}

// The drives take the addresses and models the configuration has at start-up.
void SimSession::attachDrives() {
    if (!gConfig)
        return;
    platform::SimSerialLine* pty = board_.serialLine("/dev/ttyS2");
    platform::LocalSerialLine* local = board_.localLine("/dev/ttyS2");
    if (local)
        drives_ = std::make_unique<SimDriveBus>(local->farEnd());
    else if (pty && pty->farEnd() >= 0)
        drives_ = std::make_unique<SimDriveBus>(pty->farEnd());
    else
        return;
    drives_->addDrive(static_cast<uint8_t>(gConfig->modbusAddrDrive1.value),
                      static_cast<SimDriveModel>(gConfig->typeDrive1.current),
                      "/sys/class/gpio/pioA16/value");
    drives_->addDrive(static_cast<uint8_t>(gConfig->modbusAddrDrive2.value),
                      static_cast<SimDriveModel>(gConfig->typeDrive2.current),
                      "/sys/class/gpio/pioA17/value");
    // On the virtual clock time waits for the bytes on a pty, as real time would; the line inside the
    // process runs on the clock itself.
    if (local)
        return;
    if (auto* clock = dynamic_cast<platform::VirtualClock*>(&board_.clock()))
        clock->setInFlightCheck([this] { return gDriveBus && drives_->inFlight(*gDriveBus); });
}

void SimSession::attachModem() {
    platform::SimSerialLine* line = board_.serialLine("/dev/ttyUSB2");
    if (!line || line->farEnd() < 0)
        return;
    // On the virtual clock the module's once-a-second exchange costs some 30 ms of real time per
    // simulated second, which hours of stroking at full speed cannot afford: there the module stays
    // unplugged (the daemon power-cycles it quietly).
    if (dynamic_cast<platform::VirtualClock*>(&board_.clock()))
        return;
    // The sandbox's time daemon: its segment, under a key of the sandbox's own.
    if (!board_.simModemLink().createNtpSegment())
        std::fprintf(stderr, "velkord-sim: no key for the NTP segment\n");
    modem_ = std::make_unique<SimModem>(line->farEnd(), board_.simModemLink());
    // The link comes up once the module is dialled in, as pppd would bring it.
    modem_->setLink(true);
}

void SimSession::attachScadaLine() {
    platform::SimSerialLine* line = board_.serialLine("/dev/ttyS1");
    if (!line || line->farEnd() < 0)
        return;
    scadaLine_ = std::make_unique<EchoingLine>(line->farEnd(), EchoingLine::kMasterPath, board_.root());
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
    // The texts drawn on the visible page, top to bottom, joined with " | ".
    control_.addCommand("text", [](const std::vector<std::string>&) -> std::string {
        if (!gDisplay)
            return "error no display";
        std::string joined;
        for (const std::string& text : gDisplay->visibleTexts())
            joined += (joined.empty() ? "" : " | ") + text;
        return "ok " + joined;
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
    if (drives_)
        addDriveCommands(control_, *drives_);
    addBoardCommands(control_);
    addPlantCommands(control_, *plant_);
    addOneWireCommands(control_, *oneWire_);
    if (modem_)
        addModemCommands(control_, *modem_, board_.simModemLink());
    addMediaCommands(control_, board_.simMedia());
    addCadenceCommand(control_, board_.simSpi());
}
