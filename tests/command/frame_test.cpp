// The command frame, driven through a command written on it the way the
// command functions are: operand and option checks, the list from operands
// or a group file, per-pair results and the 1804 summary, the warnings and
// the trace lines of each way out.
#include "frame_fixture.h"
#include "platform.h"
#include "zrkc.h"
#include "zrkcframe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {


constexpr uint32_t kMask = ZRK_OPT_FORCE | ZRKC_OPT_ACCESS_PATH | ZRKC_OPT_GROUP_FILE;
constexpr uint8_t kStartVz = 4;

// The API function the test command calls for each entry: its result.
using Api = std::function<int(uint32_t index, const CopyPairName &names)>;

// A pair command on the frame; every entry is handed to api in list order.
int TestPairCommand(const char *src, const char *dest, uint32_t option, ReturnInfo *ri, const Api &api,
                    uint32_t mask = kMask) {
    zrkc::CommandCall call("zrkc_test_pair", ri);
    if (call.OpenPair(src, dest, option) != 0) return -1;
    if (call.CheckOptions(option, mask) != 0) return -1;
    if (int r = call.BuildList(src, dest, option)) return r;
    if (call.RequirePairs() != 0) return -1;
    call.TraceApiStart("ZRKLVStartVZ / ZRKIPStartVZ");
    const CopyPairNames *names = call.List().pNames;
    for (uint32_t i = 0; i < names->uiCount; ++i) {
        const int result = api(i, names->taEntry[i]);
        if (call.MapResult(i, kStartVz, names->taEntry[i].caSource, result) != 0) {
            CopyPair pair{};
            call.TracePairParm(pair, option & ZRKC_OPT_API_MASK);
            if (!call.GroupMode()) return call.Fail();
        }
    }
    call.TraceApiEnd("ZRKLVStartVZ / ZRKIPStartVZ");
    return call.Finish();
}

// A volume command with an extended mask, refusing names it does not like
// before any API call. beforeEntries runs once the list is built (a fault
// hook: it may take the per-pair area away).
int TestVolumeCommand(const char *vol, uint32_t option, uint32_t exMask, ReturnInfo *ri, int *calls,
                      const std::function<void()> &beforeEntries = {}) {
    zrkc::CommandCall call("zrkc_test_volume", ri);
    if (call.OpenVolume(vol, option) != 0) return -1;
    if (call.CheckOptions(option, ZRKC_OPT_GROUP_FILE, exMask) != 0) return -1;
    if (int r = call.BuildList(vol, nullptr, option)) return r;
    if (call.RequireVolumes() != 0) return -1;
    if (beforeEntries) beforeEntries();
    const CopyPairNames *names = call.List().pNames;
    for (uint32_t i = 0; i < names->uiCount; ++i) {
        if (std::strncmp(names->taEntry[i].caSource, "bad", 3) == 0) {
            char line[ZRK_MESSAGE_LEN];
            zrkc::FormatMessage(line, "ZRKC1700 ERROR Refused %s.\n", names->taEntry[i].caSource);
            call.RefuseEntryWith(i, 12, 1700, line);
            if (!call.GroupMode()) return call.Fail();
            continue;
        }
        ++*calls;
    }
    return call.Finish();
}

class Frame : public zrktest::FrameFixture {
protected:
    void SetUp() override {
        ZrkcAccessPath_Flag = 0;
        uiExOptionFlag = 0;
    }
};

Api Succeeds(int *calls) {
    return [calls](uint32_t, const CopyPairName &) {
        ++*calls;
        return 0;
    };
}

TEST_F(Frame, NullResultRecordWritesNothing) {
    int calls = 0;
    EXPECT_EQ(TestPairCommand("/dev/sa", "/dev/sb", 0, nullptr, Succeeds(&calls)), -1);
    EXPECT_EQ(calls, 0);
    EXPECT_NE(trace().find("zrkc_test_pair started. parameter null pointer"), std::string::npos);
}

