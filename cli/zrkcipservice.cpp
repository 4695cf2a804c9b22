// zrkcipservice: starts, stops and checks the LAN interface management
// service, the local process through which the library reaches the arrays'
// command-line interfaces.
//
//   zrkcipservice start [-show]   start the service unless it answers already
//   zrkcipservice stop            ask the service to end
//
// The service is asked through zrkc_exec_cli ("zrkcipservice_alive",
// "zrkcipservice_stop"; only the reply "true" counts), its four connection
// settings come from the properties file (zrkc_getproperties_int), and the
// Java runtime, the jar directory and its log settings from the installation
// file beside the program and the trace definition file, each used only
// when nobody but root or the caller could have written it. A service that
// does not answer within the 25 checks of a start is ended before the start
// is reported failed. Progress lines go to the binary trace under the name
// "ZRKC".
#include "fileread.h"
#include "installfile.h"
#include "sysio.h"
#include "zrkc.h"
#include "zrkcmessages.h"
#include "zrkcsafe.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

extern char **environ;

namespace {

// ---- trace ------------------------------------------------------------------

constexpr int kTraceKindText = 1;

struct Trace {
    TraceHandle tHandle{};
    int iPid = 0;
    char caLine[4096] = {};  // every line is formatted here
};
Trace gTrace;

__attribute__((format(printf, 2, 3))) void Tr(int level, const char *format, ...) {
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(gTrace.caLine, sizeof gTrace.caLine, format, args);
    va_end(args);
    if (length < 0) return;
    const int kept = length < static_cast<int>(sizeof gTrace.caLine)
                         ? length
                         : static_cast<int>(sizeof gTrace.caLine) - 1;
    ZRKC_OutputTrace(&gTrace.tHandle, level, gTrace.iPid, 0, kTraceKindText, kept, gTrace.caLine);
}

// ---- settings ------------------------------------------------------------------

enum Action { kActionStart = 1, kActionStop = 2 };
enum Exchange { kAlive = 1, kStop = 2 };

constexpr int kPortMax = 65535;
constexpr int kTimerMax = 86400;

struct Settings {
    int iPort = 32002;
    int iTimeOut = 30;
    int iLogoutTimer = 870;
    int iLoop = 15;
};

// One property; the fallback when it cannot be read.
int Property(const char *key, int fallback, int *value) {
    ReturnInfo ri{};
    const int read = zrkc_getproperties_int(key, &ri);
    *value = ri.iReturnClass != 0 ? fallback : read;
    return ri.iReturnClass;
}

// Reads the four settings; false when the port lies outside 0..65535.
bool ReadSettings(Settings *s) {
    const Settings defaults;
    int rc = Property("ssh_port_number", defaults.iPort, &s->iPort);
    Tr(1, "[info ] zrkcipservice. iPortNo=%d iRetCode=%d", s->iPort, rc);
    rc = Property("ssh_timeout", defaults.iTimeOut, &s->iTimeOut);
    Tr(1, "[info ] zrkcipservice. iTimeOut=%d iRetCode=%d", s->iTimeOut, rc);
    rc = Property("ssh_logout_timer", defaults.iLogoutTimer, &s->iLogoutTimer);
    Tr(1, "[info ] zrkcipservice. iVastrelTimer=%d iRetCode=%d", s->iLogoutTimer, rc);
    rc = Property("ssh_loop", defaults.iLoop, &s->iLoop);
    Tr(1, "[info ] zrkcipservice. iLoopCnt=%d iRetCode=%d", s->iLoop, rc);

    if (s->iTimeOut <= 0 || s->iTimeOut > kTimerMax) s->iTimeOut = defaults.iTimeOut;
    if (s->iLogoutTimer <= 0 || s->iLogoutTimer > kTimerMax) s->iLogoutTimer = defaults.iLogoutTimer;
    if (s->iLoop == 0) s->iLoop = defaults.iLoop;
    return s->iPort >= 0 && s->iPort <= kPortMax;
}

// ---- the exchanges with the service --------------------------------------------

constexpr size_t kReplyLen = 32;

// 0 when the service answered "true", else -1.
int Commu(int flag) {
    Tr(1, "[start]zrkcipservice_commu. iFlag=%d", flag);
    char reply[kReplyLen] = {};
    const char *command = flag == kAlive ? "zrkcipservice_alive" : "zrkcipservice_stop";
    int result = -1;
    if (zrkc_exec_cli("127.0.0.1", "zrkcipservice_user", 0, command, static_cast<int>(kReplyLen),
                      reply) != 0) {
        Tr(1, "[error]zrkcipservice_commu. zrkc_exec_cli error.");
    } else if (reply[0] == '\0') {
        Tr(1, "[error]zrkcipservice_commu. ReturnData is NULL.");
    } else if (std::strcmp(reply, "true") != 0) {
        Tr(1, "[error]zrkcipservice_commu. ReturnData is not true. %s", reply);
    } else {
        result = 0;
    }
    Tr(1, "[end  ]zrkcipservice_commu. iReturn=%d", result);
    return result;
}

// ---- the values of a start --------------------------------------------------------
//
// The service runs as root, so every file that chooses what it runs or how is
// used only when nobody but root or the caller could have put it there: the
// installation file beside the program, the runtime folder with its bin
// folder and java, the install folder with its jars folder, and the etc
// folder with the trace definition. Each is opened without following a link
// in its last component and must be owned by root or the caller and
// writable by nobody else; a value of the installation file must be an
// absolute path. Anything else refuses the start, with a trace line and a
// debug-log line naming the path.

constexpr size_t kLineMax = 510;      // characters of a line that count
constexpr size_t kArgMax = 1023;      // characters of one argument
constexpr char kDefaultLogDir[] = "/var/opt/QRVNzrkc/log";
constexpr const char *kLevels[] = {"OFF", "SEVERE", "WARNING", "INFO", "FINE"};
constexpr int kLogLevel = 16;         // debug-log level of a refused path

struct StartValues {
    std::string sJava;
    std::string sJarDir;
    std::string sLogDir;
    unsigned uiLogSize = 1;
    unsigned uiLogGen = 3;
    std::string sLevel = "INFO";
};

// The installation file in the program's own folder: argv[0] up to its last
// "/", or, when it has none (found through the search path), the folder of
// the running executable; "" when that cannot be named.
std::string InstallFilePath(const std::string &argv0) {
    const size_t slash = argv0.rfind('/');
    if (slash != std::string::npos) return argv0.substr(0, slash + 1) + zrkplatform::kInstallFileName;
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string exe = n > 0 ? std::string(self, static_cast<size_t>(n)) : "";
    const size_t end = exe.rfind('/');
    if (end == std::string::npos) {
        Tr(1, "[error]zrkcipservice_get_val GetModuleFileName error.cFilePath=%s", argv0.c_str());
        return "";
    }
    return exe.substr(0, end + 1) + zrkplatform::kInstallFileName;
}

void Refuse(const std::string &path, const char *reason) {
    Tr(1, "[error]zrkcipservice_get_val refused. cFilePath=%s (%s)", path.c_str(), reason);
    WriteLog(kLogLevel, nullptr, 0, "zrkcipservice: %s refused: %s", path.c_str(), reason);
}

enum class Found { kTrusted, kMissing, kRefused };
enum class Need { kRequired, kOptional };

// Opens name (relative to dirFd; path names it whole, for the lines) as a
// trusted file or folder into *out. An optional path that does not exist is
// kMissing, left to the caller; a required one is refused.
Found OpenTrusted(int dirFd, const std::string &name, const std::string &path, zrkplatform::PathKind kind,
                  Need need, zrkplatform::FileDescriptor *out) {
    const int fd = zrkplatform::OpenNoLink(dirFd, name.c_str(), kind);
    const int error = errno;
    *out = zrkplatform::FileDescriptor(fd);
    if (fd < 0) {
        if (error == ENOENT && need == Need::kOptional) return Found::kMissing;
        Refuse(path, error == ELOOP ? "Is a symbolic link" : std::strerror(error));
        return Found::kRefused;
    }
    if (const char *reason = zrkcli::Untrusted(out->Get())) {
        Refuse(path, reason);
        return Found::kRefused;
    }
    return Found::kTrusted;
}

// The runtime's folder, its bin folder and java: all present and trusted.
bool TrustedRuntime(const std::string &javaDir) {
    using zrkplatform::PathKind;
    const std::string bin = javaDir + "/bin";
    zrkplatform::FileDescriptor runtime, binDir, java;
    return OpenTrusted(AT_FDCWD, javaDir, javaDir, PathKind::kFolder, Need::kRequired, &runtime) ==
               Found::kTrusted &&
           OpenTrusted(runtime.Get(), "bin", bin, PathKind::kFolder, Need::kRequired, &binDir) ==
               Found::kTrusted &&
           OpenTrusted(binDir.Get(), "java", bin + "/java", PathKind::kFile, Need::kRequired, &java) ==
               Found::kTrusted;
}

// The install folder and its jars folder: trusted, or missing (a missing
// jar is the runtime's to report).
bool TrustedJars(const std::string &optDir) {
    using zrkplatform::PathKind;
    zrkplatform::FileDescriptor install, jars;
    const Found found = OpenTrusted(AT_FDCWD, optDir, optDir, PathKind::kFolder, Need::kOptional, &install);
    if (found != Found::kTrusted) return found == Found::kMissing;
    return OpenTrusted(install.Get(), "jars", optDir + "/jars", PathKind::kFolder, Need::kOptional, &jars) !=
           Found::kRefused;
}

// The lines of an open file, each without its line feed and cut to
// kLineMax characters; false when it cannot be read.
bool ReadLines(int fd, std::vector<std::string> *lines) {
    std::string text;
    if (zrkplatform::ReadWholeFile(fd, text) != 0) return false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines->push_back(text.substr(at, std::min(end - at, kLineMax)));
        at = end + 1;
    }
    return true;
}

