// Storage-cluster failover against the simulator: the role that CheckProduct
// reads and its change under a held volume, the failover session of a volume,
// the swap of the cached BoxID on a secondary, and the record searches of the
// RVZ buffer page, also over hostile replies.
#include "inband_support.h"
#include "zrkcmd.h"
#include "zrkcmulti.h"
#include "zrklvmain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kSecondaryDisk[] = "/dev/sdb"; // volume 7 of S
constexpr char kOtherDisk[] = "/dev/sdc";     // volume 8 of S
constexpr char kPrimaryDisk[] = "/dev/sdd";   // volume 5 of P

// P and S form a storage cluster; session 2 mirrors P:5 onto S:7, session 1
// P:7 onto S:8 (the same OLU number on the other array).
constexpr char kCluster[] = R"(
array P boxid="BOX-P" partner=S role=1
array S boxid="BOX-S" partner=P
volume P 5 2097152
volume P 7 2097152
volume S 7 2097152
volume S 8 2097152
disk /dev/sdb 8:16 S 7
disk /dev/sdc 8:32 S 8
disk /dev/sdd 8:48 P 5
session 1 failover P 7 S 8
session 2 failover P 5 S 7
)";

std::string HeldVolume() { return std::string(ZRKstorage_clustervol); }

class Failover : public InbandTest {
protected:
    Failover() : InbandTest(kCluster) {}

    void SetUp() override {
        InbandTest::SetUp();
        HoldFailoverSupport();
    }

    // The start of an operation on a volume: identification and support data.
    int Check(const char *volume) {
        NewCall();
        if (CheckProduct(volume) != 0) return -1;
        return GetSupportCopyInfo(volume, nullptr, nullptr);
    }
};

TEST_F(Failover, RoleOfTheCheckedVolume) {
    sim.setRole("S", 2, 3);
    ASSERT_EQ(Check(kSecondaryDisk), 0) << ZRKerrno;
    EXPECT_EQ(ZRKstorage_cluster, 2);
    EXPECT_EQ(ZRKstorage_clustergroup, 3);
    EXPECT_EQ(HeldVolume(), kSecondaryDisk);

    // Another volume with another role, then the first again: no change of
    // the held volume's own role, so no error.
    ASSERT_EQ(Check(kPrimaryDisk), 0) << ZRKerrno;
    EXPECT_EQ(ZRKstorage_cluster, 1);
    EXPECT_EQ(HeldVolume(), kPrimaryDisk);
    ASSERT_EQ(Check(kSecondaryDisk), 0) << ZRKerrno;
    EXPECT_EQ(ZRKstorage_cluster, 2);

    // Role 0 clears role and group but holds the volume.
    sim.setRole("S", 0, 0);
    ASSERT_EQ(Check(kOtherDisk), 0) << ZRKerrno;
    EXPECT_EQ(ZRKstorage_cluster, 0);
    EXPECT_EQ(ZRKstorage_clustergroup, 0);
    EXPECT_EQ(HeldVolume(), kOtherDisk);
}

TEST_F(Failover, RoleChangeOfTheHeldVolumeIsRefusedOnce) {
    ASSERT_EQ(Check(kPrimaryDisk), 0) << ZRKerrno;
    ASSERT_EQ(ZRKstorage_cluster, 1);
    sim.setRole("P", 2, 1);
    NewCall();
    EXPECT_EQ(CheckProduct(kPrimaryDisk), -1);
    EXPECT_EQ(ZRKerrno, 104);
    EXPECT_EQ(ZRKstorage_cluster, 0);
    EXPECT_EQ(ZRKstorage_clustergroup, 0);
    EXPECT_EQ(HeldVolume(), "");
    // The next check takes the new role.
    ASSERT_EQ(Check(kPrimaryDisk), 0) << ZRKerrno;
    EXPECT_EQ(ZRKstorage_cluster, 2);
    EXPECT_EQ(HeldVolume(), kPrimaryDisk);
}

TEST_F(Failover, DeviceWithoutBoxInformationKeepsTheRole) {
    sim.load(std::string(kCluster) + "array Q boxid=\"BOX-Q\" boxinfo=no\n"
                                     "volume Q 1 2097152\n"
                                     "disk /dev/sde 8:64 Q 1\n");
    sim.setRole("S", 2, 4);
    ASSERT_EQ(Check(kSecondaryDisk), 0) << ZRKerrno;
    NewCall();
    ASSERT_EQ(CheckProduct("/dev/sde"), 0) << ZRKerrno;
    EXPECT_EQ(ZRKstorage_cluster, 2);
    EXPECT_EQ(ZRKstorage_clustergroup, 4);
    EXPECT_EQ(HeldVolume(), kSecondaryDisk);
}

