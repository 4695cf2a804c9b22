// The volume and device summaries against the simulator: where a volume
// lies and which alias its array has, and the maxima and capability bits of
// its array over both roads; and the two IP-service entry points.
#include "cmd_support.h"

#include <cstring>
#include <string>

namespace {

// Two more arrays: G1 reached over the LAN (alias "lg") with every
// capability bit the summary reads, H1 reached through a disk and absent
// from the alias store. A1's copy-support page carries the device bit.
std::string Extra() {
    const std::string support = iptest::SupportHex({{4, 0x2F}, {30, 0x18}});
    return "array G1 boxid=\"BOXG\" address=10.0.0.10 support=" + support +
           " modelinfo=00000000000000020004 copyflags=2 generations=48\n"
           "array H1 boxid=\"BOXH\"\n"
           "volume G1 1 4096\n"
           "volume H1 1 4096\n"
           "volume H1 2 4096 attr=1\n"
           "disk /dev/sdg 8:96 H1 1\n"
           "disk /dev/sdh 8:112 H1 2\n"
           "bytes A1 0xF0 27 40\n";
}

class CmdInquiry : public cmdtest::CommandSim {
protected:
    CmdInquiry() : CommandSim(Extra()) {}

    void SetUp() override {
        CommandSim::SetUp();
        ASSERT_NO_FATAL_FAILURE(LogIn("10.0.0.10"));
        ASSERT_NO_FATAL_FAILURE(AddLanRoute("10.0.0.10", "BOXG"));
        Rename("BOXG", "lg");
        sim.clearLog();
    }

    static std::string Text(const char *field, size_t width) {
        return std::string(field, strnlen(field, width));
    }
};

TEST_F(CmdInquiry, VolumeSummaryOfDevicesWithAndWithoutAlias) {
    struct Case {
        const char *pVolume, *pBox;
        uint32_t uiOlu;
        uint64_t ulStart, ulSize;
        uint8_t ucType;
        const char *pAlias;  // nullptr: none in the store
    } cases[] = {
        {"/dev/sdb", "BOXA", 1, 0, 4096, ZRKC_VOLTYPE_NORMAL, "sa"},
        {"/dev/sdb2", "BOXA", 1, 1000, 1000, ZRKC_VOLTYPE_NORMAL, "sa"},
        {"/dev/sdg", "BOXH", 1, 0, 4096, ZRKC_VOLTYPE_NORMAL, nullptr},
        {"/dev/sdh", "BOXH", 2, 0, 4096, ZRKC_VOLTYPE_SDV, nullptr},
    };
    for (const Case &c : cases) {
        VolumeQueryInfo info;
        std::memset(&info, 0xEE, sizeof info);
        ReturnInfo ri{};
        ASSERT_EQ(0, zrkc_get_volume(c.pVolume, 0, &ri, &info, sizeof info)) << c.pVolume << ri.caMessage;
        EXPECT_EQ(0, ri.iReturnClass);
        EXPECT_EQ(cmdtest::Box(c.pBox), std::string(info.BoxID, ZRK_BOXID_LEN)) << c.pVolume;
        EXPECT_EQ(c.uiOlu, info.Volume) << c.pVolume;
        EXPECT_EQ(c.ulStart, info.ExtentStartAddress) << c.pVolume;
        EXPECT_EQ(c.ulSize, info.ExtentSize) << c.pVolume;
        EXPECT_EQ(c.ucType, info.Type) << c.pVolume;
        EXPECT_EQ(c.pAlias != nullptr ? 1 : 0, info.AliasPresent) << c.pVolume;
        EXPECT_EQ(c.pAlias != nullptr ? c.pAlias : "", Text(info.Alias, sizeof info.Alias)) << c.pVolume;
        const auto *bytes = reinterpret_cast<const unsigned char *>(&info);
        for (size_t at : {41u, 42u, 43u, 105u, 111u}) EXPECT_EQ(0, bytes[at]) << c.pVolume << " " << at;
    }
}

TEST_F(CmdInquiry, VolumeSummaryRefusals) {
    VolumeQueryInfo info{};
    ReturnInfo ri{};
    EXPECT_EQ(1, zrkc_get_volume("/dev/sdb", 0, &ri, nullptr, 0));
    EXPECT_EQ(1001u, ri.uiMessageNo);
    EXPECT_STREQ("ZRKC1001 WARNING Insufficient output area.\n", ri.caMessage);
    EXPECT_EQ(112u, ri.uiNeedOutputSize);

    struct Case {
        const char *pVolume;
        uint32_t uiOpt;
        void *pArea;
        uint32_t uiLen;
        int iResult;
        const char *pMessage;
    } cases[] = {
        {nullptr, 0, &info, sizeof info, -1, "ZRKC1008 ERROR Parameter is not specified.\n"},
        {"/dev/sdb", 0, nullptr, sizeof info, -1, "ZRKC1008 ERROR Parameter is not specified.\n"},
        {"/dev/sdb", 1, &info, sizeof info, -1, "ZRKC1010 ERROR Specified option is invalid.\n"},
        {"/dev/sdb", 0, &info, 111, 1, "ZRKC1001 WARNING Insufficient output area.\n"},
        {"0x1@sa", 0, &info, sizeof info, -1,
         "ZRKC1002 ERROR Invalid logical volume name. Volume name=(0x1@sa).\n"},
        {"0x1@sa:0x10", 0, &info, sizeof info, -1,
         "ZRKC1002 ERROR Invalid logical volume name. Volume name=(0x1@sa:0x10).\n"},
    };
    for (const Case &c : cases) {
        ReturnInfo r{};
        EXPECT_EQ(c.iResult, zrkc_get_volume(c.pVolume, c.uiOpt, &r, c.pArea, c.uiLen))
            << (c.pVolume ? c.pVolume : "null");
        EXPECT_STREQ(c.pMessage, r.caMessage);
        EXPECT_EQ(3, r.iReturnClass);
    }
    EXPECT_EQ(-1, zrkc_get_volume("/dev/sdb", 0, nullptr, &info, sizeof info));
    EXPECT_TRUE(sim.cdbLog().empty()) << "refused names never reach the array";

    ReturnInfo missing{};
    EXPECT_EQ(-1, zrkc_get_volume("/dev/nosuch", 0, &missing, &info, sizeof info));
    EXPECT_NE(0, missing.iReturnClass);
}

TEST_F(CmdInquiry, DeviceSummaryOverBothRoads) {
    struct Case {
        const char *pVolume;
        uint32_t uiFlags;
    } cases[] = {
        {"/dev/sdb", ZRKC_DEVSUP_DEVICE},  // SCSI, device bit patched in
        {"/dev/sde", 0},                   // SCSI, nothing set
        {"0x1@sa", ZRKC_DEVSUP_DEVICE},
        {"0x1@lg", ZRKC_DEVSUP_DEVICE | ZRKC_DEVSUP_TARGET_STATUS | ZRKC_DEVSUP_LAN_FUNCTION},
        {"0x1@lb", 0},
    };
    for (const Case &c : cases) {
        DeviceQueryInfo info;
        std::memset(&info, 0xEE, sizeof info);
        ReturnInfo ri{};
        ASSERT_EQ(0, zrkc_get_device(c.pVolume, 0, &ri, &info, sizeof info)) << c.pVolume << ri.caMessage;
        EXPECT_EQ(c.uiFlags, info.SupportFlag) << c.pVolume;

        // The maxima are those of the resolved volume, the same as the
        // maximum-count query gives.
        uint16_t counts[4] = {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE};
        ASSERT_EQ(0, zrkc_get_max_count(c.pVolume, 0, &ri, counts, sizeof counts))
            << c.pVolume << ri.caMessage;
        EXPECT_EQ(counts[0], info.MaxSession) << c.pVolume;
        EXPECT_EQ(counts[1], info.MaxSnapGene) << c.pVolume;
        EXPECT_NE(0, info.MaxSession) << c.pVolume;
        EXPECT_EQ(0, counts[2]) << "the area is cleared over its length";
        for (unsigned char b : info.ucaReserved8) EXPECT_EQ(0, b);
    }
    DeviceQueryInfo lan{};
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_get_device("0x1@lg", 0, &ri, &lan, sizeof lan));
    EXPECT_EQ(48, lan.MaxSnapGene);
}

