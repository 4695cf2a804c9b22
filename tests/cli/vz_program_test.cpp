// zrkcvz end to end: the real program in a child process against the
// simulator and a temporary install root; standard output, standard error
// and the exit code, byte for byte. Refusals of the command line, each
// subcommand over the in-band road ("sa") and the LAN road ("lb"), the
// suspend-status table, group files and session-list files.
#include "program_support.h"

#include <iterator>
#include <string>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

const std::string kUsage =
    "Usage : zrkcvz start                                                   [-rwp] [-skip] [-p Alias]     src_volume trg_volume |\n"
    "        zrkcvz start         [-sy | -st | -cs] [-as | -ms] [-ar | -mr] [-rwp] [-skip] [-p Alias]     src_volume trg_volume |\n"
    "        zrkcvz start         [-sy | -st | -cs] [-as | -ms] [-ar | -mr] [-rwp] [-skip] [-p Alias] -gf group_file            |\n"
    "        zrkcvz stop          [-f] [-back] [-p Alias]                                                 src_volume trg_volume |\n"
    "        zrkcvz stop          [-f] [-back] [-p Alias] -gf                                             group_file            |\n"
    "        zrkcvz suspend       [-f | -c] [-back] [-p Alias]                                            src_volume trg_volume |\n"
    "        zrkcvz suspend       [-f | -c] [-back] [-p Alias] -gf                                        group_file            |\n"
    "        zrkcvz suspend       [-back] [-c] -ct count -iv interval [-p Alias]                          src_volume trg_volume |\n"
    "        zrkcvz suspend       [-back] [-c] -ct count -iv interval [-p Alias] -gf                      group_file            |\n"
    "        zrkcvz suspend       -stacktimer [-back] [-p Alias]                                          src_volume trg_volume |\n"
    "        zrkcvz suspend       -stacktimer [-back] [-p Alias]                                      -gf group_file            |\n"
    "        zrkcvz resume        [-back] [-rcv [-sy | -st | -cs]] [-remain] [-p Alias]                   src_volume trg_volume |\n"
    "        zrkcvz resume        [-back] [-rcv [-sy | -st | -cs]] [-remain] [-p Alias] -gf               group_file            |\n"
    "        zrkcvz reverse       [-back] [-p Alias]                                                      src_volume trg_volume |\n"
    "        zrkcvz reverse       [-back] [-p Alias] -gf                                                  group_file            |\n"
    "        zrkcvz suspendstatus [-back] [-csv]                                               src_volume trg_volume |\n"
    "        zrkcvz suspendstatus [-back] [-csv] -gf                                           group_file            |\n";

ProgramResult Vz(const std::vector<std::string> &args) { return RunProgram("zrkcvz", args); }

