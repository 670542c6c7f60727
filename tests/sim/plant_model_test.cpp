#include "sim/plant_model.h"

#include <gtest/gtest.h>

namespace {

PlantActuators motor(double hz) {
    PlantActuators actuators;
    actuators.motorHz[0] = hz;
    return actuators;
}

PlantActuators valve() {
    PlantActuators actuators;
    actuators.valveOn[0] = true;
    return actuators;
}

// Runs the plant in 10 ms steps.
void run(PlantModel& plant, double seconds, const PlantActuators& actuators) {
    for (double t = 0; t < seconds; t += 0.01)
        plant.advance(0.01, actuators);
}

PlantParameters quiet() {
    PlantParameters parameters;
    parameters.noiseKgf = 0;
    return parameters;
}

TEST(PlantModel, MotorsLiftInProportionToFrequencyAndTheCylinderEndsStopTheRod) {
    PlantModel slow(quiet()), fast(quiet());
    run(slow, 2, motor(25));
    run(fast, 2, motor(50));
    EXPECT_NEAR(fast.position(), 2 * slow.position(), 0.01);
    EXPECT_NEAR(slow.position(), 25 * 0.006 * 2 / 2.0, 0.01);

    run(fast, 60, motor(50));
    EXPECT_EQ(fast.position(), 1.0);
    EXPECT_EQ(fast.velocity(), 0); // against the top end: standing
}

TEST(PlantModel, ValvesOpenWithALagAndLetTheRodDown) {
    PlantModel plant(quiet());
    plant.setPosition(1.0);
    run(plant, 0.1, valve());
    EXPECT_LT(plant.valveOpening(0), 0.5);
    EXPECT_GT(plant.position(), 0.99);
    run(plant, 2, valve());
    EXPECT_GT(plant.valveOpening(0), 0.99);
    EXPECT_NEAR(plant.velocity(), -0.33, 0.01);
    run(plant, 10, valve());
    EXPECT_EQ(plant.position(), 0.0);
    EXPECT_EQ(plant.valveOpening(1), 0.0);
}

// The load where the down stroke has come a given share of the way from the top.
double downLoadAt(double fill, double share) {
    PlantParameters parameters = quiet();
    parameters.fillFactor = fill;
    PlantModel plant(parameters);
    run(plant, 20, motor(50)); // up to the top, fluid picked up
    run(plant, 0.5, PlantActuators());
    while (plant.position() > 1.0 - share)
        plant.advance(0.01, valve());
    return plant.loadKgf();
}

TEST(PlantModel, TheCardPicksTheFluidUpOnTheUpStrokeAndDropsItLaterWhenTheBarrelFillsLess) {
    PlantModel plant(quiet());
    const PlantParameters& p = plant.parameters();
    EXPECT_NEAR(plant.loadKgf(), p.rodWeightKgf, 1);
    run(plant, 0.2, motor(50)); // a few centimetres: the rods still stretch
    EXPECT_GT(plant.loadKgf(), p.rodWeightKgf);
    EXPECT_LT(plant.loadKgf(), plant.fullLoadKgf());
    run(plant, 2, motor(50));
    EXPECT_NEAR(plant.loadKgf(), plant.fullLoadKgf(), 1);

    // A full barrel releases the load at once; at 60 % it is carried through 40 % of the way down.
    EXPECT_LT(downLoadAt(1.0, 0.1), p.rodWeightKgf);
    EXPECT_NEAR(downLoadAt(0.6, 0.3), p.rodWeightKgf + p.fluidLoadKgf - p.frictionKgf, 1);
    EXPECT_LT(downLoadAt(0.6, 0.6), p.rodWeightKgf);
    EXPECT_EQ(plant.strokesCompleted(), 1u);
}

TEST(PlantModel, OilWarmsWithWorkAndCoolsFasterWithTheFan) {
    PlantParameters parameters = quiet();
    parameters.heatingCelsiusPerSecond = 0.1;
    PlantModel working(parameters), cooled(parameters);
    PlantActuators fan = motor(50);
    fan.fanOn = true;
    fan.coolingPumpOn = true;
    for (int i = 0; i < 10; ++i) { // back and forth, always working
        working.setPosition(0);
        cooled.setPosition(0);
        run(working, 10, motor(50));
        run(cooled, 10, fan);
    }
    EXPECT_GT(working.oilCelsius(), parameters.ambientCelsius + 5);
    EXPECT_LT(cooled.oilCelsius(), working.oilCelsius());
    double hot = working.oilCelsius();
    run(working, 600, PlantActuators());
    EXPECT_LT(working.oilCelsius(), hot);
    EXPECT_GT(working.oilCelsius(), parameters.ambientCelsius);
}

} // namespace
