// Identification of an array and of its copy functions: the family and the
// support check (CheckProduct), the BoxID, the copy-support page that fills
// the process-wide stores, the session maxima, the status of one OLU, the LU
// information page and the vital product data pages.
//
// Every reply is read into a buffer cleared beforehand and only as far as the
// buffer reaches: a count or length that the array reports never makes the
// library read or write past what it asked for.
#include "zrkcmd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

using zrk::LogText;

constexpr int kInvalidParameter = 13;
constexpr int kNotSupported = 17;
constexpr int kNotZrk = 22;
constexpr int kDifferentZrk = 33;
constexpr int kNoMemory = 36;
constexpr int kInvalidBoxId = 57;
constexpr int kSetupInadequate = 59;

constexpr char kVendor[] = "KORVALE"; // vendor field of the arrays' INQUIRY data
constexpr char kFamilyLetter = 'V';   // first letter of the older product names
constexpr unsigned char kVpdList = 0x00;
constexpr unsigned char kVpdSupport = 0xF0;
constexpr unsigned char kVpdBox = 0xF2;
constexpr int kStdInquiryLen = 96;
constexpr int kVpdSupportLen = 40;
constexpr int kVpdBoxLen = 96;
constexpr int kBoxIdOffsetF2 = 48;
constexpr int kSupportPageLen = 40;
constexpr int kQmPageLen = 16;
constexpr int kSessionCountPageLen = 16;
constexpr int kOluStatusPageLen = 64;
constexpr int kModeSenseLen = 148;
constexpr int kModeHeaderLen = 4;

int OkEnd(const char *function, const char *volume, int line, int level = 1) {
    WriteLog(level, nullptr, 0, "%s OK end [%s] [%d]", function, LogText(volume), line);
    return 0;
}

int ErrEnd(const char *function, const char *volume, int line, int level = 1) {
    WriteLog(level, nullptr, 0, "%s Err end [%s] [%d]", function, LogText(volume), line);
    return -1;
}

void EntryLine(const char *function, const char *volume, int line, int level = 1) {
    WriteLog(level, nullptr, 0, "%s in [%s] [%d]", function, LogText(volume), line);
}

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
            ZRKerrno = kNoMemory;
            return -1;
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

}  // namespace

extern "C" int CheckProduct(const char *volume) {
    static const char kName[] = "CheckProduct";
    EntryLine(kName, volume, __LINE__);
    ZRKstorageflg = 0;

    unsigned char inquiry[kStdInquiryLen] = {};
    unsigned char cdb[6] = {0x12, 0x00, 0x00, 0x00, kStdInquiryLen, 0x00};
    if (DoScsi(volume, 0, cdb, sizeof cdb, inquiry, sizeof inquiry) != 0) {
        return ErrEnd(kName, volume, __LINE__);
    }
    const unsigned char *vendor = inquiry + 8;
    const unsigned char *product = inquiry + 16;
    WriteLog(1, nullptr, 0, "CheckProduct Vendor=[%.8s] : Product=[%.16s] [%s] [%d]",
             reinterpret_cast<const char *>(vendor), reinterpret_cast<const char *>(product),
             LogText(volume), __LINE__);

    if (BeginsWith(vendor, kVendor) && BeginsWith(product, "QM") && IsDigit(product[2])) {
        ZRKstorageflg = 1;
        return OkEnd(kName, volume, __LINE__);
    }

    PageList pages;
    if (pages.Read(volume) != 0) return ErrEnd(kName, volume, __LINE__);

    if (!pages.Has(kVpdSupport)) {
        if (!SupportedByName(vendor, product)) {
            ZRKerrno = kNotZrk;
            return ErrEnd(kName, volume, __LINE__);
        }
        return OkEnd(kName, volume, __LINE__);
    }

    unsigned char page[kVpdSupportLen];
    if (InquiryVpd(volume, kVpdSupport, page, sizeof page) != 0) {
        return ErrEnd(kName, volume, __LINE__);
    }
    if ((page[26] & 0x08) == 0) {
        ZRKerrno = kNotZrk;
        return ErrEnd(kName, volume, __LINE__);
    }
    CtrlInqSupportData(nullptr, ZRK_STORE_CLEAR);
    CtrlInqSupportData(page + 26, ZRK_STORE_WRITE);
    if (CheckFailOver(volume) != 0) return ErrEnd(kName, volume, __LINE__);
    return OkEnd(kName, volume, __LINE__);
}

