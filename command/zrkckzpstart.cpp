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

uint8_t KzpCallIdentifier(KzpCall call, uint8_t transport) {
    const bool lan = transport == 1;
    switch (call) {
    case KzpCall::Start: return lan ? 33 : 1;
    case KzpCall::QuickStart: return lan ? 34 : 2;
    case KzpCall::SnapStart: return lan ? 35 : 3;
    case KzpCall::EstimateStart: return lan ? 36 : 4;
    case KzpCall::Stop: return lan ? 37 : 5;
    case KzpCall::QuickStop: return lan ? 38 : 6;
    case KzpCall::SnapStop: return lan ? 39 : 7;
    case KzpCall::GenerationList: return lan ? 49 : 17;
    case KzpCall::PoolExtSize: return lan ? 52 : 20;
    case KzpCall::ClassicSnapStop: return lan ? 64 : 63;
    case KzpCall::ConcStart: return lan ? 68 : 67;
    }
    return 0;
}

const char *KzpCallNames(KzpCall call) {
    switch (call) {
    case KzpCall::Start: return "ZRKLVStartKZP / ZRKIPStartKZP";
    case KzpCall::QuickStart: return "ZRKLVStartQuickKZP / ZRKIPStartQuickKZP";
    case KzpCall::SnapStart:
    case KzpCall::EstimateStart: return "ZRKLVStartSnapKZP_p / ZRKIPStartSnapKZP_p";
    case KzpCall::Stop: return "ZRKLVStopKZP / ZRKIPStopKZP";
    case KzpCall::QuickStop: return "ZRKLVStopQuickKZP / ZRKIPStopQuickKZP";
    case KzpCall::SnapStop:
    case KzpCall::ClassicSnapStop: return "ZRKLVStopSnapKZP_p / ZRKIPStopSnapKZP_p";
    case KzpCall::GenerationList: return "ZRKLVGeneraListSnapKZP_p / ZRKIPGeneraListSnapKZP_p";
    case KzpCall::PoolExtSize: return "ZRKLVGetPoolExtSize / ZRKIPGetPoolExtSize";
    case KzpCall::ConcStart: return "ZRKStartConcKZP / ZRKIPStartConcKZP";
    }
    return "";
}

int CallKzpPair(KzpCall call, const CopyPair &pair, uint32_t interval, uint32_t apiOption,
                unsigned char *sense, unsigned char *out) {
    std::memset(sense, 0, ZRK_SENSE_LEN);
    const bool lan = pair.ucTransport == 1;
    const char *vol = pair.caAccessVolume;
    InBandPairCall inBand = nullptr;
    OutOfBandPairCall outOfBand = nullptr;
    switch (call) {
    case KzpCall::Start: inBand = ZRKLVStartKZP; outOfBand = ZRKIPStartKZP; break;
    case KzpCall::QuickStart: inBand = ZRKLVStartQuickKZP; outOfBand = ZRKIPStartQuickKZP; break;
    case KzpCall::SnapStart:
    case KzpCall::EstimateStart: inBand = ZRKLVStartSnapKZP_p; outOfBand = ZRKIPStartSnapKZP_p; break;
    case KzpCall::Stop: inBand = ZRKLVStopKZP; outOfBand = ZRKIPStopKZP; break;
    case KzpCall::QuickStop: inBand = ZRKLVStopQuickKZP; outOfBand = ZRKIPStopQuickKZP; break;
    case KzpCall::SnapStop: inBand = ZRKLVStopSnapKZP_p; outOfBand = ZRKIPStopSnapKZP_p; break;
    case KzpCall::ClassicSnapStop: inBand = ZRKLVStopSnapKZP; outOfBand = ZRKIPStopSnapKZP; break;
    case KzpCall::PoolExtSize:
        if (lan)
            return ZRKIPGetPoolExtSize(vol, nullptr, pair.caSrcBoxID, pair.SrcOlu, pair.SrcAddr_h,
                                       pair.SrcAddr_l, pair.SrcSize_h, pair.SrcSize_l,
                                       pair.caTrgBoxID, pair.TrgOlu, pair.TrgAddr_h,
                                       pair.TrgAddr_l, static_cast<int>(interval), apiOption, out,
                                       sense);
        return ZRKLVGetPoolExtSize(vol, pair.caSrcBoxID, pair.SrcOlu, pair.SrcAddr_h,
                                   pair.SrcAddr_l, pair.SrcSize_h, pair.SrcSize_l, pair.caTrgBoxID,
                                   pair.TrgOlu, pair.TrgAddr_h, pair.TrgAddr_l, interval, apiOption,
                                   out, sense);
    case KzpCall::GenerationList: // read into its room by ReadGenerationsInto
    case KzpCall::ConcStart: break;
    }
    if (inBand == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return -1;
    }
    return CallPairByTransport(inBand, outOfBand, pair, interval, apiOption, sense);
}