TEST_F(Frame, NullFirstOperandIs1008) {
    ReturnInfo ri{};
    ri.uiPairAreaLength = 12;
    int calls = 0;
    EXPECT_EQ(TestPairCommand(nullptr, "/dev/sb", 0, &ri, Succeeds(&calls)), -1);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ri.iReturnClass, 3);
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1008 ERROR Parameter is not specified.\n");
    EXPECT_EQ(ri.uiPairAreaLength, 12u);
    const std::string t = trace();
    EXPECT_NE(t.find("zrkc_test_pair started. parameter null pointer"), std::string::npos);
    EXPECT_NE(t.find("zrkc_test_pair abnormal_end. msg=ZRKC1008"), std::string::npos);
}

TEST_F(Frame, NullTargetIsTheVolumeFormAndTracesAsNull) {
    ReturnInfo ri{};
    int calls = 0;
    EXPECT_EQ(TestPairCommand("/dev/sa", nullptr, 0, &ri, Succeeds(&calls)), -1);
    EXPECT_EQ(ri.uiMessageNo, 1016u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1016 ERROR The group file of the form not permitted was specified.\n");
    EXPECT_NE(trace().find("src=/dev/sa, dest=NULL, opt=00000000"), std::string::npos);
}

TEST_F(Frame, StaleResultIsClearedButTheAreaFieldsStay) {
    ReturnInfo ri{};
    ri.iReturnClass = 9;
    ri.uiMessageNo = 1234;
    std::strcpy(ri.caMessage, "old");
    ri.uiNeedPairAreaSize = 5;
    ri.uiPairAreaLength = 7;
    int calls = 0;
    EXPECT_EQ(TestPairCommand("/dev/sa", "/dev/sb", 0, &ri, Succeeds(&calls)), 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ri.iReturnClass, 0);
    EXPECT_EQ(ri.uiMessageNo, 0u);
    EXPECT_STREQ(ri.caMessage, "");
    EXPECT_EQ(ri.uiNeedPairAreaSize, 5u);
    EXPECT_EQ(ri.uiPairAreaLength, 7u);
    const std::string t = trace();
    EXPECT_NE(t.find("zrkc_test_pair started. src=/dev/sa, dest=/dev/sb, opt=00000000"), std::string::npos);
    EXPECT_NE(t.find("zrkc_test_pair WX-API Call started.[ZRKLVStartVZ / ZRKIPStartVZ]"), std::string::npos);
    EXPECT_NE(t.find("zrkc_test_pair normal_end."), std::string::npos);
}

struct OptionCase {
    uint32_t option;
    uint32_t mask;
    int result;
};

TEST_F(Frame, OptionWordAgainstTheMask) {
    const OptionCase cases[] = {
        {0, kMask, 0},
        {ZRK_OPT_FORCE, kMask, 0},
        {ZRK_OPT_FORCE | 0x4, kMask, -1},
        {0x80000000u, kMask, -1},
        {0x1u, kMask, -1},
        {0, 0, 0},
        {ZRK_OPT_FORCE, 0, -1},
    };
    for (const OptionCase &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.option << " mask " << c.mask);
        ReturnInfo ri{};
        int calls = 0;
        EXPECT_EQ(TestPairCommand("/dev/sa", "/dev/sb", c.option, &ri, Succeeds(&calls), c.mask), c.result);
        if (c.result != 0) {
            EXPECT_EQ(calls, 0);
            EXPECT_EQ(ri.iReturnClass, 3);
            EXPECT_EQ(ri.uiMessageNo, 1010u);
            EXPECT_STREQ(ri.caMessage, "ZRKC1010 ERROR Specified option is invalid.\n");
        } else {
            EXPECT_EQ(calls, 1);
        }
    }
}

