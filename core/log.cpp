#include "core/log.h"

#include "platform/platform.h"

#include <cstdio>
#include <vector>

std::string formatTextV(const char* format, va_list arguments) {
    char small[256];
    va_list copy;
    va_copy(copy, arguments);
    int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0)
        return std::string();
    if (static_cast<size_t>(length) < sizeof small)
        return std::string(small, static_cast<size_t>(length));
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, arguments);
    return std::string(large.data(), static_cast<size_t>(length));
}

std::string formatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatTextV(format, arguments);
    va_end(arguments);
    return text;
}

void logVPrintf(int priority, const char* format, va_list arguments) {
    if (priority > kLogThreshold)
        return;
    if (!platform::gPlatform) {
        vsyslog(priority, format, arguments);
        return;
    }
    platform::gPlatform->log(priority, formatTextV(format, arguments));
}

void logPrintf(int priority, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    logVPrintf(priority, format, arguments);
    va_end(arguments);
}
