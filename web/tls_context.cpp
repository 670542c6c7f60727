#include "web/tls_context.h"

#include "core/log.h"
#include "platform/platform.h"
#include "web/tls_files.h"
#include "web/tls_pair.h"

#include <nghttp2/nghttp2.h>
#include <openssl/err.h>

namespace {

const char kUnit[] = "http_server";
const char kCipherList[] = "EECDH+ECDSA+AESGCM:EECDH+aRSA+AESGCM:EECDH+ECDSA+SHA384:EECDH+ECDSA+SHA256:"
                           "EECDH+aRSA+SHA384:EECDH+aRSA+SHA256:EECDH+aRSA+RC4:EECDH:EDH+aRSA:RC4:!aNULL:"
                           "!eNULL:!LOW:!3DES:!MD5:!EXP:!PSK:!SRP:!DSS:!RC4";
// The NPN advertisement: one length-prefixed protocol name.
const unsigned char kProtocolList[] = {2, 'h', '2'};

std::string sslErrorText() {
    char text[256];
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return text;
}

int advertiseNextProtocols(SSL*, const unsigned char** data, unsigned int* length, void*) {
    *data = kProtocolList;
    *length = sizeof kProtocolList;
    return SSL_TLSEXT_ERR_OK;
}

int selectAlpn(SSL*, const unsigned char** out, unsigned char* outLength, const unsigned char* in,
               unsigned int inLength, void*) {
    unsigned char* chosen = nullptr;
    if (nghttp2_select_next_protocol(&chosen, outLength, in, inLength) != 1)
        return SSL_TLSEXT_ERR_NOACK;
    *out = chosen;
    return SSL_TLSEXT_ERR_OK;
}

SSL_CTX* fail(SSL_CTX* context) {
    SSL_CTX_free(context);
    return nullptr;
}

} // namespace

SSL_CTX* createServerTlsContext() {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (!context) {
        LOG_MSG(LOG_ERR, kUnit, "cannot create SSL context: %s", sslErrorText().c_str());
        return nullptr;
    }
    if (SSL_CTX_set_cipher_list(context, kCipherList) != 1)
        LOG_MSG(LOG_ERR, kUnit, "cannot set cipher list");
    SSL_CTX_set_options(context, SSL_OP_ALL | SSL_OP_NO_COMPRESSION |
                                     SSL_OP_NO_SESSION_RESUMPTION_ON_RENEGOTIATION |
                                     SSL_OP_CIPHER_SERVER_PREFERENCE);
    // Browsers have dropped everything older.
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    if (SSL_CTX_set1_groups_list(context, "P-256") != 1) {
        LOG_MSG(LOG_ERR, kUnit, "EC_KEY_new_by_curv_name failed: %s", sslErrorText().c_str());
        return fail(context);
    }
    completeServerTlsPair();
    std::string keyPath = platform::rootPath(kServerKeyPath);
    if (SSL_CTX_use_PrivateKey_file(context, keyPath.c_str(), SSL_FILETYPE_PEM) != 1) {
        LOG_MSG(LOG_ERR, kUnit, "Could not read private key file %s", kServerKeyPath);
        ERR_clear_error();
        return fail(context);
    }
    std::string certificatePath = platform::rootPath(kServerCertificatePath);
    if (SSL_CTX_use_certificate_chain_file(context, certificatePath.c_str()) != 1) {
        LOG_MSG(LOG_ERR, kUnit, "Could not read certificate file %s", kServerCertificatePath);
        ERR_clear_error();
        return fail(context);
    }
    SSL_CTX_set_next_protos_advertised_cb(context, advertiseNextProtocols, nullptr);
    SSL_CTX_set_alpn_select_cb(context, selectAlpn, nullptr);
    return context;
}
