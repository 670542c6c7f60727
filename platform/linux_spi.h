#pragma once
// spidev devices of the board, driven with SPI_IOC_MESSAGE.

#include "platform/spi.h"

namespace platform {

class LinuxSpi : public Spi {
public:
    std::unique_ptr<SpiDevice> open(const char* path, int& error) override;
};

} // namespace platform
