// Device paths and extents through the simulated host: partition geometry,
// sysfs, device-mapper tables, the volume manager's listing, whole-disk
// names and device numbers.
#include "inband_support.h"

#include <gtest/gtest.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>

using namespace inbandtest;

namespace {

const char kExtentScenario[] = R"(
array A1 boxid="BOX-A1"
volume A1 5 2097152 name=vol5
volume A1 6 4194304 name=vol6
volume A1 7 8589934600 name=big
disk /dev/sdb 8:16 A1 5
partition /dev/sdb1 8:17 /dev/sdb 2048 1000000
disk /dev/sdc 8:32 A1 6
disk /dev/sdd 8:48 A1 7
partition /dev/sdd1 8:49 /dev/sdd 4294967296 4096
disk /dev/nvme0n1 259:0 A1 6
partition /dev/nvme0n1p2 259:2 /dev/nvme0n1 4096 8192
link /dev/disk/by-id/wwn-0x5000b1 ../../sdb1
link /dev/disk/by-path/pci-0000:00:1f.2-ata-1-part1 ../../../dev/sdb1
link /dev/disk/by-id/nvme-x-part2 ../../nvme0n1p2
link /dev/disk/by-id/nvme-x ../../nvme0n1
dm /dev/mapper/lin 253:0 A1 5 table="0 2097152 linear 8:16 2048"
dm /dev/mapper/mp 253:1 A1 5 table="0 2097152 multipath 0 0 1 1 round-robin 0 1 1 8:16 1"
dm /dev/mapper/str 253:2 A1 5 table="0 2097152 striped 2 128 8:16 0 8:32 0"
dm /dev/mapper/two 253:3 A1 5 table="0 1024 linear 8:16 0" table="1024 1024 linear 8:32 0"
dm "/dev/mapper/odd name;touch x" 253:4 A1 5 table="0 4096 linear 8:16 512"
dm /dev/mapper/huge 253:5 A1 5 table="0 99999999999999999999 linear 8:16 0"
dm /dev/mapper/short 253:6 A1 5 table="0 2097152 linear 8:16"
dm /dev/mapper/big 253:7 A1 7 table="0 8589934600 linear 8:48 4294967296"
dm /dev/mapper/blank 253:8 A1 5 table=""
dm /dev/mapper/zero 253:9 A1 5 table="0 1 linear 8:16 0" size=0
dm /dev/mapper/neg 253:10 A1 5 table="0 -5 linear 8:16 0"
command -- /sbin/dmsetup table /dev/mapper/none
brdlx /dev/brdlx/c1/dsk/vol1:sdc 250:1 out="brxinfo 1.0" out="volume other a b c d 1 e 2" out="volume vol1 a b c d 4096 e 1048576" out="volume vol1 a b c d 7 e 7"
brdlx /dev/brdlx/c1/dsk/hex:sdc 250:2 out="volume hex a b c d 0x1000 e 010"
brdlx /dev/brdlx/c1/dsk/big:sdd 250:3 out="volume big a b c d 0x100000000 e 0x200000000"
brdlx /dev/brdlx/c1/dsk/gone:sdc 250:4 out="volume other a b c d 1 e 2"
brdlx /dev/brdlx/c1/dsk/short:sdc 250:5 out="volume short a b c d 4096"
brdlx /dev/brdlx/c1/dsk/noname:sdc 250:6 out="volume"
brdlx /dev/brdlx/c1/dsk/fail:sdc 250:7 out="volume fail a b c d 1 e 2" status=1
brdlx /dev/brdlx/c1/dsk/junk:sdc 250:8 out="volume junk a b c d 12z e 2"
)";

class Extent : public InbandTest {
protected:
    Extent() : InbandTest(kExtentScenario, Catalogue::kShipped) {}

    void SetUp() override {
        unsetenv("WXAPI_RPART_FLAG");
        InbandTest::SetUp();
    }
};

// What a failed extent leaves: ZRKerrno and, for local failures, the class.
struct Failure {
    int zrkErrno;
    int errorClass; // 0: no pseudo sense
    int osErrno;    // checked when not 0
};

void ExpectFailure(const Failure &f) {
    EXPECT_EQ(ZRKerrno, f.zrkErrno);
    const Stored s = ReadStore();
    EXPECT_EQ(s.errorClass, f.errorClass);
    if (f.osErrno != 0) {
        EXPECT_EQ(s.osErrno, f.osErrno);
    }
}

