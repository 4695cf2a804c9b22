// Installation paths, store files and their lock, and the checks of
// command-line file and volume names.
#include "child.h"
#include "install_root.h"
#include "platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <string>

using zrktest::InstallRoot;

namespace {

std::string pathOf(const char *name, int *rc) {
    char out[ZRK_PATH_LEN];
    std::memset(out, '#', sizeof out);
    out[sizeof out - 1] = '\0';
    *rc = buildpathname(name, out);
    return out;
}

}  // namespace

TEST(BuildPathName, UsesTheEtcDirectoryOfTheInstallationFile) {
    InstallRoot root;
    root.write("bin/.zrkc_install.sys", "zrkc_optdir=/opt/x\nzrkc_etcdir=/etc/x\n");
    int rc = -1;
    EXPECT_EQ(pathOf("zrkc.ini", &rc), "/etc/x/zrkc.ini");
    EXPECT_EQ(rc, 0);
}

TEST(BuildPathName, DropsOneTrailingSlashOfTheRoot) {
    InstallRoot root;
    root.write("bin/.zrkc_install.sys", "zrkc_etcdir=/etc/x\n");
    setenv("QRVNZRKC_PATH", (root.root() + "/").c_str(), 1);
    int rc = -1;
    EXPECT_EQ(pathOf("zrkc.ini", &rc), "/etc/x/zrkc.ini");
    EXPECT_EQ(rc, 0);
    // Two slashes: only one goes, and the doubled one still names the folder.
    setenv("QRVNZRKC_PATH", (root.root() + "//").c_str(), 1);
    EXPECT_EQ(pathOf("zrkc.ini", &rc), "/etc/x/zrkc.ini");
}

TEST(BuildPathName, TheLastEtcLineCounts) {
    InstallRoot root;
    root.write("bin/.zrkc_install.sys", "zrkc_etcdir=/first\nzrkc_jredir=/j\nzrkc_etcdir=/second");
    int rc = -1;
    EXPECT_EQ(pathOf("zrkcvolinf", &rc), "/second/zrkcvolinf");
    EXPECT_EQ(rc, 0);
}

TEST(BuildPathName, FailuresLeaveTheOutputAlone) {
    InstallRoot root;
    int rc = -1;

    root.write("bin/.zrkc_install.sys", "zrkc_optdir=/opt/x\nzrkc_jredir=/usr\n");
    std::string untouched = pathOf("zrkc.ini", &rc);
    EXPECT_EQ(rc, 2);
    EXPECT_EQ(untouched.substr(0, 4), "####");

    ASSERT_EQ(unlink(root.path("bin/.zrkc_install.sys").c_str()), 0);
    untouched = pathOf("zrkc.ini", &rc);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(untouched.substr(0, 4), "####");
}

TEST(BuildPathName, APathThatDoesNotFitIsAnErrorNotACut) {
    InstallRoot root;
    std::string longDir = "/" + std::string(1010, 'd');
    root.write("bin/.zrkc_install.sys", "zrkc_etcdir=" + longDir + "\n");
    int rc = -1;
    // 1011 + "/" + 8 characters + terminator is 1021 bytes: fits.
    EXPECT_EQ(pathOf("zrkc.ini", &rc), longDir + "/zrkc.ini");
    EXPECT_EQ(rc, 0);
    // 1011 + "/" + 12 characters + terminator is 1025 bytes: does not.
    std::string untouched = pathOf("zrkc.ini.old", &rc);
    EXPECT_EQ(rc, 3);
    EXPECT_EQ(untouched.substr(0, 4), "####");
}

