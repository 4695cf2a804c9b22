// Parameter lists of the classic copy operations: golden bytes of every list
// the fifteen builders make, from a copy request and from a session's
// detail, with the option bits each builder reads; the undoing stops of a
// refused start; the QM forms with and without the array's choice of modes;
// null inputs; and the builders' lines in the debug log.
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkcmd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

const unsigned char kId[2] = {0x00, 0x12}; // the reserved session identifier
const std::string kA1 = BoxId("BOX-A1");
const std::string kA2 = BoxId("BOX-A2");
const std::string kHexA1 = BoxIdHex("BOX-A1");
const std::string kHexA2 = BoxIdHex("BOX-A2");
const auto *kOwnA1 = reinterpret_cast<const unsigned char *>(kA1.data());
const auto *kOwnA2 = reinterpret_cast<const unsigned char *>(kA2.data());

template <size_t N> void Set(unsigned char (&field)[N], const std::string &hex) {
    const Bytes b = Hex(hex);
    ASSERT_EQ(b.size(), N) << hex;
    std::memcpy(field, b.data(), N);
}

// A request from BOX-A1 OLU 5 to BOX-A2 OLU 6 (32-bit destination dstFull):
// source extent 0x11121314, size 0x21222324, destination extent 0x31323334,
// interval 3, volume role 1.
COPY_REQ Request(bool remote, bool whole, const std::string &dstFull = "00010009") {
    COPY_REQ r{};
    std::memcpy(r.SrcBoxID, kA1.data(), ZRK_BOXID_LEN);
    std::memcpy(r.DstBoxID, kA2.data(), ZRK_BOXID_LEN);
    Set(r.SrcOlu, "0005");
    Set(r.DstOlu, "0006");
    r.WholeVolumeFlag = whole ? 1 : 0;
    Set(r.SrcExtent, "11121314");
    Set(r.DstExtent, "31323334");
    Set(r.SrcSize, "21222324");
    Set(r.CopyInterval, "0003");
    r.RemoteFlag = remote ? 1 : 0;
    r.ucVolumeRole = 1;
    Set(r.ucaDstOluFull, dstFull);
    return r;
}

// A detail over a counting background (bytes no list may take): session
// 0x21, partner 0x42, the given flag byte, byte 8 the given family bytes,
// role 1, BoxIDs A1 and A2, OLUs 0x00010005 and 0x00020009, the given extent
// count, source extent 0x41424344, size 0x51525354, destination extent
// 0x61626364.
RVZ_DETAIL_INFO Detail(unsigned char flags, const std::string &extentCnt,
                       const std::string &family8 = "02010000") {
    auto d = RecordOf<RVZ_DETAIL_INFO>(Counting(sizeof(RVZ_DETAIL_INFO), 0x80));
    Set(d.ucaSessionID, "0021");
    Set(d.ucaPartnerID, "0042");
    d.ucFlags = flags;
    Set(d.ucaFamily8, family8);
    d.ucVolumeRole = 1;
    std::memcpy(d.SrcBoxID, kA1.data(), ZRK_BOXID_LEN);
    std::memcpy(d.DstBoxID, kA2.data(), ZRK_BOXID_LEN);
    Set(d.SrcOlu, "00010005");
    Set(d.DstOlu, "00020009");
    Set(d.ucaExtentCnt, extentCnt);
    Set(d.SrcExtent, "41424344");
    Set(d.SrcSize, "51525354");
    Set(d.DstExtent, "61626364");
    return d;
}

// A list of size bytes, dirty before the builder runs.
Bytes Built(size_t size, const std::function<void(unsigned char *)> &build) {
    Bytes b(size, 0xEE);
    build(b.data());
    return b;
}
Bytes Local(const std::function<void(unsigned char *)> &build) { return Built(ZRK_PRM_LOCAL_LEN, build); }
Bytes Remote(const std::function<void(unsigned char *)> &build) { return Built(ZRK_PRM_REMOTE_LEN, build); }
Bytes Extended(const std::function<void(TVC_EXEC *)> &build) {
    TVC_EXEC page;
    std::memset(&page, 0xEE, sizeof page);
    build(&page);
    return BytesOf(page);
}

