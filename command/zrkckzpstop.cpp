// The KZP-family stops: zrkc_stop_kzp (also Offloaded Data Transfer and
// virtual-volume sessions), zrkc_stop_quickkzp (forced, or the tracking
// only) and zrkc_stop_snapkzp (SnapKZP, SnapKZP+ and estimate sessions).
//
// Each looks up the session of every pair and stops the pairs that have
// one; pairs without a session are passed over. The QuickKZP and SnapKZP
// stops erase the names their starts recorded; a forced SnapKZP+ stop takes
// the older generations of its source along, and their names with them.
#include "zrkckzp.h"
#include "zrkcdetail.h"
#include "zrkcvz.h"

#include "platform.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"
#include "zrklist.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using namespace zrkc;
using zrk::Be16;
using zrk::Be32;

enum class StopKind { Kzp, Quick, Snap };

// The generation list of a forced SnapKZP+ stop: a count, then from byte 16
// one 256-byte slot per generation, oldest first.
constexpr size_t kGenerationHead = 16;
constexpr size_t kGenerationSlot = 256;

struct GenerationList {
    Owned<unsigned char> pArea;
    uint32_t uiSlots = 0; // slots the area holds
};

const TVC_DETAIL_INFO &Slot(const GenerationList &list, uint32_t g) {
    return *reinterpret_cast<const TVC_DETAIL_INFO *>(list.pArea.get() + kGenerationHead +
                                                      static_cast<size_t>(g) * kGenerationSlot);
}

// Erases the names of the generations of a forced SnapKZP+ stop, oldest
// first up to the pair's own. Only the slots both listed and allocated are
// read; when the pair's own generation is not among them, only the pair's
// own names go.
void EraseGenerations(const GenerationList &list, uint32_t count, const CopyPair &pair) {
    const uint32_t bound = count < list.uiSlots ? count : list.uiSlots;
    uint32_t own = bound;
    for (uint32_t g = 0; g < bound && own == bound; ++g) {
        const TVC_DETAIL_INFO &t = Slot(list, g);
        if (Be32(t.SrcOlu) == pair.SrcOlu && Be32(t.DstOlu) == pair.TrgOlu) own = g;
    }
    if (own == bound) {
        EraseSourceName(pair);
        EraseTargetName(pair);
        return;
    }
    for (uint32_t g = 0; g <= own; ++g) {
        const TVC_DETAIL_INFO &t = Slot(list, g);
        const int32_t sizeHigh = static_cast<int32_t>(Be32(t.SrcSize_high));
        const int32_t sizeLow = static_cast<int32_t>(Be32(t.SrcSize_low));
        erase_volname(pair.caSrcBoxID, static_cast<int32_t>(Be32(t.SrcOlu)),
                      static_cast<int32_t>(Be32(t.SrcExtent_high)),
                      static_cast<int32_t>(Be32(t.SrcExtent_low)), sizeHigh, sizeLow);
        erase_volname(pair.caTrgBoxID, static_cast<int32_t>(Be32(t.DstOlu)),
                      static_cast<int32_t>(Be32(t.DstExtent_high)),
                      static_cast<int32_t>(Be32(t.DstExtent_low)), sizeHigh, sizeLow);
    }
}

// Stops one SnapKZP-family session; 0, or -1 with the pair's result mapped.
// generations receives the generation count a forced SnapKZP+ stop read;
// listed tells whether the array gave a list at all (a Readying session
// whose list the array does not have is stopped without one).
int StopSnapPair(CommandCall &call, uint32_t index, const CopyPair &pair,
                 const SessionRecord &record, uint32_t apiOption, GenerationList &list,
                 uint32_t &generations, bool &listed) {
    const DETAIL_LIST_INFO &d = record.tDetail;
    generations = 0;
    listed = false;
    if ((d.ucSessionFlags & ZRK_SESFLAG_SNAPKZP) != 0) // SnapKZP: never forced
        return MappedKzpPair(call, Op::StopClassicSnap, index, pair, kKzpNoCopyInterval,
                             apiOption & ~ZRK_OPT_FORCE);
    if ((apiOption & ZRK_OPT_FORCE) != 0) {
        // The list is read into the slots allocated, never beyond them.
        std::memset(list.pArea.get(), 0, kGenerationHead);
        const int r = ReadGenerationsInto(pair, 0, list.pArea.get(), list.uiSlots, call.Sense());
        if (r != 0 && !(ZRKerrno == ZRK_ERR_NO_SESSION && d.Phase == kPhaseReadying)) {
            call.MapResult(index, Op::GenerationList, pair, r);
            call.TracePairParm(pair, 0);
            return -1;
        }
        listed = r == 0;
        if (listed) generations = Be16(list.pArea.get());
    }
    if (!OverLan(pair) && d.ucCopyKind == kCopyKindEstimate && d.ucaState140[0] != 0) {
        CopyPair byId = pair; // the estimate session named by its identifier
        byId.SrcOlu = Be16(d.ucaSessionID);
        return MappedKzpPair(call, Op::StopSnapKzp, index, byId, kKzpNoCopyInterval,
                             apiOption | ZRK_OPT_SESSION_ID);
    }
    return MappedKzpPair(call, Op::StopSnapKzp, index, pair, kKzpCopyInterval, apiOption);
}

