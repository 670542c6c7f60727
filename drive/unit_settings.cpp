#include "drive/unit_settings.h"

#include "core/registry.h"

#include <cmath>

namespace {

template <typename T> T& pick(int unit, T& first, T& second) {
    return unit == 2 ? second : first;
}

} // namespace

ConfigFloat& minFreqOf(int unit) {
    return pick(unit, gConfig->minFreqDrive1, gConfig->minFreqDrive2);
}

ConfigFloat& maxFreqOf(int unit) {
    return pick(unit, gConfig->maxFreqDrive1, gConfig->maxFreqDrive2);
}

ConfigFloat& nomCurrentOf(int unit) {
    return pick(unit, gConfig->nomCurrentDrive1, gConfig->nomCurrentDrive2);
}

ConfigFloat& accelTimeOf(int unit) {
    return pick(unit, gConfig->accelTimeDrive1, gConfig->accelTimeDrive2);
}

ConfigFloat& decelTimeOf(int unit) {
    return pick(unit, gConfig->decelTimeDrive1, gConfig->decelTimeDrive2);
}

ConfigFloat& modbusAddrOf(int unit) {
    return pick(unit, gConfig->modbusAddrDrive1, gConfig->modbusAddrDrive2);
}

ConfigSelect& driveTypeOf(int unit) {
    return pick(unit, gConfig->typeDrive1, gConfig->typeDrive2);
}

ConfigSelect& controlTypeOf(int unit) {
    return pick(unit, gConfig->controlTypeDrive1, gConfig->controlTypeDrive2);
}

OnOffAuto& unitModeOf(int unit) {
    return pick(unit, gConfig->pu1Mode, gConfig->pu2Mode);
}

OnOffAuto& valveModeOf(int valve) {
    return pick(valve, gConfig->ev1Mode, gConfig->ev2Mode);
}

ConfigSelect& selectedDriveOf(int unit) {
    return pick(unit, gConfig->selectedDrive1, gConfig->selectedDrive2);
}

ConfigSelect& selectedValveOf(int valve) {
    return pick(valve, gConfig->selectedValve1, gConfig->selectedValve2);
}

ConfigFloat& freqDriveOf(int unit) {
    return pick(unit, gConfig->freqDrive1, gConfig->freqDrive2);
}

ConfigFloat& manualFreqOf(int unit) {
    return pick(unit, gConfig->manualFreqDrive1, gConfig->manualFreqDrive2);
}

bool coastsToStop(int unit) {
    return std::fabs(decelTimeOf(unit).value - 0.09f) < 0.001f;
}
