#include "sim/control_server.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxConnections = 16;
// Answers a client has not read yet; past this, its commands wait until it reads.
constexpr size_t kMaxBacklog = 65536;

} // namespace

// One client: lines in, answers out. A line longer than kMaxLine ends the connection; a client that
// does not read its answers is not read from either.
class ControlServer::Connection : public EPoller {
public:
    Connection(ControlServer& server, int fd) : server_(server), fd_(fd) { watch(fd, EPOLLIN); }
    ~Connection() override { watch(fd_.get(), 0); }

    void onEvents(uint32_t events) override {
        if (events & EPOLLOUT)
            flush();
        bool hungUp = events & (EPOLLHUP | EPOLLERR);
        if (!hungUp && (!(events & EPOLLIN) || output_.size() > kMaxBacklog))
            return;
        char buffer[1024];
        ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
        if (n <= 0) {
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                server_.drop(this);
            return;
        }
        input_.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = input_.find('\n')) != std::string::npos;) {
            std::string line = input_.substr(0, end);
            input_.erase(0, end + 1);
            output_ += server_.execute(line) + "\n";
        }
        if (input_.size() > kMaxLine) {
            server_.drop(this);
            return;
        }
        flush();
    }

private:
    void flush() {
        while (!output_.empty()) {
            ssize_t n = ::send(fd_.get(), output_.data(), output_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n <= 0)
                break;
            output_.erase(0, static_cast<size_t>(n));
        }
        if (output_.size() > kMaxBacklog)
            watch(fd_.get(), EPOLLOUT);
        else
            watch(fd_.get(), output_.empty() ? EPOLLIN : EPOLLIN | EPOLLOUT);
    }

    ControlServer& server_;
    platform::UniqueFd fd_;
    std::string input_;
    std::string output_;
};

ControlServer::ControlServer() = default;

ControlServer::~ControlServer() {
    connections_.clear();
    watch(socket_.get(), 0);
    if (socket_)
        ::unlink(path_.c_str());
}

bool ControlServer::listen(const std::string& path, std::string& error) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        error = "control socket path too long: " + path;
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    platform::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = std::string("cannot create the control socket: ") + strerror(errno);
        return false;
    }
    ::unlink(path.c_str());
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), 4) != 0) {
        error = "cannot listen on " + path + ": " + strerror(errno);
        return false;
    }
    socket_ = std::move(fd);
    path_ = path;
    watch(socket_.get(), EPOLLIN);
    return true;
}

void ControlServer::addCommand(const std::string& name, Handler handler) {
    commands_[name] = std::move(handler);
}

std::string ControlServer::execute(const std::string& line) const {
    std::istringstream words(line);
    std::string name;
    words >> name;
    if (name.empty())
        return "error empty command";
    auto command = commands_.find(name);
    if (command == commands_.end())
        return "error unknown command " + name;
    std::vector<std::string> arguments;
    for (std::string word; words >> word;)
        arguments.push_back(word);
    return command->second(arguments);
}

void ControlServer::onEvents(uint32_t) {
    int fd = ::accept4(socket_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (connections_.size() >= kMaxConnections) {
        ::close(fd);
        return;
    }
    connections_.push_back(std::make_unique<Connection>(*this, fd));
}

void ControlServer::drop(Connection* connection) {
    auto it = std::find_if(
        connections_.begin(), connections_.end(),
        [connection](const std::unique_ptr<Connection>& owned) { return owned.get() == connection; });
    if (it != connections_.end())
        connections_.erase(it);
}
