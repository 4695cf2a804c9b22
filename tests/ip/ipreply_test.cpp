// The array reply format: line counting and splitting, judgement of failed
// replies, and the mapping of array error codes with and without catalogue
// lines.
#include "../../ip/iplink.h"
#include "install_root.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Split a reply the way every command reads it; empty on failure.
std::vector<std::string> split(const char *reply, int *rc) {
    int count = 0;
    *rc = IPGetLineNumFromData(reply, &count);
    if (*rc != 0) return {};
    std::vector<char *> lines(static_cast<size_t>(count), nullptr);
    *rc = IPSplitDataByLine(reply, &count, lines.data());
    std::vector<std::string> out;
    for (char *line : lines) {
        if (line != nullptr) out.emplace_back(line);
        std::free(line);
    }
    if (*rc == 0) {
        EXPECT_EQ(static_cast<size_t>(count), out.size());
    }
    return out;
}

TEST(IpReply, LineCounts) {
    struct Case {
        const char *reply;
        int rc;
        int count;
    } cases[] = {
        {"0", 0, 1},          {"0\n", 0, 2},       {"01\n9403\n", 0, 3},
        {"\n", 0, 1},         {"\nabc", 0, 1},     {"a\n\nb", 0, 3},
        {"a\r\nb", 0, 2},     {"", -1, 0},
    };
    for (const Case &c : cases) {
        int count = -7;
        ZRKerrno = 0;
        EXPECT_EQ(IPGetLineNumFromData(c.reply, &count), c.rc) << c.reply;
        EXPECT_EQ(count, c.count) << c.reply;
        if (c.rc != 0) {
            EXPECT_EQ(ZRKerrno, 904);
        }
    }
}

TEST(IpReply, Splitting) {
    struct Case {
        const char *reply;
        int rc;
        std::vector<std::string> lines;
    } cases[] = {
        {"0", 0, {"0"}},
        {"0\n", 0, {"0", ""}},
        {"01\n9403\n", 0, {"01", "9403", ""}},
        {"00\n1\n0\t0\t1A", 0, {"00", "1", "0\t0\t1A"}},
        {"a\r\nb", 0, {"a\r", "b"}},
        {"\nabc", -1, {}},
        {"\n", -1, {}},
        {"", -1, {}},
    };
    for (const Case &c : cases) {
        int rc = 0;
        ZRKerrno = 0;
        EXPECT_EQ(split(c.reply, &rc), c.lines) << c.reply;
        EXPECT_EQ(rc, c.rc) << c.reply;
        if (c.rc != 0) {
            EXPECT_EQ(ZRKerrno, 904);
        }
    }
}

TEST(IpReply, SplitNeverWritesPastTheCallersArray) {
    // The caller sized its array for two lines; the text has four.
    char *lines[3] = {nullptr, nullptr, nullptr};
    int count = 2;
    EXPECT_EQ(IPSplitDataByLine("a\nb\nc\nd", &count, lines), -1);
    EXPECT_EQ(ZRKerrno, 904);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(lines[0], nullptr);
    EXPECT_EQ(lines[1], nullptr);
    EXPECT_EQ(lines[2], nullptr);
}

TEST(IpReply, SplitWithoutAKnownSizeTakesTheTextsCount) {
    char *lines[3] = {nullptr, nullptr, nullptr};
    int count = 0;
    ASSERT_EQ(IPSplitDataByLine("a\nb\n", &count, lines), 0);
    EXPECT_EQ(count, 3);
    EXPECT_STREQ(lines[2], "");
    for (char *line : lines) std::free(line);
}

// ZRKerrno after judging a reply whose status is not 0.
int judged(const char *reply) {
    int rc = 0;
    std::vector<std::string> text = split(reply, &rc);
    EXPECT_EQ(rc, 0) << reply;
    std::vector<char *> lines;
    for (std::string &s : text) lines.push_back(s.data());
    uint32_t status = 0;
    EXPECT_EQ(IPReadHex(lines[0], &status), 0);
    ZRKerrno = 0;
    IPSet_ZRKerrno(static_cast<int>(status), lines.data(), static_cast<int>(lines.size()));
    return ZRKerrno;
}

TEST(IpReply, FailedReplies) {
    zrktest::InstallRoot root;
    struct Case {
        const char *reply;
        int err;
    } cases[] = {
        {"01\n9403\nmsg\n", 0x19403},
        {"01\n9403\nmsg\nmore\n", 0x19403},
        {"01\n9403\n", 904},
        {"01\n9403\na\nb\nc\nd", 904},
        {"02\n5200", 0x15200},
        {"02\n5332", 0x15200},
        {"02\n0070", 0x15360},
        {"02\n  5310", 0x15310},
        {"02\n5310\n", 904},
        {"03\n5200", 904},
        {"02\n10000000000000000", 900},
        {"02\nFFFFFFFFFFFFFFFF", 1},  // taken as 32 bits: 0xFFFFFFFF, negated
        {"02\n530A", -0x530A},
    };
    for (const Case &c : cases) EXPECT_EQ(judged(c.reply), c.err) << c.reply;
}

