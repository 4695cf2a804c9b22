// "show copy-sessions": the command texts on the wire (through a loopback
// stand-in of the LAN service), the conversion of a reply line into a
// CliCopySession, the placement of rows by order and by list position, and
// the replies that are refused.
#include "../../ip/ipshow.h"
#include "corpus.h"
#include "ipsim_support.h"
#include "lan_fixture.h"

#include "platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

using iptest::ShowReply;
using iptest::TabLine;

constexpr const char *kArray = "192.0.2.10";

// A line of n columns: the session identifier in column 0, type 2 in column
// 2, and "1" in every other column.
std::vector<std::string> Columns(const std::string &id, size_t n = 40) {
    std::vector<std::string> cols(n, "1");
    cols[0] = id;
    if (n > 2) cols[2] = "2";
    return cols;
}

CliCopySession Filler() {
    CliCopySession row;
    std::memset(&row, 0xCD, sizeof row);
    return row;
}

bool Untouched(const CliCopySession &row) {
    const CliCopySession f = Filler();
    return std::memcmp(&f, &row, sizeof row) == 0;
}

int Parse(const std::string &text, int option, const std::vector<int> &list, int *count,
          CliCopySession *rows, size_t room) {
    ZRKerrno = 0;
    return zrkip::ParseCopySessionsText(text.c_str(), option, list.data(), list.size(), count,
                                          rows, room);
}

// ---- conversions ------------------------------------------------------------------

TEST(ShowCopySessions, RowConvertsByteForByte) {
    std::vector<std::string> cols = {
        "1A", "2B", "2", "A2", "FF", "5", "6", "7", "8", "109", "ABCDEF01", "SRCBOX",
        "0123456789012345678901234567890123456789XYZ", "10", "20", "3", "E1", "11",
        "123456789A", "1", "FFFFFFFF00000000", "200000000", "22", "23", "DEADBEEF",
        "2024061512304500", "1", "27", "28", "29", "300000001", "31", "", "33", "34", "64",
        "36", "1", "38", "39"};
    ASSERT_EQ(40u, cols.size());
    CliCopySession rows[1] = {Filler()};
    int count = -1;
    ASSERT_EQ(0, Parse(ShowReply({TabLine(cols)}), 0, {}, &count, rows, 1)) << ZRKerrno;
    EXPECT_EQ(1, count);

    CliCopySession want;
    std::memset(&want, 0, sizeof want);
    want.uiSessionID = 0x1A;
    want.uiSessionID2 = 0x2B;
    want.ucSessionType = 2;
    want.ucAttr = 0xA1;
    want.ucAttr2 = 0x17;
    want.ucColumn5 = 5;
    want.ucPhase = 6;
    want.ucSessionStatus = 7;
    want.ucColumn8 = 8;
    want.ucColumn9 = 9;
    want.uiLapseTime = 0xABCDEF01;
    std::memcpy(want.ucaSrcBoxID, "SRCBOX", 6);
    std::memcpy(want.ucaDstBoxID, "0123456789012345678901234567890123456789", 40);
    want.uiSrcOLU = 0x10;
    want.uiDstOLU = 0x20;
    want.uiExtentCnt = 3;
    want.ucErrorCode = 0xE1;
    want.ucColumn17 = 0x11;
    want.uiCopiedBlock_high = 0x12;
    want.uiCopiedBlock_low = 0x3456789A;
    want.uiSrcExtAddr_low = 1;
    want.uiDstExtAddr_high = 0xFFFFFFFF;
    want.uiSize_high = 2;
    want.ucColumn22 = 0x22;
    want.ucColumn23 = 0x23;
    want.uiColumn24 = 0xDEADBEEF;
    const uint8_t time[8] = {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x45, 0x00};
    std::memcpy(want.ucaStartTime, time, 8);
    want.ucUsable = 1;
    want.ucColumn27 = 0x27;
    want.uiColumn28 = 0x28;
    want.uiColumn29 = 0x29;
    want.uiColumn30_high = 3;
    want.uiColumn30_low = 1;
    want.uiColumn31_low = 0x31;
    want.uiColumn33 = 0x33;
    want.uiColumn34 = 0x34;
    want.uiCopyProgress = 0x64;
    want.ucColumn36 = 0x36;
    want.ucSupportInfo = 1;
    want.ucColumn38 = 0x38;
    want.ucColumn39 = 0x39;
    EXPECT_EQ(0, std::memcmp(&want, &rows[0], sizeof want));
}

