#pragma once
// Which stroke of the dynamogram a 50 ms load sample belongs to.
//
//   no valve in use:  up when a drive turns, else down;
//   a valve on:       down; not recorded while a drive also turns when pauses are recorded
//                     (dynoRecordInPause "Вкл.");
//   no valve on:      up when a drive turns; else (a pause at a reversal point) down when pauses are
//                     recorded, not recorded otherwise.

enum class SamplePhase { None, Up, Down };

SamplePhase dynamogramSamplePhase(bool valveInUse, bool valveOn, bool driveTurns, bool recordPauses);
