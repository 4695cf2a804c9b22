// The array's answers to SCSI commands, sent through the simulated host layer
// as the library sends them.
#include "sg_helpers.h"
#include "sim_client.h"

#include <gtest/gtest.h>

using namespace simtest;
using zrksim::Simulator;

namespace {

void expectIllegalRequest(const SgResult &r, unsigned char asc) {
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.hdr.status, 0x02);
    EXPECT_EQ(r.hdr.masked_status, 0x01);
    EXPECT_EQ(r.hdr.info & SG_INFO_OK_MASK, SG_INFO_CHECK);
    ASSERT_EQ(r.hdr.sb_len_wr, 18);
    EXPECT_EQ(r.sense[0], 0x70);
    EXPECT_EQ(r.sense[2] & 0x0F, 0x05);
    EXPECT_EQ(r.sense[7], 10);
    EXPECT_EQ(r.sense[12], asc);
    EXPECT_EQ(r.sense[13], 0x00);
}

}  // namespace

TEST(SimScsi, StandardInquiryCarriesTheArraysIdentity) {
    Simulator sim(kHost);
    SgResult r = sg("/dev/sdb", kStandardInquiry, 96);
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.hdr.info & SG_INFO_OK_MASK, SG_INFO_OK);
    EXPECT_EQ(r.hdr.resid, 0);
    EXPECT_EQ(r.data[0], 0x00);
    EXPECT_EQ(r.data[4], 91);
    EXPECT_EQ(text(r.data, 8, 8), "KORVALE ");
    EXPECT_EQ(text(r.data, 16, 16), "WX900           ");
    EXPECT_EQ(text(r.data, 32, 4), "0107");
    // A short allocation is cut; a longer buffer shows the rest as resid.
    r = sg("/dev/sdd", inquiry(0, 36, false), 200);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.hdr.resid, 200 - 36);
    EXPECT_EQ(text(r.data, 16, 5), "WX800");
}

TEST(SimScsi, VpdPagesFollowTheArray) {
    Simulator sim(kHost);
    SgResult list = sg("/dev/sdb", inquiry(0x00, 255), 255);
    ASSERT_EQ(list.rc, 0);
    EXPECT_EQ(list.data[1], 0x00);
    ASSERT_EQ(Be(list.data, 2, 2), 3u);
    EXPECT_EQ(list.data[4], 0x00);
    EXPECT_EQ(list.data[5], 0xF0);
    EXPECT_EQ(list.data[6], 0xF2);
    // The probe for the list length reads 4 bytes only.
    SgResult probe = sg("/dev/sdb", inquiry(0x00, 4), 4);
    EXPECT_EQ(probe.data[3], 3);

    SgResult f0 = sg("/dev/sdb", inquiry(0xF0, 64), 64);
    ASSERT_EQ(f0.rc, 0);
    EXPECT_EQ(f0.data[1], 0xF0);
    EXPECT_EQ(Be(f0.data, 2, 2), 60u);
    EXPECT_EQ(f0.data[26], 0x28);

    SgResult f2 = sg("/dev/sdb", inquiry(0xF2, 96), 96);
    ASSERT_EQ(f2.rc, 0);
    EXPECT_EQ(Be(f2.data, 2, 2), 92u);
    EXPECT_EQ(text(f2.data, 48, 40), "BOX-A1" + std::string(34, ' '));
    EXPECT_EQ(f2.data[88], 1);  // the array's role
    EXPECT_EQ(f2.data[89], 3);
    EXPECT_EQ(sg("/dev/sdc", inquiry(0xF2, 96), 96).data[88], 2);  // the volume's own role

    // The older array lists page 0x00 only and refuses the vendor pages.
    SgResult old = sg("/dev/sdd", inquiry(0x00, 255), 255);
    EXPECT_EQ(Be(old.data, 2, 2), 1u);
    expectIllegalRequest(sg("/dev/sdd", inquiry(0xF0, 64), 64), 0x24);
}

