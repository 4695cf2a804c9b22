// Run a piece of test code in a forked child process and collect what it
// wrote and how it ended: for process-wide state read once (environment,
// settings), for privilege drops, and for several processes at once.
#pragma once

#include <sys/types.h>

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

// The decimal number in environment variable name, fallback when it is unset
// or empty (the length of a longer kill run, a seed to repeat one).
unsigned long envNumber(const char *name, unsigned long fallback);

// A writer killed at an arbitrary moment: the changes it acknowledged, in
// the order it acknowledged them, and its wait status.
struct KilledWriter {
    std::vector<int> acked;
    int status = 0;
};

// Runs change(first), change(first + 1), ... in a child process that
// acknowledges each change made (through a pipe) and stops at the first that
// fails; kills it with SIGKILL after delayUs microseconds. Fails the test
// (fatally) when the child cannot be started.
void runUntilKilled(int first, const std::function<int(int)> &change, unsigned delayUs,
                    KilledWriter *out);

// A circle of whole-file write locks around a store: this process holds the
// lock of a new file at otherPath, and a child process holds the store's
// lock and waits for that of the other file. A lock request of this process
// on the store would close the circle, so the kernel refuses it (EDEADLK)
// instead of waiting.
class LockCircle {
public:
    LockCircle() = default;
    ~LockCircle();
    LockCircle(const LockCircle &) = delete;
    LockCircle &operator=(const LockCircle &) = delete;

    // Closes the circle; fails the test (fatally) when it cannot be set up.
    // waiting() then tells whether the child was seen waiting.
    void start(const std::string &storePath, const std::string &otherPath);
    bool waiting() const { return waiting_; }
    // Lets the child have its lock and waits for it: true when it got it and
    // ended normally.
    bool finish();

private:
    int other_ = -1;
    pid_t child_ = -1;
    bool waiting_ = false;
};

}  // namespace zrktest
