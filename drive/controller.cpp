#include "drive/controller.h"
#include "drive/discrete_inputs.h"

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/alarm_list.h"
#include "drive/board_thermometer.h"
#include "drive/unit_selection.h"
#include "drive/unit_settings.h"
#include "platform/clock.h"

#include <algorithm>

namespace {

Controller::StrokeState overloadState(RodOverload::Phase phase) {
    switch (phase) {
    case RodOverload::Phase::SensorReset:
        return Controller::kOverload;
    case RodOverload::Phase::Down:
        return Controller::kOverloadDown;
    case RodOverload::Phase::Wait:
        break;
    }
    return Controller::kRecloseWait;
}

Controller::StrokeState overheatState(OilOverheat::Phase phase) {
    switch (phase) {
    case OilOverheat::Phase::Down:
        return Controller::kOverheatDown;
    case OilOverheat::Phase::Bottom:
        return Controller::kOverheatBottom;
    case OilOverheat::Phase::CoolingRun:
        break;
    }
    return Controller::kCoolingRun;
}

} // namespace

Controller::Controller(const ControllerServices& services)
    : blanking_(services.blanking), alarms_(std::make_unique<AlarmList>()),
      unit1_(std::make_unique<PumpUnit>(static_cast<PumpUnitOwner&>(*this), services.driveBus, 1,
                                        static_cast<int>(gConfig->modbusAddrDrive1.value))),
      unit2_(std::make_unique<PumpUnit>(static_cast<PumpUnitOwner&>(*this), services.driveBus, 2,
                                        static_cast<int>(gConfig->modbusAddrDrive2.value))),
      keypad_(std::make_unique<Keypad>(services.keys, services.blanking)),
      reclose_({[this](int n) { return unit(n).overCurrent(); }, [this](int n) { return unit(n).faulty(); },
                [this](int n, bool faulty) { unit(n).markFaulty(faulty); },
                [this](int n) { return unit(n).setPoint(); }, [this] { return automatic(); },
                [this](int32_t code) { return isAlarmActive(code); },
                [this](int32_t code, const std::string& text) { raiseAlarm(makeAlarm(code, text)); },
                [this](int32_t code) { return clearAlarm(code); }, [this] { halt(true); },
                [this](int n, bool raised) { resetLines_.write(n, raised); },
                [this] {
                    enterState(kResetBoth);
                    armStateTimer("resetVfdAlarms-20.2", kResetPulseMs);
                }}),
      resetSequence_(reclose_,
                     {[this] { halt(true); }, [this](int n, bool raised) { resetLines_.write(n, raised); },
                      [this](int n) { unit(n).markFaulty(false); }, [this](int n) { unit(n).clearPower(); },
                      [this](int n) { return unit(n).alarmWordsFresh(); },
                      [this](int n) { return unit(n).overCurrent(); }, [this] { return automatic(); },
                      [this](int32_t code) { return clearAlarm(code); },
                      [this](int n) {
                          enterState(n == 1 ? kResetUnit1 : kResetUnit2);
                          armStateTimer("resetVfdAlarms", kResetPulseMs);
                      },
                      [this](int n) {
                          enterState(n == 1 ? kCheckUnit1 : kCheckUnit2);
                          armStateTimer("checkVfdAlarms", DriveResetSequence::kCheckMs);
                      },
                      [this] { armStateTimer("checkVfdAlarms", DriveResetSequence::kCheckMs); },
                      [this] { selectUnitsAndValves(unit1_->faulty(), unit2_->faulty()); },
                      [this] { startDrive(); }, [this] { return positions_.bottomConfirming(); },
                      [this] {
                          enterState(kFirstUp);
                          beginUpStroke();
                      }}),
      wedging_(*this, {[this](Wedging::Phase phase) {
                           enterState(phase == Wedging::Phase::Down     ? kWedgingDown
                                      : phase == Wedging::Phase::Toggle ? kWedgingToggle
                                                                        : kWedgingUp);
                       },
                       [this](const char* name, uint32_t ms) { armStateTimer(name, ms); },
                       [this](int valve, bool on) { setValve(valve, on); },
                       [this](int valve) { return unit(valve).sensor(PumpUnit::kValve); },
                       [this] { startSelectedMotors(); }}),
      overheat_(*this, {[this](OilOverheat::Phase phase) { enterState(overheatState(phase)); },
                        [this](OilOverheat::Phase phase) { return state_ == overheatState(phase); },
                        [this] {
                            return state_ == kStopped && !unit1_->running() && !unit2_->running() &&
                                   !valveOn(1) && !valveOn(2);
                        },
                        [this] { return stopReasonActive(); },
                        [this] {
                            enterState(kFirstUp);
                            beginUpStroke();
                        },
                        [this] { dwellTimer_.cancel(); },
                        [this](float setPoint) {
                            unit1_->stop(true);
                            unit2_->stop(true);
                            unit1_->setSetPoint(setPoint);
                            unit2_->setSetPoint(setPoint);
                        },
                        [this](int n, float frequency) { unit(n).start(frequency); },
                        [this] { return unit1_->bottomSensor() == kSensorActive; },
                        [this] { return downStrokeLimitMs(); }, [this] { downLimit_.descentOver(); },
                        [this] {
                            openValves();
                            if (anyValveSelected())
                                armMaxDownTimer();
                        },
                        // Resting on the bottom sensor is what the wait is for (as after a rod
                        // overload).
                        [this] {
                            maxDownTimer_.cancel();
                            botSensorTimeout_.cancel();
                        },
                        [this](int valve, bool on) { setValve(valve, on); },
                        [this](const char* name, uint32_t ms) { armStateTimer(name, ms); }}),
      rodOverload_(*this, {[this](RodOverload::Phase phase) { enterState(overloadState(phase)); },
                           [this](RodOverload::Phase phase) { return state_ == overloadState(phase); },
                           [this] { return pressureSensorOk(1); },
                           [this] { return unit1_->running() || unit2_->running(); },
                           [this] { return inCycleDownStroke(); }, [this] { sensorReset_.run(); },
                           [this] { return downStrokeLimitMs(); },
                           [this] {
                               openValves();
                               if (anyValveSelected())
                                   armMaxDownTimer();
                           },
                           // The rod is meant to rest on the bottom sensor for the whole wait; a
                           // turning word not yet polled since the halt must not turn that rest into a
                           // bottom-sensor fault.
                           [this] {
                               clearPerStrokeAlarms();
                               closeBothValves();
                               maxDownTimer_.cancel();
                               botSensorTimeout_.cancel();
                           },
                           [this] {
                               selectUnitsAndValves(unit1_->faulty(), unit2_->faulty());
                               enterState(kFirstUp);
                               beginUpStroke();
                           },
                           [this](const char* name, uint32_t ms) { armStateTimer(name, ms); }}),
      positions_(*unit1_, *unit2_,
                 {[this](int input) { return inputOn(input); },
                  [this](int lamp, bool on) { setOutput(lamp, on); },
                  [this](int lamp, bool fast, bool slow) { setBlink(lamp, fast, slow); },
                  [this](bool top, int state, int previous) {
                      if (top)
                          onTopSensor(state, previous);
                      else
                          onBottomSensor(state, previous);
                  }}),
      sampling_(*this, *unit1_,
                {[](int channel) { return gDiscreteIO ? gDiscreteIO->readAdc(channel) : -1; },
                 [this](bool top, float volts) { positions_.analogueSample(top, volts); },
                 [this](float load) { onLoadSample(load); }}),
      // Held high it stops the drive in automatic; normal again, the drive restarts.
      manometer_(
          [this] {
              raiseAlarm(makeAlarm(kAlarmContactManometerStop));
              if (automatic())
                  halt(true);
          },
          [this] { clearAndRestart(kAlarmContactManometerStop); }),
      valveCheck_(*this, {[this](int valve) { return valveOn(valve); },
                          [this](int valve) {
                              return inputOn(valve == 1 ? kInputValve1Current : kInputValve2Current);
                          },
                          [this](int valve) { return unit(valve).sensor(PumpUnit::kValve); },
                          [this](int valve, int state) { unit(valve).setSensor(PumpUnit::kValve, state); },
                          [this](int lamp, bool fast, bool slow) { setBlink(lamp, fast, slow); }}),
      sensorReset_({[this](bool off) { setOutput(kSensorPower, off); },
                    [this] {
                        if (state_ == kOverload)
                            rodOverload_.sensorsReset();
                    },
                    // A sensor not to be trusted, or low oil unless sensorResetOnLowOil is off.
                    [this] {
                        return alarms_->sensorFault() ||
                               (isAlarmActive(kAlarmLowOil) && gConfig->sensorResetOnLowOil.current == 0);
                    }}),
      cooling_({[this](int output, bool on) { setOutput(output, on); },
                [this](int output) { return outputOn(output); }, [this](int input) { return inputOn(input); },
                [this] { coolingSupervision_.update(); },
                [this] { return isAlarmActive(kAlarmTemperatureSensorError); }}),
      health_(*this, *unit1_, *unit2_, cooling_,
              {[this] { return oilTemperature_; },
               [this] { selectUnitsAndValves(unit1_->faulty(), unit2_->faulty()); }}),
      recorder_({[this] {
                     // A drive turns when its turning output (32, 35) is on, a valve is on when its
                     // output (22, 23) is; a valve is in use when its mode is not "Откл." and it is OK.
                     auto inUse = [this](int valve) {
                         return valveModeOf(valve).current != kUnitOff &&
                                unit(valve).sensor(PumpUnit::kValve) == kSensorOk;
                     };
                     return dynamogramSamplePhase(inUse(1) || inUse(2),
                                                  outputOn(kValve1Output) || outputOn(kValve2Output),
                                                  outputOn(kTurningLamp1) || outputOn(kTurningLamp2),
                                                  gConfig->dynoRecordInPause.current == 0);
                 },
                 [this] { rodOverload_.lowLoad(); }, [this] { tuning_.smart().recordCompleted(); }}),
      tuning_(recorder_.records(), recorder_.completed(),
              {[this] { return isAlarmActive(kAlarmEmergencyTemperatureMode); },
               [this](int n) { return unit(n).faulty(); },
               [this](float rate) { recorder_.setCycleRate(rate); }}),
      view_({*unit1_, *unit2_, *alarms_, outputs_, oilLevel_, manometer_, coolingSupervision_, recorder_,
             oilTemperature_, lastStroke_, [this] { return static_cast<int>(state_); }}),
      commands_(*unit1_, *unit2_, tuning_,
                [this](int n, bool up, bool pressed) { onManualButton(n, up, pressed); }),
      alarmOutputs_(*alarms_, {[this] { return unit1_->modeSwitch(); },
                               [this](int output, bool on) { setOutput(output, on); },
                               [](bool blank) {
                                   if (gDiscreteIO)
                                       gDiscreteIO->setBlank(blank);
                               }}) {
    resetLines_.open();
    selectBoardThermometer();
    gConfig->setSettingChangeHook([this](const void* setting, float newValue, float oldValue) {
        onSettingChanged(setting, newValue, oldValue);
    });
    setJournalParameterLine([this] { return journalParameterLine(); });
    alarmOutputs_.recomputeRelays();
    settingAlarms_.evaluate();
    alarms_->notify();
    sampling_.start();
    // A smart mode loaded from the file corrects from the start, as one switched on later does.
    tuning_.smart().arm();
    // The oil thermometer joins here once it exists; it reports through onOilTemperature.
    unit1_->startPolling();
    unit2_->startPolling();
}

