// The RTU receiver: bytes arriving in pieces with pauses between them come out as the frames a 50 ms
// silence ends, each burst whole or, when longer than the capacity, discarded; every frame then goes
// through the serial slave's CRC check and request handling.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "fieldbus/rtu_receiver.h"
#include "fieldbus/smbus_slave.h"
#include "tests/fuzz/fuzz_board.h"
#include "tests/fuzz/fuzz_config.h"

#include <cstddef>
#include <cstdint>

namespace {

// The serial slave's frame handling, reached as the receiver reaches it.
class FramedSlave : public SMBusSlave {
public:
    void frame(Bytes bytes) { rtu_rx_timeout(std::move(bytes)); }
};

// Pauses well inside a burst and well past its end, never near the 50 ms edge.
uint32_t pauseMs(uint8_t code) {
    return code & 0x80 ? RtuReceiver::kFrameEndMs + 1 + (code & 0x7F) : (code & 0x1F);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TimerQueue& timers = fuzzTimers();
    gSerialNumber = "unknown";
    defaultConfig();
    FramedSlave slave;
    platform::VirtualClock& clock = FuzzBoard::get().clock();
    std::vector<Bytes> frames;
    const size_t capacity = SMBusSlave::kMaxRtuFrame;
    static const std::string line = "/dev/ttyS1";
    RtuReceiver receiver(line, capacity, [&](Bytes frame) { frames.push_back(std::move(frame)); });

    // Records: a pause code, a length, then that many bytes.
    std::vector<Bytes> expected;
    Bytes burst;
    uint32_t overlong = 0;
    auto burstEnds = [&] {
        if (burst.size() > capacity)
            ++overlong;
        else if (!burst.empty())
            expected.push_back(burst);
        burst.clear();
    };
    for (size_t at = 0; at + 2 <= size;) {
        uint32_t pause = pauseMs(data[at]);
        size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        const uint8_t* bytes = data + at + 2;
        at += 2 + length;
        // A line delivers no empty pieces; skipping them keeps each silence a single pause.
        if (length == 0)
            continue;
        clock.advanceMs(pause);
        timers.runDue();
        if (pause > RtuReceiver::kFrameEndMs)
            burstEnds();
        receiver.append(bytes, length);
        burst.insert(burst.end(), bytes, bytes + length);
    }
    clock.advanceMs(RtuReceiver::kFrameEndMs + 1);
    timers.runDue();
    burstEnds();

    FUZZ_CHECK(receiver.buffered() == 0, "bytes left after the line fell silent");
    FUZZ_CHECK(receiver.overlongBursts() == overlong, "overlong bursts miscounted");
    FUZZ_CHECK(frames == expected,
               std::to_string(frames.size()) + " frames for " + std::to_string(expected.size()) + " bursts");
    for (Bytes& frame : frames) {
        FUZZ_CHECK(frame.size() <= capacity, "a frame beyond the capacity");
        slave.frame(frame);
    }
    return 0;
}
