#include "periph/flash_worker.h"

#include "core/log.h"
#include "periph/flash_files.h"
#include "platform/platform.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char kUnit[] = "flash";
const char kMediaRoot[] = "/run/media/";
const char kSpool[] = "/var/spool";
const char kConfigFile[] = "/etc/velkord";
const char kRestoredConfig[] = "/etc/velkord.tmp";
constexpr mode_t kDirectoryMode = 0755;
constexpr mode_t kFileMode = 0644;
constexpr int kPercent = 100;

std::string path(const std::string& boardPath) {
    return platform::rootPath(boardPath);
}

// The word before the first space, and the rest after it.
void splitWord(const std::string& line, std::string& word, std::string& rest) {
    size_t space = line.find(' ');
    word = line.substr(0, space);
    rest = space == std::string::npos ? std::string() : line.substr(space + 1);
}

// A file to write, made anew: a stale one (or a link planted in its place) is removed first, and
// the new one is neither a link followed nor one that appeared meanwhile.
int createFresh(const std::string& hostPath) {
    ::unlink(hostPath.c_str());
    return ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
}

// A command's path on the drive, resolved (see drivePath); 0, or EACCES with a log line when the path
// leads off the drive: a command never reaches the board's own files or the host's this way.
int onDrive(const std::string& given, std::string& resolved) {
    if (drivePath(given, resolved))
        return 0;
    LOG_MSG(LOG_ERR, kUnit, "path off the drive refused: '%s'", given.c_str());
    return EACCES;
}

struct LogSet {
    const char* current;
    const char* output;
};
constexpr LogSet kSystemLog{"/var/log/messages", "/messages.log"};
constexpr LogSet kEventJournal{"/var/log/events", "/events.log"};

// The files of a log, oldest first: the numbered ones from kFirstLogIndex down to 0, then the current.
std::vector<std::string> logFiles(const LogSet& set) {
    std::vector<std::string> files;
    for (int n = FlashWorker::kFirstLogIndex; n >= 0; --n)
        files.push_back(std::string(set.current) + "." + std::to_string(n));
    files.push_back(set.current);
    return files;
}

bool writeText(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

} // namespace

void FlashWorker::run() {
    int flags = ::fcntl(commandFd_, F_GETFL);
    if (flags < 0 || ::fcntl(commandFd_, F_SETFL, flags | O_NONBLOCK) != 0)
        LOG_MSG(LOG_ERR, kUnit, "Flash::thread(): cannot set NONBLOCK: %s", strerror(errno));
    std::string line;
    while (nextCommand(line))
        if (!execute(line))
            return;
}

bool FlashWorker::nextCommand(std::string& line) {
    while (pending_.empty()) {
        if (closed_ || !readCommands(-1))
            return false;
    }
    line = pending_.front();
    pending_.pop_front();
    return true;
}

bool FlashWorker::readCommands(int timeoutMs) {
    pollfd entry{commandFd_, POLLIN, 0};
    int ready = ::poll(&entry, 1, timeoutMs);
    if (ready < 0) {
        if (errno == EINTR)
            return true;
        LOG_MSG(LOG_ERR, kUnit, "Flash::thread(): poll() error: %s", strerror(errno));
        return false;
    }
    if (ready == 0)
        return true;
    char buffer[kReadChunk];
    ssize_t length = ::read(commandFd_, buffer, sizeof buffer);
    if (length < 0) {
        if (errno != EAGAIN && errno != EINTR)
            LOG_MSG(LOG_ERR, kUnit, "Flash::thread(): cannot read pipe: %s", strerror(errno));
        return true;
    }
    if (length == 0) {
        LOG_MSG(LOG_ERR, kUnit, "Flash::thread(): pipe closed unexpectedly");
        closed_ = true;
        return false;
    }
    input_.append(buffer, static_cast<size_t>(length));
    for (size_t end; (end = input_.find('\n')) != std::string::npos;) {
        pending_.push_back(input_.substr(0, end));
        input_.erase(0, end + 1);
    }
    return true;
}

