// The RVZ path query: reply shapes against a loopback stand-in of the LAN
// interface management service (the row count on line 3, rows against the
// caller's room and the lines present, the BoxIDs byte for byte, the trace
// lines), and the path rows of the simulator's arrays.
#include "../../ip/ipshow_rvzpath.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char *kArray = "192.0.2.31";
constexpr size_t kBox = ZRK_BOXID_LEN;

std::string Bytes(const void *data, size_t size) {
    return std::string(static_cast<const char *>(data), size);
}

// A BoxID entry as the query writes it: the text, zero padded to 40 bytes.
std::string Entry(const std::string &text) {
    std::string entry = text.substr(0, std::min(text.size(), kBox));
    entry.resize(kBox, '\0');
    return entry;
}

std::string Row(const std::string &box, int columns) {
    std::string row = box;
    for (int i = 1; i < columns; ++i) row += "\t" + std::to_string(i);
    return row;
}

class IpShowRvzPathTest : public iptest::ServiceTest {};

TEST_F(IpShowRvzPathTest, RefusedReplies) {
    std::string tooMany = "00\n0\n4\n";
    for (int i = 0; i < 4; ++i) tooMany += Row("BOX", 7) + "\n";
    struct Shape {
        const char *what;
        std::string reply;
        int error;
    } shapes[] = {
        {"status line only", "00", 902},
        {"no count line", "00\n3", 902},
        {"array error", "02\n5310", 0x15310},
        {"status beyond 32 bits", "100000000\n0\n0", 900},
        {"leading newline", "\n00\n0\n0", 904},
        {"count beyond 32 bits", "00\n0\n100000000", 900},
        {"rows announced, lines missing", "00\n0\n3\n" + Row("A", 7) + "\n" + Row("B", 7), 902},
        {"row of 6 columns", "00\n0\n1\n" + Row("A", 6), 902},
        {"row of 6 columns and a trailing TAB", "00\n0\n1\n" + Row("A", 6) + "\t", 902},
        {"empty row line", "00\n0\n1\n", 902},
        {"more rows than the room", tooMany, 902},
    };
    for (const Shape &shape : shapes) {
        char boxes[3 * kBox];
        std::memset(boxes, 0xEE, sizeof boxes);
        int count = -7;
        service.reply(shape.reply);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ShowRvzPath(kArray, nullptr, &count, boxes, 3)) << shape.what;
        EXPECT_EQ(shape.error, ZRKerrno) << shape.what;
        // Nothing reaches the caller from a refused reply.
        EXPECT_EQ(-7, count) << shape.what;
        EXPECT_EQ(std::string(sizeof boxes, '\xEE'), Bytes(boxes, sizeof boxes)) << shape.what;
        // The same text read directly gives the same answer.
        ZRKerrno = 0;
        EXPECT_EQ(-1, zrkip::ParseRvzPathText(shape.reply.c_str(), &count, boxes, 3)) << shape.what;
        EXPECT_EQ(shape.error, ZRKerrno) << shape.what;
    }
    EXPECT_EQ(std::size(shapes), service.commands().size());
}

TEST_F(IpShowRvzPathTest, RowsByteForByte) {
    ASSERT_EQ(0, ZRKC_Com_OpenTrace(1002));
    const std::string full = "0123456789ABCDEFGHIJ0123456789ABCDEFGHIJ";
    service.reply("00\nignored\t5\n3\n" + Row("BOX-SHORT-12", 7) + "\n" + Row(full + "XYZ", 9) +
                  "\n" + Row("BOX-SHORT-12", 7) + "\n");
    char boxes[5 * kBox];
    std::memset(boxes, 0xEE, sizeof boxes);
    int count = -1;
    ASSERT_EQ(0, ShowRvzPath(kArray, "user", &count, boxes, 5)) << ZRKerrno;
    ZRKC_Com_CloseTrace();
    EXPECT_EQ(3, count);
    // The same array twice (two paths), a BoxID cut to 40 bytes without a
    // terminator, and the entries past the rows untouched.
    EXPECT_EQ(Entry("BOX-SHORT-12") + full + Entry("BOX-SHORT-12") +
                  std::string(2 * kBox, '\xEE'),
              Bytes(boxes, sizeof boxes));
    EXPECT_EQ((std::vector<std::string>{"show rvz-path"}), service.commands());
    const std::string trace = root.traceText();
    EXPECT_NE(std::string::npos, trace.find("ShowRvzPath : cpIPaddress=[192.0.2.31]"));
    EXPECT_NE(std::string::npos, trace.find("ShowRvzPath : 8 - default"));
    EXPECT_NE(std::string::npos, trace.find("INFO : ShowRvzPath : END(ret=0, ZRKerrno="));
}

