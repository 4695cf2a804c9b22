// The output half of the programs' module: the layout choice, the
// code-to-word tables, the CSV rules, the number formats, the rows of failed
// group-file lines and the session layouts, compared byte for byte.
#include "zrkcargs.h"
#include "zrkcout.h"
#include "out_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace zrktest {
namespace {

using zrkcli::CommandParam;

TEST(CliOutput, LayoutChoice) {
    using namespace zrkcli;
    struct Case { uint32_t func, opt, opt2; int layout; } cases[] = {
        {kFuncQuery, 0, 0, 1}, {kFuncQuery, kOptV, 0, 2}, {kFuncQuery, kOptG, 0, 3},
        {kFuncQuery, kOptV | kOptG, 0, 2}, {kFuncQuery, kOptV, kOpt2Tfop, 16},
        {kFuncQuery, kOptG, kOpt2Vvol, 17}, {kFuncQuery, 0, kOpt2Tfop | kOpt2Vvol, 16},
        {kFuncSdvInfo, 0, 0, 4}, {kFuncEstimate, 0, 0, 5}, {kFuncVol, 0, 0, 6},
        {kFuncStart, 0, 0, 6}, {kFuncSdpInfo, 0, 0, 7}, {kFuncDest, 0, 0, 8},
        {kFuncAlias, 0, 0, 9}, {kFuncLunStatus, 0, 0, 10}, {kFuncSuspendStatus, 0, 0, 11},
        {kFuncRvzBuff, 0, 0, 12}, {kFuncRvzBuff, kOptV, 0, 13}, {kFuncDevice, 0, 0, 14},
        {kFuncCopyPriority, 0, 0, 15},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ChooseLayout(Param(c.func, c.opt, c.opt2)), c.layout) << c.func << " " << c.opt;
    }
}

