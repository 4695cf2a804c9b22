// The large-volume public functions of the point-in-time copies: KZP,
// QuickKZP (with its restart and the stop of its tracking), SnapKZP and the
// copy monitor, and SnapKZP+ with its generations and its snap data pool.
//
// They follow the frame of the VZ family (zrklvapi.cpp): common frame and
// pair check, the function's own option rules, the request (full pair, or
// the session identifier in SrcOlu with option 0x4), one page-based
// operation. A point-in-time copy takes no copy interval: it is logged as
// given and 0 goes to the check and the request. The SnapKZP+ functions are
// served by the page-based engine alone; the other functions would need the
// classic operations on arrays without it, which this library does not
// drive, so those branches end in "not support." after every check.
#include "zrkcmulti.h"
#include "zrkframe.h"
#include "zrktvc.h"

#include <cstring>

namespace {

using zrk::ApiCall;
using zrk::LvPair;

// Option masks of the functions.
constexpr uint32_t kOptOffload = 0x80000u;    // KZP stop and detail query: passed on
constexpr uint32_t kOptVirtualVol = 0x1000000u; // KZP stop of a virtual-volume session
constexpr uint32_t kStartKzpMask = 0;
constexpr uint32_t kStopKzpMask =
    ZRK_OPT_FORCE | ZRK_OPT_SESSION_ID | kOptOffload | kOptVirtualVol;        // 0x1080006
constexpr uint32_t kStartQuickMask = ZRK_OPT_RESTART | ZRK_OPT_VVOL_DELETE;   // 0x2002000
constexpr uint32_t kStopQuickMask =
    ZRK_OPT_FORCE | ZRK_OPT_SESSION_ID | ZRK_OPT_STOP_TRACKING;               // 0x4006
constexpr uint32_t kStartSnapMask = ZRK_OPT_MONITOR;                          // 0x8000
constexpr uint32_t kStopSnapMask = ZRK_OPT_MONITOR | ZRK_OPT_SESSION_ID;      // 0x8004
constexpr uint32_t kStartSnapPMask = ZRK_OPT_MONITOR | ZRK_OPT_VVOL_DELETE;   // 0x2008000
constexpr uint32_t kStopSnapPMask = kStopSnapMask | ZRK_OPT_FORCE;            // 0x8006
constexpr uint32_t kQueryMask = ZRK_OPT_SESSION_ID;                           // 0x4
constexpr uint32_t kDetailMask = kOptOffload;                                 // 0x80000

constexpr int kSnapInfoDumpLen = 16;  // the caller's SnapDetailInfo area
constexpr unsigned char kStatusActive = 2;

int Refuse(int code) {
    ZRKerrno = code;
    return -1;
}

// A QuickKZP stop ends the session (force) or only its tracking: one of them.
int StopQuickRules(uint32_t option) {
    const uint32_t how = option & (ZRK_OPT_FORCE | ZRK_OPT_STOP_TRACKING);
    if (how != ZRK_OPT_FORCE && how != ZRK_OPT_STOP_TRACKING) return Refuse(ZRK_ERR_OPTION);
    return 0;
}

// A copy monitor session is not stopped by force.
int StopSnapPRules(uint32_t option) {
    if ((option & ZRK_OPT_MONITOR) != 0 && (option & ZRK_OPT_FORCE) != 0)
        return Refuse(ZRK_ERR_OPTION);
    return 0;
}

using TvcOperation = int (*)(const char *, unsigned char, unsigned int, const COPY_REQ_LV *);

// One session-changing function of the family.
struct Control {
    const char *pName;            // public name, in every log line
    uint32_t uiMask;              // option bits it accepts
    int (*pfnRules)(uint32_t);    // option rules right after the common check, or null
    bool bLocalOnly;              // a pair between two arrays: 17
    uint32_t uiRemoteOnly;        // bits refused (37) on a pair inside one array
    bool bStart;                  // logs the new session's identifier
    unsigned char ucEngineKind;   // engine kind of the page-based operation
    TvcOperation pfnTvc;          // the page-based operation
    const char *pClassic;         // the classic operation, or null: page-based only
};

constexpr Control kStartKzp{"ZRKLVStartKZP", kStartKzpMask, nullptr, false, 0, true,
                            ZRK_ENGINE_KZP, StartTvc, "StartKzp"};
constexpr Control kStopKzp{"ZRKLVStopKZP", kStopKzpMask, nullptr, false, ZRK_OPT_FORCE, false,
                           ZRK_ENGINE_KZP, StopTvc, "StopKzp"};
constexpr Control kStartQuick{"ZRKLVStartQuickKZP", kStartQuickMask, nullptr, true, 0, true,
                              ZRK_ENGINE_KZP, StartQuickTvc, "StartDiffKzp"};
constexpr Control kStopQuick{"ZRKLVStopQuickKZP", kStopQuickMask, StopQuickRules, true, 0,
                             false, ZRK_ENGINE_KZP, StopQuickTvc, "StopDiffKzp"};
constexpr Control kStartSnap{"ZRKLVStartSnapKZP", kStartSnapMask, nullptr, true, 0, true,
                             ZRK_ENGINE_KZP, StartSnapTvc, "StartSnapKzp"};
constexpr Control kStopSnap{"ZRKLVStopSnapKZP", kStopSnapMask, nullptr, true, 0, false,
                            ZRK_ENGINE_KZP, StopSnapTvc, "StopSnapKzp"};
constexpr Control kStartSnapP{"ZRKLVStartSnapKZP_p", kStartSnapPMask, nullptr, true, 0, true,
                              ZRK_ENGINE_SNAPKZPP, StartSnapTvc, nullptr};
constexpr Control kStopSnapP{"ZRKLVStopSnapKZP_p", kStopSnapPMask, StopSnapPRules, true, 0,
                             false, ZRK_ENGINE_SNAPKZPP, StopSnapTvc, nullptr};

// The request of a pair function: the session-identifier form (no copy
// interval), or the full pair. RemoteFlag of the built request decides the
// locality tests; the identifier form has none.
struct Requests {
    COPY_REQ_LV lv;      // page-based path
    COPY_REQ classic;    // classic path
    bool bById;          // the identifier form
    bool bRemote;        // RemoteFlag of the built request
};
Requests BuildRequests(const LvPair &pair, uint32_t option, bool useTvc) {
    Requests r{};
    r.bById = (option & ZRK_OPT_SESSION_ID) != 0;
    if (useTvc) {
        if (r.bById) {
            zrk::MakeLvSessionRequest(pair.uiSrcOlu, false, 0, &r.lv);
        } else {
            zrk::MakeLvRequest(pair, &r.lv);
        }
        r.bRemote = r.lv.RemoteFlag != 0;
    } else {
        if (r.bById) {
            zrk::MakeClassicSessionRequest(pair.uiSrcOlu, false, 0, &r.classic);
        } else {
            zrk::MakeClassicRequest(pair, &r.classic);
        }
        r.bRemote = r.classic.RemoteFlag != 0;
    }
    return r;
}

// The locality tests of a built request: 17 for a pair between two arrays
// where only pairs inside one are served, 37 for a remote-only option on a
// pair inside one array.
int LocalityTests(const Requests &r, uint32_t option, bool localOnly, uint32_t remoteOnly) {
    if (r.bById) return 0;
    if (localOnly && r.bRemote) return Refuse(ZRK_ERR_NOT_SUPPORT);
    if (!r.bRemote && (option & remoteOnly) != 0) return Refuse(ZRK_ERR_OPTION);
    return 0;
}

// The pair with the copy interval that a point-in-time copy sends: none.
LvPair WithoutInterval(LvPair pair) {
    pair.uiCopyInterval = 0;
    return pair;
}

int RunControl(const Control &op, const char *volume, const LvPair &given, uint32_t option,
               unsigned char *sense) {
    ApiCall call(op.pName, volume, sense, __LINE__);
    zrk::LogLvPair(op.pName, volume, option, given);
    const LvPair pair = WithoutInterval(given);

    int useTvc = 0;
    if (zrk::CheckLvPair(volume, pair, option, op.uiMask, &useTvc) != 0) return call.Fail(__LINE__);
    if (op.pfnRules != nullptr && op.pfnRules(option) != 0) return call.Fail(__LINE__);
    // The SnapKZP+ functions go to the page-based engine whatever the array
    // announces; it refuses what the array cannot do.
    const bool tvc = useTvc != 0 || op.pClassic == nullptr;

    const Requests r = BuildRequests(pair, option, tvc);
    if (LocalityTests(r, option, op.bLocalOnly, op.uiRemoteOnly) != 0) return call.Fail(__LINE__);
    if (!tvc) {
        zrk::ClassicEngineUnavailable(op.pClassic, volume, __LINE__);
        return call.Fail(__LINE__);
    }
    if (op.pfnTvc(volume, op.ucEngineKind, option, &r.lv) != 0) return call.Fail(__LINE__);

    zrk::ReleaseDevice();
    if (op.bStart) WriteLog(2, nullptr, 0, "SessionID=<%d>", ZRKsessionid);
    return call.Done(__LINE__);
}

// The KZP-family session of a pair (ZRKLVQueryKZP, ZRKLVQueryKZPDetail):
// checks, the QM family refused, then the page-based query with the failover
// conversion comparing the request's BoxIDs. A missing output area is
// refused once the pair has passed its check.
int QueryPair(const char *volume, const LvPair &pair, uint32_t option, uint32_t mask,
              bool haveOutputs, const char *classic, TVC_DETAIL_INFO *detail) {
    int useTvc = 0;
    if (zrk::CheckLvPair(volume, pair, option, mask, &useTvc) != 0) return -1;
    if (ZRKstorageflg == 1) return Refuse(ZRK_ERR_NOT_SUPPORT);
    if (!haveOutputs) return Refuse(ZRK_ERR_PARAMETER);
    const Requests r = BuildRequests(pair, option, useTvc != 0);
    if (useTvc == 0) return zrk::ClassicEngineUnavailable(classic, volume, __LINE__);
    ConvertCheckflg = ZRK_CONVERT_MATCHING;
    std::memset(detail, 0, sizeof *detail);
    return QueryTvc(volume, ZRK_ENGINE_KZP, option, &r.lv, detail);
}

} // namespace


