// The session detail list over the LAN against the in-band detail list of
// the same arrays: the simulator's LAN front and its SCSI target share one
// model, so each form is compared entry for entry with what ZRKGetDetailList
// reads through a disk of the same array. Also the row conversions, the
// option checks, the capabilities and the bound of the caller's area.
#include "../../ip/ipdetail.h"
#include "../../ip/ipframe.h"
#include "../../ip/ipshow_array.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"
#include "zrklist.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using iptest::SupportHex;

constexpr size_t kArea = 1024;  // entries of each list area

std::string Entry(const DETAIL_LIST_INFO &e) {
    return std::string(reinterpret_cast<const char *>(&e), sizeof e);
}

std::string Hex(const std::string &bytes) {
    return zrksim::toHex(std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

// ---- the conversions ---------------------------------------------------------------------

void SetDetailFlags(uint32_t flags) {
    CliCopyFunctions functions;
    std::memset(&functions, 0, sizeof functions);
    functions.uiDetailFlags = flags;
    IPCtrlCommonData(IP_COMMON_FUNCS_SET, &functions);
}

TEST(IpDetailConvert, CopySessionRow) {
    CliCopySession row;
    std::memset(&row, 0, sizeof row);
    row.uiSessionID = 0x12345;   // low 16 bits
    row.uiSessionID2 = 7;
    row.ucSessionType = 2;
    row.ucAttr2 = 0xFF;
    row.ucColumn5 = 3;
    row.ucPhase = 4;
    row.ucSessionStatus = 5;
    row.ucColumn8 = 6;
    row.ucColumn9 = 8;
    row.uiLapseTime = 0x01020304;
    std::memset(row.ucaSrcBoxID, 'S', sizeof row.ucaSrcBoxID);
    std::memset(row.ucaDstBoxID, 'D', sizeof row.ucaDstBoxID);
    row.uiSrcOLU = 0x0A0B0C0D;
    row.uiDstOLU = 9;
    row.uiExtentCnt = 1;
    row.ucErrorCode = 0x11;
    row.uiCopiedBlock_high = 1;
    row.uiCopiedBlock_low = 2;
    row.uiSrcExtAddr_high = 3;
    row.uiSrcExtAddr_low = 4;
    row.uiDstExtAddr_high = 5;
    row.uiDstExtAddr_low = 6;
    row.uiSize_high = 7;
    row.uiSize_low = 8;
    row.ucColumn22 = 0x22;
    row.ucColumn23 = 0x23;
    row.uiColumn24 = 0x24252627;
    const unsigned char time[8] = {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x45, 0};
    std::memcpy(row.ucaStartTime, time, 8);
    row.uiCopyProgress = 0x164;  // low byte
    row.ucColumn36 = 0x36;
    row.ucColumn38 = 0x38;
    row.ucColumn39 = 0x39;

    struct Case {
        const char *what;
        uint8_t attr;        // column 3 as the row holds it
        uint8_t support;     // column 37
        uint32_t flags;      // copy functions' detail flags
        uint8_t byte5;
        uint8_t byte143;
    };
    const Case cases[] = {
        {"secondary bit 0x02", 0x02, 0, 0, 0x01, 0x00},
        {"both secondary bits", 0xFB, 0, 0, 0xF9, 0x00},
        {"no secondary bit", 0xA4, 0, 0, 0xA0, 0x00},
        {"progress reported by the array", 0x00, 0, 1, 0x00, 0x01},
        {"progress flag of the row", 0x00, 0x06, 0, 0x00, 0x06},
        {"both", 0x00, 0x06, 3, 0x00, 0x07},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetDetailFlags(c.flags);
        row.ucAttr = c.attr;
        row.ucSupportInfo = c.support;
        DETAIL_LIST_INFO area[2];
        std::memset(area, 0xEE, sizeof area);
        IPConvCopySes2DetailList(&row, 1, area);
        const std::string expected =
            "23450007" "02" + Hex(std::string(1, static_cast<char>(c.byte5))) + "17" "03" "04" "05" "06" "08"
            "01020304" + Hex(std::string(40, 'S')) + Hex(std::string(40, 'D')) +
            "0a0b0c0d" "00000009" "0001" "11" "00"
            "00000001" "00000002" "00000003" "00000004" "00000007" "00000008" "00000005" "00000006"
            "22" "23" "64" + Hex(std::string(1, static_cast<char>(c.byte143))) + "36" "38" "39" "00"
            "24252627" "2024061512304500";
        EXPECT_EQ(Hex(Entry(area[0])), expected);
        // Nothing beyond the rows.
        EXPECT_EQ(Entry(area[1]), std::string(sizeof(DETAIL_LIST_INFO), '\xEE'));
    }
    SetDetailFlags(0);
}

TEST(IpDetailConvert, FailoverPairSides) {
    CliTfoPairDetail d;
    std::memset(&d, 0, sizeof d);
    d.uiOlu = 5;
    d.uiDetailFlag = 1;
    d.uiPartnerOlu = 7;
    d.uiSessionID = 0x10003;
    d.uiPartnerSessionID = 4;
    d.ucPhase = 2;
    d.ucStatus = 3;
    d.ucErrorCode = 1;
    d.uiElapsedTime = 0x2D;
    std::memset(d.ucaBoxID, 'H', sizeof d.ucaBoxID);
    std::memset(d.ucaPartnerBoxID, 'P', sizeof d.ucaPartnerBoxID);
    d.uiBlockCount_high = 1;
    d.uiBlockCount_low = 2;
    d.uiSrcSize_high = 3;
    d.uiSrcSize_low = 4;
    const unsigned char time[8] = {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x45, 0};
    std::memcpy(d.ucaStartTime, time, 8);
    d.uiProgress = 0x132;
    const std::string here = Hex(std::string(40, 'H'));
    const std::string partner = Hex(std::string(40, 'P'));
    struct Case {
        uint8_t flags;
        std::string boxes;  // source then destination
        const char *olus;
    };
    const Case cases[] = {
        {0x00, here + partner, "0000000500000007"},
        {0x07, here + partner, "0000000500000007"},
        {0x10, partner + here, "0000000700000005"},
        {0x17, partner + here, "0000000700000005"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.flags));
        d.ucFlags = c.flags;
        DETAIL_LIST_INFO e;
        std::memset(&e, 0xEE, sizeof e);
        IPConvTfoPair2Detail(&d, &e);
        const std::string expected = "00030004" "12" "20" "00" "00" "02" "03" "00" "00" "0000002d" +
                                     c.boxes + c.olus + "0000" "01" "00" "00000001" "00000002" +
                                     "0000000000000000" "00000003" "00000004" "0000000000000000" +
                                     "00" "00" "32" "00" "00" "00" "00" "00" "00000000" +
                                     "2024061512304500";
        EXPECT_EQ(Hex(Entry(e)), expected);
    }
}

// ---- against the simulator -------------------------------------------------------------------

// P and S form a storage cluster (group 3) and take part in every form: P
// holds sessions of each kind, two of virtual volumes and two failover
// mirrors onto S. Sessions start at the clock, so that the elapsed time that
// only the LAN reports is 0; sizes of virtual-volume sessions are whole
// units of 2048 blocks, as the virtual-volume list reports them. E is a
// cluster array without sessions, R an array with room for two sessions
// that holds three of each form, V an array without virtual volumes and
// without failover.
std::string Scenario() {
    const std::string full = SupportHex({{6, 0x20}, {22, 0x20}, {30, 0x30}});
    const std::string plain = SupportHex({{4, 0x0D}});
    std::string s =
        "clock 1718454645\n"
        "array P boxid=\"BOX-P\" address=10.0.0.5 partner=S role=1 group=3 remotes=S support=" +
        full +
        " maxsessions=16,64,16,64\n"
        "array S boxid=\"BOX-S\" address=10.0.0.6 partner=P role=2 group=3 remotes=P support=" +
        full +
        "\n"
        "array E boxid=\"BOX-E\" address=10.0.0.7 role=1 group=1 failover=yes support=" +
        full +
        "\n"
        "array R boxid=\"BOX-R\" address=10.0.0.8 partner=T role=1 group=1 support=" +
        full +
        " maxsessions=16,2,16,2\n"
        "array V boxid=\"BOX-V\" address=10.0.0.9 support=" +
        plain +
        " modelinfo=00000000000000000000\n"
        "array T boxid=\"BOX-T\" partner=R role=2 group=1 support=" +
        full + "\n"
        "volume T 5 2097152\n";
    for (int olu = 1; olu <= 12; ++olu) {
        s += "volume P " + std::to_string(olu) + " 2097152\n";
        s += "volume S " + std::to_string(olu) + " 2097152\n";
        s += "volume R " + std::to_string(olu) + " 2097152\n";
        s += "volume V " + std::to_string(olu) + " 2097152\n";
    }
    s += "volume E 1 2097152\n";
    s +=
        "disk /dev/sdb 8:16 P 1\n"
        "disk /dev/sdc 8:32 S 1\n"
        "disk /dev/sdd 8:48 E 1\n"
        "session 1 vz P 1 P 2 mode=manual transfer=2 secondary=1 copied=100\n"
        "session 2 kzp P 3 P 4 srcext=2048 size=4096 dstext=8192 copied=1024\n"
        "session 3 quickkzp P 4 P 5\n"
        "session 4 snapkzp+ P 5 P 6 srcext=4096 size=2048 dstext=16 copied=10\n"
        "session 5 rvz P 7 S 7 partner=9 mode=sync\n"
        "session 6 kzp P 8 P 9 status=suspend phase=tracking\n"
        "session 7 monitor P 12 P -\n"
        "session 8 kzp P 10 P 12 srcext=64 size=64 dstext=0 status=errorsuspend\n"
        "session 10 vz P 2 P 3 vvol=yes copied=4096\n"
        "session 11 kzp P 6 P 7 vvol=yes srcext=2048 size=8192 dstext=0 copied=2048\n"
        "session 20 failover P 10 S 10 partner=20\n"
        "session 21 failover P 11 S 11 partner=21 status=suspend\n"
        "session 1 kzp R 1 R 2 count=3\n"
        "session 4 kzp R 3 R 4 vvol=yes count=3\n"
        "session 7 failover R 5 T 5 count=3\n"
        "user admin secret\n";
    return s;
}

class IpDetailSim : public iptest::LanSimTest {
protected:
    IpDetailSim()
        : LanSimTest(Scenario(), {"10.0.0.5", "10.0.0.6", "10.0.0.7", "10.0.0.8", "10.0.0.9"},
                     iptest::LanTrace::kRootDefault) {}

    // The in-band list through a disk of the array.
    std::vector<DETAIL_LIST_INFO> InBand(const char *disk, uint32_t option) {
        std::vector<DETAIL_LIST_INFO> list(kArea);
        uint32_t count = 0;
        unsigned char sense[ZRK_SENSE_LEN];
        EXPECT_EQ(ZRKGetDetailList(disk, option, &count, list.data(), sense), 0)
            << disk << " " << option << " " << ZRKerrno;
        list.resize(count);
        return list;
    }
    // The LAN list of the array at ip.
    std::vector<DETAIL_LIST_INFO> OutOfBand(const char *ip, uint32_t option) {
        std::vector<DETAIL_LIST_INFO> list(kArea);
        int count = -1;
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        EXPECT_EQ(ZRKIPGetDetailList(ip, nullptr, option, &count, list.data(), sense), 0)
            << ip << " " << option << " " << ZRKerrno;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(sense), sizeof sense),
                  std::string(ZRK_SENSE_LEN, '\0'));
        list.resize(static_cast<size_t>(count < 0 ? 0 : count));
        return list;
    }
};

