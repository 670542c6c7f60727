#pragma once
// What the modem needs of the system besides its serial port and power key: the PPP service, the
// state of an interface, and the key of the NTP daemon's shared-memory reference clock. The IPv6
// addresses are read from "/proc/net/if_inet6" under the platform's root.

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace platform {

constexpr size_t kNtpSegmentSize = 80;

// A key no segment is attached with: the NTP time is not passed on.
constexpr key_t kNoNtpKey = -1;

// The NTP daemon's shared-memory reference clock as the board's 80-byte segment lays it out (32-bit
// time fields).
struct NtpShmTime {
    int32_t mode;
    int32_t count;
    int32_t clockTimeStampSec; // time_t on the board
    int32_t clockTimeStampUSec;
    int32_t receiveTimeStampSec;
    int32_t receiveTimeStampUSec;
    int32_t leap;
    int32_t precision;
    int32_t nsamples;
    int32_t valid;
    uint32_t clockTimeStampNSec;
    uint32_t receiveTimeStampNSec;
    int32_t dummy[8];
};

class ModemLink {
public:
    virtual ~ModemLink() = default;
    // Restarts the system PPP service in a detached process; false when it could not be started.
    virtual bool startPppService() = 0;
    // IFF_UP of the interface's flags.
    virtual bool interfaceUp(const std::string& name) = 0;
    // The interface's IPv4 address in dotted form; empty when it has none.
    virtual std::string interfaceIpv4(const std::string& name) = 0;
    // The System V key of the NTP daemon's unit-0 segment, or kNoNtpKey.
    virtual key_t ntpShmKey() const = 0;
};

} // namespace platform
