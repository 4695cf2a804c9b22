// Queries of the page-based engine against the simulator: the session query,
// the match of a request in a detail list, the SnapKZP+ generations (also
// under hostile generation pages), the snap data pool, the capacity, and the
// concurrent suspend with its page and its refusals.
#include "inband_support.h"
#include "zrkcmd.h"
#include "zrktvc.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace inbandtest;

namespace {

using Pair = CopyPair;
COPY_REQ_LV Request(const Pair &p) { return TvcRequest(p, 0); }
COPY_REQ_LV ById(uint16_t id) { return TvcRequestById(id); }

CONC_SUS_PAIR_LV SusPair(const std::string &src, uint32_t srcOlu, const std::string &dst,
                         uint32_t dstOlu, uint64_t ext, uint64_t size) {
    return ConcSuspendPair(Pair{src, dst, srcOlu, dstOlu, ext, size, ext});
}

constexpr char kHost[] = "/dev/sdb";   // A1:5
constexpr char kDstHost[] = "/dev/sdc"; // A2:9

// A1 offers every page-based function, the pool size of a session included.
constexpr char kArrays[] = R"(
array A1 boxid="BOX-A1" generations=4 pool=1000000 poolused=100 rate=100 support="0000 0000 1f00 00f1 0000 0000 0000 00f1 0000 0000 004b 00f1 0000 0000 00ff 10f1"
array A2 boxid="BOX-A2"
array A3 boxid="BOX-A3"
volume A1 5 2097152
volume A1 6 2097152
volume A1 7 2097152
volume A1 8 2097152
volume A1 10 2097152
volume A2 9 2097152
volume A3 9 2097152
disk /dev/sdb 8:16 A1 5
disk /dev/sdc 8:32 A2 9
)";

class TvcQuery : public InbandTest {
protected:
    TvcQuery() : InbandTest(kArrays) {}

    // What the API's common check leaves behind, then an empty CDB log.
    void Prepare(const char *volume) { PrepareOperation(sim, volume); }
    std::vector<std::string> Pages() const { return SentPagesHex(sim); }
    std::string Status(const std::string &array, unsigned id) const {
        return SessionField(sim, array, id, "status");
    }
};

// ---- the session query --------------------------------------------------------------

TEST_F(TvcQuery, QueryFollowsTheArray) {
    sim.addSession("3 vz A1 5 A1 6 phase=copying");
    sim.addSession("4 kzp A1 5 A1 7");
    sim.advanceClock(3);
    Prepare(kHost);
    TVC_DETAIL_INFO detail;
    const COPY_REQ_LV vz = Request({});
    ASSERT_EQ(QueryTvc(kHost, 2, 0, &vz, &detail), 0) << ZRKerrno;
    zrk::TvcDetail d = zrk::DecodeTvcDetail(detail);
    EXPECT_EQ(d.uhSessionId, 3);
    EXPECT_EQ(d.ucCopyKind, 2);
    EXPECT_EQ(d.ucStatus, 2);
    EXPECT_EQ(d.ucPhase, 1);
    EXPECT_EQ(d.ullCopiedBlock, 300u); // three seconds at 100 blocks
    EXPECT_EQ(d.ucVolumeRole, 1);

    struct Case {
        const char *what;
        unsigned char kind;
        unsigned int option;
        COPY_REQ_LV request;
        int result; // 0, or the ZRKerrno of a refusal
        uint16_t id;
    };
    // clang-format off
    const Case cases[] = {
        {"any kind, by pair", 0, 0, Request({.uiDstOlu = 7}), 0, 4},
        {"KZP family by identifier", 1, 0x4, ById(4), 0, 4},
        {"any kind by identifier", 0, 0x4, ById(3), 0, 3},
        {"VZ family asked of a KZP pair", 2, 0, Request({.uiDstOlu = 7}), ZRK_ERR_NO_SESSION, 0},
        {"KZP family asked of a VZ identifier", 1, 0x4, ById(3), ZRK_ERR_NO_SESSION, 0},
        {"an unknown identifier", 0, 0x4, ById(9), ZRK_ERR_NO_SESSION, 0},
        {"a pair of no session", 0, 0, Request({.uiDstOlu = 8}), ZRK_ERR_NO_SESSION, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        std::memset(&detail, 0xEE, sizeof detail);
        const int rc = QueryTvc(kHost, c.kind, c.option, &c.request, &detail);
        if (c.result != 0) {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ZRKerrno, c.result);
            EXPECT_EQ(detail.ucaReserved176[0], 0xEE);
            continue;
        }
        ASSERT_EQ(rc, 0) << ZRKerrno;
        EXPECT_EQ(zrk::DecodeTvcDetail(detail).uhSessionId, c.id);
    }
}

