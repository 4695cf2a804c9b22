// The copy protection on the arrays' command-line interface ("set volume",
// "set morvic-tier-volume") and its refusals, and the OLU status record that
// pages 0x31 and 0x33 carry for the same volumes the interface describes.
#include "exec_helpers.h"
#include "lan_helpers.h"
#include "travo_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lantest;
using namespace simtest;

namespace {

// A1 offers the OLU status functions and failover (bytes 6, 22, 30 bit
// 0x20); it is the primary of group 3. Volume 1 is in that group, 2 on
// the secondary side of group 4, the others in none.
const char *const kScenario = R"(
clock 1000
array A1 boxid="BOX-A1" address=10.0.0.5 role=1 group=3 sdvinit=10 support=000000002F0020F100000000000000F100000000004B20F10000000000FF30F1
volume A1 1 4096
volume A1 2 4096 role=2 group=4
volume A1 3 8589934592 role=0
volume A1 4 4096 type=sdv role=0
volume A1 5 4096 role=0 tier=yes
volume A1 6 4096 role=0 protection=yes
volume A1 7 2048 type=sdv role=0 sdvstatus=0x40000000
disk /dev/sdb 8:16 A1 3
user admin secret
)";

struct Lan : LoggedInLan {
    Lan() : LoggedInLan(kScenario, {"10.0.0.5"}) {}
};

// The error code line of a failure reply.
std::string code(const std::string &reply) {
    if (reply.rfind("01\n", 0) != 0) return "not a failure: " + reply;
    return reply.substr(3, reply.find('\n', 3) - 3);
}

// The 56-byte record of page 0x31 for volume olu, as hex.
std::string pageRecord(unsigned olu) {
    SgResult r = sg("/dev/sdb", travoInLarge(0x31, olu, 64, 1 | kFo), 64);
    EXPECT_EQ(r.hdr.status, 0) << "asc " << int(r.sense[12]);
    Bytes b = delivered(r);
    EXPECT_EQ(b.size(), 64u);
    return b.size() == 64 ? hexAt(b, 8, 56) : "";
}

// The records of page 0x33 from OLU 0, as hex, one per volume.
std::vector<std::string> listRecords() {
    constexpr unsigned kLen = 16 + 56 * 512;
    SgResult r = sg("/dev/sdb", travoInLarge(0x33, 0, kLen, 1 | kFo), kLen);
    EXPECT_EQ(r.hdr.status, 0) << "asc " << int(r.sense[12]);
    Bytes b = delivered(r);
    std::vector<std::string> out;
    if (b.size() < 16) return out;
    for (std::size_t i = 0; i < Be(b, 8, 2); ++i) out.push_back(hexAt(b, 16 + 56 * i, 56));
    return out;
}

// A record: OLU, group, status byte, failover bits, then the six sizes.
std::string record(unsigned olu, unsigned group, unsigned status, unsigned failover,
                   std::initializer_list<std::uint64_t> sizes) {
    std::string hex = u16(olu) + "00" + u8(group) + u8(status) + u8(failover) + "0000";
    for (std::uint64_t s : sizes) hex += u64(s);
    return hex + zeros(8 * (6 - sizes.size()));
}

TEST(SimCliOlu, ProtectionAndItsRefusals) {
    Lan lan;
    struct Case {
        const char *command;
        const char *code;  // "" success
    } const cases[] = {
        {"set volume -volume-number 1 -copy-protection enable ", ""},
        {"set volume -volume-number 6 -copy-protection disable ", ""},
        {"set volume -volume-number 4 -copy-protection enable ", "5300"},
        {"set volume -volume-number 4 -copy-protection disable ", "5300"},
        {"set morvic-tier-volume -volume-number 4 -copy-protection disable ", "5300"},
        {"set volume -volume-number 5 -copy-protection enable ", "0007"},
        {"set morvic-tier-volume -volume-number 5 -copy-protection enable ", ""},
        {"set volume -volume-number 2 -copy-protection enable ", "BF0E"},
        {"set morvic-tier-volume -volume-number 2 -copy-protection enable ", "BF0E"},
        {"set volume -volume-number 9 -copy-protection enable ", "5300"},
        {"set volume -volume-number 3 ", "0001"},
        {"set volume -volume-number 3 -copy-protection on ", "0001"},
        {"set volume -copy-protection enable ", "0001"},
        {"set volume -volume-number 3 -copy-protection enable -force ", "0001"},
    };
    for (const Case &c : cases) {
        const std::string reply = lan.run(c.command);
        if (*c.code == 0) {
            EXPECT_EQ(reply, "00\n") << c.command;
        } else {
            EXPECT_EQ(code(reply), c.code) << c.command;
        }
    }
    // What changed: 1 and 5 protected, 6 no more.
    const std::string dump = lan.sim.dump();
    auto line = [&](const std::string &head) {
        const std::size_t at = dump.find(head);
        return at == std::string::npos ? std::string() : dump.substr(at, dump.find('\n', at) - at);
    };
    for (const char *head : {"volume A1 1 ", "volume A1 5 "})
        EXPECT_NE(line(head).find("protection=yes"), std::string::npos) << line(head);
    for (const char *head : {"volume A1 2 ", "volume A1 3 ", "volume A1 6 "})
        EXPECT_EQ(line(head).find("protection=yes"), std::string::npos) << line(head);
    // The volume rows say it in column 8.
    for (const auto &[olu, on] : std::vector<std::pair<int, const char *>>{{1, "1"}, {5, "1"}, {6, "0"}, {3, "0"}}) {
        const std::string one = lan.run("show volumes -volume-number " + std::to_string(olu));
        std::vector<std::string> cols;
        std::size_t at = one.find('\n', one.find('\n') + 1) + 1;
        for (;;) {
            std::size_t tab = one.find_first_of("\t\n", at);
            cols.push_back(one.substr(at, tab - at));
            if (tab == std::string::npos || one[tab] == '\n') break;
            at = tab + 1;
        }
        ASSERT_GT(cols.size(), 8u) << one;
        EXPECT_EQ(cols[8], on) << olu;
    }
}

