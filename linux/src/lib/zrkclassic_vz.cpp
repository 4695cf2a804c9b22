// The classic VZ and RVZ operations: start (with the stop that gives back the
// identifier of a start the array refused), stop, suspend, resume, the mode
// change and its diagnosis, the queries, the identifier list, the concurrent
// suspend, the command status list and the RVZ buffer setting, on arrays
// without the page-based engine.
//
// Every operation checks the product and reads the copy-support record
// itself; the lists come from the builders of zrkclassic.cpp. The main family
// takes the 48-byte local and the 160-byte remote lists, the QM family the
// extended list for its start and stop.
#include "zrkclassic.h"
#include "zrktvc.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

using namespace zrk;

namespace {

constexpr int kLevel = 2;                 // log level of the operations
constexpr unsigned kQmInterval = 255;     // the one copy interval of the QM family
constexpr unsigned kQmRemoteMask =        // the options of a QM remote start
    ZRK_OPT_SYNC | ZRK_OPT_SKIP_COPY | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV;
constexpr size_t kQmSupportChoice = ZRK_SUPPORT_DATA_LEN; // QM_SUPPORT_DATA: start choices
constexpr unsigned kQmNoManualRcv = 0x01; // a start may go without manual recovery
constexpr unsigned kQmNoAutoSplit = 0x02; // ... without automatic split
constexpr size_t kOluStatusAttr = 4;      // byte of OLU_STATUS
constexpr unsigned kOluSnapData = 0x01;   // the OLU is a snap data volume
constexpr int kStatusActive = 2;          // detail status
constexpr int kStatusSuspend = 4;         // detail status
constexpr int kPhaseEquivalent = 2;       // detail phase
constexpr unsigned kPerCommandLen = 16;   // page 0x40 as first read
constexpr size_t kPerCommandMax = 10;     // page 0x40: sessions one command takes
constexpr size_t kStatusEntryLen = 8;     // one entry of the command status list
constexpr size_t kRvzBuffSetLen = 128;    // list 0x47
constexpr unsigned char kRvzBuffSetCode = 0x47;
constexpr unsigned kConcRemote = 0x80;        // list 0x50 byte 10: the pairs lie in two arrays
constexpr unsigned kConcUntransferred = 0x20; // list 0x50 byte 10: option ZRK_OPT_UNTRANSFERRED
constexpr unsigned kRvzPagesUntransferred = 0x02; // page 0x21 byte 15: untransferred-data suspend

bool ById(unsigned int option) { return (option & ZRK_OPT_SESSION_ID) != 0; }
bool Qm() { return ZRKstorageflg == 1; }
bool Remote(const COPY_REQ &request) { return request.RemoteFlag != 0; }
bool DetailRemote(const RVZ_DETAIL_INFO &d) { return (d.ucFlags & ZRK_SESFLAG_REMOTE) != 0; }

// The copy-support record, refreshed in the stores, and the remote-support byte.
int ReadSupport(const char *volume, CopySupport &support, unsigned char &remoteSupport) {
    remoteSupport = 0;
    return GetSupportCopyInfo(volume, support.ucaData, &remoteSupport);
}

// The opening of an operation that hands back an allocated list: the entry
// line, the output pointers (cleared), the product check and the copy-support
// record. 0, or -1 after the Err end line.
int EnterList(const char *name, const char *volume, unsigned char **list, int *length,
              CopySupport &s, unsigned char &remoteSupport) {
    LogIn(kLevel, name, volume, __LINE__);
    if (list == nullptr || length == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, kLevel, name, volume, __LINE__);
    *list = nullptr;
    *length = 0;
    if (CheckProduct(volume) != 0) return LogErr(kLevel, name, volume, __LINE__);
    if (ReadSupport(volume, s, remoteSupport) != 0) return LogErr(kLevel, name, volume, __LINE__);
    return 0;
}

// The VZ family is set up: by identifier (or without a request) either
// group, else the group of the request's side.
bool FamilySupported(const CopySupport &s, bool byId, bool remote) {
    if (byId) return s.AnyHas({ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_FLAGS_RVZ}, ZRK_SUPPORT_KIND);
    return s.Has(remote ? ZRK_SUPPORT_FLAGS_RVZ : ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND);
}
// The family and its suspend and resume.
bool SuspendSupported(const CopySupport &s, bool byId, bool remote) {
    if (byId)
        return FamilySupported(s, true, false) &&
               s.AnyHas({ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_RVZ_FUNCS}, ZRK_SUPPORT_SUSPEND);
    return FamilySupported(s, false, remote) &&
           s.Has(remote ? ZRK_SUPPORT_RVZ_FUNCS : ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_SUSPEND);
}
// Some group of the VZ family keeps a detail list.
bool VzDetailList(const CopySupport &s) {
    return s.AnyHas({ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_FLAGS_RVZ}, ZRK_SUPPORT_DETAIL_LIST);
}

// The QM family takes one copy interval only.
bool QmIntervalWrong(const COPY_REQ &request) {
    return Qm() && Be16(request.CopyInterval) != kQmInterval;
}

// ---- the session an operation works on ------------------------------------------------

// By identifier (request bytes 80-81) from the detail page, the request then
// marked remote when the session is; else the search by the request's pair.
// id receives the identifier by which this array knows the session.
int FindSession(const char *name, const char *volume, unsigned int option, COPY_REQ &request,
                unsigned char remoteSupport, unsigned char *id, RVZ_DETAIL_INFO &detail) {
    if (ById(option)) {
        const int read = GetSessionDetailInfo(volume, request.SrcOlu, ZRK_PAGE_REMOTE_VZ_DETAIL,
                                              remoteSupport, request.ucVolumeRole, &detail);
        if (read == -2) return FailEnd(ZRK_ERR_NO_SESSION, kLevel, name, volume, __LINE__);
        if (read != 0) return LogErr(kLevel, name, volume, __LINE__);
        std::memcpy(id, request.SrcOlu, 2);
        if (DetailRemote(detail)) request.RemoteFlag = 1;
        return 0;
    }
    if (SearchVzSession(volume, &request, remoteSupport, id, &detail) != 0)
        return LogErr(kLevel, name, volume, __LINE__);
    return 0;
}

// ---- stop, suspend, resume ------------------------------------------------------------------

enum class SessionOp { Stop, Suspend, Resume };

struct SessionCommand {
    const char *pName;          // the operation
    SessionOp eOp;              // which one
    unsigned char ucRemoteCode; // remote list (also on the QM family but for the stop)
    unsigned char ucLocalCode;  // local list
};

constexpr SessionCommand kStop{"StopVz", SessionOp::Stop, ZRK_PRM_RVZ_STOP, ZRK_PRM_VZ_STOP};
constexpr SessionCommand kSuspend{"SuspendVz", SessionOp::Suspend, ZRK_PRM_RVZ_SUSPEND,
                                 ZRK_PRM_VZ_SUSPEND};
constexpr SessionCommand kResume{"ResumeVz", SessionOp::Resume, ZRK_PRM_RVZ_RESUME,
                                ZRK_PRM_VZ_RESUME};

// Sends the list of op for the session found, with the option bits it takes.
int SendSessionList(const SessionCommand &op, const char *volume, unsigned int option,
                    const COPY_REQ &request, const RVZ_DETAIL_INFO &detail) {
    const bool forced = (option & ZRK_OPT_FORCE) != 0;
    int rc;
    if (op.eOp == SessionOp::Stop && Qm()) {
        TVC_EXEC page;
        MakePrmFromDetail(ZRK_TVC_STOP, ZRK_PRM_KIND_VZ, &request, &detail, &page);
        if (forced) page.ucOperationFlags |= ZRK_TVC_OP_FORCE;
        rc = ExecTravoOut(volume, &page, sizeof page);
    } else if (Remote(request)) {
        unsigned char list[ZRK_PRM_REMOTE_LEN];
        MakeRvzPrmFromDetail(op.ucRemoteCode, &detail, list);
        if (forced && op.eOp != SessionOp::Resume) list[kRemotePrmFlags] |= ZRK_PRM_FORCED;
        if (op.eOp == SessionOp::Resume && (option & ZRK_OPT_REMAIN) != 0)
            list[kRemotePrmStart] |= ZRK_PRM_REMAIN;
        rc = ExecTravoOut(volume, list, sizeof list);
    } else {
        unsigned char list[ZRK_PRM_LOCAL_LEN];
        MakeVzPrmFromDetail(op.ucLocalCode, &detail, list);
        if (forced && op.eOp == SessionOp::Stop) list[kVzPrmFlags] |= ZRK_PRM_FORCED;
        rc = ExecTravoOut(volume, list, sizeof list);
    }
    if (rc != 0) return LogErr(kLevel, op.pName, volume, __LINE__);
    return LogOk(kLevel, op.pName, volume, __LINE__);
}

// The head of an operation on one session after its entry line: the product
// check; by pair the interval rule of a QM array and the BoxID check; the
// copy-support record. 0, or -1 after the Err end line.
int SessionHead(const char *name, const char *volume, bool byId, const COPY_REQ &request,
                CopySupport &s, unsigned char &remoteSupport) {
    if (CheckProduct(volume) != 0) return LogErr(kLevel, name, volume, __LINE__);
    if (!byId && QmIntervalWrong(request))
        return FailEnd(ZRK_ERR_INTERVAL, kLevel, name, volume, __LINE__);
    if (!byId && CheckBoxID(volume, &request, nullptr) != 0)
        return LogErr(kLevel, name, volume, __LINE__);
    if (ReadSupport(volume, s, remoteSupport) != 0) return LogErr(kLevel, name, volume, __LINE__);
    return 0;
}

int OnSession(const SessionCommand &op, const char *volume, unsigned int option, COPY_REQ *request) {
    const char *name = op.pName;
    LogIn(kLevel, name, volume, __LINE__);
    if (request == nullptr) return FailEnd(ZRK_ERR_PARAMETER, kLevel, name, volume, __LINE__);
    const bool byId = ById(option);
    CopySupport s;
    unsigned char remoteSupport = 0;
    if (SessionHead(name, volume, byId, *request, s, remoteSupport) != 0) return -1;
    const bool supported = op.eOp == SessionOp::Stop
                               ? FamilySupported(s, byId, Remote(*request))
                               : SuspendSupported(s, byId, Remote(*request));
    if (!supported) return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, name, volume, __LINE__);

