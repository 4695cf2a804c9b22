// The session detail list over the LAN: the array's copy sessions, the
// sessions of its virtual volumes or the sessions of its failover pairs,
// read with the show commands and written as the in-band detail list's
// entries, so that one reader serves both roads.
#include "ipdetail.h"

#include "ipframe.h"
#include "ipsession.h"
#include "ipshow_array.h"
#include "ipshow_volumes.h"
#include "platform.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace zrkip;

namespace {

constexpr int kDetailListId = 1019;
constexpr char kPublicName[] = "ZRKIPGetDetailList";
constexpr char kAllName[] = "IPGetDetailList";
constexpr char kVvolName[] = "IPGetVvolDetailList";
constexpr char kTfoName[] = "IPGetTfopDetailList";

// The three forms; at most one of them may be asked for.
constexpr uint32_t kFormBits = ZRK_OPT_LIST_SEL_01 | ZRK_OPT_LIST_FAILOVER | ZRK_OPT_LIST_SEL_10;
constexpr uint32_t kDetailListMask = kFormBits;

// Bit 0 of the copy functions' detail flags: the array reports progress,
// which the entry's support byte says with its bit 0x01.
constexpr uint32_t kProgressReported = 0x01;
constexpr uint8_t kSupportProgress = 0x01;

// Entry byte 5: the bits copied from a row, and the one secondary-access
// value a row can give.
constexpr uint8_t kRowSessionFlags = ZRK_SESFLAG_WHOLE_VOLUME | ZRK_SESFLAG_SNAPKZP_P |
                                     ZRK_SESFLAG_REMOTE | ZRK_SESFLAG_SNAPKZP |
                                     ZRK_SESFLAG_QUICKKZP;
constexpr uint8_t kRowSecondary = 0x01;
// Entry byte 6: the bits copied from a row.
constexpr uint8_t kRowModeFlags = ZRK_MODEFLAG_DEST_SIDE | ZRK_MODEFLAG_SYNC |
                                  ZRK_MODEFLAG_AUTO_SPLIT | ZRK_MODEFLAG_MANUAL_RCV;

// A host value's low bytes, big-endian.
void Be16(uint32_t value, unsigned char *out) { ShiftAnytoB(&value, 4, 2, out); }
void Be32(uint32_t value, unsigned char *out) { ShiftAnytoB(&value, 4, 4, out); }


// A list of count sessions against the room of the caller's area.
int CheckRoom(const char *name, size_t count, size_t room) {
    if (count <= room) return 0;
    TraceText(1, "ERR", name, " session count %zu, room %zu ", count, room);
    return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
}

bool HasFailover(const CopyFunctions &functions) {
    return functions.Has(ZRK_SUPPORT_KZP_CLUSTER, ZRK_SUPPORT_CLUSTER) ||
           functions.Has(ZRK_SUPPORT_VZ_CLUSTER, ZRK_SUPPORT_CLUSTER) ||
           functions.Has(ZRK_SUPPORT_RVZ_EXTRA, ZRK_SUPPORT_CLUSTER);
}

// The rows of a list, converted into the area once their number is known
// to fit.
void Convert(const CliCopySession *rows, size_t count, DETAIL_LIST_INFO *area) {
    IPConvCopySes2DetailList(rows, static_cast<int>(count), area);
}

int AsCount(size_t count) { return count > INT_MAX ? INT_MAX : static_cast<int>(count); }

// Walks the flagged details of a pair tree in order: groups, their pairs,
// each pair's details. visit(detail) for each.
template <typename Visit>
void ForEachSession(CliTfoPair *tree, Visit visit) {
    CliTfoPairGroup *groups = reinterpret_cast<CliTfoPairGroup *>(
        reinterpret_cast<unsigned char *>(tree) + offsetof(CliTfoPair, taGroup));
    for (uint32_t g = 0; g < tree->uiTfoGroupCount; ++g) {
        const CliTfoPairGroup &group = groups[g];
        if (group.pPair == nullptr) continue;
        for (uint32_t p = 0; p < group.uiPairCount; ++p) {
            const CliTfoPairEntry &pair = group.pPair[p];
            if (pair.pDetail == nullptr) continue;
            for (uint32_t d = 0; d < pair.uiDetailCount; ++d) {
                if (pair.pDetail[d].uiDetailFlag != 0) visit(pair.pDetail[d]);
            }
        }
    }
}

// Owner of a pair tree.
struct TreeOwner {
    CliTfoPair *pTree = nullptr;
    ~TreeOwner() {
        if (pTree != nullptr) freeCliTfoPair(&pTree);
    }
};

}  // namespace