bool FlashWorker::cancelRequested() {
    if (!closed_)
        readCommands(0);
    // The daemon stopping ends a copy too; "EXIT" stays queued and ends the thread next.
    if (closed_ || std::find(pending_.begin(), pending_.end(), "EXIT") != pending_.end())
        return true;
    auto it = std::find(pending_.begin(), pending_.end(), "CANCEL");
    if (it == pending_.end())
        return false;
    pending_.erase(it);
    return true;
}

void FlashWorker::reply(const std::string& line) {
    std::string text = line + "\n";
    // A signal can cut a write into a full pipe short (the daemon's children end now and then): the
    // rest follows, so that the main thread never gets half a line.
    size_t done = 0;
    while (done < text.size()) {
        ssize_t written = ::write(responseFd_, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0) {
            LOG_MSG(LOG_ERR, kUnit, "Flash::thread(): cannot write to pipe: %s", strerror(errno));
            return;
        }
        if (written == 0) {
            LOG_MSG(LOG_ERR, kUnit, "Flash::thread(): partial write: %d of %d", static_cast<int>(done),
                    static_cast<int>(text.size()));
            return;
        }
        done += static_cast<size_t>(written);
    }
}

bool FlashWorker::execute(const std::string& line) {
    std::string word;
    std::string argument;
    splitWord(line, word, argument);
    if (word == "EXIT")
        return false;
    if (word == "DGPREFIX")
        prefix_ = argument;
    else if (word == "COPYDG")
        copyDynamograms(argument);
    else if (word == "COPYLOG")
        copyLog(argument);
    else if (word == "MOUNT")
        mount();
    else if (word == "UMOUNT")
        umount();
    else if (word == "READDIR")
        readDirectory(argument);
    else if (word == "SAVECONFIG")
        saveConfig(argument);
    else if (word == "RESTORECONFIG")
        restoreConfig(argument);
    else if (word == "COPYLOGBYDATES")
        copyLogByDates(argument, false);
    else if (word == "COPYELOGBYDATES")
        copyLogByDates(argument, true);
    else if (word == "DYNOLIST")
        listDynamograms();
    else if (word == "DYNOCOPY")
        copyDynamogram(argument);
    else if (word == "CANCEL") {
        // Arrived after the copy it was meant for had ended: nothing to stop.
    } else {
        LOG_MSG(LOG_ERR, kUnit, "Flash::thread(): unknown command '%s'", line.c_str());
        reply("ERROR " + line + ":\rнеизвестная команда");
    }
    return true;
}

std::string FlashWorker::mountFirst() {
    std::vector<std::string> devices;
    int failure = 0;
    if (!media_.blockDevices(devices, failure)) {
        LOG_MSG(LOG_ERR, kUnit, "cannot open /dev: %s", strerror(failure));
        return std::string();
    }
    // Name order: the first disk's partition before the second's, whatever order "/dev" lists them in.
    std::sort(devices.begin(), devices.end());
    std::vector<std::string> mounted = readMediaMountPoints();
    for (const std::string& device : devices) {
        if (device.compare(0, 2, "sd") != 0)
            continue;
        std::string mountPoint = kMediaRoot + device;
        // Mounted by an earlier command that was not followed by an unmount.
        if (std::find(mounted.begin(), mounted.end(), mountPoint) != mounted.end())
            return mountPoint;
        if (::mkdir(path(mountPoint).c_str(), kDirectoryMode) != 0 && errno != EEXIST)
            continue;
        if (media_.mount(device, mountPoint) == 0)
            return mountPoint;
    }
    LOG_MSG(LOG_ERR, kUnit, "Файловые системы не найдены");
    return std::string();
}

int FlashWorker::unmountAll(std::string& failed) {
    int first = 0;
    for (const std::string& mountPoint : readMediaMountPoints()) {
        int result = media_.unmount(mountPoint);
        if (result == 0)
            continue;
        LOG_MSG(LOG_ERR, kUnit, "Ошибка размонтирования %s: %s", mountPoint.c_str(), strerror(result));
        if (first == 0) {
            first = result;
            failed = mountPoint;
        }
    }
    return first;
}