bool StartsWith(const std::string &text, const char *prefix, std::string *rest) {
    const size_t n = std::strlen(prefix);
    if (text.compare(0, n, prefix) != 0) return false;
    *rest = text.substr(n);
    return true;
}

void ReadTraceDefinition(const std::vector<std::string> &lines, StartValues *v) {
    std::string rest;
    bool inSection = false;
    for (const std::string &line : lines) {
        if (inSection) {
            if (!line.empty() && line[0] == '[') {
                inSection = false;
                continue;
            }
            if (StartsWith(line, "ssh_size=", &rest)) {
                v->uiLogSize = static_cast<unsigned>(std::strtoul(rest.c_str(), nullptr, 10));
                Tr(2, "[info ]zrkcipservice_get_val piSshLogSize=%u cWkSshLogSize=%s", v->uiLogSize,
                   rest.c_str());
            } else if (StartsWith(line, "ssh_gen=", &rest)) {
                v->uiLogGen = static_cast<unsigned>(std::strtoul(rest.c_str(), nullptr, 10));
                Tr(2, "[info ]zrkcipservice_get_val piSshLogGen=%u cWkSshLogGen=%s", v->uiLogGen,
                   rest.c_str());
            } else if (StartsWith(line, "level=", &rest)) {
                for (const char *word : kLevels) {
                    if (rest == word) {
                        v->sLevel = rest;
                        Tr(2, "[info ]zrkcipservice_get_val pSshLogLevel=%s", rest.c_str());
                    }
                }
            }
            continue;
        }
        if (line == "[SSHLOG]") {
            inSection = true;
        } else if (StartsWith(line, "path=", &rest)) {
            v->sLogDir = rest;
            Tr(2, "[info ]zrkcipservice_get_val pLogPath=%s", rest.c_str());
        }
    }
}

