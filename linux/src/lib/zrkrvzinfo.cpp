// Everything the array reports about its RVZ buffers (ZRKGetRVZBuffInfo), the
// array's copy priority settings (ZRKGetCopyPriority, ZRKSetCopyPriority) and
// the light volume information (ZRKLVGetVolumeInfoLite and its Ex form).
//
// The replies are walked only as far as they reach and as far as the record
// holds: a count the array claims beyond either is cut there.
#include "zrkcmulti.h"
#include "zrkframe.h"
#include "zrktvc.h"

#include <algorithm>
#include <cstring>

namespace {

using zrk::Be16;
using zrkplatform::FailWith;

constexpr unsigned char kPageBuffDetail = 0x23; // one buffer's detail, by identifier
constexpr unsigned char kPageBuffUsage = 0x24;  // every buffer's usage
constexpr unsigned char kPageCopyPriority = 0x35; // copy priority settings (read and set)

constexpr size_t kBuffListHead = 16;      // page 0x21: entries from byte 16
constexpr size_t kBuffEntries = 8;        // at most 8 buffers
constexpr size_t kBuffListLen = kBuffListHead + kBuffEntries * ZRK_RVZ_BUFF_ENTRY_LEN; // 528
constexpr size_t kBuffDetailLen = 1064;   // page 0x23
constexpr size_t kBuffDetailCms = 40;     // page 0x23: module records from byte 40
constexpr size_t kCmSlots = 32;           // module slots of a buffer
constexpr size_t kUsageShortLen = 4880;   // page 0x24, short form
constexpr size_t kUsageLongLen = 8976;    // page 0x24, long form
constexpr size_t kUsageHead = 16;         // page 0x24: buffer records from byte 16
constexpr size_t kUsageShortRecord = 608; // one short buffer record
constexpr size_t kUsageShortCms = 96;     // short record: module records from byte 96
constexpr size_t kUsageShortCmMax = 16;   // at most 16 modules in a short record
constexpr size_t kCmRecordLen = 32;       // one module record

constexpr unsigned char kOfferDetail = 0x01; // head byte 7: page 0x23
constexpr unsigned char kOfferUsage = 0x02;  // page 0x24
constexpr unsigned char kOfferLong = 0x04;   // page 0x24 in the long form

constexpr unsigned char kPriorityReadMode = 0x09; // mode 1 in the large CDB form
constexpr size_t kPriorityReplyLen = 1040;
constexpr size_t kPriorityEntries = 16;
constexpr size_t kPriorityListLen = 128;

constexpr unsigned char kCapLevel = 0x80;   // levels 3 and 4 ...
constexpr unsigned char kCapLevelToo = 0x10; // ... need both of these
constexpr unsigned char kCapSwitch = 0x40;  // a switch may change
constexpr unsigned char kCapPartner = 0x20; // partner settings

constexpr int kLiteCaller = 0x46;   // trace caller of the light volume information
constexpr int kLiteExCaller = 0x47; // and of its Ex form
constexpr int kTraceLevel = 1;

// The first record among the short page 0x24's buffer records whose byte 0
// is buffId; only records that the reply holds and at most 8.
int SearchBuffInfo24(const unsigned char *reply, size_t replyLength, unsigned char buffId,
                     unsigned char *record) {
    if (replyLength < kUsageHead) return -1;
    const size_t fits = (replyLength - kUsageHead) / kUsageShortRecord;
    const size_t count = std::min({static_cast<size_t>(Be16(reply + 10)), fits, kBuffEntries});
    for (size_t i = 0; i < count; ++i) {
        const unsigned char *r = reply + kUsageHead + i * kUsageShortRecord;
        if (r[0] == buffId) {
            std::memcpy(record, r, kUsageShortRecord);
            return 0;
        }
    }
    return -1;
}

// The first module record of a short buffer record whose bytes 0-1 are cmId;
// at most 16.
int SearchCmInfo24(const unsigned char *buffRecord, const unsigned char *cmId,
                   unsigned char *record) {
    const size_t count = std::min<size_t>(Be16(buffRecord + 64), kUsageShortCmMax);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char *r = buffRecord + kUsageShortCms + i * kCmRecordLen;
        if (std::memcmp(r, cmId, 2) == 0) {
            std::memcpy(record, r, kCmRecordLen);
            return 0;
        }
    }
    return -1;
}

