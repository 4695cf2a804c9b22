// Session operations of the page-based engine: the starts (with the roll-back
// of a start the array refused), the operations on an existing session built
// from its detail (stop, suspend, resume, change, and the QuickKZP and
// SnapKZP stops), the query, and the search of the session a large-volume
// copy request names.
#include "zrkcmulti.h"
#include "zrktvc.h"

#include <cstdlib>
#include <cstring>

extern "C" {
int ZRKsessionid;
}

namespace zrk::tvc {

bool StoredSenseIs(int key, int asc, int ascq) {
    unsigned char sense[ZRK_SENSE_STORE_LEN] = {};
    CtrlSenseData(sense, ZRK_SENSE_LEN, ZRK_SENSE_COPY_OUT);
    const SenseRecord r = NormaliseSense(sense, sizeof sense);
    return r.ucKey == key && r.ucAsc == asc && r.ucAscq == ascq;
}

}  // namespace zrk::tvc

namespace {

using namespace zrk::tvc;
using zrk::Be16;
using zrk::ErrLine;
using zrk::InLine;
using zrk::LogText;
using zrk::OkLine;

constexpr int kOluStatusAttr = 4; // byte of OLU_STATUS that a start tests

// The failure of a command as the caller must see it: the sense store and
// ZRKerrno, kept across a command whose own outcome does not count.
class KeptFailure {
public:
    KeptFailure() : iErrno(ZRKerrno) { CtrlSenseData(ucaSense, ZRK_SENSE_LEN, ZRK_SENSE_COPY_OUT); }
    void Restore() const {
        CtrlSenseData(const_cast<unsigned char *>(ucaSense), ZRK_SENSE_LEN, ZRK_SENSE_STORE);
        ZRKerrno = iErrno;
    }
    bool SenseIs(int key, int asc, int ascq) const {
        const zrk::SenseRecord r = zrk::NormaliseSense(ucaSense, sizeof ucaSense);
        return r.ucKey == key && r.ucAsc == asc && r.ucAscq == ascq;
    }
    int Errno() const { return iErrno; }
    void SetErrno(int value) { iErrno = value; }

private:
    unsigned char ucaSense[ZRK_SENSE_STORE_LEN]; // the failing command's sense
    int iErrno;                                  // its ZRKerrno
};

int Fail(int code, const char *name, const char *volume, int line, int level = 2) {
    ZRKerrno = code;
    return ErrLine(level, name, volume, line);
}

bool Remote(const COPY_REQ_LV &request) { return request.RemoteFlag != 0; }
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

// The status record (OLU_STATUS) of an OLU (2 bytes) before a start.
int ReadOluStatus(const char *volume, const unsigned char *olu, unsigned char *status) {
    std::memset(status, 0, ZRK_OLU_STATUS_LEN);
    return GetOLUStatusInfo(volume, olu, status);
}

// Reserves a session identifier of the VZ (mode 2) or KZP family (mode 4).
int ReserveId(const char *volume, unsigned char mode, unsigned char *id) {
    const unsigned char field[2] = {0x00, 0x01};
    unsigned char reply[16];
    if (ExecTravoIn(volume, mode, ZRK_PAGE_RESERVE_ID, field, reply, sizeof reply) != 0) return -1;
    std::memcpy(id, reply + 8, 2);
    return 0;
}

// Sends a start page for a reserved identifier; when the array refuses it,
// gives the identifier back with a stop page and reports the start's failure.
int SendStart(const char *name, const char *volume, unsigned char pageKind,
              const unsigned char *id, const unsigned char *own, unsigned int option,
              TVC_EXEC &page, bool remoteVz) {
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

// Finds the session of an operation: by its identifier (option 0x4) or by
// the request's pair.
int FindSession(const char *volume, unsigned char kind, unsigned int option,
                const COPY_REQ_LV &request, TVC_DETAIL_INFO &detail) {
    if ((option & kOptById) != 0) {
        const int found = GetSessionDetailInfoForLV(volume, SessionIdOf(request), &detail);
        if (found == -2) ZRKerrno = ZRK_ERR_NO_SESSION;
        return found == 0 ? 0 : -1;
    }
    unsigned char id[2];
    return SearchTvcSession(volume, kind, &request, ZRK_LIST_MODE_ALL, id, &detail);
}

int SendFromDetail(const char *volume, unsigned char pageCode, unsigned char kind,
                   const TVC_DETAIL_INFO &detail, unsigned int option) {
    TVC_EXEC page;
    MakePrmFromDetailForLv(pageCode, kind, &detail, option, &page);
    return ExecTravoOut(volume, &page, sizeof page);
}

// The family's group is set up: KZP bytes 7 (local) and 15 (remote), VZ 23
// and 31.
bool FamilySupported(const Support &s, unsigned char kind, bool byId, bool remote) {
    const int local = kind == ZRK_ENGINE_VZ ? 23 : 7;
    const int far = kind == ZRK_ENGINE_VZ ? 31 : 15;
    if (byId) return s.Has(local, 0x01) || s.Has(far, 0x01);
    return s.Has(remote ? far : local, 0x01);
}

// Suspend and resume: the family and its suspend function.
bool SuspendSupported(const Support &s, bool byId, bool remote) {
    if (byId)
        return (s.Has(23, 0x01) || s.Has(31, 0x01)) && (s.Has(21, 0x01) || s.Has(29, 0x01));
    return remote ? s.Has(31, 0x01) && s.Has(29, 0x01) : s.Has(23, 0x01) && s.Has(21, 0x01);
}

bool VirtualVolumes(const Support &s) { return s.Has(4, 0x02) || s.Has(20, 0x02) || s.Has(28, 0x02); }

}  // namespace

// ---- checks ---------------------------------------------------------------------------

extern "C" int CheckBoxIDForLV(const char *volume, const COPY_REQ_LV *request,
                               unsigned char *ownBoxId) {
    static constexpr const char kName[] = "CheckBoxIDForLV";
    InLine(1, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__, 1);
    unsigned char own[ZRK_BOXID_LEN] = {};
    CtrlCommonData(own, ZRK_COMMON_GET_BOXID);
    bool pass;
    int code;
    if (Remote(*request)) {
        pass = SameBox(own, request->SrcBoxID) || SameBox(own, request->DstBoxID);
        code = ZRK_ERR_BOXID;
    } else {
        pass = SameBox(own, request->SrcBoxID);
        code = ZRK_ERR_DIFFERENT_ZRK;
    }
    if (!pass) {
        WriteLog(16, request->SrcBoxID, ZRK_BOXID_LEN, "SrcBoxID");
        WriteLog(16, request->DstBoxID, ZRK_BOXID_LEN, "DstBoxID");
        WriteLog(16, own, ZRK_BOXID_LEN, "BoxID");
        return Fail(code, kName, volume, __LINE__, 1);
    }
    if (ownBoxId != nullptr) std::memcpy(ownBoxId, own, ZRK_BOXID_LEN);
    return OkLine(1, kName, volume, __LINE__);
}

extern "C" int ChangeVzSupportCheck(unsigned int optionFlag, int remote) {
    static constexpr const char kName[] = "ChangeVzSupportCheck";
    InLine(1, kName, nullptr, __LINE__);
    const Support s;
    const bool reverse = (optionFlag & kOptReverse) != 0;
    if (remote != 0) {
        bool ok = s.Has(31, 0x01);
        if (ok && reverse) ok = s.Has(29, 0x08);
        if (ok && !reverse) {
            ok = s.Has(29, 0x04);
            if ((optionFlag & kOptStack) != 0) ok = ok && s.Has(29, 0x10);
            if ((optionFlag & kOptConsistency) != 0) ok = ok && s.Has(29, 0x20);
        }
        if (!ok) return Fail(ZRK_ERR_NOT_SUPPORT, kName, nullptr, __LINE__, 1);
    } else {
        if (!s.Has(23, 0x01)) return Fail(ZRK_ERR_NOT_SUPPORT, kName, nullptr, __LINE__, 1);
        // A local session can only be reversed.
        if (!reverse) return Fail(ZRK_ERR_OPTION, kName, nullptr, __LINE__, 1);
        if (!s.Has(21, 0x08)) return Fail(ZRK_ERR_NOT_SUPPORT, kName, nullptr, __LINE__, 1);
    }
    return OkLine(1, kName, nullptr, __LINE__);
}

// ---- starts -------------------------------------------------------------------------

extern "C" int StartTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                        const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StartTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    const bool vz = engineKind == ZRK_ENGINE_VZ;
    const bool remote = Remote(*request);
    unsigned char own[ZRK_BOXID_LEN] = {};
    if (BoxChecks(volume, *request, own) != 0) return ErrLine(2, kName, volume, __LINE__);
    WriteLog(2, nullptr, 0, "StartTvc BoxID [%s] [%d]", BoxText(own).ca, __LINE__);

