// Pages and records of the page-based engine: golden bytes of every TVC_EXEC
// the two builders make, of the page-based record converted from a detail
// list entry, round trips of the wire records, the common data, and against
// the simulator the detail read by identifier and the large-volume volume
// information (also on a storage-cluster secondary).
#include "inband_support.h"
#include "zrkcmd.h"
#include "zrklvmain.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace inbandtest;

namespace {

// A request of the pair A1:5 -> A1:6 or A1:5 -> A2:9.
struct Req {
    bool remote = false;
    bool whole = true;
    uint32_t dstOlu = 6;
    uint32_t interval = 3;
};
COPY_REQ_LV Request(const Req &q) {
    zrk::CopyReqLv r{};
    std::memcpy(r.ucaSrcBoxID, BoxId("BOX-A1").data(), ZRK_BOXID_LEN);
    std::memcpy(r.ucaDstBoxID, BoxId(q.remote ? "BOX-A2" : "BOX-A1").data(), ZRK_BOXID_LEN);
    r.uiSrcOlu = 5;
    r.uiDstOlu = q.remote ? 9 : q.dstOlu;
    r.uiWholeVolumeFlag = q.whole ? 1 : 0;
    if (!q.whole) {
        r.uiSrcExtentHigh = 0x1;
        r.uiSrcExtentLow = 0x100;
        r.uiSrcSizeHigh = 0x2;
        r.uiSrcSizeLow = 0x200;
        r.uiDstExtentHigh = 0x3;
        r.uiDstExtentLow = 0x300;
    }
    r.uiCopyInterval = q.interval;
    r.ucRemoteFlag = q.remote ? 1 : 0;
    r.ucVolumeRole = 1;
    return zrk::EncodeCopyReqLv(r);
}

TEST(Pages, StartAndRollBackPagesFromARequest) {
    const std::string a1 = BoxIdHex("BOX-A1"), a2 = BoxIdHex("BOX-A2");
    const std::string extents = "0000000100000100 0000000200000200 0000000300000300";
    struct Case {
        const char *what;
        unsigned char page, kind;
        bool withRequest;
        Req req;
        const char *own;
        unsigned int option;
        Patches expected; // besides the page code and the length
    };
    // clang-format off
    const Case cases[] = {
        {"local VZ start, whole volume", 0x44, 2, true, {}, "BOX-A1", 0, {{8, "0012"}, {12, "02"}, {20, "80"}, {128, "00000005 00000006"}, {138, "0003"}}},
        {"local VZ start of an extent, secondary access; modes only for remote", 0x44, 2, true, {.whole = false, .interval = 0x10005}, "BOX-A1", 0x20000 | 0x20 | 0x400 | 0x40, {{8, "0012"}, {12, "02"}, {20, "01"}, {128, "00000005 00000006"}, {136, "0001 0005"}, {160, extents}}},
        {"remote VZ start from the source's host, every mode", 0x44, 2, true, {.remote = true}, "BOX-A1", 0x20 | 0x100 | 0x200 | 0x40 | 0x400 | 0x800, {{8, "0012"}, {12, "02"}, {20, "a0"}, {22, "07 03 00 08"}, {32, a1}, {80, a2}, {128, "00000005 00000009"}, {138, "0003"}}},
        {"remote VZ start from the destination's host", 0x44, 2, true, {.remote = true, .whole = false}, "BOX-A2", 0x400, {{10, "0012"}, {12, "02"}, {20, "20"}, {22, "10 02"}, {32, a1}, {80, a2}, {128, "00000005 00000009"}, {136, "0001 0003"}, {160, extents}}},
        {"SnapKZP+ monitor start", 0x44, 5, true, {.dstOlu = 0xFFFFFFFF}, "BOX-A1", 0x8000, {{8, "0012"}, {12, "03"}, {20, "80"}, {128, "00000005 ffffffff"}}},
        {"SnapKZP+ start in delete mode", 0x44, 5, true, {}, "BOX-A1", 0x2000000, {{8, "0012"}, {12, "01"}, {20, "c0 80"}, {128, "00000005 00000006"}}},
        {"SnapKZP start of an extent", 0x44, 3, true, {.whole = false}, "BOX-A1", 0, {{8, "0012"}, {12, "01"}, {20, "10"}, {128, "00000005 00000006"}, {136, "0001"}, {160, extents}}},
        {"SnapKZP monitor start", 0x44, 3, true, {.dstOlu = 0xFFFFFFFF}, "BOX-A1", 0x8000, {{8, "0012"}, {12, "03"}, {20, "80"}, {128, "00000005 ffffffff"}}},
        {"QuickKZP start: no interval, no secondary access", 0x44, 4, true, {}, "BOX-A1", 0x20000, {{8, "0012"}, {12, "01"}, {20, "88"}, {128, "00000005 00000006"}}},
        {"KZP start, remote", 0x44, 1, true, {.remote = true}, "BOX-A1", 0x20 | 0x40, {{8, "0012"}, {12, "01"}, {20, "a0"}, {32, a1}, {80, a2}, {128, "00000005 00000009"}}},
        {"roll-back of a VZ start", 0x45, 2, false, {}, "BOX-A1", 0x20, {{8, "0012"}, {12, "02"}}},
        {"roll-back of a QuickKZP start", 0x45, 4, false, {}, "BOX-A1", 0, {{8, "0012"}, {12, "01"}}},
    };
    // clang-format on
    const unsigned char id[2] = {0x00, 0x12};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const COPY_REQ_LV request = Request(c.req);
        const std::string own = BoxId(c.own);
        TVC_EXEC page;
        std::memset(&page, 0xEE, sizeof page);
        MakePrmFromCopyReqForLv(c.page, id, c.kind, c.withRequest ? &request : nullptr,
                                reinterpret_cast<const unsigned char *>(own.data()), c.option,
                                &page);
        Patches expected = c.expected;
        expected.push_back({0, zrksim::toHex(Bytes{c.page})});
        expected.push_back({6, "00b8"});
        EXPECT_EQ(zrksim::toHex(BytesOf(page)), zrksim::toHex(Golden(192, expected)));
    }
}

