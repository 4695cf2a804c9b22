// The LUN status query and the copy inhibit end to end against the
// simulator, in-band through "sa" and over the LAN through "lb": the status
// records, the all-LUN form, the area check, the option rules, group files,
// and the refusal of the inhibit on the target of an active RVZ session.
#include "cmd_support.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kGroup = ZRKC_OPT_GROUP_FILE;
constexpr int kOtherWay = ZRKC_OPT_OTHER_WAY;
constexpr int kAllLun = ZRKC_OPT_ALL_LUN;
constexpr unsigned char kTravoOut = 0xE9;
constexpr unsigned char kProtectionList = 0x33;

// Two protected volumes, one on each array.
const char *const kVolumes = "volume A1 0x30 4096 protection=yes\n"
                             "volume B1 0x30 4096 protection=yes\n";

class CmdLun : public cmdtest::CommandSim {
protected:
    explicit CmdLun(const std::string &sessions = "") : CommandSim(kVolumes + sessions) {}

    // The status list of one operand: the result and the area.
    int Query(const char *operand, int option, std::vector<unsigned char> &areaOut, ReturnInfo *ri,
              size_t length = 8 + 4 * sizeof(LunStatusEntry)) {
        areaOut.assign(length, 0xAA);
        return zrkc_query_lunstatus(const_cast<char *>(operand), option, ri,
                                    reinterpret_cast<LunStatusList *>(areaOut.data()),
                                    static_cast<int>(length));
    }
    static const LunStatusList &List(const std::vector<unsigned char> &a) {
        return *reinterpret_cast<const LunStatusList *>(a.data());
    }

    // The status word of one volume as the query reports it.
    uint32_t StatusOf(const char *volume) {
        std::vector<unsigned char> a;
        ReturnInfo ri{};
        EXPECT_EQ(0, Query(volume, 0, a, &ri)) << volume << " " << ri.caMessage;
        return List(a).taEntry[0].StatusFlag;
    }

    // Copy-protection settings sent since the logs were cleared, over both roads.
    size_t SettingsSent() const {
        size_t n = 0;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.cdb[0] == kTravoOut && !r.dataOut.empty() && r.dataOut[0] == kProtectionList) ++n;
        for (const std::string &line : sim.commandOk("lanlog"))
            if (line.find("copy-protection") != std::string::npos) ++n;
        return n;
    }
    void ClearLogs() {
        sim.clearLog();
        sim.commandOk("clearlanlog");
    }
};

TEST_F(CmdLun, QueryReportsTheUnitOverBothRoads) {
    struct Case {
        const char *pVolume;
        uint16_t uhOlu;
        uint32_t uiFlag;
    };
    const Case cases[] = {
        {"0x2@sa", 2, 0}, {"0x30@sa", 0x30, ZRKC_LUN_COPY_INHIBIT},
        {"0x1@lb", 1, 0}, {"0x30@lb", 0x30, ZRKC_LUN_COPY_INHIBIT},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> a;
        ReturnInfo ri{};
        ASSERT_EQ(0, Query(c.pVolume, 0, a, &ri)) << c.pVolume << " " << ri.caMessage;
        const LunStatusList &l = List(a);
        EXPECT_EQ(1u, l.ItemCount) << c.pVolume;
        EXPECT_EQ(1u, l.FilledCount) << c.pVolume;
        const LunStatusEntry &e = l.taEntry[0];
        EXPECT_EQ(c.uhOlu, e.Olu) << c.pVolume;
        EXPECT_EQ(c.uiFlag, e.StatusFlag) << c.pVolume;
        EXPECT_EQ(4096u, e.LogicalSize) << c.pVolume;
        EXPECT_EQ(4096u, e.PhysicalSize) << c.pVolume;
        EXPECT_EQ(0u, e.UsedSdvHost + e.UsedSdvCopy + e.UsedSdpHost + e.UsedSdpCopy);
        EXPECT_EQ('\0', e.VolumeName[0]) << "the name is the caller's";
        // The whole area is cleared, the second item included.
        EXPECT_EQ(0u, l.taEntry[1].Olu);
    }
}

TEST_F(CmdLun, AllLunFormListsEveryUnitOfTheArray) {
    struct Case {
        const char *pVolume;
        std::vector<uint16_t> vOlus;
    };
    const Case cases[] = {
        {"0x2@sa", {1, 2, 3, 4, 5, 7, 8, 9, 0x14, 0x1a, 0x30}},
        {"0x1@lb", {1, 2, 0x30}},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> a;
        ReturnInfo ri{};
        ASSERT_EQ(0, Query(c.pVolume, kAllLun, a, &ri, ZRKC_LUN_ALL_AREA_LEN)) << ri.caMessage;
        const LunStatusList &l = List(a);
        ASSERT_EQ(c.vOlus.size(), l.ItemCount) << c.pVolume;
        EXPECT_EQ(c.vOlus.size(), l.FilledCount);
        std::vector<uint16_t> olus;
        for (uint32_t i = 0; i < l.ItemCount; ++i) olus.push_back(l.taEntry[i].Olu);
        std::sort(olus.begin(), olus.end());
        EXPECT_EQ(c.vOlus, olus) << c.pVolume;
    }
}

