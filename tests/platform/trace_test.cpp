// The trace-file facility through real files, real maps and real fcntl locks:
// the definition file, the management file and its slots, the generation and
// oversize files, argument and corruption checks, file modes, planted links
// and files that are not the caller's own, and several processes writing one
// trace at once.
#include "child.h"
#include "install_root.h"
#include "trace_internal.h"
#include "zrkapi.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using zrktest::InstallRoot;
namespace fs = std::filesystem;

// ---- reading the files back ---------------------------------------------------

uint32_t u32(const std::string &bytes, size_t off) {
    uint32_t v = 0;
    if (off + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + off, 4);
    return v;
}

std::string le32(uint32_t v) { return std::string(reinterpret_cast<const char *>(&v), 4); }

struct Record {
    std::string name;
    uint32_t length = 0, pid = 0, caller = 0, seconds = 0, level = 0, kind = 0;
    std::string data;
};

// Checks a trace or oversize file record by record: magic, write offset,
// "TRC", lengths, zero padding, "END", and zeros after the last record.
::testing::AssertionResult parseTraceFile(const std::string &bytes, std::vector<Record> *out) {
    if (bytes.size() < 52) return ::testing::AssertionFailure() << "only " << bytes.size() << " bytes";
    if (std::memcmp(bytes.data(), "QAR TRC 001", 12) != 0 || u32(bytes, 12) != 0) {
        return ::testing::AssertionFailure() << "bad magic";
    }
    const uint32_t end = u32(bytes, 16);
    if (end < 52 || end > bytes.size()) return ::testing::AssertionFailure() << "write offset " << end;
    size_t pos = 52;
    while (pos < end) {
        if (end - pos < 72 || std::memcmp(bytes.data() + pos, "TRC", 4) != 0) {
            return ::testing::AssertionFailure() << "no record at " << pos;
        }
        const uint32_t r = u32(bytes, pos + 4);
        const uint32_t n = u32(bytes, pos + 64);
        if (r != 72 + ((n + 3) & ~3u) || r > end - pos) {
            return ::testing::AssertionFailure() << "length " << r << "/" << n << " at " << pos;
        }
        if (std::memcmp(bytes.data() + pos + r - 4, "END", 4) != 0) {
            return ::testing::AssertionFailure() << "no END at " << pos;
        }
        if (bytes.find_first_not_of('\0', pos + 68 + n) < pos + r - 4) {
            return ::testing::AssertionFailure() << "padding not zero at " << pos;
        }
        Record rec;
        rec.name = std::string(bytes.c_str() + pos + 8, strnlen(bytes.data() + pos + 8, 32));
        if (rec.name.size() > 27) return ::testing::AssertionFailure() << "name too long";
        rec.length = r;
        rec.pid = u32(bytes, pos + 40);
        rec.caller = u32(bytes, pos + 44);
        rec.seconds = u32(bytes, pos + 48);
        rec.level = u32(bytes, pos + 56);
        rec.kind = u32(bytes, pos + 60);
        rec.data = bytes.substr(pos + 68, n);
        if (out != nullptr) out->push_back(rec);
        pos += r;
    }
    if (bytes.find_first_not_of('\0', end) != std::string::npos) {
        return ::testing::AssertionFailure() << "bytes after the last record";
    }
    return ::testing::AssertionSuccess();
}

std::string generationFile(const std::string &dir, int slot, int gen) {
    char name[64];
    std::snprintf(name, sizeof name, "/zrkc_trc#%03d#%02d.tra", slot, gen);
    return dir + name;
}

std::string oversizeFile(const std::string &dir, int counter) {
    char name[64];
    std::snprintf(name, sizeof name, "/zrkc_trc#-o-#%03d.tra", counter);
    return dir + name;
}

void poke(const std::string &path, off_t offset, const std::string &bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
    close(fd);
}

// First line of "uname -sr" as the management file keeps it.
std::string unameText() {
    std::FILE *p = popen("uname -sr", "r");
    char line[80] = {};
    if (p != nullptr) {
        if (std::fgets(line, sizeof line, p) == nullptr) line[0] = '\0';
        pclose(p);
    }
    return std::string(line, strnlen(line, 31));
}

// The errno of a failed call, 0 when it succeeded.
int failure(int rc) { return rc == 0 ? 0 : errno; }

constexpr int kOpen = 0x20000000;
constexpr int kOutput = 0x40000000;

bool isZero(const TraceHandle &h) {
    static const TraceHandle zero {};
    return std::memcmp(&h, &zero, sizeof h) == 0;
}

class Trace : public ::testing::Test {
protected:
    InstallRoot root;

    std::string dir() const { return root.traceDir(); }
    std::string mngPath() const { return dir() + "/velk_trcmng.def"; }
    std::string mng() const { return zrktest::readFile(mngPath()); }

    void define(int sizeKb, int gen, int max, int level = 3) {
        root.writeTraceDefinition("[TRACEDEFINE]\npath=" + dir() + "\nsize=" + std::to_string(sizeKb) +
                                  "\ngen=" + std::to_string(gen) + "\nmax=" + std::to_string(max) +
                                  "\n[WXAPI]\nlevel=" + std::to_string(level) + "\n");
    }

    TraceHandle openTrace() {
        TraceHandle h {};
        int rc = ZRKC_OpenTrace(&h, "WXAPI");
        EXPECT_EQ(rc, 0) << std::hex << errno;
        return h;
    }

    static int put(TraceHandle &h, const std::string &data, int level = 1, int pid = 7,
                   int caller = 9, int kind = 1) {
        return failure(ZRKC_OutputTrace(&h, level, pid, caller, kind, static_cast<int>(data.size()),
                                        data.data()));
    }

