#pragma once
// One command to a running velkord-sim's control socket, for end-to-end tests.

#include <string>

// The answer line (without its end), or "error ..." when the socket cannot be reached in time.
std::string simCommand(const std::string& socketPath, const std::string& line, int timeoutMs = 5000);
