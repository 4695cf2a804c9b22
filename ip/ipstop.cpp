// Stop of one copy session of an array reached over the LAN: VZ and RVZ,
// KZP (also of virtual volumes), QuickKZP (whole or only its tracking),
// SnapKZP and SnapKZP+ (also copy monitors). Each follows the road of the
// single-session control functions and ends in "stop copy-session", or
// "stop vvol-copy-session" for a session of virtual volumes. Unlike change,
// resume and suspend, a stop does not look at the session's status.
#include "ipaction.h"
#include "ipcontrol.h"
#include "platform.h"

using namespace zrkip;

namespace {

constexpr int kStopVzId = 1004;
constexpr int kStopKzpId = 1012;
constexpr int kStopQuickId = 1014;
constexpr int kStopSnapId = 1029;
constexpr int kStopSnapPId = 1025;

constexpr uint32_t kStopVzMask = ZRK_OPT_SESSION_ID | ZRK_OPT_FORCE;            // 0x6
constexpr uint32_t kStopKzpMask =
    ZRK_OPT_VVOL | ZRK_OPT_LIST_SEL_01 | ZRK_OPT_SESSION_ID;                     // 0x1080004
constexpr uint32_t kStopQuickMask =
    ZRK_OPT_STOP_TRACKING | ZRK_OPT_SESSION_ID | ZRK_OPT_FORCE;                  // 0x4006
constexpr uint32_t kStopSnapMask = ZRK_OPT_MONITOR | ZRK_OPT_SESSION_ID;        // 0x8004
constexpr uint32_t kStopSnapPMask = kStopSnapMask | ZRK_OPT_FORCE;              // 0x8006

constexpr uint8_t kPointInTimeKinds =
    ZRK_IPATTR_QUICKKZP | ZRK_IPATTR_SNAPKZP | ZRK_IPATTR_SNAPKZP_P;

bool KzpSetUp(const Caps &c) { return c.Has(ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND); }

// ---- VZ, RVZ and KZP -----------------------------------------------------------------

int StopGate(const Caps &c, uint32_t o, const IPCopyReq &req) {
    const bool byId = Set(o, ZRK_OPT_SESSION_ID);
    bool ok;
    if (req.CopyType == IP_COPY_VZ) {
        const bool rvz = c.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND);
        const bool vz = c.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND);
        ok = byId ? rvz || vz : (Remote(req) ? rvz : vz);
    } else {
        ok = (byId || !Remote(req)) && KzpSetUp(c);
    }
    if (ok && Set(o, ZRK_OPT_VVOL)) ok = c.Vvol();
    return ok ? 0 : FailWith(ZRK_ERR_NOT_SUPPORT);
}

// The sessions of virtual volumes are looked up in their own list.
uint32_t StopLookup(uint32_t o) {
    return Set(o, ZRK_OPT_VVOL) ? o : zrkip::PairOrId(o);
}

// A KZP stop leaves the QuickKZP and snapshot sessions to their own stops.
int StopFound(const Caps &, uint32_t o, const IPCopyReq &req, const CliCopySession &row) {
    if (!Set(o, ZRK_OPT_VVOL) && req.CopyType == IP_COPY_KZP &&
        (row.ucAttr & kPointInTimeKinds) != 0) {
        return FailWith(ZRK_ERR_NO_SESSION);
    }
    return 0;
}

int StopCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &, int id) {
    const int option = static_cast<int>(o);
    if (Set(o, ZRK_OPT_VVOL)) return StopVvolCopySession(ip, user, option, 1, &id);
    return StopCopySession(ip, user, option, 1, &id);
}

// A point-in-time copy acts inside one array.
int LocalOnly(uint32_t, const IPCopyReq &req, bool byId) {
    return !byId && Remote(req) ? FailWith(ZRK_ERR_NOT_SUPPORT) : 0;
}

// ---- QuickKZP --------------------------------------------------------------------------

int QuickChecks(uint32_t o, const IPCopyReq &req, bool byId) {
    // Either the whole session or only its tracking.
    if (Set(o, ZRK_OPT_FORCE) == Set(o, ZRK_OPT_STOP_TRACKING)) return FailWith(ZRK_ERR_OPTION);
    return LocalOnly(o, req, byId);
}

int QuickGate(const Caps &c, uint32_t, const IPCopyReq &) {
    return c.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_QUICK) ? 0 : FailWith(ZRK_ERR_NOT_SUPPORT);
}

int QuickFound(const Caps &, uint32_t, const IPCopyReq &, const CliCopySession &row) {
    return (row.ucAttr & ZRK_IPATTR_QUICKKZP) != 0 ? 0 : FailWith(ZRK_ERR_NO_SESSION);
}

int QuickCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &, int id) {
    return StopCopySession(ip, user, static_cast<int>(o & ZRK_OPT_STOP_TRACKING), 1, &id);
}

// ---- SnapKZP and SnapKZP+ ----------------------------------------------------------------

