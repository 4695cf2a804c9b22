// The large-volume public functions on arrays that the classic engine
// serves, against the classic profiles of the simulator (the detail list,
// the identifier lists only, the QM family, and an array that answers the
// page-based detail page 0x44 without the page-based engine): the queries of
// both families in the page-based detail shape with their 32-bit counts, the
// conversion of a classic VZ detail and its supplement from page 0x44, the
// lifecycles of the mirrors and the point-in-time copies, the concurrent
// suspend, and the limits the classic engine sets. Each case counts the
// commands the arrays received.
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkcmulti.h"
#include "zrkframe.h"
#include "zrklvrun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr uint64_t kBlocks = 8589934600; // every volume: more than 2^32 blocks

// Classic support that also offers the detail page 0x44 (byte 4 bit 0x04)
// and the identifier lists, without the page-based bit in any group.
constexpr char kPage44Support[] =
    "\"0000 0000 0400 0001 0000 0000 0000 0001 0000 0000 004b 0001 0000 0000 00ff 0001\"";

// One classic array of the scenario: its host node and BoxID.
struct Profile {
    const char *pName;
    const char *pHost;
    const char *pBox;
    bool bQm;       // the QM family
    bool bPage44;   // the array answers the detail page 0x44
};
// clang-format off
const Profile kDetail{"detail list",      "/dev/sdb", "BOX-D1", false, false};
const Profile kIdList{"identifier lists", "/dev/sdc", "BOX-I1", false, false};
const Profile kQm    {"QM family",        "/dev/sdd", "BOX-M1", true,  false};
const Profile kPage44{"page 0x44",        "/dev/sde", "BOX-P1", false, true};
// clang-format on
constexpr char kRemoteHost[] = "/dev/sdf"; // D2:9, the destination side of D1's mirrors
constexpr char kPage44Remote[] = "/dev/sdg"; // P2:9, the destination side of P1's mirrors

std::string Scenario() {
    std::string s = std::string("array D1 boxid=\"BOX-D1\" profile=detail\n") +
                    "array D2 boxid=\"BOX-D2\" profile=detail\n" +
                    "array I1 boxid=\"BOX-I1\" profile=idlist\n" +
                    "array M1 boxid=\"BOX-M1\" profile=qm\n" +
                    "array P1 boxid=\"BOX-P1\" support=" + kPage44Support + "\n" +
                    "array P2 boxid=\"BOX-P2\" support=" + kPage44Support + "\n";
    for (const char *array : {"D1", "I1", "M1", "P1"})
        for (int olu = 5; olu <= 8; ++olu)
            s += "volume " + std::string(array) + " " + std::to_string(olu) + " " +
                 std::to_string(kBlocks) + "\n";
    s += "volume P1 9 " + std::to_string(kBlocks) + " type=sdv\n"; // a snapshot's destination
    for (const char *array : {"D2", "P2"})
        for (int olu = 9; olu <= 10; ++olu)
            s += "volume " + std::string(array) + " " + std::to_string(olu) + " " +
                 std::to_string(kBlocks) + "\n";
    s += "disk /dev/sdb 8:16 D1 5\ndisk /dev/sdc 8:32 I1 5\ndisk /dev/sdd 8:48 M1 5\n"
         "disk /dev/sde 8:64 P1 5\ndisk /dev/sdf 8:80 D2 9\ndisk /dev/sdg 8:96 P2 9\n";
    return s;
}

// The simulator's name of a profile's array ("D1" for "BOX-D1").
std::string ArrayOf(const Profile &p) { return std::string(p.pBox).substr(4); }

using Pair = CopyPair;
// A pair inside a profile's array; the QM family's mirrors take copy
// interval 255 only.
Pair On(const Profile &p, uint32_t src = 5, uint32_t dst = 6) {
    return Pair{.sSrc = p.pBox, .sDst = p.pBox, .uiSrcOlu = src, .uiDstOlu = dst,
                .uiInterval = p.bQm ? 255u : 0u};
}
Pair ById(uint32_t id) { return Pair{.uiSrcOlu = id, .uiDstOlu = 0}; }
const Pair kRemote{.sSrc = "BOX-D1", .sDst = "BOX-D2", .uiSrcOlu = 5, .uiDstOlu = 9};

using Control = int (*)(const char *, const char *, uint32_t, uint32_t, uint32_t, uint32_t,
                        uint32_t, const char *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                        unsigned char *);
using DetailQuery = int (*)(const char *, const char *, uint32_t, uint32_t, uint32_t, uint32_t,
                            uint32_t, const char *, uint32_t, uint32_t, uint32_t, uint32_t,
                            uint32_t, unsigned char *, unsigned char *);

class LvClassic : public LvApiTest {
protected:
    LvClassic() : LvApiTest(Scenario()) {}

