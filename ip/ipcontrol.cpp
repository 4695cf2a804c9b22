// Change, resume and suspend of one VZ or RVZ session of an array reached
// over the LAN, and the road that they share with the stops: the public
// entry in the call frame, the request by copy pair or by session
// identifier, the internal function with its lookup and one array command.
#include "ipcontrol.h"

#include <cstring>

#include "ipaction.h"
#include "platform.h"

using zrkip::Trace;
using zrkip::TraceEnd;

namespace zrkipctl {

uint32_t SessionIdFor(uint32_t option, const IPCopyReq &req, const CliCopySession &row) {
    if ((option & kByIdBit) != 0) return req.SrcOLU;
    // A remote session that this array holds the destination side of is
    // known to it by the second identifier.
    if (Remote(req) && (row.ucAttr2 & 0x10) != 0) return row.uiSessionID2;
    return row.uiSessionID;
}

int RunMember(const Member &m, const zrkipframe::CopyArgs &args, unsigned char *sense) {
    zrkipframe::CallFrame frame(m.traceId, m.name, sense);
    zrkipframe::TraceCopyArgs(frame, args, m.wideOption);
    IPCopyReq req;
    std::memset(&req, 0, sizeof req);

    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (IPComInfoCheckSet(args.ip, args.user, args.OptionFlag, m.mask, kRefreshCopy) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }

    const bool byId = (args.OptionFlag & kByIdBit) != 0;
    if (!byId) {
        if (zrkipframe::CheckCopyArgs(args, m.checkOption) != 0) return frame.Finish(-1);
        zrkipframe::MakeCopyReq(args, &req);
    } else if (args.SrcOLU > kMaxSessionId) {
        frame.Err(3, "SessionID=%u", args.SrcOLU);
        return frame.Finish(Refuse(kErrBadSessionId));
    } else {
        req.SrcOLU = args.SrcOLU;
    }
    if (m.checks != nullptr && m.checks(args.OptionFlag, req, byId) != 0) return frame.Finish(-1);

    req.ReqMark = 1;
    req.CopyType = m.copyType;
    req.CopyAttr = static_cast<uint8_t>(req.CopyAttr | m.copyAttr);
    if (m.internal(args.ip, args.user, args.OptionFlag, &req) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    return frame.Finish(0);
}

int RunInternal(const Steps &s, const char *ip, const char *user, uint32_t option, IPCopyReq *req) {
    Trace(1, "INFO", s.name, "START");
    Trace(s.paramLevel, "INFO", s.name, "IPaddress=%s, OptionFlag=0x%02x", zrkipframe::Shown(ip),
          option);
    if (req == nullptr) return TraceEnd(s.name, Refuse(IP_ERR_PARAM));
    ZRKC_Com_OutputTrace(3, 2, "INFO", s.name, nullptr, static_cast<int>(sizeof *req), req);

    if ((option & kByIdBit) == 0 && IPCheckBoxID(req) != 0) return TraceEnd(s.name, -1);
    const Caps caps;
    if (s.gate != nullptr && s.gate(caps, option, *req) != 0) return TraceEnd(s.name, -1);

    CliCopySession row;
    std::memset(&row, 0, sizeof row);
    if (IPQueryTvc(ip, user, s.lookupOption(option), kLookupShowFlags, req, &row) != 0) {
        return TraceEnd(s.name, -1);
    }
    if (s.found != nullptr && s.found(caps, option, *req, row) != 0) return TraceEnd(s.name, -1);

    const uint32_t id = s.pairIdentifier ? SessionIdFor(option, *req, row) : row.uiSessionID;
    Trace(3, "INFO", s.name, "SessionID=%u", id);
    return TraceEnd(s.name, s.command(ip, user, option, row, static_cast<int>(id)));
}

}  // namespace zrkipctl

namespace {

using zrkipctl::Caps;
using zrkipctl::kByIdBit;
using zrkipctl::kErrNotSupported;
using zrkipctl::kErrOption;
using zrkipctl::kErrSequence;
using zrkipctl::Refuse;
using zrkipctl::Remote;
using zrkipctl::RemoteRow;

constexpr int kChangeId = 1007;
constexpr int kResumeId = 1006;
constexpr int kSuspendId = 1005;

constexpr uint32_t kChangeMask = 0x1F24;
constexpr uint32_t kResumeMask = 0x84;
constexpr uint32_t kSuspendMask = 0x100006;

constexpr uint8_t kStatusSuspend = 4;
constexpr int kErrTimerRefused = 0x15310;  // the array's 5310 as the link maps it
constexpr int kErrTimerReported = 0x20002;

// Capability bytes and bits of the copy-function record.
constexpr int kVzByte = 23, kVzDetailByte = 21, kRvzByte = 31, kRvzDetailByte = 29;
constexpr int kRvzTimerByte = 30;
constexpr unsigned kSetUp = 0x01;            // bytes 23 and 31: the group is set up
constexpr unsigned kSuspendResume = 0x01;    // bytes 21 and 29
constexpr unsigned kModeChange = 0x04;       // byte 29: change without reverse
constexpr unsigned kReverse = 0x08;          // bytes 21 and 29
constexpr unsigned kStackMode = 0x10;        // byte 29
constexpr unsigned kConsistencyMode = 0x20;  // byte 29
constexpr unsigned kTimer = 0x10;            // byte 30

// Option bits of a change that only an RVZ session takes.
constexpr uint32_t kModeBits =
    IP_OPT_SYNC | IP_OPT_SPLIT_AUTO | IP_OPT_RECOVERY_MAN | IP_OPT_STACK | IP_OPT_CONSISTENCY;

bool Set(uint32_t option, uint32_t bit) {
    return (option & bit) != 0;
}

uint32_t PairOrId(uint32_t option) {
    return option & kByIdBit;
}

// Suspend and resume: the same gate on the request.
int SuspendResumeGate(const Caps &c, uint32_t option, const IPCopyReq &req) {
    bool ok;
    if (Set(option, kByIdBit)) {
        ok = (c.Has(kRvzByte, kSetUp) || c.Has(kVzByte, kSetUp)) &&
             (c.Has(kRvzDetailByte, kSuspendResume) || c.Has(kVzDetailByte, kSuspendResume));
    } else if (Remote(req)) {
        ok = c.Has(kRvzByte, kSetUp) && c.Has(kRvzDetailByte, kSuspendResume);
    } else {
        ok = c.Has(kVzByte, kSetUp) && c.Has(kVzDetailByte, kSuspendResume);
    }
    return ok ? 0 : Refuse(kErrNotSupported);
}

// By identifier the kind of the found session decides what it needs; a
// VZ session refuses the RVZ-only option `rvzOnly`.
int SecondGate(const Caps &c, uint32_t option, const CliCopySession &row, uint32_t rvzOnly) {
    if (!Set(option, kByIdBit)) return 0;
    if (RemoteRow(row)) {
        return c.Has(kRvzDetailByte, kSuspendResume) ? 0 : Refuse(kErrNotSupported);
    }
    if (!c.Has(kVzDetailByte, kSuspendResume)) return Refuse(kErrNotSupported);
    return Set(option, rvzOnly) ? Refuse(kErrOption) : 0;
}

// ---- change ------------------------------------------------------------------------

int ChangeChecks(uint32_t o, const IPCopyReq &, bool) {
    if (Set(o, IP_OPT_REVERSE) && Set(o, kModeBits)) return Refuse(kErrOption);
    if (Set(o, IP_OPT_SYNC) && Set(o, IP_OPT_STACK | IP_OPT_CONSISTENCY)) return Refuse(kErrOption);
    if (Set(o, IP_OPT_SPLIT_AUTO) && !Set(o, IP_OPT_SYNC)) return Refuse(kErrOption);
    if (Set(o, IP_OPT_STACK) && Set(o, IP_OPT_CONSISTENCY)) return Refuse(kErrOption);
    return 0;
}

int ChangeGate(const Caps &c, uint32_t o, const IPCopyReq &req) {
    const bool reverse = Set(o, IP_OPT_REVERSE);
    bool ok;
    if (Set(o, kByIdBit)) {
        ok = (c.Has(kRvzByte, kSetUp) || c.Has(kVzByte, kSetUp)) &&
             (reverse ? c.Has(kRvzDetailByte, kReverse) || c.Has(kVzDetailByte, kReverse)
                      : c.Has(kRvzDetailByte, kModeChange));
    } else if (Remote(req)) {
        ok = c.Has(kRvzByte, kSetUp) && c.Has(kRvzDetailByte, reverse ? kReverse : kModeChange);
    } else {
        ok = c.Has(kVzByte, kSetUp) && c.Has(kVzDetailByte, kReverse);
    }
    if (ok && Set(o, IP_OPT_STACK)) ok = c.Has(kRvzDetailByte, kStackMode);
    if (ok && Set(o, IP_OPT_CONSISTENCY)) ok = c.Has(kRvzDetailByte, kConsistencyMode);
    return ok ? 0 : Refuse(kErrNotSupported);
}

int ChangeFound(const Caps &c, uint32_t o, const IPCopyReq &, const CliCopySession &row) {
    if (row.ucSessionStatus != kStatusSuspend) return Refuse(kErrSequence);
    // A session inside the array can only be reversed.
    if (!RemoteRow(row) && (!Set(o, IP_OPT_REVERSE) || Set(o, kModeBits))) {
        return Refuse(kErrOption);
    }
    if (Set(o, kByIdBit)) {
        const bool ok = RemoteRow(row)
                            ? c.Has(kRvzDetailByte, Set(o, IP_OPT_REVERSE) ? kReverse : kModeChange)
                            : c.Has(kVzDetailByte, kReverse);
        if (!ok) return Refuse(kErrNotSupported);
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
    if (!byId && !Remote(req) && Set(o, IP_OPT_REMAIN)) return Refuse(kErrOption);
    return 0;
}

int ResumeFound(const Caps &c, uint32_t o, const IPCopyReq &, const CliCopySession &row) {
    if (row.ucSessionStatus != kStatusSuspend) return Refuse(kErrSequence);
    return SecondGate(c, o, row, IP_OPT_REMAIN);
}

int ResumeCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &row, int id) {
    const int option = static_cast<int>(o);
    return RemoteRow(row) ? ResumeCopyRvz(ip, user, option, id)
                          : ResumeCopyVz(ip, user, option, id);
}

// ---- suspend -----------------------------------------------------------------------

int SuspendChecks(uint32_t o, const IPCopyReq &req, bool byId) {
    if (!byId && !Remote(req) && Set(o, IP_OPT_FORCE)) return Refuse(kErrOption);
    return 0;
}

int SuspendGate(const Caps &c, uint32_t o, const IPCopyReq &req) {
    if (SuspendResumeGate(c, o, req) != 0) return -1;
    // By pair an RVZ suspend with the stack timer needs the timer; by
    // identifier the array decides.
    if (!Set(o, kByIdBit) && Remote(req) && Set(o, IP_OPT_STACK_TIMER) &&
        !c.Has(kRvzTimerByte, kTimer)) {
        return Refuse(kErrNotSupported);
    }
    return 0;
}

int SuspendFound(const Caps &c, uint32_t o, const IPCopyReq &, const CliCopySession &row) {
    if (row.ucSessionStatus == kStatusSuspend) return Refuse(kErrSequence);
    return SecondGate(c, o, row, IP_OPT_FORCE);
}

int SuspendCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &row,
                   int id) {
    const int option = static_cast<int>(o);
    if (!RemoteRow(row)) return SuspendCopyVz(ip, user, option, 0, 1, &id);
    if (SuspendCopyRvz(ip, user, option, 0, 1, &id) == 0) return 0;
    // The array refuses the timer for a session outside stack and
    // consistency transfer; the caller tells that apart from other refusals.
    if (Set(o, IP_OPT_STACK_TIMER) && ZRKerrno == kErrTimerRefused) ZRKerrno = kErrTimerReported;
    return -1;
}

const zrkipctl::Steps kChangeSteps{.name = "IPChangeTvc",
                                   .paramLevel = 2,
                                   .gate = ChangeGate,
                                   .lookupOption = PairOrId,
                                   .found = ChangeFound,
                                   .pairIdentifier = true,
                                   .command = ChangeCommand};
const zrkipctl::Steps kResumeSteps{.name = "IPResumeTvc",
                                   .paramLevel = 3,
                                   .gate = SuspendResumeGate,
                                   .lookupOption = PairOrId,
                                   .found = ResumeFound,
                                   .pairIdentifier = true,
                                   .command = ResumeCommand};
const zrkipctl::Steps kSuspendSteps{.name = "IPSuspendTvc",
                                    .paramLevel = 2,
                                    .gate = SuspendGate,
                                    .lookupOption = PairOrId,
                                    .found = SuspendFound,
                                    .pairIdentifier = true,
                                    .command = SuspendCommand};

}  // namespace

