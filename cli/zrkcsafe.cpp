// zrkcsafe.cpp - the standard descriptors and the trust check of an opened
// file.
#include "zrkcsafe.h"

#include "sysio.h"

#include <fcntl.h>
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
        const int null = zrkplatform::sys::Open("/dev/null", O_RDWR | O_NOCTTY);
        if (null < 0) _exit(kExitNoNull);
        if (null != fd) {
            if (dup2(null, fd) < 0) _exit(kExitNoNull);
            zrkplatform::sys::Close(null);
        }
    }
}

const char *Untrusted(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return "Cannot be examined";
    if (st.st_uid != 0 && st.st_uid != geteuid()) return "Owned by another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "Writable by group or others";
    return nullptr;
}

}  // namespace zrkcli