    const Support s;
    bool ok;
    if (vz && remote) {
        ok = s.Has(31, 0x01);
        if ((optionFlag & kOptStack) != 0) ok = ok && s.Has(29, 0x10);
        if ((optionFlag & kOptConsistency) != 0) ok = ok && s.Has(29, 0x20);
        if ((optionFlag & kOptSecondary) != 0) ok = ok && s.Has(29, 0x02);
    } else if (vz) {
        ok = s.Has(23, 0x01);
        if ((optionFlag & kOptSecondary) != 0) ok = ok && s.Has(21, 0x02);
    } else {
        ok = s.Has(remote ? 15 : 7, 0x01);
    }
    if (!ok) return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);

    if (s.Has(4, 0x04) && ZRKstorage_cluster == 0) {
        unsigned char status[ZRK_OLU_STATUS_LEN];
        if (!remote || SameBox(request->SrcBoxID, own)) {
            if (ReadOluStatus(volume, request->SrcOlu + 2, status) != 0)
                return ErrLine(2, kName, volume, __LINE__);
            if (!vz && (status[kOluStatusAttr] & 0x03) == 0x03)
                return Fail(ZRK_ERR_SEQUENCE, kName, volume, __LINE__);
        }
        if (!remote || SameBox(request->DstBoxID, own)) {
            if (ReadOluStatus(volume, request->DstOlu + 2, status) != 0)
                return ErrLine(2, kName, volume, __LINE__);
        }
    }

    unsigned char id[2];
    if (ReserveId(volume, vz ? 2 : 4, id) != 0) return ErrLine(2, kName, volume, __LINE__);
    TVC_EXEC page;
    MakePrmFromCopyReqForLv(ZRK_TVC_START, id, engineKind, request, own, optionFlag, &page);
    if (SendStart(kName, volume, engineKind, id, own, optionFlag, page, vz && remote) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    return OkLine(2, kName, volume, __LINE__);
}

