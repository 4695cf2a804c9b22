// Session operations of the page-based engine: the starts (with the roll-back
// of a start the array refused), the operations on an existing session built
// from its detail (stop, suspend, resume, change, and the QuickKZP and
// SnapKZP stops), the query, and the search of the session a large-volume
// copy request names.
#include "zrkcmulti.h"
#include "zrktvc.h"

#include <cstdlib>
#include <cstring>
#include <functional>

using namespace zrk;

extern "C" {
int ZRKsessionid;
}

namespace {

constexpr int kOluStatusAttr = 4; // byte of OLU_STATUS that a start tests

bool Remote(const COPY_REQ_LV &request) { return request.RemoteFlag != 0; }
bool ById(unsigned int option) { return (option & ZRK_OPT_SESSION_ID) != 0; }
const unsigned char *SessionIdOf(const COPY_REQ_LV &request) { return request.SrcOlu + 2; }
bool DetailRemote(const TVC_DETAIL_INFO &d) { return (d.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0; }

// The identifier by which the addressed array knows a session.
void IdInUse(const TVC_DETAIL_INFO &d, unsigned char *id) {
    const bool partner = DetailRemote(d) && (d.ucModeFlags & ZRK_MODEFLAG_DEST_SIDE) != 0;
    std::memcpy(id, partner ? d.ucaPartnerID : d.ucaSessionID, 2);
}

// The swap to the primary's BoxID on a storage-cluster secondary, then the
// request's arrays against the volume's; own receives the own BoxID.
int BoxChecks(const char *volume, const COPY_REQ_LV &request, unsigned char *own) {
    ConvertCheckflg = ZRK_CONVERT_ALWAYS;
    if (ConvertPrimaryBoxID(volume, nullptr, nullptr) != 0) return -1;
    return CheckBoxIDForLV(volume, &request, own);
}

// The entry line of an operation and its request; 0, or -1 after the Err end
// line.
int Enter(const char *name, const char *volume, const COPY_REQ_LV *request) {
    LogIn(2, name, volume, __LINE__);
    if (request == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 2, name, volume, __LINE__);
    return 0;
}

// The BoxID checks of an operation whose session the request names by its
// pair (none for one named by its identifier); 0, or -1 after the Err end line.
int PairChecks(const char *name, const char *volume, unsigned int option,
               const COPY_REQ_LV &request) {
    if (!ById(option) && BoxChecks(volume, request, nullptr) != 0)
        return LogErr(2, name, volume, __LINE__);
    return 0;
}

// The head of every start: the request, the BoxID checks and the log line of
// the own BoxID (into own); 0, or -1 after the Err end line.
int StartHead(const char *name, const char *volume, const COPY_REQ_LV *request,
              unsigned char *own) {
    if (Enter(name, volume, request) != 0) return -1;
    if (BoxChecks(volume, *request, own) != 0) return LogErr(2, name, volume, __LINE__);
    WriteLog(2, nullptr, 0, "%s BoxID [%s] [%d]", name, BoxText(own).caText, __LINE__);
    return 0;
}

// The status record (OLU_STATUS) of an OLU (2 bytes) before a start.
int ReadOluStatus(const char *volume, const unsigned char *olu, unsigned char *status) {
    std::memset(status, 0, ZRK_OLU_STATUS_LEN);
    return GetOLUStatusInfo(volume, olu, status);
}

// Reserves an identifier of the family (mode ZRK_RESERVE_VZ or ZRK_RESERVE_KZP) and sends the start
// page of pageKind for it; when the array refuses the start, gives the
// identifier back with a stop page and reports the start's failure.
int ReserveAndStart(const char *name, const char *volume, unsigned char mode,
                    unsigned char pageKind, const COPY_REQ_LV &request, const unsigned char *own,
                    unsigned int option, bool remoteVz) {
    unsigned char id[2];
    if (ReserveSessionId(volume, mode, id) != 0) return -1;
    TVC_EXEC page;
    MakePrmFromCopyReqForLv(ZRK_TVC_START, id, pageKind, &request, own, option, &page);
    if (ExecTravoOut(volume, &page, sizeof page) == 0) {
        ZRKsessionid = Be16(id);
        return 0;
    }
    KeptFailure failure;
    if (remoteVz && failure.SenseIs(5, 0x26, 0x00)) failure.SetErrno(ZRK_ERR_PARTNER);
    if (failure.Errno() == ZRK_ERR_SNAPKZP) failure.SetErrno(ZRK_ERR_SDV);
    WriteLog(2, nullptr, 0, "%s roll back SessionID=0x%x [%s] [%d]", name,
             static_cast<unsigned>(Be16(id)), LogText(volume), __LINE__);
    TVC_EXEC rollBack;
    MakePrmFromCopyReqForLv(ZRK_TVC_STOP, id, pageKind, nullptr, own, option, &rollBack);
    (void)ExecTravoOut(volume, &rollBack, sizeof rollBack);
    failure.Restore();
    return -1;
}

// Finds the session of an operation: by its identifier (ZRK_OPT_SESSION_ID)
// or by the request's pair.
int FindSession(const char *volume, unsigned char kind, unsigned int option,
                const COPY_REQ_LV &request, TVC_DETAIL_INFO &detail) {
    if (ById(option)) {
        const int found = GetSessionDetailInfoForLV(volume, SessionIdOf(request), &detail);
        if (found == -2) ZRKerrno = ZRK_ERR_NO_SESSION;
        return found == 0 ? 0 : -1;
    }
    unsigned char id[2];
    return SearchTvcSession(volume, kind, &request, ZRK_LIST_MODE_ALL, id, &detail);
}

// Sends a page built from a session's detail and writes the end line of the
// operation; refused, if given, runs before the Err end line of a failure.
int SendFromDetail(const char *name, const char *volume, unsigned char pageCode,
                   unsigned char kind, const TVC_DETAIL_INFO &detail, unsigned int option,
                   const std::function<void()> &refused = {}) {
    TVC_EXEC page;
    MakePrmFromDetailForLv(pageCode, kind, &detail, option, &page);
    if (ExecTravoOut(volume, &page, sizeof page) != 0) {
        if (refused) refused();
        return LogErr(2, name, volume, __LINE__);
    }
    return LogOk(2, name, volume, __LINE__);
}

// The flag bytes of a family's local and remote group.
size_t LocalGroup(unsigned char kind) {
    return kind == ZRK_ENGINE_VZ ? ZRK_SUPPORT_FLAGS_VZ : ZRK_SUPPORT_FLAGS_KZP;
}
size_t RemoteGroup(unsigned char kind) {
    return kind == ZRK_ENGINE_VZ ? ZRK_SUPPORT_FLAGS_RVZ : ZRK_SUPPORT_FLAGS_REMOTE_KZP;
}

// The family's group is set up: by identifier either of its groups, else the
// group of the request's side.
bool FamilySupported(const CopySupport &s, unsigned char kind, bool byId, bool remote) {
    if (byId) return s.AnyHas({LocalGroup(kind), RemoteGroup(kind)}, ZRK_SUPPORT_KIND);
    return s.Has(remote ? RemoteGroup(kind) : LocalGroup(kind), ZRK_SUPPORT_KIND);
}

// Suspend and resume: the VZ family and its suspend function.
bool SuspendSupported(const CopySupport &s, bool byId, bool remote) {
    const bool local = s.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND) &&
                       s.Has(ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_SUSPEND);
    const bool far = s.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND) &&
                     s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_SUSPEND);
    if (byId)
        return s.AnyHas({ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_FLAGS_RVZ}, ZRK_SUPPORT_KIND) &&
               s.AnyHas({ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_RVZ_FUNCS}, ZRK_SUPPORT_SUSPEND);
    return remote ? far : local;
}

