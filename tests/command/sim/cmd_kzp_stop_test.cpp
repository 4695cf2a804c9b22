// The KZP-family stops end to end against the simulator over both roads:
// option refusals, pairs without a session, the QuickKZP stop forced or of
// its tracking only, the estimate stop, the SnapKZP stop, and the forced
// SnapKZP+ stop that takes the older generations and their names along.
#include "cmd_kzp_support.h"

#include <string>
#include <vector>

namespace {

using kzptest::Text;

constexpr int kGroup = ZRKC_OPT_GROUP_FILE;
constexpr unsigned char kTravoOut = 0xE9;
constexpr unsigned char kStopPage = 0x45;

class CmdKzpStop : public kzptest::CmdKzp {
protected:
    explicit CmdKzpStop(const std::string &sessions = "") : CmdKzp(sessions) {}

    // Records the two names of a pair as a start does.
    void Record(const char *source, const char *target) {
        const cmdtest::Resolved r = Resolve(source, target);
        ASSERT_EQ(r.iResult, 0) << r.tInfo.caMessage;
        const CopyPair &p = r.tPair;
        set_volname(source, p.caSrcBoxID, static_cast<int32_t>(p.SrcOlu),
                    static_cast<int32_t>(p.SrcAddr_h), static_cast<int32_t>(p.SrcAddr_l),
                    static_cast<int32_t>(p.SrcSize_h), static_cast<int32_t>(p.SrcSize_l));
        set_volname(target, p.caTrgBoxID, static_cast<int32_t>(p.TrgOlu),
                    static_cast<int32_t>(p.TrgAddr_h), static_cast<int32_t>(p.TrgAddr_l),
                    static_cast<int32_t>(p.SrcSize_h), static_cast<int32_t>(p.SrcSize_l));
    }

    // The stop pages sent in-band since the last clearLog.
    std::vector<std::vector<unsigned char>> StopPages() const {
        std::vector<std::vector<unsigned char>> pages;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.cdb[0] == kTravoOut && !r.dataOut.empty() && r.dataOut[0] == kStopPage)
                pages.push_back(r.dataOut);
        return pages;
    }
};

TEST_F(CmdKzpStop, OptionRefusals) {
    using Stop = int (*)(char *, char *, int, ReturnInfo *);
    struct Case {
        Stop pStop;
        int iOption;
        uint32_t uiEx;
    };
    const Case cases[] = {
        {zrkc_stop_kzp, 0, 0},                                    // force is required
        {zrkc_stop_kzp, kGroup, 0},
        {zrkc_stop_kzp, ZRK_OPT_FORCE | ZRKC_OPT_ODX, ZRKC_EXOPT_VVOL},
        {zrkc_stop_kzp, ZRK_OPT_FORCE | ZRK_OPT_MONITOR, 0},
        {zrkc_stop_kzp, ZRK_OPT_FORCE, ZRKC_EXOPT_VVOL_DELETE},
        {zrkc_stop_quickkzp, ZRK_OPT_MONITOR, 0},
        {zrkc_stop_snapkzp, ZRK_OPT_FORCE | ZRK_OPT_MONITOR, 0},
        {zrkc_stop_snapkzp, ZRKC_OPT_ODX, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.iOption);
        uiExOptionFlag = c.uiEx;
        ReturnInfo ri{};
        EXPECT_EQ(-1, c.pStop(Text("0x1@ss"), Text("0x2@ss"), c.iOption, &ri));
        ExpectResult(ri, ZRKC_CLASS_PARAMETER, 1010, kzptest::kOptionInvalid);
    }
    uiExOptionFlag = 0;

    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_stop_snapkzp(Text("0x1@ss"), Text("0x5@ss"), ZRK_OPT_MONITOR, &ri));
    ExpectResult(ri, ZRKC_CLASS_PARAMETER, 1016, kzptest::kWrongForm);
}

TEST_F(CmdKzpStop, NoSessionAnywhereIsRefusedBeforeAnyStop) {
    using Stop = int (*)(char *, char *, int, ReturnInfo *);
    const std::pair<Stop, int> stops[] = {{zrkc_stop_kzp, ZRK_OPT_FORCE},
                                          {zrkc_stop_quickkzp, 0},
                                          {zrkc_stop_snapkzp, ZRK_OPT_FORCE}};
    for (const auto &[stop, option] : stops) {
        for (const char *alias : {"ss", "tl"}) {
            SCOPED_TRACE(alias);
            sim.clearLog();
            const std::string source = std::string("0x1@") + alias;
            const std::string target = std::string("0x5@") + alias;
            ReturnInfo ri{};
            EXPECT_EQ(-1, stop(Text(source), Text(target), option, &ri));
            ExpectResult(ri, ZRKC_CLASS_STATE, 1100, kzptest::kNoSession);
            EXPECT_TRUE(StopPages().empty());
        }
    }
}

