#include "drive/dynamogram_saving.h"

#include "config/config.h"
#include "core/log.h"
#include "core/write_all.h"
#include "drive/dynamogram_file.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char kUnit[] = "controller";

// Far more files than one minute can produce; the bound only keeps a strange directory from looping.
constexpr int kMaxSuffix = 10000;
// A file is written here first, so a crash never leaves part of one under a dynamogram's name.
const char kTemporaryName[] = "/var/spool/dynamogram.tmp";

// Whole on disk under a name no reader takes for a dynamogram, or false, logged under the name the
// file was to have.
bool writeTemporary(const std::vector<uint8_t>& bytes, const std::string& temporary,
                    const std::string& name) {
    platform::UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd && writeAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0)
        return true;
    LOG_MSG(LOG_ERR, kUnit, "cannot create file %s: %s", name.c_str(), strerror(errno));
    ::unlink(temporary.c_str());
    return false;
}

} // namespace

void DynamogramSaver::cycleFinished() {
    if (periodRunning())
        return;
    save();
}

void DynamogramSaver::save() {
    if (!records_.empty())
        write(*records_.back());
    float minutes = gConfig->recordPeriod.value;
    if (minutes > 0) {
        timer_.start("saveDG", static_cast<uint32_t>(minutes * 60000.0f), [this] { save(); });
        return;
    }
    heldUntilStart_ = true;
}

void DynamogramSaver::writeUnwritten() {
    for (auto& record : records_)
        write(*record);
}

void DynamogramSaver::restartPeriod() {
    timer_.cancel();
    heldUntilStart_ = false;
}

void DynamogramSaver::write(DynamogramRecord& record) {
    if (record.skip || record.written)
        return;
    time_t now = platform::wallTime();
    tm local{};
    localtime_r(&now, &local);
    std::string temporary = platform::rootPath(kTemporaryName);
    if (!writeTemporary(encodeDynamogramFile(record.cycle(), local), temporary, dynamogramFileName(local, 0)))
        return;
    // The whole file gets its name at once; like O_EXCL, link() never takes a name already there.
    for (int suffix = 0;; ++suffix) {
        std::string name = dynamogramFileName(local, suffix);
        if (::link(temporary.c_str(), platform::rootPath(name).c_str()) == 0) {
            ::unlink(temporary.c_str());
            record.written = true;
            return;
        }
        if (errno != EEXIST || suffix >= kMaxSuffix) {
            LOG_MSG(LOG_ERR, kUnit, "cannot create file %s: %s", name.c_str(), strerror(errno));
            ::unlink(temporary.c_str());
            return;
        }
    }
}
