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

/* Sizes of the classic volume-information outputs. */
#define ZRK_LUN_INFO_LEN          144   /* LU information page */
#define ZRK_LU_MAPPING_REPLY_LEN  1028  /* diagnostic page 0xB0 as read */
#define ZRK_LU_MAPPING_LEN        1024  /* its content after the 4-byte header */
#define ZRK_REMOTE_BOXID_LIST_LEN 12336 /* own BoxID + the QM family's page 0x20 */
#define ZRK_REMOTE_BOXID_MAIN_LEN 3120  /* what the main family's caller receives */

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

/* ---- the classic operations ------------------------------------------------------
 * Each takes the path of a volume of the array, checks the product and the
 * copy-support record, refuses what the array does not announce (17), finds
 * the session it needs and sends its parameter list. 0, or -1 with ZRKerrno
 * set; the sense data of a failed command stays in the process-wide store.
 * The request is the classic one (bytes 80-81 the session identifier with
 * ZRK_OPT_SESSION_ID); an operation that learns from the session's detail
 * that a session addressed by identifier is remote sets its RemoteFlag.
 * A start sets ZRKsessionid; a refused start releases its reserved
 * identifier and reports the sense and code of the start. */

/* VZ and RVZ. */
int StartVz(const char *volume, unsigned int optionFlag, COPY_REQ *request);
int StopVz(const char *volume, unsigned int optionFlag, COPY_REQ *request);
int SuspendVz(const char *volume, unsigned int optionFlag, COPY_REQ *request);
int ResumeVz(const char *volume, unsigned int optionFlag, COPY_REQ *request);
int ChangeVz(const char *volume, unsigned int optionFlag, COPY_REQ *request);
/* result[0] status, result[1] phase, result[2] copied blocks. */
int QueryVz(const char *volume, unsigned int optionFlag, COPY_REQ *request, unsigned int *result);
int QueryVzDetail(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                  RVZ_DETAIL_INFO *detail);
int QueryVzSession(const char *volume, unsigned int optionFlag, int sessionId,
                   unsigned char volumeRole, RVZ_DETAIL_INFO *detail);
/* The VZ-family session identifier list, allocated (the caller frees *list);
 * *length receives the bytes allocated. */
int ListVz(const char *volume, unsigned int optionFlag, unsigned char volumeRole,
           unsigned char **list, int *length);
/* One concurrent suspend of count pairs; result receives 4 bytes per pair. */
int MultiSuspendVz(const char *volume, unsigned int optionFlag, unsigned int count,
                   const CONC_SUS_PAIR *pairs, unsigned char *result);
/* The command status list (page 0x40 form), allocated (the caller frees
 * *list); *length receives the bytes allocated, which hold every entry the
 * list announces. */
int CommandStatusList(const char *volume, unsigned int optionFlag, unsigned char **list,
                      int *length);
/* RVZ buffer setting (list 0x47); RVZBuffInfo (zrklvmain.h) reads the list. */
int RVZBuffSet(const char *volume, const RVZ_BUFF_SET_REQ *request);

/* KZP, remote KZP, QuickKZP (the Diff operations), SnapKZP. */
int StartKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request);
int StopKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request);
int StartDiffKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request);
int StopDiffKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request);
int StartSnapKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request);
int StopSnapKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request);
/* result[0] status, result[1] copied blocks, result[2] elapsed time. */
int QueryKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request,
             unsigned int *result);
int QueryKzpDetail(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                   RKZP_DETAIL_INFO *detail);
int QueryKzpSession(const char *volume, unsigned int optionFlag, int sessionId,
                    unsigned char volumeRole, RKZP_DETAIL_INFO *detail);
/* The KZP-family identifier list, as ListVz. */
int ListKzp(const char *volume, unsigned int optionFlag, unsigned char volumeRole,
            unsigned char **list, int *length);
/* Initialisation of the snap data volume olu (list 0x31). */
int SnapVolInit(const char *volume, int olu);

/* ---- classic volume information ------------------------------------------------- */

int GetVolumeInfo(const char *volume, unsigned int optionFlag, VOLUME_INFO_RECORD *record);
/* BoxID (40 bytes), then the 1024 bytes of the LU mapping page 0xB0. */
int GetVolumeList(const char *volume, unsigned int optionFlag, unsigned char *list);
/* The LU information page (ZRK_LUN_INFO_LEN bytes). */
int GetVolumeConstInfo(const char *volume, unsigned int optionFlag, unsigned char *info);
/* ZRK_REMOTE_BOXID_LIST_LEN bytes: own BoxID, then page 0x20 from its byte 8. */
int GetRemoteBoxIDList(const char *volume, unsigned int optionFlag, unsigned char *list);
/* The bare page readers: diagnostic page 0xB0 (ZRK_LU_MAPPING_REPLY_LEN
 * bytes) and TRAVO IN page 0x20 (length by family). */
int GetLuMapping(const char *volume, unsigned char *reply);
int GetRemoteBoxID(const char *volume, unsigned char *list);

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
