#include "ui/journal_reader.h"

#include <sys/stat.h>

bool JournalReader::open(const std::string& path) {
    close();
    std::unique_ptr<FILE, Closer> file(std::fopen(path.c_str(), "r"));
    struct stat status;
    if (!file || fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    left_ = status.st_size;
    file_ = std::move(file);
    return true;
}

JournalReader::Status JournalReader::read(size_t maxLines, std::vector<std::string>& lines) {
    if (!file_)
        return Status::Failed;
    std::string line;
    for (size_t count = 0; count < maxLines; ++count) {
        if (left_ <= 0)
            return Status::Done;
        line.clear();
        int c = 0;
        while (left_ > 0 && (c = getc_unlocked(file_.get())) != EOF) {
            --left_;
            if (c == '\n')
                break;
            line.push_back(static_cast<char>(c));
        }
        if (c == EOF && std::ferror(file_.get()))
            return Status::Failed;
        // A file cut shorter meanwhile ends here.
        if (c == EOF) {
            if (!line.empty())
                lines.push_back(line);
            return Status::Done;
        }
        lines.push_back(line);
    }
    return left_ > 0 ? Status::More : Status::Done;
}

void JournalReader::close() {
    file_.reset();
    left_ = 0;
}
