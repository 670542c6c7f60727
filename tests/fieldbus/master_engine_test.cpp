// The master's protocol without a descriptor: frames in, transmissions and callbacks out.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "fieldbus/master_engine.h"
#include "tests/fieldbus/master_outcomes.h"
#include "tests/support/event_pump.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

class FakeLine : public MasterLine {
public:
    bool isOpen() const override { return opened; }
    bool open() override {
        ++opens;
        opened = canOpen;
        return opened;
    }
    void transmit(const Bytes& bytes) override { sent.push_back(bytes); }
    int baudrate() const override { return baud; }
    const std::string& device() const override { return name; }

    bool canOpen = true;
    bool opened = false;
    int opens = 0;
    int baud = 9600;
    std::string name = "/dev/ttyS2";
    std::vector<Bytes> sent;
};

Bytes text(const std::string& characters) {
    return Bytes(characters.begin(), characters.end());
}

class MasterEngineTest : public ::testing::Test {
protected:
    MasterEngineTest() {
        gTimers = &timers;
        engine.setRtu(true);
    }
    ~MasterEngineTest() override { gTimers = nullptr; }

    void request(const Bytes& pdu, Outcomes& outcomes) {
        ASSERT_TRUE(engine.request(pdu.data(), static_cast<int>(pdu.size()), &Outcomes::record, &outcomes));
    }
    uint32_t total(BusCounter counter) const { return engine.statistics().total(counter); }

    TestBoard board;
    TimerQueue timers;
    FakeLine line;
    MasterEngine engine{line};
    Outcomes outcomes;
};

TEST_F(MasterEngineTest, RetriesAfterEachTimeoutThenGivesUpWithStatusOne) {
    engine.setMaxRetries(2);
    request(kReadTwo, outcomes);

    runFor(board, 6 + 201);
    EXPECT_EQ(line.sent.size(), 1u);
    runFor(board, 2 * (6 + 201));

    EXPECT_EQ(line.sent.size(), 3u);
    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].first, 1);
    EXPECT_TRUE(outcomes.results[0].second.empty());
    EXPECT_EQ(total(BusCounter::kTimeout), 3u);
    EXPECT_EQ(total(BusCounter::kRetry), 2u);
    EXPECT_EQ(engine.statistics().forAddress(BusCounter::kRetry, 1), 2u);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "/dev/ttyS2: haven't seen echo").size(), 3u);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "/dev/ttyS2: request timeout").size(), 3u);
    EXPECT_EQ(engine.queued(), 0u);
}

TEST_F(MasterEngineTest, RequestsWaitInArrivalOrderWithOneOnTheLine) {
    Outcomes second;
    request(kReadTwo, outcomes);
    request(Bytes{0x02, 0x03, 0x00, 0x10, 0x00, 0x01}, second);
    runFor(board, 100);
    ASSERT_EQ(line.sent.size(), 1u);

    engine.rtuFrameReceived(withCrc(kReadTwoAnswer));
    EXPECT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(line.sent.size(), 1u); // the next one waits for its gap
    runFor(board, 6);
    ASSERT_EQ(line.sent.size(), 2u);
    EXPECT_EQ(line.sent[1][0], 0x02);
    EXPECT_EQ(engine.queued(), 1u);
}

TEST_F(MasterEngineTest, ALateAnswerArrivingBeforeTheNextRequestIsSentIsNotTakenForItsAnswer) {
    Outcomes second;
    request(kReadTwo, outcomes);
    request(kReadTwo, second);
    // The first request times out; its answer comes late, while the second waits out its silence.
    runFor(board, 6 + 201);
    ASSERT_EQ(outcomes.results.size(), 1u);
    ASSERT_EQ(line.sent.size(), 1u);
    engine.rtuFrameReceived(withCrc(kReadTwoAnswer));
    EXPECT_TRUE(second.results.empty());
    // Sent, it takes the answer that follows.
    runFor(board, 6);
    ASSERT_EQ(line.sent.size(), 2u);
    engine.rtuFrameReceived(withCrc(kReadTwoAnswer));
    ASSERT_EQ(second.results.size(), 1u);
    EXPECT_EQ(second.results[0], std::make_pair(0, kReadTwoAnswer));
}

