// The RVZ buffers of an array reached over the LAN: the information record
// in the in-band form, built from the buffer list, each buffer's usage and
// the disk buffers, and the setting of one buffer after checking it against
// the array's list of buffers and its RVZ paths.
#include "iprvzbuff.h"

#include "ipaction.h"
#include "ipframe.h"
#include "ipshow_array.h"
#include "ipshow_rvzpath.h"
#include "platform.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

using namespace zrkip;

namespace {

constexpr int kGetRvzBuffInfoId = 1023;
constexpr int kRvzBuffSetId = 1010;
constexpr int kRefreshAll = -1;       // own BoxID, copy functions and the RVZ buffer count
constexpr int kUsageOption = 1;       // Option of the usage query (only traced)

// Offsets inside one RVZ_BUFF_INFO element (and, for the list part, inside
// one entry of the setting list).
namespace at {
constexpr size_t kGroupNum = 1;       // list part: the buffer group number
constexpr size_t kBuffStat = 2;       //   buffer status
constexpr size_t kColumn3 = 4;        //   list column 3, 16 bits
constexpr size_t kUse = 8;            //   use, 16 bits
constexpr size_t kInterval = 10;      //   forwarding interval, 16 bits
constexpr size_t kWatchTime = 12;     //   monitoring time
constexpr size_t kBuffSize = 16;      //   buffer size
constexpr size_t kRemoteBoxID = 24;   //   remote BoxID, 40 bytes
constexpr size_t kUsageGroup = 65;    // usage part: the group number again
constexpr size_t kSessCnt = 66;       //   sessions using the buffer, 16 bits
constexpr size_t kCmCnt = 70;         //   controller-module rows, 16 bits
constexpr size_t kTotalSize = 72;     //   total, used and free size
constexpr size_t kTotalUse = 76;
constexpr size_t kTotalSpace = 80;
constexpr size_t kDiskGroup = 96;     // disk part: the group number
constexpr size_t kDiskStat = 97;      //   disk-buffer status
constexpr size_t kRluCnt = 112;       //   RLU numbers that follow, 8 bits
constexpr size_t kRlun = 116;         //   16 RLU numbers, 16 bits each
constexpr size_t kDetail0 = 148;      //   detail column 0, 16 bits
constexpr size_t kDiskCmCnt = 160;    //   the entry's module rows, 16 bits
constexpr size_t kElapsTime = 164;    //   elapsed time
constexpr size_t kDiskSize = 168;     //   disk-buffer, stored and free size, 64 bits
constexpr size_t kDiskStrg = 176;
constexpr size_t kDiskFree = 184;
constexpr size_t kSlots = 192;        // controller-module slots of 64 bytes
constexpr size_t kSlotLen = 64;
constexpr size_t kCmId = 0;           // slot: usage row
constexpr size_t kCmSize = 4;
constexpr size_t kCmUse = 8;
constexpr size_t kCmFree = 12;
constexpr size_t kDiskCmId = 32;      // slot: disk controller-module row
constexpr size_t kDiskCmSize = 40;
constexpr size_t kDiskCmStrg = 48;
constexpr size_t kDiskCmFree = 56;
}  // namespace at

void Put8(unsigned char *p, uint32_t v) { *p = static_cast<unsigned char>(v); }
void Put16(unsigned char *p, uint32_t v) { ShiftAnytoB(&v, 4, 2, p); }
void Put32(unsigned char *p, uint32_t v) { ShiftAnytoB(&v, 4, 4, p); }
void Put64(unsigned char *p, uint32_t high, uint32_t low) {
    Put32(p, high);
    Put32(p + 4, low);
}

// The copy-function record of the common data.
CliCopyFunctions CommonFunctions() {
    CliCopyFunctions functions;
    std::memset(&functions, 0, sizeof functions);
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    return functions;
}

// The low byte of the RVZ buffer detail flags: RVZ_BUFF_INFO's SupptFunc.
uint8_t SupptFunc(const CliCopyFunctions &functions) {
    return static_cast<uint8_t>(functions.uiRvzBuffFlags & 0xFF);
}

bool HasRvzBuffers() {
    return CopyFunctions().Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS);
}

