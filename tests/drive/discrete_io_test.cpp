// The discrete I/O chain on the simulated SPI, on the virtual clock.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/discrete_io.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

class Recorder : public DiscreteInputListener {
public:
    void inputChanged(int n, bool state) override { changes.emplace_back(n, state); }
    void discreteIoStarted() override { ++starts; }

    std::vector<std::pair<int, bool>> changes;
    int starts = 0;
};

bool bitOf(uint64_t bits, int n) {
    return (bits >> n) & 1;
}

class DiscreteIOTest : public ::testing::Test {
protected:
    DiscreteIOTest() { gTimers = &timers; }
    ~DiscreteIOTest() override {
        io.reset();
        gTimers = nullptr;
    }

    platform::SimSpi& spi() { return board.platform().simSpi(); }
    void setInput(int n, bool level) { spi().fixedInputs().setInput(n, level); }
    void create() { io = std::make_unique<DiscreteIO>(&recorder); }
    // Creates the I/O and lets its first exchange (25 ms after construction) pass.
    void start() {
        create();
        runFor(board, 26);
        ASSERT_TRUE(io->started());
    }
    uint64_t lastFrame() { return spi().outputFrames().back().bits; }

    TestBoard board;
    TimerQueue timers;
    Recorder recorder;
    std::unique_ptr<DiscreteIO> io;
};

TEST_F(DiscreteIOTest, FirstExchangeEnablesTheOutputsAndReportsNoChangesEvenWithKeysHeld) {
    setInput(33, true);
    setInput(36, true);
    create();
    runFor(board, 25);
    EXPECT_EQ(spi().chainTransfers(), 0u);
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA13/value")), "");

    runFor(board, 1);
    EXPECT_EQ(spi().chainTransfers(), 1u);
    EXPECT_EQ(recorder.starts, 1);
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA13/direction")), "out\n");
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA13/value")), "0\n");
    EXPECT_TRUE(io->isInputOn(33));
    EXPECT_TRUE(io->isInputOn(36));

    runFor(board, 200);
    EXPECT_TRUE(recorder.changes.empty());
    EXPECT_EQ(recorder.starts, 1);
    EXPECT_EQ(spi().outputFrames()[0].bits, 0xFFF1007F00ull); // every output logically off
}

TEST_F(DiscreteIOTest, OneSampleGlitchGivesNoEventAndTwoSamplesGiveExactlyOne) {
    start();
    setInput(5, true);
    runFor(board, 11); // one exchange sees it
    setInput(5, false);
    runFor(board, 100);
    EXPECT_TRUE(recorder.changes.empty());

    setInput(5, true);
    runFor(board, 11);
    EXPECT_TRUE(recorder.changes.empty());
    runFor(board, 11);
    EXPECT_EQ(recorder.changes, (std::vector<std::pair<int, bool>>{{5, true}}));
    runFor(board, 100);
    EXPECT_EQ(recorder.changes.size(), 1u);
    EXPECT_TRUE(io->isInputOn(5));

    setInput(5, false);
    runFor(board, 100);
    EXPECT_EQ(recorder.changes.back(), std::make_pair(5, false));
    EXPECT_EQ(recorder.changes.size(), 2u);
}

TEST_F(DiscreteIOTest, ChangesOfOneExchangeAreReportedInInputOrderWithAllLevelsInPlace) {
    start();
    bool partnerSeen = false;
    struct PairReader : Recorder {
        DiscreteIO* io = nullptr;
        bool* partnerSeen = nullptr;
        void inputChanged(int n, bool state) override {
            Recorder::inputChanged(n, state);
            if (n == 1)
                *partnerSeen = io->isInputOn(20);
        }
    } reader;
    reader.io = io.get();
    reader.partnerSeen = &partnerSeen;
    io->setListener(&reader);

    setInput(20, true);
    setInput(1, true);
    setInput(8, true); // unused inputs are always 0
    setInput(19, true);
    setInput(23, true);
    runFor(board, 50);

    EXPECT_EQ(reader.changes, (std::vector<std::pair<int, bool>>{{1, true}, {20, true}}));
    EXPECT_TRUE(partnerSeen);
    EXPECT_EQ(io->inputs(), (uint64_t{1} << 1) | (uint64_t{1} << 20));
}

TEST_F(DiscreteIOTest, ValveOutputSwitchesItsLampAndIsOnIsLogical) {
    start();
    io->setOutput(22, true);
    EXPECT_TRUE(io->isOutputOn(22));
    EXPECT_TRUE(io->isOutputOn(37));
    EXPECT_FALSE(io->isOutputOn(39));
    runFor(board, 11);
    EXPECT_TRUE(bitOf(lastFrame(), 22));  // a plain line: on is high
    EXPECT_FALSE(bitOf(lastFrame(), 37)); // an inverted line: on is low

    io->setOutput(23, true);
    io->setOutput(22, false);
    EXPECT_TRUE(io->isOutputOn(39));
    EXPECT_FALSE(io->isOutputOn(37));
    io->setOutput(10, true);
    EXPECT_TRUE(io->isOutputOn(10));
    runFor(board, 11);
    EXPECT_FALSE(bitOf(lastFrame(), 10));
    EXPECT_FALSE(bitOf(lastFrame(), 39));
    EXPECT_TRUE(bitOf(lastFrame(), 37));

    io->setOutput(40, true);
    io->setOutput(-1, true);
    EXPECT_FALSE(io->isOutputOn(40));
}

