// zrkccopy query end to end: the real program in a child process against
// the simulator and a temporary install root; standard output, standard
// error and the exit code, byte for byte. The refusals of every subcommand's
// command line, then the copy query of sessions in their states and phases
// over the in-band road ("sa") and the LAN road ("lb").
#include "program_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

const std::string kUsage =
    "Usage : zrkccopy query [-v | -s] [-odx] [-back] [-csv] [-p Alias]          src_volume trg_volume |\n"
    "        zrkccopy query [-v] [-odx] [-back] [-csv] [-p Alias] -gf           group_file            |\n"
    "        zrkccopy query [-v] [-vz | -kzp | -odx] [-b] [-csv]                volume                |\n"
    "        zrkccopy query -g [-csv]                                           volume                |\n"
    "        zrkccopy query -g [-csv] -gf                                       group_file            |\n"
    "        zrkccopy routeset                                                  volume                |\n"
    "        zrkccopy dest [-csv]                                               volume                |\n"
    "        zrkccopy alias -l [-csv]                                                                 |\n"
    "        zrkccopy alias -m id                                               alias_name            |\n"
    "        zrkccopy alias -d id [user_id]                                                           |\n"
    "        zrkccopy copyinhibit -set | -release                               volume                |\n"
    "        zrkccopy copyinhibit -set | -release [-back] -gf                   group_file            |\n"
    "        zrkccopy lunstatus [-b] [-csv]                                     volume                |\n"
    "        zrkccopy lunstatus [-back] [-csv] -gf                              group_file            |\n"
    "        zrkccopy rvzbuff [-v] [-num buffer_id] [-csv]                      volume                |\n"
    "        zrkccopy rvzbuff -m -num buffer_id -send | -recv                   volume                |\n"
    "        zrkccopy iprouteset                                                ip_address user_id    |\n"
    "        zrkccopy iplogin                                                   alias_name            |\n"
    "        zrkccopy iplogout                                                  alias_name            |\n"
    "        zrkccopy copypriority -q [-csv]                                    volume                |\n"
    "        zrkccopy copypriority -local  speed_level                          volume                |\n"
    "        zrkccopy copypriority -direct speed_level        -box remote_boxid volume                |\n"
    "        zrkccopy copypriority -remote multiplicity_level -box remote_boxid volume                |\n";

ProgramResult Copy(const std::vector<std::string> &args, const std::string &input = "") {
    return RunProgram("zrkccopy", args, input);
}

const std::string kBox40(40, 'B');

