#pragma once
// Kill trials for files kept across a crash: a forked child writes version after version of them
// until the parent kills it with SIGKILL after a random delay; the parent then checks what they hold.

#include <functional>
#include <random>
#include <string>

// How far the killed child had come: versions are numbered 1, 2, 3 ... and version 0 stands before.
struct KilledWrites {
    int lastBegun = 0; // the newest version whose write had begun
    int lastEnded = 0; // the newest version whose write had ended
    bool insideAWrite() const { return lastBegun != lastEnded; }
    // Whether version is the one before the write the kill fell in or the one that write made.
    bool oldOrNew(int version) const { return version == lastEnded || version == lastBegun; }
};

// The child's side of the pipe that tells the parent how far it has come.
class WriteReporter {
public:
    explicit WriteReporter(int fd) : fd_(fd) {}
    // Once, before the first write: whether the child found version 0 where it should be.
    void ready(bool foundVersionZero);
    void begin(int version);
    void end(int version);

private:
    int fd_;
};

// Forks a child that runs writeForever (it ends the child should it return), waits until the child is
// ready, lets it write for a random delay of at most longestDelayUs (stretched under the emulator),
// kills it with SIGKILL and reaps it. False with the reason when the child did not become ready.
bool killWhileWriting(std::mt19937& random, int longestDelayUs,
                      const std::function<void(WriteReporter&)>& writeForever, KilledWrites& result,
                      std::string& failure);

// The counts a kill test prints and checks: where the kills fell and which version the files held.
struct KillTally {
    int trials = 0;
    int insideAWrite = 0;
    int foundOld = 0; // killed inside a write, the files held the version before it
    int foundNew = 0; // killed inside a write, the files held the version it wrote
    void count(const KilledWrites& writes, int versionFound);
    bool sawBoth() const { return foundOld > 0 && foundNew > 0; }
    // Whether to run trial number `trial`: the planned ones, then, while one of the two outcomes is still
    // missing (on a loaded machine every write can outlast the first delays), as many again at most.
    bool wantsTrial(int trial, int planned) const {
        return trial < planned || (!sawBoth() && trial < 2 * planned);
    }
    // The longest kill delay of a trial: the test's own for the planned ones, then doubled every 25 trials.
    static int delayLimitUs(int trial, int planned, int longestDelayUs);
    // "500 trials in 1.23 s: 310 killed inside a write, 200 found the old version, 110 the new one".
    std::string summary(double seconds) const;
};
