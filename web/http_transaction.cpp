#include "web/http_transaction.h"

bool HttpTransaction::findRequestHeader(const std::string& name, std::string& value) const {
    for (const auto& [headerName, headerValue] : requestHeaders) {
        if (headerName == name) {
            value = headerValue;
            return true;
        }
    }
    return false;
}
