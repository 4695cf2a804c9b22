// zrkc_suspend_vz: suspends the VZ and RVZ sessions of one pair or of a
// group file. RVZ pairs in stack or consistency mode are flashed first
// (force-suspended, changed to through mode, resumed) so their buffered data
// drains, and changed back after the suspend; the waits look at the
// sessions every interval seconds through zrkc_sleep.
#include "zrkcsuspend.h"
#include "zrkcvz.h"

#include "platform.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace zrkc {
namespace {

constexpr const char *kName = "zrkc_suspend_vz";

// Bits this command takes.
constexpr uint32_t kMask = ZRK_OPT_FORCE | ZRK_OPT_UNTRANSFERRED | ZRKC_OPT_CONC_SUSPEND |
                           ZRKC_OPT_STACK_TIMER | ZRKC_OPT_ACCESS_PATH | ZRKC_OPT_OTHER_WAY |
                           ZRKC_OPT_GROUP_FILE | ZRKC_OPT_PROPERTIES;

// Limits of the waits.
constexpr uint32_t kMaxCount = 86400;
constexpr uint32_t kMaxInterval = 600;
constexpr uint32_t kMaxWaitSeconds = 86400;

bool Remote(const DETAIL_LIST_INFO &d) { return (d.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0; }

// One single-session call through the pair's transport; a pair that covers
// its whole volume passes source size 0. The API result.
int CallPair(Op op, const CopyPair &pair, uint32_t option, unsigned char *sense) {
    if (pair.ucWholeVolume != 1) return CallVzPair(op, pair, option, sense);
    CopyPair whole = pair;
    whole.SrcSize_h = 0;
    whole.SrcSize_l = 0;
    return CallVzPair(op, whole, option, sense);
}

// One call whose result goes into the result record; 0 or -1.
int CallIntoResult(Op op, const CopyPair &pair, uint32_t option, ReturnInfo *ri) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    const int r = CallPair(op, pair, option, sense);
    // A success leaves the result record as it is (a group run's 1804 stays).
    int32_t returnClass = 0;
    uint32_t messageNo = 0;
    char message[ZRK_MESSAGE_LEN] = {};
    if (com_set_return_inf(IdOf(op, pair.ucTransport), pair.caAccessVolume, r, sense, &returnClass,
                           &messageNo, message) == 0)
        return 0;
    ri->iReturnClass = returnClass;
    ri->uiMessageNo = messageNo;
    std::memcpy(ri->caMessage, message, ZRK_MESSAGE_LEN);
    return -1;
}

// One call for list entry index whose result the frame maps (the entry's
// PairResult in a group run, the result record otherwise); 0 or -1.
int CallMapped(CommandCall &call, const CopyPairList &list, Op op, uint32_t index, uint32_t option) {
    const CopyPair &pair = list.pPairs->taPair[index];
    std::memset(call.Sense(), 0, ZRK_SENSE_LEN);
    const int r = CallPair(op, pair, option, call.Sense());
    return call.MapPairCall(index, op, pair, r, option);
}

// The sessions of the list's pairs; 2 (some pair has none) becomes 1100
// when no pair has one and 1214 otherwise. 0 or -1.
int FetchSessions(CopyPairList *list, SessionRecord *records, ReturnInfo *ri) {
    int found = 0;
    const int r = com_get_session_list(list, 0, 0, &found, records, ri);
    if (r == 0) return 0;
    if (r == 2) {
        if (found == 0)
            SetResult(ri, Msg::SessionMissing);
        else
            SetResult(ri, Msg::Preconditions);
    }
    return -1;
}

void RefusePreconditions(ReturnInfo *ri) {
    SetResult(ri, Msg::Preconditions);
}

bool BetweenArrays(const CopyPair &pair) { return !IsLocalPair(pair); }

// A part called without its list or result record.
int NoOperand(const char *name, ReturnInfo *ri, Where where = Where::current()) {
    if (ri != nullptr)
        SetResult(ri, Msg::ParameterMissing);
    return ErrorEnd(name, where);
}

// Both returns of the mode: every pair between two arrays, in list order,
// optionally force-suspended and resumed around the change. 0 or -1.
int ReturnModes(const char *name, CopyPairList *list, uint32_t mode, uint32_t recovery, bool cycle,
                ReturnInfo *ri) {
    if (list == nullptr || ri == nullptr) return NoOperand(name, ri);
    for (uint32_t i = 0; i < PairsOf(*list); ++i) {
        const CopyPair &pair = list->pPairs->taPair[i];
        if (!BetweenArrays(pair)) continue;
        if (cycle && CallIntoResult(Op::SuspendVz, pair, ZRK_OPT_FORCE, ri) != 0) return ErrorEnd(name);
        if (CallIntoResult(Op::ChangeVz, pair, mode | recovery, ri) != 0) return ErrorEnd(name);
        if (cycle && CallIntoResult(Op::ResumeVz, pair, 0, ri) != 0) return ErrorEnd(name);
    }
    return 0;
}

// Count and interval from the properties file or the arguments, checked
// against the limits (1406). 0 or -1.
int TakeWaitLimits(CommandCall &call, uint32_t opt, uint32_t count, uint32_t interval,
                   SuspendWait &wait) {
    ReturnInfo *ri = call.Result();
    const bool fromProperties = (opt & ZRKC_OPT_PROPERTIES) != 0;
    if (fromProperties) {
        const int c = get_properties_int("count", ri);
        if (ri->iReturnClass != 0) {
            release_properties();
            return call.Fail();
        }
        const int i = get_properties_int("interval", ri);
        release_properties();
        if (ri->iReturnClass != 0) return call.Fail();
        count = static_cast<uint32_t>(c);
        interval = static_cast<uint32_t>(i);
    }
    if (count > kMaxCount || interval > kMaxInterval) {
        SetResult(ri, Msg::WaitTimeRefused);
        return call.Fail();
    }
    if ((count != 0 && interval == 0) || count * interval > kMaxWaitSeconds) {
        SetResultAs(ri, fromProperties ? ZRKC_CLASS_PROPERTIES : ZRKC_CLASS_PARAMETER, Msg::WaitTimeRefused);
        return call.Fail();
    }
    wait.uiCount = count;
    wait.uiInterval = interval;
    return 0;
}

// Checks every pair's session and fixes the call's modes; 0 or -1 (1214,
// 1104) with the result filled.
int CheckSessions(const SessionRecord *records, uint32_t pairs, uint32_t interval,
                  SuspendModes &modes, ReturnInfo *ri) {
    for (uint32_t i = 0; i < pairs; ++i) {
        const DETAIL_LIST_INFO &d = records[i].tDetail;
        if (d.ucCopyKind != kCopyKindVz) {
            RefusePreconditions(ri);
            return -1;
        }
        if (d.Status != ZRKC_SESSION_ACTIVE) {
            SetResult(ri, Msg::SequenceError);
            return -1;
        }
        if (interval == 0 && d.Phase == kPhaseCopying) {
            RefusePreconditions(ri);
            return -1;
        }
        if (!Remote(d)) continue;
        int32_t transfer;
        if (d.ucModeFlags & ZRK_MODEFLAG_SYNC) {
            transfer = ZRK_OPT_SYNC;
            const int32_t split = (d.ucModeFlags & ZRK_MODEFLAG_AUTO_SPLIT) ? ZRK_OPT_AUTO_SPLIT : 0;
            if (modes.iSplit != -1 && modes.iSplit != split) {
                RefusePreconditions(ri);
                return -1;
            }
            modes.iSplit = split;
        } else {
            transfer = d.ucTransferMode == kTransferConsistency ? ZRK_OPT_CONSISTENCY
                       : d.ucTransferMode == kTransferStack     ? ZRK_OPT_STACK
                                                                : 0;
        }
        if (modes.iTransfer != -1 && modes.iTransfer != transfer) {
            RefusePreconditions(ri);
            return -1;
        }
        modes.iTransfer = transfer;
        const int32_t recovery = (d.ucModeFlags & ZRK_MODEFLAG_MANUAL_RCV) ? ZRK_OPT_MANUAL_RCV : 0;
        if (modes.iRecovery != -1 && modes.iRecovery != recovery) {
            RefusePreconditions(ri);
            return -1;
        }
        modes.iRecovery = recovery;
    }
    return 0;
}

uint32_t ModeBits(int32_t value) { return value < 0 ? 0u : static_cast<uint32_t>(value); }

} // namespace

} // namespace zrkc