// Page 0x24 into the elements: each buffer's record and its modules' records.
int FillUsage(const char *volume, RVZ_BUFF_INFO *out, size_t buffers, const size_t *modules) {
    const bool longForm = (out->ucaHead[7] & kOfferLong) != 0;
    const size_t length = longForm ? kUsageLongLen : kUsageShortLen;
    zrk::Buffer reply = zrk::AllocateZeroed(length);
    if (!reply) return -1;
    if (ExecTravoIn(volume, 0x01, kPageBuffUsage, nullptr, reply.get(), static_cast<int>(length)) != 0)
        return -1;
    for (size_t b = 0; b < buffers; ++b) {
        RVZ_BUFF_ELEMENT &e = out->Buff[b];
        unsigned char record[ZRK_BUFF24_RECORD_LEN] = {};
        const int found = longForm
                              ? SearchBuffInfo24_Ex(reply.get(), length, e.ucaEntry[1], record)
                              : SearchBuffInfo24(reply.get(), length, e.ucaEntry[1], record);
        if (found != 0) continue;
        std::memcpy(e.ucaUsage, record, sizeof e.ucaUsage);
        for (size_t m = 0; m < modules[b]; ++m) {
            RVZ_BUFF_CM_INFO &slot = e.Cm[m];
            if (longForm) {
                SearchCmInfo24_Ex(record, sizeof record, slot.ucaDetail, slot.ucaUsage);
            } else {
                SearchCmInfo24(record, slot.ucaDetail, slot.ucaUsage);
            }
        }
    }
    return 0;
}

int GetRVZBuffInfoAll(const char *volume, uint32_t optionFlag, RVZ_BUFF_INFO *out) {
    static constexpr const char kName[] = "GetRVZBuffInfoAll";
    zrk::LogIn(2, kName, volume, __LINE__);
    std::memset(out, 0, sizeof *out);
    if (CommCheckSet(volume, optionFlag, 0) != 0) return zrk::LogErr(2, kName, volume, __LINE__);
    if (!zrk::CopySupport().Has(ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_RVZ_BUFFERS))
        return zrk::FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    // One read of the buffer list, as long as the record's eight elements
    // need; the count is the array's and is cut to what the record holds.
    zrk::Buffer list = zrk::AllocateZeroed(kBuffListLen);
    if (!list) return zrk::LogErr(2, kName, volume, __LINE__);
    if (ExecTravoIn(volume, 0x01, ZRK_PAGE_RVZ_BUFF_LIST, nullptr, list.get(),
                    static_cast<int>(kBuffListLen)) != 0)
        return zrk::LogErr(2, kName, volume, __LINE__);
    std::memcpy(out->ucaHead, list.get() + 8, sizeof out->ucaHead);
    const size_t buffers = std::min(static_cast<size_t>(Be16(list.get() + 10)), kBuffEntries);
    for (size_t b = 0; b < buffers; ++b)
        std::memcpy(out->Buff[b].ucaEntry, list.get() + kBuffListHead + b * ZRK_RVZ_BUFF_ENTRY_LEN,
                    ZRK_RVZ_BUFF_ENTRY_LEN);
    if ((out->ucaHead[7] & kOfferDetail) == 0) return zrk::LogOk(2, kName, volume, __LINE__);

    size_t modules[kBuffEntries] = {};
    unsigned char detail[kBuffDetailLen];
    for (size_t b = 0; b < buffers; ++b) {
        RVZ_BUFF_ELEMENT &e = out->Buff[b];
        const unsigned char id[2] = {0, e.ucaEntry[1]};
        if (ExecTravoIn_BuffID(volume, 0x01, kPageBuffDetail, 0, id, detail, sizeof detail) != 0)
            return zrk::LogErr(2, kName, volume, __LINE__);
        std::memcpy(e.ucaDetail, detail + 8, sizeof e.ucaDetail);
        modules[b] = std::min<size_t>(Be16(detail + 14), kCmSlots);
        for (size_t m = 0; m < modules[b]; ++m)
            std::memcpy(e.Cm[m].ucaDetail, detail + kBuffDetailCms + m * kCmRecordLen, kCmRecordLen);
    }
    if ((out->ucaHead[7] & kOfferUsage) == 0) return zrk::LogOk(2, kName, volume, __LINE__);
    if (FillUsage(volume, out, buffers, modules) != 0) return zrk::LogErr(2, kName, volume, __LINE__);
    return zrk::LogOk(2, kName, volume, __LINE__);
}

