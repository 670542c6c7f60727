// velkord-dyno: dynamogram files off the board turned into CSV tables and SVG cards.

#include "drive/dynamogram_file.h"
#include "tools/dyno_export.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char kUsage[] =
    "usage: velkord-dyno [options] FILE.bin...\n"
    "Writes FILE.csv (time, phase, load) and FILE.svg (the card) beside each dynamogram file.\n"
    "\n"
    "  --position     plot load against the rod position instead of time\n"
    "  --csv-only     write only the CSV tables\n"
    "  --svg-only     write only the SVG cards\n"
    "  --out DIR      write into DIR instead of beside the input\n"
    "  --help         this text\n";

// Outputs are readable by everyone, as files written with the usual umask are.
constexpr mode_t kOutputMode = 0644;

struct Options {
    CardAxis axis = CardAxis::Time;
    bool csv = true;
    bool svg = true;
    std::string outDir;
    std::vector<std::string> files;
};

// Reads at most one byte more than a dynamogram file holds: a larger file is refused without being read
// whole. The file is opened without waiting (a FIFO with no writer would block the open) and anything
// but a regular file is refused (ENODEV in errno).
bool readCard(const std::string& path, std::vector<uint8_t>& bytes) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0)
        return false;
    if (!S_ISREG(status.st_mode)) {
        errno = ENODEV;
        return false;
    }
    bytes.resize(kDynamogramFileSize + 1);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return true;
}

// Written under a fresh temporary name beside the output and renamed into place: a symbolic link (or
// anything else) standing at the output's name is replaced, never followed, and a reader never sees
// half a file.
bool writeAll(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    platform::UniqueFd fd(::mkostemp(&temporary[0], O_CLOEXEC));
    if (!fd)
        return false;
    bool written = ::fchmod(fd.get(), kOutputMode) == 0;
    for (size_t done = 0; written && done < text.size();) {
        ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        if (written)
            done += static_cast<size_t>(n);
    }
    written = written && ::close(fd.release()) == 0 && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!written)
        ::unlink(temporary.c_str());
    return written;
}

std::string outputBase(const std::string& input, const std::string& outDir) {
    std::string base = input;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".bin") == 0)
        base.resize(base.size() - 4);
    if (outDir.empty())
        return base;
    size_t slash = base.find_last_of('/');
    return outDir + "/" + (slash == std::string::npos ? base : base.substr(slash + 1));
}

// 0 when converted, 1 when the file is unreadable or not a dynamogram.
int convert(const std::string& path, const Options& options) {
    std::vector<uint8_t> bytes;
    if (!readCard(path, bytes)) {
        if (errno == ENODEV)
            std::fprintf(stderr, "velkord-dyno: %s: not a regular file\n", path.c_str());
        else
            std::fprintf(stderr, "velkord-dyno: %s: cannot read: %s\n", path.c_str(), strerror(errno));
        return 1;
    }
    if (bytes.size() > kDynamogramFileSize) {
        std::fprintf(stderr, "velkord-dyno: %s: not a dynamogram file: more than the %zu bytes of one\n",
                     path.c_str(), kDynamogramFileSize);
        return 1;
    }
    DynamogramFileContent card;
    std::string error;
    if (!decodeDynamogramFile(bytes, card, error)) {
        std::fprintf(stderr, "velkord-dyno: %s: not a dynamogram file: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    std::string base = outputBase(path, options.outDir);
    std::string title = path.substr(path.find_last_of('/') + 1);
    if (options.csv && !writeAll(base + ".csv", dynamogramCsv(card))) {
        std::fprintf(stderr, "velkord-dyno: cannot write %s.csv\n", base.c_str());
        return 1;
    }
    if (options.svg && !writeAll(base + ".svg", dynamogramSvg(card, options.axis, title))) {
        std::fprintf(stderr, "velkord-dyno: cannot write %s.svg\n", base.c_str());
        return 1;
    }
    std::printf("%s: %zu up + %zu down samples, period %u ms\n", path.c_str(), card.upLoads.size(),
                card.downLoads.size(), card.periodMs);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--position") {
            options.axis = CardAxis::Position;
        } else if (argument == "--csv-only") {
            options.svg = false;
        } else if (argument == "--svg-only") {
            options.csv = false;
        } else if (argument == "--out" && i + 1 < argc) {
            options.outDir = argv[++i];
        } else if (argument.rfind("--", 0) == 0) {
            std::fprintf(stderr, "velkord-dyno: unknown option %s\n%s", argument.c_str(), kUsage);
            return 2;
        } else {
            options.files.push_back(argument);
        }
    }
    if (options.files.empty() || (!options.csv && !options.svg)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    int status = 0;
    for (const std::string& file : options.files)
        status |= convert(file, options);
    return status;
}
