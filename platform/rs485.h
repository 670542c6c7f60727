#pragma once
// RS-485 mode of a serial port: the transmitter is switched by RTS around every transmission.

#include <cstdint>

namespace platform {

// Which of the two kernel calls failed, and its errno value.
struct Rs485Result {
    enum Step { kDone, kGetFailed, kSetFailed };
    Step step = kDone;
    int error = 0;
};

class Rs485 {
public:
    virtual ~Rs485() = default;

    // Reads the port's RS-485 configuration, enables RS-485 with RTS on send and the given RTS delay after
    // send, and writes it back.
    virtual Rs485Result enable(int fd, uint32_t rtsDelayAfterSendMs) = 0;
};

} // namespace platform
