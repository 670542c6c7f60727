#pragma once
// The pumping unit itself, as physics: the rod between bottom and top, moved up by the pump units'
// motors and down through the electro-valves, the load on the rod over the stroke (a surface card)
// and the oil temperature. No I/O: the board wiring reads and feeds it.

#include <cstdint>

struct PlantParameters {
    double strokeMeters = 2.0;
    // Rod speed up per hertz of each running motor, and down per fully open valve.
    double upMetersPerSecondPerHz = 0.006;
    double downMetersPerSecondPerValve = 0.33;
    // First-order lag of a valve opening and closing.
    double valveOpenSeconds = 0.3;
    double valveCloseSeconds = 0.1;
    // The surface card: buoyant rod weight, fluid load picked up over the first part of the up stroke
    // (rod stretch), released on the down stroke once the plunger meets the fluid; friction opposes
    // the motion; noise on every reading.
    double rodWeightKgf = 3500;
    double fluidLoadKgf = 1200;
    double stretchMeters = 0.15;
    double releaseMeters = 0.1;
    double frictionKgf = 150;
    double noiseKgf = 25;
    // Share of the pump barrel filled with liquid each stroke (1 full, lower values delay the load
    // drop on the down stroke: gas is compressed first).
    double fillFactor = 0.85;
    // Oil: warmed by the work of the motors, cooled to the ambient, faster with the fan and pump.
    double ambientCelsius = 20;
    double heatingCelsiusPerSecond = 0.01;
    double ambientLossPerSecond = 0.0004;
    double fanLossPerSecond = 0.002;
    double pumpLossPerSecond = 0.001;
};

// What the board does to the plant at a moment.
struct PlantActuators {
    double motorHz[2] = {0, 0}; // output frequency of each pump unit's drive
    bool valveOn[2] = {false, false};
    bool fanOn = false;
    bool coolingPumpOn = false;
};

class PlantModel {
public:
    explicit PlantModel(const PlantParameters& parameters = PlantParameters());

    // Moves the plant on by `seconds` under the given actuators.
    void advance(double seconds, const PlantActuators& actuators);

    PlantParameters& parameters() { return parameters_; }
    const PlantParameters& parameters() const { return parameters_; }

    // 0 at the bottom, 1 at the top.
    double position() const { return position_; }
    void setPosition(double position);
    double velocity() const { return velocity_; } // m/s, up positive
    double loadKgf() const { return load_ + noise_; }
    double oilCelsius() const { return oilCelsius_; }
    void setOilCelsius(double celsius) { oilCelsius_ = celsius; }
    double valveOpening(int valve) const { return valveOpening_[valve]; }
    uint64_t strokesCompleted() const { return strokes_; }

    // The load with full fluid column and friction on the way up: what 100 % motor load means.
    double fullLoadKgf() const;

private:
    enum class Motion { Still, Up, Down };

    void updateValves(double seconds, const PlantActuators& actuators);
    void updateLoad(Motion motion);
    void updateTemperature(double seconds, const PlantActuators& actuators);
    double nextNoise();

    PlantParameters parameters_;
    double position_ = 0;
    double velocity_ = 0;
    double valveOpening_[2] = {0, 0};
    Motion motion_ = Motion::Still;
    double motionStart_ = 0; // position where the current motion began
    double load_;
    double noise_ = 0;
    double oilCelsius_;
    uint32_t random_ = 12345;
    uint64_t strokes_ = 0;
};
