// The VZ and RVZ session commands end to end against the simulator, over
// both roads: start (modes from the option word or the properties file),
// stop, reverse, change and the suspend status, single pairs and group
// files, with the volume-name store they keep.
#include "cmd_support.h"
#include "platform.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kGroup = ZRKC_OPT_GROUP_FILE;
constexpr unsigned char kTravoOut = 0xE9;

class CmdVz : public cmdtest::CommandSim {
protected:
    explicit CmdVz(const std::string &sessions = "") : CommandSim(sessions) {}

    // The TRAVO OUT pages sent since the last clearLog, by their code.
    std::vector<int> SentPages() const {
        std::vector<int> codes;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.cdb[0] == kTravoOut && !r.dataOut.empty()) codes.push_back(r.dataOut[0]);
        return codes;
    }

    // The simulator's session line of the pair "ARRAY:OLU>ARRAY:OLU", "" if none.
    std::string Session(const std::string &array, const std::string &pairText) const {
        return cmdtest::SessionOf(sim, array, pairText);
    }

    // The properties file with the three mode keys set as given.
    void WriteModes(const std::string &mode, const std::string &split, const std::string &recovery) {
        std::istringstream in(zrktest::readFile(root.etc() + "/zrkc.ini"));
        std::string out, line;
        while (std::getline(in, line)) {
            if (line.rfind("mode=", 0) == 0) line = "mode=" + mode;
            else if (line.rfind("split=", 0) == 0) line = "split=" + split;
            else if (line.rfind("recovery=", 0) == 0) line = "recovery=" + recovery;
            out += line + "\n";
        }
        root.writeProperties(out);
    }



    // The name the volume-name store keeps for one side of a resolved pair.
    std::string StoredName(const CopyPair &pair, bool target) {
        return cmdtest::StoredName(pair, target);
    }

};

TEST_F(CmdVz, StartAndStopRecordAndEraseTheNamesOverBothRoads) {
    struct Case {
        const char *pSource, *pTarget, *pArray, *pPair;
    };
    const Case cases[] = {
        {"0x3@sa", "0x4@sa", "A1", "A1:3>A1:4"},      // in-band
        {"0x1@lb", "0x2@lb", "B1", "B1:1>B1:2"},      // over the LAN
        {"0x3:10:100@sa", "0x4:0:100@sa", "A1", ""},  // extents: the target keeps the source's size
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pSource);
        ReturnInfo ri{};
        char *src = const_cast<char *>(c.pSource), *dst = const_cast<char *>(c.pTarget);
        ASSERT_EQ(0, zrkc_start_vz(src, dst, 0, &ri)) << ri.caMessage;
        EXPECT_EQ(ri.iReturnClass, 0);
        if (*c.pPair != '\0') {
            EXPECT_NE(Session(c.pArray, c.pPair), "");
        }
        const cmdtest::Resolved r = Resolve(c.pSource, c.pTarget);
        ASSERT_EQ(r.iResult, 0);
        EXPECT_EQ(StoredName(r.tPair, false), c.pSource);
        EXPECT_EQ(StoredName(r.tPair, true), c.pTarget);

        ASSERT_EQ(0, zrkc_stop_vz(src, dst, 0, &ri)) << ri.caMessage;
        EXPECT_EQ(sim.sessions(c.pArray).size(), 0u);
        EXPECT_EQ(StoredName(r.tPair, false), "");
        EXPECT_EQ(StoredName(r.tPair, true), "");
    }
}

