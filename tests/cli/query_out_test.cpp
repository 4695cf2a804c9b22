// The copy-query layouts (query, query -v, query -g, query -tfop, query
// -vvol) over records filled by hand, compared byte for byte.
#include "out_support.h"
#include "zrkcquery.h"
#include "zrkcquery_out.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace zrktest {
namespace {

using zrkcli::CsvKind;

std::string Pad(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

// A CSV line of plain fields.
std::string CsvOf(const std::vector<std::string> &fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i ? ",\"" : "\"") + fields[i] + "\"";
    return line + "\n";
}

// The fields of a CSV line without quotes inside its values.
std::vector<std::string> FieldsOf(const std::string &line) {
    std::vector<std::string> fields;
    const std::string body = line.substr(1, line.size() - 3);   // without the outer quotes and newline
    size_t start = 0;
    for (size_t at; (at = body.find("\",\"", start)) != std::string::npos; start = at + 3) {
        fields.push_back(body.substr(start, at - start));
    }
    fields.push_back(body.substr(start));
    return fields;
}

// The n-th line of a text (from 0).
std::string LineOf(const std::string &text, size_t n) {
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) start = text.find('\n', start) + 1;
    return text.substr(start, text.find('\n', start) + 1 - start);
}

template <size_t N>
void Set(char (&field)[N], const std::string &text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(N, text.size()));
}

// A list buffer: count, (version), items.
template <typename Item>
std::vector<unsigned char> ListOf(size_t header, const std::vector<Item> &items, const char *version = "") {
    std::vector<unsigned char> buffer(header + items.size() * sizeof(Item));
    const uint32_t count = static_cast<uint32_t>(items.size());
    std::memcpy(buffer.data(), &count, sizeof(count));
    if (header == ZRKC_QUERY_HEADER_DETAIL) {
        std::memcpy(buffer.data() + offsetof(CopyQueryList, Version), version,
                    std::min<size_t>(std::strlen(version), ZRKC_QUERY_VERSION_LEN));
    }
    if (!items.empty()) std::memcpy(buffer.data() + header, items.data(), items.size() * sizeof(Item));
    return buffer;
}

// Both volumes named, 4 blocks (2.0 KB), extent 0x800 and 0x0, aliases.
template <typename Item>
Item Named(uint8_t kind, uint8_t phase = 2, uint8_t status = 2) {
    Item it{};
    it.CopyKind = kind;
    it.Phase = phase;
    it.Status = status;
    it.SrcOlu = 0x10;
    it.TrgOlu = 0x20;
    it.SrcAddr = 0x800;
    it.SrcSize = 4;
    it.BlkCnt = 3;
    it.CopyProgress = 75;
    it.LpsTime = 12;
    Set(it.SrcVolume, "/dev/sdb");
    Set(it.TrgVolume, "/dev/sdc");
    Set(it.SrcAlias, "arrA");
    Set(it.TrgAlias, "arrB");
    it.SrcVolumeSet = it.TrgVolumeSet = 1;
    return it;
}

struct Printed {
    std::string sOut, sErr;
};
Printed Print(zrkcli::LayoutPrinter printer, const std::vector<unsigned char> &buffer,
            const CommandParam &param, const ReturnInfo &ri = ReturnInfo{}) {
    Capture cap;
    EXPECT_EQ(printer(static_cast<int>(buffer.size()), buffer.data(), param, ri, cap.out()), 0);
    return {cap.Stdout(), cap.Stderr()};
}

CommandParam Query(uint32_t opt = 0, uint32_t opt2 = 0, int32_t form = zrkcli::kFormPair) {
    CommandParam p = Param(zrkcli::kFuncQuery, opt, opt2);
    p.iForm = form;
    return p;
}

const char kQueryHeader[] =
    "CopyKind  Source                        Target                        Progress  Status         "
    "Phase             ElapsedTime\n";
const char kQueryCsvHeader[] =
    "\"CopyKind\",\"Source\",\"Target\",\"Progress\",\"Status\",\"Phase\",\"ElapsedTime\"\n";

std::string QueryRow(const std::string &kind, const std::string &src, const std::string &trg,
                     const std::string &progress, const std::string &status, const std::string &phase,
                     const std::string &elapsed) {
    return Pad(kind, 8) + "  " + Pad(src, 28) + "  " + Pad(trg, 28) + "  " + Pad(progress, 4) + "      " +
           Pad(status, 13) + "  " + Pad(phase, 16) + "  " + Pad(elapsed, 10) + "\n";
}

TEST(CliQueryOut, QueryRowLiteral) {
    const Printed p = Print(zrkcli::PrintCopyQuery, ListOf(ZRKC_QUERY_HEADER_NORMAL,
                          std::vector<CopyQueryEntry>{Named<CopyQueryEntry>(1, 1)}), Query());
    EXPECT_EQ(p.sOut, std::string(kQueryHeader) +
              "KZP       /dev/sdb                      /dev/sdc                      75%       Active         "
              "Copying           12        \n");
    EXPECT_EQ(p.sErr, "");
}

