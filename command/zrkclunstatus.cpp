// zrkc_query_lunstatus and zrkc_set_copyinhibit: the status of logical
// units and their copy inhibit (copy protection), for one volume, every line
// of a group file, or (query) every unit of the volume's array.
#include "zrkcdetail.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"
#include "zrkcvz.h"

#include "platform.h"
#include "zrklist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace zrkc {
namespace {

constexpr uint32_t kQueryMask = ZRKC_OPT_ALL_LUN | ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY;
constexpr uint32_t kInhibitMask = ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY;

// The range the all-LUN form reads.
constexpr uint32_t kLastOlu = 0xFFFF;
constexpr size_t kAllLunListLen = ZRK_OLU_STATUS_LIST_LEN(size_t{0}, size_t{kLastOlu});

using zrk::Be16;
using zrk::Be32;
using zrk::Be64;

// The option rules and the list of single volumes that both commands share
// (a group file of pairs gives its sources, or with ZRKC_OPT_OTHER_WAY its
// targets). 0 to go on, else what the command returns.
int OpenVolumes(CommandCall &call, char *volume, uint32_t option, uint32_t mask) {
    if (call.CheckOptions(option, mask) != 0) return -1;
    const bool otherWay = (option & ZRKC_OPT_OTHER_WAY) != 0;
    if (otherWay && (option & ZRKC_OPT_GROUP_FILE) == 0) return call.RefuseOptions();
    if (int r = call.BuildList(volume, nullptr, option)) return r;
    CopyPairList &list = call.List();
    if (list.pNames->uiForm == ZRKC_FORM_PAIRS) {
        com_reset_copypair(otherWay ? 1 : 0, &list);
    } else if (otherWay) {
        return call.RequirePairs();
    }
    return 0;
}

// The status record of each list entry; a found count of 0 is 1250. 0 or
// what the command returns.
int ReadUnits(CommandCall &call, Owned<LunStatusRecord[]> &records) {
    CopyPairList &list = call.List();
    records = Cleared<LunStatusRecord[]>(PairsOf(list));
    if (!records) return call.NoMemory();
    int found = 0;
    if (com_get_lunstatus_list(&list, &found, records.get(), call.Result()) == -1)
        return call.Fail();
    if (found == 0) {
        SetResult(call.Result(), Msg::LunInvalid);
        return call.Fail();
    }
    return 0;
}

// The host-order entry of one big-endian OLU status record.
void FillEntry(LunStatusEntry &e, const unsigned char *status) {
    e.Olu = Be16(status);
    e.TfoGroupNo = status[3];
    e.StatusFlag = Be32(status + 4);
    e.LogicalSize = Be64(status + 8);
    e.PhysicalSize = Be64(status + 16);
    e.UsedSdvHost = Be64(status + 24);
    e.UsedSdvCopy = Be64(status + 32);
    e.UsedSdpHost = Be64(status + 40);
    e.UsedSdpCopy = Be64(status + 48);
}

// Every unit of the array that holds the list's only volume; items receives
// the number the array reported (at most the records' room). 0 or what the
// command returns.
int ReadAllUnits(CommandCall &call, Owned<LunStatusRecord[]> &records, uint32_t &items) {
    items = 0;
    Owned<unsigned char> buffer = Cleared<unsigned char>(kAllLunListLen);
    if (!buffer) return call.NoMemory();
    call.TraceApiStart(Op::AllOluStatusList);
    const CopyPair &pair = call.List().pPairs->taPair[0];
    const int r = call.CallByTransport(pair, ZRKGetOLUStatusList, ZRKIPGetOLUStatusList, 0u, kLastOlu,
                                       buffer.get());
    if (call.MapResult(0, Op::AllOluStatusList, pair, r) != 0) return call.Fail();
    // A count beyond the list's room is not believed past the room.
    const uint32_t count = std::min(Be32(buffer.get()), ZRKC_LUN_ALL_ITEMS);
    if (count == 0) return 0;
    records = Cleared<LunStatusRecord[]>(count);
    if (!records) return call.NoMemory();
    for (uint32_t i = 0; i < count; ++i) {
        records[i].ucFound = 1;
        std::memcpy(records[i].ucaStatus,
                    buffer.get() + ZRK_OLU_STATUS_LIST_HEAD + size_t{i} * ZRK_OLU_STATUS_LEN,
                    ZRK_OLU_STATUS_LEN);
    }
    items = count;
    return 0;
}

// The volume of pair is the target of an active RVZ session that stacks or
// keeps consistency: the array could not keep such a target protected.
bool RefusesInhibit(const DETAIL_LIST_INFO &e, const CopyPair &pair) {
    return Be32(e.DstOlu) == pair.SrcOlu && e.ucCopyKind == kCopyKindVz &&
           (e.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0 &&
           (e.ucTransferMode == kTransferStack || e.ucTransferMode == kTransferConsistency) &&
           e.Status == ZRKC_SESSION_ACTIVE &&
           std::memcmp(e.DstBoxID, pair.caSrcBoxID, ZRK_BOXID_LEN) == 0;
}

} // namespace
} // namespace zrkc

using zrkc::CommandCall;
using zrkc::Op;

