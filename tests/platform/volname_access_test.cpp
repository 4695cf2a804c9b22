// Who may see and touch the volume-name store: readers that look names up
// while other processes and threads change the store, the file modes of the
// store and of its temporary file whatever the umask, symbolic and second
// links planted under either name, and a store left by an older writer that
// changed the file in place.
#include "child.h"
#include "install_root.h"
#include "volname_model.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace volnametest;
using zrktest::InstallRoot;

const std::string kBox = boxId("VASTREL-R");

Key keyOf(int32_t word, int32_t owner = 0) { return Key {kBox, {word, owner, 0, 0, 1}}; }

std::string nameOf(const Key &key) {
    return "/dev/n" + std::to_string(key.words[0]) + "o" + std::to_string(key.words[1]);
}

// Records under stable keys 0, 3, 6, ... that the writers below never touch;
// their keys interleave with the writers' own.
Records stableRecords(int count) {
    Records records;
    for (int i = 0; i < count; ++i) records[keyOf(3 * i)] = Entry {nameOf(keyOf(3 * i)), 1};
    return records;
}

// A writer's own keys: between the stable ones, so that every change lands
// mid-store.
Key writerKey(int writer, int i) { return keyOf(3 * i + 1, writer + 1); }

// Records the writer's keys, then drops them again. 0, or 1 on a failure.
int writeAndErase(int writer, int keys) {
    for (int i = 0; i < keys; ++i) {
        if (setName(writerKey(writer, i), nameOf(writerKey(writer, i))) != 0) return 1;
    }
    for (int i = 0; i < keys; ++i) {
        if (eraseName(writerKey(writer, i)) != 0) return 1;
    }
    return 0;
}

// Looks up stable keys and writers' keys until done is set: a stable key
// must be found under its name, a writer's key under its own name or not at
// all. 0; 1 a stable key was missing; 2 a lookup gave another name; 3 fewer
// than atLeast lookups overlapped the writers.
int readUntil(const std::atomic<int> &done, int stable, int writers, int keys, unsigned seed,
              int atLeast) {
    int lookups = 0;
    for (unsigned n = seed; done.load() == 0; ++n) {
        const Key mine = keyOf(3 * static_cast<int32_t>(n % static_cast<unsigned>(stable)));
        const std::string got = lookup(mine);
        if (got != nameOf(mine)) return got == "(rc 1)" ? 1 : 2;
        const Key theirs = writerKey(static_cast<int>(n % static_cast<unsigned>(writers)),
                                     static_cast<int>(n % static_cast<unsigned>(keys)));
        const std::string other = lookup(theirs);
        if (other != "(rc 1)" && other != nameOf(theirs)) return 2;
        lookups += 2;
    }
    return lookups >= atLeast ? 0 : 3;
}

class VolnameAccess : public ::testing::Test {
protected:
    std::string store() const { return root_.etc() + "/" ZRK_VOLINF_FILE; }
    std::string temporary() const { return root_.etc() + "/" ZRK_VOLINF_TEMP_FILE; }
    std::string bytes() const { return zrktest::readFile(store()); }
    Records records() const {
        const Parsed p = parseStore(bytes());
        EXPECT_EQ(p.problem, "");
        return p.records;
    }

    InstallRoot root_;
};

// A flag that forked children share.
struct SharedFlag {
    std::atomic<int> *flag;
    SharedFlag() {
        void *map = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                         MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        flag = map == MAP_FAILED ? nullptr : new (map) std::atomic<int>(0);
    }
    ~SharedFlag() {
        if (flag != nullptr) munmap(flag, sizeof *flag);
    }
};