extern "C" void IPConvCopySes2DetailList(const CliCopySession *rows, int count,
                                         DETAIL_LIST_INFO *area) {
    if (rows == nullptr || area == nullptr || count <= 0) return;
    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    const bool progress = (functions.uiDetailFlags & kProgressReported) != 0;
    for (int i = 0; i < count; ++i) {
        const CliCopySession &r = rows[i];
        DETAIL_LIST_INFO e;
        std::memset(&e, 0, sizeof e);
        Be16(r.uiSessionID, e.ucaSessionID);
        Be16(r.uiSessionID2, e.ucaPartnerID);
        e.ucCopyKind = r.ucSessionType;
        e.ucSessionFlags = static_cast<unsigned char>(
            (r.ucAttr & kRowSessionFlags) | ((r.ucAttr & ZRK_SESFLAG_SECONDARY) != 0 ? kRowSecondary : 0));
        e.ucModeFlags = static_cast<unsigned char>(r.ucAttr2 & kRowModeFlags);
        e.ucTransferMode = r.ucColumn5;
        e.Phase = r.ucPhase;
        e.Status = r.ucSessionStatus;
        e.ucModeChange = r.ucColumn8;
        e.ucState11 = r.ucColumn9;
        Be32(r.uiLapseTime, e.ucaLapseTime);
        std::memcpy(e.SrcBoxID, r.ucaSrcBoxID, sizeof e.SrcBoxID);
        std::memcpy(e.DstBoxID, r.ucaDstBoxID, sizeof e.DstBoxID);
        Be32(r.uiSrcOLU, e.SrcOlu);
        Be32(r.uiDstOLU, e.DstOlu);
        Be16(r.uiExtentCnt, e.ucaExtentCnt);
        e.ucState106 = r.ucErrorCode;
        Be32(r.uiCopiedBlock_high, e.CopiedBlock_high);
        Be32(r.uiCopiedBlock_low, e.CopiedBlock_low);
        Be32(r.uiSrcExtAddr_high, e.SrcExtent_high);
        Be32(r.uiSrcExtAddr_low, e.SrcExtent_low);
        Be32(r.uiSize_high, e.SrcSize_high);
        Be32(r.uiSize_low, e.SrcSize_low);
        Be32(r.uiDstExtAddr_high, e.DstExtent_high);
        Be32(r.uiDstExtAddr_low, e.DstExtent_low);
        e.ucaState140[0] = r.ucColumn22;
        e.ucaState140[1] = r.ucColumn23;
        e.ucaState140[2] = static_cast<unsigned char>(r.uiCopyProgress & 0xFF);
        e.ucaState140[3] =
            static_cast<unsigned char>(r.ucSupportInfo | (progress ? kSupportProgress : 0));
        e.ucaState140[4] = r.ucColumn36;
        e.ucaState140[5] = r.ucColumn38;
        e.ucaState140[6] = r.ucColumn39;
        Be32(r.uiColumn24, e.ucaValue148);
        std::memcpy(e.ucaStartTime, r.ucaStartTime, sizeof e.ucaStartTime);
        area[i] = e;
    }
}

