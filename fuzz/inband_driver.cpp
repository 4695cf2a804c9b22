// The drivers of the in-band fuzz targets (see inband_driver.h).
#include "inband_driver.h"

#include "fuzz_file.h"
#include "fuzz_host.h"
#include "fuzz_root.h"
#include "zrkclassic.h"
#include "zrkcmulti.h"
#include "zrkframe.h"
#include "zrktvc.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace zrkfuzz::inband {

namespace {

using Bytes = std::vector<unsigned char>;

[[noreturn]] void Fault(const char *function, const char *what) {
    std::fprintf(stderr, "%s: %s (ZRKerrno %d)\n", function, what, ZRKerrno);
    std::abort();
}

// ---- the paths and their arrays ----------------------------------------------

struct PathRow {
    const char *pPath;   /* the device path as an application gives it */
    int iArray;          /* index into kBoxes of the array it reaches */
};

const PathRow kPaths[kPathCount] = {
    {"/dev/sdb", 0},
    {"/dev/sdb1", 0},
    {"/dev/sdc", 1},
    {"/dev/sdd", 2},
    {"/dev/sde", 3},
    {"/dev/sdf", 4},
    {"/dev/mapper/mpatha", 0},
    {"/dev/mapper/lin1", 0},
    {"/dev/brdlx/c1/dsk/vol1:sdb", 0},
    {"/dev/disk/by-id/scsi-BOXA1-5-part1", 0},
    {"/dev/nvme0n1p2", 0},
    {"/dev/brdlx/c1/dsk/vol2", 0},
};

// The arrays' BoxIDs, blank padded to 40 bytes.
const char kBoxes[][ZRK_BOXID_LEN + 1] = {
    "BOX-A1                                  ",
    "BOX-A2                                  ",
    "BOX-A3                                  ",
    "BOX-A4                                  ",
    "BOX-A5                                  ",
};

// The destination form without a destination: all 0xFF.
const char kNoBox[ZRK_BOXID_LEN] = {
    '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF',
    '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF',
    '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF',
    '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF',
};

const PathRow &RowOf(uint8_t index) { return kPaths[index % kPathCount]; }

// ---- checks shared by the drivers ------------------------------------------------

// After a public function: the return convention, and the call's device
// released on every way out.
void CheckPublic(const char *function, int rc, int success = 0) {
    if (rc != success && rc != -1) Fault(function, "return value outside the convention");
    if (rc == -1 && ZRKerrno == 0) Fault(function, "failed without ZRKerrno");
    if (ZRKopenFlag != 0 || zrkfuzz::host::OpenDescriptors() != 0)
        Fault(function, "device left open");
}

// After an engine function: the return convention (some also answer -2).
void CheckEngine(const char *function, int rc, bool noSession = false) {
    if (rc != 0 && rc != -1 && !(noSession && rc == -2)) Fault(function, "return value");
    if (rc == -1 && ZRKerrno == 0) Fault(function, "failed without ZRKerrno");
}

// Reads every byte of an area handed back by the library.
void Touch(const void *data, size_t length) {
    const auto *bytes = static_cast<const volatile unsigned char *>(data);
    unsigned sum = 0;
    for (size_t i = 0; i < length; ++i) sum += bytes[i];
    (void)sum;
}

// ---- the copy pair of a selector ------------------------------------------------------

// Variant bits of the pair functions.
constexpr uint8_t kVarById = 0x01;      // the session named by ucArg
constexpr uint8_t kVarRemote = 0x02;    // destination on another array
constexpr uint8_t kVarExtent = 0x04;    // an extent instead of the whole volume
constexpr uint8_t kVarListSel = 0x08;   // ZRK_OPT_LIST_SEL_01
constexpr uint8_t kVarNoDest = 0x10;    // the form without a destination
constexpr uint8_t kVarLarge = 0x20;     // extents beyond 32 bits

struct Pair {
    const char *pSrcBox = nullptr;
    uint32_t uiSrcOlu = 5;
    uint32_t uiSrcExtHigh = 0, uiSrcExtLow = 0, uiSizeHigh = 0, uiSizeLow = 0;
    const char *pDstBox = nullptr;
    uint32_t uiDstOlu = 6;
    uint32_t uiDstExtHigh = 0, uiDstExtLow = 0;
    uint32_t uiInterval = 0;
    uint32_t uiOption = 0;
};

Pair PairOf(const Selector &s, uint32_t dstOlu = 6) {
    Pair p;
    const int array = RowOf(s.ucPath).iArray;
    p.pSrcBox = kBoxes[array];
    p.pDstBox = (s.ucVariant & kVarRemote) != 0 ? kBoxes[array == 0 ? 1 : 0] : kBoxes[array];
    p.uiDstOlu = dstOlu;
    if ((s.ucVariant & kVarById) != 0) {
        p.uiOption |= ZRK_OPT_SESSION_ID;
        p.uiSrcOlu = s.ucArg;
    }
    if ((s.ucVariant & kVarExtent) != 0) {
        p.uiSrcExtLow = 2048;
        p.uiSizeLow = 4096;
        p.uiDstExtLow = 0;
    }
    if ((s.ucVariant & kVarLarge) != 0) {
        p.uiSrcExtHigh = 1;
        p.uiSizeLow = 4096;
        p.uiDstExtHigh = 1;
    }
    if ((s.ucVariant & kVarListSel) != 0) p.uiOption |= ZRK_OPT_LIST_SEL_01;
    if ((s.ucVariant & kVarNoDest) != 0) {
        p.pDstBox = kNoBox;
        p.uiDstOlu = ZRK_NO_DEST;
        p.uiDstExtHigh = ZRK_NO_DEST;
        p.uiDstExtLow = ZRK_NO_DEST;
    }
    return p;
}

// The pair's eleven arguments after LogicalVol.
#define ZRK_FUZZ_PAIR_ARGS(p)                                                                   \
    (p).pSrcBox, (p).uiSrcOlu, (p).uiSrcExtHigh, (p).uiSrcExtLow, (p).uiSizeHigh,             \
        (p).uiSizeLow, (p).pDstBox, (p).uiDstOlu, (p).uiDstExtHigh, (p).uiDstExtLow,          \
        (p).uiInterval

// The identification that every in-band call starts with; what the engine
// functions below rely on being in the stores. Failures are part of the
// input's story: the function then runs on empty stores.
unsigned char Identify(const char *path) {
    CheckEngine("CheckProduct", CheckProduct(path));
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    unsigned char remote = 0;
    CheckEngine("GetSupportCopyInfo", GetSupportCopyInfo(path, support, &remote));
    unsigned char box[ZRK_BOXID_LEN] = {};
    if (GetBoxID(path, box) == 0) CtrlCommonData(box, ZRK_COMMON_SET_BOXID);
    CtrlCommonData(&remote, ZRK_COMMON_SET_REMOTE);
    return remote;
}

// The classic copy request of a selector.
COPY_REQ ClassicRequest(const Selector &s) {
    const Pair p = PairOf(s);
    COPY_REQ request{};
    MakeReq(&request, p.pSrcBox, p.uiSrcOlu, p.uiSrcExtLow, p.uiSizeLow, p.pDstBox, p.uiDstOlu,
            p.uiDstExtLow, p.uiInterval);
    request.ucVolumeRole = 1;
    return request;
}

// The caller's Detail area of the detail queries.
constexpr uint32_t kDetailLen = 256;

// The largest SnapKZP+ generation list an array can describe.
constexpr size_t kSnapListMax = ZRK_SNAP_LIST_HEAD_LEN + ZRK_SNAP_LIST_SLOT_LEN * 0xFFFFu;

}  // namespace