// Kind, status and phase words; the Suspending and ErrorSuspend rules; no
// elapsed time for VZ and RVZ; unknown codes print empty fields.
TEST(CliQueryOut, QueryWords) {
    struct Case {
        uint8_t kind, phase, status, suspending;
        int32_t elapsed;
        const char *words[4];   // kind, status, phase, elapsed
    } cases[] = {
        {1, 0, 0, 0, 5, {"KZP", "Idle", "NoPair", "5"}},
        {2, 1, 1, 0, 0, {"QUICK", "Reserve", "Copying", "0"}},
        {3, 2, 2, 0, -1, {"SNAP", "Active", "Equivalent", "-1"}},
        {4, 3, 4, 0, 9, {"VZ", "Suspend", "Tracking", "-----"}},
        {5, 4, 5, 0, 9, {"RVZ", "Halt", "Tracking&Copying", "-----"}},
        {6, 6, 2, 0, 7, {"ESTIMATE", "Active", "Readying", "7"}},
        {7, 2, 3, 0, 1, {"SKZP", "ErrorSuspend", "-----", "1"}},
        {8, 2, 2, 1, 1, {"XCOPY", "Suspending", "-----", "1"}},
        {9, 2, 2, 2, 1, {"ODX", "Active", "Equivalent", "1"}},
        {18, 2, 2, 0, 1, {"TFOP", "Active", "Equivalent", "1"}},
        {19, 2, 2, 0, 1, {"VClone", "Active", "Equivalent", "1"}},
        {20, 2, 2, 0, 1, {"VRevert", "Active", "Equivalent", "1"}},
        {21, 2, 2, 0, 1, {"VDiffs", "Active", "Equivalent", "1"}},
        {22, 2, 2, 0, 1, {"VSnap", "Active", "Equivalent", "1"}},
        {23, 2, 2, 0, 1, {"VFast", "Active", "Equivalent", "1"}},
        {99, 5, 9, 0, 1, {"", "", "", "1"}},
    };
    for (const Case &c : cases) {
        auto it = Named<CopyQueryEntry>(c.kind, c.phase, c.status);
        it.Suspending = c.suspending;
        it.LpsTime = c.elapsed;
        const auto buffer = ListOf(ZRKC_QUERY_HEADER_NORMAL, std::vector<CopyQueryEntry>{it});
        EXPECT_EQ(LineOf(Print(zrkcli::PrintCopyQuery, buffer, Query()).sOut, 1),
                  QueryRow(c.words[0], "/dev/sdb", "/dev/sdc", "75%", c.words[1], c.words[2], c.words[3]))
            << int(c.kind);
        EXPECT_EQ(LineOf(Print(zrkcli::PrintCopyQuery, buffer, Query(0, zrkcli::kOpt2Csv)).sOut, 1),
                  CsvOf({c.words[0], "/dev/sdb", "/dev/sdc", "75%", c.words[1], c.words[2], c.words[3]}))
            << int(c.kind);
    }
}

TEST(CliQueryOut, Progress) {
    struct Case { uint8_t progress; uint64_t copied, size; const char *text; } cases[] = {
        {0, 5, 5, "0%"}, {100, 0, 0, "100%"}, {254, 1, 1, "254%"},
        {255, 1, 3, "33%"}, {255, 2, 3, "66%"}, {255, 3, 3, "100%"}, {255, 7, 0, "---%"},
        // A damaged record whose copied count dwarfs the size: the largest value, not a wrap.
        {255, ~0ull, 1, "18446744073709551615%"},
    };
    for (const Case &c : cases) {
        auto it = Named<CopyQueryEntry>(1);
        it.CopyProgress = c.progress;
        it.BlkCnt = c.copied;
        it.SrcSize = c.size;
        it.SrcVolumeSet = it.TrgVolumeSet = 0;
        const auto line = LineOf(Print(zrkcli::PrintCopyQuery, ListOf(ZRKC_QUERY_HEADER_NORMAL,
                                     std::vector<CopyQueryEntry>{it}), Query(0, zrkcli::kOpt2Csv)).sOut, 1);
        EXPECT_EQ(FieldsOf(line).at(3), c.text) << int(c.progress) << " " << c.copied << "/" << c.size;
    }
}

