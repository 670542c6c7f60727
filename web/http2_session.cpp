#include "web/http2_session.h"

#include "core/log.h"
#include "platform/clock.h"
#include "web/dispatch.h"
#include "web/https_session_host.h"
#include "web/proxy.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <nghttp2/nghttp2.h>
#include <openssl/err.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

const char kUnit[] = "http_server";
const uint32_t kMaxConcurrentStreams = 100;
// The relay stops reading TLS while this much waits for the local server.
const size_t kRelayToServerLimit = 102400;
const size_t kRelayReadBlock = 4096;

Http2Session* sessionOf(void* userData) {
    return static_cast<Http2Session*>(userData);
}

ssize_t sendCallback(nghttp2_session*, const uint8_t* data, size_t length, int, void* userData) {
    return sessionOf(userData)->tlsSend(data, length);
}

ssize_t recvCallback(nghttp2_session*, uint8_t* buffer, size_t length, int, void* userData) {
    return sessionOf(userData)->tlsReceive(buffer, length);
}

int beginHeadersCallback(nghttp2_session*, const nghttp2_frame* frame, void* userData) {
    if (frame->hd.type != NGHTTP2_HEADERS || frame->headers.cat != NGHTTP2_HCAT_REQUEST)
        return 0;
    return sessionOf(userData)->onBeginHeaders(frame->hd.stream_id);
}

int headerCallback(nghttp2_session*, const nghttp2_frame* frame, const uint8_t* name, size_t nameLength,
                   const uint8_t* value, size_t valueLength, uint8_t, void* userData) {
    if (frame->hd.type != NGHTTP2_HEADERS || frame->headers.cat != NGHTTP2_HCAT_REQUEST)
        return 0;
    return sessionOf(userData)->onHeader(frame->hd.stream_id,
                                         std::string(reinterpret_cast<const char*>(name), nameLength),
                                         std::string(reinterpret_cast<const char*>(value), valueLength));
}

int dataChunkCallback(nghttp2_session*, uint8_t, int32_t streamId, const uint8_t* data, size_t length,
                      void* userData) {
    return sessionOf(userData)->onDataChunk(streamId, data, length);
}

int frameReceivedCallback(nghttp2_session*, const nghttp2_frame* frame, void* userData) {
    if (frame->hd.type != NGHTTP2_DATA && frame->hd.type != NGHTTP2_HEADERS)
        return 0;
    if (!(frame->hd.flags & NGHTTP2_FLAG_END_STREAM))
        return 0;
    return sessionOf(userData)->onFrameReceived(frame->hd.stream_id, true);
}

int streamClosedCallback(nghttp2_session*, int32_t streamId, uint32_t, void* userData) {
    return sessionOf(userData)->onStreamClosed(streamId);
}

int errorCallback(nghttp2_session*, const char* message, size_t length, void*) {
    LOG_MSG(LOG_ERR, kUnit, "HTTP2: error: %.*s", static_cast<int>(length), message);
    return 0;
}

std::string sslErrorText(int code) {
    char text[256];
    unsigned long error = ERR_get_error();
    if (error == 0)
        return code == SSL_ERROR_SYSCALL ? strerror(errno) : "no error queued";
    ERR_error_string_n(error, text, sizeof text);
    ERR_clear_error();
    return text;
}

std::string peerText(const sockaddr* address, socklen_t length) {
    char host[NI_MAXHOST];
    if (getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
        return "(unknown)";
    std::string text = host;
    // IPv4 clients of the dual-stack listener are shown as IPv4.
    const char kMapped[] = "::ffff:";
    if (text.rfind(kMapped, 0) == 0 && text.find('.') != std::string::npos)
        text = text.substr(sizeof kMapped - 1);
    return text;
}

} // namespace

Http2Session::Http2Session(HttpsSessionHost& host, SSL_CTX* context, int fd, const sockaddr* address,
                           socklen_t length)
    : host_(host), fd_(fd), lastActivityMs_(platform::monotonicMs()), acceptedMs_(lastActivityMs_) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    peer_ = peerText(address, length);
    watch(fd, 0);
    tls_ = SSL_new(context);
    if (!tls_ || SSL_set_fd(tls_, fd) != 1) {
        LOG_MSG(LOG_ERR, kUnit, "cannot create SSL: %s", sslErrorText(0).c_str());
        if (tls_)
            SSL_free(tls_);
        tls_ = nullptr;
    }
}

