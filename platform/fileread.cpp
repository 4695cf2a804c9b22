// Reading the platform's text files through the retrying system calls.
#include "fileread.h"

#include "sysio.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace zrkplatform {

FileDescriptor::~FileDescriptor() {
    if (iFd >= 0) sys::Close(iFd);
}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept {
    if (this != &other) {
        if (iFd >= 0) sys::Close(iFd);
        iFd = other.iFd;
        other.iFd = -1;
    }
    return *this;
}

bool BufferedFile::Fill() {
    if (bDone) return false;
    const ssize_t n = sys::Read(iFd, caBuffer, sizeof caBuffer);
    if (n <= 0) {
        if (n < 0) {
            bFailed = true;
            iErrno = errno;
        }
        bDone = true;
        return false;
    }
    uiPos = 0;
    uiEnd = static_cast<size_t>(n);
    return true;
}

int BufferedFile::ReadLine(std::string &line, size_t room) {
    line.clear();
    for (;;) {
        const int c = Get();
        if (c < 0) return c;
        if (c == '\n') return c;
        if (line.size() == room) return kTooLong;
        line.push_back(static_cast<char>(c));
    }
}

namespace {

// Opens path, relative to dirFd, for reading with flags added, without
// waiting in open on a FIFO or a device; a folder when flags ask for one, else
// a file only when it is a regular one, whose reads then block again. The
// descriptor, or -1 with errno; *otherType is the type of a file that is
// there but is not a regular file (0 for none).
int OpenForReading(int dirFd, const char *path, int flags, mode_t *otherType) {
    *otherType = 0;
    const int fd = sys::OpenAt(dirFd, path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | flags);
    if (fd < 0 || (flags & O_DIRECTORY) != 0) return fd;
    struct stat st {};
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        *otherType = st.st_mode & S_IFMT;
        error = EINVAL;
    } else {
        const int fileFlags = fcntl(fd, F_GETFL);
        if (fileFlags >= 0 && fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) == 0) return fd;
        error = errno;
    }
    sys::Close(fd);
    errno = error;
    return -1;
}

} // namespace

int OpenRegularFile(const char *path, bool *notRegular) {
    mode_t otherType = 0;
    const int fd = OpenForReading(AT_FDCWD, path, 0, &otherType);
    *notRegular = otherType != 0;
    if (*notRegular) errno = ENOENT;
    return fd;
}

int OpenNoLink(int dirFd, const char *path, PathKind kind) {
    mode_t otherType = 0;
    const int fd = OpenForReading(dirFd, path, O_NOFOLLOW | (kind == PathKind::kFolder ? O_DIRECTORY : 0),
                                  &otherType);
    if (otherType != 0) errno = S_ISDIR(otherType) ? EISDIR : EINVAL;
    return fd;
}

int ReadWholeFile(int fd, std::string &text) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return errno;
    text.reserve(text.size() + static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = sys::Read(fd, buffer, sizeof buffer);
        if (n < 0) return errno;
        if (n == 0) return 0;
        text.append(buffer, static_cast<size_t>(n));
    }
}

} // namespace zrkplatform
