// The frame of the public in-band functions: entry and exit lines, sense
// handling, the root and option checks and the release of the call's device
// (zrk::ApiCall); the argument checks of a copy pair; the builders of the two
// copy requests; the common preparation zrkComInfoCheckSet; and the choice
// between the page-based and the classic engine (zrkCheckParam_main,
// zrkGetVol_main).
//
// Ranges are compared without wrapping: a range [start, start + size) holds
// `value` when value >= start and value - start < size, so no sum is formed.
#include "zrkframe.h"
#include "zrkhost.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

using zrk::kOluLimit;
using zrkplatform::FailWith;
using zrkplatform::LogErr;
using zrkplatform::LogIn;
using zrkplatform::LogOk;
using zrkplatform::LogText;

constexpr size_t kPathWork = 4096; // working copy of a volume-manager path
constexpr size_t kDiskName = 128;  // the disk name after its ":"
constexpr uint32_t kIntervalMax = 10;
constexpr uint32_t kIntervalNoWait = 255;
constexpr uint32_t kGetVolMask = ZRK_OPT_NO_SWAP;

bool AllBytes(const char *area, unsigned char value) {
    for (size_t i = 0; i < ZRK_BOXID_LEN; ++i)
        if (static_cast<unsigned char>(area[i]) != value) return false;
    return true;
}

uint64_t Join(uint32_t high, uint32_t low) { return static_cast<uint64_t>(high) << 32 | low; }

// Whether value lies in [start, start + size).
bool Inside(uint64_t value, uint64_t start, uint64_t size) {
    return value >= start && value - start < size;
}
// Two ranges of one size overlap when either start lies in the other range.
bool Overlap(uint64_t srcStart, uint64_t dstStart, uint64_t size) {
    return Inside(dstStart, srcStart, size) || Inside(srcStart, dstStart, size);
}

bool ValidInterval(uint32_t interval) {
    return interval <= kIntervalMax || interval == kIntervalNoWait;
}

// A BoxID dump for the parameter lines: 40 bytes, or nothing for a null one.
int DumpLength(const char *boxId) { return boxId != nullptr ? ZRK_BOXID_LEN : 0; }

// The size, OLU and range rules of a pair with a destination, shared by the
// classic and the page-based pair check, on 64-bit values (the classic check
// passes 32-bit ones).
int PairRules(const char *srcBoxId, uint32_t srcOlu, uint64_t srcExtent, uint64_t srcSize,
              const char *dstBoxId, uint32_t dstOlu, uint64_t dstExtent) {
    if (srcSize == 0 && (srcExtent != 0 || dstExtent != 0)) return FailWith(ZRK_ERR_SIZE);
    if (std::memcmp(srcBoxId, dstBoxId, ZRK_BOXID_LEN) == 0 && srcOlu == dstOlu) {
        if (srcSize == 0) return FailWith(ZRK_ERR_OLU);
        if (Overlap(srcExtent, dstExtent, srcSize)) return FailWith(ZRK_ERR_EXTENT);
    }
    return 0;
}

// The checks every pair check begins with: the volume, both BoxIDs and both
// OLUs. Without a destination its BoxID is 40 bytes 0xFF and its OLU
// ZRK_NO_DEST.
int PairHead(const char *volume, const char *srcBoxId, uint32_t srcOlu, const char *dstBoxId,
             uint32_t dstOlu, bool noDest) {
    if (CheckLogicalVol(volume) != 0) {
        WriteLog(1, nullptr, 0, "CheckLogicalVol error");
        return -1;
    }
    if (srcBoxId == nullptr) return FailWith(ZRK_ERR_SRC_BOXID);
    if (dstBoxId == nullptr || (noDest && !AllBytes(dstBoxId, 0xFF))) {
        return FailWith(ZRK_ERR_DST_BOXID);
    }
    if (srcOlu >= kOluLimit) return FailWith(ZRK_ERR_SRC_OLU);
    if (noDest ? dstOlu != ZRK_NO_DEST : dstOlu >= kOluLimit) return FailWith(ZRK_ERR_DST_OLU);
    return 0;
}

