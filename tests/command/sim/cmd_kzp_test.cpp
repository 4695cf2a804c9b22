// The KZP-family starts and the SnapKZP+ restore end to end against the
// simulator over both roads: the three starts and the names they record,
// the restart of a tracking QuickKZP session, the estimate start, the
// concurrent start of a group file, the option refusals, and the restore
// with its pool check.
#include "cmd_kzp_support.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using kzptest::Text;

constexpr int kGroup = ZRKC_OPT_GROUP_FILE;

class CmdKzpStart : public kzptest::CmdKzp {};

TEST_F(CmdKzpStart, EachStartOverBothRoadsAndTheNamesItRecords) {
    using Command = int (*)(char *, char *, int, ReturnInfo *);
    struct Case {
        Command pStart, pStop;
        int iStopOption;
        const char *pKind;
        bool bRecords;
        int iTarget; // a snapshot's target is a snap data volume
    };
    const Case kinds[] = {
        {zrkc_start_kzp, zrkc_stop_kzp, ZRK_OPT_FORCE, "kzp", false, 2},
        {zrkc_start_quickkzp, zrkc_stop_quickkzp, ZRK_OPT_FORCE, "quickkzp", true, 2},
        {zrkc_start_snapkzp, zrkc_stop_snapkzp, 0, "snapkzp+", true, 5},
    };
    const char *roads[][2] = {{"ss", "S1"}, {"tl", "T1"}};
    for (const Case &c : kinds) {
        for (const auto &road : roads) {
            const std::string source = std::string("0x1@") + road[0];
            const std::string target = "0x" + std::to_string(c.iTarget) + "@" + road[0];
            const std::string pair = std::string(road[1]) + ":1>" + road[1] + ":" +
                                     std::to_string(c.iTarget);
            SCOPED_TRACE(std::string(c.pKind) + " " + source);
            ReturnInfo ri{};
            ASSERT_EQ(0, c.pStart(Text(source), Text(target), 0, &ri)) << ri.caMessage;
            EXPECT_EQ(ri.iReturnClass, 0);
            EXPECT_EQ(Kind(Session(road[1], pair)), c.pKind);
            EXPECT_EQ(Stored(source.c_str(), target.c_str(), false), c.bRecords ? source : "");
            EXPECT_EQ(Stored(source.c_str(), target.c_str(), true), c.bRecords ? target : "");

            ASSERT_EQ(0, c.pStop(Text(source), Text(target), c.iStopOption, &ri)) << ri.caMessage;
            EXPECT_EQ(Session(road[1], pair), "");
            EXPECT_EQ(Stored(source.c_str(), target.c_str(), false), "");
            EXPECT_EQ(Stored(source.c_str(), target.c_str(), true), "");
        }
    }
}

class CmdKzpTracking : public kzptest::CmdKzp {
protected:
    CmdKzpTracking()
        : CmdKzp("session 1 quickkzp S1 1 S1 2 size=4096 phase=tracking\n"
                 "session 2 quickkzp T1 1 T1 2 size=4096 phase=tracking\n"
                 "session 3 snapkzp+ S1 3 S1 5 size=4096\n") {}
};

TEST_F(CmdKzpTracking, QuickKzpRestartsATrackingSessionAndRecordsNothing) {
    struct Case {
        const char *pSource, *pTarget, *pArray, *pPair;
    };
    const Case cases[] = {{"0x1@ss", "0x2@ss", "S1", "S1:1>S1:2"},
                          {"0x1@tl", "0x2@tl", "T1", "T1:1>T1:2"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pSource);
        ReturnInfo ri{};
        ASSERT_EQ(0, zrkc_start_quickkzp(Text(c.pSource), Text(c.pTarget), 0, &ri)) << ri.caMessage;
        const std::string line = Session(c.pArray, c.pPair);
        EXPECT_EQ(Kind(line), "quickkzp");
        EXPECT_EQ(iptest::SessionField(line, "phase"), "4") << line; // tracking and copying again
        EXPECT_EQ(Stored(c.pSource, c.pTarget, false), "");
        EXPECT_EQ(Stored(c.pSource, c.pTarget, true), "");
    }
}

