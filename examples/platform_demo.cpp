// A walk through the platform services as a program on the host sees them
// through the public header: error texts, the debug log and the trace files.
// Run by "tools/run.sh demo" against an installed tree under build-demo/root.
#include "zrkapi.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void show_folder(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] != '.' || std::strlen(e->d_name) > 2) names.emplace_back(e->d_name);
        }
        closedir(d);
    }
    std::printf("  %s:", dir.c_str());
    for (const auto &n : names) std::printf(" %s", n.c_str());
    std::printf("\n");
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s INSTALL_ROOT\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];

    std::printf("== error texts\n");
    for (int code : {2, 34, 37, 99, 12345}) {
        const char *text = ZRKstrerror(code);
        std::printf("  %5d  %s%s", code, text, std::strchr(text, '\n') ? "" : "\n");
    }
    ZRKerrno = 34;
    std::fflush(stdout);
    ZRKperror("  ZRKperror");

    std::printf("== debug log (WXAPI_LOG_FLAG=%s)\n", std::getenv("WXAPI_LOG_FLAG"));
    const unsigned char box[ZRK_BOXID_LEN] = "VASTREL-DEMO-0001";
    WriteLog(2, nullptr, 0, "platform_demo in [%s] [%d]", "/dev/sdb", __LINE__);
    WriteLog(16, box, sizeof box, "BoxID");
    WriteLog(2, nullptr, 0, "platform_demo OK end [%s] [%d]", "/dev/sdb", __LINE__);
    show_folder(root + "/log");

    std::printf("== trace files\n");
    TraceHandle handle {};
    if (ZRKC_OpenTrace(&handle, "ZRKC") != 0) {
        std::printf("  ZRKC_OpenTrace failed: 0x%x\n", static_cast<unsigned>(errno));
        return 1;
    }
    std::printf("  opened trace ZRKC: slot %u, generation %u, level %u\n", handle.uiSlot,
                handle.uiGeneration, handle.uiLevel);
    const char *lines[] = {"zrkc_demo start. [1]", "zrkc_demo normal_end. [2]"};
    for (const char *line : lines) {
        int rc = ZRKC_OutputTrace(&handle, 1, static_cast<int>(getpid()), 0, 1,
                                  static_cast<int>(std::strlen(line)), line);
        std::printf("  record \"%s\": %s\n", line, rc == 0 ? "written" : "failed");
    }
    ZRKC_CloseTrace(&handle);
    show_folder(root + "/log");
    return 0;
}