TEST(ShowCopySessions, AttributeBits) {
    struct Case {
        const char *attr;
        const char *attr2;
        uint8_t ucAttr;
        uint8_t ucAttr2;
    };
    const Case cases[] = {
        {"0", "0", 0x00, 0x00},
        {"1", "1", 0x01, 0x01},
        {"2", "2", 0x01, 0x02},
        {"3", "4", 0x01, 0x04},
        {"4", "8", 0x00, 0x00},
        {"80", "10", 0x80, 0x10},
        {"F8", "E0", 0xF8, 0x00},
        {"FF", "FF", 0xF9, 0x17},
    };
    for (const Case &c : cases) {
        std::vector<std::string> cols = Columns("5");
        cols[3] = c.attr;
        cols[4] = c.attr2;
        CliCopySession row = Filler();
        int count = 0;
        ASSERT_EQ(0, Parse(ShowReply({TabLine(cols)}), 0, {}, &count, &row, 1));
        EXPECT_EQ(c.ucAttr, row.ucAttr) << c.attr;
        EXPECT_EQ(c.ucAttr2, row.ucAttr2) << c.attr2;
    }
}

TEST(ShowCopySessions, CopyMonitorHasNoDestination) {
    struct Case {
        const char *attr;
        uint32_t ext;
    };
    for (const Case &c : {Case{"80", 0u}, Case{"0", 0xFFFFFFFFu}}) {
        std::vector<std::string> cols = Columns("5");
        cols[2] = "3";
        cols[3] = c.attr;
        cols[12] = "DSTBOX";
        cols[14] = "44";
        cols[20] = "123456789";
        cols[13] = "33";
        CliCopySession row = Filler();
        int count = 0;
        ASSERT_EQ(0, Parse(ShowReply({TabLine(cols)}), 0, {}, &count, &row, 1));
        uint8_t ff[ZRK_BOXID_LEN];
        std::memset(ff, 0xFF, sizeof ff);
        EXPECT_EQ(0, std::memcmp(ff, row.ucaDstBoxID, sizeof ff));
        EXPECT_EQ(0xFFFFFFFFu, row.uiDstOLU);
        EXPECT_EQ(c.ext, row.uiDstExtAddr_high);
        EXPECT_EQ(c.ext, row.uiDstExtAddr_low);
        EXPECT_EQ(0x33u, row.uiSrcOLU);
    }
}

TEST(ShowCopySessions, OptionalAndExtraColumns) {
    struct Case {
        size_t columns;
        bool trailingTab;
        int rc;
        uint32_t progress;
        uint8_t col39;
    };
    const Case cases[] = {
        {34, false, -1, 0, 0},
        {34, true, -1, 0, 0},
        {35, false, 0, 0, 0},
        {35, true, 0, 0, 0},
        {36, false, 0, 1, 0},
        {39, false, 0, 1, 0},
        {40, false, 0, 1, 1},
        {41, false, 0, 1, 1},
        {45, true, 0, 1, 1},
    };
    for (const Case &c : cases) {
        std::string line = TabLine(Columns("5", c.columns));
        if (c.trailingTab) line += '\t';
        CliCopySession row = Filler();
        int count = 0;
        EXPECT_EQ(c.rc, Parse(ShowReply({line}), 0, {}, &count, &row, 1)) << c.columns;
        EXPECT_EQ(c.rc == 0 ? 0 : 902, ZRKerrno) << c.columns;
        if (c.rc != 0) continue;
        EXPECT_EQ(c.progress, row.uiCopyProgress) << c.columns;
        EXPECT_EQ(c.col39, row.ucColumn39) << c.columns;
        EXPECT_EQ(c.columns >= 39 ? 1 : 0, row.ucColumn38) << c.columns;
    }
}

// ---- reply shapes ---------------------------------------------------------------

