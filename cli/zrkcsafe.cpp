// zrkcsafe.cpp - the standard descriptors and the opening of named files.
#include "zrkcsafe.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zrkcli {

namespace {

constexpr int kExitNoNull = 127; // /dev/null cannot be opened

}  // namespace

void OpenStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor is fd itself: those below it are open.
        const int null = open("/dev/null", O_RDWR | O_NOCTTY);
        if (null < 0) _exit(kExitNoNull);
        if (null != fd) {
            if (dup2(null, fd) < 0) _exit(kExitNoNull);
            close(null);
        }
    }
}

int OpenNoLink(int dirFd, const char *path, PathKind kind) {
    int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (kind == PathKind::kFolder) flags |= O_DIRECTORY;
    int fd;
    do {
        fd = openat(dirFd, path, flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 || kind == PathKind::kFolder) return fd;
    struct stat st {};
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    if (error == 0) return fd;
    close(fd);
    errno = error;
    return -1;
}

const char *Untrusted(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return "Cannot be examined";
    if (st.st_uid != 0 && st.st_uid != geteuid()) return "Owned by another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "Writable by group or others";
    return nullptr;
}

Descriptor::~Descriptor() {
    if (iFd >= 0) close(iFd);
}

Descriptor &Descriptor::operator=(Descriptor &&other) noexcept {
    if (this != &other) {
        if (iFd >= 0) close(iFd);
        iFd = other.iFd;
        other.iFd = -1;
    }
    return *this;
}

}  // namespace zrkcli
