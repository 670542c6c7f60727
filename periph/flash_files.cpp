#include "periph/flash_files.h"

#include "platform/linux_system_control.h"
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kMediaRoot[] = "/run/media/";
const char kFallbackName[] = "well";
// Characters a vfat long name refuses, besides the control characters.
const char kVfatRefused[] = "\"*/:<>?\\|";
constexpr int kMountFields = 5;
constexpr int kDiskEventParts = 13;
constexpr size_t kMostDiskLetters = 4;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

std::string unescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() + 0 &&
            std::isdigit(static_cast<unsigned char>(field[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 3]))) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end - begin));
        if (end == std::string::npos)
            return parts;
        begin = end + 1;
    }
}

// Cuts a UTF-8 text to at most `bytes` without splitting a character.
std::string cutUtf8(const std::string& text, size_t bytes) {
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::string trimDotsAndSpaces(const std::string& text) {
    size_t begin = text.find_first_not_of(". ");
    if (begin == std::string::npos)
        return std::string();
    size_t end = text.find_last_not_of(". ");
    return text.substr(begin, end - begin + 1);
}

} // namespace

std::string safeDirectoryName(const std::string& wellName, const std::string& suffix) {
    auto clean = [](const std::string& text) {
        std::string out;
        for (char c : text) {
            unsigned char byte = static_cast<unsigned char>(c);
            bool refused = byte < 0x20 || byte == 0x7F || std::strchr(kVfatRefused, c) != nullptr;
            out += refused ? '_' : c;
        }
        return out;
    };
    std::string well = trimDotsAndSpaces(cutUtf8(clean(wellName), kMaxDirectoryNameBytes));
    if (well.empty())
        well = kFallbackName;
    std::string tail = trimDotsAndSpaces(cutUtf8(clean(suffix), kMaxDirectoryNameBytes));
    return tail.empty() ? well : well + "-" + tail;
}

std::vector<std::string> mediaMountPoints(const std::string& mountsText) {
    std::vector<std::string> points;
    std::istringstream lines(mountsText);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        for (const std::string& field : split(line, ' '))
            if (!field.empty())
                fields.push_back(field);
        if (static_cast<int>(fields.size()) < kMountFields)
            continue;
        std::string point = unescapeMountField(fields[1]);
        if (startsWith(point, kMediaRoot) && point.size() > sizeof kMediaRoot - 1)
            points.push_back(point);
    }
    return points;
}

std::vector<std::string> readMediaMountPoints() {
    std::ifstream file(platform::rootPath("/proc/mounts"));
    std::stringstream text;
    text << file.rdbuf();
    return mediaMountPoints(text.str());
}

bool findPackages(const std::string& directory, std::vector<std::string>& packages, int& error) {
    DIR* dir = ::opendir(platform::rootPath(directory).c_str());
    if (!dir) {
        error = errno;
        return false;
    }
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (!endsWith(name, ".ipk") || name.size() == 4)
            continue;
        std::string path = directory + "/" + name;
        struct stat status {};
        if (::stat(platform::rootPath(path).c_str(), &status) == 0 && S_ISREG(status.st_mode))
            packages.push_back(path);
    }
    ::closedir(dir);
    std::sort(packages.begin(), packages.end());
    return true;
}

bool parseDiskUevent(const std::string& message, bool& add, std::string& disk) {
    const std::string summary = message.substr(0, message.find('\0'));
    if (startsWith(summary, "add@/devices/platform/ahb/"))
        add = true;
    else if (startsWith(summary, "remove@/devices/platform/ahb/"))
        add = false;
    else
        return false;
    std::vector<std::string> parts = split(summary, '/');
    if (parts.size() != kDiskEventParts || parts[11] != "block")
        return false;
    // The kernel names disks "sd" and letters: sda ... sdz, sdaa ...; nothing else is taken for one.
    const std::string& name = parts[12];
    if (name.size() <= 2 || name.size() > 2 + kMostDiskLetters || !startsWith(name, "sd"))
        return false;
    if (!std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
        return false;
    disk = name;
    return true;
}

bool drivePath(const std::string& path, std::string& resolved) {
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos)
        return false;
    std::vector<std::string> kept;
    for (const std::string& part : split(path, '/')) {
        if (part.empty() || part == ".")
            continue;
        if (part != "..") {
            kept.push_back(part);
            continue;
        }
        if (kept.empty())
            return false;
        kept.pop_back();
    }
    // "run", "media" and the drive's directory at least.
    constexpr size_t kDriveDepth = 3;
    if (kept.size() < kDriveDepth || kept[0] != "run" || kept[1] != "media")
        return false;
    resolved.clear();
    for (const std::string& part : kept)
        resolved += "/" + part;
    return true;
}

bool isDynamogramName(const std::string& name) {
    return startsWith(name, "telm_") && endsWith(name, ".bin");
}

bool logLineTime(const std::string& line, time_t fileModified, time_t& when) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (line.size() < 15 || line[3] != ' ' || line[6] != ' ' || line[9] != ':' || line[12] != ':')
        return false;
    int month = -1;
    for (int i = 0; i < 12; ++i)
        if (line.compare(0, 3, kMonths[i]) == 0)
            month = i;
    int day = 0, hour = 0, minute = 0, second = 0;
    if (month < 0 || std::sscanf(line.c_str() + 4, "%2d %2d:%2d:%2d", &day, &hour, &minute, &second) != 4)
        return false;
    tm modified{};
    localtime_r(&fileModified, &modified);
    tm stamp{};
    stamp.tm_year = modified.tm_year - (month > modified.tm_mon ? 1 : 0);
    stamp.tm_mon = month;
    stamp.tm_mday = day;
    stamp.tm_hour = hour;
    stamp.tm_min = minute;
    stamp.tm_sec = second;
    stamp.tm_isdst = -1;
    when = mktime(&stamp);
    return when != static_cast<time_t>(-1);
}

int startDynamogramPurge(const std::string& directory, size_t keep, pid_t& child) {
    // The directory is the shell's first argument, never part of its script. The names go through a
    // pipe, not a command line: a spool grown past the kernel's limit on arguments is purged too.
    std::string script = "cd \"$1\" && ls -t1 | grep '^telm.*\\.bin$' | tail -n +" +
                         std::to_string(keep + 1) + " | xargs rm -f";
    return platform::spawnDetached("/bin/sh", {"sh", "-c", script, "sh", directory}, &child);
}
