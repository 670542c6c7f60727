#include "web/md5_hex.h"

#include <openssl/evp.h>

Md5::Md5() : context_(EVP_MD_CTX_new()) {
    ok_ = context_ && EVP_DigestInit_ex(context_, EVP_md5(), nullptr) == 1;
}

Md5::~Md5() {
    EVP_MD_CTX_free(context_);
}

void Md5::update(const void* data, size_t size) {
    if (ok_ && EVP_DigestUpdate(context_, data, size) != 1)
        ok_ = false;
}

std::string Md5::finish() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!ok_ || EVP_DigestFinal_ex(context_, digest, &length) != 1)
        return {};
    ok_ = false;
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    return hex;
}

std::string md5Hex(const std::string& data) {
    Md5 md5;
    md5.update(data.data(), data.size());
    return md5.finish();
}
