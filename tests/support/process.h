#pragma once
// A child process for end-to-end tests: started with arguments, signalled, waited for with a limit.

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

class Process {
public:
    // Starts the program; its standard output and error go to outputFile (empty: inherited).
    Process(const std::vector<std::string>& arguments, const std::string& outputFile = "");
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int number);
    // The exit status, or -1 when the process did not end within timeoutMs (it is then killed),
    // or 128 + the signal number when a signal ended it.
    int wait(int timeoutMs);

private:
    pid_t pid_ = -1;
};

// Waits for a child of this process like Process::wait, killing it when it outlives timeoutMs.
int waitForChild(pid_t pid, int timeoutMs);

// Polls until predicate() holds or timeoutMs of real time pass.
bool waitUntil(int timeoutMs, const std::function<bool()>& predicate);
