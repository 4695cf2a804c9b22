// The VZ status list over the LAN: the list of an array's VZ and RVZ
// sessions byte for byte against the simulator's LAN front (a remote
// session held from the destination side under its partner identifier),
// an array without VZ sessions, the refusals before and after the array is
// asked, and the bounds of the list built from the session rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../../ip/ipstatuslist.h"
#include "child.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "sim_client.h"
#include "zrkapi.h"

namespace {

// A1 holds VZ, RVZ (both sides) and KZP sessions; B2 only KZP sessions; C1
// has no VZ status list; D1 lists more sessions than its maximum.
std::string Scenario() {
    std::string s =
        "array A1 boxid=\"BOXA1\" address=10.0.0.5\n"
        "array B1 boxid=\"BOXB1\" address=10.0.0.6\n"
        "array B2 boxid=\"BOXB2\" address=10.0.0.7\n"
        "array C1 boxid=\"BOXC1\" address=10.0.0.21 support=" +
        iptest::SupportHex({{21, 0x0B}, {29, 0xBF}}) +
        "\narray D1 boxid=\"BOXD1\" address=10.0.0.22 maxsessions=16,2,16,2\n"
        "user admin secret\n";
    for (const char *array : {"A1", "B1", "B2", "C1", "D1"}) {
        for (int olu = 1; olu <= 10; ++olu) {
            s += "volume " + std::string(array) + " " + std::to_string(olu) + " 4096\n";
        }
    }
    s += "session 1 vz A1 1 A1 2\n"
         "session 2 kzp A1 3 A1 4\n"
         "session 3 rvz A1 5 B1 5 partner=7\n"
         "session 5 vz A1 7 A1 8 status=suspend\n"
         "session 9 rvz B1 6 A1 6 partner=12\n"
         "session 1 kzp B2 1 B2 2\n"
         "session 1 vz C1 1 C1 2\n"
         "session 1 vz D1 1 D1 2\nsession 2 vz D1 3 D1 4\nsession 3 vz D1 5 D1 6\n"
         "disk /dev/sdb 8:16 A1 1\n";
    return s;
}

std::string Hex(const unsigned char *bytes, size_t length) {
    std::string out;
    char two[3];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(two, sizeof two, "%02X", bytes[i]);
        out += two;
    }
    return out;
}

class IpStatusListSim : public iptest::LanSimTest {
protected:
    IpStatusListSim() : LanSimTest(Scenario(), {"10.0.0.5", "10.0.0.7", "10.0.0.21", "10.0.0.22"}) {}
};

TEST_F(IpStatusListSim, ListsTheVzSessionsByteForByte) {
    struct Case {
        const char *what;
        const char *ip;
        std::string list;  // hex of the 8 x (count + 1) bytes written
    } cases[] = {
        {"VZ, RVZ of both sides; KZP left out", "10.0.0.5",
         "0000000400000000"
         "0001020000000000"    // VZ, active
         "0003020000000000"    // RVZ from this array
         "0005040000000000"    // VZ, suspended
         "000C020000000000"},  // RVZ into this array: the partner identifier
        {"KZP sessions only", "10.0.0.7", "0000000000000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        unsigned char list[256];
        std::memset(list, 0xAA, sizeof list);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ZRKerrno = 0;
        ASSERT_EQ(0, ZRKIPStatusListVZ(c.ip, nullptr, 0, list, sense)) << ZRKerrno;
        const size_t written = c.list.size() / 2;
        EXPECT_EQ(c.list, Hex(list, written));
        EXPECT_EQ(std::string(sizeof list - written, '\xAA'),
                  std::string(reinterpret_cast<char *>(list) + written, sizeof list - written));
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'),
                  std::string(reinterpret_cast<char *>(sense), sizeof sense));
        const std::vector<std::string> sent = iptest::LanSessionCommands(sim);
        EXPECT_EQ(std::vector<std::string>{"show copy-sessions  -mode 128"}, sent);
    }
}

// Both roads give the same entries for the same sessions. The header
// differs: in-band it carries bytes 10-11 of the array's status page,
// out-of-band the number of entries.
TEST_F(IpStatusListSim, SameEntriesAsTheInBandRoad) {
    // Both areas have room for every entry a list can hold: the in-band
    // list copies as many entries as the array's status page announces.
    std::vector<unsigned char> lan(8 + 8 * 65535, 0), inband(8 + 8 * 65535, 0);
    unsigned char sense[ZRK_SENSE_LEN];
    ASSERT_EQ(0, ZRKIPStatusListVZ("10.0.0.5", nullptr, 0, lan.data(), sense)) << ZRKerrno;
    ASSERT_EQ(0, ZRKStatusListVZ("/dev/sdb", 0, inband.data(), sense)) << ZRKerrno;
    EXPECT_EQ("0000000400000000", Hex(lan.data(), 8));
    EXPECT_EQ(Hex(inband.data() + 8, 256 - 8), Hex(lan.data() + 8, 256 - 8));
    EXPECT_TRUE(std::equal(inband.begin() + 8, inband.end(), lan.begin() + 8));
}

