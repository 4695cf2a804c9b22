// The volume-name store zrkcvolinf: under which name a command line gave each
// volume that a copy session was started on, keyed by the volume's BoxID and
// five key words of the caller. Writers (set_volname, erase_volname) hold the
// store's whole-file lock from before they read the header until they have
// unmapped; readers (get_volname) take no lock and map the file read-only.
//
// Nothing in the file is trusted before it is checked: a header whose
// capacity and count do not agree with each other and with the file length
// makes the store corrupt, which writers report as -1 and readers as "not
// found", without touching a record.
#include "volname.h"

#include "sysio.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace zrkplatform;

namespace {

constexpr int64_t kHeaderSize = sizeof(VolInfHeader);
constexpr int64_t kRecordSize = sizeof(VolInfRecord);
constexpr int64_t kMaxLength = UINT32_MAX;  // StoreFile holds a 32-bit length

constexpr int64_t StoreLength(int64_t capacity) { return kHeaderSize + kRecordSize * capacity; }

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

// One open of the store for the length of one call. Releases what it holds
// in the order unmap, unlock, close.
class Store {
public:
    Store() { stFile.iFd = -1; }
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;
    ~Store() {
        Unmap();
        if (bLocked) zrkc_unlock(&stFile);
        if (stFile.iFd >= 0) com_file_close(&stFile);
    }

    // Opens an existing store for reading only. 0, 1 when there is none, -1.
    int OpenReadOnly(const char *path) {
        const int fd = sys::Open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno == ENOENT ? 1 : -1;
        stFile.iFd = fd;
        return 0;
    }

    // Finds the store's path, opens it for writing as com_file_open does
    // (mode 1: existing only; else created when absent) and takes its lock,
    // tracing each failure under the caller's name. 0; 1 when there is no
    // store (mode 1); the code of buildpathname; -1.
    int OpenLocked(const char *caller, int mode) {
        char path[ZRK_PATH_LEN];
        if (int rc = buildpathname(ZRK_VOLINF_FILE, path); rc != 0) {
            VelkErrEnd(caller, __LINE__);
            return rc;
        }
        const int rc = com_file_open(path, mode, &stFile);
        if (rc != 0) {
            stFile.iFd = -1;
            if (rc == 1 && mode == 1) return 1;
            VelkErrEnd(caller, "open", __LINE__);
            return -1;
        }
        bLocked = zrkc_lock(path, &stFile) == 0;
        if (!bLocked) {
            VelkErrEnd(caller, "lock", __LINE__);
            return -1;
        }
        return 0;
    }

    // The current length of the file; -1 when it cannot be told.
    int64_t Length() const {
        struct stat st {};
        if (fstat(stFile.iFd, &st) != 0) return -1;
        return st.st_size;
    }

    // Maps length bytes for writing, growing the file with zero bytes when it
    // is shorter. On failure the file is cut back to the length it had.
    bool MapWrite(int64_t length) {
        if (length <= 0 || length > kMaxLength) return false;
        int64_t before = Length();
        if (before < 0) return false;
        stFile.uiLength = static_cast<uint32_t>(length);
        if (com_file_mapping(&stFile) != 0) {
            if (Length() != before) (void)sys::Truncate(stFile.iFd, static_cast<off_t>(before));
            return false;
        }
        bMapped = true;
        return true;
    }

    // Maps length bytes for reading. The file is never written.
    bool MapRead(int64_t length) {
        if (length <= 0 || length > kMaxLength) return false;
        void *map = mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_SHARED, stFile.iFd, 0);
        if (map == MAP_FAILED) {
            stFile.uiErrno = static_cast<uint32_t>(errno);
            return false;
        }
        stFile.pMap = map;
        stFile.uiLength = static_cast<uint32_t>(length);
        bMapped = true;
        return true;
    }

    bool Unmap() {
        if (!bMapped) return true;
        bMapped = false;
        return com_file_unmapping(&stFile) == 0;
    }

    VolInfHeader *Header() { return static_cast<VolInfHeader *>(stFile.pMap); }
    VolInfRecord *Slots() {
        return reinterpret_cast<VolInfRecord *>(static_cast<char *>(stFile.pMap) + kHeaderSize);
    }

    // Whether the mapped header agrees with itself and with the mapped length.
    bool Consistent() {
        if (stFile.uiLength < kHeaderSize) return false;
        const VolInfHeader *h = Header();
        return h->iCapacity > 0 && h->iCount >= 0 && h->iCount <= h->iCapacity &&
               StoreLength(h->iCapacity) == static_cast<int64_t>(stFile.uiLength);
    }

    // The slot of the key among the used ones, or the slot where it belongs.
    VolInfRecord *LowerBound(const VolInfRecord &key) {
        VolInfRecord *first = Slots();
        return std::lower_bound(first, first + Header()->iCount, key,
                                [](const VolInfRecord &slot, const VolInfRecord &k) {
                                    return CompareRecords(&slot, &k) < 0;
                                });
    }

    VolInfRecord *Find(const VolInfRecord &key) {
        VolInfRecord *slot = LowerBound(key);
        if (slot == Slots() + Header()->iCount || CompareRecords(slot, &key) != 0) return nullptr;
        return slot;
    }

private:
    StoreFile stFile {};   // the store's descriptor and map
    bool bLocked = false;  // the whole-file lock is held
    bool bMapped = false;  // stFile.pMap is mapped
};

