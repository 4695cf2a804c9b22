// The array's sessions: declared by the scenario, reserved and started by the
// copy commands, listed across pages, changed by the control interface, and
// the hostile-reply switch.
#include "travo_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace simtest;
using zrksim::Simulator;

namespace {

const char *const kTwoArrays = R"(
clock 1000
array A1 boxid="BOX-A1"
volume A1 5 2097152
volume A1 6 2097152
array B1 boxid="BOX-B1"
volume B1 9 2097152
disk /dev/sdb 8:16 A1 5
disk /dev/sdc 8:32 B1 9
)";

bool has(const std::vector<std::string> &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A session line whose options after `copied` have their defaults.
std::string sessionText(const std::string &head) {
    return "session " + head +
           " mode=none transfer=0 secondary=0 modechange=0 interval=0 start=1000 volrole=1 generation=0 vvol=no"
           " diff=0 stacktimer=0 tracking=yes vvoldelete=no";
}

unsigned reserve(const std::string &path) {
    Bytes r = delivered(sg(path, travoInLarge(0x00, 1, 16, 2), 16));
    return static_cast<unsigned>(Be(r, 8, 2));
}

// A start list of the page-based engine (192 bytes).
Bytes startList(unsigned id, unsigned src, unsigned dst) {
    Bytes l(192, 0);
    l[0] = 0x44;
    l[7] = 0xB8;
    l[8] = static_cast<unsigned char>(id >> 8);
    l[9] = static_cast<unsigned char>(id);
    l[12] = 2;
    l[20] = 0x80;
    l[131] = static_cast<unsigned char>(src);
    l[135] = static_cast<unsigned char>(dst);
    return l;
}

Bytes stopList(unsigned id) {
    Bytes l(192, 0);
    l[0] = 0x45;
    l[7] = 0xB8;
    l[9] = static_cast<unsigned char>(id);
    l[12] = 2;
    return l;
}

}  // namespace

TEST(SimSessions, StartAndStopListsActOnReservedIdentifiers) {
    Simulator sim(kTwoArrays);
    // A local VZ session with an extent and a copy interval.
    unsigned id = reserve("/dev/sdb");
    ASSERT_EQ(id, 1u);
    Bytes local = startList(id, 5, 6);
    local[20] = 0;
    local[137] = 1;
    local[139] = 7;
    local[167] = 100;
    local[175] = 50;
    local[183] = 200;
    expectGood(sendOut("/dev/sdb", travoOut(192, true), local));
    EXPECT_EQ(sim.sessions(),
              (std::vector<std::string>{"session 1 vz A1 5 A1 6 partner=0 srcext=100 size=50 dstext=200 status=2 "
                                        "phase=1 copied=0 mode=none transfer=0 secondary=0 modechange=0 interval=7 "
                                        "start=1000 volrole=1 generation=0 vvol=no diff=0 stacktimer=0 "
                                        "tracking=yes vvoldelete=no"}));
    // A started identifier is not reserved any more.
    expectRefused(sendOut("/dev/sdb", travoOut(192, true), local), 0x26);

    // A remote session started from the destination array: the reserved
    // identifier there goes into bytes 10-11, the source array gives its own.
    unsigned onB = reserve("/dev/sdc");
    Bytes remote = startList(0, 5, 9);
    remote[10] = static_cast<unsigned char>(onB >> 8);
    remote[11] = static_cast<unsigned char>(onB);
    remote[20] = 0xA0;
    remote[22] = 0x10;
    for (std::size_t i = 0; i < 40; ++i) {
        remote[32 + i] = static_cast<unsigned char>(i < 6 ? "BOX-A1"[i] : ' ');
        remote[80 + i] = static_cast<unsigned char>(i < 6 ? "BOX-B1"[i] : ' ');
    }
    expectGood(sendOut("/dev/sdc", travoOut(192, true), remote));
    EXPECT_TRUE(has(sim.sessions("B1"), sessionText("2 vz A1 5 B1 9 partner=1 srcext=0 size=0 dstext=0 status=2 phase=1 copied=0")));
    EXPECT_EQ(hexAt(delivered(sg("/dev/sdb", travoInLarge(0x44, 2, 192), 192)), 8, 4), "0002" "0001");

    // A stop ends the session on both arrays; an unknown identifier is refused.
    expectGood(sendOut("/dev/sdb", travoOut(192, true), stopList(2)));
    EXPECT_EQ(sim.sessions("B1").size(), 0u);
    expectRefused(sendOut("/dev/sdb", travoOut(192, true), stopList(9)), 0x26);
    // The roll-back of a reserve.
    unsigned spare = reserve("/dev/sdb");
    expectGood(sendOut("/dev/sdb", travoOut(192, true), stopList(spare)));
    EXPECT_EQ(sim.sessions().size(), 1u);
}

