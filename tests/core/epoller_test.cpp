#include "core/epoller.h"
#include "tests/support/test_board.h"

#include <gtest/gtest.h>
#include <sys/epoll.h>
#include <unistd.h>
#include <vector>

namespace {

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    void makeReadable() const { ASSERT_EQ(::write(fds[1], "x", 1), 1); }
    int readEnd() const { return fds[0]; }
    int fds[2];
};

class Recorder : public EPoller {
public:
    void onEvents(uint32_t events) override { received.push_back(events); }
    std::vector<uint32_t> received;
};

class EPollerTest : public ::testing::Test {
protected:
    EPollerTest() { EXPECT_TRUE(EPoller::init()); }
    ~EPollerTest() override { EPoller::shutdown(); }

    size_t epollErrors() { return board.logLinesWith(LOG_ERR, "epoll_ctl() error").size(); }

    TestBoard board;
};

TEST_F(EPollerTest, WatchedDescriptorDeliversItsEventsToItsOwner) {
    Pipe pipe;
    Recorder owner;
    owner.watch(pipe.readEnd(), EPOLLIN);
    EPoller::dispatch(0);
    EXPECT_TRUE(owner.received.empty());

    pipe.makeReadable();
    EPoller::dispatch(0);
    ASSERT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(owner.received[0], static_cast<uint32_t>(EPOLLIN));
}

TEST_F(EPollerTest, WatchingANewDescriptorFirstRemovesTheOldOne) {
    Pipe first, second;
    Recorder owner;
    owner.watch(first.readEnd(), EPOLLIN);
    owner.watch(second.readEnd(), EPOLLIN);
    EXPECT_EQ(owner.watchedFd(), second.readEnd());

    first.makeReadable();
    EPoller::dispatch(0);
    EXPECT_TRUE(owner.received.empty());

    second.makeReadable();
    EPoller::dispatch(0);
    EXPECT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(epollErrors(), 0u);
}

TEST_F(EPollerTest, UnchangedRegistrationsMakeNoSystemCall) {
    Pipe pipe;
    int closed = ::dup(pipe.readEnd());
    ::close(closed);

    // An epoll_ctl on a closed descriptor would fail and be logged, so silence proves no call.
    Recorder idle;
    idle.watch(closed, 0);
    EXPECT_EQ(idle.watchedFd(), closed);
    idle.watch(closed, 0);

    Recorder registered;
    int fd = ::dup(pipe.readEnd());
    registered.watch(fd, EPOLLIN);
    ::close(fd);
    registered.watch(fd, EPOLLIN);
    EXPECT_EQ(epollErrors(), 0u);

    registered.watch(fd, EPOLLIN | EPOLLOUT); // now a MOD on a closed descriptor: fails
    EXPECT_EQ(epollErrors(), 1u);
    EXPECT_EQ(registered.watchedEvents(), static_cast<uint32_t>(EPOLLIN)); // old mask kept
}

TEST_F(EPollerTest, FailedRegistrationKeepsTheMaskSoTheSameWatchTriesAgain) {
    Recorder owner;
    owner.watch(987654, EPOLLIN);
    EXPECT_EQ(owner.watchedEvents(), 0u);
    EXPECT_EQ(epollErrors(), 1u);
    owner.watch(987654, EPOLLIN);
    EXPECT_EQ(epollErrors(), 2u);
}

TEST_F(EPollerTest, OneReadyDescriptorIsHandledPerDispatch) {
    Pipe a, b;
    Recorder first, second;
    first.watch(a.readEnd(), EPOLLIN);
    second.watch(b.readEnd(), EPOLLIN);
    a.makeReadable();
    b.makeReadable();

    EPoller::dispatch(0);
    EXPECT_EQ(first.received.size() + second.received.size(), 1u);
    EPoller::dispatch(0);
    EXPECT_EQ(first.received.size(), 1u);
    EXPECT_EQ(second.received.size(), 1u);
}

TEST_F(EPollerTest, DestroyedOwnerLeavesTheSetAndOutputInterestCanBeDropped) {
    Pipe pipe;
    {
        Recorder gone;
        gone.watch(pipe.readEnd(), EPOLLIN);
    }
    pipe.makeReadable();
    EPoller::dispatch(0); // nothing refers to the destroyed owner any more

    Recorder writer;
    writer.watch(pipe.fds[1], EPOLLOUT);
    EPoller::dispatch(0);
    ASSERT_EQ(writer.received.size(), 1u);
    EXPECT_TRUE(writer.received[0] & EPOLLOUT);
    writer.watch(pipe.fds[1], 0);
    EPoller::dispatch(0);
    EXPECT_EQ(writer.received.size(), 1u);
    EXPECT_EQ(epollErrors(), 0u);
}

} // namespace
