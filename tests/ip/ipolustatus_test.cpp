// The status of logical units over the LAN against the simulator: the
// records of one volume and of a range equal, byte for byte, what the
// in-band twins read from the same array (snap data volumes with their
// sizes, initialising, protected, failover); the copy protection set,
// retried through the tier-volume command, and refused; and, from a
// scripted service, the replies the array model does not give.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

#include "../../ip/ipframe.h"
#include "../../ip/iplink.h"
#include "../../ip/ipolustatus.h"
#include "child.h"
#include "ipaction_service.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "sim_client.h"
#include "zrkapi.h"

namespace {

constexpr char kArray[] = "10.0.0.5";     // OLU status offered, no failover
constexpr char kPlain[] = "10.0.0.6";     // no OLU status functions
constexpr char kCluster[] = "10.0.0.7";   // failover offered, primary of group 3
constexpr char kDisk[] = "/dev/sdb";      // reaches A1 in-band
constexpr char kClusterDisk[] = "/dev/sdc";
constexpr size_t kRecord = ZRK_OLU_STATUS_LEN;
constexpr size_t kGuard = 64;

// A1: every volume kind the records tell apart. Volume 2 holds the saved
// blocks of a snapshot (more than it has room for: the rest lies in the
// pool); 3 is being initialised, 9 busy otherwise, 11 ready; 4 is
// protected; 5 a snap data pool volume; 6 a tier volume; 7 on the
// secondary side of a storage cluster (the array offers no failover, so
// the records do not say so); 8 is larger than 2^32 blocks.
std::string Scenario() {
    return "array A1 boxid=\"BOXA1\" address=10.0.0.5 sdvinit=60 support=" +
           iptest::SupportHex({{4, 0x2F}}) +
           "\n"
           "array P1 boxid=\"BOXP1\" address=10.0.0.6\n"
           "array F1 boxid=\"BOXF1\" address=10.0.0.7 partner=P1 role=1 group=3 support=" +
           iptest::SupportHex({{4, 0x2F}, {6, 0x20}, {22, 0x20}, {30, 0x30}}) +
           "\n"
           "user admin secret\n"
           "volume A1 1 4096\n"
           "volume A1 2 4096 type=sdv\n"
           "volume A1 3 4096 type=sdv sdvstatus=0x40000000\n"
           "volume A1 4 8192 protection=yes\n"
           "volume A1 5 4096 type=sdpv\n"
           "volume A1 6 4096 type=tpv tier=yes\n"
           "volume A1 7 4096 role=2 group=1\n"
           "volume A1 8 8589934592\n"
           "volume A1 9 4096 type=sdv sdvstatus=0x60000000\n"
           "volume A1 11 4096 type=sdv\n"
           "volume A1 300 2048\n"
           "volume P1 1 4096\n"
           "volume F1 1 4096\n"
           "volume F1 2 4096 role=0\n"
           "session 1 snapkzp A1 1 A1 2 copied=5000\n"
           "disk /dev/sdb 8:16 A1 1\n"
           "disk /dev/sdc 8:32 F1 2\n";
}

uint32_t Be32(const unsigned char *p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint64_t Be64(const unsigned char *p) { return uint64_t{Be32(p)} << 32 | Be32(p + 4); }

bool StartsWith(const std::string &text, const std::string &head) {
    return text.rfind(head, 0) == 0;
}

class IpOluStatusSim : public iptest::LanSimTest {
protected:
    IpOluStatusSim() : LanSimTest(Scenario(), {kArray, kPlain, kCluster}) {}
    void SetUp() override {
        LanSimTest::SetUp();
        if (HasFatalFailure()) return;
        Refresh(kArray);
    }

    // An out-of-band call that leaves the array's copy functions in the
    // common data, as the OLU status functions read them.
    void Refresh(const char *ip) {
        char box[ZRK_BOXID_LEN];
        uint32_t olu = 0, eh = 0, el = 0, sh = 0, sl = 0;
        VOL_INFO info;
        ASSERT_EQ(1, ZRKIPGetVolumeInfo(ip, nullptr, 0, 0, box, &olu, &eh, &el, &sh, &sl, &info,
                                        nullptr))
            << ZRKerrno;
        sim.commandOk("clearlanlog");
    }

    // The commands the arrays received since the last call.
    std::vector<std::string> Commands() const { return iptest::LanCommands(sim); }

    // A list area with guard bytes after the room the range needs.
    static std::vector<unsigned char> ListArea(uint32_t start, uint32_t end) {
        return std::vector<unsigned char>(ZRK_OLU_STATUS_LIST_LEN(size_t{start}, size_t{end}) + kGuard,
                                          0xEE);
    }

    std::vector<unsigned char> InBandList(const char *disk, uint32_t start, uint32_t end) {
        std::vector<unsigned char> area = ListArea(start, end);
        unsigned char sense[ZRK_SENSE_LEN];
        EXPECT_EQ(0, ZRKGetOLUStatusList(disk, start, end, area.data(), sense)) << ZRKerrno;
        return area;
    }

    std::vector<unsigned char> LanList(const char *ip, uint32_t start, uint32_t end) {
        std::vector<unsigned char> area = ListArea(start, end);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        EXPECT_EQ(0, ZRKIPGetOLUStatusList(ip, nullptr, start, end, area.data(), sense))
            << ZRKerrno;
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'), std::string(reinterpret_cast<char *>(sense),
                                                                 sizeof sense));
        return area;
    }

