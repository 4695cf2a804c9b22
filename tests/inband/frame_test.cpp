// The frame of the public in-band functions: golden bytes of the two copy
// requests, the pair checks as tables (intervals, overlaps, the 32-bit
// limits, the no-destination forms), the volume check of every kind of path,
// and against the simulator the common preparation, the engine choice and
// the release of the call's device by the frame object.
#include "inband_support.h"
#include "zrkframe.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

const std::string kA1 = BoxId("BOX-A1");
const std::string kA2 = BoxId("BOX-A2");
const std::string kNone(ZRK_BOXID_LEN, '\xFF');
constexpr uint32_t kNoDest = 0xFFFFFFFF;

// size zero bytes with hex laid at offsets; texts and host-order words laid
// as such.
struct Layout {
    Bytes b;
    explicit Layout(size_t size) : b(size, 0) {}
    Layout &at(size_t offset, const std::string &hex) {
        const Bytes h = Hex(hex);
        std::copy(h.begin(), h.end(), b.begin() + static_cast<long>(offset));
        return *this;
    }
    Layout &text(size_t offset, const std::string &t) {
        std::copy(t.begin(), t.end(), b.begin() + static_cast<long>(offset));
        return *this;
    }
    Layout &host32(size_t offset, uint32_t v) {
        std::memcpy(b.data() + offset, &v, sizeof v);
        return *this;
    }
    std::string hex() const { return zrksim::toHex(b); }
};

// ---- copy requests ----------------------------------------------------------------

TEST(CopyRequests, ClassicRequestGoldenBytes) {
    COPY_REQ r;
    // A local part of a volume: OLUs and the interval keep their low 16 bits,
    // the destination OLU also whole at 106.
    std::memset(&r, 0xEE, sizeof r);
    MakeReq(&r, kA1.data(), 0x12345, 0x100, 0x200, kA1.data(), 0x10006, 0x300, 0x1FF);
    EXPECT_EQ(RecordHex(r), Layout(112)
                            .text(0, kA1)
                            .text(40, kA1)
                            .at(80, "2345 0006")
                            .host32(84, 0)
                            .at(88, "00000100 00000300 00000200 01ff 00 00 0000 00010006 0000")
                            .hex());

    // A whole volume on two arrays: the whole-volume word in host order.
    MakeReq(&r, kA1.data(), 5, 0, 0, kA2.data(), 9, 0, 255);
    EXPECT_EQ(RecordHex(r), Layout(112)
                            .text(0, kA1)
                            .text(40, kA2)
                            .at(80, "0005 0009")
                            .host32(84, 1)
                            .at(100, "00ff 01 00 0000 00000009")
                            .hex());

    // No destination: never remote, the whole destination OLU all ones.
    MakeReq(&r, kA1.data(), 5, 0x10, 0x20, kNone.data(), kNoDest, kNoDest, 0);
    EXPECT_EQ(RecordHex(r), Layout(112)
                            .text(0, kA1)
                            .text(40, kNone)
                            .at(80, "0005 ffff")
                            .host32(84, 0)
                            .at(88, "00000010 ffffffff 00000020 0000 00 00 0000 ffffffff")
                            .hex());
}

TEST(CopyRequests, LargeVolumeRequestGoldenBytes) {
    COPY_REQ_LV r;
    std::memset(&r, 0xEE, sizeof r);
    MakeReqForLV(&r, kA1.data(), 0x12345, 1, 0x100, 2, 0x200, kA2.data(), 0x10006, 3, 0x300,
                 0x1FF);
    EXPECT_EQ(RecordHex(r), Layout(124)
                            .text(0, kA1)
                            .text(40, kA2)
                            .at(80, "00012345 00010006")
                            .host32(88, 0)
                            .at(92, "00000001 00000100 00000003 00000300 00000002 00000200")
                            .at(116, "000001ff 01 00 0000")
                            .hex());

    // Whole volume, local: every extent and size half 0.
    MakeReqForLV(&r, kA1.data(), 5, 0, 0, 0, 0, kA1.data(), 6, 0, 0, 3);
    EXPECT_EQ(RecordHex(r), Layout(124)
                            .text(0, kA1)
                            .text(40, kA1)
                            .at(80, "00000005 00000006")
                            .host32(88, 1)
                            .at(116, "00000003")
                            .hex());

    // A high half alone makes it a part; no destination is never remote.
    MakeReqForLV(&r, kA1.data(), 5, 0, 0, 1, 0, kA2.data(), kNoDest, kNoDest, kNoDest, 0);
    EXPECT_EQ(r.WholeVolumeFlag, 0u);
    EXPECT_EQ(r.RemoteFlag, 0);
    EXPECT_EQ(r.ucVolumeRole, 0);
}

