// The password of a LAN account, end to end: the -pw value leaves the
// process's command line as soon as the program has read it, no trace or
// debug log line holds it, and the prompt's terminal echoes again whenever
// the program is stopped or ended during the entry (and not while it reads).
#include "program_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

constexpr char kSecret[] = "Sekr3tPassw0rd";

// Polls check until it holds, a few milliseconds apart; false when it never
// did within a generous bound (a hung program fails the test, never waits
// for ever).
bool Eventually(const std::function<bool()> &check) {
    for (int i = 0; i < 4000; ++i) {
        if (check()) return true;
        ::usleep(5000);
    }
    return false;
}

// The argument and environment vectors of a program of the build.
struct Command {
    std::string sPath;
    std::vector<std::string> vArgs, vEnv;
    std::vector<char *> Argv() {
        std::vector<char *> v{sPath.data()};
        for (std::string &a : vArgs) v.push_back(a.data());
        v.push_back(nullptr);
        return v;
    }
    std::vector<char *> Envp() {
        std::vector<char *> v;
        for (std::string &e : vEnv) v.push_back(e.data());
        v.push_back(nullptr);
        return v;
    }
};

Command Zrkccopy(const std::vector<std::string> &args) {
    return {clitest::ProgramPath("zrkccopy"), args, clitest::ProgramEnvironment()};
}

