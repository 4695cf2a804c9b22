// Inside the trace-file facility: the layout of the management file, the
// trace files and their records, the step codes that the public functions
// report in errno, the definition reader and the steps shared by the
// facility's source files.
//
// Every value read from a shared map is checked before it is used as a
// length, an offset or an index: the management file and the trace files are
// plain files that anyone with write access can change.
#pragma once

#include "zrkapi.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zrkplatform::trace {

// ---- management file "velk_trcmng.def" (host order) ----------------------
inline constexpr char kMngFileName[] = "velk_trcmng.def";
inline constexpr size_t kMngFileSize = 4304;
inline constexpr size_t kMngDirOff = 0;        // trace directory, terminated
inline constexpr size_t kMngDirLen = 256;
inline constexpr size_t kMngSizeOff = 256;     // bytes of each trace file
inline constexpr size_t kMngMaxOff = 260;      // number of slots
inline constexpr size_t kMngGenOff = 264;      // generations per slot
inline constexpr size_t kMngSlotOff = 268;     // slot of the most recent open
inline constexpr size_t kMngOversizeOff = 272; // number of the last oversize file
inline constexpr size_t kMngUnameOff = 276;    // system name and release, zero-filled
inline constexpr size_t kUnameLen = 32;
inline constexpr size_t kMngSlotGenOff = 308;  // generation of slot s at + 4 (s - 1)

inline constexpr uint32_t kMaxSlots = 999;
inline constexpr uint32_t kMaxGenerations = 99;
inline constexpr uint32_t kMaxSizeKb = 999;
inline constexpr uint32_t kMaxOversize = 100;

// ---- trace file and oversize file header ----------------------------------
inline constexpr char kTraceMagic[12] = "QAR TRC 001";
inline constexpr size_t kTrcOffsetOff = 16;    // where the next record goes
inline constexpr size_t kTrcUnameOff = 20;
inline constexpr size_t kTrcHeaderLen = 52;

// ---- one record -------------------------------------------------------------
inline constexpr size_t kRecLengthOff = 4;     // whole record length
inline constexpr size_t kRecNameOff = 8;       // trace name, 27 characters at most
inline constexpr size_t kRecNameMax = 27;
inline constexpr size_t kRecPidOff = 40;
inline constexpr size_t kRecCallerOff = 44;
inline constexpr size_t kRecSecondsOff = 48;
inline constexpr size_t kRecMicrosOff = 52;
inline constexpr size_t kRecLevelOff = 56;
inline constexpr size_t kRecKindOff = 60;
inline constexpr size_t kRecDataLenOff = 64;
inline constexpr size_t kRecDataOff = 68;
inline constexpr size_t kRecFixedLen = 72;     // fields, "TRC" and "END"
// Largest data length whose record, with an oversize file's header, still
// fits a signed 32-bit length.
inline constexpr int kMaxDataLength = 0x7fffffff - static_cast<int>(kTrcHeaderLen) -
                                      static_cast<int>(kRecFixedLen) - 3;

inline constexpr uint32_t RecordLength(uint32_t dataLength) {
    return static_cast<uint32_t>(kRecFixedLen) + ((dataLength + 3u) & ~3u);
}

// Path buffers of the facility: a 255-character directory and any of the
// facility's file names fit with room to spare.
inline constexpr size_t kFileNameLen = 1024;
inline constexpr size_t kMaxDirLen = kMngDirLen - 1;

// ---- errno codes: class | step -----------------------------------------------
inline constexpr int kOpenClass = 0x20000000;
inline constexpr int kOutputClass = 0x40000000;
inline constexpr int kCloseClass = 0x60000000;

inline constexpr int kNullHandle = 0x1;
inline constexpr int kBadName = 0x2;          // open: null or empty trace name
inline constexpr int kBadLevel = 0x2;         // output: level outside 1 to 5
inline constexpr int kBadKind = 0x5;
inline constexpr int kBadLength = 0x6;        // 0, negative or too large
inline constexpr int kNullData = 0x7;
inline constexpr int kNotOpen = 0xd;

inline constexpr int kStepDefOpen = 0x2f00000;   // + errno
inline constexpr int kStepNoLevel = 0x200000b;
inline constexpr int kStepMngLock = 0x4000000;   // + lock code
inline constexpr int kStepMngOpen = 0x4100000;   // + errno
inline constexpr int kStepMngWrite = 0x4200000;  // + errno
inline constexpr int kStepMngMap = 0x4300000;    // + errno; EINVAL: unusable contents
inline constexpr int kStepMngSync = 0x4500000;
inline constexpr int kStepMngMlock = 0x4900000;
inline constexpr int kStepMngNoMem = 0x4b00000;
inline constexpr int kStepRecordLock = 0x6000000; // + lock code
inline constexpr int kStepTrcOpen = 0x6100000;
inline constexpr int kStepTrcWrite = 0x6200000;
inline constexpr int kStepTrcMap = 0x6300000;     // + errno; EINVAL: unusable contents
inline constexpr int kStepTrcSync = 0x6500000;
inline constexpr int kStepTrcNoMem = 0x6b00000;
inline constexpr int kStepOverLock = 0x8000000;   // + lock code
inline constexpr int kStepOverWrite = 0x8200000;
inline constexpr int kStepOverNoMem = 0x8b00000;
inline constexpr int kStepOverCreate = 0x8f00000;
inline constexpr int kLockFailed = 0x700000;      // + errno
inline constexpr int kUnlockFailed = 0x800000;    // + errno

