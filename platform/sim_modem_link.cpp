#include "platform/sim_modem_link.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace platform {

namespace {

// Keys of the sandbox's segments: 0x56454Cxx ... ("VEL"), far from the time daemon's 0x4E5450xx.
constexpr key_t kSandboxKeyBase = 0x56454C00;
constexpr int kKeyTries = 256;
constexpr int kSegmentMode = 0600;
constexpr int kIfIndexBase = 10;
constexpr int kPrefixLength = 64;
constexpr int kScopeGlobal = 0;
constexpr int kFlagsPermanent = 0x80;

} // namespace

static_assert(sizeof(NtpShmTime) == kNtpSegmentSize, "the NTP segment holds 80 bytes");

SimModemLink::~SimModemLink() {
    if (ntpShmId_ >= 0)
        ::shmctl(ntpShmId_, IPC_RMID, nullptr);
}

bool SimModemLink::startPppService() {
    if (pppStartFails_)
        return false;
    ++pppStarts_;
    return true;
}

bool SimModemLink::interfaceUp(const std::string& name) {
    auto found = interfaces_.find(name);
    return found != interfaces_.end() && found->second.up;
}

std::string SimModemLink::interfaceIpv4(const std::string& name) {
    auto found = interfaces_.find(name);
    return found == interfaces_.end() || !found->second.up ? std::string() : found->second.ipv4;
}

void SimModemLink::setInterface(const std::string& name, bool up, const std::string& ipv4,
                                const std::string& ipv6Hex) {
    Interface& entry = interfaces_[name];
    entry.up = up;
    entry.ipv4 = up ? ipv4 : std::string();
    entry.ipv6Hex = up ? ipv6Hex : std::string();
    writeIfInet6();
}

void SimModemLink::writeIfInet6() {
    std::ofstream out(root_ + "/proc/net/if_inet6", std::ios::trunc);
    int index = kIfIndexBase;
    for (const auto& entry : interfaces_) {
        ++index;
        if (entry.second.ipv6Hex.empty())
            continue;
        char line[128];
        std::snprintf(line, sizeof line, "%s %02x %02x %02x %02x %8s\n", entry.second.ipv6Hex.c_str(), index,
                      kPrefixLength, kScopeGlobal, kFlagsPermanent, entry.first.c_str());
        out << line;
    }
}

void SimModemLink::removeOrphanedSegments() {
    for (int offset = 0; offset < kKeyTries; ++offset) {
        int id = ::shmget(kSandboxKeyBase + offset, 0, 0);
        shmid_ds status{};
        if (id < 0 || ::shmctl(id, IPC_STAT, &status) != 0)
            continue;
        bool creatorGone = ::kill(status.shm_cpid, 0) != 0 && errno == ESRCH;
        if (creatorGone && status.shm_nattch == 0)
            ::shmctl(id, IPC_RMID, nullptr);
    }
}

bool SimModemLink::createNtpSegment() {
    if (ntpShmId_ >= 0)
        return true;
    // A simulator killed outright cannot remove its segment: the next one does, so the machine keeps
    // none of them for long.
    removeOrphanedSegments();
    key_t start = static_cast<key_t>(std::hash<std::string>()(root_) % kKeyTries);
    for (int attempt = 0; attempt < kKeyTries; ++attempt) {
        key_t key = kSandboxKeyBase + (start + attempt) % kKeyTries;
        int id = ::shmget(key, kNtpSegmentSize, IPC_CREAT | IPC_EXCL | kSegmentMode);
        if (id < 0)
            continue;
        ntpShmId_ = id;
        ntpKey_ = key;
        return true;
    }
    return false;
}

bool SimModemLink::readNtpSegment(NtpShmTime& out) const {
    if (ntpShmId_ < 0)
        return false;
    void* address = ::shmat(ntpShmId_, nullptr, SHM_RDONLY);
    if (address == reinterpret_cast<void*>(-1))
        return false;
    std::memcpy(&out, address, sizeof out);
    ::shmdt(address);
    return true;
}

} // namespace platform
