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

using namespace zrk;

namespace zrk {

// ---- allocation, log lines and the support record shared by the engine files ------

void NoMemory(int err) {
    WriteLog(16, nullptr, 0, "malloc() : %s", std::strerror(err));
    ZRKerrno = ZRK_ERR_NO_MEMORY;
}

Buffer AllocateZeroed(size_t size) {
    errno = 0;
    Buffer buffer(static_cast<unsigned char *>(std::calloc(size != 0 ? size : 1, 1)));
    if (!buffer) NoMemory(errno != 0 ? errno : ENOMEM);
    return buffer;
}

Entries AllocateDetailEntries(size_t count) {
    Entries entries(new (std::nothrow) DETAIL_LIST_INFO[count != 0 ? count : 1]());
    if (!entries) NoMemory(ENOMEM);
    return entries;
}

int NoSuchSession(const char *name, const char *volume, int line) {
    WriteLog(1, nullptr, 0, "%s No Such Session [%s] [%d]", name, LogText(volume), line);
    return -2;
}

CopySupport::CopySupport() { CtrlSupportData(ucaData, ZRK_STORE_READ); }

// ---- DETAIL_LIST_INFO ---------------------------------------------------------

namespace {

struct DetailEntryMap {
    template <class Way, class Wire, class Host> static void Walk(Wire &w, Host &h) {
        Way::Be(w.ucaSessionID, h.uhSessionId);
        Way::Be(w.ucaPartnerID, h.uhPartnerId);
        Way::Copy(w.ucCopyKind, h.ucCopyKind);
        Way::Copy(w.ucSessionFlags, h.ucSessionFlags);
        Way::Copy(w.ucModeFlags, h.ucModeFlags);
        Way::Copy(w.ucTransferMode, h.ucTransferMode);
        Way::Copy(w.Phase, h.ucPhase);
        Way::Copy(w.Status, h.ucStatus);
        Way::Copy(w.ucModeChange, h.ucModeChange);
        Way::Copy(w.ucState11, h.ucState11);
        Way::Be(w.ucaLapseTime, h.uiLapseTime);
        Way::Copy(w.SrcBoxID, h.ucaSrcBoxID);
        Way::Copy(w.DstBoxID, h.ucaDstBoxID);
        Way::Be(w.SrcOlu, h.uiSrcOlu);
        Way::Be(w.DstOlu, h.uiDstOlu);
        Way::Be(w.ucaExtentCnt, h.uhExtentCnt);
        Way::Copy(w.ucState106, h.ucState106);
        Way::Copy(w.ucState107, h.ucState107);
        Way::Be(w.CopiedBlock_high, h.ullCopiedBlock);
        Way::Be(w.SrcExtent_high, h.ullSrcExtent);
        Way::Be(w.SrcSize_high, h.ullSrcSize);
        Way::Be(w.DstExtent_high, h.ullDstExtent);
        Way::Copy(w.ucaState140, h.ucaState140);
        Way::Copy(w.ucReserved147, h.ucReserved147);
        Way::Be(w.ucaValue148, h.uiValue148);
        Way::Copy(w.ucaStartTime, h.ucaStartTime);
    }
};

struct CopyReqMap {
    template <class Way, class Wire, class Host> static void Walk(Wire &w, Host &h) {
        Way::Copy(w.SrcBoxID, h.ucaSrcBoxID);
        Way::Copy(w.DstBoxID, h.ucaDstBoxID);
        Way::Be(w.SrcOlu, h.uhSrcOlu);
        Way::Be(w.DstOlu, h.uhDstOlu);
        Way::Copy(w.WholeVolumeFlag, h.uiWholeVolumeFlag);
        Way::Be(w.SrcExtent, h.uiSrcExtent);
        Way::Be(w.DstExtent, h.uiDstExtent);
        Way::Be(w.SrcSize, h.uiSrcSize);
        Way::Be(w.CopyInterval, h.uhCopyInterval);
        Way::Copy(w.RemoteFlag, h.ucRemoteFlag);
        Way::Copy(w.ucVolumeRole, h.ucVolumeRole);
        Way::Copy(w.ucaReserved104, h.ucaReserved104);
        Way::Be(w.ucaDstOluFull, h.uiDstOluFull);
        Way::Copy(w.ucaReserved110, h.ucaReserved110);
    }
};

struct SessionIdEntryMap {
    template <class Way, class Wire, class Host> static void Walk(Wire &w, Host &h) {
        Way::Be(w.ucaSessionID, h.uhSessionId);
        Way::Copy(w.ucFlags, h.ucFlags);
        Way::Copy(w.ucVolumeRole, h.ucVolumeRole);
        Way::Copy(w.Status, h.ucStatus);
        Way::Copy(w.Phase, h.ucPhase);
        Way::Copy(w.ucaReserved6, h.ucaReserved6);
        Way::Be(w.SrcOlu, h.uiSrcOlu);
        Way::Be(w.DstOlu, h.uiDstOlu);
    }
};

}  // namespace

DetailEntry DecodeDetailEntry(const DETAIL_LIST_INFO &in) {
    return DecodeWith<DetailEntryMap, DetailEntry>(in);
}
DETAIL_LIST_INFO EncodeDetailEntry(const DetailEntry &in) {
    return EncodeWith<DetailEntryMap, DETAIL_LIST_INFO>(in);
}

// ---- COPY_REQ -------------------------------------------------------------------

CopyReq DecodeCopyReq(const COPY_REQ &in) { return DecodeWith<CopyReqMap, CopyReq>(in); }
COPY_REQ EncodeCopyReq(const CopyReq &in) { return EncodeWith<CopyReqMap, COPY_REQ>(in); }

// ---- SESSION_ID_ENTRY --------------------------------------------------------------

SessionIdEntry DecodeSessionIdEntry(const SESSION_ID_ENTRY &in) {
    return DecodeWith<SessionIdEntryMap, SessionIdEntry>(in);
}
SESSION_ID_ENTRY EncodeSessionIdEntry(const SessionIdEntry &in) {
    return EncodeWith<SessionIdEntryMap, SESSION_ID_ENTRY>(in);
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

bool IsClassicRequest(const DetailEntry &e, const CopyReq &req) {
    if (e.RemoteBit() != req.ucRemoteFlag) return false;
    if ((e.uiSrcOlu & 0xFFFF) != req.uhSrcOlu || e.uiDstOlu != req.uiDstOluFull) return false;
    if (static_cast<uint32_t>(e.ullSrcExtent) != req.uiSrcExtent ||
        static_cast<uint32_t>(e.ullDstExtent) != req.uiDstExtent ||
        static_cast<uint32_t>(e.ullSrcSize) != req.uiSrcSize)
        return false;
    return req.ucRemoteFlag == 0 ||
           (SameBoxId(e.ucaSrcBoxID, req.ucaSrcBoxID) && SameBoxId(e.ucaDstBoxID, req.ucaDstBoxID));
}

int WalkDetailPages(const char *name, const char *volume, unsigned char mode,
                    DETAIL_LIST_INFO *page, const std::function<PageStep(int count)> &step) {
    unsigned int start = 0;
    for (;;) {
        int count = 0;
        unsigned int next = 0;
        if (GetDetailList_sub(volume, mode, start, &count, &next, page) != 0) return -1;
        const PageStep done = step(count);
        if (done == PageStep::Stop) return 1;
        if (done == PageStep::Fail) return -1;
        if (next == 0) return 0;
        if (next <= start) {
            WriteLog(16, nullptr, 0, "%s NextSessionID %u does not advance from %u [%s] [%d]", name,
                     next, start, LogText(volume), __LINE__);
            return FailWith(ZRK_ERR_SCSI);
        }
        start = next;
    }
}

unsigned char FamilyListPage(const CopySupport &support, bool vz) {
    if (vz)
        return support.Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND) ? ZRK_PAGE_REMOTE_VZ_LIST
                                                                    : ZRK_PAGE_LOCAL_VZ_LIST;
    return support.Has(ZRK_SUPPORT_FLAGS_REMOTE_KZP, ZRK_SUPPORT_KIND) ? ZRK_PAGE_REMOTE_KZP_LIST
                                                                       : ZRK_PAGE_LOCAL_KZP_LIST;
}

}  // namespace zrk

