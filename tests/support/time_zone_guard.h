#pragma once
// Puts the process's "TZ" back as it was (and tzset) when a test that changes it ends.

#include <string>

class TimeZoneGuard {
public:
    TimeZoneGuard();
    ~TimeZoneGuard();
    TimeZoneGuard(const TimeZoneGuard&) = delete;
    TimeZoneGuard& operator=(const TimeZoneGuard&) = delete;

private:
    bool wasSet_;
    std::string previous_;
};
