// The kernel's uevent messages as the portable-media listener receives them: the input is one datagram
// on the listener's socket, read by its own event handler, once with no disk present and once with two.
// Only a whole-disk add or remove of the USB host ("add@/devices/platform/ahb/" ... "/block/sdX", 13
// parts, the disk "sd" and its letters) makes an event, an add only for a disk not yet present and a
// remove only for one present; what decides is the message's own bytes (up to the listener's
// 2 048), never what lies after them in its buffer; and the set of disks changes by at most the one.

#include "core/epoller.h"
#include "periph/flash_netlink.h"
#include "tests/fuzz/fuzz_board.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <vector>

namespace {

const char kAddPrefix[] = "add@/devices/platform/ahb/";
const char kRemovePrefix[] = "remove@/devices/platform/ahb/";
constexpr size_t kEventParts = 13;
constexpr size_t kBlockPart = 11;
// Disk names as the kernel gives them: "sd" and one to four letters.
constexpr size_t kMostDiskLetters = 4;

// The media of the harness: the uevent socket is one end of a datagram pair the input is sent on, and
// "/dev" holds the disks given.
class FuzzMedia : public platform::Media {
public:
    FuzzMedia(int socket, std::vector<std::string> devices) : socket_(socket), devices_(std::move(devices)) {}
    platform::UniqueFd openUevents(int& error, const char*& failedStep) override {
        int fd = ::fcntl(socket_, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            error = errno;
            failedStep = "create";
        }
        return platform::UniqueFd(fd);
    }
    bool blockDevices(std::vector<std::string>& names, int&) override {
        names = devices_;
        return true;
    }
    int mount(const std::string&, const std::string&) override { return EPERM; }
    int unmount(const std::string&) override { return EPERM; }
    platform::InstallerRun startInstaller(const std::vector<std::string>&, int& error) override {
        error = EPERM;
        return {};
    }
    bool mountTableChanged() override { return true; }
    bool idleWorker() const override { return false; }

private:
    int socket_;
    std::vector<std::string> devices_;
};

struct Event {
    bool add;
    std::string disk;
    bool edge;
};

class Recorder : public DiskListener {
public:
    void diskAdded(const std::string& disk, bool first) override { events.push_back({true, disk, first}); }
    void diskRemoved(const std::string& disk, bool last) override { events.push_back({false, disk, last}); }
    std::vector<Event> events;
};

bool startsWith(const std::string& text, const char* start) {
    return text.compare(0, std::strlen(start), start) == 0;
}

bool diskName(const std::string& name) {
    if (name.size() <= 2 || name.size() > 2 + kMostDiskLetters || name.compare(0, 2, "sd") != 0)
        return false;
    return std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// What the message announces, read from its bytes alone: true with add and the disk for a whole-disk
// event of the USB host.
bool announced(const std::string& message, bool& add, std::string& disk) {
    std::string summary = message.substr(0, message.find('\0'));
    if (startsWith(summary, kAddPrefix))
        add = true;
    else if (startsWith(summary, kRemovePrefix))
        add = false;
    else
        return false;
    std::vector<std::string> parts;
    size_t begin = 0;
    for (size_t slash; (slash = summary.find('/', begin)) != std::string::npos; begin = slash + 1)
        parts.push_back(summary.substr(begin, slash - begin));
    parts.push_back(summary.substr(begin));
    if (parts.size() != kEventParts || parts[kBlockPart] != "block" || !diskName(parts.back()))
        return false;
    disk = parts.back();
    return true;
}

void send(int fd, const void* data, size_t size) {
    if (::send(fd, data, size, MSG_DONTWAIT) != static_cast<ssize_t>(size))
        fuzzFailure("the datagram could not be sent");
}

void tryWith(const std::vector<std::string>& devices, const std::string& message) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        fuzzFailure("no socket pair");
    platform::UniqueFd kernel(pair[0]);
    platform::UniqueFd daemon(pair[1]);
    FuzzMedia media(daemon.get(), devices);
    Recorder recorder;
    FlashNetlink listener(media, recorder);
    const std::set<std::string> before = listener.disks();

    // A full buffer of bytes no message is made of goes first: a listener that read past the length of
    // the next, shorter message would find them.
    const std::string filler(FlashNetlink::kMessageBytes, 'a');
    send(kernel.get(), filler.data(), filler.size());
    listener.onEvents(EPOLLIN);
    FUZZ_CHECK(recorder.events.empty(), "a message of letters made an event");

    send(kernel.get(), message.data(), message.size());
    listener.onEvents(EPOLLIN);
    // Nothing more queued: nothing happens.
    listener.onEvents(EPOLLIN);

    bool add = false;
    std::string disk;
    bool counts = announced(message.substr(0, FlashNetlink::kMessageBytes), add, disk);
    bool present = before.count(disk) != 0;
    const std::set<std::string>& after = listener.disks();
    if (!counts || add == present) {
        FUZZ_CHECK(recorder.events.empty(), "an event from a message that announces no change: '" +
                                                recorder.events.front().disk + "'");
        FUZZ_CHECK(after == before, "the disks changed without an event");
        return;
    }
    FUZZ_CHECK(recorder.events.size() == 1, std::to_string(recorder.events.size()) + " events");
    const Event& event = recorder.events.front();
    FUZZ_CHECK(event.add == add && event.disk == disk, "the event names another disk: '" + event.disk + "'");
    FUZZ_CHECK(event.edge == (add ? before.empty() : after.empty()), "first or last told wrongly");
    std::set<std::string> expected = before;
    if (add)
        expected.insert(disk);
    else
        expected.erase(disk);
    FUZZ_CHECK(after == expected, "the disks are not those before with the one change");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (FuzzBoard::get(), EPoller::init());
    if (!ready)
        fuzzFailure("no epoll set");
    FuzzBoard::get().clearLog();
    std::string message(reinterpret_cast<const char*>(data), size);
    tryWith({}, message);
    tryWith({"sda", "sda1", "mmcblk0", "sdb", "sdb1"}, message);
    return 0;
}
