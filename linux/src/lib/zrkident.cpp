// Identification of an array and of its copy functions: the family and the
// support check (CheckProduct) with the failover role of the checked volume,
// the BoxID, the copy-support page that fills the process-wide stores, the
// session maxima, the status of one OLU, the LU information page and the
// vital product data pages.
//
// Identification stands below the storage-cluster helpers (zrkcmulti.cpp):
// they call down into it, it never calls up. The role is read here because
// CheckProduct reads it as a step of its own: it hands the role check the
// INQUIRY support bytes it has just read.
//
// Every reply is read into a buffer cleared beforehand and only as far as the
// buffer reaches: a count or length that the array reports never makes the
// library read or write past what it asked for.
#include "zrkcmd.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace zrk;

constexpr char kVendor[] = "KORVALE"; // vendor field of the arrays' INQUIRY data
constexpr char kFamilyLetter = 'V';   // first letter of the older product names
constexpr unsigned char kVpdList = 0x00;
constexpr unsigned char kVpdSupport = 0xF0;
constexpr unsigned char kVpdBox = 0xF2;
constexpr int kStdInquiryLen = 96;
constexpr int kVpdSupportLen = 40;
constexpr int kInqSupportOffset = 26; // the INQUIRY support bytes in page 0xF0
constexpr int kVpdBoxLen = 96;
constexpr int kBoxIdOffsetF2 = 48;
constexpr int kRoleOffsetF2 = 88;
constexpr int kGroupOffsetF2 = 89;
constexpr int kTravoHeaderLen = 8;    // header of a TRAVO IN page
constexpr int kSupportPageLen = kTravoHeaderLen + ZRK_SUPPORT_DATA_LEN;
constexpr int kQmExtraLen = ZRK_QM_SUPPORT_DATA_LEN - ZRK_SUPPORT_DATA_LEN;
constexpr int kQmPageLen = kTravoHeaderLen + kQmExtraLen;
constexpr int kSessionCountPageLen = kTravoHeaderLen + ZRK_MAX_SESSION_LEN;
constexpr int kOluStatusPageLen = kTravoHeaderLen + ZRK_OLU_STATUS_LEN;
constexpr int kModeHeaderLen = 4;      // header of the MODE SENSE reply
constexpr int kModeSenseLen = kModeHeaderLen + ZRK_LUN_INFO_LEN;

// The flag byte of each copy group with the group's bit (ZRK_GROUP_).
struct GroupFlags {
    int           iByte;   /* ZRK_SUPPORT_FLAGS_ byte */
    unsigned char ucGroup; /* ZRK_GROUP_ bit */
};
constexpr GroupFlags kGroupFlags[] = {
    {ZRK_SUPPORT_FLAGS_REMOTE_KZP, ZRK_GROUP_REMOTE_KZP},
    {ZRK_SUPPORT_FLAGS_RVZ, ZRK_GROUP_RVZ},
    {ZRK_SUPPORT_FLAGS_KZP, ZRK_GROUP_KZP},
    {ZRK_SUPPORT_FLAGS_VZ, ZRK_GROUP_VZ},
};

// INQUIRY of a vital product data page with a 16-bit allocation length.
int InquiryVpd(const char *volume, unsigned char page, unsigned char *data, int length) {
    unsigned char cdb[6] = {0x12, 0x01, page, 0x00, 0x00, 0x00};
    const unsigned int allocation = static_cast<unsigned int>(length);
    ShiftAnytoB(&allocation, 4, 2, cdb + 3);
    std::memset(data, 0, static_cast<size_t>(length));
    return DoScsi(volume, 0, cdb, sizeof cdb, data, length);
}

// The device's list of vital product data pages. The list length comes from
// a 4-byte probe; the buffer holds the header and that many page codes,
// rounded up to a multiple of 4.
class PageList {
public:
    PageList() = default;
    ~PageList() { std::free(pBuffer); }
    PageList(const PageList &) = delete;
    PageList &operator=(const PageList &) = delete;

    // 0, or -1 with ZRKerrno set (36 without memory).
    int Read(const char *volume) {
        unsigned char probe[4];
        if (InquiryVpd(volume, kVpdList, probe, sizeof probe) != 0) return -1;
        iListLen = probe[3];
        const int bufferLen = (iListLen + 4 + 3) & ~3;
        pBuffer = static_cast<unsigned char *>(std::calloc(static_cast<size_t>(bufferLen), 1));
        if (pBuffer == nullptr) {
            WriteLog(16, nullptr, 0, "malloc() : %s", std::strerror(errno));
            return FailWith(ZRK_ERR_NO_MEMORY);
        }
        if (InquiryVpd(volume, kVpdList, pBuffer, iListLen + 4) != 0) return -1;
        return 0;
    }
    bool Has(unsigned char page) const {
        return pBuffer != nullptr && std::memchr(pBuffer + 4, page, static_cast<size_t>(iListLen));
    }
    const unsigned char *Codes() const { return pBuffer + 4; }
    int Length() const { return iListLen; }

private:
    unsigned char *pBuffer = nullptr; // header and page codes
    int iListLen = 0;                 // page codes announced by the probe
};

