// The arrays' show commands over the LAN front: the copy sessions with their
// selection options, the BoxID, the copy functions, the model information
// and the RVZ buffers, each answered from the same model as the SCSI front.
#include "exec_helpers.h"
#include "lan_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace lantest;
using namespace simtest;
using zrksim::Simulator;

namespace {

// The clock stands at 15 June 2024, 12:30:45.
const char *const kArrays = R"(
clock 1718454645
array A1 boxid="BOX A1" address=10.0.0.5 remotes=B1 copyflags=3
volume A1 1 100000
volume A1 2 100000
volume A1 3 100000
volume A1 4 100000
volume A1 5 8589934592
volume A1 6 8589934592
array B1 boxid="BOX-B1" address=10.0.0.6 profile=detail rvzdetail=0 modelinfo=01020304050607081FF0
volume B1 1 100000
array Q1 boxid="QM ONE" family=qm address=10.0.0.7
array I1 boxid="ID ONE" profile=idlist address=10.0.0.8
rvzbuffer A1 0 remote=B1 interval=15 monitor=60 cms=16,17 size=4096 used=1024 rlus=100,101 disksize=4294967296 diskused=4096
rvzbuffer A1 3 type=2 cms=1 size=8
disk /dev/sdb 8:16 A1 1
user admin secret
)";

const char *const kSessions = R"(
session 1 vz A1 1 A1 2 start=1718454600
session 2 rvz A1 3 B1 1 partner=7 mode=sync copied=4096 transfer=2
session 3 snapkzp+ A1 5 A1 6 srcext=4294967296 size=2048 dstext=16 copied=10
session 4 monitor A1 4 A1 -
session 9 kzp A1 2 A1 3 status=reserve
)";

const std::string kBoxA1 = "BOX A1" + std::string(34, ' ');
const std::string kBoxB1 = "BOX-B1" + std::string(34, ' ');

struct Lan : LoggedInLan {
    explicit Lan(bool withSessions = true)
        : LoggedInLan(std::string(kArrays) + (withSessions ? kSessions : ""),
                      {"10.0.0.5", "10.0.0.6", "10.0.0.7", "10.0.0.8"}) {}
};

std::string code(const std::string &reply) {
    if (reply.rfind("01\n", 0) != 0) return "not a failure: " + reply;
    return reply.substr(3, reply.find('\n', 3) - 3);
}

// Columns 26 to 39 of a usable session record.
std::vector<std::string> tail(const char *usable = "1") {
    std::vector<std::string> t{usable};
    t.insert(t.end(), 13, "0");
    return t;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Column 0 of every record of a list reply, after its count line.
std::string firstColumns(const std::string &reply) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t nl; (nl = reply.find('\n', from)) != std::string::npos; from = nl + 1)
        lines.push_back(reply.substr(from, nl - from));
    if (lines.size() < 2 || lines[0] != "00") return "bad reply: " + reply;
    std::string out = "count=" + lines[1];
    for (std::size_t i = 2; i < lines.size(); ++i) {
        std::size_t tabs = static_cast<std::size_t>(std::count(lines[i].begin(), lines[i].end(), '\t'));
        if (tabs != 39) return "record with " + std::to_string(tabs + 1) + " columns";
        out += " " + lines[i].substr(0, lines[i].find('\t'));
    }
    return out;
}

TEST(SimCliShow, CopySessionsGolden) {
    Lan lan;
    const std::string expected =
        "00\n4\n" +
        rec(std::vector<std::string>{"1", "0", "2", "80", "0", "0", "2", "2", "0", "0", "2D", kBoxA1, kBoxA1, "1",
                                     "2", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "2024061512300000"} +
            tail()) +
        rec(std::vector<std::string>{"2", "7", "2", "A0", "4", "2", "2", "2", "0", "0", "0", kBoxA1, kBoxB1, "3",
                                     "1", "0", "0", "0", "1000", "0", "0", "0", "0", "0", "0", "2024061512304500"} +
            tail()) +
        rec(std::vector<std::string>{"3", "0", "1", "40", "0", "0", "3", "2", "0", "0", "0", kBoxA1, kBoxA1, "5",
                                     "6", "1", "0", "0", "A", "100000000", "10", "800", "0", "0", "0",
                                     "2024061512304500"} +
            tail()) +
        rec(std::vector<std::string>{"4", "0", "3", "80", "0", "0", "3", "2", "0", "0", "0", kBoxA1, kBoxA1, "4",
                                     "FFFFFFFF", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
                                     "2024061512304500"} +
            tail());
    // The library's text without options ends in two blanks.
    EXPECT_EQ(lan.run("show copy-sessions  "), expected);
    // The destination array lists the remote session under its own identifier.
    EXPECT_EQ(lan.run("show copy-sessions  ", "10.0.0.6"),
              "00\n1\n" +
                  rec(std::vector<std::string>{"2", "7", "2", "A0", "14", "2", "2", "2", "0", "0", "0", kBoxA1, kBoxB1,
                                               "3", "1", "0", "0", "0", "1000", "0", "0", "0", "0", "0", "0",
                                               "2024061512304500"} +
                      tail()));
    // A reserved identifier (with -mode 128) is not usable.
    EXPECT_EQ(lan.run("show copy-sessions -session-id 9 -mode 128"),
              "00\n1\n" +
                  rec(std::vector<std::string>{"9", "0", "1", "80", "0", "0", "1", "1", "0", "0", "0", kBoxA1, kBoxA1,
                                               "2", "3", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
                                               "2024061512304500"} +
                      tail("0")));
}

