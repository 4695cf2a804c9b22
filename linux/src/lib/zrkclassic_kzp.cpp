// The classic KZP, remote KZP, QuickKZP and SnapKZP operations and the
// initialisation of a snap data volume, for arrays without the page-based
// engine: product check, copy-support record, session search, parameter
// list, TRAVO OUT.
//
// A start reserves a session identifier first (TRAVO IN page 0x00, mode 4).
// When the array refuses the start, the reserved identifier is given back
// with the local stop list, whatever the kind of the start; its outcome does
// not count, and the caller sees the sense and ZRKerrno of the refused start.
#include "zrkclassic.h"
#include "zrkframe.h"
#include "zrktvc.h"

#include <cstdlib>
#include <cstring>

using namespace zrk;

namespace {

constexpr size_t kOluStatusAttr = 4;           // byte of OLU_STATUS tested below
constexpr unsigned char kOluSnapData = 0x01;   // the OLU is a snap data volume
constexpr unsigned char kOluInUse = 0x02;      // ... that a start or an initialisation refuses
constexpr unsigned char kModeQuickKzp = kModeQuick; // detail byte 5: QuickKZP session
constexpr unsigned char kModeSnapKzp = 0x40;   // detail byte 5: SnapKZP (and monitor) session
constexpr unsigned char kPrmSnapInit = 0x31;   // TRAVO OUT: initialise a snap data volume
constexpr size_t kSnapInitLen = 16;            // its list
constexpr size_t kSnapInitOlu = 8;             // the OLU in it (2 bytes)

bool ById(unsigned int option) { return (option & ZRK_OPT_SESSION_ID) != 0; }
bool Remote(const COPY_REQ &request) { return request.RemoteFlag != 0; }
bool DetailRemote(const RKZP_DETAIL_INFO &d) { return (d.ucFlags & ZRK_SESFLAG_REMOTE) != 0; }

// What one operation has read of the array: the copy-support record and the
// remote-support byte.
struct ArrayFacts {
    unsigned char ucaSupport[ZRK_SUPPORT_DATA_LEN]; /* SUPPORT_DATA */
    unsigned char ucRemote;                          /* remote-support byte */
    CopySupport Support() const { return CopySupport(ucaSupport); }
};

// The entry line of an operation and its request; 0, or -1 after the Err end
// line.
int Enter(const char *name, const char *volume, const void *request) {
    LogIn(2, name, volume, __LINE__);
    if (request == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 2, name, volume, __LINE__);
    return 0;
}

// The head of every operation after the entry line: the product check, the
// BoxID check when checkBox (own receives the own BoxID when not null, and a
// start logs it), and the copy-support record. 0, or -1 after the Err end
// line.
int Head(const char *name, const char *volume, const COPY_REQ *request, bool checkBox,
         unsigned char *own, ArrayFacts &facts) {
    if (CheckProduct(volume) != 0) return LogErr(2, name, volume, __LINE__);
    if (checkBox) {
        if (CheckBoxID(volume, request, own) != 0) return LogErr(2, name, volume, __LINE__);
        if (own != nullptr) WriteLog(2, own, ZRK_BOXID_LEN, "BoxID");
    }
    facts = ArrayFacts{};
    if (GetSupportCopyInfo(volume, facts.ucaSupport, &facts.ucRemote) != 0)
        return LogErr(2, name, volume, __LINE__);
    return 0;
}

// The KZP groups a request may use: by identifier either, else the group of
// the request's side.
bool KzpSupported(const CopySupport &s, bool byId, bool remote) {
    if (byId)
        return s.AnyHas({ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_REMOTE_KZP}, ZRK_SUPPORT_KIND);
    return s.Has(remote ? ZRK_SUPPORT_FLAGS_REMOTE_KZP : ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND);
}

// The local KZP group with one of the KZP kinds of byte 4.
bool KzpKindSupported(const CopySupport &s, unsigned int kind) {
    return s.Has(ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_KIND) && s.Has(ZRK_SUPPORT_KZP_KINDS, kind);
}

// The attribute byte of the OLU_STATUS of an OLU (2 bytes, big-endian).
int OluAttribute(const char *volume, const unsigned char *olu, unsigned char &attribute) {
    unsigned char status[ZRK_OLU_STATUS_LEN] = {};
    if (GetOLUStatusInfo(volume, olu, status) != 0) return -1;
    attribute = status[kOluStatusAttr];
    return 0;
}

// Sends a start list for the reserved identifier id. Done: ZRKsessionid is
// the identifier. Refused: the identifier goes back with the local stop list,
// and the start's sense and ZRKerrno are restored.
int SendStart(const char *name, const char *volume, const unsigned char *id,
              unsigned char volumeRole, void *list, int length) {
    if (ExecTravoOut(volume, list, length) == 0) {
        ZRKsessionid = Be16(id);
        return 0;
    }
    const KeptFailure failure;
    WriteLog(2, nullptr, 0, "%s roll back SessionID=0x%x [%s] [%d]", name,
             static_cast<unsigned>(Be16(id)), LogText(volume), __LINE__);
    unsigned char stop[ZRK_PRM_LOCAL_LEN];
    MakeKzpPrmFromCopyReq(ZRK_PRM_KZP_STOP, id, nullptr, volumeRole, stop);
    (void)ExecTravoOut(volume, stop, sizeof stop);
    failure.Restore();
    return -1;
}

// The session of an operation named by its identifier: its detail from page
// (the request's role). 0, or -1 with ZRKerrno set (ZRK_ERR_NO_SESSION when
// the array has none).
int DetailById(const char *volume, const COPY_REQ &request, unsigned char page,
               unsigned char remoteSupport, RKZP_DETAIL_INFO &detail) {
    const int found = GetSessionDetailInfo(volume, request.SrcOlu, page, remoteSupport,
                                           request.ucVolumeRole, &detail);
    if (found == -2) FailWith(ZRK_ERR_NO_SESSION);
    return found == 0 ? 0 : -1;
}

// The KZP or remote KZP session of a stop or query: by identifier the remote
// or local detail page (a remote session marks the request remote), else the
// session search.
int FindKzpSession(const char *volume, unsigned int option, COPY_REQ &request,
                   unsigned char remoteSupport, RKZP_DETAIL_INFO &detail) {
    if (ById(option)) {
        const unsigned char page =
            Remote(request) ? ZRK_PAGE_REMOTE_KZP_DETAIL : ZRK_PAGE_LOCAL_KZP_DETAIL;
        if (DetailById(volume, request, page, remoteSupport, detail) != 0) return -1;
        if (DetailRemote(detail)) request.RemoteFlag = 1;
        return 0;
    }
    unsigned char id[2];
    return SearchKzpSession(volume, &request, remoteSupport, id, &detail);
}

// The KZP or remote KZP session of a stop or query after its entry line:
// the head (the BoxID check by pair), the family set up for the request, the
// session. 0, or -1 after the Err end line.
int KzpSessionOf(const char *name, const char *volume, unsigned int option, COPY_REQ &request,
                 RKZP_DETAIL_INFO &detail) {
    const bool byId = ById(option);
    ArrayFacts facts;
    if (Head(name, volume, &request, !byId, nullptr, facts) != 0) return -1;
    if (!KzpSupported(facts.Support(), byId, Remote(request)))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, name, volume, __LINE__);
    if (FindKzpSession(volume, option, request, facts.ucRemote, detail) != 0)
        return LogErr(2, name, volume, __LINE__);
    return 0;
}