// The end line of a check at level 1: OK end for rc 0 (0), else Err end (-1).
int LogEnd(int rc, const char *name, const char *volume, int line) {
    return rc == 0 ? LogOk(1, name, volume, line) : LogErr(1, name, volume, line);
}

// Root and option checks of zrkComInfoCheckSet: nothing reaches a device.
int EntryChecks(uint32_t optionFlag, uint32_t mask) {
    if (zrk::RootCheck() != 0) return -1;
    return zrk::OptionCheck(optionFlag, mask);
}

// The array facts of zrkComInfoCheckSet after its entry checks.
int ReadArrayFacts(const char *volume, uint32_t optionFlag, unsigned char *support) {
    ZRKOptionFlag = optionFlag;
    if (CheckProduct(volume) != 0) return -1;

    unsigned char data[ZRK_SUPPORT_DATA_LEN] = {};
    unsigned char remote = 0;
    if (GetSupportCopyInfo(volume, data, &remote) != 0) return -1;
    if (support != nullptr) std::memcpy(support, data, sizeof data);
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_REMOTE);
    CtrlCommonData(&remote, ZRK_COMMON_SET_REMOTE);

    unsigned char boxId[ZRK_BOXID_LEN] = {};
    if (GetBoxID(volume, boxId) != 0) return -1;
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_BOXID);
    CtrlCommonData(boxId, ZRK_COMMON_SET_BOXID);

    // The maximum session count of the widest group that is set up.
    unsigned char page = ZRK_PAGE_LOCAL_KZP_LIST;
    if (zrk_support_has(data, ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND)) {
        page = ZRK_PAGE_REMOTE_VZ_LIST;
    } else if (zrk_support_has(data, ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND)) {
        page = ZRK_PAGE_LOCAL_VZ_LIST;
    } else if (zrk_support_has(data, ZRK_SUPPORT_FLAGS_REMOTE_KZP, ZRK_SUPPORT_KIND)) {
        page = ZRK_PAGE_REMOTE_KZP_LIST;
    }
    unsigned char maxCount[ZRK_MAX_SESSION_LEN] = {};
    if (GetMaxSessionCount(volume, page, maxCount) != 0) return -1;
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_MAXSES);
    CtrlCommonData(maxCount + 2, ZRK_COMMON_SET_MAXSES); // maximum over all OLUs
    return 0;
}

} // namespace

// ---- the call frame -------------------------------------------------------------

