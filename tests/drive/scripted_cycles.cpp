#include "tests/drive/scripted_cycles.h"

#include "drive/unit_settings.h"
#include "platform/clock.h"

#include <cmath>

namespace {

// The pressure input: 4-20 mA across 110 Ω into the converter's 2.5 V / 4096 counts; P = 1 + (I - 4) x
// 15.5625 kgf/cm², G = cylinderArea x (P - 1) kgf.
int countsForLoad(float kgf, float cylinderArea) {
    float milliamps = 4.0f + kgf / cylinderArea / 15.5625f;
    return static_cast<int>(std::lround(milliamps * 0.11f * 4096.0f / 2.5f));
}

} // namespace

ScriptedCycleTest::ScriptedCycleTest() {
    config->pu1Mode.current = kUnitOn;
    config->ev1Mode.current = kUnitOn;
    config->pressureSmoothing.value = 0;
    // The simulated drives report turning for a good two seconds after a stop; with pauses not
    // recorded the whole time the valves are open is the down stroke.
    config->dynoRecordInPause.current = 1;
    config->freqDrive1.value = 30;
}

void ScriptedCycleTest::setLoad(float kgf) {
    rig->setAdc(4, countsForLoad(kgf, config->cylinderArea.value));
}

float ScriptedCycleTest::flow() {
    float sum = 0;
    for (int n = 1; n <= 2; ++n)
        if (drive(n).runCommanded())
            sum += drive(n).setPoint();
    return sum;
}

uint32_t ScriptedCycleTest::nowMs() const {
    return platform::monotonicMs();
}

void ScriptedCycleTest::runCycle(const CycleScript& script) {
    auto selectedRun = [&] {
        for (int n = 1; n <= 2; ++n)
            if (selectedDriveOf(n).current == 1 && !unit(n).faulty() && !drive(n).runCommanded())
                return false;
        return flow() > 0;
    };
    ASSERT_TRUE(runUntil(selectedRun, 120000)) << "the motors never started";
    setLoad(script.upLoad);
    rodLeavesBottom();
    uint32_t upMs = script.upWork > 0 ? static_cast<uint32_t>(std::lround(script.upWork / flow() * 1000.0f))
                                      : script.upMs;
    run(upMs > 30 ? upMs - 30 : 0);
    setTopSensor(1, kSensorActive);
    settle();
    ASSERT_TRUE(runUntil([&] { return valve(1) || valve(2); }, 120000)) << "the valves never opened";
    setLoad(script.gasLoad);
    setTopSensor(1, kSensorInactive);
    uint32_t liquidMs = static_cast<uint32_t>(std::lround(script.downMs * script.fill));
    run(script.downMs - liquidMs);
    setLoad(script.liquidLoad);
    if (script.periodMs == 0) {
        run(liquidMs);
    } else {
        uint32_t bottomAt = bottomSetAtMs_ + script.periodMs;
        ASSERT_LT(nowMs(), bottomAt) << "the cycle is longer than its period";
        run(bottomAt - nowMs());
    }
    uint32_t started = controller->cycleStartMs();
    bottomSetAtMs_ = nowMs();
    setBottomSensor(1, kSensorActive);
    settle();
    lastPeriodMs_ = controller->cycleStartMs() - started;
}

float ScriptedCycleTest::lastRate() const {
    return lastPeriodMs_ > 0 ? 60000.0f / static_cast<float>(lastPeriodMs_) : 0;
}

void ScriptedCycleTest::completeLastCycle() {
    auto newCycle = [&] {
        const DynamogramRecord* record = controller->recorder().current();
        return record && !record->upLoads().empty() && record->downLoads().empty();
    };
    EXPECT_TRUE(runUntil(newCycle, 5000)) << "no new cycle began";
}
