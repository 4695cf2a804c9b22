// Volume resolution against the simulator over both roads: device names
// (SCSI), alias and extent forms through an alias reached in-band ("sa") or
// over the LAN ("lb"), the sizes and overlaps of a pair, the fall-back to
// the target's route, and the names and aliases that are refused.
#include "cmd_support.h"

#include <string>

namespace {

using cmdtest::Box;

class CmdResolve : public cmdtest::CommandSim {};

struct Good {
    const char *pSource;
    const char *pTarget;      // nullptr: a volume without target
    const char *pAccess;      // the access volume
    uint8_t ucTransport;
    uint8_t ucByTarget;
    uint8_t ucKind;           // target kind (0xFF without target)
    const char *pSrcBox, *pTrgBox;
    uint32_t uiSrcOlu, uiTrgOlu;
    uint64_t ulSrcAddr, ulTrgAddr, ulSrcSize, ulCopySize, ulTrgSize;
};

uint64_t Join(uint32_t h, uint32_t l) { return uint64_t{h} << 32 | l; }

TEST_F(CmdResolve, NamesResolveOverBothRoads) {
    constexpr uint64_t kNo = 0xFFFFFFFFFFFFFFFFull;
    const Good cases[] = {
        // device names: partitions of one disk side by side
        {"/dev/sdb1", "/dev/sdb2", "/dev/sdb1", 0, 0, 1, "BOXA", "BOXA", 1, 1, 0, 1000, 1000, 1000, 1000},
        {"/dev/sdb", "/dev/sdc", "/dev/sdb", 0, 0, 1, "BOXA", "BOXA", 1, 2, 0, 0, 4096, 4096, 4096},
        // alias form in-band and over the LAN; hexadecimal OLUs with and without 0x
        {"0x1@sa", "0x2@sa", "/dev/sdb", 0, 0, 3, "BOXA", "BOXA", 1, 2, 0, 0, 4096, 4096, 4096},
        {"0x1a@sa", "0x01@sa", "/dev/sdb", 0, 0, 3, "BOXA", "BOXA", 0x1A, 1, 0, 0, 4096, 4096, 4096},
        {"0x1@lb", "0x002@lb", "10.0.0.6", 1, 0, 3, "BOXB", "BOXB", 1, 2, 0, 0, 4096, 4096, 4096},
        // extent form: ".5" is one block more, the start is hexadecimal
        {"0x1:100:10.5@sa", "0x2:0:10.5@sa", "/dev/sdb", 0, 0, 4, "BOXA", "BOXA", 1, 2, 0x100, 0, 21, 21, 21},
        {"0x1:0:10.0@lb", "0x2:A:10@lb", "10.0.0.6", 1, 0, 4, "BOXB", "BOXB", 1, 2, 0, 10, 20, 20, 20},
        // adjacent extents of one logical unit
        {"0x1:0:50@sa", "0x1:64:50@sa", "/dev/sdb", 0, 0, 4, "BOXA", "BOXA", 1, 1, 0, 100, 100, 100, 100},
        // a source of size 0 takes the target's size
        {"0x1:0:0@sa", "0x2:0:50@sa", "/dev/sdb", 0, 0, 4, "BOXA", "BOXA", 1, 2, 0, 0, 100, 0, 100},
        // the source's alias has no route: the pair goes through the target
        {"0x1@nc", "0x2@sa", "/dev/sdb", 0, 1, 3, "BOXC", "BOXA", 1, 2, 0, 0, 4096, 0, 4096},
        {"0x1@nc", "0x2@lb", "10.0.0.6", 1, 1, 3, "BOXC", "BOXB", 1, 2, 0, 0, 4096, 0, 4096},
        // between arrays through the source
        {"0x5@sa", "0x1@lb", "/dev/sdb", 0, 0, 3, "BOXA", "BOXB", 5, 1, 0, 0, 4096, 4096, 4096},
        // one volume
        {"/dev/sdc", nullptr, "/dev/sdc", 0, 0, 0xFF, "BOXA", nullptr, 2, 0xFFFFFFFF, 0, kNo, 4096, 4096, 0},
        {"0x2@lb", nullptr, "10.0.0.6", 1, 0, 0xFF, "BOXB", nullptr, 2, 0xFFFFFFFF, 0, kNo, 4096, 4096, 0},
    };
    for (const Good &c : cases) {
        SCOPED_TRACE(std::string(c.pSource) + " -> " + (c.pTarget ? c.pTarget : "(none)"));
        const cmdtest::Resolved r = Resolve(c.pSource, c.pTarget);
        ASSERT_EQ(r.iResult, 0) << r.tInfo.caMessage;
        const CopyPair &p = r.tPair;
        EXPECT_EQ(r.tInfo.iReturnClass, 0);
        EXPECT_STREQ(r.tInfo.caMessage, "");
        EXPECT_STREQ(p.caAccessVolume, c.pAccess);
        EXPECT_EQ(p.ucTransport, c.ucTransport);
        EXPECT_EQ(p.ucByTarget, c.ucByTarget);
        EXPECT_EQ(p.ucVolumeKind, c.ucKind);
        EXPECT_EQ(std::string(p.caSrcBoxID, ZRK_BOXID_LEN), Box(c.pSrcBox));
        const std::string trgBox =
            c.pTrgBox != nullptr ? Box(c.pTrgBox) : std::string(ZRK_BOXID_LEN, '\xFF');
        EXPECT_EQ(std::string(p.caTrgBoxID, ZRK_BOXID_LEN), trgBox);
        EXPECT_EQ(p.SrcOlu, c.uiSrcOlu);
        EXPECT_EQ(p.TrgOlu, c.uiTrgOlu);
        EXPECT_EQ(Join(p.SrcAddr_h, p.SrcAddr_l), c.ulSrcAddr);
        EXPECT_EQ(Join(p.TrgAddr_h, p.TrgAddr_l), c.ulTrgAddr);
        EXPECT_EQ(Join(p.SrcSize_h, p.SrcSize_l), c.ulSrcSize);
        EXPECT_EQ(Join(p.CopySize_h, p.CopySize_l), c.ulCopySize);
        EXPECT_EQ(Join(p.TrgSize_h, p.TrgSize_l), c.ulTrgSize);
        EXPECT_EQ(p.uhMaxSessions, 1024u);
        EXPECT_EQ(p.uhGenerations, 16u);
        EXPECT_EQ(list.pPairs->uiCount, 1u);
        ASSERT_NE(list.pSubgroups, nullptr);
        EXPECT_EQ(list.pSubgroups->uiPairCount, 1u);
    }
}

struct Bad {
    const char *pSource;
    const char *pTarget;
    int iClass;
    uint32_t uiNumber;
    const char *pMessage; // nullptr: not compared
};

TEST_F(CmdResolve, RefusedNamesAndPairs) {
    const std::string longAlias = "0x1@" + std::string(43, 'a'); // 47 characters: alias too long
    const std::string tooLong = "0x1@" + std::string(44, 'a');   // 48 characters
    const Bad cases[] = {
        {"a", "/dev/sdc", 3, 1002, "ZRKC1002 ERROR Invalid logical volume name. Volume name=(a).\n"},
        {tooLong.c_str(), "0x2@sa", 3, 1002, nullptr},
        {longAlias.c_str(), "0x2@sa", 3, 1002, nullptr},
        {"0x0001a@sa", "0x2@sa", 3, 1002, nullptr},  // OLU of 7 characters
        {"0xg@sa", "0x2@sa", 3, 1002, nullptr},
        {"0x1@nosuch", "0x2@sa", 3, 1002,
         "ZRKC1002 ERROR Invalid logical volume name. Volume name=(0x1@nosuch).\n"},
        // the extent form: signs, blanks, half digits, missing alias
        {"0x1:-64:50@sa", "0x2:0:50@sa", 3, 1002, nullptr},
        {"0x1:+64:50@sa", "0x2:0:50@sa", 3, 1002, nullptr},
        {"0x1: 64:50@sa", "0x2:0:50@sa", 3, 1002, nullptr},
        {"0x1:0:-50@sa", "0x2:0:50@sa", 3, 1002, nullptr},
        {"0x1:0:9223372036854775808@sa", "0x2:0:50@sa", 3, 1002, nullptr},
        {"0x1:10000000000000000:5@sa", "0x2:0:5@sa", 3, 1002, nullptr},
        {"0x1:0:10.3@sa", "0x2:0:10@sa", 3, 1002, nullptr},
        {"0x1:0:10.@sa", "0x2:0:10@sa", 3, 1002, nullptr},
        {"0x1:0:10", "0x2:0:10@sa", 3, 1002, nullptr},
        {"0x1:0@sa", "0x2:0:10@sa", 3, 1002, nullptr},
        // kinds that differ within a pair: the source is named
        {"/dev/sdb", "0x2@sa", 3, 1002,
         "ZRKC1002 ERROR Invalid logical volume name. Volume name=(/dev/sdb).\n"},
        // overlaps on one logical unit (1014), also near the end of 64 bits
        {"/dev/sdb1", "/dev/sdb3", 3, 1014, "ZRKC1014 ERROR Target volume overlap source volume.\n"},
        {"0x1:0:50@sa", "0x1:63:50@sa", 3, 1014, nullptr},
        {"0x1@sa", "0x1@sa", 3, 1014, nullptr},
        {"0x1:FFFFFFFFFFFFFFC4:50@sa", "0x1:FFFFFFFFFFFFFFE2:50@sa", 3, 1014, nullptr},
        {"0x1:FFFFFFFFFFFFFFE2:50@sa", "0x1:FFFFFFFFFFFFFFC4:50@sa", 3, 1014, nullptr},
        {"0x1:0:0@sa", "0x1:64:0@sa", 3, 1014, nullptr},  // size 0: the rest of the unit
        // too-small targets (1013)
        {"0x1:0:100@sa", "0x2:0:50@sa", 3, 1013, "ZRKC1013 ERROR Target volume size mismatch.\n"},
        {"/dev/sdb", "/dev/sdd", 3, 1013, nullptr},
        {"0x1@sa", "0x14@sa", 3, 1013, nullptr},
        // no side reachable
        {"0x1@nc", "0x1@nc", 10, 1600,
         "ZRKC1600 ERROR VASTREL is not registered on VASTREL management file.\n"},
        {"0x1:0:5@nc", nullptr, 10, 1600, nullptr},
    };
    for (const Bad &c : cases) {
        SCOPED_TRACE(std::string(c.pSource) + " -> " + (c.pTarget ? c.pTarget : "(none)"));
        const cmdtest::Resolved r = Resolve(c.pSource, c.pTarget);
        EXPECT_EQ(r.iResult, -1);
        EXPECT_EQ(r.tInfo.iReturnClass, c.iClass);
        EXPECT_EQ(r.tInfo.uiMessageNo, c.uiNumber) << r.tInfo.caMessage;
        if (c.pMessage != nullptr) {
            EXPECT_STREQ(r.tInfo.caMessage, c.pMessage);
        } else if (c.uiNumber == 1002) {
            EXPECT_NE(std::string(r.tInfo.caMessage).find(std::string("=(") + c.pSource + ")"),
                      std::string::npos)
                << r.tInfo.caMessage;
        }
        EXPECT_EQ(list.pPairs, nullptr);
    }
}

TEST_F(CmdResolve, PointInTheAliasNeedsTheHalfDigit) {
    Rename("BOXA", "s.a");
    const cmdtest::Resolved bad = Resolve("0x1:0:10@s.a", "0x2:0:10@s.a");
    EXPECT_EQ(bad.iResult, -1);
    EXPECT_EQ(bad.tInfo.uiMessageNo, 1002u);
    const cmdtest::Resolved good = Resolve("0x1:0:10.0@s.a", "0x2:0:10.0@s.a");
    ASSERT_EQ(good.iResult, 0) << good.tInfo.caMessage;
    EXPECT_EQ(good.tPair.SrcSize_l, 20u);
}

TEST_F(CmdResolve, DirectionOneSwapsTheSides) {
    const cmdtest::Resolved r = Resolve("0x2@lb", "0x1@sa", 1);
    ASSERT_EQ(r.iResult, 0) << r.tInfo.caMessage;
    EXPECT_EQ(std::string(r.tPair.caSrcBoxID, ZRK_BOXID_LEN), Box("BOXA"));
    EXPECT_EQ(r.tPair.SrcOlu, 1u);
    EXPECT_EQ(std::string(r.tPair.caTrgBoxID, ZRK_BOXID_LEN), Box("BOXB"));
    EXPECT_EQ(r.tPair.TrgOlu, 2u);
    EXPECT_STREQ(r.tPair.caAccessVolume, "/dev/sdb");
    EXPECT_EQ(list.iDirection, 1);
}

TEST_F(CmdResolve, StorageClusterRoleOfADevice) {
    const cmdtest::Resolved r = Resolve("/dev/sdf", nullptr);
    EXPECT_EQ(r.iResult, -1);
    EXPECT_EQ(r.tInfo.uiMessageNo, 1217u);
    EXPECT_NE(std::string(r.tInfo.caMessage).find("ZRKC1217"), std::string::npos) << r.tInfo.caMessage;
}

TEST_F(CmdResolve, AccessPathOptionSendsThroughTheNamedAlias) {
    ZrkcAccessPath_Flag = 1;
    std::strcpy(ZrkcAccessPath, "lb");
    const cmdtest::Resolved r = Resolve("0x5@sa", "0x1@lb");
    ASSERT_EQ(r.iResult, 0) << r.tInfo.caMessage;
    EXPECT_STREQ(r.tPair.caAccessVolume, "10.0.0.6");
    EXPECT_EQ(r.tPair.ucTransport, 1);
    EXPECT_EQ(r.tPair.ucByTarget, 1);
    // The source's own size is not read: it takes the target's.
    EXPECT_EQ(r.tPair.SrcSize_l, 4096u);

    std::strcpy(ZrkcAccessPath, "nc");
    const cmdtest::Resolved none = Resolve("0x1@nc", "0x2@sa");
    EXPECT_EQ(none.iResult, -1);
    EXPECT_EQ(none.tInfo.iReturnClass, 1);
    EXPECT_EQ(none.tInfo.uiMessageNo, 1035u);

    std::strcpy(ZrkcAccessPath, "xx");
    const cmdtest::Resolved neither = Resolve("0x5@sa", "0x1@lb");
    EXPECT_EQ(neither.iResult, -1);
    EXPECT_EQ(neither.tInfo.uiMessageNo, 1034u);
}

TEST_F(CmdResolve, StatusReadFailsThroughTheRoute) {
    // B1 has no OLU 7: its status read over the LAN fails.
    const cmdtest::Resolved r = Resolve("0x7@lb", nullptr);
    EXPECT_EQ(r.iResult, -1);
    EXPECT_NE(r.tInfo.uiMessageNo, 0u);
    EXPECT_EQ(list.pPairs, nullptr);
}

TEST_F(CmdResolve, GroupFileNamesGoToTheirResults) {
    std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(2), 0);
    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    ASSERT_EQ(0, BuildAndResolve({{"0x1@sa", "0x2@sa"}, {"0x2@lb", "0x1@sa"}}, 0, &ri, true))
        << ri.caMessage;
    uint32_t count = 0;
    std::memcpy(&count, area.data(), 4);
    EXPECT_EQ(count, 2u);
    const auto *entries = reinterpret_cast<const PairResult *>(area.data() + 4);
    EXPECT_STREQ(entries[0].caSource, "0x1@sa");
    EXPECT_STREQ(entries[0].caTarget, "0x2@sa");
    EXPECT_STREQ(entries[1].caSource, "0x2@lb");
    EXPECT_STREQ(entries[1].caTarget, "0x1@sa");
    // Two arrays, two subgroups.
    EXPECT_EQ(list.pSubgroups->uiSubgroups, 2u);
}

} // namespace