bool BeginsWith(const unsigned char *field, const char *text) {
    return std::memcmp(field, text, std::strlen(text)) == 0;
}
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// An older array without the support page: the vendor, and a product name of
// the WX line from model 720 on, or of the older line (letter and digit).
bool SupportedByName(const unsigned char *vendor, const unsigned char *product) {
    if (!BeginsWith(vendor, kVendor)) return false;
    if (BeginsWith(product, "WX")) return std::memcmp(product + 2, "720", 3) >= 0;
    return product[0] == kFamilyLetter && IsDigit(product[1]);
}

// One line both into the API trace, under word, and into the debug log.
void __attribute__((format(printf, 3, 4)))
TraceAndLog(const char *word, const char *name, const char *format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string line(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    std::vsnprintf(line.data(), line.size() + 1, format, args);
    va_end(args);
    TraceText(1, word, name, "%s", line.c_str());
    WriteLog(1, nullptr, 0, "%s", line.c_str());
}

// Holds volume as the volume of the role: NUL-padded and always terminated.
void HoldVolume(const char *volume) {
    std::memset(ZRKstorage_clustervol, 0, sizeof ZRKstorage_clustervol);
    std::strncpy(ZRKstorage_clustervol, volume, sizeof ZRKstorage_clustervol - 1);
}

}  // namespace

namespace zrk {

int CheckFailoverRole(const char *volume, const unsigned char *inqSupport) {
    static const char kName[] = "CheckFailOver";
    LogIn(1, kName, volume, __LINE__);
    TraceText(1, "INFO", kName, "START");
    TraceText(2, "INFO", kName, "LogicalVol=%s", LogText(volume));

    if ((inqSupport[0] & ZRK_INQ_BOX_INFO) == 0) {
        TraceEnd(1, kName, 0);
        return LogOk(1, kName, volume, __LINE__);
    }

    unsigned char page[kVpdBoxLen];
    const int read = GetVPDInfo(volume, kVpdBox, sizeof page, page);
    if (read != ZRK_VPD_DONE) {
        // A device that announces box information must offer the page.
        if (read == ZRK_VPD_ABSENT) ZRKerrno = ZRK_ERR_NOT_SUPPORT;
        TraceEnd(1, kName, -1);
        return LogErr(1, kName, volume, __LINE__);
    }

    const unsigned char role = page[kRoleOffsetF2];
    const unsigned char group = page[kGroupOffsetF2];
    if (role != ZRK_ROLE_NONE) {
        const bool held = ZRKstorage_cluster == ZRK_ROLE_PRIMARY ||
                          ZRKstorage_cluster == ZRK_ROLE_SECONDARY;
        if (held && volume != nullptr &&
            std::strncmp(ZRKstorage_clustervol, volume, sizeof ZRKstorage_clustervol) == 0 &&
            role != ZRKstorage_cluster) {
            TraceAndLog("ERR", kName,
                        "CheckFailOver Err end vol=%s ZRKstorage_cluster=%d "
                        "ZRKstorage_clustergroup=%d [%s] [%d]",
                        ZRKstorage_clustervol, ZRKstorage_cluster, ZRKstorage_clustergroup,
                        LogText(volume), __LINE__);
            ZRKerrno = ZRK_ERR_ROLE_CHANGED;
            ClearFailoverRole();
            return TraceEnd(1, kName, -1);
        }
        ZRKstorage_cluster = role;
        ZRKstorage_clustergroup = group;
    } else {
        ZRKstorage_cluster = ZRK_ROLE_NONE;
        ZRKstorage_clustergroup = 0;
    }
    HoldVolume(LogText(volume));
    TraceAndLog("INFO", kName,
                "CheckFailOver OK end vol=%s ZRKstorage_cluster=%d ZRKstorage_clustergroup=%d "
                "[%s] [%d]",
                ZRKstorage_clustervol, ZRKstorage_cluster, ZRKstorage_clustergroup,
                LogText(volume), __LINE__);
    return 0;
}

}  // namespace zrk

