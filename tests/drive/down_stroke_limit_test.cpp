// The down-stroke limit on its own: downTimeMax, the time for an untrusted bottom sensor, the share of
// the period the stroke rate allows (alarm 26) and its mark held to the end of its stroke.

#include "config/config.h"
#include "core/journal.h"
#include "core/registry.h"
#include "drive/controller_types.h"
#include "drive/down_stroke_limit.h"
#include "tests/drive/supervision_fake.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>

namespace {

class DownStrokeLimitTest : public ::testing::Test {
protected:
    DownStrokeLimitTest() : config(board.path("/etc/velkord"), board.path("/etc/velkord_perf")) {
        gConfig = &config;
        config.downTimeMax.value = 30;
        config.downTimeOnBrokenSensor.value = 12;
        config.longDownTurn.current = 0;
        config.nsMode.current = 0;
        config.nSwings.value = 4; // a 15 s period
        config.pu1Mode.current = kUnitOn;
        config.pu2Mode.current = kUnitOff;
        config.selectedDrive1.current = 1;
        config.freqDrive1.value = config.maxFreqDrive1.value;
        config.ev1Mode.current = kUnitOn;
        config.ev2Mode.current = kUnitOff;
        config.selectedValve1.current = 1;
    }
    ~DownStrokeLimitTest() override {
        gConfig = nullptr;
        journalClose();
    }

    TestBoard board;
    Config config;
    FakeSupervision drive;
    DownStrokeLimit limit{drive};
};

TEST_F(DownStrokeLimitTest, AtFullSpeedTheStrokeRateGivesTheDownStrokeItsShareOfThePeriod) {
    EXPECT_EQ(limit.limitMs(0, 0), 30000u); // no strokes measured yet
    EXPECT_FALSE(drive.isAlarmActive(kAlarmStrokeShortenedByRate));
    EXPECT_EQ(limit.limitMs(10000, 10000), 7500u);
    EXPECT_TRUE(drive.isAlarmActive(kAlarmStrokeShortenedByRate));
    limit.strokeBegins();
    EXPECT_TRUE(limit.markedThisStroke());
    limit.descentOver();
    limit.strokeBegins();
    EXPECT_FALSE(limit.markedThisStroke());
}

TEST_F(DownStrokeLimitTest, BelowFullSpeedOrWithTheTimeReversalOffDownTimeMaxHolds) {
    config.freqDrive1.value = config.maxFreqDrive1.value - 1;
    EXPECT_EQ(limit.limitMs(10000, 10000), 30000u);
    config.freqDrive1.value = config.maxFreqDrive1.value;
    config.longDownTurn.current = 1;
    EXPECT_EQ(limit.limitMs(10000, 10000), 30000u);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmStrokeShortenedByRate));
}

TEST_F(DownStrokeLimitTest, AnUntrustedBottomSensorTimesTheStrokeUntilItsFaultClears) {
    drive.active.emplace(24, "");
    EXPECT_EQ(limit.limitMs(10000, 10000), 12000u);
    limit.reevaluate(10000, 10000);
    EXPECT_FALSE(drive.isAlarmActive(kAlarmStrokeShortenedByRate));
    drive.active.erase(24);
    limit.reevaluate(10000, 10000);
    EXPECT_TRUE(drive.isAlarmActive(kAlarmStrokeShortenedByRate));
    EXPECT_TRUE(limit.markedThisStroke());
}

} // namespace