// The trace definition of a trusted etc folder; false when the folder or
// the file is refused (a missing one leaves the defaults).
bool ReadTrustedTraceDefinition(const std::string &etcDir, StartValues *v) {
    using zrkplatform::PathKind;
    zrkplatform::FileDescriptor etc, definition;
    const Found folder = OpenTrusted(AT_FDCWD, etcDir, etcDir, PathKind::kFolder, Need::kOptional, &etc);
    if (folder != Found::kTrusted) return folder == Found::kMissing;
    const std::string path = etcDir + "/velkapi_trcdef.ini";
    const Found file =
        OpenTrusted(etc.Get(), "velkapi_trcdef.ini", path, PathKind::kFile, Need::kOptional, &definition);
    if (file != Found::kTrusted) return file == Found::kMissing;
    std::vector<std::string> lines;
    if (ReadLines(definition.Get(), &lines)) ReadTraceDefinition(lines, v);
    return true;
}

// True when every value of the installation file is empty or absolute.
bool AbsoluteValues(std::initializer_list<const std::string *> values) {
    for (const std::string *value : values) {
        if (!value->empty() && (*value)[0] != '/') {
            Refuse(*value, "Not an absolute path");
            return false;
        }
    }
    return true;
}

// Traces a key line of the installation file as it is read.
void TraceInstallLine(zrkplatform::InstallKey key, const std::string &value) {
    using zrkplatform::InstallKey;
    const char *name = key == InstallKey::kOptDir   ? "cWkOptDir"
                       : key == InstallKey::kEtcDir ? "cWkEtcDir"
                                                    : "cWkJavaDir";
    Tr(2, "[info ]zrkcipservice_get_val %s=%s", name, value.c_str());
}

