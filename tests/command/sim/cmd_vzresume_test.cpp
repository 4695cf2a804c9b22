// The VZ resume end to end against the simulator: the normal resume of the
// pairs that are not active, over both roads, and the recovery resume that
// first brings remote sessions into the transfer mode asked for.
#include "cmd_support.h"
#include "platform.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kGroup = ZRKC_OPT_GROUP_FILE;
constexpr int kRecovery = ZRKC_OPT_RECOVERY;
constexpr unsigned char kTravoOut = 0xE9;

class CmdVzResume : public cmdtest::CommandSim {
protected:
    explicit CmdVzResume(const std::string &sessions) : CommandSim(sessions) {}

    // The TRAVO OUT pages sent since the last clearLog, by their code.
    std::vector<int> SentPages() const {
        std::vector<int> codes;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.cdb[0] == kTravoOut && !r.dataOut.empty()) codes.push_back(r.dataOut[0]);
        return codes;
    }

    // KEY=VALUE of the simulator's session of the pair "ARRAY:OLU>ARRAY:OLU".
    std::string Field(const std::string &array, const std::string &pairText,
                      const std::string &key) const {
        for (const std::string &line : sim.sessions(array)) {
            std::istringstream in(line);
            std::string word, id, kind, sa, so, da, dO;
            in >> word >> id >> kind >> sa >> so >> da >> dO;
            if (sa + ":" + so + ">" + da + ":" + dO == pairText)
                return iptest::SessionField(line, key);
        }
        return "(none)";
    }



    int Resume(const char *source, const char *target, int option, ReturnInfo *ri) {
        return zrkc_resume_vz(const_cast<char *>(source), const_cast<char *>(target), option, ri);
    }

};

class CmdVzResumeNormal : public CmdVzResume {
protected:
    CmdVzResumeNormal()
        : CmdVzResume("session 1 vz A1 1 A1 2 size=4096 status=suspend\n"
                      "session 2 vz A1 3 A1 4 size=4096\n"
                      "session 3 vz A1 8 A1 9 size=4096 status=suspend\n"
                      "session 7 vz B1 1 B1 2 size=4096 status=suspend\n") {}
};

