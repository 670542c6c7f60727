#pragma once
// The SCADA line of the simulated board as the board's RS-485 transceiver makes it: every byte the
// daemon's slave sends on its port comes back to it (its echo) and goes on to the master; every byte
// the master sends reaches the slave. The master's end of the line is a second pty, linked at a
// sandbox path that a SCADA program (or a test) opens as its serial port.

#include "core/epoller.h"
#include "platform/sim_serial_line.h"

#include <cstdint>
#include <functional>
#include <string>

class EchoingLine {
public:
    // The board path where the simulator offers the SCADA master's end of "/dev/ttyS1".
    static constexpr const char* kMasterPath = "/dev/scada";

    // slaveLineFarEnd: the far end of the pty the daemon's slave opened (not owned). masterPath: a
    // board path, linked under sandboxRoot to the master's pty.
    EchoingLine(int slaveLineFarEnd, const std::string& masterPath, const std::string& sandboxRoot);

    // The far end of the master's pty (a test playing the master reads and writes here); -1 when the
    // pty could not be made.
    int masterFarEnd() const { return masterLine_.farEnd(); }
    const std::string& masterPtyPath() const { return masterLine_.ptyPath(); }
    // Bytes the slave sent, each both echoed and passed on, and bytes the master sent.
    uint64_t bytesFromSlave() const { return fromSlave_; }
    uint64_t bytesFromMaster() const { return fromMaster_; }

private:
    // One watched descriptor; readable input is handed to the line.
    class End : public EPoller {
    public:
        End(int fd, std::function<void()> onReadable);
        ~End() override;
        void onEvents(uint32_t events) override;

    private:
        int fd_;
        std::function<void()> onReadable_;
    };

    void relayFromSlave();
    void relayFromMaster();

    int slaveFd_;
    platform::SimSerialLine masterLine_;
    End slaveEnd_;
    End masterEnd_;
    uint64_t fromSlave_ = 0;
    uint64_t fromMaster_ = 0;
};
