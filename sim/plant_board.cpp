#include "sim/plant_board.h"

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/discrete_io.h"
#include "platform/clock.h"
#include "sim/sim_drive_bus.h"

#include <algorithm>
#include <cmath>

namespace {

uint64_t bit(int n) {
    return uint64_t{1} << n;
}

// A pair of inputs showing a sensor state: value = first + 2 × second.
void setPair(uint64_t& bits, int first, int second, int state) {
    if (state & 1)
        bits |= bit(first);
    if (state & 2)
        bits |= bit(second);
}

// Converter counts for a voltage at the sensor (2.5 V full scale behind a 0.39 divider).
int countsForVolts(double volts) {
    return std::min(4095, std::max(0, static_cast<int>(std::lround(volts * 0.39 * 4096 / 2.5))));
}

constexpr double kActiveVolts = 1.0;
constexpr double kInactiveVolts = 3.0;
constexpr double kShortVolts = 6.5;
// Motor and pump together: the electrical power is the lifting power over this.
constexpr double kDriveEfficiency = 0.95;

} // namespace

PlantBoard::PlantBoard(platform::SimSpi& spi, SimDriveBus* drives) : spi_(spi), drives_(drives) {}

bool PlantBoard::outputOn(int n) const {
    const auto& frames = spi_.outputFrames();
    return !frames.empty() && (frames.back().bits & bit(n)) != 0;
}

bool PlantBoard::outputActive(int n) const {
    if (spi_.outputFrames().empty())
        return false;
    return outputOn(n) != DiscreteIO::isInvertedOutput(n);
}

PlantActuators PlantBoard::readActuators() {
    PlantActuators actuators;
    for (int unit = 0; unit < 2; ++unit) {
        SimDrive* drive = drives_ ? drives_->drive(unit + 1) : nullptr;
        actuators.motorHz[unit] = drive ? drive->outputFrequency() : 0;
        actuators.valveOn[unit] = valveOutput(unit);
    }
    actuators.fanOn = fanOutput();
    actuators.coolingPumpOn = coolingPumpOutput();
    return actuators;
}

void PlantBoard::update() {
    uint32_t now = platform::monotonicMs();
    if (!updated_) {
        updated_ = true;
        lastUpdateMs_ = now;
        return;
    }
    uint32_t elapsed = now - lastUpdateMs_;
    if (elapsed == 0)
        return;
    lastUpdateMs_ = now;
    actuators_ = readActuators();
    model_.advance(elapsed / 1000.0, actuators_);
    if (!drives_)
        return;
    // The motors feel the rod load while they lift it, and draw the power of lifting it, each by its
    // share of the flow.
    double fraction = model_.loadKgf() / std::max(1.0, model_.fullLoadKgf());
    double lifting = model_.loadKgf() * 9.80665 * std::max(0.0, model_.velocity()) / kDriveEfficiency;
    double totalHz = std::max(0.0, actuators_.motorHz[0]) + std::max(0.0, actuators_.motorHz[1]);
    for (int unit = 1; unit <= 2; ++unit) {
        SimDrive* drive = drives_->drive(unit);
        if (!drive)
            continue;
        drive->setLoad(static_cast<float>(std::max(0.0, std::min(1.5, fraction))));
        double share = totalHz > 0 ? std::max(0.0, actuators_.motorHz[unit - 1]) / totalHz : 0;
        drive->setPowerWatts(static_cast<float>(lifting * share));
        // Run lines 9 and 11 are inverted on the chain: the line is on while its bit is low.
        drive->setRunLine(!spi_.outputFrames().empty() && !outputOn(unit == 1 ? 9 : 11));
    }
}

int PlantBoard::pairState(Wiring wiring, bool active) {
    switch (wiring) {
    case Wiring::Break:
        return 0;
    case Wiring::Short:
        return 3;
    case Wiring::Ok:
        break;
    }
    return active ? 1 : 2;
}

uint64_t PlantBoard::inputBits() {
    update();
    uint64_t bits = 0;
    int top = pairState(topSensor, topActive());
    int bottom = pairState(bottomSensor, bottomActive());
    // Both pump units see the one rod.
    setPair(bits, 1, 20, top);
    setPair(bits, 2, 3, bottom);
    setPair(bits, 4, 5, top);
    setPair(bits, 6, 7, bottom);
    // The oil level sensor is wired the way its inversion setting says.
    int oil = pairState(oilSensor, oilLow);
    bool swapped = gConfig && gConfig->oilSensorInvertion.current != 0;
    setPair(bits, swapped ? 10 : 9, swapped ? 9 : 10, oil);
    if (coolingPumpOutput() != coolingPumpFeedbackFails)
        bits |= bit(11);
    bool ecmLevel = gConfig && gConfig->ecmInvertion.current != 0 ? contactManometer : !contactManometer;
    if (ecmLevel)
        bits |= bit(14);
    if (fanOutput() != fanFeedbackFails)
        bits |= bit(15);
    for (int v = 0; v < 2; ++v) {
        bool current = valve[v] == Wiring::Short || (valve[v] == Wiring::Ok && valveOutput(v));
        if (current)
            bits |= bit(17 + v);
    }
    // Mode switch of unit 1: bit 30 + 2 × bit 26; of unit 2: bit 28 + 2 × bit 29.
    setPair(bits, 30, 26, mode[0]);
    setPair(bits, 28, 29, mode[1]);
    if (panelEnabled)
        bits |= bit(27);
    const int kButtonInputs[2][2] = {{25, 31}, {39, 16}};
    for (int unit = 0; unit < 2; ++unit)
        for (int direction = 0; direction < 2; ++direction)
            if (button[unit][direction])
                bits |= bit(kButtonInputs[unit][direction]);
    return bits;
}

double PlantBoard::pressure() const {
    double area = gConfig ? gConfig->cylinderArea.value : 82.47;
    return 1.0 + model_.loadKgf() / std::max(0.1, area);
}

double PlantBoard::loopMilliamps() const {
    if (pressureSensorBroken)
        return 0;
    return std::min(24.0, 4.0 + (pressure() - 1.0) / 15.5625);
}

int PlantBoard::adcCount(int channel) {
    update();
    switch (channel) {
    case 0:
    case 1: {
        Wiring wiring = channel == 0 ? topSensor : bottomSensor;
        bool active = channel == 0 ? topActive() : bottomActive();
        double volts = wiring == Wiring::Break   ? 0
                       : wiring == Wiring::Short ? kShortVolts
                       : active                  ? kActiveVolts
                                                 : kInactiveVolts;
        return countsForVolts(volts);
    }
    case 4:
        return std::min(4095, static_cast<int>(std::lround(loopMilliamps() * 0.11 * 4096 / 2.5)));
    default:
        return 0;
    }
}

std::string PlantBoard::describe() {
    update();
    return formatText(
        "position=%.3f velocity=%.3f load=%.0f pressure=%.1f oil=%.1f f1=%.1f f2=%.1f ev1=%d ev2=%d "
        "fan=%d pump=%d top=%d bottom=%d strokes=%llu",
        model_.position(), model_.velocity(), model_.loadKgf(), pressure(), model_.oilCelsius(),
        actuators_.motorHz[0], actuators_.motorHz[1], valveOutput(0), valveOutput(1), fanOutput(),
        coolingPumpOutput(), topActive(), bottomActive(),
        static_cast<unsigned long long>(model_.strokesCompleted()));
}
