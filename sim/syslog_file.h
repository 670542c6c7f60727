#pragma once
// The sandbox's "/var/log/messages": every diagnostic line of the daemon appended as the board's
// syslog daemon writes it ("Dec  7 23:11:01 velkord[PID]: text"), stamped with the board's wall
// clock, so that the log copies onto a drive have a real log to read.

#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <mutex>
#include <string>

class SyslogFile {
public:
    explicit SyslogFile(platform::Platform& board);
    // Detaches from the platform's log.
    ~SyslogFile();
    SyslogFile(const SyslogFile&) = delete;
    SyslogFile& operator=(const SyslogFile&) = delete;

    // The line as it is written, without its line end.
    static std::string format(time_t when, int pid, const std::string& text);

private:
    void append(const std::string& text);

    platform::Platform& board_;
    std::string path_;
    // Lines come from the worker threads too.
    std::mutex mutex_;
    platform::UniqueFd file_;
};
