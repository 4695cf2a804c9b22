// The array's session lists: the detail list read page by page, the session
// identifier lists of the copy families and the identifier list built from
// the detail list, the match of a classic copy request against a detail
// list, and the RVZ buffer list. Also the conversions of DETAIL_LIST_INFO,
// COPY_REQ and SESSION_ID_ENTRY between the array's bytes and host values.
//
// Every count that the array reports is checked against what was read and
// against the caller's area before it is used as a size.
#include "zrkcmd.h"
#include "zrklist.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace zrk {

// ---- allocation and log lines shared by the list and detail files --------------

Buffer AllocateZeroed(size_t size) {
    errno = 0;
    Buffer buffer(static_cast<unsigned char *>(std::calloc(size != 0 ? size : 1, 1)));
    if (!buffer) {
        const int err = errno != 0 ? errno : ENOMEM;
        WriteLog(16, nullptr, 0, "malloc() : %s", std::strerror(err));
        ZRKerrno = ZRK_ERR_NO_MEMORY;
    }
    return buffer;
}

Entries AllocateDetailEntries(size_t count) {
    Entries entries(new (std::nothrow) DETAIL_LIST_INFO[count != 0 ? count : 1]());
    if (!entries) {
        WriteLog(16, nullptr, 0, "malloc() : %s", std::strerror(ENOMEM));
        ZRKerrno = ZRK_ERR_NO_MEMORY;
    }
    return entries;
}

void InLine(int level, const char *name, const char *volume, int line) {
    WriteLog(level, nullptr, 0, "%s in [%s] [%d]", name, LogText(volume), line);
}
int OkLine(int level, const char *name, const char *volume, int line) {
    WriteLog(level, nullptr, 0, "%s OK end [%s] [%d]", name, LogText(volume), line);
    return 0;
}
int ErrLine(int level, const char *name, const char *volume, int line) {
    WriteLog(level, nullptr, 0, "%s Err end [%s] [%d]", name, LogText(volume), line);
    return -1;
}

// ---- DETAIL_LIST_INFO ---------------------------------------------------------

DetailEntry DecodeDetailEntry(const DETAIL_LIST_INFO &in) {
    DetailEntry out{};
    out.uhSessionId = Be16(in.ucaSessionID);
    out.uhPartnerId = Be16(in.ucaPartnerID);
    out.ucCopyKind = in.ucCopyKind;
    out.ucSessionFlags = in.ucSessionFlags;
    out.ucModeFlags = in.ucModeFlags;
    out.ucTransferMode = in.ucTransferMode;
    out.ucPhase = in.Phase;
    out.ucStatus = in.Status;
    out.ucModeChange = in.ucModeChange;
    out.ucState11 = in.ucState11;
    out.uiLapseTime = Be32(in.ucaLapseTime);
    std::memcpy(out.ucaSrcBoxID, in.SrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaDstBoxID, in.DstBoxID, ZRK_BOXID_LEN);
    out.uiSrcOlu = Be32(in.SrcOlu);
    out.uiDstOlu = Be32(in.DstOlu);
    out.uhExtentCnt = Be16(in.ucaExtentCnt);
    out.ucState106 = in.ucState106;
    out.ucState107 = in.ucState107;
    out.ullCopiedBlock = Be64(in.CopiedBlock_high);
    out.ullSrcExtent = Be64(in.SrcExtent_high);
    out.ullSrcSize = Be64(in.SrcSize_high);
    out.ullDstExtent = Be64(in.DstExtent_high);
    std::memcpy(out.ucaState140, in.ucaState140, sizeof out.ucaState140);
    out.ucReserved147 = in.ucReserved147;
    out.uiValue148 = Be32(in.ucaValue148);
    std::memcpy(out.ucaStartTime, in.ucaStartTime, sizeof out.ucaStartTime);
    return out;
}

