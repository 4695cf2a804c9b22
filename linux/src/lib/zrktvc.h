/*
 * zrktvc.h - the session operations and queries of the page-based engine:
 * start, stop, suspend, resume, change and query of one session of the KZP
 * or VZ family, the QuickKZP and SnapKZP starts and stops, the search of the
 * session that a large-volume copy request names, the SnapKZP+ generations
 * of a volume, the snap data pool information, a volume's block size, and
 * the concurrent suspend of many VZ sessions with one command.
 *
 * The large-volume API calls these after its common check has filled the
 * support data and the common data (zrklvmain.h). Every operation sends its
 * commands to the volume path it is given.
 *
 * Return convention: 0 done, -1 failed with ZRKerrno set (a failed command
 * leaves the transport's number and its sense in SENSE_DATA). Engine kinds
 * are ZRK_ENGINE_... of zrklvmain.h; 2-byte identifiers and OLUs handed in
 * as byte pointers are big-endian.
 */
#ifndef ZRK_ZRKTVC_H
#define ZRK_ZRKTVC_H

#include "zrkcmd.h"
#include "zrklvmain.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <cstring>
#endif

/* Pages read here. */
#define ZRK_PAGE_RESERVE_ID     0x00 /* TRAVO IN, mode 2 or 4: reserve an identifier */
#define ZRK_RESERVE_VZ          2    /* TRAVO IN mode: reserve a VZ identifier */
#define ZRK_RESERVE_KZP         4    /* TRAVO IN mode: reserve a KZP identifier */
#define ZRK_PAGE_POOL_INFO      0x32 /* snap data pool */
#define ZRK_PAGE_PER_COMMAND    0x40 /* sessions one command takes */
#define ZRK_PAGE_POOL_SIZE      0x46 /* pool size of a SnapKZP+ session */
#define ZRK_PAGE_CONC_SUSPEND   0x50 /* TRAVO OUT: concurrent suspend */

#define ZRK_POOL_INFO_LEN       64   /* PoolInfo, PoolSizeInfo and their replies */
#define ZRK_GENERATION_HEAD_LEN 32   /* head of the generation page and of a block */
#define ZRK_SNAP_LIST_HEAD_LEN  16   /* head of SnapDetailList */
#define ZRK_SNAP_LIST_SLOT_LEN  256  /* one generation of SnapDetailList */
#define ZRK_SNAP_INFO_LEN       6    /* bytes of SnapDetailInfo written */
#define ZRK_CONC_SUS_HEAD_LEN   16   /* head of the concurrent-suspend page */

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* Identifier of the session that the last start created. */
extern int ZRKsessionid;

/* ---- session operations (zrktvc.cpp) --------------------------------------
 * Each has the form TvcSessionOperation. volume: the path the commands go
 * to; engineKind: ZRK_ENGINE_KZP, _VZ or _SNAPKZPP (the SnapKZP start and stop:
 * ZRK_ENGINE_KZP for SnapKZP, ZRK_ENGINE_SNAPKZPP for SnapKZP+); optionFlag:
 * the caller's option word (checked by the API against its mask); request:
 * the copy request, or with ZRK_OPT_SESSION_ID the session identifier in
 * bytes 82-83. The starts set ZRKsessionid. A refused start is rolled back
 * with a stop page for the reserved identifier; the start's ZRKerrno and
 * sense are what the caller sees. */
typedef int TvcSessionOperation(const char *volume, unsigned char engineKind,
                                unsigned int optionFlag, const COPY_REQ_LV *request);
TvcSessionOperation StartTvc;
TvcSessionOperation StopTvc;
TvcSessionOperation SuspendTvc;
TvcSessionOperation ResumeTvc;
TvcSessionOperation ChangeTvc;
TvcSessionOperation StartQuickTvc;
TvcSessionOperation StopQuickTvc;
TvcSessionOperation StartSnapTvc;
TvcSessionOperation StopSnapTvc;

/* The detail of the request's session; engineKind ZRK_ENGINE_ANY for any. */
int QueryTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
             const COPY_REQ_LV *request, TVC_DETAIL_INFO *detail);

/* The session a request names: its identifier as the addressed array knows
 * it (2 bytes) and its detail. listMode: ZRK_LIST_MODE_ALL from the
 * operations that change a session, 0 from the queries. ZRK_ERR_NO_SESSION
 * when none. */
int SearchTvcSession(const char *volume, unsigned char engineKind, const COPY_REQ_LV *request,
                     unsigned char listMode, unsigned char *sessionId, TVC_DETAIL_INFO *detail);
