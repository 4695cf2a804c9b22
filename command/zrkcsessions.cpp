// What the arrays hold for the resolved pairs of a list: the copy session
// of each pair (one detail-list read per subgroup, through the transport of
// the pair that opens it), the status of each pair's source logical unit
// (one OLU status list read per subgroup, over the OLUs it needs), and the
// session of one pair asked directly.
//
// The detail lists are read into areas of the pair's maximum session count,
// a room the API is given and never writes beyond.
#include "zrkcdetail.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"
#include "zrkctrace.h"

#include "ipdetail.h"
#include "ipshow_generations.h"
#include "platform.h"
#include "zrklist.h"
#include "zrktvc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

using zrkc::kCopyKindEstimate;
using zrkc::Op;

// Results of com_session_check.
constexpr int kSessionActive = 3;
constexpr int kSessionIdle = 2;

using zrk::Be16;
using zrk::Be32;

// The keys of one pair in the order of the list's direction.
struct PairKeys {
    const char *pFirstBox;
    const char *pSecondBox;
    uint16_t uhFirstOlu, uhSecondOlu;
    uint32_t uiFirstExtHigh, uiFirstExtLow;
    uint32_t uiSecondExtHigh, uiSecondExtLow;
    uint32_t uiSizeHigh, uiSizeLow;
    bool bHasTarget;
    bool bSuspendedAlias; // an alias-form pair with the suspend mark
};

PairKeys KeysOf(const CopyPair &pair, int direction) {
    PairKeys k{};
    const bool swap = direction == 1;
    k.pFirstBox = swap ? pair.caTrgBoxID : pair.caSrcBoxID;
    k.pSecondBox = swap ? pair.caSrcBoxID : pair.caTrgBoxID;
    k.uhFirstOlu = static_cast<uint16_t>(swap ? pair.TrgOlu : pair.SrcOlu);
    k.uhSecondOlu = static_cast<uint16_t>(swap ? pair.SrcOlu : pair.TrgOlu);
    k.uiFirstExtHigh = swap ? pair.TrgAddr_h : pair.SrcAddr_h;
    k.uiFirstExtLow = swap ? pair.TrgAddr_l : pair.SrcAddr_l;
    k.uiSecondExtHigh = swap ? pair.SrcAddr_h : pair.TrgAddr_h;
    k.uiSecondExtLow = swap ? pair.SrcAddr_l : pair.TrgAddr_l;
    k.uiSizeHigh = pair.SrcSize_h;
    k.uiSizeLow = pair.SrcSize_l;
    k.bHasTarget = k.uhSecondOlu != 0xFFFF || k.uiSecondExtHigh != 0xFFFFFFFFu ||
                   k.uiSecondExtLow != 0xFFFFFFFFu;
    k.bSuspendedAlias = pair.ucVolumeKind == ZRKC_VOLKIND_ALIAS && pair.ucSuspendMark == ZRKC_SUSPEND_MARK;
    return k;
}

bool Matches(const DETAIL_LIST_INFO &e, const PairKeys &k) {
    const bool remote = (e.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0;
    if (!k.bHasTarget) {
        return e.ucCopyKind == kCopyKindEstimate && Be16(e.SrcOlu + 2) == k.uhFirstOlu &&
               Be32(e.SrcExtent_high) == k.uiFirstExtHigh &&
               Be32(e.SrcExtent_low) == k.uiFirstExtLow && Be32(e.SrcSize_high) == k.uiSizeHigh &&
               Be32(e.SrcSize_low) == k.uiSizeLow;
    }
    if (static_cast<unsigned char>(k.pSecondBox[0]) != 0xFF) {
        if (std::memcmp(k.pFirstBox, k.pSecondBox, ZRK_BOXID_LEN) != 0) {
            if (!remote || std::memcmp(e.SrcBoxID, k.pFirstBox, ZRK_BOXID_LEN) != 0 ||
                std::memcmp(e.DstBoxID, k.pSecondBox, ZRK_BOXID_LEN) != 0)
                return false;
        } else if (remote) {
            return false;
        }
    }
    if (Be16(e.SrcOlu + 2) != k.uhFirstOlu || Be16(e.DstOlu + 2) != k.uhSecondOlu ||
        Be32(e.SrcExtent_high) != k.uiFirstExtHigh || Be32(e.SrcExtent_low) != k.uiFirstExtLow)
        return false;
    const uint32_t sizeHigh = Be32(e.SrcSize_high);
    const uint32_t sizeLow = Be32(e.SrcSize_low);
    if (e.ucCopyKind != kCopyKindEstimate) {
        if (Be32(e.DstExtent_high) != k.uiSecondExtHigh) return false;
        if (sizeHigh != k.uiSizeHigh && !(k.bSuspendedAlias && sizeHigh == 0)) return false;
    }
    if (Be32(e.DstExtent_low) != k.uiSecondExtLow) return false;
    return sizeLow == k.uiSizeLow || (k.bSuspendedAlias && sizeLow == 0);
}

} // namespace

