// Installation paths: the etc directory of the stores and the properties, the
// bin directory of the error catalogues, and the management server's device
// list. A path that does not fit its caller's buffer is an error: a cut path
// would name another file.
#include "platform.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace zrkplatform;

namespace {

constexpr const char *kDefaultEtcRoot = "/etc/opt/QRVNzrkc";
constexpr const char *kInstallFile = "/bin/.zrkc_install.sys";
constexpr size_t kRootMax = 8192;
constexpr size_t kInstallLineMax = 8192;

bool CopyOut(const std::string &path, char *out) {
    if (path.size() >= ZRK_PATH_LEN) return false;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

bool IsDirectory(const char *path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

extern "C" int buildpathname(const char *name, char *out) {
    const char *root = std::getenv("QRVNZRKC_PATH");
    if (root == nullptr) {
        std::string path = std::string(kDefaultEtcRoot) + "/etc/" + name;
        if (!CopyOut(path, out)) {
            VelkErrEnd("buildpathname", "too long", __LINE__);
            return 3;
        }
        return 0;
    }

    std::string base(root, strnlen(root, kRootMax));
    if (!base.empty() && base.back() == '/') base.pop_back();

    std::string installFile = base + kInstallFile;
    FILE *fp = std::fopen(installFile.c_str(), "re");
    if (fp == nullptr) {
        VelkErrEnd("buildpathname", __LINE__);
        return 1;
    }
    std::string etcDir;
    bool haveEtc = false;
    std::string line(kInstallLineMax, '\0');
    while (std::fgets(line.data(), static_cast<int>(line.size()), fp) != nullptr) {
        std::string_view text(line.c_str());
        if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
        if (text.starts_with("zrkc_etcdir=")) {
            etcDir = text.substr(std::strlen("zrkc_etcdir="));
            haveEtc = true;
        }
    }
    std::fclose(fp);
    if (!haveEtc) {
        VelkErrEnd("buildpathname", __LINE__);
        return 2;
    }
    if (!CopyOut(etcDir + "/" + name, out)) {
        VelkErrEnd("buildpathname", "too long", __LINE__);
        return 3;
    }
    return 0;
}

extern "C" int build_directory_path(int flag, char *out) {
    if (flag != 0) return -1;
    const char *root = std::getenv("QRVNZRKC_PATH");
    std::string dir;
    if (root != nullptr && root[0] != '\0') {
        dir = std::string(root) + "/bin";
    } else if (IsDirectory("/opt/QRVNwxapi/64/bin")) {
        dir = "/opt/QRVNwxapi/64/bin";
    } else {
        dir = "/opt/QRVNzrkc/64/bin";
    }
    return CopyOut(dir, out) ? 0 : -1;
}

extern "C" int get_dovr_device_file(char *out) {
    std::snprintf(out, ZRK_PATH_LEN, "%s/%s/%s", "/var/opt/QRVNzrks", "database",
                  "KelmorList.xml");
    return 0;
}
