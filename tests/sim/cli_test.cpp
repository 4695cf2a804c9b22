// The arrays' command-line interface over the LAN front: the action command
// texts parsed and executed against the same session model as the SCSI
// front, and answered in the array's reply format.
#include "exec_helpers.h"
#include "lan_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lantest;
using namespace simtest;
using zrksim::Simulator;

namespace {

// Volumes 5 and 6 are larger than 2^32 blocks.
const char *const kScenario = R"(
clock 1000
array A1 boxid="BOX A1" address=10.0.0.5 remotes=B1
volume A1 1 100000
volume A1 2 100000
volume A1 3 100000
volume A1 4 100000 olustatus=1
volume A1 5 8589934592
volume A1 6 8589934592
volume A1 7 8589934592 type=sdv
array B1 boxid="BOX-B1" address=10.0.0.6
volume B1 1 100000
disk /dev/sdb 8:16 A1 1
disk /dev/sdc 8:32 B1 1
user admin secret
)";

// A simulator with the LAN front, both arrays logged in.
struct Lan : LoggedInLan {
    Lan() : LoggedInLan(kScenario, {"10.0.0.5", "10.0.0.6"}) {}
};

// The error code line of a failure reply (4 lines: status, code, text, "").
std::string code(const std::string &reply) {
    if (reply.rfind("01\n", 0) != 0) return "not a failure: " + reply;
    EXPECT_EQ(std::count(reply.begin(), reply.end(), '\n'), 3) << reply;
    return reply.substr(3, reply.find('\n', 3) - 3);
}

// The detail-list entries (page 0x43) the array answers in-band.
Bytes detailList(const std::string &path) {
    return delivered(sg(path, travoInShort(0x43, 0, 16 + 160 * 8), 16 + 160 * 8));
}

TEST(SimCli, StartOverTheLanIsSeenInBand) {
    Lan lan;
    EXPECT_EQ(lan.run("start copy-vz -source-volume-number 5 -destination-volume-number 6 -size 2048 "
                      "-source-lba 4294967296 -destination-lba 0 -secondary-access 1 "),
              "00\n1\n");
    // The text the library sends for a whole volume: empty pieces leave blanks.
    EXPECT_EQ(lan.run("start copy-kzp -source-volume-number 1 -destination-volume-number 2   "), "00\n2\n");
    Bytes list = detailList("/dev/sdb");
    ASSERT_EQ(Be(list, 10, 2), 2u);
    // Entry 1: VZ (kind 2), secondary access 1, OLUs 5 and 6, the 64-bit extent.
    EXPECT_EQ(hexAt(list, 16, 6), "0001" "0000" "02" "01");
    EXPECT_EQ(hexAt(list, 16 + 96, 8), u32(5) + u32(6));
    EXPECT_EQ(hexAt(list, 16 + 116, 24), u64(4294967296ULL) + u64(2048) + u64(0));
    // Entry 2: KZP, whole volume.
    EXPECT_EQ(hexAt(list, 176, 6), "0002" "0000" "01" "80");
    EXPECT_EQ(fields(lan.sim, "A1", 2, {"status", "phase"}), "status=2 phase=1");
}

TEST(SimCli, InBandStartIsStoppedOverTheLan) {
    Lan lan;
    unsigned id = reserveId("/dev/sdb", 2);
    ASSERT_EQ(outcome(out("/dev/sdb", Page::start(id, 2, 0, 1, 2).b)), kGood);
    lan.sim.advanceClock(10);
    ASSERT_EQ(fields(lan.sim, "A1", id, {"phase"}), "phase=2");
    EXPECT_EQ(lan.run("suspend copy-vz -session-id " + std::to_string(id) + " -mode normal "), "00\n");
    EXPECT_EQ(fields(lan.sim, "A1", id, {"status"}), "status=4");
    EXPECT_EQ(code(lan.run("suspend copy-vz -session-id 1 -mode normal ")), "5304");
    EXPECT_EQ(lan.run("change copy-vz -session-id 1 -action reverse "), "00\n");
    EXPECT_EQ(fields(lan.sim, "A1", id, {"status"}), "status=4");
    EXPECT_EQ(lan.sim.sessions("A1")[0].substr(0, 22), "session 1 vz A1 2 A1 1");
    EXPECT_EQ(lan.run("resume copy-vz -session-id 1 "), "00\n");
    EXPECT_EQ(code(lan.run("resume copy-vz -session-id 1 ")), "5305");
    EXPECT_EQ(lan.run("stop copy-session -session-id 1  "), "00\n");
    EXPECT_TRUE(lan.sim.sessions("A1").empty());
    EXPECT_EQ(Be(detailList("/dev/sdb"), 10, 2), 0u);
}

