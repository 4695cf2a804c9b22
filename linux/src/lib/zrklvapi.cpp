// The large-volume public functions of the VZ family (VZ inside one array,
// RVZ between two): start, stop, suspend, resume and change of one session,
// the three queries, and the concurrent suspend of many sessions.
//
// Each pair function is one row of the table below, run by the runner of
// zrklvrun.h: the common frame and pair check choose the engine, the row's
// option rules follow, then the request and one operation of that engine.
// The classic VZ details come in their own record (RVZ_DETAIL_INFO) and are
// handed on in the page-based shape (DataconvRegTvc below).
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
constexpr uint32_t kStartMask = ZRK_OPT_SYNC | ZRK_OPT_SKIP_COPY | ZRK_OPT_AUTO_SPLIT |
                                ZRK_OPT_MANUAL_RCV | ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY |
                                ZRK_OPT_SECONDARY;                            // 0x20F60
constexpr uint32_t kStopMask = ZRK_OPT_FORCE | ZRK_OPT_SESSION_ID;            // 0x6
constexpr uint32_t kSuspendMask = kStopMask | ZRK_OPT_STACK_TIMER;            // 0x100006
constexpr uint32_t kResumeMask = ZRK_OPT_SESSION_ID | ZRK_OPT_REMAIN;         // 0x84
constexpr uint32_t kChangeMask = ZRK_OPT_SESSION_ID | ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT |
                                 ZRK_OPT_MANUAL_RCV | ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY |
                                 ZRK_OPT_REVERSE;                             // 0x1F24
constexpr uint32_t kQueryMask = ZRK_OPT_SESSION_ID;                           // 0x4
constexpr uint32_t kMultiSuspendMask = ZRK_OPT_UNTRANSFERRED;                 // 0x10

// The VZ family's mode rules, on the runner's locality.
int StartRules(uint32_t option, bool local) { return zrk::VzStartRules(option, !local); }
int ChangeRules(uint32_t option, bool local) { return zrk::VzChangeRules(option, !local); }

// ---- the classic queries -----------------------------------------------------------------

// The state of a mirror: status, phase and the copied blocks (32 bits) in
// their places of the detail record.
int ClassicVzState(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                   TVC_DETAIL_INFO *detail) {
    unsigned int state[3] = {}; // status, phase, copied blocks
    if (QueryVz(volume, optionFlag, request, state) != 0) return -1;
    detail->Status = static_cast<unsigned char>(state[0]);
    detail->Phase = static_cast<unsigned char>(state[1]);
    zrk::PutBe32(detail->CopiedBlock_low, state[2]);
    return 0;
}

// The detail of a mirror, completed by the array's own detail. The array
// names a mirror between two arrays by its second identifier on the side
// that uses that one.
int ClassicVzDetail(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                    TVC_DETAIL_INFO *detail) {
    RVZ_DETAIL_INFO classic{};
    if (QueryVzDetail(volume, optionFlag, request, &classic) != 0) return -1;
    zrk::DataconvRegTvc(classic, detail);
    constexpr unsigned kSecondInUse = ZRK_SESFLAG_REMOTE | ZRK_MODEFLAG_DEST_SIDE;
    const bool second = (classic.ucFlags & kSecondInUse) == kSecondInUse;
    const uint16_t id = zrk::Be16(second ? classic.ucaPartnerID : classic.ucaSessionID);
    return zrk::SupplementVzDetail(volume, id, detail);
}

// The detail of the mirror with this identifier, completed likewise.
int ClassicVzSession(const char *volume, uint32_t sessionId, TVC_DETAIL_INFO *detail) {
    RVZ_DETAIL_INFO classic{};
    if (QueryVzSession(volume, 0, static_cast<int>(sessionId), 1, &classic) != 0) return -1;
    zrk::DataconvRegTvc(classic, detail);
    return zrk::SupplementVzDetail(volume, static_cast<uint16_t>(sessionId), detail);
}

// The classic entry of a pair of a concurrent suspend: the low halves (the
// check of the pair has refused high ones).
CONC_SUS_PAIR ClassicSuspendEntry(const CONC_SUS_PAIR_LV &p) {
    CONC_SUS_PAIR e{};
    std::memcpy(e.SrcBoxID, p.SrcBoxID, ZRK_BOXID_LEN);
    e.SrcOlu = p.SrcOlu;
    e.SrcExtent = p.SrcExtent_low;
    e.SrcSize = p.SrcSize_low;
    std::memcpy(e.DstBoxID, p.DstBoxID, ZRK_BOXID_LEN);
    e.DstOlu = p.DstOlu;
    e.DstExtent = p.DstExtent_low;
    return e;
}