TEST(CopyRequests, SessionIdentifierForms) {
    COPY_REQ_LV lv;
    zrk::MakeLvSessionRequest(0x1234, true, 7, &lv);
    EXPECT_EQ(RecordHex(lv), Layout(124).at(80, "00001234").at(116, "00000007 00 01").hex());
    zrk::MakeLvSessionRequest(0x1234, false, 7, &lv);
    EXPECT_EQ(RecordHex(lv), Layout(124).at(80, "00001234").at(121, "01").hex());

    COPY_REQ classic;
    zrk::MakeClassicSessionRequest(0x1234, true, 7, &classic);
    EXPECT_EQ(RecordHex(classic), Layout(112).at(80, "1234").at(100, "0007 00 01").hex());

    // The pair builders of the frame set the volume role.
    const zrk::LvPair pair{kA1.data(), 5, 0, 0x10, 0, 0x20, kA2.data(), 9, 0, 0x30, 2};
    zrk::MakeLvRequest(pair, &lv);
    EXPECT_EQ(lv.ucVolumeRole, 1);
    EXPECT_EQ(lv.RemoteFlag, 1);
    zrk::MakeClassicRequest(pair, &classic);
    EXPECT_EQ(classic.ucVolumeRole, 1);
    EXPECT_EQ(classic.RemoteFlag, 1);
    EXPECT_EQ(ShiftBtoI(classic.SrcSize, 4), 0x20u);
}

// ---- 32-bit limits --------------------------------------------------------------------

struct HighCase {
    uint32_t srcExtH, srcExtL, sizeH, sizeL, dstExtH, dstExtL;
    int expect; // 0 or 69
};

TEST(PairLimits, ClassicWayOfALargeVolumePair) {
    // clang-format off
    const HighCase cases[] = {
        {0, 0xFFFFFF00, 0, 0xFF, 0, 0, 0},
        {0, 0xFFFFFF00, 0, 0x100, 0, 0, 69}, // the sum reaches 2^32
        {0, 0, 0, 0x100, 0, 0xFFFFFEFF, 0},
        {0, 0, 0, 0x100, 0, 0xFFFFFF00, 69},
        {1, 0, 0, 0, 0, 0, 69},
        {0, 0, 1, 0, 0, 0, 69},
        {0, 0, 0, 0, 1, 0, 69},
        {0, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0, 0, 69}, // no wrap-around
        {0, 0, 0, 0, 0, 0, 0},
    };
    // clang-format on
    for (const HighCase &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.srcExtL << " " << c.sizeL << " "
                                        << c.dstExtL);
        ZRKerrno = 0;
        const int rc = checkHighPart(c.srcExtH, c.srcExtL, c.sizeH, c.sizeL, c.dstExtH, c.dstExtL);
        EXPECT_EQ(rc, c.expect == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expect);
    }
}

TEST(PairLimits, ClassicWayOfAPairWithoutDestination) {
    // clang-format off
    const HighCase cases[] = {
        {0, 0x100, 0, 0x100, kNoDest, kNoDest, 0},
        {0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0x10, 0},
        {0, 0, 0, 0, 0, kNoDest, 69}, // low half alone all ones
        {0, 0, 0, 0, kNoDest, 0, 69}, // high half alone all ones
        {0, 0, 0, 0, 1, 0, 69},
        {1, 0, 0, 0, kNoDest, kNoDest, 69},
        {0, 0, 1, 0, kNoDest, kNoDest, 69},
        {0, 0xFFFFFF00, 0, 0x100, kNoDest, kNoDest, 69},
    };
    // clang-format on
    for (const HighCase &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.srcExtH << " " << c.sizeH << " "
                                        << c.dstExtH << " " << c.dstExtL);
        ZRKerrno = 0;
        const int rc =
            checkHighPart_estimate(c.srcExtH, c.srcExtL, c.sizeH, c.sizeL, c.dstExtH, c.dstExtL);
        EXPECT_EQ(rc, c.expect == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expect);
    }
}