DETAIL_LIST_INFO EncodeDetailEntry(const DetailEntry &in) {
    DETAIL_LIST_INFO out{};
    PutBe16(out.ucaSessionID, in.uhSessionId);
    PutBe16(out.ucaPartnerID, in.uhPartnerId);
    out.ucCopyKind = in.ucCopyKind;
    out.ucSessionFlags = in.ucSessionFlags;
    out.ucModeFlags = in.ucModeFlags;
    out.ucTransferMode = in.ucTransferMode;
    out.Phase = in.ucPhase;
    out.Status = in.ucStatus;
    out.ucModeChange = in.ucModeChange;
    out.ucState11 = in.ucState11;
    PutBe32(out.ucaLapseTime, in.uiLapseTime);
    std::memcpy(out.SrcBoxID, in.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.DstBoxID, in.ucaDstBoxID, ZRK_BOXID_LEN);
    PutBe32(out.SrcOlu, in.uiSrcOlu);
    PutBe32(out.DstOlu, in.uiDstOlu);
    PutBe16(out.ucaExtentCnt, in.uhExtentCnt);
    out.ucState106 = in.ucState106;
    out.ucState107 = in.ucState107;
    PutBe64(out.CopiedBlock_high, in.ullCopiedBlock);
    PutBe64(out.SrcExtent_high, in.ullSrcExtent);
    PutBe64(out.SrcSize_high, in.ullSrcSize);
    PutBe64(out.DstExtent_high, in.ullDstExtent);
    std::memcpy(out.ucaState140, in.ucaState140, sizeof out.ucaState140);
    out.ucReserved147 = in.ucReserved147;
    PutBe32(out.ucaValue148, in.uiValue148);
    std::memcpy(out.ucaStartTime, in.ucaStartTime, sizeof out.ucaStartTime);
    return out;
}

// ---- COPY_REQ -------------------------------------------------------------------

CopyReq DecodeCopyReq(const COPY_REQ &in) {
    CopyReq out{};
    std::memcpy(out.ucaSrcBoxID, in.SrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.ucaDstBoxID, in.DstBoxID, ZRK_BOXID_LEN);
    out.uhSrcOlu = Be16(in.SrcOlu);
    out.uhDstOlu = Be16(in.DstOlu);
    out.uiWholeVolumeFlag = in.WholeVolumeFlag;
    out.uiSrcExtent = Be32(in.SrcExtent);
    out.uiDstExtent = Be32(in.DstExtent);
    out.uiSrcSize = Be32(in.SrcSize);
    out.uhCopyInterval = Be16(in.CopyInterval);
    out.ucRemoteFlag = in.RemoteFlag;
    out.ucVolumeRole = in.ucVolumeRole;
    std::memcpy(out.ucaReserved104, in.ucaReserved104, 2);
    out.uiDstOluFull = Be32(in.ucaDstOluFull);
    std::memcpy(out.ucaReserved110, in.ucaReserved110, 2);
    return out;
}

