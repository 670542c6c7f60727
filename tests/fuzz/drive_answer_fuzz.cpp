// The drive bus master's answer handling for both drive models: a pump unit polls its drive over the
// bus, and whatever frames come back (with a correct CRC or not, early, late or not at all) are
// matched to the request and used, or counted as failures, without harm; one request is in flight.

#include "core/registry.h"
#include "core/timer_queue.h"
#include "drive/pump_unit.h"
#include "fieldbus/rtu_framing.h"
#include "fieldbus/smbus.h"
#include "tests/fuzz/fuzz_board.h"
#include "tests/fuzz/fuzz_config.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kUnit = 1;
constexpr int kDriveAddress = 1;
// Longer than the gap before a request and its answer time-out together.
constexpr uint32_t kTimeOutMs = 1000;

// Time passes as in the event loop: the clock stops at every timer on the way, so a timer armed from
// another's callback (the answer time-out once the gap before sending is over) counts from that
// moment, not from the end of one long jump.
void passTime(TimerQueue& timers, platform::VirtualClock& clock, uint32_t ms) {
    for (;;) {
        int next = timers.firingDelayMs();
        if (next < 0 || static_cast<uint32_t>(next) > ms) {
            clock.advanceMs(ms);
            timers.runDue();
            return;
        }
        clock.advanceMs(static_cast<uint32_t>(next));
        ms -= static_cast<uint32_t>(next);
        timers.runDue();
    }
}

// The drive bus, its received frames handed in as the receiver hands them on.
class FramedBus : public SMBus {
public:
    void frame(Bytes bytes) { rtu_rx_timeout(std::move(bytes)); }
};

class QuietOwner : public PumpUnitOwner {
public:
    void setOutput(int, bool) override {}
    void motorStarted(int) override {}
    void motorStopped(int) override {}
    void valveClosedByUnit(int) override {}
    void checkMotorOverheat() override {}
    void checkOverCurrent() override {}
    void rebuildDriveAlarmText() override {}
    void checkDriveTemperature() override {}
    void onTurningStopped() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    TimerQueue& timers = fuzzTimers();
    platform::VirtualClock& clock = FuzzBoard::get().clock();
    std::unique_ptr<Config>& config = defaultConfig();
    // The first byte: the drive model (bit 0) and the unit's control over Modbus (bit 1). Both are put
    // back at the end, so the next input finds the configuration as loaded.
    const int32_t loadedType = config->typeDrive1.current;
    const int32_t loadedControl = config->controlTypeDrive1.current;
    config->typeDrive1.current = data[0] & 1;
    config->controlTypeDrive1.current = data[0] >> 1 & 1;
    // Set up as the daemon sets up its drive bus. The line settings matter: a pty keeps 8 data bits
    // whatever it is told, so with the master's default of 7 only the first open in a process
    // succeeded and every later input found the port closed and nothing in flight.
    FramedBus bus;
    bus.setDevice("/dev/ttyS2");
    bus.setRtu(true);
    bus.setBaudrate(std::atoi(config->modbusSpeed.currentText().c_str()));
    bus.setDataBits(8);
    bus.setStopBits(2);
    bus.setParity(false, false);
    gDriveBus = &bus;
    {
        QuietOwner owner;
        PumpUnit unit(owner, bus, kUnit, kDriveAddress);
        unit.startPolling();
        FUZZ_CHECK(bus.queuedRequests() == 1, "the drive bus did not open, so no answer would be matched");
        // Records: a kind byte, a length, then the frame. Kind bit 0: the CRC is appended (so the
        // frame passes the check); bit 1: a second passes first, so the request on the line times
        // out; bits 2-7: milliseconds of virtual time before the frame.
        for (size_t at = 1; at + 2 <= size;) {
            uint8_t kind = data[at];
            size_t length = std::min<size_t>(data[at + 1], size - at - 2);
            Bytes frame(data + at + 2, data + at + 2 + length);
            at += 2 + length;
            passTime(timers, clock, kind & 2 ? kTimeOutMs : kind >> 2);
            if (kind & 1)
                frame = rtuFrame(frame.data(), frame.size());
            bus.frame(std::move(frame));
            FUZZ_CHECK(bus.queuedRequests() <= 1, std::to_string(bus.queuedRequests()) + " requests queued");
        }
    }
    // The request on the line when the unit went finishes (without calling back) at its time-out.
    FUZZ_CHECK(bus.queuedRequests() <= 1, "the unit's queued requests outlived it");
    passTime(timers, clock, kTimeOutMs);
    FUZZ_CHECK(bus.queuedRequests() == 0, "the request on the line never finished");
    gDriveBus = nullptr;
    config->typeDrive1.current = loadedType;
    config->controlTypeDrive1.current = loadedControl;
    return 0;
}
