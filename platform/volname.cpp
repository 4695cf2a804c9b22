// The volume-name store zrkcvolinf: under which name a command line gave each
// volume that a copy session was started on, keyed by the volume's BoxID and
// five key words of the caller.
//
// The file is never changed in place, so that a writer killed at any instant
// leaves the store as it was before or after its change, and a reader never
// sees half of one. A writer (set_volname, erase_volname) takes the whole-file
// lock of the store, reads it, writes the complete new store into the
// temporary file beside it, syncs it, renames it over the store and syncs the
// directory; only then does it drop the lock, by closing the replaced file.
// A writer that waited for the lock of a file that has been replaced in the
// meantime opens the new one and waits again. Readers (get_volname, VolnameSnapshot) take no
// file lock: they map whichever file the path names, which no one changes
// any more. An empty file, as a writer creates it to have something to lock, is
// a store without a record.
//
// Both files are 0600 whatever the umask and are never opened through a
// symbolic link; a temporary file that is not a plain file of one link is
// refused, not truncated.
//
// fcntl locks belong to a process, not to a thread, and any close of the
// file drops them: the threads of one process therefore take turns through a
// process-wide lock, readers shared and writers alone.
//
// Nothing in the file is trusted before it is checked: a header whose
// capacity and count do not agree with each other and with the file length
// makes the store corrupt, which writers report as -1 and readers as "not
// found", without touching a record.
#include "volname.h"

#include "replacefile.h"
#include "sysio.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>

namespace zrkplatform {
void (*gVolnameStepHook)(VolnameStep step) = nullptr;
} // namespace zrkplatform

using namespace zrkplatform;

