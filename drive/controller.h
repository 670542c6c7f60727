#pragma once
// The drive's controller: the stroke cycle of the rod pump (up on the motors of the pump units, down on
// the electro-valves), the supervision of sensors, drives, temperatures and loads, the numbered alarms
// and the automatic restarts. One instance, created by the daemon; everything runs on the main thread,
// driven by timers, drive answers and input changes. Above the drive it is seen only through the
// DriveView and DriveCommands it hands out (ControllerView, ControllerCommands).
//
// Parts with their own class: OutputImage, AlarmOutputs, ContactManometer, SensorReset, OilCooling,
// CoolingSupervision, DriveResetLines, PositionInputs (with SensorPairFilter), AnalogSampling,
// SettingAlarms, DriveHealth, Reclose, DriveResetSequence, DynamogramRecorder (with DynamogramSaver),
// StrokeRateTuning (with SmartCorrection), OilLevel, ValveCheck, DownStrokeLimit, Wedging,
// OilOverheat, RodOverload, AlarmList, PumpUnit, Keypad, and for the layers above ControllerView and
// ControllerCommands; functions of their own: the unit selection, the board thermometer search, the
// pressure plausibility. The rest is split by concern: controller.cpp (construction, accessors, mode
// switches, the load sample), controller_alarms.cpp (raising, clearing, restarting), stroke_cycle.cpp,
// valves.cpp, supervision_timers.cpp, state_timer.cpp, drive_parameters.cpp, input_dispatch.cpp,
// position_sensors.cpp, oil_temperature.cpp, manual_control.cpp, setting_reactions.cpp,
// journal_parameters.cpp.

#include "core/sysfs_file.h"
#include "core/timer_queue.h"
#include "drive/alarm_catalogue.h"
#include "drive/alarm_list.h"
#include "drive/alarm_outputs.h"
#include "drive/analog_sampling.h"
#include "drive/board_thermometer.h"
#include "drive/contact_manometer.h"
#include "drive/controller_commands.h"
#include "drive/controller_types.h"
#include "drive/controller_view.h"
#include "drive/cooling_supervision.h"
#include "drive/discrete_io.h"
#include "drive/discrete_outputs.h"
#include "drive/down_stroke_limit.h"
#include "drive/drive_health.h"
#include "drive/drive_reset_lines.h"
#include "drive/drive_reset_sequence.h"
#include "drive/dynamogram_phase.h"
#include "drive/dynamogram_record.h"
#include "drive/dynamogram_recorder.h"
#include "drive/keypad.h"
#include "drive/oil_cooling.h"
#include "drive/oil_level.h"
#include "drive/oil_overheat.h"
#include "drive/oil_temperature_input.h"
#include "drive/output_image.h"
#include "drive/position_inputs.h"
#include "drive/pump_unit.h"
#include "drive/reclose.h"
#include "drive/rod_overload.h"
#include "drive/sensor_reset.h"
#include "drive/setting_alarms.h"
#include "drive/smart_correction.h"
#include "drive/stroke_rate_tuning.h"
#include "drive/supervision_actions.h"
#include "drive/valve_check.h"
#include "drive/wedging.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// What the controller is handed: where the panel keys go, how the display is blanked, and the drive
// bus of both pump units (it outlives the controller).
struct ControllerServices {
    KeyHandler& keys;
    DisplayBlanking& blanking;
    SMBus& driveBus;
};