namespace zrk {

ApiCall::ApiCall(const char *name, const char *volume, void *senseData, int line)
    : pName(name), pVolume(volume), pSense(senseData) {
    if (volume != nullptr) {
        LogIn(2, name, volume, line);
    } else {
        LogIn(2, name, line);
    }
    CtrlSenseData(nullptr, 0, ZRK_SENSE_CLEAR);
    CtrlSenseData(pSense, ZRK_SENSE_LEN, ZRK_SENSE_COPY_OUT);
}

ApiCall::~ApiCall() { ReleaseDevice(); }

int ApiCall::RejectAt(int line) {
    return pVolume != nullptr ? LogErr(2, pName, pVolume, line) : LogErr(2, pName, line);
}

int ApiCall::FailAt(int line) {
    CtrlSenseData(pSense, ZRK_SENSE_LEN, ZRK_SENSE_COPY_OUT);
    ReleaseDevice();
    return RejectAt(line);
}

int ApiCall::Done(int line, int result, const void *dump, int dumpLength) {
    ReleaseDevice();
    if (pVolume != nullptr) {
        LogOk(2, pName, pVolume, line, dump, dumpLength);
    } else {
        LogOk(2, pName, line, dump, dumpLength);
    }
    return result;
}

int RootCheck() { return geteuid() != 0 ? FailWith(ZRK_ERR_PERMISSION) : 0; }

int OptionCheck(uint32_t optionFlag, uint32_t mask) {
    return (optionFlag & ~mask) != 0 ? FailWith(ZRK_ERR_OPTION) : 0;
}

void ReleaseDevice() { CloseSharedDevice(); }

// ---- the mode rules of the VZ family ------------------------------------------------

int VzTransferRules(uint32_t option) {
    if ((option & ZRK_OPT_SYNC) != 0 && (option & kVzTransfer) != 0) return FailWith(ZRK_ERR_OPTION);
    if ((option & ZRK_OPT_AUTO_SPLIT) != 0 && (option & ZRK_OPT_SYNC) == 0)
        return FailWith(ZRK_ERR_OPTION);
    if ((option & kVzTransfer) == kVzTransfer) return FailWith(ZRK_ERR_OPTION);
    return 0;
}

int VzStartRules(uint32_t option, bool remote) {
    if (!remote) return (option & (kVzModes | ZRK_OPT_SKIP_COPY)) != 0 ? FailWith(ZRK_ERR_OPTION) : 0;
    return VzTransferRules(option);
}

int VzChangeRules(uint32_t option, bool /*remote*/) {
    if ((option & ZRK_OPT_REVERSE) != 0 && (option & kVzModes) != 0) return FailWith(ZRK_ERR_OPTION);
    return VzTransferRules(option);
}

// ---- pair parameters --------------------------------------------------------------

void LogLvSourceLine(const LvPair &p) {
    WriteLog(8, p.pSrcBoxID, DumpLength(p.pSrcBoxID),
             "SrcOlu=<0x%x> : SrcExtent_high=<0x%x> : SrcExtent_low=<0x%x> : "
             "SrcSize_high=<0x%x> : SrcSize_low=<0x%x> : SrcBoxID",
             p.uiSrcOlu, p.uiSrcExtentHigh, p.uiSrcExtentLow, p.uiSrcSizeHigh, p.uiSrcSizeLow);
}

void LogLvPairLines(const LvPair &p) {
    LogLvSourceLine(p);
    WriteLog(8, p.pDstBoxID, DumpLength(p.pDstBoxID),
             "DstOlu=<0x%x> : DstExtent_high=<0x%x> : DstExtent_low=<0x%x> :"
             "CopyInterval<%u> : DstBoxID",
             p.uiDstOlu, p.uiDstExtentHigh, p.uiDstExtentLow, p.uiCopyInterval);
}

void LogOptionLine(const char *name, const char *volume, uint32_t optionFlag) {
    WriteLog(8, nullptr, 0, "%s()  LogicalVol=[%s] : OptionFlag=<0x%x>", name, LogText(volume),
             optionFlag);
}

void LogExtentCntLine(const char *name, const char *volume, uint32_t extentCnt,
                      uint32_t optionFlag) {
    WriteLog(8, nullptr, 0, "%s()  LogicalVol=[%s] : ExtentCnt=<%d> : OptionFlag=<0x%x>", name,
             LogText(volume), static_cast<int>(extentCnt), optionFlag);
}

void LogLvPair(const char *name, const char *volume, uint32_t optionFlag, const LvPair &pair) {
    LogOptionLine(name, volume, optionFlag);
    LogLvPairLines(pair);
}

int CheckLvPair(const char *volume, const LvPair &p, uint32_t optionFlag, uint32_t mask,
                int *useTvc) {
    return zrkCheckParam_main(volume, p.pSrcBoxID, p.uiSrcOlu, p.uiSrcExtentHigh,
                              p.uiSrcExtentLow, p.uiSrcSizeHigh, p.uiSrcSizeLow, p.pDstBoxID,
                              p.uiDstOlu, p.uiDstExtentHigh, p.uiDstExtentLow, p.uiCopyInterval,
                              optionFlag, mask, useTvc);
}

int CheckFullPair(const char *volume, const LvPair &p, bool useTvc) {
    if (useTvc) {
        return CheckParamForLV(volume, p.pSrcBoxID, p.uiSrcOlu, p.uiSrcExtentHigh,
                               p.uiSrcExtentLow, p.uiSrcSizeHigh, p.uiSrcSizeLow, p.pDstBoxID,
                               p.uiDstOlu, p.uiDstExtentHigh, p.uiDstExtentLow, p.uiCopyInterval,
                               ZRK_PAIRMODE_FULL);
    }
    if (p.uiSrcExtentHigh != 0 || p.uiSrcSizeHigh != 0 || p.uiDstExtentHigh != 0) {
        return FailWith(ZRK_ERR_EXTENT);
    }
    return CheckParam(volume, p.pSrcBoxID, p.uiSrcOlu, p.uiSrcExtentLow, p.uiSrcSizeLow,
                      p.pDstBoxID, p.uiDstOlu, p.uiDstExtentLow, p.uiCopyInterval);
}

void MakeLvRequest(const LvPair &p, COPY_REQ_LV *request) {
    MakeReqForLV(request, p.pSrcBoxID, p.uiSrcOlu, p.uiSrcExtentHigh, p.uiSrcExtentLow,
                 p.uiSrcSizeHigh, p.uiSrcSizeLow, p.pDstBoxID, p.uiDstOlu, p.uiDstExtentHigh,
                 p.uiDstExtentLow, p.uiCopyInterval);
    request->ucVolumeRole = 1;
}

void MakeClassicRequest(const LvPair &p, COPY_REQ *request) {
    MakeReq(request, p.pSrcBoxID, p.uiSrcOlu, p.uiSrcExtentLow, p.uiSrcSizeLow, p.pDstBoxID,
            p.uiDstOlu, p.uiDstExtentLow, p.uiCopyInterval);
    request->ucVolumeRole = 1;
}

void MakeLvSessionRequest(uint32_t sessionId, bool withInterval, uint32_t copyInterval,
                          COPY_REQ_LV *request) {
    CopyReqLv r{};
    r.uiSrcOlu = sessionId;
    if (withInterval) r.uiCopyInterval = copyInterval;
    r.ucVolumeRole = 1;
    *request = EncodeCopyReqLv(r);
}

void MakeClassicSessionRequest(uint32_t sessionId, bool withInterval, uint32_t copyInterval,
                               COPY_REQ *request) {
    CopyReq r{};
    r.uhSrcOlu = static_cast<uint16_t>(sessionId);
    if (withInterval) r.uhCopyInterval = static_cast<uint16_t>(copyInterval);
    r.ucVolumeRole = 1;
    *request = EncodeCopyReq(r);
}

int UseTvcFrom(const unsigned char *support) {
    if (support == nullptr) return 0;
    for (const int at : {ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_REMOTE_KZP, ZRK_SUPPORT_FLAGS_VZ,
                         ZRK_SUPPORT_FLAGS_RVZ}) {
        if (zrk_support_has(support, at, ZRK_SUPPORT_TVC)) return 1;
    }
    return 0;
}

bool BoxIdsDiffer(const char *a, const char *b) {
    if (a == nullptr || b == nullptr) return a != b;
    return std::memcmp(a, b, ZRK_BOXID_LEN) != 0;
}

int ClassicEngineUnavailable(const char *operation, const char *volume, int line) {
    WriteLog(2, nullptr, 0, "%s not support. [%s] [%d]", LogText(operation), LogText(volume),
             line);
    return FailWith(ZRK_ERR_NOT_SUPPORT);
}

} // namespace zrk

