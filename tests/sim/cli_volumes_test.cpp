// The arrays' volumes over the LAN front: "show volumes", the snap data
// volumes and pool, the sessions of virtual volumes, what a start asks of
// its volumes, the initialisation of a snap data volume on the clock, and
// the records of identifiers without a session.
#include "exec_helpers.h"
#include "lan_helpers.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lantest;
using namespace simtest;
using zrksim::Simulator;

namespace {

// The clock stands at 15 June 2024, 12:30:45. Volume 3 holds 4096 of the
// 5000 blocks its snapshot saved; the other 904 are in the pool.
const char *const kScenario = R"(
clock 1718454645
array A1 boxid="BOX A1" address=10.0.0.5 remotes=B1 pool=1000000 poolused=1000 sdvinit=30 role=1 group=2
volume A1 1 100000 name=SRC role=0
volume A1 2 100000 name=PAIR group=3
volume A1 3 4096 name=SDV3 type=sdv
volume A1 4 8192 olustatus=1 sdvstatus=0x40000000
volume A1 5 100000 type=tpv role=0
volume A1 6 8192 type=sdv sdvstatus=0x20000000
volume A1 7 8192 type=sdv
volume A1 8 100000
volume A1 9 100000
volume A1 10 100000
array B1 boxid="BOX-B1" address=10.0.0.6 pool=0
volume B1 1 100000
volume B1 2 100000 type=sdv
volume B1 3 100000
session 1 snapkzp+ A1 1 A1 3 copied=5000
session 2 quickkzp A1 9 A1 10 vvol=yes copied=4096 start=1718454600
session 20 rvz A1 8 B1 1 partner=20
session 21 rvz A1 2 B1 3 partner=21 transfer=2
user admin secret
)";

struct Lan : LoggedInLan {
    Lan() : LoggedInLan(kScenario, {"10.0.0.5", "10.0.0.6"}) {}
};

// The error code of a failure reply, "ok" for success.
std::string code(const std::string &reply) {
    if (reply.rfind("00\n", 0) == 0) return "ok";
    if (reply.rfind("01\n", 0) != 0) return "not a reply: " + reply;
    return reply.substr(3, reply.find('\n', 3) - 3);
}

// A "show volumes" record: 25 columns.
std::string volume(const char *no, const char *name, const char *type, const char *blocks, const char *group) {
    std::vector<std::string> c(25, "0");
    c[0] = no;
    c[1] = name;
    c[3] = type;
    c[6] = "";
    c[7] = blocks;
    c[24] = group;
    return rec(c);
}

// Column 11 of the snap-data-volume record of `olu`: its state word.
std::string sdvStatus(const Lan &lan, unsigned olu) {
    std::string reply = lan.run("show snap-data-volume -volume-number " + std::to_string(olu));
    std::size_t last = reply.rfind('\t');
    if (reply.rfind("00\n1\n", 0) != 0 || last == std::string::npos) return "bad reply: " + reply;
    return reply.substr(last + 1, reply.size() - last - 2);
}

const std::string kVvolRow = rec({"2", "1", "2", "9", "0", "A", "0", "0", "2024", "06", "15", "12", "30", "00", "2D",
                                  "2", "31", "0", "0", "0", "0", "0", "0", "1", "4"});

