// The copy query end to end against the simulator over both roads: pairs,
// group files with failing lines, volumes (with the kind, whole-array,
// failover and virtual-volume selections), SnapKZP+ generations, the three
// output levels, the version of the extended level, the volume names from
// the store, and the size of the output area.
#include "cmd_support.h"
#include "platform.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

// Sessions of A1 (in-band, alias "sa") and B1 (LAN, alias "lb") in every
// state and phase the query reports or skips.
const std::string kSessions =
    "volume B1 3 4096\n"
    "volume B1 4 4096\n"
    "volume B1 5 4096\n"
    "volume B1 6 4096\n"
    "volume A1 0x30 0x400000000\n"
    "volume A1 0x31 0x400000000\n"
    "volume A1 0x50 4096\n"
    "volume A1 0x51 4096\n"
    "session 1 vz A1 1 A1 2 size=4096 status=suspend phase=equivalent start=1705314605\n"
    "session 2 kzp A1 3 A1 4 srcext=10 size=100 dstext=200 copied=25 status=active phase=copying\n"
    "session 3 rvz A1 5 B1 1 size=4096 mode=sync,split transfer=0\n"
    "session 4 quickkzp A1 7 A1 8 size=4096 status=errorsuspend phase=trackcopy\n"
    "session 5 vz A1 9 A1 0x1a size=4096 status=idle phase=nopair\n"
    "session 6 monitor A1 20 A1 - size=2048\n"
    "session 7 vz B1 3 B1 4 size=4096 status=halt phase=copying copied=7\n"
    "session 8 snapkzp B1 5 B1 6 size=4096\n"
    "session 9 kzp A1 0x30 A1 0x31 srcext=0x100000000 size=0x280000000 dstext=0x100000000 "
    "copied=0x180000000\n"
    "session 10 kzp A1 0x50 A1 0x51 size=2048 copied=1 vvol=yes\n";

constexpr uint32_t kGroup = ZRKC_OPT_GROUP_FILE;
constexpr uint32_t kDetail = ZRKC_OPT_QUERY_DETAIL;
constexpr uint32_t kDetailEx = ZRKC_OPT_QUERY_DETAIL_EX;

class CmdQuery : public cmdtest::CommandSim {
protected:
    CmdQuery() : CommandSim(kSessions) {}

    // One query into an area of the size it needs (asked first).
    int Query(const char *source, const char *target, uint32_t option, ReturnInfo *ri) {
        ReturnInfo ask = *ri;
        const int sized = zrkc_query_copy(const_cast<char *>(source), const_cast<char *>(target),
                                          static_cast<int>(option), &ask, nullptr, 0);
        if (sized != 1 || ask.uiMessageNo != 1001) {
            *ri = ask;
            return sized;
        }
        out.assign(ask.uiNeedOutputSize, 0xAA);
        return zrkc_query_copy(const_cast<char *>(source), const_cast<char *>(target),
                               static_cast<int>(option), ri, out.data(),
                               static_cast<int>(out.size()));
    }

    const CopyQueryList &Header() const { return *reinterpret_cast<const CopyQueryList *>(out.data()); }
    const CopyQueryEntry &Normal(size_t i) const {
        return *reinterpret_cast<const CopyQueryEntry *>(out.data() + 8 + i * sizeof(CopyQueryEntry));
    }
    const CopyQueryDetailEntry &Detail(size_t i, size_t itemSize) const {
        return *reinterpret_cast<const CopyQueryDetailEntry *>(out.data() + 24 + i * itemSize);
    }
    static std::string AliasOf(const char *field) { return std::string(field, strnlen(field, 40)); }

    std::vector<unsigned char> out;
};

TEST_F(CmdQuery, OptionRulesRefuseTheForbiddenCombinations) {
    struct Case {
        uint32_t uiOption, uiEx;
        bool bRefused;
    };
    const Case cases[] = {
        {0x30000000, 0, true},   {0x40080000, 0, true}, {0x80080000, 0, true},
        {0x20040000, 0, true},   {0x8800000, 0, true},  {0x1, 0, true},
        {0x8080000, 3, true},    {0x8000000, 2, true},  {0x8080000, 1, true},
        {0x42000000, 0, false},  {0x8080000, 2, false}, {0x8000000, 1, false},
        {0, 4, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.uiOption);
        uiExOptionFlag = c.uiEx;
        ReturnInfo ri{};
        const std::string group = GroupFile("0x3@sa\n");
        const char *source = (c.uiOption & kGroup) ? group.c_str() : "0x3@sa";
        const int r = zrkc_query_copy(const_cast<char *>(source), nullptr, static_cast<int>(c.uiOption),
                                      &ri, nullptr, 0);
        if (c.bRefused) {
            EXPECT_EQ(-1, r);
            EXPECT_EQ(1010u, ri.uiMessageNo);
            EXPECT_STREQ("ZRKC1010 ERROR Specified option is invalid.\n", ri.caMessage);
        } else {
            EXPECT_NE(1010u, ri.uiMessageNo) << ri.caMessage;
        }
    }
}

