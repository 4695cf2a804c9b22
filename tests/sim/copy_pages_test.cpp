// The TRAVO IN pages as the array lays them out, checked byte for byte against
// CDBs built by hand.
#include "travo_helpers.h"

#include <gtest/gtest.h>

using namespace simtest;
using zrksim::Simulator;

namespace {

// A1 and B1 form a storage cluster (every copy command carries 0x20); A1
// holds a local VZ session with an extent above 32 bits, a remote one to B1,
// KZP-family sessions and the cluster's failover session.
const char *const kCopyHost = R"(
clock 1700000000
array A1 boxid="BOX-A1" partner=B1 role=1 group=3 rvzpages=0x07 maxsessions=8,300,4,200 percommand=32 generations=4
volume A1 5 2097152 olustatus=3
volume A1 6 2097152
volume A1 8 2097152
array B1 boxid="BOX-B1" role=2 group=3
volume B1 9 2097152
disk /dev/sdb 8:16 A1 5
disk /dev/sdc 8:32 B1 9
session 3 vz A1 5 A1 6 srcext=0x100000000 size=2048 dstext=4096 status=suspend phase=equivalent copied=0x100000001 mode=sync,manual transfer=3
session 5 vz A1 8 A1 6 volrole=2 status=active phase=copying
session 7 rvz A1 6 B1 9 partner=12 status=active phase=copying copied=500 mode=split transfer=2 modechange=1
session 4 quickkzp A1 5 A1 8 phase=tracking copied=7
session 9 snapkzp+ A1 5 A1 8
session 10 snapkzp+ A1 5 A1 8
session 11 snapkzp+ A1 5 A1 8 srcext=4096 size=4096
session 20 failover A1 5 B1 9 partner=21
rvzbuffer A1 1 type=1 remote=B1 interval=30 monitor=600 cms=0x10,0x11 rlus=7 disksize=4096 diskused=1024
rvzbuffer A1 2 type=2 cms=0x20
)";

const std::string kTime = "2023111422132000";  // 1700000000 in BCD, UTC

Bytes readIn(const std::string &path, const Bytes &cdb, unsigned alloc) {
    SgResult r = sg(path, cdb, alloc);
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.hdr.status, 0) << "asc " << int(r.sense[12]);
    return delivered(r);
}

Bytes shortIn(unsigned char page, unsigned id, unsigned alloc, const std::string &path = "/dev/sdb",
              unsigned char mode = 1, unsigned char byte3 = 0) {
    return readIn(path, travoInShort(page, id, alloc, mode | kFo, byte3), alloc);
}

Bytes largeIn(unsigned char page, unsigned id, unsigned alloc, const std::string &path = "/dev/sdb",
              unsigned char mode = 1) {
    return readIn(path, travoInLarge(page, id, alloc, mode | kFo), alloc);
}

}  // namespace

TEST(SimCopyPages, SupportDataAndReserve) {
    Simulator sim(kCopyHost);
    EXPECT_EQ(zrksim::toHex(shortIn(0x00, 0, 40)),
              "00000000" "00000020"          // page 0x00, 32 bytes follow
              "000000000f0020f1"             // KZP: byte 4, failover, group byte
              "00000000000000f1"             // remote KZP
              "00000000004b20f1"             // VZ
              "00000000" "00ff30f1");        // RVZ: byte 30 stack timer and failover

    // Mode 2 reserves the lowest free identifier; the large form, as byte 23
    // announces it.
    EXPECT_EQ(zrksim::toHex(largeIn(0x00, 1, 16, "/dev/sdb", 2)), "00000000" "00000008" "0001" + zeros(6));
    EXPECT_EQ(zrksim::toHex(largeIn(0x00, 1, 16, "/dev/sdb", 4)), "00000000" "00000008" "0002" + zeros(6));
    auto lines = sim.sessions("A1");
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "session 1 vz A1 0 A1 0 partner=0 srcext=0 size=0 dstext=0 status=1 phase=0 copied=0 "
                        "mode=none transfer=0 secondary=0 modechange=0 interval=0 start=1700000000 volrole=1 "
                        "generation=0 vvol=no diff=0 stacktimer=0 tracking=yes vvoldelete=no"),
              lines.end());
}

