// The sessions and logical-unit states the arrays hold for resolved pairs,
// against the simulator over both roads: which detail-list entry matches
// which pair, one list read per subgroup, the OLU status list over the
// OLUs a subgroup needs, and the direct session check of one pair.
#include "cmd_support.h"
#include "platform.h"

#include <string>
#include <vector>

namespace {

const std::string kSessions =
    "session 1 vz A1 1 A1 2 size=4096\n"
    "session 2 kzp A1 3 A1 4 size=100 dstext=200\n"
    "session 3 rvz A1 5 B1 1 size=4096\n"
    "session 4 monitor A1 7 A1 - size=4096\n"
    "session 5 vz A1 8 A1 9\n"
    "session 6 kzp A1 0x1a A1 20 size=2048 vvol=yes\n"
    "session 7 vz B1 1 B1 2 size=4096\n";

class CmdSessions : public cmdtest::CommandSim {
protected:
    CmdSessions() : CommandSim(kSessions) {}

    // Resolves the pairs, then looks their sessions up; the result, the
    // found count and the records.
    int Look(const std::vector<std::pair<const char *, const char *>> &pairs,
             std::vector<SessionRecord> *records, int *found, int option = 0,
             uint8_t suspendMark = 0) {
        ReturnInfo ri{};
        EXPECT_EQ(0, BuildAndResolve(pairs, 0, &ri)) << ri.caMessage;
        if (list.pPairs == nullptr) return -9;
        for (uint32_t i = 0; i < list.pPairs->uiCount; ++i)
            list.pPairs->taPair[i].ucSuspendMark = suspendMark;
        records->assign(pairs.size(), SessionRecord{});
        sim.clearLog();
        sim.commandOk("clearlanlog");
        const int r = com_get_session_list(&list, 0, option, found, records->data(), &ri);
        if (r == -1) lastMessage = ri.caMessage;
        return r;
    }

    static uint16_t Id(const SessionRecord &r) {
        return static_cast<uint16_t>(r.tDetail.ucaSessionID[0] << 8 | r.tDetail.ucaSessionID[1]);
    }

    std::string lastMessage;
};

TEST_F(CmdSessions, EachPairFindsItsOwnSession) {
    struct Case {
        const char *pSource, *pTarget;
        int iSession; // 0: none
    };
    const Case cases[] = {
        {"/dev/sdb", "/dev/sdc", 1},
        {"0x3:0:50@sa", "0x4:C8:50@sa", 2},
        {"0x3:0:50@sa", "0x4:C9:50@sa", 0},  // another destination extent
        {"0x3:1:50@sa", "0x4:C8:50@sa", 0},  // another source extent
        {"0x3:0:49@sa", "0x4:C8:49@sa", 0},  // another size
        {"0x5@sa", "0x1@lb", 3},             // between arrays: the remote session
        {"0x5@sa", "0x1@sa", 0},             // within one array never the remote one
        {"0x7@sa", nullptr, 4},              // a volume: the estimate session
        {"0x8@sa", "0x9@sa", 0},             // whole-volume session, no suspend mark
        {"0x1a:0:1024@sa", "0x14:0:1024@sa", 0}, // virtual-volume sessions are not listed
        {"0x1@lb", "0x002@lb", 7},           // over the LAN
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.pSource) + " -> " + (c.pTarget ? c.pTarget : "(none)"));
        std::vector<SessionRecord> records;
        int found = -1;
        const int r = Look({{c.pSource, c.pTarget}}, &records, &found);
        EXPECT_EQ(r, c.iSession != 0 ? 0 : 2) << lastMessage;
        EXPECT_EQ(found, c.iSession != 0 ? 1 : 0);
        EXPECT_EQ(records[0].ucFound, c.iSession != 0 ? 1 : 0);
        EXPECT_EQ(c.iSession != 0 ? Id(records[0]) : 0, c.iSession);
        EXPECT_EQ(list.pPairs->taPair[0].ucWholeVolume, 0);
    }
}