TEST_F(CmdQuery, OperandsAndFormsThatDoNotFitAreRefused) {
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_query_copy(nullptr, nullptr, 0, &ri, nullptr, 0));
    EXPECT_EQ(1008u, ri.uiMessageNo);
    ri = {};
    EXPECT_EQ(-1, zrkc_query_copy(const_cast<char *>("0x3@sa"), nullptr, 0, &ri, nullptr, 8));
    EXPECT_STREQ("ZRKC1008 ERROR Parameter is not specified.\n", ri.caMessage);

    const char *k1016 = "ZRKC1016 ERROR The group file of the form not permitted was specified.\n";
    ri = {};
    EXPECT_EQ(-1, Query("0x3@sa", "0x4@sa", ZRKC_OPT_QUERY_GENERATIONS, &ri));
    EXPECT_STREQ(k1016, ri.caMessage);
    ri = {};
    EXPECT_EQ(-1, Query("0x3@sa", nullptr, ZRKC_OPT_OTHER_WAY, &ri));
    EXPECT_STREQ(k1016, ri.caMessage);
    const std::string volumes = GroupFile("0x3@sa\n0x1@sa\n");
    ri = {};
    UsePairArea(&ri, 2);
    EXPECT_EQ(-1, Query(volumes.c_str(), nullptr, kGroup, &ri));
    EXPECT_STREQ(k1016, ri.caMessage);
}

TEST_F(CmdQuery, AreaSizeIsAskedAndCheckedAtEachLevel) {
    const std::string group = GroupFileLines({"0x3@sa 0x4@sa", "0x1@sa 0x2@sa", "0x3@lb 0x4@lb"});
    struct Case {
        const char *pSource, *pTarget;
        uint32_t uiOption, uiEx;
        uint64_t ulNeeded;
    };
    const Case cases[] = {
        {"0x3@sa", "0x4@sa", 0, 0, 2184 + 8},
        {"0x3@sa", "0x4@sa", kDetail, 0, 2280 + 24},
        {group.c_str(), nullptr, kGroup, 0, 3 * 2184 + 8},
        {group.c_str(), nullptr, kGroup | kDetailEx, 0, 7704},
        {"0x3@sa", nullptr, 0, 0, 1024 * 2184 + 8},                         // the volume's maximum
        {"0x1a@sa", nullptr, 0x8080000, ZRKC_EXOPT_VVOL, 65535ull * 2560 + 24},
        {"0x1@sa", nullptr, 0x8000000, ZRKC_EXOPT_TFOP, 65535ull * 2184 + 8},
        {"0x3@sa", nullptr, ZRKC_OPT_QUERY_GENERATIONS, 0, 16 * 2184 + 16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.uiOption) + " " + c.pSource);
        uiExOptionFlag = c.uiEx;
        ReturnInfo ri{};
        UsePairArea(&ri, 3);
        EXPECT_EQ(1, zrkc_query_copy(const_cast<char *>(c.pSource), const_cast<char *>(c.pTarget),
                                     static_cast<int>(c.uiOption), &ri, nullptr, 0));
        EXPECT_EQ(ZRKC_CLASS_PARAMETER, ri.iReturnClass);
        EXPECT_STREQ("ZRKC1001 WARNING Insufficient output area.\n", ri.caMessage);
        EXPECT_EQ(c.ulNeeded, ri.uiNeedOutputSize);
        // One byte short: untouched.
        std::vector<unsigned char> small(c.ulNeeded - 1, 0xAA);
        ri.uiNeedOutputSize = 0;
        EXPECT_EQ(1, zrkc_query_copy(const_cast<char *>(c.pSource), const_cast<char *>(c.pTarget),
                                     static_cast<int>(c.uiOption), &ri, small.data(),
                                     static_cast<int>(small.size())));
        EXPECT_EQ(c.ulNeeded, ri.uiNeedOutputSize);
        EXPECT_EQ(std::vector<unsigned char>(small.size(), 0xAA), small);
    }
}

