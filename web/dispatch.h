#pragma once
// The one request dispatch of both transports: the API, static files under "/srv/www/" with entity
// tags, gzip siblings and content types, or an error page.

#include "web/http_transaction.h"

#include <string>

class Api;

class Dispatcher {
public:
    explicit Dispatcher(Api& api) : api_(api) {}

    // False when the response could not be handed to the transport.
    bool dispatch(HttpTransaction& transaction, std::string path, std::string method,
                  const std::string& version);

private:
    Api& api_;
};

// "Content-Type" by the extension after the last "." of the request path.
const char* contentTypeFor(const std::string& path);
// The HTML body of the error page of a status.
const char* errorPageBody(int status);
bool sendErrorPage(HttpTransaction& transaction, int status);
// The quoted MD5 of a file's content, empty when it cannot be read.
std::string genETag(const std::string& fileName);
