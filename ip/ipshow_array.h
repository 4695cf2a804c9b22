/*
 * ipshow_array.h - who an array is and what it can do ("show boxid",
 * "show copy-functions", "show model-info"), and its RVZ buffers
 * ("show rvz-buffer", "show rvz-buffer-usage", "show rvz-disk-buffer").
 *
 * The BoxID, the copy functions and the RVZ buffer list never change while a
 * process runs, so each is remembered per array address in a cache of
 * IP_SHOW_CACHE_ENTRIES entries, filled after a successful query and never
 * cleared. An address longer than IP_SHOW_CACHE_KEY_MAX characters is never
 * cached: its queries always go to the array.
 *
 * Every query takes the room of its output in records, as the other show
 * parsers do: the single-record queries need a room of at least 1 (else
 * ZRK_ERR_PARAMETER, before anything is sent); the buffer list's room is the
 * number of rows the caller's list holds. A reply that announces more rows
 * than the record holds, or than the reply carries, is refused with
 * ZRK_ERR_REPLY_INCOMPLETE before any row is read. On failure the caller's output is untouched.
 *
 * Return convention: 0, or -1 with ZRKerrno set.
 */
#ifndef ZRK_IPSHOW_ARRAY_H
#define ZRK_IPSHOW_ARRAY_H

#include "iplink.h"
#include "ipshow.h"
#include "zrkapi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <cstddef>
#include <cstring>
#include <string_view>
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define IP_SHOW_CACHE_ENTRIES   64    /* entries of each per-address cache */
#define IP_SHOW_CACHE_KEY_MAX   255   /* longest address that is cached */

#define IP_RVZ_LIST_ROWS        8     /* rows of a buffer list */
#define IP_RVZ_USAGE_ROWS       32    /* controller-module rows of a usage */
#define IP_RVZ_DISK_ENTRIES     8     /* entries of a disk-buffer record */
#define IP_RVZ_DISK_RLUS        16    /* RLU numbers of one entry */
#define IP_RVZ_DISK_MODULES     32    /* controller-module rows of one entry */

/* "show copy-functions": three capability masks (each keeps the low 32 bits
 * of its column big-endian in its last four bytes) and six numbers. The
 * first 32 bytes are the copy-support record of zrksupport.h, read by its
 * ZRK_SUPPORT_ names. */
typedef struct CliCopyFunctions {
    uint8_t  ucaKzpFunc[8];           /* 4-7: line 2 col 0, the KZP family */
    uint8_t  ucaVzFunc[16];           /* 20-23: line 2 col 2, VZ */
    uint8_t  ucaRvzFunc[8];           /* 28-31: line 2 col 3, RVZ */
    uint32_t uiMaxSession;            /* line 3 col 0: most copy sessions */
    uint32_t uiMaxSession2;           /* line 3 col 1: second session maximum */
    uint32_t uiMaxSnapGen;            /* line 3 col 2: SnapKZP+ generation entries */
    uint32_t uiRvzBuffFlags;          /* line 3 col 3: low byte, RVZ buffer detail flags */
    uint32_t uiMaxConcSuspend;        /* line 3 col 4: sessions of one concurrent suspend */
    uint32_t uiDetailFlags;           /* line 3 col 5 (optional): detail list flags */
    uint8_t  ucaReserved[16];         /* never written */
} CliCopyFunctions;

/* "show model-info": the low 8 bits of ten columns, then zeros. */
typedef struct CliModelInfo {
    uint8_t  ucaLine2[2];             /* line 2 cols 0-1 */
    uint8_t  ucaLine3[2];             /* line 3 cols 0-1 */
    uint8_t  ucaLine4[6];             /* line 4 cols 0-5 (4 and 5 optional) */
    uint8_t  ucaReserved[22];         /* always 0 */
} CliModelInfo;