// The head shared by the information record and the setting list.
void PutHead(unsigned char *head, const CliRvzBufferList &list, uint32_t count, uint8_t suppt) {
    Put16(head, list.uiMaxBuffCnt);
    Put16(head + 2, count);
    head[7] = suppt;
}

// The list part of an element (bytes 0-63) from one row; the group number
// is written by the caller.
void PutListPart(unsigned char *e, const CliRvzBufferRow &row) {
    Put8(e + at::kBuffStat, row.ucStatus);
    Put16(e + at::kColumn3, row.uiColumn3);
    Put16(e + at::kUse, row.uiUse);
    Put16(e + at::kInterval, row.uiInterval);
    Put32(e + at::kWatchTime, row.uiWatchTime);
    Put32(e + at::kBuffSize, row.uiSize);
    std::memcpy(e + at::kRemoteBoxID, row.caRemoteBoxID, ZRK_BOXID_LEN);
}

// The usage part and the first half of the buffer's own slots.
void PutUsage(unsigned char *e, const CliRvzBufferRow &row, const CliRvzBufferUsage &usage) {
    Put8(e + at::kUsageGroup, row.uiGroupNum);
    Put16(e + at::kSessCnt, usage.uiSessCnt);
    Put16(e + at::kCmCnt, usage.uiCmCnt);
    Put32(e + at::kTotalSize, usage.uiTotalSize);
    Put32(e + at::kTotalUse, usage.uiTotalUseSize);
    Put32(e + at::kTotalSpace, usage.uiTotalSpaceSize);
    for (uint32_t j = 0; j < usage.uiCmCnt && j < IP_RVZ_USAGE_ROWS; ++j) {
        unsigned char *slot = e + at::kSlots + at::kSlotLen * j;
        const CliRvzCmUsage &cm = usage.rows[j];
        Put16(slot + at::kCmId, cm.uiCmID);
        Put32(slot + at::kCmSize, cm.uiBuffSize);
        Put32(slot + at::kCmUse, cm.uiBuffUseSize);
        Put32(slot + at::kCmFree, cm.uiBuffFreeSize);
    }
}

// The disk part of an element and the second half of the slots of the
// buffer's own usage rows (cmCount of them), each by its module number.
void PutDisk(unsigned char *e, const CliRvzDiskBufferEntry &entry, const CliRvzBufferUsage &usage) {
    Put8(e + at::kDiskGroup, entry.uiGroupNum);
    Put8(e + at::kDiskStat, entry.uiStatus);
    Put8(e + at::kRluCnt, entry.uiRluCnt);
    for (size_t v = 0; v < IP_RVZ_DISK_RLUS; ++v) Put16(e + at::kRlun + 2 * v, entry.uiaRlun[v]);
    Put16(e + at::kDetail0, entry.uiDetail0);
    Put16(e + at::kDiskCmCnt, entry.uiCmCnt);
    Put32(e + at::kElapsTime, entry.uiElapsTime);
    Put64(e + at::kDiskSize, entry.uiDskBuffSize_high, entry.uiDskBuffSize_low);
    Put64(e + at::kDiskStrg, entry.uiDskBuffStrgSize_high, entry.uiDskBuffStrgSize_low);
    Put64(e + at::kDiskFree, entry.uiDskBuffFreeSize_high, entry.uiDskBuffFreeSize_low);
    for (uint32_t j = 0; j < usage.uiCmCnt && j < IP_RVZ_USAGE_ROWS; ++j) {
        unsigned char *slot = e + at::kSlots + at::kSlotLen * j;
        CliRvzDiskCm cm;
        if (IPSearchDiskBuffCmInfo(usage.rows[j].uiCmID, &cm, &entry) != 0) continue;
        Put16(slot + at::kDiskCmId, cm.uiCmID);
        Put64(slot + at::kDiskCmSize, cm.uiDskBuffSize_high, cm.uiDskBuffSize_low);
        Put64(slot + at::kDiskCmStrg, cm.uiDskBuffStrgSize_high, cm.uiDskBuffStrgSize_low);
        Put64(slot + at::kDiskCmFree, cm.uiDskBuffFreeSize_high, cm.uiDskBuffFreeSize_low);
    }
}

