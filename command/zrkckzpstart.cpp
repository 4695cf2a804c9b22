// The KZP-family starts and the SnapKZP+ restore, and the pair calls that
// the KZP-family commands share (zrkckzp.h).
//
// zrkc_start_kzp, zrkc_start_quickkzp and zrkc_start_snapkzp start one
// session per pair through the pair's transport, or with a group file and
// ZRKC_OPT_CONC_START all pairs of the file at one instant with one
// concurrent start. A QuickKZP session that is tracking is restarted rather
// than started anew. zrkc_restore_snapkzp copies the SnapKZP+ targets back
// onto their sources once the snap data pool has room for all of them.
#include "zrkckzp.h"

#include "platform.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"
#include "zrkcvz.h"
#include "zrklist.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace zrkc {

int CallKzpPair(Op op, const CopyPair &pair, uint32_t interval, uint32_t apiOption,
                unsigned char *sense, unsigned char *out) {
    InBandPairCall inBand = nullptr;
    OutOfBandPairCall outOfBand = nullptr;
    switch (op) {
    case Op::StartKzp: inBand = ZRKLVStartKZP; outOfBand = ZRKIPStartKZP; break;
    case Op::StartQuickKzp: inBand = ZRKLVStartQuickKZP; outOfBand = ZRKIPStartQuickKZP; break;
    case Op::StartSnapKzp:
    case Op::StartEstimate: inBand = ZRKLVStartSnapKZP_p; outOfBand = ZRKIPStartSnapKZP_p; break;
    case Op::StopKzp: inBand = ZRKLVStopKZP; outOfBand = ZRKIPStopKZP; break;
    case Op::StopQuickKzp: inBand = ZRKLVStopQuickKZP; outOfBand = ZRKIPStopQuickKZP; break;
    case Op::StopSnapKzp: inBand = ZRKLVStopSnapKZP_p; outOfBand = ZRKIPStopSnapKZP_p; break;
    case Op::StopClassicSnap: inBand = ZRKLVStopSnapKZP; outOfBand = ZRKIPStopSnapKZP; break;
    case Op::PoolExtSize:
        std::memset(sense, 0, ZRK_SENSE_LEN);
        return CallByTransport(pair.ucTransport, pair.caAccessVolume, sense, ZRKLVGetPoolExtSize,
                               ZRKIPGetPoolExtSize, pair.caSrcBoxID, pair.SrcOlu, pair.SrcAddr_h,
                               pair.SrcAddr_l, pair.SrcSize_h, pair.SrcSize_l, pair.caTrgBoxID,
                               pair.TrgOlu, pair.TrgAddr_h, pair.TrgAddr_l, interval, apiOption, out);
    default: // not a pair call of the KZP family
        std::memset(sense, 0, ZRK_SENSE_LEN);
        ZRKerrno = ZRK_ERR_PARAMETER;
        return -1;
    }
    return CallPairByTransport(inBand, outOfBand, pair, interval, apiOption, sense);
}

int MappedKzpPair(CommandCall &call, Op op, uint32_t index, const CopyPair &pair, uint32_t interval,
                  uint32_t apiOption, unsigned char *out) {
    const int r = CallKzpPair(op, pair, interval, apiOption, call.Sense(), out);
    return call.MapPairCall(index, op, pair, r, apiOption);
}

} // namespace zrkc

