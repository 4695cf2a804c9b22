// Trace files: the generation files of a slot and the oversize files, the
// records written into them, and the facility's three public functions.
//
// A record goes into the current generation file of the handle's slot under
// the management file's lock; when it does not fit, the slot moves on to its
// next generation (after the last one, back to the first, which is cleared);
// a record larger than a whole file gets an oversize file of its own.
#include "trace_internal.h"

#include "platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <vector>

namespace zrktrace {

namespace {

struct RecordArgs {
    int level;
    int pid;
    int callerId;
    int kind;
    int length;
    const void *data;
};

uint32_t mapped_size(const TraceHandle *handle) { return static_cast<uint32_t>(handle->iTrcSize); }

unsigned char *management(const TraceHandle *handle) {
    return static_cast<unsigned char *>(handle->pMngMap);
}

// A handle is open when every field that an open fills is set.
bool handle_is_open(const TraceHandle *handle) {
    return handle->caTraceName[0] != '\0' && handle->uiSlot != 0 && handle->uiGeneration != 0 &&
           handle->uiLevel != 0 && handle->iMngFd != 0 && handle->pMngMap != nullptr &&
           handle->iTrcFd != 0 && handle->pTrcMap != nullptr && handle->iTrcSize >= 1024 &&
           handle->iTrcSize <= static_cast<int32_t>(kMaxSizeKb * 1024u);
}

// The trace directory stored in a management file whose header was checked.
std::string_view stored_directory(const TraceHandle *handle) {
    const char *dir = reinterpret_cast<const char *>(management(handle) + kMngDirOff);
    return std::string_view(dir, strnlen(dir, kMaxDirLen));
}

int generation_file_name(std::string_view dir, uint32_t slot, uint32_t generation, char *out,
                         size_t outLen) {
    int n = std::snprintf(out, outLen, "%.*s%c%s%03u%c%02u%s", static_cast<int>(dir.size()),
                          dir.data(), '/', "zrkc_trc#", slot, '#', generation, ".tra");
    return n < 0 || static_cast<size_t>(n) >= outLen ? kStepTrcOpen + ENAMETOOLONG : 0;
}

uint32_t next_generation(const TraceHandle *handle) {
    return handle->uiGeneration < get32(handle->pMngMap, kMngGenOff) ? handle->uiGeneration + 1 : 1;
}

size_t slot_generation_offset(const TraceHandle *handle) {
    return kMngSlotGenOff + 4u * (handle->uiSlot - 1);
}

// Writes the 52-byte header of a trace file or an oversize file.
void write_header(unsigned char *file, uint32_t writeOffset, const unsigned char *uname) {
    std::memcpy(file, kTraceMagic, sizeof kTraceMagic);
    put32(file, 12, 0);
    put32(file, kTrcOffsetOff, writeOffset);
    std::memcpy(file + kTrcUnameOff, uname, kUnameLen);
}

// Lays one record out at place; the record's r bytes must be available there.
void TracecomWriteTraceFile(const TraceHandle *handle, const RecordArgs &rec, unsigned char *place) {
    const uint32_t length = static_cast<uint32_t>(rec.length);
    const uint32_t r = record_length(length);
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);

