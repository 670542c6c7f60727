// Modbus TCP throughput and latency of the daemon's slave against a minimal server on libmodbus, in
// one run: clients read 125 holding registers as fast as they can, first with one connection, then
// with eight. Meanwhile the daemon's 10 ms discrete-I/O exchange must keep its cadence.
//
//   build/modbus-tcp-bench [--seconds N]     (N seconds per measurement, 0 < N <= 1.5, default 1)

#include "bench/cadence.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "daemon/velkord.h"
#include "platform/sim_platform.h"
#include "sim/sandbox.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <modbus.h>
#include <netinet/in.h>
#include <string>
#include <sys/select.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRegisters = 125;

struct Result {
    double requestsPerSecond = 0;
    double p50Us = 0;
    double p99Us = 0;
    uint64_t failures = 0;
};

// Clients on libmodbus, each on its own connection, for `seconds` after a short warm-up.
Result measure(int port, int clients, double seconds) {
    std::vector<std::vector<double>> latencies(static_cast<size_t>(clients));
    std::vector<uint64_t> failures(static_cast<size_t>(clients));
    std::vector<std::thread> threads;
    auto start = Clock::now() + std::chrono::milliseconds(300);
    auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
            modbus_set_slave(ctx, 1);
            // Eight clients at once overflow the listen backlog of 5 now and then: try again.
            bool connected = false;
            for (int attempt = 0; attempt < 5 && !connected; ++attempt)
                connected = modbus_connect(ctx) == 0;
            if (!connected) {
                ++failures[static_cast<size_t>(c)];
                modbus_free(ctx);
                return;
            }
            uint16_t registers[kRegisters];
            for (auto now = Clock::now(); now < end; now = Clock::now()) {
                int count = modbus_read_registers(ctx, 0, kRegisters, registers);
                auto after = Clock::now();
                if (count != kRegisters)
                    ++failures[static_cast<size_t>(c)];
                else if (now >= start)
                    latencies[static_cast<size_t>(c)].push_back(
                        std::chrono::duration<double, std::micro>(after - now).count());
            }
            modbus_close(ctx);
            modbus_free(ctx);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::vector<double> all;
    Result result;
    for (int c = 0; c < clients; ++c) {
        all.insert(all.end(), latencies[static_cast<size_t>(c)].begin(),
                   latencies[static_cast<size_t>(c)].end());
        result.failures += failures[static_cast<size_t>(c)];
    }
    std::sort(all.begin(), all.end());
    result.requestsPerSecond = static_cast<double>(all.size()) / seconds;
    result.p50Us = bench::percentile(all, 0.50);
    result.p99Us = bench::percentile(all, 0.99);
    return result;
}

// The reference: libmodbus's own server, the select loop of its documentation, 363 holding registers.
class LibmodbusServer {
public:
    explicit LibmodbusServer(int port) : thread_([this, port] { run(port); }) {
        while (!ready_)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LibmodbusServer() {
        stop_ = true;
        thread_.join();
    }

private:
    void run(int port) {
        modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
        modbus_mapping_t* mapping = modbus_mapping_new(0, 0, 363, 0);
        int server = modbus_tcp_listen(ctx, 16);
        ready_ = true;
        fd_set open;
        FD_ZERO(&open);
        FD_SET(server, &open);
        int highest = server;
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!stop_) {
            fd_set ready = open;
            timeval wait{0, 50000};
            if (::select(highest + 1, &ready, nullptr, nullptr, &wait) <= 0)
                continue;
            for (int fd = 0; fd <= highest; ++fd) {
                if (!FD_ISSET(fd, &ready))
                    continue;
                if (fd == server) {
                    int client = ::accept(server, nullptr, nullptr);
                    if (client >= 0) {
                        FD_SET(client, &open);
                        highest = std::max(highest, client);
                    }
                    continue;
                }
                modbus_set_socket(ctx, fd);
                int length = modbus_receive(ctx, query);
                if (length > 0) {
                    modbus_reply(ctx, query, length, mapping);
                } else if (length == -1) {
                    ::close(fd);
                    FD_CLR(fd, &open);
                }
            }
        }
        ::close(server);
        modbus_mapping_free(mapping);
        modbus_free(ctx);
    }