// ---- checks ---------------------------------------------------------------------------

extern "C" int CheckLogicalVol(const char *LogicalVol) {
    static constexpr const char kName[] = "CheckLogicalVol";
    LogIn(1, kName, LogicalVol, __LINE__);
    if (LogicalVol == nullptr) {
        SetErrClassCode(ZRK_ERRCLASS_ACCESS, EFAULT);
        FailWith(ZRK_ERR_LOGICAL_VOL);
        return LogErr(1, kName, LogicalVol, __LINE__);
    }
    if (IsBrindlex(LogicalVol)) {
        WriteLog(1, nullptr, 0, "CheckLogicalVol BRINDLEX [%s] [%d]", LogicalVol, __LINE__);
        const size_t length = std::strlen(LogicalVol);
        const char *colon = std::strchr(LogicalVol, ':');
        if (colon == nullptr || length >= kPathWork) {
            // No disk part, or a path beyond the working buffer.
            SetErrClassCode(ZRK_ERRCLASS_PATH, colon == nullptr ? errno : ENAMETOOLONG);
            FailWith(ZRK_ERR_LOGICAL_VOL);
            return LogErr(1, kName, LogicalVol, __LINE__);
        }
        char work[kPathWork];
        std::memcpy(work, LogicalVol, length + 1);
        work[colon - LogicalVol] = '\0';
        const char *diskName = work + (colon - LogicalVol) + 1;
        char disk[sizeof "/dev/" + kDiskName];
        if (std::strlen(diskName) >= kDiskName) {
            SetErrClassCode(ZRK_ERRCLASS_PATH, ENAMETOOLONG);
            FailWith(ZRK_ERR_LOGICAL_VOL);
            return LogErr(1, kName, LogicalVol, __LINE__);
        }
        std::snprintf(disk, sizeof disk, "/dev/%s", diskName);
        for (const char *path : {static_cast<const char *>(work), static_cast<const char *>(disk)}) {
            if (zrk_host_access(path, R_OK) != 0) {
                const int err = errno;
                WriteLog(16, nullptr, 0, "%s not found.", path);
                SetErrClassCode(ZRK_ERRCLASS_ACCESS, err);
                FailWith(ZRK_ERR_LOGICAL_VOL);
                return LogErr(1, kName, LogicalVol, __LINE__);
            }
        }
        return LogOk(1, kName, LogicalVol, __LINE__);
    }
    if (zrk_host_access(LogicalVol, R_OK) != 0) {
        const int err = errno;
        WriteLog(16, nullptr, 0, "error access check");
        SetErrClassCode(ZRK_ERRCLASS_ACCESS, err);
        FailWith(ZRK_ERR_LOGICAL_VOL);
        return LogErr(1, kName, LogicalVol, __LINE__);
    }
    return LogOk(1, kName, LogicalVol, __LINE__);
}

