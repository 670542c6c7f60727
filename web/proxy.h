#pragma once
// The relay of HTTP/1.1 over TLS: the decrypted bytes of an HTTPS session go unchanged to the local
// HTTP/1.1 server at 127.0.0.1 and its answers back, each direction bounded.

#include "core/epoller.h"

#include <memory>
#include <string>

class Http2Session;

class Proxy : public EPoller {
public:
    // Toward the client: stop reading the server beyond this, read again below the low mark.
    static constexpr size_t kHighMark = 102400;
    static constexpr size_t kLowMark = 10240;

    // Connects to the local port; nullptr (logged) when that fails at once.
    static std::unique_ptr<Proxy> connectTo(Http2Session& owner, int port);
    ~Proxy() override;

    void onEvents(uint32_t events) override;

    // Writes what the server sent through the owner's TLS; false when the relay ended.
    bool flushToClient();
    // Queues bytes of the client for the server.
    void sendToServer(const char* data, size_t size);
    size_t toServerSize() const { return toServer_.size(); }

private:
    Proxy(Http2Session& owner, int fd) : owner_(owner), fd_(fd) {}
    // Stops relaying and lets the owner close on its next event.
    void tearDown();

    Http2Session& owner_;
    int fd_;
    bool connected_ = false;
    bool ended_ = false;
    // The server closed its side; the relay ends once its last bytes reached the client.
    bool serverClosed_ = false;
    std::string toClient_;
    std::string toServer_;
};
