#include "daemon/velkord.h"

#include "config/config.h"
#include "core/epoller.h"
#include "core/fw_env.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "core/signals.h"
#include "core/timer_queue.h"
#include "daemon/daemon_objects.h"
#include "daemon/drive_view_status.h"
#include "daemon/gpio_setup.h"
#include "daemon/media_indicator.h"
#include "daemon/panel_keys.h"
#include "daemon/registry.h"
#include "daemon/web_drive_access.h"
#include "drive/controller.h"
#include "drive/discrete_io.h"
#include "fieldbus/smbus.h"
#include "fieldbus/smbus_slave.h"
#include "fieldbus/smbus_slave_tcp.h"
#include "periph/ds1820.h"
#include "periph/flash.h"
#include "periph/sim5320.h"
#include "ui/alarm_list_page.h"
#include "ui/clock.h"
#include "ui/debug_screen.h"
#include "ui/display.h"
#include "ui/dynamogram_plots.h"
#include "ui/manual_screen.h"
#include "ui/menu_set.h"
#include "web/http_server.h"

#include <cerrno>
#include <cstdlib>
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

// Some boards were made with the serial number stored as "#serial"; it is renamed once.
void readSerialNumber() {
    const char* serial = fw_getenv("serial#");
    if (!serial && fw_getenv("#serial")) {
        LOG_MSG(LOG_INFO, kUnit, "found environment variable '#serial', renaming to 'serial#'...");
        fw_renameenv("#serial", "serial#");
        serial = fw_getenv("serial#");
    }
    gSerialNumber = serial ? serial : "unknown";
    LOG_MSG(LOG_INFO, kUnit, "serial number: %s", gSerialNumber.c_str());
}

} // namespace

DaemonObjects::DaemonObjects() = default;

DaemonObjects::~DaemonObjects() {
    destroyInOrder();
    destroyConfig();
}

void DaemonObjects::destroyWeb() {
    web.reset();
    webDrive.reset();
}

void DaemonObjects::destroyDrive() {
    // The web server goes first (destroyWeb); the debug screen, portable media, modem and manual-mode
    // screen follow it, in this order, as each of them is added.
    if (rootMenu && debugScreen)
        rootMenu->removeMenuItem(debugScreen.get());
    debugScreen.reset();
    if (rootMenu && flash)
        rootMenu->removeMenuItem(flash.get());
    flash.reset();
    mediaIndicator.reset();
    if (rootMenu && modem)
        rootMenu->removeMenuItem(modem.get());
    modem.reset();
    if (rootMenu && manualScreen)
        rootMenu->removeMenuItem(manualScreen.get());
    manualScreen.reset();
    gDiscreteIO = nullptr;
    discreteIO.reset();
    if (serialSlave)
        serialSlave->setDriveStatus(nullptr);
    if (tcpSlave)
        tcpSlave->setDriveStatus(nullptr);
    driveStatus.reset();
    if (controller)
        controller->setDynamogramObserver(nullptr);
    dynamogramPlots.reset();
    if (rootMenu && mainScreen)
        rootMenu->removeMenuItem(mainScreen.get());
    mainScreen.reset();
    if (rootMenu && alarmPage)
        rootMenu->removeMenuItem(alarmPage.get());
    alarmPage.reset();
    thermometer.reset();
    gDriveView = nullptr;
    gController = nullptr;
    controller.reset();
    panelBlanking.reset();
    panelKeys.reset();
}

void DaemonObjects::destroyInOrder() {
    destroyWeb();
    destroyDrive();
    // The main screen goes here.
    tcpSlave.reset();
    serialSlave.reset();
    gDriveBus = nullptr;
    driveBus.reset();
    gRootMenu = nullptr;
    rootMenu.reset();
    gDisplay = nullptr;
    display.reset();
    gTimers = nullptr;
    timers.reset();
}

void DaemonObjects::destroyConfig() {
    gConfig = nullptr;
    config.reset();
}

int createPanel(platform::Platform& platform, DaemonObjects& objects) {
    // 10.
    objects.display = std::make_unique<Display>(platform.framebuffer());
    if (int status = objects.display->open())
        return status;
    gDisplay = objects.display.get();
    // 11. The empty screen stack; the screens add their pages.
    objects.rootMenu = std::make_unique<MenuSet>();
    gRootMenu = objects.rootMenu.get();
    return 0;
}

