#pragma once
// The HTTPS key and certificate replaced as a pair: a crash at any moment leaves the old pair or the
// new one in use, once the start-up step below has run.

#include <string>

// Writes both texts under temporary names (synced), then renames the key and the certificate into
// place in that order; false (logged) when that failed before the key was replaced.
bool replaceServerTlsPair(const std::string& certificate, const std::string& key);

// Run before the pair is read at start-up: a crash between the two renames left the new key beside
// the old certificate, with the new certificate complete under its temporary name; it is put in place.
// Any other temporary file is what an unfinished replacement left and is removed.
void completeServerTlsPair();
