// The simulated board's devices: SPI chain and converter, pty serial lines, RS-485 setup.

#include "platform/sim_modem_link.h"
#include "platform/virtual_clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_board.h"

#include "platform/local_events.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(SimSpi, ChainShiftsInTheProviderBitsAndKeepsTheFramesItWasSent) {
    TestBoard board;
    platform::SimSpi& spi = board.platform().simSpi();
    spi.fixedInputs().setInput(0, true);
    spi.fixedInputs().setInput(33, true);
    int error = -1;
    auto chain = spi.open("/dev/spidev32766.0", error);
    ASSERT_TRUE(chain);
    EXPECT_EQ(error, 0);

    const uint8_t out[5] = {0x01, 0x00, 0x00, 0x00, 0x80};
    uint8_t in[5] = {};
    EXPECT_EQ(chain->transfer(out, in, 5), 0);

    EXPECT_EQ(in[0], 0x01);
    EXPECT_EQ(in[4], 0x02);
    ASSERT_EQ(spi.outputFrames().size(), 1u);
    EXPECT_EQ(spi.outputFrames()[0].bits, 0x8000000001ull);
    EXPECT_EQ(spi.outputFrames()[0].atMs, platform::monotonicMs());
    EXPECT_EQ(chain->transfer(out, in, 3), EINVAL);
    spi.setTransferError(EIO);
    EXPECT_EQ(chain->transfer(out, in, 5), EIO);
    EXPECT_EQ(spi.chainTransfers(), 1u);
}

TEST(SimSpi, KeepsTheNewestFramesUpToItsBound) {
    TestBoard board;
    platform::SimSpi& spi = board.platform().simSpi();
    EXPECT_EQ(spi.keptFrames(), platform::SimSpi::kKeptFrames);
    int error = 0;
    auto chain = spi.open("/dev/spidev32766.0", error);
    ASSERT_TRUE(chain);
    uint8_t out[5] = {};
    uint8_t in[5] = {};
    spi.setKeptFrames(3);
    for (uint8_t i = 1; i <= 5; ++i) {
        out[0] = i;
        ASSERT_EQ(chain->transfer(out, in, 5), 0);
    }
    ASSERT_EQ(spi.outputFrames().size(), 3u);
    EXPECT_EQ(spi.outputFrames().front().bits, 3u);
    EXPECT_EQ(spi.outputFrames().back().bits, 5u);
    // A smaller bound drops the oldest at once; 0 keeps one.
    spi.setKeptFrames(0);
    ASSERT_EQ(spi.outputFrames().size(), 1u);
    EXPECT_EQ(spi.outputFrames().front().bits, 5u);
}

TEST(SimSpi, ConverterAnswersTheCountOfTheChannelAskedFor) {
    TestBoard board;
    platform::SimSpi& spi = board.platform().simSpi();
    spi.fixedInputs().setAdcCount(5, 0xABC);
    int error = 0;
    auto converter = spi.open("/dev/spidev32766.2", error);
    ASSERT_TRUE(converter);

    const uint8_t channel5[3] = {0x06 | 1, 1 << 6, 0};
    uint8_t in[3] = {0xFF, 0xFF, 0xFF};
    EXPECT_EQ(converter->transfer(channel5, in, 3), 0);
    EXPECT_EQ(in[1], 0x0A);
    EXPECT_EQ(in[2], 0xBC);

    const uint8_t noStartBit[3] = {0x00, 1 << 6, 0};
    EXPECT_EQ(converter->transfer(noStartBit, in, 3), 0);
    EXPECT_EQ(in[1] | in[2], 0);
}