extern "C" int StartQuickTvc(const char *volume, unsigned char engineKind,
                             unsigned int optionFlag, const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StartQuickTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    unsigned char own[ZRK_BOXID_LEN] = {};
    if (BoxChecks(volume, *request, own) != 0) return ErrLine(2, kName, volume, __LINE__);
    WriteLog(2, nullptr, 0, "StartQuickTvc BoxID [%s] [%d]", BoxText(own).ca, __LINE__);

    const Support s;
    if (!s.Has(7, 0x01) || !s.Has(4, 0x01) ||
        ((optionFlag & kOptDeleteMode) != 0 && !VirtualVolumes(s)))
        return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);

    if (s.Has(4, 0x04) && ZRKstorage_cluster == 0) {
        unsigned char status[ZRK_OLU_STATUS_LEN];
        if (ReadOluStatus(volume, request->SrcOlu + 2, status) != 0 ||
            ReadOluStatus(volume, request->DstOlu + 2, status) != 0)
            return ErrLine(2, kName, volume, __LINE__);
    }

    TVC_EXEC page;
    if ((optionFlag & kOptRestart) != 0) {
        // A restart names an existing QuickKZP session; no identifier is
        // reserved and nothing needs rolling back.
        unsigned char id[2];
        TVC_DETAIL_INFO detail;
        if (SearchTvcSession(volume, ZRK_ENGINE_KZP, request, ZRK_LIST_MODE_ALL, id, &detail) != 0)
            return ErrLine(2, kName, volume, __LINE__);
        if ((detail.ucSessionFlags & ZRK_SESFLAG_QUICKKZP) == 0)
            return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);
        MakePrmFromDetailForLv(ZRK_TVC_START, ZRK_ENGINE_QUICKKZP, &detail, optionFlag, &page);
        if (ExecTravoOut(volume, &page, sizeof page) != 0) {
            if (ZRKerrno == ZRK_ERR_SNAPKZP) ZRKerrno = ZRK_ERR_SDV;
            return ErrLine(2, kName, volume, __LINE__);
        }
        return OkLine(2, kName, volume, __LINE__);
    }
    (void)engineKind;
    unsigned char id[2];
    if (ReserveId(volume, 4, id) != 0) return ErrLine(2, kName, volume, __LINE__);
    MakePrmFromCopyReqForLv(ZRK_TVC_START, id, ZRK_ENGINE_QUICKKZP, request, own, optionFlag,
                            &page);
    if (SendStart(kName, volume, ZRK_ENGINE_QUICKKZP, id, own, optionFlag, page, false) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    return OkLine(2, kName, volume, __LINE__);
}

