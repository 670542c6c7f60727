#include "core/fw_env.h"

#include "core/crc32.h"
#include "core/log.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char kUnit[] = "fw_env";

struct EnvCopy {
    const char* device;
    uint32_t offset;
    uint32_t envSize;
    uint32_t sectorSize;
};

constexpr EnvCopy kCopies[2] = {
    {"/dev/mtd2", 0, kFwEnvSize, 0x20000},
    {"/dev/mtd3", 0, kFwEnvSize, 0x20000},
};
// A write erases exactly the environment: nothing else shares its erase sector on this board, so
// there is no tail of the sector to read first and write back.
static_assert(kCopies[0].sectorSize == kCopies[0].envSize && kCopies[1].sectorSize == kCopies[1].envSize,
              "one copy fills one erase sector");

// The environment as last read: one copy of the flash, and which copy it is.
uint8_t image[kFwEnvSize];
int currentCopy = 0;

char* data() {
    return reinterpret_cast<char*>(image + kFwEnvDataOffset);
}

uint32_t storedCrc() {
    return image[0] | image[1] << 8 | image[2] << 16 | static_cast<uint32_t>(image[3]) << 24;
}

uint32_t dataCrc() {
    return crc32(image + kFwEnvDataOffset, kFwEnvDataSize);
}

void storeCrc(uint32_t crc) {
    for (int i = 0; i < 4; ++i)
        image[i] = static_cast<uint8_t>(crc >> (8 * i));
}

platform::Mtd& mtd() {
    return platform::gPlatform->mtd();
}

bool closeChecked(platform::UniqueFd& fd, const char* device) {
    if (::close(fd.release()) == 0)
        return true;
    LOG_MSG(LOG_ERR, kUnit, "I/O error on %s: %s", device, strerror(errno));
    return false;
}

bool openCopy(const EnvCopy& copy, int flags, platform::UniqueFd& fd) {
    int error = mtd().open(copy.device, flags, fd);
    if (error != 0)
        LOG_MSG(LOG_ERR, kUnit, "Can't open %s: %s", copy.device, strerror(error));
    return error == 0;
}

// Reads one copy into the image and makes it the current one.
bool readCopy(int index) {
    const EnvCopy& copy = kCopies[index];
    platform::UniqueFd fd;
    if (!openCopy(copy, O_RDONLY, fd))
        return false;
    if (::lseek(fd.get(), copy.offset, SEEK_SET) < 0) {
        LOG_MSG(LOG_ERR, kUnit, "seek error on %s: %s", copy.device, strerror(errno));
        return false;
    }
    size_t done = 0;
    while (done < copy.envSize) {
        ssize_t n = ::read(fd.get(), image + done, copy.envSize - done);
        if (n <= 0) {
            LOG_MSG(LOG_ERR, kUnit, "Read error on %s: %s", copy.device, strerror(n < 0 ? errno : EIO));
            return false;
        }
        done += static_cast<size_t>(n);
    }
    currentCopy = index;
    return closeChecked(fd, copy.device);
}

// Of two valid copies the one with the later generation wins; the counter wraps from 255 to 0.
bool preferSecondCopy(uint8_t flag0, uint8_t flag1) {
    if (flag0 != 0)
        return (flag0 == 255 && flag1 == 0) || flag0 <= flag1;
    return flag1 < 255;
}

bool loadEnvironment() {
    for (const EnvCopy& copy : kCopies) {
        if (int error = mtd().access(copy.device)) {
            LOG_MSG(LOG_ERR, kUnit, "Cannot access MTD device %s: %s", copy.device, strerror(error));
            return false;
        }
    }
    if (!readCopy(0))
        return false;
    bool crc0 = dataCrc() == storedCrc();
    uint8_t flag0 = image[kFwEnvFlagsOffset];
    if (!readCopy(1))
        return false;
    bool crc1 = dataCrc() == storedCrc();
    uint8_t flag1 = image[kFwEnvFlagsOffset];

    if (crc0 && crc1 && !preferSecondCopy(flag0, flag1)) {
        if (!readCopy(0))
            return false;
    } else if (crc0 && !crc1) {
        if (!readCopy(0))
            return false;
    } else if (!crc0 && !crc1) {
        LOG_MSG(LOG_ERR, kUnit, "Warning: Bad CRC, using default environment");
        data()[0] = 0;
        data()[1] = 0;
        currentCopy = 0;
    }
    // The image now carries the generation of the next write.
    ++image[kFwEnvFlagsOffset];
    return true;
}