// Every refusal of the command line: the ZRKC0100 line, the usage text,
// exit 2, nothing on standard output. The library is never reached (no
// simulator runs here).
TEST(CopyProgram, CommandLineRefusals) {
    clitest::ExpectRefusals("zrkccopy", kUsage, {
        {{}, "No parameter"},
        {{"bogus", "a"}, "bogus"},
        {{"start", "a", "b"}, "start"},                          // a subcommand of another program
        {{"query"}, "Volume specification"},
        {{"query", "-sl", "list"}, "Volume specification"},
        {{"query", "-g", "a", "b"}, "Non-permissible option"},
        {{"query", "-b", "-s", "v"}, "Non-permissible option"},
        {{"query", "-tfop", "v"}, "Non-permissible option"},
        {{"query", "-s", "-gf", "g"}, "Non-permissible option"},
        {{"query", "-s", "-v", "a", "b"}, "-s -v"},
        {{"query", "-skzp", "-p", "sa", "a", "b"}, "-skzp -p"},
        {{"query", "-skzp", "-odx", "a", "b"}, "-skzp -odx"},
        {{"query", "-g", "-v", "v"}, "-g"},
        {{"query", "-vz", "-kzp", "v"}, "-vz, -kzp, -odx"},
        {{"query", "-kzp", "-odx", "-b", "v"}, "-vz, -kzp, -odx"},
        {{"query", "-vz", "-skzp", "v"}, "-vz, -skzp"},
        {{"query", "-odx", "-skzp", "-b", "v"}, "-odx, -skzp"},
        {{"query", "-g", "-back", "-gf", "g"}, "-g"},
        {{"query", "-skzp", "-p", "sa", "-gf", "g"}, "-skzp -p"},
        {{"query", "-g", "-p", "sa", "-gf", "g"}, "-g -p"},
        {{"query", "-skzp", "-odx", "-gf", "g"}, "-skzp -odx"},
        {{"query", "-g", "-odx", "-gf", "g"}, "-g -odx"},
        {{"routeset", "a", "b"}, "Volume specification"},
        {{"routeset", "-csv", "v"}, "Non-permissible option"},
        {{"dest", "-n", "v"}, "Non-permissible option"},
        {{"alias"}, "Invalid option"},
        {{"alias", "-csv"}, "Invalid option"},
        {{"alias", "-l", "v"}, "Volume specification"},
        {{"alias", "-m", "5"}, "Volume specification"},
        {{"alias", "-m", "5x", "name"}, "Invalid ID"},
        {{"alias", "-m", "4294967296", "name"}, "Invalid ID"},
        {{"alias", "-d", "5 "}, "Invalid ID"},
        {{"alias", "-m", " -1", "name"}, "Invalid ID"},  // a negated value wraps beyond 32 bits
        {{"alias", "-m", "+", "name"}, "Invalid ID"},
        {{"alias", "-d", "", "user"}, "Invalid ID"},
        {{"alias", "-d", "5", "-csv"}, "Non-permissible option"},
        {{"alias", "-a", "short"}, "BoxID"},
        {{"alias", "-a", kBox40 + "B"}, "BoxID"},
        {{"copyinhibit", "v"}, "-set, -release"},
        {{"copyinhibit", "-set", "-release", "v"}, "-set, -release"},
        {{"copyinhibit", "-set", "-back", "v"}, "Non-permissible option"},
        {{"lunstatus", "-v", "v"}, "Non-permissible option"},
        {{"lunstatus", "a", "b"}, "Volume specification"},
        {{"rvzbuff", "-m", "-send", "v"}, "option error"},
        {{"rvzbuff", "-m", "-num", "1", "v"}, "option error"},
        {{"rvzbuff", "-m", "-num", "1", "-send", "-recv", "v"}, "-send, -recv"},
        {{"rvzbuff", "-m", "-num", "65536", "-send", "v"}, "-num"},     // not cut to buffer 0
        {{"rvzbuff", "-m", "-num", "65541", "-recv", "v"}, "-num"},     // nor to buffer 5
        {{"rvzbuff", "-m", "-num", "4294967295", "-send", "v"}, "-num"},
        {{"rvzbuff", "-send", "v"}, "Non-permissible option"},
        {{"iprouteset", "10.0.0.6"}, "ip_address and user_id is necessary"},
        {{"iplogin", "a", "b"}, "alias_name"},
        {{"iplogout"}, "alias_name"},
        {{"iplogin", "-csv", "lb"}, "Non-permissible option"},
        {{"copypriority", "v"}, "-q, -local, -direct, -remote"},
        {{"copypriority", "-q", "-local", "auto", "v"}, "-q, -local, -direct, -remote"},
        {{"copypriority", "-q", "-box", kBox40, "v"}, "-q, -box"},
        {{"copypriority", "-local", "low", "-remote", "2", "v"}, "-local, -direct, -remote"},
        {{"copypriority", "-local", "high", "-csv", "v"}, "-local, -box , -csv"},
        {{"copypriority", "-direct", "1", "-remote", "2", "-box", kBox40, "v"}, "-direct, -remote"},
        {{"copypriority", "-direct", "10", "v"}, "-direct, -box"},
        {{"copypriority", "-direct", "10", "-box", kBox40, "-csv", "v"}, "-direct, -csv"},
        {{"copypriority", "-remote", "3", "v"}, "-remote, -box"},
        {{"copypriority", "-remote", "3", "-box", kBox40, "-csv", "v"}, "-remote, -csv"},
        {{"copypriority", "-q", "-b", "v"}, "Volume specification"},
    });
}

// Sessions already there: a VZ pair copying on array A1 (in-band, "sa"), a
// suspended VZ pair beside it, and a KZP pair in error suspend on B1 (LAN,
// "lb") that started 100 seconds into the array clock.
class CopyQuerySim : public clitest::ProgramSim {
protected:
    CopyQuerySim()
        : ProgramSim("session 1 vz A1 3 A1 4 status=active phase=copying copied=1024 size=4096\n"
                     "session 2 vz A1 5 A1 7 status=suspend phase=equivalent copied=4096 size=4096\n"
                     "session 4 kzp B1 1 B1 2 status=errorsuspend phase=copying copied=100 size=4096 "
                     "start=100\n") {}

    // A group file of the text, a new one each time.
    std::string File(const std::string &text) {
        const std::string path = root.path("group" + std::to_string(++iFiles) + ".txt");
        root.write(path.substr(root.root().size() + 1), text);
        return path;
    }
    int iFiles = 0;
};

