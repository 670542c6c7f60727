#include "core/velkord.h"

#include "core/epoller.h"
#include "core/gpio_setup.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "core/signals.h"
#include "core/timer_queue.h"
#include "drive/discrete_io.h"
#include "fieldbus/smbus.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <poll.h>

namespace {

const char kUnit[] = "velkord";

constexpr int kWatchdogAttempts = 25;
constexpr unsigned kWatchdogRetryMs = 400;

// Holds the watchdog open for the run; leaving without the magic byte lets the board reset.
class WatchdogSession {
public:
    explicit WatchdogSession(platform::Watchdog& device) : device_(device) {}
    ~WatchdogSession() { device_.close(); }

    void open() {
        int error = 0;
        for (int attempt = 0; attempt < kWatchdogAttempts; ++attempt) {
            error = device_.open();
            if (error == 0)
                return;
            // Another opener holds it: say so once, after the last attempt.
            if (error != EBUSY)
                LOG_MSG(LOG_ERR, kUnit, "error opening /dev/watchdog: %s", strerror(error));
            platform::sleepMs(kWatchdogRetryMs);
        }
        if (error == EBUSY)
            LOG_MSG(LOG_ERR, kUnit, "error opening /dev/watchdog: %s", strerror(error));
    }
    void keepAlive() { device_.write('W'); }
    void release() {
        if (!device_.isOpen())
            return;
        device_.write('V');
        device_.close();
    }

private:
    platform::Watchdog& device_;
};

void readSerialNumber() {
    // The boot environment is not read yet; boards without one report "unknown" as well.
    gSerialNumber = "unknown";
    LOG_MSG(LOG_INFO, kUnit, "serial number: %s", gSerialNumber.c_str());
}

// The long-lived objects, created in start-up order and destroyed in the reverse order below.
struct DaemonObjects {
    std::unique_ptr<TimerQueue> timers;
    std::unique_ptr<SMBus> driveBus;
    std::unique_ptr<DiscreteIO> discreteIO;

    void destroyInOrder() {
        // The web server, debug screen, portable media, modem and manual-mode screen go first, in
        // this order, as each of them is added.
        gDiscreteIO = nullptr;
        discreteIO.reset();
        // The controller, main screen, TCP slave and serial slave go here, in this order.
        gDriveBus = nullptr;
        driveBus.reset();
        // The root menu and the display go here, in this order.
        gTimers = nullptr;
        timers.reset();
    }
};

// Until the configuration exists the drive bus runs at the default of the setting modbusSpeed.
constexpr int kDefaultDriveBusBaud = 9600;

std::unique_ptr<SMBus> createDriveBus() {
    auto bus = std::make_unique<SMBus>();
    bus->setDevice("/dev/ttyS2");
    bus->setRtu(true);
    // The speed is the decimal number in the current option text of the setting modbusSpeed; read it
    // from gConfig here once the configuration is loaded at step 7.
    bus->setBaudrate(kDefaultDriveBusBaud);
    bus->setDataBits(8);
    bus->setStopBits(2);
    bus->setParity(false, false);
    bus->open();
    return bus;
}

void createObjects(DaemonObjects& objects) {
    // 7. Configuration "/etc/velkord" and "/etc/velkord_perf" -> gConfig, loaded.
    // 8.
    journalPrintf(LOG_INFO, "velkord started");
    // 9.
    EPoller::init();
    objects.timers = std::make_unique<TimerQueue>();
    gTimers = objects.timers.get();
    SignalHandlers::forwardEarlyQuit();
    // 10. Display -> gDisplay.
    // 11. Root menu set -> gRootMenu.
    // 12.
    objects.driveBus = createDriveBus();
    gDriveBus = objects.driveBus.get();
    // 13. Serial slave on "/dev/ttyS1".
    // 14. TCP slave on the Modbus TCP port.
    // 15. Main screen with its settings menus.
    // 16. Controller -> gController.
    // 17. The controller becomes its listener once it exists.
    objects.discreteIO = std::make_unique<DiscreteIO>();
    gDiscreteIO = objects.discreteIO.get();
    // 18. Manual-mode screen, modem, portable media, debug screen.
    // 19. Web server, started.
}

void runMainLoop(platform::Platform& platform, WatchdogSession& watchdog) {
    // 20. Entry 0 is the shared epoll set, entry 1 the web server's own set (none yet).
    pollfd pollSet[2] = {{EPoller::descriptor(), POLLIN | POLLOUT, 0}, {-1, POLLIN | POLLOUT, 0}};
    platform::Clock& clock = platform.clock();
    for (;;) {
        watchdog.keepAlive();
        int timeoutMs = gTimers->runDue();
        if (gTimers->quit)
            break;
        int ready = ::poll(pollSet, 2, clock.realWaitMs(timeoutMs));
        clock.waited(timeoutMs, ready);
        EPoller::dispatch(0);
        // The web server's pass goes here.
    }
}

} // namespace

int runDaemon(platform::Platform& platform) {
    platform::PlatformScope platformScope(platform);
    openlog("velkord", LOG_PID | LOG_PERROR, LOG_DAEMON);

    WatchdogSession watchdog(platform.watchdog());
    watchdog.open();
    readSerialNumber();
    SignalHandlers signals;
    if (!exportGpioLines() || !setGpioDirections())
        return 1;

    DaemonObjects objects;
    createObjects(objects);
    if (platform.onStarted)
        platform.onStarted();

    runMainLoop(platform, watchdog);

    LOG_MSG(LOG_INFO, kUnit, "velkord finished");
    if (platform.onStopping)
        platform.onStopping();
    objects.destroyInOrder();
    EPoller::shutdown();
    journalClose();
    closelog();
    watchdog.release();
    return 0;
}