extern "C" int CheckParam(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                          uint32_t SrcExtent, uint32_t SrcSize, const char *DstBoxID,
                          uint32_t DstOlu, uint32_t DstExtent, uint32_t CopyInterval) {
    static constexpr const char kName[] = "CheckParam";
    LogIn(1, kName, LogicalVol, __LINE__);
    int rc = PairHead(LogicalVol, SrcBoxID, SrcOlu, DstBoxID, DstOlu, false);
    if (rc == 0) rc = PairRules(SrcBoxID, SrcOlu, SrcExtent, SrcSize, DstBoxID, DstOlu, DstExtent);
    if (rc == 0 && !ValidInterval(CopyInterval)) rc = FailWith(ZRK_ERR_INTERVAL);
    return LogEnd(rc, kName, LogicalVol, __LINE__);
}

extern "C" int CheckParamEstimate(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                                  uint32_t SrcExtent, uint32_t SrcSize, const char *DstBoxID,
                                  uint32_t DstOlu, uint32_t DstExtent, uint32_t /*CopyInterval*/) {
    static constexpr const char kName[] = "CheckParamEstimate";
    LogIn(1, kName, LogicalVol, __LINE__);
    int rc = PairHead(LogicalVol, SrcBoxID, SrcOlu, DstBoxID, DstOlu, true);
    if (rc == 0 && SrcSize == 0 && (SrcExtent != 0 || DstExtent != 0)) rc = FailWith(ZRK_ERR_SIZE);
    if (rc == 0 && SrcSize != 0 && DstExtent != ZRK_NO_DEST) rc = FailWith(ZRK_ERR_SRC_EXTENT);
    return LogEnd(rc, kName, LogicalVol, __LINE__);
}