extern "C" void IPConvTfoPair2Detail(const CliTfoPairDetail *detail, DETAIL_LIST_INFO *entry) {
    if (detail == nullptr || entry == nullptr) return;
    const CliTfoPairDetail &d = *detail;
    DETAIL_LIST_INFO e;
    std::memset(&e, 0, sizeof e);
    Be16(d.uiSessionID, e.ucaSessionID);
    Be16(d.uiPartnerSessionID, e.ucaPartnerID);
    e.ucCopyKind = IP_DETAIL_KIND_FAILOVER;
    e.ucSessionFlags = ZRK_SESFLAG_REMOTE;
    e.Phase = d.ucPhase;
    e.Status = d.ucStatus;
    Be32(d.uiElapsedTime, e.ucaLapseTime);
    // The leading volume stands on the side of the detail's own BoxID: the
    // destination when the flag says so, else the source.
    const bool destination = (d.ucFlags & IP_TFO_DEST_SIDE) != 0;
    const uint32_t srcOlu = destination ? d.uiPartnerOlu : d.uiOlu;
    const uint32_t dstOlu = destination ? d.uiOlu : d.uiPartnerOlu;
    const uint8_t *srcBox = destination ? d.ucaPartnerBoxID : d.ucaBoxID;
    const uint8_t *dstBox = destination ? d.ucaBoxID : d.ucaPartnerBoxID;
    std::memcpy(e.SrcBoxID, srcBox, sizeof e.SrcBoxID);
    std::memcpy(e.DstBoxID, dstBox, sizeof e.DstBoxID);
    Be32(srcOlu, e.SrcOlu);
    Be32(dstOlu, e.DstOlu);
    e.ucState106 = d.ucErrorCode;
    Be32(d.uiBlockCount_high, e.CopiedBlock_high);
    Be32(d.uiBlockCount_low, e.CopiedBlock_low);
    Be32(d.uiSrcSize_high, e.SrcSize_high);
    Be32(d.uiSrcSize_low, e.SrcSize_low);
    e.ucaState140[2] = static_cast<unsigned char>(d.uiProgress & 0xFF);
    std::memcpy(e.ucaStartTime, d.ucaStartTime, sizeof e.ucaStartTime);
    *entry = e;
}

extern "C" int IPGetDetailList(const char *ip, const char *user, uint32_t option, int *ListCnt,
                               DETAIL_LIST_INFO *area, size_t room) {
    TraceText(1, "INFO", kAllName, "START");
    TraceText(3, "INFO", kAllName, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), option);
    if (ListCnt == nullptr || (area == nullptr && room != 0)) {
        return TraceEnd(1, kAllName, FailWith(ZRK_ERR_PARAMETER));
    }
    // The extended session-list mode is asked only of a model that offers it.
    int listFlags = 0;
    if (zrkip::ListShowFlags(ip, user, 0, &listFlags) != 0) return TraceEnd(1, kAllName, -1);
    // Room for one row at least, so that an empty list is read as any other.
    Freed<CliCopySession> rows(
        static_cast<CliCopySession *>(std::calloc(std::max<size_t>(room, 1), sizeof(CliCopySession))));
    if (!rows) return TraceEnd(1, kAllName, FailWith(ZRK_ERR_NO_MEMORY));
    int count = 0;
    if (ShowCopySessions(ip, user, 0, nullptr, IP_SESSIONS_ALL, 0, &count, rows.get(), room) != 0) {
        return TraceEnd(1, kAllName, -1);
    }
    const size_t read = static_cast<size_t>(std::max(count, 0));
    if (CheckRoom(kAllName, read, room) != 0) return TraceEnd(1, kAllName, -1);
    Convert(rows.get(), read, area);
    *ListCnt = static_cast<int>(read);
    return TraceEnd(1, kAllName, 0);
}

extern "C" int IPGetVvolDetailList(const char *ip, const char *user, uint32_t option,
                                   int *ListCnt, DETAIL_LIST_INFO *area, size_t room) {
    TraceText(1, "INFO", kVvolName, "START");
    TraceText(3, "INFO", kVvolName, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), option);
    if (ListCnt == nullptr || (area == nullptr && room != 0)) {
        return TraceEnd(1, kVvolName, FailWith(ZRK_ERR_PARAMETER));
    }
    const CopyFunctions functions;
    if (!functions.Vvol()) return TraceEnd(1, kVvolName, FailWith(ZRK_ERR_NOT_SUPPORT));
    int count = 0;
    CliVvolCopySession *raw = nullptr;
    const int rc = ShowVvolCopySession(ip, user, 0, nullptr, 0, 0, &count, &raw);
    Freed<CliVvolCopySession> vrows(raw);
    if (rc != 0) return TraceEnd(1, kVvolName, -1);
    if (count <= 0 || !vrows) {
        *ListCnt = 0;
        return TraceEnd(1, kVvolName, 0);
    }
    const size_t read = static_cast<size_t>(count);
    if (CheckRoom(kVvolName, read, room) != 0) return TraceEnd(1, kVvolName, -1);
    Freed<CliCopySession> rows(static_cast<CliCopySession *>(std::calloc(read, sizeof(CliCopySession))));
    if (!rows) return TraceEnd(1, kVvolName, FailWith(ZRK_ERR_NO_MEMORY));
    IPConvVVolSes2CopySes(vrows.get(), count, rows.get());
    Convert(rows.get(), read, area);
    *ListCnt = count;
    return TraceEnd(1, kVvolName, 0);
}

