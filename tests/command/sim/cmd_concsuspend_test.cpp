// The concurrent VZ suspend (zrkc_suspend_vz with ZRKC_OPT_CONC_SUSPEND)
// against the simulator: box runs cut into chunks of the array's
// per-command maximum, one concurrent suspend command per chunk, over both
// roads; the refusals before any session is touched.
#include "cmd_support.h"
#include "platform.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kManyPairs = 300;
using cmdtest::kFirstOlu;
using cmdtest::VzRun;
using cmdtest::VzRunLines;

std::string ManySessions() {
    return "volume A1 0x30 4096\n"
           "volume A1 0x31 4096\n"
           "volume B1 0x30 4096\n"
           "volume B1 0x31 4096\n"
           "session 1 vz A1 1 A1 2 size=4096\n"
           "session 7 vz B1 1 B1 2 size=4096\n"
           "session 20 rvz A1 0x30 B1 0x30 transfer=2\n"
           "session 21 rvz A1 0x31 B1 0x31 transfer=3\n" +
           VzRun("A1", kManyPairs);
}

class CmdConcSuspend : public cmdtest::CommandSim {
protected:
    CmdConcSuspend() : CommandSim(ManySessions()) {}

    void SetUp() override {
        CommandSim::SetUp();
        area.assign(ZRK_PAIR_AREA_SIZE(kManyPairs), 0);
    }



    std::string Status(const std::string &array, unsigned id) {
        const std::string head = "session " + std::to_string(id) + " ";
        for (const std::string &line : sim.sessions(array))
            if (line.rfind(head, 0) == 0) return iptest::SessionField(line, "status");
        return "(none)";
    }

    // The concurrent suspend lists the arrays received in-band: the pair
    // count and the flags byte of each.
    struct Chunk {
        unsigned uiCount;
        unsigned char ucFlags;
    };
    std::vector<Chunk> InBandChunks() {
        std::vector<Chunk> out;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.dataOut.size() >= 16 && r.dataOut[0] == 0x50)
                out.push_back({static_cast<unsigned>(r.dataOut[8] << 8 | r.dataOut[9]), r.dataOut[10]});
        return out;
    }
    size_t InBandSuspends() {
        size_t n = 0;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (!r.dataOut.empty() && (r.dataOut[0] == 0x48 || r.dataOut[0] == 0x50)) ++n;
        return n;
    }

};

TEST_F(CmdConcSuspend, OnePairOneChunkOverEitherRoad) {
    ReturnInfo ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 0, ZRKC_OPT_CONC_SUSPEND, &ri)) << ri.caMessage;
    EXPECT_EQ(Status("A1", 1), "4");
    const std::vector<Chunk> chunks = InBandChunks();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].uiCount, 1u);

    ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz("0x1@lb", "0x002@lb", 0, 0, ZRKC_OPT_CONC_SUSPEND, &ri)) << ri.caMessage;
    EXPECT_EQ(Status("B1", 7), "4");
    size_t concurrent = 0;
    for (const std::string &c : iptest::LanSessionCommands(sim))
        if (c.rfind("suspend copy-vz", 0) == 0 && c.find("concurrent") != std::string::npos) ++concurrent;
    EXPECT_EQ(concurrent, 1u);
}

std::vector<std::string> ManyLines() { return VzRunLines("sa", kManyPairs); }

TEST_F(CmdConcSuspend, GroupFileCutIntoChunksOfTheMaximum) {
    sim.setArray("A1", "percommand=128");
    const std::string file = GroupFileLines(ManyLines());
    sim.clearLog();
    ReturnInfo ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz(file.c_str(), nullptr, 0, 0, ZRKC_OPT_CONC_SUSPEND | ZRKC_OPT_GROUP_FILE, &ri))
        << ri.caMessage;
    const std::vector<Chunk> chunks = InBandChunks();
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].uiCount, 128u);
    EXPECT_EQ(chunks[1].uiCount, 128u);
    EXPECT_EQ(chunks[2].uiCount, 44u);
    for (int id : {100, 227, 228, 355, 356, 399}) EXPECT_EQ(Status("A1", id), "4") << id;
}

