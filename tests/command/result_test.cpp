// The message table: each row's text is a line of its own number, class and
// form. com_set_return_inf: every ZRKerrno row, the rules that read the sense
// data or the operation, negative codes, and the codes that go to the command
// error catalogue (present and absent).
#include "install_root.h"
#include "platform.h"
#include "zrkc.h"
#include "zrkcmessage.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using zrktest::InstallRoot;

struct Mapped {
    int ret = 0;
    int32_t returnClass = 0;
    uint32_t messageNo = 0;
    std::string message;
};

// One call with ZRKerrno = code and the given sense key, ASC and ASCQ.
Mapped Map(int code, uint8_t identifier = 14, int apiResult = -1, const char *volume = "/dev/sdq",
           int key = 0, int asc = 0, int ascq = 0) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    sense[0] = 0x70;
    sense[2] = static_cast<unsigned char>(key);
    sense[12] = static_cast<unsigned char>(asc);
    sense[13] = static_cast<unsigned char>(ascq);
    ZRKerrno = code;
    Mapped m;
    char line[ZRK_MESSAGE_LEN];
    std::memset(line, 'x', sizeof line);
    m.returnClass = -7;
    m.messageNo = 77;
    m.ret = com_set_return_inf(identifier, volume, apiResult, sense, &m.returnClass, &m.messageNo, line);
    EXPECT_EQ(line[ZRK_MESSAGE_LEN - 1], '\0');
    m.message = line;
    return m;
}

Mapped MapSense(int code, int key, int asc, int ascq, uint8_t identifier = 14) {
    return Map(code, identifier, -1, "/dev/sdq", key, asc, ascq);
}

struct Row {
    std::vector<int> codes;
    int32_t returnClass;
    uint32_t messageNo;
    const char *detail = nullptr; // what the "%s" of the message's text reads
};