// The entry whose name is exactly `name`, or nullptr. An entry without its terminating zero ends the
// search with an error.
char* findEntry(const char* name) {
    char* end = data() + kFwEnvDataSize;
    size_t nameLength = strlen(name);
    for (char* entry = data(); entry < end && *entry != 0;) {
        char* entryEnd = static_cast<char*>(memchr(entry, 0, static_cast<size_t>(end - entry)));
        if (!entryEnd) {
            LOG_MSG(LOG_ERR, kUnit, "## Error: environment not terminated");
            return nullptr;
        }
        if (strncmp(entry, name, nameLength) == 0 && entry[nameLength] == '=')
            return entry;
        entry = entryEnd + 1;
    }
    return nullptr;
}

// Offset in the data area of the extra zero that ends the list, or -1 when the list runs off the area.
long endOfList() {
    for (uint32_t at = 0; at + 1 < kFwEnvDataSize; ++at)
        if (data()[at] == 0 && data()[at + 1] == 0)
            return at + 1;
    LOG_MSG(LOG_ERR, kUnit, "## Error: environment not terminated");
    return -1;
}

// Locks a region again when it goes out of scope.
class UnlockedRegion {
public:
    UnlockedRegion(int fd, const EnvCopy& copy) : fd_(fd), copy_(copy) {
        mtd().unlock(fd_, copy_.offset, copy_.sectorSize);
    }
    ~UnlockedRegion() { mtd().lock(fd_, copy_.offset, copy_.sectorSize); }
    UnlockedRegion(const UnlockedRegion&) = delete;
    UnlockedRegion& operator=(const UnlockedRegion&) = delete;

private:
    int fd_;
    const EnvCopy& copy_;
};

bool writeImage(int fd, const EnvCopy& target) {
    if (int error = mtd().erase(fd, target.offset, target.sectorSize))
        LOG_MSG(LOG_ERR, kUnit, "erase error on %s: %s", target.device, strerror(error));
    if (::lseek(fd, target.offset, SEEK_SET) < 0) {
        LOG_MSG(LOG_ERR, kUnit, "seek error on %s: %s", target.device, strerror(errno));
        return false;
    }
    size_t done = 0;
    while (done < target.envSize) {
        ssize_t n = ::write(fd, image + done, target.envSize - done);
        if (n <= 0) {
            LOG_MSG(LOG_ERR, kUnit, "Write error on %s: %s", target.device, strerror(n < 0 ? errno : EIO));
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes the image to the copy that was not read, so the older one stays as the fallback.
bool writeEnvironment() {
    const EnvCopy& target = kCopies[1 - currentCopy];
    const EnvCopy& current = kCopies[currentCopy];
    platform::UniqueFd targetFd;
    platform::UniqueFd currentFd;
    if (!openCopy(target, O_RDWR, targetFd) || !openCopy(current, O_RDWR, currentFd))
        return false;
    bool written;
    {
        UnlockedRegion targetRegion(targetFd.get(), target);
        UnlockedRegion currentRegion(currentFd.get(), current);
        written = writeImage(targetFd.get(), target);
    }
    return closeChecked(targetFd, target.device) && written;
}

} // namespace

const char* fw_getenv(const char* name) {
    if (!loadEnvironment() || data()[0] == 0)
        return nullptr;
    char* entry = findEntry(name);
    return entry ? entry + strlen(name) + 1 : nullptr;
}

int fw_renameenv(const char* oldName, const char* newName) {
    if (!loadEnvironment() || data()[0] == 0)
        return -1;
    char* entry = findEntry(oldName);
    if (!entry)
        return -1;
    long end = endOfList();
    if (end < 0)
        return -1;
    long oldLength = static_cast<long>(strlen(oldName));
    long newLength = static_cast<long>(strlen(newName));
    long grownEnd = end + newLength - oldLength;
    if (grownEnd >= static_cast<long>(kFwEnvDataSize)) {
        LOG_MSG(LOG_ERR, kUnit, "## Error: environment overflow");
        return -1;
    }
    char* rest = entry + oldLength;
    memmove(entry + newLength, rest, static_cast<size_t>(data() + end + 1 - rest));
    if (grownEnd < end)
        memset(data() + grownEnd + 1, 0, static_cast<size_t>(end - grownEnd));
    memcpy(entry, newName, static_cast<size_t>(newLength));
    storeCrc(dataCrc());
    if (!writeEnvironment())
        LOG_MSG(LOG_ERR, kUnit, "## Error: can't write fw_env to flash");
    return 0;
}
