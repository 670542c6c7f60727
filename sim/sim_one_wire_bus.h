#pragma once
// The simulated board's 1-wire bus as the kernel shows it: a directory per sensor under
// "/sys/devices/w1_bus_master1/", linked from "/sys/bus/w1/devices/", each with its data file
// "w1_slave" rewritten once a second with the sensor's reading. The oil sensor follows the plant's oil
// temperature, the others read a fixed one. Sensors come and go, and a sensor's readings can fail
// their CRC; what the daemon makes of it is its own thermometer's business.

#include "core/timer_queue.h"
#include "sim/plant_model.h"

#include <string>
#include <vector>

class SimOneWireBus {
public:
    static constexpr uint32_t kPeriodMs = 1000;
    // The temperature of a sensor added without one (°C).
    static constexpr double kDefaultCelsius = 20.0;

    // Starts with the sandbox's two sensors (sim/sandbox.h): the board's own and the oil sensor.
    explicit SimOneWireBus(const PlantModel& plant);

    // A sensor by its id ("10-000802d45e6f": family, '-', serial, lower-case hex), reading a fixed
    // temperature; the sandbox's oil sensor id follows the plant instead. False with the reason when
    // the id is malformed or on the bus already, or the files cannot be made.
    bool add(const std::string& id, double celsius, std::string& error);
    // The sensor's link, data file and directory removed; false when it is not on the bus.
    bool remove(const std::string& id);
    // Readings with a good or a failed CRC ("crc=.. YES" or "NO"); false when it is not on the bus.
    bool setCrcGood(const std::string& id, bool good);
    // A fixed sensor's temperature; false when it is not on the bus or follows the plant.
    bool setCelsius(const std::string& id, double celsius);
    // "ID CELSIUS YES|NO" for every sensor, joined with ", ".
    std::string describe() const;
    size_t size() const { return sensors_.size(); }

    static bool validId(const std::string& id);

private:
    struct Sensor {
        std::string id;
        bool followsOil;
        double celsius;
        bool crcGood;
        // The data file's text as last written; rewritten only when a reading differs.
        std::string written;
    };

    void tick();
    static void settleReader();
    double reading(const Sensor& sensor) const;
    bool write(Sensor& sensor, std::string& error);
    Sensor* find(const std::string& id);

    const PlantModel& plant_;
    std::vector<Sensor> sensors_;
    Timer timer_;
};