TEST_F(Extent, ClassicExtentOfEveryKindOfPath) {
    struct Case {
        const char *path;
        uint32_t start, size;
    };
    // clang-format off
    const Case cases[] = {
        {"/dev/sdb1", 2048, 1000000},
        {"/dev/sdb", 0, 2097152},
        {"/dev/mapper/lin", 0, 2097152},
        {"/dev/brdlx/c1/dsk/vol1:sdc", 4096, 1048576},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        NewCall();
        const int before = OpenDescriptors();
        uint32_t start = 1, size = 1;
        ASSERT_EQ(GetExtentInfo(c.path, &start, &size), 0) << ZRKerrno;
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(OpenDescriptors(), before);
    }
}

TEST_F(Extent, ClassicExtentFailures) {
    struct Case {
        const char *name;
        const char *path;
        HostFault fault;
        Failure failure;
    };
    // clang-format off
    const Case cases[] = {
        // 32 bits cannot hold these: refused, never cut.
        {"size beyond 32 bits", "/dev/sdd", {}, {8, 0, 0}},
        {"start beyond 32 bits", "/dev/sdd1", {}, {8, 0, 0}},
        {"volume manager beyond 32 bits", "/dev/brdlx/c1/dsk/big:sdd", {}, {8, 0, 0}},
        {"open", "/dev/sdz", {}, {2, 3, ENOENT}},
        {"geometry", "/dev/sdb1", {"ioctl", EIO, "", HDIO_GETGEO}, {2, 4, EIO}},
        {"size", "/dev/sdb1", {"ioctl", EPERM, "", BLKGETSIZE}, {2, 4, EPERM}},
        {"size 0", "/dev/mapper/zero", {}, {2, 13, 0}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        NewCall();
        sim.clearFaults();
        Inject(sim, c.fault);
        const int before = OpenDescriptors();
        uint32_t start = 0, size = 0;
        EXPECT_EQ(GetExtentInfo(c.path, &start, &size), -1);
        ExpectFailure(c.failure);
        EXPECT_EQ(OpenDescriptors(), before) << "the volume's descriptor is closed";
    }
}

TEST_F(Extent, ClassicExtentClosesTheCallsDevice) {
    ASSERT_EQ(Inquiry("/dev/sdc"), 0);
    ASSERT_EQ(ZRKopenFlag, 1);
    uint32_t start = 0, size = 0;
    ASSERT_EQ(GetExtentInfo("/dev/sdb", &start, &size), 0);
    EXPECT_EQ(ZRKopenFlag, 0);
    EXPECT_EQ(ZRKopenFd, 0);
}

// Only a whole non-zero decimal number asks for the partition table re-read.
TEST_F(Extent, PartitionTableIsReReadOnlyForANumericFlag) {
    struct Case {
        const char *value; // nullptr: unset
        bool reread;
    };
    // clang-format off
    const Case cases[] = {
        {"1", true},
        {"12", true},
        {"0", false},
        {"yes", false},
        {"1x", false},
        {"", false},
        {nullptr, false},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value != nullptr ? c.value : "(unset)");
        if (c.value != nullptr)
            setenv("WXAPI_RPART_FLAG", c.value, 1);
        else
            unsetenv("WXAPI_RPART_FLAG");
        sim.clearCalls();
        uint32_t start = 0, size = 0;
        ASSERT_EQ(GetExtentInfo("/dev/sdb", &start, &size), 0);
        const auto calls = sim.calls();
        const auto reread = std::find(calls.begin(), calls.end(), "ioctl /dev/sdb BLKRRPART");
        const auto geometry = std::find(calls.begin(), calls.end(), "ioctl /dev/sdb HDIO_GETGEO");
        EXPECT_EQ(reread != calls.end(), c.reread);
        if (c.reread) {
            EXPECT_LT(reread - calls.begin(), geometry - calls.begin());
        }
    }
    // Its failure (a partition refuses it) does not matter.
    setenv("WXAPI_RPART_FLAG", "1", 1);
    uint32_t start = 0, size = 0;
    EXPECT_EQ(GetExtentInfo("/dev/sdb1", &start, &size), 0);
    EXPECT_EQ(start, 2048u);
}

