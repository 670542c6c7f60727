#pragma once
// The far end of a simulated serial port, played by a test: what the daemon sent, and bytes back.

#include <cstdint>
#include <string>
#include <vector>

class SerialPeer {
public:
    // fd: the far end of a SimSerialLine (not owned).
    explicit SerialPeer(int fd) : fd_(fd) {}

    // Everything the daemon sent: waits up to firstByteMs of real time for the first byte, then reads
    // until the line has been quiet for 20 ms.
    std::vector<uint8_t> receive(int firstByteMs = 1000);
    // True when nothing arrives within waitMs of real time.
    bool silent(int waitMs = 30);
    // Writes all bytes in one write.
    bool send(const std::vector<uint8_t>& bytes);
    bool send(const std::string& text);

private:
    int fd_;
};
