// The RVZ commands of the arrays' command-line interface: "show rvz-path"
// from the arrays each array lists, and "set rvz-buffer" acting on the same
// buffers (and refusing what the in-band setting refuses) that the SCSI
// front reports in page 0x21.
#include "exec_helpers.h"
#include "lan_helpers.h"

#include <gtest/gtest.h>

#include <string>

using namespace lantest;
using namespace simtest;

namespace {

// A1 reaches B1 by two paths and C1 by one, and holds 2 of at most 3
// buffers; C1 reaches only A1; D1 has no RVZ group; E1 has RVZ without
// buffers (support byte 29 without 0x80).
const char *const kScenario = R"(
array A1 boxid="BOX-A1" address=10.0.0.5 remotes=B1,C1,B1 rvzbuffers=3
array B1 boxid="BOX-B1" address=10.0.0.6
array C1 boxid="BOX-C1" address=10.0.0.7 remotes=A1
array D1 boxid="BOX-D1" address=10.0.0.8 support=000000000D000001000000000000000000000000000200010000000000000000
array E1 boxid="BOX-E1" address=10.0.0.9 support=000000000D000001000000000000000000000000000200010000000000000001
rvzbuffer A1 1 remote=B1 interval=2 monitor=5 cms=16
rvzbuffer A1 4 type=2 remote=C1 cms=17
volume A1 1 1000
disk /dev/sdb 8:16 A1 1
user admin secret
)";

struct Lan : LoggedInLan {
    Lan() : LoggedInLan(kScenario, {"10.0.0.5", "10.0.0.7", "10.0.0.8", "10.0.0.9"}) {}
};

std::string Box(const std::string &name) {
    std::string box = name;
    box.resize(40, ' ');
    return box;
}

// The error code line of a failure reply.
std::string code(const std::string &reply) {
    if (reply.rfind("01\n", 0) != 0) return "not a failure: " + reply;
    return reply.substr(3, reply.find('\n', 3) - 3);
}

// Page 0x21 entry of the buffer at position i, as the SCSI front reports it.
std::string listEntry(std::size_t i) {
    Bytes list = delivered(sg("/dev/sdb", travoInShort(0x21, 0, 528), 528));
    return hexAt(list, 16 + 64 * i, 64);
}

// A page 0x21 entry: identifier, state 1 (a remote array), module count,
// type, interval, monitoring time, size 0 and the remote BoxID.
std::string entryHex(unsigned id, unsigned modules, unsigned type, unsigned interval, std::uint32_t monitor,
                     const std::string &remote) {
    return u8(0) + u8(id) + u8(1) + u8(0) + u16(modules) + zeros(2) + u16(type) + u16(interval) + u32(monitor) +
           zeros(8) + BoxIdHex(remote);
}

TEST(SimCliRvz, PathRows) {
    Lan lan;
    EXPECT_EQ(lan.run("show rvz-path"),
              "00\n" + Box("BOX-A1") + "\n3\n" + rec({Box("BOX-B1"), "0", "1", "10", "20", "0", "0"}) +
                  rec({Box("BOX-C1"), "1", "1", "11", "21", "0", "0"}) +
                  rec({Box("BOX-B1"), "2", "1", "12", "22", "0", "0"}));
    EXPECT_EQ(lan.run("show rvz-path", "10.0.0.7"),
              "00\n" + Box("BOX-C1") + "\n1\n" + rec({Box("BOX-A1"), "0", "1", "10", "20", "0", "0"}));
    EXPECT_EQ(code(lan.run("show rvz-path", "10.0.0.8")), "5306");
    EXPECT_EQ(code(lan.run("show rvz-path -mode all")), "0001");
}

TEST(SimCliRvz, SettingRefusals) {
    Lan lan;
    struct Case {
        const char *host;
        std::string command;
        const char *code;
    } cases[] = {
        // Not a remote array of A1: unknown, A1 itself, one that A1 lists no path to.
        {"10.0.0.5", "set rvz-buffer -partition 1 -remote-boxid \"BOX-ZZ\" -buffer-type send", "5300"},
        {"10.0.0.5", "set rvz-buffer -partition 1 -remote-boxid \"BOX-A1\" -buffer-type send", "5300"},
        {"10.0.0.7", "set rvz-buffer -partition 1 -remote-boxid \"BOX-B1\" -buffer-type send", "5300"},
        // A BoxID longer than 40 characters.
        {"10.0.0.5", "set rvz-buffer -partition 1 -remote-boxid \"" + Box("BOX-B1") + "X\"", "5300"},
        // A third buffer fits, a fourth does not.
        {"10.0.0.5", "set rvz-buffer -partition 9 -remote-boxid \"BOX-B1\"", "00"},
        {"10.0.0.5", "set rvz-buffer -partition 10 -remote-boxid \"BOX-B1\"", "5300"},
        // No RVZ buffers, no RVZ.
        {"10.0.0.9", "set rvz-buffer -partition 1 -remote-boxid \"BOX-A1\"", "5306"},
        {"10.0.0.8", "set rvz-buffer -partition 1 -remote-boxid \"BOX-A1\"", "5306"},
        // Malformed.
        {"10.0.0.5", "set rvz-buffer -partition 256 -remote-boxid \"BOX-B1\"", "0001"},
        {"10.0.0.5", "set rvz-buffer -partition 1 -remote-boxid \"BOX-B1\" -buffer-type both", "0001"},
        {"10.0.0.5", "set rvz-buffer -partition 1", "0001"},
        {"10.0.0.5", "set rvz-buffer -partition 1 -remote-boxid \"BOX-B1\" -forwarding-interval 65536", "0001"},
    };
    for (const Case &c : cases) {
        const std::string reply = lan.run(c.command, c.host);
        if (std::string(c.code) == "00") {
            EXPECT_EQ(reply, "00\n") << c.command;
        } else {
            EXPECT_EQ(code(reply), c.code) << c.command;
        }
    }
    // Only buffer 9 was added; the others are as declared.
    EXPECT_EQ(listEntry(0), entryHex(1, 1, 1, 2, 5, "BOX-B1"));
    EXPECT_EQ(listEntry(1), entryHex(4, 1, 2, 0, 0, "BOX-C1"));
    EXPECT_EQ(listEntry(2), entryHex(9, 0, 1, 0, 0, "BOX-B1"));
}

TEST(SimCliRvz, SettingSeenInBand) {
    Lan lan;
    // The BoxID as the library sends it: 40 characters, blank padded.
    EXPECT_EQ(lan.run("set rvz-buffer -partition 1 -remote-boxid \"" + Box("BOX-C1") +
                      "\" -buffer-type receive -forwarding-interval 4 -monitoring-time 15"),
              "00\n");
    EXPECT_EQ(listEntry(0), entryHex(1, 1, 2, 4, 15, "BOX-C1"));
    // Options left out keep the buffer's values.
    EXPECT_EQ(lan.run("set rvz-buffer -partition 1 -remote-boxid \"BOX-B1\"  -forwarding-interval 1 "
                      "-monitoring-time 2"),
              "00\n");
    EXPECT_EQ(listEntry(0), entryHex(1, 1, 2, 1, 2, "BOX-B1"));
    // The list over the LAN shows the same buffer.
    const std::string reply = lan.run("show rvz-buffer ");
    EXPECT_NE(reply.find(rec({"1", "1", "0", "1", "2", "1", "2", "0", "0", Box("BOX-B1")})), std::string::npos)
        << reply;
}

}  // namespace
