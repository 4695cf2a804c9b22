// The snapshot-space commands end to end against the simulator, over both
// roads: the initialisation of snap data volumes, and the estimate, snap
// data volume and snap data pool queries with their output areas.
#include "cmd_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kGroup = ZRKC_OPT_GROUP_FILE;

// Snap data volumes 0x30 and 0x31 on both arrays, estimate sessions of
// volumes 3 and 4, and a SnapKZP session that saves into A1's 0x30.
const char kExtra[] =
    "volume A1 0x30 8192 type=sdv\n"
    "volume A1 0x31 8192 type=sdv\n"
    "volume B1 0x30 8192 type=sdv\n"
    "volume B1 0x31 8192 type=sdv\n"
    "volume B1 3 4096\n"
    "volume B1 4 4096\n"
    "volume B1 5 4096\n"
    "session 40 monitor A1 3 A1 - size=4096 copied=2049\n"
    "session 41 monitor A1 4 A1 - size=4096 copied=10\n"
    "session 42 monitor B1 3 B1 - size=4096 copied=2049\n"
    "session 43 monitor B1 4 B1 - size=4096 copied=10\n"
    "session 50 snapkzp A1 5 A1 0x30 copied=100\n"
    "session 51 snapkzp B1 5 B1 0x30 copied=100\n";

// The two roads: alias "sa" reaches A1 through its disk, "lb" B1 over the LAN.
const char *const kRoads[] = {"sa", "lb"};

std::string At(const char *olu, const char *road) { return std::string(olu) + "@" + road; }

class CmdSdv : public cmdtest::CommandSim {
protected:
    CmdSdv() : CommandSim(kExtra) {}

    // An output area of the given length, filled with a marker byte.
    std::vector<unsigned char> Area(size_t length) { return std::vector<unsigned char>(length, 0xA5); }

    SdvStatusEntry SdvOf(const std::string &volume) {
        std::vector<unsigned char> out = Area(8 + sizeof(SdvStatusEntry));
        ReturnInfo ri{};
        EXPECT_EQ(0, zrkc_query_sdv(const_cast<char *>(volume.c_str()), 0, &ri,
                                    reinterpret_cast<SdvStatusList *>(out.data()),
                                    static_cast<int>(out.size())))
            << volume << " " << ri.caMessage;
        SdvStatusEntry entry{};
        std::memcpy(&entry, out.data() + 8, sizeof entry);
        return entry;
    }
};

TEST_F(CmdSdv, EstimateAsksForItsAreaThenFillsIt) {
    for (const char *road : kRoads) {
        SCOPED_TRACE(road);
        std::string volume = At("0x3", road);
        ReturnInfo ri{};
        EXPECT_EQ(1, zrkc_query_estimate(volume.data(), 0, &ri, nullptr, 0));
        EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PARAMETER);
        EXPECT_EQ(ri.uiMessageNo, 1001u);
        EXPECT_STREQ(ri.caMessage, "ZRKC1001 WARNING Insufficient output area.\n");
        ASSERT_EQ(ri.uiNeedOutputSize, 1056u);

        std::vector<unsigned char> out = Area(ri.uiNeedOutputSize);
        auto *list = reinterpret_cast<EstimateList *>(out.data());
        ri = ReturnInfo{};
        ASSERT_EQ(0, zrkc_query_estimate(volume.data(), 0, &ri, list, static_cast<int>(out.size())))
            << ri.caMessage;
        EXPECT_EQ(list->uiCount, 1u);
        EXPECT_EQ(list->uiFilled, 1u);
        EXPECT_STREQ(list->taEntry[0].caVolume, volume.c_str());
        EXPECT_EQ(list->taEntry[0].BlkCnt, 2049u);
        EXPECT_EQ(list->taEntry[0].Size, 4096u);
        const unsigned char *reserved = list->taEntry[0].ucaReserved;
        EXPECT_EQ(std::vector<unsigned char>(reserved, reserved + 8), std::vector<unsigned char>(8, 0));
    }
}

