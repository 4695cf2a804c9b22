// The large-volume public functions of the point-in-time copies against the
// simulator: the lifecycles of KZP, QuickKZP (restart, stop of the tracking),
// SnapKZP and the copy monitor on the virtual clock, the SnapKZP+
// generations and the snap data pool, the option rules of every function as
// tables, the roll-back of a refused start as the caller sees it, and the
// rules that come before the engine on arrays without the page-based engine.
// After every call the device of the call is closed.
#include "inband_support.h"
#include "zrkframe.h"
#include "zrktvc.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

const std::string kNoBox(ZRK_BOXID_LEN, '\xFF');
constexpr uint32_t kNoDest = 0xFFFFFFFF;

constexpr char kHostA1[] = "/dev/sdb";  // A1:5
constexpr char kClassic[] = "/dev/sdd"; // C1:5, an array without the page-based engine
constexpr char kQm[] = "/dev/sdf";      // Q1:5, the QM family

constexpr uint64_t kBlocks = 2097152;   // every volume; 8 s of copying at the default rate
constexpr uint32_t kRate = 262144;      // blocks per virtual second

constexpr char kScenario[] = R"(
array A1 boxid="BOX-A1" poolsize=yes
array A2 boxid="BOX-A2"
array C1 boxid="BOX-C1" profile=detail
array Q1 boxid="BOX-Q1" family=qm
volume A1 5 2097152
volume A1 6 2097152
volume A1 7 2097152
volume A1 8 2097152
volume A1 10 2097152
volume A1 11 2097152
volume A2 9 2097152
volume C1 5 2097152
volume C1 6 2097152
volume Q1 5 2097152
volume Q1 6 2097152
disk /dev/sdb 8:16 A1 5
disk /dev/sdc 8:32 A2 9
disk /dev/sdd 8:48 C1 5
disk /dev/sdf 8:80 Q1 5
)";

using Pair = CopyPair;
Pair To(uint32_t dstOlu) { return Pair{.uiDstOlu = dstOlu}; }
const Pair kRemote{.sDst = "BOX-A2", .uiDstOlu = 9};
// The copy monitor: no destination.
const Pair kMonitor{.uiDstOlu = kNoDest, .bNoBox = true};
Pair ById(uint32_t id) { return Pair{.uiSrcOlu = id, .uiDstOlu = 0}; }
Pair On(const char *box, uint32_t dstOlu = 6) { return Pair{.sSrc = box, .sDst = box, .uiDstOlu = dstOlu}; }

using Control = int (*)(const char *, const char *, uint32_t, uint32_t, uint32_t, uint32_t,
                        uint32_t, const char *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                        unsigned char *);

class LvKzp : public LvApiTest {
protected:
    LvKzp() : LvApiTest(kScenario) {}

