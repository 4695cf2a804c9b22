// Pages and records of the page-based engine: the TVC_EXEC page built from a
// large-volume copy request or from a session's detail, the TVC_DETAIL_INFO
// record read from the detail page or converted from a detail-list entry,
// the cache of the current array's facts (COMMON_DATA), and the large-volume
// volume information. Each wire record goes through one decode and one
// encode procedure; the builders fill host values and encode them once.
#include "zrkcmd.h"
#include "zrkcmulti.h"
#include "zrklvmain.h"

#include <cstring>

namespace zrk {

// ---- TVC_DETAIL_INFO ---------------------------------------------------------------

TvcDetail DecodeTvcDetail(const TVC_DETAIL_INFO &in) {
    TvcDetail out{};
    out.uhSessionId = Be16(in.ucaSessionID);
    out.uhPartnerId = Be16(in.ucaPartnerID);
    out.ucCopyKind = in.ucCopyKind;
    std::memcpy(out.ucaState5, in.ucaState5, sizeof out.ucaState5);
    std::memcpy(out.ucaReserved8, in.ucaReserved8, sizeof out.ucaReserved8);
    out.ucSessionFlags = in.ucSessionFlags;
    out.ucReserved13 = in.ucReserved13;
    out.ucModeFlags = in.ucModeFlags;
    out.ucTransferMode = in.ucTransferMode;
    out.ucModeChange = in.ucModeChange;
    out.ucVolumeRole = in.ucVolumeRole;
    out.ucPhase = in.Phase;
    out.ucStatus = in.Status;
    out.ucState20 = in.ucState20;
    out.ucState21 = in.ucState21;
    out.ucState22 = in.ucState22;
    out.ucState23 = in.ucState23;
    std::memcpy(out.ucaSrcBoxID, in.SrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved64, in.ucaReserved64, sizeof out.ucaReserved64);
    std::memcpy(out.ucaDstBoxID, in.DstBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved112, in.ucaReserved112, sizeof out.ucaReserved112);
    out.uiSrcOlu = Be32(in.SrcOlu);
    out.uiDstOlu = Be32(in.DstOlu);
    out.uhExtentCnt = Be16(in.ucaExtentCnt);
    out.ucState130 = in.ucState130;
    out.ucState131 = in.ucState131;
    out.uiLapseTime = Be32(in.ucaLapseTime);
    out.ullCopiedBlock = Be64(in.CopiedBlock_high);
    std::memcpy(out.ucaTail144, in.ucaTail144, sizeof out.ucaTail144);
    out.ullSrcExtent = Be64(in.SrcExtent_high);
    out.ullSrcSize = Be64(in.SrcSize_high);
    out.ullDstExtent = Be64(in.DstExtent_high);
    std::memcpy(out.ucaReserved176, in.ucaReserved176, sizeof out.ucaReserved176);
    return out;
}

TVC_DETAIL_INFO EncodeTvcDetail(const TvcDetail &in) {
    TVC_DETAIL_INFO out{};
    PutBe16(out.ucaSessionID, in.uhSessionId);
    PutBe16(out.ucaPartnerID, in.uhPartnerId);
    out.ucCopyKind = in.ucCopyKind;
    std::memcpy(out.ucaState5, in.ucaState5, sizeof out.ucaState5);
    std::memcpy(out.ucaReserved8, in.ucaReserved8, sizeof out.ucaReserved8);
    out.ucSessionFlags = in.ucSessionFlags;
    out.ucReserved13 = in.ucReserved13;
    out.ucModeFlags = in.ucModeFlags;
    out.ucTransferMode = in.ucTransferMode;
    out.ucModeChange = in.ucModeChange;
    out.ucVolumeRole = in.ucVolumeRole;
    out.Phase = in.ucPhase;
    out.Status = in.ucStatus;
    out.ucState20 = in.ucState20;
    out.ucState21 = in.ucState21;
    out.ucState22 = in.ucState22;
    out.ucState23 = in.ucState23;
    std::memcpy(out.SrcBoxID, in.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved64, in.ucaReserved64, sizeof out.ucaReserved64);
    std::memcpy(out.DstBoxID, in.ucaDstBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved112, in.ucaReserved112, sizeof out.ucaReserved112);
    PutBe32(out.SrcOlu, in.uiSrcOlu);
    PutBe32(out.DstOlu, in.uiDstOlu);
    PutBe16(out.ucaExtentCnt, in.uhExtentCnt);
    out.ucState130 = in.ucState130;
    out.ucState131 = in.ucState131;
    PutBe32(out.ucaLapseTime, in.uiLapseTime);
    PutBe64(out.CopiedBlock_high, in.ullCopiedBlock);
    std::memcpy(out.ucaTail144, in.ucaTail144, sizeof out.ucaTail144);
    PutBe64(out.SrcExtent_high, in.ullSrcExtent);
    PutBe64(out.SrcSize_high, in.ullSrcSize);
    PutBe64(out.DstExtent_high, in.ullDstExtent);
    std::memcpy(out.ucaReserved176, in.ucaReserved176, sizeof out.ucaReserved176);
    return out;
}

// The byte map of the page-based engine. The classic detail query converts
// a list entry by a map of its own, which leaves the state bytes 5-7 and 22
// empty; the two are kept apart on purpose, each for its own callers.
TvcDetail TvcDetailFromList(const DetailEntry &e) {
    TvcDetail t{};
    t.uhSessionId = e.uhSessionId;
    t.uhPartnerId = e.uhPartnerId;
    t.ucCopyKind = e.ucCopyKind;
    t.ucaState5[0] = e.ucaState140[4];
    t.ucaState5[1] = e.ucaState140[5];
    t.ucaState5[2] = e.ucaState140[6];
    t.ucSessionFlags = e.ucSessionFlags & static_cast<uint8_t>(~0x04u);
    t.ucModeFlags = e.ucModeFlags & (ZRK_MODEFLAG_DEST_SIDE | ZRK_MODEFLAG_SYNC |
                                     ZRK_MODEFLAG_AUTO_SPLIT | ZRK_MODEFLAG_MANUAL_RCV);
    t.ucTransferMode = e.ucTransferMode;
    t.ucModeChange = e.ucModeChange;
    t.ucVolumeRole = 1;
    t.ucPhase = e.ucPhase;
    t.ucStatus = e.ucStatus;
    t.ucState20 = e.ucState106;
    t.ucState21 = e.ucaState140[0];
    t.ucState22 = e.ucState107;
    t.ucState23 = e.ucaState140[1];
    std::memcpy(t.ucaSrcBoxID, e.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(t.ucaDstBoxID, e.ucaDstBoxID, ZRK_BOXID_LEN);
    t.uiSrcOlu = e.uiSrcOlu;
    t.uiDstOlu = e.uiDstOlu;
    t.uhExtentCnt = e.uhExtentCnt;
    t.ucState130 = e.ucaState140[2];
    t.ucState131 = e.ucaState140[3];
    t.uiLapseTime = e.uiLapseTime;
    t.ullCopiedBlock = e.ullCopiedBlock;
    std::memcpy(t.ucaTail144, e.ucaStartTime, sizeof t.ucaTail144);
    t.ullSrcExtent = e.ullSrcExtent;
    t.ullSrcSize = e.ullSrcSize;
    t.ullDstExtent = e.ullDstExtent;
    return t;
}

// ---- COPY_REQ_LV ---------------------------------------------------------------------

CopyReqLv DecodeCopyReqLv(const COPY_REQ_LV &in) {
    CopyReqLv out{};
    std::memcpy(out.ucaSrcBoxID, in.SrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaDstBoxID, in.DstBoxID, ZRK_BOXID_LEN);
    out.uiSrcOlu = Be32(in.SrcOlu);
    out.uiDstOlu = Be32(in.DstOlu);
    out.uiWholeVolumeFlag = in.WholeVolumeFlag;
    out.uiSrcExtentHigh = Be32(in.SrcExtent_high);
    out.uiSrcExtentLow = Be32(in.SrcExtent_low);
    out.uiDstExtentHigh = Be32(in.DstExtent_high);
    out.uiDstExtentLow = Be32(in.DstExtent_low);
    out.uiSrcSizeHigh = Be32(in.SrcSize_high);
    out.uiSrcSizeLow = Be32(in.SrcSize_low);
    out.uiCopyInterval = Be32(in.CopyInterval);
    out.ucRemoteFlag = in.RemoteFlag;
    out.ucVolumeRole = in.ucVolumeRole;
    std::memcpy(out.ucaReserved122, in.ucaReserved122, sizeof out.ucaReserved122);
    return out;
}

COPY_REQ_LV EncodeCopyReqLv(const CopyReqLv &in) {
    COPY_REQ_LV out{};
    std::memcpy(out.SrcBoxID, in.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.DstBoxID, in.ucaDstBoxID, ZRK_BOXID_LEN);
    PutBe32(out.SrcOlu, in.uiSrcOlu);
    PutBe32(out.DstOlu, in.uiDstOlu);
    out.WholeVolumeFlag = in.uiWholeVolumeFlag;
    PutBe32(out.SrcExtent_high, in.uiSrcExtentHigh);
    PutBe32(out.SrcExtent_low, in.uiSrcExtentLow);
    PutBe32(out.DstExtent_high, in.uiDstExtentHigh);
    PutBe32(out.DstExtent_low, in.uiDstExtentLow);
    PutBe32(out.SrcSize_high, in.uiSrcSizeHigh);
    PutBe32(out.SrcSize_low, in.uiSrcSizeLow);
    PutBe32(out.CopyInterval, in.uiCopyInterval);
    out.RemoteFlag = in.ucRemoteFlag;
    out.ucVolumeRole = in.ucVolumeRole;
    std::memcpy(out.ucaReserved122, in.ucaReserved122, sizeof out.ucaReserved122);
    return out;
}

// ---- TVC_EXEC -------------------------------------------------------------------------

TvcExec DecodeTvcExec(const TVC_EXEC &in) {
    TvcExec out{};
    out.ucPageCode = in.ucPageCode;
    std::memcpy(out.ucaReserved1, in.ucaReserved1, sizeof out.ucaReserved1);
    out.uhParamLength = Be16(in.ucaParamLength);
    out.uhSessionId = Be16(in.ucaSessionID);
    out.uhPartnerId = Be16(in.ucaPartnerID);
    out.ucCopyKind = in.ucCopyKind;
    std::memcpy(out.ucaReserved13, in.ucaReserved13, sizeof out.ucaReserved13);
    out.ucSessionFlags = in.ucSessionFlags;
    out.ucStartFlags = in.ucStartFlags;
    out.ucModeFlags = in.ucModeFlags;
    out.ucTransferMode = in.ucTransferMode;
    out.ucOperationFlags = in.ucOperationFlags;
    out.ucActionFlags = in.ucActionFlags;
    out.ucReserved26 = in.ucReserved26;
    out.ucStackTimer = in.ucStackTimer;
    std::memcpy(out.ucaReserved28, in.ucaReserved28, sizeof out.ucaReserved28);
    std::memcpy(out.ucaSrcBoxID, in.SrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved72, in.ucaReserved72, sizeof out.ucaReserved72);
    std::memcpy(out.ucaDstBoxID, in.DstBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved120, in.ucaReserved120, sizeof out.ucaReserved120);
    out.uiSrcOlu = Be32(in.SrcOlu);
    out.uiDstOlu = Be32(in.DstOlu);
    out.uhExtentCnt = Be16(in.ucaExtentCnt);
    out.uhCopyInterval = Be16(in.ucaCopyInterval);
    std::memcpy(out.ucaReserved140, in.ucaReserved140, sizeof out.ucaReserved140);
    out.ullSrcExtent = Be64(in.ucaSrcExtent);
    out.ullSize = Be64(in.ucaSize);
    out.ullDstExtent = Be64(in.ucaDstExtent);
    std::memcpy(out.ucaReserved184, in.ucaReserved184, sizeof out.ucaReserved184);
    return out;
}

TVC_EXEC EncodeTvcExec(const TvcExec &in) {
    TVC_EXEC out{};
    out.ucPageCode = in.ucPageCode;
    std::memcpy(out.ucaReserved1, in.ucaReserved1, sizeof out.ucaReserved1);
    PutBe16(out.ucaParamLength, in.uhParamLength);
    PutBe16(out.ucaSessionID, in.uhSessionId);
    PutBe16(out.ucaPartnerID, in.uhPartnerId);
    out.ucCopyKind = in.ucCopyKind;
    std::memcpy(out.ucaReserved13, in.ucaReserved13, sizeof out.ucaReserved13);
    out.ucSessionFlags = in.ucSessionFlags;
    out.ucStartFlags = in.ucStartFlags;
    out.ucModeFlags = in.ucModeFlags;
    out.ucTransferMode = in.ucTransferMode;
    out.ucOperationFlags = in.ucOperationFlags;
    out.ucActionFlags = in.ucActionFlags;
    out.ucReserved26 = in.ucReserved26;
    out.ucStackTimer = in.ucStackTimer;
    std::memcpy(out.ucaReserved28, in.ucaReserved28, sizeof out.ucaReserved28);
    std::memcpy(out.SrcBoxID, in.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved72, in.ucaReserved72, sizeof out.ucaReserved72);
    std::memcpy(out.DstBoxID, in.ucaDstBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved120, in.ucaReserved120, sizeof out.ucaReserved120);
    PutBe32(out.SrcOlu, in.uiSrcOlu);
    PutBe32(out.DstOlu, in.uiDstOlu);
    PutBe16(out.ucaExtentCnt, in.uhExtentCnt);
    PutBe16(out.ucaCopyInterval, in.uhCopyInterval);
    std::memcpy(out.ucaReserved140, in.ucaReserved140, sizeof out.ucaReserved140);
    PutBe64(out.ucaSrcExtent, in.ullSrcExtent);
    PutBe64(out.ucaSize, in.ullSize);
    PutBe64(out.ucaDstExtent, in.ullDstExtent);
    std::memcpy(out.ucaReserved184, in.ucaReserved184, sizeof out.ucaReserved184);
    return out;
}

}  // namespace zrk

namespace {

using zrk::Be16;
using zrk::ErrLine;
using zrk::InLine;
using zrk::LogText;
using zrk::OkLine;

// Option bits that the page builders read.
constexpr unsigned int kOptForce = 0x2;
constexpr unsigned int kOptSync = 0x20;
constexpr unsigned int kOptSkip = 0x40;
constexpr unsigned int kOptRemain = 0x80;
constexpr unsigned int kOptAutoSplit = 0x100;
constexpr unsigned int kOptManualRecovery = 0x200;
constexpr unsigned int kOptStack = 0x400;
constexpr unsigned int kOptConsistency = 0x800;
constexpr unsigned int kOptReverse = 0x1000;
constexpr unsigned int kOptRestart = 0x2000;
constexpr unsigned int kOptStopTracking = 0x4000;
constexpr unsigned int kOptMonitor = 0x8000;
constexpr unsigned int kOptSecondary = 0x20000;
constexpr unsigned int kOptStackTimer = 0x100000;
constexpr unsigned int kOptNoClusterSwap = 0x200000;
constexpr unsigned int kOptVirtualVolume = 0x1000000;
constexpr unsigned int kOptDeleteMode = 0x2000000;

// TVC_EXEC bits.
constexpr uint8_t kOpForce = 0x80;
constexpr uint8_t kOpRemain = 0x40;
constexpr uint8_t kOpStackTimer = 0x02;
constexpr uint8_t kActRestart = 0x80;
constexpr uint8_t kActStopTracking = 0x40;
constexpr uint8_t kActSkip = 0x08;
constexpr uint8_t kActReverse = 0x04;
constexpr uint8_t kActModeChange = 0x02;
constexpr uint8_t kModeBits = ZRK_MODEFLAG_SYNC | ZRK_MODEFLAG_AUTO_SPLIT | ZRK_MODEFLAG_MANUAL_RCV;

bool SameBoxId(const unsigned char *a, const unsigned char *b) {
    return std::memcmp(a, b, ZRK_BOXID_LEN) == 0;
}

// The mode flags and transfer mode that an option word asks for.
void ModesFromOption(unsigned int option, zrk::TvcExec &x) {
    if ((option & kOptSync) != 0) x.ucModeFlags |= ZRK_MODEFLAG_SYNC;
    if ((option & kOptAutoSplit) != 0) x.ucModeFlags |= ZRK_MODEFLAG_AUTO_SPLIT;
    if ((option & kOptManualRecovery) != 0) x.ucModeFlags |= ZRK_MODEFLAG_MANUAL_RCV;
    if ((option & kOptStack) != 0) x.ucTransferMode = 2;
    if ((option & kOptConsistency) != 0) x.ucTransferMode = 3;
}

// The session's own modes.
void ModesFromDetail(const zrk::TvcDetail &d, zrk::TvcExec &x) {
    x.ucModeFlags = static_cast<uint8_t>((x.ucModeFlags & ~kModeBits) | (d.ucModeFlags & kModeBits));
    x.ucTransferMode = d.ucTransferMode;
}

void LogPage(const char *name, const TVC_EXEC &page) {
    WriteLog(1, &page, sizeof page, "outputData TVC_EXEC");
    WriteLog(1, nullptr, 0, "%s out", name);
}

// The per-process cache of the current array's facts; zero at load.
struct CommonData {
    unsigned char ucaBoxID[ZRK_BOXID_LEN]; // own BoxID, or the partner's after a swap
    unsigned char ucaMaxSes[2];            // MaxSessionInAllOlu, big-endian
    unsigned char ucRemoteSupport;         // remote-support byte
};
CommonData gCommon;

void LogCommon(const char *when) {
    WriteLog(1, gCommon.ucaBoxID, sizeof gCommon.ucaBoxID,
             " commonData %s MaxSes[%d] RemoteSupport[0x%x] BoxID", when,
             static_cast<int>(Be16(gCommon.ucaMaxSes)), gCommon.ucRemoteSupport);
}

}  // namespace

// ---- the common data -----------------------------------------------------------------

extern "C" void CtrlCommonData(void *buffer, unsigned int operation) {
    LogCommon("before");
    auto *bytes = static_cast<unsigned char *>(buffer);
    switch (operation) {
    case ZRK_COMMON_CLEAR_BOXID:
        std::memset(gCommon.ucaBoxID, 0, sizeof gCommon.ucaBoxID);
        break;
    case ZRK_COMMON_GET_BOXID:
        if (bytes != nullptr) std::memcpy(bytes, gCommon.ucaBoxID, sizeof gCommon.ucaBoxID);
        break;
    case ZRK_COMMON_SET_BOXID:
        if (bytes != nullptr) std::memcpy(gCommon.ucaBoxID, bytes, sizeof gCommon.ucaBoxID);
        break;
    case ZRK_COMMON_CLEAR_MAXSES:
        std::memset(gCommon.ucaMaxSes, 0, sizeof gCommon.ucaMaxSes);
        break;
    case ZRK_COMMON_GET_MAXSES:
        if (bytes != nullptr) std::memcpy(bytes, gCommon.ucaMaxSes, sizeof gCommon.ucaMaxSes);
        break;
    case ZRK_COMMON_SET_MAXSES:
        if (bytes != nullptr) std::memcpy(gCommon.ucaMaxSes, bytes, sizeof gCommon.ucaMaxSes);
        break;
    case ZRK_COMMON_CLEAR_REMOTE:
        gCommon.ucRemoteSupport = 0;
        break;
    case ZRK_COMMON_GET_REMOTE:
        if (bytes != nullptr) *bytes = gCommon.ucRemoteSupport;
        break;
    case ZRK_COMMON_SET_REMOTE:
        if (bytes != nullptr) gCommon.ucRemoteSupport = *bytes;
        break;
    default:
        break;
    }
    LogCommon("after");
}

// ---- the page builders ----------------------------------------------------------------

extern "C" void MakePrmFromCopyReqForLv(unsigned char pageCode, const unsigned char *sessionId,
                                        unsigned char engineKind, const COPY_REQ_LV *request,
                                        const unsigned char *ownBoxId, unsigned int optionFlag,
                                        TVC_EXEC *page) {
    static constexpr const char kName[] = "MakePrmFromCopyReqForLv";
    WriteLog(1, nullptr, 0, "%s in", kName);
    if (request != nullptr) WriteLog(1, request, sizeof *request, "inputData COPY_REQ_LV");
    const uint16_t id = sessionId != nullptr ? Be16(sessionId) : 0;
    WriteLog(1, ownBoxId, ownBoxId != nullptr ? ZRK_BOXID_LEN : 0,
             "inputData PageCode[0x%x] SessionID[0x%x] CopyKind[0x%x] OptionFlag[0x%x] BoxID",
             pageCode, id, engineKind, optionFlag);
    if (page == nullptr) return;

    zrk::TvcExec x{};
    x.ucPageCode = pageCode;
    x.uhParamLength = ZRK_TVC_PARAM_LEN;
    if (request == nullptr) {
        // The roll-back of a start that the array refused.
        x.uhSessionId = id;
        x.ucCopyKind = engineKind == ZRK_ENGINE_VZ ? 2 : 1;
        *page = zrk::EncodeTvcExec(x);
        WriteLog(1, nullptr, 0, "%s out(NULL)", kName);
        return;
    }
    const zrk::CopyReqLv r = zrk::DecodeCopyReqLv(*request);
    const bool start = pageCode == ZRK_TVC_START;
    const bool monitor = (optionFlag & kOptMonitor) != 0;

    // A remote session is addressed by the partner's identifier from the
    // destination array's host.
    if (r.ucRemoteFlag == 0) {
        x.uhSessionId = id;
    } else if (ownBoxId != nullptr && SameBoxId(ownBoxId, r.ucaSrcBoxID)) {
        x.uhSessionId = id;
        x.ucModeFlags &= static_cast<uint8_t>(~ZRK_MODEFLAG_DEST_SIDE);
    } else {
        x.uhPartnerId = id;
        x.ucModeFlags |= ZRK_MODEFLAG_DEST_SIDE;
    }

    if (engineKind == ZRK_ENGINE_VZ)
        x.ucCopyKind = 2;
    else if ((engineKind == ZRK_ENGINE_SNAPKZP || engineKind == ZRK_ENGINE_SNAPKZPP) && start &&
             monitor)
        x.ucCopyKind = 3;
    else
        x.ucCopyKind = 1;

    if ((r.uiWholeVolumeFlag & 1) != 0) x.ucSessionFlags |= ZRK_SESFLAG_WHOLE_VOLUME;
    if ((r.ucRemoteFlag & 1) != 0) x.ucSessionFlags |= ZRK_SESFLAG_REMOTE;
    if (engineKind == ZRK_ENGINE_SNAPKZP && !monitor) x.ucSessionFlags |= ZRK_SESFLAG_SNAPKZP;
    if (engineKind == ZRK_ENGINE_QUICKKZP) x.ucSessionFlags |= ZRK_SESFLAG_QUICKKZP;
    if (engineKind == ZRK_ENGINE_SNAPKZPP && !monitor) x.ucSessionFlags |= ZRK_SESFLAG_SNAPKZP_P;

    if ((optionFlag & kOptDeleteMode) != 0 && start) x.ucStartFlags = 0x80;

    if (engineKind == ZRK_ENGINE_VZ && r.ucRemoteFlag == 1) {
        ModesFromOption(optionFlag, x);
        if ((optionFlag & kOptSkip) != 0) x.ucActionFlags |= kActSkip;
    }

    if (r.ucRemoteFlag != 0) {
        std::memcpy(x.ucaSrcBoxID, r.ucaSrcBoxID, ZRK_BOXID_LEN);
        std::memcpy(x.ucaDstBoxID, r.ucaDstBoxID, ZRK_BOXID_LEN);
    }
    x.uiSrcOlu = r.uiSrcOlu;
    x.uiDstOlu = r.uiDstOlu;
    if (r.uiWholeVolumeFlag == 0) x.uhExtentCnt = 1;

    if (start && engineKind == ZRK_ENGINE_VZ) {
        x.uhCopyInterval = static_cast<uint16_t>(r.uiCopyInterval);
        if ((optionFlag & kOptSecondary) != 0)
            x.ucSessionFlags = static_cast<uint8_t>((x.ucSessionFlags & ~ZRK_SESFLAG_SECONDARY) | 0x01);
    }
    if (r.uiWholeVolumeFlag == 0) {
        x.ullSrcExtent = static_cast<uint64_t>(r.uiSrcExtentHigh) << 32 | r.uiSrcExtentLow;
        x.ullSize = static_cast<uint64_t>(r.uiSrcSizeHigh) << 32 | r.uiSrcSizeLow;
        x.ullDstExtent = static_cast<uint64_t>(r.uiDstExtentHigh) << 32 | r.uiDstExtentLow;
    }
    *page = zrk::EncodeTvcExec(x);
    LogPage(kName, *page);
}

extern "C" void MakePrmFromDetailForLv(unsigned char pageCode, unsigned char engineKind,
                                       const TVC_DETAIL_INFO *detail, unsigned int optionFlag,
                                       TVC_EXEC *page) {
    static constexpr const char kName[] = "MakePrmFromDetailForLv";
    WriteLog(1, nullptr, 0, "%s in", kName);
    if (detail != nullptr) WriteLog(1, detail, sizeof *detail, "inputData TVC_DETAIL_INFO");
    WriteLog(1, nullptr, 0, "inputData PageCode[0x%x] CopyKind[0x%x] OptionFlag[0x%x]", pageCode,
             engineKind, optionFlag);
    if (page == nullptr || detail == nullptr) return;

    const zrk::TvcDetail d = zrk::DecodeTvcDetail(*detail);
    const bool remote = (d.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0;
    const bool vzChange = engineKind == ZRK_ENGINE_VZ && pageCode == ZRK_TVC_CHANGE;
    zrk::TvcExec x{};
    x.ucPageCode = pageCode;
    x.uhParamLength = ZRK_TVC_PARAM_LEN;
    x.uhSessionId = d.uhSessionId;
    x.uhPartnerId = d.uhPartnerId;
    x.ucCopyKind = d.ucCopyKind;
    x.ucSessionFlags = d.ucSessionFlags & static_cast<uint8_t>(~0x04u);
    x.ucModeFlags = d.ucModeFlags & ZRK_MODEFLAG_DEST_SIDE;

    if (pageCode == ZRK_TVC_SUSPEND && (optionFlag & kOptStackTimer) != 0) {
        x.ucOperationFlags |= kOpStackTimer;
        x.ucStackTimer = static_cast<uint8_t>(ZRKRVZ_stacktimer);
        WriteLog(1, nullptr, 0, "ZRKRVZ_stacktimer[0x%x]", static_cast<unsigned>(x.ucStackTimer));
    }
    if (vzChange && remote)
        ModesFromOption(optionFlag, x);
    else
        ModesFromDetail(d, x);

    if ((optionFlag & (kOptForce | kOptVirtualVolume)) != 0) x.ucOperationFlags |= kOpForce;
    if (pageCode == ZRK_TVC_RESUME && (optionFlag & kOptRemain) != 0) x.ucOperationFlags |= kOpRemain;

    if (engineKind == ZRK_ENGINE_QUICKKZP) {
        if ((optionFlag & kOptRestart) != 0) x.ucActionFlags |= kActRestart;
        if ((optionFlag & kOptStopTracking) != 0) x.ucActionFlags |= kActStopTracking;
    }
    x.ucActionFlags &= static_cast<uint8_t>(~kActSkip);

    if (vzChange) {
        if ((optionFlag & kOptReverse) != 0) {
            // A reverse always carries the session's current modes.
            x.ucActionFlags |= kActReverse;
            ModesFromDetail(d, x);
        } else if (remote) {
            x.ucActionFlags |= kActModeChange;
        }
    }

    std::memcpy(x.ucaSrcBoxID, d.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(x.ucaDstBoxID, d.ucaDstBoxID, ZRK_BOXID_LEN);
    x.uiSrcOlu = d.uiSrcOlu;
    x.uiDstOlu = d.uiDstOlu;
    x.uhExtentCnt = d.uhExtentCnt;
    x.ullSrcExtent = d.ullSrcExtent;
    x.ullSize = d.ullSrcSize;
    x.ullDstExtent = d.ullDstExtent;
    *page = zrk::EncodeTvcExec(x);
    LogPage(kName, *page);
}

// ---- the detail of one session ------------------------------------------------------------

extern "C" int GetSessionDetailInfoForLV(const char *volume, const unsigned char *sessionId,
                                         TVC_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "GetSessionDetailInfoForLV";
    InLine(1, kName, volume, __LINE__);
    if (sessionId == nullptr || detail == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(1, kName, volume, __LINE__);
    }
    unsigned char reply[ZRK_TVC_DETAIL_REPLY_LEN];
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_TVC_DETAIL, sessionId, reply, sizeof reply) != 0)
        return ErrLine(1, kName, volume, __LINE__);
    TVC_DETAIL_INFO record;
    std::memcpy(&record, reply + ZRK_PAGE_HEAD_LEN, sizeof record);
    if (record.Status == 0 || record.ucVolumeRole != 1) {
        WriteLog(1, nullptr, 0, "%s No Such Session [%s] [%d]", kName, LogText(volume), __LINE__);
        return -2;
    }
    *detail = record;
    return OkLine(1, kName, volume, __LINE__);
}

// ---- RVZ buffers and the large-volume volume information ----------------------------------

extern "C" int RVZBuffInfo(const char *volume, unsigned char **reply, int *length) {
    static constexpr const char kName[] = "RVZBuffInfo";
    InLine(2, kName, volume, __LINE__);
    if (CheckProduct(volume) != 0) return ErrLine(2, kName, volume, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    unsigned char remote = 0;
    if (GetSupportCopyInfo(volume, support, &remote) != 0) return ErrLine(2, kName, volume, __LINE__);
    if ((support[31] & 0x01) == 0 || (support[29] & 0x80) == 0) {
        ZRKerrno = ZRK_ERR_NOT_SUPPORT;
        return ErrLine(2, kName, volume, __LINE__);
    }
    if (GetRVZBuffInfo(volume, reply, length) != 0) return ErrLine(2, kName, volume, __LINE__);
    return OkLine(2, kName, volume, __LINE__);
}

extern "C" int GetVolumeInfoForLV(const char *volume, unsigned int optionFlag,
                                  VOLUME_INFO_RECORD_LV *record) {
    static constexpr const char kName[] = "GetVolumeInfoForLV";
    InLine(2, kName, volume, __LINE__);
    if (record == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(2, kName, volume, __LINE__);
    }
    if (GetExtentInfoForLV(volume, &record->uiExtent_high, &record->uiExtent_low,
                           &record->uiSize_high, &record->uiSize_low) != 0)
        return ErrLine(2, kName, volume, __LINE__);

    unsigned char lun[ZRK_LUN_INFO_LEN] = {};
    if (GetLunInformation(volume, lun) != 0) return ErrLine(2, kName, volume, __LINE__);
    const unsigned char *olu = lun + 8;
    record->uiOlu = Be16(olu);
    record->VolInfoEx = VOL_INFO_EX{};
    record->VolInfoEx.ucAttribute = lun[11];
    WriteLog(2, nullptr, 0, "GetVolumeInfoForLV OLU=<%d> [%s] [%d]", static_cast<int>(record->uiOlu),
             LogText(volume), __LINE__);

    std::memset(record->BoxID, 0, sizeof record->BoxID);
    CtrlCommonData(record->BoxID, ZRK_COMMON_GET_BOXID);

    VOL_INFO &info = record->VolInfo;
    info = VOL_INFO{};
    CtrlSupportData(info.ucaSupportData, ZRK_STORE_READ);
    const unsigned char *s = info.ucaSupportData;

    if (((s[23] | s[31]) & 0x01) != 0) {
        if (GetMaxSessionCount(volume, ZRK_PAGE_LOCAL_VZ_LIST, info.ucaVzMaxSession) != 0)
            return ErrLine(2, kName, volume, __LINE__);
        if ((s[29] & 0x80) != 0) {
            unsigned char *raw = nullptr;
            int length = 0;
            if (RVZBuffInfo(volume, &raw, &length) != 0) return ErrLine(2, kName, volume, __LINE__);
            const zrk::Buffer list(raw);
            if (length >= 16) {
                std::memcpy(info.ucaRvzBuffMax, list.get() + 8, 2);
                std::memcpy(info.ucaRvzBuffCur, list.get() + 10, 2);
                info.ucRvzBuffSupport = list[15];
            }
            WriteLog(2, nullptr, 0, "GetVolumeInfoForLV RVZMaxCnt(%d) : RVZCurrentCnt(%d) [%s] [%d]",
                     static_cast<int>(Be16(info.ucaRvzBuffMax)),
                     static_cast<int>(Be16(info.ucaRvzBuffCur)), LogText(volume), __LINE__);
        }
    }
    if (((s[7] | s[15]) & 0x01) != 0) {
        if (GetMaxSessionCount(volume, ZRK_PAGE_LOCAL_KZP_LIST, info.ucaKzpMaxSession) != 0)
            return ErrLine(2, kName, volume, __LINE__);
        if (((s[4] | s[12]) & 0x08) != 0) {
            unsigned char generation[ZRK_GENERATION_READ_LEN];
            if (ExecTravoIn(volume, 0x01, ZRK_PAGE_GENERATION, olu, generation,
                            sizeof generation) != 0)
                return ErrLine(2, kName, volume, __LINE__);
            std::memcpy(info.ucaMaxGeneration, generation + 14, 2);
            WriteLog(2, nullptr, 0, "Max Generation Count : %d [%d]",
                     static_cast<int>(Be16(info.ucaMaxGeneration)), __LINE__);
        }
    }
    info.ucStorageCluster = ZRKstorage_cluster;
    info.ucStorageClusterGroup = ZRKstorage_clustergroup;

    // On a storage-cluster secondary, name the volume as the partner knows it.
    if ((optionFlag & kOptNoClusterSwap) == 0 && ZRKstorage_cluster == ZRK_ROLE_SECONDARY) {
        unsigned char bytes[sizeof(DETAIL_LIST_INFO)] = {};
        if (GetTfoSession(volume, olu, record->BoxID, bytes) != 0)
            return ErrLine(2, kName, volume, __LINE__);
        DETAIL_LIST_INFO raw;
        std::memcpy(&raw, bytes, sizeof raw);
        const zrk::DetailEntry entry = zrk::DecodeDetailEntry(raw);
        if (SameBoxId(record->BoxID, entry.ucaSrcBoxID)) {
            record->uiOlu = entry.uiDstOlu;
            std::memcpy(record->BoxID, entry.ucaDstBoxID, ZRK_BOXID_LEN);
        } else {
            record->uiOlu = entry.uiSrcOlu;
            std::memcpy(record->BoxID, entry.ucaSrcBoxID, ZRK_BOXID_LEN);
        }
    }
    return OkLine(2, kName, volume, __LINE__);
}
