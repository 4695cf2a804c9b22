/*
 * zrkclassic.h - the parameter lists of the classic copy operations: the
 * TRAVO OUT lists that start, stop, suspend, resume and change a session, and
 * the fifteen builders that fill them from a classic copy request (COPY_REQ)
 * or from the detail record of an existing session (RVZ_DETAIL_INFO,
 * RKZP_DETAIL_INFO).
 *
 * Three sizes of list: the local list (48 bytes) of a KZP or VZ session
 * inside one array, the remote list (160 bytes) of a session between two
 * arrays, and the extended list, laid out as TVC_EXEC (192 bytes, codes
 * ZRK_TVC_START, ZRK_TVC_STOP, ZRK_TVC_CHANGE), of QuickKZP, SnapKZP, the VZ
 * mode change and the VZ family of the QM arrays. Every multi-byte field is
 * big-endian; a field taken from a request or a detail record keeps the
 * bytes of its source.
 *
 * Every builder clears the whole list first, writes the code it is given and
 * the length of the rest of the list, touches no device and cannot fail. A
 * null list is left alone; a null record that the builder needs leaves the
 * list with its code and length only. Session identifiers are 2 bytes as the
 * array hands them out (null reads as 0); own BoxIDs are 40 bytes (null
 * matches no request).
 */
#ifndef ZRK_ZRKCLASSIC_H
#define ZRK_ZRKCLASSIC_H

#include "zrklist.h"
#include "zrklvmain.h"

#include <stddef.h>
#include <stdint.h>

/* ---- sizes and command codes ---------------------------------------------- */

#define ZRK_PRM_HEAD_LEN   8   /* code, 5 zero bytes, length of the rest */
#define ZRK_PRM_LOCAL_LEN  48  /* local list */
#define ZRK_PRM_REMOTE_LEN 160 /* remote list */
/* The extended list is TVC_EXEC: ZRK_TVC_EXEC_LEN bytes. */

#define ZRK_PRM_KZP_START   0x04 /* local KZP start */
#define ZRK_PRM_KZP_STOP    0x05 /* local KZP stop */
#define ZRK_PRM_VZ_START    0x08 /* local VZ start */
#define ZRK_PRM_VZ_STOP     0x09 /* local VZ stop */
#define ZRK_PRM_VZ_SUSPEND  0x0A /* local VZ suspend */
#define ZRK_PRM_VZ_RESUME   0x0B /* local VZ resume */
#define ZRK_PRM_RKZP_START  0x14 /* remote KZP start */
#define ZRK_PRM_RKZP_STOP   0x15 /* remote KZP stop */
#define ZRK_PRM_RVZ_START   0x18 /* RVZ start */
#define ZRK_PRM_RVZ_STOP    0x19 /* RVZ stop */
#define ZRK_PRM_RVZ_SUSPEND 0x1A /* RVZ suspend */
#define ZRK_PRM_RVZ_RESUME  0x1B /* RVZ resume */

/* Copy kinds of the extended list (byte 12). */
#define ZRK_PRM_KIND_KZP     1 /* KZP family: QuickKZP, SnapKZP */
#define ZRK_PRM_KIND_VZ      2 /* VZ family */
#define ZRK_PRM_KIND_MONITOR 3 /* monitor session */

/* Bits of the flag bytes beside those of the detail record (ZRK_SESFLAG_,
 * ZRK_MODEFLAG_): the forced stop or suspend (local byte 10, remote byte 12)
 * and the start byte of the remote list (byte 72). Secondary access is the
 * value ZRK_PRM_SECONDARY in the two bits ZRK_SESFLAG_SECONDARY (local byte
 * 24, remote byte 72). */
#define ZRK_PRM_FORCED    0x40u /* forced (option ZRK_OPT_FORCE) */
#define ZRK_PRM_SKIP      0x80u /* remote byte 72: skip the initial copy */
#define ZRK_PRM_REMAIN    0x40u /* remote byte 72: remain mode on resume */
#define ZRK_PRM_SECONDARY 0x01u /* secondary access */

