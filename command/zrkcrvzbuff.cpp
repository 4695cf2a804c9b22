// The RVZ buffers and the copy priority of an array, reached through one
// volume: zrkc_query_rvzbuff, zrkc_change_rvzbuff (SCSI or LAN) and
// zrkc_query_copypriority, zrkc_change_copypriority (SCSI only).
#include "zrkcalias.h"
#include "zrkcframe.h"
#include "zrkcmessage.h"

#include "platform.h"
#include "zrklist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zrkc {
namespace {

constexpr const char *kOtherStorage = "[Other-Storage]";

constexpr uint8_t kCopyPriorityEntries = 16;

using zrk::Be16;
using zrk::Be32;
using zrk::Be64;

// The one volume of the call, resolved: 0 to go on, else what the command
// returns.
int OpenVolume(CommandCall &call, char *volume, uint32_t option, uint32_t mask) {
    if (call.CheckOptions(option, mask) != 0) return -1;
    return call.BuildList(volume, nullptr, option);
}

int Resolve(CommandCall &call) {
    if (com_conv_volinf(&call.List(), 0, call.Result()) != 0) return call.Fail();
    return 0;
}

using InfoPtr = Owned<RVZ_BUFF_INFO>;

// The array's RVZ buffer information through the pair's road; the result
// mapped into the call's result record. 0 or what the command returns.
int ReadBuffInfo(CommandCall &call, InfoPtr &info) {
    info = Cleared<RVZ_BUFF_INFO>(1);
    if (!info) return call.NoMemory();
    const CopyPair &pair = call.List().pPairs->taPair[0];
    call.TraceApiStart(Op::RvzBuffInfo);
    const int r = call.CallByTransport(pair, ZRKGetRVZBuffInfo, ZRKIPGetRVZBuffInfo, 0u, info.get());
    if (call.MapResult(0, Op::RvzBuffInfo, pair, r) != 0) {
        call.TraceVolumeParm(pair.caAccessVolume, 0);
        return call.Fail();
    }
    call.TraceApiEnd(Op::RvzBuffInfo);
    return 0;
}

// The buffers the information holds: the array's count, but never more
// than the record has room for.
uint32_t BufferCount(const RVZ_BUFF_INFO &info) {
    return std::min<uint32_t>(Be16(info.ucaHead + 2), ZRKC_RVZBUFF_ITEMS);
}

// One buffer in host order; the modules' count is kept within the record.
void FillGroup(BuffGroupInfo &g, const RVZ_BUFF_ELEMENT &e) {
    // Offsets below are the element's own, read from its bytes.
    const auto *b = reinterpret_cast<const unsigned char *>(&e);
    g.GroupNum = b[1];
    g.BuffStat = b[2];
    g.Use = Be16(b + 8);
    g.Interval = Be16(b + 10);
    g.WatchTime = Be32(b + 12);
    g.BuffSize = Be32(b + 16);
    std::memcpy(g.RemoteBoxID, b + 24, ZRK_BOXID_LEN);
    g.BuffSessCnt = Be16(b + 66);
    g.CmCnt = static_cast<uint16_t>(std::min<uint32_t>(Be16(b + 70), ZRKC_RVZBUFF_CMS));
    g.TotalSize = Be32(b + 72);
    g.TotalUseSize = Be32(b + 76);
    g.TotalSpaceSize = Be32(b + 80);
    g.DskBuffStat = b[97];
    g.RLUCnt = std::min<uint8_t>(b[112], 16);
    for (size_t k = 0; k < 16; ++k) g.RLUN[k] = Be16(b + 116 + 2 * k);
    g.ElapsTime = Be32(b + 164);
    g.DskBuffSize = Be64(b + 168);
    g.DskBuffStrgSize = Be64(b + 176);
    g.DskBuffFreeSize = Be64(b + 184);
}

void FillModule(CMInfo &c, const RVZ_BUFF_CM_INFO &m) {
    const auto *s = reinterpret_cast<const unsigned char *>(&m);
    c.CMID = Be16(s);
    c.BuffSize = Be32(s + 4);
    c.BuffUseSize = Be32(s + 8);
    c.BuffFreeSize = Be32(s + 12);
    c.DskBuffSize = Be64(s + 40);
    c.DskBuffStrgSize = Be64(s + 48);
    c.DskBuffFreeSize = Be64(s + 56);
}

void TraceGroup(const BuffGroupInfo &g) {
    char box[ZRK_BOXID_LEN + 1] = {};
    char alias[ZRK_BOXID_LEN + 1] = {};
    std::memcpy(box, g.RemoteBoxID, ZRK_BOXID_LEN);
    std::memcpy(alias, g.Alias, ZRK_BOXID_LEN);
    const uint16_t *n = g.RLUN;
    TraceLine(kTraceData, {},
              "BuffGroupInfo : GroupNum=%d, BuffStat=%d, Use=%d, Interval=%d, WatchTime=%d, "
              "BuffSize=%d, RemoteBoxID=%s, Alias=%s, BuffSessCnt=%d, CmCnt=%d, TotalSize=%d, "
              "TotalUseSize=%d, TotalSpaceSize=%d, DskBuffStat=%d, RLUCnt=%d, "
              "RLUN=[%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d], ElapsTime=%d, "
              "DskBuffSize=%llu, DskBuffStrgSize=%llu, DskBuffFreeSize=%llu",
              g.GroupNum, g.BuffStat, g.Use, g.Interval, static_cast<int>(g.WatchTime),
              static_cast<int>(g.BuffSize), box, alias, g.BuffSessCnt, g.CmCnt,
              static_cast<int>(g.TotalSize), static_cast<int>(g.TotalUseSize),
              static_cast<int>(g.TotalSpaceSize), g.DskBuffStat, g.RLUCnt, n[0], n[1], n[2], n[3],
              n[4], n[5], n[6], n[7], n[8], n[9], n[10], n[11], n[12], n[13], n[14], n[15],
              static_cast<int>(g.ElapsTime), static_cast<unsigned long long>(g.DskBuffSize),
              static_cast<unsigned long long>(g.DskBuffStrgSize),
              static_cast<unsigned long long>(g.DskBuffFreeSize));
}

void TraceModule(const CMInfo &c) {
    TraceLine(kTraceData, {},
              "CMInfo : CMID=%d, BuffSize=%d, BuffUseSize=%d, BuffFreeSize=%d, DskBuffSize=%llu, "
              "DskBuffStrgSize=%llu, DskBuffFreeSize=%llu",
              c.CMID, static_cast<int>(c.BuffSize), static_cast<int>(c.BuffUseSize),
              static_cast<int>(c.BuffFreeSize), static_cast<unsigned long long>(c.DskBuffSize),
              static_cast<unsigned long long>(c.DskBuffStrgSize),
              static_cast<unsigned long long>(c.DskBuffFreeSize));
}

// The partner's alias from the alias store, or kOtherStorage. 0 or -1.
int FillAlias(BuffGroupInfo &g, ReturnInfo *ri) {
    char box[ZRK_BOXID_LEN + 1] = {};
    std::memcpy(box, g.RemoteBoxID, ZRK_BOXID_LEN);
    AliasRecord record{};
    const int r = com_get_alias_info(ZRKC_ALIAS_BY_BOXID, box, &record, ri);
    if (r < 0) return -1;
    if (r == 0)
        std::memcpy(g.Alias, record.Main.Alias, ZRK_BOXID_LEN);
    else
        std::strncpy(g.Alias, kOtherStorage, ZRK_BOXID_LEN);
    return 0;
}

// A copy-priority command reaches the array over SCSI only.
int RefuseLan(CommandCall &call) {
    if (!OverLan(call.List().pPairs->taPair[0])) return 0;
    SetResult(call.Result(), Msg::NotForLan);
    return call.Fail();
}

} // namespace
} // namespace zrkc