    // One volume's record over the LAN (with guard bytes).
    std::vector<unsigned char> LanRecord(uint32_t olu, const char *ip = kArray) {
        std::vector<unsigned char> record(kRecord + kGuard, 0xEE);
        EXPECT_EQ(0, ZRKIPGetOLUStatus(ip, nullptr, olu, record.data(), nullptr)) << ZRKerrno;
        return record;
    }

    // The same in-band (page 0x31 through the disk).
    std::vector<unsigned char> InBandRecord(uint32_t olu) {
        std::vector<unsigned char> record(kRecord + kGuard, 0xEE);
        EXPECT_EQ(0, ZRKGetOLUStatus(kDisk, olu, record.data(), nullptr)) << ZRKerrno;
        return record;
    }

    // The reply the array gives to a command, as the service hands it on.
    std::string ReplyOf(const char *command, const char *ip = kArray) const {
        char *reply = nullptr;
        EXPECT_EQ(0, IPExecVastrelCLI(ip, nullptr, 0, command, &reply)) << command;
        const std::string text = reply != nullptr ? reply : "";
        std::free(reply);
        return text;
    }
};

// ---- the records ---------------------------------------------------------------------------

// Every range gives the in-band list byte for byte, guard bytes included,
// with one "show volumes", at most one "show snap-data-volume" and nothing
// else.
TEST_F(IpOluStatusSim, ListsEqualTheInBandLists) {
    struct Case {
        const char *what;
        uint32_t start, end;
        uint32_t count;      // entries
        bool snapQuestion;   // "show snap-data-volume" is asked
    } const cases[] = {
        {"every volume", 0, 0xFFFF, 11, true},
        {"two snap data volumes", 2, 3, 2, true},
        {"one open volume", 4, 4, 1, false},
        {"from the first to the tier volume", 1, 6, 6, true},
        {"no volume in the range", 12, 299, 0, false},
        {"beyond the last volume", 301, 0xFFFF, 0, false},
        {"the last number", 0xFFFF, 0xFFFF, 0, false},
        {"the largest volume", 8, 8, 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> inBand = InBandList(kDisk, c.start, c.end);
        sim.commandOk("clearlanlog");
        const std::vector<unsigned char> lan = LanList(kArray, c.start, c.end);
        EXPECT_EQ(c.count, Be32(lan.data()));
        EXPECT_EQ(0u, Be32(lan.data() + 4));
        EXPECT_EQ(inBand, lan);
        std::vector<std::string> expected = {"show volumes  "};
        if (c.snapQuestion) expected.push_back("show snap-data-volume ");
        EXPECT_EQ(expected, Commands());
    }
}

TEST_F(IpOluStatusSim, SingleRecordsEqualTheInBandRecords) {
    for (uint32_t olu : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 11u, 300u}) {
        SCOPED_TRACE(olu);
        const std::vector<unsigned char> inBand = InBandRecord(olu);
        sim.commandOk("clearlanlog");
        EXPECT_EQ(inBand, LanRecord(olu));
        std::vector<std::string> expected = {"show volumes -volume-number " + std::to_string(olu) +
                                             " "};
        if (olu == 2 || olu == 3 || olu == 9 || olu == 11) {
            expected.push_back("show snap-data-volume -volume-number " + std::to_string(olu));
        }
        EXPECT_EQ(expected, Commands());
    }
}

