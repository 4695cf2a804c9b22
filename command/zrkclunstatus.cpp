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

// The API operations whose results com_set_return_inf maps here.
constexpr uint8_t kApiDetailList = 16;      // ZRKGetDetailList
constexpr uint8_t kApiSetOluStatus = 26;    // ZRKSetOLUStatus
constexpr uint8_t kApiOluStatusList = 27;   // ZRKGetOLUStatusList
constexpr uint8_t kApiIpDetailList = 48;    // ZRKIPGetDetailList
constexpr uint8_t kApiIpSetOluStatus = 56;  // ZRKIPSetOLUStatus
constexpr uint8_t kApiIpOluStatusList = 57; // ZRKIPGetOLUStatusList

constexpr uint32_t kQueryMask = ZRKC_OPT_ALL_LUN | ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY;
constexpr uint32_t kInhibitMask = ZRKC_OPT_GROUP_FILE | ZRKC_OPT_OTHER_WAY;

// The range the all-LUN form reads.
constexpr uint32_t kLastOlu = 0xFFFF;
constexpr size_t kAllLunListLen = ZRK_OLU_STATUS_LIST_LEN(size_t{0}, size_t{kLastOlu});

using zrk::Be16;
using zrk::Be32;
using zrk::Be64;

template <class T> using Owned = std::unique_ptr<T, zrk::FreeDeleter>;

template <class T> Owned<T> Cleared(size_t count) {
    return Owned<T>(static_cast<T *>(std::calloc(count != 0 ? count : 1, sizeof(T))));
}

uint32_t EntryCount(const CopyPairList &list) {
    return list.pPairs != nullptr ? list.pPairs->uiCount : 0;
}

// The option rules and the list of single volumes that both commands share
// (a group file of pairs gives its sources, or with ZRKC_OPT_OTHER_WAY its
// targets). 0 to go on, else what the command returns.
int OpenVolumes(CommandCall &call, char *volume, uint32_t option, uint32_t mask) {
    if (call.CheckOptions(option, mask, __LINE__) != 0) return -1;
    const bool otherWay = (option & ZRKC_OPT_OTHER_WAY) != 0;
    if (otherWay && (option & ZRKC_OPT_GROUP_FILE) == 0) return call.RefuseOptions(__LINE__);
    if (int r = call.BuildList(volume, nullptr, option, __LINE__)) return r;
    CopyPairList &list = call.List();
    if (list.pNames->uiForm == ZRKC_FORM_PAIRS) {
        com_reset_copypair(otherWay ? 1 : 0, &list);
    } else if (otherWay) {
        return call.RequirePairs(__LINE__);
    }
    return 0;
}

