// Trace files: the generation files of a slot and the oversize files, the
// records written into them, and the facility's three public functions.
//
// A record goes into the current generation file of the handle's slot under
// the management file's lock; when it does not fit, the slot moves on to its
// next generation (after the last one, back to the first, which is cleared);
// a record larger than a whole file gets an oversize file of its own.
#include "trace_internal.h"

#include "platform.h"
#include "sysio.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <vector>

namespace zrkplatform::trace {

namespace {

struct RecordArgs {
    int iLevel;         // trace level of the record
    int iPid;           // process id
    int iCallerId;      // caller id
    int iKind;          // record kind
    int iLength;        // bytes of data
    const void *pData;  // the data
};

uint32_t MappedSize(const TraceHandle *handle) { return static_cast<uint32_t>(handle->iTrcSize); }

unsigned char *Management(const TraceHandle *handle) {
    return static_cast<unsigned char *>(handle->pMngMap);
}

// A handle is open when every field that an open fills is set.
bool HandleIsOpen(const TraceHandle *handle) {
    return handle->caTraceName[0] != '\0' && handle->uiSlot != 0 && handle->uiGeneration != 0 &&
           handle->uiLevel != 0 && handle->iMngFd != 0 && handle->pMngMap != nullptr &&
           handle->iTrcFd != 0 && handle->pTrcMap != nullptr && handle->iTrcSize >= 1024 &&
           handle->iTrcSize <= static_cast<int32_t>(kMaxSizeKb * 1024u);
}

// The trace directory stored in a management file whose header was checked.
std::string_view StoredDirectory(const TraceHandle *handle) {
    const char *dir = reinterpret_cast<const char *>(Management(handle) + kMngDirOff);
    return std::string_view(dir, strnlen(dir, kMaxDirLen));
}

int GenerationFileName(std::string_view dir, uint32_t slot, uint32_t generation, char *out,
                       size_t outLen) {
    int n = std::snprintf(out, outLen, "%.*s%c%s%03u%c%02u%s", static_cast<int>(dir.size()),
                          dir.data(), '/', "zrkc_trc#", slot, '#', generation, ".tra");
    return n < 0 || static_cast<size_t>(n) >= outLen ? kStepTrcOpen + ENAMETOOLONG : 0;
}

uint32_t NextGeneration(const TraceHandle *handle) {
    return handle->uiGeneration < Get32(handle->pMngMap, kMngGenOff) ? handle->uiGeneration + 1 : 1;
}

size_t SlotGenerationOffset(const TraceHandle *handle) {
    return kMngSlotGenOff + 4u * (handle->uiSlot - 1);
}

// Writes the 52-byte header of a trace file or an oversize file.
void WriteHeader(unsigned char *file, uint32_t writeOffset, const unsigned char *uname) {
    std::memcpy(file, kTraceMagic, sizeof kTraceMagic);
    Put32(file, 12, 0);
    Put32(file, kTrcOffsetOff, writeOffset);
    std::memcpy(file + kTrcUnameOff, uname, kUnameLen);
}

// Lays one record out at place; the record's r bytes must be available there.
void TracecomWriteTraceFile(const TraceHandle *handle, const RecordArgs &rec, unsigned char *place) {
    const uint32_t length = static_cast<uint32_t>(rec.iLength);
    const uint32_t r = RecordLength(length);
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);

