// The large-volume volume information, detail and block-size functions
// against the simulator, and the frame's promises through them: the device
// of a call is released on every way out (a fault walk fails each command of
// a call in turn), a caller that is not root is refused before any command
// with a zeroed sense buffer, option bits outside a mask are refused before
// any command. Also the pick of a session out of a detail list.
#include "child.h"
#include "inband_support.h"
#include "zrkframe.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

const std::string kA1 = BoxId("BOX-A1");
const std::string kA2 = BoxId("BOX-A2");
const std::string kNone(ZRK_BOXID_LEN, '\xFF');
constexpr uint32_t kNoDest = 0xFFFFFFFF;

constexpr char kDisk[] = "/dev/sdb";
constexpr char kPart[] = "/dev/sdb1";
constexpr char kClassicDisk[] = "/dev/sdc";
constexpr char kForeignDisk[] = "/dev/sdd";
constexpr char kBigDisk[] = "/dev/sde";
constexpr char kEdgeDisk[] = "/dev/sdf";

constexpr char kScenario[] = R"(
array A1 boxid="BOX-A1"
array A2 boxid="BOX-A2"
array C1 boxid="BOX-C1" profile=detail
array X1 boxid="BOX-X1" zrk=no
volume A1 5 2097152 attr=1
volume A1 6 2097152
volume A1 7 8589934600
volume A1 8 4294967296
volume A2 9 2097152
volume C1 3 2097152
volume X1 1 2097152
disk /dev/sdb 8:16 A1 5
partition /dev/sdb1 8:17 /dev/sdb 2048 1000000
disk /dev/sdc 8:32 C1 3
disk /dev/sdd 8:48 X1 1
disk /dev/sde 8:64 A1 7
disk /dev/sdf 8:80 A1 8
session 11 vz A1 5 A1 6 srcext=0x100 size=0x200 dstext=0x400
session 12 rvz A1 5 A2 9
session 13 kzp A1 6 A1 5
)";

// Every output of the volume information, prefilled so that untouched
// outputs can be told.
struct VolumeOut {
    char box[ZRK_BOXID_LEN];
    uint32_t olu = 0xEEEEEEEE, extHigh = 0xEEEEEEEE, extLow = 0xEEEEEEEE;
    uint32_t sizeHigh = 0xEEEEEEEE, sizeLow = 0xEEEEEEEE;
    VOL_INFO info;
    VOL_INFO_EX infoEx;
    unsigned char sense[ZRK_SENSE_LEN];
    VolumeOut() {
        std::memset(box, 0xEE, sizeof box);
        std::memset(&info, 0xEE, sizeof info);
        std::memset(&infoEx, 0xEE, sizeof infoEx);
        std::memset(sense, 0xAA, sizeof sense);
    }
    bool Untouched() const { return olu == 0xEEEEEEEE && infoEx.ucAttribute == 0xEE; }
};

int VolumeInfo(const char *volume, uint32_t extentCnt, uint32_t option, VolumeOut &o, bool ex) {
    return ex ? ZRKLVGetVolumeInfoEx(volume, extentCnt, option, o.box, &o.olu, &o.extHigh,
                                     &o.extLow, &o.sizeHigh, &o.sizeLow, &o.info, &o.infoEx,
                                     o.sense)
              : ZRKLVGetVolumeInfo(volume, extentCnt, option, o.box, &o.olu, &o.extHigh,
                                   &o.extLow, &o.sizeHigh, &o.sizeLow, &o.info, o.sense);
}

struct Pair {
    const char *src = kA1.data();
    uint32_t srcOlu = 5, srcExtH = 0, srcExtL = 0x100, sizeH = 0, sizeL = 0x200;
    const char *dst = kA1.data();
    uint32_t dstOlu = 6, dstExtH = 0, dstExtL = 0x400, interval = 0;
};

int QueryDetail(const char *volume, const Pair &p, uint32_t option, uint32_t length,
                unsigned char *detail, unsigned char *sense) {
    return ZRKLVQueryDetail(volume, p.src, p.srcOlu, p.srcExtH, p.srcExtL, p.sizeH, p.sizeL, p.dst,
                            p.dstOlu, p.dstExtH, p.dstExtL, p.interval, option, length, detail,
                            sense);
}

class LvInfo : public InbandTest {
protected:
    LvInfo() : InbandTest(kScenario) {}