// The QM support store with or without the choice of the RVZ modes (byte
// 29, bit 0); cleared when the scope ends.
class QmSupport {
public:
    explicit QmSupport(bool choice) {
        unsigned char qm[ZRK_QM_SUPPORT_DATA_LEN] = {};
        if (choice) qm[ZRK_SUPPORT_RVZ_FUNCS] = ZRK_SUPPORT_SUSPEND;
        CtrlQmSupportData(qm, ZRK_STORE_WRITE);
    }
    ~QmSupport() { CtrlQmSupportData(nullptr, ZRK_STORE_CLEAR); }
    QmSupport(const QmSupport &) = delete;
    QmSupport &operator=(const QmSupport &) = delete;
};

struct Row {
    const char *what;
    Bytes got;
    Patches expected; // over zeros, code and length included
};

void ExpectRows(const std::vector<Row> &rows) {
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(zrksim::toHex(r.got), GoldenHex(r.got.size(), r.expected));
    }
}

const std::string kLocalExtents = "11121314 21222324 31323334";
const std::string kRemoteDetailExtents = "41424344 51525354 61626364";

}  // namespace

TEST(ClassicLists, LocalListsFromARequest) {
    const COPY_REQ extent = Request(false, false);
    const COPY_REQ whole = Request(false, true);
    // clang-format off
    const std::vector<Row> rows = {
        {"VZ start of an extent: the caller's role, not the request's", Local([&](unsigned char *l) { MakeVzPrmFromCopyReq(0x08, kId, &extent, 7, l); }), {{0, "08"}, {6, "0028"}, {8, "0012"}, {20, "07 01 0003"}, {26, "0005"}, {30, "0006"}, {32, kLocalExtents}}},
        {"VZ start of the whole volume", Local([&](unsigned char *l) { MakeVzPrmFromCopyReq(0x08, kId, &whole, 1, l); }), {{0, "08"}, {6, "0028"}, {8, "0012"}, {10, "80"}, {20, "01 00 0003"}, {26, "0005"}, {30, "0006"}}},
        {"VZ undoing stop", Local([&](unsigned char *l) { MakeVzPrmFromCopyReq(0x09, kId, nullptr, 1, l); }), {{0, "09"}, {6, "0028"}, {8, "0012"}, {20, "01"}}},
        {"KZP start of an extent", Local([&](unsigned char *l) { MakeKzpPrmFromCopyReq(0x04, kId, &extent, 7, l); }), {{0, "04"}, {6, "0028"}, {8, "0012"}, {20, "07 00 0005 0006"}, {29, "01"}, {32, kLocalExtents}}},
        {"KZP start of the whole volume", Local([&](unsigned char *l) { MakeKzpPrmFromCopyReq(0x04, kId, &whole, 1, l); }), {{0, "04"}, {6, "0028"}, {8, "0012"}, {10, "80"}, {20, "01 00 0005 0006"}}},
        {"KZP undoing stop", Local([&](unsigned char *l) { MakeKzpPrmFromCopyReq(0x05, kId, nullptr, 1, l); }), {{0, "05"}, {6, "0028"}, {8, "0012"}, {20, "01"}}},
        {"no identifier reads as 0", Local([&](unsigned char *l) { MakeKzpPrmFromCopyReq(0x05, nullptr, nullptr, 1, l); }), {{0, "05"}, {6, "0028"}, {20, "01"}}},
    };
    // clang-format on
    ExpectRows(rows);
}

