// The RVZ buffer and copy priority commands end to end against the
// simulator: the buffer query in both forms and the buffer change in-band
// through "sa" and over the LAN through "lb", the copy priority through
// "sa" only.
#include "cmd_support.h"

#include <string>
#include <vector>

namespace {

constexpr int kDetail = static_cast<int>(ZRKC_OPT_RVZBUFF_DETAIL);
constexpr unsigned char kTravoOut = 0xE9;
constexpr unsigned char kCopyPriorityList = 0x35;
constexpr int kCopyPriorityPage = 0x35;

// Buffers on both arrays: a send buffer to an array with an alias, a
// receive buffer to one with another, and one to an array without an entry
// in the alias store (P1).
const char *const kBuffers =
    "rvzbuffer A1 0 type=1 remote=B1 interval=2 monitor=5 cms=1,2,3 size=300 used=30 "
    "rlus=10,11 disksize=3000 diskused=600\n"
    "rvzbuffer A1 1 type=2 remote=C1 interval=4 monitor=7\n"
    "rvzbuffer A1 2 type=1 remote=P1\n"
    "rvzbuffer B1 3 type=1 remote=A1 interval=1 monitor=9 cms=4\n";

// The fixture's arrays, A1 and B1 also offering the copy priority.
std::string ScenarioWithCopyPriority() {
    std::string text = cmdtest::Scenario(kBuffers);
    const std::string plain = iptest::SupportHex({{4, 0x2F}});
    const std::string priority = iptest::SupportHex({{4, 0x6F}});
    for (size_t at = text.find(plain); at != std::string::npos; at = text.find(plain, at))
        text.replace(at, plain.size(), priority);
    return text;
}

class CmdRvzBuff : public cmdtest::CommandSim {
protected:
    CmdRvzBuff() { sim.load(ScenarioWithCopyPriority()); }

    // The buffer query of one volume into an area of its form's size.
    int Query(const char *volume, int option, std::vector<unsigned char> &a, ReturnInfo *ri) {
        a.assign(option & kDetail ? ZRKC_RVZBUFF_DETAIL_LEN : ZRKC_RVZBUFF_LEN, 0xAA);
        return zrkc_query_rvzbuff(const_cast<char *>(volume), option, ri, a.data(),
                                  static_cast<int>(a.size()));
    }
    static const RvzBuffQueryInfo &Head(const std::vector<unsigned char> &a) {
        return *reinterpret_cast<const RvzBuffQueryInfo *>(a.data());
    }
    static const BuffGroupInfo &Group(const std::vector<unsigned char> &a, size_t i, bool detail) {
        return *reinterpret_cast<const BuffGroupInfo *>(
            a.data() + 8 + i * (detail ? sizeof(BuffGroupDetail) : sizeof(BuffGroupInfo)));
    }
    static const CMInfo &Module(const std::vector<unsigned char> &a, size_t i, size_t k) {
        return reinterpret_cast<const BuffGroupDetail *>(a.data() + 8)[i].taCm[k];
    }

    // The copy priority settings sent in-band since the log was cleared.
    std::vector<std::vector<unsigned char>> PrioritySettings() const {
        std::vector<std::vector<unsigned char>> sent;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.cdb[0] == kTravoOut && r.dataOut.size() > 59 && r.dataOut[0] == kCopyPriorityList)
                sent.push_back(r.dataOut);
        return sent;
    }
};

std::string Text(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }

