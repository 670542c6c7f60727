#pragma once
// The settings of pump unit 1 or 2 and of valve 1 or 2, picked by number from the configuration.

#include "config/config.h"

ConfigFloat& minFreqOf(int unit);
ConfigFloat& maxFreqOf(int unit);
ConfigFloat& nomCurrentOf(int unit);
ConfigFloat& accelTimeOf(int unit);
ConfigFloat& decelTimeOf(int unit);
ConfigFloat& modbusAddrOf(int unit);
ConfigSelect& driveTypeOf(int unit);
ConfigSelect& controlTypeOf(int unit);
OnOffAuto& unitModeOf(int unit);
OnOffAuto& valveModeOf(int valve);
ConfigSelect& selectedDriveOf(int unit);
ConfigSelect& selectedValveOf(int valve);
// The working frequency of automatic operation and the manual-mode frequency.
ConfigFloat& freqDriveOf(int unit);
ConfigFloat& manualFreqOf(int unit);

// The other unit (or valve) of the pair.
inline int otherOf(int unit) {
    return unit == 1 ? 2 : 1;
}

// A decelTimeDrive of 0.09 s, the setting's minimum, means the motor coasts to a stop.
bool coastsToStop(int unit);