// The volume columns: names or the extent form, adjusted when the query
// named a volume; alias forms brought up to the session's unit and alias.
TEST(CliQueryOut, VolumeColumns) {
    using namespace zrkcli;
    const std::string srcExt = "0x10:0x800:2.0@arrA", trgExt = "0x20:0x0:2.0@arrB";
    struct Case {
        int32_t form;
        uint8_t kind, phase, srcSet, trgSet;
        std::string src, trg;
    } cases[] = {
        {kFormPair, 1, 1, 1, 1, "/dev/sdb", "/dev/sdc"},
        {kFormGroupFile, 1, 1, 1, 1, "/dev/sdb", "/dev/sdc"},
        {kFormVolume, 1, 2, 1, 1, srcExt, trgExt},
        {kFormVolumeB, 2, 1, 1, 1, srcExt, trgExt},
        {kFormVolume, 2, 2, 1, 1, "/dev/sdb", "/dev/sdc"},
        {kFormVolume, 4, 2, 1, 0, srcExt, trgExt},
        {kFormVolume, 4, 2, 0, 1, srcExt, trgExt},
        {kFormNone, 5, 2, 1, 1, "/dev/sdb", "/dev/sdc"},
        {kFormVolume, 6, 2, 1, 0, "/dev/sdb", "-----"},
        {kFormVolume, 6, 2, 0, 0, srcExt, "-----"},
        {kFormPair, 6, 2, 0, 1, srcExt, "/dev/sdc"},
        {kFormGroupFile, 4, 2, 1, 0, "/dev/sdb", trgExt},
    };
    for (const Case &c : cases) {
        auto it = Named<CopyQueryEntry>(c.kind, c.phase);
        it.SrcVolumeSet = c.srcSet;
        it.TrgVolumeSet = c.trgSet;
        const auto buffer = ListOf(ZRKC_QUERY_HEADER_NORMAL, std::vector<CopyQueryEntry>{it});
        const auto fields = FieldsOf(LineOf(Print(PrintCopyQuery, buffer, Query(0, kOpt2Csv, c.form)).sOut, 1));
        EXPECT_EQ(fields.at(1), c.src) << c.form << " kind " << int(c.kind);
        EXPECT_EQ(fields.at(2), c.trg) << c.form << " kind " << int(c.kind);
    }
}

TEST(CliQueryOut, StoredAliasFormsAndFullAliases) {
    struct Case { std::string name; uint8_t aliasSet; std::string shown; } cases[] = {
        {"0x5@old", 1, "0x10@arrA"},
        {"0x5:0x0:9.0@old", 1, "0x10:0x800:2.0@arrA"},
        {"0x5@old", 0, "0x5@old"},
        {"/dev/sdx", 1, "/dev/sdx"},
    };
    for (const Case &c : cases) {
        auto it = Named<CopyQueryEntry>(4);
        Set(it.SrcVolume, c.name);
        it.SrcAliasSet = c.aliasSet;
        const auto buffer = ListOf(ZRKC_QUERY_HEADER_NORMAL, std::vector<CopyQueryEntry>{it});
        EXPECT_EQ(FieldsOf(LineOf(Print(zrkcli::PrintCopyQuery, buffer, Query(0, zrkcli::kOpt2Csv)).sOut, 1)).at(1),
                  c.shown);
    }
    // An alias that fills its 40 bytes, and a name that fills its 1024, are
    // read to the end of their fields and no further.
    auto it = Named<CopyQueryEntry>(4);
    it.SrcVolumeSet = 0;
    Set(it.SrcAlias, std::string(ZRKC_QUERY_ALIAS_LEN, 'a'));
    Set(it.TrgVolume, std::string(ZRK_VOLNAME_LEN, 'v'));
    const auto fields = FieldsOf(LineOf(Print(zrkcli::PrintCopyQuery, ListOf(ZRKC_QUERY_HEADER_NORMAL,
        std::vector<CopyQueryEntry>{it}), Query(0, zrkcli::kOpt2Csv)).sOut, 1));
    EXPECT_EQ(fields.at(1), "0x10:0x800:2.0@" + std::string(ZRKC_QUERY_ALIAS_LEN, 'a'));
    EXPECT_EQ(fields.at(2), std::string(ZRK_VOLNAME_LEN, 'v'));
}

TEST(CliQueryOut, CsvTrimsAndDoublesQuotesOfNames) {
    auto it = Named<CopyQueryEntry>(4);
    Set(it.SrcVolume, " a\"b ");
    const auto buffer = ListOf(ZRKC_QUERY_HEADER_NORMAL, std::vector<CopyQueryEntry>{it});
    EXPECT_EQ(LineOf(Print(zrkcli::PrintCopyQuery, buffer, Query(0, zrkcli::kOpt2Csv)).sOut, 1),
              "\"VZ\",\"a\"\"b\",\"/dev/sdc\",\"75%\",\"Active\",\"Equivalent\",\"-----\"\n");
    EXPECT_EQ(LineOf(Print(zrkcli::PrintCopyQuery, buffer, Query()).sOut, 1),
              QueryRow("VZ", " a\"b ", "/dev/sdc", "75%", "Active", "Equivalent", "-----"));
}

// A count beyond the buffer prints the items the buffer holds; a buffer too
// short for its header prints the header line alone.
TEST(CliQueryOut, CountBoundedByBuffer) {
    auto buffer = ListOf(ZRKC_QUERY_HEADER_NORMAL, std::vector<CopyQueryEntry>{Named<CopyQueryEntry>(4)});
    const uint32_t count = 1000;
    std::memcpy(buffer.data(), &count, sizeof(count));
    const Printed p = Print(zrkcli::PrintCopyQuery, buffer, Query());
    EXPECT_EQ(p.sOut, std::string(kQueryHeader) +
              QueryRow("VZ", "/dev/sdb", "/dev/sdc", "75%", "Active", "Equivalent", "-----"));
    Capture cap;
    EXPECT_EQ(zrkcli::PrintCopyQuery(4, buffer.data(), Query(), ReturnInfo{}, cap.out()), 0);
    EXPECT_EQ(cap.Stdout(), kQueryHeader);
    Capture detail;
    EXPECT_EQ(zrkcli::PrintGenerations(4, buffer.data(), Query(zrkcli::kOptG), ReturnInfo{}, detail.out()), 0);
    EXPECT_EQ(detail.Stdout(), "");
}

