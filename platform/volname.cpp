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

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr int64_t kHeaderSize = sizeof(VolInfHeader);
constexpr int64_t kRecordSize = sizeof(VolInfRecord);
constexpr int64_t kMaxLength = UINT32_MAX;  // StoreFile holds a 32-bit length

constexpr int64_t store_length(int64_t capacity) { return kHeaderSize + kRecordSize * capacity; }

int32_t load_i32(const unsigned char *p) {
    int32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// The record order: key words 1 to 5 as signed numbers, then the BoxID bytes
// as unsigned values. Reads through bytes, so either record may be unaligned.
int compare_records(const void *a, const void *b) {
    const auto *ra = static_cast<const unsigned char *>(a);
    const auto *rb = static_cast<const unsigned char *>(b);
    for (size_t i = 0; i < 5; ++i) {
        size_t at = offsetof(VolInfRecord, iKey) + i * sizeof(int32_t);
        int32_t ka = load_i32(ra + at);
        int32_t kb = load_i32(rb + at);
        if (ka != kb) return ka < kb ? -1 : 1;
    }
    int byBox = std::memcmp(ra + offsetof(VolInfRecord, caBoxId),
                            rb + offsetof(VolInfRecord, caBoxId), ZRK_BOXID_LEN);
    return byBox < 0 ? -1 : (byBox > 0 ? 1 : 0);
}

VolInfRecord make_key(const char *boxId, int32_t key1, int32_t key2, int32_t key3, int32_t key4,
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

int ftruncate_retry(int fd, off_t length) {
    int rc;
    do {
        rc = ftruncate(fd, length);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// One open of the store for the length of one call. Releases what it holds
// in the order unmap, unlock, close.
class Store {
public:
    Store() { file_.iFd = -1; }
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;
    ~Store() {
        unmap();
        if (locked_) zrkc_unlock(&file_);
        if (file_.iFd >= 0) com_file_close(&file_);
    }

    StoreFile &file() { return file_; }

    // Opens an existing store for reading only. 0, 1 when there is none, -1.
    int openReadOnly(const char *path) {
        int fd;
        do {
            fd = open(path, O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return errno == ENOENT ? 1 : -1;
        file_.iFd = fd;
        return 0;
    }

    // Opens the store for writing, as com_file_open does (mode 1: existing
    // only; else created when absent). 0, 1 no store (mode 1), -1.
    int openWrite(const char *path, int mode) {
        int rc = com_file_open(path, mode, &file_);
        if (rc != 0) file_.iFd = -1;
        return rc;
    }

    bool lock(const char *path) {
        locked_ = zrkc_lock(path, &file_) == 0;
        return locked_;
    }

    // The current length of the file; -1 when it cannot be told.
    int64_t length() const {
        struct stat st {};
        if (fstat(file_.iFd, &st) != 0) return -1;
        return st.st_size;
    }

    // Maps length bytes for writing, growing the file with zero bytes when it
    // is shorter. On failure the file is cut back to the length it had.
    bool mapWrite(int64_t length) {
        if (length <= 0 || length > kMaxLength) return false;
        int64_t before = this->length();
        if (before < 0) return false;
        file_.uiLength = static_cast<uint32_t>(length);
        if (com_file_mapping(&file_) != 0) {
            if (this->length() != before) ftruncate_retry(file_.iFd, static_cast<off_t>(before));
            return false;
        }
        mapped_ = true;
        return true;
    }

    // Maps length bytes for reading. The file is never written.
    bool mapRead(int64_t length) {
        if (length <= 0 || length > kMaxLength) return false;
        void *map = mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_SHARED, file_.iFd, 0);
        if (map == MAP_FAILED) {
            file_.uiErrno = static_cast<uint32_t>(errno);
            return false;
        }
        file_.pMap = map;
        file_.uiLength = static_cast<uint32_t>(length);
        mapped_ = true;
        return true;
    }

    bool unmap() {
        if (!mapped_) return true;
        mapped_ = false;
        return com_file_unmapping(&file_) == 0;
    }

    VolInfHeader *header() { return static_cast<VolInfHeader *>(file_.pMap); }
    VolInfRecord *slots() {
        return reinterpret_cast<VolInfRecord *>(static_cast<char *>(file_.pMap) + kHeaderSize);
    }

    // Whether the mapped header agrees with itself and with the mapped length.
    bool consistent() {
        if (file_.uiLength < kHeaderSize) return false;
        const VolInfHeader *h = header();
        return h->iCapacity > 0 && h->iCount >= 0 && h->iCount <= h->iCapacity &&
               store_length(h->iCapacity) == static_cast<int64_t>(file_.uiLength);
    }

    // The slot of the key among the used ones, or the slot where it belongs.
    VolInfRecord *lowerBound(const VolInfRecord &key) {
        VolInfRecord *first = slots();
        return std::lower_bound(first, first + header()->iCount, key,
                                [](const VolInfRecord &slot, const VolInfRecord &k) {
                                    return compare_records(&slot, &k) < 0;
                                });
    }

    VolInfRecord *find(const VolInfRecord &key) {
        VolInfRecord *slot = lowerBound(key);
        if (slot == slots() + header()->iCount || compare_records(slot, &key) != 0) return nullptr;
        return slot;
    }

private:
    StoreFile file_ {};
    bool locked_ = false;
    bool mapped_ = false;
};

// Maps a writer's store under its lock and checks it. An empty file is a
// store that its creator has not set up yet (or whose creator failed before
// it could): it is set up here, under the lock, with no record.
bool map_for_writing(Store &store, const char *caller) {
    int64_t length = store.length();
    if (length == 0) {
        if (!store.mapWrite(store_length(ZRK_VOLINF_GROWTH))) {
            velk_trace(1, "%s error end.(%s) [%d]", caller, "create", __LINE__);
            return false;
        }
        store.header()->iCapacity = ZRK_VOLINF_GROWTH;
        store.header()->iCount = 0;
        return true;
    }
    if (length < kHeaderSize || length > kMaxLength || !store.mapWrite(length)) {
        velk_trace(1, "%s error end.(%s) [%d]", caller, "mapping", __LINE__);
        return false;
    }
    if (!store.consistent()) {
        velk_trace(1, "%s error end.(%s) [%d]", caller, "broken store", __LINE__);
        return false;
    }
    return true;
}

// Adds ZRK_VOLINF_GROWTH slots: the file is extended with zeros and mapped
// again before the raised capacity is written, all under the writer's lock.
bool grow(Store &store) {
    int64_t capacity = int64_t {store.header()->iCapacity} + ZRK_VOLINF_GROWTH;
    if (capacity > INT32_MAX || store_length(capacity) > kMaxLength) return false;
    if (!store.unmap()) return false;
    if (!store.mapWrite(store_length(capacity))) return false;
    store.header()->iCapacity = static_cast<int32_t>(capacity);
    return true;
}

}  // namespace

extern "C" int sort_vols(const void *a, const void *b) { return compare_records(a, b); }

extern "C" int set_volname(const char *name, const char *boxId, int32_t key1, int32_t key2,
                           int32_t key3, int32_t key4, int32_t key5) {
    if (name == nullptr || boxId == nullptr) return -1;
    size_t nameLength = strnlen(name, ZRK_VOLNAME_LEN);
    if (nameLength >= ZRK_VOLNAME_LEN) {
        velk_trace(1, "%s error end.(%s) [%d]", "set_volname", "name too long", __LINE__);
        return -1;
    }

    char path[ZRK_PATH_LEN];
    int rc = buildpathname(ZRK_VOLINF_FILE, path);
    if (rc != 0) {
        velk_trace(1, "%s error end. [%d]", "set_volname", __LINE__);
        return rc;
    }

    // Open or create, then lock: whoever finds the file empty under the lock
    // sets it up, so two first writers cannot overwrite each other.
    Store store;
    if (store.openWrite(path, 2) != 0) {
        velk_trace(1, "%s error end.(%s) [%d]", "set_volname", "open", __LINE__);
        return -1;
    }
    if (!store.lock(path)) {
        velk_trace(1, "%s error end.(%s) [%d]", "set_volname", "lock", __LINE__);
        return -1;
    }
    if (!map_for_writing(store, "set_volname")) return -1;

    const VolInfRecord key = make_key(boxId, key1, key2, key3, key4, key5);
    if (VolInfRecord *slot = store.find(key)) {
        std::memset(slot->caName, 0, sizeof slot->caName);
        std::memcpy(slot->caName, name, nameLength);
        if (slot->iRefCount < INT32_MAX) ++slot->iRefCount;
        return 0;
    }

    if (store.header()->iCount == store.header()->iCapacity && !grow(store)) {
        velk_trace(1, "%s error end.(%s) [%d]", "set_volname", "grow", __LINE__);
        return -1;
    }
    // Insert in order: move the larger records up one slot.
    VolInfRecord *slot = store.lowerBound(key);
    VolInfRecord *used = store.slots() + store.header()->iCount;
    std::memmove(slot + 1, slot, static_cast<size_t>(used - slot) * sizeof(VolInfRecord));
    *slot = key;
    std::memcpy(slot->caName, name, nameLength);
    slot->iRefCount = 1;
    ++store.header()->iCount;
    return 0;
}

extern "C" int get_volname(const char *boxId, int32_t key1, int32_t key2, int32_t key3,
                           int32_t key4, int32_t key5, char *out) {
    if (boxId == nullptr || out == nullptr) return 1;
    char path[ZRK_PATH_LEN];
    if (buildpathname(ZRK_VOLINF_FILE, path) != 0) {
        velk_trace(1, "%s error end. [%d]", "get_volname", __LINE__);
        return 1;
    }
    Store store;
    if (store.openReadOnly(path) != 0) {
        velk_trace(1, "%s error end.(%s) [%d]", "get_volname", "open", __LINE__);
        return 1;
    }
    int64_t length = store.length();
    if (length < kHeaderSize || !store.mapRead(length) || !store.consistent()) {
        velk_trace(1, "%s error end.(%s) [%d]", "get_volname", "mapping", __LINE__);
        return 1;
    }
    const VolInfRecord *slot = store.find(make_key(boxId, key1, key2, key3, key4, key5));
    if (slot == nullptr) return 1;
    size_t n = strnlen(slot->caName, ZRK_VOLNAME_LEN - 1);
    std::memcpy(out, slot->caName, n);
    out[n] = '\0';
    return 2;
}

extern "C" int erase_volname(const char *boxId, int32_t key1, int32_t key2, int32_t key3,
                             int32_t key4, int32_t key5) {
    if (boxId == nullptr) return -1;
    char path[ZRK_PATH_LEN];
    int rc = buildpathname(ZRK_VOLINF_FILE, path);
    if (rc != 0) {
        velk_trace(1, "%s error end. [%d]", "erase_volname", __LINE__);
        return rc;
    }
    Store store;
    rc = store.openWrite(path, 1);
    if (rc == 1) return 1;
    if (rc != 0) {
        velk_trace(1, "%s error end.(%s) [%d]", "erase_volname", "open", __LINE__);
        return -1;
    }
    if (!store.lock(path)) {
        velk_trace(1, "%s error end.(%s) [%d]", "erase_volname", "lock", __LINE__);
        return -1;
    }
    // A store that was created but never set up holds no record.
    if (store.length() == 0) return 0;
    if (!map_for_writing(store, "erase_volname")) return -1;

    VolInfRecord *slot = store.find(make_key(boxId, key1, key2, key3, key4, key5));
    if (slot == nullptr) return 0;
    if (slot->iRefCount > 1) {
        --slot->iRefCount;
        return 0;
    }

    // The last reference is gone: move the following records down and clear
    // the slot that this leaves, so the unused slots stay zero.
    VolInfRecord *last = store.slots() + store.header()->iCount - 1;
    std::memmove(slot, slot + 1, static_cast<size_t>(last - slot) * sizeof(VolInfRecord));
    std::memset(static_cast<void *>(last), 0, sizeof(VolInfRecord));
    --store.header()->iCount;
    return 0;
}