// The session of a QuickKZP or SnapKZP stop: by identifier from page, else
// the session search.
int FindKindSession(const char *volume, unsigned int option, const COPY_REQ &request,
                    unsigned char page, unsigned char remoteSupport, RKZP_DETAIL_INFO &detail) {
    if (ById(option)) return DetailById(volume, request, page, remoteSupport, detail);
    unsigned char id[2];
    return SearchKzpSession(volume, &request, remoteSupport, id, &detail);
}

// Sends a list and writes the end line of the operation.
int SendAndEnd(const char *name, const char *volume, void *list, int length) {
    if (ExecTravoOut(volume, list, length) != 0) return LogErr(2, name, volume, __LINE__);
    return LogOk(2, name, volume, __LINE__);
}

// The builders of the extended lists of the QuickKZP and SnapKZP sessions.
using StartPage = void (*)(unsigned char, const unsigned char *, unsigned int, const COPY_REQ *,
                           TVC_EXEC *);
using StopPage = void (*)(unsigned char, unsigned int, const RKZP_DETAIL_INFO *, TVC_EXEC *);

// The end of a QuickKZP or SnapKZP start: a reserved identifier, the start
// list that make builds for it, and the end line.
int StartExtended(const char *name, const char *volume, unsigned int optionFlag,
                  const COPY_REQ *request, StartPage make) {
    unsigned char id[2];
    if (ReserveSessionId(volume, ZRK_RESERVE_KZP, id) != 0) return LogErr(2, name, volume, __LINE__);
    TVC_EXEC page;
    make(ZRK_TVC_START, id, optionFlag, request, &page);
    if (SendStart(name, volume, id, request->ucVolumeRole, &page, sizeof page) != 0)
        return LogErr(2, name, volume, __LINE__);
    return LogOk(2, name, volume, __LINE__);
}