/* One RVZ buffer of "show rvz-buffer". */
typedef struct CliRvzBufferRow {
    uint32_t uiGroupNum;              /* col 0: buffer group (partition) number */
    uint8_t  ucStatus;                /* col 1: buffer status */
    uint8_t  ucColumn2;               /* col 2 */
    uint8_t  ucaPad[2];               /* always 0 */
    uint32_t uiColumn3;               /* col 3 */
    uint32_t uiUse;                   /* col 4: use of the buffer */
    uint32_t uiInterval;              /* col 5: forwarding interval */
    uint32_t uiWatchTime;             /* col 6: monitoring time; col 7 skipped */
    uint32_t uiSize;                  /* col 8: buffer size */
    uint8_t  ucaReserved[4];          /* always 0 */
    char     caRemoteBoxID[ZRK_BOXID_LEN]; /* col 9 (optional): remote BoxID */
} CliRvzBufferRow;

typedef struct CliRvzBufferList {
    uint32_t uiMaxBuffCnt;            /* line 2 col 0: most buffers of the array */
    uint32_t uiRowCnt;                /* line 2 col 1: buffers defined (rows) */
    uint8_t  ucaReserved[8];          /* never written */
    CliRvzBufferRow rows[IP_RVZ_LIST_ROWS]; /* from line 3 */
} CliRvzBufferList;

/* One controller module of "show rvz-buffer-usage". */
typedef struct CliRvzCmUsage {
    uint32_t uiCmID;                  /* col 0: controller-module number */
    uint32_t uiBuffSize;              /* col 1: buffer size */
    uint32_t uiBuffUseSize;           /* col 2: used size */
    uint32_t uiBuffFreeSize;          /* col 3: free size */
} CliRvzCmUsage;

typedef struct CliRvzBufferUsage {
    uint32_t uiTotalSize;             /* line 2 col 0 */
    uint32_t uiTotalUseSize;          /* line 2 col 1 */
    uint32_t uiTotalSpaceSize;        /* line 2 col 2 */
    uint32_t uiCmCnt;                 /* line 3: module rows */
    CliRvzCmUsage rows[IP_RVZ_USAGE_ROWS]; /* from line 4 */
    uint32_t uiSessCnt;               /* line after the last row: sessions */
    uint8_t  ucaReserved[4];          /* always 0 */
} CliRvzBufferUsage;

/* One controller module of a disk buffer; sizes are 64-bit halves. */
typedef struct CliRvzDiskCm {
    uint32_t uiCmID;                  /* col 0: controller-module number */
    uint32_t uiDskBuffSize_high;      /* col 1 */
    uint32_t uiDskBuffSize_low;
    uint32_t uiDskBuffStrgSize_high;  /* col 2 */
    uint32_t uiDskBuffStrgSize_low;
    uint32_t uiDskBuffFreeSize_high;  /* col 3 */
    uint32_t uiDskBuffFreeSize_low;
} CliRvzDiskCm;

typedef struct CliRvzDiskBufferEntry {
    uint32_t uiGroupNum;              /* entry line col 0: buffer group number */
    uint32_t uiStatus;                /* entry line col 1: disk-buffer status */
    uint32_t uiRluCnt;                /* next line: RLU numbers that follow */
    uint32_t uiaRlun[IP_RVZ_DISK_RLUS]; /* one line each */
    uint32_t uiDetail0;               /* detail line col 0 */
    uint32_t uiElapsTime;             /* detail line col 1 */
    uint32_t uiDskBuffSize_high;      /* detail line col 2 */
    uint32_t uiDskBuffSize_low;
    uint32_t uiDskBuffStrgSize_high;  /* detail line col 3 */
    uint32_t uiDskBuffStrgSize_low;
    uint32_t uiDskBuffFreeSize_high;  /* detail line col 4 */
    uint32_t uiDskBuffFreeSize_low;
    uint32_t uiCmCnt;                 /* next line: module rows that follow */
    CliRvzDiskCm cms[IP_RVZ_DISK_MODULES]; /* one line each */
} CliRvzDiskBufferEntry;

typedef struct CliRvzDiskBuffer {
    uint32_t uiFirstValue;            /* line 2 */
    uint32_t uiEntryCnt;              /* line 3: entries that follow */
    CliRvzDiskBufferEntry entries[IP_RVZ_DISK_ENTRIES];
} CliRvzDiskBuffer;

/* ---- queries (ipshow_array.cpp) ---------------------------------------------- */

