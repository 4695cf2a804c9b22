// The host platform layer of the product: each function is the system call
// it stands for.
#include "zrkhost.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char **environ;

namespace {

template <typename Call>
auto retry_eintr(Call call) {
    decltype(call()) rc;
    do {
        rc = call();
    } while (rc == -1 && errno == EINTR);
    return rc;
}

}  // namespace

extern "C" int zrk_host_open(const char *path, int flags) {
    return retry_eintr([&] { return open(path, flags | O_CLOEXEC); });
}

extern "C" int zrk_host_close(int fd) { return close(fd); }

extern "C" int zrk_host_ioctl(int fd, unsigned long request, void *arg) {
    return retry_eintr([&] { return ioctl(fd, request, arg); });
}

extern "C" int zrk_host_stat(const char *path, struct stat *st) { return stat(path, st); }

extern "C" int zrk_host_access(const char *path, int mode) { return access(path, mode); }

extern "C" ssize_t zrk_host_readlink(const char *path, char *buf, size_t size) {
    return readlink(path, buf, size);
}

extern "C" ssize_t zrk_host_read_file(const char *path, char *buf, size_t size) {
    int fd = zrk_host_open(path, O_RDONLY);
    if (fd < 0) return -1;
    size_t done = 0;
    while (done < size) {
        ssize_t n = retry_eintr([&] { return read(fd, buf + done, size - done); });
        if (n < 0) {
            int err = errno;
            close(fd);
            errno = err;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    return static_cast<ssize_t>(done);
}

extern "C" ssize_t zrk_host_run(const char *const argv[], char *out, size_t max, int *status) {
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char *const *>(argv),
                         environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipefd[1]);
    if (rc != 0) {
        close(pipefd[0]);
        errno = rc;
        return -1;
    }
    size_t kept = 0;
    char sink[4096];
    for (;;) {
        char *dst = kept < max ? out + kept : sink;
        size_t room = kept < max ? max - kept : sizeof sink;
        ssize_t n = retry_eintr([&] { return read(pipefd[0], dst, room); });
        if (n <= 0) break;
        if (dst != sink) kept += static_cast<size_t>(n);
    }
    close(pipefd[0]);
    int wstatus = 0;
    if (retry_eintr([&] { return waitpid(pid, &wstatus, 0); }) < 0) return -1;
    if (status != nullptr) *status = wstatus;
    return static_cast<ssize_t>(kept);
}