// The modes of a remote VZ start or change that the option word asks for.
bool RvzModesSupported(const CopySupport &s, unsigned int option) {
    if ((option & ZRK_OPT_STACK) != 0 && !s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_STACK))
        return false;
    return (option & ZRK_OPT_CONSISTENCY) == 0 ||
           s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_CONSISTENCY);
}

}  // namespace

bool zrk::StoredSenseIs(int key, int asc, int ascq) { return KeptFailure().SenseIs(key, asc, ascq); }

int zrk::ReserveSessionId(const char *volume, unsigned char mode, unsigned char *id) {
    constexpr size_t kReplyLen = 16; // the reservation's reply
    constexpr size_t kReservedId = 8; // the identifier in it
    const unsigned char field[2] = {0x00, 0x01};
    unsigned char reply[kReplyLen];
    if (ExecTravoIn(volume, mode, ZRK_PAGE_RESERVE_ID, field, reply, sizeof reply) != 0) return -1;
    std::memcpy(id, reply + kReservedId, 2);
    return 0;
}

// ---- checks ---------------------------------------------------------------------------

extern "C" int CheckBoxIDForLV(const char *volume, const COPY_REQ_LV *request,
                               unsigned char *ownBoxId) {
    static constexpr const char kName[] = "CheckBoxIDForLV";
    LogIn(1, kName, volume, __LINE__);
    if (request == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    unsigned char own[ZRK_BOXID_LEN] = {};
    CtrlCommonData(own, ZRK_COMMON_GET_BOXID);
    bool pass;
    int code;
    if (Remote(*request)) {
        pass = SameBoxId(own, request->SrcBoxID) || SameBoxId(own, request->DstBoxID);
        code = ZRK_ERR_BOXID;
    } else {
        pass = SameBoxId(own, request->SrcBoxID);
        code = ZRK_ERR_DIFFERENT_ZRK;
    }
    if (!pass) {
        WriteLog(16, request->SrcBoxID, ZRK_BOXID_LEN, "SrcBoxID");
        WriteLog(16, request->DstBoxID, ZRK_BOXID_LEN, "DstBoxID");
        WriteLog(16, own, ZRK_BOXID_LEN, "BoxID");
        return FailEnd(code, 1, kName, volume, __LINE__);
    }
    if (ownBoxId != nullptr) std::memcpy(ownBoxId, own, ZRK_BOXID_LEN);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int ChangeVzSupportCheck(unsigned int optionFlag, int remote) {
    static constexpr const char kName[] = "ChangeVzSupportCheck";
    LogIn(1, kName, nullptr, __LINE__);
    const CopySupport s;
    const bool reverse = (optionFlag & ZRK_OPT_REVERSE) != 0;
    if (remote != 0) {
        bool ok = s.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND);
        if (ok && reverse) ok = s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_REVERSE);
        if (ok && !reverse)
            ok = s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_MODE_CHANGE) &&
                 RvzModesSupported(s, optionFlag);
        if (!ok) return FailEnd(ZRK_ERR_NOT_SUPPORT, 1, kName, nullptr, __LINE__);
    } else {
        if (!s.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND))
            return FailEnd(ZRK_ERR_NOT_SUPPORT, 1, kName, nullptr, __LINE__);
        // A local session can only be reversed.
        if (!reverse) return FailEnd(ZRK_ERR_OPTION, 1, kName, nullptr, __LINE__);
        if (!s.Has(ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_REVERSE))
            return FailEnd(ZRK_ERR_NOT_SUPPORT, 1, kName, nullptr, __LINE__);
    }
    return LogOk(1, kName, nullptr, __LINE__);
}

