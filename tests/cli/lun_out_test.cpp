// Layouts 10 (lunstatus), 12 and 13 (rvzbuff) and 15 (copypriority -q)
// through list_out, from records filled here: text and CSV byte for byte,
// group-file error rows, -num, and counts that claim more than a record holds.
#include "zrkcargs.h"
#include "zrkclun_out.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace zrkcli;

// Expected lines are written with the layouts' own printf formats.
__attribute__((format(printf, 1, 2))) std::string F(const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string Box(const char *name) {
    std::string box(ZRK_BOXID_LEN, ' ');
    box.replace(0, std::strlen(name), name);
    return box;
}

// One list_out call: its result and both streams.
struct Printed {
    int iResult;
    std::string sOut, sErr;
};

Printed Print(const void *record, int size, const CommandParam &param, const ReturnInfo &ri = {}) {
    RegisterLunLayouts();
    char *outText = nullptr, *errText = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE *out = open_memstream(&outText, &outSize);
    FILE *err = open_memstream(&errText, &errSize);
    Printed p;
    p.iResult = ListOut(size, record, param, ri, Out{out, err});
    std::fclose(out);
    std::fclose(err);
    p.sOut.assign(outText, outSize);
    p.sErr.assign(errText, errSize);
    std::free(outText);
    std::free(errText);
    return p;
}

CommandParam Param(uint32_t func, uint32_t opt = 0, bool csv = false) {
    CommandParam p{};
    p.uiFuncCode = func;
    p.uiOptFlag = opt;
    p.uiOptFlag2 = csv ? uint32_t{kOpt2Csv} : 0u;
    return p;
}

// ---- layout 10 ---------------------------------------------------------------

const char *const kLunText =
    "LUN_V   LogicalSize(KB)        PhysicalSize(KB)       UsedSDV(Host / Copy)(KB)"
    "                       UsedSDP(Host / Copy)(KB)                       ";
const char *const kLunRow = "0x%-4x  %-21s  %-21s  %-21s / %-21s  %-21s / %-21s  ";
const char *const kLunCsv =
    "\"LUN_V\",\"LogicalSize(KB)\",\"PhysicalSize(KB)\",\"UsedSDV(Host)(KB)\",\"UsedSDV(Copy)(KB)\","
    "\"UsedSDP(Host)(KB)\",\"UsedSDP(Copy)(KB)\",";

class LunOut : public ::testing::Test {
protected:
    void SetUp() override {
        area.assign(8 + 2 * sizeof(LunStatusEntry), 0);
        List().ItemCount = 2;
        List().FilledCount = 2;
        LunStatusEntry &a = List().taEntry[0];
        a.Olu = 0x1a;
        a.TfoGroupNo = 3;
        a.StatusFlag = ZRKC_LUN_TFOV | ZRKC_LUN_SECONDARY | ZRKC_LUN_STANDBY;
        a.LogicalSize = 4096;
        a.PhysicalSize = 3;
        LunStatusEntry &b = List().taEntry[1];
        b.Olu = 5;
        b.StatusFlag = ZRKC_LUN_SDV | ZRKC_LUN_INITIALIZING | ZRKC_LUN_COPY_INHIBIT;
        b.UsedSdvHost = 1;
        b.UsedSdpCopy = 10;
    }
    LunStatusList &List() { return *reinterpret_cast<LunStatusList *>(area.data()); }
    Printed Run(uint32_t opt, bool csv, const ReturnInfo &ri = {}) {
        return Print(area.data(), static_cast<int>(area.size()), Param(kFuncLunStatus, opt, csv), ri);
    }
    std::vector<unsigned char> area;
};

TEST_F(LunOut, TextWithWordsOrWithTheStatusWord) {
    const std::string sizesA = F(kLunRow, 0x1a, "2048.0", "1.5", "0.0", "0.0", "0.0", "0.0");
    const std::string sizesB = F(kLunRow, 5, "0.0", "0.0", "0.5", "0.0", "0.0", "5.0");
    Printed p = Run(0, false);
    EXPECT_EQ(0, p.iResult);
    EXPECT_EQ(std::string(kLunText) +
                  "StatusInfo(Kind/Initialize/CopyInhibit)  TfovInfo(Type/Status)  TfoGroupNo\n" +
                  sizesA + F("%-39s  %-21s  %s\n", "NotSDV/NotSDV/Normal", "Secondary/Standby", "0x03") +
                  sizesB + F("%-39s  %-21s  %s\n", "SDV/Initializing/Inhibit", "---/---", "---"),
              p.sOut);
    p = Run(kOptBitDsp, false);
    EXPECT_EQ(std::string(kLunText) + "StatusFlag  TfoGroupNo\n" + sizesA + "0x00e00000  0x03\n" +
                  sizesB + "0x0b000000  ---\n",
              p.sOut);
    EXPECT_EQ("", p.sErr);
}

TEST_F(LunOut, CsvWithWordsOrWithTheStatusWord) {
    EXPECT_EQ(std::string(kLunCsv) +
                  "\"StatusInfo(Kind)\",\"StatusInfo(Initialize)\",\"StatusInfo(CopyInhibit)\","
                  "\"TfovInfo(Type)\",\"TfovInfo(Status)\",\"TfoGroupNo\"\n"
                  "\"0x1a\",\"2048.0\",\"1.5\",\"0.0\",\"0.0\",\"0.0\",\"0.0\",\"NotSDV\",\"NotSDV\","
                  "\"Normal\",\"Secondary\",\"Standby\",\"0x03\"\n"
                  "\"0x5\",\"0.0\",\"0.0\",\"0.5\",\"0.0\",\"0.0\",\"5.0\",\"SDV\",\"Initializing\","
                  "\"Inhibit\",\"---\",\"---\",\"---\"\n",
              Run(0, true).sOut);
    EXPECT_EQ(std::string(kLunCsv) + "\"StatusFlag\",\"TfoGroupNo\"\n"
                  "\"0x1a\",\"2048.0\",\"1.5\",\"0.0\",\"0.0\",\"0.0\",\"0.0\",\"0x00e00000\",\"0x03\"\n"
                  "\"0x5\",\"0.0\",\"0.0\",\"0.5\",\"0.0\",\"0.0\",\"5.0\",\"0x0b000000\",\"---\"\n",
              Run(kOptBitDsp, true).sOut);
}

TEST_F(LunOut, FailedGroupLinePrintsItsErrorInPlaceOfItsRow) {
    std::vector<unsigned char> pairArea(ZRK_PAIR_AREA_SIZE(2), 0);
    const uint32_t count = 2;
    std::memcpy(pairArea.data(), &count, sizeof count);
    PairResult *entries = reinterpret_cast<PairResult *>(pairArea.data() + 4);
    std::strcpy(entries[1].caSource, "0x5@sa");
    entries[1].iReturnClass = ZRKC_CLASS_INTERNAL;
    entries[1].uiMessageNo = 1250;
    std::strcpy(entries[1].caMessage, "ZRKC1250 ERROR Specified LUN_V Number is invalid.\n");
    ReturnInfo ri{};
    ri.pPairArea = pairArea.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(pairArea.size());
    const std::string line = "ZRKC1804 ERROR Error occurred with copy operation described in group "
                             "file. Volume=(0x5@sa). Error message=(ZRKC1250 ERROR Specified LUN_V "
                             "Number is invalid.).";

    Printed text = Run(kOptGroupFile, false, ri);
    EXPECT_EQ(line + "\n", text.sErr);
    EXPECT_EQ(std::string::npos, text.sOut.find("0x5 "));
    EXPECT_NE(std::string::npos, text.sOut.find("0x1a"));

    const std::string words = Run(kOptGroupFile, true, ri).sOut;
    EXPECT_NE(std::string::npos, words.find("\"" + line + "\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
                                            "\"\",\"\",\"\",\"\"\n"));
    const std::string bits = Run(kOptGroupFile | kOptBitDsp, true, ri).sOut;
    EXPECT_NE(std::string::npos,
              bits.find("\"" + line + "\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\n"));
}

TEST_F(LunOut, ItemCountBeyondTheRecordIsNotRead) {
    List().ItemCount = 1000;
    const Printed p = Run(kOptBitDsp, true);
    EXPECT_EQ(3u, static_cast<size_t>(std::count(p.sOut.begin(), p.sOut.end(), '\n')));
}

// A record missing, or shorter than its head: the head is not read (the
// records are heap blocks of their own size, so a read past them shows
// under AddressSanitizer), and only the column heads are printed.
TEST_F(LunOut, RecordShorterThanItsHeadIsNotRead) {
    for (size_t size : {size_t{1}, sizeof(LunStatusList) - 1}) {
        SCOPED_TRACE(size);
        std::vector<unsigned char> shortRecord(size, 0xFF);
        const Printed p = Print(shortRecord.data(), static_cast<int>(size), Param(kFuncLunStatus, 0, true));
        EXPECT_EQ(0, p.iResult);
        EXPECT_EQ(1, std::count(p.sOut.begin(), p.sOut.end(), '\n'));
    }
    const Printed none = Print(nullptr, static_cast<int>(area.size()), Param(kFuncLunStatus, 0, true));
    EXPECT_EQ(0, none.iResult);
    EXPECT_EQ(1, std::count(none.sOut.begin(), none.sOut.end(), '\n'));
}

// ---- layouts 12 and 13 -----------------------------------------------------------

const char *const kRvzCsv =
    "\"MaxBuffCount\",\"CurrentBuffCount\",\"BuffGroup\",\"Status\",\"Use\",\"Interval(s)\","
    "\"WatchTime(m)\",\"RemoteBoxID\",\"Alias\",\"BuffSize(MB)\",\"TotalBuffSize(KB)\","
    "\"TotalUseBuffSize(KB)\",\"DiskBuffStatus\",\"ElapsedTime(s)\",\"TotalDiskBuffSize(KB)\","
    "\"TotalStoredDataSize(KB)\",\"CMCount\"";

class RvzOut : public ::testing::Test {
protected:
    // Two buffers: 0 sends to BOXB (active, disk buffer in error), 1
    // receives from BOXC (active, no disk buffer); buffer 0 has two modules.
    void Fill(bool detail) {
        bDetail = detail;
        area.assign(detail ? ZRKC_RVZBUFF_DETAIL_LEN : ZRKC_RVZBUFF_LEN, 0);
        auto &head = *reinterpret_cast<RvzBuffQueryInfo *>(area.data());
        head.MaxBuffCnt = 8;
        head.CurBuffCnt = 2;
        auto buffer = [](BuffGroupInfo &g, uint8_t number, uint16_t use, uint16_t interval,
                         uint32_t watch, const char *box, const char *alias) {
            g.GroupNum = number;
            g.BuffStat = 3;
            g.Use = use;
            g.Interval = interval;
            g.WatchTime = watch;
            Box(box).copy(g.RemoteBoxID, ZRK_BOXID_LEN);
            std::strcpy(g.Alias, alias);
        };
        BuffGroupInfo &a = Group(0);
        buffer(a, 0, 1, 2, 5, "BOXB", "lb");
        a.BuffSize = 300;
        a.TotalSize = 100;
        a.TotalUseSize = 30;
        a.DskBuffStat = 5;
        a.ElapsTime = 7;
        a.DskBuffSize = 3000;
        a.DskBuffFreeSize = 100;
        a.CmCnt = 2;
        buffer(Group(1), 1, 2, 4, 1, "BOXC", "[Other-Storage]");
        if (!detail) return;
        CMInfo *cm = reinterpret_cast<BuffGroupDetail *>(area.data() + 8)[0].taCm;
        for (uint16_t k = 0; k < 2; ++k) {
            cm[k].CMID = static_cast<uint16_t>(0x10 + k);
            cm[k].BuffSize = 50;
            cm[k].BuffUseSize = 15;
            cm[k].DskBuffSize = 1500;
            cm[k].DskBuffFreeSize = 50;
        }
    }
    BuffGroupInfo &Group(size_t i) {
        return *reinterpret_cast<BuffGroupInfo *>(
            area.data() + 8 + i * (bDetail ? sizeof(BuffGroupDetail) : sizeof(BuffGroupInfo)));
    }
    Printed Run(uint32_t opt, bool csv, uint32_t number = 0) {
        CommandParam p = Param(kFuncRvzBuff, opt | (bDetail ? uint32_t{kOptV} : 0u), csv);
        p.uiNumber = number;
        return Print(area.data(), static_cast<int>(area.size()), p);
    }

    // The seven text lines of a buffer: its number, status, use, interval,
    // monitoring time, partner, alias, size, then the column texts.
    static std::string Lines(const std::vector<std::string> &v) {
        return "BuffGroup: " + v[0] + "\n" +
               F(" Status: %-8s  Use: %-4s  Interval(s): %-5s  WatchTime(m): %-10s\n", v[1].c_str(),
                 v[2].c_str(), v[3].c_str(), v[4].c_str()) +
               F(" RemoteBoxID: %-40s  Alias: %-40s\n", Box(v[5].c_str()).c_str(), v[6].c_str()) +
               F(" BuffSize(MB): %-10s  TotalBuffSize(KB): %-10s  TotalUseBuffSize(KB): %-10s\n",
                 v[7].c_str(), v[8].c_str(), v[9].c_str()) +
               F(" DiskBuffStatus: %-12s  ElapsedTime(s): %-10s\n", v[10].c_str(), v[11].c_str()) +
               F(" TotalDiskBuffSize(KB): %-20s  TotalStoredDataSize(KB): %-20s\n", v[12].c_str(),
                 v[13].c_str()) +
               " CMCount: " + v[14] + "\n";
    }
    static std::string SendLines() {
        return Lines({"0", "Active", "Send", "2", "5", "BOXB", "lb", "300", "100", "30", "Error", "7",
                      "3000", "--------------------", "2 "});
    }
    static std::string RecvLines() {
        return Lines({"1", "Active", "Recv", "4", "1", "BOXC", "[Other-Storage]", "0", "----------",
                      "----------", "------------", "----------", "--------------------",
                      "--------------------", "0 "});
    }

    std::vector<unsigned char> area;
    bool bDetail = false;
};

TEST_F(RvzOut, TextOfAllBuffersOrOfOne) {
    Fill(false);
    Printed p = Run(0, false);
    EXPECT_EQ(0, p.iResult);
    EXPECT_EQ("MaxBuffCount: 8  CurrentBuffCount: 2\n" + SendLines() + RecvLines(),
              p.sOut);
    p = Run(kOptNum, false, 1);
    EXPECT_EQ(0, p.iResult);
    EXPECT_EQ(RecvLines(), p.sOut);
    p = Run(kOptNum, false, 256);
    EXPECT_EQ(2, p.iResult);
    EXPECT_EQ("", p.sOut);
    EXPECT_EQ("ZRKC0101 ERROR RVZ buffer identifier does not exist.\n", p.sErr);
}

TEST_F(RvzOut, CsvRowsAndTheEmptyArray) {
    Fill(false);
    const std::string send = "\"0\",\"Active\",\"Send\",\"2\",\"5\",\"BOXB\",\"lb\",\"300\",\"100\",\"30\","
                             "\"Error\",\"7\",\"3000\",\"--------------------\",\"2\"\n";
    EXPECT_EQ(std::string(kRvzCsv) + "\n\"8\",\"2\"," + send +
                  "\"8\",\"2\",\"1\",\"Active\",\"Recv\",\"4\",\"1\",\"BOXC\",\"[Other-Storage]\",\"0\","
                  "\"----------\",\"----------\",\"------------\",\"----------\","
                  "\"--------------------\",\"--------------------\",\"0\"\n",
              Run(0, true).sOut);
    EXPECT_EQ(std::string(kRvzCsv) + "\n\"\",\"\"," + send, Run(kOptNum, true, 0).sOut);
    Printed none = Run(kOptNum, true, 7);
    EXPECT_EQ(2, none.iResult);
    EXPECT_EQ(std::string(kRvzCsv) + "\n", none.sOut);

    reinterpret_cast<RvzBuffQueryInfo *>(area.data())->CurBuffCnt = 0;
    EXPECT_EQ("MaxBuffCount: 8  CurrentBuffCount: 0\n", Run(0, false).sOut);
    std::string empty15;
    for (int i = 0; i < 15; ++i) empty15 += ",\"\"";
    EXPECT_EQ(std::string(kRvzCsv) + "\n\"8\",\"0\"" + empty15 + "\n", Run(0, true).sOut);
}

TEST_F(RvzOut, DetailFormPrintsTheModules) {
    Fill(true);
    const std::string cmLines = F("  CM-BuffSize(KB): %-10s  CM-UseBuffSize(KB): %-10s\n", "50        ", "15        ") +
                                F("  CM-DiskBuffSize(KB): %-20s  CM-StoredDataSize(KB): %-20s\n",
                                  "1500                ", "--------------------");
    EXPECT_EQ("MaxBuffCount: 8  CurrentBuffCount: 2\n" + SendLines() + " CM: 16\n" +
                  cmLines + " CM: 17\n" + cmLines + RecvLines(),
              Run(0, false).sOut);
    // One CSV row per module; the receive buffer has none and prints no row.
    const std::string buffer = "\"8\",\"2\",\"0\",\"Active\",\"Send\",\"2\",\"5\",\"BOXB\",\"lb\",\"300\","
                               "\"100\",\"30\",\"Error\",\"7\",\"3000\",\"--------------------\",\"2\",";
    EXPECT_EQ(std::string(kRvzCsv) +
                  ",\"CM\",\"CM-BuffSize(KB)\",\"CM-UseBuffSize(KB)\",\"CM-DiskBuffSize(KB)\","
                  "\"CM-StoredDataSize(KB)\"\n" +
                  buffer + "\"16\",\"50\",\"15\",\"1500\",\"--------------------\"\n" + buffer +
                  "\"17\",\"50\",\"15\",\"1500\",\"--------------------\"\n",
              Run(0, true).sOut);
}

TEST_F(RvzOut, DiskBufferStatesAndStoredData) {
    Fill(false);
    struct Case {
        uint8_t ucState;
        uint16_t uhUse;
        const char *pStatus, *pElapsed, *pTotal, *pStored;
    };
    const char *d10 = "----------", *d20 = "--------------------";
    const Case cases[] = {
        {3, 1, "Normal", "7", "3000", "2900"},     {4, 1, "Maintenance", "7", "3000", "2900"},
        {8, 1, "Exposed", "7", "3000", "2900"},    {6, 1, "Formatting", "7", "3000", d20},
        {7, 2, "NotSupported", "7", "3000", d20},  {0, 2, "------------", d10, d20, d20},
        {9, 1, "Invalid", "7", d20, d20},
    };
    for (const Case &c : cases) {
        Group(0).DskBuffStat = c.ucState;
        Group(0).Use = c.uhUse;
        const std::string out = Run(kOptNum, true, 0).sOut;
        EXPECT_NE(std::string::npos, out.find(F("\"%s\",\"%s\",\"%s\",\"%s\",\"2\"\n", c.pStatus,
                                                c.pElapsed, c.pTotal, c.pStored)))
            << int(c.ucState) << out;
    }
    // More free space than size is no wrap-around.
    Group(0).DskBuffStat = 3;
    Group(0).DskBuffFreeSize = 4000;
    EXPECT_NE(std::string::npos, Run(kOptNum, true, 0).sOut.find("\"3000\",\"0\",\"2\"\n"));
}

TEST_F(RvzOut, CountsBeyondTheRecordAreNotRead) {
    Fill(true);
    reinterpret_cast<RvzBuffQueryInfo *>(area.data())->CurBuffCnt = 500;
    Group(0).CmCnt = 999;
    const Printed p = Run(0, false);
    size_t buffers = 0, modules = 0;
    for (size_t at = p.sOut.find("BuffGroup:"); at != std::string::npos; at = p.sOut.find("BuffGroup:", at + 1))
        ++buffers;
    for (size_t at = p.sOut.find(" CM: "); at != std::string::npos; at = p.sOut.find(" CM: ", at + 1))
        ++modules;
    EXPECT_EQ(ZRKC_RVZBUFF_ITEMS, buffers);
    EXPECT_EQ(ZRKC_RVZBUFF_CMS, modules);
}

TEST_F(RvzOut, RecordShorterThanItsHeadIsNotRead) {
    for (bool detail : {false, true}) {
        SCOPED_TRACE(detail);
        Fill(detail);
        const uint32_t opt = detail ? uint32_t{kOptV} : 0u;
        std::vector<unsigned char> shortRecord(sizeof(RvzBuffQueryInfo) - 1, 0xFF);
        for (const Printed &p : {Print(shortRecord.data(), static_cast<int>(shortRecord.size()),
                                       Param(kFuncRvzBuff, opt)),
                                 Print(nullptr, static_cast<int>(area.size()), Param(kFuncRvzBuff, opt))}) {
            EXPECT_EQ(0, p.iResult);
            EXPECT_EQ("", p.sOut);
            EXPECT_EQ("", p.sErr);
        }
    }
}

// ---- layout 15 ----------------------------------------------------------------

TEST(CopyPriorityOut, LocalRowThenOneRowPerRemoteArray) {
    CopyPriorityInfo info{};
    info.ucLCopyRate = 2;
    info.ucEntryCount = 3;
    Box("BOXB").copy(info.taEntry[0].caBoxID, ZRK_BOXID_LEN);
    info.taEntry[0].ucConnectionType = 0;
    info.taEntry[0].ucPriorityLevel = 0;
    Box("BOXC").copy(info.taEntry[1].caBoxID, ZRK_BOXID_LEN);
    info.taEntry[1].ucConnectionType = 1;
    info.taEntry[1].uhMultiplicity = 12;
    Box("BOXD").copy(info.taEntry[2].caBoxID, ZRK_BOXID_LEN);
    info.taEntry[2].ucConnectionType = 1;
    const char *row = "%-6s %-10s %-40s %-14s %-13s %-12s\n";
    Printed p = Print(&info, sizeof info, Param(kFuncCopyPriority));
    EXPECT_EQ("KIND   L-CopyRate BoxID                                    ConnectionType PriorityLevel "
              "Multiplicity\n" +
                  F(row, "VZ/KZP", "High", "-----", "-----", "-----", "-----") +
                  F(row, "RVZ", "-----", Box("BOXB").c_str(), "Direct", "Auto", "-----") +
                  F(row, "RVZ", "-----", Box("BOXC").c_str(), "Remote", "-----", "12") +
                  F(row, "RVZ", "-----", Box("BOXD").c_str(), "Remote", "-----", "Auto"),
              p.sOut);
    info.ucEntryCount = 1;
    info.taEntry[0].ucPriorityLevel = 9;
    info.ucLCopyRate = 7; // no word
    p = Print(&info, sizeof info, Param(kFuncCopyPriority, 0, true));
    EXPECT_EQ("\"KIND\",\"L-CopyRate\",\"BoxID\",\"ConnectionType\",\"PriorityLevel\",\"Multiplicity\"\n"
              "\"VZ/KZP\",\"\",\"-----\",\"-----\",\"-----\",\"-----\"\n"
              "\"RVZ\",\"-----\",\"" + Box("BOXB") + "\",\"Direct\",\"9\",\"-----\"\n",
              p.sOut);
    // An entry count beyond the sixteen entries is not believed.
    info.ucEntryCount = 200;
    p = Print(&info, sizeof info, Param(kFuncCopyPriority));
    EXPECT_EQ(18u, static_cast<size_t>(std::count(p.sOut.begin(), p.sOut.end(), '\n')));
}

} // namespace