COPY_REQ EncodeCopyReq(const CopyReq &in) {
    COPY_REQ out{};
    std::memcpy(out.SrcBoxID, in.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(out.DstBoxID, in.ucaDstBoxID, ZRK_BOXID_LEN);
    PutBe16(out.SrcOlu, in.uhSrcOlu);
    PutBe16(out.DstOlu, in.uhDstOlu);
    out.WholeVolumeFlag = in.uiWholeVolumeFlag;
    PutBe32(out.SrcExtent, in.uiSrcExtent);
    PutBe32(out.DstExtent, in.uiDstExtent);
    PutBe32(out.SrcSize, in.uiSrcSize);
    PutBe16(out.CopyInterval, in.uhCopyInterval);
    out.RemoteFlag = in.ucRemoteFlag;
    out.ucVolumeRole = in.ucVolumeRole;
    std::memcpy(out.ucaReserved104, in.ucaReserved104, 2);
    PutBe32(out.ucaDstOluFull, in.uiDstOluFull);
    std::memcpy(out.ucaReserved110, in.ucaReserved110, 2);
    return out;
}

// ---- SESSION_ID_ENTRY --------------------------------------------------------------

SessionIdEntry DecodeSessionIdEntry(const SESSION_ID_ENTRY &in) {
    SessionIdEntry out{};
    out.uhSessionId = Be16(in.ucaSessionID);
    out.ucFlags = in.ucFlags;
    out.ucVolumeRole = in.ucVolumeRole;
    out.ucStatus = in.Status;
    out.ucPhase = in.Phase;
    std::memcpy(out.ucaReserved6, in.ucaReserved6, 2);
    out.uiSrcOlu = Be32(in.SrcOlu);
    out.uiDstOlu = Be32(in.DstOlu);
    return out;
}

SESSION_ID_ENTRY EncodeSessionIdEntry(const SessionIdEntry &in) {
    SESSION_ID_ENTRY out{};
    PutBe16(out.ucaSessionID, in.uhSessionId);
    out.ucFlags = in.ucFlags;
    out.ucVolumeRole = in.ucVolumeRole;
    out.Status = in.ucStatus;
    out.Phase = in.ucPhase;
    std::memcpy(out.ucaReserved6, in.ucaReserved6, 2);
    PutBe32(out.SrcOlu, in.uiSrcOlu);
    PutBe32(out.DstOlu, in.uiDstOlu);
    return out;
}

// The 8-byte entry of the local lists: identifier, status in the low and
// phase in the high nibble of byte 2, role, and two 16-bit OLUs.
SessionIdEntry WidenLocalSessionEntry(const unsigned char *entry8) {
    SessionIdEntry out{};
    out.uhSessionId = Be16(entry8);
    out.ucStatus = entry8[2] & 0x0F;
    out.ucPhase = entry8[2] >> 4;
    out.ucVolumeRole = entry8[3];
    out.uiSrcOlu = Be16(entry8 + 4);
    out.uiDstOlu = Be16(entry8 + 6);
    return out;
}

SessionIdEntry SessionIdFromDetail(const DetailEntry &entry) {
    SessionIdEntry out{};
    out.uhSessionId = entry.IdInUse();
    out.ucFlags = static_cast<uint8_t>(
        (entry.ucSessionFlags & (ZRK_SESFLAG_WHOLE_VOLUME | ZRK_SESFLAG_REMOTE)) |
        (entry.ucModeFlags & (ZRK_MODEFLAG_DEST_SIDE | ZRK_MODEFLAG_SYNC |
                              ZRK_MODEFLAG_AUTO_SPLIT | ZRK_MODEFLAG_MANUAL_RCV)));
    out.ucVolumeRole = 1;
    out.ucStatus = entry.ucStatus;
    out.ucPhase = entry.ucPhase;
    out.uiSrcOlu = entry.uiSrcOlu;
    out.uiDstOlu = entry.uiDstOlu;
    return out;
}

}  // namespace zrk

namespace {

using zrk::Be16;
using zrk::Be32;
using zrk::Buffer;
using zrk::Entries;
using zrk::ErrLine;
using zrk::InLine;
using zrk::LogText;
using zrk::OkLine;
using zrk::PutBe16;
using zrk::PutBe32;

Buffer Allocate(size_t size) { return zrk::AllocateZeroed(size); }
Entries AllocateEntries(size_t count) { return zrk::AllocateDetailEntries(count); }

bool AnyBit(const unsigned char *support, std::initializer_list<int> bytes, unsigned bit) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [&](int i) { return (support[i] & bit) != 0; });
}

// The large-form bit of ZRKsession4096 for an identifier list page.
unsigned char LargeFormBit(unsigned char page) {
    switch (page) {
    case ZRK_PAGE_REMOTE_KZP_LIST: return ZRK_GROUP_REMOTE_KZP;
    case ZRK_PAGE_REMOTE_VZ_LIST:  return ZRK_GROUP_RVZ;
    case ZRK_PAGE_LOCAL_KZP_LIST:  return ZRK_GROUP_KZP;
    case ZRK_PAGE_LOCAL_VZ_LIST:   return ZRK_GROUP_VZ;
    default:                       return 0;
    }
}

// Writes the length of an identifier list into the field of its form; a
// value beyond 16 bits takes the whole 32-bit field even in the short form.
void PutListLength(unsigned char *list, bool largeForm, uint32_t length) {
    if (largeForm || length > 0xFFFF) {
        PutBe32(list + 4, length);
    } else {
        PutBe16(list + 6, static_cast<uint16_t>(length));
    }
}

