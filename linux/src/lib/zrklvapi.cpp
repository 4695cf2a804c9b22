// The large-volume public functions of the VZ family (VZ inside one array,
// RVZ between two): start, stop, suspend, resume and change of one session,
// the three queries, and the concurrent suspend of many sessions.
//
// Each function is a guard round one engine operation: the common frame and
// pair check (zrkframe.h) choose the engine, the function applies its own
// option rules, builds the request (the full pair, or with option 0x4 the
// session identifier carried in SrcOlu) and calls the page-based operation.
// Arrays without the page-based engine would need the classic operations,
// which this library does not drive: those branches end in "not support."
// after every check of the call has been made, so the option and locality
// errors are the same on every array.
#include "zrkcmulti.h"
#include "zrkframe.h"
#include "zrktvc.h"

#include <cstring>

namespace {

using zrk::ApiCall;
using zrk::LvPair;

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


int Refuse(int code) {
    ZRKerrno = code;
    return -1;
}

// The mode rules of a remote start and of every change: automatic split only
// with synchronous transfer, and one transfer mode at a time.
int TransferRules(uint32_t option) {
    if ((option & ZRK_OPT_SYNC) != 0 && (option & kTransfer) != 0) return Refuse(ZRK_ERR_OPTION);
    if ((option & ZRK_OPT_AUTO_SPLIT) != 0 && (option & ZRK_OPT_SYNC) == 0)
        return Refuse(ZRK_ERR_OPTION);
    if ((option & kTransfer) == kTransfer) return Refuse(ZRK_ERR_OPTION);
    return 0;
}

// A local mirror has no transfer modes: only secondary access may be asked.
int StartRules(uint32_t option, bool local) {
    if (local) {
        for (const uint32_t bit : {ZRK_OPT_SYNC, ZRK_OPT_SKIP_COPY, ZRK_OPT_AUTO_SPLIT,
                                   ZRK_OPT_MANUAL_RCV, ZRK_OPT_STACK, ZRK_OPT_CONSISTENCY}) {
            if ((option & bit) != 0) return Refuse(ZRK_ERR_OPTION);
        }
        return 0;
    }
    return TransferRules(option);
}

// A reverse keeps the session's modes: it takes no mode bit beside it.
int ChangeRules(uint32_t option, bool /*local*/) {
    constexpr uint32_t kModes =
        ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV | kTransfer;
    if ((option & ZRK_OPT_REVERSE) != 0 && (option & kModes) != 0) return Refuse(ZRK_ERR_OPTION);
    return TransferRules(option);
}

using TvcOperation = int (*)(const char *, unsigned char, unsigned int, const COPY_REQ_LV *);

// One session-changing function of the family.
struct Control {
    const char *pName;          // public name, in every log line
    uint32_t uiMask;            // option bits it accepts
    int (*pfnRules)(uint32_t option, bool local); // its mode rules, or null
    uint32_t uiRemoteOnly;      // bits refused (37) on a pair inside one array
    bool bIntervalById;         // the identifier form carries CopyInterval
    bool bStart;                // logs the new session's identifier
    TvcOperation pfnTvc;        // the page-based operation
    const char *pClassic;       // the classic operation, for the log
};

constexpr Control kStart{"ZRKLVStartVZ", kStartMask, StartRules, 0, false, true, StartTvc,
                         "StartVz"};
constexpr Control kStop{"ZRKLVStopVZ", kStopMask, nullptr, 0, false, false, StopTvc, "StopVz"};
constexpr Control kSuspend{"ZRKLVSuspendVZ", kSuspendMask, nullptr, ZRK_OPT_FORCE, true, false,
                           SuspendTvc, "SuspendVz"};
constexpr Control kResume{"ZRKLVResumeVZ", kResumeMask, nullptr, ZRK_OPT_REMAIN, true, false,
                          ResumeTvc, "ResumeVz"};
constexpr Control kChange{"ZRKLVChangeVZ", kChangeMask, ChangeRules, 0, true, false, ChangeTvc,
                          "ChangeVz"};

// The request of a pair function: the session-identifier form, or the full
// pair. RemoteFlag of the request decides the locality tests; the identifier
// form has none.
struct Requests {
    COPY_REQ_LV lv;      // page-based path
    COPY_REQ classic;    // classic path
    bool bById;          // the identifier form
    bool bRemote;        // RemoteFlag of the built request
};
Requests BuildRequests(const LvPair &pair, uint32_t option, bool useTvc, bool intervalById) {
    Requests r{};
    r.bById = (option & ZRK_OPT_SESSION_ID) != 0;
    if (useTvc) {
        if (r.bById) {
            zrk::MakeLvSessionRequest(pair.uiSrcOlu, intervalById, pair.uiCopyInterval, &r.lv);
        } else {
            zrk::MakeLvRequest(pair, &r.lv);
        }
        r.bRemote = r.lv.RemoteFlag != 0;
    } else {
        if (r.bById) {
            zrk::MakeClassicSessionRequest(pair.uiSrcOlu, intervalById, pair.uiCopyInterval,
                                           &r.classic);
        } else {
            zrk::MakeClassicRequest(pair, &r.classic);
        }
        r.bRemote = r.classic.RemoteFlag != 0;
    }
    return r;
}

int RunControl(const Control &op, const char *volume, const LvPair &pair, uint32_t option,
               unsigned char *sense) {
    ApiCall call(op.pName, volume, sense, __LINE__);
    zrk::LogLvPair(op.pName, volume, option, pair);

    int useTvc = 0;
    if (zrk::CheckLvPair(volume, pair, option, op.uiMask, &useTvc) != 0) return call.Fail(__LINE__);
    const bool local = !zrk::BoxIdsDiffer(pair.pSrcBoxID, pair.pDstBoxID);
    if (op.pfnRules != nullptr && op.pfnRules(option, local) != 0) return call.Fail(__LINE__);

    const Requests r = BuildRequests(pair, option, useTvc != 0, op.bIntervalById);
    if (!r.bById && !r.bRemote && (option & op.uiRemoteOnly) != 0) {
        ZRKerrno = ZRK_ERR_OPTION;
        return call.Fail(__LINE__);
    }
    if (useTvc == 0) {
        zrk::ClassicEngineUnavailable(op.pClassic, volume, __LINE__);
        return call.Fail(__LINE__);
    }
    if (op.pfnTvc(volume, ZRK_ENGINE_VZ, option, &r.lv) != 0) return call.Fail(__LINE__);

    zrk::ReleaseDevice();
    if (op.bStart) WriteLog(2, nullptr, 0, "SessionID=<%d>", ZRKsessionid);
    return call.Done(__LINE__);
}

// The detail of the VZ-family session of a pair (ZRKLVQueryVZ and
// ZRKLVQueryVZDetail), read on the page-based path. A missing output area is
// refused once the pair has passed its check. The failover conversion
// compares the request's BoxIDs.
int QueryPair(const char *volume, const LvPair &pair, uint32_t option, uint32_t mask,
              bool haveOutputs, const char *classic, TVC_DETAIL_INFO *detail) {
    int useTvc = 0;
    if (zrk::CheckLvPair(volume, pair, option, mask, &useTvc) != 0) return -1;
    if (!haveOutputs) return Refuse(ZRK_ERR_PARAMETER);
    const Requests r = BuildRequests(pair, option, useTvc != 0, true);
    if (useTvc == 0) return zrk::ClassicEngineUnavailable(classic, volume, __LINE__);
    ConvertCheckflg = ZRK_CONVERT_MATCHING;
    std::memset(detail, 0, sizeof *detail);
    return QueryTvc(volume, ZRK_ENGINE_VZ, option, &r.lv, detail);
}

} // namespace