// The concurrent suspend on the classic engine, on copies of the entries.
int ClassicMultiSuspend(const char *volume, uint32_t optionFlag, int count,
                        const CONC_SUS_PAIR_LV *pairs, uint32_t *result) {
    zrk::Buffer area = zrk::AllocateZeroed(static_cast<size_t>(count) * sizeof(CONC_SUS_PAIR));
    if (!area) return -1;
    for (int i = 0; i < count; ++i) {
        const CONC_SUS_PAIR entry = ClassicSuspendEntry(pairs[i]);
        std::memcpy(area.get() + static_cast<size_t>(i) * sizeof entry, &entry, sizeof entry);
    }
    return MultiSuspendVz(volume, optionFlag, static_cast<unsigned int>(count),
                          reinterpret_cast<const CONC_SUS_PAIR *>(area.get()),
                          reinterpret_cast<unsigned char *>(result));
}

// ---- the table ------------------------------------------------------------------------

constexpr LvRow kStart{.pName = "ZRKLVStartVZ", .uiMask = kStartMask, .pfnRules = StartRules,
                       .bStart = true, .ucEngineKind = ZRK_ENGINE_VZ, .pfnTvc = StartTvc,
                       .pClassicName = "StartVz", .pfnClassic = StartVz};
constexpr LvRow kStop{.pName = "ZRKLVStopVZ", .uiMask = kStopMask, .ucEngineKind = ZRK_ENGINE_VZ,
                      .pfnTvc = StopTvc, .pClassicName = "StopVz", .pfnClassic = StopVz};
constexpr LvRow kSuspend{.pName = "ZRKLVSuspendVZ", .uiMask = kSuspendMask,
                         .bIntervalById = true, .uiRemoteOnly = ZRK_OPT_FORCE,
                         .ucEngineKind = ZRK_ENGINE_VZ, .pfnTvc = SuspendTvc,
                         .pClassicName = "SuspendVz", .pfnClassic = SuspendVz};
constexpr LvRow kResume{.pName = "ZRKLVResumeVZ", .uiMask = kResumeMask, .bIntervalById = true,
                        .uiRemoteOnly = ZRK_OPT_REMAIN, .ucEngineKind = ZRK_ENGINE_VZ,
                        .pfnTvc = ResumeTvc, .pClassicName = "ResumeVz",
                        .pfnClassic = ResumeVz};
constexpr LvRow kChange{.pName = "ZRKLVChangeVZ", .uiMask = kChangeMask, .pfnRules = ChangeRules,
                        .bIntervalById = true, .ucEngineKind = ZRK_ENGINE_VZ,
                        .pfnTvc = ChangeTvc, .pClassicName = "ChangeVz",
                        .pfnClassic = ChangeVz};
constexpr LvRow kQuery{.pName = "ZRKLVQueryVZ", .uiMask = kQueryMask, .bIntervalById = true,
                       .ucEngineKind = ZRK_ENGINE_VZ, .pClassicName = "QueryVz",
                       .pfnClassicQuery = ClassicVzState};
// No identifier form here: the mask is empty.
constexpr LvRow kQueryDetail{.pName = "ZRKLVQueryVZDetail", .uiMask = 0, .bIntervalById = true,
                             .ucEngineKind = ZRK_ENGINE_VZ, .pClassicName = "QueryVzDetail",
                             .pfnClassicQuery = ClassicVzDetail};
constexpr LvRow kQuerySession{.pName = "ZRKLVQueryVZSession", .ucEngineKind = ZRK_ENGINE_VZ,
                              .pClassicName = "QueryVzSession",
                              .pfnClassicSession = ClassicVzSession};

} // namespace

// ---- the classic detail in the page-based shape -----------------------------------------