TEST(SimCli, RemoteStartWithQuotedBoxIds) {
    Lan lan;
    // A BoxID with a blank, quoted; the 40-character form with its padding too.
    std::string padded = "BOX-B1" + std::string(34, ' ');
    EXPECT_EQ(lan.run("start copy-rvz -source-boxid \"BOX A1\" -destination-boxid \"" + padded +
                      "\" -source-volume-number 2 -destination-volume-number 1     -mode skip -xfer-mode 10 "
                      "-split 1 -recovery 1 "),
              "00\n1\n");
    EXPECT_EQ(fields(lan.sim, "A1", 1, {"partner", "status", "phase", "mode"}),
              "partner=1 status=2 phase=2 mode=sync,split,manual");
    // The destination array knows it by its own identifier.
    EXPECT_EQ(lan.run("suspend copy-rvz -session-id 1 -mode force  ", "10.0.0.6"), "00\n");
    EXPECT_EQ(fields(lan.sim, "A1", 1, {"status"}), "status=4");
    EXPECT_EQ(lan.run("change copy-rvz -session-id 1 -action change -xfer-mode 03 -split 0 -recovery 0"), "00\n");
    EXPECT_EQ(fields(lan.sim, "A1", 1, {"mode", "transfer"}), "mode=none transfer=3");
    EXPECT_EQ(lan.run("resume copy-rvz -session-id 1 -remain-mode enable"), "00\n");
    EXPECT_EQ(code(lan.run("start copy-rvz -source-boxid \"NO-SUCH\" -destination-boxid \"BOX-B1\" "
                           "-source-volume-number 3 -destination-volume-number 1 -xfer-mode 00")),
              "5300");
}

