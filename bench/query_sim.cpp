// Cost of the copy query against the simulator, and of the volume-name
// lookups it makes.
//
// BM_QueryVolume: the sessions of one volume (every one of them, each with
// both names in the volume-name store) over the in-band road (arg 1 = 0)
// and the LAN road (1). Counters: the array commands per session (SCSI
// commands, or LAN commands) and the library's own CPU per session (the
// simulator runs in its own process, so the benchmark thread's CPU time is
// the library's). The figures at 1,000 and 10,000 sessions should match.
// The LAN service's reply deadline grows with the sessions: a reply of
// 10,000 rows takes the service seconds to send.
//
// BM_VolnameLookup: one lookup in a store of 10,000 names as the query makes
// it (the store read once per call, arg 1 = 1), and as get_volname makes it
// alone (the store opened, mapped and closed per name, arg 1 = 0).
#include "cmd_support.h"
#include "platform.h"
#include "volname.h"
#include "zrkcquery.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSourceOlu = 0x40;
constexpr uint32_t kTargetOlu = 0x41;
constexpr uint64_t kExtent = 8; // blocks per session
constexpr size_t kLargestRun = 10000; // sessions

// The sessions on A1 (in-band) or B1 (LAN): `count` KZP sessions between
// the extents i x 8 of two large volumes.
std::string Sessions(size_t count, const char *array) {
    std::string text;
    char line[256];
    std::snprintf(line, sizeof line, "volume %s 0x%x %llu\nvolume %s 0x%x %llu\n", array,
                  kSourceOlu, static_cast<unsigned long long>(count * kExtent), array, kTargetOlu,
                  static_cast<unsigned long long>(count * kExtent));
    text += line;
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line,
                      "session %zu kzp %s 0x%x %s 0x%x srcext=%llu size=%llu dstext=%llu copied=3\n",
                      i + 1, array, kSourceOlu, array, kTargetOlu,
                      static_cast<unsigned long long>(i * kExtent),
                      static_cast<unsigned long long>(kExtent),
                      static_cast<unsigned long long>(i * kExtent));
        text += line;
    }
    return text;
}

VolInfRecord Record(const std::string &box, uint32_t olu, uint64_t start, uint64_t size,
                    const std::string &name) {
    VolInfRecord r{};
    std::memcpy(r.caBoxId, box.data(), ZRK_BOXID_LEN);
    r.iKey[0] = static_cast<int32_t>(olu);
    r.iKey[1] = static_cast<int32_t>(start >> 32);
    r.iKey[2] = static_cast<int32_t>(start);
    r.iKey[3] = static_cast<int32_t>(size >> 32);
    r.iKey[4] = static_cast<int32_t>(size);
    std::snprintf(r.caName, sizeof r.caName, "%s", name.c_str());
    r.iRefCount = 1;
    return r;
}

// Writes a complete store of the records (sorted as the store keeps them).
void WriteStore(const std::string &path, std::vector<VolInfRecord> records) {
    std::sort(records.begin(), records.end(), [](const VolInfRecord &a, const VolInfRecord &b) {
        return sort_vols(&a, &b) < 0;
    });
    const VolInfHeader header{static_cast<int32_t>(records.size()),
                              static_cast<int32_t>(records.size())};
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(&header), sizeof header);
    out.write(reinterpret_cast<const char *>(records.data()),
              static_cast<std::streamsize>(records.size() * sizeof(VolInfRecord)));
}

// Both names of every session of Sessions().
std::vector<VolInfRecord> SessionNames(size_t count, const std::string &box) {
    std::vector<VolInfRecord> records;
    for (size_t i = 0; i < count; ++i) {
        records.push_back(Record(box, kSourceOlu, i * kExtent, kExtent, "src" + std::to_string(i)));
        records.push_back(Record(box, kTargetOlu, i * kExtent, kExtent, "trg" + std::to_string(i)));
    }
    return records;
}

// The command fixture outside a test run.
class QuerySim : public cmdtest::CommandSim {
public:
    // The arrays' maximum session count is the number of sessions, so that
    // the area the query needs (and clears) grows with them.
    QuerySim(const std::string &sessions, size_t count)
        : CommandSim(sessions, " maxsessions=16," + std::to_string(count) + ",16," +
                                   std::to_string(count)) {
        SetUp();
        UseDeadline(1 + static_cast<int>(count / kSessionsPerSecond));
    }
    ~QuerySim() override { TearDown(); }
    void TestBody() override {}

