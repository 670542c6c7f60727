#include "periph/exchange_file.h"

#include "core/write_all.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Longer lines are cut: the files hold a path or a number.
constexpr size_t kMaxLineBytes = 512;
// Attempts at the temporary name: the first, then two more while something keeps appearing there.
constexpr int kCreateAttempts = 3;

// O_EXCL never follows anything at the name; a stale temporary file or a link someone placed there is
// removed (the link, not what it names) and the name tried again. The usual case costs one call.
int createFresh(const std::string& path) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST)
            return fd;
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return -1;
    }
    return -1;
}

} // namespace

bool replaceExchangeFile(const std::string& path, const std::string& content) {
    std::string temporary = path + ".tmp";
    platform::UniqueFd fd(createFresh(temporary));
    if (!fd)
        return false;
    if (!content.empty() && !writeAll(fd.get(), content.data(), content.size())) {
        int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    fd.reset();
    return ::rename(temporary.c_str(), path.c_str()) == 0;
}

bool ExchangeFileWriter::write(const std::string& content, uint64_t nowMs) {
    if (current_ && content == written_ && nowMs - writtenMs_ < kRefreshMs)
        return true;
    current_ = replaceExchangeFile(path_, content);
    if (current_) {
        written_ = content;
        writtenMs_ = nowMs;
    }
    return current_;
}

namespace {

// A regular file opened without following a link or waiting on a FIFO; invalid otherwise.
platform::UniqueFd openRegular(const std::string& path, struct stat& status) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return platform::UniqueFd();
    return fd;
}

bool readFirstLine(int fd, std::string& line) {
    char buffer[kMaxLineBytes];
    ssize_t length = ::pread(fd, buffer, sizeof buffer, 0);
    if (length <= 0)
        return false;
    std::string text(buffer, static_cast<size_t>(length));
    line = text.substr(0, text.find('\n'));
    return true;
}

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool readExchangeLine(const std::string& path, std::string& line) {
    struct stat status {};
    platform::UniqueFd fd = openRegular(path, status);
    return fd && readFirstLine(fd.get(), line);
}

bool ExchangeFileReader::read(std::string& line) {
    if (fd_ && unchanged()) {
        if (lineValid_)
            line = line_;
        return lineValid_;
    }
    fd_ = openRegular(path_, status_);
    // A change in place while it is read leaves its times newer than these: it is read again then.
    lineValid_ = fd_ && readFirstLine(fd_.get(), line_);
    if (lineValid_)
        line = line_;
    return lineValid_;
}

bool ExchangeFileReader::unchanged() const {
    struct stat now {};
    // Without links the file is no longer the one at the name: a writer renamed a new one over it.
    return ::fstat(fd_.get(), &now) == 0 && now.st_nlink > 0 && now.st_size == status_.st_size &&
           sameTime(now.st_mtim, status_.st_mtim) && sameTime(now.st_ctim, status_.st_ctim);
}
