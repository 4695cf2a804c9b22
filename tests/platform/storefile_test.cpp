// Store files as the library creates and opens them: private to their owner
// whatever the umask, and never opened through a symbolic link.
#include "child.h"
#include "install_root.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

class StoreFileSafety : public ::testing::Test {
protected:
    std::string dir = zrktest::makeTempDir();
    std::string file = dir + "/store";
    std::string target = dir + "/precious";
    ~StoreFileSafety() override { zrktest::removeTree(dir); }

    static mode_t modeOf(const std::string &path) {
        struct stat st {};
        return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
    }
};

TEST_F(StoreFileSafety, NewStoreIsPrivateWhateverTheUmask) {
    for (mode_t mask : {0000, 0022, 0077, 0277}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        unlink(file.c_str());
        auto r = zrktest::runChild([&] {
            umask(mask);
            StoreFile sf {};
            if (com_file_open(file.c_str(), 2, &sf) != 0) return 1;
            return com_file_close(&sf) == 0 ? 0 : 2;
        });
        ASSERT_EQ(r.exitCode, 0);
        EXPECT_EQ(modeOf(file), S_IFREG | 0600u);
    }
}

TEST_F(StoreFileSafety, ExistingStoreIsOpenedAsItStands) {
    {
        std::FILE *fp = std::fopen(file.c_str(), "w");
        ASSERT_NE(fp, nullptr);
        std::fputs("kept", fp);
        std::fclose(fp);
    }
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        StoreFile sf {};
        ASSERT_EQ(com_file_open(file.c_str(), mode, &sf), 0);
        EXPECT_EQ(sf.uiLength, mode == 1 ? 4u : 0u);
        com_file_close(&sf);
        EXPECT_EQ(modeOf(file), S_IFREG | 0640u);
        EXPECT_EQ(zrktest::readFile(file), "kept");
    }
}

struct LinkCase {
    const char *what;
    bool dangling;  // else the link leads to an existing file
    int mode;       // of com_file_open
};

// A link planted at a store's name makes the open fail (ELOOP saved in the
// handle); neither the file it leads to nor a missing one is touched.
TEST_F(StoreFileSafety, LinkAtTheStoreNameIsNotFollowed) {
    const LinkCase cases[] = {
        {"link to a file, opening to create", false, 2},
        {"link to a file, opening an existing store", false, 1},
        {"dangling link, opening to create", true, 2},
        {"dangling link, opening an existing store", true, 1},
    };
    for (const LinkCase &c : cases) {
        SCOPED_TRACE(c.what);
        unlink(file.c_str());
        unlink(target.c_str());
        if (!c.dangling) {
            std::FILE *fp = std::fopen(target.c_str(), "w");
            ASSERT_NE(fp, nullptr);
            std::fputs("precious", fp);
            std::fclose(fp);
        }
        ASSERT_EQ(symlink(target.c_str(), file.c_str()), 0);
        StoreFile sf {};
        EXPECT_EQ(com_file_open(file.c_str(), c.mode, &sf), -1);
        EXPECT_EQ(sf.uiErrno, static_cast<uint32_t>(ELOOP));
        if (c.dangling) {
            EXPECT_FALSE(zrktest::exists(target));
        } else {
            EXPECT_EQ(zrktest::readFile(target), "precious");
        }
    }
}

}  // namespace
