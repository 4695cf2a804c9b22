// Facts of a device and the status of the array's logical units (OLUs): the
// device information of three kinds (standard INQUIRY data, the array's box
// information, the copy-function support page), the status records of a
// range of OLUs read page by page, and the copy protection of one OLU.
//
// The OLU status list is read in pages of at most 512 records, each page
// naming the OLU at which the next one starts. Nothing a page says is taken
// on trust: its record count is cut to what the page holds, only records of
// OLUs inside the asked range are stored, never more than the caller's area
// holds, and the walk ends when a page names a next OLU that does not lie
// beyond the one it was read from.
#include "zrkcmd.h"
#include "zrkframe.h"
#include "zrklist.h"

#include <cstring>

namespace {

using zrk::ApiCall;
using zrk::Be16;
using zrk::kOluLimit;
using zrkplatform::FailWith;
using zrkplatform::LogErr;
using zrkplatform::LogIn;
using zrkplatform::LogOk;
using zrkplatform::LogText;

// ---- vital product data and INQUIRY --------------------------------------------------------

constexpr unsigned char kVpdSupport = 0xF0; // copy-function support page
constexpr unsigned char kVpdBox = 0xF2;     // box information page
constexpr int kVpdSupportLen = 64;
constexpr int kVpdBoxLen = 96;
constexpr int kVpdHead = 4;                 // page code and length before the page's data
constexpr int kInqSupportByte = 26;         // first INQUIRY support byte of page 0xF0
constexpr int kStdInquiryLen = 96;
constexpr int kStdInquiryFrom = 8;          // the vendor identification

static_assert(kVpdSupportLen - kVpdHead == ZRK_DEVICE_INFO_SUPPORT_LEN);
static_assert(kVpdBoxLen - kVpdHead == ZRK_DEVICE_INFO_BOX_LEN);
static_assert(kStdInquiryLen - kStdInquiryFrom == ZRK_DEVICE_INFO_INQUIRY_LEN);

// Reads vital product data page `page` (length bytes) into out; a page the
// device does not list is ZRK_ERR_NOT_SUPPORT.
int ReadListedPage(const char *volume, unsigned char page, int length, unsigned char *out) {
    switch (GetVPDInfo(volume, page, length, out)) {
    case ZRK_VPD_DONE: return 0;
    case ZRK_VPD_ABSENT: return FailWith(ZRK_ERR_NOT_SUPPORT);
    default: return -1;
    }
}

// Page 0xF0 into page (kVpdSupportLen bytes).
int ReadSupportPage(const char *volume, unsigned char *page) {
    static const char kName[] = "GetInqSupportPage";
    LogIn(1, kName, volume, __LINE__);
    if (ReadListedPage(volume, kVpdSupport, kVpdSupportLen, page) != 0)
        return LogErr(1, kName, volume, __LINE__);
    return LogOk(1, kName, volume, __LINE__);
}

// The array's box information: bytes 4-95 of page 0xF2, read only when page
// 0xF0 announces it.
int GetInqBoxInfo(const char *volume, unsigned char *out) {
    static const char kName[] = "GetInqBoxInfo";
    LogIn(1, kName, volume, __LINE__);
    unsigned char support[kVpdSupportLen] = {};
    if (ReadListedPage(volume, kVpdSupport, sizeof support, support) != 0)
        return LogErr(1, kName, volume, __LINE__);
    if ((support[kInqSupportByte] & ZRK_INQ_BOX_INFO) == 0) {
        FailWith(ZRK_ERR_NOT_SUPPORT);
        return LogErr(1, kName, volume, __LINE__);
    }
    unsigned char box[kVpdBoxLen] = {};
    if (ReadListedPage(volume, kVpdBox, sizeof box, box) != 0)
        return LogErr(1, kName, volume, __LINE__);
    std::memcpy(out, box + kVpdHead, ZRK_DEVICE_INFO_BOX_LEN);
    return LogOk(1, kName, volume, __LINE__);
}

// The standard INQUIRY data from the vendor identification on.
int GetLogicalUnitInfo(const char *volume, unsigned char *out) {
    static const char kName[] = "GetLogicalUnitInfo";
    LogIn(1, kName, volume, __LINE__);
    unsigned char data[kStdInquiryLen] = {};
    unsigned char cdb[6] = {0x12, 0x00, 0x00, 0x00, kStdInquiryLen, 0x00};
    if (DoScsi(volume, 0, cdb, sizeof cdb, data, sizeof data) != 0)
        return LogErr(1, kName, volume, __LINE__);
    std::memcpy(out, data + kStdInquiryFrom, ZRK_DEVICE_INFO_INQUIRY_LEN);
    return LogOk(1, kName, volume, __LINE__);
}

// ---- the OLU status list -------------------------------------------------------------------

constexpr unsigned char kPageOluList = 0x33;
constexpr int kPageHead = 8;                          // header of every TRAVO IN page
constexpr size_t kPageRecordsMax = 512;
constexpr size_t kPageCount = 0;                      // 2 bytes: records in this page
constexpr size_t kPageNextOlu = 4;                    // 2 bytes: next page's OLU, 0 none
constexpr size_t kPageRecords = 8;                    // the records
constexpr size_t kPageRecordLen = kPageRecords + ZRK_OLU_STATUS_LEN * kPageRecordsMax; // 28680
constexpr int kPageReplyLen = kPageHead + static_cast<int>(kPageRecordLen);           // 28688
constexpr int kPagesMax = 128;

// The merge of a page says whether the walk goes on.
constexpr int kListComplete = 0;
constexpr int kListGoOn = 1;

// One page 0x33 from startOlu (2 bytes) on into reply (kPageReplyLen bytes):
// the page header, then the kPageRecordLen bytes that the merge reads.
int TravoIn_getolustatuslist(const char *volume, const unsigned char *startOlu,
                             unsigned char *reply) {
    static const char kName[] = "TravoIn_getolustatuslist";
    LogIn(1, kName, volume, __LINE__);
    WriteLog(8, nullptr, 0, "ucaStartOlu=[0x%02x%02x]", startOlu[0], startOlu[1]);
    if (EXECTRAVOIN(volume, 0x01, kPageOluList, startOlu, reply, kPageReplyLen) != 0)
        return LogErr(1, kName, volume, __LINE__);
    return LogOk(1, kName, volume, __LINE__);
}

// Appends the records of one page (kPageRecordLen bytes) whose OLUs lie in
// startOlu..endOlu, each beyond the one stored before it, to list, which has
// room for `capacity` records; bytes 0-3 of the list carry the count after
// every append. The page's count is cut to the records a page holds. A
// record above endOlu, the record of endOlu and a full list complete the
// list; a page that runs out goes on.
int SetOLUStatusList_forOnce(uint32_t startOlu, uint32_t endOlu, const unsigned char *page,
                             unsigned char *list, uint32_t capacity) {
    size_t records = Be16(page + kPageCount);
    if (records > kPageRecordsMax) {
        WriteLog(2, nullptr, 0, "OLU status page announces %zu records, %zu read", records,
                 kPageRecordsMax);
        records = kPageRecordsMax;
    }
    uint32_t count = zrk::Be32(list);
    // The records come in rising OLU order, across pages too: one that does
    // not lie beyond the last stored is not stored again.
    bool stored = count != 0;
    uint32_t last = stored ? Be16(list + ZRK_OLU_STATUS_LIST_HEAD +
                                  size_t{count - 1} * ZRK_OLU_STATUS_LEN)
                           : 0;
    for (size_t i = 0; i < records; ++i) {
        const unsigned char *record = page + kPageRecords + i * ZRK_OLU_STATUS_LEN;
        const uint32_t olu = Be16(record);
        if (olu < startOlu || (stored && olu <= last)) continue;
        if (olu > endOlu) return kListComplete;
        std::memcpy(list + ZRK_OLU_STATUS_LIST_HEAD + size_t{count} * ZRK_OLU_STATUS_LEN, record,
                    ZRK_OLU_STATUS_LEN);
        ++count;
        zrk::PutBe32(list, count);
        stored = true;
        last = olu;
        if (olu == endOlu || count >= capacity) return kListComplete;
    }
    return kListGoOn;
}

int GetOLUStatusList(const char *volume, uint32_t startOlu, uint32_t endOlu, unsigned char *list) {
    static const char kName[] = "GetOLUStatusList";
    LogIn(1, kName, volume, __LINE__);
    if (CommCheckSet(volume, 0, 0) != 0) return LogErr(1, kName, volume, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    CtrlSupportData(support, ZRK_STORE_READ);
    if (!zrk_support_olu_status(support)) {
        FailWith(ZRK_ERR_NOT_SUPPORT);
        return LogErr(1, kName, volume, __LINE__);
    }
    std::memset(list, 0, ZRK_OLU_STATUS_LIST_HEAD);
    zrk::Buffer reply = zrk::AllocateZeroed(kPageReplyLen);
    if (!reply) return LogErr(1, kName, volume, __LINE__);
    const unsigned char *page = reply.get() + kPageHead;
    const uint32_t capacity = endOlu - startOlu + 1;

    uint32_t from = startOlu;
    for (int read = 0; read < kPagesMax; ++read) {
        unsigned char fromBytes[2];
        zrk::PutBe16(fromBytes, static_cast<uint16_t>(from));
        if (TravoIn_getolustatuslist(volume, fromBytes, reply.get()) != 0)
            return LogErr(1, kName, volume, __LINE__);
        if (SetOLUStatusList_forOnce(startOlu, endOlu, page, list, capacity) == kListComplete)
            break;
        const uint32_t next = Be16(page + kPageNextOlu);
        // A next page that does not lie beyond this one would be read again
        // and again.
        if (next == 0 || next > endOlu || next <= from) break;
        from = next;
    }
    return LogOk(1, kName, volume, __LINE__);
}

// ---- the copy protection of one OLU ----------------------------------------------------------

constexpr unsigned char kListSetOluStatus = 0x33;
constexpr int kSetOluListLen = 16;
constexpr unsigned char kOluSnapData = 0x01;          // byte 4 of OLU_STATUS: a snap data volume
constexpr size_t kOluStatusKind = 4;

int SetOLUStatus(const char *volume, uint32_t olu, const unsigned char *status) {
    static const char kName[] = "SetOLUStatus";
    LogIn(1, kName, volume, __LINE__);
    if (CommCheckSet(volume, 0, 0) != 0) return LogErr(1, kName, volume, __LINE__);
    if (ZRKstorage_cluster != ZRK_ROLE_NONE) {
        FailWith(ZRK_ERR_CLUSTER);
        return LogErr(1, kName, volume, __LINE__);
    }
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    CtrlSupportData(support, ZRK_STORE_READ);
    if (!zrk_support_olu_status(support)) {
        FailWith(ZRK_ERR_NOT_SUPPORT);
        return LogErr(1, kName, volume, __LINE__);
    }
    unsigned char oluBytes[2];
    zrk::PutBe16(oluBytes, static_cast<uint16_t>(olu));
    unsigned char current[ZRK_OLU_STATUS_LEN] = {};
    if (GETOLUSTATUSINFO(volume, oluBytes, current) != 0) return LogErr(1, kName, volume, __LINE__);
    if ((current[kOluStatusKind] & kOluSnapData) != 0) {
        // A snap data volume is never protected: removing is done already.
        if (status[0] != 0) {
            FailWith(ZRK_ERR_SDV_PROTECT);
            return LogErr(1, kName, volume, __LINE__);
        }
        return LogOk(1, kName, volume, __LINE__);
    }
    unsigned char list[kSetOluListLen] = {};
    list[0] = kListSetOluStatus;
    list[7] = kSetOluListLen - 8;
    std::memcpy(list + 8, oluBytes, sizeof oluBytes);
    list[10] = status[0];
    if (ExecTravoOut(volume, list, sizeof list) != 0) {
        if (ZRKerrno == ZRK_ERR_CLUSTER) FailWith(ZRK_ERR_CLUSTER_PROTECT);
        return LogErr(1, kName, volume, __LINE__);
    }
    return LogOk(1, kName, volume, __LINE__);
}

// The opening of the four functions: root, then the arguments (checked
// before the volume), then the volume (its pseudo sense copied).
int Opening(ApiCall &call, const char *volume, int argumentError) {
    if (zrk::RootCheck() != 0) return call.RejectAt(__LINE__);
    if (argumentError != ZRK_ERR_NONE) {
        FailWith(argumentError);
        return call.RejectAt(__LINE__);
    }
    if (CheckLogicalVol(volume) != 0) return call.FailAt(__LINE__);
    return 0;
}

} // namespace

extern "C" int ZRKGetDeviceInfo(const char *LogicalVol, int InfoType, unsigned char *Info,
                                unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKGetDeviceInfo";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    WriteLog(8, nullptr, 0, "%s()  cpLogicalVol=[%s] iInfoType=[%d]", kName, LogText(LogicalVol),
             InfoType);
    if (Opening(call, LogicalVol, Info == nullptr ? ZRK_ERR_PARAMETER : ZRK_ERR_NONE) != 0)
        return -1;
    switch (InfoType) {
    case ZRK_DEVICE_INFO_INQUIRY:
        if (GetLogicalUnitInfo(LogicalVol, Info) != 0) return call.FailAt(__LINE__);
        return call.Done(__LINE__, 0, Info, ZRK_DEVICE_INFO_INQUIRY_LEN);
    case ZRK_DEVICE_INFO_BOX:
        if (GetInqBoxInfo(LogicalVol, Info) != 0) return call.FailAt(__LINE__);
        return call.Done(__LINE__, 0, Info, ZRK_DEVICE_INFO_BOX_LEN);
    case ZRK_DEVICE_INFO_SUPPORT: {
        unsigned char page[kVpdSupportLen] = {};
        if (ReadSupportPage(LogicalVol, page) != 0) return call.FailAt(__LINE__);
        std::memcpy(Info, page + kVpdHead, ZRK_DEVICE_INFO_SUPPORT_LEN);
        return call.Done(__LINE__, 0, Info, ZRK_DEVICE_INFO_SUPPORT_LEN);
    }
    default:
        FailWith(ZRK_ERR_PARAMETER);
        return call.FailAt(__LINE__);
    }
}

