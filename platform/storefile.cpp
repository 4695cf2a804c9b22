// Store files: open, grow-and-map, unmap and close a file that several
// processes share, the whole-file lock that serialises them, and the small
// checks of command-line file and volume names.
#include "platform.h"
#include "sysio.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zrkplatform {

void SetResult(ReturnInfo *ri, int returnClass, uint32_t messageNo, const char *format, ...) {
    ri->iReturnClass = returnClass;
    ri->uiMessageNo = messageNo;
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(ri->caMessage, sizeof ri->caMessage, format, ap);
    va_end(ap);
}

void SetNoMemoryResult(ReturnInfo *ri) {
    SetResult(ri, 4, 1106, "ZRKC1106 ERROR Insufficient memory.\n");
}

int LockWholeFile(int fd, int type) {
    struct flock lk {};
    lk.l_type = static_cast<short>(type);
    lk.l_whence = SEEK_SET;
    lk.l_start = 0;
    lk.l_len = 0;
    return sys::Lock(fd, F_SETLKW, &lk) == 0 ? 0 : errno;
}

} // namespace zrkplatform

using namespace zrkplatform;

namespace {

constexpr mode_t kStoreFileMode = 0600;

// A failed system call of a store-file step, with its error number.
void TraceCallFailed(const char *name, const char *call, int err, int line) {
    velk_trace(1, "%s error end.(Func:%s ErrorCode=%d) [%d]", name, call, err, line);
}

} // namespace

// A store is never opened through a symbolic link, and one that is created is
// readable and writable by its owner only, whatever the umask: the stores
// outlive every process and only root's commands use them.
extern "C" int com_file_open(const char *path, int mode, StoreFile *file) {
    int flags = O_RDWR | O_CLOEXEC;
    if (mode != 1) flags |= O_CREAT;
    const int fd = sys::OpenNoFollow(path, flags, kStoreFileMode);
    if (fd < 0) {
        if (errno == ENOENT) return 1;
        file->uiErrno = static_cast<uint32_t>(errno);
        TraceCallFailed("com_file_open", "open", errno, __LINE__);
        return -1;
    }
    uint32_t length = 0;
    if (mode == 1) {
        struct stat st {};
        int err = 0;
        if (fstat(fd, &st) != 0) {
            err = errno;
        } else if (st.st_size > static_cast<off_t>(UINT32_MAX)) {
            err = EFBIG;
        }
        if (err != 0) {
            sys::Close(fd);
            file->uiErrno = static_cast<uint32_t>(err);
            TraceCallFailed("com_file_open", "fstat", err, __LINE__);
            return -1;
        }
        length = static_cast<uint32_t>(st.st_size);
    }
    file->iFd = fd;
    file->uiLength = length;
    return 0;
}

extern "C" int com_file_mapping(StoreFile *file) {
    struct stat st {};
    if (fstat(file->iFd, &st) != 0) {
        VelkErrEnd("com_file_mapping", __LINE__);
        return -1;
    }
    if (st.st_size < static_cast<off_t>(file->uiLength)) {
        const size_t missing = file->uiLength - static_cast<size_t>(st.st_size);
        std::vector<char> zeros;
        try {
            zeros.assign(missing, '\0');
        } catch (const std::bad_alloc &) {
            VelkErrEnd("com_file_mapping", __LINE__);
            return -1;
        }
        if (sys::WriteAll(file->iFd, zeros.data(), missing, st.st_size) != 0) {
            VelkErrEnd("com_file_mapping", __LINE__);
            return -1;
        }
    }
    void *map = mmap(nullptr, file->uiLength, PROT_READ | PROT_WRITE, MAP_SHARED, file->iFd, 0);
    if (map == MAP_FAILED) {
        file->uiErrno = static_cast<uint32_t>(errno);
        TraceCallFailed("com_file_mapping", "mmap", errno, __LINE__);
        return -1;
    }
    file->pMap = map;
    return 0;
}

extern "C" int com_file_unmapping(StoreFile *file) {
    const int rc = munmap(file->pMap, file->uiLength);
    if (rc == 0) file->pMap = nullptr;
    return rc;
}

extern "C" int com_file_close(StoreFile *file) {
    const int rc = sys::Close(file->iFd);
    file->iFd = -1;
    return rc;
}

extern "C" int zrkc_lock(const char * /*path*/, StoreFile *file) {
    return LockWholeFile(file->iFd, F_WRLCK) == 0 ? 0 : -1;
}

extern "C" int zrkc_unlock(StoreFile *file) {
    return LockWholeFile(file->iFd, F_UNLCK) == 0 ? 0 : -1;
}

extern "C" int zrkc_CheckDir(const char *path, ReturnInfo *ri) {
    struct stat st {};
    if (path != nullptr && strnlen(path, 512) <= 511 && stat(path, &st) == 0 &&
        !S_ISDIR(st.st_mode)) {
        return 0;
    }
    SetResult(ri, 14, 1801, "ZRKC1801 ERROR Group_file does not exist.\n");
    return -1;
}

namespace {

int InvalidVolumeName(const char *name, ReturnInfo *ri) {
    SetResult(ri, 3, 1002, "ZRKC1002 ERROR Invalid logical volume name. Volume name=(%s).\n", name);
    return -1;
}

} // namespace

extern "C" int com_volume_kind(const char *name, ReturnInfo *ri) {
    size_t length = std::strlen(name);
    if (length < 2) return InvalidVolumeName(name, ri);
    if (name[1] != 'x') return 1;
    if (length < 5) return InvalidVolumeName(name, ri);
    if (std::strchr(name + 1, ':') != nullptr) return 4;
    if (length > 47) return InvalidVolumeName(name, ri);
    if (std::strchr(name + 2, '@') != nullptr) return 3;
    return InvalidVolumeName(name, ri);
}

extern "C" int com_volume_mountpoint(const char *name, ReturnInfo *ri, char * /*boxId*/,
                                     uint32_t * /*olu*/, uint32_t * /*extentHigh*/,
                                     uint32_t * /*extentLow*/, uint32_t * /*sizeHigh*/,
                                     uint32_t * /*sizeLow*/) {
    return InvalidVolumeName(name, ri);
}

extern "C" unsigned long long com_strtoull(const char *text, char **end, int base) {
    return std::strtoull(text, end, base);
}