// A group file of three lines: a session, a line whose session is gone, a
// failed line.
struct GroupRun {
    Area area{{Entry("s0", "t0", ZRKC_CLASS_OK, 0, ""),
               Entry(" s\"1", "t1 ", ZRKC_CLASS_STATE, 1100, "ZRKC1100 ERROR Session does not exist.\n"),
               Entry("s2", "t2", ZRKC_CLASS_ARRAY, 1300, "ZRKC1300 ERROR Bad \"thing\".\n")}};
    static constexpr char kTextError[] =
        "ZRKC1804 ERROR Error occurred with copy operation described in group file. "
        "Source=(s2). Target=(t2). Error message=(ZRKC1300 ERROR Bad \"thing\".).\n";
    static constexpr char kCsvError[] =
        "\"ZRKC1804 ERROR Error occurred with copy operation described in group file. "
        "Source=(s2). Target=(t2). Error message=(ZRKC1300 ERROR Bad \"\"thing\"\".).\"";
};

template <typename Item>
std::vector<Item> GroupItems() {
    auto it = Named<Item>(4);
    Set(it.SrcVolume, "s0");
    Set(it.TrgVolume, "t0");
    return {it, Item{}, Item{}};
}

TEST(CliQueryOut, QueryGroupFileRows) {
    const GroupRun run;
    const auto buffer = ListOf(ZRKC_QUERY_HEADER_NORMAL, GroupItems<CopyQueryEntry>());
    const Printed text = Print(zrkcli::PrintCopyQuery, buffer, Query(zrkcli::kOptGroupFile, 0, zrkcli::kFormGroupFile),
                             run.area.ri);
    EXPECT_EQ(text.sOut, std::string(kQueryHeader) +
              QueryRow("VZ", "s0", "t0", "75%", "Active", "Equivalent", "-----") +
              "--------  " + Pad(" s\"1", 28) + "  " + Pad("t1 ", 28) +
              "  ----      -------------  ----------------  ----------\n");
    EXPECT_EQ(text.sErr, GroupRun::kTextError);
    const Printed csv = Print(zrkcli::PrintCopyQuery, buffer,
                            Query(zrkcli::kOptGroupFile, zrkcli::kOpt2Csv, zrkcli::kFormGroupFile), run.area.ri);
    EXPECT_EQ(csv.sOut, std::string(kQueryCsvHeader) +
              CsvOf({"VZ", "s0", "t0", "75%", "Active", "Equivalent", "-----"}) +
              "\"--------\",\"s\"\"1\",\"t1\",\"----\",\"-------------\",\"----------------\",\"----------\"\n" +
              GroupRun::kCsvError + ",\"\",\"\",\"\",\"\",\"\",\"\"\n");
    EXPECT_EQ(csv.sErr, "");
}

// ---- query -v ----

const char kDetailHeader13[] =
    "CopyKind  Remote             SourceVolume             TargetVolume             SourceSessionID  "
    "TargetSessionID  Progress  Status         Phase             ElapsedTime  CopiedSize(KB)         "
    "TotalSize(KB)          ErrorCode";
const char kDetailCsvHeader[] =
    "\"CopyKind\",\"Remote(TransferMode)\",\"Remote(SplitMode)\",\"Remote(RecoveryMode)\",\"SourceVolume\","
    "\"TargetVolume\",\"SourceSessionID\",\"TargetSessionID\",\"Progress\",\"Status\",\"Phase\",\"ElapsedTime\","
    "\"CopiedSize(KB)\",\"TotalSize(KB)\",\"ErrorCode\",\"TargetProtection\",\"LicenseInfo\","
    "\"TimeStampInformation\",\"ControlType\",\"SubInfo\",\"TfoInfo\",\"TfoGroupNo\"\n";
const std::string kDetailHeader14 = std::string(kDetailHeader13) + "  TargetProtection";
const std::string kDetailHeader20 =
    kDetailHeader14 + "  LicenseInfo  TimeStampInformation  ControlType  SubInfo  TfoInfo  TfoGroupNo";

CopyQueryDetailEntry Detail(uint8_t kind = 4) {
    auto it = Named<CopyQueryDetailEntry>(kind);
    it.SrcSessionId = 0x12;
    it.TrgSessionId = 0x34;
    it.ErrCode = 0x1a;
    it.TargetProtection = 1;
    it.LicenseInfo = 1;
    it.ControlType = 4;
    const uint8_t stamp[] = {0x20, 0x24, 0x01, 0x15, 0x10, 0x30, 0x05};
    std::memcpy(it.TimeStamp, stamp, sizeof(stamp));
    return it;
}

