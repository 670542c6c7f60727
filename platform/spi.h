#pragma once
// SPI devices of the board: the discrete I/O shift-register chain and the analogue converter.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// One opened spidev device.
class SpiDevice {
public:
    virtual ~SpiDevice() = default;

    // One full-duplex transfer of `length` bytes at the default speed and word size. Returns 0, or the
    // errno value of the failed transfer.
    virtual int transfer(const uint8_t* transmit, uint8_t* receive, size_t length) = 0;
};

class Spi {
public:
    virtual ~Spi() = default;

    // Opens a device ("/dev/spidev32766.0") read-write; null with `error` set to the errno value on failure.
    virtual std::unique_ptr<SpiDevice> open(const char* path, int& error) = 0;
};

} // namespace platform
