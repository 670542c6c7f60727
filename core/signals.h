#pragma once
// Signal handling of the daemon: SIGTERM/SIGINT request a stop, SIGCHLD reaps, SIGPIPE is ignored.

#include <csignal>

class SignalHandlers {
public:
    // Installs the handlers; a failed installation is only a warning.
    SignalHandlers();
    // Puts the previous dispositions back.
    ~SignalHandlers();
    SignalHandlers(const SignalHandlers&) = delete;
    SignalHandlers& operator=(const SignalHandlers&) = delete;

    // Hands a stop request that arrived before the timer queue existed over to gTimers.
    static void forwardEarlyQuit();

private:
    struct sigaction previousTerm_ {};
    struct sigaction previousInt_ {};
    struct sigaction previousChld_ {};
    struct sigaction previousPipe_ {};
};