TEST_F(MasterEngineTest, EchoAloneWaitsAndTheAnswerInALaterFrameCompletes) {
    request(kReadTwo, outcomes);
    runFor(board, 6);
    engine.rtuFrameReceived(line.sent[0]);
    EXPECT_TRUE(outcomes.results.empty());

    engine.rtuFrameReceived(withCrc(kReadTwoAnswer));
    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0], std::make_pair(0, kReadTwoAnswer));
    EXPECT_EQ(total(BusCounter::kBadCrc), 0u);
}

TEST_F(MasterEngineTest, AWriteWhoseAnswerEqualsTheRequestCompletesAfterItsEcho) {
    const Bytes writeOne = {0x01, 0x06, 0x20, 0x00, 0x00, 0x11};
    request(writeOne, outcomes);
    runFor(board, 6);
    Bytes burst = line.sent[0];
    burst.insert(burst.end(), line.sent[0].begin(), line.sent[0].end());

    engine.rtuFrameReceived(burst);

    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0], std::make_pair(0, writeOne));
}

TEST_F(MasterEngineTest, AnEchoFollowedByTooFewBytesCountsShort) {
    request(kReadTwo, outcomes);
    runFor(board, 6);
    Bytes burst = line.sent[0];
    burst.insert(burst.end(), {0x01, 0x03});

    engine.rtuFrameReceived(burst);

    EXPECT_EQ(total(BusCounter::kShort), 1u);
    EXPECT_EQ(engine.statistics().forAddress(BusCounter::kShort, 1), 1u);
    EXPECT_TRUE(outcomes.results.empty());
}

TEST_F(MasterEngineTest, ForeignFunctionCodeIsLoggedAndTheRequestStaysPending) {
    request(kReadTwo, outcomes);
    runFor(board, 6);
    engine.rtuFrameReceived(withCrc({0x01, 0x04, 0x02, 0x00, 0x00}));

    EXPECT_TRUE(outcomes.results.empty());
    EXPECT_EQ(board
                  .logLinesWith(LOG_WARNING, "SMBus::rtu_rx_timeout(): received response with unexpected "
                                             "operation code 04 (expected 03)")
                  .size(),
              1u);
    runFor(board, 201);
    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].first, 1);
}

TEST_F(MasterEngineTest, ExceptionWithoutItsCodeIsDeliveredAndLogged) {
    request(kReadTwo, outcomes);
    runFor(board, 6);
    engine.rtuFrameReceived(withCrc({0x01, 0x83}));

    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0], std::make_pair(0, Bytes{0x01, 0x83}));
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "SMBus::rtu_rx_timeout(): operation 03: error").size(), 1u);
}

TEST_F(MasterEngineTest, ACallbackMayQueueTheNextRequest) {
    struct Poller {
        static void answered(int, const Bytes&, void* context) {
            auto* self = static_cast<Poller*>(context);
            ++self->answers;
            self->engine->request(kReadTwo.data(), static_cast<int>(kReadTwo.size()), &answered, self);
        }
        MasterEngine* engine;
        int answers = 0;
    } poller{&engine};
    ASSERT_TRUE(engine.request(kReadTwo.data(), 6, &Poller::answered, &poller));

    for (int round = 0; round < 3; ++round) {
        runFor(board, 6);
        engine.rtuFrameReceived(withCrc(kReadTwoAnswer));
    }

    EXPECT_EQ(poller.answers, 3);
    EXPECT_EQ(line.sent.size(), 3u);
    EXPECT_EQ(engine.queued(), 1u);
}

TEST_F(MasterEngineTest, ALineThatCannotBeOpenedRefusesTheRequest) {
    line.canOpen = false;
    EXPECT_FALSE(engine.request(kReadTwo.data(), 6, &Outcomes::record, &outcomes));
    EXPECT_EQ(line.opens, 1);
    EXPECT_EQ(engine.queued(), 0u);
    runFor(board, 300);
    EXPECT_TRUE(outcomes.results.empty());
    EXPECT_TRUE(line.sent.empty());
}

