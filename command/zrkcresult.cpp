// com_set_return_inf: the result of one API call as a return class, a
// message number and a message line. ZRKerrno is read right after the call;
// a few codes look at the sense data (fixed format) or at which function
// failed, the rest go through one checked table, and what the table does not
// list goes to the command error catalogue.
#include "zrkcmessage.h"
#include "zrkcops.h"
#include "zrkctrace.h"

#include "platform.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

using namespace zrkplatform;

namespace {

constexpr const char *kName = "com_set_return_inf";

// The identifier of the copy-priority setting, the one operation whose
// ZRK_ERR_BOXID has a message of its own.
constexpr uint8_t kSetCopyPriority = zrkc::IdOf(zrkc::Op::SetCopyPriority);

struct MessageRow {
    int32_t iZrkErrno;   // the code the row answers
    int32_t iClass;      // return class
    uint32_t uiNumber;   // message number
    const char *pLine;   // the message line; "%s" only in ZRKC1002 (the volume)
};

// One row per ZRKerrno value, ascending. The codes with special rules
// (ZRK_ERR_HARDWARE, ZRK_ERR_BUSY, ZRK_ERR_BOXID, ZRK_ERR_RVZ_BUFFER) are
// not here.
constexpr std::array kRows = std::to_array<MessageRow>({
    {1, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {2, 3, 1002, "ZRKC1002 ERROR Invalid logical volume name. Volume name=(%s).\n"},
    {3, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {4, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {5, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {6, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {7, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {8, 3, 1108, "ZRKC1108 ERROR The specification of physical information is incorrect.\n"},
    {11, 3, 1108, "ZRKC1108 ERROR The specification of physical information is incorrect.\n"},
    {12, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {13, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {17, 6, 1202, "ZRKC1202 ERROR Unsupported function.\n"},
    {21, 1, 1100, "ZRKC1100 ERROR Session does not exist.\n"},
    {22, 6, 1208, "ZRKC1208 ERROR Specified logical volume is not VASTREL.\n"},
    {25, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(condition_met).\n"},
    {27, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(command_conflict).\n"},
    {28, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(taskset_full).\n"},
    {29, 7, 1204, "ZRKC1204 ERROR SCSI error detected. Error=(unexpected error).\n"},
    {33, 6, 1109, "ZRKC1109 ERROR VASTREL cannot be recognized.\n"},
    {34, 1, 1203, "ZRKC1203 ERROR The operation is not permitted.\n"},
    {35, 7, 1225, "ZRKC1225 ERROR TRNX environment is incorrect.\n"},
    {36, 4, 1106, "ZRKC1106 ERROR Insufficient memory.\n"},
    {37, 3, 1010, "ZRKC1010 ERROR Specified option is invalid.\n"},
    {38, 7, 1226, "ZRKC1226 ERROR BVM environment is incorrect.\n"},
    {39, 1, 1104, "ZRKC1104 ERROR Operation sequence error.\n"},
    {41, 3, 1213, "ZRKC1213 ERROR Invalid file system.\n"},
    {48, 5, 1250, "ZRKC1250 ERROR Specified LUN_V Number is invalid.\n"},
    {59, 6, 1209, "ZRKC1209 ERROR Insufficient resource in VASTREL.\n"},
    {60, 6, 1222, "ZRKC1222 ERROR VASTREL unit inconsistency.\n"},
    {61, 11, 1224, "ZRKC1224 ERROR Communication error occurred.\n"},
    {62, 6, 1223, "ZRKC1223 ERROR The copy operation with VASTREL is incorrect.\n"},
    {63, 11, 1220, "ZRKC1220 ERROR Change mode operation failed because of communication error. Cause=(NOT_CHANGED).\n"},
    {64, 11, 1220, "ZRKC1220 ERROR Change mode operation failed because of communication error. Cause=(CROSS).\n"},
    {65, 3, 1102, "ZRKC1102 ERROR Invalid Snap Data Volume.\n"},
    {67, 5, 1223, "ZRKC1223 ERROR The copy operation with VASTREL is incorrect.\n"},
    {68, 3, 1102, "ZRKC1102 ERROR Invalid Snap Data Volume.\n"},
    {69, 5, 1252, "ZRKC1252 ERROR Operation is not supported.\n"},
    {70, 7, 1212, "ZRKC1212 ERROR Disk drive off by the ECO mode.\n"},
    {71, 3, 1018, "ZRKC1018 ERROR The copy protection cannot be set to Snap Data Volume.\n"},
    {77, 3, 3005, "ZRKC3005 ERROR Failed to set the copy priority due to an invalid parameter.\n"},
    {78, 6, 3006, "ZRKC3006 ERROR Failed to set the copy priority due to an unsupported argument combination.\n"},
    {79, 3, 1025, "ZRKC1025 ERROR Unable to restore the copy session because the Concurrent KZP function is being used.\n"},
    {80, 1, 1026, "ZRKC1026 ERROR Unable to start the Concurrent KZP function.\n"},
    {81, 2, 1027, "ZRKC1027 ERROR The copy source logical volume contains invalid data.\n"},
    {82, 2, 1028, "ZRKC1028 ERROR RAID Migration is currently being performed.\n"},
    {83, 3, 1029, "ZRKC1029 ERROR Unable to start the Concurrent KZP function because of invalid parameter.\n"},
    {84, 2, 1030, "ZRKC1030 ERROR The number of specified copy sessions exceeds the maximum.\n"},
    {85, 2, 1031, "ZRKC1031 ERROR Failed to restore the copy session because the phase of the target session is readying.\n"},
    {86, 2, 1032, "ZRKC1032 ERROR Unable to start the Concurrent KZP function because the phase of the latest SnapKZP+ session is readying.\n"},
    {87, 2, 1033, "ZRKC1033 ERROR Unable to start the Concurrent KZP function because a restoration copy session exists.\n"},
    {88, 3, 3000, "ZRKC3000 ERROR The status of the cascade copy session is incorrect.\n"},
    {89, 3, 3001, "ZRKC3001 ERROR The copy logical source volumes are made by multiple VASTREL Disk storage systems.\n"},
    {90, 3, 3002, "ZRKC3002 ERROR The source volumes of cascade copy sessions are made by multiple VASTREL Disk storage systems.\n"},
    {91, 3, 3003, "ZRKC3003 ERROR The transfer mode of the cascade copy session is incorrect.\n"},
    {92, 3, 3004, "ZRKC3004 ERROR The logical volume is already defined in an Offloaded Data Transfer session.\n"},
    {93, 2, 3008, "ZRKC3008 ERROR The copy session is used by cascade copy session.\n"},
    {97, 3, 3010, "ZRKC3010 ERROR This operation cannot be executed for the NAS resource is in use.\n"},
    {920, 15, 1904, "ZRKC1904 ERROR Failed to log in to the VASTREL Disk storage system.\n"},
    {921, 15, 1904, "ZRKC1904 ERROR Failed to log in to the VASTREL Disk storage system.\n"},
    {922, 15, 1904, "ZRKC1904 ERROR Failed to log in to the VASTREL Disk storage system.\n"},
    {1901, 15, 1901, "ZRKC1901 INFO The LAN interface management service is already running.\n"},
    {1902, 15, 1902, "ZRKC1902 ERROR Failed to start the LAN interface management service.\n"},
    {1903, 15, 1903, "ZRKC1903 ERROR The LAN interface management service is not running.\n"},
    {1904, 15, 1904, "ZRKC1904 ERROR Failed to log in to the VASTREL Disk storage system.\n"},
    {1905, 15, 1905, "ZRKC1905 ERROR Unable to connect to the VASTREL Disk storage system.\n"},
    {0x10001, 3, 2000, "ZRKC2000 ERROR The parameter value is not correct.\n"},
    {0x10002, 3, 2001, "ZRKC2001 ERROR The values of the parameter exceed the range allowed.\n"},
    {0x10003, 3, 2002, "ZRKC2002 ERROR The parameter specifications exceed the number of specifications allowed.\n"},
    {0x10004, 3, 2003, "ZRKC2003 ERROR The parameter specifications are insufficient.\n"},
    {0x10005, 3, 2004, "ZRKC2004 ERROR The combination of parameters is not correct.\n"},
    {0x10006, 2, 2005, "ZRKC2005 ERROR The specified status for the parameter is invalid.\n"},
    {0x10007, 3, 2006, "ZRKC2006 ERROR The specified parameter is invalid.\n"},
    {0x10008, 3, 2007, "ZRKC2007 ERROR The specified size is invalid.\n"},
    {0x10010, 6, 2008, "ZRKC2008 ERROR The specified parameter does not match the model type of the VASTREL Disk storage system.\n"},
    {0x10020, 5, 2009, "ZRKC2009 ERROR An internal error occurred.\n"},
    {0x10060, 1, 2010, "ZRKC2010 ERROR Another session has exclusive rights.\n"},
    {0x10072, 6, 2093, "ZRKC2093 ERROR Insufficient resource in VASTREL.\n"},
    {0x10073, 2, 2117, "ZRKC2117 ERROR The resource is currently busy. Wait a while, and then try again.\n"},
    {0x10080, 2, 2011, "ZRKC2011 ERROR The specified capacity or number has reached the limit.\n"},
    {0x10094, 6, 2012, "ZRKC2012 ERROR The specified parameter cannot be used for the encryption mode.\n"},
    {0x10098, 6, 2013, "ZRKC2013 ERROR Cannot be used because of the Slave CM.\n"},
    {0x10101, 4, 2014, "ZRKC2014 ERROR Insufficient memory.\n"},
    {0x10110, 1, 2015, "ZRKC2015 ERROR The specified target does not exist.\n"},
    {0x10118, 6, 2016, "ZRKC2016 ERROR Unsupported model is selected as the RVZ target.\n"},
    {0x10120, 6, 2017, "ZRKC2017 ERROR The specified value has already been registered.\n"},
    {0x10142, 6, 2018, "ZRKC2018 ERROR Encrypted volumes exist.\n"},
    {0x10151, 6, 2019, "ZRKC2019 ERROR Shutdown or startup is currently being performed.\n"},
    {0x10152, 2, 2020, "ZRKC2020 ERROR A Quick Format is currently being performed.\n"},
    {0x10153, 2, 2021, "ZRKC2021 ERROR Encryption or decryption is currently being performed.\n"},
    {0x10154, 2, 2022, "ZRKC2022 ERROR An Tarvel Copy is currently being performed.\n"},
    {0x10155, 2, 2023, "ZRKC2023 ERROR RAID Migration is currently being performed.\n"},
    {0x10156, 2, 2024, "ZRKC2024 ERROR LDE is currently being performed.\n"},
    {0x10157, 1, 2025, "ZRKC2025 ERROR A RVZ session exists.\n"},
    {0x10158, 6, 2026, "ZRKC2026 ERROR Controller firmware is currently being registered.\n"},
    {0x10159, 6, 2027, "ZRKC2027 ERROR Remote maintenance is currently being performed.\n"},
    {0x15201, 2, 2030, "ZRKC2030 ERROR The current copy phase is not correct.\n"},
    {0x15300, 11, 2031, "ZRKC2031 ERROR A copy path error occurred.\n"},
    {0x15301, 2, 2032, "ZRKC2032 ERROR The command is invalid.\n"},
    {0x15302, 2, 2033, "ZRKC2033 ERROR The number of logical volumes exceeds the maximum.\n"},
    {0x15303, 2, 2034, "ZRKC2034 ERROR The logical volume type is invalid.\n"},
    {0x15304, 2, 2035, "ZRKC2035 ERROR The copy session cannot be set for the logical volume.\n"},
    {0x15305, 2, 2036, "ZRKC2036 ERROR The copy source logical volume contains invalid data.\n"},
    {0x15306, 2, 2037, "ZRKC2037 ERROR A copy encryption error occurred.\n"},
    {0x15307, 2, 2038, "ZRKC2038 ERROR The resource domain numbers are invalid.\n"},
    {0x15308, 6, 2039, "ZRKC2039 ERROR The specified logical volume cannot be used.\n"},
    {0x15309, 7, 2040, "ZRKC2040 ERROR The copy session is in error status.\n"},
    {0x15310, 3, 2041, "ZRKC2041 ERROR Parameter error.\n"},
    {0x15311, 3, 2042, "ZRKC2042 ERROR The destination logical volume of the Totally copy is invalid.\n"},
    {0x15312, 2, 2119, "ZRKC2119 ERROR Failed to resume the copy session because of the change error.\n"},
    {0x15313, 2, 2044, "ZRKC2044 ERROR The copy session conflicts with an existing RAID migration session.\n"},
    {0x15314, 2, 2045, "ZRKC2045 ERROR The copy source logical volume is being duplicated.\n"},
    {0x15315, 2, 2046, "ZRKC2046 ERROR The copy destination logical volume is being duplicated.\n"},
    {0x15316, 3, 2047, "ZRKC2047 ERROR The range of the cascade copy is invalid.\n"},
    {0x15317, 2, 2048, "ZRKC2048 ERROR Unable to restore the copy session.\n"},
    {0x15318, 2, 2049, "ZRKC2049 ERROR The number of linkages in the cascade copy exceeds the maximum.\n"},
    {0x15319, 2, 2050, "ZRKC2050 ERROR The copy session is in ErrorSuspend status.\n"},
    {0x15320, 2, 2051, "ZRKC2051 ERROR Multiple copy sessions in RVZ Consistency mode are operated in a single cabinet.\n"},
    {0x15323, 3, 2052, "ZRKC2052 ERROR Unable to process the specified operation.\n"},
    {0x15324, 2, 2053, "ZRKC2053 ERROR The RAID group is blocked.\n"},
    {0x15325, 2, 2054, "ZRKC2054 ERROR The copy destination logical volume is protected.\n"},
    {0x15327, 2, 2055, "ZRKC2055 ERROR The status of the RVZ Buffer is incorrect.\n"},
    {0x15328, 2, 2056, "ZRKC2056 ERROR The untransferred RVZ Buffer stops the copy session reversing.\n"},
    {0x15330, 2, 2058, "ZRKC2058 ERROR The copy session has already been reversed.\n"},
    {0x15331, 2, 2059, "ZRKC2059 ERROR The number of copy sessions exceeds the maximum.\n"},
    {0x15333, 2, 2060, "ZRKC2060 ERROR The copy sessions for a single copy source logical volume exceed the maximum.\n"},
    {0x15334, 2, 2061, "ZRKC2061 ERROR The copy sessions for a single copy destination logical volume exceed the maximum.\n"},
    {0x15335, 2, 2062, "ZRKC2062 ERROR The number of SnapKZP+ generations exceeds the maximum.\n"},
    {0x15336, 2, 2063, "ZRKC2063 ERROR The copy source logical volumes for multiple monitor sessions are duplicated.\n"},
    {0x15337, 3, 2064, "ZRKC2064 ERROR The new session and an existing session are not specified correctly.\n"},
    {0x15338, 2, 2065, "ZRKC2065 ERROR The copy destination and cascade copy destination are duplicated.\n"},
    {0x15339, 2, 2066, "ZRKC2066 ERROR An incorrect setting is specified to reverse the copy direction.\n"},
    {0x15340, 2, 2067, "ZRKC2067 ERROR The SDV is currently being formatted.\n"},
    {0x15341, 2, 2068, "ZRKC2068 ERROR A session with an SDV as the copy destination already exists.\n"},
    {0x15346, 6, 2069, "ZRKC2069 ERROR A copy table is not set.\n"},
    {0x15347, 6, 2070, "ZRKC2070 ERROR The copy table size is insufficient.\n"},
    {0x15348, 2, 2071, "ZRKC2071 ERROR RVZ Buffer error.\n"},
    {0x15349, 3, 2072, "ZRKC2072 ERROR RVZ Buffer is invalid after the copy resumes.\n"},
    {0x15350, 2, 2073, "ZRKC2073 ERROR The RVZ Buffer is currently being used.\n"},
    {0x15351, 6, 2074, "ZRKC2074 ERROR RVZ Buffer is invalid after the copy session is reversed.\n"},
    {0x15352, 6, 2075, "ZRKC2075 ERROR Unable to copy the specified logical volume.\n"},
    {0x15353, 6, 2076, "ZRKC2076 ERROR Unable to find the specified BoxID information.\n"},
    {0x15354, 6, 2077, "ZRKC2077 ERROR Unable to delete the session in the remote VASTREL Disk storage system.\n"},
    {0x15355, 2, 2078, "ZRKC2078 ERROR A CFL is currently being performed.\n"},
    {0x15356, 3, 2079, "ZRKC2079 ERROR The resolution of the copy table is invalid.\n"},
    {0x15357, 3, 2080, "ZRKC2080 ERROR The specified SDV is invalid.\n"},
    {0x15358, 3, 2081, "ZRKC2081 ERROR An SDV is specified for the copy source of the SnapKZP+.\n"},
    {0x15359, 3, 2082, "ZRKC2082 ERROR A logical volume is specified for the copy destination of the SnapKZP+.\n"},
    {0x15360, 2, 2083, "ZRKC2083 ERROR Retry required.\n"},
    {0x15361, 6, 2084, "ZRKC2084 ERROR The status is invalid or an abnormal firmware event occurred.\n"},
    {0x15362, 2, 2085, "ZRKC2085 ERROR Unable to perform RAID migration.\n"},
    {0x15363, 2, 2086, "ZRKC2086 ERROR Unable to start the Concurrent KZP function because the phase of the latest SnapKZP+ session is readying.\n"},
    {0x15364, 2, 2087, "ZRKC2087 ERROR Unable to restore the copy session because the Concurrent KZP function is being used.\n"},
    {0x15365, 2, 2088, "ZRKC2088 ERROR Failed to restore the copy session because the phase of the target session is readying.\n"},
    {0x15366, 2, 2089, "ZRKC2089 ERROR The specified volume is being used by Extended Copy.\n"},
    {0x15367, 2, 2090, "ZRKC2090 ERROR Failed to start the copy session because another copy session has already started.\n"},
    {0x15368, 2, 2091, "ZRKC2091 ERROR Unable to start the Concurrent KZP function because a restoration copy session exists.\n"},
    {0x15369, 6, 2092, "ZRKC2092 ERROR The storage system does not support the RVZ function with a LAN interface.\n"},
    {0x15370, 3, 2096, "ZRKC2096 ERROR The specified volume in the remote storage system is invalid.\n"},
    {0x15371, 3, 2097, "ZRKC2097 ERROR A parameter error occurred in the remote storage system.\n"},
    {0x15372, 3, 2098, "ZRKC2098 ERROR The specified copy range for the remote storage system overlaps with the copy range for an existing session.\n"},
    {0x15373, 3, 2099, "ZRKC2099 ERROR The status of a session or a volume in the remote storage system is error.\n"},
    {0x15374, 2, 2100, "ZRKC2100 ERROR The number of copy sessions exceeds the maximum number of copy sessions in the remote storage system.\n"},
    {0x15375, 2, 2101, "ZRKC2101 ERROR The target volume for the remote storage system is already defined in another copy operation.\n"},
    {0x15376, 6, 2102, "ZRKC2102 ERROR A copy table or RVZ Buffer status error occurred in the remote storage system.\n"},
    {0x15377, 3, 2103, "ZRKC2103 ERROR The specified copy volume in the remote storage system is a Snap Data Volume.\n"},
    {0x15378, 6, 2104, "ZRKC2104 ERROR An error occurred for the copy path connection in the remote storage system.\n"},
    {0x15379, 6, 2105, "ZRKC2105 ERROR An unsupported command was issued to the remote storage system.\n"},
    {0x15380, 1, 2106, "ZRKC2106 ERROR The copy session has already been set in the remote storage system.\n"},
    {0x15381, 1, 2107, "ZRKC2107 ERROR The copy session has been already deleted in the remote storage system.\n"},
    {0x15382, 1, 2108, "ZRKC2108 ERROR The copy session is already in Suspend status in the remote storage system.\n"},
    {0x15383, 1, 2109, "ZRKC2109 ERROR The copy session is already in Active status in the remote storage system.\n"},
    {0x15385, 3, 2111, "ZRKC2111 ERROR The specified storage system information cannot be found in the remote storage configuration.\n"},
    {0x15386, 6, 2112, "ZRKC2112 ERROR A copy path error was detected for the deletion process. The specified copy sessions might still exist in the remote storage system.\n"},
    {0x15387, 6, 2113, "ZRKC2113 ERROR A firmware update is in progress in the remote storage system. The specified operation cannot be performed.\n"},
    {0x15388, 6, 2114, "ZRKC2114 ERROR The copy resolution settings of the local and remote storage systems are different.\n"},
    {0x15389, 2, 2115, "ZRKC2115 ERROR A retry operation is required in the remote storage system.\n"},
    {0x15390, 6, 2116, "ZRKC2116 ERROR The status of the remote storage system is invalid.\n"},
    {0x15391, 3, 3000, "ZRKC3000 ERROR The status of the cascade copy session is incorrect.\n"},
    {0x15392, 3, 3001, "ZRKC3001 ERROR The copy logical source volumes are made by multiple VASTREL Disk storage systems.\n"},
    {0x15393, 3, 3003, "ZRKC3003 ERROR The transfer mode of the cascade copy session is incorrect.\n"},
    {0x15394, 6, 2094, "ZRKC2094 ERROR The copy source storage system does not support this copy function.\n"},
    {0x15395, 6, 2118, "ZRKC2118 ERROR The Controller Module failed.\n"},
    {0x15400, 1, 1026, "ZRKC1026 ERROR Unable to start the Concurrent KZP function.\n"},
    {0x15401, 1, 1026, "ZRKC1026 ERROR Unable to start the Concurrent KZP function.\n"},
    {0x15402, 6, 1109, "ZRKC1109 ERROR VASTREL cannot be recognized.\n"},
    {0x16007, 3, 3004, "ZRKC3004 ERROR The logical volume is already defined in an Offloaded Data Transfer session.\n"},
    {0x19403, 6, 2120, "ZRKC2120 ERROR The number of connections has reached the maximum number allowed.\n"},
    {0x1be00, 3, 3010, "ZRKC3010 ERROR This operation cannot be executed for the NAS resource is in use.\n"},
    {0x1d801, 2, 3008, "ZRKC3008 ERROR The copy session is used by cascade copy session.\n"},
    {0x25392, 3, 3002, "ZRKC3002 ERROR The source volumes of cascade copy sessions are made by multiple VASTREL Disk storage systems.\n"},
});

static_assert(std::adjacent_find(kRows.begin(), kRows.end(),
                                 [](const MessageRow &a, const MessageRow &b) {
                                     return a.iZrkErrno >= b.iZrkErrno;
                                 }) == kRows.end(),
              "message rows sorted and unique");
static_assert(std::none_of(kRows.begin(), kRows.end(),
                           [](const MessageRow &row) {
                               return row.iZrkErrno == ZRK_ERR_HARDWARE ||
                                      row.iZrkErrno == ZRK_ERR_BUSY ||
                                      row.iZrkErrno == ZRK_ERR_BOXID ||
                                      row.iZrkErrno == ZRK_ERR_RVZ_BUFFER;
                           }),
              "the special codes have no plain row");

const MessageRow *FindRow(int code) {
    auto it = std::lower_bound(kRows.begin(), kRows.end(), code,
                               [](const MessageRow &row, int value) { return row.iZrkErrno < value; });
    return it != kRows.end() && it->iZrkErrno == code ? &*it : nullptr;
}

// The fixed-format sense bytes the special rows read.
struct Sense {
    unsigned uiKey;   // low 4 bits of byte 2
    unsigned uiAsc;   // byte 12
    unsigned uiAscq;  // byte 13
};

Sense ReadSense(const unsigned char *sense) {
    if (sense == nullptr) return {0, 0, 0};
    return {sense[2] & 0x0Fu, sense[12], sense[13]};
}

constexpr unsigned kIllegalRequest = 0x5;
constexpr unsigned kAscCopyRefused = 0x26;

// ZRK_ERR_BUSY: the qualifier of 05-26-xx says why the array refused.
void MapBusy(const Sense &s, const zrkc::ResultSlot &out) {
    struct BusyRow {
        unsigned uiAscq;
        uint32_t uiNumber;
        const char *pLine;
    };
    static constexpr BusyRow kBusy[] = {
        {0x90, 1003, "ZRKC1003 ERROR Logical volume is already defined in another copy operation.\n"},
        {0x92, 1004, "ZRKC1004 ERROR Maximum session reached.\n"},
        {0x93, 1005, "ZRKC1005 ERROR Another copy has already started.\n"},
        {0x94, 1006, "ZRKC1006 ERROR Target volume is already defined in another copy operation.\n"},
        {0x95, 1007, "ZRKC1007 ERROR Logical volume is already reserved.\n"},
    };
    if (s.uiKey == kIllegalRequest && s.uiAsc == kAscCopyRefused) {
        for (const BusyRow &row : kBusy) {
            if (row.uiAscq == s.uiAscq) {
                zrkc::SetResult(out, ZRKC_CLASS_BUSY, row.uiNumber, "%s", row.pLine);
                return;
            }
        }
    }
    zrkc::SetResult(out, ZRKC_CLASS_BUSY, 1009, "ZRKC1009 ERROR Logical volume is busy.\n");
}

// The rules of the codes that the table cannot hold; false for the others.
bool MapSpecial(int code, uint8_t identifier, const Sense &s, const zrkc::ResultSlot &out) {
    switch (code) {
    case ZRK_ERR_HARDWARE:
        zrkc::SetResult(out, ZRKC_CLASS_SCSI, 1204,
                        "ZRKC1204 ERROR SCSI error detected. Error=(%02x-%02x-%02x).\n", s.uiKey,
                        s.uiAsc, s.uiAscq);
        return true;
    case ZRK_ERR_BUSY:
        MapBusy(s, out);
        return true;
    case ZRK_ERR_BOXID:
        if (identifier == kSetCopyPriority) {
            zrkc::SetResult(out, ZRKC_CLASS_ARRAY, 3007,
                            "ZRKC3007 ERROR Failed to set the copy priority because an RVZ path for "
                            "the specified Box ID has not been set.\n");
        } else {
            zrkc::SetResult(out, ZRKC_CLASS_ARRAY, 1109, "ZRKC1109 ERROR VASTREL cannot be recognized.\n");
        }
        return true;
    case ZRK_ERR_RVZ_BUFFER:
        if (s.uiKey == kIllegalRequest && s.uiAsc == kAscCopyRefused && s.uiAscq == 0x00) {
            zrkc::SetResult(out, ZRKC_CLASS_PARAMETER, 1024,
                            "ZRKC1024 ERROR An error occurred during RVZ Buffer operation.\n");
        } else {
            zrkc::SetResult(out, ZRKC_CLASS_INTERNAL, 1201, "ZRKC1201 ERROR Internal inconsistency.\n");
        }
        return true;
    default:
        return false;
    }
}

// What neither the rules nor the table know: a negative code is the array's
// own code of a LAN operation; any other goes to the command catalogue.
void MapUnlisted(int code, const zrkc::ResultSlot &out) {
    if (code < 0) {
        const uint32_t arrayCode = 0u - static_cast<uint32_t>(code);
        zrkc::SetResult(out, ZRKC_CLASS_LAN_ARRAY, arrayCode,
                        "ZRKC2095 ERROR An error is detected for the operation that was performed "
                        "via the LAN. Error=0x%08x.\n",
                        arrayCode);
        return;
    }
    ErrInfoVelk entry{};
    if (get_err_info_velk(ZRK_ERRINF_BY_ZRKERR, code, &entry) == 0) {
        zrkc::SetResult(out, entry.iReturnClass, static_cast<uint32_t>(entry.iMessageNo), "%s",
                        entry.caMessage);
        // A catalogue line cut to the field still ends as a line.
        if (std::strlen(out.pMessage) == ZRK_MESSAGE_LEN - 1) out.pMessage[ZRK_MESSAGE_LEN - 2] = '\n';
    } else {
        zrkc::SetResult(out, ZRKC_CLASS_INTERNAL, 1200, "ZRKC1200 ERROR Unexpected error.\n");
    }
}

} // namespace

extern "C" int com_set_return_inf(uint8_t identifier, const char *volume, int apiResult,
                                  const unsigned char *senseData, int32_t *returnClass,
                                  uint32_t *messageNo, char *message) {
    std::memset(message, 0, ZRK_MESSAGE_LEN);
    if (apiResult != -1) return zrkc::NormalEnd(kName);
    zrkc::TraceStart(kName, zrkc::kTraceParm);
    const int code = ZRKerrno;
    const zrkc::ResultSlot out{returnClass, messageNo, message};
    const Sense sense = ReadSense(senseData);

    if (!MapSpecial(code, identifier, sense, out)) {
        if (const MessageRow *row = FindRow(code)) {
            if (code == ZRK_ERR_LOGICAL_VOL) {
                zrkc::SetResult(out, row->iClass, row->uiNumber, row->pLine,
                                volume != nullptr ? volume : "");
            } else {
                zrkc::SetResult(out, row->iClass, row->uiNumber, "%s", row->pLine);
            }
        } else {
            MapUnlisted(code, out);
        }
    }

    const zrkc::Where here = zrkc::Where::current();
    char title[80];
    std::snprintf(title, sizeof title, "ErrorInfo : ZRKerrno=%d : SenseData Dump [%d]", code,
                  static_cast<int>(here.line()));
    velk_trace_dmp(zrkc::kTraceStep, title, senseData, senseData != nullptr ? ZRK_SENSE_LEN : 0);
    return zrkc::ErrorEnd(kName);
}
