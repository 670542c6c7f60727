#pragma once
// One pump unit (НУ1 or НУ2): its motor's variable-frequency drive, polled without pause on the drive
// bus and commanded by discrete lines or control frames, and the sensors wired through the unit.

#include "core/timer_queue.h"
#include "drive/controller_types.h"
#include "drive/drive_frames.h"
#include "fieldbus/bytes.h"

#include <array>
#include <cstdint>

// What a pump unit tells the controller that owns it, and the outputs it asks it to set.
class SMBus;

class PumpUnitOwner {
public:
    virtual ~PumpUnitOwner() = default;
    // A discrete output: the run lines, the turning lamps.
    virtual void setOutput(int n, bool on) = 0;
    // The unit's motor was started; stopped; stopped fast with the unit's valve de-energised.
    virtual void motorStarted(int unit) = 0;
    virtual void motorStopped(int unit) = 0;
    virtual void valveClosedByUnit(int unit) = 0;
    // What the drive reports moved: motor overheating, over-current (or the unit's fault mark), its
    // alarm and warning words, its temperature crossing 0, its turning ending.
    virtual void checkMotorOverheat() = 0;
    virtual void checkOverCurrent() = 0;
    virtual void rebuildDriveAlarmText() = 0;
    virtual void checkDriveTemperature() = 0;
    virtual void onTurningStopped() = 0;
};

class PumpUnit {
public:
    // The sensor states a unit keeps; the position sensors in both connection variants (analogue
    // inductive and discrete magnetic, indexed by topSensorType/botSensorType).
    enum SensorSlot { kPressureSensor, kTopAnalog, kTopDiscrete, kBottomAnalog, kBottomDiscrete, kValve };
    static constexpr int kSensorSlots = 6;
    // Retry delay when the bus cannot take a request (its port cannot be opened).
    static constexpr uint32_t kBusRetryMs = 1000;

    // Polls and commands the drive on `bus`, which outlives the unit.
    PumpUnit(PumpUnitOwner& owner, SMBus& bus, int unit, int address);
    // Drops the unit's requests from the bus.
    ~PumpUnit();
    PumpUnit(const PumpUnit&) = delete;
    PumpUnit& operator=(const PumpUnit&) = delete;

    // Sends the first request of the poll; every answer or time-out sends the next.
    void startPolling();

    // Starts the motor at `hertz`.
    void start(float hertz);
    // Stops the motor, fast or on the normal ramp.
    void stop(bool fast);
    // A fast stop with the unit's valve de-energised.
    void stopAndCloseValve();
    // Excludes the unit from the selection (or takes it back); a change is journalled.
    void markFaulty(bool faulty);
    // The frequency the next start uses, written into both frames.
    void setSetPoint(float hertz);
    // Direction bits of frame B: reverse (10) or forward (01).
    void setReverse(bool reverse);
    void setAddress(int address);

    int unit() const { return unit_; }
    // The drive bus the unit is on.
    SMBus& bus() const { return bus_; }
    int address() const { return address_; }
    int modeSwitch() const { return modeSwitch_; }
    void setModeSwitch(int mode) { modeSwitch_ = mode; }
    int sensor(SensorSlot slot) const { return sensors_[slot]; }
    void setSensor(SensorSlot slot, int state) { sensors_[slot] = state; }
    // The top and bottom sensor states of the variant the settings choose.
    int topSensor() const;
    int bottomSensor() const;

    int pollStep() const { return pollStep_; }
    Measurement frequency() const { return {frequencyValid_, frequency_}; }
    Measurement current() const { return {currentValid_, current_}; }
    bool running() const { return running_; }
    bool faulty() const { return faulty_; }
    float setPoint() const { return setPoint_; }
    int driveTemperature() const { return driveTemperature_; }
    bool cold() const { return driveTemperature_ < 1; }
    uint32_t turning() const { return turning_; }
    // Alarm word, alarm word 2, warning word, warning word 2; for the second model word 0 is the
    // drive's error code.
    uint32_t alarmWord(int index) const { return alarmWords_[index]; }
    bool motorOverheated() const;
    bool overCurrent() const;
    // The drive's alarm state is read again after a reset: the old words no longer tell.
    void forgetAlarmWords();
    bool alarmWordsFresh() const { return alarmWordsFresh_; }
    float powerSum() const { return powerSum_; }
    int powerSamples() const { return powerSamples_; }
    void clearPower();
    const ControlFrame& frameA() const { return frameA_; }
    const ControlFrame& frameB() const { return frameB_; }

    // Analogue position sensors (filtered volts) and the pressure channel, kept per unit.
    float topVolts = 0;
    float bottomVolts = 0;
    bool pressureSampled = false;
    float pressure = 0; // smoothed absolute pressure P, kgf/cm²
    float gaugeMaxPa = 0;
    float gaugeMinPa = 0;
    float load = 0; // rod load G, kgf
    void resetGaugeExtremes();

private:
    static void onAnswer(int status, const Bytes& answer, void* context);
    void handleAnswer(int status, const Bytes& answer);
    void useAnswer(int step, const Bytes& answer);
    void readFailed(int step);
    void sendRequest();
    void advance();
    bool secondModel() const { return pollStep_ >= 100; }
    bool modbusControl() const;
    void setAlarmWord(int index, uint32_t word);
    void setTemperature(int temperature);
    void setTurning(uint32_t word);

    PumpUnitOwner& owner_;
    SMBus& bus_;
    const int unit_;
    int address_;
    int modeSwitch_ = kModeUnknown;
    std::array<int, kSensorSlots> sensors_;
    int pollStep_ = 0;
    bool currentValid_ = false;
    float current_ = 0;
    bool frequencyValid_ = false;
    float frequency_ = 0;
    bool running_ = false;
    std::array<uint32_t, 4> alarmWords_{};
    bool alarmWordsFresh_ = false;
    bool faulty_ = false;
    float powerSum_ = 0;
    int powerSamples_ = 0;
    int driveTemperature_ = 25;
    uint32_t turning_ = 0;
    float setPoint_ = 0;
    ControlFrame frameA_;
    ControlFrame frameB_;
    Timer busRetry_;
};