    std::vector<Record> records(const std::string &path) {
        std::vector<Record> recs;
        EXPECT_TRUE(parseTraceFile(zrktest::readFile(path), &recs)) << path;
        return recs;
    }
};

// ---- the definition file --------------------------------------------------------

struct DefinitionCase {
    const char *what;
    std::string text;
    std::string path;
    uint32_t size, gen, max, level;
};

TEST(TraceDefinition, ValuesRulesAndLevels) {
    const std::vector<DefinitionCase> cases = {
        {"defaults", "[WXAPI]\nlevel=3\n", "", 512, 5, 200, 3},
        {"zero and too large", "size=0\ngen=100\nmax=-1\n[WXAPI]\nlevel=1\n", "", 1, 99, 999, 1},
        {"other bounds", "size=1000\ngen=0\nmax=1000\n", "", 999, 1, 999, 0},
        {"negative", "size=-5\ngen=-1\nmax=0\n", "", 999, 99, 1, 0},
        {"later line wins", "size=2\nsize=3\n", "", 3, 5, 200, 0},
        {"keys in any section", "[WXAPI]\nlevel=2\nsize=7\n[X]\ngen=3\n", "", 7, 3, 200, 2},
        {"tabs dropped, comment cut", "\tsize=\t1\t6 ; size=9\n", "", 16, 5, 200, 0},
        {"blank before a key", " size=4\n", "", 512, 5, 200, 0},
        {"empty path ignored", "path=/a\npath=\n", "/a", 512, 5, 200, 0},
        {"blanks kept in path", "path=/a b ;c\n", "/a b ", 512, 5, 200, 0},
        {"blank before level", "[WXAPI]\n level=3\n", "", 512, 5, 200, 0},
        {"comment before level", "[WXAPI]\n; level below\nlevel=3\n", "", 512, 5, 200, 0},
        {"empty line before level", "[WXAPI]\n\nlevel=3\n", "", 512, 5, 200, 0},
        {"level 0", "[WXAPI]\nlevel=0\n", "", 512, 5, 200, 0},
        {"level 6", "[WXAPI]\nlevel=6\n", "", 512, 5, 200, 0},
        {"blanks in a level value", "[WXAPI]\nlevel= 4 \n", "", 512, 5, 200, 4},
        {"blanks inside a level value", "[WXAPI]\nlevel=1 2\n", "", 512, 5, 200, 0},
        {"tab before level", "[WXAPI]\n\tlevel=4\n", "", 512, 5, 200, 4},
        {"text after the section", "[WXAPI] api\nlevel=2\n", "", 512, 5, 200, 2},
        {"longer section name", "[WXAPIX]\nlevel=2\n", "", 512, 5, 200, 0},
        {"other trace name", "[ZRKC]\nlevel=2\n", "", 512, 5, 200, 0},
        {"names are case-sensitive", "[wxapi]\nlevel=2\n", "", 512, 5, 200, 0},
        {"level without section", "level=3\n", "", 512, 5, 200, 0},
        {"last line without newline", "max=3\n[WXAPI]\nlevel=5", "", 512, 5, 3, 5},
    };
    InstallRoot root;
    const std::string file = root.etc() + "/velkapi_trcdef.ini";
    for (const auto &c : cases) {
        root.writeTraceDefinition(c.text);
        zrkplatform::trace::TraceDefinition def;
        ASSERT_EQ(zrkplatform::trace::ReadTraceDefinition(file.c_str(), "WXAPI", def), 0) << c.what;
        EXPECT_EQ(std::string(def.caPath, def.uiPathLen), c.path) << c.what;
        EXPECT_EQ(def.uiSizeKb, c.size) << c.what;
        EXPECT_EQ(def.uiGen, c.gen) << c.what;
        EXPECT_EQ(def.uiMax, c.max) << c.what;
        EXPECT_EQ(def.uiLevel, c.level) << c.what;
    }
}

TEST_F(Trace, DefinitionProblemsFailTheOpen) {
    TraceHandle h {};
    std::memset(&h, 0x5a, sizeof h);
    root.writeTraceDefinition("[TRACEDEFINE]\npath=" + dir() + "\n[WXAPI]\n level=3\n");
    EXPECT_EQ(failure(ZRKC_OpenTrace(&h, "WXAPI")), kOpen | 0x200000b);
    EXPECT_TRUE(isZero(h));

    fs::remove(root.etc() + "/velkapi_trcdef.ini");
    EXPECT_EQ(failure(ZRKC_OpenTrace(&h, "WXAPI")), kOpen | 0x2f00000 | ENOENT);
    EXPECT_TRUE(isZero(h));
    // Nothing was created on the way.
    EXPECT_FALSE(zrktest::exists(mngPath()));
    // Writes through the failed handle do no harm.
    EXPECT_EQ(put(h, "x"), kOutput | 0xd);
}

// ---- the management file and the first trace file ---------------------------------

// The sanitizer turns mlock into a no-op.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMlockWorks = false;
#else
constexpr bool kMlockWorks = true;
#endif

// Memory this process has locked, in kB.
long lockedKb() {
    const std::string status = zrktest::readFile("/proc/self/status");
    const size_t at = status.find("VmLck:");
    return at == std::string::npos ? -1 : std::strtol(status.c_str() + at + 6, nullptr, 10);
}

