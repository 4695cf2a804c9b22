/*
 * zrklist.h - the array's session lists and the classic session details:
 * the detail list (TRAVO IN page 0x43) read page by page, the session
 * identifier lists of the copy families (pages 0x05, 0x09, 0x15, 0x19), the
 * RVZ buffer list (page 0x21), the classic detail records RVZ_DETAIL_INFO
 * and RKZP_DETAIL_INFO (pages 0x04, 0x08, 0x16, 0x1A or the page-based detail
 * page 0x44), and the search of the session that a classic copy request
 * names.
 *
 * Return convention: 0 done, -1 failed with ZRKerrno set (a failed command
 * leaves the transport's number and the sense in SENSE_DATA);
 * GetSessionDetailInfo also returns -2 for "no such session" without
 * touching ZRKerrno. Counts that the array reports are never taken as sizes:
 * a reply whose counts do not fit what was read, or whose paging does not
 * advance, fails with ZRK_ERR_SCSI.
 */
#ifndef ZRK_ZRKLIST_H
#define ZRK_ZRKLIST_H

#include "zrkapi.h"
#include "zrkengine.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#endif

/* ---- pages and sizes ------------------------------------------------------ */

#define ZRK_PAGE_LOCAL_KZP_DETAIL  0x04 /* local KZP detail, 48 bytes */
#define ZRK_PAGE_LOCAL_KZP_LIST    0x05 /* local KZP identifier list */
#define ZRK_PAGE_LOCAL_VZ_DETAIL   0x08 /* local VZ detail, 48 bytes */
#define ZRK_PAGE_LOCAL_VZ_LIST     0x09 /* local VZ identifier list */
#define ZRK_PAGE_REMOTE_KZP_LIST   0x15 /* remote KZP identifier list */
#define ZRK_PAGE_REMOTE_KZP_DETAIL 0x16 /* remote KZP detail, 160 bytes */
#define ZRK_PAGE_REMOTE_VZ_LIST    0x19 /* RVZ identifier list */
#define ZRK_PAGE_REMOTE_VZ_DETAIL  0x1A /* RVZ detail, 160 bytes */
#define ZRK_PAGE_RVZ_BUFF_LIST     0x21 /* RVZ buffer list */
#define ZRK_PAGE_DETAIL_LIST       0x43 /* detail list, one page */
#define ZRK_PAGE_TVC_DETAIL        0x44 /* page-based detail of one session */

#define ZRK_DETAIL_LIST_HEAD_LEN   16     /* header of a page 0x43 reply */
#define ZRK_DETAIL_LIST_REPLY_LEN  40976  /* page 0x43 reply area */
#define ZRK_SESSION_LIST_HEAD_LEN  16     /* SESSION_ID_LIST header */
#define ZRK_SESSION_LIST_MAX_AREA  0x3F000 /* cap of an identifier list area */
#define ZRK_SHORT_ALLOC_MAX        0xFFFF /* allocation length of a short TRAVO IN */
#define ZRK_LOCAL_DETAIL_LEN       48     /* reply of pages 0x04 and 0x08 */
#define ZRK_REMOTE_DETAIL_LEN      160    /* reply of pages 0x16 and 0x1A */
#define ZRK_TVC_DETAIL_REPLY_LEN   192    /* reply of page 0x44 */
#define ZRK_PAGE_HEAD_LEN          8      /* header of a detail page reply */
#define ZRK_RVZ_BUFF_FIRST_LEN     80     /* first read of page 0x21 */
#define ZRK_RVZ_BUFF_ENTRY_LEN     64     /* one RVZ buffer entry of page 0x21 */

/* The detail-list mode bit that lists every session of the volume. */
#define ZRK_LIST_MODE_ALL 0x80

/* Copy families of QueryDetailfromList and GetTVCSessionIdList. */
#define ZRK_FAMILY_KZP 1
#define ZRK_FAMILY_VZ  2