Http2Session::~Http2Session() {
    relay_.reset();
    if (tls_) {
        SSL_shutdown(tls_);
        SSL_free(tls_);
    }
    ERR_clear_error();
    if (session_)
        nghttp2_session_del(session_);
    for (Http2Stream* stream : streams_)
        delete stream;
    watch(fd_, 0);
    ::close(fd_);
}

void Http2Session::close() {
    host_.closeSession(this);
}

void Http2Session::onEvents(uint32_t) {
    lastActivityMs_ = platform::monotonicMs();
    switch (state_) {
    case kHandshake:
        handshake();
        return;
    case kHttp2: {
        int result = nghttp2_session_recv(session_);
        if (result != 0) {
            // The end of the client's stream is the ordinary end of a session.
            if (result != NGHTTP2_ERR_EOF)
                LOG_MSG(LOG_ERR, kUnit, "--> nghttp2_session_recv(): error: %s", nghttp2_strerror(result));
            close();
            return;
        }
        result = nghttp2_session_send(session_);
        if (result != 0) {
            LOG_MSG(LOG_ERR, kUnit, "--> nghttp2_session_send(): error: %s", nghttp2_strerror(result));
            close();
            return;
        }
        if (!nghttp2_session_want_read(session_) && !nghttp2_session_want_write(session_))
            close();
        return;
    }
    case kRelaying:
        relayPass();
        return;
    default:
        close();
        return;
    }
}

void Http2Session::handshake() {
    ERR_clear_error();
    int result = SSL_accept(tls_);
    if (result == 1) {
        const unsigned char* protocol = nullptr;
        unsigned int length = 0;
        SSL_get0_next_proto_negotiated(tls_, &protocol, &length);
        if (!protocol)
            SSL_get0_alpn_selected(tls_, &protocol, &length);
        if (protocol && length == 2 && memcmp(protocol, "h2", 2) == 0) {
            if (!startHttp2())
                close();
            return;
        }
        LOG_MSG(LOG_INFO, kUnit, "--> %s: h2 is not negotiated", peer_.c_str());
        startRelay();
        return;
    }
    if (result > 0)
        return;
    awaitTlsOrClose(result);
}

void Http2Session::awaitTlsOrClose(int result) {
    int error = SSL_get_error(tls_, result);
    if (error == SSL_ERROR_WANT_READ) {
        setInterest(EPOLLIN);
        return;
    }
    if (error == SSL_ERROR_WANT_WRITE) {
        setInterest(EPOLLOUT);
        return;
    }
    ERR_clear_error();
    close();
}

bool Http2Session::startHttp2() {
    state_ = kHttp2;
    nghttp2_session_callbacks* callbacks = nullptr;
    if (nghttp2_session_callbacks_new(&callbacks) != 0)
        return false;
    nghttp2_session_callbacks_set_send_callback(callbacks, sendCallback);
    nghttp2_session_callbacks_set_recv_callback(callbacks, recvCallback);
    nghttp2_session_callbacks_set_on_begin_headers_callback(callbacks, beginHeadersCallback);
    nghttp2_session_callbacks_set_on_header_callback(callbacks, headerCallback);
    nghttp2_session_callbacks_set_on_data_chunk_recv_callback(callbacks, dataChunkCallback);
    nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, frameReceivedCallback);
    nghttp2_session_callbacks_set_on_stream_close_callback(callbacks, streamClosedCallback);
    nghttp2_session_callbacks_set_error_callback2(
        callbacks, [](nghttp2_session* session, int, const char* message, size_t length, void* userData) {
            return errorCallback(session, message, length, userData);
        });
    int result = nghttp2_session_server_new(&session_, callbacks, this);
    nghttp2_session_callbacks_del(callbacks);
    if (result != 0)
        return false;
    nghttp2_settings_entry settings[] = {{NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS, kMaxConcurrentStreams}};
    result = nghttp2_submit_settings(session_, NGHTTP2_FLAG_NONE, settings, 1);
    if (result != 0) {
        LOG_MSG(LOG_ERR, kUnit, "--> nghttp2_submit_settings(): fatal error: %s", nghttp2_strerror(result));
        return false;
    }
    setInterest(EPOLLIN);
    result = nghttp2_session_send(session_);
    if (result != 0) {
        LOG_MSG(LOG_ERR, kUnit, "--> nghttp2_session_send(): fatal error: %s", nghttp2_strerror(result));
        return false;
    }
    return true;
}

void Http2Session::startRelay() {
    state_ = kRelaying;
    setInterest(EPOLLIN | EPOLLOUT);
    relay_ = Proxy::connectTo(*this, host_.relayPort());
}

