#include "child.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zrktest {

namespace {

std::string drain(int fd) {
    std::string text;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

int statusToCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Whether /proc/locks shows a lock request of pid waiting.
bool waitingForLock(pid_t pid) {
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        if (line.find("->") == std::string::npos) continue;
        std::istringstream fields(line);
        std::string field;
        while (fields >> field) {
            if (field == std::to_string(pid)) return true;
        }
    }
    return false;
}

}  // namespace

ChildResult runChild(const std::function<int()> &body) {
    char outName[] = "/tmp/zrkchild.out.XXXXXX";
    char errName[] = "/tmp/zrkchild.err.XXXXXX";
    int outFd = mkstemp(outName);
    int errFd = mkstemp(errName);
    if (outFd < 0 || errFd < 0) throw std::runtime_error("mkstemp failed");
    unlink(outName);
    unlink(errName);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        int rc = body();
        std::fflush(nullptr);
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ChildResult result;
    result.exitCode = statusToCode(status);
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    lseek(outFd, 0, SEEK_SET);
    lseek(errFd, 0, SEEK_SET);
    result.out = drain(outFd);
    result.err = drain(errFd);
    close(outFd);
    close(errFd);
    return result;
}

std::vector<int> runChildren(int n, const std::function<int(int)> &body) {
    std::fflush(nullptr);
    std::vector<pid_t> pids;
    for (int i = 0; i < n; ++i) {
        pid_t pid = fork();
        if (pid < 0) throw std::runtime_error("fork failed");
        if (pid == 0) {
            int rc = body(i);
            std::fflush(nullptr);
            _exit(rc);
        }
        pids.push_back(pid);
    }
    std::vector<int> codes;
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        codes.push_back(statusToCode(status));
    }
    return codes;
}

bool dropPrivileges() {
    const uid_t nobody = 65534;
    return setgid(nobody) == 0 && setuid(nobody) == 0 && geteuid() == nobody;
}

unsigned long envNumber(const char *name, unsigned long fallback) {
    const char *text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 10) : fallback;
}

void runUntilKilled(int first, const std::function<int(int)> &change, unsigned delayUs,
                    KilledWriter *out) {
    out->acked.clear();
    out->status = 0;
    int acks[2];
    ASSERT_EQ(pipe(acks), 0);
    std::fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(acks[0]);
        for (int i = first;; ++i) {
            if (change(i) != 0) _exit(1);
            if (write(acks[1], &i, sizeof i) != sizeof i) _exit(2);
        }
    }
    close(acks[1]);
    usleep(delayUs);
    kill(pid, SIGKILL);
    waitpid(pid, &out->status, 0);
    int i = 0;
    while (read(acks[0], &i, sizeof i) == sizeof i) out->acked.push_back(i);
    close(acks[0]);
}

LockCircle::~LockCircle() { finish(); }

void LockCircle::start(const std::string &storePath, const std::string &otherPath) {
    other_ = open(otherPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(other_, 0);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(other_, F_SETLK, &whole), 0);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::fflush(nullptr);
    child_ = fork();
    ASSERT_GE(child_, 0);
    if (child_ == 0) {
        close(ready[0]);
        const int storeFd = open(storePath.c_str(), O_RDWR);
        const int otherFd = open(otherPath.c_str(), O_RDWR);
        struct flock lk {};
        lk.l_type = F_WRLCK;
        lk.l_whence = SEEK_SET;
        if (storeFd < 0 || otherFd < 0 || fcntl(storeFd, F_SETLKW, &lk) != 0) _exit(1);
        if (write(ready[1], "x", 1) != 1) _exit(1);
        _exit(fcntl(otherFd, F_SETLKW, &lk) == 0 ? 0 : 1);  // waits for this process
    }
    close(ready[1]);
    char c;
    const ssize_t got = read(ready[0], &c, 1);
    close(ready[0]);
    ASSERT_EQ(got, 1);
    for (int i = 0; i < 100000 && !(waiting_ = waitingForLock(child_)); ++i) usleep(1000);
}

bool LockCircle::finish() {
    if (other_ >= 0) close(other_);  // lets the child have the other file
    other_ = -1;
    if (child_ <= 0) return false;
    int status = 0;
    waitpid(child_, &status, 0);
    child_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace zrktest