    std::atomic<bool> ready_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The whole daemon on a simulated board in real time, its main loop on a thread of its own.
class Daemon {
public:
    // keptFrames: discrete-I/O exchanges the simulated chain records, enough for the whole run.
    Daemon(const std::string& root, int port, size_t keptFrames)
        : board_(root, std::make_unique<platform::SystemClock>()) {
        board_.ports.modbusTcp = port;
        board_.simSpi().setKeptFrames(keptFrames);
        board_.onStarted = [this] { started_ = true; };
        thread_ = std::thread([this] { status_ = runDaemon(board_); });
        while (!started_ && !finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // SIGTERM, as the init script stops it.
    int stop() {
        ::kill(::getpid(), SIGTERM);
        thread_.join();
        return status_;
    }
    bool finished() const { return status_ >= 0; }
    // The discrete-I/O exchanges between two monotonic times, as the simulated chain saw them; only
    // once the daemon has stopped (its thread appends to the record).
    std::vector<uint32_t> exchangeTimes(uint32_t fromMs, uint32_t toMs) {
        return bench::exchangeTimes(board_.simSpi(), fromMs, toMs);
    }

private:
    platform::SimPlatform board_;
    std::atomic<bool> started_{false};
    std::atomic<int> status_{-1};
    std::thread thread_;
};

void printResult(const char* server, int clients, const Result& result) {
    std::printf("%-10s %7d %12.0f %10.1f %10.1f %9llu\n", server, clients, result.requestsPerSecond,
                result.p50Us, result.p99Us, static_cast<unsigned long long>(result.failures));
}

// The median of the rounds by requests per second.
Result median(std::vector<Result> rounds) {
    std::sort(rounds.begin(), rounds.end(),
              [](const Result& a, const Result& b) { return a.requestsPerSecond < b.requestsPerSecond; });
    return rounds[rounds.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 1;
    if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0)
        seconds = std::atof(argv[2]);
    if (seconds <= 0 || seconds > 1.5) {
        std::fprintf(stderr, "usage: modbus-tcp-bench [--seconds N]   (0 < N <= 1.5)\n");
        return 2;
    }

    char rootTemplate[] = "/tmp/modbus-bench-XXXXXX";
    std::string root = ::mkdtemp(rootTemplate);
    std::string error;
    if (!prepareSandbox(root, error)) {
        std::fprintf(stderr, "modbus-tcp-bench: %s\n", error.c_str());
        return 1;
    }

    // Both servers run side by side and are measured in turns, so a slower moment of the machine
    // falls on both; each line is the median of the rounds.
    constexpr int kRounds = 3;
    const int counts[] = {1, 8};
    std::vector<Result> ours[2];
    std::vector<Result> reference[2];
    std::vector<uint32_t> exchanges;
    uint32_t measuredMs = 0;
    {
        int ourPort = bench::freePort();
        // Each measurement lasts its seconds and a 300 ms warm-up; twice that covers start and stop.
        double runSeconds = kRounds * 2 * 2 * (seconds + 0.3);
        auto keptFrames = static_cast<size_t>(2 * runSeconds * 1000 / bench::kIoPeriodMs);
        Daemon daemon(root, ourPort, keptFrames);
        if (daemon.finished()) {
            std::fprintf(stderr, "modbus-tcp-bench: the daemon did not start\n");
            return 1;
        }
        int referencePort = bench::freePort();
        LibmodbusServer server(referencePort);
        uint32_t fromMs = bench::realMonotonicMs();
        for (int round = 0; round < kRounds; ++round) {
            for (int i = 0; i < 2; ++i) {
                ours[i].push_back(measure(ourPort, counts[i], seconds));
                reference[i].push_back(measure(referencePort, counts[i], seconds));
            }
        }
        uint32_t toMs = bench::realMonotonicMs();
        measuredMs = toMs - fromMs;
        daemon.stop();
        exchanges = daemon.exchangeTimes(fromMs, toMs);
    }
    std::filesystem::remove_all(root);

    std::printf("\nreads of %d holding registers on loopback, median of %d rounds of %.1f s\n", kRegisters,
                kRounds, seconds);
    std::printf("%-10s %7s %12s %10s %10s %9s\n", "server", "clients", "requests/s", "p50 us", "p99 us",
                "failures");
    Result ourMedian[2];
    Result referenceMedian[2];
    for (int i = 0; i < 2; ++i) {
        ourMedian[i] = median(ours[i]);
        referenceMedian[i] = median(reference[i]);
        printResult("velkord", counts[i], ourMedian[i]);
        printResult("libmodbus", counts[i], referenceMedian[i]);
    }
    for (int i = 0; i < 2; ++i)
        std::printf("ratio velkord / libmodbus, %d client%s: %.2f x requests/s (goal 1.20)\n", counts[i],
                    counts[i] == 1 ? "" : "s",
                    ourMedian[i].requestsPerSecond / std::max(1.0, referenceMedian[i].requestsPerSecond));

    // The record must reach back to the start, or the figure would cover only the end of the run.
    std::printf("discrete-I/O exchange while velkord served (%.1f s): %s\n", measuredMs / 1000.0,
                bench::describe(bench::cadenceOf(exchanges)).c_str());
    return 0;
}