bool SameBoxId(const unsigned char *a, const unsigned char *b) {
    return std::memcmp(a, b, ZRK_BOXID_LEN) == 0;
}

}  // namespace

// ---- the detail list ------------------------------------------------------------------

extern "C" int GetDetailList_sub(const char *volume, unsigned char mode, unsigned int startId,
                                 int *count, unsigned int *nextId, DETAIL_LIST_INFO *area) {
    static constexpr const char kName[] = "GetDetailList_sub";
    InLine(1, kName, volume, __LINE__);
    if (count == nullptr || nextId == nullptr || area == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(1, kName, volume, __LINE__);
    }
    Buffer reply = Allocate(ZRK_DETAIL_LIST_REPLY_LEN);
    if (!reply) return ErrLine(1, kName, volume, __LINE__);

    unsigned char id[2];
    PutBe16(id, static_cast<uint16_t>(startId));
    const unsigned char travoMode = (mode & ZRK_LIST_MODE_ALL) != 0 ? 0x81 : 0x01;
    if (ExecTravoIn(volume, travoMode, ZRK_PAGE_DETAIL_LIST, id, reply.get(),
                    ZRK_DETAIL_LIST_REPLY_LEN) != 0)
        return ErrLine(1, kName, volume, __LINE__);

    const unsigned int sessions = Be16(reply.get() + 10);
    const unsigned int next = Be16(reply.get() + 12);
    WriteLog(1, nullptr, 0, "SessionCnt : %d", static_cast<int>(sessions));
    WriteLog(1, nullptr, 0, "NextSessionID : %d", static_cast<int>(next));
    if (sessions > ZRK_DETAIL_PAGE_ENTRIES ||
        ZRK_DETAIL_LIST_HEAD_LEN + sessions * sizeof(DETAIL_LIST_INFO) >
            static_cast<size_t>(ZRK_DETAIL_LIST_REPLY_LEN)) {
        WriteLog(16, nullptr, 0, "GetDetailList_sub SessionCnt %u exceeds the page [%s] [%d]",
                 sessions, LogText(volume), __LINE__);
        ZRKerrno = ZRK_ERR_SCSI;
        return ErrLine(1, kName, volume, __LINE__);
    }
    for (unsigned int i = 0; i < sessions; ++i)
        std::memcpy(&area[i], reply.get() + ZRK_DETAIL_LIST_HEAD_LEN + i * sizeof area[i],
                    sizeof area[i]);
    *count = static_cast<int>(sessions);
    *nextId = next;
    return OkLine(1, kName, volume, __LINE__);
}

extern "C" int GetDetailList(const char *volume, unsigned char mode, int *count,
                             DETAIL_LIST_INFO *area, int capacity) {
    static constexpr const char kName[] = "GetDetailList";
    InLine(2, kName, volume, __LINE__);
    if (count == nullptr || capacity < 0 || (area == nullptr && capacity != 0)) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(2, kName, volume, __LINE__);
    }
    if (CheckProduct(volume) != 0) return ErrLine(2, kName, volume, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    unsigned char remote = 0;
    if (GetSupportCopyInfo(volume, support, &remote) != 0)
        return ErrLine(2, kName, volume, __LINE__);

    bool supported = AnyBit(support, {7, 15, 23, 31}, 0x01) &&
                     AnyBit(support, {7, 15, 23, 31}, 0x80);
    if ((ZRKOptionFlag & ZRK_OPT_LIST_FAILOVER) != 0 && !AnyBit(support, {6, 22, 30}, 0x20))
        supported = false;
    if ((ZRKOptionFlag & ZRK_OPT_LIST_SEL_10) != 0 && !AnyBit(support, {4, 20, 28}, 0x02))
        supported = false;
    if (!supported) {
        ZRKerrno = ZRK_ERR_NOT_SUPPORT;
        return ErrLine(2, kName, volume, __LINE__);
    }

    Entries page = AllocateEntries(ZRK_DETAIL_PAGE_ENTRIES);
    if (!page) return ErrLine(2, kName, volume, __LINE__);

    unsigned int start = 0;
    int total = 0;
    for (;;) {
        int entries = 0;
        unsigned int next = 0;
        if (GetDetailList_sub(volume, mode, start, &entries, &next, page.get()) != 0)
            return ErrLine(2, kName, volume, __LINE__);
        if (entries > capacity - total) {
            WriteLog(16, nullptr, 0,
                     "GetDetailList %d sessions do not fit the area of %d [%s] [%d]",
                     total + entries, capacity, LogText(volume), __LINE__);
            ZRKerrno = ZRK_ERR_SCSI;
            return ErrLine(2, kName, volume, __LINE__);
        }
        std::memcpy(area + total, page.get(), static_cast<size_t>(entries) * sizeof page[0]);
        total += entries;
        if (next == 0) break;
        if (next <= start) {
            WriteLog(16, nullptr, 0,
                     "GetDetailList NextSessionID %u does not advance from %u [%s] [%d]", next,
                     start, LogText(volume), __LINE__);
            ZRKerrno = ZRK_ERR_SCSI;
            return ErrLine(2, kName, volume, __LINE__);
        }
        start = next;
    }
    *count = total;
    return OkLine(2, kName, volume, __LINE__);
}