// What the records say, field by field.
TEST_F(IpOluStatusSim, RecordFields) {
    struct Case {
        uint32_t olu;
        uint32_t flag;
        uint64_t sizes[6];
    } const cases[] = {
        {1, 0, {4096, 4096, 0, 0, 0, 0}},
        {2, IP_OLU_SDV, {4096, 4096, 0, 4096, 0, 5000 - 4096}},
        {3, IP_OLU_SDV | IP_OLU_INITIALIZING, {4096, 4096, 0, 0, 0, 0}},
        {4, IP_OLU_PROTECTED, {8192, 8192, 0, 0, 0, 0}},
        {7, 0, {4096, 4096, 0, 0, 0, 0}},
        {8, 0, {8589934592ull, 8589934592ull, 0, 0, 0, 0}},
        // Another busy state than exactly the initialisation.
        {9, IP_OLU_SDV, {4096, 4096, 0, 0, 0, 0}},
        {300, 0, {2048, 2048, 0, 0, 0, 0}},
    };
    const std::vector<unsigned char> list = LanList(kArray, 0, 0xFFFF);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.olu);
        const std::vector<unsigned char> record = LanRecord(c.olu);
        EXPECT_EQ(c.olu, uint32_t{record[0]} << 8 | record[1]);
        EXPECT_EQ(0, record[2]);
        EXPECT_EQ(0, record[3]);
        EXPECT_EQ(c.flag, Be32(record.data() + 4));
        for (size_t i = 0; i < 6; ++i) EXPECT_EQ(c.sizes[i], Be64(record.data() + 8 + 8 * i)) << i;
        for (size_t i = kRecord; i < record.size(); ++i) ASSERT_EQ(0xEE, record[i]) << i;
        // The list holds the same record.
        bool found = false;
        for (uint32_t e = 0; e < Be32(list.data()); ++e) {
            const unsigned char *entry = list.data() + 8 + e * kRecord;
            if ((uint32_t{entry[0]} << 8 | entry[1]) != c.olu) continue;
            found = true;
            EXPECT_EQ(0, std::memcmp(entry, record.data(), kRecord));
        }
        EXPECT_TRUE(found);
    }
}

// An initialisation started over the LAN shows in both roads until the
// array's clock ends it.
TEST_F(IpOluStatusSim, InitialisationOnTheClock) {
    ASSERT_EQ(0, ZRKIPSnapDataVolInit(kArray, nullptr, 11, nullptr)) << ZRKerrno;
    auto flagOf = [&](uint32_t olu) { return Be32(LanRecord(olu).data() + 4); };
    EXPECT_EQ(IP_OLU_SDV | IP_OLU_INITIALIZING, flagOf(11));
    EXPECT_EQ(InBandRecord(11), LanRecord(11));
    EXPECT_EQ(InBandList(kDisk, 0, 0xFFFF), LanList(kArray, 0, 0xFFFF));
    sim.advanceClock(60);
    EXPECT_EQ(IP_OLU_SDV, flagOf(11));
    EXPECT_EQ(InBandRecord(11), LanRecord(11));
}

// ---- the copy protection ----------------------------------------------------------------------