TEST(CliQueryOut, DetailColumnsPerVersion) {
    const std::string first = Pad("VZ", 8) + "  -----/-----/-----  " + Pad("/dev/sdb", 23) + "  " +
        Pad("/dev/sdc", 23) + "  0x" + Pad("12", 4) + "           ------           " + Pad("75%", 4) +
        "      " + Pad("Active", 13) + "  " + Pad("Equivalent", 16) + "  " + Pad("-----", 10) + "   " +
        Pad("1.5", 21) + "  " + Pad("2.0", 21) + "  0x1A";
    const std::string protection = "       " + Pad("ON", 16);
    const std::string rest = "  " + Pad("Trial", 11) + "  " + Pad("2024/01/15/10:30:05", 20) + "  " +
        Pad("LAN", 11) + "  " + Pad("----", 7) + "  " + Pad("0x00", 7) + "  " + Pad("----", 10);
    struct Case { const char *version; std::string header, row; } cases[] = {
        {"2.0.0", kDetailHeader20, first + protection + rest + "\n"},
        {"1.4.0", kDetailHeader14, first + protection + "\n"},
        {"1.3.0", kDetailHeader13, first + "\n"},
        {"1.2.0", kDetailHeader13, ""},
        {"", kDetailHeader13, ""},
    };
    const std::string csvRow = CsvOf({"VZ", "-----", "-----", "-----", "/dev/sdb", "/dev/sdc", "0x12", "------",
        "75%", "Active", "Equivalent", "-----", "1.5", "2.0", "0x1A", "ON", "Trial", "2024/01/15/10:30:05",
        "LAN", "----", "0x00", "----"});
    for (const Case &c : cases) {
        const auto buffer = ListOf(ZRKC_QUERY_HEADER_DETAIL, std::vector<CopyQueryDetailEntry>{Detail()}, c.version);
        EXPECT_EQ(Print(zrkcli::PrintCopyQueryDetail, buffer, Query(zrkcli::kOptV)).sOut, c.header + "\n" + c.row)
            << c.version;
        EXPECT_EQ(Print(zrkcli::PrintCopyQueryDetail, buffer, Query(zrkcli::kOptV, zrkcli::kOpt2Csv)).sOut,
                  std::string(kDetailCsvHeader) + csvRow) << c.version;
    }
}

// The columns of layout 2 that depend on the kind and the mode bytes.
TEST(CliQueryOut, DetailColumnRules) {
    enum { kTransfer = 1, kSplit, kRecovery, kTrgSession = 7, kProtection = 15, kSubInfo = 19, kTfo, kTfoGroup };
    struct Case {
        uint8_t kind, transfer, split, recovery, protection, support, sub, tfo;
        std::vector<std::pair<int, std::string>> expect;
    } cases[] = {
        {5, 1, 1, 1, 0, 0, 0, 0, {{kTransfer, "Sync"}, {kSplit, "Manual"}, {kRecovery, "Auto"},
                                  {kTrgSession, "0x34"}, {kProtection, "OFF"}}},
        {5, 1, 2, 2, 1, 0, 0, 0, {{kSplit, "Auto"}, {kRecovery, "Manual"}, {kProtection, "ON"}}},
        {5, 1, 9, 0, 2, 0, 0, 0, {{kSplit, "Auto"}, {kRecovery, "Manual"}, {kProtection, ""}}},
        {5, 2, 1, 1, 0, 0x2, 0x1, 0, {{kTransfer, "Stack"}, {kSplit, "-----"}, {kSubInfo, "0x01"}}},
        {5, 3, 1, 1, 0, 0, 0, 0, {{kTransfer, "Consistency"}, {kSplit, "-----"}}},
        {5, 4, 1, 1, 0, 0, 0, 0, {{kTransfer, "Through"}}},
        {5, 0, 1, 1, 0, 0, 0, 0, {{kTransfer, "Through"}}},
        {1, 1, 1, 1, 1, 0, 0, 0, {{kTransfer, "-----"}, {kSplit, "-----"}, {kRecovery, "-----"},
                                  {kTrgSession, "------"}, {kProtection, "----"}}},
        {4, 1, 1, 1, 1, 0x2, 0x1, 0, {{kTrgSession, "------"}, {kProtection, "ON"}, {kSubInfo, "----"}}},
        {4, 0, 0, 0, 0, 0x2, 0x2, 0, {{kSubInfo, "0x02"}}},
        {4, 0, 0, 0, 0, 0x2, 0x4, 0, {{kSubInfo, "0x04"}}},
        {4, 0, 0, 0, 0, 0x0, 0x6, 0, {{kSubInfo, "----"}}},
        {5, 2, 0, 0, 0, 0x1, 0x1, 0, {{kSubInfo, "----"}}},
        {4, 0, 0, 0, 0, 0, 0, 0x81, {{kTfo, "0x81"}, {kTfoGroup, "0x07"}}},
        {4, 0, 0, 0, 0, 0, 0, 0x01, {{kTfo, "0x01"}, {kTfoGroup, "----"}}},
    };
    for (const Case &c : cases) {
        auto it = Detail(c.kind);
        it.TransferMode = c.transfer;
        it.SplitMode = c.split;
        it.RecoveryMode = c.recovery;
        it.TargetProtection = c.protection;
        it.SupportInfo = c.support;
        it.SubInfo = c.sub;
        it.TfoInfo = c.tfo;
        it.TfoGroupNo = 7;
        const auto buffer = ListOf(ZRKC_QUERY_HEADER_DETAIL, std::vector<CopyQueryDetailEntry>{it}, "2.0.0");
        const auto fields = FieldsOf(LineOf(Print(zrkcli::PrintCopyQueryDetail, buffer,
                                                Query(zrkcli::kOptV, zrkcli::kOpt2Csv)).sOut, 1));
        ASSERT_EQ(fields.size(), 22u);
        for (const auto &[index, text] : c.expect) {
            EXPECT_EQ(fields[static_cast<size_t>(index)], text)
                << "kind " << int(c.kind) << " transfer " << int(c.transfer) << " column " << index;
        }
    }
}