TEST_F(CmdKzpTracking, SnapKzpStartRefusesAPairThatHasASession) {
    const char *pairs[][2] = {{"0x3@ss", "0x5@ss"}, {"0x1@ss", "0x2@ss"}};
    for (const auto &p : pairs) {
        SCOPED_TRACE(p[0]);
        ReturnInfo ri{};
        const size_t before = sim.sessions("S1").size();
        EXPECT_EQ(-1, zrkc_start_snapkzp(Text(p[0]), Text(p[1]), 0, &ri));
        ExpectResult(ri, ZRKC_CLASS_STATE, 1214, kzptest::kPreconditions);
        EXPECT_EQ(sim.sessions("S1").size(), before);
        EXPECT_EQ(Stored(p[0], p[1], false), "");
    }
}

TEST_F(CmdKzpStart, EstimateStartTakesOneVolumeAndRecordsTheSource) {
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_start_snapkzp(Text("0x1@ss"), Text("0x5@ss"), ZRK_OPT_MONITOR, &ri));
    ExpectResult(ri, ZRKC_CLASS_PARAMETER, 1016, kzptest::kWrongForm);

    for (const char *volume : {"0x1@ss", "0x1@tl"}) {
        SCOPED_TRACE(volume);
        ri = ReturnInfo{};
        ASSERT_EQ(0, zrkc_start_snapkzp(Text(volume), nullptr, ZRK_OPT_MONITOR, &ri)) << ri.caMessage;
        const cmdtest::Resolved r = Resolve(volume, nullptr);
        ASSERT_EQ(r.iResult, 0);
        EXPECT_EQ(cmdtest::StoredName(r.tPair, false), volume);
    }
    EXPECT_EQ(Kind(sim.sessions("S1").at(0)), "monitor");

    // The stop of an estimate session takes the source's name along.
    for (const auto &[volume, array] : {std::pair{"0x1@ss", "S1"}, std::pair{"0x1@tl", "T1"}}) {
        SCOPED_TRACE(volume);
        ri = ReturnInfo{};
        ASSERT_EQ(0, zrkc_stop_snapkzp(Text(volume), nullptr, ZRK_OPT_MONITOR, &ri)) << ri.caMessage;
        EXPECT_EQ(Stored(volume, nullptr, false), "");
        EXPECT_TRUE(sim.sessions(array).empty());
    }
}

TEST_F(CmdKzpStart, OptionRefusals) {
    using Start = int (*)(char *, char *, int, ReturnInfo *);
    struct Case {
        Start pStart;
        int iOption;
        uint32_t uiEx;
    };
    const Case cases[] = {
        {zrkc_start_kzp, ZRK_OPT_FORCE, 0},
        {zrkc_start_kzp, ZRK_OPT_MONITOR, 0},
        {zrkc_start_quickkzp, ZRKC_OPT_NO_POST, ZRKC_EXOPT_VVOL_DELETE},
        {zrkc_start_quickkzp, ZRKC_OPT_CONC_START, ZRKC_EXOPT_VVOL_DELETE},
        {zrkc_start_quickkzp, 0, ZRKC_EXOPT_VVOL},
        {zrkc_start_snapkzp, ZRK_OPT_MONITOR | ZRKC_OPT_CONC_START, 0},
        {zrkc_start_snapkzp, ZRKC_OPT_NO_POST, ZRKC_EXOPT_VVOL_DELETE},
        {zrkc_restore_snapkzp, ZRKC_OPT_CONC_START, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.iOption);
        uiExOptionFlag = c.uiEx;
        ReturnInfo ri{};
        EXPECT_EQ(-1, c.pStart(Text("0x1@ss"), Text("0x5@ss"), c.iOption, &ri));
        ExpectResult(ri, ZRKC_CLASS_PARAMETER, 1010, kzptest::kOptionInvalid);
    }
    uiExOptionFlag = 0;
    EXPECT_TRUE(sim.sessions("S1").empty());
}

TEST_F(CmdKzpStart, ConcurrentFlagWithoutGroupFileStartsThePairAlone) {
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_start_kzp(Text("0x3@sa"), Text("0x4@sa"), ZRKC_OPT_CONC_START, &ri))
        << ri.caMessage;
    EXPECT_EQ(Kind(Session("A1", "A1:3>A1:4")), "kzp");
}