TEST_F(CmdSdv, EstimateGroupKeepsTheEntryOfAVolumeWithoutSession) {
    for (const char *road : kRoads) {
        SCOPED_TRACE(road);
        std::string file = GroupFileLines({At("0x3", road), At("0x5", road), At("0x4", road)});
        ReturnInfo ri{};
        UsePairArea(&ri, 3);
        std::vector<unsigned char> out = Area(8 + 3 * sizeof(EstimateEntry));
        auto *list = reinterpret_cast<EstimateList *>(out.data());
        EXPECT_EQ(-1, zrkc_query_estimate(file.data(), kGroup, &ri, list, static_cast<int>(out.size())));
        EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
        EXPECT_EQ(ri.uiMessageNo, 1804u);
        EXPECT_EQ(list->uiCount, 3u);
        EXPECT_EQ(list->uiFilled, 2u);
        EXPECT_EQ(list->taEntry[0].BlkCnt, 2049u);
        EXPECT_EQ(list->taEntry[2].BlkCnt, 10u);
        const auto *second = reinterpret_cast<const unsigned char *>(&list->taEntry[1]);
        EXPECT_EQ(std::vector<unsigned char>(second, second + sizeof(EstimateEntry)),
                  std::vector<unsigned char>(sizeof(EstimateEntry), 0));
        EXPECT_EQ(Entry(0).iReturnClass, ZRKC_CLASS_OK);
        EXPECT_EQ(Entry(1).iReturnClass, ZRKC_CLASS_STATE);
        EXPECT_EQ(Entry(1).uiMessageNo, 1100u);
        EXPECT_STREQ(Entry(1).caMessage, "ZRKC1100 ERROR Session does not exist.\n");
        EXPECT_EQ(Entry(2).iReturnClass, ZRKC_CLASS_OK);
    }
}

TEST_F(CmdSdv, EstimateRefusals) {
    std::vector<unsigned char> out = Area(8 + 2 * sizeof(EstimateEntry));
    auto *list = reinterpret_cast<EstimateList *>(out.data());
    const int length = static_cast<int>(out.size());
    struct Case {
        std::string sOperand;
        int iOption;
        int iResult, iClass;
        uint32_t uiNumber;
    };
    // Group-file operands are lists of lines, written just before their call.
    const Case cases[] = {
        {"0x5@sa", 0, -1, ZRKC_CLASS_STATE, 1100},                  // no session
        {"0x5@lb", 0, -1, ZRKC_CLASS_STATE, 1100},
        {"0x5@sa\n0x7@sa", kGroup, -1, ZRKC_CLASS_STATE, 1100},     // none has one
        {"0x3@sa 0x4@sa", kGroup, -1, ZRKC_CLASS_PARAMETER, 1016},  // pairs
        {"0x3@sa", ZRKC_OPT_OTHER_WAY, -1, ZRKC_CLASS_PARAMETER, 1010},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sOperand);
        ReturnInfo ri{};
        UsePairArea(&ri, 2);
        std::string operand = c.iOption == kGroup ? GroupFile(c.sOperand + "\n") : c.sOperand;
        EXPECT_EQ(c.iResult, zrkc_query_estimate(operand.data(), c.iOption, &ri, list, length));
        EXPECT_EQ(ri.iReturnClass, c.iClass) << ri.caMessage;
        EXPECT_EQ(ri.uiMessageNo, c.uiNumber);
    }
}

TEST_F(CmdSdv, PairAreaIsCheckedBeforeTheOutputArea) {
    std::string file = GroupFileLines({"0x3@sa", "0x4@sa"});
    ReturnInfo ri{};
    UsePairArea(&ri, 1);
    EXPECT_EQ(1, zrkc_query_estimate(file.data(), kGroup, &ri, nullptr, 0));
    EXPECT_EQ(ri.uiMessageNo, 1015u);
    ri = Info();
    EXPECT_EQ(1, zrkc_query_sdv(file.data(), kGroup, &ri, nullptr, 0));
    EXPECT_EQ(ri.uiMessageNo, 1015u);
}

TEST_F(CmdSdv, SdvReportsStateAndSizesOverBothRoads) {
    for (const char *road : kRoads) {
        SCOPED_TRACE(road);
        const SdvStatusEntry e = SdvOf(At("0x30", road));
        EXPECT_STREQ(e.caVolume, At("0x30", road).c_str());
        EXPECT_EQ(e.OluNo, 0x30);
        EXPECT_EQ(e.Flag, ZRKC_SDV_FLAG_SDV);
        EXPECT_EQ(e.LogiTmp, 8192u);
        EXPECT_EQ(e.PhysiTmp, 8192u);
        EXPECT_EQ(e.SnapUsedHost, 0u);
        EXPECT_EQ(e.SnapUsedCopy, 100u);
        EXPECT_EQ(e.PoolCapaHost, 0u);
        EXPECT_EQ(e.PoolCapaCopy, 0u);
    }
}