TEST_F(Trace, FirstOpenCreatesManagementAndTraceFile) {
    define(1, 2, 3, 4);
    const long lockedBefore = lockedKb();
    TraceHandle h = openTrace();
    if (kMlockWorks) {
        EXPECT_GE(lockedKb(), lockedBefore + 4);  // the management map stays in memory
    }
    EXPECT_STREQ(h.caTraceName, "WXAPI");
    EXPECT_EQ(h.uiSlot, 1u);
    EXPECT_EQ(h.uiGeneration, 1u);
    EXPECT_EQ(h.uiLevel, 4u);

    const std::string m = mng();
    ASSERT_EQ(m.size(), 4304u);
    EXPECT_EQ(std::string(m.c_str()), dir());
    EXPECT_EQ(u32(m, 256), 1024u);
    EXPECT_EQ(u32(m, 260), 3u);
    EXPECT_EQ(u32(m, 264), 2u);
    EXPECT_EQ(u32(m, 268), 1u);
    EXPECT_EQ(u32(m, 272), 0u);
    EXPECT_EQ(m.substr(276, 32), unameText() + std::string(32 - unameText().size(), '\0'));
    EXPECT_EQ(u32(m, 308), 1u);
    EXPECT_EQ(m.find_first_not_of('\0', 312), std::string::npos);

    const std::string t = zrktest::readFile(generationFile(dir(), 1, 1));
    ASSERT_EQ(t.size(), 1024u);
    EXPECT_EQ(u32(t, 16), 52u);
    EXPECT_EQ(t.substr(20, 32), m.substr(276, 32));
    EXPECT_TRUE(parseTraceFile(t, nullptr));

    EXPECT_EQ(ZRKC_CloseTrace(&h), 0);
    EXPECT_TRUE(isZero(h));
    if (kMlockWorks) {
        EXPECT_EQ(lockedKb(), lockedBefore);
    }
    EXPECT_EQ(failure(ZRKC_CloseTrace(&h)), 0x6000000d);
}

TEST_F(Trace, EmptyManagementFileIsBuiltAfresh) {
    define(1, 2, 3);
    { std::ofstream(mngPath()).flush(); }  // left empty by a creator that died
    TraceHandle h = openTrace();
    EXPECT_EQ(h.uiSlot, 1u);
    EXPECT_EQ(mng().size(), 4304u);
    ZRKC_CloseTrace(&h);
}

TEST_F(Trace, SlotsGoRoundRobinAndKeepTheirGeneration) {
    define(1, 2, 3);
    TraceHandle h[4];
    h[0] = openTrace();
    // Fill the first slot's first generation so that it moves to generation 2.
    for (int i = 0; i < 13; ++i) ASSERT_EQ(put(h[0], "x"), 0);
    EXPECT_EQ(h[0].uiGeneration, 2u);
    for (int i = 1; i < 4; ++i) h[i] = openTrace();
    EXPECT_EQ(h[1].uiSlot, 2u);
    EXPECT_EQ(h[2].uiSlot, 3u);
    EXPECT_EQ(h[3].uiSlot, 1u);  // the fourth open wraps
    EXPECT_EQ(h[3].uiGeneration, 2u);
    EXPECT_EQ(u32(mng(), 268), 1u);
    EXPECT_EQ(u32(mng(), 312), 1u);
    EXPECT_EQ(u32(mng(), 316), 1u);
    for (auto &handle : h) EXPECT_EQ(ZRKC_CloseTrace(&handle), 0);
}

TEST_F(Trace, TraceFilesAreNamedWithTheStoredDirectory) {
    define(1, 2, 3);
    TraceHandle first = openTrace();
    ZRKC_CloseTrace(&first);
    const std::string other = root.path("other");
    fs::create_directories(other);
    poke(mngPath(), 0, other + std::string(1, '\0'));
    TraceHandle h = openTrace();
    EXPECT_TRUE(zrktest::exists(generationFile(other, 2, 1)));
    EXPECT_FALSE(zrktest::exists(generationFile(dir(), 2, 1)));
    ZRKC_CloseTrace(&h);
}

// ---- records and generations -------------------------------------------------------

TEST_F(Trace, RecordLayoutAndLevelFilter) {
    define(1, 2, 3, 3);
    TraceHandle h = openTrace();
    const time_t before = std::time(nullptr);
    ASSERT_EQ(put(h, "A", 3, 1234, 0x43, 2), 0);
    EXPECT_EQ(put(h, "dropped", 4), 0);  // above the configured level: not written

    const std::string t = zrktest::readFile(generationFile(dir(), 1, 1));
    EXPECT_EQ(u32(t, 16), 52u + 76u);
    std::vector<Record> recs;
    ASSERT_TRUE(parseTraceFile(t, &recs));
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].length, 76u);
    EXPECT_EQ(recs[0].name, "WXAPI");
    EXPECT_EQ(recs[0].pid, 1234u);
    EXPECT_EQ(recs[0].caller, 0x43u);
    EXPECT_EQ(recs[0].level, 3u);
    EXPECT_EQ(recs[0].kind, 2u);
    EXPECT_EQ(recs[0].data, "A");
    EXPECT_GE(recs[0].seconds, static_cast<uint32_t>(before));
    ZRKC_CloseTrace(&h);
}

TEST_F(Trace, LongTraceNameIsCutInHandleAndRecord) {
    const std::string name(40, 'N');
    root.writeTraceDefinition("path=" + dir() + "\nsize=1\n[" + name + "]\nlevel=1\n");
    TraceHandle h {};
    ASSERT_EQ(ZRKC_OpenTrace(&h, name.c_str()), 0) << std::hex << errno;
    EXPECT_EQ(std::string(h.caTraceName), name.substr(0, 31));
    ASSERT_EQ(put(h, "x"), 0);
    auto recs = records(generationFile(dir(), 1, 1));
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].name, name.substr(0, 27));
    ZRKC_CloseTrace(&h);
}

