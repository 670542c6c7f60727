// The function codes of the slave: request checks, exception responses and the coil, discrete input
// and input register reads. Holding registers are in smbus_slave_registers.cpp.

#include "fieldbus/smbus_slave.h"

#include "config/config.h"
#include "core/registry.h"
#include "fieldbus/register_map.h"
#include "platform/clock.h"

#include <algorithm>

namespace {

uint16_t wordAt(const Bytes& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void appendWord(Bytes& bytes, uint16_t word) {
    bytes.push_back(static_cast<uint8_t>(word >> 8));
    bytes.push_back(static_cast<uint8_t>(word & 0xFF));
}

void makeException(Bytes& response, uint8_t code) {
    response.resize(2);
    response[1] |= 0x80;
    response.push_back(code);
}

// A read request: address, function, start, quantity.
struct ReadRange {
    int start;
    int quantity;
};

// The range of a read request; false with the response made exception 3 when it is malformed.
bool readRange(const Bytes& request, int maxQuantity, ReadRange& range, Bytes& response) {
    if (request.size() != 6) {
        makeException(response, SMBusSlave::kIllegalDataValue);
        return false;
    }
    range = {wordAt(request, 2), wordAt(request, 4)};
    if (range.quantity > maxQuantity) {
        makeException(response, SMBusSlave::kIllegalDataValue);
        return false;
    }
    return true;
}

// The bits of a read, bit 0 of the first data byte first, after their byte count.
template <typename BitAt> void appendBits(Bytes& response, int quantity, BitAt bitAt) {
    response.push_back(static_cast<uint8_t>((quantity + 7) / 8));
    for (int i = 0; i < quantity; ++i) {
        if (i % 8 == 0)
            response.push_back(0);
        if (bitAt(i))
            response.back() |= static_cast<uint8_t>(1u << (i % 8));
    }
}

int coilCount() {
    return static_cast<int>(coilFlags(*gConfig).options.size());
}

} // namespace

SMBusSlave::Handler SMBusSlave::handlerFor(uint8_t function) {
    switch (function) {
    case 1:
        return &SMBusSlave::readCoils;
    case 2:
        return &SMBusSlave::readDiscreteInputs;
    case 3:
        return &SMBusSlave::readHoldingRegisterRequest;
    case 4:
        return &SMBusSlave::readInputRegisters;
    case 5:
        return &SMBusSlave::writeSingleCoil;
    case 6:
        return &SMBusSlave::writeSingleRegister;
    case 15:
        return &SMBusSlave::writeMultipleCoils;
    case 16:
        return &SMBusSlave::writeMultipleRegisters;
    default:
        return nullptr;
    }
}

Bytes SMBusSlave::handleRequest(const Bytes& request) {
    if (request.size() < 2)
        return {};
    Bytes response{request[0], request[1]};
    Handler handler = handlerFor(request[1]);
    if (handler) {
        // A request writing a hundred settings saves the file once, when it is done, not once per
        // setting: each save is synced to flash and would stall the control cycle.
        Config::SaveBatch batch(gConfig);
        (this->*handler)(request, response);
    } else {
        makeException(response, kIllegalFunction);
    }
    // A broadcast is executed and never answered.
    if (request[0] == 0)
        return {};
    return response;
}

void SMBusSlave::readCoils(const Bytes& request, Bytes& response) {
    ReadRange range;
    if (!readRange(request, kMaxReadBits, range, response))
        return;
    if (range.quantity > 0 && range.start + range.quantity > coilCount())
        return makeException(response, kIllegalDataAddress);
    const ConfigFlagsGroup& flags = coilFlags(*gConfig);
    appendBits(response, range.quantity,
               [&](int i) { return flags.isOn(static_cast<unsigned>(range.start + i)); });
}

void SMBusSlave::readDiscreteInputs(const Bytes& request, Bytes& response) {
    ReadRange range;
    if (!readRange(request, kMaxReadBits, range, response))
        return;
    if (range.quantity > 0 && range.start + range.quantity > kDiscreteInputCount)
        return makeException(response, kIllegalDataAddress);
    DriveReadings drive = driveStatus_ ? driveStatus_->driveReadings() : DriveReadings{};
    const DiscreteInputRow* inputs = discreteInputRows().begin();
    appendBits(response, range.quantity, [&](int i) { return inputs[range.start + i].read(drive); });
}

void SMBusSlave::readHoldingRegisterRequest(const Bytes& request, Bytes& response) {
    ReadRange range;
    if (readRange(request, kMaxReadRegisters, range, response))
        readHoldingRegisters(range.start, range.quantity, response);
}

void SMBusSlave::readInputRegisters(const Bytes& request, Bytes& response) {
    ReadRange range;
    if (!readRange(request, kMaxReadRegisters, range, response))
        return;
    if (range.quantity > 0 && range.start + range.quantity > kInputRegisterCount)
        return makeException(response, kIllegalDataAddress);
    LiveValues values{*gConfig, gSerialNumber, platform::wallTime(),
                      driveStatus_ ? driveStatus_->driveReadings() : DriveReadings{}};
    response.reserve(3 + 2 * static_cast<size_t>(range.quantity));
    response.push_back(static_cast<uint8_t>(2 * range.quantity));
    for (int reg = range.start; reg < range.start + range.quantity; ++reg)
        appendWord(response, readInputRegister(values, reg));
}

void SMBusSlave::writeSingleCoil(const Bytes& request, Bytes& response) {
    if (request.size() != 6)
        return makeException(response, kIllegalDataValue);
    int coil = wordAt(request, 2);
    if (coil >= coilCount())
        return makeException(response, kIllegalDataValue);
    // Any non-zero value switches the coil on.
    coilFlags(*gConfig).setFlag(static_cast<unsigned>(coil), wordAt(request, 4) != 0);
    response = request;
}

void SMBusSlave::writeSingleRegister(const Bytes& request, Bytes& response) {
    if (request.size() != 6)
        return makeException(response, kIllegalDataValue);
    int reg = wordAt(request, 2);
    beginWrite(reg, 1);
    int result = endWrite(reg, 1, writeRegister(reg, wordAt(request, 4), true));
    if (result != 0)
        return makeException(response, static_cast<uint8_t>(result));
    response = request;
}

void SMBusSlave::writeMultipleCoils(const Bytes& request, Bytes& response) {
    if (request.size() < 7)
        return makeException(response, kIllegalDataValue);
    int start = wordAt(request, 2);
    int quantity = wordAt(request, 4);
    size_t byteCount = request[6];
    if (byteCount != static_cast<size_t>((quantity + 7) / 8) || request.size() != byteCount + 7)
        return makeException(response, kIllegalDataValue);
    if (start + quantity > coilCount())
        return makeException(response, kIllegalDataAddress);
    ConfigFlagsGroup& flags = coilFlags(*gConfig);
    uint64_t mask = flags.mask;
    for (int i = 0; i < quantity; ++i) {
        uint64_t bit = uint64_t{1} << (start + i);
        if (request[7 + i / 8] >> (i % 8) & 1)
            mask |= bit;
        else
            mask &= ~bit;
    }
    flags.setAll(mask);
    response.assign(request.begin(), request.begin() + 6);
}

void SMBusSlave::writeMultipleRegisters(const Bytes& request, Bytes& response) {
    if (request.size() < 7)
        return makeException(response, kIllegalDataValue);
    int start = wordAt(request, 2);
    int quantity = wordAt(request, 4);
    size_t byteCount = request[6];
    if (byteCount != 2 * static_cast<size_t>(quantity) || request.size() != byteCount + 7)
        return makeException(response, kIllegalDataValue);
    beginWrite(start, quantity);
    int result = 0;
    for (int i = 0; i < quantity && result == 0; ++i)
        result = writeRegister(start + i, wordAt(request, 7 + 2 * static_cast<size_t>(i)), i == quantity - 1);
    result = endWrite(start, quantity, result);
    if (result != 0)
        return makeException(response, static_cast<uint8_t>(result));
    response.assign(request.begin(), request.begin() + 6);
}

void SMBusSlave::readHoldingRegisters(int start, int count, Bytes& response) {
    if (count > 0 && start + count > kHoldingRegisterCount)
        return makeException(response, kIllegalDataAddress);
    response.reserve(response.size() + 1 + 2 * static_cast<size_t>(count));
    response.push_back(static_cast<uint8_t>(2 * count));
    // Row by row: a read of many registers looks each row up once.
    for (int reg = start; reg < start + count;) {
        const HoldingRegisterRow& row = *holdingRegisterRow(reg);
        for (int end = std::min(start + count, row.first + row.count); reg < end; ++reg)
            appendWord(response, holdingRegister(row, reg));
    }
}
