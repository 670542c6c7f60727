// A day of normal stroking on the virtual clock, as fast as the machine runs it: the whole daemon,
// the simulated drives on the drive bus inside the process and the plant. Prints simulated seconds per
// wall second, the CPU time (user and system, every thread) per simulated hour and the cycles completed.
//
//   build/stroking-bench [HOURS]     (default 24)

#include "sim/simulation.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return ::remove(path);
}

size_t countLines(const std::string& path, const std::string& fragment) {
    std::ifstream in(path);
    size_t count = 0;
    for (std::string line; std::getline(in, line);)
        count += line.find(fragment) != std::string::npos;
    return count;
}

// User and system CPU seconds of the whole process (all its threads) so far.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv) {
    double hours = argc > 1 ? std::atof(argv[1]) : 24.0;
    if (hours <= 0) {
        std::fprintf(stderr, "usage: stroking-bench [HOURS]\n");
        return 2;
    }
    // The sandbox lies in memory, as the board's /tmp does: on a disk's file system the exchange files
    // the thermometer's threads replace every second cost the most of all the system calls of the run.
    char inMemory[] = "/dev/shm/stroking-bench-XXXXXX";
    char onDisk[] = "/tmp/stroking-bench-XXXXXX";
    const char* pattern = mkdtemp(inMemory);
    if (!pattern)
        pattern = mkdtemp(onDisk);
    if (!pattern)
        return 1;
    SimOptions options;
    options.root = std::string(pattern) + "/run";
    options.speed = 0;
    options.forSeconds = hours * 3600.0;
    options.httpPort = 0;
    options.httpsPort = 0;
    options.modbusPort = 0;

    uint64_t strokes = 0;
    SimulationHooks hooks;
    hooks.stopping = [&](SimSession& session) { strokes = session.plant().model().strokesCompleted(); };
    // The daemon's log lines would drown the figures; they go to a file.
    std::string logPath = std::string(pattern) + "/stderr";
    std::fflush(stderr);
    FILE* saved = fdopen(dup(2), "w");
    std::freopen(logPath.c_str(), "w", stderr);

    double cpuBefore = cpuSeconds();
    auto start = std::chrono::steady_clock::now();
    int status = runSimulation(options, hooks);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = cpuSeconds() - cpuBefore;

    std::fflush(stderr);
    dup2(fileno(saved), 2);
    std::string journal = options.root + "/var/log/events";
    double simulated = options.forSeconds;
    std::printf("simulated %.0f s (%.1f h) of stroking in %.2f s wall time\n", simulated, hours, wall);
    std::printf("speed: %.0f simulated seconds per wall second (24 h would take %.1f s)\n", simulated / wall,
                86400.0 / (simulated / wall));
    std::printf("CPU: %.2f s per simulated hour (%.0f %% of one core over the run)\n", cpu / hours,
                100.0 * cpu / wall);
    std::printf("cycles completed: %llu (%.2f strokes/min)\n", static_cast<unsigned long long>(strokes),
                strokes / (simulated / 60.0));
    std::printf("journal: %zu alarm lines, %zu lines in all; daemon exit status %d\n",
                countLines(journal, "Авария привода"), countLines(journal, ""), status);
    nftw(pattern, removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    return status;
}
