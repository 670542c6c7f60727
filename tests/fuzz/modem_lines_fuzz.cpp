// The modem's line processing: after power-on the module's port (a pty of the simulated board) carries
// the input as what the SIM5320 says: AT replies, unsolicited reports and NMEA sentences with and
// without valid checksums. Each piece is read by the modem's own event handler; the modem keeps its
// input bounded and its command queue short whatever arrives.

#include "config/config.h"
#include "core/timer_queue.h"
#include "periph/sim5320.h"
#include "tests/fuzz/fuzz_board.h"
#include "tests/fuzz/fuzz_config.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

// Real time a pty may take to hand written bytes over.
constexpr int kDeliveryMs = 200;
// The most commands the modem ever queues: its start-up dialogue and a few more.
constexpr size_t kMostCommands = 32;

// The page's icons, as the board has them.
void installIcons(FuzzBoard& board) {
    std::error_code ignored;
    std::filesystem::copy(VELKORD_SOURCE_DIR "/data/img", board.path("/usr/share/velkord/img"),
                          std::filesystem::copy_options::overwrite_existing, ignored);
}

// Reads and drops what the modem sent (its commands), so its writes never block.
void drain(int fd) {
    char buffer[4096];
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TimerQueue& timers = fuzzTimers();
    FuzzBoard& board = FuzzBoard::get();
    platform::VirtualClock& clock = board.clock();
    static std::unique_ptr<Config>& config = freshConfig();
    platform::SimSerialLine* line = board.platform().serialLine("/dev/ttyUSB2");
    if (!line)
        fuzzFailure("the board has no modem port");
    int farEnd = line->farEnd();
    static bool icons = (installIcons(board), true);
    (void)icons;
    board.clearLog();

    Sim5320 modem(*config, board.platform().modemLink(), nullptr);
    // The power key's pulse, then the module's start-up wait, each a timer started by the one before.
    clock.advanceMs(Sim5320::kPowerOnPulseMs + 1);
    timers.runDue();
    clock.advanceMs(Sim5320::kStartUpWaitMs + 1);
    timers.runDue();
    if (!modem.portOpen()) {
        std::string lines;
        for (const std::string& logged : board.logLines())
            lines += "\n  " + logged;
        fuzzFailure("the modem's port did not open:" + lines);
    }
    drain(farEnd);

    // The input in pieces ended by 0xFF bytes (or of at most 256 bytes); a piece is written, read by
    // the modem, and a second of virtual time passes.
    size_t at = 0;
    while (at < size) {
        size_t end = at;
        while (end < size && end - at < Sim5320::kReadChunk && data[end] != 0xFF)
            ++end;
        if (end > at) {
            // A module that is switched off takes nothing.
            if (!modem.portOpen() || write(farEnd, data + at, end - at) != static_cast<ssize_t>(end - at))
                return 0;
            // The first wait lets the pty hand the piece over; the rest reads what is already there.
            pollfd wait{modem.watchedFd(), POLLIN, 0};
            for (int timeout = kDeliveryMs; modem.portOpen() && poll(&wait, 1, timeout) > 0; timeout = 0) {
                modem.onEvents(EPOLLIN);
                wait.fd = modem.watchedFd();
            }
        }
        at = end + (end < size && data[end] == 0xFF ? 1 : 0);
        clock.advanceMs(1000);
        timers.runDue();
        drain(farEnd);
        FUZZ_CHECK(modem.inputBuffered() <= Sim5320::kMaxInputBuffered, "unbounded input");
        FUZZ_CHECK(modem.commands().size() <= kMostCommands,
                   std::to_string(modem.commands().size()) + " commands queued");
    }
    return 0;
}