// Every refusal of the command line: the ZRKC0100 line, the usage text,
// exit 2, nothing on standard output. The library is never reached (no
// simulator runs here).
TEST(VzProgram, CommandLineRefusals) {
    clitest::ExpectRefusals("zrkcvz", kUsage, {
        {{}, "No parameter"},
        {{"bogus", "a", "b"}, "bogus"},
        {{"query", "a", "b"}, "query"},                         // a subcommand of another program
        {{"start", "-sy", "-sync", "a", "b"}, "-sync"},         // parser: the second spelling
        {{"suspend", "-ct", "4294967296", "-iv", "1", "a", "b"}, "-ct"}, // does not fit 32 bits
        {{"start", "a"}, "Volume specification"},
        {{"stop", "-sl", "list"}, "Volume specification"},
        {{"chmod", "-gf", "group"}, "Volume specification"},
        {{"suspendstatus", "-sl", "list"}, "Volume specification"},
        {{"start", "-through", "a", "b"}, "Non-permissible option"},
        {{"start", "-f", "a", "b"}, "Non-permissible option"},
        {{"stop", "-csv", "a", "b"}, "Non-permissible option"},
        {{"suspend", "-remain", "a", "b"}, "Non-permissible option"},
        {{"suspend", "-sl", "list", "-c"}, "Non-permissible option"},
        {{"resume", "-sl", "list", "-back"}, "Non-permissible option"},
        {{"reverse", "-f", "a", "b"}, "Non-permissible option"},
        {{"chmod", "-sl", "list", "-remote_vz", "-st", "-ar"}, "Non-permissible option"},
        {{"suspendstatus", "-p", "sa", "a", "b"}, "Non-permissible option"},
        {{"start", "-stack", "-ms", "a", "b"}, "option error"},
        {{"start", "-as", "a", "b"}, "option error"},
        {{"start", "-sync", "-cs", "a", "b"}, "option error"},
        {{"resume", "-sync", "a", "b"}, "option error"},
        {{"resume", "-rcv", "-sync", "-stack", "a", "b"}, "option error"},
        {{"chmod", "-sync", "-mr", "a", "b"}, "option error"},
        {{"chmod", "-through", "a", "b"}, "option error"},
        {{"suspend", "-f", "-c", "a", "b"}, "-f"},
        {{"suspend", "-f", "-ct", "1", "-iv", "1", "a", "b"}, "-f"},
        {{"suspend", "-ct", "10", "a", "b"}, "-count -interval"},
        {{"suspend", "-iv", "10", "-gf", "group"}, "-count -interval"},
        {{"suspend", "-notrans", "a", "b"}, "-notrans -c"},
        {{"suspend", "-stacktimer", "-c", "a", "b"}, "-stacktimer"},
        {{"suspend", "-stacktimer", "-ct", "1", "-iv", "1", "a", "b"}, "-stacktimer"},
        {{"suspend", "-stacktimer", "-f", "a", "b"}, "-stacktimer"},
    });
}

// One step of a session's life: the command line, the seconds the array
// clock runs before it, and what the program and the array show after it.
struct Step {
    std::vector<std::string> args;
    unsigned uiClock;
    int iExit;
    std::string sOut, sErr;
    const char *pStatus;   // the session's status afterwards (2 active, 4 suspended)
};

// Sessions already there: a VZ pair on array A1 (/dev/sdb to /dev/sdc) and
// one on B1 that a session-list file names by its identifier 7.
class VzProgramSim : public clitest::ProgramSim {
protected:
    VzProgramSim()
        : ProgramSim("volume B1 3 4096\n"
                     "volume B1 4 4096\n"
                     "session 1 vz A1 1 A1 2 size=4096\n"
                     "session 7 vz B1 3 B1 4 size=4096\n") {}

    // The status field of the session between the two volumes
    // ("A1 3 A1 4"), "gone" when there is none.
    std::string Status(const std::string &pair) const {
        for (const std::string &line : sim.sessions()) {
            if (line.find(" " + pair + " ") != std::string::npos) return iptest::SessionField(line, "status");
        }
        return "gone";
    }

    // A group or session-list file of the text, a new one each time.
    std::string File(const std::string &text) {
        const std::string path = root.path("list" + std::to_string(++iFiles) + ".txt");
        root.write(path.substr(root.root().size() + 1), text);
        return path;
    }
    int iFiles = 0;

    // Runs the steps; pair and reversed name the session both ways round.
    void Walk(const std::vector<Step> &steps, const std::string &pair, const std::string &reversed) {
        for (const Step &s : steps) {
            std::string line;
            for (const std::string &a : s.args) line += a + " ";
            SCOPED_TRACE(line);
            if (s.uiClock != 0) sim.advanceClock(s.uiClock);
            const ProgramResult r = RunProgram("zrkcvz", s.args);
            EXPECT_EQ(r.iExit, s.iExit);
            EXPECT_EQ(r.sOut, s.sOut);
            EXPECT_EQ(r.sErr, s.sErr);
            const std::string status = Status(pair);
            EXPECT_EQ(status == "gone" ? Status(reversed) : status, s.pStatus);
        }
    }
};

// The suspend-status table of one VZ pair: its heading, and its row in a
// status.
const std::string kStatusTable =
    "GroupStatus:Normal   MaxRemainingTime(s):0         \n"
    "CopyKind  Source                        Target                        Status        CmdStatus  RemainingTime(s)\n";