// ---- starts -------------------------------------------------------------------------

extern "C" int StartTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                        const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StartTvc";
    unsigned char own[ZRK_BOXID_LEN] = {};
    if (StartHead(kName, volume, request, own) != 0) return -1;
    const bool vz = engineKind == ZRK_ENGINE_VZ;
    const bool remote = Remote(*request);
    const bool secondary = (optionFlag & ZRK_OPT_SECONDARY) != 0;

    const CopySupport s;
    bool ok;
    if (vz && remote)
        ok = s.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND) && RvzModesSupported(s, optionFlag) &&
             (!secondary || s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_SECONDARY));
    else if (vz)
        ok = s.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND) &&
             (!secondary || s.Has(ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_SECONDARY));
    else
        ok = FamilySupported(s, engineKind, false, remote);
    if (!ok) return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    // The OLU status page goes with the SnapKZP function.
    if (s.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP) && ZRKstorage_cluster == 0) {
        unsigned char status[ZRK_OLU_STATUS_LEN];
        if (!remote || SameBoxId(request->SrcBoxID, own)) {
            if (ReadOluStatus(volume, request->SrcOlu + 2, status) != 0)
                return LogErr(2, kName, volume, __LINE__);
            if (!vz && (status[kOluStatusAttr] & 0x03) == 0x03)
                return FailEnd(ZRK_ERR_SEQUENCE, 2, kName, volume, __LINE__);
        }
        if (!remote || SameBoxId(request->DstBoxID, own)) {
            if (ReadOluStatus(volume, request->DstOlu + 2, status) != 0)
                return LogErr(2, kName, volume, __LINE__);
        }
    }

    if (ReserveAndStart(kName, volume, vz ? ZRK_RESERVE_VZ : ZRK_RESERVE_KZP, engineKind, *request, own, optionFlag,
                        vz && remote) != 0)
        return LogErr(2, kName, volume, __LINE__);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int StartQuickTvc(const char *volume, unsigned char engineKind,
                             unsigned int optionFlag, const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StartQuickTvc";
    (void)engineKind;
    unsigned char own[ZRK_BOXID_LEN] = {};
    if (StartHead(kName, volume, request, own) != 0) return -1;

    const CopySupport s;
    if (!s.Has(ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND) ||
        !s.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_QUICK) ||
        ((optionFlag & ZRK_OPT_VVOL_DELETE) != 0 && !s.VirtualVolumes()))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    if (s.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP) && ZRKstorage_cluster == 0) {
        unsigned char status[ZRK_OLU_STATUS_LEN];
        if (ReadOluStatus(volume, request->SrcOlu + 2, status) != 0 ||
            ReadOluStatus(volume, request->DstOlu + 2, status) != 0)
            return LogErr(2, kName, volume, __LINE__);
    }

    if ((optionFlag & ZRK_OPT_RESTART) != 0) {
        // A restart names an existing QuickKZP session; no identifier is
        // reserved and nothing needs rolling back.
        unsigned char id[2];
        TVC_DETAIL_INFO detail;
        if (SearchTvcSession(volume, ZRK_ENGINE_KZP, request, ZRK_LIST_MODE_ALL, id, &detail) != 0)
            return LogErr(2, kName, volume, __LINE__);
        if ((detail.ucSessionFlags & ZRK_SESFLAG_QUICKKZP) == 0)
            return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
        return SendFromDetail(kName, volume, ZRK_TVC_START, ZRK_ENGINE_QUICKKZP, detail,
                              optionFlag, [] {
                                  if (ZRKerrno == ZRK_ERR_SNAPKZP) ZRKerrno = ZRK_ERR_SDV;
                              });
    }
    if (ReserveAndStart(kName, volume, ZRK_RESERVE_KZP, ZRK_ENGINE_QUICKKZP, *request, own, optionFlag,
                        false) != 0)
        return LogErr(2, kName, volume, __LINE__);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int StartSnapTvc(const char *volume, unsigned char engineKind,
                            unsigned int optionFlag, const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StartSnapTvc";
    unsigned char own[ZRK_BOXID_LEN] = {};
    if (StartHead(kName, volume, request, own) != 0) return -1;

    const bool plus = engineKind == ZRK_ENGINE_SNAPKZPP;
    const unsigned char pageKind = plus ? ZRK_ENGINE_SNAPKZPP : ZRK_ENGINE_SNAPKZP;
    const CopySupport s;
    bool ok = s.Has(ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND) &&
              s.Has(ZRK_SUPPORT_KZP_KINDS, plus ? ZRK_SUPPORT_SNAP_P : ZRK_SUPPORT_SNAP);
    if (plus && (optionFlag & ZRK_OPT_VVOL_DELETE) != 0) ok = ok && s.VirtualVolumes();
    if (!ok) return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    if (ZRKstorage_cluster == 0) {
        unsigned char status[ZRK_OLU_STATUS_LEN];
        if (ReadOluStatus(volume, request->SrcOlu + 2, status) != 0)
            return LogErr(2, kName, volume, __LINE__);
        // A monitor session has no destination.
        if (Be32(request->DstOlu) != 0xFFFFFFFFu) {
            if (ReadOluStatus(volume, request->DstOlu + 2, status) != 0)
                return LogErr(2, kName, volume, __LINE__);
            if ((status[kOluStatusAttr] & 0x02) != 0)
                return FailEnd(ZRK_ERR_SEQUENCE, 2, kName, volume, __LINE__);
        }
    }

    if (ReserveAndStart(kName, volume, ZRK_RESERVE_KZP, pageKind, *request, own, optionFlag, false) != 0)
        return LogErr(2, kName, volume, __LINE__);
    return LogOk(2, kName, volume, __LINE__);
}

