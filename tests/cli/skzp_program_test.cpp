// zrkcskzp end to end: the real program in a child process against the
// simulator; standard output, standard error and the exit code, byte for
// byte. The refusals in the order the program checks them, snapshots and
// estimate sessions over the in-band road ("ss") and the LAN road ("tl"),
// the restore, the snap data volume initialisation, and the sdvinfo,
// estimate and sdpinfo tables in text and CSV, with and without group files.
#include "cmd_kzp_support.h"
#include "out_support.h"
#include "program_support.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

const std::string kUsage =
    "Usage : zrkcskzp start               src_volume trg_volume |\n"
    "        zrkcskzp start [-c] -gf      group_file            |\n"
    "        zrkcskzp stop [-f]           src_volume trg_volume |\n"
    "        zrkcskzp stop [-f] -gf       group_file            |\n"
    "        zrkcskzp start -e            src_volume            |\n"
    "        zrkcskzp start -e -gf        group_file            |\n"
    "        zrkcskzp estimate [-csv]     src_volume            |\n"
    "        zrkcskzp estimate [-csv] -gf group_file            |\n"
    "        zrkcskzp stop -e             src_volume            |\n"
    "        zrkcskzp stop -e -gf         group_file            |\n"
    "        zrkcskzp sdvinit             volume                |\n"
    "        zrkcskzp sdvinit -gf         group_file            |\n"
    "        zrkcskzp sdvinfo [-csv]      volume                |\n"
    "        zrkcskzp sdvinfo [-csv] -gf  group_file            |\n"
    "        zrkcskzp sdpinfo [-csv]      volume                |\n"
    "        zrkcskzp restore             src_volume trg_volume |\n"
    "        zrkcskzp restore -gf         group_file            |\n";

ProgramResult Skzp(const std::vector<std::string> &args) { return RunProgram("zrkcskzp", args); }

TEST(SkzpProgram, CommandLineRefusals) {
    clitest::ExpectRefusals("zrkcskzp", kUsage, {
        {{}, "No parameter"},
        {{"query", "a", "b"}, "query"},
        {{"start", "-sl", "list"}, "Volume specification"},
        {{"sdvinit", "a", "b"}, "Volume specification"},
        {{"sdpinfo", "-gf", "group"}, "Volume specification"},
        {{"restore", "a"}, "Volume specification"},
        {{"start", "a"}, "-e is necessary"},
        {{"start", "-csv", "a"}, "-e is necessary"},             // before the permitted options
        {{"stop", "a"}, "-e is necessary"},
        {{"start", "-e", "-c", "-gf", "group"}, "-e, -c"},
        {{"start", "-e", "-c", "-csv", "-gf", "group"}, "-e, -c"},
        {{"stop", "-e", "-f", "-gf", "group"}, "-e, -f"},
        {{"start", "-e", "a", "b"}, "Non-permissible option"},
        {{"start", "-e", "-f", "a"}, "Non-permissible option"},
        {{"start", "-vvol_delete", "-gf", "group"}, "Non-permissible option"},
        {{"stop", "-c", "a", "b"}, "Non-permissible option"},
        {{"restore", "-f", "a", "b"}, "Non-permissible option"},
        {{"sdvinit", "-csv", "a"}, "Non-permissible option"},
        {{"estimate", "-e", "a"}, "Non-permissible option"},
        {{"sdvinfo", "-f", "a"}, "Non-permissible option"},
    });
}

// The arrays of the KZP command tests (S1 in-band as "ss", T1 over the LAN
// as "tl"; volumes 5 to 8 are snap data volumes) and an estimate session of
// volume 3 on each.
class SkzpProgramSim : public kzptest::CmdKzp {
protected:
    SkzpProgramSim()
        : CmdKzp("session 40 monitor S1 3 S1 - size=4096 copied=2049\n"
                 "session 41 monitor T1 3 T1 - size=4096 copied=2049\n") {}

    std::string KindOf(const std::string &array, const std::string &pair) const {
        return Kind(Session(array, pair));
    }
    // Runs the program with the arguments and compares what it shows.
    static void Expect(const std::vector<std::string> &args, int exit, const std::string &out,
                       const std::string &err) {
        std::string line;
        for (const std::string &a : args) line += a + " ";
        SCOPED_TRACE(line);
        const ProgramResult r = Skzp(args);
        EXPECT_EQ(r.iExit, exit);
        EXPECT_EQ(r.sOut, out);
        EXPECT_EQ(r.sErr, err);
    }
};