// The installation file is kept by the process between calls, but a file
// rewritten in place or replaced, and a root that names another file, are
// read again.
TEST(BuildPathName, AChangedFileOrAnotherRootIsReadAgain) {
    InstallRoot root;
    int rc = -1;
    root.write("bin/.zrkc_install.sys", "zrkc_etcdir=/etc/a\n");
    EXPECT_EQ(pathOf("zrkc.ini", &rc), "/etc/a/zrkc.ini");
    EXPECT_EQ(pathOf("zrkcvolinf", &rc), "/etc/a/zrkcvolinf");
    // Rewritten in place, to the same length.
    root.write("bin/.zrkc_install.sys", "zrkc_etcdir=/etc/b\n");
    EXPECT_EQ(pathOf("zrkc.ini", &rc), "/etc/b/zrkc.ini");
    // Replaced by another file.
    const std::string file = root.path("bin/.zrkc_install.sys");
    std::ofstream(file + ".new") << "zrkc_etcdir=/etc/c\n";
    ASSERT_EQ(rename((file + ".new").c_str(), file.c_str()), 0);
    EXPECT_EQ(pathOf("zrkc.ini", &rc), "/etc/c/zrkc.ini");
    // Another root, and back.
    InstallRoot other;
    other.write("bin/.zrkc_install.sys", "zrkc_etcdir=/etc/other\n");
    EXPECT_EQ(pathOf("zrkc.ini", &rc), "/etc/other/zrkc.ini");
    setenv("QRVNZRKC_PATH", root.root().c_str(), 1);
    EXPECT_EQ(pathOf("zrkc.ini", &rc), "/etc/c/zrkc.ini");
    EXPECT_EQ(rc, 0);
}

// An etc or opt folder that is not an absolute path would make the stores
// and properties depend on the directory a program runs in: such a file
// counts as no installation file, and the output stays as it was.
TEST(BuildPathName, ARelativeEtcOrOptFolderIsNoInstallationFile) {
    struct Case {
        const char *pText;
        int iResult;
    };
    const Case cases[] = {
        {"zrkc_etcdir=etc\n", 1},
        {"zrkc_etcdir=./etc\n", 1},
        {"zrkc_etcdir=\n", 1},
        {"zrkc_optdir=opt\nzrkc_etcdir=/etc/x\n", 1},
        {"zrkc_optdir=\nzrkc_etcdir=/etc/x\n", 1},
        {"zrkc_optdir=.\n", 1},
        {"zrkc_etcdir=/etc/x\nzrkc_etcdir=etc\n", 1},
        {"zrkc_etcdir=etc\nzrkc_etcdir=/etc/x\n", 0},
        {"zrkc_optdir=opt\nzrkc_optdir=/opt/x\nzrkc_etcdir=/etc/x\n", 0},
        {"zrkc_optdir=/opt/x\nzrkc_etcdir=/etc/x\n", 0},
    };
    InstallRoot root;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pText);
        root.write("bin/.zrkc_install.sys", c.pText);
        int rc = -1;
        const std::string out = pathOf("zrkc.ini", &rc);
        EXPECT_EQ(rc, c.iResult);
        if (c.iResult == 0) {
            EXPECT_EQ(out, "/etc/x/zrkc.ini");
        } else {
            EXPECT_EQ(out.substr(0, 4), "####");
        }
    }
}

TEST(BuildPathName, WithoutARootUsesTheFixedEtcDirectory) {
    auto child = zrktest::runChild([] {
        unsetenv("QRVNZRKC_PATH");
        int rc = -1;
        std::string path = pathOf("zrkc.ini", &rc);
        return rc == 0 && path == "/etc/opt/QRVNzrkc/etc/zrkc.ini" ? 0 : 1;
    });
    EXPECT_EQ(child.exitCode, 0);
}

TEST(BuildDirectoryPath, NamesTheBinFolderOfTheRoot) {
    InstallRoot root;
    char out[ZRK_PATH_LEN] = "";
    EXPECT_EQ(build_directory_path(0, out), 0);
    EXPECT_EQ(std::string(out), root.bin());
    EXPECT_EQ(build_directory_path(1, out), -1);
}

TEST(BuildDirectoryPath, AnEmptyRootCountsAsNone) {
    auto child = zrktest::runChild([] {
        setenv("QRVNZRKC_PATH", "", 1);
        char out[ZRK_PATH_LEN] = "";
        if (build_directory_path(0, out) != 0) return 1;
        struct stat st {};
        bool wx = stat("/opt/QRVNwxapi/64/bin", &st) == 0 && S_ISDIR(st.st_mode);
        return std::string(out) == (wx ? "/opt/QRVNwxapi/64/bin" : "/opt/QRVNzrkc/64/bin") ? 0 : 2;
    });
    EXPECT_EQ(child.exitCode, 0);
}

TEST(BuildDirectoryPath, ARootTooLongForThePathIsAnError) {
    std::string root = "/" + std::string(1020, 'r');
    setenv("QRVNZRKC_PATH", root.c_str(), 1);
    char out[ZRK_PATH_LEN] = "";
    EXPECT_EQ(build_directory_path(0, out), -1);
}