const char *PathOf(uint8_t index) { return RowOf(index).pPath; }
const char *BoxOf(uint8_t index) { return kBoxes[RowOf(index).iArray]; }

void ResetLibrary() {
    ZRKopenFlag = 0;
    ZRKopenFd = 0;
    ZRKerrno = 0;
    ZRKbvm = 0;
    ZRKstorageflg = 0;
    ZRKsession4096 = 0;
    ZRKsession4096out = 0;
    ZRKOptionFlag = 0;
    ZRKsessionid = 0;
    ConvertCheckflg = ZRK_CONVERT_ALWAYS;
    ZRKstorage_cluster = 0;
    ZRKstorage_clustergroup = 0;
    std::memset(ZRKstorage_clustervol, 0, sizeof ZRKstorage_clustervol);
    CtrlSenseData(nullptr, 0, ZRK_SENSE_CLEAR);
    CtrlSupportData(nullptr, ZRK_STORE_CLEAR);
    CtrlQmSupportData(nullptr, ZRK_STORE_CLEAR);
    CtrlInqSupportData(nullptr, ZRK_STORE_CLEAR);
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_BOXID);
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_MAXSES);
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_REMOTE);
}

int Run(const uint8_t *data, size_t size, Driver driver) {
    if (size < kSelectorLen) return 0;
    const Selector s{data[0], data[1], data[2], data[3]};
    ResetLibrary();
    zrkfuzz::host::Feed(data + kSelectorLen, size - kSelectorLen);
    driver(s);
    CloseSharedDevice();
    if (zrkfuzz::host::OpenDescriptors() != 0) Fault("driver", "descriptor left open");
    zrkfuzz::host::Feed(nullptr, 0);
    return 0;
}

// A detail list the caller holds: the next record's bytes, as whole entries.
std::vector<DETAIL_LIST_INFO> TakeDetailList() {
    std::string_view bytes;
    zrkfuzz::host::TakePayload(&bytes);
    std::vector<DETAIL_LIST_INFO> list(bytes.size() / sizeof(DETAIL_LIST_INFO));
    if (!list.empty()) std::memcpy(list.data(), bytes.data(), list.size() * sizeof(DETAIL_LIST_INFO));
    return list;
}

void PrepareInstallRoot() {
    static bool done = false;
    if (done) return;
    done = true;
    const InstallRoot &root = InstallRoot::Get();
    root.InstallCatalogue(".zrk_errinf_wxapi");
    root.InstallCatalogue(".zrk_errinf_velk");
    unsetenv("WXAPI_LOG_FLAG");
    unsetenv("WXAPI_RPART_FLAG");
}

// ---- session queries and SnapKZP+ pages (public functions) -----------------------------