void zrk::DataconvRegTvc(const RVZ_DETAIL_INFO &source, TVC_DETAIL_INFO *detail) {
    WriteLog(1, nullptr, 0, "DataconvRegTvc in");
    constexpr unsigned kSessionFlags = ZRK_SESFLAG_WHOLE_VOLUME | ZRK_SESFLAG_REMOTE;
    constexpr unsigned kModeFlags = ZRK_MODEFLAG_DEST_SIDE | ZRK_MODEFLAG_SYNC |
                                    ZRK_MODEFLAG_AUTO_SPLIT | ZRK_MODEFLAG_MANUAL_RCV;
    TVC_DETAIL_INFO &d = *detail;
    d = TVC_DETAIL_INFO{};
    std::memcpy(d.ucaSessionID, source.ucaSessionID, sizeof d.ucaSessionID);
    std::memcpy(d.ucaPartnerID, source.ucaPartnerID, sizeof d.ucaPartnerID);
    d.ucCopyKind = ZRK_PRM_KIND_VZ;
    d.ucSessionFlags = static_cast<unsigned char>(source.ucFlags & kSessionFlags);
    d.ucModeFlags = static_cast<unsigned char>(source.ucFlags & kModeFlags);
    d.ucTransferMode = source.ucaFamily8[0];
    d.ucModeChange = source.ucaFamily8[1];
    d.ucVolumeRole = source.ucVolumeRole;
    d.Phase = source.ucPhaseMode;
    d.Status = source.Status;
    d.ucState20 = source.ucState7;
    std::memcpy(d.SrcBoxID, source.SrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(d.DstBoxID, source.DstBoxID, ZRK_BOXID_LEN);
    std::memcpy(d.SrcOlu, source.SrcOlu, sizeof d.SrcOlu);
    std::memcpy(d.DstOlu, source.DstOlu, sizeof d.DstOlu);
    // The array's own count: 0 for a whole volume, as the page-based record.
    std::memcpy(d.ucaExtentCnt, source.ucaExtentCnt, sizeof d.ucaExtentCnt);
    std::memcpy(d.ucaLapseTime + 2, source.ucaFamily130, sizeof source.ucaFamily130);
    // 32-bit counts: the high halves stay 0.
    std::memcpy(d.CopiedBlock_low, source.ucaCopiedBlock, sizeof d.CopiedBlock_low);
    std::memcpy(d.SrcExtent_low, source.SrcExtent, sizeof d.SrcExtent_low);
    std::memcpy(d.SrcSize_low, source.SrcSize, sizeof d.SrcSize_low);
    std::memcpy(d.DstExtent_low, source.DstExtent, sizeof d.DstExtent_low);
    WriteLog(1, nullptr, 0, "DataconvRegTvc out");
}

int zrk::SupplementVzDetail(const char *volume, uint16_t sessionId, TVC_DETAIL_INFO *detail) {
    const CopySupport support; // as the call's common check left it
    if (!support.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP)) return 0;
    COPY_REQ request{};
    MakeClassicSessionRequest(sessionId, false, 0, &request);
    TVC_DETAIL_INFO own{};
    if (QueryDetail(volume, ZRK_OPT_SESSION_ID, &request, &own) != 0) return -1;

    TVC_DETAIL_INFO &d = *detail;
    d.ucSessionFlags = static_cast<unsigned char>((d.ucSessionFlags & ~ZRK_SESFLAG_SECONDARY) |
                                                  (own.ucSessionFlags & ZRK_SESFLAG_SECONDARY));
    d.ucState21 = own.ucState21;
    d.ucState23 = own.ucState23;
    std::memcpy(d.ucaTail144, own.ucaTail144, sizeof d.ucaTail144);
    d.ucState130 = own.ucState130;
    d.ucState131 = own.ucState131;
    return 0;
}

// ---- session-changing functions ----------------------------------------------------

