#include "web/mhd_connection.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// libmicrohttpd pulls the body in blocks of this size.
const size_t kResponseBlock = 32768;
const size_t kPostBuffer = 1024;

ssize_t readResponse(void* cls, uint64_t, char* buffer, size_t maxBytes) {
    auto* response = static_cast<Response*>(cls);
    if (!response)
        return MHD_CONTENT_READER_END_WITH_ERROR;
    bool end = false;
    bool error = false;
    size_t count = response->read(buffer, maxBytes, end, error);
    if (error)
        return MHD_CONTENT_READER_END_WITH_ERROR;
    if (end && count == 0)
        return MHD_CONTENT_READER_END_OF_STREAM;
    return static_cast<ssize_t>(count);
}

void freeResponse(void* cls) {
    delete static_cast<Response*>(cls);
}

MHD_Result takeArgument(void* cls, MHD_ValueKind, const char* key, const char* value) {
    if (key)
        static_cast<MhdConnection*>(cls)->arguments[key] = value ? value : "";
    return MHD_YES;
}

MHD_Result takeHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
    if (!key)
        return MHD_YES;
    std::string name = key;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static_cast<MhdConnection*>(cls)->requestHeaders.emplace_back(name, value ? value : "");
    return MHD_YES;
}

MHD_Result takeCookie(void* cls, MHD_ValueKind, const char* key, const char* value) {
    if (key)
        static_cast<MhdConnection*>(cls)->cookies[key] = value ? value : "";
    return MHD_YES;
}

MHD_Result formIterator(void* cls, MHD_ValueKind, const char* key, const char*, const char*, const char*,
                        const char* data, uint64_t offset, size_t size) {
    return static_cast<MhdConnection*>(cls)->addFormData(key, data, offset, size) ? MHD_YES : MHD_NO;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

MhdConnection::~MhdConnection() {
    if (postProcessor_)
        MHD_destroy_post_processor(postProcessor_);
}

bool MhdConnection::sendResponse(int status, std::unique_ptr<Response> response) {
    if (!response)
        return false;
    response->transaction = this;
    uint64_t size = static_cast<uint64_t>(response->size()); // -1 is MHD_SIZE_UNKNOWN
    // From here the library owns the response and frees it when it is done with it.
    Response* owned = response.release();
    MHD_Response* mhdResponse =
        MHD_create_response_from_callback(size, kResponseBlock, readResponse, owned, freeResponse);
    if (!mhdResponse) {
        delete owned;
        return false;
    }
    for (const auto& [name, value] : responseHeaders)
        MHD_add_response_header(mhdResponse, name.c_str(), value.c_str());
    MHD_Result queued = MHD_queue_response(connection_, static_cast<unsigned>(status), mhdResponse);
    MHD_destroy_response(mhdResponse);
    return queued == MHD_YES;
}

std::string MhdConnection::remoteAddress() {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection_, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr)
        return "[unknown]";
    const sockaddr* address = info->client_addr;
    char text[255];
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        if (inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text))
            return std::string("[") + text + "]";
    } else if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        // The dual-stack listener sees IPv4 clients as mapped addresses; they are shown as IPv4.
        if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
            if (inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text, sizeof text))
                return std::string("[") + text + "]";
        } else if (inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text)) {
            return std::string("[") + text + "]";
        }
    }
    return "[unknown]";
}

void MhdConnection::collectArguments() {
    MHD_get_connection_values(connection_, MHD_GET_ARGUMENT_KIND, takeArgument, this);
}

void MhdConnection::collectHeadersAndCookies() {
    if (headersTaken_)
        return;
    headersTaken_ = true;
    MHD_get_connection_values(connection_, MHD_HEADER_KIND, takeHeader, this);
    MHD_get_connection_values(connection_, MHD_COOKIE_KIND, takeCookie, this);
}

bool MhdConnection::startPostProcessor() {
    postProcessor_ = MHD_create_post_processor(connection_, kPostBuffer, formIterator, this);
    return postProcessor_ != nullptr;
}

bool MhdConnection::addFormData(const char* name, const char* data, uint64_t offset, size_t size) {
    if (!name || size == 0)
        return true;
    if (formBytes + size > kMaxRequestBody)
        return false;
    formBytes += static_cast<uint32_t>(size);
    std::string& value = arguments[name];
    // Pieces that do not continue the value are out of order and ignored.
    if (offset == value.size())
        value.append(data, size);
    return true;
}

bool MhdConnection::addJsonBody(const char* data, size_t size) {
    std::string contentType;
    if (!findRequestHeader("content-type", contentType) ||
        lowerCase(contentType).find("application/json") == std::string::npos)
        return false;
    std::string& body = arguments["json"];
    if (body.size() + size > kMaxRequestBody)
        return false;
    body.append(data, size);
    return true;
}
