// The simulated host platform layer: each zrk_host_* call answered by the
// simulator from its scenario.
#include "child.h"
#include "sg_helpers.h"
#include "sim_client.h"

#include <dirent.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace simtest;
using zrksim::Simulator;

namespace {

int openedDescriptors() {
    int count = 0;
    DIR *dir = opendir("/proc/self/fd");
    while (dir != nullptr && readdir(dir) != nullptr) ++count;
    if (dir != nullptr) closedir(dir);
    return count;
}

std::string readFile(const char *path, ssize_t *rc, size_t size = 256) {
    std::string buf(size, '\0');
    *rc = zrk_host_read_file(path, buf.data(), size);
    return buf.substr(0, *rc > 0 ? static_cast<size_t>(*rc) : 0);
}

}  // namespace

TEST(SimHost, StatTellsNodesFilesAndFolders) {
    Simulator sim(kHost);
    struct Case {
        const char *path;
        mode_t type;
        dev_t rdev;
        int err;
    } cases[] = {
        {"/dev/sdb", S_IFBLK, makedev(8, 16), 0},
        {"/dev/disk/by-id/wwn-part1", S_IFBLK, makedev(8, 17), 0},
        {"/dev/mapper/mpatha", S_IFBLK, makedev(253, 0), 0},
        {"/dev/brdlx/c1/dsk/vol1:sdc", S_IFBLK, makedev(250, 1), 0},
        {"/dev/brdlx/_diag", S_IFCHR, makedev(10, 240), 0},
        {"/sbin/dmsetup", S_IFREG, 0, 0},
        {"/sys/block/sdb/sdb1/start", S_IFREG, 0, 0},
        {"/dev/brdlx", S_IFDIR, 0, 0},
        {"/dev/sdz", 0, 0, ENOENT},
        {"/sys/block/sdb1/size", 0, 0, ENOENT},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        struct stat st {};
        int rc = zrk_host_stat(c.path, &st);
        if (c.err != 0) {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(errno, c.err);
            EXPECT_EQ(zrk_host_access(c.path, F_OK), -1);
            continue;
        }
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(st.st_mode & S_IFMT, c.type);
        EXPECT_EQ(st.st_rdev, c.rdev);
        EXPECT_EQ(zrk_host_access(c.path, F_OK), 0);
    }
    EXPECT_EQ(zrk_host_access("/sbin/dmsetup", X_OK), 0);
    EXPECT_EQ(zrk_host_access("/sys/block/sdb/size", X_OK), -1);
    EXPECT_EQ(errno, EACCES);
}