constexpr const char *kRoads[][2] = {{"ss", "S1"}, {"tl", "T1"}};

std::string At(const char *olu, const char *road) { return std::string(olu) + "@" + road; }

TEST_F(SkzpProgramSim, SnapshotAndEstimateOverBothRoads) {
    for (const auto &road : kRoads) {
        SCOPED_TRACE(road[0]);
        const std::string array = road[1];
        const std::string src = At("0x1", road[0]), dst = At("0x5", road[0]);
        Expect({"start", src, dst}, 0, "", "");
        EXPECT_EQ(KindOf(array, array + ":1>" + array + ":5"), "snapkzp+");
        Expect({"stop", src, dst}, 0, "", "");
        EXPECT_EQ(KindOf(array, array + ":1>" + array + ":5"), "");

        const std::string volume = At("0x2", road[0]);
        Expect({"start", "-e", volume}, 0, "", "");
        EXPECT_EQ(KindOf(array, array + ":2>" + array + ":-"), "monitor");
        Expect({"estimate", volume}, 0,
               "Volume                   EstimateSize(MB)\n" + volume + std::string(23 - volume.size(), ' ') +
                   "  0               \n",
               "");
        Expect({"estimate", "-csv", At("0x3", road[0])}, 0,
               "\"Volume\",\"EstimateSize(MB)\"\n\"" + At("0x3", road[0]) + "\",\"2\"\n", "");
    }
    // The estimate stop (over the LAN road; see the report on the in-band one).
    Expect({"stop", "-e", "0x2@tl"}, 0, "", "");
    EXPECT_EQ(KindOf("T1", "T1:2>T1:-"), "");
    Expect({"stop", "-e", "0x2@tl"}, 4, "", "ZRKC1100 ERROR Session does not exist.\n");
}

// Failed group-file lines name the pair, or with -e the volume; the naming
// ends in a blank.
TEST_F(SkzpProgramSim, GroupFileLines) {
    // Volume 3 has its estimate session.
    Expect({"start", "-gf", GroupFileLines({"0x2@ss 0x3@ss", "0x2@ss 0x6@ss"})}, 4, "",
           "ZRKC1804 ERROR Error occurred with copy operation described in group file. "
           "Source=(0x2@ss). Target=(0x3@ss).  Error message=(ZRKC1004 ERROR Maximum session reached.).\n");
    EXPECT_EQ(KindOf("S1", "S1:2>S1:6"), "snapkzp+");
    Expect({"stop", "-gf", GroupFileLines({"0x2@ss 0x6@ss"})}, 0, "", "");
    EXPECT_EQ(KindOf("S1", "S1:2>S1:6"), "");
    // A group the library refuses as a whole: its message, no entry lines.
    Expect({"start", "-e", "-gf", GroupFileLines({"0x2@tl", "0x3@tl"})}, 4, "",
           "ZRKC1214 ERROR Preconditions for copy operation are not satisfied.\n");
    EXPECT_EQ(KindOf("T1", "T1:2>T1:-"), "");
}

TEST_F(SkzpProgramSim, SdvInitAndInfo) {
    for (const auto &road : kRoads) {
        SCOPED_TRACE(road[0]);
        const std::string sdv = At("0x6", road[0]);
        Expect({"sdvinit", sdv}, 0, "", "");
        Expect({"sdvinfo", sdv}, 0,
               "Volume                   Status        LogicalSize(KB)        PhysicalSize(KB)       "
               "UsedSDV(Host / Copy)(KB)                       UsedSDP(Host / Copy)(KB)\n" +
                   sdv + std::string(23 - sdv.size(), ' ') +
                   "  Initializing  2048.0                 2048.0                 0.0                   / "
                   "0.0                    0.0                   / 0.0                  \n",
               "");
        sim.advanceClock(60);
        Expect({"sdvinfo", "-csv", sdv}, 0,
               "\"Volume\",\"Status\",\"LogicalSize(KB)\",\"PhysicalSize(KB)\",\"UsedSDV(Host)(KB)\","
               "\"UsedSDV(Copy)(KB)\",\"UsedSDP(Host)(KB)\",\"UsedSDP(Copy)(KB)\"\n\"" +
                   sdv + "\",\"Normal\",\"2048.0\",\"2048.0\",\"0.0\",\"0.0\",\"0.0\",\"0.0\"\n",
               "");
    }
    Expect({"sdvinit", "-gf", GroupFileLines({"0x7@ss", "0x2@tl"})}, 4, "",
           "ZRKC1804 ERROR Error occurred with copy operation described in group file. "
           "Volume=(0x2@tl).  Error message=(ZRKC1102 ERROR Invalid Snap Data Volume.).\n");
}