    // The commands of a clean run of a walk over call (0 when it gave up).
    size_t FaultWalk(const std::function<int(unsigned char *sense)> &call, int success) {
        const zrktest::FaultWalk walk = WalkWithSense(sim, call, success);
        return walk.bEnded ? walk.clean.uiCommands : 0;
    }
};

// ---- volume information -----------------------------------------------------------

TEST_F(LvInfo, VolumeInformationOfAPartition) {
    for (const bool ex : {false, true}) {
        SCOPED_TRACE(ex ? "Ex" : "plain");
        VolumeOut o;
        ASSERT_EQ(VolumeInfo(kPart, 0, 0, o, ex), 1) << ZRKerrno;
        EXPECT_EQ(std::string(o.box, sizeof o.box), kA1);
        EXPECT_EQ(o.olu, 5u);
        EXPECT_EQ(o.extHigh, 0u);
        EXPECT_EQ(o.extLow, 2048u);
        EXPECT_EQ(o.sizeHigh, 0u);
        EXPECT_EQ(o.sizeLow, 1000000u);
        EXPECT_EQ(o.info.ucaSupportData[7], 0xF1);
        EXPECT_EQ(ShiftBtoI(o.info.ucaVzMaxSession + 2, 2), 1024u);
        EXPECT_EQ(o.infoEx.ucAttribute, ex ? 1 : 0xEE) << "the plain form has no VOL_INFO_EX";
        EXPECT_TRUE(AllZero(o.sense, sizeof o.sense));
        EXPECT_EQ(ZRKopenFlag, 0);
    }
    // A volume beyond 2^32 blocks.
    VolumeOut o;
    ASSERT_EQ(VolumeInfo(kBigDisk, 0, 0x200000, o, true), 1) << ZRKerrno;
    EXPECT_EQ(o.olu, 7u);
    EXPECT_EQ(o.sizeHigh, 2u);
    EXPECT_EQ(o.sizeLow, 8u);
    // Both engines read the volume information alike.
    ASSERT_EQ(VolumeInfo(kClassicDisk, 0, 0, o, true), 1) << ZRKerrno;
    EXPECT_EQ(std::string(o.box, sizeof o.box), BoxId("BOX-C1"));
    EXPECT_EQ(o.olu, 3u);
}

TEST_F(LvInfo, VolumeInformationRefusalsSendNothing) {
    struct Case {
        const char *what;
        uint32_t extentCnt, option;
        int expect;
    };
    // clang-format off
    const Case cases[] = {
        {"extent count 1", 1, 0, 3},
        {"option 0x4", 0, 0x4, 37},
        {"option 0x1", 0, 0x1, 37},
        {"option 0x80000000", 0, 0x80000000, 37},
        {"a bit beside 0x200000", 0, 0x200001, 37},
        {"option before extent count", 1, 0x4, 37},
    };
    // clang-format on
    for (const bool ex : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << (ex ? " Ex" : ""));
            VolumeOut o;
            sim.clearLog();
            EXPECT_EQ(VolumeInfo(kDisk, c.extentCnt, c.option, o, ex), -1);
            EXPECT_EQ(ZRKerrno, c.expect);
            EXPECT_TRUE(o.Untouched());
            EXPECT_TRUE(AllZero(o.sense, sizeof o.sense));
            EXPECT_TRUE(sim.cdbLog().empty());
        }
    }
    // A missing output is refused before any command too.
    VolumeOut o;
    EXPECT_EQ(ZRKLVGetVolumeInfoEx(kDisk, 0, 0, o.box, &o.olu, &o.extHigh, &o.extLow, &o.sizeHigh,
                                   &o.sizeLow, &o.info, nullptr, o.sense),
              -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_TRUE(sim.cdbLog().empty());
}

TEST_F(LvInfo, VolumeInformationFaultWalk) {
    for (const bool ex : {false, true}) {
        SCOPED_TRACE(ex ? "Ex" : "plain");
        const size_t commands = FaultWalk(
            [&](unsigned char *sense) {
                VolumeOut o;
                const int rc = VolumeInfo(kDisk, 0, 0, o, ex);
                if (rc != 1) { EXPECT_TRUE(o.Untouched()); }
                std::memcpy(sense, o.sense, sizeof o.sense);
                return rc;
            },
            1);
        EXPECT_GT(commands, 3u);
    }
}