namespace zrkc {

bool DetailArea::Reserve(uint32_t room) {
    room = room != 0 ? room : 1;
    if (room <= uiRoom) return true;
    pEntries.reset();
    uiRoom = 0;
    pEntries.reset(static_cast<DETAIL_LIST_INFO *>(std::calloc(room, sizeof(DETAIL_LIST_INFO))));
    if (!pEntries) return false;
    uiRoom = room;
    return true;
}

DetailRead ReadDetailInto(const char *volume, uint8_t transport, uint32_t apiFlags,
                          DetailArea &area, unsigned char *sense) {
    std::memset(sense, 0, ZRK_SENSE_LEN);
    DetailRead read{0, 0};
    if (OverLan(transport)) {
        int got = 0;
        read.iResult = zrkip::DetailListWithin(volume, nullptr, apiFlags, &got, area.Entries(),
                                               area.Room(), sense);
        read.uiCount = read.iResult == 0 && got > 0 ? static_cast<uint32_t>(got) : 0;
    } else {
        uint32_t got = 0;
        read.iResult = zrk::DetailListWithin(volume, apiFlags, &got, area.Entries(), area.Room(), sense);
        read.uiCount = read.iResult == 0 ? got : 0;
    }
    // The API writes no more than the room; a count beyond it is not believed.
    read.uiCount = std::min(read.uiCount, area.Room());
    return read;
}

int ReadDetailList(const char *volume, uint8_t transport, uint32_t apiFlags, DetailArea &area,
                   uint32_t &count, ReturnInfo *ri) {
    count = 0;
    unsigned char sense[ZRK_SENSE_LEN];
    const DetailRead read = ReadDetailInto(volume, transport, apiFlags, area, sense);
    if (com_set_return_inf(IdOf(Op::DetailList, transport), volume, read.iResult, sense,
                           &ri->iReturnClass, &ri->uiMessageNo, ri->caMessage) != 0)
        return -1;
    count = read.uiCount;
    return 0;
}

int ReadGenerationsInto(const CopyPair &pair, uint32_t apiOption, unsigned char *list,
                        uint32_t room, unsigned char *sense) {
    std::memset(sense, 0, ZRK_SENSE_LEN);
    if (OverLan(pair)) {
        return zrkip::GenerationListWithin(pair.caAccessVolume, nullptr, pair.caSrcBoxID,
                                           pair.SrcOlu, pair.SrcAddr_h, pair.SrcAddr_l,
                                           pair.SrcSize_h, pair.SrcSize_l, apiOption, list, room,
                                           sense);
    }
    return zrk::GenerationListWithin(pair.caAccessVolume, pair.caSrcBoxID, pair.SrcOlu,
                                     pair.SrcAddr_h, pair.SrcAddr_l, pair.SrcSize_h,
                                     pair.SrcSize_l, apiOption, list, room, sense);
}

} // namespace zrkc