Controller::~Controller() {
    gConfig->setSettingChangeHook(nullptr);
    setJournalParameterLine(nullptr);
    if (gDiscreteIO)
        gDiscreteIO->setListener(nullptr);
}

uint32_t Controller::now() const {
    return platform::monotonicMs();
}

void Controller::onLoadSample(float load) {
    strokeMinLoad_ = std::min(strokeMinLoad_, load);
    strokeMaxLoad_ = std::max(strokeMaxLoad_, load);
    if (automatic())
        recorder_.sample(load);
    rodOverload_.loadSample(load);
}

void Controller::setOutput(int n, bool on) {
    outputs_.set(n, on, gDiscreteIO);
}

void Controller::setBlink(int n, bool fast, bool slow) {
    outputs_.setBlink(n, fast, slow, gDiscreteIO);
}

void Controller::motorStarted(int n) {
    armMaxUpTimer();
    if (unit(n).bottomSensor() == kSensorActive)
        armBotSensorTimeout();
    clearAlarm(kAlarmRodOverloadRestart);
    checkOverCurrent();
}

void Controller::motorStopped(int) {
    maxUpTimer_.cancel();
}

void Controller::valveClosedByUnit(int n) {
    setValve(n, false);
    maxDownTimer_.cancel();
}

bool Controller::outputOn(int n) const {
    return outputs_.on(n);
}