TEST_F(IpOluStatusSim, SetProtection) {
    const std::string on = "-copy-protection enable ";
    const std::string off = "-copy-protection disable ";
    struct Case {
        const char *what;
        uint32_t olu;
        unsigned char status[2];
        int ret, error;
        std::vector<std::string> sent;
        int protectedAfter;  // -1: not looked at
    } const cases[] = {
        {"protect an open volume", 1, {1, 0}, 0, 0, {"set volume -volume-number 1 " + on}, 1},
        {"remove it again", 1, {0, 0}, 0, 0, {"set volume -volume-number 1 " + off}, 0},
        {"remove a protection set before", 4, {0, 0}, 0, 0, {"set volume -volume-number 4 " + off}, 0},
        {"a tier volume takes the tier-volume command", 6, {1, 0}, 0, 0,
         {"set volume -volume-number 6 " + on, "set morvic-tier-volume -volume-number 6 " + on}, 1},
        {"protect a snap data volume", 2, {1, 0}, -1, ZRK_ERR_SDV_PROTECT,
         {"set volume -volume-number 2 " + on, "show volumes -volume-number 2 "}, 0},
        {"remove from a snap data volume: nothing to remove", 2, {0, 0}, 0, 0,
         {"set volume -volume-number 2 " + off, "show volumes -volume-number 2 "}, 0},
        {"the storage cluster's secondary side", 7, {1, 0}, -1, ZRK_ERR_PROTECT_REPORTED,
         {"set volume -volume-number 7 " + on}, 0},
        {"no such volume", 10, {1, 0}, -1, ZRK_ERR_OLU,
         {"set volume -volume-number 10 " + on, "show volumes -volume-number 10 "}, -1},
        {"remove from a snap data volume being initialised", 3, {0, 0}, 0, 0,
         {"set volume -volume-number 3 " + off, "show volumes -volume-number 3 "}, 0},
        {"the largest number", 0xFFFF, {0, 0}, -1, ZRK_ERR_OLU,
         {"set volume -volume-number 65535 " + off, "show volumes -volume-number 65535 "}, -1},
        {"a forbidden bit", 1, {3, 0}, -1, ZRK_ERR_PARAMETER, {}, -1},
        {"a second byte", 1, {0, 1}, -1, ZRK_ERR_PARAMETER, {}, -1},
        {"beyond 16 bits", 0x10000, {1, 0}, -1, ZRK_ERR_OLU, {}, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ZRKerrno = 0;
        EXPECT_EQ(c.ret, ZRKIPSetOLUStatus(kArray, nullptr, c.olu, c.status, sense));
        // A success leaves the number of a refusal it got past.
        if (c.ret != 0) {
            EXPECT_EQ(c.error, ZRKerrno) << std::hex << ZRKerrno;
        }
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'),
                  std::string(reinterpret_cast<char *>(sense), sizeof sense));
        EXPECT_EQ(c.sent, Commands());
        if (c.protectedAfter >= 0) {
            const uint32_t flag = Be32(LanRecord(c.olu).data() + 4);
            EXPECT_EQ(c.protectedAfter == 1, (flag & IP_OLU_PROTECTED) != 0);
            EXPECT_EQ(InBandRecord(c.olu), LanRecord(c.olu));
            Commands();
        }
    }
    EXPECT_EQ(-1, ZRKIPSetOLUStatus(kArray, nullptr, 1, nullptr, nullptr));
    EXPECT_EQ(ZRK_ERR_PARAMETER, ZRKerrno);
    EXPECT_TRUE(Commands().empty());
}

// The array's refusal 0xBF0E is mapped by the shipped catalogue to 0x1BF0E,
// which the setting reports as 0x2BF0E, with the catalogue's text.
TEST_F(IpOluStatusSim, RefusedProtectionText) {
    const unsigned char on[2] = {1, 0};
    EXPECT_EQ(-1, ZRKIPSetOLUStatus(kArray, nullptr, 7, on, nullptr));
    EXPECT_EQ(0x2BF0E, ZRKerrno);
    EXPECT_TRUE(StartsWith(ZRKstrerror(0x2BF0E),
                           "Failed to set the copy protection of the logical volume."));
    EXPECT_NE(std::string::npos,
              root.traceText().find("IPSetOLUStatus : END(ret=-1, ZRKerrno=179982)"));
}