class Controller : public DiscreteInputListener,
                   public OilTemperatureInput,
                   private SupervisionActions,
                   private PumpUnitOwner {
public:
    // Stroke states (see stroke_cycle.cpp for the table).
    enum StrokeState : int {
        kStopped = 0,
        kFirstDown = 1,
        kFirstUp = 2,
        kFirstCycleDown = 3,
        kUp = 4,
        kDown = 5,
        kOverheatDown = 6,
        kOverheatBottom = 7,
        kCoolingRun = 8,
        kOverload = 9,
        kOverloadDown = 10,
        kRecloseWait = 11,
        kWedgingDown = 12,
        kWedgingToggle = 13,
        kWedgingUp = 14,
        kResetUnit1 = 16,
        kResetUnit2 = 17,
        kResetBoth = 18,
        kCheckUnit1 = 19,
        kCheckUnit2 = 20,
    };

    // Discrete outputs the controller drives (drive/discrete_outputs.h).
    static constexpr int kRunLine1 = kOutputRunLine1;
    static constexpr int kSecondLine1 = kOutputSecondLine1;
    static constexpr int kRunLine2 = kOutputRunLine2;
    static constexpr int kSecondLine2 = kOutputSecondLine2;
    static constexpr int kRelay1 = kOutputRelay1;
    static constexpr int kRelay2 = kOutputRelay2;
    static constexpr int kSensorPower = kOutputSensorPower;
    static constexpr int kFanOutput = OilCooling::kFanOutput;
    static constexpr int kCoolingPumpOutput = OilCooling::kPumpOutput;
    static constexpr int kValve1Output = kOutputValve1;
    static constexpr int kValve2Output = kOutputValve2;
    static constexpr int kStatusAutomatic = kOutputStatusAutomatic;
    static constexpr int kStatusAlarm = kOutputStatusAlarm;
    static constexpr int kStatusStopped = kOutputStatusStopped;
    static constexpr int kTurningLamp1 = kOutputTurningLamp1;
    static constexpr int kTurningLamp2 = kOutputTurningLamp2;

    static constexpr uint32_t kResetPulseMs = DriveResetLines::kPulseMs;
    static constexpr uint32_t kConfirmMs = 200;
    static constexpr size_t kAlarmEventsKept = 64;
    static constexpr size_t kDynamogramsKept = DynamogramRecorder::kKept;

    // Creates the pump units and the alarm list, opens the reset lines, picks the board thermometer,
    // hooks into the configuration and the journal, arms the analogue sampling and starts the polls.
    explicit Controller(const ControllerServices& services);
    ~Controller() override;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // --- Operations (panel, Modbus slave, web API, settings) ---

    // "запуск привода": the selection, then a down stroke, or an up stroke when the rod is at the bottom.
    void startDrive();
    // "остановка привода": both units fast-stopped, both valves closed, state 0. closeRecords also
    // writes the finished dynamogram records.
    void halt(bool closeRecords) override;
    // НУ1's mode switch moved to `mode` (0 manual, 1 stop, 2 automatic, 3 faulty).
    void setMode(int mode);
    // Every change of a numeric, select or flags setting.
    void onSettingChanged(const void* setting, float newValue, float oldValue);
    // Adds the alarm unless its code is active; true when added.
    bool raiseAlarm(const AlarmRecord& record) override;
    // Removes the code; true when it was active.
    bool clearAlarm(int32_t code) override;
    // Replaces the text of an active alarm.
    void changeAlarmText(int32_t code, const std::string& text) override;
    // The code is active.
    bool isAlarmActive(int32_t code) const override;
    // The direction group of that download alone: the drives follow manualReverseStart when it changes.
    void writeDriveDirection();
    // Both reset lines raised for 150 ms (key resetVFD).
    void resetDrives() { resetLines_.pulseBoth(); }
    // A new oil temperature from the thermometer (°C).
    void onOilTemperature(float celsius) override;
    // The thermometer's verdict on its sensor; a failed sensor is alarm 21.
    void setTemperatureSensorState(bool good) override { coolingSupervision_.setSensorState(good); }
    bool temperatureSensorGood() const override { return coolingSupervision_.sensorGood(); }

    // DiscreteInputListener.
    void inputChanged(int n, bool state) override;
    void discreteIoStarted() override;

    // --- What the panel, the Modbus slave, the web API and the peripherals are handed ---

    const DriveView& view() const { return view_; }
    DriveCommands& commands() { return commands_; }

    // --- Inside the drive and its tests ---

    PumpUnit& unit(int n) { return n == 2 ? *unit2_ : *unit1_; }
    const PumpUnit& unit(int n) const { return n == 2 ? *unit2_ : *unit1_; }
    bool pressureSensorOk(int n) const { return unit(n).sensor(PumpUnit::kPressureSensor) == kSensorOk; }
    // The stroke's timing (monotonic ms).
    uint32_t cycleStartMs() const { return strokeStartMs_; }
    uint32_t downStrokeStartMs() const { return downStartMs_; }
    bool strokeCompleted() const { return strokeCompleted_; }
    // Automatic restarts: the rod-overload restart count and a unit's over-current reclose count.
    int overloadRestarts() const { return rodOverload_.restarts(); }
    const Reclose& reclose() const { return reclose_; }
    AlarmList& alarms() { return *alarms_; }
    // Codes of the alarms 6, 7, 8, 16, 18, 19, 20 as they were raised (positive) or cleared (negative),
    // newest last, at most kAlarmEventsKept.
    const std::deque<int32_t>& alarmEvents() const { return alarmEvents_; }
    // The detailed parameter line of the journal ("P=... ДН=..."), or empty in normal journal mode.
    std::string journalParameterLine() const;
    // Faulty: the cooling pump (1) or the fan (2).
    bool coolingFault(int n) const { return cooling_.fault(n != 2); }
    // The stroke-rate tuning with the smart mode, and the dynamogram recorder with its saving.
    const StrokeRateTuning& tuning() const { return tuning_; }
    const DynamogramRecorder& recorder() const { return recorder_; }
    // Told of every completed record (the panel's plots); nullptr for none.
    void setDynamogramObserver(DynamogramObserver* observer) { recorder_.setObserver(observer); }
    bool sensorResetRunning() const { return sensorReset_.running(); }

private:
    bool automatic() const override { return unit1_->modeSwitch() == kModeAutomatic; }
    bool manual() const { return unit1_->modeSwitch() == kModeManual; }
    // The down strokes of the cycle itself (states 1, 3 and 5).
    bool inCycleDownStroke() const {
        return state_ == kFirstDown || state_ == kFirstCycleDown || state_ == kDown;
    }
    uint32_t now() const;
    // The only way the stroke state changes.
    void enterState(StrokeState state) { state_ = state; }
    void setOutput(int n, bool on) override;
    // PumpUnitOwner: a unit's motor started (the up-stroke supervision starts), stopped, or stopped
    // with its valve closed.
    void motorStarted(int n) override;
    void motorStopped(int n) override;
    void valveClosedByUnit(int n) override;
    // A lamp blinking fast, slowly or not at all.
    void setBlink(int n, bool fast, bool slow);
    // Hands the outputs set before the chain existed to it.
    void applyOutputs();
    bool outputOn(int n) const;
    bool inputOn(int n) const;
    void recordAlarmEvent(int32_t code, bool raised);
    // Starts the drive after a stopping alarm went, when nothing else holds it.
    void restartAfterClearing(bool stoppingAlarmCleared) override;
    // Some active alarm is one that stops the drive.
    bool stopReasonActive() const;
    bool clearAndRestart(int32_t code) override;

    // Stroke cycle (stroke_cycle.cpp).
    void beginDownStroke(const char* timerName);
    void beginUpStroke();
    void startSelectedMotors();
    void onTopReversal(bool fromSensor);
    void onBottomReversal();
    void onDwellTimer();
    void finishCycleAtBottom();
    void lowerMaxFrequencyAfterReset();
    void clearPerStrokeAlarms();
    void countCompletedCycle();

    // Valves (valves.cpp).
    void openValves();
    void setValve(int valve, bool on);
    void closeBothValves();
    bool anyValveSelected() const;
    bool valveOn(int valve) const;

    // The down-stroke limit of a stroke beginning now (DownStrokeLimit).
    uint32_t downStrokeLimitMs() { return downLimit_.limitMs(lastStroke_.upMs, lastStroke_.downMs); }

    // Supervision timers (supervision_timers.cpp).
    void armMaxDownTimer();
    void armMaxUpTimer();
    void armTopSensorTimeout();
    void armBotSensorTimeout();
    void onMaxDownTimer();
    void onTopSensorTimeout();
    void onBotSensorTimeout();
    void armStateTimer(const char* name, uint32_t ms);

    // State timer (state_timer.cpp).
    void onStateTimer();

    // A rod load sample: the stroke's extremes, the dynamogram, the supervision (RodOverload).
    void onLoadSample(float load);

    // Over-current reclose (Reclose, DriveResetSequence).
    void checkOverCurrent() override { reclose_.checkOverCurrent(); }

    // What the drives report about themselves (DriveHealth), and their turning ending
    // (supervision_timers.cpp).
    void checkMotorOverheat() override { health_.checkMotorOverheat(); }
    void checkDriveTemperature() override { health_.checkDriveTemperature(); }
    void rebuildDriveAlarmText() override { health_.rebuildAlarmText(); }
    void onTurningStopped() override;

    // Inputs (input_dispatch.cpp, position_sensors.cpp,
    // manual_control.cpp).
    void dispatchInput(int n);
    void onTopSensor(int state, int previous);
    void onBottomSensor(int state, int previous);
    void checkSimultaneousActivation();
    void onModeSwitchInput(int n);
    void onManualButton(int n, bool up, bool pressed);
    void onPanelEnable(bool level);

    // Oil temperature (oil_temperature.cpp).
    float topDwellSeconds() const;

    // Sensor reset (sensor_reset.cpp).

    DisplayBlanking& blanking_;
    std::unique_ptr<AlarmList> alarms_;
    std::unique_ptr<PumpUnit> unit1_;
    std::unique_ptr<PumpUnit> unit2_;
    std::unique_ptr<Keypad> keypad_;
    DriveResetLines resetLines_{[this](int n) { unit(n).forgetAlarmWords(); }};

    // The stroke.
    StrokeState state_ = kStopped;
    Timer stateTimer_;
    Timer dwellTimer_;
    Timer ev1ev2Timer_;
    Timer maxDownTimer_;
    Timer maxUpTimer_;
    Timer topSensorTimeout_;
    Timer botSensorTimeout_;
    uint32_t strokeStartMs_ = 0;
    uint32_t downStartMs_ = 0;
    StrokeTiming lastStroke_;
    // Per-stroke condition flag: alarm 27 was raised during this down stroke (25: rodOverload_, 26:
    // downLimit_).
    bool downTimeThisStroke_ = false;
    DownStrokeLimit downLimit_{*this};
    bool strokeCompleted_ = false;
    float strokeMinLoad_ = 0;
    float strokeMaxLoad_ = 0;

    // Automatic restarts.
    Reclose reclose_;
    DriveResetSequence resetSequence_;

    // The procedures with stroke states of their own.
    Wedging wedging_;
    OilOverheat overheat_;
    RodOverload rodOverload_;

    // Sensors.
    PositionInputs positions_;
    AnalogSampling sampling_;
    ContactManometer manometer_;
    OilLevel oilLevel_{*this};
    ValveCheck valveCheck_;
    SensorReset sensorReset_;

    // Temperatures and cooling.
    float oilTemperature_ = -300.0f;
    OilCooling cooling_;
    DriveHealth health_;

    std::deque<int32_t> alarmEvents_;
    SettingAlarms settingAlarms_{*this};

    DynamogramRecorder recorder_;
    StrokeRateTuning tuning_;
    CoolingSupervision coolingSupervision_{*this, cooling_, tuning_};
    // The outputs as the controller set them (the chain may not exist yet).
    OutputImage outputs_;
    // What the layers above are handed: over the parts above, so after them.
    ControllerView view_;
    ControllerCommands commands_;
    // Last, so that it watches the list only while everything it sets exists.
    AlarmOutputs alarmOutputs_;
};
