#include "core/journal.h"

#include "core/log.h"
#include "core/write_all.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

platform::UniqueFd journalFd;
JournalParameterLine parameterLine;

std::string historyPath(int index) {
    return platform::rootPath("/var/log/events." + std::to_string(index));
}

std::string stamp(time_t now) {
    tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    size_t length = strftime(buffer, sizeof buffer, "%b %d %H:%M:%S ", &local);
    return std::string(buffer, length);
}

void writeText(int fd, const std::string& text) {
    writeAll(fd, text.data(), text.size());
}

void rotateIfFull() {
    struct stat info {};
    if (fstat(journalFd.get(), &info) != 0)
        return;
    if (!S_ISREG(info.st_mode) || info.st_size <= kJournalRotateBytes)
        return;
    for (int i = kJournalHistoryFiles - 2; i >= 0; --i)
        std::rename(historyPath(i).c_str(), historyPath(i + 1).c_str());
    journalFd.reset();
    std::rename(platform::rootPath("/var/log/events").c_str(), historyPath(0).c_str());
}

} // namespace

void setJournalParameterLine(JournalParameterLine source) {
    parameterLine = std::move(source);
}

void journalClose() {
    journalFd.reset();
}

void journalPrintf(int priority, const char* format, ...) {
    if (priority > kLogThreshold)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatTextV(format, arguments);
    va_end(arguments);
    logPrintf(priority, "%s", text.c_str());

    time_t now = platform::wallTime();
    // Reopened for every entry, so a journal removed or moved by anyone else is recreated.
    journalFd.reset(::open(platform::rootPath("/var/log/events").c_str(),
                           O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!journalFd)
        return;
    std::string entryStamp = stamp(now);
    writeText(journalFd.get(), entryStamp + text + "\n");
    if (parameterLine) {
        std::string parameters = parameterLine();
        if (!parameters.empty())
            writeText(journalFd.get(), entryStamp + parameters + "\n");
    }
    rotateIfFull();
}
