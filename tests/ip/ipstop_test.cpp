// Stop of one copy session over the LAN, against the simulator's LAN front:
// every kind of session stopped by copy pair and by session identifier with
// the exact command text, the session gone from the array afterwards (a
// second stop finds nothing), the sessions of another kind left alone, and
// the refusals before the lookup (option words, identifiers, remote pairs,
// capabilities).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "child.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "sim_client.h"
#include "zrkapi.h"

namespace {

using Fn = int (*)(ZRKIP_COPY_ARGS);

// Two sessions of every kind on A1: the first to stop by copy pair, the
// second (identifier + 10) by its identifier. Each Dn lacks one capability.
std::string Scenario() {
    std::string s =
        "array A1 boxid=\"BOXA1\" address=10.0.0.5\n"
        "array B1 boxid=\"BOXB1\" address=10.0.0.6\n"
        "array D1 boxid=\"BOXD1\" address=10.0.0.31 support=" +
        iptest::SupportHex({{31, 0x00}}) +
        "\n"
        "array D2 boxid=\"BOXD2\" address=10.0.0.32 support=" +
        iptest::SupportHex({{4, 0x0E}}) +
        "\n"
        "array D3 boxid=\"BOXD3\" address=10.0.0.33 support=" +
        iptest::SupportHex({{4, 0x0B}}) +
        "\n"
        "array D4 boxid=\"BOXD4\" address=10.0.0.34 support=" +
        iptest::SupportHex({{4, 0x07}}) +
        "\n"
        "array D5 boxid=\"BOXD5\" address=10.0.0.35 support=" +
        iptest::SupportHex({{4, 0x0D}}) +
        "\n"
        "array D6 boxid=\"BOXD6\" address=10.0.0.36 support=" +
        iptest::SupportHex({{7, 0x00}}) +
        "\n"
        "array D7 boxid=\"BOXD7\" address=10.0.0.37 support=" +
        iptest::SupportHex({{23, 0x00}}) +
        "\n"
        // Point-in-time copies only: no VZ, no RVZ.
        "array P1 boxid=\"BOXP1\" address=10.0.0.38 support=" +
        iptest::SupportHex({{23, 0x00}, {31, 0x00}}) +
        "\n"
        "volume P1 1 4096\n"
        "user admin secret\n";
    for (const char *array : {"A1", "B1"}) {
        for (int olu = 1; olu <= 40; ++olu) {
            const bool sdv = olu == 9 || olu == 11 || olu == 29 || olu == 31;
            s += "volume " + std::string(array) + " " + std::to_string(olu) + " 4096" +
                 (sdv ? " type=sdv" : "") + "\n";
        }
    }
    s += "session 1 vz A1 1 A1 2\n"
         "session 11 vz A1 21 A1 22 status=suspend\n"
         "session 2 rvz A1 3 B1 3 partner=7\n"
         "session 12 rvz A1 23 B1 23 partner=17\n"
         "session 3 kzp A1 4 A1 5\n"
         "session 13 kzp A1 24 A1 25\n"
         "session 4 quickkzp A1 6 A1 7\n"
         "session 14 quickkzp A1 26 A1 27 phase=tracking\n"
         "session 5 snapkzp A1 8 A1 9\n"
         "session 15 snapkzp A1 28 A1 29\n"
         "session 6 snapkzp+ A1 10 A1 11\n"
         "session 16 snapkzp+ A1 30 A1 31\n"
         "session 7 monitor A1 12 A1 -\n"
         "session 17 monitor A1 32 A1 -\n"
         "session 8 kzp A1 13 A1 14 vvol=yes\n"
         "session 18 kzp A1 33 A1 34 vvol=yes\n"
         "session 9 monitor P1 1 P1 -\n";
    return s;
}

const char *const kAllAddresses[] = {"10.0.0.5",  "10.0.0.6",  "10.0.0.31",
                                     "10.0.0.32", "10.0.0.33", "10.0.0.34",
                                     "10.0.0.35", "10.0.0.36", "10.0.0.37",
                                     "10.0.0.38"};

class IpStopSim : public iptest::LanSimTest {
protected:
    IpStopSim() : LanSimTest(Scenario(), {std::begin(kAllAddresses), std::end(kAllAddresses)}) {}