extern "C" int StartSnapTvc(const char *volume, unsigned char engineKind,
                            unsigned int optionFlag, const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StartSnapTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    unsigned char own[ZRK_BOXID_LEN] = {};
    if (BoxChecks(volume, *request, own) != 0) return ErrLine(2, kName, volume, __LINE__);
    WriteLog(2, nullptr, 0, "StartSnapTvc BoxID [%s] [%d]", BoxText(own).ca, __LINE__);

    const bool plus = engineKind == ZRK_ENGINE_SNAPKZPP;
    const unsigned char pageKind = plus ? ZRK_ENGINE_SNAPKZPP : ZRK_ENGINE_SNAPKZP;
    const Support s;
    bool ok = s.Has(7, 0x01) && s.Has(4, plus ? 0x08 : 0x04);
    if (plus && (optionFlag & kOptDeleteMode) != 0) ok = ok && VirtualVolumes(s);
    if (!ok) return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);

    if (ZRKstorage_cluster == 0) {
        unsigned char status[ZRK_OLU_STATUS_LEN];
        if (ReadOluStatus(volume, request->SrcOlu + 2, status) != 0)
            return ErrLine(2, kName, volume, __LINE__);
        // A monitor session has no destination.
        if (zrk::Be32(request->DstOlu) != 0xFFFFFFFFu) {
            if (ReadOluStatus(volume, request->DstOlu + 2, status) != 0)
                return ErrLine(2, kName, volume, __LINE__);
            if ((status[kOluStatusAttr] & 0x02) != 0)
                return Fail(ZRK_ERR_SEQUENCE, kName, volume, __LINE__);
        }
    }

    unsigned char id[2];
    if (ReserveId(volume, 4, id) != 0) return ErrLine(2, kName, volume, __LINE__);
    TVC_EXEC page;
    MakePrmFromCopyReqForLv(ZRK_TVC_START, id, pageKind, request, own, optionFlag, &page);
    if (SendStart(kName, volume, pageKind, id, own, optionFlag, page, false) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    return OkLine(2, kName, volume, __LINE__);
}

// ---- operations on an existing session ----------------------------------------------------

extern "C" int StopTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                       const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StopTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    const bool byId = (optionFlag & kOptById) != 0;
    const bool kzp = engineKind != ZRK_ENGINE_VZ;
    if (!byId && BoxChecks(volume, *request, nullptr) != 0) return ErrLine(2, kName, volume, __LINE__);

    const Support s;
    bool ok = FamilySupported(s, engineKind, byId, Remote(*request));
    if (kzp && (optionFlag & kOptVirtualVolume) != 0) ok = ok && VirtualVolumes(s);
    if (!ok) return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);

    TVC_DETAIL_INFO detail;
    if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    if (byId) {
        const bool kindOk = detail.ucCopyKind == engineKind ||
                            (detail.ucCopyKind == 0x10 && engineKind == ZRK_ENGINE_KZP);
        if (!kindOk) return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);
        if (kzp && !DetailRemote(detail) && (optionFlag & kOptForce) != 0)
            return Fail(ZRK_ERR_OPTION, kName, volume, __LINE__);
    }
    // Only the stop of its own kind ends a snapshot or QuickKZP session.
    if (engineKind == ZRK_ENGINE_KZP && (optionFlag & kOptVirtualVolume) == 0 &&
        ((detail.ucSessionFlags &
          (ZRK_SESFLAG_SNAPKZP | ZRK_SESFLAG_QUICKKZP | ZRK_SESFLAG_SNAPKZP_P)) != 0 ||
         detail.ucCopyKind == 3))
        return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);

    if (SendFromDetail(volume, ZRK_TVC_STOP, engineKind, detail, optionFlag) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    return OkLine(2, kName, volume, __LINE__);
}