class CmdKzpStopKzp : public CmdKzpStop {
protected:
    CmdKzpStopKzp()
        : CmdKzpStop("session 1 kzp S1 1 S1 2 size=4096\n"
                     "session 2 kzp T1 3 T1 4 size=4096\n") {}
};

TEST_F(CmdKzpStopKzp, GroupPassesOverAPairWithoutASession) {
    const std::string group = GroupFileLines({"0x1@ss 0x2@ss", "0x3@ss 0x4@ss", "0x3@tl 0x4@tl"});
    ReturnInfo ri{};
    UsePairArea(&ri, 3);
    ASSERT_EQ(0, zrkc_stop_kzp(Text(group), nullptr, kGroup | ZRK_OPT_FORCE, &ri)) << ri.caMessage;
    EXPECT_EQ(ri.iReturnClass, 0);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Entry(i).iReturnClass, 0) << i;
    EXPECT_TRUE(sim.sessions("S1").empty());
    EXPECT_TRUE(sim.sessions("T1").empty());
    // The force bit is the command's own: the array is not asked to force.
    const auto pages = StopPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0][24] & 0x80, 0);
}

TEST_F(CmdKzpStopKzp, OffloadedDataTransferStop) {
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_stop_kzp(Text("0x1@ss"), Text("0x2@ss"), ZRK_OPT_FORCE | ZRKC_OPT_ODX, &ri))
        << ri.caMessage;
    EXPECT_TRUE(sim.sessions("S1").empty());
}

class CmdKzpStopQuick : public CmdKzpStop {
protected:
    CmdKzpStopQuick()
        : CmdKzpStop("session 1 quickkzp S1 1 S1 2 size=4096 phase=trackcopy\n"
                     "session 2 quickkzp T1 1 T1 2 size=4096 phase=trackcopy\n") {}
};

TEST_F(CmdKzpStopQuick, TrackingOnlyThenForcedOverBothRoads) {
    const char *roads[][3] = {{"0x1@ss", "0x2@ss", "S1"}, {"0x1@tl", "0x2@tl", "T1"}};
    for (const auto &road : roads) {
        SCOPED_TRACE(road[0]);
        Record(road[0], road[1]);
        ReturnInfo ri{};
        // Without force only the tracking ends; the copy goes on.
        ASSERT_EQ(0, zrkc_stop_quickkzp(Text(road[0]), Text(road[1]), 0, &ri)) << ri.caMessage;
        const std::string line = Session(road[2], std::string(road[2]) + ":1>" + road[2] + ":2");
        EXPECT_EQ(iptest::SessionField(line, "tracking"), "no") << line;
        EXPECT_EQ(Stored(road[0], road[1], false), "");
        EXPECT_EQ(Stored(road[0], road[1], true), "");

        ASSERT_EQ(0, zrkc_stop_quickkzp(Text(road[0]), Text(road[1]), ZRK_OPT_FORCE, &ri))
            << ri.caMessage;
        EXPECT_TRUE(sim.sessions(road[2]).empty());
    }
}

// Three generations of the source S1:1 / T1:1, the newest into volume 7.
class CmdKzpStopSnap : public CmdKzpStop {
protected:
    CmdKzpStopSnap()
        : CmdKzpStop("session 1 snapkzp+ S1 1 S1 5 size=4096\n"
                     "session 2 snapkzp+ S1 1 S1 6 size=4096\n"
                     "session 3 snapkzp+ S1 1 S1 7 size=4096\n"
                     "session 1 snapkzp+ T1 1 T1 5 size=4096\n"
                     "session 2 snapkzp+ T1 1 T1 6 size=4096\n"
                     "session 3 snapkzp+ T1 1 T1 7 size=4096\n"
                     "session 4 snapkzp S1 2 S1 8 size=4096\n") {}
};

TEST_F(CmdKzpStopSnap, ForcedStopTakesTheOlderGenerationsAndTheirNames) {
    for (const char *alias : {"ss", "tl"}) {
        SCOPED_TRACE(alias);
        const std::string at = std::string("@") + alias;
        const std::string source = "0x1" + at;
        for (const char *olu : {"0x5", "0x6", "0x7"}) Record(source.c_str(), (olu + at).c_str());
        const std::string array = alias[0] == 's' ? "S1" : "T1";
        ReturnInfo ri{};
        ASSERT_EQ(0, zrkc_stop_snapkzp(Text(source), Text("0x7" + at), ZRK_OPT_FORCE, &ri))
            << ri.caMessage;
        EXPECT_EQ(Session(array, array + ":1>" + array + ":7"), "");
        EXPECT_EQ(Session(array, array + ":1>" + array + ":5"), "");
        // The source was recorded three times and erased three times.
        EXPECT_EQ(Stored(source.c_str(), ("0x5" + at).c_str(), false), "");
        for (const char *olu : {"0x5", "0x6", "0x7"})
            EXPECT_EQ(Stored(source.c_str(), (olu + at).c_str(), true), "") << olu;
    }
}