// A QuickKZP or SnapKZP stop: the kind (support bit) set up, the session
// found and of that kind (its mode bit), and the stop list that make builds
// from its detail.
int StopExtended(const char *name, const char *volume, unsigned int optionFlag, COPY_REQ *request,
                 unsigned int supportKind, unsigned char mode, StopPage make) {
    if (Enter(name, volume, request) != 0) return -1;
    ArrayFacts facts;
    if (Head(name, volume, request, !ById(optionFlag), nullptr, facts) != 0) return -1;
    if (!KzpKindSupported(facts.Support(), supportKind))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, name, volume, __LINE__);
    RKZP_DETAIL_INFO detail{};
    if (FindKindSession(volume, optionFlag, *request, ZRK_PAGE_LOCAL_KZP_DETAIL, facts.ucRemote,
                        detail) != 0)
        return LogErr(2, name, volume, __LINE__);
    if ((detail.ucPhaseMode & mode) == 0)
        return FailEnd(ZRK_ERR_NO_SESSION, 2, name, volume, __LINE__);
    TVC_EXEC page;
    make(ZRK_TVC_STOP, optionFlag, &detail, &page);
    return SendAndEnd(name, volume, &page, sizeof page);
}

} // namespace

// ---- KZP and remote KZP ------------------------------------------------------------------

extern "C" int StartKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    static constexpr const char kName[] = "StartKzp";
    if (Enter(kName, volume, request) != 0) return -1;
    unsigned char own[ZRK_BOXID_LEN] = {};
    ArrayFacts facts;
    if (Head(kName, volume, request, true, own, facts) != 0) return -1;
    const CopySupport s = facts.Support();
    const bool remote = Remote(*request);
    if (!KzpSupported(s, false, remote))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    // The OLU status page goes with the SnapKZP function: neither volume of
    // this array may be a snap data volume in use, nor the destination one at
    // all.
    if (s.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP)) {
        unsigned char attribute = 0;
        if (!remote || SameBoxId(request->SrcBoxID, own)) {
            if (OluAttribute(volume, request->SrcOlu, attribute) != 0)
                return LogErr(2, kName, volume, __LINE__);
            if ((attribute & (kOluSnapData | kOluInUse)) == (kOluSnapData | kOluInUse))
                return FailEnd(ZRK_ERR_SEQUENCE, 2, kName, volume, __LINE__);
        }
        if (!remote || SameBoxId(request->DstBoxID, own)) {
            if (OluAttribute(volume, request->DstOlu, attribute) != 0)
                return LogErr(2, kName, volume, __LINE__);
            if ((attribute & kOluSnapData) != 0)
                return FailEnd(ZRK_ERR_SDV, 2, kName, volume, __LINE__);
        }
    }

    unsigned char id[2];
    if (ReserveSessionId(volume, ZRK_RESERVE_KZP, id) != 0) return LogErr(2, kName, volume, __LINE__);
    int rc;
    if (remote) {
        unsigned char list[ZRK_PRM_REMOTE_LEN];
        MakeRkzpPrmFromCopyReq(ZRK_PRM_RKZP_START, id, request, own, optionFlag, list);
        rc = SendStart(kName, volume, id, request->ucVolumeRole, list, sizeof list);
    } else {
        unsigned char list[ZRK_PRM_LOCAL_LEN];
        MakeKzpPrmFromCopyReq(ZRK_PRM_KZP_START, id, request, request->ucVolumeRole, list);
        rc = SendStart(kName, volume, id, request->ucVolumeRole, list, sizeof list);
    }
    if (rc != 0) return LogErr(2, kName, volume, __LINE__);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int StopKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    static constexpr const char kName[] = "StopKzp";
    if (Enter(kName, volume, request) != 0) return -1;
    const bool byId = ById(optionFlag);
    RKZP_DETAIL_INFO detail{};
    if (KzpSessionOf(kName, volume, optionFlag, *request, detail) != 0) return -1;
    // Forcing is for the remote stop only.
    if (byId && !DetailRemote(detail) && (optionFlag & ZRK_OPT_FORCE) != 0)
        return FailEnd(ZRK_ERR_OPTION, 2, kName, volume, __LINE__);
    // QuickKZP and SnapKZP sessions end by their own stops.
    if ((detail.ucPhaseMode & (kModeQuickKzp | kModeSnapKzp)) != 0)
        return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);

    if (Remote(*request)) {
        unsigned char list[ZRK_PRM_REMOTE_LEN];
        MakeRkzpPrmFromDetail(ZRK_PRM_RKZP_STOP, &detail, list);
        if ((optionFlag & ZRK_OPT_FORCE) != 0) list[kRemotePrmFlags] |= ZRK_PRM_FORCED;
        return SendAndEnd(kName, volume, list, sizeof list);
    }
    unsigned char list[ZRK_PRM_LOCAL_LEN];
    MakeKzpPrmFromDetail(ZRK_PRM_KZP_STOP, &detail, list);
    return SendAndEnd(kName, volume, list, sizeof list);
}

