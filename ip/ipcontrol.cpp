// Change, resume and suspend of one VZ or RVZ session of an array reached
// over the LAN, and the road that they share with the stops: the public
// entry in the call frame, the request by copy pair or by session
// identifier, the internal function with its lookup and one array command.
#include "ipcontrol.h"

#include <cstring>

#include "ipaction.h"
#include "platform.h"

using namespace zrkip;

namespace zrkip {

uint32_t SessionIdFor(uint32_t option, const IPCopyReq &req, const CliCopySession &row) {
    if (Set(option, ZRK_OPT_SESSION_ID)) return req.SrcOLU;
    // A remote session that this array holds the destination side of is
    // known to it by the second identifier.
    if (Remote(req) && (row.ucAttr2 & IP_SESSION_ATTR2_SECOND_ID) != 0) return row.uiSessionID2;
    return row.uiSessionID;
}

int RunMember(const Member &m, const CopyArgs &args, unsigned char *sense) {
    CallFrame frame(m.iTraceId, m.pName, sense);
    TraceCopyArgs(frame, args, m.bWideOption);
    IPCopyReq req;
    std::memset(&req, 0, sizeof req);

    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (IPComInfoCheckSet(args.ip, args.user, args.OptionFlag, m.uiMask, kRefreshCopy) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }

    const bool byId = Set(args.OptionFlag, ZRK_OPT_SESSION_ID);
    if (!byId) {
        if (CheckCopyArgs(args, m.iCheckOption) != 0) return frame.Finish(-1);
        MakeCopyReq(args, &req);
    } else if (args.SrcOLU > kMaxSessionId) {
        frame.Err(3, "SessionID=%u", args.SrcOLU);
        return frame.Finish(FailWith(ZRK_ERR_SESSION_ID));
    } else {
        req.SrcOLU = args.SrcOLU;
    }
    if (m.pChecks != nullptr && m.pChecks(args.OptionFlag, req, byId) != 0) {
        return frame.Finish(-1);
    }

    req.ReqMark = 1;
    req.CopyType = m.ucCopyType;
    req.CopyAttr = static_cast<uint8_t>(req.CopyAttr | m.ucCopyAttr);
    if (m.pInternal(args.ip, args.user, args.OptionFlag, &req) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    return frame.Finish(0);
}

int RunInternal(const Steps &s, const char *ip, const char *user, uint32_t option, IPCopyReq *req) {
    TraceText(1, "INFO", s.pName, "START");
    TraceText(s.iParamLevel, "INFO", s.pName, "IPaddress=%s, OptionFlag=0x%02x", Shown(ip),
              option);
    if (req == nullptr) return TraceEnd(1, s.pName, FailWith(ZRK_ERR_PARAMETER));
    TraceData(3, s.pName, req, static_cast<int>(sizeof *req));

    if (!Set(option, ZRK_OPT_SESSION_ID) && IPCheckBoxID(req) != 0) {
        return TraceEnd(1, s.pName, -1);
    }
    const Caps caps;
    if (s.pGate != nullptr && s.pGate(caps, option, *req) != 0) return TraceEnd(1, s.pName, -1);

    CliCopySession row;
    std::memset(&row, 0, sizeof row);
    if (IPQueryTvc(ip, user, s.pLookupOption(option), kLookupShowFlags, req, &row) != 0) {
        return TraceEnd(1, s.pName, -1);
    }
    if (s.pFound != nullptr && s.pFound(caps, option, *req, row) != 0) {
        return TraceEnd(1, s.pName, -1);
    }

    const uint32_t id = s.bPairIdentifier ? SessionIdFor(option, *req, row) : row.uiSessionID;
    TraceText(3, "INFO", s.pName, "SessionID=%u", id);
    return TraceEnd(1, s.pName, s.pCommand(ip, user, option, row, static_cast<int>(id)));
}

}  // namespace zrkip

namespace {

constexpr int kChangeId = 1007;
constexpr int kResumeId = 1006;
constexpr int kSuspendId = 1005;

constexpr uint32_t kChangeMask = ZRK_OPT_REVERSE | ZRK_OPT_CONSISTENCY | ZRK_OPT_STACK |
                                 ZRK_OPT_MANUAL_RCV | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_SYNC |
                                 ZRK_OPT_SESSION_ID;                             // 0x1F24
constexpr uint32_t kResumeMask = ZRK_OPT_REMAIN | ZRK_OPT_SESSION_ID;           // 0x84
constexpr uint32_t kSuspendMask =
    ZRK_OPT_STACK_TIMER | ZRK_OPT_SESSION_ID | ZRK_OPT_FORCE;                   // 0x100006

constexpr uint8_t kStatusSuspend = 4;

// Option bits of a change that only an RVZ session takes.
constexpr uint32_t kModeBits =
    ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV | ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY;

// Each group set up (flag byte) and offering the function `bit` of its
// function byte.
bool VzHas(const Caps &c, unsigned bit) { return c.Has(ZRK_SUPPORT_VZ_FUNCS, bit); }
bool RvzHas(const Caps &c, unsigned bit) { return c.Has(ZRK_SUPPORT_RVZ_FUNCS, bit); }
bool VzSetUp(const Caps &c) { return c.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND); }
bool RvzSetUp(const Caps &c) { return c.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND); }

