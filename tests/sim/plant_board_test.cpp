#include "sim/plant_board.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>

namespace {

bool on(uint64_t bits, int n) {
    return (bits >> n & 1) != 0;
}

// The pair value the controller reads: first + 2 × second.
int pair(uint64_t bits, int first, int second) {
    return on(bits, first) + 2 * on(bits, second);
}

class PlantBoardTest : public ::testing::Test {
protected:
    PlantBoardTest() : plant(board.platform().simSpi(), nullptr) { plant.model().parameters().noiseKgf = 0; }

    TestBoard board;
    PlantBoard plant;
};

TEST_F(PlantBoardTest, PositionSensorsShowTheRodOnBothUnitsPairsWithTheirFaultPatterns) {
    uint64_t bits = plant.inputBits(); // the rod rests at the bottom
    EXPECT_EQ(pair(bits, 1, 20), 2);   // top inactive
    EXPECT_EQ(pair(bits, 2, 3), 1);    // bottom active
    EXPECT_EQ(pair(bits, 4, 5), 2);
    EXPECT_EQ(pair(bits, 6, 7), 1);

    plant.model().setPosition(1.0);
    bits = plant.inputBits();
    EXPECT_EQ(pair(bits, 1, 20), 1);
    EXPECT_EQ(pair(bits, 2, 3), 2);

    plant.topSensor = Wiring::Break;
    plant.bottomSensor = Wiring::Short;
    bits = plant.inputBits();
    EXPECT_EQ(pair(bits, 1, 20), 0);
    EXPECT_EQ(pair(bits, 4, 5), 0);
    EXPECT_EQ(pair(bits, 2, 3), 3);
    // The inductive variant on the converter: 1 V active, 3 V inactive, 0 V broken, beyond 6 V shorted.
    EXPECT_EQ(plant.adcCount(0), 0);
    EXPECT_GT(plant.adcCount(1) * 2.5 / 4096 / 0.39, 6.0);
    plant.topSensor = plant.bottomSensor = Wiring::Ok;
    EXPECT_NEAR(plant.adcCount(0) * 2.5 / 4096 / 0.39, 1.0, 0.01);
    EXPECT_NEAR(plant.adcCount(1) * 2.5 / 4096 / 0.39, 3.0, 0.01);
}

TEST_F(PlantBoardTest, SwitchesAndContactsAreWiredAsTheControllerReadsThem) {
    uint64_t bits = plant.inputBits();
    EXPECT_EQ(on(bits, 30) + 2 * on(bits, 26), 2); // unit 1 in automatic
    EXPECT_EQ(on(bits, 28) + 2 * on(bits, 29), 2);
    EXPECT_EQ(pair(bits, 9, 10), 2); // oil level fine: inactive
    EXPECT_TRUE(on(bits, 14));       // the manometer's contact is open (inverted input)
    EXPECT_TRUE(on(bits, 27));       // panel enabled
    EXPECT_FALSE(on(bits, 17) || on(bits, 18) || on(bits, 11) || on(bits, 15)); // nothing switched on

    plant.mode[0] = PlantBoard::kStop;
    plant.mode[1] = PlantBoard::kFaulty;
    plant.oilLow = true;
    plant.contactManometer = true;
    plant.valve[1] = Wiring::Short; // current flows through a valve that is off
    plant.fanFeedbackFails = true;  // the fan reports running while it is off
    plant.button[1][1] = true;
    bits = plant.inputBits();
    EXPECT_EQ(on(bits, 30) + 2 * on(bits, 26), 1);
    EXPECT_EQ(on(bits, 28) + 2 * on(bits, 29), 3);
    EXPECT_EQ(pair(bits, 9, 10), 1);
    EXPECT_FALSE(on(bits, 14));
    EXPECT_TRUE(on(bits, 18));
    EXPECT_TRUE(on(bits, 15));
    EXPECT_TRUE(on(bits, 16));                              // НУ2's down button
    EXPECT_EQ(plant.inputBits() & (uint64_t{1} << 33), 0u); // keys are the keypad's
}

TEST_F(PlantBoardTest, PressureLoopCarriesTheRodLoadThroughTheSensorsScaling) {
    const double area = 82.47;
    double load = plant.model().loadKgf();
    int counts = plant.adcCount(4);
    // What the controller makes of the counts.
    double milliamps = counts * 2.5 / 4096 / 0.11;
    double pressure = 1.0 + (milliamps - 4.0) * 15.5625;
    EXPECT_NEAR(area * (pressure - 1.0), load, load * 0.01);

    plant.pressureSensorBroken = true;
    EXPECT_EQ(plant.adcCount(4), 0);
}

} // namespace