    unsigned char id[2];
    RVZ_DETAIL_INFO detail;
    if (FindSession(name, volume, option, *request, remoteSupport, id, detail) != 0) return -1;

    // Forced suspend and remain mode are functions of a remote session.
    if (byId && !DetailRemote(detail)) {
        if ((op.eOp == SessionOp::Suspend && (option & ZRK_OPT_FORCE) != 0) ||
            (op.eOp == SessionOp::Resume && (option & ZRK_OPT_REMAIN) != 0))
            return FailEnd(ZRK_ERR_OPTION, kLevel, name, volume, __LINE__);
    }
    const bool suspended = detail.Status == kStatusSuspend;
    if ((op.eOp == SessionOp::Suspend && suspended) || (op.eOp == SessionOp::Resume && !suspended))
        return FailEnd(ZRK_ERR_SEQUENCE, kLevel, name, volume, __LINE__);

    return SendSessionList(op, volume, option, *request, detail);
}

// ---- start --------------------------------------------------------------------------------

// Reads the OLU status of olu (2 bytes): 0, -1 with ZRKerrno set, or
// ZRK_ERR_SDV for a snap data volume.
int OluNotSnapData(const char *volume, const unsigned char *olu) {
    unsigned char status[ZRK_OLU_STATUS_LEN] = {};
    if (GetOLUStatusInfo(volume, olu, status) != 0) return -1;
    if ((status[kOluStatusAttr] & kOluSnapData) != 0) return FailWith(ZRK_ERR_SDV);
    return 0;
}

