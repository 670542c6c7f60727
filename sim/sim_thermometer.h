#pragma once
// The oil thermometer of the simulated unit: a 1-wire sensor whose data file follows the plant's oil
// temperature, read once a second as the board's thermometer worker reads it.

#include "core/timer_queue.h"
#include "platform/unique_fd.h"
#include "sim/plant_model.h"

#include <cstdint>
#include <string>

class SimThermometer {
public:
    // A sensor silent for this long is reported failed, as the thermometer worker does.
    static constexpr uint32_t kFailAfterMs = 90000;
    static constexpr uint32_t kPeriodMs = 1000;

    explicit SimThermometer(const PlantModel& plant);

    // A sensor whose readings fail their CRC check.
    void setFailing(bool failing) { failing_ = failing; }
    bool failing() const { return failing_; }

private:
    void tick();
    void writeReading(const std::string& text);

    const PlantModel& plant_;
    Timer timer_;
    bool failing_ = false;
    uint32_t lastGoodMs_;
    // The data file, open for the whole run and rewritten in place.
    platform::UniqueFd file_;
    size_t fileLength_ = 0;
};