TEST_F(CmdLun, TooSmallAreaIsAWarningBeforeAnyVolumeIsResolved) {
    const std::string file = GroupFileLines({"0x2@sa", "0x3@sa"});
    struct Case {
        const char *pOperand;
        int iOption;
        size_t uiLength;
        uint32_t uiNeeded;
    };
    const Case cases[] = {
        {file.c_str(), kGroup, 2183, 2184},
        {"0x2@sa", kAllLun, 2184, 71303176},
        {"0x2@sa", 0, 0, 1096},
    };
    for (const Case &c : cases) {
        UsePairArea(2);
        ReturnInfo ri = Info();
        ClearLogs();
        std::vector<unsigned char> a(c.uiLength + 1, 0xAA);
        EXPECT_EQ(1, zrkc_query_lunstatus(const_cast<char *>(c.pOperand), c.iOption, &ri,
                                          c.uiLength ? reinterpret_cast<LunStatusList *>(a.data()) : nullptr,
                                          static_cast<int>(c.uiLength)));
        EXPECT_EQ(1001u, ri.uiMessageNo);
        EXPECT_STREQ("ZRKC1001 WARNING Insufficient output area.\n", ri.caMessage);
        EXPECT_EQ(c.uiNeeded, ri.uiNeedOutputSize);
        EXPECT_TRUE(sim.cdbLog().empty());
        EXPECT_EQ(0xAA, a[0]) << "the area is left as it was";
    }
}

TEST_F(CmdLun, OptionsAndOperandsAreChecked) {
    const std::string volumes = GroupFileLines({"0x2@sa"});
    char volume[] = "0x2@sa";
    char groupFile[ZRK_VOLNAME_LEN] = {};
    volumes.copy(groupFile, sizeof groupFile - 1);
    LunStatusList area{};
    struct Case {
        char *pOperand;
        int iOption;
        int iState; // -1: the query
        uint32_t uiNumber;
    };
    const Case cases[] = {
        {volume, kAllLun | kGroup, -1, 1010},
        {volume, kOtherWay, -1, 1010},
        {volume, 0x1, -1, 1010},
        {groupFile, kGroup | kOtherWay, -1, 1016},
        {nullptr, 0, -1, 1008},
        {volume, 0, 2, 1010},
        {volume, kAllLun, 1, 1010},
        {volume, kOtherWay, 1, 1010},
        {groupFile, kGroup | kOtherWay, 0, 1016},
        {nullptr, 0, 1, 1008},
    };
    for (const Case &c : cases) {
        UsePairArea(1);
        ReturnInfo ri = Info();
        const int r = c.iState < 0 ? zrkc_query_lunstatus(c.pOperand, c.iOption, &ri, &area, sizeof area)
                                   : zrkc_set_copyinhibit(c.pOperand, static_cast<uint8_t>(c.iState),
                                                          c.iOption, &ri);
        EXPECT_EQ(-1, r) << c.uiNumber;
        EXPECT_EQ(c.uiNumber, ri.uiMessageNo) << ri.caMessage;
        EXPECT_EQ(ZRKC_CLASS_PARAMETER, ri.iReturnClass);
    }
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_query_lunstatus(volume, 0, &ri, nullptr, 100));
    EXPECT_STREQ("ZRKC1008 ERROR Parameter is not specified.\n", ri.caMessage);
}

TEST_F(CmdLun, GroupFileOfPairsTakesSourcesOrTargets) {
    const std::string file = GroupFileLines({"0x2@sa 0x3@sa", "0x1@lb 0x2@lb"});
    struct Case {
        int iOption;
        uint16_t uhFirst, uhSecond;
    };
    for (const Case &c : {Case{kGroup, 2, 1}, Case{kGroup | kOtherWay, 3, 2}}) {
        UsePairArea(2);
        ReturnInfo ri = Info();
        std::vector<unsigned char> a;
        ASSERT_EQ(0, Query(file.c_str(), c.iOption, a, &ri)) << ri.caMessage;
        const LunStatusList &l = List(a);
        EXPECT_EQ(2u, l.ItemCount);
        EXPECT_EQ(2u, l.FilledCount);
        EXPECT_EQ(c.uhFirst, l.taEntry[0].Olu);
        EXPECT_EQ(c.uhSecond, l.taEntry[1].Olu);
    }
}

TEST_F(CmdLun, InhibitIsSetAndReleasedOnlyWhereItDiffersOverBothRoads) {
    for (const char *name : {"0x2@sa", "0x2@lb"}) {
        char volume[16];
        std::snprintf(volume, sizeof volume, "%s", name);
        for (uint8_t state : {1, 1, 0, 0}) {
            const bool before = (StatusOf(volume) & ZRKC_LUN_COPY_INHIBIT) != 0;
            ClearLogs();
            ReturnInfo ri{};
            ASSERT_EQ(0, zrkc_set_copyinhibit(volume, state, 0, &ri)) << name << " " << ri.caMessage;
            EXPECT_EQ(before == (state == 1) ? 0u : 1u, SettingsSent()) << name << " state " << int(state);
            EXPECT_EQ(state == 1, (StatusOf(volume) & ZRKC_LUN_COPY_INHIBIT) != 0) << name;
        }
    }
}