// 0, or -1 when the installation file cannot be found or read, or a path
// it leads to is refused.
int GetValues(const std::string &argv0, StartValues *v) {
    Tr(1, "[start]zrkcipservice_get_val");
    int result = -1;
    const std::string path = InstallFilePath(argv0);
    zrkplatform::FileDescriptor file;
    zrkplatform::InstallValues values;
    Found found = Found::kMissing;
    if (!path.empty()) {
        found = OpenTrusted(AT_FDCWD, path, path, zrkplatform::PathKind::kFile, Need::kOptional, &file);
        if (found == Found::kMissing ||
            (found == Found::kTrusted && zrkplatform::ReadInstallFile(file.Get(), values, TraceInstallLine) != 0)) {
            Tr(1, "[error]zrkcipservice_get_val fopen error. cFilePath=%s", path.c_str());
            found = Found::kMissing;
        }
    }
    if (found == Found::kTrusted) {
        using zrkplatform::InstallKey;
        const std::string optDir = values.Get(InstallKey::kOptDir).value_or("");
        const std::string etcDir = values.Get(InstallKey::kEtcDir).value_or("");
        const std::string javaDir = values.Get(InstallKey::kJreDir).value_or("");
        v->sJarDir = optDir + "/jars";
        v->sJava = javaDir.empty() ? "java" : javaDir + "/bin/java";
        Tr(2, "[start]zrkcipservice_deflogdir");
        v->sLogDir = kDefaultLogDir;
        Tr(2, "[end  ]zrkcipservice_deflogdir");
        if (AbsoluteValues({&optDir, &etcDir, &javaDir}) &&
            (javaDir.empty() || TrustedRuntime(javaDir)) &&
            (optDir.empty() || TrustedJars(optDir)) &&
            (etcDir.empty() || ReadTrustedTraceDefinition(etcDir, v))) {
            result = 0;
        }
    }
    Tr(1, "[end  ]zrkcipservice_get_val iReturn=%d", result);
    return result;
}

// The service's argument vector; false when an entry would be too long.
bool BuildArguments(const StartValues &v, const Settings &s, std::vector<std::string> *args) {
    const std::string &jars = v.sJarDir;
    *args = {v.sJava,
             "-classpath",
             jars + ":" + jars + "/ganymed-ssh2-build250.jar",
             "-jar",
             jars + "/zrkc.jar",
             std::to_string(s.iPort),
             std::to_string(s.iTimeOut),
             std::to_string(s.iTimeOut),
             std::to_string(s.iLogoutTimer),
             v.sLogDir,
             "sshlog",
             std::to_string(v.uiLogSize),
             std::to_string(v.uiLogGen),
             v.sLevel,
             std::to_string(s.iTimeOut),
             std::to_string(s.iLoop)};
    for (size_t i = 0; i < args->size(); ++i) {
        if ((*args)[i].size() > kArgMax) {
            Tr(1, "[error]zrkcipservice_start. cArgsParam%03zu too long.", i);
            return false;
        }
    }
    return true;
}