// The bytes [from, to) of every entry.
std::vector<std::string> Fields(const std::vector<DETAIL_LIST_INFO> &list,
                                const std::vector<std::pair<size_t, size_t>> &ranges) {
    std::vector<std::string> out;
    for (const DETAIL_LIST_INFO &e : list) {
        const std::string bytes = Entry(e);
        std::string kept;
        for (const auto &[from, to] : ranges) kept += Hex(bytes.substr(from, to - from)) + " ";
        out.push_back(kept);
    }
    return out;
}

std::vector<unsigned> Ids(const std::vector<DETAIL_LIST_INFO> &list) {
    std::vector<unsigned> ids;
    for (const DETAIL_LIST_INFO &e : list) ids.push_back(ShiftBtoI(e.ucaSessionID, 2));
    return ids;
}

TEST_F(IpDetailSim, AllSessionsEqualTheInBandList) {
    // Both list modes; the model lists in the extended mode.
    for (uint32_t option : {0u, static_cast<uint32_t>(ZRK_OPT_LIST_SEL_01)}) {
        SCOPED_TRACE(option);
        const std::vector<DETAIL_LIST_INFO> inband = InBand("/dev/sdb", option);
        const std::vector<DETAIL_LIST_INFO> lan = OutOfBand("10.0.0.5", option);
        EXPECT_EQ(Ids(lan), (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8}));
        ASSERT_EQ(lan.size(), inband.size());
        for (size_t i = 0; i < lan.size(); ++i) {
            DETAIL_LIST_INFO expected = inband[i];
            // What the two roads of this array report differently: a copy
            // monitor has no destination array (forty 0xFF bytes over the
            // LAN).
            if (expected.ucCopyKind == IP_SESSION_TYPE_MONITOR) {
                std::memset(expected.DstBoxID, 0xFF, sizeof expected.DstBoxID);
            }
            if (expected.Status == 3) {
                EXPECT_EQ(expected.ucState106, 1) << "error code of entry " << i;
            }
            EXPECT_EQ(Hex(Entry(lan[i])), Hex(Entry(expected))) << "entry " << i;
        }
    }
    // The destination array of the remote session, from its side.
    const std::vector<DETAIL_LIST_INFO> inband = InBand("/dev/sdc", 0);
    const std::vector<DETAIL_LIST_INFO> lan = OutOfBand("10.0.0.6", 0);
    ASSERT_EQ(lan.size(), 1u);
    ASSERT_EQ(inband.size(), 1u);
    EXPECT_EQ(Hex(Entry(lan[0])), Hex(Entry(inband[0])));
    EXPECT_EQ(lan[0].ucModeFlags & ZRK_MODEFLAG_DEST_SIDE, ZRK_MODEFLAG_DEST_SIDE);
}