TEST(Pages, SessionPagesFromADetail) {
    // A remote VZ session seen from its destination: flags with the reserved
    // bit 2 set (never carried), modes synchronous|split|recovery, stack.
    zrk::TvcDetail d{};
    d.uhSessionId = 0x21;
    d.uhPartnerId = 0x42;
    d.ucCopyKind = 2;
    d.ucSessionFlags = 0xA7;
    d.ucModeFlags = 0x17;
    d.ucTransferMode = 2;
    d.ucPhase = 2;
    d.ucStatus = 4;
    std::memcpy(d.ucaSrcBoxID, BoxId("BOX-A1").data(), ZRK_BOXID_LEN);
    std::memcpy(d.ucaDstBoxID, BoxId("BOX-A2").data(), ZRK_BOXID_LEN);
    d.uiSrcOlu = 5;
    d.uiDstOlu = 9;
    d.uhExtentCnt = 1;
    d.ullSrcExtent = 0x100000100;
    d.ullSrcSize = 0x200000200;
    d.ullDstExtent = 0x300000300;
    zrk::TvcDetail local = d;
    local.ucSessionFlags = 0x80;
    zrk::TvcDetail quick = d;
    quick.ucCopyKind = 1;
    quick.ucSessionFlags = 0x88;
    quick.ucModeFlags = 0;
    quick.ucTransferMode = 0;

    const Patches body = {{6, "00b8"},
                          {8, "0021 0042"},
                          {32, BoxIdHex("BOX-A1")},
                          {80, BoxIdHex("BOX-A2")},
                          {128, "00000005 00000009 0001"},
                          {160, "0000000100000100 0000000200000200 0000000300000300"}};
    struct Case {
        const char *what;
        unsigned char page, kind;
        const zrk::TvcDetail *detail;
        unsigned int option;
        Patches expected; // besides the body; bytes 20-27 always listed
    };
    // clang-format off
    const Case cases[] = {
        {"stop", 0x45, 2, &d, 0, {{12, "02"}, {20, "a3 00 17 02 00 00 00 00"}}},
        {"forced stop", 0x45, 2, &d, 0x2, {{12, "02"}, {20, "a3 00 17 02 80 00 00 00"}}},
        {"virtual-volume stop forces", 0x45, 1, &quick, 0x1000000, {{12, "01"}, {20, "88 00 00 00 80 00 00 00"}}},
        {"suspend with the stack timer", 0x48, 2, &d, 0x100000, {{12, "02"}, {20, "a3 00 17 02 02 00 00 ff"}}},
        {"suspend without it", 0x48, 2, &d, 0, {{12, "02"}, {20, "a3 00 17 02 00 00 00 00"}}},
        {"resume in remain mode", 0x49, 2, &d, 0x80, {{12, "02"}, {20, "a3 00 17 02 40 00 00 00"}}},
        {"remain mode is for resume only", 0x48, 2, &d, 0x80, {{12, "02"}, {20, "a3 00 17 02 00 00 00 00"}}},
        {"mode change of a remote session", 0x46, 2, &d, 0x20 | 0x800, {{12, "02"}, {20, "a3 00 14 03 00 02 00 00"}}},
        {"mode change without modes", 0x46, 2, &d, 0, {{12, "02"}, {20, "a3 00 10 00 00 02 00 00"}}},
        {"reverse keeps the session's modes", 0x46, 2, &d, 0x1000 | 0x20 | 0x800, {{12, "02"}, {20, "a3 00 17 02 00 04 00 00"}}},
        {"change of a local session keeps its modes", 0x46, 2, &local, 0x20, {{12, "02"}, {20, "80 00 17 02 00 00 00 00"}}},
        {"QuickKZP restart and stop tracking", 0x44, 4, &quick, 0x2000 | 0x4000, {{12, "01"}, {20, "88 00 00 00 00 c0 00 00"}}},
        {"restart bits only for QuickKZP", 0x45, 1, &quick, 0x2000 | 0x4000 | 0x40, {{12, "01"}, {20, "88 00 00 00 00 00 00 00"}}},
    };
    // clang-format on
    const int savedTimer = ZRKRVZ_stacktimer;
    ZRKRVZ_stacktimer = 0x1FF; // only the low byte goes out
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const TVC_DETAIL_INFO detail = zrk::EncodeTvcDetail(*c.detail);
        TVC_EXEC page;
        std::memset(&page, 0xEE, sizeof page);
        MakePrmFromDetailForLv(c.page, c.kind, &detail, c.option, &page);
        Patches expected = body;
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        expected.push_back({0, zrksim::toHex(Bytes{c.page})});
        EXPECT_EQ(zrksim::toHex(BytesOf(page)), zrksim::toHex(Golden(192, expected)));
    }
    ZRKRVZ_stacktimer = savedTimer;
}