// One run of the program and what it must show.
struct Expect {
    std::vector<std::string> args;
    int iExit;
    std::string sOut, sErr;
};

void Check(const std::vector<Expect> &runs) {
    for (const Expect &e : runs) {
        std::string line;
        for (const std::string &a : e.args) line += a + " ";
        SCOPED_TRACE(line);
        const ProgramResult r = Copy(e.args);
        EXPECT_EQ(r.iExit, e.iExit);
        EXPECT_EQ(r.sOut, e.sOut);
        EXPECT_EQ(r.sErr, e.sErr);
    }
}

const std::string kHeader =
    "CopyKind  Source                        Target                        Progress  Status         Phase             ElapsedTime\n";
const std::string kCsvHeader = "\"CopyKind\",\"Source\",\"Target\",\"Progress\",\"Status\",\"Phase\",\"ElapsedTime\"\n";

// Pairs and volumes over both roads, text and CSV; the copying session
// moves on with the array clock to Equivalent, the KZP one shows its
// elapsed time.
TEST_F(CopyQuerySim, PairsAndVolumes) {
    Check({
        {{"query", "0x3@sa", "0x4@sa"}, 0, "CopyKind  Source                        Target                        Progress  Status         Phase             ElapsedTime\nVZ        0x3@sa                        0x4@sa                        25%       Active         Copying           -----     \n", ""},
        {{"query", "-csv", "0x3@sa", "0x4@sa"}, 0, "\"CopyKind\",\"Source\",\"Target\",\"Progress\",\"Status\",\"Phase\",\"ElapsedTime\"\n\"VZ\",\"0x3@sa\",\"0x4@sa\",\"25%\",\"Active\",\"Copying\",\"-----\"\n", ""},
        {{"query", "-b", "0x5@sa"}, 0, "CopyKind  Source                        Target                        Progress  Status         Phase             ElapsedTime\nVZ        0x3:0x0:2048.0@sa             0x4:0x0:2048.0@sa             25%       Active         Copying           -----     \nVZ        0x5:0x0:2048.0@sa             0x7:0x0:2048.0@sa             100%      Suspend        Equivalent        -----     \n", ""},
        {{"query", "-vz", "-csv", "0x5@sa"}, 0, "\"CopyKind\",\"Source\",\"Target\",\"Progress\",\"Status\",\"Phase\",\"ElapsedTime\"\n\"VZ\",\"0x5:0x0:2048.0@sa\",\"0x7:0x0:2048.0@sa\",\"100%\",\"Suspend\",\"Equivalent\",\"-----\"\n", ""},
        {{"query", "0x1@lb", "0x2@lb"}, 0, "CopyKind  Source                        Target                        Progress  Status         Phase             ElapsedTime\nKZP       0x1@lb                        0x2@lb                        2%        ErrorSuspend   -----             0         \n", ""},
        {{"query", "-back", "-csv", "0x2@lb", "0x1@lb"}, 0, "\"CopyKind\",\"Source\",\"Target\",\"Progress\",\"Status\",\"Phase\",\"ElapsedTime\"\n\"KZP\",\"0x1@lb\",\"0x2@lb\",\"2%\",\"ErrorSuspend\",\"-----\",\"0\"\n", ""},
        {{"query", "0x7@nc", "0x8@nc"}, 4, "", "ZRKC1600 ERROR VASTREL is not registered on VASTREL management file.\n"},
    });
    sim.advanceClock(400);
    Check({
        {{"query", "0x3@sa", "0x4@sa"}, 0, "CopyKind  Source                        Target                        Progress  Status         Phase             ElapsedTime\nVZ        0x3@sa                        0x4@sa                        100%      Active         Equivalent        -----     \n", ""},
        {{"query", "-p", "lb", "0x1@lb", "0x2@lb"}, 0, "CopyKind  Source                        Target                        Progress  Status         Phase             ElapsedTime\nKZP       0x1@lb                        0x2@lb                        2%        ErrorSuspend   -----             300       \n", ""},
    });
}