std::string StatusRow(const std::string &src, const std::string &dst, const char *status) {
    char text[256];
    std::snprintf(text, sizeof text, "VZ        %-28s  %-28s  %-12s  Default    0         \n", src.c_str(),
                  dst.c_str(), status);
    return text;
}

std::vector<Step> VzLife(const std::string &src, const std::string &dst) {
    const std::string &table = kStatusTable;
    auto row = [&](const char *status) { return StatusRow(src, dst, status); };
    return {
        {{"start", src, dst}, 0, 0, "", "", "2"},
        {{"suspendstatus", src, dst}, 600, 0, table + row("Active"), "", "2"},
        {{"suspend", src, dst}, 0, 0, "", "", "4"},
        {{"suspendstatus", "-csv", src, dst}, 0, 0,
         "\"GroupStatus\",\"MaxRemainingTime(s)\",\"CopyKind\",\"Source\",\"Target\",\"Status\","
         "\"CmdStatus\",\"RemainingTime(s)\"\n"
         "\"Normal\",\"0\",\"VZ\",\"" + src + "\",\"" + dst + "\",\"Suspend\",\"Default\",\"0\"\n",
         "", "4"},
        {{"reverse", src, dst}, 0, 0, "", "", "4"},
        {{"resume", "-back", src, dst}, 0, 0, "", "", "2"},
        {{"suspend", "-back", "-ct", "2", "-iv", "1", src, dst}, 600, 0, "", "", "4"},
        {{"reverse", "-back", src, dst}, 0, 0, "", "", "4"},
        {{"resume", src, dst}, 0, 0, "", "", "2"},
        {{"stop", src, dst}, 0, 0, "", "", "gone"},
        {{"stop", src, dst}, 0, 4, "", "ZRKC1100 ERROR Session does not exist.\n", "gone"},
    };
}

// Whole-volume sessions (the array reports them with the whole-volume flag
// and no size), on both roads: the suspend and the suspend status find them
// through the alias form, as the array lists them under the volume.
std::vector<Step> WholeVolumeLife(const std::string &src, const std::string &dst) {
    const std::string &table = kStatusTable;
    auto row = [&](const char *status) { return StatusRow(src, dst, status); };
    return {
        {{"suspendstatus", src, dst}, 0, 0, table + row("Active"), "", "2"},
        {{"suspend", src, dst}, 0, 0, "", "", "4"},
        {{"suspendstatus", src, dst}, 0, 0, table + row("Suspend"), "", "4"},
    };
}

TEST_F(VzProgramSim, WholeVolumeSessionOverBothRoads) {
    sim.addSession("11 vz A1 7 A1 8");
    sim.addSession("12 vz B1 1 B1 2");
    Walk(WholeVolumeLife("0x7@sa", "0x8@sa"), "A1 7 A1 8", "A1 8 A1 7");
    Walk(WholeVolumeLife("0x1@lb", "0x2@lb"), "B1 1 B1 2", "B1 2 B1 1");
    for (const char *alias : {"sa", "lb"}) {
        const std::string volume = std::string(alias[0] == 's' ? "0x7@" : "0x1@") + alias;
        const ProgramResult r = RunProgram("zrkccopy", {"query", "-b", volume});
        EXPECT_EQ(r.iExit, 0);
        EXPECT_NE(r.sOut.find("Suspend"), std::string::npos) << r.sOut;
    }
}

TEST_F(VzProgramSim, VzSessionLifeInBand) { Walk(VzLife("0x3@sa", "0x4@sa"), "A1 3 A1 4", "A1 4 A1 3"); }

TEST_F(VzProgramSim, VzSessionLifeOverTheLan) { Walk(VzLife("0x1@lb", "0x2@lb"), "B1 1 B1 2", "B1 2 B1 1"); }