// What the array offers comes from the copy functions that the last
// refreshing call left; the setting sends nothing without the function.
TEST_F(IpOluStatusSim, SettingNeedsTheFunction) {
    const unsigned char on[2] = {1, 0};
    Refresh(kPlain);
    EXPECT_EQ(-1, ZRKIPSetOLUStatus(kPlain, nullptr, 1, on, nullptr));
    EXPECT_EQ(ZRK_ERR_NOT_SUPPORT, ZRKerrno);
    EXPECT_TRUE(Commands().empty());
    // No earlier call in the process: nothing is offered.
    IPCtrlCommonData(IP_COMMON_FUNCS_CLEAR, nullptr);
    EXPECT_EQ(-1, ZRKIPSetOLUStatus(kArray, nullptr, 1, on, nullptr));
    EXPECT_EQ(ZRK_ERR_NOT_SUPPORT, ZRKerrno);
    EXPECT_TRUE(Commands().empty());
    Refresh(kArray);
    EXPECT_EQ(0, ZRKIPSetOLUStatus(kArray, nullptr, 1, on, nullptr)) << ZRKerrno;
}

// ---- failover ------------------------------------------------------------------------------

// On an array with failover, a volume in a failover group carries its group
// number and the group's role and state, as in-band; the list asks for all
// groups once, a single volume for its own group alone.
TEST_F(IpOluStatusSim, FailoverVolumes) {
    Refresh(kCluster);
    const std::vector<unsigned char> inBand = InBandList(kClusterDisk, 0, 0xFFFF);
    ASSERT_EQ(2u, Be32(inBand.data()));
    const std::vector<unsigned char> &grouped = inBand;
    EXPECT_EQ(3, grouped[8 + 3]);
    EXPECT_EQ(IP_OLU_TFO, Be32(grouped.data() + 8 + 4));

    Commands();
    EXPECT_EQ(inBand, LanList(kCluster, 0, 0xFFFF));
    EXPECT_EQ((std::vector<std::string>{"show volumes  ", "show tfo-groups "}), Commands());

    std::vector<unsigned char> record(kRecord, 0xEE);
    ASSERT_EQ(0, ZRKIPGetOLUStatus(kCluster, nullptr, 1, record.data(), nullptr)) << ZRKerrno;
    EXPECT_TRUE(std::equal(record.begin(), record.end(), inBand.begin() + 8));
    const std::vector<std::string> single = Commands();
    ASSERT_FALSE(single.empty());
    EXPECT_EQ("show tfo-groups -tfog-number 3", single.back());

    // The secondary side on standby: both roads say so alike.
    sim.setRole("F1", 2, 3, 1);
    const std::vector<unsigned char> secondary = InBandList(kClusterDisk, 1, 1);
    EXPECT_EQ(IP_OLU_TFO | IP_OLU_TFO_SECONDARY | IP_OLU_TFO_STANDBY, Be32(secondary.data() + 8 + 4));
    EXPECT_EQ(secondary, LanList(kCluster, 1, 1));

    // The same volumes described from the common data of an array without
    // failover: the group number is ignored.
    Refresh(kArray);
    const std::vector<unsigned char> withoutGroups = LanList(kCluster, 1, 1);
    EXPECT_EQ(0, withoutGroups[8 + 3]);
    EXPECT_EQ(0u, Be32(withoutGroups.data() + 8 + 4));
}

// ---- refusals of the arguments ---------------------------------------------------------------

