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

int OpenRegularFile(const char *path, bool *notRegular) {
    *notRegular = false;
    const int fd = sys::Open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        *notRegular = true;
        error = ENOENT;
    } else {
        const int flags = fcntl(fd, F_GETFL);
        if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) return fd;
        error = errno;
    }
    sys::Close(fd);
    errno = error;
    return -1;
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
