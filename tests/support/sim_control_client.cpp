#include "tests/support/sim_control_client.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

std::string simCommand(const std::string& socketPath, const std::string& line, int timeoutMs) {
    platform::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return std::string("error connect: ") + strerror(errno);
    std::string request = line + "\n";
    if (::send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size()))
        return "error send";
    std::string answer;
    for (;;) {
        pollfd ready{fd.get(), POLLIN, 0};
        if (::poll(&ready, 1, timeoutMs) <= 0)
            return "error timeout";
        char buffer[512];
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n <= 0)
            return "error closed";
        answer.append(buffer, static_cast<size_t>(n));
        size_t end = answer.find('\n');
        if (end != std::string::npos)
            return answer.substr(0, end);
    }
}
