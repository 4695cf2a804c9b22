// The library's two trace front ends, read back from the real trace files:
// the command trace "ZRKC" (printf lines and hex dumps) and the API trace
// "WXAPI" ("word : name : text" records).
#include "child.h"
#include "install_root.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using zrktest::InstallRoot;

uint32_t u32(const std::string &bytes, size_t off) {
    uint32_t v = 0;
    if (off + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + off, 4);
    return v;
}

struct Record {
    std::string name;
    uint32_t pid = 0, caller = 0, level = 0, kind = 0;
    std::string data;
};

// The records of a trace file, in order (the facility's own tests check the
// format in depth; here only the fields the front ends fill).
std::vector<Record> readRecords(const std::string &path) {
    const std::string bytes = zrktest::readFile(path);
    std::vector<Record> recs;
    const uint32_t end = u32(bytes, 16);
    for (size_t pos = 52; pos + 72 <= end && pos + 72 <= bytes.size();) {
        const uint32_t r = u32(bytes, pos + 4);
        const uint32_t n = u32(bytes, pos + 64);
        if (r < 72 || pos + r > bytes.size() || pos + 68 + n > bytes.size()) break;
        Record rec;
        rec.name = std::string(bytes.c_str() + pos + 8);
        rec.pid = u32(bytes, pos + 40);
        rec.caller = u32(bytes, pos + 44);
        rec.level = u32(bytes, pos + 56);
        rec.kind = u32(bytes, pos + 60);
        rec.data = bytes.substr(pos + 68, n);
        recs.push_back(rec);
        pos += r;
    }
    return recs;
}

class TraceFront : public ::testing::Test {
protected:
    InstallRoot root;  // ZRKC and WXAPI at level 5, 4 KB files

    // The first open of a test takes slot 1, generation 1.
    std::vector<Record> firstFile() { return readRecords(root.traceDir() + "/zrkc_trc#001#01.tra"); }
    std::vector<Record> oversize(int n) {
        char name[32];
        std::snprintf(name, sizeof name, "/zrkc_trc#-o-#%03d.tra", n);
        return readRecords(root.traceDir() + name);
    }
};

// ---- the command trace -----------------------------------------------------------

TEST_F(TraceFront, CommandLinesAreFormattedTextRecords) {
    ASSERT_EQ(velk_trace_init(), 0) << std::hex << errno;
    EXPECT_EQ(velk_trace(3, "%s start. [%d]", "zrkc_start", 12), 0);
    EXPECT_EQ(velk_trace(6, "%s never", "written"), 0);
    EXPECT_EQ(velk_trace_term(), 0);

    auto recs = firstFile();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].name, "ZRKC");
    EXPECT_EQ(recs[0].data, "zrkc_start start. [12]");
    EXPECT_EQ(recs[0].kind, 1u);
    EXPECT_EQ(recs[0].level, 3u);
    EXPECT_EQ(recs[0].caller, 0u);
    EXPECT_EQ(recs[0].pid, static_cast<uint32_t>(getpid()));
}

TEST_F(TraceFront, CommandLineIsCutAt1023Characters) {
    ASSERT_EQ(velk_trace_init(), 0);
    const std::string longText(3000, 'L');
    EXPECT_EQ(velk_trace(1, "<%s>", longText.c_str()), 0);
    velk_trace_term();
    auto recs = firstFile();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].data, "<" + longText.substr(0, 1022));
}

