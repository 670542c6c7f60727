#include "drive/drive_health.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/unit_settings.h"

#include <string>

namespace {

// "НУ1", "НУ2" or "НУ1 и НУ2" for the units that are marked.
std::string unitNames(bool first, bool second) {
    if (first && second)
        return "1 и НУ2";
    return first ? "1" : "2";
}

// Appends "НУ<unit><letter><bit>" for every set bit, numbering alarm word 2 and warning word 2 on
// from 32.
void appendBits(std::string& text, int unit, char letter, uint32_t word, int firstBit) {
    for (int bit = 0; bit < 32; ++bit) {
        if (!(word >> bit & 1))
            continue;
        text += text.size() > 2 ? ", " : " ";
        text += "НУ" + std::to_string(unit) + letter + std::to_string(firstBit + bit);
    }
}

} // namespace

// A unit can take over from an overheated one when it is not switched off and the units may run
// separately (canSepStart "Вкл.").
void DriveHealth::checkMotorOverheat() {
    bool hot1 = unit(1).motorOverheated();
    bool hot2 = unit(2).motorOverheated();
    if (!hot1 && !hot2) {
        bool stopping = actions_.clearAlarm(kAlarmMotorOverheatStop);
        if (actions_.clearAlarm(kAlarmMotorOverheat)) {
            unit(1).markFaulty(false);
            unit(2).markFaulty(false);
            if (hooks_.oilTemperature() < gConfig->tempFanOff.value &&
                !actions_.isAlarmActive(kAlarmTemperatureSensorError))
                cooling_.switchFan(false);
        }
        actions_.restartAfterClearing(stopping);
        return;
    }
    int hot = hot1 ? 1 : 2;
    bool separate = gConfig->canSepStart.current == 0;
    bool takeOver = !(hot1 && hot2) && separate && unitModeOf(otherOf(hot)).current != kUnitOff &&
                    unitModeOf(hot).current != kUnitOff;
    if (!takeOver) {
        std::string text =
            hot1 && hot2 ? "21.3 Перегрев двигателей НУ1 и НУ2" : alarmText(kAlarmMotorOverheatStop, hot);
        if (actions_.raiseAlarm(makeAlarm(kAlarmMotorOverheatStop, text)))
            actions_.halt(true);
        return;
    }
    if (!actions_.raiseAlarm(makeAlarm(kAlarmMotorOverheat, alarmText(kAlarmMotorOverheat, hot))) ||
        !actions_.automatic())
        return;
    cooling_.switchFan(true);
    unit(hot).markFaulty(true);
    hooks_.selectUnits();
}

// A drive reading below 1 °C is cold. With one drive cold and the other one able to run, the warm
// one takes over (alarm 37). When no unit allowed to run is warm the drive stops (alarm 11) until
// one is warm again.
void DriveHealth::checkDriveTemperature() {
    bool cold1 = unit(1).cold();
    bool cold2 = unit(2).cold();
    bool allowed1 = unitModeOf(1).current != kUnitOff;
    bool allowed2 = unitModeOf(2).current != kUnitOff;
    bool stop = unit(1).modeSwitch() == kModeStop;
    if (cold1 != cold2 && unitModeOf(cold1 ? 2 : 1).current != kUnitOff) {
        int coldUnit = cold1 ? 1 : 2;
        if (actions_.raiseAlarm(makeAlarm(kAlarmDriveCold, alarmText(kAlarmDriveCold, coldUnit))) && !stop)
            takeOverFromColdUnit(coldUnit);
    } else {
        actions_.clearAlarm(kAlarmDriveCold);
    }
    if (!cold1 && !cold2 && !stop)
        releaseWarmUnits();
    bool anyAllowed = allowed1 || allowed2;
    bool warmAllowed = (allowed1 && !cold1) || (allowed2 && !cold2);
    if (anyAllowed && !warmAllowed) {
        std::string names = unitNames(allowed1 && cold1, allowed2 && cold2);
        if (actions_.raiseAlarm(
                makeAlarm(kAlarmDriveColdStop, alarmText(kAlarmDriveColdStop, names.c_str()))))
            actions_.halt(true);
        return;
    }
    actions_.clearAndRestart(kAlarmDriveColdStop);
}

// The cold unit is marked faulty and the selection runs. If the motors are running the cold one
// hands over at once: it stops and the selected warm ones start; otherwise the next start uses the
// new selection.
void DriveHealth::takeOverFromColdUnit(int coldUnit) {
    unit(coldUnit).markFaulty(true);
    markedFaultyCold_[coldUnit == 2 ? 1 : 0] = true;
    hooks_.selectUnits();
    if (!unit(1).running() && !unit(2).running())
        return;
    unit(coldUnit).stop(true);
    for (int n = 1; n <= 2; ++n) {
        PumpUnit& candidate = unit(n);
        if (selectedDriveOf(n).current != 1 || candidate.faulty() || candidate.running())
            continue;
        candidate.start(actions_.automatic() ? freqDriveOf(n).value : manualFreqOf(n).value);
    }
}

// The units that were marked faulty for a cold drive are healthy again; a unit marked for another
// reason (motor overheating, over-current) stays marked.
void DriveHealth::releaseWarmUnits() {
    for (int n = 1; n <= 2; ++n) {
        if (!markedFaultyCold_[n == 2 ? 1 : 0])
            continue;
        markedFaultyCold_[n == 2 ? 1 : 0] = false;
        unit(n).markFaulty(false);
    }
}

// "1." followed by the set bits of both drives: alarm words as A, warning words as W; the second
// model's error code as A with the code.
void DriveHealth::rebuildAlarmText() {
    std::string text = "1.";
    for (int n = 1; n <= 2; ++n) {
        const PumpUnit& drive = unit(n);
        if (drive.pollStep() >= 100) {
            if (drive.alarmWord(0) != 0)
                text += (text.size() > 2 ? ", НУ" : " НУ") + std::to_string(n) + "A" +
                        std::to_string(drive.alarmWord(0));
            continue;
        }
        appendBits(text, n, 'A', drive.alarmWord(0), 0);
        appendBits(text, n, 'A', drive.alarmWord(1), 32);
        appendBits(text, n, 'W', drive.alarmWord(2), 0);
        appendBits(text, n, 'W', drive.alarmWord(3), 32);
    }
    if (text.size() == 2) {
        actions_.clearAlarm(kAlarmDriveWords);
        return;
    }
    if (!actions_.raiseAlarm(makeAlarm(kAlarmDriveWords, text)))
        actions_.changeAlarmText(kAlarmDriveWords, text);
}