TEST_F(Frame, ExtendedOptionsAgainstTheExtendedMask) {
    int calls = 0;
    ReturnInfo ri{};
    uiExOptionFlag = ZRKC_EXOPT_VVOL;
    EXPECT_EQ(TestVolumeCommand("/dev/sa", 0, ZRKC_EXOPT_VVOL | ZRKC_EXOPT_TFOP, &ri, &calls), 0);
    EXPECT_EQ(calls, 1);
    uiExOptionFlag = ZRKC_EXOPT_SESSION_LIST;
    EXPECT_EQ(TestVolumeCommand("/dev/sa", 0, ZRKC_EXOPT_VVOL | ZRKC_EXOPT_TFOP, &ri, &calls), -1);
    EXPECT_EQ(ri.uiMessageNo, 1010u);
    EXPECT_EQ(calls, 1);
}

TEST_F(Frame, AccessPathOptionSetsTheFlagForGood) {
    ReturnInfo ri{};
    int calls = 0;
    EXPECT_EQ(TestPairCommand("/dev/sa", "/dev/sb", 0, &ri, Succeeds(&calls)), 0);
    EXPECT_EQ(ZrkcAccessPath_Flag, 0);
    EXPECT_EQ(TestPairCommand("/dev/sa", "/dev/sb", ZRKC_OPT_ACCESS_PATH, &ri, Succeeds(&calls)), 0);
    EXPECT_EQ(ZrkcAccessPath_Flag, 1);
    EXPECT_EQ(TestPairCommand("/dev/sa", "/dev/sb", 0, &ri, Succeeds(&calls)), 0);
    EXPECT_EQ(ZrkcAccessPath_Flag, 1);
    // A refused option word does not set it.
    ZrkcAccessPath_Flag = 0;
    EXPECT_EQ(TestPairCommand("/dev/sa", "/dev/sb", ZRKC_OPT_ACCESS_PATH | 0x8, &ri, Succeeds(&calls)), -1);
    EXPECT_EQ(ZrkcAccessPath_Flag, 0);
}

TEST_F(Frame, SingleModeStopsAtTheFirstFailure) {
    ReturnInfo ri{};
    int calls = 0;
    EXPECT_EQ(TestPairCommand("/dev/sa", "/dev/sb", 0, &ri,
                              [&](uint32_t, const CopyPairName &) {
                                  ++calls;
                                  ZRKerrno = ZRK_ERR_NO_SESSION;
                                  return -1;
                              }),
              -1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ri.iReturnClass, 1);
    EXPECT_EQ(ri.uiMessageNo, 1100u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1100 ERROR Session does not exist.\n");
    const std::string t = trace();
    EXPECT_NE(t.find("zrkc_test_pair WX-API Parm SrcVol="), std::string::npos);
    EXPECT_NE(t.find("zrkc_test_pair abnormal_end. msg=ZRKC1100 ERROR Session does not exist."),
              std::string::npos);
    EXPECT_EQ(t.find("zrkc_test_pair normal_end."), std::string::npos);
}

TEST_F(Frame, GroupRunGoesOnAfterAFailedLine) {
    std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(3), 0xCC);
    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    std::vector<std::string> seen;
    const std::string path = group("# three pairs\n/dev/s1 /dev/t1\n/dev/s2 /dev/t2\n/dev/s3 /dev/t3\n");
    EXPECT_EQ(TestPairCommand(path.c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &ri,
                              [&](uint32_t i, const CopyPairName &names) {
                                  seen.push_back(names.caSource);
                                  if (i != 1) return 0;
                                  ZRKerrno = ZRK_ERR_NO_SESSION;
                                  return -1;
                              }),
              -1);
    EXPECT_EQ(seen, (std::vector<std::string>{"/dev/s1", "/dev/s2", "/dev/s3"}));
    EXPECT_EQ(ri.iReturnClass, 13);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1804 ERROR Error occurred with copy operation described in group file.\n");
    for (size_t i : {0u, 2u}) {
        EXPECT_EQ(entry(area, i)->iReturnClass, 0);
        EXPECT_EQ(entry(area, i)->uiMessageNo, 0u);
        EXPECT_STREQ(entry(area, i)->caMessage, "");
    }
    EXPECT_EQ(entry(area, 1)->iReturnClass, 1);
    EXPECT_EQ(entry(area, 1)->uiMessageNo, 1100u);
    EXPECT_STREQ(entry(area, 1)->caMessage, "ZRKC1100 ERROR Session does not exist.\n");
    const std::string t = trace();
    EXPECT_NE(t.find("zrkc_test_pair abnormal_end. msg=ZRKC1100 ERROR Session does not exist."),
              std::string::npos);
    EXPECT_NE(t.find("zrkc_test_pair WX-API Call end."), std::string::npos);
    EXPECT_NE(t.find("zrkc_test_pair normal_end."), std::string::npos);
}