// A group file that partly fails: the table prints the rows it has, the
// failed line as its ZRKC1804 line (standard error in text, a row in CSV),
// exit 4 and no lines of the program's own.
TEST_F(SkzpProgramSim, PartlyFailedGroupTables) {
    const std::string group = GroupFileLines({"0x5@ss", "0x2@ss"});
    const std::string failed =
        "ZRKC1804 ERROR Error occurred with copy operation described in group file. Volume=(0x2@ss). "
        "Error message=(ZRKC1102 ERROR Invalid Snap Data Volume.).";
    Expect({"sdvinfo", "-gf", group}, 4,
           "Volume                   Status        LogicalSize(KB)        PhysicalSize(KB)       "
           "UsedSDV(Host / Copy)(KB)                       UsedSDP(Host / Copy)(KB)\n"
           "0x5@ss                   Normal        2048.0                 2048.0                 0.0                   / "
           "0.0                    0.0                   / 0.0                  \n",
           failed + "\n");
    Expect({"sdvinfo", "-csv", "-gf", group}, 4,
           "\"Volume\",\"Status\",\"LogicalSize(KB)\",\"PhysicalSize(KB)\",\"UsedSDV(Host)(KB)\","
           "\"UsedSDV(Copy)(KB)\",\"UsedSDP(Host)(KB)\",\"UsedSDP(Copy)(KB)\"\n"
           "\"0x5@ss\",\"Normal\",\"2048.0\",\"2048.0\",\"0.0\",\"0.0\",\"0.0\",\"0.0\"\n\"" +
               failed + "\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\n",
           "");
    Expect({"estimate", "-gf", GroupFileLines({"0x3@ss", "0x4@ss"})}, 4,
           "Volume                   EstimateSize(MB)\n"
           "0x3@ss                   2               \n"
           "0x4@ss                   ----------------\n",
           "");
}

TEST_F(SkzpProgramSim, SdpInfoOverBothRoads) {
    for (const auto &road : kRoads) {
        SCOPED_TRACE(road[0]);
        sim.setArray(road[1], "pool=1000000 poolused=500");
        Expect({"sdpinfo", At("0x1", road[0])}, 0,
               "SDP total size(KB)     Used SDP(Host)(KB)     Used SDP(Copy)(KB)     "
               "SDP(Encryption) total size(KB)  Used SDP(Encryption)(Host)(KB)  "
               "Used SDP(Encryption)(Copy)(KB)\n"
               "500000.0               250.0                  0.0                    0.0                             "
               "0.0                             0.0                  \n",
               "");
        Expect({"sdpinfo", "-csv", At("0x1", road[0])}, 0,
               "\"SDP total size(KB)\",\"Used SDP(Host)(KB)\",\"Used SDP(Copy)(KB)\","
               "\"SDP(Encryption) total size(KB)\",\"Used SDP(Encryption)(Host)(KB)\","
               "\"Used SDP(Encryption)(Copy)(KB)\"\n\"500000.0\",\"250.0\",\"0.0\",\"0.0\",\"0.0\",\"0.0\"\n",
               "");
    }
}

class SkzpRestoreSim : public kzptest::CmdKzp {
protected:
    SkzpRestoreSim()
        : CmdKzp("session 1 snapkzp+ S1 1 S1 5 size=4096 copied=60\n"
                 "session 1 snapkzp+ T1 1 T1 5 size=4096 copied=60\n") {}
};