TEST_F(TraceFront, DumpsWriteTitleAndSixteenBytesPerLine) {
    unsigned char bytes[20];
    for (unsigned i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(i * 0x11);
    struct Case {
        int size;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {20,
         {"CDB", "0x00000000 : 00112233 44556677 8899aabb ccddeeff ", "0x00000010 : 10213243 "}},
        {16, {"CDB", "0x00000000 : 00112233 44556677 8899aabb ccddeeff "}},
        {3, {"CDB", "0x00000000 : 001122"}},
        {0, {"CDB"}},
    };
    ASSERT_EQ(velk_trace_init(), 0);
    for (const auto &c : cases) EXPECT_EQ(velk_trace_dmp(4, "CDB", bytes, c.size), 0);
    velk_trace_term();

    std::vector<std::string> expected;
    for (const auto &c : cases) expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    std::vector<std::string> got;
    for (const auto &rec : firstFile()) {
        EXPECT_EQ(rec.level, 4u);
        got.push_back(rec.data);
    }
    EXPECT_EQ(got, expected);
}

TEST_F(TraceFront, CommandTraceWithoutOpenWritesNothing) {
    EXPECT_EQ(velk_trace(1, "%s", "lost"), -1);
    EXPECT_EQ(errno, 0x4000000d);
    EXPECT_EQ(velk_trace_dmp(1, "lost", "abc", 3), -1);
    EXPECT_EQ(velk_trace_term(), -1);
    EXPECT_FALSE(zrktest::exists(root.traceDir() + "/velk_trcmng.def"));
}

// ---- the API trace ------------------------------------------------------------------

TEST_F(TraceFront, ApiRecordsCarryWordNameTextAndData) {
    ASSERT_EQ(ZRKC_Com_OpenTrace(0x43), 0) << std::hex << errno;
    EXPECT_EQ(ZRKC_Com_OutputTrace(1, 1, "INFO", "ZRKIPStartVZ", nullptr, 0, "START"), 0);
    // kind 1: the data is a text and the length argument is ignored
    EXPECT_EQ(ZRKC_Com_OutputTrace(2, 1, "INFO", "f", "ret=", 999, "0"), 0);
    // other kinds: exactly the given bytes
    const char binary[] = {'\x01', '\0', '\x7f'};
    EXPECT_EQ(ZRKC_Com_OutputTrace(3, 2, "ERR", "f", "sense=", 3, binary), 0);
    EXPECT_EQ(ZRKC_Com_CloseTrace(), 0);

    auto recs = firstFile();
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0].data, "INFO : ZRKIPStartVZ : START");
    EXPECT_EQ(recs[0].data.size(), 27u);
    EXPECT_EQ(recs[0].name, "WXAPI");
    EXPECT_EQ(recs[0].kind, 1u);
    EXPECT_EQ(recs[0].caller, 0x43u);
    EXPECT_EQ(recs[0].pid, static_cast<uint32_t>(getpid()));
    EXPECT_EQ(recs[1].data, "INFO : f : ret=0");
    EXPECT_EQ(recs[2].data, std::string("ERR : f : sense=") + std::string(binary, 3));
    EXPECT_EQ(recs[2].kind, 2u);
    EXPECT_EQ(recs[2].level, 3u);
}

TEST_F(TraceFront, ApiRecordLongerThan4096IsWrittenWhole) {
    ASSERT_EQ(ZRKC_Com_OpenTrace(1030), 0);
    const std::string data(6000, 'D');
    EXPECT_EQ(ZRKC_Com_OutputTrace(1, 2, "INFO", "ZRKIPTransform", "buf=", 6000, data.data()), 0);
    ZRKC_Com_CloseTrace();
    auto recs = oversize(1);  // larger than a 4 KB trace file
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].data, "INFO : ZRKIPTransform : buf=" + data);
}

TEST_F(TraceFront, ApiRecordWithoutMemoryKeepsPrefixAndMarker) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's shadow memory does not survive an address-space limit;
    // its own allocation cap stands in for it when the run asks for it.
    const char *options = std::getenv("ASAN_OPTIONS");
    if (options == nullptr || std::strstr(options, "allocator_may_return_null=1") == nullptr ||
        std::strstr(options, "max_allocation_size_mb=") == nullptr) {
        GTEST_SKIP() << "needs ASAN_OPTIONS=allocator_may_return_null=1:max_allocation_size_mb=1024";
    }
    constexpr bool kLimitAddressSpace = false;
