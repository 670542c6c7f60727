// The parameter download to a drive (ControllerCommands::writeDriveParameters sends it to both), group by
// group (frequency limits, ramps, direction, motor current, control site), each write one fire-and-forget
// request.

#include "drive/drive_parameters.h"

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/unit_settings.h"
#include "fieldbus/smbus.h"

#include <vector>

namespace {

constexpr uint8_t kWriteSingleRegister = 0x06;
constexpr uint8_t kWriteMultipleRegisters = 0x10;

DriveParameterInputs inputsOf(int unit) {
    DriveParameterInputs in;
    in.maxFreq = maxFreqOf(unit).value;
    in.accelTime = accelTimeOf(unit).value;
    in.decelTime = decelTimeOf(unit).value;
    in.coasting = coastsToStop(unit);
    in.reverse = gConfig->manualReverseStart.current == 0;
    in.nomCurrent = nomCurrentOf(unit).value;
    in.discrete = controlTypeOf(unit).current == 0;
    return in;
}

void push16(std::vector<uint8_t>& pdu, uint32_t value) {
    pdu.push_back(static_cast<uint8_t>(value >> 8));
    pdu.push_back(static_cast<uint8_t>(value));
}

std::vector<uint8_t> parameterPdu(uint8_t address, const DriveParameterRow& row, uint32_t value) {
    std::vector<uint8_t> pdu = {address};
    switch (row.write) {
    case ParameterWrite::Single:
        pdu.push_back(kWriteSingleRegister);
        push16(pdu, row.reg);
        push16(pdu, value);
        break;
    case ParameterWrite::SingleAsMulti:
        pdu.push_back(kWriteMultipleRegisters);
        push16(pdu, row.reg);
        push16(pdu, 1);
        pdu.push_back(2);
        push16(pdu, value);
        break;
    case ParameterWrite::Double:
        pdu.push_back(kWriteMultipleRegisters);
        push16(pdu, row.reg);
        push16(pdu, 2);
        pdu.push_back(4);
        push16(pdu, value >> 16);
        push16(pdu, value);
        break;
    }
    return pdu;
}

} // namespace

void writeParameterGroup(PumpUnit& unit, int group) {
    int model = driveTypeOf(unit.unit()).current;
    DriveParameterInputs in = inputsOf(unit.unit());
    if (model == 1 && group == kDirectionGroup) {
        // The second model takes its direction from the command of its control frame.
        unit.setReverse(in.reverse);
        return;
    }
    int count = 0;
    const DriveParameterRow* rows = driveParameterRows(model, count);
    for (int i = 0; i < count; ++i) {
        if (rows[i].group != group)
            continue;
        std::vector<uint8_t> pdu =
            parameterPdu(static_cast<uint8_t>(unit.address()), rows[i], rows[i].value(in));
        unit.bus().request(pdu.data(), static_cast<int>(pdu.size()), nullptr, nullptr);
    }
}

// "Разовый реверсный пуск" is one reverse start: released, the up button sets it back, and the
// drives must turn forward again without waiting for the next download.
void Controller::writeDriveDirection() {
    writeParameterGroup(*unit1_, kDirectionGroup);
    writeParameterGroup(*unit2_, kDirectionGroup);
}
