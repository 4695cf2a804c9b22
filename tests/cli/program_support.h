// The programs end to end: a temporary install root, the array simulator on
// a scenario (private socket, LAN front on a free loopback port), the alias
// store of the command tests ("sa" an array reached in-band through
// /dev/sdb, "lb" one reached over the LAN service, "nc" one without a
// route), and RunProgram, which starts a real program of the build in a
// child process (fork and execve, no shell) against the simulated library.
//
//   class Copy : public clitest::ProgramSim {};
//   TEST_F(Copy, Start) {
//       const clitest::ProgramResult r = RunProgram("zrkcvz", {"start", "0x3@sa", "0x4@sa"});
//       EXPECT_EQ(r.iExit, 0);
//   }
#pragma once

#include "child.h"
#include "cmd_support.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char **environ;

namespace clitest {

// What a program wrote and how it ended (-1: killed by a signal).
struct ProgramResult {
    int iExit = -1;
    std::string sOut;
    std::string sErr;
};

// The full path of a program of the build.
inline std::string ProgramPath(const std::string &name) { return std::string(ZRK_CLI_BIN_DIR) + "/" + name; }

// The environment of a program: this process's (ZRK_SIM_SOCKET and
// QRVNZRKC_PATH name the simulator and the install root while they live)
// with the simulated library first on the search path.
inline std::vector<std::string> ProgramEnvironment() {
    std::vector<std::string> env;
    for (char **e = environ; e != nullptr && *e != nullptr; ++e) {
        if (std::strncmp(*e, "LD_LIBRARY_PATH=", 16) != 0) env.emplace_back(*e);
    }
    env.emplace_back(std::string("LD_LIBRARY_PATH=") + ZRK_SIM_LIB_DIR);
    return env;
}

// Runs the program at path under the name argv0 (a program may look for its
// files beside the name it was started by), in this process's environment.
inline zrktest::ChildResult RunProgramAs(const std::string &path, const std::string &argv0,
                                         const std::vector<std::string> &args) {
    return zrktest::runChild([&] {
        std::vector<char *> argv{const_cast<char *>(argv0.c_str())};
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        return 127;
    });
}

// Runs the program with the arguments; its standard input is the text.
inline ProgramResult RunProgram(const std::string &name, const std::vector<std::string> &args,
                                const std::string &input = "") {
    const std::string path = ProgramPath(name);
    const std::vector<std::string> env = ProgramEnvironment();
    // The input is an anonymous file read from its start: the program sees
    // the end of the input after the text.
    const int in = ::memfd_create("program-input", MFD_CLOEXEC);
    if (in < 0 || ::write(in, input.data(), input.size()) != static_cast<ssize_t>(input.size()) ||
        ::lseek(in, 0, SEEK_SET) != 0) {
        if (in >= 0) ::close(in);
        return {};
    }
    const zrktest::ChildResult child = zrktest::runChild([&] {
        ::dup2(in, STDIN_FILENO);
        std::vector<char *> argv{const_cast<char *>(path.c_str())};
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char *> envp;
        for (const std::string &e : env) envp.push_back(const_cast<char *>(e.c_str()));
        envp.push_back(nullptr);
        ::execve(path.c_str(), argv.data(), envp.data());
        return 127;
    });
    ::close(in);
    return {child.exitCode, child.out, child.err};
}

// The simulator of the command tests with its alias store in place, for
// the program tests.
class ProgramSim : public cmdtest::CommandSim {
protected:
    explicit ProgramSim(const std::string &sessions = "") : CommandSim(sessions) {}

    ProgramResult Run(const std::string &name, const std::vector<std::string> &args,
                      const std::string &input = "") {
        return RunProgram(name, args, input);
    }
};

// ---- Refusals of the command line -----------------------------------------------

// The ZRKC0100 line of one refused parameter.
inline std::string Refusal(const std::string &parameter) {
    return "ZRKC0100 ERROR Specified command parameter is incorrect. Parameter=(" + parameter + ").\n";
}

// One refused command line and the parameter its ZRKC0100 line names.
struct RefusalCase {
    std::vector<std::string> args;
    const char *pParameter;
};

// Each case: the ZRKC0100 line and the usage text on standard error, nothing
// on standard output, exit 2.
inline void ExpectRefusals(const std::string &program, const std::string &usage,
                           const std::vector<RefusalCase> &cases) {
    for (const RefusalCase &c : cases) {
        std::string line = program;
        for (const std::string &a : c.args) line += " " + a;
        SCOPED_TRACE(line);
        const ProgramResult r = RunProgram(program, c.args);
        EXPECT_EQ(r.iExit, 2);
        EXPECT_EQ(r.sOut, "");
        EXPECT_EQ(r.sErr, Refusal(c.pParameter) + usage);
    }
}

}  // namespace clitest