TEST(SimCopyPages, QmSupportPage) {
    Simulator sim(R"(
array Q1 boxid="BOX-Q1" family=qm qmsupport="0102030405060708"
volume Q1 1 100
disk /dev/sdb 8:16 Q1 1
)");
    EXPECT_EQ(zrksim::toHex(readIn("/dev/sdb", travoInShort(0x02, 0, 16, 1, 0, 0xEE), 16)),
              "02000000" "00000008" "0102030405060708");
    EXPECT_EQ(zrksim::toHex(readIn("/dev/sdb", travoInShort(0x00, 0, 40, 1, 0, 0xEE), 40)),
              "00000000" "00000020" + zeros(16) + "0000000000010001" "0000000000010001");
    SgResult inquiry = sg("/dev/sdb", kStandardInquiry, 96);
    EXPECT_EQ(text(inquiry.data, 16, 6), "QM100 ");
}

TEST(SimCopyPages, IdentifierListsInBothWidths) {
    Simulator sim(kCopyHost);
    // Local VZ: 8-byte entries (status low nibble, phase high nibble, role),
    // the four maxima first; the large form gives a 32-bit length.
    EXPECT_EQ(zrksim::toHex(largeIn(0x09, 0, 1000)),
              "09000000" + u32(8 + 16) + "0008" "012c" "0004" "00c8" +
                  "0003" "24" "01" "0005" "0006" +   // session 3: suspend, equivalent
                  "0005" "12" "02" "0008" "0006");   // session 5: volume role 2 as it stands
    // All VZ sessions, 16-byte entries; session 7 seen from its source side.
    EXPECT_EQ(zrksim::toHex(largeIn(0x19, 0, 1000)),
              "19000000" + u32(8 + 48) + "0008012c000400c8" +
                  "0003" "05" "01" "04" "02" "0000" + u32(5) + u32(6) +
                  "0005" "80" "02" "02" "01" "0000" + u32(8) + u32(6) +
                  "0007" "a2" "01" "02" "01" "0000" + u32(6) + u32(9));
    // ... and from the destination array: its own identifier, the
    // destination-side bit.
    EXPECT_EQ(hexAt(largeIn(0x19, 0, 1000, "/dev/sdc"), 4, 28),
              u32(8 + 16) + "0010040000100400" + "000c" "b2" "01" "02" "01" "0000" + u32(6) + u32(9));
    // The local KZP family: QuickKZP and the SnapKZP+ generations.
    EXPECT_EQ(hexAt(largeIn(0x05, 0, 1000), 4, 4 + 8 + 4 * 8),
              u32(8 + 32) + "0008012c000400c8" + "0004" "32" "01" "0005" "0008" + "0009" "32" "01" "0005" "0008" +
                  "000a" "32" "01" "0005" "0008" + "000b" "32" "01" "0005" "0008");
    // An allocation shorter than the list cuts the reply, not the length field.
    Bytes cut = largeIn(0x19, 0, 20);
    ASSERT_EQ(cut.size(), 20u);
    EXPECT_EQ(hexAt(cut, 4, 4), u32(8 + 48));
}

TEST(SimCopyPages, PagedDetailRecord) {
    Simulator sim(kCopyHost);
    EXPECT_EQ(zrksim::toHex(largeIn(0x44, 3, 192)),
              "44000000" + u32(184) +
                  "0003" "0000" "02" "000000" "00000000" +    // 0-11 identifiers, copy kind
                  "00" "00" "05" "03" "00" "01" "02" "04" +   // 12-19 flags, mode, transfer, role, phase, status
                  "00000000" + BoxIdHex("BOX-A1") + zeros(8) + BoxIdHex("BOX-A1") + zeros(8) +
                  u32(5) + u32(6) + "0001" + zeros(6) +       // 120-135 OLUs, extent count
                  u64(0x100000001) + kTime +                  // 136-151 copied, start time
                  u64(0x100000000) + u64(2048) + u64(4096) + zeros(8));
    // The remote session from the destination array: its own identifier
    // addresses it, the record keeps both.
    Bytes remote = largeIn(0x44, 12, 192, "/dev/sdc");
    EXPECT_EQ(hexAt(remote, 8, 20), "0007" "000c" "02" "000000" "00000000" "a0" "00" "12" "02" "01" "01" "01" "02");
    EXPECT_EQ(hexAt(remote, 8 + 72, 40), BoxIdHex("BOX-B1"));
    // An identifier without a session: a zero record.
    EXPECT_EQ(zrksim::toHex(largeIn(0x44, 99, 192)), "44000000" + u32(184) + zeros(184));
}

