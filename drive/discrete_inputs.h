#pragma once
// The inputs of the I/O chain the drive reads, by number (the keys 33-38 are in drive/keypad.h).

enum DiscreteInput : int {
    // Position sensor pairs: state = first + 2 x second.
    kInputTopSensor1 = 1,
    kInputTopSensor1High = 20,
    kInputBottomSensor1 = 2,
    kInputBottomSensor1High = 3,
    kInputTopSensor2 = 4,
    kInputTopSensor2High = 5,
    kInputBottomSensor2 = 6,
    kInputBottomSensor2High = 7,
    // The oil level sensor's pair (swapped by oilSensorInvertion).
    kInputOilLevel = 9,
    kInputOilLevelHigh = 10,
    kInputCoolingPumpFeedback = 11,
    kInputContactManometer = 14,
    kInputFanFeedback = 15,
    kInputValve1Current = 17,
    kInputValve2Current = 18,
    // Mode switches: mode = low + 2 x high.
    kInputModeSwitch1Low = 30,
    kInputModeSwitch1High = 26,
    kInputModeSwitch2Low = 28,
    kInputModeSwitch2High = 29,
    // Manual push buttons.
    kInputUnit1Up = 25,
    kInputUnit1Down = 31,
    kInputUnit2Up = 39,
    kInputUnit2Down = 16,
    kInputPanelEnable = 27,
};