TEST(DeviceListFile, IsTheManagementServersFile) {
    char out[ZRK_PATH_LEN] = "";
    EXPECT_EQ(get_dovr_device_file(out), 0);
    EXPECT_STREQ(out, "/var/opt/QRVNzrks/database/KelmorList.xml");
}

class StoreFileTest : public ::testing::Test {
protected:
    std::string dir = zrktest::makeTempDir();
    std::string file = dir + "/store";
    ~StoreFileTest() override { zrktest::removeTree(dir); }
};

TEST_F(StoreFileTest, OpenModes) {
    StoreFile sf {};
    EXPECT_EQ(com_file_open(file.c_str(), 1, &sf), 1);
    EXPECT_FALSE(zrktest::exists(file)) << "mode 1 must not create the file";

    EXPECT_EQ(com_file_open(file.c_str(), 2, &sf), 0);
    EXPECT_EQ(sf.uiLength, 0u);
    EXPECT_TRUE(zrktest::exists(file));
    ASSERT_EQ(write(sf.iFd, "12345", 5), 5);
    EXPECT_EQ(com_file_close(&sf), 0);

    StoreFile again {};
    EXPECT_EQ(com_file_open(file.c_str(), 1, &again), 0);
    EXPECT_EQ(again.uiLength, 5u);
    com_file_close(&again);
}

TEST_F(StoreFileTest, OpenFailureSavesTheErrorNumber) {
    StoreFile sf {};
    EXPECT_EQ(com_file_open(dir.c_str(), 1, &sf), -1);  // a directory cannot be opened O_RDWR
    EXPECT_EQ(sf.uiErrno, static_cast<uint32_t>(EISDIR));
}

TEST_F(StoreFileTest, MappingGrowsTheFileWithZerosAndWritesThrough) {
    StoreFile sf {};
    ASSERT_EQ(com_file_open(file.c_str(), 2, &sf), 0);
    ASSERT_EQ(write(sf.iFd, "ab", 2), 2);
    sf.uiLength = 100;
    ASSERT_EQ(com_file_mapping(&sf), 0);
    auto *bytes = static_cast<unsigned char *>(sf.pMap);
    EXPECT_EQ(bytes[0], 'a');
    EXPECT_EQ(bytes[1], 'b');
    for (int i = 2; i < 100; ++i) ASSERT_EQ(bytes[i], 0) << i;
    bytes[99] = 'z';
    EXPECT_EQ(com_file_unmapping(&sf), 0);
    EXPECT_EQ(com_file_close(&sf), 0);

    std::string text = zrktest::readFile(file);
    ASSERT_EQ(text.size(), 100u);
    EXPECT_EQ(text[99], 'z');
}

TEST_F(StoreFileTest, TheLockIsExclusiveOverTheWholeFile) {
    StoreFile sf {};
    ASSERT_EQ(com_file_open(file.c_str(), 2, &sf), 0);
    ASSERT_EQ(zrkc_lock(file.c_str(), &sf), 0);
    const pid_t self = getpid();
    auto probe = [&] {
        int fd = open(file.c_str(), O_RDWR);
        struct flock lk {};
        lk.l_type = F_RDLCK;
        lk.l_whence = SEEK_SET;
        lk.l_start = 1000000;  // far past the end: still covered
        lk.l_len = 1;
        if (fcntl(fd, F_GETLK, &lk) != 0) return 9;
        if (lk.l_type == F_UNLCK) return 0;
        return lk.l_type == F_WRLCK && lk.l_pid == self && lk.l_start == 0 && lk.l_len == 0 ? 1 : 8;
    };
    EXPECT_EQ(zrktest::runChild(probe).exitCode, 1);
    ASSERT_EQ(zrkc_unlock(&sf), 0);
    EXPECT_EQ(zrktest::runChild(probe).exitCode, 0);
    com_file_close(&sf);
}