// ---- session-changing functions ----------------------------------------------------

ZRK_CONTROL_FUNCTION(ZRKLVStartVZ, kStart)
ZRK_CONTROL_FUNCTION(ZRKLVStopVZ, kStop)
ZRK_CONTROL_FUNCTION(ZRKLVSuspendVZ, kSuspend)
ZRK_CONTROL_FUNCTION(ZRKLVResumeVZ, kResume)
ZRK_CONTROL_FUNCTION(ZRKLVChangeVZ, kChange)

// ---- queries -------------------------------------------------------------------------

extern "C" int ZRKLVQueryVZ(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                            uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                            uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                            uint32_t DstOlu, uint32_t DstExtent_high, uint32_t DstExtent_low,
                            uint32_t CopyInterval, uint32_t OptionFlag, uint32_t *Status,
                            uint32_t *Phase, uint32_t *CopiedBlock_high,
                            uint32_t *CopiedBlock_low, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVQueryVZ";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    const LvPair pair = ZRK_LV_PAIR;
    zrk::LogLvPair(kName, LogicalVol, OptionFlag, pair);

    const bool haveOutputs = Status != nullptr && Phase != nullptr &&
                             CopiedBlock_high != nullptr && CopiedBlock_low != nullptr;
    TVC_DETAIL_INFO detail{};
    if (QueryPair(LogicalVol, pair, OptionFlag, kQueryMask, haveOutputs, "QueryVz", &detail) != 0)
        return call.Fail(__LINE__);
    *Status = detail.Status;
    *Phase = detail.Phase;
    *CopiedBlock_high = zrk::Be32(detail.CopiedBlock_high);
    *CopiedBlock_low = zrk::Be32(detail.CopiedBlock_low);
    WriteLog(2, nullptr, 0,
             "Status=<0x%x> : Phase=<0x%x> : CopiedBlock_high=<0x%x> : CopiedBlock_low=<0x%x>",
             *Status, *Phase, *CopiedBlock_high, *CopiedBlock_low);
    return call.Done(__LINE__);
}

