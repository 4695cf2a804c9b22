// The alias store: zrkc.alias and zrkc_ext.alias in the etc directory.
//
// The files are never changed in place. A writer (com_set_alias,
// com_add_alias, com_change_alias, com_delete_alias) opens the main file
// (creating an empty one when the command may create the store), takes its
// whole-file lock and, once the lock is held on the file that the path still
// names, reads both files into memory and makes its change there. It then
// writes the next main file as "zrkc.alias.tmp" and, when the extension file
// changes, the next extension file as "zrkc_ext.alias.tmp", syncs them, and
// renames "zrkc.alias.tmp" to "zrkc.alias.new": from that instant the change
// is made, because both next files are complete. It renames the extension
// file into place, then "zrkc.alias.new" over the main file, syncs the
// directory and drops the lock by closing the replaced main file. A writer
// that finds "zrkc.alias.new" under the lock finishes the change of a writer
// that died; leftover ".tmp" files without it are thrown away.
//
// Readers (com_get_aliaslist, and com_get_alias_info through it) take no
// file lock. They read the main file and the extension file of one state:
// the pair named by the paths, or, while a change is being finished, the
// ready main file and the next extension file. They check after reading that
// no change began or ended meanwhile, and read again when one did. Within a
// command call (zrkc::AliasCallView, held by the command frame) the lookups
// share one such reading, taken at the call's first lookup; a change made on
// the same thread drops it.
//
// An empty main file is a store without entries: it is what a first writer
// creates to have something to lock. A missing extension file is one
// without user texts. Any other length, or an extension file without the
// magic and version 1 (an empty one too), is a broken store (1700); a
// writer makes an empty one anew.
//
// fcntl locks belong to a process and any close of the file drops them, so
// no code of this module opens or closes the main file while the lock is
// held (a writer looks up aliases in what it has read), and the threads of
// one process take turns through a process-wide lock, readers shared and
// writers alone.
#include "zrkcalias.h"

#include "fileread.h"
#include "platform.h"
#include "replacefile.h"
#include "sysio.h"
#include "zrkcmessage.h"
#include "zrkcops.h"
#include "zrkctrace.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>

namespace zrkc {
void (*gAliasStepHook)(AliasStep step) = nullptr;
} // namespace zrkc

using namespace zrkplatform;
using zrkc::AliasStep;
using zrkc::ErrorEnd;
using zrkc::NormalEnd;
using zrkc::TraceLine;
using zrkc::TraceStart;
using zrkc::Where;
using zrkc::kTraceSupport;