TEST(SimCliShow, CopySessionSelections) {
    Lan lan;
    struct Case {
        const char *host, *command, *expected;
    };
    // clang-format off
    const Case cases[] = {
        {"10.0.0.5", "show copy-sessions  ", "count=4 1 2 3 4"},
        {"10.0.0.5", "show copy-sessions -volume-number 5,17 ", "count=1 3"},
        {"10.0.0.5", "show copy-sessions -volume-number 2 ", "count=1 1"},
        {"10.0.0.5", "show copy-sessions -volume-number 4,1,3 ", "count=3 1 2 4"},
        {"10.0.0.5", "show copy-sessions -volume-number 4294967295 ", "count=0"},
        {"10.0.0.5", "show copy-sessions -session-id 4,2 ", "count=2 2 4"},
        // An identifier without a session still gets its (unused) record.
        {"10.0.0.5", "show copy-sessions -session-id 8,4 ", "count=2 4 8"},
        {"10.0.0.5", "show copy-sessions  -mode 1", "count=4 1 2 3 4"},
        {"10.0.0.5", "show copy-sessions  -mode 128", "count=5 1 2 3 4 9"},
        {"10.0.0.5", "show copy-sessions -volume-number 5,2 -mode 129", "count=3 1 3 9"},
        {"10.0.0.6", "show copy-sessions -session-id 7 ", "count=1 2"},
        {"10.0.0.6", "show copy-sessions -session-id 2 ", "count=1 2"},
        {"10.0.0.6", "show copy-sessions -volume-number 1 ", "count=1 2"},
        {"10.0.0.7", "show copy-sessions  ", "count=0"},
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(firstColumns(lan.run(c.command, c.host)), c.expected) << c.command;
}

TEST(SimCliShow, BoxIdAndModelInfo) {
    Lan lan;
    EXPECT_EQ(lan.run("show boxid"), "00\n" + kBoxA1 + "\n");
    EXPECT_EQ(lan.run("show boxid", "10.0.0.7"), "00\nQM ONE" + std::string(34, ' ') + "\n");
    struct Case {
        const char *host, *expected;
    };
    // clang-format off
    const Case cases[] = {
        {"10.0.0.5", "00\n0\t0\n0\t0\n0\t0\t0\t0\t0\t4\n"},
        {"10.0.0.6", "00\n1\t2\n3\t4\n5\t6\t7\t8\t1F\tF0\n"},
        {"10.0.0.7", "00\n0\t0\n0\t0\n0\t0\t0\t0\t0\t0\n"},
        {"10.0.0.8", "00\n0\t0\n0\t0\n0\t0\t0\t0\t0\t4\n"},
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(lan.run("show model-info", c.host), c.expected) << c.host;
}

TEST(SimCliShow, CopyFunctionsPerProfile) {
    Lan lan;
    struct Case {
        const char *host, *expected;
    };
    // clang-format off
    const Case cases[] = {
        // paged
        {"10.0.0.5", "00\nF0000F1\tF1\t4B00F1\tFF10F1\n400\t400\t10\t2\t40\t3\n"},
        // detail
        {"10.0.0.6", "00\n10000A1\tA1\t4B00A1\tFF00A1\n400\t400\t10\t0\t40\t0\n"},
        // qm
        {"10.0.0.7", "00\n0\t0\t10001\t10001\n400\t400\t10\t2\t40\t0\n"},
        // idlist
        {"10.0.0.8", "00\n1\t1\t10001\tF0001\n400\t400\t10\t2\t40\t0\n"},
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(lan.run("show copy-functions", c.host), c.expected) << c.host;
}

TEST(SimCliShow, RvzBuffersGolden) {
    Lan lan;
    EXPECT_EQ(lan.run("show rvz-buffer "),
              "00\n8\t2\n0\t1\t0\t2\t1\tF\t3C\t0\t1000\t" + kBoxB1 + "\n3\t0\t0\t1\t2\t0\t0\t0\t8\n");
    // One RVZ session runs through buffer 0 (to B1).
    EXPECT_EQ(lan.run("show rvz-buffer-usage -partition 0"),
              "00\n1000\t400\tC00\n2\n10\t800\t200\t600\n11\t800\t200\t600\n1\n");
    EXPECT_EQ(lan.run("show rvz-buffer-usage -partition 3"), "00\n8\t0\t8\n1\n1\t8\t0\t8\n0\n");
    EXPECT_EQ(lan.run("show rvz-disk-buffer"),
              "00\n0\n1\n0\t1\n2\n64\n65\n0\t0\t100000000\t1000\tFFFFF000\n2\n"
              "10\t80000000\t800\t7FFFF800\n11\t80000000\t800\t7FFFF800\n");
    // A buffer set over the LAN is listed at once.
    EXPECT_EQ(lan.run("set rvz-buffer -partition 5 -remote-boxid \"BOX-B1\" -buffer-type receive "
                      "-forwarding-interval 2 -monitoring-time 3"),
              "00\n");
    EXPECT_EQ(lan.run("show rvz-buffer "), "00\n8\t3\n0\t1\t0\t2\t1\tF\t3C\t0\t1000\t" + kBoxB1 +
                                               "\n3\t0\t0\t1\t2\t0\t0\t0\t8\n5\t1\t0\t0\t2\t2\t3\t0\t0\t" + kBoxB1 +
                                               "\n");
    // An array without buffers defined.
    EXPECT_EQ(lan.run("show rvz-buffer ", "10.0.0.6"), "00\n8\t0\n");
}

TEST(SimCliShow, Refusals) {
    Lan lan;
    struct Case {
        const char *host, *command, *code;
    };
    // clang-format off
    const Case cases[] = {
        {"10.0.0.6", "show copy-sessions  -mode 128", "0001"}, // the model has no -mode
        {"10.0.0.5", "show copy-sessions  -mode 256", "0001"},
        {"10.0.0.5", "show copy-sessions -session-id x ", "0001"},
        {"10.0.0.5", "show copy-sessions -session-id 1,,2 ", "0001"},
        {"10.0.0.5", "show copy-sessions -volume-number 1 -session-id 1", "0001"},
        {"10.0.0.5", "show copy-sessions -volume-number 4294967296 ", "0001"},
        {"10.0.0.5", "show copy-sessions -bogus 1", "0001"},
        {"10.0.0.5", "show boxid -volume-number 1", "0001"},
        {"10.0.0.5", "show copy-things", "0001"},
        {"10.0.0.5", "show rvz-buffer-usage", "0001"},
        {"10.0.0.5", "show rvz-buffer-usage -partition 9", "5300"},
        {"10.0.0.8", "show rvz-buffer ", "5306"}, // idlist: no RVZ buffers
        {"10.0.0.7", "show rvz-buffer-usage -partition 0", "5306"},
        {"10.0.0.6", "show rvz-disk-buffer", "5306"}, // no disk-buffer information
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(code(lan.run(c.command, c.host)), c.code) << c.command;
}

TEST(SimCliShow, InBandSessionIsShown) {
    Lan lan(false);
    unsigned id = reserveId("/dev/sdb", 2);
    ASSERT_EQ(id, 1u);
    // The reserved identifier shows only with -mode 128.
    EXPECT_EQ(lan.run("show copy-sessions  "), "00\n0\n");
    EXPECT_EQ(firstColumns(lan.run("show copy-sessions  -mode 128")), "count=1 1");
    ASSERT_EQ(outcome(out("/dev/sdb", Page::start(id, 2, 0, 1, 2).b)), kGood);
    lan.sim.advanceClock(10);
    EXPECT_EQ(lan.run("show copy-sessions -volume-number 1 "),
              "00\n1\n" +
                  rec(std::vector<std::string>{"1", "0", "2", "80", "0", "0", "2", "2", "0", "0", "A", kBoxA1, kBoxA1,
                                               "1", "2", "0", "0", "0", "186A0", "0", "0", "0", "0", "0", "0",
                                               "2024061512304500"} +
                      tail()));
}

}  // namespace