TEST_F(CmdInquiry, DeviceAndCountRefusals) {
    unsigned char area[64] = {};
    ReturnInfo ri{};
    EXPECT_EQ(1, zrkc_get_device("/dev/sdb", 0, &ri, area, 63));
    EXPECT_STREQ("ZRKC1001 WARNING Insufficient output area.\n", ri.caMessage);
    EXPECT_EQ(64u, ri.uiNeedOutputSize);
    EXPECT_EQ(-1, zrkc_get_device("/dev/sdb", 1, &ri, area, 64));
    EXPECT_STREQ("ZRKC1010 ERROR Specified option is invalid.\n", ri.caMessage);
    EXPECT_EQ(-1, zrkc_get_device("/dev/sdb", 0, &ri, nullptr, 64));
    EXPECT_STREQ("ZRKC1008 ERROR Parameter is not specified.\n", ri.caMessage);
    EXPECT_EQ(-1, zrkc_get_device("0x1@nc", 0, &ri, area, 64));
    EXPECT_NE(0, ri.iReturnClass);

    EXPECT_EQ(1, zrkc_get_max_count("/dev/sdb", 0, &ri, area, 7));
    EXPECT_EQ(8u, ri.uiNeedOutputSize);
    EXPECT_EQ(-1, zrkc_get_max_count(nullptr, 0, &ri, area, 8));
    EXPECT_STREQ("ZRKC1008 ERROR Parameter is not specified.\n", ri.caMessage);
}

TEST_F(CmdInquiry, MaxCountReadsTheFirstLineOfAGroupFile) {
    const std::string file = GroupFileLines({"0x1@lg", "/dev/sdb"});
    uint16_t fromFile[4] = {}, direct[4] = {};
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    ASSERT_EQ(0, zrkc_get_max_count(file.c_str(), ZRKC_OPT_GROUP_FILE, &ri, fromFile, 8)) << ri.caMessage;
    ReturnInfo one{};
    ASSERT_EQ(0, zrkc_get_max_count("0x1@lg", 0, &one, direct, 8));
    EXPECT_EQ(direct[0], fromFile[0]);
    EXPECT_EQ(48, fromFile[1]);
}

} // namespace
