#include "drive/dynamogram_phase.h"

SamplePhase dynamogramSamplePhase(bool valveInUse, bool valveOn, bool driveTurns, bool recordPauses) {
    if (!valveInUse)
        return driveTurns ? SamplePhase::Up : SamplePhase::Down;
    if (valveOn)
        return driveTurns && recordPauses ? SamplePhase::None : SamplePhase::Down;
    if (driveTurns)
        return SamplePhase::Up;
    return recordPauses ? SamplePhase::Down : SamplePhase::None;
}