// ---- against the simulator ---------------------------------------------------------------

constexpr char kDisk[] = "/dev/sdb";
constexpr char kClassicDisk[] = "/dev/sdc";
constexpr char kForeignDisk[] = "/dev/sdd";

constexpr char kScenario[] = R"(
array A1 boxid="BOX-A1"
array A2 boxid="BOX-A2"
array C1 boxid="BOX-C1" profile=detail
array X1 boxid="BOX-X1" zrk=no
volume A1 5 2097152
volume A1 6 2097152
volume A2 9 2097152
volume C1 3 2097152
volume X1 1 2097152
disk /dev/sdb 8:16 A1 5
disk /dev/sdc 8:32 C1 3
disk /dev/sdd 8:48 X1 1
brdlx /dev/brdlx/c1/dsk/vol1:sdb 250:1 out="volume vol1 a b c d 4096 e 1048576"
# The volume check also reads the part before the disk name.
file /dev/brdlx/c1/dsk/vol1 ""
)";

class Frame : public InbandTest {
protected:
    Frame() : InbandTest(kScenario) {}
};

// One pair for the classic checks; the volume /dev/sdb unless given.
struct ClassicCase {
    const char *what;
    const char *src; // null: no BoxID
    uint32_t srcOlu, srcExt, size;
    const char *dst;
    uint32_t dstOlu, dstExt, interval;
    int expect;
    const char *volume = kDisk;
};

TEST_F(Frame, ClassicPairCheck) {
    const char *a = kA1.data();
    const char *b = kA2.data();
    // clang-format off
    const ClassicCase cases[] = {
        {"whole volume onto itself", a, 5, 0, 0, a, 5, 0, 0, 48},
        {"same extents of one OLU", a, 5, 0x100, 0x100, a, 5, 0x100, 0, 8},
        {"whole volume onto itself on two arrays", a, 5, 0, 0, b, 5, 0, 0, 0},
        {"adjacent ranges", a, 5, 0x100, 0x100, a, 5, 0x200, 0, 0},
        {"destination starts inside", a, 5, 0x100, 0x100, a, 5, 0x1FF, 0, 8},
        {"destination reaches into the source", a, 5, 0x100, 0x100, a, 5, 0x80, 0, 8},
        {"destination ends where the source starts", a, 5, 0x100, 0x100, a, 5, 0, 0, 0},
        {"overlap at the top of the 32-bit range", a, 5, 0xFFFFFF00, 0x200, a, 5, 0xFFFFFF80, 0, 8},
        {"overlap across the 32-bit end", a, 5, 0xFFFFFF00, 0x200, a, 5, 0x80, 0, 0},
        {"overlapping ranges of two OLUs", a, 5, 0x100, 0x100, a, 6, 0x100, 0, 0},
        {"interval 10", a, 5, 0, 0, a, 6, 0, 10, 0},
        {"interval 255", a, 5, 0, 0, a, 6, 0, 255, 0},
        {"interval 11", a, 5, 0, 0, a, 6, 0, 11, 12},
        {"interval 254", a, 5, 0, 0, a, 6, 0, 254, 12},
        {"no source BoxID", nullptr, 5, 0, 0, a, 6, 0, 0, 4},
        {"no destination BoxID", a, 5, 0, 0, nullptr, 6, 0, 0, 5},
        {"source OLU 0x10000", a, 0x10000, 0, 0, a, 6, 0, 0, 6},
        {"destination OLU 0x10000", a, 5, 0, 0, a, 0x10000, 0, 0, 7},
        {"destination OLU 0xFFFF", a, 5, 0, 0, a, 0xFFFF, 0, 0, 0},
        {"size 0 with a source extent", a, 5, 1, 0, a, 6, 0, 0, 11},
        {"size 0 with a destination extent", a, 5, 0, 0, a, 6, 1, 0, 11},
        {"source OLU before the interval", a, 0x10000, 0, 0, a, 6, 0, 99, 6},
        {"missing volume", a, 5, 0, 0, a, 6, 0, 0, 2, "/dev/nothere"},
    };
    // clang-format on
    for (const ClassicCase &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        const int rc = CheckParam(c.volume, c.src, c.srcOlu, c.srcExt, c.size, c.dst, c.dstOlu,
                                  c.dstExt, c.interval);
        EXPECT_EQ(rc, c.expect == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expect);
    }
    EXPECT_TRUE(sim.cdbLog().empty()) << "the checks send nothing";
}