    // The pair's words as the functions take them.
    struct Words {
        std::string src, dst;
        uint32_t w[9];
    };
    static Words Of(const Pair &p) {
        return {BoxId(p.sSrc),
                BoxId(p.sDst),
                {p.uiSrcOlu, static_cast<uint32_t>(p.ullSrcExt >> 32),
                 static_cast<uint32_t>(p.ullSrcExt), static_cast<uint32_t>(p.ullSize >> 32),
                 static_cast<uint32_t>(p.ullSize), p.uiDstOlu,
                 static_cast<uint32_t>(p.ullDstExt >> 32), static_cast<uint32_t>(p.ullDstExt),
                 p.uiInterval}};
    }
    // Calls fn on host with the pair's words and then the rest of its
    // arguments.
    template <class Fn, class... Rest>
    static int WithPair(Fn fn, const char *host, const Pair &p, Rest... rest) {
        const Words w = Of(p);
        return fn(host, w.src.data(), w.w[0], w.w[1], w.w[2], w.w[3], w.w[4], w.dst.data(), w.w[5],
                  w.w[6], w.w[7], w.w[8], rest...);
    }
    int Run(Control fn, const char *host, const Pair &p, uint32_t option) {
        Before();
        sim.clearLog();
        return After(WithPair(fn, host, p, option, sense));
    }
    int Detail(DetailQuery fn, const char *host, const Pair &p, uint32_t option,
               unsigned char *detail) {
        Before();
        sim.clearLog();
        std::memset(detail, 0xEE, kDetailLen);
        return After(WithPair(fn, host, p, option, detail, sense));
    }
    int Session(SessionQuery fn, const char *host, uint32_t id, unsigned char *detail) {
        sim.clearLog();
        std::memset(detail, 0xEE, kDetailLen);
        return QuerySession(fn, host, id, 0, detail);
    }
    int AnyDetail(const char *host, const Pair &p, uint32_t option, uint32_t length,
                  unsigned char *detail) {
        Before();
        sim.clearLog();
        std::memset(detail, 0xEE, kDetailLen);
        return After(WithPair(ZRKLVQueryDetail, host, p, option, length, detail, sense));
    }
    struct State {
        int rc;
        uint32_t status, phase, high, low, lapse;
    };
    State QueryVz(const char *host, const Pair &p, uint32_t option = 0) {
        Before();
        sim.clearLog();
        State s{0, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
        s.rc = After(WithPair(ZRKLVQueryVZ, host, p, option, &s.status, &s.phase, &s.high, &s.low, sense));
        return s;
    }
    State QueryKzp(const char *host, const Pair &p, uint32_t option = 0) {
        Before();
        sim.clearLog();
        State s{0, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
        s.rc = After(WithPair(ZRKLVQueryKZP, host, p, option, &s.status, &s.high, &s.low, &s.lapse, sense));
        return s;
    }
    int MultiSuspend(const char *host, const std::vector<CONC_SUS_PAIR_LV> &pairs,
                     uint32_t option, uint32_t *result) {
        Before();
        sim.clearLog();
        return After(ZRKLVMultiSuspendVZ(host, pairs.data(), static_cast<int>(pairs.size()),
                                         option, result, sense));
    }

    // The copy commands the arrays received since the last call began: the
    // parameter lists sent by their first byte, both families ("08 0a").
    std::string Lists() const { return SentPageCodes(sim, true); }
    // The reads of one TRAVO IN page, both families.
    size_t Reads(unsigned char page) const {
        size_t n = 0;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if ((r.cdb[0] == ZRK_OP_TRAVO_IN || r.cdb[0] == ZRK_OP_TRAVO_IN_QM) && r.cdb[2] == page)
                ++n;
        return n;
    }

    void Fresh(const std::vector<std::string> &sessions = {}) {
        Reload(Scenario(), sessions);
    }

    static constexpr size_t kDetailLen = 256;
};

// The bytes of a detail past the record: 0.
void ExpectZeroTail(const unsigned char *detail) {
    for (size_t i = sizeof(TVC_DETAIL_INFO); i < 256; ++i) ASSERT_EQ(detail[i], 0) << i;
}

// Bytes [from, to) of a detail read and of the record it is compared with.
void ExpectSameBytes(const unsigned char *got, const void *record, size_t from, size_t to) {
    const auto *want = static_cast<const unsigned char *>(record);
    for (size_t i = from; i < to; ++i) EXPECT_EQ(got[i], want[i]) << i;
}

// The bytes of a converted detail that the supplement takes from page 0x44:
// the secondary-access bits of byte 12, bytes 21, 23, 130, 131 and 144-151.
void ExpectSupplemented(const unsigned char *detail, const TVC_DETAIL_INFO &own) {
    EXPECT_EQ(detail[12] & ZRK_SESFLAG_SECONDARY, own.ucSessionFlags & ZRK_SESFLAG_SECONDARY);
    for (const size_t i : {21u, 23u, 130u, 131u}) ExpectSameBytes(detail, &own, i, i + 1);
    ExpectSameBytes(detail, &own, 144, 152);
}

// ---- the conversion of a classic VZ detail ----------------------------------------------

// Every byte of the classic record goes where the page-based record keeps
// it, or nowhere; every other byte of the result is 0.
TEST(DataconvRegTvc, MapsEveryByteOfTheClassicRecord) {
    RVZ_DETAIL_INFO source;
    auto *in = reinterpret_cast<unsigned char *>(&source);
    for (size_t i = 0; i < sizeof source; ++i) in[i] = static_cast<unsigned char>(0x80 + i);
    in[4] = 0xFF; // every flag

    TVC_DETAIL_INFO out;
    std::memset(&out, 0xEE, sizeof out);
    zrk::DataconvRegTvc(source, &out);
    const auto *o = reinterpret_cast<const unsigned char *>(&out);

    std::vector<int> expected(sizeof out, 0); // the source byte, or -1 for a constant
    auto from = [&](size_t to, size_t at, size_t length) {
        for (size_t i = 0; i < length; ++i) expected[to + i] = static_cast<int>(at + i) + 0x100;
    };
    from(0, 0, 4);      // identifiers
    from(15, 8, 2);     // transfer mode, mode-change state
    from(17, 16, 1);    // volume role
    from(18, 5, 3);     // phase, status, state byte
    from(24, 24, 40);   // source array
    from(72, 72, 40);   // destination array
    from(120, 120, 10); // OLUs, extent count
    from(134, 130, 2);  // the list entry's bytes 14-15
    from(140, 12, 4);   // copied blocks, low half
    from(156, 136, 4);  // source start, low half
    from(164, 140, 4);  // size, low half
    from(172, 144, 4);  // destination start, low half
    for (size_t i = 0; i < sizeof out; ++i) {
        SCOPED_TRACE(i);
        if (i == 4) {
            EXPECT_EQ(o[i], 2); // the VZ family
        } else if (i == 12) {
            EXPECT_EQ(o[i], 0xA0); // whole volume, remote
        } else if (i == 14) {
            EXPECT_EQ(o[i], 0x17); // destination side, the three modes
        } else if (expected[i] >= 0x100) {
            EXPECT_EQ(o[i], in[expected[i] - 0x100]);
        } else {
            EXPECT_EQ(o[i], 0);
        }
    }

    // No flag in, no flag out.
    in[4] = 0x48;
    zrk::DataconvRegTvc(source, &out);
    EXPECT_EQ(out.ucSessionFlags, 0);
    EXPECT_EQ(out.ucModeFlags, 0);
}

// ---- the point-in-time copies' queries -----------------------------------------------

// A KZP copy and a mirror on each classic array; the KZP queries read the
// copy in the page-based shape through the classic detail query, refuse the
// mirror and the QM family, send no parameter list and leave the failover
// conversion's mode alone. The classic counts have no high half; only the
// detail that comes from page 0x44 carries the array's 64-bit count.
TEST_F(LvClassic, KzpQueriesOnEveryClassicArray) {
    struct Case {
        Profile profile;
        uint32_t detailHigh; // CopiedBlock_high of the detail by pair
    };
    const Case cases[] = {{kDetail, 0}, {kIdList, 0}, {kPage44, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile.pName);
        const std::string a = ArrayOf(c.profile);
        Fresh({"9 kzp " + a + " 5 " + a + " 6 copied=0x100000021",
               "4 vz " + a + " 7 " + a + " 8"});
        ConvertCheckflg = 0x55;

        State s = QueryKzp(c.profile.pHost, On(c.profile));
        ASSERT_EQ(s.rc, 0) << ZRKerrno;
        EXPECT_TRUE(SenseClear());
        EXPECT_EQ(s.status, 2u);
        EXPECT_EQ(s.high, 0u);
        EXPECT_EQ(s.low, 0x21u);
        EXPECT_EQ(Lists(), "");
        s = QueryKzp(c.profile.pHost, ById(9), 0x4);
        ASSERT_EQ(s.rc, 0) << ZRKerrno;
        EXPECT_EQ(s.high, 0u);
        EXPECT_EQ(s.low, 0x21u);
        s = QueryKzp(c.profile.pHost, On(c.profile, 7, 8));
        EXPECT_EQ(s.rc, -1);
        EXPECT_EQ(ZRKerrno, 21); // a mirror
        EXPECT_EQ(s.status, 0xAAu);
        EXPECT_EQ(QueryKzp(c.profile.pHost, On(c.profile, 5, 7)).rc, -1);
        EXPECT_EQ(ZRKerrno, 21); // no session

        unsigned char detail[256];
        ASSERT_EQ(Detail(ZRKLVQueryKZPDetail, c.profile.pHost, On(c.profile), 0, detail), 0)
            << ZRKerrno;
        EXPECT_EQ(zrk::Be16(detail), 9);
        EXPECT_EQ(detail[4], 1);
        EXPECT_EQ(detail[19], 2);
        EXPECT_EQ(zrk::Be32(detail + 120), 5u);
        EXPECT_EQ(zrk::Be32(detail + 124), 6u);
        EXPECT_EQ(zrk::Be32(detail + 136), c.detailHigh);
        EXPECT_EQ(zrk::Be32(detail + 140), 0x21u);
        ExpectZeroTail(detail);
        EXPECT_EQ(Detail(ZRKLVQueryKZPDetail, c.profile.pHost, On(c.profile, 7, 8), 0, detail), -1);
        EXPECT_EQ(ZRKerrno, 21);
        EXPECT_EQ(detail[0], 0xEE);

        ASSERT_EQ(Session(ZRKLVQueryKZPSession, c.profile.pHost, 9, detail), 0) << ZRKerrno;
        EXPECT_EQ(zrk::Be16(detail), 9);
        EXPECT_EQ(detail[4], 1);
        EXPECT_EQ(zrk::Be32(detail + 124), 6u);
        ExpectZeroTail(detail);
        EXPECT_EQ(Lists(), "");
        // clang-format off
        const std::vector<ByIdCase> byId = {
            {9, 0, 0},
            {4, 0, 21},      // a mirror
            {0x1234, 0, 21}, // nothing
            {0x10000, 0, 55},
            {9, 0x4, 37},
        };
        // clang-format on
        ExpectQueriesById(ZRKLVQueryKZPSession, c.profile.pHost, byId, detail);
        EXPECT_EQ(ConvertCheckflg, 0x55);
    }
    ConvertCheckflg = 0;
}

// The detail of any copy kind, by pair and by identifier, on each classic
// array; min(Length, 256) bytes are written.
TEST_F(LvClassic, DetailOfAnyKindOnEveryClassicArray) {
    for (const Profile &p : {kDetail, kIdList, kPage44}) {
        SCOPED_TRACE(p.pName);
        const std::string a = ArrayOf(p);
        Fresh({"9 kzp " + a + " 5 " + a + " 6 copied=0x21",
               "4 vz " + a + " 7 " + a + " 8 copied=0x42"});
        ConvertCheckflg = 0x55;
        Pair beyond = On(p);
        beyond.ullSize = 1ull << 32;
        struct Case {
            const char *what;
            Pair pair;
            uint32_t option, length;
            int expected, id, kind;
        };
        // clang-format off
        const Case cases[] = {
            {"KZP by pair", On(p), 0, 256, 0, 9, 1},
            {"mirror by pair", On(p, 7, 8), 0, 256, 0, 4, 2},
            {"mirror by identifier", ById(4), 0x4, 256, 0, 4, 2},
            {"KZP by identifier, 300 bytes asked", ById(9), 0x4, 300, 0, 9, 1},
            {"KZP by identifier, 100 bytes asked", ById(9), 0x4, 100, 0, 9, 1},
            {"no session", On(p, 6, 7), 0, 256, 21, 0, 0},
            {"no identifier", ById(0x4321), 0x4, 256, 21, 0, 0},
            {"beyond 32 bits", beyond, 0, 256, 69, 0, 0},
        };
        // clang-format on
        for (const Case &c : cases) {
            SCOPED_TRACE(c.what);
            unsigned char detail[256];
            const int rc = AnyDetail(p.pHost, c.pair, c.option, c.length, detail);
            EXPECT_EQ(Lists(), "");
            if (c.expected != 0) {
                EXPECT_EQ(rc, -1);
                EXPECT_EQ(ZRKerrno, c.expected);
                EXPECT_EQ(detail[0], 0xEE);
                continue;
            }
            ASSERT_EQ(rc, 0) << ZRKerrno;
            EXPECT_EQ(zrk::Be16(detail), c.id);
            EXPECT_EQ(detail[4], c.kind);
            EXPECT_EQ(detail[19], 2);
            const size_t filled = std::min<uint32_t>(c.length, 256);
            for (size_t i = filled; i < 256; ++i) ASSERT_EQ(detail[i], 0xEE) << i;
            if (filled == 256) ExpectZeroTail(detail);
        }
        EXPECT_EQ(ConvertCheckflg, 0x55);
    }
    ConvertCheckflg = 0;
}

// ---- the mirrors ------------------------------------------------------------------------

// A local mirror's lifecycle on each classic array: the session changes
// send the classic lists, the queries read the state with its 32-bit count
// and the converted detail; only an array that answers page 0x44 is asked
// for it, once per detail.
TEST_F(LvClassic, LocalMirrorLifecycleOnEveryClassicArray) {
    struct Case {
        Profile profile;
        const char *start, *suspend, *resume, *change, *stop; // the lists sent
    };
    // clang-format off
    const Case cases[] = {
        {kDetail, "08", "0a", "0b", "46", "09"},
        {kIdList, "08", "0a", "0b", "",   "09"}, // no reversal
        {kPage44, "08", "0a", "0b", "46", "09"},
        {kQm,     "44", "0a", "0b", "",   "45"}, // no reversal
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile.pName);
        Fresh();
        const char *host = c.profile.pHost;
        const std::string a = ArrayOf(c.profile);
        ASSERT_EQ(Run(ZRKLVStartVZ, host, On(c.profile), 0), 0) << ZRKerrno;
        EXPECT_EQ(Lists(), c.start);
        EXPECT_TRUE(SenseClear());
        const int id = ZRKsessionid;
        ASSERT_GT(id, 0);
        EXPECT_EQ(Field(a, id, "pair"), a + ":5>" + a + ":6");

        State s = QueryVz(host, On(c.profile));
        ASSERT_EQ(s.rc, 0) << ZRKerrno;
        EXPECT_EQ(s.status, 2u);
        EXPECT_EQ(s.phase, 1u);
        EXPECT_EQ(s.high, 0u);
        EXPECT_EQ(Lists(), "");
        sim.advanceClock(1);
        s = QueryVz(host, On(c.profile));
        EXPECT_EQ(s.high, 0u);
        EXPECT_EQ(s.low, 262144u);
        sim.advanceClock(kBlocks / 262144 + 1);
        s = QueryVz(host, On(c.profile));
        EXPECT_EQ(s.phase, 2u);
        EXPECT_EQ(s.high, 0u); // the classic count has no high half

        ASSERT_EQ(Run(ZRKLVSuspendVZ, host, On(c.profile), 0), 0) << ZRKerrno;
        EXPECT_EQ(Lists(), c.suspend);
        EXPECT_EQ(QueryVz(host, On(c.profile)).status, 4u);
        ASSERT_EQ(Run(ZRKLVResumeVZ, host, ById(id), 0x4), 0) << ZRKerrno;
        EXPECT_EQ(Lists(), c.resume);
        EXPECT_EQ(Field(a, id, "status"), "2");
        sim.advanceClock(1);
        ASSERT_EQ(Run(ZRKLVSuspendVZ, host, On(c.profile), 0), 0) << ZRKerrno;
        // A reversal where the array offers it; else 17 and nothing sent.
        const bool reverse = *c.change != '\0';
        EXPECT_EQ(Run(ZRKLVChangeVZ, host, On(c.profile), 0x1000), reverse ? 0 : -1);
        EXPECT_EQ(ZRKerrno, reverse ? 0 : 17);
        EXPECT_EQ(Lists(), c.change);
        const uint32_t src = reverse ? 6 : 5, dst = reverse ? 5 : 6;
        EXPECT_EQ(Field(a, id, "pair"), a + ":" + std::to_string(src) + ">" + a + ":" +
                                            std::to_string(dst));
        const Pair reversed = On(c.profile, src, dst);

        unsigned char detail[256];
        ASSERT_EQ(Detail(ZRKLVQueryVZDetail, host, reversed, 0, detail), 0) << ZRKerrno;
        EXPECT_EQ(zrk::Be16(detail), id);
        EXPECT_EQ(detail[4], 2);
        EXPECT_EQ(detail[12] & 0x80, 0x80); // whole volume
        EXPECT_EQ(detail[19], 4);
        EXPECT_EQ(zrk::Be32(detail + 120), src);
        EXPECT_EQ(zrk::Be32(detail + 124), dst);
        EXPECT_EQ(zrk::Be16(detail + 128), 0); // no extent
        EXPECT_EQ(zrk::Be32(detail + 136), 0u);
        ExpectZeroTail(detail);
        EXPECT_EQ(Reads(ZRK_PAGE_TVC_DETAIL), c.profile.bPage44 ? 1u : 0u);
        ASSERT_EQ(Session(ZRKLVQueryVZSession, host, static_cast<uint32_t>(id), detail), 0)
            << ZRKerrno;
        EXPECT_EQ(zrk::Be16(detail), id);
        EXPECT_EQ(detail[4], 2);
        EXPECT_EQ(zrk::Be32(detail + 120), src);
        EXPECT_EQ(Reads(ZRK_PAGE_TVC_DETAIL), c.profile.bPage44 ? 1u : 0u);
        EXPECT_EQ(Lists(), "");

        ASSERT_EQ(Run(ZRKLVStopVZ, host, ById(id), 0x4), 0) << ZRKerrno;
        EXPECT_EQ(Lists(), c.stop);
        EXPECT_TRUE(sim.sessions(a).empty());
        EXPECT_EQ(QueryVz(host, reversed).rc, -1);
        EXPECT_EQ(ZRKerrno, 21);
        EXPECT_EQ(Session(ZRKLVQueryVZSession, host, static_cast<uint32_t>(id), detail), -1);
        EXPECT_EQ(ZRKerrno, 21);
    }
}

// The supplement: on an array that answers page 0x44 the converted detail
// receives the bytes only that page holds, and reads as the page itself in
// every byte the classic record carries.
TEST_F(LvClassic, ConvertedDetailIsCompletedFromPage44) {
    Fresh({"3 vz P1 5 P1 6 secondary=2 srcext=0x100 size=0x200 dstext=0x300 copied=0x44"});
    unsigned char detail[256];
    ASSERT_EQ(Detail(ZRKLVQueryVZDetail, kPage44.pHost,
                     Pair{.sSrc = "BOX-P1", .sDst = "BOX-P1", .uiSrcOlu = 5, .uiDstOlu = 6,
                          .ullSrcExt = 0x100, .ullSize = 0x200, .ullDstExt = 0x300},
                     0, detail),
              0)
        << ZRKerrno;
    EXPECT_EQ(Reads(ZRK_PAGE_TVC_DETAIL), 1u);
    unsigned char bySession[256];
    ASSERT_EQ(Session(ZRKLVQueryVZSession, kPage44.pHost, 3, bySession), 0) << ZRKerrno;
    EXPECT_EQ(zrksim::toHex({detail, detail + 256}), zrksim::toHex({bySession, bySession + 256}));

    // The array's own record.
    PrepareOperation(sim, kPage44.pHost);
    TVC_DETAIL_INFO own{};
    const unsigned char id[2] = {0, 3};
    ASSERT_EQ(GetSessionDetailInfoForLV(kPage44.pHost, id, &own), 0) << ZRKerrno;
    EXPECT_EQ(detail[12] & ZRK_SESFLAG_SECONDARY, 2); // secondary access, from the page
    EXPECT_FALSE(AllZero(detail + 144, 8));            // the start time, from the page
    ExpectSupplemented(detail, own);
    // What the classic record carries reads alike.
    ExpectSameBytes(detail, &own, 0, 5);       // identifiers, kind
    ExpectSameBytes(detail, &own, 18, 20);     // phase, status
    ExpectSameBytes(detail, &own, 120, 130);   // OLUs, extent count
    ExpectSameBytes(detail, &own, 140, 144);   // copied blocks
    ExpectSameBytes(detail, &own, 152, 176);   // extent

    // A failing page 0x44 fails the query with its sense: the caller gets no
    // half-completed record.
    const Pair pair{.sSrc = "BOX-P1", .sDst = "BOX-P1", .uiSrcOlu = 5, .uiDstOlu = 6,
                    .ullSrcExt = 0x100, .ullSize = 0x200, .ullDstExt = 0x300};
    NewCall();
    sim.injectSenseOnPage(ZRK_PAGE_TVC_DETAIL, 1, 5, 0x24, 0x00);
    EXPECT_EQ(Detail(ZRKLVQueryVZDetail, kPage44.pHost, pair, 0, detail), -1);
    EXPECT_NE(ZRKerrno, 0);
    EXPECT_EQ(detail[0], 0xEE);
    EXPECT_EQ(sense[2] & 0x0F, 5);
    EXPECT_EQ(sense[12], 0x24);
}

// The mirrors' queries by identifier on each classic array: a
// point-in-time copy is no mirror, and no option bit is taken.
TEST_F(LvClassic, VzQueriesByIdentifierOnEveryClassicArray) {
    for (const Profile &p : {kDetail, kIdList, kQm, kPage44}) {
        SCOPED_TRACE(p.pName);
        const std::string a = ArrayOf(p);
        Fresh({"4 vz " + a + " 5 " + a + " 6 copied=0x42 interval=255",
               "9 kzp " + a + " 7 " + a + " 8"});
        unsigned char detail[256];
        ASSERT_EQ(Session(ZRKLVQueryVZSession, p.pHost, 4, detail), 0) << ZRKerrno;
        EXPECT_EQ(zrk::Be16(detail), 4);
        EXPECT_EQ(detail[4], 2);
        EXPECT_EQ(detail[19], 2);
        EXPECT_EQ(zrk::Be32(detail + 140), 0x42u);
        ExpectZeroTail(detail);
        EXPECT_EQ(Reads(ZRK_PAGE_TVC_DETAIL), p.bPage44 ? 1u : 0u);
        const State s = QueryVz(p.pHost, ById(4), 0x4);
        ASSERT_EQ(s.rc, 0) << ZRKerrno;
        EXPECT_EQ(s.low, 0x42u);
        EXPECT_EQ(s.high, 0u);
        // clang-format off
        const std::vector<ByIdCase> byId = {
            {4, 0, 0},
            {9, 0, 21},      // a point-in-time copy
            {0x1234, 0, 21}, // nothing
            {0x10000, 0, 55},
            {4, 0x4, 37},
        };
        // clang-format on
        ExpectQueriesById(ZRKLVQueryVZSession, p.pHost, byId, detail);
        EXPECT_EQ(Lists(), "");
    }
}

// From the destination side of a mirror between two arrays the classic
// detail names the session by its second identifier, and the supplement
// asks page 0x44 for that one.
TEST_F(LvClassic, SupplementOnTheDestinationSide) {
    Fresh({"3 rvz P1 5 P2 9 partner=40 secondary=1"});
    const Pair pair{.sSrc = "BOX-P1", .sDst = "BOX-P2", .uiSrcOlu = 5, .uiDstOlu = 9};
    unsigned char detail[256];
    ASSERT_EQ(Detail(ZRKLVQueryVZDetail, kPage44Remote, pair, 0, detail), 0) << ZRKerrno;
    EXPECT_EQ(Reads(ZRK_PAGE_TVC_DETAIL), 1u);
    EXPECT_EQ(zrk::Be16(detail + 2), 40);
    EXPECT_EQ(detail[12] & 0x20, 0x20);
    EXPECT_EQ(detail[14] & 0x10, 0x10); // the destination side

    PrepareOperation(sim, kPage44Remote);
    TVC_DETAIL_INFO own{};
    const unsigned char id[2] = {0, 40};
    ASSERT_EQ(GetSessionDetailInfoForLV(kPage44Remote, id, &own), 0) << ZRKerrno;
    ExpectSupplemented(detail, own);
}

// Each command of a classic detail query with its supplement failing in
// turn: the call fails with a ZRKerrno and its device released, and writes
// nothing; the run left alone returns the detail.
TEST_F(LvClassic, DetailFaultWalk) {
    const Pair pair = On(kPage44);
    unsigned char detail[256];
    const FaultWalk walk = WalkFaults(
        sim,
        [&] {
            const int rc = Detail(ZRKLVQueryVZDetail, kPage44.pHost, pair, 0, detail);
            if (rc != 0) {
                EXPECT_EQ(detail[0], 0xEE);
            }
            return rc;
        },
        ReleasedAndReported(0), {.fnBeforeRun = [&] { Fresh({"3 vz P1 5 P1 6"}); }});
    ASSERT_TRUE(walk.bEnded);
    EXPECT_EQ(walk.iFaultedRuns, static_cast<int>(walk.clean.uiCommands));
    EXPECT_GT(walk.clean.uiCommands, 3u);
}

// A mirror between two arrays, started and driven from both hosts; the
// destination's host names it by its second identifier.
TEST_F(LvClassic, RemoteMirrorFromBothSides) {
    Fresh();
    ASSERT_EQ(Run(ZRKLVStartVZ, kDetail.pHost, kRemote, 0x20 | 0x100), 0) << ZRKerrno;
    EXPECT_EQ(Lists(), "18");
    const int id = ZRKsessionid;
    EXPECT_EQ(Field("D1", id, "pair"), "D1:5>D2:9");
    EXPECT_EQ(Field("D1", id, "mode"), "sync,split");
    const unsigned partner = static_cast<unsigned>(std::stoul(Field("D1", id, "partner")));

    State s = QueryVz(kRemoteHost, kRemote);
    ASSERT_EQ(s.rc, 0) << ZRKerrno;
    EXPECT_EQ(s.status, 2u);
    sim.advanceClock(60000);
    EXPECT_EQ(QueryVz(kDetail.pHost, kRemote).phase, 2u);

    ASSERT_EQ(Run(ZRKLVSuspendVZ, kRemoteHost, kRemote, 0x2), 0) << ZRKerrno;
    EXPECT_EQ(Lists(), "1a");
    EXPECT_EQ(Field("D1", id, "status"), "4");
    ASSERT_EQ(Run(ZRKLVResumeVZ, kRemoteHost, kRemote, 0x80), 0) << ZRKerrno;
    EXPECT_EQ(Lists(), "1b");
    EXPECT_EQ(Field("D1", id, "status"), "2");

    unsigned char detail[256];
    ASSERT_EQ(Session(ZRKLVQueryVZSession, kRemoteHost, partner, detail), 0) << ZRKerrno;
    EXPECT_EQ(detail[4], 2);
    EXPECT_EQ(detail[12] & 0x20, 0x20); // remote
    EXPECT_EQ(zrk::Be32(detail + 124), 9u);
    ASSERT_EQ(Detail(ZRKLVQueryVZDetail, kRemoteHost, kRemote, 0, detail), 0) << ZRKerrno;
    EXPECT_EQ(detail[12] & 0x20, 0x20);
    EXPECT_EQ(zrk::Be32(detail + 120), 5u);

    ASSERT_EQ(Run(ZRKLVStopVZ, kRemoteHost, kRemote, 0), 0) << ZRKerrno;
    EXPECT_EQ(Lists(), "19");
    EXPECT_TRUE(sim.sessions().empty());
}

// ---- the concurrent suspend ------------------------------------------------------------

TEST_F(LvClassic, ConcurrentSuspendOnTheClassicEngine) {
    Fresh({"3 vz D1 5 D1 6", "4 vz D1 7 D1 8"});
    const std::vector<CONC_SUS_PAIR_LV> local = {ConcSuspendPair(On(kDetail)),
                                                 ConcSuspendPair(On(kDetail, 7, 8))};
    uint32_t result[2] = {1, 1};
    ASSERT_EQ(MultiSuspend(kDetail.pHost, local, 0, result), 0) << ZRKerrno;
    EXPECT_EQ(Lists(), "50");
    // Each slot: the identifier, big-endian, then 2 bytes.
    const auto *slots = reinterpret_cast<const unsigned char *>(result);
    EXPECT_EQ(zrk::Be16(slots), 3);
    EXPECT_EQ(zrk::Be16(slots + 4), 4);
    EXPECT_EQ(Field("D1", 3, "status"), "4");
    EXPECT_EQ(Field("D1", 4, "status"), "4");

    // Mirrors between two arrays, from the destination's host, in
    // untransferred-data mode.
    Fresh({"3 rvz D1 5 D2 9", "4 rvz D1 6 D2 10"});
    const std::vector<CONC_SUS_PAIR_LV> remotes = {
        ConcSuspendPair(kRemote),
        ConcSuspendPair(Pair{.sSrc = "BOX-D1", .sDst = "BOX-D2", .uiSrcOlu = 6, .uiDstOlu = 10})};
    ASSERT_EQ(MultiSuspend(kRemoteHost, remotes, 0x10, result), 0) << ZRKerrno;
    EXPECT_EQ(Lists(), "50");
    EXPECT_EQ(Field("D1", 3, "status"), "4");
    EXPECT_EQ(Field("D1", 4, "status"), "4");

    // Refused before anything is sent: a pair beyond 32 bits, a mix.
    struct Case {
        const char *what;
        std::vector<CONC_SUS_PAIR_LV> pairs;
        int expected;
    };
    Pair high = On(kDetail, 7, 8);
    high.ullSize = 1ull << 32;
    const Pair remote{.sSrc = "BOX-D1", .sDst = "BOX-D2", .uiSrcOlu = 7, .uiDstOlu = 9};
    // clang-format off
    const Case cases[] = {
        {"size beyond 32 bits", {ConcSuspendPair(On(kDetail)), ConcSuspendPair(high)}, 8},
        {"local then remote", {ConcSuspendPair(On(kDetail)), ConcSuspendPair(remote)}, 67},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Fresh({"3 vz D1 5 D1 6", "4 vz D1 7 D1 8"});
        EXPECT_EQ(MultiSuspend(kDetail.pHost, c.pairs, 0, result), -1);
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Lists(), "");
        EXPECT_EQ(Field("D1", 3, "status"), "2");
    }
}