TEST_F(CmdQuery, PairQueryFillsTheNormalItemOverBothRoads) {
    struct Case {
        const char *pSource, *pTarget;
        uint32_t uiSrcOlu, uiTrgOlu;
        uint8_t ucPhase, ucStatus, ucKind;
        uint64_t ulCopied, ulSrcAddr, ulSize, ulTrgAddr;
        const char *pSrcAlias, *pTrgAlias;
    };
    const Case cases[] = {
        {"0x3:A:50@sa", "0x4:C8:50@sa", 3, 4, 1, 2, 1, 25, 10, 100, 200, "sa", "sa"},
        {"0x1@sa", "0x2@sa", 1, 2, 2, 4, 4, 0, 0, 4096, 0, "sa", "sa"},
        {"0x5@sa", "0x1@lb", 5, 1, 2, 2, 5, 0, 0, 4096, 0, "sa", "lb"},
        {"0x7@sa", "0x8@sa", 7, 8, 4, 3, 2, 0, 0, 4096, 0, "sa", "sa"},
        {"0x3@lb", "0x4@lb", 3, 4, 1, 5, 4, 7, 0, 4096, 0, "lb", "lb"},
        {"0x5@lb", "0x6@lb", 5, 6, 3, 2, 3, 0, 0, 4096, 0, "lb", "lb"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.pSource) + " " + c.pTarget);
        ReturnInfo ri{};
        ASSERT_EQ(0, Query(c.pSource, c.pTarget, 0, &ri)) << ri.caMessage;
        EXPECT_EQ(1u, Header().ItemCount);
        EXPECT_EQ(1u, Header().FilledCount);
        const CopyQueryEntry &e = Normal(0);
        EXPECT_EQ(c.uiSrcOlu, e.SrcOlu);
        EXPECT_EQ(c.uiTrgOlu, e.TrgOlu);
        EXPECT_EQ(c.ucPhase, e.Phase);
        EXPECT_EQ(c.ucStatus, e.Status);
        EXPECT_EQ(c.ucKind, e.CopyKind);
        EXPECT_EQ(c.ulCopied, e.BlkCnt);
        EXPECT_EQ(c.ulSrcAddr, e.SrcAddr);
        EXPECT_EQ(c.ulTrgAddr, e.TrgAddr);
        EXPECT_STREQ(c.pSource, e.SrcVolume);
        EXPECT_STREQ(c.pTarget, e.TrgVolume);
        EXPECT_EQ(c.pSrcAlias, AliasOf(e.SrcAlias));
        EXPECT_EQ(c.pTrgAlias, AliasOf(e.TrgAlias));
        for (uint8_t set : {e.SrcVolumeSet, e.TrgVolumeSet, e.SrcAliasSet, e.TrgAliasSet})
            EXPECT_EQ(1, set);
    }
}

TEST_F(CmdQuery, SixtyFourBitExtentsAndSizesKeepTheirHighWords) {
    ReturnInfo ri{};
    ASSERT_EQ(0, Query("0x30:100000000:5368709120@sa", "0x31:100000000:5368709120@sa", kDetail,
                       &ri))
        << ri.caMessage;
    const CopyQueryDetailEntry &e = Detail(0, 2280);
    EXPECT_EQ(0x100000000ull, e.SrcAddr);
    EXPECT_EQ(0x280000000ull, e.SrcSize);
    EXPECT_EQ(0x100000000ull, e.TrgAddr);
    EXPECT_EQ(0x180000000ull, e.BlkCnt);
}

TEST_F(CmdQuery, OtherWayRoundNamesTheSecondOperandAsSource) {
    ReturnInfo ri{};
    ASSERT_EQ(0, Query("0x4:C8:50@sa", "0x3:A:50@sa", ZRKC_OPT_OTHER_WAY, &ri)) << ri.caMessage;
    EXPECT_STREQ("0x3:A:50@sa", Normal(0).SrcVolume);
    EXPECT_STREQ("0x4:C8:50@sa", Normal(0).TrgVolume);
    EXPECT_EQ(3u, Normal(0).SrcOlu);
}

TEST_F(CmdQuery, SessionsInIdleOrReserveAndMissingOnesAreNotReported) {
    for (const auto &pair : std::vector<std::pair<const char *, const char *>>{
             {"0x9@sa", "0x1a@sa"}, {"0x1@sa", "0x4@sa"}, {"0x1@lb", "0x2@lb"}}) {
        SCOPED_TRACE(pair.first);
        ReturnInfo ri{};
        EXPECT_EQ(-1, Query(pair.first, pair.second, 0, &ri));
        EXPECT_EQ(ZRKC_CLASS_STATE, ri.iReturnClass);
        EXPECT_STREQ("ZRKC1100 ERROR Session does not exist.\n", ri.caMessage);
    }
}