TEST_F(Frame, ClassicCheckWithoutDestination) {
    const char *a = kA1.data();
    const std::string notNone = BoxId("BOX-A1");
    // clang-format off
    const ClassicCase cases[] = {
        {"whole volume", a, 5, 0, 0, kNone.data(), kNoDest, 0, 0, 0},
        {"part of a volume", a, 5, 0x100, 0x100, kNone.data(), kNoDest, kNoDest, 0, 0},
        {"the interval is not looked at", a, 5, 0, 0, kNone.data(), kNoDest, 0, 999, 0},
        {"size 0 with an extent", a, 5, 0x100, 0, kNone.data(), kNoDest, 0, 0, 11},
        {"size 0 with a destination extent", a, 5, 0, 0, kNone.data(), kNoDest, 1, 0, 11},
        {"size with a destination extent", a, 5, 0x100, 0x100, kNone.data(), kNoDest, 0, 0, 9},
        {"destination BoxID not all ones", a, 5, 0, 0, notNone.data(), kNoDest, 0, 0, 5},
        {"no destination BoxID", a, 5, 0, 0, nullptr, kNoDest, 0, 0, 5},
        {"a destination OLU", a, 5, 0, 0, kNone.data(), 9, 0, 0, 7},
        {"source OLU 0x10000", a, 0x10000, 0, 0, kNone.data(), kNoDest, 0, 0, 6},
        {"no source BoxID", nullptr, 5, 0, 0, kNone.data(), kNoDest, 0, 0, 4},
    };
    // clang-format on
    for (const ClassicCase &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        const int rc = CheckParamEstimate(c.volume, c.src, c.srcOlu, c.srcExt, c.size, c.dst,
                                          c.dstOlu, c.dstExt, c.interval);
        EXPECT_EQ(rc, c.expect == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expect);
    }
}

struct LvCase {
    const char *what;
    const char *src;
    uint32_t srcOlu;
    uint64_t srcExt, size;
    const char *dst;
    uint32_t dstOlu;
    uint64_t dstExt;
    uint32_t interval, mode;
    int expect;
};