// The status record of each list entry; a found count of 0 is 1250. 0 or
// what the command returns.
int ReadUnits(CommandCall &call, Owned<LunStatusRecord> &records) {
    CopyPairList &list = call.List();
    records = Cleared<LunStatusRecord>(EntryCount(list));
    if (!records) return call.NoMemory(__LINE__);
    int found = 0;
    if (com_get_lunstatus_list(&list, &found, records.get(), call.Result()) == -1)
        return call.Fail(__LINE__);
    if (found == 0) {
        SetResult(call.Result(), Msg::LunInvalid);
        return call.Fail(__LINE__);
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
int ReadAllUnits(CommandCall &call, Owned<LunStatusRecord> &records, uint32_t &items) {
    items = 0;
    Owned<unsigned char> buffer = Cleared<unsigned char>(kAllLunListLen);
    if (!buffer) return call.NoMemory(__LINE__);
    const char *apis = "ZRKGetOLUStatusList / ZRKIPGetOLUStatusList";
    call.TraceApiStart(apis, __LINE__);
    const CopyPair &pair = call.List().pPairs->taPair[0];
    const bool lan = pair.ucTransport == 1;
    const int r = lan ? ZRKIPGetOLUStatusList(pair.caAccessVolume, nullptr, 0, kLastOlu,
                                              buffer.get(), call.Sense())
                      : ZRKGetOLUStatusList(pair.caAccessVolume, 0, kLastOlu, buffer.get(),
                                            call.Sense());
    if (call.MapResult(0, lan ? kApiIpOluStatusList : kApiOluStatusList, pair.caAccessVolume, r) != 0)
        return call.Fail(__LINE__);
    // A count beyond the list's room is not believed past the room.
    const uint32_t count = std::min(Be32(buffer.get()), ZRKC_LUN_ALL_ITEMS);
    if (count == 0) return 0;
    records = Cleared<LunStatusRecord>(count);
    if (!records) return call.NoMemory(__LINE__);
    for (uint32_t i = 0; i < count; ++i) {
        records.get()[i].ucFound = 1;
        std::memcpy(records.get()[i].ucaStatus,
                    buffer.get() + ZRK_OLU_STATUS_LIST_HEAD + size_t{i} * ZRK_OLU_STATUS_LEN,
                    ZRK_OLU_STATUS_LEN);
    }
    items = count;
    return 0;
}

// The detail list of the array behind pair into area (its room); count
// receives the entries read. 0 or -1 (the result filled).
int ReadDetailList(const CopyPair &pair, DetailArea &area, uint32_t &count, ReturnInfo *ri) {
    count = 0;
    unsigned char sense[ZRK_SENSE_LEN] = {};
    const DetailRead read = ReadDetailInto(pair.caAccessVolume, pair.ucTransport, 0, area, sense);
    if (com_set_return_inf(read.ucApi, pair.caAccessVolume, read.iResult, sense, &ri->iReturnClass,
                           &ri->uiMessageNo, ri->caMessage) != 0)
        return -1;
    count = read.uiCount;
    return 0;
}

// The PairResult entry of list entry index, or null when the area lacks it.
PairResult *GroupEntry(const ReturnInfo &ri, uint32_t index) {
    if (ri.pPairArea == nullptr || ZRK_PAIR_AREA_SIZE(size_t{index} + 1) > ri.uiPairAreaLength)
        return nullptr;
    return reinterpret_cast<PairResult *>(static_cast<unsigned char *>(ri.pPairArea) + 4) + index;
}

// The volume of pair is the target of an active RVZ session that stacks or
// keeps consistency: the array could not keep such a target protected.
bool RefusesInhibit(const DETAIL_LIST_INFO &e, const CopyPair &pair) {
    return Be32(e.DstOlu) == pair.SrcOlu && e.ucCopyKind == kCopyKindVz &&
           (e.ucSessionFlags & ZRK_SESFLAG_REMOTE) != 0 &&
           (e.ucTransferMode == kVzTransferStack || e.ucTransferMode == kVzTransferConsistency) &&
           e.Status == kVzStatusActive &&
           std::memcmp(e.DstBoxID, pair.caSrcBoxID, ZRK_BOXID_LEN) == 0;
}

} // namespace
} // namespace zrkc

using zrkc::CommandCall;

extern "C" int copyinhibit_possiblecheck(CopyPairList *list, ReturnInfo *ri) {
    constexpr const char *kName = "copyinhibit_possiblecheck";
    velk_trace(6, "%s start. [%d]", kName, __LINE__);
    const SubgroupIndex *index = list->pSubgroups;
    const uint32_t count = index != nullptr ? index->uiPairCount : 0;
    const bool group = list->iFromGroupFile != 0;
    zrkc::DetailArea area;
    uint32_t listCount = 0;
    int result = 0;
    for (uint32_t k = 0; k < count; ++k) {
        const SubgroupEntry &at = index->taEntry[k];
        const CopyPair &pair = *at.pPair;
        if (at.uiSubgroupSize != 0) {
            // Room for every session of the pair's array.
            if (!area.Reserve(pair.uhMaxSessions)) {
                zrkc::SetNoMemory(ri);
                velk_trace(1, "%s error end.(%s) [%d]", kName, "malloc", __LINE__);
                return -1;
            }
            if (zrkc::ReadDetailList(pair, area, listCount, ri) != 0) {
                velk_trace(1, "%s error end. [%d]", kName, __LINE__);
                return -1;
            }
        }
        const DETAIL_LIST_INFO *begin = area.Entries();
        const DETAIL_LIST_INFO *end = begin + listCount;
        if (std::find_if(begin, end, [&](const DETAIL_LIST_INFO &e) {
                return zrkc::RefusesInhibit(e, pair);
            }) == end)
            continue;
        PairResult *entry = group ? zrkc::GroupEntry(*ri, at.uiPairIndex) : nullptr;
        if (entry == nullptr) {
            zrkc::SetResult(ri, zrkc::Msg::ProtectRefused);
            velk_trace(1, "%s error end. [%d]", kName, __LINE__);
            return -1;
        }
        zrkc::SetResult(zrkc::SlotOf(entry), zrkc::Msg::ProtectRefused);
        if (result == 0)
            zrkc::SetResult(ri, zrkc::Msg::GroupLinesFailed);
        result = -2;
    }
    velk_trace(6, "%s normal end. [%d]", kName, __LINE__);
    return result;
}