// Suspend and resume: the same gate on the request.
int SuspendResumeGate(const Caps &c, uint32_t option, const IPCopyReq &req) {
    bool ok;
    if (Set(option, ZRK_OPT_SESSION_ID)) {
        ok = (RvzSetUp(c) || VzSetUp(c)) &&
             (RvzHas(c, ZRK_SUPPORT_SUSPEND) || VzHas(c, ZRK_SUPPORT_SUSPEND));
    } else if (Remote(req)) {
        ok = RvzSetUp(c) && RvzHas(c, ZRK_SUPPORT_SUSPEND);
    } else {
        ok = VzSetUp(c) && VzHas(c, ZRK_SUPPORT_SUSPEND);
    }
    return ok ? 0 : FailWith(ZRK_ERR_NOT_SUPPORT);
}

// By identifier the kind of the found session decides what it needs; a
// VZ session refuses the RVZ-only option `rvzOnly`.
int SecondGate(const Caps &c, uint32_t option, const CliCopySession &row, uint32_t rvzOnly) {
    if (!Set(option, ZRK_OPT_SESSION_ID)) return 0;
    if (RemoteRow(row)) return RvzHas(c, ZRK_SUPPORT_SUSPEND) ? 0 : FailWith(ZRK_ERR_NOT_SUPPORT);
    if (!VzHas(c, ZRK_SUPPORT_SUSPEND)) return FailWith(ZRK_ERR_NOT_SUPPORT);
    return Set(option, rvzOnly) ? FailWith(ZRK_ERR_OPTION) : 0;
}

// ---- change ------------------------------------------------------------------------

int ChangeChecks(uint32_t o, const IPCopyReq &, bool) {
    if (Set(o, ZRK_OPT_REVERSE) && Set(o, kModeBits)) return FailWith(ZRK_ERR_OPTION);
    if (Set(o, ZRK_OPT_SYNC) && Set(o, ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY)) {
        return FailWith(ZRK_ERR_OPTION);
    }
    if (Set(o, ZRK_OPT_AUTO_SPLIT) && !Set(o, ZRK_OPT_SYNC)) return FailWith(ZRK_ERR_OPTION);
    if (Set(o, ZRK_OPT_STACK) && Set(o, ZRK_OPT_CONSISTENCY)) return FailWith(ZRK_ERR_OPTION);
    return 0;
}

int ChangeGate(const Caps &c, uint32_t o, const IPCopyReq &req) {
    const bool reverse = Set(o, ZRK_OPT_REVERSE);
    bool ok;
    if (Set(o, ZRK_OPT_SESSION_ID)) {
        ok = (RvzSetUp(c) || VzSetUp(c)) &&
             (reverse ? RvzHas(c, ZRK_SUPPORT_REVERSE) || VzHas(c, ZRK_SUPPORT_REVERSE)
                      : RvzHas(c, ZRK_SUPPORT_MODE_CHANGE));
    } else if (Remote(req)) {
        ok = RvzSetUp(c) && RvzHas(c, reverse ? ZRK_SUPPORT_REVERSE : ZRK_SUPPORT_MODE_CHANGE);
    } else {
        ok = VzSetUp(c) && VzHas(c, ZRK_SUPPORT_REVERSE);
    }
    if (ok && Set(o, ZRK_OPT_STACK)) ok = RvzHas(c, ZRK_SUPPORT_STACK);
    if (ok && Set(o, ZRK_OPT_CONSISTENCY)) ok = RvzHas(c, ZRK_SUPPORT_CONSISTENCY);
    return ok ? 0 : FailWith(ZRK_ERR_NOT_SUPPORT);
}

int ChangeFound(const Caps &c, uint32_t o, const IPCopyReq &, const CliCopySession &row) {
    if (row.ucSessionStatus != kStatusSuspend) return FailWith(ZRK_ERR_SEQUENCE);
    // A session inside the array can only be reversed.
    if (!RemoteRow(row) && (!Set(o, ZRK_OPT_REVERSE) || Set(o, kModeBits))) {
        return FailWith(ZRK_ERR_OPTION);
    }
    if (Set(o, ZRK_OPT_SESSION_ID)) {
        const bool ok =
            RemoteRow(row)
                ? RvzHas(c, Set(o, ZRK_OPT_REVERSE) ? ZRK_SUPPORT_REVERSE : ZRK_SUPPORT_MODE_CHANGE)
                : VzHas(c, ZRK_SUPPORT_REVERSE);
        if (!ok) return FailWith(ZRK_ERR_NOT_SUPPORT);
    }
    return 0;
}

int ChangeCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &row, int id) {
    const int option = static_cast<int>(o);
    return RemoteRow(row) ? ChangeCopyRvz(ip, user, option, id)
                          : ChangeCopyVz(ip, user, option, id);
}

// ---- resume ------------------------------------------------------------------------

