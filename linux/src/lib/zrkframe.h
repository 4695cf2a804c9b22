/*
 * zrkframe.h - the frame that every public in-band function shares: the
 * entry and exit lines, the sense handling, the root and option checks, the
 * release of the call's device on every way out, the argument checks of a
 * copy pair, the two copy requests (COPY_REQ, COPY_REQ_LV), the common
 * preparation zrkComInfoCheckSet and the choice between the page-based
 * engine and the classic engine (zrkCheckParam_main, zrkGetVol_main).
 *
 * Return convention: the checks return 0 when the arguments pass and -1 with
 * ZRKerrno set when they do not; the builders cannot fail.
 *
 * BoxIDs travel as `const char *` to 40 bytes without a terminator (the
 * public records hold them as char arrays) and are compared bytewise.
 *
 * A public function opens its frame with a zrk::ApiCall object; whatever way
 * the function leaves, the object's destructor releases the device that the
 * transport opened for the call (ZRKopenFlag, ZRKopenFd).
 */
#ifndef ZRK_ZRKFRAME_H
#define ZRK_ZRKFRAME_H

#include "zrkcmd.h"
#include "zrklvmain.h"

#include <stddef.h>
#include <stdint.h>
#include <string.h>

/* Modes of CheckParamForLV. */
#define ZRK_PAIRMODE_FULL    0x0u /* a pair with a destination */
#define ZRK_PAIRMODE_NO_DEST 0x2u /* no destination (estimate and monitor sessions) */

/* The no-destination OLU and extent halves. */
#define ZRK_NO_DEST 0xFFFFFFFFu

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ---- checks ---------------------------------------------------------------- */

/* The named volume must be readable (both parts of a volume-manager path);
 * else ZRKerrno 2 and a pseudo sense of class 2 or 5. */
int CheckLogicalVol(const char *LogicalVol);
/* The classic check of a copy pair (32-bit numbers). */
int CheckParam(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
               uint32_t SrcExtent, uint32_t SrcSize, const char *DstBoxID,
               uint32_t DstOlu, uint32_t DstExtent, uint32_t CopyInterval);
/* The classic check of the no-destination form; CopyInterval is not looked at. */
int CheckParamEstimate(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                       uint32_t SrcExtent, uint32_t SrcSize, const char *DstBoxID,
                       uint32_t DstOlu, uint32_t DstExtent, uint32_t CopyInterval);
/* The pair check of the page-based path on 64-bit values; Mode
 * ZRK_PAIRMODE_NO_DEST selects the no-destination form. */
int CheckParamForLV(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                    uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                    uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                    uint32_t DstOlu, uint32_t DstExtent_high, uint32_t DstExtent_low,
                    uint32_t CopyInterval, uint32_t Mode);
/* The limits of a large-volume pair that is to go the classic way: 69. */
int checkHighPart(uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                  uint32_t SrcSize_low, uint32_t DstExtent_high, uint32_t DstExtent_low);
/* The same for the no-destination form. */
int checkHighPart_estimate(uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                           uint32_t SrcSize_high, uint32_t SrcSize_low,
                           uint32_t DstExtent_high, uint32_t DstExtent_low);

/* ---- copy requests ------------------------------------------------------- */

/* Fills a COPY_REQ (volume role 0: the caller sets 1 before the engine call). */
void MakeReq(COPY_REQ *Request, const char *SrcBoxID, uint32_t SrcOlu, uint32_t SrcExtent,
             uint32_t SrcSize, const char *DstBoxID, uint32_t DstOlu, uint32_t DstExtent,
             uint32_t CopyInterval);
/* Fills a COPY_REQ_LV (volume role 0 likewise). */
void MakeReqForLV(COPY_REQ_LV *Request, const char *SrcBoxID, uint32_t SrcOlu,
                  uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                  uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                  uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval);

/* ---- common preparation and engine choice -------------------------------- */

/* Root (34) and option (37) checks, then the array's facts into the stores:
 * ZRKOptionFlag, the product check, SUPPORT_DATA into Support (32 bytes, may
 * be null), the remote-support byte, the BoxID and MaxSes of COMMON_DATA.
 * The device opened here stays open for the caller to release. Exported. */