using zrkc::CommandCall;
using zrkc::Op;

extern "C" int zrkc_query_rvzbuff(char *volume, int option, ReturnInfo *ri, void *output,
                                  int outputLength) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_query_rvzbuff", ri);
    const bool noArea = output == nullptr && outputLength != 0;
    if (call.OpenVolume(noArea ? nullptr : volume, opt) != 0) return -1;
    if (int r = zrkc::OpenVolume(call, volume, opt, ZRKC_OPT_RVZBUFF_DETAIL)) return r;
    const bool detail = (opt & ZRKC_OPT_RVZBUFF_DETAIL) != 0;
    const size_t needed = detail ? ZRKC_RVZBUFF_DETAIL_LEN : ZRKC_RVZBUFF_LEN;
    const size_t length = outputLength > 0 ? static_cast<size_t>(outputLength) : 0;
    if (call.CheckOutputArea(output, length, needed) != 0) return 1;
    if (int r = zrkc::Resolve(call)) return r;

    zrkc::InfoPtr info;
    if (int r = zrkc::ReadBuffInfo(call, info)) return r;
    com_file_release(&call.List());

    auto *head = static_cast<RvzBuffQueryInfo *>(output);
    head->MaxBuffCnt = zrkc::Be16(info->ucaHead);
    head->CurBuffCnt = static_cast<uint16_t>(zrkc::BufferCount(*info));
    head->SupptFunc = info->ucaHead[7];
    zrkc::TraceLine(zrkc::kTraceData, {}, "RVZBuffInfo : MaxBuffCnt=%d, CurBuffCnt=%d, SupptFunc=%d",
                    head->MaxBuffCnt, head->CurBuffCnt, head->SupptFunc);
    unsigned char *items = static_cast<unsigned char *>(output) + sizeof(RvzBuffQueryInfo);
    const size_t stride = detail ? sizeof(BuffGroupDetail) : sizeof(BuffGroupInfo);
    for (uint32_t i = 0; i < head->CurBuffCnt; ++i) {
        auto *group = reinterpret_cast<BuffGroupInfo *>(items + i * stride);
        const RVZ_BUFF_ELEMENT &element = info->Buff[i];
        zrkc::FillGroup(*group, element);
        if (zrkc::FillAlias(*group, ri) != 0) return call.Fail();
        zrkc::TraceGroup(*group);
        if (!detail) continue;
        auto *modules = reinterpret_cast<BuffGroupDetail *>(group)->taCm;
        for (uint32_t k = 0; k < group->CmCnt; ++k) {
            zrkc::FillModule(modules[k], element.Cm[k]);
            zrkc::TraceModule(modules[k]);
        }
    }
    return call.Finish();
}