extern "C" int IPChangeTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req) {
    return zrkipctl::RunInternal(kChangeSteps, ip, user, OptionFlag, req);
}

extern "C" int IPResumeTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req) {
    return zrkipctl::RunInternal(kResumeSteps, ip, user, OptionFlag, req);
}

extern "C" int IPSuspendTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req) {
    return zrkipctl::RunInternal(kSuspendSteps, ip, user, OptionFlag, req);
}

extern "C" int ZRKIPChangeVZ(ZRKIP_COPY_ARGS) {
    const zrkipctl::Member member{.traceId = kChangeId,
                                  .name = "ZRKIPChangeVZ",
                                  .mask = kChangeMask,
                                  .wideOption = false,
                                  .checkOption = 0,
                                  .copyType = IP_COPY_VZ,
                                  .copyAttr = 0,
                                  .checks = ChangeChecks,
                                  .internal = IPChangeTvc};
    return zrkipctl::RunMember(member, ZRKIPCTL_COPY_ARGS, SenseData);
}

extern "C" int ZRKIPResumeVZ(ZRKIP_COPY_ARGS) {
    const zrkipctl::Member member{.traceId = kResumeId,
                                  .name = "ZRKIPResumeVZ",
                                  .mask = kResumeMask,
                                  .wideOption = false,
                                  .checkOption = 0,
                                  .copyType = IP_COPY_VZ,
                                  .copyAttr = 0,
                                  .checks = ResumeChecks,
                                  .internal = IPResumeTvc};
    return zrkipctl::RunMember(member, ZRKIPCTL_COPY_ARGS, SenseData);
}

extern "C" int ZRKIPSuspendVZ(ZRKIP_COPY_ARGS) {
    const zrkipctl::Member member{.traceId = kSuspendId,
                                  .name = "ZRKIPSuspendVZ",
                                  .mask = kSuspendMask,
                                  .wideOption = false,
                                  .checkOption = 0,
                                  .copyType = IP_COPY_VZ,
                                  .copyAttr = 0,
                                  .checks = SuspendChecks,
                                  .internal = IPSuspendTvc};
    return zrkipctl::RunMember(member, ZRKIPCTL_COPY_ARGS, SenseData);
}