/* The identifiers of the session-id list entries that match the request,
 * one 4-byte slot each (identifier in the first two), at most capacity
 * slots; *count receives the slots written. */
int ExtractSessionID(const char *volume, unsigned char engineKind, const COPY_REQ_LV *request,
                     int *count, unsigned char *list, int capacity);
/* The request's arrays against the array of the volume (the common data):
 * ZRK_ERR_BOXID for a remote, ZRK_ERR_DIFFERENT_ZRK for a local mismatch.
 * ownBoxId (40 bytes) may be null. */
int CheckBoxIDForLV(const char *volume, const COPY_REQ_LV *request, unsigned char *ownBoxId);
/* The support checks of a VZ change; remote 0 or 1. */
int ChangeVzSupportCheck(unsigned int optionFlag, int remote);

/* ---- queries, generations, pools, concurrent suspend (zrktvcquery.cpp) ---- */

/* The first of count detail-list entries of engineKind (ZRK_ENGINE_ANY, _KZP,
 * _VZ) that matches the request, as a detail; ZRK_ERR_NO_SESSION when none.
 * Sends nothing. */
int QueryDetailfromListForLV(int count, const DETAIL_LIST_INFO *list, unsigned char engineKind,
                             const COPY_REQ_LV *request, TVC_DETAIL_INFO *detail);

/* The SnapKZP+ generations of the request's source extent into
 * snapDetailList: count in bytes 0-1, then one 256-byte slot per generation
 * from byte 16. The area must hold 16 + 256 x the volume's maximum
 * generation count (VOL_INFO ucaMaxGeneration); no more is ever written. */
int GetGenerationList(const char *volume, unsigned int optionFlag, const COPY_REQ_LV *request,
                      unsigned char *snapDetailList);
/* The generation of the request's SnapKZP+ session (by pair, or with
 * ZRK_OPT_SESSION_ID by identifier): count, number from 1 and identifier, 2 bytes each,
 * into the first ZRK_SNAP_INFO_LEN bytes of snapDetailInfo. */
int GetGenerationInfo(const char *volume, unsigned int optionFlag, const COPY_REQ_LV *request,
                      unsigned char *snapDetailInfo);
/* The extent block of the request's source extent from the generation page
 * of its OLU; block must hold 32 + 2 x maxGeneration bytes (blockCount and
 * maxGeneration: 2 bytes each). ZRK_ERR_NO_SESSION when no block matches. */
int GetGenerationMultiSes(const char *volume, const COPY_REQ_LV *request,
                          const unsigned char *blockCount, const unsigned char *maxGeneration,
                          unsigned char *block);
/* The generation page of olu (2 bytes), length bytes into reply. */
int GetGeneration(const char *volume, const unsigned char *olu, unsigned int length,
                  unsigned char *reply);
/* The array's snap data pool information and the pool size of one SnapKZP+
 * session (identifier: 2 bytes), ZRK_POOL_INFO_LEN bytes each. */
int GetPoolInfo(const char *volume, unsigned int optionFlag, unsigned char *poolInfo);
int GetPoolSizeInfo(const char *volume, const unsigned char *sessionId,
                    unsigned char *poolSizeInfo);
/* The volume's capacity in blocks (two halves) and its block length. */
int GetBlockSize(const char *volume, uint32_t *capacityHigh, uint32_t *capacityLow,
                 uint32_t *blockLength);

/* Suspends count Active and Equivalent VZ sessions between one pair of
 * arrays with one command. results: count 4-byte slots; a matched pair's
 * slot holds the identifier (big-endian) in its first two bytes and 0xFF in
 * the other two, an unmatched one stays all 0xFF. */
int MultiSuspendVzForLV(const char *volume, unsigned int optionFlag, int count,
                        const CONC_SUS_PAIR_LV *pairs, uint32_t *results);
/* Fill the result slots and the page's session slots (page: the
 * concurrent-suspend page, its slot area from byte 16 holding count slots)
 * from the detail list or from the session-id list. remote and role 0 or 1. */
int MakeConcSusFromDetailList(const char *volume, int remote, int role, int count,
                              const CONC_SUS_PAIR_LV *pairs, uint32_t *results,
                              unsigned char *page);
int MakeConcSusFromSessionList(const char *volume, int remote, int role, int count,
                               const CONC_SUS_PAIR_LV *pairs, uint32_t *results,
                               unsigned char *page);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

/* The pair fields the concurrent suspend reads, beside the layout the public
 * header pins. */
