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
    const char *message;
};

// The plain ZRKerrno rows: the class, number and line each code maps to (the
// volume row, 2, is tested alone).
const Row kRows[] = {
    {{1, 3, 4, 5, 6, 7, 12, 13}, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {{8, 11}, 3, 1108, "ZRKC1108 ERROR The specification of physical information is incorrect.\n"},
    {{17}, 6, 1202, "ZRKC1202 ERROR Unsupported function.\n"},
    {{21}, 1, 1100, "ZRKC1100 ERROR Session does not exist.\n"},
    {{22}, 6, 1208, "ZRKC1208 ERROR Specified logical volume is not VASTREL.\n"},
    {{25}, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(condition_met).\n"},
    {{27}, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(command_conflict).\n"},
    {{28}, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(taskset_full).\n"},
    {{29}, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(unexpected error).\n"},
    {{33, 0x15402}, 6, 1109, "ZRKC1109 ERROR VASTREL cannot be recognized.\n"},
    {{34}, 1, 1203, "ZRKC1203 ERROR The operation is not permitted.\n"},
    {{35}, 7, 1225, "ZRKC1225 ERROR TRNX environment is incorrect.\n"},
    {{36}, 4, 1106, "ZRKC1106 ERROR Insufficient memory.\n"},
    {{37}, 3, 1010, "ZRKC1010 ERROR Specified option is invalid.\n"},
    {{38}, 7, 1226, "ZRKC1226 ERROR BVM environment is incorrect.\n"},
    {{39}, 1, 1104, "ZRKC1104 ERROR Operation sequence error.\n"},
    {{41}, 3, 1213, "ZRKC1213 ERROR Invalid file system.\n"},
    {{48}, 5, 1250, "ZRKC1250 ERROR Specified LUN_V Number is invalid.\n"},
    {{59}, 6, 1209, "ZRKC1209 ERROR Insufficient resource in VASTREL.\n"},
    {{60}, 6, 1222, "ZRKC1222 ERROR VASTREL unit inconsistency.\n"},
    {{61}, 11, 1224, "ZRKC1224 ERROR Communication error occurred.\n"},
    {{62}, 6, 1223, "ZRKC1223 ERROR The copy operation with VASTREL is incorrect.\n"},
    {{63}, 11, 1220, "ZRKC1220 ERROR Change mode operation failed because of communication error. Cause=(NOT_CHANGED).\n"},
    {{64}, 11, 1220, "ZRKC1220 ERROR Change mode operation failed because of communication error. Cause=(CROSS).\n"},
    {{65, 68}, 3, 1102, "ZRKC1102 ERROR Invalid Snap Data Volume.\n"},
    {{67}, 5, 1223, "ZRKC1223 ERROR The copy operation with VASTREL is incorrect.\n"},
    {{69}, 5, 1252, "ZRKC1252 ERROR Operation is not supported.\n"},
    {{70}, 7, 1212, "ZRKC1212 ERROR Disk drive off by the ECO mode.\n"},
    {{71}, 3, 1018, "ZRKC1018 ERROR The copy protection cannot be set to Snap Data Volume.\n"},
    {{77}, 3, 3005, "ZRKC3005 ERROR Failed to set the copy priority due to an invalid parameter.\n"},
    {{78}, 6, 3006, "ZRKC3006 ERROR Failed to set the copy priority due to an unsupported argument combination.\n"},
    {{79}, 3, 1025, "ZRKC1025 ERROR Unable to restore the copy session because the Concurrent KZP function is being used.\n"},
    {{80, 0x15400, 0x15401}, 1, 1026, "ZRKC1026 ERROR Unable to start the Concurrent KZP function.\n"},
    {{81}, 2, 1027, "ZRKC1027 ERROR The copy source logical volume contains invalid data.\n"},
    {{82}, 2, 1028, "ZRKC1028 ERROR RAID Migration is currently being performed.\n"},
    {{83}, 3, 1029, "ZRKC1029 ERROR Unable to start the Concurrent KZP function because of invalid parameter.\n"},
    {{84}, 2, 1030, "ZRKC1030 ERROR The number of specified copy sessions exceeds the maximum.\n"},
    {{85}, 2, 1031, "ZRKC1031 ERROR Failed to restore the copy session because the phase of the target session is readying.\n"},
    {{86}, 2, 1032, "ZRKC1032 ERROR Unable to start the Concurrent KZP function because the phase of the latest SnapKZP+ session is readying.\n"},
    {{87}, 2, 1033, "ZRKC1033 ERROR Unable to start the Concurrent KZP function because a restoration copy session exists.\n"},
    {{88, 0x15391}, 3, 3000, "ZRKC3000 ERROR The status of the cascade copy session is incorrect.\n"},
    {{89, 0x15392}, 3, 3001, "ZRKC3001 ERROR The copy logical source volumes are made by multiple VASTREL Disk storage systems.\n"},
    {{90, 0x25392}, 3, 3002, "ZRKC3002 ERROR The source volumes of cascade copy sessions are made by multiple VASTREL Disk storage systems.\n"},
    {{91, 0x15393}, 3, 3003, "ZRKC3003 ERROR The transfer mode of the cascade copy session is incorrect.\n"},
    {{92, 0x16007}, 3, 3004, "ZRKC3004 ERROR The logical volume is already defined in an Offloaded Data Transfer session.\n"},
    {{93, 0x1d801}, 2, 3008, "ZRKC3008 ERROR The copy session is used by cascade copy session.\n"},
    {{97, 0x1be00}, 3, 3010, "ZRKC3010 ERROR This operation cannot be executed for the NAS resource is in use.\n"},
    {{920, 921, 922, 1904}, 15, 1904, "ZRKC1904 ERROR Failed to log in to the VASTREL Disk storage system.\n"},
    {{1901}, 15, 1901, "ZRKC1901 INFO The LAN interface management service is already running.\n"},
    {{1902}, 15, 1902, "ZRKC1902 ERROR Failed to start the LAN interface management service.\n"},
    {{1903}, 15, 1903, "ZRKC1903 ERROR The LAN interface management service is not running.\n"},
    {{1905}, 15, 1905, "ZRKC1905 ERROR Unable to connect to the VASTREL Disk storage system.\n"},
    {{0x10001}, 3, 2000, "ZRKC2000 ERROR The parameter value is not correct.\n"},
    {{0x10002}, 3, 2001, "ZRKC2001 ERROR The values of the parameter exceed the range allowed.\n"},
    {{0x10003}, 3, 2002, "ZRKC2002 ERROR The parameter specifications exceed the number of specifications allowed.\n"},
    {{0x10004}, 3, 2003, "ZRKC2003 ERROR The parameter specifications are insufficient.\n"},
    {{0x10005}, 3, 2004, "ZRKC2004 ERROR The combination of parameters is not correct.\n"},
    {{0x10006}, 2, 2005, "ZRKC2005 ERROR The specified status for the parameter is invalid.\n"},
    {{0x10007}, 3, 2006, "ZRKC2006 ERROR The specified parameter is invalid.\n"},
    {{0x10008}, 3, 2007, "ZRKC2007 ERROR The specified size is invalid.\n"},
    {{0x10010}, 6, 2008, "ZRKC2008 ERROR The specified parameter does not match the model type of the VASTREL Disk storage system.\n"},
    {{0x10020}, 5, 2009, "ZRKC2009 ERROR An internal error occurred.\n"},
    {{0x10060}, 1, 2010, "ZRKC2010 ERROR Another session has exclusive rights.\n"},
    {{0x10072}, 6, 2093, "ZRKC2093 ERROR Insufficient resource in VASTREL.\n"},
    {{0x10073}, 2, 2117, "ZRKC2117 ERROR The resource is currently busy. Wait a while, and then try again.\n"},
    {{0x10080}, 2, 2011, "ZRKC2011 ERROR The specified capacity or number has reached the limit.\n"},
    {{0x10094}, 6, 2012, "ZRKC2012 ERROR The specified parameter cannot be used for the encryption mode.\n"},
    {{0x10098}, 6, 2013, "ZRKC2013 ERROR Cannot be used because of the Slave CM.\n"},
    {{0x10101}, 4, 2014, "ZRKC2014 ERROR Insufficient memory.\n"},
    {{0x10110}, 1, 2015, "ZRKC2015 ERROR The specified target does not exist.\n"},
    {{0x10118}, 6, 2016, "ZRKC2016 ERROR Unsupported model is selected as the RVZ target.\n"},
    {{0x10120}, 6, 2017, "ZRKC2017 ERROR The specified value has already been registered.\n"},
    {{0x10142}, 6, 2018, "ZRKC2018 ERROR Encrypted volumes exist.\n"},
    {{0x10151}, 6, 2019, "ZRKC2019 ERROR Shutdown or startup is currently being performed.\n"},
    {{0x10152}, 2, 2020, "ZRKC2020 ERROR A Quick Format is currently being performed.\n"},
    {{0x10153}, 2, 2021, "ZRKC2021 ERROR Encryption or decryption is currently being performed.\n"},
    {{0x10154}, 2, 2022, "ZRKC2022 ERROR An Tarvel Copy is currently being performed.\n"},
    {{0x10155}, 2, 2023, "ZRKC2023 ERROR RAID Migration is currently being performed.\n"},
    {{0x10156}, 2, 2024, "ZRKC2024 ERROR LDE is currently being performed.\n"},
    {{0x10157}, 1, 2025, "ZRKC2025 ERROR A RVZ session exists.\n"},
    {{0x10158}, 6, 2026, "ZRKC2026 ERROR Controller firmware is currently being registered.\n"},
    {{0x10159}, 6, 2027, "ZRKC2027 ERROR Remote maintenance is currently being performed.\n"},
    {{0x15201}, 2, 2030, "ZRKC2030 ERROR The current copy phase is not correct.\n"},
    {{0x15300}, 11, 2031, "ZRKC2031 ERROR A copy path error occurred.\n"},
    {{0x15301}, 2, 2032, "ZRKC2032 ERROR The command is invalid.\n"},
    {{0x15302}, 2, 2033, "ZRKC2033 ERROR The number of logical volumes exceeds the maximum.\n"},
    {{0x15303}, 2, 2034, "ZRKC2034 ERROR The logical volume type is invalid.\n"},
    {{0x15304}, 2, 2035, "ZRKC2035 ERROR The copy session cannot be set for the logical volume.\n"},
    {{0x15305}, 2, 2036, "ZRKC2036 ERROR The copy source logical volume contains invalid data.\n"},
    {{0x15306}, 2, 2037, "ZRKC2037 ERROR A copy encryption error occurred.\n"},
    {{0x15307}, 2, 2038, "ZRKC2038 ERROR The resource domain numbers are invalid.\n"},
    {{0x15308}, 6, 2039, "ZRKC2039 ERROR The specified logical volume cannot be used.\n"},
    {{0x15309}, 7, 2040, "ZRKC2040 ERROR The copy session is in error status.\n"},
    {{0x15310}, 3, 2041, "ZRKC2041 ERROR Parameter error.\n"},
    {{0x15311}, 3, 2042, "ZRKC2042 ERROR The destination logical volume of the Totally copy is invalid.\n"},
    {{0x15312}, 2, 2119, "ZRKC2119 ERROR Failed to resume the copy session because of the change error.\n"},
    {{0x15313}, 2, 2044, "ZRKC2044 ERROR The copy session conflicts with an existing RAID migration session.\n"},
    {{0x15314}, 2, 2045, "ZRKC2045 ERROR The copy source logical volume is being duplicated.\n"},
    {{0x15315}, 2, 2046, "ZRKC2046 ERROR The copy destination logical volume is being duplicated.\n"},
    {{0x15316}, 3, 2047, "ZRKC2047 ERROR The range of the cascade copy is invalid.\n"},
    {{0x15317}, 2, 2048, "ZRKC2048 ERROR Unable to restore the copy session.\n"},
    {{0x15318}, 2, 2049, "ZRKC2049 ERROR The number of linkages in the cascade copy exceeds the maximum.\n"},
    {{0x15319}, 2, 2050, "ZRKC2050 ERROR The copy session is in ErrorSuspend status.\n"},
    {{0x15320}, 2, 2051, "ZRKC2051 ERROR Multiple copy sessions in RVZ Consistency mode are operated in a single cabinet.\n"},
    {{0x15323}, 3, 2052, "ZRKC2052 ERROR Unable to process the specified operation.\n"},
    {{0x15324}, 2, 2053, "ZRKC2053 ERROR The RAID group is blocked.\n"},
    {{0x15325}, 2, 2054, "ZRKC2054 ERROR The copy destination logical volume is protected.\n"},
    {{0x15327}, 2, 2055, "ZRKC2055 ERROR The status of the RVZ Buffer is incorrect.\n"},
    {{0x15328}, 2, 2056, "ZRKC2056 ERROR The untransferred RVZ Buffer stops the copy session reversing.\n"},
    {{0x15330}, 2, 2058, "ZRKC2058 ERROR The copy session has already been reversed.\n"},
    {{0x15331}, 2, 2059, "ZRKC2059 ERROR The number of copy sessions exceeds the maximum.\n"},
    {{0x15333}, 2, 2060, "ZRKC2060 ERROR The copy sessions for a single copy source logical volume exceed the maximum.\n"},
    {{0x15334}, 2, 2061, "ZRKC2061 ERROR The copy sessions for a single copy destination logical volume exceed the maximum.\n"},
    {{0x15335}, 2, 2062, "ZRKC2062 ERROR The number of SnapKZP+ generations exceeds the maximum.\n"},
    {{0x15336}, 2, 2063, "ZRKC2063 ERROR The copy source logical volumes for multiple monitor sessions are duplicated.\n"},
    {{0x15337}, 3, 2064, "ZRKC2064 ERROR The new session and an existing session are not specified correctly.\n"},
    {{0x15338}, 2, 2065, "ZRKC2065 ERROR The copy destination and cascade copy destination are duplicated.\n"},
    {{0x15339}, 2, 2066, "ZRKC2066 ERROR An incorrect setting is specified to reverse the copy direction.\n"},
    {{0x15340}, 2, 2067, "ZRKC2067 ERROR The SDV is currently being formatted.\n"},
    {{0x15341}, 2, 2068, "ZRKC2068 ERROR A session with an SDV as the copy destination already exists.\n"},
    {{0x15346}, 6, 2069, "ZRKC2069 ERROR A copy table is not set.\n"},
    {{0x15347}, 6, 2070, "ZRKC2070 ERROR The copy table size is insufficient.\n"},
    {{0x15348}, 2, 2071, "ZRKC2071 ERROR RVZ Buffer error.\n"},
    {{0x15349}, 3, 2072, "ZRKC2072 ERROR RVZ Buffer is invalid after the copy resumes.\n"},
    {{0x15350}, 2, 2073, "ZRKC2073 ERROR The RVZ Buffer is currently being used.\n"},
    {{0x15351}, 6, 2074, "ZRKC2074 ERROR RVZ Buffer is invalid after the copy session is reversed.\n"},
    {{0x15352}, 6, 2075, "ZRKC2075 ERROR Unable to copy the specified logical volume.\n"},
    {{0x15353}, 6, 2076, "ZRKC2076 ERROR Unable to find the specified BoxID information.\n"},
    {{0x15354}, 6, 2077, "ZRKC2077 ERROR Unable to delete the session in the remote VASTREL Disk storage system.\n"},
    {{0x15355}, 2, 2078, "ZRKC2078 ERROR A CFL is currently being performed.\n"},
    {{0x15356}, 3, 2079, "ZRKC2079 ERROR The resolution of the copy table is invalid.\n"},
    {{0x15357}, 3, 2080, "ZRKC2080 ERROR The specified SDV is invalid.\n"},
    {{0x15358}, 3, 2081, "ZRKC2081 ERROR An SDV is specified for the copy source of the SnapKZP+.\n"},
    {{0x15359}, 3, 2082, "ZRKC2082 ERROR A logical volume is specified for the copy destination of the SnapKZP+.\n"},
    {{0x15360}, 2, 2083, "ZRKC2083 ERROR Retry required.\n"},
    {{0x15361}, 6, 2084, "ZRKC2084 ERROR The status is invalid or an abnormal firmware event occurred.\n"},
    {{0x15362}, 2, 2085, "ZRKC2085 ERROR Unable to perform RAID migration.\n"},
    {{0x15363}, 2, 2086, "ZRKC2086 ERROR Unable to start the Concurrent KZP function because the phase of the latest SnapKZP+ session is readying.\n"},
    {{0x15364}, 2, 2087, "ZRKC2087 ERROR Unable to restore the copy session because the Concurrent KZP function is being used.\n"},
    {{0x15365}, 2, 2088, "ZRKC2088 ERROR Failed to restore the copy session because the phase of the target session is readying.\n"},
    {{0x15366}, 2, 2089, "ZRKC2089 ERROR The specified volume is being used by Extended Copy.\n"},
    {{0x15367}, 2, 2090, "ZRKC2090 ERROR Failed to start the copy session because another copy session has already started.\n"},
    {{0x15368}, 2, 2091, "ZRKC2091 ERROR Unable to start the Concurrent KZP function because a restoration copy session exists.\n"},
    {{0x15369}, 6, 2092, "ZRKC2092 ERROR The storage system does not support the RVZ function with a LAN interface.\n"},
    {{0x15370}, 3, 2096, "ZRKC2096 ERROR The specified volume in the remote storage system is invalid.\n"},
    {{0x15371}, 3, 2097, "ZRKC2097 ERROR A parameter error occurred in the remote storage system.\n"},
    {{0x15372}, 3, 2098, "ZRKC2098 ERROR The specified copy range for the remote storage system overlaps with the copy range for an existing session.\n"},
    {{0x15373}, 3, 2099, "ZRKC2099 ERROR The status of a session or a volume in the remote storage system is error.\n"},
    {{0x15374}, 2, 2100, "ZRKC2100 ERROR The number of copy sessions exceeds the maximum number of copy sessions in the remote storage system.\n"},
    {{0x15375}, 2, 2101, "ZRKC2101 ERROR The target volume for the remote storage system is already defined in another copy operation.\n"},
    {{0x15376}, 6, 2102, "ZRKC2102 ERROR A copy table or RVZ Buffer status error occurred in the remote storage system.\n"},
    {{0x15377}, 3, 2103, "ZRKC2103 ERROR The specified copy volume in the remote storage system is a Snap Data Volume.\n"},
    {{0x15378}, 6, 2104, "ZRKC2104 ERROR An error occurred for the copy path connection in the remote storage system.\n"},
    {{0x15379}, 6, 2105, "ZRKC2105 ERROR An unsupported command was issued to the remote storage system.\n"},
    {{0x15380}, 1, 2106, "ZRKC2106 ERROR The copy session has already been set in the remote storage system.\n"},
    {{0x15381}, 1, 2107, "ZRKC2107 ERROR The copy session has been already deleted in the remote storage system.\n"},
    {{0x15382}, 1, 2108, "ZRKC2108 ERROR The copy session is already in Suspend status in the remote storage system.\n"},
    {{0x15383}, 1, 2109, "ZRKC2109 ERROR The copy session is already in Active status in the remote storage system.\n"},
    {{0x15385}, 3, 2111, "ZRKC2111 ERROR The specified storage system information cannot be found in the remote storage configuration.\n"},
    {{0x15386}, 6, 2112, "ZRKC2112 ERROR A copy path error was detected for the deletion process. The specified copy sessions might still exist in the remote storage system.\n"},
    {{0x15387}, 6, 2113, "ZRKC2113 ERROR A firmware update is in progress in the remote storage system. The specified operation cannot be performed.\n"},
    {{0x15388}, 6, 2114, "ZRKC2114 ERROR The copy resolution settings of the local and remote storage systems are different.\n"},
    {{0x15389}, 2, 2115, "ZRKC2115 ERROR A retry operation is required in the remote storage system.\n"},
    {{0x15390}, 6, 2116, "ZRKC2116 ERROR The status of the remote storage system is invalid.\n"},
    {{0x15394}, 6, 2094, "ZRKC2094 ERROR The copy source storage system does not support this copy function.\n"},
    {{0x15395}, 6, 2118, "ZRKC2118 ERROR The Controller Module failed.\n"},
    {{0x19403}, 6, 2120, "ZRKC2120 ERROR The number of connections has reached the maximum number allowed.\n"},
};

// "ZRKCnnnn " of a number.
std::string NumberPrefix(uint32_t number) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ZRKC%04u ", number);
    return prefix;
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
            EXPECT_EQ(m.message, row.message);
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
