// The analogue converter "/dev/spidev32766.2", read on the controller's behalf: its log lines carry
// the controller's unit name.

#include "drive/discrete_io.h"

#include "core/log.h"
#include "core/registry.h"

#include <cstring>

namespace {

const char kUnit[] = "controller";

constexpr int kChannels = 8;
constexpr size_t kExchangeBytes = 3;
// Start bit and single-ended mode, followed by the channel number.
constexpr uint8_t kStartSingleEnded = 0x06;

} // namespace

int DiscreteIO::readAdc(int channel) {
    if (channel < 0 || channel >= kChannels)
        return -1;
    int error = 0;
    std::unique_ptr<platform::SpiDevice> converter = gPlatform->spi().open("/dev/spidev32766.2", error);
    if (!converter) {
        LOG_MSG(LOG_ERR, kUnit, "cannot open /dev/spidev32766.2: %s", strerror(error));
        return -1;
    }
    const uint8_t transmit[kExchangeBytes] = {static_cast<uint8_t>(kStartSingleEnded | (channel >> 2)),
                                              static_cast<uint8_t>((channel & 3) << 6), 0};
    uint8_t receive[kExchangeBytes] = {};
    error = converter->transfer(transmit, receive, kExchangeBytes);
    if (error != 0) {
        LOG_MSG(LOG_ERR, kUnit, "/dev/spidev32766.2: transfer error: %s", strerror(error));
        return -1;
    }
    return ((receive[1] << 8) | receive[2]) & 0xFFF;
}
