// The classic detail records of one session (RVZ_DETAIL_INFO for the VZ
// family, RKZP_DETAIL_INFO for the KZP family): read by identifier from
// whichever detail page the array offers, or built from a detail-list entry;
// the search of the session that a classic copy request names; the failover
// session of a volume; and the record searches over the RVZ buffer page 0x24.
#include "zrkcmd.h"
#include "zrkcmulti.h"
#include "zrklvmain.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace zrk;

namespace zrk {

// ---- the 152-byte record ---------------------------------------------------------

namespace {

struct ClassicDetailMap {
    template <class Way, class Wire, class Host> static void Walk(Wire &w, Host &h) {
        Way::Be(w.ucaSessionID, h.uhSessionId);
        Way::Be(w.ucaPartnerID, h.uhPartnerId);
        Way::Copy(w.ucFlags, h.ucFlags);
        Way::Copy(w.ucPhaseMode, h.ucPhaseMode);
        Way::Copy(w.Status, h.ucStatus);
        Way::Copy(w.ucState7, h.ucState7);
        Way::Copy(w.ucaFamily8, h.ucaFamily8);
        Way::Be(w.ucaCopiedBlock, h.uiCopiedBlock);
        Way::Copy(w.ucVolumeRole, h.ucVolumeRole);
        Way::Copy(w.ucaReserved17, h.ucaReserved17);
        Way::Copy(w.SrcBoxID, h.ucaSrcBoxID);
        Way::Copy(w.ucaReserved64, h.ucaReserved64);
        Way::Copy(w.DstBoxID, h.ucaDstBoxID);
        Way::Copy(w.ucaReserved112, h.ucaReserved112);
        Way::Be(w.SrcOlu, h.uiSrcOlu);
        Way::Be(w.DstOlu, h.uiDstOlu);
        Way::Be(w.ucaExtentCnt, h.uhExtentCnt);
        Way::Copy(w.ucaFamily130, h.ucaFamily130);
        Way::Copy(w.ucaReserved132, h.ucaReserved132);
        Way::Be(w.SrcExtent, h.uiSrcExtent);
        Way::Be(w.SrcSize, h.uiSrcSize);
        Way::Be(w.DstExtent, h.uiDstExtent);
        Way::Copy(w.ucaReserved148, h.ucaReserved148);
    }
};

}  // namespace

ClassicDetail DecodeClassicDetail(const RVZ_DETAIL_INFO &in) {
    return DecodeWith<ClassicDetailMap, ClassicDetail>(in);
}
RVZ_DETAIL_INFO EncodeClassicDetail(const ClassicDetail &in) {
    return EncodeWith<ClassicDetailMap, RVZ_DETAIL_INFO>(in);
}

// ---- conversions into the classic record --------------------------------------

namespace {

constexpr uint8_t kModeSnap = 0x40;    // KZP mode byte: SnapKZP
constexpr uint8_t kModeMonitor = 0xC0; // KZP mode byte: monitor session
constexpr uint8_t kCopyKindMonitor = 3;

// What the VZ and KZP records take alike from a list entry.
ClassicDetail CommonFromList(const DetailEntry &e) {
    ClassicDetail d{};
    d.uhSessionId = e.uhSessionId;
    d.uhPartnerId = e.uhPartnerId;
    d.ucStatus = e.ucStatus;
    d.ucState7 = e.ucState106;
    d.uiCopiedBlock = static_cast<uint32_t>(e.ullCopiedBlock);
    d.ucVolumeRole = 1;
    std::memcpy(d.ucaSrcBoxID, e.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(d.ucaDstBoxID, e.ucaDstBoxID, ZRK_BOXID_LEN);
    d.uiSrcOlu = e.uiSrcOlu;
    d.uiDstOlu = e.uiDstOlu;
    d.uhExtentCnt = e.uhExtentCnt;
    d.uiSrcExtent = static_cast<uint32_t>(e.ullSrcExtent);
    d.uiSrcSize = static_cast<uint32_t>(e.ullSrcSize);
    d.uiDstExtent = static_cast<uint32_t>(e.ullDstExtent);
    return d;
}

}  // namespace

ClassicDetail VzDetailFromList(const DetailEntry &e) {
    ClassicDetail d = CommonFromList(e);
    d.ucFlags = static_cast<uint8_t>(
        (e.ucSessionFlags & (ZRK_SESFLAG_WHOLE_VOLUME | ZRK_SESFLAG_REMOTE)) |
        (e.ucModeFlags & (ZRK_MODEFLAG_DEST_SIDE | ZRK_MODEFLAG_SYNC | ZRK_MODEFLAG_AUTO_SPLIT |
                          ZRK_MODEFLAG_MANUAL_RCV)));
    d.ucPhaseMode = e.ucPhase;
    d.ucaFamily8[0] = e.ucTransferMode;
    d.ucaFamily8[1] = e.ucModeChange;
    // Bytes 14 and 15 of the entry: the low half of its header word.
    d.ucaFamily130[0] = static_cast<uint8_t>(e.uiLapseTime >> 8);
    d.ucaFamily130[1] = static_cast<uint8_t>(e.uiLapseTime);
    return d;
}

ClassicDetail KzpDetailFromList(const DetailEntry &e) {
    ClassicDetail d = CommonFromList(e);
    d.ucFlags = static_cast<uint8_t>(
        (e.ucSessionFlags & (ZRK_SESFLAG_WHOLE_VOLUME | ZRK_SESFLAG_REMOTE)) |
        (e.ucModeFlags & ZRK_MODEFLAG_DEST_SIDE));
    uint8_t mode = e.ucPhase;
    if ((e.ucSessionFlags & ZRK_SESFLAG_QUICKKZP) != 0) mode |= kModeQuick;
    if (e.ucCopyKind == kCopyKindMonitor) mode = e.ucPhase | kModeMonitor;
    if ((e.ucSessionFlags & ZRK_SESFLAG_SNAPKZP) != 0) mode = e.ucPhase | kModeSnap;
    d.ucPhaseMode = mode;
    PutBe32(d.ucaFamily8, e.uiLapseTime);
    return d;
}

// The 40-byte record of pages 0x08 (VZ) and 0x04 (KZP).
ClassicDetail WidenLocalDetail(const unsigned char *r, bool vz) {
    ClassicDetail d{};
    d.uhSessionId = Be16(r);
    d.ucFlags = r[2] & ZRK_SESFLAG_WHOLE_VOLUME;
    d.ucStatus = r[2] & 0x0F;
    d.ucState7 = r[3];
    d.uiCopiedBlock = Be32(r + 8);
    d.ucVolumeRole = r[12];
    if (vz) {
        d.ucPhaseMode = (r[2] >> 4) & 0x07;
        d.uhExtentCnt = r[13];
        d.ucaFamily130[0] = r[14];
        d.ucaFamily130[1] = r[15];
        d.uiSrcOlu = Be16(r + 18);
        d.uiDstOlu = Be16(r + 22);
    } else {
        d.ucPhaseMode = static_cast<uint8_t>((r[18] & 0x0F) | ((r[2] & 0x20) != 0 ? kModeQuick : 0));
        std::memcpy(d.ucaFamily8, r + 4, 4);
        d.uiSrcOlu = Be16(r + 14);
        d.uiDstOlu = Be16(r + 16);
        d.uhExtentCnt = r[21];
    }
    d.uiSrcExtent = Be32(r + 24);
    d.uiSrcSize = Be32(r + 28);
    d.uiDstExtent = Be32(r + 32);
    return d;
}

// A monitor or SnapKZP session read through the page-based detail page.
ClassicDetail KzpDetailFromTvc(const TvcDetail &t) {
    ClassicDetail d{};
    d.uhSessionId = t.uhSessionId;
    d.ucFlags = t.ucSessionFlags & ZRK_SESFLAG_WHOLE_VOLUME;
    uint8_t mode = t.ucPhase;
    if (t.ucCopyKind == kCopyKindMonitor) mode |= kModeMonitor;
    if ((t.ucSessionFlags & ZRK_SESFLAG_SNAPKZP) != 0) mode |= kModeSnap;
    d.ucPhaseMode = mode;
    d.ucStatus = t.ucStatus;
    d.ucState7 = t.ucState20;
    PutBe32(d.ucaFamily8, t.uiLapseTime);
    d.uiCopiedBlock = static_cast<uint32_t>(t.ullCopiedBlock);
    d.ucVolumeRole = t.ucVolumeRole;
    d.uiSrcOlu = t.uiSrcOlu;
    d.uiDstOlu = t.uiDstOlu;
    d.uhExtentCnt = t.uhExtentCnt;
    d.uiSrcExtent = static_cast<uint32_t>(t.ullSrcExtent);
    d.uiSrcSize = static_cast<uint32_t>(t.ullSrcSize);
    d.uiDstExtent = static_cast<uint32_t>(t.ullDstExtent);
    return d;
}

}  // namespace zrk

namespace {

constexpr size_t kBuff24HeadLen = 16;   // page 0x24: buffer records from byte 16
constexpr size_t kCm24HeadLen = 96;     // buffer record: CM records from byte 96
constexpr int kTraceLevel = 2;          // level of the search traces

// The search by request: the detail list when the array keeps one for the
// family, else the identifier list with one detail read per candidate.
int SearchSession(const char *name, bool vz, const char *volume, const COPY_REQ *request,
                  unsigned char remoteSupport, unsigned char *sessionId,
                  RVZ_DETAIL_INFO *detail) {
    LogIn(1, name, volume, __LINE__);
    if (request == nullptr || sessionId == nullptr || detail == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, name, volume, __LINE__);
    const CopySupport s;
    const CopyReq req = DecodeCopyReq(*request);

    const bool detailList =
        vz ? s.AnyHas({ZRK_SUPPORT_FLAGS_VZ, ZRK_SUPPORT_FLAGS_RVZ}, ZRK_SUPPORT_DETAIL_LIST)
           : s.AnyHas({ZRK_SUPPORT_FLAGS_KZP, ZRK_SUPPORT_FLAGS_REMOTE_KZP}, ZRK_SUPPORT_DETAIL_LIST);
    if (detailList) {
        // The list holds the sessions of every family on the volume: its
        // area grows with it.
        DetailList list;
        if (ReadDetailList(volume, 0, list) != 0) return LogErr(1, name, volume, __LINE__);
        for (int i = 0; i < list.Count(); ++i) {
            const DetailEntry e = DecodeDetailEntry(list[i]);
            const bool kind = vz ? e.ucCopyKind == 2 : (e.ucCopyKind == 1 || e.ucCopyKind == 3);
            if (!kind || !IsClassicRequest(e, req)) continue;
            PutBe16(sessionId, e.IdInUse());
            *detail = EncodeClassicDetail(vz ? VzDetailFromList(e)
                                                  : KzpDetailFromList(e));
            return LogOk(1, name, volume, __LINE__);
        }
        return FailEnd(ZRK_ERR_NO_SESSION, 1, name, volume, __LINE__);
    }

    unsigned char *raw = nullptr;
    int count = 0;
    if (GetSessionIdList(volume, vz ? ZRK_PAGE_REMOTE_VZ_LIST : ZRK_PAGE_REMOTE_KZP_LIST,
                         remoteSupport, req.ucVolumeRole, &raw, &count) != 0)
        return LogErr(1, name, volume, __LINE__);
    const Buffer ids(raw);
    const unsigned char detailPage =
        vz ? ZRK_PAGE_REMOTE_VZ_DETAIL
           : (req.ucRemoteFlag != 0 ? ZRK_PAGE_REMOTE_KZP_DETAIL : ZRK_PAGE_LOCAL_KZP_DETAIL);
    for (int k = 0; k < count; ++k) {
        SESSION_ID_ENTRY raw16;
        std::memcpy(&raw16, ids.get() + ZRK_SESSION_LIST_HEAD_LEN + sizeof raw16 * k, sizeof raw16);
        const SessionIdEntry entry = DecodeSessionIdEntry(raw16);
        if (entry.ucVolumeRole != req.ucVolumeRole || (entry.uiSrcOlu & 0xFFFF) != req.uhSrcOlu ||
            (entry.uiDstOlu & 0xFFFF) != req.uhDstOlu ||
            ((entry.ucFlags & ZRK_SESFLAG_REMOTE) != 0 ? 1 : 0) != req.ucRemoteFlag)
            continue;
        RVZ_DETAIL_INFO record{};
        const int rc = GetSessionDetailInfo(volume, raw16.ucaSessionID, detailPage, remoteSupport,
                                            req.ucVolumeRole, &record);
        if (rc == -2) continue;
        if (rc != 0) return LogErr(1, name, volume, __LINE__);
        const ClassicDetail d = DecodeClassicDetail(record);
        const uint8_t remote = (d.ucFlags & ZRK_SESFLAG_REMOTE) != 0 ? 1 : 0;
        if (remote != req.ucRemoteFlag) continue;
        if (remote != 0 && (!SameBoxId(d.ucaSrcBoxID, req.ucaSrcBoxID) ||
                            !SameBoxId(d.ucaDstBoxID, req.ucaDstBoxID)))
            continue;
        if (d.ucVolumeRole != req.ucVolumeRole) continue;
        if (req.uiWholeVolumeFlag != ((d.ucFlags & ZRK_SESFLAG_WHOLE_VOLUME) != 0 ? 1u : 0u)) continue;
        if ((d.uiSrcOlu & 0xFFFF) != req.uhSrcOlu || (d.uiDstOlu & 0xFFFF) != req.uhDstOlu) continue;
        if (d.uiSrcExtent != req.uiSrcExtent || d.uiDstExtent != req.uiDstExtent ||
            d.uiSrcSize != req.uiSrcSize)
            continue;
        std::memcpy(sessionId, raw16.ucaSessionID, 2);
        *detail = record;
        return LogOk(1, name, volume, __LINE__);
    }
    return FailEnd(ZRK_ERR_NO_SESSION, 1, name, volume, __LINE__);
}

}  // namespace

// ---- one session's classic detail ----------------------------------------------------

extern "C" int GetSessionDetailInfo(const char *volume, const unsigned char *sessionId,
                                    unsigned char page, unsigned char remoteSupport,
                                    unsigned char volumeRole, RVZ_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "GetSessionDetailInfo";
    LogIn(1, kName, volume, __LINE__);
    if (sessionId == nullptr || detail == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);

    // The page-based detail answers for the monitor and SnapKZP sessions,
    // which the classic KZP pages do not describe.
    if (CopySupport().Has(ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP) &&
        (page == ZRK_PAGE_LOCAL_KZP_DETAIL || page == ZRK_PAGE_REMOTE_KZP_DETAIL ||
         page == ZRK_PAGE_TVC_DETAIL)) {
        unsigned char reply[ZRK_TVC_DETAIL_REPLY_LEN];
        if (ExecTravoIn(volume, 0x01, ZRK_PAGE_TVC_DETAIL, sessionId, reply, sizeof reply) != 0)
            return LogErr(1, kName, volume, __LINE__);
        TVC_DETAIL_INFO raw;
        std::memcpy(&raw, reply + ZRK_PAGE_HEAD_LEN, sizeof raw);
        const TvcDetail t = DecodeTvcDetail(raw);
        if (t.ucStatus == 0 || t.ucVolumeRole != volumeRole) return NoSuchSession(kName, volume, __LINE__);
        if (t.ucCopyKind == 3 || (t.ucSessionFlags & ZRK_SESFLAG_SNAPKZP) != 0) {
            *detail = EncodeClassicDetail(KzpDetailFromTvc(t));
            return LogOk(1, kName, volume, __LINE__);
        }
    }

    if (page == ZRK_PAGE_REMOTE_VZ_DETAIL && (remoteSupport & ZRK_REMOTE_RVZ) == 0)
        page = ZRK_PAGE_LOCAL_VZ_DETAIL;
    if (page == ZRK_PAGE_REMOTE_KZP_DETAIL && (remoteSupport & ZRK_REMOTE_KZP) == 0)
        page = ZRK_PAGE_LOCAL_KZP_DETAIL;

    if (page == ZRK_PAGE_LOCAL_KZP_DETAIL || page == ZRK_PAGE_LOCAL_VZ_DETAIL) {
        unsigned char reply[ZRK_LOCAL_DETAIL_LEN];
        if (ExecTravoIn(volume, 0x01, page, sessionId, reply, sizeof reply) != 0)
            return LogErr(1, kName, volume, __LINE__);
        const unsigned char *record = reply + ZRK_PAGE_HEAD_LEN;
        if ((record[2] & 0x0F) == 0 || record[12] != volumeRole)
            return NoSuchSession(kName, volume, __LINE__);
        *detail = EncodeClassicDetail(
            WidenLocalDetail(record, page == ZRK_PAGE_LOCAL_VZ_DETAIL));
        return LogOk(1, kName, volume, __LINE__);
    }
    if (page == ZRK_PAGE_REMOTE_KZP_DETAIL || page == ZRK_PAGE_REMOTE_VZ_DETAIL) {
        unsigned char reply[ZRK_REMOTE_DETAIL_LEN];
        if (ExecTravoIn(volume, 0x01, page, sessionId, reply, sizeof reply) != 0)
            return LogErr(1, kName, volume, __LINE__);
        RVZ_DETAIL_INFO record;
        std::memcpy(&record, reply + ZRK_PAGE_HEAD_LEN, sizeof record);
        if (record.Status == 0 || record.ucVolumeRole != volumeRole)
            return NoSuchSession(kName, volume, __LINE__);
        *detail = record;
        return LogOk(1, kName, volume, __LINE__);
    }
    // Page 0x44 of a session the classic pages describe, or no detail page.
    return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
}

extern "C" int SearchVzSession(const char *volume, const COPY_REQ *request,
                               unsigned char remoteSupport, unsigned char *sessionId,
                               RVZ_DETAIL_INFO *detail) {
    return SearchSession("SearchVzSession", true, volume, request, remoteSupport, sessionId,
                         detail);
}

extern "C" int SearchKzpSession(const char *volume, const COPY_REQ *request,
                                unsigned char remoteSupport, unsigned char *sessionId,
                                RKZP_DETAIL_INFO *detail) {
    return SearchSession("SearchKzpSession", false, volume, request, remoteSupport, sessionId,
                         detail);
}

// ---- the failover session of a volume ---------------------------------------------------

extern "C" int GetTfoSession(const char *volume, const unsigned char *olu,
                             const unsigned char *boxId, unsigned char *entry) {
    static constexpr const char kName[] = "GetTfoSession";
    LogIn(1, kName, volume, __LINE__);
    if (olu == nullptr || boxId == nullptr || entry == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    Entries page = AllocateDetailEntries(ZRK_DETAIL_PAGE_ENTRIES);
    if (!page) {
        TraceText(kTraceLevel, "ERR", kName, "malloc() error : %s, alloc size=%d",
                  std::strerror(ENOMEM),
                  static_cast<int>(ZRK_DETAIL_PAGE_ENTRIES * sizeof(DETAIL_LIST_INFO)));
        return LogErr(1, kName, volume, __LINE__);
    }

    // Every page of this read carries the failover selection of the list.
    const OptionFlagScope selection(ZRK_OPT_LIST_FAILOVER);
    const int walked =
        WalkDetailPages(kName, volume, ZRK_LIST_MODE_ALL, page.get(), [&](int count) {
            for (int i = 0; i < count; ++i) {
                const DETAIL_LIST_INFO &e = page[i];
                const bool source =
                    std::memcmp(e.SrcOlu + 2, olu, 2) == 0 && SameBoxId(e.SrcBoxID, boxId);
                const bool target =
                    std::memcmp(e.DstOlu + 2, olu, 2) == 0 && SameBoxId(e.DstBoxID, boxId);
                if (source || target) {
                    std::memcpy(entry, &e, sizeof e);
                    return PageStep::Stop;
                }
            }
            return PageStep::Next;
        });
    if (walked < 0) return LogErr(1, kName, volume, __LINE__);
    if (walked == 0) return FailEnd(ZRK_ERR_NO_TFO, 1, kName, volume, __LINE__);
    return LogOk(1, kName, volume, __LINE__);
}

// ---- records of the RVZ buffer page 0x24 (long form) -------------------------------------

extern "C" int SearchBuffInfo24_Ex(const unsigned char *reply, size_t replyLength,
                                   unsigned char buffId, unsigned char *record) {
    static constexpr const char kName[] = "SearchBuffInfo24_Ex";
    TraceText(kTraceLevel, "INFO", kName, "START");
    TraceText(kTraceLevel, "INFO", kName, "ucBuffId=%d", buffId);
    if (reply == nullptr || record == nullptr || replyLength < kBuff24HeadLen)
        return TraceEnd(kTraceLevel, kName, -1);
    const size_t fits = (replyLength - kBuff24HeadLen) / ZRK_BUFF24_RECORD_LEN;
    const size_t count = std::min<size_t>(Be16(reply + 10), fits);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char *r = reply + kBuff24HeadLen + i * ZRK_BUFF24_RECORD_LEN;
        if (r[0] == buffId) {
            std::memcpy(record, r, ZRK_BUFF24_RECORD_LEN);
            return TraceEnd(kTraceLevel, kName, 0);
        }
    }
    return TraceEnd(kTraceLevel, kName, -1);
}

extern "C" int SearchCmInfo24_Ex(const unsigned char *buffRecord, size_t recordLength,
                                 const unsigned char *cmId, unsigned char *record) {
    static constexpr const char kName[] = "SearchCmInfo24_Ex";
    TraceText(kTraceLevel, "INFO", kName, "START");
    if (cmId != nullptr) TraceText(kTraceLevel, "INFO", kName, "ucpCmId=0x%2x%2x", cmId[0], cmId[1]);
    if (buffRecord == nullptr || cmId == nullptr || record == nullptr ||
        recordLength < kCm24HeadLen)
        return TraceEnd(kTraceLevel, kName, -1);
    const size_t fits = (recordLength - kCm24HeadLen) / ZRK_CM24_RECORD_LEN;
    const size_t count = std::min<size_t>(Be16(buffRecord + 64), fits);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char *r = buffRecord + kCm24HeadLen + i * ZRK_CM24_RECORD_LEN;
        if (std::memcmp(r, cmId, 2) == 0) {
            std::memcpy(record, r, ZRK_CM24_RECORD_LEN);
            return TraceEnd(kTraceLevel, kName, 0);
        }
    }
    return TraceEnd(kTraceLevel, kName, -1);
}
