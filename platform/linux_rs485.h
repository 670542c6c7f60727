#pragma once
// RS-485 mode through the kernel's TIOCGRS485 and TIOCSRS485.

#include "platform/rs485.h"

namespace platform {

class LinuxRs485 : public Rs485 {
public:
    Rs485Result enable(int fd, uint32_t rtsDelayAfterSendMs) override;
};

} // namespace platform
