// Starting a copy session over the LAN: VZ and RVZ mirrors, KZP, QuickKZP
// (new or restarted) and SnapKZP+ sessions or copy monitors. When the array
// refuses a start, its volumes are looked at for a more telling error.
#include "ipsession.h"

#include "ipaction.h"
#include "ipframe.h"
#include "ipshow_array.h"
#include "platform.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using zrkshow::Fail;
using zrkshow::Trace;

constexpr int kStartVzId = 1003;
constexpr int kStartKzpId = 1011;
constexpr int kStartQuickKzpId = 1013;
constexpr int kStartSnapKzpPId = 1024;

constexpr uint32_t kStartVzMask = 0x20F60;
constexpr uint32_t kStartKzpMask = 0;
constexpr uint32_t kStartQuickKzpMask = IP_OPT_RESTART | IP_OPT_VVOL_DELETE;
constexpr uint32_t kStartSnapKzpPMask = IP_OPT_MONITOR | IP_OPT_VVOL_DELETE;

// The RVZ-only transfer options that a mirror inside one array refuses.
constexpr uint32_t kRemoteOnlyOptions = IP_OPT_SYNC | IP_OPT_SKIP | IP_OPT_SPLIT_AUTO |
                                        IP_OPT_RECOVERY_MAN | IP_OPT_STACK | IP_OPT_CONSISTENCY;

constexpr int kRefreshCopy = IP_REFRESH_BOXID | 0x4;  // RefreshFlags of the copy functions
constexpr int kRestartListFlags = IP_SHOW_FLAG_MODE;

// Capability bits: (byte, bit) of the copy-function record.
struct Cap {
    size_t byte;
    unsigned bit;
};
constexpr Cap kCapKzp{IP_CF_KZP_BYTE, 0x01};
constexpr Cap kCapQuick{4, 0x01};
constexpr Cap kCapSnap{4, 0x04};
constexpr Cap kCapSnapP{4, 0x08};
constexpr Cap kCapVz{IP_CF_VZ_BYTE, 0x01};
constexpr Cap kCapVzSecondary{21, 0x02};
constexpr Cap kCapRvz{IP_CF_RVZ_BYTE, 0x01};
constexpr Cap kCapRvzStack{29, 0x10};
constexpr Cap kCapRvzConsistency{29, 0x20};
constexpr Cap kCapRvzSecondary{29, 0x02};

// The copy-function record of the array of this call, asked by Cap.
class Functions : public zrkipframe::CopyFunctions {
public:
    bool Has(Cap cap) const { return CopyFunctions::Has(static_cast<int>(cap.byte), cap.bit); }
};

using VolumeList = zrkshow::Freed<CliVolume>;

bool IsRemote(const IPCopyReq &req) { return (req.CopyAttr & ZRK_IPATTR_REMOTE) != 0; }

// Errors of the road to the array itself, and a request that the start
// command refused before sending it: there is nothing to ask about.
bool TransportError(int error) {
    return zrkipsession::LinkFailure(error) || error == IP_SHOW_ERR_PARAM;
}

void Begin(const char *name, const char *ip, uint32_t option, const IPCopyReq *req) {
    Trace(1, "INFO", name, "START");
    Trace(3, "INFO", name, "IPaddress=%s, OptionFlag=0x%02x", zrkipframe::Shown(ip), option);
    if (req != nullptr) {
        ZRKC_Com_OutputTrace(3, 2, "INFO", name, nullptr, static_cast<int>(sizeof *req), req);
    }
}

// The source and destination rows of the whole volume list. A request
// whose two volumes carry the same number (disjoint extents of one volume)
// finds one row that is both.
struct LocalVolumes {
    VolumeList list;
    const CliVolume *src = nullptr;
    const CliVolume *dst = nullptr;
};

