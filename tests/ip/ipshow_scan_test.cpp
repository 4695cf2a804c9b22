// The show-reply scanner: each column kind, the column count of a line, the
// scan of a line by a table, and the head of a reply (status and count).
#include "../../ip/ipshow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using zrkip::Column;
using zrkip::Kind;

TEST(ShowScan, HexColumns) {
    struct Case {
        const char *text;
        int rc;
        uint64_t value;
        int err;
    };
    const Case cases[] = {
        {"ABC", 0, 0xABC, 0},
        {"abc", 0, 0xABC, 0},
        {"GHI", 0, 0, 0},
        {"5G", 0, 5, 0},
        {"", 0, 0, 0},
        {"  1f", 0, 0x1F, 0},
        {"0x1F", 0, 0x1F, 0},
        {"0X1f", 0, 0x1F, 0},
        {"0x", 0, 0, 0},
        {"0xg", 0, 0, 0},
        {"+10", 0, 0x10, 0},
        {"-1", 0, UINT64_MAX, 0},
        {"FFFFFFFFFFFFFFFF", 0, UINT64_MAX, 0},
        {"00000000000000000001", 0, 1, 0},
        {"10000000000000000", -1, 0, 900},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        uint64_t v = 123;
        EXPECT_EQ(c.rc, zrkip::ReadHex(c.text, &v)) << c.text;
        EXPECT_EQ(c.value, v) << c.text;
        EXPECT_EQ(c.err, ZRKerrno) << c.text;
    }
}

TEST(ShowScan, HexStopsAtTheColumnEnd) {
    const char text[] = "12345";
    uint64_t v = 0;
    EXPECT_EQ(0, zrkip::ReadHex(std::string_view(text, 2), &v));
    EXPECT_EQ(0x12u, v);
}

TEST(ShowScan, SplitHexColumns) {
    struct Case {
        const char *text;
        int rc;
        uint32_t high;
        uint32_t low;
    };
    const Case cases[] = {
        {"", 0, 0, 0},
        {"1", 0, 0, 1},
        {"12345678", 0, 0, 0x12345678},
        {"123456789A", 0, 0x12, 0x3456789A},
        {"FFFFFFFFFFFFFFFF", 0, 0xFFFFFFFF, 0xFFFFFFFF},
        {"0000000100000002", 0, 1, 2},
        {"ZZ00000010", 0, 0, 0x10},
        {"12345678901234567", -1, 0, 0},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        uint32_t high = 7;
        uint32_t low = 7;
        EXPECT_EQ(c.rc, zrkip::ReadHex64(c.text, &high, &low)) << c.text;
        EXPECT_EQ(c.high, high) << c.text;
        EXPECT_EQ(c.low, low) << c.text;
        EXPECT_EQ(c.rc == 0 ? 0 : 900, ZRKerrno) << c.text;
    }
}

TEST(ShowScan, TextColumns) {
    struct Case {
        const char *text;
        std::vector<uint8_t> field;
    };
    const Case cases[] = {
        {"", {0, 0, 0, 0}},
        {"AB", {'A', 'B', 0, 0}},
        {"ABCD", {'A', 'B', 'C', 'D'}},
        {"ABCDEF", {'A', 'B', 'C', 'D'}},
    };
    for (const Case &c : cases) {
        uint8_t field[5] = {9, 9, 9, 9, 9};
        zrkip::CopyText(c.text, field, 4);
        EXPECT_EQ(c.field, std::vector<uint8_t>(field, field + 4)) << c.text;
        EXPECT_EQ(9, field[4]) << c.text;
    }
}

