// The failover groups of a storage cluster over the LAN front: "show
// tfo-groups" and "show tfo-pair" answered from the volumes' roles and
// groups and from the failover sessions, from either array of the cluster.
#include "lan_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lantest;

namespace {

// The clock stands at 15 June 2024, 12:30:45. P and S form a storage
// cluster: group 3 pairs P:5 with S:7, group 4 P:6 with S:8; P:9 is outside
// the cluster. N has no failover; E announces failover but has no group.
const char *const kCluster = R"(
clock 1718454645
array P boxid="BOX-P" address=10.0.0.5 partner=S role=1 group=3
array S boxid="BOX-S" address=10.0.0.6 partner=P role=2 group=3
array N boxid="BOX-N" address=10.0.0.7
array E boxid="BOX-E" address=10.0.0.8 failover=yes
volume P 5 2097152
volume P 6 2097152 group=4
volume P 9 2097152 role=0
volume S 7 2097152
volume S 8 2097152 group=4
session 1 failover P 6 S 8 partner=2 copied=1048576 start=1718454600
session 3 failover P 5 S 7 partner=5 status=errorsuspend
session 10 failover P 5 S 7 partner=11 status=reserve
user admin secret
)";

const std::string kBoxP = "BOX-P" + std::string(35, ' ');
const std::string kBoxS = "BOX-S" + std::string(35, ' ');

struct Cluster : LoggedInLan {
    Cluster() : LoggedInLan(kCluster, {"10.0.0.5", "10.0.0.6", "10.0.0.7", "10.0.0.8"}) {}
};

std::string failure(const char *code) { return std::string("01\n") + code + "\n"; }

TEST(SimCliFailover, Groups) {
    Cluster lan;
    struct Case {
        const char *host;
        const char *command;
        std::string expected;
    };
    const std::string primary3 = rec({"3", "0", "1", kBoxS, "1", "1", "0", "0", "0"}) + "1\n5\n";
    const std::string primary4 = rec({"4", "0", "1", kBoxS, "1", "1", "0", "0", "0"}) + "1\n6\n";
    const std::string secondary3 = rec({"3", "0", "2", kBoxP, "0", "1", "0", "0", "0"}) + "1\n7\n";
    const std::string secondary4 = rec({"4", "0", "2", kBoxP, "0", "1", "0", "0", "0"}) + "1\n8\n";
    const std::vector<Case> cases = {
        // The library's text without the option ends in a blank.
        {"10.0.0.5", "show tfo-groups ", "00\n2\n" + primary3 + primary4},
        {"10.0.0.6", "show tfo-groups ", "00\n2\n" + secondary3 + secondary4},
        {"10.0.0.5", "show tfo-groups -tfog-number 4", "00\n1\n" + primary4},
        {"10.0.0.6", "show tfo-groups -tfog-number 3", "00\n1\n" + secondary3},
        // No such group, no group at all: the empty answer's code.
        {"10.0.0.5", "show tfo-groups -tfog-number 7", failure("9002")},
        {"10.0.0.8", "show tfo-groups ", failure("9002")},
        // No failover: the function is not set up.
        {"10.0.0.7", "show tfo-groups ", failure("5306")},
        {"10.0.0.5", "show tfo-groups -tfog-number 256", failure("0001")},
        {"10.0.0.5", "show tfo-groups -volume-number 5", failure("0001")},
    };
    for (const Case &c : cases) {
        const std::string reply = lan.run(c.command, c.host);
        // A failure is compared up to its code; its text is the array's.
        EXPECT_EQ(reply.substr(0, c.expected.size()), c.expected) << c.host << " " << c.command;
        if (c.expected.rfind("00\n", 0) == 0) {
            EXPECT_EQ(reply, c.expected) << c.command;
        }
    }
}

TEST(SimCliFailover, PairsFromEitherSide) {
    Cluster lan;
    // Group 3: the pair 5/7 with session 3 (error suspend) and the reserved
    // identifier 10 (no detail line); group 4: the pair 6/8 with session 1,
    // half copied, started 45 seconds ago.
    const std::string fromP =
        "00\n2\n"
        "3\n1\n" +
        rec({"5", "7"}) + "2\n" + "5\n1\n" +
        rec({"7", "3", "5", "0", "2", "3", "0", kBoxP, kBoxS, "1", "0", "0", "2024061512304500", "0"}) +
        "5\n0\n"
        "4\n1\n" +
        rec({"6", "8"}) + "1\n" + "6\n1\n" +
        rec({"8", "1", "2", "0", "2", "2", "2D", kBoxP, kBoxS, "0", "100000", "0", "2024061512300000", "32"});
    EXPECT_EQ(lan.run("show tfo-pair", "10.0.0.5"), fromP);
    // The secondary holds the destination side of every session.
    const std::string fromS =
        "00\n2\n"
        "3\n1\n" +
        rec({"7", "5"}) + "2\n" + "7\n1\n" +
        rec({"5", "3", "5", "10", "2", "3", "0", kBoxS, kBoxP, "1", "0", "0", "2024061512304500", "0"}) +
        "7\n0\n"
        "4\n1\n" +
        rec({"8", "6"}) + "1\n" + "8\n1\n" +
        rec({"6", "1", "2", "10", "2", "2", "2D", kBoxS, kBoxP, "0", "100000", "0", "2024061512300000", "32"});
    EXPECT_EQ(lan.run("show tfo-pair", "10.0.0.6"), fromS);
    EXPECT_EQ(lan.run("show tfo-pair", "10.0.0.8"), failure("9002") + "no failover group\n");
    EXPECT_EQ(lan.run("show tfo-pair", "10.0.0.7").substr(0, 8), failure("5306"));
    EXPECT_EQ(lan.run("show tfo-pair -tfog-number 3", "10.0.0.5").substr(0, 8), failure("0001"));
}

TEST(SimCliFailover, GroupsFollowTheRoleCommand) {
    Cluster lan;
    // The secondary taken out of the cluster has no group left.
    lan.sim.commandOk("role S 0");
    EXPECT_EQ(lan.run("show tfo-groups ", "10.0.0.6").substr(0, 8), failure("9002"));
    EXPECT_EQ(lan.run("show tfo-pair", "10.0.0.6").substr(0, 8), failure("9002"));
    // A primary again: active in its groups.
    lan.sim.commandOk("role S 1");
    EXPECT_EQ(lan.run("show tfo-groups -tfog-number 3", "10.0.0.6"),
              "00\n1\n" + rec({"3", "0", "1", kBoxP, "1", "1", "0", "0", "0"}) + "1\n7\n");
}

}  // namespace