TEST(TvcDetailList, RequestMatchesTheFirstFittingEntry) {
    auto entry = [](uint16_t id, uint8_t kind, uint8_t flags, const char *src, const char *dst,
                    uint32_t dstOlu) {
        zrk::DetailEntry e{};
        e.uhSessionId = id;
        e.ucCopyKind = kind;
        e.ucSessionFlags = flags;
        if (src != nullptr) std::memcpy(e.ucaSrcBoxID, BoxId(src).data(), ZRK_BOXID_LEN);
        if (dst != nullptr) std::memcpy(e.ucaDstBoxID, BoxId(dst).data(), ZRK_BOXID_LEN);
        e.uiSrcOlu = 5;
        e.uiDstOlu = dstOlu;
        e.ucStatus = 2;
        return zrk::EncodeDetailEntry(e);
    };
    // clang-format off
    const DETAIL_LIST_INFO list[] = {
        entry(1, 2, 0x80, "BOX-A1", "BOX-A1", 7), // another destination
        entry(2, 1, 0x80, "BOX-A1", "BOX-A1", 6), // KZP family
        entry(3, 2, 0x80, "BOX-A2", "BOX-A2", 6), // other arrays
        entry(4, 2, 0x80, nullptr, "BOX-A1", 6), // no source array, a destination
        entry(5, 2, 0x80, nullptr, nullptr, 6), // local, listed without arrays
        entry(6, 2, 0x80, "BOX-A1", "BOX-A1", 6), // a later fit
        entry(7, 2, 0xA0, "BOX-A1", "BOX-A2", 6), // remote
    };
    // clang-format on
    struct Case {
        const char *what;
        unsigned char kind;
        COPY_REQ_LV request;
        int id; // 0: no match
    };
    // clang-format off
    const Case cases[] = {
        {"VZ: the local entry without arrays comes first", 2, Request({}), 5},
        {"KZP family", 1, Request({}), 2},
        {"any kind", 0, Request({}), 2},
        {"remote", 2, Request({.sDst = "BOX-A2"}), 7},
        {"remote with other arrays", 2, Request({.sSrc = "BOX-A3", .sDst = "BOX-A2"}), 0},
        {"an extent none has", 2, Request({.ullSrcExt = 1, .ullSize = 1, .ullDstExt = 1}), 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TVC_DETAIL_INFO detail{};
        ZRKerrno = 0;
        const int rc = QueryDetailfromListForLV(7, list, c.kind, &c.request, &detail);
        if (c.id == 0) {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SESSION);
            continue;
        }
        ASSERT_EQ(rc, 0);
        const zrk::TvcDetail d = zrk::DecodeTvcDetail(detail);
        EXPECT_EQ(d.uhSessionId, c.id);
        EXPECT_EQ(d.ucVolumeRole, 1);
        EXPECT_EQ(d.ucStatus, 2);
    }
}

// ---- SnapKZP+ generations -------------------------------------------------------------