int MappedKzpPair(CommandCall &call, KzpCall what, uint32_t index, const CopyPair &pair,
                  uint32_t interval, uint32_t apiOption, unsigned char *out) {
    const int r = CallKzpPair(what, pair, interval, apiOption, call.Sense(), out);
    if (call.MapResult(index, KzpCallIdentifier(what, pair.ucTransport), pair.caAccessVolume, r) == 0)
        return 0;
    call.TracePairParm(pair, apiOption, __LINE__);
    return -1;
}

int MapIntoResult(CommandCall &call, KzpCall what, const CopyPair &pair, int apiResult) {
    ReturnInfo *ri = call.Result();
    return com_set_return_inf(KzpCallIdentifier(what, pair.ucTransport), pair.caAccessVolume,
                              apiResult, call.Sense(), &ri->iReturnClass, &ri->uiMessageNo,
                              ri->caMessage) == 0
               ? 0
               : -1;
}

int LookUpSessions(CommandCall &call, int flags, KzpArea<SessionRecord> &records, int &found,
                   int &lookup) {
    records = NewSessionRecords(call.List());
    if (!records) {
        SetNoMemory(call.Result());
        return -1;
    }
    found = 0;
    lookup = com_get_session_list(&call.List(), 0, flags, &found, records.get(), call.Result());
    return lookup == -1 ? -1 : 0;
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
    KzpArea<CONC_SES_INFO> entries(
        static_cast<CONC_SES_INFO *>(std::calloc(count == 0 ? 1 : count, sizeof(CONC_SES_INFO))));
    if (!entries) return call.NoMemory(__LINE__);
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
    if (refused) return call.Fail(__LINE__);

    if (kind == StartKind::Quick) { // all pairs of a subgroup restarted, or none
        uint32_t first = 0;
        for (uint32_t k = 0; k < count; ++k) {
            if (index->taEntry[k].uiSubgroupSize != 0) first = k;
            if (conc[k].OptionFlag != conc[first].OptionFlag) {
                SetResult(call.Result(), Msg::Preconditions);
                return call.Fail(__LINE__);
            }
        }
    }

    const char *apis = KzpCallNames(KzpCall::ConcStart);
    call.TraceApiStart(apis, __LINE__);
    for (uint32_t k = 0; k < count; ++k) {
        const SubgroupEntry &e = index->taEntry[k];
        const uint32_t size = e.uiSubgroupSize;
        if (size == 0) continue;
        const CopyPair &p = *e.pPair;
        std::memset(call.Sense(), 0, ZRK_SENSE_LEN);
        const int r = p.ucTransport == 1
                          ? ZRKIPStartConcKZP(p.caAccessVolume, nullptr, &conc[k],
                                              static_cast<int>(size), call.Sense())
                          : ZRKStartConcKZP(p.caAccessVolume, &conc[k], size, call.Sense());
        if (MapIntoResult(call, KzpCall::ConcStart, p, r) != 0) return call.Fail(__LINE__);
        for (uint32_t j = k; j < k + size && j < count; ++j) {
            const SubgroupEntry &m = index->taEntry[j];
            RecordStarted(kind, option, conc[k].OptionFlag, list.pNames->taEntry[m.uiPairIndex],
                          *m.pPair);
        }
    }
    call.TraceApiEnd(apis, __LINE__);
    return call.Finish(__LINE__);
}