int SnapGate(const Caps &c, uint32_t, const IPCopyReq &req) {
    bool ok = KzpSetUp(c);
    if ((req.CopyAttr & ZRK_IPATTR_SNAPKZP) != 0) {
        ok = ok && c.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP);
    }
    if ((req.CopyAttr & ZRK_IPATTR_SNAPKZP_P) != 0) {
        ok = ok && c.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP_P);
    }
    return ok ? 0 : FailWith(ZRK_ERR_NOT_SUPPORT);
}

int SnapFound(const Caps &, uint32_t o, const IPCopyReq &req, const CliCopySession &row) {
    bool ok;
    if (Set(o, ZRK_OPT_MONITOR)) {
        ok = row.ucSessionType == IP_COPY_MONITOR;
    } else {
        const uint8_t kind = req.CopyAttr & (ZRK_IPATTR_SNAPKZP | ZRK_IPATTR_SNAPKZP_P);
        ok = (row.ucAttr & kind) == kind;
    }
    return ok ? 0 : FailWith(ZRK_ERR_NO_SESSION);
}

int SnapCommand(const char *ip, const char *user, uint32_t o, const CliCopySession &, int id) {
    return StopCopySession(ip, user, static_cast<int>(o & ZRK_OPT_FORCE), 1, &id);
}

const zrkip::Steps kStopSteps{"IPStopTvc", 3, StopGate, StopLookup, StopFound, true,
                              StopCommand};
const zrkip::Steps kQuickSteps{"IPStopQuickTvc", 3, QuickGate, zrkip::PairOrId, QuickFound,
                               false, QuickCommand};
const zrkip::Steps kSnapSteps{"IPStopSnapTvc", 3, SnapGate, zrkip::PairOrId, SnapFound, false,
                              SnapCommand};

const zrkip::Member kStopVz{kStopVzId, "ZRKIPStopVZ", kStopVzMask, false, 0, IP_COPY_VZ, 0,
                            nullptr, IPStopTvc};
const zrkip::Member kStopKzp{kStopKzpId, "ZRKIPStopKZP", kStopKzpMask, false, 0, IP_COPY_KZP, 0,
                             LocalOnly, IPStopTvc};
const zrkip::Member kStopQuick{kStopQuickId, "ZRKIPStopQuickKZP", kStopQuickMask, true, 0,
                               IP_COPY_KZP, ZRK_IPATTR_QUICKKZP, QuickChecks, IPStopQuickTvc};

// The snapshot stops: a copy monitor has no destination.
int RunSnapStop(int id, const char *name, uint32_t mask, uint8_t attr,
                const zrkip::CopyArgs &args, unsigned char *sense) {
    const bool monitor = Set(args.OptionFlag, ZRK_OPT_MONITOR);
    const zrkip::Member member{id,
                               name,
                               mask,
                               false,
                               monitor ? IP_CHECK_MONITOR : 0,
                               static_cast<uint8_t>(monitor ? IP_COPY_MONITOR : IP_COPY_KZP),
                               attr,
                               LocalOnly,
                               IPStopSnapTvc};
    return zrkip::RunMember(member, args, sense);
}

}  // namespace

extern "C" int IPStopTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req) {
    return zrkip::RunInternal(kStopSteps, ip, user, OptionFlag, req);
}

extern "C" int IPStopQuickTvc(const char *ip, const char *user, uint32_t OptionFlag,
                              IPCopyReq *req) {
    return zrkip::RunInternal(kQuickSteps, ip, user, OptionFlag, req);
}

extern "C" int IPStopSnapTvc(const char *ip, const char *user, uint32_t OptionFlag,
                             IPCopyReq *req) {
    return zrkip::RunInternal(kSnapSteps, ip, user, OptionFlag, req);
}

extern "C" int ZRKIPStopVZ(ZRKIP_COPY_ARGS) {
    return zrkip::RunMember(kStopVz, IP_COPY_ARGS_RECORD, SenseData);
}

extern "C" int ZRKIPStopKZP(ZRKIP_COPY_ARGS) {
    return zrkip::RunMember(kStopKzp, IP_COPY_ARGS_RECORD, SenseData);
}

extern "C" int ZRKIPStopQuickKZP(ZRKIP_COPY_ARGS) {
    return zrkip::RunMember(kStopQuick, IP_COPY_ARGS_RECORD, SenseData);
}

extern "C" int ZRKIPStopSnapKZP(ZRKIP_COPY_ARGS) {
    return RunSnapStop(kStopSnapId, "ZRKIPStopSnapKZP", kStopSnapMask, ZRK_IPATTR_SNAPKZP,
                       IP_COPY_ARGS_RECORD, SenseData);
}

extern "C" int ZRKIPStopSnapKZP_p(ZRKIP_COPY_ARGS) {
    return RunSnapStop(kStopSnapPId, "ZRKIPStopSnapKZP_p", kStopSnapPMask, ZRK_IPATTR_SNAPKZP_P,
                       IP_COPY_ARGS_RECORD, SenseData);
}
