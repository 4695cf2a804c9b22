// The trace files as the facility finds them on disk: arbitrary contents of
// the management file velk_trcmng.def or of the current trace file, then an
// open, records of several sizes (one that rotates the generation, one for an
// oversize file) and a close. The trace directory is named by a private
// velkapi_trcdef.ini (1 KB files, 2 generations, 2 slots).
//
// Input: byte 0 bit 0 picks the file the rest replaces (0 the management
// file, 1 the trace file; the other starts as a clean open leaves it), bits
// 1-3 the level of the records; byte 1 the length of the first record.
#include "fuzz_root.h"
#include "zrkapi.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Traces {
    std::string sDir;          // the trace directory
    std::string sMng;          // its management file
    std::string sTrc;          // the trace file a clean open writes to
    std::string sCleanMng;     // the management file after a clean open and close
    std::string sCleanTrc;     // the trace file after one record
};

std::string ReadWhole(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> FilesOf(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (const dirent *e = readdir(d)) {
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        }
        closedir(d);
    }
    return names;
}

void Clear(const std::string &dir) {
    for (const std::string &name : FilesOf(dir)) unlink((dir + "/" + name).c_str());
}

void Check(bool ok) {
    if (!ok) std::abort();
}

const Traces &TheTraces() {
    static const Traces *traces = [] {
        auto *t = new Traces;
        const zrkfuzz::InstallRoot &root = zrkfuzz::InstallRoot::Get();
        t->sDir = root.Root() + "/trc";
        if (mkdir(t->sDir.c_str(), 0700) != 0) std::abort();
        const std::string definition = "[TRACEDEFINE]\npath=" + t->sDir +
                                       "\nsize=1\ngen=2\nmax=2\n[FUZZ]\nlevel=3\n";
        Check(zrkfuzz::WriteFile(root.Etc("velkapi_trcdef.ini"), definition));
        TraceHandle handle{};
        Check(ZRKC_OpenTrace(&handle, "FUZZ") == 0);
        Check(ZRKC_OutputTrace(&handle, 1, 1, 2, 1, 5, "START") == 0);
        Check(ZRKC_CloseTrace(&handle) == 0);
        t->sMng = t->sDir + "/velk_trcmng.def";
        for (const std::string &name : FilesOf(t->sDir)) {
            if (name != "velk_trcmng.def") t->sTrc = t->sDir + "/" + name;
        }
        Check(!t->sTrc.empty());
        t->sCleanMng = ReadWhole(t->sMng);
        t->sCleanTrc = ReadWhole(t->sTrc);
        return t;
    }();
    return *traces;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    TheTraces();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    const Traces &t = TheTraces();
    Clear(t.sDir);
    const bool trcFile = (data[0] & 1) != 0;
    const int level = 1 + (data[0] >> 1) % 5;
    const size_t first = data[1] + 1u;
    Check(zrkfuzz::WriteFile(t.sMng, trcFile ? t.sCleanMng : std::string(
                                                      reinterpret_cast<const char *>(data + 2), size - 2)));
    Check(zrkfuzz::WriteFile(t.sTrc, trcFile ? std::string(
                                                      reinterpret_cast<const char *>(data + 2), size - 2)
                                                          : t.sCleanTrc));

    static const std::vector<unsigned char> kData(3000, 'x');
    TraceHandle handle{};
    const int opened = ZRKC_OpenTrace(&handle, "FUZZ");
    Check(opened == 0 || opened == -1);
    if (opened == 0) {
        for (size_t length : {first, size_t{700}, size_t{900}, size_t{2000}}) {
            const int rc = ZRKC_OutputTrace(&handle, level, 1, 2, 1, static_cast<int>(length),
                                            kData.data());
            Check(rc == 0 || rc == -1);
        }
        const int closed = ZRKC_CloseTrace(&handle);
        Check(closed == 0 || closed == -1);
    }
    // A closed handle is all zero.
    static const TraceHandle kZero{};
    Check(std::memcmp(&handle, &kZero, sizeof handle) == 0);
    Clear(t.sDir);
    return 0;
}
