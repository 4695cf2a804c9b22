// The large-volume public functions of the VZ family against the simulator:
// the lifecycle of a local mirror and of a mirror between two arrays driven
// from both of its hosts on the virtual clock, the option rules of every
// function as tables, the roll-back of a refused start as the caller sees it,
// the concurrent suspend, the queries by identifier, and the rules that come
// before the engine on arrays without the page-based engine. After every
// call the device of the call is closed.
#include "inband_support.h"
#include "zrkframe.h"
#include "zrktvc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kHostA1[] = "/dev/sdb";  // A1:5, the source side
constexpr char kHostA2[] = "/dev/sdc";  // A2:9, the destination side of the RVZ pair
constexpr char kClassic[] = "/dev/sdd"; // C1:5, an array without the page-based engine
constexpr char kKzpPaged[] = "/dev/sde"; // K1:5, page-based for the KZP groups only

constexpr uint64_t kBlocks = 2097152;   // every volume; 8 s of copying at the default rate
constexpr uint32_t kRate = 262144;      // blocks per virtual second

// Support bytes of the paged profile without the page-based bit in the VZ
// groups (bytes 23 and 31).
constexpr char kKzpOnlyPaged[] =
    "000000001f0000f1 00000000000000f1 00000000004b00e1 0000000000ff10e1";

std::string Scenario() {
    return R"(
array A1 boxid="BOX-A1"
array A2 boxid="BOX-A2"
array C1 boxid="BOX-C1" profile=detail
array K1 boxid="BOX-K1" support=)" + HexDigits(kKzpOnlyPaged) + R"(
volume A1 5 2097152
volume A1 6 2097152
volume A1 7 2097152
volume A1 8 2097152
volume A2 9 2097152
volume A2 10 2097152
volume C1 5 2097152
volume C1 6 2097152
volume K1 5 2097152
volume K1 6 2097152
volume K1 7 2097152
volume K1 8 2097152
disk /dev/sdb 8:16 A1 5
disk /dev/sdc 8:32 A2 9
disk /dev/sdd 8:48 C1 5
disk /dev/sde 8:64 K1 5
)";
}

using Pair = CopyPair;
const Pair kLocal{};
const Pair kRemote{.sDst = "BOX-A2", .uiDstOlu = 9};

// A pair named by its session identifier (option 0x4).
Pair ById(uint32_t id) { return Pair{.uiSrcOlu = id, .uiDstOlu = 0}; }

using Control = int (*)(const char *, const char *, uint32_t, uint32_t, uint32_t, uint32_t,
                        uint32_t, const char *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                        unsigned char *);

CONC_SUS_PAIR_LV SuspendEntry(const Pair &p) { return ConcSuspendPair(p); }

class LvVz : public LvApiTest {
protected:
    LvVz() : LvApiTest(Scenario()) {}

    void SetUp() override {
        LvApiTest::SetUp();
        ZRKRVZ_stacktimer = 5;
    }

