// zrkcipservice end to end: the real program in a child process, a
// temporary installation whose Java runtime is a stand-in that records its
// arguments and starts the simulator's LAN front as the service on the port
// it is given; standard output, standard error and exit codes.
#include "child.h"
#include "install_root.h"
#include "program_support.h"

#include "zrkc.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace zrktest {
namespace {

const std::string kProgram = std::string(ZRK_CLI_BIN_DIR) + "/zrkcipservice";

constexpr char kFailed[] = "ZRKC1902 ERROR Failed to start the LAN interface management service.\n";
constexpr char kRunning[] = "ZRKC1901 INFO The LAN interface management service is already running.\n";
constexpr char kUsage[] = "Usage : zrkcipservice start [-show]\nUsage : zrkcipservice stop\n";

// A loopback port that nothing listens on just now.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

class IpService : public ::testing::Test {
protected:
    void SetUp() override {
        // The installation's files as an administrator leaves them: the
        // program trusts nothing that group or others may write.
        umask(022);
        for (const std::string &file : {root.path("bin/.zrkc_install.sys"), root.etc() + "/velkapi_trcdef.ini"}) {
            ASSERT_EQ(0, chmod(file.c_str(), 0644));
        }
        port = FreePort();
        ASSERT_GT(port, 0);
        SetProperty("ssh_port_number", std::to_string(port));
        root.write("sim.scenario", "array A1 boxid=\"BOXA\"\n");
        std::filesystem::create_directories(root.path("jre/bin"));
        // The stand-in runtime: records its arguments and its process id,
        // then becomes the service on the port it was given (argument 5).
        WriteRuntime("printf '%s\\n' \"$@\" > '" + ArgsFile() + "'\n" + BecomeService());
        WriteInstallFile(root.path("jre"));
    }

    // The stand-in runtime: it records its process id, then runs body.
    void WriteRuntime(const std::string &body) const {
        root.write("jre/bin/java", "#!/bin/sh\necho $$ > '" + root.path("service.pid") + "'\n" + body);
        ASSERT_EQ(0, chmod(root.path("jre/bin/java").c_str(), 0755));
    }

    // The line of the stand-in that becomes the service on the port it was
    // given (argument 5), with more options of the simulator.
    std::string BecomeService(const std::string &options = "") const {
        return "exec '" ZRK_SIM_BIN "' --scenario '" + root.path("sim.scenario") + "' --socket '" +
               root.path("sim.sock") + "' --lan-port \"$5\" " + options + "\n";
    }

    void TearDown() override {
        const std::string pid = readFile(root.path("service.pid"));
        if (!pid.empty()) kill(static_cast<pid_t>(std::atol(pid.c_str())), SIGTERM);
    }

    std::string ArgsFile() const { return root.path("java.args"); }

    void WriteInstallFile(const std::string &jre, const std::string &optDir = "") const {
        std::string text = "zrkc_optdir=" + (optDir.empty() ? root.root() : optDir) +
                           "\nzrkc_etcdir=" + root.etc() + "\n";
        if (!jre.empty()) text += "zrkc_jredir=" + jre + "\n";
        root.write("bin/.zrkc_install.sys", text);
    }

    // Replaces (or adds) one key of the properties file.
    void SetProperty(const std::string &key, const std::string &value) const {
        std::istringstream in(readFile(root.etc() + "/zrkc.ini"));
        std::string out, line;
        bool done = false;
        while (std::getline(in, line)) {
            if (line.rfind(key + "=", 0) == 0) {
                line = key + "=" + value;
                done = true;
            }
            out += line + "\n";
        }
        if (!done) out += key + "=" + value + "\n";
        root.writeProperties(out);
    }

    // The program under the name of the installation's bin folder, so that
    // it finds the installation file there.
    ChildResult Run(const std::vector<std::string> &args) const {
        return clitest::RunProgramAs(kProgram, root.bin() + "/zrkcipservice", args);
    }

    // The arguments the stand-in runtime received, one per line.
    std::vector<std::string> JavaArgs() const {
        std::vector<std::string> args;
        std::istringstream in(readFile(ArgsFile()));
        for (std::string line; std::getline(in, line);) args.push_back(line);
        return args;
    }

    // The LAN requests the service has logged ("" before it runs).
    std::string LanLog() const {
        const std::string control = root.path("sim.sock") + ".ctl";
        return runChild([&] {
                   execl(ZRK_SIMCTL_BIN, ZRK_SIMCTL_BIN, "--control", control.c_str(), "lanlog",
                         static_cast<char *>(nullptr));
                   return 127;
               })
            .out;
    }

