#include "daemon/media_indicator.h"

#include "drive/discrete_io.h"

void BoardMediaIndicator::setIndicator(Mode mode) {
    io_.setSlowBlink(kIndicatorOutput, mode == Mode::kBlink);
    io_.setOutput(kIndicatorOutput, mode != Mode::kOff);
}

void BoardMediaIndicator::wakePanel() {
    if (controller_)
        controller_->inputChanged(kPanelEnableInput, true);
}
