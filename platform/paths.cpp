// Installation paths: the etc directory of the stores and the properties, the
// bin directory of the error catalogues, and the management server's device
// list. A path that does not fit its caller's buffer is an error: a cut path
// would name another file.
//
// The installation file is read once per process: what it gave is kept with
// the file's identity (device, inode, size, change and modification times)
// and read again only when QRVNZRKC_PATH names another file or the file has
// changed since. A file changed within the last moments before it was read
// is not kept: a second change within the same tick of the file clock would
// leave its times as they were.
#include "platform.h"

#include "fileread.h"
#include "installfile.h"
#include "sysio.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

using namespace zrkplatform;

namespace {

constexpr const char *kDefaultEtcRoot = "/etc/opt/QRVNzrkc";
constexpr size_t kRootMax = 8192;
constexpr int64_t kRecentNs = 50'000'000; // a change this recent may hide another

bool CopyOut(const std::string &path, char *out) {
    if (path.size() >= ZRK_PATH_LEN) return false;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

bool IsDirectory(const char *path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// What reading the installation file gave: 0 with the etc directory, 1 no
// usable file, 2 no etc directory in it.
struct InstallInfo {
    int iResult = 1;
    std::string sEtcDir;
};

// The installation file as last read by this process.
struct InstallCache {
    bool bValid = false;
    std::string sFile;     // the file's path
    struct stat tFile {};  // its identity when read
    InstallInfo tInfo;
};

std::mutex gInstallMutex;
InstallCache gInstall;

bool SameVersion(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

bool Absolute(const std::string &dir) { return !dir.empty() && dir.front() == '/'; }

int64_t Nanoseconds(const struct timespec &t) {
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Reads the installation file at path. An etc or opt folder that is not an
// absolute path makes the file unusable (its stores would be looked up
// relative to wherever the program runs). false when the file cannot be
// opened or examined; a failed read ends the file.
bool ReadInstallInfo(const std::string &path, struct stat &identity, InstallInfo &info) {
    FileDescriptor file(sys::Open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0 || fstat(file.Get(), &identity) != 0) return false;
    InstallValues values;
    (void)ReadInstallFile(file.Get(), values);
    const std::optional<std::string> &etcDir = values.Get(InstallKey::kEtcDir);
    const std::optional<std::string> &optDir = values.Get(InstallKey::kOptDir);
    info = InstallInfo();
    if ((optDir && !Absolute(*optDir)) || (etcDir && !Absolute(*etcDir))) {
        info.iResult = 1;
    } else if (!etcDir) {
        info.iResult = 2;
    } else {
        info.iResult = 0;
        info.sEtcDir = *etcDir;
    }
    return true;
}

// What the installation file at path gives, read when this process has not
// read this version of it yet.
InstallInfo InstallFileInfo(const std::string &path) {
    struct timespec clock {};
    clock_gettime(CLOCK_REALTIME, &clock);
    struct stat now {};
    if (stat(path.c_str(), &now) != 0) return InstallInfo();
    std::lock_guard<std::mutex> hold(gInstallMutex);
    if (gInstall.bValid && gInstall.sFile == path && SameVersion(gInstall.tFile, now)) {
        return gInstall.tInfo;
    }
    gInstall.bValid = false;
    InstallInfo info;
    struct stat identity {};
    if (!ReadInstallInfo(path, identity, info)) return InstallInfo();
    const int64_t changed = std::max(Nanoseconds(identity.st_mtim), Nanoseconds(identity.st_ctim));
    if (changed + kRecentNs < Nanoseconds(clock)) {
        gInstall.sFile = path;
        gInstall.tFile = identity;
        gInstall.tInfo = info;
        gInstall.bValid = true;
    }
    return info;
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

    const InstallInfo info = InstallFileInfo(InstallFileUnder(base));
    if (info.iResult != 0) {
        VelkErrEnd("buildpathname", __LINE__);
        return info.iResult;
    }
    if (!CopyOut(info.sEtcDir + "/" + name, out)) {
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