int ResumeChecks(uint32_t o, const IPCopyReq &req, bool byId) {
    if (!byId && !Remote(req) && Set(o, ZRK_OPT_REMAIN)) return FailWith(ZRK_ERR_OPTION);
    return 0;
}

int ResumeFound(const Caps &c, uint32_t o, const IPCopyReq &, const CliCopySession &row) {
    if (row.ucSessionStatus != kStatusSuspend) return FailWith(ZRK_ERR_SEQUENCE);
    return SecondGate(c, o, row, ZRK_OPT_REMAIN);
}

int ResumeCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &row, int id) {
    const int option = static_cast<int>(o);
    return RemoteRow(row) ? ResumeCopyRvz(ip, user, option, id)
                          : ResumeCopyVz(ip, user, option, id);
}

// ---- suspend -----------------------------------------------------------------------

int SuspendChecks(uint32_t o, const IPCopyReq &req, bool byId) {
    if (!byId && !Remote(req) && Set(o, ZRK_OPT_FORCE)) return FailWith(ZRK_ERR_OPTION);
    return 0;
}

int SuspendGate(const Caps &c, uint32_t o, const IPCopyReq &req) {
    if (SuspendResumeGate(c, o, req) != 0) return -1;
    // By pair an RVZ suspend with the stack timer needs the timer; by
    // identifier the array decides.
    if (!Set(o, ZRK_OPT_SESSION_ID) && Remote(req) && Set(o, ZRK_OPT_STACK_TIMER) &&
        !c.Has(ZRK_SUPPORT_RVZ_EXTRA, ZRK_SUPPORT_TIMER)) {
        return FailWith(ZRK_ERR_NOT_SUPPORT);
    }
    return 0;
}

int SuspendFound(const Caps &c, uint32_t o, const IPCopyReq &, const CliCopySession &row) {
    if (row.ucSessionStatus == kStatusSuspend) return FailWith(ZRK_ERR_SEQUENCE);
    return SecondGate(c, o, row, ZRK_OPT_FORCE);
}

int SuspendCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &row,
                   int id) {
    const int option = static_cast<int>(o);
    if (!RemoteRow(row)) return SuspendCopyVz(ip, user, option, 0, 1, &id);
    if (SuspendCopyRvz(ip, user, option, 0, 1, &id) == 0) return 0;
    // The array refuses the timer for a session outside stack and
    // consistency transfer; the caller tells that apart from other refusals.
    if (Set(o, ZRK_OPT_STACK_TIMER) && ZRKerrno == ZRK_ERR_ARRAY_TIMER) {
        ZRKerrno = ZRK_ERR_TIMER_REPORTED;
    }
    return -1;
}

const zrkip::Steps kChangeSteps{"IPChangeTvc", 2, ChangeGate, zrkip::PairOrId, ChangeFound,
                                true, ChangeCommand};
const zrkip::Steps kResumeSteps{"IPResumeTvc", 3, SuspendResumeGate, zrkip::PairOrId,
                                ResumeFound, true, ResumeCommand};
const zrkip::Steps kSuspendSteps{"IPSuspendTvc", 2, SuspendGate, zrkip::PairOrId, SuspendFound,
                                 true, SuspendCommand};

// The three public functions: a VZ or RVZ session by pair or identifier.
constexpr zrkip::Member VzMember(int id, const char *name, uint32_t mask,
                                 int (*checks)(uint32_t, const IPCopyReq &, bool),
                                 zrkip::InternalFn internal) {
    return {id, name, mask, false, 0, IP_COPY_VZ, 0, checks, internal};
}
const zrkip::Member kChange =
    VzMember(kChangeId, "ZRKIPChangeVZ", kChangeMask, ChangeChecks, IPChangeTvc);
const zrkip::Member kResume =
    VzMember(kResumeId, "ZRKIPResumeVZ", kResumeMask, ResumeChecks, IPResumeTvc);
const zrkip::Member kSuspend =
    VzMember(kSuspendId, "ZRKIPSuspendVZ", kSuspendMask, SuspendChecks, IPSuspendTvc);

}  // namespace

extern "C" int IPChangeTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req) {
    return zrkip::RunInternal(kChangeSteps, ip, user, OptionFlag, req);
}

extern "C" int IPResumeTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req) {
    return zrkip::RunInternal(kResumeSteps, ip, user, OptionFlag, req);
}

extern "C" int IPSuspendTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req) {
    return zrkip::RunInternal(kSuspendSteps, ip, user, OptionFlag, req);
}

extern "C" int ZRKIPChangeVZ(ZRKIP_COPY_ARGS) {
    return zrkip::RunMember(kChange, IP_COPY_ARGS_RECORD, SenseData);
}

extern "C" int ZRKIPResumeVZ(ZRKIP_COPY_ARGS) {
    return zrkip::RunMember(kResume, IP_COPY_ARGS_RECORD, SenseData);
}

extern "C" int ZRKIPSuspendVZ(ZRKIP_COPY_ARGS) {
    return zrkip::RunMember(kSuspend, IP_COPY_ARGS_RECORD, SenseData);
}
