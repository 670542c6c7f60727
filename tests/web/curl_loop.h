#pragma once
// Runs a real client (curl) against the web server while the test drives the server's loop the way the
// main loop does: poll the daemon's descriptor with the server's time-out, then one pass.

#include "web/http_server.h"

#include <string>
#include <vector>

struct CurlResult {
    int exitCode = -1;
    int status = 0; // of the last response
    std::string headers;
    std::string body;
};

// One pass: waits up to maxWaitMs (shortened to the server's time-out) and runs the server.
void serveOnce(HTTP& server, int maxWaitMs);

// Runs a program (found on PATH) with its standard input from /dev/null, serving until it ends (at most
// limitMs); its exit code and its output (standard output and error together).
struct PeerResult {
    int exitCode = -1;
    std::string output;
};
PeerResult runPeer(HTTP& server, const std::vector<std::string>& command, int limitMs = 15000);

// Runs curl with "-s -D headers -o body" and the arguments, serving until it ends (at most limitMs).
CurlResult runCurl(HTTP& server, const std::vector<std::string>& arguments, int limitMs = 15000);

// The value of the first header of that name (case-insensitive) in curl's header dump; "(none)".
std::string headerValue(const std::string& headers, const std::string& name);
std::vector<std::string> headerValues(const std::string& headers, const std::string& name);
