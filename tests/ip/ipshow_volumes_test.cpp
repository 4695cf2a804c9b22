// "show volumes", "show vvol-copy-session", "show snap-data-pool" and "show
// snap-data-volume": the command texts on the wire (through a loopback
// stand-in of the LAN service), the selections refused before sending, the
// conversion of reply lines, the replies that are refused and the rows a
// refused reply leaves alone.
#include "../../ip/ipshow_volumes.h"
#include "corpus.h"
#include "ipsim_support.h"
#include "lan_fixture.h"

#include "platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

using iptest::ShowReply;
using iptest::TabLine;

constexpr const char *kArray = "192.0.2.10";

// A line of n columns, column k holding the hex text of k + 1.
std::vector<std::string> Columns(size_t n) {
    std::vector<std::string> cols;
    char text[24];
    for (size_t k = 0; k < n; ++k) {
        std::snprintf(text, sizeof text, "%zX", k + 1);
        cols.push_back(text);
    }
    return cols;
}

template <typename T>
T Filled() {
    T row;
    std::memset(&row, 0xCD, sizeof row);
    return row;
}

template <typename T>
bool Untouched(const T &row) {
    const T f = Filled<T>();
    return std::memcmp(&f, &row, sizeof row) == 0;
}

// The array of an allocating query, released at the end of the scope.
template <typename T>
struct Rows {
    ~Rows() {
        if (ptr != sentinel()) std::free(ptr);
    }
    static T *sentinel() { return reinterpret_cast<T *>(alignof(T) * 16); }
    T *ptr = sentinel();
};

int ParseVolumes(const std::string &text, int *count, Rows<CliVolume> *rows) {
    ZRKerrno = 0;
    return zrkip::ParseVolumesText(text.c_str(), count, &rows->ptr);
}

int ParseVvol(const std::string &text, int *count, Rows<CliVvolCopySession> *rows) {
    ZRKerrno = 0;
    return zrkip::ParseVvolCopySessionText(text.c_str(), count, &rows->ptr);
}

// ---- show volumes ------------------------------------------------------------------

TEST(ShowVolumes, RowConvertsByteForByte) {
    std::vector<std::string> cols = {
        "1F", "VOLUME-NAME-LONGER", "2", "4", "1FF", "5", "NAME6", "123456789A", "1", "9",
        "ZZ", "B", "C", "D", "E", "F", "40", "11", "x", "x", "x", "x", "x", "x", "3", "junk"};
    int count = -1;
    Rows<CliVolume> rows;
    ASSERT_EQ(0, ParseVolumes(ShowReply({TabLine(cols)}), &count, &rows)) << ZRKerrno;
    ASSERT_EQ(1, count);

    CliVolume want;
    std::memset(&want, 0, sizeof want);
    want.uiVolumeNo = 0x1F;
    std::memcpy(want.ucaVolumeName, "VOLUME-NAME-LONG", 16);
    want.uiColumn2 = 2;
    want.ucVolumeType = IP_VOLUME_TYPE_SDV;
    want.ucColumn4 = 0xFF;
    want.uiColumn5 = 5;
    std::memcpy(want.ucaColumn6, "NAME6", 5);
    want.uiCapacity_high = 0x12;
    want.uiCapacity_low = 0x3456789A;
    want.ucColumn8 = 1;
    want.uiColumn9 = 9;
    want.uiColumn11 = 0xB;
    want.ucColumn12 = 0xC;
    want.ucColumn13 = 0xD;
    want.uiColumn14 = 0xE;
    want.uiColumn15 = 0xF;
    want.ucColumn16 = 0x40;
    want.ucColumn17 = 0x11;
    want.ucTfoGroupNo = 3;
    EXPECT_EQ(0, std::memcmp(&want, rows.ptr, sizeof want));
}

