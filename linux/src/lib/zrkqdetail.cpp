// The detail query of the classic engine: the one session of any copy kind
// that a classic copy request describes, or that an identifier names, as a
// page-based detail record (TVC_DETAIL_INFO), whatever the array offers: the
// page-based detail page 0x44, the detail list, or only the classic detail
// pages of the VZ and KZP families.
#include "zrkclassic.h"
#include "zrkcmd.h"

#include <cstring>

using namespace zrk;

namespace {

constexpr const char kName[] = "QueryDetail";
// The end line of the two failed classic detail reads by identifier.
constexpr const char kShortName[] = "QueryDetai";
constexpr int kDumpLevel = 4; // level of the page 0x44 dump of the identifier lists

// The session flags and mode flags that the classic records carry over.
constexpr uint8_t kClassicSessionFlags = ZRK_SESFLAG_WHOLE_VOLUME | ZRK_SESFLAG_REMOTE;
constexpr uint8_t kClassicModeFlags =
    ZRK_MODEFLAG_DEST_SIDE | ZRK_MODEFLAG_SYNC | ZRK_MODEFLAG_AUTO_SPLIT | ZRK_MODEFLAG_MANUAL_RCV;

uint8_t Bit(bool set) { return set ? 1 : 0; }

// ---- the three conversions ------------------------------------------------------------

// A detail-list entry: the page-based map without the state bytes 5-7 and 22.
TVC_DETAIL_INFO FromList(const DetailEntry &e) {
    TvcDetail t = TvcDetailFromList(e);
    std::memset(t.ucaState5, 0, sizeof t.ucaState5);
    t.ucState22 = 0;
    return EncodeTvcDetail(t);
}

// What the VZ and the KZP record give alike.
TvcDetail FromClassic(const ClassicDetail &d, uint8_t copyKind) {
    TvcDetail t{};
    t.uhSessionId = d.uhSessionId;
    t.uhPartnerId = d.uhPartnerId;
    t.ucCopyKind = copyKind;
    t.ucSessionFlags = d.ucFlags & kClassicSessionFlags;
    t.ucVolumeRole = d.ucVolumeRole;
    t.ucStatus = d.ucStatus;
    t.ucState20 = d.ucState7;
    std::memcpy(t.ucaSrcBoxID, d.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(t.ucaDstBoxID, d.ucaDstBoxID, ZRK_BOXID_LEN);
    t.uiSrcOlu = d.uiSrcOlu;
    t.uiDstOlu = d.uiDstOlu;
    t.uhExtentCnt = d.uhExtentCnt;
    t.ullCopiedBlock = d.uiCopiedBlock;
    t.ullSrcExtent = d.uiSrcExtent;
    t.ullSrcSize = d.uiSrcSize;
    t.ullDstExtent = d.uiDstExtent;
    return t;
}

// An RVZ_DETAIL_INFO record (VZ family).
TVC_DETAIL_INFO FromVz(const RVZ_DETAIL_INFO &record) {
    const ClassicDetail d = DecodeClassicDetail(record);
    TvcDetail t = FromClassic(d, ZRK_PRM_KIND_VZ);
    t.ucModeFlags = d.ucFlags & kClassicModeFlags;
    t.ucTransferMode = d.ucaFamily8[0];
    t.ucModeChange = d.ucaFamily8[1];
    t.ucPhase = d.ucPhaseMode;
    t.uiLapseTime = Be16(d.ucaFamily130);
    return EncodeTvcDetail(t);
}

// An RKZP_DETAIL_INFO record (KZP family).
TVC_DETAIL_INFO FromKzp(const RKZP_DETAIL_INFO &record) {
    const ClassicDetail d = DecodeClassicDetail(record);
    TvcDetail t = FromClassic(d, ZRK_PRM_KIND_KZP);
    if ((d.ucPhaseMode & kModeQuick) != 0) t.ucSessionFlags |= ZRK_SESFLAG_QUICKKZP;
    t.ucModeFlags = d.ucFlags & ZRK_MODEFLAG_DEST_SIDE;
    t.ucPhase = d.ucPhaseMode & 0x0F;
    t.uiLapseTime = Be32(d.ucaFamily8);
    return EncodeTvcDetail(t);
}

// ---- the matches --------------------------------------------------------------------------

// A detail-list entry is the session the request describes.
bool ListMatches(const DetailEntry &e, const CopyReq &r) {
    if (r.ucVolumeRole != 1 || e.RemoteBit() != r.ucRemoteFlag) return false;
    if ((e.uiSrcOlu & 0xFFFF) != r.uhSrcOlu || e.uiDstOlu != r.uiDstOluFull) return false;
    if (static_cast<uint32_t>(e.ullSrcExtent) != r.uiSrcExtent ||
        static_cast<uint32_t>(e.ullDstExtent) != r.uiDstExtent ||
        static_cast<uint32_t>(e.ullSrcSize) != r.uiSrcSize)
        return false;
    if (r.ucRemoteFlag != 0 &&
        (!SameBoxId(e.ucaSrcBoxID, r.ucaSrcBoxID) || !SameBoxId(e.ucaDstBoxID, r.ucaDstBoxID)))
        return false;
    return Bit((e.ucSessionFlags & ZRK_SESFLAG_WHOLE_VOLUME) != 0) == r.uiWholeVolumeFlag;
}

// A page 0x44 record read for an identifier-list entry is the session the
// request describes.
bool TvcMatches(const TvcDetail &t, const CopyReq &r, const char *volume) {
    if (t.ucStatus == 0 || t.ucVolumeRole != r.ucVolumeRole) return false;
    if (Bit((t.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0) != r.ucRemoteFlag) {
        WriteLog(1, nullptr, 0, "QueryDetail chk1 [%s] [%d]", LogText(volume), __LINE__);
        return false;
    }
    if (r.ucRemoteFlag != 0 &&
        (!SameBoxId(t.ucaSrcBoxID, r.ucaSrcBoxID) || !SameBoxId(t.ucaDstBoxID, r.ucaDstBoxID))) {
        WriteLog(1, nullptr, 0, "QueryDetail chk2 [%s] [%d]", LogText(volume), __LINE__);
        return false;
    }
    return Bit((t.ucSessionFlags & ZRK_SESFLAG_WHOLE_VOLUME) != 0) == r.uiWholeVolumeFlag &&
           (t.uiSrcOlu & 0xFFFF) == r.uhSrcOlu && (t.uiDstOlu & 0xFFFF) == r.uhDstOlu &&
           static_cast<uint32_t>(t.ullSrcExtent) == r.uiSrcExtent &&
           static_cast<uint32_t>(t.ullDstExtent) == r.uiDstExtent &&
           static_cast<uint32_t>(t.ullSrcSize) == r.uiSrcSize;
}

// The record of a page 0x44 reply.
TvcDetail DecodeReply(const unsigned char *reply) {
    TVC_DETAIL_INFO raw;
    std::memcpy(&raw, reply + ZRK_PAGE_HEAD_LEN, sizeof raw);
    return DecodeTvcDetail(raw);
}

// ---- the page-based sources ----------------------------------------------------------------

// The page-based detail of the identifier in the request.
int ById(const char *volume, const COPY_REQ &request, TVC_DETAIL_INFO *detail) {
    unsigned char reply[ZRK_TVC_DETAIL_REPLY_LEN];
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_TVC_DETAIL, request.SrcOlu, reply, sizeof reply) != 0)
        return LogErr(1, kName, volume, __LINE__);
    const TvcDetail t = DecodeReply(reply);
    if (t.ucStatus == 0 || t.ucVolumeRole != request.ucVolumeRole)
        return FailEnd(ZRK_ERR_NO_SESSION, 1, kName, volume, __LINE__);
    std::memcpy(detail, reply + ZRK_PAGE_HEAD_LEN, sizeof *detail);
    return LogOk(1, kName, volume, __LINE__);
}

// The session of the request in the detail list, which holds the sessions
// of every family on the volume.
int FromDetailList(const char *volume, const CopyReq &r, TVC_DETAIL_INFO *detail) {
    DetailList list;
    if (ReadDetailList(volume, 0, list) != 0) return LogErr(1, kName, volume, __LINE__);
    for (int i = 0; i < list.Count(); ++i) {
        const DetailEntry e = DecodeDetailEntry(list[i]);
        if (!ListMatches(e, r)) continue;
        *detail = FromList(e);
        WriteLog(1, detail, sizeof *detail, " tpTvcDetail(TVC_DETAIL_INFO) [%d]", __LINE__);
        return LogOk(1, kName, volume, __LINE__);
    }
    return FailEnd(ZRK_ERR_NO_SESSION, 1, kName, volume, __LINE__);
}

// The session of the request among the identifier lists of pages 0x15 and
// 0x19, each candidate read through page 0x44.
int FromIdLists(const char *volume, unsigned char remoteSupport, const CopyReq &r,
                TVC_DETAIL_INFO *detail) {
    for (const unsigned char page : {ZRK_PAGE_REMOTE_KZP_LIST, ZRK_PAGE_REMOTE_VZ_LIST}) {
        unsigned char *raw = nullptr;
        int count = 0;
        if (GetSessionIdList(volume, page, remoteSupport, r.ucVolumeRole, &raw, &count) != 0)
            return LogErr(1, kName, volume, __LINE__);
        const Buffer ids(raw);
        for (int k = 0; k < count; ++k) {
            SESSION_ID_ENTRY raw16;
            std::memcpy(&raw16, ids.get() + ZRK_SESSION_LIST_HEAD_LEN + sizeof raw16 * k,
                        sizeof raw16);
            const SessionIdEntry entry = DecodeSessionIdEntry(raw16);
            if (entry.ucVolumeRole != r.ucVolumeRole || (entry.uiSrcOlu & 0xFFFF) != r.uhSrcOlu ||
                (entry.uiDstOlu & 0xFFFF) != r.uhDstOlu ||
                Bit((entry.ucFlags & ZRK_SESFLAG_REMOTE) != 0) != r.ucRemoteFlag)
                continue;
            unsigned char reply[ZRK_TVC_DETAIL_REPLY_LEN];
            if (ExecTravoIn(volume, 0x01, ZRK_PAGE_TVC_DETAIL, raw16.ucaSessionID, reply,
                            sizeof reply) != 0)
                return LogErr(1, kName, volume, __LINE__);
            if (!TvcMatches(DecodeReply(reply), r, volume)) continue;
            std::memcpy(detail, reply + ZRK_PAGE_HEAD_LEN, sizeof *detail);
            WriteLog(kDumpLevel, reply, sizeof reply, "TVC Detail Information");
            return LogOk(1, kName, volume, __LINE__);
        }
    }
    return FailEnd(ZRK_ERR_NO_SESSION, 1, kName, volume, __LINE__);
}

// ---- the classic pages ------------------------------------------------------------------

// What the classic pages found: none, a VZ or a KZP session.
enum class Found { None, Vz, Kzp };

// By identifier: the VZ pages first, then the KZP pages. -1 ends the query.
int ClassicById(const char *volume, const CopySupport &s, unsigned char remoteSupport,
                const COPY_REQ &request, RVZ_DETAIL_INFO *record, Found *found) {
    if (s.AnyHas({ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_FLAGS_RVZ}, ZRK_SUPPORT_KIND)) {
        const int rc = GetSessionDetailInfo(volume, request.SrcOlu, ZRK_PAGE_REMOTE_VZ_DETAIL,
                                            remoteSupport, request.ucVolumeRole, record);
        if (rc == -1) return LogErr(1, kShortName, volume, __LINE__);
        if (rc == 0) {
            *found = Found::Vz;
            return 0;
        }
    }
    if (s.AnyHas({ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_REMOTE_KZP}, ZRK_SUPPORT_KIND)) {
        const unsigned char page =
            request.RemoteFlag != 0 ? ZRK_PAGE_REMOTE_KZP_DETAIL : ZRK_PAGE_LOCAL_KZP_DETAIL;
        const int rc = GetSessionDetailInfo(volume, request.SrcOlu, page, remoteSupport,
                                            request.ucVolumeRole, record);
        if (rc == -1) return LogErr(1, kShortName, volume, __LINE__);
        if (rc == 0) *found = Found::Kzp;
    }
    return 0;
}

// By request: the VZ search first, then the KZP search; a search that finds
// nothing lets the query go on. -1 ends the query.
int ClassicByRequest(const char *volume, const CopySupport &s, unsigned char remoteSupport,
                     const COPY_REQ &request, RVZ_DETAIL_INFO *record, Found *found) {
    unsigned char sessionId[2] = {};
    if (s.AnyHas({ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_FLAGS_RVZ}, ZRK_SUPPORT_KIND)) {
        if (SearchVzSession(volume, &request, remoteSupport, sessionId, record) == 0) {
            *found = Found::Vz;
            return 0;
        }
        if (ZRKerrno != ZRK_ERR_NO_SESSION) return LogErr(1, kName, volume, __LINE__);
    }
    if (s.AnyHas({ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_REMOTE_KZP}, ZRK_SUPPORT_KIND)) {
        if (SearchKzpSession(volume, &request, remoteSupport, sessionId, record) == 0) {
            *found = Found::Kzp;
            return 0;
        }
        if (ZRKerrno != ZRK_ERR_NO_SESSION) return LogErr(1, kName, volume, __LINE__);
    }
    return 0;
}

}  // namespace