int BothVolumes(const char *name, const char *ip, const char *user, uint32_t srcOlu,
                uint32_t dstOlu, LocalVolumes *out, int *error) {
    int count = 0;
    CliVolume *raw = nullptr;
    if (ShowVolumes(ip, user, 0, 0, IP_VOLUMES_ALL, &count, &raw) != 0) {
        std::free(raw);
        *error = ZRKerrno;
        return -1;
    }
    out->list.reset(raw);
    if (count <= 0 || !out->list) {
        *error = 48;
        return -1;
    }
    int srcRows = 0;
    int dstRows = 0;
    for (int i = 0; i < count; ++i) {
        const CliVolume &v = out->list.get()[i];
        if (v.uiVolumeNo == srcOlu) {
            ++srcRows;
            out->src = &v;
        } else if (v.uiVolumeNo == dstOlu) {
            ++dstRows;
            out->dst = &v;
        }
    }
    if (srcOlu == dstOlu) {
        dstRows = srcRows;
        out->dst = out->src;
    }
    if (srcRows == 0 || dstRows == 0) {
        *error = 48;
        return -1;
    }
    if (srcRows != 1 || dstRows != 1) {
        Trace(2, "ERR", name, " uiVolCount is not 1 ");
        *error = 904;
        return -1;
    }
    return 0;
}

// Snap data volumes of one number; room for a few so that a duplicate
// shows as a count rather than as an overlong reply.
constexpr size_t kSdvRoom = 8;

int SnapVolume(const char *ip, const char *user, uint32_t olu, int *count,
               CliSnapDataVolume *rows) {
    std::memset(rows, 0, sizeof(CliSnapDataVolume) * kSdvRoom);
    return ShowSnapDataVolume(ip, user, static_cast<int>(olu), IP_VOLUMES_ONE, count, rows,
                              kSdvRoom);
}

// ---- diagnoses ---------------------------------------------------------------

// After a refused VZ, RVZ or KZP start: the error to report.
int DiagnoseTvc(const char *name, const char *ip, const char *user, const IPCopyReq &req,
                int startError) {
    int error = startError;
    if (IsRemote(req)) {
        char own[ZRK_BOXID_LEN];
        IPCtrlCommonData(IP_COMMON_BOXID_GET, own);
        const uint32_t olu =
            std::memcmp(req.SrcBoxID, own, sizeof own) == 0 ? req.SrcOLU : req.DstOLU;
        uint8_t type = 0;
        if (zrkipsession::LookUpVolume(name, ip, user, olu, &type) != 0) return ZRKerrno;
        return type == IP_VOLUME_TYPE_SDV ? 68 : startError;
    }

    LocalVolumes volumes;
    if (BothVolumes(name, ip, user, req.SrcOLU, req.DstOLU, &volumes, &error) != 0) return error;
    if (req.CopyType == IP_COPY_KZP) {
        if (volumes.src->ucVolumeType == IP_VOLUME_TYPE_SDV) {
            uint32_t status = 0;
            if (zrkipsession::LookUpSnapVolume(name, ip, user, req.SrcOLU, kSdvRoom, &status) !=
                0) {
                return ZRKerrno;
            }
            if (status == IP_SDV_INITIALIZING) return 39;
        }
        if (volumes.dst->ucVolumeType == IP_VOLUME_TYPE_SDV) return 68;
        return startError;
    }
    if (volumes.src->ucVolumeType == IP_VOLUME_TYPE_SDV) return 68;
    if (volumes.dst->ucVolumeType == IP_VOLUME_TYPE_SDV) return 68;
    return startError;
}

// After a refused QuickKZP start: srcOlu is the source volume as the caller
// named it (a restart has replaced it in the request by the session).
int DiagnoseQuick(const char *name, const char *ip, const char *user, uint32_t srcOlu,
                  uint32_t dstOlu, int startError) {
    int error = startError;
    LocalVolumes volumes;
    if (BothVolumes(name, ip, user, srcOlu, dstOlu, &volumes, &error) != 0) return error;
    if (volumes.src->ucVolumeType == IP_VOLUME_TYPE_SDV ||
        volumes.dst->ucVolumeType == IP_VOLUME_TYPE_SDV) {
        return 68;
    }
    return startError;
}

