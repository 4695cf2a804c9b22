// The concurrent VZ suspend over the LAN against the simulator's LAN front:
// local and remote pairs suspended by one command (from either side of a
// remote copy), the output slots, and every refusal that leaves the
// sessions as they were because no suspend command is sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "child.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "sim_client.h"
#include "zrkapi.h"

namespace {

// A1 and B1 have every function; C1 lacks the VZ concurrent suspend, D1
// the untransferred-data suspend; E1 takes two sessions a suspend, F1 a
// thousand.
std::string Scenario() {
    std::string s =
        "array A1 boxid=\"BOXA1\" address=10.0.0.5\n"
        "array B1 boxid=\"BOXB1\" address=10.0.0.6\n"
        "array C1 boxid=\"BOXC1\" address=10.0.0.21 support=" + iptest::SupportHex({{21, 0x0B}}) +
        "\narray D1 boxid=\"BOXD1\" address=10.0.0.22 support=" + iptest::SupportHex({{29, 0x7F}}) +
        "\narray E1 boxid=\"BOXE1\" address=10.0.0.23 percommand=2\n"
        "array F1 boxid=\"BOXF1\" address=10.0.0.24 percommand=1000\n"
        "user admin secret\n";
    for (const char *array : {"A1", "B1", "C1", "D1", "E1", "F1"}) {
        for (int olu = 1; olu <= 12; ++olu) {
            s += "volume " + std::string(array) + " " + std::to_string(olu) + " 4096\n";
        }
    }
    s += "session 1 vz A1 1 A1 2\n"
         "session 2 vz A1 3 A1 4\n"
         "session 3 rvz A1 5 B1 5 partner=7\n"
         "session 4 rvz A1 6 B1 6 partner=8\n"
         "session 5 vz A1 7 A1 8 status=suspend\n"
         "session 6 vz A1 9 A1 10 srcext=16 size=32 dstext=64\n"
         "session 1 vz B1 1 B1 2\n"
         "session 1 vz C1 1 C1 2\n"
         "session 1 rvz D1 1 B1 11\n"
         "session 1 vz E1 1 E1 2\nsession 2 vz E1 3 E1 4\nsession 3 vz E1 5 E1 6\n"
         "session 1 vz F1 1 F1 2\n";
    return s;
}

struct Pair {
    const char *src;
    uint32_t srcOlu;
    const char *dst;
    uint32_t dstOlu;
    uint32_t srcExt = 0, size = 0, dstExt = 0;
};

CONC_SUS_PAIR_LV Entry(const Pair &p) {
    CONC_SUS_PAIR_LV e{};
    const std::string src = iptest::PaddedBox(p.src), dst = iptest::PaddedBox(p.dst);
    std::memcpy(e.SrcBoxID, src.data(), ZRK_BOXID_LEN);
    std::memcpy(e.DstBoxID, dst.data(), ZRK_BOXID_LEN);
    e.SrcOlu = p.srcOlu;
    e.DstOlu = p.dstOlu;
    e.SrcExtent_low = p.srcExt;
    e.SrcSize_low = p.size;
    e.DstExtent_low = p.dstExt;
    return e;
}

class IpMultiSuspendSim : public iptest::LanSimTest {
protected:
    IpMultiSuspendSim()
        : LanSimTest(Scenario(),
                     {"10.0.0.5", "10.0.0.6", "10.0.0.21", "10.0.0.22", "10.0.0.23", "10.0.0.24"}) {}

