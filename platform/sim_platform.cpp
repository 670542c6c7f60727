#include "platform/sim_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace platform {

int SimWatchdog::open() {
    UniqueFd fd(::open(rootPath("/dev/watchdog").c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd)
        return errno;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? EBUSY : errno;
    fd_ = std::move(fd);
    lastByte_ = 0;
    return 0;
}

void SimWatchdog::write(char byte) {
    if (!fd_)
        return;
    // The file only has to show the last byte: a keep-alive like the one before changes nothing, so
    // the stand-in spares the loop a system call per pass.
    if (lastByte_ != 0 && byte == lastByte_) {
        ++bytesWritten_;
        return;
    }
    if (::pwrite(fd_.get(), &byte, 1, 0) == 1) {
        ++bytesWritten_;
        lastByte_ = byte;
    }
}

int SimMtd::erase(int fd, uint32_t start, uint32_t length) {
    std::vector<char> erased(length, static_cast<char>(0xFF));
    ssize_t written = ::pwrite(fd, erased.data(), erased.size(), start);
    if (written < 0)
        return errno;
    return static_cast<size_t>(written) == erased.size() ? 0 : EIO;
}
namespace {

// The board's serial ports: the SCADA slave on ttyS1, the drive bus master on ttyS2, the modem on
// ttyUSB2.
const char kScadaPort[] = "/dev/ttyS1";
const char kDriveBusPort[] = "/dev/ttyS2";
const char kModemPort[] = "/dev/ttyUSB2";

} // namespace

std::unique_ptr<SerialDevice> SimSerialPorts::open(const std::string& path, int& error) {
    for (auto& line : localLines_) {
        if (line->devicePath() == path) {
            error = 0;
            return line->openPort();
        }
    }
    return files_.open(path, error);
}

SimPlatform::SimPlatform(std::string sandboxRoot, std::unique_ptr<Clock> clock, DriveBusLine driveBus)
    : Platform(std::move(sandboxRoot), std::move(clock)), spi_(this->clock()), modemLink_(root()),
      media_(root()) {
    serialLines_.push_back(std::make_unique<SimSerialLine>(kScadaPort, root()));
    serialLines_.push_back(std::make_unique<SimSerialLine>(kModemPort, root()));
    if (driveBus == DriveBusLine::kLocal)
        localLines_.push_back(std::make_unique<LocalSerialLine>(kDriveBusPort, localEvents()));
    else
        serialLines_.push_back(std::make_unique<SimSerialLine>(kDriveBusPort, root()));
}

LocalSerialLine* SimPlatform::localLine(const std::string& devicePath) {
    for (auto& line : localLines_)
        if (line->devicePath() == devicePath)
            return line.get();
    return nullptr;
}

void SimPlatform::attributeWritten(const std::string& boardPath, const char* text) {
    attributes_[boardPath] = text;
}

const std::string* SimPlatform::attributeValue(const std::string& boardPath) const {
    auto found = attributes_.find(boardPath);
    return found == attributes_.end() ? nullptr : &found->second;
}

SimSerialLine* SimPlatform::serialLine(const std::string& devicePath) {
    for (auto& line : serialLines_)
        if (line->devicePath() == devicePath)
            return line.get();
    return nullptr;
}

void SimPlatform::toSystemLog(int, const std::string& line) {
    // One write, so lines from the worker threads never interleave.
    std::string echoed = "velkord[" + std::to_string(processId()) + "]: " + line + "\n";
    ssize_t ignored = ::write(STDERR_FILENO, echoed.data(), echoed.size());
    (void)ignored;
}

} // namespace platform
