#include "tests/support/peers.h"

#include "tests/support/process.h"

namespace {

const char* const kPython = "/usr/bin/python3";
constexpr int kCheckLimitMs = 10000;

Peer pythonModule(const std::string& module, const std::string& package) {
    return {"python module " + module, package, {kPython, "-c", "import " + module}};
}

} // namespace

const Peers kSocat{{"socat", "socat", {"/usr/bin/socat", "-V"}}};
const Peers kCurl{{"curl", "curl", {"/usr/bin/curl", "--version"}}};
const Peers kOpenssl{{"openssl", "openssl", {"/usr/bin/openssl", "version"}}};
const Peers kNghttp2Client{{"nghttp", "nghttp2-client", {"/usr/bin/nghttp", "--version"}},
                           {"h2load", "nghttp2-client", {"/usr/bin/h2load", "--version"}}};

const Peers kPymodbusClient{
    {"python3", "python3", {kPython, "-c", "pass"}},          pythonModule("serial", "python3-serial"),
    pythonModule("serial_asyncio", "python3-serial-asyncio"), pythonModule("pymodbus", "python3-pymodbus"),
    pythonModule("pymodbus.client", "python3-pymodbus"),
};

std::string missingPeer(const Peers& peers) {
    for (const Peer& peer : peers) {
        Process check(peer.command, "/dev/null");
        if (check.started() && check.wait(kCheckLimitMs) == 0)
            continue;
        return "missing test peer: " + peer.what + " does not work; install the Debian package " +
               peer.package + " (./scripts/setup installs every peer)";
    }
    return "";
}
