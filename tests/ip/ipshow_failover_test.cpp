// The failover group and pair queries: the reply texts of "show tfo-groups"
// and "show tfo-pair" read into their block and tree (counts checked
// against the lines present, the empty answer, malformed lines), and both
// queries against the simulator's LAN front.
#include "../../ip/ipshow_failover.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using iptest::PaddedBox;

// A group line of nine columns with the given number, role and state.
std::string GroupLine(const char *number, const char *role, const char *active) {
    return std::string(number) + "\t0\t" + role + "\tBOX\t" + active + "\t0\t0\t0\t0\n";
}

// A detail line of fourteen columns; column 3 as given.
std::string DetailLine(const char *partnerOlu, const char *id, const char *flags) {
    return std::string(partnerOlu) + "\t" + id + "\t9\t" + flags +
           "\t2\t3\t2D\tBOX-P\tBOX-S\t1\t123456789\t800\t2024061512304500\t32\n";
}

CliTfoGroup *Rows(CliTfoGroups *block) {
    return reinterpret_cast<CliTfoGroup *>(reinterpret_cast<unsigned char *>(block) +
                                           offsetof(CliTfoGroups, taTfoGroup));
}
CliTfoPairGroup *Groups(CliTfoPair *root) {
    return reinterpret_cast<CliTfoPairGroup *>(reinterpret_cast<unsigned char *>(root) +
                                               offsetof(CliTfoPair, taGroup));
}

struct GroupsOwner {
    CliTfoGroups *p = nullptr;
    ~GroupsOwner() { std::free(p); }
};
struct TreeOwner {
    CliTfoPair *p = nullptr;
    ~TreeOwner() { freeCliTfoPair(&p); }
};

