// The alias store under several processes: writers at once lose nothing and
// create no duplicate; a writer killed at each step of every kind of change,
// or at random moments, leaves both files as they were before or after that
// change, readers meanwhile see one or the other, and the next writer goes on
// from there; readers never see the main file of one state with the
// extension file of another.
//
// The random run is short here; ZRK_ALIAS_KILL_ROUNDS sets the number of
// kills for a longer run, ZRK_ALIAS_KILL_SEED repeats one.
#include "alias_support.h"
#include "child.h"
#include "install_root.h"
#include "platform.h"
#include "zrkcalias.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using zrkc::AliasStep;
using zrktest::InstallRoot;
using zrktest::box;
using zrktest::remoteList;

int setScsi(const std::string &device, const std::string &own, const std::vector<std::string> &remotes) {
    const std::vector<unsigned char> list = remoteList(own, remotes);
    const unsigned char id[16] = {'P'};
    ReturnInfo ri {};
    return com_set_alias(device.c_str(), id, id, list.data(), 0, ZRKC_ALIAS_IF_SCSI, nullptr, nullptr, &ri);
}

// A LAN route whose user and password texts are derived from its address,
// so that a reader can tell whether both files belong to one state.
int setLan(int n, const std::string &own) {
    const std::vector<unsigned char> list = remoteList(own, {box("PARTNER")});
    const unsigned char zeros[16] = {};
    const std::string address = "10.0." + std::to_string(n / 250) + "." + std::to_string(n % 250);
    const std::string user = "Zu" + address;
    const std::string password = "Zp" + address;
    ReturnInfo ri {};
    return com_set_alias(address.c_str(), zeros, zeros, list.data(), 0, ZRKC_ALIAS_IF_LAN, user.c_str(),
                         password.c_str(), &ri);
}

// The store as a reader sees it, one line per entry; "" when it cannot be
// read, with the reason.
std::string readerView(std::string *problem = nullptr) {
    std::unique_ptr<AliasList> list(new AliasList());
    ReturnInfo ri {};
    if (com_get_aliaslist(list.get(), &ri) != 0) {
        if (problem != nullptr) *problem = ri.caMessage;
        return "";
    }
    std::string view;
    for (int i = 0; i < list->Count; ++i) {
        const AliasRecord &r = list->Entry[i];
        view += std::to_string(r.Main.ID) + " " + std::string(r.Main.Alias, strnlen(r.Main.Alias, 40)) + " " +
                std::string(r.Main.BoxID, 40) + " " + std::to_string(r.Main.Direct) + "/" +
                std::to_string(r.Main.Interface) + " " + r.Main.AccessPath + " " + r.User + " " + r.Password + "\n";
    }
    return view;
}

// Whether every LAN entry's texts belong to its address.
std::string inconsistency(const AliasList &list) {
    for (int i = 0; i < list.Count; ++i) {
        const AliasRecord &r = list.Entry[i];
        if (r.Main.Interface != ZRKC_ALIAS_IF_LAN) continue;
        const std::string address = r.Main.AccessPath;
        if (r.User != "Zu" + address || r.Password != "Zp" + address) {
            return "entry " + std::to_string(r.Main.ID) + ": " + address + " with " + r.User + "/" + r.Password;
        }
    }
    return "";
}

AliasStep gKillAt;

void killAtStep(AliasStep step) {
    if (step == gKillAt) raise(SIGKILL);
}

class AliasCrash : public ::testing::Test {
protected:
    std::string mainPath() const { return root_.etc() + "/" ZRKC_ALIAS_FILE; }
    std::string extPath() const { return root_.etc() + "/" ZRKC_ALIAS_EXT_FILE; }

