// One session reads the same through every source the detail query may use:
// the detail-list entry (page 0x43), the page-based record (page 0x44, by
// identifier and through the identifier lists) and the classic records of
// the VZ and remote KZP pages (0x1A, 0x16), from the host of either array of
// a remote session. The classic records carry no start time: the eight tail
// bytes of the record stay zero there; the classic VZ records carry the low
// half of the elapsed time only; every other byte is alike.
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkcmd.h"
#include "zrklvmain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kHostA1[] = "/dev/sdb"; // A1:5
constexpr char kHostA2[] = "/dev/sdc"; // A2:9

// The tail of the record that only the page-based sources carry.
constexpr size_t kTailAt = 144;
constexpr size_t kTailLen = 8;
// The high half of the elapsed time, which the classic VZ records lack.
constexpr size_t kLapseHighAt = 132;
constexpr size_t kLapseHighLen = 2;

std::string Arrays(const std::string &clause) {
    return "clock 1700000000\n" + TwoArrays(clause, {"5", "6", "7", "12"}, {"9", "10"}) +
           // Fields away from their defaults, every value inside 32 bits.
           "session 3 rvz A1 5 A2 9 partner=40 srcext=0x100 size=0x200000 dstext=0x300 mode=sync,split,manual "
           "modechange=1 phase=copying copied=0x1234 start=1699990000\n"
           "session 4 vz A1 6 A1 7 status=suspend phase=equivalent copied=99 start=1699000000\n"
           "session 9 kzp A1 12 A2 10 partner=41 srcext=0x10 size=0x400000 dstext=0x30 copied=0x21\n";
}

// Page 0x44 and the detail list; page 0x44 with identifier lists only; the
// classic pages with identifier lists only.
constexpr char kPagedList[] = "profile=paged";
constexpr char kPagedIdLists[] =
    "support=\"0000 0000 0400 0001 0000 0000 0000 0001 0000 0000 004b 0001 0000 0000 00ff 0001\"";
constexpr char kClassic[] = "profile=idlist";

std::string Hex(const TVC_DETAIL_INFO &d) { return zrksim::toHex(BytesOf(d)); }

class SessionSources : public InbandTest {
protected:
    SessionSources() : InbandTest(Arrays(kPagedList)) {}

    // The session's record through one source: the arrays of `clause`, the
    // clock one second on, the query from `host`.
    std::string Read(const std::string &clause, const char *host, unsigned int option, const COPY_REQ &request) {
        Reload(Arrays(clause));
        sim.advanceClock(1);
        TVC_DETAIL_INFO out;
        std::memset(&out, 0xEE, sizeof out);
        EXPECT_EQ(QueryDetail(host, option, &request, &out), 0) << ZRKerrno;
        return Hex(out);
    }
};

struct SessionCase {
    const char *what;
    const char *host;
    uint16_t id;      // its identifier on the host's array
    bool remoteKzp;   // read by identifier from the remote KZP page
    COPY_REQ request; // by pair
};

}  // namespace

TEST_F(SessionSources, OneSessionAlikeThroughEverySource) {
    const SessionCase sessions[] = {
        {"RVZ from the source's host", kHostA1, 3, false, ClassicRequest("BOX-A2", 5, 9, 0x100, 0x200000, 0x300)},
        {"RVZ from the destination's host", kHostA2, 40, false, ClassicRequest("BOX-A2", 5, 9, 0x100, 0x200000, 0x300)},
        {"local VZ", kHostA1, 4, false, ClassicRequest("BOX-A1", 6, 7)},
        {"remote KZP from the source's host", kHostA1, 9, true, ClassicRequest("BOX-A2", 12, 10, 0x10, 0x400000, 0x30)},
        {"remote KZP from the destination's host", kHostA2, 41, true,
         ClassicRequest("BOX-A2", 12, 10, 0x10, 0x400000, 0x30)},
    };
    for (const SessionCase &s : sessions) {
        SCOPED_TRACE(s.what);
        const COPY_REQ byId = ClassicById(s.id, s.remoteKzp);
        // The page 0x44 record by identifier is the reference.
        const std::string reference = Read(kPagedList, s.host, ZRK_OPT_SESSION_ID, byId);
        ASSERT_EQ(reference.size(), 2 * sizeof(TVC_DETAIL_INFO));
        EXPECT_NE(reference.substr(2 * kTailAt, 2 * kTailLen), std::string(2 * kTailLen, '0'));
        std::string classic = reference;
        classic.replace(2 * kTailAt, 2 * kTailLen, std::string(2 * kTailLen, '0'));
        if (!s.remoteKzp) classic.replace(2 * kLapseHighAt, 2 * kLapseHighLen, std::string(2 * kLapseHighLen, '0'));
        struct Source {
            const char *what;
            const char *clause;
            bool byId;
            const std::string &expected;
        } sources[] = {
            {"the detail-list entry (0x43)", kPagedList, false, reference},
            {"page 0x44 through the identifier lists", kPagedIdLists, false, reference},
            {"page 0x44 by identifier without a detail list", kPagedIdLists, true, reference},
            {"the classic record (0x1A, 0x16) by pair", kClassic, false, classic},
            {"the classic record (0x1A, 0x16) by identifier", kClassic, true, classic},
        };
        for (const Source &src : sources) {
            SCOPED_TRACE(src.what);
            EXPECT_EQ(Read(src.clause, s.host, src.byId ? ZRK_OPT_SESSION_ID : 0, src.byId ? byId : s.request),
                      src.expected);
        }
    }
}

TEST_F(SessionSources, TheClassicSourceReadsItsOwnPages) {
    // What the classic arrays were asked: nothing of the page-based engine,
    // and last the session's classic detail page.
    struct Case {
        const char *what;
        const char *host;
        unsigned int option;
        COPY_REQ request;
        int last; // the last TRAVO IN page
    } cases[] = {
        {"RVZ by pair", kHostA1, 0, ClassicRequest("BOX-A2", 5, 9, 0x100, 0x200000, 0x300), 0x1A},
        {"RVZ by identifier from the destination", kHostA2, ZRK_OPT_SESSION_ID, ClassicById(40, false), 0x1A},
        {"remote KZP by pair", kHostA2, 0, ClassicRequest("BOX-A2", 12, 10, 0x10, 0x400000, 0x30), 0x16},
        {"remote KZP by identifier", kHostA1, ZRK_OPT_SESSION_ID, ClassicById(9, true), 0x16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Reload(Arrays(kClassic));
        TVC_DETAIL_INFO out;
        ASSERT_EQ(QueryDetail(c.host, c.option, &c.request, &out), 0) << ZRKerrno;
        std::vector<int> pages;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.cdb[0] == ZRK_OP_TRAVO_IN) pages.push_back(r.cdb[2]);
        ASSERT_FALSE(pages.empty());
        EXPECT_EQ(pages.back(), c.last);
        EXPECT_EQ(std::count(pages.begin(), pages.end(), 0x43) + std::count(pages.begin(), pages.end(), 0x44), 0);
    }
}
