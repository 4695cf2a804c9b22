// The snapshot side of the commands: the initialisation of snap data
// volumes, and the three queries of snapshot space: what the estimate
// sessions of some volumes measured, the state and sizes of snap data
// volumes, and the snap data pool of a volume's array.
//
// Every volume is reached by its transport: the in-band function through
// its device for SCSI, the out-of-band twin through the array's address for
// the LAN. A query writes only into the area the caller gave and only after
// the area proved large enough for the whole result; an area too small (a
// negative length included) is answered with 1001 and the size needed.
#include "zrkcframe.h"
#include "zrkcvz.h"
#include "zrkcmessage.h"

#include "platform.h"
#include "zrklist.h"
#include "zrktvc.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

namespace {

using zrkc::CommandCall;
using zrkc::Op;

constexpr uint32_t kVolumeMask = ZRKC_OPT_GROUP_FILE; // init, estimate and sdv queries
constexpr uint32_t kPoolMask = 0;                     // the pool query takes no bit

// The header before the entries of the estimate and snap data volume lists.
constexpr size_t kListHead = 8;

// Where the OLU status keeps what the snap data volume query reports.
constexpr size_t kStatusOlu = 0;
constexpr size_t kStatusFlag = 4;
constexpr size_t kStatusSizes = 8; // six 64-bit sizes from here

// A 64-bit count kept as two big-endian halves.
uint64_t Halves(const unsigned char *high, const unsigned char *low) {
    return uint64_t{zrk::Be32(high)} << 32 | zrk::Be32(low);
}

uint32_t VolumeCount(const CopyPairList &list) {
    return list.pNames != nullptr ? list.pNames->uiCount : 0;
}

// The opening that the commands over volumes share after the operand check:
// the option mask and the list from the operand or the group file, whose
// pairs, when it holds pairs and the command asks for it, become the list
// of their targets. 0 to go on, else what the command returns.
int OpenVolumes(CommandCall &call, const char *volume, uint32_t option, uint32_t mask,
                bool targetsOfPairs) {
    if (call.CheckOptions(option, mask) != 0) return -1;
    if (int r = call.BuildList(volume, nullptr, option)) return r;
    CopyPairList &list = call.List();
    if (targetsOfPairs && list.pNames != nullptr && list.pNames->uiForm == ZRKC_FORM_PAIRS)
        com_pair_to_vol(&list);
    return 0;
}

// A query's operands: a NULL output goes only with the length 0.
int OpenQuery(CommandCall &call, const char *volume, uint32_t option, const void *output,
              int outputLength) {
    if (call.OpenVolume(volume, option) != 0) return -1;
    if (output == nullptr && outputLength != 0) {
        zrkc::SetResult(call.Result(), zrkc::Msg::ParameterMissing);
        return call.Fail();
    }
    return 0;
}

// The output area of a query against the size needed (0: more than the 32
// bits the caller is told can hold), then every volume resolved. A negative
// length is an area too small, never one to clear. 0 to go on (the area
// cleared), else what the command returns: 1 after 1001, -1.
int CheckAreaAndResolve(CommandCall &call, void *output, int outputLength, size_t needed) {
    if (needed == 0) return call.NoMemory();
    const size_t length = outputLength < 0 ? 0 : static_cast<size_t>(outputLength);
    if (call.CheckOutputArea(output, length, needed) != 0) return 1;
    if (com_conv_volinf(&call.List(), 0, call.Result()) != 0) return call.Fail();
    return 0;
}

// The size of a list output with one entry per volume of the call's list,
// or 0 when it does not fit 32 bits.
size_t ListSize(CommandCall &call, size_t entrySize) {
    const uint64_t size = uint64_t{VolumeCount(call.List())} * entrySize + kListHead;
    return size > UINT32_MAX ? 0 : static_cast<size_t>(size);
}

// The name of volume index as the caller or the group file gave it.
void CopyName(char *out, const CopyPairList &list, uint32_t index) {
    std::memcpy(out, list.pNames->taEntry[index].caSource, ZRK_VOLNAME_LEN);
    out[ZRK_VOLNAME_LEN - 1] = '\0';
}

} // namespace