TEST(SimCliVolumes, ShowReplies) {
    Lan lan;
    const std::string v1 = volume("1", "SRC", "1", "186A0", "FF");
    const std::string v3 = volume("3", "SDV3", "4", "1000", "2");
    const std::string v5 = volume("5", "", "6", "186A0", "FF");
    // The library's text for all volumes ends in two blanks; volume 2 has its
    // own failover group, the others the array's (role 0: none).
    const std::string openVolumes = "00\n5\n" + v1 + volume("2", "PAIR", "1", "186A0", "3") +
                                    volume("8", "", "1", "186A0", "2") + volume("9", "", "1", "186A0", "2") +
                                    volume("A", "", "1", "186A0", "2");
    const std::string sdv7 = rec({"7", "", "0", "0", "2000", "2000", "0", "0", "0", "0", "0", "0"});
    const std::string sdvAll = rec({"3", "SDV3", "0", "0", "1000", "1000", "0", "1000", "0", "0", "388", "0"}) +
                               rec({"4", "", "0", "0", "2000", "2000", "0", "0", "0", "0", "0", "40000000"}) +
                               rec({"6", "", "0", "0", "2000", "2000", "0", "0", "0", "0", "0", "20000000"}) + sdv7;
    struct Case {
        const char *host, *command;
        std::string expected;
    };
    // clang-format off
    const Case cases[] = {
        {"10.0.0.5", "show volumes  -type open", openVolumes},
        {"10.0.0.5", "show volumes -volume-number 3 -type sdv", "00\n1\n" + v3},
        {"10.0.0.5", "show volumes -volume-number 3 -type open", "00\n0\n"},
        {"10.0.0.5", "show volumes -volume-number 5 ", "00\n1\n" + v5},
        {"10.0.0.5", "show volumes -volume-number 11 ", "00\n0\n"},
        {"10.0.0.6", "show volumes  -type sdv", "00\n1\n" + volume("2", "", "4", "186A0", "FF")},
        {"10.0.0.5", "show snap-data-volume ", "00\n4\n" + sdvAll},
        {"10.0.0.5", "show snap-data-volume -volume-number 7", "00\n1\n" + sdv7},
        {"10.0.0.5", "show snap-data-volume -volume-number 1", "00\n0\n"},
        {"10.0.0.5", "show snap-data-pool -sdp-number 0", "00\n1\n0\n1\n" + rec({"0", "F4240", "3E8", "1388", "0", "0", "0"})},
        {"10.0.0.5", "show snap-data-pool ", "00\n1\n0\n1\n" + rec({"0", "F4240", "3E8", "1388", "0", "0", "0"})},
        {"10.0.0.5", "show snap-data-pool -sdp-number 1", "00\n1\n0\n0\n"},
        {"10.0.0.6", "show snap-data-pool -sdp-number 0", "00\n0\n"},
        // 4096 of 100000 blocks copied: 2 and 49 units of 2048, 4 percent.
        {"10.0.0.5", "show vvol-copy-session -vvol-session-id all", "00\n1\n" + kVvolRow},
        {"10.0.0.5", "show vvol-copy-session -volume-number 3,10", "00\n1\n" + kVvolRow},
        {"10.0.0.5", "show vvol-copy-session -volume-number 1", "00\n0\n"},
        {"10.0.0.5", "show vvol-copy-session -vvol-session-id 1", "00\n0\n"},
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(lan.run(c.command, c.host), c.expected) << c.command;
}

TEST(SimCliVolumes, RefusedCommands) {
    Lan lan;
    struct Case {
        const char *command, *code;
    };
    // clang-format off
    const Case cases[] = {
        {"start copy-vz -source-volume-number 1 -destination-volume-number 99", "5300"},
        {"start copy-vz -source-volume-number 8 -destination-volume-number 7", "5300"},
        {"start copy-vz -source-volume-number 7 -destination-volume-number 8", "5300"},
        {"start copy-rvz -source-boxid \"BOX A1\" -destination-boxid \"BOX-B1\" -source-volume-number 5 -destination-volume-number 2 -xfer-mode 00", "5300"},
        {"start copy-quick-kzp -source-volume-number 5 -destination-volume-number 7", "5300"},
        {"start copy-quick-kzp -source-volume-number 7 -destination-volume-number 5", "5300"},
        {"start copy-kzp -source-volume-number 4 -destination-volume-number 5", "5301"},
        {"start copy-kzp -source-volume-number 5 -destination-volume-number 7", "5300"},
        {"start copy-snap-kzp -source-volume-number 5 -destination-volume-number 8", "5358"},
        {"start copy-snap-kzp -mode normal -source-volume-number 5 -destination-volume-number 8", "5358"},
        {"start copy-snap-kzp -source-volume-number 5 -destination-volume-number 3", "5359"},
        {"start copy-snap-kzp -source-volume-number 5 -destination-volume-number 4", "5301"},
        {"start copy-snap-kzp -mode normal -source-volume-number 5 -destination-volume-number 6", "5301"},
        {"start copy-snap-kzp -source-volume-number 5 -destination-volume-number 99", "5300"},
        {"suspend copy-rvz -session-id 20 -timer 5", "5310"},
        {"suspend copy-rvz -session-id 20 -mode force -timer 0", "5310"},
        {"initialize snap-data-volume -volume-number 99", "5300"},
        {"initialize snap-data-volume -volume-number 5", "5300"},
        {"initialize snap-data-volume -volume-number 4", "5301"},
        {"initialize snap-data-volume -volume-number 6", "5301"},
        {"initialize snap-data-volume -volume-number 3", "5302"},
        {"show vvol-copy-session ", "0001"},
        {"show vvol-copy-session -vvol-session-id all -volume-number 1", "0001"},
        {"show volumes -type thick", "0001"},
        {"show snap-data-volume -volume-number x", "0001"},
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(code(lan.run(c.command)), c.code) << c.command;
    // Without a virtual-volume session the array refuses the list.
    EXPECT_EQ(code(lan.run("show vvol-copy-session -vvol-session-id all", "10.0.0.6")), "920B");
    // Nothing started, nothing reserved.
    EXPECT_EQ(lan.sim.sessions("A1").size(), 4u);
    // The allowed uses of snap data volumes, and a timer with stack transfer.
    EXPECT_EQ(code(lan.run("start copy-kzp -source-volume-number 7 -destination-volume-number 5")), "ok");
    EXPECT_EQ(code(lan.run("start copy-snap-kzp -source-volume-number 10 -destination-volume-number 6")), "5301");
    EXPECT_EQ(lan.run("suspend copy-rvz -multi enable -session-id 20,21 -timer 5"), "00\n2\n14\t1\t5310\n15\t0\t0\n");
    EXPECT_EQ(fields(lan.sim, "A1", 21, {"status", "stacktimer"}), "status=4 stacktimer=5");
}

TEST(SimCliVolumes, InitialisationRunsOnTheClock) {
    Lan lan;
    EXPECT_EQ(lan.run("initialize snap-data-volume -volume-number 7 "), "00\n");
    EXPECT_EQ(sdvStatus(lan, 7), "40000000");
    EXPECT_EQ(code(lan.run("initialize snap-data-volume -volume-number 7 ")), "5301");
    EXPECT_EQ(code(lan.run("start copy-snap-kzp -source-volume-number 5 -destination-volume-number 7")), "5301");
    EXPECT_EQ(code(lan.run("start copy-kzp -source-volume-number 7 -destination-volume-number 5")), "5301");
    lan.sim.advanceClock(29);
    EXPECT_EQ(sdvStatus(lan, 7), "40000000");
    lan.sim.advanceClock(1);
    EXPECT_EQ(sdvStatus(lan, 7), "0");
    // Now it takes a snapshot, and is no longer free to be initialised.
    EXPECT_EQ(lan.run("start copy-snap-kzp -source-volume-number 5 -destination-volume-number 7"), "00\n3\n");
    EXPECT_EQ(code(lan.run("initialize snap-data-volume -volume-number 7")), "5302");
    EXPECT_EQ(lan.run("stop copy-session -session-id 3"), "00\n");
    // An initialisation of no time ends at once; a declared state word stays.
    lan.sim.setArray("A1", "sdvinit=0");
    EXPECT_EQ(lan.run("initialize snap-data-volume -volume-number 7"), "00\n");
    EXPECT_EQ(sdvStatus(lan, 7), "0");
    lan.sim.advanceClock(1000);
    EXPECT_EQ(sdvStatus(lan, 4), "40000000");
}

TEST(SimCliVolumes, VirtualVolumeSessionsStopOnlyByTheirCommand) {
    Lan lan;
    EXPECT_EQ(code(lan.run("stop copy-session -session-id 2")), "5300");
    EXPECT_EQ(lan.run("stop copy-session -multi enable -session-id 2,1"), "00\n2\n2\t1\t5300\n1\t0\t0\n");
    EXPECT_EQ(code(lan.run("stop vvol-copy-session -vvol-session-id 20 -force")), "5300");
    EXPECT_EQ(lan.run("stop vvol-copy-session -vvol-session-id 2 -force"), "00\n");
    EXPECT_EQ(lan.sim.sessions("A1").size(), 2u);
    EXPECT_EQ(code(lan.run("show vvol-copy-session -vvol-session-id all")), "920B");
}

TEST(SimCliVolumes, EveryIdentifierAskedForGetsARecord) {
    Lan lan;
    std::vector<std::string> unused(40, "0");
    unused[11] = unused[12] = std::string(40, ' ');
    unused[25] = std::string(16, '0');
    auto unusedRecord = [&](const char *id) {
        unused[0] = id;
        return rec(unused);
    };
    // 2 is a virtual-volume session and 7 names none.
    EXPECT_EQ(lan.run("show copy-sessions -session-id 7,2 "), "00\n2\n" + unusedRecord("2") + unusedRecord("7"));
    // A stopped session lists as not in use; one still held keeps its record.
    EXPECT_EQ(lan.run("stop copy-session -session-id 1"), "00\n");
    std::string reply = lan.run("show copy-sessions -session-id 1,20 ");
    ASSERT_EQ(reply.substr(0, 5), "00\n2\n");
    EXPECT_EQ(reply.substr(5, reply.find('\n', 5) - 4), unusedRecord("1"));
    EXPECT_EQ(reply.substr(reply.find('\n', 5) + 1, 11), "14\t14\t2\tA0\t");
}

}  // namespace