TEST_F(Trace, TwelveSmallRecordsFillAKilobyteThenTheSlotMovesOn) {
    define(1, 2, 3);
    TraceHandle h = openTrace();
    for (int i = 0; i < 12; ++i) ASSERT_EQ(put(h, std::string(1, char('a' + i))), 0);
    EXPECT_EQ(u32(zrktest::readFile(generationFile(dir(), 1, 1)), 16), 964u);
    EXPECT_FALSE(zrktest::exists(generationFile(dir(), 1, 2)));

    ASSERT_EQ(put(h, "m"), 0);
    EXPECT_EQ(h.uiGeneration, 2u);
    EXPECT_EQ(u32(mng(), 308), 2u);
    EXPECT_EQ(records(generationFile(dir(), 1, 1)).size(), 12u);
    auto recs = records(generationFile(dir(), 1, 2));
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].data, "m");
    ZRKC_CloseTrace(&h);
}

TEST_F(Trace, AfterTheLastGenerationTheFirstIsClearedAndReused) {
    define(1, 2, 3);
    TraceHandle h = openTrace();
    for (int i = 0; i < 24; ++i) ASSERT_EQ(put(h, "old"), 0);  // generations 1 and 2 full
    EXPECT_EQ(h.uiGeneration, 2u);
    const std::string header = zrktest::readFile(generationFile(dir(), 1, 1)).substr(0, 16);

    ASSERT_EQ(put(h, "new"), 0);
    EXPECT_EQ(h.uiGeneration, 1u);
    EXPECT_EQ(u32(mng(), 308), 1u);
    const std::string t = zrktest::readFile(generationFile(dir(), 1, 1));
    EXPECT_EQ(t.substr(0, 16), header);
    auto recs = records(generationFile(dir(), 1, 1));
    ASSERT_EQ(recs.size(), 1u);  // parseTraceFile also proves the rest is zero
    EXPECT_EQ(recs[0].data, "new");
    EXPECT_EQ(records(generationFile(dir(), 1, 2)).size(), 12u);
    ZRKC_CloseTrace(&h);
}

TEST_F(Trace, HandlesSharingASlotFollowEachOther) {
    define(1, 3, 1);
    TraceHandle a = openTrace();
    TraceHandle b = openTrace();
    ASSERT_EQ(b.uiSlot, 1u);
    ASSERT_EQ(put(a, "a1"), 0);
    for (int i = 0; i < 12; ++i) ASSERT_EQ(put(b, "b"), 0);  // b moves the slot to generation 2
    ASSERT_EQ(b.uiGeneration, 2u);
    ASSERT_EQ(put(a, "a2"), 0);
    EXPECT_EQ(a.uiGeneration, 2u);
    auto recs = records(generationFile(dir(), 1, 2));
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].data, "b");
    EXPECT_EQ(recs[1].data, "a2");
    EXPECT_EQ(records(generationFile(dir(), 1, 1)).size(), 12u);
    ZRKC_CloseTrace(&a);
    ZRKC_CloseTrace(&b);
}

TEST_F(Trace, OversizeRecordsGetFilesOfTheirOwn) {
    define(1, 2, 3);
    TraceHandle h = openTrace();
    // A record that exactly fills an empty file (72 + 900 = 1024 - 52) stays in it.
    ASSERT_EQ(put(h, std::string(900, 'f')), 0);
    EXPECT_EQ(u32(zrktest::readFile(generationFile(dir(), 1, 1)), 16), 1024u);

    ASSERT_EQ(put(h, std::string(1000, 'o'), 2, 5, 6), 0);
    const std::string first = zrktest::readFile(oversizeFile(dir(), 1));
    ASSERT_EQ(first.size(), 1124u);
    EXPECT_EQ(u32(first, 16), 1124u);
    EXPECT_EQ(first.substr(20, 32), mng().substr(276, 32));
    std::vector<Record> recs;
    ASSERT_TRUE(parseTraceFile(first, &recs));
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].length, 1072u);
    EXPECT_EQ(recs[0].data, std::string(1000, 'o'));
    EXPECT_EQ(u32(mng(), 272), 1u);
    EXPECT_EQ(h.uiGeneration, 1u);  // the generation files are not touched

    ASSERT_EQ(put(h, std::string(2000, 'p')), 0);
    EXPECT_TRUE(zrktest::exists(oversizeFile(dir(), 2)));

    // The counter runs to 100, then starts again at 1; a counter out of range
    // (written by someone else) also starts again at 1.
    poke(mngPath(), 272, le32(99));
    ASSERT_EQ(put(h, std::string(1000, 'q')), 0);
    EXPECT_EQ(records(oversizeFile(dir(), 100))[0].data[0], 'q');
    ASSERT_EQ(put(h, std::string(1000, 'r')), 0);
    EXPECT_EQ(records(oversizeFile(dir(), 1))[0].data[0], 'r');
    poke(mngPath(), 272, le32(5000));
    ASSERT_EQ(put(h, std::string(1000, 's')), 0);
    EXPECT_EQ(records(oversizeFile(dir(), 1))[0].data[0], 's');
    EXPECT_EQ(u32(mng(), 272), 1u);
    ZRKC_CloseTrace(&h);
}

// ---- argument checks -----------------------------------------------------------------

