#pragma once
// The small files a worker thread and the main thread exchange in a shared directory ("/tmp"): each
// written whole under "path.tmp" and renamed into place, so a reader never sees half a line. Anyone may
// create files there, so the temporary file is made afresh and never through a link planted at its
// name, and a reader never follows a link nor waits on a FIFO standing at the name.

#include "platform/unique_fd.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

// Writes content to path + ".tmp" and renames it to path; false (errno set) when that failed.
bool replaceExchangeFile(const std::string& path, const std::string& content);

// The first line of a regular file, without its line feed; false when it cannot be read (a link, a
// FIFO, a directory, a missing file) or holds no line at all.
bool readExchangeLine(const std::string& path, std::string& line);

// One exchange file that is rewritten only when its content changes, or when kRefreshMs passed since
// it was last written (a file someone removed comes back): a reading that holds still costs no write.
class ExchangeFileWriter {
public:
    static constexpr uint64_t kRefreshMs = 60000;

    explicit ExchangeFileWriter(std::string path) : path_(std::move(path)) {}

    // As replaceExchangeFile; true at once when the same content was written less than kRefreshMs
    // before nowMs.
    bool write(const std::string& content, uint64_t nowMs);
    const std::string& path() const { return path_; }

private:
    const std::string path_;
    std::string written_;
    uint64_t writtenMs_ = 0;
    bool current_ = false;
};

// One exchange file read again and again: the file last read is kept open, and while it is still the
// one at the name (a writer's rename leaves it without links) and unchanged, its line is given again
// for one fstat instead of opening and reading it anew. The rules of readExchangeLine apply to what is
// opened.
class ExchangeFileReader {
public:
    explicit ExchangeFileReader(std::string path) : path_(std::move(path)) {}

    // As readExchangeLine.
    bool read(std::string& line);
    const std::string& path() const { return path_; }

private:
    bool unchanged() const;
    bool readOpen(std::string& line);

    const std::string path_;
    platform::UniqueFd fd_;
    struct stat status_ {};
    std::string line_;
    bool lineValid_ = false;
};