namespace {

constexpr mode_t kStoreMode = 0600;
constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr int kMaxLooks = 1000;       // lock or read attempts while the store keeps changing
constexpr uint8_t kServiceRequest = zrkc::IdOf(zrkc::Op::ServiceRequest);
constexpr char kServiceVolume[] = "DummyVolume";
constexpr int kDecrypt = 2;           // ZRKIPProc operation

pthread_rwlock_t gProcessLock = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;

// The reading of the store that the lookups of this thread's command call
// share (see zrkc::AliasCallView): null until its first lookup, and after a
// change made on the thread.
struct CallView {
    int iDepth = 0;                  // views alive on the thread
    std::unique_ptr<AliasList> pList;
};
thread_local CallView tCallView;

void Step(AliasStep step) {
    if (zrkc::gAliasStepHook != nullptr) zrkc::gAliasStepHook(step);
}

// ---- messages ----------------------------------------------------------------

int FileNameError(const char *name, ReturnInfo *ri, int cause, Where where = Where::current()) {
    zrkc::SetResult(ri, zrkc::Msg::VelkFileName, cause);
    return ErrorEnd(name, where);
}

int AccessError(const char *name, ReturnInfo *ri, int cause, Where where = Where::current()) {
    zrkc::SetResult(ri, zrkc::Msg::AliasFileAccess, cause);
    return ErrorEnd(name, where);
}

int NoSuchId(const char *name, ReturnInfo *ri, int returnClass, Where where = Where::current()) {
    zrkc::SetResultAs(ri, returnClass, zrkc::Msg::AliasIdMissing);
    return ErrorEnd(name, where);
}

int StoreFull(const char *name, ReturnInfo *ri, Where where = Where::current()) {
    zrkc::SetResult(ri, zrkc::Msg::AliasStoreFull);
    return ErrorEnd(name, where);
}

int WrongUser(const char *name, ReturnInfo *ri, Where where = Where::current()) {
    zrkc::SetResult(ri, zrkc::Msg::UserInfoIncorrect);
    return ErrorEnd(name, where);
}

int InvalidParameter(const char *name, ReturnInfo *ri, const char *value, Where where = Where::current()) {
    zrkc::SetResult(ri, zrkc::Msg::InvalidParameter, value);
    return ErrorEnd(name, where);
}

int NotSpecified(const char *name, ReturnInfo *ri, Where where = Where::current()) {
    zrkc::SetResult(ri, zrkc::Msg::ParameterMissing);
    return ErrorEnd(name, where);
}

int NoMemory(const char *name, ReturnInfo *ri, Where where = Where::current()) {
    zrkc::SetNoMemory(ri);
    return ErrorEnd(name, where);
}

// ---- texts of the store --------------------------------------------------------

// The store's comparison of BoxIDs and aliases: at most 40 bytes, up to a NUL.
bool SameText(const char *a, const char *b) { return std::strncmp(a, b, ZRKC_ALIAS_LEN) == 0; }

bool InUse(const AliasEntry &entry) { return entry.InUse != 0; }

// Copies a terminated text into a field that it fits (checked by the caller),
// the rest of the field zero.
template <size_t N>
void PutText(char (&field)[N], const char *text) {
    std::memset(field, 0, N);
    if (text != nullptr) std::memcpy(field, text, strnlen(text, N - 1));
}

// Whether a text of the caller fits a terminated field of n bytes.
bool Fits(const char *text, size_t n) { return text == nullptr || strnlen(text, n) < n; }

void InitExt(AliasExtFile &ext) {
    std::memset(&ext, 0, sizeof ext);
    std::memcpy(ext.Magic, ZRKC_ALIAS_EXT_MAGIC, ZRKC_ALIAS_EXT_MAGIC_LEN);
    ext.Version = ZRKC_ALIAS_EXT_VERSION;
}

bool ExtValid(const AliasExtFile &ext) {
    return std::memcmp(ext.Magic, ZRKC_ALIAS_EXT_MAGIC, ZRKC_ALIAS_EXT_MAGIC_LEN) == 0 &&
           ext.Version == ZRKC_ALIAS_EXT_VERSION;
}

uint16_t CountInUse(const AliasMainFile &main) {
    return static_cast<uint16_t>(std::count_if(std::begin(main.Slot), std::end(main.Slot), InUse));
}

// ---- files -----------------------------------------------------------------------

// The store's files and the next files of a change, all in one folder.
struct AliasPaths {
    std::string sMain;
    std::string sExt;
    std::string sMainTemp;
    std::string sExtTemp;
    std::string sReady;

    // 0, or the code of buildpathname.
    int Find() {
        char path[ZRK_PATH_LEN];
        if (int rc = buildpathname(ZRKC_ALIAS_FILE, path); rc != 0) return rc;
        sMain = path;
        if (int rc = buildpathname(ZRKC_ALIAS_EXT_FILE, path); rc != 0) return rc;
        sExt = path;
        sMainTemp = sMain + ZRKC_ALIAS_TEMP_SUFFIX;
        sExtTemp = sExt + ZRKC_ALIAS_TEMP_SUFFIX;
        sReady = sMain + ZRKC_ALIAS_READY_SUFFIX;
        return 0;
    }
};

// Whether a path exists (not followed). 1 yes, 0 no, -1 with errno.
int Exists(const std::string &path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) return 1;
    return errno == ENOENT ? 0 : -1;
}

// Whether the path still names the open file.
bool StillNamed(int fd, const std::string &path) {
    struct stat opened {}, named {};
    return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 && SameFile(opened, named);
}

// What reading one store file gave.
enum class Read {
    kDone,    // the whole file is in the buffer
    kEmpty,   // the file is empty
    kBroken,  // its length is not the store's, or it ended early (cause 0)
    kFailed,  // a system call failed (cause: its error number)
};

// Reads the whole file at fd, which must be exactly length bytes long.
Read ReadWhole(int fd, void *data, size_t length, int &cause) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        cause = errno;
        return Read::kFailed;
    }
    if (!S_ISREG(st.st_mode)) {
        cause = 0;
        return Read::kBroken;
    }
    if (st.st_size == 0) return Read::kEmpty;
    if (st.st_size != static_cast<off_t>(length)) {
        cause = 0;
        return Read::kBroken;
    }
    auto *p = static_cast<char *>(data);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = sys::Read(fd, p + done, length - done);
        if (n < 0) {
            cause = errno;
            return Read::kFailed;
        }
        if (n == 0) {
            cause = 0;
            return Read::kBroken;
        }
        done += static_cast<size_t>(n);
    }
    return Read::kDone;
}

