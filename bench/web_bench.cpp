// The web server under h2load: HTTP/2 over TLS and HTTP/1.1 (--h1, plain) against the daemon serving a
// small static file and the "parametersRO" call, and against nginx from Debian serving the same file
// in the same run (over HTTP/2 with TLS and over HTTP/1.1). Prints requests/s (as a ratio to nginx on
// the same protocol), the p99 latency, the daemon's resident memory under 100 concurrent streams, and
// the p99 period error of the 10 ms discrete-I/O exchange while the load runs (the web server shares
// the control loop; it must stay within 1 ms).
//
//   build/web-bench [--seconds N]     (N seconds per measurement, 1 <= N <= 10, default 3)

#include "bench/cadence.h"
#include "daemon/velkord.h"
#include "platform/sim_platform.h"
#include "sim/sandbox.h"
#include "sim/web_files.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kClients = 10;
constexpr int kStreamsPerClient = 10; // 100 concurrent streams over HTTP/2
constexpr const char* kNginx = "/usr/sbin/nginx";
constexpr const char* kStaticFile = "/bench.txt";
constexpr size_t kStaticFileBytes = 1024;

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

std::string readAll(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs a program with its output in a file; while it runs, samples this process's resident memory.
int runSampling(const std::vector<std::string>& arguments, const std::string& output, long& peakKiB) {
    pid_t pid = ::fork();
    if (pid == 0) {
        FILE* out = std::freopen(output.c_str(), "w", stdout);
        (void)out;
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        peakKiB = std::max(peakKiB, residentKiB());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Result {
    double requestsPerSecond = 0;
    double p99Ms = 0;
    long failed = 0;
};

// One h2load run; p99 from its per-request log (start, status, duration in µs).
Result h2load(const std::string& url, bool http1, double seconds, const std::string& dir,
              const std::vector<std::string>& extra, long& peakKiB) {
    std::vector<std::string> arguments = {"/usr/bin/h2load",
                                          "-c",
                                          std::to_string(kClients),
                                          "-m",
                                          std::to_string(http1 ? 1 : kStreamsPerClient),
                                          "-D",
                                          std::to_string(static_cast<int>(seconds)),
                                          "--warm-up-time",
                                          "1",
                                          "--log-file",
                                          dir + "/h2load.log"};
    if (http1)
        arguments.push_back("--h1");
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    arguments.push_back(url);
    Result result;
    std::filesystem::remove(dir + "/h2load.log");
    int status = runSampling(arguments, dir + "/h2load.out", peakKiB);
    std::string out = readAll(dir + "/h2load.out");
    size_t finished = out.find("finished in ");
    if (status == 0 && finished != std::string::npos)
        result.requestsPerSecond = std::atof(out.c_str() + out.find(", ", finished) + 2);
    if (result.requestsPerSecond <= 0) {
        std::fprintf(stderr, "h2load %s failed:\n%s\n", url.c_str(), out.c_str());
        return result;
    }
    size_t failed = out.find("failed");
    if (failed != std::string::npos)
        result.failed = std::atol(out.c_str() + out.rfind(' ', failed - 2) + 1);
    std::vector<double> durations;
    std::ifstream log(dir + "/h2load.log");
    double start = 0;
    int code = 0;
    double durationUs = 0;
    while (log >> start >> code >> durationUs)
        durations.push_back(durationUs / 1000.0);
    std::sort(durations.begin(), durations.end());
    result.p99Ms = bench::percentile(durations, 0.99);
    return result;
}

// The whole daemon on a simulated board in real time, its main loop on a thread of its own.
class Daemon {
public:
    Daemon(const std::string& root, int httpPort, int httpsPort, size_t keptFrames)
        : board_(root, std::make_unique<platform::SystemClock>()) {
        board_.ports.http = httpPort;
        board_.ports.https = httpsPort;
        board_.ports.modbusTcp = 0;
        board_.simSpi().setKeptFrames(keptFrames);
        board_.onStarted = [this] { started_ = true; };
        thread_ = std::thread([this] { status_ = runDaemon(board_); });
        while (!started_ && status_ < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int stop() {
        ::kill(::getpid(), SIGTERM);
        thread_.join();
        return status_;
    }
    std::vector<uint32_t> exchangeTimes(uint32_t fromMs, uint32_t toMs) {
        return bench::exchangeTimes(board_.simSpi(), fromMs, toMs);
    }

private:
    platform::SimPlatform board_;
    std::atomic<bool> started_{false};
    std::atomic<int> status_{-1};
    std::thread thread_;
};

// nginx from Debian in the foreground with a configuration of its own, serving the same directory.
class Nginx {
public:
    Nginx(const std::string& dir, const std::string& www, const std::string& share, int port, int tlsPort) {
        if (::access(kNginx, X_OK) != 0)
            return;
        std::ofstream conf(dir + "/nginx.conf");
        conf << "daemon off; master_process off; worker_processes 1; pid " << dir << "/nginx.pid;\n"
             << "error_log " << dir
             << "/nginx.err;\nevents { worker_connections 1024; }\n"
             // nginx ends a connection after 1000 requests by default; h2load does not reconnect.
             << "http { access_log off; keepalive_requests 100000000; client_body_temp_path " << dir
             << "; proxy_temp_path " << dir << "; fastcgi_temp_path " << dir << "; uwsgi_temp_path " << dir
             << "; scgi_temp_path " << dir << ";\n  server { listen 127.0.0.1:" << port << "; root " << www
             << "; }\n"
             << "  server { listen 127.0.0.1:" << tlsPort << " ssl http2; root " << www << ";\n"
             << "    ssl_certificate " << share << "/server.cer; ssl_certificate_key " << share
             << "/server.key; } }\n";
        conf.close();
        pid_ = ::fork();
        if (pid_ == 0) {
            // A bench that dies (a closed pipe, a kill) takes its nginx with it.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::execl(kNginx, kNginx, "-c", (dir + "/nginx.conf").c_str(), "-p", dir.c_str(), nullptr);
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~Nginx() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// Logs in as the board's full user over HTTP and gives the "cookie" header of the answer.
std::string loginCookies(int httpPort, const std::string& dir) {
    std::string command = "curl -s -o /dev/null -D " + dir +
                          "/login.headers -H 'Content-Type: application/json' "
                          "-d '{\"cmd\":\"login\",\"login\":\"admin\",\"password\":\"velkord\"}' "
                          "http://127.0.0.1:" +
                          std::to_string(httpPort) + "/api";
    int status = std::system(command.c_str());
    if (status != 0) {
        std::fprintf(stderr, "web-bench: the login failed (curl status %d)\n", status);
        return "";
    }
    std::istringstream headers(readAll(dir + "/login.headers"));
    std::string line;
    std::string cookies;
    while (std::getline(headers, line)) {
        if (line.rfind("Set-Cookie: ", 0) != 0)
            continue;
        std::string pair = line.substr(12, line.find(';') - 12);
        cookies += (cookies.empty() ? "" : "; ") + pair;
    }
    return cookies;
}

void printLine(const char* what, const Result& result, double reference) {
    std::printf("%-44s %11.0f %9.2f %8.2f %7ld\n", what, result.requestsPerSecond,
                reference > 0 ? result.requestsPerSecond / reference : 0.0, result.p99Ms, result.failed);
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 3;
    if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0)
        seconds = std::atof(argv[2]);
    if (seconds < 1 || seconds > 10) {
        std::fprintf(stderr, "usage: web-bench [--seconds N]   (1 <= N <= 10)\n");
        return 2;
    }
    char rootTemplate[] = "/tmp/web-bench-XXXXXX";
    std::string root = ::mkdtemp(rootTemplate);
    std::string dir = root + "/bench";
    std::filesystem::create_directories(dir);
    std::string error;
    if (!prepareSandbox(root, error) ||
        !installWebFiles(root, VELKORD_WWW_BUILD_DIR, VELKORD_USERS_FILE, error)) {
        std::fprintf(stderr, "web-bench: %s\n", error.c_str());
        return 1;
    }
    std::ofstream(root + "/srv/www" + kStaticFile) << std::string(kStaticFileBytes, 'v');
    std::ofstream(dir + "/parametersRO.json") << "{\"cmd\":\"parametersRO\"}";

    int httpPort = bench::freePort();
    int httpsPort = bench::freePort();
    int nginxPort = bench::freePort();
    int nginxTlsPort = bench::freePort();
    Nginx nginx(dir, root + "/srv/www", root + "/usr/share/velkord", nginxPort, nginxTlsPort);
    std::string https = "https://127.0.0.1:" + std::to_string(httpsPort);
    std::string http = "http://127.0.0.1:" + std::to_string(httpPort);
    std::string reference = "http://127.0.0.1:" + std::to_string(nginxPort);
    std::string tlsReference = "https://127.0.0.1:" + std::to_string(nginxTlsPort);

    long peakKiB = 0;
    long idleKiB = 0;
    Result results[6];
    std::vector<uint32_t> exchanges;
    uint32_t fromMs = 0;
    uint32_t toMs = 0;
    {
        auto keptFrames = static_cast<size_t>(2 * 6 * (seconds + 1) * 1000 / bench::kIoPeriodMs);
        Daemon daemon(root, httpPort, httpsPort, keptFrames);
        idleKiB = residentKiB();
        std::string cookies = loginCookies(httpPort, dir);
        std::vector<std::string> api = {"-d", dir + "/parametersRO.json",
                                        "-H", "content-type: application/json",
                                        "-H", "cookie: " + cookies};
        fromMs = bench::realMonotonicMs();
        results[0] = h2load(https + kStaticFile, false, seconds, dir, {}, peakKiB);
        results[1] = h2load(http + kStaticFile, true, seconds, dir, {}, peakKiB);
        results[2] = h2load(https + "/api", false, seconds, dir, api, peakKiB);
        results[3] = h2load(http + "/api", true, seconds, dir, api, peakKiB);
        toMs = bench::realMonotonicMs();
        daemon.stop();
        exchanges = daemon.exchangeTimes(fromMs, toMs);
    }
    long unused = 0;
    if (nginx.running()) {
        results[4] = h2load(tlsReference + kStaticFile, false, seconds, dir, {}, unused);
        results[5] = h2load(reference + kStaticFile, true, seconds, dir, {}, unused);
    }
    std::filesystem::remove_all(root);

    // Each line against nginx on the same protocol.
    double nginxHttp2 = results[4].requestsPerSecond;
    double nginxHttp1 = results[5].requestsPerSecond;
    std::printf("\nh2load, %d clients, %d s each; HTTP/2 with %d streams per client (%d at once)\n", kClients,
                static_cast<int>(seconds), kStreamsPerClient, kClients * kStreamsPerClient);
    std::printf("%-44s %11s %9s %8s %7s\n", "what", "requests/s", "/ nginx", "p99 ms", "failed");
    printLine("velkord, 1 KiB file, HTTP/2 over TLS", results[0], nginxHttp2);
    printLine("velkord, 1 KiB file, HTTP/1.1 (--h1)", results[1], nginxHttp1);
    printLine("velkord, parametersRO, HTTP/2 over TLS", results[2], nginxHttp2);
    printLine("velkord, parametersRO, HTTP/1.1 (--h1)", results[3], nginxHttp1);
    if (nginx.running()) {
        printLine("nginx, 1 KiB file, HTTP/2 over TLS", results[4], nginxHttp2);
        printLine("nginx, 1 KiB file, HTTP/1.1 (--h1)", results[5], nginxHttp1);
    } else
        std::printf("nginx (%s) is not installed: no reference, no ratios\n", kNginx);
    std::printf("resident memory of the daemon's process: %ld KiB idle, %ld KiB at most under load\n",
                idleKiB, peakKiB);
    std::printf("discrete-I/O exchange under the load (%.1f s): %s (goal: p99 error within 1 ms)\n",
                (toMs - fromMs) / 1000.0, bench::describe(bench::cadenceOf(exchanges)).c_str());
    return 0;
}
