// Cost of the platform services on their hot paths: writing one trace record
// (lock, generation check, copy into the shared map, flush) and looking a
// volume name up in a store of a few thousand records.
#include "platform.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A private installation root under the temporary folder, removed at exit.
struct BenchRoot {
    std::string dir;
    BenchRoot() {
        std::string tmpl = fs::temp_directory_path().string() + "/zrkbench.XXXXXX";
        dir = mkdtemp(tmpl.data());
        fs::create_directories(dir + "/bin");
        fs::create_directories(dir + "/etc");
        fs::create_directories(dir + "/trace");
        std::ofstream(dir + "/bin/.zrkc_install.sys") << "zrkc_etcdir=" << dir << "/etc\n";
        std::ofstream(dir + "/etc/velkapi_trcdef.ini")
            << "[TRACEDEFINE]\npath=" << dir << "/trace\nsize=512\ngen=2\nmax=4\n[ZRKC]\nlevel=5\n";
        setenv("QRVNZRKC_PATH", dir.c_str(), 1);
    }
    ~BenchRoot() { fs::remove_all(dir); }
};

BenchRoot &root() {
    static BenchRoot r;
    return r;
}

void BM_TraceRecord(benchmark::State &state) {
    root();
    TraceHandle handle {};
    if (ZRKC_OpenTrace(&handle, "ZRKC") != 0) {
        state.SkipWithError("trace cannot be opened");
        return;
    }
    std::string line(static_cast<size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        ZRKC_OutputTrace(&handle, 1, 1, 0, 1, static_cast<int>(line.size()), line.data());
    }
    ZRKC_CloseTrace(&handle);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TraceRecord)->Arg(64)->Arg(1024);

void BM_VolumeNameLookup(benchmark::State &state) {
    root();
    const int records = static_cast<int>(state.range(0));
    char box[ZRK_BOXID_LEN] = "BENCHBOX";
    static bool filled = false;
    if (!filled) {
        for (int i = 0; i < records; ++i) {
            std::string name = "/dev/sd" + std::to_string(i);
            set_volname(name.c_str(), box, i, 0, 0, 0, 2048);
        }
        filled = true;
    }
    char out[ZRK_VOLNAME_LEN];
    int key = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(get_volname(box, key, 0, 0, 0, 2048, out));
        key = (key + 7919) % records;
    }
}
BENCHMARK(BM_VolumeNameLookup)->Arg(2000);

}  // namespace
