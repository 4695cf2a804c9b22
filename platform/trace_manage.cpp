// The trace management file "velk_trcmng.def": the lock that serialises every
// process that traces, the creation of the file, its checks, and the
// round-robin hand-out of slots to the opens of all processes.
#include "platform.h"
#include "sysio.h"
#include "trace_internal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <new>
#include <vector>

namespace zrkplatform::trace {

namespace {

// Keeps the threads of this process apart while one of them holds the fcntl
// lock or closes a management file descriptor.
std::mutex gProcessLock;

// The system's name and release as "uname -sr" prints them ("Linux 6.1.0\n"),
// up to 31 characters, zero-filled; empty when the system does not tell.
void ReadUname(unsigned char *out) {
    std::memset(out, 0, kUnameLen);
    struct utsname names {};
    if (uname(&names) != 0) return;
    char line[sizeof names.sysname + sizeof names.release + 2];
    const int n = std::snprintf(line, sizeof line, "%s %s\n", names.sysname, names.release);
    if (n <= 0) return;
    std::memcpy(out, line, strnlen(line, kUnameLen - 1));
}

// Builds and writes the 4304 bytes of a new management file; 0 or a step code.
int WriteNewManagementFile(int fd, const TraceDefinition &def, const char *dir) {
    std::vector<unsigned char> image;
    try {
        image.assign(kMngFileSize, 0);
    } catch (const std::bad_alloc &) {
        return kStepMngNoMem + ENOMEM;
    }
    std::memcpy(image.data() + kMngDirOff, dir, strnlen(dir, kMaxDirLen));
    Put32(image.data(), kMngSizeOff, def.uiSizeKb * 1024u);
    Put32(image.data(), kMngMaxOff, def.uiMax);
    Put32(image.data(), kMngGenOff, def.uiGen);
    Put32(image.data(), kMngSlotOff, 1);
    Put32(image.data(), kMngOversizeOff, 0);
    ReadUname(image.data() + kMngUnameOff);
    Put32(image.data(), kMngSlotGenOff, 1);
    if (int err = sys::WriteAll(fd, image.data(), image.size(), 0); err != 0) {
        // Leave an empty file, which the next open builds again.
        (void)sys::Truncate(fd, 0);
        return kStepMngWrite + err;
    }
    return 0;
}

// Gives the next slot to this open: a never-used slot while there are any,
// else round-robin.
void AdvanceSlot(void *map) {
    uint32_t slot = Get32(map, kMngSlotOff);
    uint32_t max = Get32(map, kMngMaxOff);
    size_t nextGenOff = kMngSlotGenOff + 4u * slot;  // slot + 1, when slot < max
    if (slot < max && Get32(map, nextGenOff) == 0) {
        Put32(map, nextGenOff, 1);
        Put32(map, kMngSlotOff, slot + 1);
    } else if (slot == max) {
        Put32(map, kMngSlotOff, 1);
    } else {
        Put32(map, kMngSlotOff, slot + 1);
    }
}

// Unmaps a mapping when it goes out of scope, unless it was released.
class Mapping {
public:
    Mapping(void *map, size_t length) : pMap(map), uiLength(length) {}
    Mapping(const Mapping &) = delete;
    Mapping &operator=(const Mapping &) = delete;
    ~Mapping() {
        if (pMap != nullptr) munmap(pMap, uiLength);
    }
    void *Get() const { return pMap; }
    void *Release() {
        void *map = pMap;
        pMap = nullptr;
        return map;
    }

private:
    void *pMap;       // the mapping, null once released
    size_t uiLength;  // its length
};

// The part of the open that runs under the lock; fills the handle on success.
int OpenUnderLock(TraceHandle *handle, int fd, const char *name, const TraceDefinition &def,
                  const char *dir) {
    SemaGuard lock;
    if (int rc = lock.Acquire(fd); rc != 0) return kStepMngLock + rc;

    struct stat st {};
    if (fstat(fd, &st) != 0) return kStepMngOpen + errno;
    // An empty file is one that its creator has not written yet (or failed to):
    // whoever holds the lock first builds it.
    const bool created = st.st_size == 0;
    if (created) {
        if (int step = WriteNewManagementFile(fd, def, dir); step != 0) return step;
    } else if (st.st_size < static_cast<off_t>(kMngFileSize)) {
        return kStepMngMap + EINVAL;
    }

    void *raw = mmap(nullptr, kMngFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (raw == MAP_FAILED) return kStepMngMap + errno;
    Mapping map(raw, kMngFileSize);
    if (mlock(map.Get(), kMngFileSize) != 0) return kStepMngMlock + errno;

    if (!ManagementHeaderValid(map.Get(), 0)) return kStepMngMap + EINVAL;
    if (!created) {
        AdvanceSlot(map.Get());
        if (msync(map.Get(), kMngFileSize, MS_ASYNC) != 0) return kStepMngSync + errno;
    }
    const uint32_t slot = Get32(map.Get(), kMngSlotOff);
    const uint32_t generation = Get32(map.Get(), kMngSlotGenOff + 4u * (slot - 1));
    if (generation == 0 || generation > Get32(map.Get(), kMngGenOff)) {
        return kStepMngMap + EINVAL;
    }

    TraceHandle opened {};
    std::memcpy(opened.caTraceName, name, strnlen(name, sizeof opened.caTraceName - 1));
    opened.uiSlot = slot;
    opened.uiGeneration = generation;
    opened.uiLevel = def.uiLevel;
    opened.iMngFd = fd;
    opened.pMngMap = map.Get();
    // The mapped size of this handle's trace files, kept apart from the shared
    // value so that a changed management file cannot make a write overrun.
    opened.iTrcSize = static_cast<int32_t>(Get32(map.Get(), kMngSizeOff));

    // The trace file is opened before the lock is given up, so that no other
    // opener of the slot can find it half built.
    char fileName[kFileNameLen];
    if (int step = TracecomGetTraceFileName(&opened, 1, fileName, sizeof fileName); step != 0) {
        return step;
    }
    int trcFd = -1;
    void *trcMap = nullptr;
    if (int step = TracecomOpenTraceFile(&opened, fileName, trcFd, trcMap); step != 0) {
        return step;
    }
    if (int rc = lock.Release(); rc != 0) {
        munmap(trcMap, static_cast<size_t>(opened.iTrcSize));
        sys::Close(trcFd);
        return kStepMngLock + rc;
    }
    opened.iTrcFd = trcFd;
    opened.pTrcMap = trcMap;
    map.Release();
    *handle = opened;
    return 0;
}

} // namespace

int K8TQ_TracecomSemaLock(int fd) {
    gProcessLock.lock();
    if (int err = LockWholeFile(fd, F_WRLCK); err != 0) {
        gProcessLock.unlock();
        return kLockFailed + err;
    }
    return 0;
}

int TracecomSemaUnLock(int fd) {
    int err = LockWholeFile(fd, F_UNLCK);
    gProcessLock.unlock();
    return err != 0 ? kUnlockFailed + err : 0;
}

void CloseManagementDescriptor(int fd) {
    std::lock_guard<std::mutex> guard(gProcessLock);
    sys::Close(fd);
}

bool ManagementHeaderValid(const void *map, uint32_t traceSize) {
    const auto *bytes = static_cast<const unsigned char *>(map);
    if (bytes[kMngDirOff] == '\0' || std::memchr(bytes + kMngDirOff, 0, kMngDirLen) == nullptr) {
        return false;
    }
    const uint32_t size = Get32(map, kMngSizeOff);
    if (size < 1024 || size > kMaxSizeKb * 1024u || size % 1024 != 0) return false;
    if (traceSize != 0 && size != traceSize) return false;
    const uint32_t max = Get32(map, kMngMaxOff);
    const uint32_t gen = Get32(map, kMngGenOff);
    const uint32_t slot = Get32(map, kMngSlotOff);
    return max >= 1 && max <= kMaxSlots && gen >= 1 && gen <= kMaxGenerations && slot >= 1 &&
           slot <= max;
}

int trc_OpenSettingManageFile(TraceHandle *handle, const char *name, const TraceDefinition &def) {
    char dir[kFileNameLen];
    if (def.uiPathLen != 0) {
        if (def.uiPathLen > kMaxDirLen) return kStepMngOpen + ENAMETOOLONG;
        std::snprintf(dir, sizeof dir, "%s", def.caPath);
    } else if (int step = K8TQ_Com_tracefiledir(dir, sizeof dir); step != 0) {
        return step;
    }
    char mngPath[kFileNameLen];
    int n = std::snprintf(mngPath, sizeof mngPath, "%s%c%s", dir, '/', kMngFileName);
    if (n < 0 || static_cast<size_t>(n) >= sizeof mngPath) return kStepMngOpen + ENAMETOOLONG;

    int fd = OpenAboveZero(mngPath, O_RDWR | O_CREAT | O_CLOEXEC, kTraceFileMode);
    if (fd < 0) return kStepMngOpen + errno;
    int step = CheckTrustedFile(fd, kStepMngOpen);
    if (step == 0) step = OpenUnderLock(handle, fd, name, def, dir);
    if (step != 0) CloseManagementDescriptor(fd);
    return step;
}

int OpenAboveZero(const char *path, int flags, mode_t mode) {
    int fd = sys::OpenNoFollow(path, flags, mode);
    if (fd == 0) {
        int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
        int err = errno;
        sys::Close(fd);
        errno = err;
        fd = moved;
    }
    return fd;
}

int CheckTrustedFile(int fd, int step) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return step + errno;
    const bool trusted = S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
                         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    return trusted ? 0 : step + EACCES;
}

} // namespace zrkplatform::trace