// ---- operations on an existing session ----------------------------------------------------

extern "C" int StopTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                       const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StopTvc";
    if (Enter(kName, volume, request) != 0 || PairChecks(kName, volume, optionFlag, *request) != 0)
        return -1;
    const bool byId = ById(optionFlag);
    const bool kzp = engineKind != ZRK_ENGINE_VZ;
    const bool virtualVolume = (optionFlag & ZRK_OPT_VVOL) != 0;

    const CopySupport s;
    bool ok = FamilySupported(s, engineKind, byId, Remote(*request));
    if (kzp && virtualVolume) ok = ok && s.VirtualVolumes();
    if (!ok) return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    TVC_DETAIL_INFO detail;
    if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
        return LogErr(2, kName, volume, __LINE__);
    if (byId) {
        const bool kindOk = detail.ucCopyKind == engineKind ||
                            (detail.ucCopyKind == 0x10 && engineKind == ZRK_ENGINE_KZP);
        if (!kindOk) return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
        if (kzp && !DetailRemote(detail) && (optionFlag & ZRK_OPT_FORCE) != 0)
            return FailEnd(ZRK_ERR_OPTION, 2, kName, volume, __LINE__);
    }
    // Only the stop of its own kind ends a snapshot or QuickKZP session.
    if (engineKind == ZRK_ENGINE_KZP && !virtualVolume &&
        ((detail.ucSessionFlags &
          (ZRK_SESFLAG_SNAPKZP | ZRK_SESFLAG_QUICKKZP | ZRK_SESFLAG_SNAPKZP_P)) != 0 ||
         detail.ucCopyKind == 3))
        return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);

    return SendFromDetail(kName, volume, ZRK_TVC_STOP, engineKind, detail, optionFlag);
}