// The support checks of a start (17 when one fails).
bool StartSupported(const CopySupport &s, unsigned int option, bool remote) {
    const bool secondary = (option & ZRK_OPT_SECONDARY) != 0;
    if (!remote)
        return s.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND) &&
               (!secondary || s.Has(ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_SECONDARY));
    if (!s.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND)) return false;
    if (!Qm()) {
        if ((option & ZRK_OPT_STACK) != 0 && !s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_STACK))
            return false;
        if ((option & ZRK_OPT_CONSISTENCY) != 0 &&
            !s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_CONSISTENCY))
            return false;
    } else if (!s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_SUSPEND)) {
        // Split and recovery cannot be chosen: both are required, skip is not offered.
        if ((option & ZRK_OPT_SKIP_COPY) != 0) return false;
        if ((option & ZRK_OPT_AUTO_SPLIT) == 0 || (option & ZRK_OPT_MANUAL_RCV) == 0) return false;
    } else {
        unsigned char qm[ZRK_QM_SUPPORT_DATA_LEN] = {};
        CtrlQmSupportData(qm, ZRK_STORE_READ);
        if ((option & ZRK_OPT_MANUAL_RCV) == 0 && (qm[kQmSupportChoice] & kQmNoManualRcv) == 0)
            return false;
        if ((option & ZRK_OPT_AUTO_SPLIT) == 0 && (qm[kQmSupportChoice] & kQmNoAutoSplit) == 0)
            return false;
    }
    return !secondary || s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_SECONDARY);
}

// Secondary access in bits 1-0 of a start list's byte.
void SetSecondary(unsigned char &byte) {
    byte = static_cast<unsigned char>((byte & ~ZRK_SESFLAG_SECONDARY) | ZRK_PRM_SECONDARY);
}

// Sends the start list for the reserved identifier.
int SendStart(const char *volume, const unsigned char *id, unsigned int option,
              const COPY_REQ &request, const unsigned char *own) {
    const bool secondary = (option & ZRK_OPT_SECONDARY) != 0;
    if (Qm()) {
        TVC_EXEC page;
        MakePrmFromCopyReq(ZRK_TVC_START, id, ZRK_PRM_KIND_VZ, &request, own, option, &page);
        return ExecTravoOut(volume, &page, sizeof page);
    }
    if (Remote(request)) {
        unsigned char list[ZRK_PRM_REMOTE_LEN];
        MakeRvzPrmFromCopyReq(ZRK_PRM_RVZ_START, id, &request, own, option, list);
        if (secondary) SetSecondary(list[kRemotePrmStart]);
        return ExecTravoOut(volume, list, sizeof list);
    }
    unsigned char list[ZRK_PRM_LOCAL_LEN];
    MakeVzPrmFromCopyReq(ZRK_PRM_VZ_START, id, &request, request.ucVolumeRole, list);
    if (secondary) SetSecondary(list[kVzPrmAccess]);
    return ExecTravoOut(volume, list, sizeof list);
}

// Gives the reserved identifier back after a refused start; its own outcome
// does not count.
void SendStartRollBack(const char *volume, const unsigned char *id, unsigned int option,
                       const COPY_REQ &request, const unsigned char *own) {
    if (Qm()) {
        TVC_EXEC page;
        MakePrmFromCopyReq(ZRK_TVC_STOP, id, ZRK_PRM_KIND_VZ, nullptr, own, option, &page);
        (void)ExecTravoOut(volume, &page, sizeof page);
        return;
    }
    unsigned char list[ZRK_PRM_LOCAL_LEN];
    MakeVzPrmFromCopyReq(ZRK_PRM_VZ_STOP, id, nullptr, request.ucVolumeRole, list);
    (void)ExecTravoOut(volume, list, sizeof list);
}

// ---- change --------------------------------------------------------------------------------

// The support rules of a change of a local or remote session (17, or 37 for
// a local session without the reversal).
int ChangeAllowed(const CopySupport &s, unsigned int option, bool remote, const char *volume) {
    static constexpr const char kName[] = "ChangeVz";
    const bool reverse = (option & ZRK_OPT_REVERSE) != 0;
    const size_t flags = remote ? ZRK_SUPPORT_FLAGS_RVZ : ZRK_SUPPORT_FLAGS_VZ;
    const size_t funcs = remote ? ZRK_SUPPORT_RVZ_FUNCS : ZRK_SUPPORT_VZ_FUNCS;
    WriteLog(kLevel, nullptr, 0, "ChangeVz Totally = %x  Reverse = %x [%s] [%d]",
             s.Has(flags, ZRK_SUPPORT_KIND) ? 1 : 0, s.Has(funcs, ZRK_SUPPORT_REVERSE) ? 1 : 0,
             LogText(volume), __LINE__);
    if (!remote) {
        if (!reverse) {
            FailWith(ZRK_ERR_OPTION);
            WriteLog(kLevel, nullptr, 0, "ChangeVz Flag Err end [%s] [%d]", LogText(volume),
                     __LINE__);
            return -1;
        }
        if (!s.Has(flags, ZRK_SUPPORT_KIND) || !s.Has(funcs, ZRK_SUPPORT_REVERSE))
            return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
        return 0;
    }
    if (!s.Has(flags, ZRK_SUPPORT_KIND) || (reverse && !s.Has(funcs, ZRK_SUPPORT_REVERSE)))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
    return 0;
}

// A change of a remote session was refused: tell the partner's refusal, a
// mode left unchanged and a change that crossed another apart. The change's
// sense stays in the store.
void DiagnoseRemoteChange(const char *volume, const unsigned char *id, unsigned char role,
                          unsigned char remoteSupport, const RVZ_DETAIL_INFO &before) {
    KeptFailure failure;
    if (StoredSenseIs(5, 0x26, 0x00)) {
        failure.SetErrno(ZRK_ERR_PARTNER);
        failure.Restore();
        return;
    }
    if (!StoredSenseIs(4, 0xF9, 0xA6) && !StoredSenseIs(5, 0x26, 0xBC)) return;

    RVZ_DETAIL_INFO after{};
    const int read =
        GetSessionDetailInfo(volume, id, ZRK_PAGE_REMOTE_VZ_DETAIL, remoteSupport, role, &after);
    if (read == -2) {
        failure.SetErrno(ZRK_ERR_MODE_CROSSES);
    } else if (read == 0) {
        if ((after.ucFlags & ZRK_MODEFLAG_DEST_SIDE) != 0) {
            failure.SetErrno(std::memcmp(&after, &before, sizeof after) == 0
                                 ? ZRK_ERR_MODE_UNCHANGED
                                 : ZRK_ERR_MODE_CROSSES);
        } else if (after.ucaFamily8[1] == 0) { // mode-change state
            failure.SetErrno(ZRK_ERR_MODE_UNCHANGED);
        } else if (after.ucaFamily8[1] == 1) {
            failure.SetErrno(ZRK_ERR_MODE_CROSSES);
        }
    }
    failure.Restore();
}