TEST_F(CmdQuery, GroupLineWithoutSessionKeepsItsPlaceAndReports1804) {
    const std::string group =
        GroupFileLines({"0x3:A:50@sa 0x4:C8:50@sa", "0x9@sa 0x1a@sa", "0x3@lb 0x4@lb"});
    ReturnInfo ri{};
    UsePairArea(&ri, 3);
    ASSERT_EQ(0, Query(group.c_str(), nullptr, kGroup | kDetailEx, &ri)) << ri.caMessage;
    EXPECT_EQ(ZRKC_CLASS_GROUP_LINES, ri.iReturnClass);
    EXPECT_STREQ("ZRKC1804 ERROR Error occurred with copy operation described in group file.\n",
                 ri.caMessage);
    EXPECT_EQ(3u, Header().ItemCount);
    EXPECT_EQ(2u, Header().FilledCount);
    EXPECT_STREQ("2.0.0", Header().Version);
    EXPECT_EQ(2u, Detail(0, 2560).SrcSessionId);
    const auto *second = reinterpret_cast<const unsigned char *>(&Detail(1, 2560));
    EXPECT_EQ(std::vector<unsigned char>(2560, 0), std::vector<unsigned char>(second, second + 2560));
    EXPECT_EQ(7u, Detail(2, 2560).SrcSessionId);
    EXPECT_EQ(0, Entry(0).iReturnClass);
    EXPECT_EQ(1100u, Entry(1).uiMessageNo);
    EXPECT_STREQ("ZRKC1100 ERROR Session does not exist.\n", Entry(1).caMessage);
    EXPECT_EQ(0, Entry(2).iReturnClass);

    // Every line's session idle: no entry is usable, so no item is counted.
    const std::string reserved = GroupFileLines({"0x9@sa 0x1a@sa"});
    ri = Info();
    ASSERT_EQ(0, Query(reserved.c_str(), nullptr, kGroup, &ri)) << ri.caMessage;
    EXPECT_EQ(1804u, ri.uiMessageNo);
    EXPECT_EQ(1100u, Entry(0).uiMessageNo);
    EXPECT_EQ(0u, Header().ItemCount);
    EXPECT_EQ(0u, Header().FilledCount);

    // No line with a session: the command fails.
    const std::string none = GroupFileLines({"0x1@sa 0x4@sa", "0x1@lb 0x2@lb"});
    ri = Info();
    EXPECT_EQ(-1, Query(none.c_str(), nullptr, kGroup, &ri));
    EXPECT_EQ(1100u, ri.uiMessageNo);
}

TEST_F(CmdQuery, DetailItemsCarryModesAndTheExtendedFieldsOnlyAtEx1) {
    for (uint32_t level : {kDetail, kDetailEx}) {
        SCOPED_TRACE(level);
        const size_t size = level == kDetail ? 2280 : 2560;
        ReturnInfo ri{};
        ASSERT_EQ(0, Query("0x5@sa", "0x1@lb", level, &ri)) << ri.caMessage;
        const CopyQueryDetailEntry &e = Detail(0, size);
        EXPECT_EQ(3u, e.SrcSessionId);
        EXPECT_NE(0u, e.TrgSessionId);
        EXPECT_EQ(5, e.CopyKind);
        EXPECT_EQ(1, e.TransferMode); // sync
        EXPECT_EQ(2, e.SplitMode);    // automatic
        EXPECT_EQ(1, e.RecoveryMode); // automatic
        EXPECT_EQ(cmdtest::Box("BOXA"), std::string(e.SrcBoxID, 40));
        EXPECT_EQ(cmdtest::Box("BOXB"), std::string(e.TrgBoxID, 40));
        EXPECT_EQ(level == kDetailEx ? "2.0.0" : "", std::string(Header().Version));
    }
    // A local session has no RVZ modes; its start time is copied as it is.
    ReturnInfo ri{};
    ASSERT_EQ(0, Query("0x1@sa", "0x2@sa", kDetailEx, &ri)) << ri.caMessage;
    const CopyQueryDetailEntry &e = Detail(0, 2560);
    EXPECT_EQ(4, e.CopyKind);
    EXPECT_EQ(0, e.TransferMode + e.SplitMode + e.RecoveryMode);
    EXPECT_EQ(0x20, e.TimeStamp[0]);
    EXPECT_EQ(0x24, e.TimeStamp[1]);
}

TEST_F(CmdQuery, VolumeQuerySelectsTheVolumesSessionsOverBothRoads) {
    struct Case {
        const char *pVolume;
        uint32_t uiOption;
        std::vector<uint16_t> vIds; // reported, in order
    };
    const Case cases[] = {
        {"0x3@sa", kDetail, {2}},
        {"0x5@sa", kDetail, {3}},
        {"0x9@sa", kDetail, {}},                                    // idle only
        {"0x1@sa", kDetail | ZRKC_OPT_QUERY_KZP_ONLY, {}},
        {"0x1@sa", kDetail | ZRKC_OPT_QUERY_VZ_ONLY, {1}},
        {"0x1@sa", kDetail | ZRKC_OPT_QUERY_WHOLE_ARRAY, {1, 2, 3, 4, 6, 9}},
        {"0x1@sa", kDetail | ZRKC_OPT_QUERY_WHOLE_ARRAY | ZRKC_OPT_QUERY_KZP_ONLY, {2, 4, 6, 9}},
        {"0x4@lb", kDetail, {7}},
        {"0x1@lb", kDetail, {3}},
        {"0x2@lb", kDetail | ZRKC_OPT_QUERY_WHOLE_ARRAY | ZRKC_OPT_QUERY_VZ_ONLY, {3, 7}},
        {"0x2@lb", kDetail | ZRKC_OPT_QUERY_WHOLE_ARRAY | ZRKC_OPT_QUERY_KZP_ONLY, {8}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.pVolume) + " " + std::to_string(c.uiOption));
        ReturnInfo ri{};
        ASSERT_EQ(0, Query(c.pVolume, nullptr, c.uiOption, &ri)) << ri.caMessage;
        std::vector<uint16_t> ids;
        for (uint32_t i = 0; i < Header().ItemCount; ++i) ids.push_back(Detail(i, 2280).SrcSessionId);
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(c.vIds, ids);
        EXPECT_EQ(0u, Header().FilledCount);
    }
}