// After a refused SnapKZP+ start.
int DiagnoseSnap(const char *ip, const char *user, uint32_t option, const IPCopyReq &req,
                 int startError) {
    if (startError == 0x15358 || startError == 0x15359) return 68;
    if ((option & IP_OPT_MONITOR) != 0) return startError;
    int count = 0;
    CliSnapDataVolume rows[kSdvRoom];
    if (SnapVolume(ip, user, req.DstOLU, &count, rows) != 0) return ZRKerrno;
    if (count == 1 && (rows[0].SdvStatus & IP_SDV_BUSY_BITS) != 0) return 39;
    return startError;
}

// A refused start: the diagnosis, unless the road to the array failed.
template <typename Diagnose>
int Refused(const char *name, Diagnose diagnose) {
    const int startError = ZRKerrno;
    if (!TransportError(startError)) ZRKerrno = diagnose(startError);
    return zrkshow::TraceEnd(name, -1);
}

// ---- the public frame ------------------------------------------------------------

enum class Kind { Vz, Kzp, QuickKzp, SnapKzpP };

struct StartSpec {
    Kind kind;
    int id;
    const char *name;
    uint32_t mask;
};

constexpr StartSpec kVz{Kind::Vz, kStartVzId, "ZRKIPStartVZ", kStartVzMask};
constexpr StartSpec kKzp{Kind::Kzp, kStartKzpId, "ZRKIPStartKZP", kStartKzpMask};
constexpr StartSpec kQuickKzp{Kind::QuickKzp, kStartQuickKzpId, "ZRKIPStartQuickKZP",
                              kStartQuickKzpMask};
constexpr StartSpec kSnapKzpP{Kind::SnapKzpP, kStartSnapKzpPId, "ZRKIPStartSnapKZP_p",
                              kStartSnapKzpPMask};

// The transfer options that a VZ start refuses for its kind of mirror.
bool VzOptionsRefused(bool remote, uint32_t option) {
    if (!remote) return (option & kRemoteOnlyOptions) != 0;
    const bool sync = (option & IP_OPT_SYNC) != 0;
    const bool stack = (option & IP_OPT_STACK) != 0;
    const bool consistency = (option & IP_OPT_CONSISTENCY) != 0;
    if (sync && (stack || consistency)) return true;
    if ((option & IP_OPT_SPLIT_AUTO) != 0 && !sync) return true;
    return stack && consistency;
}