extern "C" int QueryDetailfromList(int count, const DETAIL_LIST_INFO *list, int family,
                                   DETAIL_LIST_INFO *entry, COPY_REQ request) {
    WriteLog(2, nullptr, 0, "QueryDetailfromList in [%d]", __LINE__);
    const zrk::CopyReq req = zrk::DecodeCopyReq(request);
    for (int i = 0; list != nullptr && i < count; ++i) {
        const zrk::DetailEntry e = zrk::DecodeDetailEntry(list[i]);
        if (family == ZRK_FAMILY_VZ && e.ucCopyKind != 2) continue;
        if (family == ZRK_FAMILY_KZP && e.ucCopyKind == 2) continue;
        if (e.RemoteBit() != req.ucRemoteFlag) continue;
        if ((e.uiSrcOlu & 0xFFFF) != req.uhSrcOlu || e.uiDstOlu != req.uiDstOluFull) continue;
        if ((e.ullSrcExtent & 0xFFFFFFFFu) != req.uiSrcExtent ||
            (e.ullDstExtent & 0xFFFFFFFFu) != req.uiDstExtent ||
            (e.ullSrcSize & 0xFFFFFFFFu) != req.uiSrcSize)
            continue;
        if (req.ucRemoteFlag != 0 && (!SameBoxId(e.ucaSrcBoxID, req.ucaSrcBoxID) ||
                                      !SameBoxId(e.ucaDstBoxID, req.ucaDstBoxID)))
            continue;
        if (entry != nullptr) *entry = list[i];
        WriteLog(2, nullptr, 0, "QueryDetailfromList OK end [%d]", __LINE__);
        return 0;
    }
    ZRKerrno = ZRK_ERR_NO_SESSION;
    WriteLog(2, nullptr, 0, "QueryDetailfromList Err end [%d]", __LINE__);
    return -1;
}

// ---- identifier lists -------------------------------------------------------------