// ---- starts and stops ----------------------------------------------------------------

ZRK_CONTROL_FUNCTION(ZRKLVStartKZP, kStartKzp)
ZRK_CONTROL_FUNCTION(ZRKLVStopKZP, kStopKzp)
ZRK_CONTROL_FUNCTION(ZRKLVStartQuickKZP, kStartQuick)
ZRK_CONTROL_FUNCTION(ZRKLVStopQuickKZP, kStopQuick)
ZRK_CONTROL_FUNCTION(ZRKLVStartSnapKZP, kStartSnap)
ZRK_CONTROL_FUNCTION(ZRKLVStopSnapKZP, kStopSnap)
ZRK_CONTROL_FUNCTION(ZRKLVStartSnapKZP_p, kStartSnapP)
ZRK_CONTROL_FUNCTION(ZRKLVStopSnapKZP_p, kStopSnapP)

// ---- queries -----------------------------------------------------------------------------

extern "C" int ZRKLVQueryKZP(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                             uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                             uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                             uint32_t DstOlu, uint32_t DstExtent_high, uint32_t DstExtent_low,
                             uint32_t CopyInterval, uint32_t OptionFlag, uint32_t *Status,
                             uint32_t *CopiedBlock_high, uint32_t *CopiedBlock_low,
                             uint32_t *LapseTime, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVQueryKZP";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    const LvPair given = ZRK_LV_PAIR;
    zrk::LogLvPair(kName, LogicalVol, OptionFlag, given);

    const bool haveOutputs = Status != nullptr && CopiedBlock_high != nullptr &&
                             CopiedBlock_low != nullptr && LapseTime != nullptr;
    TVC_DETAIL_INFO detail{};
    if (QueryPair(LogicalVol, WithoutInterval(given), OptionFlag, kQueryMask, haveOutputs,
                  "QueryDetail", &detail) != 0)
        return call.Fail(__LINE__);
    *Status = detail.Status;
    *CopiedBlock_high = zrk::Be32(detail.CopiedBlock_high);
    *CopiedBlock_low = zrk::Be32(detail.CopiedBlock_low);
    *LapseTime = zrk::Be32(detail.ucaLapseTime);
    WriteLog(2, nullptr, 0,
             "Status=<0x%x> : LapseTime=<0x%x> : CopiedBlock_high=<0x%x> : "
             "CopiedBlock_low=<0x%x>",
             *Status, *LapseTime, *CopiedBlock_high, *CopiedBlock_low);
    return call.Done(__LINE__);
}