TEST_F(CmdKzpStart, ConcurrentGroupStartsEveryPairOverBothRoads) {
    using Start = int (*)(char *, char *, int, ReturnInfo *);
    struct Case {
        Start pStart;
        const char *pKind;
        bool bRecords;
        std::vector<std::string> lines;
        const char *pArray;
        std::vector<std::string> pairs;
    };
    const Case cases[] = {
        {zrkc_start_kzp, "kzp", false, {"0x1@tl 0x2@tl", "0x3@tl 0x4@tl", "0x5@tl 0x6@tl"}, "T1",
         {"T1:1>T1:2", "T1:3>T1:4", "T1:5>T1:6"}},
        {zrkc_start_quickkzp, "quickkzp", true, {"0x1@ss 0x2@ss", "0x3@ss 0x4@ss"}, "S1",
         {"S1:1>S1:2", "S1:3>S1:4"}},
        {zrkc_start_snapkzp, "snapkzp+", true, {"0x1@ss 0x5@ss", "0x3@ss 0x7@ss"}, "S1",
         {"S1:1>S1:5", "S1:3>S1:7"}},
        {zrkc_start_snapkzp, "snapkzp+", true, {"0x1@tl 0x5@tl", "0x1@tl 0x6@tl", "0x3@tl 0x7@tl"}, "T1",
         {"T1:1>T1:5", "T1:1>T1:6", "T1:3>T1:7"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pKind);
        const std::string group = GroupFileLines(c.lines);
        ReturnInfo ri{};
        UsePairArea(&ri, c.lines.size());
        ASSERT_EQ(0, c.pStart(Text(group), nullptr, kGroup | ZRKC_OPT_CONC_START, &ri))
            << ri.caMessage << Entry(0).caMessage;
        for (size_t i = 0; i < c.pairs.size(); ++i) {
            EXPECT_EQ(Kind(Session(c.pArray, c.pairs[i])), c.pKind) << c.pairs[i];
            const std::string src = c.lines[i].substr(0, c.lines[i].find(' '));
            const std::string dst = c.lines[i].substr(c.lines[i].find(' ') + 1);
            EXPECT_EQ(Stored(src.c_str(), dst.c_str(), false), c.bRecords ? src : "");
            EXPECT_EQ(Stored(src.c_str(), dst.c_str(), true), c.bRecords ? dst : "");
        }
        for (const std::string &line : sim.sessions(c.pArray)) // the volumes free again
            sim.commandOk(std::string("endsession ") + c.pArray + " " + line.substr(8, line.find(' ', 8) - 8));
    }
}

TEST_F(CmdKzpStart, ConcurrentGroupOverTwoArraysIsRefused) {
    // Two source arrays: the catalogue's line, before anything is started.
    std::string group = GroupFileLines({"0x1@ss 0x2@ss", "0x1@tl 0x2@tl"});
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    EXPECT_EQ(-1, zrkc_start_kzp(Text(group), nullptr, kGroup | ZRKC_OPT_CONC_START, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1215u);
    EXPECT_EQ(std::string(ri.caMessage).rfind("ZRKC1215 ERROR ", 0), 0u) << ri.caMessage;

    // One box pair, but every pair spans two arrays: each entry refused.
    group = GroupFileLines({"0x1@ss 0x1@tl", "0x2@ss 0x2@tl"});
    ri = Info();
    EXPECT_EQ(-1, zrkc_start_kzp(Text(group), nullptr, kGroup | ZRKC_OPT_CONC_START, &ri));
    ExpectResult(ri, ZRKC_CLASS_GROUP_LINES, 1804, nullptr);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Entry(i).iReturnClass, ZRKC_CLASS_ARRAY);
        EXPECT_EQ(Entry(i).uiMessageNo, 1202u);
        EXPECT_STREQ(Entry(i).caMessage, "ZRKC1202 ERROR Unsupported function.\n");
    }
    EXPECT_TRUE(sim.sessions("S1").empty());
    EXPECT_TRUE(sim.sessions("T1").empty());
}

TEST_F(CmdKzpTracking, ConcurrentQuickKzpRefusesRestartMixedWithNewStarts) {
    const std::string group = GroupFileLines({"0x1@ss 0x2@ss", "0x4@ss 0x6@ss"});
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    EXPECT_EQ(-1, zrkc_start_quickkzp(Text(group), nullptr, kGroup | ZRKC_OPT_CONC_START, &ri));
    ExpectResult(ri, ZRKC_CLASS_STATE, 1214, kzptest::kPreconditions);
    EXPECT_EQ(Session("S1", "S1:4>S1:6"), "");
}

