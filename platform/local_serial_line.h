#pragma once
// A serial line inside the process, on the platform's clock: the simulated drive bus without a pty.
// The daemon opens its board path ("/dev/ttyS2") as a port; the far end is where the simulated drives
// read and write. Characters take their real line time (11 bits a byte at 8N2: about 1.15 ms at 9600
// baud), and a burst written in one call is handed to a reader whole once its last byte has crossed,
// as the UART's receive time-out hands it over. Like the board's RS-485 transceiver, the line returns
// what the port sends to the port itself (the echo) at the same moment the far end gets it.

#include "platform/local_events.h"
#include "platform/serial.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class LocalSerialLine {
public:
    LocalSerialLine(std::string devicePath, LocalEvents& events);
    ~LocalSerialLine();
    LocalSerialLine(const LocalSerialLine&) = delete;
    LocalSerialLine& operator=(const LocalSerialLine&) = delete;

    const std::string& devicePath() const { return devicePath_; }
    // The daemon's side; a new opener takes the line from an earlier one.
    std::unique_ptr<SerialDevice> openPort();
    // The far end, for the line's whole life.
    SerialDevice& farEnd();

    class End;

private:
    friend class End;
    void transmit(End& from, const uint8_t* data, size_t size);
    void portClosed(End* port);

    const std::string devicePath_;
    LocalEvents& events_;
    std::unique_ptr<End> far_;
    End* port_ = nullptr;
    termios settings_{};
    // The line is busy with earlier characters until this moment.
    uint64_t busyUntilUs_ = 0;
};

} // namespace platform
