// Fault injection and the CDB log, seen from the caller of the simulated
// host layer.
#include "sg_helpers.h"
#include "sim_client.h"

#include <linux/fs.h>
#include <sys/sysmacros.h>
#include <linux/hdreg.h>

#include <gtest/gtest.h>

#include <functional>

using namespace simtest;
using zrksim::Simulator;

TEST(SimFaults, SenseFiresForCountCommandsThenStops) {
    Simulator sim(kHost);
    sim.injectSense(2, 0x6, 0x29, 0x01);
    for (int i = 0; i < 2; ++i) {
        SgResult r = sg("/dev/sdb", kReadCapacity10, 8);
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.hdr.masked_status, 0x01);
        EXPECT_EQ(r.hdr.info & SG_INFO_OK_MASK, SG_INFO_CHECK);
        EXPECT_EQ(r.sense[2], 0x06);
        EXPECT_EQ(r.sense[12], 0x29);
        EXPECT_EQ(r.sense[13], 0x01);
        EXPECT_EQ(r.hdr.resid, 8);
    }
    SgResult good = sg("/dev/sdb", kReadCapacity10, 8);
    EXPECT_EQ(good.hdr.status, 0);
    EXPECT_EQ(Be(good.data, 0, 4), 4194303u);
    EXPECT_TRUE(sim.faults().empty());
    EXPECT_EQ(sim.cdbLog().size(), 3u);  // faulted commands reached the array
}

TEST(SimFaults, PathAndSkipSelectTheFaultedCommand) {
    Simulator sim(kHost);
    sim.injectSense(1, 0x5, 0x26, 0x98, "/dev/sdc", 1);
    EXPECT_EQ(sg("/dev/sdb", kTestUnitReady, 0, SG_DXFER_NONE).hdr.status, 0);  // other path
    EXPECT_EQ(sg("/dev/sdc", kTestUnitReady, 0, SG_DXFER_NONE).hdr.status, 0);  // skipped
    EXPECT_EQ(sg("/dev/sdc", kTestUnitReady, 0, SG_DXFER_NONE).hdr.status, 0x02);
    EXPECT_EQ(sg("/dev/sdc", kTestUnitReady, 0, SG_DXFER_NONE).hdr.status, 0);
    // A fault for a disk also catches its commands through the pass-through.
    sim.injectStatus(1, 0x08, "/dev/sdc");
    int diag = zrk_host_open(ZRK_BRDLX_DIAG_NODE, O_RDONLY);
    EXPECT_EQ(sgOnFd(diag, kTestUnitReady, 0, SG_DXFER_NONE, 32, {}, makedev(8, 32)).hdr.status, 0x08);
    zrk_host_close(diag);
}

TEST(SimFaults, StatusAndTransportErrorsReachTheHeader) {
    Simulator sim(kHost);
    struct Case {
        unsigned char status, masked;
    } cases[] = {{0x08, 4}, {0x18, 12}, {0x28, 20}, {0x04, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        sim.injectStatus(1, c.status);
        SgResult r = sg("/dev/sdb", kStandardInquiry, 96);
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.hdr.status, c.status);
        EXPECT_EQ(r.hdr.masked_status, c.masked);
        EXPECT_EQ(r.hdr.info & SG_INFO_OK_MASK, SG_INFO_CHECK);
        EXPECT_EQ(r.hdr.sb_len_wr, 0);
        EXPECT_EQ(r.hdr.resid, 96);
    }
    sim.injectTransport(1, 0x07, 0x06);
    SgResult r = sg("/dev/sdb", kStandardInquiry, 96);
    EXPECT_EQ(r.hdr.status, 0);
    EXPECT_EQ(r.hdr.masked_status, 0);
    EXPECT_EQ(r.hdr.host_status, 0x07);
    EXPECT_EQ(r.hdr.driver_status, 0x06);
    EXPECT_EQ(r.hdr.info & SG_INFO_OK_MASK, SG_INFO_CHECK);
    EXPECT_EQ(sg("/dev/sdb", kStandardInquiry, 96).hdr.info & SG_INFO_OK_MASK, SG_INFO_OK);
}

