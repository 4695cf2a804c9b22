// The concurrent road of the VZ suspend: the pairs of each box run go to the
// array in chunks of at most the run's per-command maximum, one concurrent
// suspend command per chunk, and a last wait looks until every session shows
// Suspend.
#include "zrkcsuspend.h"

#include "platform.h"
#include "zrkcvz.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace zrkc {
namespace {

// The out-of-band status list counts its own entries rather than the
// array's per-command maximum; a chunk sent over the LAN holds at most this
// many pairs.
constexpr uint32_t kLanChunkMax = 845;

// The entry of the subgroup index that starts the box run holding entry j.
uint32_t RunStart(const SubgroupIndex &index, uint32_t j) {
    while (j > 0 && index.taEntry[j].uiRunSize == 0) --j;
    return j;
}

void Unsupported(ReturnInfo *ri) {
    SetResult(ri, Msg::Unsupported);
}

} // namespace

int ConcSuspendPrepare(CommandCall &call, const SuspendModes &modes) {
    ReturnInfo *ri = call.Result();
    if (modes.iTransfer == static_cast<int32_t>(ZRK_OPT_STACK)) {
        Unsupported(ri);
        return call.Fail();
    }
    SubgroupIndex &index = *call.List().pSubgroups;
    std::unique_ptr<unsigned char[]> list(new (std::nothrow) unsigned char[kStatusListSize]);
    if (!list) return call.NoMemory();
    call.TraceApiStart(Op::StatusListVz);
    for (uint32_t j = 0; j < index.uiPairCount; ++j) {
        if (index.taEntry[j].uiRunSize == 0) continue;
        const CopyPair &pair = *index.taEntry[j].pPair;
        if (int r = ReadStatusList(call, pair, list.get())) return r;
        uint32_t most = static_cast<uint32_t>(list[2]) << 8 | list[3];
        if (OverLan(pair)) most = std::min(most, kLanChunkMax);
        if (most == 0) {
            Unsupported(ri);
            return call.Fail();
        }
        index.taEntry[j].uhCommandMax = static_cast<uint16_t>(most);
    }
    call.TraceApiEnd(Op::StatusListVz);
    return 0;
}

int ConcSuspendRun(CommandCall &call, uint32_t apiOption, SuspendWait &wait) {
    ReturnInfo *ri = call.Result();
    CopyPairList &plist = call.List();
    ConcSuspendSet set{};
    if (suspend_group_make(&plist, &set, ri) != 0) return call.Fail();
    std::unique_ptr<ConcSuspendSet, void (*)(ConcSuspendSet *)> owner(&set, suspend_group_close);

    uint32_t largest = 0;
    for (uint32_t k = 0; k < set.uiChunks; ++k) largest = std::max(largest, set.pVol[k].uiCount);
    std::unique_ptr<uint32_t[]> result(new (std::nothrow) uint32_t[largest ? largest : 1]);
    if (!result) return call.NoMemory();

    const SubgroupIndex &index = *plist.pSubgroups;
    call.TraceApiStart(Op::MultiSuspendVz);
    uint32_t j = 0;
    for (uint32_t k = 0; k < set.uiChunks; j += set.pVol[k].uiCount, ++k) {
        const CONC_SUS_VOL &chunk = set.pVol[k];
        std::memset(result.get(), 0, sizeof(uint32_t) * (largest ? largest : 1));
        uint32_t option = apiOption;
        const CONC_SUS_PAIR_LV &first = set.pPair[j];
        if ((option & ZRK_OPT_UNTRANSFERRED) &&
            std::memcmp(first.SrcBoxID, first.DstBoxID, ZRK_BOXID_LEN) == 0)
            option &= ~ZRK_OPT_UNTRANSFERRED; // a run inside one array has no transfer
        // The chunk goes the road of its box run, through the run's volume.
        const uint8_t road = index.taEntry[RunStart(index, j)].pPair->ucTransport;
        const int count = static_cast<int>(chunk.uiCount);
        std::memset(call.Sense(), 0, ZRK_SENSE_LEN);
        const int r = CallByTransport(road, chunk.caVolume, call.Sense(), ZRKLVMultiSuspendVZ,
                                      ZRKIPMultiSuspendVZ, &set.pPair[j], count, option, result.get());
        const uint8_t id = IdOf(Op::MultiSuspendVz, road);
        TraceLine(kTraceParm, {}, "%s WX-API Parm Vol=%s, chunk=%u, pairs=%d, opt=0x%08x", call.Name(),
                  chunk.caVolume, k, count, option);
        if (!call.GroupMode()) {
            if (call.MapResult(0, id, chunk.caVolume, r) != 0) return call.Fail();
            continue;
        }
        int32_t returnClass = 0;
        uint32_t messageNo = 0;
        char message[ZRK_MESSAGE_LEN] = {};
        if (com_set_return_inf(id, chunk.caVolume, r, call.Sense(), &returnClass, &messageNo, message) == 0)
            continue;
        for (uint32_t p = j; p < j + chunk.uiCount; ++p)
            call.RefuseEntryWith(index.taEntry[p].uiPairIndex, returnClass, messageNo, message);
    }
    call.TraceApiEnd(Op::MultiSuspendVz);
    owner.reset();
    result.reset();
    if (call.GroupFailed()) return call.Fail();

    const int r = suspend_timeout_check(&plist, wait.uiCount, wait.uiInterval, kWaitSuspended,
                                        &wait.uiSlept, ri);
    if (r == -1) return call.Fail();
    if (r == 4) {
        SetResult(ri, Msg::Accepted);
        return call.Warn();
    }
    return call.Finish();
}

} // namespace zrkc

