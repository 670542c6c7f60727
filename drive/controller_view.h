#pragma once
// The controller as everything above the drive reads it (DriveView): each value is read where it is
// kept, in the pump units, the alarm list, the output image, the oil level, the contact manometer, the
// cooling supervision, the dynamogram recorder and the stroke's timing. The controller owns it and
// hands it out.

#include "drive/drive_view.h"

#include <functional>

class PumpUnit;
class OutputImage;
class OilLevel;
class ContactManometer;
class CoolingSupervision;
class DynamogramRecorder;

// The durations of the last up and down strokes (ms, 0 until measured), as the stroke cycle measures
// them.
struct StrokeTiming {
    uint32_t upMs = 0;
    uint32_t downMs = 0;
};

class ControllerView : public DriveView {
public:
    struct Sources {
        const PumpUnit& unit1;
        const PumpUnit& unit2;
        const AlarmList& alarms;
        const OutputImage& outputs;
        const OilLevel& oilLevel;
        const ContactManometer& manometer;
        const CoolingSupervision& coolingSupervision;
        const DynamogramRecorder& recorder;
        const float& oilTemperature; // °C, as the thermometer reported it last
        const StrokeTiming& stroke;
        std::function<int()> strokeState; // the controller's stroke state
    };
    explicit ControllerView(Sources sources) : sources_(std::move(sources)) {}

    int modeSwitch(int unit) const override;
    int strokeState() const override { return sources_.strokeState(); }
    uint32_t upStrokeMs() const override { return sources_.stroke.upMs; }
    uint32_t downStrokeMs() const override { return sources_.stroke.downMs; }

    const AlarmList& alarms() const override { return sources_.alarms; }
    std::string currentAlarmText() const override;
    std::vector<std::pair<std::string, std::string>> alarmEntries() const override;
    bool isAlarmActive(int32_t code) const override;

    Measurement frequency(int unit) const override;
    Measurement current(int unit) const override;
    bool unitFaulty(int unit) const override;
    Measurement pressure() const override { return unitPressure(1); }
    Measurement load() const override { return unitLoad(1); }
    Measurement unitPressure(int unit) const override;
    Measurement unitLoad(int unit) const override;
    Measurement oilTemperature() const override;
    bool temperatureSensorGood() const override;

    int topSensorState(int unit) const override;
    int bottomSensorState(int unit) const override;
    int valveState(int valve) const override;
    bool valveOn(int valve) const override;
    int oilLevelState() const override;
    bool ecmActive() const override;

    const std::deque<std::unique_ptr<DynamogramRecord>>& dynamograms() const override;

private:
    const PumpUnit& unit(int n) const { return n == 2 ? sources_.unit2 : sources_.unit1; }
    // The unit's pressure and load are valid while its pressure sensor is OK.
    bool pressureSensorOk(int n) const;

    Sources sources_;
};
