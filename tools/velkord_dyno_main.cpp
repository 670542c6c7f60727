// velkord-dyno: dynamogram files off the board turned into CSV tables and SVG cards.

#include "drive/dynamogram_file.h"
#include "tools/dyno_export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
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

struct Options {
    CardAxis axis = CardAxis::Time;
    bool csv = true;
    bool svg = true;
    std::string outDir;
    std::vector<std::string> files;
};

// Reads at most one byte more than a dynamogram file holds: a larger file (or a device that never
// ends) is refused without being read whole.
bool readCard(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.resize(kDynamogramFileSize + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return !in.bad();
}

bool writeAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
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