namespace {

// An alias whose LAN route leads to no array: its reads fail.
class CmdResolveBrokenRoute : public cmdtest::CommandSim {
protected:
    void SetUp() override {
        CommandSim::SetUp();
        ASSERT_NO_FATAL_FAILURE(AddLanRoute("10.0.0.99", "BOXQ"));
        Rename("BOXQ", "lq");
    }
};

TEST_F(CmdResolveBrokenRoute, FailingRouteFallsBackToTheOtherSide) {
    // The source's route fails: the pair goes through the target.
    const cmdtest::Resolved viaTarget = Resolve("0x1@lq", "0x2@sa");
    ASSERT_EQ(viaTarget.iResult, 0) << viaTarget.tInfo.caMessage;
    EXPECT_STREQ(viaTarget.tPair.caAccessVolume, "/dev/sdb");
    EXPECT_EQ(viaTarget.tPair.ucTransport, 0);
    EXPECT_EQ(viaTarget.tPair.ucByTarget, 1);
    EXPECT_EQ(viaTarget.tPair.SrcSize_l, 4096u);
    EXPECT_EQ(viaTarget.tInfo.uiMessageNo, 0u);
    EXPECT_STREQ(viaTarget.tInfo.caMessage, "");

    // The target's route fails: the source's own route carries the pair.
    const cmdtest::Resolved viaSource = Resolve("0x2@sa", "0x1@lq");
    ASSERT_EQ(viaSource.iResult, 0) << viaSource.tInfo.caMessage;
    EXPECT_STREQ(viaSource.tPair.caAccessVolume, "/dev/sdb");
    EXPECT_EQ(viaSource.tPair.ucByTarget, 0);

    // Both fail: the call ends with the failure.
    const cmdtest::Resolved none = Resolve("0x1@lq", "0x2@lq");
    EXPECT_EQ(none.iResult, -1);
    EXPECT_NE(none.tInfo.uiMessageNo, 0u);
    EXPECT_EQ(list.pPairs, nullptr);

    // A source without route after a failed target: the target's failure.
    const cmdtest::Resolved saved = Resolve("0x1@nc", "0x2@lq");
    EXPECT_EQ(saved.iResult, -1);
    EXPECT_EQ(saved.tInfo.uiMessageNo, none.tInfo.uiMessageNo);
}

} // namespace