bool CopyPriorityOffered() {
    return zrk::CopySupport().AnyHas({ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_REMOTE_KZP_KINDS,
                                      ZRK_SUPPORT_VZ_KINDS, ZRK_SUPPORT_RVZ_KINDS},
                                     ZRK_SUPPORT_COPY_PRIORITY);
}

// The page 0x35 read, its header cut off.
int ReadCopyPriority(const char *volume, COPY_PRIORITY_INFO *out) {
    unsigned char reply[kPriorityReplyLen];
    if (ExecTravoIn_BuffID(volume, kPriorityReadMode, kPageCopyPriority, 0, nullptr, reply,
                           sizeof reply) != 0)
        return -1;
    std::memcpy(out, reply + 8, sizeof *out);
    return 0;
}

int GetCopyPriority(const char *volume, COPY_PRIORITY_INFO *out) {
    static constexpr const char kName[] = "GetCopyPriority";
    zrk::LogIn(2, kName, volume, __LINE__);
    if (CommCheckSet(volume, 0, 0) != 0) return zrk::LogErr(2, kName, volume, __LINE__);
    if (!CopyPriorityOffered()) return zrk::FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);
    if (ReadCopyPriority(volume, out) != 0) return zrk::LogErr(2, kName, volume, __LINE__);
    return zrk::LogOk(2, kName, volume, __LINE__);
}

enum class SettingCase { Level, Switch, Partner, Other };

SettingCase Classify(const COPY_PRIORITY_SET &s) {
    if (s.ucKind == 0 && (s.ucLevel == 3 || s.ucLevel == 4)) return SettingCase::Level;
    if (s.ucKind == 1 && s.ucSubKind == 0) return SettingCase::Switch;
    if (s.ucKind == 1 && s.ucSubKind == 1) return SettingCase::Partner;
    return SettingCase::Other;
}

int SetCopyPriority(const char *volume, const COPY_PRIORITY_SET &setting) {
    static constexpr const char kName[] = "SetCopyPriority";
    zrk::LogIn(2, kName, volume, __LINE__);
    if (CommCheckSet(volume, 0, 0) != 0) return zrk::LogErr(2, kName, volume, __LINE__);
    if (ZRKstorage_cluster != ZRK_ROLE_NONE)
        return zrk::FailEnd(ZRK_ERR_CLUSTER, 2, kName, volume, __LINE__);
    if (!CopyPriorityOffered()) return zrk::FailEnd(ZRK_ERR_NOT_SUPPORT, 2, kName, volume, __LINE__);

    const SettingCase which = Classify(setting);
    if (which != SettingCase::Other) {
        COPY_PRIORITY_INFO current{};
        if (ReadCopyPriority(volume, &current) != 0) return zrk::LogErr(2, kName, volume, __LINE__);
        const COPY_PRIORITY_ENTRY *partner = nullptr;
        if (which != SettingCase::Level) {
            const size_t count = std::min<size_t>(current.ucCount, kPriorityEntries);
            for (size_t i = 0; i < count && partner == nullptr; ++i) {
                if (std::memcmp(current.Entry[i].BoxID, setting.BoxID, ZRK_BOXID_LEN) == 0)
                    partner = &current.Entry[i];
            }
            if (partner == nullptr) return zrk::FailEnd(ZRK_ERR_BOXID, 2, kName, volume, __LINE__);
        }
        const unsigned char caps = current.ucCapability;
        const bool refused =
            (which == SettingCase::Level && ((caps & kCapLevel) == 0 || (caps & kCapLevelToo) == 0)) ||
            (which == SettingCase::Switch && (caps & kCapSwitch) == 0 &&
             (setting.ucSwitch != 0) != (partner->ucSwitch != 0)) ||
            (which == SettingCase::Partner && (caps & kCapPartner) == 0);
        if (refused) return zrk::FailEnd(ZRK_ERR_PRIORITY_COMBO, 2, kName, volume, __LINE__);
    }

    unsigned char list[kPriorityListLen] = {};
    list[0] = kPageCopyPriority;
    list[7] = static_cast<unsigned char>(sizeof setting);
    std::memcpy(list + 8, &setting, sizeof setting);
    if (ExecTravoOut(volume, list, sizeof list) != 0) {
        if (zrk::StoredSenseIs(5, 0x26, 0x00)) ZRKerrno = ZRK_ERR_PRIORITY_PARAM;
        else if (zrk::StoredSenseIs(5, 0x26, 0x91)) ZRKerrno = ZRK_ERR_PRIORITY_COMBO;
        return zrk::LogErr(2, kName, volume, __LINE__);
    }
    return zrk::LogOk(2, kName, volume, __LINE__);
}