// The plain ZRKerrno rows: the class and number each code maps to (the
// volume row, 2, is tested alone); the line is the message table's line of
// that number.
const Row kRows[] = {
    {{1, 3, 4, 5, 6, 7, 12, 13}, 5, 1201},
    {{8, 11}, 3, 1108},
    {{17}, 6, 1202},
    {{21}, 1, 1100},
    {{22}, 6, 1208},
    {{25}, 7, 1204, "condition_met"},
    {{27}, 7, 1204, "command_conflict"},
    {{28}, 7, 1204, "taskset_full"},
    {{29}, 7, 1204, "unexpected error"},
    {{33, 0x15402}, 6, 1109},
    {{34}, 1, 1203},
    {{35}, 7, 1225},
    {{36}, 4, 1106},
    {{37}, 3, 1010},
    {{38}, 7, 1226},
    {{39}, 1, 1104},
    {{41}, 3, 1213},
    {{48}, 5, 1250},
    {{59}, 6, 1209},
    {{60}, 6, 1222},
    {{61}, 11, 1224},
    {{62}, 6, 1223},
    {{63}, 11, 1220, "NOT_CHANGED"},
    {{64}, 11, 1220, "CROSS"},
    {{65, 68}, 3, 1102},
    {{67}, 5, 1223},
    {{69}, 5, 1252},
    {{70}, 7, 1212},
    {{71}, 3, 1018},
    {{77}, 3, 3005},
    {{78}, 6, 3006},
    {{79}, 3, 1025},
    {{80, 0x15400, 0x15401}, 1, 1026},
    {{81}, 2, 1027},
    {{82}, 2, 1028},
    {{83}, 3, 1029},
    {{84}, 2, 1030},
    {{85}, 2, 1031},
    {{86}, 2, 1032},
    {{87}, 2, 1033},
    {{88, 0x15391}, 3, 3000},
    {{89, 0x15392}, 3, 3001},
    {{90, 0x25392}, 3, 3002},
    {{91, 0x15393}, 3, 3003},
    {{92, 0x16007}, 3, 3004},
    {{93, 0x1d801}, 2, 3008},
    {{97, 0x1be00}, 3, 3010},
    {{920, 921, 922, 1904}, 15, 1904},
    {{1901}, 15, 1901},
    {{1902}, 15, 1902},
    {{1903}, 15, 1903},
    {{1905}, 15, 1905},
    {{0x10001}, 3, 2000},
    {{0x10002}, 3, 2001},
    {{0x10003}, 3, 2002},
    {{0x10004}, 3, 2003},
    {{0x10005}, 3, 2004},
    {{0x10006}, 2, 2005},
    {{0x10007}, 3, 2006},
    {{0x10008}, 3, 2007},
    {{0x10010}, 6, 2008},
    {{0x10020}, 5, 2009},
    {{0x10060}, 1, 2010},
    {{0x10072}, 6, 2093},
    {{0x10073}, 2, 2117},
    {{0x10080}, 2, 2011},
    {{0x10094}, 6, 2012},
    {{0x10098}, 6, 2013},
    {{0x10101}, 4, 2014},
    {{0x10110}, 1, 2015},
    {{0x10118}, 6, 2016},
    {{0x10120}, 6, 2017},
    {{0x10142}, 6, 2018},
    {{0x10151}, 6, 2019},
    {{0x10152}, 2, 2020},
    {{0x10153}, 2, 2021},
    {{0x10154}, 2, 2022},
    {{0x10155}, 2, 2023},
    {{0x10156}, 2, 2024},
    {{0x10157}, 1, 2025},
    {{0x10158}, 6, 2026},
    {{0x10159}, 6, 2027},
    {{0x15201}, 2, 2030},
    {{0x15300}, 11, 2031},
    {{0x15301}, 2, 2032},
    {{0x15302}, 2, 2033},
    {{0x15303}, 2, 2034},
    {{0x15304}, 2, 2035},
    {{0x15305}, 2, 2036},
    {{0x15306}, 2, 2037},
    {{0x15307}, 2, 2038},
    {{0x15308}, 6, 2039},
    {{0x15309}, 7, 2040},
    {{0x15310}, 3, 2041},
    {{0x15311}, 3, 2042},
    {{0x15312}, 2, 2119},
    {{0x15313}, 2, 2044},
    {{0x15314}, 2, 2045},
    {{0x15315}, 2, 2046},
    {{0x15316}, 3, 2047},
    {{0x15317}, 2, 2048},
    {{0x15318}, 2, 2049},
    {{0x15319}, 2, 2050},
    {{0x15320}, 2, 2051},
    {{0x15323}, 3, 2052},
    {{0x15324}, 2, 2053},
    {{0x15325}, 2, 2054},
    {{0x15327}, 2, 2055},
    {{0x15328}, 2, 2056},
    {{0x15330}, 2, 2058},
    {{0x15331}, 2, 2059},
    {{0x15333}, 2, 2060},
    {{0x15334}, 2, 2061},
    {{0x15335}, 2, 2062},
    {{0x15336}, 2, 2063},
    {{0x15337}, 3, 2064},
    {{0x15338}, 2, 2065},
    {{0x15339}, 2, 2066},
    {{0x15340}, 2, 2067},
    {{0x15341}, 2, 2068},
    {{0x15346}, 6, 2069},
    {{0x15347}, 6, 2070},
    {{0x15348}, 2, 2071},
    {{0x15349}, 3, 2072},
    {{0x15350}, 2, 2073},
    {{0x15351}, 6, 2074},
    {{0x15352}, 6, 2075},
    {{0x15353}, 6, 2076},
    {{0x15354}, 6, 2077},
    {{0x15355}, 2, 2078},
    {{0x15356}, 3, 2079},
    {{0x15357}, 3, 2080},
    {{0x15358}, 3, 2081},
    {{0x15359}, 3, 2082},
    {{0x15360}, 2, 2083},
    {{0x15361}, 6, 2084},
    {{0x15362}, 2, 2085},
    {{0x15363}, 2, 2086},
    {{0x15364}, 2, 2087},
    {{0x15365}, 2, 2088},
    {{0x15366}, 2, 2089},
    {{0x15367}, 2, 2090},
    {{0x15368}, 2, 2091},
    {{0x15369}, 6, 2092},
    {{0x15370}, 3, 2096},
    {{0x15371}, 3, 2097},
    {{0x15372}, 3, 2098},
    {{0x15373}, 3, 2099},
    {{0x15374}, 2, 2100},
    {{0x15375}, 2, 2101},
    {{0x15376}, 6, 2102},
    {{0x15377}, 3, 2103},
    {{0x15378}, 6, 2104},
    {{0x15379}, 6, 2105},
    {{0x15380}, 1, 2106},
    {{0x15381}, 1, 2107},
    {{0x15382}, 1, 2108},
    {{0x15383}, 1, 2109},
    {{0x15385}, 3, 2111},
    {{0x15386}, 6, 2112},
    {{0x15387}, 6, 2113},
    {{0x15388}, 6, 2114},
    {{0x15389}, 2, 2115},
    {{0x15390}, 6, 2116},
    {{0x15394}, 6, 2094},
    {{0x15395}, 6, 2118},
    {{0x19403}, 6, 2120},
};

