// zrkcsetpath end to end: the real program in a child process against a
// temporary installation root; standard output, standard error, the exit
// code and the files it leaves (bytes and modes).
#include "child.h"
#include "install_root.h"
#include "program_support.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace zrktest {
namespace {

const std::string kProgram = std::string(ZRK_CLI_BIN_DIR) + "/zrkcsetpath";

ChildResult RunSetPath(const std::vector<std::string> &args, const std::string &argv0 = kProgram) {
    return clitest::RunProgramAs(kProgram, argv0, args);
}

mode_t ModeOf(const std::string &path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return 0;
    return st.st_mode;
}

class SetPath : public ::testing::Test {
protected:
    void SetUp() override {
        root.writeTraceDefinition(kOldTrace);
        root.write("bin/.zrkc_install.sys", "zrkc_optdir=/old\n");
    }
    std::string InstallFile() const { return root.path("bin/.zrkc_install.sys"); }
    // An invalid command line (case i): its message, exit 1, no file changed.
    void ExpectInvalid(const ChildResult &r, size_t i) const {
        EXPECT_EQ(r.exitCode, 1) << i;
        EXPECT_EQ(r.out, "") << i;
        EXPECT_EQ(r.err, "Invalid Option.\n") << i;
        EXPECT_EQ(readFile(InstallFile()), "zrkc_optdir=/old\n") << i;
        EXPECT_EQ(readFile(TraceFile()), kOldTrace) << i;
    }
    std::string TraceFile() const { return root.path("etc/velkapi_trcdef.ini"); }

    static constexpr const char *kOldTrace =
        "[TRACEDEFINE]\npath=/old/trace\nZRKC=5\n[OTHER]\npath=/second\n pathx=kept\npath =kept too\nlast";
    InstallRoot root;
};

TEST_F(SetPath, WritesBothFiles) {
    ChildResult r = RunSetPath({"-o", root.root(), "-e", root.etc(), "-l", "/new/log"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(InstallFile()), "zrkc_optdir=" + root.root() + "\nzrkc_etcdir=" + root.etc() + "\n");
    EXPECT_EQ(readFile(TraceFile()),
              "path=/new/log\n[TRACEDEFINE]\nZRKC=5\n[OTHER]\n pathx=kept\npath =kept too\nlast");
    EXPECT_EQ(ModeOf(InstallFile()) & 07777, 0644u);
    EXPECT_TRUE(S_ISREG(ModeOf(InstallFile())));
    EXPECT_EQ(ModeOf(TraceFile()) & 022, 0u);
    EXPECT_FALSE(exists(TraceFile() + ".new"));
    EXPECT_FALSE(exists(InstallFile() + ".new"));
}

TEST_F(SetPath, JavaDirectoryAndOptionOrder) {
    ChildResult r = RunSetPath({"-j", "/opt/jre", "-l", "/L", "-e", root.etc(), "-o", root.root(),
                                "-o", root.root()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(InstallFile()), "zrkc_optdir=" + root.root() + "\nzrkc_etcdir=" + root.etc() +
                                       "\nzrkc_jredir=/opt/jre\n");
    EXPECT_EQ(readFile(TraceFile()).substr(0, 8), "path=/L\n");
}

TEST_F(SetPath, InvalidCommandLinesChangeNothing) {
    const std::string o = root.root(), e = root.etc();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-o", o, "-e", e},
        {"-o", o, "-e", e, "-l"},
        {"-o", "-e", e, "-l", "/L"},
        {"-o", o, "-e", e, "-l", "-L"},
        {"-o", o, "-e", e, "-x", "v", "-l", "/L"},
        {"-o", o, "-e", e, "stray", "-l", "/L"},
        {"-o", o, "-e", e, "-l", "/L", "-i"},   // the final -i is a value-less last word: ignored
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        ChildResult r = RunSetPath(cases[i]);
        if (i + 1 == cases.size()) {
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.err, "");
            continue;
        }
        ExpectInvalid(r, i);
    }
}

TEST_F(SetPath, MissingBinDirectoryExitsTwo) {
    const std::string other = makeTempDir();
    ChildResult r = RunSetPath({"-o", other, "-e", root.etc(), "-l", "/L"});
    removeTree(other);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "open error(management file1). errno=2\n");
    EXPECT_EQ(readFile(TraceFile()), kOldTrace);
}