using namespace zrkc;

extern "C" int suspend_flash(ReturnInfo *ri, CopyPair pair, DETAIL_LIST_INFO detail) {
    static constexpr char kPart[] = "suspend_flash";
    if (ri == nullptr) return NoOperand(kPart, ri);
    if (CallIntoResult(Op::SuspendVz, pair, ZRK_OPT_FORCE, ri) != 0) return ErrorEnd(kPart);
    const uint32_t recovery = (detail.ucModeFlags & ZRK_MODEFLAG_MANUAL_RCV) ? ZRK_OPT_MANUAL_RCV : 0;
    if (CallIntoResult(Op::ChangeVz, pair, recovery, ri) != 0) return ErrorEnd(kPart);
    if (CallIntoResult(Op::ResumeVz, pair, 0, ri) != 0) return ErrorEnd(kPart);
    return 0;
}

extern "C" int suspend_error_return(CopyPairList *list, uint32_t mode, uint32_t recovery, ReturnInfo *ri) {
    return ReturnModes("suspend_error_return", list, mode, recovery, true, ri);
}

extern "C" int suspend_mode_return(CopyPairList *list, uint32_t mode, uint32_t recovery, ReturnInfo *ri) {
    return ReturnModes("suspend_mode_return", list, mode, recovery, false, ri);
}