int PublicStart(const StartSpec &spec, const zrkipframe::CopyArgs &args,
                unsigned char *SenseData) {
    zrkipframe::CallFrame frame(spec.id, spec.name, SenseData);
    zrkipframe::TraceCopyArgs(frame, args);

    IPCopyReq req;
    std::memset(&req, 0, sizeof req);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (IPComInfoCheckSet(args.ip, args.user, args.OptionFlag, spec.mask, kRefreshCopy) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }

    const bool monitor = spec.kind == Kind::SnapKzpP && (args.OptionFlag & IP_OPT_MONITOR) != 0;
    if (zrkipframe::CheckCopyArgs(args, monitor ? IP_CHECK_MONITOR : 0) != 0) {
        return frame.Finish(-1);
    }
    zrkipframe::MakeCopyReq(args, &req);
    req.ReqMark = 1;
    const bool remote = IsRemote(req);

    switch (spec.kind) {
    case Kind::Vz:
        req.CopyType = IP_COPY_VZ;
        if ((args.OptionFlag & IP_OPT_SECONDARY) != 0) {
            req.CopyAttr = static_cast<uint8_t>((req.CopyAttr & ~0x02u) | ZRK_IPATTR_SECONDARY);
        }
        if (VzOptionsRefused(remote, args.OptionFlag)) {
            frame.Err(1, "RemoteFlag=%d, OptionFlag=0x%02x ", remote ? 1 : 0, args.OptionFlag);
            ZRKerrno = 37;
            return frame.Finish(-1);
        }
        break;
    case Kind::Kzp:
        req.CopyType = IP_COPY_KZP;
        break;
    case Kind::QuickKzp:
        req.CopyType = IP_COPY_KZP;
        req.CopyAttr |= ZRK_IPATTR_QUICKKZP;
        break;
    case Kind::SnapKzpP:
        req.CopyType = monitor ? IP_COPY_MONITOR : IP_COPY_KZP;
        req.CopyAttr |= ZRK_IPATTR_SNAPKZP_P;
        break;
    }
    if (spec.kind != Kind::Vz && remote) {
        frame.Err(1, "remote request");
        ZRKerrno = 17;
        return frame.Finish(-1);
    }

    int ret = 0;
    switch (spec.kind) {
    case Kind::Vz:
    case Kind::Kzp:
        ret = IPStartTvc(args.ip, args.user, args.OptionFlag, &req);
        break;
    case Kind::QuickKzp:
        ret = IPStartQuickTvc(args.ip, args.user, args.OptionFlag, &req);
        break;
    case Kind::SnapKzpP:
        ret = IPStartSnapTvc(args.ip, args.user, args.OptionFlag, &req);
        break;
    }
    if (ret != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    frame.Info(1, "SessionID=<%d>", ZRKsessionid);
    return frame.Finish(0);
}

}  // namespace

// ---- internals ---------------------------------------------------------------------

extern "C" int IPStartTvc(const char *ip, const char *user, uint32_t OptionFlag,
                          IPCopyReq *req) {
    static const char kName[] = "IPStartTvc";
    Begin(kName, ip, OptionFlag, req);
    if (req == nullptr) return zrkshow::TraceEnd(kName, Fail(13));
    if (IPCheckBoxID(req) != 0) return zrkshow::TraceEnd(kName, -1);

    const Functions f;
    const bool remote = IsRemote(*req);
    bool capable = true;
    if (req->CopyType == IP_COPY_VZ) {
        if (remote) {
            capable = f.Has(kCapRvz) &&
                      ((OptionFlag & IP_OPT_STACK) == 0 || f.Has(kCapRvzStack)) &&
                      ((OptionFlag & IP_OPT_CONSISTENCY) == 0 || f.Has(kCapRvzConsistency)) &&
                      ((OptionFlag & IP_OPT_SECONDARY) == 0 || f.Has(kCapRvzSecondary));
        } else {
            capable = f.Has(kCapVz) &&
                      ((OptionFlag & IP_OPT_SECONDARY) == 0 || f.Has(kCapVzSecondary));
        }
    } else {
        capable = !remote && f.Has(kCapKzp);
    }
    if (!capable) return zrkshow::TraceEnd(kName, Fail(17));

    const int option = static_cast<int>(OptionFlag);
    int ret = 0;
    if (req->CopyType == IP_COPY_KZP) {
        ret = StartCopyKzp(ip, user, option, req);
    } else if (remote) {
        ret = StartCopyRvz(ip, user, option, req);
    } else {
        ret = StartCopyVz(ip, user, option, req);
    }
    if (ret == 0) return zrkshow::TraceEnd(kName, 0);
    return Refused(kName, [&](int startError) {
        return DiagnoseTvc(kName, ip, user, *req, startError);
    });
}