TEST_F(CmdRvzBuff, QueryFillsBothFormsOverBothRoads) {
    struct Case {
        const char *pVolume;
        uint16_t uhCount;
        uint8_t ucFirst;
        uint16_t uhUse, uhInterval;
        uint32_t uiWatch;
        const char *pPartner, *pAlias;
        uint16_t uhModules;
    };
    const Case cases[] = {
        {"0x2@sa", 3, 0, 1, 2, 5, "BOXB", "lb", 3},
        {"0x1@lb", 1, 3, 1, 1, 9, "BOXA", "sa", 1},
    };
    for (const Case &c : cases) {
        for (int option : {0, kDetail}) {
            const bool detail = option != 0;
            std::vector<unsigned char> a;
            ReturnInfo ri{};
            ASSERT_EQ(0, Query(c.pVolume, option, a, &ri)) << c.pVolume << " " << ri.caMessage;
            EXPECT_EQ(8u, Head(a).MaxBuffCnt);
            ASSERT_EQ(c.uhCount, Head(a).CurBuffCnt) << c.pVolume;
            const BuffGroupInfo &g = Group(a, 0, detail);
            EXPECT_EQ(c.ucFirst, g.GroupNum);
            EXPECT_EQ(c.uhUse, g.Use);
            EXPECT_EQ(c.uhInterval, g.Interval);
            EXPECT_EQ(c.uiWatch, g.WatchTime);
            EXPECT_EQ(cmdtest::Box(c.pPartner), std::string(g.RemoteBoxID, ZRK_BOXID_LEN));
            EXPECT_EQ(c.pAlias, Text(g.Alias, sizeof g.Alias)) << c.pVolume;
            EXPECT_EQ(c.uhModules, g.CmCnt);
            if (!detail) {
                // Items past the buffers stay zero.
                EXPECT_EQ(0, Group(a, c.uhCount, false).CmCnt);
                continue;
            }
            for (size_t k = 0; k < ZRKC_RVZBUFF_CMS; ++k) {
                const CMInfo &m = Module(a, 0, k);
                if (k < c.uhModules) {
                    EXPECT_NE(0u, m.CMID) << k;
                } else {
                    EXPECT_EQ(0u, m.CMID | m.BuffSize | m.DskBuffSize) << k;
                }
            }
        }
    }
    // The buffer to an array without an alias, and the receive buffer.
    std::vector<unsigned char> a;
    ReturnInfo ri{};
    ASSERT_EQ(0, Query("0x2@sa", kDetail, a, &ri));
    EXPECT_EQ(2, Group(a, 1, true).Use);
    EXPECT_EQ("nc", Text(Group(a, 1, true).Alias, ZRK_BOXID_LEN));
    EXPECT_EQ("[Other-Storage]", Text(Group(a, 2, true).Alias, ZRK_BOXID_LEN));
    const BuffGroupInfo &first = Group(a, 0, true);
    EXPECT_EQ(2, first.RLUCnt);
    EXPECT_EQ(10, first.RLUN[0]);
    EXPECT_EQ(11, first.RLUN[1]);
    EXPECT_EQ(3000u, first.DskBuffSize);
}

TEST_F(CmdRvzBuff, TooSmallAreaNamesTheSizeOfItsForm) {
    struct Case {
        int iOption, iLength;
        uint32_t uiNeeded;
    };
    for (const Case &c : {Case{0, 1415, 1416}, Case{kDetail, 1416, 11656}, Case{0, 0, 1416}}) {
        std::vector<unsigned char> a(static_cast<size_t>(c.iLength) + 1, 0xAA);
        ReturnInfo ri{};
        sim.clearLog();
        char volume[] = "0x2@sa";
        EXPECT_EQ(1, zrkc_query_rvzbuff(volume, c.iOption, &ri, c.iLength ? a.data() : nullptr, c.iLength));
        EXPECT_EQ(1001u, ri.uiMessageNo);
        EXPECT_EQ(c.uiNeeded, ri.uiNeedOutputSize);
        EXPECT_EQ(0xAA, a[0]);
        EXPECT_TRUE(sim.cdbLog().empty());
    }
}

