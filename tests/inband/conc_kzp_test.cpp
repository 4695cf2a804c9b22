// The concurrent KZP start against the simulator: the start list of 4 and 5
// sessions, the prepared pages, the roll-back of a refused preparation and
// of a refused start list, the sense mapping of the start list and the
// tolerated cascade results, the restart of QuickKZP sessions, and the
// checks of the entries. After every call the device of the call is closed.
#include "child.h"
#include "inband_support.h"
#include "zrkconckzp.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kHost[] = "/dev/sdb"; // A1:5

// The page-based profile with the concurrent KZP start (byte 4 bit 0x80).
const std::string kConcSupport =
    "support=" + HexDigits("000000008f0000f1 00000000000000f1 00000000004b00f1 0000000000ff10f1");

std::string Scenario(const std::string &support) {
    return "array A1 boxid=\"BOX-A1\" " + support + "\n"
           "volume A1 5 2097152\nvolume A1 6 2097152\nvolume A1 7 2097152\nvolume A1 8 2097152\n"
           "disk /dev/sdb 8:16 A1 5\n";
}

constexpr uint32_t kKzp = 0, kQuick = 8, kSnap = 16, kSnapP = 64;

CONC_SES_INFO Entry(uint32_t kind, uint32_t src, uint32_t dst, uint64_t srcExt, uint64_t size,
                    uint64_t dstExt, uint32_t option = 0) {
    CONC_SES_INFO e{};
    std::memcpy(e.SrcBoxID, BoxId("BOX-A1").data(), ZRK_BOXID_LEN);
    std::memcpy(e.DstBoxID, BoxId("BOX-A1").data(), ZRK_BOXID_LEN);
    e.SrcOlu = src;
    e.DstOlu = dst;
    e.SrcExtent_high = static_cast<uint32_t>(srcExt >> 32);
    e.SrcExtent_low = static_cast<uint32_t>(srcExt);
    e.SrcSize_high = static_cast<uint32_t>(size >> 32);
    e.SrcSize_low = static_cast<uint32_t>(size);
    e.DstExtent_high = static_cast<uint32_t>(dstExt >> 32);
    e.DstExtent_low = static_cast<uint32_t>(dstExt);
    e.CopyKind = kind;
    e.OptionFlag = option;
    return e;
}

// n KZP-family copies of 1000 blocks from A1:5 to A1:6, one range each.
std::vector<CONC_SES_INFO> Ranges(int n, uint32_t kind = kKzp, uint32_t option = 0) {
    std::vector<CONC_SES_INFO> v;
    for (int i = 0; i < n; ++i) v.push_back(Entry(kind, 5, 6, 1000u * i, 1000, 1000u * i, option));
    return v;
}

// The page a 0x44 (with prepare) or 0x45 carries for identifier `id` and the
// i-th entry of Ranges (flags: the kind's), or the identifier-only page.
std::string RangePage(const std::string &code, unsigned id, int i, unsigned flags = 0) {
    char idHex[16], ext[24], fl[16];
    std::snprintf(idHex, sizeof idHex, "%04x", id);
    std::snprintf(ext, sizeof ext, "%016llx", static_cast<unsigned long long>(1000u * i));
    std::snprintf(fl, sizeof fl, "%02x", flags);
    Patches p{{8, idHex}, {12, "01"}, {20, fl}, {128, "00000005"}, {132, "00000006"}, {137, "01"},
              {160, ext}, {168, "00000000000003e8"}, {176, ext}};
    if (code == "44") p.push_back({25, "10"});
    return SessionPageHex(p, code);
}
std::string IdOnlyPage(const std::string &code, unsigned id) {
    char idHex[16];
    std::snprintf(idHex, sizeof idHex, "%04x", id);
    return SessionPageHex({{8, idHex}, {12, "01"}}, code);
}

class ConcKzp : public LvApiTest {
protected:
    ConcKzp() : LvApiTest(Scenario(kConcSupport)) {}

    int Start(std::vector<CONC_SES_INFO> &entries, uint32_t count) {
        Before();
        return After(ZRKStartConcKZP(kHost, entries.data(), count, sense));
    }
    int Start(std::vector<CONC_SES_INFO> &entries) {
        return Start(entries, static_cast<uint32_t>(entries.size()));
    }
    // The concurrent start lists sent.
    std::vector<Bytes> Lists() const {
        std::vector<Bytes> out;
        for (const Bytes &p : Pages())
            if (!p.empty() && p[0] == 0x51) out.push_back(p);
        return out;
    }
    size_t SessionCount() const { return sim.sessions("A1").size(); }
};