TEST_F(CmdQuery, VolumeQueryCopyKindsAliasesAndProgress) {
    ReturnInfo ri{};
    ASSERT_EQ(0, Query("0x1@sa", nullptr, ZRKC_OPT_QUERY_WHOLE_ARRAY, &ri)) << ri.caMessage;
    std::map<uint32_t, const CopyQueryEntry *> bySource;
    for (uint32_t i = 0; i < Header().ItemCount; ++i) bySource[Normal(i).SrcOlu] = &Normal(i);
    const std::map<uint32_t, uint8_t> kinds = {{1, 4}, {3, 1}, {5, 5}, {7, 2}, {0x14, 6}, {0x30, 1}};
    for (const auto &[olu, kind] : kinds) {
        SCOPED_TRACE(olu);
        ASSERT_EQ(1u, bySource.count(olu));
        const CopyQueryEntry &e = *bySource[olu];
        EXPECT_EQ(kind, e.CopyKind);
        EXPECT_EQ("sa", AliasOf(e.SrcAlias));
        EXPECT_EQ(olu == 5 ? "lb" : "sa", AliasOf(e.TrgAlias));
        EXPECT_EQ(1, e.SrcAliasSet);
        EXPECT_EQ(1, e.TrgAliasSet);
        EXPECT_EQ(0, e.SrcVolumeSet);
    }
}

TEST_F(CmdQuery, VolumeNamesComeFromTheStore) {
    // The name under which the KZP session's source and target were started.
    ASSERT_EQ(0, set_volname("/dev/sdb1", cmdtest::Box("BOXA").c_str(), 3, 0, 10, 0, 100));
    ASSERT_EQ(0, set_volname("/dev/sdb2", cmdtest::Box("BOXA").c_str(), 4, 0, 200, 0, 100));
    ReturnInfo ri{};
    ASSERT_EQ(0, Query("0x3@sa", nullptr, 0, &ri)) << ri.caMessage;
    ASSERT_EQ(1u, Header().ItemCount);
    EXPECT_STREQ("/dev/sdb1", Normal(0).SrcVolume);
    EXPECT_STREQ("/dev/sdb2", Normal(0).TrgVolume);
    EXPECT_EQ(1, Normal(0).SrcVolumeSet);
    EXPECT_EQ(1, Normal(0).TrgVolumeSet);
}

TEST_F(CmdQuery, VirtualVolumeFormReadsTheWholeArrayAtEx1) {
    uiExOptionFlag = ZRKC_EXOPT_VVOL;
    ReturnInfo ri{};
    ASSERT_EQ(0, Query("0x1@sa", nullptr, 0x8080000, &ri)) << ri.caMessage;
    EXPECT_STREQ("2.0.0", Header().Version);
    ASSERT_EQ(1u, Header().ItemCount);
    const CopyQueryDetailEntry &e = Detail(0, 2560);
    EXPECT_EQ(10u, e.SrcSessionId);
    EXPECT_EQ(0x50u, e.SrcOlu);
    EXPECT_EQ(2048u, e.SrcSize);
    EXPECT_EQ(1, e.CopyKind);
}

TEST_F(CmdQuery, CompatibleVersionChoosesTheOutputVersion) {
    const std::pair<const char *, const char *> cases[] = {
        {"1.3.7", "1.3.0"}, {"1.2.10", "1.3.0"}, {"1.4.2", "1.4.0"}, {"1.4.", "2.0.0"},
        {"1.3.a", "2.0.0"}, {"3.0", "2.0.0"},    {"", "2.0.0"},      {"1.4.2x", "2.0.0"},
    };
    for (const auto &[value, version] : cases) {
        SCOPED_TRACE(value);
        root.writeProperties(std::string("CompatibleVersion=") + value + "\n");
        release_properties();
        CopyQueryList header{};
        ReturnInfo ri{};
        ASSERT_EQ(0, check_Comp_Version(&header, &ri)) << ri.caMessage;
        EXPECT_STREQ(version, header.Version);
    }
    root.writeProperties("CompatibleVersion=1.4.9\n");
    release_properties();
    ReturnInfo ri{};
    ASSERT_EQ(0, Query("0x3:A:50@sa", "0x4:C8:50@sa", kDetailEx, &ri)) << ri.caMessage;
    EXPECT_STREQ("1.4.0", Header().Version);
}

class CmdQueryGenerations : public cmdtest::CommandSim {
protected:
    CmdQueryGenerations()
        : CommandSim("volume B1 3 4096\n"
                     "session 1 snapkzp+ A1 1 A1 2 srcext=0 size=4096 copied=100\n"
                     "session 2 snapkzp+ A1 1 A1 3 srcext=0 size=4096 copied=200\n"
                     "session 3 snapkzp+ B1 1 B1 2 srcext=0 size=4096 copied=7 status=suspend\n") {}
    std::vector<unsigned char> out;
};