// A new mirror of the pair, RVZ when the arrays differ; its identifier is logged.
extern "C" int ZRKLVStartVZ(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                            unsigned char *SenseData) {
    return zrk::RunControl(kStart, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// The end of a mirror.
extern "C" int ZRKLVStopVZ(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                           unsigned char *SenseData) {
    return zrk::RunControl(kStop, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// The split of a mirror; force only between two arrays.
extern "C" int ZRKLVSuspendVZ(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                              unsigned char *SenseData) {
    return zrk::RunControl(kSuspend, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// The resynchronisation of a split mirror; remain mode only between two arrays.
extern "C" int ZRKLVResumeVZ(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                             unsigned char *SenseData) {
    return zrk::RunControl(kResume, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// A change of a mirror's transfer modes, or its reversal.
extern "C" int ZRKLVChangeVZ(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                             unsigned char *SenseData) {
    return zrk::RunControl(kChange, LogicalVol, ZRK_LV_PAIR, OptionFlag, SenseData);
}

// ---- queries -------------------------------------------------------------------------

extern "C" int ZRKLVQueryVZ(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                            uint32_t *Status, uint32_t *Phase, uint32_t *CopiedBlock_high,
                            uint32_t *CopiedBlock_low, unsigned char *SenseData) {
    ApiCall call(kQuery.pName, LogicalVol, SenseData, __LINE__);
    const bool haveOutputs = Status != nullptr && Phase != nullptr &&
                             CopiedBlock_high != nullptr && CopiedBlock_low != nullptr;
    TVC_DETAIL_INFO detail{};
    if (zrk::QueryLvPair(kQuery, LogicalVol, ZRK_LV_PAIR, OptionFlag, haveOutputs, &detail) != 0)
        return call.FailAt(__LINE__);
    *Status = detail.Status;
    *Phase = detail.Phase;
    *CopiedBlock_high = zrk::Be32(detail.CopiedBlock_high);
    *CopiedBlock_low = zrk::Be32(detail.CopiedBlock_low);
    WriteLog(2, nullptr, 0,
             "Status=<0x%x> : Phase=<0x%x> : CopiedBlock_high=<0x%x> : CopiedBlock_low=<0x%x>",
             *Status, *Phase, *CopiedBlock_high, *CopiedBlock_low);
    return call.Done(__LINE__);
}

extern "C" int ZRKLVQueryVZDetail(const char *LogicalVol, ZRK_LV_PAIR_PARAMS, uint32_t OptionFlag,
                                  unsigned char *Detail, unsigned char *SenseData) {
    return zrk::RunDetailQuery(kQueryDetail, LogicalVol, ZRK_LV_PAIR, OptionFlag, Detail,
                               SenseData);
}

extern "C" int ZRKLVQueryVZSession(const char *LogicalVol, uint32_t SessionID,
                                   uint32_t OptionFlag, unsigned char *Detail,
                                   unsigned char *SenseData) {
    return zrk::RunSessionQuery(kQuerySession, LogicalVol, SessionID, OptionFlag, Detail,
                                SenseData);
}

// ---- concurrent suspend ---------------------------------------------------------------

extern "C" int ZRKLVMultiSuspendVZ(const char *LogicalVol, const CONC_SUS_PAIR_LV *Pairs,
                                   int Count, uint32_t OptionFlag, uint32_t *Result,
                                   unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVMultiSuspendVZ";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    zrk::LogOptionLine(kName, LogicalVol, OptionFlag);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};

    if (Count <= 0 || Pairs == nullptr || Result == nullptr) {
        FailWith(ZRK_ERR_CONC_SUSPEND);
        return call.RejectAt(__LINE__);
    }
    if (zrkComInfoCheckSet(LogicalVol, OptionFlag, kMultiSuspendMask, support) != 0)
        return call.FailAt(__LINE__);
    if (CheckLogicalVol(LogicalVol) != 0) return call.FailAt(__LINE__);

    // Only the VZ groups decide the engine of a concurrent suspend.
    const bool useTvc = zrk_support_has(support, ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_TVC) ||
                        zrk_support_has(support, ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_TVC);

    // Every pair is checked, and all must be local or all remote.
    int locals = 0;
    int remotes = 0;
    for (int i = 0; i < Count; ++i) {
        const CONC_SUS_PAIR_LV &p = Pairs[i];
        const LvPair pair{p.SrcBoxID,     p.SrcOlu,      p.SrcExtent_high, p.SrcExtent_low,
                          p.SrcSize_high, p.SrcSize_low, p.DstBoxID,       p.DstOlu,
                          p.DstExtent_high, p.DstExtent_low, 0};
        if (zrk::CheckFullPair(LogicalVol, pair, useTvc) != 0) return call.FailAt(__LINE__);
        if (zrk::BoxIdsDiffer(p.SrcBoxID, p.DstBoxID)) {
            WriteLog(2, nullptr, 0, "%s Remote [%s] [%d]", kName, zrk::LogText(LogicalVol),
                     __LINE__);
            ++remotes;
        } else {
            WriteLog(2, nullptr, 0, "%s local [%s] [%d]", kName, zrk::LogText(LogicalVol),
                     __LINE__);
            ++locals;
        }
        if (locals != 0 && remotes != 0) {
            FailWith(ZRK_ERR_CONC_SUSPEND);
            return call.FailAt(__LINE__);
        }
    }

    if (!useTvc) {
        if (ClassicMultiSuspend(LogicalVol, OptionFlag, Count, Pairs, Result) != 0)
            return call.FailAt(__LINE__);
        return call.Done(__LINE__);
    }
    ConvertCheckflg = ZRK_CONVERT_ALWAYS;
    if (ConvertPrimaryBoxID(LogicalVol, nullptr, nullptr) != 0) return call.FailAt(__LINE__);
    if (MultiSuspendVzForLV(LogicalVol, OptionFlag, Count, Pairs, Result) != 0)
        return call.FailAt(__LINE__);
    return call.Done(__LINE__);
}
