#pragma once
// A started configuration, the event loop and a slave for the SCADA slave tests; requests and
// responses written out byte by byte.

#include "core/epoller.h"
#include "core/registry.h"
#include "core/timer_queue.h"
#include "fieldbus/drive_status.h"
#include "fieldbus/smbus_slave.h"
#include "tests/config/config_fixture.h"

#include <memory>

// Readings a test sets as it likes.
class FixedDriveStatus : public DriveStatus {
public:
    DriveReadings driveReadings() const override { return readings; }
    DriveReadings readings;
};

class SlaveFixture : public ConfigFixture {
protected:
    SlaveFixture() {
        EXPECT_TRUE(EPoller::init());
        gTimers = &timers;
        config = start();
        gSerialNumber = "unknown";
    }
    ~SlaveFixture() override {
        slave.close();
        gTimers = nullptr;
        EPoller::shutdown();
        gSerialNumber.clear();
    }

    // Address 52 (the default modbusAddress), a function code and 16-bit fields.
    static Bytes pdu(uint8_t function, std::initializer_list<uint16_t> words, uint8_t address = 52) {
        Bytes bytes{address, function};
        for (uint16_t word : words) {
            bytes.push_back(static_cast<uint8_t>(word >> 8));
            bytes.push_back(static_cast<uint8_t>(word & 0xFF));
        }
        return bytes;
    }
    // A function 16 request: start, then the registers.
    static Bytes writeRegisters(uint16_t start, std::initializer_list<uint16_t> values,
                                uint8_t address = 52) {
        Bytes bytes = pdu(16, {start, static_cast<uint16_t>(values.size())}, address);
        bytes.push_back(static_cast<uint8_t>(2 * values.size()));
        for (uint16_t value : values) {
            bytes.push_back(static_cast<uint8_t>(value >> 8));
            bytes.push_back(static_cast<uint8_t>(value & 0xFF));
        }
        return bytes;
    }
    static Bytes exception(uint8_t function, uint8_t code, uint8_t address = 52) {
        return {address, static_cast<uint8_t>(function | 0x80), code};
    }
    // The registers of a read response (after its byte count).
    static std::vector<uint16_t> registersOf(const Bytes& response) {
        std::vector<uint16_t> words;
        for (size_t i = 3; i + 1 < response.size(); i += 2)
            words.push_back(static_cast<uint16_t>(response[i] << 8 | response[i + 1]));
        return words;
    }
    uint16_t holding(uint16_t reg) {
        std::vector<uint16_t> words = registersOf(slave.handleRequest(pdu(3, {reg, 1})));
        return words.empty() ? 0xDEAD : words[0];
    }
    std::vector<uint16_t> input(uint16_t start, uint16_t count) {
        return registersOf(slave.handleRequest(pdu(4, {start, count})));
    }

    TimerQueue timers;
    std::unique_ptr<Config> config;
    SMBusSlave slave;
};