TEST(PageRecords, DetailFromAListEntry) {
    // Entry bytes 0, 1, 2, ...: each output byte names the entry byte it took.
    const TVC_DETAIL_INFO out = zrk::EncodeTvcDetail(
        zrk::TvcDetailFromList(zrk::DecodeDetailEntry(Pattern<DETAIL_LIST_INFO>())));
    const Bytes expected = Golden(184, {
        {0, "00010203 04 909192"},
        {12, "01 00 06 07 0a 01 08 09 6a 8c 6b 8d"}, // bit 2 of byte 5 dropped; role 1
        {24, CountingHex(16, 40)},
        {72, CountingHex(56, 40)},
        {120, CountingHex(96, 10) + "8e8f 0c0d0e0f"},
        {136, CountingHex(108, 8)},
        {144, CountingHex(152, 8)},
        {152, CountingHex(116, 24)},
    });
    EXPECT_EQ(zrksim::toHex(BytesOf(out)), zrksim::toHex(expected));
}

TEST(PageRecords, EveryRecordSurvivesARoundTrip) {
    std::mt19937 random(977);
    for (int i = 0; i < 50; ++i) {
        const Bytes d = RandomBytes(random, sizeof(TVC_DETAIL_INFO));
        EXPECT_EQ(BytesOf(zrk::EncodeTvcDetail(zrk::DecodeTvcDetail(RecordOf<TVC_DETAIL_INFO>(d)))), d);
        const Bytes e = RandomBytes(random, sizeof(TVC_EXEC));
        EXPECT_EQ(BytesOf(zrk::EncodeTvcExec(zrk::DecodeTvcExec(RecordOf<TVC_EXEC>(e)))), e);
        const Bytes r = RandomBytes(random, sizeof(COPY_REQ_LV));
        EXPECT_EQ(BytesOf(zrk::EncodeCopyReqLv(zrk::DecodeCopyReqLv(RecordOf<COPY_REQ_LV>(r)))), r);
    }
    // 64-bit fields are one big-endian number of high and low half.
    const zrk::TvcDetail t = zrk::DecodeTvcDetail(RecordOf<TVC_DETAIL_INFO>(
        Golden(184, {{136, "0102030405060708"}, {152, "1112131415161718"}})));
    EXPECT_EQ(t.ullCopiedBlock, 0x0102030405060708ull);
    EXPECT_EQ(t.ullSrcExtent, 0x1112131415161718ull);
}