TEST_F(VolnameAccess, ReadersSeeEveryRecordWhileWritersChangeOthers) {
    // 185 stable records in a store of 200 slots; three writer processes add
    // 20 records each (the store grows) and drop them again, while three
    // reader processes look up stable and passing records.
    constexpr int kStable = 185, kWriters = 3, kReaders = 3, kKeys = 20;
    const Records stable = stableRecords(kStable);
    root_.write("etc/" ZRK_VOLINF_FILE, storeImage(stable));
    SharedFlag done;
    ASSERT_NE(done.flag, nullptr);
    std::vector<int> codes = zrktest::runChildren(kReaders + 1, [&](int child) {
        if (child < kReaders) {
            const unsigned seed = 7919u * static_cast<unsigned>(child);
            return readUntil(*done.flag, kStable, kWriters, kKeys, seed, 20);
        }
        // The last child runs the writers and ends the readers after them.
        std::vector<int> writers =
            zrktest::runChildren(kWriters, [&](int w) { return writeAndErase(w, kKeys); });
        done.flag->store(1);
        return writers == std::vector<int>(kWriters, 0) ? 0 : 4;
    });
    EXPECT_EQ(codes, std::vector<int>(kReaders + 1, 0))
        << "readers: 1 a record missing, 2 another name, 3 too few lookups; 4 a writer failed";
    const Parsed found = parseStore(bytes());
    EXPECT_EQ(found.problem, "");
    EXPECT_EQ(found.records, stable);
    EXPECT_EQ(found.capacity, 300);  // the first writer's 20 records grew it
}

TEST_F(VolnameAccess, ThreadsOfTwoProcessesTakeTurns) {
    // fcntl locks do not part the threads of one process, and a reader's
    // close of the store would drop a writer thread's lock: two processes,
    // each with writer and reader threads, must still lose nothing. (Readers
    // wait while writers of their process are at work, so they may get few
    // lookups in.)
    constexpr int kStable = 30, kThreads = 3, kKeys = 12;
    const Records stable = stableRecords(kStable);
    root_.write("etc/" ZRK_VOLINF_FILE, storeImage(stable));
    std::vector<int> codes = zrktest::runChildren(2, [&](int process) {
        std::atomic<int> done {0}, failed {0};
        std::vector<std::thread> readers, writers;
        for (int t = 0; t < kThreads; ++t) {
            readers.emplace_back([&, t] {
                const unsigned seed = 31u * static_cast<unsigned>(t);
                const int rc = readUntil(done, kStable, 2 * kThreads, kKeys, seed, 0);
                if (rc != 0) failed = rc;
            });
            writers.emplace_back([&, t] {
                // Each thread keeps its first half of the keys.
                const int writer = process * kThreads + t;
                for (int i = 0; i < kKeys; ++i) {
                    const Key key = writerKey(writer, i);
                    if (setName(key, nameOf(key)) != 0) failed = 10;
                }
                for (int i = kKeys / 2; i < kKeys; ++i) {
                    if (eraseName(writerKey(writer, i)) != 0) failed = 11;
                }
            });
        }
        for (std::thread &w : writers) w.join();
        done = 1;
        for (std::thread &r : readers) r.join();
        return failed.load();
    });
    EXPECT_EQ(codes, std::vector<int>(2, 0));
    Records expected = stable;
    for (int writer = 0; writer < 2 * kThreads; ++writer) {
        for (int i = 0; i < kKeys / 2; ++i) {
            expected[writerKey(writer, i)] = Entry {nameOf(writerKey(writer, i)), 1};
        }
    }
    EXPECT_EQ(records(), expected);
}

TEST_F(VolnameAccess, StoreIsPrivateWhateverTheUmask) {
    for (mode_t mask : {0000, 0002, 0022, 0077, 0277}) {
        char title[32];
        std::snprintf(title, sizeof title, "umask %04o", static_cast<unsigned>(mask));
        SCOPED_TRACE(title);
        unlink(store().c_str());
        // Created, changed, and created but left empty by a writer killed
        // under the lock: 0600 each time, never a temporary file left over.
        const int rc = zrktest::runChild([&] {
                           umask(mask);
                           if (setName(keyOf(1), "one") != 0) return 1;
                           if ((fileMode(store()) & 07777) != 0600) return 2;
                           if (setName(keyOf(2), "two") != 0 || eraseName(keyOf(1)) != 0) return 3;
                           if ((fileMode(store()) & 07777) != 0600) return 4;
                           return zrktest::exists(temporary()) ? 5 : 0;
                       }).exitCode;
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(lookup(keyOf(2)), "two");

        unlink(store().c_str());
        const zrktest::ChildResult killed = zrktest::runChild([&] {
            umask(mask);
            zrkplatform::gVolnameStepHook = [](zrkplatform::VolnameStep step) {
                if (step == zrkplatform::VolnameStep::kLocked) raise(SIGKILL);
            };
            return setName(keyOf(1), "one");
        });
        EXPECT_EQ(killed.signal, SIGKILL);
        EXPECT_EQ(bytes().size(), 0u);
        EXPECT_EQ(fileMode(store()) & 07777, 0600u);
    }
}

