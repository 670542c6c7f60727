#include "tests/web/curl_loop.h"

#include "tests/support/temp_dir.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>

extern char** environ;

void serveOnce(HTTP& server, int maxWaitMs) {
    int timeout = server.pollTimeoutMs(maxWaitMs);
    pollfd entries[2] = {{server.daemonEpollFd(), POLLIN | POLLOUT, 0}, {EPoller::descriptor(), POLLIN, 0}};
    int count = EPoller::descriptor() >= 0 ? 2 : 1;
    poll(entries, static_cast<nfds_t>(count), timeout);
    if (count == 2 && entries[1].revents)
        EPoller::dispatch(0);
    server.run();
}

PeerResult runPeer(HTTP& server, const std::vector<std::string>& command, int limitMs) {
    TempDir files;
    std::vector<std::string> arguments = command;
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::string outputFile = files / "output";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    PeerResult result;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.output = readFile(outputFile);
            return result;
        }
        serveOnce(server, 10);
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = readFile(outputFile);
    return result;
}

CurlResult runCurl(HTTP& server, const std::vector<std::string>& arguments, int limitMs) {
    TempDir files;
    std::vector<std::string> command = {"curl", "-s", "-D", files / "headers", "-o", files / "body"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    PeerResult run = runPeer(server, command, limitMs);
    CurlResult result;
    result.exitCode = run.exitCode;
    if (fileExists(files / "headers"))
        result.headers = readFile(files / "headers");
    if (fileExists(files / "body"))
        result.body = readFile(files / "body");
    size_t last = result.headers.rfind("HTTP/");
    if (last != std::string::npos)
        result.status = std::atoi(result.headers.c_str() + result.headers.find(' ', last) + 1);
    return result;
}

std::vector<std::string> headerValues(const std::string& headers, const std::string& name) {
    std::vector<std::string> values;
    size_t start = 0;
    while (start < headers.size()) {
        size_t end = headers.find("\r\n", start);
        if (end == std::string::npos)
            end = headers.size();
        std::string line = headers.substr(start, end - start);
        size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), name.size()) == 0)
            values.push_back(line.substr(colon + 2));
        start = end + 2;
    }
    return values;
}

std::string headerValue(const std::string& headers, const std::string& name) {
    auto values = headerValues(headers, name);
    return values.empty() ? "(none)" : values[0];
}
