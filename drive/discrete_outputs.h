#pragma once
// The outputs of the I/O chain the drive sets, by number (the cooling's 20 and 21 are in
// drive/oil_cooling.h, the valve lamps 37 and 39 in drive/valve_check.cpp).

enum DiscreteOutput : int {
    kOutputRunLine1 = 9,
    kOutputSecondLine1 = 10,
    kOutputRunLine2 = 11,
    kOutputSecondLine2 = 12,
    kOutputRelay1 = 17,
    kOutputRelay2 = 18,
    kOutputSensorPower = 19,
    kOutputValve1 = 22,
    kOutputValve2 = 23,
    kOutputStatusAutomatic = 25,
    kOutputStatusAlarm = 26,
    kOutputStatusStopped = 27,
    kOutputTurningLamp1 = 32,
    kOutputTurningLamp2 = 35,
};
