// The command layer's operations and the frame's shared parts, through a
// command written on the frame: the identifier each operation maps with on
// each road, the one dispatch by road, the group run's lines that fail
// without failing the call, the per-pair area, the parts that report in a
// lent frame, and the trace lines that carry their call site.
#include "frame_fixture.h"
#include "platform.h"
#include "zrkc.h"
#include "zrkcframe.h"
#include "zrkcops.h"
#include "zrkctrace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using zrkc::CommandCall;
using zrkc::Op;

// Each case runs in a process of its own, against an installation root of
// its own.
class CommandOps : public zrktest::FrameFixture {};

// The one operation whose unknown BoxID has a message of its own is the
// setting of the copy priority, on whichever road it is mapped.
TEST_F(CommandOps, OnlyTheCopyPrioritySettingMapsAnUnknownBoxIdToItsOwnMessage) {
    for (const zrkc::OpRow &row : zrkc::kOps) {
        for (uint8_t road : {uint8_t{ZRKC_TRANSPORT_SCSI}, uint8_t{ZRKC_TRANSPORT_LAN}}) {
            const uint8_t id = zrkc::IdOf(row.eOp, road);
            if (id == 0) continue; // no function on this road
            SCOPED_TRACE(testing::Message() << row.pTrace << " road " << int{road} << " id " << int{id});
            unsigned char sense[ZRK_SENSE_LEN] = {};
            int32_t returnClass = 0;
            uint32_t messageNo = 0;
            char message[ZRK_MESSAGE_LEN];
            ZRKerrno = ZRK_ERR_BOXID;
            ASSERT_EQ(com_set_return_inf(id, "/dev/sdq", -1, sense, &returnClass, &messageNo, message), -1);
            EXPECT_EQ(returnClass, ZRKC_CLASS_ARRAY);
            EXPECT_EQ(messageNo, row.eOp == Op::SetCopyPriority ? 3007u : 1109u);
        }
    }
}

// Every operation has a function on at least one road, and one with a
// single road answers IdOf without a road.
TEST_F(CommandOps, EveryOperationHasARoad) {
    for (const zrkc::OpRow &row : zrkc::kOps) {
        SCOPED_TRACE(row.pTrace);
        EXPECT_NE(zrkc::IdOf(row.eOp), 0);
        if (row.ucInBand == 0 || row.ucLan == 0) {
            EXPECT_EQ(zrkc::IdOf(row.eOp), row.ucInBand | row.ucLan);
        }
        EXPECT_EQ(zrkc::IdOf(row.eOp, ZRKC_TRANSPORT_SCSI), row.ucInBand);
        EXPECT_EQ(zrkc::IdOf(row.eOp, ZRKC_TRANSPORT_LAN), row.ucLan);
        EXPECT_STRNE(zrkc::TraceNames(row.eOp), "");
    }
}

// What the two functions of a road were called with.
struct Seen {
    std::string sRoad;
    std::string sVolume;
    const char *pUser = reinterpret_cast<const char *>(1);
    uint32_t uiFirst = 0;
    int iSecond = 0;
    unsigned char *pSense = nullptr;
};
Seen gSeen;

int InBand(const char *volume, uint32_t first, int second, unsigned char *sense) {
    gSeen = {"in-band", volume, nullptr, first, second, sense};
    return 0;
}

int OutOfBand(const char *address, const char *user, uint32_t first, int second, unsigned char *sense) {
    gSeen = {"lan", address, user, first, second, sense};
    return -1;
}

TEST_F(CommandOps, CallByTransportTakesTheFunctionOfTheRoad) {
    unsigned char sense[ZRK_SENSE_LEN] = {};
    EXPECT_EQ(zrkc::CallByTransport(ZRKC_TRANSPORT_SCSI, "/dev/sdb", sense, InBand, OutOfBand, 7u, 9), 0);
    EXPECT_EQ(gSeen.sRoad, "in-band");
    EXPECT_EQ(gSeen.sVolume, "/dev/sdb");
    EXPECT_EQ(gSeen.uiFirst, 7u);
    EXPECT_EQ(gSeen.iSecond, 9);
    EXPECT_EQ(gSeen.pSense, sense);

    EXPECT_EQ(zrkc::CallByTransport(ZRKC_TRANSPORT_LAN, "192.0.2.10", sense, InBand, OutOfBand, 3u, 4), -1);
    EXPECT_EQ(gSeen.sRoad, "lan");
    EXPECT_EQ(gSeen.sVolume, "192.0.2.10");
    EXPECT_EQ(gSeen.pUser, nullptr);
    EXPECT_EQ(gSeen.uiFirst, 3u);
    EXPECT_EQ(gSeen.iSecond, 4);
    EXPECT_EQ(gSeen.pSense, sense);
}

