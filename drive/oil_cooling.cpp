#include "drive/oil_cooling.h"

#include "config/config.h"
#include "core/log.h"
#include "drive/discrete_inputs.h"

namespace {

const char kUnit[] = "controller";

} // namespace

void OilCooling::applyTemperature(float celsius) {
    if (celsius > gConfig->tempCondOn.value)
        switchPump(true);
    else if (celsius < gConfig->tempCondOff.value)
        switchPump(false);
    if (celsius > gConfig->tempFanOn.value && celsius >= gConfig->tempFanOff.value)
        switchFan(true);
    else if (celsius < gConfig->tempFanOff.value && !hooks_.sensorFailed())
        switchFan(false);
}

void OilCooling::switchPump(bool on) {
    if (hooks_.outputOn(kPumpOutput) == on)
        return;
    hooks_.setOutput(kPumpOutput, on);
    LOG_MSG(LOG_INFO, kUnit, "%s дополнительный насос охлаждения", on ? "Включен" : "Выключен");
    pumpCheck_.start("kkCheck", kCheckMs, [this] { check(true); });
}

void OilCooling::switchFan(bool on) {
    if (hooks_.outputOn(kFanOutput) == on)
        return;
    hooks_.setOutput(kFanOutput, on);
    LOG_MSG(LOG_INFO, kUnit, "%s вентилятор маслоохладителя", on ? "Включен" : "Выключен");
    fanCheck_.start("koCheck", kCheckMs, [this] { check(false); });
}

void OilCooling::check(bool pump) {
    bool feedback = hooks_.inputOn(pump ? kInputCoolingPumpFeedback : kInputFanFeedback);
    bool output = hooks_.outputOn(pump ? kPumpOutput : kFanOutput);
    faults_[pump ? 0 : 1] = feedback != output;
    hooks_.checked();
}

void OilCooling::onFeedback(bool pump) {
    if (!(pump ? pumpCheck_ : fanCheck_).armed())
        check(pump);
}