extern "C" int zrkc_query_lunstatus(char *volume, int option, ReturnInfo *ri, LunStatusList *output,
                                    int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_query_lunstatus", ri);
    // An output area that is missing while a length is given counts as a
    // missing operand.
    const bool noArea = output == nullptr && outputLength != 0;
    if (call.OpenVolume(noArea ? nullptr : volume, opt, __LINE__) != 0) return -1;
    const bool allLun = (opt & ZRKC_OPT_ALL_LUN) != 0;
    if (allLun && (opt & ZRKC_OPT_GROUP_FILE) != 0) return call.RefuseOptions(__LINE__);
    if (int r = zrkc::OpenVolumes(call, volume, opt, zrkc::kQueryMask)) return r;
    CopyPairList &list = call.List();

    const size_t needed = allLun ? size_t{ZRKC_LUN_ALL_AREA_LEN}
                                 : 8 + size_t{list.pNames->uiCount} * sizeof(LunStatusEntry);
    const size_t length = outputLength > 0 ? static_cast<size_t>(outputLength) : 0;
    if (call.CheckOutputArea(output, length, needed, __LINE__) != 0) return 1;
    if (com_conv_volinf(&list, 0, ri) != 0) return call.Fail(__LINE__);

    zrkc::Owned<LunStatusRecord> records;
    uint32_t items = 0;
    if (allLun) {
        if (int r = zrkc::ReadAllUnits(call, records, items)) return r;
    } else {
        if (int r = zrkc::ReadUnits(call, records)) return r;
        items = zrkc::EntryCount(list);
    }
    for (uint32_t j = 0; j < items; ++j) {
        const LunStatusRecord &record = records.get()[j];
        if (record.ucFound != 1) {
            call.RefuseEntry(j, zrkc::Msg::LunInvalid);
            continue;
        }
        zrkc::FillEntry(output->taEntry[j], record.ucaStatus);
        ++output->FilledCount;
    }
    output->ItemCount = items;
    return call.Finish(__LINE__);
}

extern "C" int zrkc_set_copyinhibit(char *volume, uint8_t state, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_set_copyinhibit", ri);
    if (call.Open(volume, __LINE__) != 0) return -1;
    velk_trace(1, "%s started. vol=%s, sts=%x opt=%08x [%d]", call.Name(), volume, state, opt,
               __LINE__);
    if (state > 1) return call.RefuseOptions(__LINE__);
    if (int r = zrkc::OpenVolumes(call, volume, opt, zrkc::kInhibitMask)) return r;
    CopyPairList &list = call.List();
    if (com_conv_volinf(&list, 0, ri) != 0) return call.Fail(__LINE__);

    zrkc::Owned<LunStatusRecord> records;
    if (int r = zrkc::ReadUnits(call, records)) return r;
    if (state == 1 && copyinhibit_possiblecheck(&list, ri) == -1) return call.Fail(__LINE__);

    const char *apis = "ZRKSetOLUStatus / ZRKIPSetOLUStatus";
    call.TraceApiStart(apis, __LINE__);
    const uint32_t count = zrkc::EntryCount(list);
    const unsigned char status[2] = {state, 0};
    bool failed = false;
    for (uint32_t i = 0; i < count; ++i) {
        const LunStatusRecord &record = records.get()[i];
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
        std::memset(call.Sense(), 0, ZRK_SENSE_LEN);
        const bool lan = pair.ucTransport == 1;
        const int r = lan ? ZRKIPSetOLUStatus(pair.caAccessVolume, nullptr, pair.SrcOlu, status,
                                              call.Sense())
                          : ZRKSetOLUStatus(pair.caAccessVolume, pair.SrcOlu, status, call.Sense());
        if (call.MapResult(i, lan ? zrkc::kApiIpSetOluStatus : zrkc::kApiSetOluStatus, pair.caAccessVolume, r) != 0) {
            if (!call.GroupMode()) return call.Fail(__LINE__);
            failed = true;
        }
    }
    call.TraceApiEnd(apis, __LINE__);
    const int result = call.Finish(__LINE__);
    return failed ? -1 : result;
}
