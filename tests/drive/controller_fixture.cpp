#include "tests/drive/controller_fixture.h"

#include <sstream>

ControllerFixture::ControllerFixture() {
    EXPECT_TRUE(EPoller::init());
    gTimers = &timers;
    objects.config = std::make_unique<Config>(board.path("/etc/velkord"), board.path("/etc/velkord_perf"));
    config = objects.config.get();
    rig = std::make_unique<RigInputs>(board.platform().simSpi());
    board.platform().simSpi().setProvider(rig.get());
    rig->setAdc(4, kFourMilliamps);
    // Settings the tests rely on unless they say otherwise: the plausibility check of the pressure
    // sensor needs a plant, which the rig has not.
    config->pressSensorMalfuncAutodetect.value = -0.01f;
    // Without a plant the rod carries no load.
    config->gMin.value = -0.01f;
}

ControllerFixture::~ControllerFixture() {
    objects.destroyDrive();
    drives.reset();
    board.clock().setInFlightCheck(nullptr);
    objects.destroyInOrder();
    board.platform().simSpi().setProvider(nullptr);
    objects.destroyConfig();
    gTimers = nullptr;
    EPoller::shutdown();
    setJournalParameterLine(nullptr);
    journalClose();
}

void ControllerFixture::start() {
    gConfig = config;
    ASSERT_EQ(createPanel(board.platform(), objects), 0);
    display = objects.display.get();
    rootMenu = objects.rootMenu.get();
    objects.driveBus = createDriveBus();
    bus = objects.driveBus.get();
    ASSERT_TRUE(bus->isOpen());
    gDriveBus = bus;
    drives = std::make_unique<SimDriveBus>(board.platform().serialLine("/dev/ttyS2")->farEnd());
    drives->addDrive(static_cast<uint8_t>(config->modbusAddrDrive1.value),
                     static_cast<SimDriveModel>(config->typeDrive1.current), "/sys/class/gpio/pioA16/value");
    drives->addDrive(static_cast<uint8_t>(config->modbusAddrDrive2.value),
                     static_cast<SimDriveModel>(config->typeDrive2.current), "/sys/class/gpio/pioA17/value");
    board.clock().setInFlightCheck([this] { return drives->inFlight(*bus); });
    // The tests give the controller its oil temperatures themselves.
    createDrive(objects, OilThermometer::Omitted);
    createDebugScreen(objects);
    controller = objects.controller.get();
    alarmPage = objects.alarmPage.get();
    plots = objects.dynamogramPlots.get();
    io = objects.discreteIO.get();
    run(30);
}

bool ControllerFixture::runUntil(const std::function<bool()>& predicate, uint32_t limitMs) {
    for (uint32_t waited = 0; waited < limitMs; waited += 10) {
        if (predicate())
            return true;
        run(10);
    }
    return predicate();
}

// НУ1: mode = bit 30 + 2 x bit 26; НУ2: bit 28 + 2 x bit 29.
void ControllerFixture::setModeSwitch(int unit, int mode) {
    setInput(unit == 1 ? 30 : 28, mode & 1);
    setInput(unit == 1 ? 26 : 29, mode & 2);
}

// Pairs: НУ1 top 1 + 2 x 20, bottom 2 + 2 x 3; НУ2 top 4 + 2 x 5, bottom 6 + 2 x 7.
void ControllerFixture::setTopSensor(int unit, int state) {
    setInput(unit == 1 ? 1 : 4, state & 1);
    setInput(unit == 1 ? 20 : 5, state & 2);
}

void ControllerFixture::setBottomSensor(int unit, int state) {
    setInput(unit == 1 ? 2 : 6, state & 1);
    setInput(unit == 1 ? 3 : 7, state & 2);
}

void ControllerFixture::rodReachesTop() {
    setBottomSensor(1, kSensorInactive);
    settle();
    setTopSensor(1, kSensorActive);
    settle();
}

void ControllerFixture::rodReachesBottom() {
    setTopSensor(1, kSensorInactive);
    settle();
    setBottomSensor(1, kSensorActive);
    settle();
}

// Oil level inactive (inputs 9 and 10 swapped by the default oilSensorInvertion: 9 high), ЭКМ
// inactive, both units' sensors healthy.
void ControllerFixture::healthyRig(int mode, bool atBottom) {
    setInput(9, true);
    setInput(10, false);
    for (int n = 1; n <= 2; ++n) {
        setTopSensor(n, kSensorInactive);
        setBottomSensor(n, atBottom ? kSensorActive : kSensorInactive);
        setModeSwitch(n, mode);
    }
}

std::vector<std::string> ControllerFixture::journal() {
    std::vector<std::string> entries;
    std::istringstream lines(file("/var/log/events"));
    for (std::string line; std::getline(lines, line);)
        entries.push_back(line.size() > 16 ? line.substr(16) : line);
    return entries;
}

bool ControllerFixture::journalHas(const std::string& entry) {
    for (const std::string& line : journal())
        if (line == entry)
            return true;
    return false;
}
