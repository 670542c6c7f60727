#include "tests/support/control_client.h"

#include "platform/unique_fd.h"

#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

std::string controlCommand(const std::string& socketPath, const std::string& line) {
    sockaddr_un address{};
    if (socketPath.size() >= sizeof address.sun_path)
        return "error path too long";
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    platform::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return "error cannot connect";
    std::string request = line + "\n";
    if (::send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size()))
        return "error cannot send";
    std::string answer;
    while (answer.find('\n') == std::string::npos) {
        pollfd set{fd.get(), POLLIN, 0};
        if (::poll(&set, 1, 1000) <= 0)
            return "error no answer";
        char buffer[512];
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n <= 0)
            return "error connection closed";
        answer.append(buffer, static_cast<size_t>(n));
    }
    return answer.substr(0, answer.find('\n'));
}
