#pragma once
// The board's PPP service ("/etc/init.d/ppp restart"), interface ioctls and the NTP daemon's key.

#include "platform/modem_link.h"

namespace platform {

// The NTP daemon's shared-memory reference clock, unit 0 ("NTP0").
constexpr key_t kBoardNtpKey = 0x4E545030;

class LinuxModemLink : public ModemLink {
public:
    bool startPppService() override;
    bool interfaceUp(const std::string& name) override;
    std::string interfaceIpv4(const std::string& name) override;
    key_t ntpShmKey() const override { return kBoardNtpKey; }
};

} // namespace platform