TEST_F(Frame, GroupRunAllFailedKeepsEachMessage) {
    std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(2), 0);
    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    const int codes[] = {ZRK_ERR_NO_SESSION, -4660};
    const std::string path = group("a b\nc d");
    EXPECT_EQ(TestPairCommand(path.c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &ri,
                              [&](uint32_t i, const CopyPairName &) {
                                  ZRKerrno = codes[i];
                                  return -1;
                              }),
              -1);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_EQ(entry(area, 0)->uiMessageNo, 1100u);
    EXPECT_EQ(entry(area, 1)->iReturnClass, 16);
    EXPECT_EQ(entry(area, 1)->uiMessageNo, 4660u);
}

TEST_F(Frame, GroupRunWithoutFailureSucceeds) {
    std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(2) + 10, 0xCC);
    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    int calls = 0;
    EXPECT_EQ(TestPairCommand(group("a b\nc d\n").c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &ri, Succeeds(&calls)), 0);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(ri.iReturnClass, 0);
    for (unsigned char byte : area) ASSERT_EQ(byte, 0);
}

TEST_F(Frame, SmallAreaIsAWarningWithTheSizeNeeded) {
    std::vector<unsigned char> area(100, 0);
    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    int calls = 0;
    EXPECT_EQ(TestPairCommand(group("a b\nc d\n").c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &ri, Succeeds(&calls)), 1);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ri.iReturnClass, 3);
    EXPECT_EQ(ri.uiMessageNo, 1015u);
    EXPECT_EQ(ri.uiNeedPairAreaSize, ZRK_PAIR_AREA_SIZE(2));
    EXPECT_NE(trace().find("zrkc_test_pair warning_end. msg=ZRKC1015 WARNING"), std::string::npos);

    // The program enlarges the area to the size and calls again.
    area.assign(ri.uiNeedPairAreaSize, 0xEE);
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = ri.uiNeedPairAreaSize;
    EXPECT_EQ(TestPairCommand(root_.path("group.txt").c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &ri,
                              Succeeds(&calls)),
              0);
    EXPECT_EQ(calls, 2);
}

TEST_F(Frame, FormOfTheGroupFile) {
    std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(2), 0);
    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    int calls = 0;
    EXPECT_EQ(TestPairCommand(group("a\nb\n").c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &ri, Succeeds(&calls)), -1);
    EXPECT_EQ(ri.uiMessageNo, 1016u);
    EXPECT_EQ(TestVolumeCommand(group("a b\n").c_str(), ZRKC_OPT_GROUP_FILE, 0, &ri, &calls), -1);
    EXPECT_EQ(ri.uiMessageNo, 1016u);
    EXPECT_EQ(calls, 0);
}

TEST_F(Frame, GroupFileErrorEndsTheCall) {
    ReturnInfo ri{};
    int calls = 0;
    EXPECT_EQ(TestPairCommand(group("a b\n\nc d e\n").c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &ri, Succeeds(&calls)), -1);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ri.iReturnClass, 14);
    EXPECT_STREQ(ri.caMessage, "ZRKC1802 ERROR Syntax error was detected in Group File.line=(3).\n");
    EXPECT_NE(trace().find("zrkc_test_pair abnormal_end. msg=ZRKC1802"), std::string::npos);
}

