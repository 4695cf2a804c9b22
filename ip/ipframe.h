/*
 * ipframe.h - what every public ZRKIP function shares: the call frame
 * (trace, sense area, root check, exits), the one-slot common data kept
 * between calls, the option and capability check, the copy-parameter check,
 * the copy-request builder and the BoxID check (ipframe.cpp).
 *
 * The common data holds the answers about the array that the last
 * IPComInfoCheckSet addressed: its own BoxID (40 bytes), its copy-function
 * record (72 bytes, CliCopyFunctions) and its RVZ buffer count (4 bytes).
 * There is one slot per process, not one per array.
 *
 * Return convention: 0, or -1 with ZRKerrno set.
 */
#ifndef ZRK_IPFRAME_H
#define ZRK_IPFRAME_H

#include "iplink.h"
#include "zrkapi.h"
#include "zrksupport.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* IPCtrlCommonData operations. */
#define IP_COMMON_BOXID_CLEAR   0u    /* 40 zero bytes */
#define IP_COMMON_BOXID_GET     1u    /* copy the own BoxID out */
#define IP_COMMON_BOXID_SET     2u    /* store 40 bytes */
#define IP_COMMON_FUNCS_CLEAR   3u    /* 72 zero bytes */
#define IP_COMMON_FUNCS_GET     4u    /* copy the copy-function record out */
#define IP_COMMON_FUNCS_SET     5u    /* store 72 bytes */
#define IP_COMMON_RVZCNT_CLEAR  6u    /* 4 zero bytes */
#define IP_COMMON_RVZCNT_GET    7u    /* copy the RVZ buffer count out */
#define IP_COMMON_RVZCNT_SET    8u    /* store 4 bytes */

#define IP_COMMON_FUNCS_LEN     72    /* bytes of the copy-function record */
#define IP_COMMON_RVZCNT_LEN    4     /* bytes of the RVZ buffer count */

/* RefreshFlags of IPComInfoCheckSet. */
#define IP_REFRESH_BOXID        0x1   /* ask "show boxid" */
#define IP_REFRESH_RVZCNT       0x2   /* ask "show rvz-buffer" (when the array has buffers) */
#define IP_REFRESH_FUNCS        0x4   /* the copy functions: asked on every call */

/* OptionFlag of ZRKIPGetVolumeInfo: what to fill. */
#define IP_VOLINFO_MAXIMA       0x1   /* session maxima, support groups, generations */
#define IP_VOLINFO_BOXID        0x2   /* the own BoxID */
#define IP_VOLINFO_RVZCNT       0x4   /* the RVZ buffer count */

/* CheckOption of IPCheckParam. */
#define IP_CHECK_MONITOR        0x2   /* no destination: a copy monitor */

/* Reads or writes one item of the common data; other operations do
 * nothing. The clear operations do not read buffer; a null buffer makes
 * the copy operations do nothing. */
void IPCtrlCommonData(unsigned int iOperation, void *buffer);

/* Refuses option bits outside OptionMask (ZRK_ERR_OPTION, before anything
 * is sent), stores OptionFlag in ZRKOptionFlag, refreshes the copy-function
 * record (refusing an array without KZP, VZ and RVZ with ZRK_ERR_SETUP after
 * storing it), then the own BoxID and the RVZ buffer count as RefreshFlags
 * ask. */
int IPComInfoCheckSet(const char *ip, const char *user, uint32_t OptionFlag,
                      uint32_t OptionMask, int RefreshFlags);

/* The copy arguments of a request: BoxIDs (ZRK_ERR_SRC_BOXID,
 * ZRK_ERR_DST_BOXID), volumes (ZRK_ERR_SRC_OLU, ZRK_ERR_DST_OLU), a size of 0
 * with a start (ZRK_ERR_SIZE), the monitor's destination (ZRK_ERR_DST_BOXID,
 * ZRK_ERR_DST_OLU, ZRK_ERR_EXTENT), the same volume whole (ZRK_ERR_OLU) or
 * overlapping (ZRK_ERR_EXTENT). Sends nothing. */
int IPCheckParam(const char *ip, const char *user, const char *SrcBoxID, uint32_t SrcOLU,
                 uint32_t SrcExtAddr_high, uint32_t SrcExtAddr_low, uint32_t SrcSize_high,
                 uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOLU,
                 uint32_t DstExtAddr_high, uint32_t DstExtAddr_low, int CopyInterval,
                 int CheckOption);

/* Fills the 120-byte request: the arguments, the whole-volume bit and the
 * remote bit. ReqMark, CopyType and the other bits are the caller's. A null
 * BoxID leaves its 40 bytes 0. */
void IPMakeReq(const char *SrcBoxID, uint32_t SrcOLU, uint32_t SrcExtAddr_high,
               uint32_t SrcExtAddr_low, uint32_t SrcSize_high, uint32_t SrcSize_low,
               const char *DstBoxID, uint32_t DstOLU, uint32_t DstExtAddr_high,
               uint32_t DstExtAddr_low, int CopyInterval, IPCopyReq *req);

/* The request against the common own BoxID: a remote request must name it
 * on one side (ZRK_ERR_BOXID), a local one as its source
 * (ZRK_ERR_DIFFERENT_ZRK). */