TEST_F(CmdRvzBuff, ChangeKeepsIntervalMonitorAndPartnerOverBothRoads) {
    struct Case {
        const char *pVolume;
        uint16_t uhId;
        const char *pNewPartner; // nullptr: keep
        const char *pPartner;
    };
    const Case cases[] = {
        {"0x2@sa", 0, nullptr, "BOXB"},
        {"0x2@sa", 1, "BOXB", "BOXB"},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> before, after;
        ReturnInfo ri{};
        ASSERT_EQ(0, Query(c.pVolume, 0, before, &ri));
        size_t i = 0;
        while (Group(before, i, false).GroupNum != c.uhId) ++i;
        const BuffGroupInfo old = Group(before, i, false);
        const uint16_t use = old.Use == 1 ? 2 : 1;
        const std::string box = c.pNewPartner ? cmdtest::Box(c.pNewPartner) : "";
        ASSERT_EQ(0, zrkc_change_rvzbuff(const_cast<char *>(c.pVolume), c.uhId, use,
                                         c.pNewPartner ? box.c_str() : nullptr, 0, &ri))
            << c.pVolume << " " << c.uhId << " " << ri.caMessage;
        ASSERT_EQ(0, Query(c.pVolume, 0, after, &ri));
        const BuffGroupInfo &now = Group(after, i, false);
        EXPECT_EQ(use, now.Use) << c.uhId;
        EXPECT_EQ(old.Interval, now.Interval);
        EXPECT_EQ(old.WatchTime, now.WatchTime);
        EXPECT_EQ(cmdtest::Box(c.pPartner), std::string(now.RemoteBoxID, ZRK_BOXID_LEN));
    }
    // Over the LAN the process keeps the array's buffer list once read, so
    // the setting is seen in the command the service received.
    ReturnInfo ri{};
    char lan[] = "0x1@lb";
    sim.commandOk("clearlanlog");
    ASSERT_EQ(0, zrkc_change_rvzbuff(lan, 3, 2, nullptr, 0, &ri)) << ri.caMessage;
    const std::string expected = "set rvz-buffer -partition 3 -remote-boxid \"" + cmdtest::Box("BOXA") +
                                 "\" -buffer-type receive -forwarding-interval 1 -monitoring-time 9";
    size_t sent = 0;
    for (const std::string &line : sim.commandOk("lanlog"))
        if (line.find(expected) != std::string::npos) ++sent;
    EXPECT_EQ(1u, sent);
}

TEST_F(CmdRvzBuff, ChangeRefusals) {
    struct Case {
        const char *pVolume;
        uint16_t uhId, uhUse;
        int iOption;
        uint32_t uiNumber;
    };
    const Case cases[] = {
        {"0x2@sa", 5, 1, 0, 101},    // no such buffer
        {"0x1@lb", 0, 1, 0, 101},    // a buffer of the other array
        {"0x2@sa", 256 + 0, 1, 0, 101}, // identifiers above 255 never match
        {"0x2@sa", 0, 3, 0, 1010},   // neither send nor receive
        {"0x2@sa", 0, 1, 0x1, 1010}, // an option bit
    };
    for (const Case &c : cases) {
        ReturnInfo ri{};
        EXPECT_EQ(-1, zrkc_change_rvzbuff(const_cast<char *>(c.pVolume), c.uhId, c.uhUse, nullptr,
                                          c.iOption, &ri))
            << c.uhId;
        EXPECT_EQ(c.uiNumber, ri.uiMessageNo) << ri.caMessage;
        if (c.uiNumber == 101) {
            EXPECT_STREQ("ZRKC0101 ERROR RVZ buffer identifier does not exist.\n", ri.caMessage);
        }
    }
}

TEST_F(CmdRvzBuff, CopyPriorityQueryConvertsTheArraysBlock) {
    // Local rate High; one remote entry to B1, remote connection of multiplicity 12.
    std::string hex = "0201" + std::string(10, '0');
    for (char ch : cmdtest::Box("BOXB")) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(ch));
        hex += two;
    }
    hex += "0100" + std::string(16, '0') + "000c";
    sim.corrupt(kCopyPriorityPage, 9, hex);
    CopyPriorityInfo info;
    std::memset(&info, 0xAA, sizeof info);
    ReturnInfo ri{};
    char volume[] = "0x2@sa";
    ASSERT_EQ(0, zrkc_query_copypriority(volume, 0, &ri, &info)) << ri.caMessage;
    EXPECT_EQ(2, info.ucLCopyRate);
    ASSERT_EQ(1, info.ucEntryCount);
    EXPECT_EQ(cmdtest::Box("BOXB"), std::string(info.taEntry[0].caBoxID, ZRK_BOXID_LEN));
    EXPECT_EQ(1, info.taEntry[0].ucConnectionType);
    EXPECT_EQ(12, info.taEntry[0].uhMultiplicity);
    EXPECT_EQ(0, info.taEntry[1].caBoxID[0]) << "the area is cleared";

    // Without the overlay the array reports every other array, all automatic.
    ASSERT_EQ(0, zrkc_query_copypriority(volume, 0, &ri, &info)) << ri.caMessage;
    EXPECT_EQ(4, info.ucEntryCount);
    EXPECT_EQ(0, info.taEntry[0].ucPriorityLevel);
}

