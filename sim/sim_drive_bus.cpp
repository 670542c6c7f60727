#include "sim/sim_drive_bus.h"

#include "fieldbus/rtu_framing.h"
#include "fieldbus/smbus.h"
#include "platform/platform.h"
#include "platform/sim_platform.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

constexpr size_t kCrcBytes = 2;

// The length of the request at the start of the buffer, 0 when it cannot be told (an unknown
// function), or more than the buffer holds when the rest is still to come.
size_t requestLength(const SimBytes& input) {
    if (input.size() < 2)
        return 2 + kCrcBytes;
    switch (input[1]) {
    case 0x03:
    case 0x06:
        return 6 + kCrcBytes;
    case 0x0F:
    case 0x10:
        return input.size() < 7 ? 7 + kCrcBytes : 7 + input[6] + kCrcBytes;
    default:
        return 0;
    }
}

bool raisedValue(const char* text) {
    return std::strncmp(text, "255", 3) == 0;
}

platform::SimPlatform* simulatedBoard() {
    return dynamic_cast<platform::SimPlatform*>(platform::gPlatform);
}

} // namespace

SimDriveBus::SimDriveBus(int fd)
    : board_(simulatedBoard()), ownedEnd_(std::make_unique<platform::DescriptorSerialDevice>(fd, false)),
      end_(*ownedEnd_), echo_(true) {
    watchEnd(EPOLLIN);
}

SimDriveBus::SimDriveBus(platform::SerialDevice& farEnd)
    : board_(simulatedBoard()), end_(farEnd), echo_(false) {
    watchEnd(EPOLLIN);
}

SimDriveBus::~SimDriveBus() {
    watchEnd(0);
}

void SimDriveBus::watchEnd(uint32_t events) {
    if (end_.descriptor() >= 0)
        watch(end_.descriptor(), events);
    else
        end_.watch(events, [this](uint32_t ready) { onEvents(ready); });
}

SimDrive& SimDriveBus::addDrive(uint8_t address, SimDriveModel model, const std::string& resetLinePath) {
    drives_.push_back(Attached{std::make_unique<SimDrive>(address, model), resetLinePath});
    return *drives_.back().drive;
}

SimDrive* SimDriveBus::drive(int number) {
    if (number < 1 || static_cast<size_t>(number) > drives_.size())
        return nullptr;
    return drives_[static_cast<size_t>(number - 1)].drive.get();
}

void SimDriveBus::onEvents(uint32_t events) {
    if (events & EPOLLOUT)
        flush();
    if (events & (EPOLLIN | EPOLLERR | EPOLLHUP))
        readInput();
}

void SimDriveBus::readInput() {
    uint8_t chunk[256];
    ssize_t count = end_.read(chunk, sizeof chunk);
    if (count <= 0)
        return;
    bytesReceived_ += static_cast<uint64_t>(count);
    // The transceiver echoes every byte on the line; an answer follows in the same burst.
    if (echo_)
        send(SimBytes(chunk, chunk + count));
    input_.insert(input_.end(), chunk, chunk + count);
    processFrames();
    if (input_.size() > kMaxBuffered)
        input_.clear();
}

void SimDriveBus::processFrames() {
    for (;;) {
        size_t length = requestLength(input_);
        if (length == 0) {
            ++badFrames_;
            input_.clear();
            return;
        }
        if (input_.size() < length)
            return;
        SimBytes frame(input_.begin(), input_.begin() + static_cast<long>(length));
        input_.erase(input_.begin(), input_.begin() + static_cast<long>(length));
        if (!rtuCrcOf(frame).matches()) {
            // Out of step: what is buffered cannot be trusted either.
            ++badFrames_;
            input_.clear();
            return;
        }
        ++framesReceived_;
        serve(frame);
    }
}

void SimDriveBus::serve(const SimBytes& frame) {
    SimBytes request(frame.begin(), frame.end() - kCrcBytes);
    for (Attached& attached : drives_) {
        if (attached.drive->address() != request[0])
            continue;
        if (!attached.resetLinePath.empty())
            attached.drive->setHeldInReset(resetLineRaised(attached));
        SimBytes answer = attached.drive->answer(request);
        if (!answer.empty())
            send(rtuFrame(answer.data(), answer.size()));
        return;
    }
}

bool SimDriveBus::resetLineRaised(Attached& attached) {
    // The board's record gives every value the daemon writes without a system call per frame.
    if (!attached.written && board_)
        attached.written = board_->attributeValue(attached.resetLinePath);
    if (attached.written)
        return raisedValue(attached.written->c_str());
    if (!attached.fileRead) {
        attached.fileRead = true;
        platform::UniqueFd file(
            ::open(platform::rootPath(attached.resetLinePath).c_str(), O_RDONLY | O_CLOEXEC));
        char text[8] = {};
        attached.fileRaised = file && ::read(file.get(), text, sizeof text - 1) >= 3 && raisedValue(text);
    }
    return attached.fileRaised;
}

void SimDriveBus::send(const SimBytes& bytes) {
    output_.insert(output_.end(), bytes.begin(), bytes.end());
    flush();
}

void SimDriveBus::flush() {
    while (!output_.empty()) {
        ssize_t written = end_.write(output_.data(), output_.size());
        if (written <= 0)
            break;
        bytesSent_ += static_cast<uint64_t>(written);
        output_.erase(output_.begin(), output_.begin() + written);
    }
    watchEnd(output_.empty() ? EPOLLIN : EPOLLIN | EPOLLOUT);
}

bool SimDriveBus::inFlight(const SMBus& bus) {
    int64_t toDrives =
        static_cast<int64_t>(bus.bytesSent()) - static_cast<int64_t>(bytesReceived_) - lostToDrives_;
    int64_t toBus = static_cast<int64_t>(bytesSent_) - static_cast<int64_t>(bus.bytesReceived()) - lostToBus_;
    // A transmission waiting for the port to take it is as good as on its way.
    if (bus.watchedEvents() & EPOLLOUT)
        return true;
    if (toDrives <= 0 && toBus <= 0 && output_.empty()) {
        stalledChecks_ = 0;
        return false;
    }
    uint64_t seen[4] = {bus.bytesSent(), bus.bytesReceived(), bytesReceived_, bytesSent_};
    if (std::equal(std::begin(seen), std::end(seen), std::begin(lastSeen_))) {
        // Nothing moved for a while: the bytes went where nobody reads them (a port reopened).
        if (++stalledChecks_ >= kLostAfterChecks) {
            lostToDrives_ += std::max<int64_t>(toDrives, 0);
            lostToBus_ += std::max<int64_t>(toBus, 0);
            stalledChecks_ = 0;
            return false;
        }
    } else {
        stalledChecks_ = 0;
        std::copy(std::begin(seen), std::end(seen), std::begin(lastSeen_));
    }
    return true;
}