    int Suspend(const char *ip, const std::vector<Pair> &pairs, uint32_t option,
                std::vector<uint32_t> *result, unsigned char *sense = nullptr) {
        std::vector<CONC_SUS_PAIR_LV> entries;
        for (const Pair &p : pairs) entries.push_back(Entry(p));
        result->assign(pairs.size() + 1, 0xA5A5A5A5u);  // one guard slot
        ZRKerrno = 0;
        return ZRKIPMultiSuspendVZ(ip, nullptr, entries.data(), static_cast<int>(entries.size()),
                                   option, result->data(), sense);
    }
    // The suspend commands the arrays received since the last call.
    std::vector<std::string> Suspends() const {
        std::vector<std::string> out;
        for (const std::string &c : iptest::LanSessionCommands(sim)) {
            if (c.rfind("suspend ", 0) == 0) out.push_back(c);
        }
        return out;
    }
    std::string Status(const std::string &array, unsigned id) const {
        const std::string head = "session " + std::to_string(id) + " ";
        for (const std::string &line : sim.sessions(array)) {
            if (line.rfind(head, 0) != 0) continue;
            const size_t at = line.find(" status=");
            return line.substr(at + 8, line.find(' ', at + 8) - at - 8);
        }
        return {};
    }
};

// The slot of a session identifier: its low 16 bits big-endian, then 0.
uint32_t Slot(unsigned id) {
    uint32_t slot = 0;
    const unsigned char bytes[4] = {static_cast<unsigned char>(id >> 8),
                                    static_cast<unsigned char>(id), 0, 0};
    std::memcpy(&slot, bytes, 4);
    return slot;
}

TEST_F(IpMultiSuspendSim, PairsSuspendedByOneCommand) {
    struct Case {
        const char *what;
        const char *ip;
        std::vector<Pair> pairs;
        uint32_t option;
        std::string command;
        std::vector<unsigned> ids;  // on the array that suspends
        const char *array;
    } cases[] = {
        {"local pairs, one with extents", "10.0.0.5",
         {{"BOXA1", 1, "BOXA1", 2}, {"BOXA1", 9, "BOXA1", 10, 16, 32, 64}}, 0,
         "suspend copy-vz -session-id 1,6 -mode concurrent ", {1, 6}, "A1"},
        {"remote pairs from the source side, untransferred data", "10.0.0.5",
         {{"BOXA1", 5, "BOXB1", 5}, {"BOXA1", 6, "BOXB1", 6}}, ZRK_OPT_UNTRANSFERRED,
         "suspend copy-rvz -session-id 3,4 -mode concurrent -untrans enable ", {3, 4}, "A1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint32_t> result;
        ASSERT_EQ(0, Suspend(c.ip, c.pairs, c.option, &result)) << ZRKerrno;
        EXPECT_EQ(std::vector<std::string>{c.command}, Suspends());
        for (size_t i = 0; i < c.ids.size(); ++i) {
            EXPECT_EQ(Slot(c.ids[i]), result[i]) << i;
            EXPECT_EQ("4", Status(c.array, c.ids[i]));
        }
        EXPECT_EQ(0xA5A5A5A5u, result[c.ids.size()]);
    }
}

// From the destination side the array knows the session by its partner
// identifier; the session list is read once.
TEST_F(IpMultiSuspendSim, RemotePairFromTheDestinationSide) {
    std::vector<uint32_t> result;
    ASSERT_EQ(0, Suspend("10.0.0.6", {{"BOXA1", 5, "BOXB1", 5}, {"BOXA1", 6, "BOXB1", 6}}, 0,
                         &result))
        << ZRKerrno;
    std::vector<std::string> sent = iptest::LanSessionCommands(sim);
    EXPECT_EQ(1, std::count_if(sent.begin(), sent.end(), [](const std::string &c) {
                  return c.rfind("show copy-sessions", 0) == 0;
              }));
    EXPECT_EQ("suspend copy-rvz -session-id 7,8 -mode concurrent  ", sent.back());
    EXPECT_EQ(Slot(7), result[0]);
    EXPECT_EQ(Slot(8), result[1]);
    EXPECT_EQ("4", Status("A1", 3));
}

TEST_F(IpMultiSuspendSim, RefusalsSendNoSuspend) {
    const Pair local1{"BOXA1", 1, "BOXA1", 2}, local2{"BOXA1", 3, "BOXA1", 4};
    const Pair remote{"BOXA1", 5, "BOXB1", 5}, remote2{"BOXA1", 6, "BOXB1", 6};
    struct Case {
        const char *what;
        const char *ip;
        std::vector<Pair> pairs;
        uint32_t option;
        int error;
    } cases[] = {
        {"a session already suspended", "10.0.0.5", {local1, {"BOXA1", 7, "BOXA1", 8}}, 0, 39},
        {"a pair without a session", "10.0.0.5", {local1, {"BOXA1", 11, "BOXA1", 12}}, 0, 21},
        {"more pairs than the array takes", "10.0.0.23",
         {{"BOXE1", 1, "BOXE1", 2}, {"BOXE1", 3, "BOXE1", 4}, {"BOXE1", 5, "BOXE1", 6}}, 0, 84},
        {"local first, a remote third", "10.0.0.5", {local1, local2, remote}, 0, 911},
        {"source side first, then a local pair", "10.0.0.5", {remote, remote2, local1}, 0, 912},
        {"destination side first, then a local pair", "10.0.0.6",
         {remote, {"BOXB1", 1, "BOXB1", 2}}, 0, 913},
        {"untransferred data of a local pair", "10.0.0.5", {local1, local2},
         ZRK_OPT_UNTRANSFERRED, 37},
        {"an option outside the mask", "10.0.0.5", {local1}, ZRK_OPT_FORCE, 37},
        {"no VZ concurrent suspend", "10.0.0.21", {{"BOXC1", 1, "BOXC1", 2}}, 0, 17},
        {"no untransferred-data suspend", "10.0.0.22", {{"BOXD1", 1, "BOXB1", 11}},
         ZRK_OPT_UNTRANSFERRED, 17},
        {"a pair of another array", "10.0.0.5", {{"BOXB1", 1, "BOXB1", 2}}, 0, 33},
        {"the same volume whole", "10.0.0.5", {{"BOXA1", 1, "BOXA1", 1}}, 0, 48},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        std::vector<uint32_t> result;
        EXPECT_EQ(-1, Suspend(c.ip, c.pairs, c.option, &result, sense));
        EXPECT_EQ(c.error, ZRKerrno);
        EXPECT_TRUE(Suspends().empty());
        EXPECT_TRUE(std::all_of(result.begin(), result.end(),
                                [](uint32_t v) { return v == 0xA5A5A5A5u; }));
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'),
                  std::string(reinterpret_cast<char *>(sense), sizeof sense));
    }
    EXPECT_EQ("2", Status("A1", 1));
    EXPECT_EQ("2", Status("A1", 3));
}

// The count: never 846, whatever the array takes; 845 passes the count
// check, and two entries of one session name it twice (the array refuses
// that list).
TEST_F(IpMultiSuspendSim, CountLimits) {
    std::vector<uint32_t> result;
    const Pair one{"BOXF1", 1, "BOXF1", 2};
    EXPECT_EQ(-1, Suspend("10.0.0.24", std::vector<Pair>(846, one), 0, &result));
    EXPECT_EQ(84, ZRKerrno);
    EXPECT_TRUE(Suspends().empty());
    EXPECT_EQ(-1, Suspend("10.0.0.24", std::vector<Pair>(845, one), 0, &result));
    EXPECT_EQ(0x15300, ZRKerrno);
    const std::vector<std::string> sent = Suspends();
    ASSERT_EQ(1u, sent.size());
    std::string list = "1";
    for (int i = 1; i < 845; ++i) list += ",1";
    EXPECT_EQ("suspend copy-vz -session-id " + list + " -mode concurrent ", sent[0]);

    for (int count : {0, -1}) {
        std::vector<CONC_SUS_PAIR_LV> entries(1, Entry(one));
        uint32_t slot = 0;
        EXPECT_EQ(-1, ZRKIPMultiSuspendVZ("10.0.0.24", nullptr, entries.data(), count, 0, &slot,
                                          nullptr));
        EXPECT_EQ(13, ZRKerrno);
    }
    uint32_t slot = 0;
    EXPECT_EQ(-1, ZRKIPMultiSuspendVZ("10.0.0.24", nullptr, nullptr, 1, 0, &slot, nullptr));
    EXPECT_EQ(13, ZRKerrno);
    const CONC_SUS_PAIR_LV entry = Entry(one);
    EXPECT_EQ(-1, ZRKIPMultiSuspendVZ("10.0.0.24", nullptr, &entry, 1, 0, nullptr, nullptr));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_TRUE(iptest::LanSessionCommands(sim).empty());
}

TEST_F(IpMultiSuspendSim, TraceLinesAndRootOnly) {
    std::vector<uint32_t> result;
    ASSERT_EQ(0, Suspend("10.0.0.5", {{"BOXA1", 1, "BOXA1", 2}}, 0, &result)) << ZRKerrno;
    const std::string trace = root.traceText();
    for (const char *line : {
             "INFO : ZRKIPMultiSuspendVZ : IPaddress=10.0.0.5, SessionCnt=1, OptionFlag=0x00",
             "INFO : IPMultiSuspendTvc : IPaddress=10.0.0.5, SessionCnt=0x01, OptionFlag=0x00",
             "INFO : IPMultiSuspendTvc : END(ret=0, ZRKerrno=0)",
             "INFO : ZRKIPMultiSuspendVZ : END(ret=0, ZRKerrno=0)",
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
    iptest::LanSessionCommands(sim);
    const zrktest::ChildResult child = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 99;
        const CONC_SUS_PAIR_LV entry = Entry({"BOXA1", 3, "BOXA1", 4});
        uint32_t slot = 0;
        return ZRKIPMultiSuspendVZ("10.0.0.5", nullptr, &entry, 1, 0, &slot, nullptr) == -1 &&
                       ZRKerrno == 34
                   ? 0
                   : 1;
    });
    EXPECT_EQ(0, child.exitCode) << child.err;
    EXPECT_TRUE(iptest::LanSessionCommands(sim).empty());
    EXPECT_EQ("2", Status("A1", 2));
}

}  // namespace
