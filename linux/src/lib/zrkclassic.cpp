// zrkclassic.cpp - the parameter lists of the classic copy operations, built
// from a classic copy request or from a session's detail record.

#include "zrkclassic.h"

#include "zrkcmd.h"

#include <cstring>

using namespace zrk;

namespace {

// "NAME in" when a builder starts, "NAME out" on its way out.
class BuilderLines {
public:
    explicit BuilderLines(const char *name) : pName(name) { WriteLog(1, nullptr, 0, "%s in", name); }
    ~BuilderLines() {
        if (pName != nullptr) WriteLog(1, nullptr, 0, "%s out", pName);
    }
    BuilderLines(const BuilderLines &) = delete;
    BuilderLines &operator=(const BuilderLines &) = delete;
    // The way out has written its own end line.
    void Ended() { pName = nullptr; }

private:
    const char *pName; // the builder, or null once its end line is written
};

constexpr unsigned char kModeBits =
    ZRK_MODEFLAG_SYNC | ZRK_MODEFLAG_AUTO_SPLIT | ZRK_MODEFLAG_MANUAL_RCV;

// A field of a request or a detail record, byte for byte.
template <size_t N> void Put(unsigned char *at, const unsigned char (&field)[N]) {
    std::memcpy(at, field, N);
}
// The low half (the last 2 bytes) of a 4-byte field.
void PutLowHalf(unsigned char *at, const unsigned char (&field)[4]) { std::memcpy(at, field + 2, 2); }
// A 2-byte session identifier; a null one leaves 0.
void PutId(unsigned char *at, const unsigned char *sessionId) {
    if (sessionId != nullptr) std::memcpy(at, sessionId, 2);
}

// The cleared list with its code and the length of the rest.
void Begin(unsigned char *list, size_t length, unsigned char code) {
    std::memset(list, 0, length);
    list[0] = code;
    PutBe16(list + kPrmLength, static_cast<uint16_t>(length - ZRK_PRM_HEAD_LEN));
}
void Begin(TVC_EXEC &page, unsigned char code) {
    page = TVC_EXEC{};
    page.ucPageCode = code;
    PutBe16(page.ucaParamLength, ZRK_TVC_PARAM_LEN);
}

bool Whole(const COPY_REQ &request) { return (request.WholeVolumeFlag & 1) != 0; }
bool Whole(const RVZ_DETAIL_INFO &detail) { return (detail.ucFlags & ZRK_SESFLAG_WHOLE_VOLUME) != 0; }

// The own array holds the request's source volume.
bool SourceSide(const COPY_REQ &request, const unsigned char *ownBoxId) {
    return ownBoxId != nullptr && SameBoxId(request.SrcBoxID, ownBoxId);
}

// The RVZ modes and transfer mode that the option word asks for; consistency
// wins over stack.
unsigned char ModesOf(unsigned int option) {
    unsigned char modes = 0;
    if ((option & ZRK_OPT_SYNC) != 0) modes |= ZRK_MODEFLAG_SYNC;
    if ((option & ZRK_OPT_AUTO_SPLIT) != 0) modes |= ZRK_MODEFLAG_AUTO_SPLIT;
    if ((option & ZRK_OPT_MANUAL_RCV) != 0) modes |= ZRK_MODEFLAG_MANUAL_RCV;
    return modes;
}
unsigned char TransferModeOf(unsigned int option) {
    if ((option & ZRK_OPT_CONSISTENCY) != 0) return ZRK_TRANSFER_CONSISTENCY;
    if ((option & ZRK_OPT_STACK) != 0) return ZRK_TRANSFER_STACK;
    return 0;
}

// ---- local and remote lists --------------------------------------------------------

void LocalFromRequest(bool vz, unsigned char code, const unsigned char *sessionId,
                      const COPY_REQ *request, unsigned char volumeRole, unsigned char *list) {
    Begin(list, ZRK_PRM_LOCAL_LEN, code);
    PutId(list + kPrmSessionId, sessionId);
    list[vz ? kVzPrmVolumeRole : kKzpPrmVolumeRole] = volumeRole;
    if (request == nullptr) return; // the stop that undoes a refused start
    if (vz) {
        Put(list + kVzPrmCopyInterval, request->CopyInterval);
        Put(list + kVzPrmSrcOlu, request->SrcOlu);
        Put(list + kVzPrmDstOlu, request->DstOlu);
    } else {
        Put(list + kKzpPrmSrcOlu, request->SrcOlu);
        Put(list + kKzpPrmDstOlu, request->DstOlu);
    }
    if (Whole(*request)) {
        list[vz ? kVzPrmFlags : kKzpPrmFlags] |= ZRK_SESFLAG_WHOLE_VOLUME;
        return;
    }
    list[vz ? kVzPrmExtentFilled : kKzpPrmExtentFilled] = 1;
    Put(list + kLocalPrmSrcExtent, request->SrcExtent);
    Put(list + kLocalPrmSrcSize, request->SrcSize);
    Put(list + kLocalPrmDstExtent, request->DstExtent);
}

void RemoteFromRequest(bool rvz, unsigned char code, const unsigned char *sessionId,
                       const COPY_REQ *request, const unsigned char *ownBoxId,
                       unsigned int option, unsigned char *list) {
    Begin(list, ZRK_PRM_REMOTE_LEN, code);
    if (request == nullptr) return;
    const bool sourceSide = SourceSide(*request, ownBoxId);
    PutId(list + (sourceSide ? kPrmSessionId : kRemotePrmDstSideId), sessionId);
    unsigned char flags = ZRK_SESFLAG_REMOTE;
    if (!sourceSide) flags |= ZRK_MODEFLAG_DEST_SIDE;
    if (Whole(*request)) flags |= ZRK_SESFLAG_WHOLE_VOLUME;
    if (rvz) {
        flags |= ModesOf(option);
        list[kRemotePrmTransfer] = TransferModeOf(option);
        if ((option & ZRK_OPT_SKIP_COPY) != 0) list[kRemotePrmStart] |= ZRK_PRM_SKIP;
        Put(list + kRemotePrmCopyInterval, request->CopyInterval);
    }
    list[kRemotePrmFlags] = flags;
    list[kRemotePrmVolumeRole] = request->ucVolumeRole;
    Put(list + kRemotePrmSrcBoxId, request->SrcBoxID);
    Put(list + kRemotePrmDstBoxId, request->DstBoxID);
    Put(list + kRemotePrmSrcOlu + 2, request->SrcOlu);
    Put(list + kRemotePrmDstOlu + 2, request->DstOlu);
    if (Whole(*request)) return;
    list[kRemotePrmExtentCnt + 1] = 1;
    Put(list + kRemotePrmSrcExtent, request->SrcExtent);
    Put(list + kRemotePrmSrcSize, request->SrcSize);
    Put(list + kRemotePrmDstExtent, request->DstExtent);
}

// The extents of a detail go in whether or not the session covers the whole
// volume; no copy interval.
void LocalFromDetail(bool vz, unsigned char code, const RVZ_DETAIL_INFO *detail,
                     unsigned char *list) {
    Begin(list, ZRK_PRM_LOCAL_LEN, code);
    if (detail == nullptr) return;
    Put(list + kPrmSessionId, detail->ucaSessionID);
    if (Whole(*detail)) list[vz ? kVzPrmFlags : kKzpPrmFlags] |= ZRK_SESFLAG_WHOLE_VOLUME;
    list[vz ? kVzPrmVolumeRole : kKzpPrmVolumeRole] = detail->ucVolumeRole;
    PutLowHalf(list + (vz ? kVzPrmSrcOlu : kKzpPrmSrcOlu), detail->SrcOlu);
    PutLowHalf(list + (vz ? kVzPrmDstOlu : kKzpPrmDstOlu), detail->DstOlu);
    list[vz ? kVzPrmExtentFilled : kKzpPrmExtentFilled] = detail->ucaExtentCnt[1];
    Put(list + kLocalPrmSrcExtent, detail->SrcExtent);
    Put(list + kLocalPrmSrcSize, detail->SrcSize);
    Put(list + kLocalPrmDstExtent, detail->DstExtent);
}

void RemoteFromDetail(bool rvz, unsigned char code, const RVZ_DETAIL_INFO *detail,
                      unsigned char *list) {
    Begin(list, ZRK_PRM_REMOTE_LEN, code);
    if (detail == nullptr) return;
    Put(list + kPrmSessionId, detail->ucaSessionID);
    Put(list + kRemotePrmDstSideId, detail->ucaPartnerID);
    list[kRemotePrmFlags] = detail->ucFlags;
    if (rvz) list[kRemotePrmTransfer] = detail->ucaFamily8[0];
    list[kRemotePrmVolumeRole] = detail->ucVolumeRole;
    Put(list + kRemotePrmSrcBoxId, detail->SrcBoxID);
    Put(list + kRemotePrmDstBoxId, detail->DstBoxID);
    Put(list + kRemotePrmSrcOlu, detail->SrcOlu);
    Put(list + kRemotePrmDstOlu, detail->DstOlu);
    Put(list + kRemotePrmExtentCnt, detail->ucaExtentCnt);
    Put(list + kRemotePrmSrcExtent, detail->SrcExtent);
    Put(list + kRemotePrmSrcSize, detail->SrcSize);
    Put(list + kRemotePrmDstExtent, detail->DstExtent);
}

// ---- extended lists ------------------------------------------------------------------
// The classic family fills the low 4 bytes of the 64-bit extent fields.

void ExtentsFromRequest(TVC_EXEC &page, const COPY_REQ &request) {
    page.ucaExtentCnt[1] = 1;
    Put(page.ucaSrcExtent + 4, request.SrcExtent);
    Put(page.ucaSize + 4, request.SrcSize);
    Put(page.ucaDstExtent + 4, request.DstExtent);
}
void ExtentsFromDetail(TVC_EXEC &page, const RVZ_DETAIL_INFO &detail) {
    Put(page.ucaExtentCnt, detail.ucaExtentCnt);
    Put(page.ucaSrcExtent + 4, detail.SrcExtent);
    Put(page.ucaSize + 4, detail.SrcSize);
    Put(page.ucaDstExtent + 4, detail.DstExtent);
}
void BoxIdsFromDetail(TVC_EXEC &page, const RVZ_DETAIL_INFO &detail) {
    Put(page.SrcBoxID, detail.SrcBoxID);
    Put(page.DstBoxID, detail.DstBoxID);
}

// QuickKZP (snap false) and SnapKZP: copy kind, flags and operation bits.
// A SnapKZP monitor session (ZRK_OPT_MONITOR) carries no SnapKZP bit; the
// restart is a QuickKZP start's only.
void KzpFamilyHead(TVC_EXEC &page, bool snap, bool start, bool whole, unsigned int option) {
    const bool monitor = snap && (option & ZRK_OPT_MONITOR) != 0;
    page.ucCopyKind = monitor ? ZRK_PRM_KIND_MONITOR : ZRK_PRM_KIND_KZP;
    if (whole) page.ucSessionFlags |= ZRK_SESFLAG_WHOLE_VOLUME;
    if (!snap)
        page.ucSessionFlags |= ZRK_SESFLAG_QUICKKZP;
    else if (!monitor)
        page.ucSessionFlags |= ZRK_SESFLAG_SNAPKZP;
    if (snap) return;
    if (start && (option & ZRK_OPT_RESTART) != 0) page.ucActionFlags |= ZRK_TVC_ACT_RESTART;
    if ((option & ZRK_OPT_STOP_TRACKING) != 0) page.ucActionFlags |= ZRK_TVC_ACT_STOP_TRACKING;
}

void KzpFamilyFromRequest(bool snap, unsigned char code, const unsigned char *sessionId,
                          unsigned int option, const COPY_REQ *request, TVC_EXEC &page) {
    Begin(page, code);
    if (request == nullptr) return;
    PutId(page.ucaSessionID, sessionId);
    KzpFamilyHead(page, snap, true, Whole(*request), option);
    Put(page.SrcOlu + 2, request->SrcOlu);
    if (snap)
        Put(page.DstOlu, request->ucaDstOluFull); // a monitor session's -1 arrives whole
    else
        Put(page.DstOlu + 2, request->DstOlu);
    if (!Whole(*request)) ExtentsFromRequest(page, *request);
}

void KzpFamilyFromDetail(bool snap, unsigned char code, unsigned int option,
                         const RVZ_DETAIL_INFO *detail, TVC_EXEC &page) {
    Begin(page, code);
    if (detail == nullptr) return;
    Put(page.ucaSessionID, detail->ucaSessionID);
    KzpFamilyHead(page, snap, false, Whole(*detail), option);
    Put(page.SrcOlu, detail->SrcOlu);
    Put(page.DstOlu, detail->DstOlu);
    if (!Whole(*detail)) ExtentsFromDetail(page, *detail);
}

// The modes of a remote VZ start on a QM array: synchronous always; split,
// recovery and skip by choice when the array lets them be chosen, else split
// and recovery both.
void QmRemoteModes(TVC_EXEC &page, unsigned int option) {
    unsigned char qm[ZRK_QM_SUPPORT_DATA_LEN] = {};
    CtrlQmSupportData(qm, ZRK_STORE_READ);
    page.ucModeFlags |= ZRK_MODEFLAG_SYNC;
    if (!CopySupport(qm).Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_SUSPEND)) {
        page.ucModeFlags |= ZRK_MODEFLAG_AUTO_SPLIT | ZRK_MODEFLAG_MANUAL_RCV;
        return;
    }
    page.ucModeFlags |= ModesOf(option & (ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV));
    if ((option & ZRK_OPT_SKIP_COPY) != 0) page.ucActionFlags |= ZRK_TVC_ACT_SKIP;
}

}  // namespace

