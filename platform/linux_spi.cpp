#include "platform/linux_spi.h"

#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <sys/ioctl.h>

namespace platform {

namespace {

class LinuxSpiDevice : public SpiDevice {
public:
    explicit LinuxSpiDevice(UniqueFd fd) : fd_(std::move(fd)) {}

    int transfer(const uint8_t* transmit, uint8_t* receive, size_t length) override {
        // Speed and word size 0: the device's defaults.
        spi_ioc_transfer message{};
        message.tx_buf = reinterpret_cast<uintptr_t>(transmit);
        message.rx_buf = reinterpret_cast<uintptr_t>(receive);
        message.len = static_cast<uint32_t>(length);
        if (::ioctl(fd_.get(), SPI_IOC_MESSAGE(1), &message) < 0)
            return errno;
        return 0;
    }

private:
    UniqueFd fd_;
};

} // namespace

std::unique_ptr<SpiDevice> LinuxSpi::open(const char* path, int& error) {
    UniqueFd fd(::open(rootPath(path).c_str(), O_RDWR | O_CLOEXEC));
    if (!fd) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::make_unique<LinuxSpiDevice>(std::move(fd));
}

} // namespace platform