TEST_F(CmdSessions, SuspendMarkMatchesTheWholeVolumeSession) {
    std::vector<SessionRecord> records;
    int found = 0;
    ASSERT_EQ(0, Look({{"0x8@sa", "0x9@sa"}}, &records, &found, 0, 14)) << lastMessage;
    EXPECT_EQ(Id(records[0]), 5);
    EXPECT_EQ(list.pPairs->taPair[0].ucWholeVolume, 1);
}

TEST_F(CmdSessions, VirtualVolumeBitListsVirtualVolumeSessions) {
    uiExOptionFlag = ZRKC_EXOPT_VVOL;
    std::vector<SessionRecord> records;
    int found = 0;
    ASSERT_EQ(0, Look({{"0x1a:0:1024@sa", "0x14:0:1024@sa"}}, &records, &found)) << lastMessage;
    EXPECT_EQ(Id(records[0]), 6);
}

TEST_F(CmdSessions, OneListReadPerSubgroup) {
    std::vector<SessionRecord> records;
    int found = 0;
    // One pair of each array: what one read of each costs.
    ASSERT_EQ(0, Look({{"/dev/sdb", "/dev/sdc"}}, &records, &found));
    const size_t oneInBand = sim.cdbLog().size();
    EXPECT_GT(oneInBand, 0u);
    ASSERT_EQ(0, Look({{"0x1@lb", "0x002@lb"}}, &records, &found));
    const size_t oneLan = iptest::LanSessionCommands(sim).size();
    EXPECT_GT(oneLan, 0u);

    // Four pairs of A1 and two of B1, mixed: still one read per array.
    const int r = Look({{"0x002@lb", "0x1@lb"},
                        {"/dev/sdb", "/dev/sdc"},
                        {"0x3:0:50@sa", "0x4:C8:50@sa"},
                        {"0x1@lb", "0x002@lb"},
                        {"0x8@sa", "0x9@sa"},
                        {"0x5@sa", "0x1@lb"}},
                       &records, &found);
    EXPECT_EQ(r, 2);
    EXPECT_EQ(found, 4);
    EXPECT_EQ(sim.cdbLog().size(), oneInBand); // every pair whose source lies in A1: one subgroup
    EXPECT_EQ(iptest::LanSessionCommands(sim).size(), oneLan);
    const int expected[] = {0, 1, 2, 7, 0, 3};
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(records[i].ucFound, expected[i] != 0 ? 1 : 0);
        EXPECT_EQ(expected[i] != 0 ? Id(records[i]) : 0, expected[i]);
    }
}

TEST_F(CmdSessions, ReadFailureIsMapped) {
    std::vector<SessionRecord> records;
    int found = 0;
    ReturnInfo ri{};
    ASSERT_EQ(0, BuildAndResolve({{"/dev/sdb", "/dev/sdc"}}, 0, &ri));
    records.assign(1, SessionRecord{});
    sim.injectSense(8, 0x4, 0x44, 0x00);
    EXPECT_EQ(-1, com_get_session_list(&list, 0, 0, &found, records.data(), &ri));
    EXPECT_NE(ri.uiMessageNo, 0u);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(records[0].ucFound, 0);
}

TEST_F(CmdSessions, LunStatusOverTheSubgroupsRange) {
    ReturnInfo ri{};
    ASSERT_EQ(0, BuildAndResolve({{"0x9@sa", nullptr}, {"0x5@sa", nullptr}, {"0x7@sa", nullptr}}, 0,
                                 &ri))
        << ri.caMessage;
    std::vector<LunStatusRecord> records(3);
    int found = 0;
    EXPECT_EQ(0, com_get_lunstatus_list(&list, &found, records.data(), &ri)) << ri.caMessage;
    EXPECT_EQ(found, 3);
    const int olus[] = {9, 5, 7};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(records[i].ucFound, 1);
        EXPECT_EQ(records[i].ucaStatus[0] << 8 | records[i].ucaStatus[1], olus[i]);
    }

    // Over the LAN, the same records.
    ASSERT_EQ(0, BuildAndResolve({{"0x002@lb", nullptr}, {"0x1@lb", nullptr}}, 0, &ri));
    std::vector<LunStatusRecord> lan(2);
    EXPECT_EQ(0, com_get_lunstatus_list(&list, &found, lan.data(), &ri)) << ri.caMessage;
    EXPECT_EQ(found, 2);
    EXPECT_EQ(lan[0].ucaStatus[1], 2);
    EXPECT_EQ(lan[1].ucaStatus[1], 1);
}