namespace zrkip {

int TfoDetailList(CliTfoPair *tree, int *count, DETAIL_LIST_INFO *area, size_t room) {
    if (tree == nullptr || count == nullptr || (area == nullptr && room != 0)) {
        return FailWith(ZRK_ERR_PARAMETER);
    }
    // The sessions are counted before the first entry is written.
    size_t sessions = 0;
    ForEachSession(tree, [&](const CliTfoPairDetail &) { ++sessions; });
    if (CheckRoom(kTfoName, sessions, room) != 0) return -1;
    size_t n = 0;
    ForEachSession(tree, [&](const CliTfoPairDetail &detail) {
        IPConvTfoPair2Detail(&detail, &area[n]);
        ++n;
    });
    *count = AsCount(n);
    return 0;
}

}  // namespace zrkip

extern "C" int IPGetTfopDetailList(const char *ip, const char *user, uint32_t option,
                                   int *ListCnt, DETAIL_LIST_INFO *area, size_t room) {
    TraceText(1, "INFO", kTfoName, "START");
    TraceText(3, "INFO", kTfoName, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), option);
    if (ListCnt == nullptr || (area == nullptr && room != 0)) {
        return TraceEnd(1, kTfoName, FailWith(ZRK_ERR_PARAMETER));
    }
    if (!HasFailover(CopyFunctions())) return TraceEnd(1, kTfoName, FailWith(ZRK_ERR_NOT_SUPPORT));
    TreeOwner tree;
    if (ShowTfoPair(ip, user, 0, nullptr, 0, &tree.pTree) != 0) return TraceEnd(1, kTfoName, -1);
    int count = 0;
    const int rc = TfoDetailList(tree.pTree, &count, area, room);
    freeCliTfoPair(&tree.pTree);
    if (rc != 0) return TraceEnd(1, kTfoName, -1);
    *ListCnt = count;
    return TraceEnd(1, kTfoName, 0);
}

namespace zrkip {

int DetailListWithin(const char *ip, const char *user, uint32_t OptionFlag, int *ListCnt,
                     DETAIL_LIST_INFO *List, size_t room, unsigned char *SenseData) {
    CallFrame frame(kDetailListId, kPublicName, SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (ListCnt == nullptr || List == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    if (IPComInfoCheckSet(ip, user, OptionFlag, kDetailListMask, kRefreshCopy) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    const uint32_t forms = OptionFlag & kFormBits;
    if ((forms & (forms - 1)) != 0) {
        frame.Err(1, "OptionFlag=0x%02x ", OptionFlag);
        return frame.Finish(FailWith(ZRK_ERR_OPTION));
    }

    // The callers size their areas by the array's maximum session count as
    // the volume information carries it, in 16 bits: a larger maximum is a
    // broken answer. The list never goes beyond the smaller of the two.
    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    if (ListRoom(kPublicName, "MaxSession", functions.uiMaxSession, room, &room) != 0) {
        return frame.Finish(-1);
    }
    int count = 0;
    int rc = 0;
    if ((OptionFlag & ZRK_OPT_LIST_SEL_10) != 0) {
        rc = IPGetVvolDetailList(ip, user, 0, &count, List, room);
    } else if ((OptionFlag & ZRK_OPT_LIST_FAILOVER) != 0) {
        rc = IPGetTfopDetailList(ip, user, 0, &count, List, room);
    } else {
        rc = IPGetDetailList(ip, user, 0, &count, List, room);
    }
    if (rc != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    *ListCnt = count;
    frame.Info(2, "ListCnt=%d", count);
    const size_t bytes = static_cast<size_t>(count) * sizeof(DETAIL_LIST_INFO);
    frame.Dump(3, List, bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes));
    return frame.Finish(0);
}

}  // namespace zrkip

extern "C" int ZRKIPGetDetailList(const char *ip, const char *user, uint32_t OptionFlag,
                                  int *ListCnt, DETAIL_LIST_INFO *List,
                                  unsigned char *SenseData) {
    // The caller's area holds the array's maximum session count.
    return DetailListWithin(ip, user, OptionFlag, ListCnt, List, SIZE_MAX, SenseData);
}