TEST(ClassicLists, RemoteListsFromARequest) {
    const COPY_REQ extent = Request(true, false);
    const COPY_REQ whole = Request(true, true);
    constexpr unsigned all = ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV | ZRK_OPT_SKIP_COPY |
                             ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY;
    // clang-format off
    const std::vector<Row> rows = {
        {"RVZ start of an extent from the source's host", Remote([&](unsigned char *l) { MakeRvzPrmFromCopyReq(0x18, kId, &extent, kOwnA1, 0, l); }), {{0, "18"}, {6, "0098"}, {8, "0012"}, {12, "20"}, {24, "01"}, {32, kHexA1}, {80, kHexA2}, {128, "00000005 00000006 00 01 0003"}, {144, kLocalExtents}}},
        {"RVZ start from the destination's host, every option: consistency wins", Remote([&](unsigned char *l) { MakeRvzPrmFromCopyReq(0x18, kId, &whole, kOwnA2, all, l); }), {{0, "18"}, {6, "0098"}, {10, "0012"}, {12, "b7"}, {16, "03"}, {24, "01"}, {32, kHexA1}, {72, "80"}, {80, kHexA2}, {128, "00000005 00000006 00 00 0003"}}},
        {"RVZ start, synchronous and stack; secondary access is the caller's", Remote([&](unsigned char *l) { MakeRvzPrmFromCopyReq(0x18, kId, &whole, kOwnA1, ZRK_OPT_SYNC | ZRK_OPT_STACK | ZRK_OPT_SECONDARY, l); }), {{0, "18"}, {6, "0098"}, {8, "0012"}, {12, "a4"}, {16, "02"}, {24, "01"}, {32, kHexA1}, {80, kHexA2}, {128, "00000005 00000006 00 00 0003"}}},
        {"RVZ start, no own BoxID: the destination side", Remote([&](unsigned char *l) { MakeRvzPrmFromCopyReq(0x18, kId, &whole, nullptr, ZRK_OPT_AUTO_SPLIT, l); }), {{0, "18"}, {6, "0098"}, {10, "0012"}, {12, "b2"}, {24, "01"}, {32, kHexA1}, {80, kHexA2}, {128, "00000005 00000006 00 00 0003"}}},
        {"remote KZP start of an extent: no modes, no interval", Remote([&](unsigned char *l) { MakeRkzpPrmFromCopyReq(0x14, kId, &extent, kOwnA1, all, l); }), {{0, "14"}, {6, "0098"}, {8, "0012"}, {12, "20"}, {24, "01"}, {32, kHexA1}, {80, kHexA2}, {128, "00000005 00000006 00 01"}, {144, kLocalExtents}}},
        {"remote KZP start of the whole volume from the destination's host", Remote([&](unsigned char *l) { MakeRkzpPrmFromCopyReq(0x14, kId, &whole, kOwnA2, 0, l); }), {{0, "14"}, {6, "0098"}, {10, "0012"}, {12, "b0"}, {24, "01"}, {32, kHexA1}, {80, kHexA2}, {128, "00000005 00000006"}}},
        {"no request: code and length only", Remote([&](unsigned char *l) { MakeRkzpPrmFromCopyReq(0x14, kId, nullptr, kOwnA1, 0, l); }), {{0, "14"}, {6, "0098"}}},
    };
    // clang-format on
    ExpectRows(rows);
}