namespace {

using namespace zrkc;

enum class StartKind { Kzp, Quick, Snap };

struct StartShape {
    const char *pName;
    uint32_t uiMask;
    bool bExtended;      // uiExOptionFlag checked against ZRKC_EXOPT_VVOL_DELETE
    uint32_t uiCopyKind; // CONC_SES_INFO.CopyKind
};

const StartShape &ShapeOf(StartKind kind) {
    static const StartShape kShapes[] = {
        {"zrkc_start_kzp", ZRKC_OPT_GROUP_FILE | ZRKC_OPT_NO_POST | ZRKC_OPT_CONC_START, false, 0},
        {"zrkc_start_quickkzp", ZRKC_OPT_GROUP_FILE | ZRKC_OPT_NO_POST | ZRKC_OPT_CONC_START, true, 8},
        {"zrkc_start_snapkzp",
         ZRKC_OPT_GROUP_FILE | ZRKC_OPT_NO_POST | ZRKC_OPT_CONC_START | ZRK_OPT_MONITOR, true, 64},
    };
    return kShapes[static_cast<int>(kind)];
}

// Records the names of a started pair as its kind does.
void RecordStarted(StartKind kind, uint32_t option, uint32_t apiOption, const CopyPairName &names,
                   const CopyPair &pair) {
    if (kind == StartKind::Kzp) return;
    if (kind == StartKind::Quick && (apiOption & ZRK_OPT_RESTART) != 0) return;
    RecordSourceName(names.caSource, pair);
    if ((option & ZRK_OPT_MONITOR) == 0) RecordTargetName(names.caTarget, pair);
}

// Every pair of the file at one instant, one call per subgroup. The entries
// follow the subgroup index; a refused pair's result goes to its own
// position in the per-pair area.
int StartConcurrent(CommandCall &call, StartKind kind, uint32_t option, const uint32_t *apiOptions) {
    CopyPairList &list = call.List();
    const SubgroupIndex *index = list.pSubgroups;
    const uint32_t count = index->uiPairCount;
    Owned<CONC_SES_INFO> entries = Cleared<CONC_SES_INFO>(count);
    if (!entries) return call.NoMemory();
    CONC_SES_INFO *conc = entries.get();

    bool refused = false;
    for (uint32_t k = 0; k < count; ++k) {
        const SubgroupEntry &e = index->taEntry[k];
        const CopyPair &p = *e.pPair;
        if (!IsLocalPair(p)) { // a concurrent start works inside one array
            call.RefuseEntry(e.uiPairIndex, Msg::Unsupported);
            refused = true;
            continue;
        }
        CONC_SES_INFO &c = conc[k];
        c.SrcOlu = p.SrcOlu;
        c.SrcExtent_high = p.SrcAddr_h;
        c.SrcExtent_low = p.SrcAddr_l;
        c.SrcSize_high = p.SrcSize_h;
        c.SrcSize_low = p.SrcSize_l;
        c.DstOlu = p.TrgOlu;
        c.DstExtent_high = p.TrgAddr_h;
        c.DstExtent_low = p.TrgAddr_l;
        c.CopyKind = ShapeOf(kind).uiCopyKind;
        c.OptionFlag = apiOptions[e.uiPairIndex];
    }
    if (refused) return call.Fail();

    if (kind == StartKind::Quick) { // all pairs of a subgroup restarted, or none
        uint32_t first = 0;
        for (uint32_t k = 0; k < count; ++k) {
            if (index->taEntry[k].uiSubgroupSize != 0) first = k;
            if (conc[k].OptionFlag != conc[first].OptionFlag) {
                SetResult(call.Result(), Msg::Preconditions);
                return call.Fail();
            }
        }
    }

    call.TraceApiStart(Op::StartConcKzp);
    for (uint32_t k = 0; k < count; ++k) {
        const SubgroupEntry &e = index->taEntry[k];
        const uint32_t size = e.uiSubgroupSize;
        if (size == 0) continue;
        const CopyPair &p = *e.pPair;
        const int r = call.CallByTransport(p, ZRKStartConcKZP, ZRKIPStartConcKZP, &conc[k], size);
        if (call.MapIntoResult(Op::StartConcKzp, p, r) != 0) return call.Fail();
        for (uint32_t j = k; j < k + size && j < count; ++j) {
            const SubgroupEntry &m = index->taEntry[j];
            RecordStarted(kind, option, conc[k].OptionFlag, list.pNames->taEntry[m.uiPairIndex],
                          *m.pPair);
        }
    }
    call.TraceApiEnd(Op::StartConcKzp);
    return call.Finish();
}

int StartKzpFamily(StartKind kind, char *source, char *target, int option, ReturnInfo *ri) {
    const StartShape &shape = ShapeOf(kind);
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call(shape.pName, ri);
    if (call.OpenPair(source, target, opt) != 0) return -1;
    if ((shape.bExtended ? call.CheckOptions(opt, shape.uiMask, ZRKC_EXOPT_VVOL_DELETE)
                         : call.CheckOptions(opt, shape.uiMask)) != 0)
        return -1;
    const bool vvolDelete = shape.bExtended && (uiExOptionFlag & ZRKC_EXOPT_VVOL_DELETE) != 0;
    if (kind == StartKind::Snap && (opt & ZRK_OPT_MONITOR) != 0 && (opt & ZRKC_OPT_CONC_START) != 0)
        return call.RefuseOptions();
    if (vvolDelete && (opt & (ZRKC_OPT_CONC_START | ZRKC_OPT_NO_POST)) != 0)
        return call.RefuseOptions();
    uint32_t apiBase = opt & ZRKC_OPT_API_MASK;
    if ((opt & ZRKC_OPT_NO_POST) != 0) apiBase |= ZRK_OPT_ACCEPT_CASCADE;
    if (vvolDelete) apiBase |= ZRK_OPT_VVOL_DELETE;

    if (int r = call.BuildList(source, target, opt)) return r;
    const bool estimate = kind == StartKind::Snap && (opt & ZRK_OPT_MONITOR) != 0;
    if ((estimate ? call.RequireVolumes() : call.RequirePairs()) != 0) return -1;
    CopyPairList &list = call.List();
    if (com_conv_volinf(&list, 0, ri) != 0) return call.Fail();

    const bool concurrent = (opt & ZRKC_OPT_CONC_START) != 0 && call.GroupMode();
    if (concurrent && (list.pSubgroups == nullptr || list.pSubgroups->uiSubgroups != 1 ||
                       list.pSubgroups->uiBoxRuns != 1)) {
        zrkc::SetCatalogueResult(ri, CatalogueMsg::GroupArraysDiffer);
        return call.Fail();
    }
    if (start_volume_size_check(&list, ri) != 0) return call.Fail();

    const uint32_t pairs = PairsOf(list);
    Owned<uint32_t> apiOptions = Cleared<uint32_t>(pairs);
    if (!apiOptions) return call.NoMemory();
    for (uint32_t i = 0; i < pairs; ++i) apiOptions.get()[i] = apiBase;

    if (kind != StartKind::Kzp) {
        SessionRecords records;
        int found = 0;
        if (int r = LookUpSessions(call, 0, 0, records, found)) return r;
        if (kind == StartKind::Snap && found != 0) {
            SetResult(ri, Msg::Preconditions);
            return call.Fail();
        }
        for (uint32_t i = 0; kind == StartKind::Quick && i < pairs; ++i) {
            const SessionRecord &rec = records[i];
            if (IsKzpSession(rec, ZRK_SESFLAG_QUICKKZP) && rec.tDetail.Phase != kPhaseCopying)
                apiOptions.get()[i] |= ZRK_OPT_RESTART; // a tracking session starts again
        }
    }

    if (concurrent) return StartConcurrent(call, kind, opt, apiOptions.get());

    const Op what = kind == StartKind::Kzp     ? Op::StartKzp
                    : kind == StartKind::Quick ? Op::StartQuickKzp
                    : estimate                 ? Op::StartEstimate
                                               : Op::StartSnapKzp;
    call.TraceApiStart(what);
    for (uint32_t i = 0; i < pairs; ++i) {
        const CopyPair &pair = list.pPairs->taPair[i];
        const uint32_t apiOption = apiOptions.get()[i];
        if (MappedKzpPair(call, what, i, pair, kKzpCopyInterval, apiOption) != 0) {
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        RecordStarted(kind, opt, apiOption, list.pNames->taEntry[i], pair);
    }
    call.TraceApiEnd(what);
    return call.Finish();
}

// The pool check of a restore: per subgroup, the sum of what the restores
// need against the smallest capacity any of its pairs reports. 0 when the
// pool has room, else -1 with the result filled (1000 or the API's message).
int CheckPool(CommandCall &call) {
    const SubgroupIndex *index = call.List().pSubgroups;
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    constexpr size_t kPoolAvailable = 8; // PoolSizeInfo: the pool's capacity for the session
    constexpr size_t kPoolRequired = 16; // and what restoring it takes
    uint64_t total = 0, smallest = kMax;
    uint32_t left = 0;
    call.TraceApiStart(Op::PoolExtSize);
    for (uint32_t k = 0; index != nullptr && k < index->uiPairCount; ++k) {
        const SubgroupEntry &e = index->taEntry[k];
        if (e.uiSubgroupSize != 0) {
            left = e.uiSubgroupSize;
            smallest = kMax;
        }
        unsigned char info[64] = {};
        const int r = CallKzpPair(Op::PoolExtSize, *e.pPair, kKzpCopyInterval, 0, call.Sense(), info);
        if (call.MapIntoResult(Op::PoolExtSize, *e.pPair, r) != 0) {
            call.TracePairParm(*e.pPair, 0);
            return -1;
        }
        const uint64_t required = zrk::Be64(info + kPoolRequired);
        const uint64_t available = zrk::Be64(info + kPoolAvailable);
        total = required > kMax - total ? kMax : total + required; // saturates, never wraps
        if (available < smallest) smallest = available;
        if (left > 0) --left;
        if (left != 0) continue;
        if (smallest < total) {
            const unsigned long long kb = total == kMax ? total / 2 + 1 : (total + 1) / 2;
            SetResult(call.Result(), Msg::SnapPoolShort, kb);
            return -1;
        }
        total = 0;
    }
    call.TraceApiEnd(Op::PoolExtSize);
    return 0;
}

} // namespace

extern "C" int zrkc_start_kzp(char *source, char *target, int option, ReturnInfo *ri) {
    return StartKzpFamily(StartKind::Kzp, source, target, option, ri);
}

extern "C" int zrkc_start_quickkzp(char *source, char *target, int option, ReturnInfo *ri) {
    return StartKzpFamily(StartKind::Quick, source, target, option, ri);
}

extern "C" int zrkc_start_snapkzp(char *source, char *target, int option, ReturnInfo *ri) {
    return StartKzpFamily(StartKind::Snap, source, target, option, ri);
}

extern "C" int zrkc_restore_snapkzp(char *source, char *target, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_restore_snapkzp", ri);
    if (int r = OpenPairCommand(call, source, target, opt, ZRKC_OPT_GROUP_FILE)) return r;
    CopyPairList &list = call.List();
    const uint32_t pairs = PairsOf(list);
    {
        SessionRecords records;
        int found = 0, lookup = 0;
        if (int r = LookUpSessions(call, 0, 0, records, found, &lookup)) return r;
        if (lookup == 2) {
            if (found != 0)
                SetResult(ri, Msg::Preconditions);
            else
                SetResult(ri, Msg::SessionMissing);
            return call.Fail();
        }
        for (uint32_t i = 0; i < pairs; ++i) {
            if (!IsKzpSession(records[i], ZRK_SESFLAG_SNAPKZP_P)) {
                SetResult(ri, Msg::Preconditions);
                return call.Fail();
            }
        }
    }
    if (CheckPool(call) != 0) return call.Fail();

    // Each restore copies the SnapKZP+ target back onto its source.
    call.TraceApiStart(Op::StartKzp);
    for (uint32_t i = 0; i < pairs; ++i) {
        const CopyPair &pair = list.pPairs->taPair[i];
        CopyPair back = pair;
        std::memcpy(back.caSrcBoxID, pair.caTrgBoxID, ZRK_BOXID_LEN);
        std::memcpy(back.caTrgBoxID, pair.caSrcBoxID, ZRK_BOXID_LEN);
        back.SrcOlu = pair.TrgOlu;
        back.SrcAddr_h = pair.TrgAddr_h;
        back.SrcAddr_l = pair.TrgAddr_l;
        back.TrgOlu = pair.SrcOlu;
        back.TrgAddr_h = pair.SrcAddr_h;
        back.TrgAddr_l = pair.SrcAddr_l;
        if (MappedKzpPair(call, Op::StartKzp, i, back, kKzpCopyInterval, 0) != 0 &&
            !call.GroupMode())
            return call.Fail();
    }
    call.TraceApiEnd(Op::StartKzp);
    return call.Finish();
}
