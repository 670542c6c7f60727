#include "sim/syslog_file.h"

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

SyslogFile::SyslogFile(platform::Platform& board)
    : board_(board), path_(platform::rootPath(std::string("/var/log/messages"))) {
    if (!board_.root().empty())
        path_ = board_.root() + "/var/log/messages";
    board_.setLogObserver([this](int, const std::string& text) { append(text); });
}

SyslogFile::~SyslogFile() {
    board_.setLogObserver(nullptr);
}

std::string SyslogFile::format(time_t when, int pid, const std::string& text) {
    tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    // "%b %e" in the C locale, whatever the process's locale is.
    std::snprintf(stamp, sizeof stamp, "%s %2d %02d:%02d:%02d", kMonths[local.tm_mon], local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    return std::string(stamp) + " velkord[" + std::to_string(pid) + "]: " + text;
}

void SyslogFile::append(const std::string& text) {
    std::string line =
        format(board_.clock().wallTime().tv_sec, static_cast<int>(platform::processId()), text);
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    line += "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    // The file stays open; one removed or replaced since (its links gone) is opened afresh.
    struct stat status {};
    if (file_ && (::fstat(file_.get(), &status) != 0 || status.st_nlink == 0))
        file_.reset();
    if (!file_)
        file_.reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!file_)
        return;
    if (::write(file_.get(), line.data(), line.size()) < 0) {
    }
}