TEST(SimHost, LinksAndSysfsFilesReadBack) {
    Simulator sim(kHost);
    char buf[64];
    ssize_t n = zrk_host_readlink("/dev/disk/by-id/wwn-part1", buf, sizeof buf);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n > 0 ? n : 0)), "../../sdb1");
    EXPECT_EQ(zrk_host_readlink("/dev/disk/by-id/wwn-part1", buf, 4), 4);  // truncated, as readlink
    EXPECT_EQ(zrk_host_readlink("/dev/sdb", buf, sizeof buf), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(zrk_host_readlink("/dev/disk/by-id/none", buf, sizeof buf), -1);
    EXPECT_EQ(errno, ENOENT);

    ssize_t rc = 0;
    EXPECT_EQ(readFile("/sys/block/sdb/size", &rc), "4194304\n");
    EXPECT_EQ(readFile("/sys/block/sdb/sdb1/start", &rc), "2048\n");
    EXPECT_EQ(readFile("/sys/block/sdb/sdb1/size", &rc), "1000000\n");
    EXPECT_EQ(readFile("/sys/block/sdc/dev", &rc), "8:32\n");
    EXPECT_EQ(readFile("/sys/block/sdb/size", &rc, 3), "419");
    readFile("/sys/block/sdb/sdb1/missing", &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(errno, ENOENT);
    readFile("/sys/block/sdb", &rc);
    EXPECT_EQ(errno, EISDIR);
}

TEST(SimHost, RunAnswersDeclaredCommandsOnly) {
    Simulator sim(kHost);
    struct Case {
        std::vector<const char *> argv;
        int err;  // the errno when the program cannot start
        int exitCode;
        std::string out;
    } cases[] = {
        {{"/sbin/dmsetup", "table", "/dev/mapper/mpatha"}, 0, 0,
         "0 4194304 multipath 0 0 1 1 round-robin 0 1 1 8:16 1\n"},
        {{"/usr/sbin/brxinfo", "-V", "-c", "c1", "-o", "vol1"}, 0, 0,
         "volume vol1 a b c d 0x800 f 4096 h\n"},
        {{"/usr/bin/tool", "-x"}, 0, 3, "hello\nworld\n"},
        {{"/sbin/dmsetup", "table", "/dev/mapper/other"}, 0, 1, ""},
        {{"/usr/sbin/lvm", "lvs"}, ENOENT, 0, ""},
    };
    for (Case &c : cases) {
        c.argv.push_back(nullptr);
        SCOPED_TRACE(c.argv[0]);
        char out[256];
        int status = -1;
        ssize_t rc = zrk_host_run(c.argv.data(), out, sizeof out, &status);
        if (c.err != 0) {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(errno, c.err);
            continue;
        }
        ASSERT_EQ(rc, static_cast<ssize_t>(c.out.size()));
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
        EXPECT_EQ(std::string(out, static_cast<size_t>(rc)), c.out);
    }
    const char *argv[] = {"/usr/bin/tool", "-x", nullptr};
    char out[3];
    int status = 0;
    EXPECT_EQ(zrk_host_run(argv, out, sizeof out, &status), 3);
}

TEST(SimHost, BlockIoctlsFollowTheNodeKind) {
    Simulator sim(kHost);
    int part = zrk_host_open("/dev/disk/by-id/wwn-part1", O_RDONLY);
    int disk = zrk_host_open("/dev/sdc", O_RDONLY);
    int dm = zrk_host_open("/dev/mapper/mpatha", O_RDONLY);
    ASSERT_GE(part, 0);
    ASSERT_GE(disk, 0);
    ASSERT_GE(dm, 0);

    // SG_IO: a partition refuses it as Linux does, its disk and dm answer.
    SgResult onPart = sgOnFd(part, kReadCapacity10, 8);
    EXPECT_EQ(onPart.rc, -1);
    EXPECT_EQ(onPart.err, ENOTTY);
    EXPECT_EQ(sgOnFd(disk, kReadCapacity10, 8).rc, 0);
    EXPECT_EQ(Be(sgOnFd(dm, kReadCapacity10, 8).data, 0, 4), 4194303u);

    hd_geometry geo{};
    ASSERT_EQ(zrk_host_ioctl(part, HDIO_GETGEO, &geo), 0);
    EXPECT_EQ(geo.heads, 255);
    EXPECT_EQ(geo.sectors, 63);
    EXPECT_EQ(geo.cylinders, 4194304 / (255 * 63));  // the disk's geometry
    EXPECT_EQ(geo.start, 2048u);
    ASSERT_EQ(zrk_host_ioctl(disk, HDIO_GETGEO, &geo), 0);
    EXPECT_EQ(geo.heads, 64);
    EXPECT_EQ(geo.sectors, 32);
    EXPECT_EQ(geo.cylinders, 65535);
    EXPECT_EQ(geo.start, 0u);

    unsigned long blocks = 0;
    ASSERT_EQ(zrk_host_ioctl(part, BLKGETSIZE, &blocks), 0);
    EXPECT_EQ(blocks, 1000000u);
    ASSERT_EQ(zrk_host_ioctl(dm, BLKGETSIZE, &blocks), 0);
    EXPECT_EQ(blocks, 4194304u);

    EXPECT_EQ(zrk_host_ioctl(disk, BLKRRPART, nullptr), 0);
    EXPECT_EQ(zrk_host_ioctl(part, BLKRRPART, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(zrk_host_ioctl(disk, BLKFLSBUF, nullptr), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(zrk_host_ioctl(9999, BLKGETSIZE, &blocks), -1);
    EXPECT_EQ(errno, EBADF);

    std::vector<std::string> calls = sim.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "ioctl /dev/sdc BLKRRPART"), calls.end());
    for (int fd : {part, disk, dm}) EXPECT_EQ(zrk_host_close(fd), 0);
}

TEST(SimHost, PassThroughReachesTheNodeOfTheDeviceNumber) {
    Simulator sim(kHost);
    int diag = zrk_host_open(ZRK_BRDLX_DIAG_NODE, O_RDONLY);
    ASSERT_GE(diag, 0);
    SgResult r = sgOnFd(diag, kReadCapacity16, 32, SG_DXFER_FROM_DEV, 32, {}, makedev(8, 32));
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(Be(r.data, 0, 8), 0xFFFFFFFFull);  // volume 6 of A1 behind /dev/sdc
    std::vector<zrksim::CdbRecord> log = sim.cdbLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].path, "/dev/sdc");
    EXPECT_EQ(log[0].via, ZRK_BRDLX_DIAG_NODE);

    EXPECT_EQ(sgOnFd(diag, kReadCapacity16, 32, SG_DXFER_FROM_DEV, 32, {}, makedev(8, 99)).err, ENXIO);
    EXPECT_EQ(sgOnFd(diag, kReadCapacity16, 32).err, ENOTTY);  // plain SG_IO on the node
    ZrkBrdlxPassThrough other{makedev(8, 32), 0x2286, 0, nullptr};
    EXPECT_EQ(zrk_host_ioctl(diag, ZRK_BRDLX_DIAG_IOCTL, &other), -1);
    EXPECT_EQ(errno, EINVAL);
    zrk_host_close(diag);

    int disk = zrk_host_open("/dev/sdc", O_RDONLY);
    EXPECT_EQ(sgOnFd(disk, kReadCapacity16, 32, SG_DXFER_FROM_DEV, 32, {}, makedev(8, 32)).err, ENOTTY);
    zrk_host_close(disk);
}

