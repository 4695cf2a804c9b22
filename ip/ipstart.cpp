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

using namespace zrkip;

namespace {

constexpr int kStartVzId = 1003;
constexpr int kStartKzpId = 1011;
constexpr int kStartQuickKzpId = 1013;
constexpr int kStartSnapKzpPId = 1024;

constexpr uint32_t kStartVzMask = ZRK_OPT_SECONDARY | ZRK_OPT_CONSISTENCY | ZRK_OPT_STACK |
                                  ZRK_OPT_MANUAL_RCV | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_SKIP_COPY |
                                  ZRK_OPT_SYNC;  // 0x20F60
constexpr uint32_t kStartKzpMask = 0;
constexpr uint32_t kStartQuickKzpMask = ZRK_OPT_RESTART | ZRK_OPT_VVOL_DELETE;
constexpr uint32_t kStartSnapKzpPMask = ZRK_OPT_MONITOR | ZRK_OPT_VVOL_DELETE;

// The RVZ-only transfer options that a mirror inside one array refuses.
constexpr uint32_t kRemoteOnlyOptions = ZRK_OPT_SYNC | ZRK_OPT_SKIP_COPY | ZRK_OPT_AUTO_SPLIT |
                                        ZRK_OPT_MANUAL_RCV | ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY;

constexpr int kRestartListFlags = IP_SHOW_FLAG_MODE;

// Capability bits: (byte, bit) of the copy-support record.
struct Cap {
    size_t uiByte;   // ZRK_SUPPORT_ byte
    unsigned uiBit;  // and bit
};
constexpr Cap kCapKzp{ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND};
constexpr Cap kCapQuick{ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_QUICK};
constexpr Cap kCapSnap{ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP};
constexpr Cap kCapSnapP{ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP_P};
constexpr Cap kCapVz{ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND};
constexpr Cap kCapVzSecondary{ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_SECONDARY};
constexpr Cap kCapRvz{ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND};
constexpr Cap kCapRvzStack{ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_STACK};
constexpr Cap kCapRvzConsistency{ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_CONSISTENCY};
constexpr Cap kCapRvzSecondary{ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_SECONDARY};

// The copy-function record of the array of this call, asked by Cap.
class Functions : public zrkip::CopyFunctions {
public:
    bool Has(Cap cap) const { return CopyFunctions::Has(cap.uiByte, cap.uiBit); }
};

using VolumeList = zrkip::Freed<CliVolume>;

// Errors of the road to the array itself, and a request that the start
// command refused before sending it: there is nothing to ask about.
bool TransportError(int error) { return zrkip::LinkFailure(error) || error == ZRK_ERR_PARAMETER; }

void Begin(const char *name, const char *ip, uint32_t option, const IPCopyReq *req) {
    TraceText(1, "INFO", name, "START");
    TraceText(3, "INFO", name, "IPaddress=%s, OptionFlag=0x%02x", zrkip::Shown(ip), option);
    if (req != nullptr) {
        TraceData(3, name, req, static_cast<int>(sizeof *req));
    }
}

// The source and destination rows of the whole volume list. A request
// whose two volumes carry the same number (disjoint extents of one volume)
// finds one row that is both.
struct LocalVolumes {
    VolumeList vList;                 // the whole volume list
    const CliVolume *pSrc = nullptr;  // the source row
    const CliVolume *pDst = nullptr;  // the destination row
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
    out->vList.reset(raw);
    if (count <= 0 || !out->vList) {
        *error = ZRK_ERR_OLU;
        return -1;
    }
    int srcRows = 0;
    int dstRows = 0;
    for (int i = 0; i < count; ++i) {
        const CliVolume &v = out->vList.get()[i];
        if (v.uiVolumeNo == srcOlu) {
            ++srcRows;
            out->pSrc = &v;
        } else if (v.uiVolumeNo == dstOlu) {
            ++dstRows;
            out->pDst = &v;
        }
    }
    if (srcOlu == dstOlu) {
        dstRows = srcRows;
        out->pDst = out->pSrc;
    }
    if (srcRows == 0 || dstRows == 0) {
        *error = ZRK_ERR_OLU;
        return -1;
    }
    if (srcRows != 1 || dstRows != 1) {
        TraceText(2, "ERR", name, " uiVolCount is not 1 ");
        *error = ZRK_ERR_REPLY;
        return -1;
    }
    return 0;
}

// Snap data volumes of one number: room for a few rows, which are read;
// a longer reply is only counted.
constexpr size_t kSdvRoom = 8;

// ---- diagnoses ---------------------------------------------------------------

// After a refused VZ, RVZ or KZP start: the error to report.
int DiagnoseTvc(const char *name, const char *ip, const char *user, const IPCopyReq &req,
                int startError) {
    int error = startError;
    if (zrkip::Remote(req)) {
        char own[ZRK_BOXID_LEN];
        IPCtrlCommonData(IP_COMMON_BOXID_GET, own);
        const uint32_t olu =
            std::memcmp(req.SrcBoxID, own, sizeof own) == 0 ? req.SrcOLU : req.DstOLU;
        uint8_t type = 0;
        if (zrkip::LookUpVolume(name, ip, user, olu, &type) != 0) return ZRKerrno;
        return type == IP_VOLUME_TYPE_SDV ? ZRK_ERR_SDV : startError;
    }

    LocalVolumes volumes;
    if (BothVolumes(name, ip, user, req.SrcOLU, req.DstOLU, &volumes, &error) != 0) return error;
    if (req.CopyType == IP_COPY_KZP) {
        if (volumes.pSrc->ucVolumeType == IP_VOLUME_TYPE_SDV) {
            uint32_t status = 0;
            if (zrkip::LookUpSnapVolume(name, ip, user, req.SrcOLU, kSdvRoom, &status) != 0) {
                return ZRKerrno;
            }
            if (status == IP_SDV_INITIALIZING) return ZRK_ERR_SEQUENCE;
        }
        if (volumes.pDst->ucVolumeType == IP_VOLUME_TYPE_SDV) return ZRK_ERR_SDV;
        return startError;
    }
    if (volumes.pSrc->ucVolumeType == IP_VOLUME_TYPE_SDV) return ZRK_ERR_SDV;
    if (volumes.pDst->ucVolumeType == IP_VOLUME_TYPE_SDV) return ZRK_ERR_SDV;
    return startError;
}

// After a refused QuickKZP start: srcOlu is the source volume as the caller
// named it (a restart has replaced it in the request by the session).
int DiagnoseQuick(const char *name, const char *ip, const char *user, uint32_t srcOlu,
                  uint32_t dstOlu, int startError) {
    int error = startError;
    LocalVolumes volumes;
    if (BothVolumes(name, ip, user, srcOlu, dstOlu, &volumes, &error) != 0) return error;
    if (volumes.pSrc->ucVolumeType == IP_VOLUME_TYPE_SDV ||
        volumes.pDst->ucVolumeType == IP_VOLUME_TYPE_SDV) {
        return ZRK_ERR_SDV;
    }
    return startError;
}

// After a refused SnapKZP+ start.
int DiagnoseSnap(const char *ip, const char *user, uint32_t option, const IPCopyReq &req,
                 int startError) {
    // The array's own refusals of a snap data volume.
    if (startError == ZRK_ERR_ARRAY_BASE + 0x5358 || startError == ZRK_ERR_ARRAY_BASE + 0x5359) {
        return ZRK_ERR_SDV;
    }
    if ((option & ZRK_OPT_MONITOR) != 0) return startError;
    int count = 0;
    CliSnapDataVolume rows[kSdvRoom] = {};
    if (zrkip::CountSnapDataVolume(ip, user, static_cast<int>(req.DstOLU), &count, rows,
                                   kSdvRoom) != 0) {
        return ZRKerrno;
    }
    // Anything but one row says nothing about the volume.
    if (count == 1 && (rows[0].SdvStatus & IP_SDV_BUSY_BITS) != 0) return ZRK_ERR_SEQUENCE;
    return startError;
}

// A refused start: the diagnosis, unless the road to the array failed.
template <typename Diagnose>
int Refused(const char *name, Diagnose diagnose) {
    const int startError = ZRKerrno;
    if (!TransportError(startError)) ZRKerrno = diagnose(startError);
    return TraceEnd(1, name, -1);
}

// ---- the public frame ------------------------------------------------------------

enum class StartKind { Vz, Kzp, QuickKzp, SnapKzpP };

struct StartSpec {
    StartKind eKind;    // which start
    int iTraceId;       // identifier of the trace
    const char *pName;  // trace name, the function's name
    uint32_t uiMask;    // allowed option bits
};

constexpr StartSpec kVz{StartKind::Vz, kStartVzId, "ZRKIPStartVZ", kStartVzMask};
constexpr StartSpec kKzp{StartKind::Kzp, kStartKzpId, "ZRKIPStartKZP", kStartKzpMask};
constexpr StartSpec kQuickKzp{StartKind::QuickKzp, kStartQuickKzpId, "ZRKIPStartQuickKZP",
                              kStartQuickKzpMask};
constexpr StartSpec kSnapKzpP{StartKind::SnapKzpP, kStartSnapKzpPId, "ZRKIPStartSnapKZP_p",
                              kStartSnapKzpPMask};

// The transfer options that a VZ start refuses for its kind of mirror.
bool VzOptionsRefused(bool remote, uint32_t option) {
    if (!remote) return (option & kRemoteOnlyOptions) != 0;
    const bool sync = (option & ZRK_OPT_SYNC) != 0;
    const bool stack = (option & ZRK_OPT_STACK) != 0;
    const bool consistency = (option & ZRK_OPT_CONSISTENCY) != 0;
    if (sync && (stack || consistency)) return true;
    if ((option & ZRK_OPT_AUTO_SPLIT) != 0 && !sync) return true;
    return stack && consistency;
}

int PublicStart(const StartSpec &spec, const zrkip::CopyArgs &args, unsigned char *SenseData) {
    zrkip::CallFrame frame(spec.iTraceId, spec.pName, SenseData);
    zrkip::TraceCopyArgs(frame, args);

    IPCopyReq req;
    std::memset(&req, 0, sizeof req);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (IPComInfoCheckSet(args.ip, args.user, args.OptionFlag, spec.uiMask, zrkip::kRefreshCopy) !=
        0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }

    const bool monitor =
        spec.eKind == StartKind::SnapKzpP && (args.OptionFlag & ZRK_OPT_MONITOR) != 0;
    if (zrkip::CheckCopyArgs(args, monitor ? IP_CHECK_MONITOR : 0) != 0) {
        return frame.Finish(-1);
    }
    zrkip::MakeCopyReq(args, &req);
    req.ReqMark = 1;
    const bool remote = zrkip::Remote(req);

    switch (spec.eKind) {
    case StartKind::Vz:
        req.CopyType = IP_COPY_VZ;
        if ((args.OptionFlag & ZRK_OPT_SECONDARY) != 0) {
            req.CopyAttr = static_cast<uint8_t>((req.CopyAttr & ~0x02u) | ZRK_IPATTR_SECONDARY);
        }
        if (VzOptionsRefused(remote, args.OptionFlag)) {
            frame.Err(1, "RemoteFlag=%d, OptionFlag=0x%02x ", remote ? 1 : 0, args.OptionFlag);
            ZRKerrno = ZRK_ERR_OPTION;
            return frame.Finish(-1);
        }
        break;
    case StartKind::Kzp:
        req.CopyType = IP_COPY_KZP;
        break;
    case StartKind::QuickKzp:
        req.CopyType = IP_COPY_KZP;
        req.CopyAttr |= ZRK_IPATTR_QUICKKZP;
        break;
    case StartKind::SnapKzpP:
        req.CopyType = monitor ? IP_COPY_MONITOR : IP_COPY_KZP;
        req.CopyAttr |= ZRK_IPATTR_SNAPKZP_P;
        break;
    }
    if (spec.eKind != StartKind::Vz && remote) {
        frame.Err(1, "remote request");
        ZRKerrno = ZRK_ERR_NOT_SUPPORT;
        return frame.Finish(-1);
    }

    int ret = 0;
    switch (spec.eKind) {
    case StartKind::Vz:
    case StartKind::Kzp:
        ret = IPStartTvc(args.ip, args.user, args.OptionFlag, &req);
        break;
    case StartKind::QuickKzp:
        ret = IPStartQuickTvc(args.ip, args.user, args.OptionFlag, &req);
        break;
    case StartKind::SnapKzpP:
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
    if (req == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    if (IPCheckBoxID(req) != 0) return TraceEnd(1, kName, -1);

    const Functions f;
    const bool remote = zrkip::Remote(*req);
    bool capable = true;
    if (req->CopyType == IP_COPY_VZ) {
        if (remote) {
            capable = f.Has(kCapRvz) &&
                      ((OptionFlag & ZRK_OPT_STACK) == 0 || f.Has(kCapRvzStack)) &&
                      ((OptionFlag & ZRK_OPT_CONSISTENCY) == 0 || f.Has(kCapRvzConsistency)) &&
                      ((OptionFlag & ZRK_OPT_SECONDARY) == 0 || f.Has(kCapRvzSecondary));
        } else {
            capable =
                f.Has(kCapVz) && ((OptionFlag & ZRK_OPT_SECONDARY) == 0 || f.Has(kCapVzSecondary));
        }
    } else {
        capable = !remote && f.Has(kCapKzp);
    }
    if (!capable) return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));

    const int option = static_cast<int>(OptionFlag);
    int ret = 0;
    if (req->CopyType == IP_COPY_KZP) {
        ret = StartCopyKzp(ip, user, option, req);
    } else if (remote) {
        ret = StartCopyRvz(ip, user, option, req);
    } else {
        ret = StartCopyVz(ip, user, option, req);
    }
    if (ret == 0) return TraceEnd(1, kName, 0);
    return Refused(kName, [&](int startError) {
        return DiagnoseTvc(kName, ip, user, *req, startError);
    });
}

extern "C" int IPStartQuickTvc(const char *ip, const char *user, uint32_t OptionFlag,
                               IPCopyReq *req) {
    static const char kName[] = "IPStartQuickTvc";
    Begin(kName, ip, OptionFlag, req);
    if (req == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    if (IPCheckBoxID(req) != 0) return TraceEnd(1, kName, -1);

    const Functions f;
    if (!f.Has(kCapKzp) || !f.Has(kCapQuick)) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    }

    // The caller's source volume: a restart sends the session instead.
    const uint32_t srcOlu = req->SrcOLU;
    if ((OptionFlag & ZRK_OPT_RESTART) != 0) {
        CliCopySession row;
        std::memset(&row, 0, sizeof row);
        if (IPQueryTvc(ip, user, 0, kRestartListFlags, req, &row) != 0) {
            return TraceEnd(1, kName, -1);
        }
        if ((row.ucAttr & ZRK_IPATTR_QUICKKZP) == 0) {
            return TraceEnd(1, kName, FailWith(ZRK_ERR_NO_SESSION));
        }
        req->SrcOLU = row.uiSessionID;
    }
    if ((OptionFlag & ZRK_OPT_VVOL_DELETE) != 0 && !f.Vvol()) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    }