extern "C" int CheckParamForLV(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                               uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                               uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                               uint32_t DstOlu, uint32_t DstExtent_high, uint32_t DstExtent_low,
                               uint32_t CopyInterval, uint32_t Mode) {
    static constexpr const char kName[] = "CheckParamForLV";
    LogIn(1, kName, LogicalVol, __LINE__);
    const bool noDest = (Mode & ZRK_PAIRMODE_NO_DEST) != 0;
    const uint64_t srcExtent = Join(SrcExtent_high, SrcExtent_low);
    const uint64_t srcSize = Join(SrcSize_high, SrcSize_low);
    const uint64_t dstExtent = Join(DstExtent_high, DstExtent_low);
    const bool dstNone = DstExtent_high == ZRK_NO_DEST && DstExtent_low == ZRK_NO_DEST;
    int rc = PairHead(LogicalVol, SrcBoxID, SrcOlu, DstBoxID, DstOlu, noDest);
    if (rc == 0 && srcSize == 0 && (srcExtent != 0 || dstExtent != 0)) rc = FailWith(ZRK_ERR_SIZE);
    if (rc == 0 && noDest && srcSize != 0 && !dstNone) rc = FailWith(ZRK_ERR_EXTENT);
    if (rc == 0 && !noDest) {
        rc = PairRules(SrcBoxID, SrcOlu, srcExtent, srcSize, DstBoxID, DstOlu, dstExtent);
    }
    if (rc == 0 && !ValidInterval(CopyInterval)) rc = FailWith(ZRK_ERR_INTERVAL);
    return LogEnd(rc, kName, LogicalVol, __LINE__);
}

extern "C" int checkHighPart(uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                             uint32_t SrcSize_high, uint32_t SrcSize_low,
                             uint32_t DstExtent_high, uint32_t DstExtent_low) {
    static constexpr const char kName[] = "checkHighPart";
    LogIn(2, kName, __LINE__);
    const uint64_t srcEnd = static_cast<uint64_t>(SrcExtent_low) + SrcSize_low;
    const uint64_t dstEnd = static_cast<uint64_t>(DstExtent_low) + SrcSize_low;
    if (SrcExtent_high != 0 || SrcSize_high != 0 || DstExtent_high != 0 ||
        srcEnd > UINT32_MAX || dstEnd > UINT32_MAX) {
        FailWith(ZRK_ERR_BEYOND_32BIT);
        return LogErr(2, kName, __LINE__);
    }
    return LogOk(2, kName, __LINE__);
}

extern "C" int checkHighPart_estimate(uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                                      uint32_t SrcSize_high, uint32_t SrcSize_low,
                                      uint32_t DstExtent_high, uint32_t DstExtent_low) {
    static constexpr const char kName[] = "checkHighPart_estimate";
    LogIn(2, kName, __LINE__);
    const uint64_t srcEnd = static_cast<uint64_t>(SrcExtent_low) + SrcSize_low;
    bool ok = SrcExtent_high == 0 && SrcSize_high == 0 && srcEnd <= UINT32_MAX;
    if (ok && !(DstExtent_high == ZRK_NO_DEST && DstExtent_low == ZRK_NO_DEST)) {
        ok = DstExtent_high == 0 && DstExtent_low != ZRK_NO_DEST;
    }
    if (!ok) {
        FailWith(ZRK_ERR_BEYOND_32BIT);
        return LogErr(2, kName, __LINE__);
    }
    return LogOk(2, kName, __LINE__);
}

// ---- copy requests ------------------------------------------------------------------