constexpr char kGenerations[] = R"(
session 11 snapkzp+ A1 5 A1 6 srcext=0 size=1000 dstext=0
session 12 snapkzp+ A1 5 A1 7 srcext=0 size=1000 dstext=0
session 13 snapkzp+ A1 5 A1 8 srcext=0 size=1000 dstext=0
session 14 snapkzp+ A1 5 A1 10 srcext=1000 size=1000 dstext=0
)";

// The caller's list has room for the maximum generation count (4) and a
// guard after it.
constexpr size_t kListRoom = ZRK_SNAP_LIST_HEAD_LEN + 4 * ZRK_SNAP_LIST_SLOT_LEN;

TEST_F(TvcQuery, GenerationListOfAnExtent) {
    sim.load(std::string(kArrays) + kGenerations);
    Prepare(kHost);
    Bytes list(kListRoom + 64, 0xEE);
    const COPY_REQ_LV request = Request({.uiDstOlu = 7, .ullSize = 1000});
    ASSERT_EQ(GetGenerationList(kHost, 0, &request, list.data()), 0) << ZRKerrno;
    EXPECT_EQ(zrksim::toHex(Bytes(list.begin(), list.begin() + 16)), "0003eeeeeeeeeeeeeeeeeeeeeeeeeeee");
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const unsigned char *slot = list.data() + 16 + 256 * i;
        TVC_DETAIL_INFO detail;
        std::memcpy(&detail, slot, sizeof detail);
        const zrk::TvcDetail d = zrk::DecodeTvcDetail(detail);
        EXPECT_EQ(d.uhSessionId, 11 + i); // oldest first
        EXPECT_EQ(d.uiDstOlu, static_cast<uint32_t>(6 + i));
        EXPECT_EQ(d.ucSessionFlags & ZRK_SESFLAG_SNAPKZP_P, ZRK_SESFLAG_SNAPKZP_P);
        EXPECT_EQ(zrksim::toHex(Bytes(slot + 184, slot + 256)), std::string(144, '0'));
    }
    EXPECT_EQ(list[16 + 256 * 3], 0xEE); // nothing written past the generations
    EXPECT_EQ(list[kListRoom], 0xEE);

    // An extent that no block describes.
    const COPY_REQ_LV other = Request({.uiDstOlu = 7, .ullSrcExt = 500, .ullSize = 1000});
    EXPECT_EQ(GetGenerationList(kHost, 0, &other, list.data()), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SESSION);
}

TEST_F(TvcQuery, GenerationOfASession) {
    sim.load(std::string(kArrays) + kGenerations);
    struct Case {
        const char *what;
        unsigned int option;
        COPY_REQ_LV request;
        const char *corrupt; // on the second generation page read, or null
        const char *info;    // count, number, identifier; null: 21
    };
    // clang-format off
    const Case cases[] = {
        {"by pair", 0, Request({.uiDstOlu = 7, .ullSize = 1000}), nullptr, "0003 0002 000c"},
        {"by identifier", 0x4, ById(13), nullptr, "0003 0003 000d"},
        {"the only generation of its extent", 0x4, ById(14), nullptr, "0001 0001 000e"},
        {"not among the generations", 0, Request({.uiDstOlu = 7, .ullSize = 1000}), "66 0099", nullptr},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(kHost);
        if (c.corrupt != nullptr) sim.commandOk(std::string("corrupt 0x45 ") + c.corrupt + " skip=1");
        Bytes info(16, 0xEE);
        const int rc = GetGenerationInfo(kHost, c.option, &c.request, info.data());
        if (c.info == nullptr) {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SESSION);
            continue;
        }
        ASSERT_EQ(rc, 0) << ZRKerrno;
        EXPECT_EQ(zrksim::toHex(info), zrksim::toHex(Hex(c.info)) + std::string(20, 'e'));
    }
}