void DriveQuery(const Selector &s) {
    const char *path = PathOf(s.ucPath);
    Bytes sense(ZRK_SENSE_LEN);
    Bytes detail(kDetailLen);
    const Pair p = PairOf(s);
    const Pair snap = PairOf(s, 7);
    const uint32_t byId = p.uiOption & ZRK_OPT_SESSION_ID;
    switch (s.ucFunction % 12) {
    case 0: {
        uint32_t status = 0, phase = 0, high = 0, low = 0;
        CheckPublic("ZRKLVQueryVZ", ZRKLVQueryVZ(path, ZRK_FUZZ_PAIR_ARGS(p), byId, &status,
                                                 &phase, &high, &low, sense.data()));
        break;
    }
    case 1:
        CheckPublic("ZRKLVQueryVZDetail",
                    ZRKLVQueryVZDetail(path, ZRK_FUZZ_PAIR_ARGS(p), 0, detail.data(), sense.data()));
        break;
    case 2:
        CheckPublic("ZRKLVQueryVZSession",
                    ZRKLVQueryVZSession(path, s.ucArg, 0, detail.data(), sense.data()));
        break;
    case 3: {
        uint32_t status = 0, high = 0, low = 0, lapse = 0;
        CheckPublic("ZRKLVQueryKZP", ZRKLVQueryKZP(path, ZRK_FUZZ_PAIR_ARGS(p), byId, &status,
                                                   &high, &low, &lapse, sense.data()));
        break;
    }
    case 4:
        CheckPublic("ZRKLVQueryKZPDetail",
                    ZRKLVQueryKZPDetail(path, ZRK_FUZZ_PAIR_ARGS(p),
                                        p.uiOption & ZRK_OPT_LIST_SEL_01, detail.data(),
                                        sense.data()));
        break;
    case 5:
        CheckPublic("ZRKLVQueryKZPSession",
                    ZRKLVQueryKZPSession(path, s.ucArg, 0, detail.data(), sense.data()));
        break;
    case 6: {
        // The detail area is as long as the caller says.
        const uint32_t length = (s.ucVariant & 0x40) != 0 ? s.ucArg : kDetailLen;
        Bytes area(length);
        CheckPublic("ZRKLVQueryDetail",
                    ZRKLVQueryDetail(path, ZRK_FUZZ_PAIR_ARGS(p), p.uiOption, length, area.data(),
                                     sense.data()));
        break;
    }
    case 7: {
        static Bytes *list = new Bytes(kSnapListMax);
        CheckPublic("ZRKLVGeneraListSnapKZP_p",
                    ZRKLVGeneraListSnapKZP_p(path, snap.pSrcBox, snap.uiSrcOlu, snap.uiSrcExtHigh,
                                             snap.uiSrcExtLow, snap.uiSizeHigh, snap.uiSizeLow, 0,
                                             list->data(), sense.data()));
        break;
    }
    case 8: {
        Bytes info(16);
        CheckPublic("ZRKLVGeneraInfoSnapKZP_p",
                    ZRKLVGeneraInfoSnapKZP_p(path, ZRK_FUZZ_PAIR_ARGS(snap), byId, info.data(),
                                             sense.data()));
        break;
    }
    case 9: {
        Bytes pool(ZRK_POOL_INFO_LEN);
        CheckPublic("ZRKLVPoolInfoSnapKZP_p",
                    ZRKLVPoolInfoSnapKZP_p(path, 0, pool.data(), sense.data()));
        break;
    }
    case 10: {
        Bytes pool(ZRK_POOL_INFO_LEN);
        CheckPublic("ZRKLVGetPoolExtSize",
                    ZRKLVGetPoolExtSize(path, ZRK_FUZZ_PAIR_ARGS(snap), byId, pool.data(),
                                        sense.data()));
        break;
    }
    default: {
        // A detail list the caller holds: the next record's bytes.
        std::vector<DETAIL_LIST_INFO> list = TakeDetailList();
        const size_t count = list.size();
        TVC_DETAIL_INFO out{};
        uint32_t kind = 0;
        const int rc = ZRKLVQueryDetailfromList(s.ucArg % 3, static_cast<uint32_t>(count),
                                                list.data(), ZRK_FUZZ_PAIR_ARGS(p), &out, &kind);
        CheckPublic("ZRKLVQueryDetailfromList", rc);
        break;
    }
    }
}

// ---- lists, details, identification and pages (engine functions) ------------------------