extern "C" int zrkc_change_rvzbuff(char *volume, uint16_t id, uint16_t use, const char *boxId,
                                   int option, ReturnInfo *ri) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_change_rvzbuff", ri);
    if (call.OpenVolume(volume, opt) != 0) return -1;
    if (use != ZRKC_RVZBUFF_SEND && use != ZRKC_RVZBUFF_RECEIVE) return call.RefuseOptions();
    if (int r = zrkc::OpenVolume(call, volume, opt, 0)) return r;
    if (int r = zrkc::Resolve(call)) return r;

    zrkc::InfoPtr info;
    if (int r = zrkc::ReadBuffInfo(call, info)) return r;
    const uint32_t count = zrkc::BufferCount(*info);
    const RVZ_BUFF_ELEMENT *found = nullptr;
    for (uint32_t i = 0; i < count && found == nullptr; ++i) {
        if (info->Buff[i].ucaEntry[1] == id) found = &info->Buff[i];
    }
    if (found == nullptr) {
        zrkc::SetResult(ri, zrkc::Msg::RvzBufferMissing);
        return call.Fail();
    }
    RVZ_BUFF_SET_REQ request{};
    request.uhBuffID = id;
    request.uhBuffType = use;
    request.uhInterval = zrkc::Be16(found->ucaEntry + 10);
    request.uiMonitorTime = zrkc::Be32(found->ucaEntry + 12);
    std::memcpy(request.ucaRemoteBoxID, boxId != nullptr ? reinterpret_cast<const uint8_t *>(boxId)
                                                         : found->ucaEntry + 24,
                ZRK_BOXID_LEN);

    const CopyPair &pair = call.List().pPairs->taPair[0];
    call.TraceApiStart(Op::RvzBuffSet);
    const int r = call.CallByTransport(pair, ZRKRVZBuffSet, ZRKIPRVZBuffSet, &request);
    if (call.MapResult(0, Op::RvzBuffSet, pair, r) != 0) {
        call.TraceVolumeParm(pair.caAccessVolume, 0);
        return call.Fail();
    }
    call.TraceApiEnd(Op::RvzBuffSet);
    return call.Finish();
}

