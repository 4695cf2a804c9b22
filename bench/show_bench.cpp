// Cost of reading a "show copy-sessions" reply: the split into lines, the
// head, the scan of every column and the placement of each row, on the same
// path that a reply from the array takes. Reported per row; the figures at
// 100, 1,000 and 10,000 rows should match (the parse is linear).
#include "../ip/ipshow.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string SessionsReply(size_t rows) {
    char head[32];
    std::snprintf(head, sizeof head, "0\n%zX", rows);
    std::string text = head;
    for (size_t i = 0; i < rows; ++i) {
        char line[512];
        std::snprintf(line, sizeof line,
                      "\n%zX\t%zX\t2\t80\t1\t0\t3\t1\t0\t0\t1F4\tVASTREL-BOX-0000000000000000001"
                      "\tVASTREL-BOX-0000000000000000002\t%zX\t%zX\t1\t0\t0\t12345678\t0"
                      "\t0\t200000000\t0\t0\t0\t2024061512304500\t1\t0\t0\t0\t0\t0\t0\t0\t0"
                      "\t64\t0\t1\t0\t0",
                      i + 1, i + 1, i % 4096, (i + 1) % 4096);
        text += line;
    }
    return text;
}

void BM_ShowCopySessions(benchmark::State &state) {
    const size_t rows = static_cast<size_t>(state.range(0));
    const std::string reply = SessionsReply(rows);
    std::vector<CliCopySession> out(rows);
    for (auto _ : state) {
        int count = 0;
        const int rc = zrkip::ParseCopySessionsText(reply.c_str(), IP_SESSIONS_ALL, nullptr, 0,
                                                      &count, out.data(), out.size());
        if (rc != 0 || static_cast<size_t>(count) != rows) {
            state.SkipWithError("parse failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    // Seconds per row, shown with its SI prefix (n for nanoseconds).
    state.counters["per_row"] = benchmark::Counter(
        static_cast<double>(rows),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_ShowCopySessions)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
