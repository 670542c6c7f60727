// The SCADA slave on its serial line, a real pty, with the test playing the SCADA master.

#include "fieldbus/rtu_framing.h"
#include "tests/fieldbus/slave_fixture.h"
#include "tests/support/event_pump.h"
#include "tests/support/serial_peer.h"

namespace {

Bytes framed(const Bytes& pdu) {
    return rtuFrame(pdu.data(), pdu.size());
}

class SlaveSerialLine : public SlaveFixture {
protected:
    SlaveSerialLine() {
        slave.setDevice("/dev/ttyS1");
        slave.setBaudrate(9600);
        slave.setDataBits(8);
        slave.setStopBits(2);
        EXPECT_TRUE(slave.open());
    }

    platform::SimSerialLine& line() { return *board.platform().serialLine("/dev/ttyS1"); }
    SerialPeer scada() { return SerialPeer(line().farEnd()); }
    uint32_t total(BusCounter counter) const { return slave.total(counter); }

    // The master sends a burst; it is read, the line stays silent for the frame end, and whatever the
    // slave answers is returned.
    Bytes exchange(const Bytes& burst) {
        size_t before = slave.bufferedInput();
        EXPECT_TRUE(scada().send(burst));
        EXPECT_TRUE(pumpUntil([&] { return slave.bufferedInput() >= before + burst.size(); }));
        runFor(board, 51);
        pumpEvents(20);
        return scada().receive(50);
    }
};

TEST_F(SlaveSerialLine, ARequestIsAnsweredWithItsCrcAfterTheFrameEnds) {
    Bytes request = framed(pdu(3, {256, 2}));
    ASSERT_TRUE(scada().send(request));
    ASSERT_TRUE(pumpUntil([&] { return slave.bufferedInput() == request.size(); }));
    runFor(board, 49);
    EXPECT_TRUE(scada().silent(20)); // the frame has not ended yet
    runFor(board, 2);
    pumpEvents(20);

    EXPECT_EQ(scada().receive(), framed({52, 3, 4, 0, 52, 0, 1}));
    EXPECT_EQ(total(BusCounter::kTx), 1u);
}

TEST_F(SlaveSerialLine, FramesForAnotherAddressAreIgnoredWithoutCounting) {
    EXPECT_TRUE(exchange(framed(pdu(3, {256, 1}, 7))).empty());
    config->modbusAddress.set(7);
    EXPECT_FALSE(exchange(framed(pdu(3, {256, 1}, 7))).empty());
    for (BusCounter counter : {BusCounter::kIoError, BusCounter::kBadCrc, BusCounter::kShort})
        EXPECT_EQ(total(counter), 0u);
    EXPECT_EQ(total(BusCounter::kTx), 1u);
}

TEST_F(SlaveSerialLine, CorruptAndShortFramesAreCountedAndDropped) {
    Bytes corrupt = framed(pdu(3, {256, 1}));
    corrupt.back() ^= 0x01;
    EXPECT_TRUE(exchange(corrupt).empty());
    EXPECT_EQ(total(BusCounter::kBadCrc), 1u);
    EXPECT_TRUE(exchange({52, 3, 0}).empty());
    EXPECT_EQ(total(BusCounter::kShort), 1u);
    EXPECT_EQ(total(BusCounter::kTx), 0u);
}

TEST_F(SlaveSerialLine, ItsOwnResponseHeardBackIsDropped) {
    Bytes response = exchange(framed(pdu(3, {257, 1})));
    ASSERT_EQ(response, framed({52, 3, 2, 0, 1}));
    // The transceiver's echo: ignored once, then the same bytes are a frame like any other.
    EXPECT_TRUE(exchange(response).empty());
    EXPECT_EQ(exchange(framed(pdu(3, {257, 1}))), response);
    EXPECT_EQ(total(BusCounter::kBadCrc), 0u);
}

TEST_F(SlaveSerialLine, ARepeatedWriteIsServedWhenTheLineDoesNotEcho) {
    Bytes write = framed(pdu(6, {259, 200}));
    ASSERT_EQ(exchange(write), write);
    config->nSwings.set(4.0f); // another master
    // The master repeats its write a while later: no echo could begin that late, so it is a request.
    runFor(board, 100);
    EXPECT_EQ(exchange(write), write);
    EXPECT_FLOAT_EQ(config->nSwings.value, 2.0f);
}

TEST_F(SlaveSerialLine, AnEchoFollowedAtOnceByARequestLeavesTheRequest) {
    Bytes write = framed(pdu(6, {259, 200}));
    ASSERT_EQ(exchange(write), write);
    config->nSwings.set(4.0f);
    Bytes read = framed(pdu(3, {259, 1}));
    // The echo and the next request without the pause that would end a frame.
    Bytes burst = write;
    burst.insert(burst.end(), read.begin(), read.end());
    EXPECT_EQ(exchange(burst), framed({52, 3, 2, 0x01, 0x90}));
    EXPECT_FLOAT_EQ(config->nSwings.value, 4.0f); // the echo was not executed again
    EXPECT_EQ(total(BusCounter::kBadCrc), 0u);
}

TEST_F(SlaveSerialLine, AnswersForALineThatDoesNotDrainAreCapped) {
    // Reads of 127 registers (259-byte answers) keep coming while nobody takes the answers off the line.
    Bytes request = framed(pdu(3, {0, 127}));
    for (int i = 0; i < 600; ++i) {
        scada().send(request);
        // Read, unless the slave holds so much that it reads no more.
        pumpUntil([&] {
            return slave.bufferedInput() > 0 || slave.pendingOutput() >= SMBusSlave::kMaxPendingOutput;
        });
        runFor(board, 51);
        ASSERT_LE(slave.pendingOutput(), SMBusSlave::kMaxPendingOutput + 259);
    }
    EXPECT_GE(slave.pendingOutput(), SMBusSlave::kMaxPendingOutput);
}

TEST_F(SlaveSerialLine, ABroadcastWriteChangesTheSettingSilently) {
    EXPECT_TRUE(exchange(framed(pdu(6, {257, 0}, 0))).empty());
    EXPECT_EQ(config->stopDrive.current, 0);
    EXPECT_EQ(total(BusCounter::kTx), 0u);
}

TEST_F(SlaveSerialLine, TheLongestRequestOfTheMapIsServed) {
    // Function 16 with 127 registers: 263 bytes with its CRC, beyond the 256 of a standard frame.
    std::vector<uint16_t> name(127, 0x4142);
    Bytes request = pdu(16, {0, 127});
    request.push_back(254);
    for (uint16_t word : name) {
        request.push_back(static_cast<uint8_t>(word >> 8));
        request.push_back(static_cast<uint8_t>(word & 0xFF));
    }
    EXPECT_EQ(exchange(framed(request)), framed(pdu(16, {0, 127})));
    EXPECT_EQ(config->wellName.value.size(), 254u);
}

TEST_F(SlaveSerialLine, AHangUpIsCountedAndTheLineReopened) {
    line().hangUp();
    ASSERT_TRUE(pumpUntil([&] { return total(BusCounter::kIoError) >= 1; }));
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "/dev/ttyS1: i/o error, trying to reopen").size(), 1u);
    EXPECT_TRUE(slave.isOpen());
    EXPECT_EQ(exchange(framed(pdu(3, {257, 1}))), framed({52, 3, 2, 0, 1}));
}

} // namespace