// Syncs the directory of the store; a failure is only traced: the change
// itself is made.
void SyncDirectory(const char *name, const AliasPaths &paths) {
    if (SyncFolderOf(paths.sMain) != 0) ErrorEnd(name, "directory sync");
}

// Writes a next file of the store under the writer's lock (which has thrown
// away any leftover of it): 0600, never through a link, synced. When
// halfStep is set, it is announced after the first half. 0, or the error
// number (the file is removed).
int WriteNewFile(const std::string &path, const void *data, size_t length, bool halfStep) {
    const auto *p = static_cast<const char *>(data);
    const size_t half = length / 2;
    Replacement next(std::string(), path, kStoreMode);
    const int err = next.Write([&](int fd) {
        int error = sys::WriteAll(fd, p, half, 0);
        if (error == 0 && halfStep) Step(AliasStep::kMainHalfWritten);
        if (error == 0) error = sys::WriteAll(fd, p + half, length - half, static_cast<off_t>(half));
        return error;
    });
    if (err == 0) next.Keep(); // Commit renames it
    return err;
}

// ---- a writer's hold on the store --------------------------------------------------

// One change of the store by one command call: the main file open and
// locked, both files read into memory. Dropping it releases the lock by
// closing the main file.
class Writer {
public:
    // A change of the store: the lookups of this thread's call read it anew.
    explicit Writer(const char *name) : pName(name) { tCallView.pList.reset(); }

    // Opens and locks the store and reads the main file. With create, a
    // missing store is created empty. 0; 1 when there is no store (missing,
    // or empty) and create is not set; -1 with ri filled.
    int Open(bool create, ReturnInfo *ri) {
        if (int rc = stPaths.Find(); rc != 0) return FileNameError(pName, ri, rc);
        pMain.reset(new (std::nothrow) AliasMainFile());
        pExt.reset(new (std::nothrow) AliasExtFile());
        if (pMain == nullptr || pExt == nullptr) return NoMemory(pName, ri);
        if (int rc = Lock(create, ri); rc != 0) return rc;
        Step(AliasStep::kLocked);

        int cause = 0;
        switch (ReadWhole(stFd.Get(), pMain.get(), sizeof *pMain, cause)) {
        case Read::kDone:
            break;
        case Read::kEmpty:
            if (!create) return 1;
            break;
        case Read::kBroken:
        case Read::kFailed:
            return AccessError(pName, ri, cause);
        }
        return 0;
    }

    AliasMainFile &Main() { return *pMain; }
    AliasExtFile &Ext() { return *pExt; }
    // Whether the extension file exists as a store file (not only in memory).
    bool ExtOnDisk() const { return bExtOnDisk; }

    // Makes the change: the main file and, with ext, the extension file are
    // replaced by what is in memory. 0 once the change is made; -1 with ri
    // filled and the store unchanged.
    int Commit(bool ext, ReturnInfo *ri) {
        pMain->Count = CountInUse(*pMain);
        pMain->uhReserved = 0;
        int err = WriteNewFile(stPaths.sMainTemp, pMain.get(), sizeof *pMain, true);
        if (err == 0 && ext) {
            err = WriteNewFile(stPaths.sExtTemp, pExt.get(), sizeof *pExt, false);
            if (err != 0) (void)sys::Unlink(stPaths.sMainTemp.c_str());
        }
        if (err != 0) return AccessError(pName, ri, err);
        Step(AliasStep::kWritten);
        if (sys::Rename(stPaths.sMainTemp.c_str(), stPaths.sReady.c_str()) != 0) {
            err = errno;
            (void)sys::Unlink(stPaths.sMainTemp.c_str());
            (void)sys::Unlink(stPaths.sExtTemp.c_str());
            return AccessError(pName, ri, err);
        }
        Step(AliasStep::kReady);
        // The change is made. Should a rename below fail, the ready main
        // file stays: readers read it and the next writer finishes the job.
        if (ext && sys::Rename(stPaths.sExtTemp.c_str(), stPaths.sExt.c_str()) != 0) {
            ErrorEnd(pName, "rename");
            return 0;
        }
        Step(AliasStep::kExtRenamed);
        if (sys::Rename(stPaths.sReady.c_str(), stPaths.sMain.c_str()) != 0) {
            ErrorEnd(pName, "rename");
            return 0;
        }
        Step(AliasStep::kRenamed);
        SyncDirectory(pName, stPaths);
        return 0;
    }