TEST(PageRecords, CommonData) {
    const std::string box = BoxId("BOX-C");
    unsigned char maxSes[2] = {0x04, 0x00};
    unsigned char remote = 0x03;
    CtrlCommonData(const_cast<char *>(box.data()), ZRK_COMMON_SET_BOXID);
    CtrlCommonData(maxSes, ZRK_COMMON_SET_MAXSES);
    CtrlCommonData(&remote, ZRK_COMMON_SET_REMOTE);
    CtrlCommonData(&remote, 9); // unknown: nothing changes
    char boxOut[ZRK_BOXID_LEN];
    unsigned char maxOut[2] = {};
    unsigned char remoteOut = 0;
    CtrlCommonData(boxOut, ZRK_COMMON_GET_BOXID);
    CtrlCommonData(maxOut, ZRK_COMMON_GET_MAXSES);
    CtrlCommonData(&remoteOut, ZRK_COMMON_GET_REMOTE);
    EXPECT_EQ(std::string(boxOut, sizeof boxOut), box);
    EXPECT_EQ(Bytes(maxOut, maxOut + 2), Bytes(maxSes, maxSes + 2));
    EXPECT_EQ(remoteOut, 0x03);
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_BOXID);
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_MAXSES);
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_REMOTE);
    CtrlCommonData(nullptr, ZRK_COMMON_GET_BOXID); // a null buffer receives nothing
    CtrlCommonData(boxOut, ZRK_COMMON_GET_BOXID);
    CtrlCommonData(maxOut, ZRK_COMMON_GET_MAXSES);
    CtrlCommonData(&remoteOut, ZRK_COMMON_GET_REMOTE);
    EXPECT_EQ(std::string(boxOut, sizeof boxOut), std::string(ZRK_BOXID_LEN, '\0'));
    EXPECT_EQ(Bytes(maxOut, maxOut + 2), Bytes(2, 0));
    EXPECT_EQ(remoteOut, 0);
}

// ---- against the simulator ------------------------------------------------------------

constexpr char kDisk[] = "/dev/sdb";

constexpr char kPaged[] = R"(
array A1 boxid="BOX-A1" rvzbuffers=6 generations=12 rvzpages=0x07
array A2 boxid="BOX-A2"
volume A1 258 2097152 attr=1
volume A1 515 2097152
volume A2 9 2097152
disk /dev/sdb 8:16 A1 258
rvzbuffer A1 1 remote=A2
session 5 vz A1 258 A1 515 srcext=0x100000000 size=0x200 dstext=0x300 status=suspend phase=tracking
session 6 kzp A1 258 A1 515 volrole=2
)";

class PagesOnArray : public InbandTest {
protected:
    PagesOnArray() : InbandTest(kPaged) {}

    // What the API's common check leaves behind for an operation.
    void Prepare(const char *volume) {
        NewCall();
        ASSERT_EQ(CheckProduct(volume), 0) << ZRKerrno;
        ASSERT_EQ(GetSupportCopyInfo(volume, nullptr, nullptr), 0) << ZRKerrno;
        unsigned char box[ZRK_BOXID_LEN];
        ASSERT_EQ(GetBoxID(volume, box), 0) << ZRKerrno;
        CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_BOXID);
        CtrlCommonData(box, ZRK_COMMON_SET_BOXID);
    }
};

TEST_F(PagesOnArray, SessionDetailByIdentifier) {
    Prepare(kDisk);
    TVC_DETAIL_INFO detail;
    const unsigned char id5[2] = {0, 5};
    sim.clearLog();
    ASSERT_EQ(GetSessionDetailInfoForLV(kDisk, id5, &detail), 0) << ZRKerrno;
    // The large form, mode 1, the identifier, 192 bytes.
    EXPECT_EQ(zrksim::toHex(sim.cdbLog().back().cdb), "eb09440000050000c000");
    const zrk::TvcDetail d = zrk::DecodeTvcDetail(detail);
    EXPECT_EQ(d.uhSessionId, 5);
    EXPECT_EQ(d.ucCopyKind, 2);
    EXPECT_EQ(d.ucStatus, 4);
    EXPECT_EQ(d.ucPhase, 3);
    EXPECT_EQ(d.ucVolumeRole, 1);
    EXPECT_EQ(d.uiSrcOlu, 258u);
    EXPECT_EQ(d.uiDstOlu, 515u);
    EXPECT_EQ(d.uhExtentCnt, 1);
    EXPECT_EQ(d.ullSrcExtent, 0x100000000ull);
    EXPECT_EQ(d.ullSrcSize, 0x200ull);
    EXPECT_EQ(d.ullDstExtent, 0x300ull);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(d.ucaSrcBoxID), ZRK_BOXID_LEN), BoxId("BOX-A1"));

    // No such session, and one of another volume role: -2, detail and
    // ZRKerrno untouched.
    for (const unsigned char id : {7, 6}) {
        SCOPED_TRACE(static_cast<int>(id));
        const unsigned char sid[2] = {0, id};
        TVC_DETAIL_INFO untouched;
        std::memset(&untouched, 0x5A, sizeof untouched);
        ZRKerrno = 4242;
        EXPECT_EQ(GetSessionDetailInfoForLV(kDisk, sid, &untouched), -2);
        EXPECT_EQ(ZRKerrno, 4242);
        EXPECT_EQ(untouched.ucaReserved176[7], 0x5A);
    }

    // A failed command.
    sim.injectSense(1, 5, 0x24, 0);
    EXPECT_EQ(GetSessionDetailInfoForLV(kDisk, id5, &detail), -1);
    EXPECT_NE(ZRKerrno, 4242);
}

