#pragma once
// The pressure sensor's plausibility, judged at every top reversal against the pressure the motors'
// mean power over the up stroke implies (alarm 22 when it deviates too far).

#include "drive/pump_unit.h"
#include "drive/supervision_actions.h"

#include <cstdint>

// Raises or clears alarm 22 for НУ1's pressure sensor; nothing when it cannot be judged.
void judgePressurePlausibility(const PumpUnit& unit1, const PumpUnit& unit2, uint32_t upStrokeMs,
                               SupervisionActions& actions);