TEST(IpShowFailover, GroupReplies) {
    const std::string nine = GroupLine("3", "1FF", "1");
    struct Case {
        const char *what;
        std::string text;
        int ret;
        int zrkErrno;                 // on failure
        std::vector<uint32_t> groups; // numbers, on success
    };
    const Case cases[] = {
        {"no group", "0\n0\n", 0, 0, {}},
        {"one group of nine columns", "0\n1\n" + nine + "0\n", 0, 0, {3}},
        {"further lines skipped", "0\n2\n" + nine + "2\nxx\n\tyy\n" + GroupLine("7", "2", "0") + "0\n",
         0, 0, {3, 7}},
        {"eight columns", "0\n1\n3\t0\t1\tB\t1\t0\t0\t0\n0\n", -1, ZRK_ERR_REPLY_INCOMPLETE, {}},
        // (A text that ends in a newline has an empty last line.)
        {"no count line after the group", "0\n1\n" + nine.substr(0, nine.size() - 1), -1,
         ZRK_ERR_REPLY_INCOMPLETE, {}},
        {"more further lines than present", "0\n1\n" + nine + "3\nx\n", -1,
         ZRK_ERR_REPLY_INCOMPLETE, {}},
        // A count that the lines cannot hold is refused before anything is
        // allocated for it.
        {"count beyond the lines", "0\n5\n" + nine + "0\n", -1, ZRK_ERR_REPLY_INCOMPLETE, {}},
        {"huge count", "0\nFFFFFFFF\n" + nine + "0\n", -1, ZRK_ERR_REPLY_INCOMPLETE, {}},
        {"count beyond 32 bits", "0\n100000000\n", -1, ZRK_ERR_REPLY_NUMBER, {}},
        {"one line only", "0", -1, ZRK_ERR_REPLY_INCOMPLETE, {}},
        {"another array error", "1\n5300\nrefused\n", -1, ZRK_ERR_ARRAY_BASE + 0x5300, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ZRKerrno = 0;
        CliTfoGroups *sentinel = reinterpret_cast<CliTfoGroups *>(&ZRKerrno);
        GroupsOwner out;
        out.p = sentinel;
        const int rc = zrkip::ParseTfoGroupsText(c.text.c_str(), &out.p);
        ASSERT_EQ(rc, c.ret) << ZRKerrno;
        if (rc != 0) {
            EXPECT_EQ(ZRKerrno, c.zrkErrno);
            EXPECT_EQ(out.p, sentinel);
            out.p = nullptr;
            continue;
        }
        ASSERT_EQ(out.p->uiTfoGroupCount, c.groups.size());
        for (size_t j = 0; j < c.groups.size(); ++j) {
            EXPECT_EQ(Rows(out.p)[j].uiTfoGroupNo, c.groups[j]);
        }
        if (c.groups.empty()) {
            // The header and room for one zero row.
            const std::string zeros(sizeof(CliTfoGroups), '\0');
            EXPECT_EQ(std::string(reinterpret_cast<char *>(out.p), sizeof(CliTfoGroups)), zeros);
        }
    }
}

TEST(IpShowFailover, GroupRowFields) {
    GroupsOwner out;
    const std::string text = "0\n1\n" + GroupLine("104", "1FF", "0") + "0\n";
    ASSERT_EQ(zrkip::ParseTfoGroupsText(text.c_str(), &out.p), 0) << ZRKerrno;
    CliTfoGroup expected;
    std::memset(&expected, 0, sizeof expected);
    expected.uiTfoGroupNo = 0x104;
    expected.ucTfoRole = 0xFF;
    expected.ucTfoActive = IP_TFO_STANDBY;
    EXPECT_EQ(std::memcmp(&Rows(out.p)[0], &expected, sizeof expected), 0);
}

TEST(IpShowFailover, EmptyAnswerKeepsTheMappedError) {
    for (const char *text : {"1\n9002\nno group\n", "2\n9002"}) {
        SCOPED_TRACE(text);
        ZRKerrno = 0;
        GroupsOwner groups;
        ASSERT_EQ(zrkip::ParseTfoGroupsText(text, &groups.p), 0);
        EXPECT_NE(ZRKerrno, 0);
        ASSERT_NE(groups.p, nullptr);
        EXPECT_EQ(groups.p->uiTfoGroupCount, 0u);
        ZRKerrno = 0;
        TreeOwner tree;
        ASSERT_EQ(zrkip::ParseTfoPairText(text, &tree.p), 0);
        EXPECT_NE(ZRKerrno, 0);
        ASSERT_NE(tree.p, nullptr);
        EXPECT_EQ(tree.p->uiTfoGroupCount, 0u);
        EXPECT_EQ(Groups(tree.p)[0].pPair, nullptr);
    }
}

TEST(IpShowFailover, PairTree) {
    // Group 0x105 with no pair; group 3 with two pairs: the first of a
    // detail without a session and one whose column 3 is FF, the second of
    // one detail.
    const std::string text = "0\n2\n105\n0\n3\n2\n5\t7\n2\n5\n0\n5\n1\n" + DetailLine("7", "A", "FF") +
                             "6\t8\tmore\n1\n6\n1\n" + DetailLine("8", "B", "0");
    TreeOwner tree;
    ASSERT_EQ(zrkip::ParseTfoPairText(text.c_str(), &tree.p), 0) << ZRKerrno;
    ASSERT_EQ(tree.p->uiTfoGroupCount, 2u);
    const CliTfoPairGroup &empty = Groups(tree.p)[0];
    EXPECT_EQ(empty.ucTfoGroupNo, 0x05);
    EXPECT_EQ(empty.uiPairCount, 0u);
    EXPECT_EQ(empty.pPair, nullptr);
    const CliTfoPairGroup &g = Groups(tree.p)[1];
    EXPECT_EQ(g.ucTfoGroupNo, 3);
    ASSERT_EQ(g.uiPairCount, 2u);
    ASSERT_EQ(g.pPair[0].uiDetailCount, 2u);
    const CliTfoPairDetail &none = g.pPair[0].pDetail[0];
    EXPECT_EQ(none.uiOlu, 5u);
    EXPECT_EQ(none.uiDetailFlag, 0u);
    EXPECT_EQ(none.uiSessionID, 0u);
    const CliTfoPairDetail &d = g.pPair[0].pDetail[1];
    EXPECT_EQ(d.uiOlu, 5u);
    EXPECT_EQ(d.uiDetailFlag, 1u);
    EXPECT_EQ(d.uiPartnerOlu, 7u);
    EXPECT_EQ(d.uiSessionID, 0xAu);
    EXPECT_EQ(d.uiPartnerSessionID, 9u);
    EXPECT_EQ(d.ucFlags, 0x17);
    EXPECT_EQ(d.ucPhase, 2);
    EXPECT_EQ(d.ucStatus, 3);
    EXPECT_EQ(d.uiElapsedTime, 0x2Du);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(d.ucaBoxID), 40), "BOX-P" + std::string(35, '\0'));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(d.ucaPartnerBoxID), 5), "BOX-S");
    EXPECT_EQ(d.ucErrorCode, 1);
    EXPECT_EQ(d.uiBlockCount_high, 1u);
    EXPECT_EQ(d.uiBlockCount_low, 0x23456789u);
    EXPECT_EQ(d.uiSrcSize_low, 0x800u);
    const unsigned char time[8] = {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x45, 0x00};
    EXPECT_EQ(std::memcmp(d.ucaStartTime, time, 8), 0);
    EXPECT_EQ(d.uiProgress, 0x32u);
    ASSERT_EQ(g.pPair[1].uiDetailCount, 1u);
    EXPECT_EQ(g.pPair[1].pDetail[0].uiSessionID, 0xBu);
    EXPECT_EQ(g.pPair[1].pDetail[0].ucFlags, 0);
}

