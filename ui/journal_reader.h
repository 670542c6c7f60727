#pragma once
// Reads a journal file line by line in slices, up to the size it had when it was opened, so that
// entries written between slices do not change what one opening shows.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class JournalReader {
public:
    enum class Status { More, Done, Failed };

    // False when the file cannot be read (missing, no regular file, no permission).
    bool open(const std::string& path);
    // Up to maxLines further lines, without their line ends, appended to lines.
    Status read(size_t maxLines, std::vector<std::string>& lines);
    void close();
    bool isOpen() const { return file_ != nullptr; }

private:
    struct Closer {
        void operator()(FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<FILE, Closer> file_;
    long long left_ = 0;
};