TEST_F(CmdVzResumeNormal, OnlyThePairsNotActiveAreResumed) {
    ReturnInfo ri{};
    UsePairArea(&ri, 3);
    const std::string group = GroupFile("0x1@sa 0x2@sa\n0x3@sa 0x4@sa\n0x8@sa 0x9@sa\n");
    sim.clearLog();
    ASSERT_EQ(0, Resume(group.c_str(), nullptr, kGroup, &ri))
        << ri.caMessage << "0:" << Entry(0).caMessage << "1:" << Entry(1).caMessage << "2:" << Entry(2).caMessage;
    EXPECT_EQ(SentPages(), (std::vector<int>{0x49, 0x49}));
    EXPECT_EQ(Field("A1", "A1:1>A1:2", "status"), "2");
    EXPECT_EQ(Field("A1", "A1:8>A1:9", "status"), "2");
    // Every pair active now.
    sim.clearLog();
    EXPECT_EQ(-1, Resume(group.c_str(), nullptr, kGroup, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_STATE);
    EXPECT_EQ(ri.uiMessageNo, 1104u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1104 ERROR Operation sequence error.\n");
    EXPECT_TRUE(SentPages().empty());
}

TEST_F(CmdVzResumeNormal, OverTheLan) {
    ReturnInfo ri{};
    ASSERT_EQ(0, Resume("0x1@lb", "0x2@lb", 0, &ri)) << ri.caMessage;
    EXPECT_EQ(Field("B1", "B1:1>B1:2", "status"), "2");
}

TEST_F(CmdVzResumeNormal, RemainModeOfALocalPair) {
    ReturnInfo ri{};
    // Single mode: refused before any session is looked at.
    sim.clearLog();
    EXPECT_EQ(-1, Resume("0x1@sa", "0x2@sa", ZRK_OPT_REMAIN, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_PARAMETER);
    EXPECT_EQ(ri.uiMessageNo, 1010u);
    EXPECT_TRUE(SentPages().empty());
    // Group mode: resumed without it (the array refuses it on a local session).
    UsePairArea(&ri, 1);
    const std::string group = GroupFile("0x1@sa 0x2@sa\n");
    ASSERT_EQ(0, Resume(group.c_str(), nullptr, kGroup | ZRK_OPT_REMAIN, &ri))
        << ri.caMessage << Entry(0).caMessage;
    EXPECT_EQ(Field("A1", "A1:1>A1:2", "status"), "2");
}

TEST_F(CmdVzResumeNormal, NoSessionAtAll) {
    ReturnInfo ri{};
    EXPECT_EQ(-1, Resume("0x5@sa", "0x7@sa", 0, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_STATE);
    EXPECT_EQ(ri.uiMessageNo, 1100u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1100 ERROR Session does not exist.\n");
    EXPECT_EQ(-1, Resume("0x5@sa", "0x7@sa", 0x10000, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
}

TEST_F(CmdVzResumeNormal, RecoveryOfLocalPairsOnlyResumes) {
    ReturnInfo ri{};
    sim.clearLog();
    ASSERT_EQ(0, Resume("0x1@sa", "0x2@sa", kRecovery, &ri)) << ri.caMessage;
    EXPECT_EQ(SentPages(), std::vector<int>{0x49});
}

class CmdVzResumeRecovery : public CmdVzResume {
protected:
    CmdVzResumeRecovery()
        : CmdVzResume("session 3 rvz A1 5 B1 1 size=4096 transfer=2 status=suspend\n"
                      "session 4 rvz A1 7 B1 2 size=2048 mode=sync,split status=suspend\n"
                      "session 5 rvz A1 8 B1 2 size=2048 dstext=2048 mode=sync status=suspend\n"
                      "session 6 vz A1 9 A1 20 size=2048\n") {}
};

TEST_F(CmdVzResumeRecovery, RefusedBeforeAnythingIsSent) {
    struct Case {
        const char *pLines;
        int iOption;
        uint32_t uiMessage;
    };
    const Case cases[] = {
        {"0x5@sa 0x1@lb\n", ZRK_OPT_SYNC, 1017},          // stack session, synchronous asked
        {"0x5@sa 0x1@lb\n", ZRK_OPT_CONSISTENCY, 1017},
        {"0x7:0:1024@sa 0x2:0:1024@lb\n", ZRK_OPT_STACK, 1017}, // synchronous, stack asked
        {"0x7:0:1024@sa 0x2:0:1024@lb\n0x8:0:1024@sa 0x2:800:1024@lb\n", ZRK_OPT_SYNC,
         1214}, // split modes differ
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pLines);
        ReturnInfo ri{};
        UsePairArea(&ri, 2);
        const std::string group = GroupFile(c.pLines);
        sim.clearLog();
        EXPECT_EQ(-1, Resume(group.c_str(), nullptr, kGroup | kRecovery | c.iOption, &ri));
        EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_STATE);
        EXPECT_EQ(ri.uiMessageNo, c.uiMessage) << ri.caMessage;
        EXPECT_TRUE(SentPages().empty());
    }
}

class CmdVzResumeChange : public CmdVzResume {
protected:
    CmdVzResumeChange()
        : CmdVzResume("session 3 rvz A1 5 B1 1 size=4096 transfer=0 mode=manual\n"
                      "session 4 rvz A1 7 B1 2 size=4096 transfer=0 mode=manual status=suspend\n") {}
};

TEST_F(CmdVzResumeChange, SessionsAreBroughtIntoTheModeAskedFor) {
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    const std::string group = GroupFile("0x5@sa 0x1@lb\n0x7@sa 0x2@lb\n");
    sim.clearLog();
    // No mode bit and no "mode" property: stack.
    ASSERT_EQ(0, Resume(group.c_str(), nullptr, kGroup | kRecovery, &ri))
        << ri.caMessage << Entry(0).caMessage << Entry(1).caMessage;
    // The active one is suspended by force first; both are changed and resumed.
    EXPECT_EQ(SentPages(), (std::vector<int>{0x48, 0x46, 0x46, 0x49, 0x49}));
    for (const char *pair : {"A1:5>B1:1", "A1:7>B1:2"}) {
        SCOPED_TRACE(pair);
        EXPECT_EQ(Field("A1", pair, "transfer"), "2");
        EXPECT_EQ(Field("A1", pair, "mode"), "manual"); // the recovery mode stays
        EXPECT_EQ(Field("A1", pair, "status"), "2");
    }
}

TEST_F(CmdVzResumeChange, AFailedSuspendLeavesItsPairAlone) {
    ReturnInfo ri{};
    UsePairArea(&ri, 2);
    const std::string group = GroupFile("0x5@sa 0x1@lb\n0x7@sa 0x2@lb\n");
    sim.injectSenseOnList(0x48, 1, 0x5, 0x24, 0x00);
    sim.clearLog();
    EXPECT_EQ(-1, Resume(group.c_str(), nullptr, kGroup | kRecovery | ZRK_OPT_CONSISTENCY, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_NE(Entry(0).iReturnClass, 0);
    EXPECT_EQ(Entry(1).iReturnClass, 0) << Entry(1).caMessage;
    EXPECT_EQ(Field("A1", "A1:5>B1:1", "transfer"), "0");
    EXPECT_EQ(Field("A1", "A1:5>B1:1", "status"), "2");
    EXPECT_EQ(Field("A1", "A1:7>B1:2", "transfer"), "3");
    EXPECT_EQ(Field("A1", "A1:7>B1:2", "status"), "2");
}

} // namespace

namespace {

// Both resume phases work when called on their own, outside the command:
// an empty list has no session (1100), a resolved suspended pair resumes.
TEST_F(CmdVzResumeNormal, PhasesCalledOnTheirOwn) {
    using Phase = int (*)(CopyPairList *, int, ReturnInfo *);
    for (Phase phase : {Phase{resume_normal}, Phase{resume_recovery}}) {
        CopyPairList empty{};
        ReturnInfo ri{};
        EXPECT_EQ(-1, phase(&empty, 0, &ri));
        EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_STATE);
        EXPECT_EQ(ri.uiMessageNo, 1100u);
        EXPECT_STREQ(ri.caMessage, "ZRKC1100 ERROR Session does not exist.\n");
    }
    ReturnInfo ri{};
    ASSERT_EQ(0, BuildAndResolve({{"0x1@sa", "0x2@sa"}}, 0, &ri)) << ri.caMessage;
    ASSERT_EQ(0, resume_normal(&list, 0, &ri)) << ri.caMessage;
    EXPECT_EQ(Field("A1", "A1:1>A1:2", "status"), "2");
}

} // namespace
