#pragma once
// MD5 digests as 32 lower-case hex digits (entity tags and login proofs).

#include <string>

// Empty when the digest could not be computed.
std::string md5Hex(const std::string& data);

// Incremental form for file contents.
class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    // False when the digest could not be started.
    bool ok() const { return ok_; }
    void update(const void* data, size_t size);
    // The hex digest, empty after any failure.
    std::string finish();

private:
    struct evp_md_ctx_st* context_;
    bool ok_ = false;
};