// Counts the array reports are walked only as far as the reply and the
// buffers reach.
TEST_F(TvcQuery, HostileGenerationPagesStayInBounds) {
    sim.load(std::string(kArrays) + kGenerations +
             "session 15 snapkzp+ A1 5 A1 10 srcext=0 size=1000 dstext=1000\n");
    struct Case {
        const char *what;
        const char *corrupt; // "OFFSET HEX skip=K" on page 0x45
        int generations;     // listed; -1: the call fails
    };
    // clang-format off
    const Case cases[] = {
        {"a block claims more generations than the maximum", "32 00ff skip=1", 4},
        {"the reply claims more blocks than it holds", "12 ffff skip=1", 4},
        {"the head claims every block", "10 ffff", 4},
        {"the head claims a huge maximum", "14 ffff", 4},
        {"the reply's blocks are wider than the head said", "14 ffff skip=1", -1},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(kHost);
        sim.commandOk(std::string("corrupt 0x45 ") + c.corrupt);
        Bytes list(kListRoom + 64, 0xEE);
        const COPY_REQ_LV request = Request({.uiDstOlu = 7, .ullSize = 1000});
        const int rc = GetGenerationList(kHost, 0, &request, list.data());
        if (c.generations < 0) {
            EXPECT_EQ(rc, -1);
        } else {
            ASSERT_EQ(rc, 0) << ZRKerrno;
            EXPECT_EQ(zrk::Be16(list.data()), c.generations);
        }
        EXPECT_EQ(zrksim::toHex(Bytes(list.begin() + kListRoom, list.end())), std::string(128, 'e'));
    }
}

// ---- pools and capacity ---------------------------------------------------------------

TEST_F(TvcQuery, PoolInformationPassesTheArraysBytes) {
    sim.load(std::string(kArrays) + "session 11 snapkzp+ A1 5 A1 6 copied=50\n");
    Prepare(kHost);
    Bytes pool(64, 0xEE);
    ASSERT_EQ(GetPoolInfo(kHost, 0, pool.data()), 0) << ZRKerrno;
    EXPECT_EQ(zrksim::toHex(sim.cdbLog().back().cdb), "eb093200000000004000");
    EXPECT_EQ(zrksim::toHex(pool), GoldenHex(64, {{0, "00000000000f4240 0000000000000064 0000000000000032"}}));

    const unsigned char id[2] = {0, 11};
    ASSERT_EQ(GetPoolSizeInfo(kHost, id, pool.data()), 0) << ZRKerrno;
    EXPECT_EQ(zrksim::toHex(sim.cdbLog().back().cdb), "eb094600000b00004000");
    EXPECT_EQ(zrksim::toHex(pool),
              GoldenHex(64, {{0, "000b 0001 0001"},
                             {8, "00000000000f41aa 0000000000000032 0000000000000032 0000000000200000"}}));

    // Without the function the array is not asked.
    for (const auto &[bit, call] : {std::pair{0x08, 0}, std::pair{0x10, 1}}) {
        SCOPED_TRACE(call);
        Prepare(kHost);
        ClearSupportBits(4, static_cast<unsigned char>(bit));
        ClearSupportBits(12, static_cast<unsigned char>(bit));
        EXPECT_EQ(call == 0 ? GetPoolInfo(kHost, 0, pool.data()) : GetPoolSizeInfo(kHost, id, pool.data()), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
        EXPECT_TRUE(sim.cdbLog().empty());
    }
}

TEST_F(TvcQuery, BlockSizeOfSmallAndLargeVolumes) {
    struct Case {
        unsigned long long blocks;
        uint32_t high, low;
        size_t commands; // 1: READ CAPACITY(10) only
    };
    // clang-format off
    const Case cases[] = {
        {2097152, 0, 2097152, 1},
        {0xFFFFFFFFull, 0, 0xFFFFFFFF, 1},
        {0x100000000ull, 1, 0, 2},
        {0x100000005ull, 1, 5, 2},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.blocks);
        sim.load("array A1 boxid=\"BOX-A1\"\nvolume A1 5 " + std::to_string(c.blocks) +
                 "\ndisk /dev/sdb 8:16 A1 5\n");
        NewCall();
        sim.clearLog();
        uint32_t high = 7, low = 7, length = 7;
        ASSERT_EQ(GetBlockSize(kHost, &high, &low, &length), 0) << ZRKerrno;
        EXPECT_EQ(high, c.high);
        EXPECT_EQ(low, c.low);
        EXPECT_EQ(length, 512u);
        const std::vector<zrksim::CdbRecord> log = sim.cdbLog();
        ASSERT_EQ(log.size(), c.commands);
        EXPECT_EQ(zrksim::toHex(log[0].cdb), "25000000000000000000");
        if (c.commands == 2) {
            EXPECT_EQ(zrksim::toHex(log[1].cdb), "9e100000000000000000000000200000");
        }
    }
}

