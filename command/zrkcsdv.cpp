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

constexpr uint32_t kVolumeMask = ZRKC_OPT_GROUP_FILE; // init, estimate and sdv queries
constexpr uint32_t kPoolMask = 0;                     // the pool query takes no bit

// The API operations whose results com_set_return_inf maps here.
constexpr uint8_t kApiSdvInit = 13;      // ZRKSnapDataVolInit
constexpr uint8_t kApiIpSdvInit = 45;    // ZRKIPSnapDataVolInit
constexpr uint8_t kApiOluStatus = 18;    // ZRKGetOLUStatus
constexpr uint8_t kApiIpOluStatus = 50;  // ZRKIPGetOLUStatus
constexpr uint8_t kApiPoolInfo = 19;     // ZRKLVPoolInfoSnapKZP_p
constexpr uint8_t kApiIpPoolInfo = 51;   // ZRKIPPoolInfoSnapKZP_p

constexpr char kInitApis[] = "ZRKSnapDataVolInit / ZRKIPSnapDataVolInit";
constexpr char kStatusApis[] = "ZRKGetOLUStatus / ZRKIPGetOLUStatus";
constexpr char kPoolApis[] = "ZRKLVPoolInfoSnapKZP_p / ZRKIPPoolInfoSnapKZP_p";

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

bool ByLan(const CopyPair &pair) { return pair.ucTransport == 1; }

uint32_t VolumeCount(const CopyPairList &list) {
    return list.pNames != nullptr ? list.pNames->uiCount : 0;
}

// The result slot of volume index: its PairResult in a group run (when the
// caller's area holds it), the result record otherwise.
zrkc::ResultSlot SlotFor(ReturnInfo *ri, bool group, uint32_t index) {
    if (group && ri->pPairArea != nullptr &&
        ZRK_PAIR_AREA_SIZE(static_cast<size_t>(index) + 1) <= ri->uiPairAreaLength)
        return zrkc::SlotOf(reinterpret_cast<PairResult *>(
            static_cast<unsigned char *>(ri->pPairArea) + 4 +
            static_cast<size_t>(index) * sizeof(PairResult)));
    return zrkc::SlotOf(ri);
}

// The opening that the commands over volumes share after the operand check:
// the option mask and the list from the operand or the group file, whose
// pairs, when it holds pairs and the command asks for it, become the list
// of their targets. 0 to go on, else what the command returns.
int OpenVolumes(CommandCall &call, const char *volume, uint32_t option, uint32_t mask,
                bool targetsOfPairs) {
    if (call.CheckOptions(option, mask, __LINE__) != 0) return -1;
    if (int r = call.BuildList(volume, nullptr, option, __LINE__)) return r;
    CopyPairList &list = call.List();
    if (targetsOfPairs && list.pNames != nullptr && list.pNames->uiForm == ZRKC_FORM_PAIRS)
        com_pair_to_vol(&list);
    return 0;
}

// A query's operands: a NULL output goes only with the length 0.
int OpenQuery(CommandCall &call, const char *volume, uint32_t option, const void *output,
              int outputLength) {
    if (call.OpenVolume(volume, option, __LINE__) != 0) return -1;
    if (output == nullptr && outputLength != 0) {
        zrkc::SetResult(call.Result(), zrkc::Msg::ParameterMissing);
        return call.Fail(__LINE__);
    }
    return 0;
}