extern "C" int GetSessionIdList(const char *volume, unsigned char page,
                                unsigned char remoteSupport, unsigned char volumeRole,
                                unsigned char **list, int *count) {
    static constexpr const char kName[] = "GetSessionIdList";
    InLine(1, kName, volume, __LINE__);
    if (list == nullptr || count == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(1, kName, volume, __LINE__);
    }
    *list = nullptr;
    if (page == ZRK_PAGE_REMOTE_VZ_LIST && (remoteSupport & ZRK_REMOTE_RVZ) == 0)
        page = ZRK_PAGE_LOCAL_VZ_LIST;
    if (page == ZRK_PAGE_REMOTE_KZP_LIST && (remoteSupport & ZRK_REMOTE_KZP) == 0)
        page = ZRK_PAGE_LOCAL_KZP_LIST;
    const unsigned char largeBit = LargeFormBit(page);
    if (largeBit == 0) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(1, kName, volume, __LINE__);
    }

    unsigned char maxCount[ZRK_MAX_SESSION_LEN] = {};
    if (GetMaxSessionCount(volume, page, maxCount) != 0)
        return ErrLine(1, kName, volume, __LINE__);
    size_t areaSize = (static_cast<size_t>(Be16(maxCount + 2)) + Be16(maxCount + 6) + 1) *
                      sizeof(SESSION_ID_ENTRY);
    if (areaSize > ZRK_SESSION_LIST_MAX_AREA) {
        WriteLog(1, nullptr, 0, "alloc size = <%u> [%d]", static_cast<unsigned>(areaSize),
                 __LINE__);
        areaSize = ZRK_SESSION_LIST_MAX_AREA;
    }
    Buffer area = Allocate(areaSize);
    if (!area) return ErrLine(1, kName, volume, __LINE__);

    // A short TRAVO IN carries only 16 bits of allocation length.
    const bool largeForm = (ZRKsession4096 & largeBit) != 0;
    const bool shortCdb = ZRKstorageflg != 0 || !largeForm;
    const size_t readSize = shortCdb ? std::min<size_t>(areaSize, ZRK_SHORT_ALLOC_MAX) : areaSize;
    if (ExecTravoIn(volume, 0x01, page, nullptr, area.get(), static_cast<int>(readSize)) != 0)
        return ErrLine(1, kName, volume, __LINE__);

    unsigned char *bytes = area.get();
    const uint32_t length = largeForm ? Be32(bytes + 4) : Be16(bytes + 6);
    const bool local = page == ZRK_PAGE_LOCAL_KZP_LIST || page == ZRK_PAGE_LOCAL_VZ_LIST;
    const size_t entrySize = local ? 8 : sizeof(SESSION_ID_ENTRY);
    size_t entries = length < 8 ? 0 : (length - 8) / entrySize;
    // Only what was read exists, and the widened list must fit the area.
    const size_t limit = std::min((readSize - ZRK_SESSION_LIST_HEAD_LEN) / entrySize,
                                  (areaSize - ZRK_SESSION_LIST_HEAD_LEN) / sizeof(SESSION_ID_ENTRY));
    if (entries > limit) {
        WriteLog(1, nullptr, 0, "GetSessionIdList length %u holds %zu entries, %zu read [%s] [%d]",
                 length, entries, limit, LogText(volume), __LINE__);
        entries = limit;
    }

    if (local) {
        PutListLength(bytes, largeForm, static_cast<uint32_t>(entries * 16 + 8));
        // Backwards, so that each 8-byte entry is read before it is overwritten.
        for (size_t k = entries; k-- > 0;) {
            unsigned char narrow[8];
            std::memcpy(narrow, bytes + ZRK_SESSION_LIST_HEAD_LEN + 8 * k, sizeof narrow);
            const SESSION_ID_ENTRY wide =
                zrk::EncodeSessionIdEntry(zrk::WidenLocalSessionEntry(narrow));
            std::memcpy(bytes + ZRK_SESSION_LIST_HEAD_LEN + sizeof wide * k, &wide, sizeof wide);
        }
    }

    size_t kept = 0;
    for (size_t k = 0; k < entries; ++k) {
        unsigned char *entry = bytes + ZRK_SESSION_LIST_HEAD_LEN + sizeof(SESSION_ID_ENTRY) * k;
        if (entry[offsetof(SESSION_ID_ENTRY, ucVolumeRole)] != volumeRole) continue;
        if (kept != k)
            std::memmove(bytes + ZRK_SESSION_LIST_HEAD_LEN + sizeof(SESSION_ID_ENTRY) * kept,
                         entry, sizeof(SESSION_ID_ENTRY));
        ++kept;
    }
    PutListLength(bytes, largeForm, static_cast<uint32_t>(kept * 16 + 8));
    *count = static_cast<int>(kept);
    *list = area.release();
    return OkLine(1, kName, volume, __LINE__);
}

