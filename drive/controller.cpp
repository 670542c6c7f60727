#include "drive/controller.h"

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/alarm_list.h"
#include "drive/unit_settings.h"
#include "platform/clock.h"

Controller::Controller(const ControllerServices& services)
    : blanking_(services.blanking), alarms_(std::make_unique<AlarmList>()),
      unit1_(std::make_unique<PumpUnit>(*this, 1, static_cast<int>(gConfig->modbusAddrDrive1.value))),
      unit2_(std::make_unique<PumpUnit>(*this, 2, static_cast<int>(gConfig->modbusAddrDrive2.value))),
      keypad_(std::make_unique<Keypad>(services.keys, services.blanking)) {
    alarms_->addObserver(this);
    openResetLines();
    selectBoardThermometer();
    gConfig->setSettingChangeHook([this](const void* setting, float newValue, float oldValue) {
        onSettingChanged(setting, newValue, oldValue);
    });
    setJournalParameterLine([this] { return journalParameterLine(); });
    recomputeRelays();
    evaluateSettingAlarms();
    alarms_->notify();
    adcStepMs_ = now();
    adcTimer_.start("adc", kAdcFirstMs, [this] { onAdcTimer(); });
    // A smart mode loaded from the file corrects from the start, as one switched on later does.
    armStrokeRateCorrection();
    // The oil thermometer joins here once it exists; it reports through onOilTemperature.
    unit1_->startPolling();
    unit2_->startPolling();
}

Controller::~Controller() {
    gConfig->setSettingChangeHook(nullptr);
    setJournalParameterLine(nullptr);
    if (gDiscreteIO)
        gDiscreteIO->setListener(nullptr);
    alarms_->removeObserver(this);
}

uint32_t Controller::now() const {
    return platform::monotonicMs();
}

void Controller::setOutput(int n, bool on) {
    uint64_t bit = uint64_t{1} << n;
    outputsSet_ |= bit;
    outputs_ = on ? outputs_ | bit : outputs_ & ~bit;
    if (gDiscreteIO)
        gDiscreteIO->setOutput(n, on);
}

void Controller::setBlink(int n, bool fast, bool slow) {
    uint64_t bit = uint64_t{1} << n;
    fastBlink_ = fast ? fastBlink_ | bit : fastBlink_ & ~bit;
    slowBlink_ = slow ? slowBlink_ | bit : slowBlink_ & ~bit;
    if (!gDiscreteIO)
        return;
    gDiscreteIO->setFastBlink(n, fast);
    gDiscreteIO->setSlowBlink(n, slow);
}

bool Controller::outputOn(int n) const {
    return (outputs_ >> n & 1) != 0;
}

bool Controller::inputOn(int n) const {
    return gDiscreteIO && gDiscreteIO->isInputOn(n);
}

void Controller::applyOutputs() {
    if (!gDiscreteIO)
        return;
    for (int n = 0; n < DiscreteIO::kSignals; ++n) {
        if (outputsSet_ >> n & 1)
            gDiscreteIO->setOutput(n, outputOn(n));
        gDiscreteIO->setFastBlink(n, (fastBlink_ >> n & 1) != 0);
        gDiscreteIO->setSlowBlink(n, (slowBlink_ >> n & 1) != 0);
    }
    alarms_->notify();
}

void Controller::onModeSwitchInput(int n) {
    int mode = n == 1 ? (inputOn(30) ? 1 : 0) + (inputOn(26) ? 2 : 0)
                      : (inputOn(28) ? 1 : 0) + (inputOn(29) ? 2 : 0);
    if (mode == modeSwitch(n))
        return;
    journalPrintf(LOG_INFO, "НУ%d: переключатель режима работы: %s", n, modeSwitchShortText(mode));
    if (n == 1)
        setMode(mode);
    else
        unit2_->setModeSwitch(mode);
}

void Controller::setMode(int mode) {
    unit1_->setModeSwitch(mode);
    halt(false);
    reclosePending_.fill(false);
    restartedAfterReset_.fill(false);
    if (mode == kModeStop) {
        switchFan(false);
        switchCoolingPump(false);
    } else if (mode == kModeAutomatic || mode == kModeManual) {
        if (oilTemperature_ > gConfig->tempCondOn.value)
            switchCoolingPump(true);
        if (oilTemperature_ > gConfig->tempFanOn.value)
            switchFan(true);
        bool automaticMode = mode == kModeAutomatic;
        for (int n = 1; n <= 2; ++n)
            unit(n).setSetPoint(automaticMode ? freqDriveOf(n).value : manualFreqOf(n).value);
        // A remote stop holds until the remote start, whatever the local switch does.
        if (automaticMode && !isAlarmActive(0))
            startDrive();
    }
    alarms_->notify();
    onPanelEnable(inputOn(27));
    recomputeRelays();
}