// ---- concurrent suspend ---------------------------------------------------------------------

// One pair's session from the identifier lists: each list entry's detail is
// read once, and a session answers one pair only.
class ConcSessionList {
public:
    ConcSessionList(const char *volume, unsigned char remoteSupport)
        : pVolume(volume), ucRemoteSupport(remoteSupport) {}

    // The list of the family; 0, or -1 with ZRKerrno set (21 when empty).
    int Read() {
        unsigned char *raw = nullptr;
        int entries = 0;
        const int rc = GetSessionIdList(pVolume, ZRK_PAGE_REMOTE_VZ_LIST, ucRemoteSupport, 1,
                                        &raw, &entries);
        bIds.reset(raw);
        if (rc != 0) return -1;
        if (entries <= 0) return FailWith(ZRK_ERR_NO_SESSION);
        vSeen.assign(static_cast<size_t>(entries), Seen::Unread);
        vDetails.assign(static_cast<size_t>(entries), RVZ_DETAIL_INFO{});
        return 0;
    }

    // The entry of pair's session: its index, or -1 with ZRKerrno set (67
    // when none, else the failed detail read's).
    int Match(const CONC_SUS_PAIR &pair, int remote, int side) {
        for (size_t k = 0; k < vSeen.size(); ++k) {
            if (vSeen[k] == Seen::Used || vSeen[k] == Seen::Gone) continue;
            const unsigned char *e = Entry(k);
            const unsigned char flags = e[offsetof(SESSION_ID_ENTRY, ucFlags)];
            if (((flags & ZRK_SESFLAG_REMOTE) != 0 ? 1 : 0) != remote) continue;
            if (remote != 0 && ((flags & ZRK_MODEFLAG_DEST_SIDE) != 0 ? 1 : 0) != side) continue;
            if (Be32(e + offsetof(SESSION_ID_ENTRY, SrcOlu)) != pair.SrcOlu ||
                Be32(e + offsetof(SESSION_ID_ENTRY, DstOlu)) != pair.DstOlu)
                continue;
            if (vSeen[k] == Seen::Unread) {
                const int read = GetSessionDetailInfo(pVolume, e, ZRK_PAGE_REMOTE_VZ_DETAIL,
                                                      ucRemoteSupport, 1, &vDetails[k]);
                if (read == -2) {
                    vSeen[k] = Seen::Gone;
                    continue;
                }
                if (read != 0) return -1;
                vSeen[k] = Seen::Read;
            }
            const RVZ_DETAIL_INFO &d = vDetails[k];
            if (remote != 0 &&
                (!SameBoxId(d.SrcBoxID, pair.SrcBoxID) || !SameBoxId(d.DstBoxID, pair.DstBoxID)))
                continue;
            if (Be32(d.SrcExtent) != pair.SrcExtent || Be32(d.DstExtent) != pair.DstExtent ||
                Be32(d.SrcSize) != pair.SrcSize)
                continue;
            // Named once: a pair given twice finds no second session.
            vSeen[k] = Seen::Used;
            return static_cast<int>(k);
        }
        return FailWith(ZRK_ERR_CONC_SUSPEND);
    }

    const unsigned char *Entry(size_t k) const {
        return bIds.get() + ZRK_SESSION_LIST_HEAD_LEN + sizeof(SESSION_ID_ENTRY) * k;
    }
    const RVZ_DETAIL_INFO &Detail(size_t k) const { return vDetails[k]; }

private:
    enum class Seen : unsigned char { Unread, Read, Gone, Used };
    const char *pVolume;            // the volume the commands go to
    unsigned char ucRemoteSupport;  // remote-support byte
    Buffer bIds;                    // the identifier list
    std::vector<Seen> vSeen;        // per entry: its detail read, gone or used
    std::vector<RVZ_DETAIL_INFO> vDetails; // per entry: its detail once read
};

// The widened form of a pair, for the detail-list filler of the page-based
// engine.
CONC_SUS_PAIR_LV Widen(const CONC_SUS_PAIR &p) {
    CONC_SUS_PAIR_LV w{};
    std::memcpy(w.SrcBoxID, p.SrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(w.DstBoxID, p.DstBoxID, ZRK_BOXID_LEN);
    w.SrcOlu = p.SrcOlu;
    w.SrcExtent_low = p.SrcExtent;
    w.SrcSize_low = p.SrcSize;
    w.DstOlu = p.DstOlu;
    w.DstExtent_low = p.DstExtent;
    return w;
}

// ---- identifier list -----------------------------------------------------------------------

// The entries an identifier list holds: the count its reader kept, or for
// the list built from the detail list what its head announces, never more
// than the family maximum it was allocated for (head bytes 10-11).
size_t ListEntries(const unsigned char *list, bool fromDetailList, int count) {
    if (!fromDetailList) return count < 0 ? 0 : static_cast<size_t>(count);
    const uint32_t announced = Be32(list + offsetof(SESSION_ID_LIST, ucaLength));
    const size_t room = Be16(list + offsetof(SESSION_ID_LIST, ucaMaxSessionCount) + 2);
    const size_t told = announced < 8 ? 0 : (announced - 8) / sizeof(SESSION_ID_ENTRY);
    return std::min(told, room);
}

// ---- command status list --------------------------------------------------------------------

// The identifier-list page whose maximum sizes the detail list: that of the
// first group the array sets up, VZ family first.
unsigned char StatusCountPage(const CopySupport &s) {
    if (s.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND)) return ZRK_PAGE_REMOTE_VZ_LIST;
    if (s.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND)) return ZRK_PAGE_LOCAL_VZ_LIST;
    if (s.Has(ZRK_SUPPORT_FLAGS_REMOTE_KZP, ZRK_SUPPORT_KIND)) return ZRK_PAGE_REMOTE_KZP_LIST;
    return ZRK_PAGE_LOCAL_KZP_LIST;
}

