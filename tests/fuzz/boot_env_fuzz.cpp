// The boot environment reader: two flash copies of any content, with good or bad checksums and any
// generation counters, are read or refused without harm; a value found lies within the environment,
// and renaming a variable keeps its value under the new name, in whichever copy the next read prefers.

#include "core/fw_env.h"
#include "tests/fuzz/fuzz_board.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <zlib.h>

namespace {

const char kName[] = "serial#";
const char kNewName[] = "serial#.was";

// The CRC-32 of a copy is worked out with zlib's (the same CRC-32 the board's environment uses): a
// copy is 128 KiB, and the daemon's own CRC under comparison tracing dominated each input. The reader's
// CRC is what the fuzzer watches.
uint32_t environmentCrc(const char* data, size_t length) {
    return static_cast<uint32_t>(
        ::crc32(0L, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(length)));
}

// One copy: the CRC (good or spoiled), the generation, the data area filled with `fill` after the
// input's bytes. The image is reused from input to input.
const std::string& copyImage(std::string& image, const uint8_t* bytes, size_t length, bool goodCrc,
                             uint8_t generation, uint8_t fill) {
    image.assign(kFwEnvSize, static_cast<char>(fill));
    std::memcpy(&image[kFwEnvDataOffset], bytes, std::min<size_t>(length, kFwEnvDataSize));
    image[kFwEnvFlagsOffset] = static_cast<char>(generation);
    uint32_t crc = environmentCrc(&image[kFwEnvDataOffset], kFwEnvDataSize);
    if (!goodCrc)
        crc = ~crc;
    for (int i = 0; i < 4; ++i)
        image[i] = static_cast<char>(crc >> (8 * i));
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A header of three bytes: flags (bits 0 and 1: the copies' CRCs are good; bit 2: the rest of a
    // data area is 0xFF, erased flash, rather than zeros; bit 3: rename), the two generations. The
    // rest is split between the data areas of the two copies.
    if (size < 3)
        return 0;
    FuzzBoard& board = FuzzBoard::get();
    board.clearLog();
    uint8_t flags = data[0];
    uint8_t fill = flags & 4 ? 0xFF : 0;
    const uint8_t* areas = data + 3;
    size_t half = (size - 3) / 2;
    static std::string image;
    writeWholeFile(board.path("/dev/mtd2"), copyImage(image, areas, half, flags & 1, data[1], fill));
    writeWholeFile(board.path("/dev/mtd3"),
                   copyImage(image, areas + half, size - 3 - half, flags & 2, data[2], fill));

    const char* value = fw_getenv(kName);
    if (!value)
        return 0;
    std::string before = value;
    FUZZ_CHECK(before.size() < kFwEnvDataSize, "a value longer than the environment");
    if (!(flags & 8))
        return 0;
    // Where a variable already has the new name, it hides the renamed one.
    bool newNameTaken = fw_getenv(kNewName) != nullptr;
    if (fw_renameenv(kName, kNewName) != 0)
        return 0;
    const char* renamed = fw_getenv(kNewName);
    FUZZ_CHECK(renamed != nullptr, "the renamed variable is gone");
    FUZZ_CHECK(newNameTaken || before == renamed, "the renamed variable lost its value");
    return 0;
}
