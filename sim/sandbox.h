#pragma once
// The simulator's sandbox: a directory that stands in for the board's filesystem.

#include <string>

// Creates the sandbox and every stand-in file the daemon needs that is still missing; what exists
// is kept, so settings and the journal survive restarts. False with a reason on failure.
bool prepareSandbox(const std::string& root, std::string& error);