#else
    constexpr bool kLimitAddressSpace = true;
#endif
    auto result = zrktest::runChild([&] {
        if (ZRKC_Com_OpenTrace(1026) != 0) return 10;
        if (kLimitAddressSpace) {
            // Leave no room for an allocation of about 2 GB.
            std::string status = zrktest::readFile("/proc/self/status");
            size_t at = status.find("VmSize:");
            if (at == std::string::npos) return 11;
            rlim_t kb = std::strtoull(status.c_str() + at + 7, nullptr, 10);
            struct rlimit lim {};
            lim.rlim_cur = lim.rlim_max = (kb + 256 * 1024) * 1024;
            if (setrlimit(RLIMIT_AS, &lim) != 0) return 12;
        }
        // Long enough that an unbounded copy would run past the fallback buffer;
        // the data is never read.
        const std::string word(3000, 'W'), name(3000, 'N'), text(3000, 'T');
        const char data[1] = {0};
        int rc = ZRKC_Com_OutputTrace(1, 2, word.c_str(), name.c_str(), text.c_str(),
                                      INT_MAX - 20000, data);
        std::printf("0x%x", rc == 0 ? 0 : errno);
        ZRKC_Com_CloseTrace();
        return rc == 0 ? 0 : 13;
    });
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    auto recs = oversize(1);  // 4096 bytes of data do not fit a 4 KB trace file
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].data.size(), 4096u);
    EXPECT_EQ(recs[0].data.substr(0, 3003), std::string(3000, 'W') + " : ");
    EXPECT_EQ(recs[0].data.substr(4084), "malloc error");
}

TEST_F(TraceFront, ApiRecordRefusesBadLengthAndMissingData) {
    ASSERT_EQ(ZRKC_Com_OpenTrace(1), 0);
    EXPECT_EQ(ZRKC_Com_OutputTrace(1, 2, "ERR", "f", nullptr, -1, "x"), -1);
    EXPECT_EQ(errno, 0x40000006);
    EXPECT_EQ(ZRKC_Com_OutputTrace(1, 2, "ERR", "f", nullptr, 5, nullptr), -1);
    EXPECT_EQ(errno, 0x40000007);
    // Missing word and name count as empty texts.
    EXPECT_EQ(ZRKC_Com_OutputTrace(1, 1, nullptr, nullptr, nullptr, 0, "x"), 0);
    ZRKC_Com_CloseTrace();
    auto recs = firstFile();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].data, " :  : x");
}

size_t openDescriptors() {
    size_t n = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

TEST_F(TraceFront, OpeningAgainClosesTheOldHandleFirst) {
    const size_t before = openDescriptors();
    ASSERT_EQ(ZRKC_Com_OpenTrace(1), 0);
    ASSERT_EQ(velk_trace_init(), 0);
    ASSERT_EQ(ZRKC_Com_OpenTrace(2), 0);
    ASSERT_EQ(velk_trace_init(), 0);
    EXPECT_EQ(ZRKC_Com_OutputTrace(1, 1, "INFO", "f", nullptr, 0, "after reopen"), 0);
    EXPECT_EQ(ZRKC_Com_CloseTrace(), 0);
    EXPECT_EQ(velk_trace_term(), 0);
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(TraceFront, MissingDefinitionOnlySilencesTheTrace) {
    std::filesystem::remove(root.etc() + "/velkapi_trcdef.ini");
    EXPECT_EQ(ZRKC_Com_OpenTrace(1), -1);
    EXPECT_EQ(ZRKC_Com_OutputTrace(1, 1, "INFO", "f", nullptr, 0, "x"), -1);
    EXPECT_EQ(ZRKC_Com_CloseTrace(), -1);
    EXPECT_EQ(velk_trace_init(), -1);
    EXPECT_EQ(velk_trace(1, "x"), -1);
    EXPECT_EQ(velk_trace_term(), -1);
}

}  // namespace