    int Run(Control fn, const char *host, const Pair &p, uint32_t option) {
        Before();
        const std::string src = BoxId(p.sSrc), dst = BoxId(p.sDst);
        return After(fn(host, src.data(), p.uiSrcOlu, static_cast<uint32_t>(p.ullSrcExt >> 32),
                        static_cast<uint32_t>(p.ullSrcExt), static_cast<uint32_t>(p.ullSize >> 32),
                        static_cast<uint32_t>(p.ullSize), dst.data(), p.uiDstOlu,
                        static_cast<uint32_t>(p.ullDstExt >> 32), static_cast<uint32_t>(p.ullDstExt),
                        p.uiInterval, option, sense));
    }
    struct Query {
        int rc;
        uint32_t status, phase, high, low;
    };
    Query QueryVz(const char *host, const Pair &p, uint32_t option = 0) {
        Before();
        const std::string src = BoxId(p.sSrc), dst = BoxId(p.sDst);
        Query q{0, 0xAA, 0xAA, 0xAA, 0xAA};
        q.rc = After(ZRKLVQueryVZ(host, src.data(), p.uiSrcOlu, 0, 0, 0, 0, dst.data(), p.uiDstOlu, 0,
                                  0, p.uiInterval, option, &q.status, &q.phase, &q.high, &q.low,
                                  sense));
        return q;
    }
    int Detail(const char *host, const Pair &p, unsigned char *detail) {
        Before();
        const std::string src = BoxId(p.sSrc), dst = BoxId(p.sDst);
        return After(ZRKLVQueryVZDetail(host, src.data(), p.uiSrcOlu, 0, 0, 0, 0, dst.data(),
                                        p.uiDstOlu, 0, 0, p.uiInterval, 0, detail, sense));
    }
    int Session(const char *host, uint32_t id, uint32_t option, unsigned char *detail) {
        return QuerySession(ZRKLVQueryVZSession, host, id, option, detail);
    }
    int MultiSuspend(const char *host, const std::vector<CONC_SUS_PAIR_LV> &pairs, int count,
                     uint32_t option, uint32_t *result) {
        Before();
        return After(ZRKLVMultiSuspendVZ(host, pairs.empty() ? nullptr : pairs.data(), count,
                                         option, result, sense));
    }

    void Fresh(const std::string &session) {
        Reload(Scenario(), session.empty() ? std::vector<std::string>{} : std::vector<std::string>{session});
    }
};

// ---- lifecycles ------------------------------------------------------------------------

TEST_F(LvVz, LocalMirrorLifecycle) {
    ASSERT_EQ(Run(ZRKLVStartVZ, kHostA1, Pair{.uiInterval = 3}, 0x20000), 0) << ZRKerrno;
    EXPECT_TRUE(SenseClear());
    const int id = ZRKsessionid;
    ASSERT_GT(id, 0);
    EXPECT_EQ(Field("A1", id, "pair"), "A1:5>A1:6");
    EXPECT_EQ(Field("A1", id, "secondary"), "1");
    EXPECT_EQ(Field("A1", id, "interval"), "3");

    Query q = QueryVz(kHostA1, kLocal);
    ASSERT_EQ(q.rc, 0) << ZRKerrno;
    EXPECT_EQ(q.status, 2u); // Active
    EXPECT_EQ(q.phase, 1u);  // Copying
    EXPECT_EQ(q.low, 0u);

    sim.advanceClock(3);
    q = QueryVz(kHostA1, kLocal);
    EXPECT_EQ(q.phase, 1u);
    EXPECT_EQ(q.high, 0u);
    EXPECT_EQ(q.low, 3 * kRate);
    sim.advanceClock(5);
    q = QueryVz(kHostA1, kLocal);
    EXPECT_EQ(q.phase, 2u); // Equivalent
    EXPECT_EQ(q.low, kBlocks);

    ASSERT_EQ(Run(ZRKLVSuspendVZ, kHostA1, kLocal, 0), 0) << ZRKerrno;
    EXPECT_EQ(QueryVz(kHostA1, kLocal).status, 4u);
    // Suspending it again is out of sequence.
    EXPECT_EQ(Run(ZRKLVSuspendVZ, kHostA1, kLocal, 0), -1);
    EXPECT_EQ(ZRKerrno, 39);

    ASSERT_EQ(Run(ZRKLVResumeVZ, kHostA1, kLocal, 0), 0) << ZRKerrno;
    q = QueryVz(kHostA1, kLocal);
    EXPECT_EQ(q.status, 2u);
    sim.advanceClock(1);
    EXPECT_EQ(QueryVz(kHostA1, kLocal).phase, 2u);

    // A local mirror can only be reversed: A1:6 becomes the source.
    ASSERT_EQ(Run(ZRKLVSuspendVZ, kHostA1, kLocal, 0), 0) << ZRKerrno;
    EXPECT_EQ(Run(ZRKLVChangeVZ, kHostA1, kLocal, 0x20), -1);
    EXPECT_EQ(ZRKerrno, 37);
    ASSERT_EQ(Run(ZRKLVChangeVZ, kHostA1, kLocal, 0x1000), 0) << ZRKerrno;
    EXPECT_EQ(Field("A1", id, "pair"), "A1:6>A1:5");
    const Pair reversed{.uiSrcOlu = 6, .uiDstOlu = 5};
    EXPECT_EQ(QueryVz(kHostA1, reversed).status, 4u);
    ASSERT_EQ(Run(ZRKLVResumeVZ, kHostA1, ById(id), 0x4), 0) << ZRKerrno;

    // By identifier: the details of the session.
    unsigned char detail[256];
    std::memset(detail, 0xEE, sizeof detail);
    ASSERT_EQ(Session(kHostA1, id, 0, detail), 0) << ZRKerrno;
    EXPECT_EQ(zrk::Be16(detail), id);
    EXPECT_EQ(detail[4], 2);  // VZ family
    EXPECT_EQ(detail[19], 2); // Active
    EXPECT_EQ(zrk::Be32(detail + 120), 6u);
    EXPECT_EQ(zrk::Be32(detail + 124), 5u);
    for (int i = 184; i < 256; ++i) ASSERT_EQ(detail[i], 0) << i;
    std::memset(detail, 0xEE, sizeof detail);
    ASSERT_EQ(Detail(kHostA1, reversed, detail), 0) << ZRKerrno;
    EXPECT_EQ(zrk::Be16(detail), id);
    for (int i = 184; i < 256; ++i) ASSERT_EQ(detail[i], 0) << i;

    ASSERT_EQ(Run(ZRKLVStopVZ, kHostA1, ById(id), 0x4), 0) << ZRKerrno;
    EXPECT_TRUE(sim.sessions("A1").empty());
    EXPECT_EQ(QueryVz(kHostA1, reversed).rc, -1);
    EXPECT_EQ(ZRKerrno, 21);
}