using namespace zrkc;

extern "C" int suspend_group_make(CopyPairList *list, ConcSuspendSet *set, ReturnInfo *ri) {
    if (list == nullptr || list->pSubgroups == nullptr || set == nullptr || ri == nullptr) {
        if (ri != nullptr)
            SetResult(ri, Msg::ParameterMissing);
        return -1;
    }
    const SubgroupIndex &index = *list->pSubgroups;
    const uint32_t pairs = index.uiPairCount;
    set->uiChunks = 0;
    set->pVol = static_cast<CONC_SUS_VOL *>(std::calloc(pairs ? pairs : 1, sizeof(CONC_SUS_VOL)));
    set->pPair = static_cast<CONC_SUS_PAIR_LV *>(std::calloc(pairs ? pairs : 1, sizeof(CONC_SUS_PAIR_LV)));
    if (set->pVol == nullptr || set->pPair == nullptr) {
        suspend_group_close(set);
        SetNoMemory(ri);
        return -1;
    }
    for (uint32_t i = 0; i < pairs; ++i) {
        const CopyPair &p = *index.taEntry[i].pPair;
        CONC_SUS_PAIR_LV &e = set->pPair[i];
        std::memcpy(e.SrcBoxID, p.caSrcBoxID, ZRK_BOXID_LEN);
        e.SrcOlu = p.SrcOlu;
        e.SrcExtent_high = p.SrcAddr_h;
        e.SrcExtent_low = p.SrcAddr_l;
        e.SrcSize_high = p.ucWholeVolume == 1 ? 0 : p.SrcSize_h;
        e.SrcSize_low = p.ucWholeVolume == 1 ? 0 : p.SrcSize_l;
        std::memcpy(e.DstBoxID, p.caTrgBoxID, ZRK_BOXID_LEN);
        e.DstOlu = p.TrgOlu;
        e.DstExtent_high = p.TrgAddr_h;
        e.DstExtent_low = p.TrgAddr_l;
    }
    for (uint32_t i = 0; i < pairs; ++i) {
        const uint32_t run = index.taEntry[i].uiRunSize;
        if (run == 0) continue;
        const uint32_t most = index.taEntry[i].uhCommandMax != 0 ? index.taEntry[i].uhCommandMax : run;
        for (uint32_t left = run; left > 0;) {
            const uint32_t take = std::min(left, most);
            CONC_SUS_VOL &vol = set->pVol[set->uiChunks++];
            std::snprintf(vol.caVolume, sizeof vol.caVolume, "%s", index.taEntry[i].pPair->caAccessVolume);
            vol.uiCount = take;
            left -= take;
        }
    }
    return 0;
}

extern "C" void suspend_group_close(ConcSuspendSet *set) {
    if (set == nullptr) return;
    std::free(set->pVol);
    std::free(set->pPair);
    set->pVol = nullptr;
    set->pPair = nullptr;
    set->uiChunks = 0;
}
