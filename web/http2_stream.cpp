#include "web/http2_stream.h"

#include "core/log.h"
#include "web/percent_decode.h"

#include <algorithm>
#include <cctype>
#include <nghttp2/nghttp2.h>
#include <vector>

namespace {

const char kUnit[] = "http_server";

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

ssize_t readBody(nghttp2_session* session, int32_t streamId, uint8_t* buffer, size_t length, uint32_t* flags,
                 nghttp2_data_source*, void*) {
    auto* stream = static_cast<Http2Stream*>(nghttp2_session_get_stream_user_data(session, streamId));
    if (!stream || !stream->response())
        return NGHTTP2_ERR_TEMPORAL_CALLBACK_FAILURE;
    bool end = false;
    bool error = false;
    size_t count = stream->response()->read(reinterpret_cast<char*>(buffer), length, end, error);
    if (error)
        return NGHTTP2_ERR_TEMPORAL_CALLBACK_FAILURE;
    if (end)
        *flags |= NGHTTP2_DATA_FLAG_EOF;
    return static_cast<ssize_t>(count);
}

nghttp2_nv headerPair(const std::pair<std::string, std::string>& header) {
    return {reinterpret_cast<uint8_t*>(const_cast<char*>(header.first.data())),
            reinterpret_cast<uint8_t*>(const_cast<char*>(header.second.data())), header.first.size(),
            header.second.size(), NGHTTP2_NV_FLAG_NONE};
}

} // namespace

void Http2Stream::addResponseHeader(const std::string& name, const std::string& value) {
    HttpTransaction::addResponseHeader(lowerCase(name), value);
}

bool Http2Stream::sendResponse(int status, std::unique_ptr<Response> response) {
    if (!response)
        return false;
    response_ = std::move(response);
    response_->transaction = this;
    addResponseHeader(":status", std::to_string(status));
    std::vector<nghttp2_nv> headers;
    for (const auto& header : responseHeaders)
        if (!header.first.empty() && header.first[0] == ':')
            headers.push_back(headerPair(header));
    for (const auto& header : responseHeaders)
        if (header.first.empty() || header.first[0] != ':')
            headers.push_back(headerPair(header));
    nghttp2_data_provider provider{};
    provider.read_callback = readBody;
    int result = nghttp2_submit_response(session_, streamId_, headers.data(), headers.size(), &provider);
    if (result != 0) {
        LOG_MSG(LOG_ERR, kUnit, "Http2Stream::send_response(): fatal error: %s", nghttp2_strerror(result));
        return false;
    }
    return true;
}

void Http2Stream::onHeader(const std::string& name, const std::string& value) {
    if (name == ":path") {
        size_t question = value.find('?');
        path_ = percentDecode(value.substr(0, question));
        if (question == std::string::npos)
            return;
        std::string query = value.substr(question + 1);
        size_t start = 0;
        while (start <= query.size()) {
            size_t amp = query.find('&', start);
            std::string piece =
                query.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
            size_t equals = piece.find('=');
            if (equals == std::string::npos)
                arguments[percentDecode(piece)] = "";
            else
                arguments[percentDecode(piece.substr(0, equals))] = percentDecode(piece.substr(equals + 1));
            if (amp == std::string::npos)
                break;
            start = amp + 1;
        }
        return;
    }
    if (name == ":method") {
        method_ = value;
        return;
    }
    if (name == ":authority") {
        authority_ = value;
        return;
    }
    if (name == "cookie") {
        // Browsers send one cookie per field; clients that join them with "; " are split here.
        size_t start = 0;
        while (start <= value.size()) {
            size_t separator = value.find("; ", start);
            std::string cookie = percentDecode(
                value.substr(start, separator == std::string::npos ? std::string::npos : separator - start));
            size_t equals = cookie.find('=');
            if (equals == std::string::npos)
                cookies[cookie] = "";
            else
                cookies[cookie.substr(0, equals)] = cookie.substr(equals + 1);
            if (separator == std::string::npos)
                break;
            start = separator + 2;
        }
        return;
    }
    requestHeaders.emplace_back(name, percentDecode(value));
}

bool Http2Stream::onData(const uint8_t* data, size_t size) {
    if (body_.size() + size > kMaxRequestBody)
        return false;
    body_.append(reinterpret_cast<const char*>(data), size);
    return true;
}

void Http2Stream::takeJsonBody() {
    std::string contentType;
    if (findRequestHeader("content-type", contentType) &&
        lowerCase(contentType).find("application/json") != std::string::npos)
        arguments["json"] = body_;
}