bool Controller::inputOn(int n) const {
    return gDiscreteIO && gDiscreteIO->isInputOn(n);
}

void Controller::applyOutputs() {
    if (!gDiscreteIO)
        return;
    outputs_.applyTo(*gDiscreteIO);
    alarms_->notify();
}

void Controller::onModeSwitchInput(int n) {
    int mode = n == 1 ? (inputOn(kInputModeSwitch1Low) ? 1 : 0) + (inputOn(kInputModeSwitch1High) ? 2 : 0)
                      : (inputOn(kInputModeSwitch2Low) ? 1 : 0) + (inputOn(kInputModeSwitch2High) ? 2 : 0);
    if (mode == unit(n).modeSwitch())
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
    reclose_.forgetPending();
    if (mode == kModeStop) {
        cooling_.switchFan(false);
        cooling_.switchPump(false);
    } else if (mode == kModeAutomatic || mode == kModeManual) {
        if (oilTemperature_ > gConfig->tempCondOn.value)
            cooling_.switchPump(true);
        if (oilTemperature_ > gConfig->tempFanOn.value)
            cooling_.switchFan(true);
        bool automaticMode = mode == kModeAutomatic;
        for (int n = 1; n <= 2; ++n)
            unit(n).setSetPoint(automaticMode ? freqDriveOf(n).value : manualFreqOf(n).value);
        // A remote stop holds until the remote start, whatever the local switch does.
        if (automaticMode && !isAlarmActive(kAlarmRemoteStartWait))
            startDrive();
    }
    alarms_->notify();
    onPanelEnable(inputOn(kInputPanelEnable));
    alarmOutputs_.recomputeRelays();
}