TEST_F(CmdKzpStopSnap, UnforcedStopErasesOnlyThePairsNames) {
    Record("0x1@tl", "0x5@tl");
    Record("0x1@tl", "0x6@tl");
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_stop_snapkzp(Text("0x1@tl"), Text("0x5@tl"), 0, &ri)) << ri.caMessage;
    EXPECT_EQ(Session("T1", "T1:1>T1:5"), "");
    EXPECT_NE(Session("T1", "T1:1>T1:6"), "");
    EXPECT_EQ(Stored("0x1@tl", "0x6@tl", false), "0x1@tl"); // one reference left
    EXPECT_EQ(Stored("0x1@tl", "0x6@tl", true), "0x6@tl");
    EXPECT_EQ(Stored("0x1@tl", "0x5@tl", true), "");
}

TEST_F(CmdKzpStopSnap, ForcedStopWithoutGenerationsIsRefused) {
    sim.commandOk("setarray S1 generations=0");
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_stop_snapkzp(Text("0x1@ss"), Text("0x7@ss"), ZRK_OPT_FORCE, &ri));
    ExpectResult(ri, ZRKC_CLASS_ARRAY, 1202, "ZRKC1202 ERROR Unsupported function.\n");
    EXPECT_EQ(sim.sessions("S1").size(), 4u);
}

TEST_F(CmdKzpStopSnap, SnapKzpSessionIsNeverForced) {
    Record("0x2@ss", "0x8@ss");
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_stop_snapkzp(Text("0x2@ss"), Text("0x8@ss"), ZRK_OPT_FORCE, &ri))
        << ri.caMessage;
    EXPECT_EQ(Session("S1", "S1:2>S1:8"), "");
    const auto pages = StopPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0][24] & 0x80, 0);
    EXPECT_EQ(Stored("0x2@ss", "0x8@ss", false), "");
    EXPECT_EQ(Stored("0x2@ss", "0x8@ss", true), "");
}

} // namespace

namespace {

TEST_F(CmdKzpStopSnap, OwnGenerationMissingFromTheListErasesOnlyThePairsNames) {
    for (const char *olu : {"0x5@ss", "0x6@ss", "0x7@ss"}) Record("0x1@ss", olu);
    // The array lists two generations of the source only, not the pair's own.
    sim.commandOk("corrupt 0x45 32 0002 count=8 array=S1");
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_stop_snapkzp(Text("0x1@ss"), Text("0x7@ss"), ZRK_OPT_FORCE, &ri))
        << ri.caMessage;
    EXPECT_EQ(Session("S1", "S1:1>S1:7"), "");
    EXPECT_EQ(Stored("0x1@ss", "0x7@ss", true), "");
    EXPECT_EQ(Stored("0x1@ss", "0x5@ss", true), "0x5@ss");
    EXPECT_EQ(Stored("0x1@ss", "0x6@ss", true), "0x6@ss");
    EXPECT_EQ(Stored("0x1@ss", "0x5@ss", false), "0x1@ss"); // two references left
}

} // namespace

namespace {

// A Readying SnapKZP+ session whose generation list the array does not
// have (no block of its extent): the forced stop goes ahead without a list
// and erases nothing, not even the pair's own names.
TEST_F(CmdKzpStopSnap, ReadyingSessionWithoutAGenerationListErasesNothing) {
    for (const char *olu : {"0x5@ss", "0x6@ss", "0x7@ss"}) Record("0x1@ss", olu);
    sim.commandOk("setsession S1 3 phase=readying");
    sim.clearLog();
    // The generation page lists no block of the volume (after the two reads
    // of the resolution, which ask only for its maximum).
    sim.commandOk("corrupt 0x45 12 0000 count=2 skip=2 array=S1");
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_stop_snapkzp(Text("0x1@ss"), Text("0x7@ss"), ZRK_OPT_FORCE, &ri))
        << ri.caMessage;
    EXPECT_EQ(ri.iReturnClass, 0);
    EXPECT_EQ(Session("S1", "S1:1>S1:7"), "");
    EXPECT_EQ(StopPages().size(), 1u);
    for (const char *olu : {"0x5@ss", "0x6@ss", "0x7@ss"}) {
        EXPECT_EQ(Stored("0x1@ss", olu, true), olu) << olu;
    }
    EXPECT_EQ(Stored("0x1@ss", "0x7@ss", false), "0x1@ss");
}

} // namespace
