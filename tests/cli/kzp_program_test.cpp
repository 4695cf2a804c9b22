// zrkckzp and zrkcqkzp end to end: the real programs in a child process
// against the simulator; standard output, standard error and the exit code,
// byte for byte. The refusals of the command line in the order the programs
// check them, starts and stops over the in-band road ("sa") and the LAN road
// ("lb"), group files (ZRKC1804) and session-list files (ZRKC1834).
#include "cmd_kzp_support.h"
#include "program_support.h"

#include <string>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

const std::string kKzpUsage =
    "Usage : zrkckzp start              src_volume trg_volume |\n"
    "        zrkckzp start [-c]     -gf group_file            |\n"
    "        zrkckzp stop -f [-odx]     src_volume trg_volume |\n"
    "        zrkckzp stop -f [-odx] -gf group_file            |\n";
const std::string kQuickUsage =
    "Usage : zrkcqkzp start          src_volume trg_volume |\n"
    "        zrkcqkzp start [-c] -gf group_file            |\n"
    "        zrkcqkzp stop [-f]      src_volume trg_volume |\n"
    "        zrkcqkzp stop [-f] -gf  group_file            |\n";

// The refusals: no simulator runs, so the library is never reached.
TEST(KzpProgram, CommandLineRefusals) {
    clitest::ExpectRefusals("zrkckzp", kKzpUsage, {
        {{}, "No parameter"},
        {{"sdvinfo", "a"}, "sdvinfo"},                   // another program's subcommand
        {{"start", "a"}, "Volume specification"},
        {{"start", "-sl", "list"}, "Volume specification"},
        {{"stop", "a", "b"}, "-f is necessary"},
        {{"stop", "-gf", "group"}, "-f is necessary"},
        {{"stop", "-csv", "a", "b"}, "-f is necessary"},  // before the permitted options
        {{"start", "-f", "a", "b"}, "Non-permissible option"},
        {{"start", "-c", "a", "b"}, "Non-permissible option"},
        {{"start", "-odx", "-gf", "group"}, "Non-permissible option"},
        {{"stop", "-f", "-nopost", "a", "b"}, "Non-permissible option"},
        {{"stop", "-sl", "list", "-odx"}, "Non-permissible option"},
    });
    clitest::ExpectRefusals("zrkcqkzp", kQuickUsage, {
        {{"restore", "a", "b"}, "restore"},
        {{"stop", "a"}, "Volume specification"},
        {{"stop", "-sl", "list"}, "Volume specification"},
        {{"start", "-vvol", "a", "b"}, "Non-permissible option"},
        {{"start", "-vvol_delete", "-gf", "group"}, "Non-permissible option"},
        {{"stop", "-c", "a", "b"}, "Non-permissible option"},
    });
}

// The arrays of the KZP command tests (volumes 3 and 4 on B1 among them),
// and a VZ session on B1 that a session-list file names by its identifier 7.
class KzpProgramSim : public kzptest::CmdKzp {
protected:
    KzpProgramSim() : CmdKzp("session 7 vz B1 3 B1 4 size=4096\n") {}

    // The kind of the session of the pair ("A1:3>A1:4"), "" if none.
    std::string KindOf(const std::string &array, const std::string &pair) const {
        return Kind(Session(array, pair));
    }
};

// One command line and what it shows.
struct Step {
    const char *pProgram;
    std::vector<std::string> args;
    int iExit;
    std::string sErr;
    const char *pKind;   // the pair's session kind afterwards, "" none
};

TEST_F(KzpProgramSim, StartAndStopOverBothRoads) {
    const char *roads[][2] = {{"sa", "A1"}, {"lb", "B1"}};
    for (const auto &road : roads) {
        const std::string src = std::string("0x1@") + road[0], dst = std::string("0x2@") + road[0];
        const std::string pair = std::string(road[1]) + ":1>" + road[1] + ":2";
        const Step steps[] = {
            {"zrkckzp", {"start", src, dst}, 0, "", "kzp"},
            {"zrkckzp", {"stop", "-f", src, dst}, 0, "", ""},
            {"zrkckzp", {"stop", "-f", src, dst}, 4, "ZRKC1100 ERROR Session does not exist.\n", ""},
            {"zrkcqkzp", {"start", src, dst}, 0, "", "quickkzp"},
            {"zrkcqkzp", {"stop", "-f", src, dst}, 0, "", ""},
            {"zrkcqkzp", {"start", "-vvol_delete", src, dst}, 0, "", "quickkzp"},
            {"zrkcqkzp", {"stop", "-f", src, dst}, 0, "", ""},
        };
        for (const Step &s : steps) {
            std::string line = std::string(s.pProgram) + " ";
            for (const std::string &a : s.args) line += a + " ";
            SCOPED_TRACE(line);
            const ProgramResult r = RunProgram(s.pProgram, s.args);
            EXPECT_EQ(r.iExit, s.iExit);
            EXPECT_EQ(r.sOut, "");
            EXPECT_EQ(r.sErr, s.sErr);
            EXPECT_EQ(KindOf(road[1], pair), s.pKind);
        }
    }
}