// The extended detail level: the header follows CompatibleVersion.
TEST_F(CopyQuerySim, DetailHeadersFollowTheCompatibleVersion) {
    struct Case {
        const char *pVersion;
        std::string sOut;
    };
    const Case cases[] = {
        {"", "CopyKind  Remote             SourceVolume             TargetVolume             SourceSessionID  TargetSessionID  Progress  Status         Phase             ElapsedTime  CopiedSize(KB)         TotalSize(KB)          ErrorCode  TargetProtection  LicenseInfo  TimeStampInformation  ControlType  SubInfo  TfoInfo  TfoGroupNo\nKZP       -----/-----/-----  0x1@lb                   0x2@lb                   0x4              ------           2%        ErrorSuspend   -----             0            50.0                   2048.0                 0x01       ----              Regular      1970/01/01/00:01:40   SCSI         ----     0x00     ----      \n"},
        {"1.4.2", "CopyKind  Remote             SourceVolume             TargetVolume             SourceSessionID  TargetSessionID  Progress  Status         Phase             ElapsedTime  CopiedSize(KB)         TotalSize(KB)          ErrorCode  TargetProtection\nKZP       -----/-----/-----  0x1@lb                   0x2@lb                   0x4              ------           2%        ErrorSuspend   -----             0            50.0                   2048.0                 0x01       ----            \n"},
        {"1.3.7", "CopyKind  Remote             SourceVolume             TargetVolume             SourceSessionID  TargetSessionID  Progress  Status         Phase             ElapsedTime  CopiedSize(KB)         TotalSize(KB)          ErrorCode\nKZP       -----/-----/-----  0x1@lb                   0x2@lb                   0x4              ------           2%        ErrorSuspend   -----             0            50.0                   2048.0                 0x01\n"},
    };
    std::ifstream in(root.path("etc/zrkc.ini"));
    const std::string properties((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pVersion);
        std::string text = properties;
        const size_t at = text.find("CompatibleVersion=2.0.0");
        ASSERT_NE(at, std::string::npos);
        text.replace(at, 23, std::string("CompatibleVersion=") + c.pVersion);
        root.writeProperties(text);
        Check({{{"query", "-v", "0x1@lb", "0x2@lb"}, 0, c.sOut, ""}});
    }
    Check({{{"query", "-v", "-csv", "0x3@sa", "0x4@sa"}, 0, "\"CopyKind\",\"Remote(TransferMode)\",\"Remote(SplitMode)\",\"Remote(RecoveryMode)\",\"SourceVolume\",\"TargetVolume\",\"SourceSessionID\",\"TargetSessionID\",\"Progress\",\"Status\",\"Phase\",\"ElapsedTime\",\"CopiedSize(KB)\",\"TotalSize(KB)\",\"ErrorCode\",\"TargetProtection\",\"LicenseInfo\",\"TimeStampInformation\",\"ControlType\",\"SubInfo\",\"TfoInfo\",\"TfoGroupNo\"\n\"VZ\",\"-----\",\"-----\",\"-----\",\"0x3@sa\",\"0x4@sa\",\"0x1\",\"------\",\"25%\",\"Active\",\"Copying\",\"-----\",\"512.0\",\"2048.0\",\"0x00\",\"OFF\",\"Regular\",\"1970/01/01/00:00:00\",\"SCSI\",\"----\",\"0x00\",\"----\"\n", ""}});
}

// query -s prints nothing and exits with the state of the session.
TEST_F(CopyQuerySim, StateExitCodes) {
    struct Case {
        const char *pState;
        int iExit;
    };
    const Case cases[] = {
        {"status=active phase=copying", 10},       {"status=active phase=equivalent", 11},
        {"status=active phase=tracking", 12},      {"status=active phase=trackcopy", 13},
        {"status=active phase=readying", 14},      {"status=errorsuspend phase=copying", 23},
        {"status=errorsuspend phase=equivalent", 20}, {"status=errorsuspend phase=tracking", 26},
        {"status=errorsuspend phase=trackcopy", 27}, {"status=errorsuspend phase=readying", 29},
        {"status=suspend phase=copying", 24},      {"status=suspend phase=equivalent", 21},
        {"status=halt phase=copying", 25},         {"status=halt phase=equivalent", 22},
        {"status=active phase=nopair", 5},         {"status=active phase=5", 5},
        {"status=suspend phase=tracking", 5},      {"status=halt phase=readying", 5},
        {"status=errorsuspend phase=nopair", 5},   {"status=9 phase=copying", 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pState);
        sim.commandOk(std::string("setsession A1 2 ") + c.pState);
        const ProgramResult r = Copy({"query", "-s", "0x5@sa", "0x7@sa"});
        EXPECT_EQ(r.iExit, c.iExit);
        EXPECT_EQ(r.sOut, "");
        EXPECT_EQ(r.sErr, c.iExit == 5 ? "ZRKC1201 ERROR Internal inconsistency.\n" : "");
    }
    // A suspend under way wins over every state.
    sim.commandOk("setsession A1 2 status=active phase=equivalent");
    sim.corrupt(0x43, 16 + 160 + 11, "01", 1, 0);   // the second session's entry
    const ProgramResult r = Copy({"query", "-s", "0x5@sa", "0x7@sa"});
    EXPECT_EQ(r.iExit, 28);
    EXPECT_EQ(r.sOut, "");
    // A command that fails: its message, exit 4.
    Check({{{"query", "-s", "0x8@sa", "0x9@sa"}, 4, "", "ZRKC1100 ERROR Session does not exist.\n"}});
}