    std::memset(place, 0, r);
    std::memcpy(place, "TRC", 4);
    put32(place, kRecLengthOff, r);
    std::memcpy(place + kRecNameOff, handle->caTraceName,
                strnlen(handle->caTraceName, kRecNameMax));
    put32(place, kRecPidOff, static_cast<uint32_t>(rec.pid));
    put32(place, kRecCallerOff, static_cast<uint32_t>(rec.callerId));
    put32(place, kRecSecondsOff, static_cast<uint32_t>(now.tv_sec));
    put32(place, kRecMicrosOff, static_cast<uint32_t>(now.tv_nsec / 1000));
    put32(place, kRecLevelOff, static_cast<uint32_t>(rec.level));
    put32(place, kRecKindOff, static_cast<uint32_t>(rec.kind));
    put32(place, kRecDataLenOff, length);
    std::memcpy(place + kRecDataOff, rec.data, length);
    std::memcpy(place + r - 4, "END", 4);
}

int sync_trace_file(const TraceHandle *handle) {
    return msync(handle->pTrcMap, mapped_size(handle), MS_ASYNC) != 0 ? kStepTrcSync + errno : 0;
}

// The record fits the current generation file at offset.
int trc_OutputNowGene(TraceHandle *handle, const RecordArgs &rec, uint32_t offset) {
    auto *file = static_cast<unsigned char *>(handle->pTrcMap);
    TracecomWriteTraceFile(handle, rec, file + offset);
    put32(file, kTrcOffsetOff, offset + record_length(static_cast<uint32_t>(rec.length)));
    return sync_trace_file(handle);
}

// The current generation file is full: the slot moves to its next generation,
// whose file is emptied (its header stays) and takes the record. The handle
// and the management file change only once that file is open.
int trc_OutputNextGene(TraceHandle *handle, const RecordArgs &rec) {
    char fileName[kFileNameLen];
    if (int step = TracecomGetTraceFileName(handle, 2, fileName, sizeof fileName); step != 0) {
        return step;
    }
    const uint32_t next = next_generation(handle);
    int fd = -1;
    void *map = nullptr;
    if (int step = TracecomOpenTraceFile(handle, fileName, fd, map); step != 0) return step;
    TracecomCloseTraceFile(handle, 1);
    handle->iTrcFd = fd;
    handle->pTrcMap = map;
    handle->uiGeneration = next;
    put32(handle->pMngMap, slot_generation_offset(handle), next);
    const int mngSync = msync(handle->pMngMap, kMngFileSize, MS_ASYNC) != 0 ? errno : 0;

    auto *file = static_cast<unsigned char *>(map);
    const uint32_t size = mapped_size(handle);
    std::memset(file + kTrcHeaderLen, 0, size - kTrcHeaderLen);
    TracecomWriteTraceFile(handle, rec, file + kTrcHeaderLen);
    put32(file, kTrcOffsetOff,
          static_cast<uint32_t>(kTrcHeaderLen) + record_length(static_cast<uint32_t>(rec.length)));
    if (mngSync != 0) return kStepMngSync + mngSync;
    return sync_trace_file(handle);
}

// Steps 4 to 6 of a write, under the management file's lock.
int write_under_lock(TraceHandle *handle, const RecordArgs &rec) {
    const uint32_t size = mapped_size(handle);
    if (!management_header_valid(handle->pMngMap, size) ||
        handle->uiSlot > get32(handle->pMngMap, kMngMaxOff)) {
        return kStepMngMap + EINVAL;
    }
    const uint32_t shared = get32(handle->pMngMap, slot_generation_offset(handle));
    if (shared == 0 || shared > get32(handle->pMngMap, kMngGenOff)) return kStepMngMap + EINVAL;

    if (shared != handle->uiGeneration) {
        // Another process sharing the slot has moved it on: follow it.
        char fileName[kFileNameLen];
        if (int step = generation_file_name(stored_directory(handle), handle->uiSlot, shared,
                                            fileName, sizeof fileName);
            step != 0) {
            return step;
        }
        int fd = -1;
        void *map = nullptr;
        if (int step = TracecomOpenTraceFile(handle, fileName, fd, map); step != 0) return step;
        TracecomCloseTraceFile(handle, 1);
        handle->iTrcFd = fd;
        handle->pTrcMap = map;
        handle->uiGeneration = shared;
    }

    const uint32_t offset = get32(handle->pTrcMap, kTrcOffsetOff);
    if (offset < kTrcHeaderLen || offset > size) return kStepTrcMap + EINVAL;
    if (record_length(static_cast<uint32_t>(rec.length)) > size - offset) {
        return trc_OutputNextGene(handle, rec);
    }
    return trc_OutputNowGene(handle, rec, offset);
}

int write_in_generation(TraceHandle *handle, const RecordArgs &rec) {
    SemaGuard lock;
    if (int rc = lock.acquire(handle->iMngFd); rc != 0) return kStepRecordLock + rc;
    const int step = write_under_lock(handle, rec);
    const int rc = lock.release();
    if (step != 0) return step;
    return rc != 0 ? kStepRecordLock + rc : 0;
}

// A record larger than a trace file: a file of its own, named with the next
// value of the management file's counter (1 to 100, then 1 again).
int trc_OutputSingle(TraceHandle *handle, const RecordArgs &rec) {
    const uint32_t r = record_length(static_cast<uint32_t>(rec.length));
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
        if (int rc = lock.acquire(handle->iMngFd); rc != 0) return kStepOverLock + rc;
        if (!management_header_valid(handle->pMngMap, mapped_size(handle))) {
            return kStepMngMap + EINVAL;
        }
        const uint32_t counter = get32(handle->pMngMap, kMngOversizeOff);
        put32(handle->pMngMap, kMngOversizeOff, counter >= kMaxOversize ? 1 : counter + 1);
        const int step = TracecomGetTraceFileName(handle, 3, fileName, sizeof fileName);
        write_header(image.data(), static_cast<uint32_t>(total), management(handle) + kMngUnameOff);
        const int syncErr = msync(handle->pMngMap, kMngFileSize, MS_ASYNC) != 0 ? errno : 0;
        const int rc = lock.release();
        if (step != 0) return step;
        if (syncErr != 0) return kStepMngSync + syncErr;
        if (rc != 0) return kStepOverLock + rc;
    }
    TracecomWriteTraceFile(handle, rec, image.data() + kTrcHeaderLen);

    int fd = open_retry(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return kStepOverCreate + errno;
    const int err = write_all(fd, image.data(), image.size(), 0);
    close(fd);
    return err != 0 ? kStepOverWrite + err : 0;
}

int fail(int code) {
    errno = code;
    return -1;
}

}  // namespace

