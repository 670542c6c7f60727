#include "platform/linux_rs485.h"

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace platform {

Rs485Result LinuxRs485::enable(int fd, uint32_t rtsDelayAfterSendMs) {
    serial_rs485 config{};
    if (::ioctl(fd, TIOCGRS485, &config) < 0)
        return Rs485Result{Rs485Result::kGetFailed, errno};
    config.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    config.delay_rts_after_send = rtsDelayAfterSendMs;
    if (::ioctl(fd, TIOCSRS485, &config) < 0)
        return Rs485Result{Rs485Result::kSetFailed, errno};
    return Rs485Result{};
}

} // namespace platform
