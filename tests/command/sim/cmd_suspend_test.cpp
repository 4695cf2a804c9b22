// zrkc_suspend_vz against the simulator, end to end through the library:
// single pairs and group files over both roads, the option and limit
// checks, the waits (counted in simulated seconds through the sleep hook),
// the flash of RVZ pairs in stack or consistency mode and its undo, the
// forced and the stack-timer suspend.
#include "cmd_support.h"
#include "platform.h"

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Extra volumes for the RVZ pairs, and the sessions of the tests.
const std::string kSessions =
    "volume A1 0x30 4096\n"
    "volume A1 0x31 4096\n"
    "volume B1 0x30 4096\n"
    "volume B1 0x31 4096\n"
    "session 1 vz A1 1 A1 2 size=4096\n"
    "session 5 vz A1 8 A1 9\n"
    "session 7 vz B1 1 B1 2 size=4096\n"
    "session 20 rvz A1 0x30 B1 0x30 transfer=2\n"
    "session 21 rvz A1 0x31 B1 0x31 transfer=3\n";

// Simulated seconds that the waits asked to sleep; each sleep also moves
// the simulator's clock.
std::vector<unsigned> gSleeps;
zrksim::Simulator *gSim = nullptr;
void CountSleep(unsigned seconds) {
    gSleeps.push_back(seconds);
    if (gSim != nullptr) gSim->advanceClock(seconds);
}

class CmdSuspend : public cmdtest::CommandSim {
protected:
    CmdSuspend() : CommandSim(kSessions) {}

    void SetUp() override {
        CommandSim::SetUp();
        gSleeps.clear();
        gSim = &sim;
        zrkc_set_sleep_hook(CountSleep);
        area.assign(ZRK_PAIR_AREA_SIZE(8), 0);
    }
    void TearDown() override {
        zrkc_set_sleep_hook(nullptr);
        gSim = nullptr;
        CommandSim::TearDown();
    }


    // Sets keys of the properties file ("key=value\n" lines), keeping the
    // service's settings.
    void AddProperties(const std::string &text) {
        std::string ini = zrktest::readFile(root.path("etc/zrkc.ini"));
        size_t from = 0;
        while (from < text.size()) {
            const size_t end = text.find('\n', from);
            const std::string line = text.substr(from, end - from);
            from = end + 1;
            const std::string key = line.substr(0, line.find('=') + 1);
            const size_t at = ini.rfind("\n" + key) != std::string::npos ? ini.rfind("\n" + key) + 1
                              : ini.rfind(key, 0) == 0                    ? 0
                                                                           : std::string::npos;
            if (at == std::string::npos) {
                ini += line + "\n";
            } else {
                const size_t stop = ini.find('\n', at);
                ini.replace(at, stop == std::string::npos ? std::string::npos : stop - at, line);
            }
        }
        root.writeProperties(ini);
    }


    std::string Field(const std::string &array, unsigned id, const std::string &key) {
        const std::string head = "session " + std::to_string(id) + " ";
        for (const std::string &line : sim.sessions(array))
            if (line.rfind(head, 0) == 0) return iptest::SessionField(line, key);
        return "(none)";
    }
    std::string Status(const std::string &array, unsigned id) { return Field(array, id, "status"); }

    // TRAVO OUT lists of one kind the arrays received in-band.
    size_t InBandLists(unsigned char code) {
        size_t n = 0;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (!r.dataOut.empty() && r.dataOut[0] == code) ++n;
        return n;
    }

};

TEST_F(CmdSuspend, SinglePairOverEitherRoad) {
    struct Case {
        const char *pSource, *pTarget, *pArray;
        unsigned uiId;
    } cases[] = {
        {"/dev/sdb", "/dev/sdc", "A1", 1},
        {"0x1@sa", "0x2@sa", "A1", 1},
        {"0x1@lb", "0x002@lb", "B1", 7},
        {"0x8@sa", "0x9@sa", "A1", 5}, // a whole-volume session
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pSource);
        sim.setSession(c.pArray, c.uiId, "status=active");
        ReturnInfo ri = Info();
        EXPECT_EQ(0, zrkc_suspend_vz(c.pSource, c.pTarget, 0, 0, 0, &ri)) << ri.caMessage;
        EXPECT_EQ(ri.iReturnClass, 0);
        EXPECT_EQ(Status(c.pArray, c.uiId), "4");
    }
    EXPECT_TRUE(gSleeps.empty());
}