/* Transfer modes of an RVZ session (remote byte 16, extended byte 23). */
#define ZRK_TRANSFER_STACK       2
#define ZRK_TRANSFER_CONSISTENCY 3

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ---- from a copy request --------------------------------------------------- */

/* Local VZ list (ZRK_PRM_LOCAL_LEN bytes): the start, or with request null the
 * stop that undoes a refused start (code, length, identifier and role only). */
void MakeVzPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                          const COPY_REQ *request, unsigned char volumeRole,
                          unsigned char *list);
/* Remote list (ZRK_PRM_REMOTE_LEN bytes) of an RVZ start. */
void MakeRvzPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                           const COPY_REQ *request, const unsigned char *ownBoxId,
                           unsigned int optionFlag, unsigned char *list);
/* Local KZP list: the start, or with request null the undoing stop. */
void MakeKzpPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                           const COPY_REQ *request, unsigned char volumeRole,
                           unsigned char *list);
/* Remote list of a remote KZP start. */
void MakeRkzpPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                            const COPY_REQ *request, const unsigned char *ownBoxId,
                            unsigned int optionFlag, unsigned char *list);
/* Extended list of a QuickKZP start. */
void MakeDifPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                           unsigned int optionFlag, const COPY_REQ *request, TVC_EXEC *list);
/* Extended list of a SnapKZP start; the destination OLU is the request's
 * 32-bit one. */
void MakeSnapPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                            unsigned int optionFlag, const COPY_REQ *request, TVC_EXEC *list);
/* Extended list of a VZ start on a QM array (copyKind into byte 12), or with
 * request null the stop that undoes a refused start. Reads QM_SUPPORT_DATA
 * from its store for a remote request. */
void MakePrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                        unsigned char copyKind, const COPY_REQ *request,
                        const unsigned char *ownBoxId, unsigned int optionFlag, TVC_EXEC *list);

/* ---- from a session's detail ------------------------------------------------ */

/* Local VZ list of a stop, suspend or resume. */
void MakeVzPrmFromDetail(unsigned char code, const RVZ_DETAIL_INFO *detail, unsigned char *list);
/* Remote list of an RVZ stop, suspend or resume. */
void MakeRvzPrmFromDetail(unsigned char code, const RVZ_DETAIL_INFO *detail, unsigned char *list);
/* Local KZP list of a stop. */
void MakeKzpPrmFromDetail(unsigned char code, const RKZP_DETAIL_INFO *detail, unsigned char *list);
/* Remote list of a remote KZP stop. */
void MakeRkzpPrmFromDetail(unsigned char code, const RKZP_DETAIL_INFO *detail, unsigned char *list);
/* Extended list of a QuickKZP stop. */
void MakeDifPrmFromDetail(unsigned char code, unsigned int optionFlag,
                          const RKZP_DETAIL_INFO *detail, TVC_EXEC *list);
/* Extended list of a SnapKZP stop. */
void MakeSnapPrmFromDetail(unsigned char code, unsigned int optionFlag,
                           const RKZP_DETAIL_INFO *detail, TVC_EXEC *list);
/* Extended list of a VZ mode change (or a change by reversal). */
void MakeChgPrmFromDetail(unsigned char code, unsigned int optionFlag,
                          const RVZ_DETAIL_INFO *detail, TVC_EXEC *list);
/* Extended list of a VZ stop on a QM array; the request says whether the
 * session is remote (a null request counts as local). */
void MakePrmFromDetail(unsigned char code, unsigned char copyKind, const COPY_REQ *request,
                       const RVZ_DETAIL_INFO *detail, TVC_EXEC *list);

/* ---- the detail query ---------------------------------------------------------- */