// A device that the product check refuses: the call still releases it.
TEST_F(LvInfo, ForeignDeviceIsReleased) {
    const int descriptors = OpenDescriptors();
    VolumeOut o;
    EXPECT_EQ(VolumeInfo(kForeignDisk, 0, 0, o, true), -1);
    EXPECT_EQ(ZRKerrno, 22);
    EXPECT_EQ(ZRKopenFlag, 0);
    unsigned char detail[256];
    EXPECT_EQ(QueryDetail(kForeignDisk, Pair{}, 0, sizeof detail, detail, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 22);
    EXPECT_EQ(ZRKopenFlag, 0);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

// A call that fails after reaching one array leaves nothing that the next
// call could send to that array instead of its own.
TEST_F(LvInfo, NextCallReachesItsOwnVolume) {
    unsigned char detail[256];
    EXPECT_EQ(QueryDetail(kClassicDisk, Pair{}, 0, 0, detail, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 13);
    VolumeOut o;
    EXPECT_EQ(VolumeInfo(kClassicDisk, 1, 0, o, false), -1);
    EXPECT_EQ(ZRKerrno, 3);
    sim.clearLog();
    ASSERT_EQ(VolumeInfo(kDisk, 0, 0, o, false), 1) << ZRKerrno;
    EXPECT_EQ(std::string(o.box, sizeof o.box), kA1);
    const auto log = sim.cdbLog();
    ASSERT_FALSE(log.empty());
    for (const auto &r : log) EXPECT_EQ(r.path, kDisk);
}

TEST_F(LvInfo, FrameLines) {
    setenv("WXAPI_LOG_FLAG", "1F", 1);
    VolumeOut o;
    ASSERT_EQ(VolumeInfo(kDisk, 0, 0x200000, o, false), 1) << ZRKerrno;
    const std::string log = root.logText();
    unsetenv("WXAPI_LOG_FLAG");
    const char *lines[] = {
        "ZRKLVGetVolumeInfo in [/dev/sdb] [",
        "ZRKLVGetVolumeInfo()  LogicalVol=[/dev/sdb] : ExtentCnt=<0> : OptionFlag=<0x200000>",
        "zrkComInfoCheckSet OK end [/dev/sdb] [",
        "opcl_reduction close Flag:0 Fd:0 [",
        "ZRKLVGetVolumeInfo OK end [/dev/sdb] [",
    };
    size_t at = 0;
    for (const char *line : lines) {
        const size_t found = log.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "\n" << log;
        if (found != std::string::npos) at = found;
    }
}

// ---- refusals of a caller that is not root ----------------------------------------

TEST_F(LvInfo, CallerThatIsNotRoot) {
    sim.clearLog();
    const zrktest::ChildResult r = zrktest::runChild([] {
        ConnectHost(); // the link to the simulator outlives the drop
        if (!zrktest::dropPrivileges()) return 100;
        int failures = 0;
        auto expect = [&](const char *what, int rc, const unsigned char *sense) {
            const bool ok = rc == -1 && ZRKerrno == 34 &&
                            (sense == nullptr || AllZero(sense, ZRK_SENSE_LEN));
            if (!ok) {
                std::printf("%s: rc %d ZRKerrno %d\n", what, rc, ZRKerrno);
                ++failures;
            }
        };
        VolumeOut o;
        expect("ZRKLVGetVolumeInfo", VolumeInfo(kDisk, 0, 0, o, false), o.sense);
        VolumeOut ox;
        expect("ZRKLVGetVolumeInfoEx", VolumeInfo(kDisk, 0, 0, ox, true), ox.sense);
        unsigned char sense[ZRK_SENSE_LEN];
        unsigned char detail[256];
        std::memset(sense, 0xAA, sizeof sense);
        expect("ZRKLVQueryDetail", QueryDetail(kDisk, Pair{}, 0, sizeof detail, detail, sense),
               sense);
        std::memset(sense, 0xAA, sizeof sense);
        uint32_t h = 0, l = 0, b = 0;
        expect("ZRKLVGetBlockSize", ZRKLVGetBlockSize(kDisk, &h, &l, &b, sense), sense);
        DETAIL_LIST_INFO entry{};
        TVC_DETAIL_INFO found;
        uint32_t kind = 0;
        expect("ZRKLVQueryDetailfromList",
               ZRKLVQueryDetailfromList(0, 1, &entry, kA1.data(), 5, 0, 0, 0, 0, kA1.data(), 6, 0,
                                        0, 0, &found, &kind),
               nullptr);
        if (ZRKopenFlag != 0) ++failures;
        // The link works: this command, sent past the API, reaches the array.
        if (Inquiry(kDisk) != 0) return 101;
        return failures;
    });
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const auto log = sim.cdbLog();
    ASSERT_EQ(log.size(), 1u) << "only the probe reached the array";
    EXPECT_EQ(log[0].cdb[0], 0x12);
}

// ---- detail of the session of a pair ------------------------------------------------

TEST_F(LvInfo, DetailOfAPair) {
    struct Case {
        const char *what;
        Pair pair;
        uint32_t option;
        int id;   // session identifier in bytes 0-1
        int kind; // copy kind byte
    };
    Pair remote;
    remote.dst = kA2.data();
    remote.dstOlu = 9;
    remote.srcExtL = remote.sizeL = remote.dstExtL = 0;
    Pair byId;
    byId.srcOlu = 13;
    byId.srcExtH = 1; // the limits are not looked at for an identifier
    Pair kzp;
    kzp.srcOlu = 6;
    kzp.dstOlu = 5;
    kzp.srcExtL = kzp.sizeL = kzp.dstExtL = 0;
    // clang-format off
    const Case cases[] = {
        {"local part", Pair{}, 0, 11, 2},
        {"remote whole volume", remote, 0, 12, 2},
        {"KZP family", kzp, 0x80000, 13, 1},
        {"by identifier", byId, 0x4, 13, 1},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        unsigned char detail[256];
        std::memset(detail, 0xAA, sizeof detail);
        unsigned char sense[ZRK_SENSE_LEN];
        ASSERT_EQ(QueryDetail(kDisk, c.pair, c.option, sizeof detail, detail, sense), 0)
            << ZRKerrno;
        EXPECT_EQ(ShiftBtoI(detail, 2), static_cast<unsigned>(c.id));
        EXPECT_EQ(detail[4], c.kind);
        EXPECT_EQ(detail[19], 2) << "Active";
        EXPECT_TRUE(AllZero(detail + 184, 72)) << "zeros after the record";
        EXPECT_EQ(ZRKopenFlag, 0);
    }
}

TEST_F(LvInfo, DetailLengths) {
    unsigned char full[300];
    std::memset(full, 0xAA, sizeof full);
    ASSERT_EQ(QueryDetail(kDisk, Pair{}, 0, 300, full, nullptr), 0) << ZRKerrno;
    EXPECT_EQ(ShiftBtoI(full, 2), 11u);
    EXPECT_TRUE(AllZero(full + 184, 72));
    for (size_t i = 256; i < sizeof full; ++i) EXPECT_EQ(full[i], 0xAA) << i;

    unsigned char part[300];
    std::memset(part, 0xAA, sizeof part);
    ASSERT_EQ(QueryDetail(kDisk, Pair{}, 0, 100, part, nullptr), 0) << ZRKerrno;
    EXPECT_EQ(std::memcmp(part, full, 100), 0);
    for (size_t i = 100; i < sizeof part; ++i) EXPECT_EQ(part[i], 0xAA) << i;
}

TEST_F(LvInfo, DetailRefusals) {
    struct Case {
        const char *what;
        const char *volume;
        Pair pair;
        uint32_t option, length;
        bool withDetail;
        int expect;
        bool commands; // whether commands were sent before the refusal
    };
    Pair highSrc;
    highSrc.srcExtH = 1;
    Pair wrap;
    wrap.srcExtL = 0xFFFFFF00;
    wrap.sizeL = 0x100;
    Pair estimate;
    estimate.dst = kNone.data();
    estimate.dstOlu = kNoDest;
    estimate.dstExtH = 0;
    estimate.dstExtL = kNoDest;
    Pair missing;
    missing.dstExtL = 0x800;
    // clang-format off
    const Case cases[] = {
        {"source extent above 32 bits", kDisk, highSrc, 0, 256, true, 69, false},
        {"extent end at 2^32", kDisk, wrap, 0, 256, true, 69, false},
        {"no destination, low extent all ones", kDisk, estimate, 0, 256, true, 69, false},
        {"limits before the mask", kDisk, highSrc, 0x2, 256, true, 69, false},
        {"option 0x2", kDisk, Pair{}, 0x2, 256, true, 37, false},
        {"option 0x8000", kDisk, Pair{}, 0x8000, 256, true, 37, false},
        {"length 0", kDisk, Pair{}, 0, 0, true, 13, true},
        {"no detail area", kDisk, Pair{}, 0, 256, false, 13, true},
        {"no such session", kDisk, missing, 0, 256, true, 21, true},
        {"a pair on another array, classic engine", kClassicDisk, Pair{}, 0, 256, true, 33, true},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.clearLog();
        unsigned char detail[256];
        std::memset(detail, 0xAA, sizeof detail);
        unsigned char sense[ZRK_SENSE_LEN];
        EXPECT_EQ(QueryDetail(c.volume, c.pair, c.option, c.length,
                              c.withDetail ? detail : nullptr, sense),
                  -1);
        EXPECT_EQ(ZRKerrno, c.expect);
        EXPECT_EQ(detail[0], 0xAA) << "output untouched";
        EXPECT_EQ(sim.cdbLog().empty(), !c.commands);
        EXPECT_EQ(ZRKopenFlag, 0);
    }
}

// The 32-bit limits come before the root check.
TEST_F(LvInfo, DetailLimitsBeforeTheRootCheck) {
    const zrktest::ChildResult r = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 100;
        Pair p;
        p.srcExtH = 1;
        unsigned char detail[256];
        if (QueryDetail(kDisk, p, 0, sizeof detail, detail, nullptr) != -1) return 1;
        return ZRKerrno == 69 ? 0 : 2;
    });
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(LvInfo, DetailFaultWalk) {
    const size_t commands = FaultWalk(
        [](unsigned char *sense) {
            unsigned char detail[256];
            std::memset(detail, 0xAA, sizeof detail);
            const int rc = QueryDetail(kDisk, Pair{}, 0, sizeof detail, detail, sense);
            if (rc != 0) { EXPECT_EQ(detail[0], 0xAA); }
            return rc;
        },
        0);
    EXPECT_GT(commands, 4u);
}

// ---- block size ---------------------------------------------------------------------

TEST_F(LvInfo, BlockSize) {
    struct Case {
        const char *volume;
        uint32_t high, low;
        std::vector<int> opcodes; // READ CAPACITY (10), then (16) when needed
    };
    // clang-format off
    const Case cases[] = {
        {kDisk, 0, 2097152, {0x25}},
        {kBigDisk, 2, 8, {0x25, 0x9E}},
        {kEdgeDisk, 1, 0, {0x25, 0x9E}}, // exactly 2^32 blocks
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.volume);
        sim.clearLog();
        uint32_t high = 99, low = 99, length = 99;
        unsigned char sense[ZRK_SENSE_LEN];
        ASSERT_EQ(ZRKLVGetBlockSize(c.volume, &high, &low, &length, sense), 0) << ZRKerrno;
        EXPECT_EQ(high, c.high);
        EXPECT_EQ(low, c.low);
        EXPECT_EQ(length, 512u);
        std::vector<int> opcodes;
        for (const auto &rec : sim.cdbLog()) opcodes.push_back(rec.cdb[0]);
        EXPECT_EQ(opcodes, c.opcodes);
        EXPECT_EQ(ZRKopenFlag, 0);
    }
}

TEST_F(LvInfo, BlockSizeFailures) {
    uint32_t high = 99, low = 99, length = 99;
    unsigned char sense[ZRK_SENSE_LEN];
    // The volume check's pseudo sense reaches the caller.
    EXPECT_EQ(ZRKLVGetBlockSize("/dev/nothere", &high, &low, &length, sense), -1);
    EXPECT_EQ(ZRKerrno, 2);
    EXPECT_EQ(sense[0], 2);
    EXPECT_EQ(ShiftBtoI(sense + 4, 4), static_cast<unsigned>(ENOENT));
    EXPECT_EQ(ZRKLVGetBlockSize(kDisk, nullptr, &low, &length, sense), -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_TRUE(sim.cdbLog().empty());

    const size_t commands = FaultWalk(
        [&](unsigned char *s) {
            const int rc = ZRKLVGetBlockSize(kBigDisk, &high, &low, &length, s);
            if (rc != 0) { EXPECT_EQ(high, 99u); }
            return rc;
        },
        0);
    EXPECT_EQ(commands, 2u);
}

// ---- a session out of a caller's detail list ------------------------------------------

DETAIL_LIST_INFO Entry(uint16_t id, uint8_t kind, uint32_t srcOlu, uint32_t dstOlu) {
    zrk::DetailEntry e{};
    e.uhSessionId = id;
    e.ucCopyKind = kind;
    e.ucPhase = 2;
    e.ucStatus = 2;
    std::memcpy(e.ucaSrcBoxID, kA1.data(), ZRK_BOXID_LEN);
    std::memcpy(e.ucaDstBoxID, kA1.data(), ZRK_BOXID_LEN);
    e.uiSrcOlu = srcOlu;
    e.uiDstOlu = dstOlu;
    e.uhExtentCnt = 1;
    e.ullSrcExtent = 0x100000000ull;
    e.ullSrcSize = 0x10;
    e.ullDstExtent = 0x20;
    return zrk::EncodeDetailEntry(e);
}

TEST_F(LvInfo, SessionOutOfAList) {
    // clang-format off
    const DETAIL_LIST_INFO list[] = {
        Entry(0x21, 1, 5, 6),
        Entry(0x22, 2, 5, 6),
        Entry(0x23, 2, 5, 7),
    };
    // clang-format on
    struct Case {
        const char *what;
        uint32_t kind, count;
        bool withList;
        const char *src;
        uint32_t srcOlu, dstOlu;
        bool withDetail, withKind;
        int expect;
        int id; // found identifier
    };
    const char *a = kA1.data();
    // clang-format off
    const Case cases[] = {
        {"any kind: the first match", 0, 3, true, a, 5, 6, true, true, 0, 0x21},
        {"KZP family", 1, 3, true, a, 5, 6, true, true, 0, 0x21},
        {"VZ family", 2, 3, true, a, 5, 6, true, true, 0, 0x22},
        {"VZ family, other OLU", 2, 3, true, a, 5, 7, true, true, 0, 0x23},
        {"only the first two entries", 2, 2, true, a, 5, 7, true, true, 21, 0},
        {"copy kind 3", 3, 3, true, a, 5, 6, true, true, 13, 0},
        {"empty list before the outputs", 0, 0, true, a, 5, 6, false, false, 21, 0},
        {"source OLU 0x10000", 0, 3, true, a, 0x10000, 6, true, true, 6, 0},
        {"no detail", 0, 3, true, a, 5, 6, false, true, 13, 0},
        {"no kind", 0, 3, true, a, 5, 6, true, false, 13, 0},
        {"no list", 0, 3, false, a, 5, 6, true, true, 13, 0},
        {"no source BoxID", 0, 3, true, nullptr, 5, 6, true, true, 4, 0},
        {"no match", 0, 3, true, a, 5, 8, true, true, 21, 0},
    };
    // clang-format on
    // It sends nothing and leaves the sense store alone.
    unsigned char stored[ZRK_SENSE_LEN] = {0x70, 0, 0x05};
    CtrlSenseData(stored, sizeof stored, ZRK_SENSE_STORE);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TVC_DETAIL_INFO detail;
        std::memset(&detail, 0xAA, sizeof detail);
        uint32_t kind = 99;
        const int rc = ZRKLVQueryDetailfromList(
            c.kind, c.count, c.withList ? list : nullptr, c.src, c.srcOlu, 1, 0, 0, 0x10, a,
            c.dstOlu, 0, 0x20, 0, c.withDetail ? &detail : nullptr, c.withKind ? &kind : nullptr);
        EXPECT_EQ(rc, c.expect == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expect);
        if (c.expect == 0) {
            EXPECT_EQ(ShiftBtoI(detail.ucaSessionID, 2), static_cast<unsigned>(c.id));
            EXPECT_EQ(kind, detail.ucCopyKind);
            EXPECT_EQ(detail.ucVolumeRole, 1);
        } else {
            EXPECT_EQ(kind, 99u);
        }
    }
    EXPECT_EQ(ReadStore().key, 5);
    EXPECT_TRUE(sim.cdbLog().empty());
}

}  // namespace
