// The SCSI transport driven through the simulated host layer against a
// simulator: sense and status mapping, retries, the whole-disk fallback, the
// pseudo sense of local failures, the volume manager's pass-through, and the
// error catalogue.
#include "inband_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>

using namespace inbandtest;

namespace {

// No catalogue line maps a sense code unless a test writes one.
class Transport : public InbandTest {
protected:
    Transport() : InbandTest(kScenario) {}
};

// Every row of the sense table, and senses the table does not hold.
struct SenseCase {
    int key, asc, ascq;
    int rc;              // DoScsi's result
    int zrkErrno;        // ZRKerrno afterwards
    const char *message; // what the transport logs
};
// clang-format off
const SenseCase kSenseCases[] = {
    {5, 0x26, 0x96, 0, 0, "already status"},
    {5, 0x26, 0x97, 0, 0, "already status"},
    {5, 0x26, 0x98, 0, 0, "already status"},
    {5, 0x26, 0x99, 0, 0, "already status"},
    {5, 0x26, 0x9A, 0, 0, "already status"},
    {5, 0x26, 0x90, -1, 26, "SCSI returned Check condition.(Illegal Request). [5,26,90]"},
    {5, 0x26, 0x92, -1, 26, "SCSI returned Check condition.(Illegal Request). [5,26,92]"},
    {5, 0x26, 0x93, -1, 26, "SCSI returned Check condition.(Illegal Request). [5,26,93]"},
    {5, 0x26, 0x94, -1, 26, "SCSI returned Check condition.(Illegal Request). [5,26,94]"},
    {5, 0x26, 0x95, -1, 26, "SCSI returned Check condition.(Illegal Request). [5,26,95]"},
    {5, 0x26, 0x91, -1, 39, "SCSI returned Check condition.(Out of sequence). "},
    {5, 0x26, 0x00, -1, 8, "SCSI returned Check condition.(Invalid field in parameter list)."},
    {5, 0x26, 0xB0, -1, 57, "SCSI returned Check condition.(Invalid BoxID)."},
    {5, 0x26, 0xB1, -1, 58, "SCSI returned Check condition.(Invalid ROLE)."},
    {5, 0x26, 0x9D, -1, 59, "SCSI returned Check condition.(Inadequate SETUP)."},
    {5, 0x26, 0x9E, -1, 59, "SCSI returned Check condition.(Inadequate SETUP)."},
    {5, 0x26, 0xBA, -1, 60, "SCSI returned Check condition.(Bit map resolution disagree)."},
    {5, 0x26, 0xBC, -1, 61, "SCSI returned Check condition.(Communication interrupted)."},
    {5, 0x26, 0xB9, -1, 62, "SCSI returned Check condition.(another partner is not supported.)"},
    {5, 0x26, 0xBE, -1, 62, "SCSI returned Check condition.(another partner is not supported.)"},
    {5, 0x26, 0xC0, -1, 65, "SCSI returned Check condition.(another partner is not supported.)"},
    {5, 0x26, 0xC1, -1, 65, "SCSI returned Check condition.(another partner is not supported.)"},
    {5, 0x26, 0xA4, -1, 70, "SCSI returned Check condition.(disk drive motor off.)"},
    {5, 0x26, 0xA5, -1, 82, "RAID Migration is currently being performed."},
    {5, 0x26, 0xA6, -1, 85, "Failed to restore the copy session, because the phase of target session is readying."},
    {5, 0x26, 0xA7, -1, 79, "Unable to restore the copy session because of using the Concurrent KZP function."},
    {5, 0x26, 0xA8, -1, 86, "Unable to start the Concurrent KZP function, because the phase of the latest SnapKZP+ session is readying."},
    {5, 0x26, 0xA9, -1, 87, "Unable to start the Concurrent KZP function, because the restore copy session exists."},
    {5, 0x26, 0xAA, -1, 88, "The status of the cascade copy session is incorrect."},
    {5, 0x26, 0xAB, -1, 89, "The copy logical source volumes are made by multiple VASTREL Disk storage systems."},
    {5, 0x26, 0xAC, -1, 91, "The transfer mode of the cascade copy session is incorrect."},
    {5, 0x26, 0xAD, -1, 92, "The logical volume is already defined in an Offloaded Data Transfer session."},
    {5, 0x26, 0xAE, -1, 93, "The copy session is used by cascade copy session."},
    {5, 0x26, 0xC2, -1, 96, "A copy operation cannot be performed because the specified volumes are unavailable."},
    {5, 0x26, 0xC3, -1, 97, "This operation cannot be executed for the NAS resource is in use."},
    {5, 0x25, 0x00, -1, 48, "SCSI returned Check condition.(Logical unit not supported)."},
    // Not in the table: the unexpected-device-error code.
    {5, 0x26, 0x9B, -1, 24, "SCSI reterned Check condition."},
    {5, 0x26, 0xFF, -1, 24, "SCSI reterned Check condition."},
    {5, 0x25, 0x01, -1, 24, "SCSI reterned Check condition."},
    {5, 0x24, 0x00, -1, 24, "SCSI reterned Check condition."},
    {3, 0x11, 0x00, -1, 24, "SCSI reterned Check condition."},
    {0x0B, 0x26, 0x96, -1, 24, "SCSI reterned Check condition."},
};
// clang-format on

TEST_F(Transport, EverySenseRowMapsToItsCodeAndKeepsTheSense) {
    for (const SenseCase &c : kSenseCases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.key << "/" << c.asc << "/" << c.ascq);
        NewCall();
        sim.clearLog();
        sim.injectSense(1, c.key, c.asc, c.ascq, "/dev/sdb");
        EXPECT_EQ(Inquiry("/dev/sdb"), c.rc);
        EXPECT_EQ(ZRKerrno, c.zrkErrno);
        const Stored s = ReadStore();
        EXPECT_EQ(s.key, c.key);
        EXPECT_EQ(s.asc, c.asc);
        EXPECT_EQ(s.ascq, c.ascq);
        EXPECT_EQ(sim.cdbLog().size(), 1u) << "no retry";
        EXPECT_EQ(ZRKopenFlag, 1) << "the device stays open after an answer";

        unsigned char sense[ZRK_SG_SENSE_LEN] = {0x70};
        sense[2] = static_cast<unsigned char>(c.key);
        sense[12] = static_cast<unsigned char>(c.asc);
        sense[13] = static_cast<unsigned char>(c.ascq);
        EXPECT_STREQ(zrk::MapScsiResult(ZRK_MSTATUS_CHECK_CONDITION, sense, sizeof sense).caMessage,
                     c.message);
    }
}