// Maps a writer's store under its lock and checks it. An empty file is a
// store that its creator has not set up yet (or whose creator failed before
// it could): it is set up here, under the lock, with no record.
bool MapForWriting(Store &store, const char *caller) {
    int64_t length = store.Length();
    if (length == 0) {
        if (!store.MapWrite(StoreLength(ZRK_VOLINF_GROWTH))) {
            VelkErrEnd(caller, "create", __LINE__);
            return false;
        }
        store.Header()->iCapacity = ZRK_VOLINF_GROWTH;
        store.Header()->iCount = 0;
        return true;
    }
    if (length < kHeaderSize || length > kMaxLength || !store.MapWrite(length)) {
        VelkErrEnd(caller, "mapping", __LINE__);
        return false;
    }
    if (!store.Consistent()) {
        VelkErrEnd(caller, "broken store", __LINE__);
        return false;
    }
    return true;
}

// Adds ZRK_VOLINF_GROWTH slots: the file is extended with zeros and mapped
// again before the raised capacity is written, all under the writer's lock.
bool Grow(Store &store) {
    int64_t capacity = int64_t {store.Header()->iCapacity} + ZRK_VOLINF_GROWTH;
    if (capacity > INT32_MAX || StoreLength(capacity) > kMaxLength) return false;
    if (!store.Unmap()) return false;
    if (!store.MapWrite(StoreLength(capacity))) return false;
    store.Header()->iCapacity = static_cast<int32_t>(capacity);
    return true;
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

    // Open or create, then lock: whoever finds the file empty under the lock
    // sets it up, so two first writers cannot overwrite each other.
    Store store;
    if (int rc = store.OpenLocked("set_volname", 2); rc != 0) return rc;
    if (!MapForWriting(store, "set_volname")) return -1;

    const VolInfRecord key = MakeKey(boxId, key1, key2, key3, key4, key5);
    if (VolInfRecord *slot = store.Find(key)) {
        std::memset(slot->caName, 0, sizeof slot->caName);
        std::memcpy(slot->caName, name, nameLength);
        if (slot->iRefCount < INT32_MAX) ++slot->iRefCount;
        return 0;
    }

    if (store.Header()->iCount == store.Header()->iCapacity && !Grow(store)) {
        VelkErrEnd("set_volname", "grow", __LINE__);
        return -1;
    }
    // Insert in order: move the larger records up one slot.
    VolInfRecord *slot = store.LowerBound(key);
    VolInfRecord *used = store.Slots() + store.Header()->iCount;
    std::memmove(slot + 1, slot, static_cast<size_t>(used - slot) * sizeof(VolInfRecord));
    *slot = key;
    std::memcpy(slot->caName, name, nameLength);
    slot->iRefCount = 1;
    ++store.Header()->iCount;
    return 0;
}

extern "C" int get_volname(const char *boxId, int32_t key1, int32_t key2, int32_t key3,
                           int32_t key4, int32_t key5, char *out) {
    if (boxId == nullptr || out == nullptr) return 1;
    char path[ZRK_PATH_LEN];
    if (buildpathname(ZRK_VOLINF_FILE, path) != 0) {
        VelkErrEnd("get_volname", __LINE__);
        return 1;
    }
    Store store;
    if (store.OpenReadOnly(path) != 0) {
        VelkErrEnd("get_volname", "open", __LINE__);
        return 1;
    }
    int64_t length = store.Length();
    if (length < kHeaderSize || !store.MapRead(length) || !store.Consistent()) {
        VelkErrEnd("get_volname", "mapping", __LINE__);
        return 1;
    }
    const VolInfRecord *slot = store.Find(MakeKey(boxId, key1, key2, key3, key4, key5));
    if (slot == nullptr) return 1;
    size_t n = strnlen(slot->caName, ZRK_VOLNAME_LEN - 1);
    std::memcpy(out, slot->caName, n);
    out[n] = '\0';
    return 2;
}

extern "C" int erase_volname(const char *boxId, int32_t key1, int32_t key2, int32_t key3,
                             int32_t key4, int32_t key5) {
    if (boxId == nullptr) return -1;
    Store store;
    if (int rc = store.OpenLocked("erase_volname", 1); rc != 0) return rc;
    // A store that was created but never set up holds no record.
    if (store.Length() == 0) return 0;
    if (!MapForWriting(store, "erase_volname")) return -1;

    VolInfRecord *slot = store.Find(MakeKey(boxId, key1, key2, key3, key4, key5));
    if (slot == nullptr) return 0;
    if (slot->iRefCount > 1) {
        --slot->iRefCount;
        return 0;
    }

    // The last reference is gone: move the following records down and clear
    // the slot that this leaves, so the unused slots stay zero.
    VolInfRecord *last = store.Slots() + store.Header()->iCount - 1;
    std::memmove(slot, slot + 1, static_cast<size_t>(last - slot) * sizeof(VolInfRecord));
    std::memset(static_cast<void *>(last), 0, sizeof(VolInfRecord));
    --store.Header()->iCount;
    return 0;
}