extern "C" void MakeReq(COPY_REQ *Request, const char *SrcBoxID, uint32_t SrcOlu,
                        uint32_t SrcExtent, uint32_t SrcSize, const char *DstBoxID,
                        uint32_t DstOlu, uint32_t DstExtent, uint32_t CopyInterval) {
    WriteLog(1, nullptr, 0, "MakeReq in");
    if (Request == nullptr) return;
    zrk::CopyReq r{};
    if (SrcBoxID != nullptr) std::memcpy(r.ucaSrcBoxID, SrcBoxID, ZRK_BOXID_LEN);
    if (DstBoxID != nullptr) std::memcpy(r.ucaDstBoxID, DstBoxID, ZRK_BOXID_LEN);
    r.uhSrcOlu = static_cast<uint16_t>(SrcOlu);
    r.uhDstOlu = static_cast<uint16_t>(DstOlu);
    r.uiWholeVolumeFlag = (SrcSize == 0 && SrcExtent == 0 && DstExtent == 0) ? 1 : 0;
    r.uiSrcExtent = SrcExtent;
    r.uiDstExtent = DstExtent;
    r.uiSrcSize = SrcSize;
    r.uhCopyInterval = static_cast<uint16_t>(CopyInterval);
    if (DstOlu != ZRK_NO_DEST) {
        r.ucRemoteFlag = zrk::BoxIdsDiffer(SrcBoxID, DstBoxID) ? 1 : 0;
        WriteLog(1, nullptr, 0, r.ucRemoteFlag != 0 ? "Remote" : "local");
    }
    r.uiDstOluFull = DstOlu;
    *Request = zrk::EncodeCopyReq(r);
    WriteLog(1, nullptr, 0, "MakeReq out");
}

extern "C" void MakeReqForLV(COPY_REQ_LV *Request, const char *SrcBoxID, uint32_t SrcOlu,
                             uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                             uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                             uint32_t DstOlu, uint32_t DstExtent_high, uint32_t DstExtent_low,
                             uint32_t CopyInterval) {
    WriteLog(1, nullptr, 0, "MakeReqForLV in");
    if (Request == nullptr) return;
    zrk::CopyReqLv r{};
    if (SrcBoxID != nullptr) std::memcpy(r.ucaSrcBoxID, SrcBoxID, ZRK_BOXID_LEN);
    if (DstBoxID != nullptr) std::memcpy(r.ucaDstBoxID, DstBoxID, ZRK_BOXID_LEN);
    r.uiSrcOlu = SrcOlu;
    r.uiDstOlu = DstOlu;
    r.uiWholeVolumeFlag = (SrcExtent_high | SrcExtent_low | SrcSize_high | SrcSize_low |
                           DstExtent_high | DstExtent_low) == 0
                              ? 1
                              : 0;
    r.uiSrcExtentHigh = SrcExtent_high;
    r.uiSrcExtentLow = SrcExtent_low;
    r.uiDstExtentHigh = DstExtent_high;
    r.uiDstExtentLow = DstExtent_low;
    r.uiSrcSizeHigh = SrcSize_high;
    r.uiSrcSizeLow = SrcSize_low;
    r.uiCopyInterval = CopyInterval;
    r.ucRemoteFlag = (DstOlu != ZRK_NO_DEST && zrk::BoxIdsDiffer(SrcBoxID, DstBoxID)) ? 1 : 0;
    WriteLog(1, nullptr, 0, r.ucRemoteFlag != 0 ? "Remote" : "local");
    *Request = zrk::EncodeCopyReqLv(r);
    WriteLog(1, nullptr, 0, "MakeReqForLV out");
}

// ---- common preparation and engine choice ---------------------------------------

extern "C" int zrkComInfoCheckSet(const char *LogicalVol, uint32_t OptionFlag,
                                  uint32_t OptionMask, unsigned char *Support) {
    static constexpr const char kName[] = "zrkComInfoCheckSet";
    LogIn(1, kName, LogicalVol, __LINE__);
    WriteLog(1, nullptr, 0, "input data OptionFlag=<0x%x> OptionMask=<0x%x> [%s] [%d]",
             OptionFlag, OptionMask, LogText(LogicalVol), __LINE__);
    if (EntryChecks(OptionFlag, OptionMask) != 0 ||
        ReadArrayFacts(LogicalVol, OptionFlag, Support) != 0) {
        return LogErr(1, kName, LogicalVol, __LINE__);
    }
    return LogOk(1, kName, LogicalVol, __LINE__);
}

