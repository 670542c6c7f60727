#include "sim/plant_model.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kStillMetersPerSecond = 0.002;

double approach(double value, double target, double seconds, double timeConstant) {
    if (timeConstant <= 0)
        return target;
    return target + (value - target) * std::exp(-seconds / timeConstant);
}

} // namespace

PlantModel::PlantModel(const PlantParameters& parameters)
    : parameters_(parameters), load_(parameters.rodWeightKgf), oilCelsius_(parameters.ambientCelsius) {}

void PlantModel::setPosition(double position) {
    position_ = std::min(1.0, std::max(0.0, position));
    motion_ = Motion::Still;
    motionStart_ = position_;
}

double PlantModel::fullLoadKgf() const {
    return parameters_.rodWeightKgf + parameters_.fluidLoadKgf + parameters_.frictionKgf;
}

void PlantModel::advance(double seconds, const PlantActuators& actuators) {
    if (seconds <= 0)
        return;
    updateValves(seconds, actuators);
    double up = parameters_.upMetersPerSecondPerHz *
                (std::max(0.0, actuators.motorHz[0]) + std::max(0.0, actuators.motorHz[1]));
    double down = parameters_.downMetersPerSecondPerValve * (valveOpening_[0] + valveOpening_[1]);
    velocity_ = up - down;
    double travelled = velocity_ * seconds / parameters_.strokeMeters;
    double next = std::min(1.0, std::max(0.0, position_ + travelled));
    // At an end of the cylinder the rod stands, whatever pushes it.
    if (next == position_)
        velocity_ = 0;
    position_ = next;

    Motion motion = velocity_ > kStillMetersPerSecond    ? Motion::Up
                    : velocity_ < -kStillMetersPerSecond ? Motion::Down
                                                         : Motion::Still;
    if (motion != Motion::Still && motion != motion_) {
        if (motion == Motion::Up && motion_ != Motion::Up)
            ++strokes_;
        motion_ = motion;
        motionStart_ = position_;
    } else if (motion == Motion::Still && motion_ != Motion::Still) {
        motion_ = Motion::Still;
    }
    updateLoad(motion);
    updateTemperature(seconds, actuators);
    noise_ = nextNoise();
}

void PlantModel::updateValves(double seconds, const PlantActuators& actuators) {
    for (int valve = 0; valve < 2; ++valve) {
        bool on = actuators.valveOn[valve];
        valveOpening_[valve] = approach(valveOpening_[valve], on ? 1.0 : 0.0, seconds,
                                        on ? parameters_.valveOpenSeconds : parameters_.valveCloseSeconds);
    }
}

void PlantModel::updateLoad(Motion motion) {
    const PlantParameters& p = parameters_;
    double metres = std::abs(position_ - motionStart_) * p.strokeMeters;
    switch (motion) {
    case Motion::Up: {
        // The fluid column is picked up while the rods stretch.
        double picked = std::min(1.0, metres / std::max(p.stretchMeters, 1e-6));
        load_ = std::max(load_, p.rodWeightKgf + p.fluidLoadKgf * picked + p.frictionKgf * picked);
        break;
    }
    case Motion::Down: {
        // Through the gas of an incompletely filled barrel first, then the load drops onto the fluid.
        double gas = (1.0 - std::min(1.0, std::max(0.0, p.fillFactor))) * motionStart_ * p.strokeMeters;
        double released = std::min(1.0, std::max(0.0, (metres - gas) / std::max(p.releaseMeters, 1e-6)));
        double high = p.rodWeightKgf + p.fluidLoadKgf - p.frictionKgf;
        double low = p.rodWeightKgf - p.frictionKgf;
        load_ = std::min(load_, high - (high - low) * released);
        break;
    }
    case Motion::Still:
        break;
    }
}

void PlantModel::updateTemperature(double seconds, const PlantActuators& actuators) {
    const PlantParameters& p = parameters_;
    double work = (std::max(0.0, actuators.motorHz[0]) + std::max(0.0, actuators.motorHz[1])) / 50.0 *
                  (loadKgf() / std::max(1.0, fullLoadKgf()));
    double loss = p.ambientLossPerSecond + (actuators.fanOn ? p.fanLossPerSecond : 0) +
                  (actuators.coolingPumpOn ? p.pumpLossPerSecond : 0);
    double rate = p.heatingCelsiusPerSecond * work - loss * (oilCelsius_ - p.ambientCelsius);
    oilCelsius_ += rate * seconds;
}

// A small deterministic noise, so that runs repeat.
double PlantModel::nextNoise() {
    random_ = random_ * 1103515245u + 12345u;
    double unit = static_cast<double>((random_ >> 8) & 0xFFFF) / 65535.0;
    return (unit * 2 - 1) * parameters_.noiseKgf;
}
