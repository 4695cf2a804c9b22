// The classic detail records of one session (RVZ_DETAIL_INFO for the VZ
// family, RKZP_DETAIL_INFO for the KZP family): read by identifier from
// whichever detail page the array offers, or built from a detail-list entry;
// the search of the session that a classic copy request names; the failover
// session of a volume; and the record searches over the RVZ buffer page 0x24.
#include "platform.h"
#include "zrkcmd.h"
#include "zrkcmulti.h"
#include "zrklvmain.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zrk {

// ---- the 152-byte record ---------------------------------------------------------

ClassicDetail DecodeClassicDetail(const RVZ_DETAIL_INFO &in) {
    ClassicDetail out{};
    out.uhSessionId = Be16(in.ucaSessionID);
    out.uhPartnerId = Be16(in.ucaPartnerID);
    out.ucFlags = in.ucFlags;
    out.ucPhaseMode = in.ucPhaseMode;
    out.ucStatus = in.Status;
    out.ucState7 = in.ucState7;
    std::memcpy(out.ucaFamily8, in.ucaFamily8, sizeof out.ucaFamily8);
    out.uiCopiedBlock = Be32(in.ucaCopiedBlock);
    out.ucVolumeRole = in.ucVolumeRole;
    std::memcpy(out.ucaReserved17, in.ucaReserved17, sizeof out.ucaReserved17);
    std::memcpy(out.ucaSrcBoxID, in.SrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved64, in.ucaReserved64, sizeof out.ucaReserved64);
    std::memcpy(out.ucaDstBoxID, in.DstBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved112, in.ucaReserved112, sizeof out.ucaReserved112);
    out.uiSrcOlu = Be32(in.SrcOlu);
    out.uiDstOlu = Be32(in.DstOlu);
    out.uhExtentCnt = Be16(in.ucaExtentCnt);
    std::memcpy(out.ucaFamily130, in.ucaFamily130, sizeof out.ucaFamily130);
    std::memcpy(out.ucaReserved132, in.ucaReserved132, sizeof out.ucaReserved132);
    out.uiSrcExtent = Be32(in.SrcExtent);
    out.uiSrcSize = Be32(in.SrcSize);
    out.uiDstExtent = Be32(in.DstExtent);
    std::memcpy(out.ucaReserved148, in.ucaReserved148, sizeof out.ucaReserved148);
    return out;
}

RVZ_DETAIL_INFO EncodeClassicDetail(const ClassicDetail &in) {
    RVZ_DETAIL_INFO out{};
    PutBe16(out.ucaSessionID, in.uhSessionId);
    PutBe16(out.ucaPartnerID, in.uhPartnerId);
    out.ucFlags = in.ucFlags;
    out.ucPhaseMode = in.ucPhaseMode;
    out.Status = in.ucStatus;
    out.ucState7 = in.ucState7;
    std::memcpy(out.ucaFamily8, in.ucaFamily8, sizeof out.ucaFamily8);
    PutBe32(out.ucaCopiedBlock, in.uiCopiedBlock);
    out.ucVolumeRole = in.ucVolumeRole;
    std::memcpy(out.ucaReserved17, in.ucaReserved17, sizeof out.ucaReserved17);
    std::memcpy(out.SrcBoxID, in.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved64, in.ucaReserved64, sizeof out.ucaReserved64);
    std::memcpy(out.DstBoxID, in.ucaDstBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaReserved112, in.ucaReserved112, sizeof out.ucaReserved112);
    PutBe32(out.SrcOlu, in.uiSrcOlu);
    PutBe32(out.DstOlu, in.uiDstOlu);
    PutBe16(out.ucaExtentCnt, in.uhExtentCnt);
    std::memcpy(out.ucaFamily130, in.ucaFamily130, sizeof out.ucaFamily130);
    std::memcpy(out.ucaReserved132, in.ucaReserved132, sizeof out.ucaReserved132);
    PutBe32(out.SrcExtent, in.uiSrcExtent);
    PutBe32(out.SrcSize, in.uiSrcSize);
    PutBe32(out.DstExtent, in.uiDstExtent);
    std::memcpy(out.ucaReserved148, in.ucaReserved148, sizeof out.ucaReserved148);
    return out;
}