extern "C" int SuspendTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                          const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "SuspendTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    const bool stackTimer = (optionFlag & kOptStackTimer) != 0;
    // The page has one byte for the timer: refuse what it cannot carry before
    // anything is sent.
    if (stackTimer && (ZRKRVZ_stacktimer < 0 || ZRKRVZ_stacktimer > 255)) {
        ZRKerrno = ZRK_ERR_STACK_TIMER;
        WriteLog(2, nullptr, 0, "SuspendTvc Err end [%s] ZRKRVZ_stacktimer = %d [%d]",
                 LogText(volume), ZRKRVZ_stacktimer, __LINE__);
        return -1;
    }
    const bool byId = (optionFlag & kOptById) != 0;
    if (!byId && BoxChecks(volume, *request, nullptr) != 0) return ErrLine(2, kName, volume, __LINE__);

    const Support s;
    bool ok = SuspendSupported(s, byId, Remote(*request));
    if (!byId && Remote(*request) && stackTimer) ok = ok && s.Has(30, 0x10);
    if (!ok) return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);

    TVC_DETAIL_INFO detail;
    if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    if (byId) {
        if (detail.ucCopyKind != engineKind) return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);
        if (DetailRemote(detail)) {
            if (stackTimer && !s.Has(30, 0x10))
                return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);
        } else if ((optionFlag & kOptForce) != 0) {
            return Fail(ZRK_ERR_OPTION, kName, volume, __LINE__);
        }
    }
    if (detail.Status == 4) return Fail(ZRK_ERR_SEQUENCE, kName, volume, __LINE__);

    if (SendFromDetail(volume, ZRK_TVC_SUSPEND, engineKind, detail, optionFlag) != 0) {
        if (stackTimer && DetailRemote(detail) && StoredSenseIs(5, 0x26, 0x00))
            ZRKerrno = ZRK_ERR_STACK_TIMER;
        return ErrLine(2, kName, volume, __LINE__);
    }
    return OkLine(2, kName, volume, __LINE__);
}

extern "C" int ResumeTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                         const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "ResumeTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    const bool byId = (optionFlag & kOptById) != 0;
    if (!byId && BoxChecks(volume, *request, nullptr) != 0) return ErrLine(2, kName, volume, __LINE__);

    const Support s;
    if (!SuspendSupported(s, byId, Remote(*request)))
        return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);

    TVC_DETAIL_INFO detail;
    if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    if (byId) {
        if (detail.ucCopyKind != engineKind) return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);
        if (!DetailRemote(detail) && (optionFlag & kOptRemain) != 0)
            return Fail(ZRK_ERR_OPTION, kName, volume, __LINE__);
    }
    if (detail.Status != 4) return Fail(ZRK_ERR_SEQUENCE, kName, volume, __LINE__);

    if (SendFromDetail(volume, ZRK_TVC_RESUME, engineKind, detail, optionFlag) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    return OkLine(2, kName, volume, __LINE__);
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

}  // namespace

