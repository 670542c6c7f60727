// The dynamogram file reader: anything but a dynamogram file is refused with a reason; what is read
// holds a possible date, at most the samples a file has room for, and loads in the stored steps.

#include "drive/dynamogram_file.h"
#include "tests/fuzz/fuzz_board.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    DynamogramFileContent content;
    std::string error;
    if (!decodeDynamogramFile(bytes, content, error)) {
        FUZZ_CHECK(!error.empty(), "refused without a reason");
        return 0;
    }
    FUZZ_CHECK(size == kDynamogramFileSize, "read a file of " + std::to_string(size) + " bytes");
    FUZZ_CHECK(content.year >= 2000 && content.year <= 2099, "year " + std::to_string(content.year));
    FUZZ_CHECK(content.month >= 1 && content.month <= 12, "month " + std::to_string(content.month));
    FUZZ_CHECK(content.day >= 1 && content.day <= 31, "day " + std::to_string(content.day));
    FUZZ_CHECK(content.hour >= 0 && content.hour <= 23, "hour " + std::to_string(content.hour));
    FUZZ_CHECK(content.minute >= 0 && content.minute <= 59, "minute " + std::to_string(content.minute));
    // The down-stroke area has one entry more than the up-stroke area.
    FUZZ_CHECK(content.upLoads.size() <= kDynamogramMaxSamples, "more up samples than the file holds");
    FUZZ_CHECK(content.downLoads.size() <= kDynamogramMaxSamples + 1,
               "more down samples than the file holds");
    for (uint32_t load : content.upLoads)
        FUZZ_CHECK(load % 10 == 0, "an up load off the stored steps");
    for (uint32_t load : content.downLoads)
        FUZZ_CHECK(load % 10 == 0, "a down load off the stored steps");
    return 0;
}