// The mirror between two arrays, started on the source's host and driven
// from both hosts; each side knows it by its own identifier.
TEST_F(LvVz, RemoteMirrorFromBothSides) {
    ASSERT_EQ(Run(ZRKLVStartVZ, kHostA1, kRemote, 0x20 | 0x100), 0) << ZRKerrno;
    const int id = ZRKsessionid;
    EXPECT_EQ(Field("A1", id, "pair"), "A1:5>A2:9");
    EXPECT_EQ(Field("A1", id, "mode"), "sync,split");
    const unsigned partner = static_cast<unsigned>(std::stoul(Field("A1", id, "partner")));

    Query q = QueryVz(kHostA2, kRemote);
    ASSERT_EQ(q.rc, 0) << ZRKerrno;
    EXPECT_EQ(q.status, 2u);
    EXPECT_EQ(q.phase, 1u);
    sim.advanceClock(8);
    EXPECT_EQ(QueryVz(kHostA1, kRemote).phase, 2u);

    // The destination's host suspends it by force, the source's host
    // changes its mode, the destination's host resumes it in remain mode.
    ASSERT_EQ(Run(ZRKLVSuspendVZ, kHostA2, kRemote, 0x2), 0) << ZRKerrno;
    EXPECT_EQ(Field("A1", id, "status"), "4");
    ASSERT_EQ(Run(ZRKLVChangeVZ, kHostA1, kRemote, 0x400), 0) << ZRKerrno;
    EXPECT_EQ(Field("A1", id, "transfer"), "2");
    EXPECT_EQ(Field("A1", id, "mode"), "none");
    ASSERT_EQ(Run(ZRKLVResumeVZ, kHostA2, kRemote, 0x80), 0) << ZRKerrno;
    EXPECT_EQ(Field("A1", id, "status"), "2");

    // By identifier from the destination's host: its own identifier.
    unsigned char detail[256] = {};
    ASSERT_EQ(Session(kHostA2, partner, 0, detail), 0) << ZRKerrno;
    EXPECT_EQ(detail[4], 2);
    EXPECT_NE(detail[12] & 0x20, 0); // remote
    EXPECT_EQ(zrk::Be32(detail + 124), 9u);
    // On the source's array that identifier names nothing, or another session.
    if (partner != static_cast<unsigned>(id)) {
        EXPECT_EQ(Session(kHostA1, partner, 0, detail), -1);
        EXPECT_EQ(ZRKerrno, 21);
    }

    // Suspended from the destination side by identifier, then stopped there.
    sim.advanceClock(8);
    ASSERT_EQ(Run(ZRKLVSuspendVZ, kHostA2, ById(partner), 0x4 | 0x2), 0) << ZRKerrno;
    EXPECT_EQ(Field("A1", id, "status"), "4");
    ASSERT_EQ(Run(ZRKLVStopVZ, kHostA2, kRemote, 0), 0) << ZRKerrno;
    EXPECT_TRUE(sim.sessions().empty());

    // Started on the destination's host, stopped on the source's.
    ASSERT_EQ(Run(ZRKLVStartVZ, kHostA2, kRemote, 0x800), 0) << ZRKerrno;
    EXPECT_TRUE(Contains(sim.sessions(), " vz A1 5 A2 9 "));
    EXPECT_TRUE(Contains(sim.sessions(), " transfer=3 "));
    ASSERT_EQ(Run(ZRKLVStopVZ, kHostA1, kRemote, 0), 0) << ZRKerrno;
    EXPECT_TRUE(sim.sessions().empty());
}