    // The pair's words as the functions take them.
    struct Words {
        std::string src, dst;
        uint32_t w[10];
    };
    static Words Of(const Pair &p) {
        Words w{BoxId(p.sSrc), p.bNoBox ? kNoBox : BoxId(p.sDst), {}};
        const uint32_t v[10] = {p.uiSrcOlu,
                                static_cast<uint32_t>(p.ullSrcExt >> 32),
                                static_cast<uint32_t>(p.ullSrcExt),
                                static_cast<uint32_t>(p.ullSize >> 32),
                                static_cast<uint32_t>(p.ullSize),
                                p.uiDstOlu,
                                static_cast<uint32_t>(p.ullDstExt >> 32),
                                static_cast<uint32_t>(p.ullDstExt),
                                p.uiInterval,
                                0};
        std::memcpy(w.w, v, sizeof v);
        return w;
    }
    int Run(Control fn, const char *host, const Pair &p, uint32_t option) {
        Before();
        const Words w = Of(p);
        return After(fn(host, w.src.data(), w.w[0], w.w[1], w.w[2], w.w[3], w.w[4], w.dst.data(),
                        w.w[5], w.w[6], w.w[7], w.w[8], option, sense));
    }
    struct Query {
        int rc;
        uint32_t status, high, low, lapse;
    };
    Query QueryKzp(const char *host, const Pair &p, uint32_t option = 0, bool outputs = true) {
        Before();
        const Words w = Of(p);
        Query q{0, 0xAA, 0xAA, 0xAA, 0xAA};
        q.rc = After(ZRKLVQueryKZP(host, w.src.data(), w.w[0], w.w[1], w.w[2], w.w[3], w.w[4],
                                   w.dst.data(), w.w[5], w.w[6], w.w[7], w.w[8], option,
                                   outputs ? &q.status : nullptr, &q.high, &q.low, &q.lapse,
                                   sense));
        return q;
    }
    int Detail(const char *host, const Pair &p, uint32_t option, unsigned char *detail) {
        Before();
        const Words w = Of(p);
        return After(ZRKLVQueryKZPDetail(host, w.src.data(), w.w[0], w.w[1], w.w[2], w.w[3],
                                         w.w[4], w.dst.data(), w.w[5], w.w[6], w.w[7], w.w[8],
                                         option, detail, sense));
    }
    int Session(const char *host, uint32_t id, uint32_t option, unsigned char *detail) {
        return QuerySession(ZRKLVQueryKZPSession, host, id, option, detail);
    }
    int GeneraList(const char *host, const Pair &p, uint32_t option, unsigned char *list,
                   bool withBox = true) {
        Before();
        const Words w = Of(p);
        return After(ZRKLVGeneraListSnapKZP_p(host, withBox ? w.src.data() : nullptr, w.w[0],
                                              w.w[1], w.w[2], w.w[3], w.w[4], option, list,
                                              sense));
    }
    int GeneraInfo(const char *host, const Pair &p, uint32_t option, unsigned char *info) {
        Before();
        const Words w = Of(p);
        return After(ZRKLVGeneraInfoSnapKZP_p(host, w.src.data(), w.w[0], w.w[1], w.w[2], w.w[3],
                                              w.w[4], w.dst.data(), w.w[5], w.w[6], w.w[7],
                                              w.w[8], option, info, sense));
    }
    int PoolInfo(const char *host, uint32_t option, unsigned char *info) {
        Before();
        return After(ZRKLVPoolInfoSnapKZP_p(host, option, info, sense));
    }
    int PoolSize(const char *host, const Pair &p, uint32_t option, unsigned char *info) {
        Before();
        const Words w = Of(p);
        return After(ZRKLVGetPoolExtSize(host, w.src.data(), w.w[0], w.w[1], w.w[2], w.w[3],
                                         w.w[4], w.dst.data(), w.w[5], w.w[6], w.w[7], w.w[8],
                                         option, info, sense));
    }

    void Fresh(const std::vector<std::string> &sessions = {}) { Reload(kScenario, sessions); }
};

// ---- lifecycles --------------------------------------------------------------------------

TEST_F(LvKzp, KzpCopiesAndEnds) {
    // The copy interval is no point-in-time parameter: 11 would be refused
    // elsewhere, here it is not even sent.
    ASSERT_EQ(Run(ZRKLVStartKZP, kHostA1, Pair{.uiInterval = 11}, 0), 0) << ZRKerrno;
    EXPECT_TRUE(SenseClear());
    const int id = ZRKsessionid;
    EXPECT_EQ(Field("A1", id, "kind"), "kzp");
    EXPECT_EQ(Field("A1", id, "interval"), "0");
    EXPECT_EQ(zrk::Be16(Pages()[0].data() + 138), 0);

    Query q = QueryKzp(kHostA1, To(6));
    ASSERT_EQ(q.rc, 0) << ZRKerrno;
    EXPECT_EQ(q.status, 2u);
    EXPECT_EQ(q.low, 0u);
    sim.advanceClock(3);
    q = QueryKzp(kHostA1, ById(id), 0x4);
    EXPECT_EQ(q.high, 0u);
    EXPECT_EQ(q.low, 3 * kRate);

    unsigned char detail[256];
    std::memset(detail, 0xEE, sizeof detail);
    ASSERT_EQ(Detail(kHostA1, To(6), 0, detail), 0) << ZRKerrno;
    EXPECT_EQ(zrk::Be16(detail), id);
    EXPECT_EQ(detail[4], 1);
    EXPECT_EQ(zrk::Be32(detail + 140), 3 * kRate);
    for (int i = 184; i < 256; ++i) ASSERT_EQ(detail[i], 0) << i;
    ASSERT_EQ(Detail(kHostA1, To(6), 0x80000, detail), 0) << ZRKerrno;
    std::memset(detail, 0xEE, sizeof detail);
    ASSERT_EQ(Session(kHostA1, id, 0, detail), 0) << ZRKerrno;
    EXPECT_EQ(zrk::Be32(detail + 124), 6u);
    for (int i = 184; i < 256; ++i) ASSERT_EQ(detail[i], 0) << i;

    // Complete, the copy leaves the array.
    sim.advanceClock(5);
    EXPECT_EQ(QueryKzp(kHostA1, To(6)).rc, -1);
    EXPECT_EQ(ZRKerrno, 21);
    EXPECT_EQ(Session(kHostA1, id, 0, detail), -1);
    EXPECT_EQ(ZRKerrno, 21);

    // Between two arrays; force only there.
    ASSERT_EQ(Run(ZRKLVStartKZP, kHostA1, kRemote, 0), 0) << ZRKerrno;
    EXPECT_EQ(Field("A1", ZRKsessionid, "pair"), "A1:5>A2:9");
    sim.clearLog();
    ASSERT_EQ(Run(ZRKLVStopKZP, kHostA1, kRemote, 0x2), 0) << ZRKerrno;
    EXPECT_EQ(Sent(), "45");
    EXPECT_TRUE(sim.sessions("A1").empty());
}