TEST(SimSessions, StartListsThatDoNotFitAreRefused) {
    Simulator sim(kTwoArrays);
    unsigned id = reserve("/dev/sdb");
    struct Case {
        const char *what;
        std::size_t at;
        unsigned char value;
    } cases[] = {
        {"source volume missing", 131, 7},
        {"other family than reserved", 12, 1},
        {"unknown copy kind", 12, 9},
        {"remote without known BoxIDs", 20, 0x20},
        {"destination side of a local session", 22, 0x10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes list = startList(id, 5, 6);
        list[c.at] = c.value;
        expectRefused(sendOut("/dev/sdb", travoOut(192, true), list), 0x26);
    }
    Bytes shortList = startList(id, 5, 6);
    shortList.resize(100);
    expectRefused(sendOut("/dev/sdb", travoOut(100, true), shortList), 0x26);
    EXPECT_TRUE(has(sim.sessions(), sessionText("1 vz A1 0 A1 0 partner=0 srcext=0 size=0 dstext=0 status=1 phase=0 copied=0")));
}

TEST(SimSessions, ListsBeyondOnePage) {
    Simulator sim(R"(
array P1 boxid="BOX-P1"
volume P1 1 1000
volume P1 2 1000
array C1 boxid="BOX-C1" profile=idlist
volume C1 1 1000
volume C1 2 1000
disk /dev/sdb 8:16 P1 1
disk /dev/sdc 8:32 C1 1
session 1 vz P1 1 P1 2 count=300
session 1 vz C1 1 C1 2 count=300 status=suspend
)");
    // Detail list: 256 entries, then the rest from the identifier named.
    Bytes first = delivered(sg("/dev/sdb", travoInShort(0x43, 0, 40976), 40976));
    ASSERT_EQ(first.size(), 40976u);
    EXPECT_EQ(hexAt(first, 10, 4), "0100" "0101");
    EXPECT_EQ(Be(first, 16, 2), 1u);
    EXPECT_EQ(Be(first, 16 + 255 * 160, 2), 256u);
    Bytes second = delivered(sg("/dev/sdb", travoInShort(0x43, 257, 40976), 40976));
    ASSERT_EQ(second.size(), 16u + 44 * 160);
    EXPECT_EQ(hexAt(second, 10, 4), "002c" "0000");
    EXPECT_EQ(Be(second, 16, 2), 257u);
    EXPECT_EQ(Be(second, 16 + 43 * 160, 2), 300u);
    // Identifier lists: 32-bit length in the large form, 16 bits in the short.
    Bytes paged = delivered(sg("/dev/sdb", travoInLarge(0x19, 0, 32784), 32784));
    EXPECT_EQ(hexAt(paged, 4, 4), u32(8 + 300 * 16));
    EXPECT_EQ(Be(paged, 16 + 299 * 16, 2), 300u);
    Bytes classic = delivered(sg("/dev/sdc", travoInShort(0x09, 0, 32784), 32784));
    EXPECT_EQ(hexAt(classic, 4, 4), "0000" + u16(8 + 300 * 8));
    EXPECT_EQ(hexAt(classic, 16 + 299 * 8, 8), "012c" "24" "01" "0001" "0002");
}

TEST(SimSessions, ControlCommandsChangeSessions) {
    Simulator sim(kTwoArrays);
    sim.advanceClock(500);
    sim.addSession("4 rvz A1 5 B1 9 partner=8 phase=copying");
    EXPECT_EQ(sim.sessions("B1"),
              (std::vector<std::string>{"session 4 vz A1 5 B1 9 partner=8 srcext=0 size=0 dstext=0 status=2 phase=1 "
                                        "copied=0 mode=none transfer=0 secondary=0 modechange=0 interval=0 "
                                        "start=1500 volrole=1 generation=0 vvol=no diff=0 stacktimer=0 "
                                        "tracking=yes vvoldelete=no"}));
    sim.setSession("B1", 8, "status=suspend copied=77 mode=sync,split");
    Bytes detail = delivered(sg("/dev/sdc", travoInLarge(0x44, 8, 192), 192));
    EXPECT_EQ(hexAt(detail, 8 + 14, 6), "16" "00" "00" "01" "01" "04");
    EXPECT_EQ(Be(detail, 8 + 136, 8), 77u);
    sim.endSession("A1", 4);
    EXPECT_TRUE(sim.sessions().empty());

    struct Bad {
        const char *line;
    } bad[] = {
        {"session 1 vz A1 5 A1 6 colour=red"},
        {"session 1 rvz A1 5 A1 6"},
        {"setsession A1 2 status=4"},
        {"endsession Z9 1"},
        {"corrupt 0x43 10"},
        {"corrupt 0x43 10 abc"},
        {"role A1"},
        {"role A1 1 olu=77"},
        {"setarray A1 colour=red"},
        {"setarray A1 rate=-1"},
        {"setarray Z9 rate=1"},
        {"setarray A1"},
    };
    sim.addSession("1 vz A1 5 A1 6");
    for (const Bad &b : bad) {
        SCOPED_TRACE(b.line);
        EXPECT_FALSE(sim.command(b.line).ok);
    }
    EXPECT_FALSE(sim.command("setsession A1 1 copied=x").ok);
    EXPECT_FALSE(sim.command("setsession A1 1 srcext=5").ok);
}

TEST(SimSessions, RoleChangesBetweenCalls) {
    Simulator sim(R"(
array A1 boxid="BOX-A1" partner=B1 role=1 group=3
volume A1 5 1000
volume A1 6 1000
array B1 boxid="BOX-B1" role=2 group=3
volume B1 5 1000
disk /dev/sdb 8:16 A1 5
disk /dev/sdc 8:32 A1 6
)");
    EXPECT_EQ(sg("/dev/sdb", inquiry(0xF2, 96), 96).data[88], 1);
    sim.setRole("A1", 2, 4);
    SgResult f2 = sg("/dev/sdb", inquiry(0xF2, 96), 96);
    EXPECT_EQ(f2.data[88], 2);
    EXPECT_EQ(f2.data[89], 4);
    sim.setRole("A1", 0, -1, 6);
    EXPECT_EQ(sg("/dev/sdc", inquiry(0xF2, 96), 96).data[88], 0);
    EXPECT_EQ(sg("/dev/sdb", inquiry(0xF2, 96), 96).data[88], 2);
}

TEST(SimSessions, CorruptPatchesTheNextReplies) {
    Simulator sim(R"(
array A1 boxid="BOX-A1"
volume A1 1 1000
volume A1 2 1000
array B1 boxid="BOX-B1"
volume B1 1 1000
volume B1 2 1000
disk /dev/sdb 8:16 A1 1
disk /dev/sdc 8:32 B1 1
session 1 vz A1 1 A1 2
session 1 vz B1 1 B1 2
)");
    auto page = [](const std::string &path) {
        return hexAt(delivered(sg(path, travoInShort(0x43, 0, 40976), 40976)), 10, 4);
    };
    sim.corrupt(0x43, 10, "0401");
    EXPECT_EQ(page("/dev/sdb"), "0401" "0000");
    EXPECT_EQ(page("/dev/sdb"), "0001" "0000");

    // Only B1's replies, after one, for two.
    sim.corrupt(0x43, 12, "0001", 2, 1, "B1");
    EXPECT_EQ(sim.faults().size(), 1u);
    EXPECT_EQ(page("/dev/sdb"), "0001" "0000");
    EXPECT_EQ(page("/dev/sdc"), "0001" "0000");
    EXPECT_EQ(page("/dev/sdc"), "0001" "0001");
    EXPECT_EQ(page("/dev/sdc"), "0001" "0001");
    EXPECT_EQ(page("/dev/sdc"), "0001" "0000");
    EXPECT_TRUE(sim.faults().empty());

    // A patch beyond the page grows the reply; the allocation still cuts it.
    sim.corrupt(0x19, 60, "ff", 2);
    EXPECT_EQ(delivered(sg("/dev/sdb", travoInLarge(0x19, 0, 100), 100)).size(), 61u);
    EXPECT_EQ(delivered(sg("/dev/sdb", travoInLarge(0x19, 0, 40), 40)).size(), 40u);
    sim.corrupt(0x19, 4, "00100000", 3);
    sim.clearFaults();
    EXPECT_EQ(hexAt(delivered(sg("/dev/sdb", travoInLarge(0x19, 0, 100), 100)), 4, 4), u32(24));
}

TEST(SimSessions, BadSessionLinesNameTheirLine) {
    const std::string head = "array A1 boxid=A\nvolume A1 1 10\nvolume A1 2 10\narray B1 boxid=B\nvolume B1 1 10\n";
    struct Case {
        const char *line;
        const char *message;
    } cases[] = {
        {"session 1 copy A1 1 A1 2", "unknown session kind"},
        {"session 0 vz A1 1 A1 2", "identifier 0"},
        {"session 1 rvz A1 1 A1 2", "join two arrays"},
        {"session 1 vz A1 1 A1 3", "has no volume 3"},
        {"session 1 monitor A1 1 B1 -", "names its source array twice"},
        {"session 1 vz A1 1 A1 -", "only a monitor"},
        {"session 1 vz A1 1 A1 2 partner=4", "remote sessions"},
        {"session 1 vz A1 1 B1 1 partner=65535 count=2", "partner leaves"},
        {"session 1 vz A1 1 A1 2\nsession 1 kzp A1 2 A1 1", "has session 1 already"},
        {"session 1 vz A1 1 A1 2 status=lost", "bad status"},
        {"session 1 vz A1 1 A1 2 mode=fast", "mode must list"},
        {"array C1 boxid=C profile=new", "profile must be"},
        {"array C1 boxid=C support=0102", "exactly 32 bytes"},
        {"array C1 boxid=C partner=Z9", "unknown partner"},
        {"array C1 boxid=C maxsessions=1,2,3", "four counts"},
        {"rvzbuffer A1 1 cms=1,2\nrvzbuffer A1 1", "declared twice"},
        {"session 1 quickkzp A1 1 A1 2 tracking=maybe", "must be yes or no"},
        {"session 1 vz A1 1 A1 2 stacktimer=256", "out of range"},
        {"array C1 boxid=C rate=fast", "bad rate"},
        {"array C1 boxid=C reservetime=0x100000000", "out of range"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        std::string message = zrksim::checkScenario(head + c.line + "\n");
        std::string line = ":" + std::to_string(6 + std::count(c.line, c.line + std::strlen(c.line), '\n')) + ": ";
        EXPECT_NE(message.find(line), std::string::npos) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}