// ---- option rules ---------------------------------------------------------------------------

TEST_F(LvVz, StartOptionWords) {
    struct Case {
        bool remote;
        uint32_t option;
        int expected; // 0 started, else ZRKerrno
    };
    // clang-format off
    const Case cases[] = {
        {false, 0, 0},
        {false, 0x20000, 0},
        {false, 0x20, 37},
        {false, 0x40, 37}, // in the mask, but a local mirror has no initial-copy skip
        {false, 0x100, 37},
        {false, 0x200, 37},
        {false, 0x400, 37},
        {false, 0x800, 37},
        {false, 0x4, 37}, // no identifier form for a start
        {false, 0x2, 37},
        {true, 0x20 | 0x100, 0},
        {true, 0x20 | 0x200 | 0x40, 0},
        {true, 0x400, 0},
        {true, 0x800 | 0x200, 0},
        {true, 0x20000, 0},
        {true, 0x100, 37},
        {true, 0x400 | 0x800, 37},
        {true, 0x20 | 0x400, 37},
        {true, 0x20 | 0x800, 37},
        {true, 0x1000, 37},
        {true, 0x80, 37},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.remote ? "remote " : "local ") << std::hex
                                        << c.option);
        Fresh("");
        const int rc = Run(ZRKLVStartVZ, kHostA1, c.remote ? kRemote : kLocal, c.option);
        if (c.expected == 0) {
            EXPECT_EQ(rc, 0) << ZRKerrno;
            EXPECT_EQ(Field("A1", ZRKsessionid, "status"), "2");
        } else {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ZRKerrno, c.expected);
            EXPECT_EQ(Sent(), "");
            EXPECT_TRUE(SenseClear());
            EXPECT_TRUE(sim.sessions("A1").empty());
        }
    }
}