TEST_F(PagesOnArray, VolumeInformation) {
    Prepare(kDisk);
    VOLUME_INFO_RECORD_LV record;
    std::memset(&record, 0xEE, sizeof record);
    ASSERT_EQ(GetVolumeInfoForLV(kDisk, 0, &record), 0) << ZRKerrno;
    EXPECT_EQ(std::string(reinterpret_cast<char *>(record.BoxID), ZRK_BOXID_LEN), BoxId("BOX-A1"));
    EXPECT_EQ(record.uiOlu, 258u);
    EXPECT_EQ(record.uiExtent_high, 0u);
    EXPECT_EQ(record.uiExtent_low, 0u);
    EXPECT_EQ(record.uiSize_high, 0u);
    EXPECT_EQ(record.uiSize_low, 2097152u);
    const Bytes volInfo = Golden(256, {
        {16, "0010040000100400 0010040000100400"},            // KZP and VZ maxima
        {64, "000000000f0000f1 00000000000000f1 00000000004b00f1 0000000000ff10f1"},
        {96, "0006 0001 07"},                                  // RVZ buffers
        {112, "000c"},                                         // generations
    });
    EXPECT_EQ(zrksim::toHex(BytesOf(record.VolInfo)), zrksim::toHex(volInfo));
    EXPECT_EQ(zrksim::toHex(BytesOf(record.VolInfoEx)), "0100000000000000");
}

TEST_F(PagesOnArray, RvzBufferListNeedsRvzBuffers) {
    sim.load("array A1 boxid=\"BOX-A1\" profile=idlist\nvolume A1 5 2097152\n"
             "disk /dev/sdb 8:16 A1 5\n");
    NewCall();
    unsigned char *reply = nullptr;
    EXPECT_EQ(RVZBuffInfo(kDisk, &reply, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    EXPECT_EQ(reply, nullptr);
}

// The volume of a storage-cluster secondary is reported as the partner knows it.
TEST_F(PagesOnArray, VolumeInformationOnASecondary) {
    struct Case {
        const char *what;
        const char *session; // the failover mirror
        unsigned int option;
        const char *box;
        uint32_t olu;
    };
    // clang-format off
    const Case cases[] = {
        // The secondary's volume is the mirror's target: the source side.
        {"target of the mirror", "session 1 failover P 258 S 772", 0, "BOX-P", 258},
        // The secondary's volume is the mirror's source: the target side.
        {"source of the mirror", "session 1 failover S 772 P 258", 0, "BOX-P", 258},
        {"no swap asked", "session 1 failover P 258 S 772", 0x200000, "BOX-S", 772},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(std::string("array P boxid=\"BOX-P\" partner=S role=1\n"
                             "array S boxid=\"BOX-S\" partner=P role=2\n"
                             "volume P 258 2097152\nvolume S 772 2097152\n"
                             "disk /dev/sdb 8:16 S 772\n") +
                 c.session + "\n");
        // A cluster array refuses support reads without the failover marks.
        HoldFailoverSupport();
        Prepare(kDisk);
        ASSERT_EQ(ZRKstorage_cluster, 2);
        VOLUME_INFO_RECORD_LV record{};
        ASSERT_EQ(GetVolumeInfoForLV(kDisk, c.option, &record), 0) << ZRKerrno;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(record.BoxID), ZRK_BOXID_LEN), BoxId(c.box));
        EXPECT_EQ(record.uiOlu, c.olu);
        EXPECT_EQ(record.VolInfo.ucStorageCluster, 2);
    }
}

}  // namespace