TEST_F(Failover, SwapToThePrimaryOnceTheVolumeBecomesSecondary) {
    // Not in a cluster yet: nothing is read, the cache stays.
    ASSERT_EQ(Check(kSecondaryDisk), 0) << ZRKerrno;
    ASSERT_EQ(ZRKstorage_cluster, 0);
    CacheBoxId("BOX-S");
    ConvertCheckflg = 0;
    sim.clearLog();
    ASSERT_EQ(ConvertPrimaryBoxID(kSecondaryDisk, nullptr, nullptr), 0) << ZRKerrno;
    EXPECT_TRUE(sim.cdbLog().empty());
    EXPECT_EQ(CachedBoxId(), BoxId("BOX-S"));

    // The array now serves the volume as the secondary.
    sim.setRole("S", 2, 1);
    ASSERT_EQ(Check(kSecondaryDisk), 0) << ZRKerrno;
    ASSERT_EQ(ZRKstorage_cluster, 2);
    CacheBoxId("BOX-S");
    ZRKOptionFlag = 0x1234;
    sim.clearLog();
    ASSERT_EQ(ConvertPrimaryBoxID(kSecondaryDisk, nullptr, nullptr), 0) << ZRKerrno;
    EXPECT_EQ(CachedBoxId(), BoxId("BOX-P"));
    EXPECT_EQ(ZRKOptionFlag, 0x1234u);
    const auto log = sim.cdbLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(zrksim::toHex(log[0].cdb), "1a0830009400");
    // The failover selection, marked for a secondary volume.
    EXPECT_EQ(zrksim::toHex(log[1].cdb), "eb6143c0000000a01000");
}

TEST_F(Failover, SwapOnlyWhenBothBoxIdsMatch) {
    sim.setRole("S", 2, 1);
    ASSERT_EQ(Check(kSecondaryDisk), 0) << ZRKerrno;
    const std::string p = BoxId("BOX-P"), s = BoxId("BOX-S");
    const auto *bp = reinterpret_cast<const unsigned char *>(p.data());
    const auto *bs = reinterpret_cast<const unsigned char *>(s.data());
    // The own BoxID is cached; only a pair naming one side both times moves it.
    struct Case {
        const char *what;
        const unsigned char *a, *b;
        const char *cached;
    };
    // clang-format off
    const Case cases[] = {
        {"both the source", bp, bp, "BOX-P"},
        {"both the destination", bs, bs, "BOX-S"},
        {"one of each", bp, bs, "BOX-S"},
        {"only one given", bp, nullptr, "BOX-S"},
    };
    // clang-format on
    ConvertCheckflg = 2;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        CacheBoxId("BOX-S");
        EXPECT_EQ(ConvertPrimaryBoxID(kSecondaryDisk, c.a, c.b), 0) << ZRKerrno;
        EXPECT_EQ(CachedBoxId(), BoxId(c.cached));
    }

    ConvertCheckflg = 1;
    NewCall();
    sim.clearLog();
    CacheBoxId("BOX-S");
    EXPECT_EQ(ConvertPrimaryBoxID(kSecondaryDisk, nullptr, nullptr), 0);
    EXPECT_TRUE(sim.cdbLog().empty());
    EXPECT_EQ(CachedBoxId(), BoxId("BOX-S"));
}

TEST_F(Failover, SessionOfAVolumeMatchesOluAndBoxIdTogether) {
    sim.setRole("S", 2, 1);
    ASSERT_EQ(Check(kSecondaryDisk), 0) << ZRKerrno;
    const std::string s = BoxId("BOX-S");
    const unsigned char olu7[2] = {0x00, 0x07};
    unsigned char entry[ZRK_DETAIL_LIST_ENTRY_LEN] = {};
    ASSERT_EQ(GetTfoSession(kSecondaryDisk, olu7,
                            reinterpret_cast<const unsigned char *>(s.data()), entry),
              0)
        << ZRKerrno;
    // Session 2 (P:5 onto S:7), not session 1 whose source OLU is 7 on P.
    EXPECT_EQ(std::string(reinterpret_cast<char *>(entry + 16), ZRK_BOXID_LEN), BoxId("BOX-P"));
    EXPECT_EQ(entry[99], 5);
    EXPECT_EQ(entry[103], 7);

    const unsigned char olu9[2] = {0x00, 0x09};
    ZRKOptionFlag = 0x4321;
    EXPECT_EQ(GetTfoSession(kSecondaryDisk, olu9,
                            reinterpret_cast<const unsigned char *>(s.data()), entry),
              -1);
    EXPECT_EQ(ZRKerrno, 100);
    EXPECT_EQ(ZRKOptionFlag, 0x4321u);
}