TEST(SimSpi, MissingStandInOrUnknownDeviceCannotBeOpened) {
    TestBoard board;
    int error = 0;
    ASSERT_EQ(::unlink(board.path("/dev/spidev32766.2").c_str()), 0);
    EXPECT_FALSE(board.platform().simSpi().open("/dev/spidev32766.2", error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(board.platform().simSpi().open("/dev/spidev32766.1", error));
    EXPECT_EQ(error, ENODEV);
}

TEST(SimSerialLine, SandboxPortsLinkToPtysAndAHangUpLinksAFreshOne) {
    TestBoard board;
    platform::SimSerialLine* line = board.platform().serialLine("/dev/ttyS2");
    ASSERT_NE(line, nullptr);
    ASSERT_NE(board.platform().serialLine("/dev/ttyS1"), nullptr);
    EXPECT_EQ(board.platform().serialLine("/dev/ttyS3"), nullptr);
    char target[64] = {};
    ASSERT_GT(::readlink(board.path("/dev/ttyS2").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(line->ptyPath(), target);

    int port = ::open(board.path("/dev/ttyS2").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(port, 0);
    ASSERT_EQ(::write(line->farEnd(), "ab", 2), 2);
    pollfd readable{port, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 1000), 1);
    char bytes[4] = {};
    EXPECT_EQ(::read(port, bytes, sizeof bytes), 2); // raw: no echo, no line editing
    pollfd farEnd{line->farEnd(), POLLIN, 0};
    EXPECT_EQ(::poll(&farEnd, 1, 20), 0);

    ASSERT_EQ(line->hangUp(), 0);
    pollfd hungUp{port, POLLIN, 0};
    ASSERT_EQ(::poll(&hungUp, 1, 1000), 1);
    EXPECT_TRUE(hungUp.revents & POLLHUP);
    ::close(port);

    port = ::open(board.path("/dev/ttyS2").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(port, 0);
    ASSERT_EQ(::write(port, "c", 1), 1);
    pollfd fresh{line->farEnd(), POLLIN, 0};
    ASSERT_EQ(::poll(&fresh, 1, 1000), 1);
    EXPECT_EQ(::read(line->farEnd(), bytes, sizeof bytes), 1);
    EXPECT_EQ(bytes[0], 'c');
    ::close(port);
}

TEST(SimSerialLine, LinkIsRemovedWithThePlatform) {
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "dev").c_str(), 0755), 0);
    {
        platform::SimPlatform board(dir.path(), nullptr);
        struct stat link {};
        EXPECT_EQ(::lstat((dir / "dev/ttyS1").c_str(), &link), 0);
    }
    EXPECT_FALSE(fileExists(dir / "dev/ttyS1"));
}

} // namespace

namespace {

TEST(VirtualClock, WaitsInRealTimeOnlyWhileBytesAreInFlight) {
    platform::VirtualClock clock(1000);
    platform::LocalEvents local(clock);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    pollfd set{pipeEnds[0], POLLIN, 0};
    bool inFlight = true;
    clock.setInFlightCheck([&] { return inFlight; });
    // Bytes on their way: poll waits for them in real time, and when they come no time passes.
    ASSERT_EQ(::write(pipeEnds[1], "x", 1), 1);
    EXPECT_EQ(clock.wait(&set, 1, 50, 51, local), 1);
    EXPECT_EQ(clock.elapsedMs(), 0u);
    char byte;
    ASSERT_EQ(::read(pipeEnds[0], &byte, 1), 1);
    // Nothing in flight and nothing ready: on to the moment the timer fires, 1 ms past its expiry.
    inFlight = false;
    EXPECT_EQ(clock.wait(&set, 1, 50, 51, local), 0);
    EXPECT_EQ(clock.elapsedMs(), 51u);
    // A timer due but not yet past: the loop's time-out is 1 ms and it fires at the next millisecond.
    EXPECT_EQ(clock.wait(&set, 1, 1, 1, local), 0);
    EXPECT_EQ(clock.elapsedMs(), 52u);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

TEST(VirtualClock, LooksAtDescriptorsWhileItRunsAheadAndStopsWhenOneIsReady) {
    platform::VirtualClock clock(1000);
    platform::LocalEvents local(clock);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    pollfd set{pipeEnds[0], POLLIN, 0};
    ASSERT_EQ(::write(pipeEnds[1], "x", 1), 1);
    // Within half a millisecond of real time it may not look; it does soon after, and then stays.
    bool seen = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (!seen && std::chrono::steady_clock::now() < deadline)
        seen = clock.wait(&set, 1, 10, 11, local) > 0 && (set.revents & POLLIN) != 0;
    EXPECT_TRUE(seen);
    uint64_t when = clock.elapsedMs();
    EXPECT_GT(clock.wait(&set, 1, 10, 11, local), 0);
    EXPECT_EQ(clock.elapsedMs(), when);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

TEST(ScaledClock, AShortWaitLastsItsShareOfARealMillisecondNotAWholeOne) {
    // At 100 times real time, 10 ms of the clock are 0.1 ms of real time. Waiting whole real
    // milliseconds, each wait would let at least 100 ms of the clock pass: longer than a drive takes to
    // answer on its bus. The shortest of several waits tells, however loaded the machine is.
    platform::ScaledClock clock(100);
    platform::LocalEvents local(clock);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    pollfd set{pipeEnds[0], POLLIN, 0};
    uint64_t shortestUs = UINT64_MAX;
    for (int attempt = 0; attempt < 20; ++attempt) {
        timespec before = clock.monotonic();
        EXPECT_EQ(clock.wait(&set, 1, 10, 11, local), 0);
        timespec after = clock.monotonic();
        uint64_t passedUs = static_cast<uint64_t>((after.tv_sec - before.tv_sec) * 1000000LL +
                                                  (after.tv_nsec - before.tv_nsec) / 1000);
        EXPECT_GE(passedUs, 10000u);
        shortestUs = std::min(shortestUs, passedUs);
    }
    EXPECT_LT(shortestUs, 90000u);
    // A byte ready ends the wait at once.
    ASSERT_EQ(::write(pipeEnds[1], "x", 1), 1);
    EXPECT_EQ(clock.wait(&set, 1, -1, -1, local), 1);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

} // namespace

namespace {

constexpr key_t kSandboxKeys = 0x56454C00;

// A segment of the sandbox range under a key nobody holds now, created by the calling process.
int createSandboxRangeSegment(key_t& key) {
    for (int offset = 255; offset >= 0; --offset) {
        int id = ::shmget(kSandboxKeys + offset, platform::kNtpSegmentSize, IPC_CREAT | IPC_EXCL | 0600);
        if (id >= 0) {
            key = kSandboxKeys + offset;
            return id;
        }
    }
    return -1;
}

bool segmentExists(int id) {
    shmid_ds status{};
    return ::shmctl(id, IPC_STAT, &status) == 0;
}

TEST(SimModemLinkTest, ASegmentLeftByAKilledSimulatorIsRemovedByTheNextOneAndALiveOneIsKept) {
    // A child stands for a simulator killed outright: its segment stays behind when it is gone.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        key_t key = 0;
        int id = createSandboxRangeSegment(key);
        ssize_t written = ::write(pipeEnds[1], &id, sizeof id);
        ::_exit(written == sizeof id ? 0 : 1);
    }
    int orphan = -1;
    ASSERT_EQ(::read(pipeEnds[0], &orphan, sizeof orphan), static_cast<ssize_t>(sizeof orphan));
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_GE(orphan, 0);
    ASSERT_TRUE(segmentExists(orphan));

    key_t liveKey = 0;
    int live = createSandboxRangeSegment(liveKey); // ours: its creator is alive
    ASSERT_GE(live, 0);

    TempDir dir;
    {
        platform::SimModemLink link(dir.path());
        ASSERT_TRUE(link.createNtpSegment());
        EXPECT_FALSE(segmentExists(orphan));
        EXPECT_TRUE(segmentExists(live));
        EXPECT_NE(link.ntpShmKey(), liveKey);
    }
    EXPECT_TRUE(segmentExists(live));
    ::shmctl(live, IPC_RMID, nullptr);
    if (segmentExists(orphan))
        ::shmctl(orphan, IPC_RMID, nullptr);
}

} // namespace
