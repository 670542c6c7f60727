#pragma once
// Writes a whole buffer to a descriptor, continuing after short writes.

#include <cstddef>

// False when a write failed or wrote nothing before the end (errno tells why).
bool writeAll(int fd, const void* data, size_t size);