// Group files over both roads; a line without a session keeps its place as
// a placeholder row; a line that cannot be resolved fails the run.
TEST_F(CopyQuerySim, GroupFiles) {
    const std::string both = File("0x3@sa 0x4@sa\n0x1@lb 0x2@lb\n");
    const std::string idle = File("0x3@sa 0x4@sa\n0x8@sa 0x9@sa\n");
    Check({
        {{"query", "-gf", both}, 0, "CopyKind  Source                        Target                        Progress  Status         Phase             ElapsedTime\nVZ        0x3@sa                        0x4@sa                        25%       Active         Copying           -----     \nKZP       0x1@lb                        0x2@lb                        2%        ErrorSuspend   -----             0         \n", ""},
        {{"query", "-csv", "-gf", both}, 0, "\"CopyKind\",\"Source\",\"Target\",\"Progress\",\"Status\",\"Phase\",\"ElapsedTime\"\n\"VZ\",\"0x3@sa\",\"0x4@sa\",\"25%\",\"Active\",\"Copying\",\"-----\"\n\"KZP\",\"0x1@lb\",\"0x2@lb\",\"2%\",\"ErrorSuspend\",\"-----\",\"0\"\n", ""},
        {{"query", "-gf", idle}, 0,
         kHeader +
         "VZ        0x3@sa                        0x4@sa                        25%       Active         Copying           -----     \n"
         "--------  0x8@sa                        0x9@sa                        ----      -------------  ----------------  ----------\n",
         ""},
        {{"query", "-csv", "-gf", idle}, 0,
         kCsvHeader + "\"VZ\",\"0x3@sa\",\"0x4@sa\",\"25%\",\"Active\",\"Copying\",\"-----\"\n"
         "\"--------\",\"0x8@sa\",\"0x9@sa\",\"----\",\"-------------\",\"----------------\",\"----------\"\n",
         ""},
        {{"query", "-gf", File("0x3@sa 0x4@sa\n0x7@nc 0x8@nc\n")}, 4, "",
         "ZRKC1600 ERROR VASTREL is not registered on VASTREL management file.\n"},
    });
}

// A group query of ten lines over the LAN road opens the alias store and the
// installation file at most twice each in the whole run, as strace sees the
// program's opens.
TEST_F(CopyQuerySim, AGroupQueryOpensTheAliasStoreAndTheInstallationFileAtMostTwice) {
    constexpr const char *kStrace = "/usr/bin/strace";
    if (::access(kStrace, X_OK) != 0) GTEST_SKIP() << "strace is not installed";
    std::string lines, rows;
    for (int i = 0; i < 10; ++i) {
        lines += "0x1@lb 0x2@lb\n";
        rows += "KZP       0x1@lb                        0x2@lb                        2%        ErrorSuspend   -----             0         \n";
    }
    const std::string file = File(lines);
    // The library keeps no reading of an installation file changed in the
    // last 50 ms; the fixture wrote it moments ago.
    struct stat st {};
    ASSERT_EQ(::stat(root.path("bin/.zrkc_install.sys").c_str(), &st), 0);
    const auto changed = std::chrono::system_clock::time_point(
        std::chrono::seconds(st.st_ctim.tv_sec) + std::chrono::nanoseconds(st.st_ctim.tv_nsec));
    std::this_thread::sleep_until(changed + std::chrono::milliseconds(60));
    const std::string log = root.path("strace.log");
    const std::string program = clitest::ProgramPath("zrkccopy");
    // LeakSanitizer cannot run under a tracer: the sanitizer build's
    // program runs without it here (the other program tests check leaks).
    std::vector<std::string> env;
    std::string sanitizer = "ASAN_OPTIONS=detect_leaks=0";
    for (const std::string &e : clitest::ProgramEnvironment()) {
        if (e.rfind("ASAN_OPTIONS=", 0) == 0) {
            sanitizer = e + ":detect_leaks=0";
        } else {
            env.push_back(e);
        }
    }
    env.push_back(sanitizer);
    const zrktest::ChildResult run = zrktest::runChild([&] {
        std::vector<std::string> args{kStrace, "-f", "-qq", "-e", "trace=open,openat,openat2", "-o",
                                      log, "--", program, "query", "-gf", file};
        std::vector<char *> argv, envp;
        for (std::string &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (const std::string &e : env) envp.push_back(const_cast<char *>(e.c_str()));
        envp.push_back(nullptr);
        ::execve(kStrace, argv.data(), envp.data());
        return 127;
    });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, kHeader + rows);
    auto opens = [&](const std::string &name) {
        std::istringstream in(zrktest::readFile(log));
        int n = 0;
        for (std::string line; std::getline(in, line);)
            if (line.find("open") != std::string::npos && line.find("/" + name + "\"") != std::string::npos) ++n;
        return n;
    };
    const int alias = opens(ZRKC_ALIAS_FILE);
    const int install = opens(".zrkc_install.sys");
    EXPECT_GE(alias, 1);
    EXPECT_LE(alias, 2);
    EXPECT_GE(install, 1);
    EXPECT_LE(install, 2);
}