// The frame's call by the pair's road clears the frame's sense area first.
TEST_F(CommandOps, FrameCallsByThePairsRoadWithItsSenseCleared) {
    ReturnInfo ri{};
    CommandCall call("zrkc_test_road", &ri);
    ASSERT_EQ(call.OpenVolume("/dev/sda", 0), 0);
    CopyPair pair{};
    std::strcpy(pair.caAccessVolume, "192.0.2.20");
    pair.ucTransport = ZRKC_TRANSPORT_LAN;
    std::memset(call.Sense(), 0x5A, ZRK_SENSE_LEN);
    EXPECT_EQ(call.CallByTransport(pair, InBand, OutOfBand, 1u, 2), -1);
    EXPECT_EQ(gSeen.sRoad, "lan");
    EXPECT_EQ(gSeen.sVolume, "192.0.2.20");
    EXPECT_EQ(gSeen.pSense, call.Sense());
    for (size_t i = 0; i < ZRK_SENSE_LEN; ++i) ASSERT_EQ(call.Sense()[i], 0) << i;
    EXPECT_TRUE(zrkc::OverLan(pair));
    pair.ucTransport = ZRKC_TRANSPORT_SCSI;
    EXPECT_FALSE(zrkc::OverLan(pair));
}

// A volume command whose listed names "gone..." have no session: a line that
// fails without failing the call (NoteEntry); "bad..." are refused
// (RefuseEntry).
int NotingCommand(const char *vol, uint32_t option, ReturnInfo *ri) {
    CommandCall call("zrkc_test_note", ri);
    if (call.OpenVolume(vol, option) != 0) return -1;
    if (call.CheckOptions(option, ZRKC_OPT_GROUP_FILE) != 0) return -1;
    if (int r = call.BuildList(vol, nullptr, option)) return r;
    const CopyPairNames *names = call.List().pNames;
    for (uint32_t i = 0; i < names->uiCount; ++i) {
        const char *name = names->taEntry[i].caSource;
        if (std::strncmp(name, "gone", 4) == 0) {
            call.NoteEntry(i, zrkc::Msg::SessionMissing);
            if (!call.GroupMode()) return call.Fail();
        } else if (std::strncmp(name, "bad", 3) == 0) {
            char line[ZRK_MESSAGE_LEN];
            std::snprintf(line, sizeof line, "ZRKC1019 ERROR %.64s.\n", name);
            call.RefuseEntryWith(i, ZRKC_CLASS_PARAMETER, 1019, line);
            if (!call.GroupMode()) return call.Fail();
        }
    }
    return call.Finish();
}

struct NoteCase {
    const char *what;
    const char *lines;
    int result;             // the call's result
    uint32_t messageNo;     // the result record's number
    std::vector<uint32_t> entries; // each entry's number
};

TEST_F(CommandOps, GroupLinesThatFailWithoutFailingTheCall) {
    const NoteCase cases[] = {
        {"no failed line", "v1\nv2\n", 0, 0, {0, 0}},
        {"a noted line: 1804, the call succeeds", "v1\ngone2\n", 0, 1804, {0, 1100}},
        {"two noted lines", "gone1\ngone2\nv3\n", 0, 1804, {1100, 1100, 0}},
        {"a refused line fails the call", "v1\nbad2\n", -1, 1804, {0, 1019}},
        {"noted, then refused", "gone1\nbad2\n", -1, 1804, {1100, 1019}},
        {"refused, then noted", "bad1\ngone2\n", -1, 1804, {1019, 1100}},
    };
    for (const NoteCase &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(c.entries.size()), 0xCC);
        ReturnInfo ri{};
        ri.pPairArea = area.data();
        ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
        EXPECT_EQ(NotingCommand(group(c.lines).c_str(), ZRKC_OPT_GROUP_FILE, &ri), c.result);
        EXPECT_EQ(ri.uiMessageNo, c.messageNo);
        if (c.messageNo == 1804) {
            EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
            EXPECT_STREQ(ri.caMessage,
                         "ZRKC1804 ERROR Error occurred with copy operation described in group file.\n");
        }
        for (size_t i = 0; i < c.entries.size(); ++i) EXPECT_EQ(entry(area, i)->uiMessageNo, c.entries[i]) << i;
    }
    // Only a refused line is traced as the end of its line.
    const std::string t = trace();
    EXPECT_NE(t.find("zrkc_test_note abnormal_end. msg=ZRKC1019 ERROR bad2."), std::string::npos);
    EXPECT_EQ(t.find("zrkc_test_note abnormal_end. msg=ZRKC1100"), std::string::npos);
}

TEST_F(CommandOps, ANotedLineOfASingleCallIsItsResult) {
    ReturnInfo ri{};
    EXPECT_EQ(NotingCommand("gone", 0, &ri), -1);
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_STATE);
    EXPECT_EQ(ri.uiMessageNo, 1100u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1100 ERROR Session does not exist.\n");
    EXPECT_NE(trace().find("zrkc_test_note abnormal_end. msg=ZRKC1100"), std::string::npos);
}

