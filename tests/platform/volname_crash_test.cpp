// Writers of the volume-name store killed in the middle of a change: at each
// step of every kind of change, and at random moments while children record
// and drop names in a loop. Afterwards the store holds exactly the records
// from before or after the change in flight, every acknowledged change is in
// it, no lookup answers with another key's name, and the store takes the
// next change.
//
// The random run is short here; ZRK_VOLNAME_KILL_ROUNDS sets the number of
// kills for a longer run (e.g. 2000), ZRK_VOLNAME_KILL_SEED repeats one.
#include "child.h"
#include "install_root.h"
#include "volname_model.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace volnametest;
using zrkplatform::VolnameStep;
using zrktest::InstallRoot;

const std::string kBox = boxId("VASTREL-K");

Key keyOf(int32_t word, const std::string &box = kBox) { return Key {box, {word, 0, -word, 0, 5}}; }

// Records under the keys first, first + step, ... (count of them).
Records recordsOf(int count, int32_t first = 0, int32_t step = 10) {
    Records records;
    for (int i = 0; i < count; ++i) {
        const int32_t word = first + step * i;
        records[keyOf(word)] = Entry {"/dev/v" + std::to_string(word), 1};
    }
    return records;
}

VolnameStep gKillAt;  // the step at which the child's writer is killed

void killAtStep(VolnameStep step) {
    if (step == gKillAt) raise(SIGKILL);
}

class VolnameCrash : public ::testing::Test {
protected:
    std::string store() const { return root_.etc() + "/" ZRK_VOLINF_FILE; }
    std::string temporary() const { return root_.etc() + "/" ZRK_VOLINF_TEMP_FILE; }
    Parsed parsed() const { return parseStore(zrktest::readFile(store())); }

    // After a kill the store is still usable: each record is found under
    // its own name, and a new record goes in and out again.
    void expectUsable(const Records &records) {
        EXPECT_EQ(lookupMismatch(records, {keyOf(-7777)}), "");
        const Key fresh = keyOf(-7777);
        ASSERT_EQ(setName(fresh, "fresh"), 0);
        Records withFresh = records;
        modelSet(withFresh, fresh, "fresh");
        EXPECT_EQ(parsed().records, withFresh);
        ASSERT_EQ(eraseName(fresh), 0);
        EXPECT_EQ(parsed().records, records);
        EXPECT_EQ(fileMode(store()) & 07777, 0600u);
    }

    InstallRoot root_;
};

constexpr VolnameStep kSteps[] = {
    VolnameStep::kLocked,     VolnameStep::kTemporaryOpened, VolnameStep::kHalfWritten,
    VolnameStep::kWritten,    VolnameStep::kSynced,          VolnameStep::kRenamed,
    VolnameStep::kDirectorySynced,
};

TEST_F(VolnameCrash, KillAtEachStepLeavesTheStoreBeforeOrAfter) {
    Records twoRefs = recordsOf(10);
    twoRefs[keyOf(40)].refs = 2;
    const struct {
        const char *title;
        bool noStore;       // the change starts without a store
        Records before;     // else the store it starts from
        int32_t word;       // the key changed
        const char *name;   // recorded under it, or null: one reference dropped
    } cases[] = {
        {"first record creates the store", true, {}, 1, "first"},
        {"insert among others", false, recordsOf(10), 45, "mid"},
        {"insert that grows the store", false, recordsOf(100), -5, "grow"},
        {"second reference, new name", false, recordsOf(10), 30, "again"},
        {"one of two references dropped", false, twoRefs, 40, nullptr},
        {"last reference dropped", false, recordsOf(10), 50, nullptr},
    };
    for (const auto &c : cases) {
        Records after = c.before;
        if (c.name != nullptr) {
            modelSet(after, keyOf(c.word), c.name);
        } else {
            modelErase(after, keyOf(c.word));
        }
        for (VolnameStep step : kSteps) {
            SCOPED_TRACE(std::string(c.title) + ", killed at step " +
                         std::to_string(static_cast<int>(step)));
            unlink(store().c_str());
            unlink(temporary().c_str());
            if (!c.noStore) root_.write("etc/" ZRK_VOLINF_FILE, storeImage(c.before));

            gKillAt = step;
            const zrktest::ChildResult child = zrktest::runChild([&] {
                zrkplatform::gVolnameStepHook = killAtStep;
                const Key key = keyOf(c.word);
                const int rc = c.name != nullptr ? setName(key, c.name) : eraseName(key);
                return rc == 0 ? 0 : 1;
            });
            ASSERT_EQ(child.signal, SIGKILL) << "the change ended with " << child.exitCode;

            const bool replaced = step >= VolnameStep::kRenamed;
            const Parsed found = parsed();
            ASSERT_EQ(found.problem, "");
            EXPECT_EQ(found.records, replaced ? after : c.before);
            expectUsable(replaced ? after : c.before);
            if (HasFailure()) return;
        }
    }
}

