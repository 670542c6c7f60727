#pragma once
// The per-process secret that login nonces mix in: 20 bytes from the operating system's random source.

#include <string>

constexpr size_t kServerSecretBytes = 20;

// Empty (and an error line) when the random source failed; logins are then refused.
std::string makeServerSecret();