TEST_F(LvKzp, QuickKzpRestartsAndStopsItsTracking) {
    sim.setArray("A1", "writerate=1000");
    ASSERT_EQ(Run(ZRKLVStartQuickKZP, kHostA1, To(7), 0), 0) << ZRKerrno;
    const int id = ZRKsessionid;
    EXPECT_EQ(Field("A1", id, "kind"), "quickkzp");
    EXPECT_EQ(Field("A1", id, "phase"), "4"); // Tracking&Copying
    sim.advanceClock(8);
    EXPECT_EQ(Field("A1", id, "phase"), "3"); // Tracking
    sim.advanceClock(2);
    const std::string diff = Field("A1", id, "diff");
    ASSERT_NE(diff, "0");

    // The restart copies the difference again; it makes no new session.
    sim.clearLog();
    ZRKsessionid = -7;
    ASSERT_EQ(Run(ZRKLVStartQuickKZP, kHostA1, To(7), 0x2000), 0) << ZRKerrno;
    EXPECT_EQ(Sent(), "44");
    EXPECT_EQ(ZRKsessionid, -7);
    EXPECT_EQ(Field("A1", id, "phase"), "4");
    EXPECT_EQ(Field("A1", id, "copied"), std::to_string(kBlocks - std::stoull(diff)));
    sim.advanceClock(1);
    EXPECT_EQ(Field("A1", id, "phase"), "3");

    // Stopping the tracking of a tracking session ends it.
    ASSERT_EQ(Run(ZRKLVStopQuickKZP, kHostA1, To(7), 0x4000), 0) << ZRKerrno;
    EXPECT_TRUE(sim.sessions("A1").empty());

    // While it copies, it copies to the end and then ends.
    ASSERT_EQ(Run(ZRKLVStartQuickKZP, kHostA1, To(7), 0x2000000), 0) << ZRKerrno;
    EXPECT_EQ(Field("A1", ZRKsessionid, "vvoldelete"), "yes");
    ASSERT_EQ(Run(ZRKLVStopQuickKZP, kHostA1, To(7), 0x4000), 0) << ZRKerrno;
    EXPECT_EQ(Field("A1", ZRKsessionid, "tracking"), "no");
    EXPECT_EQ(Field("A1", ZRKsessionid, "phase"), "1");
    sim.advanceClock(8);
    EXPECT_TRUE(sim.sessions("A1").empty());

    // Force ends it at once, named by its identifier.
    ASSERT_EQ(Run(ZRKLVStartQuickKZP, kHostA1, To(7), 0), 0) << ZRKerrno;
    ASSERT_EQ(Run(ZRKLVStopQuickKZP, kHostA1, ById(ZRKsessionid), 0x4 | 0x2), 0) << ZRKerrno;
    EXPECT_TRUE(sim.sessions("A1").empty());
}

TEST_F(LvKzp, SnapKzpAndTheCopyMonitor) {
    sim.setArray("A1", "writerate=1000");
    ASSERT_EQ(Run(ZRKLVStartSnapKZP, kHostA1, To(8), 0), 0) << ZRKerrno;
    const int snap = ZRKsessionid;
    EXPECT_EQ(Field("A1", snap, "kind"), "snapkzp");
    EXPECT_EQ(Field("A1", snap, "phase"), "3");
    sim.advanceClock(4);
    EXPECT_EQ(QueryKzp(kHostA1, To(8)).low, 4000u);

    // Monitors of A1:5 without a destination, one of each start.
    struct Case {
        const char *what;
        Control start, stop;
    };
    // clang-format off
    const Case cases[] = {
        {"SnapKZP form", ZRKLVStartSnapKZP, ZRKLVStopSnapKZP},
        {"SnapKZP+ form", ZRKLVStartSnapKZP_p, ZRKLVStopSnapKZP_p},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(Run(c.start, kHostA1, kMonitor, 0x8000), 0) << ZRKerrno;
        const int monitor = ZRKsessionid;
        EXPECT_EQ(Field("A1", monitor, "kind"), "monitor");
        sim.advanceClock(2);
        unsigned char detail[256] = {};
        ASSERT_EQ(Session(kHostA1, monitor, 0, detail), 0) << ZRKerrno;
        EXPECT_EQ(detail[4], 3);
        EXPECT_EQ(zrk::Be32(detail + 124), kNoDest);
        EXPECT_EQ(zrk::Be32(detail + 140), 2000u);
        // A monitor without its flag is no snapshot to stop.
        EXPECT_EQ(Run(c.stop, kHostA1, ById(monitor), 0x4), -1);
        EXPECT_EQ(ZRKerrno, 21);
        ASSERT_EQ(Run(c.stop, kHostA1, ById(monitor), 0x4 | 0x8000), 0) << ZRKerrno;
        EXPECT_EQ(Field("A1", monitor, "kind"), "");
    }

    ASSERT_EQ(Run(ZRKLVStopSnapKZP, kHostA1, ById(snap), 0x4), 0) << ZRKerrno;
    EXPECT_TRUE(sim.sessions("A1").empty());
}