// An RVZ pair from array A1 (in-band) to B1 (LAN): the remote modes.
TEST_F(VzProgramSim, RvzSessionLife) {
    const std::string src = "0x5@sa", dst = "0x1@lb";
    const std::vector<Step> steps = {
        {{"start", "-st", "-mr", src, dst}, 0, 0, "", "", "2"},
        {{"suspend", "-f", src, dst}, 600, 0, "", "", "4"},
        {{"chmod", "-cs", "-ar", src, dst}, 0, 0, "", "", "4"},
        {{"suspendstatus", src, dst}, 0, 0,
         "GroupStatus:Normal   MaxRemainingTime(s):0         \n"
         "CopyKind  Source                        Target                        Status        CmdStatus  RemainingTime(s)\n"
         "RVZ       0x5@sa                        0x1@lb                        Suspend       Default    0         \n",
         "", "4"},
        {{"resume", src, dst}, 0, 0, "", "", "2"},
        {{"resume", "-rcv", "-st", src, dst}, 0, 4,
         "", "ZRKC1017 ERROR The option that cannot be used for copy session is specified.\n", "2"},
        {{"stop", "-f", "-p", "lb", src, dst}, 0, 0, "", "", "gone"},
    };
    Walk(steps, "A1 5 B1 1", "B1 1 A1 5");
}

// Group files: the per-pair area the library asks for is supplied and the
// call made again; a failed line gets its ZRKC1804 line and exit 4 while the
// other lines are done; the suspend-status table shows every line, missing
// sessions as placeholder rows.
TEST_F(VzProgramSim, GroupFiles) {
    ASSERT_EQ(Vz({"start", "-st", "0x5@sa", "0x1@lb"}).iExit, 0);
    const std::string both = File("0x5@sa 0x1@lb\n0x3@sa 0x4@sa\n");
    const std::string header =
        "CopyKind  Source                        Target                        Status        CmdStatus  RemainingTime(s)\n";
    const std::string activeRow =
        "VZ        0x3@sa                        0x4@sa                        Active        Default    0         \n";
    const std::string missing = File("0x3@sa 0x4@sa\n0x7@sa 0x8@sa\n");
    const Step steps[] = {
        {{"start", "-sy", "-gf", both}, 0, 4, "",
         "ZRKC1804 ERROR Error occurred with copy operation described in group file. Source=(0x5@sa). "
         "Target=(0x1@lb). Error message=(ZRKC1050 ERROR VZ copy has already started in another mode.).\n",
         "2"},
        {{"suspendstatus", "-gf", both}, 0, 0,
         "GroupStatus:Normal   MaxRemainingTime(s):0         \n" + header +
         "RVZ       0x5@sa                        0x1@lb                        Active        Default    0         \n" +
         activeRow, "", "2"},
        {{"suspendstatus", "-gf", missing}, 0, 0,
         "GroupStatus:Error    MaxRemainingTime(s):----------\n" + header + activeRow +
         "--------  0x7@sa                        0x8@sa                        ------------  ---------  ----------\n",
         "", "2"},
        {{"suspendstatus", "-csv", "-gf", missing}, 0, 0,
         "\"GroupStatus\",\"MaxRemainingTime(s)\",\"CopyKind\",\"Source\",\"Target\",\"Status\",\"CmdStatus\","
         "\"RemainingTime(s)\"\n"
         "\"Error\",\"----------\",\"VZ\",\"0x3@sa\",\"0x4@sa\",\"Active\",\"Default\",\"0\"\n"
         "\"Error\",\"----------\",\"--------\",\"0x7@sa\",\"0x8@sa\",\"------------\",\"---------\",\"----------\"\n",
         "", "2"},
        {{"suspend", "-gf", File("0x3@sa 0x4@sa\n")}, 600, 0, "", "", "4"},
        {{"stop", "-gf", File("0x3@sa 0x4@sa\n")}, 0, 0, "", "", "gone"},
    };
    Walk(std::vector<Step>(std::begin(steps), std::end(steps)), "A1 3 A1 4", "A1 4 A1 3");
}

