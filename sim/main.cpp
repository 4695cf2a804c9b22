// zrksim: the VASTREL array simulator daemon.
//   zrksim --scenario FILE --socket PATH [--control PATH] [--lan-port N]
//   zrksim --check FILE
#include "faults.h"
#include "scenario.h"
#include "server.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fputs("usage: zrksim --scenario FILE --socket PATH [--control PATH] [--lan-port N]\n"
               "       zrksim --check FILE\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    std::string scenario, socket, control, check, lanPort;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string *target = arg == "--scenario" ? &scenario
                              : arg == "--socket" ? &socket
                              : arg == "--control" ? &control
                              : arg == "--check"  ? &check
                              : arg == "--lan-port" ? &lanPort
                                                  : nullptr;
        if (target == nullptr || i + 1 >= argc) return usage();
        *target = argv[++i];
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