TEST_F(Trace, ArgumentsAreCheckedInOrder) {
    define(1, 2, 3);
    TraceHandle h = openTrace();
    TraceHandle closed {};
    const char data[] = "data";
    struct Case {
        const char *what;
        int code;
        std::function<int()> call;
    };
    const std::vector<Case> cases = {
        {"open: null handle", 0x20000001, [&] { return ZRKC_OpenTrace(nullptr, "WXAPI"); }},
        {"open: null name", 0x20000002, [&] { return ZRKC_OpenTrace(&closed, nullptr); }},
        {"open: empty name", 0x20000002, [&] { return ZRKC_OpenTrace(&closed, ""); }},
        {"write: null handle", 0x40000001,
         [&] { return ZRKC_OutputTrace(nullptr, 1, 1, 1, 1, 4, data); }},
        {"write: closed handle", 0x4000000d,
         [&] { return ZRKC_OutputTrace(&closed, 1, 1, 1, 1, 4, data); }},
        {"write: level 0", 0x40000002, [&] { return ZRKC_OutputTrace(&h, 0, 1, 1, 1, 4, data); }},
        {"write: level 6", 0x40000002, [&] { return ZRKC_OutputTrace(&h, 6, 1, 1, 1, 4, data); }},
        {"write: level before kind", 0x40000002,
         [&] { return ZRKC_OutputTrace(&h, 9, 1, 1, 0, 0, nullptr); }},
        {"write: kind 0", 0x40000005, [&] { return ZRKC_OutputTrace(&h, 1, 1, 1, 0, 4, data); }},
        {"write: length 0", 0x40000006, [&] { return ZRKC_OutputTrace(&h, 1, 1, 1, 1, 0, data); }},
        {"write: negative length", 0x40000006,
         [&] { return ZRKC_OutputTrace(&h, 1, 1, 1, 1, -4, data); }},
        {"write: length overflowing the record", 0x40000006,
         [&] { return ZRKC_OutputTrace(&h, 1, 1, 1, 1, INT_MAX - 60, data); }},
        {"write: null data", 0x40000007,
         [&] { return ZRKC_OutputTrace(&h, 1, 1, 1, 1, 4, nullptr); }},
        {"close: null handle", 0x60000001, [&] { return ZRKC_CloseTrace(nullptr); }},
        {"close: closed handle", 0x6000000d, [&] { return ZRKC_CloseTrace(&closed); }},
    };
    for (const auto &c : cases) {
        const int rc = c.call();
        const int err = errno;
        EXPECT_EQ(rc, -1) << c.what;
        EXPECT_EQ(err, c.code) << c.what << std::hex << " errno 0x" << err;
    }
    // None of them wrote anything.
    EXPECT_EQ(u32(zrktest::readFile(generationFile(dir(), 1, 1)), 16), 52u);
    EXPECT_FALSE(zrktest::exists(oversizeFile(dir(), 1)));
    ZRKC_CloseTrace(&h);
}

// ---- unusable files: refused, never a fault ----------------------------------------

struct Corruption {
    const char *what;
    size_t offset;
    std::string bytes;
};

TEST_F(Trace, UnusableManagementFileFailsTheOpen) {
    define(1, 2, 3);
    const std::vector<Corruption> cases = {
        {"current slot 0", 268, le32(0)},
        {"current slot above max", 268, le32(4)},
        {"no slots", 260, le32(0)},
        {"more than 999 slots", 260, le32(1000)},
        {"no generations", 264, le32(0)},
        {"more than 99 generations", 264, le32(100)},
        {"size 0", 256, le32(0)},
        {"size not in whole KB", 256, le32(1500)},
        {"size above 999 KB", 256, le32(1000 * 1024)},
        {"next slot's generation above gen", 312, le32(3)},
        {"directory not terminated", 0, std::string(256, 'a')},
        {"empty directory", 0, std::string(1, '\0')},
        {"file cut short", 0, ""},
    };
    for (const auto &c : cases) {
        fs::remove_all(dir());
        fs::create_directories(dir());
        TraceHandle first = openTrace();
        ZRKC_CloseTrace(&first);
        if (c.bytes.empty()) {
            ASSERT_EQ(truncate(mngPath().c_str(), 4000), 0);
        } else {
            poke(mngPath(), static_cast<off_t>(c.offset), c.bytes);
        }
        auto result = zrktest::runChild([&] {
            TraceHandle h {};
            int err = failure(ZRKC_OpenTrace(&h, "WXAPI"));
            std::printf("0x%x", err);
            return err == (kOpen | 0x4300000 | EINVAL) && isZero(h) ? 0 : 1;
        });
        EXPECT_EQ(result.signal, 0) << c.what;
        EXPECT_EQ(result.exitCode, 0) << c.what << ": errno " << result.out;
    }
}

TEST_F(Trace, ShortTraceFileFailsTheOpen) {
    define(1, 2, 1);  // one slot: the second open takes the same file
    TraceHandle first = openTrace();
    ZRKC_CloseTrace(&first);
    ASSERT_EQ(truncate(generationFile(dir(), 1, 1).c_str(), 100), 0);
    auto result = zrktest::runChild([&] {
        TraceHandle h {};
        return failure(ZRKC_OpenTrace(&h, "WXAPI")) == (kOpen | 0x6300000 | EINVAL) && isZero(h) ? 0 : 1;
    });
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitCode, 0);
}

struct LiveCorruption {
    const char *what;
    bool inTraceFile;  // else in the management file
    size_t offset;
    std::string bytes;
    int code;
};