// ---- the start list -------------------------------------------------------------------

// 4 sessions give 16 + 8 bytes, 5 give 16 + 16: identifiers in entry order,
// zero padding; every session starts.
TEST_F(ConcKzp, StartListLengths) {
    struct Case {
        int n;
        std::string list;
    };
    const std::vector<Case> cases = {
        {4, "51 00000000 000010 0004 0000 80 000000 0001 0002 0003 0004"},
        {5, "51 00000000 000018 0005 0000 80 000000 0001 0002 0003 0004 0005 000000000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        Reload(Scenario(kConcSupport));
        std::vector<CONC_SES_INFO> entries = Ranges(c.n);
        ASSERT_EQ(Start(entries), 0) << ZRKerrno;
        EXPECT_TRUE(SenseClear());
        std::string trail;
        for (int i = 0; i < c.n; ++i) trail += "reserve out44 ";
        EXPECT_EQ(CopyTrail(sim), "in19 " + trail + "out51");
        const std::vector<Bytes> lists = Lists();
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_EQ(zrksim::toHex(lists[0]), HexDigits(c.list));
        const std::vector<std::string> pages = SentPagesHex(sim);
        for (int i = 0; i < c.n; ++i)
            EXPECT_EQ(pages[static_cast<size_t>(i)], RangePage("44", static_cast<unsigned>(i + 1), i));
        for (int i = 1; i <= c.n; ++i) EXPECT_EQ(Field("A1", static_cast<unsigned>(i), "status"), "2") << i;
    }
}

// The kind's flags, the whole volume (flag 0x80, no extent count) and the
// pages of QuickKZP, SnapKZP and SnapKZP+ entries.
TEST_F(ConcKzp, PageOfEachKind) {
    struct Case {
        uint32_t kind;
        bool whole;
        std::string flags;
    };
    const std::vector<Case> cases = {
        {kKzp, false, "00"}, {kQuick, false, "08"}, {kSnap, false, "10"}, {kSnapP, false, "40"},
        {kKzp, true, "80"},  {kQuick, true, "88"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        const CONC_SES_INFO e = c.whole ? Entry(c.kind, 5, 7, 0, 0, 0) : Entry(c.kind, 5, 6, 16, 32, 48);
        TVC_EXEC page;
        const unsigned char id[2] = {0x01, 0x02};
        zrk::MakePrmFromConcSes(id, &page, e);
        page.ucPageCode = 0x45;
        Patches p{{8, "0102"}, {12, "01"}, {20, c.flags}, {128, "00000005"}};
        if (c.whole) {
            p.push_back({132, "00000007"});
        } else {
            p.insert(p.end(), {{132, "00000006"}, {137, "01"}, {167, "10"}, {175, "20"}, {183, "30"}});
        }
        EXPECT_EQ(SpanHex(&page, sizeof page), SessionPageHex(p, "45"));
    }
}

// ---- roll-back ----------------------------------------------------------------------

// The second of three preparations is refused: the first session is rolled
// back with its full page, the refused one with its identifier alone; the
// third is never reserved; the caller sees the refusal and the cleared entry.
TEST_F(ConcKzp, RefusedPreparationRollsBack) {
    std::vector<CONC_SES_INFO> entries = Ranges(3);
    const CONC_SES_INFO third = entries[2];
    sim.injectSenseOnList(0x44, 1, 5, 0x26, 0x92, kHost, 1);
    EXPECT_EQ(Start(entries), -1);
    const int refused = ZRKerrno;
    EXPECT_NE(refused, 0);
    EXPECT_EQ(CopyTrail(sim), "in19 reserve out44 reserve out44 out45 out45");
    const std::vector<std::string> pages = SentPagesHex(sim);
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(pages[2], RangePage("45", 1, 0));
    EXPECT_EQ(pages[3], IdOnlyPage("45", 2));
    EXPECT_TRUE(AllZero(reinterpret_cast<const unsigned char *>(&entries[1]), zrk::kConcEntryClearLen));
    EXPECT_EQ(entries[1].CopyKind, kKzp);
    EXPECT_EQ(std::memcmp(&entries[2], &third, sizeof third), 0);
    EXPECT_EQ(std::memcmp(&entries[0], &Ranges(1)[0], sizeof third), 0);
    EXPECT_EQ(sense[2] & 0x0F, 5);
    EXPECT_EQ(sense[12], 0x26);
    EXPECT_EQ(sense[13], 0x92);
    EXPECT_EQ(SessionCount(), 0u);
}

// A refused reservation rolls back only the sessions before it.
TEST_F(ConcKzp, RefusedReservationRollsBackTheEarlierOnes) {
    std::vector<CONC_SES_INFO> entries = Ranges(3);
    sim.injectSenseOnPage(0x00, 1, 5, 0x24, 0x00, kHost, 2); // after the support read and one reserve
    EXPECT_EQ(Start(entries), -1);
    EXPECT_EQ(CopyTrail(sim), "in19 reserve out44 reserve out45");
    EXPECT_EQ(SentPagesHex(sim).back(), RangePage("45", 1, 0));
    EXPECT_EQ(sense[12], 0x24);
    EXPECT_EQ(SessionCount(), 0u);
}

// The refusals of the start list: the mapped code, and with 0x40000 in the
// first entry a cascade code counts as success (nothing rolled back).
TEST_F(ConcKzp, RefusedStartList) {
    struct Case {
        int asc, ascq;
        uint32_t option;
        int rc, code;
        bool rolledBack;
    };
    const std::vector<Case> cases = {
        {0x25, 0x00, 0, -1, ZRK_ERR_INVALID_DATA, true},
        {0x26, 0x00, 0, -1, ZRK_ERR_CONC_PARAM, true},
        {0x26, 0x91, 0, -1, ZRK_ERR_CONC_START, true},
        {0x26, 0xAB, 0, -1, ZRK_ERR_CASCADE_ARRAYS, true},
        {0x26, 0xAB, ZRK_OPT_ACCEPT_CASCADE, 0, ZRK_ERR_CASCADE_ARRAYS, false},
        {0x26, 0x91, ZRK_OPT_ACCEPT_CASCADE, -1, ZRK_ERR_CONC_START, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.asc) + "/" + std::to_string(c.ascq) + " " + std::to_string(c.option));
        Reload(Scenario(kConcSupport));
        std::vector<CONC_SES_INFO> entries = Ranges(3, kKzp, c.option);
        sim.injectSenseOnList(0x51, 1, 5, c.asc, c.ascq, kHost);
        EXPECT_EQ(Start(entries), c.rc);
        EXPECT_EQ(ZRKerrno, c.code);
        const std::string prepared = "in19 reserve out44 reserve out44 reserve out44 out51";
        EXPECT_EQ(CopyTrail(sim), prepared + (c.rolledBack ? " out45 out45 out45" : ""));
        if (c.rolledBack) {
            EXPECT_EQ(sense[12], c.asc);
            EXPECT_EQ(sense[13], c.ascq);
            EXPECT_EQ(SessionCount(), 0u);
            const std::vector<std::string> pages = SentPagesHex(sim);
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(pages[static_cast<size_t>(4 + i)], RangePage("45", static_cast<unsigned>(i + 1), i));
        } else {
            EXPECT_TRUE(SenseClear());
        }
    }
}

// The array's own cascade condition: a source that another array mirrors
// into. The array starts the sessions and reports 5/26/AB; accepted, the
// start stands; otherwise every session is rolled back.
TEST_F(ConcKzp, CascadeConditionFromTheArray) {
    for (uint32_t option : {0u, uint32_t{ZRK_OPT_ACCEPT_CASCADE}}) {
        SCOPED_TRACE(option);
        Reload(Scenario(kConcSupport) + "array B1 boxid=\"BOX-B1\"\nvolume B1 1 2097152\n",
               {"9 vz B1 1 A1 5 partner=9"});
        std::vector<CONC_SES_INFO> entries = Ranges(2, kKzp, option);
        EXPECT_EQ(Start(entries), option != 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_CASCADE_ARRAYS);
        EXPECT_EQ(CopyTrail(sim), "in19 reserve out44 reserve out44 out51" +
                                      std::string(option != 0 ? "" : " out45 out45"));
        EXPECT_EQ(SessionCount(), option != 0 ? 3u : 1u);
        EXPECT_EQ(sense[13], option != 0 ? 0x00 : 0xAB);
    }
}

// ---- restart ------------------------------------------------------------------------

// QuickKZP sessions found in the detail list restart at one instant; no
// identifier is reserved and nothing is prepared.
TEST_F(ConcKzp, RestartQuickSessions) {
    Reload(Scenario(kConcSupport),
           {"3 quickkzp A1 5 A1 6 srcext=0 size=1000 dstext=0 phase=tracking diff=10 copied=1000",
            "4 quickkzp A1 5 A1 6 srcext=1000 size=1000 dstext=1000 phase=trackcopy",
            "5 quickkzp A1 7 A1 8 phase=tracking"});
    std::vector<CONC_SES_INFO> entries = {Entry(kQuick, 7, 8, 0, 0, 0, ZRK_OPT_RESTART),
                                          Entry(kQuick, 5, 6, 1000, 1000, 1000, ZRK_OPT_RESTART),
                                          Entry(kQuick, 5, 6, 0, 1000, 0, ZRK_OPT_RESTART)};
    ASSERT_EQ(Start(entries), 0) << ZRKerrno;
    EXPECT_EQ(CopyTrail(sim).find("reserve"), std::string::npos);
    EXPECT_EQ(CopyTrail(sim).find("out44"), std::string::npos);
    const std::vector<Bytes> lists = Lists();
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(zrksim::toHex(lists[0]), HexDigits("51 00000000 000010 0003 0000 40 000000 0005 0004 0003 0000"));
    EXPECT_EQ(Field("A1", 3, "phase"), "4"); // Tracking&Copying again
}

// A refused restart list rolls nothing back: nothing was prepared.
TEST_F(ConcKzp, RefusedRestartList) {
    Reload(Scenario(kConcSupport), {"3 quickkzp A1 7 A1 8 phase=tracking"});
    std::vector<CONC_SES_INFO> entries = {Entry(kQuick, 7, 8, 0, 0, 0, ZRK_OPT_RESTART)};
    sim.injectSenseOnList(0x51, 1, 5, 0x26, 0x91, kHost);
    EXPECT_EQ(Start(entries), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_CONC_START);
    EXPECT_EQ(Sent(), "51");
    EXPECT_EQ(sense[13], 0x91);
    EXPECT_EQ(Field("A1", 3, "phase"), "3");
}

// A restart of a session that is missing or not tracking sends no list.
TEST_F(ConcKzp, RestartRefusals) {
    struct Case {
        std::string session;
        int code;
    };
    const std::vector<Case> cases = {
        {"3 quickkzp A1 7 A1 8 phase=copying tracking=no", ZRK_ERR_SEQUENCE},
        {"3 quickkzp A1 7 A1 8 status=suspend phase=tracking", ZRK_ERR_SEQUENCE},
        {"3 kzp A1 7 A1 8", ZRK_ERR_NO_SESSION},
        {"3 quickkzp A1 5 A1 6 size=1000", ZRK_ERR_NO_SESSION},
        {"", ZRK_ERR_NO_SESSION},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.session);
        Reload(Scenario(kConcSupport), c.session.empty() ? std::vector<std::string>{}
                                                         : std::vector<std::string>{c.session});
        std::vector<CONC_SES_INFO> entries = {Entry(kQuick, 7, 8, 0, 0, 0, ZRK_OPT_RESTART)};
        EXPECT_EQ(Start(entries), -1);
        EXPECT_EQ(ZRKerrno, c.code);
        EXPECT_TRUE(Lists().empty());
        EXPECT_TRUE(Sent().empty());
    }
}

