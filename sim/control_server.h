#pragma once
// The simulator's control socket: a Unix stream socket in the sandbox where tests and people send
// one-line commands ("frame /tmp/panel.png", "key 37 tap") and get one-line answers ("ok", "error ...").

#include "core/epoller.h"
#include "platform/unique_fd.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ControlServer : public EPoller {
public:
    // A command's handler gets the words after the command name and returns the answer line
    // (without the line end).
    using Handler = std::function<std::string(const std::vector<std::string>& arguments)>;

    ControlServer();
    ~ControlServer() override;

    // Listens on the socket path (a stale socket file is replaced). False with a reason on failure.
    bool listen(const std::string& path, std::string& error);
    void addCommand(const std::string& name, Handler handler);
    bool hasCommand(const std::string& name) const { return commands_.count(name) != 0; }
    // The answer to one command line.
    std::string execute(const std::string& line) const;

    void onEvents(uint32_t events) override;

private:
    class Connection;
    void drop(Connection* connection);

    platform::UniqueFd socket_;
    std::string path_;
    std::map<std::string, Handler> commands_;
    std::vector<std::unique_ptr<Connection>> connections_;
};