TEST_F(Extent, LargeVolumeExtentOfEveryRoad) {
    struct Case {
        const char *path;
        uint32_t startHigh, startLow, sizeHigh, sizeLow;
    };
    // clang-format off
    const Case cases[] = {
        // sysfs of disks and partitions, named directly or through links
        {"/dev/sdb1", 0, 2048, 0, 1000000},
        {"/dev/sdb", 0, 0, 0, 2097152},
        {"/dev/sdd", 0, 0, 2, 8},
        {"/dev/sdd1", 1, 0, 0, 4096},
        {"/dev/disk/by-id/wwn-0x5000b1", 0, 2048, 0, 1000000},
        {"/dev/disk/by-path/pci-0000:00:1f.2-ata-1-part1", 0, 2048, 0, 1000000},
        {"/dev/disk/by-id/nvme-x-part2", 0, 4096, 0, 8192},
        {"/dev/disk/by-id/nvme-x", 0, 0, 0, 4194304},
        // device-mapper tables
        {"/dev/mapper/lin", 0, 2048, 0, 2097152},
        {"/dev/mapper/mp", 0, 0, 0, 2097152},
        {"/dev/mapper/big", 1, 0, 2, 8},
        {"/dev/mapper/odd name;touch x", 0, 512, 0, 4096},
        // the volume manager's listing: the first line of the volume counts
        {"/dev/brdlx/c1/dsk/vol1:sdc", 0, 4096, 0, 1048576},
        {"/dev/brdlx/c1/dsk/hex:sdc", 0, 4096, 0, 8},
        {"/dev/brdlx/c1/dsk/big:sdd", 1, 0, 2, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        NewCall();
        uint32_t sh = 9, sl = 9, zh = 9, zl = 9;
        ASSERT_EQ(GetExtentInfoForLV(c.path, &sh, &sl, &zh, &zl), 0) << ZRKerrno;
        EXPECT_EQ(sh, c.startHigh);
        EXPECT_EQ(sl, c.startLow);
        EXPECT_EQ(zh, c.sizeHigh);
        EXPECT_EQ(zl, c.sizeLow);
    }
}

TEST_F(Extent, LargeVolumeExtentReadsTheRightFilesAndCommands) {
    uint32_t sh, sl, zh, zl;
    ASSERT_EQ(GetExtentInfoForLV("/dev/sdb1", &sh, &sl, &zh, &zl), 0);
    auto calls = sim.calls();
    EXPECT_TRUE(Contains(calls, "read_file /sys/block/sdb/sdb1/start"));
    EXPECT_TRUE(Contains(calls, "read_file /sys/block/sdb/sdb1/size"));

    sim.clearCalls();
    ASSERT_EQ(GetExtentInfoForLV("/dev/mapper/odd name;touch x", &sh, &sl, &zh, &zl), 0);
    ASSERT_EQ(GetExtentInfoForLV("/dev/brdlx/c1/dsk/vol1:sdc", &sh, &sl, &zh, &zl), 0);
    calls = sim.calls();
    // Each argument reaches the program as it is: no shell splits it.
    EXPECT_TRUE(Contains(calls, "run /sbin/dmsetup table /dev/mapper/odd name;touch x"));
    EXPECT_TRUE(Contains(calls, "run /usr/sbin/brxinfo -V -c c1 -o vol1"));
}

TEST_F(Extent, LargeVolumeExtentFailures) {
    struct Case {
        const char *path;
        HostFault fault;
        Failure failure;
    };
    const HostFault none{};
    // clang-format off
    const Case cases[] = {
        // sysfs road
        {"/dev/nvme9n1p1", none, {2, 18, ENOENT}},
        {"/dev/sdb1", {"read_file", ENOENT, "/sys/block/sdb/sdb1/start"}, {2, 3, ENOENT}},
        {"/dev/sdb", {"read_file", EACCES, "/sys/block/sdb/size"}, {2, 3, EACCES}},
        // device-mapper road
        {"/dev/mapper/lin", {"stat", ENOENT, "/sbin/dmsetup"}, {72, 0, 0}},
        {"/dev/mapper/lin", {"run", ENOEXEC, "/sbin/dmsetup"}, {73, 0, 0}},
        {"/dev/mapper/none", none, {74, 0, 0}},
        {"/dev/mapper/blank", none, {75, 0, 0}},
        {"/dev/mapper/short", none, {75, 0, 0}},
        {"/dev/mapper/huge", none, {75, 0, 0}},
        {"/dev/mapper/neg", none, {75, 0, 0}},
        {"/dev/mapper/str", none, {76, 0, 0}},
        {"/dev/mapper/two", none, {76, 0, 0}},
        // volume manager road
        {"/dev/brdlx/c1/dsk/gone:sdc", none, {2, 14, 0}},
        {"/dev/brdlx/c1/dsk/short:sdc", none, {38, 0, 0}},
        {"/dev/brdlx/c1/dsk/noname:sdc", none, {38, 0, 0}},
        {"/dev/brdlx/c1/dsk/fail:sdc", none, {38, 0, 0}},
        {"/dev/brdlx/c1/dsk/junk:sdc", none, {38, 0, 0}},
        {"/dev/brdlx/c1/dsk/vol1:sdc", {"run", ENOENT, "/usr/sbin/brxinfo"}, {38, 0, 0}},
        {"/dev/brdlx/vol1:sdc", none, {2, 5, 0}},
        {"/dev/brdlx/c1/dsk/vol1", none, {2, 5, 0}},
        {"/dev/brdlx/c1/dsk/:sdc", none, {2, 5, 0}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        NewCall();
        sim.clearFaults();
        Inject(sim, c.fault);
        uint32_t sh = 7, sl = 7, zh = 7, zl = 7;
        EXPECT_EQ(GetExtentInfoForLV(c.path, &sh, &sl, &zh, &zl), -1);
        ExpectFailure(c.failure);
    }
}

TEST_F(Extent, ClassicExtentThroughReadCapacity) {
    ZRKbvm = 1;
    uint32_t start = 9, size = 0;
    ASSERT_EQ(GetExtentInfo("/dev/sdb", &start, &size), 0) << ZRKerrno;
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(size, 2097152u);
    const auto log = sim.cdbLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].cdb.at(0), 0x25);
    EXPECT_EQ(log[0].cdb.size(), 10u);
    EXPECT_EQ(log[0].via, ZRK_BRDLX_DIAG_NODE);

    // The array answers 0xFFFFFFFF when the last block does not fit.
    NewCall();
    EXPECT_EQ(GetExtentInfo("/dev/sdd", &start, &size), -1);
    EXPECT_EQ(ZRKerrno, 8);
    ZRKbvm = 0;
}