    struct Files {
        std::string main, ext;
        bool operator==(const Files &o) const { return main == o.main && ext == o.ext; }
    };
    Files files() const { return {zrktest::readFile(mainPath()), zrktest::readFile(extPath())}; }
    void put(const Files &f) {
        for (const char *leftover : {".tmp", ".new"}) unlink((mainPath() + leftover).c_str());
        unlink((extPath() + ".tmp").c_str());
        unlink(mainPath().c_str());
        unlink(extPath().c_str());
        if (!f.main.empty()) root_.write("etc/" ZRKC_ALIAS_FILE, f.main);
        if (!f.ext.empty()) root_.write("etc/" ZRKC_ALIAS_EXT_FILE, f.ext);
    }

    InstallRoot root_;
};

// ---- writers at once ---------------------------------------------------------------------

TEST_F(AliasCrash, WritersAtOnceLoseNothingAndCreateNoDuplicate) {
    // Eight processes; each registers a route of its own with two remote
    // arrays that others name too, and adds twelve arrays, half of them
    // shared with its neighbour.
    constexpr int kChildren = 8;
    const std::vector<int> codes = zrktest::runChildren(kChildren, [](int i) {
        const std::string own = box("OWN" + std::to_string(i));
        if (setScsi("/dev/sd" + std::string(1, static_cast<char>('b' + i)), own,
                    {box("SHARED" + std::to_string(i % 3)), box("SHARED" + std::to_string((i + 1) % 3))}) != 0) {
            return 1;
        }
        for (int j = 0; j < 12; ++j) {
            ReturnInfo ri {};
            if (com_add_alias(box("ADD" + std::to_string(i * 6 + j)).c_str(), 0, &ri) != 0) return 2;
        }
        return 0;
    });
    for (int code : codes) EXPECT_EQ(code, 0);

    std::set<std::string> expected;
    for (int i = 0; i < kChildren; ++i) expected.insert(box("OWN" + std::to_string(i)));
    for (int i = 0; i < 3; ++i) expected.insert(box("SHARED" + std::to_string(i)));
    for (int i = 0; i < (kChildren - 1) * 6 + 12; ++i) expected.insert(box("ADD" + std::to_string(i)));

    std::unique_ptr<AliasList> list(new AliasList());
    ReturnInfo ri {};
    ASSERT_EQ(com_get_aliaslist(list.get(), &ri), 0) << ri.caMessage;
    ASSERT_EQ(list->Count, expected.size());
    std::set<std::string> boxes, aliases;
    for (int i = 0; i < list->Count; ++i) {
        const AliasRecord &r = list->Entry[i];
        boxes.insert(std::string(r.Main.BoxID, 40));
        aliases.insert(std::string(r.Main.Alias, strnlen(r.Main.Alias, 40)));
        EXPECT_EQ(r.Main.ID, static_cast<uint32_t>(i)) << "the slots fill from 0 without a gap";
        if (std::string(r.Main.BoxID, 3) == "OWN") {
            EXPECT_EQ(r.Main.Direct, 1);
        }
    }
    EXPECT_EQ(boxes, expected);
    std::set<std::string> numbered;
    for (size_t i = 0; i < expected.size(); ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "QX%03zu", i);
        numbered.insert(text);
    }
    EXPECT_EQ(aliases, numbered);
    // The file's count agrees.
    EXPECT_EQ(static_cast<unsigned char>(zrktest::readFile(mainPath())[0]), expected.size());
}

TEST_F(AliasCrash, ThreadsOfOneProcessTakeTurns) {
    // fcntl locks do not tell the threads of one process apart: two writer
    // threads and a reader thread share the store.
    std::atomic<bool> done {false};
    std::atomic<int> failures {0};
    auto writer = [&](int first) {
        for (int i = first; i < first + 20; ++i) {
            ReturnInfo ri {};
            if (com_add_alias(box("T" + std::to_string(i)).c_str(), 0, &ri) != 0) ++failures;
        }
    };
    std::thread reader([&] {
        std::unique_ptr<AliasList> list(new AliasList());
        while (!done) {
            ReturnInfo ri {};
            if (com_get_aliaslist(list.get(), &ri) != 0) ++failures;
        }
    });
    std::thread a(writer, 0), b(writer, 100);
    a.join();
    b.join();
    done = true;
    reader.join();
    EXPECT_EQ(failures, 0);
    std::unique_ptr<AliasList> list(new AliasList());
    ReturnInfo ri {};
    ASSERT_EQ(com_get_aliaslist(list.get(), &ri), 0);
    EXPECT_EQ(list->Count, 40);
}