TEST_F(CmdQueryGenerations, GenerationsOfOneSourceAndOfAGroupOverBothRoads) {
    const std::string group = GroupFileLines({"0x1@sa", "0x3@lb", "0x1@lb"});
    ReturnInfo ri{};
    UsePairArea(&ri, 3);
    ri.uiNeedOutputSize = 0;
    ASSERT_EQ(1, zrkc_query_copy(const_cast<char *>(group.c_str()), nullptr,
                                 static_cast<int>(ZRKC_OPT_QUERY_GENERATIONS | kGroup), &ri, nullptr, 0));
    EXPECT_EQ(8u + 3 * (16 * 2184 + 8), ri.uiNeedOutputSize);
    out.assign(ri.uiNeedOutputSize, 0);
    ri = Info();
    EXPECT_EQ(-1, zrkc_query_copy(const_cast<char *>(group.c_str()), nullptr,
                                  static_cast<int>(ZRKC_OPT_QUERY_GENERATIONS | kGroup), &ri,
                                  out.data(), static_cast<int>(out.size())));
    EXPECT_EQ(1804u, ri.uiMessageNo);
    const auto *list = reinterpret_cast<const GenerationList *>(out.data());
    EXPECT_EQ(3u, list->ItemCount);
    EXPECT_EQ(2u, list->FilledCount);
    size_t at = sizeof(GenerationList);
    const std::vector<std::vector<uint16_t>> expected = {{1, 2}, {}, {3}};
    for (size_t j = 0; j < 3; ++j) {
        SCOPED_TRACE(j);
        const auto *block = reinterpret_cast<const GenerationBlock *>(out.data() + at);
        EXPECT_EQ(16u, block->MaxGenerationsCnt);
        ASSERT_EQ(expected[j].size(), block->GenerationsCnt);
        for (uint32_t s = 0; s < block->GenerationsCnt; ++s) {
            const auto &g = *reinterpret_cast<const GenerationInfo *>(
                out.data() + at + sizeof(GenerationBlock) + s * sizeof(GenerationInfo));
            EXPECT_EQ(expected[j][s], g.SrcSesId);
            EXPECT_EQ(1u, g.SrcOlu);
            EXPECT_EQ(j == 0 ? "sa" : "lb", std::string(g.SrcAlias, strnlen(g.SrcAlias, 40)));
            EXPECT_EQ(1, g.SrcAliasSet);
            EXPECT_EQ(1, g.TrgAliasSet);
        }
        at += sizeof(GenerationBlock) + block->GenerationsCnt * sizeof(GenerationInfo);
    }
    EXPECT_EQ(0, Entry(0).iReturnClass);
    EXPECT_NE(0, Entry(1).iReturnClass);
    EXPECT_EQ(0, Entry(2).iReturnClass);

    // One source: its block alone.
    ri = {};
    ASSERT_EQ(1, zrkc_query_copy(const_cast<char *>("0x1@lb"), nullptr,
                                 static_cast<int>(ZRKC_OPT_QUERY_GENERATIONS), &ri, nullptr, 0));
    EXPECT_EQ(16u * 2184 + 16, ri.uiNeedOutputSize);
    out.assign(ri.uiNeedOutputSize, 0);
    ASSERT_EQ(0, zrkc_query_copy(const_cast<char *>("0x1@lb"), nullptr,
                                 static_cast<int>(ZRKC_OPT_QUERY_GENERATIONS), &ri, out.data(),
                                 static_cast<int>(out.size())))
        << ri.caMessage;
    EXPECT_EQ(1u, reinterpret_cast<const GenerationList *>(out.data())->ItemCount);
    const auto &g = *reinterpret_cast<const GenerationInfo *>(out.data() + 16);
    EXPECT_EQ(3u, g.SrcSesId);
    EXPECT_EQ(4, g.Status);
    EXPECT_EQ(7u, g.BlkCnt);
    EXPECT_EQ(2u, g.TrgOlu);
}

// Sizes that no area length can hold end with 1106 instead of a size that
// has lost its high bits.
class CmdQueryHugeArea : public cmdtest::CommandSim {
protected:
    CmdQueryHugeArea() : CommandSim("", " generations=32767") {}
};

TEST_F(CmdQueryHugeArea, GenerationAreaBeyondThirtyOneBitsIsRefused) {
    // 31 sources of 32767 generations: 8 + 31 x (32767 x 2184 + 8) bytes.
    const std::string group = GroupFileLines(std::vector<std::string>(31, "0x1@sa"));
    ReturnInfo ri{};
    UsePairArea(&ri, 31);
    EXPECT_EQ(-1, zrkc_query_copy(const_cast<char *>(group.c_str()), nullptr,
                                  static_cast<int>(ZRKC_OPT_QUERY_GENERATIONS | kGroup), &ri, nullptr, 0));
    EXPECT_EQ(ZRKC_CLASS_MEMORY, ri.iReturnClass);
    EXPECT_EQ(1106u, ri.uiMessageNo);
    // 30 of them still fit: the size is asked as usual.
    const std::string fits = GroupFileLines(std::vector<std::string>(30, "0x1@sa"));
    ri = Info();
    EXPECT_EQ(1, zrkc_query_copy(const_cast<char *>(fits.c_str()), nullptr,
                                 static_cast<int>(ZRKC_OPT_QUERY_GENERATIONS | kGroup), &ri, nullptr, 0));
    EXPECT_EQ(8u + 30u * (32767u * 2184u + 8u), ri.uiNeedOutputSize);
}

} // namespace