// A group file none of whose lines has a usable session (one idle, one
// reserved): the query counts no item, so only the heading is printed.
TEST_F(CopyQuerySim, GroupFileWithoutAUsableSessionPrintsNoRow) {
    sim.addSession("9 vz A1 8 A1 9 size=4096 status=idle phase=nopair");
    sim.addSession("10 kzp A1 1 A1 2 size=4096 status=reserve");
    const std::string unusable = File("0x8@sa 0x9@sa\n0x1@sa 0x2@sa\n");
    Check({
        {{"query", "-gf", unusable}, 0, kHeader, ""},
        {{"query", "-csv", "-gf", unusable}, 0, kCsvHeader, ""},
    });
}

// Two SnapKZP+ generations of one source: -g lists them oldest first, in
// text and CSV, by volume name or by device.
class CopyGenerationsSim : public clitest::ProgramSim {
protected:
    CopyGenerationsSim()
        : ProgramSim("session 6 snapkzp+ A1 1 A1 2 srcext=0 size=4096 copied=100\n"
                     "session 7 snapkzp+ A1 1 A1 0x1a srcext=0 size=4096 copied=200\n") {}
};

TEST_F(CopyGenerationsSim, Generations) {
    const std::string text =
        "SourceVolume  0x1:0x0:2048.0@sa  EffectiveGenerations  2  \n"
        "Generations  TargetVolume\n"
        "1            0x2:0x0:2048.0@sa      \n"
        "2            0x1a:0x0:2048.0@sa     \n";
    Check({
        {{"query", "-g", "0x1@sa"}, 0, text, ""},
        {{"query", "-g", "/dev/sdb"}, 0, text, ""},
        {{"query", "-g", "-csv", "0x1@sa"}, 0,
         "\"SourceVolume\",\"EffectiveGenerations\",\"Generations\",\"TargetVolume\"\n"
         "\"0x1:0x0:2048.0@sa\",\"2\",\"1\",\"0x2:0x0:2048.0@sa\"\n"
         "\"0x1:0x0:2048.0@sa\",\"2\",\"2\",\"0x1a:0x0:2048.0@sa\"\n",
         ""},
    });
}

}  // namespace

namespace {

// query -s of an Idle or a Reserve session: the pair query finds no usable
// session, so the program prints the command's message and exits 4 (the
// Idle and Reserve rows of the state table are never reached through it).
TEST_F(CopyQuerySim, StateOfIdleAndReserveSessions) {
    for (const char *state : {"status=0 phase=copying", "status=1 phase=equivalent", "status=0 phase=0",
                              "status=1 phase=readying"}) {
        SCOPED_TRACE(state);
        sim.commandOk(std::string("setsession A1 2 ") + state);
        Check({{{"query", "-s", "0x5@sa", "0x7@sa"}, 4, "", "ZRKC1100 ERROR Session does not exist.\n"}});
        // The same with a suspend marked in progress.
        sim.corrupt(0x43, 16 + 160 + 11, "01", 1, 0);
        Check({{{"query", "-s", "0x5@sa", "0x7@sa"}, 4, "", "ZRKC1100 ERROR Session does not exist.\n"}});
    }
}

} // namespace