TEST_F(CmdSdv, SdvOfAPairFileReportsTheTargets) {
    const std::string file = GroupFileLines({"0x5@sa 0x30@sa", "0x3@lb 0x31@lb", "0x4@sa 0x7@sa"});
    ReturnInfo ri{};
    UsePairArea(&ri, 3);
    std::string operand = file;
    EXPECT_EQ(1, zrkc_query_sdv(operand.data(), kGroup, &ri, nullptr, 0));
    EXPECT_EQ(ri.uiMessageNo, 1001u);
    ASSERT_EQ(ri.uiNeedOutputSize, 3272u);

    std::vector<unsigned char> out = Area(ri.uiNeedOutputSize);
    auto *list = reinterpret_cast<SdvStatusList *>(out.data());
    ri = Info();
    EXPECT_EQ(-1, zrkc_query_sdv(operand.data(), kGroup, &ri, list, static_cast<int>(out.size())));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_EQ(list->uiCount, 3u);
    EXPECT_EQ(list->uiFilled, 2u);
    EXPECT_STREQ(list->taEntry[0].caVolume, "0x30@sa");
    EXPECT_EQ(list->taEntry[0].SnapUsedCopy, 100u);
    EXPECT_STREQ(list->taEntry[1].caVolume, "0x31@lb");
    EXPECT_EQ(list->taEntry[1].OluNo, 0x31);
    EXPECT_EQ(list->taEntry[1].LogiTmp, 8192u);
    // The ordinary volume: its number and flags, no name, no sizes.
    EXPECT_EQ(list->taEntry[2].OluNo, 7);
    EXPECT_EQ(list->taEntry[2].Flag, 0u);
    EXPECT_EQ(list->taEntry[2].caVolume[0], '\0');
    EXPECT_EQ(list->taEntry[2].LogiTmp, 0u);
    EXPECT_EQ(Entry(0).iReturnClass, ZRKC_CLASS_OK);
    EXPECT_EQ(Entry(1).iReturnClass, ZRKC_CLASS_OK);
    EXPECT_EQ(Entry(2).iReturnClass, ZRKC_CLASS_PARAMETER);
    EXPECT_EQ(Entry(2).uiMessageNo, 1102u);
    EXPECT_STREQ(Entry(2).caMessage, "ZRKC1102 ERROR Invalid Snap Data Volume.\n");
}

TEST_F(CmdSdv, SdvRefusesAnOrdinaryVolumeAndAMissingOne) {
    std::vector<unsigned char> out = Area(8 + sizeof(SdvStatusEntry));
    auto *list = reinterpret_cast<SdvStatusList *>(out.data());
    for (const char *road : kRoads) {
        SCOPED_TRACE(road);
        std::string volume = At("0x3", road);
        ReturnInfo ri{};
        EXPECT_EQ(-1, zrkc_query_sdv(volume.data(), 0, &ri, list, static_cast<int>(out.size())));
        EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PARAMETER);
        EXPECT_EQ(ri.uiMessageNo, 1102u);
        EXPECT_STREQ(ri.caMessage, "ZRKC1102 ERROR Invalid Snap Data Volume.\n");
    }
}

TEST_F(CmdSdv, SdpIsTheSameOverBothRoads) {
    for (const char *array : {"A1", "B1"}) sim.setArray(array, "pool=1000000 poolused=500");
    SdpInfo results[2];
    for (size_t k = 0; k < 2; ++k) {
        SCOPED_TRACE(kRoads[k]);
        std::string volume = At("0x1", kRoads[k]);
        std::vector<unsigned char> out = Area(sizeof(SdpInfo) + 4);
        ReturnInfo ri{};
        ASSERT_EQ(0, zrkc_query_sdp(volume.data(), 0, &ri, reinterpret_cast<SdpInfo *>(out.data()),
                                    static_cast<int>(out.size())))
            << ri.caMessage;
        std::memcpy(&results[k], out.data(), sizeof(SdpInfo));
        EXPECT_EQ(results[k].uiBlk, 1000000u);
        EXPECT_EQ(results[k].uiBlkHostUse, 500u);
        EXPECT_EQ(results[k].uiBlkCopyUse, 100u);
        EXPECT_EQ(results[k].uiBlkEnc, 0u);
        EXPECT_EQ(results[k].uiBlkEncHostUse, 0u);
        EXPECT_EQ(results[k].uiBlkEncCopyUse, 0u);
        // The whole area is cleared, also past the record.
        EXPECT_EQ(std::vector<unsigned char>(out.end() - 4, out.end()), std::vector<unsigned char>(4, 0));
    }
}

TEST_F(CmdSdv, SdpAreaAndOptions) {
    std::string volume = "0x1@sa";
    struct Case {
        int iOption, iLength;
        int iResult, iClass;
        uint32_t uiNumber, uiNeeded;
    };
    const Case cases[] = {
        {0, 47, 1, ZRKC_CLASS_PARAMETER, 1001, 48},
        {0, -1, 1, ZRKC_CLASS_PARAMETER, 1001, 48},  // a negative length is no huge area
        {kGroup, 48, -1, ZRKC_CLASS_PARAMETER, 1010, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.iLength);
        std::vector<unsigned char> out = Area(64);
        ReturnInfo ri{};
        EXPECT_EQ(c.iResult, zrkc_query_sdp(volume.data(), c.iOption, &ri,
                                            reinterpret_cast<SdpInfo *>(out.data()), c.iLength));
        EXPECT_EQ(ri.iReturnClass, c.iClass);
        EXPECT_EQ(ri.uiMessageNo, c.uiNumber);
        EXPECT_EQ(ri.uiNeedOutputSize, c.uiNeeded);
        EXPECT_EQ(out, Area(64)); // untouched
    }
}

