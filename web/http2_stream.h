#pragma once
// One HTTP/2 request stream: its pseudo-headers, query arguments, cookies and body as they arrive,
// and its response submitted to the nghttp2 session.

#include "web/http_transaction.h"

#include <cstdint>
#include <string>

struct nghttp2_session;

class Http2Stream : public HttpTransaction {
public:
    Http2Stream(int32_t streamId, nghttp2_session* session, std::string peer)
        : streamId_(streamId), session_(session), peer_(std::move(peer)) {}

    // HTTP/2 field names are lower-case.
    void addResponseHeader(const std::string& name, const std::string& value) override;
    bool sendResponse(int status, std::unique_ptr<Response> response) override;
    std::string remoteAddress() override { return peer_; }

    // One request header field as received.
    void onHeader(const std::string& name, const std::string& value);
    // A piece of the body; false when it was dropped (the body would pass 1 MiB).
    bool onData(const uint8_t* data, size_t size);
    // The request is complete: a JSON body becomes the argument "json".
    void takeJsonBody();

    const std::string& method() const { return method_; }
    const std::string& path() const { return path_; }
    const std::string& authority() const { return authority_; }
    const std::string& body() const { return body_; }
    int32_t streamId() const { return streamId_; }
    Response* response() { return response_.get(); }

private:
    int32_t streamId_;
    nghttp2_session* session_;
    std::string peer_;
    std::string method_;
    std::string path_;
    std::string authority_;
    std::string body_;
    std::unique_ptr<Response> response_;
};
