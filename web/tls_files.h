#pragma once
// Where the HTTPS server keeps its key and certificate (PEM), as the board names them.

constexpr const char* kServerKeyPath = "/usr/share/velkord/server.key";
constexpr const char* kServerCertificatePath = "/usr/share/velkord/server.cer";