// B1:1 copies to A1:0x30 and A1:1 to B1:2, both active RVZ sessions; the
// transfer mode decides whether their targets may be inhibited.
class CmdLunRvz : public CmdLun {
protected:
    CmdLunRvz() : CmdLun("session 5 rvz B1 1 A1 4 transfer=2\n"
                         "session 6 rvz A1 1 B1 2 transfer=3\n"
                         "session 7 rvz C1 1 A1 5 mode=sync\n") {}
};

TEST_F(CmdLunRvz, TargetOfAStackingOrConsistentRvzSessionIsRefused) {
    struct Case {
        const char *pVolume;
        int iResult;
    };
    const Case cases[] = {
        {"0x4@sa", -1},  // stack
        {"0x2@lb", -1},  // consistency, over the LAN
        {"0x5@sa", 0},   // synchronous
        {"0x1@sa", 0},   // the source of an RVZ session
    };
    for (const Case &c : cases) {
        char volume[16];
        std::snprintf(volume, sizeof volume, "%s", c.pVolume);
        ClearLogs();
        ReturnInfo ri{};
        EXPECT_EQ(c.iResult, zrkc_set_copyinhibit(volume, 1, 0, &ri)) << c.pVolume;
        if (c.iResult != 0) {
            EXPECT_EQ(ZRKC_CLASS_STATE, ri.iReturnClass);
            EXPECT_EQ(1111u, ri.uiMessageNo);
            EXPECT_STREQ("ZRKC1111 ERROR Logical volume state is not able to be set to the copy "
                         "protection.\n",
                         ri.caMessage);
            EXPECT_EQ(0u, SettingsSent());
        }
    }
    // A release never looks at the sessions.
    sim.setSession("B1", 5, "status=suspend");
    char target[] = "0x4@sa";
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_set_copyinhibit(target, 1, 0, &ri)) << ri.caMessage;
    sim.setSession("B1", 5, "status=active");
    EXPECT_EQ(0, zrkc_set_copyinhibit(target, 0, 0, &ri)) << ri.caMessage;
    EXPECT_EQ(0u, StatusOf(target) & ZRKC_LUN_COPY_INHIBIT);
}

TEST_F(CmdLunRvz, GroupRunSetsTheOtherLinesAndReportsTheRefusedOne) {
    const std::string file = GroupFileLines({"0x3@sa", "0x4@sa", "0x7@sa"});
    UsePairArea(3);
    ReturnInfo ri = Info();
    EXPECT_EQ(-1, zrkc_set_copyinhibit(const_cast<char *>(file.c_str()), 1, kGroup, &ri));
    EXPECT_EQ(ZRKC_CLASS_GROUP_LINES, ri.iReturnClass);
    EXPECT_EQ(1804u, ri.uiMessageNo);
    EXPECT_EQ(ZRKC_CLASS_OK, Entry(0).iReturnClass);
    EXPECT_EQ(1111u, Entry(1).uiMessageNo);
    EXPECT_EQ(ZRKC_CLASS_STATE, Entry(1).iReturnClass);
    EXPECT_EQ(ZRKC_CLASS_OK, Entry(2).iReturnClass);
    char v3[] = "0x3@sa", v4[] = "0x4@sa", v7[] = "0x7@sa";
    EXPECT_NE(0u, StatusOf(v3) & ZRKC_LUN_COPY_INHIBIT);
    EXPECT_EQ(0u, StatusOf(v4) & ZRKC_LUN_COPY_INHIBIT);
    EXPECT_NE(0u, StatusOf(v7) & ZRKC_LUN_COPY_INHIBIT);
}

} // namespace

namespace {

TEST_F(CmdLun, GroupLineWhoseUnitTheArrayDoesNotListFailsAlone) {
    const std::string file = GroupFileLines({"0x2@sa", "0x3@sa"});
    // The array's list of units 2 to 3 names only the first.
    sim.corrupt(0x33, 8, "0001");
    UsePairArea(2);
    ReturnInfo ri = Info();
    std::vector<unsigned char> a;
    EXPECT_EQ(-1, Query(file.c_str(), kGroup, a, &ri));
    EXPECT_EQ(ZRKC_CLASS_GROUP_LINES, ri.iReturnClass);
    EXPECT_EQ(1804u, ri.uiMessageNo);
    EXPECT_EQ(ZRKC_CLASS_OK, Entry(0).iReturnClass);
    EXPECT_EQ(ZRKC_CLASS_INTERNAL, Entry(1).iReturnClass);
    EXPECT_STREQ("ZRKC1250 ERROR Specified LUN_V Number is invalid.\n", Entry(1).caMessage);
    const LunStatusList &l = List(a);
    EXPECT_EQ(2u, l.ItemCount);
    EXPECT_EQ(1u, l.FilledCount);
    EXPECT_EQ(2u, l.taEntry[0].Olu);
    EXPECT_EQ(0u, l.taEntry[1].Olu);
}

} // namespace
