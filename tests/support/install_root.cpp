#include "install_root.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zrktest {

namespace fs = std::filesystem;

std::string makeTempDir() {
    std::string base = fs::temp_directory_path().string() + "/zrktest.XXXXXX";
    if (mkdtemp(base.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return base;
}

void removeTree(const std::string &path) {
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool exists(const std::string &path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

void InstallRoot::write(const std::string &relative, const std::string &text) const {
    std::ofstream out(path(relative), std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + relative);
}

InstallRoot::InstallRoot() : sRoot(makeTempDir()) {
    // The folders are the test's own and closed to others whatever the umask:
    // the library refuses a log folder that group or others may write.
    for (const char *dir : {"bin", "etc", "trace", "log"}) {
        fs::create_directories(path(dir));
        fs::permissions(path(dir), fs::perms::owner_all | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read |
                                       fs::perms::others_exec);
    }
    write("bin/.zrkc_install.sys",
          "zrkc_optdir=" + sRoot + "\nzrkc_etcdir=" + etc() + "\nzrkc_jredir=/usr\n");
    const std::string data = std::string(ZRK_SOURCE_DIR) + "/data/";
    fs::copy_file(data + ".zrk_errinf_wxapi", bin() + "/.zrk_errinf_wxapi");
    fs::copy_file(data + ".zrk_errinf_velk", bin() + "/.zrk_errinf_velk");
    fs::copy_file(data + "zrkc.ini", etc() + "/zrkc.ini");
    writeTraceDefinition("[TRACEDEFINE]\npath=" + traceDir() +
                         "\nsize=4\ngen=2\nmax=4\n[ZRKC]\nlevel=5\n[WXAPI]\nlevel=5\n");
    setenv("QRVNZRKC_PATH", sRoot.c_str(), 1);
    setenv("WXAPI_LOG_PATH", logDir().c_str(), 1);
}

namespace {

// The files of a folder, one after another; hidden ones (locks) left out
// when asked.
std::string FolderText(const std::string &dir, bool skipHidden) {
    std::string all;
    for (const auto &entry : fs::directory_iterator(dir)) {
        if (skipHidden && entry.path().filename().string().front() == '.') continue;
        all += readFile(entry.path().string());
    }
    return all;
}

}  // namespace

std::string InstallRoot::traceText() const { return FolderText(traceDir(), false); }

std::string InstallRoot::logText() const { return FolderText(logDir(), true); }

InstallRoot::~InstallRoot() { removeTree(sRoot); }

}  // namespace zrktest