TEST(CliQueryOut, DetailUnknownCodesAndLicence) {
    auto it = Detail(4);
    it.LicenseInfo = 255;
    it.ControlType = 9;
    const auto buffer = ListOf(ZRKC_QUERY_HEADER_DETAIL, std::vector<CopyQueryDetailEntry>{it}, "2.0.0");
    const auto fields = FieldsOf(LineOf(Print(zrkcli::PrintCopyQueryDetail, buffer,
                                            Query(zrkcli::kOptV, zrkcli::kOpt2Csv)).sOut, 1));
    EXPECT_EQ(fields.at(16), "Invalid");
    EXPECT_EQ(fields.at(18), "");
}

TEST(CliQueryOut, DetailGroupFileRows) {
    const GroupRun run;
    const std::string placeholderText =
        "--------  -----/-----/-----  " + Pad(" s\"1", 23) + "  " + Pad("t1 ", 23) +
        "  ------           ------           ------    ------         ------            ------       ------"
        "                 ------                 ----       ----  ----  ----  ----  ----  ----  ----\n";
    for (const char *version : {"2.0.0", "1.3.0"}) {
        const auto buffer = ListOf(ZRKC_QUERY_HEADER_DETAIL, GroupItems<CopyQueryDetailEntry>(), version);
        const Printed text = Print(zrkcli::PrintCopyQueryDetail, buffer,
                                 Query(zrkcli::kOptV | zrkcli::kOptGroupFile, 0, zrkcli::kFormGroupFile), run.area.ri);
        EXPECT_EQ(LineOf(text.sOut, 2), placeholderText) << version;
        EXPECT_EQ(text.sErr, GroupRun::kTextError);
        const Printed csv = Print(zrkcli::PrintCopyQueryDetail, buffer,
                                Query(zrkcli::kOptV | zrkcli::kOptGroupFile, zrkcli::kOpt2Csv, zrkcli::kFormGroupFile),
                                run.area.ri);
        EXPECT_EQ(LineOf(csv.sOut, 2),
                  "\"--------\",\"-----\",\"-----\",\"-----\",\"s\"\"1\",\"t1\",\"------\",\"------\",\"------\","
                  "\"------\",\"------\",\"------\",\"------\",\"------\",\"----\",\"----\",\"----\",\"----\","
                  "\"----\",\"----\",\"----\",\"----\"\n");
        std::string empties;
        for (int i = 0; i < 21; ++i) empties += ",\"\"";
        EXPECT_EQ(LineOf(csv.sOut, 3), GroupRun::kCsvError + empties + "\n");
    }
    // A known version prints the session's row too; an unknown one only the
    // placeholder.
    const auto known = ListOf(ZRKC_QUERY_HEADER_DETAIL, GroupItems<CopyQueryDetailEntry>(), "2.0.0");
    const auto unknown = ListOf(ZRKC_QUERY_HEADER_DETAIL, GroupItems<CopyQueryDetailEntry>(), "9.9.9");
    const CommandParam gf = Query(zrkcli::kOptV | zrkcli::kOptGroupFile, 0, zrkcli::kFormGroupFile);
    EXPECT_EQ(LineOf(Print(zrkcli::PrintCopyQueryDetail, known, gf, run.area.ri).sOut, 1).substr(0, 10), "VZ        ");
    EXPECT_EQ(Print(zrkcli::PrintCopyQueryDetail, unknown, gf, run.area.ri).sOut,
              std::string(kDetailHeader13) + "\n" + placeholderText);
}

// ---- query -g ----