namespace {

// An alias whose SCSI route is a disk of a storage-cluster array: a volume
// reached through it, or a pair whose both sides are, ends with the
// catalogue's 1216; a pair whose other side is reachable goes through that
// side, and the warning leaves no trace in the result.
TEST_F(CmdResolve, StorageClusterRoleThroughAnAlias) {
    const unsigned char zeros[16] = {};
    ReturnInfo ri{};
    ASSERT_EQ(0, com_set_alias("/dev/sdf", zeros, zeros, RemoteList("BOXF").data(), 0, ZRKC_ALIAS_IF_SCSI,
                               nullptr, nullptr, &ri))
        << ri.caMessage;
    Rename("BOXF", "fc");
    for (const auto &[source, target] : std::vector<std::pair<const char *, const char *>>{
             {"0x1@fc", nullptr}, {"0x1@fc", "0x2@fc"}}) {
        SCOPED_TRACE(std::string(source) + " " + (target ? target : ""));
        const cmdtest::Resolved r = Resolve(source, target);
        EXPECT_EQ(r.iResult, -1);
        EXPECT_EQ(r.tInfo.iReturnClass, 6);
        EXPECT_EQ(r.tInfo.uiMessageNo, 1216u);
        EXPECT_STREQ(r.tInfo.caMessage,
                     "ZRKC1216 ERROR A logical volume in a storage cluster cannot be used as the access path.\n");
    }
    for (const auto &[source, target] : std::vector<std::pair<const char *, const char *>>{
             {"0x1@fc", "0x1@sa"}, {"0x1@sa", "0x1@fc"}}) {
        SCOPED_TRACE(std::string(source) + " " + target);
        const cmdtest::Resolved r = Resolve(source, target);
        ASSERT_EQ(r.iResult, 0) << r.tInfo.caMessage;
        EXPECT_STREQ(r.tPair.caAccessVolume, "/dev/sdb");
        EXPECT_EQ(r.tInfo.uiMessageNo, 0u);
        EXPECT_STREQ(r.tInfo.caMessage, "");
    }
}

} // namespace