    // The command texts the arrays received since the last call, without
    // the capability and BoxID questions that every call may ask first.
    std::vector<std::string> SessionCommands() const { return iptest::LanSessionCommands(sim); }

    std::string SessionLine(const std::string &array, unsigned id) const {
        const std::string head = "session " + std::to_string(id) + " ";
        for (const std::string &line : sim.sessions(array)) {
            if (line.rfind(head, 0) == 0) return line;
        }
        return {};
    }
};

struct Pair {
    const char *ip;
    std::string src;
    uint32_t srcOlu;
    std::string dst;  // "-": a copy monitor's forty 0xFF bytes
    uint32_t dstOlu;
    uint32_t size = 0;
};

int ByPair(Fn fn, const Pair &p, uint32_t option, unsigned char *sense = nullptr) {
    const std::string src = iptest::PaddedBox(p.src);
    const std::string dst = p.dst == "-" ? std::string(ZRK_BOXID_LEN, '\xFF') : iptest::PaddedBox(p.dst);
    return fn(p.ip, nullptr, src.c_str(), p.srcOlu, 0, 0, 0, p.size, dst.c_str(), p.dstOlu, 0, 0,
              255, option, sense);
}

int ById(Fn fn, const char *ip, uint32_t id, uint32_t option) {
    return fn(ip, nullptr, nullptr, id, 7, 7, 7, 7, nullptr, 9, 9, 9, 255, option | 0x4, nullptr);
}

constexpr uint32_t kNone = 0xFFFFFFFF;

// Each kind, by pair and by identifier: the text sent, the session gone,
// and a second stop by identifier that finds nothing.
TEST_F(IpStopSim, EveryKindStopped) {
    struct Case {
        const char *what;
        Fn fn;
        Pair pair;    // ip "" : by identifier
        unsigned id;  // the session (by identifier: what SrcOLU carries)
        uint32_t option;
        const char *text;
        const char *array;  // where its line was listed
        unsigned listed;    // its identifier there
    } cases[] = {
        {"VZ by pair",
         ZRKIPStopVZ,
         {"10.0.0.5", "BOXA1", 1, "BOXA1", 2},
         1,
         0,
         "stop copy-session -session-id 1   ",
         "A1",
         1},
        {"suspended VZ by id",
         ZRKIPStopVZ,
         {},
         11,
         0,
         "stop copy-session -session-id 11   ",
         "A1",
         11},
        {"RVZ by pair at its destination",
         ZRKIPStopVZ,
         {"10.0.0.6", "BOXA1", 3, "BOXB1", 3},
         7,
         0,
         "stop copy-session -session-id 7   ",
         "A1",
         2},
        {"RVZ by id, forced",
         ZRKIPStopVZ,
         {},
         12,
         0x2,
         "stop copy-session -session-id 12 -mode force  ",
         "A1",
         12},
        {"KZP by pair",
         ZRKIPStopKZP,
         {"10.0.0.5", "BOXA1", 4, "BOXA1", 5},
         3,
         0,
         "stop copy-session -session-id 3   ",
         "A1",
         3},
        {"KZP by id", ZRKIPStopKZP, {}, 13, 0, "stop copy-session -session-id 13   ", "A1", 13},
        {"QuickKZP by pair, whole",
         ZRKIPStopQuickKZP,
         {"10.0.0.5", "BOXA1", 6, "BOXA1", 7},
         4,
         0x2,
         "stop copy-session -session-id 4   ",
         "A1",
         4},
        {"QuickKZP by id, tracking",
         ZRKIPStopQuickKZP,
         {},
         14,
         0x4000,
         "stop copy-session -session-id 14  -mode stop-tracking ",
         "A1",
         14},
        {"SnapKZP by pair",
         ZRKIPStopSnapKZP,
         {"10.0.0.5", "BOXA1", 8, "BOXA1", 9},
         5,
         0,
         "stop copy-session -session-id 5   ",
         "A1",
         5},
        {"SnapKZP by id",
         ZRKIPStopSnapKZP,
         {},
         15,
         0,
         "stop copy-session -session-id 15   ",
         "A1",
         15},
        {"SnapKZP+ by pair, forced",
         ZRKIPStopSnapKZP_p,
         {"10.0.0.5", "BOXA1", 10, "BOXA1", 11},
         6,
         0x2,
         "stop copy-session -session-id 6 -mode force  ",
         "A1",
         6},
        {"SnapKZP+ by id",
         ZRKIPStopSnapKZP_p,
         {},
         16,
         0,
         "stop copy-session -session-id 16   ",
         "A1",
         16},
        {"monitor by pair",
         ZRKIPStopSnapKZP,
         {"10.0.0.5", "BOXA1", 12, "-", kNone},
         7,
         0x8000,
         "stop copy-session -session-id 7   ",
         "A1",
         7},
        {"monitor by id, forced",
         ZRKIPStopSnapKZP_p,
         {},
         17,
         0x8000 | 0x2,
         "stop copy-session -session-id 17 -mode force  ",
         "A1",
         17},
        {"virtual volumes by id",
         ZRKIPStopKZP,
         {},
         8,
         0x1000000,
         "stop vvol-copy-session -vvol-session-id 8 -force",
         "A1",
         8},
        {"virtual volumes by pair",
         ZRKIPStopKZP,
         {"10.0.0.5", "BOXA1", 33, "BOXA1", 34, 4096},
         18,
         0x1000000,
         "stop vvol-copy-session -vvol-session-id 18 -force",
         "A1",
         18},
    };
    for (const Case &c : cases) {
        ASSERT_FALSE(SessionLine(c.array, c.listed).empty()) << c.what;
        const bool byId = c.pair.ip == nullptr;
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        const int ret =
            byId ? ById(c.fn, "10.0.0.5", c.id, c.option) : ByPair(c.fn, c.pair, c.option, sense);
        EXPECT_EQ(0, ret) << c.what << " " << ZRKerrno;
        const std::vector<std::string> sent = SessionCommands();
        ASSERT_FALSE(sent.empty()) << c.what;
        EXPECT_EQ(c.text, sent.back()) << c.what;
        EXPECT_TRUE(SessionLine(c.array, c.listed).empty()) << c.what;
        if (!byId) {
            EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'),
                      std::string(reinterpret_cast<char *>(sense), sizeof sense));
        }
    }
    // The identifiers are free now: the array lists them with status 0.
    for (const Case &c : cases) {
        const bool atDestination = c.pair.ip != nullptr && std::string(c.pair.ip) == "10.0.0.6";
        EXPECT_EQ(-1, ById(c.fn, atDestination ? "10.0.0.6" : "10.0.0.5", c.id, c.option))
            << c.what;
        EXPECT_EQ(21, ZRKerrno) << c.what;
        for (const std::string &sent : SessionCommands()) {
            EXPECT_EQ(0u, sent.rfind("show ", 0)) << c.what << ": " << sent;
        }
    }
}