TEST(CliOutput, CodeToWordTables) {
    struct Case { unsigned table; int code; const char *word; } cases[] = {
        {1, 1, "KZP"}, {1, 5, "RVZ"}, {1, 9, "ODX"}, {1, 18, "TFOP"}, {1, 20, "VRevert"},
        {1, 21, "VDiffs"}, {1, 23, "VFast"}, {1, 10, ""}, {1, 0, ""},
        {2, 0, "Idle"}, {2, 3, "ErrorSuspend"}, {2, 5, "Halt"}, {2, 6, ""},
        {3, 4, "Tracking&Copying"}, {3, 5, ""}, {3, 6, "Readying"},
        {4, 0, "Normal"}, {4, 0x2000000, "Initializing"}, {4, 1, ""},
        {5, 0, "Default"}, {5, 3, "Unknown"}, {5, 4, ""},
        {6, 0, "OFF"}, {6, 1, "ON"}, {7, 1, "Trial"}, {7, 255, "Invalid"}, {7, 2, ""},
        {8, 0, "SCSI"}, {8, 4, "LAN"}, {9, 3, "Very-Low"}, {9, 4, "Middle"}, {9, 5, ""},
        {0, 0, ""}, {10, 0, ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(zrkcli::Word(c.table, c.code), c.word) << c.table << "/" << c.code;
    }
    char word[32] = "kept";
    zrkcli::make_str(2, 99, word);
    EXPECT_STREQ(word, "kept");
}

TEST(CliOutput, CsvRulesAndTrimming) {
    EXPECT_EQ(zrkcli::check_str("a\"b\"\""), "a\"\"b\"\"\"\"");
    EXPECT_EQ(zrkcli::clear_space("  a b  "), "a b");
    EXPECT_EQ(zrkcli::clear_space("\ta \n"), "\ta \n");
    EXPECT_EQ(zrkcli::clear_space("   "), "");
    EXPECT_EQ(zrkcli::clear_space(""), "");
    using zrkcli::CsvKind;
    EXPECT_EQ(zrkcli::CsvLine({{" vol \"x\" ", CsvKind::Name}, {" 12 "}, {" raw ", CsvKind::Raw}, {""}}),
              "\"vol \"\"x\"\"\",\"12\",\" raw \",\"\"\n");
}

TEST(CliOutput, NumberFormats) {
    struct Kb { uint64_t blocks; const char *text; } kbs[] = {
        {0, "0.0"}, {1, "0.5"}, {3, "1.5"}, {4, "2.0"},
        {0xFFFFFFFFFFFFFFFFull, "9223372036854775807.5"},
    };
    for (const Kb &k : kbs) EXPECT_EQ(zrkcli::KbText(k.blocks), k.text);
    struct Mb { uint64_t blocks, mb; } mbs[] = {{0, 0}, {1, 1}, {2048, 1}, {2049, 2}, {4096, 2}};
    for (const Mb &m : mbs) EXPECT_EQ(zrkcli::MbCount(m.blocks), m.mb) << m.blocks;
}

TEST(CliOutput, VolumeNamesInAliasForms) {
    EXPECT_EQ(zrkcli::conv_volume("0x10:0x0:2048@old", 0x22, 0x800, "4096", "arr1"),
              "0x22:0x800:4096@arr1");
    EXPECT_EQ(zrkcli::conv_volume("0x10@old", 0x22, 0x800, "4096", "arr1"), "0x22@arr1");
    EXPECT_EQ(zrkcli::conv_volume("/dev/sdb", 0x22, 0, "1", "arr1"), "/dev/sdb");
    EXPECT_EQ(zrkcli::conv_volume("x", 1, 0, "1", "a"), "x");
    EXPECT_EQ(zrkcli::conv_volume("0x1@" + std::string(1100, 'a'), 1, 0, "1", std::string(1100, 'b')).size(),
              static_cast<size_t>(ZRK_VOLNAME_LEN));
}

const char kSuspendHeader[] =
    "CopyKind  Source                        Target                        Status        CmdStatus  RemainingTime(s)\n";
const char kSuspendCsvHeader[] =
    "\"GroupStatus\",\"MaxRemainingTime(s)\",\"CopyKind\",\"Source\",\"Target\",\"Status\",\"CmdStatus\",\"RemainingTime(s)\"\n";

TEST(CliOutput, SuspendStatusGroupStates) {
    using Row = zrkcli::SuspendStatusRow;
    struct Case {
        std::vector<Row> rows;
        std::string first;
    } cases[] = {
        {{}, "GroupStatus:Normal   MaxRemainingTime(s):0         \n"},
        {{{4, 2, 0, 30, "a", "b"}, {5, 4, 0, 700, "c", "d"}},
         "GroupStatus:Normal   MaxRemainingTime(s):700       \n"},
        {{{4, 2, 0, 0xFFFFFFFF, "a", "b"}, {4, 2, 0, 5, "c", "d"}},
         "GroupStatus:Warning  MaxRemainingTime(s):----------\n"},
        {{{4, 2, 0, 0xFFFFFFFF, "a", "b"}, {4, 3, 0, 5, "c", "d"}},
         "GroupStatus:Error    MaxRemainingTime(s):----------\n"},
        {{{4, 2, 2, 5, "a", "b"}}, "GroupStatus:Error    MaxRemainingTime(s):----------\n"},
        {{{4, 5, 0, 5, "a", "b"}}, "GroupStatus:Error    MaxRemainingTime(s):----------\n"},
    };
    for (const Case &c : cases) {
        Capture cap;
        zrkcli::PrintSuspendStatus(c.rows, Param(zrkcli::kFuncSuspendStatus), ReturnInfo{}, cap.out());
        const std::string text = cap.Stdout();
        EXPECT_EQ(text.substr(0, text.find('\n') + 1), c.first);
    }
}

TEST(CliOutput, SuspendStatusTextRows) {
    Capture cap;
    zrkcli::PrintSuspendStatus({{5, 3, 0, 12, "/dev/sdb", "0x10@arr2"},
                                {4, 2, 0, 0xFFFFFFFF, "\"q\"", " t "},
                                {99, 9, 9, 7, "s", "t"}},
                               Param(zrkcli::kFuncSuspendStatus), ReturnInfo{}, cap.out());
    EXPECT_EQ(cap.Stdout(),
              std::string("GroupStatus:Error    MaxRemainingTime(s):----------\n") + kSuspendHeader +
              "RVZ       /dev/sdb                      0x10@arr2                     ErrorSuspend  Default    ----------\n"
              "VZ        \"q\"                            t                            Active        Default    ----------\n"
              "          s                             t                                                      7         \n");
    EXPECT_EQ(cap.Stderr(), "");
}

TEST(CliOutput, SuspendStatusCsvRows) {
    Capture cap;
    zrkcli::PrintSuspendStatus({{4, 2, 1, 12, " vol\"1 ", "t"}},
                               Param(zrkcli::kFuncSuspendStatus, 0, zrkcli::kOpt2Csv), ReturnInfo{}, cap.out());
    EXPECT_EQ(cap.Stdout(), std::string(kSuspendCsvHeader) +
              "\"Normal\",\"12\",\"VZ\",\"vol\"\"1\",\"t\",\"Active\",\"Executing\",\"12\"\n");
}

// A group-file run: one good line, one line whose session is gone, one
// failed line; text mode sends the failed line's message to standard error.
TEST(CliOutput, SuspendStatusGroupFileRows) {
    Area area({Entry("s0", "t0", 0, 0, ""),
               Entry(" s1", "t\"1", ZRKC_CLASS_STATE, 1100, "ZRKC1100 ERROR Session does not exist.\n"),
               Entry("s2", "t2", ZRKC_CLASS_ARRAY, 1300, "ZRKC1300 ERROR Bad \"thing\".\n")});
    const std::vector<zrkcli::SuspendStatusRow> rows = {
        {4, 2, 0, 9, "s0", "t0"}, {0, 0, 0, 0, "", ""}, {0, 0, 0, 0, "", ""}};
    {
        Capture cap;
        zrkcli::PrintSuspendStatus(rows, Param(zrkcli::kFuncSuspendStatus, zrkcli::kOptGroupFile),
                                   area.ri, cap.out());
        EXPECT_EQ(cap.Stdout(),
                  std::string("GroupStatus:Error    MaxRemainingTime(s):----------\n") + kSuspendHeader +
                  "VZ        s0                            t0                            Active        Default    9         \n"
                  "--------   s1                           t\"1                           ------------  ---------  ----------\n");
        EXPECT_EQ(cap.Stderr(),
                  "ZRKC1804 ERROR Error occurred with copy operation described in group file. "
                  "Source=(s2). Target=(t2). Error message=(ZRKC1300 ERROR Bad \"thing\".).\n");
    }
    {
        Capture cap;
        zrkcli::PrintSuspendStatus(rows, Param(zrkcli::kFuncSuspendStatus, zrkcli::kOptGroupFile,
                                               zrkcli::kOpt2Csv), area.ri, cap.out());
        EXPECT_EQ(cap.Stdout(), std::string(kSuspendCsvHeader) +
                  "\"Error\",\"----------\",\"VZ\",\"s0\",\"t0\",\"Active\",\"Default\",\"9\"\n"
                  "\"Error\",\"----------\",\"--------\",\" s1\",\"t\"1\",\"------------\",\"---------\",\"----------\"\n"
                  "\"ZRKC1804 ERROR Error occurred with copy operation described in group file. "
                  "Source=(s2). Target=(t2). Error message=(ZRKC1300 ERROR Bad \"\"thing\"\".).\","
                  "\"\",\"\",\"\",\"\",\"\",\"\",\"\"\n");
        EXPECT_EQ(cap.Stderr(), "");
    }
}

TEST(CliOutput, EstimateRows) {
    Area area({Entry("v0", "", 0, 0, ""), Entry("v1 ", "", ZRKC_CLASS_STATE, 1100, "x\n"),
               Entry("v2", "", ZRKC_CLASS_STATE, 1020, "ZRKC1020 ERROR size.\n")});
    const std::vector<zrkcli::EstimateRow> rows = {{"v0", 2049}, {"", 0}, {"", 0}};
    Capture text;
    zrkcli::PrintEstimate(rows, Param(zrkcli::kFuncEstimate, zrkcli::kOptGroupFile), area.ri, text.out());
    EXPECT_EQ(text.Stdout(), "Volume                   EstimateSize(MB)\n"
                             "v0                       2               \n"
                             "v1                       ----------------\n");
    EXPECT_EQ(text.Stderr(), "ZRKC1804 ERROR Error occurred with copy operation described in group file. "
                             "Volume=(v2). Error message=(ZRKC1020 ERROR size.).\n");
    Capture csv;
    zrkcli::PrintEstimate(rows, Param(zrkcli::kFuncEstimate, zrkcli::kOptGroupFile, zrkcli::kOpt2Csv),
                          area.ri, csv.out());
    EXPECT_EQ(csv.Stdout(), "\"Volume\",\"EstimateSize(MB)\"\n\"v0\",\"2\"\n\"v1 \",\"----------------\"\n"
                            "\"ZRKC1804 ERROR Error occurred with copy operation described in group file. "
                            "Volume=(v2). Error message=(ZRKC1020 ERROR size.).\",\"\"\n");
}

TEST(CliOutput, SdvInfoHasNoPlaceholder) {
    Area area({Entry("v0", "", ZRKC_CLASS_STATE, 1100, "ZRKC1100 ERROR Session does not exist.\n")});
    Capture cap;
    zrkcli::PrintSdvInfo({{"v0", 0, 0, 0, 0, 0, 0, 0}},
                         Param(zrkcli::kFuncSdvInfo, zrkcli::kOptGroupFile, zrkcli::kOpt2Csv), area.ri, cap.out());
    EXPECT_EQ(cap.Stdout(),
              "\"Volume\",\"Status\",\"LogicalSize(KB)\",\"PhysicalSize(KB)\",\"UsedSDV(Host)(KB)\","
              "\"UsedSDV(Copy)(KB)\",\"UsedSDP(Host)(KB)\",\"UsedSDP(Copy)(KB)\"\n"
              "\"ZRKC1804 ERROR Error occurred with copy operation described in group file. Volume=(v0). "
              "Error message=(ZRKC1100 ERROR Session does not exist.).\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\n");
}

TEST(CliOutput, SdvInfoTextRow) {
    Capture cap;
    zrkcli::PrintSdvInfo({{"/dev/sdc", 0x2000001, 1, 2, 3, 4, 5, 6}}, Param(zrkcli::kFuncSdvInfo),
                         ReturnInfo{}, cap.out());
    EXPECT_EQ(cap.Stdout(),
              "Volume                   Status        LogicalSize(KB)        PhysicalSize(KB)       "
              "UsedSDV(Host / Copy)(KB)                       UsedSDP(Host / Copy)(KB)\n"
              "/dev/sdc                 Initializing  0.5                    1.0                    "
              "1.5                   / 2.0                    2.5                   / 3.0                  \n");
}

TEST(CliOutput, SdpInfoRows) {
    Capture text;
    zrkcli::PrintSdpInfo({2, 1, 0, 4096, 3, 7}, Param(zrkcli::kFuncSdpInfo), text.out());
    EXPECT_EQ(text.Stdout(),
              "SDP total size(KB)     Used SDP(Host)(KB)     Used SDP(Copy)(KB)     "
              "SDP(Encryption) total size(KB)  Used SDP(Encryption)(Host)(KB)  Used SDP(Encryption)(Copy)(KB)\n"
              "1.0                    0.5                    0.0                    2048.0               "
              "           1.5                             3.5                  \n");
    Capture csv;
    zrkcli::PrintSdpInfo({2, 1, 0, 4096, 3, 7}, Param(zrkcli::kFuncSdpInfo, 0, zrkcli::kOpt2Csv), csv.out());
    EXPECT_EQ(csv.Stdout(),
              "\"SDP total size(KB)\",\"Used SDP(Host)(KB)\",\"Used SDP(Copy)(KB)\",\"SDP(Encryption) total size(KB)\","
              "\"Used SDP(Encryption)(Host)(KB)\",\"Used SDP(Encryption)(Copy)(KB)\"\n"
              "\"1.0\",\"0.5\",\"0.0\",\"2048.0\",\"1.5\",\"3.5\"\n");
}

int PrintMarker(int, const void *, const CommandParam &, const ReturnInfo &, const zrkcli::Out &out) {
    std::fputs("printed\n", out.pOut);
    return 0;
}

TEST(CliOutput, ListOutDispatchesToTheRegisteredLayout) {
    zrkcli::RegisterLayout(zrkcli::kLayoutSdpInfo, PrintMarker);
    Capture cap;
    EXPECT_EQ(zrkcli::ListOut(0, nullptr, Param(zrkcli::kFuncSdpInfo), ReturnInfo{}, cap.out()), 0);
    EXPECT_EQ(cap.Stdout(), "printed\n");
    Capture none;
    EXPECT_EQ(zrkcli::ListOut(0, nullptr, Param(zrkcli::kFuncDevice), ReturnInfo{}, none.out()), 2);
    EXPECT_EQ(none.Stdout(), "");
    EXPECT_EQ(none.Stderr(), "ZRKC1201 ERROR Internal inconsistency.\n");
}

}  // namespace
}  // namespace zrktest