int TracecomGetTraceFileName(const TraceHandle *handle, int type, char *out, size_t outLen) {
    const std::string_view dir = stored_directory(handle);
    switch (type) {
    case 1:
        return generation_file_name(dir, handle->uiSlot, handle->uiGeneration, out, outLen);
    case 2:
        return generation_file_name(dir, handle->uiSlot, next_generation(handle), out, outLen);
    default: {
        const uint32_t counter = get32(handle->pMngMap, kMngOversizeOff);
        int n = std::snprintf(out, outLen, "%.*s%c%s-o-%c%03u%s", static_cast<int>(dir.size()),
                              dir.data(), '/', "zrkc_trc#", '#', counter, ".tra");
        return n < 0 || static_cast<size_t>(n) >= outLen ? kStepOverCreate + ENAMETOOLONG : 0;
    }
    }
}

int TracecomOpenTraceFile(const TraceHandle *handle, const char *fileName, int &fdOut, void *&mapOut) {
    const uint32_t size = mapped_size(handle);
    int fd = open_retry(fileName, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return kStepTrcOpen + errno;

    int step = 0;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        step = kStepTrcOpen + errno;
    } else if (st.st_size == 0) {
        // New (or left empty by a failed creation): zero-filled with a header.
        std::vector<unsigned char> image;
        try {
            image.assign(size, 0);
        } catch (const std::bad_alloc &) {
            step = kStepTrcNoMem + ENOMEM;
        }
        if (step == 0) {
            write_header(image.data(), static_cast<uint32_t>(kTrcHeaderLen),
                         management(handle) + kMngUnameOff);
            if (int err = write_all(fd, image.data(), image.size(), 0); err != 0) {
                (void)!ftruncate(fd, 0);
                step = kStepTrcWrite + err;
            }
        }
    } else if (st.st_size < static_cast<off_t>(size)) {
        step = kStepTrcMap + EINVAL;  // mapping it would fault past its end
    }
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
    close(fd);
    return step;
}

void TracecomCloseTraceFile(TraceHandle *handle, int which) {
    if (which == 1) {
        if (handle->pTrcMap != nullptr) munmap(handle->pTrcMap, mapped_size(handle));
        if (handle->iTrcFd > 0) close(handle->iTrcFd);
        handle->pTrcMap = nullptr;
        handle->iTrcFd = 0;
    } else {
        if (handle->pMngMap != nullptr) {
            munlock(handle->pMngMap, kMngFileSize);
            munmap(handle->pMngMap, kMngFileSize);
        }
        if (handle->iMngFd > 0) close_management_descriptor(handle->iMngFd);
        handle->pMngMap = nullptr;
        handle->iMngFd = 0;
    }
}

}  // namespace zrktrace

using namespace zrktrace;

extern "C" int ZRKC_OpenTrace(TraceHandle *handle, const char *name) {
    if (handle == nullptr) return fail(kOpenClass | kNullHandle);
    if (name == nullptr || name[0] == '\0') return fail(kOpenClass | kBadName);
    std::memset(handle, 0, sizeof *handle);

    char definitionPath[kFileNameLen];
    TraceDefinition def;
    int step = K8TQ_com_traceinifile(definitionPath, sizeof definitionPath);
    if (step == 0) step = read_trace_definition(definitionPath, name, def);
    if (step == 0 && def.uiLevel == 0) step = kStepNoLevel;
    if (step == 0) step = trc_OpenSettingManageFile(handle, name, def);
    if (step != 0) {
        std::memset(handle, 0, sizeof *handle);
        return fail(kOpenClass | step);
    }
    return 0;
}

extern "C" int ZRKC_OutputTrace(TraceHandle *handle, int level, int pid, int callerId, int kind,
                                int length, const void *data) {
    if (handle == nullptr) return fail(kOutputClass | kNullHandle);
    if (!handle_is_open(handle)) return fail(kOutputClass | kNotOpen);
    if (level < 1 || level > 5) return fail(kOutputClass | kBadLevel);
    if (kind == 0) return fail(kOutputClass | kBadKind);
    if (length <= 0 || length > kMaxDataLength) return fail(kOutputClass | kBadLength);
    if (data == nullptr) return fail(kOutputClass | kNullData);
    if (static_cast<uint32_t>(level) > handle->uiLevel) return 0;

    const RecordArgs rec{level, pid, callerId, kind, length, data};
    const uint32_t r = record_length(static_cast<uint32_t>(length));
    const int step = r > mapped_size(handle) - kTrcHeaderLen ? trc_OutputSingle(handle, rec)
                                                             : write_in_generation(handle, rec);
    return step != 0 ? fail(kOutputClass | step) : 0;
}

extern "C" int ZRKC_CloseTrace(TraceHandle *handle) {
    if (handle == nullptr) return fail(kCloseClass | kNullHandle);
    if (!handle_is_open(handle)) {
        std::memset(handle, 0, sizeof *handle);
        return fail(kCloseClass | kNotOpen);
    }
    TracecomCloseTraceFile(handle, 1);
    TracecomCloseTraceFile(handle, 2);
    std::memset(handle, 0, sizeof *handle);
    return 0;
}