void DriveLists(const Selector &s) {
    const char *path = PathOf(s.ucPath);
    const unsigned char remote = Identify(path);
    const unsigned char sessionId[2] = {0, s.ucArg};
    const COPY_REQ request = ClassicRequest(s);
    switch (s.ucFunction % 21) {
    case 0: {
        // Room for ucArg entries, or for one page and a half.
        const int capacity = (s.ucVariant & 0x40) != 0 ? s.ucArg : ZRK_DETAIL_PAGE_ENTRIES * 3 / 2;
        std::vector<DETAIL_LIST_INFO> area(static_cast<size_t>(capacity));
        int count = -1;
        const int rc = GetDetailList(path, (s.ucVariant & 0x80) != 0 ? ZRK_LIST_MODE_ALL : 0,
                                     &count, area.data(), capacity);
        CheckEngine("GetDetailList", rc);
        if (rc == 0 && (count < 0 || count > capacity)) Fault("GetDetailList", "count");
        break;
    }
    case 1: {
        std::vector<DETAIL_LIST_INFO> area(ZRK_DETAIL_PAGE_ENTRIES);
        int count = -1;
        unsigned int next = 0;
        const int rc = GetDetailList_sub(path, (s.ucVariant & 0x80) != 0 ? ZRK_LIST_MODE_ALL : 0,
                                         s.ucArg, &count, &next, area.data());
        CheckEngine("GetDetailList_sub", rc);
        if (rc == 0 && (count < 0 || count > ZRK_DETAIL_PAGE_ENTRIES))
            Fault("GetDetailList_sub", "count");
        break;
    }
    case 2: {
        static const unsigned char kPages[] = {ZRK_PAGE_LOCAL_KZP_LIST, ZRK_PAGE_LOCAL_VZ_LIST,
                                               ZRK_PAGE_REMOTE_KZP_LIST, ZRK_PAGE_REMOTE_VZ_LIST};
        unsigned char *list = nullptr;
        int count = -1;
        const int rc = GetSessionIdList(path, kPages[s.ucVariant % 4], remote,
                                        (s.ucVariant & 0x80) != 0 ? 2 : 1, &list, &count);
        CheckEngine("GetSessionIdList", rc);
        if (rc == 0) {
            if (list == nullptr || count < 0) Fault("GetSessionIdList", "list");
            Touch(list, ZRK_SESSION_LIST_HEAD_LEN + sizeof(SESSION_ID_ENTRY) * static_cast<size_t>(count));
        }
        std::free(list);
        break;
    }
    case 3: {
        unsigned char *list = nullptr;
        const int rc = GetTVCSessionIdList(path, (s.ucVariant & 1) != 0 ? ZRK_FAMILY_VZ : ZRK_FAMILY_KZP,
                                           &list);
        CheckEngine("GetTVCSessionIdList", rc);
        if (rc == 0) Touch(list, 8 + ShiftBtoI(list + 4, 4));
        std::free(list);
        break;
    }
    case 4: {
        unsigned char *reply = nullptr;
        int length = -1;
        const int rc = (s.ucVariant & 1) != 0 ? RVZBuffInfo(path, &reply, &length)
                                              : GetRVZBuffInfo(path, &reply, &length);
        CheckEngine("GetRVZBuffInfo", rc);
        if (rc == 0) Touch(reply, static_cast<size_t>(length));
        std::free(reply);
        break;
    }
    case 5: {
        static const unsigned char kPages[] = {ZRK_PAGE_LOCAL_KZP_DETAIL, ZRK_PAGE_LOCAL_VZ_DETAIL,
                                               ZRK_PAGE_REMOTE_KZP_DETAIL,
                                               ZRK_PAGE_REMOTE_VZ_DETAIL};
        RVZ_DETAIL_INFO detail{};
        CheckEngine("GetSessionDetailInfo",
                    GetSessionDetailInfo(path, sessionId, kPages[s.ucVariant % 4], remote, 1, &detail),
                    true);
        break;
    }
    case 6: {
        unsigned char id[2] = {};
        RVZ_DETAIL_INFO detail{};
        CheckEngine("SearchVzSession", SearchVzSession(path, &request, remote, id, &detail));
        break;
    }
    case 7: {
        unsigned char id[2] = {};
        RKZP_DETAIL_INFO detail{};
        CheckEngine("SearchKzpSession", SearchKzpSession(path, &request, remote, id, &detail));
        break;
    }
    case 8: {
        static const unsigned char kPages[] = {ZRK_PAGE_LOCAL_KZP_LIST, ZRK_PAGE_LOCAL_VZ_LIST,
                                               ZRK_PAGE_REMOTE_KZP_LIST, ZRK_PAGE_REMOTE_VZ_LIST};
        Bytes count(ZRK_MAX_SESSION_LEN);
        CheckEngine("GetMaxSessionCount",
                    GetMaxSessionCount(path, kPages[s.ucVariant % 4], count.data()));
        break;
    }
    case 9: {
        Bytes status(ZRK_OLU_STATUS_LEN);
        CheckEngine("GetOLUStatus", GetOLUStatus(path, s.ucArg, status.data()));
        break;
    }
    case 10: {
        Bytes status(ZRK_OLU_STATUS_LEN);
        CheckEngine("GETOLUSTATUSINFO", GETOLUSTATUSINFO(path, sessionId, status.data()));
        break;
    }
    case 11: {
        Bytes info(ZRK_LUN_INFO_LEN);
        CheckEngine("GetLunInformation", GetLunInformation(path, info.data()));
        break;
    }
    case 12: {
        static const unsigned char kPages[] = {0x00, 0xF0, 0xF2, 0x83};
        const int length = (s.ucVariant & 0x40) != 0 ? s.ucArg : 96;
        Bytes out(static_cast<size_t>(length));
        const int rc = GetVPDInfo(path, kPages[s.ucVariant % 4], length, out.data());
        if (rc < 0 || rc > 2) Fault("GetVPDInfo", "return value");
        break;
    }
    case 13: {
        unsigned char box[ZRK_BOXID_LEN];
        CheckEngine("CheckBoxID", CheckBoxID(path, &request, box));
        break;
    }
    case 14: {
        // Once more after CheckProduct: the role of the held volume may change.
        CheckEngine("CheckFailOver", CheckFailOver(path));
        break;
    }
    case 15: {
        Bytes entry(ZRK_DETAIL_LIST_ENTRY_LEN);
        const unsigned char olu[2] = {0, 5};
        const int rc = GetTfoSession(path, olu, reinterpret_cast<const unsigned char *>(BoxOf(s.ucPath)),
                                     entry.data());
        if (rc != 0 && rc != -1) Fault("GetTfoSession", "return value");
        break;
    }
    case 16: {
        ConvertCheckflg = s.ucVariant % 3;
        const auto *box = reinterpret_cast<const unsigned char *>(BoxOf(s.ucPath));
        CheckEngine("ConvertPrimaryBoxID",
                    ConvertPrimaryBoxID(path, (s.ucVariant & 0x40) != 0 ? nullptr : box,
                                        (s.ucVariant & 0x80) != 0 ? nullptr : box));
        break;
    }
    case 17: {
        // A page 0x24 reply and a buffer record of it, as the next record gives them.
        std::string_view reply;
        zrkfuzz::host::TakePayload(&reply);
        const Bytes page(reply.begin(), reply.end());
        Bytes record(ZRK_BUFF24_RECORD_LEN);
        if (SearchBuffInfo24_Ex(page.data(), page.size(), s.ucArg, record.data()) == 0) {
            Bytes cm(ZRK_CM24_RECORD_LEN);
            SearchCmInfo24_Ex(record.data(), record.size(), sessionId, cm.data());
        }
        Bytes cm(ZRK_CM24_RECORD_LEN);
        SearchCmInfo24_Ex(page.data(), page.size(), sessionId, cm.data());
        break;
    }
    case 18: {
        // The concurrent suspend of 1 to 4 pairs, through the public function.
        const int count = s.ucArg % 4 + 1;
        std::vector<CONC_SUS_PAIR_LV> pairs(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const Pair p = PairOf(s);
            CONC_SUS_PAIR_LV &c = pairs[static_cast<size_t>(i)];
            std::memcpy(c.SrcBoxID, p.pSrcBox, ZRK_BOXID_LEN);
            std::memcpy(c.DstBoxID, p.pDstBox, ZRK_BOXID_LEN);
            c.SrcOlu = p.uiSrcOlu + static_cast<uint32_t>(i);
            c.DstOlu = p.uiDstOlu + static_cast<uint32_t>(i);
        }
        std::vector<uint32_t> results(static_cast<size_t>(count));
        Bytes sense(ZRK_SENSE_LEN);
        CloseSharedDevice();
        CheckPublic("ZRKLVMultiSuspendVZ",
                    ZRKLVMultiSuspendVZ(path, pairs.data(), count,
                                        (s.ucVariant & 0x40) != 0 ? ZRK_OPT_UNTRANSFERRED : 0,
                                        results.data(), sense.data()));
        break;
    }
    case 19: {
        // The transport's reply of an arbitrary page, read as the engine reads one.
        Bytes reply(s.ucArg);
        CheckEngine("ExecTravoIn", ExecTravoIn(path, s.ucVariant & 0x07, s.ucVariant, sessionId,
                                               reply.data(), static_cast<int>(reply.size())));
        break;
    }
    default: {
        // The classic search of a detail list the caller holds: the next record's bytes.
        std::vector<DETAIL_LIST_INFO> list = TakeDetailList();
        const size_t count = list.size();
        DETAIL_LIST_INFO entry{};
        CheckEngine("QueryDetailfromList",
                    QueryDetailfromList(static_cast<int>(count), list.data(), s.ucVariant % 3,
                                        &entry, request));
        break;
    }
    }
}

