#pragma once
// One request of either transport, as the dispatch and the API see it.

#include "web/response.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// Request bodies and form data are limited to 1 MiB.
constexpr size_t kMaxRequestBody = 1048576;

class HttpTransaction {
public:
    virtual ~HttpTransaction() = default;

    virtual void addResponseHeader(const std::string& name, const std::string& value) {
        responseHeaders.emplace_back(name, value);
    }
    // Hands the response to the transport; false when it could not be queued.
    virtual bool sendResponse(int status, std::unique_ptr<Response> response) = 0;
    virtual std::string remoteAddress() = 0;

    // First request header of that lower-case name.
    bool findRequestHeader(const std::string& name, std::string& value) const;

    std::map<std::string, std::string> cookies;
    std::map<std::string, std::string> arguments;
    HeaderList requestHeaders;
    HeaderList responseHeaders;
    uint32_t formBytes = 0;
};