// ---- a writer killed at each step -----------------------------------------------------------

constexpr AliasStep kSteps[] = {AliasStep::kLocked, AliasStep::kMainHalfWritten, AliasStep::kWritten,
                                AliasStep::kReady,  AliasStep::kExtRenamed,      AliasStep::kRenamed};

TEST_F(AliasCrash, KillAtEachStepLeavesBothFilesBeforeOrAfter) {
    // The store every change starts from (but the first): a LAN route, a
    // SCSI route, a remote array.
    put({});
    ASSERT_EQ(setLan(1, box("LAN")), 0);
    ASSERT_EQ(setScsi("/dev/sdb", box("SCSI"), {}), 0);
    const Files base = files();

    const struct {
        const char *title;
        bool fromNothing;
        std::function<int()> change;
    } cases[] = {
        {"first route creates the store", true, [] { return setLan(7, box("FIRST")); }},
        {"new LAN route with a remote array", false, [] { return setLan(9, box("NEWLAN")); }},
        {"LAN route moved with new texts", false, [] { return setLan(2, box("LAN")); }},
        {"array added", false, [] {
             ReturnInfo ri {};
             return com_add_alias(box("ADDED").c_str(), 0, &ri);
         }},
        {"alias changed", false, [] {
             ReturnInfo ri {};
             return com_change_alias(2, "scsi-box", &ri);
         }},
        {"entry deleted", false, [] {
             ReturnInfo ri {};
             return com_delete_alias(2, nullptr, nullptr, &ri);
         }},
    };
    auto addNext = [] {
        ReturnInfo ri {};
        return com_add_alias(box("NEXT").c_str(), 0, &ri);
    };
    for (const auto &c : cases) {
        const Files before = c.fromNothing ? Files {} : base;
        put(before);
        const std::string viewBefore = readerView();
        ASSERT_EQ(addNext(), 0);
        const Files beforeAndNext = files();
        put(before);
        ASSERT_EQ(c.change(), 0) << c.title;
        const Files after = files();
        const std::string viewAfter = readerView();
        ASSERT_NE(viewBefore, viewAfter) << c.title;
        ASSERT_EQ(addNext(), 0);
        const Files afterAndNext = files();

        for (AliasStep step : kSteps) {
            SCOPED_TRACE(std::string(c.title) + ", killed at step " + std::to_string(static_cast<int>(step)));
            put(before);
            gKillAt = step;
            const zrktest::ChildResult child = zrktest::runChild([&] {
                zrkc::gAliasStepHook = killAtStep;
                return c.change() == 0 ? 0 : 1;
            });
            ASSERT_EQ(child.signal, SIGKILL) << "the change ended with " << child.exitCode;

            // Both files as they were, or the change made but not all of its
            // files in place yet.
            const bool made = step >= AliasStep::kReady;
            const Files left = files();
            if (step == AliasStep::kRenamed) {
                EXPECT_TRUE(left == after);
            } else if (!made && !c.fromNothing) {
                EXPECT_TRUE(left == before);
            }
            EXPECT_EQ(zrktest::exists(mainPath() + ".new"), made && step != AliasStep::kRenamed);

            // Readers see the state before the change until it is made, and
            // the state after it from then on.
            std::string problem;
            EXPECT_EQ(readerView(&problem), made ? viewAfter : viewBefore) << problem;

            // The next writer finishes or throws away what was left, and
            // makes its own change on top.
            ASSERT_EQ(addNext(), 0);
            EXPECT_TRUE(files() == (made ? afterAndNext : beforeAndNext));
            for (const std::string &leftover : {mainPath() + ".tmp", mainPath() + ".new", extPath() + ".tmp"}) {
                EXPECT_FALSE(zrktest::exists(leftover)) << leftover;
            }
            if (HasFailure()) return;
        }
    }
}