int zrkComInfoCheckSet(const char *LogicalVol, uint32_t OptionFlag, uint32_t OptionMask,
                       unsigned char *Support);
/* The common check of the large-volume pair functions; *UseTvc receives 1
 * for the page-based path, 0 for the classic one. */
int zrkCheckParam_main(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                       uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                       uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                       uint32_t DstOlu, uint32_t DstExtent_high, uint32_t DstExtent_low,
                       uint32_t CopyInterval, uint32_t OptionFlag, uint32_t OptionMask,
                       int *UseTvc);
/* The common body of the large-volume volume-information functions: checks
 * (ExtentCnt must be 0: 3, checked before any command), then
 * GetVolumeInfoForLV into Record. Unused is not read; UseTvc may be null. */
int zrkGetVol_main(const char *LogicalVol, uint32_t ExtentCnt, uint32_t OptionFlag,
                   VOLUME_INFO_RECORD_LV *Record, void *Unused, int *UseTvc);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrk {

/* OLUs and session identifiers lie below this. */
constexpr uint32_t kOluLimit = 0x10000;

/* ---- the call frame ------------------------------------------------------ */

/* One public in-band call. The constructor logs "NAME in [volume] [line]" at
 * level 2 (without a volume: "NAME in [line]"), clears the sense store and
 * hands the caller's buffer (may be null) 256 zero bytes. The destructor
 * releases the call's device, so no way out can leave it open. The exits take
 * the line they are called from, for the end line; ZRKerrno is set before
 * them by the failing step. */
class ApiCall {
public:
    ApiCall(const char *name, const char *volume, void *senseData, int line);
    ~ApiCall();
    ApiCall(const ApiCall &) = delete;
    ApiCall &operator=(const ApiCall &) = delete;

    /* Failure before any device was reached: "Err end", -1. */
    int RejectAt(int line);
    /* Common failure exit: the stored sense to the caller, the device
     * released, "Err end", -1. ZRKerrno stays as the failing step left it. */
    int FailAt(int line);
    /* Success: the device released, "OK end" (with a dump of dumpLength
     * bytes when dump is not null), result returned. */
    int Done(int line, int result = 0, const void *dump = nullptr, int dumpLength = 0);

private:
    const char *pName;   /* function name for the lines */
    const char *pVolume; /* LogicalVol, or null for the functions without one */
    void *pSense;        /* caller's 256-byte sense buffer, or null */
};

/* Not root: ZRKerrno 34, -1. Touches nothing else. */
int RootCheck();
/* A bit of optionFlag outside mask: ZRKerrno 37, -1. */
int OptionCheck(uint32_t optionFlag, uint32_t mask);
/* Releases the call's device when it is open (logs the opcl_reduction line). */
void ReleaseDevice();

/* ---- the mode rules of the VZ family (both widths) ------------------------ */

/* The two transfer modes beside synchronous transfer. */
constexpr uint32_t kVzTransfer = ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY;
/* Every mode bit a start or a change may carry. */
constexpr uint32_t kVzModes = ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV | kVzTransfer;

/* Automatic split only with synchronous transfer, synchronous transfer
 * without a transfer mode, and one transfer mode at a time: ZRKerrno 37, -1. */
int VzTransferRules(uint32_t option);
/* A start: a mirror inside one array takes no mode at all (nor the skipped
 * initial copy); one between two arrays follows the transfer rules. */
int VzStartRules(uint32_t option, bool remote);
/* A change: a reversal keeps the session's modes; then the transfer rules.
 * The locality does not count. */
int VzChangeRules(uint32_t option, bool remote);

/* ---- pair parameters ----------------------------------------------------- */

/* The eleven pair parameters of a large-volume function, as given. */
struct LvPair {
    const char *pSrcBoxID;     /* 40 bytes */
    uint32_t uiSrcOlu;         /* source OLU, or a session id (ZRK_OPT_SESSION_ID) */
    uint32_t uiSrcExtentHigh;  /* source start block, high half */
    uint32_t uiSrcExtentLow;   /* source start block, low half */
    uint32_t uiSrcSizeHigh;    /* size in blocks, high half */
    uint32_t uiSrcSizeLow;     /* size in blocks, low half */
    const char *pDstBoxID;     /* 40 bytes */
    uint32_t uiDstOlu;         /* destination OLU; ZRK_NO_DEST none */
    uint32_t uiDstExtentHigh;  /* destination start block, high half */
    uint32_t uiDstExtentLow;   /* destination start block, low half */
    uint32_t uiCopyInterval;   /* copy interval */
};

/* The first level-8 parameter line of a public function:
 * "NAME()  LogicalVol=[%s] : OptionFlag=<0x%x>". */
void LogOptionLine(const char *name, const char *volume, uint32_t optionFlag);
/* The same for the volume-information functions:
 * "NAME()  LogicalVol=[%s] : ExtentCnt=<%d> : OptionFlag=<0x%x>". */
void LogExtentCntLine(const char *name, const char *volume, uint32_t extentCnt,
                      uint32_t optionFlag);
/* The level-8 parameter lines of a large-volume pair function: the option
 * line, then the source and destination lines with their BoxID dumps. */
void LogLvPair(const char *name, const char *volume, uint32_t optionFlag, const LvPair &pair);
/* The source and destination lines alone (for the functions without a
 * volume). */
void LogLvPairLines(const LvPair &pair);
/* The source line alone (for the functions of a source without a pair). */
void LogLvSourceLine(const LvPair &pair);

/* zrkCheckParam_main on a pair. */
int CheckLvPair(const char *volume, const LvPair &pair, uint32_t optionFlag, uint32_t mask,
                int *useTvc);
/* The check of a pair with a destination for one engine: CheckParamForLV for
 * the page-based one; for the classic one the high halves must be 0 (8),
 * then CheckParam. */
int CheckFullPair(const char *volume, const LvPair &pair, bool useTvc);
/* The full requests of a pair, volume role 1: COPY_REQ_LV from every half,
 * COPY_REQ from the low halves. */
void MakeLvRequest(const LvPair &pair, COPY_REQ_LV *request);
void MakeClassicRequest(const LvPair &pair, COPY_REQ *request);
/* The session-identifier forms: all zero but the volume role (1), SrcOlu (the
 * session id: 4 bytes, or its low 2 in COPY_REQ) and, with withInterval, the
 * copy interval (4 bytes, or 2). */
void MakeLvSessionRequest(uint32_t sessionId, bool withInterval, uint32_t copyInterval,
                          COPY_REQ_LV *request);
void MakeClassicSessionRequest(uint32_t sessionId, bool withInterval, uint32_t copyInterval,
                               COPY_REQ *request);

/* 1 when any group of the support record announces the page-based engine. */
int UseTvcFrom(const unsigned char *support);
/* The BoxIDs of a pair differ in some of their 40 bytes. */
bool BoxIdsDiffer(const char *a, const char *b);

/* A branch that would need the classic engine (arrays without the page-based
 * engine), which this library does not drive: ZRKerrno 17 ("not support."),
 * logged with the name of the missing operation; -1. */
int ClassicEngineUnavailable(const char *operation, const char *volume, int line);

/* The caller's 256-byte Detail area of the detail queries: the record, then
 * zeros. */
constexpr int kDetailAreaLen = 256;
inline void FillDetailArea(unsigned char *out, const TVC_DETAIL_INFO &detail) {
    memset(out, 0, kDetailAreaLen);
    memcpy(out, &detail, sizeof detail);
}

} // namespace zrk

/* The eleven pair parameters of a public large-volume function, in the order
 * and with the names of its signature ... */
#define ZRK_LV_PAIR_PARAMS                                                                 \
    const char *SrcBoxID, uint32_t SrcOlu, uint32_t SrcExtent_high, uint32_t SrcExtent_low, \
        uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,  \
        uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval

/* ... and the same parameters as one LvPair. */
#define ZRK_LV_PAIR                                                                        \
    (zrk::LvPair{SrcBoxID, SrcOlu, SrcExtent_high, SrcExtent_low, SrcSize_high, SrcSize_low, \
                 DstBoxID, DstOlu, DstExtent_high, DstExtent_low, CopyInterval})

#endif

#endif /* ZRK_ZRKFRAME_H */