TEST(IpShowFailover, MalformedPairReplies) {
    const std::string detail = DetailLine("7", "A", "0");
    struct Case {
        const char *what;
        std::string text;
        int zrkErrno;
    };
    const Case cases[] = {
        {"detail line of 13 columns",
         "0\n1\n3\n1\n5\t7\n1\n5\n1\n7\tA\t9\t0\t2\t3\t0\tB\tB\t0\t0\t0\t0\n", ZRK_ERR_REPLY_INCOMPLETE},
        {"pair line of one column", "0\n1\n3\n1\n5\n1\n5\n1\n" + detail, ZRK_ERR_REPLY_INCOMPLETE},
        {"detail line missing", "0\n1\n3\n1\n5\t7\n1\n5\n1\n", ZRK_ERR_REPLY_INCOMPLETE},
        {"second detail missing", "0\n1\n3\n1\n5\t7\n2\n5\n1\n" + detail, ZRK_ERR_REPLY_INCOMPLETE},
        {"second group missing", "0\n2\n3\n1\n5\t7\n1\n5\n1\n" + detail, ZRK_ERR_REPLY_INCOMPLETE},
        // Counts that the lines present cannot hold.
        {"pair count beyond the lines", "0\n1\n3\nFFFFFFF\n5\t7\n0\n", ZRK_ERR_REPLY_INCOMPLETE},
        {"detail count beyond the lines", "0\n1\n3\n1\n5\t7\nFFFFFFFF\n5\n0\n", ZRK_ERR_REPLY_INCOMPLETE},
        {"group count beyond the lines", "0\n40000000\n3\n0\n", ZRK_ERR_REPLY_INCOMPLETE},
        {"flag beyond 32 bits", "0\n1\n3\n1\n5\t7\n1\n5\n100000000\n" + detail, ZRK_ERR_REPLY_NUMBER},
        {"size column of 17 digits",
         "0\n1\n3\n1\n5\t7\n1\n5\n1\n7\tA\t9\t0\t2\t3\t0\tB\tB\t0\t0\t10000000000000000\t0\t0\n",
         ZRK_ERR_REPLY_NUMBER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ZRKerrno = 0;
        CliTfoPair *tree = nullptr;
        EXPECT_EQ(zrkip::ParseTfoPairText(c.text.c_str(), &tree), -1);
        EXPECT_EQ(ZRKerrno, c.zrkErrno);
        EXPECT_EQ(tree, nullptr);
    }
}

TEST(IpShowFailover, FreeLeavesNullAlone) {
    freeCliTfoPair(nullptr);
    CliTfoPair *tree = nullptr;
    freeCliTfoPair(&tree);
    EXPECT_EQ(tree, nullptr);
    // A tree whose last pair's details were never allocated.
    auto *root = static_cast<CliTfoPair *>(std::calloc(1, zrkip::TfoPairRootBytes(1)));
    root->uiTfoGroupCount = 1;
    Groups(root)[0].uiPairCount = 2;
    Groups(root)[0].pPair = static_cast<CliTfoPairEntry *>(std::calloc(2, sizeof(CliTfoPairEntry)));
    Groups(root)[0].pPair[0].uiDetailCount = 1;
    Groups(root)[0].pPair[0].pDetail =
        static_cast<CliTfoPairDetail *>(std::calloc(1, sizeof(CliTfoPairDetail)));
    Groups(root)[0].pPair[1].uiDetailCount = 3;
    freeCliTfoPair(&root);
    EXPECT_EQ(root, nullptr);
}

TEST(IpShowFailover, CommandTexts) {
    const unsigned char five = 5;
    EXPECT_EQ(zrkip::TfoGroupsCommand(&five, 3), "show tfo-groups -tfog-number 5");
    EXPECT_EQ(zrkip::TfoGroupsCommand(&five, 1), "show tfo-groups ");
    EXPECT_EQ(zrkip::TfoGroupsCommand(&five, 2), "show tfo-groups ");
    EXPECT_EQ(zrkip::TfoGroupsCommand(nullptr, 0), "show tfo-groups ");
}

// ---- against the simulator ------------------------------------------------------------

constexpr const char *kCluster =
    "clock 1718454645\n"
    "array P boxid=\"BOX-P\" address=10.0.0.5 partner=S role=1 group=3\n"
    "array S boxid=\"BOX-S\" address=10.0.0.6 partner=P role=2 group=3\n"
    "array N boxid=\"BOX-N\" address=10.0.0.7\n"
    "volume P 5 2097152\n"
    "volume P 6 2097152 group=4\n"
    "volume S 7 2097152\n"
    "volume S 8 2097152 group=4\n"
    "session 1 failover P 6 S 8 partner=2 copied=1048576\n"
    "session 3 failover P 5 S 7 partner=5\n"
    "user admin secret\n";

class IpShowFailoverSim : public iptest::LanSimTest {
protected:
    IpShowFailoverSim()
        : LanSimTest(kCluster, {"10.0.0.5", "10.0.0.6", "10.0.0.7"}, iptest::LanTrace::kRootDefault) {}
};

TEST_F(IpShowFailoverSim, Groups) {
    const unsigned char four = 4;
    struct Case {
        const char *ip;
        int flags;
        const char *command;
        std::vector<uint32_t> numbers;
        uint8_t role;
        uint8_t active;
    };
    const Case cases[] = {
        {"10.0.0.5", 0, "show tfo-groups ", {3, 4}, 1, 1},
        {"10.0.0.6", 1, "show tfo-groups ", {3, 4}, IP_TFO_ROLE_SECONDARY, IP_TFO_STANDBY},
        {"10.0.0.5", 3, "show tfo-groups -tfog-number 4", {4}, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        GroupsOwner out;
        ASSERT_EQ(ShowTfoGroups(c.ip, nullptr, 0, &four, c.flags, &out.p), 0) << ZRKerrno;
        EXPECT_EQ(iptest::LanCommands(sim), std::vector<std::string>{c.command});
        ASSERT_EQ(out.p->uiTfoGroupCount, c.numbers.size());
        for (size_t j = 0; j < c.numbers.size(); ++j) {
            EXPECT_EQ(Rows(out.p)[j].uiTfoGroupNo, c.numbers[j]);
            EXPECT_EQ(Rows(out.p)[j].ucTfoRole, c.role);
            EXPECT_EQ(Rows(out.p)[j].ucTfoActive, c.active);
        }
    }
    // An array without failover refuses; the output stays as it was.
    CliTfoGroups *out = nullptr;
    EXPECT_EQ(ShowTfoGroups("10.0.0.7", nullptr, 0, nullptr, 0, &out), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_ARRAY_BASE + 0x5306);
    EXPECT_EQ(out, nullptr);
    // A group the array does not have is the empty answer.
    const unsigned char nine = 9;
    ASSERT_EQ(ShowTfoGroups("10.0.0.5", nullptr, 1, &nine, 3, &out), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->uiTfoGroupCount, 0u);
    std::free(out);
}

TEST_F(IpShowFailoverSim, Pairs) {
    TreeOwner tree;
    ASSERT_EQ(ShowTfoPair("10.0.0.6", nullptr, 0, nullptr, 0, &tree.p), 0) << ZRKerrno;
    EXPECT_EQ(iptest::LanCommands(sim), std::vector<std::string>{"show tfo-pair"});
    ASSERT_EQ(tree.p->uiTfoGroupCount, 2u);
    struct Want {
        uint8_t group;
        uint32_t olu, partnerOlu, id, partnerId, copiedLow, progress;
    };
    const Want wants[] = {{3, 7, 5, 3, 5, 0, 0}, {4, 8, 6, 1, 2, 1048576, 50}};
    for (size_t g = 0; g < 2; ++g) {
        const Want &w = wants[g];
        const CliTfoPairGroup &group = Groups(tree.p)[g];
        EXPECT_EQ(group.ucTfoGroupNo, w.group);
        ASSERT_EQ(group.uiPairCount, 1u);
        ASSERT_EQ(group.pPair[0].uiDetailCount, 1u);
        const CliTfoPairDetail &d = group.pPair[0].pDetail[0];
        EXPECT_EQ(d.uiOlu, w.olu);
        EXPECT_EQ(d.uiPartnerOlu, w.partnerOlu);
        EXPECT_EQ(d.uiSessionID, w.id);
        EXPECT_EQ(d.uiPartnerSessionID, w.partnerId);
        EXPECT_EQ(d.ucFlags, IP_TFO_DEST_SIDE);
        EXPECT_EQ(d.uiBlockCount_low, w.copiedLow);
        EXPECT_EQ(d.uiProgress, w.progress);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(d.ucaBoxID), 40), PaddedBox("BOX-S"));
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(d.ucaPartnerBoxID), 40),
                  PaddedBox("BOX-P"));
    }
    CliTfoPair *none = nullptr;
    EXPECT_EQ(ShowTfoPair("10.0.0.7", nullptr, 0, nullptr, 0, &none), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_ARRAY_BASE + 0x5306);
    EXPECT_EQ(none, nullptr);
}

}  // namespace
