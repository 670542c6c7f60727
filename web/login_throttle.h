#pragma once
// Repeated failed logins: after 5 failures from one address within a minute, further attempts from it
// are refused for the rest of that minute without looking at the password.

#include <cstddef>
#include <map>
#include <string>

class LoginThrottle {
public:
    static constexpr int kMaxFailures = 5;
    static constexpr int kWindowSeconds = 60;
    // Addresses remembered at once; the oldest windows go first beyond that.
    static constexpr size_t kMaxAddresses = 256;

    // True when attempts from the address are refused now (monotonic seconds).
    bool refused(const std::string& address, int now);
    void recordFailure(const std::string& address, int now);
    // True once per refused window: the moment to log the refusal.
    bool takeLogOnce(const std::string& address);

private:
    struct Window {
        int start = 0;
        int failures = 0;
        bool logged = false;
    };
    void prune(int now);

    std::map<std::string, Window> windows_;
};