extern "C" int CheckProduct(const char *volume) {
    static const char kName[] = "CheckProduct";
    LogIn(1, kName, volume, __LINE__);
    ZRKstorageflg = 0;

    unsigned char inquiry[kStdInquiryLen] = {};
    unsigned char cdb[6] = {0x12, 0x00, 0x00, 0x00, kStdInquiryLen, 0x00};
    if (DoScsi(volume, 0, cdb, sizeof cdb, inquiry, sizeof inquiry) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    const unsigned char *vendor = inquiry + 8;
    const unsigned char *product = inquiry + 16;
    WriteLog(1, nullptr, 0, "CheckProduct Vendor=[%.8s] : Product=[%.16s] [%s] [%d]",
             reinterpret_cast<const char *>(vendor), reinterpret_cast<const char *>(product),
             LogText(volume), __LINE__);

    if (BeginsWith(vendor, kVendor) && BeginsWith(product, "QM") && IsDigit(product[2])) {
        ZRKstorageflg = 1;
        return LogOk(1, kName, volume, __LINE__);
    }

    PageList pages;
    if (pages.Read(volume) != 0) return LogErr(1, kName, volume, __LINE__);

    if (!pages.Has(kVpdSupport)) {
        if (!SupportedByName(vendor, product)) {
            ZRKerrno = ZRK_ERR_NOT_ZRK;
            return LogErr(1, kName, volume, __LINE__);
        }
        return LogOk(1, kName, volume, __LINE__);
    }

    unsigned char page[kVpdSupportLen];
    if (InquiryVpd(volume, kVpdSupport, page, sizeof page) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    const unsigned char *inqSupport = page + kInqSupportOffset;
    if ((inqSupport[0] & ZRK_INQ_ARRAY) == 0) {
        ZRKerrno = ZRK_ERR_NOT_ZRK;
        return LogErr(1, kName, volume, __LINE__);
    }
    CtrlInqSupportData(nullptr, ZRK_STORE_CLEAR);
    CtrlInqSupportData(const_cast<unsigned char *>(inqSupport), ZRK_STORE_WRITE);
    if (CheckFailoverRole(volume, inqSupport) != 0) return LogErr(1, kName, volume, __LINE__);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetBoxID(const char *volume, unsigned char *boxId) {
    static const char kName[] = "GetBoxID";
    LogIn(1, kName, volume, __LINE__);
    if (boxId == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return LogErr(1, kName, volume, __LINE__);
    }
    PageList pages;
    if (pages.Read(volume) != 0) return LogErr(1, kName, volume, __LINE__);

    bool fromPageF2 = false;
    if (pages.Has(kVpdSupport)) {
        unsigned char support[kVpdSupportLen];
        if (InquiryVpd(volume, kVpdSupport, support, sizeof support) != 0) {
            return LogErr(1, kName, volume, __LINE__);
        }
        fromPageF2 = (support[kInqSupportOffset] & ZRK_INQ_BOX_INFO) != 0;
    }
    if (fromPageF2) {
        unsigned char box[kVpdBoxLen];
        if (InquiryVpd(volume, kVpdBox, box, sizeof box) != 0) {
            return LogErr(1, kName, volume, __LINE__);
        }
        WriteLog(1, nullptr, 0, "GetBoxID From Inquiry Command Page F2. [%s] [%d]",
                 LogText(volume), __LINE__);
        std::memcpy(boxId, box + kBoxIdOffsetF2, ZRK_BOXID_LEN);
    } else {
        unsigned char box[ZRK_BOXID_LEN] = {};
        unsigned char cdb[10] = {0x3C, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x28, 0x00};
        if (DoScsi(volume, 0, cdb, sizeof cdb, box, sizeof box) != 0) {
            return LogErr(1, kName, volume, __LINE__);
        }
        WriteLog(1, nullptr, 0, "GetBoxID From Read Buffer Command. [%s] [%d]",
                 LogText(volume), __LINE__);
        std::memcpy(boxId, box, ZRK_BOXID_LEN);
    }
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int CheckBoxID(const char *volume, const COPY_REQ *request,
                          unsigned char *boxIdOut) {
    static const char kName[] = "CheckBoxID";
    LogIn(1, kName, volume, __LINE__);
    if (request == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return LogErr(1, kName, volume, __LINE__);
    }
    unsigned char own[ZRK_BOXID_LEN] = {};
    if (GetBoxID(volume, own) != 0) return LogErr(1, kName, volume, __LINE__);

    const unsigned char *src = request->SrcBoxID;
    const unsigned char *dst = request->DstBoxID;
    const bool remote = request->RemoteFlag != 0;
    const bool srcMatch = std::memcmp(src, own, ZRK_BOXID_LEN) == 0;
    const bool dstMatch = std::memcmp(dst, own, ZRK_BOXID_LEN) == 0;
    if (remote ? !(srcMatch || dstMatch) : !srcMatch) {
        WriteLog(16, src, ZRK_BOXID_LEN, "SrcBoxID");
        if (remote) WriteLog(16, dst, ZRK_BOXID_LEN, "DstBoxID");
        WriteLog(16, own, ZRK_BOXID_LEN, "BoxID");
        ZRKerrno = remote ? ZRK_ERR_BOXID : ZRK_ERR_DIFFERENT_ZRK;
        return LogErr(1, kName, volume, __LINE__);
    }
    if (boxIdOut != nullptr) std::memcpy(boxIdOut, own, ZRK_BOXID_LEN);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetSupportCopyInfo(const char *volume, unsigned char *support,
                                  unsigned char *remoteSupport) {
    static const char kName[] = "GetSupportCopyInfo";
    LogIn(1, kName, volume, __LINE__);

    unsigned char reply[kSupportPageLen];
    const unsigned char session[2] = {0, 0};
    if (ExecTravoIn(volume, 0x01, 0x00, session, reply, sizeof reply) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    const unsigned char *s = reply + kTravoHeaderLen;
    if (support != nullptr) std::memcpy(support, s, ZRK_SUPPORT_DATA_LEN);
    if (remoteSupport != nullptr) *remoteSupport = 0;

    bool anyGroup = false;
    for (const GroupFlags &g : kGroupFlags)
        anyGroup = anyGroup || zrk_support_has(s, g.iByte, ZRK_SUPPORT_KIND);
    if (!anyGroup) {
        ZRKerrno = ZRK_ERR_SETUP;
        return LogErr(1, kName, volume, __LINE__);
    }

    unsigned char remote = 0;
    if (zrk_support_has(s, ZRK_SUPPORT_FLAGS_REMOTE_KZP, ZRK_SUPPORT_KIND))
        remote |= ZRK_REMOTE_KZP;
    if (zrk_support_has(s, ZRK_SUPPORT_FLAGS_RVZ, ZRK_SUPPORT_KIND)) remote |= ZRK_REMOTE_RVZ;
    if (remoteSupport != nullptr) *remoteSupport = remote;

    ZRKsession4096 = 0;
    ZRKsession4096out = 0;
    for (const GroupFlags &g : kGroupFlags) {
        if (zrk_support_has(s, g.iByte, ZRK_SUPPORT_LARGE_IN)) ZRKsession4096 |= g.ucGroup;
        if (zrk_support_has(s, g.iByte, ZRK_SUPPORT_LARGE_OUT)) ZRKsession4096out |= g.ucGroup;
    }

    CtrlSupportData(nullptr, ZRK_STORE_CLEAR);
    CtrlSupportData(const_cast<unsigned char *>(s), ZRK_STORE_WRITE);

    if (ZRKstorageflg == 1) {
        unsigned char qm[ZRK_QM_SUPPORT_DATA_LEN] = {};
        std::memcpy(qm, s, ZRK_SUPPORT_DATA_LEN);
        if (zrk_support_has(s, ZRK_SUPPORT_VZ_FUNCS, ZRK_SUPPORT_SUSPEND) ||
            zrk_support_has(s, ZRK_SUPPORT_RVZ_FUNCS, ZRK_SUPPORT_SUSPEND)) {
            unsigned char page2[kQmPageLen];
            if (ExecTravoIn(volume, 0x01, 0x02, session, page2, sizeof page2) != 0) {
                return LogErr(1, kName, volume, __LINE__);
            }
            std::memcpy(qm + ZRK_SUPPORT_DATA_LEN, page2 + kTravoHeaderLen, kQmExtraLen);
        }
        CtrlQmSupportData(nullptr, ZRK_STORE_CLEAR);
        CtrlQmSupportData(qm, ZRK_STORE_WRITE);
        WriteLog(1, qm, sizeof qm, "GetSupportCopyInfo Support Info [%s] [%d]", LogText(volume),
                 __LINE__);
    }

    WriteLog(1, nullptr, 0, "ucpRemoteSupport = <0x%x>", remote);
    WriteLog(1, nullptr, 0, "4096 support = <0x%x>", ZRKsession4096);
    WriteLog(1, nullptr, 0, "4096out support = <0x%x>", ZRKsession4096out);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetMaxSessionCount(const char *volume, unsigned char page,
                                  unsigned char *maxCount) {
    static const char kName[] = "GetMaxSessionCount";
    LogIn(1, kName, volume, __LINE__);
    if (maxCount == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return LogErr(1, kName, volume, __LINE__);
    }
    unsigned char reply[kSessionCountPageLen];
    const unsigned char session[2] = {0, 0};
    if (ExecTravoIn(volume, 0x01, page, session, reply, sizeof reply) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    std::memcpy(maxCount, reply + kTravoHeaderLen, ZRK_MAX_SESSION_LEN);
    WriteLog(1, nullptr, 0,
             "PageCode=<0x%x>\nMaxSessionInOlu=<%d> MaxSessionInAllOlu=<%d> "
             "MaxSessionInMlu=<%d> MaxSessionInAllMlu=<%d>",
             page, static_cast<int>(ShiftBtoI(reply + 8, 2)),
             static_cast<int>(ShiftBtoI(reply + 10, 2)), static_cast<int>(ShiftBtoI(reply + 12, 2)),
             static_cast<int>(ShiftBtoI(reply + 14, 2)));
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetOLUStatusInfo(const char *volume, const unsigned char *olu,
                                unsigned char *status) {
    static const char kName[] = "GetOLUStatusInfo";
    LogIn(1, kName, volume, __LINE__);
    if (olu == nullptr || status == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return LogErr(1, kName, volume, __LINE__);
    }
    unsigned char reply[kOluStatusPageLen];
    if (ExecTravoIn(volume, 0x01, 0x31, olu, reply, sizeof reply) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    std::memcpy(status, reply + kTravoHeaderLen, ZRK_OLU_STATUS_LEN);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetOLUStatus(const char *volume, int olu, unsigned char *status) {
    static const char kName[] = "GetOLUStatus";
    LogIn(2, kName, volume, __LINE__);
    if (status == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return LogErr(2, kName, volume, __LINE__);
    }
    if (CheckProduct(volume) != 0) return LogErr(2, kName, volume, __LINE__);
    unsigned char support[ZRK_SUPPORT_DATA_LEN];
    unsigned char remote = 0;
    if (GetSupportCopyInfo(volume, support, &remote) != 0) {
        return LogErr(2, kName, volume, __LINE__);
    }
    if (!zrk_support_has(support, ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_SNAP)) {
        ZRKerrno = ZRK_ERR_NOT_SUPPORT;
        return LogErr(2, kName, volume, __LINE__);
    }
    unsigned char oluBytes[2];
    SetItoB(oluBytes, olu, 2);
    unsigned char record[ZRK_OLU_STATUS_LEN];
    if (GetOLUStatusInfo(volume, oluBytes, record) != 0) {
        return LogErr(2, kName, volume, __LINE__);
    }
    std::memcpy(status, record, sizeof record);
    return LogOk(2, kName, volume, __LINE__);
}

extern "C" int GetLunInformation(const char *volume, unsigned char *info) {
    static const char kName[] = "GetLunInformation";
    LogIn(1, kName, volume, __LINE__);
    if (info == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        return LogErr(1, kName, volume, __LINE__);
    }
    unsigned char reply[kModeSenseLen] = {};
    unsigned char cdb[6] = {0x1A, 0x08, 0x30, 0x00, kModeSenseLen, 0x00};
    if (DoScsi(volume, 0, cdb, sizeof cdb, reply, sizeof reply) != 0) {
        return LogErr(1, kName, volume, __LINE__);
    }
    std::memcpy(info, reply + kModeHeaderLen, ZRK_LUN_INFO_LEN);
    return LogOk(1, kName, volume, __LINE__);
}

extern "C" int GetVPDInfo(const char *volume, unsigned char page, int length,
                          unsigned char *out) {
    static const char kName[] = "GetVPDInfo";
    LogIn(1, kName, volume, __LINE__);
    if (out == nullptr || length < 0) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        LogErr(1, kName, volume, __LINE__);
        return ZRK_VPD_FAILED;
    }
    PageList pages;
    if (pages.Read(volume) != 0) {
        LogErr(1, kName, volume, __LINE__);
        return ZRK_VPD_FAILED;
    }
    if (page == kVpdList) {
        const int n = length < pages.Length() ? length : pages.Length();
        std::memcpy(out, pages.Codes(), static_cast<size_t>(n));
        LogOk(1, kName, volume, __LINE__);
        return ZRK_VPD_DONE;
    }
    if (!pages.Has(page)) {
        LogOk(1, kName, volume, __LINE__);
        return ZRK_VPD_ABSENT;
    }
    if (InquiryVpd(volume, page, out, length) != 0) {
        LogErr(1, kName, volume, __LINE__);
        return ZRK_VPD_FAILED;
    }
    LogOk(1, kName, volume, __LINE__);
    return ZRK_VPD_DONE;
}