extern "C" int SuspendTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                          const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "SuspendTvc";
    if (Enter(kName, volume, request) != 0) return -1;
    const bool stackTimer = (optionFlag & ZRK_OPT_STACK_TIMER) != 0;
    // The page has one byte for the timer: refuse what it cannot carry before
    // anything is sent.
    if (stackTimer && (ZRKRVZ_stacktimer < 0 || ZRKRVZ_stacktimer > 255)) {
        FailWith(ZRK_ERR_STACK_TIMER);
        WriteLog(2, nullptr, 0, "SuspendTvc Err end [%s] ZRKRVZ_stacktimer = %d [%d]",
                 LogText(volume), ZRKRVZ_stacktimer, __LINE__);
        return -1;
    }
    if (PairChecks(kName, volume, optionFlag, *request) != 0) return -1;
    const bool byId = ById(optionFlag);

    const CopySupport s;
    const bool timerSupported = s.Has(ZRK_SUPPORT_RVZ_EXTRA, ZRK_SUPPORT_TIMER);
    bool ok = SuspendSupported(s, byId, Remote(*request));
    if (!byId && Remote(*request) && stackTimer) ok = ok && timerSupported;
    if (!ok) return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    TVC_DETAIL_INFO detail;
    if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
        return LogErr(2, kName, volume, __LINE__);
    if (byId) {
        if (detail.ucCopyKind != engineKind)
            return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
        if (DetailRemote(detail)) {
            if (stackTimer && !timerSupported)
                return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);
        } else if ((optionFlag & ZRK_OPT_FORCE) != 0) {
            return FailEnd(ZRK_ERR_OPTION, 2, kName, volume, __LINE__);
        }
    }
    if (detail.Status == 4) return FailEnd(ZRK_ERR_SEQUENCE, 2, kName, volume, __LINE__);

    return SendFromDetail(kName, volume, ZRK_TVC_SUSPEND, engineKind, detail, optionFlag, [&] {
        if (stackTimer && DetailRemote(detail) && StoredSenseIs(5, 0x26, 0x00))
            ZRKerrno = ZRK_ERR_STACK_TIMER;
    });
}

extern "C" int ResumeTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                         const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "ResumeTvc";
    if (Enter(kName, volume, request) != 0 || PairChecks(kName, volume, optionFlag, *request) != 0)
        return -1;
    const bool byId = ById(optionFlag);

    if (!SuspendSupported(CopySupport(), byId, Remote(*request)))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    TVC_DETAIL_INFO detail;
    if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
        return LogErr(2, kName, volume, __LINE__);
    if (byId) {
        if (detail.ucCopyKind != engineKind)
            return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
        if (!DetailRemote(detail) && (optionFlag & ZRK_OPT_REMAIN) != 0)
            return FailEnd(ZRK_ERR_OPTION, 2, kName, volume, __LINE__);
    }
    if (detail.Status != 4) return FailEnd(ZRK_ERR_SEQUENCE, 2, kName, volume, __LINE__);

    return SendFromDetail(kName, volume, ZRK_TVC_RESUME, engineKind, detail, optionFlag);
}

namespace {

// A change of a remote session failed: tell whether the array took another
// mode, none, or a crossing one. The change's sense stays in the store.
void DiagnoseRemoteChange(const char *volume, const TVC_DETAIL_INFO &before) {
    KeptFailure failure;
    if (failure.SenseIs(5, 0x26, 0x00)) {
        ZRKerrno = ZRK_ERR_PARTNER;
        return;
    }
    if (!failure.SenseIs(4, 0xF9, 0xA6) && !failure.SenseIs(5, 0x26, 0xBC)) return;

    unsigned char id[2];
    IdInUse(before, id);
    TVC_DETAIL_INFO after;
    const int found = GetSessionDetailInfoForLV(volume, id, &after);
    failure.Restore();
    if (found == -2) {
        ZRKerrno = ZRK_ERR_MODE_CROSSES;
        return;
    }
    if (found != 0) return;
    if ((after.ucModeFlags & ZRK_MODEFLAG_DEST_SIDE) != 0) {
        ZRKerrno = std::memcmp(&after, &before, sizeof after) == 0 ? ZRK_ERR_MODE_UNCHANGED
                                                                   : ZRK_ERR_MODE_CROSSES;
        return;
    }
    if (after.ucModeChange == 0)
        ZRKerrno = ZRK_ERR_MODE_UNCHANGED;
    else if (after.ucModeChange == 1 || after.ucModeChange == 2)
        ZRKerrno = ZRK_ERR_MODE_CROSSES;
}

// The stop of a point-in-time session of the KZP family: the KZP group and
// the kind's bit of byte 4 (kindBit), the session found as findKind and
// marked by sessionFlag (or, for a monitor stop, of copy kind 3), and the
// stop page of pageKind.
int StopPointInTime(const char *name, const char *volume, unsigned int option,
                    const COPY_REQ_LV *request, unsigned kindBit, unsigned char findKind,
                    bool monitor, unsigned sessionFlag, unsigned char pageKind) {
    if (Enter(name, volume, request) != 0 || PairChecks(name, volume, option, *request) != 0)
        return -1;
    const CopySupport s;
    if (!s.Has(ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND) || !s.Has(ZRK_SUPPORT_KZP_KINDS, kindBit))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, name, volume, __LINE__);