extern "C" int ZRKLVQueryKZPDetail(const char *LogicalVol, const char *SrcBoxID,
                                   uint32_t SrcOlu, uint32_t SrcExtent_high,
                                   uint32_t SrcExtent_low, uint32_t SrcSize_high,
                                   uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                                   uint32_t DstExtent_high, uint32_t DstExtent_low,
                                   uint32_t CopyInterval, uint32_t OptionFlag,
                                   unsigned char *Detail, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVQueryKZPDetail";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    const LvPair given = ZRK_LV_PAIR;
    zrk::LogLvPair(kName, LogicalVol, OptionFlag, given);

    TVC_DETAIL_INFO detail{};
    if (QueryPair(LogicalVol, WithoutInterval(given), OptionFlag, kDetailMask,
                  Detail != nullptr, "QueryDetail", &detail) != 0)
        return call.Fail(__LINE__);
    zrk::FillDetailArea(Detail, detail);
    return call.Done(__LINE__, 0, Detail, zrk::kDetailAreaLen);
}

extern "C" int ZRKLVQueryKZPSession(const char *LogicalVol, uint32_t SessionID,
                                    uint32_t OptionFlag, unsigned char *Detail,
                                    unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVQueryKZPSession";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    WriteLog(8, nullptr, 0, "%s()  LogicalVol=[%s] : OptionFlag=<0x%x>", kName,
             zrk::LogText(LogicalVol), OptionFlag);
    WriteLog(8, nullptr, 0, "SessionID=<%u>", SessionID);

    // The function works by identifier inside, but takes no option bit.
    if (zrk::OptionCheck(OptionFlag, 0) != 0) return call.Reject(__LINE__);
    int useTvc = 0;
    if (zrkCheckParam_main(LogicalVol, nullptr, SessionID, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
                           ZRK_OPT_SESSION_ID, ZRK_OPT_SESSION_ID, &useTvc) != 0)
        return call.Fail(__LINE__);
    if (ZRKstorageflg == 1) {
        ZRKerrno = ZRK_ERR_NOT_SUPPORT;
        return call.Fail(__LINE__);
    }
    if (Detail == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return call.Fail(__LINE__);
    }
    if (useTvc == 0) {
        zrk::ClassicEngineUnavailable("QueryDetail", LogicalVol, __LINE__);
        return call.Fail(__LINE__);
    }

    unsigned char id[2];
    zrk::PutBe16(id, static_cast<uint16_t>(SessionID));
    TVC_DETAIL_INFO detail{};
    const int found = GetSessionDetailInfoForLV(LogicalVol, id, &detail);
    if (found == -2) {
        WriteLog(2, nullptr, 0, "%s No Such Session [%s] [%d]", kName, zrk::LogText(LogicalVol),
                 __LINE__);
        ZRKerrno = ZRK_ERR_NO_SESSION;
        return call.Fail(__LINE__);
    }
    if (found != 0) return call.Fail(__LINE__);
    if (detail.ucCopyKind == ZRK_ENGINE_VZ) {
        ZRKerrno = ZRK_ERR_NO_SESSION;
        return call.Fail(__LINE__);
    }
    zrk::FillDetailArea(Detail, detail);
    return call.Done(__LINE__, 0, Detail, zrk::kDetailAreaLen);
}