TEST(ShowScan, DateTimeColumns) {
    struct Case {
        std::string_view text;
        std::vector<uint8_t> bytes;
    };
    const char tail[] = "20249999999999999999";
    const Case cases[] = {
        {"2024061512304500", {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x45, 0x00}},
        {"2024061512304512", {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x45, 0x12}},
        {"20240615123045001234", {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x45, 0x00}},
        {"2024-6-15", {0x20, 0x24, 0x06, 0x01, 0x50, 0, 0, 0}},
        {"ABCDEFGHIJKLMNOP", {0, 0, 0, 0, 0, 0, 0, 0}},
        {"202406", {0x20, 0x24, 0x06, 0, 0, 0, 0, 0}},
        {"2", {0x20, 0, 0, 0, 0, 0, 0, 0}},
        {"", {0, 0, 0, 0, 0, 0, 0, 0}},
        // A short column is never read past its end.
        {std::string_view(tail, 4), {0x20, 0x24, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        uint8_t field[8];
        std::memset(field, 0xEE, sizeof field);
        zrkip::PackDateTime(c.text, field);
        EXPECT_EQ(c.bytes, std::vector<uint8_t>(field, field + 8)) << c.text;
    }
}

TEST(ShowScan, StatusAndCountLines) {
    struct Case {
        const char *line;
        int rc;
        uint32_t value;
    };
    const Case cases[] = {
        {"0", 0, 0},
        {"1f", 0, 0x1F},
        {"FFFFFFFF", 0, 0xFFFFFFFF},
        {"100000000", -1, 0},
        {"-1", -1, 0},
        {"", 0, 0},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        uint32_t v = 5;
        EXPECT_EQ(c.rc, zrkip::ReadHex32Line(c.line, &v)) << c.line;
        EXPECT_EQ(c.value, v) << c.line;
        EXPECT_EQ(c.rc == 0 ? 0 : 900, ZRKerrno) << c.line;
    }
}

TEST(ShowScan, ColumnCounts) {
    struct Case {
        const char *line;
        std::vector<std::string> columns;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\t", {"a"}},
        {"\t", {""}},
        {"\ta", {"", "a"}},
        {"a\t\tb", {"a", "", "b"}},
        {"a\tb\t", {"a", "b"}},
        {"a\tb\t\t", {"a", "b", ""}},
    };
    for (const Case &c : cases) {
        zrkip::ColumnScanner scan(c.line);
        std::vector<std::string> got;
        std::string_view column;
        while (scan.Next(&column)) got.emplace_back(column);
        EXPECT_EQ(c.columns, got) << c.line;
        EXPECT_EQ(c.columns.size(), scan.Count()) << c.line;
        EXPECT_EQ(c.columns.size(), zrkip::CountColumns(c.line)) << c.line;
    }
}

struct Probe {
    uint8_t  ucByte;          // col 0
    uint8_t  ucaPad[1];
    uint16_t usHalf;          // col 1
    uint32_t uiWord;          // col 2
    uint32_t uiBig_high;      // col 3
    uint32_t uiBig_low;       // col 3
    uint8_t  ucaName[6];      // col 4
    uint8_t  ucaTime[8];      // col 5
    uint8_t  ucaPad2[2];
};

const Column kProbe[] = {
    ZRK_SHOW_HEX8(Probe, ucByte),
    ZRK_SHOW_HEX16(Probe, usHalf),
    ZRK_SHOW_HEX32(Probe, uiWord),
    ZRK_SHOW_HEX64(Probe, uiBig_high, uiBig_low),
    ZRK_SHOW_TEXT(Probe, ucaName),
    ZRK_SHOW_DATETIME(Probe, ucaTime),
    ZRK_SHOW_SKIP(),
};

const zrkip::Table kProbeTable = {"Probe", kProbe, 7, sizeof(Probe), 5, nullptr, nullptr};

TEST(ShowScan, RecordByTable) {
    Probe p;
    std::memset(&p, 0xAA, sizeof p);
    ASSERT_EQ(0, zrkip::ScanRecord(kProbeTable,
                                     "1FF\t12345\t123456789\t1122334455\tNAMELONG\t2024061512304599"
                                     "\tskipped\textra\tmore",
                                     &p));
    Probe want;
    std::memset(&want, 0, sizeof want);
    want.ucByte = 0xFF;
    want.usHalf = 0x2345;
    want.uiWord = 0x23456789;
    want.uiBig_high = 0x11;
    want.uiBig_low = 0x22334455;
    std::memcpy(want.ucaName, "NAMELO", 6);
    const uint8_t time[8] = {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x45, 0x99};
    std::memcpy(want.ucaTime, time, 8);
    EXPECT_EQ(0, std::memcmp(&want, &p, sizeof p));
}

TEST(ShowScan, RecordShapes) {
    struct Case {
        const char *line;
        int rc;
        int err;
    };
    const Case cases[] = {
        {"1\t2\t3\t4\t5", 0, 0},
        {"1\t2\t3\t4\t5\t", 0, 0},
        {"1\t2\t3\t4", -1, 902},
        {"1\t2\t3\t4\t", -1, 902},
        {"", -1, 902},
        {"\t\t\t\t\t", 0, 0},
        {"\t\t\t\t", -1, 902},
        {"1\t2\t3\t12345678901234567\t5", -1, 900},
        {"1\t2\t10000000000000000\t4\t5", -1, 900},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        Probe p;
        EXPECT_EQ(c.rc, zrkip::ScanRecord(kProbeTable, c.line, &p)) << c.line;
        EXPECT_EQ(c.err, ZRKerrno) << c.line;
    }
}

TEST(ShowScan, ReplyHeads) {
    struct Case {
        const char *text;
        int rc;
        int err;
        uint32_t records;
    };
    const Case cases[] = {
        {"0\n0", 0, 0, 0},
        {"0\n0\n", 0, 0, 0},
        {"0\n2\na\nb", 0, 0, 2},
        {"0\n2\na\nb\n", 0, 0, 2},
        {"0\n3\na\nb", -1, 902, 3},
        {"0", -1, 902, 0},
        {"1", -1, 902, 0},
        {"2\n5310", -1, 0x15310, 0},
        {"1\n5310", -1, 904, 0},
        {"2\n0", -1, 904, 0},
        {"2\n", -1, 904, 0},
        {"100000000\n0", -1, 900, 0},
        {"0\n100000000", -1, 900, 0},
        {"0\nFFFFFFFF", -1, 902, 0xFFFFFFFF},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        zrkip::Reply reply;
        ASSERT_EQ(0, reply.Split(c.text)) << c.text;
        uint32_t records = 9;
        EXPECT_EQ(c.rc, reply.Head("Probe", &records)) << c.text;
        EXPECT_EQ(c.err, ZRKerrno) << c.text;
        EXPECT_EQ(c.records, records) << c.text;
    }
}

TEST(ShowScan, EmptyRepliesDoNotSplit) {
    for (const char *text : {"", "\n0\n0"}) {
        ZRKerrno = 0;
        zrkip::Reply reply;
        EXPECT_EQ(-1, reply.Split(text));
        EXPECT_EQ(904, ZRKerrno);
    }
}

TEST(ShowScan, JoinedNumbers) {
    std::string list;
    const int numbers[] = {12, 13, 40, -1};
    ASSERT_TRUE(zrkip::JoinNumbers(numbers, 4, &list));
    EXPECT_EQ("12,13,40,-1", list);
    ASSERT_TRUE(zrkip::JoinNumbers(numbers, 0, &list));
    EXPECT_EQ("", list);
    // 1024 numbers of 4 digits and their commas fill 5119 characters.
    std::vector<int> fits(1024, 1000);
    ASSERT_TRUE(zrkip::JoinNumbers(fits.data(), fits.size(), &list));
    EXPECT_EQ(5119u, list.size());
    fits.push_back(1);
    ZRKerrno = 0;
    EXPECT_FALSE(zrkip::JoinNumbers(fits.data(), fits.size(), &list));
    EXPECT_EQ(923, ZRKerrno);
}

}  // namespace