    std::memset(place, 0, r);
    std::memcpy(place, "TRC", 4);
    Put32(place, kRecLengthOff, r);
    std::memcpy(place + kRecNameOff, handle->caTraceName,
                strnlen(handle->caTraceName, kRecNameMax));
    Put32(place, kRecPidOff, static_cast<uint32_t>(rec.iPid));
    Put32(place, kRecCallerOff, static_cast<uint32_t>(rec.iCallerId));
    Put32(place, kRecSecondsOff, static_cast<uint32_t>(now.tv_sec));
    Put32(place, kRecMicrosOff, static_cast<uint32_t>(now.tv_nsec / 1000));
    Put32(place, kRecLevelOff, static_cast<uint32_t>(rec.iLevel));
    Put32(place, kRecKindOff, static_cast<uint32_t>(rec.iKind));
    Put32(place, kRecDataLenOff, length);
    std::memcpy(place + kRecDataOff, rec.pData, length);
    std::memcpy(place + r - 4, "END", 4);
}

int SyncTraceFile(const TraceHandle *handle) {
    return msync(handle->pTrcMap, MappedSize(handle), MS_ASYNC) != 0 ? kStepTrcSync + errno : 0;
}

// Opens the file of another generation of the handle's slot and makes it the
// handle's current trace file; 0 or a step code (the handle is then unchanged).
int SwitchGeneration(TraceHandle *handle, const char *fileName, uint32_t generation) {
    int fd = -1;
    void *map = nullptr;
    if (int step = TracecomOpenTraceFile(handle, fileName, fd, map); step != 0) return step;
    TracecomCloseTraceFile(handle, 1);
    handle->iTrcFd = fd;
    handle->pTrcMap = map;
    handle->uiGeneration = generation;
    return 0;
}

// The record fits the current generation file at offset.
int trc_OutputNowGene(TraceHandle *handle, const RecordArgs &rec, uint32_t offset) {
    auto *file = static_cast<unsigned char *>(handle->pTrcMap);
    TracecomWriteTraceFile(handle, rec, file + offset);
    Put32(file, kTrcOffsetOff, offset + RecordLength(static_cast<uint32_t>(rec.iLength)));
    return SyncTraceFile(handle);
}

// The current generation file is full: the slot moves to its next generation,
// whose file is emptied (its header stays) and takes the record. The handle
// and the management file change only once that file is open.
int trc_OutputNextGene(TraceHandle *handle, const RecordArgs &rec) {
    char fileName[kFileNameLen];
    if (int step = TracecomGetTraceFileName(handle, 2, fileName, sizeof fileName); step != 0) {
        return step;
    }
    const uint32_t next = NextGeneration(handle);
    if (int step = SwitchGeneration(handle, fileName, next); step != 0) return step;
    Put32(handle->pMngMap, SlotGenerationOffset(handle), next);
    const int mngSync = msync(handle->pMngMap, kMngFileSize, MS_ASYNC) != 0 ? errno : 0;

    auto *file = static_cast<unsigned char *>(handle->pTrcMap);
    const uint32_t size = MappedSize(handle);
    std::memset(file + kTrcHeaderLen, 0, size - kTrcHeaderLen);
    TracecomWriteTraceFile(handle, rec, file + kTrcHeaderLen);
    Put32(file, kTrcOffsetOff,
          static_cast<uint32_t>(kTrcHeaderLen) + RecordLength(static_cast<uint32_t>(rec.iLength)));
    if (mngSync != 0) return kStepMngSync + mngSync;
    return SyncTraceFile(handle);
}

// Steps 4 to 6 of a write, under the management file's lock.
int WriteUnderLock(TraceHandle *handle, const RecordArgs &rec) {
    const uint32_t size = MappedSize(handle);
    if (!ManagementHeaderValid(handle->pMngMap, size) ||
        handle->uiSlot > Get32(handle->pMngMap, kMngMaxOff)) {
        return kStepMngMap + EINVAL;
    }
    const uint32_t shared = Get32(handle->pMngMap, SlotGenerationOffset(handle));
    if (shared == 0 || shared > Get32(handle->pMngMap, kMngGenOff)) return kStepMngMap + EINVAL;

    if (shared != handle->uiGeneration) {
        // Another process sharing the slot has moved it on: follow it.
        char fileName[kFileNameLen];
        if (int step = GenerationFileName(StoredDirectory(handle), handle->uiSlot, shared,
                                          fileName, sizeof fileName);
            step != 0) {
            return step;
        }
        if (int step = SwitchGeneration(handle, fileName, shared); step != 0) return step;
    }

    const uint32_t offset = Get32(handle->pTrcMap, kTrcOffsetOff);
    if (offset < kTrcHeaderLen || offset > size) return kStepTrcMap + EINVAL;
    if (RecordLength(static_cast<uint32_t>(rec.iLength)) > size - offset) {
        return trc_OutputNextGene(handle, rec);
    }
    return trc_OutputNowGene(handle, rec, offset);
}

int WriteInGeneration(TraceHandle *handle, const RecordArgs &rec) {
    SemaGuard lock;
    if (int rc = lock.Acquire(handle->iMngFd); rc != 0) return kStepRecordLock + rc;
    const int step = WriteUnderLock(handle, rec);
    const int rc = lock.Release();
    if (step != 0) return step;
    return rc != 0 ? kStepRecordLock + rc : 0;
}

// A record larger than a trace file: a file of its own, named with the next
// value of the management file's counter (1 to 100, then 1 again).
int trc_OutputSingle(TraceHandle *handle, const RecordArgs &rec) {
    const uint32_t r = RecordLength(static_cast<uint32_t>(rec.iLength));
    const size_t total = kTrcHeaderLen + r;
    std::vector<unsigned char> image;
    try {
        image.assign(total, 0);
    } catch (const std::bad_alloc &) {
        return kStepOverNoMem + ENOMEM;
    }

    char fileName[kFileNameLen];
    {
        SemaGuard lock;
        if (int rc = lock.Acquire(handle->iMngFd); rc != 0) return kStepOverLock + rc;
        if (!ManagementHeaderValid(handle->pMngMap, MappedSize(handle))) {
            return kStepMngMap + EINVAL;
        }
        const uint32_t counter = Get32(handle->pMngMap, kMngOversizeOff);
        Put32(handle->pMngMap, kMngOversizeOff, counter >= kMaxOversize ? 1 : counter + 1);
        const int step = TracecomGetTraceFileName(handle, 3, fileName, sizeof fileName);
        WriteHeader(image.data(), static_cast<uint32_t>(total), Management(handle) + kMngUnameOff);
        const int syncErr = msync(handle->pMngMap, kMngFileSize, MS_ASYNC) != 0 ? errno : 0;
        const int rc = lock.Release();
        if (step != 0) return step;
        if (syncErr != 0) return kStepMngSync + syncErr;
        if (rc != 0) return kStepOverLock + rc;
    }
    TracecomWriteTraceFile(handle, rec, image.data() + kTrcHeaderLen);

    // Whatever stands at the name (the file of the counter's previous round,
    // or a link someone planted) is removed, and a new file takes its place.
    if (sys::Unlink(fileName) != 0 && errno != ENOENT) return kStepOverCreate + errno;
    int fd = OpenAboveZero(fileName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kTraceFileMode);
    if (fd < 0) return kStepOverCreate + errno;
    const int err = sys::WriteAll(fd, image.data(), image.size(), 0);
    sys::Close(fd);
    return err != 0 ? kStepOverWrite + err : 0;
}

// A public function's failure: errno = its class | step; -1.
int FailStep(int code) {
    errno = code;
    return -1;
}

} // namespace

