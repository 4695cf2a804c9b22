// Cost of the platform services on their hot paths: writing one trace record
// (lock, generation check, copy into the shared map, flush), and looking a
// volume name up in, and recording a new one into, a store of a few
// thousand records.
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

constexpr char kBenchBox[ZRK_BOXID_LEN] = "BENCHBOX";

// Fills the store with records keys 0 to records - 1, once.
void FillVolumeNames(int records) {
    static bool filled = false;
    if (filled) return;
    for (int i = 0; i < records; ++i) {
        std::string name = "/dev/sd" + std::to_string(i);
        set_volname(name.c_str(), kBenchBox, i, 0, 0, 0, 2048);
    }
    filled = true;
}

void BM_VolumeNameLookup(benchmark::State &state) {
    root();
    const int records = static_cast<int>(state.range(0));
    FillVolumeNames(records);
    char out[ZRK_VOLNAME_LEN];
    int key = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(get_volname(kBenchBox, key, 0, 0, 0, 2048, out));
        key = (key + 7919) % records;
    }
}
BENCHMARK(BM_VolumeNameLookup)->Arg(2000);

// One new record into a store of about that many: the whole store is written
// anew and synced, with its directory.
void BM_VolumeNameInsert(benchmark::State &state) {
    root();
    FillVolumeNames(static_cast<int>(state.range(0)));
    int key = -1;
    for (auto _ : state) {
        if (set_volname("/dev/new", kBenchBox, key--, 1, 0, 0, 2048) != 0) {
            state.SkipWithError("set_volname failed");
            break;
        }
    }
}
BENCHMARK(BM_VolumeNameInsert)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