// Every row of the status table: statuses other than CHECK CONDITION store
// no sense.
TEST_F(Transport, EveryStatusRowMapsToItsCode) {
    struct StatusCase {
        int status;      // status byte the array answers; -1: a host error with GOOD
        int zrkErrno;
        const char *message;
    };
    // clang-format off
    const StatusCase cases[] = {
        {0x04, 25, "SCSI condition met."},
        {0x08, 26, "SCSI reterned Busy."},
        {0x18, 27, "SCSI reterned Reservation conflict."},
        {0x28, 28, "SCSI reterned Queue full."},
        {0x30, 29, "SCSI returned Unsupported status.Status [0x18]"},
        {0x40, 29, "SCSI returned Unsupported status.Status [0x20]"},
        {-1, 29, "SCSI returned Unsupported status.Status [0x00]"},
    };
    // clang-format on
    for (const StatusCase &c : cases) {
        SCOPED_TRACE(c.status);
        NewCall();
        if (c.status < 0)
            sim.injectTransport(1, 0x07, 0, "/dev/sdb");
        else
            sim.injectStatus(1, c.status, "/dev/sdb");
        EXPECT_EQ(Inquiry("/dev/sdb"), -1);
        EXPECT_EQ(ZRKerrno, c.zrkErrno);
        EXPECT_EQ(ReadStore().key, 0);
        EXPECT_EQ(ReadStore().errorClass, 0);
        const int masked = c.status < 0 ? 0 : c.status >> 1;
        EXPECT_STREQ(zrk::MapScsiResult(masked, nullptr, 0).caMessage, c.message);
    }
}