// Whether box (40 bytes) is the remote array of one of the array's RVZ
// paths: 1 yes, 0 no, -1 with ZRKerrno when the paths cannot be read
// (ZRK_ERR_NOT_SUPPORT for an array without RVZ).
int RvzPathPartner(const char *ip, const char *user, const unsigned char *box) {
    if (!CopyFunctions().Has(ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND)) {
        return FailWith(ZRK_ERR_NOT_SUPPORT);
    }
    std::unique_ptr<char[]> boxIds(new (std::nothrow)
                                       char[static_cast<size_t>(IP_RVZ_PATH_ROOM) * ZRK_BOXID_LEN]);
    if (!boxIds) return FailWith(ZRK_ERR_NO_MEMORY);
    int count = 0;
    if (ShowRvzPath(ip, user, &count, boxIds.get(), IP_RVZ_PATH_ROOM) != 0) return -1;
    for (int i = 0; i < count; ++i) {
        if (std::memcmp(boxIds.get() + static_cast<size_t>(i) * ZRK_BOXID_LEN, box,
                        ZRK_BOXID_LEN) == 0) {
            return 1;
        }
    }
    return 0;
}

}  // namespace

// ---- searches -----------------------------------------------------------------------

extern "C" int IPSearchDiskBuffInfo(uint8_t GroupNum, CliRvzDiskBufferEntry *Entry,
                                    const CliRvzDiskBuffer *DiskBuffer) {
    static const char kName[] = "IPSearchDiskBuffInfo";
    TraceText(3, "INFO", kName, "GroupNum=[%d]", GroupNum);
    if (Entry == nullptr || DiskBuffer == nullptr) return -1;
    for (uint32_t k = 0; k < DiskBuffer->uiEntryCnt && k < IP_RVZ_DISK_ENTRIES; ++k) {
        if (DiskBuffer->entries[k].uiGroupNum == GroupNum) {
            *Entry = DiskBuffer->entries[k];
            return 0;
        }
    }
    return -1;
}

extern "C" int IPSearchDiskBuffCmInfo(uint32_t CmId, CliRvzDiskCm *Row,
                                      const CliRvzDiskBufferEntry *Entry) {
    static const char kName[] = "IPSearchDiskBuffCmInfo";
    TraceText(3, "INFO", kName, "CmId=[%d]", static_cast<int>(CmId));
    if (Row == nullptr || Entry == nullptr) return -1;
    for (uint32_t m = 0; m < Entry->uiCmCnt && m < IP_RVZ_DISK_MODULES; ++m) {
        if (Entry->cms[m].uiCmID == CmId) {
            *Row = Entry->cms[m];
            return 0;
        }
    }
    return -1;
}

// ---- the information record -----------------------------------------------------------

