// The NMEA helpers of the modem's GPS: fields split and join back, the checksum check agrees with the
// sum computed here, and the texts and times of any $GPRMC fields are made without harm.

#include "periph/nmea.h"
#include "tests/fuzz/fuzz_board.h"

#include <cstddef>
#include <cstdint>

namespace {

bool checksumHolds(const std::string& sentence) {
    size_t star = sentence.size() < 3 ? std::string::npos : sentence.size() - 3;
    if (star == std::string::npos || sentence[0] != '$' || sentence[star] != '*')
        return false;
    unsigned sum = 0;
    for (size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(sentence[i]);
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    int high = digit(sentence[star + 1]);
    int low = digit(sentence[star + 2]);
    return high >= 0 && low >= 0 && static_cast<unsigned>(high << 4 | low) == sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string sentence(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields = splitFields(sentence);
    std::string joined;
    for (size_t i = 0; i < fields.size(); ++i)
        joined += (i ? "," : "") + fields[i];
    FUZZ_CHECK(joined == sentence, "fields do not join back");
    FUZZ_CHECK(nmeaChecksumValid(sentence) == checksumHolds(sentence), "checksum verdict differs");

    fields.resize(std::max<size_t>(fields.size(), 7));
    (void)gpsTimeText(fields[1]);
    (void)gpsDateText(fields[2]);
    (void)gpsLatitudeText(fields[3], fields[4]);
    (void)gpsLongitudeText(fields[5], fields[6]);
    if (fields[1].size() >= 6 && fields[2].size() >= 6) {
        (void)gpsUtcSeconds(fields[1], fields[2]);
        long microseconds = gpsMicroseconds(fields[1]);
        FUZZ_CHECK(microseconds >= 0 && microseconds < 1000000, "fraction " + std::to_string(microseconds));
    }
    return 0;
}