// ---- from a copy request ----------------------------------------------------------------

extern "C" void MakeVzPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                                     const COPY_REQ *request, unsigned char volumeRole,
                                     unsigned char *list) {
    const BuilderLines lines("MakeVzPrmFromCopyReq");
    if (list != nullptr) LocalFromRequest(true, code, sessionId, request, volumeRole, list);
}

extern "C" void MakeRvzPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                                      const COPY_REQ *request, const unsigned char *ownBoxId,
                                      unsigned int optionFlag, unsigned char *list) {
    const BuilderLines lines("MakeRvzPrmFromCopyReq");
    if (list != nullptr) RemoteFromRequest(true, code, sessionId, request, ownBoxId, optionFlag, list);
}

extern "C" void MakeKzpPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                                      const COPY_REQ *request, unsigned char volumeRole,
                                      unsigned char *list) {
    const BuilderLines lines("MakeKzpPrmFromCopyReq");
    if (list != nullptr) LocalFromRequest(false, code, sessionId, request, volumeRole, list);
}

extern "C" void MakeRkzpPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                                       const COPY_REQ *request, const unsigned char *ownBoxId,
                                       unsigned int optionFlag, unsigned char *list) {
    const BuilderLines lines("MakeRkzpPrmFromCopyReq");
    if (list != nullptr) RemoteFromRequest(false, code, sessionId, request, ownBoxId, optionFlag, list);
}

