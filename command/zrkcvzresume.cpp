// The VZ resume: every pair whose session is not active is resumed. The
// recovery resume first brings every remote session that is neither
// synchronous nor stacking into the transfer mode asked for (a forced
// suspend where it is not suspended yet, then a mode change), and only then
// resumes; it checks beforehand that the mode fits every remote session and
// that split and recovery modes agree over all of them, so a refused
// recovery resume changes nothing.
#include "zrkcvz.h"

#include "platform.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace zrkc;

constexpr uint32_t kResumeMask = ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY | ZRKC_OPT_ACCESS_PATH |
                                 ZRKC_OPT_RECOVERY | ZRK_OPT_CONSISTENCY | ZRK_OPT_STACK |
                                 ZRK_OPT_REMAIN | ZRK_OPT_SYNC;
// A local pair takes everything but the remain mode.
constexpr uint32_t kResumeLocalMask = kResumeMask & ~ZRK_OPT_REMAIN & ~ZRKC_OPT_GROUP_FILE;

// A resume function called outside zrkc_resume_vz has no frame to report in.
int NoFrame(const char *name, ReturnInfo *ri, Where where = Where::current()) {
    if (ri != nullptr)
        zrkc::SetResult(ri, zrkc::Msg::InternalInconsistency);
    return ErrorEnd(name, where);
}

bool GroupMode(uint32_t option) { return (option & ZRKC_OPT_GROUP_FILE) != 0; }

// Sessions of the list's pairs; null when memory ran out (1106 in ri).
SessionRecords ReadSessions(CopyPairList *list, int *found, ReturnInfo *ri) {
    SessionRecords records = NewSessionRecords(*list);
    if (!records) {
        zrkc::SetNoMemory(ri);
        return nullptr;
    }
    if (com_get_session_list(list, 0, 0, found, records.get(), ri) == -1) return nullptr;
    return records;
}

// One pair call with its result mapped; 0, or -1 when it failed (the
// parameter line traced).
int PairCall(CommandCall &call, Op op, uint32_t index, const CopyPair &pair, uint32_t apiOption) {
    if (MappedVzPair(call, op, index, pair, apiOption) == 0) return 0;
    return ErrorEnd(call.Name());
}

// The resume phase over every pair that is not active (and, in a group
// run, whose line has not failed already). apiBase: the API option word of
// a remote pair; a local pair never takes the remain mode. anyKind: an
// active session of whatever kind is passed over (after a recovery's
// changes), else only an active VZ session.
int ResumeInactive(CommandCall &call, CopyPairList *list, const SessionRecord *records,
                   uint32_t option, uint32_t apiBase, bool anyKind) {
    for (uint32_t i = 0; i < PairsOf(*list); ++i) {
        const SessionRecord &record = records[i];
        const bool active = record.ucFound != 0 && record.tDetail.Status == ZRKC_SESSION_ACTIVE;
        if (active && (anyKind || IsVzSession(record))) continue;
        if (GroupMode(option)) {
            const PairResult *entry = call.Entry(i);
            if (entry != nullptr && entry->iReturnClass != ZRKC_CLASS_OK) continue;
        }
        const CopyPair &pair = list->pPairs->taPair[i];
        const uint32_t apiOption = IsLocalPair(pair) ? apiBase & ~ZRK_OPT_REMAIN : apiBase;
        if (PairCall(call, Op::ResumeVz, i, pair, apiOption) != 0 && !GroupMode(option)) return -1;
    }
    return 0;
}

// The transfer mode a recovery resume asks for: from the option word, else
// from the property "mode" (stack when it holds anything else); -1 when
// the properties could not be read.
int RequestedMode(uint32_t option, ReturnInfo *ri) {
    if ((option & ZRK_OPT_STACK) != 0) return ZRK_OPT_STACK;
    if ((option & ZRK_OPT_CONSISTENCY) != 0) return ZRK_OPT_CONSISTENCY;
    if ((option & ZRK_OPT_SYNC) != 0) return ZRK_OPT_SYNC;
    const char *mode = get_properties("mode", ri);
    if (mode == nullptr || ri->iReturnClass != 0) {
        release_properties();
        return -1;
    }
    int requested = ZRK_OPT_STACK;
    if (std::strcmp(mode, "sync") == 0) requested = ZRK_OPT_SYNC;
    else if (std::strcmp(mode, "consistency") == 0) requested = ZRK_OPT_CONSISTENCY;
    release_properties();
    return requested;
}

// One of the states that every remote session must share: -1 until the
// first session fixes it.
bool Agrees(int *state, int value) {
    if (*state == -1) *state = value;
    return *state == value;
}

} // namespace

extern "C" int resume_normal(CopyPairList *list, int option, ReturnInfo *ri) {
    static constexpr char kName[] = "resume_normal";
    TraceStart(kName);
    if (list == nullptr || ri == nullptr) return NoFrame(kName, ri);
    std::optional<CommandCall> own;
    CommandCall &call = CommandCall::FrameFor(own, kName, ri); // zrkc_resume_vz's
    int found = 0;
    SessionRecords records = ReadSessions(list, &found, ri);
    if (!records) return ErrorEnd(kName);
    if (found == 0) {
        zrkc::SetResult(ri, zrkc::Msg::SessionMissing);
        return ErrorEnd(kName);
    }
    uint32_t active = 0;
    while (active < PairsOf(*list) && IsVzSession(records[active]) &&
           records[active].tDetail.Status == ZRKC_SESSION_ACTIVE)
        ++active;
    if (active == PairsOf(*list)) {
        zrkc::SetResult(ri, zrkc::Msg::SequenceError);
        return ErrorEnd(kName);
    }
    call.TraceApiStart(Op::ResumeVz);
    const uint32_t opt = static_cast<uint32_t>(option);
    if (ResumeInactive(call, list, records.get(), opt, opt & ZRKC_OPT_API_MASK, false) != 0)
        return -1;
    call.TraceApiEnd(Op::ResumeVz);
    NormalEnd(kName);
    return call.GroupFailed() ? -1 : 0;
}