int StartKzpFamily(StartKind kind, char *source, char *target, int option, ReturnInfo *ri) {
    const StartShape &shape = ShapeOf(kind);
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call(shape.pName, ri);
    if (call.OpenPair(source, target, opt, __LINE__) != 0) return -1;
    if ((shape.bExtended ? call.CheckOptions(opt, shape.uiMask, ZRKC_EXOPT_VVOL_DELETE, __LINE__)
                         : call.CheckOptions(opt, shape.uiMask, __LINE__)) != 0)
        return -1;
    const bool vvolDelete = shape.bExtended && (uiExOptionFlag & ZRKC_EXOPT_VVOL_DELETE) != 0;
    if (kind == StartKind::Snap && (opt & ZRK_OPT_MONITOR) != 0 && (opt & ZRKC_OPT_CONC_START) != 0)
        return call.RefuseOptions(__LINE__);
    if (vvolDelete && (opt & (ZRKC_OPT_CONC_START | ZRKC_OPT_NO_POST)) != 0)
        return call.RefuseOptions(__LINE__);
    uint32_t apiBase = opt & ZRKC_OPT_API_MASK;
    if ((opt & ZRKC_OPT_NO_POST) != 0) apiBase |= ZRK_OPT_ACCEPT_CASCADE;
    if (vvolDelete) apiBase |= ZRK_OPT_VVOL_DELETE;

    if (int r = call.BuildList(source, target, opt, __LINE__)) return r;
    const bool estimate = kind == StartKind::Snap && (opt & ZRK_OPT_MONITOR) != 0;
    if ((estimate ? call.RequireVolumes(__LINE__) : call.RequirePairs(__LINE__)) != 0) return -1;
    CopyPairList &list = call.List();
    if (com_conv_volinf(&list, 0, ri) != 0) return call.Fail(__LINE__);

    const bool concurrent = (opt & ZRKC_OPT_CONC_START) != 0 && call.GroupMode();
    if (concurrent && (list.pSubgroups == nullptr || list.pSubgroups->uiSubgroups != 1 ||
                       list.pSubgroups->uiBoxRuns != 1)) {
        zrkc::SetCatalogueResult(ri, CatalogueMsg::GroupArraysDiffer);
        return call.Fail(__LINE__);
    }
    if (start_volume_size_check(&list, ri) != 0) return call.Fail(__LINE__);

    const uint32_t pairs = PairsOf(list);
    KzpArea<uint32_t> apiOptions(
        static_cast<uint32_t *>(std::calloc(pairs == 0 ? 1 : pairs, sizeof(uint32_t))));
    if (!apiOptions) return call.NoMemory(__LINE__);
    for (uint32_t i = 0; i < pairs; ++i) apiOptions.get()[i] = apiBase;

    if (kind != StartKind::Kzp) {
        KzpArea<SessionRecord> records;
        int found = 0, lookup = 0;
        if (LookUpSessions(call, 0, records, found, lookup) != 0) return call.Fail(__LINE__);
        if (kind == StartKind::Snap && found != 0) {
            SetResult(ri, Msg::Preconditions);
            return call.Fail(__LINE__);
        }
        for (uint32_t i = 0; kind == StartKind::Quick && i < pairs; ++i) {
            const SessionRecord &rec = records.get()[i];
            if (IsKzpSession(rec, ZRK_SESFLAG_QUICKKZP) && rec.tDetail.Phase != kKzpPhaseCopying)
                apiOptions.get()[i] |= ZRK_OPT_RESTART; // a tracking session starts again
        }
    }

    if (concurrent) return StartConcurrent(call, kind, opt, apiOptions.get());

    const KzpCall what = kind == StartKind::Kzp     ? KzpCall::Start
                         : kind == StartKind::Quick ? KzpCall::QuickStart
                         : estimate                 ? KzpCall::EstimateStart
                                                    : KzpCall::SnapStart;
    const char *apis = KzpCallNames(what);
    call.TraceApiStart(apis, __LINE__);
    for (uint32_t i = 0; i < pairs; ++i) {
        const CopyPair &pair = list.pPairs->taPair[i];
        const uint32_t apiOption = apiOptions.get()[i];
        if (MappedKzpPair(call, what, i, pair, kKzpCopyInterval, apiOption) != 0) {
            if (!call.GroupMode()) return call.Fail(__LINE__);
            continue;
        }
        RecordStarted(kind, opt, apiOption, list.pNames->taEntry[i], pair);
    }
    call.TraceApiEnd(apis, __LINE__);
    return call.Finish(__LINE__);
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
    const char *apis = KzpCallNames(KzpCall::PoolExtSize);
    call.TraceApiStart(apis, __LINE__);
    for (uint32_t k = 0; index != nullptr && k < index->uiPairCount; ++k) {
        const SubgroupEntry &e = index->taEntry[k];
        if (e.uiSubgroupSize != 0) {
            left = e.uiSubgroupSize;
            smallest = kMax;
        }
        unsigned char info[64] = {};
        const int r = CallKzpPair(KzpCall::PoolExtSize, *e.pPair, kKzpCopyInterval, 0, call.Sense(),
                                  info);
        if (MapIntoResult(call, KzpCall::PoolExtSize, *e.pPair, r) != 0) {
            call.TracePairParm(*e.pPair, 0, __LINE__);
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
    call.TraceApiEnd(apis, __LINE__);
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
    if (call.OpenPair(source, target, opt, __LINE__) != 0) return -1;
    if (int r = OpenResolvedList(call, source, target, opt, ZRKC_OPT_GROUP_FILE, 0, ri)) return r;
    CopyPairList &list = call.List();
    const uint32_t pairs = PairsOf(list);
    {
        KzpArea<SessionRecord> records;
        int found = 0, lookup = 0;
        if (LookUpSessions(call, 0, records, found, lookup) != 0) return call.Fail(__LINE__);
        if (lookup == 2) {
            if (found != 0)
                SetResult(ri, Msg::Preconditions);
            else
                SetResult(ri, Msg::SessionMissing);
            return call.Fail(__LINE__);
        }
        for (uint32_t i = 0; i < pairs; ++i) {
            if (!IsKzpSession(records.get()[i], ZRK_SESFLAG_SNAPKZP_P)) {
                SetResult(ri, Msg::Preconditions);
                return call.Fail(__LINE__);
            }
        }
    }
    if (CheckPool(call) != 0) return call.Fail(__LINE__);

    // Each restore copies the SnapKZP+ target back onto its source.
    const char *apis = KzpCallNames(KzpCall::Start);
    call.TraceApiStart(apis, __LINE__);
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
        if (MappedKzpPair(call, KzpCall::Start, i, back, kKzpCopyInterval, 0) != 0 &&
            !call.GroupMode())
            return call.Fail(__LINE__);
    }
    call.TraceApiEnd(apis, __LINE__);
    return call.Finish(__LINE__);
}