extern "C" int GetTVCSessionIdList(const char *volume, int family, unsigned char **list) {
    static constexpr const char kName[] = "GetTVCSessionIdList";
    InLine(1, kName, volume, __LINE__);
    if (list == nullptr || (family != ZRK_FAMILY_KZP && family != ZRK_FAMILY_VZ)) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(1, kName, volume, __LINE__);
    }
    *list = nullptr;
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    CtrlSupportData(support, ZRK_STORE_READ);
    unsigned char page;
    if (family == ZRK_FAMILY_VZ)
        page = (support[31] & 0x01) != 0 ? ZRK_PAGE_REMOTE_VZ_LIST : ZRK_PAGE_LOCAL_VZ_LIST;
    else
        page = (support[15] & 0x01) != 0 ? ZRK_PAGE_REMOTE_KZP_LIST : ZRK_PAGE_LOCAL_KZP_LIST;
    unsigned char maxCount[ZRK_MAX_SESSION_LEN] = {};
    if (GetMaxSessionCount(volume, page, maxCount) != 0)
        return ErrLine(1, kName, volume, __LINE__);
    const int capacity = Be16(maxCount + 2);

    Entries entries = AllocateEntries(static_cast<size_t>(capacity));
    if (!entries) return ErrLine(1, kName, volume, __LINE__);
    Buffer ids = Allocate((static_cast<size_t>(capacity) + 1) * sizeof(SESSION_ID_ENTRY));
    if (!ids) return ErrLine(1, kName, volume, __LINE__);
    int found = 0;
    if (GetDetailList(volume, 0, &found, entries.get(), capacity) != 0)
        return ErrLine(1, kName, volume, __LINE__);

    size_t kept = 0;
    for (int i = 0; i < found; ++i) {
        const zrk::DetailEntry e = zrk::DecodeDetailEntry(entries[i]);
        if (family == ZRK_FAMILY_VZ && e.ucCopyKind != 2) continue;
        if (family == ZRK_FAMILY_KZP && e.ucCopyKind != 1 && e.ucCopyKind != 3) continue;
        const SESSION_ID_ENTRY id = zrk::EncodeSessionIdEntry(zrk::SessionIdFromDetail(e));
        std::memcpy(ids.get() + ZRK_SESSION_LIST_HEAD_LEN + sizeof id * kept, &id, sizeof id);
        ++kept;
    }
    unsigned char *head = ids.get();
    head[0] = page;
    PutBe32(head + 4, static_cast<uint32_t>(kept * 16 + 8));
    std::memcpy(head + 8, maxCount, sizeof maxCount);
    *list = ids.release();
    return OkLine(1, kName, volume, __LINE__);
}

// ---- the RVZ buffer list ------------------------------------------------------------

extern "C" int GetRVZBuffInfo(const char *volume, unsigned char **reply, int *length) {
    static constexpr const char kName[] = "GetRVZBuffInfo";
    InLine(1, kName, volume, __LINE__);
    if (reply == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return ErrLine(1, kName, volume, __LINE__);
    }
    *reply = nullptr;
    Buffer first = Allocate(ZRK_RVZ_BUFF_FIRST_LEN);
    if (!first) return ErrLine(1, kName, volume, __LINE__);
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_RVZ_BUFF_LIST, nullptr, first.get(),
                    ZRK_RVZ_BUFF_FIRST_LEN) != 0)
        return ErrLine(1, kName, volume, __LINE__);
    if (Be16(first.get() + 10) == 0) {
        if (length != nullptr) *length = ZRK_RVZ_BUFF_FIRST_LEN;
        *reply = first.release();
        return OkLine(1, kName, volume, __LINE__);
    }
    const size_t size = static_cast<size_t>(Be16(first.get() + 8)) * ZRK_RVZ_BUFF_ENTRY_LEN + 16;
    first.reset();
    Buffer whole = Allocate(size);
    if (!whole) return ErrLine(1, kName, volume, __LINE__);
    // The page goes in the short form: at most 16 bits of allocation length.
    const size_t readSize = std::min<size_t>(size, ZRK_SHORT_ALLOC_MAX);
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_RVZ_BUFF_LIST, nullptr, whole.get(),
                    static_cast<int>(readSize)) != 0)
        return ErrLine(1, kName, volume, __LINE__);
    if (length != nullptr) *length = static_cast<int>(size);
    *reply = whole.release();
    return OkLine(1, kName, volume, __LINE__);
}