    TVC_DETAIL_INFO detail;
    if (FindSession(volume, findKind, option, *request, detail) != 0)
        return LogErr(2, name, volume, __LINE__);
    const bool kindOk =
        monitor ? detail.ucCopyKind == 3 : (detail.ucSessionFlags & sessionFlag) != 0;
    if (!kindOk) return FailEnd(ZRK_ERR_NO_SESSION, 2, name, volume, __LINE__);
    return SendFromDetail(name, volume, ZRK_TVC_STOP, pageKind, detail, option);
}

}  // namespace

extern "C" int ChangeTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                         const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "ChangeTvc";
    if (Enter(kName, volume, request) != 0) return -1;
    TVC_DETAIL_INFO detail;
    if (ById(optionFlag)) {
        // The session's own side decides which support it needs.
        if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
            return LogErr(2, kName, volume, __LINE__);
        if (ChangeVzSupportCheck(optionFlag, DetailRemote(detail) ? 1 : 0) != 0)
            return LogErr(2, kName, volume, __LINE__);
        if (detail.ucCopyKind != engineKind)
            return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
    } else {
        if (BoxChecks(volume, *request, nullptr) != 0) return LogErr(2, kName, volume, __LINE__);
        if (ChangeVzSupportCheck(optionFlag, Remote(*request) ? 1 : 0) != 0)
            return LogErr(2, kName, volume, __LINE__);
        if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
            return LogErr(2, kName, volume, __LINE__);
    }
    if (detail.Status != 4) return FailEnd(ZRK_ERR_SEQUENCE, 2, kName, volume, __LINE__);

    return SendFromDetail(kName, volume, ZRK_TVC_CHANGE, engineKind, detail, optionFlag, [&] {
        if (DetailRemote(detail)) DiagnoseRemoteChange(volume, detail);
    });
}

extern "C" int StopQuickTvc(const char *volume, unsigned char engineKind,
                            unsigned int optionFlag, const COPY_REQ_LV *request) {
    return StopPointInTime("StopQuickTvc", volume, optionFlag, request, ZRK_SUPPORT_QUICK,
                           engineKind, false, ZRK_SESFLAG_QUICKKZP, ZRK_ENGINE_QUICKKZP);
}

extern "C" int StopSnapTvc(const char *volume, unsigned char engineKind,
                           unsigned int optionFlag, const COPY_REQ_LV *request) {
    const bool plus = engineKind == ZRK_ENGINE_SNAPKZPP;
    return StopPointInTime("StopSnapTvc", volume, optionFlag, request,
                           plus ? ZRK_SUPPORT_SNAP_P : ZRK_SUPPORT_SNAP, ZRK_ENGINE_KZP,
                           (optionFlag & ZRK_OPT_MONITOR) != 0,
                           plus ? ZRK_SESFLAG_SNAPKZP_P : ZRK_SESFLAG_SNAPKZP,
                           plus ? ZRK_ENGINE_SNAPKZPP : ZRK_ENGINE_SNAPKZP);
}

// ---- query and search ------------------------------------------------------------------