TEST_F(CmdConcSuspend, FailedChunkOfAGroupFile) {
    sim.setArray("A1", "percommand=128");
    const std::string file = GroupFileLines(ManyLines());
    sim.clearLog();
    sim.injectSenseOnList(0x50, 1, 5, 0x24, 0x00, "", 1); // the second chunk
    ReturnInfo ri = Info();
    EXPECT_EQ(-1, zrkc_suspend_vz(file.c_str(), nullptr, 0, 0, ZRKC_OPT_CONC_SUSPEND | ZRKC_OPT_GROUP_FILE, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_GROUP_LINES);
    EXPECT_EQ(ri.uiMessageNo, 1804u);
    EXPECT_EQ(InBandChunks().size(), 3u); // the third chunk is still sent
    for (int i = 0; i < kManyPairs; ++i) {
        const PairResult &e = *reinterpret_cast<PairResult *>(area.data() + 4 + i * sizeof(PairResult));
        const bool failed = i >= 128 && i < 256;
        EXPECT_EQ(e.uiMessageNo != 0, failed) << i;
        EXPECT_EQ(Status("A1", 100 + i), failed ? "2" : "4") << i;
        if (i == 130) i = 250; // a sample of the middle
    }
}

TEST_F(CmdConcSuspend, AcceptedButNotSeenSuspended) {
    // The look after the suspend (after the session check's and the
    // concurrent suspend's own reads of the detail list, two pages each)
    // finds the session still in transition.
    sim.corrupt(0x43, 16 + 11, "01", 1, 6);
    ReturnInfo ri = Info();
    EXPECT_EQ(1, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 0, ZRKC_OPT_CONC_SUSPEND, &ri)) << ri.caMessage;
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_TIMEOUT);
    EXPECT_EQ(ri.uiMessageNo, 1301u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1301 WARNING The operation was accepted.\n");
    EXPECT_EQ(Status("A1", 1), "4");
}

TEST_F(CmdConcSuspend, RefusedBeforeAnySuspend) {
    struct Case {
        const char *pWhat;
        std::vector<std::string> lines; // one pair: source and target
        uint32_t uiNumber;
        int iClass; // -1: the catalogue's
    } cases[] = {
        {"stack mode", {"0x30@sa 0x30@lb"}, 1202, ZRKC_CLASS_ARRAY},
        {"two source arrays", {"/dev/sdb /dev/sdc", "0x1@lb 0x002@lb"}, 1215, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        sim.clearLog();
        const std::string file = GroupFileLines(c.lines);
        ReturnInfo ri = Info();
        EXPECT_EQ(-1, zrkc_suspend_vz(file.c_str(), nullptr, 0, 0, ZRKC_OPT_CONC_SUSPEND | ZRKC_OPT_GROUP_FILE, &ri));
        EXPECT_EQ(ri.uiMessageNo, c.uiNumber) << ri.caMessage;
        if (c.iClass >= 0) {
            EXPECT_EQ(ri.iReturnClass, c.iClass);
        }
        EXPECT_NE(ri.caMessage[0], '\0');
        EXPECT_EQ(InBandSuspends(), 0u);
    }
    EXPECT_EQ(Status("A1", 1), "2");
    EXPECT_EQ(Status("A1", 20), "2");
}

TEST_F(CmdConcSuspend, NoTransferBitOnlyBetweenArrays) {
    ReturnInfo ri = Info();
    const uint32_t opt = ZRKC_OPT_CONC_SUSPEND | ZRK_OPT_UNTRANSFERRED;
    EXPECT_EQ(0, zrkc_suspend_vz("/dev/sdb", "/dev/sdc", 0, 0, opt, &ri)) << ri.caMessage;
    std::vector<Chunk> chunks = InBandChunks();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].ucFlags & 0x20, 0);

    sim.clearLog();
    ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz("0x31@sa", "0x31@lb", 0, 0, opt, &ri)) << ri.caMessage;
    chunks = InBandChunks();
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].ucFlags & 0x20, 0x20);
    EXPECT_EQ(Status("A1", 21), "4");
}

} // namespace

