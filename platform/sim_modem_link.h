#pragma once
// The sandbox's modem link: the PPP service is a counter, the interfaces are what the simulated
// module reports ("ppp0" up or down with its addresses, written to the sandbox's "/proc/net/if_inet6"),
// and the NTP daemon's segment is one of the sandbox's own, made on demand under a key no real time
// daemon uses, read back by tests and removed when the sandbox goes.

#include "platform/modem_link.h"

#include <cstdint>
#include <map>
#include <string>

namespace platform {

class SimModemLink : public ModemLink {
public:
    explicit SimModemLink(std::string root) : root_(std::move(root)) {}
    ~SimModemLink() override;
    SimModemLink(const SimModemLink&) = delete;
    SimModemLink& operator=(const SimModemLink&) = delete;

    bool startPppService() override;
    bool interfaceUp(const std::string& name) override;
    std::string interfaceIpv4(const std::string& name) override;
    key_t ntpShmKey() const override { return ntpKey_; }

    // Brings an interface up with its addresses (IPv6 as 32 hex digits, may be empty) or down.
    void setInterface(const std::string& name, bool up, const std::string& ipv4 = "",
                      const std::string& ipv6Hex = "");
    void setPppStartFails(bool fails) { pppStartFails_ = fails; }
    int pppStarts() const { return pppStarts_; }

    // Makes the sandbox's NTP segment (as the time daemon would); false when no key could be had.
    bool createNtpSegment();
    // The segment as it stands; false without one.
    bool readNtpSegment(NtpShmTime& out) const;

private:
    struct Interface {
        bool up = false;
        std::string ipv4;
        std::string ipv6Hex;
    };
    void writeIfInet6();
    // Removes the sandbox-range segments whose creating process is gone and that nothing attaches.
    static void removeOrphanedSegments();

    std::string root_;
    std::map<std::string, Interface> interfaces_;
    bool pppStartFails_ = false;
    int pppStarts_ = 0;
    key_t ntpKey_ = kNoNtpKey;
    int ntpShmId_ = -1;
};

} // namespace platform
