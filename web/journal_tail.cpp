#include "web/journal_tail.h"

#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kJournalPath[] = "/var/log/events";

// Closes the descriptor when the read is over.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (fd_ >= 0)
            close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

std::string readTail(const std::string& path) {
    ReadOnlyFile file(path);
    struct stat info {};
    if (file.fd() < 0 || fstat(file.fd(), &info) != 0)
        return {};
    off_t start = info.st_size > kJournalTailBytes ? info.st_size - kJournalTailBytes : 0;
    std::string text(static_cast<size_t>(info.st_size - start), '\0');
    ssize_t got = pread(file.fd(), &text[0], text.size(), start);
    if (got < 0)
        return {};
    text.resize(static_cast<size_t>(got));
    // A tail that starts inside a line drops that partial line.
    if (start > 0) {
        size_t firstBreak = text.find('\n');
        text.erase(0, firstBreak == std::string::npos ? text.size() : firstBreak + 1);
    }
    return text;
}

} // namespace

std::vector<std::string> journalTail(size_t count) {
    std::string text = readTail(platform::rootPath(kJournalPath));
    std::vector<std::string> all;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        if (end > begin)
            all.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    std::vector<std::string> newestFirst;
    for (auto line = all.rbegin(); line != all.rend() && newestFirst.size() < count; ++line)
        newestFirst.push_back(*line);
    return newestFirst;
}