extern "C" int ZRKLVQueryVZDetail(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                                  uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                                  uint32_t SrcSize_high, uint32_t SrcSize_low,
                                  const char *DstBoxID, uint32_t DstOlu,
                                  uint32_t DstExtent_high, uint32_t DstExtent_low,
                                  uint32_t CopyInterval, uint32_t OptionFlag,
                                  unsigned char *Detail, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVQueryVZDetail";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    const LvPair pair = ZRK_LV_PAIR;
    zrk::LogLvPair(kName, LogicalVol, OptionFlag, pair);

    // No identifier form here: the mask is empty.
    TVC_DETAIL_INFO detail{};
    if (QueryPair(LogicalVol, pair, OptionFlag, 0, Detail != nullptr, "QueryVzDetail",
                  &detail) != 0)
        return call.Fail(__LINE__);
    zrk::FillDetailArea(Detail, detail);
    return call.Done(__LINE__, 0, Detail, zrk::kDetailAreaLen);
}

extern "C" int ZRKLVQueryVZSession(const char *LogicalVol, uint32_t SessionID,
                                   uint32_t OptionFlag, unsigned char *Detail,
                                   unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVQueryVZSession";
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
    if (Detail == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return call.Fail(__LINE__);
    }
    if (useTvc == 0) {
        zrk::ClassicEngineUnavailable("QueryVzSession", LogicalVol, __LINE__);
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
    if (detail.ucCopyKind != ZRK_ENGINE_VZ) {
        ZRKerrno = ZRK_ERR_NO_SESSION;
        return call.Fail(__LINE__);
    }
    zrk::FillDetailArea(Detail, detail);
    return call.Done(__LINE__, 0, Detail, zrk::kDetailAreaLen);
}

// ---- concurrent suspend ---------------------------------------------------------------

extern "C" int ZRKLVMultiSuspendVZ(const char *LogicalVol, const CONC_SUS_PAIR_LV *Pairs,
                                   int Count, uint32_t OptionFlag, uint32_t *Result,
                                   unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKLVMultiSuspendVZ";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    WriteLog(8, nullptr, 0, "%s()  LogicalVol=[%s] : OptionFlag=<0x%x>", kName,
             zrk::LogText(LogicalVol), OptionFlag);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};

    if (Count <= 0 || Pairs == nullptr || Result == nullptr) {
        ZRKerrno = ZRK_ERR_CONC_SUSPEND;
        return call.Reject(__LINE__);
    }
    if (zrkComInfoCheckSet(LogicalVol, OptionFlag, kMultiSuspendMask, support) != 0)
        return call.Fail(__LINE__);
    if (CheckLogicalVol(LogicalVol) != 0) return call.Fail(__LINE__);

    // Only the VZ groups decide the engine of a concurrent suspend.
    const bool useTvc = ((support[ZRK_SUPPORT_FLAGS_VZ] | support[ZRK_SUPPORT_FLAGS_RVZ]) &
                         ZRK_SUPPORT_TVC) != 0;

    // Every pair is checked, and all must be local or all remote.
    int locals = 0;
    int remotes = 0;
    for (int i = 0; i < Count; ++i) {
        const CONC_SUS_PAIR_LV &p = Pairs[i];
        if (useTvc) {
            if (CheckParamForLV(LogicalVol, p.SrcBoxID, p.SrcOlu, p.SrcExtent_high,
                                p.SrcExtent_low, p.SrcSize_high, p.SrcSize_low, p.DstBoxID,
                                p.DstOlu, p.DstExtent_high, p.DstExtent_low, 0,
                                ZRK_PAIRMODE_FULL) != 0)
                return call.Fail(__LINE__);
        } else {
            if (p.SrcExtent_high != 0 || p.SrcSize_high != 0 || p.DstExtent_high != 0) {
                ZRKerrno = ZRK_ERR_EXTENT;
                return call.Fail(__LINE__);
            }
            if (CheckParam(LogicalVol, p.SrcBoxID, p.SrcOlu, p.SrcExtent_low, p.SrcSize_low,
                           p.DstBoxID, p.DstOlu, p.DstExtent_low, 0) != 0)
                return call.Fail(__LINE__);
        }
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
            ZRKerrno = ZRK_ERR_CONC_SUSPEND;
            return call.Fail(__LINE__);
        }
    }

    if (!useTvc) {
        zrk::ClassicEngineUnavailable("MultiSuspendVz", LogicalVol, __LINE__);
        return call.Fail(__LINE__);
    }
    ConvertCheckflg = ZRK_CONVERT_ALWAYS;
    if (ConvertPrimaryBoxID(LogicalVol, nullptr, nullptr) != 0) return call.Fail(__LINE__);
    if (MultiSuspendVzForLV(LogicalVol, OptionFlag, Count, Pairs, Result) != 0)
        return call.Fail(__LINE__);
    return call.Done(__LINE__);
}

#undef ZRK_CONTROL_FUNCTION
#undef ZRK_PAIR_ARGS