namespace {

// A storage cluster: F1 (primary, the failover array) and its partner P1,
// which announces failover and is reached through a disk of a volume
// outside the cluster's roles. The failover session mirrors F1:1 to P1:1.
class CmdQueryFailover : public cmdtest::CommandSim {
protected:
    CmdQueryFailover()
        : CommandSim("volume P1 2 4096\n"
                     "disk /dev/sdh 8:112 P1 2\n"
                     "session 1 failover F1 1 P1 1 size=4096\n"
                     "session 2 vz A1 1 A1 2 size=4096\n") {}

    void SetUp() override {
        CommandSim::SetUp();
        if (HasFatalFailure()) return;
        // P1 over the LAN as alias "pl".
        ASSERT_NO_FATAL_FAILURE(LogIn("10.0.0.8"));
        ASSERT_NO_FATAL_FAILURE(AddLanRoute("10.0.0.8", "BOXP"));
        Rename("BOXP", "pl");
        // P1:1 stands by in F1's failover group.
        sim.commandOk("role P1 2 group=3 olu=1");
    }
};

TEST_F(CmdQueryFailover, FailoverFormListsTheClustersMirrorsOverBothRoads) {
    uiExOptionFlag = ZRKC_EXOPT_TFOP;
    std::vector<unsigned char> out;
    for (const char *volume : {"/dev/sdh", "0x2@pl"}) {
        SCOPED_TRACE(volume);
        ReturnInfo ask{};
        ASSERT_EQ(1, zrkc_query_copy(const_cast<char *>(volume), nullptr,
                                     ZRKC_OPT_QUERY_WHOLE_ARRAY, &ask, nullptr, 0))
            << ask.caMessage;
        out.assign(ask.uiNeedOutputSize, 0xAA);
        ReturnInfo ri{};
        ASSERT_EQ(0, zrkc_query_copy(const_cast<char *>(volume), nullptr,
                                     ZRKC_OPT_QUERY_WHOLE_ARRAY, &ri, out.data(),
                                     static_cast<int>(out.size())))
            << ri.caMessage;
        const auto &header = *reinterpret_cast<const CopyQueryList *>(out.data());
        ASSERT_EQ(1u, header.ItemCount);
        const auto &e = *reinterpret_cast<const CopyQueryEntry *>(out.data() + 8);
        EXPECT_EQ(1u, e.SrcOlu);
        EXPECT_EQ(1u, e.TrgOlu);
        EXPECT_EQ(4096u, e.SrcSize);
    }

    // An array outside any storage cluster has no failover list.
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_query_copy(const_cast<char *>("0x1@sa"), nullptr,
                                  ZRKC_OPT_QUERY_WHOLE_ARRAY, &ri, out.data(),
                                  static_cast<int>(out.size())));
    EXPECT_EQ(1202u, ri.uiMessageNo) << ri.caMessage;
    uiExOptionFlag = 0;
}

} // namespace

namespace {

// The same sessions of B1 read over both roads, in-band through its disk
// /dev/sde and over the LAN through alias "lb", at Detail_EX1 after the
// array's clock has moved on: every item is the same byte for byte, the
// elapsed time included.
TEST_F(CmdQuery, BothRoadsReportTheSameSessionsAtDetailEx1) {
    sim.addSession("11 snapkzp+ B1 2 B1 6 size=4096 copied=300");
    sim.advanceClock(30);
    std::vector<std::vector<unsigned char>> roads;
    for (const char *volume : {"/dev/sde", "0x1@lb"}) {
        SCOPED_TRACE(volume);
        ReturnInfo ri{};
        ASSERT_EQ(0, Query(volume, nullptr, ZRKC_OPT_QUERY_WHOLE_ARRAY | kDetailEx, &ri)) << ri.caMessage;
        roads.push_back(out);
    }
    const auto header = [](const std::vector<unsigned char> &area) {
        return *reinterpret_cast<const CopyQueryList *>(area.data());
    };
    ASSERT_EQ(header(roads[0]).ItemCount, header(roads[1]).ItemCount);
    const uint32_t items = header(roads[0]).ItemCount;
    ASSERT_EQ(4u, items); // the RVZ into B1, the halted VZ, the SnapKZP, the SnapKZP+
    EXPECT_STREQ(header(roads[0]).Version, header(roads[1]).Version);
    constexpr size_t kItem = 2560;
    bool elapsedSeen = false;
    for (uint32_t i = 0; i < items; ++i) {
        SCOPED_TRACE(i);
        const unsigned char *a = roads[0].data() + 24 + i * kItem;
        const unsigned char *b = roads[1].data() + 24 + i * kItem;
        const auto &inBand = *reinterpret_cast<const CopyQueryDetailEntry *>(a);
        const auto &lan = *reinterpret_cast<const CopyQueryDetailEntry *>(b);
        EXPECT_EQ(inBand.SrcSessionId, lan.SrcSessionId);
        EXPECT_EQ(inBand.CopyKind, lan.CopyKind);
        EXPECT_EQ(inBand.Status, lan.Status);
        EXPECT_EQ(inBand.Phase, lan.Phase);
        EXPECT_EQ(inBand.LpsTime, lan.LpsTime);
        EXPECT_EQ(inBand.CopyProgress, lan.CopyProgress);
        EXPECT_EQ(inBand.TfoInfo, lan.TfoInfo);
        EXPECT_EQ(inBand.TfoGroupNo, lan.TfoGroupNo);
        EXPECT_EQ(0, std::memcmp(inBand.TimeStamp, lan.TimeStamp, sizeof inBand.TimeStamp));
        // And every other byte of the item.
        for (size_t k = 0; k < kItem; ++k) EXPECT_EQ(a[k], b[k]) << "byte " << k;
        elapsedSeen = elapsedSeen || inBand.LpsTime == 30;
    }
    EXPECT_TRUE(elapsedSeen);
}

} // namespace