int TracecomGetTraceFileName(const TraceHandle *handle, int type, char *out, size_t outLen) {
    const std::string_view dir = StoredDirectory(handle);
    switch (type) {
    case 1:
        return GenerationFileName(dir, handle->uiSlot, handle->uiGeneration, out, outLen);
    case 2:
        return GenerationFileName(dir, handle->uiSlot, NextGeneration(handle), out, outLen);
    default: {
        const uint32_t counter = Get32(handle->pMngMap, kMngOversizeOff);
        int n = std::snprintf(out, outLen, "%.*s%c%s-o-%c%03u%s", static_cast<int>(dir.size()),
                              dir.data(), '/', "zrkc_trc#", '#', counter, ".tra");
        return n < 0 || static_cast<size_t>(n) >= outLen ? kStepOverCreate + ENAMETOOLONG : 0;
    }
    }
}

namespace {

// Makes an open trace file ready to be mapped with size bytes: a new file (or
// one left empty by a failed creation) is filled with zeros after its header;
// a file that is not the caller's own, or is too short, is refused.
int PrepareTraceFile(const TraceHandle *handle, int fd, uint32_t size) {
    if (int step = CheckTrustedFile(fd, kStepTrcOpen); step != 0) return step;
    struct stat st {};
    if (fstat(fd, &st) != 0) return kStepTrcOpen + errno;
    if (st.st_size != 0) {
        // Mapping a shorter file would fault past its end.
        return st.st_size < static_cast<off_t>(size) ? kStepTrcMap + EINVAL : 0;
    }
    std::vector<unsigned char> image;
    try {
        image.assign(size, 0);
    } catch (const std::bad_alloc &) {
        return kStepTrcNoMem + ENOMEM;
    }
    WriteHeader(image.data(), static_cast<uint32_t>(kTrcHeaderLen),
                Management(handle) + kMngUnameOff);
    if (int err = sys::WriteAll(fd, image.data(), image.size(), 0); err != 0) {
        (void)sys::Truncate(fd, 0);
        return kStepTrcWrite + err;
    }
    return 0;
}

} // namespace

