#include "daemon/web_drive_access.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/dynamogram_record.h"
#include "fieldbus/smbus.h"
#include "platform/platform.h"

namespace {

const char kNotAvailable[] = "н/д";
// The pressure sensor reads absolute pressure; the API shows it above the atmosphere.
constexpr float kAtmosphere = 1.0f;
constexpr float kAbsoluteZero = -273.0f;
// The recorder takes a load sample every 50 ms.
constexpr int kDynamogramSamplePeriodMs = 50;
constexpr float kMsPerMinute = 60000.0f;

JsonValue measured(const Measurement& value, float offset = 0) {
    if (!value.valid)
        return JsonValue(kNotAvailable);
    return JsonValue(static_cast<double>(value.value - offset));
}

JsonValue loads(const std::vector<float>& samples) {
    JsonValue list;
    list.type = kJsonArray;
    for (float load : samples)
        list.items.push_back(JsonValue(static_cast<double>(load)));
    return list;
}

} // namespace

void WebDriveAccess::liveValues(JsonValue& parameters, JsonValue& alarms) {
    parameters["serialNumber"] = gSerialNumber;
    parameters["selectedDrive1"] = config_.selectedDrive1.current;
    parameters["selectedDrive2"] = config_.selectedDrive2.current;
    parameters["selectedValve1"] = config_.selectedValve1.current;
    parameters["selectedValve2"] = config_.selectedValve2.current;
    parameters["freqDrive1"] = static_cast<double>(config_.freqDrive1.value);
    parameters["freqDrive2"] = static_cast<double>(config_.freqDrive2.value);
    parameters["time"] = static_cast<double>(platform::wallTime());
    parameters["current1"] = measured(drive_.current(1));
    parameters["current2"] = measured(drive_.current(2));
    parameters["F1"] = measured(drive_.frequency(1));
    parameters["F2"] = measured(drive_.frequency(2));
    parameters["P1"] = measured(drive_.unitPressure(1), kAtmosphere);
    parameters["P2"] = measured(drive_.unitPressure(2), kAtmosphere);
    parameters["G1"] = measured(drive_.unitLoad(1));
    parameters["G2"] = measured(drive_.unitLoad(2));
    Measurement oil = drive_.oilTemperature();
    parameters["oilTemp"] = oil.valid && oil.value > kAbsoluteZero ? JsonValue(static_cast<double>(oil.value))
                                                                   : JsonValue(kNotAvailable);
    alarms.type = kJsonHash;
    for (const auto& entry : drive_.alarmEntries())
        alarms[entry.first] = entry.second;
}

void WebDriveAccess::queueDriveRequest(const std::vector<uint8_t>& request) {
    driveBus_.request(request.data(), static_cast<int>(request.size()), nullptr, nullptr);
}

void WebDriveAccess::dynamograms(JsonValue& records) {
    records.type = kJsonArray;
    for (const auto& record : drive_.dynamograms()) {
        if (record->skip)
            continue;
        JsonValue item;
        item["upLoads"] = loads(record->upLoads());
        item["downLoads"] = loads(record->downLoads());
        item["minLoad"] = static_cast<double>(record->minLoad());
        item["maxLoad"] = static_cast<double>(record->maxLoad());
        item["strokesPerMinute"] = static_cast<double>(record->strokesPerMinute);
        item["periodMs"] =
            record->strokesPerMinute > 0 ? static_cast<double>(kMsPerMinute / record->strokesPerMinute) : 0.0;
        item["samplePeriodMs"] = kDynamogramSamplePeriodMs;
        records.items.push_back(item);
    }
}
