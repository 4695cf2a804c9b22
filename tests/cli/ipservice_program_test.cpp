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
#include <sys/socket.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
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
        port = FreePort();
        ASSERT_GT(port, 0);
        SetProperty("ssh_port_number", std::to_string(port));
        root.write("sim.scenario", "array A1 boxid=\"BOXA\"\n");
        std::filesystem::create_directories(root.path("jre/bin"));
        // The stand-in runtime: records its arguments and its process id,
        // then becomes the service on the port it was given (argument 5).
        root.write("jre/bin/java", "#!/bin/sh\n"
                                   "echo $$ > '" + root.path("service.pid") + "'\n"
                                   "printf '%s\\n' \"$@\" > '" + ArgsFile() + "'\n"
                                   "exec '" ZRK_SIM_BIN "' --scenario '" + root.path("sim.scenario") +
                                   "' --socket '" + root.path("sim.sock") + "' --lan-port \"$5\"\n");
        ASSERT_EQ(0, chmod(root.path("jre/bin/java").c_str(), 0755));
        WriteInstallFile(root.path("jre"));
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
    const std::string argv0 = root.bin() + "/zrkcipservice";
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        const int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
        if (fd < 0 || dup2(fd, 2) < 0) _exit(127);
        execl(kProgram.c_str(), argv0.c_str(), "start", "-show", static_cast<char *>(nullptr));
        _exit(127);
    }
    // The first alive request the service logs is the program's own, which
    // it answers "true": from then on the program waits for the service.
    bool asked = false;
    for (int i = 0; i < 400 && !asked; ++i) {
        asked = LanLog().find("zrkcipservice_alive") != std::string::npos;
        if (!asked) usleep(50000);
    }
    ASSERT_TRUE(asked);
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

} // namespace
} // namespace zrktest