extern "C" int IPGetRVZBuffInfoAll(const char *ip, const char *user, uint32_t OptionFlag,
                                   RVZ_BUFF_INFO *RvzBuffInfo) {
    static const char kName[] = "IPGetRVZBuffInfoAll";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (RvzBuffInfo == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    if (!HasRvzBuffers()) return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    const uint8_t suppt = SupptFunc(CommonFunctions());

    // The record, the list, one usage and the disk buffers: about 27 KiB.
    struct Work {
        RVZ_BUFF_INFO info;
        CliRvzBufferList list;
        CliRvzBufferUsage usage[IP_RVZ_LIST_ROWS];
        CliRvzDiskBuffer disk;
    };
    std::unique_ptr<Work> work(new (std::nothrow) Work());
    if (!work) return TraceEnd(1, kName, FailWith(ZRK_ERR_NO_MEMORY));
    RVZ_BUFF_INFO &info = work->info;
    const CliRvzBufferList &list = work->list;

    if (ShowRvzBuffer(ip, user, &work->list, IP_RVZ_LIST_ROWS) != 0) return TraceEnd(1, kName, -1);
    const uint32_t buffers = list.uiRowCnt < IP_RVZ_LIST_ROWS ? list.uiRowCnt : IP_RVZ_LIST_ROWS;
    PutHead(info.ucaHead, list, buffers, suppt);

    for (uint32_t k = 0; k < buffers; ++k) {
        unsigned char *e = info.Buff[k].ucaEntry;
        const CliRvzBufferRow &row = list.rows[k];
        Put8(e + at::kGroupNum, row.uiGroupNum);
        PutListPart(e, row);
    }
    // Each buffer's usage, read with its own group number and kept for the
    // slots of its own controller modules.
    for (uint32_t k = 0; k < buffers; ++k) {
        const CliRvzBufferRow &row = list.rows[k];
        if (ShowRvzBufferUsage(ip, user, static_cast<int>(row.uiGroupNum), kUsageOption,
                               &work->usage[k], 1) != 0) {
            return TraceEnd(1, kName, -1);
        }
        PutUsage(info.Buff[k].ucaEntry, row, work->usage[k]);
    }

    if ((suppt & IP_RVZ_SUPPT_DISK) != 0) {
        if (ShowRvzDiskBuffer(ip, user, &work->disk, 1) != 0) return TraceEnd(1, kName, -1);
        for (uint32_t k = 0; k < buffers; ++k) {
            unsigned char *e = info.Buff[k].ucaEntry;
            CliRvzDiskBufferEntry entry;
            if (IPSearchDiskBuffInfo(e[at::kGroupNum], &entry, &work->disk) != 0) continue;
            PutDisk(e, entry, work->usage[k]);
        }
    }
    *RvzBuffInfo = info;
    return TraceEnd(1, kName, 0);
}

extern "C" int ZRKIPGetRVZBuffInfo(const char *ip, const char *user, uint32_t OptionFlag,
                                   RVZ_BUFF_INFO *RvzBuffInfo, unsigned char *SenseData) {
    CallFrame frame(kGetRvzBuffInfoId, "ZRKIPGetRVZBuffInfo", SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), OptionFlag);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (RvzBuffInfo == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    if (IPComInfoCheckSet(ip, user, OptionFlag, 0, IP_REFRESH_BOXID | IP_REFRESH_FUNCS) != 0 ||
        IPGetRVZBuffInfoAll(ip, user, OptionFlag, RvzBuffInfo) != 0) {
        frame.SenseAgain();
        return frame.Finish(-1);
    }
    frame.Dump(3, RvzBuffInfo, static_cast<int>(sizeof *RvzBuffInfo));
    return frame.Finish(0);
}

// ---- the setting ---------------------------------------------------------------------

extern "C" int IPRVZBuffInfo(const char *ip, const char *user, unsigned char *List,
                             size_t room) {
    static const char kName[] = "IPRVZBuffInfo";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "IPaddress=[%s]", Shown(ip));
    if (List == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    if (!HasRvzBuffers()) return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    CliRvzBufferList list;
    std::memset(&list, 0, sizeof list);
    if (ShowRvzBuffer(ip, user, &list, IP_RVZ_LIST_ROWS) != 0) return TraceEnd(1, kName, -1);
    uint32_t count = list.uiRowCnt < IP_RVZ_LIST_ROWS ? list.uiRowCnt : IP_RVZ_LIST_ROWS;
    if (count > room) count = static_cast<uint32_t>(room);
    const size_t length = IP_RVZ_INFO_HEAD_LEN + IP_RVZ_SET_ENTRY_LEN * static_cast<size_t>(count);
    std::memset(List, 0, length);
    PutHead(List, list, count, SupptFunc(CommonFunctions()));
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char *e = List + IP_RVZ_INFO_HEAD_LEN + IP_RVZ_SET_ENTRY_LEN * i;
        Put16(e, list.rows[i].uiGroupNum);
        PutListPart(e, list.rows[i]);
    }
    TraceData(3, kName, List, static_cast<int>(length));
    return TraceEnd(1, kName, 0);
}