// The output area of a query against the size needed (0: more than the 32
// bits the caller is told can hold), then every volume resolved. A negative
// length is an area too small, never one to clear. 0 to go on (the area
// cleared), else what the command returns: 1 after 1001, -1.
int CheckAreaAndResolve(CommandCall &call, void *output, int outputLength, size_t needed) {
    if (needed == 0) return call.NoMemory(__LINE__);
    const size_t length = outputLength < 0 ? 0 : static_cast<size_t>(outputLength);
    if (call.CheckOutputArea(output, length, needed, __LINE__) != 0) return 1;
    if (com_conv_volinf(&call.List(), 0, call.Result()) != 0) return call.Fail(__LINE__);
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
        velk_trace(1, "%s started. parameter null pointer [%d]", kName, __LINE__);
        if (ri != nullptr)
            zrkc::SetResult(ri, zrkc::Msg::ParameterMissing);
        return -1;
    }
    const bool group = (static_cast<uint32_t>(option) & ZRKC_OPT_GROUP_FILE) != 0;
    const uint32_t count = list->pPairs != nullptr ? list->pPairs->uiCount : 0;
    unsigned char sense[ZRK_SENSE_LEN];
    int result = 0;
    velk_trace(1, "%s WX-API Call started.[%s] [%d]", kName, kInitApis, __LINE__);
    for (uint32_t i = 0; i < count; ++i) {
        const CopyPair &pair = list->pPairs->taPair[i];
        std::memset(sense, 0, sizeof sense);
        const bool lan = ByLan(pair);
        const int r = lan ? ZRKIPSnapDataVolInit(pair.caAccessVolume, nullptr, pair.SrcOlu, sense)
                          : ZRKSnapDataVolInit(pair.caAccessVolume, pair.SrcOlu, sense);
        const zrkc::ResultSlot slot = SlotFor(ri, group, i);
        if (com_set_return_inf(lan ? kApiIpSdvInit : kApiSdvInit, pair.caAccessVolume, r, sense,
                               slot.pReturnClass, slot.pMessageNo, slot.pMessage) == 0)
            continue;
        velk_trace(2, "%s WX-API Parm LogicalVol=%s, Olu=0x%08x [%d]", kName, pair.caAccessVolume,
                   pair.SrcOlu, __LINE__);
        velk_trace(1, "%s abnormal_end. msg=%s [%d]", kName, slot.pMessage, __LINE__);
        if (!group) return -1;
        if (result == 0) zrkc::SetResult(ri, zrkc::Msg::GroupLinesFailed);
        result = -1;
    }
    velk_trace(1, "%s WX-API Call end.[%s] [%d]", kName, kInitApis, __LINE__);
    return result;
}

extern "C" int zrkc_init_sdv(char *volume, int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_init_sdv", ri);
    if (call.OpenVolume(volume, opt, __LINE__) != 0) return -1;
    if (int r = OpenVolumes(call, volume, opt, kVolumeMask, true)) return r;
    if (com_conv_volinf(&call.List(), 0, ri) != 0) return call.Fail(__LINE__);
    if (exec_init_sdv(&call.List(), option, ri) != 0) return call.Fail(__LINE__);
    return call.Finish(__LINE__);
}