TEST_F(IpOluStatusSim, ArgumentRefusals) {
    std::vector<unsigned char> area = ListArea(0, 1);
    std::vector<unsigned char> record(kRecord, 0xEE);
    struct Case {
        const char *what;
        std::function<int()> call;
        int error;
    } const cases[] = {
        {"list: start beyond 16 bits",
         [&] { return ZRKIPGetOLUStatusList(kArray, nullptr, 0x10000, 0x10000, area.data(), nullptr); },
         ZRK_ERR_OLU},
        {"list: end beyond 16 bits",
         [&] { return ZRKIPGetOLUStatusList(kArray, nullptr, 0, 0x10000, area.data(), nullptr); },
         ZRK_ERR_OLU},
        {"list: start above end",
         [&] { return ZRKIPGetOLUStatusList(kArray, nullptr, 2, 1, area.data(), nullptr); },
         ZRK_ERR_PARAMETER},
        {"list: no area", [&] { return ZRKIPGetOLUStatusList(kArray, nullptr, 0, 1, nullptr, nullptr); },
         ZRK_ERR_PARAMETER},
        {"one: beyond 16 bits",
         [&] { return ZRKIPGetOLUStatus(kArray, nullptr, 0x10000, record.data(), nullptr); }, ZRK_ERR_OLU},
        {"one: no record", [&] { return ZRKIPGetOLUStatus(kArray, nullptr, 1, nullptr, nullptr); },
         ZRK_ERR_PARAMETER},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        EXPECT_EQ(-1, c.call()) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        EXPECT_TRUE(Commands().empty()) << c.what;
    }
    // A volume the array lacks: looked up, and the record left alone.
    EXPECT_EQ(-1, ZRKIPGetOLUStatus(kArray, nullptr, 10, record.data(), nullptr));
    EXPECT_EQ(ZRK_ERR_OLU, ZRKerrno);
    EXPECT_EQ(std::vector<std::string>{"show volumes -volume-number 10 "}, Commands());
    EXPECT_EQ(std::vector<unsigned char>(area.size(), 0xEE), area);
    EXPECT_EQ(std::vector<unsigned char>(kRecord, 0xEE), record);
}

TEST_F(IpOluStatusSim, RootOnly) {
    const zrktest::ChildResult child = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 99;
        unsigned char record[kRecord];
        std::vector<unsigned char> area(ZRK_OLU_STATUS_LIST_LEN(0, 1), 0);
        const unsigned char on[2] = {1, 0};
        int bad = 0;
        if (ZRKIPGetOLUStatus(kArray, nullptr, 1, record, nullptr) != -1 || ZRKerrno != 34) ++bad;
        if (ZRKIPGetOLUStatusList(kArray, nullptr, 0, 1, area.data(), nullptr) != -1 ||
            ZRKerrno != 34) {
            ++bad;
        }
        if (ZRKIPSetOLUStatus(kArray, nullptr, 1, on, nullptr) != -1 || ZRKerrno != 34) ++bad;
        return bad;
    });
    EXPECT_EQ(0, child.exitCode) << child.err;
    EXPECT_TRUE(Commands().empty());
}