// The status entries of the VZ-family sessions of the detail list: 8 bytes
// each, in list order.
int StatusEntriesFromDetailList(const char *name, const char *volume, const CopySupport &s,
                                std::vector<unsigned char> &entries) {
    unsigned char maxCount[ZRK_MAX_SESSION_LEN] = {};
    if (GetMaxSessionCount(volume, StatusCountPage(s), maxCount) != 0)
        return LogErr(kLevel, name, volume, __LINE__);
    const int capacity = Be16(maxCount + 2);
    Entries list = AllocateDetailEntries(static_cast<size_t>(capacity));
    if (!list) return LogErr(kLevel, name, volume, __LINE__);
    int count = 0;
    if (GetDetailList(volume, ZRK_LIST_MODE_ALL, &count, list.get(), capacity) != 0)
        return LogErr(kLevel, name, volume, __LINE__);
    for (int i = 0; i < count; ++i) {
        const DetailEntry e = DecodeDetailEntry(list[i]);
        if (e.ucCopyKind != ZRK_PRM_KIND_VZ) continue;
        unsigned char entry[kStatusEntryLen];
        PutBe16(entry, e.IdInUse());
        entry[2] = e.ucStatus;
        entry[3] = e.ucState11;
        PutBe32(entry + 4, e.uiValue148);
        entries.insert(entries.end(), entry, entry + sizeof entry);
    }
    return 0;
}

}  // namespace

// ---- the operations -----------------------------------------------------------------------------

extern "C" int StartVz(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    static constexpr const char kName[] = "StartVz";
    LogIn(kLevel, kName, volume, __LINE__);
    if (request == nullptr) return FailEnd(ZRK_ERR_PARAMETER, kLevel, kName, volume, __LINE__);
    if (CheckProduct(volume) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    const bool remote = Remote(*request);
    if (Qm()) {
        if ((optionFlag & ~(remote ? kQmRemoteMask : 0u)) != 0)
            return FailEnd(ZRK_ERR_OPTION, kLevel, kName, volume, __LINE__);
        if (QmIntervalWrong(*request))
            return FailEnd(ZRK_ERR_INTERVAL, kLevel, kName, volume, __LINE__);
    }
    unsigned char own[ZRK_BOXID_LEN] = {};
    if (CheckBoxID(volume, request, own) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    WriteLog(kLevel, own, ZRK_BOXID_LEN, "BoxID");

    CopySupport s;
    unsigned char remoteSupport = 0;
    if (ReadSupport(volume, s, remoteSupport) != 0) return LogErr(kLevel, kName, volume, __LINE__);

    // A snap data volume takes no VZ session.
    if (s.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP)) {
        if ((!remote || SameBoxId(request->SrcBoxID, own)) &&
            OluNotSnapData(volume, request->SrcOlu) != 0)
            return LogErr(kLevel, kName, volume, __LINE__);
        if ((!remote || SameBoxId(request->DstBoxID, own)) &&
            OluNotSnapData(volume, request->DstOlu) != 0)
            return LogErr(kLevel, kName, volume, __LINE__);
    }
    if (!StartSupported(s, optionFlag, remote))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);

    unsigned char id[2];
    if (ReserveSessionId(volume, ZRK_RESERVE_VZ, id) != 0)
        return LogErr(kLevel, kName, volume, __LINE__);

    if (SendStart(volume, id, optionFlag, *request, own) == 0) {
        ZRKsessionid = Be16(id);
        return LogOk(kLevel, kName, volume, __LINE__);
    }
    KeptFailure failure;
    if (!Qm() && remote && failure.SenseIs(5, 0x26, 0x00)) failure.SetErrno(ZRK_ERR_PARTNER);
    WriteLog(kLevel, nullptr, 0, "StartVz roll back SessionID=0x%x [%s] [%d]",
             static_cast<unsigned>(Be16(id)), LogText(volume), __LINE__);
    SendStartRollBack(volume, id, optionFlag, *request, own);
    failure.Restore();
    return LogErr(kLevel, kName, volume, __LINE__);
}

extern "C" int StopVz(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    return OnSession(kStop, volume, optionFlag, request);
}

extern "C" int SuspendVz(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    return OnSession(kSuspend, volume, optionFlag, request);
}

extern "C" int ResumeVz(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    return OnSession(kResume, volume, optionFlag, request);
}

