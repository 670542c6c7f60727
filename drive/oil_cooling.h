#pragma once
// The oil cooling: the extra cooling pump (output 21) and the oil-cooler fan (output 20) switched by
// the temperature thresholds, each with its feedback (inputs 11 and 15) checked 200 ms after every
// switching and at every later change of the feedback. A pump or fan whose feedback does not follow
// its output is faulty until the two agree again; the owner hears of every check.

#include "core/timer_queue.h"

#include <array>
#include <functional>

class OilCooling {
public:
    struct Hooks {
        std::function<void(int output, bool on)> setOutput;
        std::function<bool(int output)> outputOn;
        std::function<bool(int input)> inputOn;
        std::function<void()> checked;      // a pump or fan check ended (faulty or not)
        std::function<bool()> sensorFailed; // the fan then keeps running below its threshold
    };
    static constexpr int kFanOutput = 20;
    static constexpr int kPumpOutput = 21;
    static constexpr uint32_t kCheckMs = 200;

    explicit OilCooling(Hooks hooks) : hooks_(std::move(hooks)) {}

    // The thresholds tempCondOn/Off (pump) and tempFanOn/Off (fan) applied to a new temperature.
    void applyTemperature(float celsius);
    void switchPump(bool on);
    void switchFan(bool on);
    // A change of the pump's (true) or the fan's feedback input.
    void onFeedback(bool pump);
    // Faulty: the pump (true) or the fan.
    bool fault(bool pump) const { return faults_[pump ? 0 : 1]; }

private:
    void check(bool pump);

    Hooks hooks_;
    std::array<bool, 2> faults_{};
    Timer pumpCheck_;
    Timer fanCheck_;
};