// ---- volume information ----------------------------------------------------------------

void DriveVolumeInfo(const Selector &s) {
    const char *path = PathOf(s.ucPath);
    Bytes sense(ZRK_SENSE_LEN);
    const uint32_t option = (s.ucVariant & 1) != 0 ? ZRK_OPT_NO_SWAP : 0;
    switch (s.ucFunction % 4) {
    case 0:
    case 1: {
        char box[ZRK_BOXID_LEN];
        uint32_t olu = 0, extHigh = 0, extLow = 0, sizeHigh = 0, sizeLow = 0;
        VOL_INFO info{};
        VOL_INFO_EX extra{};
        if (s.ucFunction % 4 == 0) {
            CheckPublic("ZRKLVGetVolumeInfo",
                        ZRKLVGetVolumeInfo(path, 0, option, box, &olu, &extHigh, &extLow, &sizeHigh,
                                           &sizeLow, &info, sense.data()),
                        1);
        } else {
            CheckPublic("ZRKLVGetVolumeInfoEx",
                        ZRKLVGetVolumeInfoEx(path, 0, option, box, &olu, &extHigh, &extLow,
                                             &sizeHigh, &sizeLow, &info, &extra, sense.data()),
                        1);
        }
        break;
    }
    case 2: {
        uint32_t high = 0, low = 0, length = 0;
        CheckPublic("ZRKLVGetBlockSize", ZRKLVGetBlockSize(path, &high, &low, &length, sense.data()));
        break;
    }
    default: {
        VOLUME_INFO_RECORD_LV record{};
        int useTvc = -1;
        const int rc = zrkGetVol_main(path, 0, option, &record, nullptr, &useTvc);
        CheckEngine("zrkGetVol_main", rc);
        break;
    }
    }
}