extern "C" int QueryDetail(const char *volume, unsigned int optionFlag, const COPY_REQ *request,
                           TVC_DETAIL_INFO *detail) {
    LogIn(1, kName, volume, __LINE__);
    if (request == nullptr || detail == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    const bool byId = (optionFlag & ZRK_OPT_SESSION_ID) != 0;
    if (CheckProduct(volume) != 0) return LogErr(1, kName, volume, __LINE__);
    if (!byId && CheckBoxID(volume, request, nullptr) != 0)
        return LogErr(1, kName, volume, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    unsigned char remoteSupport = 0;
    if (GetSupportCopyInfo(volume, support, &remoteSupport) != 0)
        return LogErr(1, kName, volume, __LINE__);
    const CopySupport s(support);
    const CopyReq r = DecodeCopyReq(*request);

    if (s.Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP)) {
        if (byId) return ById(volume, *request, detail);
        if (s.DetailList()) return FromDetailList(volume, r, detail);
        return FromIdLists(volume, remoteSupport, r, detail);
    }

    RVZ_DETAIL_INFO record{};
    Found found = Found::None;
    const int rc = byId ? ClassicById(volume, s, remoteSupport, *request, &record, &found)
                        : ClassicByRequest(volume, s, remoteSupport, *request, &record, &found);
    if (rc != 0) return rc;
    if (found == Found::None) return FailEnd(ZRK_ERR_NO_SESSION, 1, kName, volume, __LINE__);
    *detail = found == Found::Vz ? FromVz(record) : FromKzp(record);
    return LogOk(1, kName, volume, __LINE__);
}