// Session-list files go through the LAN alias: one ZRKC1834 line per
// identifier that failed, exit 4; the CLI type follows the subcommand and
// -remote_vz.
TEST_F(VzProgramSim, SessionListFiles) {
    const Step steps[] = {
        {{"suspend", "-sl", File("7\n99\n"), "-p", "lb"}, 0, 4, "",
         "ZRKC1834 ERROR Error occurred with copy operation described in session list file. "
         "Session ID=(99) Error message=(ZRKC2031 ERROR A copy path error occurred.).\n",
         "4"},
        {{"reverse", "-sl", File("7\n"), "-remote_vz", "-p", "lb"}, 0, 0, "", "", "4"},
        {{"resume", "-sl", File("7\n"), "-p", "lb"}, 0, 0, "", "", "2"},
    };
    Walk(std::vector<Step>(std::begin(steps), std::end(steps)), "B1 3 B1 4", "B1 4 B1 3");
}

// The command each session-list run sends: the subcommand and -remote_vz
// choose the CLI type.
TEST_F(VzProgramSim, SessionListCommandTypes) {
    struct Case {
        std::vector<std::string> options;
        const char *pHead;
    };
    const Case cases[] = {
        {{"suspend"}, "suspend copy-vz"},
        {{"suspend", "-remote_vz"}, "suspend copy-rvz"},
        {{"resume"}, "resume copy-vz"},
        {{"resume", "-remote_vz", "-remain"}, "resume copy-rvz"},
        {{"reverse"}, "change copy-vz"},
        {{"reverse", "-remote_vz"}, "change copy-rvz"},
        {{"chmod", "-st", "-ar"}, "change copy-rvz"},
    };
    const std::string list = File("7\n");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pHead);
        iptest::LanCommands(sim);
        std::vector<std::string> args = c.options;
        for (const char *a : {"-sl", list.c_str(), "-p", "lb"}) args.emplace_back(a);
        Vz(args);
        bool sent = false;
        for (const std::string &command : iptest::LanSessionCommands(sim)) {
            sent = sent || command.rfind(c.pHead, 0) == 0;
        }
        EXPECT_TRUE(sent);
    }
}

// A concurrent suspend that the array accepted but was not seen done: the
// library's warning on standard error, exit 1.
TEST_F(VzProgramSim, WarningExitsWithOne) {
    sim.corrupt(0x43, 16 + 11, "01", 1, 3);
    const ProgramResult r = Vz({"suspend", "-c", "/dev/sdb", "/dev/sdc"});
    EXPECT_EQ(r.iExit, 1);
    EXPECT_EQ(r.sOut, "");
    EXPECT_EQ(r.sErr, "ZRKC1301 WARNING The operation was accepted.\n");
}

// A library error: its message as it stands, exit 4.
TEST_F(VzProgramSim, LibraryErrorExitsWithFour) {
    const ProgramResult r = Vz({"start", "0x7@nc", "0x8@nc"});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "");
    EXPECT_EQ(r.sErr, "ZRKC1600 ERROR VASTREL is not registered on VASTREL management file.\n");
}

}  // namespace

namespace {

// A group line refused through its own entry (its session is not a VZ
// session): the table is still printed, the refused line is reported, and
// the exit code is 4.
TEST_F(VzProgramSim, SuspendStatusOfAGroupWithARefusedLine) {
    sim.addSession("9 kzp A1 7 A1 8 size=4096");
    const std::string group = File("0x1@sa 0x2@sa\n0x7@sa 0x8@sa\n");
    const ProgramResult r = RunProgram("zrkcvz", {"suspendstatus", "-gf", group});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "GroupStatus:Error    MaxRemainingTime(s):----------\n"
                      "CopyKind  Source                        Target                        Status        "
                      "CmdStatus  RemainingTime(s)\n" +
                          StatusRow("0x1@sa", "0x2@sa", "Active"));
    EXPECT_EQ(r.sErr, "ZRKC1804 ERROR Error occurred with copy operation described in group file. "
                      "Source=(0x7@sa). Target=(0x8@sa). Error message=(ZRKC1019 ERROR The copy session "
                      "other than VZ or RVZ was specified.).\n");
}

} // namespace