int TracecomOpenTraceFile(const TraceHandle *handle, const char *fileName, int &fdOut, void *&mapOut) {
    const uint32_t size = MappedSize(handle);
    int fd = OpenAboveZero(fileName, O_RDWR | O_CREAT | O_CLOEXEC, kTraceFileMode);
    if (fd < 0) return kStepTrcOpen + errno;

    int step = PrepareTraceFile(handle, fd, size);
    if (step == 0) {
        void *map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED) {
            step = kStepTrcMap + errno;
        } else {
            fdOut = fd;
            mapOut = map;
            return 0;
        }
    }
    sys::Close(fd);
    return step;
}

void TracecomCloseTraceFile(TraceHandle *handle, int which) {
    if (which == 1) {
        if (handle->pTrcMap != nullptr) munmap(handle->pTrcMap, MappedSize(handle));
        if (handle->iTrcFd > 0) sys::Close(handle->iTrcFd);
        handle->pTrcMap = nullptr;
        handle->iTrcFd = 0;
    } else {
        if (handle->pMngMap != nullptr) {
            munlock(handle->pMngMap, kMngFileSize);
            munmap(handle->pMngMap, kMngFileSize);
        }
        if (handle->iMngFd > 0) CloseManagementDescriptor(handle->iMngFd);
        handle->pMngMap = nullptr;
        handle->iMngFd = 0;
    }
}

} // namespace zrkplatform::trace

using namespace zrkplatform::trace;

extern "C" int ZRKC_OpenTrace(TraceHandle *handle, const char *name) {
    if (handle == nullptr) return FailStep(kOpenClass | kNullHandle);
    if (name == nullptr || name[0] == '\0') return FailStep(kOpenClass | kBadName);
    std::memset(handle, 0, sizeof *handle);

    char definitionPath[kFileNameLen];
    TraceDefinition def;
    int step = K8TQ_com_traceinifile(definitionPath, sizeof definitionPath);
    if (step == 0) step = ReadTraceDefinition(definitionPath, name, def);
    if (step == 0 && def.uiLevel == 0) step = kStepNoLevel;
    if (step == 0) step = trc_OpenSettingManageFile(handle, name, def);
    if (step != 0) {
        std::memset(handle, 0, sizeof *handle);
        return FailStep(kOpenClass | step);
    }
    return 0;
}

extern "C" int ZRKC_OutputTrace(TraceHandle *handle, int level, int pid, int callerId, int kind,
                                int length, const void *data) {
    if (handle == nullptr) return FailStep(kOutputClass | kNullHandle);
    if (!HandleIsOpen(handle)) return FailStep(kOutputClass | kNotOpen);
    if (level < 1 || level > 5) return FailStep(kOutputClass | kBadLevel);
    if (kind == 0) return FailStep(kOutputClass | kBadKind);
    if (length <= 0 || length > kMaxDataLength) return FailStep(kOutputClass | kBadLength);
    if (data == nullptr) return FailStep(kOutputClass | kNullData);
    if (static_cast<uint32_t>(level) > handle->uiLevel) return 0;

    const RecordArgs rec{level, pid, callerId, kind, length, data};
    const uint32_t r = RecordLength(static_cast<uint32_t>(length));
    const int step = r > MappedSize(handle) - kTrcHeaderLen ? trc_OutputSingle(handle, rec)
                                                             : WriteInGeneration(handle, rec);
    return step != 0 ? FailStep(kOutputClass | step) : 0;
}

extern "C" int ZRKC_CloseTrace(TraceHandle *handle) {
    if (handle == nullptr) return FailStep(kCloseClass | kNullHandle);
    if (!HandleIsOpen(handle)) {
        std::memset(handle, 0, sizeof *handle);
        return FailStep(kCloseClass | kNotOpen);
    }
    TracecomCloseTraceFile(handle, 1);
    TracecomCloseTraceFile(handle, 2);
    std::memset(handle, 0, sizeof *handle);
    return 0;
}