/* The classic copy request (112 bytes), big-endian except WholeVolumeFlag. */
typedef struct COPY_REQ {
    unsigned char SrcBoxID[ZRK_BOXID_LEN]; /* source array */
    unsigned char DstBoxID[ZRK_BOXID_LEN]; /* destination array */
    unsigned char SrcOlu[2];           /* source OLU, low 16 bits (or a session id) */
    unsigned char DstOlu[2];           /* destination OLU, low 16 bits */
    uint32_t WholeVolumeFlag;          /* host order: 1 no extent and no size */
    unsigned char SrcExtent[4];        /* source start block */
    unsigned char DstExtent[4];        /* destination start block */
    unsigned char SrcSize[4];          /* size in blocks */
    unsigned char CopyInterval[2];     /* copy interval, low 16 bits */
    unsigned char RemoteFlag;          /* 1 the BoxIDs differ */
    unsigned char ucVolumeRole;        /* 1 in every request of the API */
    unsigned char ucaReserved104[2];   /* 0 */
    unsigned char ucaDstOluFull[4];    /* destination OLU, 32 bits */
    unsigned char ucaReserved110[2];   /* 0 */
} COPY_REQ;
#ifdef __cplusplus
static_assert(sizeof(COPY_REQ) == 112, "COPY_REQ layout");
static_assert(offsetof(COPY_REQ, SrcOlu) == 80, "COPY_REQ layout");
static_assert(offsetof(COPY_REQ, WholeVolumeFlag) == 84, "COPY_REQ layout");
static_assert(offsetof(COPY_REQ, SrcSize) == 96, "COPY_REQ layout");
static_assert(offsetof(COPY_REQ, RemoteFlag) == 102, "COPY_REQ layout");
static_assert(offsetof(COPY_REQ, ucaDstOluFull) == 106, "COPY_REQ layout");
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ---- session lists -------------------------------------------------------- */

/* Every session of the volume's detail list, page after page, into area,
 * which holds capacity entries; *count receives the total on success. mode 0
 * for searches and queries, ZRK_LIST_MODE_ALL for the callers that list every
 * session. A list that would not fit the area fails (the pages appended
 * before stay). */
int GetDetailList(const char *volume, unsigned char mode, int *count,
                  DETAIL_LIST_INFO *area, int capacity);
/* One page of the detail list from session startId: its entries into area
 * (room for ZRK_DETAIL_PAGE_ENTRIES), their number and the identifier at
 * which the next page starts (0 after the last page). */
int GetDetailList_sub(const char *volume, unsigned char mode, unsigned int startId,
                      int *count, unsigned int *nextId, DETAIL_LIST_INFO *area);
/* The first of count entries that belongs to family (ZRK_FAMILY_VZ: copy kind
 * 2; ZRK_FAMILY_KZP: any other kind; other values: every entry) and matches
 * the request; ZRK_ERR_NO_SESSION when none does. Sends nothing. */
int QueryDetailfromList(int count, const DETAIL_LIST_INFO *list, int family,
                        DETAIL_LIST_INFO *entry, COPY_REQ request);
/* The identifier list of page 0x15 or 0x19 (the local page when the
 * remote-support byte lacks the family's bit), widened to 16-byte entries and
 * cut to the entries of volumeRole. *list is allocated (the caller frees it)
 * and *count receives the entries kept. */
int GetSessionIdList(const char *volume, unsigned char page, unsigned char remoteSupport,
                     unsigned char volumeRole, unsigned char **list, int *count);
/* An identifier list of family (ZRK_FAMILY_KZP or ZRK_FAMILY_VZ) built from
 * the detail list; the caller frees *list. */
int GetTVCSessionIdList(const char *volume, int family, unsigned char **list);
/* The page 0x21 reply (RVZ buffer list), allocated; the caller frees it.
 * length, when not null, receives its size in bytes. */
int GetRVZBuffInfo(const char *volume, unsigned char **reply, int *length);

/* ---- classic session details and the session search --------------------- */

/* One session's classic detail (152 bytes into detail) by its identifier (2
 * bytes as the list holds it) from page 0x04, 0x08, 0x16 or 0x1A (or the
 * page-based detail first, when the array offers it): 0, -1, or -2 when the
 * array has no session of that identifier for volumeRole. */
int GetSessionDetailInfo(const char *volume, const unsigned char *sessionId,
                         unsigned char page, unsigned char remoteSupport,
                         unsigned char volumeRole, RVZ_DETAIL_INFO *detail);
/* The VZ-family session of a classic request: its identifier (2 bytes) and
 * classic detail; ZRK_ERR_NO_SESSION when there is none. */
int SearchVzSession(const char *volume, const COPY_REQ *request, unsigned char remoteSupport,
                    unsigned char *sessionId, RVZ_DETAIL_INFO *detail);