extern "C" int ZRKGetLogicalUnitInfo(const char *LogicalVol, unsigned char *Info,
                                     unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKGetLogicalUnitInfo";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    WriteLog(8, nullptr, 0, "%s()  cpLogicalVol=[%s]", kName, LogText(LogicalVol));
    if (Opening(call, LogicalVol, Info == nullptr ? ZRK_ERR_PARAMETER : ZRK_ERR_NONE) != 0)
        return -1;
    if (GetLogicalUnitInfo(LogicalVol, Info) != 0) return call.FailAt(__LINE__);
    return call.Done(__LINE__, 0, Info, ZRK_DEVICE_INFO_INQUIRY_LEN);
}

extern "C" int ZRKGetOLUStatusList(const char *LogicalVol, uint32_t StartOlu, uint32_t EndOlu,
                                   unsigned char *List, unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKGetOLUStatusList";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    WriteLog(8, nullptr, 0, "%s()  cpLogicalVol=[%s] uiStartOlu=[0x%04x] uiEndOlu=[0x%04x]",
             kName, LogText(LogicalVol), StartOlu, EndOlu);
    int argumentError = ZRK_ERR_NONE;
    if (StartOlu >= kOluLimit || EndOlu >= kOluLimit) {
        argumentError = ZRK_ERR_OLU;
    } else if (EndOlu < StartOlu || List == nullptr) {
        argumentError = ZRK_ERR_PARAMETER;
    }
    if (Opening(call, LogicalVol, argumentError) != 0) return -1;
    if (GetOLUStatusList(LogicalVol, StartOlu, EndOlu, List) != 0) return call.FailAt(__LINE__);
    return call.Done(__LINE__, 0, List, ZRK_OLU_STATUS_LIST_HEAD);
}

extern "C" int ZRKSetOLUStatus(const char *LogicalVol, uint32_t Olu, const unsigned char *Status,
                               unsigned char *SenseData) {
    static constexpr char kName[] = "ZRKSetOLUStatus";
    ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    WriteLog(8, Status, Status != nullptr ? 2 : 0, "%s()  cpLogicalVol=[%s] uiOlu=[0x%04x] Status",
             kName, LogText(LogicalVol), Olu);
    int argumentError = ZRK_ERR_NONE;
    if (Olu >= kOluLimit) {
        argumentError = ZRK_ERR_OLU;
    } else if (Status == nullptr || Status[0] > 1 || Status[1] != 0) {
        argumentError = ZRK_ERR_PARAMETER;
    }
    if (Opening(call, LogicalVol, argumentError) != 0) return -1;
    if (SetOLUStatus(LogicalVol, Olu, Status) != 0) return call.FailAt(__LINE__);
    return call.Done(__LINE__);
}