TEST_F(LvKzp, SnapKzpPlusGenerations) {
    int ids[3];
    for (int g = 0; g < 3; ++g) {
        ASSERT_EQ(Run(ZRKLVStartSnapKZP_p, kHostA1, To(6 + g), 0), 0) << g << " " << ZRKerrno;
        ids[g] = ZRKsessionid;
        EXPECT_EQ(Field("A1", ids[g], "kind"), "snapkzp+");
    }

    std::vector<unsigned char> list(16 + 256 * 16, 0xEE);
    ASSERT_EQ(GeneraList(kHostA1, To(0), 0, list.data()), 0) << ZRKerrno;
    ASSERT_EQ(zrk::Be16(list.data()), 3);
    for (int g = 0; g < 3; ++g) {
        const unsigned char *slot = list.data() + 16 + 256 * g;
        EXPECT_EQ(zrk::Be16(slot), ids[g]) << g;
        EXPECT_NE(slot[12] & 0x40, 0) << g;
        EXPECT_EQ(zrk::Be32(slot + 124), 6u + g) << g;
        for (int i = 184; i < 256; ++i) ASSERT_EQ(slot[i], 0) << g << " " << i;
    }
    EXPECT_EQ(list[16 + 256 * 3], 0xEE); // nothing past the last generation

    // The second generation, by pair and by identifier.
    for (const auto &[pair, option] : {std::pair{To(7), 0u}, std::pair{ById(ids[1]), 0x4u}}) {
        unsigned char info[16];
        std::memset(info, 0xEE, sizeof info);
        ASSERT_EQ(GeneraInfo(kHostA1, pair, option, info), 0) << ZRKerrno;
        EXPECT_EQ(zrk::Be16(info), 3);
        EXPECT_EQ(zrk::Be16(info + 2), 2);
        EXPECT_EQ(zrk::Be16(info + 4), ids[1]);
    }

    // Only the oldest generation stops without force; force ends the
    // generation and every older one.
    EXPECT_EQ(Run(ZRKLVStopSnapKZP_p, kHostA1, To(8), 0), -1);
    EXPECT_EQ(Field("A1", ids[2], "kind"), "snapkzp+");
    ASSERT_EQ(Run(ZRKLVStopSnapKZP_p, kHostA1, To(7), 0x2), 0) << ZRKerrno;
    ASSERT_EQ(GeneraList(kHostA1, To(0), 0, list.data()), 0) << ZRKerrno;
    EXPECT_EQ(zrk::Be16(list.data()), 1);
    EXPECT_EQ(zrk::Be16(list.data() + 16), ids[2]);
    ASSERT_EQ(Run(ZRKLVStopSnapKZP_p, kHostA1, ById(ids[2]), 0x4), 0) << ZRKerrno;
    EXPECT_TRUE(sim.sessions("A1").empty());
}