TEST(ClassicLists, LocalAndRemoteListsFromADetail) {
    const RVZ_DETAIL_INFO local = Detail(0x00, "0001");
    // Whole volume, remote, destination side, every mode; a stale extent.
    const RVZ_DETAIL_INFO remote = Detail(0xB7, "0000");
    const RKZP_DETAIL_INFO kzp = Detail(0x30, "0001", "02999897");
    // clang-format off
    const std::vector<Row> rows = {
        {"VZ stop of an extent: no interval", Local([&](unsigned char *l) { MakeVzPrmFromDetail(0x09, &local, l); }), {{0, "09"}, {6, "0028"}, {8, "0021"}, {20, "01 01"}, {26, "0005"}, {30, "0009"}, {32, kRemoteDetailExtents}}},
        {"VZ suspend of the whole volume: the extents still go", Local([&](unsigned char *l) { MakeVzPrmFromDetail(0x0A, &remote, l); }), {{0, "0a"}, {6, "0028"}, {8, "0021"}, {10, "80"}, {20, "01 00"}, {26, "0005"}, {30, "0009"}, {32, kRemoteDetailExtents}}},
        {"VZ resume", Local([&](unsigned char *l) { MakeVzPrmFromDetail(0x0B, &local, l); }), {{0, "0b"}, {6, "0028"}, {8, "0021"}, {20, "01 01"}, {26, "0005"}, {30, "0009"}, {32, kRemoteDetailExtents}}},
        {"KZP stop of an extent", Local([&](unsigned char *l) { MakeKzpPrmFromDetail(0x05, &kzp, l); }), {{0, "05"}, {6, "0028"}, {8, "0021"}, {20, "01 00 0005 0009"}, {29, "01"}, {32, kRemoteDetailExtents}}},
        {"KZP stop of the whole volume", Local([&](unsigned char *l) { MakeKzpPrmFromDetail(0x05, &remote, l); }), {{0, "05"}, {6, "0028"}, {8, "0021"}, {10, "80"}, {20, "01 00 0005 0009"}, {32, kRemoteDetailExtents}}},
        {"RVZ stop: flags and transfer mode of the session", Remote([&](unsigned char *l) { MakeRvzPrmFromDetail(0x19, &remote, l); }), {{0, "19"}, {6, "0098"}, {8, "0021 0042 b7"}, {16, "02"}, {24, "01"}, {32, kHexA1}, {80, kHexA2}, {128, "00010005 00020009 0000"}, {144, kRemoteDetailExtents}}},
        {"RVZ suspend of an extent", Remote([&](unsigned char *l) { MakeRvzPrmFromDetail(0x1A, &local, l); }), {{0, "1a"}, {6, "0098"}, {8, "0021 0042 00"}, {16, "02"}, {24, "01"}, {32, kHexA1}, {80, kHexA2}, {128, "00010005 00020009 0001"}, {144, kRemoteDetailExtents}}},
        {"RVZ resume", Remote([&](unsigned char *l) { MakeRvzPrmFromDetail(0x1B, &remote, l); }), {{0, "1b"}, {6, "0098"}, {8, "0021 0042 b7"}, {16, "02"}, {24, "01"}, {32, kHexA1}, {80, kHexA2}, {128, "00010005 00020009 0000"}, {144, kRemoteDetailExtents}}},
        {"remote KZP stop: no transfer mode", Remote([&](unsigned char *l) { MakeRkzpPrmFromDetail(0x15, &kzp, l); }), {{0, "15"}, {6, "0098"}, {8, "0021 0042 30"}, {24, "01"}, {32, kHexA1}, {80, kHexA2}, {128, "00010005 00020009 0001"}, {144, kRemoteDetailExtents}}},
        {"no detail: code and length only", Local([&](unsigned char *l) { MakeVzPrmFromDetail(0x09, nullptr, l); }), {{0, "09"}, {6, "0028"}}},
    };
    // clang-format on
    ExpectRows(rows);
}