extern "C" int suspend_timeout_check(CopyPairList *list, uint32_t count, uint32_t interval, int mode,
                                     uint32_t *slept, ReturnInfo *ri) {
    static constexpr char kPart[] = "suspend_timeout_check";
    if (list == nullptr || slept == nullptr || ri == nullptr) return NoOperand(kPart, ri);
    const uint32_t pairs = PairsOf(*list);
    std::vector<uint8_t> done;
    SessionRecords records = NewSessionRecords(pairs);
    try {
        done.assign(pairs, 0);
    } catch (...) {
        records.reset();
    }
    if (!records) {
        SetNoMemory(ri);
        return ErrorEnd(kPart);
    }
    for (;;) {
        std::memset(static_cast<void *>(records.get()), 0, sizeof(SessionRecord) * pairs);
        if (pairs != 0 && FetchSessions(list, records.get(), ri) != 0) return ErrorEnd(kPart);
        uint32_t reached = 0;
        for (uint32_t i = 0; i < pairs; ++i) {
            if (done[i]) {
                ++reached;
                continue;
            }
            const DETAIL_LIST_INFO &d = records[i].tDetail;
            const bool ok = mode == kWaitEquivalent ? d.Phase == kPhaseEquivalent
                                                    : d.Status == ZRKC_SESSION_SUSPEND && d.ucState11 != 1;
            if (!ok) break;
            done[i] = 1;
            ++reached;
        }
        if (reached == pairs) return 0;
        if (interval == 0) return 4;
        if (count != 0 && *slept >= count) return 4;
        zrkc_sleep(interval);
        if (count != 0) ++*slept;
    }
}

extern "C" int suspend_sub(CopyPairList *list, uint32_t opt, ReturnInfo *ri) {
    static constexpr char kPart[] = "suspend_sub";
    TraceStart(kPart);
    if (list == nullptr || ri == nullptr) return NoOperand(kPart, ri);
    // Called on its own, outside zrkc_suspend_vz: a frame of its own, which
    // knows a group file's run from the option word.
    std::optional<CommandCall> own;
    CommandCall &call = CommandCall::FrameFor(own, kPart, ri);
    if (own && own->CheckOptions(opt, kMask) != 0) return -1;
    const uint32_t pairs = PairsOf(*list);
    const bool force = (opt & ZRK_OPT_FORCE) != 0;
    SessionRecords records;
    if (force) {
        records = NewSessionRecords(pairs);
        if (!records) {
            SetNoMemory(ri);
            return ErrorEnd(kPart);
        }
        if (pairs != 0 && FetchSessions(list, records.get(), ri) != 0) return ErrorEnd(kPart);
        for (uint32_t i = 0; i < pairs; ++i) {
            if (records[i].tDetail.ucCopyKind != kCopyKindVz) {
                RefusePreconditions(ri);
                return ErrorEnd(kPart);
            }
        }
    }
    const uint32_t apiOption = force ? ZRK_OPT_FORCE : ZRK_OPT_STACK_TIMER;
    if (!force) {
        const int timer = get_properties_int("RVZ_stacktimer", ri);
        release_properties();
        if (ri->iReturnClass != 0) return ErrorEnd(kPart);
        ZRKRVZ_stacktimer = timer;
    }
    call.TraceApiStart(Op::SuspendVz);
    for (uint32_t i = 0; i < pairs; ++i) {
        if (force && records[i].tDetail.Status == ZRKC_SESSION_SUSPEND) continue;
        if (CallMapped(call, *list, Op::SuspendVz, i, apiOption) != 0 && !call.GroupMode())
            return ErrorEnd(kPart);
    }
    call.TraceApiEnd(Op::SuspendVz);
    if (call.GroupFailed()) return ErrorEnd(kPart);
    NormalEnd(kPart);
    return 0;
}

