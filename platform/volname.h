/*
 * volname.h - layout of the volume-name store zrkcvolinf (etc directory).
 *
 * Host byte order. An 8-byte header (capacity, count) is followed by
 * capacity record slots; slots 0 to count-1 are in use, sorted by sort_vols,
 * and every other slot is zero. The file is always exactly
 * 8 + 1088 x capacity bytes long, or empty: an empty file is a store without
 * a record. The file is never changed in place: each change is a complete new
 * file, written beside it as ZRK_VOLINF_TEMP_FILE and renamed over it.
 */
#ifndef ZRK_VOLNAME_H
#define ZRK_VOLNAME_H

#include "platform.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define ZRK_VOLINF_FILE   "zrkcvolinf"
#define ZRK_VOLINF_TEMP_FILE "zrkcvolinf.tmp"  /* the next store, while written */
#define ZRK_VOLINF_GROWTH 100   /* slots of a new store, and added per growth */

typedef struct VolInfHeader {
    int32_t iCapacity;          /* record slots the file holds */
    int32_t iCount;             /* records in use */
} VolInfHeader;

typedef struct VolInfRecord {
    char    caBoxId[ZRK_BOXID_LEN];   /* BoxID of the volume's array */
    int32_t iKey[5];                  /* the caller's key words */
    char    caName[ZRK_VOLNAME_LEN];  /* volume name, terminated */
    int32_t iRefCount;                /* sessions recorded under this key */
} VolInfRecord;

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(VolInfHeader) == 8, "VolInfHeader layout");
static_assert(sizeof(VolInfRecord) == 1088, "VolInfRecord layout");
static_assert(offsetof(VolInfRecord, iKey) == 40, "VolInfRecord layout");
static_assert(offsetof(VolInfRecord, caName) == 60, "VolInfRecord layout");
static_assert(offsetof(VolInfRecord, iRefCount) == 1084, "VolInfRecord layout");

namespace zrkplatform {

/* The steps of one change of the store, in their order. */
enum class VolnameStep {
    kLocked,           /* the store's writer lock is held */
    kTemporaryOpened,  /* the temporary file is open and empty */
    kHalfWritten,      /* its header and the records before the change are written */
    kWritten,          /* the whole new store is written */
    kSynced,           /* and on disk */
    kRenamed,          /* it has replaced the store */
    kDirectorySynced,  /* the directory is on disk */
};

/* Called at each step of set_volname and erase_volname when set; for the
 * tests that stop a writer at each step. */
extern void (*gVolnameStepHook)(VolnameStep step);

/* ---- volume-name lookups of one command call ------------------------------ */

/* The store as it was when Open ran, for the many lookups of one command
 * call: the file is opened, mapped and closed once (under the process's
 * reader turn, so the close cannot drop a writer's lock), and the mapping
 * alone is kept until the snapshot is destroyed. The store is never changed
 * in place, so the mapped file stays whole even when a writer replaces it
 * meanwhile. Lookups answer as get_volname does. */
class VolnameSnapshot {
public:
    VolnameSnapshot() = default;
    ~VolnameSnapshot();
    VolnameSnapshot(const VolnameSnapshot &) = delete;
    VolnameSnapshot &operator=(const VolnameSnapshot &) = delete;

    /* Takes the store the path names now; a missing or broken store is one
     * without a record (traced as get_volname traces it). */
    void Open();
    /* 2 with the name in out (ZRK_VOLNAME_LEN bytes), 1 not found. */
    int Get(const char *boxId, int32_t key1, int32_t key2, int32_t key3, int32_t key4,
            int32_t key5, char *out) const;

private:
    void Release();

    const unsigned char *pMap = nullptr; /* the store's bytes */
    size_t uiLength = 0;                 /* the length mapped */
    int32_t iCount = 0;                  /* records in use */
};

} // namespace zrkplatform
#endif

#endif /* ZRK_VOLNAME_H */