// ---- conversions into the classic record --------------------------------------

namespace {

constexpr uint8_t kModeQuick = 0x20;   // KZP mode byte: QuickKZP
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

using zrk::Be16;
using zrk::Buffer;
using zrk::ErrLine;
using zrk::InLine;
using zrk::LogText;
using zrk::OkLine;
using zrk::PutBe16;

constexpr size_t kBuff24HeadLen = 16;   // page 0x24: buffer records from byte 16
constexpr size_t kCm24HeadLen = 96;     // buffer record: CM records from byte 96
constexpr int kTraceLevel = 2;          // level of the search traces

bool SameBoxId(const unsigned char *a, const unsigned char *b) {
    return std::memcmp(a, b, ZRK_BOXID_LEN) == 0;
}

// One text line to the API trace under the given word.
void Trace(const char *word, const char *name, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
void Trace(const char *word, const char *name, const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(caTrcData, sizeof caTrcData, format, args);
    va_end(args);
    ZRKC_Com_OutputTrace(kTraceLevel, 1, word, name, nullptr, 0, caTrcData);
}

int TraceEnd(const char *name, int ret) {
    Trace(ret == 0 ? "INFO" : "ERR", name, "END(ret=%d, ZRKerrno=%d)", ret, ZRKerrno);
    return ret;
}

// -2 of the detail readers: the array has no such session; ZRKerrno stays.
int NoSession(const char *name, const char *volume, int line) {
    WriteLog(1, nullptr, 0, "%s No Such Session [%s] [%d]", name, LogText(volume), line);
    return -2;
}

// The search by request: the detail list when the array keeps one for the
// family, else the identifier list with one detail read per candidate.
int SearchSession(const char *name, bool vz, const char *volume, const COPY_REQ *request,
                  unsigned char remoteSupport, unsigned char *sessionId,
                  RVZ_DETAIL_INFO *detail) {
    InLine(1, name, volume, __LINE__);
    if (request == nullptr || sessionId == nullptr || detail == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(1, name, volume, __LINE__);
    }
    unsigned char s[ZRK_SUPPORT_DATA_LEN] = {};
    CtrlSupportData(s, ZRK_STORE_READ);
    const zrk::CopyReq req = zrk::DecodeCopyReq(*request);

    const bool detailList = vz ? ((s[23] | s[31]) & 0x80) != 0 : ((s[7] | s[15]) & 0x80) != 0;
    if (detailList) {
        const unsigned char page =
            vz ? ((s[31] & 0x01) != 0 ? ZRK_PAGE_REMOTE_VZ_LIST : ZRK_PAGE_LOCAL_VZ_LIST)
               : ((s[15] & 0x01) != 0 ? ZRK_PAGE_REMOTE_KZP_LIST : ZRK_PAGE_LOCAL_KZP_LIST);
        unsigned char maxCount[ZRK_MAX_SESSION_LEN] = {};
        if (GetMaxSessionCount(volume, page, maxCount) != 0) return ErrLine(1, name, volume, __LINE__);
        const int capacity = Be16(maxCount + 2);
        zrk::Entries list = zrk::AllocateDetailEntries(static_cast<size_t>(capacity));
        if (!list) return ErrLine(1, name, volume, __LINE__);
        int count = 0;
        if (GetDetailList(volume, 0, &count, list.get(), capacity) != 0)
            return ErrLine(1, name, volume, __LINE__);
        for (int i = 0; i < count; ++i) {
            const zrk::DetailEntry e = zrk::DecodeDetailEntry(list[i]);
            const bool kind = vz ? e.ucCopyKind == 2 : (e.ucCopyKind == 1 || e.ucCopyKind == 3);
            if (!kind || e.RemoteBit() != req.ucRemoteFlag) continue;
            if ((e.uiSrcOlu & 0xFFFF) != req.uhSrcOlu || e.uiDstOlu != req.uiDstOluFull) continue;
            if (static_cast<uint32_t>(e.ullSrcExtent) != req.uiSrcExtent ||
                static_cast<uint32_t>(e.ullDstExtent) != req.uiDstExtent ||
                static_cast<uint32_t>(e.ullSrcSize) != req.uiSrcSize)
                continue;
            if (req.ucRemoteFlag != 0 && (!SameBoxId(e.ucaSrcBoxID, req.ucaSrcBoxID) ||
                                          !SameBoxId(e.ucaDstBoxID, req.ucaDstBoxID)))
                continue;
            PutBe16(sessionId, e.IdInUse());
            *detail = zrk::EncodeClassicDetail(vz ? zrk::VzDetailFromList(e)
                                                  : zrk::KzpDetailFromList(e));
            return OkLine(1, name, volume, __LINE__);
        }
        ZRKerrno = ZRK_ERR_NO_SESSION;
        return ErrLine(1, name, volume, __LINE__);
    }

    unsigned char *raw = nullptr;
    int count = 0;
    if (GetSessionIdList(volume, vz ? ZRK_PAGE_REMOTE_VZ_LIST : ZRK_PAGE_REMOTE_KZP_LIST,
                         remoteSupport, req.ucVolumeRole, &raw, &count) != 0)
        return ErrLine(1, name, volume, __LINE__);
    const Buffer ids(raw);
    const unsigned char detailPage =
        vz ? ZRK_PAGE_REMOTE_VZ_DETAIL
           : (req.ucRemoteFlag != 0 ? ZRK_PAGE_REMOTE_KZP_DETAIL : ZRK_PAGE_LOCAL_KZP_DETAIL);
    for (int k = 0; k < count; ++k) {
        SESSION_ID_ENTRY raw16;
        std::memcpy(&raw16, ids.get() + ZRK_SESSION_LIST_HEAD_LEN + sizeof raw16 * k, sizeof raw16);
        const zrk::SessionIdEntry entry = zrk::DecodeSessionIdEntry(raw16);
        if (entry.ucVolumeRole != req.ucVolumeRole || (entry.uiSrcOlu & 0xFFFF) != req.uhSrcOlu ||
            (entry.uiDstOlu & 0xFFFF) != req.uhDstOlu ||
            ((entry.ucFlags & ZRK_SESFLAG_REMOTE) != 0 ? 1 : 0) != req.ucRemoteFlag)
            continue;
        RVZ_DETAIL_INFO record{};
        const int rc = GetSessionDetailInfo(volume, raw16.ucaSessionID, detailPage, remoteSupport,
                                            req.ucVolumeRole, &record);
        if (rc == -2) continue;
        if (rc != 0) return ErrLine(1, name, volume, __LINE__);
        const zrk::ClassicDetail d = zrk::DecodeClassicDetail(record);
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
        return OkLine(1, name, volume, __LINE__);
    }
    ZRKerrno = ZRK_ERR_NO_SESSION;
    return ErrLine(1, name, volume, __LINE__);
}

}  // namespace

// ---- one session's classic detail ----------------------------------------------------

extern "C" int GetSessionDetailInfo(const char *volume, const unsigned char *sessionId,
                                    unsigned char page, unsigned char remoteSupport,
                                    unsigned char volumeRole, RVZ_DETAIL_INFO *detail) {
    static constexpr const char kName[] = "GetSessionDetailInfo";
    InLine(1, kName, volume, __LINE__);
    if (sessionId == nullptr || detail == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(1, kName, volume, __LINE__);
    }
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    CtrlSupportData(support, ZRK_STORE_READ);

    // The page-based detail answers for the monitor and SnapKZP sessions,
    // which the classic KZP pages do not describe.
    if ((support[4] & 0x04) != 0 && (page == ZRK_PAGE_LOCAL_KZP_DETAIL ||
                                     page == ZRK_PAGE_REMOTE_KZP_DETAIL ||
                                     page == ZRK_PAGE_TVC_DETAIL)) {
        unsigned char reply[ZRK_TVC_DETAIL_REPLY_LEN];
        if (ExecTravoIn(volume, 0x01, ZRK_PAGE_TVC_DETAIL, sessionId, reply, sizeof reply) != 0)
            return ErrLine(1, kName, volume, __LINE__);
        TVC_DETAIL_INFO raw;
        std::memcpy(&raw, reply + ZRK_PAGE_HEAD_LEN, sizeof raw);
        const zrk::TvcDetail t = zrk::DecodeTvcDetail(raw);
        if (t.ucStatus == 0 || t.ucVolumeRole != volumeRole) return NoSession(kName, volume, __LINE__);
        if (t.ucCopyKind == 3 || (t.ucSessionFlags & ZRK_SESFLAG_SNAPKZP) != 0) {
            *detail = zrk::EncodeClassicDetail(zrk::KzpDetailFromTvc(t));
            return OkLine(1, kName, volume, __LINE__);
        }
    }

    if (page == ZRK_PAGE_REMOTE_VZ_DETAIL && (remoteSupport & ZRK_REMOTE_RVZ) == 0)
        page = ZRK_PAGE_LOCAL_VZ_DETAIL;
    if (page == ZRK_PAGE_REMOTE_KZP_DETAIL && (remoteSupport & ZRK_REMOTE_KZP) == 0)
        page = ZRK_PAGE_LOCAL_KZP_DETAIL;

    if (page == ZRK_PAGE_LOCAL_KZP_DETAIL || page == ZRK_PAGE_LOCAL_VZ_DETAIL) {
        unsigned char reply[ZRK_LOCAL_DETAIL_LEN];
        if (ExecTravoIn(volume, 0x01, page, sessionId, reply, sizeof reply) != 0)
            return ErrLine(1, kName, volume, __LINE__);
        const unsigned char *record = reply + ZRK_PAGE_HEAD_LEN;
        if ((record[2] & 0x0F) == 0 || record[12] != volumeRole)
            return NoSession(kName, volume, __LINE__);
        *detail = zrk::EncodeClassicDetail(
            zrk::WidenLocalDetail(record, page == ZRK_PAGE_LOCAL_VZ_DETAIL));
        return OkLine(1, kName, volume, __LINE__);
    }
    if (page == ZRK_PAGE_REMOTE_KZP_DETAIL || page == ZRK_PAGE_REMOTE_VZ_DETAIL) {
        unsigned char reply[ZRK_REMOTE_DETAIL_LEN];
        if (ExecTravoIn(volume, 0x01, page, sessionId, reply, sizeof reply) != 0)
            return ErrLine(1, kName, volume, __LINE__);
        RVZ_DETAIL_INFO record;
        std::memcpy(&record, reply + ZRK_PAGE_HEAD_LEN, sizeof record);
        if (record.Status == 0 || record.ucVolumeRole != volumeRole)
            return NoSession(kName, volume, __LINE__);
        *detail = record;
        return OkLine(1, kName, volume, __LINE__);
    }
    // Page 0x44 of a session the classic pages describe, or no detail page.
    ZRKerrno = ZRK_ERR_PARAMETER;
    return ErrLine(1, kName, volume, __LINE__);
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
    InLine(1, kName, volume, __LINE__);
    if (olu == nullptr || boxId == nullptr || entry == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(1, kName, volume, __LINE__);
    }
    zrk::Entries page = zrk::AllocateDetailEntries(ZRK_DETAIL_PAGE_ENTRIES);
    if (!page) {
        Trace("ERR", kName, "malloc() error : %s, alloc size=%d", std::strerror(ENOMEM),
              static_cast<int>(ZRK_DETAIL_PAGE_ENTRIES * sizeof(DETAIL_LIST_INFO)));
        return ErrLine(1, kName, volume, __LINE__);
    }

    // Every page of this read carries the failover selection of the list.
    const uint32_t savedOption = ZRKOptionFlag;
    ZRKOptionFlag = ZRK_OPT_LIST_FAILOVER;
    unsigned int start = 0;
    for (;;) {
        int count = 0;
        unsigned int next = 0;
        if (GetDetailList_sub(volume, ZRK_LIST_MODE_ALL, start, &count, &next, page.get()) != 0) {
            ZRKOptionFlag = savedOption;
            return ErrLine(1, kName, volume, __LINE__);
        }
        for (int i = 0; i < count; ++i) {
            const DETAIL_LIST_INFO &e = page[i];
            const bool source = std::memcmp(e.SrcOlu + 2, olu, 2) == 0 && SameBoxId(e.SrcBoxID, boxId);
            const bool target = std::memcmp(e.DstOlu + 2, olu, 2) == 0 && SameBoxId(e.DstBoxID, boxId);
            if (source || target) {
                std::memcpy(entry, &e, sizeof e);
                ZRKOptionFlag = savedOption;
                return OkLine(1, kName, volume, __LINE__);
            }
        }
        if (next == 0) {
            ZRKOptionFlag = savedOption;
            ZRKerrno = ZRK_ERR_NO_TFO;
            return ErrLine(1, kName, volume, __LINE__);
        }
        if (next <= start) {
            WriteLog(16, nullptr, 0, "GetTfoSession NextSessionID %u does not advance from %u [%s] [%d]",
                     next, start, LogText(volume), __LINE__);
            ZRKOptionFlag = savedOption;
            ZRKerrno = ZRK_ERR_SCSI;
            return ErrLine(1, kName, volume, __LINE__);
        }
        start = next;
    }
}

// ---- records of the RVZ buffer page 0x24 (long form) -------------------------------------

extern "C" int SearchBuffInfo24_Ex(const unsigned char *reply, size_t replyLength,
                                   unsigned char buffId, unsigned char *record) {
    static constexpr const char kName[] = "SearchBuffInfo24_Ex";
    Trace("INFO", kName, "START");
    Trace("INFO", kName, "ucBuffId=%d", buffId);
    if (reply == nullptr || record == nullptr || replyLength < kBuff24HeadLen)
        return TraceEnd(kName, -1);
    const size_t fits = (replyLength - kBuff24HeadLen) / ZRK_BUFF24_RECORD_LEN;
    const size_t count = std::min<size_t>(Be16(reply + 10), fits);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char *r = reply + kBuff24HeadLen + i * ZRK_BUFF24_RECORD_LEN;
        if (r[0] == buffId) {
            std::memcpy(record, r, ZRK_BUFF24_RECORD_LEN);
            return TraceEnd(kName, 0);
        }
    }
    return TraceEnd(kName, -1);
}

extern "C" int SearchCmInfo24_Ex(const unsigned char *buffRecord, size_t recordLength,
                                 const unsigned char *cmId, unsigned char *record) {
    static constexpr const char kName[] = "SearchCmInfo24_Ex";
    Trace("INFO", kName, "START");
    if (cmId != nullptr) Trace("INFO", kName, "ucpCmId=0x%2x%2x", cmId[0], cmId[1]);
    if (buffRecord == nullptr || cmId == nullptr || record == nullptr ||
        recordLength < kCm24HeadLen)
        return TraceEnd(kName, -1);
    const size_t fits = (recordLength - kCm24HeadLen) / ZRK_CM24_RECORD_LEN;
    const size_t count = std::min<size_t>(Be16(buffRecord + 64), fits);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char *r = buffRecord + kCm24HeadLen + i * ZRK_CM24_RECORD_LEN;
        if (std::memcmp(r, cmId, 2) == 0) {
            std::memcpy(record, r, ZRK_CM24_RECORD_LEN);
            return TraceEnd(kName, 0);
        }
    }
    return TraceEnd(kName, -1);
}