TEST_F(SetPath, MissingTraceDefinitionExitsThree) {
    unlink(TraceFile().c_str());
    ChildResult r = RunSetPath({"-o", root.root(), "-e", root.etc(), "-l", "/L"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err, "open error(management file2). errno=2\n");
    // The install file is written before the trace definition is touched.
    EXPECT_EQ(readFile(InstallFile()), "zrkc_optdir=" + root.root() + "\nzrkc_etcdir=" + root.etc() + "\n");
    EXPECT_FALSE(exists(TraceFile()));
}

TEST_F(SetPath, UnwritableEtcDirectoryExitsThreeAndKeepsTheOldFile) {
    // Run as an unprivileged user: the bin directory open to it, the etc
    // directory readable but closed to writing.
    const std::string base = makeTempDir();
    const std::string etc = base + "/etc";
    const std::string trace = etc + "/velkapi_trcdef.ini";
    ASSERT_EQ(mkdir(etc.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((base + "/bin").c_str(), 0777), 0);
    {
        FILE *f = std::fopen(trace.c_str(), "w");
        std::fputs("path=/x\n", f);
        std::fclose(f);
    }
    chmod(trace.c_str(), 0644);
    chmod((base + "/bin").c_str(), 0777);
    chmod(etc.c_str(), 0555);
    chmod(base.c_str(), 0755);
    ChildResult r = runChild([&] {
        if (!dropPrivileges()) return 77;
        execl(kProgram.c_str(), kProgram.c_str(), "-o", base.c_str(), "-e", etc.c_str(), "-l", "/L",
              static_cast<char *>(nullptr));
        return 127;
    });
    if (r.exitCode == 77) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "open error(management file3). errno=13\n");
    EXPECT_EQ(readFile(trace), "path=/x\n");
    EXPECT_EQ(readFile(base + "/bin/.zrkc_install.sys"), "zrkc_optdir=" + base + "\nzrkc_etcdir=" + etc + "\n");
    chmod(etc.c_str(), 0755);
    removeTree(base);
}

TEST_F(SetPath, NeverWritesThroughALink) {
    // A link where the install file and the trace definition stand is
    // replaced, and the files it points at are left alone.
    const std::string victim = root.path("victim");
    root.write("victim", "untouched\n");
    unlink(InstallFile().c_str());
    ASSERT_EQ(symlink(victim.c_str(), InstallFile().c_str()), 0);
    ASSERT_EQ(symlink(victim.c_str(), (InstallFile() + ".new").c_str()), 0);
    ASSERT_EQ(symlink(victim.c_str(), (TraceFile() + ".new").c_str()), 0);
    ChildResult r = RunSetPath({"-o", root.root(), "-e", root.etc(), "-l", "/L"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(victim), "untouched\n");
    EXPECT_TRUE(S_ISREG(ModeOf(InstallFile())));
    EXPECT_EQ(readFile(InstallFile()), "zrkc_optdir=" + root.root() + "\nzrkc_etcdir=" + root.etc() + "\n");
}

TEST_F(SetPath, WritesFilesClosedToOthersWhateverTheUmask) {
    ChildResult r = runChild([&] {
        umask(0);
        execl(kProgram.c_str(), kProgram.c_str(), "-o", root.root().c_str(), "-e", root.etc().c_str(),
              "-l", "/L", static_cast<char *>(nullptr));
        return 127;
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(ModeOf(InstallFile()) & 07777, 0644u);
    EXPECT_EQ(ModeOf(TraceFile()) & 07777, 0644u);
}

TEST_F(SetPath, LongLinesAreCopiedWhole) {
    // A line longer than any read piece: a part of it that happens to begin
    // with path= is not a line of its own.
    const std::string longLine = std::string(8191, 'a') + "path=inside\n";
    root.writeTraceDefinition("path=/old\n" + longLine + "tail\n");
    ChildResult r = RunSetPath({"-o", root.root(), "-e", root.etc(), "-l", "/N"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(readFile(TraceFile()), "path=/N\n" + longLine + "tail\n");
}

TEST_F(SetPath, LogFileBesideTheProgram) {
    // With a leading -i the message goes to zrkcsetpath.log in the directory
    // argv[0] names, after the command line.
    const std::string dir = makeTempDir();
    const std::string argv0 = dir + "/zrkcsetpath";
    ChildResult r = RunSetPath({"-i", "-o", root.root(), "-e", root.etc()}, argv0);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(dir + "/zrkcsetpath.log"),
              argv0 + " -i -o " + root.root() + " -e " + root.etc() + "\nInvalid Option.\n");
    EXPECT_EQ(ModeOf(dir + "/zrkcsetpath.log") & 022, 0u);
    // A successful run writes no message and so no log.
    unlink((dir + "/zrkcsetpath.log").c_str());
    r = RunSetPath({"-i", "-o", root.root(), "-e", root.etc(), "-l", "/L"}, argv0);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(exists(dir + "/zrkcsetpath.log"));
    // An error of the files goes there too.
    r = RunSetPath({"-i", "-o", dir, "-e", root.etc(), "-l", "/L"}, argv0);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(dir + "/zrkcsetpath.log"),
              argv0 + " -i -o " + dir + " -e " + root.etc() + " -l /L\nopen error(management file1). errno=2\n");
    removeTree(dir);
}

TEST_F(SetPath, RelativeValuesAndLineFeedsChangeNothing) {
    // A relative value would be read against whatever folder a program later
    // runs in; a line feed would add a line of its own.
    const std::string o = root.root(), e = root.etc();
    const std::vector<std::vector<std::string>> cases = {
        {"-o", ".", "-e", e, "-l", "/L"},
        {"-o", o, "-e", "etc", "-l", "/L"},
        {"-o", o, "-e", e, "-l", "log"},
        {"-o", o, "-e", e, "-l", "/L", "-j", "jre"},
        {"-o", o, "-e", e, "-l", "", "-j", "/jre"},
        {"-o", o, "-e", e, "-l", "/L\nzrkc_etcdir=/tmp"},
        {"-o", o, "-e", e, "-l", "/L", "-j", "/jre\nzrkc_optdir=/tmp"},
        {"-o", o + "\n", "-e", e, "-l", "/L"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        ChildResult r = RunSetPath(cases[i]);
        ExpectInvalid(r, i);
    }
}

TEST_F(SetPath, LinkedTraceDefinitionIsNotRead) {
    // The trace definition a link to a secret: nothing of it is copied.
    root.write("secret", "password=hunter2\n");
    ASSERT_EQ(unlink(TraceFile().c_str()), 0);
    ASSERT_EQ(symlink(root.path("secret").c_str(), TraceFile().c_str()), 0);
    ChildResult r = RunSetPath({"-o", root.root(), "-e", root.etc(), "-l", "/L"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err, "open error(management file2). errno=" + std::to_string(ELOOP) + "\n");
    EXPECT_EQ(readFile(root.path("secret")), "password=hunter2\n");
    EXPECT_TRUE(S_ISLNK(ModeOf(TraceFile())));
    // The etc folder holds nothing new.
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(root.etc())) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"velkapi_trcdef.ini", "zrkc.ini"}));

    // Not a regular file either: a FIFO is refused without blocking.
    ASSERT_EQ(unlink(TraceFile().c_str()), 0);
    ASSERT_EQ(mkfifo(TraceFile().c_str(), 0644), 0);
    r = RunSetPath({"-o", root.root(), "-e", root.etc(), "-l", "/L"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err, "open error(management file2). errno=" + std::to_string(EINVAL) + "\n");
}

TEST_F(SetPath, ConcurrentRunsLeaveOneRunsWholeFiles) {
    // Writers, each running the program again and again with values of its
    // own, and a reader: every file read is one run's whole file, and so is
    // what stays.
    constexpr int kWriters = 6, kRuns = 12;
    const std::string o = root.root(), e = root.etc();
    const auto jre = [](int writer) { return "/jre/" + std::string(200 + writer, 'a' + writer); };
    const auto log = [](int writer) { return "/log/" + std::string(300 + writer, 'a' + writer); };
    std::set<std::string> installTexts, traceTexts;
    std::string rest;  // the old trace definition without its path= lines
    for (const char *line : {"[TRACEDEFINE]\n", "ZRKC=5\n", "[OTHER]\n", " pathx=kept\n", "path =kept too\n", "last"}) {
        rest += line;
    }
    for (int w = 0; w < kWriters; ++w) {
        installTexts.insert("zrkc_optdir=" + o + "\nzrkc_etcdir=" + e + "\nzrkc_jredir=" + jre(w) + "\n");
        traceTexts.insert("path=" + log(w) + "\n" + rest);
    }
    const std::vector<int> codes = runChildren(kWriters + 1, [&](int i) {
        if (i == kWriters) {
            // The reader: no file ever seen empty, cut or mixed.
            for (int n = 0; n < 2000; ++n) {
                const std::string install = readFile(InstallFile()), trace = readFile(TraceFile());
                if (install != "zrkc_optdir=/old\n" && installTexts.count(install) == 0) return 10;
                if (trace != kOldTrace && traceTexts.count(trace) == 0) return 11;
            }
            return 0;
        }
        for (int run = 0; run < kRuns; ++run) {
            const pid_t pid = fork();
            if (pid == 0) {
                const int null = open("/dev/null", O_WRONLY);
                dup2(null, 1);
                dup2(null, 2);
                execl(kProgram.c_str(), kProgram.c_str(), "-o", o.c_str(), "-e", e.c_str(), "-l",
                      log(i).c_str(), "-j", jre(i).c_str(), static_cast<char *>(nullptr));
                _exit(127);
            }
            int status = 0;
            if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                return 20 + run;
            }
        }
        return 0;
    });
    EXPECT_EQ(codes, std::vector<int>(kWriters + 1, 0));
    EXPECT_EQ(installTexts.count(readFile(InstallFile())), 1u);
    EXPECT_EQ(traceTexts.count(readFile(TraceFile())), 1u);
    // No run's own file is left behind.
    for (const std::string &folder : {root.bin(), root.etc()}) {
        for (const auto &entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == ".zrkc_install.sys" || name == "velkapi_trcdef.ini" || name == "zrkc.ini" ||
                        name.rfind(".zrk_errinf_", 0) == 0)
                << name;
        }
    }
}

}  // namespace
}  // namespace zrktest