extern "C" int QueryKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                        unsigned int *result) {
    static constexpr const char kName[] = "QueryKzp";
    if (Enter(kName, volume, request) != 0) return -1;
    if (result == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    RKZP_DETAIL_INFO detail{};
    if (KzpSessionOf(kName, volume, optionFlag, *request, detail) != 0) return -1;
    result[0] = detail.Status;
    result[1] = Be32(detail.ucaCopiedBlock);
    result[2] = Be32(detail.ucaFamily8); // the elapsed time of a KZP session
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int QueryKzpDetail(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                              RKZP_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "QueryKzpDetail";
    (void)optionFlag;
    if (Enter(kName, volume, request) != 0) return -1;
    if (detail == nullptr) return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    ArrayFacts facts;
    if (Head(kName, volume, request, true, nullptr, facts) != 0) return -1;
    if (!KzpSupported(facts.Support(), false, Remote(*request)))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);
    unsigned char id[2];
    if (SearchKzpSession(volume, request, facts.ucRemote, id, detail) != 0)
        return LogErr(2, kName, volume, __LINE__);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int QueryKzpSession(const char *volume, unsigned int optionFlag, int sessionId,
                               unsigned char volumeRole, RKZP_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "QueryKzpSession";
    (void)optionFlag;
    if (Enter(kName, volume, detail) != 0) return -1;
    // An identifier is two bytes; a wider one would name another session.
    if (sessionId < 0 || static_cast<uint32_t>(sessionId) >= kOluLimit)
        return FailEnd(ZRK_ERR_SESSION_ID, 2, kName, volume, __LINE__);
    ArrayFacts facts;
    if (Head(kName, volume, nullptr, false, nullptr, facts) != 0) return -1;
    if (!KzpSupported(facts.Support(), true, false))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    unsigned char id[2];
    PutBe16(id, static_cast<uint16_t>(sessionId));
    int found = GetSessionDetailInfo(volume, id, ZRK_PAGE_REMOTE_KZP_DETAIL, facts.ucRemote,
                                     volumeRole, detail);
    // A session between the volumes of one array reads as a local one.
    if (found == 0 && SameBoxId(detail->SrcBoxID, detail->DstBoxID)) {
        std::memset(detail, 0, sizeof *detail);
        found = GetSessionDetailInfo(volume, id, ZRK_PAGE_LOCAL_KZP_DETAIL, facts.ucRemote,
                                     volumeRole, detail);
    }
    if (found == -2) return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
    if (found != 0) return LogErr(2, kName, volume, __LINE__);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int ListKzp(const char *volume, unsigned int optionFlag, unsigned char volumeRole,
                       unsigned char **list, int *length) {
    static constexpr const char kName[] = "ListKzp";
    (void)optionFlag;
    LogIn(2, kName, volume, __LINE__);
    if (list == nullptr || length == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    *list = nullptr;
    *length = 0;
    ArrayFacts facts;
    if (Head(kName, volume, nullptr, false, nullptr, facts) != 0) return -1;
    const CopySupport s = facts.Support();
    if (!KzpSupported(s, true, false))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    unsigned char *raw = nullptr;
    size_t entries = 0;
    if (s.AnyHas({ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_REMOTE_KZP}, ZRK_SUPPORT_DETAIL_LIST)) {
        if (GetTVCSessionIdList(volume, ZRK_FAMILY_KZP, &raw) != 0)
            return LogErr(2, kName, volume, __LINE__);
        // The list built from the detail list says its length in 32 bits.
        const uint32_t announced = Be32(raw + offsetof(SESSION_ID_LIST, ucaLength));
        entries = announced < 8 ? 0 : (announced - 8) / sizeof(SESSION_ID_ENTRY);
    } else {
        int count = 0;
        if (GetSessionIdList(volume, ZRK_PAGE_REMOTE_KZP_LIST, facts.ucRemote, volumeRole, &raw,
                             &count) != 0)
            return LogErr(2, kName, volume, __LINE__);
        entries = count < 0 ? 0 : static_cast<size_t>(count);
    }
    Buffer held(raw);

    // The caller receives exactly the header and the entries the list holds,
    // and the area is cut to them, so its length and the list's agree.
    const size_t bytes = sizeof(SESSION_ID_LIST) + entries * sizeof(SESSION_ID_ENTRY);
    void *cut = std::realloc(held.get(), bytes);
    if (cut != nullptr) {
        (void)held.release();
        held.reset(static_cast<unsigned char *>(cut));
    }
    WriteLog(2, nullptr, 0, "ListKzp entries=<%zu> [%s] [%d]", entries, LogText(volume), __LINE__);
    *length = static_cast<int>(bytes);
    *list = held.release();
    return LogOk(2, kName, volume, __LINE__);
}

// ---- QuickKZP ----------------------------------------------------------------------------

extern "C" int StartDiffKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    static constexpr const char kName[] = "StartDiffKzp";
    if (Enter(kName, volume, request) != 0) return -1;
    unsigned char own[ZRK_BOXID_LEN] = {};
    ArrayFacts facts;
    if (Head(kName, volume, request, true, own, facts) != 0) return -1;
    const CopySupport s = facts.Support();
    if (!KzpKindSupported(s, ZRK_SUPPORT_QUICK))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    if (s.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP)) {
        for (const unsigned char *olu : {request->SrcOlu, request->DstOlu}) {
            unsigned char attribute = 0;
            if (OluAttribute(volume, olu, attribute) != 0)
                return LogErr(2, kName, volume, __LINE__);
            if ((attribute & kOluSnapData) != 0)
                return FailEnd(ZRK_ERR_SDV, 2, kName, volume, __LINE__);
        }
    }

    TVC_EXEC page;
    unsigned char id[2];
    if ((optionFlag & ZRK_OPT_RESTART) != 0) {
        // A restart names an existing QuickKZP session: no identifier is
        // reserved and none is given back.
        RKZP_DETAIL_INFO detail{};
        if (SearchKzpSession(volume, request, facts.ucRemote, id, &detail) != 0)
            return LogErr(2, kName, volume, __LINE__);
        if ((detail.ucPhaseMode & kModeQuickKzp) == 0)
            return FailEnd(ZRK_ERR_NO_SESSION, 2, kName, volume, __LINE__);
        MakeDifPrmFromCopyReq(ZRK_TVC_START, id, optionFlag, request, &page);
        if (ExecTravoOut(volume, &page, sizeof page) != 0)
            return LogErr(2, kName, volume, __LINE__);
        ZRKsessionid = Be16(id);
        return LogOk(2, kName, volume, __LINE__);
    }
    return StartExtended(kName, volume, optionFlag, request, MakeDifPrmFromCopyReq);
}

extern "C" int StopDiffKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    return StopExtended("StopDiffKzp", volume, optionFlag, request, ZRK_SUPPORT_QUICK,
                        kModeQuickKzp, MakeDifPrmFromDetail);
}

// ---- SnapKZP -----------------------------------------------------------------------------

extern "C" int StartSnapKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    static constexpr const char kName[] = "StartSnapKzp";
    if (Enter(kName, volume, request) != 0) return -1;
    unsigned char own[ZRK_BOXID_LEN] = {};
    ArrayFacts facts;
    if (Head(kName, volume, request, true, own, facts) != 0) return -1;
    if (!KzpKindSupported(facts.Support(), ZRK_SUPPORT_SNAP))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    // The snapshot is taken of an ordinary volume into a snap data volume
    // that is not in use; a monitor session has no destination.
    unsigned char attribute = 0;
    if (OluAttribute(volume, request->SrcOlu, attribute) != 0)
        return LogErr(2, kName, volume, __LINE__);
    if ((attribute & kOluSnapData) != 0) return FailEnd(ZRK_ERR_SDV, 2, kName, volume, __LINE__);
    if ((optionFlag & ZRK_OPT_MONITOR) == 0) {
        if (OluAttribute(volume, request->DstOlu, attribute) != 0)
            return LogErr(2, kName, volume, __LINE__);
        if ((attribute & kOluSnapData) == 0)
            return FailEnd(ZRK_ERR_SDV, 2, kName, volume, __LINE__);
        if ((attribute & kOluInUse) != 0)
            return FailEnd(ZRK_ERR_SEQUENCE, 2, kName, volume, __LINE__);
    }

    return StartExtended(kName, volume, optionFlag, request, MakeSnapPrmFromCopyReq);
}

