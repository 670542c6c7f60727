#pragma once
// The small files a worker thread and the main thread exchange in a shared directory ("/tmp"): each
// written whole under "path.tmp" and renamed into place, so a reader never sees half a line. Anyone may
// create files there, so the temporary file is made afresh and never through a link planted at its
// name, and a reader never follows a link nor waits on a FIFO standing at the name.

#include <string>

// Writes content to path + ".tmp" and renames it to path; false (errno set) when that failed.
bool replaceExchangeFile(const std::string& path, const std::string& content);

// The first line of a regular file, without its line feed; false when it cannot be read (a link, a
// FIFO, a directory, a missing file) or holds no line at all.
bool readExchangeLine(const std::string& path, std::string& line);