void FlashWorker::mount() {
    std::string mountPoint = mountFirst();
    if (mountPoint.empty()) {
        error("Файловые системы не найдены", "нет раздела vfat");
        return;
    }
    progress(mountPoint);
    reply("OK");
}

void FlashWorker::umount() {
    std::string failed;
    int result = unmountAll(failed);
    if (result != 0) {
        error("Ошибка размонтирования", strerror(result));
        return;
    }
    reply("OK");
}

int FlashWorker::makeDirectory(const std::string& directory) {
    if (::mkdir(path(directory).c_str(), kDirectoryMode) == 0 || errno == EEXIST)
        return 0;
    return errno;
}

int FlashWorker::makeDirectoryOnDrive(const std::string& given, std::string& resolved) {
    if (int refused = onDrive(given, resolved))
        return refused;
    return makeDirectory(resolved);
}

int FlashWorker::copyFile(const std::string& from, int toFd, bool cancellable, bool& cancelled) {
    platform::UniqueFd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source)
        return errno;
    std::vector<char> block(kCopyBlockBytes);
    for (;;) {
        ssize_t length = ::read(source.get(), block.data(), block.size());
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            return errno;
        if (length == 0)
            return 0;
        if (!writeText(toFd, std::string(block.data(), static_cast<size_t>(length))))
            return errno ? errno : EIO;
        if (cancellable && cancelRequested()) {
            cancelled = true;
            return 0;
        }
    }
}

