#pragma once
// The kernel's uevents about USB disks: keeps the set of disks present (sda, sdb ...) and tells its
// listener when the first one arrives and the last one leaves. Partitions are not counted.

#include "core/epoller.h"
#include "platform/media.h"

#include <set>
#include <string>

class DiskListener {
public:
    virtual ~DiskListener() = default;
    // A disk arrived; first when the set was empty before.
    virtual void diskAdded(const std::string& disk, bool first) = 0;
    // A disk left; last when the set is empty now.
    virtual void diskRemoved(const std::string& disk, bool last) = 0;
};

class FlashNetlink : public EPoller {
public:
    static constexpr size_t kMessageBytes = 2048;

    // Opens the uevent source and reads the disks already present from "/dev".
    FlashNetlink(platform::Media& media, DiskListener& listener);
    ~FlashNetlink() override;

    void onEvents(uint32_t events) override;
    const std::set<std::string>& disks() const { return disks_; }

private:
    void message(const std::string& text);

    DiskListener& listener_;
    platform::UniqueFd socket_;
    std::set<std::string> disks_;
};