TEST(SimScsi, CapacityBufferAndLuPageComeFromTheVolume) {
    Simulator sim(kHost);
    SgResult rc10 = sg("/dev/sdb", kReadCapacity10, 8);
    ASSERT_EQ(rc10.rc, 0);
    EXPECT_EQ(Be(rc10.data, 0, 4), 4194303u);
    EXPECT_EQ(Be(rc10.data, 4, 4), 512u);
    // A volume beyond 32 bits of blocks: READ CAPACITY(10) saturates, (16) tells.
    EXPECT_EQ(Be(sg("/dev/sdc", kReadCapacity10, 8).data, 0, 4), 0xFFFFFFFFu);
    SgResult rc16 = sg("/dev/sdc", kReadCapacity16, 32);
    ASSERT_EQ(rc16.rc, 0);
    EXPECT_EQ(Be(rc16.data, 0, 8), 0xFFFFFFFFull);
    EXPECT_EQ(Be(rc16.data, 8, 4), 512u);

    SgResult buffer = sg("/dev/sdd", {0x3C, 0x02, 0x10, 0, 0, 0, 0, 0, 40, 0}, 40);
    ASSERT_EQ(buffer.rc, 0);
    EXPECT_EQ(text(buffer.data, 0, 40), "BOX-B1" + std::string(34, ' '));

    SgResult lun = sg("/dev/sdb", {0x1A, 0x08, 0x30, 0, 148, 0}, 148);
    ASSERT_EQ(lun.rc, 0);
    EXPECT_EQ(lun.data[0], 147);
    EXPECT_EQ(lun.data[4], 0x30);
    EXPECT_EQ(Be(lun.data, 4 + 8, 2), 5u);
    EXPECT_EQ(lun.data[4 + 11], 2);

    SgResult tur = sg("/dev/sdb", kTestUnitReady, 0, SG_DXFER_NONE);
    ASSERT_EQ(tur.rc, 0);
    EXPECT_EQ(tur.hdr.status, 0);
    EXPECT_EQ(tur.hdr.info & SG_INFO_OK_MASK, SG_INFO_OK);
}

TEST(SimScsi, RefusedCommandsEndInIllegalRequest) {
    Simulator sim(kHost);
    struct Case {
        const char *what;
        Bytes cdb;
        unsigned char asc;
    } cases[] = {
        {"unknown opcode", {0xE7, 0x01, 0, 0, 0, 0, 0, 0, 0x10, 0}, 0x20},
        {"other vendor opcode", {0xF5, 0x01, 0x00, 0, 0, 0, 0, 0, 40, 0}, 0x20},
        {"unlisted VPD page", inquiry(0x83, 64), 0x24},
        {"page without EVPD", inquiry(0xF0, 64, false), 0x24},
        {"CmdDt", {0x12, 0x02, 0, 0, 96, 0}, 0x24},
        {"other mode page", {0x1A, 0x08, 0x08, 0, 148, 0}, 0x24},
        {"other buffer", {0x3C, 0x02, 0x11, 0, 0, 0, 0, 0, 40, 0}, 0x24},
        {"other service action", {0x9E, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}, 0x24},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SgResult r = sg("/dev/sdb", c.cdb, 64);
        expectIllegalRequest(r, c.asc);
        EXPECT_EQ(r.hdr.resid, 64);
    }
    // The sense is cut to the caller's buffer size.
    SgResult small = sg("/dev/sdb", {0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, SG_DXFER_TO_DEV, 8);
    EXPECT_EQ(small.hdr.sb_len_wr, 8);
    EXPECT_EQ(small.sense[8], 0);
}

TEST(SimScsi, PatchedBytesAndPagesAreAnswered) {
    Simulator sim(R"(
array A1 boxid="BOX\x41" product=QM100 family=qm zrk=no
volume A1 1 100
bytes A1 0xF0 23 40
bytes A1 0xC1 4 "01 02 03"
bytes A1 inquiry 96 ff
disk /dev/sdb 8:16 A1 1
)");
    SgResult f0 = sg("/dev/sdb", inquiry(0xF0, 64), 64);
    EXPECT_EQ(f0.data[23], 0x40);
    EXPECT_EQ(f0.data[26], 0x20);
    SgResult list = sg("/dev/sdb", inquiry(0x00, 16), 16);
    ASSERT_EQ(Be(list.data, 2, 2), 4u);
    EXPECT_EQ(list.data[5], 0xC1);  // in ascending order
    SgResult c1 = sg("/dev/sdb", inquiry(0xC1, 16), 16);
    EXPECT_EQ(Be(c1.data, 2, 2), 3u);
    EXPECT_EQ(c1.data[6], 0x03);
    SgResult std = sg("/dev/sdb", inquiry(0, 255, false), 255);
    EXPECT_EQ(std.data[4], 92);
    EXPECT_EQ(std.data[96], 0xFF);
    EXPECT_EQ(text(sg("/dev/sdb", inquiry(0xF2, 96), 96).data, 48, 4), "BOXA");
}
