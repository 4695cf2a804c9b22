// The retrying system-call wrappers of the library's own layers.
#include "sysio.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace zrkplatform::sys {

namespace {

// Calls fn until it does not fail with EINTR.
template <typename Fn>
auto Retry(Fn fn) {
    for (;;) {
        auto rc = fn();
        if (!(rc < 0 && errno == EINTR)) return rc;
    }
}

} // namespace

int Open(const char *path, int flags, mode_t mode) {
    return Retry([&] { return ::open(path, flags, mode); });
}

int OpenAt(int dirFd, const char *path, int flags, mode_t mode) {
    return Retry([&] { return ::openat(dirFd, path, flags, mode); });
}

int OpenNoFollowAt(int dirFd, const char *path, int flags, mode_t mode) {
    flags |= O_NOFOLLOW;
    if ((flags & O_CREAT) == 0) return OpenAt(dirFd, path, flags);
    const bool mustCreate = (flags & O_EXCL) != 0;
    // An existing file is opened as it is; an absent one is created. When
    // another process creates it (or removes it) between the two opens, try
    // again a few times.
    for (int attempt = 0;; ++attempt) {
        if (!mustCreate) {
            const int fd = OpenAt(dirFd, path, flags & ~O_CREAT);
            if (fd >= 0 || errno != ENOENT) return fd;
        }
        const int fd = OpenAt(dirFd, path, flags | O_EXCL, mode);
        if (fd >= 0) {
            if (Fchmod(fd, mode) != 0) {
                const int err = errno;
                Close(fd);
                errno = err;
                return -1;
            }
            return fd;
        }
        if (errno != EEXIST || mustCreate || attempt == 3) return -1;
    }
}

int OpenNoFollow(const char *path, int flags, mode_t mode) {
    return OpenNoFollowAt(AT_FDCWD, path, flags, mode);
}

ssize_t Read(int fd, void *data, size_t length) {
    return Retry([&] { return ::read(fd, data, length); });
}

ssize_t Write(int fd, const void *data, size_t length) {
    return Retry([&] { return ::write(fd, data, length); });
}

int WriteAll(int fd, const void *data, size_t length, off_t offset) {
    const auto *p = static_cast<const char *>(data);
    while (length > 0) {
        const ssize_t n = offset < 0 ? Write(fd, p, length)
                                     : Retry([&] { return ::pwrite(fd, p, length, offset); });
        if (n < 0) return errno;
        if (n == 0) return EIO;
        p += n;
        length -= static_cast<size_t>(n);
        if (offset >= 0) offset += n;
    }
    return 0;
}

int Lock(int fd, int command, struct flock *lock) {
    return Retry([&] { return ::fcntl(fd, command, lock); });
}

int Truncate(int fd, off_t length) {
    return Retry([&] { return ::ftruncate(fd, length); });
}

int Fsync(int fd) {
    return Retry([&] { return ::fsync(fd); });
}

int Fchmod(int fd, mode_t mode) {
    return Retry([&] { return ::fchmod(fd, mode); });
}

int Mkdir(const char *path, mode_t mode) {
    return Retry([&] { return ::mkdir(path, mode); });
}

int Rename(const char *from, const char *to) {
    return Retry([&] { return ::rename(from, to); });
}

int Unlink(const char *path) {
    return Retry([&] { return ::unlink(path); });
}

int Connect(int fd, const struct sockaddr *address, unsigned length) {
    if (::connect(fd, address, length) == 0) return 0;
    if (errno != EINTR) return -1;
    // The connection goes on in the background: wait for its outcome.
    struct pollfd p {fd, POLLOUT, 0};
    if (Retry([&] { return ::poll(&p, 1, -1); }) < 0) return -1;
    int error = 0;
    socklen_t errorLength = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLength) != 0) return -1;
    if (error != 0) {
        errno = error;
        return -1;
    }
    return 0;
}

int GetSockName(int fd, struct sockaddr *address, unsigned *length) {
    socklen_t room = *length;
    const int rc = ::getsockname(fd, address, &room);
    if (rc == 0) *length = room;
    return rc;
}

ssize_t Send(int fd, const void *data, size_t length, int flags) {
    return Retry([&] { return ::send(fd, data, length, flags); });
}

ssize_t Recv(int fd, void *data, size_t length, int flags) {
    return Retry([&] { return ::recv(fd, data, length, flags); });
}

int Poll(struct pollfd *fds, unsigned count, int timeoutMs) {
    return Retry([&] { return ::poll(fds, count, timeoutMs); });
}

int Close(int fd) { return ::close(fd); }

pid_t WaitPid(pid_t pid, int *status, int options) {
    return Retry([&] { return ::waitpid(pid, status, options); });
}

} // namespace zrkplatform::sys
