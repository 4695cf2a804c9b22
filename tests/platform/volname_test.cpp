// The volume-name store and the device-list check, through real files in a
// temporary installation root: the store's layout on disk, its growth and
// order, reference counting, corrupt stores, several writer processes at
// once, and writers whose lock or map fails.
#include "child.h"
#include "install_root.h"
#include "platform.h"
#include "volname.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using zrktest::InstallRoot;

constexpr size_t kRecord = 1088;
constexpr size_t kLength100 = 8 + kRecord * 100;  // 108808
constexpr size_t kLength200 = 8 + kRecord * 200;

std::string boxId(const std::string &text) {
    std::string id = text;
    id.resize(40, '0');
    return id;
}

const std::string kBox = boxId("VASTREL-A");

int32_t i32At(const std::string &bytes, size_t at) {
    int32_t value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

// One record slot as the file holds it, read by offset.
struct Slot {
    std::string box;
    int32_t key[5];
    std::string name;
    int32_t refs;
};

Slot slotAt(const std::string &bytes, size_t index) {
    size_t at = 8 + index * kRecord;
    Slot s;
    s.box = bytes.substr(at, 40);
    for (int i = 0; i < 5; ++i) s.key[i] = i32At(bytes, at + 40 + 4 * i);
    s.name = std::string(bytes.c_str() + at + 60);
    s.refs = i32At(bytes, at + 1084);
    return s;
}

bool allZero(const std::string &bytes, size_t from, size_t to = std::string::npos) {
    return bytes.substr(from, to == std::string::npos ? to : to - from).find_first_not_of('\0') ==
           std::string::npos;
}

std::string lookup(const std::string &box, int32_t k1, int32_t k2 = 0, int32_t k3 = 0,
                   int32_t k4 = 0, int32_t k5 = 0) {
    char out[1024] = "untouched";
    int rc = get_volname(box.data(), k1, k2, k3, k4, k5, out);
    return rc == 2 ? std::string(out) : "(rc " + std::to_string(rc) + ", " + out + ")";
}

class VolnameStore : public ::testing::Test {
protected:
    std::string store() const { return root_.etc() + "/zrkcvolinf"; }
    std::string bytes() const { return zrktest::readFile(store()); }

    // Checks that the slots in use are strictly increasing and the rest zero.
    void expectWellFormed(const std::string &file) const {
        ASSERT_GE(file.size(), 8u);
        int32_t capacity = i32At(file, 0);
        int32_t count = i32At(file, 4);
        ASSERT_EQ(file.size(), 8 + kRecord * static_cast<size_t>(capacity));
        ASSERT_LE(count, capacity);
        for (int32_t i = 1; i < count; ++i) {
            EXPECT_LT(sort_vols(file.data() + 8 + (i - 1) * kRecord, file.data() + 8 + i * kRecord), 0)
                << "slots " << i - 1 << " and " << i;
        }
        EXPECT_TRUE(allZero(file, 8 + kRecord * static_cast<size_t>(count)));
    }

    InstallRoot root_;
};

TEST_F(VolnameStore, FirstRecordCreatesTheStore) {
    ASSERT_EQ(set_volname("/dev/sdb", kBox.data(), 7, -2, 3, 4, 5), 0);
    std::string file = bytes();
    ASSERT_EQ(file.size(), kLength100);
    EXPECT_EQ(i32At(file, 0), 100);
    EXPECT_EQ(i32At(file, 4), 1);
    Slot s = slotAt(file, 0);
    EXPECT_EQ(s.box, kBox);
    EXPECT_EQ(std::vector<int32_t>(s.key, s.key + 5), (std::vector<int32_t> {7, -2, 3, 4, 5}));
    EXPECT_EQ(s.name, "/dev/sdb");
    EXPECT_EQ(s.refs, 1);
    EXPECT_TRUE(allZero(file, 8 + 60 + 8, 8 + 1084));  // the name's terminator and zeros
    EXPECT_TRUE(allZero(file, 8 + kRecord));

    EXPECT_EQ(lookup(kBox, 7, -2, 3, 4, 5), "/dev/sdb");
    EXPECT_EQ(lookup(kBox, 7, -2, 3, 4, 6), "(rc 1, untouched)");
}

TEST_F(VolnameStore, GetAndEraseWithoutAStoreCreateNothing) {
    EXPECT_EQ(lookup(kBox, 1), "(rc 1, untouched)");
    EXPECT_EQ(erase_volname(kBox.data(), 1, 0, 0, 0, 0), 1);
    EXPECT_FALSE(zrktest::exists(store()));
}

TEST_F(VolnameStore, GrowsAtThe101stKeyAndStaysSorted) {
    // Keys arrive in descending order, so every insert lands in front.
    for (int i = 100; i > 0; --i) {
        ASSERT_EQ(set_volname(("v" + std::to_string(i)).c_str(), kBox.data(), i - 50, 0, 0, 0, 0), 0);
    }
    EXPECT_EQ(bytes().size(), kLength100);
    ASSERT_EQ(set_volname("v0", kBox.data(), -50, 0, 0, 0, 0), 0);
    std::string file = bytes();
    ASSERT_EQ(file.size(), kLength200);
    EXPECT_EQ(i32At(file, 0), 200);
    EXPECT_EQ(i32At(file, 4), 101);
    expectWellFormed(file);
    for (int i = 0; i <= 100; ++i) {
        EXPECT_EQ(slotAt(file, static_cast<size_t>(i)).key[0], i - 50);
        EXPECT_EQ(lookup(kBox, i - 50), "v" + std::to_string(i));
    }
}

TEST_F(VolnameStore, RecordOrder) {
    // sort_vols: each key word as a signed number in turn, then the BoxID
    // bytes as unsigned values.
    auto record = [](const std::string &box, std::vector<int32_t> keys) {
        VolInfRecord r {};
        std::memcpy(r.caBoxId, box.data(), 40);
        for (size_t i = 0; i < 5; ++i) r.iKey[i] = keys[i];
        return r;
    };
    const std::string lowBox = boxId("A") , highBox = boxId("B");
    std::string box7f = boxId("A"), box80 = boxId("A");
    box7f[39] = '\x7f';
    box80[39] = static_cast<char>(0x80);
    const std::tuple<VolInfRecord, VolInfRecord, int> cases[] = {
        {record(lowBox, {-1, 0, 0, 0, 0}), record(lowBox, {0, 0, 0, 0, 0}), -1},
        {record(lowBox, {0, 0, 0, 0, INT32_MIN}), record(lowBox, {0, 0, 0, 0, 0}), -1},
        {record(lowBox, {0, 1, 0, 0, 0}), record(lowBox, {0, 0, 9, 9, 9}), 1},
        {record(highBox, {0, 0, 0, 0, 0}), record(lowBox, {0, 0, 0, 0, 1}), -1},
        {record(box7f, {1, 2, 3, 4, 5}), record(box80, {1, 2, 3, 4, 5}), -1},
        {record(lowBox, {1, 2, 3, 4, 5}), record(lowBox, {1, 2, 3, 4, 5}), 0},
    };
    for (const auto &[a, b, sign] : cases) {
        int ab = sort_vols(&a, &b);
        int ba = sort_vols(&b, &a);
        EXPECT_EQ((ab > 0) - (ab < 0), sign);
        EXPECT_EQ((ba > 0) - (ba < 0), -sign);
    }

    // The same order on disk.
    ASSERT_EQ(set_volname("high", box80.data(), 0, 0, 0, 0, 0), 0);
    ASSERT_EQ(set_volname("low", box7f.data(), 0, 0, 0, 0, 0), 0);
    ASSERT_EQ(set_volname("neg", box80.data(), 0, 0, -1, 0, 0), 0);
    std::string file = bytes();
    expectWellFormed(file);
    EXPECT_EQ(slotAt(file, 0).name, "neg");
    EXPECT_EQ(slotAt(file, 1).name, "low");
    EXPECT_EQ(slotAt(file, 2).name, "high");
}

TEST_F(VolnameStore, ReferenceCounting) {
    ASSERT_EQ(set_volname("first", kBox.data(), 1, 2, 3, 4, 5), 0);
    ASSERT_EQ(set_volname("a-much-longer-second-name", kBox.data(), 1, 2, 3, 4, 5), 0);
    ASSERT_EQ(set_volname("last", kBox.data(), 1, 2, 3, 4, 5), 0);
    std::string file = bytes();
    EXPECT_EQ(i32At(file, 4), 1);
    EXPECT_EQ(slotAt(file, 0).refs, 3);
    EXPECT_EQ(slotAt(file, 0).name, "last");
    EXPECT_TRUE(allZero(file, 8 + 60 + 4, 8 + 1084));  // no tail of the longer name

    EXPECT_EQ(erase_volname(kBox.data(), 1, 2, 3, 4, 5), 0);
    EXPECT_EQ(erase_volname(kBox.data(), 1, 2, 3, 4, 5), 0);
    EXPECT_EQ(slotAt(bytes(), 0).refs, 1);
    EXPECT_EQ(lookup(kBox, 1, 2, 3, 4, 5), "last");
    EXPECT_EQ(erase_volname(kBox.data(), 1, 2, 3, 4, 5), 0);
    file = bytes();
    EXPECT_EQ(i32At(file, 4), 0);
    EXPECT_TRUE(allZero(file, 8));
    EXPECT_EQ(lookup(kBox, 1, 2, 3, 4, 5), "(rc 1, untouched)");
    EXPECT_EQ(erase_volname(kBox.data(), 1, 2, 3, 4, 5), 0);  // absent key
}

TEST_F(VolnameStore, EraseMovesDownAndClearsTheVacatedSlot) {
    for (int k : {3, 1, 2}) {
        ASSERT_EQ(set_volname(("v" + std::to_string(k)).c_str(), kBox.data(), k, 0, 0, 0, 0), 0);
    }
    ASSERT_EQ(erase_volname(kBox.data(), 2, 0, 0, 0, 0), 0);
    std::string file = bytes();
    EXPECT_EQ(i32At(file, 4), 2);
    EXPECT_EQ(slotAt(file, 0).name, "v1");
    EXPECT_EQ(slotAt(file, 1).name, "v3");
    expectWellFormed(file);

    const std::string before = bytes();
    EXPECT_EQ(erase_volname(kBox.data(), 9, 0, 0, 0, 0), 0);
    EXPECT_EQ(bytes(), before);
}

TEST_F(VolnameStore, NameIsBoundedTo1023Characters) {
    const std::string longest(1023, 'n');
    const std::string tooLong(1024, 'n');
    EXPECT_EQ(set_volname(tooLong.c_str(), kBox.data(), 1, 0, 0, 0, 0), -1);
    EXPECT_FALSE(zrktest::exists(store()));

    ASSERT_EQ(set_volname(longest.c_str(), kBox.data(), 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(lookup(kBox, 1), longest);
    const std::string before = bytes();
    EXPECT_EQ(set_volname(tooLong.c_str(), kBox.data(), 1, 0, 0, 0, 0), -1);
    EXPECT_EQ(set_volname(tooLong.c_str(), kBox.data(), 2, 0, 0, 0, 0), -1);
    EXPECT_EQ(bytes(), before);
}

TEST_F(VolnameStore, CorruptStoresAreRefusedWithoutATouch) {
    struct Corruption {
        const char *title;
        std::function<void(std::string &)> apply;
    };
    auto setI32 = [](std::string &file, size_t at, int32_t value) {
        std::memcpy(file.data() + at, &value, sizeof value);
    };
    const Corruption cases[] = {
        {"truncated by one slot", [](std::string &f) { f.resize(f.size() - kRecord); }},
        {"truncated inside the header", [](std::string &f) { f.resize(4); }},
        {"one byte too long", [](std::string &f) { f.push_back('\0'); }},
        {"capacity 0", [&](std::string &f) { setI32(f, 0, 0); }},
        {"negative capacity", [&](std::string &f) { setI32(f, 0, -100); }},
        {"capacity beyond the file", [&](std::string &f) { setI32(f, 0, 200); }},
        {"huge capacity", [&](std::string &f) { setI32(f, 0, INT32_MAX); }},
        {"negative count", [&](std::string &f) { setI32(f, 4, -1); }},
        {"count above capacity", [&](std::string &f) { setI32(f, 4, 101); }},
        {"huge count", [&](std::string &f) { setI32(f, 4, INT32_MAX); }},
    };
    for (const Corruption &c : cases) {
        SCOPED_TRACE(c.title);
        ASSERT_EQ(unlink(store().c_str()) == 0 || errno == ENOENT, true);
        ASSERT_EQ(set_volname("kept", kBox.data(), 1, 0, 0, 0, 0), 0);
        std::string file = bytes();
        c.apply(file);
        root_.write("etc/zrkcvolinf", file);

        EXPECT_EQ(set_volname("new", kBox.data(), 2, 0, 0, 0, 0), -1);
        EXPECT_EQ(set_volname("again", kBox.data(), 1, 0, 0, 0, 0), -1);
        EXPECT_EQ(erase_volname(kBox.data(), 1, 0, 0, 0, 0), -1);
        EXPECT_EQ(lookup(kBox, 1), "(rc 1, untouched)");
        EXPECT_EQ(bytes(), file);
    }
}

TEST_F(VolnameStore, AnEmptyStoreFileIsSetUpByTheNextWriter) {
    // What a creator leaves when it fails before it can write the header.
    root_.write("etc/zrkcvolinf", "");
    EXPECT_EQ(lookup(kBox, 1), "(rc 1, untouched)");
    EXPECT_EQ(erase_volname(kBox.data(), 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(bytes(), "");
    ASSERT_EQ(set_volname("v", kBox.data(), 1, 0, 0, 0, 0), 0);
    std::string file = bytes();
    EXPECT_EQ(file.size(), kLength100);
    EXPECT_EQ(i32At(file, 4), 1);
    EXPECT_EQ(lookup(kBox, 1), "v");
}

TEST_F(VolnameStore, ConcurrentWritersLoseNothing) {
    // Eight processes start together on a host without a store, each
    // recording 40 keys: creation and three growths happen under contention.
    constexpr int kChildren = 8;
    constexpr int kKeys = 40;
    std::vector<int> codes = zrktest::runChildren(kChildren, [](int child) {
        for (int k = 0; k < kKeys; ++k) {
            std::string name = "c" + std::to_string(child) + "k" + std::to_string(k);
            // Children interleave in key order: each insert lands mid-store.
            if (set_volname(name.c_str(), kBox.data(), k, -child, 0, 0, 0) != 0) return 1;
        }
        return 0;
    });
    EXPECT_EQ(codes, std::vector<int>(kChildren, 0));

    std::string file = bytes();
    EXPECT_EQ(i32At(file, 0), 400);
    EXPECT_EQ(i32At(file, 4), kChildren * kKeys);
    EXPECT_EQ(file.size(), 8 + kRecord * 400);
    expectWellFormed(file);
    for (int child = 0; child < kChildren; ++child) {
        for (int k = 0; k < kKeys; ++k) {
            EXPECT_EQ(lookup(kBox, k, -child),
                      "c" + std::to_string(child) + "k" + std::to_string(k));
        }
    }
    for (int i = 0; i < kChildren * kKeys; ++i) EXPECT_EQ(slotAt(file, static_cast<size_t>(i)).refs, 1);

    // And all of them erase their keys again at once.
    codes = zrktest::runChildren(kChildren, [](int child) {
        for (int k = 0; k < kKeys; ++k) {
            if (erase_volname(kBox.data(), k, -child, 0, 0, 0) != 0) return 1;
        }
        return 0;
    });
    EXPECT_EQ(codes, std::vector<int>(kChildren, 0));
    file = bytes();
    EXPECT_EQ(i32At(file, 4), 0);
    EXPECT_TRUE(allZero(file, 8));
}

TEST_F(VolnameStore, FirstWritersDoNotOverwriteEachOther) {
    // Several processes find no store and create it at the same moment; each
    // one's record must survive the others' creation. The children pass a
    // barrier together so that their opens coincide; a few rounds are run.
    constexpr int kChildren = 8;
    void *shared = mmap(nullptr, sizeof(pthread_barrier_t), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto *barrier = static_cast<pthread_barrier_t *>(shared);
    pthread_barrierattr_t attr;
    pthread_barrierattr_init(&attr);
    pthread_barrierattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        unlink(store().c_str());
        ASSERT_EQ(pthread_barrier_init(barrier, &attr, kChildren), 0);
        std::vector<int> codes = zrktest::runChildren(kChildren, [barrier](int child) {
            pthread_barrier_wait(barrier);
            return set_volname("v", kBox.data(), child, 0, 0, 0, 0) == 0 ? 0 : 1;
        });
        pthread_barrier_destroy(barrier);
        EXPECT_EQ(codes, std::vector<int>(kChildren, 0));
        std::string file = bytes();
        EXPECT_EQ(i32At(file, 4), kChildren);
        expectWellFormed(file);
        if (HasFailure()) break;
    }
    pthread_barrierattr_destroy(&attr);
    munmap(shared, sizeof(pthread_barrier_t));
}

// Runs body in a child whose files may not grow beyond limit bytes.
int withFileSizeLimit(rlim_t limit, const std::function<int()> &body) {
    return zrktest::runChild([&] {
               signal(SIGXFSZ, SIG_IGN);
               struct rlimit rl {limit, limit};
               if (setrlimit(RLIMIT_FSIZE, &rl) != 0) return 99;
               return body();
           })
        .exitCode;
}

TEST_F(VolnameStore, FailedMapIsAnErrorAndChangesNothing) {
    // Creating: the new store cannot be made 108808 bytes long.
    EXPECT_EQ(withFileSizeLimit(4096, [] {
                  return set_volname("v", kBox.data(), 1, 0, 0, 0, 0) == -1 ? 0 : 1;
              }),
              0);
    EXPECT_EQ(bytes(), "");
    EXPECT_EQ(lookup(kBox, 1), "(rc 1, untouched)");

    // Growing: the 101st key cannot extend the store.
    for (int k = 0; k < 100; ++k) ASSERT_EQ(set_volname("v", kBox.data(), k, 0, 0, 0, 0), 0);
    const std::string full = bytes();
    ASSERT_EQ(full.size(), kLength100);
    EXPECT_EQ(withFileSizeLimit(kLength100 + 1000, [] {
                  return set_volname("w", kBox.data(), 100, 0, 0, 0, 0) == -1 ? 0 : 1;
              }),
              0);
    EXPECT_EQ(bytes(), full);  // cut back to its length, header untouched

    ASSERT_EQ(set_volname("w", kBox.data(), 100, 0, 0, 0, 0), 0);
    EXPECT_EQ(bytes().size(), kLength200);
    EXPECT_EQ(lookup(kBox, 100), "w");
}

TEST_F(VolnameStore, FailedLockIsAnErrorAndChangesNothing) {
    // This process holds a lock on another file; a second process holds the
    // store's lock and waits for ours. Our writer's lock request would close
    // the circle, so the kernel refuses it (EDEADLK) instead of waiting.
    ASSERT_EQ(set_volname("v", kBox.data(), 1, 0, 0, 0, 0), 0);
    const std::string before = bytes();
    zrktest::LockCircle circle;
    ASSERT_NO_FATAL_FAILURE(circle.start(store(), root_.path("other.lock")));
    if (circle.waiting()) {
        EXPECT_EQ(set_volname("new", kBox.data(), 2, 0, 0, 0, 0), -1);
        EXPECT_EQ(set_volname("renamed", kBox.data(), 1, 0, 0, 0, 0), -1);
        EXPECT_EQ(erase_volname(kBox.data(), 1, 0, 0, 0, 0), -1);
    }
    const bool otherEnded = circle.finish();
    ASSERT_TRUE(circle.waiting()) << "the other process never waited for the lock";
    EXPECT_TRUE(otherEnded);
    EXPECT_EQ(bytes(), before);
}

// ---- device-list check -----------------------------------------------------

class DeviceList : public ::testing::Test {
protected:
    int check(const std::string &contents, ReturnInfo &ri) {
        root_.write("KelmorList.xml", contents);
        return check_dovr_devicelist_file(root_.path("KelmorList.xml").c_str(), kBox.data(), &ri);
    }
    InstallRoot root_;
};

TEST_F(DeviceList, FindsTheBoxIdOnlyWithinALine) {
    const std::string other = boxId("VASTREL-B");
    const std::string entry = "<device boxid=\"" + kBox + "\" name=\"a\"/>";
    const std::string otherEntry = "<device boxid=\"" + other + "\"/>";
    const struct {
        const char *title;
        std::string contents;
        int expected;
    } cases[] = {
        {"one device a line", "<list>\n" + otherEntry + "\n" + entry + "\n</list>\n", 1},
        {"on the last line, no newline", "<list>\n" + entry, 1},
        {"ends the file exactly", "device boxid=\"" + kBox, 1},
        {"second of two on a line", otherEntry + entry + "\n", 1},
        {"first of two on a line", entry + otherEntry + "\n", 1},
        {"other arrays only", otherEntry + "\n" + otherEntry + "\n", 2},
        {"empty file", "", 2},
        {"BoxID broken across lines",
         "<device boxid=\"" + kBox.substr(0, 20) + "\n" + kBox.substr(20) + "\"/>\n", 2},
        {"BoxID cut by the end of the file", "<device boxid=\"" + kBox.substr(0, 39), 2},
        {"attribute without the quote's room", "device boxid=", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        ReturnInfo ri {};
        EXPECT_EQ(check(c.contents, ri), c.expected);
        EXPECT_EQ(ri.iReturnClass, 0);
    }
}

TEST_F(DeviceList, UnreadableListIsReported) {
    const std::string message =
        "ZRKC1500 ERROR Error occurred recognition of VASTREL management file. Cause=(-3).\n";
    ReturnInfo ri {};
    EXPECT_EQ(check_dovr_devicelist_file(root_.path("absent.xml").c_str(), kBox.data(), &ri), -1);
    EXPECT_EQ(ri.iReturnClass, 6);
    EXPECT_EQ(ri.uiMessageNo, 1500u);
    EXPECT_EQ(std::string(ri.caMessage), message);

    ri = {};
    EXPECT_EQ(check_dovr_devicelist_file(root_.etc().c_str(), kBox.data(), &ri), -1);
    EXPECT_EQ(std::string(ri.caMessage), message);

    // The fixed path of the management server's list, on a host without it.
    char fixed[ZRK_PATH_LEN];
    ASSERT_EQ(get_dovr_device_file(fixed), 0);
    if (zrktest::exists(fixed)) GTEST_SKIP() << fixed << " exists on this host";
    ri = {};
    EXPECT_EQ(check_dovr_devicelist(kBox.data(), &ri), -1);
    EXPECT_EQ(std::string(ri.caMessage), message);
}

}  // namespace