void createDrive(DaemonObjects& objects, OilThermometer thermometer) {
    // 16. The keys reach the screens through the root set; the controller blanks the display.
    objects.panelKeys = std::make_unique<RootMenuKeys>(*objects.rootMenu);
    objects.panelBlanking = std::make_unique<PanelBlanking>(*objects.display);
    objects.controller =
        std::make_unique<Controller>(ControllerServices{*objects.panelKeys, *objects.panelBlanking, *objects.driveBus});
    gController = objects.controller.get();
    gDriveView = &objects.controller->view();
    // The oil thermometer belongs to the controller: made with it, gone just before it.
    if (thermometer == OilThermometer::Read)
        objects.thermometer = std::make_unique<DS1820>(objects.controller.get(), *objects.config);
    // The main screen is the first page of the root set.
    objects.mainScreen =
        std::make_unique<Clock>(objects.controller->view(), *objects.config, objects.controller->commands(),
                                platform::gPlatform->systemControl());
    objects.rootMenu->addMenuItem(objects.mainScreen.get());
    objects.mainScreen->tick();
    // Its alarm list is a page of the root set; its dynamograms are drawn for the panel.
    objects.alarmPage = std::make_unique<AlarmListPage>(objects.controller->alarms());
    objects.rootMenu->addMenuItem(objects.alarmPage.get());
    objects.alarmPage->redraw();
    objects.dynamogramPlots = std::make_unique<DynamogramPlots>();
    objects.controller->setDynamogramObserver(objects.dynamogramPlots.get());
    // The slaves read the drive through its view.
    objects.driveStatus = std::make_unique<DriveViewStatus>(objects.controller->view());
    if (objects.serialSlave)
        objects.serialSlave->setDriveStatus(objects.driveStatus.get());
    if (objects.tcpSlave)
        objects.tcpSlave->setDriveStatus(objects.driveStatus.get());
    // 17. The controller hears of every input change.
    objects.discreteIO = std::make_unique<DiscreteIO>(objects.controller.get());
    gDiscreteIO = objects.discreteIO.get();
    // 18. The manual-mode screen stands beside the pages made so far.
    objects.manualScreen = std::make_unique<ManualScreen>(*objects.config);
    objects.rootMenu->addMenuItem(objects.manualScreen.get());
    objects.manualScreen->showList();
}

void createDebugScreen(DaemonObjects& objects) {
    // The debug screen follows the drive bus and the last exchange of the chain.
    if (!objects.driveBus || !objects.discreteIO)
        return;
    DiscreteIO* chain = objects.discreteIO.get();
    objects.debugScreen =
        std::make_unique<DebugScreen>(objects.driveBus->statistics(), *objects.config, [chain] {
            const auto& bytes = chain->lastReceived();
            return std::vector<uint8_t>(bytes.begin(), bytes.end());
        });
    objects.rootMenu->addMenuItem(objects.debugScreen.get());
    objects.debugScreen->redraw();
}

void createModem(platform::Platform& platform, DaemonObjects& objects) {
    objects.modem = std::make_unique<Sim5320>(*objects.config, platform.modemLink(), objects.display.get());
    objects.rootMenu->addMenuItem(objects.modem.get());
}

void createFlash(platform::Platform& platform, DaemonObjects& objects) {
    if (!objects.discreteIO)
        return;
    objects.mediaIndicator =
        std::make_unique<BoardMediaIndicator>(*objects.discreteIO, objects.controller.get());
    FlashServices services{*objects.config, platform.media(), *objects.mediaIndicator, gSerialNumber,
                           [&platform] {
                               // The init script stops and starts the daemon (in the simulator, the
                               // daemon runs again inside the same process).
                               platform.systemControl().restartDaemon();
                           }};
    objects.flash = std::make_unique<Flash>(std::move(services));
    objects.rootMenu->addMenuItem(objects.flash.get());
}

void createWeb(platform::Platform& platform, DaemonObjects& objects) {
    if (objects.controller && objects.driveBus)
        objects.webDrive =
            std::make_unique<WebDriveAccess>(objects.controller->view(), *objects.config, *objects.driveBus);
    objects.web =
        std::make_unique<HTTP>(platform.ports, *objects.timers, objects.config.get(), objects.webDrive.get());
    // A server that does not start has logged why; the daemon runs on without it.
    objects.web->start();
}