extern "C" void MakeDifPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                                      unsigned int optionFlag, const COPY_REQ *request,
                                      TVC_EXEC *list) {
    const BuilderLines lines("MakeDifPrmFromCopyReq");
    if (list != nullptr) KzpFamilyFromRequest(false, code, sessionId, optionFlag, request, *list);
}

extern "C" void MakeSnapPrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                                       unsigned int optionFlag, const COPY_REQ *request,
                                       TVC_EXEC *list) {
    const BuilderLines lines("MakeSnapPrmFromCopyReq");
    if (list != nullptr) KzpFamilyFromRequest(true, code, sessionId, optionFlag, request, *list);
}

extern "C" void MakePrmFromCopyReq(unsigned char code, const unsigned char *sessionId,
                                   unsigned char copyKind, const COPY_REQ *request,
                                   const unsigned char *ownBoxId, unsigned int optionFlag,
                                   TVC_EXEC *list) {
    BuilderLines lines("MakePrmFromCopyReq");
    if (list != nullptr) {
        Begin(*list, code);
        list->ucCopyKind = copyKind;
    }
    if (request == nullptr) {
        // The stop that undoes a refused start: identifier and copy kind.
        if (list != nullptr) PutId(list->ucaSessionID, sessionId);
        WriteLog(1, nullptr, 0, "MakePrmFromCopyReq out(NULL) [%d]", __LINE__);
        lines.Ended();
        return;
    }
    if (list == nullptr) return;
    TVC_EXEC &page = *list;
    if (request->RemoteFlag != 0) {
        const bool sourceSide = SourceSide(*request, ownBoxId);
        page.ucSessionFlags |= ZRK_SESFLAG_REMOTE;
        PutId(sourceSide ? page.ucaSessionID : page.ucaPartnerID, sessionId);
        if (!sourceSide) page.ucModeFlags |= ZRK_MODEFLAG_DEST_SIDE;
        Put(page.SrcBoxID, request->SrcBoxID);
        Put(page.DstBoxID, request->DstBoxID);
        QmRemoteModes(page, optionFlag);
    } else {
        PutId(page.ucaSessionID, sessionId);
    }
    if (Whole(*request)) page.ucSessionFlags |= ZRK_SESFLAG_WHOLE_VOLUME;
    Put(page.SrcOlu + 2, request->SrcOlu);
    Put(page.DstOlu + 2, request->DstOlu);
    if (!Whole(*request)) ExtentsFromRequest(page, *request);
}

