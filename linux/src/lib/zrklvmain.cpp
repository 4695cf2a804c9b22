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

using namespace zrk;

namespace zrk {

// ---- TVC_DETAIL_INFO ---------------------------------------------------------------

namespace {

struct TvcDetailMap {
    template <class Way, class Wire, class Host> static void Walk(Wire &w, Host &h) {
        Way::Be(w.ucaSessionID, h.uhSessionId);
        Way::Be(w.ucaPartnerID, h.uhPartnerId);
        Way::Copy(w.ucCopyKind, h.ucCopyKind);
        Way::Copy(w.ucaState5, h.ucaState5);
        Way::Copy(w.ucaReserved8, h.ucaReserved8);
        Way::Copy(w.ucSessionFlags, h.ucSessionFlags);
        Way::Copy(w.ucReserved13, h.ucReserved13);
        Way::Copy(w.ucModeFlags, h.ucModeFlags);
        Way::Copy(w.ucTransferMode, h.ucTransferMode);
        Way::Copy(w.ucModeChange, h.ucModeChange);
        Way::Copy(w.ucVolumeRole, h.ucVolumeRole);
        Way::Copy(w.Phase, h.ucPhase);
        Way::Copy(w.Status, h.ucStatus);
        Way::Copy(w.ucState20, h.ucState20);
        Way::Copy(w.ucState21, h.ucState21);
        Way::Copy(w.ucState22, h.ucState22);
        Way::Copy(w.ucState23, h.ucState23);
        Way::Copy(w.SrcBoxID, h.ucaSrcBoxID);
        Way::Copy(w.ucaReserved64, h.ucaReserved64);
        Way::Copy(w.DstBoxID, h.ucaDstBoxID);
        Way::Copy(w.ucaReserved112, h.ucaReserved112);
        Way::Be(w.SrcOlu, h.uiSrcOlu);
        Way::Be(w.DstOlu, h.uiDstOlu);
        Way::Be(w.ucaExtentCnt, h.uhExtentCnt);
        Way::Copy(w.ucState130, h.ucState130);
        Way::Copy(w.ucState131, h.ucState131);
        Way::Be(w.ucaLapseTime, h.uiLapseTime);
        Way::Be(w.CopiedBlock_high, h.ullCopiedBlock);
        Way::Copy(w.ucaTail144, h.ucaTail144);
        Way::Be(w.SrcExtent_high, h.ullSrcExtent);
        Way::Be(w.SrcSize_high, h.ullSrcSize);
        Way::Be(w.DstExtent_high, h.ullDstExtent);
        Way::Copy(w.ucaReserved176, h.ucaReserved176);
    }
};

struct CopyReqLvMap {
    template <class Way, class Wire, class Host> static void Walk(Wire &w, Host &h) {
        Way::Copy(w.SrcBoxID, h.ucaSrcBoxID);
        Way::Copy(w.DstBoxID, h.ucaDstBoxID);
        Way::Be(w.SrcOlu, h.uiSrcOlu);
        Way::Be(w.DstOlu, h.uiDstOlu);
        Way::Copy(w.WholeVolumeFlag, h.uiWholeVolumeFlag);
        Way::Be(w.SrcExtent_high, h.uiSrcExtentHigh);
        Way::Be(w.SrcExtent_low, h.uiSrcExtentLow);
        Way::Be(w.DstExtent_high, h.uiDstExtentHigh);
        Way::Be(w.DstExtent_low, h.uiDstExtentLow);
        Way::Be(w.SrcSize_high, h.uiSrcSizeHigh);
        Way::Be(w.SrcSize_low, h.uiSrcSizeLow);
        Way::Be(w.CopyInterval, h.uiCopyInterval);
        Way::Copy(w.RemoteFlag, h.ucRemoteFlag);
        Way::Copy(w.ucVolumeRole, h.ucVolumeRole);
        Way::Copy(w.ucaReserved122, h.ucaReserved122);
    }
};

struct TvcExecMap {
    template <class Way, class Wire, class Host> static void Walk(Wire &w, Host &h) {
        Way::Copy(w.ucPageCode, h.ucPageCode);
        Way::Copy(w.ucaReserved1, h.ucaReserved1);
        Way::Be(w.ucaParamLength, h.uhParamLength);
        Way::Be(w.ucaSessionID, h.uhSessionId);
        Way::Be(w.ucaPartnerID, h.uhPartnerId);
        Way::Copy(w.ucCopyKind, h.ucCopyKind);
        Way::Copy(w.ucaReserved13, h.ucaReserved13);
        Way::Copy(w.ucSessionFlags, h.ucSessionFlags);
        Way::Copy(w.ucStartFlags, h.ucStartFlags);
        Way::Copy(w.ucModeFlags, h.ucModeFlags);
        Way::Copy(w.ucTransferMode, h.ucTransferMode);
        Way::Copy(w.ucOperationFlags, h.ucOperationFlags);
        Way::Copy(w.ucActionFlags, h.ucActionFlags);
        Way::Copy(w.ucReserved26, h.ucReserved26);
        Way::Copy(w.ucStackTimer, h.ucStackTimer);
        Way::Copy(w.ucaReserved28, h.ucaReserved28);
        Way::Copy(w.SrcBoxID, h.ucaSrcBoxID);
        Way::Copy(w.ucaReserved72, h.ucaReserved72);
        Way::Copy(w.DstBoxID, h.ucaDstBoxID);
        Way::Copy(w.ucaReserved120, h.ucaReserved120);
        Way::Be(w.SrcOlu, h.uiSrcOlu);
        Way::Be(w.DstOlu, h.uiDstOlu);
        Way::Be(w.ucaExtentCnt, h.uhExtentCnt);
        Way::Be(w.ucaCopyInterval, h.uhCopyInterval);
        Way::Copy(w.ucaReserved140, h.ucaReserved140);
        Way::Be(w.ucaSrcExtent, h.ullSrcExtent);
        Way::Be(w.ucaSize, h.ullSize);
        Way::Be(w.ucaDstExtent, h.ullDstExtent);
        Way::Copy(w.ucaReserved184, h.ucaReserved184);
    }
};

}  // namespace

TvcDetail DecodeTvcDetail(const TVC_DETAIL_INFO &in) { return DecodeWith<TvcDetailMap, TvcDetail>(in); }
TVC_DETAIL_INFO EncodeTvcDetail(const TvcDetail &in) {
    return EncodeWith<TvcDetailMap, TVC_DETAIL_INFO>(in);
}

CopyReqLv DecodeCopyReqLv(const COPY_REQ_LV &in) { return DecodeWith<CopyReqLvMap, CopyReqLv>(in); }
COPY_REQ_LV EncodeCopyReqLv(const CopyReqLv &in) { return EncodeWith<CopyReqLvMap, COPY_REQ_LV>(in); }

TvcExec DecodeTvcExec(const TVC_EXEC &in) { return DecodeWith<TvcExecMap, TvcExec>(in); }
TVC_EXEC EncodeTvcExec(const TvcExec &in) { return EncodeWith<TvcExecMap, TVC_EXEC>(in); }

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

}  // namespace zrk

