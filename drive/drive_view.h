#pragma once
// What everything above the drive may read of it: the panel screens, the SCADA register map, the web
// API and the peripherals see the drive only through this view (and act on it only through
// DriveCommands). The controller hands out its ControllerView; readers get it handed in.

#include "drive/controller_types.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class AlarmList;
class DynamogramRecord;

class DriveView {
public:
    virtual ~DriveView() = default;

    // Mode switch position of unit 1 or 2 (0 manual, 1 stop, 2 automatic, 3 faulty, 4 not yet read).
    virtual int modeSwitch(int unit) const = 0;
    // The stroke: state 0..20 and the durations of the last up and down strokes (ms, 0 until measured).
    virtual int strokeState() const = 0;
    virtual uint32_t upStrokeMs() const = 0;
    virtual uint32_t downStrokeMs() const = 0;

    // The active alarms with their texts, the current alarm text ("Нет аварий" when none) and the web
    // API's pairs ("alarm16", text) in code order.
    virtual const AlarmList& alarms() const = 0;
    virtual std::string currentAlarmText() const = 0;
    virtual std::vector<std::pair<std::string, std::string>> alarmEntries() const = 0;
    virtual bool isAlarmActive(int32_t code) const = 0;

    // Per unit: the drive's output frequency (Hz) and motor current (A), valid once reported; whether
    // the unit is marked faulty.
    virtual Measurement frequency(int unit) const = 0;
    virtual Measurement current(int unit) const = 0;
    virtual bool unitFaulty(int unit) const = 0;
    // Absolute pressure P (kgf/cm²) and rod load G (kgf) through НУ1, valid while its pressure sensor is
    // OK; the oil temperature (°C), valid once the sensor is good and the value above -273, and the
    // thermometer's own verdict on its sensor.
    virtual Measurement pressure() const = 0;
    virtual Measurement load() const = 0;
    // The same through unit 1's or 2's own pressure sensor (the web API shows both units).
    virtual Measurement unitPressure(int unit) const = 0;
    virtual Measurement unitLoad(int unit) const = 0;
    virtual Measurement oilTemperature() const = 0;
    virtual bool temperatureSensorGood() const = 0;

    // Sensor states (SensorState) of a unit's top and bottom position sensors, of valve 1 or 2 (4 OK,
    // 0 open circuit, 3 short circuit, 5 not yet checked) and of the oil level; the valve's output; the
    // contact manometer.
    virtual int topSensorState(int unit) const = 0;
    virtual int bottomSensorState(int unit) const = 0;
    virtual int valveState(int valve) const = 0;
    virtual bool valveOn(int valve) const = 0;
    virtual int oilLevelState() const = 0;
    virtual bool ecmActive() const = 0;

    // The completed dynamogram records, oldest first (at most ten).
    virtual const std::deque<std::unique_ptr<DynamogramRecord>>& dynamograms() const = 0;

    // The texts the panel shows for the values above.
    const char* modeSwitchDisplayText(int unit) const { return modeSwitchText(modeSwitch(unit)); }
    const char* topSensorText(int unit) const { return sensorStateText(topSensorState(unit)); }
    const char* bottomSensorText(int unit) const { return sensorStateText(bottomSensorState(unit)); }
    const char* valveStateText(int valve) const { return sensorStateText(valveState(valve)); }
    // "неиспр." for a unit marked faulty, "OK" otherwise.
    const char* unitFaultText(int unit) const { return unitFaulty(unit) ? "неиспр." : "OK"; }
};
