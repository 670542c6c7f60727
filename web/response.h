#pragma once
// A response body that a transport pulls in pieces: nothing, a text in memory, or an open file.

#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <string>

class HttpTransaction;

class Response {
public:
    virtual ~Response() = default;
    // Copies up to maxBytes into buffer; sets end when nothing remains, error when reading failed.
    virtual size_t read(char* buffer, size_t maxBytes, bool& end, bool& error) = 0;
    // Body length, -1 when unknown.
    virtual int64_t size() = 0;

    HttpTransaction* transaction = nullptr;
};

class ResponseNoContent : public Response {
public:
    size_t read(char*, size_t, bool& end, bool&) override {
        end = true;
        return 0;
    }
    int64_t size() override { return 0; }
};

class ResponseFromMemory : public Response {
public:
    explicit ResponseFromMemory(std::string body) : body_(std::move(body)) {}
    size_t read(char* buffer, size_t maxBytes, bool& end, bool& error) override;
    int64_t size() override { return static_cast<int64_t>(size_); }

private:
    std::string body_;
    size_t size_ = body_.size();
    size_t position_ = 0;
};

// Owns the descriptor; files are streamed, never read into memory.
class ResponseFromFile : public Response {
public:
    explicit ResponseFromFile(int fd) : fd_(fd) {}
    size_t read(char* buffer, size_t maxBytes, bool& end, bool& error) override;
    int64_t size() override;

private:
    platform::UniqueFd fd_;
};
