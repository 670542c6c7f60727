#pragma once
// A client of velkord-sim's control socket: one command line, one answer line.

#include <string>

// The answer (without its line end), or "error ..." when the socket cannot be reached or no answer
// comes within a second of real time.
std::string controlCommand(const std::string& socketPath, const std::string& line);