// Change takes one new mode, or the reverse alone; the same rules on both
// kinds of pair (a local mirror besides can only be reversed).
TEST_F(LvVz, ChangeOptionWords) {
    struct Case {
        bool remote;
        uint32_t option;
        int expected;
    };
    // clang-format off
    const Case cases[] = {
        {true, 0, 0},
        {true, 0x20, 0},
        {true, 0x20 | 0x100, 0},
        {true, 0x20 | 0x100 | 0x200, 0},
        {true, 0x400, 0},
        {true, 0x800, 0},
        {true, 0x1000, 0},
        {true, 0x1000 | 0x800, 37},
        {true, 0x1000 | 0x20, 37},
        {true, 0x1000 | 0x200, 37},
        {true, 0x20 | 0x400, 37},
        {true, 0x100, 37},
        {true, 0x400 | 0x800, 37},
        {true, 0x2, 37},
        {true, 0x80, 37},
        {false, 0x1000, 0},
        {false, 0x1000 | 0x100, 37},
        {false, 0x20 | 0x800, 37},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.remote ? "remote " : "local ") << std::hex
                                        << c.option);
        Fresh(c.remote ? "1 rvz A1 5 A2 9 status=suspend" : "1 vz A1 5 A1 6 status=suspend");
        const int rc = Run(ZRKLVChangeVZ, kHostA1, c.remote ? kRemote : kLocal, c.option);
        if (c.expected == 0) {
            EXPECT_EQ(rc, 0) << ZRKerrno;
            EXPECT_EQ(Sent(), "46");
        } else {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ZRKerrno, c.expected);
            EXPECT_EQ(Sent(), "");
        }
    }
    // 0x4 is no mode bit: a reverse by identifier.
    Fresh("1 rvz A1 5 A2 9 status=suspend");
    EXPECT_EQ(Run(ZRKLVChangeVZ, kHostA1, ById(1), 0x1000 | 0x4), 0) << ZRKerrno;
    EXPECT_EQ(Sent(), "46");
    EXPECT_TRUE(Contains(sim.sessions(), " vz A2 9 A1 5 ")) << testing::PrintToString(sim.sessions());
}

// Force on suspend and remain mode on resume belong to a mirror between two
// arrays; by identifier the function cannot tell and the session decides.
TEST_F(LvVz, StopSuspendResumeOptionWords) {
    struct Case {
        const char *name;
        Control fn;
        bool remote, byId;
        const char *status; // of session 1 before the call
        uint32_t option;
        int expected;
        const char *sent;
    };
    // clang-format off
    const Case cases[] = {
        {"stop", ZRKLVStopVZ, false, false, "active", 0, 0, "45"},
        {"stop", ZRKLVStopVZ, false, false, "active", 0x2, 0, "45"},
        {"stop", ZRKLVStopVZ, true, true, "active", 0x4 | 0x2, 0, "45"},
        {"stop", ZRKLVStopVZ, true, false, "active", 0x80, 37, ""},
        {"stop", ZRKLVStopVZ, true, false, "active", 0x100000, 37, ""},
        {"suspend", ZRKLVSuspendVZ, true, false, "active", 0x2, 0, "48"},
        {"suspend", ZRKLVSuspendVZ, true, false, "active", 0x100000, 0, "48"},
        {"suspend", ZRKLVSuspendVZ, false, false, "active", 0, 0, "48"},
        {"suspend", ZRKLVSuspendVZ, false, false, "active", 0x2, 37, ""},
        {"suspend", ZRKLVSuspendVZ, true, true, "active", 0x2 | 0x4, 0, "48"},
        {"suspend", ZRKLVSuspendVZ, false, true, "active", 0x2 | 0x4, 37, ""},
        {"suspend", ZRKLVSuspendVZ, true, false, "active", 0x80, 37, ""},
        {"suspend", ZRKLVSuspendVZ, true, false, "active", 0x10, 37, ""},
        {"resume", ZRKLVResumeVZ, true, false, "suspend", 0x80, 0, "49"},
        {"resume", ZRKLVResumeVZ, false, false, "suspend", 0, 0, "49"},
        {"resume", ZRKLVResumeVZ, false, false, "suspend", 0x80, 37, ""},
        {"resume", ZRKLVResumeVZ, false, true, "suspend", 0x4, 0, "49"},
        {"resume", ZRKLVResumeVZ, false, true, "suspend", 0x4 | 0x80, 37, ""},
        {"resume", ZRKLVResumeVZ, true, false, "suspend", 0x2, 37, ""},
        {"resume", ZRKLVResumeVZ, true, false, "active", 0, 39, ""},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << (c.remote ? " remote " : " local ")
                                        << (c.byId ? "by id " : "") << std::hex << c.option);
        Fresh(std::string(c.remote ? "1 rvz A1 5 A2 9" : "1 vz A1 5 A1 6") +
              " status=" + c.status);
        const Pair pair = c.byId ? ById(1) : (c.remote ? kRemote : kLocal);
        const int rc = Run(c.fn, kHostA1, pair, c.option);
        EXPECT_EQ(rc, c.expected == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Sent(), c.sent);
    }
}