// The record of every volume: its OLU, failover group and bits (the array
// offers failover; group 3 primary and active, group 4 secondary and
// standing by), status byte (0x01 snap data volume, 0x02 initialising,
// 0x08 protected) and sizes. Page 0x33 holds the same records.
TEST(SimCliOlu, RecordsFollowTheVolumes) {
    Lan lan;
    EXPECT_EQ(lan.run("set volume -volume-number 1 -copy-protection enable "), "00\n");
    const std::vector<std::string> expected = {
        record(1, 3, 0x08, 0x80, {4096, 4096}),
        record(2, 4, 0x00, 0xE0, {4096, 4096}),
        record(3, 0, 0x00, 0x00, {8589934592ull, 8589934592ull}),
        record(4, 0, 0x01, 0x00, {4096, 4096}),
        record(5, 0, 0x00, 0x00, {4096, 4096}),
        record(6, 0, 0x08, 0x00, {4096, 4096}),
        record(7, 0, 0x03, 0x00, {2048, 2048}),
    };
    for (unsigned olu = 1; olu <= expected.size(); ++olu) EXPECT_EQ(pageRecord(olu), expected[olu - 1]) << olu;
    EXPECT_EQ(listRecords(), expected);
}

// An initialisation started on the interface shows as 0x02 until the
// array's clock ends it; the sizes of a snap data volume are those of
// "show snap-data-volume".
TEST(SimCliOlu, InitialisationAndSnapDataSizes) {
    Lan lan;
    EXPECT_EQ(lan.run("initialize snap-data-volume -volume-number 4 "), "00\n");
    EXPECT_EQ(pageRecord(4), record(4, 0, 0x03, 0x00, {4096, 4096}));
    lan.sim.advanceClock(10);
    EXPECT_EQ(pageRecord(4), record(4, 0, 0x01, 0x00, {4096, 4096}));
    // A snapshot into volume 4 that saved more than the volume holds.
    lan.sim.addSession("9 snapkzp A1 3 A1 4 copied=5000");
    EXPECT_EQ(pageRecord(4), record(4, 0, 0x01, 0x00, {4096, 4096, 0, 4096, 0, 5000 - 4096}));
    const std::string sdv = lan.run("show snap-data-volume -volume-number 4");
    EXPECT_EQ(sdv, "00\n1\n" + rec({"4", "", "0", "0", "1000", "1000", "0", "1000", "0", "0", "388", "0"}));
}

TEST(SimCliOlu, ScenarioOptions) {
    const std::string base = "array A boxid=BOX\n";
    struct Case {
        std::string text;
        std::string message;  // expected after "FILE:"
    } const cases[] = {
        {base + "volume A 1 10 type=sdv protection=yes\n", "2: a snap data volume has no copy protection"},
        {base + "volume A 1 10 protection=maybe\n", "2: protection must be yes or no"},
        {base + "volume A 1 10 tier=1\n", "2: tier must be yes or no"},
    };
    for (const Case &c : cases) simtest::expectScenarioError(c.text, c.message);
    // The dump reads back as the same scenario.
    Lan lan;
    const std::string dump = lan.sim.dump();
    EXPECT_NE(dump.find("volume A1 5 4096 "), std::string::npos);
    EXPECT_NE(dump.find("tier=yes"), std::string::npos);
    EXPECT_NE(dump.find("protection=yes"), std::string::npos);
}

}  // namespace