extern "C" int QueryTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                        const COPY_REQ_LV *request, TVC_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "QueryTvc";
    LogIn(2, kName, volume, __LINE__);
    if (request == nullptr || detail == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    const bool byId = ById(optionFlag);
    if (!byId) {
        if (ConvertPrimaryBoxID(volume, request->SrcBoxID, request->DstBoxID) != 0 ||
            CheckBoxIDForLV(volume, request, nullptr) != 0)
            return LogErr(2, kName, volume, __LINE__);
    }

    const CopySupport s;
    const bool remote = Remote(*request);
    bool ok;
    if (engineKind != ZRK_ENGINE_ANY)
        ok = FamilySupported(s, engineKind, byId, remote);
    else if (byId)
        ok = s.AnyGroup();
    else if (remote)
        ok = s.AnyHas({ZRK_SUPPORT_FLAGS_REMOTE_KZP, ZRK_SUPPORT_FLAGS_RVZ}, ZRK_SUPPORT_KIND);
    else
        ok = s.AnyHas({ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_VZ}, ZRK_SUPPORT_KIND);
    if (!ok) return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    TVC_DETAIL_INFO found;
    if (byId) {
        const int read = GetSessionDetailInfoForLV(volume, SessionIdOf(*request), &found);
        if (read == -2) return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
        if (read != 0) return LogErr(2, kName, volume, __LINE__);
        if ((engineKind == ZRK_ENGINE_VZ && found.ucCopyKind != 2) ||
            (engineKind == ZRK_ENGINE_KZP && found.ucCopyKind == 2))
            return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
    } else {
        unsigned char id[2];
        if (SearchTvcSession(volume, engineKind, request, 0, id, &found) != 0)
            return LogErr(2, kName, volume, __LINE__);
    }
    *detail = found;
    return LogOk(2, kName, volume, __LINE__);
}

namespace {

constexpr const char kSearchName[] = "SearchTvcSession";
constexpr const char kExtractName[] = "ExtractSessionID";

// What the collection of candidates does after one.
enum class IdStep { Next, Stop, Fail };

// The identifiers of the session-id list entries that match the request, of
// the families engineKind asks for, each handed to take in list order (the
// KZP list first); take stops the collection, or fails it with ZRKerrno set.
// 0, or -1 after the Err end line of ExtractSessionID.
int CollectSessionIds(const char *volume, unsigned char engineKind, const COPY_REQ_LV &request,
                      const std::function<IdStep(const unsigned char *id)> &take) {
    static constexpr const char *kName = kExtractName;
    LogIn(1, kName, volume, __LINE__);
    unsigned char remoteSupport = 0;
    CtrlCommonData(&remoteSupport, ZRK_COMMON_GET_REMOTE);

    struct Family {
        bool bWanted;        // the engine kind asks for it
        unsigned char ucPage; // its session-id list
        bool bVz;            // the destination OLU is compared whole
        const char *pLog;    // the log line
    };
    const Family families[] = {
        {engineKind == ZRK_ENGINE_KZP || engineKind == ZRK_ENGINE_ANY, ZRK_PAGE_REMOTE_KZP_LIST,
         false, "Get KZP SessionID List [%s] [%d]"},
        {engineKind == ZRK_ENGINE_VZ || engineKind == ZRK_ENGINE_ANY, ZRK_PAGE_REMOTE_VZ_LIST,
         true, "Get VZ SessionID List [%s] [%d]"},
    };
    for (const Family &f : families) {
        if (!f.bWanted) continue;
        WriteLog(1, nullptr, 0, f.pLog, LogText(volume), __LINE__);
        unsigned char *raw = nullptr;
        int entries = 0;
        if (GetSessionIdList(volume, f.ucPage, remoteSupport, 1, &raw, &entries) != 0) {
            std::free(raw);
            return LogErr(1, kName, volume, __LINE__);
        }
        const Buffer ids(raw);
        for (int k = 0; k < entries; ++k) {
            const unsigned char *e = ids.get() + ZRK_SESSION_LIST_HEAD_LEN +
                                     sizeof(SESSION_ID_ENTRY) * static_cast<size_t>(k);
            if (e[3] != request.ucVolumeRole) continue;
            if (((e[2] & ZRK_SESFLAG_REMOTE) != 0 ? 1 : 0) != request.RemoteFlag) continue;
            if (std::memcmp(e + 8, request.SrcOlu, 4) != 0) continue;
            if (f.bVz ? std::memcmp(e + 12, request.DstOlu, 4) != 0
                      : std::memcmp(e + 14, request.DstOlu + 2, 2) != 0)
                continue;
            const IdStep step = take(e);
            if (step == IdStep::Fail) return LogErr(1, kName, volume, __LINE__);
            if (step == IdStep::Stop) return LogOk(1, kName, volume, __LINE__);
        }
    }
    return LogOk(1, kName, volume, __LINE__);
}

// Over the detail list, which holds the sessions of every family on the
// volume.
int SearchInDetailList(const char *volume, unsigned char kind, const COPY_REQ_LV &request,
                       unsigned char listMode, TVC_DETAIL_INFO &detail) {
    DetailList list;
    int read;
    {
        // A storage-cluster volume lists its sessions without the cluster
        // selection.
        const OptionFlagScope selection(ZRKstorage_cluster != 0 ? ZRK_OPT_LIST_NO_CLUSTER
                                                                     : ZRKOptionFlag);
        read = ReadDetailList(volume, listMode, list);
    }
    if (read != 0) return LogErr(1, kSearchName, volume, __LINE__);
    WriteLog(1, nullptr, 0, "AllocSize=%d [%s] [%d]",
             static_cast<int>(static_cast<size_t>(list.Count()) * sizeof(DETAIL_LIST_INFO)),
             LogText(volume), __LINE__);
    if (list.Count() == 0) return FailEnd(ZRK_ERR_NO_SESSION, 1, kSearchName, volume, __LINE__);
    if (QueryDetailfromListForLV(list.Count(), list.Data(), kind, &request, &detail) != 0)
        return LogErr(1, kSearchName, volume, __LINE__);
    return 0;
}

// One candidate of the session-id lists.
struct CandidateId {
    unsigned char ucaId[2]; // the identifier as the list holds it
};

// Over the session-id lists, reading each candidate's detail. The candidates
// are as many as the lists hold, of every family the kind asks for.
int SearchByIdList(const char *volume, unsigned char kind, const COPY_REQ_LV &request,
                   unsigned char *id, TVC_DETAIL_INFO &detail) {
    GrowingArea<CandidateId> candidates;
    if (CollectSessionIds(volume, kind, request, [&](const unsigned char *id) {
            CandidateId candidate{};
            std::memcpy(candidate.ucaId, id, sizeof candidate.ucaId);
            return candidates.Append(&candidate, 1) ? IdStep::Next : IdStep::Fail;
        }) != 0)
        return LogErr(1, kSearchName, volume, __LINE__);
    for (int i = 0; i < candidates.Count(); ++i) {
        const unsigned char *candidate = candidates[i].ucaId;
        TVC_DETAIL_INFO d;
        const int read = GetSessionDetailInfoForLV(volume, candidate, &d);
        if (read == -2) continue;
        if (read != 0) return LogErr(1, kSearchName, volume, __LINE__);
        if (!SameCopy(d, kind, request)) continue;
        if (Remote(request) &&
            (!SameBoxId(d.SrcBoxID, request.SrcBoxID) || !SameBoxId(d.DstBoxID, request.DstBoxID)))
            continue;
        std::memcpy(id, candidate, 2);
        detail = d;
        return 0;
    }
    return FailEnd(ZRK_ERR_NO_SESSION, 1, kSearchName, volume, __LINE__);
}

}  // namespace