TEST_F(Frame, LargeVolumePairCheck) {
    const char *a = kA1.data();
    const char *b = kA2.data();
    const char *none = kNone.data();
    const uint64_t top = 0xFFFFFFFFFFFFFF00ull;
    const uint64_t noDest = 0xFFFFFFFFFFFFFFFFull;
    // clang-format off
    const LvCase cases[] = {
        {"whole volume onto itself", a, 5, 0, 0, a, 5, 0, 0, 0, 48},
        {"whole volume on two arrays", a, 5, 0, 0, b, 5, 0, 0, 0, 0},
        {"overlap above 2^32", a, 5, 0x100000000, 0x100, a, 5, 0x1000000FF, 0, 0, 8},
        {"adjacent above 2^32", a, 5, 0x100000000, 0x100, a, 5, 0x100000100, 0, 0, 0},
        {"same low halves, other high half", a, 5, 0x100000000, 0x100, a, 5, 0, 0, 0, 0},
        {"overlap at the top of the 64-bit range", a, 5, top, 0x200, a, 5, top + 0x80, 0, 0, 8},
        {"overlap across the 64-bit end", a, 5, top, 0x200, a, 5, 0x80, 0, 0, 0},
        {"size 0 with an extent", a, 5, 0x100000000, 0, a, 6, 0, 0, 0, 11},
        {"destination OLU 0x10000", a, 5, 0, 0, a, 0x10000, 0, 0, 0, 7},
        {"no destination OLU without the mode", a, 5, 0, 0, a, kNoDest, 0, 0, 0, 7},
        {"source OLU 0x10000", a, 0x10000, 0, 0, a, 6, 0, 0, 0, 6},
        {"no destination BoxID", a, 5, 0, 0, nullptr, 6, 0, 0, 0, 5},
        {"interval 11", a, 5, 0, 0, a, 6, 0, 11, 0, 12},
        {"interval 255", a, 5, 0, 0, a, 6, 0, 255, 0, 0},
        {"no destination: whole volume", a, 5, 0, 0, none, kNoDest, 0, 0, 2, 0},
        {"no destination: part", a, 5, 0x100000000, 0x100, none, kNoDest, noDest, 0, 2, 0},
        {"no destination: low half only all ones", a, 5, 0x100, 0x100, none, kNoDest, 0xFFFFFFFF, 0, 2, 8},
        {"no destination: a BoxID", a, 5, 0, 0, b, kNoDest, 0, 0, 2, 5},
        {"no destination: an OLU", a, 5, 0, 0, none, 9, 0, 0, 2, 7},
        {"no destination: interval 11", a, 5, 0, 0, none, kNoDest, 0, 11, 2, 12},
    };
    // clang-format on
    for (const LvCase &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        const int rc = CheckParamForLV(
            kDisk, c.src, c.srcOlu, static_cast<uint32_t>(c.srcExt >> 32),
            static_cast<uint32_t>(c.srcExt), static_cast<uint32_t>(c.size >> 32),
            static_cast<uint32_t>(c.size), c.dst, c.dstOlu, static_cast<uint32_t>(c.dstExt >> 32),
            static_cast<uint32_t>(c.dstExt), c.interval, c.mode);
        EXPECT_EQ(rc, c.expect == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expect);
    }
}

TEST_F(Frame, VolumeCheckOfEveryKindOfPath) {
    struct Case {
        const char *what;
        std::string path;
        int expect;     // ZRKerrno
        int errorClass; // pseudo sense class
    };
    // clang-format off
    const Case cases[] = {
        {"disk", kDisk, 0, 0},
        {"missing node", "/dev/nothere", 2, 2},
        {"volume-manager volume", "/dev/brdlx/c1/dsk/vol1:sdb", 0, 0},
        {"volume-manager path without a disk", "/dev/brdlx/c1/dsk/vol1", 2, 5},
        {"volume-manager volume missing", "/dev/brdlx/c1/dsk/vol9:sdb", 2, 2},
        {"volume-manager disk missing", "/dev/brdlx/c1/dsk/vol1:sdz", 2, 2},
        {"disk name too long", "/dev/brdlx/c1/dsk/vol1:" + std::string(128, 'x'), 2, 5},
        {"path too long", "/dev/brdlx/c1/dsk/vol1:sdb" + std::string(4096, 'x'), 2, 5},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        EXPECT_EQ(CheckLogicalVol(c.path.c_str()), c.expect == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expect);
        EXPECT_EQ(ReadStore().errorClass, c.errorClass);
        if (c.errorClass == 2) {
            EXPECT_EQ(ReadStore().osErrno, ENOENT);
        }
    }
    // A failure already recorded in the call stays.
    NewCall();
    SetErrClassCode(9, 1);
    EXPECT_EQ(CheckLogicalVol("/dev/nothere"), -1);
    EXPECT_EQ(ReadStore().errorClass, 9);
}