namespace {

// suspend_group_make over a resolved list cuts each box run by the maximum
// kept in the run's first subgroup-index entry; no maximum takes it whole.
TEST_F(CmdConcSuspend, GroupMakeCutsEachRunByItsKeptMaximum) {
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i) {
        char src[32], dst[32];
        std::snprintf(src, sizeof src, "0x%x@sa", kFirstOlu + i);
        std::snprintf(dst, sizeof dst, "0x%x@sa", kFirstOlu + kManyPairs + i);
        names.push_back(src);
        names.push_back(dst);
    }
    std::vector<std::pair<const char *, const char *>> pairs;
    for (size_t i = 0; i < names.size(); i += 2) pairs.push_back({names[i].c_str(), names[i + 1].c_str()});
    ReturnInfo ri = Info();
    ASSERT_EQ(0, BuildAndResolve(pairs, 0, &ri, true)) << ri.caMessage;
    ASSERT_EQ(list.pSubgroups->uiBoxRuns, 1u);
    for (const auto &[most, expected] : std::vector<std::pair<uint16_t, std::vector<uint32_t>>>{
             {4, {4, 4, 2}}, {5, {5, 5}}, {10, {10}}, {0, {10}}}) {
        SCOPED_TRACE(most);
        list.pSubgroups->taEntry[0].uhCommandMax = most;
        ConcSuspendSet set{};
        ASSERT_EQ(0, suspend_group_make(&list, &set, &ri)) << ri.caMessage;
        std::vector<uint32_t> counts;
        for (uint32_t k = 0; k < set.uiChunks; ++k) {
            counts.push_back(set.pVol[k].uiCount);
            EXPECT_STREQ(set.pVol[k].caVolume, list.pSubgroups->taEntry[0].pPair->caAccessVolume);
        }
        EXPECT_EQ(counts, expected);
        for (uint32_t i = 0; i < 10; ++i)
            EXPECT_EQ(set.pPair[i].SrcOlu, list.pSubgroups->taEntry[i].pPair->SrcOlu) << i;
        suspend_group_close(&set);
        EXPECT_EQ(set.pVol, nullptr);
    }
}

} // namespace

namespace {

// A LAN box run longer than the most pairs one concurrent suspend sent over
// the LAN may hold: the run goes in two commands.
constexpr int kLanPairs = 850;

class CmdConcSuspendLan : public cmdtest::CommandSim {
protected:
    CmdConcSuspendLan() : CommandSim(VzRun("B1", kLanPairs), " percommand=1000") {}
    void SetUp() override {
        CommandSim::SetUp();
        area.assign(ZRK_PAIR_AREA_SIZE(kLanPairs), 0);
    }
};

TEST_F(CmdConcSuspendLan, RunLongerThanALanCommandGoesInTwo) {
    const std::string file = GroupFileLines(VzRunLines("lb", kLanPairs));
    sim.commandOk("clearlanlog");
    ReturnInfo ri = Info();
    EXPECT_EQ(0, zrkc_suspend_vz(file.c_str(), nullptr, 0, 0, ZRKC_OPT_CONC_SUSPEND | ZRKC_OPT_GROUP_FILE, &ri))
        << ri.caMessage;
    std::vector<size_t> chunks;
    for (const std::string &c : iptest::LanSessionCommands(sim))
        if (c.rfind("suspend copy-vz", 0) == 0 && c.find("concurrent") != std::string::npos)
            chunks.push_back(static_cast<size_t>(std::count(c.begin(), c.end(), ',')) + 1);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], 845u);
    EXPECT_EQ(chunks[1], 5u);
    for (const std::string &s : sim.sessions("B1"))
        EXPECT_EQ(iptest::SessionField(s, "status"), "4") << s;
}

} // namespace