extern "C" int com_get_session_list(CopyPairList *list, int direction, int optionFlag,
                                    int *foundCount, SessionRecord *records, ReturnInfo *ri) {
    constexpr const char *kName = "com_get_session_list";
    const char *apis = zrkc::TraceNames(Op::DetailList);
    *foundCount = 0;
    zrkc::TraceCallStart(kName, apis, zrkc::kTraceSupport);
    const SubgroupIndex *index = list->pSubgroups;
    const uint32_t count = index != nullptr ? index->uiPairCount : 0;
    // The stack-timer commands read the list in its extended session-list
    // form; -vvol reads the sessions of virtual volumes.
    const uint32_t apiFlags = (static_cast<uint32_t>(optionFlag) & ZRKC_OPT_STACK_TIMER) != 0
                                  ? ZRK_OPT_LIST_SEL_01
                              : (uiExOptionFlag & ZRKC_EXOPT_VVOL) != 0 ? ZRK_OPT_LIST_SEL_10
                                                                        : 0u;
    zrkc::DetailArea area;
    uint32_t listCount = 0;
    int result = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const SubgroupEntry &at = index->taEntry[i];
        const CopyPair &pair = *at.pPair;
        if (at.uiSubgroupSize != 0) {
            // Room for every session of the pair's array, or for every
            // session a list can name when the sessions of virtual volumes
            // are read.
            const uint32_t room = (uiExOptionFlag & ZRKC_EXOPT_VVOL) != 0 ? zrkc::kDetailListRoom
                                                                          : pair.uhMaxSessions;
            if (!area.Reserve(room)) {
                zrkc::SetNoMemory(ri);
                return zrkc::ErrorEnd(kName, "malloc");
            }
            if (zrkc::ReadDetailList(pair.caAccessVolume, pair.ucTransport, apiFlags, area,
                                     listCount, ri) != 0) {
                zrkc::TraceVolumeParm(kName, pair.caAccessVolume, apiFlags, zrkc::kTraceStep);
                return zrkc::ErrorEnd(kName);
            }
        }
        SessionRecord &record = records[at.uiPairIndex];
        if (listCount == 0) {
            result = 2;
            continue;
        }
        const PairKeys keys = KeysOf(pair, direction);
        const DETAIL_LIST_INFO *match = nullptr;
        for (uint32_t e = 0; e < listCount && match == nullptr; ++e) {
            if (Matches(area.Entries()[e], keys)) match = &area.Entries()[e];
        }
        if (match == nullptr) {
            result = 2;
            continue;
        }
        if (keys.bHasTarget && Be32(match->SrcSize_high) == 0 && Be32(match->SrcSize_low) == 0)
            at.pPair->ucWholeVolume = 1;
        record.ucFound = 1;
        record.tDetail = *match;
        ++*foundCount;
    }
    zrkc::TraceCallEnd(kName, apis, zrkc::kTraceSupport);
    return result;
}

extern "C" int com_get_lunstatus_list(CopyPairList *list, int *foundCount, LunStatusRecord *records,
                                      ReturnInfo *ri) {
    constexpr const char *kName = "com_get_lunstatus_list";
    const char *apis = zrkc::TraceNames(Op::OluStatusList);
    *foundCount = 0;
    const SubgroupIndex *index = list->pSubgroups;
    const uint32_t count = index != nullptr ? index->uiPairCount : 0;

    // The OLU range of each subgroup, kept at its first entry.
    struct Range {
        uint32_t uiMin = 0xFFFF, uiMax = 0;
    };
    zrkc::Owned<Range> ranges = zrkc::Cleared<Range>(count);
    if (!ranges) {
        zrkc::SetNoMemory(ri);
        return zrkc::ErrorEnd(kName, "malloc");
    }
    uint32_t widest = 1;
    for (uint32_t i = 0, first = 0; i < count; ++i) {
        if (index->taEntry[i].uiSubgroupSize != 0) {
            first = i;
            ranges.get()[first] = Range{};
        }
        Range &range = ranges.get()[first];
        const uint32_t olu = index->taEntry[i].pPair->SrcOlu & 0xFFFF;
        range.uiMin = std::min(range.uiMin, olu);
        range.uiMax = std::max(range.uiMax, olu);
        widest = std::max(widest, range.uiMax - range.uiMin + 1);
    }
    const size_t bufferBytes = ZRK_OLU_STATUS_LIST_LEN(size_t{0}, size_t{widest - 1});
    zrkc::Owned<unsigned char> buffer = zrkc::Cleared<unsigned char>(bufferBytes);
    if (!buffer) {
        zrkc::SetNoMemory(ri);
        return zrkc::ErrorEnd(kName, "malloc");
    }

    zrkc::TraceCallStart(kName, apis, zrkc::kTraceSupport);
    int result = 0;
    uint32_t listCount = 0;
    unsigned char sense[ZRK_SENSE_LEN];
    const unsigned char *rows = buffer.get() + ZRK_OLU_STATUS_LIST_HEAD;
    for (uint32_t i = 0; i < count; ++i) {
        const SubgroupEntry &at = index->taEntry[i];
        const CopyPair &pair = *at.pPair;
        if (at.uiSubgroupSize != 0) {
            std::memset(buffer.get(), 0, bufferBytes);
            if (pair.ucByTarget != 0) {
                *foundCount = 0;
                zrkc::SetResult(ri, zrkc::Msg::AliasUndefined);
                return zrkc::ErrorEnd(kName);
            }
            const Range range = ranges.get()[i];
            std::memset(sense, 0, sizeof sense);
            const int r = zrkc::CallByTransport(pair.ucTransport, pair.caAccessVolume, sense,
                                                ZRKGetOLUStatusList, ZRKIPGetOLUStatusList,
                                                range.uiMin, range.uiMax, buffer.get());
            if (com_set_return_inf(zrkc::IdOf(Op::OluStatusList, pair.ucTransport),
                                   pair.caAccessVolume, r, sense, &ri->iReturnClass,
                                   &ri->uiMessageNo, ri->caMessage) != 0) {
                zrkc::TraceLine(zrkc::kTraceStep, {}, "%s WX-API Parm LogicalVol=%s MinOlu=%08x MaxOlu=%08x",
                                kName, pair.caAccessVolume, range.uiMin, range.uiMax);
                *foundCount = 0;
                return -1;
            }
            // Never more entries than the range has room for.
            listCount = std::min(Be32(buffer.get()), range.uiMax - range.uiMin + 1);
        }
        const uint16_t olu = static_cast<uint16_t>(pair.SrcOlu);
        // Binary search over the entries, ascending by their OLU.
        uint32_t lo = 0, hi = listCount;
        const unsigned char *found = nullptr;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            const unsigned char *row = rows + size_t{mid} * ZRK_OLU_STATUS_LEN;
            const uint16_t at16 = Be16(row);
            if (at16 == olu) {
                found = row;
                break;
            }
            if (at16 < olu) lo = mid + 1;
            else hi = mid;
        }
        if (found == nullptr) {
            zrkc::ErrorEnd(kName, "no OLU");
            result = 2;
            continue;
        }
        LunStatusRecord &record = records[at.uiPairIndex];
        record.ucFound = 1;
        std::memcpy(record.ucaStatus, found, ZRK_OLU_STATUS_LEN);
        ++*foundCount;
    }
    zrkc::TraceCallEnd(kName, apis, zrkc::kTraceSupport);
    return result;
}