void Http2Session::relayPass() {
    if (!relay_) {
        close();
        return;
    }
    if (!relay_->flushToClient())
        return; // the relay ended; the session closes on its next event
    while (relay_->toServerSize() < kRelayToServerLimit) {
        char buffer[kRelayReadBlock];
        ERR_clear_error();
        int count = SSL_read(tls_, buffer, sizeof buffer);
        if (count > 0) {
            relay_->sendToServer(buffer, static_cast<size_t>(count));
            continue;
        }
        awaitTlsOrClose(count);
        return;
    }
}

void Http2Session::relayEnded() {
    state_ = kClosing;
    setInterest(EPOLLIN | EPOLLOUT);
}

ssize_t Http2Session::tlsSend(const uint8_t* data, size_t length) {
    ERR_clear_error();
    int count = SSL_write(tls_, data, static_cast<int>(length));
    if (count > 0) {
        removeInterest(EPOLLOUT);
        return count;
    }
    int error = SSL_get_error(tls_, count);
    if (error == SSL_ERROR_WANT_READ) {
        addInterest(EPOLLIN);
        return NGHTTP2_ERR_WOULDBLOCK;
    }
    if (error == SSL_ERROR_WANT_WRITE) {
        addInterest(EPOLLOUT);
        return NGHTTP2_ERR_WOULDBLOCK;
    }
    LOG_MSG(LOG_ERR, kUnit, "send_callback(): TLS connection error: e=%d: %s", error,
            sslErrorText(error).c_str());
    removeInterest(EPOLLOUT);
    return NGHTTP2_ERR_CALLBACK_FAILURE;
}

ssize_t Http2Session::tlsReceive(uint8_t* buffer, size_t length) {
    setInterest(EPOLLIN);
    ERR_clear_error();
    int count = SSL_read(tls_, buffer, static_cast<int>(length));
    if (count > 0)
        return count;
    int error = SSL_get_error(tls_, count);
    if (error == SSL_ERROR_WANT_READ)
        return NGHTTP2_ERR_WOULDBLOCK;
    if (error == SSL_ERROR_WANT_WRITE) {
        setInterest(EPOLLOUT);
        return NGHTTP2_ERR_WOULDBLOCK;
    }
    // A clean close of the client is the end of the stream, not an error worth a line.
    if (error != SSL_ERROR_ZERO_RETURN && error != SSL_ERROR_SYSCALL)
        LOG_MSG(LOG_ERR, kUnit, "recv_callback(): TLS connection error: e=%d: %s", error,
                sslErrorText(error).c_str());
    ERR_clear_error();
    return NGHTTP2_ERR_EOF;
}

int Http2Session::onBeginHeaders(int32_t streamId) {
    auto* stream = new Http2Stream(streamId, session_, peer_);
    streams_.insert(stream);
    nghttp2_session_set_stream_user_data(session_, streamId, stream);
    return 0;
}

int Http2Session::onHeader(int32_t streamId, const std::string& name, const std::string& value) {
    auto* stream = static_cast<Http2Stream*>(nghttp2_session_get_stream_user_data(session_, streamId));
    if (stream)
        stream->onHeader(name, value);
    return 0;
}

int Http2Session::onDataChunk(int32_t streamId, const uint8_t* data, size_t length) {
    auto* stream = static_cast<Http2Stream*>(nghttp2_session_get_stream_user_data(session_, streamId));
    if (!stream)
        return 0;
    // All streams of a session together hold at most this much; a stream beyond it is refused.
    if (bufferedBodies_ + length > kMaxBufferedBodies) {
        nghttp2_submit_rst_stream(session_, NGHTTP2_FLAG_NONE, streamId, NGHTTP2_REFUSED_STREAM);
        return 0;
    }
    if (stream->onData(data, length))
        bufferedBodies_ += length;
    return 0;
}

int Http2Session::onFrameReceived(int32_t streamId, bool) {
    auto* stream = static_cast<Http2Stream*>(nghttp2_session_get_stream_user_data(session_, streamId));
    if (!stream)
        return 0;
    stream->takeJsonBody();
    bool sent = host_.dispatcher().dispatch(*stream, stream->path(), stream->method(), "HTTP/2");
    return sent ? 0 : NGHTTP2_ERR_CALLBACK_FAILURE;
}

int Http2Session::onStreamClosed(int32_t streamId) {
    auto* stream = static_cast<Http2Stream*>(nghttp2_session_get_stream_user_data(session_, streamId));
    if (!stream)
        return 0;
    bufferedBodies_ -= std::min(bufferedBodies_, stream->body().size());
    streams_.erase(stream);
    nghttp2_session_set_stream_user_data(session_, streamId, nullptr);
    delete stream;
    return 0;
}