// ---- SnapKZP+ generations and snap data pool -------------------------------------------

extern "C" int ZRKLVGeneraListSnapKZP_p(const char *LogicalVol, const char *SrcBoxID,
                                        uint32_t SrcOlu, uint32_t SrcExtent_high,
                                        uint32_t SrcExtent_low, uint32_t SrcSize_high,
                                        uint32_t SrcSize_low, uint32_t OptionFlag,
                                        unsigned char *SnapDetailList,
                                        unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVGeneraListSnapKZP_p";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    WriteLog(8, nullptr, 0, "%s()  LogicalVol=[%s] : OptionFlag=<0x%x>", kName,
             zrk::LogText(LogicalVol), OptionFlag);
    WriteLog(8, SrcBoxID, SrcBoxID != nullptr ? ZRK_BOXID_LEN : 0,
             "SrcOlu=<0x%x> : SrcExtent_high=<0x%x> : SrcExtent_low=<0x%x> : "
             "SrcSize_high=<0x%x> : SrcSize_low=<0x%x> : SrcBoxID",
             SrcOlu, SrcExtent_high, SrcExtent_low, SrcSize_high, SrcSize_low);

    if (zrkComInfoCheckSet(LogicalVol, OptionFlag, 0, nullptr) != 0) return call.Fail(__LINE__);
    if (CheckLogicalVol(LogicalVol) != 0) return call.Fail(__LINE__);
    int code = 0;
    if (SnapDetailList == nullptr) {
        code = ZRK_ERR_PARAMETER;
    } else if (SrcBoxID == nullptr) {
        code = ZRK_ERR_SRC_BOXID;
    } else if (SrcOlu >= 0x10000) {
        code = ZRK_ERR_SRC_OLU;
    } else if (SrcSize_high == 0 && SrcSize_low == 0 &&
               (SrcExtent_high != 0 || SrcExtent_low != 0)) {
        code = ZRK_ERR_SIZE;
    }
    if (code != 0) {
        ZRKerrno = code;
        return call.Fail(__LINE__);
    }

    // The source alone: no destination array, volume or extent.
    static constexpr char kNoBox[ZRK_BOXID_LEN] = {};
    COPY_REQ_LV request{};
    MakeReqForLV(&request, SrcBoxID, SrcOlu, SrcExtent_high, SrcExtent_low, SrcSize_high,
                 SrcSize_low, kNoBox, 0, 0, 0, 0);
    request.ucVolumeRole = 1;
    request.RemoteFlag = 0;
    if (GetGenerationList(LogicalVol, OptionFlag, &request, SnapDetailList) != 0)
        return call.Fail(__LINE__);

    const int generations = zrk::Be16(SnapDetailList);
    zrk::ReleaseDevice();
    WriteLog(2, SnapDetailList, generations * ZRK_SNAP_LIST_SLOT_LEN + ZRK_SNAP_LIST_HEAD_LEN,
             "OutputData (SnapDetailList)");
    return call.Done(__LINE__);
}

