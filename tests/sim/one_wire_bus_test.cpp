// The simulated 1-wire bus: the sensors' files and links in the sandbox as the kernel shows them, and
// the control commands that put sensors on and off the bus and fail their CRC.

#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "sim/control_server.h"
#include "sim/sandbox.h"
#include "sim/sim_one_wire_bus.h"
#include "sim/sim_session.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class OneWireBusTest : public ::testing::Test {
protected:
    OneWireBusTest() {
        EXPECT_TRUE(EPoller::init());
        gTimers = &timers;
        std::string error;
        EXPECT_TRUE(prepareSandbox(board.path(""), error)) << error;
        EXPECT_TRUE(installSimThermometers(board.path(""), error)) << error;
        plant.setOilCelsius(41.3);
        bus = std::make_unique<SimOneWireBus>(plant);
    }
    ~OneWireBusTest() override {
        bus.reset();
        gTimers = nullptr;
        EPoller::shutdown();
    }

    std::string slave(const std::string& id) {
        return readFile(board.path("/sys/bus/w1/devices/" + id + "/w1_slave"));
    }
    bool linked(const std::string& id) {
        struct stat status {};
        return ::lstat(board.path("/sys/bus/w1/devices/" + id).c_str(), &status) == 0 &&
               S_ISLNK(status.st_mode);
    }

    TestBoard board;
    TimerQueue timers;
    PlantModel plant;
    std::unique_ptr<SimOneWireBus> bus;
};

TEST_F(OneWireBusTest, TheOilSensorFollowsThePlantInSixteenthsOfADegree) {
    EXPECT_TRUE(linked(kSimBoardThermometer));
    EXPECT_TRUE(linked(kSimOilThermometer));
    // 41.3 °C is 660.8 sixteenths: 661, shown as 41312 millidegrees.
    EXPECT_NE(slave(kSimOilThermometer).find("crc=1c YES\n"), std::string::npos);
    EXPECT_NE(slave(kSimOilThermometer).find("t=41312\n"), std::string::npos);
    EXPECT_NE(slave(kSimBoardThermometer).find("t=36500\n"), std::string::npos);
    plant.setOilCelsius(58.0);
    runLoopFor(board, SimOneWireBus::kPeriodMs + 1);
    EXPECT_NE(slave(kSimOilThermometer).find("t=58000\n"), std::string::npos);
}

TEST_F(OneWireBusTest, CommandsPutSensorsOnAndOffTheBusAndFailTheirCrc) {
    ControlServer control;
    addOneWireCommands(control, *bus);
    EXPECT_EQ(control.execute("w1 remove board"), "ok");
    EXPECT_FALSE(linked(kSimBoardThermometer));
    EXPECT_FALSE(fileExists(board.path(std::string("/sys/devices/w1_bus_master1/") + kSimBoardThermometer)));
    EXPECT_EQ(control.execute("w1 remove oil"), "ok");
    EXPECT_EQ(bus->size(), 0u);
    EXPECT_EQ(control.execute("w1 remove oil"), "error no sensor 10-000802d45e6f");
    EXPECT_EQ(control.execute("w1 add 10-0000000000aa 23.125"), "ok");
    EXPECT_TRUE(linked("10-0000000000aa"));
    EXPECT_NE(slave("10-0000000000aa").find("t=23125\n"), std::string::npos);
    EXPECT_EQ(control.execute("w1 crc 10-0000000000aa no"), "ok");
    EXPECT_NE(slave("10-0000000000aa").find("crc=1c NO\n"), std::string::npos);
    EXPECT_EQ(control.execute("w1"), "ok 10-0000000000aa 23.125 NO");
    EXPECT_EQ(control.execute("w1 add oil"), "ok");
    EXPECT_EQ(control.execute("thermometer error"), "ok");
    EXPECT_NE(slave(kSimOilThermometer).find("crc=1c NO\n"), std::string::npos);
    // Ids that are no 1-wire ids never become paths.
    EXPECT_EQ(control.execute("w1 add ../../etc"), "error malformed 1-wire id ../../etc");
    EXPECT_EQ(control.execute("w1 add 10-0000000000aa"), "error 10-0000000000aa is on the bus already");
    EXPECT_EQ(control.execute("w1 set oil 30"), "error no fixed sensor 10-000802d45e6f");
    EXPECT_EQ(control.execute("w1 frobnicate"), "error usage: w1 [add SENSOR [CELSIUS] | remove SENSOR | "
                                                "crc SENSOR yes|no | set SENSOR CELSIUS]");
}

} // namespace
