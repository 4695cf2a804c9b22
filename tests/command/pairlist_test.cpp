// The copy-pair list after it is built: the rewrites into volume lists, the
// subgroup index over resolved pairs, the starts' size check and the release.
#include "install_root.h"
#include "zrkc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string kNoTarget(ZRK_VOLNAME_LEN, '\xFF');

// A list of names (target "" : none) with room for resolved pairs.
CopyPairList MakeList(const std::vector<std::pair<std::string, std::string>> &entries) {
    CopyPairList list{};
    const size_t n = entries.size();
    list.pNames = static_cast<CopyPairNames *>(std::calloc(1, sizeof(CopyPairNames) + n * sizeof(CopyPairName)));
    list.pNames->uiCount = static_cast<uint32_t>(n);
    list.pNames->uiForm = !entries.empty() && entries[0].second.empty() ? ZRKC_FORM_VOLUMES : ZRKC_FORM_PAIRS;
    for (size_t i = 0; i < n; ++i) {
        std::strcpy(list.pNames->taEntry[i].caSource, entries[i].first.c_str());
        if (entries[i].second.empty()) {
            std::memset(list.pNames->taEntry[i].caTarget, 0xFF, ZRK_VOLNAME_LEN);
        } else {
            std::strcpy(list.pNames->taEntry[i].caTarget, entries[i].second.c_str());
        }
    }
    list.pPairs = static_cast<CopyPairArea *>(std::calloc(1, sizeof(CopyPairArea) + n * sizeof(CopyPair)));
    list.pPairs->uiCount = static_cast<uint32_t>(n);
    return list;
}

void SetBox(char *field, char letter) {
    std::memset(field, 0, ZRK_BOXID_LEN);
    std::memset(field, letter, 10);
}

std::string Source(const CopyPairList &list, uint32_t i) { return list.pNames->taEntry[i].caSource; }
bool NoTarget(const CopyPairList &list, uint32_t i) {
    return std::string(list.pNames->taEntry[i].caTarget, ZRK_VOLNAME_LEN) == kNoTarget;
}

TEST(PairList, PairToVolKeepsTheTargets) {
    CopyPairList list = MakeList({{"/dev/sa", "/dev/ta"}, {"/dev/sb", "/dev/tb"}});
    com_pair_to_vol(&list);
    EXPECT_EQ(list.pNames->uiForm, ZRKC_FORM_VOLUMES);
    EXPECT_EQ(Source(list, 0), "/dev/ta");
    EXPECT_EQ(Source(list, 1), "/dev/tb");
    EXPECT_TRUE(NoTarget(list, 0));
    EXPECT_TRUE(NoTarget(list, 1));
    com_file_release(&list);
}

TEST(PairList, ResetCopyPair) {
    struct Case {
        int side;
        const char *first;
        const char *second;
    } cases[] = {{1, "/dev/ta", "/dev/tb"}, {0, "/dev/sa", "/dev/sb"}, {7, "/dev/sa", "/dev/sb"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.side);
        CopyPairList list = MakeList({{"/dev/sa", "/dev/ta"}, {"/dev/sb", "/dev/tb"}});
        com_reset_copypair(c.side, &list);
        EXPECT_EQ(list.pNames->uiForm, ZRKC_FORM_VOLUMES);
        EXPECT_EQ(Source(list, 0), c.first);
        EXPECT_EQ(Source(list, 1), c.second);
        EXPECT_TRUE(NoTarget(list, 0));
        EXPECT_TRUE(NoTarget(list, 1));
        com_file_release(&list);
    }

    // A volume list stays as it is, whatever the side.
    CopyPairList volumes = MakeList({{"/dev/sa", ""}});
    com_reset_copypair(1, &volumes);
    EXPECT_EQ(Source(volumes, 0), "/dev/sa");
    EXPECT_TRUE(NoTarget(volumes, 0));
    EXPECT_EQ(volumes.pNames->uiForm, ZRKC_FORM_VOLUMES);
    com_file_release(&volumes);

    CopyPairList empty{};
    com_reset_copypair(1, &empty);
    com_pair_to_vol(&empty);
}

struct PairBoxes {
    char src;
    char trg;
    uint8_t byTarget;
};

struct SortedEntry {
    uint32_t pairIndex;
    uint32_t subgroupSize;
    uint32_t runSize;
    uint32_t sameBox;
};

struct SubgroupCase {
    const char *title;
    std::vector<PairBoxes> pairs;
    uint32_t subgroups;
    uint32_t runs;
    std::vector<SortedEntry> sorted;  // pair index -1u: order not defined among equals
};