extern "C" int exec_init_sdv(CopyPairList *list, int option, ReturnInfo *ri) {
    static constexpr char kName[] = "exec_init_sdv";
    if (list == nullptr || ri == nullptr) {
        zrkc::TraceNullOperand(kName);
        if (ri != nullptr)
            zrkc::SetResult(ri, zrkc::Msg::ParameterMissing);
        return -1;
    }
    const bool group = (static_cast<uint32_t>(option) & ZRKC_OPT_GROUP_FILE) != 0;
    const uint32_t count = list->pPairs != nullptr ? list->pPairs->uiCount : 0;
    const char *apis = zrkc::TraceNames(Op::SdvInit);
    unsigned char sense[ZRK_SENSE_LEN];
    bool failed = false;
    zrkc::TraceCallStart(kName, apis, zrkc::kTraceStep);
    for (uint32_t i = 0; i < count; ++i) {
        const CopyPair &pair = list->pPairs->taPair[i];
        std::memset(sense, 0, sizeof sense);
        const int r = zrkc::CallByTransport(pair.ucTransport, pair.caAccessVolume, sense,
                                            ZRKSnapDataVolInit, ZRKIPSnapDataVolInit, pair.SrcOlu);
        // A group run's line goes to its PairResult when the caller's area
        // holds it, else (as every single volume) to the result record.
        PairResult *entry = group ? CommandCall::EntryOf(ri, i) : nullptr;
        const zrkc::ResultSlot slot = entry != nullptr ? zrkc::SlotOf(entry) : zrkc::SlotOf(ri);
        if (com_set_return_inf(zrkc::IdOf(Op::SdvInit, pair.ucTransport), pair.caAccessVolume, r,
                               sense, slot.pReturnClass, slot.pMessageNo, slot.pMessage) == 0)
            continue;
        zrkc::TraceLine(zrkc::kTraceParm, {}, "%s WX-API Parm LogicalVol=%s, Olu=0x%08x", kName,
                        pair.caAccessVolume, pair.SrcOlu);
        zrkc::AbnormalEnd(kName, slot.pMessage);
        if (!group) return -1;
        CommandCall::GroupLineFailed(ri, failed);
    }
    zrkc::TraceCallEnd(kName, apis, zrkc::kTraceStep);
    return failed ? -1 : 0;
}

extern "C" int zrkc_init_sdv(char *volume, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_init_sdv", ri);
    if (call.OpenVolume(volume, opt) != 0) return -1;
    if (int r = OpenVolumes(call, volume, opt, kVolumeMask, true)) return r;
    if (com_conv_volinf(&call.List(), 0, ri) != 0) return call.Fail();
    if (exec_init_sdv(&call.List(), option, ri) != 0) return call.Fail();
    return call.Finish();
}