extern "C" int zrkCheckParam_main(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                                  uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                                  uint32_t SrcSize_high, uint32_t SrcSize_low,
                                  const char *DstBoxID, uint32_t DstOlu,
                                  uint32_t DstExtent_high, uint32_t DstExtent_low,
                                  uint32_t CopyInterval, uint32_t OptionFlag,
                                  uint32_t OptionMask, int *UseTvc) {
    static constexpr const char kName[] = "zrkCheckParam_main";
    LogIn(1, kName, LogicalVol, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    if (zrkComInfoCheckSet(LogicalVol, OptionFlag, OptionMask, support) != 0) {
        return LogErr(1, kName, LogicalVol, __LINE__);
    }
    const int useTvc = zrk::UseTvcFrom(support);
    if (UseTvc != nullptr) *UseTvc = useTvc;

    const bool noDest = (OptionFlag & ZRK_OPT_MONITOR) != 0 || DstOlu == ZRK_NO_DEST;
    int rc = 0;
    if ((OptionFlag & ZRK_OPT_SESSION_ID) != 0) {
        // The session is named by its identifier: nothing of the pair counts.
        if (CheckLogicalVol(LogicalVol) != 0) {
            rc = -1;
        } else if (SrcOlu >= kOluLimit) {
            rc = FailWith(ZRK_ERR_SESSION_ID);
        }
    } else if (!noDest) {
        rc = zrk::CheckFullPair(LogicalVol, ZRK_LV_PAIR, useTvc != 0);
    } else if (useTvc != 0) {
        rc = CheckParamForLV(LogicalVol, SrcBoxID, SrcOlu, SrcExtent_high, SrcExtent_low,
                             SrcSize_high, SrcSize_low, DstBoxID, DstOlu, DstExtent_high,
                             DstExtent_low, CopyInterval, ZRK_PAIRMODE_NO_DEST);
    } else if (SrcExtent_high != 0 || SrcSize_high != 0) {
        rc = FailWith(ZRK_ERR_EXTENT);
    } else if (SrcSize_low != 0 &&
               !(DstExtent_high == ZRK_NO_DEST && DstExtent_low == ZRK_NO_DEST)) {
        rc = FailWith(ZRK_ERR_EXTENT);
    } else {
        rc = CheckParamEstimate(LogicalVol, SrcBoxID, SrcOlu, SrcExtent_low, SrcSize_low,
                                DstBoxID, DstOlu, DstExtent_low, CopyInterval);
    }
    return LogEnd(rc, kName, LogicalVol, __LINE__);
}

extern "C" int zrkGetVol_main(const char *LogicalVol, uint32_t ExtentCnt, uint32_t OptionFlag,
                              VOLUME_INFO_RECORD_LV *Record, void * /*Unused*/, int *UseTvc) {
    static constexpr const char kName[] = "zrkGetVol_main";
    LogIn(1, kName, LogicalVol, __LINE__);
    zrk::LogExtentCntLine(kName, LogicalVol, ExtentCnt, OptionFlag);
    // Everything that needs no command is looked at first: a failure after
    // the array facts were read would leave the call's device open for a
    // caller that forgets to release it.
    if (EntryChecks(OptionFlag, kGetVolMask) != 0) return LogErr(1, kName, LogicalVol, __LINE__);
    if (ExtentCnt != 0) {
        FailWith(ZRK_ERR_EXTENT_CNT);
        return LogErr(1, kName, LogicalVol, __LINE__);
    }
    if (Record == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return LogErr(1, kName, LogicalVol, __LINE__);
    }
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    if (zrkComInfoCheckSet(LogicalVol, OptionFlag, kGetVolMask, support) != 0) {
        return LogErr(1, kName, LogicalVol, __LINE__);
    }
    if (CheckLogicalVol(LogicalVol) != 0) return LogErr(1, kName, LogicalVol, __LINE__);
    if (UseTvc != nullptr) *UseTvc = zrk::UseTvcFrom(support);
    if (GetVolumeInfoForLV(LogicalVol, OptionFlag, Record) != 0) {
        return LogErr(1, kName, LogicalVol, __LINE__);
    }
    return LogOk(1, kName, LogicalVol, __LINE__);
}