void FlashWorker::copyDynamograms(const std::string& argument) {
    time_t since = static_cast<time_t>(std::strtoll(argument.c_str(), nullptr, 10));
    std::string prefix;
    if (int made = makeDirectoryOnDrive(prefix_, prefix)) {
        error("Не могу создать каталог", strerror(made));
        return;
    }
    DIR* dir = ::opendir(path(kSpool).c_str());
    if (!dir) {
        error("Не могу прочитать каталог", strerror(errno));
        return;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (!isDynamogramName(name))
            continue;
        std::string file = path(std::string(kSpool) + "/" + name);
        struct stat status {};
        if (::stat(file.c_str(), &status) != 0) {
            LOG_MSG(LOG_ERR, kUnit, "cannot stat '%s': %s", file.c_str(), strerror(errno));
            continue;
        }
        if (S_ISREG(status.st_mode) && status.st_mtime > since)
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    size_t done = 0;
    for (const std::string& name : names) {
        std::string target = path(prefix + "/" + name);
        platform::UniqueFd out(createFresh(target));
        if (!out) {
            error("Не могу создать файл", strerror(errno));
            return;
        }
        bool cancelled = false;
        if (int result = copyFile(path(std::string(kSpool) + "/" + name), out.get(), true, cancelled)) {
            error("Ошибка копирования", strerror(result));
            return;
        }
        if (cancelled) {
            progress("Копирование прервано");
            reply("OK");
            return;
        }
        ++done;
        progress(std::to_string(done * kPercent / names.size()) + "% (" + std::to_string(done) + " из " +
                 std::to_string(names.size()) + ")");
    }
    reply("OK");
}

void FlashWorker::copyLog(const std::string& argument) {
    time_t since = static_cast<time_t>(std::strtoll(argument.c_str(), nullptr, 10));
    std::string prefix;
    int refused = onDrive(prefix_, prefix);
    if (refused == 0)
        makeDirectory(prefix);
    std::string target = prefix + kSystemLog.output;
    platform::UniqueFd out(refused == 0 ? createFresh(path(target)) : -1);
    if (!out) {
        int result = refused != 0 ? refused : errno;
        LOG_MSG(LOG_ERR, kUnit, "Не могу открыть файл '%s': %s", (prefix_ + kSystemLog.output).c_str(),
                strerror(result));
        error("Не могу открыть " + prefix_ + kSystemLog.output, strerror(result));
        return;
    }
    for (const std::string& file : logFiles(kSystemLog)) {
        struct stat status {};
        if (::stat(path(file).c_str(), &status) != 0 || status.st_mtime < since)
            continue;
        progress(file);
        bool cancelled = false;
        if (int result = copyFile(path(file), out.get(), false, cancelled)) {
            error("Ошибка копирования", strerror(result));
            return;
        }
        if (cancelRequested()) {
            progress("Копирование прервано");
            break;
        }
    }
    reply("OK");
}

void FlashWorker::copyLogByDates(const std::string& argument, bool events) {
    char* end = nullptr;
    time_t from = static_cast<time_t>(std::strtoll(argument.c_str(), &end, 10));
    time_t to = static_cast<time_t>(std::strtoll(end, &end, 10));
    std::string given = *end == ' ' ? std::string(end + 1) : std::string();
    const LogSet& set = events ? kEventJournal : kSystemLog;
    if (given.empty()) {
        error("Не задан каталог", argument);
        return;
    }
    std::string directory;
    if (int result = makeDirectoryOnDrive(given, directory)) {
        error("Не могу создать каталог", strerror(result));
        return;
    }
    std::string target = directory + set.output;
    platform::UniqueFd out(createFresh(path(target)));
    if (!out) {
        int result = errno;
        LOG_MSG(LOG_ERR, kUnit, "Не могу открыть файл '%s': %s", target.c_str(), strerror(result));
        error("Не могу открыть " + target, strerror(result));
        return;
    }
    long read = 0;
    long written = 0;
    for (const std::string& file : logFiles(set)) {
        struct stat status {};
        // A file last written before the range holds nothing in it.
        if (::stat(path(file).c_str(), &status) != 0 || status.st_mtime < from)
            continue;
        std::ifstream in(path(file));
        std::string text;
        std::string line;
        while (std::getline(in, line)) {
            ++read;
            time_t when = 0;
            if (!logLineTime(line, status.st_mtime, when) || when < from || when > to)
                continue;
            text += line + "\n";
            ++written;
        }
        if (!writeText(out.get(), text)) {
            error("Ошибка записи", strerror(errno));
            return;
        }
        progress("Прочитано: " + std::to_string(read) + " Записано: " + std::to_string(written));
        if (cancelRequested()) {
            progress("Копирование прервано");
            break;
        }
    }
    reply("OK");
}

void FlashWorker::listDynamograms() {
    std::string spool = path(kSpool);
    DIR* dir = ::opendir(spool.c_str());
    if (!dir) {
        int result = errno;
        LOG_MSG(LOG_ERR, kUnit, "cannot open '%s': %s", kSpool, strerror(result));
        reply(std::string("ERROR Не могу открыть /var/spool\r") + strerror(result));
        return;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        struct stat status {};
        if (isDynamogramName(name) && ::stat((spool + "/" + name).c_str(), &status) == 0 &&
            S_ISREG(status.st_mode))
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        progress(name);
    reply("OK");
}

void FlashWorker::copyDynamogram(const std::string& name) {
    if (!isDynamogramName(name) || name.find('/') != std::string::npos) {
        error("Не могу открыть файл", name);
        return;
    }
    std::string prefix;
    if (int made = makeDirectoryOnDrive(prefix_, prefix)) {
        error("Не могу создать каталог", strerror(made));
        return;
    }
    platform::UniqueFd out(createFresh(path(prefix + "/" + name)));
    if (!out) {
        error("Не могу создать файл", strerror(errno));
        return;
    }
    bool cancelled = false;
    if (int result = copyFile(path(std::string(kSpool) + "/" + name), out.get(), true, cancelled)) {
        error("Не могу скопировать " + name, strerror(result));
        return;
    }
    reply("OK");
}

void FlashWorker::readDirectory(const std::string& given) {
    std::string directory;
    int refused = onDrive(given, directory);
    DIR* dir = refused == 0 ? ::opendir(path(directory).c_str()) : nullptr;
    if (!dir) {
        int result = refused != 0 ? refused : errno;
        LOG_MSG(LOG_ERR, kUnit, "Не могу открыть каталог '%s': %s", given.c_str(), strerror(result));
        error("Не могу открыть каталог", strerror(result));
        return;
    }
    std::vector<std::string> entries;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == ".")
            continue;
        struct stat status {};
        if (::stat(path(directory + "/" + name).c_str(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode))
            entries.push_back("D" + name);
        else if (S_ISREG(status.st_mode))
            entries.push_back("F" + name);
    }
    ::closedir(dir);
    // Folders first, each kind by name.
    std::sort(entries.begin(), entries.end());
    for (const std::string& entry : entries)
        progress(entry);
    reply("OK");
}

void FlashWorker::saveConfig(const std::string& directory) {
    std::string mountPoint = mountFirst();
    if (mountPoint.empty()) {
        error("Файловые системы не найдены", "нет раздела vfat");
        return;
    }
    std::string firstError;
    std::string target;
    // Within the drive just mounted, never above it.
    int made = onDrive(mountPoint + "/" + directory, target);
    if (made == 0 && target != mountPoint && target.compare(0, mountPoint.size() + 1, mountPoint + "/") != 0)
        made = EACCES;
    if (made == 0)
        made = makeDirectory(target);
    if (int result = made) {
        LOG_MSG(LOG_ERR, kUnit, "не могу создать каталог '%s': %s", (mountPoint + "/" + directory).c_str(),
                strerror(result));
        firstError = std::string("не могу создать каталог:\r") + strerror(result);
    }
    if (firstError.empty()) {
        std::string file = target + "/config.xml";
        platform::UniqueFd out(createFresh(path(file)));
        if (!out) {
            int result = errno;
            LOG_MSG(LOG_ERR, kUnit, "не могу создать файл '%s': %s", file.c_str(), strerror(result));
            firstError = std::string("не могу создать файл:\r") + strerror(result);
        } else {
            bool cancelled = false;
            int result = copyFile(path(kConfigFile), out.get(), false, cancelled);
            if (result != 0) {
                LOG_MSG(LOG_ERR, kUnit, "не могу открыть config.xml: %s", strerror(result));
                firstError = std::string("не могу прочитать config.xml:\r") + strerror(result);
            } else if (::fsync(out.get()) != 0) {
                firstError = std::string("не могу создать файл:\r") + strerror(errno);
            }
        }
    }
    std::string failed;
    int unmounted = unmountAll(failed);
    if (firstError.empty() && unmounted != 0)
        firstError = std::string("Ошибка размонтирования:\r") + strerror(unmounted);
    reply(firstError.empty() ? "OK" : "ERROR " + firstError);
}

void FlashWorker::restoreConfig(const std::string& given) {
    // The file comes from the drive; a path elsewhere is refused before the working file is touched.
    std::string file;
    if (int refused = onDrive(given, file)) {
        error("не могу открыть " + given, strerror(refused));
        return;
    }
    platform::UniqueFd out(createFresh(path(kRestoredConfig)));
    if (!out) {
        int result = errno;
        LOG_MSG(LOG_ERR, kUnit, "не могу создать /etc/velkord.tmp: %s", strerror(result));
        error("не могу создать /etc/velkord.tmp", strerror(result));
        return;
    }
    platform::UniqueFd probe(::open(path(file).c_str(), O_RDONLY | O_CLOEXEC));
    if (!probe) {
        int result = errno;
        LOG_MSG(LOG_ERR, kUnit, "не могу открыть %s: %s", file.c_str(), strerror(result));
        error("не могу открыть " + file, strerror(result));
        return;
    }
    probe.reset();
    bool cancelled = false;
    if (int result = copyFile(path(file), out.get(), false, cancelled)) {
        error("не могу открыть " + file, strerror(result));
        return;
    }
    ::fsync(out.get());
    reply("OK");
}