TEST(ShowVolumes, ColumnCountsAndFailoverGroup) {
    struct Case {
        size_t columns;
        int rc;
        uint8_t group;
    };
    const Case cases[] = {
        {17, -1, 0}, {18, 0, 255}, {23, 0, 255}, {24, 0, 255}, {25, 0, 0x19}, {30, 0, 0x19},
    };
    for (const Case &c : cases) {
        int count = -1;
        Rows<CliVolume> rows;
        EXPECT_EQ(c.rc, ParseVolumes(ShowReply({TabLine(Columns(c.columns))}), &count, &rows))
            << c.columns;
        if (c.rc == 0) {
            ASSERT_EQ(1, count);
            EXPECT_EQ(c.group, rows.ptr[0].ucTfoGroupNo) << c.columns;
            EXPECT_EQ(0x12u, rows.ptr[0].ucColumn17);
        } else {
            EXPECT_EQ(ZRK_ERR_REPLY_INCOMPLETE, ZRKerrno);
            EXPECT_EQ(0, count);
            EXPECT_EQ(Rows<CliVolume>::sentinel(), rows.ptr) << "nothing handed out";
        }
    }
}

TEST(ShowVolumes, ColumnTenNeverChangesTheRecord) {
    std::vector<std::string> a = Columns(25);
    std::vector<std::string> b = a;
    a[10] = "FFFFFFFF";
    b[10] = "";
    int count = 0;
    Rows<CliVolume> ra;
    Rows<CliVolume> rb;
    ASSERT_EQ(0, ParseVolumes(ShowReply({TabLine(a)}), &count, &ra));
    ASSERT_EQ(0, ParseVolumes(ShowReply({TabLine(b)}), &count, &rb));
    EXPECT_EQ(0, std::memcmp(ra.ptr, rb.ptr, sizeof(CliVolume)));
}