/* The array's 40-byte BoxID (not terminated) into boxId (room BoxIDs). */
int ShowBoxid(const char *ip, const char *user, char *boxId, size_t room);
/* Writes the bytes the reply fills (masks, numbers); the others keep what
 * the caller passed. */
int ShowCopyFunctions(const char *ip, const char *user, CliCopyFunctions *functions,
                      size_t room);
/* The whole model record. Never cached. */
int ShowModelInfo(const char *ip, const char *user, CliModelInfo *model, size_t room);

/* ---- RVZ buffer queries (ipshow_rvz.cpp) -------------------------------------- */

/* The buffer list: the head and uiRowCnt rows are written. room is the rows
 * that list holds; the rows read are at most room and at most 8. */
int ShowRvzBuffer(const char *ip, const char *user, CliRvzBufferList *list, size_t room);
/* The usage of one buffer; option is only traced. */
int ShowRvzBufferUsage(const char *ip, const char *user, int groupNum, int option,
                       CliRvzBufferUsage *usage, size_t room);
/* The disk buffers of every buffer. */
int ShowRvzDiskBuffer(const char *ip, const char *user, CliRvzDiskBuffer *disk, size_t room);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(CliCopyFunctions) == 72, "CliCopyFunctions layout");
static_assert(offsetof(CliCopyFunctions, ucaVzFunc) == 8, "CliCopyFunctions layout");
static_assert(offsetof(CliCopyFunctions, ucaRvzFunc) == 24, "CliCopyFunctions layout");
static_assert(offsetof(CliCopyFunctions, uiMaxSession) == 32, "CliCopyFunctions layout");
static_assert(offsetof(CliCopyFunctions, uiRvzBuffFlags) == 44, "CliCopyFunctions layout");
static_assert(offsetof(CliCopyFunctions, uiDetailFlags) == 52, "CliCopyFunctions layout");
static_assert(sizeof(CliModelInfo) == 32, "CliModelInfo layout");
static_assert(offsetof(CliModelInfo, ucaLine4) == 4, "CliModelInfo layout");
static_assert(sizeof(CliRvzBufferRow) == 72, "CliRvzBufferRow layout");
static_assert(offsetof(CliRvzBufferRow, uiColumn3) == 8, "CliRvzBufferRow layout");
static_assert(offsetof(CliRvzBufferRow, uiSize) == 24, "CliRvzBufferRow layout");
static_assert(offsetof(CliRvzBufferRow, caRemoteBoxID) == 32, "CliRvzBufferRow layout");
static_assert(sizeof(CliRvzBufferList) == 16 + 8 * 72, "CliRvzBufferList layout");
static_assert(offsetof(CliRvzBufferList, rows) == 16, "CliRvzBufferList layout");
static_assert(sizeof(CliRvzCmUsage) == 16, "CliRvzCmUsage layout");
static_assert(sizeof(CliRvzBufferUsage) == 536, "CliRvzBufferUsage layout");
static_assert(offsetof(CliRvzBufferUsage, rows) == 16, "CliRvzBufferUsage layout");
static_assert(offsetof(CliRvzBufferUsage, uiSessCnt) == 528, "CliRvzBufferUsage layout");
static_assert(sizeof(CliRvzDiskCm) == 28, "CliRvzDiskCm layout");
static_assert(offsetof(CliRvzDiskBufferEntry, uiaRlun) == 12, "CliRvzDiskBufferEntry layout");
static_assert(offsetof(CliRvzDiskBufferEntry, uiDetail0) == 76, "CliRvzDiskBufferEntry layout");
static_assert(offsetof(CliRvzDiskBufferEntry, uiCmCnt) == 108, "CliRvzDiskBufferEntry layout");
static_assert(offsetof(CliRvzDiskBufferEntry, cms) == 112, "CliRvzDiskBufferEntry layout");
static_assert(sizeof(CliRvzDiskBufferEntry) == 1008, "CliRvzDiskBufferEntry layout");
static_assert(sizeof(CliRvzDiskBuffer) == 8072, "CliRvzDiskBuffer layout");