// ---- the service's process --------------------------------------------------------
//
// The service keeps nothing of the administrator's process: its descriptors
// 0-2 are /dev/null (unless -show keeps the program's own on the terminal)
// and none above them stays open, umask 022, the folder "/", no blocked or
// ignored signal, a session of its own (unless -show keeps it in the
// terminal's), and an environment of its own: the system's search path and
// a plain LANG of the caller's (else "C").

constexpr mode_t kServiceUmask = 022;
constexpr char kServicePath[] = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";

// A locale name without anything that could name a file: letters, digits
// and "_.-@".
bool PlainLocale(const char *name) {
    if (name == nullptr || name[0] == '\0') return false;
    for (const char *c = name; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)) == 0 && std::strchr("_.-@", *c) == nullptr) return false;
    }
    return true;
}

std::vector<std::string> ServiceEnvironment() {
    const char *lang = std::getenv("LANG");
    return {kServicePath, std::string("LANG=") + (PlainLocale(lang) ? lang : "C")};
}

// Marks every descriptor above 2 close-on-exec (the trace's own stay usable
// for the line of a failed exec).
void CloseAboveStandardOnExec() {
    if (close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
    DIR *dir = opendir("/proc/self/fd");
    if (dir == nullptr) return;
    const int own = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (*end == '\0' && end != entry->d_name && fd > STDERR_FILENO && fd != own) {
            fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        }
    }
    closedir(dir);
}

// The child: the service, in the process state above.
[[noreturn]] void RunService(const std::vector<std::string> &args, const std::vector<std::string> &env,
                             bool show) {
    umask(kServiceUmask);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) signal(sig, SIG_DFL);
    }
    if (chdir("/") != 0) {
        Tr(1, "[error]zrkcipservice_start. chdir error. errno=%d", errno);
        _exit(1);
    }
    if (!show) {
        setsid();
        const int null = zrkplatform::sys::Open("/dev/null", O_RDWR | O_NOCTTY);
        if (null < 0) {
            Tr(1, "[error]zrkcipservice_start. open error. errno=%d", errno);
            _exit(1);
        }
        for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) dup2(null, fd);
        if (null > STDERR_FILENO) zrkplatform::sys::Close(null);
    }
    CloseAboveStandardOnExec();
    std::vector<char *> argv, envp;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string &e : env) envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    // "java" without a folder is found through the service's own PATH.
    environ = envp.data();
    execvp(argv[0], argv.data());
    Tr(1, "[error]zrkcipservice_start. execvp error. errno=%d", errno);
    _exit(1);
}

void Pause(long microseconds) {
    timeval wait{0, microseconds};
    select(0, nullptr, nullptr, nullptr, &wait);
}

constexpr long kTickUs = 200000;   // between two alive checks
constexpr int kAliveTries = 25;
constexpr long kEndTickUs = 50000; // between two looks at a service asked to end
constexpr int kEndTicks = 20;      // looks before it is killed

// Sends sig to the service's session (its process group, of which the child
// leads), or with -show to the child alone.
void SignalService(pid_t child, int sig) {
    if (kill(-child, sig) != 0) kill(child, sig);
}

// Ends a service that did not answer: SIGTERM, a second to go, then
// SIGKILL, and the child is reaped. It is not reaped before SIGKILL, so
// that its id (and its group's) cannot name another process meanwhile.
void EndService(pid_t child) {
    Tr(1, "[info ]zrkcipservice_start. ending the service. pid=%d", static_cast<int>(child));
    SignalService(child, SIGTERM);
    for (int i = 0; i < kEndTicks; ++i) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == child) {
            break;
        }
        Pause(kEndTickUs);
    }
    SignalService(child, SIGKILL);
    int status = 0;
    zrkplatform::sys::WaitPid(child, &status, 0);
    Tr(1, "[info ]zrkcipservice_start. service ended. iStatus=%d", status);
}