// Reply shapes common to the allocating queries.
TEST(ShowVolumes, ReplyShapes) {
    const std::string row = TabLine(Columns(25));
    struct Case {
        const char *what;
        std::string text;
        int rc;
        int err;
        int count;
    };
    const Case cases[] = {
        {"no records", "0\n0", 0, 0, 0},
        {"no records, trailing newline", "0\n0\n", 0, 0, 0},
        {"two records", ShowReply({row, row}), 0, 0, 2},
        {"status only", "0", -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
        {"more announced than present", "0\n2\n" + row, -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
        {"count beyond 32 bits", "0\n100000000", -1, ZRK_ERR_REPLY_NUMBER, 0},
        {"empty record line", "0\n1\n", -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
        {"64-bit column too long", "0\n1\n" + [&] {
             std::vector<std::string> c = Columns(18);
             c[7] = std::string(17, '1');
             return TabLine(c);
         }(), -1, ZRK_ERR_REPLY_NUMBER, 0},
        {"second record short", ShowReply({row, TabLine(Columns(17))}), -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
    };
    for (const Case &c : cases) {
        int count = -1;
        Rows<CliVolume> rows;
        EXPECT_EQ(c.rc, ParseVolumes(c.text, &count, &rows)) << c.what;
        EXPECT_EQ(c.count, count) << c.what;
        if (c.rc != 0) {
            EXPECT_EQ(c.err, ZRKerrno) << c.what;
            EXPECT_EQ(Rows<CliVolume>::sentinel(), rows.ptr) << c.what;
        } else if (c.count == 0) {
            EXPECT_EQ(nullptr, rows.ptr) << c.what;
        } else {
            EXPECT_EQ(0x19u, rows.ptr[c.count - 1].ucTfoGroupNo) << c.what;
        }
    }
}

// ---- show vvol-copy-session --------------------------------------------------------------

TEST(ShowVvolCopySession, RowConvertsByteForByte) {
    std::vector<std::string> cols = {
        "A1", "2", "3", "10", "skip", "20", "skip", "E1", "2024", "06", "15", "12", "30", "45",
        "ABCDEF01", "1", "200000", "skip", "skip", "skip", "1FF", "21", "22", "5", "64", "junk"};
    int count = -1;
    Rows<CliVvolCopySession> rows;
    ASSERT_EQ(0, ParseVvol(ShowReply({TabLine(cols)}), &count, &rows)) << ZRKerrno;
    ASSERT_EQ(1, count);

    CliVvolCopySession want;
    std::memset(&want, 0, sizeof want);
    want.uiSessionID = 0xA1;
    want.ucSessionType = 2;
    want.ucSessionStatus = 3;
    want.uiSrcOLU = 0x10;
    want.uiDstOLU = 0x20;
    want.ucErrorCode = 0xE1;
    const uint8_t time[8] = {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x45, 0x00};
    std::memcpy(want.ucaStartTime, time, 8);
    want.uiLapseTime = 0xABCDEF01;
    want.uiCopiedBlock_high = 0;
    want.uiCopiedBlock_low = 2048;
    want.uiSize_high = 1;
    want.uiSize_low = 0;
    want.ucColumn20 = 0xFF;
    want.uiColumn21 = 0x21;
    want.uiColumn22 = 0x22;
    want.ucPhase = 5;
    want.uiCopyProgress = 0x64;
    EXPECT_EQ(0, std::memcmp(&want, rows.ptr, sizeof want));
}

TEST(ShowVvolCopySession, BlocksAndDates) {
    struct Case {
        const char *blocks;
        uint32_t high;
        uint32_t low;
        std::vector<std::string> date;
        uint8_t time[8];
    };
    const Case cases[] = {
        {"0", 0, 0, {"2024", "6", "1", "", "9", "59"}, {0x20, 0x24, 0x60, 0x10, 0x00, 0x90, 0x59, 0}},
        {"FFFFFFFFFFFFFFFF", 0xFFFFFFFF, 0xFFFFF800, {"20245", "123", "", "", "", ""},
         {0x20, 0x24, 0x12, 0, 0, 0, 0, 0}},
        {"1FFFFF", 0, 0xFFFFF800, {"99", "x1", "", "", "", ""}, {0x99, 0x00, 0x01, 0, 0, 0, 0, 0}},
        {"100000000", 0x800, 0, {"", "", "", "", "", ""}, {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> cols = Columns(25);
        cols[15] = c.blocks;
        for (size_t k = 0; k < 6; ++k) cols[8 + k] = c.date[k];
        int count = -1;
        Rows<CliVvolCopySession> rows;
        ASSERT_EQ(0, ParseVvol(ShowReply({TabLine(cols)}), &count, &rows)) << c.blocks;
        EXPECT_EQ(c.high, rows.ptr[0].uiCopiedBlock_high) << c.blocks;
        EXPECT_EQ(c.low, rows.ptr[0].uiCopiedBlock_low) << c.blocks;
        EXPECT_EQ(0, std::memcmp(c.time, rows.ptr[0].ucaStartTime, 8)) << c.blocks;
    }
}

TEST(ShowVvolCopySession, ReplyShapes) {
    // The mapping the link gives the array's code.
    IPSet_ZRKerrno_main(static_cast<int>(IP_VVOL_EMPTY_CODE));
    const int emptyCode = ZRKerrno;
    IPSet_ZRKerrno_main(0x5310);
    const int otherCode = ZRKerrno;
    struct Case {
        const char *what;
        std::string text;
        int rc;
        int err;
        bool handedOut;
    };
    const Case cases[] = {
        {"empty list code", "2\n920B", 0, emptyCode, false},
        {"empty list code, other shape", "1\n920B\nx\ny", 0, emptyCode, false},
        {"other array code", "2\n5310", -1, otherCode, false},
        {"error code beyond 32 bits", "2\n100000000", -1, ZRK_ERR_REPLY_NUMBER, false},
        {"no records", "0\n0", 0, 0, true},
        {"24 columns", ShowReply({TabLine(Columns(24))}), -1, ZRK_ERR_REPLY_INCOMPLETE, false},
        {"more announced than present", "0\n3\n" + TabLine(Columns(25)), -1, ZRK_ERR_REPLY_INCOMPLETE,
         false},
    };
    for (const Case &c : cases) {
        int count = -1;
        Rows<CliVvolCopySession> rows;
        EXPECT_EQ(c.rc, ParseVvol(c.text, &count, &rows)) << c.what;
        EXPECT_EQ(c.err, ZRKerrno) << c.what;
        EXPECT_EQ(0, count) << c.what;
        if (c.handedOut) {
            EXPECT_EQ(nullptr, rows.ptr) << c.what;
        } else {
            EXPECT_EQ(Rows<CliVvolCopySession>::sentinel(), rows.ptr) << c.what;
        }
    }
}

// ---- show snap-data-pool --------------------------------------------------------------

TEST(ShowSnapDataPool, ReplyShapes) {
    const std::string row = TabLine({"1", "2", "300000000", "4", "5", "6", "123456789", "extra"});
    struct Case {
        const char *what;
        std::string text;
        size_t room;
        int rc;
        int err;
        int presence;
        int count;
    };
    const Case cases[] = {
        {"no pool, lines after", "0\n0\nrubbish\n5\n" + row, 1, 0, 0, 0, 0},
        {"pool, no rows", "0\n1\nanything\t\there\n0", 1, 0, 0, 1, 0},
        {"pool, one row", "0\n1\n\n1\n" + row, 1, 0, 0, 1, 1},
        {"no count line", "0\n1", 1, -1, ZRK_ERR_REPLY_INCOMPLETE, 1, 0},
        {"count line missing", "0\n1\nx", 1, -1, ZRK_ERR_REPLY_INCOMPLETE, 1, 0},
        {"row missing", "0\n1\nx\n2\n" + row, 2, -1, ZRK_ERR_REPLY_INCOMPLETE, 1, 2},
        {"beyond the room", "0\n1\nx\n2\n" + row + "\n" + row, 1, -1, ZRK_ERR_REPLY_INCOMPLETE, 1, 2},
        {"row of 6 columns", "0\n1\nx\n1\n1\t2\t3\t4\t5\t6", 1, -1, ZRK_ERR_REPLY_INCOMPLETE, 1, 1},
        {"second row short", "0\n1\nx\n2\n" + row + "\n1\t2", 2, -1, ZRK_ERR_REPLY_INCOMPLETE, 1, 2},
        {"presence beyond 32 bits", "0\n1FFFFFFFF", 1, -1, ZRK_ERR_REPLY_NUMBER, 0, 0},
        {"array error", "2\n5310", 1, -1, -1, 0, 0},
    };
    for (const Case &c : cases) {
        std::vector<CliSnapDataPool> rows(c.room + 1, Filled<CliSnapDataPool>());
        int presence = -1;
        int count = -1;
        ZRKerrno = 0;
        EXPECT_EQ(c.rc, zrkip::ParseSnapDataPoolText(c.text.c_str(), &presence, &count,
                                                       rows.data(), c.room))
            << c.what;
        if (c.err >= 0) {
            EXPECT_EQ(c.err, ZRKerrno) << c.what;
        }
        EXPECT_NE(c.rc != 0, ZRKerrno == 0) << c.what;
        EXPECT_EQ(c.presence, presence) << c.what;
        EXPECT_EQ(c.count, count) << c.what;
        EXPECT_TRUE(Untouched(rows[c.room])) << c.what;
        if (c.count == 0 || c.rc != 0) {
            EXPECT_TRUE(Untouched(rows[0])) << c.what;
            continue;
        }
        CliSnapDataPool want;
        std::memset(&want, 0, sizeof want);
        want.SdpNo = 1;
        want.Blk_low = 2;
        want.BlkHostUse_high = 3;
        want.BlkCopyUse_low = 4;
        want.BlkEnc_low = 5;
        want.BlkEncHostUse_low = 6;
        want.BlkEncCopyUse_high = 1;
        want.BlkEncCopyUse_low = 0x23456789;
        EXPECT_EQ(0, std::memcmp(&want, &rows[0], sizeof want)) << c.what;
    }
}

// ---- show snap-data-volume -------------------------------------------------------------

TEST(ShowSnapDataVolume, ReplyShapes) {
    std::vector<std::string> full = Columns(13);
    full[1] = "SNAPDATAVOLUME-0123";
    full[11] = "40000000";
    struct Case {
        const char *what;
        std::string text;
        size_t room;
        int rc;
        int count;
    };
    const Case cases[] = {
        {"13 columns", ShowReply({TabLine(full)}), 1, 0, 1},
        {"12 columns", ShowReply({TabLine(Columns(12)), TabLine(full)}), 2, 0, 2},
        {"no rows", "0\n0", 0, 0, 0},
        {"11 columns", ShowReply({TabLine(Columns(11))}), 1, -1, 1},
        {"beyond the room", ShowReply({TabLine(full), TabLine(full)}), 1, -1, 2},
        {"announced beyond the lines", "0\n2\n" + TabLine(full), 2, -1, 2},
        {"second row short", ShowReply({TabLine(full), TabLine(Columns(11))}), 2, -1, 2},
    };
    for (const Case &c : cases) {
        std::vector<CliSnapDataVolume> rows(c.room + 1, Filled<CliSnapDataVolume>());
        int count = -1;
        ZRKerrno = 0;
        EXPECT_EQ(c.rc, zrkip::ParseSnapDataVolumeText(c.text.c_str(), &count, rows.data(),
                                                         c.room))
            << c.what;
        EXPECT_EQ(c.count, count) << c.what;
        EXPECT_TRUE(Untouched(rows[c.room])) << c.what;
        if (c.rc != 0) {
            EXPECT_EQ(ZRK_ERR_REPLY_INCOMPLETE, ZRKerrno) << c.what;
            EXPECT_TRUE(Untouched(rows[0])) << c.what;
        }
    }
    // The 13-column row, field by field.
    CliSnapDataVolume row = Filled<CliSnapDataVolume>();
    int count = 0;
    ASSERT_EQ(0, zrkip::ParseSnapDataVolumeText(ShowReply({TabLine(full)}).c_str(), &count, &row, 1));
    CliSnapDataVolume want;
    std::memset(&want, 0, sizeof want);
    want.VolNo = 1;
    std::memcpy(want.VolName, "SNAPDATAVOLUME-0", 16);
    want.Col2 = 3;
    want.Col3_low = 4;
    want.LogicalSize_low = 5;
    want.PhysicalSize_low = 6;
    want.SdvUsedHost_low = 7;
    want.SdvUsedCopy_low = 8;
    want.Col8 = 9;
    want.SdpUsedHost_low = 0xA;
    want.SdpUsedCopy_low = 0xB;
    want.SdvStatus = IP_SDV_INITIALIZING;
    EXPECT_EQ(0, std::memcmp(&want, &row, sizeof want));
}

// ---- over the LAN service ---------------------------------------------------------------

class ShowVolumesLan : public iptest::ServiceTest {};

TEST_F(ShowVolumesLan, CommandTexts) {
    CliSnapDataPool pool[1];
    CliSnapDataVolume sdv[1];
    int presence = 0;
    int count = 0;
    const int volumes[] = {3, 4};
    using Call = int (*)(int *, int *, CliSnapDataPool *, CliSnapDataVolume *, const int *);
    struct Case {
        std::string command;
        Call call;
    };
    const Case cases[] = {
        {"show volumes  ", [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *, const int *) {
             Rows<CliVolume> r;
             return ShowVolumes(kArray, nullptr, 0, 7, 0, n, &r.ptr);
         }},
        {"show volumes -volume-number 7 -type sdv",
         [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *, const int *) {
             Rows<CliVolume> r;
             return ShowVolumes(kArray, nullptr, 2, 7, 1, n, &r.ptr);
         }},
        {"show volumes  -type tpv",
         [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *, const int *) {
             Rows<CliVolume> r;
             return ShowVolumes(kArray, nullptr, 4, 0, 0, n, &r.ptr);
         }},
        {"show volumes -volume-number -1 -type open",
         [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *, const int *) {
             Rows<CliVolume> r;
             return ShowVolumes(kArray, nullptr, 1, -1, 1, n, &r.ptr);
         }},
        {"show vvol-copy-session -vvol-session-id all",
         [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *, const int *v) {
             Rows<CliVvolCopySession> r;
             return ShowVvolCopySession(kArray, nullptr, 2, v, 0, 0, n, &r.ptr);
         }},
        {"show vvol-copy-session -vvol-session-id all",
         [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *, const int *v) {
             Rows<CliVvolCopySession> r;
             return ShowVvolCopySession(kArray, nullptr, 2, v, 2, 0x80, n, &r.ptr);
         }},
        {"show vvol-copy-session -volume-number 3,4",
         [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *, const int *v) {
             Rows<CliVvolCopySession> r;
             return ShowVvolCopySession(kArray, nullptr, 2, v, 1, 0, n, &r.ptr);
         }},
        {"show vvol-copy-session -volume-number ",
         [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *, const int *) {
             Rows<CliVvolCopySession> r;
             return ShowVvolCopySession(kArray, nullptr, 0, nullptr, 3, 0, n, &r.ptr);
         }},
        {"show snap-data-pool ", [](int *n, int *p, CliSnapDataPool *rows, CliSnapDataVolume *,
                                    const int *) {
             return ShowSnapDataPool(kArray, nullptr, 5, 0, p, n, rows, 1);
         }},
        {"show snap-data-pool -sdp-number 0",
         [](int *n, int *p, CliSnapDataPool *rows, CliSnapDataVolume *, const int *) {
             return ShowSnapDataPool(kArray, nullptr, 0, 1, p, n, rows, 1);
         }},
        {"show snap-data-volume ",
         [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *rows, const int *) {
             return ShowSnapDataVolume(kArray, nullptr, 9, 0, n, rows, 1);
         }},
        {"show snap-data-volume -volume-number 12",
         [](int *n, int *, CliSnapDataPool *, CliSnapDataVolume *rows, const int *) {
             return ShowSnapDataVolume(kArray, nullptr, 12, 1, n, rows, 1);
         }},
    };
    for (size_t i = 0; i < std::size(cases); ++i) service.reply("0\n0");
    std::vector<std::string> want;
    for (const Case &c : cases) {
        count = -1;
        EXPECT_EQ(0, c.call(&count, &presence, pool, sdv, volumes)) << c.command << " " << ZRKerrno;
        EXPECT_EQ(0, count) << c.command;
        want.push_back(c.command);
    }
    EXPECT_EQ(want, service.commands());
}

TEST_F(ShowVolumesLan, SelectionsRefusedBeforeSending) {
    struct Case {
        const char *what;
        int type;
        int option;
    };
    const Case volumes[] = {
        {"option 2", 0, 2}, {"option -1", 0, -1}, {"option 2, type 9", 9, 2}, {"type 5", 5, 0},
        {"type -1", -1, 1},
    };
    for (const Case &c : volumes) {
        ZRKerrno = 0;
        int count = -1;
        Rows<CliVolume> rows;
        EXPECT_EQ(-1, ShowVolumes(kArray, nullptr, c.type, 1, c.option, &count, &rows.ptr)) << c.what;
        EXPECT_EQ(ZRK_ERR_SELECTION, ZRKerrno) << c.what;
        EXPECT_EQ(0, count) << c.what;
        EXPECT_EQ(Rows<CliVolume>::sentinel(), rows.ptr) << c.what;
    }
    for (const int option : {2, -1, 3}) {
        CliSnapDataPool pool = Filled<CliSnapDataPool>();
        CliSnapDataVolume sdv = Filled<CliSnapDataVolume>();
        int presence = -1;
        int count = -1;
        ZRKerrno = 0;
        EXPECT_EQ(-1, ShowSnapDataPool(kArray, nullptr, 0, option, &presence, &count, &pool, 1));
        EXPECT_EQ(ZRK_ERR_SELECTION, ZRKerrno) << option;
        ZRKerrno = 0;
        EXPECT_EQ(-1, ShowSnapDataVolume(kArray, nullptr, 0, option, &count, &sdv, 1));
        EXPECT_EQ(ZRK_ERR_SELECTION, ZRKerrno) << option;
        EXPECT_TRUE(Untouched(pool));
        EXPECT_TRUE(Untouched(sdv));
    }
    // Missing outputs, a list that is not there or does not fit a command.
    std::vector<int> longList(1100, 12345);
    int count = 0;
    Rows<CliVvolCopySession> vv;
    Rows<CliVolume> vol;
    EXPECT_EQ(-1, ShowVvolCopySession(kArray, nullptr, 2, nullptr, 1, 0, &count, &vv.ptr));
    EXPECT_EQ(ZRK_ERR_PARAMETER, ZRKerrno);
    EXPECT_EQ(-1, ShowVvolCopySession(kArray, nullptr, static_cast<int>(longList.size()),
                                      longList.data(), 1, 0, &count, &vv.ptr));
    EXPECT_EQ(ZRK_ERR_TOO_LONG, ZRKerrno);
    EXPECT_EQ(-1, ShowVolumes(kArray, nullptr, 0, 0, 0, nullptr, &vol.ptr));
    EXPECT_EQ(ZRK_ERR_PARAMETER, ZRKerrno);
    EXPECT_EQ(-1, ShowSnapDataVolume(kArray, nullptr, 0, 0, &count, nullptr, 1));
    EXPECT_EQ(ZRK_ERR_PARAMETER, ZRKerrno);
    EXPECT_TRUE(service.commands().empty());
}

TEST_F(ShowVolumesLan, RepliesOverTheLink) {
    // An empty virtual-volume list leaves the caller's pointer alone.
    service.reply("2\n920B");
    int count = -1;
    Rows<CliVvolCopySession> vv;
    EXPECT_EQ(0, ShowVvolCopySession(kArray, nullptr, 0, nullptr, 0, 0, &count, &vv.ptr));
    EXPECT_EQ(0, count);
    EXPECT_EQ(Rows<CliVvolCopySession>::sentinel(), vv.ptr);

    // The room of the caller's rows: refused before a row is written.
    std::vector<std::string> sdvRow = Columns(12);
    service.reply(ShowReply({TabLine(sdvRow), TabLine(sdvRow)}));
    CliSnapDataVolume sdv[2] = {Filled<CliSnapDataVolume>(), Filled<CliSnapDataVolume>()};
    ZRKerrno = 0;
    EXPECT_EQ(-1, ShowSnapDataVolume(kArray, nullptr, 0, 0, &count, sdv, 1));
    EXPECT_EQ(ZRK_ERR_REPLY_INCOMPLETE, ZRKerrno);
    EXPECT_TRUE(Untouched(sdv[0]));
    EXPECT_TRUE(Untouched(sdv[1]));

    service.reply(ShowReply({TabLine(Columns(25)), TabLine(Columns(18))}));
    Rows<CliVolume> vol;
    ASSERT_EQ(0, ShowVolumes(kArray, nullptr, 0, 0, 0, &count, &vol.ptr)) << ZRKerrno;
    ASSERT_EQ(2, count);
    EXPECT_EQ(0x19u, vol.ptr[0].ucTfoGroupNo);
    EXPECT_EQ(255u, vol.ptr[1].ucTfoGroupNo);
}

// ---- trace lines ----------------------------------------------------------------------

TEST(ShowVolumesTrace, ColumnLines) {
    zrktest::InstallRoot root;
    root.writeTraceDefinition("[TRACEDEFINE]\npath=" + root.traceDir() +
                              "\nsize=512\ngen=2\nmax=4\n[WXAPI]\nlevel=5\n");
    std::vector<std::string> vol = Columns(26);
    for (size_t k = 18; k < 24; ++k) vol[k] = "HIDDEN" + std::to_string(k);
    std::vector<std::string> vv = Columns(26);
    for (size_t k : {4, 6, 17, 18, 19}) vv[k] = "PASSED" + std::to_string(k);
    ZRKC_Com_OpenTrace(1001);
    int count = 0;
    Rows<CliVolume> rv;
    Rows<CliVvolCopySession> rs;
    EXPECT_EQ(0, ParseVolumes(ShowReply({TabLine(vol)}), &count, &rv));
    EXPECT_EQ(0, ParseVvol(ShowReply({TabLine(vv)}), &count, &rs));
    CliSnapDataPool pool;
    int presence = 0;
    EXPECT_EQ(-1, zrkip::ParseSnapDataPoolText("0\n1\nx\n1\n1\t2\t3\t4\t5\t6", &presence,
                                                 &count, &pool, 1));
    ZRKC_Com_CloseTrace();
    const std::string trace = root.traceText();
    const std::string v = "INFO : ShowVolumes : ";
    const std::string s = "INFO : ShowCopySessions : ";
    const std::string p = "INFO : ShowSnapDataPool : ";
    for (const std::string &want :
         {v + "10 - TPVUsedCapa Notuse", v + "24 - 19", v + "25 - default", s + "8 - 9",
          s + "24 - 19", s + "25 - default", p + "5 - 6", p + "6 - Err"}) {
        EXPECT_NE(std::string::npos, trace.find(want)) << want;
    }
    EXPECT_EQ(std::string::npos, trace.find("HIDDEN"));
    EXPECT_EQ(std::string::npos, trace.find("PASSED"));
}

// ---- the fuzz corpus ----------------------------------------------------------------

// Every input kept for the fuzz target of the show replies, through the four
// parsers with the target's room (byte 5 modulo 10): a success stays within
// the room, a failure carries its reason, hands nothing out and leaves the
// caller's rows alone.
TEST(ShowVolumes, FuzzCorpusReplays) {
    const size_t files = zrktest::ForEachCorpusInput("show_reply", 6, [](const std::string &name,
                                                                         const std::string &data) {
        const size_t room = static_cast<unsigned char>(data[5]) % 10;
        const std::string text(data.c_str() + 6);
        int count = -1;
        Rows<CliVolume> vol;
        if (ParseVolumes(text, &count, &vol) != 0) {
            EXPECT_NE(0, ZRKerrno) << name;
            EXPECT_EQ(Rows<CliVolume>::sentinel(), vol.ptr) << name;
        }
        Rows<CliVvolCopySession> vv;
        if (ParseVvol(text, &count, &vv) != 0) {
            EXPECT_NE(0, ZRKerrno) << name;
            EXPECT_EQ(Rows<CliVvolCopySession>::sentinel(), vv.ptr) << name;
        }
        std::vector<CliSnapDataPool> pool(room + 1, Filled<CliSnapDataPool>());
        int presence = -1;
        ZRKerrno = 0;
        const int poolRc = zrkip::ParseSnapDataPoolText(text.c_str(), &presence, &count,
                                                          pool.data(), room);
        EXPECT_TRUE(Untouched(pool[room])) << name;
        if (poolRc == 0) {
            EXPECT_LE(static_cast<size_t>(count), room) << name;
        } else {
            EXPECT_NE(0, ZRKerrno) << name;
            EXPECT_TRUE(room == 0 || Untouched(pool[0])) << name;
        }
        std::vector<CliSnapDataVolume> sdv(room + 1, Filled<CliSnapDataVolume>());
        ZRKerrno = 0;
        const int sdvRc = zrkip::ParseSnapDataVolumeText(text.c_str(), &count, sdv.data(), room);
        EXPECT_TRUE(Untouched(sdv[room])) << name;
        if (sdvRc == 0) {
            EXPECT_LE(static_cast<size_t>(count), room) << name;
        } else {
            EXPECT_NE(0, ZRKerrno) << name;
            EXPECT_TRUE(room == 0 || Untouched(sdv[0])) << name;
        }
    });
    EXPECT_GE(files, 6u);
}

}  // namespace