extern "C" int copyinhibit_possiblecheck(CopyPairList *list, ReturnInfo *ri) {
    constexpr const char *kName = "copyinhibit_possiblecheck";
    zrkc::TraceStart(kName);
    const SubgroupIndex *index = list->pSubgroups;
    const uint32_t count = index != nullptr ? index->uiPairCount : 0;
    const bool group = list->iFromGroupFile != 0;
    zrkc::DetailArea area;
    uint32_t listCount = 0;
    bool refused = false; // a line of a group run refused
    for (uint32_t k = 0; k < count; ++k) {
        const SubgroupEntry &at = index->taEntry[k];
        const CopyPair &pair = *at.pPair;
        if (at.uiSubgroupSize != 0) {
            // Room for every session of the pair's array.
            if (!area.Reserve(pair.uhMaxSessions)) {
                zrkc::SetNoMemory(ri);
                return zrkc::ErrorEnd(kName, "malloc");
            }
            if (zrkc::ReadDetailList(pair.caAccessVolume, pair.ucTransport, 0, area, listCount,
                                     ri) != 0)
                return zrkc::ErrorEnd(kName);
        }
        const DETAIL_LIST_INFO *begin = area.Entries();
        const DETAIL_LIST_INFO *end = begin + listCount;
        if (std::find_if(begin, end, [&](const DETAIL_LIST_INFO &e) {
                return zrkc::RefusesInhibit(e, pair);
            }) == end)
            continue;
        PairResult *entry = group ? CommandCall::EntryOf(ri, at.uiPairIndex) : nullptr;
        if (entry == nullptr) {
            zrkc::SetResult(ri, zrkc::Msg::ProtectRefused);
            return zrkc::ErrorEnd(kName);
        }
        zrkc::SetResult(zrkc::SlotOf(entry), zrkc::Msg::ProtectRefused);
        CommandCall::GroupLineFailed(ri, refused);
    }
    zrkc::NormalEnd(kName);
    return refused ? -2 : 0;
}

extern "C" int zrkc_query_lunstatus(char *volume, int option, ReturnInfo *ri, LunStatusList *output,
                                    int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_query_lunstatus", ri);
    // An output area that is missing while a length is given counts as a
    // missing operand.
    const bool noArea = output == nullptr && outputLength != 0;
    if (call.OpenVolume(noArea ? nullptr : volume, opt) != 0) return -1;
    const bool allLun = (opt & ZRKC_OPT_ALL_LUN) != 0;
    if (allLun && (opt & ZRKC_OPT_GROUP_FILE) != 0) return call.RefuseOptions();
    if (int r = zrkc::OpenVolumes(call, volume, opt, zrkc::kQueryMask)) return r;
    CopyPairList &list = call.List();

    const size_t needed = allLun ? size_t{ZRKC_LUN_ALL_AREA_LEN}
                                 : 8 + size_t{list.pNames->uiCount} * sizeof(LunStatusEntry);
    const size_t length = outputLength > 0 ? static_cast<size_t>(outputLength) : 0;
    if (call.CheckOutputArea(output, length, needed) != 0) return 1;
    if (com_conv_volinf(&list, 0, ri) != 0) return call.Fail();

    zrkc::Owned<LunStatusRecord[]> records;
    uint32_t items = 0;
    if (allLun) {
        if (int r = zrkc::ReadAllUnits(call, records, items)) return r;
    } else {
        if (int r = zrkc::ReadUnits(call, records)) return r;
        items = zrkc::PairsOf(list);
    }
    for (uint32_t j = 0; j < items; ++j) {
        const LunStatusRecord &record = records[j];
        if (record.ucFound != 1) {
            call.RefuseEntry(j, zrkc::Msg::LunInvalid);
            continue;
        }
        zrkc::FillEntry(output->taEntry[j], record.ucaStatus);
        ++output->FilledCount;
    }
    output->ItemCount = items;
    return call.Finish();
}

extern "C" int zrkc_set_copyinhibit(char *volume, uint8_t state, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_set_copyinhibit", ri);
    if (call.Open(volume) != 0) return -1;
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s started. vol=%s, sts=%x opt=%08x", call.Name(), volume,
                    state, opt);
    if (state > 1) return call.RefuseOptions();
    if (int r = zrkc::OpenVolumes(call, volume, opt, zrkc::kInhibitMask)) return r;
    CopyPairList &list = call.List();
    if (com_conv_volinf(&list, 0, ri) != 0) return call.Fail();

    zrkc::Owned<LunStatusRecord[]> records;
    if (int r = zrkc::ReadUnits(call, records)) return r;
    if (state == 1 && copyinhibit_possiblecheck(&list, ri) == -1) return call.Fail();

    call.TraceApiStart(Op::SetOluStatus);
    const uint32_t count = zrkc::PairsOf(list);
    const unsigned char status[2] = {state, 0};
    bool failed = false;
    for (uint32_t i = 0; i < count; ++i) {
        const LunStatusRecord &record = records[i];
        if (record.ucFound != 1) {
            call.RefuseEntry(i, zrkc::Msg::LunInvalid);
            failed = true;
            continue;
        }
        if (call.GroupMode()) {
            const PairResult *entry = call.Entry(i);
            if (entry != nullptr && entry->iReturnClass != ZRKC_CLASS_OK) {
                failed = true;
                continue;
            }
        }
        const bool inhibited = (zrkc::Be32(record.ucaStatus + 4) & ZRKC_LUN_COPY_INHIBIT) != 0;
        if (inhibited == (state == 1)) continue;
        const CopyPair &pair = list.pPairs->taPair[i];
        const int r = call.CallByTransport(pair, ZRKSetOLUStatus, ZRKIPSetOLUStatus, pair.SrcOlu, status);
        if (call.MapResult(i, Op::SetOluStatus, pair, r) != 0) {
            if (!call.GroupMode()) return call.Fail();
            failed = true;
        }
    }
    call.TraceApiEnd(Op::SetOluStatus);
    const int result = call.Finish();
    return failed ? -1 : result;
}