// ---- concurrent suspend -----------------------------------------------------------------

TEST_F(TvcQuery, ConcurrentSuspendOfFiveSessions) {
    std::string sessions;
    for (int i = 1; i <= 5; ++i)
        sessions += "session " + std::to_string(i) + " vz A1 5 A1 6 srcext=" + std::to_string(i * 100) +
                    " size=100 dstext=" + std::to_string(i * 100) + "\n";
    std::vector<CONC_SUS_PAIR_LV> pairs;
    for (int i = 5; i >= 1; --i) pairs.push_back(SusPair("BOX-A1", 5, "BOX-A1", 6, i * 100, 100));

    for (const bool detailList : {true, false}) {
        SCOPED_TRACE(detailList ? "from the detail list" : "from the identifier list");
        sim.load(std::string(kArrays) + sessions);
        Prepare(kHost);
        if (!detailList)
            for (int b : {7, 15, 23, 31}) ClearSupportBits(b, 0x80);
        std::vector<uint32_t> results(5, 0);
        ASSERT_EQ(MultiSuspendVzForLV(kHost, 0, 5, pairs.data(), results.data()), 0) << ZRKerrno;
        const std::vector<std::string> pages = Pages();
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0], GoldenHex(48, {{0, "50000000 00000028 0005"},
                                         {16, "00050000 00040000 00030000 00020000 00010000"}}));
        const auto *bytes = reinterpret_cast<const unsigned char *>(results.data());
        EXPECT_EQ(zrksim::toHex(Bytes(bytes, bytes + 20)),
                  "0005ffff0004ffff0003ffff0002ffff0001ffff");
        for (unsigned id = 1; id <= 5; ++id) EXPECT_EQ(Status("A1", id), "4") << id;
    }
}

TEST_F(TvcQuery, ConcurrentSuspendFromTheDestinationSide) {
    sim.addSession("3 rvz A1 5 A2 9 partner=7 srcext=0 size=100 dstext=0");
    sim.addSession("4 rvz A1 5 A2 9 partner=8 srcext=100 size=100 dstext=100");
    Prepare(kDstHost);
    // clang-format off
    const CONC_SUS_PAIR_LV pairs[] = {
        SusPair("BOX-A1", 5, "BOX-A2", 9, 100, 100),
        SusPair("BOX-A1", 5, "BOX-A2", 9, 0, 100),
    };
    // clang-format on
    uint32_t results[2];
    ASSERT_EQ(MultiSuspendVzForLV(kDstHost, 0, 2, pairs, results), 0) << ZRKerrno;
    ASSERT_EQ(Pages().size(), 1u);
    EXPECT_EQ(Pages()[0], GoldenHex(32, {{0, "50000000 00000018 0002 c0"}, {16, "00080000 00070000"}}));
    EXPECT_EQ(Status("A1", 3), "4");
    EXPECT_EQ(Status("A1", 4), "4");

    // The array refusing the partner.
    sim.setSession("A1", 3, "status=active");
    sim.setSession("A1", 4, "status=active");
    Prepare(kDstHost);
    sim.commandOk("fault sense 1 5 0x26 0x00 page=0x50");
    EXPECT_EQ(MultiSuspendVzForLV(kDstHost, 0, 2, pairs, results), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARTNER);
}