namespace {

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

}  // namespace

// ---- the detail list ------------------------------------------------------------------

extern "C" int GetDetailList_sub(const char *volume, unsigned char mode, unsigned int startId,
                                 int *count, unsigned int *nextId, DETAIL_LIST_INFO *area) {
    static constexpr const char kName[] = "GetDetailList_sub";
    LogIn(1, kName, volume, __LINE__);
    if (count == nullptr || nextId == nullptr || area == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    Buffer reply = AllocateZeroed(ZRK_DETAIL_LIST_REPLY_LEN);
    if (!reply) return LogErr(1, kName, volume, __LINE__);

    unsigned char id[2];
    PutBe16(id, static_cast<uint16_t>(startId));
    const unsigned char travoMode = (mode & ZRK_LIST_MODE_ALL) != 0 ? 0x81 : 0x01;
    if (ExecTravoIn(volume, travoMode, ZRK_PAGE_DETAIL_LIST, id, reply.get(),
                    ZRK_DETAIL_LIST_REPLY_LEN) != 0)
        return LogErr(1, kName, volume, __LINE__);

    const unsigned int sessions = Be16(reply.get() + 10);
    const unsigned int next = Be16(reply.get() + 12);
    WriteLog(1, nullptr, 0, "SessionCnt : %d", static_cast<int>(sessions));
    WriteLog(1, nullptr, 0, "NextSessionID : %d", static_cast<int>(next));
    if (sessions > ZRK_DETAIL_PAGE_ENTRIES ||
        ZRK_DETAIL_LIST_HEAD_LEN + sessions * sizeof(DETAIL_LIST_INFO) >
            static_cast<size_t>(ZRK_DETAIL_LIST_REPLY_LEN)) {
        WriteLog(16, nullptr, 0, "GetDetailList_sub SessionCnt %u exceeds the page [%s] [%d]",
                 sessions, LogText(volume), __LINE__);
        return FailEnd(ZRK_ERR_SCSI, 1, kName, volume, __LINE__);
    }
    for (unsigned int i = 0; i < sessions; ++i)
        std::memcpy(&area[i], reply.get() + ZRK_DETAIL_LIST_HEAD_LEN + i * sizeof area[i],
                    sizeof area[i]);
    *count = static_cast<int>(sessions);
    *nextId = next;
    return LogOk(1, kName, volume, __LINE__);
}

namespace {

constexpr const char kDetailListName[] = "GetDetailList";

// The checks of a detail-list read, then every page of the list with mode,
// each handed to take (its entries and their number), which fails (false)
// with ZRKerrno set. 0, or -1 after the Err end line of GetDetailList.
int ReadDetailPages(const char *volume, unsigned char mode,
                    const std::function<bool(const DETAIL_LIST_INFO *page, int count)> &take) {
    static constexpr const char *kName = kDetailListName;
    if (CheckProduct(volume) != 0) return LogErr(2, kName, volume, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    unsigned char remote = 0;
    if (GetSupportCopyInfo(volume, support, &remote) != 0)
        return LogErr(2, kName, volume, __LINE__);

    const CopySupport s(support);
    bool supported = s.AnyGroup() && s.DetailList();
    if ((ZRKOptionFlag & ZRK_OPT_LIST_FAILOVER) != 0 &&
        !s.AnyHas({ZRK_SUPPORT_KZP_CLUSTER, ZRK_SUPPORT_VZ_CLUSTER, ZRK_SUPPORT_RVZ_EXTRA},
                  ZRK_SUPPORT_CLUSTER))
        supported = false;
    if ((ZRKOptionFlag & ZRK_OPT_LIST_SEL_10) != 0 && !s.VirtualVolumes()) supported = false;
    if (!supported) return FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    Entries page = AllocateDetailEntries(ZRK_DETAIL_PAGE_ENTRIES);
    if (!page) return LogErr(2, kName, volume, __LINE__);
    const int walked = WalkDetailPages(kName, volume, mode, page.get(), [&](int entries) {
        return take(page.get(), entries) ? PageStep::Next : PageStep::Fail;
    });
    if (walked < 0) return LogErr(2, kName, volume, __LINE__);
    return 0;
}

}  // namespace

extern "C" int GetDetailList(const char *volume, unsigned char mode, int *count,
                             DETAIL_LIST_INFO *area, int capacity) {
    static constexpr const char *kName = kDetailListName;
    LogIn(2, kName, volume, __LINE__);
    if (count == nullptr || capacity < 0 || (area == nullptr && capacity != 0))
        return FailEnd(ZRK_ERR_PARAMETER, 2, kName, volume, __LINE__);
    int total = 0;
    const auto store = [&](const DETAIL_LIST_INFO *page, int entries) {
        if (entries > capacity - total) {
            WriteLog(16, nullptr, 0,
                     "GetDetailList %d sessions do not fit the area of %d [%s] [%d]",
                     total + entries, capacity, LogText(volume), __LINE__);
            FailWith(ZRK_ERR_SCSI);
            return false;
        }
        std::memcpy(area + total, page, static_cast<size_t>(entries) * sizeof *page);
        total += entries;
        return true;
    };
    if (ReadDetailPages(volume, mode, store) != 0) return -1;
    *count = total;
    return LogOk(2, kName, volume, __LINE__);
}

namespace zrk {

int ReadDetailList(const char *volume, unsigned char mode, DetailList &list) {
    static constexpr const char *kName = kDetailListName;
    LogIn(2, kName, volume, __LINE__);
    list.Clear();
    const auto store = [&](const DETAIL_LIST_INFO *page, int entries) {
        // Identifiers have 16 bits: an array that lists more sessions than
        // that is not to be believed.
        if (entries > kDetailListMax - list.Count()) {
            WriteLog(16, nullptr, 0, "GetDetailList more than %d sessions [%s] [%d]",
                     kDetailListMax, LogText(volume), __LINE__);
            FailWith(ZRK_ERR_SCSI);
            return false;
        }
        return list.Append(page, entries);
    };
    if (ReadDetailPages(volume, mode, store) != 0) return -1;
    return LogOk(2, kName, volume, __LINE__);
}

}  // namespace zrk

extern "C" int QueryDetailfromList(int count, const DETAIL_LIST_INFO *list, int family,
                                   DETAIL_LIST_INFO *entry, COPY_REQ request) {
    static constexpr const char kName[] = "QueryDetailfromList";
    LogIn(2, kName, __LINE__);
    const CopyReq req = DecodeCopyReq(request);
    for (int i = 0; list != nullptr && i < count; ++i) {
        const DetailEntry e = DecodeDetailEntry(list[i]);
        if (family == ZRK_FAMILY_VZ && e.ucCopyKind != 2) continue;
        if (family == ZRK_FAMILY_KZP && e.ucCopyKind == 2) continue;
        if (!IsClassicRequest(e, req)) continue;
        if (entry != nullptr) *entry = list[i];
        return LogOk(2, kName, __LINE__);
    }
    FailWith(ZRK_ERR_NO_SESSION);
    return LogErr(2, kName, __LINE__);
}

// ---- identifier lists -------------------------------------------------------------

extern "C" int GetSessionIdList(const char *volume, unsigned char page,
                                unsigned char remoteSupport, unsigned char volumeRole,
                                unsigned char **list, int *count) {
    static constexpr const char kName[] = "GetSessionIdList";
    LogIn(1, kName, volume, __LINE__);
    if (list == nullptr || count == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    *list = nullptr;
    if (page == ZRK_PAGE_REMOTE_VZ_LIST && (remoteSupport & ZRK_REMOTE_RVZ) == 0)
        page = ZRK_PAGE_LOCAL_VZ_LIST;
    if (page == ZRK_PAGE_REMOTE_KZP_LIST && (remoteSupport & ZRK_REMOTE_KZP) == 0)
        page = ZRK_PAGE_LOCAL_KZP_LIST;
    const unsigned char largeBit = LargeFormBit(page);
    if (largeBit == 0)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);

    unsigned char maxCount[ZRK_MAX_SESSION_LEN] = {};
    if (GetMaxSessionCount(volume, page, maxCount) != 0)
        return LogErr(1, kName, volume, __LINE__);
    size_t areaSize = (static_cast<size_t>(Be16(maxCount + 2)) + Be16(maxCount + 6) + 1) *
                      sizeof(SESSION_ID_ENTRY);
    if (areaSize > ZRK_SESSION_LIST_MAX_AREA) {
        WriteLog(1, nullptr, 0, "alloc size = <%u> [%d]", static_cast<unsigned>(areaSize),
                 __LINE__);
        areaSize = ZRK_SESSION_LIST_MAX_AREA;
    }
    Buffer area = AllocateZeroed(areaSize);
    if (!area) return LogErr(1, kName, volume, __LINE__);

    // A short TRAVO IN carries only 16 bits of allocation length.
    const bool largeForm = (ZRKsession4096 & largeBit) != 0;
    const bool shortCdb = ZRKstorageflg != 0 || !largeForm;
    const size_t readSize = shortCdb ? std::min<size_t>(areaSize, ZRK_SHORT_ALLOC_MAX) : areaSize;
    if (ExecTravoIn(volume, 0x01, page, nullptr, area.get(), static_cast<int>(readSize)) != 0)
        return LogErr(1, kName, volume, __LINE__);

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
                EncodeSessionIdEntry(WidenLocalSessionEntry(narrow));
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
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetTVCSessionIdList(const char *volume, int family, unsigned char **list) {
    static constexpr const char kName[] = "GetTVCSessionIdList";
    LogIn(1, kName, volume, __LINE__);
    if (list == nullptr || (family != ZRK_FAMILY_KZP && family != ZRK_FAMILY_VZ))
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    *list = nullptr;
    const unsigned char page = FamilyListPage(CopySupport(), family == ZRK_FAMILY_VZ);
    // The family's maxima go into the list's header; the list itself is as
    // long as the array's detail list, whatever they say.
    unsigned char maxCount[ZRK_MAX_SESSION_LEN] = {};
    if (GetMaxSessionCount(volume, page, maxCount) != 0)
        return LogErr(1, kName, volume, __LINE__);
    DetailList entries;
    if (ReadDetailList(volume, 0, entries) != 0) return LogErr(1, kName, volume, __LINE__);
    const int found = entries.Count();
    Buffer ids = AllocateZeroed((static_cast<size_t>(found) + 1) * sizeof(SESSION_ID_ENTRY));
    if (!ids) return LogErr(1, kName, volume, __LINE__);

    size_t kept = 0;
    for (int i = 0; i < found; ++i) {
        const DetailEntry e = DecodeDetailEntry(entries[i]);
        if (family == ZRK_FAMILY_VZ && e.ucCopyKind != 2) continue;
        if (family == ZRK_FAMILY_KZP && e.ucCopyKind != 1 && e.ucCopyKind != 3) continue;
        const SESSION_ID_ENTRY id = EncodeSessionIdEntry(SessionIdFromDetail(e));
        std::memcpy(ids.get() + ZRK_SESSION_LIST_HEAD_LEN + sizeof id * kept, &id, sizeof id);
        ++kept;
    }
    unsigned char *head = ids.get();
    head[0] = page;
    PutBe32(head + 4, static_cast<uint32_t>(kept * 16 + 8));
    std::memcpy(head + 8, maxCount, sizeof maxCount);
    *list = ids.release();
    return LogOk(1, kName, volume, __LINE__);
}

// ---- the RVZ buffer list ------------------------------------------------------------

extern "C" int GetRVZBuffInfo(const char *volume, unsigned char **reply, int *length) {
    static constexpr const char kName[] = "GetRVZBuffInfo";
    LogIn(1, kName, volume, __LINE__);
    if (reply == nullptr)
        return FailEnd(ZRK_ERR_PARAMETER, 1, kName, volume, __LINE__);
    *reply = nullptr;
    Buffer first = AllocateZeroed(ZRK_RVZ_BUFF_FIRST_LEN);
    if (!first) return LogErr(1, kName, volume, __LINE__);
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_RVZ_BUFF_LIST, nullptr, first.get(),
                    ZRK_RVZ_BUFF_FIRST_LEN) != 0)
        return LogErr(1, kName, volume, __LINE__);
    if (Be16(first.get() + 10) == 0) {
        if (length != nullptr) *length = ZRK_RVZ_BUFF_FIRST_LEN;
        *reply = first.release();
        return LogOk(1, kName, volume, __LINE__);
    }
    const size_t size = static_cast<size_t>(Be16(first.get() + 8)) * ZRK_RVZ_BUFF_ENTRY_LEN + 16;
    first.reset();
    Buffer whole = AllocateZeroed(size);
    if (!whole) return LogErr(1, kName, volume, __LINE__);
    // The page goes in the short form: at most 16 bits of allocation length.
    const size_t readSize = std::min<size_t>(size, ZRK_SHORT_ALLOC_MAX);
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_RVZ_BUFF_LIST, nullptr, whole.get(),
                    static_cast<int>(readSize)) != 0)
        return LogErr(1, kName, volume, __LINE__);
    if (length != nullptr) *length = static_cast<int>(size);
    *reply = whole.release();
    return LogOk(1, kName, volume, __LINE__);
}
