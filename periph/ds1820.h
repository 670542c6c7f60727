#pragma once
// The oil thermometer, a DS1820 on the 1-wire bus. Reading the sensor blocks for its conversion, so a
// worker thread (periph/ds1820_worker.h) reads it; the main thread names the sensor to read in
// "/tmp/w1_sensor" and takes the worker's result from "/tmp/w1_result" once a second, telling the drive.
// A sensor is reported failed only after 90 s without a good reading, so bus glitches are ridden through.

#include "core/timer_queue.h"
#include "periph/ds1820_worker.h"

#include <cstdint>
#include <dirent.h>
#include <memory>
#include <string>
#include <vector>

// The 1-wire devices directory (board path "/sys/bus/w1/devices/"), kept open and listed again from
// its start on every call.
class OneWireDevices {
public:
    explicit OneWireDevices(std::string directory) : directory_(std::move(directory)) {}

    // The oil sensor among the entries: the first link, by name, whose name starts with "10-",
    // skipping the board's sensor `boardSensorId`; empty when there is none. False when the directory
    // cannot be listed.
    bool findOilSensor(const std::string& boardSensorId, std::string& sensor);

private:
    // The entries from the start: false when there were none at all (not even "."), as in a
    // directory removed since it was opened.
    bool list(const std::string& boardSensorId, std::vector<std::string>& names);

    const std::string directory_;
    std::unique_ptr<DIR, int (*)(DIR*)> open_{nullptr, ::closedir};
};

class Config;
class OilTemperatureInput;

class DS1820 {
public:
    static constexpr uint32_t kPollMs = 1000;
    static constexpr uint32_t kRideThroughMs = 90000;

    // drive: told of readings and of the sensor's state (null: none yet). config: its thermSensorId
    // names the board's own sensor, never taken for the oil. Starts the worker and runs a poll step.
    DS1820(OilTemperatureInput* drive, const Config& config);
    // Cancels the timer, stops and joins the worker.
    virtual ~DS1820();
    DS1820(const DS1820&) = delete;
    DS1820& operator=(const DS1820&) = delete;

private:
    // Timer "therm": discovery, the result, re-armed for kPollMs.
    void poll();
    void chooseSensor();
    void takeResult();

    OilTemperatureInput* drive_;
    const Config& config_;
    Timer timer_;
    uint32_t lastGoodMs_;
    ExchangeFileWriter sensorFile_;
    ExchangeFileReader resultFile_;
    OneWireDevices devices_;
    bool sensorFileFailureLogged_ = false;
    std::unique_ptr<DS1820Worker> worker_;
};