TEST_F(Failover, HostileDetailListsEndTheSearch) {
    sim.setRole("S", 2, 1);
    ASSERT_EQ(Check(kSecondaryDisk), 0) << ZRKerrno;
    const std::string s = BoxId("BOX-S");
    const auto *bs = reinterpret_cast<const unsigned char *>(s.data());
    const unsigned char olu9[2] = {0x00, 0x09};
    unsigned char entry[ZRK_DETAIL_LIST_ENTRY_LEN];

    // Every page names identifier 1 as the next start.
    sim.corrupt(0x43, 12, "0001", 1000);
    NewCall();
    sim.clearLog();
    EXPECT_EQ(GetTfoSession(kSecondaryDisk, olu9, bs, entry), -1);
    EXPECT_NE(ZRKerrno, 0);
    EXPECT_LE(sim.cdbLog().size(), 2u) << "the paging ends where it stops moving on";
    sim.clearFaults();

    // A page that claims more entries than it can hold.
    sim.corrupt(0x43, 10, "ffff");
    NewCall();
    EXPECT_EQ(GetTfoSession(kSecondaryDisk, olu9, bs, entry), -1);
}

// Page 0x24 in its long form: records of 1120 bytes, CM records inside.
constexpr char kBuffers[] = R"(
array A1 boxid="BOX-A1" rvzpages=0x07
array B1 boxid="BOX-B1"
volume A1 5 2097152
disk /dev/sdb 8:16 A1 5
rvzbuffer A1 3 remote=B1 cms=0x0010,0x0011 rlus=1
rvzbuffer A1 9 remote=B1 cms=0x0020 rlus=2
)";

class Buffers : public InbandTest {
protected:
    Buffers() : InbandTest(kBuffers, Catalogue::kShipped) {}

    std::vector<unsigned char> page = std::vector<unsigned char>(8976);

    void SetUp() override {
        InbandTest::SetUp();
        ASSERT_EQ(CheckProduct("/dev/sdb"), 0) << ZRKerrno;
        ASSERT_EQ(GetSupportCopyInfo("/dev/sdb", nullptr, nullptr), 0) << ZRKerrno;
    }
    int ReadPage() {
        return ExecTravoIn("/dev/sdb", 0x01, 0x24, nullptr, page.data(),
                           static_cast<int>(page.size()));
    }
};

TEST_F(Buffers, FindBufferAndModuleRecords) {
    ASSERT_EQ(ReadPage(), 0) << ZRKerrno;
    unsigned char record[ZRK_BUFF24_RECORD_LEN];
    ASSERT_EQ(SearchBuffInfo24_Ex(page.data(), page.size(), 9, record), 0);
    EXPECT_EQ(record[0], 9);
    unsigned char cm[ZRK_CM24_RECORD_LEN];
    const unsigned char id20[2] = {0x00, 0x20};
    ASSERT_EQ(SearchCmInfo24_Ex(record, sizeof record, id20, cm), 0);
    EXPECT_EQ(cm[1], 0x20);
    const unsigned char id10[2] = {0x00, 0x10};
    EXPECT_EQ(SearchCmInfo24_Ex(record, sizeof record, id10, cm), -1) << "buffer 3's module";
    EXPECT_EQ(SearchBuffInfo24_Ex(page.data(), page.size(), 4, record), -1);
}

TEST_F(Buffers, HostileCountsStayInsideTheReply) {
    sim.corrupt(0x24, 10, "ffff");
    ASSERT_EQ(ReadPage(), 0) << ZRKerrno;
    unsigned char record[ZRK_BUFF24_RECORD_LEN];
    EXPECT_EQ(SearchBuffInfo24_Ex(page.data(), page.size(), 200, record), -1);
    EXPECT_EQ(SearchBuffInfo24_Ex(page.data(), 100, 3, record), -1) << "reply cut short";

    // The first record claims 0xFFFF modules.
    sim.corrupt(0x24, 16 + 64, "ffff");
    ASSERT_EQ(ReadPage(), 0) << ZRKerrno;
    ASSERT_EQ(SearchBuffInfo24_Ex(page.data(), page.size(), 3, record), 0);
    unsigned char cm[ZRK_CM24_RECORD_LEN];
    const unsigned char none[2] = {0x7F, 0x7F};
    EXPECT_EQ(SearchCmInfo24_Ex(record, sizeof record, none, cm), -1);
}

}  // namespace
