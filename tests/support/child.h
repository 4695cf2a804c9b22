// Run a piece of test code in a forked child process and collect what it
// wrote and how it ended: for process-wide state read once (environment,
// settings), for privilege drops, and for several processes at once.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zrktest {

struct ChildResult {
    int exitCode = -1;   // exit status, or -1 when killed by a signal
    int signal = 0;      // terminating signal, 0 when it exited
    std::string out;     // everything written to standard output
    std::string err;     // everything written to standard error
};

// Runs body() in a child; its return value becomes the exit status. The
// child's stdout and stderr are captured.
ChildResult runChild(const std::function<int()> &body);

// Starts n children at once, each running body(i); waits for all and returns
// their exit statuses (-1 for a child killed by a signal).
std::vector<int> runChildren(int n, const std::function<int(int)> &body);

// Drops the process to an unprivileged user (nobody); false when it cannot.
bool dropPrivileges();

}  // namespace zrktest
