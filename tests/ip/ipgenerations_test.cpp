// SnapKZP+ over the LAN against the simulator's LAN front: the generations
// of a source extent as a SnapDetailList (slot by slot, oldest first, the
// commands that the array received, the room of the array's maximum), the
// pool sizes of a restore (free capacity at 8, what the restore takes at
// 16), the snap data pool, and the refusals of each before and after the
// array is asked.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "../../ip/ipframe.h"
#include "../../ip/ipshow_generations.h"
#include "child.h"
#include "ipaction_service.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "sim_client.h"
#include "zrkapi.h"
#include "zrktvc.h"

namespace {

constexpr const char *kA1 = "10.0.0.5";  // SnapKZP+, the restore-size query, copy progress
constexpr const char *kA2 = "10.0.0.6";  // SnapKZP+ without the restore-size query
constexpr const char *kA3 = "10.0.0.7";  // neither
constexpr uint64_t kPool = 1000000;
constexpr uint64_t kPoolUsed = 1000;
constexpr uint64_t kSaved = 100 + 200 + 300 + 40 + 50;  // the snapshots' copied blocks on A1

std::string Scenario() {
    return "array A1 boxid=\"BOXA1\" address=10.0.0.5 generations=4 pool=1000000 "
           "poolused=1000 "
           "copyflags=1 support=" +
           iptest::SupportHex({{4, 0x1F}}) +
           "\narray A2 boxid=\"BOXA2\" address=10.0.0.6 support=" + iptest::SupportHex({}) +
           "\narray A3 boxid=\"BOXA3\" address=10.0.0.7 support=" +
           iptest::SupportHex({{4, 0x07}}) +
           "\narray B1 boxid=\"BOXB1\" address=10.0.0.8\n"
           "user admin secret\n"
           "volume A1 1 100000\n"
           "volume A1 2 8192 type=sdv\nvolume A1 3 8192 type=sdv\nvolume A1 4 "
           "8192 type=sdv\n"
           "volume A1 5 8192 type=sdv\nvolume A1 6 8192 type=sdv\n"
           "volume A1 9 100000\nvolume A1 10 100000\nvolume A1 11 100000\nvolume "
           "A1 12 100000\n"
           "volume A2 1 100000\nvolume A2 2 8192 type=sdv\n"
           "volume A3 1 100000\n"
           "volume B1 1 100000\n"
           "disk /dev/sdb 8:16 A1 1\n"
           "session 1 snapkzp+ A1 1 A1 2 srcext=0 size=4096 copied=100 "
           "generation=2 start=1718454600\n"
           "session 2 snapkzp+ A1 1 A1 3 srcext=0 size=4096 copied=200 "
           "generation=1\n"
           "session 3 snapkzp+ A1 1 A1 4 copied=300\n"
           "session 4 snapkzp A1 9 A1 5 copied=40\n"
           "session 5 snapkzp+ A1 9 A1 6 copied=50 status=suspend\n"
           "session 6 quickkzp A1 11 A1 12\n"
           "session 7 snapkzp+ A2 1 A2 2\n"
           "session 8 kzp A1 10 B1 1\n";
}

// A BoxID argument: 40 bytes, blank padded, as the arrays report them.
const char *Box(const char *name) {
    static std::deque<std::string> kept;  // references stay valid as it grows
    kept.push_back(iptest::PaddedBox(name));
    return kept.back().c_str();
}

uint32_t Be16(const unsigned char *p) {
    return (uint32_t{p[0]} << 8) | p[1];
}
uint64_t Be(const unsigned char *p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}
std::vector<unsigned char> Bytes(const unsigned char *p, size_t n) {
    return {p, p + n};
}

class IpGenerationsSim : public iptest::LanSimTest {
protected:
    IpGenerationsSim() : LanSimTest(Scenario(), {kA1, kA2, kA3}) {}

    // The generation list of a source extent; the area filled with 0xEE first.
    int List(const char *ip, const char *box, uint32_t olu, uint64_t start, uint64_t size,
             uint32_t option = 0, bool withArea = true) {
        area.assign(16 + 256 * 8 + 64, 0xEE);
        std::memset(sense, 0xEE, sizeof sense);
        ZRKerrno = 0;
        return ZRKIPGeneraListSnapKZP_p(
            ip, "admin", box, olu, static_cast<uint32_t>(start >> 32), static_cast<uint32_t>(start),
            static_cast<uint32_t>(size >> 32), static_cast<uint32_t>(size), option,
            withArea ? area.data() : nullptr, sense);
    }