TEST_F(LvVz, QueryOptionWordsAndOutputs) {
    Fresh("4 vz A1 5 A1 6 copied=77");
    EXPECT_EQ(QueryVz(kHostA1, ById(4), 0x4).low, 77u);
    Query q = QueryVz(kHostA1, kLocal, 0x2);
    EXPECT_EQ(q.rc, -1);
    EXPECT_EQ(ZRKerrno, 37);
    EXPECT_EQ(q.status, 0xAAu); // outputs only on success
    EXPECT_EQ(ZRKLVQueryVZ(kHostA1, BoxId("BOX-A1").data(), 5, 0, 0, 0, 0, BoxId("BOX-A1").data(), 6,
                           0, 0, 0, 0, nullptr, &q.phase, &q.high, &q.low, sense),
              -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_EQ(ZRKopenFlag, 0);

    unsigned char detail[256];
    EXPECT_EQ(Detail(kHostA1, kLocal, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 13);
    Before();
    const std::string a1 = BoxId("BOX-A1");
    EXPECT_EQ(After(ZRKLVQueryVZDetail(kHostA1, a1.data(), 4, 0, 0, 0, 0, a1.data(), 0, 0, 0, 0,
                                       0x4, detail, sense)),
              -1);
    EXPECT_EQ(ZRKerrno, 37); // no identifier form

    // By identifier: no option bit at all, before anything reaches the array.
    sim.addSession("9 kzp A1 7 A1 8");
    // clang-format off
    const std::vector<ByIdCase> cases = {
        {4, 0, 0},
        {4, 0x4, 37},
        {0x10000, 0, 55},
        {0xFFFF, 0, 21},
        {9, 0, 21}, // a KZP session
    };
    // clang-format on
    ExpectQueriesById(ZRKLVQueryVZSession, kHostA1, cases, detail);
}

// ---- refused start ---------------------------------------------------------------------------

TEST_F(LvVz, RefusedStartIsRolledBackAndReportsTheStart) {
    struct Case {
        const char *what;
        Pair pair;
        int expected;
    };
    // clang-format off
    const Case cases[] = {
        {"local", kLocal, 8},
        {"remote: the partner is refused", kRemote, 62},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Fresh("");
        sim.injectSenseOnList(0x44, 1, 5, 0x26, 0x00);
        // The caller holds the sense of the refused start.
        ExpectRolledBack(Run(ZRKLVStartVZ, kHostA1, c.pair, 0), c.expected, 2, 0x00);
    }
}

// ---- a failing command at every step ----------------------------------------------------

// Each command of a start failing in turn, on a local and on a remote pair:
// the call either gets past the failure or returns -1 with a ZRKerrno, and
// its device is released every time; the run left alone starts the mirror.
TEST_F(LvVz, StartFaultWalk) {
    for (const Pair &pair : {kLocal, kRemote}) {
        SCOPED_TRACE(pair.sDst);
        const FaultWalk walk =
            WalkFaults(sim, [&] { return Run(ZRKLVStartVZ, kHostA1, pair, 0); }, ReleasedAndReported(0),
                       {.fnBeforeRun = [&] { Fresh(""); }});
        ASSERT_TRUE(walk.bEnded);
        EXPECT_EQ(walk.iFaultedRuns, static_cast<int>(walk.clean.uiCommands));
        EXPECT_GT(walk.clean.uiCommands, 3u);
        EXPECT_EQ(Sent(), "44");
        EXPECT_EQ(Field("A1", ZRKsessionid, "status"), "2");
    }
}

// The same for the query of a mirror's state.
TEST_F(LvVz, QueryFaultWalk) {
    const FaultWalk walk = WalkFaults(
        sim, [&] { return QueryVz(kHostA1, kLocal).rc; }, ReleasedAndReported(0),
        {.fnBeforeRun = [&] { Fresh("1 vz A1 5 A1 6"); }});
    ASSERT_TRUE(walk.bEnded);
    EXPECT_EQ(walk.iFaultedRuns, static_cast<int>(walk.clean.uiCommands));
    EXPECT_GT(walk.clean.uiCommands, 2u);
    EXPECT_EQ(Sent(), "");
}

// ---- concurrent suspend ------------------------------------------------------------------------

TEST_F(LvVz, MultiSuspendSuspendsEveryPairAtOnce) {
    const Pair second{.uiSrcOlu = 7, .uiDstOlu = 8};
    Fresh("3 vz A1 5 A1 6");
    sim.addSession("4 vz A1 7 A1 8");
    const std::vector<CONC_SUS_PAIR_LV> pairs = {SuspendEntry(kLocal), SuspendEntry(second)};
    uint32_t result[2] = {1, 1};
    ASSERT_EQ(MultiSuspend(kHostA1, pairs, 2, 0, result), 0) << ZRKerrno;
    // Each slot: the identifier, big-endian, then 0xFFFF.
    const auto *slots = reinterpret_cast<const unsigned char *>(result);
    EXPECT_EQ(zrksim::toHex({slots, slots + 8}), "0003ffff0004ffff");
    EXPECT_EQ(Sent(), "50");
    EXPECT_EQ(Field("A1", 3, "status"), "4");
    EXPECT_EQ(Field("A1", 4, "status"), "4");

    // Between two arrays, in untransferred-data mode, from the destination.
    Fresh("3 rvz A1 5 A2 9");
    sim.addSession("4 rvz A1 7 A2 10");
    const std::vector<CONC_SUS_PAIR_LV> remote = {
        SuspendEntry(kRemote), SuspendEntry(Pair{.sDst = "BOX-A2", .uiSrcOlu = 7, .uiDstOlu = 10})};
    ASSERT_EQ(MultiSuspend(kHostA2, remote, 2, 0x10, result), 0) << ZRKerrno;
    EXPECT_EQ(Field("A1", 3, "status"), "4");
    EXPECT_EQ(Field("A1", 4, "status"), "4");
}

TEST_F(LvVz, MultiSuspendRefusals) {
    const CONC_SUS_PAIR_LV local = SuspendEntry(kLocal);
    const CONC_SUS_PAIR_LV local2 = SuspendEntry(Pair{.uiSrcOlu = 7, .uiDstOlu = 8});
    const CONC_SUS_PAIR_LV remote = SuspendEntry(kRemote);
    struct Case {
        const char *what;
        std::vector<CONC_SUS_PAIR_LV> pairs;
        int count;
        uint32_t option;
        bool result;
        int expected;
        bool reachesArray;
    };
    // clang-format off
    const Case cases[] = {
        {"no pairs", {local}, 0, 0, true, 67, false},
        {"negative count", {local}, -1, 0, true, 67, false},
        {"no list", {}, 1, 0, true, 67, false},
        {"no result area", {local}, 1, 0, false, 67, false},
        {"option outside the mask", {local}, 1, 0x2, true, 37, false},
        {"local, local, remote", {local, local2, remote}, 3, 0, true, 67, true},
        {"remote, local", {remote, local}, 2, 0, true, 67, true},
        {"a pair that fails its check", {local, SuspendEntry(Pair{.uiDstOlu = 5})}, 2, 0, true, 48, true},
        {"untransferred-data mode on local pairs", {local, local2}, 2, 0x10, true, 37, true},
        {"one session named twice", {local, local}, 2, 0, true, 67, true},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Fresh("3 vz A1 5 A1 6");
        sim.addSession("4 vz A1 7 A1 8");
        uint32_t result[3] = {};
        EXPECT_EQ(MultiSuspend(kHostA1, c.pairs, c.count, c.option, c.result ? result : nullptr),
                  -1);
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Sent(), "");
        EXPECT_EQ(!sim.cdbLog().empty(), c.reachesArray);
        EXPECT_EQ(Field("A1", 3, "status"), "2");
    }

    // A session not Active and Equivalent.
    Fresh("3 vz A1 5 A1 6 phase=copying");
    uint32_t result[1] = {};
    EXPECT_EQ(MultiSuspend(kHostA1, {local}, 1, 0, result), -1);
    EXPECT_EQ(ZRKerrno, 39);
    EXPECT_EQ(Sent(), "");
}

// ---- arrays without the page-based engine ------------------------------------------------

// The classic engine serves them (lvapi_classic_test.cpp); the option and
// locality rules and the 32-bit limits come first, as on any array, and a
// session that is not there is reported before anything is sent.
TEST_F(LvVz, ClassicArraysCheckTheRulesFirst) {
    const Pair local{.sSrc = "BOX-C1", .sDst = "BOX-C1"};
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
        {"start, a remote mode on a local pair", ZRKLVStartVZ, local, 0x20, 37},
        {"stop, no session", ZRKLVStopVZ, local, 0, 21},
        {"stop by identifier, no session", ZRKLVStopVZ, ById(1), 0x4, 21},
        {"suspend, no session", ZRKLVSuspendVZ, remote, 0x2, 21},
        {"suspend, force on a local pair", ZRKLVSuspendVZ, local, 0x2, 37},
        {"resume, no session", ZRKLVResumeVZ, local, 0, 21},
        {"resume, remain mode on a local pair", ZRKLVResumeVZ, local, 0x80, 37},
        {"change, no session", ZRKLVChangeVZ, local, 0x1000, 21},
        {"change, reverse with a mode", ZRKLVChangeVZ, local, 0x1000 | 0x20, 37},
        {"start, beyond 32 bits", ZRKLVStartVZ, Pair{.sSrc = "BOX-C1", .sDst = "BOX-C1", .ullSize = 1ull << 32}, 0, 8},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh("");
        EXPECT_EQ(Run(c.fn, kClassic, c.pair, c.option), -1);
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Sent(), "");
    }
    EXPECT_EQ(QueryVz(kClassic, local).rc, -1);
    EXPECT_EQ(ZRKerrno, 21);
    unsigned char detail[256];
    EXPECT_EQ(Detail(kClassic, local, detail), -1);
    EXPECT_EQ(ZRKerrno, 21);
    EXPECT_EQ(Session(kClassic, 1, 0, detail), -1);
    EXPECT_EQ(ZRKerrno, 21);
    uint32_t result[1];
    EXPECT_EQ(MultiSuspend(kClassic, {SuspendEntry(local)}, 1, 0, result), -1);
    EXPECT_EQ(ZRKerrno, 21);
    EXPECT_EQ(Sent(), "");
}

