#include "drive/smart_correction.h"

#include "config/config.h"
#include "core/journal.h"
#include "core/log.h"
#include "drive/fill_factor.h"
#include "drive/smart_target.h"

#include <algorithm>
#include <vector>

float recordFillFactor(const DynamogramRecord& record) {
    if (record.skip || record.downLoads().empty())
        return 0.5f;
    const Config& c = *gConfig;
    float line = thresholdLine(c.lineBase.current, c.lineShift.value, c.absLineX.value, record.minLoad(),
                               record.maxLoad());
    return fillFactorOf(record.downLoads(), line, c.intersectionMode.current);
}

void SmartCorrection::arm() {
    float minutes = gConfig->nsCorrectionInterval.value;
    if (gConfig->nsMode.current == 0 || !(minutes > 0)) {
        timer_.cancel();
        pending_ = false;
        return;
    }
    timer_.start("nsTimer", static_cast<uint32_t>(minutes * 60000.0f), [this] {
        arm();
        correct();
    });
}

void SmartCorrection::recordCompleted() {
    if (pending_ && records_.size() > kRecordsUsed - 1 && completed_ > kRecordsUsed - 1)
        correct();
}

void SmartCorrection::correct() {
    if (records_.size() < kRecordsUsed || completed_ < kRecordsUsed) {
        pending_ = true;
        return;
    }
    pending_ = false;
    std::vector<float> fills;
    std::vector<float> rates;
    for (const auto& record : records_) {
        fills.push_back(recordFillFactor(*record));
        rates.push_back(record->strokesPerMinute);
    }
    float meanFill = middleMean(fills);
    const Config& c = *gConfig;
    float wanted = smartStrokeRate(middleMean(rates), meanFill, c.kNapol.value, c.nsCorrMode.current);
    wanted = std::min(c.nsMax.value, std::max(c.nsMin.value, wanted));
    float old = target_;
    target_ = wanted;
    if (wanted != old)
        journalPrintf(LOG_INFO, "Изменено число качаний: %f --> %f, Kнаполн=%f", old, wanted, meanFill);
}
