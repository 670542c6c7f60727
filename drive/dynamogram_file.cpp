#include "drive/dynamogram_file.h"

#include "core/log.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kFixedBlockOffset = 128;
constexpr size_t kPeriodOffset = 192;
constexpr size_t kUpOffset = 512;
constexpr size_t kDownOffset = 5120;
// The down-stroke area holds one entry more than the up-stroke area.
constexpr size_t kDownEntries = 2305;
constexpr uint16_t kNoSample = 0xFFFF;

// The block every file carries at offset 128, byte for byte.
constexpr uint8_t kFixedBlock[64] = {
    0x02, 0x00, 0x00, 0x05, 0x02, 0x00, 0xAA, 0x55, 0x14, 0x00, 0x00, 0x00, 0x00, 0x32, 0x00, 0x54,
    0x00, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x12, 0x00,
    0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x00, 0x00, 0x26, 0x00, 0x00, 0x00,
    0x20, 0x00, 0x00, 0x00, 0x75, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

uint8_t toBcd(int value) {
    return static_cast<uint8_t>((value / 10) << 4 | value % 10);
}

// -1 for a byte that is not two decimal digits.
int fromBcd(uint8_t byte) {
    if ((byte >> 4) > 9 || (byte & 0x0F) > 9)
        return -1;
    return (byte >> 4) * 10 + (byte & 0x0F);
}

uint16_t loadWord(float kgf) {
    float tenths = kgf / 10.0f;
    if (!(tenths > 0))
        return 0;
    if (tenths > 65535.0f)
        return 65535;
    return static_cast<uint16_t>(tenths);
}

void putWord(std::vector<uint8_t>& bytes, size_t offset, uint16_t word) {
    bytes[offset] = static_cast<uint8_t>(word >> 8);
    bytes[offset + 1] = static_cast<uint8_t>(word);
}

uint16_t getWord(const std::vector<uint8_t>& bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

void putSamples(std::vector<uint8_t>& bytes, size_t offset, size_t entries, const std::vector<float>& loads) {
    for (size_t i = 0; i < entries; ++i)
        putWord(bytes, offset + 2 * i,
                i < loads.size() && i < kDynamogramMaxSamples ? loadWord(loads[i]) : kNoSample);
}

// The padding is the run of 0xFFFF at the end; a saturated sample (also 0xFFFF) before a real one
// stays a sample.
std::vector<uint32_t> getSamples(const std::vector<uint8_t>& bytes, size_t offset, size_t entries) {
    size_t count = entries;
    while (count > 0 && getWord(bytes, offset + 2 * (count - 1)) == kNoSample)
        --count;
    std::vector<uint32_t> loads;
    for (size_t i = 0; i < count; ++i)
        loads.push_back(uint32_t{getWord(bytes, offset + 2 * i)} * 10u);
    return loads;
}

bool allZero(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
    return std::all_of(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(to),
                       [](uint8_t b) { return b == 0; });
}

} // namespace

std::vector<uint8_t> encodeDynamogramFile(const DynamogramCycle& cycle, const tm& when) {
    std::vector<uint8_t> bytes(kDynamogramFileSize, 0);
    bytes[0] = toBcd(when.tm_min);
    bytes[1] = toBcd(when.tm_hour);
    bytes[2] = toBcd(when.tm_mday);
    bytes[3] = toBcd(when.tm_mon + 1);
    bytes[4] = toBcd((when.tm_year + 1900) % 100);
    std::memcpy(&bytes[kFixedBlockOffset], kFixedBlock, sizeof kFixedBlock);
    uint32_t period =
        cycle.strokesPerMinute > 0 ? static_cast<uint32_t>(60000.0f / cycle.strokesPerMinute) : 0;
    for (int i = 0; i < 4; ++i)
        bytes[kPeriodOffset + i] = static_cast<uint8_t>(period >> (24 - 8 * i));
    putSamples(bytes, kUpOffset, kDynamogramMaxSamples, cycle.upLoads);
    putSamples(bytes, kDownOffset, kDownEntries, cycle.downLoads);
    return bytes;
}

bool decodeDynamogramFile(const std::vector<uint8_t>& bytes, DynamogramFileContent& content,
                          std::string& error) {
    if (bytes.size() != kDynamogramFileSize) {
        error = formatText("%zu bytes where a dynamogram file has %zu", bytes.size(), kDynamogramFileSize);
        return false;
    }
    if (std::memcmp(&bytes[kFixedBlockOffset], kFixedBlock, sizeof kFixedBlock) != 0) {
        error = "no dynamogram header block at offset 128";
        return false;
    }
    int minute = fromBcd(bytes[0]), hour = fromBcd(bytes[1]), day = fromBcd(bytes[2]);
    int month = fromBcd(bytes[3]), year = fromBcd(bytes[4]);
    if (minute < 0 || minute > 59 || hour < 0 || hour > 23 || day < 1 || day > 31 || month < 1 ||
        month > 12 || year < 0) {
        error = formatText("impossible date %02x.%02x.%02x %02x:%02x", bytes[2], bytes[3], bytes[4], bytes[1],
                           bytes[0]);
        return false;
    }
    if (!allZero(bytes, 5, kFixedBlockOffset) || !allZero(bytes, kPeriodOffset + 4, kUpOffset)) {
        error = "data in the reserved areas of the header";
        return false;
    }
    content.year = 2000 + year;
    content.month = month;
    content.day = day;
    content.hour = hour;
    content.minute = minute;
    content.periodMs = uint32_t{bytes[kPeriodOffset]} << 24 | uint32_t{bytes[kPeriodOffset + 1]} << 16 |
                       uint32_t{bytes[kPeriodOffset + 2]} << 8 | bytes[kPeriodOffset + 3];
    content.upLoads = getSamples(bytes, kUpOffset, kDynamogramMaxSamples);
    content.downLoads = getSamples(bytes, kDownOffset, kDownEntries);
    return true;
}

std::string dynamogramFileName(const tm& when, int suffix) {
    std::string name = formatText("/var/spool/telm_%04d%02d%02d_%02d%02d", when.tm_year + 1900,
                                  when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min);
    if (suffix > 0)
        name += formatText("_%d", suffix);
    return name + ".bin";
}