extern "C" int zrkc_query_estimate(char *volume, int option, ReturnInfo *ri, EstimateList *output,
                                   int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_query_estimate", ri);
    if (OpenQuery(call, volume, opt, output, outputLength) != 0) return -1;
    if (int r = OpenVolumes(call, volume, opt, kVolumeMask, false)) return r;
    if (call.RequireVolumes(__LINE__) != 0) return -1;
    const size_t needed = ListSize(call, sizeof(EstimateEntry));
    if (int r = CheckAreaAndResolve(call, output, outputLength, needed)) return r;
    CopyPairList &list = call.List();
    const uint32_t count = VolumeCount(list);

    std::unique_ptr<SessionRecord, zrk::FreeDeleter> records(
        static_cast<SessionRecord *>(std::calloc(count == 0 ? 1 : count, sizeof(SessionRecord))));
    if (!records) return call.NoMemory(__LINE__);
    int found = 0;
    if (com_get_session_list(&list, 0, 0, &found, records.get(), ri) == -1)
        return call.Fail(__LINE__);
    if (found == 0) {
        zrkc::SetResult(ri, zrkc::Msg::SessionMissing);
        return call.Fail(__LINE__);
    }
    for (uint32_t i = 0; i < count; ++i) {
        const SessionRecord &record = records.get()[i];
        if (record.ucFound == 0) {
            call.RefuseEntry(i, zrkc::Msg::SessionMissing);
            if (!call.GroupMode()) return call.Fail(__LINE__);
            continue;
        }
        EstimateEntry &entry = output->taEntry[i];
        CopyName(entry.caVolume, list, i);
        entry.BlkCnt = Halves(record.tDetail.CopiedBlock_high, record.tDetail.CopiedBlock_low);
        entry.Size = Halves(record.tDetail.SrcSize_high, record.tDetail.SrcSize_low);
        ++output->uiFilled;
    }
    output->uiCount = count;
    return call.Finish(__LINE__);
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
    call.TraceApiStart(kStatusApis, __LINE__);
    for (uint32_t i = 0; i < count; ++i) {
        const CopyPair &pair = list.pPairs->taPair[i];
        std::memset(status, 0, sizeof status);
        std::memset(call.Sense(), 0, ZRK_SENSE_LEN);
        const bool lan = ByLan(pair);
        const int r = lan ? ZRKIPGetOLUStatus(pair.caAccessVolume, nullptr, pair.SrcOlu, status,
                                              call.Sense())
                          : ZRKGetOLUStatus(pair.caAccessVolume, pair.SrcOlu, status, call.Sense());
        if (call.MapResult(i, lan ? kApiIpOluStatus : kApiOluStatus, pair.caAccessVolume, r) != 0) {
            call.TraceVolumeParm(pair.caAccessVolume, 0, __LINE__);
            if (!call.GroupMode()) return call.Fail(__LINE__);
            continue;
        }
        SdvStatusEntry &entry = output->taEntry[i];
        entry.OluNo = zrk::Be16(status + kStatusOlu);
        entry.Flag = zrk::Be32(status + kStatusFlag);
        if ((entry.Flag & ZRKC_SDV_FLAG_SDV) == 0) {
            call.RefuseEntry(i, zrkc::Msg::InvalidSdv);
            if (!call.GroupMode()) return call.Fail(__LINE__);
            continue;
        }
        CopyName(entry.caVolume, list, i);
        uint64_t *const sizes[] = {&entry.LogiTmp,      &entry.PhysiTmp,     &entry.SnapUsedHost,
                                   &entry.SnapUsedCopy, &entry.PoolCapaHost, &entry.PoolCapaCopy};
        for (size_t k = 0; k < std::size(sizes); ++k)
            *sizes[k] = zrk::Be64(status + kStatusSizes + 8 * k);
        ++output->uiFilled;
    }
    call.TraceApiEnd(kStatusApis, __LINE__);
    output->uiCount = count;
    return call.Finish(__LINE__);
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
    const bool lan = ByLan(pair);
    call.TraceApiStart(kPoolApis, __LINE__);
    call.TraceVolumeParm(pair.caAccessVolume, 0, __LINE__);
    std::memset(call.Sense(), 0, ZRK_SENSE_LEN);
    const int r = lan ? ZRKIPPoolInfoSnapKZP_p(pair.caAccessVolume, nullptr, 0, pool, call.Sense())
                      : ZRKLVPoolInfoSnapKZP_p(pair.caAccessVolume, 0, pool, call.Sense());
    if (call.MapResult(0, lan ? kApiIpPoolInfo : kApiPoolInfo, pair.caAccessVolume, r) != 0)
        return call.Fail(__LINE__);
    call.TraceApiEnd(kPoolApis, __LINE__);
    uint64_t *const fields[] = {&output->uiBlk,    &output->uiBlkHostUse,    &output->uiBlkCopyUse,
                                &output->uiBlkEnc, &output->uiBlkEncHostUse, &output->uiBlkEncCopyUse};
    for (size_t k = 0; k < std::size(fields); ++k) *fields[k] = zrk::Be64(pool + 8 * k);
    return call.Finish(__LINE__);
}