TEST(ShowCopySessions, ReplyShapes) {
    const std::string good = TabLine(Columns("5"));
    std::vector<std::string> longHex = Columns("5");
    longHex[18] = "12345678901234567";
    std::vector<std::string> bigNumber = Columns("5");
    bigNumber[13] = "10000000000000000";
    struct Case {
        std::string text;
        int rc;
        int err;
        int count;
    };
    const Case cases[] = {
        {"0\n0", 0, 0, 0},
        {"0\n0\n", 0, 0, 0},
        {"0\n1\n" + good, 0, 0, 1},
        {"0\n1\n" + good + "\n", 0, 0, 1},
        {"0\n2\n" + good + "\n" + good, 0, 0, 2},
        {"0", -1, 902, 0},
        {"5", -1, 902, 0},
        {"0\n2\n" + good, -1, 902, 2},
        {"0\n1\n", -1, 902, 1},
        {"0\n1", -1, 902, 1},
        {"0\n3\n" + good + "\n" + good + "\n" + good, -1, 902, 3},  // more than the room
        {"2\n5310", -1, 0x15310, 0},
        {"1\n5310", -1, 904, 0},
        {"100000000\n0", -1, 900, 0},
        {"0\n100000000\n" + good, -1, 900, 0},
        {"0\n1\n" + TabLine(longHex), -1, 900, 1},
        {"0\n1\n" + TabLine(bigNumber), -1, 900, 1},
        {"", -1, 904, 0},
        {"\n0\n0", -1, 904, 0},
    };
    for (const Case &c : cases) {
        CliCopySession rows[2] = {Filler(), Filler()};
        int count = -1;
        EXPECT_EQ(c.rc, Parse(c.text, 0, {}, &count, rows, 2)) << c.text;
        EXPECT_EQ(c.err, ZRKerrno) << c.text;
        EXPECT_EQ(c.count, count) << c.text;
    }
}

TEST(ShowCopySessions, CountBeyondRoomWritesNothing) {
    const std::string good = TabLine(Columns("5"));
    CliCopySession rows[3] = {Filler(), Filler(), Filler()};
    int count = 0;
    EXPECT_EQ(-1, Parse(ShowReply({good, good, good}), 1, {4}, &count, rows, 2));
    EXPECT_EQ(902, ZRKerrno);
    for (const CliCopySession &row : rows) EXPECT_TRUE(Untouched(row));
}

TEST(ShowCopySessions, CountZeroLeavesRows) {
    CliCopySession row = Filler();
    int count = -1;
    EXPECT_EQ(0, Parse("0\n0", 0, {}, &count, &row, 1));
    EXPECT_EQ(0, count);
    EXPECT_TRUE(Untouched(row));
    EXPECT_EQ(0, Parse("0\n0", 0, {}, &count, nullptr, 0));
}

// ---- placement by list position -----------------------------------------------------

TEST(ShowCopySessions, ListedSessionsByPosition) {
    const std::string s7 = TabLine(Columns("7"));
    const std::string s9 = TabLine(Columns("9"));
    const std::string s8 = TabLine(Columns("8"));
    struct Case {
        std::string text;
        int rc;
        int count;
        uint32_t ids[2];   // 0: position left untouched
    };
    const Case cases[] = {
        {ShowReply({s9, s7}), 0, 2, {7, 9}},
        {ShowReply({s7, s9}), 0, 2, {7, 9}},
        {ShowReply({s8, s9, s7}), 0, 2, {7, 9}},
        {ShowReply({s9}), -1, 1, {0, 9}},
        {ShowReply({s9, s9}), -1, 1, {0, 9}},
        {ShowReply({s8}), -1, 0, {0, 0}},
        {ShowReply({}), -1, 0, {0, 0}},
    };
    for (const Case &c : cases) {
        CliCopySession rows[2] = {Filler(), Filler()};
        int count = -1;
        EXPECT_EQ(c.rc, Parse(c.text, 2, {7, 9}, &count, rows, 2)) << c.text;
        EXPECT_EQ(c.rc == 0 ? 0 : 902, ZRKerrno) << c.text;
        EXPECT_EQ(c.count, count) << c.text;
        for (size_t k = 0; k < 2; ++k) {
            if (c.ids[k] == 0) {
                EXPECT_TRUE(Untouched(rows[k])) << c.text << " position " << k;
            } else {
                EXPECT_EQ(c.ids[k], rows[k].uiSessionID) << c.text << " position " << k;
            }
        }
    }
}

TEST(ShowCopySessions, RepeatedListEntryLeavesAHole) {
    const std::string s7 = TabLine(Columns("7"));
    CliCopySession rows[2] = {Filler(), Filler()};
    int count = -1;
    EXPECT_EQ(-1, Parse(ShowReply({s7, s7}), 2, {7, 7}, &count, rows, 2));
    EXPECT_EQ(902, ZRKerrno);
    EXPECT_EQ(1, count);
    EXPECT_EQ(7u, rows[0].uiSessionID);
    EXPECT_TRUE(Untouched(rows[1]));
}