TEST_F(Trace, UnusableSharedValuesFailTheWrite) {
    define(1, 2, 3);
    const int badMng = kOutput | 0x4300000 | EINVAL;
    const int badTrc = kOutput | 0x6300000 | EINVAL;
    const std::vector<LiveCorruption> cases = {
        {"slot generation 0", false, 312, le32(0), badMng},
        {"slot generation above gen", false, 312, le32(3), badMng},
        {"size changed under the map", false, 256, le32(2048), badMng},
        {"handle's slot above max", false, 260, le32(1) + le32(2) + le32(1), badMng},
        {"write offset inside the header", true, 16, le32(10), badTrc},
        {"write offset past the end", true, 16, le32(1028), badTrc},
    };
    for (const auto &c : cases) {
        fs::remove_all(dir());
        fs::create_directories(dir());
        TraceHandle other = openTrace();
        TraceHandle h = openTrace();  // slot 2
        ASSERT_EQ(h.uiSlot, 2u);
        poke(c.inTraceFile ? generationFile(dir(), 2, 1) : mngPath(), static_cast<off_t>(c.offset),
             c.bytes);
        auto result = zrktest::runChild([&] {
            int err = failure(ZRKC_OutputTrace(&h, 1, 1, 1, 1, 900, std::string(900, 'x').data()));
            std::printf("0x%x", err);
            return err == c.code ? 0 : 1;
        });
        EXPECT_EQ(result.signal, 0) << c.what;
        EXPECT_EQ(result.exitCode, 0) << c.what << ": errno " << result.out;
        ZRKC_CloseTrace(&h);
        ZRKC_CloseTrace(&other);
    }
}

TEST_F(Trace, ShortNextGenerationFileIsRefusedUntilRemoved) {
    define(1, 2, 3);
    TraceHandle h = openTrace();
    { std::ofstream(generationFile(dir(), 1, 2)) << "0123456789"; }
    for (int i = 0; i < 12; ++i) ASSERT_EQ(put(h, "x"), 0);
    EXPECT_EQ(put(h, "y"), kOutput | 0x6300000 | EINVAL);
    EXPECT_EQ(h.uiGeneration, 1u);  // neither the handle nor the slot moved
    EXPECT_EQ(u32(mng(), 308), 1u);

    fs::remove(generationFile(dir(), 1, 2));
    ASSERT_EQ(put(h, "z"), 0);
    EXPECT_EQ(h.uiGeneration, 2u);
    EXPECT_EQ(records(generationFile(dir(), 1, 2)).at(0).data, "z");
    ZRKC_CloseTrace(&h);
}

TEST(TracePath, DirectoryOfAtMost255Characters) {
    InstallRoot root;
    const std::string base = zrktest::makeTempDir();
    auto directoryOfLength = [&](size_t length) {
        std::string d = base;
        while (length - d.size() > 150) d += "/" + std::string(100, 'd');
        d += "/" + std::string(length - d.size() - 1, 'e');
        fs::create_directories(d);
        return d;
    };
    const std::string fits = directoryOfLength(255);
    const std::string tooLong = directoryOfLength(256);
    ASSERT_EQ(fits.size(), 255u);
    ASSERT_EQ(tooLong.size(), 256u);

    root.writeTraceDefinition("path=" + fits + "\nsize=1\n[WXAPI]\nlevel=1\n");
    TraceHandle h {};
    ASSERT_EQ(ZRKC_OpenTrace(&h, "WXAPI"), 0) << std::hex << errno;
    EXPECT_EQ(std::string(zrktest::readFile(fits + "/velk_trcmng.def").c_str()), fits);
    EXPECT_TRUE(zrktest::exists(generationFile(fits, 1, 1)));
    ZRKC_CloseTrace(&h);

    root.writeTraceDefinition("path=" + tooLong + "\nsize=1\n[WXAPI]\nlevel=1\n");
    EXPECT_EQ(failure(ZRKC_OpenTrace(&h, "WXAPI")), kOpen | 0x4100000 | ENAMETOOLONG);
    EXPECT_TRUE(isZero(h));
    EXPECT_FALSE(zrktest::exists(tooLong + "/velk_trcmng.def"));
    zrktest::removeTree(base);
}

// ---- the system name ---------------------------------------------------------------------

// The text is the system's name and release as the system call gives them,
// the same text as the first line of "uname -sr"; no command is run for it,
// so an "uname" found first on the PATH changes nothing.
TEST_F(Trace, SystemNameAndReleaseComeFromTheSystemCall) {
    struct utsname names {};
    ASSERT_EQ(uname(&names), 0);
    std::string expected = std::string(names.sysname) + " " + names.release + "\n";
    expected.resize(std::min<size_t>(expected.size(), 31));
    EXPECT_EQ(expected, unameText());
    expected.resize(32, '\0');

    const std::string fakeBin = root.path("fakebin");
    fs::create_directories(fakeBin);
    root.write("fakebin/uname", "#!/bin/sh\necho Planted 0.0\n");
    ASSERT_EQ(chmod((fakeBin + "/uname").c_str(), 0755), 0);
    define(1, 2, 3);
    auto r = zrktest::runChild([&] {
        setenv("PATH", (fakeBin + ":" + std::getenv("PATH")).c_str(), 1);
        TraceHandle h {};
        if (ZRKC_OpenTrace(&h, "WXAPI") != 0) return 1;
        return ZRKC_CloseTrace(&h) == 0 ? 0 : 2;
    });
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(mng().substr(276, 32), expected);
    EXPECT_EQ(zrktest::readFile(generationFile(dir(), 1, 1)).substr(20, 32), expected);
}

// ---- file modes, planted links, files of other users --------------------------------------

