#pragma once
// The seam between the daemon and the board: filesystem root, clock, devices, ports, log sink.

#include "platform/clock.h"
#include "platform/framebuffer.h"
#include "platform/local_events.h"
#include "platform/media.h"
#include "platform/modem_link.h"
#include "platform/mtd.h"
#include "platform/rs485.h"
#include "platform/serial.h"
#include "platform/spi.h"
#include "platform/system_control.h"
#include "platform/watchdog.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>

namespace platform {

// Network ports the daemon listens on; the simulator moves them to unprivileged numbers.
struct Ports {
    int http = 80;
    int https = 443;
    int modbusTcp = 502;
};

using LogObserver = std::function<void(int priority, const std::string& line)>;

class Platform {
public:
    virtual ~Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // Directory every absolute path of the system is resolved under; empty on the board.
    const std::string& root() const { return root_; }
    Clock& clock() { return *clock_; }
    virtual Watchdog& watchdog() = 0;
    // The flash partitions of the boot environment.
    virtual Mtd& mtd() = 0;
    virtual FramebufferDevice& framebuffer() = 0;
    virtual Spi& spi() = 0;
    // The serial ports, opened by board path, and their RS-485 line setup.
    virtual SerialPorts& serialPorts() = 0;
    virtual Rs485& rs485() = 0;
    // Sources of readiness without a descriptor, served by the main loop with the shared epoll set.
    LocalEvents& localEvents() { return localEvents_; }
    // The modem's PPP service, interface state and NTP segment key.
    virtual ModemLink& modemLink() = 0;
    // Setting the clock and the RTC, restart and reboot.
    virtual SystemControl& systemControl() = 0;
    // Portable media: uevents, block devices, mounting, the package installer.
    virtual Media& media() = 0;
    // The daemon wrote `text` into the sysfs attribute at this board path ("/sys/class/gpio/pioA16/value").
    // The board needs nothing more than the write; the simulated board remembers the values, so its
    // devices follow their lines without reading the files back.
    virtual void attributeWritten(const std::string& /*boardPath*/, const char* /*text*/) {}

    Ports ports;

    // One diagnostic line, already formatted: to the system log (the board's syslog) and to the
    // observer, if any. Any thread.
    void log(int priority, const std::string& line);
    void setLogObserver(LogObserver observer);

    // Called by the daemon once every object exists, before the first loop pass, and right after the
    // loop ends, before any object is destroyed. The simulator attaches its plant here.
    std::function<void()> onStarted;
    std::function<void()> onStopping;

protected:
    Platform(std::string root, std::unique_ptr<Clock> clock);
    // The board's syslog; a simulated board keeps its lines out of the host's log.
    virtual void toSystemLog(int priority, const std::string& line);

private:
    const std::string root_;
    std::unique_ptr<Clock> clock_;
    LocalEvents localEvents_;
    std::mutex observerMutex_;
    LogObserver observer_;
};

// The platform the process runs on; set by the program before the daemon starts.
extern Platform* gPlatform;

// Makes a platform the current one for a scope and puts the previous one back after.
class PlatformScope {
public:
    explicit PlatformScope(Platform& platform) : previous_(gPlatform) { gPlatform = &platform; }
    ~PlatformScope() { gPlatform = previous_; }
    PlatformScope(const PlatformScope&) = delete;
    PlatformScope& operator=(const PlatformScope&) = delete;

private:
    Platform* previous_;
};

// An absolute path of the system ("/etc/velkord") as seen on this platform.
std::string rootPath(const char* absolutePath);
std::string rootPath(const std::string& absolutePath);

// getpid(), asked of the kernel once per process (again in a child after fork).
pid_t processId();

} // namespace platform
