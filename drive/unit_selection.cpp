// The selection runs on every start, after an automatic reclose and after a drive reset. The selections
// are settings of the performance file, so they survive a restart.

#include "drive/unit_selection.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller_types.h"
#include "drive/unit_settings.h"

#include <cmath>

namespace {

// Mode "on" selects (unless the unit is faulty), "off" deselects, "auto" keeps the last choice
// unless the unit is faulty.
void selectDrive(int unit, bool faulty) {
    ConfigSelect& selected = selectedDriveOf(unit);
    switch (unitModeOf(unit).current) {
    case kUnitOn:
        selected.set(faulty ? 0 : 1);
        break;
    case kUnitOff:
        selected.set(0);
        break;
    default:
        if (faulty)
            selected.set(0);
        break;
    }
}

void selectValve(int valve) {
    int mode = valveModeOf(valve).current;
    if (mode == kUnitOn)
        selectedValveOf(valve).set(1);
    else if (mode == kUnitOff)
        selectedValveOf(valve).set(0);
}

bool autoAndHealthy(int unit, bool faulty) {
    return unitModeOf(unit).current == kUnitAuto && !faulty;
}

// A working frequency never set (-1) starts in the middle of the unit's range, rounded to a whole
// hertz; any other is kept inside the range.
void selectWorkingFrequencies() {
    for (int n = 1; n <= 2; ++n) {
        ConfigFloat& frequency = freqDriveOf(n);
        float low = minFreqOf(n).value;
        float high = maxFreqOf(n).value;
        if (frequency.value == -1.0f)
            frequency.set(std::floor((low + high) / 2.0f + 0.5f));
        else if (frequency.value < low)
            frequency.set(low);
        else if (frequency.value > high)
            frequency.set(high);
    }
}

} // namespace

void selectUnitsAndValves(bool unit1Faulty, bool unit2Faulty) {
    selectDrive(1, unit1Faulty);
    selectDrive(2, unit2Faulty);
    if (gConfig->selectedDrive1.current == 0 && gConfig->selectedDrive2.current == 0) {
        bool first = autoAndHealthy(1, unit1Faulty);
        bool second = autoAndHealthy(2, unit2Faulty);
        if (first && second)
            selectedDriveOf(gConfig->prioPu1Pu2.current != 0 ? 2 : 1).set(1);
        else if (first)
            gConfig->selectedDrive1.set(1);
        else if (second)
            gConfig->selectedDrive2.set(1);
    }
    selectValve(1);
    selectValve(2);
    if (gConfig->selectedValve1.current == 0 && gConfig->selectedValve2.current == 0) {
        bool first = valveModeOf(1).current == kUnitAuto;
        bool second = valveModeOf(2).current == kUnitAuto;
        if (first && second)
            selectedValveOf(gConfig->prioEv1Ev2.current != 0 ? 2 : 1).set(1);
        else if (first)
            gConfig->selectedValve1.set(1);
        else if (second)
            gConfig->selectedValve2.set(1);
    }
    selectWorkingFrequencies();
}
