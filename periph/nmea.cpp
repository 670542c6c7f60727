#include "periph/nmea.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr size_t kChecksumTail = 3; // "*hh"
constexpr int kHexBase = 16;
constexpr long kMicrosPerSecond = 1000000;
constexpr long kResyncErrorUs = 200000;
constexpr long kSmoothingDivisor = 32;
constexpr int kYearBase = 100; // tm_year of 2000
constexpr int kLatitudeDegreeDigits = 2;
constexpr int kLongitudeDegreeDigits = 3;

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int twoDigits(const std::string& text, size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// Inserts `separator` after every two characters of the first six.
std::string groupedPairs(const std::string& text, const char* separator) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < 6; ++i) {
        if (i > 0 && i % 2 == 0)
            out += separator;
        out += text[i];
    }
    return out;
}

std::string coordinateText(const std::string& value, size_t degreeDigits, const char* suffix) {
    if (value.size() < degreeDigits)
        return value + "'" + suffix;
    return value.substr(0, degreeDigits) + "°" + value.substr(degreeDigits) + "'" + suffix;
}

} // namespace

std::vector<std::string> splitFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

bool nmeaChecksumValid(const std::string& sentence) {
    if (sentence.size() < kChecksumTail + 1 || sentence[0] != '$')
        return false;
    size_t star = sentence.size() - kChecksumTail;
    if (sentence[star] != '*')
        return false;
    int high = hexDigit(sentence[star + 1]);
    int low = hexDigit(sentence[star + 2]);
    if (high < 0 || low < 0)
        return false;
    unsigned sum = 0;
    for (size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(sentence[i]);
    return sum == static_cast<unsigned>(high * kHexBase + low);
}

std::string gpsTimeText(const std::string& time) {
    return groupedPairs(time, ":");
}

std::string gpsDateText(const std::string& date) {
    return groupedPairs(date, ".");
}

std::string gpsLatitudeText(const std::string& latitude, const std::string& hemisphere) {
    return coordinateText(latitude, kLatitudeDegreeDigits, hemisphere == "N" ? " с.ш." : " ю.ш.");
}

std::string gpsLongitudeText(const std::string& longitude, const std::string& hemisphere) {
    return coordinateText(longitude, kLongitudeDegreeDigits, hemisphere == "W" ? " з.д." : " в.д.");
}

time_t gpsUtcSeconds(const std::string& time, const std::string& date) {
    if (time.size() < 6 || date.size() < 6)
        return 0;
    struct tm fields = {};
    fields.tm_hour = twoDigits(time, 0);
    fields.tm_min = twoDigits(time, 2);
    fields.tm_sec = twoDigits(time, 4);
    fields.tm_mday = twoDigits(date, 0);
    fields.tm_mon = twoDigits(date, 2) - 1;
    fields.tm_year = twoDigits(date, 4) + kYearBase;
    return timegm(&fields);
}

long gpsMicroseconds(const std::string& time) {
    if (time.size() < 5)
        return 0;
    double seconds = std::strtod(time.c_str() + 4, nullptr);
    // Only the fraction is wanted: a field that is negative, not a number, or too long for a whole
    // count of seconds to fit a long (a garbled sentence) has none.
    if (!std::isfinite(seconds) || seconds < 0)
        return 0;
    double whole = 0;
    return static_cast<long>(std::modf(seconds, &whole) * kMicrosPerSecond);
}

void ReceiveClock::update(long seconds, long microseconds) {
    long predicted = seconds_ + 1;
    long drift = predicted - seconds;
    if (drift > 1 || drift < -1) {
        seconds_ = seconds;
        microseconds_ = microseconds;
        return;
    }
    long error = kMicrosPerSecond * drift + microseconds_ - microseconds;
    if (error > kResyncErrorUs || error < -kResyncErrorUs) {
        seconds_ = seconds;
        microseconds_ = microseconds;
        return;
    }
    seconds_ = predicted;
    microseconds_ -= error / kSmoothingDivisor;
    if (microseconds_ < 0) {
        microseconds_ += kMicrosPerSecond;
        seconds_ -= 1;
    }
    if (microseconds_ > kMicrosPerSecond - 1) {
        microseconds_ -= kMicrosPerSecond;
        seconds_ += 1;
    }
}
