// The SnapKZP+ generations of a source volume and the pool sizes of a
// restore over the LAN front: "show snap-kzp-gen" (groups per source
// extent, oldest generation first, reserved identifiers and other kinds
// left out, nothing cut at the array's maximum) and "show
// snap-kzp-restore-size" (rows in rising identifier order, the free pool
// capacity next to what the restore takes), with their refusals.
#include "exec_helpers.h"
#include "lan_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace lantest;
using zrksim::Simulator;

namespace {

// B1 offers neither SnapKZP+ (byte 4 0x08) nor the restore size (0x10).
const char *const kScenario = R"(
array A1 boxid="BOX A1" address=10.0.0.5 generations=4 pool=1000000 poolused=1000 poolsize=yes
volume A1 1 100000
volume A1 2 8192 type=sdv
volume A1 3 8192 type=sdv
volume A1 4 8192 type=sdv
volume A1 5 8192 type=sdv
volume A1 6 50000
volume A1 7 8192 type=sdv
volume A1 8 8192 type=sdv
volume A1 9 100000
array B1 boxid="BOX B1" address=10.0.0.6 support=00000000070000F1000000000000000000000000004B00F100000000000000F1
volume B1 1 100000
session 1 snapkzp+ A1 1 A1 2 srcext=0 size=4096 copied=100 generation=2
session 2 snapkzp+ A1 1 A1 3 srcext=0 size=4096 copied=200 generation=1
session 3 snapkzp+ A1 1 A1 4 copied=300
session 4 snapkzp A1 1 A1 5 copied=40
session 5 snapkzp+ A1 6 A1 7 copied=50
session 6 snapkzp+ A1 1 A1 8 srcext=0 size=4096 status=reserve prepared=yes
user admin secret
)";

struct Lan : LoggedInLan {
    Lan() : LoggedInLan(kScenario, {"10.0.0.5", "10.0.0.6"}) {}
};

std::string hex(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llX", value);
    return text;
}

// A failure reply's code.
std::string failure(const std::string &code) { return "01\n" + code + "\n"; }

bool startsWith(const std::string &text, const std::string &head) { return text.rfind(head, 0) == 0; }

// A command to an array's address and the reply it must get: the whole
// reply, or the head of a failure.
struct ReplyCase {
    const char *what;
    std::string command;
    std::string host;
    std::string expected;
};

void expectReplies(Lan &lan, const std::vector<ReplyCase> &cases) {
    for (const ReplyCase &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string reply = lan.run(c.command, c.host);
        if (startsWith(c.expected, "01\n")) {
            EXPECT_TRUE(startsWith(reply, c.expected)) << reply;
        } else {
            EXPECT_EQ(reply, c.expected);
        }
    }
}

TEST(SimCliGenerations, GenerationGroups) {
    Lan lan;
    // Header: the maximum generation count, the generations of the volume.
    // The whole volume (0, 0) sorts before the extent 0 + 4096.
    const std::string volume1 = "00\n" + rec({"4", "3"}) + "2\n" + rec({"0", "0"}) + "1\n3\n" +
                                rec({"0", "1000"}) + "2\n2\n1\n";
    const std::vector<ReplyCase> cases = {
        {"generations of two extents, oldest first", "show snap-kzp-gen -volume-number 1", "10.0.0.5",
         volume1},
        {"one generation", "show snap-kzp-gen -volume-number 6", "10.0.0.5",
         "00\n" + rec({"4", "1"}) + "1\n" + rec({"0", "0"}) + "1\n5\n"},
        {"a volume without generations", "show snap-kzp-gen -volume-number 9", "10.0.0.5",
         "00\n" + rec({"4", "0"}) + "0\n"},
        {"no such volume", "show snap-kzp-gen -volume-number 99", "10.0.0.5", failure("5300")},
        {"no volume number", "show snap-kzp-gen", "10.0.0.5", failure("0001")},
        {"a foreign option", "show snap-kzp-gen -volume-number 1 -mode 1", "10.0.0.5", failure("0001")},
        {"an array without SnapKZP+", "show snap-kzp-gen -volume-number 1", "10.0.0.6", failure("5306")},
    };
    expectReplies(lan, cases);

    // More generations than the array's maximum are all listed.
    lan.sim.setArray("A1", "generations=1");
    EXPECT_EQ(lan.run("show snap-kzp-gen -volume-number 1"), "00\n" + rec({"1", "3"}) + volume1.substr(7));
}

TEST(SimCliGenerations, RestoreSizes) {
    Lan lan;
    // The pool: 1000000 blocks, 1000 used by hosts, 690 by the snapshots.
    const std::string free = hex(1000000 - 1000 - (100 + 200 + 300 + 40 + 50));
    const std::string row1 = rec({"1", free, hex(100), hex(300), hex(4096), "2"});
    const std::string row3 = rec({"3", free, hex(300), hex(300), hex(100000), "1"});
    const std::string row5 = rec({"5", free, hex(50), hex(50), hex(50000), "1"});
    const std::vector<ReplyCase> cases = {
        {"one session", "show snap-kzp-restore-size -session-id 1", "10.0.0.5", "00\n1\n" + row1},
        {"rising order whatever the list's", "show snap-kzp-restore-size -session-id 5,3,1", "10.0.0.5",
         "00\n3\n" + row1 + row3 + row5},
        {"a SnapKZP session, a reserved one and none have no row",
         "show snap-kzp-restore-size -session-id 4,6,99,0", "10.0.0.5", "00\n0\n"},
        {"an identifier twice counts once", "show snap-kzp-restore-size -session-id 3,3", "10.0.0.5",
         "00\n1\n" + row3},
        {"no list", "show snap-kzp-restore-size", "10.0.0.5", failure("0001")},
        {"not a number", "show snap-kzp-restore-size -session-id 1,x", "10.0.0.5", failure("0001")},
        {"an array without the query", "show snap-kzp-restore-size -session-id 1", "10.0.0.6",
         failure("5306")},
    };
    expectReplies(lan, cases);

    // The sizes follow the model: more saved blocks, less free pool.
    lan.sim.setSession("A1", 1, "copied=1100");
    const std::string less = hex(1000000 - 1000 - (1100 + 200 + 300 + 40 + 50));
    EXPECT_EQ(lan.run("show snap-kzp-restore-size -session-id 1"),
              "00\n1\n" + rec({"1", less, hex(1100), hex(1300), hex(4096), "2"}));
}

}  // namespace
