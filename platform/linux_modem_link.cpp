#include "platform/linux_modem_link.h"

#include "platform/unique_fd.h"

#include <arpa/inet.h>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

const char kPppScript[] = "/etc/init.d/ppp";
constexpr int kExecFailedStatus = 2;

bool queryInterface(const std::string& name, unsigned long request, ifreq& request_out) {
    UniqueFd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock)
        return false;
    std::memset(&request_out, 0, sizeof request_out);
    std::strncpy(request_out.ifr_name, name.c_str(), IFNAMSIZ - 1);
    return ::ioctl(sock.get(), request, &request_out) == 0;
}

} // namespace

bool LinuxModemLink::startPppService() {
    pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid > 0)
        return true;
    ::setsid();
    for (int fd = ::getdtablesize() - 1; fd >= 0; --fd)
        ::close(fd);
    ::execl(kPppScript, "ppp", "restart", static_cast<char*>(nullptr));
    ::_exit(kExecFailedStatus);
}

bool LinuxModemLink::interfaceUp(const std::string& name) {
    ifreq request;
    if (!queryInterface(name, SIOCGIFFLAGS, request))
        return false;
    return (request.ifr_flags & IFF_UP) != 0;
}

std::string LinuxModemLink::interfaceIpv4(const std::string& name) {
    ifreq request;
    if (!queryInterface(name, SIOCGIFADDR, request) || request.ifr_addr.sa_family != AF_INET)
        return std::string();
    sockaddr_in address;
    std::memcpy(&address, &request.ifr_addr, sizeof address);
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text))
        return std::string();
    return text;
}

} // namespace platform