// ---- device paths and the transport ------------------------------------------------------

void DriveHostPaths(const Selector &s) {
    const char *path = PathOf(s.ucPath);
    ZRKbvm = (s.ucVariant & 0x80) != 0 ? 1 : 0;
    uint32_t startHigh = 0, startLow = 0, sizeHigh = 0, sizeLow = 0;
    switch (s.ucFunction % 11) {
    case 0: {
        char out[ZRK_DEVNAME_LEN + 1];
        const int rc = GetVolumeName(path, out);
        if (rc != 0 && rc != -1) Fault("GetVolumeName", "return value");
        if (strnlen(out, sizeof out) == sizeof out) Fault("GetVolumeName", "name not terminated");
        break;
    }
    case 1: {
        dev_t device = 0;
        const int rc = GetDeviceNumber(path, &device);
        if (rc != 0 && rc != -1) Fault("GetDeviceNumber", "return value");
        break;
    }
    case 2:
        CheckEngine("GetExtentInfo", GetExtentInfo(path, &startLow, &sizeLow));
        break;
    case 3:
        CheckEngine("GetExtentInfoForLV",
                    GetExtentInfoForLV(path, &startHigh, &startLow, &sizeHigh, &sizeLow));
        break;
    case 4:
        CheckEngine("GetVtocInfo", GetVtocInfo(path, &startLow, &sizeLow));
        break;
    case 5:
        CheckEngine("GetBvmVolumeInfo",
                    GetBvmVolumeInfo(path, &startHigh, &startLow, &sizeHigh, &sizeLow));
        break;
    case 6:
        CheckEngine("GetDmVolumeInfo",
                    GetDmVolumeInfo(path, &startHigh, &startLow, &sizeHigh, &sizeLow));
        break;
    case 7:
        CheckEngine("GetVtocInfoForLV",
                    GetVtocInfoForLV(path, &startHigh, &startLow, &sizeHigh, &sizeLow));
        break;
    case 8:
        CheckEngine("CheckLogicalVol", CheckLogicalVol(path));
        break;
    default: {
        // One command through the transport: standard INQUIRY of ucArg bytes,
        // or a TRAVO IN page; the sense store afterwards is whole.
        const bool older = s.ucFunction % 11 == 10;
        Bytes data(s.ucArg);
        unsigned char inquiry[6] = {0x12, 0, 0, 0, s.ucArg, 0};
        unsigned char travo[10] = {ZRK_OP_TRAVO_IN, 0x01, s.ucVariant, 0, 0, 0, 0, 0, s.ucArg, 0};
        unsigned char *cdb = (s.ucVariant & 1) != 0 ? travo : inquiry;
        const unsigned char cdbLength = (s.ucVariant & 1) != 0 ? sizeof travo : sizeof inquiry;
        const int rc = older ? DoScsi_sd(path, ZRK_DIR_FROM_DEVICE, cdb, cdbLength, data.data(),
                                         static_cast<int>(data.size()))
                             : DoScsi(path, 0, cdb, cdbLength, data.data(),
                                      static_cast<int>(data.size()));
        CheckEngine(older ? "DoScsi_sd" : "DoScsi", rc);
        Bytes store(ZRK_SENSE_LEN);
        CtrlSenseData(store.data(), static_cast<int>(store.size()), ZRK_SENSE_COPY_OUT);
        break;
    }
    }
}

}  // namespace zrkfuzz::inband