TEST(PairList, SubgroupIndex) {
    const SubgroupCase cases[] = {
        {"sources B, A, B sort as A, B, B", {{'B', 'T', 0}, {'A', 'T', 0}, {'B', 'T', 0}}, 2, 2,
         {{1, 1, 1, 0}, {~0u, 2, 2, 0}, {~0u, 0, 0, 0}}},
        {"one pair inside one array", {{'A', 'A', 0}}, 1, 1, {{0, 1, 1, 1}}},
        {"one source, two targets: two box runs in one subgroup",
         {{'A', 'Y', 0}, {'A', 'X', 0}, {'A', 'Y', 0}}, 1, 2,
         {{1, 3, 1, 0}, {~0u, 0, 2, 0}, {~0u, 0, 0, 0}}},
        {"reached through the target: a new subgroup for each target",
         {{'A', 'Y', 1}, {'A', 'X', 1}, {'A', 'Y', 1}}, 2, 2,
         {{1, 1, 1, 0}, {~0u, 2, 2, 0}, {~0u, 0, 0, 0}}},
        {"the byte sorts last: 0 before 1", {{'A', 'X', 1}, {'A', 'X', 0}}, 1, 1,
         {{1, 2, 2, 0}, {0, 0, 0, 0}}},
        {"the first pair's byte decides the split", {{'A', 'X', 0}, {'A', 'Y', 1}}, 1, 2,
         {{0, 2, 1, 0}, {1, 0, 1, 0}}},
    };
    for (const SubgroupCase &c : cases) {
        SCOPED_TRACE(c.title);
        std::vector<std::pair<std::string, std::string>> names(c.pairs.size(), {"/dev/s", "/dev/t"});
        CopyPairList list = MakeList(names);
        for (size_t i = 0; i < c.pairs.size(); ++i) {
            SetBox(list.pPairs->taPair[i].caSrcBoxID, c.pairs[i].src);
            SetBox(list.pPairs->taPair[i].caTrgBoxID, c.pairs[i].trg);
            list.pPairs->taPair[i].ucByTarget = c.pairs[i].byTarget;
        }
        ReturnInfo ri{};
        ASSERT_EQ(com_org_subgroup(&list, &ri), 0);
        const SubgroupIndex *index = list.pSubgroups;
        ASSERT_NE(index, nullptr);
        EXPECT_EQ(index->uiPairCount, c.pairs.size());
        EXPECT_EQ(index->uiSubgroups, c.subgroups);
        EXPECT_EQ(index->uiBoxRuns, c.runs);
        std::vector<bool> seen(c.pairs.size(), false);
        for (size_t i = 0; i < c.sorted.size(); ++i) {
            const SubgroupEntry &e = index->taEntry[i];
            SCOPED_TRACE(i);
            if (c.sorted[i].pairIndex != ~0u) {
                EXPECT_EQ(e.uiPairIndex, c.sorted[i].pairIndex);
            }
            ASSERT_LT(e.uiPairIndex, c.pairs.size());
            EXPECT_FALSE(seen[e.uiPairIndex]);
            seen[e.uiPairIndex] = true;
            EXPECT_EQ(e.pPair, &list.pPairs->taPair[e.uiPairIndex]);
            EXPECT_EQ(e.uiSubgroupSize, c.sorted[i].subgroupSize);
            EXPECT_EQ(e.uiRunSize, c.sorted[i].runSize);
            EXPECT_EQ(e.uiSameBox, c.sorted[i].sameBox);
        }
        com_file_release(&list);
        EXPECT_EQ(list.pSubgroups, nullptr);
    }
}

TEST(PairList, SubgroupIndexOfNoPairs) {
    CopyPairList list = MakeList({});
    ReturnInfo ri{};
    ASSERT_EQ(com_org_subgroup(&list, &ri), 0);
    EXPECT_EQ(list.pSubgroups->uiPairCount, 0u);
    EXPECT_EQ(list.pSubgroups->uiSubgroups, 0u);
    com_file_release(&list);
}

struct SizeCase {
    const char *title;
    std::string source;
    std::string target;  // "" : a volume list
    uint32_t srcHigh, srcLow, trgHigh, trgLow;
    int result;
    uint32_t messageNo;
};

TEST(PairList, StartVolumeSizeCheck) {
    const SizeCase cases[] = {
        {"sizes set", "/dev/sa", "/dev/ta", 0, 8, 0, 8, 0, 0},
        {"high word alone counts", "/dev/sa", "/dev/ta", 1, 0, 1, 0, 0, 0},
        {"source size 0", "/dev/sa", "/dev/ta", 0, 0, 0, 8, -1, 1020},
        {"target size 0 in a pair list", "/dev/sa", "/dev/ta", 0, 8, 0, 0, -1, 1020},
        {"target size not looked at in a volume list", "/dev/sa", "", 0, 8, 0, 0, 0, 0},
        {"alias form not checked", "0x12@box", "0x13@box", 0, 0, 0, 0, 0, 0},
        {"extent form not checked", "0x12:0:100@box", "0x13:0:100@box", 0, 0, 0, 0, 0, 0},
        {"an invalid name", "a", "/dev/ta", 0, 8, 0, 8, -1, 1002},
    };
    for (const SizeCase &c : cases) {
        SCOPED_TRACE(c.title);
        CopyPairList list = MakeList({{"/dev/ok", c.target.empty() ? "" : "/dev/ok2"}, {c.source, c.target}});
        CopyPair &first = list.pPairs->taPair[0];
        first.SrcSize_l = first.TrgSize_l = 1;
        CopyPair &pair = list.pPairs->taPair[1];
        pair.SrcSize_h = c.srcHigh;
        pair.SrcSize_l = c.srcLow;
        pair.TrgSize_h = c.trgHigh;
        pair.TrgSize_l = c.trgLow;
        ReturnInfo ri{};
        EXPECT_EQ(start_volume_size_check(&list, &ri), c.result);
        EXPECT_EQ(ri.uiMessageNo, c.messageNo);
        if (c.messageNo == 1020) {
            EXPECT_EQ(ri.iReturnClass, 3);
            EXPECT_STREQ(ri.caMessage, "ZRKC1020 ERROR Logical volume size is incorrect.\n");
        }
        com_file_release(&list);
    }
}

TEST(PairList, ReleaseIsSafeTwiceAndOnACleanList) {
    CopyPairList list = MakeList({{"/dev/sa", "/dev/ta"}});
    ReturnInfo ri{};
    ASSERT_EQ(com_org_subgroup(&list, &ri), 0);
    com_file_release(&list);
    EXPECT_EQ(list.pNames, nullptr);
    EXPECT_EQ(list.pPairs, nullptr);
    EXPECT_EQ(list.pSubgroups, nullptr);
    com_file_release(&list);
    CopyPairList clean{};
    com_file_release(&clean);
    com_file_release(nullptr);
}

}  // namespace