namespace {

// The mode bits a page takes from the option word or from the session.
constexpr uint8_t kModeBits = ZRK_MODEFLAG_SYNC | ZRK_MODEFLAG_AUTO_SPLIT | ZRK_MODEFLAG_MANUAL_RCV;

// The mode flags and transfer mode that an option word asks for.
void ModesFromOption(unsigned int option, TvcExec &x) {
    if ((option & ZRK_OPT_SYNC) != 0) x.ucModeFlags |= ZRK_MODEFLAG_SYNC;
    if ((option & ZRK_OPT_AUTO_SPLIT) != 0) x.ucModeFlags |= ZRK_MODEFLAG_AUTO_SPLIT;
    if ((option & ZRK_OPT_MANUAL_RCV) != 0) x.ucModeFlags |= ZRK_MODEFLAG_MANUAL_RCV;
    if ((option & ZRK_OPT_STACK) != 0) x.ucTransferMode = 2;
    if ((option & ZRK_OPT_CONSISTENCY) != 0) x.ucTransferMode = 3;
}

// The session's own modes.
void ModesFromDetail(const TvcDetail &d, TvcExec &x) {
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

    TvcExec x{};
    x.ucPageCode = pageCode;
    x.uhParamLength = ZRK_TVC_PARAM_LEN;
    if (request == nullptr) {
        // The roll-back of a start that the array refused.
        x.uhSessionId = id;
        x.ucCopyKind = engineKind == ZRK_ENGINE_VZ ? 2 : 1;
        *page = EncodeTvcExec(x);
        WriteLog(1, nullptr, 0, "%s out(NULL)", kName);
        return;
    }
    const CopyReqLv r = DecodeCopyReqLv(*request);
    const bool start = pageCode == ZRK_TVC_START;
    const bool monitor = (optionFlag & ZRK_OPT_MONITOR) != 0;

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

    if ((optionFlag & ZRK_OPT_VVOL_DELETE) != 0 && start) x.ucStartFlags = 0x80;

    if (engineKind == ZRK_ENGINE_VZ && r.ucRemoteFlag == 1) {
        ModesFromOption(optionFlag, x);
        if ((optionFlag & ZRK_OPT_SKIP_COPY) != 0) x.ucActionFlags |= ZRK_TVC_ACT_SKIP;
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
        if ((optionFlag & ZRK_OPT_SECONDARY) != 0)
            x.ucSessionFlags = static_cast<uint8_t>((x.ucSessionFlags & ~ZRK_SESFLAG_SECONDARY) | 0x01);
    }
    if (r.uiWholeVolumeFlag == 0) {
        x.ullSrcExtent = static_cast<uint64_t>(r.uiSrcExtentHigh) << 32 | r.uiSrcExtentLow;
        x.ullSize = static_cast<uint64_t>(r.uiSrcSizeHigh) << 32 | r.uiSrcSizeLow;
        x.ullDstExtent = static_cast<uint64_t>(r.uiDstExtentHigh) << 32 | r.uiDstExtentLow;
    }
    *page = EncodeTvcExec(x);
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

    const TvcDetail d = DecodeTvcDetail(*detail);
    const bool remote = (d.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0;
    const bool vzChange = engineKind == ZRK_ENGINE_VZ && pageCode == ZRK_TVC_CHANGE;
    TvcExec x{};
    x.ucPageCode = pageCode;
    x.uhParamLength = ZRK_TVC_PARAM_LEN;
    x.uhSessionId = d.uhSessionId;
    x.uhPartnerId = d.uhPartnerId;
    x.ucCopyKind = d.ucCopyKind;
    x.ucSessionFlags = d.ucSessionFlags & static_cast<uint8_t>(~0x04u);
    x.ucModeFlags = d.ucModeFlags & ZRK_MODEFLAG_DEST_SIDE;

    if (pageCode == ZRK_TVC_SUSPEND && (optionFlag & ZRK_OPT_STACK_TIMER) != 0) {
        x.ucOperationFlags |= ZRK_TVC_OP_STACK_TIMER;
        x.ucStackTimer = static_cast<uint8_t>(ZRKRVZ_stacktimer);
        WriteLog(1, nullptr, 0, "ZRKRVZ_stacktimer[0x%x]", static_cast<unsigned>(x.ucStackTimer));
    }
    if (vzChange && remote)
        ModesFromOption(optionFlag, x);
    else
        ModesFromDetail(d, x);

    if ((optionFlag & (ZRK_OPT_FORCE | ZRK_OPT_VVOL)) != 0) x.ucOperationFlags |= ZRK_TVC_OP_FORCE;
    if (pageCode == ZRK_TVC_RESUME && (optionFlag & ZRK_OPT_REMAIN) != 0)
        x.ucOperationFlags |= ZRK_TVC_OP_REMAIN;

    if (engineKind == ZRK_ENGINE_QUICKKZP) {
        if ((optionFlag & ZRK_OPT_RESTART) != 0) x.ucActionFlags |= ZRK_TVC_ACT_RESTART;
        if ((optionFlag & ZRK_OPT_STOP_TRACKING) != 0) x.ucActionFlags |= ZRK_TVC_ACT_STOP_TRACKING;
    }
    x.ucActionFlags &= static_cast<uint8_t>(~ZRK_TVC_ACT_SKIP);

    if (vzChange) {
        if ((optionFlag & ZRK_OPT_REVERSE) != 0) {
            // A reverse always carries the session's current modes.
            x.ucActionFlags |= ZRK_TVC_ACT_REVERSE;
            ModesFromDetail(d, x);
        } else if (remote) {
            x.ucActionFlags |= ZRK_TVC_ACT_MODE_CHANGE;
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
    *page = EncodeTvcExec(x);
    LogPage(kName, *page);
}

// ---- the detail of one session ------------------------------------------------------------

extern "C" int GetSessionDetailInfoForLV(const char *volume, const unsigned char *sessionId,
                                         TVC_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "GetSessionDetailInfoForLV";
    LogIn(1, kName, volume, __LINE__);
    if (sessionId == nullptr || detail == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    unsigned char reply[ZRK_TVC_DETAIL_REPLY_LEN];
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_TVC_DETAIL, sessionId, reply, sizeof reply) != 0)
        return LogErr(1, kName, volume, __LINE__);
    TVC_DETAIL_INFO record;
    std::memcpy(&record, reply + ZRK_PAGE_HEAD_LEN, sizeof record);
    if (record.Status == 0 || record.ucVolumeRole != 1)
        return NoSuchSession(kName, volume, __LINE__);
    *detail = record;
    return LogOk(1, kName, volume, __LINE__);
}

// ---- RVZ buffers and the large-volume volume information ----------------------------------

extern "C" int RVZBuffInfo(const char *volume, unsigned char **reply, int *length) {
    static constexpr const char kName[] = "RVZBuffInfo";
    LogIn(2, kName, volume, __LINE__);
    if (CheckProduct(volume) != 0) return LogErr(2, kName, volume, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    unsigned char remote = 0;
    if (GetSupportCopyInfo(volume, support, &remote) != 0) return LogErr(2, kName, volume, __LINE__);
    const CopySupport s(support);
    if (!s.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND) ||
        !s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);
    if (GetRVZBuffInfo(volume, reply, length) != 0) return LogErr(2, kName, volume, __LINE__);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int GetVolumeInfoForLV(const char *volume, unsigned int optionFlag,
                                  VOLUME_INFO_RECORD_LV *record) {
    static constexpr const char kName[] = "GetVolumeInfoForLV";
    LogIn(2, kName, volume, __LINE__);
    if (record == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    if (GetExtentInfoForLV(volume, &record->uiExtent_high, &record->uiExtent_low,
                           &record->uiSize_high, &record->uiSize_low) != 0)
        return LogErr(2, kName, volume, __LINE__);

    unsigned char lun[ZRK_LUN_INFO_LEN] = {};
    if (GetLunInformation(volume, lun) != 0) return LogErr(2, kName, volume, __LINE__);
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
    const CopySupport s(info.ucaSupportData);

    if (s.AnyHas({ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_FLAGS_RVZ}, ZRK_SUPPORT_KIND)) {
        if (GetMaxSessionCount(volume, ZRK_PAGE_LOCAL_VZ_LIST, info.ucaVzMaxSession) != 0)
            return LogErr(2, kName, volume, __LINE__);
        if (s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS)) {
            unsigned char *raw = nullptr;
            int length = 0;
            if (RVZBuffInfo(volume, &raw, &length) != 0) return LogErr(2, kName, volume, __LINE__);
            const Buffer list(raw);
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
    if (s.AnyHas({ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_REMOTE_KZP}, ZRK_SUPPORT_KIND)) {
        if (GetMaxSessionCount(volume, ZRK_PAGE_LOCAL_KZP_LIST, info.ucaKzpMaxSession) != 0)
            return LogErr(2, kName, volume, __LINE__);
        if (s.AnyHas({ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_REMOTE_KZP_KINDS}, ZRK_SUPPORT_SNAP_P)) {
            unsigned char generation[ZRK_GENERATION_READ_LEN];
            if (ExecTravoIn(volume, 0x01, ZRK_PAGE_GENERATION, olu, generation,
                            sizeof generation) != 0)
                return LogErr(2, kName, volume, __LINE__);
            std::memcpy(info.ucaMaxGeneration, generation + 14, 2);
            WriteLog(2, nullptr, 0, "Max Generation Count : %d [%d]",
                     static_cast<int>(Be16(info.ucaMaxGeneration)), __LINE__);
        }
    }
    info.ucStorageCluster = ZRKstorage_cluster;
    info.ucStorageClusterGroup = ZRKstorage_clustergroup;

    // On a storage-cluster secondary, name the volume as the partner knows it.
    if ((optionFlag & ZRK_OPT_NO_SWAP) == 0 && ZRKstorage_cluster == ZRK_ROLE_SECONDARY) {
        unsigned char bytes[sizeof(DETAIL_LIST_INFO)] = {};
        if (GetTfoSession(volume, olu, record->BoxID, bytes) != 0)
            return LogErr(2, kName, volume, __LINE__);
        DETAIL_LIST_INFO raw;
        std::memcpy(&raw, bytes, sizeof raw);
        const DetailEntry entry = DecodeDetailEntry(raw);
        if (SameBoxId(record->BoxID, entry.ucaSrcBoxID)) {
            record->uiOlu = entry.uiDstOlu;
            std::memcpy(record->BoxID, entry.ucaDstBoxID, ZRK_BOXID_LEN);
        } else {
            record->uiOlu = entry.uiSrcOlu;
            std::memcpy(record->BoxID, entry.ucaSrcBoxID, ZRK_BOXID_LEN);
        }
    }
    return LogOk(2, kName, volume, __LINE__);
}
