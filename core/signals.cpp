#include "core/signals.h"

#include "core/log.h"
#include "core/registry.h"
#include "core/timer_queue.h"

#include <atomic>
#include <cerrno>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

const char kUnit[] = "velkord";

// A stop requested while the timer queue does not exist yet is kept here, not lost.
std::atomic<bool> earlyQuit{false};

void onSignal(int number) {
    if (number == SIGTERM || number == SIGINT) {
        if (gTimers)
            gTimers->quit = true;
        else
            earlyQuit = true;
        return;
    }
    if (number == SIGCHLD) {
        int savedErrno = errno;
        wait3(nullptr, WNOHANG, nullptr);
        errno = savedErrno;
    }
}

bool install(int number, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(number, &action, previous) == 0;
}

} // namespace

SignalHandlers::SignalHandlers() {
    earlyQuit = false;
    if (!install(SIGTERM, onSignal, &previousTerm_))
        LOG_MSG(LOG_WARNING, kUnit, "cannot set SIGTERM handler");
    if (!install(SIGINT, onSignal, &previousInt_))
        LOG_MSG(LOG_WARNING, kUnit, "cannot set SIGINT handler");
    if (!install(SIGCHLD, onSignal, &previousChld_))
        LOG_MSG(LOG_WARNING, kUnit, "cannot set SIGCHLD handler");
    if (!install(SIGPIPE, SIG_IGN, &previousPipe_))
        LOG_MSG(LOG_WARNING, kUnit, "cannot set SIGPIPE handler");
}

SignalHandlers::~SignalHandlers() {
    sigaction(SIGPIPE, &previousPipe_, nullptr);
    sigaction(SIGCHLD, &previousChld_, nullptr);
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
}

void SignalHandlers::forwardEarlyQuit() {
    if (earlyQuit && gTimers)
        gTimers->quit = true;
}