extern "C" int IPStartQuickTvc(const char *ip, const char *user, uint32_t OptionFlag,
                               IPCopyReq *req) {
    static const char kName[] = "IPStartQuickTvc";
    Begin(kName, ip, OptionFlag, req);
    if (req == nullptr) return zrkshow::TraceEnd(kName, Fail(13));
    if (IPCheckBoxID(req) != 0) return zrkshow::TraceEnd(kName, -1);

    const Functions f;
    if (!f.Has(kCapKzp) || !f.Has(kCapQuick)) return zrkshow::TraceEnd(kName, Fail(17));

    // The caller's source volume: a restart sends the session instead.
    const uint32_t srcOlu = req->SrcOLU;
    if ((OptionFlag & IP_OPT_RESTART) != 0) {
        CliCopySession row;
        std::memset(&row, 0, sizeof row);
        if (IPQueryTvc(ip, user, 0, kRestartListFlags, req, &row) != 0) {
            return zrkshow::TraceEnd(kName, -1);
        }
        if ((row.ucAttr & ZRK_IPATTR_QUICKKZP) == 0) return zrkshow::TraceEnd(kName, Fail(21));
        req->SrcOLU = row.uiSessionID;
    }
    if ((OptionFlag & IP_OPT_VVOL_DELETE) != 0 && !f.HasVvol()) {
        return zrkshow::TraceEnd(kName, Fail(17));
    }

    if (StartCopyQuickKzp(ip, user, static_cast<int>(OptionFlag), req) == 0) {
        return zrkshow::TraceEnd(kName, 0);
    }
    return Refused(kName, [&](int startError) {
        return DiagnoseQuick(kName, ip, user, srcOlu, req->DstOLU, startError);
    });
}

extern "C" int IPStartSnapTvc(const char *ip, const char *user, uint32_t OptionFlag,
                              IPCopyReq *req) {
    static const char kName[] = "IPStartSnapTvc";
    Begin(kName, ip, OptionFlag, req);
    if (req == nullptr) return zrkshow::TraceEnd(kName, Fail(13));
    if (IPCheckBoxID(req) != 0) return zrkshow::TraceEnd(kName, -1);

    const Functions f;
    if ((req->CopyAttr & ZRK_IPATTR_SNAPKZP) != 0 && !(f.Has(kCapKzp) && f.Has(kCapSnap))) {
        return zrkshow::TraceEnd(kName, Fail(17));
    }
    if ((req->CopyAttr & ZRK_IPATTR_SNAPKZP_P) != 0 && !(f.Has(kCapKzp) && f.Has(kCapSnapP))) {
        return zrkshow::TraceEnd(kName, Fail(17));
    }
    if ((OptionFlag & IP_OPT_VVOL_DELETE) != 0 && !f.HasVvol()) {
        return zrkshow::TraceEnd(kName, Fail(17));
    }

    if (StartCopySnapKzp(ip, user, static_cast<int>(OptionFlag), req) == 0) {
        return zrkshow::TraceEnd(kName, 0);
    }
    return Refused(kName, [&](int startError) {
        return DiagnoseSnap(ip, user, OptionFlag, *req, startError);
    });
}

// ---- public functions ------------------------------------------------------------------

#define ZRKIP_START_ARGS                                                                      \
    zrkipframe::CopyArgs {                                                                    \
        ip, user, SrcBoxID, SrcOLU, SrcExtAddr_high, SrcExtAddr_low, SrcSize_high,            \
            SrcSize_low, DstBoxID, DstOLU, DstExtAddr_high, DstExtAddr_low, CopyInterval,     \
            OptionFlag                                                                        \
    }

extern "C" int ZRKIPStartVZ(ZRKIP_COPY_ARGS) {
    return PublicStart(kVz, ZRKIP_START_ARGS, SenseData);
}

extern "C" int ZRKIPStartKZP(ZRKIP_COPY_ARGS) {
    return PublicStart(kKzp, ZRKIP_START_ARGS, SenseData);
}

extern "C" int ZRKIPStartQuickKZP(ZRKIP_COPY_ARGS) {
    return PublicStart(kQuickKzp, ZRKIP_START_ARGS, SenseData);
}

extern "C" int ZRKIPStartSnapKZP_p(ZRKIP_COPY_ARGS) {
    return PublicStart(kSnapKzpP, ZRKIP_START_ARGS, SenseData);
}