TEST_F(CmdSdv, QueriesRefuseMissingOperands) {
    std::string volume = "0x30@sa";
    std::vector<unsigned char> out = Area(4096);
    void *area = out.data();
    using Query = int (*)(char *, int, ReturnInfo *, void *, int);
    const Query queries[] = {
        [](char *v, int o, ReturnInfo *ri, void *a, int l) {
            return zrkc_query_estimate(v, o, ri, static_cast<EstimateList *>(a), l);
        },
        [](char *v, int o, ReturnInfo *ri, void *a, int l) {
            return zrkc_query_sdv(v, o, ri, static_cast<SdvStatusList *>(a), l);
        },
        [](char *v, int o, ReturnInfo *ri, void *a, int l) {
            return zrkc_query_sdp(v, o, ri, static_cast<SdpInfo *>(a), l);
        },
    };
    for (const Query query : queries) {
        ReturnInfo ri{};
        EXPECT_EQ(-1, query(nullptr, 0, &ri, area, 4096));
        EXPECT_EQ(ri.uiMessageNo, 1008u);
        ri = ReturnInfo{};
        EXPECT_EQ(-1, query(volume.data(), 0, &ri, nullptr, 4096));
        EXPECT_EQ(ri.uiMessageNo, 1008u);
        EXPECT_STREQ(ri.caMessage, "ZRKC1008 ERROR Parameter is not specified.\n");
        EXPECT_EQ(-1, query(volume.data(), 0, nullptr, area, 4096));
        ri = ReturnInfo{};
        EXPECT_EQ(1, query(volume.data(), 0, &ri, area, -4096)); // never cleared
        EXPECT_EQ(ri.uiMessageNo, 1001u);
        EXPECT_EQ(out, Area(4096));
    }
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_init_sdv(nullptr, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_EQ(-1, zrkc_init_sdv(volume.data(), 0, nullptr));
    EXPECT_EQ(-1, zrkc_init_sdv(volume.data(), ZRK_OPT_FORCE, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
    ri = ReturnInfo{};
    EXPECT_EQ(-1, exec_init_sdv(nullptr, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
}

TEST_F(CmdSdv, InitStartsTheInitialisationOverBothRoads) {
    for (const char *road : kRoads) {
        SCOPED_TRACE(road);
        std::string volume = At("0x31", road);
        ReturnInfo ri{};
        ASSERT_EQ(0, zrkc_init_sdv(volume.data(), 0, &ri)) << ri.caMessage;
        EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_OK);
        EXPECT_EQ(SdvOf(volume).Flag, ZRKC_SDV_FLAG_SDV | ZRKC_SDV_FLAG_INITIALIZING);
        // Not a snap data volume: the array refuses it.
        std::string plain = At("0x4", road);
        ri = ReturnInfo{};
        EXPECT_EQ(-1, zrkc_init_sdv(plain.data(), 0, &ri));
        EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PARAMETER);
        EXPECT_STREQ(ri.caMessage, "ZRKC1102 ERROR Invalid Snap Data Volume.\n");
    }
    sim.advanceClock(60);
    EXPECT_EQ(SdvOf("0x31@sa").Flag, ZRKC_SDV_FLAG_SDV);
}

TEST_F(CmdSdv, InitOfAPairFileInitialisesTheTargets) {
    const std::string file =
        GroupFileLines({"0x3@sa 0x31@sa", "0x3@lb 0x4@lb", "0x4@lb 0x31@lb"});
    ReturnInfo ri{};
    UsePairArea(&ri, 3);
    std::string operand = file;
    EXPECT_EQ(-1, zrkc_init_sdv(operand.data(), kGroup, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_STREQ(ri.caMessage,
                 "ZRKC1804 ERROR Error occurred with copy operation described in group file.\n");
    EXPECT_EQ(Entry(0).iReturnClass, ZRKC_CLASS_OK);
    EXPECT_EQ(Entry(1).uiMessageNo, 1102u);          // 0x4 is no snap data volume
    EXPECT_EQ(Entry(2).iReturnClass, ZRKC_CLASS_OK); // the walk went on
    EXPECT_EQ(SdvOf("0x31@sa").Flag, ZRKC_SDV_FLAG_SDV | ZRKC_SDV_FLAG_INITIALIZING);
    EXPECT_EQ(SdvOf("0x31@lb").Flag, ZRKC_SDV_FLAG_SDV | ZRKC_SDV_FLAG_INITIALIZING);
}

} // namespace
