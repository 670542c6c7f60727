#pragma once
// The HTTPS server context: TLS 1.2 or newer, the cipher list, ECDH on P-256, the board's key and
// certificate, and "h2" offered through ALPN and NPN.

#include <openssl/ssl.h>

// The context, or nullptr (logged) when it cannot be made; HTTPS is then not offered.
SSL_CTX* createServerTlsContext();