int StopKzpFamily(StopKind kind, char *source, char *target, int option, ReturnInfo *ri) {
    static const char *const kNames[] = {"zrkc_stop_kzp", "zrkc_stop_quickkzp", "zrkc_stop_snapkzp"};
    uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call(kNames[static_cast<int>(kind)], ri);
    if (call.OpenPair(source, target, opt) != 0) return -1;

    uint32_t apiOption = 0;
    int lookupFlags = 0;
    Op what = Op::StopKzp;
    switch (kind) {
    case StopKind::Kzp:
        if (call.CheckOptions(opt, ZRKC_OPT_GROUP_FILE | ZRKC_OPT_ODX | ZRK_OPT_FORCE,
                              ZRKC_EXOPT_VVOL) != 0)
            return -1;
        if (((opt & ZRKC_OPT_ODX) != 0 && (uiExOptionFlag & ZRKC_EXOPT_VVOL) != 0) ||
            (opt & ZRK_OPT_FORCE) == 0)
            return call.RefuseOptions();
        opt &= ~ZRK_OPT_FORCE; // required, and not passed on
        apiOption = opt & ZRKC_OPT_API_MASK;
        if ((opt & ZRKC_OPT_ODX) != 0) apiOption |= ZRK_OPT_LIST_SEL_01;
        if ((uiExOptionFlag & ZRKC_EXOPT_VVOL) != 0) apiOption |= ZRK_OPT_VVOL;
        lookupFlags = static_cast<int>(opt);
        break;
    case StopKind::Quick:
        if (call.CheckOptions(opt, ZRKC_OPT_GROUP_FILE | ZRK_OPT_FORCE) != 0) return -1;
        apiOption = opt & ZRKC_OPT_API_MASK;
        if ((opt & ZRK_OPT_FORCE) == 0) apiOption |= ZRK_OPT_STOP_TRACKING;
        what = Op::StopQuickKzp;
        break;
    case StopKind::Snap:
        if (call.CheckOptions(opt, ZRKC_OPT_GROUP_FILE | ZRK_OPT_MONITOR | ZRK_OPT_FORCE) !=
            0)
            return -1;
        if ((opt & ZRK_OPT_FORCE) != 0 && (opt & ZRK_OPT_MONITOR) != 0)
            return call.RefuseOptions();
        apiOption = opt & ZRKC_OPT_API_MASK;
        what = Op::StopSnapKzp;
        break;
    }
    const bool estimate = kind == StopKind::Snap && (opt & ZRK_OPT_MONITOR) != 0;
    const bool forcedSnap = kind == StopKind::Snap && (opt & ZRK_OPT_FORCE) != 0;

    if (int r = call.BuildList(source, target, opt)) return r;
    if ((estimate ? call.RequireVolumes() : call.RequirePairs()) != 0) return -1;
    CopyPairList &list = call.List();
    if (com_conv_volinf(&list, 0, ri) != 0) return call.Fail();

    SessionRecords records;
    int found = 0;
    if (int r = LookUpSessions(call, 0, lookupFlags, records, found)) return r;
    if (found == 0) {
        SetResult(ri, Msg::SessionMissing);
        return call.Fail();
    }

    const uint32_t pairs = PairsOf(list);
    GenerationList generations;
    if (forcedSnap) {
        for (uint32_t i = 0; i < pairs; ++i) {
            const uint32_t g = list.pPairs->taPair[i].uhGenerations;
            if (g == 0) {
                SetResult(ri, Msg::Unsupported);
                return call.Fail();
            }
            if (g > generations.uiSlots) generations.uiSlots = g;
        }
        generations.pArea = Cleared<unsigned char>(kGenerationHead + generations.uiSlots * kGenerationSlot);
        if (!generations.pArea) return call.NoMemory();
    }

    call.TraceApiStart(what);
    for (uint32_t i = 0; i < pairs; ++i) {
        const SessionRecord &record = records[i];
        if (record.ucFound == 0) continue;
        const CopyPair &pair = list.pPairs->taPair[i];
        uint32_t count = 0;
        bool listed = false;
        const int r = kind == StopKind::Snap
                          ? StopSnapPair(call, i, pair, record, apiOption, generations, count, listed)
                          : MappedKzpPair(call, what, i, pair, kKzpCopyInterval, apiOption);
        if (r != 0) {
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        if (kind == StopKind::Kzp) continue;
        if (forcedSnap && (record.tDetail.ucSessionFlags & ZRK_SESFLAG_SNAPKZP_P) != 0) {
            if (listed) EraseGenerations(generations, count, pair); // no list: nothing goes
            continue;
        }
        EraseSourceName(pair);
        if (!estimate) EraseTargetName(pair);
    }
    call.TraceApiEnd(what);
    return call.Finish();
}

} // namespace

extern "C" int zrkc_stop_kzp(char *source, char *target, int option, ReturnInfo *ri) {
    return StopKzpFamily(StopKind::Kzp, source, target, option, ri);
}

extern "C" int zrkc_stop_quickkzp(char *source, char *target, int option, ReturnInfo *ri) {
    return StopKzpFamily(StopKind::Quick, source, target, option, ri);
}

extern "C" int zrkc_stop_snapkzp(char *source, char *target, int option, ReturnInfo *ri) {
    return StopKzpFamily(StopKind::Snap, source, target, option, ri);
}