TEST_F(MasterEngineTest, CountersWithoutARequestGoToTheTotalsOnly) {
    engine.rtuFrameReceived({0x05, 0x03, 0x00});
    engine.lineFailed();
    EXPECT_EQ(total(BusCounter::kShort), 1u);
    EXPECT_EQ(total(BusCounter::kIoError), 1u);
    for (int address = 0; address < 256; ++address) {
        EXPECT_EQ(engine.statistics().forAddress(BusCounter::kShort, static_cast<uint8_t>(address)), 0u);
        EXPECT_EQ(engine.statistics().forAddress(BusCounter::kIoError, static_cast<uint8_t>(address)), 0u);
    }
    EXPECT_STREQ(busCounterName(BusCounter::kTx), "TX");
    EXPECT_STREQ(busCounterName(BusCounter::kShort), "short");
}

TEST_F(MasterEngineTest, QueuedRequestsAreDroppedWithoutCallbacksWhenTheEngineGoes) {
    {
        MasterEngine doomed(line);
        doomed.setRtu(true);
        doomed.request(kReadTwo.data(), 6, &Outcomes::record, &outcomes);
        doomed.request(kReadTwo.data(), 6, &Outcomes::record, &outcomes);
    }
    runFor(board, 500);
    EXPECT_TRUE(outcomes.results.empty());
    EXPECT_EQ(timers.size(), 0u);
}

class AsciiMasterEngineTest : public MasterEngineTest {
protected:
    AsciiMasterEngineTest() { engine.setRtu(false); }
};

TEST_F(AsciiMasterEngineTest, SendsAtOnceRecognisesItsEchoAndDeliversTheDecodedAnswer) {
    request(kReadTwo, outcomes);
    ASSERT_EQ(line.sent.size(), 1u);
    EXPECT_EQ(line.sent[0], text(":010300000002FA\r\n"));

    engine.process_msg("010300000002FA");
    EXPECT_TRUE(outcomes.results.empty());
    engine.process_msg("0103040001000aed");

    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].second, (Bytes{0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x0A, 0xED}));
}

TEST_F(AsciiMasterEngineTest, MalformedAnswersAreLoggedAndIgnored) {
    request(kReadTwo, outcomes);
    engine.process_msg("010");
    engine.process_msg("01030");
    engine.process_msg("0103X4");
    engine.process_msg("0103040001000AEE");
    engine.process_msg("0203040001000AEC");

    EXPECT_TRUE(outcomes.results.empty());
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "SMBus::process_msg(): ASCII response too short").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_WARNING, "SMBus::process_msg(): ASCII response length is odd").size(),
              1u);
    EXPECT_EQ(
        board.logLinesWith(LOG_WARNING, "SMBus::process_msg(): invalid character in ASCII response").size(),
        1u);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "SMBus::process_msg(): bad checksum").size(), 1u);
    EXPECT_EQ(board.logLinesWith(LOG_INFO, "SMBus::process_msg(): invalid response address or function code")
                  .size(),
              1u);

    runFor(board, 201);
    ASSERT_EQ(outcomes.results.size(), 1u);
    EXPECT_EQ(outcomes.results[0].first, 1);
}

} // namespace

namespace {

TEST_F(MasterEngineTest, CancellingAContextDropsItsQueuedRequestsAndSilencesTheOneOnTheLine) {
    Outcomes other;
    request(kReadTwo, outcomes);
    request(kReadTwo, other);
    request(kReadTwo, outcomes);
    runFor(board, 6);
    ASSERT_EQ(line.sent.size(), 1u);

    engine.cancelRequests(&outcomes);
    EXPECT_EQ(engine.queued(), 2u); // the head stays until its answer or time-out
    engine.rtuFrameReceived(withCrc(kReadTwoAnswer));
    runFor(board, 6);

    EXPECT_TRUE(outcomes.results.empty());
    EXPECT_EQ(engine.queued(), 1u);
    engine.rtuFrameReceived(withCrc(kReadTwoAnswer));
    ASSERT_EQ(other.results.size(), 1u);
    EXPECT_EQ(engine.queued(), 0u);
}

} // namespace