extern "C" int com_session_check(const char *volume, unsigned char *detail, ReturnInfo *ri,
                                 CopyPair pair) {
    constexpr const char *kName = "com_session_check";
    std::memset(detail, 0, 256);
    unsigned char sense[ZRK_SENSE_LEN] = {};
    zrkc::TraceStart(kName);
    zrkc::TraceCallStart(kName, zrkc::TraceNames(Op::QueryDetail), zrkc::kTraceSupport);
    auto parameters = [&](int level, zrkc::Where where = zrkc::Where::current()) {
        zrkc::TraceLine(level, {where},
                        "%s WX-API Parm SrcVol=%s, SOlu=0x%08x, SAddr=0x%x/0x%08x, SSize=0x%x/0x%08x, "
                        "TOlu=0x%08x, TAddr=0x%x/0x%08x, opt=0x%08x",
                        kName, volume, pair.SrcOlu, pair.SrcAddr_h, pair.SrcAddr_l, pair.SrcSize_h,
                        pair.SrcSize_l, pair.TrgOlu, pair.TrgAddr_h, pair.TrgAddr_l, 0u);
    };
    parameters(zrkc::kTraceSupport);
    const int r = ZRKLVQueryDetail(volume, pair.caSrcBoxID, pair.SrcOlu, pair.SrcAddr_h,
                                   pair.SrcAddr_l, pair.SrcSize_h, pair.SrcSize_l, pair.caTrgBoxID,
                                   pair.TrgOlu, pair.TrgAddr_h, pair.TrgAddr_l, 255, 0, 256, detail,
                                   sense);
    int result;
    if (r == 0) {
        zrkc::TraceLine(zrkc::kTraceSupport, {}, "SessionStatus=Active");
        result = kSessionActive;
    } else if (ZRKerrno == ZRK_ERR_NO_SESSION) {
        parameters(zrkc::kTraceStep);
        zrkc::TraceLine(zrkc::kTraceSupport, {}, "SessionStatus=Idle");
        result = kSessionIdle;
    } else {
        parameters(zrkc::kTraceStep);
        result = com_set_return_inf(zrkc::IdOf(Op::QueryDetail), volume, r, sense, &ri->iReturnClass,
                                    &ri->uiMessageNo, ri->caMessage);
        zrkc::TraceLine(zrkc::kTraceStep, {}, "SessionStatus=Unexpectedness");
    }
    zrkc::NormalEnd(kName);
    return result;
}