TEST_F(Transport, GoodAnswerFillsTheBufferAndKeepsTheDeviceOpen) {
    unsigned char data[96];
    ASSERT_EQ(Inquiry("/dev/sdb", data), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data + 8), 7), "KORVALE");
    EXPECT_EQ(ZRKopenFlag, 1);
    EXPECT_NE(fcntl(ZRKopenFd, F_GETFD), -1);

    // A later command of the same call uses the open descriptor, whatever
    // volume it names.
    sim.clearCalls();
    sim.clearLog();
    ASSERT_EQ(Inquiry("/dev/sdc"), 0);
    const auto calls = sim.calls();
    EXPECT_FALSE(Contains(calls, "open ")) << "no second open";
    ASSERT_EQ(sim.cdbLog().size(), 1u);
}

TEST_F(Transport, TravoOutCarriesItsDataToTheDevice) {
    unsigned char cdb[10] = {0xE9, 0x01, 0, 0, 0, 0, 0, 0, 4, 0};
    unsigned char list[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    DoScsi("/dev/sdb", 0, cdb, sizeof cdb, list, sizeof list);
    const auto log = sim.cdbLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(zrksim::toHex(log[0].dataOut), "deadbeef");
}

// Hardware errors and unit attentions are retried: three attempts in all.
TEST_F(Transport, RetriesHardwareErrorAndUnitAttention) {
    for (int key : {4, 6}) {
        SCOPED_TRACE(key);
        NewCall();
        sim.clearLog();
        sim.injectSense(2, key, 0x29, 0x00, "/dev/sdb");
        EXPECT_EQ(Inquiry("/dev/sdb"), 0);
        EXPECT_EQ(ZRKerrno, 0);
        EXPECT_EQ(sim.cdbLog().size(), 3u);

        // Three in a row: the last sense is the one kept.
        NewCall();
        sim.clearLog();
        sim.injectSense(2, key, 0x29, 0x00, "/dev/sdb");
        sim.injectSense(1, key, 0x2A, 0x09, "/dev/sdb", 2);
        EXPECT_EQ(Inquiry("/dev/sdb"), -1);
        EXPECT_EQ(ZRKerrno, 24);
        EXPECT_EQ(sim.cdbLog().size(), 3u);
        const Stored s = ReadStore();
        EXPECT_EQ(s.key, key);
        EXPECT_EQ(s.asc, 0x2A);
        EXPECT_EQ(s.ascq, 0x09);
    }
}

// A partition refuses SG_IO; its whole disk serves the command, and the
// descriptor kept for the call stays the partition's.
TEST_F(Transport, PartitionIsServedThroughItsWholeDisk) {
    const int before = OpenDescriptors();
    unsigned char data[96];
    ASSERT_EQ(Inquiry("/dev/sdb1", data), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data + 8), 7), "KORVALE");
    auto log = sim.cdbLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].path, "/dev/sdb");
    EXPECT_EQ(ZRKopenFlag, 1);
    EXPECT_EQ(OpenDescriptors(), before + 1) << "only the shared descriptor stays open";

    sim.clearCalls();
    ASSERT_EQ(Inquiry("/dev/sdb1"), 0);
    const auto calls = sim.calls();
    EXPECT_EQ(Count(calls, "ioctl /dev/sdb1 SG_IO"), 1u) << "shared descriptor is the partition's";
    EXPECT_EQ(Count(calls, "open /dev/sdb1"), 0u);
    EXPECT_EQ(Count(calls, "ioctl /dev/sdb SG_IO"), 1u);
    EXPECT_EQ(OpenDescriptors(), before + 1);

    // The whole disk's answer goes through the same sense mapping.
    NewCall();
    sim.injectSense(1, 5, 0x26, 0xB0, "/dev/sdb");
    EXPECT_EQ(Inquiry("/dev/sdb1"), -1);
    EXPECT_EQ(ZRKerrno, 57);
}