    // Reads the extension file; missing or empty, it is a new one. 0, or -1
    // with ri filled.
    int ReadExt(ReturnInfo *ri) {
        InitExt(*pExt);
        FileDescriptor fd(sys::Open(stPaths.sExt.c_str(), O_RDONLY | kOpenFlags));
        if (fd.Get() < 0) {
            if (errno == ENOENT) return 0;
            return AccessError(pName, ri, errno);
        }
        int cause = 0;
        switch (ReadWhole(fd.Get(), pExt.get(), sizeof *pExt, cause)) {
        case Read::kDone:
            if (!ExtValid(*pExt)) return AccessError(pName, ri, 0);
            bExtOnDisk = true;
            return 0;
        case Read::kEmpty:
            InitExt(*pExt);
            return 0;
        case Read::kBroken:
        case Read::kFailed:
            break;
        }
        return AccessError(pName, ri, cause);
    }

private:
    // Opens the main file and takes its lock, until the lock is held on the
    // file that the path names; finishes or throws away what a writer that
    // died left. 0; 1 (no store, create not set); -1 with ri filled.
    int Lock(bool create, ReturnInfo *ri) {
        for (int look = 0; look < kMaxLooks; ++look) {
            const int fd = sys::OpenNoFollow(stPaths.sMain.c_str(),
                                             O_RDWR | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0),
                                             kStoreMode);
            const int openErr = errno;
            stFd = FileDescriptor(fd);  // the file of the look before, if any, is let go
            if (fd < 0) {
                if (openErr == ENOENT && !create) return 1;
                return AccessError(pName, ri, openErr);
            }
            if (int err = LockWholeFile(stFd.Get(), F_WRLCK); err != 0) {
                return AccessError(pName, ri, err);
            }
            if (!StillNamed(stFd.Get(), stPaths.sMain)) continue; // replaced while we waited

            const int ready = Exists(stPaths.sReady);
            if (ready < 0) return AccessError(pName, ri, errno);
            if (ready == 1) {
                // A writer died after its change was made: finish it, then
                // lock the main file that it leaves.
                if (sys::Rename(stPaths.sExtTemp.c_str(), stPaths.sExt.c_str()) != 0 &&
                    errno != ENOENT) {
                    return AccessError(pName, ri, errno);
                }
                if (sys::Rename(stPaths.sReady.c_str(), stPaths.sMain.c_str()) != 0) {
                    return AccessError(pName, ri, errno);
                }
                SyncDirectory(pName, stPaths);
                continue;
            }
            // Next files of a writer that died before its change was made.
            for (const std::string *temp : {&stPaths.sMainTemp, &stPaths.sExtTemp}) {
                if (sys::Unlink(temp->c_str()) != 0 && errno != ENOENT) {
                    return AccessError(pName, ri, errno);
                }
            }
            return 0;
        }
        return AccessError(pName, ri, EAGAIN);
    }

    const char *pName;                    // the command function, for the trace
    AliasPaths stPaths;
    FileDescriptor stFd;                  // the main file, locked
    std::unique_ptr<AliasMainFile> pMain; // what the change makes of it
    std::unique_ptr<AliasExtFile> pExt;
    bool bExtOnDisk = false;
};

// ---- slots and aliases -------------------------------------------------------------

// The slot in use with the BoxID, or -1.
int FindBox(const AliasMainFile &main, const char *boxId) {
    for (int slot = 0; slot < ZRKC_ALIAS_SLOTS; ++slot) {
        if (InUse(main.Slot[slot]) && SameText(main.Slot[slot].BoxID, boxId)) return slot;
    }
    return -1;
}

// The slot in use with the alias, or -1.
int FindAlias(const AliasMainFile &main, const char *alias) {
    for (int slot = 0; slot < ZRKC_ALIAS_SLOTS; ++slot) {
        if (InUse(main.Slot[slot]) && SameText(main.Slot[slot].Alias, alias)) return slot;
    }
    return -1;
}

// Where the entries that one call creates go, and under which alias: a
// generated alias takes the lowest free number at or after the number
// cursor, a BoxID alias the lowest free slot at or after the slot cursor.
struct Placement {
    int iSlotCursor = 0;
    int iNumberCursor = 0;
};