TEST_F(CmdKzpStart, GroupStartGoesOnAfterAFailedPair) {
    // The second pair spans two arrays: a QuickKZP works inside one array.
    const std::string group = GroupFileLines({"0x3@sa 0x4@sa", "0x5@sa 0x1@lb", "0x1@lb 0x2@lb"});
    ReturnInfo ri{};
    UsePairArea(&ri, 3);
    EXPECT_EQ(-1, zrkc_start_quickkzp(Text(group), nullptr, kGroup, &ri));
    ExpectResult(ri, ZRKC_CLASS_GROUP_LINES, 1804, nullptr);
    EXPECT_EQ(Entry(0).iReturnClass, 0) << Entry(0).caMessage;
    EXPECT_NE(Entry(1).iReturnClass, 0);
    EXPECT_EQ(Entry(2).iReturnClass, 0) << Entry(2).caMessage;
    EXPECT_EQ(Kind(Session("A1", "A1:3>A1:4")), "quickkzp");
    EXPECT_EQ(Kind(Session("B1", "B1:1>B1:2")), "quickkzp");
    EXPECT_EQ(Stored("0x5@sa", "0x1@lb", false), "");
}

// ---- restore ------------------------------------------------------------------

class CmdKzpRestore : public kzptest::CmdKzp {
protected:
    CmdKzpRestore()
        : CmdKzp("session 1 snapkzp+ S1 1 S1 5 size=4096 copied=60\n"
                 "session 2 snapkzp+ S1 3 S1 7 size=4096 copied=60\n"
                 "session 1 snapkzp+ T1 1 T1 5 size=4096 copied=60\n"
                 "session 2 snapkzp+ T1 3 T1 7 size=4096 copied=60\n"
                 "session 3 quickkzp S1 2 S1 4 size=4096 phase=tracking\n") {}
};

TEST_F(CmdKzpRestore, PoolCheckOverBothRoads) {
    struct Road {
        const char *pArray, *pLines[2], *pBack[2];
    };
    const Road roads[] = {
        {"S1", {"0x1@ss 0x5@ss", "0x3@ss 0x7@ss"}, {"S1:5>S1:1", "S1:7>S1:3"}},
        {"T1", {"0x1@tl 0x5@tl", "0x3@tl 0x7@tl"}, {"T1:5>T1:1", "T1:7>T1:3"}},
    };
    for (const Road &road : roads) {
        SCOPED_TRACE(road.pArray);
        const std::string group = GroupFileLines({road.pLines[0], road.pLines[1]});
        // 100 blocks free; the two restores take 60 each.
        sim.commandOk(std::string("setarray ") + road.pArray + " pool=220");
        ReturnInfo ri{};
        UsePairArea(&ri, 2);
        EXPECT_EQ(-1, zrkc_restore_snapkzp(Text(group), nullptr, kGroup, &ri));
        ExpectResult(ri, ZRKC_CLASS_BUSY, 1000,
                     "ZRKC1000 ERROR Insufficient Snap Data Pool. Required capacity=(60[KB]).\n");
        EXPECT_EQ(Session(road.pArray, road.pBack[0]), "");

        sim.commandOk(std::string("setarray ") + road.pArray + " pool=1000");
        ri = Info();
        ASSERT_EQ(0, zrkc_restore_snapkzp(Text(group), nullptr, kGroup, &ri))
            << ri.caMessage << Entry(0).caMessage << Entry(1).caMessage;
        EXPECT_EQ(Kind(Session(road.pArray, road.pBack[0])), "kzp");
        EXPECT_EQ(Kind(Session(road.pArray, road.pBack[1])), "kzp");
    }
}