// ---- the point-in-time copies ---------------------------------------------------------

// Starts and stops of the point-in-time copies on each classic array: the
// lists sent, or the refusal of a kind the array does not announce (17).
TEST_F(LvClassic, PointInTimeCopiesOnEveryClassicArray) {
    struct Case {
        const char *what;
        Profile profile;
        Control start, stop;
        uint32_t dst, stopOption;
        const char *kind;   // the simulator's kind of the started session, "" refused
        const char *lists;  // start and stop lists
        int refusal;        // ZRKerrno of a refused start
    };
    // clang-format off
    const Case cases[] = {
        {"KZP",      kDetail, ZRKLVStartKZP,      ZRKLVStopKZP,      6, 0,   "kzp",      "04 05", 0},
        {"KZP",      kIdList, ZRKLVStartKZP,      ZRKLVStopKZP,      6, 0,   "kzp",      "04 05", 0},
        {"KZP",      kPage44, ZRKLVStartKZP,      ZRKLVStopKZP,      6, 0,   "kzp",      "04 05", 0},
        {"QuickKZP", kDetail, ZRKLVStartQuickKZP, ZRKLVStopQuickKZP, 6, 0x2, "quickkzp", "44 45", 0},
        {"QuickKZP", kIdList, ZRKLVStartQuickKZP, ZRKLVStopQuickKZP, 6, 0x2, "",         "",      17},
        {"SnapKZP",  kDetail, ZRKLVStartSnapKZP,  ZRKLVStopSnapKZP,  6, 0,   "",         "",      17},
        {"SnapKZP",  kPage44, ZRKLVStartSnapKZP,  ZRKLVStopSnapKZP,  9, 0,   "snapkzp",  "44 45", 0},
        {"SnapKZP into an ordinary volume", kPage44, ZRKLVStartSnapKZP, ZRKLVStopSnapKZP, 6, 0, "", "", 68},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << " on " << c.profile.pName);
        Fresh();
        const std::string a = ArrayOf(c.profile);
        const Pair pair = On(c.profile, 5, c.dst);
        const int rc = Run(c.start, c.profile.pHost, pair, 0);
        if (*c.kind == '\0') {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ZRKerrno, c.refusal);
            EXPECT_EQ(Lists(), "");
            EXPECT_TRUE(sim.sessions(a).empty());
            continue;
        }
        ASSERT_EQ(rc, 0) << ZRKerrno;
        std::string lists = Lists();
        const int id = ZRKsessionid;
        EXPECT_EQ(Field(a, id, "kind"), c.kind);
        EXPECT_EQ(Field(a, id, "pair"), a + ":5>" + a + ":" + std::to_string(c.dst));
        const State s = QueryKzp(c.profile.pHost, pair);
        ASSERT_EQ(s.rc, 0) << ZRKerrno;
        EXPECT_EQ(s.status, 2u);
        EXPECT_EQ(s.high, 0u);
        ASSERT_EQ(Run(c.stop, c.profile.pHost, pair, c.stopOption), 0) << ZRKerrno;
        lists += " " + Lists();
        EXPECT_EQ(lists, c.lists);
        EXPECT_TRUE(sim.sessions(a).empty());
    }
}

