// Store files: open, grow-and-map, unmap and close a file that several
// processes share, the whole-file lock that serialises them, and the small
// checks of command-line file and volume names.
#include "platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" void zrk_set_result(ReturnInfo *ri, int returnClass, uint32_t messageNo,
                               const char *format, ...) {
    ri->iReturnClass = returnClass;
    ri->uiMessageNo = messageNo;
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(ri->caMessage, sizeof ri->caMessage, format, ap);
    va_end(ap);
}

extern "C" int com_file_open(const char *path, int mode, StoreFile *file) {
    int flags = O_RDWR | O_CLOEXEC;
    if (mode != 1) flags |= O_CREAT;
    int fd;
    do {
        fd = open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT) return 1;
        file->uiErrno = static_cast<uint32_t>(errno);
        velk_trace(1, "%s error end.(Func:%s ErrorCode=%d) [%d]", "com_file_open", "open",
                   errno, __LINE__);
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
            close(fd);
            file->uiErrno = static_cast<uint32_t>(err);
            velk_trace(1, "%s error end.(Func:%s ErrorCode=%d) [%d]", "com_file_open", "fstat",
                       err, __LINE__);
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
        velk_trace(1, "%s error end. [%d]", "com_file_mapping", __LINE__);
        return -1;
    }
    if (st.st_size < static_cast<off_t>(file->uiLength)) {
        size_t missing = file->uiLength - static_cast<size_t>(st.st_size);
        std::vector<char> zeros;
        try {
            zeros.assign(missing, '\0');
        } catch (const std::bad_alloc &) {
            velk_trace(1, "%s error end. [%d]", "com_file_mapping", __LINE__);
            return -1;
        }
        size_t done = 0;
        while (done < missing) {
            ssize_t n = pwrite(file->iFd, zeros.data() + done, missing - done,
                               st.st_size + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                velk_trace(1, "%s error end. [%d]", "com_file_mapping", __LINE__);
                return -1;
            }
            done += static_cast<size_t>(n);
        }
    }
    void *map = mmap(nullptr, file->uiLength, PROT_READ | PROT_WRITE, MAP_SHARED, file->iFd, 0);
    if (map == MAP_FAILED) {
        file->uiErrno = static_cast<uint32_t>(errno);
        velk_trace(1, "%s error end.(Func:%s ErrorCode=%d) [%d]", "com_file_mapping", "mmap",
                   errno, __LINE__);
        return -1;
    }
    file->pMap = map;
    return 0;
}

extern "C" int com_file_unmapping(StoreFile *file) {
    int rc = munmap(file->pMap, file->uiLength);
    if (rc == 0) file->pMap = nullptr;
    return rc;
}

extern "C" int com_file_close(StoreFile *file) {
    int rc = close(file->iFd);
    file->iFd = -1;
    return rc;
}

extern "C" int zrk_whole_file_lock(int fd, int type) {
    struct flock lk {};
    lk.l_type = static_cast<short>(type);
    lk.l_whence = SEEK_SET;
    lk.l_start = 0;
    lk.l_len = 0;
    int rc;
    do {
        rc = fcntl(fd, F_SETLKW, &lk);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}

extern "C" int zrkc_lock(const char * /*path*/, StoreFile *file) {
    return zrk_whole_file_lock(file->iFd, F_WRLCK) == 0 ? 0 : -1;
}

extern "C" int zrkc_unlock(StoreFile *file) {
    return zrk_whole_file_lock(file->iFd, F_UNLCK) == 0 ? 0 : -1;
}

extern "C" int zrkc_CheckDir(const char *path, ReturnInfo *ri) {
    struct stat st {};
    if (path != nullptr && strnlen(path, 512) <= 511 && stat(path, &st) == 0 &&
        !S_ISDIR(st.st_mode)) {
        return 0;
    }
    zrk_set_result(ri, 14, 1801, "ZRKC1801 ERROR Group_file does not exist.\n");
    return -1;
}

namespace {

int invalid_volume_name(const char *name, ReturnInfo *ri) {
    zrk_set_result(ri, 3, 1002, "ZRKC1002 ERROR Invalid logical volume name. Volume name=(%s).\n",
                   name);
    return -1;
}

}  // namespace

extern "C" int com_volume_kind(const char *name, ReturnInfo *ri) {
    size_t length = std::strlen(name);
    if (length < 2) return invalid_volume_name(name, ri);
    if (name[1] != 'x') return 1;
    if (length < 5) return invalid_volume_name(name, ri);
    if (std::strchr(name + 1, ':') != nullptr) return 4;
    if (length > 47) return invalid_volume_name(name, ri);
    if (std::strchr(name + 2, '@') != nullptr) return 3;
    return invalid_volume_name(name, ri);
}

extern "C" int com_volume_mountpoint(const char *name, ReturnInfo *ri, char * /*boxId*/,
                                     uint32_t * /*olu*/, uint32_t * /*extentHigh*/,
                                     uint32_t * /*extentLow*/, uint32_t * /*sizeHigh*/,
                                     uint32_t * /*sizeLow*/) {
    return invalid_volume_name(name, ri);
}

extern "C" unsigned long long com_strtoull(const char *text, char **end, int base) {
    return std::strtoull(text, end, base);
}