// The lookup finds the pair's session but it is of another kind.
TEST_F(IpStopSim, OtherKindsAreLeftAlone) {
    struct Case {
        const char *what;
        Fn fn;
        Pair pair;
        unsigned id;  // by identifier when pair.ip is null
        uint32_t option;
    } cases[] = {
        {"KZP stop of a QuickKZP pair", ZRKIPStopKZP, {"10.0.0.5", "BOXA1", 6, "BOXA1", 7}, 0, 0},
        {"KZP stop of a SnapKZP pair", ZRKIPStopKZP, {"10.0.0.5", "BOXA1", 8, "BOXA1", 9}, 0, 0},
        {"KZP stop of a SnapKZP+ session by id", ZRKIPStopKZP, {}, 16, 0},
        {"QuickKZP stop of a KZP pair",
         ZRKIPStopQuickKZP,
         {"10.0.0.5", "BOXA1", 4, "BOXA1", 5},
         0,
         0x2},
        {"SnapKZP stop of a SnapKZP+ pair",
         ZRKIPStopSnapKZP,
         {"10.0.0.5", "BOXA1", 10, "BOXA1", 11},
         0,
         0},
        {"SnapKZP+ stop of a SnapKZP pair",
         ZRKIPStopSnapKZP_p,
         {"10.0.0.5", "BOXA1", 8, "BOXA1", 9},
         0,
         0},
        {"monitor stop of a SnapKZP session", ZRKIPStopSnapKZP, {}, 15, 0x8000},
        {"VZ stop of a KZP pair", ZRKIPStopVZ, {"10.0.0.5", "BOXA1", 4, "BOXA1", 5}, 0, 0},
        {"KZP stop of a VZ session by id", ZRKIPStopKZP, {}, 1, 0},
        {"no session of the pair", ZRKIPStopKZP, {"10.0.0.5", "BOXA1", 4, "BOXA1", 6}, 0, 0},
    };
    const std::vector<std::string> before = sim.sessions();
    for (const Case &c : cases) {
        const int ret = c.pair.ip == nullptr ? ById(c.fn, "10.0.0.5", c.id, c.option)
                                             : ByPair(c.fn, c.pair, c.option);
        EXPECT_EQ(-1, ret) << c.what;
        EXPECT_EQ(21, ZRKerrno) << c.what;
        const std::vector<std::string> sent = SessionCommands();
        ASSERT_EQ(1u, sent.size()) << c.what;
        EXPECT_EQ(0u, sent[0].rfind("show copy-sessions ", 0)) << c.what << ": " << sent[0];
    }
    EXPECT_EQ(before, sim.sessions());
}