TEST_F(IpDetailSim, VirtualVolumeSessionsEqualTheInBandList) {
    const std::vector<DETAIL_LIST_INFO> inband = InBand("/dev/sdb", ZRK_OPT_LIST_SEL_10);
    const std::vector<DETAIL_LIST_INFO> lan = OutOfBand("10.0.0.5", ZRK_OPT_VVOL);
    EXPECT_EQ(Ids(lan), (std::vector<unsigned>{10, 11}));
    // What the virtual-volume rows carry: identifier, kind, phase and
    // status, the volumes, the error code, the copied blocks, the start.
    const std::vector<std::pair<size_t, size_t>> carried = {
        {0, 2}, {4, 5}, {8, 10}, {96, 104}, {106, 107}, {108, 116}, {152, 160}};
    EXPECT_EQ(Fields(lan, carried), Fields(inband, carried));
    // The rows name no array: both BoxIDs stay 0.
    EXPECT_EQ(Fields(lan, {{16, 96}}),
              std::vector<std::string>(2, Hex(std::string(80, '\0')) + " "));
    // The size of a whole volume is the volume's; the progress in percent.
    EXPECT_EQ(Fields(lan, {{124, 132}, {142, 143}}),
              (std::vector<std::string>{"0000000000200000 00 ", "0000000000002000 19 "}));
}

