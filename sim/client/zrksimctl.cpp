// zrksimctl: sends one control command to a running zrksim and prints the
// reply.
//   zrksimctl [--control PATH] COMMAND [ARG...]
// PATH defaults to $ZRK_SIM_CONTROL. Exit 0 ok, 1 error reply, 2 usage,
// 3 simulator not reachable.
#include "sim_client.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

int main(int argc, char **argv) {
    std::string control;
    int i = 1;
    if (i + 1 < argc && std::string(argv[i]) == "--control") {
        control = argv[i + 1];
        i += 2;
    } else if (const char *env = std::getenv("ZRK_SIM_CONTROL")) {
        control = env;
    }
    if (control.empty() || i >= argc) {
        std::fputs("usage: zrksimctl [--control PATH] COMMAND [ARG...]\n"
                   "       (PATH defaults to $ZRK_SIM_CONTROL)\n",
                   stderr);
        return 2;
    }
    std::string line;
    for (; i < argc; ++i) line += (line.empty() ? "" : " ") + std::string(argv[i]);
    try {
        zrksim::Reply reply = zrksim::controlCommand(control, line);
        if (!reply.ok) {
            std::fprintf(stderr, "zrksimctl: %s\n", reply.error.c_str());
            return 1;
        }
        for (const std::string &l : reply.lines) std::printf("%s\n", l.c_str());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zrksimctl: %s\n", e.what());
        return 3;
    }
    return 0;
}