extern "C" int GetBoxID(const char *volume, unsigned char *boxId) {
    static const char kName[] = "GetBoxID";
    EntryLine(kName, volume, __LINE__);
    if (boxId == nullptr) {
        ZRKerrno = kInvalidParameter;
        return ErrEnd(kName, volume, __LINE__);
    }
    PageList pages;
    if (pages.Read(volume) != 0) return ErrEnd(kName, volume, __LINE__);

    bool fromPageF2 = false;
    if (pages.Has(kVpdSupport)) {
        unsigned char support[kVpdSupportLen];
        if (InquiryVpd(volume, kVpdSupport, support, sizeof support) != 0) {
            return ErrEnd(kName, volume, __LINE__);
        }
        fromPageF2 = (support[26] & 0x20) != 0;
    }
    if (fromPageF2) {
        unsigned char box[kVpdBoxLen];
        if (InquiryVpd(volume, kVpdBox, box, sizeof box) != 0) {
            return ErrEnd(kName, volume, __LINE__);
        }
        WriteLog(1, nullptr, 0, "GetBoxID From Inquiry Command Page F2. [%s] [%d]",
                 LogText(volume), __LINE__);
        std::memcpy(boxId, box + kBoxIdOffsetF2, ZRK_BOXID_LEN);
    } else {
        unsigned char box[ZRK_BOXID_LEN] = {};
        unsigned char cdb[10] = {0x3C, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x28, 0x00};
        if (DoScsi(volume, 0, cdb, sizeof cdb, box, sizeof box) != 0) {
            return ErrEnd(kName, volume, __LINE__);
        }
        WriteLog(1, nullptr, 0, "GetBoxID From Read Buffer Command. [%s] [%d]",
                 LogText(volume), __LINE__);
        std::memcpy(boxId, box, ZRK_BOXID_LEN);
    }
    return OkEnd(kName, volume, __LINE__);
}

extern "C" int CheckBoxID(const char *volume, const COPY_REQ *request,
                          unsigned char *boxIdOut) {
    static const char kName[] = "CheckBoxID";
    EntryLine(kName, volume, __LINE__);
    if (request == nullptr) {
        ZRKerrno = kInvalidParameter;
        return ErrEnd(kName, volume, __LINE__);
    }
    unsigned char own[ZRK_BOXID_LEN] = {};
    if (GetBoxID(volume, own) != 0) return ErrEnd(kName, volume, __LINE__);

    const unsigned char *src = request->SrcBoxID;
    const unsigned char *dst = request->DstBoxID;
    const bool remote = request->RemoteFlag != 0;
    const bool srcMatch = std::memcmp(src, own, ZRK_BOXID_LEN) == 0;
    const bool dstMatch = std::memcmp(dst, own, ZRK_BOXID_LEN) == 0;
    if (remote ? !(srcMatch || dstMatch) : !srcMatch) {
        WriteLog(16, src, ZRK_BOXID_LEN, "SrcBoxID");
        if (remote) WriteLog(16, dst, ZRK_BOXID_LEN, "DstBoxID");
        WriteLog(16, own, ZRK_BOXID_LEN, "BoxID");
        ZRKerrno = remote ? kInvalidBoxId : kDifferentZrk;
        return ErrEnd(kName, volume, __LINE__);
    }
    if (boxIdOut != nullptr) std::memcpy(boxIdOut, own, ZRK_BOXID_LEN);
    return OkEnd(kName, volume, __LINE__);
}