TEST_F(IpDetailSim, FailoverSessionsEqualTheInBandList) {
    struct Case {
        const char *disk;
        const char *ip;
        std::vector<unsigned> ids;
    };
    const Case cases[] = {
        {"/dev/sdb", "10.0.0.5", {20, 21}},
        {"/dev/sdc", "10.0.0.6", {20, 21}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.ip);
        const std::vector<DETAIL_LIST_INFO> inband = InBand(c.disk, ZRK_OPT_LIST_FAILOVER);
        const std::vector<DETAIL_LIST_INFO> lan = OutOfBand(c.ip, ZRK_OPT_LIST_FAILOVER);
        EXPECT_EQ(Ids(lan), c.ids);
        ASSERT_EQ(lan.size(), inband.size());
        // Entry for entry but for what a failover pair does not report:
        // its kind is the failover kind, its flags only "remote", no mode
        // flags and no transfer mode.
        for (size_t i = 0; i < lan.size(); ++i) {
            DETAIL_LIST_INFO expected = inband[i];
            expected.ucCopyKind = IP_DETAIL_KIND_FAILOVER;
            expected.ucSessionFlags = ZRK_SESFLAG_REMOTE;
            expected.ucModeFlags = 0;
            expected.ucTransferMode = 0;
            EXPECT_EQ(Hex(Entry(lan[i])), Hex(Entry(expected))) << "entry " << i;
        }
    }
}