// Creates an entry for the BoxID in the lowest suitable free slot. The slot,
// or -1 when the store is full.
int CreateEntry(AliasMainFile &main, const char *boxId, bool boxIdAlias, Placement &place) {
    if (CountInUse(main) >= ZRKC_ALIAS_SLOTS) return -1;
    char alias[ZRKC_ALIAS_LEN] = {};
    int slot = -1;
    if (boxIdAlias) {
        for (int s = place.iSlotCursor; s < ZRKC_ALIAS_SLOTS && slot < 0; ++s) {
            if (!InUse(main.Slot[s])) slot = s;
        }
        if (slot < 0) return -1;
        place.iSlotCursor = slot + 1;
        std::memcpy(alias, boxId, ZRK_BOXID_LEN);
    } else {
        int number = -1;
        char text[ZRKC_ALIAS_LEN + 1];
        for (int n = place.iNumberCursor; n < ZRKC_ALIAS_SLOTS && number < 0; ++n) {
            std::snprintf(text, sizeof text, "QX%03d", n);
            if (FindAlias(main, text) < 0) number = n;
        }
        for (int s = 0; s < ZRKC_ALIAS_SLOTS && slot < 0; ++s) {
            if (!InUse(main.Slot[s])) slot = s;
        }
        if (number < 0 || slot < 0) return -1;
        place.iNumberCursor = number + 1;
        std::snprintf(text, sizeof text, "QX%03d", number);
        std::memcpy(alias, text, std::strlen(text));
    }
    AliasEntry &entry = main.Slot[slot];
    std::memset(&entry, 0, sizeof entry);
    entry.InUse = 1;
    entry.ID = static_cast<uint32_t>(slot);
    std::memcpy(entry.Alias, alias, sizeof alias);
    std::memcpy(entry.BoxID, boxId, ZRK_BOXID_LEN);
    return slot;
}

// Registers the route in the entry.
void PutRoute(AliasEntry &entry, const char *accessPath, const unsigned char *productId,
              const unsigned char *devIdNo, uint8_t interfaceKind) {
    PutText(entry.AccessPath, accessPath);
    std::memset(entry.ProductID, 0, sizeof entry.ProductID);
    std::memset(entry.DevIDNo, 0, sizeof entry.DevIDNo);
    if (productId != nullptr) std::memcpy(entry.ProductID, productId, sizeof entry.ProductID);
    if (devIdNo != nullptr) std::memcpy(entry.DevIDNo, devIdNo, sizeof entry.DevIDNo);
    entry.Direct = 1;
    entry.Interface = interfaceKind;
}

// A clear user text of the store, wiped when it goes.
struct ClearText {
    char caText[ZRKC_ALIAS_TEXT_LEN] = {};
    ClearText() = default;
    ~ClearText() { explicit_bzero(caText, sizeof caText); }
    ClearText(const ClearText &) = delete;
    ClearText &operator=(const ClearText &) = delete;
    bool Is(const char *text) const { return std::strcmp(caText, text) == 0; }
};

// The clear text of a stored user text, through the service's "decrypt";
// false with ri filled (the service's failure as com_set_return_inf maps it,
// or 1023 for a text longer than its field).
bool Decrypt(const char *name, const char *stored, ClearText &clear, ReturnInfo *ri) {
    unsigned char sense[256] = {};
    char *result = nullptr;
    const int rc = ZRKIPProc(kDecrypt, stored, &result, sense);
    if (com_set_return_inf(kServiceRequest, kServiceVolume, rc, sense, &ri->iReturnClass,
                           &ri->uiMessageNo, ri->caMessage) != 0) {
        zrkc::FreeServiceText(result);
        return false;
    }
    const size_t length = result != nullptr ? std::strlen(result) : 0;
    // A clear text that could not have been given for a field of the store
    // matches nothing.
    if (length >= ZRKC_ALIAS_TEXT_LEN) {
        zrkc::FreeServiceText(result);
        WrongUser(name, ri);
        return false;
    }
    if (length > 0) std::memcpy(clear.caText, result, length);
    clear.caText[length] = '\0';
    zrkc::FreeServiceText(result);
    return true;
}

// ---- a reader's look at the store ----------------------------------------------------

// Both files of one state of the store, as a reader reads them.
struct Snapshot {
    bool bEmpty = false;   // no store, or an empty main file
    bool bHasExt = false;  // the extension file was read
};

