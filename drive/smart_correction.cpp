// The smart mode: every nsCorrectionInterval minutes ("nsTimer") the target is moved by the pump's
// fill factor over the last ten dynamograms. A correction due before ten cycles were completed waits
// for them and runs with the tenth.

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "core/registry.h"
#include "drive/controller.h"
#include "drive/fill_factor.h"
#include "drive/smart_target.h"

#include <algorithm>

float Controller::fillFactor(const DynamogramRecord& record) const {
    if (record.skip || record.downLoads().empty())
        return 0.5f;
    const Config& c = *gConfig;
    float line = thresholdLine(c.lineBase.current, c.lineShift.value, c.absLineX.value, record.minLoad(),
                               record.maxLoad());
    return fillFactorOf(record.downLoads(), line, c.intersectionMode.current);
}

// Armed while the smart mode is on; an interval of 0 corrects nothing.
void Controller::armStrokeRateCorrection() {
    float minutes = gConfig->nsCorrectionInterval.value;
    if (gConfig->nsMode.current == 0 || !(minutes > 0)) {
        nsTimer_.cancel();
        correctionPending_ = false; // a correction waiting for its ten cycles is dropped too
        return;
    }
    nsTimer_.start("nsTimer", static_cast<uint32_t>(minutes * 60000.0f), [this] { onStrokeRateTimer(); });
}

void Controller::onStrokeRateTimer() {
    armStrokeRateCorrection();
    correctStrokeRate();
}

void Controller::correctStrokeRate() {
    if (dynamograms_.size() < kDynamogramsKept || dynamogramsCompleted_ < kDynamogramsKept) {
        correctionPending_ = true;
        return;
    }
    correctionPending_ = false;
    std::vector<float> fills;
    std::vector<float> rates;
    for (const auto& record : dynamograms_) {
        fills.push_back(fillFactor(*record));
        rates.push_back(record->strokesPerMinute);
    }
    float meanFill = middleMean(fills);
    const Config& c = *gConfig;
    float wanted = smartStrokeRate(middleMean(rates), meanFill, c.kNapol.value, c.nsCorrMode.current);
    wanted = std::min(c.nsMax.value, std::max(c.nsMin.value, wanted));
    float old = smartTarget_;
    smartTarget_ = wanted;
    if (wanted != old)
        journalPrintf(LOG_INFO, "Изменено число качаний: %f --> %f, Kнаполн=%f", old, wanted, meanFill);
}
