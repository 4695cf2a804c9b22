// Session operations of the page-based engine against the simulator: the
// pages every operation sends (golden bytes from the CDB log) and what the
// array then holds, the roll-back of a refused start, the refusals that must
// send nothing, the stack timer, the diagnosis of a failed remote change and
// the session search without the detail list.
#include "inband_support.h"
#include "zrkcmd.h"
#include "zrktvc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace inbandtest;

namespace {

using Pair = CopyPair;
COPY_REQ_LV Request(const Pair &p) { return TvcRequest(p, 3); }
COPY_REQ_LV ById(uint16_t id) { return TvcRequestById(id); }
// The no-destination request of a monitor session of A1:5.
COPY_REQ_LV MonitorRequest() {
    COPY_REQ_LV r = Request({.uiDstOlu = 0xFFFFFFFF});
    std::memset(r.DstBoxID, 0xFF, sizeof r.DstBoxID);
    return r;
}

using Operation = int (*)(const char *, unsigned char, unsigned int, const COPY_REQ_LV *);

constexpr char kSrcHost[] = "/dev/sdb"; // A1:5
constexpr char kDstHost[] = "/dev/sdc"; // A2:9

constexpr char kArrays[] = R"(
array A1 boxid="BOX-A1"
array A2 boxid="BOX-A2"
array A3 boxid="BOX-A3"
volume A1 5 2097152
volume A1 6 2097152
volume A1 7 2097152
volume A1 8 2097152
volume A2 9 2097152
disk /dev/sdb 8:16 A1 5
disk /dev/sdc 8:32 A2 9
)";

class TvcOps : public InbandTest {
protected:
    TvcOps() : InbandTest(kArrays) {}

    void SetUp() override {
        InbandTest::SetUp();
        ZRKRVZ_stacktimer = 5;
    }

    // What the API's common check leaves behind, then an empty CDB log.
    void Prepare(const char *volume) {
        PrepareOperation(sim, volume);
        ZRKsessionid = -7;
    }

    // The commands sent, one word each (the copy-support read "in00", any
    // other command "op" and its opcode).
    std::string Trail() const { return CopyTrail(sim, {.bSupportRead = true, .bOthers = true}); }
    std::vector<std::string> Pages() const { return SentPagesHex(sim); }
    void Fault(const std::string &words) const { sim.commandOk("fault sense " + words); }
};

// ---- starts ---------------------------------------------------------------------------

