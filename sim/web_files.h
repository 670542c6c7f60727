#pragma once
// What the board ships for its web server, put into the simulator's sandbox: the interface under
// "/srv/www/" (copied again on every start, so a rebuild reaches it), the default users file, and a
// self-signed key and certificate made when the sandbox has none.

#include <string>

// wwwDir: the built interface; usersFile: the board's default users file. False with a reason.
bool installWebFiles(const std::string& root, const std::string& wwwDir, const std::string& usersFile,
                     std::string& error);

// A fresh P-256 key and a self-signed certificate for "velkord" valid ten years, as PEM files.
bool makeSelfSignedCertificate(const std::string& keyPath, const std::string& certificatePath,
                               std::string& error);