// Reads the main file and the extension file of one state into main and
// ext. 0; -1 with *cause (the error number, or 0 for a broken store).
int ReadSnapshot(const AliasPaths &paths, AliasMainFile &main, AliasExtFile &ext, Snapshot &shot,
                 int &cause) {
    for (int look = 0; look < kMaxLooks; ++look) {
        shot = Snapshot();
        const int ready = Exists(paths.sReady);
        if (ready < 0) {
            cause = errno;
            return -1;
        }
        const std::string &mainPath = ready == 1 ? paths.sReady : paths.sMain;
        FileDescriptor mainFd(sys::Open(mainPath.c_str(), O_RDONLY | kOpenFlags));
        if (mainFd.Get() < 0) {
            if (errno == ENOENT && ready == 1) continue; // the change was finished meanwhile
            if (errno == ENOENT) {
                shot.bEmpty = true;
                return 0;
            }
            cause = errno;
            return -1;
        }
        FileDescriptor extFd;
        if (ready == 1) extFd = FileDescriptor(sys::Open(paths.sExtTemp.c_str(), O_RDONLY | kOpenFlags));
        if (extFd.Get() < 0) extFd = FileDescriptor(sys::Open(paths.sExt.c_str(), O_RDONLY | kOpenFlags));

        int mainCause = 0, extCause = 0;
        const Read mainRead = ReadWhole(mainFd.Get(), &main, sizeof main, mainCause);
        Read extRead = Read::kEmpty;
        if (extFd.Get() >= 0) extRead = ReadWhole(extFd.Get(), &ext, sizeof ext, extCause);

        // Both files belong to one state when no change began or ended while
        // they were opened and read.
        const bool settled = StillNamed(mainFd.Get(), mainPath) &&
                             (ready == 1 || Exists(paths.sReady) == 0);
        if (!settled) continue;

        if (mainRead == Read::kEmpty) {
            shot.bEmpty = true;
            return 0;
        }
        if (mainRead != Read::kDone) {
            cause = mainCause;
            return -1;
        }
        if (extRead == Read::kDone) {
            if (!ExtValid(ext)) {
                cause = 0;
                return -1;
            }
            shot.bHasExt = true;
        } else if (extRead != Read::kEmpty) {
            cause = extCause;
            return -1;
        } else if (extFd.Get() >= 0) {
            cause = 0; // an empty extension file has no magic either
            return -1;
        }
        return 0;
    }
    cause = EAGAIN;
    return -1;
}

// A reader's copy of a terminated field: always terminated.
template <size_t N>
void CopyTerminated(char (&to)[N], const char (&from)[N]) {
    std::memcpy(to, from, N);
    to[N - 1] = '\0';
}

} // namespace

// ---- the store's functions ------------------------------------------------------------------

