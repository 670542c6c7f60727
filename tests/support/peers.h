#pragma once
// Outside programs and Python modules that end-to-end tests talk to, and the Debian package of each.
// A test that needs some starts with REQUIRE_PEERS, so a missing package fails it at once with a
// message naming the package, instead of a time-out further on.

#include <gtest/gtest.h>
#include <string>
#include <vector>

struct Peer {
    std::string what;                 // "socat", "python module serial_asyncio"
    std::string package;              // the Debian package that brings it
    std::vector<std::string> command; // succeeds when the peer works
};

using Peers = std::vector<Peer>;

extern const Peers kSocat;
extern const Peers kCurl;
extern const Peers kOpenssl;
// nghttp and h2load.
extern const Peers kNghttp2Client;
// Debian's pymodbus client with the modules it imports (it only recommends their packages).
extern const Peers kPymodbusClient;

// Empty when every peer can be run or imported; otherwise one line naming the first package to install.
std::string missingPeer(const Peers& peers);

#define REQUIRE_PEERS(peers)                                                                                 \
    do {                                                                                                     \
        std::string peerProblem = missingPeer(peers);                                                        \
        if (!peerProblem.empty())                                                                            \
            GTEST_FAIL() << peerProblem;                                                                     \
    } while (false)
