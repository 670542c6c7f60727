#include "periph/flash_netlink.h"

#include "core/log.h"
#include "periph/flash_files.h"

#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <sys/socket.h>

namespace {
const char kUnit[] = "flash";
constexpr size_t kDiskNameLength = 3;
} // namespace

FlashNetlink::FlashNetlink(platform::Media& media, DiskListener& listener) : listener_(listener) {
    int error = 0;
    const char* step = "create";
    socket_ = media.openUevents(error, step);
    if (!socket_) {
        if (std::strcmp(step, "bind") == 0)
            LOG_MSG(LOG_ERR, kUnit, "cannot bind netlink socket: %s", strerror(error));
        else
            LOG_MSG(LOG_ERR, kUnit, "cannot create netlink socket: %s", strerror(error));
    } else {
        watch(socket_.get(), EPOLLIN);
    }
    std::vector<std::string> devices;
    if (!media.blockDevices(devices, error)) {
        LOG_MSG(LOG_ERR, kUnit, "cannot open /dev: %s", strerror(error));
        return;
    }
    for (const std::string& name : devices)
        if (name.size() == kDiskNameLength && name.compare(0, 2, "sd") == 0)
            disks_.insert(name);
}

FlashNetlink::~FlashNetlink() {
    watch(-1, 0);
}

void FlashNetlink::onEvents(uint32_t) {
    char buffer[kMessageBytes];
    ssize_t length = ::recv(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (length < 0) {
        if (errno != EAGAIN && errno != EINTR)
            LOG_MSG(LOG_ERR, kUnit, "error receiving from netlink socket: %s", strerror(errno));
        return;
    }
    message(std::string(buffer, static_cast<size_t>(length)));
}

void FlashNetlink::message(const std::string& text) {
    bool add = false;
    std::string disk;
    if (!parseDiskUevent(text, add, disk))
        return;
    if (add) {
        bool first = disks_.empty();
        if (!disks_.insert(disk).second)
            return;
        LOG_MSG(LOG_INFO, kUnit, "disk %s added", disk.c_str());
        listener_.diskAdded(disk, first);
        return;
    }
    if (disks_.erase(disk) == 0)
        return;
    LOG_MSG(LOG_INFO, kUnit, "disk %s removed", disk.c_str());
    listener_.diskRemoved(disk, disks_.empty());
}