TEST_F(CmdSuspend, GroupFileOverBothRoads) {
    const std::string file = GroupFileLines({"/dev/sdb /dev/sdc", "0x1@lb 0x002@lb"});
    ReturnInfo ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz(file.c_str(), nullptr, 0, 0, ZRKC_OPT_GROUP_FILE, &ri)) << ri.caMessage;
    EXPECT_EQ(Status("A1", 1), "4");
    EXPECT_EQ(Status("B1", 7), "4");
    EXPECT_EQ(Entry(0).iReturnClass, 0);
    EXPECT_EQ(Entry(1).iReturnClass, 0);
}

TEST_F(CmdSuspend, FailedPairOfAGroupFileDoesNotStopTheRun) {
    // The consistency-mode pair is flashed; the second pair's suspend
    // fails, the third is still suspended, and the first changed back.
    sim.endSession("A1", 20);
    sim.setSession("A1", 1, "status=active");
    const std::string file = GroupFileLines({"0x31@sa 0x31@lb", "/dev/sdb /dev/sdc", "0x1@lb 0x002@lb"});
    // In-band suspend lists: the flash's forced suspend, then the plain
    // suspends of the first and the second pair; the last of them fails.
    sim.injectSenseOnList(0x48, 1, 5, 0x24, 0x00, "", 2);
    ReturnInfo ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz(file.c_str(), nullptr, 0, 1, ZRKC_OPT_GROUP_FILE, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_STREQ(ri.caMessage,
                 "ZRKC1804 ERROR Error occurred with copy operation described in group file.\n");
    EXPECT_EQ(Entry(0).uiMessageNo, 0u);
    EXPECT_NE(Entry(1).uiMessageNo, 0u);
    EXPECT_NE(Entry(1).caMessage[0], '\0');
    EXPECT_EQ(Entry(2).uiMessageNo, 0u);
    EXPECT_EQ(Status("A1", 1), "2");
    EXPECT_EQ(Status("A1", 21), "4");
    EXPECT_EQ(Status("B1", 7), "4");
    EXPECT_EQ(Field("A1", 21, "transfer"), "3"); // changed back
}

TEST_F(CmdSuspend, RefusedOptionCombinations) {
    const uint32_t cases[] = {
        0x1,                                          // outside the mask
        ZRK_OPT_FORCE | ZRKC_OPT_PROPERTIES,
        ZRK_OPT_FORCE | ZRKC_OPT_CONC_SUSPEND,
        ZRK_OPT_UNTRANSFERRED,
        ZRKC_OPT_STACK_TIMER | ZRKC_OPT_CONC_SUSPEND,
        ZRKC_OPT_STACK_TIMER | ZRK_OPT_FORCE,
    };
    for (uint32_t opt : cases) {
        SCOPED_TRACE(opt);
        ReturnInfo ri = Info();
        EXPECT_EQ(-1, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 0, opt, &ri));
        EXPECT_EQ(ri.uiMessageNo, 1010u);
        EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PARAMETER);
    }
    // A forced suspend takes no interval.
    ReturnInfo ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 5, ZRK_OPT_FORCE, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
    EXPECT_TRUE(sim.cdbLog().empty());
    EXPECT_EQ(Status("A1", 1), "2");
}

