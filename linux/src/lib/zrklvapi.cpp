// The large-volume public functions of the VZ family (VZ inside one array,
// RVZ between two): start, stop, suspend, resume and change of one session,
// the three queries, and the concurrent suspend of many sessions.
//
// Each pair function is one row of the table below, run by the runner of
// zrklvrun.h: the common frame and pair check choose the engine, the row's
// option rules follow, then the request and one page-based operation.
#include "zrkcmulti.h"
#include "zrklvrun.h"
#include "zrktvc.h"

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

// The two transfer modes beside synchronous transfer: stack and consistency.
constexpr uint32_t kTransfer = ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY;

// The mode rules of a remote start and of every change: automatic split only
// with synchronous transfer, and one transfer mode at a time.
int TransferRules(uint32_t option) {
    if ((option & ZRK_OPT_SYNC) != 0 && (option & kTransfer) != 0) return FailWith(ZRK_ERR_OPTION);
    if ((option & ZRK_OPT_AUTO_SPLIT) != 0 && (option & ZRK_OPT_SYNC) == 0)
        return FailWith(ZRK_ERR_OPTION);
    if ((option & kTransfer) == kTransfer) return FailWith(ZRK_ERR_OPTION);
    return 0;
}

// A local mirror has no transfer modes: only secondary access may be asked.
int StartRules(uint32_t option, bool local) {
    if (local) {
        for (const uint32_t bit : {ZRK_OPT_SYNC, ZRK_OPT_SKIP_COPY, ZRK_OPT_AUTO_SPLIT,
                                   ZRK_OPT_MANUAL_RCV, ZRK_OPT_STACK, ZRK_OPT_CONSISTENCY}) {
            if ((option & bit) != 0) return FailWith(ZRK_ERR_OPTION);
        }
        return 0;
    }
    return TransferRules(option);
}

// A reverse keeps the session's modes: it takes no mode bit beside it.
int ChangeRules(uint32_t option, bool /*local*/) {
    constexpr uint32_t kModes =
        ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV | kTransfer;
    if ((option & ZRK_OPT_REVERSE) != 0 && (option & kModes) != 0) return FailWith(ZRK_ERR_OPTION);
    return TransferRules(option);
}

// ---- the table ------------------------------------------------------------------------

constexpr LvRow kStart{.pName = "ZRKLVStartVZ", .uiMask = kStartMask, .pfnRules = StartRules,
                       .bStart = true, .ucEngineKind = ZRK_ENGINE_VZ, .pfnTvc = StartTvc,
                       .pClassicName = "StartVz"};
constexpr LvRow kStop{.pName = "ZRKLVStopVZ", .uiMask = kStopMask, .ucEngineKind = ZRK_ENGINE_VZ,
                      .pfnTvc = StopTvc, .pClassicName = "StopVz"};
constexpr LvRow kSuspend{.pName = "ZRKLVSuspendVZ", .uiMask = kSuspendMask,
                         .bIntervalById = true, .uiRemoteOnly = ZRK_OPT_FORCE,
                         .ucEngineKind = ZRK_ENGINE_VZ, .pfnTvc = SuspendTvc,
                         .pClassicName = "SuspendVz"};
constexpr LvRow kResume{.pName = "ZRKLVResumeVZ", .uiMask = kResumeMask, .bIntervalById = true,
                        .uiRemoteOnly = ZRK_OPT_REMAIN, .ucEngineKind = ZRK_ENGINE_VZ,
                        .pfnTvc = ResumeTvc, .pClassicName = "ResumeVz"};
constexpr LvRow kChange{.pName = "ZRKLVChangeVZ", .uiMask = kChangeMask, .pfnRules = ChangeRules,
                        .bIntervalById = true, .ucEngineKind = ZRK_ENGINE_VZ,
                        .pfnTvc = ChangeTvc, .pClassicName = "ChangeVz"};
constexpr LvRow kQuery{.pName = "ZRKLVQueryVZ", .uiMask = kQueryMask, .bIntervalById = true,
                       .ucEngineKind = ZRK_ENGINE_VZ, .pClassicName = "QueryVz"};
// No identifier form here: the mask is empty.
constexpr LvRow kQueryDetail{.pName = "ZRKLVQueryVZDetail", .uiMask = 0, .bIntervalById = true,
                             .ucEngineKind = ZRK_ENGINE_VZ, .pClassicName = "QueryVzDetail"};
constexpr LvRow kQuerySession{.pName = "ZRKLVQueryVZSession", .ucEngineKind = ZRK_ENGINE_VZ,
                              .pClassicName = "QueryVzSession"};

} // namespace

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
        zrk::ClassicEngineUnavailable("MultiSuspendVz", LogicalVol, __LINE__);
        return call.FailAt(__LINE__);
    }
    ConvertCheckflg = ZRK_CONVERT_ALWAYS;
    if (ConvertPrimaryBoxID(LogicalVol, nullptr, nullptr) != 0) return call.FailAt(__LINE__);
    if (MultiSuspendVzForLV(LogicalVol, OptionFlag, Count, Pairs, Result) != 0)
        return call.FailAt(__LINE__);
    return call.Done(__LINE__);
}
