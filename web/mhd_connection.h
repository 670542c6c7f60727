#pragma once
// One HTTP/1.1 request on libmicrohttpd: its headers, cookies, arguments and body, and the response
// handed to the library.

#include "web/http_transaction.h"

struct MHD_Connection;
struct MHD_PostProcessor;

class MhdConnection : public HttpTransaction {
public:
    explicit MhdConnection(MHD_Connection* connection) : connection_(connection) {}
    ~MhdConnection() override;
    MhdConnection(const MhdConnection&) = delete;
    MhdConnection& operator=(const MhdConnection&) = delete;

    bool sendResponse(int status, std::unique_ptr<Response> response) override;
    // "[address]" for IPv4 and IPv6 peers (IPv4-mapped IPv6 shown as IPv4), "[unknown]" otherwise.
    std::string remoteAddress() override;

    // The query arguments of a GET.
    void collectArguments();
    // The request headers (names lower-cased) and cookies; taken once.
    void collectHeadersAndCookies();
    // Form fields of a form-encoded POST; false when the library makes no processor for this body.
    bool startPostProcessor();
    MHD_PostProcessor* postProcessor() const { return postProcessor_; }
    // One piece of a form field; false beyond the 1 MiB of form data.
    bool addFormData(const char* name, const char* data, uint64_t offset, size_t size);
    // A piece of a JSON body; false when it is not JSON or beyond 1 MiB.
    bool addJsonBody(const char* data, size_t size);

private:
    MHD_Connection* connection_;
    MHD_PostProcessor* postProcessor_ = nullptr;
    bool headersTaken_ = false;
};