// The outputs of the light volume information.
struct LiteOutputs {
    char *pBoxID;
    uint32_t *puiOlu;
    uint32_t *puiExtentHigh;
    uint32_t *puiExtentLow;
    uint32_t *puiSizeHigh;
    uint32_t *puiSizeLow;
};

// The trace of one light call: opened with the caller's identifier, the
// START and parameter lines, and on every way out the END line and the close.
class LiteTrace {
public:
    LiteTrace(int caller, const char *name, const char *volume, int extentCnt, uint32_t optionFlag)
        : pName(name) {
        ZRKC_Com_OpenTrace(caller);
        zrkplatform::TraceText(kTraceLevel, "INFO", name, "START");
        zrkplatform::TraceText(kTraceLevel, "INFO", name,
                               "LogicalVol=[%s] : ExtentCnt=<%d> : OptionFlag=<0x%x>",
                               zrk::LogText(volume), extentCnt, optionFlag);
    }
    ~LiteTrace() { Close(); }
    LiteTrace(const LiteTrace &) = delete;
    LiteTrace &operator=(const LiteTrace &) = delete;
    int End(int ret) {
        zrkplatform::TraceEnd(kTraceLevel, pName, ret == 1 ? 0 : ret);
        Close();
        return ret;
    }
    void Close() {
        if (bOpen) ZRKC_Com_CloseTrace();
        bOpen = false;
    }

private:
    const char *pName;
    bool bOpen = true;
};

int Lite(const char *volume, int extentCnt, uint32_t optionFlag, const LiteOutputs &out,
         unsigned char *senseData) {
    static constexpr const char kName[] = "ZRKLVGetVolumeInfoLite";
    LiteTrace trace(kLiteCaller, kName, volume, extentCnt, optionFlag);
    zrk::ApiCall call(kName, volume, senseData, __LINE__);
    zrk::LogExtentCntLine(kName, volume, static_cast<uint32_t>(extentCnt), optionFlag);
    if (zrk::RootCheck() != 0 || zrk::OptionCheck(optionFlag, 0) != 0)
        return trace.End(call.RejectAt(__LINE__));
    if (CheckProduct(volume) != 0) return trace.End(call.FailAt(__LINE__));
    if (extentCnt != 0) {
        FailWith(ZRK_ERR_EXTENT_CNT);
        return trace.End(call.FailAt(__LINE__));
    }
    if (out.pBoxID == nullptr || out.puiOlu == nullptr || out.puiExtentHigh == nullptr ||
        out.puiExtentLow == nullptr || out.puiSizeHigh == nullptr || out.puiSizeLow == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return trace.End(call.FailAt(__LINE__));
    }
    if (CheckLogicalVol(volume) != 0) return trace.End(call.FailAt(__LINE__));
    unsigned char boxId[ZRK_BOXID_LEN] = {};
    uint32_t extentHigh = 0, extentLow = 0, sizeHigh = 0, sizeLow = 0;
    unsigned char lun[ZRK_LUN_INFO_LEN] = {};
    if (GetBoxID(volume, boxId) != 0 ||
        GetExtentInfoForLV(volume, &extentHigh, &extentLow, &sizeHigh, &sizeLow) != 0 ||
        GetLunInformation(volume, lun) != 0)
        return trace.End(call.FailAt(__LINE__));
    *out.puiExtentHigh = extentHigh;
    *out.puiExtentLow = extentLow;
    *out.puiSizeHigh = sizeHigh;
    *out.puiSizeLow = sizeLow;
    *out.puiOlu = Be16(lun + 8);
    std::memcpy(out.pBoxID, boxId, ZRK_BOXID_LEN);
    return trace.End(call.Done(__LINE__, 1));
}

} // namespace