namespace {

// Both sides on one array: the target's route fails with 2120 (the array
// ends the login), then the source's with 1905 (no login left); the call
// reports the target's 2120, the cause, rather than the source's 1905.
TEST_F(CmdResolve, EqualBoxIdsReportTheTargetsConnectionLimit) {
    sim.commandOk("lanreply 1 01\\n9403\\nsession ended\\n");
    const cmdtest::Resolved r = Resolve("0x1@lb", "0x2@lb");
    EXPECT_EQ(r.iResult, -1);
    EXPECT_EQ(r.tInfo.uiMessageNo, 2120u);
    EXPECT_STREQ(r.tInfo.caMessage,
                 "ZRKC2120 ERROR The number of connections has reached the maximum number allowed.\n");
    EXPECT_EQ(iptest::LanOperations(sim), (std::vector<std::string>{"proc", "force_close", "proc"}))
        << "the source side was tried too";

    // What the source side met on its own.
    char access[ZRK_VOLNAME_LEN] = {};
    char box[ZRK_BOXID_LEN] = {};
    uint32_t olu = 0, eh = 0, el = 0, sh = 0, sl = 0;
    VOL_INFO info{};
    uint8_t transport = 0;
    ReturnInfo ri{};
    EXPECT_NE(0, com_volume_alias("0x1@lb", access, box, &olu, &eh, &el, &sh, &sl, &info, &transport, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1905u) << ri.caMessage;
}

} // namespace