TEST_F(LvKzp, GenerationQueryRefusals) {
    Fresh({"3 snapkzp+ A1 5 A1 6"});
    std::vector<unsigned char> list(16 + 256 * 16);
    struct Case {
        const char *what;
        Pair pair;
        uint32_t option;
        bool withList, withBox;
        int expected;
    };
    // clang-format off
    const Case cases[] = {
        {"whole volume", To(0), 0, true, true, 0},
        {"another extent", Pair{.ullSize = 8}, 0, true, true, 21},
        {"extent without a size", Pair{.ullSrcExt = 8}, 0, true, true, 11},
        {"high half of an extent without a size", Pair{.ullSrcExt = 1ull << 32}, 0, true, true, 11},
        {"no list", To(0), 0, false, true, 13},
        {"no source BoxID", To(0), 0, true, false, 4},
        {"OLU beyond 16 bits", Pair{.uiSrcOlu = 0x10000}, 0, true, true, 6},
        {"an option", To(0), 0x4, true, true, 37},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GeneraList(kHostA1, c.pair, c.option, c.withList ? list.data() : nullptr,
                             c.withBox),
                  c.expected == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expected);
    }

    unsigned char info[16];
    struct InfoCase {
        const char *what;
        Pair pair;
        uint32_t option;
        bool withInfo;
        int expected;
    };
    // clang-format off
    const InfoCase infoCases[] = {
        {"by pair", To(6), 0, true, 0},
        {"no area", To(6), 0, false, 13},
        {"remote pair", kRemote, 0, true, 17},
        {"force", To(6), 0x2, true, 37},
        {"not among the generations", To(7), 0, true, 21},
    };
    // clang-format on
    for (const InfoCase &c : infoCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GeneraInfo(kHostA1, c.pair, c.option, c.withInfo ? info : nullptr),
                  c.expected == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expected);
    }
}