TEST_F(IpOluStatusSim, CallsAreTraced) {
    std::vector<unsigned char> area = ListArea(2, 3);
    ASSERT_EQ(0, ZRKIPGetOLUStatusList(kArray, nullptr, 2, 3, area.data(), nullptr));
    unsigned char record[kRecord];
    ASSERT_EQ(0, ZRKIPGetOLUStatus(kArray, nullptr, 4, record, nullptr));
    const unsigned char on[2] = {1, 0};
    ASSERT_EQ(-1, ZRKIPSetOLUStatus(kArray, nullptr, 2, on, nullptr));
    const std::string trace = root.traceText();
    for (const char *line : {
             "ZRKIPGetOLUStatusList : START",
             "ZRKIPGetOLUStatusList : cpIPaddress=[10.0.0.5] StartOlu=0x02 EndOlu=0x03",
             "IPGetOLUStatusList : cpIPaddress=[10.0.0.5] StartOlu=0x02 EndOlu=0x03",
             "ZRKIPGetOLUStatusList : END(ret=0, ZRKerrno=0)",
             "ZRKIPGetOLUStatus : cpIPaddress=[10.0.0.5] Olu=0x04",
             "IPGetOLUStatus : cpIPaddress=[10.0.0.5] Olu=0x04",
             "ZRKIPGetOLUStatus : END(ret=0, ZRKerrno=0)",
             "ZRKIPSetOLUStatus : cpIPaddress=[10.0.0.5] Olu=0x02",
             "IPSetOLUStatus : END(ret=-1, ZRKerrno=71)",
             "ZRKIPSetOLUStatus : END(ret=-1, ZRKerrno=71)",
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

// ---- replies the array model does not give ------------------------------------------------------

// From a scripted service: the array's own replies, cut and changed.
TEST_F(IpOluStatusSim, ScriptedReplies) {
    const std::string volumes = ReplyOf("show volumes  ");
    const std::string one = ReplyOf("show volumes -volume-number 2 ");
    const std::string sdv = ReplyOf("show snap-data-volume -volume-number 2");
    ASSERT_TRUE(StartsWith(one, "00\n1\n")) << one;
    ASSERT_TRUE(StartsWith(sdv, "00\n1\n")) << sdv;
    const std::string oneRow = one.substr(5);
    const std::string sdvRow = sdv.substr(5);
    // Volume 1's row with another type in column 3.
    auto ofType = [&](const std::string &row, const char *type, const char *number) {
        std::vector<std::string> cols;
        size_t at = 0;
        for (;;) {
            const size_t tab = row.find('\t', at);
            cols.push_back(row.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        cols[0] = number;
        cols[3] = type;
        std::string joined;
        for (size_t i = 0; i < cols.size(); ++i) joined += (i ? "\t" : "") + cols[i];
        return joined;
    };
    const std::string openRow = ofType(oneRow, "1", "1");
    const std::string hidden8 = ofType(oneRow, "8", "A");
    const std::string hidden12 = ofType(oneRow, "C", "B");

    struct Case {
        const char *what;
        bool list;       // the list of 0..0xFFFF, else volume `olu`
        uint32_t olu;
        std::vector<std::string> replies;  // after the capability questions
        int ret, error;
        uint32_t count;  // entries of a successful list
        const char *traceLine;
    } const cases[] = {
        {"types 8 and 12 are left out of the list", true, 0,
         {"00\n3\n" + openRow + hidden8 + hidden12}, 0, 0, 1, nullptr},
        {"but reported alone", false, 10, {"00\n1\n" + hidden8}, 0, 0, 0, nullptr},
        {"an array without volumes", true, 0, {"00\n0\n"}, 0, 0, 0, nullptr},
        {"two rows for one number", false, 2, {"00\n2\n" + oneRow + oneRow}, -1, 904, 0,
         " uiVolCnt is not 1 "},
        {"a row of another number", false, 3, {one}, -1, 904, 0, " is not the volume asked "},
        {"no snap data volume row", false, 2, {one, "00\n0\n"}, -1, 904, 0,
         " uiVolCnt_snap is not 1 "},
        {"two snap data volume rows", false, 2, {one, "00\n2\n" + sdvRow + sdvRow}, -1, 904, 0,
         " uiVolCnt_snap is not 1 "},
        {"list: no snap data volume at all", true, 0, {volumes, "00\n0\n"}, -1, 904, 0,
         " uiVolCnt_snap is 0 "},
        {"list: the volume's row missing", true, 0, {volumes, sdv}, -1, 904, 0,
         " tpSdvList_one is NULL "},
        {"list: the volume list refused", true, 0, {"01\n5301\nbusy\n"}, -1, 0x15301, 0, nullptr},
        {"list: the snap data volumes refused", true, 0, {volumes, "01\n5306\nx\n"}, -1, 0x15306, 0,
         nullptr},
        {"list: more rows announced than sent", true, 0, {"00\n3\n" + openRow}, -1, 902, 0, nullptr},
    };
    int address = 50;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        iptest::FakeService service;
        service.configure(root);
        const std::string ip = "10.0.0." + std::to_string(++address);
        for (const std::string &r : c.replies) service.reply(r);
        std::vector<unsigned char> area = ListArea(0, 0xFFFF);
        std::vector<unsigned char> record(kRecord, 0xEE);
        const int rc = c.list ? ZRKIPGetOLUStatusList(ip.c_str(), nullptr, 0, 0xFFFF, area.data(),
                                                      nullptr)
                              : ZRKIPGetOLUStatus(ip.c_str(), nullptr, c.olu, record.data(), nullptr);
        EXPECT_EQ(c.ret, rc);
        if (c.ret != 0) {
            EXPECT_EQ(c.error, ZRKerrno) << std::hex << ZRKerrno;
        }
        EXPECT_EQ(c.replies.size(), service.commands().size());
        if (c.list) {
            EXPECT_EQ(c.count, Be32(area.data()));
            EXPECT_EQ(0u, Be32(area.data() + 4));
            if (c.ret == 0 && c.count == 1) {
                EXPECT_EQ(1, area[8 + 1]);
            }
            EXPECT_EQ(0xEE, area[8 + kRecord * c.count]);
        } else if (c.ret == 0) {
            EXPECT_EQ(0u, Be32(record.data() + 4));
        } else {
            EXPECT_EQ(std::vector<unsigned char>(kRecord, 0xEE), record);
        }
        if (c.traceLine != nullptr) {
            EXPECT_NE(std::string::npos, root.traceText().find(c.traceLine));
        }
    }
}

// Refused settings from a scripted service: the array's code is kept for
// any volume but a snap data volume, a refused retry through the
// tier-volume command is explained the same way, and a failure of the link
// itself ends the setting without a lookup. The common data is the
// simulated array's, which offers the setting.
TEST_F(IpOluStatusSim, ScriptedSettings) {
    const std::string one = ReplyOf("show volumes -volume-number 1 ");
    const std::string sdv = ReplyOf("show volumes -volume-number 2 ");
    ASSERT_TRUE(StartsWith(one, "00\n1\n")) << one;
    const std::string oneRow = one.substr(5);
    struct Case {
        const char *what;
        std::vector<std::string> replies;
        int error;
        uint32_t olu = 1;
    } const cases[] = {
        {"an open volume keeps the array's code", {"01\n5301\nbusy\n", one}, 0x15301},
        {"the tier command refused too", {"01\n0007\ntier\n", "01\n5302\nx\n", one}, 0x15302},
        {"the tier command refused with 0xBF0E: not renamed",
         {"01\n0007\ntier\n", "01\nBF0E\nx\n", one}, 0x1BF0E},
        {"the tier command never answered", {"01\n0007\ntier\n", "ERROR: gone"}, ZRK_ERR_RECEIVE},
        {"the link fails at once", {"ERROR: gone"}, ZRK_ERR_RECEIVE},
        {"the lookup refused", {"01\n5301\nbusy\n", "01\n5306\nx\n"}, 0x15306},
        {"the volume is gone", {"01\n5300\nx\n", "00\n0\n"}, ZRK_ERR_OLU},
        {"two rows for it", {"01\n5300\nx\n", "00\n2\n" + oneRow + oneRow}, ZRK_ERR_REPLY},
        {"a snap data volume after a tier refusal", {"01\n0007\ntier\n", "01\n5300\nx\n", sdv},
         ZRK_ERR_SDV_PROTECT, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        iptest::FakeService service;
        service.configure(root);
        for (const std::string &r : c.replies) service.reply(r);
        const unsigned char on[2] = {1, 0};
        EXPECT_EQ(-1, ZRKIPSetOLUStatus("10.0.0.90", nullptr, c.olu, on, nullptr));
        EXPECT_EQ(c.error, ZRKerrno) << std::hex << ZRKerrno;
        EXPECT_EQ(c.replies.size(), service.commands().size());
    }
}

}  // namespace
