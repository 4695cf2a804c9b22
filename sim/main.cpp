// zrksim: the VASTREL array simulator daemon.
//   zrksim --scenario FILE --socket PATH [--control PATH] [--lan-port N] [--record FILE]
//   zrksim --check FILE
//
// --record: before anything else the daemon writes the process state it was
// started with into FILE, one item a line: "fd N TARGET" for each open
// descriptor, "umask 0NNN", "cwd PATH", "session-leader 0|1", and "env
// NAME=VALUE" for each variable. The program tests that start the daemon as
// the LAN interface management service read it.
#include "faults.h"
#include "scenario.h"
#include "server.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern char **environ;

namespace {

int usage() {
    std::fputs("usage: zrksim --scenario FILE --socket PATH [--control PATH] [--lan-port N] [--record FILE]\n"
               "       zrksim --check FILE\n",
               stderr);
    return 2;
}

// Writes the process state the daemon was started with (see above); false
// when the record cannot be written.
bool recordProcess(const std::string &path) {
    std::string text;
    if (DIR *dir = opendir("/proc/self/fd")) {
        const int own = dirfd(dir);
        while (const dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own) continue;
            char target[PATH_MAX] = {};
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
            text += std::string("fd ") + entry->d_name + " " + (n > 0 ? target : "?") + "\n";
        }
        closedir(dir);
    }
    const mode_t mask = umask(0);
    umask(mask);
    char line[64];
    std::snprintf(line, sizeof line, "umask %04o\n", static_cast<unsigned>(mask));
    text += line;
    char cwd[PATH_MAX] = {};
    text += std::string("cwd ") + (getcwd(cwd, sizeof cwd) != nullptr ? cwd : "?") + "\n";
    text += std::string("session-leader ") + (getsid(0) == getpid() ? "1" : "0") + "\n";
    for (char **e = environ; e != nullptr && *e != nullptr; ++e) text += std::string("env ") + *e + "\n";
    FILE *out = std::fopen(path.c_str(), "we");
    if (out == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}

}  // namespace

int main(int argc, char **argv) {
    std::string scenario, socket, control, check, lanPort, record;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string *target = arg == "--scenario" ? &scenario
                              : arg == "--socket" ? &socket
                              : arg == "--control" ? &control
                              : arg == "--check"  ? &check
                              : arg == "--lan-port" ? &lanPort
                              : arg == "--record" ? &record
                                                  : nullptr;
        if (target == nullptr || i + 1 >= argc) return usage();
        *target = argv[++i];
    }
    if (!record.empty() && !recordProcess(record)) {
        std::fprintf(stderr, "zrksim: cannot write %s\n", record.c_str());
        return 1;
    }
    zrksim::Model model;
    std::string error;
    if (!check.empty()) {
        if (!scenario.empty() || !socket.empty() || !control.empty()) return usage();
        if (zrksim::loadScenario(check, model, error)) return 0;
        std::fprintf(stderr, "zrksim: %s\n", error.c_str());
        return 2;
    }
    if (scenario.empty() || socket.empty()) return usage();
    int lan = -1;
    if (!lanPort.empty()) {
        char *end = nullptr;
        long port = std::strtol(lanPort.c_str(), &end, 10);
        if (*end != '\0' || port < 0 || port > 65535 || lanPort[0] == '-' || lanPort[0] == '+') return usage();
        lan = static_cast<int>(port);
    }
    if (control.empty()) control = socket + ".ctl";
    if (!zrksim::loadScenario(scenario, model, error)) {
        std::fprintf(stderr, "zrksim: %s\n", error.c_str());
        return 2;
    }
    zrksim::SimState state;
    state.reset(std::move(model));
    zrksim::Server server(state);
    if (!server.listen(socket, control, lan, error)) {
        std::fprintf(stderr, "zrksim: %s\n", error.c_str());
        return 1;
    }
    if (state.lan.iPort >= 0) std::fprintf(stderr, "zrksim: lan port %d\n", state.lan.iPort);
    std::fputs("zrksim: ready\n", stderr);
    if (!server.run(error)) {
        std::fprintf(stderr, "zrksim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