TEST(SimCopyPages, ClassicDetailRecords) {
    Simulator sim(kCopyHost);
    // Local VZ record, page 0x08.
    EXPECT_EQ(zrksim::toHex(shortIn(0x08, 3, 48)),
              "08000000" "00000028" "0003" "24" "00" "00000000" "00000001" "01" "01" "0000" "0000" "0005" "0000" "0006"
              "00000000" "00000800" "00001000" "00000000");
    // Local KZP record, page 0x04: QuickKZP bit, phase in byte 18.
    EXPECT_EQ(zrksim::toHex(shortIn(0x04, 4, 48)),
              "04000000" "00000028" "0004" "a2" "00" "00000000" "00000007" "01" "00" "0005" "0008" "03" "0000" "00" "0000" +
                  zeros(16));
    // Remote VZ record, page 0x1A.
    EXPECT_EQ(zrksim::toHex(shortIn(0x1A, 7, 160)),
              "1a000000" "00000098" "0007" "000c" "a2" "01" "02" "00" "02" "01" "0000" "000001f4" "01" + zeros(7) +
                  BoxIdHex("BOX-A1") + zeros(8) + BoxIdHex("BOX-B1") + zeros(8) + u32(6) + u32(9) + "0000" + zeros(22));
    // KZP-family record, page 0x16: the mode byte carries phase and QuickKZP.
    Bytes kzp = shortIn(0x16, 4, 160);
    EXPECT_EQ(hexAt(kzp, 8, 20), "0004" "0000" "80" "23" "02" "00" "00000000" "00000007" "01" "000000");
    // A session of the other family, or a remote one on a local page: zero.
    EXPECT_EQ(hexAt(shortIn(0x16, 3, 160), 8, 152), zeros(152));
    EXPECT_EQ(hexAt(shortIn(0x08, 7, 48), 8, 40), zeros(40));
}

TEST(SimCopyPages, DetailListEntryAndSelections) {
    Simulator sim(kCopyHost);
    // The destination array lists the remote session; its failover session
    // only under the failover selection.
    Bytes page = shortIn(0x43, 0, 40976, "/dev/sdc");
    EXPECT_EQ(zrksim::toHex(page),
              std::string("43000000" "000000a8" "0000" "0001" "0000" "0000") +
                  "0007" "000c" "02" "a0" "12" "02" "01" "02" "01" "00" "00000000" +   // 0-15
                  BoxIdHex("BOX-A1") + BoxIdHex("BOX-B1") + u32(6) + u32(9) + "0000" "0000" +    // 16-107
                  u64(500) + zeros(24) + zeros(12) + kTime);                          // 108-159
    Bytes failover = shortIn(0x43, 0, 40976, "/dev/sdc", 1, 0x40);
    EXPECT_EQ(hexAt(failover, 10, 4 + 12), "0001" "0000" "0000" "0014" "0015" "02" "a0" "10" "00" "02" "02");
    // The source array: its sessions in identifier order, failover left out.
    Bytes all = shortIn(0x43, 0, 40976);
    ASSERT_EQ(Be(all, 10, 2), 7u);
    std::vector<unsigned> ids;
    for (std::size_t i = 0; i < 7; ++i) ids.push_back(static_cast<unsigned>(Be(all, 16 + 160 * i, 2)));
    EXPECT_EQ(ids, (std::vector<unsigned>{3, 4, 5, 7, 9, 10, 11}));
    // A reserved identifier shows only under 0x80.
    largeIn(0x00, 1, 16, "/dev/sdb", 2);
    EXPECT_EQ(Be(shortIn(0x43, 0, 40976), 10, 2), 7u);
    Bytes withReserved = shortIn(0x43, 0, 40976, "/dev/sdb", 1, 0x80);
    EXPECT_EQ(Be(withReserved, 10, 2), 8u);
    EXPECT_EQ(hexAt(withReserved, 16, 10), "0001" "0000" "02" "80" "00" "00" "00" "01");
    // A start identifier in the middle lists from there.
    Bytes fromFive = shortIn(0x43, 5, 40976);
    EXPECT_EQ(Be(fromFive, 10, 2), 5u);
    EXPECT_EQ(Be(fromFive, 16, 2), 5u);
}

