#pragma once
// The NMEA sentences the modem's GPS streams: checksums, fields, and the texts of $GPRMC.

#include <ctime>
#include <string>
#include <vector>

// Splits at every comma; an empty text gives one empty field.
std::vector<std::string> splitFields(const std::string& text);

// The character three places from the end is '*' and the two hex digits after it (either case) are
// the exclusive-or of every character between the leading '$' and the '*'.
bool nmeaChecksumValid(const std::string& sentence);

// "hhmmss.sss" -> "hh:mm:ss"; "ddmmyy" -> "dd.mm.yy"; "ddmm.mmmm" + "N"/"S" -> "dd°mm.mmmm' с.ш.";
// "dddmm.mmmm" + "E"/"W" -> "ddd°mm.mmmm' в.д.". Too short a field gives what there is.
std::string gpsTimeText(const std::string& time);
std::string gpsDateText(const std::string& date);
std::string gpsLatitudeText(const std::string& latitude, const std::string& hemisphere);
std::string gpsLongitudeText(const std::string& longitude, const std::string& hemisphere);

// UTC seconds of a $GPRMC time ("hhmmss...", at least 6 characters) and date ("ddmmyy"), years
// 2000-2099; independent of the process's time zone.
time_t gpsUtcSeconds(const std::string& time, const std::string& date);
// The microseconds of the fraction of the time field ("hhmmss.sss" -> 0.sss s).
long gpsMicroseconds(const std::string& time);

// The arrival time of the once-a-second sentences, smoothed: it follows their rhythm and filters the
// jitter of the serial line; a jump of more than a second, or an error above 0.2 s, resynchronises.
class ReceiveClock {
public:
    void update(long seconds, long microseconds);
    long seconds() const { return seconds_; }
    long microseconds() const { return microseconds_; }

private:
    long seconds_ = 0;
    long microseconds_ = 0;
};
