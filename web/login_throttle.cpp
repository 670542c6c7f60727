#include "web/login_throttle.h"

bool LoginThrottle::refused(const std::string& address, int now) {
    auto it = windows_.find(address);
    if (it == windows_.end())
        return false;
    if (now - it->second.start >= kWindowSeconds) {
        windows_.erase(it);
        return false;
    }
    return it->second.failures >= kMaxFailures;
}

void LoginThrottle::recordFailure(const std::string& address, int now) {
    auto it = windows_.find(address);
    if (it != windows_.end() && now - it->second.start >= kWindowSeconds) {
        windows_.erase(it);
        it = windows_.end();
    }
    if (it == windows_.end()) {
        prune(now);
        it = windows_.emplace(address, Window{now, 0, false}).first;
    }
    ++it->second.failures;
}

bool LoginThrottle::takeLogOnce(const std::string& address) {
    auto it = windows_.find(address);
    if (it == windows_.end() || it->second.logged)
        return false;
    it->second.logged = true;
    return true;
}

void LoginThrottle::prune(int now) {
    for (auto it = windows_.begin(); it != windows_.end();) {
        if (now - it->second.start >= kWindowSeconds)
            it = windows_.erase(it);
        else
            ++it;
    }
    while (windows_.size() >= kMaxAddresses) {
        auto oldest = windows_.begin();
        for (auto it = windows_.begin(); it != windows_.end(); ++it)
            if (it->second.start < oldest->second.start)
                oldest = it;
        windows_.erase(oldest);
    }
}
