// Cost of a 300-pair group command through the command layer against the
// simulator: the concurrent VZ suspend of a group file of 300 pairs over
// the in-band road ("sa"), each run on a fresh simulator whose 300 sessions
// are active, in chunks of 128 pairs.
//
// Counters: the opens per run of the alias store's main file (zrkc.alias)
// and of the installation file (bin/.zrkc_install.sys), counted by this
// program's own open, openat and fopen, which pass every call on to the C
// library's. The first run of a process is the one a program pays: run with
// --benchmark_repetitions to see it beside the runs of a process whose heap
// has settled.
#include "cmd_support.h"
#include "platform.h"
#include "zrkc.h"

#include <dlfcn.h>
#include <fcntl.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::atomic<long> gAliasOpens{0};
std::atomic<long> gInstallOpens{0};

void Count(const char *path) {
    if (path == nullptr) return;
    const std::string_view p(path);
    if (p.ends_with("/" ZRKC_ALIAS_FILE)) ++gAliasOpens;
    if (p.ends_with("/.zrkc_install.sys")) ++gInstallOpens;
}

mode_t ModeOf(int flags, va_list ap) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(ap, int)) : 0;
}

// Counts the path and opens it through the C library's function of that
// name (with dir for the openat kind).
template <typename... Dir>
int Pass(const char *name, const char *path, int flags, mode_t mode, Dir... dir) {
    using Next = int (*)(Dir..., const char *, int, ...);
    const auto next = reinterpret_cast<Next>(dlsym(RTLD_NEXT, name));
    Count(path);
    return next(dir..., path, flags, mode);
}

FILE *PassFile(const char *name, const char *path, const char *mode) {
    using Next = FILE *(*)(const char *, const char *);
    const auto next = reinterpret_cast<Next>(dlsym(RTLD_NEXT, name));
    Count(path);
    return next(path, mode);
}

} // namespace

// The mode argument of an open call, there only when the flags create.
#define ZRK_BENCH_MODE(flags, mode)                                                                \
    mode_t mode = 0;                                                                               \
    {                                                                                              \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        mode = ModeOf(flags, ap);                                                                  \
        va_end(ap);                                                                                \
    }

extern "C" {

int open(const char *path, int flags, ...) {
    ZRK_BENCH_MODE(flags, mode);
    return Pass("open", path, flags, mode);
}

int open64(const char *path, int flags, ...) {
    ZRK_BENCH_MODE(flags, mode);
    return Pass("open64", path, flags, mode);
}

int openat(int dir, const char *path, int flags, ...) {
    ZRK_BENCH_MODE(flags, mode);
    return Pass("openat", path, flags, mode, dir);
}

int openat64(int dir, const char *path, int flags, ...) {
    ZRK_BENCH_MODE(flags, mode);
    return Pass("openat64", path, flags, mode, dir);
}

FILE *fopen(const char *path, const char *mode) { return PassFile("fopen", path, mode); }

FILE *fopen64(const char *path, const char *mode) { return PassFile("fopen64", path, mode); }

} // extern "C"

namespace {

constexpr int kPairs = 300;

// The command fixture outside a test run.
class GroupSim : public cmdtest::CommandSim {
public:
    // The array takes 128 pairs per concurrent suspend command, so that the
    // group is cut into three.
    explicit GroupSim(const char *array) : CommandSim(cmdtest::VzRun(array, kPairs)) {
        SetUp();
        sim.setArray(array, "percommand=128");
    }
    ~GroupSim() override { TearDown(); }
    void TestBody() override {}

    // The group file of the 300 pairs through the alias.
    std::string File(const char *alias) { return GroupFileLines(cmdtest::VzRunLines(alias, kPairs)); }
    std::vector<unsigned char> &Area() { return area; }
};

void BM_GroupSuspend(benchmark::State &state) {
    long aliasOpens = 0, installOpens = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto fixture = std::make_unique<GroupSim>("A1");
        const std::string file = fixture->File("sa");
        fixture->Area().assign(ZRK_PAIR_AREA_SIZE(kPairs), 0);
        ReturnInfo ri{};
        ri.pPairArea = fixture->Area().data();
        ri.uiPairAreaLength = static_cast<uint32_t>(fixture->Area().size());
        gAliasOpens = 0;
        gInstallOpens = 0;
        state.ResumeTiming();
        const int rc = zrkc_suspend_vz(file.c_str(), nullptr, 0, 0,
                                       ZRKC_OPT_CONC_SUSPEND | ZRKC_OPT_GROUP_FILE, &ri);
        state.PauseTiming();
        aliasOpens += gAliasOpens;
        installOpens += gInstallOpens;
        if (rc != 0) {
            // The first pair that failed tells why.
            std::string why = ri.caMessage;
            for (int i = 0; i < kPairs; ++i) {
                const auto *entry = reinterpret_cast<const PairResult *>(
                    fixture->Area().data() + 4 + static_cast<size_t>(i) * sizeof(PairResult));
                if (entry->caMessage[0] != '\0') {
                    why += "line " + std::to_string(i + 1) + ": " + entry->caMessage;
                    break;
                }
            }
            state.SkipWithError(why.c_str());
            break;
        }
        fixture.reset();
        state.ResumeTiming();
    }
    state.counters["alias_opens"] =
        benchmark::Counter(static_cast<double>(aliasOpens), benchmark::Counter::kAvgIterations);
    state.counters["install_opens"] =
        benchmark::Counter(static_cast<double>(installOpens), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GroupSuspend)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
