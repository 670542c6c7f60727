#include "tests/support/kill_loop.h"

#include "tests/support/emulation.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kReady = 1;
constexpr int kNotReady = -1;

void writeInt(int fd, int value) {
    if (::write(fd, &value, sizeof value) != static_cast<ssize_t>(sizeof value))
        _exit(3);
}

// Begun writes are reported as 2n, ended ones as 2n + 1.
KilledWrites readProgress(int fd) {
    KilledWrites progress;
    int value = 0;
    while (::read(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) {
        if (value % 2 == 0)
            progress.lastBegun = value / 2;
        else
            progress.lastEnded = value / 2;
    }
    return progress;
}

} // namespace

void WriteReporter::ready(bool foundVersionZero) {
    writeInt(fd_, foundVersionZero ? kReady : kNotReady);
}

void WriteReporter::begin(int version) {
    writeInt(fd_, 2 * version);
}

void WriteReporter::end(int version) {
    writeInt(fd_, 2 * version + 1);
}

bool killWhileWriting(std::mt19937& random, int longestDelayUs,
                      const std::function<void(WriteReporter&)>& writeForever, KilledWrites& result,
                      std::string& failure) {
    int report[2];
    if (::pipe(report) != 0) {
        failure = "no pipe";
        return false;
    }
    pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        failure = "no fork";
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        WriteReporter reporter(report[1]);
        writeForever(reporter);
        _exit(0);
    }
    ::close(report[1]);
    int ready = 0;
    bool started =
        ::read(report[0], &ready, sizeof ready) == static_cast<ssize_t>(sizeof ready) && ready == kReady;
    if (started) {
        // Under the emulator a write takes several times as long: the kills spread over as many writes.
        std::uniform_int_distribution<int> delayUs(0, realTimeLimit(longestDelayUs));
        ::usleep(static_cast<useconds_t>(delayUs(random)));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    result = readProgress(report[0]);
    ::close(report[0]);
    if (!started)
        failure = "the child did not find version 0 before its first write";
    return started;
}

void KillTally::count(const KilledWrites& writes, int versionFound) {
    ++trials;
    if (!writes.insideAWrite())
        return;
    ++insideAWrite;
    foundOld += versionFound == writes.lastEnded;
    foundNew += versionFound == writes.lastBegun;
}

int KillTally::delayLimitUs(int trial, int planned, int longestDelayUs) {
    constexpr int kTrialsPerDoubling = 25;
    constexpr int kMostDoublings = 6;
    if (trial < planned)
        return longestDelayUs;
    return longestDelayUs << std::min(1 + (trial - planned) / kTrialsPerDoubling, kMostDoublings);
}

std::string KillTally::summary(double seconds) const {
    char text[200];
    std::snprintf(text, sizeof text,
                  "%d trials in %.2f s: %d killed inside a write, %d found the old version, %d the new one",
                  trials, seconds, insideAWrite, foundOld, foundNew);
    return text;
}