TEST_F(StoreFileTest, TheLockSerialisesProcessesOnOneStore) {
    // Each child increments a counter in the mapped store under the lock; a
    // lost update would show as a smaller total.
    constexpr int kChildren = 6;
    constexpr int kRounds = 300;
    auto codes = zrktest::runChildren(kChildren, [&](int) {
        for (int round = 0; round < kRounds; ++round) {
            StoreFile sf {};
            if (com_file_open(file.c_str(), 2, &sf) != 0) return 1;
            if (zrkc_lock(file.c_str(), &sf) != 0) return 2;
            sf.uiLength = sizeof(uint32_t);
            if (com_file_mapping(&sf) != 0) return 3;
            auto *counter = static_cast<volatile uint32_t *>(sf.pMap);
            uint32_t seen = *counter;
            sched_yield();
            *counter = seen + 1;
            com_file_unmapping(&sf);
            zrkc_unlock(&sf);
            com_file_close(&sf);
        }
        return 0;
    });
    for (int code : codes) EXPECT_EQ(code, 0);
    std::string text = zrktest::readFile(file);
    ASSERT_EQ(text.size(), sizeof(uint32_t));
    uint32_t total = 0;
    std::memcpy(&total, text.data(), sizeof total);
    EXPECT_EQ(total, static_cast<uint32_t>(kChildren * kRounds));
}

TEST_F(StoreFileTest, CheckDirAcceptsOnlyAnExistingFile) {
    zrktest::InstallRoot root;
    root.write("group", "a b\n");
    ReturnInfo ri {};
    EXPECT_EQ(zrkc_CheckDir(root.path("group").c_str(), &ri), 0);
    EXPECT_EQ(ri.iReturnClass, 0);

    const std::string refused[] = {root.path("missing"), root.etc(),
                                   "/" + std::string(600, 'g')};
    for (const auto &path : refused) {
        ReturnInfo bad {};
        EXPECT_EQ(zrkc_CheckDir(path.c_str(), &bad), -1) << path;
        EXPECT_EQ(bad.iReturnClass, 14);
        EXPECT_EQ(bad.uiMessageNo, 1801u);
        EXPECT_STREQ(bad.caMessage, "ZRKC1801 ERROR Group_file does not exist.\n");
    }
}

TEST(VolumeKind, ClassifiesCommandLineNames) {
    const struct {
        std::string name;
        int kind;
    } cases[] = {
        {"/dev/sdb", 1},
        {"sd", 1},
        {"0x0012@alias", 3},
        {"0x0012@alias:0x10:0x20", 4},
        {"0x1:", -1},             // below five characters, even with ":"
        {"0x1", -1},              // below five characters
        {"0x12345", -1},          // neither "@" nor ":"
        {"0x@abc", 3},            // "@" as the third character
        {"x", -1},
        {"", -1},
        {"0x1@" + std::string(44, 'a'), -1},  // 48 characters: too long for the alias form
        {"0x1@" + std::string(43, 'a'), 3},   // 47 characters
        {"0x1:" + std::string(60, 'a'), 4},   // the extent form has no upper bound here
    };
    for (const auto &c : cases) {
        ReturnInfo ri {};
        int kind = com_volume_kind(c.name.c_str(), &ri);
        const int expected = c.kind;
        EXPECT_EQ(kind, expected) << c.name;
        if (expected == -1) {
            EXPECT_EQ(ri.iReturnClass, 3) << c.name;
            EXPECT_EQ(ri.uiMessageNo, 1002u);
            EXPECT_EQ(std::string(ri.caMessage),
                      "ZRKC1002 ERROR Invalid logical volume name. Volume name=(" + c.name + ").\n");
        } else {
            EXPECT_EQ(ri.iReturnClass, 0) << c.name;
        }
    }
}

TEST(VolumeKind, AMountPointIsNeverAccepted) {
    ReturnInfo ri {};
    char box[ZRK_BOXID_LEN] = "untouched";
    uint32_t olu = 7;
    EXPECT_EQ(com_volume_mountpoint("/mnt/data", &ri, box, &olu, nullptr, nullptr, nullptr, nullptr),
              -1);
    EXPECT_STREQ(ri.caMessage, "ZRKC1002 ERROR Invalid logical volume name. Volume name=(/mnt/data).\n");
    EXPECT_STREQ(box, "untouched");
    EXPECT_EQ(olu, 7u);
}

TEST(VolumeKind, AVeryLongNameStaysInsideTheMessage) {
    std::string name(5000, 'n');
    ReturnInfo ri {};
    std::memset(&ri.uiNeedPairAreaSize, 0x5a, 4);
    EXPECT_EQ(com_volume_mountpoint(name.c_str(), &ri, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr),
              -1);
    EXPECT_EQ(std::strlen(ri.caMessage), sizeof ri.caMessage - 1);
    EXPECT_EQ(ri.uiNeedPairAreaSize, 0x5a5a5a5au) << "the message overflowed its field";
}
