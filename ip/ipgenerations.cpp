// SnapKZP+ over the LAN: the generations of a source extent as the in-band
// SnapDetailList, the pool sizes that restoring a session takes, and the
// array's snap data pool, each in the big-endian record of its in-band twin.
#include "ipcontrol.h"
#include "ipframe.h"
#include "ipsession.h"
#include "ipshow_array.h"
#include "ipshow_generations.h"
#include "ipshow_volumes.h"
#include "platform.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

using namespace zrkip;

namespace {

constexpr int kGenerationListId = 1017;
constexpr char kGenerationListName[] = "ZRKIPGeneraListSnapKZP_p";
constexpr int kPoolInfoId = 1018;
constexpr int kPoolExtSizeId = 1020;

constexpr uint32_t kGenerationListMask = 0;
constexpr uint32_t kPoolInfoMask = 0;
constexpr uint32_t kPoolExtSizeMask = ZRK_OPT_SESSION_ID;
constexpr int kRefresh = IP_REFRESH_BOXID | IP_REFRESH_FUNCS;

constexpr uint32_t kOluLimit = 0x10000;
constexpr uint8_t kStatusActive = 2;
// Copy-function record, detail flags: the array reports copy progress.
constexpr uint32_t kDetailProgress = 0x01;
// Session detail, support information: the progress byte is valid.
constexpr uint8_t kSupportProgress = 0x01;

void PutBe16(unsigned char *out, uint32_t value) { ShiftAnytoB(&value, 4, 2, out); }
void PutBe32(unsigned char *out, uint32_t value) { ShiftAnytoB(&value, 4, 4, out); }
// A 64-bit value of two halves, high half first.
void PutHalves(unsigned char *out, uint32_t high, uint32_t low) {
    PutBe32(out, high);
    PutBe32(out + 4, low);
}

// ---- one generation's slot -----------------------------------------------------------------

// Offsets inside a slot of SnapDetailList (the session detail record).
enum SlotField : size_t {
    kSlotSessionId = 0,
    kSlotPartnerId = 2,
    kSlotKind = 4,
    kSlotColumn36 = 5,
    kSlotFlags = 12,
    kSlotModes = 14,
    kSlotTransfer = 15,
    kSlotModeChange = 16,
    kSlotUsable = 17,
    kSlotPhase = 18,
    kSlotStatus = 19,
    kSlotError = 20,
    kSlotColumn22 = 21,
    kSlotColumn23 = 23,
    kSlotSrcBox = 24,
    kSlotDstBox = 72,
    kSlotSrcOlu = 120,
    kSlotDstOlu = 124,
    kSlotExtents = 128,
    kSlotProgress = 130,
    kSlotSupport = 131,
    kSlotLapse = 132,
    kSlotCopied = 136,
    kSlotStart = 144,
    kSlotSrcExtent = 152,
    kSlotSize = 160,
    kSlotDstExtent = 168,
};

// Flag byte: whole volume, SnapKZP+, remote, SnapKZP, QuickKZP and the
// secondary-access field as the row holds them.
constexpr uint8_t kFlagBits = 0xF8 | 0x03;
// Mode byte: the mode bits of column 4 and two flag bits of column 3.
constexpr uint8_t kModeBitsOfColumn4 = 0x10 | 0x04 | 0x02 | 0x01;
constexpr uint8_t kModeBitsOfColumn3 = 0x80 | 0x20;

void FillSlot(const CliCopySession &row, bool progressReported, unsigned char *slot) {
    std::memset(slot, 0, IP_SNAP_LIST_SLOT_LEN);
    PutBe16(slot + kSlotSessionId, row.uiSessionID);
    PutBe16(slot + kSlotPartnerId, row.uiSessionID2);
    slot[kSlotKind] = row.ucSessionType;
    slot[kSlotColumn36] = row.ucColumn36;
    slot[kSlotFlags] = static_cast<unsigned char>(row.ucAttr & kFlagBits);
    slot[kSlotModes] = static_cast<unsigned char>((row.ucAttr2 & kModeBitsOfColumn4) |
                                                  (row.ucAttr & kModeBitsOfColumn3));
    slot[kSlotTransfer] = row.ucColumn5;
    slot[kSlotModeChange] = row.ucColumn8;
    slot[kSlotUsable] = row.ucUsable;
    slot[kSlotPhase] = row.ucPhase;
    slot[kSlotStatus] = row.ucSessionStatus;
    slot[kSlotError] = row.ucErrorCode;
    slot[kSlotColumn22] = row.ucColumn22;
    slot[kSlotColumn23] = row.ucColumn23;
    std::memcpy(slot + kSlotSrcBox, row.ucaSrcBoxID, ZRK_BOXID_LEN);
    std::memcpy(slot + kSlotDstBox, row.ucaDstBoxID, ZRK_BOXID_LEN);
    PutBe32(slot + kSlotSrcOlu, row.uiSrcOLU);
    PutBe32(slot + kSlotDstOlu, row.uiDstOLU);
    PutBe16(slot + kSlotExtents, row.uiExtentCnt);
    slot[kSlotProgress] = static_cast<unsigned char>(row.uiCopyProgress & 0xFF);
    slot[kSlotSupport] =
        static_cast<unsigned char>(row.ucSupportInfo | (progressReported ? kSupportProgress : 0));
    PutBe32(slot + kSlotLapse, row.uiLapseTime);
    PutHalves(slot + kSlotCopied, row.uiCopiedBlock_high, row.uiCopiedBlock_low);
    std::memcpy(slot + kSlotStart, row.ucaStartTime, sizeof row.ucaStartTime);
    PutHalves(slot + kSlotSrcExtent, row.uiSrcExtAddr_high, row.uiSrcExtAddr_low);
    PutHalves(slot + kSlotSize, row.uiSize_high, row.uiSize_low);
    PutHalves(slot + kSlotDstExtent, row.uiDstExtAddr_high, row.uiDstExtAddr_low);
}

// What ShowSnapKzpGen handed out, released on every way out.
struct GenOwner {
    CliSnapKzpGen *pGroups = nullptr;
    int iCount = 0;
    ~GenOwner() { FreeSnapKzpGen(pGroups, iCount); }
};

bool Matches(const CliSnapKzpGen &group, const IPCopyReq &req) {
    return group.ExtAddr_high == req.SrcExtAddr_high && group.ExtAddr_low == req.SrcExtAddr_low &&
           group.ExtSize_high == req.SrcSize_high && group.ExtSize_low == req.SrcSize_low;
}

// The generations of group into area; *count the slots written.
int ListGroup(const char *name, const char *ip, const char *user, const CliSnapKzpGen &group,
              unsigned char *area, size_t room, uint32_t *count) {
    if (group.SesCnt == 0) return 0;
    if (group.SesCnt > room) {
        TraceText(1, "ERR", name, " generations %u, room %zu ", group.SesCnt, room);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    std::vector<int> ids(group.SesIDs, group.SesIDs + group.SesCnt);
    std::vector<CliCopySession> rows(group.SesCnt);
    int found = 0;
    if (ShowCopySessions(ip, user, static_cast<int>(ids.size()), ids.data(), IP_SESSIONS_IDS, 0,
                         &found, rows.data(), rows.size()) != 0) {
        return -1;
    }
    const size_t written = found < 0 ? 0 : static_cast<size_t>(found);
    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    const bool progress = (functions.uiDetailFlags & kDetailProgress) != 0;
    for (size_t k = 0; k < written && k < rows.size(); ++k) {
        FillSlot(rows[k], progress, area + IP_SNAP_LIST_HEAD_LEN + k * IP_SNAP_LIST_SLOT_LEN);
    }
    *count = static_cast<uint32_t>(written);
    return 0;
}

// The checks before a pool query: an output area, and an array whose SnapKZP
// kinds include `bit`. 0 to go on; else the failure, already traced as the
// end of `name`.
int RefusePoolQuery(const char *name, const unsigned char *area, unsigned bit) {
    if (area == nullptr) return TraceEnd(1, name, FailWith(ZRK_ERR_PARAMETER));
    const CopyFunctions functions;
    if (!functions.Has(ZRK_SUPPORT_KZP_KINDS, bit)) {
        return TraceEnd(1, name, FailWith(ZRK_ERR_NOT_SUPPORT));
    }
    return 0;
}

}  // namespace

// ---- the internal functions --------------------------------------------------------------

extern "C" int IPGetGenerationList(const char *ip, const char *user, uint32_t Option,
                                   const IPCopyReq *req, uint32_t *count, unsigned char *area,
                                   size_t room) {
    static const char kName[] = "IPGetGenerationList";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), Option);
    if (req == nullptr || count == nullptr || area == nullptr) {
        return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    }
    TraceData(3, kName, req, static_cast<int>(sizeof *req));
    *count = 0;
    if (IPCheckBoxID(req) != 0) return TraceEnd(1, kName, -1);

    GenOwner groups;
    if (ShowSnapKzpGen(ip, user, static_cast<int>(req->SrcOLU), 0, &groups.iCount,
                       &groups.pGroups) != 0) {
        return TraceEnd(1, kName, -1);
    }
    uint32_t written = 0;
    for (int g = 0; g < groups.iCount; ++g) {
        if (!Matches(groups.pGroups[g], *req)) continue;
        try {
            if (ListGroup(kName, ip, user, groups.pGroups[g], area, room, &written) != 0) {
                return TraceEnd(1, kName, -1);
            }
        } catch (const std::bad_alloc &) {
            return TraceEnd(1, kName, FailWith(ZRK_ERR_NO_MEMORY));
        }
        break;
    }
    PutBe16(area, written);
    *count = written;
    return TraceEnd(1, kName, 0);
}