extern "C" int SearchTvcSession(const char *volume, unsigned char engineKind,
                                const COPY_REQ_LV *request, unsigned char listMode,
                                unsigned char *sessionId, TVC_DETAIL_INFO *detail) {
    LogIn(1, kSearchName, volume, __LINE__);
    if (request == nullptr || sessionId == nullptr || detail == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kSearchName, volume, __LINE__);
    WriteLog(1, nullptr, 0, "MaxSesCnt=%d [%s] [%d]", CommonMaxSes(), LogText(volume), __LINE__);

    const CopySupport s;
    TVC_DETAIL_INFO found;
    unsigned char id[2];
    if (s.DetailList()) {
        if (SearchInDetailList(volume, engineKind, *request, listMode, found) != 0) return -1;
        IdInUse(found, id);
    } else if (SearchByIdList(volume, engineKind, *request, id, found) != 0) {
        return -1;
    }
    WriteLog(1, &found, sizeof found, "outputData TvcDetailInfo  uhpSessionID=0x%x [%s] [%d]",
             static_cast<unsigned>(Be16(id)), LogText(volume), __LINE__);
    std::memcpy(sessionId, id, 2);
    *detail = found;
    return LogOk(1, kSearchName, volume, __LINE__);
}

extern "C" int ExtractSessionID(const char *volume, unsigned char engineKind,
                                const COPY_REQ_LV *request, int *count, unsigned char *list,
                                int capacity) {
    if (request == nullptr || count == nullptr || capacity < 0 ||
        (list == nullptr && capacity > 0)) {
        LogIn(1, kExtractName, volume, __LINE__);
        return FailEnd(ZRK_ERR_PARAMETER, 1, kExtractName, volume, __LINE__);
    }
    *count = 0;
    int found = 0;
    const auto store = [&](const unsigned char *id) {
        if (found == capacity) {
            // More candidates than the list has room for: keep the first.
            WriteLog(1, nullptr, 0, "ExtractSessionID list full at %d [%s] [%d]", capacity,
                     LogText(volume), __LINE__);
            return IdStep::Stop;
        }
        unsigned char *slot = list + 4 * static_cast<size_t>(found);
        std::memset(slot, 0, 4);
        std::memcpy(slot, id, 2);
        ++found;
        return IdStep::Next;
    };
    if (CollectSessionIds(volume, engineKind, *request, store) != 0) return -1;
    *count = found;
    return 0;
}
