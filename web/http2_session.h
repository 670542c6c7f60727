#pragma once
// One accepted HTTPS connection: the TLS handshake, then HTTP/2 through nghttp2 when "h2" was
// negotiated, or a relay of the decrypted bytes to the local HTTP/1.1 server otherwise.

#include "core/epoller.h"
#include "web/http2_stream.h"

#include <cstdint>
#include <memory>
#include <openssl/ssl.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/types.h>

struct nghttp2_session;
class HttpsSessionHost;
class Proxy;

class Http2Session : public EPoller {
public:
    enum State { kHandshake = 0, kHttp2 = 1, kRelaying = 2, kClosing = 3 };
    // Request bodies buffered at once in one session (all its streams together).
    static constexpr size_t kMaxBufferedBodies = 4 * 1048576;

    // Takes the socket; false from ok() (and the socket closed) when the session could not be made.
    Http2Session(HttpsSessionHost& host, SSL_CTX* context, int fd, const sockaddr* address, socklen_t length);
    ~Http2Session() override;

    bool ok() const { return tls_ != nullptr; }
    // Starts the handshake (the first pass of the state machine). The session may close itself.
    void begin() { onEvents(0); }
    void onEvents(uint32_t events) override;

    int state() const { return state_; }
    const std::string& peer() const { return peer_; }
    // Monotonic milliseconds of the last event and of the accept.
    uint32_t lastActivityMs() const { return lastActivityMs_; }
    uint32_t acceptedMs() const { return acceptedMs_; }

    // The TLS send of the nghttp2 session and the relay: a byte count or an nghttp2 error code.
    ssize_t tlsSend(const uint8_t* data, size_t length);
    // The relay ended: the session closes itself on its next event.
    void relayEnded();

    // nghttp2 callbacks (user data is the session).
    ssize_t tlsReceive(uint8_t* buffer, size_t length);
    int onBeginHeaders(int32_t streamId);
    int onHeader(int32_t streamId, const std::string& name, const std::string& value);
    int onDataChunk(int32_t streamId, const uint8_t* data, size_t length);
    int onFrameReceived(int32_t streamId, bool endStream);
    int onStreamClosed(int32_t streamId);

private:
    void handshake();
    bool startHttp2();
    void startRelay();
    void relayPass();
    void addInterest(uint32_t events) { watch(watchedFd(), watchedEvents() | events); }
    void removeInterest(uint32_t events) { watch(watchedFd(), watchedEvents() & ~events); }
    void setInterest(uint32_t events) { watch(watchedFd(), events); }
    // Destroys this session through its host; nothing may touch it afterwards.
    void close();
    // After a TLS call that did not complete: waits for the direction it needs, or closes the session
    // on any other outcome.
    void awaitTlsOrClose(int result);

    HttpsSessionHost& host_;
    int fd_;
    SSL* tls_ = nullptr;
    nghttp2_session* session_ = nullptr;
    std::string peer_;
    int state_ = kHandshake;
    std::set<Http2Stream*> streams_;
    std::unique_ptr<Proxy> relay_;
    size_t bufferedBodies_ = 0;
    uint32_t lastActivityMs_;
    uint32_t acceptedMs_;
};