TEST(SimFaults, ErrnoFaultsFailEachHostCallOnce) {
    Simulator sim(kHost);
    struct Case {
        const char *op;
        const char *path;
        std::function<int()> call;
    } cases[] = {
        {"open", "/dev/sdb", [] {
             int fd = zrk_host_open("/dev/sdb", O_RDONLY);
             if (fd >= 0) zrk_host_close(fd);
             return fd < 0 ? -1 : 0;
         }},
        {"stat", "/dev/sdb", [] { struct stat st {}; return zrk_host_stat("/dev/sdb", &st); }},
        {"access", "/dev/sdb", [] { return zrk_host_access("/dev/sdb", R_OK); }},
        {"readlink", "/dev/disk/by-id/wwn-part1", [] {
             char buf[32];
             return static_cast<int>(zrk_host_readlink("/dev/disk/by-id/wwn-part1", buf, sizeof buf)) < 0 ? -1 : 0;
         }},
        {"read_file", "/sys/block/sdb/size", [] {
             char buf[32];
             return zrk_host_read_file("/sys/block/sdb/size", buf, sizeof buf) < 0 ? -1 : 0;
         }},
        {"run", "/sbin/dmsetup", [] {
             const char *argv[] = {"/sbin/dmsetup", "table", "/dev/mapper/mpatha", nullptr};
             char out[128];
             int status = 0;
             return zrk_host_run(argv, out, sizeof out, &status) < 0 ? -1 : 0;
         }},
        {"ioctl", "/dev/sdb", [] { return sg("/dev/sdb", kTestUnitReady, 0, SG_DXFER_NONE).rc; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.op);
        sim.injectErrno(c.op, 1, EIO, c.path);
        errno = 0;
        EXPECT_EQ(c.call(), -1);
        EXPECT_EQ(errno, EIO);
        EXPECT_EQ(c.call(), 0);
    }
    // The failed SG_IO never reached the array.
    EXPECT_EQ(sim.cdbLog().size(), 1u);
}

TEST(SimFaults, IoctlFaultNarrowedToOneRequestAndEintrRetried) {
    Simulator sim(kHost);
    int fd = zrk_host_open("/dev/sdb1", O_RDONLY);
    sim.injectErrno("ioctl", 1, ENOTTY, "", 0, BLKGETSIZE);
    hd_geometry geo{};
    EXPECT_EQ(zrk_host_ioctl(fd, HDIO_GETGEO, &geo), 0);
    unsigned long blocks = 0;
    EXPECT_EQ(zrk_host_ioctl(fd, BLKGETSIZE, &blocks), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(zrk_host_ioctl(fd, BLKGETSIZE, &blocks), 0);
    // Interrupted calls are retried inside the host layer.
    sim.injectErrno("ioctl", 3, EINTR);
    EXPECT_EQ(zrk_host_ioctl(fd, BLKGETSIZE, &blocks), 0);
    EXPECT_EQ(blocks, 1000000u);
    EXPECT_TRUE(sim.faults().empty());
    zrk_host_close(fd);
}

TEST(SimFaults, CdbLogKeepsCommandsAndDataInOrder) {
    Simulator sim(kHost);
    const Bytes out{0x33, 0, 0, 0, 0, 0, 0, 8, 0, 5, 1, 0, 0, 0, 0, 0};
    sg("/dev/sdb", kStandardInquiry, 96);
    SgResult sent = sg("/dev/mapper/mpatha", {0xE9, 0x01, 0, 0, 0, 0, 0, 0, 16, 0}, 16, SG_DXFER_TO_DEV, 32, out);
    EXPECT_EQ(sent.hdr.resid, 0);
    std::vector<zrksim::CdbRecord> log = sim.cdbLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].path, "/dev/sdb");
    EXPECT_EQ(log[0].via, "");
    EXPECT_EQ(log[0].cdb, kStandardInquiry);
    EXPECT_TRUE(log[0].dataOut.empty());
    EXPECT_EQ(log[1].path, "/dev/mapper/mpatha");
    EXPECT_EQ(zrksim::toHex(log[1].cdb), "e9010000000000001000");
    EXPECT_EQ(log[1].dataOut, out);
    EXPECT_EQ(sim.calls().back(), "ioctl /dev/mapper/mpatha SG_IO");
    sim.clearLog();
    EXPECT_TRUE(sim.cdbLog().empty());
    sg("/dev/sdb1", kStandardInquiry, 96);  // refused by the partition: not logged
    EXPECT_TRUE(sim.cdbLog().empty());
}