TEST(SimCopyPages, GenerationsOfAnOlu) {
    Simulator sim(kCopyHost);
    // The probe: block counts and the maximum generation count only.
    EXPECT_EQ(zrksim::toHex(largeIn(0x45, 5, 32)), "45000000" + u32(24) + "0000" "0002" "0000" "0004" + zeros(16));
    // Room for both blocks of 32 + 2 x 4 bytes: the whole volume first, the
    // generations oldest first.
    EXPECT_EQ(zrksim::toHex(largeIn(0x45, 5, 112)),
              "45000000" + u32(104) + "0000" "0002" "0002" "0004" + zeros(16) +
                  "0002" "0000" + u64(0) + u64(0) + zeros(12) + "0009" "000a" "0000" "0000" +
                  "0001" "0000" + u64(4096) + u64(4096) + zeros(12) + "000b" "0000" "0000" "0000");
    // Room for one block: the reply says so.
    EXPECT_EQ(hexAt(largeIn(0x45, 5, 72), 10, 4), "0002" "0001");
    // An OLU without generations, and one the array lacks.
    EXPECT_EQ(hexAt(largeIn(0x45, 6, 72), 10, 4), "0000" "0000");
    expectRefused(sg("/dev/sdb", travoInLarge(0x45, 77, 72, 1 | kFo), 72), 0x25);
}

TEST(SimCopyPages, OluStatusCountsAndRemotes) {
    Simulator sim(kCopyHost);
    // A snap data volume (olustatus 3) of failover group 3, primary: its
    // sizes are the volume's own while no snapshot saves into it.
    EXPECT_EQ(zrksim::toHex(largeIn(0x31, 5, 64)), "31000000" + u32(56) + "0005" "00" "03" "03" "80" "0000" +
                                                       u64(2097152) + u64(2097152) + zeros(32));
    expectRefused(sg("/dev/sdb", travoInLarge(0x31, 77, 64, 1 | kFo), 64), 0x25);
    // The per-command maximum, then the VZ-family sessions: identifier,
    // status, state byte, value.
    EXPECT_EQ(zrksim::toHex(largeIn(0x40, 0, 16)), "40000000" + u32(32) + "0000" "0020" "00000000");
    EXPECT_EQ(hexAt(largeIn(0x40, 0, 48), 16, 24),
              "0003" "04" "00" "00000000" "0005" "02" "00" "00000000" "0007" "02" "00" "00000000");
    EXPECT_EQ(zrksim::toHex(shortIn(0x20, 0, 3088)),
              "20000000" "00000038" "01" + zeros(7) + BoxIdHex("BOX-B1") + zeros(8));
}

TEST(SimCopyPages, RvzBufferPages) {
    Simulator sim(kCopyHost);
    // Entries: identifier, state (1 with a remote array), module count, type,
    // interval, monitoring time, size, the remote BoxID.
    EXPECT_EQ(zrksim::toHex(shortIn(0x21, 0, 528)),
              std::string("21000000" "00000088" "0008" "0002" "000000" "07") +
                  "00" "01" "01" "00" "0002" "0000" "0001" "001e" "00000258" "00000000" + zeros(4) +
                  BoxIdHex("BOX-B1") +
                  "00" "02" "00" "00" "0001" "0000" "0002" "0000" "00000000" "00000000" + zeros(4) + zeros(40));
    // One buffer's detail (the buffer-identifier form): identifier, the
    // sessions using it (session 7 to B1), module count, size, used, free,
    // then the modules with their shares.
    Bytes detail = readIn("/dev/sdb", {0xEB, 0x01 | kFo, 0x23, 0x00, 0x00, 0x01, 0x00, 0x04, 0x28, 0}, 1064);
    ASSERT_EQ(detail.size(), 1064u);
    EXPECT_EQ(hexAt(detail, 0, 104), "23000000" + u32(1056) + "00" "01" "0001" "0000" "0002" + zeros(24) +
                                         "0010" + zeros(30) + "0011" + zeros(30));
    EXPECT_EQ(hexAt(detail, 104, 960), zeros(960));
    // Disk buffers in the long form (rvzpages 0x04): 1120-byte records, one
    // for each buffer that has a disk buffer.
    Bytes usage = largeIn(0x24, 0, 8976);
    ASSERT_EQ(usage.size(), 8976u);
    EXPECT_EQ(hexAt(usage, 8, 4), "0000" "0001");
    EXPECT_EQ(hexAt(usage, 16, 96), "01" "01" + zeros(14) + "01" + zeros(3) + "0007" + zeros(42) + "0002" +
                                         zeros(6) + u64(4096) + u64(1024) + u64(3072));
    EXPECT_EQ(hexAt(usage, 16 + 96, 64), "0010" + zeros(6) + u64(2048) + u64(512) + u64(1536) + "0011" + zeros(6) +
                                             u64(2048) + u64(512) + u64(1536));
    EXPECT_EQ(hexAt(usage, 1136, 1), "00");
    // A buffer the array lacks.
    expectRefused(sg("/dev/sdb", {0xEB, 0x01 | kFo, 0x23, 0x00, 0x00, 0x05, 0x00, 0x04, 0x28, 0}, 1064), 0x24);
}