mode_t modeOf(const std::string &path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST_F(Trace, CreatedFilesAre0644WhateverTheUmask) {
    for (mode_t mask : {0000, 0077}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        fs::remove_all(dir());
        fs::create_directories(dir());
        define(1, 2, 3);
        auto r = zrktest::runChild([&] {
            umask(mask);
            TraceHandle h {};
            if (ZRKC_OpenTrace(&h, "WXAPI") != 0) return 1;
            for (int i = 0; i < 13; ++i) {
                if (put(h, "x") != 0) return 2;  // the thirteenth opens generation 2
            }
            if (put(h, std::string(1000, 'o')) != 0) return 3;  // an oversize file
            return ZRKC_CloseTrace(&h) == 0 ? 0 : 4;
        });
        ASSERT_EQ(r.exitCode, 0);
        for (const std::string &path : {mngPath(), generationFile(dir(), 1, 1),
                                        generationFile(dir(), 1, 2), oversizeFile(dir(), 1)}) {
            EXPECT_EQ(modeOf(path), S_IFREG | 0644u) << path;
        }
    }
}

struct PlantCase {
    const char *what;
    std::function<void()> plant;  // puts a link at one of the facility's names
    std::function<int()> act;     // what then runs: the errno of its failure, or 0
    int code;
    std::function<void()> verify;
};

// A link planted at any name the facility opens is never followed: the open
// fails with ELOOP, except for an oversize file, whose name is always made
// anew (the link is removed, never written through).
TEST_F(Trace, LinksPlantedAtItsFileNamesAreNeverFollowed) {
    const std::string target = root.path("precious");
    const std::string absent = root.path("absent");
    auto plantLink = [&](const std::string &to, const std::string &at) {
        ASSERT_EQ(symlink(to.c_str(), at.c_str()), 0);
    };
    auto openFails = [&] {
        TraceHandle h {};
        const int err = failure(ZRKC_OpenTrace(&h, "WXAPI"));
        EXPECT_TRUE(isZero(h));
        return err;
    };
    TraceHandle h {};
    auto fillThenMoveOn = [&] {
        h = openTrace();
        for (int i = 0; i < 12; ++i) EXPECT_EQ(put(h, "x"), 0);
        const int err = put(h, "y");
        EXPECT_EQ(h.uiGeneration, 1u);
        ZRKC_CloseTrace(&h);
        return err;
    };
    auto oversize = [&] {
        h = openTrace();
        const int err = put(h, std::string(1000, 'o'));
        ZRKC_CloseTrace(&h);
        return err;
    };
    auto oversizeIsNew = [&] {
        EXPECT_EQ(modeOf(oversizeFile(dir(), 1)), S_IFREG | 0644u);
        EXPECT_EQ(records(oversizeFile(dir(), 1)).at(0).data, std::string(1000, 'o'));
    };
    const std::vector<PlantCase> cases = {
        {"symbolic link at the management file", [&] { plantLink(target, mngPath()); }, openFails,
         kOpen | 0x4100000 | ELOOP, [] {}},
        {"dangling link at the management file", [&] { plantLink(absent, mngPath()); }, openFails,
         kOpen | 0x4100000 | ELOOP, [] {}},
        {"symbolic link at the first trace file",
         [&] { plantLink(target, generationFile(dir(), 1, 1)); }, openFails,
         kOpen | 0x6100000 | ELOOP, [] {}},
        {"dangling link at the next generation's file",
         [&] { plantLink(absent, generationFile(dir(), 1, 2)); }, fillThenMoveOn,
         kOutput | 0x6100000 | ELOOP, [] {}},
        {"symbolic link at the oversize file", [&] { plantLink(target, oversizeFile(dir(), 1)); },
         oversize, 0, oversizeIsNew},
        {"dangling link at the oversize file", [&] { plantLink(absent, oversizeFile(dir(), 1)); },
         oversize, 0, oversizeIsNew},
        {"hard link at the oversize file",
         [&] { ASSERT_EQ(link(target.c_str(), oversizeFile(dir(), 1).c_str()), 0); }, oversize, 0,
         oversizeIsNew},
    };
    for (const PlantCase &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir());
        fs::create_directories(dir());
        root.write("precious", "precious\n");
        define(1, 2, 3);
        c.plant();
        const int err = c.act();
        EXPECT_EQ(err, c.code) << std::hex << "errno 0x" << err;
        c.verify();
        EXPECT_EQ(zrktest::readFile(target), "precious\n");
        EXPECT_FALSE(zrktest::exists(absent));
    }
}

struct UntrustedCase {
    const char *what;
    bool traceFile;     // else the management file
    uid_t owner;
    mode_t mode;
};

// The management file names the directory in which the caller creates its
// trace files, and every process writes the trace files through shared maps:
// one that another user owns or may write is refused.
TEST_F(Trace, ManagementOrTraceFileOfAnotherUserIsRefused) {
    constexpr uid_t kNobody = 65534;
    const UntrustedCase cases[] = {
        {"management file of another user", false, kNobody, 0644},
        {"management file writable by all", false, 0, 0666},
        {"management file writable by the group", false, 0, 0664},
        {"management file writable by others", false, 0, 0646},
        {"trace file of another user", true, kNobody, 0644},
        {"trace file writable by all", true, 0, 0666},
        {"trace file writable by the group", true, 0, 0664},
    };
    const std::string other = root.path("other");
    for (const UntrustedCase &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir());
        fs::remove_all(other);
        fs::create_directories(dir());
        fs::create_directories(other);
        define(1, 2, 1);  // one slot: every open takes the same trace file
        TraceHandle first = openTrace();
        ZRKC_CloseTrace(&first);
        const std::string file = c.traceFile ? generationFile(dir(), 1, 1) : mngPath();
        if (!c.traceFile) {
            // Pointed elsewhere by whoever may write it.
            poke(mngPath(), 0, other + std::string(1, '\0'));
        }
        ASSERT_EQ(chown(file.c_str(), c.owner, c.owner), 0);
        ASSERT_EQ(chmod(file.c_str(), c.mode), 0);
        const std::string before = zrktest::readFile(file);

        TraceHandle h {};
        EXPECT_EQ(failure(ZRKC_OpenTrace(&h, "WXAPI")),
                  kOpen | (c.traceFile ? 0x6100000 : 0x4100000) | EACCES);
        EXPECT_TRUE(isZero(h));
        EXPECT_EQ(zrktest::readFile(file), before);
        EXPECT_TRUE(fs::is_empty(other));
    }
}