// ---- random kills, and a reader all along ----------------------------------------------------

TEST_F(AliasCrash, RandomKillsKeepBothFilesOfOneStateForReaders) {
    const unsigned long rounds = zrktest::envNumber("ZRK_ALIAS_KILL_ROUNDS", 20);
    const unsigned long seed = zrktest::envNumber("ZRK_ALIAS_KILL_SEED", std::random_device {}());
    std::printf("ZRK_ALIAS_KILL_SEED=%lu, %lu rounds\n", seed, rounds);
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    std::uniform_int_distribution<int> delayUs(0, 40000);

    ASSERT_EQ(setLan(0, box("LAN")), 0);

    // A reader in its own process checks every state it sees until told to
    // stop; it exits 0 when all were whole.
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    std::fflush(nullptr);
    const pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        close(stop[1]);
        std::unique_ptr<AliasList> list(new AliasList());
        for (;;) {
            std::memset(list.get(), 0, sizeof *list);
            ReturnInfo ri {};
            if (com_get_aliaslist(list.get(), &ri) != 0) {
                std::fprintf(stderr, "reader: %s", ri.caMessage);
                _exit(1);
            }
            const std::string problem = inconsistency(*list);
            if (!problem.empty() || list->Count != 2) {
                std::fprintf(stderr, "reader: %s (count %d)\n", problem.c_str(), list->Count);
                _exit(2);
            }
            fd_set set;
            FD_ZERO(&set);
            FD_SET(stop[0], &set);
            timeval none {};
            if (select(stop[0] + 1, &set, nullptr, nullptr, &none) > 0) _exit(0);
        }
    }
    close(stop[0]);

    const auto addressOf = [](int n) { return "10.0." + std::to_string(n / 250) + "." + std::to_string(n % 250); };
    int held = 0;  // the route the store holds
    int next = 1;  // the first route the next writer registers
    for (unsigned long round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + ", change " + std::to_string(next));
        zrktest::KilledWriter writer;
        ASSERT_NO_FATAL_FAILURE(zrktest::runUntilKilled(
            next, [](int i) { return setLan(i, box("LAN")); }, static_cast<unsigned>(delayUs(random)), &writer));
        const int acked = writer.acked.empty() ? next - 1 : writer.acked.back();
        ASSERT_TRUE(WIFSIGNALED(writer.status)) << "the writer ended by itself";

        // The store holds the last acknowledged change or the one after it.
        std::unique_ptr<AliasList> list(new AliasList());
        ReturnInfo ri {};
        ASSERT_EQ(com_get_aliaslist(list.get(), &ri), 0) << ri.caMessage;
        ASSERT_EQ(list->Count, 2);
        EXPECT_EQ(inconsistency(*list), "");
        const std::string address = list->Entry[0].Main.AccessPath;
        const int older = acked >= next ? acked : held;  // the last change known to be made
        const int newer = acked + 1;                       // the one in flight
        ASSERT_TRUE(address == addressOf(older) || address == addressOf(newer))
            << address << " after " << acked;
        held = address == addressOf(older) ? older : newer;
        next = held + 1;
        if (HasFailure()) break;
    }
    ASSERT_EQ(write(stop[1], "x", 1), 1);
    close(stop[1]);
    int status = 0;
    waitpid(reader, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the reader saw a broken state";
    // And the store takes the next change.
    ASSERT_EQ(setLan(next, box("LAN")), 0);
}

}  // namespace