extern "C" int ChangeVz(const char *volume, unsigned int optionFlag, COPY_REQ *request) {
    static constexpr const char kName[] = "ChangeVz";
    LogIn(kLevel, kName, volume, __LINE__);
    if (request == nullptr) return FailEnd(ZRK_ERR_PARAMETER, kLevel, kName, volume, __LINE__);
    const bool byId = ById(optionFlag);
    if (CheckProduct(volume) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    if (!byId && CheckBoxID(volume, request, nullptr) != 0)
        return LogErr(kLevel, kName, volume, __LINE__);
    CopySupport s;
    unsigned char remoteSupport = 0;
    if (ReadSupport(volume, s, remoteSupport) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    if (!FamilySupported(s, true, false))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
    if ((optionFlag & ZRK_OPT_REVERSE) == 0) {
        if (!s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_MODE_CHANGE) ||
            ((optionFlag & ZRK_OPT_STACK) != 0 && !s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_STACK)) ||
            ((optionFlag & ZRK_OPT_CONSISTENCY) != 0 &&
             !s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_CONSISTENCY)))
            return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
    }

    unsigned char id[2];
    RVZ_DETAIL_INFO detail;
    if (byId) {
        if (FindSession(kName, volume, optionFlag, *request, remoteSupport, id, detail) != 0)
            return -1;
        WriteLog(kLevel, nullptr, 0, "ChangeVz Session Flag On  Remote = %x [%s] [%d]",
                 DetailRemote(detail) ? 1 : 0, LogText(volume), __LINE__);
        if (ChangeAllowed(s, optionFlag, DetailRemote(detail), volume) != 0) return -1;
    } else {
        WriteLog(kLevel, nullptr, 0, "ChangeVz Session Flag Off  Remote = %x [%s] [%d]",
                 request->RemoteFlag, LogText(volume), __LINE__);
        if (ChangeAllowed(s, optionFlag, Remote(*request), volume) != 0) return -1;
        if (FindSession(kName, volume, optionFlag, *request, remoteSupport, id, detail) != 0)
            return -1;
    }
    if (detail.Status != kStatusSuspend)
        return FailEnd(ZRK_ERR_SEQUENCE, kLevel, kName, volume, __LINE__);

    TVC_EXEC page;
    MakeChgPrmFromDetail(ZRK_TVC_CHANGE, optionFlag, &detail, &page);
    if (ExecTravoOut(volume, &page, sizeof page) == 0) return LogOk(kLevel, kName, volume, __LINE__);
    if (!DetailRemote(detail)) {
        WriteLog(kLevel, nullptr, 0, "ChangeVz Local Change Err end [%s] [%d]", LogText(volume),
                 __LINE__);
        return -1;
    }
    WriteLog(kLevel, nullptr, 0, "ChangeVz Remote Change Err [%s] [%d]", LogText(volume), __LINE__);
    DiagnoseRemoteChange(volume, id, request->ucVolumeRole, remoteSupport, detail);
    return LogErr(kLevel, kName, volume, __LINE__);
}

extern "C" int QueryVz(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                       unsigned int *result) {
    static constexpr const char kName[] = "QueryVz";
    LogIn(kLevel, kName, volume, __LINE__);
    if (request == nullptr || result == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, kLevel, kName, volume, __LINE__);
    const bool byId = ById(optionFlag);
    CopySupport s;
    unsigned char remoteSupport = 0;
    if (SessionHead(kName, volume, byId, *request, s, remoteSupport) != 0) return -1;
    if (!FamilySupported(s, byId, Remote(*request)))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
    unsigned char id[2];
    RVZ_DETAIL_INFO detail;
    if (FindSession(kName, volume, optionFlag, *request, remoteSupport, id, detail) != 0) return -1;
    result[0] = detail.Status;
    result[1] = detail.ucPhaseMode;
    result[2] = Be32(detail.ucaCopiedBlock);
    return LogOk(kLevel, kName, volume, __LINE__);
}

extern "C" int QueryVzDetail(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                             RVZ_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "QueryVzDetail";
    (void)optionFlag;
    LogIn(kLevel, kName, volume, __LINE__);
    if (request == nullptr || detail == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, kLevel, kName, volume, __LINE__);
    CopySupport s;
    unsigned char remoteSupport = 0;
    if (SessionHead(kName, volume, false, *request, s, remoteSupport) != 0) return -1;
    if (!FamilySupported(s, false, Remote(*request)))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
    unsigned char id[2];
    if (SearchVzSession(volume, request, remoteSupport, id, detail) != 0)
        return LogErr(kLevel, kName, volume, __LINE__);
    return LogOk(kLevel, kName, volume, __LINE__);
}