extern "C" int IPGetPoolSizeInfo(const char *ip, const char *user, int SessionID,
                                 unsigned char *area) {
    static const char kName[] = "IPGetPoolSizeInfo";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] SessionID=%d", Shown(ip), SessionID);
    if (int rc = RefusePoolQuery(kName, area, ZRK_SUPPORT_POOL_SIZE); rc != 0) return rc;
    CliSnapKzpRestoreSize row;
    std::memset(&row, 0, sizeof row);
    int rows = 0;
    if (ShowSnapKzpRestoreSize(ip, user, 1, &SessionID, IP_RESTORE_BY_ID, &rows, &row, 1) != 0) {
        return TraceEnd(1, kName, -1);
    }
    if (rows != 1) {
        TraceText(1, "ERR", kName, " rows %d ", rows);
        return TraceEnd(1, kName, FailWith(ZRK_ERR_NO_SESSION));
    }
    // The layout the restore reads on both roads: the free capacity at 8,
    // the capacity the restore takes at 16.
    unsigned char out[IP_POOL_INFO_LEN] = {};
    PutHalves(out + 8, row.FreeSize_high, row.FreeSize_low);
    PutHalves(out + 16, row.RestoreSize_high, row.RestoreSize_low);
    PutHalves(out + 24, row.Col3_high, row.Col3_low);
    PutHalves(out + 32, row.Col4_high, row.Col4_low);
    std::memcpy(area, out, sizeof out);
    TraceData(3, kName, out, static_cast<int>(sizeof out));
    return TraceEnd(1, kName, 0);
}