int Start(const std::string &argv0, bool show, const Settings &s) {
    Tr(1, "[start]zrkcipservice_start. iShow=%d iPortNo=%d iTimeOut=%d, iVastrelTimer=%d", show ? 1 : 0,
       s.iPort, s.iTimeOut, s.iLogoutTimer);
    int result = 1;
    StartValues values;
    std::vector<std::string> args;
    if (Commu(kAlive) == 0) {
        std::fputs(zrkc::TextOf(zrkc::Msg::ServiceRunning), stdout);
        Tr(1, "[info ]zrkcipservice_start. service is already running.");
        result = 0;
    } else if (GetValues(argv0, &values) != 0) {
        Tr(1, "[error]zrkcipservice_start. zrkcipservice_get_val error.");
    } else if (!BuildArguments(values, s, &args)) {
        // an entry too long is a failed start, never a cut argument
    } else {
        signal(SIGCHLD, SIG_DFL);
        for (size_t i = 0; i < args.size(); ++i) Tr(2, "cArgsParam%03zu=%s", i, args[i].c_str());
        const std::vector<std::string> env = ServiceEnvironment();
        Tr(2, "[info ]zrkcipservice_start. exec fork.");
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child < 0) {
            Tr(1, "[error]zrkcipservice_start. fork error. errno=%d", errno);
        } else if (child == 0) {
            RunService(args, env, show);
        } else {
            bool alive = false;
            for (int i = 0; i < kAliveTries && !alive; ++i) {
                Pause(kTickUs);
                alive = Commu(kAlive) == 0;
            }
            if (!alive) {
                Tr(1, "[error]zrkcipservice_start. Not Alive.");
                EndService(child);
            } else {
                result = 0;
                if (show) {
                    Tr(2, "[info ]zrkcipservice_start. before waitpid.");
                    int status = 0;
                    zrkplatform::sys::WaitPid(child, &status, WUNTRACED);
                    Tr(2, "[info ]zrkcipservice_start. after waitpid. iwipRetCode=%d", status);
                }
            }
        }
    }
    Tr(1, "[end  ]zrkcipservice_start. iReturn=%d", result);
    return result;
}

// ---- the command line -----------------------------------------------------------

// The action, or 0 for a usage error.
int Parse(int argc, char **argv, bool *show) {
    int action = 0;
    if (argc == 2 || argc == 3) {
        if (std::strcmp(argv[1], "start") == 0) {
            action = kActionStart;
            if (argc == 3) {
                if (std::strcmp(argv[2], "-show") == 0) {
                    *show = true;
                } else {
                    Tr(1, "[error] in start. argv[2]=%s", argv[2]);
                    action = 0;
                }
            }
        } else if (std::strcmp(argv[1], "stop") == 0) {
            action = kActionStop;
            if (argc == 3) {
                Tr(1, "[error] in stop. argc=%d", argc);
                action = 0;
            }
        } else {
            Tr(1, "[error] argv[1]=%s", argv[1]);
        }
    } else {
        Tr(1, "[error] argc=%d", argc);
    }
    Tr(1, "[end  ]zrkcipservice_parse_param. iReturn=%d iParam1=%d iShow=%d", action == 0 ? -1 : 0,
       action, *show ? 1 : 0);
    return action;
}

int Run(int argc, char **argv) {
    bool show = false;
    const int action = Parse(argc, argv, &show);
    if (action == 0) {
        std::fprintf(stderr, "Usage : zrkcipservice %s [%s]\n", "start", "-show");
        std::fprintf(stderr, "Usage : zrkcipservice %s\n", "stop");
        return 2;
    }
    Settings settings;
    if (!ReadSettings(&settings)) {
        std::fputs(zrkc::TextOf(zrkc::Msg::ServiceStart), stderr);
        return 2;
    }
    if (action == kActionStop) {
        const int r = Commu(kStop);
        Tr(1, "[end  ]zrkcipservice_stop. iWkRet=%d", r);
        return 0;
    }
    const std::string argv0 = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    if (Start(argv0, show, settings) != 0) {
        std::fputs(zrkc::TextOf(zrkc::Msg::ServiceStart), stderr);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    zrkcli::OpenStandardDescriptors();
    gTrace.iPid = static_cast<int>(getpid());
    ZRKC_OpenTrace(&gTrace.tHandle, "ZRKC");
    Tr(1, "[START] zrkcipservice.");
    const int ret = Run(argc, argv);
    Tr(1, "[END  ] zrkcipservice. iRet=%d", ret);
    ZRKC_CloseTrace(&gTrace.tHandle);
    return ret;
}
