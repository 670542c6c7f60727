// What setting changes do to the drive: the remote stop and the monitoring switches (SettingAlarms),
// the drive addresses, the direction of the one reverse start, the smart mode's correction timer, the
// dynamogram period, and the performance file that keeps the selections.

#include "config/config.h"
#include "core/registry.h"
#include "drive/controller.h"

namespace {

bool isPerformanceSetting(const void* setting) {
    const Config& c = *gConfig;
    return setting == &c.selectedDrive1 || setting == &c.selectedDrive2 || setting == &c.selectedValve1 ||
           setting == &c.selectedValve2 || setting == &c.freqDrive1 || setting == &c.freqDrive2;
}

} // namespace

void Controller::onSettingChanged(const void* setting, float newValue, float) {
    Config& c = *gConfig;
    if (setting == &c.stopDrive)
        settingAlarms_.stopDriveChanged();
    else if (setting == &c.oilSensorConnection)
        oilLevel_.connectionChanged();
    else if (setting == &c.topSensorType || setting == &c.botSensorType || setting == &c.magSensorConnection)
        settingAlarms_.sensorConnectionChanged();
    else if (setting == &c.modbusAddrDrive1)
        unit1_->setAddress(static_cast<int>(newValue));
    else if (setting == &c.modbusAddrDrive2)
        unit2_->setAddress(static_cast<int>(newValue));
    else if (setting == &c.nsMode || setting == &c.nsCorrectionInterval)
        tuning_.smart().arm();
    else if (setting == &c.manualReverseStart)
        writeDriveDirection();
    else if (setting == &c.recordPeriod)
        recorder_.saver().releaseHold(); // a new period begins with the next steady cycle
    else if (isPerformanceSetting(setting))
        c.savePerf();
}