extern "C" int com_alias_check(const char *alias) {
    static const char kName[] = "com_alias_check";
    TraceStart(kName);
    auto letter = [](unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto digit = [](unsigned char c) { return c >= '0' && c <= '9'; };
    bool ok = alias != nullptr && letter(static_cast<unsigned char>(alias[0]));
    for (const char *p = alias != nullptr ? alias : ""; ok && *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        ok = letter(c) || digit(c) || c == '#' || c == '-' || c == '.' || c == '_';
    }
    if (!ok) {
        ErrorEnd(kName, "Limitation char(alias)");
        return -1;
    }
    return NormalEnd(kName);
}

extern "C" int com_get_aliaslist(AliasList *list, ReturnInfo *ri) {
    static const char kName[] = "com_get_aliaslist";
    if (ri == nullptr) return -1;
    TraceStart(kName);
    if (list == nullptr) return NotSpecified(kName, ri);
    AliasPaths paths;
    if (int rc = paths.Find(); rc != 0) return FileNameError(kName, ri, rc);
    std::unique_ptr<AliasMainFile> main(new (std::nothrow) AliasMainFile);
    std::unique_ptr<AliasExtFile> ext(new (std::nothrow) AliasExtFile);
    if (main == nullptr || ext == nullptr) return NoMemory(kName, ri);

    Snapshot shot;
    int cause = 0;
    {
        ThreadTurn turn(gProcessLock, false);
        if (ReadSnapshot(paths, *main, *ext, shot, cause) != 0) {
            return AccessError(kName, ri, cause);
        }
    }
    if (shot.bEmpty) {
        list->Count = 0;
        return NormalEnd(kName);
    }
    uint16_t listed = 0;
    for (int slot = 0; slot < ZRKC_ALIAS_SLOTS; ++slot) {
        if (!InUse(main->Slot[slot])) continue;
        AliasRecord &record = list->Entry[listed];
        record.Main = main->Slot[slot];
        CopyTerminated(record.Main.AccessPath, main->Slot[slot].AccessPath);
        if (shot.bHasExt) {
            CopyTerminated(record.User, ext->Slot[slot].User);
            CopyTerminated(record.Password, ext->Slot[slot].Password);
        }
        ++listed;
        if (listed == main->Count) break;
    }
    list->Count = listed;
    return NormalEnd(kName);
}

extern "C" int com_get_alias_info(int kind, const char *key, AliasRecord *record, ReturnInfo *ri) {
    static const char kName[] = "com_get_alias_info";
    if (ri == nullptr) return -1;
    TraceStart(kName);
    if (key == nullptr || record == nullptr) return NotSpecified(kName, ri);
    CallView &view = tCallView;
    const AliasList *list = view.pList.get();
    std::unique_ptr<AliasList> read;
    if (list == nullptr) {
        read.reset(new (std::nothrow) AliasList());
        if (read == nullptr) return NoMemory(kName, ri);
        if (com_get_aliaslist(read.get(), ri) != 0) {
            ErrorEnd(kName);
            return -1;
        }
        list = read.get();
        if (view.iDepth > 0) view.pList = std::move(read);
    }
    for (uint16_t i = 0; i < list->Count; ++i) {
        const AliasRecord &entry = list->Entry[i];
        const char *text = kind == ZRKC_ALIAS_BY_ALIAS ? entry.Main.Alias : entry.Main.BoxID;
        if (SameText(text, key)) {
            *record = entry;
            return NormalEnd(kName);
        }
    }
    TraceLine(kTraceSupport, {}, "%s not found.", kName);
    return 1;
}

extern "C" int com_set_alias(const char *accessPath, const unsigned char *productId,
                             const unsigned char *devIdNo, const unsigned char *remoteList,
                             int optionFlag, uint8_t interfaceKind, const char *user,
                             const char *password, ReturnInfo *ri) {
    static const char kName[] = "com_set_alias";
    if (ri == nullptr) return -1;
    TraceStart(kName);
    if (accessPath == nullptr || remoteList == nullptr) return NotSpecified(kName, ri);
    if (!Fits(accessPath, sizeof AliasEntry::AccessPath)) {
        return InvalidParameter(kName, ri, accessPath);
    }
    if (interfaceKind != ZRKC_ALIAS_IF_SCSI && interfaceKind != ZRKC_ALIAS_IF_LAN) {
        char text[16];
        std::snprintf(text, sizeof text, "%u", interfaceKind);
        return InvalidParameter(kName, ri, text);
    }
    // The service's texts are kept as they are: one that does not fit its
    // field is refused, never cut.
    if (!Fits(user, ZRKC_ALIAS_TEXT_LEN) || !Fits(password, ZRKC_ALIAS_TEXT_LEN)) {
        return WrongUser(kName, ri);
    }
    const bool boxIdAlias = (static_cast<uint32_t>(optionFlag) & ZRKC_OPT_BOXID_ALIAS) != 0;
    const char *ownBox = reinterpret_cast<const char *>(remoteList);
    const int remotes = remoteList[ZRKC_REMOTE_COUNT_AT];

    ThreadTurn turn(gProcessLock, true);
    Writer store(kName);
    if (store.Open(true, ri) != 0 || store.ReadExt(ri) != 0) return -1;
    AliasMainFile &main = store.Main();
    AliasExtFile &ext = store.Ext();

    Placement place;
    int own = FindBox(main, ownBox);
    if (own >= 0) {
        AliasEntry &entry = main.Slot[own];
        if (entry.Direct == 1 && entry.Interface != interfaceKind) {
            if (interfaceKind == ZRKC_ALIAS_IF_SCSI) {
                zrkc::SetResult(ri, zrkc::Msg::DefinedOverLan);
            } else {
                zrkc::SetResult(ri, zrkc::Msg::DefinedOverScsi);
            }
            ErrorEnd(kName);
            return -1;
        }
        PutRoute(entry, accessPath, productId, devIdNo, interfaceKind);
        if (user != nullptr) PutText(ext.Slot[own].User, user);
        if (password != nullptr) PutText(ext.Slot[own].Password, password);
    } else {
        own = CreateEntry(main, ownBox, boxIdAlias, place);
        if (own < 0) return StoreFull(kName, ri);
        PutRoute(main.Slot[own], accessPath, productId, devIdNo, interfaceKind);
        AliasExtEntry &extra = ext.Slot[own];
        std::memset(&extra, 0, sizeof extra);
        extra.ID = static_cast<uint32_t>(own);
        PutText(extra.User, user);
        PutText(extra.Password, password);
    }
    // The arrays reached from this one, each once, also when the list names
    // one twice or names the array itself.
    for (int i = 0; i < remotes; ++i) {
        const size_t at = ZRKC_REMOTE_ENTRY_AT + static_cast<size_t>(i) * ZRKC_REMOTE_ENTRY_LEN;
        const char *box = reinterpret_cast<const char *>(remoteList + at);
        if (FindBox(main, box) >= 0) continue;
        const int slot = CreateEntry(main, box, boxIdAlias, place);
        if (slot < 0) return StoreFull(kName, ri);
        std::memset(&ext.Slot[slot], 0, sizeof ext.Slot[slot]);
    }
    if (store.Commit(true, ri) != 0) return -1;
    return NormalEnd(kName);
}

extern "C" int com_add_alias(const char *boxId, int optionFlag, ReturnInfo *ri) {
    static const char kName[] = "com_add_alias";
    if (ri == nullptr) return -1;
    TraceStart(kName);
    if (boxId == nullptr) return NotSpecified(kName, ri);
    const bool boxIdAlias = (static_cast<uint32_t>(optionFlag) & ZRKC_OPT_BOXID_ALIAS) != 0;

    ThreadTurn turn(gProcessLock, true);
    Writer store(kName);
    if (store.Open(true, ri) != 0) return -1;
    AliasMainFile &main = store.Main();
    if (FindBox(main, boxId) >= 0) return NormalEnd(kName);
    Placement place;
    if (CreateEntry(main, boxId, boxIdAlias, place) < 0) return StoreFull(kName, ri);
    if (store.Commit(false, ri) != 0) return -1;
    return NormalEnd(kName);
}

extern "C" int com_change_alias(uint32_t id, const char *alias, ReturnInfo *ri) {
    static const char kName[] = "com_change_alias";
    if (ri == nullptr) return -1;
    TraceStart(kName);
    if (id >= ZRKC_ALIAS_SLOTS) return NoSuchId(kName, ri, ZRKC_CLASS_PARAMETER);
    if (alias == nullptr) return NotSpecified(kName, ri);
    if (strnlen(alias, ZRKC_ALIAS_LEN + 1) > ZRKC_ALIAS_LEN) {
        return InvalidParameter(kName, ri, alias);
    }

    ThreadTurn turn(gProcessLock, true);
    Writer store(kName);
    const int rc = store.Open(false, ri);
    if (rc == 1) return NoSuchId(kName, ri, ZRKC_CLASS_ALIAS);
    if (rc != 0) return -1;
    AliasMainFile &main = store.Main();
    if (!InUse(main.Slot[id])) return NoSuchId(kName, ri, ZRKC_CLASS_PARAMETER);
    // Looked up in what the lock holds: opening the store again here would
    // drop the lock.
    if (FindAlias(main, alias) >= 0) {
        zrkc::SetResult(ri, zrkc::Msg::AliasDefined);
        ErrorEnd(kName);
        return -1;
    }
    if (store.ReadExt(ri) != 0) return -1;
    std::memset(main.Slot[id].Alias, 0, ZRKC_ALIAS_LEN);
    std::memcpy(main.Slot[id].Alias, alias, std::strlen(alias));
    // A store without its extension file gets one with this change.
    if (store.Commit(!store.ExtOnDisk(), ri) != 0) return -1;
    return NormalEnd(kName);
}

extern "C" int com_delete_alias(uint32_t id, const char *user, const char *password,
                                ReturnInfo *ri) {
    static const char kName[] = "com_delete_alias";
    if (ri == nullptr) return -1;
    TraceStart(kName);
    if (id >= ZRKC_ALIAS_SLOTS) return NoSuchId(kName, ri, ZRKC_CLASS_PARAMETER);

    ThreadTurn turn(gProcessLock, true);
    Writer store(kName);
    const int rc = store.Open(false, ri);
    if (rc == 1) return NoSuchId(kName, ri, ZRKC_CLASS_ALIAS);
    if (rc != 0) return -1;
    AliasMainFile &main = store.Main();
    AliasExtFile &ext = store.Ext();
    AliasEntry &entry = main.Slot[id];
    if (!InUse(entry)) return NoSuchId(kName, ri, ZRKC_CLASS_PARAMETER);
    if (store.ReadExt(ri) != 0) return -1;

    if (entry.Direct == 1 && entry.Interface == ZRKC_ALIAS_IF_LAN) {
        if (user == nullptr || password == nullptr) return WrongUser(kName, ri);
        ClearText storedUser, storedPassword;
        if (!Decrypt(kName, ext.Slot[id].User, storedUser, ri) ||
            !Decrypt(kName, ext.Slot[id].Password, storedPassword, ri)) {
            ErrorEnd(kName);
            return -1;
        }
        if (!storedUser.Is(user) || !storedPassword.Is(password)) return WrongUser(kName, ri);
    } else if (user != nullptr || password != nullptr) {
        return WrongUser(kName, ri);
    }
    std::memset(&entry, 0, sizeof entry);
    std::memset(&ext.Slot[id], 0, sizeof ext.Slot[id]);
    if (store.Commit(true, ri) != 0) return -1;
    return NormalEnd(kName);
}

namespace zrkc {

void FreeServiceText(char *text) {
    if (text == nullptr) return;
    explicit_bzero(text, std::strlen(text));
    std::free(text);
}

AliasCallView::AliasCallView() { ++tCallView.iDepth; }

AliasCallView::~AliasCallView() {
    if (--tCallView.iDepth == 0) tCallView.pList.reset();
}

} // namespace zrkc
