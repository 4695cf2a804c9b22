// The production host layer on what this machine has: missing nodes, SG_IO
// refused by things that are not SCSI devices, running programs from an
// argument vector, and the sysfs files of a real block device when there is
// one.
#include "install_root.h"
#include "zrkhost.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

class HostLinux : public ::testing::Test {
protected:
    std::string dir = zrktest::makeTempDir();
    ~HostLinux() override { zrktest::removeTree(dir); }
};

TEST_F(HostLinux, MissingNodeIsENOENT) {
    const std::string missing = dir + "/sdz";
    errno = 0;
    EXPECT_EQ(zrk_host_open(missing.c_str(), O_RDONLY), -1);
    EXPECT_EQ(errno, ENOENT);
    struct stat st {};
    errno = 0;
    EXPECT_EQ(zrk_host_stat(missing.c_str(), &st), -1);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(zrk_host_access(missing.c_str(), F_OK), -1);
    EXPECT_EQ(errno, ENOENT);
    char buffer[16];
    errno = 0;
    EXPECT_EQ(zrk_host_read_file(missing.c_str(), buffer, sizeof buffer), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(HostLinux, SgIoIsRefusedByWhatIsNoScsiDevice) {
    const std::string file = dir + "/plain";
    {
        int fd = ::open(file.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    for (const std::string &path : {file, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        const int fd = zrk_host_open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "descriptors are close-on-exec";
        unsigned char cdb[6] = {0x12, 0, 0, 0, 96, 0};
        unsigned char data[96], sense[32];
        sg_io_hdr_t header{};
        header.interface_id = 'S';
        header.dxfer_direction = SG_DXFER_FROM_DEV;
        header.cmd_len = sizeof cdb;
        header.mx_sb_len = sizeof sense;
        header.dxfer_len = sizeof data;
        header.dxferp = data;
        header.cmdp = cdb;
        header.sbp = sense;
        header.timeout = 1000;
        errno = 0;
        EXPECT_EQ(zrk_host_ioctl(fd, SG_IO, &header), -1);
        EXPECT_TRUE(errno == ENOTTY || errno == EINVAL) << errno;
        EXPECT_EQ(zrk_host_close(fd), 0);
    }
}

TEST_F(HostLinux, ReadsLinksAndSmallFiles) {
    const std::string file = dir + "/size";
    const std::string link = dir + "/link";
    {
        int fd = ::open(file.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "2048\n", 5), 5);
        ::close(fd);
    }
    ASSERT_EQ(::symlink("../../sdb1", link.c_str()), 0);
    char buffer[64] = {};
    ASSERT_EQ(zrk_host_readlink(link.c_str(), buffer, sizeof buffer), 10);
    EXPECT_EQ(std::string(buffer, 10), "../../sdb1");
    ASSERT_EQ(zrk_host_read_file(file.c_str(), buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "2048\n");
    ASSERT_EQ(zrk_host_read_file(file.c_str(), buffer, 3), 3) << "cut to the buffer";
    errno = 0;
    EXPECT_EQ(zrk_host_readlink(file.c_str(), buffer, sizeof buffer), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(HostLinux, RunsAProgramFromItsArgumentVector) {
    char out[64] = {};
    int status = -1;
    const char *const echo[] = {"/bin/echo", "one; two", "$(three)", nullptr};
    ASSERT_EQ(zrk_host_run(echo, out, sizeof out, &status), 18);
    EXPECT_EQ(std::string(out, 18), "one; two $(three)\n") << "no shell reads the arguments";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // Output beyond the room is drained, not kept.
    const char *const longer[] = {"/bin/echo", "abcdefghij", nullptr};
    ASSERT_EQ(zrk_host_run(longer, out, 4, &status), 4);
    EXPECT_EQ(std::string(out, 4), "abcd");
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const char *const failing[] = {"/bin/false", nullptr};
    ASSERT_EQ(zrk_host_run(failing, out, sizeof out, &status), 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);

    // Standard error goes nowhere: only standard output comes back.
    const char *const noisy[] = {"/bin/sh", "-c", "echo err >&2; echo out", nullptr};
    ASSERT_EQ(zrk_host_run(noisy, out, sizeof out, &status), 4);
    EXPECT_EQ(std::string(out, 4), "out\n");
}

TEST_F(HostLinux, ProgramThatDoesNotExist) {
    const std::string missing = dir + "/no-such-program";
    const char *const argv[] = {missing.c_str(), nullptr};
    char out[8];
    int status = 0;
    errno = 0;
    EXPECT_EQ(zrk_host_run(argv, out, sizeof out, &status), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(HostLinux, SysfsFilesOfARealBlockDevice) {
    std::string name;
    if (DIR *d = opendir("/sys/block")) {
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] != '.') {
                name = e->d_name;
                break;
            }
        }
        closedir(d);
    }
    if (name.empty()) GTEST_SKIP() << "no block device in /sys/block";
    const std::string size = "/sys/block/" + name + "/size";
    char buffer[64] = {};
    const ssize_t n = zrk_host_read_file(size.c_str(), buffer, sizeof buffer - 1);
    ASSERT_GT(n, 0);
    char *end = nullptr;
    std::strtoull(buffer, &end, 10);
    EXPECT_NE(end, buffer);
    EXPECT_TRUE(*end == '\n' || *end == '\0');
    struct stat st {};
    EXPECT_EQ(zrk_host_stat(size.c_str(), &st), 0);
    EXPECT_EQ(zrk_host_access(size.c_str(), R_OK), 0);
}

}  // namespace