extern "C" int zrkc_query_copypriority(char *volume, int option, ReturnInfo *ri,
                                       CopyPriorityInfo *output) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_query_copypriority", ri);
    if (call.OpenVolume(output == nullptr ? nullptr : volume, opt) != 0) return -1;
    if (int r = zrkc::OpenVolume(call, volume, opt, 0)) return r;
    if (int r = zrkc::Resolve(call)) return r;
    std::memset(output, 0, sizeof *output);
    if (int r = zrkc::RefuseLan(call)) return r;

    const CopyPair &pair = call.List().pPairs->taPair[0];
    COPY_PRIORITY_INFO block{};
    const int r = ZRKGetCopyPriority(pair.caAccessVolume, &block, call.Sense());
    if (call.MapResult(0, Op::CopyPriority, pair, r) != 0)
        return call.Fail();
    const auto *raw = reinterpret_cast<const unsigned char *>(&block);
    const uint8_t entries = std::min(raw[2], zrkc::kCopyPriorityEntries);
    for (uint8_t i = 0; i < entries; ++i) {
        const unsigned char *from = raw + 8 + size_t{i} * sizeof(CopyPriorityEntry);
        CopyPriorityEntry &to = output->taEntry[i];
        std::memcpy(to.caBoxID, from, ZRK_BOXID_LEN);
        to.ucConnectionType = from[40];
        to.ucPriorityLevel = from[41];
        to.ucaCarried[0] = from[44];
        to.ucaCarried[1] = from[45];
        to.uhaCarried[0] = zrkc::Be16(from + 46);
        to.uhaCarried[1] = zrkc::Be16(from + 48);
        to.uhMultiplicity = zrkc::Be16(from + 50);
    }
    output->ucHead = raw[0];
    output->ucLCopyRate = raw[1];
    output->ucEntryCount = entries;
    return call.Finish();
}

extern "C" int zrkc_change_copypriority(char *volume, int option, ReturnInfo *ri,
                                        CopyPriorityParam param) {
    const uint32_t opt = static_cast<uint32_t>(option);
    CommandCall call("zrkc_change_copypriority", ri);
    if (call.OpenVolume(volume, opt) != 0) return -1;
    if (int r = zrkc::OpenVolume(call, volume, opt, 0)) return r;
    if (int r = zrkc::Resolve(call)) return r;
    COPY_PRIORITY_SET request{};
    if (int r = zrkc::RefuseLan(call)) return r;

    request.ucKind = param.ucKind;
    bool valid = true;
    if (param.ucKind == ZRKC_PRIORITY_LOCAL) {
        request.ucLevel = param.ucLCopyRate;
    } else if (param.ucKind == ZRKC_PRIORITY_REMOTE) {
        std::memcpy(request.BoxID, param.caBoxID, ZRK_BOXID_LEN);
        request.ucSubKind = param.ucConnectionType;
        if (param.ucConnectionType == ZRKC_CONNECTION_DIRECT) {
            request.ucSwitch = param.ucPriorityLevel;
        } else if (param.ucConnectionType == ZRKC_CONNECTION_REMOTE) {
            // The multiplicity goes high byte first into bytes 50 and 51.
            request.ucaReserved2[0] = static_cast<unsigned char>(param.uhMultiplicity >> 8);
            request.ucaReserved2[1] = static_cast<unsigned char>(param.uhMultiplicity & 0xFF);
        } else {
            valid = false;
        }
    } else {
        valid = false;
    }
    if (!valid) {
        zrkc::SetResult(ri, zrkc::Msg::PriorityParameter);
        return call.Fail();
    }
    const CopyPair &pair = call.List().pPairs->taPair[0];
    const int r = ZRKSetCopyPriority(pair.caAccessVolume, call.Sense(), request);
    if (call.MapResult(0, Op::SetCopyPriority, pair, r) != 0)
        return call.Fail();
    return call.Finish();
}