extern "C" int zrkc_suspend_vz(const char *src, const char *dest, uint32_t count,
                               uint32_t interval, uint32_t opt, ReturnInfo *ri) {
    CommandCall call(kName, ri);
    if (call.OpenPair(src, dest, opt) != 0) return -1;
    if ((opt & ~kMask) != 0) return call.RefuseOptions();
    const bool force = (opt & ZRK_OPT_FORCE) != 0;
    const bool conc = (opt & ZRKC_OPT_CONC_SUSPEND) != 0;
    if ((force && (opt & ZRKC_OPT_PROPERTIES)) || (force && conc) || (force && interval != 0) ||
        ((opt & ZRK_OPT_UNTRANSFERRED) && !conc) ||
        ((opt & ZRKC_OPT_STACK_TIMER) && (opt & (ZRKC_OPT_CONC_SUSPEND | ZRK_OPT_UNTRANSFERRED | ZRK_OPT_FORCE))))
        return call.RefuseOptions();
    const uint32_t apiOption = opt & ZRKC_OPT_API_MASK;

    if (int r = OpenResolvedList(call, src, dest, opt, kMask)) return r;
    CopyPairList &list = call.List();

    if (conc && call.GroupMode() &&
        (list.pSubgroups == nullptr || list.pSubgroups->uiSubgroups != 1 ||
         list.pSubgroups->uiBoxRuns != 1)) {
        SetCatalogueResult(ri, CatalogueMsg::GroupArraysDiffer);
        return call.Fail();
    }

    const uint32_t pairs = list.pPairs->uiCount;
    MarkForSuspend(list);

    // A stack-timer suspend only when the pairs are RVZ pairs in stack mode;
    // at the first that is not, the call goes on as a plain suspend.
    if (opt & ZRKC_OPT_STACK_TIMER) {
        SessionRecords records = NewSessionRecords(pairs);
        if (!records) return call.NoMemory();
        if (FetchSessions(&list, records.get(), ri) != 0) return call.Fail();
        for (uint32_t i = 0; i < pairs; ++i) {
            const DETAIL_LIST_INFO &d = records[i].tDetail;
            if (d.ucCopyKind != kCopyKindVz) {
                RefusePreconditions(ri);
                return call.Fail();
            }
            if (!Remote(d) || (d.ucModeFlags & ZRK_MODEFLAG_SYNC) || d.ucTransferMode != kTransferStack) {
                opt &= ~ZRKC_OPT_STACK_TIMER;
                break;
            }
        }
    }
    if ((apiOption & ZRK_OPT_FORCE) || (opt & ZRKC_OPT_STACK_TIMER)) {
        const CommandCall::Lend lend(call); // suspend_sub reports in this frame
        const int r = suspend_sub(&list, opt, ri);
        // A group run whose lines failed ends as the other roads end it.
        return r == 0 || call.GroupFailed() ? call.Finish() : call.Fail();
    }

    SuspendWait wait;
    if (TakeWaitLimits(call, opt, count, interval, wait) != 0) return -1;

    SuspendModes modes;
    SessionRecords records = NewSessionRecords(pairs);
    if (!records) return call.NoMemory();
    if (FetchSessions(&list, records.get(), ri) != 0) return call.Fail();
    if (CheckSessions(records.get(), pairs, wait.uiInterval, modes, ri) != 0) return call.Fail();
    if (conc && ConcSuspendPrepare(call, modes) != 0) return -1;

    // Flash the RVZ pairs that stack or keep consistency, so that their
    // buffered data drains before the wait and the suspend.
    bool flashed = false;
    if (!conc && (modes.iTransfer == static_cast<int32_t>(ZRK_OPT_STACK) ||
                  modes.iTransfer == static_cast<int32_t>(ZRK_OPT_CONSISTENCY))) {
        for (uint32_t i = 0; i < pairs; ++i) {
            if (!Remote(records[i].tDetail)) continue;
            if (suspend_flash(ri, list.pPairs->taPair[i], records[i].tDetail) != 0) return call.Fail();
            flashed = true;
        }
    }
    records.reset();

    if (wait.uiInterval != 0) {
        const int r = suspend_timeout_check(&list, wait.uiCount, wait.uiInterval, kWaitEquivalent,
                                            &wait.uiSlept, ri);
        if (r == -1) return call.Fail();
        if (r == 4) {
            if (flashed && suspend_error_return(&list, ModeBits(modes.iTransfer), ModeBits(modes.iRecovery), ri) != 0)
                return call.Fail();
            SetResult(ri, Msg::TimedOut);
            return call.Fail();
        }
    }

    if (conc) return ConcSuspendRun(call, apiOption, wait);

    call.TraceApiStart(Op::SuspendVz);
    for (uint32_t i = 0; i < pairs; ++i) {
        if (CallMapped(call, list, Op::SuspendVz, i, 0) != 0 && !call.GroupMode()) return call.Fail();
    }
    call.TraceApiEnd(Op::SuspendVz);

    if (flashed && suspend_mode_return(&list, ModeBits(modes.iTransfer), ModeBits(modes.iRecovery), ri) != 0)
        return call.Fail();
    return call.Finish();
}