extern "C" int ChangeTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                         const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "ChangeTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    const bool byId = (optionFlag & kOptById) != 0;
    TVC_DETAIL_INFO detail;
    if (byId) {
        // The session's own side decides which support it needs.
        if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
            return ErrLine(2, kName, volume, __LINE__);
        if (ChangeVzSupportCheck(optionFlag, DetailRemote(detail) ? 1 : 0) != 0)
            return ErrLine(2, kName, volume, __LINE__);
        if (detail.ucCopyKind != engineKind) return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);
    } else {
        if (BoxChecks(volume, *request, nullptr) != 0) return ErrLine(2, kName, volume, __LINE__);
        if (ChangeVzSupportCheck(optionFlag, Remote(*request) ? 1 : 0) != 0)
            return ErrLine(2, kName, volume, __LINE__);
        if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
            return ErrLine(2, kName, volume, __LINE__);
    }
    if (detail.Status != 4) return Fail(ZRK_ERR_SEQUENCE, kName, volume, __LINE__);

    if (SendFromDetail(volume, ZRK_TVC_CHANGE, engineKind, detail, optionFlag) != 0) {
        if (DetailRemote(detail)) DiagnoseRemoteChange(volume, detail);
        return ErrLine(2, kName, volume, __LINE__);
    }
    return OkLine(2, kName, volume, __LINE__);
}

extern "C" int StopQuickTvc(const char *volume, unsigned char engineKind,
                            unsigned int optionFlag, const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StopQuickTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    const bool byId = (optionFlag & kOptById) != 0;
    if (!byId && BoxChecks(volume, *request, nullptr) != 0) return ErrLine(2, kName, volume, __LINE__);

    const Support s;
    if (!s.Has(7, 0x01) || !s.Has(4, 0x01)) return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);

    TVC_DETAIL_INFO detail;
    if (FindSession(volume, engineKind, optionFlag, *request, detail) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    if ((detail.ucSessionFlags & ZRK_SESFLAG_QUICKKZP) == 0)
        return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);

    if (SendFromDetail(volume, ZRK_TVC_STOP, ZRK_ENGINE_QUICKKZP, detail, optionFlag) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    return OkLine(2, kName, volume, __LINE__);
}

extern "C" int StopSnapTvc(const char *volume, unsigned char engineKind,
                           unsigned int optionFlag, const COPY_REQ_LV *request) {
    static constexpr const char kName[] = "StopSnapTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr) return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    const bool byId = (optionFlag & kOptById) != 0;
    const bool plus = engineKind == ZRK_ENGINE_SNAPKZPP;
    if (!byId && BoxChecks(volume, *request, nullptr) != 0) return ErrLine(2, kName, volume, __LINE__);

    const Support s;
    if (!s.Has(7, 0x01) || !s.Has(4, plus ? 0x08 : 0x04))
        return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);

    TVC_DETAIL_INFO detail;
    if (FindSession(volume, ZRK_ENGINE_KZP, optionFlag, *request, detail) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    bool kindOk;
    if ((optionFlag & kOptMonitor) != 0)
        kindOk = detail.ucCopyKind == 3;
    else
        kindOk = (detail.ucSessionFlags & (plus ? ZRK_SESFLAG_SNAPKZP_P : ZRK_SESFLAG_SNAPKZP)) != 0;
    if (!kindOk) return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);

    if (SendFromDetail(volume, ZRK_TVC_STOP, plus ? ZRK_ENGINE_SNAPKZPP : ZRK_ENGINE_SNAPKZP, detail,
                       optionFlag) != 0)
        return ErrLine(2, kName, volume, __LINE__);
    return OkLine(2, kName, volume, __LINE__);
}

// ---- query and search ------------------------------------------------------------------

extern "C" int QueryTvc(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                        const COPY_REQ_LV *request, TVC_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "QueryTvc";
    InLine(2, kName, volume, __LINE__);
    if (request == nullptr || detail == nullptr)
        return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__);
    const bool byId = (optionFlag & kOptById) != 0;
    if (!byId) {
        if (ConvertPrimaryBoxID(volume, request->SrcBoxID, request->DstBoxID) != 0 ||
            CheckBoxIDForLV(volume, request, nullptr) != 0)
            return ErrLine(2, kName, volume, __LINE__);
    }

    const Support s;
    const bool remote = Remote(*request);
    bool ok;
    if (engineKind == ZRK_ENGINE_ANY)
        ok = byId ? s.Has(7, 0x01) || s.Has(15, 0x01) || s.Has(23, 0x01) || s.Has(31, 0x01)
                  : (remote ? s.Has(15, 0x01) || s.Has(31, 0x01) : s.Has(7, 0x01) || s.Has(23, 0x01));
    else
        ok = FamilySupported(s, engineKind, byId, remote);
    if (!ok) return Fail(ZRK_ERR_NOT_SUPPORT, kName, volume, __LINE__);

    TVC_DETAIL_INFO found;
    if (byId) {
        const int read = GetSessionDetailInfoForLV(volume, SessionIdOf(*request), &found);
        if (read == -2) return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);
        if (read != 0) return ErrLine(2, kName, volume, __LINE__);
        if ((engineKind == ZRK_ENGINE_VZ && found.ucCopyKind != 2) ||
            (engineKind == ZRK_ENGINE_KZP && found.ucCopyKind == 2))
            return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__);
    } else {
        unsigned char id[2];
        if (SearchTvcSession(volume, engineKind, request, 0, id, &found) != 0)
            return ErrLine(2, kName, volume, __LINE__);
    }
    *detail = found;
    return OkLine(2, kName, volume, __LINE__);
}

