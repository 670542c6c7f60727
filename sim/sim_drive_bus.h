#pragma once
// The simulated drives on the far end of the drive bus: requests are read as RTU frames and answered
// by the drive at the frame's address. On a pty they are also echoed, as the board's RS-485
// transceiver does; a line inside the process echoes by itself. A drive's reset line is the GPIO
// value the daemon writes; while it is "255" the drive is held in reset. The simulated board tells
// the value as it is written; a line not written since the start reads as its file held it then.

#include "core/epoller.h"
#include "platform/serial.h"
#include "sim/sim_drive.h"

#include <memory>
#include <string>
#include <vector>

class SMBus;

namespace platform {
class SimPlatform;
}

class SimDriveBus : public EPoller {
public:
    // More buffered input than this without a complete frame is noise and is dropped.
    static constexpr size_t kMaxBuffered = 512;
    // Real-time checks without progress after which bytes in flight are taken as lost.
    static constexpr int kLostAfterChecks = 5;

    // fd: the far end of the pty (not owned).
    explicit SimDriveBus(int fd);
    // The far end of a line inside the process (not owned).
    explicit SimDriveBus(platform::SerialDevice& farEnd);
    ~SimDriveBus() override;

    // Adds a drive; its reset line (a board path such as "/sys/class/gpio/pioA16/value") may be empty.
    SimDrive& addDrive(uint8_t address, SimDriveModel model, const std::string& resetLinePath = "");
    // Drive 1 or 2 as added; nullptr when there is none.
    SimDrive* drive(int number);

    void onEvents(uint32_t events) override;

    uint64_t bytesReceived() const { return bytesReceived_; }
    uint64_t bytesSent() const { return bytesSent_; }
    uint32_t framesReceived() const { return framesReceived_; }
    uint32_t badFrames() const { return badFrames_; }
    // Bytes between the daemon's bus and these drives have not arrived yet on one side or the other, or
    // the bus has a transmission waiting for its port.
    bool inFlight(const SMBus& bus);

private:
    struct Attached {
        std::unique_ptr<SimDrive> drive;
        std::string resetLinePath;
        // The value the daemon last wrote (the board's record, null before the first write).
        const std::string* written = nullptr;
        // The file as found, read once: the line before the daemon wrote it.
        bool fileRead = false;
        bool fileRaised = false;
    };

    void watchEnd(uint32_t events);
    void readInput();
    void processFrames();
    void serve(const SimBytes& frame);
    void send(const SimBytes& bytes);
    void flush();
    bool resetLineRaised(Attached& attached);

    platform::SimPlatform* board_;
    std::unique_ptr<platform::SerialDevice> ownedEnd_;
    platform::SerialDevice& end_;
    const bool echo_;
    SimBytes input_;
    SimBytes output_;
    std::vector<Attached> drives_;
    uint64_t bytesReceived_ = 0;
    uint64_t bytesSent_ = 0;
    uint32_t framesReceived_ = 0;
    uint32_t badFrames_ = 0;
    // Bytes taken as lost (the daemon's counts ahead of ours, or ours ahead of its).
    int64_t lostToDrives_ = 0;
    int64_t lostToBus_ = 0;
    uint64_t lastSeen_[4] = {};
    int stalledChecks_ = 0;
};