TEST_F(CmdVz, StartModeWordFromTheOptionWord) {
    struct Case {
        int iOption;
        int iResult;
        const char *pMode, *pTransfer; // the session's fields afterwards
    };
    const Case cases[] = {
        {0, 0, "none", "2"},                                          // no mode bit: stack
        {ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV, 0, "sync,split,manual", "0"},
        {ZRK_OPT_CONSISTENCY | ZRK_OPT_MANUAL_RCV, 0, "manual", "3"},
        {ZRK_OPT_STACK | ZRK_OPT_AUTO_SPLIT, -1, nullptr, nullptr}, // split only with sync
        {ZRK_OPT_SYNC | ZRK_OPT_STACK, -1, nullptr, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.iOption);
        ReturnInfo ri{};
        sim.clearLog();
        EXPECT_EQ(c.iResult, zrkc_start_vz(const_cast<char *>("0x7@sa"),
                                           const_cast<char *>("0x1@lb"), c.iOption, &ri))
            << ri.caMessage;
        if (c.iResult != 0) {
            EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PROPERTIES);
            EXPECT_EQ(ri.uiMessageNo, 1405u);
            EXPECT_STREQ(ri.caMessage,
                         "ZRKC1405 ERROR The combination of VELK parameters is incorrect.\n");
            EXPECT_TRUE(SentPages().empty());
            continue;
        }
        const std::string line = Session("A1", "A1:7>B1:1");
        ASSERT_NE(line, "");
        EXPECT_EQ(iptest::SessionField(line, "mode"), c.pMode) << line;
        EXPECT_EQ(iptest::SessionField(line, "transfer"), c.pTransfer) << line;
        ASSERT_EQ(0, zrkc_stop_vz(const_cast<char *>("0x7@sa"), const_cast<char *>("0x1@lb"),
                                  ZRK_OPT_FORCE, &ri))
            << ri.caMessage;
    }
}

TEST_F(CmdVz, StartModeWordFromTheProperties) {
    struct Case {
        const char *pModeValue, *pSplit, *pRecovery;
        int iResult;
        const char *pMode, *pTransfer;
    };
    const Case cases[] = {
        {"", "", "", 0, "none", "2"}, // all keys empty: stack
        {"sync", "automatic", "manual", 0, "sync,split,manual", "0"},
        {"consistency", "", "automatic", 0, "none", "3"},
        {"stack", "manual", "", -1, nullptr, nullptr}, // no row fits
        {"sync", "", "", -1, nullptr, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.pModeValue) + "/" + c.pSplit + "/" + c.pRecovery);
        WriteModes(c.pModeValue, c.pSplit, c.pRecovery);
        ReturnInfo ri{};
        // The option word's own mode bits do not count with the properties bit.
        EXPECT_EQ(c.iResult, zrkc_start_vz(const_cast<char *>("0x7@sa"),
                                           const_cast<char *>("0x1@lb"),
                                           ZRKC_OPT_PROPERTIES | ZRK_OPT_SYNC, &ri))
            << ri.caMessage;
        if (c.iResult != 0) {
            EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PROPERTIES);
            EXPECT_EQ(ri.uiMessageNo, 1405u);
            EXPECT_EQ(Session("A1", "A1:7>B1:1"), "");
            continue;
        }
        const std::string line = Session("A1", "A1:7>B1:1");
        ASSERT_NE(line, "");
        EXPECT_EQ(iptest::SessionField(line, "mode"), c.pMode) << line;
        EXPECT_EQ(iptest::SessionField(line, "transfer"), c.pTransfer) << line;
        ASSERT_EQ(0, zrkc_stop_vz(const_cast<char *>("0x7@sa"), const_cast<char *>("0x1@lb"),
                                  ZRK_OPT_FORCE, &ri))
            << ri.caMessage;
    }
}

TEST_F(CmdVz, LocalPairTakesNoModeBitInSingleModeButDoesInAGroup) {
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_start_vz(const_cast<char *>("0x3@sa"), const_cast<char *>("0x4@sa"),
                                ZRK_OPT_SYNC, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PARAMETER);
    EXPECT_EQ(ri.uiMessageNo, 1010u);
    EXPECT_EQ(Session("A1", "A1:3>A1:4"), "");

    const std::string group = GroupFile("0x3@sa 0x4@sa\n0x1@lb 0x2@lb\n");
    UsePairArea(&ri, 2);
    ASSERT_EQ(0, zrkc_start_vz(const_cast<char *>(group.c_str()), nullptr,
                               kGroup | ZRK_OPT_SYNC | ZRK_OPT_SECONDARY, &ri))
        << ri.caMessage << Entry(0).caMessage << Entry(1).caMessage;
    const std::string local = Session("A1", "A1:3>A1:4");
    ASSERT_NE(local, "");
    EXPECT_EQ(iptest::SessionField(local, "mode"), "none"); // only the protection went with it
    EXPECT_NE(iptest::SessionField(local, "secondary"), "0");
    EXPECT_NE(Session("B1", "B1:1>B1:2"), "");
}