std::unique_ptr<SMBus> createDriveBus() {
    auto bus = std::make_unique<SMBus>();
    bus->setDevice("/dev/ttyS2");
    bus->setRtu(true);
    // The speed is the number the current option of modbusSpeed reads ("9600").
    bus->setBaudrate(std::atoi(gConfig->modbusSpeed.currentText().c_str()));
    bus->setDataBits(8);
    bus->setStopBits(2);
    bus->setParity(false, false);
    bus->open();
    return bus;
}

namespace {

// The SCADA line: RTU, 9600 baud, 8 data bits, 2 stop bits, no parity.
std::unique_ptr<SMBusSlave> createSerialSlave() {
    auto slave = std::make_unique<SMBusSlave>();
    slave->setDevice("/dev/ttyS1");
    slave->setBaudrate(9600);
    slave->setDataBits(8);
    slave->setStopBits(2);
    slave->setParity(false, false);
    slave->open();
    return slave;
}

// Returns 0, or the exit status when a device the daemon cannot run without fails to open.
int createObjects(platform::Platform& platform, DaemonObjects& objects) {
    // 7. Loaded while it is built, so the setters it calls meanwhile save nothing; then written once.
    objects.config =
        std::make_unique<Config>(platform::rootPath("/etc/velkord"), platform::rootPath("/etc/velkord_perf"));
    gConfig = objects.config.get();
    gConfig->save();
    // 8.
    journalPrintf(LOG_INFO, "velkord started");
    // 9.
    EPoller::init();
    objects.timers = std::make_unique<TimerQueue>();
    gTimers = objects.timers.get();
    SignalHandlers::forwardEarlyQuit();
    // 10, 11.
    if (int status = createPanel(platform, objects))
        return status;
    // 12.
    objects.driveBus = createDriveBus();
    gDriveBus = objects.driveBus.get();
    // 13.
    objects.serialSlave = createSerialSlave();
    // 14. A failure to listen is logged and leaves the TCP slave inactive.
    objects.tcpSlave = std::make_unique<SMBusSlaveTCP>();
    objects.tcpSlave->listen(platform.ports.modbusTcp);
    // 15. Main screen with its settings menus.
    // 16, 17.
    createDrive(objects);
    // 18. Manual-mode screen (with the drive), modem, portable media, debug screen: the pages stand in
    // this order.
    createModem(platform, objects);
    createFlash(platform, objects);
    createDebugScreen(objects);
    // 19. Web server, started.
    createWeb(platform, objects);
    return 0;
}

void runMainLoop(platform::Platform& platform, WatchdogSession& watchdog, HTTP& web) {
    // 20. Entry 0 is the shared epoll set, entry 1 the web server's own set (-1 without one).
    pollfd pollSet[2] = {{EPoller::descriptor(), POLLIN | POLLOUT, 0},
                         {web.daemonEpollFd(), POLLIN | POLLOUT, 0}};
    platform::Clock& clock = platform.clock();
    for (;;) {
        watchdog.keepAlive();
        // Idle HTTP connections time out too: libmicrohttpd's time-out shortens the timers'.
        int timeoutMs = web.pollTimeoutMs(gTimers->runDue());
        if (gTimers->quit)
            break;
        int ready = clock.wait(pollSet, 2, timeoutMs, gTimers->firingDelayMs(), platform.localEvents());
        // When poll saw nothing ready in the shared set, epoll_wait would find nothing either: the
        // pass of a timer alone is spared that system call.
        if (ready > 0 && pollSet[0].revents != 0)
            EPoller::dispatch(0);
        web.runIfDue(ready > 0 && pollSet[1].revents != 0);
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
    // Without its panel the daemon ends at once, as it does without its GPIO lines: what was built is
    // taken down again, but the watchdog is left armed.
    int status = createObjects(platform, objects);
    if (status == 0) {
        if (platform.onStarted)
            platform.onStarted();
        runMainLoop(platform, watchdog, *objects.web);
        LOG_MSG(LOG_INFO, kUnit, "velkord finished");
        if (platform.onStopping)
            platform.onStopping();
    }
    objects.destroyInOrder();
    EPoller::shutdown();
    objects.destroyConfig();
    journalClose();
    closelog();
    if (status == 0)
        watchdog.release();
    return status;
}