extern "C" int QueryVzSession(const char *volume, unsigned int optionFlag, int sessionId,
                              unsigned char volumeRole, RVZ_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "QueryVzSession";
    (void)optionFlag;
    LogIn(kLevel, kName, volume, __LINE__);
    if (detail == nullptr) return FailEnd(ZRK_ERR_PARAMETER, kLevel, kName, volume, __LINE__);
    // The identifier travels in 2 bytes: a wider one would name another session.
    if (sessionId < 0 || sessionId > std::numeric_limits<uint16_t>::max())
        return FailEnd(ZRK_ERR_SESSION_ID, kLevel, kName, volume, __LINE__);
    if (CheckProduct(volume) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    CopySupport s;
    unsigned char remoteSupport = 0;
    if (ReadSupport(volume, s, remoteSupport) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    if (!FamilySupported(s, true, false))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
    unsigned char id[2];
    PutBe16(id, static_cast<uint16_t>(sessionId));
    const int read = GetSessionDetailInfo(volume, id, ZRK_PAGE_REMOTE_VZ_DETAIL, remoteSupport,
                                          volumeRole, detail);
    if (read == -2) return FailEnd(ZRK_ERR_NO_SESSION, kLevel, kName, volume, __LINE__);
    if (read != 0) return LogErr(kLevel, kName, volume, __LINE__);
    return LogOk(kLevel, kName, volume, __LINE__);
}

extern "C" int ListVz(const char *volume, unsigned int optionFlag, unsigned char volumeRole,
                      unsigned char **list, int *length) {
    static constexpr const char kName[] = "ListVz";
    (void)optionFlag;
    CopySupport s;
    unsigned char remoteSupport = 0;
    if (EnterList(kName, volume, list, length, s, remoteSupport) != 0) return -1;
    if (!FamilySupported(s, true, false))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);

    // The family's list as the engine reads it, then a copy that holds
    // exactly the entries its head announces.
    unsigned char *raw = nullptr;
    int count = 0;
    const int rc = VzDetailList(s)
                       ? GetTVCSessionIdList(volume, ZRK_FAMILY_VZ, &raw)
                       : GetSessionIdList(volume, ZRK_PAGE_REMOTE_VZ_LIST, remoteSupport,
                                          volumeRole, &raw, &count);
    const Buffer held(raw);
    if (rc != 0) return LogErr(kLevel, kName, volume, __LINE__);
    const size_t entries = ListEntries(held.get(), VzDetailList(s), count);
    const size_t size = ZRK_SESSION_LIST_HEAD_LEN + sizeof(SESSION_ID_ENTRY) * entries;
    Buffer out = AllocateZeroed(size);
    if (!out) return LogErr(kLevel, kName, volume, __LINE__);
    std::memcpy(out.get(), held.get(), size);
    // The length in the 32-bit form, which the 16-bit one reads alike.
    PutBe32(out.get() + offsetof(SESSION_ID_LIST, ucaLength), static_cast<uint32_t>(size - 8));
    *list = out.release();
    *length = static_cast<int>(size);
    return LogOk(kLevel, kName, volume, __LINE__);
}

extern "C" int MultiSuspendVz(const char *volume, unsigned int optionFlag, unsigned int count,
                              const CONC_SUS_PAIR *pairs, unsigned char *result) {
    static constexpr const char kName[] = "MultiSuspendVz";
    LogIn(kLevel, kName, volume, __LINE__);
    if (result == nullptr && count != 0)
        return FailEnd(ZRK_ERR_PARAMETER, kLevel, kName, volume, __LINE__);
    if (CheckProduct(volume) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    CopySupport s;
    unsigned char remoteSupport = 0;
    if (ReadSupport(volume, s, remoteSupport) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    if (count == 0 || pairs == nullptr)
        return FailEnd(ZRK_ERR_CONC_SUSPEND, kLevel, kName, volume, __LINE__);

    const CONC_SUS_PAIR &first = pairs[0];
    const int remote = SameBoxId(first.SrcBoxID, first.DstBoxID) ? 0 : 1;
    const bool untransferred = (optionFlag & ZRK_OPT_UNTRANSFERRED) != 0;
    const unsigned char none[2] = {0, 0};
    if (remote != 0) {
        if (!s.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND) ||
            !s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_CONC_SUSPEND))
            return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
        if (untransferred) {
            if (!s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS))
                return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
            unsigned char buffers[ZRK_RVZ_BUFF_FIRST_LEN];
            if (ExecTravoIn(volume, 0x01, ZRK_PAGE_RVZ_BUFF_LIST, none, buffers, sizeof buffers) != 0)
                return LogErr(kLevel, kName, volume, __LINE__);
            if ((buffers[15] & kRvzPagesUntransferred) == 0)
                return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
        }
    } else {
        if (!s.Has(ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_KIND) ||
            !s.Has(ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_CONC_SUSPEND))
            return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);
        if (untransferred) return FailEnd(ZRK_ERR_OPTION, kLevel, kName, volume, __LINE__);
    }

    unsigned char maxCount[ZRK_MAX_SESSION_LEN] = {};
    if (GetMaxSessionCount(volume, remote != 0 ? ZRK_PAGE_REMOTE_VZ_LIST : ZRK_PAGE_LOCAL_VZ_LIST,
                           maxCount) != 0)
        return LogErr(kLevel, kName, volume, __LINE__);
    if (count > Be16(maxCount + 2))
        return FailEnd(ZRK_ERR_CONC_SUSPEND, kLevel, kName, volume, __LINE__);
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_MAXSES);
    CtrlCommonData(maxCount + 2, ZRK_COMMON_SET_MAXSES);

    unsigned char limit[kPerCommandLen];
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_PER_COMMAND, none, limit, sizeof limit) != 0)
        return LogErr(kLevel, kName, volume, __LINE__);
    if (count > Be16(limit + kPerCommandMax))
        return FailEnd(ZRK_ERR_PER_COMMAND, kLevel, kName, volume, __LINE__);

    // The entry area holds a multiple of four entries.
    const size_t slots = (static_cast<size_t>(count) + 3) / 4 * 4;
    const size_t size = ZRK_CONC_SUS_HEAD_LEN + 4 * slots;
    Buffer page = AllocateZeroed(size);
    if (!page) return LogErr(kLevel, kName, volume, __LINE__);
    std::memset(result, 0, 4 * static_cast<size_t>(count));

    // One command suspends sessions between one pair of arrays.
    for (unsigned int i = 1; i < count; ++i)
        if (!SameBoxId(pairs[i].SrcBoxID, first.SrcBoxID) ||
            !SameBoxId(pairs[i].DstBoxID, first.DstBoxID))
            return FailEnd(ZRK_ERR_CONC_SUSPEND, kLevel, kName, volume, __LINE__);

    unsigned char own[ZRK_BOXID_LEN] = {};
    if (GetBoxID(volume, own) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    int side = 0;
    if (remote != 0) {
        if (SameBoxId(own, first.SrcBoxID))
            side = 0;
        else if (SameBoxId(own, first.DstBoxID))
            side = 1;
        else
            return FailEnd(ZRK_ERR_CONC_SUSPEND, kLevel, kName, volume, __LINE__);
    } else if (!SameBoxId(own, first.SrcBoxID)) {
        return FailEnd(ZRK_ERR_CONC_SUSPEND, kLevel, kName, volume, __LINE__);
    }

    if (VzDetailList(s)) {
        std::vector<CONC_SUS_PAIR_LV> wide;
        wide.reserve(count);
        for (unsigned int i = 0; i < count; ++i) wide.push_back(Widen(pairs[i]));
        std::vector<uint32_t> slotsOut(count, 0);
        const int filled = MakeConcSusFromDetailList(volume, remote, side, static_cast<int>(count),
                                                     wide.data(), slotsOut.data(), page.get());
        std::memcpy(result, slotsOut.data(), 4 * static_cast<size_t>(count));
        if (filled != 0) return LogErr(kLevel, kName, volume, __LINE__);
    } else {
        ConcSessionList sessions(volume, remoteSupport);
        if (sessions.Read() != 0) return LogErr(kLevel, kName, volume, __LINE__);
        for (unsigned int i = 0; i < count; ++i) std::memset(result + 4 * i, 0xFF, 2);
        for (unsigned int i = 0; i < count; ++i) {
            const int k = sessions.Match(pairs[i], remote, side);
            if (k < 0) return LogErr(kLevel, kName, volume, __LINE__);
            const RVZ_DETAIL_INFO &d = sessions.Detail(static_cast<size_t>(k));
            if (d.ucPhaseMode != kPhaseEquivalent || d.Status != kStatusActive)
                return FailEnd(ZRK_ERR_SEQUENCE, kLevel, kName, volume, __LINE__);
            const unsigned char *sid = sessions.Entry(static_cast<size_t>(k));
            std::memcpy(result + 4 * i, sid, 2);
            std::memcpy(page.get() + ZRK_CONC_SUS_HEAD_LEN + 4 * i, sid, 2);
            WriteLog(kLevel, nullptr, 0,
                     "MultiSuspendVz iLoop=%d uhSessionID=%02x ucaSessionID[0]=%02x "
                     "ucaSessionID[1]=%02x [%s] [%d]",
                     static_cast<int>(i), static_cast<unsigned>(Be16(sid)), sid[0], sid[1],
                     LogText(volume), __LINE__);
        }
    }

    unsigned char *h = page.get();
    h[0] = ZRK_PAGE_CONC_SUSPEND;
    if ((ZRKsession4096out & (ZRK_GROUP_VZ | ZRK_GROUP_RVZ)) != 0)
        PutBe32(h + 4, static_cast<uint32_t>(size - 8));
    else
        PutBe16(h + 6, static_cast<uint16_t>(size - 8));
    PutBe16(h + 8, static_cast<uint16_t>(count));
    h[10] = static_cast<unsigned char>((remote != 0 ? kConcRemote : 0) |
                                       (untransferred ? kConcUntransferred : 0));
    if (ExecTravoOut(volume, h, static_cast<int>(size)) != 0) {
        if (remote != 0 && StoredSenseIs(5, 0x26, 0x00)) ZRKerrno = ZRK_ERR_PARTNER;
        return LogErr(kLevel, kName, volume, __LINE__);
    }
    return LogOk(kLevel, kName, volume, __LINE__);
}

