#pragma once
// Writing one value into a sysfs attribute file (GPIO direction and value).

// Writes `text` into the file at the board path, replacing what it held. Returns 0, or the errno
// value of the failed open.
int writeSysfsFile(const char* absolutePath, const char* text);

#include "platform/unique_fd.h"

#include <string>

// A sysfs attribute held open for writing for the whole run (a drive's reset line). Every write replaces
// the value; writes to a file that could not be opened do nothing.
class SysfsValueFile {
public:
    // Opens the file at the board path write-only; 0, or the errno value of the failed open.
    int open(const char* absolutePath);
    bool isOpen() const { return fd_.valid(); }
    void write(const char* text);

private:
    platform::UniqueFd fd_;
    std::string path_;
};