// ---- checks ---------------------------------------------------------------------------

TEST_F(ConcKzp, EntryChecks) {
    const uint32_t R = ZRK_OPT_RESTART, A = ZRK_OPT_ACCEPT_CASCADE;
    struct Case {
        std::vector<CONC_SES_INFO> entries;
        int code;
    };
    const std::vector<Case> cases = {
        {{Entry(kKzp, 5, 6, 0, 0, 0, R)}, ZRK_ERR_OPTION},
        {{Entry(kSnap, 5, 6, 0, 0, 0, 0x1)}, ZRK_ERR_OPTION},
        {{Entry(4, 5, 6, 0, 0, 0)}, ZRK_ERR_PARAMETER},
        {{Entry(kQuick, 5, 6, 0, 0, 0, R), Entry(kQuick, 7, 8, 0, 0, 0)}, ZRK_ERR_OPTION},
        {{Entry(kQuick, 5, 6, 0, 0, 0, R), Entry(kSnapP, 7, 8, 0, 0, 0)}, ZRK_ERR_OPTION},
        {{Entry(kKzp, 5, 6, 0, 0, 0, A), Entry(kQuick, 7, 8, 0, 0, 0)}, ZRK_ERR_OPTION},
        {{Entry(kKzp, 0x10000, 6, 0, 0, 0)}, ZRK_ERR_SRC_OLU},
        {{Entry(kKzp, 5, 0x10000, 0, 0, 0)}, ZRK_ERR_DST_OLU},
        {{Entry(kKzp, 5, 6, 1, 0, 0)}, ZRK_ERR_SIZE},
        {{Entry(kKzp, 5, 6, 0, 0, 1)}, ZRK_ERR_SIZE},
        {{Entry(kKzp, 5, 5, 0, 0, 0)}, ZRK_ERR_OLU},
        {{Entry(kKzp, 5, 5, 0, 100, 99)}, ZRK_ERR_EXTENT},
        {{Entry(kKzp, 5, 5, 99, 100, 0)}, ZRK_ERR_EXTENT},
        {{Entry(kKzp, 5, 5, 0xFFFFFFFFFFFFFF00ull, 0x200, 0x10)}, 0}, // no wrap-around overlap
        {{Entry(kKzp, 5, 5, 0, 100, 100)}, 0},
        {{Entry(kQuick, 5, 6, 0, 0, 0, R | A), Entry(kQuick, 7, 8, 0, 0, 0, R | A)}, 0},
        {{Entry(kKzp, 5, 6, 0, 0, 0), Entry(kSnapP, 7, 8, 0, 0, 0), Entry(kQuick, 5, 7, 0, 0, 0)}, 0},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        ZRKerrno = 0;
        const Case &c = cases[i];
        EXPECT_EQ(CheckParamStartConc(c.entries.data(), static_cast<uint32_t>(c.entries.size())),
                  c.code == 0 ? 0 : -1);
        if (c.code != 0) {
            EXPECT_EQ(ZRKerrno, c.code);
        }
    }
    EXPECT_EQ(CheckParamStartConc(nullptr, 1), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
}

// Refusals before any session is prepared: no entries, an entry refused, more
// entries than the array's maximum, an array without the concurrent start.
// The sense stays cleared and nothing is sent.
TEST_F(ConcKzp, RefusedBeforeAnyPage) {
    struct Case {
        std::string support;
        int n;
        bool nullEntries;
        int code;
    };
    const std::vector<Case> cases = {
        {kConcSupport, 0, false, ZRK_ERR_PARAMETER},
        {kConcSupport, 1, true, ZRK_ERR_PARAMETER},
        {kConcSupport + " maxsessions=16,16,16,16", 17, false, ZRK_ERR_PER_COMMAND},
        {"profile=paged", 2, false, ZRK_ERR_NOT_SUPPORT},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.support + " " + std::to_string(c.n));
        Reload(Scenario(c.support));
        std::vector<CONC_SES_INFO> entries = Ranges(c.n == 0 ? 1 : c.n);
        Before();
        EXPECT_EQ(After(ZRKStartConcKZP(kHost, c.nullEntries ? nullptr : entries.data(),
                                        static_cast<uint32_t>(c.n), sense)),
                  -1);
        EXPECT_EQ(ZRKerrno, c.code);
        EXPECT_TRUE(SenseClear());
        EXPECT_TRUE(Sent().empty());
    }
    Reload(Scenario(kConcSupport));
    std::vector<CONC_SES_INFO> bad = {Entry(kKzp, 5, 5, 0, 0, 0)};
    EXPECT_EQ(Start(bad), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_OLU);
    EXPECT_TRUE(SenseClear());
}

