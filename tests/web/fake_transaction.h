#pragma once
// A transaction without a transport, for the API and dispatch tests: it keeps the answer it is given.

#include "web/http_transaction.h"
#include "web/json_value.h"

#include <string>
#include <vector>

class FakeTransaction : public HttpTransaction {
public:
    explicit FakeTransaction(std::string address = "[127.0.0.1]") : address_(std::move(address)) {}

    bool sendResponse(int status, std::unique_ptr<Response> response) override {
        sentStatus = status;
        body.clear();
        bool end = false;
        bool error = false;
        char buffer[1000];
        while (!end && !error)
            body.append(buffer, response->read(buffer, sizeof buffer, end, error));
        return sendResult;
    }
    std::string remoteAddress() override { return address_; }

    // The values of every response header of that name, in order.
    std::vector<std::string> responseHeader(const std::string& name) const {
        std::vector<std::string> values;
        for (const auto& [headerName, value] : responseHeaders)
            if (headerName == name)
                values.push_back(value);
        return values;
    }
    JsonValue answer() const {
        JsonValue value;
        parseJson(body + " ", value);
        return value;
    }

    int sentStatus = 0;
    std::string body;
    bool sendResult = true;

private:
    std::string address_;
};