namespace {

// Option 0x40000 reports a SnapKZP session (no SnapKZP+ flag) as copy kind
// 7, on the pair and the volume query; a SnapKZP+ session stays 3.
TEST_F(CmdQuery, SnapKzpOptionReportsKindSeven) {
    sim.addSession("11 snapkzp+ B1 2 B1 4 size=4096");
    struct Case {
        const char *pSource, *pTarget;
        uint32_t uiOption;
        uint8_t ucKind;
    };
    const Case cases[] = {
        {"0x5@lb", "0x6@lb", 0, ZRKC_QKIND_SNAPKZP},
        {"0x5@lb", "0x6@lb", ZRKC_OPT_QUERY_SNAPKZP_7, ZRKC_QKIND_SNAPKZP_ONLY},
        {"0x5@lb", nullptr, ZRKC_OPT_QUERY_SNAPKZP_7, ZRKC_QKIND_SNAPKZP_ONLY},
        {"0x2@lb", "0x4@lb", ZRKC_OPT_QUERY_SNAPKZP_7, ZRKC_QKIND_SNAPKZP},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.pSource) + " " + std::to_string(c.uiOption));
        ReturnInfo ri{};
        ASSERT_EQ(0, Query(c.pSource, c.pTarget, c.uiOption, &ri)) << ri.caMessage;
        ASSERT_EQ(1u, Header().ItemCount);
        EXPECT_EQ(c.ucKind, Normal(0).CopyKind);
    }
    EXPECT_EQ(7, ZRKC_QKIND_SNAPKZP_ONLY);
}

} // namespace

namespace {

// -odx (0x200000) reads the detail list in its extended form on the volume
// and the pair query: selection byte 0x01 in-band, "-mode 1" over the LAN.
TEST_F(CmdQuery, OdxReadsTheExtendedDetailList) {
    struct Case {
        const char *pSource, *pTarget;
        bool bLan;
    };
    const Case cases[] = {
        {"0x1@sa", "0x2@sa", false}, {"0x1@sa", nullptr, false},
        {"0x5@lb", "0x6@lb", true},  {"0x5@lb", nullptr, true},
    };
    for (const Case &c : cases) {
        for (uint32_t option : {0u, static_cast<uint32_t>(ZRKC_OPT_QUERY_EXT_LIST)}) {
            SCOPED_TRACE(std::string(c.pSource) + (c.pTarget ? " pair " : " volume ") +
                         std::to_string(option));
            sim.clearLog();
            iptest::LanCommands(sim);
            ReturnInfo ri{};
            ASSERT_EQ(0, Query(c.pSource, c.pTarget, option, &ri)) << ri.caMessage;
            EXPECT_EQ(1u, Header().ItemCount);
            const bool ext = option != 0;
            if (c.bLan) {
                size_t lists = 0;
                for (const std::string &command : iptest::LanCommands(sim)) {
                    if (command.rfind("show copy-sessions", 0) != 0) continue;
                    ++lists;
                    EXPECT_EQ(command.find("-mode 1") != std::string::npos, ext) << command;
                }
                EXPECT_GE(lists, 1u);
            } else {
                size_t lists = 0;
                for (const zrksim::CdbRecord &r : sim.cdbLog()) {
                    if (r.cdb.size() < 4 || r.cdb[2] != 0x43) continue;
                    ++lists;
                    EXPECT_EQ(r.cdb[3] & 0x7F, ext ? 0x01 : 0x00);
                }
                EXPECT_GE(lists, 1u);
            }
        }
    }
}

} // namespace