// ---- host-order fields of the maps --------------------------------------------
inline uint32_t Get32(const void *base, size_t off) {
    uint32_t v;
    std::memcpy(&v, static_cast<const unsigned char *>(base) + off, sizeof v);
    return v;
}
inline void Put32(void *base, size_t off, uint32_t v) {
    std::memcpy(static_cast<unsigned char *>(base) + off, &v, sizeof v);
}

// ---- the definition file --------------------------------------------------------
struct TraceDefinition {
    char     caPath[1024] = {};  // trace directory (a 1023-character line bounds it)
    size_t   uiPathLen = 0;      // 0: no path= line with a value
    uint32_t uiSizeKb = 512;     // size of new trace files, KB
    uint32_t uiGen = 5;          // generations per slot of a new management file
    uint32_t uiMax = 200;        // slots of a new management file
    uint32_t uiLevel = 0;        // level of the trace name, 0 when none is valid
};

// Reads the definition file at path for one trace name; 0, or the step code
// kStepDefOpen + errno when the file cannot be opened. Missing values keep
// their defaults (the path stays empty: see K8TQ_Com_tracefiledir).
int ReadTraceDefinition(const char *path, std::string_view name, TraceDefinition &def);
// The definition file's path in the etc directory; 0 or a step code.
int K8TQ_com_traceinifile(char *out, size_t outLen);
// The trace directory used when the definition names none.
int K8TQ_Com_tracefiledir(char *out, size_t outLen);

// ---- the management file lock ---------------------------------------------------
// Whole-file write lock on the management file, waiting until granted. It also
// holds a process-wide mutex, because fcntl locks do not keep the threads of
// one process apart. 0 or kLockFailed / kUnlockFailed + errno.
int K8TQ_TracecomSemaLock(int fd);
int TracecomSemaUnLock(int fd);
// Closes a management file descriptor. Closing any descriptor of the file
// drops all of this process's locks on it, so this waits for the mutex.
void CloseManagementDescriptor(int fd);

// Holds the lock for a scope; Release() reports the unlock result.
class SemaGuard {
public:
    SemaGuard() = default;
    SemaGuard(const SemaGuard &) = delete;
    SemaGuard &operator=(const SemaGuard &) = delete;
    ~SemaGuard() { Release(); }
    int Acquire(int fd) {
        int rc = K8TQ_TracecomSemaLock(fd);
        if (rc == 0) iFd = fd;
        return rc;
    }
    int Release() {
        if (iFd < 0) return 0;
        int rc = TracecomSemaUnLock(iFd);
        iFd = -1;
        return rc;
    }

private:
    int iFd = -1; // the locked management file, -1 when not held
};

// ---- steps shared between the facility's files ---------------------------------
// Whether the header of a mapped management file can be used by a handle whose
// trace files are mapped with traceSize bytes (0: any valid size).
bool ManagementHeaderValid(const void *map, uint32_t traceSize);
// Takes a slot and opens its current trace file; 0 or a step code. The handle
// is filled only on success.
int trc_OpenSettingManageFile(TraceHandle *handle, const char *name, const TraceDefinition &def);
// Opens (creating when absent or empty) a trace file of the handle's size and
// maps it; 0 or a step code. The handle is not changed.
int TracecomOpenTraceFile(const TraceHandle *handle, const char *fileName, int &fd, void *&map);
// Names a trace file: type 1 the handle's current generation, 2 the next
// generation, 3 the oversize file of the management file's counter.
int TracecomGetTraceFileName(const TraceHandle *handle, int type, char *out, size_t outLen);
// Unmaps and closes the trace file (which 1) or the management file (which 2).
void TracecomCloseTraceFile(TraceHandle *handle, int which);

// Permission bits of the management file and of the trace and oversize files
// that the facility creates, whatever the umask.
inline constexpr mode_t kTraceFileMode = 0644;

// sys::OpenNoFollow (never through a symbolic link; a created file gets
// exactly mode), but the descriptor is never 0, so that a handle holding it
// counts as open even in a process that closed its standard input.
int OpenAboveZero(const char *path, int flags, mode_t mode);
// Whether an open file of the facility may be used: a regular file owned by
// the caller that neither group nor others may write (the management file
// names the directory in which the caller creates files, and every process
// writes the trace files through shared maps). 0, step + EACCES when it may
// not, or step + errno when it cannot be examined.
int CheckTrustedFile(int fd, int step);

} // namespace zrkplatform::trace