namespace {

// A session's detail matches a request: kind, side, OLUs, extents and size,
// and for a remote request both arrays.
bool DetailMatches(const TVC_DETAIL_INFO &d, unsigned char kind, const COPY_REQ_LV &r) {
    if (kind == ZRK_ENGINE_VZ && d.ucCopyKind != 2) return false;
    if (kind == ZRK_ENGINE_KZP && d.ucCopyKind == 2) return false;
    if ((DetailRemote(d) ? 1 : 0) != r.RemoteFlag) return false;
    if (std::memcmp(d.SrcOlu, r.SrcOlu, 4) != 0 || std::memcmp(d.DstOlu, r.DstOlu, 4) != 0)
        return false;
    if (std::memcmp(d.SrcExtent_high, r.SrcExtent_high, 4) != 0 ||
        std::memcmp(d.SrcExtent_low, r.SrcExtent_low, 4) != 0 ||
        std::memcmp(d.DstExtent_high, r.DstExtent_high, 4) != 0 ||
        std::memcmp(d.DstExtent_low, r.DstExtent_low, 4) != 0 ||
        std::memcmp(d.SrcSize_high, r.SrcSize_high, 4) != 0 ||
        std::memcmp(d.SrcSize_low, r.SrcSize_low, 4) != 0)
        return false;
    if (Remote(r) && (!SameBox(d.SrcBoxID, r.SrcBoxID) || !SameBox(d.DstBoxID, r.DstBoxID)))
        return false;
    return true;
}

// Over the detail list.
int SearchInDetailList(const char *volume, unsigned char kind, const COPY_REQ_LV &request,
                       unsigned char listMode, int maxSes, TVC_DETAIL_INFO &detail) {
    static constexpr const char kName[] = "SearchTvcSession";
    WriteLog(1, nullptr, 0, "AllocSize=%d [%s] [%d]",
             static_cast<int>(maxSes * sizeof(DETAIL_LIST_INFO)), LogText(volume), __LINE__);
    zrk::Entries list = zrk::AllocateDetailEntries(static_cast<size_t>(maxSes));
    if (!list) return ErrLine(1, kName, volume, __LINE__);
    int count = 0;
    const uint32_t option = ZRKOptionFlag;
    if (ZRKstorage_cluster != 0) ZRKOptionFlag = kOptListNoCluster;
    const int read = GetDetailList(volume, listMode, &count, list.get(), maxSes);
    ZRKOptionFlag = option;
    if (read != 0) return ErrLine(1, kName, volume, __LINE__);
    if (count == 0) return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__, 1);
    if (QueryDetailfromListForLV(count, list.get(), kind, &request, &detail) != 0)
        return ErrLine(1, kName, volume, __LINE__);
    return 0;
}