extern "C" int CommandStatusList(const char *volume, unsigned int optionFlag, unsigned char **list,
                                 int *length) {
    static constexpr const char kName[] = "CommandStatusList";
    (void)optionFlag;
    CopySupport s;
    unsigned char remoteSupport = 0;
    if (EnterList(kName, volume, list, length, s, remoteSupport) != 0) return -1;
    if (!s.AnyHas({ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_RVZ_FUNCS}, ZRK_SUPPORT_CONC_SUSPEND))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);

    const unsigned char none[2] = {0, 0};
    unsigned char head[kPerCommandLen];
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_PER_COMMAND, none, head, sizeof head) != 0)
        return LogErr(kLevel, kName, volume, __LINE__);
    const size_t perCommand = Be16(head + kPerCommandMax);
    WriteLog(kLevel, nullptr, 0, "CommandStatusList Session Count(%d) [%s] [%d]",
             static_cast<int>(perCommand), LogText(volume), __LINE__);

    size_t entries = 0;
    Buffer out;
    size_t size = 0;
    if (!VzDetailList(s)) {
        size = (perCommand + 2) * kStatusEntryLen;
        WriteLog(kLevel, nullptr, 0, "CommandStatusList size : %d [%s] [%d]",
                 static_cast<int>(size), LogText(volume), __LINE__);
        out = AllocateZeroed(size);
        if (!out) return LogErr(kLevel, kName, volume, __LINE__);
        if (ExecTravoIn(volume, 0x01, ZRK_PAGE_PER_COMMAND, none, out.get(),
                        static_cast<int>(size)) != 0)
            return LogErr(kLevel, kName, volume, __LINE__);
        // The reply may announce more entries than the area holds.
        const uint32_t announced = Be32(out.get() + 4);
        entries = std::min<size_t>(announced < kStatusEntryLen ? 0 : announced / kStatusEntryLen - 1,
                                   perCommand);
    } else {
        std::vector<unsigned char> appended;
        if (StatusEntriesFromDetailList(kName, volume, s, appended) != 0) return -1;
        entries = appended.size() / kStatusEntryLen;
        // Sized from what is appended, never less than the per-command maximum.
        size = (std::max(entries, perCommand) + 2) * kStatusEntryLen;
        WriteLog(kLevel, nullptr, 0, "CommandStatusList size : %d [%s] [%d]",
                 static_cast<int>(size), LogText(volume), __LINE__);
        out = AllocateZeroed(size);
        if (!out) return LogErr(kLevel, kName, volume, __LINE__);
        if (!appended.empty())
            std::memcpy(out.get() + 2 * kStatusEntryLen, appended.data(), appended.size());
        std::memcpy(out.get() + kPerCommandMax, head + kPerCommandMax, 2);
    }
    PutBe32(out.get() + 4, static_cast<uint32_t>((entries + 1) * kStatusEntryLen));
    *length = static_cast<int>(size);
    *list = out.release();
    return LogOk(kLevel, kName, volume, __LINE__);
}

extern "C" int RVZBuffSet(const char *volume, const RVZ_BUFF_SET_REQ *request) {
    static constexpr const char kName[] = "RVZBuffSet";
    LogIn(kLevel, kName, volume, __LINE__);
    if (request == nullptr) return FailEnd(ZRK_ERR_PARAMETER, kLevel, kName, volume, __LINE__);
    if (CheckProduct(volume) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    CopySupport s;
    unsigned char remoteSupport = 0;
    if (ReadSupport(volume, s, remoteSupport) != 0) return LogErr(kLevel, kName, volume, __LINE__);
    if (!s.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND) ||
        !s.Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS))
        return FailEnd(ZRK_ERR_NOT_SUPPORT, kLevel, kName, volume, __LINE__);

    unsigned char list[kRvzBuffSetLen] = {};
    list[0] = kRvzBuffSetCode;
    PutBe16(list + kPrmLength, kRvzBuffSetLen - ZRK_PRM_HEAD_LEN);
    PutBe16(list + 8, request->uhBuffID);
    PutBe16(list + 16, request->uhBuffType);
    PutBe16(list + 18, request->uhInterval);
    PutBe32(list + 20, request->uiMonitorTime);
    std::memcpy(list + 24, request->ucaRemoteBoxID, ZRK_BOXID_LEN);
    if (ExecTravoOut(volume, list, sizeof list) != 0) {
        if (StoredSenseIs(5, 0x26, 0x00)) ZRKerrno = ZRK_ERR_RVZ_BUFFER;
        return LogErr(kLevel, kName, volume, __LINE__);
    }
    return LogOk(kLevel, kName, volume, __LINE__);
}