TEST_F(Frame, CommonPreparationFillsTheStores) {
    unsigned char support[ZRK_SUPPORT_DATA_LEN];
    std::memset(support, 0xEE, sizeof support);
    ZRKOptionFlag = 0;
    ASSERT_EQ(zrkComInfoCheckSet(kDisk, 0x4, 0x6, support), 0) << ZRKerrno;
    EXPECT_EQ(ZRKOptionFlag, 0x4u);
    EXPECT_EQ(support[7], 0xF1);
    EXPECT_EQ(support[31], 0xF1);
    EXPECT_EQ(support[21], 0x4B);
    char box[ZRK_BOXID_LEN];
    unsigned char maxSes[2];
    unsigned char remote = 0;
    CtrlCommonData(box, ZRK_COMMON_GET_BOXID);
    CtrlCommonData(maxSes, ZRK_COMMON_GET_MAXSES);
    CtrlCommonData(&remote, ZRK_COMMON_GET_REMOTE);
    EXPECT_EQ(std::string(box, sizeof box), kA1);
    EXPECT_EQ(ShiftBtoI(maxSes, 2), 1024u) << "the maximum over all OLUs";
    EXPECT_EQ(remote, 0x03);
    EXPECT_EQ(ZRKopenFlag, 1) << "the device stays open for the caller";
    zrk::ReleaseDevice();
    EXPECT_EQ(ZRKopenFlag, 0);
    EXPECT_EQ(ZRKopenFd, 0);
}

TEST_F(Frame, MaximumSessionsOfTheWidestGroup) {
    struct Case {
        const char *what;
        const char *support; // the 32 support bytes
        int page;            // TRAVO IN page of the count read
    };
    // Group bytes 7 (KZP), 15 (remote KZP), 23 (VZ), 31 (RVZ).
    // clang-format off
    const Case cases[] = {
        {"RVZ", "00000000000000 01 00000000000000 01 00000000000000 01 00000000000000 01", 0x19},
        {"VZ", "00000000000000 01 00000000000000 01 00000000000000 01 00000000000000 00", 0x09},
        {"remote KZP", "00000000000000 01 00000000000000 01 00000000000000 00 00000000000000 00", 0x15},
        {"KZP", "00000000000000 01 00000000000000 00 00000000000000 00 00000000000000 00", 0x05},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load("array A1 boxid=\"BOX-A1\" support=" + HexDigits(c.support) +
                 "\nvolume A1 5 2097152\ndisk /dev/sdb 8:16 A1 5\n");
        NewCall();
        ASSERT_EQ(zrkComInfoCheckSet(kDisk, 0, 0, nullptr), 0) << ZRKerrno;
        zrk::ReleaseDevice();
        const auto log = sim.cdbLog();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().cdb[0], 0xEB);
        EXPECT_EQ(log.back().cdb[2], c.page);
    }
}