// ---- from a session's detail ----------------------------------------------------------

extern "C" void MakeVzPrmFromDetail(unsigned char code, const RVZ_DETAIL_INFO *detail,
                                    unsigned char *list) {
    const BuilderLines lines("MakeVzPrmFromDetail");
    if (list != nullptr) LocalFromDetail(true, code, detail, list);
}

extern "C" void MakeRvzPrmFromDetail(unsigned char code, const RVZ_DETAIL_INFO *detail,
                                     unsigned char *list) {
    const BuilderLines lines("MakeRvzPrmFromDetail");
    if (list != nullptr) RemoteFromDetail(true, code, detail, list);
}

extern "C" void MakeKzpPrmFromDetail(unsigned char code, const RKZP_DETAIL_INFO *detail,
                                     unsigned char *list) {
    const BuilderLines lines("MakeKzpPrmFromDetail");
    if (list != nullptr) LocalFromDetail(false, code, detail, list);
}

extern "C" void MakeRkzpPrmFromDetail(unsigned char code, const RKZP_DETAIL_INFO *detail,
                                      unsigned char *list) {
    const BuilderLines lines("MakeRkzpPrmFromDetail");
    if (list != nullptr) RemoteFromDetail(false, code, detail, list);
}

extern "C" void MakeDifPrmFromDetail(unsigned char code, unsigned int optionFlag,
                                     const RKZP_DETAIL_INFO *detail, TVC_EXEC *list) {
    const BuilderLines lines("MakeDifPrmFromDetail");
    if (list != nullptr) KzpFamilyFromDetail(false, code, optionFlag, detail, *list);
}