extern "C" int GetSupportCopyInfo(const char *volume, unsigned char *support,
                                  unsigned char *remoteSupport) {
    static const char kName[] = "GetSupportCopyInfo";
    EntryLine(kName, volume, __LINE__);

    unsigned char reply[kSupportPageLen];
    const unsigned char session[2] = {0, 0};
    if (ExecTravoIn(volume, 0x01, 0x00, session, reply, sizeof reply) != 0) {
        return ErrEnd(kName, volume, __LINE__);
    }
    const unsigned char *s = reply + 8;
    if (support != nullptr) std::memcpy(support, s, ZRK_SUPPORT_DATA_LEN);
    if (remoteSupport != nullptr) *remoteSupport = 0;

    if (((s[7] | s[15] | s[23] | s[31]) & 0x01) == 0) {
        ZRKerrno = kSetupInadequate;
        return ErrEnd(kName, volume, __LINE__);
    }

    unsigned char remote = 0;
    if ((s[15] & 0x01) != 0) remote |= ZRK_REMOTE_KZP;
    if ((s[31] & 0x01) != 0) remote |= ZRK_REMOTE_RVZ;
    if (remoteSupport != nullptr) *remoteSupport = remote;

    // The group bytes in the order of the bits 0x01, 0x02, 0x04, 0x08.
    static const int kGroupByte[4] = {15, 31, 7, 23};
    ZRKsession4096 = 0;
    ZRKsession4096out = 0;
    for (int i = 0; i < 4; ++i) {
        if ((s[kGroupByte[i]] & 0x20) != 0) ZRKsession4096 |= static_cast<unsigned char>(1u << i);
        if ((s[kGroupByte[i]] & 0x40) != 0) ZRKsession4096out |= static_cast<unsigned char>(1u << i);
    }

    CtrlSupportData(nullptr, ZRK_STORE_CLEAR);
    CtrlSupportData(const_cast<unsigned char *>(s), ZRK_STORE_WRITE);

    if (ZRKstorageflg == 1) {
        unsigned char qm[ZRK_QM_SUPPORT_DATA_LEN] = {};
        std::memcpy(qm, s, ZRK_SUPPORT_DATA_LEN);
        if (((s[21] | s[29]) & 0x01) != 0) {
            unsigned char page2[kQmPageLen];
            if (ExecTravoIn(volume, 0x01, 0x02, session, page2, sizeof page2) != 0) {
                return ErrEnd(kName, volume, __LINE__);
            }
            std::memcpy(qm + ZRK_SUPPORT_DATA_LEN, page2 + 8, 8);
        }
        CtrlQmSupportData(nullptr, ZRK_STORE_CLEAR);
        CtrlQmSupportData(qm, ZRK_STORE_WRITE);
        WriteLog(1, qm, sizeof qm, "GetSupportCopyInfo Support Info [%s] [%d]", LogText(volume),
                 __LINE__);
    }

    WriteLog(1, nullptr, 0, "ucpRemoteSupport = <0x%x>", remote);
    WriteLog(1, nullptr, 0, "4096 support = <0x%x>", ZRKsession4096);
    WriteLog(1, nullptr, 0, "4096out support = <0x%x>", ZRKsession4096out);
    return OkEnd(kName, volume, __LINE__);
}

extern "C" int GetMaxSessionCount(const char *volume, unsigned char page,
                                  unsigned char *maxCount) {
    static const char kName[] = "GetMaxSessionCount";
    EntryLine(kName, volume, __LINE__);
    if (maxCount == nullptr) {
        ZRKerrno = kInvalidParameter;
        return ErrEnd(kName, volume, __LINE__);
    }
    unsigned char reply[kSessionCountPageLen];
    const unsigned char session[2] = {0, 0};
    if (ExecTravoIn(volume, 0x01, page, session, reply, sizeof reply) != 0) {
        return ErrEnd(kName, volume, __LINE__);
    }
    std::memcpy(maxCount, reply + 8, ZRK_MAX_SESSION_LEN);
    WriteLog(1, nullptr, 0,
             "PageCode=<0x%x>\nMaxSessionInOlu=<%d> MaxSessionInAllOlu=<%d> "
             "MaxSessionInMlu=<%d> MaxSessionInAllMlu=<%d>",
             page, static_cast<int>(ShiftBtoI(reply + 8, 2)),
             static_cast<int>(ShiftBtoI(reply + 10, 2)), static_cast<int>(ShiftBtoI(reply + 12, 2)),
             static_cast<int>(ShiftBtoI(reply + 14, 2)));
    return OkEnd(kName, volume, __LINE__);
}

