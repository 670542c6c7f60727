#pragma once
// Start-up GPIO work: exporting the lines the daemon drives and making its outputs outputs.

// Both log the failing file and return false; the daemon then exits with status 1.
bool exportGpioLines();
bool setGpioDirections();