extern "C" int ZRKLVGeneraInfoSnapKZP_p(const char *LogicalVol, const char *SrcBoxID,
                                        uint32_t SrcOlu, uint32_t SrcExtent_high,
                                        uint32_t SrcExtent_low, uint32_t SrcSize_high,
                                        uint32_t SrcSize_low, const char *DstBoxID,
                                        uint32_t DstOlu, uint32_t DstExtent_high,
                                        uint32_t DstExtent_low, uint32_t CopyInterval,
                                        uint32_t OptionFlag, unsigned char *ucpSnapDetailInfo,
                                        unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVGeneraInfoSnapKZP_p";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    const LvPair given = ZRK_LV_PAIR;
    zrk::LogLvPair(kName, LogicalVol, OptionFlag, given);
    const LvPair pair = WithoutInterval(given);

    int useTvc = 0; // not read: the generations are a page-based function
    if (zrk::CheckLvPair(LogicalVol, pair, OptionFlag, kQueryMask, &useTvc) != 0)
        return call.Fail(__LINE__);
    if (ucpSnapDetailInfo == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return call.Fail(__LINE__);
    }
    const Requests r = BuildRequests(pair, OptionFlag, true);
    if (LocalityTests(r, OptionFlag, true, 0) != 0) return call.Fail(__LINE__);
    if (GetGenerationInfo(LogicalVol, OptionFlag, &r.lv, ucpSnapDetailInfo) != 0)
        return call.Fail(__LINE__);

    WriteLog(2, ucpSnapDetailInfo, kSnapInfoDumpLen, "OutputData (ucpSnapDetailInfo)");
    return call.Done(__LINE__);
}

