#include "tests/fuzz/fuzz_board.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace {

constexpr size_t kMaxLogLines = 64;

const char* const kDirectories[] = {"/etc",     "/dev",       "/tmp",
                                    "/var/log", "/var/spool", "/usr/share/velkord/img",
                                    "/srv/www", "/proc/net",  "/sys/class/gpio"};

} // namespace

FuzzBoard& FuzzBoard::get() {
    static FuzzBoard board;
    return board;
}

// Saving the configuration ends with sync(), which on the board makes the write durable. Here it would
// make every input wait for every disk of the machine; what a crash leaves behind is the kill tests'
// concern, not the parsers'. So the harnesses' sync does nothing (this definition takes the place of
// the C library's for the whole harness program).
extern "C" void sync() {}

// Log lines reach the harness through the board's observer; the machine's system log never sees them.
// Without a log daemon the C library would also try to connect to one for every line, which cost the
// chattier harnesses a good part of their time. These take the place of the C library's.
extern "C" void syslog(int, const char*, ...) {}
extern "C" void vsyslog(int, const char*, va_list) {}

FuzzBoard::FuzzBoard() {
    // Memory-backed when the machine has /dev/shm: thousands of small files written per second.
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/velkord-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        fuzzFailure("cannot make the sandbox directory");
    root_ = pattern.c_str();
    for (const char* directory : kDirectories)
        std::filesystem::create_directories(root_ + directory);
    auto clock = std::make_unique<platform::VirtualClock>(1000000);
    clock_ = clock.get();
    platform_ = std::make_unique<platform::SimPlatform>(root_, std::move(clock));
    platform_->setLogObserver([this](int, const std::string& line) {
        if (lines_.size() < kMaxLogLines)
            lines_.push_back(line);
    });
    scope_ = std::make_unique<platform::PlatformScope>(*platform_);
}

FuzzBoard::~FuzzBoard() {
    scope_.reset();
    platform_->setLogObserver(nullptr);
    platform_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void fuzzFailure(const std::string& message) {
    std::cerr << "fuzz property failed: " << message << std::endl;
    std::abort();
}

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void writeWholeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
}