extern "C" int zrkc_query_estimate(char *volume, int option, ReturnInfo *ri, EstimateList *output,
                                   int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_query_estimate", ri);
    if (OpenQuery(call, volume, opt, output, outputLength) != 0) return -1;
    if (int r = OpenVolumes(call, volume, opt, kVolumeMask, false)) return r;
    if (call.RequireVolumes() != 0) return -1;
    const size_t needed = ListSize(call, sizeof(EstimateEntry));
    if (int r = CheckAreaAndResolve(call, output, outputLength, needed)) return r;
    CopyPairList &list = call.List();
    const uint32_t count = VolumeCount(list);

    zrkc::SessionRecords records;
    int found = 0;
    if (int r = zrkc::LookUpSessions(call, 0, 0, records, found)) return r;
    if (found == 0) {
        zrkc::SetResult(ri, zrkc::Msg::SessionMissing);
        return call.Fail();
    }
    for (uint32_t i = 0; i < count; ++i) {
        const SessionRecord &record = records[i];
        if (record.ucFound == 0) {
            call.RefuseEntry(i, zrkc::Msg::SessionMissing);
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        EstimateEntry &entry = output->taEntry[i];
        CopyName(entry.caVolume, list, i);
        entry.BlkCnt = Halves(record.tDetail.CopiedBlock_high, record.tDetail.CopiedBlock_low);
        entry.Size = Halves(record.tDetail.SrcSize_high, record.tDetail.SrcSize_low);
        ++output->uiFilled;
    }
    output->uiCount = count;
    return call.Finish();
}

extern "C" int zrkc_query_sdv(char *volume, int option, ReturnInfo *ri, SdvStatusList *output,
                              int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_query_sdv", ri);
    if (OpenQuery(call, volume, opt, output, outputLength) != 0) return -1;
    if (int r = OpenVolumes(call, volume, opt, kVolumeMask, true)) return r;
    const size_t needed = ListSize(call, sizeof(SdvStatusEntry));
    if (int r = CheckAreaAndResolve(call, output, outputLength, needed)) return r;
    CopyPairList &list = call.List();
    const uint32_t count = VolumeCount(list);

    unsigned char status[ZRK_OLU_STATUS_LEN];
    call.TraceApiStart(Op::OluStatus);
    for (uint32_t i = 0; i < count; ++i) {
        const CopyPair &pair = list.pPairs->taPair[i];
        std::memset(status, 0, sizeof status);
        const int r = call.CallByTransport(pair, ZRKGetOLUStatus, ZRKIPGetOLUStatus, pair.SrcOlu, status);
        if (call.MapResult(i, Op::OluStatus, pair, r) != 0) {
            call.TraceVolumeParm(pair.caAccessVolume, 0);
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        SdvStatusEntry &entry = output->taEntry[i];
        entry.OluNo = zrk::Be16(status + kStatusOlu);
        entry.Flag = zrk::Be32(status + kStatusFlag);
        if ((entry.Flag & ZRKC_SDV_FLAG_SDV) == 0) {
            call.RefuseEntry(i, zrkc::Msg::InvalidSdv);
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        CopyName(entry.caVolume, list, i);
        uint64_t *const sizes[] = {&entry.LogiTmp,      &entry.PhysiTmp,     &entry.SnapUsedHost,
                                   &entry.SnapUsedCopy, &entry.PoolCapaHost, &entry.PoolCapaCopy};
        for (size_t k = 0; k < std::size(sizes); ++k)
            *sizes[k] = zrk::Be64(status + kStatusSizes + 8 * k);
        ++output->uiFilled;
    }
    call.TraceApiEnd(Op::OluStatus);
    output->uiCount = count;
    return call.Finish();
}

extern "C" int zrkc_query_sdp(char *volume, int option, ReturnInfo *ri, SdpInfo *output,
                              int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_query_sdp", ri);
    if (OpenQuery(call, volume, opt, output, outputLength) != 0) return -1;
    unsigned char pool[ZRK_POOL_INFO_LEN] = {};
    if (int r = OpenVolumes(call, volume, opt, kPoolMask, false)) return r;
    if (int r = CheckAreaAndResolve(call, output, outputLength, sizeof(SdpInfo))) return r;
    CopyPairList &list = call.List();

    const CopyPair &pair = list.pPairs->taPair[0];
    call.TraceApiStart(Op::PoolInfo);
    call.TraceVolumeParm(pair.caAccessVolume, 0);
    const int r = call.CallByTransport(pair, ZRKLVPoolInfoSnapKZP_p, ZRKIPPoolInfoSnapKZP_p, 0u, pool);
    if (call.MapResult(0, Op::PoolInfo, pair, r) != 0) return call.Fail();
    call.TraceApiEnd(Op::PoolInfo);
    uint64_t *const fields[] = {&output->uiBlk,    &output->uiBlkHostUse,    &output->uiBlkCopyUse,
                                &output->uiBlkEnc, &output->uiBlkEncHostUse, &output->uiBlkEncCopyUse};
    for (size_t k = 0; k < std::size(fields); ++k) *fields[k] = zrk::Be64(pool + 8 * k);
    return call.Finish();
}