    // Starts "start -show" in a child process once prepare (which sets up
    // its descriptors) succeeded there; the program's process id.
    pid_t StartShown(const std::function<bool()> &prepare) const {
        const std::string argv0 = root.bin() + "/zrkcipservice";
        const pid_t program = fork();
        if (program == 0) {
            if (prepare()) execl(kProgram.c_str(), argv0.c_str(), "start", "-show", static_cast<char *>(nullptr));
            _exit(127);
        }
        return program;
    }

    // Whether the service logged an alive request. The first it logs is the
    // program's own, which it answers "true": from then on the program waits
    // for the service.
    bool ProgramAsked() const {
        bool asked = false;
        for (int i = 0; i < 400 && !asked; ++i) {
            asked = LanLog().find("zrkcipservice_alive") != std::string::npos;
            if (!asked) usleep(50000);
        }
        return asked;
    }

    // Asks the service as the program does.
    static bool Alive() {
        char reply[32] = {};
        return zrkc_exec_cli("127.0.0.1", "zrkcipservice_user", 0, "zrkcipservice_alive", 32, reply) == 0 &&
               std::string(reply) == "true";
    }

    InstallRoot root;
    int port = 0;
};

TEST_F(IpService, StartAlreadyRunningAndStop) {
    ChildResult r = Run({"start"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.out);
    EXPECT_EQ("", r.err);
    ASSERT_TRUE(exists(ArgsFile()));
    EXPECT_TRUE(Alive());

    // Running already: the message on standard output, no second service.
    ASSERT_EQ(0, unlink(ArgsFile().c_str()));
    r = Run({"start"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(kRunning, r.out);
    EXPECT_EQ("", r.err);
    EXPECT_FALSE(exists(ArgsFile()));

    r = Run({"stop"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("", r.err);
    EXPECT_FALSE(Alive());

    // Stop again with nobody listening: still 0, nothing printed.
    r = Run({"stop"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ("", r.out + r.err);
}

TEST_F(IpService, ShowStaysWithTheServiceAndKeepsItsOutput) {
    // The program in the background, its standard error into a file.
    const std::string errFile = root.path("show.err");
    const pid_t program = StartShown([&] {
        const int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
        return fd >= 0 && dup2(fd, 2) >= 0;
    });
    ASSERT_GE(program, 0);
    ASSERT_TRUE(ProgramAsked());
    int status = 0;
    EXPECT_EQ(0, waitpid(program, &status, WNOHANG)) << "the program waits for the service";

    // The service ends: the program follows with 0.
    const std::string pid = readFile(root.path("service.pid"));
    ASSERT_FALSE(pid.empty());
    ASSERT_EQ(0, kill(static_cast<pid_t>(std::atol(pid.c_str())), SIGTERM));
    ASSERT_EQ(program, waitpid(program, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    // The service wrote to the program's own standard error.
    EXPECT_NE(std::string::npos, readFile(errFile).find("zrksim: ready")) << readFile(errFile);
}

TEST_F(IpService, RecordedJavaArguments) {
    root.writeTraceDefinition("[TRACEDEFINE]\npath=/first\nZRKC=5\n[SSHLOG]\nssh_size=5\nssh_gen=7\n"
                              "level=DEBUG\npath=/in/section\n[OTHER]\nlevel=FINE\npath=/var/log/svc\n");
    SetProperty("ssh_timeout", "0");
    SetProperty("ssh_logout_timer", "100");
    SetProperty("ssh_loop", "-3");
    ChildResult r = Run({"start"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    const std::string jars = root.root() + "/jars";
    const std::vector<std::string> expected = {
        "-classpath", jars + ":" + jars + "/ganymed-ssh2-build250.jar", "-jar", jars + "/zrkc.jar",
        std::to_string(port), "30", "30", "100", "/var/log/svc", "sshlog", "5", "7", "INFO", "30", "-3"};
    EXPECT_EQ(expected, JavaArgs());
}

TEST_F(IpService, DefaultLogSettingsAndLevelWord) {
    root.writeTraceDefinition("[SSHLOG]\nlevel=FINE\n");
    ChildResult r = Run({"start"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    const std::vector<std::string> args = JavaArgs();
    ASSERT_EQ(15u, args.size());
    EXPECT_EQ("/var/opt/QRVNzrkc/log", args[8]);
    EXPECT_EQ("1", args[10]);
    EXPECT_EQ("3", args[11]);
    EXPECT_EQ("FINE", args[12]);
    EXPECT_EQ("870", args[7]);
    EXPECT_EQ("15", args[14]);
}

TEST_F(IpService, FailedStarts) {
    struct Case {
        const char *pWhat;
        bool bInstallFile;
        std::string sJre, sOptDir;
    } cases[] = {
        {"no installation file", false, "", ""},
        {"a runtime that cannot be run", true, root.path("nojre"), ""},
        // The class path names the jar folder twice: above 1023 characters
        // with an install folder of 500.
        {"an argument too long", true, root.path("jre"), "/" + std::string(499, 'o')},
    };
    for (const Case &c : cases) {
        if (c.bInstallFile) WriteInstallFile(c.sJre, c.sOptDir);
        else unlink(root.path("bin/.zrkc_install.sys").c_str());
        ChildResult r = Run({"start"});
        EXPECT_EQ(1, r.exitCode) << c.pWhat;
        EXPECT_EQ("", r.out) << c.pWhat;
        EXPECT_EQ(kFailed, r.err) << c.pWhat;
    }
    EXPECT_FALSE(exists(ArgsFile()));
}

TEST_F(IpService, PortOutOfRange) {
    for (const char *value : {"65536", "-1"}) {
        SetProperty("ssh_port_number", value);
        for (const char *action : {"start", "stop"}) {
            ChildResult r = Run({action});
            EXPECT_EQ(2, r.exitCode) << value << " " << action;
            EXPECT_EQ("", r.out);
            EXPECT_EQ(kFailed, r.err) << value << " " << action;
        }
    }
    EXPECT_FALSE(exists(ArgsFile()));
}

TEST_F(IpService, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {}, {"stop", "-show"}, {"start", "-shows"}, {"begin"}, {"start", "-show", "x"}, {"Start"}};
    for (const auto &args : cases) {
        ChildResult r = Run(args);
        EXPECT_EQ(2, r.exitCode) << args.size();
        EXPECT_EQ("", r.out);
        EXPECT_EQ(kUsage, r.err);
    }
}

// ---- what the service may trust and what it is given ---------------------------

TEST_F(IpService, InstallationFileOnlyFromTheProgramsOwnFolder) {
    // The program unpacked as <shared>/zrkcipservice-1.0/zrkcipservice, in a
    // folder open to everyone, where another user planted an installation
    // file naming a runtime of theirs.
    const std::string shared = root.path("shared");
    const std::string package = shared + "/zrkcipservice-1.0";
    std::filesystem::create_directories(package);
    std::filesystem::create_directories(shared + "/theirs/bin");
    ASSERT_EQ(0, chmod(shared.c_str(), 0777));
    const std::string ran = root.path("planted.ran");
    root.write("shared/theirs/bin/java", "#!/bin/sh\ntouch '" + ran + "'\n");
    ASSERT_EQ(0, chmod((shared + "/theirs/bin/java").c_str(), 0755));
    root.write("shared/.zrkc_install.sys", "zrkc_optdir=" + root.root() + "\nzrkc_jredir=" + shared + "/theirs\n");

    ChildResult r = clitest::RunProgramAs(kProgram, package + "/zrkcipservice", {"start"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(kFailed, r.err);
    EXPECT_FALSE(exists(ran));

    // With its own installation file beside it, that one counts.
    root.write("shared/zrkcipservice-1.0/.zrkc_install.sys", readFile(root.path("bin/.zrkc_install.sys")));
    r = clitest::RunProgramAs(kProgram, package + "/zrkcipservice", {"start"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(exists(ArgsFile()));
    EXPECT_FALSE(exists(ran));
}

TEST_F(IpService, PathsOthersCouldWriteAreRefused) {
    // Every refusal is a failed start that runs nothing and names the path
    // in the debug log.
    setenv("WXAPI_LOG_FLAG", "0x10", 1);
    const std::string jre = root.path("jre"), java = root.path("jre/bin/java");
    const std::string install = root.path("bin/.zrkc_install.sys");
    const std::string trace = root.etc() + "/velkapi_trcdef.ini";
    const auto mode = [](const std::string &path, mode_t m) { return [=] { chmod(path.c_str(), m); }; };
    const auto owner = [](const std::string &path, uid_t uid) {
        return [=] { ASSERT_EQ(0, lchown(path.c_str(), uid, 0)); };
    };
    // The path moved aside and a link to it put in its place.
    const auto link = [](const std::string &path) {
        return [=] {
            ASSERT_EQ(0, rename(path.c_str(), (path + ".real").c_str()));
            ASSERT_EQ(0, symlink((path + ".real").c_str(), path.c_str()));
        };
    };
    const auto unlink = [](const std::string &path) {
        return [=] {
            ASSERT_EQ(0, ::unlink(path.c_str()));
            ASSERT_EQ(0, rename((path + ".real").c_str(), path.c_str()));
        };
    };
    struct Case {
        const char *pWhat;
        std::string sLogged;  // the path the log names
        std::function<void()> fBreak, fMend;
        bool bOwner = false;  // changes an owner: root only
    } cases[] = {
        {"runtime folder writable by group", jre, mode(jre, 0775), mode(jre, 0755)},
        {"bin folder writable by others", jre + "/bin", mode(jre + "/bin", 0757), mode(jre + "/bin", 0755)},
        {"java writable by group", java, mode(java, 0775), mode(java, 0755)},
        {"java of another user", java, owner(java, 65534), owner(java, 0), true},
        {"runtime folder a link", jre, link(jre), unlink(jre)},
        {"java a link", java, link(java), unlink(java)},
        {"no runtime", root.path("nojre"), [&] { WriteInstallFile(root.path("nojre")); }, [&] { WriteInstallFile(jre); }},
        {"relative runtime folder", "jre", [&] { WriteInstallFile("jre"); }, [&] { WriteInstallFile(jre); }},
        {"installation file writable by others", install, mode(install, 0646), mode(install, 0644)},
        {"installation file of another user", install, owner(install, 65534), owner(install, 0), true},
        {"installation file a link", install, link(install), unlink(install)},
        {"etc folder writable by group", root.etc(), mode(root.etc(), 0775), mode(root.etc(), 0755)},
        {"trace definition writable by others", trace, mode(trace, 0646), mode(trace, 0644)},
        {"trace definition a link", trace, link(trace), unlink(trace)},
        {"jars folder writable by others", root.path("jars"),
         [&] { ASSERT_EQ(0, mkdir(root.path("jars").c_str(), 0777)); chmod(root.path("jars").c_str(), 0777); },
         [&] { rmdir(root.path("jars").c_str()); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        if (c.bOwner && geteuid() != 0) continue;
        for (const auto &entry : std::filesystem::directory_iterator(root.logDir())) {
            std::filesystem::remove(entry.path());
        }
        c.fBreak();
        ChildResult r = Run({"start"});
        c.fMend();
        EXPECT_EQ(1, r.exitCode);
        EXPECT_EQ("", r.out);
        EXPECT_EQ(kFailed, r.err);
        EXPECT_NE(std::string::npos, root.logText().find("zrkcipservice: " + c.sLogged + " refused:"))
            << root.logText();
        EXPECT_FALSE(exists(ArgsFile()));
    }
    // Everything mended: the start goes through.
    ChildResult r = Run({"start"});
    EXPECT_EQ(0, r.exitCode) << r.err;
}

// What the stand-in service recorded of the process it was started as.
struct ServiceState {
    std::map<int, std::string> fds;  // descriptor: what it names
    std::string sUmask, sCwd, sSessionLeader;
    std::map<std::string, std::string> env;
};

ServiceState ReadServiceState(const std::string &path) {
    ServiceState state;
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);) {
        const size_t space = line.find(' ');
        const std::string key = line.substr(0, space), value = line.substr(space + 1);
        if (key == "fd") {
            const size_t gap = value.find(' ');
            state.fds[std::atoi(value.substr(0, gap).c_str())] = value.substr(gap + 1);
        } else if (key == "umask") {
            state.sUmask = value;
        } else if (key == "cwd") {
            state.sCwd = value;
        } else if (key == "session-leader") {
            state.sSessionLeader = value;
        } else if (key == "env") {
            const size_t equals = value.find('=');
            state.env[value.substr(0, equals)] = value.substr(equals + 1);
        }
    }
    return state;
}

TEST_F(IpService, ServiceKeepsNothingOfTheCallersProcess) {
    const std::string record = root.path("service.state");
    WriteRuntime(BecomeService("--record '" + record + "'"));
    const std::string writable = root.path("open.file");
    const std::string folder = root.path("shared");
    ASSERT_EQ(0, mkdir(folder.c_str(), 0777));
    const std::string argv0 = root.bin() + "/zrkcipservice";
    // The caller: umask 0, another folder, a writable file on descriptor 7,
    // a variable of its own, a locale.
    ChildResult r = runChild([&] {
        umask(0);
        if (chdir(folder.c_str()) != 0) return 126;
        const int fd = open(writable.c_str(), O_WRONLY | O_CREAT, 0666);
        if (fd < 0 || dup2(fd, 7) != 7) return 126;
        setenv("ZRK_CALLERS_OWN", "secret", 1);
        setenv("LANG", "en_US.UTF-8", 1);
        execl(kProgram.c_str(), argv0.c_str(), "start", static_cast<char *>(nullptr));
        return 127;
    });
    ASSERT_EQ(0, r.exitCode) << r.err;
    const ServiceState state = ReadServiceState(record);
    const std::map<int, std::string> null = {{0, "/dev/null"}, {1, "/dev/null"}, {2, "/dev/null"}};
    EXPECT_EQ(null, state.fds);
    EXPECT_EQ("0022", state.sUmask);
    EXPECT_EQ("/", state.sCwd);
    EXPECT_EQ("1", state.sSessionLeader);
    // The shell of the stand-in adds PWD; nothing else of the caller's.
    std::map<std::string, std::string> env = state.env;
    env.erase("PWD");
    const std::map<std::string, std::string> expected = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"},
                                                         {"LANG", "en_US.UTF-8"}};
    EXPECT_EQ(expected, env);
}

TEST_F(IpService, ShowKeepsTheProgramsDescriptorsWithNullForClosedOnes) {
    // The program started with descriptors 0-2 closed: the service it keeps
    // in the foreground gets /dev/null there, and still nothing above them,
    // and stays in the program's session.
    const std::string record = root.path("service.state");
    WriteRuntime(BecomeService("--record '" + record + "'"));
    const pid_t program = StartShown([] {
        for (int fd = 0; fd <= 2; ++fd) close(fd);
        return true;
    });
    ASSERT_GE(program, 0);
    EXPECT_TRUE(ProgramAsked());
    const std::string pid = readFile(root.path("service.pid"));
    if (!pid.empty()) kill(static_cast<pid_t>(std::atol(pid.c_str())), SIGTERM);
    int status = 0;
    ASSERT_EQ(program, waitpid(program, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const ServiceState state = ReadServiceState(record);
    const std::map<int, std::string> null = {{0, "/dev/null"}, {1, "/dev/null"}, {2, "/dev/null"}};
    EXPECT_EQ(null, state.fds);
    EXPECT_EQ("0", state.sSessionLeader);
    EXPECT_EQ("/", state.sCwd);
}

TEST_F(IpService, ServiceThatNeverAnswersIsEndedAndReaped) {
    // A runtime that ignores SIGTERM and never listens. This process adopts
    // what the program leaves behind, so a service left running, or ended
    // but not reaped, would still be seen here after the program exits.
    ASSERT_EQ(0, prctl(PR_SET_CHILD_SUBREAPER, 1));
    WriteRuntime("trap '' TERM\nexec sleep 600\n");
    ChildResult r = Run({"start"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(kFailed, r.err);
    const std::string pid = readFile(root.path("service.pid"));
    ASSERT_FALSE(pid.empty());
    errno = 0;
    EXPECT_EQ(-1, kill(static_cast<pid_t>(std::atol(pid.c_str())), 0));
    EXPECT_EQ(ESRCH, errno);
    unlink(root.path("service.pid").c_str());
}

TEST_F(IpService, ServiceThatAnswersAfterASecondStarts) {
    WriteRuntime("sleep 1\n" + BecomeService());
    ChildResult r = Run({"start"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("", r.out + r.err);
    EXPECT_TRUE(Alive());
}

TEST_F(IpService, ClosedStandardErrorKeepsTheMessageOutOfItsFiles) {
    // No runtime: a failed start whose message, with descriptor 2 closed,
    // goes nowhere rather than into the trace management file.
    WriteInstallFile(root.path("nojre"));
    const std::string argv0 = root.bin() + "/zrkcipservice";
    ChildResult r = runChild([&] {
        close(STDERR_FILENO);
        execl(kProgram.c_str(), argv0.c_str(), "start", static_cast<char *>(nullptr));
        return 127;
    });
    EXPECT_EQ(1, r.exitCode);
    ASSERT_TRUE(exists(root.traceDir() + "/velk_trcmng.def"));
    EXPECT_EQ(std::string::npos, readFile(root.traceDir() + "/velk_trcmng.def").find("ZRKC1902"));
    EXPECT_EQ(std::string::npos, root.traceText().find(kFailed));
}

} // namespace
} // namespace zrktest