namespace {

constexpr int64_t kHeaderSize = sizeof(VolInfHeader);
constexpr int64_t kRecordSize = sizeof(VolInfRecord);
constexpr int64_t kMaxLength = UINT32_MAX;  // the largest store that is mapped
constexpr mode_t kStoreMode = 0600;
constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// The turns of this process's threads (see above): readers share one,
// writers go alone, and a waiting writer goes before readers that come later.
pthread_rwlock_t gProcessLock = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;

constexpr int64_t StoreLength(int64_t capacity) { return kHeaderSize + kRecordSize * capacity; }

void Step(VolnameStep step) {
    if (gVolnameStepHook != nullptr) gVolnameStepHook(step);
}

int32_t LoadI32(const unsigned char *p) {
    int32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// The record order: key words 1 to 5 as signed numbers, then the BoxID bytes
// as unsigned values. Reads through bytes, so either record may be unaligned.
int CompareRecords(const void *a, const void *b) {
    const auto *ra = static_cast<const unsigned char *>(a);
    const auto *rb = static_cast<const unsigned char *>(b);
    for (size_t i = 0; i < 5; ++i) {
        size_t at = offsetof(VolInfRecord, iKey) + i * sizeof(int32_t);
        int32_t ka = LoadI32(ra + at);
        int32_t kb = LoadI32(rb + at);
        if (ka != kb) return ka < kb ? -1 : 1;
    }
    int byBox = std::memcmp(ra + offsetof(VolInfRecord, caBoxId),
                            rb + offsetof(VolInfRecord, caBoxId), ZRK_BOXID_LEN);
    return byBox < 0 ? -1 : (byBox > 0 ? 1 : 0);
}

VolInfRecord MakeKey(const char *boxId, int32_t key1, int32_t key2, int32_t key3, int32_t key4,
                     int32_t key5) {
    VolInfRecord key {};
    std::memcpy(key.caBoxId, boxId, ZRK_BOXID_LEN);
    key.iKey[0] = key1;
    key.iKey[1] = key2;
    key.iKey[2] = key3;
    key.iKey[3] = key4;
    key.iKey[4] = key5;
    return key;
}

// The slot of the key among count sorted records, or the slot where it belongs.
int32_t LowerBoundIn(const VolInfRecord *first, int32_t count, const VolInfRecord &key) {
    if (count == 0) return 0;
    const VolInfRecord *slot =
        std::lower_bound(first, first + count, key, [](const VolInfRecord &s, const VolInfRecord &k) {
            return CompareRecords(&s, &k) < 0;
        });
    return static_cast<int32_t>(slot - first);
}

// The record holding the key among count sorted records, or null.
const VolInfRecord *FindIn(const VolInfRecord *first, int32_t count, const VolInfRecord &key) {
    const int32_t at = LowerBoundIn(first, count, key);
    if (at == count || CompareRecords(first + at, &key) != 0) return nullptr;
    return first + at;
}

// The store's path and its temporary file beside it.
struct StorePaths {
    std::string sStore;
    std::string sTemporary;

    // 0, or the code of buildpathname (traced under the caller's name).
    int Find(const char *caller) {
        char path[ZRK_PATH_LEN];
        if (int rc = buildpathname(ZRK_VOLINF_FILE, path); rc != 0) {
            VelkErrEnd(caller, __LINE__);
            return rc;
        }
        sStore = path;
        sTemporary = sStore.substr(0, sStore.rfind('/') + 1) + ZRK_VOLINF_TEMP_FILE;
        return 0;
    }
};

// One open of one store file for the length of one call, mapped read-only.
// Releases what it holds in the order unmap, close (which drops the lock).
class Store {
public:
    Store() = default;
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;
    ~Store() { Release(); }

    // Opens the file the path names for reading only. 0, 1 when there is
    // none, -1.
    int OpenReadOnly(const char *path) {
        iFd = sys::Open(path, O_RDONLY | kOpenFlags);
        if (iFd < 0) return errno == ENOENT ? 1 : -1;
        return 0;
    }

    // Opens the store for writing (created empty when absent and create is
    // set) and takes its lock, until the lock is held on the file that the
    // path still names. A store of another mode (left by an older writer,
    // or created under a umask that takes more than group and world) is
    // made 0600. Each failure is traced under the caller's name.
    // 0; 1 when there is no store and create is not set; -1.
    int OpenLocked(const char *caller, const StorePaths &paths, bool create) {
        for (;;) {
            Release();
            iFd = sys::Open(paths.sStore.c_str(), O_RDWR | kOpenFlags | (create ? O_CREAT : 0),
                            kStoreMode);
            if (iFd < 0) {
                if (errno == ENOENT && !create) return 1;
                VelkErrEnd(caller, "open", __LINE__);
                return -1;
            }
            if (LockWholeFile(iFd, F_WRLCK) != 0) {
                VelkErrEnd(caller, "lock", __LINE__);
                return -1;
            }
            struct stat locked {}, named {};
            if (fstat(iFd, &locked) != 0) {
                VelkErrEnd(caller, "open", __LINE__);
                return -1;
            }
            if (lstat(paths.sStore.c_str(), &named) != 0 && errno != ENOENT) {
                VelkErrEnd(caller, "open", __LINE__);
                return -1;
            }
            if (named.st_nlink == 0 || !SameFile(locked, named)) {
                continue;  // replaced or removed while we waited: lock what is there now
            }
            if (!S_ISREG(locked.st_mode)) {
                VelkErrEnd(caller, "not a file", __LINE__);
                return -1;
            }
            if ((locked.st_mode & 07777) != kStoreMode && locked.st_nlink == 1) {
                (void)sys::Fchmod(iFd, kStoreMode);
            }
            return 0;
        }
    }

    // Maps the open file read-only and checks it. 0 when it is a store (an
    // empty file is one without a record); -1 when it cannot be mapped; -2
    // when it is no consistent store.
    int Map() {
        struct stat st {};
        if (fstat(iFd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
        if (st.st_size == 0) return 0;
        if (st.st_size < kHeaderSize) return -2;
        if (st.st_size > kMaxLength) return -1;
        const auto length = static_cast<size_t>(st.st_size);
        void *map = mmap(nullptr, length, PROT_READ, MAP_SHARED, iFd, 0);
        if (map == MAP_FAILED) return -1;
        pMap = static_cast<const unsigned char *>(map);
        uiLength = length;
        std::memcpy(&stHeader, pMap, sizeof stHeader);
        const bool consistent = stHeader.iCapacity > 0 && stHeader.iCount >= 0 &&
                                stHeader.iCount <= stHeader.iCapacity &&
                                StoreLength(stHeader.iCapacity) == st.st_size;
        return consistent ? 0 : -2;
    }

    // Capacity 0 and count 0 for an empty file.
    const VolInfHeader &Header() const { return stHeader; }
    const VolInfRecord *Slots() const {
        if (pMap == nullptr) return nullptr;
        return reinterpret_cast<const VolInfRecord *>(pMap + kHeaderSize);
    }

    // The slot of the key among the used ones, or the slot where it belongs.
    int32_t LowerBound(const VolInfRecord &key) const {
        return LowerBoundIn(Slots(), stHeader.iCount, key);
    }

    // The used slot holding the key, or null.
    const VolInfRecord *Find(const VolInfRecord &key) const {
        return FindIn(Slots(), stHeader.iCount, key);
    }

    // Hands the mapping over to the caller (who unmaps it) and closes the
    // file; nothing is kept.
    void Detach(const unsigned char **map, size_t *length) {
        *map = pMap;
        *length = uiLength;
        pMap = nullptr;
        Release();
    }

private:
    void Release() {
        if (pMap != nullptr) munmap(const_cast<unsigned char *>(pMap), uiLength);
        pMap = nullptr;
        stHeader = {};
        if (iFd >= 0) sys::Close(iFd);
        iFd = -1;
    }

    int iFd = -1;                          // the store file's descriptor
    const unsigned char *pMap = nullptr;   // its bytes while mapped
    size_t uiLength = 0;                   // the length mapped
    VolInfHeader stHeader {};              // its header, read once
};

// Opens, locks, maps and checks a writer's store, tracing each failure under
// the caller's name. 0; 1 when there is no store and create is not set; the
// code of buildpathname; -1.
int OpenForWriting(const char *caller, bool create, StorePaths &paths, Store &store) {
    if (int rc = paths.Find(caller); rc != 0) return rc;
    if (int rc = store.OpenLocked(caller, paths, create); rc != 0) return rc;
    Step(VolnameStep::kLocked);
    switch (store.Map()) {
    case 0:
        return 0;
    case -2:
        VelkErrEnd(caller, "broken store", __LINE__);
        return -1;
    default:
        VelkErrEnd(caller, "mapping", __LINE__);
        return -1;
    }
}

// One change of the store: the record at slot iAt is put in front of the
// old one (bInsert), takes its place, or (pRecord null) is taken out.
struct Change {
    int32_t iAt;                   // the slot changed
    const VolInfRecord *pRecord;   // the record written there, or null
    bool bInsert;                  // the record goes in before the old slot iAt
};

// Writes the store with the change into fd, which is empty: the header, the
// records before the changed slot, the changed record, the records after it;
// the rest of the file is zero from its length. false when the store would
// grow beyond its limits or a write fails.
bool WriteStore(int fd, const Store &store, const Change &change) {
    const VolInfHeader &old = store.Header();
    const int32_t removed = change.bInsert ? 0 : 1;
    const int32_t added = change.pRecord != nullptr ? 1 : 0;
    VolInfHeader header {old.iCapacity, old.iCount - removed + added};
    if (header.iCount > header.iCapacity) {
        const int64_t capacity = int64_t {old.iCapacity} + ZRK_VOLINF_GROWTH;
        if (capacity > INT32_MAX || StoreLength(capacity) > kMaxLength) return false;
        header.iCapacity = static_cast<int32_t>(capacity);
    }
    auto slotOffset = [](int64_t slot) { return static_cast<off_t>(StoreLength(slot)); };
    auto recordBytes = [](int64_t records) { return static_cast<size_t>(records * kRecordSize); };
    if (sys::Truncate(fd, slotOffset(header.iCapacity)) != 0 ||
        sys::WriteAll(fd, &header, sizeof header, 0) != 0 ||
        sys::WriteAll(fd, store.Slots(), recordBytes(change.iAt), slotOffset(0)) != 0) {
        return false;
    }
    Step(VolnameStep::kHalfWritten);
    if (change.pRecord != nullptr &&
        sys::WriteAll(fd, change.pRecord, sizeof *change.pRecord, slotOffset(change.iAt)) != 0) {
        return false;
    }
    const int32_t firstKept = change.iAt + removed;
    return sys::WriteAll(fd, store.Slots() + firstKept, recordBytes(old.iCount - firstKept),
                         slotOffset(change.iAt + added)) == 0;
}

// The crash tests' steps of a replacement of the store.
void ReplaceStepDone(ReplaceStep step) {
    switch (step) {
    case ReplaceStep::kOpen: Step(VolnameStep::kTemporaryOpened); break;
    case ReplaceStep::kWrite: Step(VolnameStep::kWritten); break;
    case ReplaceStep::kSync: break;
    case ReplaceStep::kClose: Step(VolnameStep::kSynced); break;
    case ReplaceStep::kRename: Step(VolnameStep::kRenamed); break;
    case ReplaceStep::kFolderSync: Step(VolnameStep::kDirectorySynced); break;
    }
}

// Makes the change: writes the new store into the temporary file, syncs it
// and renames it over the store, then syncs the directory, all under the
// writer's lock that store holds. 0 once the new store has replaced the old
// one (a failed sync of the directory is only traced); -1 with the store
// unchanged and the temporary file removed.
int Commit(const char *caller, const StorePaths &paths, const Store &store, const Change &change) {
    const ReplaceResult result = ReplaceFile(
        paths.sStore, paths.sTemporary, kStoreMode,
        [&](int fd) { return WriteStore(fd, store, change) ? 0 : EIO; }, ReplaceStepDone);
    if (result.iError != 0) {
        // The trace's word for each failed step, by ReplaceStep.
        static constexpr const char *kFailed[] = {"temporary", "write", "sync", "write", "rename"};
        static_assert(std::size(kFailed) == static_cast<size_t>(ReplaceStep::kRename) + 1);
        VelkErrEnd(caller, kFailed[static_cast<int>(result.eFailed)], __LINE__);
        return -1;
    }
    if (!result.bFolderSynced) VelkErrEnd(caller, "directory sync", __LINE__);
    return 0;
}

} // namespace

extern "C" int sort_vols(const void *a, const void *b) { return CompareRecords(a, b); }

extern "C" int set_volname(const char *name, const char *boxId, int32_t key1, int32_t key2,
                           int32_t key3, int32_t key4, int32_t key5) {
    if (name == nullptr || boxId == nullptr) return -1;
    size_t nameLength = strnlen(name, ZRK_VOLNAME_LEN);
    if (nameLength >= ZRK_VOLNAME_LEN) {
        VelkErrEnd("set_volname", "name too long", __LINE__);
        return -1;
    }

    // Open or create, then lock: the store that the path names under the
    // lock is the one changed, so two first writers cannot overwrite each
    // other.
    ThreadTurn turn(gProcessLock, true);
    StorePaths paths;
    Store store;
    if (int rc = OpenForWriting("set_volname", true, paths, store); rc != 0) return rc;

    VolInfRecord record = MakeKey(boxId, key1, key2, key3, key4, key5);
    Change change {store.LowerBound(record), &record, true};
    if (const VolInfRecord *old = store.Find(record)) {
        record.iRefCount = old->iRefCount < INT32_MAX ? old->iRefCount + 1 : INT32_MAX;
        change.bInsert = false;
    } else {
        record.iRefCount = 1;
    }
    std::memcpy(record.caName, name, nameLength);
    return Commit("set_volname", paths, store, change);
}

extern "C" int get_volname(const char *boxId, int32_t key1, int32_t key2, int32_t key3,
                           int32_t key4, int32_t key5, char *out) {
    if (boxId == nullptr || out == nullptr) return 1;
    VolnameSnapshot snapshot;
    snapshot.Open();
    return snapshot.Get(boxId, key1, key2, key3, key4, key5, out);
}

namespace zrkplatform {

VolnameSnapshot::~VolnameSnapshot() { Release(); }

void VolnameSnapshot::Release() {
    if (pMap != nullptr) munmap(const_cast<unsigned char *>(pMap), uiLength);
    pMap = nullptr;
    uiLength = 0;
    iCount = 0;
}

void VolnameSnapshot::Open() {
    Release();
    ThreadTurn turn(gProcessLock, false);
    StorePaths paths;
    if (paths.Find("get_volname") != 0) return;
    Store store;
    if (store.OpenReadOnly(paths.sStore.c_str()) != 0) {
        VelkErrEnd("get_volname", "open", __LINE__);
        return;
    }
    if (store.Map() != 0) {
        VelkErrEnd("get_volname", "mapping", __LINE__);
        return;
    }
    iCount = store.Header().iCount;
    store.Detach(&pMap, &uiLength);
}

int VolnameSnapshot::Get(const char *boxId, int32_t key1, int32_t key2, int32_t key3,
                         int32_t key4, int32_t key5, char *out) const {
    if (boxId == nullptr || out == nullptr || pMap == nullptr) return 1;
    const auto *first = reinterpret_cast<const VolInfRecord *>(pMap + kHeaderSize);
    const VolInfRecord *slot = FindIn(first, iCount, MakeKey(boxId, key1, key2, key3, key4, key5));
    if (slot == nullptr) return 1;
    size_t n = strnlen(slot->caName, ZRK_VOLNAME_LEN - 1);
    std::memcpy(out, slot->caName, n);
    out[n] = '\0';
    return 2;
}

} // namespace zrkplatform

extern "C" int erase_volname(const char *boxId, int32_t key1, int32_t key2, int32_t key3,
                             int32_t key4, int32_t key5) {
    if (boxId == nullptr) return -1;
    ThreadTurn turn(gProcessLock, true);
    StorePaths paths;
    Store store;
    if (int rc = OpenForWriting("erase_volname", false, paths, store); rc != 0) return rc;

    const VolInfRecord key = MakeKey(boxId, key1, key2, key3, key4, key5);
    const VolInfRecord *old = store.Find(key);
    if (old == nullptr) return 0;
    if (old->iRefCount > 1) {
        VolInfRecord record = *old;
        --record.iRefCount;
        return Commit("erase_volname", paths, store,
                      {static_cast<int32_t>(old - store.Slots()), &record, false});
    }
    // The last reference is gone: the record is taken out.
    return Commit("erase_volname", paths, store,
                  {static_cast<int32_t>(old - store.Slots()), nullptr, false});
}