TEST_F(TvcOps, StartsSendTheirPagesAndTheArrayHoldsTheSession) {
    const std::string a1 = BoxIdHex("BOX-A1"), a2 = BoxIdHex("BOX-A2");
    struct Case {
        const char *what;
        Operation op;
        unsigned char kind;
        unsigned int option;
        Pair pair;
        const char *trail;
        Patches page; // besides the code, the length and the identifier 0x0001
        const char *kindName, *pairText;
    };
    // clang-format off
    const Case cases[] = {
        {"local VZ, secondary access", StartTvc, 2, 0x20000, {}, "in31 in31 reserve out44", {{12, "02"}, {20, "81"}, {128, "00000005 00000006 0000 0003"}}, "vz", "A1:5>A1:6"},
        {"remote VZ, stack transfer", StartTvc, 2, 0x400, {.sDst = "BOX-A2", .uiDstOlu = 9}, "in31 reserve out44", {{12, "02"}, {20, "a0"}, {23, "02"}, {32, a1}, {80, a2}, {128, "00000005 00000009 0000 0003"}}, "vz", "A1:5>A2:9"},
        {"KZP of an extent", StartTvc, 1, 0, {.ullSrcExt = 0x100, .ullSize = 0x200, .ullDstExt = 0x300}, "in31 in31 reserve out44", {{12, "01"}, {128, "00000005 00000006 0001"}, {160, "0000000000000100 0000000000000200 0000000000000300"}}, "kzp", "A1:5>A1:6"},
        {"QuickKZP", StartQuickTvc, 1, 0, {.uiDstOlu = 7}, "in31 in31 reserve out44", {{12, "01"}, {20, "88"}, {128, "00000005 00000007"}}, "quickkzp", "A1:5>A1:7"},
        {"SnapKZP", StartSnapTvc, 1, 0, {.uiDstOlu = 8}, "in31 in31 reserve out44", {{12, "01"}, {20, "90"}, {128, "00000005 00000008"}}, "snapkzp", "A1:5>A1:8"},
        {"SnapKZP+", StartSnapTvc, 5, 0, {.uiDstOlu = 8}, "in31 in31 reserve out44", {{12, "01"}, {20, "c0"}, {128, "00000005 00000008"}}, "snapkzp+", "A1:5>A1:8"},
        {"SnapKZP+ monitor: no destination to check", StartSnapTvc, 5, 0x8000, {.uiDstOlu = 0xFFFFFFFF}, "in31 reserve out44", {{12, "03"}, {20, "80"}, {128, "00000005 ffffffff"}}, "monitor", "A1:5>A1:-"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(kArrays);
        Prepare(kSrcHost);
        const COPY_REQ_LV request = Request(c.pair);
        ASSERT_EQ(c.op(kSrcHost, c.kind, c.option, &request), 0) << ZRKerrno;
        EXPECT_EQ(Trail(), c.trail);
        Patches expected = c.page;
        expected.push_back({0, "44"});
        expected.push_back({6, "00b8 0001"});
        ASSERT_EQ(Pages().size(), 1u);
        EXPECT_EQ(Pages()[0], GoldenHex(192, expected));
        EXPECT_EQ(ZRKsessionid, 1);
        EXPECT_EQ(Field("A1", 1, "kind"), c.kindName);
        EXPECT_EQ(Field("A1", 1, "pair"), c.pairText);
        EXPECT_EQ(Field("A1", 1, "status"), "2");
    }
}

// A refused start sends exactly one stop for the reserved identifier and
// reports the start's failure, even when the stop fails too.
TEST_F(TvcOps, RefusedStartIsRolledBack) {
    struct Case {
        const char *what;
        Operation op;
        unsigned char kind;
        Pair pair;
        const char *startSense; // "KEY ASC ASCQ" for the start page
        const char *stopSense;  // and for the roll-back, or null
        int errnoSeen;
        const char *rollBack;   // bytes 12-13 of the stop page
    };
    // clang-format off
    const Case cases[] = {
        {"remote VZ, partner refused", StartTvc, 2, {.sDst = "BOX-A2", .uiDstOlu = 9}, "5 0x26 0x00", nullptr, ZRK_ERR_PARTNER, "02"},
        {"local VZ keeps the mapped code", StartTvc, 2, {}, "5 0x26 0x00", nullptr, 8, "02"},
        {"KZP: 65 is reported as 68", StartTvc, 1, {}, "5 0x26 0xC0", nullptr, 68, "01"},
        {"QuickKZP, its stop refused too", StartQuickTvc, 1, {.uiDstOlu = 7}, "5 0x26 0xC1", "5 0x26 0x91", 68, "01"},
        {"SnapKZP+, its stop refused too", StartSnapTvc, 5, {.uiDstOlu = 8}, "5 0x26 0x92", "5 0x26 0x91", 26, "01"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(kArrays);
        Prepare(kSrcHost);
        Fault(std::string("1 ") + c.startSense + " page=0x44");
        if (c.stopSense != nullptr) Fault(std::string("1 ") + c.stopSense + " page=0x45");
        const COPY_REQ_LV request = Request(c.pair);
        EXPECT_EQ(c.op(kSrcHost, c.kind, 0, &request), -1);
        EXPECT_EQ(ZRKerrno, c.errnoSeen);
        EXPECT_EQ(ZRKsessionid, -7);
        const std::vector<std::string> pages = Pages();
        ASSERT_EQ(pages.size(), 2u);
        EXPECT_EQ(pages[1], GoldenHex(192, {{0, "45"}, {6, "00b8 0001"}, {12, c.rollBack}}));
        // The sense of the start, not of the roll-back.
        const Stored s = ReadStore();
        std::istringstream words(c.startSense);
        int key = 0, asc = 0, ascq = 0;
        words >> key >> std::hex >> asc >> ascq;
        EXPECT_EQ(s.key, key);
        EXPECT_EQ(s.asc, asc);
        EXPECT_EQ(s.ascq, ascq);
        // Nothing is left behind unless the roll-back itself was refused.
        EXPECT_EQ(sim.sessions("A1").empty(), c.stopSense == nullptr);
    }
}

// ---- operations on a session ------------------------------------------------------------

TEST_F(TvcOps, SessionOperationsSendTheirPages) {
    const std::string a1 = BoxIdHex("BOX-A1"), a2 = BoxIdHex("BOX-A2");
    struct Case {
        const char *what;
        const char *session; // on A1, identifier 3
        const char *host;
        Operation op;
        unsigned char kind;
        unsigned int option;
        COPY_REQ_LV request;
        Patches page;        // besides the length
        const char *key, *value; // then on A1 session 3 (value "" = gone)
    };
    const COPY_REQ_LV local = Request({});
    const COPY_REQ_LV remote = Request({.sDst = "BOX-A2", .uiDstOlu = 9});
    // The detail of a session names both arrays, local or not.
    const std::string boxes = a1 + std::string(16, '0') + a1;
    // A monitor session names no destination array.
    const std::string noDestination = a1 + std::string(16, '0') + std::string(80, 'f');
    // clang-format off
    const Case cases[] = {
        {"stop of a local VZ session", "vz A1 5 A1 6", kSrcHost, StopTvc, 2, 0, local, {{0, "45"}, {8, "0003"}, {12, "02"}, {20, "80"}, {128, "00000005 00000006"}, {32, boxes}}, "status", ""},
        {"stop by identifier", "kzp A1 5 A1 6", kSrcHost, StopTvc, 1, 0x4, ById(3), {{0, "45"}, {8, "0003"}, {12, "01"}, {20, "80"}, {128, "00000005 00000006"}, {32, boxes}}, "status", ""},
        {"suspend with the stack timer", "rvz A1 5 A2 9 partner=4", kSrcHost, SuspendTvc, 2, 0x100000, remote, {{0, "48"}, {8, "0003 0004"}, {12, "02"}, {20, "a0 00 00 00 02 00 00 c8"}, {32, a1}, {80, a2}, {128, "00000005 00000009"}}, "stacktimer", "200"},
        {"suspend from the destination's host: the partner identifier", "rvz A1 5 A2 9 partner=4", kDstHost, SuspendTvc, 2, 0x2, remote, {{0, "48"}, {8, "0003 0004"}, {12, "02"}, {20, "a0 00 10 00 80"}, {32, a1}, {80, a2}, {128, "00000005 00000009"}}, "status", "4"},
        {"resume in remain mode", "rvz A1 5 A2 9 partner=4 status=suspend mode=sync transfer=0", kSrcHost, ResumeTvc, 2, 0x80, remote, {{0, "49"}, {8, "0003 0004"}, {12, "02"}, {20, "a0 00 04 00 40"}, {32, a1}, {80, a2}, {128, "00000005 00000009"}}, "status", "2"},
        {"reverse of a local session", "vz A1 5 A1 6 status=suspend", kSrcHost, ChangeTvc, 2, 0x1000, local, {{0, "46"}, {8, "0003"}, {12, "02"}, {20, "80 00 00 00 00 04"}, {128, "00000005 00000006"}, {32, boxes}}, "pair", "A1:6>A1:5"},
        {"mode change of a remote session", "rvz A1 5 A2 9 partner=4 status=suspend", kSrcHost, ChangeTvc, 2, 0x20 | 0x100, remote, {{0, "46"}, {8, "0003 0004"}, {12, "02"}, {20, "a0 00 06 00 00 02"}, {32, a1}, {80, a2}, {128, "00000005 00000009"}}, "mode", "sync,split"},
        {"QuickKZP stop of the tracking only", "quickkzp A1 5 A1 7 phase=tracking", kSrcHost, StopQuickTvc, 1, 0x4000, Request({.uiDstOlu = 7}), {{0, "45"}, {8, "0003"}, {12, "01"}, {20, "88 00 00 00 00 40"}, {128, "00000005 00000007"}, {32, boxes}}, "status", ""},
        {"SnapKZP+ stop", "snapkzp+ A1 5 A1 8", kSrcHost, StopSnapTvc, 5, 0, Request({.uiDstOlu = 8}), {{0, "45"}, {8, "0003"}, {12, "01"}, {20, "c0"}, {128, "00000005 00000008"}, {32, boxes}}, "status", ""},
        {"monitor stop", "monitor A1 5 A1 -", kSrcHost, StopSnapTvc, 5, 0x8000, MonitorRequest(), {{0, "45"}, {8, "0003"}, {12, "03"}, {20, "80"}, {128, "00000005 ffffffff"}, {32, noDestination}}, "status", ""},
        {"QuickKZP restart", "quickkzp A1 5 A1 7 phase=tracking diff=5", kSrcHost, StartQuickTvc, 1, 0x2000, Request({.uiDstOlu = 7}), {{0, "44"}, {8, "0003"}, {12, "01"}, {20, "88 00 00 00 00 80"}, {128, "00000005 00000007"}, {32, boxes}}, "phase", "4"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(kArrays);
        sim.addSession(std::string("3 ") + c.session);
        ZRKRVZ_stacktimer = 200;
        Prepare(c.host);
        ASSERT_EQ(c.op(c.host, c.kind, c.option, &c.request), 0) << ZRKerrno;
        ASSERT_EQ(Pages().size(), 1u);
        EXPECT_EQ(Pages()[0], SessionPageHex(c.page));
        EXPECT_EQ(Field("A1", 3, c.key), c.value);
        EXPECT_EQ(ZRKsessionid, -7); // only a new session sets it
    }
}

// Every refusal of the engine comes before anything is sent out.
TEST_F(TvcOps, RefusalsSendNoPage) {
    struct Case {
        const char *what;
        const char *session; // on A1, identifier 3, or null
        const char *host;
        Operation op;
        unsigned char kind;
        unsigned int option;
        COPY_REQ_LV request;
        int errnoSeen;
    };
    const COPY_REQ_LV local = Request({});
    // clang-format off
    const Case cases[] = {
        {"suspend of a suspended session", "vz A1 5 A1 6 status=suspend", kSrcHost, SuspendTvc, 2, 0, local, ZRK_ERR_SEQUENCE},
        {"resume of an active session", "vz A1 5 A1 6", kSrcHost, ResumeTvc, 2, 0, local, ZRK_ERR_SEQUENCE},
        {"change of an active session", "vz A1 5 A1 6", kSrcHost, ChangeTvc, 2, 0x1000, local, ZRK_ERR_SEQUENCE},
        {"local change other than reverse", "vz A1 5 A1 6 status=suspend", kSrcHost, ChangeTvc, 2, 0x20, local, ZRK_ERR_OPTION},
        {"KZP stop of a SnapKZP session", "snapkzp A1 5 A1 6", kSrcHost, StopTvc, 1, 0, local, ZRK_ERR_NO_SESSION},
        {"KZP stop of a monitor session", "monitor A1 5 A1 -", kSrcHost, StopTvc, 1, 0, MonitorRequest(), ZRK_ERR_NO_SESSION},
        {"QuickKZP restart of a KZP session", "kzp A1 5 A1 6", kSrcHost, StartQuickTvc, 1, 0x2000, local, ZRK_ERR_NO_SESSION},
        {"QuickKZP stop of a KZP session", "kzp A1 5 A1 6", kSrcHost, StopQuickTvc, 1, 0x2, local, ZRK_ERR_NO_SESSION},
        {"SnapKZP+ stop of a SnapKZP session", "snapkzp A1 5 A1 6", kSrcHost, StopSnapTvc, 5, 0, local, ZRK_ERR_NO_SESSION},
        {"monitor stop of a SnapKZP+ session", "snapkzp+ A1 5 A1 6", kSrcHost, StopSnapTvc, 5, 0x8000, local, ZRK_ERR_NO_SESSION},
        {"no such pair", "vz A1 5 A1 7", kSrcHost, StopTvc, 2, 0, local, ZRK_ERR_NO_SESSION},
        {"by identifier: forced stop of a local KZP session", "kzp A1 5 A1 6", kSrcHost, StopTvc, 1, 0x4 | 0x2, ById(3), ZRK_ERR_OPTION},
        {"by identifier: forced suspend of a local session", "vz A1 5 A1 6", kSrcHost, SuspendTvc, 2, 0x4 | 0x2, ById(3), ZRK_ERR_OPTION},
        {"by identifier: remain mode on a local session", "vz A1 5 A1 6 status=suspend", kSrcHost, ResumeTvc, 2, 0x4 | 0x80, ById(3), ZRK_ERR_OPTION},
        {"by identifier: suspend of a KZP session", "kzp A1 5 A1 6", kSrcHost, SuspendTvc, 2, 0x4, ById(3), ZRK_ERR_NO_SESSION},
        {"by identifier: no such session", nullptr, kSrcHost, StopTvc, 2, 0x4, ById(3), ZRK_ERR_NO_SESSION},
        {"a local pair of another array", nullptr, kSrcHost, StartTvc, 2, 0, Request({.sSrc = "BOX-A2", .sDst = "BOX-A2"}), ZRK_ERR_DIFFERENT_ZRK},
        {"a remote pair without this array", nullptr, kSrcHost, StartTvc, 2, 0, Request({.sSrc = "BOX-A2", .sDst = "BOX-A3"}), ZRK_ERR_BOXID},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(kArrays);
        if (c.session != nullptr) sim.addSession(std::string("3 ") + c.session);
        Prepare(c.host);
        EXPECT_EQ(c.op(c.host, c.kind, c.option, &c.request), -1);
        EXPECT_EQ(ZRKerrno, c.errnoSeen);
        EXPECT_TRUE(Pages().empty());
        EXPECT_EQ(Trail().find("reserve"), std::string::npos);
    }
}

// A function the support data does not offer is refused with 17.
TEST_F(TvcOps, MissingSupportIsRefused) {
    struct Case {
        const char *what;
        int byte;
        unsigned char clear; // bits cleared in the support store
        Operation op;
        unsigned char kind;
        unsigned int option;
        Pair pair;
    };
    // clang-format off
    const Case cases[] = {
        {"remote VZ start in stack mode", 29, 0x10, StartTvc, 2, 0x400, {.sDst = "BOX-A2", .uiDstOlu = 9}},
        {"remote VZ start with secondary access", 29, 0x02, StartTvc, 2, 0x20000, {.sDst = "BOX-A2", .uiDstOlu = 9}},
        {"local VZ start", 23, 0x01, StartTvc, 2, 0, {}},
        {"stack-timer suspend", 30, 0x10, SuspendTvc, 2, 0x100000, {.sDst = "BOX-A2", .uiDstOlu = 9}},
        {"local suspend", 21, 0x01, SuspendTvc, 2, 0, {}},
        {"remote mode change", 29, 0x04, ChangeTvc, 2, 0x20, {.sDst = "BOX-A2", .uiDstOlu = 9}},
        {"remote reverse", 29, 0x08, ChangeTvc, 2, 0x1000, {.sDst = "BOX-A2", .uiDstOlu = 9}},
        {"local reverse", 21, 0x08, ChangeTvc, 2, 0x1000, {}},
        {"QuickKZP start", 4, 0x01, StartQuickTvc, 1, 0, {.uiDstOlu = 7}},
        {"QuickKZP start in delete mode", 4, 0x02, StartQuickTvc, 1, 0x2000000, {.uiDstOlu = 7}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(kSrcHost);
        ClearSupportBits(c.byte, c.clear);
        const COPY_REQ_LV request = Request(c.pair);
        EXPECT_EQ(c.op(kSrcHost, c.kind, c.option, &request), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
        EXPECT_TRUE(Pages().empty());
    }
}

// The status of the OLUs refuses a start before an identifier is reserved.
TEST_F(TvcOps, OluStatusRefusesAStart) {
    sim.load(std::string(kArrays) + "volume A1 10 2097152 olustatus=3\n");
    Prepare(kSrcHost);
    COPY_REQ_LV request = Request({.uiSrcOlu = 10});
    EXPECT_EQ(StartTvc(kSrcHost, 1, 0, &request), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_SEQUENCE);
    EXPECT_EQ(Trail(), "in31");

    // A snapshot's destination that is marked in use.
    sim.load(std::string(kArrays) + "volume A1 10 2097152 olustatus=2\n");
    Prepare(kSrcHost);
    request = Request({.uiDstOlu = 10});
    EXPECT_EQ(StartSnapTvc(kSrcHost, 5, 0, &request), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_SEQUENCE);
    EXPECT_EQ(Trail(), "in31 in31");
}

// ---- the stack timer -------------------------------------------------------------------

TEST_F(TvcOps, StackTimerOutsideOneByteSendsNothing) {
    sim.addSession("3 rvz A1 5 A2 9 partner=4");
    const COPY_REQ_LV remote = Request({.sDst = "BOX-A2", .uiDstOlu = 9});
    for (const int timer : {256, -1, 1000000}) {
        SCOPED_TRACE(timer);
        Prepare(kSrcHost);
        ZRKRVZ_stacktimer = timer;
        EXPECT_EQ(SuspendTvc(kSrcHost, 2, 0x100000, &remote), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_STACK_TIMER);
        EXPECT_TRUE(sim.cdbLog().empty());
    }
    // Without the stack-timer option the timer is not read.
    Prepare(kSrcHost);
    ZRKRVZ_stacktimer = 256;
    ASSERT_EQ(SuspendTvc(kSrcHost, 2, 0, &remote), 0) << ZRKerrno;
    ASSERT_EQ(Pages().size(), 1u);
    EXPECT_EQ(Pages()[0].substr(2 * 24, 8), "00000000");

    // The largest value that fits goes out whole.
    sim.setSession("A1", 3, "status=active");
    Prepare(kSrcHost);
    ZRKRVZ_stacktimer = 255;
    ASSERT_EQ(SuspendTvc(kSrcHost, 2, 0x100000, &remote), 0) << ZRKerrno;
    EXPECT_EQ(Pages()[0].substr(2 * 24, 8), "020000ff");
    EXPECT_EQ(Field("A1", 3, "stacktimer"), "255");

    // The array refusing the remote stack-timer suspend.
    sim.setSession("A1", 3, "status=active");
    Prepare(kSrcHost);
    Fault("1 5 0x26 0x00 page=0x48");
    EXPECT_EQ(SuspendTvc(kSrcHost, 2, 0x100000, &remote), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_STACK_TIMER);
}

// ---- the failed remote change ----------------------------------------------------------

TEST_F(TvcOps, FailedRemoteChangeIsDiagnosed) {
    struct Case {
        const char *what;
        const char *host;
        int modeChange;
        const char *sense;   // of the change page
        const char *corrupt; // "OFFSET HEX" on the re-read page 0x44, or null
        int errnoSeen;       // -1: the code the sense maps to
    };
    // clang-format off
    const Case cases[] = {
        {"partner refused", kSrcHost, 0, "5 0x26 0x00", nullptr, ZRK_ERR_PARTNER},
        {"state 0: not changed", kSrcHost, 0, "4 0xF9 0xA6", nullptr, ZRK_ERR_MODE_UNCHANGED},
        {"state 1: crossed", kSrcHost, 1, "5 0x26 0xBC", nullptr, ZRK_ERR_MODE_CROSSES},
        {"state 2: crossed", kSrcHost, 2, "4 0xF9 0xA6", nullptr, ZRK_ERR_MODE_CROSSES},
        {"another state: the change's own code", kSrcHost, 7, "4 0xF9 0xA6", nullptr, -1},
        {"gone on the re-read", kSrcHost, 0, "4 0xF9 0xA6", "27 00", ZRK_ERR_MODE_CROSSES},
        {"other sense: not diagnosed", kSrcHost, 0, "5 0x26 0x91", nullptr, ZRK_ERR_SEQUENCE},
        {"destination side, detail moved", kDstHost, 0, "4 0xF9 0xA6", "26 05", ZRK_ERR_MODE_CROSSES},
    };
    // clang-format on
    const COPY_REQ_LV remote = Request({.sDst = "BOX-A2", .uiDstOlu = 9});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(kArrays);
        sim.addSession("3 rvz A1 5 A2 9 partner=4 status=suspend modechange=" +
                       std::to_string(c.modeChange));
        Prepare(c.host);
        // The transport retries a hardware error twice.
        Fault(std::string(c.sense[0] == '4' ? "3 " : "1 ") + c.sense + " page=0x46");
        if (c.corrupt != nullptr) sim.commandOk(std::string("corrupt 0x44 ") + c.corrupt);
        EXPECT_EQ(ChangeTvc(c.host, 2, 0x20, &remote), -1);
        std::istringstream words(c.sense);
        int key = 0, asc = 0, ascq = 0;
        words >> key >> std::hex >> asc >> ascq;
        const unsigned char sense[18] = {0x70, 0, static_cast<unsigned char>(key), 0, 0, 0, 0, 10,
                                         0, 0, 0, 0, static_cast<unsigned char>(asc),
                                         static_cast<unsigned char>(ascq)};
        const int mapped = zrk::MapScsiResult(ZRK_MSTATUS_CHECK_CONDITION, sense, sizeof sense).iErrno;
        EXPECT_EQ(ZRKerrno, c.errnoSeen == -1 ? mapped : c.errnoSeen);
        const Stored s = ReadStore();
        EXPECT_EQ(s.key, key);
        EXPECT_EQ(s.asc, asc);
        EXPECT_EQ(s.ascq, ascq);
    }
}

// ---- the search without the detail list --------------------------------------------------

TEST_F(TvcOps, SearchByIdentifierListSkipsVanishedSessions) {
    sim.addSession("1 vz A1 5 A1 6 srcext=0 size=1000 dstext=0");
    sim.addSession("2 vz A1 5 A1 6 srcext=1000 size=1000 dstext=1000");
    Prepare(kSrcHost);
    for (int b : {7, 15, 23, 31}) ClearSupportBits(b, 0x80); // no detail list

    // The first candidate's detail says "no such session": it is passed over.
    sim.commandOk("corrupt 0x44 27 00");
    const COPY_REQ_LV request = Request({.ullSrcExt = 1000, .ullSize = 1000, .ullDstExt = 1000});
    unsigned char id[2] = {};
    TVC_DETAIL_INFO detail;
    ASSERT_EQ(SearchTvcSession(kSrcHost, 2, &request, 0, id, &detail), 0) << ZRKerrno;
    EXPECT_EQ(zrksim::toHex(Bytes(id, id + 2)), "0002");
    EXPECT_EQ(Trail().find("in43"), std::string::npos);
    EXPECT_NE(Trail().find("in19 in44 in44"), std::string::npos) << Trail();

    // The candidate list never holds more than its room.
    sim.clearLog();
    unsigned char slots[12];
    std::memset(slots, 0xEE, sizeof slots);
    int count = -1;
    ASSERT_EQ(ExtractSessionID(kSrcHost, 2, &request, &count, slots, 1), 0) << ZRKerrno;
    EXPECT_EQ(count, 1);
    EXPECT_EQ(zrksim::toHex(Bytes(slots, slots + sizeof slots)), "00010000eeeeeeeeeeeeeeee");
}

// Seen from the destination array, the detail list names the partner's identifier.
TEST_F(TvcOps, SearchFromTheDestinationSideGivesThePartnerIdentifier) {
    sim.addSession("3 rvz A1 5 A2 9 partner=4");
    Prepare(kDstHost);
    const COPY_REQ_LV request = Request({.sDst = "BOX-A2", .uiDstOlu = 9});
    unsigned char id[2] = {};
    TVC_DETAIL_INFO detail;
    ASSERT_EQ(SearchTvcSession(kDstHost, 2, &request, 0x80, id, &detail), 0) << ZRKerrno;
    EXPECT_EQ(zrksim::toHex(Bytes(id, id + 2)), "0004");
    EXPECT_EQ(zrk::DecodeTvcDetail(detail).uhSessionId, 3);
}

}  // namespace
