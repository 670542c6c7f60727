#pragma once
// The dynamogram file: one pumping cycle's rod load in 9730 big-endian bytes, as the board writes it
// under "/var/spool" and field engineers copy it off.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

constexpr size_t kDynamogramFileSize = 9730;
constexpr size_t kDynamogramMaxSamples = 2304;
// Samples are taken every 50 ms.
constexpr double kDynamogramSampleSeconds = 0.05;

struct DynamogramCycle {
    std::vector<float> upLoads;   // kgf, one per sample of the up stroke
    std::vector<float> downLoads; // kgf, one per sample of the down stroke
    float strokesPerMinute = 0;
};

// The file bytes of a cycle recorded at local time `when`. Loads are stored as kgf / 10; sequences
// longer than the file holds are cut. A rate of 0 (not yet known) is stored as period 0.
std::vector<uint8_t> encodeDynamogramFile(const DynamogramCycle& cycle, const tm& when);

// What a file holds, as read back.
struct DynamogramFileContent {
    int year = 0; // full year (2000 + the stored two digits)
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    uint32_t periodMs = 0;
    std::vector<uint32_t> upLoads; // kgf, in steps of 10 (the stored resolution)
    std::vector<uint32_t> downLoads;
};

// False with a reason for anything that is not a dynamogram file: wrong size, foreign header block,
// impossible date digits, data in the reserved areas.
bool decodeDynamogramFile(const std::vector<uint8_t>& bytes, DynamogramFileContent& content,
                          std::string& error);

// "/var/spool/telm_YYYYMMDD_HHMM.bin", or with "_N" before ".bin" for the N-th file of that minute.
std::string dynamogramFileName(const tm& when, int suffix);