TEST(ShowCopySessions, RemoteSessionMatchesItsSecondIdentifier) {
    struct Case {
        const char *attr;
        const char *attr2;
        int rc;
    };
    const Case cases[] = {
        {"20", "10", 0},    // remote with 0x10: key is column 1 (0x30)
        {"20", "0", -1},    // key is column 0 (0x7)
        {"0", "10", -1},
    };
    for (const Case &c : cases) {
        std::vector<std::string> cols = Columns("7");
        cols[1] = "30";
        cols[3] = c.attr;
        cols[4] = c.attr2;
        CliCopySession row = Filler();
        int count = -1;
        EXPECT_EQ(c.rc, Parse(ShowReply({TabLine(cols)}), 2, {0x30}, &count, &row, 1)) << c.attr;
        if (c.rc == 0) {
            EXPECT_EQ(7u, row.uiSessionID);
            EXPECT_EQ(0x30u, row.uiSessionID2);
        }
    }
}

// ---- over the LAN service ------------------------------------------------------------

class ShowCopySessionsLan : public iptest::ServiceTest {};

TEST_F(ShowCopySessionsLan, CommandTexts) {
    struct Case {
        int option;
        std::vector<int> list;
        int showFlags;
        uint32_t optionFlag;
        std::string command;
    };
    const Case cases[] = {
        {0, {}, 0, 0, "show copy-sessions  "},
        {0, {}, 0x7F, 0, "show copy-sessions  "},
        {1, {5, 17}, 0x80, 0, "show copy-sessions -volume-number 5,17 -mode 128"},
        {1, {5}, 0, 0x80000, "show copy-sessions -volume-number 5 -mode 1"},
        {2, {7, 9}, 0x80, 0x80000, "show copy-sessions -session-id 7,9 -mode 129"},
        {2, {12, 13, 40}, 0, 0, "show copy-sessions -session-id 12,13,40 "},
        {0, {}, 0x80, 0x7FFFF, "show copy-sessions  -mode 128"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) service.reply("0\n0");
    for (const Case &c : cases) {
        ZRKOptionFlag = c.optionFlag;
        CliCopySession rows[3];
        int count = -1;
        const int rc = ShowCopySessions(kArray, nullptr, static_cast<int>(c.list.size()),
                                        c.list.data(), c.option, c.showFlags, &count, rows, 3);
        EXPECT_EQ(c.option == 2 ? -1 : 0, rc) << c.command;
    }
    std::vector<std::string> want;
    for (const Case &c : cases) want.push_back(c.command);
    EXPECT_EQ(want, service.commands());
}

TEST_F(ShowCopySessionsLan, ListedSessionsOverTheLink) {
    service.reply(ShowReply({TabLine(Columns("9")), TabLine(Columns("7"))}));
    const int list[] = {7, 9};
    CliCopySession rows[2] = {Filler(), Filler()};
    int count = -1;
    ASSERT_EQ(0, ShowCopySessions(kArray, nullptr, 2, list, 2, 0, &count, rows, 2)) << ZRKerrno;
    EXPECT_EQ(2, count);
    EXPECT_EQ(7u, rows[0].uiSessionID);
    EXPECT_EQ(9u, rows[1].uiSessionID);
}

TEST_F(ShowCopySessionsLan, ArrayErrorIsMapped) {
    service.reply("2\n5310");
    CliCopySession row;
    int count = -1;
    EXPECT_EQ(-1, ShowCopySessions(kArray, nullptr, 0, nullptr, 0, 0, &count, &row, 1));
    EXPECT_EQ(0x15310, ZRKerrno);
}

TEST_F(ShowCopySessionsLan, RefusedBeforeSending) {
    std::vector<int> longList(1100, 12345);
    const int one[] = {1};
    const int two[] = {1, 2};
    struct Case {
        const char *what;
        int listCount;
        const int *list;
        int option;
        bool withCount;
        size_t room;
        int err;
    };
    const Case cases[] = {
        {"option 2 without numbers", 0, nullptr, 2, true, 1, 13},
        {"option 1 without numbers", 0, nullptr, 1, true, 1, 13},
        {"option 3 without numbers", 0, nullptr, 3, true, 1, 13},
        {"negative count", -1, one, 1, true, 1, 13},
        {"option 3", 1, one, 3, true, 1, 910},
        {"option -1", 1, one, -1, true, 1, 910},
        {"no list", 1, nullptr, 1, true, 1, 13},
        {"no count", 0, nullptr, 0, false, 1, 13},
        {"list beyond the room", 2, two, 2, true, 1, 13},
        {"list too long", static_cast<int>(longList.size()), longList.data(), 1, true, 1, 923},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        CliCopySession row = Filler();
        int count = -1;
        EXPECT_EQ(-1, ShowCopySessions(kArray, nullptr, c.listCount, c.list, c.option, 0,
                                       c.withCount ? &count : nullptr, &row, c.room))
            << c.what;
        EXPECT_EQ(c.err, ZRKerrno) << c.what;
        EXPECT_TRUE(Untouched(row)) << c.what;
    }
    EXPECT_TRUE(service.commands().empty());
}


// ---- trace lines ------------------------------------------------------------------

TEST(ShowCopySessionsTrace, ColumnLines) {
    zrktest::InstallRoot root;
    root.writeTraceDefinition("[TRACEDEFINE]\npath=" + root.traceDir() +
                              "\nsize=512\ngen=2\nmax=4\n[WXAPI]\nlevel=5\n");
    std::vector<std::string> monitor = Columns("5", 42);
    monitor[2] = "3";
    monitor[12] = "DSTBOX";
    monitor[32] = "";
    monitor[11] = std::string(600, 'B');
    const std::string shortLine = TabLine(Columns("6", 34));
    ZRKC_Com_OpenTrace(1001);
    CliCopySession rows[2];
    int count = 0;
    EXPECT_EQ(0, Parse(ShowReply({TabLine(monitor)}), 0, {}, &count, rows, 2));
    EXPECT_EQ(-1, Parse(ShowReply({shortLine}), 0, {}, &count, rows, 2));
    ZRKC_Com_CloseTrace();
    const std::string trace = root.traceText();
    const std::string p = "INFO : ShowCopySessions : ";
    for (const std::string &want :
         {p + "0 - 5", p + "2 - 3", p + "12 - Monitor", p + "14 - Monitor", p + "20 - Monitor",
          p + "32 - NULL", p + "39 - 1", p + "40 - default", p + "41 - default",
          p + "34 - Err", p + "11 - " + std::string(506, 'B')}) {
        EXPECT_NE(std::string::npos, trace.find(want)) << want;
    }
    // The column text is cut to 511 characters of the whole line.
    EXPECT_EQ(std::string::npos, trace.find(p + "11 - " + std::string(507, 'B')));
    EXPECT_EQ(std::string::npos, trace.find("DSTBOX"));
}

// ---- the fuzz corpus ----------------------------------------------------------------

// Every input kept for the fuzz target of the show replies, decoded as the
// target decodes it: the parse stays within the room and a failure always
// carries its reason.
TEST(ShowCopySessions, FuzzCorpusReplays) {
    const size_t files = zrktest::ForEachCorpusInput("show_reply", 6, [](const std::string &name,
                                                                         const std::string &data) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(data.data());
        const int option = bytes[0] % 3;
        const size_t listCount = (bytes[1] & 0x07) % 5;
        const size_t room = 8 + ((bytes[1] >> 3) & 0x07);
        std::vector<int> list;
        for (size_t i = 0; i < listCount; ++i) list.push_back(bytes[2 + i]);
        if (option == 2 && list.empty()) list.push_back(bytes[2]);
        const std::string text(data.c_str() + 6);
        std::vector<CliCopySession> rows(room + 1, Filler());
        int count = -1;
        const int rc = Parse(text, option, list, &count, rows.data(), room);
        EXPECT_TRUE(Untouched(rows[room])) << name;
        EXPECT_GE(count, 0) << name;
        if (rc == 0) {
            if (option == 2) {
                EXPECT_EQ(list.size(), static_cast<size_t>(count)) << name;
            } else {
                EXPECT_LE(static_cast<size_t>(count), room) << name;
            }
        } else {
            EXPECT_NE(0, ZRKerrno) << name;
        }
    });
    EXPECT_GE(files, 12u);
}

}  // namespace