TEST_F(CmdSuspend, WaitLimits) {
    struct Case {
        uint32_t uiCount, uiInterval;
        bool bOk;
    } cases[] = {
        {0, 0, true},     {86400, 1, true},  {86401, 1, false}, {1, 601, false},
        {3, 0, false},    {145, 600, false}, {144, 600, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.uiCount) + "x" + std::to_string(c.uiInterval));
        sim.setSession("A1", 1, "status=active");
        ReturnInfo ri = Info();
        const int r = zrkc_suspend_vz("/dev/sdb", "/dev/sdc", c.uiCount, c.uiInterval, 0, &ri);
        if (c.bOk) {
            EXPECT_EQ(r, 0) << ri.caMessage;
        } else {
            EXPECT_EQ(r, -1);
            EXPECT_EQ(ri.uiMessageNo, 1406u);
            EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PARAMETER);
            EXPECT_STREQ(ri.caMessage, "ZRKC1406 ERROR Waiting time cannot be set.\n");
        }
    }
    EXPECT_TRUE(gSleeps.empty()); // every pair was Equivalent at the first look
}

TEST_F(CmdSuspend, LimitsFromThePropertiesFile) {
    AddProperties("count=3\ninterval=0\n");
    ReturnInfo ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 0, ZRKC_OPT_PROPERTIES, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1406u);
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PROPERTIES);
    EXPECT_EQ(Status("A1", 1), "2");

    AddProperties("count=2\ninterval=7\n");
    sim.setArray("A1", "rate=0");
    sim.setSession("A1", 1, "phase=copying");
    ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 0, ZRKC_OPT_PROPERTIES, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1300u);
    EXPECT_EQ(gSleeps, (std::vector<unsigned>{7, 7}));
}

TEST_F(CmdSuspend, SessionPreconditions) {
    ReturnInfo ri = Info();
    // Copying and no wait.
    sim.setSession("A1", 1, "phase=copying");
    EXPECT_EQ(-1, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 0, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1214u);
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_STATE);
    // Already suspended.
    sim.setSession("A1", 1, "phase=equivalent status=suspend");
    ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 0, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1104u);
    // No session at all.
    ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz("0x3@sa", "0x4@sa", 0, 0, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1100u);
    // Some pairs without a session.
    sim.setSession("A1", 1, "status=active");
    const std::string file = GroupFileLines({"/dev/sdb /dev/sdc", "0x3@sa 0x4@sa"});
    ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz(file.c_str(), nullptr, 0, 0, ZRKC_OPT_GROUP_FILE, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1214u);
    EXPECT_EQ(Status("A1", 1), "2");
}

TEST_F(CmdSuspend, FirstWaitSleepsUntilEquivalent) {
    sim.setSession("A1", 1, "phase=copying");
    sim.setArray("A1", "rate=1000");
    ReturnInfo ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 5, 0, &ri)) << ri.caMessage;
    EXPECT_FALSE(gSleeps.empty());
    for (unsigned s : gSleeps) EXPECT_EQ(s, 5u);
    EXPECT_EQ(Status("A1", 1), "4");
}

TEST_F(CmdSuspend, FirstWaitRunsOutAfterCountSleeps) {
    sim.setArray("A1", "rate=0");
    sim.setSession("A1", 1, "phase=copying");
    ReturnInfo ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 2, 10, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1300u);
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_TIMEOUT);
    EXPECT_STREQ(ri.caMessage, "ZRKC1300 ERROR Time out detected.\n");
    EXPECT_EQ(gSleeps, (std::vector<unsigned>{10, 10}));
    EXPECT_EQ(Status("A1", 1), "2");
}

TEST_F(CmdSuspend, StackAndConsistencyPairsAreFlashedAndChangedBack) {
    for (const auto &[src, dst, id, transfer] :
         std::vector<std::tuple<const char *, const char *, unsigned, const char *>>{
             {"0x30@sa", "0x30@lb", 20, "2"}, {"0x31@sa", "0x31@lb", 21, "3"}}) {
        SCOPED_TRACE(src);
        sim.clearLog();
        ReturnInfo ri = Info();
        EXPECT_EQ(0, zrkc_suspend_vz(src, dst, 0, 1, 0, &ri)) << ri.caMessage;
        EXPECT_EQ(Status("A1", id), "4");
        EXPECT_EQ(Field("A1", id, "transfer"), transfer); // changed back
        EXPECT_EQ(InBandLists(0x48), 2u);                 // forced suspend of the flash, then the suspend
        EXPECT_EQ(InBandLists(0x46), 2u);                 // change to through, change back
        EXPECT_EQ(InBandLists(0x49), 1u);                 // the flash's resume
    }
}

