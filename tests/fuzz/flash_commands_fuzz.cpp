// The portable-media worker's command lines: the input is what the main thread writes to the command
// pipe (lines ended by "\n"), all of it there before the worker's thread starts, so "CANCEL" and
// "EXIT" reach a copy between the same blocks every time. The board is the same for every input: one
// drive (sda, its partition sda1) with a few files, dynamograms in "/var/spool", the logs and the
// configuration. Every command is answered with progress lines and then exactly one "OK" or "ERROR"
// line of the forms its command allows ("DGPREFIX", "CANCEL" and "EXIT" with nothing); the worker never
// falls silent while replies are due; and every file the worker opens, makes, lists or removes lies in
// the sandbox: what it writes on the drive or as the restored configuration, what it reads on the
// drive or in the board's own spool, logs, configuration, "/dev" and "/proc".

#include "periph/flash_worker.h"
#include "platform/sim_media.h"
#include "tests/fuzz/fuzz_board.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// How long the worker may stay silent while a reply is due; far beyond what any command here needs.
constexpr int kSilenceMs = 8000;
// Inputs longer than the pipe holds would make the harness wait on its own write.
constexpr size_t kMostInputBytes = 32768;
const char kConfiguration[] =
    "<?xml version=\"1.0\"?>\n<config><common><wellName>12</wellName></common></config>\n";

// The files the worker's thread touched, as it named them to the system, and whether to write.
struct Touch {
    std::string path;
    bool writes;
};
thread_local bool tWorker = false;
std::vector<Touch> gTouched;

void touched(const char* path, bool writes) {
    if (tWorker)
        gTouched.push_back({path ? path : "", writes});
}

} // namespace

// The system calls of the worker and the simulated media, seen on their way (the program is linked with
// --wrap for each).
extern "C" {
int __real_open(const char* path, int flags, ...);
int __real_mkdir(const char* path, mode_t mode);
int __real_unlink(const char* path);
int __real_stat(const char* path, struct stat* status);
DIR* __real_opendir(const char* path);

int __wrap_open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    touched(path, (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0);
    return __real_open(path, flags, mode);
}
int __wrap_mkdir(const char* path, mode_t mode) {
    touched(path, true);
    return __real_mkdir(path, mode);
}
int __wrap_unlink(const char* path) {
    touched(path, true);
    return __real_unlink(path);
}
int __wrap_stat(const char* path, struct stat* status) {
    touched(path, false);
    return __real_stat(path, status);
}
DIR* __wrap_opendir(const char* path) {
    touched(path, false);
    return __real_opendir(path);
}
}

namespace {

// "." and ".." resolved by the text, as the worker's own check does not decide here.
std::string resolved(const std::string& path) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        size_t slash = path.find('/', begin);
        std::string part = path.substr(begin, slash == std::string::npos ? std::string::npos : slash - begin);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (slash == std::string::npos)
            break;
        begin = slash + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out;
}

bool within(const std::string& path, const std::string& directory) {
    return path == directory || path.compare(0, directory.size() + 1, directory + "/") == 0;
}

// Where the worker (and the simulated system on its thread) may write and read.
bool writable(const FuzzBoard& board, const std::string& path) {
    return within(path, board.path("/run/media")) || path == board.path("/etc/velkord.tmp") ||
           within(path, board.path("/proc"));
}
bool readable(const FuzzBoard& board, const std::string& path) {
    for (const char* place : {"/run/media", "/var/spool", "/var/log", "/dev", "/proc", "/media-store"})
        if (within(path, board.path(place)))
            return true;
    return writable(board, path) || path == board.path("/etc/velkord");
}