TEST(ClassicLists, QuickKzpAndSnapKzpLists) {
    const COPY_REQ extent = Request(true, false); // remote: no BoxIDs in these lists
    const COPY_REQ monitor = Request(false, true, "ffffffff");
    const RKZP_DETAIL_INFO part = Detail(0x00, "0001");
    const RKZP_DETAIL_INFO whole = Detail(0x80, "0000");
    constexpr unsigned both = ZRK_OPT_RESTART | ZRK_OPT_STOP_TRACKING;
    // clang-format off
    const std::vector<Row> rows = {
        {"QuickKZP start of an extent, restart and stop tracking", Extended([&](TVC_EXEC *p) { MakeDifPrmFromCopyReq(0x44, kId, both, &extent, p); }), {{0, "44"}, {6, "00b8"}, {8, "0012"}, {12, "01"}, {20, "08"}, {25, "c0"}, {128, "00000005 00000006 0001"}, {164, "11121314"}, {172, "21222324"}, {180, "31323334"}}},
        {"QuickKZP start of the whole volume; other bits ignored", Extended([&](TVC_EXEC *p) { MakeDifPrmFromCopyReq(0x44, kId, ZRK_OPT_MONITOR | ZRK_OPT_SKIP_COPY | ZRK_OPT_REVERSE | ZRK_OPT_FORCE, &monitor, p); }), {{0, "44"}, {6, "00b8"}, {8, "0012"}, {12, "01"}, {20, "88"}, {128, "00000005 00000006"}}},
        {"QuickKZP stop of an extent: stop tracking, never restart", Extended([&](TVC_EXEC *p) { MakeDifPrmFromDetail(0x45, both, &part, p); }), {{0, "45"}, {6, "00b8"}, {8, "0021"}, {12, "01"}, {20, "08"}, {25, "40"}, {128, "00010005 00020009 0001"}, {164, "41424344"}, {172, "51525354"}, {180, "61626364"}}},
        {"QuickKZP stop of the whole volume", Extended([&](TVC_EXEC *p) { MakeDifPrmFromDetail(0x45, 0, &whole, p); }), {{0, "45"}, {6, "00b8"}, {8, "0021"}, {12, "01"}, {20, "88"}, {128, "00010005 00020009"}}},
        {"SnapKZP start of an extent: the 32-bit destination", Extended([&](TVC_EXEC *p) { MakeSnapPrmFromCopyReq(0x44, kId, both, &extent, p); }), {{0, "44"}, {6, "00b8"}, {8, "0012"}, {12, "01"}, {20, "10"}, {128, "00000005 00010009 0001"}, {164, "11121314"}, {172, "21222324"}, {180, "31323334"}}},
        {"SnapKZP monitor start without a destination", Extended([&](TVC_EXEC *p) { MakeSnapPrmFromCopyReq(0x44, kId, ZRK_OPT_MONITOR, &monitor, p); }), {{0, "44"}, {6, "00b8"}, {8, "0012"}, {12, "03"}, {20, "80"}, {128, "00000005 ffffffff"}}},
        {"SnapKZP stop of an extent", Extended([&](TVC_EXEC *p) { MakeSnapPrmFromDetail(0x45, both, &part, p); }), {{0, "45"}, {6, "00b8"}, {8, "0021"}, {12, "01"}, {20, "10"}, {128, "00010005 00020009 0001"}, {164, "41424344"}, {172, "51525354"}, {180, "61626364"}}},
        {"SnapKZP monitor stop of the whole volume", Extended([&](TVC_EXEC *p) { MakeSnapPrmFromDetail(0x45, ZRK_OPT_MONITOR, &whole, p); }), {{0, "45"}, {6, "00b8"}, {8, "0021"}, {12, "03"}, {20, "80"}, {128, "00010005 00020009"}}},
        {"no request: code and length only", Extended([&](TVC_EXEC *p) { MakeSnapPrmFromCopyReq(0x44, kId, 0, nullptr, p); }), {{0, "44"}, {6, "00b8"}}},
    };
    // clang-format on
    ExpectRows(rows);
}