    if (StartCopyQuickKzp(ip, user, static_cast<int>(OptionFlag), req) == 0) {
        return TraceEnd(1, kName, 0);
    }
    return Refused(kName, [&](int startError) {
        return DiagnoseQuick(kName, ip, user, srcOlu, req->DstOLU, startError);
    });
}

extern "C" int IPStartSnapTvc(const char *ip, const char *user, uint32_t OptionFlag,
                              IPCopyReq *req) {
    static const char kName[] = "IPStartSnapTvc";
    Begin(kName, ip, OptionFlag, req);
    if (req == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    if (IPCheckBoxID(req) != 0) return TraceEnd(1, kName, -1);

    const Functions f;
    if ((req->CopyAttr & ZRK_IPATTR_SNAPKZP) != 0 && !(f.Has(kCapKzp) && f.Has(kCapSnap))) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    }
    if ((req->CopyAttr & ZRK_IPATTR_SNAPKZP_P) != 0 && !(f.Has(kCapKzp) && f.Has(kCapSnapP))) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    }
    if ((OptionFlag & ZRK_OPT_VVOL_DELETE) != 0 && !f.Vvol()) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    }

    if (StartCopySnapKzp(ip, user, static_cast<int>(OptionFlag), req) == 0) {
        return TraceEnd(1, kName, 0);
    }
    return Refused(kName, [&](int startError) {
        return DiagnoseSnap(ip, user, OptionFlag, *req, startError);
    });
}

// ---- public functions ------------------------------------------------------------------

extern "C" int ZRKIPStartVZ(ZRKIP_COPY_ARGS) {
    return PublicStart(kVz, IP_COPY_ARGS_RECORD, SenseData);
}

extern "C" int ZRKIPStartKZP(ZRKIP_COPY_ARGS) {
    return PublicStart(kKzp, IP_COPY_ARGS_RECORD, SenseData);
}

extern "C" int ZRKIPStartQuickKZP(ZRKIP_COPY_ARGS) {
    return PublicStart(kQuickKzp, IP_COPY_ARGS_RECORD, SenseData);
}

extern "C" int ZRKIPStartSnapKZP_p(ZRKIP_COPY_ARGS) {
    return PublicStart(kSnapKzpP, IP_COPY_ARGS_RECORD, SenseData);
}