TEST_F(LvKzp, PoolInformationAndPoolSizes) {
    Fresh({"3 snapkzp+ A1 5 A1 6 copied=300", "4 snapkzp A1 7 A1 8 copied=20",
           "5 snapkzp+ A1 10 A1 11 copied=40 status=suspend"});
    sim.setArray("A1", "pool=1000000 poolused=500");

    unsigned char pool[64];
    std::memset(pool, 0xEE, sizeof pool);
    ASSERT_EQ(PoolInfo(kHostA1, 0, pool), 0) << ZRKerrno;
    EXPECT_EQ(zrk::Be64(pool), 1000000u);
    EXPECT_EQ(zrk::Be64(pool + 8), 500u);           // host use
    EXPECT_EQ(zrk::Be64(pool + 16), 300u + 20 + 40); // copy use
    EXPECT_EQ(PoolInfo(kHostA1, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_EQ(PoolInfo(kHostA1, 0x4, pool), -1);
    EXPECT_EQ(ZRKerrno, 37);

    struct Case {
        const char *what;
        Pair pair;
        uint32_t option;
        bool withArea;
        int expected;
    };
    // clang-format off
    const Case cases[] = {
        {"by pair", To(6), 0, true, 0},
        {"by identifier", ById(3), 0x4, true, 0},
        {"the interval goes on as given", Pair{.uiInterval = 11}, 0, true, 12},
        {"a SnapKZP session", Pair{.uiSrcOlu = 7, .uiDstOlu = 8}, 0, true, 21},
        {"a suspended generation", Pair{.uiSrcOlu = 10, .uiDstOlu = 11}, 0, true, 39},
        {"no area", To(6), 0, false, 13},
        {"remote pair", kRemote, 0, true, 17},
        {"force", To(6), 0x2, true, 37},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        unsigned char size[64];
        std::memset(size, 0xEE, sizeof size);
        EXPECT_EQ(PoolSize(kHostA1, c.pair, c.option, c.withArea ? size : nullptr),
                  c.expected == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expected);
        if (c.expected == 0) {
            EXPECT_EQ(zrk::Be16(size), 3);
            // The pool's free capacity, then what the restore takes.
            EXPECT_EQ(zrk::Be64(size + 8), 1000000u - 500 - (300 + 20 + 40));
            EXPECT_EQ(zrk::Be64(size + 16), 300u);
            EXPECT_EQ(std::vector<unsigned char>(size + 56, size + 64),
                      std::vector<unsigned char>(8, 0));
        } else {
            EXPECT_EQ(size[0], 0xEE);
        }
    }
}

// ---- option rules ------------------------------------------------------------------------------

TEST_F(LvKzp, StartOptionWords) {
    struct Case {
        const char *name;
        Control fn;
        Pair pair;
        uint32_t option;
        int expected;
        const char *sent;
    };
    // clang-format off
    const Case cases[] = {
        {"KZP", ZRKLVStartKZP, To(6), 0, 0, "44"},
        {"KZP", ZRKLVStartKZP, kRemote, 0, 0, "44"},
        {"KZP", ZRKLVStartKZP, To(6), 0x4, 37, ""},
        {"KZP", ZRKLVStartKZP, To(6), 0x8000, 37, ""},
        {"KZP", ZRKLVStartKZP, To(6), 0x2000, 37, ""},
        {"QuickKZP", ZRKLVStartQuickKZP, To(6), 0, 0, "44"},
        {"QuickKZP", ZRKLVStartQuickKZP, To(6), 0x2000000, 0, "44"},
        {"QuickKZP", ZRKLVStartQuickKZP, To(6), 0x2000, 21, ""}, // nothing to restart
        {"QuickKZP", ZRKLVStartQuickKZP, kRemote, 0, 17, ""},
        {"QuickKZP", ZRKLVStartQuickKZP, To(6), 0x4, 37, ""},
        {"QuickKZP", ZRKLVStartQuickKZP, To(6), 0x8000, 37, ""},
        {"SnapKZP", ZRKLVStartSnapKZP, To(6), 0, 0, "44"},
        {"SnapKZP", ZRKLVStartSnapKZP, kRemote, 0, 17, ""},
        {"SnapKZP", ZRKLVStartSnapKZP, To(6), 0x2000000, 37, ""},
        {"SnapKZP", ZRKLVStartSnapKZP, To(6), 0x4, 37, ""},
        {"SnapKZP+", ZRKLVStartSnapKZP_p, To(6), 0, 0, "44"},
        {"SnapKZP+", ZRKLVStartSnapKZP_p, To(6), 0x2000000, 0, "44"},
        {"SnapKZP+", ZRKLVStartSnapKZP_p, kRemote, 0, 17, ""},
        {"SnapKZP+", ZRKLVStartSnapKZP_p, To(6), 0x2, 37, ""},
        {"SnapKZP+", ZRKLVStartSnapKZP_p, To(6), 0x2000, 37, ""},
        {"SnapKZP+ monitor with a destination", ZRKLVStartSnapKZP_p, To(6), 0x8000, 5, ""},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.pair.sDst << " " << std::hex
                                        << c.option);
        Fresh();
        EXPECT_EQ(Run(c.fn, kHostA1, c.pair, c.option), c.expected == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Sent(), c.sent);
        if (c.expected != 0) {
            EXPECT_TRUE(sim.sessions("A1").empty());
        }
    }
}

TEST_F(LvKzp, StopOptionWords) {
    struct Case {
        const char *name;
        Control fn;
        const char *session; // session 1 on A1
        Pair pair;
        uint32_t option;
        int expected;
        const char *sent;
    };
    // clang-format off
    const Case cases[] = {
        {"KZP", ZRKLVStopKZP, "1 kzp A1 5 A1 6", To(6), 0, 0, "45"},
        {"KZP", ZRKLVStopKZP, "1 kzp A1 5 A1 6", To(6), 0x80000, 0, "45"},
        {"KZP", ZRKLVStopKZP, "1 kzp A1 5 A1 6", To(6), 0x2, 37, ""},
        {"KZP", ZRKLVStopKZP, "1 kzp A1 5 A1 6", ById(1), 0x2 | 0x4, 37, ""},
        {"KZP", ZRKLVStopKZP, "1 kzp A1 5 A2 9", kRemote, 0x2, 0, "45"},
        {"KZP", ZRKLVStopKZP, "1 kzp A1 5 A1 6", To(6), 0x8, 37, ""},
        {"KZP of a SnapKZP", ZRKLVStopKZP, "1 snapkzp A1 5 A1 6", To(6), 0, 21, ""},
        {"QuickKZP", ZRKLVStopQuickKZP, "1 quickkzp A1 5 A1 6", To(6), 0x2, 0, "45"},
        {"QuickKZP", ZRKLVStopQuickKZP, "1 quickkzp A1 5 A1 6", To(6), 0x4000, 0, "45"},
        {"QuickKZP", ZRKLVStopQuickKZP, "1 quickkzp A1 5 A1 6", ById(1), 0x4 | 0x2, 0, "45"},
        {"QuickKZP", ZRKLVStopQuickKZP, "1 quickkzp A1 5 A1 6", To(6), 0, 37, ""},
        {"QuickKZP", ZRKLVStopQuickKZP, "1 quickkzp A1 5 A1 6", ById(1), 0x4, 37, ""},
        {"QuickKZP", ZRKLVStopQuickKZP, "1 quickkzp A1 5 A1 6", To(6), 0x2 | 0x4000, 37, ""},
        {"QuickKZP", ZRKLVStopQuickKZP, "1 quickkzp A1 5 A1 6", To(6), 0x8000, 37, ""},
        {"QuickKZP", ZRKLVStopQuickKZP, "1 kzp A1 5 A2 9", kRemote, 0x2, 17, ""},
        {"SnapKZP", ZRKLVStopSnapKZP, "1 snapkzp A1 5 A1 6", To(6), 0, 0, "45"},
        {"SnapKZP", ZRKLVStopSnapKZP, "1 snapkzp A1 5 A1 6", ById(1), 0x4, 0, "45"},
        {"SnapKZP", ZRKLVStopSnapKZP, "1 snapkzp A1 5 A1 6", To(6), 0x2, 37, ""},
        {"SnapKZP", ZRKLVStopSnapKZP, "1 kzp A1 5 A2 9", kRemote, 0, 17, ""},
        {"SnapKZP of a SnapKZP+", ZRKLVStopSnapKZP, "1 snapkzp+ A1 5 A1 6", To(6), 0, 21, ""},
        {"SnapKZP+", ZRKLVStopSnapKZP_p, "1 snapkzp+ A1 5 A1 6", To(6), 0, 0, "45"},
        {"SnapKZP+", ZRKLVStopSnapKZP_p, "1 snapkzp+ A1 5 A1 6", To(6), 0x2, 0, "45"},
        {"SnapKZP+", ZRKLVStopSnapKZP_p, "1 snapkzp+ A1 5 A1 6", ById(1), 0x4 | 0x2, 0, "45"},
        {"SnapKZP+ monitor", ZRKLVStopSnapKZP_p, "1 monitor A1 5 A1 -", ById(1), 0x8000 | 0x4, 0, "45"},
        {"SnapKZP+ of a monitor", ZRKLVStopSnapKZP_p, "1 monitor A1 5 A1 -", ById(1), 0x4, 21, ""},
        {"SnapKZP+ monitor", ZRKLVStopSnapKZP_p, "1 monitor A1 5 A1 -", kMonitor, 0x8000 | 0x2, 37, ""},
        {"SnapKZP+", ZRKLVStopSnapKZP_p, "1 kzp A1 5 A2 9", kRemote, 0, 17, ""},
        {"SnapKZP+", ZRKLVStopSnapKZP_p, "1 snapkzp+ A1 5 A1 6", To(6), 0x4000, 37, ""},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.session << " " << std::hex
                                        << c.option);
        Fresh({c.session});
        EXPECT_EQ(Run(c.fn, kHostA1, c.pair, c.option), c.expected == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Sent(), c.sent);
    }
}