// "ZRKCnnnn " of a number.
std::string NumberPrefix(uint32_t number) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ZRKC%04u ", number);
    return prefix;
}

// The row of the message table of a number, or null.
const zrkc::MessageRow *RowOfNumber(uint32_t number) {
    for (const zrkc::MessageRow &row : zrkc::kMessageRows) {
        if (static_cast<uint32_t>(row.eName) == number) return &row;
    }
    return nullptr;
}

// The line of the table's message of a number: its text, the "%s" in it
// replaced by detail.
std::string TableLine(uint32_t number, const char *detail) {
    const zrkc::MessageRow *row = RowOfNumber(number);
    if (row == nullptr) return "(no row)";
    std::string line = row->pText;
    const size_t at = line.find("%s");
    if (detail != nullptr && at != std::string::npos) line.replace(at, 2, detail);
    return line;
}

// The conversions a text may hold, each with what it reads: a number or a
// string, '*' a width or precision of its own.
bool ConversionsKnown(const std::string &text) {
    static const char *const kKnown[] = {"%s", "%.*s", "%d", "%u", "%llu", "%02x", "%08x"};
    for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
        bool known = false;
        for (const char *conversion : kKnown) {
            if (text.compare(at, std::strlen(conversion), conversion) == 0) known = true;
        }
        if (!known) return false;
    }
    return true;
}

// Every row: its number once, in rising order; its text a line of that
// number ("ZRKCnnnn SEVERITY text\n", within the message field); its class
// one of the return classes; its conversions known ones.
TEST(MessageTable, EachTextIsALineOfItsNumber) {
    uint32_t previous = 0;
    bool first = true;
    for (const zrkc::MessageRow &row : zrkc::kMessageRows) {
        const uint32_t number = static_cast<uint32_t>(row.eName);
        const std::string text = row.pText;
        SCOPED_TRACE(text);
        EXPECT_TRUE(first || number > previous);
        first = false;
        previous = number;
        EXPECT_LT(number, 10000u);
        EXPECT_EQ(text.rfind(NumberPrefix(number), 0), 0u);
        const std::string severity = text.substr(9, text.find(' ', 9) - 9);
        EXPECT_TRUE(severity == "ERROR" || severity == "WARNING" || severity == "INFO") << severity;
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find('\n'), text.size() - 1);
        EXPECT_LT(text.size(), size_t{ZRK_MESSAGE_LEN});
        EXPECT_GE(row.iClass, ZRKC_CLASS_STATE);
        EXPECT_LE(row.iClass, ZRKC_CLASS_SESSION_LIST);
        EXPECT_TRUE(ConversionsKnown(text));
        // The names lead to the row.
        EXPECT_EQ(zrkc::NumberOf(row.eName), number);
        EXPECT_EQ(zrkc::ClassOf(row.eName), row.iClass);
        EXPECT_STREQ(zrkc::TextOf(row.eName), row.pText);
    }
    EXPECT_FALSE(first);
}

// A result set by name carries the row's class, number and line; the class
// of the caller's where it gives one; arguments formatted into the line.
TEST(MessageTable, ResultsSetByNameCarryTheRow) {
    ReturnInfo ri{};
    zrkc::SetResult(&ri, zrkc::Msg::SessionMissing);
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_STATE);
    EXPECT_EQ(ri.uiMessageNo, 1100u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1100 ERROR Session does not exist.\n");

    zrkc::SetResultAs(&ri, ZRKC_CLASS_ARRAY, zrkc::Msg::FileOpen, "/tmp/f", 2);
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_ARRAY);
    EXPECT_EQ(ri.uiMessageNo, 1400u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1400 ERROR File open error. File name=(/tmp/f). Cause=(2).\n");

    // The volume name is read up to its terminator or the end of its field.
    std::string name(ZRK_VOLNAME_LEN + 10, 'n');
    zrkc::SetInvalidVolume(&ri, name.c_str());
    EXPECT_EQ(ri.uiMessageNo, 1002u);
    EXPECT_EQ(std::strlen(ri.caMessage), size_t{ZRK_MESSAGE_LEN - 1});
    EXPECT_EQ(ri.caMessage[ZRK_MESSAGE_LEN - 2], '\n');

    // A program's line is as long as its arguments make it.
    const std::string parameter(600, 'p');
    const std::string line = zrkc::MessageText(zrkc::Msg::CommandParameterIncorrect,
                                               static_cast<int>(parameter.size()), parameter.data());
    EXPECT_EQ(line,
              "ZRKC0100 ERROR Specified command parameter is incorrect. Parameter=(" + parameter + ").\n");
    EXPECT_EQ(zrkc::MessageText(zrkc::Msg::ServiceRunning),
              "ZRKC1901 INFO The LAN interface management service is already running.\n");
}