// Refusals before the lookup: nothing but the capability questions is sent.
TEST_F(IpStopSim, RefusedBeforeTheLookup) {
    const Pair quick{"10.0.0.5", "BOXA1", 6, "BOXA1", 7};
    const Pair remote{"10.0.0.5", "BOXA1", 3, "BOXB1", 3};
    struct Case {
        const char *what;
        Fn fn;
        Pair pair;  // by identifier (SrcOLU = srcOlu) when ip is "id"
        uint32_t option;
        int error;
    } cases[] = {
        {"QuickKZP stop with both modes", ZRKIPStopQuickKZP, quick, 0x2 | 0x4000, 37},
        {"QuickKZP stop with neither mode", ZRKIPStopQuickKZP, quick, 0, 37},
        {"QuickKZP stop by id with neither mode", ZRKIPStopQuickKZP, {"id", "", 14, "", 0}, 0, 37},
        {"SnapKZP stop forced", ZRKIPStopSnapKZP, {"10.0.0.5", "BOXA1", 8, "BOXA1", 9}, 0x2, 37},
        {"KZP stop forced", ZRKIPStopKZP, {"10.0.0.5", "BOXA1", 4, "BOXA1", 5}, 0x2, 37},
        {"VZ stop of tracking", ZRKIPStopVZ, {"10.0.0.5", "BOXA1", 1, "BOXA1", 2}, 0x4000, 37},
        {"VZ stop of virtual volumes", ZRKIPStopVZ, {"id", "", 1, "", 0}, 0x1000000, 37},
        {"identifier above 16 bits", ZRKIPStopKZP, {"id", "", 0x10000, "", 0}, 0, 55},
        {"identifier above 16 bits", ZRKIPStopSnapKZP_p, {"id", "", 0x12345, "", 0}, 0, 55},
        {"KZP stop of a remote pair", ZRKIPStopKZP, remote, 0, 17},
        {"QuickKZP stop of a remote pair", ZRKIPStopQuickKZP, remote, 0x2, 17},
        {"SnapKZP stop of a remote pair", ZRKIPStopSnapKZP, remote, 0, 17},
        {"SnapKZP+ stop of a remote pair", ZRKIPStopSnapKZP_p, remote, 0, 17},
        {"monitor stop with a destination",
         ZRKIPStopSnapKZP,
         {"10.0.0.5", "BOXA1", 12, "BOXA1", 13},
         0x8000,
         5},
        {"monitor stop with a destination volume",
         ZRKIPStopSnapKZP_p,
         {"10.0.0.5", "BOXA1", 12, "-", 13},
         0x8000,
         7},
        {"RVZ stop without RVZ", ZRKIPStopVZ, {"10.0.0.31", "BOXD1", 1, "BOXB1", 1}, 0, 17},
        {"QuickKZP stop without QuickKZP",
         ZRKIPStopQuickKZP,
         {"10.0.0.32", "BOXD2", 1, "BOXD2", 2},
         0x2,
         17},
        {"SnapKZP stop without SnapKZP",
         ZRKIPStopSnapKZP,
         {"10.0.0.33", "BOXD3", 1, "BOXD3", 2},
         0,
         17},
        {"SnapKZP+ stop without SnapKZP+",
         ZRKIPStopSnapKZP_p,
         {"10.0.0.34", "BOXD4", 1, "BOXD4", 2},
         0,
         17},
        {"monitor stop without SnapKZP+",
         ZRKIPStopSnapKZP_p,
         {"10.0.0.34", "BOXD4", 1, "-", kNone},
         0x8000,
         17},
        {"virtual-volume stop without them",
         ZRKIPStopKZP,
         {"10.0.0.35", "BOXD5", 1, "BOXD5", 2},
         0x1000000,
         17},
        {"KZP stop without KZP", ZRKIPStopKZP, {"10.0.0.36", "BOXD6", 1, "BOXD6", 2}, 0, 17},
        {"SnapKZP stop without KZP",
         ZRKIPStopSnapKZP,
         {"10.0.0.36", "BOXD6", 1, "BOXD6", 2},
         0,
         17},
        {"VZ stop without VZ", ZRKIPStopVZ, {"10.0.0.37", "BOXD7", 1, "BOXD7", 2}, 0, 17},
    };
    const std::vector<std::string> before = sim.sessions();
    for (const Case &c : cases) {
        const int ret = std::string(c.pair.ip) == "id"
                            ? ById(c.fn, "10.0.0.5", c.pair.srcOlu, c.option)
                            : ByPair(c.fn, c.pair, c.option);
        EXPECT_EQ(-1, ret) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        const std::vector<std::string> sent = SessionCommands();
        EXPECT_TRUE(sent.empty()) << c.what << ": " << sent.front();
    }
    EXPECT_EQ(before, sim.sessions());
}