TEST_F(TvcQuery, ConcurrentSuspendRefusals) {
    const std::string sessions =
        "session 1 vz A1 5 A1 6 srcext=0 size=100 dstext=0\n"
        "session 2 vz A1 5 A1 6 srcext=100 size=100 dstext=100 status=suspend\n"
        "session 3 vz A1 5 A1 7\n";
    const CONC_SUS_PAIR_LV first = SusPair("BOX-A1", 5, "BOX-A1", 6, 0, 100);
    const CONC_SUS_PAIR_LV suspended = SusPair("BOX-A1", 5, "BOX-A1", 6, 100, 100);
    const CONC_SUS_PAIR_LV whole = SusPair("BOX-A1", 5, "BOX-A1", 7, 0, 0);
    const CONC_SUS_PAIR_LV toA2 = SusPair("BOX-A1", 5, "BOX-A2", 9, 0, 100);
    const CONC_SUS_PAIR_LV elsewhere = SusPair("BOX-A2", 9, "BOX-A3", 9, 0, 100);
    struct Case {
        const char *what;
        std::vector<CONC_SUS_PAIR_LV> pairs;
        unsigned int option;
        const char *setup; // a control command before the call, or null
        int errnoSeen;
        bool nothingSent;   // not even a query
        const char *results; // hex of the result slots
    };
    // clang-format off
    const Case cases[] = {
        {"two destination arrays", {first, toA2}, 0, nullptr, ZRK_ERR_CONC_SUSPEND, true, "ffffffffffffffff"},
        {"one session named twice", {first, first}, 0, nullptr, ZRK_ERR_CONC_SUSPEND, false, "0001ffffffffffff"},
        {"a suspended session", {whole, suspended}, 0, nullptr, ZRK_ERR_SEQUENCE, false, "0003ffffffffffff"},
        {"more than one command takes", {first, whole}, 0, "setarray A1 percommand=1", ZRK_ERR_PER_COMMAND, false, "ffffffffffffffff"},
        {"untransferred-data mode on a local pair", {first}, 0x10, nullptr, ZRK_ERR_OPTION, false, "ffffffff"},
        {"pairs of other arrays", {elsewhere}, 0x10, nullptr, ZRK_ERR_CONC_SUSPEND, false, "ffffffff"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(std::string(kArrays) + sessions);
        if (c.setup != nullptr) sim.commandOk(c.setup);
        Prepare(kHost);
        std::vector<uint32_t> results(c.pairs.size(), 0);
        EXPECT_EQ(MultiSuspendVzForLV(kHost, c.option, static_cast<int>(c.pairs.size()),
                                      c.pairs.data(), results.data()),
                  -1);
        EXPECT_EQ(ZRKerrno, c.errnoSeen);
        EXPECT_TRUE(Pages().empty());
        if (c.nothingSent) {
            EXPECT_TRUE(sim.cdbLog().empty());
        }
        const auto *bytes = reinterpret_cast<const unsigned char *>(results.data());
        EXPECT_EQ(zrksim::toHex(Bytes(bytes, bytes + 4 * results.size())), c.results);
        EXPECT_EQ(Status("A1", 1), "2");
    }

    // More pairs than the array holds sessions.
    sim.load(std::string(kArrays) + sessions);
    Prepare(kHost);
    const unsigned char one[2] = {0, 1};
    CtrlCommonData(const_cast<unsigned char *>(one), ZRK_COMMON_SET_MAXSES);
    // clang-format off
    const CONC_SUS_PAIR_LV two[] = {
        first,
        whole,
    };
    // clang-format on
    uint32_t results[2];
    EXPECT_EQ(MultiSuspendVzForLV(kHost, 0, 2, two, results), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_CONC_SUSPEND);
    EXPECT_TRUE(sim.cdbLog().empty());
}

}  // namespace
