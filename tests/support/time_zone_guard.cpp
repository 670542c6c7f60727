#include "tests/support/time_zone_guard.h"

#include <cstdlib>
#include <ctime>

TimeZoneGuard::TimeZoneGuard() : wasSet_(std::getenv("TZ") != nullptr) {
    if (wasSet_)
        previous_ = std::getenv("TZ");
}

TimeZoneGuard::~TimeZoneGuard() {
    if (wasSet_)
        setenv("TZ", previous_.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