// Local failures: ZRKerrno 2 and a pseudo sense naming the failed step.
TEST_F(Transport, LocalFailuresRecordTheirClass) {
    struct ClassCase {
        const char *name;
        const char *path;
        HostFault fault;
        int errorClass;
        int osErrno;
        bool closed;     // the shared descriptor is closed afterwards
    };
    // clang-format off
    const ClassCase cases[] = {
        {"open", "/dev/sdz", {}, 3, ENOENT, true},
        {"ioctl", "/dev/sdb", {"ioctl", EIO, "/dev/sdb"}, 4, EIO, true},
        {"whole-disk name", "/dev/sdc", {"ioctl", ENOTTY, "/dev/sdc"}, 21, ENOTTY, true},
        {"whole-disk open", "/dev/sdb1", {"open", EACCES, "/dev/sdb"}, 22, EACCES, true},
        {"whole-disk ioctl", "/dev/sdb1", {"ioctl", EIO, "/dev/sdb"}, 23, EIO, true},
        {"device number", "/dev/brdlx/c1/dsk/vol1", {}, 12, EINVAL, true},
    };
    // clang-format on
    for (const ClassCase &c : cases) {
        SCOPED_TRACE(c.name);
        NewCall();
        sim.clearFaults();
        Inject(sim, c.fault);
        const int before = OpenDescriptors();
        EXPECT_EQ(Inquiry(c.path), -1);
        EXPECT_EQ(ZRKerrno, 2);
        const Stored s = ReadStore();
        EXPECT_EQ(s.errorClass, c.errorClass);
        if (c.osErrno != 0) {
            EXPECT_EQ(s.osErrno, c.osErrno);
        }
        EXPECT_EQ(ZRKopenFlag, 0);
        EXPECT_EQ(ZRKopenFd, 0);
        EXPECT_LE(OpenDescriptors(), before) << "no descriptor leaks";
    }
}

TEST_F(Transport, FirstRecordedFailureStays) {
    EXPECT_EQ(Inquiry("/dev/sdz"), -1);
    sim.injectErrno("ioctl", 1, EIO, "/dev/sdb");
    EXPECT_EQ(Inquiry("/dev/sdb"), -1);
    EXPECT_EQ(ReadStore().errorClass, 3);
    EXPECT_EQ(ReadStore().osErrno, ENOENT);

    // A device's sense is not overwritten by a later local failure either.
    NewCall();
    sim.injectSense(1, 5, 0x26, 0x91, "/dev/sdb");
    EXPECT_EQ(Inquiry("/dev/sdb"), -1);
    SetErrClassCode(4, EIO);
    const Stored s = ReadStore();
    EXPECT_EQ(s.errorClass, 0x70);
    EXPECT_EQ(s.key, 5);
    EXPECT_EQ(s.ascq, 0x91);
}

TEST_F(Transport, SetErrClassCodeWritesClassAndBigEndianErrno) {
    SetErrClassCode(18, 0x01020304);
    unsigned char s[ZRK_SENSE_STORE_LEN];
    CtrlSenseData(s, sizeof s, ZRK_SENSE_COPY_OUT);
    const unsigned char expected[8] = {18, 0, 0, 0, 1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(s, expected, sizeof expected), 0);
}

// A volume-manager volume goes through the pass-through node, which reaches
// the disk by the device number of the volume's disk.
TEST_F(Transport, VolumeManagerVolumeGoesThroughThePassThrough) {
    unsigned char data[96];
    ASSERT_EQ(Inquiry("/dev/brdlx/c1/dsk/vol1:sdc", data), 0);
    const auto log = sim.cdbLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].path, "/dev/sdc");
    EXPECT_EQ(log[0].via, ZRK_BRDLX_DIAG_NODE);
    EXPECT_TRUE(Contains(sim.calls(), "open /dev/brdlx/_diag"));
    EXPECT_TRUE(Contains(sim.calls(), "ioctl /dev/brdlx/_diag BRDLX_DIAG dev=8:32"));

    // With ZRKbvm every command takes that road.
    NewCall();
    sim.clearLog();
    ZRKbvm = 1;
    ASSERT_EQ(Inquiry("/dev/sdb"), 0);
    ZRKbvm = 0;
    ASSERT_EQ(sim.cdbLog().size(), 1u);
    EXPECT_EQ(sim.cdbLog()[0].path, "/dev/sdb");
    EXPECT_EQ(sim.cdbLog()[0].via, ZRK_BRDLX_DIAG_NODE);
}

