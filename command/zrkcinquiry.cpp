// The volume and device summaries of the inquiry program: where a volume
// lies in its array (zrkc_get_volume), what its array can do
// (zrkc_get_device) and the two maxima alone (zrkc_get_max_count).
//
// The maxima come from the volume information that volume resolution keeps
// in the pair (CopyPair.uhMaxSessions and uhGenerations: for a pair without
// a target they are those of its one volume).
#include "ipframe.h"
#include "ipshow_array.h"
#include "zrkc.h"
#include "zrkcalias.h"
#include "zrkcframe.h"

#include "platform.h"
#include "zrksupport.h"

#include <cstring>

using zrkc::CommandCall;
using zrkc::Op;

namespace {

// The capability bit of the device information: SCSI, byte 23 of the copy
// support page's information (page byte 27); LAN, byte 7 of the model
// information.
constexpr size_t kDeviceSupportByte = 23;
constexpr unsigned kDeviceSupportBit = 0x40;
constexpr size_t kIpDeviceInfoLen = sizeof(CliModelInfo);
constexpr size_t kIpDeviceSupportByte = 7;
constexpr unsigned kIpDeviceSupportBit = 0x02;
// The capability bit of the copy-function record's detail-list flags.
constexpr uint32_t kIpFunctionBit = 0x02;

// The VOL_INFO_EX attribute of a snap data volume.
constexpr uint8_t kAttributeSdv = 1;

// The pair's copy-support bytes inside its VOL_INFO.
const unsigned char *SupportOf(const CopyPair &pair) { return pair.tVolInfo.ucaSupportData; }

uint64_t Join(uint32_t high, uint32_t low) { return static_cast<uint64_t>(high) << 32 | low; }

// The opening of the two count queries: the operands, the output area of
// `needed` bytes (then, for the device summary, the option word 0), and the
// one-volume list of vol (or of the group file's first line) built and
// resolved; 0 to go on, else what the command returns.
int OpenCountQuery(CommandCall &call, const char *vol, uint32_t opt, ReturnInfo *ri, void *area,
                   uint32_t len, size_t needed, bool optionsChecked) {
    if (call.OpenVolume(area == nullptr ? nullptr : vol, opt) != 0) return -1;
    if (call.CheckOutputArea(area, len, needed) != 0) return 1;
    if (optionsChecked && call.CheckOptions(opt, 0) != 0) return -1;
    if (int r = call.BuildList(vol, nullptr, opt)) return r;
    if (com_conv_volinf(&call.List(), 0, ri) != 0) return call.Fail();
    if (call.List().pPairs == nullptr || call.List().pPairs->uiCount == 0) {
        zrkc::SetResult(ri, zrkc::Msg::InternalInconsistency);
        return call.Fail();
    }
    return 0;
}

// The device information's capability bit, by the pair's transport; 0 or
// -1 (mapped into the result).
int DeviceSupport(CommandCall &call, const CopyPair &pair, bool *has) {
    unsigned char info[64] = {};
    if (zrkc::OverLan(pair)) {
        const int r = ZRKIPGetDeviceInfo(pair.caAccessVolume, nullptr, 0, info, call.Sense());
        if (call.MapResult(0, Op::DeviceInfo, pair, r) != 0) return -1;
        static_assert(kIpDeviceInfoLen <= sizeof info, "model information area");
        *has = zrk_support_has(info, kIpDeviceSupportByte, kIpDeviceSupportBit) != 0;
        return 0;
    }
    const int r = ZRKGetDeviceInfo(pair.caAccessVolume, ZRK_DEVICE_INFO_SUPPORT, info, call.Sense());
    if (call.MapResult(0, Op::DeviceInfo, pair, r) != 0) return -1;
    *has = zrk_support_has(info, kDeviceSupportByte, kDeviceSupportBit) != 0;
    return 0;
}

} // namespace