// An array whose VZ groups are served the classic way: the single-pair
// functions see the page-based engine, the concurrent suspend takes the
// classic one, which reads the local session maximum (page 0x09) first.
TEST_F(LvVz, ConcurrentSuspendFollowsTheVzGroupsAlone) {
    const Pair k1{.sSrc = "BOX-K1", .sDst = "BOX-K1"};
    struct Case {
        const char *what, *host, *array;
        Pair pair;
        size_t maximumReads; // of page 0x09
    };
    // clang-format off
    const Case cases[] = {
        {"VZ groups classic", kKzpPaged, "K1", k1, 1},
        {"page-based", kHostA1, "A1", kLocal, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Fresh(std::string("3 vz ") + c.array + " 5 " + c.array + " 6");
        uint32_t result[1] = {};
        ASSERT_EQ(MultiSuspend(c.host, {SuspendEntry(c.pair)}, 1, 0, result), 0) << ZRKerrno;
        EXPECT_EQ(Sent(), "50");
        const auto log = sim.cdbLog();
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [](const zrksim::CdbRecord &r) {
                                    return r.cdb[0] == ZRK_OP_TRAVO_IN && r.cdb[2] == 0x09;
                                }),
                  static_cast<long>(c.maximumReads));
        EXPECT_EQ(Field(c.array, 3, "status"), "4");
    }
    Fresh("3 vz K1 5 K1 6");
    EXPECT_EQ(Run(ZRKLVSuspendVZ, kKzpPaged, k1, 0), 0) << ZRKerrno;
    EXPECT_EQ(Sent(), "48");
}

} // namespace
