// Fuzzes the properties loader: arbitrary bytes as etc/zrkc.ini, then a full
// load and every kind of lookup, and the release of the list.
#include "fuzz_file.h"
#include "platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string gRoot;         // temporary installation root
std::string gProperties;   // its etc/zrkc.ini

void remove_root() {
    unlink(gProperties.c_str());
    unlink((gRoot + "/bin/.zrkc_install.sys").c_str());
    rmdir((gRoot + "/etc").c_str());
    rmdir((gRoot + "/bin").c_str());
    rmdir(gRoot.c_str());
}

bool write_file(const std::string &path, const void *data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n <= 0) {
            close(fd);
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return close(fd) == 0;
}

const char *const kKeys[] = {
    "mode", "split", "recovery", "interval", "count", "path", "max_grouping_ses",
    "CompatibleVersion", "ssh_port_number", "ssh_timeout", "ssh_logout_timer", "ssh_loop",
    "RVZ_stacktimer", "unknown", "",
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    gRoot = zrkfuzz::MakeScratchDir("fuzz_properties");
    if (mkdir((gRoot + "/bin").c_str(), 0700) != 0 || mkdir((gRoot + "/etc").c_str(), 0700) != 0) {
        std::abort();
    }
    std::string install = "zrkc_etcdir=" + gRoot + "/etc\n";
    if (!write_file(gRoot + "/bin/.zrkc_install.sys", install.data(), install.size())) std::abort();
    gProperties = gRoot + "/etc/zrkc.ini";
    setenv("QRVNZRKC_PATH", gRoot.c_str(), 1);
    std::atexit(remove_root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!write_file(gProperties, data, size)) std::abort();

    ReturnInfo ri {};
    expand_properties(&ri);
    release_properties();

    for (const char *key : kKeys) {
        ri = {};
        const char *value = get_properties(key, &ri);
        if (value != nullptr) (void)std::string(value);
        ri = {};
        (void)get_properties_int(key, &ri);
    }
    release_properties();

    // One line of the input straight through the line check.
    std::string line(reinterpret_cast<const char *>(data), size);
    ri = {};
    parse_line(line.c_str(), &ri);
    release_properties();
    return 0;
}