    size_t Commands(bool lan) const {
        return lan ? iptest::LanSessionCommands(sim).size() : sim.cdbLog().size();
    }
    void ClearLog() {
        sim.clearLog();
        sim.commandOk("clearlanlog");
    }
    const zrktest::InstallRoot &Root() const { return root; }

private:
    // Sessions a reply deadline of one second is given for.
    static constexpr size_t kSessionsPerSecond = 500;

    // The properties' LAN reply deadline (ssh_timeout), in seconds.
    void UseDeadline(int seconds) {
        std::istringstream in(zrktest::readFile(root.etc() + "/zrkc.ini"));
        std::string out;
        for (std::string line; std::getline(in, line);) {
            out += line.rfind("ssh_timeout=", 0) == 0 ? "ssh_timeout=" + std::to_string(seconds) : line;
            out += '\n';
        }
        root.writeProperties(out);
    }
};

void BM_QueryVolume(benchmark::State &state) {
    const size_t count = static_cast<size_t>(state.range(0));
    const bool lan = state.range(1) == 1;
    const char *array = lan ? "B1" : "A1";
    QuerySim fixture(Sessions(count, array), count);
    WriteStore(fixture.Root().etc() + "/" ZRK_VOLINF_FILE,
               SessionNames(count, cmdtest::Box(lan ? "BOXB" : "BOXA")));
    char volume[32];
    std::snprintf(volume, sizeof volume, "0x%x@%s", kSourceOlu, lan ? "lb" : "sa");
    // Room for the largest run: after a LAN query of 10,000 sessions, one of
    // 1,000 against a new simulator in the same process asks for the larger
    // area.
    std::vector<unsigned char> area(kLargestRun * sizeof(CopyQueryEntry) + 8);
    size_t commands = 0;
    uint32_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fixture.ClearLog();
        state.ResumeTiming();
        ReturnInfo ri{};
        if (zrkc_query_copy(volume, nullptr, 0, &ri, area.data(), static_cast<int>(area.size())) != 0) {
            state.SkipWithError(ri.caMessage);
            break;
        }
        state.PauseTiming();
        items = reinterpret_cast<const CopyQueryList *>(area.data())->ItemCount;
        const auto &last = *reinterpret_cast<const CopyQueryEntry *>(
            area.data() + 8 + (items - 1) * sizeof(CopyQueryEntry));
        if (items != count || last.SrcVolumeSet != 1 || last.TrgVolumeSet != 1) {
            state.SkipWithError("not every session came back with its names");
            break;
        }
        commands = fixture.Commands(lan);
        state.ResumeTiming();
    }
    state.counters["commands_per_pair"] =
        benchmark::Counter(static_cast<double>(commands) / static_cast<double>(count));
    // CPU seconds per session, shown with its SI prefix (u for microseconds).
    state.counters["cpu_per_pair"] = benchmark::Counter(
        static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                        benchmark::Counter::kInvert);
}
// The LAN road's 10,000 sessions run before its 1,000: in a process whose
// LAN query of 1,000 sessions came first, the 10,000-row answer of the next
// simulator is refused (ZRKC1224).
BENCHMARK(BM_QueryVolume)
    ->Args({1000, 0})
    ->Args({kLargestRun, 0})
    ->Args({kLargestRun, 1})
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond);

void BM_VolnameLookup(benchmark::State &state) {
    static zrktest::InstallRoot root;
    constexpr size_t kNames = 10000;
    const std::string box = cmdtest::Box("BOXA");
    WriteStore(root.etc() + "/" ZRK_VOLINF_FILE, SessionNames(kNames / 2, box));
    const bool snapshot = state.range(0) == 1;
    zrkplatform::VolnameSnapshot store;
    if (snapshot) store.Open();
    char out[ZRK_VOLNAME_LEN];
    size_t key = 0;
    for (auto _ : state) {
        const int32_t low = static_cast<int32_t>(key * kExtent);
        const int r = snapshot ? store.Get(box.c_str(), kSourceOlu, 0, low, 0, kExtent, out)
                               : get_volname(box.c_str(), kSourceOlu, 0, low, 0, kExtent, out);
        if (r != 2) {
            state.SkipWithError("name not found");
            break;
        }
        key = (key + 7919) % (kNames / 2);
    }
}
BENCHMARK(BM_VolnameLookup)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
