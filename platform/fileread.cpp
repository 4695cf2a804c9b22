// Reading the platform's text files through the retrying system calls.
#include "fileread.h"

#include "sysio.h"

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