// A generation result: header, then per block its count and items.
std::vector<unsigned char> Generations(const std::vector<std::vector<GenerationInfo>> &blocks) {
    std::vector<unsigned char> buffer(sizeof(GenerationList));
    const GenerationList list{static_cast<uint32_t>(blocks.size()), static_cast<uint32_t>(blocks.size())};
    std::memcpy(buffer.data(), &list, sizeof(list));
    for (const auto &items : blocks) {
        const GenerationBlock block{static_cast<uint32_t>(items.size()), 64};
        const auto *b = reinterpret_cast<const unsigned char *>(&block);
        buffer.insert(buffer.end(), b, b + sizeof(block));
        const auto *i = reinterpret_cast<const unsigned char *>(items.data());
        buffer.insert(buffer.end(), i, i + items.size() * sizeof(GenerationInfo));
    }
    return buffer;
}

GenerationInfo Generation(const char *source, const char *target, uint32_t trgOlu) {
    GenerationInfo g{};
    g.SrcOlu = 0x10;
    g.TrgOlu = trgOlu;
    g.SrcAddr = 0x800;
    g.Size = 3;
    Set(g.SrcAlias, "arrA");
    Set(g.TrgAlias, "arrB");
    if (*source) { Set(g.SrcVolume, source); g.SrcVolumeSet = 1; }
    if (*target) { Set(g.TrgVolume, target); g.TrgVolumeSet = 1; }
    return g;
}

const char kSeparator[] = "---------------------------------------------------\n";

TEST(CliQueryOut, GenerationBlocks) {
    const auto buffer = Generations({{Generation("/dev/sdb", "/dev/g1", 0x21), Generation("x", "", 0x22)},
                                     {Generation("", "\"g\"", 0x23)}});
    const Printed text = Print(zrkcli::PrintGenerations, buffer, Query(zrkcli::kOptG));
    EXPECT_EQ(text.sOut,
              "SourceVolume  /dev/sdb  EffectiveGenerations  2  \n"
              "Generations  TargetVolume\n"
              "1            /dev/g1                \n"
              "2            0x22:0x0:1.5@arrB      \n" + std::string(kSeparator) +
              "SourceVolume  0x10:0x800:1.5@arrA  EffectiveGenerations  1  \n"
              "Generations  TargetVolume\n"
              "1            \"g\"                    \n");
    const Printed csv = Print(zrkcli::PrintGenerations, buffer, Query(zrkcli::kOptG, zrkcli::kOpt2Csv));
    EXPECT_EQ(csv.sOut,
              "\"SourceVolume\",\"EffectiveGenerations\",\"Generations\",\"TargetVolume\"\n"
              "\"/dev/sdb\",\"2\",\"1\",\"/dev/g1\"\n"
              "\"/dev/sdb\",\"2\",\"2\",\"0x22:0x0:1.5@arrB\"\n"
              "\"0x10:0x800:1.5@arrA\",\"1\",\"1\",\"\"\"g\"\"\"\n");
}

TEST(CliQueryOut, GenerationGroupFileEntries) {
    const Area area({Entry("v0", "", ZRKC_CLASS_OK, 0, ""), Entry("v\"1", "", ZRKC_CLASS_STATE, 1100, "x\n"),
                     Entry("v2", "", ZRKC_CLASS_ARRAY, 1300, "ZRKC1300 ERROR Bad.\n"),
                     Entry("v3", "", ZRKC_CLASS_OK, 0, "")});
    const auto buffer = Generations({{Generation("v0", "g0", 1)}, {}, {}, {}});
    const CommandParam gf = Query(zrkcli::kOptG | zrkcli::kOptGroupFile, 0, zrkcli::kFormGroupFile);
    const Printed text = Print(zrkcli::PrintGenerations, buffer, gf, area.ri);
    EXPECT_EQ(text.sOut,
              "SourceVolume  v0      EffectiveGenerations  1  \nGenerations  TargetVolume\n"
              "1            g0                     \n" + std::string(kSeparator) +
              "SourceVolume  v\"1     EffectiveGenerations  0  \nGenerations  TargetVolume\n" +
              kSeparator + kSeparator +
              "SourceVolume          EffectiveGenerations  0  \nGenerations  TargetVolume\n");
    EXPECT_EQ(text.sErr, "ZRKC1804 ERROR Error occurred with copy operation described in group file. "
                         "Volume=(v2). Error message=(ZRKC1300 ERROR Bad.).\n");
    CommandParam csvParam = gf;
    csvParam.uiOptFlag2 = zrkcli::kOpt2Csv;
    EXPECT_EQ(Print(zrkcli::PrintGenerations, buffer, csvParam, area.ri).sOut,
              "\"SourceVolume\",\"EffectiveGenerations\",\"Generations\",\"TargetVolume\"\n"
              "\"v0\",\"1\",\"1\",\"g0\"\n"
              "\"v\"\"1\",\"0\",\"\",\"\"\n"
              "\"ZRKC1804 ERROR Error occurred with copy operation described in group file. "
              "Volume=(v2). Error message=(ZRKC1300 ERROR Bad.).\",\"\",\"\",\"\"\n");
}

