// The cooling supervision on its own: a failed thermometer starts the fan, a faulty pump or fan is
// alarm 38, and both together are the emergency temperature mode, whose selections are undone after.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/controller_types.h"
#include "drive/cooling_supervision.h"
#include "drive/discrete_inputs.h"
#include "tests/drive/supervision_fake.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <map>

namespace {

class CoolingSupervisionTest : public ::testing::Test {
protected:
    CoolingSupervisionTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gTimers = &timers;
        gConfig = &config;
        config.pu1Mode.current = kUnitOn;
        config.pu2Mode.current = kUnitAuto;
        config.selectedDrive1.current = 1;
        config.selectedDrive2.current = 1;
        config.freqDrive1.value = 30;
        config.freqDrive2.value = 35;
    }
    ~CoolingSupervisionTest() override {
        gConfig = nullptr;
        gTimers = nullptr;
        journalClose();
    }
    void run(uint32_t ms) { runLoopFor(board, ms); }
    // The fan switched on without its feedback: faulty once its check ran.
    void breakTheFan() {
        cooling.switchFan(true);
        run(OilCooling::kCheckMs + 10);
    }

    TestBoard board;
    TimerQueue timers;
    Config config;
    FakeSupervision drive;
    std::map<int, bool> outputs;
    std::map<int, bool> inputs;
    OilCooling cooling{{[this](int n, bool on) { outputs[n] = on; }, [this](int n) { return outputs[n]; },
                        [this](int n) { return inputs[n]; }, [this] { supervision.update(); },
                        [this] { return drive.isAlarmActive(kAlarmTemperatureSensorError); }}};
    SmartCorrection::Records records;
    uint32_t completed = 0;
    StrokeRateTuning tuning{records,
                            completed,
                            {[this] { return drive.isAlarmActive(kAlarmEmergencyTemperatureMode); },
                             [](int) { return false; }, [](float) {}}};
    CoolingSupervision supervision{drive, cooling, tuning};
};

TEST_F(CoolingSupervisionTest, AFailedThermometerIsAlarm21AndStartsTheFanUntilItIsGoodAgain) {
    EXPECT_FALSE(supervision.sensorGood());
    supervision.setSensorState(false);
    EXPECT_TRUE(drive.isAlarmActive(kAlarmTemperatureSensorError));
    EXPECT_TRUE(outputs[OilCooling::kFanOutput]);
    supervision.setSensorState(true);
    EXPECT_TRUE(supervision.sensorGood());
    EXPECT_FALSE(drive.isAlarmActive(kAlarmTemperatureSensorError));
    EXPECT_FALSE(drive.isAlarmActive(kAlarmCoolingFault));
}

TEST_F(CoolingSupervisionTest, AFaultyFanIsAlarm38AndGoesWhenItsFeedbackFollows) {
    supervision.setSensorState(true);
    breakTheFan();
    EXPECT_TRUE(drive.isAlarmActive(kAlarmCoolingFault));
    EXPECT_FALSE(drive.isAlarmActive(kAlarmEmergencyTemperatureMode));
    inputs[kInputFanFeedback] = true;
    cooling.onFeedback(false);
    run(OilCooling::kCheckMs + 10);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmCoolingFault));
}

TEST_F(CoolingSupervisionTest, BothFaultsInAutomaticRunOneUnitAt50HertzAndItsEndRestoresTheSelections) {
    supervision.setSensorState(true);
    breakTheFan();
    supervision.setSensorState(false);
    ASSERT_TRUE(drive.isAlarmActive(kAlarmEmergencyTemperatureMode));
    // НУ2 is not "on", so it is the one left out.
    EXPECT_EQ(config.selectedDrive1.current, 1);
    EXPECT_EQ(config.selectedDrive2.current, 0);
    EXPECT_FLOAT_EQ(config.freqDrive1.value, 50);
    EXPECT_FLOAT_EQ(config.freqDrive2.value, 50);
    supervision.setSensorState(true);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmEmergencyTemperatureMode));
    EXPECT_EQ(config.selectedDrive2.current, 1);
    EXPECT_FLOAT_EQ(config.freqDrive1.value, 30);
    EXPECT_FLOAT_EQ(config.freqDrive2.value, 35);
}

TEST_F(CoolingSupervisionTest, OutsideAutomaticTheEmergencyModeIsOnlyAnAlarm) {
    drive.automaticMode = false;
    supervision.setSensorState(true);
    breakTheFan();
    supervision.setSensorState(false);
    EXPECT_TRUE(drive.isAlarmActive(kAlarmEmergencyTemperatureMode));
    EXPECT_EQ(config.selectedDrive2.current, 1);
    EXPECT_FLOAT_EQ(config.freqDrive1.value, 30);
}

} // namespace