// Change i of the random run: for each key pair, record the first key, the
// second, the first again under a new name; drop the second, then one
// reference of the first. Each round of five leaves one record more.
Key runKey(int i) {
    const int32_t word = static_cast<int32_t>(static_cast<uint32_t>(i) * 2654435761u);
    return Key {boxId("RUN" + std::to_string(i % 3)), {word, i, 0, -i, 7}};
}

int runChange(int i) {
    const int first = i - i % 5;
    switch (i % 5) {
    case 0: return setName(runKey(first), "a" + std::to_string(first));
    case 1: return setName(runKey(first + 1), "b" + std::to_string(first + 1));
    case 2: return setName(runKey(first), "c" + std::to_string(first));
    case 3: return eraseName(runKey(first + 1));
    default: return eraseName(runKey(first));
    }
}

void modelChange(Records &records, int i) {
    const int first = i - i % 5;
    switch (i % 5) {
    case 0: modelSet(records, runKey(first), "a" + std::to_string(first)); break;
    case 1: modelSet(records, runKey(first + 1), "b" + std::to_string(first + 1)); break;
    case 2: modelSet(records, runKey(first), "c" + std::to_string(first)); break;
    case 3: modelErase(records, runKey(first + 1)); break;
    default: modelErase(records, runKey(first)); break;
    }
}

TEST_F(VolnameCrash, RandomKillsLoseNothingAcknowledged) {
    const unsigned long rounds = zrktest::envNumber("ZRK_VOLNAME_KILL_ROUNDS", 25);
    const unsigned long seed = zrktest::envNumber("ZRK_VOLNAME_KILL_SEED", std::random_device {}());
    std::printf("ZRK_VOLNAME_KILL_SEED=%lu, %lu rounds\n", seed, rounds);
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    std::uniform_int_distribution<int> delayUs(0, 60000);

    // A store of 99 records, laid out as every writer lays it out: the first
    // records of the run grow it.
    Records model = recordsOf(99, -49500, 1000);
    root_.write("etc/" ZRK_VOLINF_FILE, storeImage(model));
    int next = 0;  // the first change not yet in the store
    int kills = 0;
    for (unsigned long round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + ", change " + std::to_string(next));
        zrktest::KilledWriter writer;
        ASSERT_NO_FATAL_FAILURE(
            zrktest::runUntilKilled(next, runChange, static_cast<unsigned>(delayUs(random)), &writer));
        int acked = next;
        for (const int i : writer.acked) {
            ASSERT_EQ(i, acked) << "acknowledgements out of order";
            modelChange(model, acked++);
        }
        ASSERT_TRUE(WIFSIGNALED(writer.status)) << "the writer failed: exit " << WEXITSTATUS(writer.status);
        ++kills;

        // Every acknowledged change is there; the one in flight is there
        // entirely or not at all.
        const Parsed found = parsed();
        ASSERT_EQ(found.problem, "");
        Records inFlight = model;
        modelChange(inFlight, acked);
        if (found.records == inFlight) {
            model = inFlight;
            ++acked;
        } else {
            ASSERT_EQ(found.records, model) << "neither before nor after change " << acked;
        }
        next = acked;
        ASSERT_EQ(lookupMismatch(model, {runKey(next), runKey(next + 1)}), "");
    }
    std::printf("%d kills, %d changes, %zu records, capacity %d\n", kills, next, model.size(),
                parsed().capacity);
    EXPECT_GT(next, 0);
    expectUsable(model);
}

}  // namespace