// The 1804 of a run goes in once: a later line leaves the result record as
// the run's first failed line left it.
TEST_F(CommandOps, TheRunsFirstFailedLineSetsTheGroupResultOnce) {
    ReturnInfo ri{};
    bool failed = false;
    CommandCall::GroupLineFailed(&ri, failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    std::strcpy(ri.caMessage, "kept");
    CommandCall::GroupLineFailed(&ri, failed);
    EXPECT_STREQ(ri.caMessage, "kept");
}

TEST_F(CommandOps, PerPairAreaEntriesAndCount) {
    std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(2), 0);
    ReturnInfo ri{};
    EXPECT_EQ(CommandCall::EntryOf(&ri, 0), nullptr); // no area
    EXPECT_EQ(CommandCall::EntryOf(nullptr, 0), nullptr);
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    EXPECT_EQ(CommandCall::EntryOf(&ri, 0), entry(area, 0));
    EXPECT_EQ(CommandCall::EntryOf(&ri, 1), entry(area, 1));
    EXPECT_EQ(CommandCall::EntryOf(&ri, 2), nullptr); // beyond the area
    ri.uiPairAreaLength -= 1;
    EXPECT_EQ(CommandCall::EntryOf(&ri, 1), nullptr); // the last entry cut short

    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    EXPECT_TRUE(CommandCall::PairAreaHolds(&ri, 2));
    EXPECT_EQ(ri.uiMessageNo, 0u);
    EXPECT_FALSE(CommandCall::PairAreaHolds(&ri, 3));
    EXPECT_EQ(ri.uiMessageNo, 1015u);
    EXPECT_EQ(ri.uiNeedPairAreaSize, ZRK_PAIR_AREA_SIZE(3));
    ReturnInfo none{};
    EXPECT_FALSE(CommandCall::PairAreaHolds(&none, 1));

    CommandCall::SetEntryCount(&ri, 2);
    uint32_t count = 0;
    std::memcpy(&count, area.data(), sizeof count);
    EXPECT_EQ(count, 2u);
    CommandCall::SetEntryCount(&none, 5); // no area: nothing is written
}

// A part of a command reports in the frame its command lends while it runs,
// and opens one of its own when called on its own.
int Part(ReturnInfo *ri, CommandCall **used) {
    std::optional<CommandCall> own;
    CommandCall &call = CommandCall::FrameFor(own, "zrkc_test_part", ri);
    *used = &call;
    return own.has_value() ? 1 : 0;
}

TEST_F(CommandOps, PartsReportInTheLentFrame) {
    ReturnInfo ri{};
    CommandCall *used = nullptr;
    EXPECT_EQ(Part(&ri, &used), 1);
    CommandCall outer("zrkc_test_outer", &ri);
    {
        const CommandCall::Lend lend(outer);
        EXPECT_EQ(Part(&ri, &used), 0);
        EXPECT_EQ(used, &outer);
        CommandCall inner("zrkc_test_inner", &ri);
        {
            const CommandCall::Lend nested(inner);
            EXPECT_EQ(Part(&ri, &used), 0);
            EXPECT_EQ(used, &inner);
        }
        EXPECT_EQ(Part(&ri, &used), 0);
        EXPECT_EQ(used, &outer);
    }
    EXPECT_EQ(Part(&ri, &used), 1);
}

// The trace lines end in the line of the call that writes them.
TEST_F(CommandOps, TraceLinesCarryTheLineOfTheirCall) {
    ReturnInfo ri{};
    int opened = 0, failed = 0, line = 0, ended = 0;
    {
        CommandCall call("zrkc_test_lines", &ri);
        opened = __LINE__ + 1;
        ASSERT_EQ(call.OpenVolume("/dev/sdz", 0x10), 0);
        line = __LINE__ + 1;
        zrkc::TraceLine(zrkc::kTraceStep, {}, "%s count=%d", call.Name(), 42);
        ended = __LINE__ + 1;
        zrkc::ErrorEnd("com_test", "cause");
        failed = __LINE__ + 1;
        EXPECT_EQ(call.Fail(), -1);
    }
    const std::string t = trace();
    EXPECT_NE(t.find("zrkc_test_lines started. vol=/dev/sdz, opt=00000010 [" + std::to_string(opened) + "]"),
              std::string::npos);
    EXPECT_NE(t.find("zrkc_test_lines count=42 [" + std::to_string(line) + "]"), std::string::npos);
    EXPECT_NE(t.find("com_test error end.(cause) [" + std::to_string(ended) + "]"), std::string::npos);
    EXPECT_NE(t.find("zrkc_test_lines abnormal_end. msg= [" + std::to_string(failed) + "]"),
              std::string::npos);
}

// A line too long for the trace keeps its first 1023 characters, the line
// number dropped as it would be from one formatted whole.
TEST_F(CommandOps, TraceLineTooLongIsCutAsOneLine) {
    velk_trace_init();
    const std::string longText(1100, 'q');
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s", longText.c_str());
    const std::string fits(1010, 'r');
    const int line = __LINE__ + 1;
    zrkc::TraceLine(zrkc::kTraceStep, {}, "%s", fits.c_str());
    const std::string t = trace();
    EXPECT_NE(t.find(std::string(1023, 'q')), std::string::npos);
    EXPECT_EQ(t.find(std::string(1024, 'q')), std::string::npos);
    EXPECT_NE(t.find(fits + " [" + std::to_string(line) + "]"), std::string::npos);
}

} // namespace
