#pragma once
// The file work of portable media that needs no thread or page: the destination directory's name,
// the drives in "/proc/mounts", the packages on a drive, the disk uevents, the log lines' time stamps
// and the purge of old dynamograms. Paths are the board's; files are reached through rootPath().

#include <ctime>
#include <string>
#include <vector>

// The directory made on the drive for copies from this well: the well name with every character a
// vfat directory name cannot hold, a control character or a path separator replaced by "_", no
// leading or trailing dots or spaces, at most kMaxDirectoryNameBytes, and "-" + suffix after it (the
// serial number). Never empty, never "." or "..", never containing "/".
constexpr size_t kMaxDirectoryNameBytes = 200;
std::string safeDirectoryName(const std::string& wellName, const std::string& suffix);

// The mount points under "/run/media/" of a "/proc/mounts" text, octal escapes undone, in its order.
std::vector<std::string> mediaMountPoints(const std::string& mountsText);
// The same, read from the system's "/proc/mounts"; empty when it cannot be read.
std::vector<std::string> readMediaMountPoints();

// The regular files ending in ".ipk" directly in a board directory, as full board paths, sorted;
// false with error when the directory cannot be opened.
bool findPackages(const std::string& directory, std::vector<std::string>& packages, int& error);

// A uevent message about a whole disk of the USB host ("add@/devices/platform/ahb/.../block/sda"):
// true with add and the disk name ("sd" and one to four lowercase letters); partitions and anything
// else give false. Only the summary before the first NUL is read.
bool parseDiskUevent(const std::string& message, bool& add, std::string& disk);

// A path on a mounted drive, as the worker's commands give it: "." and ".." resolved and repeated "/"
// dropped, by the text alone; false when it is not absolute, holds a NUL or, resolved, does not lie in
// a drive's directory ("/run/media/" + name, or below). What the worker reads or writes for a command
// never leaves the drive this way.
bool drivePath(const std::string& path, std::string& resolved);

// Whether a name is a dynamogram file's ("telm_" ... ".bin").
bool isDynamogramName(const std::string& name);

// The time stamp "%b %d %H:%M:%S" at the start of a log line, in local time, with the year of the
// file's modification time (the previous year for a month after that time's month); false when the
// line does not begin with one.
bool logLineTime(const std::string& line, time_t fileModified, time_t& when);

// Starts, detached, a shell that keeps the `keep` newest files named "telm*.bin" of a directory by
// modification time and deletes the rest. The child only executes the shell: nothing that may take a
// lock between fork and exec, so the daemon's threads cannot leave it hanging. Returns 0 with the
// child's pid, or the errno of a failed fork.
int startDynamogramPurge(const std::string& directory, size_t keep, pid_t& child);
constexpr size_t kDynamogramsKept = 10000;
