// Stop of one copy session of an array reached over the LAN: VZ and RVZ,
// KZP (also of virtual volumes), QuickKZP (whole or only its tracking),
// SnapKZP and SnapKZP+ (also copy monitors). Each follows the road of the
// single-session control functions and ends in "stop copy-session", or
// "stop vvol-copy-session" for a session of virtual volumes. Unlike change,
// resume and suspend, a stop does not look at the session's status.
#include "ipaction.h"
#include "ipcontrol.h"

namespace {

using zrkipctl::Caps;
using zrkipctl::kByIdBit;
using zrkipctl::kErrNoSession;
using zrkipctl::kErrNotSupported;
using zrkipctl::kErrOption;
using zrkipctl::Refuse;
using zrkipctl::Remote;

constexpr int kStopVzId = 1004;
constexpr int kStopKzpId = 1012;
constexpr int kStopQuickId = 1014;
constexpr int kStopSnapId = 1029;
constexpr int kStopSnapPId = 1025;

constexpr uint32_t kStopVzMask = 0x6;
constexpr uint32_t kStopKzpMask = 0x1080004;
constexpr uint32_t kStopQuickMask = 0x4006;
constexpr uint32_t kStopSnapMask = 0x8004;
constexpr uint32_t kStopSnapPMask = 0x8006;

// Capability bytes and bits of the copy-function record.
constexpr int kKzpByte = 7, kKzpKindsByte = 4, kVzByte = 23, kRvzByte = 31;
constexpr unsigned kSetUp = 0x01;
constexpr unsigned kQuick = 0x01;  // byte 4
constexpr unsigned kSnap = 0x04;   // byte 4
constexpr unsigned kSnapP = 0x08;  // byte 4

constexpr uint8_t kPointInTimeKinds =
    ZRK_IPATTR_QUICKKZP | ZRK_IPATTR_SNAPKZP | ZRK_IPATTR_SNAPKZP_P;

bool Set(uint32_t option, uint32_t bit) {
    return (option & bit) != 0;
}

// ---- VZ, RVZ and KZP -----------------------------------------------------------------

int StopGate(const Caps &c, uint32_t o, const IPCopyReq &req) {
    const bool byId = Set(o, kByIdBit);
    bool ok;
    if (req.CopyType == IP_COPY_VZ) {
        ok = byId ? c.Has(kRvzByte, kSetUp) || c.Has(kVzByte, kSetUp)
                  : c.Has(Remote(req) ? kRvzByte : kVzByte, kSetUp);
    } else {
        ok = (byId || !Remote(req)) && c.Has(kKzpByte, kSetUp);
    }
    if (ok && Set(o, IP_OPT_VVOL)) ok = c.HasVvol();
    return ok ? 0 : Refuse(kErrNotSupported);
}

// The sessions of virtual volumes are looked up in their own list.
uint32_t StopLookup(uint32_t o) {
    return Set(o, IP_OPT_VVOL) ? o : o & kByIdBit;
}

// A KZP stop leaves the QuickKZP and snapshot sessions to their own stops.
int StopFound(const Caps &, uint32_t o, const IPCopyReq &req, const CliCopySession &row) {
    if (!Set(o, IP_OPT_VVOL) && req.CopyType == IP_COPY_KZP &&
        (row.ucAttr & kPointInTimeKinds) != 0) {
        return Refuse(kErrNoSession);
    }
    return 0;
}

int StopCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &, int id) {
    const int option = static_cast<int>(o);
    if (Set(o, IP_OPT_VVOL)) return StopVvolCopySession(ip, user, option, 1, &id);
    return StopCopySession(ip, user, option, 1, &id);
}

// A point-in-time copy acts inside one array.
int LocalOnly(uint32_t, const IPCopyReq &req, bool byId) {
    return !byId && Remote(req) ? Refuse(kErrNotSupported) : 0;
}

// ---- QuickKZP --------------------------------------------------------------------------

int QuickChecks(uint32_t o, const IPCopyReq &req, bool byId) {
    // Either the whole session or only its tracking.
    if (Set(o, IP_OPT_FORCE) == Set(o, IP_OPT_STOP_TRACKING)) return Refuse(kErrOption);
    return LocalOnly(o, req, byId);
}

int QuickGate(const Caps &c, uint32_t, const IPCopyReq &) {
    return c.Has(kKzpKindsByte, kQuick) ? 0 : Refuse(kErrNotSupported);
}

uint32_t PairOrId(uint32_t o) {
    return o & kByIdBit;
}

int QuickFound(const Caps &, uint32_t, const IPCopyReq &, const CliCopySession &row) {
    return (row.ucAttr & ZRK_IPATTR_QUICKKZP) != 0 ? 0 : Refuse(kErrNoSession);
}

int QuickCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &, int id) {
    return StopCopySession(ip, user, static_cast<int>(o & IP_OPT_STOP_TRACKING), 1, &id);
}

// ---- SnapKZP and SnapKZP+ ----------------------------------------------------------------

int SnapGate(const Caps &c, uint32_t, const IPCopyReq &req) {
    bool ok = c.Has(kKzpByte, kSetUp);
    if ((req.CopyAttr & ZRK_IPATTR_SNAPKZP) != 0) ok = ok && c.Has(kKzpKindsByte, kSnap);
    if ((req.CopyAttr & ZRK_IPATTR_SNAPKZP_P) != 0) ok = ok && c.Has(kKzpKindsByte, kSnapP);
    return ok ? 0 : Refuse(kErrNotSupported);
}

