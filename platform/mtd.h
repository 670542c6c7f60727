#pragma once
// The flash partitions that hold the boot environment: opened like files, plus the flash's own
// unlock, erase and lock operations on a region.

#include "platform/unique_fd.h"

#include <cstdint>

namespace platform {

class Mtd {
public:
    virtual ~Mtd() = default;

    // Whether the partition device ("/dev/mtd2") is there. Returns 0 or the errno value of stat.
    int access(const char* device) const;
    // Opens the partition device with the open(2) flags. Returns 0 or the errno value of the failure.
    int open(const char* device, int flags, UniqueFd& fd) const;

    // Operations on a region of an open partition; each returns 0 or an errno value.
    virtual int unlock(int fd, uint32_t start, uint32_t length) = 0;
    // Afterwards the region reads as all ones (0xFF bytes).
    virtual int erase(int fd, uint32_t start, uint32_t length) = 0;
    virtual int lock(int fd, uint32_t start, uint32_t length) = 0;
};

} // namespace platform