TEST_F(Frame, CommonPreparationRefusesBeforeAnyCommand) {
    ZRKOptionFlag = 0x77;
    EXPECT_EQ(zrkComInfoCheckSet(kDisk, 0x8, 0x6, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 37);
    EXPECT_EQ(ZRKOptionFlag, 0x77u) << "only a word that passed is published";
    EXPECT_EQ(zrkComInfoCheckSet(kDisk, 0x1, 0, nullptr), -1) << "mask 0 refuses any bit";
    EXPECT_EQ(ZRKerrno, 37);
    EXPECT_TRUE(sim.cdbLog().empty());
    EXPECT_EQ(ZRKopenFlag, 0);

    // A device that is not one of the arrays: the product check's code.
    EXPECT_EQ(zrkComInfoCheckSet(kForeignDisk, 0, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 22);
}

// The engine choice and the checks of each path.
TEST_F(Frame, EngineChoiceAndTheChecksOfEachPath) {
    const char *a = kA1.data();
    const char *none = kNone.data();
    struct Case {
        const char *what;
        const char *volume;
        const char *src;
        uint32_t srcOlu, srcExtH, srcExtL, sizeH, sizeL;
        const char *dst;
        uint32_t dstOlu, dstExtH, dstExtL, interval, option, mask;
        int expect;
        int useTvc; // -1: not looked at
    };
    // clang-format off
    const Case cases[] = {
        {"page-based pair", kDisk, a, 5, 1, 0, 0, 0x10, a, 6, 2, 0, 0, 0, 0, 0, 1},
        {"classic pair", kClassicDisk, a, 5, 0, 0x10, 0, 0x10, a, 6, 0, 0x20, 0, 0, 0, 0, 0},
        {"classic: high half of the source", kClassicDisk, a, 5, 1, 0, 0, 0x10, a, 6, 0, 0, 0, 0, 0, 8, 0},
        {"classic: high half of the size", kClassicDisk, a, 5, 0, 0, 1, 0, a, 6, 0, 0, 0, 0, 0, 8, 0},
        {"classic: high half of the destination", kClassicDisk, a, 5, 0, 0, 0, 0x10, a, 6, 1, 0, 0, 0, 0, 8, 0},
        {"classic: low halves checked", kClassicDisk, a, 5, 0, 0, 0, 0, a, 5, 0, 0, 0, 0, 0, 48, 0},
        {"classic, no destination: part", kClassicDisk, a, 5, 0, 0x10, 0, 0x10, none, kNoDest, kNoDest, kNoDest, 0, 0, 0, 0, 0},
        {"classic, no destination: high half", kClassicDisk, a, 5, 1, 0, 0, 0x10, none, kNoDest, kNoDest, kNoDest, 0, 0, 0, 8, 0},
        {"classic, no destination: extent not all ones", kClassicDisk, a, 5, 0, 0x10, 0, 0x10, none, kNoDest, 0, kNoDest, 0, 0, 0, 8, 0},
        {"monitor option: no destination form", kDisk, a, 5, 0, 0, 0, 0, none, 9, 0, 0, 0, 0x8000, 0x8000, 7, 1},
        {"by identifier", kDisk, nullptr, 0xFFFF, 9, 9, 9, 9, nullptr, 0, 9, 9, 99, 0x4, 0x4, 0, 1},
        {"by identifier 0x10000", kDisk, nullptr, 0x10000, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0x4, 0x4, 55, 1},
        {"option outside the mask", kDisk, a, 5, 0, 0, 0, 0, a, 6, 0, 0, 0, 0x4, 0, 37, -1},
        {"foreign device", kForeignDisk, a, 5, 0, 0, 0, 0, a, 6, 0, 0, 0, 0, 0, 22, -1},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        int useTvc = -1;
        const int rc =
            zrkCheckParam_main(c.volume, c.src, c.srcOlu, c.srcExtH, c.srcExtL, c.sizeH, c.sizeL,
                               c.dst, c.dstOlu, c.dstExtH, c.dstExtL, c.interval, c.option,
                               c.mask, &useTvc);
        EXPECT_EQ(rc, c.expect == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expect);
        EXPECT_EQ(useTvc, c.useTvc);
        zrk::ReleaseDevice();
    }
}

TEST_F(Frame, CallObjectReleasesTheDeviceOnEveryWayOut) {
    const int before = OpenDescriptors();
    unsigned char sense[ZRK_SENSE_LEN];
    {
        std::memset(sense, 0xAA, sizeof sense);
        zrk::ApiCall call("Probe", kDisk, sense, __LINE__);
        EXPECT_EQ(sense[0], 0) << "the caller's buffer is cleared at entry";
        ASSERT_EQ(Inquiry(kDisk), 0);
        EXPECT_EQ(ZRKopenFlag, 1);
        // Leaving the scope without an exit call still releases.
    }
    EXPECT_EQ(ZRKopenFlag, 0);
    EXPECT_EQ(ZRKopenFd, 0);
    EXPECT_EQ(OpenDescriptors(), before);

    // The failure exit hands the caller the stored sense.
    {
        zrk::ApiCall call("Probe", kDisk, sense, __LINE__);
        sim.injectSense(1, 3, 0x11, 0x00);
        EXPECT_EQ(Inquiry(kDisk), -1);
        EXPECT_EQ(call.FailAt(__LINE__), -1);
        EXPECT_EQ(ZRKopenFlag, 0);
        EXPECT_EQ(sense[2] & 0x0F, 3);
        EXPECT_EQ(sense[12], 0x11);
    }
    // A call without a volume, and without a sense buffer.
    {
        zrk::ApiCall call("Probe", nullptr, nullptr, __LINE__);
        ASSERT_EQ(Inquiry(kDisk), 0);
        EXPECT_EQ(call.Done(__LINE__, 1), 1);
        EXPECT_EQ(ZRKopenFlag, 0);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