TEST(ClassicLists, VzModeChange) {
    const RVZ_DETAIL_INFO remote = Detail(0xB7, "0000"); // transfer mode 2
    const RVZ_DETAIL_INFO local = Detail(0x00, "0001");
    const std::string tail = "41424344 00000000 51525354 00000000 61626364";
    // clang-format off
    const std::vector<Row> rows = {
        {"reversal keeps the session's modes", Extended([&](TVC_EXEC *p) { MakeChgPrmFromDetail(0x46, ZRK_OPT_REVERSE | ZRK_OPT_CONSISTENCY | ZRK_OPT_SYNC, &remote, p); }), {{0, "46"}, {6, "00b8"}, {8, "0021 0042 02"}, {20, "a0 00 17 02 00 04"}, {32, kHexA1}, {80, kHexA2}, {128, "00010005 00020009 0000"}, {164, tail}}},
        {"mode change: synchronous, split, consistency over stack", Extended([&](TVC_EXEC *p) { MakeChgPrmFromDetail(0x46, ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY, &remote, p); }), {{0, "46"}, {6, "00b8"}, {8, "0021 0042 02"}, {20, "a0 00 16 03 00 02"}, {32, kHexA1}, {80, kHexA2}, {128, "00010005 00020009 0000"}, {164, tail}}},
        {"mode change: recovery and stack", Extended([&](TVC_EXEC *p) { MakeChgPrmFromDetail(0x46, ZRK_OPT_MANUAL_RCV | ZRK_OPT_STACK, &remote, p); }), {{0, "46"}, {6, "00b8"}, {8, "0021 0042 02"}, {20, "a0 00 11 02 00 02"}, {32, kHexA1}, {80, kHexA2}, {128, "00010005 00020009 0000"}, {164, tail}}},
        {"mode change of a local session of an extent", Extended([&](TVC_EXEC *p) { MakeChgPrmFromDetail(0x46, 0, &local, p); }), {{0, "46"}, {6, "00b8"}, {8, "0021 0042 02"}, {25, "02"}, {32, kHexA1}, {80, kHexA2}, {128, "00010005 00020009 0001"}, {164, tail}}},
    };
    // clang-format on
    ExpectRows(rows);
}

TEST(ClassicLists, QmVzStartAndStop) {
    const COPY_REQ localPart = Request(false, false);
    const COPY_REQ localWhole = Request(false, true);
    const COPY_REQ remotePart = Request(true, false);
    const COPY_REQ remoteWhole = Request(true, true);
    const RVZ_DETAIL_INFO remoteDetail = Detail(0xB7, "0000");
    const RVZ_DETAIL_INFO localDetail = Detail(0x00, "0001");
    const std::string reqTail = "11121314 00000000 21222324 00000000 31323334";
    const std::string detailTail = "41424344 00000000 51525354 00000000 61626364";
    constexpr unsigned modes = ZRK_OPT_AUTO_SPLIT | ZRK_OPT_SKIP_COPY;
    std::vector<Row> rows;
    {
        const QmSupport choice(true);
        // clang-format off
        rows.insert(rows.end(), {
            {"local start of an extent: modes not read", Extended([&](TVC_EXEC *p) { MakePrmFromCopyReq(0x44, kId, 2, &localPart, kOwnA1, modes | ZRK_OPT_SYNC, p); }), {{0, "44"}, {6, "00b8"}, {8, "0012"}, {12, "02"}, {128, "00000005 00000006 0001"}, {164, reqTail}}},
            {"local start of the whole volume", Extended([&](TVC_EXEC *p) { MakePrmFromCopyReq(0x44, kId, 2, &localWhole, kOwnA1, 0, p); }), {{0, "44"}, {6, "00b8"}, {8, "0012"}, {12, "02"}, {20, "80"}, {128, "00000005 00000006"}}},
            {"remote start from the source's host, split and skip chosen", Extended([&](TVC_EXEC *p) { MakePrmFromCopyReq(0x44, kId, 2, &remotePart, kOwnA1, modes | ZRK_OPT_STACK, p); }), {{0, "44"}, {6, "00b8"}, {8, "0012"}, {12, "02"}, {20, "20 00 06 00 00 08"}, {32, kHexA1}, {80, kHexA2}, {128, "00000005 00000006 0001"}, {164, reqTail}}},
            {"remote start from the destination's host, recovery chosen", Extended([&](TVC_EXEC *p) { MakePrmFromCopyReq(0x44, kId, 2, &remoteWhole, kOwnA2, ZRK_OPT_MANUAL_RCV, p); }), {{0, "44"}, {6, "00b8"}, {10, "0012"}, {12, "02"}, {20, "a0 00 15"}, {32, kHexA1}, {80, kHexA2}, {128, "00000005 00000006"}}},
        });
        // clang-format on
    }
    {
        const QmSupport fixed(false);
        // clang-format off
        rows.insert(rows.end(), {
            {"remote start, modes not chosen by the array: split and recovery", Extended([&](TVC_EXEC *p) { MakePrmFromCopyReq(0x44, kId, 2, &remoteWhole, kOwnA1, ZRK_OPT_SKIP_COPY, p); }), {{0, "44"}, {6, "00b8"}, {8, "0012"}, {12, "02"}, {20, "a0 00 07"}, {32, kHexA1}, {80, kHexA2}, {128, "00000005 00000006"}}},
            {"undoing stop", Extended([&](TVC_EXEC *p) { MakePrmFromCopyReq(0x45, kId, 2, nullptr, kOwnA1, ZRK_OPT_SYNC, p); }), {{0, "45"}, {6, "00b8"}, {8, "0012"}, {12, "02"}}},
            {"stop of a remote session", Extended([&](TVC_EXEC *p) { MakePrmFromDetail(0x45, 2, &remoteWhole, &remoteDetail, p); }), {{0, "45"}, {6, "00b8"}, {8, "0021 0042 02"}, {20, "a0 00 17"}, {32, kHexA1}, {80, kHexA2}, {128, "00010005 00020009"}}},
            {"stop by a local request: no partner, no BoxIDs, no modes", Extended([&](TVC_EXEC *p) { MakePrmFromDetail(0x45, 2, &localWhole, &remoteDetail, p); }), {{0, "45"}, {6, "00b8"}, {8, "0021"}, {12, "02"}, {20, "80"}, {128, "00010005 00020009"}}},
            {"stop of a local session of an extent", Extended([&](TVC_EXEC *p) { MakePrmFromDetail(0x45, 2, &localPart, &localDetail, p); }), {{0, "45"}, {6, "00b8"}, {8, "0021"}, {12, "02"}, {128, "00010005 00020009 0001"}, {164, detailTail}}},
            {"stop without a request counts as local", Extended([&](TVC_EXEC *p) { MakePrmFromDetail(0x45, 2, nullptr, &localDetail, p); }), {{0, "45"}, {6, "00b8"}, {8, "0021"}, {12, "02"}, {128, "00010005 00020009 0001"}, {164, detailTail}}},
        });
        // clang-format on
    }
    ExpectRows(rows);
}