// Pieces shared by the array and RVZ buffer queries.
namespace zrkip {

// A per-process cache keyed by the array address. Entries are used in fill
// order and dropped only by Forget. An address of more than IP_SHOW_CACHE_KEY_MAX
// characters does not fit the key with its terminator and is never cached,
// so two addresses that share a long prefix never share an answer.
template <typename T>
class AddressCache {
public:
    static bool Cacheable(const char *ip) {
        return ip != nullptr && ::strnlen(ip, sizeof(Entry::caKey)) <= IP_SHOW_CACHE_KEY_MAX;
    }
    const T *Find(const char *ip) const {
        if (!Cacheable(ip)) return nullptr;
        for (size_t i = 0; i < uiFill; ++i) {
            if (std::strncmp(aEntries[i].caKey, ip, sizeof(Entry::caKey)) == 0) {
                return &aEntries[i].tValue;
            }
        }
        return nullptr;
    }
    // While nothing is cached the table is cleared before every query.
    void ClearIfEmpty() {
        if (uiFill == 0) std::memset(static_cast<void *>(aEntries), 0, sizeof aEntries);
    }
    void Store(const char *ip, const T &value) {
        if (!Cacheable(ip) || uiFill >= IP_SHOW_CACHE_ENTRIES) return;
        Entry &e = aEntries[uiFill];
        std::memset(e.caKey, 0, sizeof e.caKey);
        std::memcpy(e.caKey, ip, std::strlen(ip));
        e.tValue = value;
        ++uiFill;
    }
    size_t Fill() const { return uiFill; }
    // Drops the entry of ip, if any; the later entries keep their order.
    void Forget(const char *ip) {
        if (!Cacheable(ip)) return;
        for (size_t i = 0; i < uiFill; ++i) {
            if (std::strncmp(aEntries[i].caKey, ip, sizeof(Entry::caKey)) != 0) continue;
            for (size_t k = i + 1; k < uiFill; ++k) aEntries[k - 1] = aEntries[k];
            --uiFill;
            std::memset(static_cast<void *>(&aEntries[uiFill]), 0, sizeof(Entry));
            return;
        }
    }

private:
    struct Entry {
        char caKey[IP_SHOW_CACHE_KEY_MAX + 1];  // the address, terminated
        T tValue;                               // the answer
    };
    Entry aEntries[IP_SHOW_CACHE_ENTRIES];  // filled in order
    size_t uiFill;                          // entries filled
};

// A query whose answer is remembered per address: the cache first; else
// command runs and parse(reply, answer) reads its reply over *answer, which
// is stored once it has been read whole. 0, or -1 with ZRKerrno.
template <typename T, typename Parse>
int CachedQuery(AddressCache<T> &cache, const char *ip, const char *user, const char *command,
                T *answer, Parse parse) {
    if (const T *hit = cache.Find(ip)) {
        *answer = *hit;
        return 0;
    }
    cache.ClearIfEmpty();
    if (RunAndParse(ip, user, command, [&](const Reply &reply) { return parse(reply, answer); }) !=
        0) {
        return -1;
    }
    cache.Store(ip, *answer);
    return 0;
}

// ---- the replies as text ------------------------------------------------------------
//
// Each query parses its reply through these, after its own argument checks and
// its command; they take the reply text as the link hands it over, with the
// same room and outputs as the query, and never look at or fill the
// per-address caches. 0, or -1 with ZRKerrno; on failure the output is
// untouched. NULL output or room 0 (for the buffer list: NULL list) is
// ZRK_ERR_PARAMETER.

int ParseBoxidText(const char *text, char *boxId, size_t room);
int ParseCopyFunctionsText(const char *text, CliCopyFunctions *functions, size_t room);
int ParseModelInfoText(const char *text, CliModelInfo *model, size_t room);
int ParseRvzBufferText(const char *text, CliRvzBufferList *list, size_t room);
int ParseRvzBufferUsageText(const char *text, CliRvzBufferUsage *usage, size_t room);
int ParseRvzDiskBufferText(const char *text, CliRvzDiskBuffer *disk, size_t room);

// ---- the RVZ buffer list after a setting ----------------------------------------------
// Drops the remembered buffer list of the array at ip, so that the next
// "show rvz-buffer" asks the array again.
void ForgetRvzBufferList(const char *ip);

}  // namespace zrkip
#endif

#endif /* ZRK_IPSHOW_ARRAY_H */