TEST_F(IpStatusListSim, Refusals) {
    struct Case {
        const char *what;
        const char *ip;
        uint32_t option;
        int error;
        bool asked;  // the session list was asked for
    } cases[] = {
        {"an option bit", "10.0.0.5", 1, 37, false},
        {"no VZ status list", "10.0.0.21", 0, 17, false},
        {"more sessions than the array's maximum", "10.0.0.22", 0, 902, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        unsigned char list[64];
        std::memset(list, 0xAA, sizeof list);
        EXPECT_EQ(-1, ZRKIPStatusListVZ(c.ip, nullptr, c.option, list, nullptr));
        EXPECT_EQ(c.error, ZRKerrno);
        EXPECT_EQ(std::string(sizeof list, '\xAA'),
                  std::string(reinterpret_cast<char *>(list), sizeof list));
        EXPECT_EQ(c.asked ? 1u : 0u, iptest::LanSessionCommands(sim).size());
    }
    EXPECT_EQ(-1, ZRKIPStatusListVZ("10.0.0.5", nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(13, ZRKerrno);
}

TEST_F(IpStatusListSim, TraceLinesAndRootOnly) {
    unsigned char list[64];
    ASSERT_EQ(0, ZRKIPStatusListVZ("10.0.0.7", nullptr, 0, list, nullptr)) << ZRKerrno;
    const std::string trace = root.traceText();
    for (const char *line : {
             "INFO : ZRKIPStatusListVZ : cpIPaddress=[10.0.0.7] OptionFlag=0x00",
             "INFO : IPCommandStatusList : START",
             "INFO : IPCommandStatusList : END(ret=0, ZRKerrno=0)",
             "INFO : ZRKIPStatusListVZ : END(ret=0, ZRKerrno=0)",
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
    iptest::LanSessionCommands(sim);
    const zrktest::ChildResult child = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 99;
        unsigned char area[64];
        return ZRKIPStatusListVZ("10.0.0.5", nullptr, 0, area, nullptr) == -1 && ZRKerrno == 34
                   ? 0
                   : 1;
    });
    EXPECT_EQ(0, child.exitCode) << child.err;
    EXPECT_TRUE(iptest::LanSessionCommands(sim).empty());
}

// ---- the list from the session rows ------------------------------------------------

CliCopySession Row(uint32_t id, uint8_t kind, uint8_t status) {
    CliCopySession row{};
    row.uiSessionID = id;
    row.ucSessionType = kind;
    row.ucSessionStatus = status;
    return row;
}

TEST(IpStatusList, EntriesFromTheirColumns) {
    std::vector<CliCopySession> rows = {Row(0x12345, 2, 2), Row(7, 1, 2), Row(8, 2, 4),
                                        Row(9, 3, 2), Row(10, 2, 3), Row(11, 2, 2)};
    rows[0].ucColumn9 = 0x5A;
    rows[0].uiColumn24 = 0x01020304;
    // Remote and known here by the second identifier; remote only; the
    // second-identifier bit of a local row.
    rows[2].ucAttr = ZRK_IPATTR_REMOTE;
    rows[2].ucAttr2 = IP_SESSION_ATTR2_SECOND_ID;
    rows[2].uiSessionID2 = 0x88;
    rows[4].ucAttr = ZRK_IPATTR_REMOTE;
    rows[4].uiSessionID2 = 0x99;
    rows[5].ucAttr2 = IP_SESSION_ATTR2_SECOND_ID;
    rows[5].uiSessionID2 = 0x77;
    unsigned char out[8 * 6];
    std::memset(out, 0xAA, sizeof out);
    ASSERT_EQ(0, zrkip::BuildStatusList(rows.data(), rows.size(), out, 4));
    EXPECT_EQ("0000000400000000"
              "2345025A01020304"
              "0088040000000000"
              "000A030000000000"
              "000B020000000000"
              "AAAAAAAAAAAAAAAA",
              Hex(out, sizeof out));
}

TEST(IpStatusList, BoundedByItsRoom) {
    struct Case {
        const char *what;
        size_t vzRows;
        size_t room;
        int ret;
    } cases[] = {
        {"fills its room", 3, 3, 0},
        {"one more than its room", 4, 3, -1},
        {"the largest count", 65535, 70000, 0},
        {"beyond the 16-bit count", 65536, 70000, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<CliCopySession> rows(c.vzRows, Row(1, 2, 2));
        rows.push_back(Row(2, 1, 2));  // a KZP row takes no room
        std::vector<unsigned char> out(8 + 8 * c.room + 8, 0xAA);
        ZRKerrno = 0;
        EXPECT_EQ(c.ret, zrkip::BuildStatusList(rows.data(), rows.size(), out.data(), c.room));
        if (c.ret != 0) {
            EXPECT_EQ(902, ZRKerrno);
            EXPECT_EQ(std::vector<unsigned char>(out.size(), 0xAA), out);
            continue;
        }
        EXPECT_EQ(c.vzRows, (static_cast<size_t>(out[2]) << 8) | out[3]);
        EXPECT_EQ(0xAA, out[8 + 8 * c.vzRows]);
    }
}

}  // namespace
