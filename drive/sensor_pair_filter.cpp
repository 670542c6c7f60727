#include "drive/sensor_pair_filter.h"

#include "drive/controller_types.h"

void SensorPairFilter::onState(int state) {
    if (state != kSensorOpen && state != kSensorShort) {
        timer_.cancel();
        pending_ = -1;
        accept_(state);
        return;
    }
    if (timer_.armed() && pending_ == state)
        return;
    pending_ = state;
    timer_.start(timerName_, kConfirmMs, [this] {
        int confirmed = pending_;
        pending_ = -1;
        accept_(confirmed);
    });
}
