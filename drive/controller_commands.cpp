#include "drive/controller_commands.h"

#include "drive/board_thermometer.h"
#include "drive/drive_parameters.h"
#include "drive/pump_unit.h"
#include "drive/stroke_rate_tuning.h"
#include "fieldbus/smbus.h"

namespace {

constexpr uint8_t kWriteSingleRegister = 0x06;

} // namespace

void ControllerCommands::writeDriveParameters() {
    for (int group = 1; group <= kParameterGroups; ++group) {
        writeParameterGroup(unit1_, group);
        writeParameterGroup(unit2_, group);
    }
}

void ControllerCommands::resetPerformanceParameters() {
    tuning_.resetPerformance();
}

bool ControllerCommands::writeDriveRegister(int unitNumber, uint16_t reg, uint16_t value) {
    PumpUnit& unit = unitNumber == 2 ? unit2_ : unit1_;
    uint8_t pdu[] = {static_cast<uint8_t>(unit.address()), kWriteSingleRegister,
                     static_cast<uint8_t>(reg >> 8),       static_cast<uint8_t>(reg),
                     static_cast<uint8_t>(value >> 8),     static_cast<uint8_t>(value)};
    return unit.bus().request(pdu, static_cast<int>(sizeof pdu), nullptr, nullptr);
}

int ControllerCommands::searchThermometer() {
    return searchBoardThermometer();
}