// Starts the command without waiting for it, its output thrown away.
pid_t Start(Command command) {
    std::vector<char *> argv = command.Argv();
    std::vector<char *> envp = command.Envp();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execve(command.sPath.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

// The state letter of a process (/proc/PID/stat, after the name).
char ProcessState(pid_t pid) {
    const std::string stat = zrktest::readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
}

class SecretsSim : public clitest::ProgramSim {};

// While the program waits for the service's answer to its log-in (held back
// by the simulator), its command line no longer shows the password.
TEST_F(SecretsSim, PasswordLeavesTheCommandLine) {
    sim.commandOk("clearlanlog");
    sim.commandOk("landelay 1 600000");
    const pid_t pid = Start(Zrkccopy({"iprouteset", "-pw", kSecret, "10.0.0.7", "admin"}));
    ASSERT_GT(pid, 0);
    const bool waiting = Eventually([&] { return !sim.commandOk("lanlog").empty(); });
    const std::string cmdline = zrktest::readFile("/proc/" + std::to_string(pid) + "/cmdline");
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    sim.commandOk("clearfaults");
    ASSERT_TRUE(waiting);
    EXPECT_NE(cmdline.find(std::string("iprouteset\0-pw\0", 15)), std::string::npos) << cmdline;
    EXPECT_NE(cmdline.find(std::string("10.0.0.7\0admin\0", 15)), std::string::npos) << cmdline;
    EXPECT_EQ(cmdline.find(kSecret), std::string::npos);
}

// The traces and the debug log at their highest levels hold no password,
// neither of a LAN route that is set nor of one the array refuses.
TEST_F(SecretsSim, NoPasswordInTracesOrLog) {
    ::setenv("WXAPI_LOG_FLAG", "1f", 1);
    const ProgramResult stored = RunProgram("zrkccopy", {"iprouteset", "-pw", "secret", "10.0.0.7", "admin"});
    const ProgramResult refused = RunProgram("zrkccopy", {"iprouteset", "10.0.0.7", "admin"},
                                             std::string(kSecret) + "\n");
    const ProgramResult login = RunProgram("zrkccopy", {"iplogin", "lb"});
    ::unsetenv("WXAPI_LOG_FLAG");
    EXPECT_EQ(stored.iExit, 0) << stored.sErr;
    EXPECT_EQ(refused.iExit, 4) << refused.sErr;
    EXPECT_EQ(login.iExit, 0) << login.sErr;
    const std::string traces = root.traceText();
    const std::string log = root.logText();
    EXPECT_NE(traces.find("ZRKIPLogIn"), std::string::npos);  // the traces were written
    for (const char *secret : {"secret", kSecret}) {
        EXPECT_EQ(traces.find(secret), std::string::npos) << secret;
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    }
}

// ---- the prompt on a terminal ------------------------------------------------

// A pseudo-terminal whose other end is the controlling terminal of a small
// "shell": a session leader that starts the program in a process group of its
// own in the foreground, as a login shell would, and waits for it.
class PromptTerminal {
public:
    PromptTerminal() {
        iMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (iMaster < 0 || ::grantpt(iMaster) != 0 || ::unlockpt(iMaster) != 0) return;
        sSlave = ::ptsname(iMaster);
        iSlave = ::open(sSlave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (iSlave >= 0) ::tcgetattr(iSlave, &tBefore);
    }
    ~PromptTerminal() {
        if (pShell > 0) {
            if (pProgram > 0) ::kill(pProgram, SIGKILL);
            ::waitpid(pShell, nullptr, 0);
        }
        if (iSlave >= 0) ::close(iSlave);
        if (iMaster >= 0) ::close(iMaster);
    }
    PromptTerminal(const PromptTerminal &) = delete;
    PromptTerminal &operator=(const PromptTerminal &) = delete;

    bool Ready() const { return iSlave >= 0; }

    // Starts the command under the shell; false when it did not come up.
    bool Start(Command command) {
        std::vector<char *> argv = command.Argv();
        std::vector<char *> envp = command.Envp();
        int pids[2];
        if (::pipe2(pids, O_CLOEXEC) != 0) return false;
        pShell = ::fork();
        if (pShell == 0) ::_exit(Shell(command.sPath, argv, envp, pids[1]));
        ::close(pids[1]);
        const bool got = ::read(pids[0], &pProgram, sizeof pProgram) == sizeof pProgram;
        ::close(pids[0]);
        return pShell > 0 && got;
    }

    // Whether the terminal echoes now.
    bool Echoes() const {
        struct termios now {};
        return ::tcgetattr(iSlave, &now) == 0 && (now.c_lflag & ECHO) != 0;
    }
    // Whether the terminal has the settings it had before the program.
    bool AsBefore() const {
        struct termios now {};
        return ::tcgetattr(iSlave, &now) == 0 && now.c_lflag == tBefore.c_lflag &&
               now.c_iflag == tBefore.c_iflag;
    }
    // Types text at the keyboard.
    void Type(const char *text) const { (void)!::write(iMaster, text, std::strlen(text)); }
    // What the program wrote so far, read without waiting.
    std::string Drain() {
        char buffer[512];
        pollfd p{iMaster, POLLIN, 0};
        while (::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0) {
            const ssize_t n = ::read(iMaster, buffer, sizeof buffer);
            if (n <= 0) break;
            sScreen.append(buffer, static_cast<size_t>(n));
        }
        return sScreen;
    }
    pid_t Program() const { return pProgram; }
    // The shell's report of how the program ended: its exit code, or 128
    // and the signal that ended it.
    int Wait() {
        int status = 0;
        if (::waitpid(pShell, &status, 0) != pShell) return -1;
        pShell = -1;
        pProgram = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    int Shell(const std::string &path, std::vector<char *> &argv, std::vector<char *> &envp, int report) {
        ::setsid();
        const int tty = ::open(sSlave.c_str(), O_RDWR);  // the session's controlling terminal
        if (tty < 0) return 120;
        ::signal(SIGTTOU, SIG_IGN);
        const pid_t program = ::fork();
        if (program == 0) {
            ::setpgid(0, 0);
            ::tcsetpgrp(tty, ::getpid());
            ::signal(SIGTTOU, SIG_DFL);
            ::dup2(tty, STDIN_FILENO);
            ::dup2(tty, STDOUT_FILENO);
            ::dup2(tty, STDERR_FILENO);
            ::execve(path.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        ::setpgid(program, program);
        ::tcsetpgrp(tty, program);
        (void)!::write(report, &program, sizeof program);
        int status = 0;
        while (::waitpid(program, &status, 0) != program) {
        }
        return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    }

    int iMaster = -1, iSlave = -1;
    std::string sSlave;
    struct termios tBefore {};
    pid_t pShell = -1, pProgram = -1;
    std::string sScreen;
};

// Ctrl-Z during the entry gives the terminal back while the program is
// stopped, the continue takes echo away again; Ctrl-C and a termination
// leave the terminal as it was.
TEST_F(SecretsSim, PromptGivesTheTerminalBackWhenStoppedOrEnded) {
    struct Ending {
        const char *pWhat;
        std::function<void(PromptTerminal &)> end;
        int iSignal;
    };
    const Ending endings[] = {
        {"Ctrl-C", [](PromptTerminal &t) { t.Type("\x03"); }, SIGINT},
        {"SIGTERM", [](PromptTerminal &t) { ::kill(t.Program(), SIGTERM); }, SIGTERM},
    };
    for (const Ending &e : endings) {
        SCOPED_TRACE(e.pWhat);
        PromptTerminal terminal;
        ASSERT_TRUE(terminal.Ready());
        ASSERT_TRUE(terminal.Echoes());
        ASSERT_TRUE(terminal.Start(Zrkccopy({"iprouteset", "10.0.0.7", "admin"})));
        ASSERT_TRUE(Eventually([&] { return terminal.Drain().find("Password: ") != std::string::npos; }));
        ASSERT_TRUE(Eventually([&] { return !terminal.Echoes(); }));
        terminal.Type("sec");

        terminal.Type("\x1a");  // Ctrl-Z
        ASSERT_TRUE(Eventually([&] { return ProcessState(terminal.Program()) == 'T'; }));
        EXPECT_TRUE(terminal.AsBefore());
        ::kill(terminal.Program(), SIGCONT);
        EXPECT_TRUE(Eventually([&] { return !terminal.Echoes(); }));
        EXPECT_NE(ProcessState(terminal.Program()), 'T');

        e.end(terminal);
        EXPECT_EQ(terminal.Wait(), 128 + e.iSignal);
        EXPECT_TRUE(terminal.AsBefore());
        EXPECT_EQ(terminal.Drain().find("sec"), std::string::npos);  // never echoed
    }
}

}  // namespace