TEST_F(Extent, WholeDiskNames) {
    struct Case {
        const char *path;
        int rc;
        const char *whole;
    };
    // clang-format off
    const Case cases[] = {
        {"/dev/sdb1", 0, "/dev/sdb"},
        {"/dev/sdb", -1, "/dev/sdb"},
        {"/dev/nvme0n1p2", 0, "/dev/nvme0n1"},
        {"/dev/nvme0n1", -1, "/dev/nvme0n1"}, // sysfs knows it as a disk
        {"/dev/disk/by-id/wwn-0x5000b1", 0, "/dev/sdb"},
        {"/dev/disk/by-path/pci-0000:00:1f.2-ata-1-part1", 0, "/dev/sdb"},
        {"/dev/disk/by-id/nvme-x-part2", 0, "/dev/nvme0n1"},
        {"/dev/disk/by-id/missing", -1, "/dev/disk/by-id/missing"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        char out[ZRK_DEVNAME_LEN + 1];
        EXPECT_EQ(GetVolumeName(c.path, out), c.rc);
        EXPECT_STREQ(out, c.whole);
    }
}

TEST_F(Extent, DeviceNumbers) {
    dev_t device = 0;
    ASSERT_EQ(GetDeviceNumber("/dev/brdlx/c1/dsk/vol1:sdc", &device), 0);
    EXPECT_EQ(device, makedev(8, 32));
    ASSERT_EQ(GetDeviceNumber("/dev/sdb1", &device), 0);
    EXPECT_EQ(device, makedev(8, 17));
    EXPECT_EQ(GetDeviceNumber("/dev/brdlx/c1/dsk/vol1", &device), -1);
    EXPECT_EQ(GetDeviceNumber("/dev/brdlx/c1/dsk/vol1:", &device), -1);
    errno = 0;
    EXPECT_EQ(GetDeviceNumber("/dev/sdz", &device), -1);
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