extern "C" int GetOLUStatusInfo(const char *volume, const unsigned char *olu,
                                unsigned char *status) {
    static const char kName[] = "GetOLUStatusInfo";
    EntryLine(kName, volume, __LINE__);
    if (olu == nullptr || status == nullptr) {
        ZRKerrno = kInvalidParameter;
        return ErrEnd(kName, volume, __LINE__);
    }
    unsigned char reply[kOluStatusPageLen];
    if (ExecTravoIn(volume, 0x01, 0x31, olu, reply, sizeof reply) != 0) {
        return ErrEnd(kName, volume, __LINE__);
    }
    std::memcpy(status, reply + 8, ZRK_OLU_STATUS_LEN);
    return OkEnd(kName, volume, __LINE__);
}

extern "C" int GetOLUStatus(const char *volume, int olu, unsigned char *status) {
    static const char kName[] = "GetOLUStatus";
    EntryLine(kName, volume, __LINE__, 2);
    if (status == nullptr) {
        ZRKerrno = kInvalidParameter;
        return ErrEnd(kName, volume, __LINE__, 2);
    }
    if (CheckProduct(volume) != 0) return ErrEnd(kName, volume, __LINE__, 2);
    unsigned char support[ZRK_SUPPORT_DATA_LEN];
    unsigned char remote = 0;
    if (GetSupportCopyInfo(volume, support, &remote) != 0) {
        return ErrEnd(kName, volume, __LINE__, 2);
    }
    if ((support[4] & 0x04) == 0) {
        ZRKerrno = kNotSupported;
        return ErrEnd(kName, volume, __LINE__, 2);
    }
    unsigned char oluBytes[2];
    SetItoB(oluBytes, olu, 2);
    unsigned char record[ZRK_OLU_STATUS_LEN];
    if (GetOLUStatusInfo(volume, oluBytes, record) != 0) {
        return ErrEnd(kName, volume, __LINE__, 2);
    }
    std::memcpy(status, record, sizeof record);
    return OkEnd(kName, volume, __LINE__, 2);
}

extern "C" int GetLunInformation(const char *volume, unsigned char *info) {
    static const char kName[] = "GetLunInformation";
    EntryLine(kName, volume, __LINE__);
    if (info == nullptr) {
        ZRKerrno = kInvalidParameter;
        return ErrEnd(kName, volume, __LINE__);
    }
    unsigned char reply[kModeSenseLen] = {};
    unsigned char cdb[6] = {0x1A, 0x08, 0x30, 0x00, kModeSenseLen, 0x00};
    if (DoScsi(volume, 0, cdb, sizeof cdb, reply, sizeof reply) != 0) {
        return ErrEnd(kName, volume, __LINE__);
    }
    std::memcpy(info, reply + kModeHeaderLen, ZRK_LUN_INFO_LEN);
    return OkEnd(kName, volume, __LINE__);
}

extern "C" int GetVPDInfo(const char *volume, unsigned char page, int length,
                          unsigned char *out) {
    static const char kName[] = "GetVPDInfo";
    EntryLine(kName, volume, __LINE__);
    if (out == nullptr || length < 0) {
        ZRKerrno = kInvalidParameter;
        ErrEnd(kName, volume, __LINE__);
        return 1;
    }
    PageList pages;
    if (pages.Read(volume) != 0) {
        ErrEnd(kName, volume, __LINE__);
        return 1;
    }
    if (page == kVpdList) {
        const int n = length < pages.Length() ? length : pages.Length();
        std::memcpy(out, pages.Codes(), static_cast<size_t>(n));
        OkEnd(kName, volume, __LINE__);
        return 0;
    }
    if (!pages.Has(page)) {
        OkEnd(kName, volume, __LINE__);
        return 2;
    }
    if (InquiryVpd(volume, page, out, length) != 0) {
        ErrEnd(kName, volume, __LINE__);
        return 1;
    }
    OkEnd(kName, volume, __LINE__);
    return 0;
}