TEST(ClassicLists, NoListIsLeftAlone) {
    const COPY_REQ r = Request(true, false);
    const RVZ_DETAIL_INFO d = Detail(0xB7, "0001");
    MakeVzPrmFromCopyReq(0x08, kId, &r, 1, nullptr);
    MakeRvzPrmFromCopyReq(0x18, kId, &r, kOwnA1, 0, nullptr);
    MakeKzpPrmFromCopyReq(0x04, kId, &r, 1, nullptr);
    MakeRkzpPrmFromCopyReq(0x14, kId, &r, kOwnA1, 0, nullptr);
    MakeDifPrmFromCopyReq(0x44, kId, 0, &r, nullptr);
    MakeSnapPrmFromCopyReq(0x44, kId, 0, &r, nullptr);
    MakePrmFromCopyReq(0x44, kId, 2, &r, kOwnA1, 0, nullptr);
    MakePrmFromCopyReq(0x45, kId, 2, nullptr, kOwnA1, 0, nullptr);
    MakeVzPrmFromDetail(0x09, &d, nullptr);
    MakeRvzPrmFromDetail(0x19, &d, nullptr);
    MakeKzpPrmFromDetail(0x05, &d, nullptr);
    MakeRkzpPrmFromDetail(0x15, &d, nullptr);
    MakeDifPrmFromDetail(0x45, 0, &d, nullptr);
    MakeSnapPrmFromDetail(0x45, 0, &d, nullptr);
    MakeChgPrmFromDetail(0x46, 0, &d, nullptr);
    MakePrmFromDetail(0x45, 2, &r, &d, nullptr);
    // Null records with a list: code and length only.
    const Bytes noDetail = Extended([&](TVC_EXEC *p) { MakeChgPrmFromDetail(0x46, 0, nullptr, p); });
    EXPECT_EQ(zrksim::toHex(noDetail), GoldenHex(192, {{0, "46"}, {6, "00b8"}}));
    const Bytes noStop = Extended([&](TVC_EXEC *p) { MakePrmFromDetail(0x45, 2, &r, nullptr, p); });
    EXPECT_EQ(zrksim::toHex(noStop), GoldenHex(192, {{0, "45"}, {6, "00b8"}}));
}