TEST_F(CmdSuspend, TimedOutWaitUndoesTheFlash) {
    sim.setArray("A1", "rate=0");
    sim.setSession("A1", 20, "phase=copying");
    ReturnInfo ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz("0x30@sa", "0x30@lb", 1, 3, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1300u);
    EXPECT_EQ(gSleeps, (std::vector<unsigned>{3}));
    EXPECT_EQ(Status("A1", 20), "2");
    EXPECT_EQ(Field("A1", 20, "transfer"), "2");
    EXPECT_EQ(InBandLists(0x48), 2u); // the flash and the undo: forced suspends only
    EXPECT_EQ(InBandLists(0x46), 2u);
    EXPECT_EQ(InBandLists(0x49), 2u);
}

TEST_F(CmdSuspend, MixedTransferModesAreRefused) {
    for (const std::vector<std::string> &lines :
         {std::vector<std::string>{"0x30@sa 0x30@lb", "0x31@sa 0x31@lb"},
          std::vector<std::string>{"0x31@sa 0x31@lb", "0x30@sa 0x30@lb"}}) {
        const std::string file = GroupFileLines(lines);
        sim.clearLog();
        ReturnInfo ri = Info();
        EXPECT_EQ(-1, zrkc_suspend_vz(file.c_str(), nullptr, 0, 0, ZRKC_OPT_GROUP_FILE, &ri));
        EXPECT_EQ(ri.uiMessageNo, 1214u);
        EXPECT_EQ(InBandLists(0x48), 0u);
    }
}

TEST_F(CmdSuspend, ForcedSuspend) {
    // The remote pair is forced even while copying; the local one: the API
    // refuses a forced suspend of a pair inside one array.
    sim.setSession("A1", 20, "phase=copying");
    ReturnInfo ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz("0x30@sa", "0x30@lb", 0, 0, ZRK_OPT_FORCE, &ri)) << ri.caMessage;
    EXPECT_EQ(Status("A1", 20), "4");

    ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 0, ZRK_OPT_FORCE, &ri));
    EXPECT_NE(ri.uiMessageNo, 0u);
    EXPECT_EQ(Status("A1", 1), "2");

    // A group file: the pair already suspended is skipped.
    sim.clearLog();
    const std::string file = GroupFileLines({"0x30@sa 0x30@lb", "0x31@sa 0x31@lb"});
    ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz(file.c_str(), nullptr, 0, 0, ZRK_OPT_FORCE | ZRKC_OPT_GROUP_FILE, &ri))
        << ri.caMessage;
    EXPECT_EQ(Status("A1", 21), "4");
    EXPECT_EQ(InBandLists(0x48), 1u);
}

TEST_F(CmdSuspend, StackTimerSuspend) {
    AddProperties("RVZ_stacktimer=9\n");
    ReturnInfo ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz("0x30@sa", "0x30@lb", 0, 0, ZRKC_OPT_STACK_TIMER, &ri)) << ri.caMessage;
    EXPECT_EQ(Status("A1", 20), "4");
    EXPECT_EQ(Field("A1", 20, "stacktimer"), "9");
    EXPECT_EQ(ZRKRVZ_stacktimer, 9);
    EXPECT_EQ(InBandLists(0x46), 0u); // no flash

    // A local pair first: the timer is dropped, a plain suspend runs.
    const std::string file = GroupFileLines({"/dev/sdb /dev/sdc", "0x31@sa 0x31@lb"});
    sim.clearLog();
    ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz(file.c_str(), nullptr, 0, 1, ZRKC_OPT_STACK_TIMER | ZRKC_OPT_GROUP_FILE, &ri))
        << ri.caMessage;
    EXPECT_EQ(Status("A1", 1), "4");
    EXPECT_EQ(Status("A1", 21), "4");
    EXPECT_EQ(Field("A1", 21, "stacktimer"), "0");
    EXPECT_EQ(InBandLists(0x46), 2u); // the consistency pair was flashed
}

} // namespace