extern "C" int ZRKGetRVZBuffInfo(const char *LogicalVol, uint32_t OptionFlag, RVZ_BUFF_INFO *Info,
                                 unsigned char *SenseData) {
    static constexpr const char kName[] = "ZRKGetRVZBuffInfo";
    zrk::ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    zrk::LogOptionLine(kName, LogicalVol, OptionFlag);
    // No option is taken: refused before any command.
    if (zrk::RootCheck() != 0 || zrk::OptionCheck(OptionFlag, 0) != 0) return call.RejectAt(__LINE__);
    if (Info == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    if (CheckLogicalVol(LogicalVol) != 0) return call.FailAt(__LINE__);
    if (GetRVZBuffInfoAll(LogicalVol, OptionFlag, Info) != 0) return call.FailAt(__LINE__);
    return call.Done(__LINE__);
}

extern "C" int ZRKGetCopyPriority(const char *LogicalVol, COPY_PRIORITY_INFO *Info,
                                  unsigned char *SenseData) {
    static constexpr const char kName[] = "ZRKGetCopyPriority";
    zrk::ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    zrk::LogOptionLine(kName, LogicalVol, 0);
    if (zrk::RootCheck() != 0) return call.RejectAt(__LINE__);
    if (Info == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.RejectAt(__LINE__);
    }
    if (CheckLogicalVol(LogicalVol) != 0) return call.FailAt(__LINE__);
    COPY_PRIORITY_INFO got{};
    if (GetCopyPriority(LogicalVol, &got) != 0) return call.FailAt(__LINE__);
    *Info = got;
    return call.Done(__LINE__);
}

extern "C" int ZRKSetCopyPriority(const char *LogicalVol, unsigned char *SenseData,
                                  COPY_PRIORITY_SET Setting) {
    static constexpr const char kName[] = "ZRKSetCopyPriority";
    zrk::ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    zrk::LogOptionLine(kName, LogicalVol, 0);
    if (zrk::RootCheck() != 0) return call.RejectAt(__LINE__);
    if (CheckLogicalVol(LogicalVol) != 0) return call.FailAt(__LINE__);
    if (SetCopyPriority(LogicalVol, Setting) != 0) return call.FailAt(__LINE__);
    return call.Done(__LINE__);
}

extern "C" int ZRKLVGetVolumeInfoLite(const char *LogicalVol, int ExtentCnt, uint32_t OptionFlag,
                                      char *BoxID, uint32_t *Olu, uint32_t *Extent_high,
                                      uint32_t *Extent_low, uint32_t *Size_high,
                                      uint32_t *Size_low, void * /*Unused*/,
                                      unsigned char *SenseData) {
    return Lite(LogicalVol, ExtentCnt, OptionFlag,
                {BoxID, Olu, Extent_high, Extent_low, Size_high, Size_low}, SenseData);
}

extern "C" int ZRKLVGetVolumeInfoLiteEx(const char *LogicalVol, int ExtentCnt,
                                        uint32_t OptionFlag, char *BoxID, uint32_t *Olu,
                                        uint32_t *Extent_high, uint32_t *Extent_low,
                                        uint32_t *Size_high, uint32_t *Size_low, void *Unused,
                                        VOL_INFO_EX *VolInfoEx, unsigned char *SenseData) {
    static constexpr const char kName[] = "ZRKLVGetVolumeInfoLiteEx";
    {
        // Its own trace lines, closed before the light call opens its own.
        LiteTrace opening(kLiteExCaller, kName, LogicalVol, ExtentCnt, OptionFlag);
    }
    zrk::ApiCall call(kName, LogicalVol, SenseData, __LINE__);
    // The trace again after the light call (which opens and closes its own):
    // the END line and the close, on every way out.
    auto end = [&](int ret) {
        ZRKC_Com_OpenTrace(kLiteExCaller);
        zrkplatform::TraceEnd(kTraceLevel, kName, ret == 1 ? 0 : ret);
        ZRKC_Com_CloseTrace();
        return ret;
    };
    (void)Unused;
    if (VolInfoEx == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return end(call.RejectAt(__LINE__));
    }
    if (Lite(LogicalVol, ExtentCnt, OptionFlag,
             {BoxID, Olu, Extent_high, Extent_low, Size_high, Size_low}, SenseData) != 1) {
        WriteLog(2, nullptr, 0, "ZRKLVGetVolumeInfoLite of ZRKLVGetVolumeInfoLiteEx Err end [%s] [%d]",
                 zrk::LogText(LogicalVol), __LINE__);
        return end(call.FailAt(__LINE__));
    }
    unsigned char lun[ZRK_LUN_INFO_LEN] = {};
    if (GetLunInformation(LogicalVol, lun) != 0) return end(call.FailAt(__LINE__));
    *VolInfoEx = VOL_INFO_EX{};
    VolInfoEx->ucAttribute = lun[11];
    return end(call.Done(__LINE__, 1));
}
