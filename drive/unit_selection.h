#pragma once
// Which pump units and valves take part in automatic operation, and at what frequency (the selections
// and working frequencies of the performance file).

// Selects from the unit and valve modes, leaving out a faulty unit, then keeps each working frequency
// inside its unit's range.
void selectUnitsAndValves(bool unit1Faulty, bool unit2Faulty);