namespace {

// The parts of the suspend work when called on their own, each over a
// resolved list as the command hands it over.
TEST_F(CmdSuspend, PartsCalledOnTheirOwn) {
    ReturnInfo ri = Info();
    uint32_t slept = 0;
    EXPECT_EQ(-1, suspend_sub(nullptr, ZRK_OPT_FORCE, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_EQ(-1, suspend_timeout_check(nullptr, 0, 0, 1, &slept, &ri));
    EXPECT_EQ(-1, suspend_mode_return(nullptr, 0, 0, &ri));

    ASSERT_EQ(0, BuildAndResolve({{"0x30@sa", "0x30@lb"}}, 0, &ri)) << ri.caMessage;
    list.pPairs->taPair[0].ucSuspendMark = ZRKC_SUSPEND_MARK; // as the command marks its pairs
    // The waits: Equivalent is reached; Suspend is not, and with interval 0
    // one look gives up; with a count the sleeps stop at the shared counter.
    EXPECT_EQ(0, suspend_timeout_check(&list, 0, 0, 1, &slept, &ri)) << ri.caMessage;
    EXPECT_EQ(slept, 0u);
    EXPECT_EQ(4, suspend_timeout_check(&list, 0, 0, 2, &slept, &ri));
    slept = 1;
    EXPECT_EQ(4, suspend_timeout_check(&list, 2, 5, 2, &slept, &ri));
    EXPECT_EQ(slept, 2u);
    EXPECT_EQ(gSleeps, (std::vector<unsigned>{5}));

    // The flash: forced suspend, change to through mode, resume.
    sim.clearLog();
    EXPECT_EQ(0, suspend_flash(&ri, list.pPairs->taPair[0], DETAIL_LIST_INFO{})) << ri.caMessage;
    EXPECT_EQ(InBandLists(0x48), 1u);
    EXPECT_EQ(InBandLists(0x46), 1u);
    EXPECT_EQ(InBandLists(0x49), 1u);
    EXPECT_EQ(Status("A1", 20), "2");
    EXPECT_EQ(Field("A1", 20, "transfer"), "0");
    // The undo cycles the pair back into stack mode.
    sim.clearLog();
    EXPECT_EQ(0, suspend_error_return(&list, ZRK_OPT_STACK, 0, &ri)) << ri.caMessage;
    EXPECT_EQ(Field("A1", 20, "transfer"), "2");
    EXPECT_EQ(Status("A1", 20), "2");
    EXPECT_EQ(InBandLists(0x48), 1u);
    EXPECT_EQ(InBandLists(0x46), 1u);
    EXPECT_EQ(InBandLists(0x49), 1u);
    // The forced suspend of the single pair; then a mode change alone.
    EXPECT_EQ(0, suspend_sub(&list, ZRK_OPT_FORCE, &ri)) << ri.caMessage;
    EXPECT_EQ(Status("A1", 20), "4");
    sim.clearLog();
    EXPECT_EQ(0, suspend_mode_return(&list, ZRK_OPT_CONSISTENCY, 0, &ri)) << ri.caMessage;
    EXPECT_EQ(Field("A1", 20, "transfer"), "3");
    EXPECT_EQ(InBandLists(0x46), 1u);
    EXPECT_EQ(InBandLists(0x48) + InBandLists(0x49), 0u);

    // The forced suspend of a group run: a failed pair does not stop it.
    ri = Info();
    ASSERT_EQ(0, BuildAndResolve({{"/dev/sdb", "/dev/sdc"}, {"0x30@sa", "0x30@lb"}}, 0, &ri, true))
        << ri.caMessage;
    UsePairArea(&ri, 2);
    for (uint32_t i = 0; i < 2; ++i) list.pPairs->taPair[i].ucSuspendMark = ZRKC_SUSPEND_MARK;
    EXPECT_EQ(-1, suspend_sub(&list, ZRK_OPT_FORCE | ZRKC_OPT_GROUP_FILE, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_NE(Entry(0).uiMessageNo, 0u);
    EXPECT_EQ(Entry(1).uiMessageNo, 0u);
    EXPECT_EQ(Status("A1", 1), "2");
    EXPECT_EQ(Status("A1", 20), "4");
}

} // namespace