int SnapFound(const Caps &, uint32_t o, const IPCopyReq &req, const CliCopySession &row) {
    bool ok;
    if (Set(o, IP_OPT_MONITOR)) {
        ok = row.ucSessionType == IP_COPY_MONITOR;
    } else {
        const uint8_t kind = req.CopyAttr & (ZRK_IPATTR_SNAPKZP | ZRK_IPATTR_SNAPKZP_P);
        ok = (row.ucAttr & kind) == kind;
    }
    return ok ? 0 : Refuse(kErrNoSession);
}

int SnapCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &, int id) {
    return StopCopySession(ip, user, static_cast<int>(o & IP_OPT_FORCE), 1, &id);
}

const zrkipctl::Steps kStopSteps{.name = "IPStopTvc",
                                 .paramLevel = 3,
                                 .gate = StopGate,
                                 .lookupOption = StopLookup,
                                 .found = StopFound,
                                 .pairIdentifier = true,
                                 .command = StopCommand};
const zrkipctl::Steps kQuickSteps{.name = "IPStopQuickTvc",
                                  .paramLevel = 3,
                                  .gate = QuickGate,
                                  .lookupOption = PairOrId,
                                  .found = QuickFound,
                                  .pairIdentifier = false,
                                  .command = QuickCommand};
const zrkipctl::Steps kSnapSteps{.name = "IPStopSnapTvc",
                                 .paramLevel = 3,
                                 .gate = SnapGate,
                                 .lookupOption = PairOrId,
                                 .found = SnapFound,
                                 .pairIdentifier = false,
                                 .command = SnapCommand};

// The snapshot stops: a copy monitor has no destination.
int RunSnapStop(int id, const char *name, uint32_t mask, uint8_t attr,
                const zrkipframe::CopyArgs &args, unsigned char *sense) {
    const bool monitor = Set(args.OptionFlag, IP_OPT_MONITOR);
    const zrkipctl::Member member{
        .traceId = id,
        .name = name,
        .mask = mask,
        .wideOption = false,
        .checkOption = monitor ? IP_CHECK_MONITOR : 0,
        .copyType = static_cast<uint8_t>(monitor ? IP_COPY_MONITOR : IP_COPY_KZP),
        .copyAttr = attr,
        .checks = LocalOnly,
        .internal = IPStopSnapTvc};
    return zrkipctl::RunMember(member, args, sense);
}

}  // namespace

extern "C" int IPStopTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req) {
    return zrkipctl::RunInternal(kStopSteps, ip, user, OptionFlag, req);
}

extern "C" int IPStopQuickTvc(const char *ip, const char *user, uint32_t OptionFlag,
                              IPCopyReq *req) {
    return zrkipctl::RunInternal(kQuickSteps, ip, user, OptionFlag, req);
}

extern "C" int IPStopSnapTvc(const char *ip, const char *user, uint32_t OptionFlag,
                             IPCopyReq *req) {
    return zrkipctl::RunInternal(kSnapSteps, ip, user, OptionFlag, req);
}

extern "C" int ZRKIPStopVZ(ZRKIP_COPY_ARGS) {
    const zrkipctl::Member member{.traceId = kStopVzId,
                                  .name = "ZRKIPStopVZ",
                                  .mask = kStopVzMask,
                                  .wideOption = false,
                                  .checkOption = 0,
                                  .copyType = IP_COPY_VZ,
                                  .copyAttr = 0,
                                  .checks = nullptr,
                                  .internal = IPStopTvc};
    return zrkipctl::RunMember(member, ZRKIPCTL_COPY_ARGS, SenseData);
}

extern "C" int ZRKIPStopKZP(ZRKIP_COPY_ARGS) {
    const zrkipctl::Member member{.traceId = kStopKzpId,
                                  .name = "ZRKIPStopKZP",
                                  .mask = kStopKzpMask,
                                  .wideOption = false,
                                  .checkOption = 0,
                                  .copyType = IP_COPY_KZP,
                                  .copyAttr = 0,
                                  .checks = LocalOnly,
                                  .internal = IPStopTvc};
    return zrkipctl::RunMember(member, ZRKIPCTL_COPY_ARGS, SenseData);
}

extern "C" int ZRKIPStopQuickKZP(ZRKIP_COPY_ARGS) {
    const zrkipctl::Member member{.traceId = kStopQuickId,
                                  .name = "ZRKIPStopQuickKZP",
                                  .mask = kStopQuickMask,
                                  .wideOption = true,
                                  .checkOption = 0,
                                  .copyType = IP_COPY_KZP,
                                  .copyAttr = ZRK_IPATTR_QUICKKZP,
                                  .checks = QuickChecks,
                                  .internal = IPStopQuickTvc};
    return zrkipctl::RunMember(member, ZRKIPCTL_COPY_ARGS, SenseData);
}

extern "C" int ZRKIPStopSnapKZP(ZRKIP_COPY_ARGS) {
    return RunSnapStop(kStopSnapId, "ZRKIPStopSnapKZP", kStopSnapMask, ZRK_IPATTR_SNAPKZP,
                       ZRKIPCTL_COPY_ARGS, SenseData);
}

extern "C" int ZRKIPStopSnapKZP_p(ZRKIP_COPY_ARGS) {
    return RunSnapStop(kStopSnapPId, "ZRKIPStopSnapKZP_p", kStopSnapPMask, ZRK_IPATTR_SNAPKZP_P,
                       ZRKIPCTL_COPY_ARGS, SenseData);
}