// Group files with a failed pair: the other pairs are started, the failed
// one gets its ZRKC1804 line, exit 4.
TEST_F(KzpProgramSim, GroupFileWithAFailedPair) {
    // A KZP session on the first pair already.
    ASSERT_EQ(RunProgram("zrkckzp", {"start", "0x3@sa", "0x4@sa"}).iExit, 0);
    ProgramResult r = RunProgram("zrkckzp", {"start", "-gf", GroupFileLines({"0x3@sa 0x4@sa", "0x1@lb 0x2@lb"})});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "");
    EXPECT_EQ(r.sErr, "ZRKC1804 ERROR Error occurred with copy operation described in group file. "
                      "Source=(0x3@sa). Target=(0x4@sa). Error message=(ZRKC1004 ERROR Maximum session reached.).\n");
    EXPECT_EQ(KindOf("B1", "B1:1>B1:2"), "kzp");
    r = RunProgram("zrkckzp", {"stop", "-f", "-gf", GroupFileLines({"0x3@sa 0x4@sa", "0x1@lb 0x2@lb"})});
    EXPECT_EQ(r.iExit, 0) << r.sErr;
    EXPECT_EQ(KindOf("A1", "A1:3>A1:4"), "");
    EXPECT_EQ(KindOf("B1", "B1:1>B1:2"), "");

    // A QuickKZP session works inside one array.
    r = RunProgram("zrkcqkzp", {"start", "-gf", GroupFileLines({"0x3@sa 0x4@sa", "0x5@sa 0x1@lb", "0x1@lb 0x2@lb"})});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "");
    EXPECT_EQ(r.sErr, "ZRKC1804 ERROR Error occurred with copy operation described in group file. "
                      "Source=(0x5@sa). Target=(0x1@lb). Error message=(ZRKC1202 ERROR Unsupported function.).\n");
    EXPECT_EQ(KindOf("A1", "A1:3>A1:4"), "quickkzp");
    EXPECT_EQ(KindOf("B1", "B1:1>B1:2"), "quickkzp");
}

// A session-list stop needs no -f; a failed identifier gets its ZRKC1834
// line, exit 4, while the others are stopped.
TEST_F(KzpProgramSim, SessionListStop) {
    const std::string list = GroupFile("7\n99\n");
    // Without -f the library is called all the same: it asks the array to
    // end the tracking, which a VZ session refuses.
    ProgramResult r = RunProgram("zrkckzp", {"stop", "-sl", list, "-p", "lb"});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sErr.rfind("ZRKC1834 ERROR Error occurred with copy operation described in session list file. "
                           "Session ID=(7) Error message=(", 0),
              0u)
        << r.sErr;
    EXPECT_EQ(KindOf("B1", "B1:3>B1:4"), "vz");
    r = RunProgram("zrkckzp", {"stop", "-sl", list, "-f", "-p", "lb"});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "");
    EXPECT_EQ(r.sErr,
              "ZRKC1834 ERROR Error occurred with copy operation described in session list file. "
              "Session ID=(99) Error message=(ZRKC2031 ERROR A copy path error occurred.).\n");
    EXPECT_EQ(KindOf("B1", "B1:3>B1:4"), "");
}

// A library error: its message as it stands, exit 4.
TEST_F(KzpProgramSim, LibraryErrorExitsWithFour) {
    const ProgramResult r = RunProgram("zrkcqkzp", {"start", "0x7@nc", "0x8@nc"});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "");
    EXPECT_EQ(r.sErr, "ZRKC1600 ERROR VASTREL is not registered on VASTREL management file.\n");
}

}  // namespace
