#pragma once
// The simulated keypad: keys held down by the control socket, laid over whatever else drives the
// board's inputs (the fixed inputs, later the plant).

#include "core/timer_queue.h"
#include "platform/sim_spi.h"

#include <string>

class PanelKeys : public platform::SimSpiProvider {
public:
    // How long a tapped key stays down: long enough for the debounce, short of the auto-repeat.
    static constexpr uint32_t kTapMs = 100;

    explicit PanelKeys(platform::SimSpiProvider& inputs) : inputs_(&inputs) {}

    void setInputs(platform::SimSpiProvider& inputs) { inputs_ = &inputs; }
    // A key by code (33-38) or name ("cancel", "left", "down", "up", "enter", "right"); 0 when unknown.
    static int keyCode(const std::string& name);
    void press(int code);
    void release(int code);
    // Press now, release kTapMs later.
    void tap(int code);

    uint64_t inputBits() override;
    int adcCount(int channel) override { return inputs_->adcCount(channel); }

private:
    platform::SimSpiProvider* inputs_;
    uint64_t held_ = 0;
    Timer tapRelease_;
    int tapped_ = 0;
};