TEST_F(CmdSessions, LunStatusOfAMissingOlu) {
    ReturnInfo ri{};
    // The extent form reads no status: OLU 6 does not exist on A1.
    ASSERT_EQ(0, BuildAndResolve({{"0x5:0:5@sa", nullptr}, {"0x6:0:5@sa", nullptr},
                                  {"0x7:0:5@sa", nullptr}},
                                 0, &ri))
        << ri.caMessage;
    std::vector<LunStatusRecord> records(3);
    int found = 0;
    velk_trace_init();
    EXPECT_EQ(2, com_get_lunstatus_list(&list, &found, records.data(), &ri)) << ri.caMessage;
    velk_trace_term();
    EXPECT_EQ(found, 2);
    EXPECT_EQ(records[0].ucFound, 1);
    EXPECT_EQ(records[1].ucFound, 0);
    EXPECT_EQ(records[2].ucFound, 1);
    EXPECT_NE(root.traceText().find("no OLU"), std::string::npos);
}

TEST_F(CmdSessions, LunStatusThroughTheTargetsArrayIsRefused) {
    ReturnInfo ri{};
    ASSERT_EQ(0, BuildAndResolve({{"0x1@nc", "0x2@sa"}}, 0, &ri)) << ri.caMessage;
    ASSERT_EQ(list.pPairs->taPair[0].ucByTarget, 1);
    std::vector<LunStatusRecord> records(1);
    int found = 7;
    EXPECT_EQ(-1, com_get_lunstatus_list(&list, &found, records.data(), &ri));
    EXPECT_EQ(found, 0);
    EXPECT_EQ(ri.iReturnClass, 1);
    EXPECT_EQ(ri.uiMessageNo, 1107u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1107 ERROR Alias is not defined.\n");
}

TEST_F(CmdSessions, SessionCheckOfOnePair) {
    ReturnInfo ri{};
    ASSERT_EQ(0, BuildAndResolve({{"/dev/sdb", "/dev/sdc"}, {"/dev/sdc", "/dev/sdb"}}, 0, &ri));
    const CopyPair present = list.pPairs->taPair[0];
    const CopyPair absent = list.pPairs->taPair[1];
    unsigned char detail[256];
    ReturnInfo check{};
    check.uiMessageNo = 4242;
    EXPECT_EQ(3, com_session_check("/dev/sdb", detail, &check, present));
    EXPECT_EQ(detail[0] << 8 | detail[1], 1);
    EXPECT_EQ(2, com_session_check("/dev/sdc", detail, &check, absent));
    EXPECT_EQ(check.uiMessageNo, 4242u);
}

} // namespace

namespace {

class CmdSessionsDirection : public cmdtest::CommandSim {
protected:
    CmdSessionsDirection() : CommandSim(kSessions) {}
};

TEST_F(CmdSessionsDirection, DirectionOneMatchesTheOtherWayRound) {
    ReturnInfo ri{};
    // Resolved as named: the pair's source is A1 2, its target A1 1.
    ASSERT_EQ(0, BuildAndResolve({{"/dev/sdc", "/dev/sdb"}}, 0, &ri)) << ri.caMessage;
    std::vector<SessionRecord> records(1);
    int found = 0;
    EXPECT_EQ(2, com_get_session_list(&list, 0, 0, &found, records.data(), &ri));
    EXPECT_EQ(found, 0);
    EXPECT_EQ(0, com_get_session_list(&list, 1, 0, &found, records.data(), &ri)) << ri.caMessage;
    EXPECT_EQ(found, 1);
    EXPECT_EQ(records[0].tDetail.ucaSessionID[1], 1);
}

} // namespace
