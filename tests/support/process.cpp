#include "tests/support/process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// In a cross build the programs of the build directory run under the emulator (qemu-user),
// given with its arguments separated by spaces; the host's programs (the peers) run as they are.
std::vector<std::string> withEmulator(const std::vector<std::string>& arguments) {
    const std::string emulator = VELKORD_TEST_EMULATOR;
    const std::string buildDir = VELKORD_TEST_BINARY_DIR;
    if (emulator.empty() || arguments.empty() || arguments[0].compare(0, buildDir.size(), buildDir) != 0)
        return arguments;
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start <= emulator.size()) {
        const std::size_t end = std::min(emulator.find(' ', start), emulator.size());
        if (end > start)
            result.push_back(emulator.substr(start, end - start));
        start = end + 1;
    }
    result.insert(result.end(), arguments.begin(), arguments.end());
    return result;
}

} // namespace

Process::Process(const std::vector<std::string>& programArguments, const std::string& outputFile) {
    const std::vector<std::string> arguments = withEmulator(programArguments);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!outputFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

void Process::signal(int number) {
    if (pid_ > 0)
        ::kill(pid_, number);
}

int Process::wait(int timeoutMs) {
    if (pid_ <= 0)
        return -1;
    int status = waitForChild(pid_, timeoutMs);
    pid_ = -1;
    return status;
}

int waitForChild(pid_t pid, int timeoutMs) {
    int status = 0;
    bool ended = waitUntil(timeoutMs, [&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

bool waitUntil(int timeoutMs, const std::function<bool()>& predicate) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (predicate())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
