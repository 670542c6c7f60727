// The daemon idle at real speed, as `velkord-sim --speed 1` runs it on a fresh sandbox: no client, the
// simulated unit commissioned and stroking. Prints the CPU it takes (percent of one core), its private
// and total resident memory, its open descriptors, and the cadence record of the 10 ms discrete-I/O
// exchange. Goal: under 2 % of a core, the exchange's p99 period error within 1 ms.
//
//   build/idle-bench [SECONDS]     (default 60)

#include "bench/cadence.h"
#include "sim/simulation.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Enough exchanges for the whole run, with room for the start.
constexpr double kKeptFramesPerSecond = 2 * 1000 / bench::kIoPeriodMs;

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Memory {
    long residentKiB = 0;
    long privateKiB = 0;
};

// The process's resident memory, all of it and its private part, from smaps_rollup.
Memory memory() {
    Memory result;
    std::ifstream rollup("/proc/self/smaps_rollup");
    for (std::string line; std::getline(rollup, line);) {
        long kib = std::atol(line.c_str() + line.find(':') + 1);
        if (line.rfind("Rss:", 0) == 0)
            result.residentKiB = kib;
        else if (line.rfind("Private_Clean:", 0) == 0 || line.rfind("Private_Dirty:", 0) == 0)
            result.privateKiB += kib;
    }
    return result;
}

// Open descriptors, without the one the listing itself uses.
int descriptors() {
    DIR* listing = ::opendir("/proc/self/fd");
    if (!listing)
        return -1;
    int count = 0;
    while (dirent* entry = ::readdir(listing))
        count += entry->d_name[0] != '.';
    ::closedir(listing);
    return count - 1;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    if (argc > 2 || seconds <= 0) {
        std::fprintf(stderr, "usage: idle-bench [SECONDS]\n");
        return 2;
    }
    char pattern[] = "/tmp/idle-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    SimOptions options;
    options.root = std::string(pattern) + "/run";
    options.speed = 1;
    options.forSeconds = seconds;
    options.httpPort = bench::freePort();
    options.httpsPort = bench::freePort();
    options.modbusPort = bench::freePort();

    double cpuAtStart = 0;
    double cpuAtEnd = 0;
    auto wallAtStart = std::chrono::steady_clock::now();
    auto wallAtEnd = wallAtStart;
    uint32_t fromMs = 0;
    Memory used;
    int open = 0;
    std::vector<uint32_t> exchanges;
    SimulationHooks hooks;
    // Measured from the first pass of the loop to its last: the start-up is not idling.
    hooks.started = [&](SimSession& session) {
        session.board().simSpi().setKeptFrames(static_cast<size_t>(seconds * kKeptFramesPerSecond));
        cpuAtStart = cpuSeconds();
        wallAtStart = std::chrono::steady_clock::now();
        fromMs = bench::realMonotonicMs();
    };
    hooks.stopping = [&](SimSession& session) {
        cpuAtEnd = cpuSeconds();
        wallAtEnd = std::chrono::steady_clock::now();
        used = memory();
        open = descriptors();
        exchanges = bench::exchangeTimes(session.board().simSpi(), fromMs, bench::realMonotonicMs());
    };
    // The daemon's log lines would drown the figures; they go to a file.
    std::string logPath = std::string(pattern) + "/stderr";
    std::fflush(stderr);
    FILE* saved = ::fdopen(::dup(2), "w");
    std::freopen(logPath.c_str(), "w", stderr);
    int status = runSimulation(options, hooks);
    std::fflush(stderr);
    ::dup2(::fileno(saved), 2);
    std::filesystem::remove_all(pattern);

    double wall = std::chrono::duration<double>(wallAtEnd - wallAtStart).count();
    double cpu = cpuAtEnd - cpuAtStart;
    std::printf("idle daemon at real speed for %.1f s (velkord-sim --speed 1, fresh sandbox)\n", wall);
    std::printf("CPU: %.2f s, %.2f %% of one core (goal under 2 %%)\n", cpu,
                wall > 0 ? 100.0 * cpu / wall : 0.0);
    std::printf("resident memory: %ld KiB private, %ld KiB in all\n", used.privateKiB, used.residentKiB);
    std::printf("open descriptors: %d\n", open);
    std::printf("discrete-I/O exchange: %s (goal: p99 error within 1 ms)\n",
                bench::describe(bench::cadenceOf(exchanges)).c_str());
    std::printf("daemon exit status %d\n", status);
    return status;
}