// A caller that is not root is refused before any command, its sense
// buffer cleared.
TEST_F(ConcKzp, RefusesNonRoot) {
    std::vector<CONC_SES_INFO> entries = Ranges(2);
    Before();
    const zrktest::ChildResult r = zrktest::runChild([&] {
        if (!zrktest::dropPrivileges()) return 90;
        unsigned char out[ZRK_SENSE_LEN];
        std::memset(out, 0xEE, sizeof out);
        if (ZRKStartConcKZP(kHost, entries.data(), 2, out) != -1) return 91;
        if (ZRKerrno != ZRK_ERR_PERMISSION) return 92;
        for (unsigned char b : out)
            if (b != 0) return 93;
        return 0;
    });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(SessionCount(), 0u);
}

// Every command of a start of three sessions failing in turn: the device is
// released after every run, a failed run hands over the failing command's
// sense and leaves no session on the array; the run without a fault starts
// all three.
TEST_F(ConcKzp, FaultWalk) {
    std::vector<CONC_SES_INFO> entries;
    const FaultWalk walk = WalkWithSense(
        sim,
        [&](unsigned char *out) {
            entries = Ranges(3);
            const int rc = ZRKStartConcKZP(kHost, entries.data(), 3, out);
            if (rc != 0) {
                EXPECT_EQ(SessionCount(), 0u);
            }
            return rc;
        },
        0);
    ASSERT_TRUE(walk.bEnded);
    EXPECT_EQ(walk.iFaultedRuns, static_cast<int>(walk.clean.uiCommands));
    EXPECT_EQ(SessionCount(), 3u);
}

}  // namespace
