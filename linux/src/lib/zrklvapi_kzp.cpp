// The large-volume public functions of the point-in-time copies: KZP,
// QuickKZP (with its restart and the stop of its tracking), SnapKZP and the
// copy monitor, and SnapKZP+ with its generations and its snap data pool.
//
// They are rows of the runner of zrklvrun.h like the VZ family
// (zrklvapi.cpp). A point-in-time copy takes no copy interval: it is logged
// as given and 0 goes to the check and the request. The SnapKZP+ functions
// are served by the page-based engine alone; the classic queries read the
// session through the classic detail query, which already answers in the
// page-based shape.
#include "zrkclassic.h"
#include "zrkcmulti.h"
#include "zrklvrun.h"
#include "zrktvc.h"

#include <cstring>

namespace {

using zrk::ApiCall;
using zrk::LvPair;
using zrk::LvRow;
using zrkplatform::FailWith;

// Option masks of the functions.
constexpr uint32_t kStartKzpMask = 0;
constexpr uint32_t kStopKzpMask =
    ZRK_OPT_FORCE | ZRK_OPT_SESSION_ID | ZRK_OPT_LIST_SEL_01 | ZRK_OPT_VVOL;  // 0x1080006
constexpr uint32_t kStartQuickMask = ZRK_OPT_RESTART | ZRK_OPT_VVOL_DELETE;   // 0x2002000
constexpr uint32_t kStopQuickMask =
    ZRK_OPT_FORCE | ZRK_OPT_SESSION_ID | ZRK_OPT_STOP_TRACKING;               // 0x4006
constexpr uint32_t kStartSnapMask = ZRK_OPT_MONITOR;                          // 0x8000
constexpr uint32_t kStopSnapMask = ZRK_OPT_MONITOR | ZRK_OPT_SESSION_ID;      // 0x8004
constexpr uint32_t kStartSnapPMask = ZRK_OPT_MONITOR | ZRK_OPT_VVOL_DELETE;   // 0x2008000
constexpr uint32_t kStopSnapPMask = kStopSnapMask | ZRK_OPT_FORCE;            // 0x8006
constexpr uint32_t kQueryMask = ZRK_OPT_SESSION_ID;                           // 0x4
constexpr uint32_t kDetailMask = ZRK_OPT_LIST_SEL_01;                         // 0x80000

constexpr int kSnapInfoDumpLen = 16;  // the caller's SnapDetailInfo area
constexpr unsigned char kStatusActive = 2;

// A QuickKZP stop ends the session (force) or only its tracking: one of them.
int StopQuickRules(uint32_t option, bool /*local*/) {
    const uint32_t how = option & (ZRK_OPT_FORCE | ZRK_OPT_STOP_TRACKING);
    if (how != ZRK_OPT_FORCE && how != ZRK_OPT_STOP_TRACKING) return FailWith(ZRK_ERR_OPTION);
    return 0;
}

// A copy monitor session is not stopped by force.
int StopSnapPRules(uint32_t option, bool /*local*/) {
    if ((option & ZRK_OPT_MONITOR) != 0 && (option & ZRK_OPT_FORCE) != 0)
        return FailWith(ZRK_ERR_OPTION);
    return 0;
}

// ---- the classic queries ------------------------------------------------------------------

// The point-in-time copy that the request names; a mirror is not one (21).
int ClassicKzpDetail(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                     TVC_DETAIL_INFO *detail) {
    if (QueryDetail(volume, optionFlag, request, detail) != 0) return -1;
    if (detail->ucCopyKind == ZRK_PRM_KIND_VZ) return FailWith(ZRK_ERR_NO_SESSION);
    return 0;
}

// Its state: the classic engine counts the copied blocks in 32 bits, so the
// high half is 0 whatever page the detail came from.
int ClassicKzpState(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                    TVC_DETAIL_INFO *detail) {
    if (ClassicKzpDetail(volume, optionFlag, request, detail) != 0) return -1;
    std::memset(detail->CopiedBlock_high, 0, sizeof detail->CopiedBlock_high);
    return 0;
}

// The session with this identifier, of any family (the runner refuses a
// mirror).
int ClassicKzpSession(const char *volume, uint32_t sessionId, TVC_DETAIL_INFO *detail) {
    COPY_REQ request{};
    zrk::MakeClassicSessionRequest(sessionId, false, 0, &request);
    return QueryDetail(volume, ZRK_OPT_SESSION_ID, &request, detail);
}

// ---- the table ------------------------------------------------------------------------

constexpr LvRow kStartKzp{.pName = "ZRKLVStartKZP", .uiMask = kStartKzpMask, .bNoInterval = true,
                          .bStart = true, .ucEngineKind = ZRK_ENGINE_KZP, .pfnTvc = StartTvc,
                          .pClassicName = "StartKzp", .pfnClassic = StartKzp};
constexpr LvRow kStopKzp{.pName = "ZRKLVStopKZP", .uiMask = kStopKzpMask, .bNoInterval = true,
                         .uiRemoteOnly = ZRK_OPT_FORCE, .ucEngineKind = ZRK_ENGINE_KZP,
                         .pfnTvc = StopTvc, .pClassicName = "StopKzp",
                         .pfnClassic = StopKzp};
constexpr LvRow kStartQuick{.pName = "ZRKLVStartQuickKZP", .uiMask = kStartQuickMask,
                            .bNoInterval = true, .bLocalOnly = true, .bStart = true,
                            .ucEngineKind = ZRK_ENGINE_KZP, .pfnTvc = StartQuickTvc,
                            .pClassicName = "StartDiffKzp", .pfnClassic = StartDiffKzp};
constexpr LvRow kStopQuick{.pName = "ZRKLVStopQuickKZP", .uiMask = kStopQuickMask,
                           .pfnRules = StopQuickRules, .bNoInterval = true, .bLocalOnly = true,
                           .ucEngineKind = ZRK_ENGINE_KZP, .pfnTvc = StopQuickTvc,
                           .pClassicName = "StopDiffKzp", .pfnClassic = StopDiffKzp};
constexpr LvRow kStartSnap{.pName = "ZRKLVStartSnapKZP", .uiMask = kStartSnapMask,
                           .bNoInterval = true, .bLocalOnly = true, .bStart = true,
                           .ucEngineKind = ZRK_ENGINE_KZP, .pfnTvc = StartSnapTvc,
                           .pClassicName = "StartSnapKzp", .pfnClassic = StartSnapKzp};
constexpr LvRow kStopSnap{.pName = "ZRKLVStopSnapKZP", .uiMask = kStopSnapMask,
                          .bNoInterval = true, .bLocalOnly = true,
                          .ucEngineKind = ZRK_ENGINE_KZP, .pfnTvc = StopSnapTvc,
                          .pClassicName = "StopSnapKzp", .pfnClassic = StopSnapKzp};
// The SnapKZP+ functions go to the page-based engine whatever the array
// announces; it refuses what the array cannot do.
constexpr LvRow kStartSnapP{.pName = "ZRKLVStartSnapKZP_p", .uiMask = kStartSnapPMask,
                            .bNoInterval = true, .bLocalOnly = true, .bStart = true,
                            .ucEngineKind = ZRK_ENGINE_SNAPKZPP, .pfnTvc = StartSnapTvc};
constexpr LvRow kStopSnapP{.pName = "ZRKLVStopSnapKZP_p", .uiMask = kStopSnapPMask,
                           .pfnRules = StopSnapPRules, .bNoInterval = true, .bLocalOnly = true,
                           .ucEngineKind = ZRK_ENGINE_SNAPKZPP, .pfnTvc = StopSnapTvc};
// The queries refuse the QM family.
constexpr LvRow kQuery{.pName = "ZRKLVQueryKZP", .uiMask = kQueryMask, .bNoInterval = true,
                       .bNoQm = true, .ucEngineKind = ZRK_ENGINE_KZP,
                       .pClassicName = "QueryDetail", .pfnClassicQuery = ClassicKzpState};
constexpr LvRow kQueryDetail{.pName = "ZRKLVQueryKZPDetail", .uiMask = kDetailMask,
                             .bNoInterval = true, .bNoQm = true, .ucEngineKind = ZRK_ENGINE_KZP,
                             .pClassicName = "QueryDetail", .pfnClassicQuery = ClassicKzpDetail};
constexpr LvRow kQuerySession{.pName = "ZRKLVQueryKZPSession", .bNoQm = true,
                              .ucEngineKind = ZRK_ENGINE_KZP, .pClassicName = "QueryDetail",
                              .pfnClassicSession = ClassicKzpSession};
// The generations and the pool of a SnapKZP+ session: pairs inside one array.
constexpr LvRow kGenerationInfo{.pName = "ZRKLVGeneraInfoSnapKZP_p", .uiMask = kQueryMask,
                                .bNoInterval = true, .bLocalOnly = true};
// The one point-in-time function whose copy interval goes on as given.
constexpr LvRow kPoolExtSize{.pName = "ZRKLVGetPoolExtSize", .uiMask = kQueryMask,
                             .bLocalOnly = true};

} // namespace