void makeFile(const std::string& path, const std::string& content, time_t modified) {
    writeWholeFile(path, content);
    timespec times[2] = {{modified, 0}, {modified, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The same board for every input.
void resetBoard(FuzzBoard& board, platform::SimMedia& media) {
    for (const std::string& disk : media.plugged())
        media.unplug(disk);
    for (const std::string& mountPoint : media.mountPoints())
        media.unmount(mountPoint);
    std::error_code ignored;
    for (const char* place : {"/run/media", "/media-store", "/var/spool", "/var/log"}) {
        std::filesystem::remove_all(board.path(place), ignored);
        std::filesystem::create_directories(board.path(place), ignored);
    }
    std::filesystem::remove(board.path("/etc/velkord.tmp"), ignored);
    writeWholeFile(board.path("/etc/velkord"), kConfiguration);
    // Two blocks for the first, so that a copy checks for "CANCEL" in its middle.
    makeFile(board.path("/var/spool/telm_20261201_0001.bin"),
             std::string(FlashWorker::kCopyBlockBytes + 10, 'a'), 1764547200);
    makeFile(board.path("/var/spool/telm_20261202_0002.bin"), std::string(300, 'b'), 1764633600);
    makeFile(board.path("/var/spool/notes.txt"), "x", 1764633600);
    makeFile(board.path("/var/log/messages.1"), "Nov 30 23:59:00 board velkord: before\n", 1764547199);
    makeFile(board.path("/var/log/messages"), "Dec  1 10:00:00 board velkord: up\nno stamp\n", 1764583200);
    makeFile(board.path("/var/log/events"), "Dec  1 10:00:01 start\n", 1764583201);
    std::string store = media.plug("sda");
    std::filesystem::create_directories(store + "/saved", ignored);
    writeWholeFile(store + "/saved/config.xml", kConfiguration);
    writeWholeFile(store + "/readme.txt", "x");
}

// The error messages each command may give (each followed by "\r" and a detail); "MOUNT"'s are those
// of any command that mounts.
const std::map<std::string, std::vector<std::string>>& errorMessages() {
    static const std::map<std::string, std::vector<std::string>> messages = {
        {"MOUNT", {"Файловые системы не найдены:"}},
        {"UMOUNT", {"Ошибка размонтирования:"}},
        {"SAVECONFIG",
         {"Файловые системы не найдены:", "не могу создать каталог:", "не могу создать файл:",
          "не могу прочитать config.xml:", "Ошибка размонтирования:"}},
        {"COPYDG",
         {"Не могу создать каталог:", "Не могу прочитать каталог:", "Не могу создать файл:",
          "Ошибка копирования:"}},
        {"COPYLOG", {"Не могу открыть ", "Ошибка копирования:"}},
        {"COPYLOGBYDATES",
         {"Не задан каталог:", "Не могу создать каталог:", "Не могу открыть ", "Ошибка записи:"}},
        {"COPYELOGBYDATES",
         {"Не задан каталог:", "Не могу создать каталог:", "Не могу открыть ", "Ошибка записи:"}},
        {"DYNOLIST", {"Не могу открыть /var/spool"}},
        {"DYNOCOPY",
         {"Не могу открыть файл:", "Не могу создать каталог:", "Не могу создать файл:",
          "Не могу скопировать "}},
        {"READDIR", {"Не могу открыть каталог:"}},
        {"RESTORECONFIG", {"не могу создать /etc/velkord.tmp:", "не могу открыть "}},
    };
    return messages;
}

std::string commandWord(const std::string& line) {
    return line.substr(0, line.find(' '));
}

bool silent(const std::string& word) {
    return word == "DGPREFIX" || word == "CANCEL" || word == "EXIT";
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// The terminal reply to one command line.
void checkTerminal(const std::string& command, const std::string& reply) {
    if (reply == "OK")
        return;
    std::string word = commandWord(command);
    auto known = errorMessages().find(word);
    if (known == errorMessages().end()) {
        FUZZ_CHECK(reply == "ERROR " + command + ":\rнеизвестная команда",
                   "an unknown command answered otherwise: '" + reply + "'");
        return;
    }
    FUZZ_CHECK(startsWith(reply, "ERROR "), "'" + command + "' answered '" + reply + "'");
    std::string message = reply.substr(6);
    size_t separator = message.find('\r');
    FUZZ_CHECK(separator != std::string::npos, "an error without its detail: '" + reply + "'");
    bool documented = false;
    for (const std::string& start : known->second)
        documented = documented || startsWith(message, start);
    FUZZ_CHECK(documented, "'" + word + "' answered an error of another command: '" + reply + "'");
}

// Whether the descriptor has input within the silence allowed. libFuzzer's timer signal interrupts a
// wait now and then: the wait goes on for what is left of it.
bool replyArrives(int fd) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSilenceMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        pollfd entry{fd, POLLIN, 0};
        int ready = ::poll(&entry, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

// Reads reply lines until `count` terminal replies came (or the pipe's end, when count is 0).
bool readReplies(int fd, std::string& buffer, std::vector<std::string>& lines, size_t& terminals,
                 size_t count) {
    for (;;) {
        for (size_t end; (end = buffer.find('\n')) != std::string::npos;) {
            std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            lines.push_back(line);
            if (!startsWith(line, "PROGRESS "))
                ++terminals;
            if (count != 0 && terminals == count)
                return true;
        }
        if (!replyArrives(fd))
            fuzzFailure("the worker stayed silent while a reply was due");
        char chunk[4096];
        ssize_t length = ::read(fd, chunk, sizeof chunk);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            return false;
        buffer.append(chunk, static_cast<size_t>(length));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMostInputBytes)
        return 0;
    FuzzBoard& board = FuzzBoard::get();
    platform::SimMedia& media = board.platform().simMedia();
    resetBoard(board, media);
    board.clearLog();

    std::string input(reinterpret_cast<const char*>(data), size);
    if (!input.empty() && input.back() != '\n')
        input += '\n';
    // The command lines the worker will take, up to an "EXIT" of the input.
    std::vector<std::string> commands;
    bool exits = false;
    for (size_t begin = 0, end; !exits && (end = input.find('\n', begin)) != std::string::npos;
         begin = end + 1) {
        commands.push_back(input.substr(begin, end - begin));
        exits = commandWord(commands.back()) == "EXIT";
    }
    size_t answered = 0;
    for (const std::string& command : commands)
        answered += silent(commandWord(command)) ? 0 : 1;

    int command[2];
    int response[2];
    if (::pipe2(command, O_CLOEXEC) != 0 || ::pipe2(response, O_CLOEXEC) != 0)
        fuzzFailure("no pipes");
    platform::UniqueFd commandRead(command[0]), commandWrite(command[1]), responseRead(response[0]);
    if (!input.empty() &&
        ::write(commandWrite.get(), input.data(), input.size()) != static_cast<ssize_t>(input.size()))
        fuzzFailure("the command pipe took less than the input");

    gTouched.clear();
    FlashWorker worker(commandRead.get(), response[1], media);
    std::thread thread([&worker, end = response[1]] {
        tWorker = true;
        worker.run();
        tWorker = false;
        ::close(end);
    });

    std::string buffer;
    std::vector<std::string> lines;
    size_t terminals = 0;
    bool open = answered == 0 || readReplies(responseRead.get(), buffer, lines, terminals, answered);
    if (open && !exits) {
        const char kExit[] = "EXIT\n";
        if (::write(commandWrite.get(), kExit, sizeof kExit - 1) != sizeof kExit - 1)
            fuzzFailure("EXIT could not be sent");
    }
    // Whatever else the worker says comes before the end of its pipe.
    readReplies(responseRead.get(), buffer, lines, terminals, 0);
    thread.join();
    FUZZ_CHECK(buffer.empty(), "a reply without its line end");

    // Each answered command: progress lines, then its one terminal reply.
    size_t at = 0;
    for (const std::string& command : commands) {
        if (silent(commandWord(command)))
            continue;
        while (at < lines.size() && startsWith(lines[at], "PROGRESS "))
            ++at;
        FUZZ_CHECK(at < lines.size(), "no reply to '" + command + "'");
        checkTerminal(command, lines[at]);
        ++at;
    }
    FUZZ_CHECK(at == lines.size(), std::to_string(lines.size() - at) + " replies more than commands");

    for (const Touch& touch : gTouched) {
        std::string path = resolved(touch.path);
        FUZZ_CHECK(within(path, board.root()), "a file outside the sandbox: '" + touch.path + "'");
        FUZZ_CHECK(touch.writes ? writable(board, path) : readable(board, path),
                   std::string(touch.writes ? "written" : "read") + " off the drive: '" + touch.path + "'");
    }
    return 0;
}
