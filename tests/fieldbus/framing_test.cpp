#include "core/registry.h"
#include "core/timer_queue.h"
#include "fieldbus/ascii_framing.h"
#include "fieldbus/modbus_crc.h"
#include "fieldbus/modbus_lrc.h"
#include "fieldbus/rtu_framing.h"
#include "fieldbus/rtu_receiver.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

Bytes text(const std::string& characters) {
    return Bytes(characters.begin(), characters.end());
}

TEST(ModbusCrc, MatchesTheStandardCheckValueAndAKnownRequest) {
    const std::string check = "123456789";
    EXPECT_EQ(modbusCrc16(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x4B37);
    const uint8_t readTen[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
    EXPECT_EQ(modbusCrc16(readTen, sizeof readTen), 0xCDC5);
    EXPECT_EQ(modbusCrc16(nullptr, 0), 0xFFFF);
}

TEST(RtuFraming, CrcFollowsThePduLowByteFirstAndIsCheckedOnReceipt) {
    const uint8_t readTen[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
    Bytes frame = rtuFrame(readTen, sizeof readTen);
    EXPECT_EQ(frame, (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_TRUE(rtuCrcOf(frame).matches());

    frame[3] ^= 0x01;
    RtuCrc damaged = rtuCrcOf(frame);
    EXPECT_FALSE(damaged.matches());
    EXPECT_EQ(damaged.received, 0xCDC5);
}

TEST(ModbusLrc, IsTheTwosComplementOfTheByteSum) {
    const uint8_t readTwo[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02};
    EXPECT_EQ(modbusLrc(readTwo, sizeof readTwo), 0xFA);
    const uint8_t wraps[] = {0xFF, 0x02};
    EXPECT_EQ(modbusLrc(wraps, sizeof wraps), 0xFF);
    EXPECT_EQ(modbusLrc(nullptr, 0), 0x00);
}

TEST(AsciiFraming, FrameIsUpperCaseHexWithItsLrcAndDecodingTakesEitherCase) {
    const uint8_t readTwo[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02};
    EXPECT_EQ(asciiFrame(readTwo, sizeof readTwo), text("010300000002FA"));
    const uint8_t high[] = {0xAB, 0xCD};
    EXPECT_EQ(asciiFrame(high, sizeof high), text("ABCD88"));
    EXPECT_EQ(asciiFrame(nullptr, 0), text("00"));

    Bytes decoded;
    EXPECT_TRUE(decodeHexPairs("abCD0f", decoded));
    EXPECT_EQ(decoded, (Bytes{0xAB, 0xCD, 0x0F}));
    EXPECT_FALSE(decodeHexPairs("01G3", decoded));
}

class AsciiSplitterTest : public ::testing::Test {
protected:
    void feed(const std::string& bytes) {
        splitter.append(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }

    TestBoard board;
    std::vector<std::string> messages;
    AsciiMessageSplitter splitter{[this](const std::string& message) { messages.push_back(message); }};
};

TEST_F(AsciiSplitterTest, MessagesAreTheTextBetweenColonAndLineEndAcrossReads) {
    feed("noise:0103");
    EXPECT_TRUE(messages.empty());
    feed("02\r");
    feed("\n");
    EXPECT_EQ(messages, std::vector<std::string>{"010302"});
    EXPECT_EQ(splitter.pending(), 0u);
}

TEST_F(AsciiSplitterTest, EchoAndAnswerInOneReadAreBothHandedOn) {
    feed(":010300000002FA\r\n:0103040001000AED\r\n");
    EXPECT_EQ(messages, (std::vector<std::string>{"010300000002FA", "0103040001000AED"}));
}

TEST_F(AsciiSplitterTest, BytesWithoutAStartAreDroppedAndAnEndlessMessageIsGivenUp) {
    feed("0103040001000AED\r\n");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(splitter.pending(), 0u);

    feed(":" + std::string(AsciiMessageSplitter::kMaxPending - 1, 'A'));
    EXPECT_EQ(splitter.pending(), AsciiMessageSplitter::kMaxPending);
    EXPECT_TRUE(board.logLinesWith(LOG_WARNING, "message too long").empty());
    feed("AB");
    EXPECT_EQ(splitter.pending(), 0u);
    ASSERT_EQ(board.logLinesWith(LOG_WARNING, "message too long").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "message too long")[0].rfind("smbus:", 0), 0u);
    EXPECT_TRUE(messages.empty());
}

// The warning names the line by the port's current name.
TEST(RtuReceiver, SilenceEndsFramesAndAnOverlongBurstIsDiscardedNamingItsLine) {
    TestBoard board;
    TimerQueue timers;
    gTimers = &timers;
    std::vector<Bytes> frames;
    std::string device = "/dev/ttyS0";
    RtuReceiver receiver(device, 4, [&](Bytes frame) { frames.push_back(frame); });
    const uint8_t first[] = {1, 2, 3};
    const uint8_t overlong[] = {1, 2, 3, 4, 5, 6};
    receiver.append(first, 2);
    board.clock().advanceMs(RtuReceiver::kFrameEndMs - 1);
    timers.runDue();
    receiver.append(first + 2, 1);
    board.clock().advanceMs(RtuReceiver::kFrameEndMs + 1);
    timers.runDue();
    device = "/dev/ttyS1";
    receiver.append(overlong, sizeof overlong);
    EXPECT_EQ(receiver.buffered(), 4u);
    board.clock().advanceMs(RtuReceiver::kFrameEndMs + 1);
    timers.runDue();
    gTimers = nullptr;

    EXPECT_EQ(frames, (std::vector<Bytes>{Bytes{1, 2, 3}}));
    EXPECT_EQ(receiver.overlongBursts(), 1u);
    EXPECT_EQ(receiver.buffered(), 0u);
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "/dev/ttyS1: discarded 6 received bytes").size(), 1u);
}

} // namespace