    std::vector<std::string> SessionCommands() const { return iptest::LanSessionCommands(sim); }

    std::vector<unsigned char> area;
    unsigned char sense[ZRK_SENSE_LEN];
};

// ---- the generation list
// ---------------------------------------------------------------

TEST_F(IpGenerationsSim, GenerationsOfAnExtent) {
    struct Case {
        const char *what;
        uint32_t olu;
        uint64_t start;
        uint64_t size;
        std::vector<uint32_t> sessions;  // slot order
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {"two generations, oldest first",
         1,
         0,
         4096,
         {2, 1},
         {"show snap-kzp-gen -volume-number 1", "show copy-sessions -session-id 2,1 "}},
        {"the whole volume",
         1,
         0,
         0,
         {3},
         {"show snap-kzp-gen -volume-number 1", "show copy-sessions -session-id 3 "}},
        {"a suspended generation is one",
         9,
         0,
         0,
         {5},
         {"show snap-kzp-gen -volume-number 9", "show copy-sessions -session-id 5 "}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(0, List(kA1, Box("BOXA1"), c.olu, c.start, c.size)) << ZRKerrno;
        EXPECT_EQ(c.sent, SessionCommands());
        EXPECT_EQ(c.sessions.size(), Be16(area.data()));
        EXPECT_EQ(std::vector<unsigned char>(14, 0), Bytes(area.data() + 2, 14));
        for (size_t k = 0; k < c.sessions.size(); ++k) {
            const unsigned char *slot = area.data() + 16 + 256 * k;
            EXPECT_EQ(c.sessions[k], Be16(slot)) << k;
            EXPECT_EQ(1u, slot[4]) << "KZP family";
            EXPECT_EQ(c.size == 0 ? 0xC0u : 0x40u, slot[12]) << "SnapKZP+, whole volume";
            EXPECT_EQ(c.olu, Be(slot + 120, 4));
            EXPECT_EQ(c.start, Be(slot + 152, 8));
            EXPECT_EQ(c.size, Be(slot + 160, 8));
            EXPECT_EQ(0x01u, slot[131]) << "the array reports copy progress";
            EXPECT_EQ(iptest::PaddedBox("BOXA1"),
                      std::string(reinterpret_cast<const char *>(slot + 24), 40));
        }
        // Nothing beyond the generations reaches the caller.
        const size_t used = 16 + 256 * c.sessions.size();
        EXPECT_EQ(std::vector<unsigned char>(area.size() - used, 0xEE),
                  Bytes(area.data() + used, area.size() - used));
        EXPECT_EQ(std::vector<unsigned char>(ZRK_SENSE_LEN, 0), Bytes(sense, ZRK_SENSE_LEN));
    }
}

TEST_F(IpGenerationsSim, OneSlotByteForByte) {
    ASSERT_EQ(0, List(kA1, Box("BOXA1"), 1, 0, 4096)) << ZRKerrno;
    const unsigned char *slot = area.data() + 16 + 256;  // session 1
    std::vector<unsigned char> want(256, 0);
    auto put = [&](size_t at, uint64_t value, size_t n) {
        for (size_t i = 0; i < n; ++i)
            want[at + i] = static_cast<unsigned char>(value >> (8 * (n - 1 - i)));
    };
    put(0, 1, 2);     // identifier
    want[4] = 1;      // KZP family
    want[12] = 0x40;  // SnapKZP+
    want[17] = 1;     // usable
    want[18] = 3;     // tracking
    want[19] = 2;     // Active
    const std::string box = iptest::PaddedBox("BOXA1");
    std::memcpy(want.data() + 24, box.data(), 40);
    std::memcpy(want.data() + 72, box.data(), 40);
    put(120, 1, 4);
    put(124, 2, 4);
    put(128, 1, 2);  // one extent
    want[131] = 0x01;
    put(136, 100, 8);  // copied blocks
    // 15 June 2024 12:30:00 as packed decimal.
    const unsigned char start[8] = {0x20, 0x24, 0x06, 0x15, 0x12, 0x30, 0x00, 0x00};
    std::memcpy(want.data() + 144, start, 8);
    put(160, 4096, 8);
    // The elapsed time follows the simulator's clock; it is compared apart.
    std::vector<unsigned char> got = Bytes(slot, 256);
    std::memset(got.data() + 132, 0, 4);
    EXPECT_EQ(want, got);
}

TEST_F(IpGenerationsSim, ListRefusals) {
    struct Case {
        const char *what;
        const char *ip;
        const char *box;
        uint32_t olu;
        uint64_t start;
        uint64_t size;
        uint32_t option;
        bool withArea;
        int error;
        bool asked;  // the generations were asked for
    };
    const Case cases[] = {
        {"no area", kA1, Box("BOXA1"), 1, 0, 4096, 0, false, 13, false},
        {"no BoxID", kA1, nullptr, 1, 0, 4096, 0, true, 4, false},
        {"a volume beyond 16 bits", kA1, Box("BOXA1"), 0x10000, 0, 4096, 0, true, 6, false},
        {"a start without a size", kA1, Box("BOXA1"), 1, 5, 0, 0, true, 11, false},
        {"an option bit", kA1, Box("BOXA1"), 1, 0, 4096, 0x4, true, 37, false},
        {"another array's BoxID", kA1, Box("BOXB1"), 1, 0, 4096, 0, true, 33, false},
        {"an extent without generations", kA1, Box("BOXA1"), 1, 0, 8192, 0, true, 21, true},
        {"a start that differs", kA1, Box("BOXA1"), 1, 1, 4096, 0, true, 21, true},
        {"a volume without generations", kA1, Box("BOXA1"), 10, 0, 0, 0, true, 21, true},
        {"an extent of another size", kA1, Box("BOXA1"), 9, 0, 4096, 0, true, 21, true},
        {"the array refuses the volume", kA1, Box("BOXA1"), 77, 0, 0, 0, true, 0x15300, true},
        {"an array without SnapKZP+", kA3, Box("BOXA3"), 1, 0, 0, 0, true, 0x15306, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(-1, List(c.ip, c.box, c.olu, c.start, c.size, c.option, c.withArea));
        EXPECT_EQ(c.error, ZRKerrno);
        EXPECT_EQ(std::vector<unsigned char>(area.size(), 0xEE), area);
        const std::vector<std::string> sent = SessionCommands();
        EXPECT_EQ(c.asked, !sent.empty());
        for (const std::string &s : sent) EXPECT_EQ(0u, s.rfind("show snap-kzp-gen", 0)) << s;
    }
}

// A group of more generations than the array's maximum does not fit the
// caller's area: refused before its sessions are asked for.
TEST_F(IpGenerationsSim, MoreGenerationsThanTheMaximum) {
    sim.setArray("A1", "generations=1");
    EXPECT_EQ(-1, List(kA1, Box("BOXA1"), 1, 0, 4096));
    EXPECT_EQ(ZRK_ERR_REPLY_INCOMPLETE, ZRKerrno);
    EXPECT_EQ(std::vector<std::string>{"show snap-kzp-gen -volume-number 1"}, SessionCommands());
    EXPECT_EQ(std::vector<unsigned char>(area.size(), 0xEE), area);
    // One generation still fits.
    ASSERT_EQ(0, List(kA1, Box("BOXA1"), 1, 0, 0)) << ZRKerrno;
    EXPECT_EQ(1u, Be16(area.data()));
}

// A generation maximum above the 16 bits of the list's count is a broken
// answer: refused before the generations are asked for, the area untouched.
TEST_F(IpGenerationsSim, GenerationMaximumAboveSixteenBitsIsRefused) {
    sim.setArray("A1", "lanmaxima=1024,1024,0x10002");
    EXPECT_EQ(-1, List(kA1, Box("BOXA1"), 1, 0, 4096));
    EXPECT_EQ(ZRK_ERR_REPLY_INCOMPLETE, ZRKerrno);
    EXPECT_EQ(std::vector<std::string>{}, SessionCommands());
    EXPECT_EQ(std::vector<unsigned char>(area.size(), 0xEE), area);
}

// Both roads keep to the caller's room where the array's maximum fits: a
// list of more generations than the room is refused before a slot is
// written, and the area is a heap block of exactly the room
// (AddressSanitizer sees any write past it).
TEST_F(IpGenerationsSim, BothRoadsKeepToTheCallersRoom) {
    for (size_t room : {size_t{0}, size_t{1}, size_t{2}}) {
        SCOPED_TRACE(room);
        std::vector<unsigned char> lan(16 + 256 * room, 0xEE);
        std::vector<unsigned char> inband(16 + 256 * room, 0xEE);
        const int lanResult = zrkip::GenerationListWithin(kA1, "admin", Box("BOXA1"), 1, 0, 0, 0, 4096,
                                                          0, lan.data(), room, sense);
        const int lanErrno = ZRKerrno;
        const int inbandResult = zrk::GenerationListWithin("/dev/sdb", Box("BOXA1"), 1, 0, 0, 0, 4096,
                                                           0, inband.data(), room, sense);
        if (room < 2) {
            EXPECT_EQ(-1, lanResult);
            EXPECT_EQ(ZRK_ERR_REPLY_INCOMPLETE, lanErrno);
            EXPECT_EQ(-1, inbandResult);
            EXPECT_EQ(ZRK_ERR_SCSI, ZRKerrno);
            EXPECT_EQ(std::vector<unsigned char>(lan.size(), 0xEE), lan);
            EXPECT_EQ(std::vector<unsigned char>(inband.size(), 0xEE), inband);
        } else {
            EXPECT_EQ(0, lanResult) << lanErrno;
            EXPECT_EQ(0, inbandResult) << ZRKerrno;
            EXPECT_EQ(2u, Be16(lan.data()));
            EXPECT_EQ(2u, Be16(inband.data()));
        }
    }
}

// Both roads to the same array: the in-band twins over the host's device of
// the source volume give the same generations and the pool sizes in the
// same places (the restore reads bytes 8-15 and 16-23 of either).
TEST_F(IpGenerationsSim, BothRoadsAgree) {
    std::vector<unsigned char> inband(16 + 256 * 8, 0xEE);
    ASSERT_EQ(0, ZRKLVGeneraListSnapKZP_p("/dev/sdb", Box("BOXA1"), 1, 0, 0, 0, 4096, 0,
                                          inband.data(), sense))
        << ZRKerrno;
    ASSERT_EQ(0, List(kA1, Box("BOXA1"), 1, 0, 4096)) << ZRKerrno;
    ASSERT_EQ(2u, Be16(inband.data()));
    EXPECT_EQ(Bytes(inband.data(), 2), Bytes(area.data(), 2));
    for (size_t k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        const unsigned char *a = inband.data() + 16 + 256 * k;
        const unsigned char *b = area.data() + 16 + 256 * k;
        // Byte 131 takes the progress bit of the copy functions' detail
        // flags only on this road (see GenerationsOfAnExtent).
        EXPECT_EQ(Bytes(a, 131), Bytes(b, 131));
        EXPECT_EQ(Bytes(a + 132, 124), Bytes(b + 132, 124));
    }

    unsigned char inbandSize[64];
    unsigned char lanSize[64];
    std::memset(inbandSize, 0xEE, sizeof inbandSize);
    ASSERT_EQ(0, ZRKLVGetPoolExtSize("/dev/sdb", Box("BOXA1"), 1, 0, 0, 0, 4096, Box("BOXA1"), 2, 0,
                                     0, 0, 0, inbandSize, sense))
        << ZRKerrno;
    ASSERT_EQ(0, ZRKIPGetPoolExtSize(kA1, "admin", Box("BOXA1"), 1, 0, 0, 0, 4096, Box("BOXA1"), 2,
                                     0, 0, 0, 0, lanSize, sense))
        << ZRKerrno;
    EXPECT_EQ(Bytes(inbandSize + 8, 56), Bytes(lanSize + 8, 56));
    EXPECT_EQ(kPool - kPoolUsed - kSaved, Be(lanSize + 8, 8));
    EXPECT_EQ(100u, Be(lanSize + 16, 8));
}

// ---- the pool sizes of a restore
// ---------------------------------------------------------

class IpPoolSizes : public IpGenerationsSim {
protected:
    int PoolSize(const char *ip, uint32_t src, uint64_t start, uint64_t size, const char *dstBox,
                 uint32_t dst, uint32_t option, bool withArea = true) {
        std::memset(info, 0xEE, sizeof info);
        ZRKerrno = 0;
        return ZRKIPGetPoolExtSize(ip, "admin", Box("BOXA1"), src,
                                   static_cast<uint32_t>(start >> 32), static_cast<uint32_t>(start),
                                   static_cast<uint32_t>(size >> 32), static_cast<uint32_t>(size),
                                   dstBox, dst, 0, 0, 0, option, withArea ? info : nullptr, sense);
    }
    unsigned char info[64];
};

TEST_F(IpPoolSizes, FreeCapacityAndRestoreSize) {
    struct Case {
        const char *what;
        uint32_t src;
        uint64_t start;
        uint64_t size;
        uint32_t dst;
        uint32_t option;
        uint64_t restore;
        uint64_t held;
        uint64_t extent;
        std::string sizeCommand;
    };
    const Case cases[] = {
        {"by pair", 1, 0, 4096, 2, 0, 100, 300, 4096, "show snap-kzp-restore-size -session-id 1"},
        {"the other generation", 1, 0, 4096, 3, 0, 200, 300, 4096,
         "show snap-kzp-restore-size -session-id 2"},
        {"by identifier", 3, 0, 0, 0, ZRK_OPT_SESSION_ID, 300, 300, 100000,
         "show snap-kzp-restore-size -session-id 3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(0, PoolSize(kA1, c.src, c.start, c.size, Box("BOXA1"), c.dst, c.option))
            << ZRKerrno;
        EXPECT_EQ(std::vector<unsigned char>(8, 0), Bytes(info, 8));
        EXPECT_EQ(kPool - kPoolUsed - kSaved, Be(info + 8, 8)) << "free";
        EXPECT_EQ(c.restore, Be(info + 16, 8)) << "restore";
        EXPECT_EQ(c.held, Be(info + 24, 8));
        EXPECT_EQ(c.extent, Be(info + 32, 8));
        EXPECT_EQ(std::vector<unsigned char>(24, 0), Bytes(info + 40, 24));
        const std::vector<std::string> sent = SessionCommands();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(c.sizeCommand, sent.back());
    }
}

TEST_F(IpPoolSizes, Refusals) {
    struct Case {
        const char *what;
        const char *ip;
        uint32_t src;
        uint64_t size;
        const char *dstBox;
        uint32_t dst;
        uint32_t option;
        bool withArea;
        int error;
        bool looked;  // the session was looked up
    };
    const Case cases[] = {
        {"no area", kA1, 1, 4096, Box("BOXA1"), 2, 0, false, 13, false},
        {"an option bit outside the mask", kA1, 1, 4096, Box("BOXA1"), 2, 0x2, true, 37, false},
        {"an identifier beyond 16 bits", kA1, 0x10000, 0, Box("BOXA1"), 0, ZRK_OPT_SESSION_ID, true,
         55, false},
        {"a pair between two arrays", kA1, 10, 0, Box("BOXB1"), 1, 0, true, 17, false},
        {"no such pair", kA1, 1, 4096, Box("BOXA1"), 9, 0, true, 21, true},
        {"a SnapKZP session", kA1, 9, 0, Box("BOXA1"), 5, 0, true, 21, true},
        {"a QuickKZP session", kA1, 6, 0, Box("BOXA1"), 0, ZRK_OPT_SESSION_ID, true, 21, true},
        {"a suspended generation", kA1, 5, 0, Box("BOXA1"), 0, ZRK_OPT_SESSION_ID, true, 39, true},
        {"an array without the query", kA2, 7, 0, Box("BOXA2"), 0, ZRK_OPT_SESSION_ID, true, 17,
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(-1, PoolSize(c.ip, c.src, 0, c.size, c.dstBox, c.dst, c.option, c.withArea));
        EXPECT_EQ(c.error, ZRKerrno);
        EXPECT_EQ(std::vector<unsigned char>(64, 0xEE), Bytes(info, 64));
        const std::vector<std::string> sent = SessionCommands();
        EXPECT_EQ(c.looked, !sent.empty());
        for (const std::string &s : sent) {
            EXPECT_EQ(std::string::npos, s.find("restore-size")) << s;
        }
    }
}

// The array reports no row for a session that ended between the lookup
// and the query: no such session. Two rows for one session do not fit.
TEST(IpPoolSizeService, RowCountsOfTheArray) {
    zrktest::InstallRoot root;
    iptest::FakeService service;
    service.configure(root);
    // The common data: copy functions with SnapKZP+ and the restore-size query.
    unsigned char functions[72] = {};
    functions[4] = 0x1F;
    functions[7] = 0x01;
    IPCtrlCommonData(IP_COMMON_FUNCS_SET, functions);
    struct Case {
        const char *what;
        std::string reply;
        int rc;
        int error;
    };
    const Case cases[] = {
        {"no row", "0\n0", -1, ZRK_ERR_NO_SESSION},
        {"two rows", "0\n2\n3\t1\t2\t3\t4\t5\n3\t1\t2\t3\t4\t5", -1, ZRK_ERR_REPLY_INCOMPLETE},
        {"one row", "0\n1\n3\t1\t2\t3\t4\t5", 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        service.reply(c.reply);
        unsigned char out[64];
        std::memset(out, 0xEE, sizeof out);
        ZRKerrno = 0;
        EXPECT_EQ(c.rc, IPGetPoolSizeInfo("192.0.2.10", nullptr, 3, out));
        EXPECT_EQ(c.error, ZRKerrno);
        if (c.rc == 0) {
            EXPECT_EQ(1u, Be(out + 8, 8));
            EXPECT_EQ(2u, Be(out + 16, 8));
            EXPECT_EQ(3u, Be(out + 24, 8));
            EXPECT_EQ(4u, Be(out + 32, 8));
        } else {
            EXPECT_EQ(std::vector<unsigned char>(64, 0xEE), Bytes(out, 64));
        }
    }
    EXPECT_EQ(3u, service.commands().size());
}

// ---- the snap data pool
// ------------------------------------------------------------------

TEST_F(IpGenerationsSim, SnapDataPool) {
    unsigned char pool[64];
    std::memset(pool, 0xEE, sizeof pool);
    ASSERT_EQ(0, ZRKIPPoolInfoSnapKZP_p(kA1, "admin", 0, pool, sense)) << ZRKerrno;
    EXPECT_EQ(std::vector<std::string>{"show snap-data-pool -sdp-number 0"}, SessionCommands());
    EXPECT_EQ(kPool, Be(pool, 8));
    EXPECT_EQ(kPoolUsed, Be(pool + 8, 8));
    EXPECT_EQ(kSaved, Be(pool + 16, 8));
    EXPECT_EQ(std::vector<unsigned char>(24, 0), Bytes(pool + 24, 24));
    EXPECT_EQ(std::vector<unsigned char>(16, 0xEE), Bytes(pool + 48, 16)) << "not written";

    // An array without a pool reports no row: six zero values.
    sim.setArray("A1", "pool=0");
    std::memset(pool, 0xEE, sizeof pool);
    ASSERT_EQ(0, ZRKIPPoolInfoSnapKZP_p(kA1, "admin", 0, pool, sense)) << ZRKerrno;
    EXPECT_EQ(std::vector<unsigned char>(48, 0), Bytes(pool, 48));
    EXPECT_EQ(std::vector<unsigned char>(16, 0xEE), Bytes(pool + 48, 16));
    EXPECT_EQ(std::vector<std::string>{"show snap-data-pool -sdp-number 0"}, SessionCommands());

    struct Case {
        const char *what;
        const char *ip;
        uint32_t option;
        bool withArea;
        int error;
    };
    const Case cases[] = {
        {"no area", kA1, 0, false, 13},
        {"an option bit", kA1, 0x4, true, 37},
        {"an array without SnapKZP+", kA3, 0, true, 17},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(pool, 0xEE, sizeof pool);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ZRKIPPoolInfoSnapKZP_p(c.ip, "admin", c.option, c.withArea ? pool : nullptr,
                                             sense));
        EXPECT_EQ(c.error, ZRKerrno);
        EXPECT_EQ(std::vector<unsigned char>(64, 0xEE), Bytes(pool, 64));
        EXPECT_TRUE(SessionCommands().empty());
    }
}

// The trace of each public function and of the functions it calls.
TEST_F(IpGenerationsSim, TraceLines) {
    ASSERT_EQ(0, List(kA1, Box("BOXA1"), 1, 0, 4096)) << ZRKerrno;
    EXPECT_EQ(-1, List(kA1, nullptr, 1, 0, 4096));
    unsigned char out[64];
    ZRKerrno = 0;  // a success leaves it as it was
    ASSERT_EQ(0, ZRKIPGetPoolExtSize(kA1, "admin", Box("BOXA1"), 3, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
                                     ZRK_OPT_SESSION_ID, out, sense))
        << ZRKerrno;
    ASSERT_EQ(0, ZRKIPPoolInfoSnapKZP_p(kA1, "admin", 0, out, sense)) << ZRKerrno;
    const std::string trace = root.traceText();
    const std::string g = "INFO : ZRKIPGeneraListSnapKZP_p : ";
    const std::string p = "INFO : ZRKIPGetPoolExtSize : ";
    const std::string i = "INFO : ZRKIPPoolInfoSnapKZP_p : ";
    const std::vector<std::string> lines = {
        g + "START",
        g + "cpIPaddress=[10.0.0.5] OptionFlag=0x00",
        g + "SrcBoxID=BOXA1" + std::string(35, ' ') +
            ", SrcOLU=1, SrcExtAddr_high=0, SrcExtAddr_low=0, SrcSize_high=0, "
            "SrcSize_low=4096",
        g + "SrcBoxID=NULL, SrcOLU=1, SrcExtAddr_high=0, SrcExtAddr_low=0, SrcSize_high=0, "
            "SrcSize_low=4096",
        g + "END(ret=0, ZRKerrno=0)",
        "ERR : ZRKIPGeneraListSnapKZP_p : END(ret=-1, ZRKerrno=4)",
        "INFO : IPGetGenerationList : START",
        "INFO : ShowSnapKzpGen : cpIPaddress=[10.0.0.5] OluCnt=1 Option=0",
        p + "START",
        p + "END(ret=0, ZRKerrno=0)",
        "INFO : IPGetPoolSizeInfo : cpIPaddress=[10.0.0.5] SessionID=3",
        "INFO : ShowSnapKzpRestoreSize : cpIPaddress=[10.0.0.5] SnapCnt=1 Option=2",
        i + "START",
        i + "END(ret=0, ZRKerrno=0)",
        "INFO : IPGetPoolInfo : START",
    };
    for (const std::string &want : lines) {
        EXPECT_NE(std::string::npos, trace.find(want)) << want;
    }
}

// Only root may ask; nothing is sent for anyone else.
TEST_F(IpGenerationsSim, RootOnly) {
    const zrktest::ChildResult r = zrktest::runChild([&] {
        if (!zrktest::dropPrivileges()) return 99;
        unsigned char out[16 + 256 * 8] = {};
        int refused = 0;
        ZRKerrno = 0;
        refused += ZRKIPGeneraListSnapKZP_p(kA1, "admin", Box("BOXA1"), 1, 0, 0, 0, 4096, 0, out,
                                            nullptr) == -1 &&
                   ZRKerrno == 34;
        ZRKerrno = 0;
        refused += ZRKIPGetPoolExtSize(kA1, "admin", Box("BOXA1"), 1, 0, 0, 0, 4096, Box("BOXA1"),
                                       2, 0, 0, 0, 0, out, nullptr) == -1 &&
                   ZRKerrno == 34;
        ZRKerrno = 0;
        refused += ZRKIPPoolInfoSnapKZP_p(kA1, "admin", 0, out, nullptr) == -1 && ZRKerrno == 34;
        return refused;
    });
    EXPECT_EQ(3, r.exitCode) << r.err;
    EXPECT_TRUE(iptest::LanCommands(sim).empty());
}

}  // namespace