// The check made where a message is named: the arguments must be what the
// text's conversions read, in their order.
TEST(MessageTable, NamingChecksTheArguments) {
    using zrkc::detail::ArgsFitText;
    EXPECT_TRUE(ArgsFitText<>("ZRKC0000 ERROR plain.\n"));
    EXPECT_FALSE(ArgsFitText<int>("ZRKC0000 ERROR plain.\n"));
    EXPECT_TRUE((ArgsFitText<const char *, int>("ZRKC0000 ERROR (%s) (%d).\n")));
    EXPECT_FALSE((ArgsFitText<int, const char *>("ZRKC0000 ERROR (%s) (%d).\n")));
    EXPECT_FALSE(ArgsFitText<const char *>("ZRKC0000 ERROR (%s) (%d).\n"));
    EXPECT_TRUE((ArgsFitText<int, char *>("ZRKC0000 ERROR (%.*s).\n")));
    EXPECT_FALSE(ArgsFitText<const char *>("ZRKC0000 ERROR (%.*s).\n"));
    EXPECT_TRUE(ArgsFitText<uint32_t>("ZRKC0000 ERROR 0x%08x.\n"));
    EXPECT_FALSE(ArgsFitText<int>("ZRKC0000 ERROR 0x%08x.\n"));
    EXPECT_TRUE(ArgsFitText<unsigned long long>("ZRKC0000 ERROR (%llu).\n"));
    EXPECT_FALSE(ArgsFitText<unsigned>("ZRKC0000 ERROR (%llu).\n"));
    EXPECT_FALSE(ArgsFitText<double>("ZRKC0000 ERROR (%f).\n"));
    EXPECT_FALSE(ArgsFitText<bool>("ZRKC0000 ERROR (%d).\n"));
    EXPECT_FALSE(ArgsFitText<int>("ZRKC0000 ERROR (%"));
}

class ReturnInf : public ::testing::Test {
protected:
    InstallRoot root_;
};

TEST_F(ReturnInf, EveryPlainRowOfTheTable) {
    size_t codes = 0;
    for (const Row &row : kRows) {
        for (int code : row.codes) {
            SCOPED_TRACE(code);
            const Mapped m = Map(code);
            EXPECT_EQ(m.ret, -1);
            EXPECT_EQ(m.returnClass, row.returnClass);
            EXPECT_EQ(m.messageNo, row.messageNo);
            EXPECT_EQ(m.message, TableLine(row.messageNo, row.detail));
            EXPECT_EQ(m.message.rfind(NumberPrefix(row.messageNo), 0), 0u);
            ++codes;
        }
    }
    EXPECT_EQ(codes, 189u);
}

TEST_F(ReturnInf, InvalidVolumeNameNamesTheVolume) {
    Mapped m = Map(ZRK_ERR_LOGICAL_VOL, 14, -1, "0x12@box");
    EXPECT_EQ(m.returnClass, 3);
    EXPECT_EQ(m.messageNo, 1002u);
    EXPECT_EQ(m.message, "ZRKC1002 ERROR Invalid logical volume name. Volume name=(0x12@box).\n");

    // A name of 1023 characters does not fit the line: it is cut, and the
    // line keeps its newline within its 512 bytes.
    const std::string longName(1023, 'v');
    m = Map(ZRK_ERR_LOGICAL_VOL, 14, -1, longName.c_str());
    ASSERT_EQ(m.message.size(), 511u);
    EXPECT_EQ(m.message.back(), '\n');
    EXPECT_EQ(m.message.rfind("ZRKC1002 ERROR Invalid logical volume name. Volume name=(vvv", 0), 0u);

    m = Map(ZRK_ERR_LOGICAL_VOL, 14, -1, nullptr);
    EXPECT_EQ(m.message, "ZRKC1002 ERROR Invalid logical volume name. Volume name=().\n");
}

struct SenseCase {
    int code;
    int key, asc, ascq;
    uint8_t identifier;
    int32_t returnClass;
    uint32_t messageNo;
    const char *message;
};

