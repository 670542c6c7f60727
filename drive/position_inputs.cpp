#include "drive/position_inputs.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/discrete_inputs.h"

namespace {

// Input pairs (first + 2 x second) of the top and bottom sensors of НУ1 and НУ2.
struct SensorPair {
    int first;
    int second;
};
constexpr SensorPair kTopPairs[] = {{kInputTopSensor1, kInputTopSensor1High},
                                    {kInputTopSensor2, kInputTopSensor2High}};
constexpr SensorPair kBottomPairs[] = {{kInputBottomSensor1, kInputBottomSensor1High},
                                       {kInputBottomSensor2, kInputBottomSensor2High}};

// Lamps: top of НУ1 / НУ2, bottom of НУ1 / НУ2.
constexpr int kTopLamps[] = {34, 36};
constexpr int kBottomLamps[] = {38, 31};

size_t index(int n) {
    return n == 2 ? 1 : 0;
}

int positionState(float volts) {
    if (volts < 0.1f)
        return kSensorOpen;
    if (volts > 6.0f)
        return kSensorShort;
    return volts < 1.65f ? kSensorActive : kSensorInactive;
}

} // namespace

PositionInputs::PositionInputs(PumpUnit& unit1, PumpUnit& unit2, Hooks hooks)
    : units_{&unit1, &unit2}, hooks_(std::move(hooks)),
      topFilters_{{SensorPairFilter("topSensotAlarm", [this](int state) { accept(1, true, state); }),
                   SensorPairFilter("topSensotAlarm", [this](int state) { accept(2, true, state); })}},
      bottomFilters_{{SensorPairFilter("botSensotAlarm", [this](int state) { accept(1, false, state); }),
                      SensorPairFilter("botSensotAlarm", [this](int state) { accept(2, false, state); })}} {}

void PositionInputs::pairChanged(int n, bool top) {
    const SensorPair& pair = (top ? kTopPairs : kBottomPairs)[index(n)];
    int state = (hooks_.inputOn(pair.first) ? 1 : 0) + (hooks_.inputOn(pair.second) ? 2 : 0);
    // An open or short pattern counts once it has lasted 200 ms.
    (top ? topFilters_ : bottomFilters_)[index(n)].onState(state);
}

// The filtered voltage follows each reading halfway.
void PositionInputs::analogueSample(bool top, float volts) {
    PumpUnit& drive = *units_[0];
    float& filtered = top ? drive.topVolts : drive.bottomVolts;
    filtered = 0.5f * filtered + 0.5f * volts;
    PumpUnit::SensorSlot slot = top ? PumpUnit::kTopAnalog : PumpUnit::kBottomAnalog;
    int state = positionState(filtered);
    int previous = drive.sensor(slot);
    if (state == previous)
        return;
    drive.setSensor(slot, state);
    const ConfigSelect& type = top ? gConfig->topSensorType : gConfig->botSensorType;
    if (type.current != 0)
        return;
    showLamp(1, top, state);
    hooks_.changed(top, state, previous);
}

void PositionInputs::accept(int n, bool top, int state) {
    PumpUnit& drive = *units_[index(n)];
    PumpUnit::SensorSlot slot = top ? PumpUnit::kTopDiscrete : PumpUnit::kBottomDiscrete;
    int previous = drive.sensor(slot);
    if (previous == state)
        return;
    drive.setSensor(slot, state);
    const ConfigSelect& type = top ? gConfig->topSensorType : gConfig->botSensorType;
    if (type.current != 1)
        return;
    showLamp(n, top, state);
    if (n == 1)
        hooks_.changed(top, state, previous);
}

// On = active, off = inactive, slow blink = open circuit, fast blink = short circuit.
void PositionInputs::showLamp(int n, bool top, int state) {
    int lamp = (top ? kTopLamps : kBottomLamps)[index(n)];
    hooks_.setLamp(lamp, state == kSensorActive);
    hooks_.blink(lamp, state == kSensorShort, state == kSensorOpen);
}
