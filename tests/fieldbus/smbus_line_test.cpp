// The drive bus master on a real pty, with the test playing the drive on the far end.

#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "fieldbus/smbus.h"
#include "tests/fieldbus/master_outcomes.h"
#include "tests/support/event_pump.h"
#include "tests/support/serial_peer.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

Bytes joined(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class SMBusLineTest : public ::testing::Test {
protected:
    SMBusLineTest() {
        EXPECT_TRUE(EPoller::init());
        gTimers = &timers;
        bus = std::make_unique<SMBus>();
        bus->setDevice("/dev/ttyS2");
        bus->setRtu(true);
        bus->setBaudrate(9600);
        bus->setDataBits(8);
        bus->setStopBits(2);
        EXPECT_TRUE(bus->open());
    }
    ~SMBusLineTest() override {
        bus.reset();
        gTimers = nullptr;
        EPoller::shutdown();
    }

    platform::SimSerialLine& line() { return *board.platform().serialLine("/dev/ttyS2"); }
    SerialPeer drive() { return SerialPeer(line().farEnd()); }
    uint32_t total(BusCounter counter) const { return bus->statistics().total(counter); }

    void request(const Bytes& pdu) {
        ASSERT_TRUE(bus->request(pdu.data(), static_cast<int>(pdu.size()), &Outcomes::record, &outcomes));
    }
    // Lets the gap pass and returns what the drive received.
    Bytes requestOnTheLine() {
        runFor(board, 6);
        return drive().receive();
    }
    // The drive sends bytes; they are read, and then the line stays silent for the frame end.
    void driveSends(const Bytes& bytes) {
        size_t before = bus->bufferedInput();
        ASSERT_TRUE(drive().send(bytes));
        ASSERT_TRUE(pumpUntil([&] { return bus->bufferedInput() >= before + bytes.size(); }));
    }
    void frameEnds() { runFor(board, 51); }

    TestBoard board;
    TimerQueue timers;
    std::unique_ptr<SMBus> bus;
    Outcomes outcomes;
};

TEST_F(SMBusLineTest, AnAnsweredRequestIsDeliveredWithoutItsCrc) {
    request(kReadTwo);
    EXPECT_EQ(requestOnTheLine(), withCrc(kReadTwo));
    EXPECT_EQ(total(BusCounter::kTx), 1u);

    driveSends(withCrc(kReadTwoAnswer));
    runFor(board, 50);
    EXPECT_TRUE(outcomes.results.empty()); // the frame has not ended yet
    runFor(board, 1);

    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0], std::make_pair(0, kReadTwoAnswer));
    EXPECT_EQ(bus->queuedRequests(), 0u);
    EXPECT_EQ(bus->statistics().forAddress(BusCounter::kTx, 1), 1u);
}

TEST_F(SMBusLineTest, NoAnswerWithNoRetriesIsStatusOneAfterOneTimeout) {
    request(kReadTwo);
    EXPECT_FALSE(requestOnTheLine().empty());
    runFor(board, 200);
    EXPECT_TRUE(outcomes.results.empty());
    runFor(board, 1);

    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].first, 1);
    EXPECT_TRUE(outcomes.results[0].second.empty());
    EXPECT_EQ(total(BusCounter::kTimeout), 1u);
    EXPECT_EQ(total(BusCounter::kRetry), 0u);
    EXPECT_EQ(bus->statistics().forAddress(BusCounter::kTimeout, 1), 1u);
    EXPECT_TRUE(drive().silent());
}

TEST_F(SMBusLineTest, EchoAndAnswerInOneReadAreSplitAndTheAnswerProcessedAtOnce) {
    request(kReadTwo);
    Bytes sent = requestOnTheLine();

    driveSends(joined(sent, withCrc(kReadTwoAnswer)));
    frameEnds();

    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0], std::make_pair(0, kReadTwoAnswer));
    EXPECT_TRUE(board.logLinesWith(LOG_ERR, "haven't seen echo").empty());
}

TEST_F(SMBusLineTest, AnswerFromAnotherAddressLeavesTheRequestPendingUntilItsTimeout) {
    request(kReadTwo);
    requestOnTheLine();
    driveSends(withCrc({0x07, 0x03, 0x04, 0x00, 0x01, 0x00, 0x0A}));
    frameEnds();

    EXPECT_TRUE(outcomes.results.empty());
    EXPECT_EQ(
        board
            .logLinesWith(LOG_WARNING, "SMBus::rtu_rx_timeout(): received mesage from address 7 (expected 1)")
            .size(),
        1u);
    runFor(board, 150);
    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].first, 1);
}

TEST_F(SMBusLineTest, BadCrcIsCountedAndTheRequestStaysPending) {
    request(kReadTwo);
    requestOnTheLine();
    Bytes damaged = withCrc(kReadTwoAnswer);
    damaged.back() ^= 0xFF;
    driveSends(damaged);
    frameEnds();

    EXPECT_TRUE(outcomes.results.empty());
    EXPECT_EQ(total(BusCounter::kBadCrc), 1u);
    EXPECT_EQ(bus->statistics().forAddress(BusCounter::kBadCrc, 1), 1u);

    driveSends(withCrc(kReadTwoAnswer)); // a good answer still counts
    frameEnds();
    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].first, 0);
}

TEST_F(SMBusLineTest, ExceptionAnswerCompletesWithStatusZeroAndLogsItsCode) {
    const Bytes writeOne = {0x01, 0x06, 0x20, 0x00, 0x00, 0x11};
    request(writeOne);
    requestOnTheLine();
    driveSends(withCrc({0x01, 0x86, 0x02}));
    frameEnds();

    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0], std::make_pair(0, Bytes{0x01, 0x86, 0x02}));
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "SMBus::rtu_rx_timeout(): operation 06: error 2").size(), 1u);
}