TEST_F(IpShowRvzPathTest, CountsAndRoom) {
    struct Case {
        const char *what;
        std::string reply;
        size_t room;
        int rc;
        int count;          // -1: untouched
    } cases[] = {
        {"no paths", "00\n5\n0", 1, 0, 0},
        {"no paths, trailing newline", "00\n5\n0\n", 0, 0, 0},
        {"as many rows as the room", "00\n0\n2\n" + Row("A", 7) + "\n" + Row("B", 7), 2, 0, 2},
        {"one row more than the room", "00\n0\n2\n" + Row("A", 7) + "\n" + Row("B", 7), 1, -1, -1},
        {"room 0 with a row", "00\n0\n1\n" + Row("A", 7), 0, -1, -1},
    };
    for (const Case &c : cases) {
        char boxes[3 * kBox];
        std::memset(boxes, 0xEE, sizeof boxes);
        int count = -1;
        EXPECT_EQ(c.rc, zrkip::ParseRvzPathText(c.reply.c_str(), &count, boxes, c.room)) << c.what;
        EXPECT_EQ(c.count, count) << c.what;
        if (c.count <= 0) {
            EXPECT_EQ(std::string(sizeof boxes, '\xEE'), Bytes(boxes, sizeof boxes));
        }
    }
    // A reply of 256 rows never fits: the remote list counts in one byte.
    std::string many = "00\n0\n100\n";
    for (int i = 0; i < 256; ++i) many += Row("R" + std::to_string(i), 7) + "\n";
    std::vector<char> boxes(300 * kBox, '\xEE');
    int count = -1;
    EXPECT_EQ(-1, zrkip::ParseRvzPathText(many.c_str(), &count, boxes.data(), 300));
    EXPECT_EQ(902, ZRKerrno);
    // Missing outputs: refused before anything is sent.
    EXPECT_EQ(-1, ShowRvzPath(kArray, nullptr, nullptr, boxes.data(), 1));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(-1, ShowRvzPath(kArray, nullptr, &count, nullptr, 1));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_TRUE(service.commands().empty());
}

// ---- the simulator's paths ---------------------------------------------------------------

// A1 reaches B1 by two paths and C1 by one; B1 offers no RVZ.
const std::string kScenario =
    "array A1 boxid=\"BOX-A1\" address=10.0.1.5 support=" + iptest::SupportHex({}) +
    " remotes=B1,C1,B1\n"
    "array B1 boxid=\"BOX-B1\" address=10.0.1.6 support=" + iptest::SupportHex({{31, 0}}) + "\n"
    "array C1 boxid=\"BOX-C1\" address=10.0.1.7 support=" + iptest::SupportHex({}) +
    " remotes=A1\n"
    "user admin secret\n";

class IpShowRvzPathSim : public iptest::LanSimTest {
protected:
    IpShowRvzPathSim()
        : LanSimTest(kScenario, {"10.0.1.5", "10.0.1.6", "10.0.1.7"}, iptest::LanTrace::kRootDefault) {}
};

TEST_F(IpShowRvzPathSim, PathRowsOfTheArrays) {
    struct Case {
        const char *ip;
        int rc;
        int error;
        std::vector<std::string> boxes;
    } cases[] = {
        {"10.0.1.5", 0, 0, {"BOX-B1", "BOX-C1", "BOX-B1"}},
        {"10.0.1.7", 0, 0, {"BOX-A1"}},
        {"10.0.1.6", -1, 0x15306, {}},
    };
    for (const Case &c : cases) {
        sim.commandOk("clearlanlog");
        char boxes[4 * kBox];
        std::memset(boxes, 0xEE, sizeof boxes);
        int count = -1;
        ZRKerrno = 0;
        EXPECT_EQ(c.rc, ShowRvzPath(c.ip, nullptr, &count, boxes, 4)) << c.ip;
        EXPECT_EQ(c.error, ZRKerrno) << c.ip;
        std::string expected;
        for (const std::string &b : c.boxes) expected += iptest::PaddedBox(b);
        expected.resize(sizeof boxes, '\xEE');
        EXPECT_EQ(expected, Bytes(boxes, sizeof boxes)) << c.ip;
        EXPECT_EQ(c.rc == 0 ? static_cast<int>(c.boxes.size()) : -1, count) << c.ip;
        EXPECT_EQ((std::vector<std::string>{"show rvz-path"}), iptest::LanCommands(sim)) << c.ip;
    }
}

}  // namespace