TEST_F(ReturnInf, SpecialRowsReadTheSenseAndTheOperation) {
    const SenseCase cases[] = {
        {24, 0x4, 0x44, 0x00, 14, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(04-44-00).\n"},
        {24, 0xF4, 0x3e, 0x01, 14, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(04-3e-01).\n"},
        {24, 0, 0, 0, 46, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(00-00-00).\n"},
        {26, 5, 0x26, 0x90, 14, 2, 1003,
         "ZRKC1003 ERROR Logical volume is already defined in another copy operation.\n"},
        {26, 5, 0x26, 0x92, 14, 2, 1004, "ZRKC1004 ERROR Maximum session reached.\n"},
        {26, 5, 0x26, 0x93, 14, 2, 1005, "ZRKC1005 ERROR Another copy has already started.\n"},
        {26, 5, 0x26, 0x94, 14, 2, 1006,
         "ZRKC1006 ERROR Target volume is already defined in another copy operation.\n"},
        {26, 5, 0x26, 0x95, 14, 2, 1007, "ZRKC1007 ERROR Logical volume is already reserved.\n"},
        {26, 5, 0x26, 0x91, 14, 2, 1009, "ZRKC1009 ERROR Logical volume is busy.\n"},
        {26, 5, 0x26, 0x96, 14, 2, 1009, "ZRKC1009 ERROR Logical volume is busy.\n"},
        {26, 2, 0x26, 0x90, 14, 2, 1009, "ZRKC1009 ERROR Logical volume is busy.\n"},
        {26, 5, 0x24, 0x90, 14, 2, 1009, "ZRKC1009 ERROR Logical volume is busy.\n"},
        {26, 0xF5, 0x26, 0x92, 14, 2, 1004, "ZRKC1004 ERROR Maximum session reached.\n"},
        {57, 0, 0, 0, 70, 6, 3007,
         "ZRKC3007 ERROR Failed to set the copy priority because an RVZ path for the specified "
         "Box ID has not been set.\n"},
        {57, 0, 0, 0, 69, 6, 1109, "ZRKC1109 ERROR VASTREL cannot be recognized.\n"},
        {57, 0, 0, 0, 38, 6, 1109, "ZRKC1109 ERROR VASTREL cannot be recognized.\n"},
        {57, 0, 0, 0, 102, 6, 1109, "ZRKC1109 ERROR VASTREL cannot be recognized.\n"},
        {66, 5, 0x26, 0x00, 14, 3, 1024, "ZRKC1024 ERROR An error occurred during RVZ Buffer operation.\n"},
        {66, 5, 0x26, 0x01, 14, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
        {66, 4, 0x26, 0x00, 14, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
        {66, 5, 0x25, 0x00, 14, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    };
    for (const SenseCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.key << "-" << c.asc << "-" << c.ascq
                                        << " id " << int(c.identifier));
        const Mapped m = MapSense(c.code, c.key, c.asc, c.ascq, c.identifier);
        EXPECT_EQ(m.ret, -1);
        EXPECT_EQ(m.returnClass, c.returnClass);
        EXPECT_EQ(m.messageNo, c.messageNo);
        EXPECT_EQ(m.message, c.message);
    }
}

TEST_F(ReturnInf, NoSenseBufferReadsAsZeros) {
    ZRKerrno = ZRK_ERR_HARDWARE;
    int32_t cls = 0;
    uint32_t no = 0;
    char line[ZRK_MESSAGE_LEN];
    EXPECT_EQ(com_set_return_inf(14, "v", -1, nullptr, &cls, &no, line), -1);
    EXPECT_STREQ(line, "ZRKC1204 ERROR SCSI error detected. Error=(00-00-00).\n");
}

TEST_F(ReturnInf, NegativeCodesAreTheArraysCodeOverTheLan) {
    struct Case {
        int code;
        uint32_t number;
        const char *hex;
    } cases[] = {
        {-4660, 4660, "00001234"},
        {-1, 1, "00000001"},
        {-0x15300, 0x15300, "00015300"},
        {INT_MIN, 0x80000000u, "80000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        const Mapped m = Map(c.code);
        EXPECT_EQ(m.ret, -1);
        EXPECT_EQ(m.returnClass, 16);
        EXPECT_EQ(m.messageNo, c.number);
        EXPECT_EQ(m.message, std::string("ZRKC2095 ERROR An error is detected for the operation that "
                                         "was performed via the LAN. Error=0x") +
                                 c.hex + ".\n");
    }
}

TEST_F(ReturnInf, UnlistedCodesComeFromTheCatalogue) {
    struct Case {
        int code;
        int32_t returnClass;
        uint32_t messageNo;
        const char *message;
    } cases[] = {
        {40, 6, 1202, "ZRKC1202 ERROR Unsupported function.\n"},
        {9, 3, 1108, "ZRKC1108 ERROR The specification of physical information is incorrect.\n"},
        {100, 1, 1100, "ZRKC1100 ERROR Session does not exist.\n"},
        {0, 5, 1200, "ZRKC1200 ERROR Unexpected error.\n"},
        {0x15321, 5, 1200, "ZRKC1200 ERROR Unexpected error.\n"},  // no catalogue line
        {0x20002, 3, 2041, "ZRKC2041 ERROR Parameter error.\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        const Mapped m = Map(c.code);
        EXPECT_EQ(m.ret, -1);
        EXPECT_EQ(m.returnClass, c.returnClass);
        EXPECT_EQ(m.messageNo, c.messageNo);
        EXPECT_EQ(m.message, c.message);
    }
}

TEST_F(ReturnInf, CatalogueLineTakenAsItStands) {
    root_.write("bin/.zrk_errinf_velk", "4321\tZRKC4321 WARNING Own line.\t9\t40\n");
    const Mapped m = Map(40);
    EXPECT_EQ(m.returnClass, 9);
    EXPECT_EQ(m.messageNo, 4321u);
    EXPECT_EQ(m.message, "ZRKC4321 WARNING Own line.\n");

    // A catalogue line longer than the field keeps its newline.
    root_.write("bin/.zrk_errinf_velk", "4322\tZRKC4322 ERROR " + std::string(900, 'w') + "\t6\t40\n");
    const Mapped longLine = Map(40);
    ASSERT_EQ(longLine.message.size(), 511u);
    EXPECT_EQ(longLine.message.back(), '\n');
}

TEST_F(ReturnInf, WithoutCatalogueUnlistedCodesAreUnexpected) {
    ASSERT_EQ(unlink(root_.path("bin/.zrk_errinf_velk").c_str()), 0);
    for (int code : {40, 9, 100, 0x15321}) {
        SCOPED_TRACE(code);
        const Mapped m = Map(code);
        EXPECT_EQ(m.ret, -1);
        EXPECT_EQ(m.returnClass, 5);
        EXPECT_EQ(m.messageNo, 1200u);
        EXPECT_EQ(m.message, "ZRKC1200 ERROR Unexpected error.\n");
    }
    // The table does not need the catalogue.
    EXPECT_EQ(Map(21).messageNo, 1100u);
}

TEST_F(ReturnInf, OnlyMinusOneIsAFailure) {
    for (int result : {0, 1, -2, 5}) {
        SCOPED_TRACE(result);
        const Mapped m = Map(ZRK_ERR_NO_SESSION, 14, result);
        EXPECT_EQ(m.ret, 0);
        EXPECT_EQ(m.returnClass, -7);  // left as it was
        EXPECT_EQ(m.messageNo, 77u);
        // The whole message field is cleared.
        EXPECT_EQ(m.message, "");
    }
}

TEST_F(ReturnInf, FailureDumpsTheSenseIntoTheTrace) {
    velk_trace_init();
    MapSense(ZRK_ERR_HARDWARE, 4, 0x44, 0);
    velk_trace_term();
    const std::string trace = root_.traceText();
    EXPECT_NE(trace.find("ErrorInfo : ZRKerrno=24 : SenseData Dump"), std::string::npos);
    EXPECT_NE(trace.find("com_set_return_inf error end."), std::string::npos);
}

TEST(Message, LineCutShortKeepsItsNewline) {
    char line[ZRK_MESSAGE_LEN];
    const std::string text(600, 'a');
    zrkc::FormatMessage(line, "ZRKC0000 ERROR %s.\n", text.c_str());
    EXPECT_EQ(std::strlen(line), 511u);
    EXPECT_EQ(line[510], '\n');
    // One that fits exactly is left alone.
    const std::string fits(511 - 17, 'b');
    zrkc::FormatMessage(line, "ZRKC0000 ERROR %s.\n", fits.c_str());
    EXPECT_EQ(std::strlen(line), 511u);
    EXPECT_EQ(std::string(line), "ZRKC0000 ERROR " + fits + ".\n");
}

}  // namespace