TEST_F(CmdVz, GroupStartRecordsOnlyThePairsStarted) {
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    const std::string group = GroupFile("0x3@sa 0x4@sa\n0x8@sa 0x9@sa\n");
    // The first start page the array receives fails.
    sim.injectSenseOnList(0x44, 1, 0x5, 0x24, 0x00);
    EXPECT_EQ(-1, zrkc_start_vz(const_cast<char *>(group.c_str()), nullptr, kGroup, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_NE(Entry(0).iReturnClass, 0);
    EXPECT_EQ(Entry(1).iReturnClass, 0) << Entry(1).caMessage;
    const cmdtest::Resolved failed = Resolve("0x3@sa", "0x4@sa");
    EXPECT_EQ(StoredName(failed.tPair, false), "");
    EXPECT_EQ(StoredName(failed.tPair, true), "");
    const cmdtest::Resolved started = Resolve("0x8@sa", "0x9@sa");
    EXPECT_EQ(StoredName(started.tPair, false), "0x8@sa");
    EXPECT_EQ(StoredName(started.tPair, true), "0x9@sa");
    EXPECT_EQ(Session("A1", "A1:3>A1:4"), "");
    EXPECT_NE(Session("A1", "A1:8>A1:9"), "");
}

class CmdVzRunning : public CmdVz {
protected:
    CmdVzRunning()
        : CmdVz("session 1 vz A1 1 A1 2 size=4096\n"
                "session 3 rvz A1 5 B1 1 size=4096 transfer=2\n"
                "session 4 rvz A1 8 B1 2 size=4096 transfer=2 status=suspend\n") {}
};

TEST_F(CmdVzRunning, StartOfARunningPair) {
    struct Case {
        const char *pSource, *pTarget;
        int iOption;
        int iResult;
    };
    const Case cases[] = {
        {"0x1@sa", "0x2@sa", 0, 0},                                // same protection: nothing sent
        {"0x1@sa", "0x2@sa", ZRK_OPT_SECONDARY, -1},               // another protection
        {"0x5@sa", "0x1@lb", ZRK_OPT_STACK, 0},                    // same modes
        {"0x5@sa", "0x1@lb", ZRK_OPT_STACK | ZRK_OPT_SKIP_COPY, -1}, // skip: another mode
        {"0x5@sa", "0x1@lb", ZRK_OPT_SYNC, -1},
        {"0x5@sa", "0x1@lb", ZRK_OPT_STACK | ZRK_OPT_MANUAL_RCV, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.pSource) + " " + std::to_string(c.iOption));
        ReturnInfo ri{};
        sim.clearLog();
        EXPECT_EQ(c.iResult, zrkc_start_vz(const_cast<char *>(c.pSource),
                                           const_cast<char *>(c.pTarget), c.iOption, &ri));
        EXPECT_TRUE(SentPages().empty());
        if (c.iResult != 0) {
            EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_BUSY);
            EXPECT_EQ(ri.uiMessageNo, 1050u);
            EXPECT_STREQ(ri.caMessage,
                         "ZRKC1050 ERROR VZ copy has already started in another mode.\n");
        }
    }
}