TEST(SimCli, RefusalsAndSyntaxErrors) {
    Lan lan;
    ASSERT_EQ(lan.run("start copy-vz -source-volume-number 1 -destination-volume-number 2"), "00\n1\n");
    struct Case {
        const char *command, *code;
    };
    // clang-format off
    const Case cases[] = {
        {"show copy-nothing", "0001"},
        {"start", "0001"},
        {"start copy-vz -source-volume-number 1", "0001"},
        {"start copy-vz -source-volume-number x -destination-volume-number 2", "0001"},
        {"start copy-vz -source-volume-number 1 -destination-volume-number 2 -bogus 1", "0001"},
        {"start copy-vz -source-volume-number 1 -destination-volume-number 2 -source-lba 5", "0001"},
        {"start copy-vz -source-volume-number 1 -destination-volume-number 2 -size 18446744073709551616", "0001"},
        {"start copy-vz -source-volume-number 1 -destination-volume-number 2 -mode skip", "0001"},
        {"start copy-rvz -source-boxid \"BOX A1 -destination-boxid x", "0001"},
        {"stop copy-session -session-id 1,x", "0001"},
        {"stop copy-session -session-id 0", "0001"},
        {"stop copy-session -session-id 1 -mode gently", "0001"},
        {"start copy-vz -source-volume-number 9 -destination-volume-number 2", "5300"},
        {"start copy-vz -source-volume-number 2 -destination-volume-number 3", "5302"},
        {"start copy-kzp -source-volume-number 3 -destination-volume-number 2", "5302"},
        {"start copy-vz -source-volume-number 3 -destination-volume-number 3", "5300"},
        {"stop copy-session -session-id 7", "5300"},
        {"resume copy-vz -session-id 1", "5305"},
        {"change copy-vz -session-id 1 -action reverse", "5301"},
        {"set volume -volume-number 9 -copy-protection enable", "5300"},
        {"set volume -volume-number 1 -copy-protection maybe", "0001"},
        {"initialize snap-data-volume -volume-number 3", "5300"},
        {"set rvz-buffer -partition 1 -remote-boxid \"NONE\" -buffer-type send", "5300"},
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(code(lan.run(c.command)), c.code) << c.command;
    // A refused start leaves no reserved identifier behind.
    EXPECT_EQ(lan.sim.sessions("A1").size(), 1u);
}

TEST(SimCli, SettingsAndAuthentication) {
    Lan lan;
    const char *const ok[] = {
        "set volume -volume-number 1 -copy-protection enable ",
        "set morvic-tier-volume -volume-number 2 -copy-protection disable ",
        "initialize snap-data-volume -volume-number 4 ",
        "set rvz-buffer -partition 3 -remote-boxid \"BOX-B1\" -buffer-type receive -forwarding-interval 15 "
        "-monitoring-time 60",
        "set rvz-buffer -partition 4 -remote-boxid \"BOX-B1\"  -forwarding-interval 1 -monitoring-time 2",
    };
    for (const char *c : ok) EXPECT_EQ(lan.run(c), "00\n") << c;
    EXPECT_NE(lan.sim.dump().find("rvzbuffer"), std::string::npos);
    EXPECT_EQ(lan.run("test authentication -name admin -password secret"), "00\n0\n");
    EXPECT_EQ(lan.run("test authentication -name admin -password wrong"), "00\n1\n");
}

TEST(SimCli, StopTrackingSnapshotsAndMonitor) {
    Lan lan;
    EXPECT_EQ(lan.run("start copy-quick-kzp  -source-volume-number 1 -destination-volume-number 2   "), "00\n1\n");
    EXPECT_EQ(lan.run("start copy-snap-kzp  -mode normal -source-volume-number 3 -destination-volume-number 4   "),
              "00\n2\n");
    EXPECT_EQ(lan.run("start copy-snap-kzp   -source-volume-number 5 -destination-volume-number 7 -size 100 "
                      "-source-lba 0 -destination-lba 0"),
              "00\n3\n");
    EXPECT_EQ(lan.run("start copy-monitor -source-volume-number 5 -size 100 -source-lba 0"), "00\n4\n");
    std::vector<std::string> kinds;
    for (const std::string &line : lan.sim.sessions("A1")) kinds.push_back(line.substr(10, line.find(' ', 10) - 10));
    EXPECT_EQ(kinds, (std::vector<std::string>{"quickkzp", "snapkzp", "snapkzp+", "monitor"}));
    lan.sim.advanceClock(1);
    EXPECT_EQ(lan.run("start copy-quick-kzp -restart 1 "), "00\n1\n");
    EXPECT_EQ(lan.run("stop copy-session -session-id 1  -mode stop-tracking"), "00\n");
    EXPECT_EQ(fields(lan.sim, "A1", 1, {"tracking"}), "tracking=no");
    EXPECT_EQ(lan.run("stop copy-session -session-id 2"), "00\n");
    EXPECT_EQ(lan.run("stop copy-session -session-id 3"), "00\n");
    EXPECT_EQ(lan.sim.sessions("A1").size(), 2u);
}

TEST(SimCli, MultiSessionRows) {
    Lan lan;
    lan.sim.addSession("3 vz A1 1 A1 2");
    lan.sim.addSession("4 vz A1 3 A1 4 status=suspend");
    EXPECT_EQ(lan.run("suspend copy-vz -multi enable -session-id 3,4,9"), "00\n3\n3\t0\t0\n4\t1\t5304\n9\t1\t5300\n");
    EXPECT_EQ(lan.run("resume copy-vz -multi enable -session-id 3,4"), "00\n2\n3\t0\t0\n4\t0\t0\n");
    EXPECT_EQ(lan.run("stop copy-session -multi enable -mode force -session-id 4"), "00\n1\n4\t0\t0\n");
    // Concurrent suspend is all or nothing.
    lan.sim.addSession("5 vz A1 5 A1 6");
    EXPECT_EQ(code(lan.run("suspend copy-vz -session-id 3,5 -mode concurrent ")), "5301");
    lan.sim.setSession("A1", 3, "phase=equivalent");
    EXPECT_EQ(lan.run("suspend copy-vz -session-id 3,5 -mode concurrent "), "00\n");
    EXPECT_EQ(fields(lan.sim, "A1", 5, {"status"}), "status=4");
}

TEST(SimCli, ConcurrentStartInPhases) {
    Lan lan;
    EXPECT_EQ(lan.run("start copy-concurrent-kzp -session-type kzp -source-volume-number 1 "
                      "-destination-volume-number 2    -mode no-commit "),
              "00\n1\n");
    EXPECT_EQ(lan.run("start copy-concurrent-kzp -session-type quick -source-volume-number 3 "
                      "-destination-volume-number 4    -mode no-commit -id 1"),
              "00\n");
    EXPECT_EQ(fields(lan.sim, "A1", 1, {"status"}), "status=1");
    EXPECT_EQ(lan.run("start copy-concurrent-kzp -session-type snap+ -source-volume-number 5 "
                      "-destination-volume-number 6 -size 4294967296 -source-lba 4294967296 -destination-lba 16  -id 1"),
              "00\n3\n0\t0\t1\t1\t2\t0\t0\n0\t0\t2\t3\t4\t0\t0\n0\t0\t3\t5\t6\t100000000\t10\n");
    EXPECT_EQ(fields(lan.sim, "A1", 1, {"status"}), "status=2");
    EXPECT_EQ(code(lan.run("start copy-concurrent-kzp -session-type kzp -source-volume-number 1 "
                           "-destination-volume-number 3    -id 1")),
              "5300");
    lan.sim.advanceClock(1);
    EXPECT_EQ(lan.run("start copy-concurrent-kzp -restart 2"), "00\n1\n0\t0\t2\t3\t4\t0\t0\n");
}

}  // namespace