// ---- starts and stops ----------------------------------------------------------------

// A new KZP copy of the pair; its identifier is logged.
extern "C" int ZRKLVStartKZP(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                             unsigned char *SenseData) {
    return zrk::RunControl(kStartKzp, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// The end of a KZP copy; force only between two arrays.
extern "C" int ZRKLVStopKZP(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                            unsigned char *SenseData) {
    return zrk::RunControl(kStopKzp, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// A new QuickKZP copy inside one array, or its restart.
extern "C" int ZRKLVStartQuickKZP(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                                  unsigned char *SenseData) {
    return zrk::RunControl(kStartQuick, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// The end of a QuickKZP copy, or of its tracking alone.
extern "C" int ZRKLVStopQuickKZP(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                                 unsigned char *SenseData) {
    return zrk::RunControl(kStopQuick, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// A new SnapKZP copy inside one array, or a copy monitor.
extern "C" int ZRKLVStartSnapKZP(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                                 unsigned char *SenseData) {
    return zrk::RunControl(kStartSnap, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// The end of a SnapKZP copy or of a copy monitor.
extern "C" int ZRKLVStopSnapKZP(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                                unsigned char *SenseData) {
    return zrk::RunControl(kStopSnap, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// A new SnapKZP+ generation inside one array, or a copy monitor.
extern "C" int ZRKLVStartSnapKZP_p(const char *LogicalVol, ZRK_LV_PAIR_PARAMS,
                                   uint32_t OptionFlag, unsigned char *SenseData) {
    return zrk::RunControl(kStartSnapP, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// The end of a SnapKZP+ generation, or of a copy monitor (not by force).
extern "C" int ZRKLVStopSnapKZP_p(const char *LogicalVol, ZRK_LV_PAIR_PARAMS,
                                  uint32_t OptionFlag, unsigned char *SenseData) {
    return zrk::RunControl(kStopSnapP, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// ---- queries -----------------------------------------------------------------------------

extern "C" int ZRKLVQueryKZP(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                             uint32_t *Status, uint32_t *CopiedBlock_high,
                             uint32_t *CopiedBlock_low, uint32_t *LapseTime,
                             unsigned char *SenseData) {
    ApiCall call(kQuery.pName, LogicalVol, SenseData, __LINE__);
    const bool haveOutputs = Status != nullptr && CopiedBlock_high != nullptr &&
                             CopiedBlock_low != nullptr && LapseTime != nullptr;
    TVC_DETAIL_INFO detail{};
    if (zrk::QueryLvPair(kQuery, LogicalVol, ZRK_LV_PAIR, OptionFlag, haveOutputs, &detail) != 0)
        return call.FailAt(__LINE__);
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

extern "C" int ZRKLVQueryKZPDetail(const char *LogicalVol, ZRK_LV_PAIR_PARAMS,
                                   uint32_t OptionFlag, unsigned char *Detail,
                                   unsigned char *SenseData) {
    return zrk::RunDetailQuery(kQueryDetail, LogicalVol, ZRK_LV_PAIR, OptionFlag, Detail,
                               SenseData);
}

extern "C" int ZRKLVQueryKZPSession(const char *LogicalVol, uint32_t SessionID,
                                    uint32_t OptionFlag, unsigned char *Detail,
                                    unsigned char *SenseData) {
    return zrk::RunSessionQuery(kQuerySession, LogicalVol, SessionID, OptionFlag, Detail,
                                SenseData);
}

// ---- SnapKZP+ generations and snap data pool -------------------------------------------

namespace zrk {

int GenerationListWithin(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                         uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                         uint32_t SrcSize_low, uint32_t OptionFlag, unsigned char *SnapDetailList,
                         size_t room, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVGeneraListSnapKZP_p";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    // The source alone: no destination array, volume or extent.
    static constexpr char kNoBox[ZRK_BOXID_LEN] = {};
    const LvPair source{SrcBoxID, SrcOlu, SrcExtent_high, SrcExtent_low, SrcSize_high,
                        SrcSize_low, kNoBox, 0, 0, 0, 0};
    zrk::LogOptionLine(kName, LogicalVol, OptionFlag);
    zrk::LogLvSourceLine(source);

    if (zrkComInfoCheckSet(LogicalVol, OptionFlag, 0, nullptr) != 0) return call.FailAt(__LINE__);
    if (CheckLogicalVol(LogicalVol) != 0) return call.FailAt(__LINE__);
    int code = ZRK_ERR_NONE;
    if (SnapDetailList == nullptr) {
        code = ZRK_ERR_PARAMETER;
    } else if (SrcBoxID == nullptr) {
        code = ZRK_ERR_SRC_BOXID;
    } else if (SrcOlu >= zrk::kOluLimit) {
        code = ZRK_ERR_SRC_OLU;
    } else if (SrcSize_high == 0 && SrcSize_low == 0 &&
               (SrcExtent_high != 0 || SrcExtent_low != 0)) {
        code = ZRK_ERR_SIZE;
    }
    if (code != ZRK_ERR_NONE) {
        FailWith(code);
        return call.FailAt(__LINE__);
    }

    COPY_REQ_LV request{};
    MakeReqForLV(&request, SrcBoxID, SrcOlu, SrcExtent_high, SrcExtent_low, SrcSize_high,
                 SrcSize_low, kNoBox, 0, 0, 0, 0);
    request.ucVolumeRole = 1;
    request.RemoteFlag = 0;
    if (zrk::ReadGenerationList(LogicalVol, &request, SnapDetailList, room) != 0)
        return call.FailAt(__LINE__);

    const int generations = zrk::Be16(SnapDetailList);
    zrk::ReleaseDevice();
    WriteLog(2, SnapDetailList, generations * ZRK_SNAP_LIST_SLOT_LEN + ZRK_SNAP_LIST_HEAD_LEN,
             "OutputData (SnapDetailList)");
    return call.Done(__LINE__);
}

} // namespace zrk

extern "C" int ZRKLVGeneraListSnapKZP_p(const char *LogicalVol, const char *SrcBoxID,
                                        uint32_t SrcOlu, uint32_t SrcExtent_high,
                                        uint32_t SrcExtent_low, uint32_t SrcSize_high,
                                        uint32_t SrcSize_low, uint32_t OptionFlag,
                                        unsigned char *SnapDetailList,
                                        unsigned char *SenseData) {
    // The caller's area holds the volume's maximum generation count.
    return zrk::GenerationListWithin(LogicalVol, SrcBoxID, SrcOlu, SrcExtent_high, SrcExtent_low,
                                     SrcSize_high, SrcSize_low, OptionFlag, SnapDetailList,
                                     SIZE_MAX, SenseData);
}

extern "C" int ZRKLVGeneraInfoSnapKZP_p(const char *LogicalVol, ZRK_LV_PAIR_PARAMS,
                                        uint32_t OptionFlag, unsigned char *ucpSnapDetailInfo,
                                        unsigned char *SenseData) {
    ApiCall call(kGenerationInfo.pName, LogicalVol, SenseData, __LINE__);
    zrk::LvRequests requests;
    if (zrk::PrepareLvPair(kGenerationInfo, LogicalVol, ZRK_LV_PAIR, OptionFlag,
                           ucpSnapDetailInfo != nullptr, &requests) != 0)
        return call.FailAt(__LINE__);
    if (GetGenerationInfo(LogicalVol, OptionFlag, &requests.tLv, ucpSnapDetailInfo) != 0)
        return call.FailAt(__LINE__);

    WriteLog(2, ucpSnapDetailInfo, kSnapInfoDumpLen, "OutputData (ucpSnapDetailInfo)");
    return call.Done(__LINE__);
}

extern "C" int ZRKLVPoolInfoSnapKZP_p(const char *LogicalVol, uint32_t OptionFlag,
                                      unsigned char *PoolInfo, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVPoolInfoSnapKZP_p";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    zrk::LogOptionLine(kName, LogicalVol, OptionFlag);

    if (zrkComInfoCheckSet(LogicalVol, OptionFlag, 0, nullptr) != 0) return call.FailAt(__LINE__);
    if (CheckLogicalVol(LogicalVol) != 0) return call.FailAt(__LINE__);
    if (PoolInfo == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.FailAt(__LINE__);
    }
    if (GetPoolInfo(LogicalVol, OptionFlag, PoolInfo) != 0) return call.FailAt(__LINE__);

    WriteLog(2, PoolInfo, ZRK_POOL_INFO_LEN, "OutputData (PoolInfo)");
    return call.Done(__LINE__);
}

extern "C" int ZRKLVGetPoolExtSize(const char *LogicalVol, ZRK_LV_PAIR_PARAMS,
                                   uint32_t OptionFlag, unsigned char *PoolSizeInfo,
                                   unsigned char *SenseData) {
    ApiCall call(kPoolExtSize.pName, LogicalVol, SenseData, __LINE__);
    zrk::LvRequests requests;
    if (zrk::PrepareLvPair(kPoolExtSize, LogicalVol, ZRK_LV_PAIR, OptionFlag,
                           PoolSizeInfo != nullptr, &requests) != 0)
        return call.FailAt(__LINE__);

    ConvertCheckflg = ZRK_CONVERT_NEVER;
    TVC_DETAIL_INFO detail{};
    if (QueryTvc(LogicalVol, ZRK_ENGINE_KZP, OptionFlag, &requests.tLv, &detail) != 0)
        return call.FailAt(__LINE__);
    if ((detail.ucSessionFlags & ZRK_SESFLAG_SNAPKZP_P) == 0) {
        FailWith(ZRK_ERR_NO_SESSION);
        return call.FailAt(__LINE__);
    }
    if (detail.Status != kStatusActive) {
        FailWith(ZRK_ERR_SEQUENCE);
        return call.FailAt(__LINE__);
    }
    if (GetPoolSizeInfo(LogicalVol, detail.ucaSessionID, PoolSizeInfo) != 0)
        return call.FailAt(__LINE__);

    WriteLog(2, PoolSizeInfo, ZRK_POOL_INFO_LEN, "OutputData (PoolSizeInfo)");
    return call.Done(__LINE__);
}