// By identifier the detail reader takes the page-based record of a SnapKZP
// session, and the local page of any other, which then fails the kind test
// as no SnapKZP session.
extern "C" int StopSnapKzp(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    return StopExtended("StopSnapKzp", volume, optionFlag, request, ZRK_SUPPORT_SNAP,
                        kModeSnapKzp, MakeSnapPrmFromDetail);
}

// ---- snap data volume ----------------------------------------------------------------------

extern "C" int SnapVolInit(const char *volume, int olu) {
    static constexpr const char kName[] = "SnapVolInit";
    LogIn(2, kName, volume, __LINE__);
    // An OLU is two bytes; a wider one would name another volume.
    if (olu < 0 || static_cast<uint32_t>(olu) >= kOluLimit)
        return FailEnd(ZRK_ERR_OLU, 2, kName, volume, __LINE__);
    if (CheckProduct(volume) != 0) return LogErr(2, kName, volume, __LINE__);
    if (ZRKstorage_cluster != ZRK_ROLE_NONE)
        return FailEnd(ZRK_ERR_CLUSTER, 2, kName, volume, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    if (GetSupportCopyInfo(volume, support, nullptr) != 0) return LogErr(2, kName, volume, __LINE__);
    if (!KzpKindSupported(CopySupport(support), ZRK_SUPPORT_SNAP))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    unsigned char list[kSnapInitLen] = {};
    PutBe16(list + kSnapInitOlu, static_cast<uint16_t>(olu));
    unsigned char attribute = 0;
    if (OluAttribute(volume, list + kSnapInitOlu, attribute) != 0)
        return LogErr(2, kName, volume, __LINE__);
    if ((attribute & kOluSnapData) == 0) return FailEnd(ZRK_ERR_SDV, 2, kName, volume, __LINE__);
    if ((attribute & kOluInUse) != 0) return FailEnd(ZRK_ERR_SEQUENCE, 2, kName, volume, __LINE__);

    list[0] = kPrmSnapInit;
    PutBe16(list + kPrmLength, static_cast<uint16_t>(kSnapInitLen - ZRK_PRM_HEAD_LEN));
    return SendAndEnd(kName, volume, list, sizeof list);
}