namespace {

// The option word zrkcvz hands the library for every row of its start and
// chmod mode tables, read from the command layer's start line in the trace
// (each run names its own operands, so its line is found among the others).
TEST_F(VzProgramSim, ModeTablesGiveTheirOptionWords) {
    struct Case {
        std::vector<std::string> args; // options, then the operands follow
        const char *pFunction;
        uint32_t uiWord;
    };
    const Case cases[] = {
        {{"start"}, "zrkc_start_vz", 0x4000000},
        {{"start", "-sync"}, "zrkc_start_vz", 0x220},
        {{"start", "-sync", "-automaticsplit"}, "zrkc_start_vz", 0x320},
        {{"start", "-sync", "-manualsplit"}, "zrkc_start_vz", 0x220},
        {{"start", "-sync", "-automaticrecovery"}, "zrkc_start_vz", 0x020},
        {{"start", "-sync", "-automaticsplit", "-automaticrecovery"}, "zrkc_start_vz", 0x120},
        {{"start", "-sync", "-manualsplit", "-automaticrecovery"}, "zrkc_start_vz", 0x020},
        {{"start", "-sync", "-manualrecovery"}, "zrkc_start_vz", 0x220},
        {{"start", "-sync", "-automaticsplit", "-manualrecovery"}, "zrkc_start_vz", 0x320},
        {{"start", "-sync", "-manualsplit", "-manualrecovery"}, "zrkc_start_vz", 0x220},
        {{"start", "-stack"}, "zrkc_start_vz", 0x400},
        {{"start", "-stack", "-automaticrecovery"}, "zrkc_start_vz", 0x400},
        {{"start", "-stack", "-manualrecovery"}, "zrkc_start_vz", 0x600},
        {{"start", "-consistency"}, "zrkc_start_vz", 0xA00},
        {{"start", "-consistency", "-manualrecovery"}, "zrkc_start_vz", 0xA00},
        {{"start", "-consistency", "-automaticrecovery"}, "zrkc_start_vz", 0x800},
        // The bits added to a row's word.
        {{"start", "-stack", "-rwp", "-skip", "-p", "sa"}, "zrkc_start_vz", 0x820440},
        {{"chmod", "-sync", "-manualsplit", "-manualrecovery"}, "zrkc_change_vz", 0x220},
        {{"chmod", "-sync", "-manualsplit", "-automaticrecovery"}, "zrkc_change_vz", 0x020},
        {{"chmod", "-sync", "-automaticsplit", "-manualrecovery"}, "zrkc_change_vz", 0x320},
        {{"chmod", "-sync", "-automaticsplit", "-automaticrecovery"}, "zrkc_change_vz", 0x120},
        {{"chmod", "-stack", "-automaticrecovery"}, "zrkc_change_vz", 0x400},
        {{"chmod", "-stack", "-manualrecovery"}, "zrkc_change_vz", 0x600},
        {{"chmod", "-consistency", "-manualrecovery"}, "zrkc_change_vz", 0xA00},
        {{"chmod", "-consistency", "-automaticrecovery"}, "zrkc_change_vz", 0x800},
        {{"chmod", "-through", "-automaticrecovery"}, "zrkc_change_vz", 0x000},
        {{"chmod", "-through", "-manualrecovery"}, "zrkc_change_vz", 0x200},
        {{"chmod", "-through", "-manualrecovery", "-p", "sa"}, "zrkc_change_vz", 0x800200},
    };
    int row = 0;
    for (const Case &c : cases) {
        std::vector<std::string> args = c.args;
        const std::string source = "src" + std::to_string(row), target = "trg" + std::to_string(row);
        ++row;
        SCOPED_TRACE(source);
        args.push_back(source);
        args.push_back(target);
        const ProgramResult r = Vz(args);
        EXPECT_NE(r.iExit, 2) << r.sErr;
        const std::string head = std::string(c.pFunction) + " started. src=" + source + ", dest=" + target + ", opt=";
        const std::string trace = root.traceText();
        const size_t at = trace.find(head);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(std::stoul(trace.substr(at + head.size(), 8), nullptr, 16), c.uiWord);
    }
}

} // namespace
