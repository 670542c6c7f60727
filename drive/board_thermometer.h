#pragma once
// The board's own thermometer among the 1-wire devices, remembered so that it is never taken for the
// oil thermometer.

// Stores the only "10-" device as the board's thermometer; returns how many there are (0, 1 or more).
int searchBoardThermometer();
// The search at start-up, unless one is stored already.
void selectBoardThermometer();