extern "C" int IPGetPoolInfo(const char *ip, const char *user, uint32_t Option,
                             unsigned char *area) {
    static const char kName[] = "IPGetPoolInfo";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), Option);
    if (int rc = RefusePoolQuery(kName, area, ZRK_SUPPORT_SNAP_P); rc != 0) return rc;
    CliSnapDataPool row;
    std::memset(&row, 0, sizeof row);
    int presence = 0;
    int rows = 0;
    if (ShowSnapDataPool(ip, user, 0, 1, &presence, &rows, &row, 1) != 0) {
        return TraceEnd(1, kName, -1);
    }
    const uint32_t halves[] = {row.Blk_high,           row.Blk_low,
                               row.BlkHostUse_high,    row.BlkHostUse_low,
                               row.BlkCopyUse_high,    row.BlkCopyUse_low,
                               row.BlkEnc_high,        row.BlkEnc_low,
                               row.BlkEncHostUse_high, row.BlkEncHostUse_low,
                               row.BlkEncCopyUse_high, row.BlkEncCopyUse_low};
    for (size_t i = 0; i < sizeof halves / sizeof halves[0]; ++i) PutBe32(area + 4 * i, halves[i]);
    return TraceEnd(1, kName, 0);
}

// ---- the public functions ------------------------------------------------------------------

