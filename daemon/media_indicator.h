#pragma once
// The portable-media indicator on the board: discrete output 28, steady or blinking slowly; a plugged
// drive wakes the panel as the panel-enable input 27 does at level 1.

#include "periph/flash.h"

class DiscreteIO;
class DiscreteInputListener;

class BoardMediaIndicator : public MediaIndicator {
public:
    static constexpr int kIndicatorOutput = 28;
    static constexpr int kPanelEnableInput = 27;

    BoardMediaIndicator(DiscreteIO& io, DiscreteInputListener* controller)
        : io_(io), controller_(controller) {}
    void setIndicator(Mode mode) override;
    void wakePanel() override;

private:
    DiscreteIO& io_;
    DiscreteInputListener* controller_;
};