// An unmapped sense is looked up in the catalogue by its sense code; the
// failover role change clears the role kept for the volume.
TEST_F(Transport, CatalogueRenamesAnUnmappedSense) {
    root.write("bin/.zrk_errinf_wxapi",
               "# test catalogue\n"
               "150\tMedium format corrupted.\t0x0B4E00\t-\n"
               "104\tThe storage cluster role of the logical volume has changed.\t0x062A06\t-\n"
               "160\tNever used: the table maps this sense itself.\t0x052691\t-\n");
    sim.injectSense(1, 0x0B, 0x4E, 0x00, "/dev/sdb");
    EXPECT_EQ(Inquiry("/dev/sdb"), -1);
    EXPECT_EQ(ZRKerrno, 150);

    NewCall();
    sim.injectSense(1, 5, 0x26, 0x91, "/dev/sdb");
    EXPECT_EQ(Inquiry("/dev/sdb"), -1);
    EXPECT_EQ(ZRKerrno, 39);

    NewCall();
    ZRKstorage_cluster = 2;
    ZRKstorage_clustergroup = 7;
    std::memset(ZRKstorage_clustervol, 'x', sizeof ZRKstorage_clustervol);
    sim.clearLog();
    sim.injectSense(3, 6, 0x2A, 0x06, "/dev/sdb");
    EXPECT_EQ(Inquiry("/dev/sdb"), -1);
    EXPECT_EQ(ZRKerrno, 104);
    EXPECT_EQ(sim.cdbLog().size(), 3u);
    EXPECT_EQ(ZRKstorage_cluster, 0);
    EXPECT_EQ(ZRKstorage_clustergroup, 0);
    const char zeros[ZRK_STORAGE_VOL_LEN] = {};
    EXPECT_EQ(std::memcmp(ZRKstorage_clustervol, zeros, sizeof zeros), 0);
}

TEST_F(Transport, LogShowsTheCatalogueText) {
    // The log settings are read once, at the first line of the process.
    setenv("WXAPI_LOG_FLAG", "1F", 1);
    root.write("bin/.zrk_errinf_wxapi", "150\tMedium format corrupted.\t0x0B4E00\t-\n");
    sim.injectSense(1, 0x0B, 0x4E, 0x00, "/dev/sdb");
    EXPECT_EQ(Inquiry("/dev/sdb"), -1);
    const std::string log = root.logText();
    EXPECT_NE(log.find("MESG : Medium format corrupted.\n"), std::string::npos) << log;
    EXPECT_NE(log.find("DoScsi_sg Err end [/dev/sdb]"), std::string::npos);
    unsetenv("WXAPI_LOG_FLAG");
}

// The older transport: the simulated host knows no SCSI_IOCTL_SEND_COMMAND,
// so it ends as an ioctl failure.
TEST_F(Transport, OlderTransportRecordsARefusedIoctl) {
    unsigned char cdb[6] = {0x00};
    EXPECT_EQ(DoScsi_sd("/dev/sdb", ZRK_DIR_FROM_DEVICE, cdb, sizeof cdb, nullptr, 0), -1);
    EXPECT_EQ(ZRKerrno, 2);
    EXPECT_EQ(ReadStore().errorClass, 4);
    EXPECT_EQ(ReadStore().osErrno, ENOTTY);
    EXPECT_EQ(ZRKopenFlag, 0) << "it keeps no descriptor";

    NewCall();
    unsigned char big[8192] = {};
    EXPECT_EQ(DoScsi_sd("/dev/sdb", ZRK_DIR_TO_DEVICE, cdb, sizeof cdb, big, sizeof big), -1);
    EXPECT_EQ(ZRKerrno, 53) << "the command page cannot hold the data";
}

TEST_F(Transport, RefusesAMissingCommand) {
    EXPECT_EQ(DoScsi("/dev/sdb", 0, nullptr, 6, nullptr, 0), -1);
    EXPECT_EQ(ZRKerrno, 13);
    unsigned char cdb[6] = {0x12};
    EXPECT_EQ(DoScsi("/dev/sdb", 0, cdb, sizeof cdb, nullptr, 96), -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_TRUE(sim.cdbLog().empty());
}

}  // namespace