// Over the session-id lists, reading each candidate's detail.
int SearchByIdList(const char *volume, unsigned char kind, const COPY_REQ_LV &request,
                   int maxSes, unsigned char *id, TVC_DETAIL_INFO &detail) {
    static constexpr const char kName[] = "SearchTvcSession";
    zrk::Buffer slots = zrk::AllocateZeroed(static_cast<size_t>(maxSes) * 4);
    if (!slots) return ErrLine(1, kName, volume, __LINE__);
    int count = 0;
    if (ExtractSessionID(volume, kind, &request, &count, slots.get(), maxSes) != 0)
        return ErrLine(1, kName, volume, __LINE__);
    for (int i = 0; i < count; ++i) {
        const unsigned char *candidate = slots.get() + 4 * i;
        TVC_DETAIL_INFO d;
        const int read = GetSessionDetailInfoForLV(volume, candidate, &d);
        if (read == -2) continue;
        if (read != 0) return ErrLine(1, kName, volume, __LINE__);
        if (!DetailMatches(d, kind, request)) continue;
        std::memcpy(id, candidate, 2);
        detail = d;
        return 0;
    }
    return Fail(ZRK_ERR_NO_SESSION, kName, volume, __LINE__, 1);
}

}  // namespace

extern "C" int SearchTvcSession(const char *volume, unsigned char engineKind,
                                const COPY_REQ_LV *request, unsigned char listMode,
                                unsigned char *sessionId, TVC_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "SearchTvcSession";
    InLine(1, kName, volume, __LINE__);
    if (request == nullptr || sessionId == nullptr || detail == nullptr)
        return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__, 1);
    const int maxSes = CommonMaxSes();
    WriteLog(1, nullptr, 0, "MaxSesCnt=%d [%s] [%d]", maxSes, LogText(volume), __LINE__);

    const Support s;
    TVC_DETAIL_INFO found;
    unsigned char id[2];
    if (s.DetailList()) {
        if (SearchInDetailList(volume, engineKind, *request, listMode, maxSes, found) != 0)
            return -1;
        IdInUse(found, id);
    } else if (SearchByIdList(volume, engineKind, *request, maxSes, id, found) != 0) {
        return -1;
    }
    WriteLog(1, &found, sizeof found, "outputData TvcDetailInfo  uhpSessionID=0x%x [%s] [%d]",
             static_cast<unsigned>(Be16(id)), LogText(volume), __LINE__);
    std::memcpy(sessionId, id, 2);
    *detail = found;
    return OkLine(1, kName, volume, __LINE__);
}

extern "C" int ExtractSessionID(const char *volume, unsigned char engineKind,
                                const COPY_REQ_LV *request, int *count, unsigned char *list,
                                int capacity) {
    static constexpr const char kName[] = "ExtractSessionID";
    InLine(1, kName, volume, __LINE__);
    if (request == nullptr || count == nullptr || capacity < 0 || (list == nullptr && capacity > 0))
        return Fail(ZRK_ERR_PARAMETER, kName, volume, __LINE__, 1);
    *count = 0;
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
    int found = 0;
    for (const Family &f : families) {
        if (!f.bWanted) continue;
        WriteLog(1, nullptr, 0, f.pLog, LogText(volume), __LINE__);
        unsigned char *raw = nullptr;
        int entries = 0;
        if (GetSessionIdList(volume, f.ucPage, remoteSupport, 1, &raw, &entries) != 0) {
            std::free(raw);
            return ErrLine(1, kName, volume, __LINE__);
        }
        const zrk::Buffer ids(raw);
        for (int k = 0; k < entries; ++k) {
            const unsigned char *e =
                ids.get() + ZRK_SESSION_LIST_HEAD_LEN + sizeof(SESSION_ID_ENTRY) * static_cast<size_t>(k);
            if (e[3] != request->ucVolumeRole) continue;
            if (((e[2] & 0x20) != 0 ? 1 : 0) != request->RemoteFlag) continue;
            if (std::memcmp(e + 8, request->SrcOlu, 4) != 0) continue;
            if (f.bVz ? std::memcmp(e + 12, request->DstOlu, 4) != 0
                      : std::memcmp(e + 14, request->DstOlu + 2, 2) != 0)
                continue;
            if (found == capacity) {
                // More candidates than the list has room for: keep the first.
                WriteLog(1, nullptr, 0, "ExtractSessionID list full at %d [%s] [%d]", capacity,
                         LogText(volume), __LINE__);
                break;
            }
            unsigned char *slot = list + 4 * static_cast<size_t>(found);
            std::memset(slot, 0, 4);
            std::memcpy(slot, e, 2);
            ++found;
        }
    }
    *count = found;
    return OkLine(1, kName, volume, __LINE__);
}
