#pragma once
// The pumping unit wired to the simulated board: the plant's position, load and contacts become the
// I/O chain's input bits and the converter's counts; the chain's output frames and the simulated
// drives' output frequencies move it. The plant is advanced to the present whenever the board reads
// it, so it runs on the daemon's own clock at whatever speed the clock goes.

#include "platform/sim_spi.h"
#include "sim/plant_model.h"

#include <cstdint>
#include <string>

class SimDriveBus;

// What the wiring of a sensor or contact shows, healthy or faulty.
enum class Wiring { Ok, Break, Short };

class PlantBoard : public platform::SimSpiProvider {
public:
    // Mode switch positions as the pump units' switches are wired.
    enum Mode { kManual = 0, kStop = 1, kAutomatic = 2, kFaulty = 3 };

    PlantBoard(platform::SimSpi& spi, SimDriveBus* drives);

    PlantModel& model() { return model_; }
    // Brings the plant up to the present.
    void update();

    uint64_t inputBits() override;
    int adcCount(int channel) override;

    // Faults and switches a person or a scenario sets.
    Wiring topSensor = Wiring::Ok;
    Wiring bottomSensor = Wiring::Ok;
    Wiring oilSensor = Wiring::Ok;
    bool oilLow = false;
    bool contactManometer = false;
    Wiring valve[2] = {Wiring::Ok, Wiring::Ok};
    bool fanFeedbackFails = false;
    bool coolingPumpFeedbackFails = false;
    bool pressureSensorBroken = false;
    int mode[2] = {kAutomatic, kAutomatic};
    bool panelEnabled = true;
    // The manual push buttons: [unit][0 up, 1 down].
    bool button[2][2] = {{false, false}, {false, false}};
    // The top and bottom position sensors switch within this share of the stroke from each end.
    double sensorZone = 0.02;

    // A discrete output's level as the chain last received it.
    bool outputOn(int n) const;
    // Whether the output is switched on, its wiring's polarity taken into account; false before the
    // first frame.
    bool outputActive(int n) const;
    bool valveOutput(int valve) const { return outputOn(22 + valve); }
    bool fanOutput() const { return outputOn(20); }
    bool coolingPumpOutput() const { return outputOn(21); }
    double motorHz(int unit) const { return actuators_.motorHz[unit]; }
    bool topActive() const { return model_.position() >= 1.0 - sensorZone; }
    bool bottomActive() const { return model_.position() <= sensorZone; }
    // The pressure the cylinder's sensor reads (kgf/cm², absolute) and its loop current (mA).
    double pressure() const;
    double loopMilliamps() const;
    // A one-line account for the control socket.
    std::string describe();

private:
    PlantActuators readActuators();
    // The levels of a contact pair for a sensor state (0 open, 1 active, 2 inactive, 3 short).
    static int pairState(Wiring wiring, bool active);

    platform::SimSpi& spi_;
    SimDriveBus* drives_;
    PlantModel model_;
    PlantActuators actuators_;
    uint32_t lastUpdateMs_ = 0;
    bool updated_ = false;
};