TEST_F(VolnameAccess, OlderStoreIsReadUpdatedAndMadePrivate) {
    // A store as an older writer left it: changed in place, world-writable.
    Records old = stableRecords(120);
    root_.write("etc/" ZRK_VOLINF_FILE, storeImage(old));
    ASSERT_EQ(chmod(store().c_str(), 0666), 0);
    EXPECT_EQ(lookupMismatch(old), "");
    // A change that writes nothing still takes the lock, and the mode back.
    EXPECT_EQ(eraseName(keyOf(1)), 0);
    EXPECT_EQ(fileMode(store()) & 07777, 0600u);
    EXPECT_EQ(records(), old);

    ASSERT_EQ(setName(keyOf(1), "new"), 0);
    ASSERT_EQ(setName(keyOf(3), "renamed"), 0);
    ASSERT_EQ(eraseName(keyOf(6)), 0);
    modelSet(old, keyOf(1), "new");
    modelSet(old, keyOf(3), "renamed");
    modelErase(old, keyOf(6));
    EXPECT_EQ(records(), old);
    EXPECT_EQ(parseStore(bytes()).capacity, 200);
    EXPECT_EQ(lookupMismatch(old, {keyOf(6)}), "");
}

TEST_F(VolnameAccess, PlantedLinksAreNeverFollowed) {
    const Records kept = stableRecords(3);
    const std::string image = storeImage(kept);
    const std::string elsewhere = root_.path("elsewhere");
    enum Plant { kSymlink, kSecondName, kDirectory };
    const struct {
        const char *title;
        bool storeIsPlanted;   // else the temporary name is
        Plant plant;
        std::string target;    // the contents of elsewhere, before and after ("" none)
    } cases[] = {
        {"store: link to a store", true, kSymlink, image},
        {"store: dangling link", true, kSymlink, ""},
        {"temporary: link to a file", false, kSymlink, "precious"},
        {"temporary: dangling link", false, kSymlink, ""},
        {"temporary: second name of a file", false, kSecondName, "precious"},
        {"temporary: a directory", false, kDirectory, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        unlink(elsewhere.c_str());
        unlink(store().c_str());
        unlink(temporary().c_str());
        rmdir(temporary().c_str());
        if (!c.storeIsPlanted) root_.write("etc/" ZRK_VOLINF_FILE, image);
        if (!c.target.empty()) root_.write("elsewhere", c.target);
        const std::string planted = c.storeIsPlanted ? store() : temporary();
        switch (c.plant) {
        case kSymlink: ASSERT_EQ(symlink(elsewhere.c_str(), planted.c_str()), 0); break;
        case kSecondName: ASSERT_EQ(link(elsewhere.c_str(), planted.c_str()), 0); break;
        case kDirectory: ASSERT_EQ(mkdir(planted.c_str(), 0700), 0); break;
        }
        const mode_t plantedMode = fileMode(planted);

        EXPECT_EQ(setName(keyOf(4), "new"), -1);
        EXPECT_EQ(eraseName(keyOf(0)), -1);
        if (c.storeIsPlanted) {
            EXPECT_EQ(lookup(keyOf(0)), "(rc 1)");
        } else {
            EXPECT_TRUE(bytes() == image);
            EXPECT_EQ(lookupMismatch(kept, {keyOf(4)}), "");
        }
        EXPECT_TRUE(zrktest::readFile(elsewhere) == c.target);
        EXPECT_EQ(zrktest::exists(elsewhere), !c.target.empty());
        EXPECT_EQ(fileMode(planted), plantedMode);
    }
}

TEST_F(VolnameAccess, LeftoverTemporaryFileIsReused) {
    // What a writer killed while it wrote leaves behind.
    const Records kept = stableRecords(3);
    root_.write("etc/" ZRK_VOLINF_FILE, storeImage(kept));
    root_.write("etc/" ZRK_VOLINF_TEMP_FILE, std::string(5000, 'x'));
    ASSERT_EQ(chmod(temporary().c_str(), 0666), 0);
    ASSERT_EQ(setName(keyOf(4), "new"), 0);
    Records expected = kept;
    modelSet(expected, keyOf(4), "new");
    EXPECT_EQ(records(), expected);
    EXPECT_EQ(fileMode(store()) & 07777, 0600u);
    EXPECT_FALSE(zrktest::exists(temporary()));
}

}  // namespace
