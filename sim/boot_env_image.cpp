#include "sim/boot_env_image.h"

#include "core/crc32.h"
#include "core/fw_env.h"

const char kSimSerialNumber[] = "SIM-0001";

std::string makeBootEnvironment(const std::vector<std::string>& entries, uint8_t generation) {
    std::string image(kFwEnvSize, '\0');
    image[kFwEnvFlagsOffset] = static_cast<char>(generation);
    size_t at = kFwEnvDataOffset;
    for (const std::string& entry : entries) {
        if (at + entry.size() + 2 > image.size())
            break;
        image.replace(at, entry.size(), entry);
        at += entry.size() + 1;
    }
    uint32_t crc = crc32(reinterpret_cast<const uint8_t*>(image.data()) + kFwEnvDataOffset, kFwEnvDataSize);
    for (int i = 0; i < 4; ++i)
        image[static_cast<size_t>(i)] = static_cast<char>(crc >> (8 * i));
    return image;
}