TEST_F(LvKzp, QueryOptionWordsAndOutputs) {
    Fresh({"3 kzp A1 5 A1 6 copied=77", "4 vz A1 7 A1 8"});
    Query q = QueryKzp(kHostA1, To(6), 0x2);
    EXPECT_EQ(q.rc, -1);
    EXPECT_EQ(ZRKerrno, 37);
    EXPECT_EQ(q.status, 0xAAu);
    q = QueryKzp(kHostA1, To(6), 0, false);
    EXPECT_EQ(q.rc, -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_EQ(q.low, 0xAAu);
    EXPECT_EQ(QueryKzp(kHostA1, Pair{.uiSrcOlu = 7, .uiDstOlu = 8}).rc, -1); // the VZ session
    EXPECT_EQ(ZRKerrno, 21);

    unsigned char detail[256];
    EXPECT_EQ(Detail(kHostA1, To(6), 0x4, detail), -1);
    EXPECT_EQ(ZRKerrno, 37);
    EXPECT_EQ(Detail(kHostA1, To(6), 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 13);

    // clang-format off
    const std::vector<ByIdCase> cases = {
        {3, 0, 0},
        {3, 0x4, 37},
        {3, 0x80000, 37},
        {0x10000, 0, 55},
        {0xFFFF, 0, 21},
        {4, 0, 21}, // a VZ session
    };
    // clang-format on
    ExpectQueriesById(ZRKLVQueryKZPSession, kHostA1, cases, detail);
}

// ---- refused starts ------------------------------------------------------------------------------

TEST_F(LvKzp, RefusedStartsAreRolledBackAndReportTheStart) {
    struct Case {
        const char *name;
        Control fn;
        Pair pair;
        uint32_t option;
    };
    // clang-format off
    const Case cases[] = {
        {"KZP", ZRKLVStartKZP, To(6), 0},
        {"QuickKZP", ZRKLVStartQuickKZP, To(6), 0},
        {"SnapKZP", ZRKLVStartSnapKZP, To(6), 0},
        {"SnapKZP monitor", ZRKLVStartSnapKZP, kMonitor, 0x8000},
        {"SnapKZP+", ZRKLVStartSnapKZP_p, To(6), 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        sim.injectSenseOnList(0x44, 1, 5, 0x26, 0xC0);
        // 65, as a failed start reports it.
        ExpectRolledBack(Run(c.fn, kHostA1, c.pair, c.option), 68, 1, 0xC0);
    }
}

// ---- a failing command at every step ----------------------------------------------------

// Each command of a start failing in turn: the call either gets past the
// failure or returns -1 with a ZRKerrno, and its device is released every
// time; the run left alone starts the session.
TEST_F(LvKzp, StartFaultWalk) {
    struct Case {
        const char *name;
        Control fn;
        Pair pair;
        uint32_t option;
        const char *kind;
    };
    // clang-format off
    const Case cases[] = {
        {"KZP", ZRKLVStartKZP, To(6), 0, "kzp"},
        {"SnapKZP+", ZRKLVStartSnapKZP_p, To(6), 0, "snapkzp+"},
        {"SnapKZP monitor", ZRKLVStartSnapKZP, kMonitor, ZRK_OPT_MONITOR, "monitor"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const FaultWalk walk =
            WalkFaults(sim, [&] { return Run(c.fn, kHostA1, c.pair, c.option); }, ReleasedAndReported(0),
                       {.fnBeforeRun = [&] { Fresh(); }});
        ASSERT_TRUE(walk.bEnded);
        EXPECT_EQ(walk.iFaultedRuns, static_cast<int>(walk.clean.uiCommands));
        EXPECT_EQ(Sent(), "44");
        EXPECT_EQ(Field("A1", ZRKsessionid, "kind"), c.kind);
    }
}

// ---- arrays without the page-based engine ------------------------------------------------

// The classic engine serves the functions with a classic form
// (lvapi_classic_test.cpp); the SnapKZP+ functions ask the page-based
// engine, which finds no support. Locality and option rules and the 32-bit
// limits come first, and a session that is not there is reported before
// anything is sent.
TEST_F(LvKzp, ClassicArraysCheckTheRulesFirst) {
    const Pair local = On("BOX-C1");
    const Pair remote{.sSrc = "BOX-C1", .sDst = "BOX-A1"};
    struct Case {
        const char *name;
        Control fn;
        Pair pair;
        uint32_t option;
        int expected;
    };
    // clang-format off
    const Case cases[] = {
        {"KZP stop, no session", ZRKLVStopKZP, local, 0, 21},
        {"KZP stop, force on a local pair", ZRKLVStopKZP, local, 0x2, 37},
        {"QuickKZP stop, no session", ZRKLVStopQuickKZP, local, 0x4000, 21},
        {"QuickKZP stop, both ways", ZRKLVStopQuickKZP, local, 0x4000 | 0x2, 37},
        {"SnapKZP start, not announced", ZRKLVStartSnapKZP, local, 0, 17},
        {"SnapKZP start, remote pair", ZRKLVStartSnapKZP, remote, 0, 17},
        {"SnapKZP stop by identifier", ZRKLVStopSnapKZP, ById(1), 0x4, 17},
        {"SnapKZP+ start", ZRKLVStartSnapKZP_p, local, 0, 17},
        {"SnapKZP+ stop", ZRKLVStopSnapKZP_p, local, 0, 17},
        {"KZP start beyond 32 bits", ZRKLVStartKZP, Pair{.sSrc = "BOX-C1", .sDst = "BOX-C1", .ullSrcExt = 1ull << 32, .ullSize = 8}, 0, 8},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh();
        EXPECT_EQ(Run(c.fn, kClassic, c.pair, c.option), -1);
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Sent(), "");
    }
    // The queries read the classic detail (lvapi_classic_test.cpp): no
    // session here.
    EXPECT_EQ(QueryKzp(kClassic, local).rc, -1);
    EXPECT_EQ(ZRKerrno, 21);
    unsigned char detail[256];
    EXPECT_EQ(Detail(kClassic, local, 0, detail), -1);
    EXPECT_EQ(ZRKerrno, 21);
    EXPECT_EQ(Session(kClassic, 1, 0, detail), -1);
    EXPECT_EQ(ZRKerrno, 21);
    std::vector<unsigned char> list(16 + 256 * 16);
    EXPECT_EQ(GeneraList(kClassic, local, 0, list.data()), -1);
    EXPECT_EQ(ZRKerrno, 17);
    EXPECT_EQ(GeneraInfo(kClassic, local, 0, detail), -1);
    EXPECT_EQ(ZRKerrno, 17);
    EXPECT_EQ(PoolInfo(kClassic, 0, detail), -1);
    EXPECT_EQ(ZRKerrno, 17);
}

// The QM family is refused by the queries before they look at their outputs.
TEST_F(LvKzp, QueriesRefuseTheQmFamily) {
    const Pair q1 = On("BOX-Q1");
    EXPECT_EQ(QueryKzp(kQm, q1, 0, false).rc, -1);
    EXPECT_EQ(ZRKerrno, 17);
    EXPECT_EQ(Detail(kQm, q1, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 17);
    EXPECT_EQ(Session(kQm, 1, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 17);
    // Elsewhere the missing output is what is refused.
    EXPECT_EQ(QueryKzp(kClassic, On("BOX-C1"), 0, false).rc, -1);
    EXPECT_EQ(ZRKerrno, 13);
}

} // namespace
