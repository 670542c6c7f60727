// Control commands of the simulated USB drives ("media ..."):
//   media plug DISK [LABEL|-]      plugs DISK (sda, sdb ...) with one vfat partition; the system's
//                                  automounter mounts it at /run/media/LABEL (default DISK1), "-" leaves
//                                  it unmounted
//   media unplug DISK              pulls it out (a mount of it vanishes)
//   media file DISK NAME [BYTES]   a file on the drive (NAME may have folders); BYTES of text, default 64
//   media store DISK               the sandbox directory holding the drive's files
//   media list DISK [FOLDER]       "ok NAME:SIZE ..." of the drive's folder, sorted; folders end in "/"
//   media mounts                   "ok MOUNTPOINT ..." in mounting order
//   media installs                 "ok N" runs of the installer, then the last run's packages
//   media umountfail on|off        every unmount fails with EBUSY, or not
//   media status                   "ok disks=sda,sdb mounted=N"

#include "sim/sim_session.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Arguments = std::vector<std::string>;

constexpr long kDefaultFileBytes = 64;
constexpr long kMaxFileBytes = 64L * 1024 * 1024;

bool safeRelative(const std::string& name) {
    if (name.empty() || name[0] == '/')
        return false;
    size_t begin = 0;
    for (;;) {
        size_t end = name.find('/', begin);
        std::string part = name.substr(begin, end - begin);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (end == std::string::npos)
            return true;
        begin = end + 1;
    }
}

bool writeFile(const std::string& store, const std::string& name, long bytes) {
    for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
        ::mkdir((store + "/" + name.substr(0, slash)).c_str(), 0755);
    int fd = ::open((store + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::string text;
    for (long i = 0; i < bytes; ++i)
        text += static_cast<char>(i % 64 == 63 ? '\n' : 'a' + i % 26);
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

std::string listFolder(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return "error cannot open " + folder;
    std::vector<std::string> entries;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat status {};
        if (::stat((folder + "/" + name).c_str(), &status) != 0)
            continue;
        entries.push_back(S_ISDIR(status.st_mode) ? name + "/" : name + ":" + std::to_string(status.st_size));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end());
    std::string reply = "ok";
    for (const std::string& entry : entries)
        reply += " " + entry;
    return reply;
}

std::string plugCommand(platform::SimMedia& media, const Arguments& arguments) {
    if (arguments.size() < 2 || arguments.size() > 3)
        return "error usage: media plug DISK [LABEL|-]";
    const std::string& disk = arguments[1];
    if (disk.size() != 3 || disk.compare(0, 2, "sd") != 0)
        return "error a disk is named sd + one letter";
    std::string label = arguments.size() == 3 ? arguments[2] : disk + "1";
    if (label != "-" &&
        (label.empty() || label.find('/') != std::string::npos || label == "." || label == ".."))
        return "error a label cannot hold '/'";
    if (media.plug(disk).empty())
        return "error " + disk + " is plugged already";
    if (label == "-")
        return "ok";
    int error = media.automount(disk, label);
    return error == 0 ? "ok" : "error automount failed: " + std::to_string(error);
}

} // namespace

void addMediaCommands(ControlServer& control, platform::SimMedia& media) {
    control.addCommand("media", [&media](const Arguments& arguments) -> std::string {
        if (arguments.empty())
            return "error usage: media plug|unplug|file|store|list|mounts|installs|umountfail|status ...";
        const std::string& what = arguments[0];
        if (what == "plug")
            return plugCommand(media, arguments);
        if (what == "unplug" && arguments.size() == 2)
            return media.unplug(arguments[1]) ? "ok" : "error " + arguments[1] + " is not plugged";
        if (what == "file" && (arguments.size() == 3 || arguments.size() == 4)) {
            long bytes =
                arguments.size() == 4 ? std::strtol(arguments[3].c_str(), nullptr, 10) : kDefaultFileBytes;
            if (!safeRelative(arguments[2]) || bytes < 0 || bytes > kMaxFileBytes)
                return "error usage: media file DISK NAME [BYTES]";
            return writeFile(media.storePath(arguments[1]), arguments[2], bytes) ? "ok"
                                                                                 : "error cannot write";
        }
        if (what == "store" && arguments.size() == 2)
            return "ok " + media.storePath(arguments[1]);
        if (what == "list" && (arguments.size() == 2 || arguments.size() == 3)) {
            std::string folder = media.storePath(arguments[1]);
            if (arguments.size() == 3) {
                if (!safeRelative(arguments[2]))
                    return "error bad folder";
                folder += "/" + arguments[2];
            }
            return listFolder(folder);
        }
        if (what == "mounts") {
            std::string reply = "ok";
            for (const std::string& point : media.mountPoints())
                reply += " " + point;
            return reply;
        }
        if (what == "installs") {
            auto runs = media.installerRuns();
            std::string reply = "ok " + std::to_string(runs.size());
            if (!runs.empty())
                for (const std::string& package : runs.back())
                    reply += " " + package;
            return reply;
        }
        if (what == "umountfail" && arguments.size() == 2) {
            media.setUnmountFails(arguments[1] == "on");
            return "ok";
        }
        if (what == "status") {
            std::string disks;
            for (const std::string& disk : media.plugged())
                disks += (disks.empty() ? "" : ",") + disk;
            return "ok disks=" + disks + " mounted=" + std::to_string(media.mountPoints().size());
        }
        return "error unknown media command " + what;
    });
}