TEST_F(CmdRvzBuff, CopyPriorityChangeBuildsTheSetting) {
    struct Case {
        CopyPriorityParam tParam;
        size_t uiAt;   // a byte of the setting as sent (after its 8-byte head)
        unsigned char ucValue;
    };
    auto remote = [](uint8_t connection, uint8_t level, uint16_t multiplicity) {
        CopyPriorityParam p{};
        p.ucKind = 1;
        cmdtest::Box("BOXB").copy(p.caBoxID, ZRK_BOXID_LEN);
        p.ucConnectionType = connection;
        p.ucPriorityLevel = level;
        p.uhMultiplicity = multiplicity;
        return p;
    };
    CopyPriorityParam local{};
    local.ucLCopyRate = 4;
    const Case cases[] = {
        {local, 8 + 1, 4},
        {remote(0, 7, 0x1234), 8 + 49, 7},
        {remote(1, 7, 0x1234), 8 + 50, 0x12},
        {remote(1, 7, 0x1234), 8 + 51, 0x34},
        {remote(1, 7, 0x1234), 8 + 49, 0},
    };
    char volume[] = "0x2@sa";
    for (const Case &c : cases) {
        sim.clearLog();
        ReturnInfo ri{};
        ASSERT_EQ(0, zrkc_change_copypriority(volume, 0, &ri, c.tParam)) << ri.caMessage;
        const auto sent = PrioritySettings();
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(c.tParam.ucKind, sent[0][8]);
        EXPECT_EQ(c.ucValue, sent[0][c.uiAt]) << c.uiAt;
    }
    // An array without an RVZ path to this one.
    CopyPriorityParam unknown = remote(0, 1, 0);
    std::memset(unknown.caBoxID, 0, ZRK_BOXID_LEN);
    cmdtest::Box("BOXZ").copy(unknown.caBoxID, ZRK_BOXID_LEN);
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_change_copypriority(volume, 0, &ri, unknown));
    EXPECT_EQ(3007u, ri.uiMessageNo) << ri.caMessage;
}

TEST_F(CmdRvzBuff, CopyPriorityRefusals) {
    CopyPriorityParam kind2{};
    kind2.ucKind = 2;
    CopyPriorityParam connection2{};
    connection2.ucKind = 1;
    connection2.ucConnectionType = 2;
    char sa[] = "0x2@sa", lb[] = "0x1@lb";
    struct Case {
        char *pVolume;
        CopyPriorityParam tParam;
        uint32_t uiNumber;
    };
    const Case cases[] = {{sa, kind2, 3005}, {sa, connection2, 3005}, {lb, CopyPriorityParam{}, 1036}};
    for (const Case &c : cases) {
        sim.clearLog();
        ReturnInfo ri{};
        EXPECT_EQ(-1, zrkc_change_copypriority(c.pVolume, 0, &ri, c.tParam));
        EXPECT_EQ(c.uiNumber, ri.uiMessageNo) << ri.caMessage;
        EXPECT_TRUE(PrioritySettings().empty());
    }
    ReturnInfo ri{};
    CopyPriorityInfo info{};
    EXPECT_EQ(-1, zrkc_query_copypriority(lb, 0, &ri, &info));
    EXPECT_EQ(ZRKC_CLASS_ARRAY, ri.iReturnClass);
    EXPECT_STREQ("ZRKC1036 ERROR This command cannot be executed for LAN interfaces.\n", ri.caMessage);
    EXPECT_EQ(-1, zrkc_query_copypriority(sa, 0, &ri, nullptr));
    EXPECT_EQ(1008u, ri.uiMessageNo);
    EXPECT_EQ(-1, zrkc_query_copypriority(sa, 1, &ri, &info));
    EXPECT_EQ(1010u, ri.uiMessageNo);
}

} // namespace