TEST(ClassicLists, EntryAndExitLines) {
    const InstallRoot root;
    setenv("WXAPI_LOG_FLAG", "1", 1);
    const COPY_REQ r = Request(false, false);
    const RVZ_DETAIL_INFO d = Detail(0x00, "0001");
    unsigned char local[ZRK_PRM_LOCAL_LEN];
    unsigned char remote[ZRK_PRM_REMOTE_LEN];
    TVC_EXEC page;
    MakeVzPrmFromCopyReq(0x09, kId, nullptr, 1, local);
    MakeRvzPrmFromCopyReq(0x18, kId, &r, kOwnA1, 0, remote);
    MakeKzpPrmFromCopyReq(0x04, kId, &r, 1, local);
    MakeRkzpPrmFromCopyReq(0x14, kId, &r, kOwnA1, 0, remote);
    MakeVzPrmFromDetail(0x09, &d, local);
    MakeRvzPrmFromDetail(0x19, &d, remote);
    MakeKzpPrmFromDetail(0x05, &d, local);
    MakeRkzpPrmFromDetail(0x15, &d, remote);
    MakeDifPrmFromCopyReq(0x44, kId, 0, &r, &page);
    MakeDifPrmFromDetail(0x45, 0, &d, &page);
    MakeSnapPrmFromCopyReq(0x44, kId, 0, &r, &page);
    MakeSnapPrmFromDetail(0x45, 0, &d, &page);
    MakeChgPrmFromDetail(0x46, 0, &d, &page);
    MakePrmFromCopyReq(0x44, kId, 2, &r, kOwnA1, 0, &page);
    MakePrmFromDetail(0x45, 2, &r, &d, &page);
    MakePrmFromCopyReq(0x45, kId, 2, nullptr, kOwnA1, 0, &page);
    const std::string log = root.logText();
    unsetenv("WXAPI_LOG_FLAG");
    const char *names[] = {
        "MakeVzPrmFromCopyReq",  "MakeRvzPrmFromCopyReq",  "MakeKzpPrmFromCopyReq",
        "MakeRkzpPrmFromCopyReq", "MakeVzPrmFromDetail",   "MakeRvzPrmFromDetail",
        "MakeKzpPrmFromDetail",  "MakeRkzpPrmFromDetail",  "MakeDifPrmFromCopyReq",
        "MakeDifPrmFromDetail",  "MakeSnapPrmFromCopyReq", "MakeSnapPrmFromDetail",
        "MakeChgPrmFromDetail",  "MakePrmFromCopyReq",     "MakePrmFromDetail",
    };
    std::vector<std::string> lines;
    for (const char *name : names) {
        lines.push_back(std::string(name) + " in\n");
        lines.push_back(std::string(name) + " out\n");
    }
    // Without a request the QM start builder ends with the source line instead.
    lines.push_back("MakePrmFromCopyReq in\n");
    lines.push_back("MakePrmFromCopyReq out(NULL) [");
    size_t at = 0;
    for (const std::string &line : lines) {
        const size_t found = log.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "\n" << log;
        if (found != std::string::npos) at = found + line.size();
    }
    EXPECT_EQ(log.find("MakePrmFromCopyReq out\n", at), std::string::npos) << log;
}
