// The simulated drives: their registers, obedience to the control frames, the ramp, the faults, and
// the bus that echoes and answers on the far end of a pty.

#include "core/epoller.h"
#include "core/registry.h"
#include "core/sysfs_file.h"
#include "core/timer_queue.h"
#include "fieldbus/rtu_framing.h"
#include "sim/sim_drive_bus.h"
#include "tests/support/event_pump.h"
#include "tests/support/serial_peer.h"
#include "tests/support/test_board.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

SimBytes read(uint8_t address, uint16_t reg, uint16_t count) {
    return {address,
            0x03,
            static_cast<uint8_t>(reg >> 8),
            static_cast<uint8_t>(reg),
            0,
            static_cast<uint8_t>(count)};
}

uint16_t registerOf(const SimBytes& answer, int index) {
    return static_cast<uint16_t>(answer[3 + 2 * index] << 8 | answer[4 + 2 * index]);
}

class SimDriveTest : public ::testing::Test {
protected:
    SimDriveTest() { gTimers = &timers; }
    ~SimDriveTest() override { gTimers = nullptr; }
    TestBoard board;
    TimerQueue timers;
};

TEST_F(SimDriveTest, FirstModelRunsOnFrameAAndRampsToItsReference) {
    SimDrive drive(1, SimDriveModel::First);
    // Control word 0x047C (run), reference 7454 (45.5 Hz), low bytes first.
    SimBytes frameA = {1, 0x0F, 0, 0, 0, 0x20, 4, 0x7C, 0x04, 0x1E, 0x1D};
    EXPECT_EQ(drive.answer(frameA), SimBytes(frameA.begin(), frameA.begin() + 6));
    EXPECT_TRUE(drive.runCommanded());
    EXPECT_NEAR(drive.setPoint(), 45.5f, 0.01f);

    board.clock().advanceMs(250);
    float early = drive.outputFrequency();
    EXPECT_GT(early, 10.0f);
    EXPECT_LT(early, 30.0f);
    board.clock().advanceMs(5000);
    SimBytes answer = drive.answer(read(1, 0x3F01, 1));
    ASSERT_EQ(answer.size(), 5u);
    EXPECT_EQ(registerOf(answer, 0), 455);
    EXPECT_GT(registerOf(drive.answer(read(1, 0x3F29, 2)), 1), 0); // turning
    EXPECT_GT(registerOf(drive.answer(read(1, 0x3F0B, 2)), 1), 0); // a current

    drive.setLoad(1.0f);
    EXPECT_FLOAT_EQ(drive.motorCurrent(), SimDrive::kRatedCurrent);
}

TEST_F(SimDriveTest, SecondModelRunsOnFrameBAndReportsItsErrorCode) {
    SimDrive drive(2, SimDriveModel::Second);
    SimBytes frameB = {2, 0x10, 0x20, 0x00, 0, 2, 4, 0x00, 0x12, 0x0F, 0xA0};
    EXPECT_EQ(drive.answer(frameB).size(), 6u);
    EXPECT_TRUE(drive.runCommanded());
    EXPECT_FLOAT_EQ(drive.setPoint(), 40.0f);
    EXPECT_TRUE(drive.writes().empty()); // the control frame is no parameter

    drive.setFault(SimDriveFault::OverCurrent, true);
    EXPECT_EQ(registerOf(drive.answer(read(2, 0x2100, 1)), 0), SimDrive::kOverCurrentCode);
    board.clock().advanceMs(3000);
    EXPECT_EQ(drive.outputFrequency(), 0.0f); // tripped
    drive.setHeldInReset(true);
    EXPECT_TRUE(drive.answer(read(2, 0x2100, 1)).empty());
    drive.setHeldInReset(false);
    EXPECT_EQ(registerOf(drive.answer(read(2, 0x2100, 1)), 0), 0);

    drive.setFault(SimDriveFault::MotorOverheat, true);
    EXPECT_EQ(registerOf(drive.answer(read(2, 0x2100, 1)), 0), SimDrive::kOverheatCode);
    drive.setFault(SimDriveFault::Cold, true);
    EXPECT_EQ(registerOf(drive.answer(read(2, 0x220F, 1)), 0), 0);
}

TEST_F(SimDriveTest, ParameterWritesAreKeptInOrderAndBadRequestsGetExceptions) {
    SimDrive drive(1, SimDriveModel::First);
    EXPECT_EQ(drive.answer({1, 0x06, 0x0B, 0xC1, 0, 3}), (SimBytes{1, 0x06, 0x0B, 0xC1, 0, 3}));
    EXPECT_EQ(drive.answer({1, 0x10, 0x0B, 0xCB, 0, 2, 4, 0, 1, 0x86, 0xA0}),
              (SimBytes{1, 0x10, 0x0B, 0xCB, 0, 2}));
    ASSERT_EQ(drive.writes().size(), 2u);
    EXPECT_EQ(drive.writes()[1].values, (std::vector<uint16_t>{1, 0x86A0}));
    EXPECT_EQ(drive.parameter(0x0BCC), 0x86A0);

    EXPECT_EQ(drive.answer(read(1, 0x1234, 1)), (SimBytes{1, 0x83, 2}));
    EXPECT_EQ(drive.answer({1, 0x04, 0, 0, 0, 1}), (SimBytes{1, 0x84, 1}));
    EXPECT_EQ(drive.answer({1, 0x10, 0, 0, 0, 2, 3, 0}), (SimBytes{1, 0x90, 3}));
    drive.setSilent(true);
    EXPECT_TRUE(drive.answer(read(1, 0x3F01, 1)).empty());
}

