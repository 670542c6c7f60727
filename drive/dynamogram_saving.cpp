// Dynamogram files: "/var/spool/telm_YYYYMMDD_HHMM.bin" in local time, "_1", "_2" ... for further
// files of the same minute, created exclusively with mode 0644. At most one a recordPeriod: at the
// bottom of a steady cycle when the period is not running, and when "saveDG" fires; every unwritten
// record at a halt that closes the records.

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "core/write_all.h"
#include "drive/controller.h"
#include "drive/dynamogram_file.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>

namespace {

const char kUnit[] = "controller";

// Far more files than one minute can produce; the bound only keeps a strange directory from looping.
constexpr int kMaxSuffix = 10000;

} // namespace

void Controller::saveFinishedCycle() {
    if (dynamogramPeriodRunning())
        return;
    saveDynamogram();
}

void Controller::saveDynamogram() {
    if (!dynamograms_.empty())
        writeDynamogram(*dynamograms_.back());
    float minutes = gConfig->recordPeriod.value;
    if (minutes > 0) {
        saveDgTimer_.start("saveDG", static_cast<uint32_t>(minutes * 60000.0f), [this] { saveDynamogram(); });
        return;
    }
    dynamogramsHeldUntilStart_ = true;
}

void Controller::writeUnwrittenDynamograms() {
    for (auto& record : dynamograms_)
        writeDynamogram(*record);
}

void Controller::writeDynamogram(DynamogramRecord& record) {
    if (record.skip || record.written)
        return;
    time_t now = platform::wallTime();
    tm local{};
    localtime_r(&now, &local);
    std::vector<uint8_t> bytes = encodeDynamogramFile(record.cycle(), local);
    for (int suffix = 0;; ++suffix) {
        std::string name = dynamogramFileName(local, suffix);
        platform::UniqueFd fd(
            ::open(platform::rootPath(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (fd) {
            writeAll(fd.get(), bytes.data(), bytes.size());
            record.written = true;
            return;
        }
        if (errno != EEXIST || suffix >= kMaxSuffix) {
            LOG_MSG(LOG_ERR, kUnit, "cannot create file %s: %s", name.c_str(), strerror(errno));
            return;
        }
    }
}