// A copy monitor is a point-in-time session: an array without mirrors finds
// and stops it by its pair.
TEST_F(IpStopSim, MonitorOnAnArrayWithoutMirrors) {
    EXPECT_EQ(0, ByPair(ZRKIPStopSnapKZP_p, {"10.0.0.38", "BOXP1", 1, "-", kNone}, 0x8000))
        << ZRKerrno;
    EXPECT_EQ((std::vector<std::string>{"show copy-sessions -volume-number 1 -mode 128",
                                        "stop copy-session -session-id 9   "}),
              SessionCommands());
    EXPECT_TRUE(sim.sessions("P1").empty());
}

TEST_F(IpStopSim, CallsAreTraced) {
    EXPECT_EQ(0, ByPair(ZRKIPStopQuickKZP, Pair{"10.0.0.5", "BOXA1", 6, "BOXA1", 7}, 0x2))
        << ZRKerrno;
    EXPECT_EQ(-1, ById(ZRKIPStopSnapKZP, "10.0.0.5", 5, 0x8000));
    const std::string trace = root.traceText();
    for (const char *line : {
             "ZRKIPStopQuickKZP : IPaddress=10.0.0.5, CopyInterval=255, OptionFlag=0x00000002",
             "IPStopQuickTvc : START",
             "IPStopQuickTvc : IPaddress=10.0.0.5, OptionFlag=0x02",
             "IPStopQuickTvc : END(ret=0, ZRKerrno=0)",
             "ZRKIPStopQuickKZP : END(ret=0, ZRKerrno=0)",
             "ZRKIPStopSnapKZP : IPaddress=10.0.0.5, CopyInterval=255, OptionFlag=0x8004",
             "IPStopSnapTvc : END(ret=-1, ZRKerrno=21)",
             "ZRKIPStopSnapKZP : END(ret=-1, ZRKerrno=21)",
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

TEST_F(IpStopSim, RootOnly) {
    const zrktest::ChildResult child = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 99;
        int failures = 0;
        for (Fn fn :
             {ZRKIPStopVZ, ZRKIPStopKZP, ZRKIPStopQuickKZP, ZRKIPStopSnapKZP, ZRKIPStopSnapKZP_p}) {
            if (ById(fn, "10.0.0.5", 1, 0) != -1 || ZRKerrno != 34) ++failures;
        }
        return failures;
    });
    EXPECT_EQ(0, child.exitCode) << child.err;
    EXPECT_TRUE(SessionCommands().empty());
    EXPECT_FALSE(SessionLine("A1", 1).empty());
}

}  // namespace