TEST(IpReply, BuiltInTable) {
    // Every code of the table, in the order it is written down.
    const std::vector<std::pair<uint32_t, uint32_t>> ranges = {
        {0x0001, 0x0008}, {0x0010, 0x0010}, {0x0020, 0x0020}, {0x0060, 0x0060},
        {0x0070, 0x0070}, {0x0072, 0x0073}, {0x0080, 0x0080}, {0x0094, 0x0094},
        {0x0098, 0x0098}, {0x0101, 0x0101}, {0x0110, 0x0110}, {0x0118, 0x0118},
        {0x0120, 0x0120}, {0x0142, 0x0142}, {0x0151, 0x0159}, {0x5100, 0x5100},
        {0x5200, 0x5201}, {0x5300, 0x5309}, {0x5310, 0x5319}, {0x5320, 0x5320},
        {0x5323, 0x5325}, {0x5327, 0x5329}, {0x5330, 0x5339}, {0x5340, 0x5341},
        {0x5346, 0x5349}, {0x5350, 0x5359}, {0x5360, 0x5369}, {0x5370, 0x5379},
        {0x5380, 0x5389}, {0x5390, 0x5395}, {0x5400, 0x5402}, {0x6007, 0x6007},
        {0x9403, 0x9403}, {0xBE00, 0xBE01}, {0xD801, 0xD801},
    };
    size_t total = 0;
    for (auto [first, last] : ranges) {
        for (uint32_t code = first; code <= last; ++code) {
            ++total;
            int expected = static_cast<int>(0x10000 + code);
            if (code == 0x0070) expected = 0x15360;
            if (code == 0x5332) expected = 0x15200;
            EXPECT_EQ(IPArrayErrorValue(code), expected) << std::hex << code;
        }
    }
    EXPECT_EQ(total, 131u);
    for (uint32_t code : {0x0000u, 0x0009u, 0x530Au, 0x530Fu, 0x5321u, 0x5326u, 0x5342u,
                          0x5396u, 0x10001u, 0x19403u}) {
        EXPECT_EQ(IPArrayErrorValue(code), 0) << std::hex << code;
    }
}

TEST(IpReply, CatalogueMapsCodesOutsideTheTable) {
    zrktest::InstallRoot root;
    root.write("bin/.zrk_errinf_wxapi", "# test catalogue\n"
                                        "0x20500\ttext\t-\t0x1234\n"
                                        "0x20600\tother\t-\t0x5200\n");
    struct Case {
        int code;
        int err;
    } cases[] = {
        {0x1234, 0x20500},   // catalogue line
        {0x5200, 0x15200},   // the table wins over the catalogue
        {0x1235, -0x1235},   // nothing maps it
        {INT_MIN, INT_MIN},  // minus the code, without overflow
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        IPSet_ZRKerrno_main(c.code);
        EXPECT_EQ(ZRKerrno, c.err) << std::hex << c.code;
    }
}

TEST(IpReply, WithoutACatalogueUnknownCodesAreNegated) {
    zrktest::InstallRoot root;
    std::remove((root.bin() + "/.zrk_errinf_wxapi").c_str());
    ZRKerrno = 0;
    IPSet_ZRKerrno_main(0x1234);
    EXPECT_EQ(ZRKerrno, -4660);
    IPSet_ZRKerrno_main(0x9403);
    EXPECT_EQ(ZRKerrno, 0x19403);
}

TEST(IpReply, HexadecimalNumbers) {
    struct Case {
        const char *text;
        int rc;
        uint64_t value;
    } cases[] = {
        {"2F", 0, 0x2F},
        {"  1a\t", 0, 0x1A},
        {"00000000000000001", 0, 1},
        {"FFFFFFFFFFFFFFFF", 0, UINT64_MAX},
        {"10000000000000000", -1, 0},
        {"", 0, 0},
        {"x1", 0, 0},
        {"12g4", 0, 0x12},
        {nullptr, 0, 0},
    };
    for (const Case &c : cases) {
        uint64_t v64 = 99;
        ZRKerrno = 0;
        EXPECT_EQ(IPReadHex64(c.text, &v64), c.rc) << (c.text ? c.text : "null");
        EXPECT_EQ(v64, c.value);
        if (c.rc != 0) {
            EXPECT_EQ(ZRKerrno, 900);
        }
        uint32_t v32 = 99;
        EXPECT_EQ(IPReadHex(c.text, &v32), c.rc);
        EXPECT_EQ(v32, static_cast<uint32_t>(c.value));
    }
}

}  // namespace