extern "C" void MakeSnapPrmFromDetail(unsigned char code, unsigned int optionFlag,
                                      const RKZP_DETAIL_INFO *detail, TVC_EXEC *list) {
    const BuilderLines lines("MakeSnapPrmFromDetail");
    if (list != nullptr) KzpFamilyFromDetail(true, code, optionFlag, detail, *list);
}

extern "C" void MakeChgPrmFromDetail(unsigned char code, unsigned int optionFlag,
                                     const RVZ_DETAIL_INFO *detail, TVC_EXEC *list) {
    const BuilderLines lines("MakeChgPrmFromDetail");
    if (list == nullptr) return;
    TVC_EXEC &page = *list;
    Begin(page, code);
    if (detail == nullptr) return;
    Put(page.ucaSessionID, detail->ucaSessionID);
    Put(page.ucaPartnerID, detail->ucaPartnerID);
    page.ucCopyKind = ZRK_PRM_KIND_VZ;
    page.ucSessionFlags = detail->ucFlags & (ZRK_SESFLAG_WHOLE_VOLUME | ZRK_SESFLAG_REMOTE);
    page.ucModeFlags = detail->ucFlags & ZRK_MODEFLAG_DEST_SIDE;
    if ((optionFlag & ZRK_OPT_REVERSE) != 0) {
        // A reversal keeps the session's modes.
        page.ucActionFlags |= ZRK_TVC_ACT_REVERSE;
        page.ucModeFlags |= detail->ucFlags & kModeBits;
        page.ucTransferMode = detail->ucaFamily8[0];
    } else {
        page.ucActionFlags |= ZRK_TVC_ACT_MODE_CHANGE;
        page.ucModeFlags |= ModesOf(optionFlag);
        page.ucTransferMode = TransferModeOf(optionFlag);
    }
    BoxIdsFromDetail(page, *detail);
    Put(page.SrcOlu, detail->SrcOlu);
    Put(page.DstOlu, detail->DstOlu);
    ExtentsFromDetail(page, *detail);
}

extern "C" void MakePrmFromDetail(unsigned char code, unsigned char copyKind,
                                  const COPY_REQ *request, const RVZ_DETAIL_INFO *detail,
                                  TVC_EXEC *list) {
    const BuilderLines lines("MakePrmFromDetail");
    if (list == nullptr) return;
    TVC_EXEC &page = *list;
    Begin(page, code);
    if (detail == nullptr) return;
    Put(page.ucaSessionID, detail->ucaSessionID);
    if (request != nullptr && request->RemoteFlag != 0) {
        Put(page.ucaPartnerID, detail->ucaPartnerID);
        page.ucSessionFlags |= ZRK_SESFLAG_REMOTE;
        page.ucModeFlags = detail->ucFlags & (ZRK_MODEFLAG_DEST_SIDE | kModeBits);
        BoxIdsFromDetail(page, *detail);
    }
    page.ucCopyKind = copyKind;
    if (Whole(*detail)) page.ucSessionFlags |= ZRK_SESFLAG_WHOLE_VOLUME;
    Put(page.SrcOlu, detail->SrcOlu);
    Put(page.DstOlu, detail->DstOlu);
    if (!Whole(*detail)) ExtentsFromDetail(page, *detail);
}
