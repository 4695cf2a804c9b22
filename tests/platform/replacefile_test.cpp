// Replacing a file whole (replacefile.h) on real files in a temporary folder:
// the steps in order, what each failure leaves, the temporary's mode and
// names, and what a planted link or second name at a fixed temporary gets.
#include "install_root.h"
#include "replacefile.h"
#include "sysio.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using zrkplatform::ReplaceFile;
using zrkplatform::ReplaceResult;
using zrkplatform::ReplaceStep;

std::vector<ReplaceStep> gSteps; // the steps told to Record

void Record(ReplaceStep step) { gSteps.push_back(step); }

class ReplaceFileTest : public ::testing::Test {
protected:
    ~ReplaceFileTest() override { zrktest::removeTree(dir); }

    // The names in the folder.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(dir)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    static mode_t ModeOf(const std::string &path) {
        struct stat st {};
        return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
    }
    static void Put(const std::string &path, const std::string &text) {
        std::FILE *f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
    static int WriteText(int fd, const std::string &text) {
        return zrkplatform::sys::WriteAll(fd, text.data(), text.size());
    }

    std::string dir = zrktest::makeTempDir();
    std::string file = dir + "/store";
    std::string fixed = dir + "/store.tmp";
};

TEST_F(ReplaceFileTest, EachStepInOrderAndTheNewFileOfTheMode) {
    for (const bool unique : {false, true}) {
        SCOPED_TRACE(unique ? "unique temporary" : "fixed temporary");
        Put(file, "old");
        const mode_t mask = umask(0077);
        gSteps.clear();
        const ReplaceResult r = ReplaceFile(file, unique ? std::string() : fixed, 0644,
                                            [](int fd) { return WriteText(fd, "new text"); }, Record);
        umask(mask);
        EXPECT_EQ(r.iError, 0);
        EXPECT_TRUE(r.bFolderSynced);
        EXPECT_EQ(zrktest::readFile(file), "new text");
        EXPECT_EQ(ModeOf(file) & 07777, 0644u);
        EXPECT_EQ(Names(), std::set<std::string>{"store"});
        EXPECT_EQ(gSteps, (std::vector<ReplaceStep>{ReplaceStep::kOpen, ReplaceStep::kWrite, ReplaceStep::kSync,
                                                    ReplaceStep::kClose, ReplaceStep::kRename,
                                                    ReplaceStep::kFolderSync}));
    }
}

TEST_F(ReplaceFileTest, AFailureBeforeTheRenameLeavesTheOldFileAndNoTemporary) {
    const struct {
        const char *title;
        bool unique;
        bool missingFolder;  // the file's folder is not there
        int writeError;      // what the writer returns
        ReplaceStep failed;
        int error;
    } cases[] = {
        {"writer fails, fixed", false, false, ENOSPC, ReplaceStep::kWrite, ENOSPC},
        {"writer fails, unique", true, false, EIO, ReplaceStep::kWrite, EIO},
        {"no folder, fixed", false, true, 0, ReplaceStep::kOpen, ENOENT},
        {"no folder, unique", true, true, 0, ReplaceStep::kOpen, ENOENT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        Put(file, "old");
        const std::string path = c.missingFolder ? dir + "/none/store" : file;
        const std::string temporary = c.unique ? "" : c.missingFolder ? dir + "/none/store.tmp" : fixed;
        gSteps.clear();
        const auto write = [&](int fd) { return c.writeError != 0 ? c.writeError : WriteText(fd, "x"); };
        const ReplaceResult r = ReplaceFile(path, temporary, 0600, write, Record);
        EXPECT_EQ(r.iError, c.error);
        EXPECT_EQ(r.eFailed, c.failed);
        EXPECT_EQ(zrktest::readFile(file), "old");
        EXPECT_EQ(Names(), std::set<std::string>{"store"});
        EXPECT_EQ(gSteps.size(), c.failed == ReplaceStep::kOpen ? 0u : 1u);
    }
}

TEST_F(ReplaceFileTest, AFixedTemporaryIsReusedOnlyAsAPlainFileOfOneName) {
    const std::string elsewhere = dir + "/elsewhere";
    enum Plant { kLeftover, kSymlink, kSecondName, kFolder };
    const struct {
        const char *title;
        Plant plant;
        int error;  // 0: the store is replaced
    } cases[] = {
        {"a writer's leftover, open to all", kLeftover, 0},
        {"a link to another file", kSymlink, ELOOP},
        {"a second name of another file", kSecondName, EEXIST},
        {"a folder", kFolder, EISDIR},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        std::filesystem::remove_all(fixed);
        std::filesystem::remove(elsewhere);
        Put(elsewhere, "precious and long");
        Put(file, "old");
        switch (c.plant) {
        case kLeftover:
            ASSERT_TRUE(std::filesystem::copy_file(elsewhere, fixed));
            ASSERT_EQ(chmod(fixed.c_str(), 0666), 0);
            break;
        case kSymlink: ASSERT_EQ(symlink(elsewhere.c_str(), fixed.c_str()), 0); break;
        case kSecondName: ASSERT_EQ(link(elsewhere.c_str(), fixed.c_str()), 0); break;
        case kFolder: ASSERT_EQ(mkdir(fixed.c_str(), 0700), 0); break;
        }
        const mode_t planted = ModeOf(fixed);
        const ReplaceResult r = ReplaceFile(file, fixed, 0600, [](int fd) { return WriteText(fd, "new"); });
        EXPECT_EQ(r.iError, c.error);
        EXPECT_EQ(zrktest::readFile(elsewhere), "precious and long");
        if (c.error == 0) {
            EXPECT_EQ(zrktest::readFile(file), "new");
            EXPECT_EQ(ModeOf(file) & 07777, 0600u);
            EXPECT_FALSE(zrktest::exists(fixed));
        } else {
            EXPECT_EQ(r.eFailed, ReplaceStep::kOpen);
            EXPECT_EQ(zrktest::readFile(file), "old");
            EXPECT_EQ(ModeOf(fixed), planted);
        }
    }
}

TEST_F(ReplaceFileTest, ATemporaryKeptStaysAndOneNotRenamedGoes) {
    const std::string text = "next";
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "kept" : "not kept");
        {
            zrkplatform::Replacement next(file, fixed, 0600);
            ASSERT_EQ(next.Write([&](int fd) { return WriteText(fd, text); }), 0);
            EXPECT_EQ(next.Temporary(), fixed);
            if (keep) next.Keep();
        }
        EXPECT_EQ(zrktest::exists(fixed), keep);
        EXPECT_FALSE(zrktest::exists(file));
        unlink(fixed.c_str());
    }
}

} // namespace
