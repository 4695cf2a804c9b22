// A private installation root for the fuzz targets that read the library's
// own files: bin/.zrkc_install.sys naming root/etc, QRVNZRKC_PATH pointing at
// the root. Removed, with what the targets left in it, when the process
// ends.
#pragma once

#include "fuzz_file.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace zrkfuzz {

class InstallRoot {
public:
    // Makes the root (once per process) and returns it.
    static const InstallRoot &Get() {
        static const InstallRoot *root = new InstallRoot;
        return *root;
    }

    const std::string &Root() const { return sRoot; }
    std::string Etc(const std::string &name) const { return sRoot + "/etc/" + name; }
    std::string Bin(const std::string &name) const { return sRoot + "/bin/" + name; }

    // Copies a catalogue the product ships (".zrk_errinf_wxapi",
    // ".zrk_errinf_velk") into the root's bin folder.
    void InstallCatalogue(const char *name) const {
        std::ifstream in(std::string(ZRK_SOURCE_DIR) + "/data/" + name, std::ios::binary);
        std::ofstream(Bin(name), std::ios::binary) << in.rdbuf();
    }

private:
    InstallRoot() {
        sRoot = MakeScratchDir("zrkfuzz_root");
        if (mkdir((sRoot + "/bin").c_str(), 0700) != 0 || mkdir((sRoot + "/etc").c_str(), 0700) != 0)
            std::abort();
        if (!WriteFile(Bin(".zrkc_install.sys"), "zrkc_etcdir=" + sRoot + "/etc\n")) std::abort();
        setenv("QRVNZRKC_PATH", sRoot.c_str(), 1);
        static std::string removed;
        removed = sRoot;
        std::atexit([] {
            nftw(removed.c_str(), [](const char *path, const struct stat *, int, struct FTW *) {
                return remove(path);
            }, 16, FTW_DEPTH | FTW_PHYS);
        });
    }

    std::string sRoot;
};

}  // namespace zrkfuzz