TEST_F(SMBusLineTest, ThreeBytesCountShortEvenWithNoRequestPending) {
    driveSends({0x01, 0x03, 0x00});
    frameEnds();
    EXPECT_EQ(total(BusCounter::kShort), 1u);
    for (int address = 0; address < 256; ++address)
        EXPECT_EQ(bus->statistics().forAddress(BusCounter::kShort, static_cast<uint8_t>(address)), 0u);
}

TEST_F(SMBusLineTest, GapBeforeSendingIsFourCharacterTimesPlusOneMillisecond) {
    struct Case {
        int baud;
        uint32_t gapMs;
    };
    for (Case speed : {Case{9600, 5}, Case{115200, 1}}) {
        bus->setBaudrate(speed.baud);
        request(kReadTwo);
        runFor(board, speed.gapMs); // a timer fires once its delay has passed
        EXPECT_TRUE(drive().silent()) << speed.baud;
        runFor(board, 1);
        EXPECT_EQ(drive().receive(), withCrc(kReadTwo)) << speed.baud;
        runFor(board, 201);
    }
    EXPECT_EQ(outcomes.results.size(), 2u);
}

TEST_F(SMBusLineTest, HungUpPortIsReopenedAndTheRequestSentAgainFromTheStart) {
    request(kReadTwo);
    requestOnTheLine();

    ASSERT_EQ(line().hangUp(), 0);
    ASSERT_TRUE(pumpUntil([&] { return total(BusCounter::kIoError) == 1; }));

    EXPECT_EQ(board.logLinesWith(LOG_ERR, "/dev/ttyS2: i/o error, trying to reopen").size(), 1u);
    EXPECT_EQ(bus->statistics().forAddress(BusCounter::kIoError, 1), 1u);
    EXPECT_TRUE(bus->isOpen());
    EXPECT_EQ(requestOnTheLine(), withCrc(kReadTwo));
    driveSends(withCrc(kReadTwoAnswer));
    frameEnds();
    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].first, 0);
    EXPECT_EQ(total(BusCounter::kRetry), 0u);
    EXPECT_EQ(total(BusCounter::kTx), 2u);
}

TEST_F(SMBusLineTest, PortThatCannotBeReopenedTimesOutAndTheNextRequestOpensItAgain) {
    request(kReadTwo);
    requestOnTheLine();
    ASSERT_EQ(line().hangUp(), 0);
    ASSERT_EQ(::unlink(board.path("/dev/ttyS2").c_str()), 0);
    ASSERT_TRUE(pumpUntil([&] { return total(BusCounter::kIoError) == 1; }));
    EXPECT_FALSE(bus->isOpen());
    EXPECT_EQ(
        board.logLinesWith(LOG_ERR, "cannot open serial device /dev/ttyS2: No such file or directory").size(),
        1u);

    runFor(board, 6 + 201);
    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].first, 1);

    ASSERT_EQ(::symlink(line().ptyPath().c_str(), board.path("/dev/ttyS2").c_str()), 0);
    request(kReadTwo);
    EXPECT_TRUE(bus->isOpen());
    EXPECT_EQ(requestOnTheLine(), withCrc(kReadTwo));
}

TEST_F(SMBusLineTest, ContinuousByteStreamIsCappedAndDiscardedAtItsEnd) {
    bus->setTimeout(2000);
    request(kReadTwo);
    requestOnTheLine();
    const Bytes noise(200, 0x55);
    for (size_t chunk = 1; chunk <= 50; ++chunk) { // 10 kB, never 50 ms apart
        ASSERT_TRUE(drive().send(noise));
        ASSERT_TRUE(pumpUntil([&] { return bus->burstLength() == chunk * noise.size(); }));
        ASSERT_LE(bus->bufferedInput(), SMBus::kReceiveCapacity);
        runFor(board, 10);
    }
    EXPECT_EQ(bus->bufferedInput(), SMBus::kReceiveCapacity);
    frameEnds();

    EXPECT_EQ(bus->bufferedInput(), 0u);
    EXPECT_EQ(bus->overlongBursts(), 1u);
    EXPECT_EQ(
        board.logLinesWith(LOG_WARNING, "/dev/ttyS2: discarded 10000 received bytes without a pause").size(),
        1u);
    EXPECT_EQ(total(BusCounter::kBadCrc), 0u);
    EXPECT_TRUE(outcomes.results.empty());

    driveSends(withCrc(kReadTwoAnswer)); // the line is usable again at once
    frameEnds();
    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].first, 0);
}

TEST_F(SMBusLineTest, AsciiRoundTripWithLrc) {
    bus->setRtu(false);
    request(kReadTwo);
    pumpEvents(0);
    const std::string sent = ":010300000002FA\r\n";
    EXPECT_EQ(drive().receive(), Bytes(sent.begin(), sent.end()));

    const std::string answer = ":0103040001000AED\r\n";
    driveSends(Bytes(answer.begin(), answer.end() - 2));
    EXPECT_TRUE(outcomes.results.empty());
    ASSERT_TRUE(drive().send(std::string("\r\n")));
    ASSERT_TRUE(pumpUntil([&] { return !outcomes.results.empty(); }));

    EXPECT_EQ(outcomes.results[0], std::make_pair(0, Bytes{0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x0A, 0xED}));
    EXPECT_EQ(total(BusCounter::kTx), 1u);
}

TEST_F(SMBusLineTest, DestroyingTheMasterClosesThePortAndCallsNoCallback) {
    request(kReadTwo);
    request(kReadTwo);
    bus.reset();
    EXPECT_EQ(timers.size(), 0u);
    runFor(board, 500);
    EXPECT_TRUE(outcomes.results.empty());
}

} // namespace
