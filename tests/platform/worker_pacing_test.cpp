// A worker thread sleeping on the virtual clock: it wakes at exactly its moment of the clock and its
// time stands still while it runs its step, however the main loop moves the clock; the main loop runs
// on beside the step no further than the worker's shortest sleep.

#include "platform/local_events.h"
#include "platform/virtual_clock.h"
#include "platform/worker_pause.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint64_t kStartMs = 1000;
constexpr uint64_t kStepMs = 750;
constexpr int kSteps = 5;
// Real time a step takes: the main loop would run far ahead meanwhile if the clock did not wait.
constexpr auto kStepRealTime = std::chrono::milliseconds(5);

// A worker that notes the clock when each step begins and ends, sleeping kStepMs between steps.
class PacedWorker {
public:
    explicit PacedWorker(platform::VirtualClock& clock, unsigned shortestSleepMs = 0)
        : pause_(clock, shortestSleepMs) {
        thread_ = std::thread([this] { run(); });
    }
    ~PacedWorker() {
        pause_.stop();
        thread_.join();
    }

    struct Step {
        uint64_t beganMs;
        uint64_t endedMs;
    };
    std::vector<Step> steps() {
        std::lock_guard<std::mutex> lock(mutex_);
        return steps_;
    }
    platform::WorkerPause& pause() { return pause_; }
    // The moment of the step running now; kNotInStep between steps.
    static constexpr uint64_t kNotInStep = UINT64_MAX;
    uint64_t stepRunning() const { return stepMs_.load(); }

private:
    void run() {
        if (!pause_.begin())
            return;
        uint64_t wakeMs = pause_.nowMs();
        for (int step = 0; step < kSteps; ++step) {
            uint64_t began = pause_.nowMs();
            stepMs_ = began;
            std::this_thread::sleep_for(kStepRealTime);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                steps_.push_back({began, pause_.nowMs()});
            }
            stepMs_ = kNotInStep;
            wakeMs += kStepMs;
            if (!pause_.sleepUntil(wakeMs))
                return;
        }
        // Waiting for good until stopped.
        pause_.sleepUntil(UINT64_MAX / 1000);
    }

    platform::WorkerPause pause_;
    std::mutex mutex_;
    std::vector<Step> steps_;
    std::atomic<uint64_t> stepMs_{kNotInStep};
    std::thread thread_;
};

// The main loop's side: the virtual clock and its wait on one pipe that never becomes readable.
struct MainLoop {
    MainLoop() {
        int ends[2];
        if (::pipe(ends) == 0) {
            readEnd = ends[0];
            writeEnd = ends[1];
        }
    }
    ~MainLoop() {
        ::close(readEnd);
        ::close(writeEnd);
    }
    int wait(int timeoutMs, int fireInMs) {
        pollfd set{readEnd, POLLIN, 0};
        return clock.wait(&set, 1, timeoutMs, fireInMs, local);
    }
    platform::VirtualClock clock{kStartMs};
    platform::LocalEvents local{clock};
    int readEnd = -1;
    int writeEnd = -1;
};

void expectStepsAtTheirMoments(const std::vector<PacedWorker::Step>& steps) {
    ASSERT_EQ(steps.size(), static_cast<size_t>(kSteps));
    for (int step = 0; step < kSteps; ++step) {
        EXPECT_EQ(steps[step].beganMs, kStartMs + step * kStepMs) << step;
        EXPECT_EQ(steps[step].endedMs, steps[step].beganMs) << step;
    }
}

TEST(WorkerPacing, TheMainLoopsClockStopsAtEachWakeUpAndWaitsForTheStep) {
    MainLoop loop;
    ASSERT_GE(loop.readEnd, 0);
    platform::VirtualClock& clock = loop.clock;
    {
        PacedWorker worker(clock);
        // A timer far beyond the steps: every jump the clock makes stops at a wake-up first.
        std::vector<uint64_t> stops;
        while (clock.elapsedMs() < kSteps * kStepMs) {
            ASSERT_EQ(loop.wait(60000, 60001), 0);
            stops.push_back(clock.elapsedMs());
        }
        for (size_t i = 0; i < stops.size() && i < static_cast<size_t>(kSteps); ++i)
            EXPECT_EQ(stops[i], (i + 1) * kStepMs) << i;
        expectStepsAtTheirMoments(worker.steps());
        // Stopped while it sleeps: it ends at once, and the clock no longer stops for it.
        auto before = std::chrono::steady_clock::now();
        worker.pause().stop();
        EXPECT_EQ(loop.wait(60000, 60001), 0);
        EXPECT_EQ(clock.elapsedMs(), kSteps * kStepMs + 60001);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    }
}

TEST(WorkerPacing, TheMainLoopRunsBesideAStepNoFurtherThanTheShortestSleepAndASettleWaitsForIt) {
    MainLoop loop;
    ASSERT_GE(loop.readEnd, 0);
    platform::VirtualClock& clock = loop.clock;
    {
        PacedWorker worker(clock, kStepMs);
        // A timer every 10 ms of the clock, as the daemon's exchange has.
        constexpr int kTimerMs = 10;
        size_t passesBesideAStep = 0;
        while (clock.elapsedMs() < kSteps * kStepMs) {
            ASSERT_EQ(loop.wait(kTimerMs, kTimerMs), 0);
            // At a turn the worker was just woken: its thread may take a while to be scheduled on a
            // loaded machine, and the loop would be done with the turn's passes before it began.
            uint64_t sinceStartMs = clock.elapsedMs();
            size_t turn = sinceStartMs / kStepMs;
            if (sinceStartMs % kStepMs == 0 && turn < static_cast<size_t>(kSteps)) {
                auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
                while (worker.stepRunning() != kStartMs + sinceStartMs && worker.steps().size() <= turn &&
                       std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
            uint64_t step = worker.stepRunning();
            if (step == PacedWorker::kNotInStep)
                continue;
            ++passesBesideAStep;
            uint64_t nowMs = kStartMs + clock.elapsedMs();
            EXPECT_LT(nowMs, step + kStepMs) << "the clock passed the step's earliest next wake-up";
            if (passesBesideAStep % 8 == 0) {
                clock.settleWorkers();
                EXPECT_EQ(worker.stepRunning(), PacedWorker::kNotInStep) << "a settle left the step running";
            }
        }
        // Each step takes 5 ms of real time: the loop's passes of some microseconds ran beside it.
        EXPECT_GT(passesBesideAStep, static_cast<size_t>(kSteps));
        clock.settleWorkers();
        expectStepsAtTheirMoments(worker.steps());
    }
}

TEST(WorkerPacing, AJumpOfTheClockLetsEachStepOnTheWayRunAtItsMoment) {
    platform::VirtualClock clock(kStartMs);
    PacedWorker worker(clock);
    clock.advanceMs(kSteps * kStepMs + 1);
    expectStepsAtTheirMoments(worker.steps());
    EXPECT_EQ(clock.elapsedMs(), kSteps * kStepMs + 1);
}

TEST(WorkerPacing, AWorkerStoppedBeforeItsFirstTurnNeverRunsAndHoldsNothing) {
    platform::VirtualClock clock(kStartMs);
    auto before = std::chrono::steady_clock::now();
    {
        PacedWorker worker(clock);
        worker.pause().stop();
        clock.advanceMs(10 * kStepMs);
        EXPECT_TRUE(worker.steps().empty());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_EQ(clock.workerPacer()->nextWakeUs(), platform::WorkerPacer::kNever);
}

} // namespace