// What the classic engine cannot carry is refused before anything is sent,
// on every classic array: high halves (8), identifiers of 16 bits and more
// (55); the locality and option rules are those of every array.
TEST_F(LvClassic, ClassicLimitsBeforeAnyCommand) {
    struct Case {
        const char *what;
        Control fn;
        Pair pair;
        uint32_t option;
        int expected;
    };
    for (const Profile &p : {kDetail, kIdList, kQm, kPage44}) {
        SCOPED_TRACE(p.pName);
        Pair highSize = On(p);
        highSize.ullSize = 1ull << 32;
        Pair highExt = On(p);
        highExt.ullSrcExt = 1ull << 32;
        highExt.ullSize = 8;
        Pair remote = On(p);
        remote.sDst = "BOX-D2";
        // clang-format off
        const Case cases[] = {
            {"VZ start, size beyond 32 bits", ZRKLVStartVZ, highSize, 0, 8},
            {"KZP start, extent beyond 32 bits", ZRKLVStartKZP, highExt, 0, 8},
            {"VZ stop, identifier of 17 bits", ZRKLVStopVZ, ById(0x10000), 0x4, 55},
            {"VZ suspend, force on a local pair", ZRKLVSuspendVZ, On(p), 0x2, 37},
            {"QuickKZP start, remote pair", ZRKLVStartQuickKZP, remote, 0, 17},
            {"KZP stop, force on a local pair", ZRKLVStopKZP, On(p), 0x2, 37},
        };
        // clang-format on
        for (const Case &c : cases) {
            SCOPED_TRACE(c.what);
            Fresh();
            EXPECT_EQ(Run(c.fn, p.pHost, c.pair, c.option), -1);
            EXPECT_EQ(ZRKerrno, c.expected);
            EXPECT_EQ(Lists(), "");
            EXPECT_TRUE(SenseClear());
        }
    }
}

} // namespace