TEST_F(Frame, EntryRefusedBeforeAnyCall) {
    std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(3), 0);
    ReturnInfo ri{};
    ri.pPairArea = area.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
    int calls = 0;
    EXPECT_EQ(TestVolumeCommand(group("v1\nbad2\nv3\n").c_str(), ZRKC_OPT_GROUP_FILE, 0, &ri, &calls), -1);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_EQ(entry(area, 1)->iReturnClass, 12);
    EXPECT_STREQ(entry(area, 1)->caMessage, "ZRKC1700 ERROR Refused bad2.\n");

    // Single mode: the result itself.
    ri = {};
    EXPECT_EQ(TestVolumeCommand("bad", 0, 0, &ri, &calls), -1);
    EXPECT_EQ(ri.uiMessageNo, 1700u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1700 ERROR Refused bad.\n");
}

// A group run whose per-pair area cannot hold an entry (a fault hook takes
// the area away, or shortens it, after the list is built): each failed
// entry still counts, so the call ends with -1 and class 13, 1804, never 0,
// and no entry is written outside the area.
TEST_F(Frame, GroupFailureWithoutItsEntryStillCounts) {
    struct Case {
        const char *what;
        bool bNoArea;     // the area taken away, else cut to one entry
        bool bRefused;    // refused before the call (RefuseEntry), else the call failed (MapResult)
    };
    const Case cases[] = {{"no area, call failed", true, false},
                          {"short area, call failed", false, false},
                          {"no area, refused", true, true},
                          {"short area, refused", false, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> area(ZRK_PAIR_AREA_SIZE(3), 0);
        ReturnInfo ri{};
        ri.pPairArea = area.data();
        ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
        const auto takeArea = [&] {
            if (c.bNoArea) ri.pPairArea = nullptr;
            else ri.uiPairAreaLength = static_cast<uint32_t>(ZRK_PAIR_AREA_SIZE(1));
        };
        int result;
        if (c.bRefused) {
            int calls = 0;
            result = TestVolumeCommand(group("v1\nv2\nbad3\n").c_str(), ZRKC_OPT_GROUP_FILE, 0, &ri,
                                       &calls, takeArea);
            EXPECT_EQ(calls, 2);
        } else {
            result = TestPairCommand(group("a b\nc d\ne f\n").c_str(), nullptr, ZRKC_OPT_GROUP_FILE, &ri,
                                     [&](uint32_t i, const CopyPairName &) {
                                         if (i == 0) takeArea();
                                         if (i != 2) return 0;
                                         ZRKerrno = ZRK_ERR_NO_SESSION;
                                         return -1;
                                     });
        }
        EXPECT_EQ(result, -1);
        EXPECT_EQ(ri.iReturnClass, 13);
        EXPECT_EQ(ri.uiMessageNo, 1804u);
        EXPECT_STREQ(ri.caMessage,
                     "ZRKC1804 ERROR Error occurred with copy operation described in group file.\n");
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(entry(area, i)->uiMessageNo, 0u) << i;
    }
}

// A query's output area: too short, a warning with the size needed.
int TestQuery(const char *vol, void *out, size_t length, ReturnInfo *ri) {
    zrkc::CommandCall call("zrkc_test_query", ri);
    if (call.OpenVolume(vol, 0) != 0) return -1;
    if (int r = call.CheckOutputArea(out, length, 64)) return r;
    static_cast<unsigned char *>(out)[0] = 1;
    return call.Finish();
}

TEST_F(Frame, QueryOutputAreaTooShort) {
    std::vector<unsigned char> out(100, 0xEE);
    ReturnInfo ri{};
    EXPECT_EQ(TestQuery("/dev/sa", out.data(), 63, &ri), 1);
    EXPECT_EQ(ri.iReturnClass, 3);
    EXPECT_EQ(ri.uiMessageNo, 1001u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1001 WARNING Insufficient output area.\n");
    EXPECT_EQ(ri.uiNeedOutputSize, 64u);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(TestQuery("/dev/sa", nullptr, 100, &ri), 1);
    EXPECT_NE(trace().find("zrkc_test_query warning end."), std::string::npos);

    ri = {};
    EXPECT_EQ(TestQuery("/dev/sa", out.data(), 100, &ri), 0);
    EXPECT_EQ(out[0], 1);
    for (size_t i = 1; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
}

}  // namespace