class SimDriveBusTest : public SimDriveTest {
protected:
    SimDriveBusTest() {
        EXPECT_TRUE(EPoller::init());
        bus = std::make_unique<SimDriveBus>(line().farEnd());
        bus->addDrive(1, SimDriveModel::First, "/sys/class/gpio/pioA16/value");
        daemonEnd = ::open(board.path("/dev/ttyS2").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    }
    ~SimDriveBusTest() override {
        ::close(daemonEnd);
        bus.reset();
        EPoller::shutdown();
    }
    platform::SimSerialLine& line() { return *board.platform().serialLine("/dev/ttyS2"); }
    // Sends a frame from the daemon's side and returns everything that comes back.
    SimBytes exchange(const SimBytes& bytes) {
        SerialPeer daemon(daemonEnd);
        EXPECT_TRUE(daemon.send(bytes));
        pumpUntil([&] { return bus->bytesReceived() >= received + bytes.size(); });
        received = bus->bytesReceived();
        return daemon.receive(500);
    }

    std::unique_ptr<SimDriveBus> bus;
    int daemonEnd = -1;
    uint64_t received = 0;
};

TEST_F(SimDriveBusTest, EveryFrameIsEchoedAndTheAddressedDriveAnswersInTheSameBurst) {
    SimBytes request = rtuFrame(read(1, 0x4005, 1).data(), 6);
    SimBytes answer = rtuFrame(SimBytes{1, 0x03, 2, 0, 30}.data(), 5);
    SimBytes expected = request;
    expected.insert(expected.end(), answer.begin(), answer.end());
    EXPECT_EQ(exchange(request), expected);

    // Another address: only the echo.
    SimBytes other = rtuFrame(read(9, 0x4005, 1).data(), 6);
    EXPECT_EQ(exchange(other), other);
    EXPECT_EQ(bus->framesReceived(), 2u);
}

TEST_F(SimDriveBusTest, BadFramesAreDroppedAndTheBusResynchronises) {
    SimBytes corrupted = rtuFrame(read(1, 0x4005, 1).data(), 6);
    corrupted.back() ^= 0xFF;
    EXPECT_EQ(exchange(corrupted), corrupted);
    EXPECT_EQ(exchange({0x01, 0x55, 0x00}), (SimBytes{0x01, 0x55, 0x00}));
    EXPECT_EQ(bus->badFrames(), 2u);
    SimBytes request = rtuFrame(read(1, 0x4005, 1).data(), 6);
    EXPECT_GT(exchange(request).size(), request.size());
}

TEST_F(SimDriveBusTest, ARaisedResetLineHoldsTheDriveSilentAndClearsItsTrip) {
    bus->drive(1)->setFault(SimDriveFault::OverCurrent, true);
    // The sandbox's GPIO value file, as the board exports it.
    writeFile(board.path("/sys/class/gpio/pioA16/value"), "0\n");
    ASSERT_EQ(writeSysfsFile("/sys/class/gpio/pioA16/value", "255\n"), 0);
    SimBytes request = rtuFrame(read(1, 0x420D, 2).data(), 6);
    EXPECT_EQ(exchange(request), request);
    EXPECT_FALSE(bus->drive(1)->hasFault(SimDriveFault::OverCurrent));
    ASSERT_EQ(writeSysfsFile("/sys/class/gpio/pioA16/value", "0\n"), 0);
    EXPECT_GT(exchange(request).size(), request.size());
}

TEST_F(SimDriveBusTest, TheResetLineIsRememberedAsWrittenNotReadBackPerFrame) {
    // Before the daemon writes the line, the file's value counts, read once.
    writeFile(board.path("/sys/class/gpio/pioA16/value"), "255\n");
    SimBytes request = rtuFrame(read(1, 0x420D, 2).data(), 6);
    EXPECT_EQ(exchange(request), request);
    writeFile(board.path("/sys/class/gpio/pioA16/value"), "0\n");
    EXPECT_EQ(exchange(request), request);
    // The daemon's writes count from then on, as they happen.
    SysfsValueFile line;
    ASSERT_EQ(line.open("/sys/class/gpio/pioA16/value"), 0);
    line.write("0\n");
    EXPECT_GT(exchange(request).size(), request.size());
    line.write("255\n");
    EXPECT_EQ(exchange(request), request);
    EXPECT_EQ(board.platform().attributeValue("/sys/class/gpio/pioA16/value")->c_str(), std::string("255\n"));
}

} // namespace
