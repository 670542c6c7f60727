#pragma once
// Writing one value into a sysfs attribute file (GPIO direction and value).

// Writes `text` into the file at the board path, replacing what it held. Returns 0, or the errno
// value of the failed open.
int writeSysfsFile(const char* absolutePath, const char* text);
