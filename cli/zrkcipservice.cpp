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
// file and the trace definition file. Progress lines go to the binary trace
// under the name "ZRKC".
#include "zrkc.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

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

constexpr char kFailedStart[] = "ZRKC1902 ERROR Failed to start the LAN interface management service.\n";
constexpr char kAlreadyRunning[] = "ZRKC1901 INFO The LAN interface management service is already running.";

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

constexpr size_t kLineMax = 510;      // characters of a line that count
constexpr size_t kArgMax = 1023;      // characters of one argument
constexpr char kInstallFile[] = ".zrkc_install.sys";
constexpr char kProgram[] = "zrkcipservice";
constexpr char kDefaultLogDir[] = "/var/opt/QRVNzrkc/log";
constexpr const char *kLevels[] = {"OFF", "SEVERE", "WARNING", "INFO", "FINE"};

struct StartValues {
    std::string sJava;
    std::string sJarDir;
    std::string sLogDir;
    unsigned uiLogSize = 1;
    unsigned uiLogGen = 3;
    std::string sLevel = "INFO";
};

bool Exists(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// The installation file beside the program; "" when it cannot be named.
std::string InstallFilePath(const std::string &argv0) {
    if (argv0.rfind(kProgram, 0) == 0) {
        // Found through the search path: the fixed install folders.
        for (const char *dir : {"/opt/QRVNzrkc/32/bin", "/opt/QRVNzrkc/64/bin"}) {
            const std::string path = std::string(dir) + "/" + kInstallFile;
            if (Exists(path)) return path;
        }
        Tr(1, "[error]zrkcipservice_get_val GetModuleFileName error.cFilePath=%s", argv0.c_str());
        return "";
    }
    const size_t at = argv0.find(kProgram);
    if (at != std::string::npos) return argv0.substr(0, at) + kInstallFile;
    // Another name: the folder of the running executable.
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string exe = n > 0 ? std::string(self, static_cast<size_t>(n)) : "";
    const size_t slash = exe.rfind('/');
    if (slash == std::string::npos) {
        Tr(1, "[error]zrkcipservice_get_val GetModuleFileName error.cFilePath=%s", argv0.c_str());
        return "";
    }
    return exe.substr(0, slash + 1) + kInstallFile;
}

// The next line without its line feed, cut to kLineMax characters.
bool NextLine(std::ifstream &in, std::string *line) {
    if (!std::getline(in, *line)) return false;
    if (line->size() > kLineMax) line->resize(kLineMax);
    return true;
}

bool StartsWith(const std::string &text, const char *prefix, std::string *rest) {
    const size_t n = std::strlen(prefix);
    if (text.compare(0, n, prefix) != 0) return false;
    *rest = text.substr(n);
    return true;
}

void ReadTraceDefinition(const std::string &etcDir, StartValues *v) {
    std::ifstream in(etcDir + "/velkapi_trcdef.ini");
    if (!in) return;  // the defaults stand
    std::string line, rest;
    bool inSection = false;
    while (NextLine(in, &line)) {
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

// 0, or -1 when the installation file cannot be found or read.
int GetValues(const std::string &argv0, StartValues *v) {
    Tr(1, "[start]zrkcipservice_get_val");
    int result = -1;
    const std::string path = InstallFilePath(argv0);
    std::ifstream in;
    if (!path.empty()) {
        in.open(path);
        if (!in) Tr(1, "[error]zrkcipservice_get_val fopen error. cFilePath=%s", path.c_str());
    }
    if (in) {
        std::string optDir, etcDir, javaDir, line, rest;
        while (NextLine(in, &line)) {
            if (StartsWith(line, "zrkc_optdir=", &rest)) {
                optDir = rest;
                Tr(2, "[info ]zrkcipservice_get_val cWkOptDir=%s", optDir.c_str());
            } else if (StartsWith(line, "zrkc_etcdir=", &rest)) {
                etcDir = rest;
                Tr(2, "[info ]zrkcipservice_get_val cWkEtcDir=%s", etcDir.c_str());
            } else if (StartsWith(line, "zrkc_jredir=", &rest)) {
                javaDir = rest;
                Tr(2, "[info ]zrkcipservice_get_val cWkJavaDir=%s", javaDir.c_str());
            }
        }
        v->sJarDir = optDir + "/jars";
        v->sJava = javaDir.empty() ? "java" : javaDir + "/bin/java";
        Tr(2, "[start]zrkcipservice_deflogdir");
        v->sLogDir = kDefaultLogDir;
        Tr(2, "[end  ]zrkcipservice_deflogdir");
        if (!etcDir.empty()) ReadTraceDefinition(etcDir, v);
        result = 0;
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

// The child: the service, with /dev/null on 0-2 unless its output is shown.
[[noreturn]] void RunService(const std::vector<std::string> &args, bool show) {
    if (!show) {
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        for (int fd = 0; fd <= 2 && null >= 0; ++fd) dup2(null, fd);
    }
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    Tr(1, "[error]zrkcipservice_start. execvp error. errno=%d", errno);
    _exit(1);
}

void WaitTick() {
    constexpr long kTickUs = 200000;
    timeval wait{0, kTickUs};
    select(0, nullptr, nullptr, nullptr, &wait);
}

constexpr int kAliveTries = 25;

int Start(const std::string &argv0, bool show, const Settings &s) {
    Tr(1, "[start]zrkcipservice_start. iShow=%d iPortNo=%d iTimeOut=%d, iVastrelTimer=%d", show ? 1 : 0,
       s.iPort, s.iTimeOut, s.iLogoutTimer);
    int result = 1;
    StartValues values;
    std::vector<std::string> args;
    if (Commu(kAlive) == 0) {
        std::printf("%s\n", kAlreadyRunning);
        Tr(1, "[info ]zrkcipservice_start. service is already running.");
        result = 0;
    } else if (GetValues(argv0, &values) != 0) {
        Tr(1, "[error]zrkcipservice_start. zrkcipservice_get_val error.");
    } else if (!BuildArguments(values, s, &args)) {
        // an entry too long is a failed start, never a cut argument
    } else {
        signal(SIGCHLD, SIG_DFL);
        for (size_t i = 0; i < args.size(); ++i) Tr(2, "cArgsParam%03zu=%s", i, args[i].c_str());
        Tr(2, "[info ]zrkcipservice_start. exec fork.");
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child < 0) {
            Tr(1, "[error]zrkcipservice_start. fork error. errno=%d", errno);
        } else if (child == 0) {
            RunService(args, show);
        } else {
            bool alive = false;
            for (int i = 0; i < kAliveTries && !alive; ++i) {
                WaitTick();
                alive = Commu(kAlive) == 0;
            }
            if (!alive) {
                Tr(1, "[error]zrkcipservice_start. Not Alive.");
            } else {
                result = 0;
                if (show) {
                    Tr(2, "[info ]zrkcipservice_start. before waitpid.");
                    int status = 0;
                    while (waitpid(child, &status, WUNTRACED) < 0 && errno == EINTR) {
                    }
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
        std::fputs(kFailedStart, stderr);
        return 2;
    }
    if (action == kActionStop) {
        const int r = Commu(kStop);
        Tr(1, "[end  ]zrkcipservice_stop. iWkRet=%d", r);
        return 0;
    }
    const std::string argv0 = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    if (Start(argv0, show, settings) != 0) {
        std::fputs(kFailedStart, stderr);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    gTrace.iPid = static_cast<int>(getpid());
    ZRKC_OpenTrace(&gTrace.tHandle, "ZRKC");
    Tr(1, "[START] zrkcipservice.");
    const int ret = Run(argc, argv);
    Tr(1, "[END  ] zrkcipservice. iRet=%d", ret);
    ZRKC_CloseTrace(&gTrace.tHandle);
    return ret;
}