extern "C" int ZRKLVPoolInfoSnapKZP_p(const char *LogicalVol, uint32_t OptionFlag,
                                      unsigned char *PoolInfo, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVPoolInfoSnapKZP_p";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    WriteLog(8, nullptr, 0, "%s()  LogicalVol=[%s] : OptionFlag=<0x%x>", kName,
             zrk::LogText(LogicalVol), OptionFlag);

    if (zrkComInfoCheckSet(LogicalVol, OptionFlag, 0, nullptr) != 0) return call.Fail(__LINE__);
    if (CheckLogicalVol(LogicalVol) != 0) return call.Fail(__LINE__);
    if (PoolInfo == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return call.Fail(__LINE__);
    }
    if (GetPoolInfo(LogicalVol, OptionFlag, PoolInfo) != 0) return call.Fail(__LINE__);

    WriteLog(2, PoolInfo, ZRK_POOL_INFO_LEN, "OutputData (PoolInfo)");
    return call.Done(__LINE__);
}

extern "C" int ZRKLVGetPoolExtSize(const char *LogicalVol, const char *SrcBoxID,
                                   uint32_t SrcOlu, uint32_t SrcExtent_high,
                                   uint32_t SrcExtent_low, uint32_t SrcSize_high,
                                   uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                                   uint32_t DstExtent_high, uint32_t DstExtent_low,
                                   uint32_t CopyInterval, uint32_t OptionFlag,
                                   unsigned char *PoolSizeInfo, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVGetPoolExtSize";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    // The one point-in-time function whose copy interval goes on as given.
    const LvPair pair = ZRK_LV_PAIR;
    zrk::LogLvPair(kName, LogicalVol, OptionFlag, pair);

    int useTvc = 0; // not read: the pool is a page-based function
    if (zrk::CheckLvPair(LogicalVol, pair, OptionFlag, kQueryMask, &useTvc) != 0)
        return call.Fail(__LINE__);
    if (PoolSizeInfo == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return call.Fail(__LINE__);
    }
    const Requests r = BuildRequests(pair, OptionFlag, true);
    if (LocalityTests(r, OptionFlag, true, 0) != 0) return call.Fail(__LINE__);

    ConvertCheckflg = ZRK_CONVERT_NEVER;
    TVC_DETAIL_INFO detail{};
    if (QueryTvc(LogicalVol, ZRK_ENGINE_KZP, OptionFlag, &r.lv, &detail) != 0)
        return call.Fail(__LINE__);
    if ((detail.ucSessionFlags & ZRK_SESFLAG_SNAPKZP_P) == 0) {
        ZRKerrno = ZRK_ERR_NO_SESSION;
        return call.Fail(__LINE__);
    }
    if (detail.Status != kStatusActive) {
        ZRKerrno = ZRK_ERR_SEQUENCE;
        return call.Fail(__LINE__);
    }
    if (GetPoolSizeInfo(LogicalVol, detail.ucaSessionID, PoolSizeInfo) != 0)
        return call.Fail(__LINE__);

    WriteLog(2, PoolSizeInfo, ZRK_POOL_INFO_LEN, "OutputData (PoolSizeInfo)");
    return call.Done(__LINE__);
}

#undef ZRK_CONTROL_FUNCTION
#undef ZRK_PAIR_ARGS