TEST(SimHost, DescriptorsAreRealAndReleased) {
    Simulator sim(kHost);
    struct stat st {};
    ASSERT_EQ(zrk_host_stat("/dev/sdb", &st), 0);  // the connection has its own descriptor
    int before = openedDescriptors();
    std::vector<int> fds;
    for (int i = 0; i < 5; ++i) fds.push_back(zrk_host_open("/dev/sdb", O_RDONLY));
    EXPECT_EQ(openedDescriptors(), before + 5);
    for (int fd : fds) {
        EXPECT_GE(fd, 0);
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
        EXPECT_EQ(zrk_host_close(fd), 0);
    }
    EXPECT_EQ(openedDescriptors(), before);
    EXPECT_EQ(zrk_host_open("/dev/sdz", O_RDONLY), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(openedDescriptors(), before);
}

TEST(SimHost, ForkedChildReachesTheSameSimulator) {
    Simulator sim(kHost);
    struct stat st {};
    ASSERT_EQ(zrk_host_stat("/dev/sdb", &st), 0);  // the parent's connection is open
    int fd = zrk_host_open("/dev/sdb", O_RDONLY);
    zrktest::ChildResult child = zrktest::runChild([fd] {
        struct stat cst {};
        if (zrk_host_stat("/dev/sdc", &cst) != 0 || cst.st_rdev != makedev(8, 32)) return 1;
        // The descriptor opened before the fork still names its path.
        SgResult r = sgOnFd(fd, kTestUnitReady, 0, SG_DXFER_NONE);
        return r.rc == 0 && r.hdr.status == 0 ? 0 : 2;
    });
    EXPECT_EQ(child.exitCode, 0);
    ASSERT_EQ(zrk_host_stat("/dev/mapper/mpatha", &st), 0);
    EXPECT_EQ(st.st_rdev, makedev(253, 0));
    zrk_host_close(fd);
    std::vector<zrksim::CdbRecord> log = sim.cdbLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].cdb, kTestUnitReady);
    EXPECT_EQ(sim.shutdown(), 0);
}

TEST(SimHost, WithoutSimulatorEveryCallFails) {
    struct stat st {};
    {
        Simulator first(kHost);
        ASSERT_EQ(zrk_host_stat("/dev/sdb", &st), 0);
    }
    EXPECT_EQ(zrk_host_stat("/dev/sdb", &st), -1);
    EXPECT_EQ(errno, EHOSTDOWN);
    // A second simulator in the same process is found through the new path.
    Simulator second("array X boxid=X\nvolume X 1 10\ndisk /dev/sdq 65:0 X 1\n");
    EXPECT_EQ(zrk_host_stat("/dev/sdb", &st), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(zrk_host_stat("/dev/sdq", &st), 0);
    unsetenv("ZRK_SIM_SOCKET");
    EXPECT_EQ(zrk_host_open("/dev/sdq", O_RDONLY), -1);
    EXPECT_EQ(errno, EHOSTDOWN);
}