TEST_F(IpDetailSim, NoSessionsInAnyForm) {
    for (uint32_t option : {0u, static_cast<uint32_t>(ZRK_OPT_LIST_SEL_01),
                            static_cast<uint32_t>(ZRK_OPT_LIST_FAILOVER),
                            static_cast<uint32_t>(ZRK_OPT_VVOL)}) {
        SCOPED_TRACE(option);
        EXPECT_TRUE(InBand("/dev/sdd", option).empty());
        EXPECT_TRUE(OutOfBand("10.0.0.7", option).empty());
    }
}

TEST_F(IpDetailSim, OptionsAndCapabilities) {
    struct Case {
        const char *ip;
        uint32_t option;
        int zrkErrno;                       // 0: success
        std::vector<std::string> commands;  // after the capability questions
    };
    const Case cases[] = {
        {"10.0.0.5", ZRK_OPT_LIST_FAILOVER | ZRK_OPT_VVOL, ZRK_ERR_OPTION, {}},
        {"10.0.0.5", ZRK_OPT_LIST_SEL_01 | ZRK_OPT_LIST_FAILOVER, ZRK_ERR_OPTION, {}},
        {"10.0.0.5", ZRK_OPT_LIST_SEL_01 | ZRK_OPT_VVOL, ZRK_ERR_OPTION, {}},
        {"10.0.0.5", 0x4, ZRK_ERR_OPTION, {}},
        {"10.0.0.5", 0, 0, {"show copy-sessions  "}},
        {"10.0.0.5", ZRK_OPT_LIST_SEL_01, 0, {"show copy-sessions  -mode 1"}},
        {"10.0.0.5", ZRK_OPT_VVOL, 0, {"show vvol-copy-session -vvol-session-id all"}},
        {"10.0.0.5", ZRK_OPT_LIST_FAILOVER, 0, {"show tfo-pair"}},
        // A model without the extended mode is asked for the plain list.
        {"10.0.0.9", ZRK_OPT_LIST_SEL_01, 0, {"show copy-sessions  "}},
        {"10.0.0.9", ZRK_OPT_VVOL, ZRK_ERR_NOT_SUPPORT, {}},
        {"10.0.0.9", ZRK_OPT_LIST_FAILOVER, ZRK_ERR_NOT_SUPPORT, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.ip) + " " + std::to_string(c.option));
        std::vector<DETAIL_LIST_INFO> list(kArea);
        int count = -1;
        const int rc = ZRKIPGetDetailList(c.ip, nullptr, c.option, &count, list.data(), nullptr);
        if (c.zrkErrno == 0) {
            EXPECT_EQ(rc, 0) << ZRKerrno;
            EXPECT_GE(count, 0);
        } else {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ZRKerrno, c.zrkErrno);
            EXPECT_EQ(count, -1);
        }
        EXPECT_EQ(iptest::LanSessionCommands(sim), c.commands);
    }
    // Missing outputs are refused before the array is asked anything.
    DETAIL_LIST_INFO one;
    int count = 0;
    EXPECT_EQ(ZRKIPGetDetailList("10.0.0.5", nullptr, 0, nullptr, &one, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
    EXPECT_EQ(ZRKIPGetDetailList("10.0.0.5", nullptr, 0, &count, nullptr, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
    EXPECT_TRUE(iptest::LanCommands(sim).empty());
}

TEST_F(IpDetailSim, ListsBoundedByTheArraysMaximum) {
    // R keeps at most two sessions, the caller's area holds two entries; it
    // reports three in each form.
    for (uint32_t option : {0u, static_cast<uint32_t>(ZRK_OPT_VVOL),
                            static_cast<uint32_t>(ZRK_OPT_LIST_FAILOVER)}) {
        SCOPED_TRACE(option);
        std::vector<DETAIL_LIST_INFO> list(4);
        std::memset(list.data(), 0xEE, list.size() * sizeof(DETAIL_LIST_INFO));
        int count = -1;
        EXPECT_EQ(ZRKIPGetDetailList("10.0.0.8", nullptr, option, &count, list.data(), nullptr), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_REPLY_INCOMPLETE);
        EXPECT_EQ(count, -1);
        for (const DETAIL_LIST_INFO &e : list) {
            EXPECT_EQ(Entry(e), std::string(sizeof(DETAIL_LIST_INFO), '\xEE'));
        }
    }
}

TEST_F(IpDetailSim, TheFormsTakeTheRoomTheyAreGiven) {
    // The internal forms with a room of one entry and of enough.
    CliCopyFunctions functions;
    std::memset(&functions, 0, sizeof functions);
    ASSERT_EQ(ShowCopyFunctions("10.0.0.5", nullptr, &functions, 1), 0);
    IPCtrlCommonData(IP_COMMON_FUNCS_SET, &functions);
    using Form = int (*)(const char *, const char *, uint32_t, int *, DETAIL_LIST_INFO *, size_t);
    const std::pair<Form, int> forms[] = {
        {IPGetDetailList, 8}, {IPGetVvolDetailList, 2}, {IPGetTfopDetailList, 2}};
    for (const auto &[form, sessions] : forms) {
        DETAIL_LIST_INFO area[9];  // room for the largest form and one more
        std::memset(area, 0xEE, sizeof area);
        int count = -1;
        ZRKOptionFlag = 0;
        EXPECT_EQ(form("10.0.0.5", nullptr, 0, &count, area, 1), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_REPLY_INCOMPLETE);
        EXPECT_EQ(count, -1);
        EXPECT_EQ(Entry(area[0]), std::string(sizeof(DETAIL_LIST_INFO), '\xEE'));
        EXPECT_EQ(form("10.0.0.5", nullptr, 0, &count, area, static_cast<size_t>(sessions)), 0)
            << ZRKerrno;
        EXPECT_EQ(count, sessions);
        EXPECT_EQ(Entry(area[sessions]), std::string(sizeof(DETAIL_LIST_INFO), '\xEE'));
    }
}

// A maximum session count above the 16 bits that the volume information
// carries is a broken answer: the list and the volume information are
// refused, and nothing is written into the caller's area.
TEST_F(IpDetailSim, MaximumAboveSixteenBitsIsRefused) {
    sim.setArray("P", "lanmaxima=0x10400,64,16");
    for (uint32_t option : {0u, static_cast<uint32_t>(ZRK_OPT_VVOL),
                            static_cast<uint32_t>(ZRK_OPT_LIST_FAILOVER)}) {
        SCOPED_TRACE(option);
        std::vector<DETAIL_LIST_INFO> list(kArea);
        std::memset(list.data(), 0xEE, list.size() * sizeof(DETAIL_LIST_INFO));
        int count = -1;
        EXPECT_EQ(ZRKIPGetDetailList("10.0.0.5", nullptr, option, &count, list.data(), nullptr), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_REPLY_INCOMPLETE);
        EXPECT_EQ(count, -1);
        EXPECT_EQ(Entry(list[0]), std::string(sizeof(DETAIL_LIST_INFO), '\xEE'));
    }
    char box[ZRK_BOXID_LEN] = {};
    uint32_t olu = 0, eh = 0, el = 0, sh = 0, sl = 0;
    VOL_INFO info;
    std::memset(&info, 0xEE, sizeof info);
    EXPECT_EQ(ZRKIPGetVolumeInfo("10.0.0.5", nullptr, 0, 3, box, &olu, &eh, &el, &sh, &sl, &info, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_REPLY_INCOMPLETE);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(&info), sizeof info), std::string(sizeof info, '\xEE'));
}

// The largest maximum the record carries is taken (the array's facts are
// cached per process, so in a test of its own).
TEST_F(IpDetailSim, LargestMaximumTheRecordCarriesIsTaken) {
    sim.setArray("P", "lanmaxima=0xFFFF,64,16");
    char box[ZRK_BOXID_LEN] = {};
    uint32_t olu = 0, eh = 0, el = 0, sh = 0, sl = 0;
    VOL_INFO info;
    std::memset(&info, 0xEE, sizeof info);
    EXPECT_EQ(ZRKIPGetVolumeInfo("10.0.0.5", nullptr, 0, 3, box, &olu, &eh, &el, &sh, &sl, &info, nullptr), 1)
        << ZRKerrno;
    EXPECT_EQ(ShiftBtoI(info.ucaVzMaxSession + 2, 2), 0xFFFFu);
    std::vector<DETAIL_LIST_INFO> list(0xFFFF);
    int count = -1;
    EXPECT_EQ(ZRKIPGetDetailList("10.0.0.5", nullptr, 0, &count, list.data(), nullptr), 0) << ZRKerrno;
    EXPECT_EQ(count, 8);
}

// The caller's room bounds the list even where the array's maximum fits:
// a list of more sessions than the room is refused and the area, a heap
// block of exactly the room, is not written past (AddressSanitizer).
TEST_F(IpDetailSim, TheCallersRoomBoundsTheList) {
    for (size_t room : {size_t{1}, size_t{7}}) {
        SCOPED_TRACE(room);
        std::vector<DETAIL_LIST_INFO> list(room);
        std::memset(list.data(), 0xEE, list.size() * sizeof(DETAIL_LIST_INFO));
        int count = -1;
        EXPECT_EQ(zrkip::DetailListWithin("10.0.0.5", nullptr, 0, &count, list.data(), room, nullptr), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_REPLY_INCOMPLETE);
        EXPECT_EQ(count, -1);
        for (const DETAIL_LIST_INFO &e : list) EXPECT_EQ(Entry(e), std::string(sizeof(DETAIL_LIST_INFO), '\xEE'));
    }
    std::vector<DETAIL_LIST_INFO> list(8);
    int count = -1;
    EXPECT_EQ(zrkip::DetailListWithin("10.0.0.5", nullptr, 0, &count, list.data(), list.size(), nullptr), 0)
        << ZRKerrno;
    EXPECT_EQ(count, 8);

    // The in-band road to the same array: a list longer than the room fails
    // as one longer than the array's maximum does.
    for (size_t room : {size_t{1}, size_t{7}}) {
        SCOPED_TRACE(room);
        std::vector<DETAIL_LIST_INFO> inband(room);
        std::memset(inband.data(), 0xEE, inband.size() * sizeof(DETAIL_LIST_INFO));
        uint32_t got = 0xEEEE;
        EXPECT_EQ(zrk::DetailListWithin("/dev/sdb", 0, &got, inband.data(), room, nullptr), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_SCSI);
        EXPECT_EQ(got, 0xEEEEu);
    }
    uint32_t got = 0;
    EXPECT_EQ(zrk::DetailListWithin("/dev/sdb", 0, &got, list.data(), list.size(), nullptr), 0) << ZRKerrno;
    EXPECT_EQ(got, 8u);
}

}  // namespace
