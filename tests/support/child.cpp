#include "child.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

}  // namespace zrktest