TEST_F(DiscreteIOTest, FastBlinkingOutputIsPhysicallyOffForTheFirst100MsOfEvery200) {
    start();
    io->setOutput(2, true);
    io->setFastBlink(2, true);
    size_t before = spi().outputFrames().size();
    runFor(board, 400);

    int offFrames = 0;
    for (size_t i = before; i < spi().outputFrames().size(); ++i) {
        const platform::SimSpiOutputFrame& frame = spi().outputFrames()[i];
        EXPECT_EQ(bitOf(frame.bits, 2), frame.atMs % 200 >= 100) << frame.atMs;
        offFrames += !bitOf(frame.bits, 2);
    }
    EXPECT_GT(offFrames, 10);
    EXPECT_LT(offFrames, 26);
    EXPECT_TRUE(io->isOutputOn(2)); // the pattern never touches the logical state
}

TEST_F(DiscreteIOTest, SlowBlinkAndBlankFollowTheirPeriods) {
    start();
    io->setSlowBlink(3, true); // logically off: lit during the first 100 ms of every 900
    io->setOutput(30, true);   // an inverted line in the blanked range
    io->setOutput(4, true);    // outside it
    io->setBlank(true);
    size_t before = spi().outputFrames().size();
    runFor(board, 2000);

    for (size_t i = before; i < spi().outputFrames().size(); ++i) {
        const platform::SimSpiOutputFrame& frame = spi().outputFrames()[i];
        EXPECT_EQ(bitOf(frame.bits, 3), frame.atMs % 900 <= 99) << frame.atMs;
        EXPECT_EQ(bitOf(frame.bits, 30), frame.atMs % 1000 < 500) << frame.atMs; // high is off
        EXPECT_TRUE(bitOf(frame.bits, 4));
    }
    io->setBlank(false);
    runFor(board, 1000);
    for (size_t i = spi().outputFrames().size() - 80; i < spi().outputFrames().size(); ++i)
        EXPECT_FALSE(bitOf(spi().outputFrames()[i].bits, 30));
}

TEST_F(DiscreteIOTest, MissingChainIsLoggedOnceAndNeverPowersTheOutputs) {
    ASSERT_EQ(::unlink(board.path("/dev/spidev32766.0").c_str()), 0);
    create();
    runFor(board, 500);
    EXPECT_FALSE(io->started());
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "discreteio:").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "cannot open /dev/spidev32766.0: No such file or directory").size(),
              1u);
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA13/value")), "");
    EXPECT_EQ(timers.size(), 1u); // the exchange timer keeps running
}

TEST_F(DiscreteIOTest, TransferErrorsAreLoggedEveryExchangeUntilTheChainAnswers) {
    spi().setTransferError(EIO);
    create();
    runFor(board, 26 + 10 * 10);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "/dev/spidev32766.0: transfer error: Input/output error").size(),
              11u);
    EXPECT_FALSE(io->started());

    spi().setTransferError(0);
    runFor(board, 11);
    EXPECT_TRUE(io->started());
    EXPECT_EQ(recorder.starts, 1);
}

TEST_F(DiscreteIOTest, DestructionSwitchesTheOutputsOffAndLogsAMissingLine) {
    start();
    io.reset();
    EXPECT_EQ(readFile(board.path("/sys/class/gpio/pioA13/value")), "255\n");
    EXPECT_EQ(timers.size(), 0u);

    start();
    ASSERT_EQ(::unlink(board.path("/sys/class/gpio/pioA13/value").c_str()), 0);
    io.reset();
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "cannot open /sys/class/gpio/pioA13/value: No such file or directory")
            .size(),
        1u);
}

TEST_F(DiscreteIOTest, ConverterReadsTwelveBitsOfAChannelOrMinusOne) {
    create();
    // A missing stand-in is checked again at every reading until it is there.
    std::string standIn = board.path("/dev/spidev32766.2");
    ASSERT_EQ(::rename(standIn.c_str(), (standIn + ".away").c_str()), 0);
    EXPECT_EQ(io->readAdc(4), -1);
    ASSERT_EQ(::rename((standIn + ".away").c_str(), standIn.c_str()), 0);
    spi().fixedInputs().setAdcCount(4, 2345);
    spi().fixedInputs().setAdcCount(7, 4095);
    EXPECT_EQ(io->readAdc(4), 2345);
    EXPECT_EQ(io->readAdc(7), 4095);
    EXPECT_EQ(io->readAdc(0), 0);
    EXPECT_EQ(io->readAdc(8), -1);

    spi().setTransferError(EIO);
    EXPECT_EQ(io->readAdc(4), -1);
    spi().setTransferError(0);

    std::vector<std::string> errors = board.logLinesWith(LOG_ERR, "spidev32766.2");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("controller:", 0), 0u);
    EXPECT_NE(errors[0].find(": cannot open /dev/spidev32766.2: No such file or directory"),
              std::string::npos);
    EXPECT_NE(errors[1].find(": /dev/spidev32766.2: transfer error: Input/output error"), std::string::npos);
}

} // namespace