// A block count beyond the buffer prints what the buffer holds and stops.
TEST(CliQueryOut, GenerationsBoundedByBuffer) {
    auto buffer = Generations({{Generation("v0", "g0", 1)}});
    const uint32_t many = 50;
    std::memcpy(buffer.data() + sizeof(GenerationList), &many, sizeof(many));   // items of block 0
    std::memcpy(buffer.data(), &many, sizeof(many));                            // blocks
    EXPECT_EQ(Print(zrkcli::PrintGenerations, buffer, Query(zrkcli::kOptG)).sOut,
              "SourceVolume  v0      EffectiveGenerations  1  \nGenerations  TargetVolume\n"
              "1            g0                     \n");
}

// ---- query -tfop and -vvol ----

TEST(CliQueryOut, TfopRows) {
    auto it = Named<CopyQueryEntry>(18);
    Set(it.SrcAlias, " a\"b ");
    const auto buffer = ListOf(ZRKC_QUERY_HEADER_NORMAL, std::vector<CopyQueryEntry>{it});
    EXPECT_EQ(Print(zrkcli::list_out_query_tfop, buffer, Query(0, zrkcli::kOpt2Tfop)).sOut,
              std::string(kQueryHeader) + QueryRow("TFOP", "0x10@ a\"b ", "0x20@arrB", "----", "----", "----", "----"));
    EXPECT_EQ(Print(zrkcli::list_out_query_tfop, buffer, Query(0, zrkcli::kOpt2Tfop | zrkcli::kOpt2Csv)).sOut,
              std::string(kQueryCsvHeader) + CsvOf({"TFOP", "0x10@ a\"b ", "0x20@arrB", "----", "----", "----", "----"}));
}

TEST(CliQueryOut, VvolRows) {
    auto it = Detail(5);
    it.CopyProgress = 255;
    it.Status = 3;
    it.Phase = 3;
    it.Suspending = 1;
    it.SubInfo = 0x4;
    it.TfoInfo = 0x81;
    Set(it.SrcAlias, " sp ");
    const std::string source = "0x10:0x800:2.0@ sp ", target = "0x20:0x0:2.0@arrB";
    for (const char *version : {"2.0.0", ""}) {
        const auto buffer = ListOf(ZRKC_QUERY_HEADER_DETAIL, std::vector<CopyQueryDetailEntry>{it}, version);
        EXPECT_EQ(Print(zrkcli::list_out_query_vvol, buffer, Query(0, zrkcli::kOpt2Vvol)).sOut,
                  kDetailHeader20 + "\n" + Pad("RVZ", 8) + "  -----/-----/-----  " + Pad(source, 23) + "  " +
                  Pad(target, 23) + "  0x" + Pad("12", 4) + "           ------           " + Pad("255%", 4) +
                  "      " + Pad("ErrorSuspend", 13) + "  " + Pad("Tracking", 16) + "  " + Pad("----", 10) +
                  "   " + Pad("1.5", 21) + "  " + Pad("2.0", 21) + "  0x1A       " + Pad("ON", 16) + "  " +
                  Pad("----", 11) + "  " + Pad("2024/01/15/10:30:05", 20) + "  " + Pad("----", 11) + "  " +
                  Pad("0x04", 7) + "  " + Pad("0x00", 7) + "  " + Pad("----", 10) + "\n");
        EXPECT_EQ(Print(zrkcli::list_out_query_vvol, buffer, Query(0, zrkcli::kOpt2Vvol | zrkcli::kOpt2Csv)).sOut,
                  std::string(kDetailCsvHeader) +
                  CsvOf({"RVZ", "-----", "-----", "-----", source, target, "0x12", "------", "255%",
                         "ErrorSuspend", "Tracking", "----", "1.5", "2.0", "0x1A", "ON", "----",
                         "2024/01/15/10:30:05", "----", "0x04", "0x00", "----"}));
    }
}

TEST(CliQueryOut, RegisteredWithListOut) {
    zrkcli::RegisterCopyQueryLayouts();
    const auto plain = ListOf(ZRKC_QUERY_HEADER_NORMAL, std::vector<CopyQueryEntry>{});
    const auto detail = ListOf(ZRKC_QUERY_HEADER_DETAIL, std::vector<CopyQueryDetailEntry>{}, "2.0.0");
    const auto generations = Generations({});
    struct Case { uint32_t opt, opt2; const std::vector<unsigned char> *buffer; std::string out; } cases[] = {
        {0, 0, &plain, kQueryHeader},
        {zrkcli::kOptV, 0, &detail, kDetailHeader20 + "\n"},
        {zrkcli::kOptG, zrkcli::kOpt2Csv, &generations,
         "\"SourceVolume\",\"EffectiveGenerations\",\"Generations\",\"TargetVolume\"\n"},
        {0, zrkcli::kOpt2Tfop, &plain, kQueryHeader},
        {0, zrkcli::kOpt2Vvol, &detail, kDetailHeader20 + "\n"},
    };
    for (const Case &c : cases) {
        Capture cap;
        EXPECT_EQ(zrkcli::ListOut(static_cast<int>(c.buffer->size()), c.buffer->data(), Query(c.opt, c.opt2),
                                  ReturnInfo{}, cap.out()), 0);
        EXPECT_EQ(cap.Stdout(), c.out) << c.opt << " " << c.opt2;
    }
}

}  // namespace
}  // namespace zrktest