namespace zrkip {

int GenerationListWithin(const char *ip, const char *user, const char *SrcBoxID, uint32_t SrcOLU,
                         uint32_t SrcExtAddr_high, uint32_t SrcExtAddr_low, uint32_t SrcSize_high,
                         uint32_t SrcSize_low, uint32_t OptionFlag, unsigned char *SnapDetailList,
                         size_t room, unsigned char *SenseData) {
    CallFrame frame(kGenerationListId, kGenerationListName, SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (SrcBoxID != nullptr) {
        frame.Info(2,
                   "SrcBoxID=%.40s, SrcOLU=%d, SrcExtAddr_high=%d, SrcExtAddr_low=%d, "
                   "SrcSize_high=%d, SrcSize_low=%d",
                   SrcBoxID, SrcOLU, SrcExtAddr_high, SrcExtAddr_low, SrcSize_high, SrcSize_low);
    } else {
        frame.Info(2,
                   "SrcBoxID=NULL, SrcOLU=%d, SrcExtAddr_high=%d, SrcExtAddr_low=%d, "
                   "SrcSize_high=%d, SrcSize_low=%d",
                   SrcOLU, SrcExtAddr_high, SrcExtAddr_low, SrcSize_high, SrcSize_low);
    }
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (SnapDetailList == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    if (SrcBoxID == nullptr) return frame.Finish(FailWith(ZRK_ERR_SRC_BOXID));
    if (SrcOLU >= kOluLimit) return frame.Finish(FailWith(ZRK_ERR_SRC_OLU));
    if ((SrcSize_high | SrcSize_low) == 0 && (SrcExtAddr_high | SrcExtAddr_low) != 0) {
        return frame.Finish(FailWith(ZRK_ERR_SIZE));
    }
    if (IPComInfoCheckSet(ip, user, OptionFlag, kGenerationListMask, kRefresh) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }

    // The source alone: no destination array, volume or extent, and so no
    // copy between two arrays.
    static const char kNoBox[ZRK_BOXID_LEN] = {};
    IPCopyReq req;
    IPMakeReq(SrcBoxID, SrcOLU, SrcExtAddr_high, SrcExtAddr_low, SrcSize_high, SrcSize_low, kNoBox,
              0, 0, 0, 0, &req);
    req.CopyAttr = static_cast<uint8_t>(req.CopyAttr & ~ZRK_IPATTR_REMOTE);

    // The list never holds more slots than the array's maximum generation
    // count, which its 16-bit count must carry, nor more than the caller's room.
    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    if (ListRoom(kGenerationListName, "MaxSnapGen", functions.uiMaxSnapGen, room, &room) != 0) {
        return frame.Finish(-1);
    }
    const size_t length = IP_SNAP_LIST_HEAD_LEN + IP_SNAP_LIST_SLOT_LEN * room;
    Freed<unsigned char> work(static_cast<unsigned char *>(std::calloc(1, length)));
    if (work == nullptr) return frame.Finish(FailWith(ZRK_ERR_NO_MEMORY));

    uint32_t count = 0;
    if (IPGetGenerationList(ip, user, 0, &req, &count, work.get(), room) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    if (count == 0) {
        frame.Err(2, "no generation of the extent");
        frame.SenseAgain();
        return frame.Finish(FailWith(ZRK_ERR_NO_SESSION));
    }
    const size_t used = IP_SNAP_LIST_HEAD_LEN + IP_SNAP_LIST_SLOT_LEN * size_t{count};
    std::memcpy(SnapDetailList, work.get(), used);
    frame.Dump(3, SnapDetailList, static_cast<int>(used));
    return frame.Finish(0);
}

}  // namespace zrkip

extern "C" int ZRKIPGeneraListSnapKZP_p(const char *ip, const char *user, const char *SrcBoxID,
                                        uint32_t SrcOLU, uint32_t SrcExtAddr_high,
                                        uint32_t SrcExtAddr_low, uint32_t SrcSize_high,
                                        uint32_t SrcSize_low, uint32_t OptionFlag,
                                        unsigned char *SnapDetailList,
                                        unsigned char *SenseData) {
    // The caller's area holds the array's maximum generation count of slots.
    return GenerationListWithin(ip, user, SrcBoxID, SrcOLU, SrcExtAddr_high, SrcExtAddr_low,
                                SrcSize_high, SrcSize_low, OptionFlag, SnapDetailList, SIZE_MAX,
                                SenseData);
}

extern "C" int ZRKIPGetPoolExtSize(const char *ip, const char *user, const char *SrcBoxID,
                                   uint32_t SrcOLU, uint32_t SrcExtAddr_high,
                                   uint32_t SrcExtAddr_low, uint32_t SrcSize_high,
                                   uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOLU,
                                   uint32_t DstExtAddr_high, uint32_t DstExtAddr_low,
                                   int CopyInterval, uint32_t OptionFlag,
                                   unsigned char *PoolSizeInfo, unsigned char *SenseData) {
    CallFrame frame(kPoolExtSizeId, "ZRKIPGetPoolExtSize", SenseData);
    const CopyArgs args = IP_COPY_ARGS_RECORD;
    TraceCopyArgs(frame, args);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (IPComInfoCheckSet(ip, user, OptionFlag, kPoolExtSizeMask, kRefresh) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    if (PoolSizeInfo == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));

    IPCopyReq req;
    std::memset(&req, 0, sizeof req);
    if (!Set(OptionFlag, ZRK_OPT_SESSION_ID)) {
        if (CheckCopyArgs(args, 0) != 0) return frame.Finish(-1);
        MakeCopyReq(args, &req);
        if (Remote(req)) return frame.Finish(FailWith(ZRK_ERR_NOT_SUPPORT));
    } else if (SrcOLU > kMaxSessionId) {
        frame.Err(3, "SessionID=%u", SrcOLU);
        return frame.Finish(FailWith(ZRK_ERR_SESSION_ID));
    } else {
        req.SrcOLU = SrcOLU;
    }
    req.ReqMark = 1;
    req.CopyType = IP_COPY_KZP;

    CliCopySession row;
    std::memset(&row, 0, sizeof row);
    if (IPQueryTvc(ip, user, OptionFlag, kLookupShowFlags, &req, &row) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    int error = ZRK_ERR_NONE;
    if ((row.ucAttr & ZRK_IPATTR_SNAPKZP_P) == 0) {
        error = ZRK_ERR_NO_SESSION;
    } else if (row.ucSessionStatus != kStatusActive) {
        error = ZRK_ERR_SEQUENCE;
    }
    if (error != ZRK_ERR_NONE) {
        frame.Err(3, "SessionID=%u Attr=0x%02x Status=%u", row.uiSessionID, row.ucAttr,
                  row.ucSessionStatus);
        return frame.Finish(FailWith(error));
    }
    if (IPGetPoolSizeInfo(ip, user, static_cast<int>(row.uiSessionID), PoolSizeInfo) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    frame.Dump(2, PoolSizeInfo, IP_POOL_INFO_LEN);
    return frame.Finish(0);
}

extern "C" int ZRKIPPoolInfoSnapKZP_p(const char *ip, const char *user, uint32_t OptionFlag,
                                      unsigned char *PoolInfo, unsigned char *SenseData) {
    CallFrame frame(kPoolInfoId, "ZRKIPPoolInfoSnapKZP_p", SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (PoolInfo == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    if (IPComInfoCheckSet(ip, user, OptionFlag, kPoolInfoMask, kRefresh) != 0 ||
        IPGetPoolInfo(ip, user, OptionFlag, PoolInfo) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    frame.Dump(3, PoolInfo, IP_POOL_INFO_LEN - 8);
    return frame.Finish(0);
}