/* The one session of any copy kind that request describes, or with
 * ZRK_OPT_SESSION_ID in optionFlag the one its identifier (bytes 80-81)
 * names, as a page-based detail record: page 0x44 when the array answers it
 * (by identifier, else through the detail list or the identifier lists of
 * pages 0x15 and 0x19), else the classic VZ and KZP pages. 0, or -1 with
 * ZRKerrno set (ZRK_ERR_NO_SESSION when no session matches). */
int QueryDetail(const char *volume, unsigned int optionFlag, const COPY_REQ *request,
                TVC_DETAIL_INFO *detail);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrk {

/* ---- places in the local and remote lists --------------------------------------
 * The operations set a few bits after a builder returns (forced, remain mode,
 * secondary access): these are their bytes. */

constexpr size_t kPrmLength = 6;    /* 2 bytes: length of the rest of the list */
constexpr size_t kPrmSessionId = 8; /* 2 bytes: identifier (remote: source side) */

/* Local list, VZ form. */
constexpr size_t kVzPrmFlags = 10;        /* ZRK_SESFLAG_WHOLE_VOLUME, ZRK_PRM_FORCED */
constexpr size_t kVzPrmVolumeRole = 20;   /* volume role */
constexpr size_t kVzPrmExtentFilled = 21; /* 1: the extent fields are filled */
constexpr size_t kVzPrmCopyInterval = 22; /* 2 bytes: copy interval */
constexpr size_t kVzPrmAccess = 24;       /* secondary access */
constexpr size_t kVzPrmSrcOlu = 26;       /* 2 bytes */
constexpr size_t kVzPrmDstOlu = 30;       /* 2 bytes */
/* Local list, KZP form. */
constexpr size_t kKzpPrmFlags = 10;        /* ZRK_SESFLAG_WHOLE_VOLUME */
constexpr size_t kKzpPrmVolumeRole = 20;   /* volume role */
constexpr size_t kKzpPrmSrcOlu = 22;       /* 2 bytes */
constexpr size_t kKzpPrmDstOlu = 24;       /* 2 bytes */
constexpr size_t kKzpPrmExtentFilled = 29; /* 1: the extent fields are filled */
/* Both local forms: 4 bytes each. */
constexpr size_t kLocalPrmSrcExtent = 32;
constexpr size_t kLocalPrmSrcSize = 36;
constexpr size_t kLocalPrmDstExtent = 40;

/* Remote list. */
constexpr size_t kRemotePrmDstSideId = 10;   /* 2 bytes: identifier (destination side) */
constexpr size_t kRemotePrmFlags = 12;       /* ZRK_SESFLAG_, ZRK_MODEFLAG_, ZRK_PRM_FORCED */
constexpr size_t kRemotePrmTransfer = 16;    /* ZRK_TRANSFER_ */
constexpr size_t kRemotePrmVolumeRole = 24;  /* volume role */
constexpr size_t kRemotePrmSrcBoxId = 32;    /* 40 bytes */
constexpr size_t kRemotePrmStart = 72;       /* ZRK_PRM_SKIP, ZRK_PRM_REMAIN, secondary access */
constexpr size_t kRemotePrmDstBoxId = 80;    /* 40 bytes */
constexpr size_t kRemotePrmSrcOlu = 128;     /* 4 bytes */
constexpr size_t kRemotePrmDstOlu = 132;     /* 4 bytes */
constexpr size_t kRemotePrmExtentCnt = 136;  /* 2 bytes; byte 137 1: extent fields filled */
constexpr size_t kRemotePrmCopyInterval = 138; /* 2 bytes */
constexpr size_t kRemotePrmSrcExtent = 144;  /* 4 bytes */
constexpr size_t kRemotePrmSrcSize = 148;    /* 4 bytes */
constexpr size_t kRemotePrmDstExtent = 152;  /* 4 bytes */

} // namespace zrk
#endif

#endif /* ZRK_ZRKCLASSIC_H */