TEST_F(CmdVzRunning, GroupStartGoesOnPastARefusedPair) {
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    const std::string group = GroupFile("0x5@sa 0x1@lb\n0x3@sa 0x4@sa\n");
    EXPECT_EQ(-1, zrkc_start_vz(const_cast<char *>(group.c_str()), nullptr, kGroup | ZRK_OPT_SYNC,
                                &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_EQ(Entry(0).uiMessageNo, 1050u);
    EXPECT_EQ(Entry(1).iReturnClass, 0);
    EXPECT_NE(Session("A1", "A1:3>A1:4"), "");
}

TEST_F(CmdVzRunning, StopOfAStackingRvzSession) {
    ReturnInfo ri{};
    // Active: refused before anything is sent.
    sim.clearLog();
    EXPECT_EQ(-1, zrkc_stop_vz(const_cast<char *>("0x5@sa"), const_cast<char *>("0x1@lb"), 0, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_STATE);
    EXPECT_EQ(ri.uiMessageNo, 1104u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1104 ERROR Operation sequence error.\n");
    EXPECT_TRUE(SentPages().empty());
    // Suspended: stopped with force.
    sim.clearLog();
    ASSERT_EQ(0, zrkc_stop_vz(const_cast<char *>("0x8@sa"), const_cast<char *>("0x2@lb"), 0, &ri))
        << ri.caMessage;
    ASSERT_EQ(SentPages(), std::vector<int>{0x45});
    for (const zrksim::CdbRecord &r : sim.cdbLog()) {
        if (r.cdb[0] == kTravoOut && r.dataOut.size() > 24) {
            EXPECT_NE(r.dataOut[24] & 0x80, 0); // force
        }
    }
    EXPECT_EQ(Session("A1", "A1:8>B1:2"), "");
    // No session at all.
    EXPECT_EQ(-1, zrkc_stop_vz(const_cast<char *>("0x3@sa"), const_cast<char *>("0x4@sa"), 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1100u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1100 ERROR Session does not exist.\n");
}

TEST_F(CmdVzRunning, GroupStopPassesOverPairsWithoutSession) {
    ReturnInfo ri{};
    UsePairArea(&ri, 3);
    const std::string group = GroupFile("0x3@sa 0x4@sa\n0x1@sa 0x2@sa\n0x5@sa 0x1@lb\n");
    sim.clearLog();
    EXPECT_EQ(-1, zrkc_stop_vz(const_cast<char *>(group.c_str()), nullptr, kGroup, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_EQ(Entry(0).iReturnClass, 0);
    EXPECT_EQ(Entry(1).iReturnClass, 0);
    EXPECT_EQ(Entry(2).uiMessageNo, 1104u);
    EXPECT_EQ(SentPages(), std::vector<int>{0x45});
    EXPECT_EQ(Session("A1", "A1:1>A1:2"), "");
    EXPECT_NE(Session("A1", "A1:5>B1:1"), "");
}

class CmdVzSuspended : public CmdVz {
protected:
    CmdVzSuspended()
        : CmdVz("session 1 vz A1 1 A1 2 size=4096 status=suspend\n"
                "session 2 vz A1 9 A1 8 size=4096 status=suspend\n"
                "session 3 rvz A1 5 B1 1 size=4096 status=suspend transfer=2\n"
                "session 7 vz B1 1 B1 2 size=4096 status=suspend\n") {}
};

TEST_F(CmdVzSuspended, ReverseChangesOnlyThePairsNotReversedYet) {
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    const std::string group = GroupFile("0x1@sa 0x2@sa\n0x8@sa 0x9@sa\n");
    sim.clearLog();
    ASSERT_EQ(0, zrkc_reverse_vz(const_cast<char *>(group.c_str()), nullptr, kGroup, &ri))
        << ri.caMessage << Entry(0).caMessage;
    EXPECT_EQ(SentPages(), std::vector<int>{0x46});
    EXPECT_NE(Session("A1", "A1:2>A1:1"), "");
    // Now every pair is reversed.
    EXPECT_EQ(-1, zrkc_reverse_vz(const_cast<char *>(group.c_str()), nullptr, kGroup, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1104u);
    // Over the LAN.
    ASSERT_EQ(0, zrkc_reverse_vz(const_cast<char *>("0x1@lb"), const_cast<char *>("0x2@lb"), 0, &ri))
        << ri.caMessage;
    EXPECT_NE(Session("B1", "B1:2>B1:1"), "");
}

TEST_F(CmdVzSuspended, ChangeTakesTheModesOfTheOptionWord) {
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_change_vz(const_cast<char *>("0x5@sa"), nullptr, ZRK_OPT_SYNC, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_EQ(-1, zrkc_change_vz(const_cast<char *>("0x5@sa"), const_cast<char *>("0x1@lb"),
                                 ZRKC_OPT_GROUP_FILE, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
    ASSERT_EQ(0, zrkc_change_vz(const_cast<char *>("0x5@sa"), const_cast<char *>("0x1@lb"),
                                ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT, &ri))
        << ri.caMessage;
    const std::string line = Session("A1", "A1:5>B1:1");
    EXPECT_EQ(iptest::SessionField(line, "mode"), "sync,split") << line;
    EXPECT_EQ(iptest::SessionField(line, "transfer"), "0") << line;
}

TEST_F(CmdVzSuspended, SuspendStatusOfPairs) {
    ReturnInfo ri{};
    // No area: the size needed.
    EXPECT_EQ(1, zrkc_query_suspendstatus(const_cast<char *>("0x1@sa"), const_cast<char *>("0x2@sa"),
                                          0, &ri, nullptr, 0));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PARAMETER);
    EXPECT_EQ(ri.uiMessageNo, 1001u);
    EXPECT_EQ(ri.uiNeedOutputSize, 2056u + 8u);
    EXPECT_EQ(-1, zrkc_query_suspendstatus(const_cast<char *>("0x1@sa"),
                                           const_cast<char *>("0x2@sa"), 0, &ri, nullptr, 8));
    EXPECT_EQ(ri.uiMessageNo, 1008u);

    // A group over both roads, one pair without a session.
    const std::string group = GroupFile("0x1@sa 0x2@sa\n0x3@sa 0x4@sa\n0x1@lb 0x2@lb\n");
    UsePairArea(&ri, 3);
    std::vector<unsigned char> out(3 * sizeof(SuspendStatusEntry) + 8, 0xAA);
    auto *list = reinterpret_cast<SuspendStatusList *>(out.data());
    ASSERT_EQ(0, zrkc_query_suspendstatus(const_cast<char *>(group.c_str()), nullptr, kGroup, &ri,
                                          list, static_cast<int>(out.size())))
        << ri.caMessage;
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_EQ(Entry(1).uiMessageNo, 1100u);
    EXPECT_EQ(list->uiCount, 3u);
    EXPECT_EQ(list->uiFilled, 2u);
    EXPECT_STREQ(list->taEntry[0].caSource, "0x1@sa");
    EXPECT_STREQ(list->taEntry[0].caTarget, "0x2@sa");
    EXPECT_EQ(list->taEntry[0].ucStatus, 4);
    EXPECT_EQ(list->taEntry[0].ucKind, 4);
    EXPECT_EQ(list->taEntry[1].caSource[0], '\0'); // not found: all zero
    EXPECT_EQ(list->taEntry[1].ucStatus, 0);
    EXPECT_STREQ(list->taEntry[2].caSource, "0x1@lb");
    EXPECT_EQ(list->taEntry[2].ucStatus, 4);

    // A remote session, and one that is not a VZ session.
    std::vector<unsigned char> one(sizeof(SuspendStatusEntry) + 8, 0);
    auto *single = reinterpret_cast<SuspendStatusList *>(one.data());
    ReturnInfo plain{};
    ASSERT_EQ(0, zrkc_query_suspendstatus(const_cast<char *>("0x5@sa"),
                                          const_cast<char *>("0x1@lb"), 0, &plain, single,
                                          static_cast<int>(one.size())))
        << plain.caMessage;
    EXPECT_EQ(single->taEntry[0].ucKind, 5);
    EXPECT_EQ(single->taEntry[0].ucStatus, 4);
    sim.addSession("9 kzp A1 3 A1 4 size=4096");
    EXPECT_EQ(-1, zrkc_query_suspendstatus(const_cast<char *>("0x3@sa"),
                                           const_cast<char *>("0x4@sa"), 0, &plain, single,
                                           static_cast<int>(one.size())));
    EXPECT_EQ(plain.uiMessageNo, 1019u);
}

} // namespace

namespace {

class CmdVzStatusWays : public CmdVz {
protected:
    CmdVzStatusWays()
        : CmdVz("session 1 vz A1 1 A1 2 size=4096 status=suspend\n"
                "session 2 rvz C1 1 A1 3 size=4096\n") {}
};

TEST_F(CmdVzStatusWays, NamesComeBackAsGivenTheOtherWayRound) {
    std::vector<unsigned char> one(sizeof(SuspendStatusEntry) + 8, 0);
    auto *out = reinterpret_cast<SuspendStatusList *>(one.data());
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_query_suspendstatus(const_cast<char *>("0x2@sa"), const_cast<char *>("0x1@sa"),
                                          ZRKC_OPT_OTHER_WAY, &ri, out, static_cast<int>(one.size())))
        << ri.caMessage;
    EXPECT_EQ(out->uiFilled, 1u);
    EXPECT_STREQ(out->taEntry[0].caSource, "0x1@sa");
    EXPECT_STREQ(out->taEntry[0].caTarget, "0x2@sa");
    EXPECT_EQ(out->taEntry[0].ucStatus, 4);
}

TEST_F(CmdVzStatusWays, AreaIsCheckedBeforeAnyNameIsResolved) {
    // A first call without an area learns the size it needs even for pairs
    // that cannot be resolved, and nothing reaches either road.
    const std::string group = GroupFile("0x1@nosuch 0x2@nosuch\n0x1@lb 0x7@lb\n0x9@sa 0x1@sa\n");
    struct Case {
        const char *pSource, *pTarget;
        int iOption;
        uint32_t uiNeeded;
    };
    const Case cases[] = {
        {"0x1@nosuch", "0x2@nosuch", 0, 2056u + 8u}, // no such alias
        {"0x1@nc", "0x2@nc", 0, 2056u + 8u},         // an array without a route
        {group.c_str(), nullptr, kGroup, 3u * 2056u + 8u},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pSource);
        ReturnInfo ri{};
        UsePairArea(&ri, 3);
        EXPECT_EQ(1, zrkc_query_suspendstatus(const_cast<char *>(c.pSource), const_cast<char *>(c.pTarget),
                                              c.iOption, &ri, nullptr, 0));
        EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PARAMETER);
        EXPECT_EQ(ri.uiMessageNo, 1001u);
        EXPECT_STREQ(ri.caMessage, "ZRKC1001 WARNING Insufficient output area.\n");
        EXPECT_EQ(ri.uiNeedOutputSize, c.uiNeeded);
        EXPECT_TRUE(sim.cdbLog().empty());
        EXPECT_TRUE(iptest::LanCommands(sim).empty());
    }
    // With the area the same unresolvable pair fails in resolution.
    std::vector<unsigned char> one(sizeof(SuspendStatusEntry) + 8, 0);
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_query_suspendstatus(const_cast<char *>("0x1@nosuch"),
                                           const_cast<char *>("0x2@nosuch"), 0, &ri,
                                           reinterpret_cast<SuspendStatusList *>(one.data()),
                                           static_cast<int>(one.size())));
    EXPECT_NE(ri.uiMessageNo, 1001u);
}

TEST_F(CmdVzStatusWays, PairReachedThroughItsTargetsArray) {
    // C1 has no route: the pair is reached through A1, whose status list
    // does not answer for it.
    std::vector<unsigned char> one(sizeof(SuspendStatusEntry) + 8, 0);
    auto *out = reinterpret_cast<SuspendStatusList *>(one.data());
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_query_suspendstatus(const_cast<char *>("0x1@nc"), const_cast<char *>("0x3@sa"),
                                           0, &ri, out, static_cast<int>(one.size())));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_STATE);
    EXPECT_EQ(ri.uiMessageNo, 1110u) << ri.caMessage;
    EXPECT_STREQ(ri.caMessage, "ZRKC1110 ERROR Alias specified for the copy source is not defined.\n");
}

} // namespace