// ---- several processes ------------------------------------------------------------------

// Whether /proc/locks lists pid as waiting for a lock on the inode.
bool waitingForLock(pid_t pid, ino_t inode) {
    std::ifstream locks("/proc/locks");
    std::string line;
    const std::string who = " " + std::to_string(pid) + " ";
    const std::string what = ":" + std::to_string(inode) + " ";
    while (std::getline(locks, line)) {
        if (line.find("->") != std::string::npos && line.find(who) != std::string::npos &&
            line.find(what) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST_F(Trace, WritersWaitForTheManagementFileLock) {
    define(1, 2, 3);
    TraceHandle h = openTrace();
    int fd = open(mngPath().c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct flock lk {};
    lk.l_type = F_WRLCK;
    lk.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(fd, F_SETLK, &lk), 0);
    struct stat st {};
    ASSERT_EQ(fstat(fd, &st), 0);

    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(ZRKC_OutputTrace(&h, 1, 1, 1, 1, 5, "child") == 0 ? 0 : 1);

    bool waiting = false;
    for (int i = 0; i < 20000 && !waiting; ++i) {
        waiting = waitingForLock(child, st.st_ino);
        if (!waiting) usleep(1000);
    }
    if (!waiting) kill(child, SIGKILL);
    EXPECT_TRUE(waiting) << "the writer never waited for the lock";
    EXPECT_EQ(u32(zrktest::readFile(generationFile(dir(), 1, 1)), 16), 52u);

    lk.l_type = F_UNLCK;
    ASSERT_EQ(fcntl(fd, F_SETLK, &lk), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (waiting) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(records(generationFile(dir(), 1, 1)).size(), 1u);
    }
    close(fd);
    ZRKC_CloseTrace(&h);
}

std::string payload(int writer, int seq) {
    char head[32];
    std::snprintf(head, sizeof head, "w%d#%d#", writer, seq);
    const size_t fill = seq % 60 == 59 ? 5000 : static_cast<size_t>(seq * 37 % 200);
    return head + std::string(fill, static_cast<char>('a' + (writer + seq) % 26));
}

TEST_F(Trace, ManyWritersLoseAndCorruptNothing) {
    constexpr int kWriters = 8;
    constexpr int kRecords = 300;
    define(4, 99, 3, 5);  // no management file yet: the writers race to create it
    // A start line in shared memory, so that all writers run at once.
    void *shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto *ready = new (shared) std::atomic<int>(0);
    const std::vector<int> codes = zrktest::runChildren(kWriters, [ready](int w) {
        ready->fetch_add(1);
        while (ready->load() < kWriters) sched_yield();
        TraceHandle h {};
        if (ZRKC_OpenTrace(&h, "WXAPI") != 0) return 100;
        for (int seq = 0; seq < kRecords; ++seq) {
            const std::string data = payload(w, seq);
            if (ZRKC_OutputTrace(&h, 1 + seq % 5, w, seq, 2, static_cast<int>(data.size()),
                                 data.data()) != 0) {
                return 101;
            }
        }
        const int slot = static_cast<int>(h.uiSlot);
        return ZRKC_CloseTrace(&h) == 0 ? slot : 102;
    });
    // Eight opens on three slots, one slot per open in turn.
    std::map<int, int> slots;
    for (int code : codes) ++slots[code];
    EXPECT_EQ(slots, (std::map<int, int>{{1, 3}, {2, 3}, {3, 2}}));

    std::map<std::pair<uint32_t, uint32_t>, int> seen;
    int files = 0;
    for (const auto &entry : fs::directory_iterator(dir())) {
        if (entry.path().filename() == "velk_trcmng.def") continue;
        ++files;
        std::vector<Record> recs;
        ASSERT_TRUE(parseTraceFile(zrktest::readFile(entry.path()), &recs)) << entry.path();
        for (const auto &rec : recs) {
            EXPECT_EQ(rec.data, payload(static_cast<int>(rec.pid), static_cast<int>(rec.caller)));
            ++seen[{rec.pid, rec.caller}];
        }
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kWriters * kRecords));
    for (const auto &[key, count] : seen) {
        EXPECT_EQ(count, 1) << "writer " << key.first << " record " << key.second;
    }
    const std::string m = mng();
    for (size_t s = 0; s < 3; ++s) {
        EXPECT_GT(u32(m, 308 + 4 * s), 2u) << "slot " << s + 1 << " should have rolled over";
        EXPECT_LT(u32(m, 308 + 4 * s), 99u);
    }
    EXPECT_EQ(u32(m, 272), static_cast<uint32_t>(kWriters * kRecords / 60));
    EXPECT_GT(files, 40);
    munmap(shared, sizeof(std::atomic<int>));
}

}  // namespace