extern "C" int IPRVZBuffSet(const char *ip, const char *user, const RVZ_BUFF_SET_REQ *Request) {
    static const char kName[] = "IPRVZBuffSet";
    TraceText(1, "INFO", kName, "START");
    TraceText(3, "INFO", kName, "IPaddress=[%s]", Shown(ip));
    if (Request == nullptr) return TraceEnd(1, kName, FailWith(ZRK_ERR_PARAMETER));
    if (!HasRvzBuffers()) return TraceEnd(1, kName, FailWith(ZRK_ERR_NOT_SUPPORT));
    CliRvzBufferSetting setting;
    std::memset(&setting, 0, sizeof setting);
    setting.iPartition = Request->uhBuffID;
    setting.iBuffType = Request->uhBuffType;
    setting.iForwardInterval = Request->uhInterval;
    setting.iMonitorTime = static_cast<int32_t>(Request->uiMonitorTime);
    std::memcpy(setting.caRemoteBoxID, Request->ucaRemoteBoxID, ZRK_BOXID_LEN);
    const int ret = SetRvzBuffer(ip, user, setting);
    // The array may hold the new setting even when its answer failed.
    ForgetRvzBufferList(ip);
    return TraceEnd(1, kName, ret);
}

extern "C" int ZRKIPRVZBuffSet(const char *ip, const char *user,
                               const RVZ_BUFF_SET_REQ *RvzBuffSetReq, unsigned char *SenseData) {
    CallFrame frame(kRvzBuffSetId, "ZRKIPRVZBuffSet", SenseData);
    frame.Info(2, "cpIPaddress=[%s] OptionFlag=0x%02x", Shown(ip), 0u);
    if (frame.CheckRoot() != 0) return frame.Finish(-1);
    if (RvzBuffSetReq == nullptr) return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    // A BoxID the command text cannot carry goes nowhere.
    std::string boxText;
    if (!BoxIdText(reinterpret_cast<const char *>(RvzBuffSetReq->ucaRemoteBoxID), &boxText)) {
        return frame.Finish(FailWith(ZRK_ERR_PARAMETER));
    }
    auto failed = [&]() {
        frame.SenseAgain();
        return frame.Finish(-1);
    };
    if (IPComInfoCheckSet(ip, user, 0, 0, kRefreshAll) != 0) return failed();

    // The array's maximum buffer count, as the prologue just stored it.
    uint32_t maxBuffers = 0;
    IPCtrlCommonData(IP_COMMON_RVZCNT_GET, &maxBuffers);
    if (maxBuffers == 0) {
        FailWith(ZRK_ERR_NOT_SUPPORT);
        return failed();
    }
    const size_t room = maxBuffers < IP_RVZ_LIST_ROWS ? maxBuffers : IP_RVZ_LIST_ROWS;
    unsigned char list[IP_RVZ_INFO_HEAD_LEN + IP_RVZ_SET_ENTRY_LEN * IP_RVZ_LIST_ROWS] = {};
    if (IPRVZBuffInfo(ip, user, list, room) != 0) return failed();

    // The buffer must be listed.
    const uint32_t listed = static_cast<uint32_t>(list[2]) << 8 | list[3];
    bool found = false;
    for (uint32_t i = 0; i < listed && !found; ++i) {
        const unsigned char *e = list + IP_RVZ_INFO_HEAD_LEN + IP_RVZ_SET_ENTRY_LEN * i;
        found = (static_cast<uint32_t>(e[0]) << 8 | e[1]) == RvzBuffSetReq->uhBuffID;
    }
    if (!found) {
        FailWith(ZRK_ERR_PARAMETER);
        return failed();
    }
    if (RvzBuffSetReq->uhBuffType != IP_RVZ_BUFF_SEND &&
        RvzBuffSetReq->uhBuffType != IP_RVZ_BUFF_RECEIVE) {
        FailWith(ZRK_ERR_PARAMETER);
        return failed();
    }
    // The remote array must be at the other end of one of the array's RVZ
    // paths.
    const int partner = RvzPathPartner(ip, user, RvzBuffSetReq->ucaRemoteBoxID);
    if (partner < 0) return failed();
    if (partner == 0) {
        FailWith(ZRK_ERR_BOXID);
        return failed();
    }
    if (IPRVZBuffSet(ip, user, RvzBuffSetReq) != 0) return failed();
    return frame.Finish(0);
}
