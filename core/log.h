#pragma once
// Diagnostic messages to the system log, filtered at priority 6 (debug is never emitted).

#include <cstdarg>
#include <string>
#include <syslog.h>

// Highest syslog priority number that is emitted; nothing changes it.
constexpr int kLogThreshold = LOG_INFO;

void logPrintf(int priority, const char* format, ...) __attribute__((format(printf, 2, 3)));
void logVPrintf(int priority, const char* format, va_list arguments);

// printf into a string.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatTextV(const char* format, va_list arguments);

// A message in the daemon's convention "unit:line: text"; each source file names its unit.
#define LOG_MSG(priority, unit, format, ...)                                                                 \
    logPrintf((priority), "%s:%d: " format, (unit), __LINE__, ##__VA_ARGS__)