TEST_F(CmdKzpRestore, RefusedWithoutSnapKzpPlusSessions) {
    struct Case {
        std::vector<std::string> lines;
        uint32_t uiNumber;
        const char *pMessage;
    };
    const Case cases[] = {
        {{"0x2@ss 0x4@ss"}, 1214, kzptest::kPreconditions},                 // a QuickKZP session
        {{"0x4@ss 0x6@ss"}, 1100, kzptest::kNoSession},                      // none
        {{"0x1@ss 0x5@ss", "0x4@ss 0x6@ss"}, 1214, kzptest::kPreconditions}, // one of two
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.lines[0]);
        const std::string group = GroupFileLines(c.lines);
        ReturnInfo ri{};
        UsePairArea(&ri, c.lines.size());
        EXPECT_EQ(-1, zrkc_restore_snapkzp(Text(group), nullptr, kGroup, &ri));
        ExpectResult(ri, ZRKC_CLASS_STATE, c.uiNumber, c.pMessage);
    }
    EXPECT_EQ(Session("S1", "S1:4>S1:2"), "");
    EXPECT_EQ(Session("S1", "S1:5>S1:1"), "");
}

} // namespace

namespace {

class CmdKzpRestoreHuge : public kzptest::CmdKzp {
protected:
    CmdKzpRestoreHuge()
        : CmdKzp("session 1 snapkzp+ T1 1 T1 5 size=4096 copied=18446744073709551600\n"
                 "session 2 snapkzp+ T1 3 T1 7 size=4096 copied=18446744073709551600\n") {}
};

TEST_F(CmdKzpRestoreHuge, RequiredTotalSaturatesInsteadOfWrapping) {
    const std::string group = GroupFileLines({"0x1@tl 0x5@tl", "0x3@tl 0x7@tl"});
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    EXPECT_EQ(-1, zrkc_restore_snapkzp(Text(group), nullptr, kGroup, &ri));
    // The largest count of blocks, in kilobytes rounded up.
    ExpectResult(ri, ZRKC_CLASS_BUSY, 1000,
                 "ZRKC1000 ERROR Insufficient Snap Data Pool. Required "
                 "capacity=(9223372036854775808[KB]).\n");
    EXPECT_EQ(Session("T1", "T1:5>T1:1"), "");
}

} // namespace

namespace {

// The pool check sums the requirements per subgroup: two subgroups (one per
// source array) that each fit their pool pass although together they need
// more than either pool has; a subgroup whose free capacity equals exactly
// its total passes, one block less gives 1000.
TEST_F(CmdKzpRestore, PoolCheckPerSubgroupAndAtTheExactCapacity) {
    // 100 blocks free on each array; each subgroup needs 60, together 120.
    sim.commandOk("setarray S1 pool=220");
    sim.commandOk("setarray T1 pool=220");
    const std::string two = GroupFileLines({"0x1@ss 0x5@ss", "0x1@tl 0x5@tl"});
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    ASSERT_EQ(0, zrkc_restore_snapkzp(Text(two), nullptr, kGroup, &ri))
        << ri.caMessage << Entry(0).caMessage << Entry(1).caMessage;
    EXPECT_EQ(Kind(Session("S1", "S1:5>S1:1")), "kzp");
    EXPECT_EQ(Kind(Session("T1", "T1:5>T1:1")), "kzp");

    // One subgroup of two pairs needing 120 blocks: 119 free refuses, 120 free passes.
    const std::string one = GroupFileLines({"0x1@tl 0x5@tl", "0x3@tl 0x7@tl"});
    ASSERT_EQ(0, zrkc_stop_kzp(Text("0x5@tl"), Text("0x1@tl"), ZRK_OPT_FORCE, &ri)) << ri.caMessage;
    for (const auto &[pool, accepted] : std::vector<std::pair<const char *, bool>>{{"239", false}, {"240", true}}) {
        SCOPED_TRACE(pool);
        sim.commandOk(std::string("setarray T1 pool=") + pool);
        ri = Info();
        if (!accepted) {
            EXPECT_EQ(-1, zrkc_restore_snapkzp(Text(one), nullptr, kGroup, &ri));
            ExpectResult(ri, ZRKC_CLASS_BUSY, 1000,
                         "ZRKC1000 ERROR Insufficient Snap Data Pool. Required capacity=(60[KB]).\n");
            EXPECT_EQ(Session("T1", "T1:7>T1:3"), "");
        } else {
            ASSERT_EQ(0, zrkc_restore_snapkzp(Text(one), nullptr, kGroup, &ri))
                << ri.caMessage << Entry(0).caMessage << Entry(1).caMessage;
            EXPECT_EQ(Kind(Session("T1", "T1:5>T1:1")), "kzp");
            EXPECT_EQ(Kind(Session("T1", "T1:7>T1:3")), "kzp");
        }
    }
}

} // namespace