extern "C" int zrkc_get_volume(const char *vol, uint32_t opt, ReturnInfo *ri, void *area,
                               uint32_t len) {
    CommandCall call("zrkc_get_volume", ri);
    if (call.OpenVolume(area == nullptr && len != 0 ? nullptr : vol, opt) != 0) return -1;
    if (call.CheckOptions(opt, 0) != 0) return -1;
    if (call.CheckOutputArea(area, len, sizeof(VolumeQueryInfo)) != 0) return 1;

    const int kind = com_volume_kind(vol, ri);
    if (kind < 0) return call.Fail();
    if (kind != ZRKC_VOLKIND_DEVICE) {
        zrkc::SetInvalidVolume(ri, vol);
        return call.Fail();
    }

    VolumeQueryInfo info{};
    uint32_t extentHigh = 0, extentLow = 0, sizeHigh = 0, sizeLow = 0;
    VOL_INFO_EX ex{};
    call.TraceApiStart(Op::VolumeInfoLite);
    const uint32_t apiOption = opt & ZRKC_OPT_API_MASK;
    const int r = ZRKLVGetVolumeInfoLiteEx(vol, 0, apiOption, info.BoxID, &info.Volume, &extentHigh,
                                           &extentLow, &sizeHigh, &sizeLow, nullptr, &ex, call.Sense());
    if (call.MapResult(0, zrkc::IdOf(Op::VolumeInfoLite), vol, r) != 0) {
        call.TraceVolumeParm(vol, apiOption);
        return call.Fail();
    }
    call.TraceApiEnd(Op::VolumeInfoLite);

    AliasRecord record{};
    const int found = com_get_alias_info(ZRKC_ALIAS_BY_BOXID, info.BoxID, &record, ri);
    if (found < 0) return call.Fail();
    if (found == 0) {
        std::memcpy(info.Alias, record.Main.Alias, sizeof info.Alias);
        info.AliasPresent = 1;
    }
    info.Type = ex.ucAttribute == kAttributeSdv ? ZRKC_VOLTYPE_SDV : ZRKC_VOLTYPE_NORMAL;
    info.ExtentStartAddress = Join(extentHigh, extentLow);
    info.ExtentSize = Join(sizeHigh, sizeLow);
    std::memcpy(area, &info, sizeof info);
    return call.Finish();
}

extern "C" int zrkc_get_device(const char *vol, uint32_t opt, ReturnInfo *ri, void *area,
                               uint32_t len) {
    CommandCall call("zrkc_get_devive", ri);
    if (int r = OpenCountQuery(call, vol, opt, ri, area, len, sizeof(DeviceQueryInfo), true)) return r;

    const CopyPair &pair = call.List().pPairs->taPair[0];
    call.TraceApiStart(Op::DeviceInfo);
    bool deviceBit = false;
    if (DeviceSupport(call, pair, &deviceBit) != 0) {
        call.TraceVolumeParm(pair.caAccessVolume, 0);
        return call.Fail();
    }
    call.TraceApiEnd(Op::DeviceInfo);

    DeviceQueryInfo info{};
    if (deviceBit) info.SupportFlag |= ZRKC_DEVSUP_DEVICE;
    if (zrk_support_has(SupportOf(pair), ZRK_SUPPORT_RVZ_EXTRA, ZRK_SUPPORT_TARGET_STATUS))
        info.SupportFlag |= ZRKC_DEVSUP_TARGET_STATUS;
    info.MaxSession = pair.uhMaxSessions;
    info.MaxSnapGene = pair.uhGenerations;
    if (zrkc::OverLan(pair)) {
        CliCopyFunctions functions{};
        IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
        if ((functions.uiDetailFlags & kIpFunctionBit) != 0) info.SupportFlag |= ZRKC_DEVSUP_LAN_FUNCTION;
    }
    std::memcpy(area, &info, sizeof info);
    return call.Finish();
}

extern "C" int zrkc_get_max_count(const char *vol, uint32_t opt, ReturnInfo *ri, void *area,
                                  uint32_t len) {
    CommandCall call("zrkc_get_max_count", ri);
    // The two counts, in an area of at least 8 bytes.
    constexpr size_t kCountArea = 8;
    if (int r = OpenCountQuery(call, vol, opt, ri, area, len, kCountArea, false)) return r;
    const CopyPair &pair = call.List().pPairs->taPair[0];
    const uint16_t counts[2] = {pair.uhMaxSessions, pair.uhGenerations};
    std::memcpy(area, counts, sizeof counts);
    return call.Finish();
}