TEST_F(SkzpRestoreSim, RestoreOverBothRoads) {
    for (const auto &road : kRoads) {
        SCOPED_TRACE(road[0]);
        const ProgramResult r = Skzp({"restore", At("0x1", road[0]), At("0x5", road[0])});
        EXPECT_EQ(r.iExit, 0) << r.sErr;
        EXPECT_EQ(r.sOut, "");
        EXPECT_EQ(r.sErr, "");
    }
    // A pair without a SnapKZP+ session: the library's message, exit 4.
    const ProgramResult r = Skzp({"restore", "-gf", GroupFileLines({"0x2@ss 0x6@ss"})});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "");
    EXPECT_NE(r.sErr, "");
}

// Two generations of volume 1 on the in-band array.
class SkzpGenerationsSim : public kzptest::CmdKzp {
protected:
    SkzpGenerationsSim()
        : CmdKzp("session 1 snapkzp+ S1 1 S1 5 size=4096 copied=60\n"
                 "session 2 snapkzp+ S1 1 S1 6 size=4096 copied=60\n") {}
};

// The forced stop sizes its generation list by the maximum generation count
// the volume information gave; an array whose generation page then names
// more generations than that (a hostile array: the first two pages of the
// volume information say one) is refused before a slot is written, and
// nothing is stopped.
TEST_F(SkzpGenerationsSim, ForcedStopKeepsToTheGenerationsItSizedFor) {
    sim.corrupt(0x45, 14, "0001", 2);
    const ProgramResult r = Skzp({"stop", "-f", "0x1@ss", "0x6@ss"});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "");
    EXPECT_EQ(r.sErr, "ZRKC1204 ERROR SCSI error detected. Error=(unexpected error).\n");
    EXPECT_EQ(Kind(Session("S1", "S1:1>S1:5")), "snapkzp+");
    EXPECT_EQ(Kind(Session("S1", "S1:1>S1:6")), "snapkzp+");
    // As the array says: both go.
    const ProgramResult ok = Skzp({"stop", "-f", "0x1@ss", "0x6@ss"});
    EXPECT_EQ(ok.iExit, 0) << ok.sErr;
}

// The printers of the result records read no entry past the area they are
// given, whatever count the record claims, and no record shorter than its size.
TEST(SkzpOutput, RecordsAreReadOnlyAsFarAsTheirArea) {
    std::vector<unsigned char> sdv(offsetof(SdvStatusList, taEntry) + sizeof(SdvStatusEntry), 0);
    auto *list = reinterpret_cast<SdvStatusList *>(sdv.data());
    list->uiCount = 1000;
    std::strcpy(list->taEntry[0].caVolume, "v0");
    zrktest::Capture text;
    zrkcli::PrintSdvStatusList(static_cast<int>(sdv.size()), sdv.data(),
                               zrktest::Param(zrkcli::kFuncSdvInfo, 0, zrkcli::kOpt2Csv), ReturnInfo{},
                               text.out());
    EXPECT_EQ(text.Stdout(), "\"Volume\",\"Status\",\"LogicalSize(KB)\",\"PhysicalSize(KB)\",\"UsedSDV(Host)(KB)\","
                             "\"UsedSDV(Copy)(KB)\",\"UsedSDP(Host)(KB)\",\"UsedSDP(Copy)(KB)\"\n"
                             "\"v0\",\"Normal\",\"0.0\",\"0.0\",\"0.0\",\"0.0\",\"0.0\",\"0.0\"\n");

    std::vector<unsigned char> estimate(offsetof(EstimateList, taEntry) + sizeof(EstimateEntry) - 1, 0);
    reinterpret_cast<EstimateList *>(estimate.data())->uiCount = 1;
    zrktest::Capture none;
    zrkcli::PrintEstimateList(static_cast<int>(estimate.size()), estimate.data(),
                              zrktest::Param(zrkcli::kFuncEstimate), ReturnInfo{}, none.out());
    EXPECT_EQ(none.Stdout(), "Volume                   EstimateSize(MB)\n");

    const SdpInfo pool{2048, 2, 4, 6, 8, 10};
    zrktest::Capture shortPool;
    zrkcli::PrintSdpInfoRecord(sizeof(pool) - 1, &pool, zrktest::Param(zrkcli::kFuncSdpInfo, 0, zrkcli::kOpt2Csv),
                               ReturnInfo{}, shortPool.out());
    EXPECT_EQ(shortPool.Stdout().substr(shortPool.Stdout().find('\n') + 1),
              "\"0.0\",\"0.0\",\"0.0\",\"0.0\",\"0.0\",\"0.0\"\n");
}

}  // namespace