namespace zrkfuzz::inband {

// ---- the classic public functions that read the array ------------------------------------

namespace {

// The classic pair arguments of a selector (the low halves).
#define ZRK_FUZZ_CLASSIC_ARGS(p)                                                                \
    (p).pSrcBox, (p).uiSrcOlu, (p).uiSrcExtLow, (p).uiSizeLow, (p).pDstBox, (p).uiDstOlu,     \
        (p).uiDstExtLow, (p).uiInterval

// The largest areas the classic lists can fill: every session an array can
// count (16 bits) in the detail list, the status list and the RVZ buffer
// data, the identifier lists as large as the engine reads them.
constexpr size_t kDetailListMax = 0xFFFFu;
constexpr size_t kStatusListMax = 8 + 8 * 0xFFFFu;
constexpr size_t kBuffListMax = 0xFFFFu;

Bytes &Area(size_t size) {
    static Bytes *area = new Bytes;
    area->assign(size, 0);
    return *area;
}

} // namespace

void DriveClassic(const Selector &s) {
    const char *path = PathOf(s.ucPath);
    Bytes sense(ZRK_SENSE_LEN);
    const Pair p = PairOf(s);
    const uint32_t byId = p.uiOption & ZRK_OPT_SESSION_ID;
    switch (s.ucFunction % 21) {
    case 0: {
        // The detail area is as long as the caller says.
        const uint32_t length = (s.ucVariant & 0x40) != 0 ? s.ucArg : kDetailLen;
        Bytes area(length);
        CheckPublic("ZRKQueryDetail", ZRKQueryDetail(path, ZRK_FUZZ_CLASSIC_ARGS(p), byId, length,
                                                     area.data(), sense.data()));
        break;
    }
    case 1: {
        static std::vector<DETAIL_LIST_INFO> *list = new std::vector<DETAIL_LIST_INFO>(kDetailListMax);
        uint32_t count = 0;
        const uint32_t option = (s.ucVariant & 0x40) != 0 ? ZRK_OPT_LIST_FAILOVER
                                                          : p.uiOption & ZRK_OPT_LIST_SEL_01;
        const int rc = ZRKGetDetailList(path, option, &count, list->data(), sense.data());
        CheckPublic("ZRKGetDetailList", rc);
        if (rc == 0 && count > kDetailListMax) Fault("ZRKGetDetailList", "count");
        break;
    }
    case 2: {
        std::vector<DETAIL_LIST_INFO> list = TakeDetailList();
        Bytes detail(152);
        uint32_t kind = 0;
        const int rc = ZRKQueryDetailfromList(s.ucArg % 4, static_cast<uint32_t>(list.size()),
                                              list.data(), ZRK_FUZZ_CLASSIC_ARGS(p), detail.data(),
                                              &kind);
        CheckPublic("ZRKQueryDetailfromList", rc);
        break;
    }
    case 3: {
        Bytes &list = Area(kBuffListMax);
        CheckPublic("ZRKRVZBuffInfo", ZRKRVZBuffInfo(path, list.data(), sense.data()));
        break;
    }
    case 4: {
        RVZ_BUFF_SET_REQ request{};
        request.uhBuffID = s.ucArg;
        request.uhBuffType = static_cast<uint16_t>(1 + (s.ucVariant & 1));
        request.uhInterval = static_cast<uint16_t>(1u << ((s.ucVariant >> 1) % 3));
        request.uiMonitorTime = s.ucVariant >> 4;
        std::memcpy(request.ucaRemoteBoxID, kBoxes[(s.ucVariant & 0x08) != 0 ? 1 : 0], ZRK_BOXID_LEN);
        CheckPublic("ZRKRVZBuffSet", ZRKRVZBuffSet(path, &request, sense.data()));
        break;
    }
    case 5: {
        Bytes status(ZRK_OLU_STATUS_LEN);
        CheckPublic("ZRKGetOLUStatus", ZRKGetOLUStatus(path, s.ucArg, status.data(), sense.data()));
        break;
    }
    case 6:
    case 7: {
        Bytes &list = Area(ZRK_SESSION_LIST_MAX_AREA);
        const bool vz = s.ucFunction % 21 == 6;
        CheckPublic(vz ? "ZRKListVZ" : "ZRKListKZP",
                    (vz ? ZRKListVZ : ZRKListKZP)(path, 0, list.data(), sense.data()));
        break;
    }
    case 8: {
        Bytes &list = Area(kStatusListMax);
        CheckPublic("ZRKStatusListVZ", ZRKStatusListVZ(path, 0, list.data(), sense.data()));
        break;
    }
    case 9: {
        Bytes info(256);
        CheckPublic("ZRKGetCountInfo", ZRKGetCountInfo(path, info.data(), sense.data()));
        break;
    }
    case 10: {
        char box[ZRK_BOXID_LEN];
        uint32_t olu = 0, extent = 0, size = 0;
        Bytes info(sizeof(VOL_INFO));
        Bytes extra(sizeof(VOL_INFO_EX));
        if ((s.ucVariant & 1) != 0) {
            CheckPublic("ZRKGetVolumeInfoEx",
                        ZRKGetVolumeInfoEx(path, 0, 0, box, &olu, &extent, &size, info.data(),
                                           extra.data(), sense.data()),
                        1);
        } else {
            CheckPublic("ZRKGetVolumeInfo", ZRKGetVolumeInfo(path, 0, 0, box, &olu, &extent, &size,
                                                             info.data(), sense.data()),
                        1);
        }
        break;
    }
    case 11: {
        char box[ZRK_BOXID_LEN];
        Bytes list(ZRK_LU_MAPPING_LEN);
        CheckPublic("ZRKGetVolumeList", ZRKGetVolumeList(path, 0, box, list.data(), sense.data()));
        break;
    }
    case 12: {
        Bytes info(256);
        CheckPublic("ZRKGetVolumeConstInfo", ZRKGetVolumeConstInfo(path, 0, info.data(), sense.data()));
        break;
    }
    case 13: {
        Bytes list(ZRK_REMOTE_BOXID_LIST_LEN);
        CheckPublic("ZRKGetRemoteBoxIDList", ZRKGetRemoteBoxIDList(path, 0, list.data(), sense.data()));
        break;
    }
    case 14: {
        uint32_t status = 0, phase = 0, copied = 0;
        CheckPublic("ZRKQueryVZ", ZRKQueryVZ(path, ZRK_FUZZ_CLASSIC_ARGS(p), byId, &status, &phase,
                                             &copied, sense.data()));
        break;
    }
    case 15: {
        Bytes detail(kDetailLen);
        CheckPublic("ZRKQueryVZDetail", ZRKQueryVZDetail(path, ZRK_FUZZ_CLASSIC_ARGS(p), 0,
                                                         detail.data(), sense.data()));
        break;
    }
    case 16: {
        Bytes detail(kDetailLen);
        CheckPublic("ZRKQueryVZSession",
                    ZRKQueryVZSession(path, s.ucArg, 0, detail.data(), sense.data()));
        break;
    }
    case 17: {
        uint32_t status = 0, copied = 0, lapse = 0;
        CheckPublic("ZRKQueryKZP", ZRKQueryKZP(path, ZRK_FUZZ_CLASSIC_ARGS(p), byId, &status,
                                               &copied, &lapse, sense.data()));
        break;
    }
    case 18: {
        Bytes detail(kDetailLen);
        CheckPublic("ZRKQueryKZPDetail", ZRKQueryKZPDetail(path, ZRK_FUZZ_CLASSIC_ARGS(p), 0,
                                                           detail.data(), sense.data()));
        break;
    }
    case 19: {
        // The session record alone: 152 bytes.
        Bytes detail(152);
        CheckPublic("ZRKQueryKZPSession",
                    ZRKQueryKZPSession(path, s.ucArg, 0, detail.data(), sense.data()));
        break;
    }
    default: {
        // One or two pairs; a result of 4 bytes each.
        const uint32_t count = 1 + (s.ucArg & 1);
        std::vector<CONC_SUS_PAIR> pairs(count);
        for (CONC_SUS_PAIR &e : pairs) {
            std::memcpy(e.SrcBoxID, p.pSrcBox, ZRK_BOXID_LEN);
            std::memcpy(e.DstBoxID, p.pDstBox, ZRK_BOXID_LEN);
            e.SrcOlu = p.uiSrcOlu;
            e.DstOlu = p.uiDstOlu;
        }
        Bytes result(4 * count);
        CheckPublic("ZRKMultiSuspendVZ", ZRKMultiSuspendVZ(path, pairs.data(), count, 0,
                                                           result.data(), sense.data()));
        break;
    }
    }
}

// The extended functions that read the array: the device, logical-unit and
// OLU status reads and the copy protection setting, the RVZ buffer and copy
// priority reads and the priority setting, the light volume information.
void DriveExtended(const Selector &s) {
    const char *path = PathOf(s.ucPath);
    Bytes sense(ZRK_SENSE_LEN);
    switch (s.ucFunction % 8) {
    case 0: {
        const int type = 1 + s.ucVariant % 3;
        Bytes info(ZRK_DEVICE_INFO_BOX_LEN);
        CheckPublic("ZRKGetDeviceInfo", ZRKGetDeviceInfo(path, type, info.data(), sense.data()));
        break;
    }
    case 1: {
        Bytes info(ZRK_DEVICE_INFO_INQUIRY_LEN);
        CheckPublic("ZRKGetLogicalUnitInfo", ZRKGetLogicalUnitInfo(path, info.data(), sense.data()));
        break;
    }
    case 2: {
        // A range of up to 1024 OLUs from the argument on.
        const uint32_t start = s.ucArg;
        const uint32_t end = start + (s.ucVariant & 0x03) * 341u;
        Bytes list(ZRK_OLU_STATUS_LIST_LEN(start, end));
        CheckPublic("ZRKGetOLUStatusList",
                    ZRKGetOLUStatusList(path, start, end, list.data(), sense.data()));
        break;
    }
    case 3: {
        const unsigned char status[2] = {static_cast<unsigned char>(s.ucVariant & 1), 0};
        CheckPublic("ZRKSetOLUStatus", ZRKSetOLUStatus(path, s.ucArg, status, sense.data()));
        break;
    }
    case 4: {
        RVZ_BUFF_INFO info{};
        CheckPublic("ZRKGetRVZBuffInfo", ZRKGetRVZBuffInfo(path, 0, &info, sense.data()));
        break;
    }
    case 5: {
        COPY_PRIORITY_INFO info{};
        CheckPublic("ZRKGetCopyPriority", ZRKGetCopyPriority(path, &info, sense.data()));
        break;
    }
    case 6: {
        COPY_PRIORITY_SET setting{};
        setting.ucKind = s.ucVariant & 1;
        setting.ucLevel = s.ucArg;
        std::memcpy(setting.BoxID, kBoxes[(s.ucVariant & 0x02) != 0 ? 1 : 0], ZRK_BOXID_LEN);
        setting.ucSubKind = (s.ucVariant >> 2) & 1;
        setting.ucSwitch = (s.ucVariant >> 3) & 1;
        CheckPublic("ZRKSetCopyPriority", ZRKSetCopyPriority(path, sense.data(), setting));
        break;
    }
    default: {
        char box[ZRK_BOXID_LEN];
        uint32_t olu = 0, extHigh = 0, extLow = 0, sizeHigh = 0, sizeLow = 0;
        VOL_INFO_EX extra{};
        if ((s.ucVariant & 1) != 0) {
            CheckPublic("ZRKLVGetVolumeInfoLiteEx",
                        ZRKLVGetVolumeInfoLiteEx(path, 0, 0, box, &olu, &extHigh, &extLow, &sizeHigh,
                                                 &sizeLow, nullptr, &extra, sense.data()),
                        1);
        } else {
            CheckPublic("ZRKLVGetVolumeInfoLite",
                        ZRKLVGetVolumeInfoLite(path, 0, 0, box, &olu, &extHigh, &extLow, &sizeHigh,
                                               &sizeLow, nullptr, sense.data()),
                        1);
        }
        break;
    }
    }
}

}  // namespace zrkfuzz::inband