int IPCheckBoxID(const IPCopyReq *req);

/* The two array descriptions of ipvolinfo.cpp: the VOL_INFO area from the
 * common data (0; ZRK_ERR_PARAMETER for a null area, and
 * ZRK_ERR_REPLY_INCOMPLETE, the area untouched, for a maximum it is asked
 * for that does not fit its 16 bits), and "show model-info" into 32 bytes. */
int IPGetVolumeInfo(const char *ip, const char *user, int info, VOL_INFO *area);
int IPGetModelInfo(const char *ip, const char *user, unsigned char *area);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

// The frame of one public call: opens the trace under the function's
// identifier, writes "START", clears the sense store and copies it to the
// caller; Finish writes "END(ret=%d, ZRKerrno=%d)" and closes the trace.
namespace zrkip {

class CallFrame {
public:
    CallFrame(int callerId, const char *name, unsigned char *sense);
    ~CallFrame();
    CallFrame(const CallFrame &) = delete;
    CallFrame &operator=(const CallFrame &) = delete;

    // One text line under "INFO" or "ERR" (TraceText).
    void Info(int level, const char *format, ...) __attribute__((format(printf, 3, 4)));
    void Err(int level, const char *format, ...) __attribute__((format(printf, 3, 4)));
    // Binary data under "INFO".
    void Dump(int level, const void *data, int length);
    // ZRK_ERR_PERMISSION unless the effective user is root.
    int CheckRoot();
    // After a failed step: the sense store to the caller again, and traced.
    void SenseAgain();
    // The END line and the trace closed; returns ret.
    int Finish(int ret);

private:
    const char *pName;       // trace name, the function's name
    unsigned char *pSense;   // the caller's sense area, may be NULL
    bool bClosed = false;    // Finish has closed the trace
};

// The copy-function record of the common data, as the array of the last
// IPComInfoCheckSet reported it.
class CopyFunctions {
public:
    CopyFunctions() { IPCtrlCommonData(IP_COMMON_FUNCS_GET, ucaBytes); }
    // Bit `bit` (ZRK_SUPPORT_...) of byte `byte` (ZRK_SUPPORT_...).
    bool Has(size_t byte, unsigned bit) const { return zrk_support_has(ucaBytes, byte, bit); }
    // Sessions of virtual volumes (zrk_support_vvol).
    bool Vvol() const { return zrk_support_vvol(ucaBytes) != 0; }

private:
    unsigned char ucaBytes[IP_COMMON_FUNCS_LEN] = {};  // the record
};

// The most a maximum count of the copy-function record may be where a
// record carries it in 16 bits (the volume information, the generation
// list's count).
constexpr uint32_t kCarriedMaximum = 0xFFFF;

// 0 when value (the copy-function field `field`) fits kCarriedMaximum;
// else a broken answer: ZRK_ERR_REPLY_INCOMPLETE and -1, traced under name.
int CheckMaximum(const char *name, const char *field, uint32_t value);

// The room of a list that the array's maximum (the copy-function field
// `field`) bounds and the caller's area holds callerRoom entries of: the
// smaller of the two into *room, 0; or CheckMaximum's failure.
int ListRoom(const char *name, const char *field, uint32_t maximum, size_t callerRoom, size_t *room);

// RefreshFlags of the session road: the copy functions and the own BoxID,
// no RVZ buffer count.
constexpr int kRefreshCopy = IP_REFRESH_BOXID | IP_REFRESH_FUNCS;

// The argument list shared by the public copy functions (start, stop,
// change, resume, suspend), in its order.
struct CopyArgs {
    const char *ip;
    const char *user;
    const char *SrcBoxID;
    uint32_t SrcOLU;
    uint32_t SrcExtAddr_high;
    uint32_t SrcExtAddr_low;
    uint32_t SrcSize_high;
    uint32_t SrcSize_low;
    const char *DstBoxID;
    uint32_t DstOLU;
    uint32_t DstExtAddr_high;
    uint32_t DstExtAddr_low;
    int CopyInterval;
    uint32_t OptionFlag;
};

// The argument list of a public copy function (the parameter names of
// ZRKIP_COPY_ARGS) as one record.
#define IP_COPY_ARGS_RECORD                                                             \
    (::zrkip::CopyArgs{ip, user, SrcBoxID, SrcOLU, SrcExtAddr_high, SrcExtAddr_low,     \
                       SrcSize_high, SrcSize_low, DstBoxID, DstOLU, DstExtAddr_high,    \
                       DstExtAddr_low, CopyInterval, OptionFlag})

// The three parameter lines of a copy function at level 2; wideOption
// prints the option word with eight digits ("OptionFlag=0x%08x").
void TraceCopyArgs(CallFrame &frame, const CopyArgs &args, bool wideOption = false);

// IPCheckParam and IPMakeReq over the argument list.
int CheckCopyArgs(const CopyArgs &args, int checkOption);
void MakeCopyReq(const CopyArgs &args, IPCopyReq *req);

}  // namespace zrkip
#endif

#endif /* ZRK_IPFRAME_H */