extern "C" int resume_recovery(CopyPairList *list, int option, ReturnInfo *ri) {
    static constexpr char kName[] = "resume_recovery";
    TraceStart(kName);
    if (list == nullptr || ri == nullptr) return NoFrame(kName, ri);
    std::optional<CommandCall> own;
    CommandCall &call = CommandCall::FrameFor(own, kName, ri); // zrkc_resume_vz's
    const uint32_t opt = static_cast<uint32_t>(option);
    int found = 0;
    SessionRecords records = ReadSessions(list, &found, ri);
    if (!records) return ErrorEnd(kName);
    if (found == 0) {
        zrkc::SetResult(ri, zrkc::Msg::SessionMissing);
        return ErrorEnd(kName);
    }
    const uint32_t count = PairsOf(*list);
    std::vector<uint8_t> marks;
    try {
        marks.assign(count, 0);
    } catch (const std::bad_alloc &) {
        zrkc::SetNoMemory(ri);
        return ErrorEnd(kName);
    }
    const int requested = RequestedMode(opt, ri);
    if (requested < 0) return ErrorEnd(kName);

    // Every remote VZ session must fit the mode asked for, and all of them
    // must split and recover alike.
    int splitState = -1;
    int recoveryState = -1;
    for (uint32_t i = 0; i < count; ++i) {
        const SessionRecord &record = records[i];
        if (!IsVzSession(record) || !IsRemoteSession(record)) continue;
        const DETAIL_LIST_INFO &d = record.tDetail;
        if (IsSyncSession(record)) {
            if (requested != ZRK_OPT_SYNC) {
                zrkc::SetResult(ri, zrkc::Msg::OptionUnfitForSession);
                return ErrorEnd(kName);
            }
            const int split = (d.ucModeFlags & ZRK_MODEFLAG_AUTO_SPLIT) != 0 ? ZRK_OPT_AUTO_SPLIT : 0;
            if (!Agrees(&splitState, split)) {
                zrkc::SetResult(ri, zrkc::Msg::Preconditions);
                return ErrorEnd(kName);
            }
        } else {
            const bool fits = d.ucTransferMode == kTransferConsistency ? requested == ZRK_OPT_CONSISTENCY
                              : d.ucTransferMode == kTransferStack     ? requested == ZRK_OPT_STACK
                                                                       : requested != ZRK_OPT_SYNC;
            if (!fits) {
                zrkc::SetResult(ri, zrkc::Msg::OptionUnfitForSession);
                return ErrorEnd(kName);
            }
            if (!IsStackOrConsistency(record)) marks[i] = 1;
        }
        const int recovery = (d.ucModeFlags & ZRK_MODEFLAG_MANUAL_RCV) != 0 ? ZRK_OPT_MANUAL_RCV : 0;
        if (!Agrees(&recoveryState, recovery)) {
            zrkc::SetResult(ri, zrkc::Msg::Preconditions);
            return ErrorEnd(kName);
        }
    }
    const uint32_t changeWord =
        static_cast<uint32_t>((recoveryState == -1 ? 0 : recoveryState) | requested);

    // The two operations of the changes, named together.
    const std::string changes =
        std::string(TraceNames(Op::SuspendVz)) + ", " + TraceNames(Op::ChangeVz);
    call.TraceApiStart(changes.c_str());
    for (uint32_t i = 0; i < count; ++i) {
        if (marks[i] == 0) continue;
        const CopyPair &pair = list->pPairs->taPair[i];
        if (records[i].tDetail.Status != ZRKC_SESSION_SUSPEND &&
            PairCall(call, Op::SuspendVz, i, pair, ZRK_OPT_FORCE) != 0) {
            if (!GroupMode(opt)) return ErrorEnd(kName);
            continue; // not changed; its line has failed
        }
        if (PairCall(call, Op::ChangeVz, i, pair, changeWord) != 0 && !GroupMode(opt))
            return ErrorEnd(kName);
    }
    call.TraceApiEnd(changes.c_str());

    // The states have moved: look again before resuming.
    std::memset(static_cast<void *>(records.get()), 0, sizeof(SessionRecord) * (count == 0 ? 1 : count));
    if (com_get_session_list(list, 0, 0, &found, records.get(), ri) == -1) return ErrorEnd(kName);
    call.TraceApiStart(Op::ResumeVz);
    if (ResumeInactive(call, list, records.get(), opt, opt & ZRK_OPT_REMAIN, true) != 0)
        return ErrorEnd(kName);
    call.TraceApiEnd(Op::ResumeVz);
    NormalEnd(kName);
    return call.GroupFailed() ? -1 : 0;
}

extern "C" int zrkc_resume_vz(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_resume_vz", ri);
    if (int r = OpenPairCommand(call, source, target, opt, kResumeMask)) return r;
    CopyPairList &list = call.List();
    if (!call.GroupMode() && IsLocalPair(list.pPairs->taPair[0]) &&
        (opt & ~kResumeLocalMask) != 0)
        return call.RefuseOptions();

    const CommandCall::Lend lend(call); // the resume functions report in this frame
    const int r = (opt & ZRKC_OPT_RECOVERY) != 0 ? resume_recovery(&list, option, ri)
                                                  : resume_normal(&list, option, ri);
    if (r == 0) return call.Finish();
    // A group run whose lines failed carries 1804 already.
    return call.Fail();
}
