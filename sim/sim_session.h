#pragma once
// What the simulator adds to a running daemon: the control socket and its commands, the simulated
// drives on the drive bus, and later the plant. Created once every daemon object exists; destroyed
// before any of them goes.

#include "platform/sim_platform.h"
#include "sim/control_server.h"
#include "sim/echoing_line.h"
#include "sim/panel_keys.h"
#include "sim/plant_board.h"
#include "sim/scenario.h"
#include "sim/sim_drive_bus.h"
#include "sim/sim_modem.h"
#include "sim/sim_one_wire_bus.h"
#include "sim/syslog_file.h"

#include <memory>
#include <string>

class SimSession {
public:
    // fresh: the sandbox was new, so the unit is commissioned first; then the scenario's steps run.
    SimSession(platform::SimPlatform& board, bool fresh = false, Scenario scenario = Scenario());
    // Hands the board's inputs back to the fixed ones.
    ~SimSession();

    // Opens the control socket "/sim.sock" of the sandbox (a failure is only reported) and starts the
    // scenario. False, with the reason on standard error, when the scenario uses unknown commands.
    bool start();
    ControlServer& control() { return control_; }
    platform::SimPlatform& board() { return board_; }
    // The drives as the configuration addresses them; null when the board has no drive bus pty.
    SimDriveBus* drives() { return drives_.get(); }
    PlantBoard& plant() { return *plant_; }
    // The thermometers on the board's 1-wire bus.
    SimOneWireBus& oneWire() { return *oneWire_; }
    // The SCADA line "/dev/ttyS1" with its transceiver's echo; the master's end is "/dev/scada".
    EchoingLine* scadaLine() { return scadaLine_.get(); }
    // The SIM5320 on "/dev/ttyUSB2"; null when the board has no modem pty.
    SimModem* modem() { return modem_.get(); }

private:
    void addCommands();
    void attachDrives();
    void attachScadaLine();
    void attachModem();

    platform::SimPlatform& board_;
    SyslogFile syslog_{board_};
    ControlServer control_;
    PanelKeys keys_;
    std::unique_ptr<SimDriveBus> drives_;
    std::unique_ptr<EchoingLine> scadaLine_;
    std::unique_ptr<SimModem> modem_;
    std::unique_ptr<PlantBoard> plant_;
    std::unique_ptr<SimOneWireBus> oneWire_;
    std::vector<std::unique_ptr<ScenarioRunner>> scenarios_;
};

// The control commands of the simulated drives ("drive N ...", "bus"), of the board ("setting",
// "controller", "alarms", ...), of the plant ("plant", "sensor", "valve", ...) and of the 1-wire bus ("w1",
// "thermometer"), added to a control server.
void addDriveCommands(ControlServer& control, SimDriveBus& drives);
void addBoardCommands(ControlServer& control);
void addModemCommands(ControlServer& control, SimModem& modem, platform::SimModemLink& link);
void addPlantCommands(ControlServer& control, PlantBoard& plant);
void addOneWireCommands(ControlServer& control, SimOneWireBus& bus);
void addMediaCommands(ControlServer& control, platform::SimMedia& media);
// "cadence": the 10 ms exchange's periods over the kept frames; its answer, for tests.
void addCadenceCommand(ControlServer& control, platform::SimSpi& spi);
std::string cadenceOfKeptFrames(const platform::SimSpi& spi);
