#pragma once
// The time zone setting: 58 labelled zones, each with its POSIX TZ string. A change takes effect in
// the process at once ("TZ" and tzset).

#include "config/config_select.h"

constexpr int32_t kTimeZoneCount = 58;
// "UTC+05:00 (Екатеринбург, Ташкент)", "YEKT-5".
constexpr int32_t kDefaultTimeZone = 38;
// "GMT0": the zone of a stored text that matches no zone.
constexpr int32_t kFallbackTimeZone = 26;

// The TZ string of a zone, or nullptr outside the table.
const char* timeZoneString(int32_t index);
// The first zone with this TZ string (some zones share one), or -1.
int32_t timeZoneIndex(const std::string& tz);
// Sets "TZ" for the process and makes local time follow it.
void applyTimeZone(const char* tz);

class ConfigTimeZone : public ConfigSelect {
public:
    explicit ConfigTimeZone(std::string label = "", int32_t defaultIndex = kDefaultTimeZone,
                            bool autosave = false);

    // As ConfigSelect::set, but a change also applies the zone, and the controller is not told.
    int32_t set(int32_t index) override;
};