/* The same for the KZP family. */
int SearchKzpSession(const char *volume, const COPY_REQ *request, unsigned char remoteSupport,
                     unsigned char *sessionId, RKZP_DETAIL_INFO *detail);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrk {

/* ---- allocations, the failure line, the copy-support record --------------- */

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
/* A malloc'ed area: what the list functions hand to a caller who frees it. */
using Buffer = std::unique_ptr<unsigned char[], FreeDeleter>;
using Entries = std::unique_ptr<DETAIL_LIST_INFO[]>;
/* An allocation failed with the system's err: "malloc() : %s" logged and
 * ZRKerrno ZRK_ERR_NO_MEMORY. */
void NoMemory(int err);
/* A zeroed area, or null with ZRKerrno ZRK_ERR_NO_MEMORY and "malloc() : %s"
 * logged. */
Buffer AllocateZeroed(size_t size);
/* A zeroed area of count detail-list entries, or null with ZRKerrno
 * ZRK_ERR_NO_MEMORY. */
Entries AllocateDetailEntries(size_t count);

/* An area of plain records (T is a C record) that grows as records are
 * appended, so that it is sized by what arrives rather than by a count
 * guessed before. */
template <class T> class GrowingArea {
public:
    int Count() const { return iCount; }
    const T *Data() const { return pArea.get(); }
    const T &operator[](int i) const { return pArea.get()[i]; }
    void Clear() { iCount = 0; }
    /* Appends count records; false with ZRKerrno ZRK_ERR_NO_MEMORY when the
     * area cannot grow (what it held stays). */
    bool Append(const T *records, int count) {
        if (count <= 0) return true;
        if (count > iRoom - iCount) {
            const size_t limit = static_cast<size_t>(INT32_MAX) / sizeof(T);
            const size_t wanted = static_cast<size_t>(iCount) + static_cast<size_t>(count);
            if (wanted > limit) {
                NoMemory(ENOMEM);
                return false;
            }
            const size_t room =
                std::min(std::max({static_cast<size_t>(iRoom) * 2, wanted, size_t{16}}), limit);
            void *grown = std::realloc(pArea.get(), room * sizeof(T));
            if (grown == nullptr) {
                NoMemory(ENOMEM);
                return false;
            }
            (void)pArea.release(); // now owned as grown
            pArea.reset(static_cast<T *>(grown));
            iRoom = static_cast<int>(room);
        }
        std::memcpy(pArea.get() + iCount, records, static_cast<size_t>(count) * sizeof(T));
        iCount += count;
        return true;
    }

private:
    std::unique_ptr<T, FreeDeleter> pArea; /* iRoom records, iCount of them set */
    int iCount = 0;
    int iRoom = 0;
};

/* A step of the engine fails with code: ZRKerrno = code, then "NAME Err end
 * [volume] [line]" at level; -1. */
inline int FailEnd(int code, int level, const char *name, const char *volume, int line) {
    FailWith(code);
    return LogErr(level, name, volume, line);
}
/* -2 of the detail readers: "NAME No Such Session [volume] [line]" at level
 * 1; ZRKerrno stays. */
int NoSuchSession(const char *name, const char *volume, int line);

/* Two 40-byte BoxIDs are the same. */
inline bool SameBoxId(const void *a, const void *b) {
    return std::memcmp(a, b, ZRK_BOXID_LEN) == 0;
}

/* A copy-support record (SUPPORT_DATA), tested by the names of zrksupport.h. */
struct CopySupport {
    unsigned char ucaData[ZRK_SUPPORT_DATA_LEN]; /* the record */

    /* The current array's record, as the common check left it in the store. */
    CopySupport();
    /* A record read just now. */
    explicit CopySupport(const unsigned char *data) { std::memcpy(ucaData, data, sizeof ucaData); }

    bool Has(size_t byte, unsigned bit) const { return zrk_support_has(ucaData, byte, bit) != 0; }
    bool AnyHas(std::initializer_list<size_t> bytes, unsigned bit) const {
        for (size_t byte : bytes)
            if (Has(byte, bit)) return true;
        return false;
    }
    /* A bit of the flag byte of some copy group. */
    bool AnyGroupHas(unsigned bit) const {
        return AnyHas({ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_REMOTE_KZP, ZRK_SUPPORT_FLAGS_VZ,
                       ZRK_SUPPORT_FLAGS_RVZ},
                      bit);
    }
    /* Some copy group is set up. */
    bool AnyGroup() const { return AnyGroupHas(ZRK_SUPPORT_KIND); }
    /* Some copy group keeps a detail list. */
    bool DetailList() const { return AnyGroupHas(ZRK_SUPPORT_DETAIL_LIST); }
    /* Sessions of virtual volumes in some group. */
    bool VirtualVolumes() const { return zrk_support_vvol(ucaData) != 0; }
};

/* ---- walking the detail list --------------------------------------------------- */

/* ZRKOptionFlag for the list reads of a scope (its selection bits go into the
 * page 0x43 CDB); the caller's word is back when the scope ends. */
class OptionFlagScope {
public:
    explicit OptionFlagScope(uint32_t option) : uiSaved(ZRKOptionFlag) { ZRKOptionFlag = option; }
    ~OptionFlagScope() { ZRKOptionFlag = uiSaved; }
    OptionFlagScope(const OptionFlagScope &) = delete;
    OptionFlagScope &operator=(const OptionFlagScope &) = delete;
private:
    uint32_t uiSaved; /* the caller's option word */
};

/* What a walk over the detail-list pages does after one page. */
enum class PageStep { Next, Stop, Fail };
/* Reads the detail list page after page with mode into page (room for
 * ZRK_DETAIL_PAGE_ENTRIES) and hands each page's entry count to step, which
 * returns Fail with ZRKerrno set. 1 stopped by step, 0 after the last page,
 * -1 when a read or step failed or the next identifier did not advance
 * (ZRK_ERR_SCSI, "NAME NextSessionID %u does not advance from %u [volume]
 * [line]" at level 16). */
int WalkDetailPages(const char *name, const char *volume, unsigned char mode,
                    DETAIL_LIST_INFO *page, const std::function<PageStep(int count)> &step);

/* ---- the whole detail list ------------------------------------------------------ */

/* The most sessions one detail list can name: one for every 16-bit
 * identifier. */
constexpr int kDetailListMax = 0xFFFF;

/* Every session of a volume's detail list, of every copy family. */
using DetailList = GrowingArea<DETAIL_LIST_INFO>;

/* Reads the volume's detail list with mode (as GetDetailList: the same
 * checks, one page 0x43 command per page the array sends) into list, which
 * grows with the pages: no maximum session count of a family is read or
 * trusted to size it. A list of more than kDetailListMax sessions fails
 * with ZRK_ERR_SCSI. */
int ReadDetailList(const char *volume, unsigned char mode, DetailList &list);

/* ZRKGetDetailList into the caller's List of room entries: the list is never
 * written beyond room, nor beyond the array's maximum session count; a list
 * longer than the smaller fails (ZRK_ERR_SCSI) as GetDetailList does. The
 * public function passes SIZE_MAX (its caller sized the area by the array's
 * maximum). */
int DetailListWithin(const char *LogicalVol, uint32_t OptionFlag, uint32_t *Count,
                     DETAIL_LIST_INFO *List, size_t room, unsigned char *SenseData);

/* ---- big-endian fields, through the byte-order helpers --------------------- */

inline uint16_t Be16(const unsigned char *p) { return static_cast<uint16_t>(ShiftBtoI(p, 2)); }
inline uint32_t Be32(const unsigned char *p) { return ShiftBtoI(p, 4); }
inline uint64_t Be64(const unsigned char *p) {
    return static_cast<uint64_t>(ShiftBtoI(p, 4)) << 32 | ShiftBtoI(p + 4, 4);
}
inline void PutBe16(unsigned char *p, uint16_t v) { ShiftAnytoB(&v, 2, 2, p); }
inline void PutBe32(unsigned char *p, uint32_t v) { ShiftAnytoB(&v, 4, 4, p); }
inline void PutBe64(unsigned char *p, uint64_t v) { ShiftAnytoB(&v, 8, 8, p); }

/* ---- the two directions of a record's field list -------------------------------
 * Each wire record has one list of its fields, a template walked with Decoding
 * (wire to host) or Encoding (host to wire): the decode and the encode
 * procedure of a record are one list read both ways. Big-endian wire fields
 * pair with host numbers (Be), the rest with fields of the same type (Copy). */

struct Decoding {
    template <class T> static void Copy(const T &wire, T &host) {
        std::memcpy(&host, &wire, sizeof host);
    }
    static void Be(const unsigned char *wire, uint16_t &host) { host = Be16(wire); }
    static void Be(const unsigned char *wire, uint32_t &host) { host = Be32(wire); }
    static void Be(const unsigned char *wire, uint64_t &host) { host = Be64(wire); }
};
struct Encoding {
    template <class T> static void Copy(T &wire, const T &host) {
        std::memcpy(&wire, &host, sizeof wire);
    }
    static void Be(unsigned char *wire, uint16_t host) { PutBe16(wire, host); }
    static void Be(unsigned char *wire, uint32_t host) { PutBe32(wire, host); }
    static void Be(unsigned char *wire, uint64_t host) { PutBe64(wire, host); }
};
/* A record's host values by its field list Map (a struct whose template
 * Walk<Way>(wire, host) names every field once), and its wire bytes. */
template <class Map, class Host, class Wire> Host DecodeWith(const Wire &in) {
    Host out{};
    Map::template Walk<Decoding>(in, out);
    return out;
}
template <class Map, class Wire, class Host> Wire EncodeWith(const Host &in) {
    Wire out{};
    Map::template Walk<Encoding>(out, in);
    return out;
}

/* ---- DETAIL_LIST_INFO ------------------------------------------------------ */

struct DetailEntry {
    uint16_t uhSessionId;        /* session identifier */
    uint16_t uhPartnerId;        /* partner session identifier */
    uint8_t  ucCopyKind;         /* 1 KZP family, 2 VZ family, 3 monitor */
    uint8_t  ucSessionFlags;     /* ZRK_SESFLAG_... */
    uint8_t  ucModeFlags;        /* ZRK_MODEFLAG_... */
    uint8_t  ucTransferMode;     /* 2 stack, 3 consistency */
    uint8_t  ucPhase;            /* phase code */
    uint8_t  ucStatus;           /* status code */
    uint8_t  ucModeChange;       /* mode-change state */
    uint8_t  ucState11;          /* state byte */
    uint32_t uiLapseTime;        /* header bytes 12-15 */
    uint8_t  ucaSrcBoxID[ZRK_BOXID_LEN]; /* source array */
    uint8_t  ucaDstBoxID[ZRK_BOXID_LEN]; /* destination array */
    uint32_t uiSrcOlu;           /* source OLU */
    uint32_t uiDstOlu;           /* destination OLU */
    uint16_t uhExtentCnt;        /* extent count */
    uint8_t  ucState106;         /* state byte */
    uint8_t  ucState107;         /* state byte */
    uint64_t ullCopiedBlock;     /* copied blocks */
    uint64_t ullSrcExtent;       /* source start block */
    uint64_t ullSrcSize;         /* size in blocks */
    uint64_t ullDstExtent;       /* destination start block */
    uint8_t  ucaState140[7];     /* state bytes 140-146 */
    uint8_t  ucReserved147;      /* reserved */
    uint32_t uiValue148;         /* value */
    uint8_t  ucaStartTime[8];    /* start time, BCD */

    /* The identifier by which the addressed array knows the session. */
    uint16_t IdInUse() const {
        return (ucModeFlags & ZRK_MODEFLAG_DEST_SIDE) != 0 ? uhPartnerId : uhSessionId;
    }
    uint8_t RemoteBit() const { return (ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0 ? 1 : 0; }
};
DetailEntry DecodeDetailEntry(const DETAIL_LIST_INFO &in);
DETAIL_LIST_INFO EncodeDetailEntry(const DetailEntry &in);

/* ---- COPY_REQ ---------------------------------------------------------------- */

struct CopyReq {
    uint8_t  ucaSrcBoxID[ZRK_BOXID_LEN]; /* source array */
    uint8_t  ucaDstBoxID[ZRK_BOXID_LEN]; /* destination array */
    uint16_t uhSrcOlu;           /* source OLU (or session id) */
    uint16_t uhDstOlu;           /* destination OLU, low 16 bits */
    uint32_t uiWholeVolumeFlag;  /* 1 whole volume */
    uint32_t uiSrcExtent;        /* source start block */
    uint32_t uiDstExtent;        /* destination start block */
    uint32_t uiSrcSize;          /* size in blocks */
    uint16_t uhCopyInterval;     /* copy interval */
    uint8_t  ucRemoteFlag;       /* 1 remote */
    uint8_t  ucVolumeRole;       /* role byte */
    uint8_t  ucaReserved104[2];  /* reserved */
    uint32_t uiDstOluFull;       /* destination OLU, 32 bits */
    uint8_t  ucaReserved110[2];  /* reserved */
};
CopyReq DecodeCopyReq(const COPY_REQ &in);
COPY_REQ EncodeCopyReq(const CopyReq &in);

/* ---- SESSION_ID_ENTRY ------------------------------------------------------- */

struct SessionIdEntry {
    uint16_t uhSessionId;        /* session identifier */
    uint8_t  ucFlags;            /* 0x80 whole, 0x20 remote, 0x10 dest side, 0x07 modes */
    uint8_t  ucVolumeRole;       /* role of the addressed volume */
    uint8_t  ucStatus;           /* status */
    uint8_t  ucPhase;            /* phase */
    uint8_t  ucaReserved6[2];    /* reserved */
    uint32_t uiSrcOlu;           /* source OLU */
    uint32_t uiDstOlu;           /* destination OLU */
};
SessionIdEntry DecodeSessionIdEntry(const SESSION_ID_ENTRY &in);
SESSION_ID_ENTRY EncodeSessionIdEntry(const SessionIdEntry &in);
/* One 8-byte entry of the local pages 0x05 and 0x09, widened. */
SessionIdEntry WidenLocalSessionEntry(const unsigned char *entry8);
/* The identifier-list entry of a detail-list entry. */
SessionIdEntry SessionIdFromDetail(const DetailEntry &entry);

/* A detail-list entry is the session a classic request names: side, OLUs
 * (the source by its low 16 bits), the low halves of extents and size, and
 * for a remote request both arrays. The family is the caller's test. */
bool IsClassicRequest(const DetailEntry &entry, const CopyReq &request);
/* The identifier-list page of the VZ or the KZP family: the remote page when
 * the array has the family's remote group set up. */
unsigned char FamilyListPage(const CopySupport &support, bool vz);

/* ---- classic detail records --------------------------------------------------- */

/* The QuickKZP bit of the KZP mode byte (byte 5 of RKZP_DETAIL_INFO). */
constexpr uint8_t kModeQuick = 0x20;

struct ClassicDetail {
    uint16_t uhSessionId;        /* session identifier */
    uint16_t uhPartnerId;        /* partner session identifier */
    uint8_t  ucFlags;            /* 0x80 whole, 0x20 remote, 0x10 dest side, 0x07 modes */
    uint8_t  ucPhaseMode;        /* VZ phase; KZP mode byte */
    uint8_t  ucStatus;           /* status */
    uint8_t  ucState7;           /* state byte */
    uint8_t  ucaFamily8[4];      /* VZ: transfer mode, mode change; KZP: elapsed time */
    uint32_t uiCopiedBlock;      /* copied blocks, low 32 bits */
    uint8_t  ucVolumeRole;       /* role */
    uint8_t  ucaReserved17[7];   /* reserved */
    uint8_t  ucaSrcBoxID[ZRK_BOXID_LEN]; /* source array */
    uint8_t  ucaReserved64[8];   /* reserved */
    uint8_t  ucaDstBoxID[ZRK_BOXID_LEN]; /* destination array */
    uint8_t  ucaReserved112[8];  /* reserved */
    uint32_t uiSrcOlu;           /* source OLU */
    uint32_t uiDstOlu;           /* destination OLU */
    uint16_t uhExtentCnt;        /* extent count */
    uint8_t  ucaFamily130[2];    /* VZ: list bytes 14-15 */
    uint8_t  ucaReserved132[4];  /* reserved */
    uint32_t uiSrcExtent;        /* source start block */
    uint32_t uiSrcSize;          /* size */
    uint32_t uiDstExtent;        /* destination start block */
    uint8_t  ucaReserved148[4];  /* reserved */
};
ClassicDetail DecodeClassicDetail(const RVZ_DETAIL_INFO &in);
RVZ_DETAIL_INFO EncodeClassicDetail(const ClassicDetail &in);

/* The classic records of a detail-list entry, VZ and KZP form. */
ClassicDetail VzDetailFromList(const DetailEntry &entry);
ClassicDetail KzpDetailFromList(const DetailEntry &entry);
/* The classic record of a local detail page (the 40 bytes after the page's
 * 8-byte header): vz true for page 0x08, false for 0x04. */
ClassicDetail WidenLocalDetail(const unsigned char *record40, bool vz);
/* The KZP form of a page-based detail (a monitor or SnapKZP session). */
struct TvcDetail;
ClassicDetail KzpDetailFromTvc(const TvcDetail &detail);

} // namespace zrk
#endif

#endif /* ZRK_ZRKLIST_H */
