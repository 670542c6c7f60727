#include "web/server_secret.h"

#include "core/log.h"

#include <openssl/rand.h>

namespace {
const char kUnit[] = "http_server";
}

std::string makeServerSecret() {
    unsigned char bytes[kServerSecretBytes];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        LOG_MSG(LOG_ERR, kUnit, "cannot get random bytes for the server secret: logins are refused");
        return {};
    }
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}