static_assert(offsetof(CONC_SUS_PAIR_LV, SrcOlu) == 40, "CONC_SUS_PAIR_LV layout");
static_assert(offsetof(CONC_SUS_PAIR_LV, DstOlu) == 100, "CONC_SUS_PAIR_LV layout");

namespace zrk {

/* A BoxID as a terminated text for the log. */
struct BoxText {
    char caText[ZRK_BOXID_LEN + 1]; /* the 40 bytes and a terminator */
    explicit BoxText(const void *box) {
        std::memcpy(caText, box, ZRK_BOXID_LEN);
        caText[ZRK_BOXID_LEN] = '\0';
    }
};

/* MaxSes of the common data. */
inline int CommonMaxSes() {
    unsigned char maxSes[2] = {};
    CtrlCommonData(maxSes, ZRK_COMMON_GET_MAXSES);
    return Be16(maxSes);
}

/* The stored sense is key/ASC/ASCQ. */
bool StoredSenseIs(int key, int asc, int ascq);

/* The failure of a command as the caller must see it: the sense store and
 * ZRKerrno, kept across the commands whose own outcome does not count (a
 * roll-back, a look at the session that refused). */
class KeptFailure {
public:
    KeptFailure() : iErrno(ZRKerrno) { CtrlSenseData(ucaSense, ZRK_SENSE_LEN, ZRK_SENSE_COPY_OUT); }
    void Restore() const {
        CtrlSenseData(const_cast<unsigned char *>(ucaSense), ZRK_SENSE_LEN, ZRK_SENSE_STORE);
        ZRKerrno = iErrno;
    }
    bool SenseIs(int key, int asc, int ascq) const {
        const SenseRecord r = NormaliseSense(ucaSense, sizeof ucaSense);
        return r.ucKey == key && r.ucAsc == asc && r.ucAscq == ascq;
    }
    int Errno() const { return iErrno; }
    void SetErrno(int value) { iErrno = value; }

private:
    unsigned char ucaSense[ZRK_SENSE_LEN]; /* the failing command's sense */
    int iErrno;                            /* its ZRKerrno */
};

/* GetGenerationList into a list of room slots: more generations than room
 * fail (ZRK_ERR_SCSI) before a slot is written. GetGenerationList passes
 * SIZE_MAX (its caller sized the area by the page's maximum). */
int ReadGenerationList(const char *volume, const COPY_REQ_LV *request,
                       unsigned char *snapDetailList, size_t room);

/* ZRKLVGeneraListSnapKZP_p into a SnapDetailList of room slots. */
int GenerationListWithin(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                         uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                         uint32_t SrcSize_low, uint32_t OptionFlag, unsigned char *SnapDetailList,
                         size_t room, unsigned char *SenseData);

/* Reserves a session identifier (2 bytes into id) of the VZ family (mode
 * ZRK_RESERVE_VZ) or the KZP family (mode ZRK_RESERVE_KZP). */
int ReserveSessionId(const char *volume, unsigned char mode, unsigned char *id);


/* A session record (TVC_DETAIL_INFO or DETAIL_LIST_INFO) is of the family
 * that engineKind asks for (ZRK_ENGINE_VZ: copy kind 2; ZRK_ENGINE_KZP: any
 * other; else any) and on the request's side, with its OLUs, extents and
 * size. The arrays are the caller's test. */
template <class Record>
bool SameCopy(const Record &record, unsigned char engineKind, const COPY_REQ_LV &request) {
    if (engineKind == ZRK_ENGINE_VZ && record.ucCopyKind != 2) return false;
    if (engineKind == ZRK_ENGINE_KZP && record.ucCopyKind == 2) return false;
    if (((record.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0 ? 1 : 0) != request.RemoteFlag)
        return false;
    return std::memcmp(record.SrcOlu, request.SrcOlu, 4) == 0 &&
           std::memcmp(record.DstOlu, request.DstOlu, 4) == 0 &&
           std::memcmp(record.SrcExtent_high, request.SrcExtent_high, 4) == 0 &&
           std::memcmp(record.SrcExtent_low, request.SrcExtent_low, 4) == 0 &&
           std::memcmp(record.DstExtent_high, request.DstExtent_high, 4) == 0 &&
           std::memcmp(record.DstExtent_low, request.DstExtent_low, 4) == 0 &&
           std::memcmp(record.SrcSize_high, request.SrcSize_high, 4) == 0 &&
           std::memcmp(record.SrcSize_low, request.SrcSize_low, 4) == 0;
}

} // namespace zrk
#endif

#endif /* ZRK_ZRKTVC_H */
