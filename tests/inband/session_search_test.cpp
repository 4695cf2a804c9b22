// The session searches against the simulator on a volume that carries more
// sessions than one copy family's maximum session count: both engines (the
// page-based search and query, the classic searches and detail query), the
// identifier list built from the detail list and the concurrent suspend find
// the session through the whole detail list, read once, page by page, with
// no count page asked to size it; the list grows across pages and stops at
// what 16-bit identifiers can name; the page-based search over the
// session-id lists keeps every candidate of both families.
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkcmd.h"
#include "zrklist.h"
#include "zrktvc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kDisk[] = "/dev/sdb"; // A1:5

// A1 lets every family hold 4 sessions on all its volumes; volume 5 carries
// 3 KZP, 3 VZ and 1 RVZ session: each family within its maximum, the volume
// beyond it. The list names them in this order.
std::string Scenario(const std::string &profile, const std::string &maxima = "16,4,16,4") {
    return "array A1 boxid=\"BOX-A1\" profile=" + profile + " maxsessions=" + maxima +
           "\narray A2 boxid=\"BOX-A2\" profile=" + profile +
           "\nvolume A1 5 2097152\nvolume A1 6 2097152\nvolume A1 7 2097152\n"
           "volume A2 9 2097152\ndisk /dev/sdb 8:16 A1 5\n";
}
constexpr char kSessions[] =
    "session 1 kzp A1 5 A1 6 srcext=0 size=0x100 dstext=0\n"
    "session 2 kzp A1 5 A1 6 srcext=0x100 size=0x100 dstext=0x100\n"
    "session 3 kzp A1 5 A1 6 srcext=0x200 size=0x100 dstext=0x200\n"
    "session 4 vz A1 5 A1 7 srcext=0 size=0x100 dstext=0\n"
    "session 5 vz A1 5 A1 7 srcext=0x100 size=0x100 dstext=0x100\n"
    "session 6 vz A1 5 A1 7 srcext=0x200 size=0x100 dstext=0x200\n"
    "session 7 rvz A1 5 A2 9 partner=30\n";

// The pairs of the sessions searched for.
const CopyPair kKzp3{.uiDstOlu = 6, .ullSrcExt = 0x200, .ullSize = 0x100, .ullDstExt = 0x200};
const CopyPair kVz6{.uiDstOlu = 7, .ullSrcExt = 0x200, .ullSize = 0x100, .ullDstExt = 0x200};
const CopyPair kRvz7{.sDst = "BOX-A2", .uiDstOlu = 9};
const CopyPair kNone{.uiDstOlu = 7, .ullSrcExt = 0x300, .ullSize = 0x100, .ullDstExt = 0x300};

// What a search gives: its result, ZRKerrno, and the identifier found.
struct Outcome {
    int iRc, iErrno;
    unsigned uId;
};

// The searches, each as one call on kDisk for a pair.
using Search = std::function<Outcome(const CopyPair &)>;

Outcome TvcSearch(unsigned char kind, const CopyPair &p) {
    const COPY_REQ_LV request = TvcRequest(p, 0);
    unsigned char id[2] = {0xEE, 0xEE};
    TVC_DETAIL_INFO detail{};
    const int rc = SearchTvcSession(kDisk, kind, &request, 0, id, &detail);
    if (rc == 0 && zrk::DecodeTvcDetail(detail).uiSrcOlu != p.uiSrcOlu) return {-9, 0, 0};
    return {rc, ZRKerrno, zrk::Be16(id)};
}
Outcome ClassicSearch(bool vz, const CopyPair &p) {
    const COPY_REQ request = ClassicRequest(p);
    unsigned char id[2] = {0xEE, 0xEE};
    RVZ_DETAIL_INFO detail{};
    const unsigned char remote = ZRK_REMOTE_RVZ | ZRK_REMOTE_KZP;
    const int rc = vz ? SearchVzSession(kDisk, &request, remote, id, &detail)
                      : SearchKzpSession(kDisk, &request, remote, id, &detail);
    if (rc == 0 && zrk::Be16(detail.ucaSessionID) != zrk::Be16(id)) return {-9, 0, 0};
    return {rc, ZRKerrno, zrk::Be16(id)};
}
Outcome ClassicQuery(const CopyPair &p) {
    const COPY_REQ request = ClassicRequest(p);
    TVC_DETAIL_INFO detail{};
    const int rc = QueryDetail(kDisk, 0, &request, &detail);
    return {rc, ZRKerrno, rc == 0 ? zrk::DecodeTvcDetail(detail).uhSessionId : 0u};
}
// The large-volume public query of any copy kind.
Outcome PublicQuery(const CopyPair &p) {
    const std::string src = BoxId(p.sSrc), dst = BoxId(p.sDst);
    unsigned char detail[256] = {};
    unsigned char sense[ZRK_SENSE_LEN];
    const int rc = ZRKLVQueryDetail(kDisk, src.data(), p.uiSrcOlu, 0,
                                    static_cast<uint32_t>(p.ullSrcExt), 0,
                                    static_cast<uint32_t>(p.ullSize), dst.data(), p.uiDstOlu, 0,
                                    static_cast<uint32_t>(p.ullDstExt), 0, 0, sizeof detail,
                                    detail, sense);
    return {rc, ZRKerrno, rc == 0 ? static_cast<unsigned>(zrk::Be16(detail)) : 0u};
}

class SessionSearch : public InbandTest {
protected:
    SessionSearch() : InbandTest(Scenario("paged")) {}

    // The scenario, then what the API's common check leaves behind.
    void Load(const std::string &scenario) {
        Reload(scenario);
        PrepareOperation(sim, kDisk);
    }

    // The TRAVO IN pages of the log, in order ("00 43").
    std::string PagesRead() const {
        std::string pages;
        for (const zrksim::CdbRecord &r : sim.cdbLog()) {
            if (r.cdb[0] != ZRK_OP_TRAVO_IN) continue;
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x", r.cdb[2]);
            pages += (pages.empty() ? "" : " ") + std::string(hex);
        }
        return pages;
    }
    // The TRAVO IN commands of one page.
    size_t PageReads(int page) const {
        size_t n = 0;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.cdb[0] == ZRK_OP_TRAVO_IN && r.cdb[2] == page) ++n;
        return n;
    }
};

struct Case {
    const char *what;
    const char *profile;
    Search search;
    CopyPair pair;
    unsigned id;      // the session found, or 0
    int zrkErrno;     // 0, or the failure
    size_t commands;  // every array command of the call
    const char *pages; // the TRAVO IN pages among them
};

// ---- the searches -----------------------------------------------------------------

TEST_F(SessionSearch, BothEnginesFindTheSessionBeyondOneFamilysMaximum) {
    using namespace std::placeholders;
    const Search tvcVz = std::bind(TvcSearch, ZRK_ENGINE_VZ, _1);
    const Search tvcKzp = std::bind(TvcSearch, ZRK_ENGINE_KZP, _1);
    const Search tvcAny = std::bind(TvcSearch, ZRK_ENGINE_ANY, _1);
    const Search classicVz = std::bind(ClassicSearch, true, _1);
    const Search classicKzp = std::bind(ClassicSearch, false, _1);
    // The commands of the checks: the product (INQUIRY, the VPD page list,
    // page 0xF0 and the failover check's page 0xF2), the BoxID (page 0xF2
    // after the page list and page 0xF0), the support page. A detail-list
    // read checks the product and the support, then reads its one page.
    constexpr size_t kProduct = 7, kBoxId = 4, kSupport = 1;
    constexpr size_t kListRead = kProduct + kSupport + 1;
    constexpr size_t kQuery = kProduct + kBoxId + kSupport; // the classic query's own checks
    // clang-format off
    const Case cases[] = {
        {"page-based, VZ",                 "paged",  tvcVz,        kVz6,  6, 0, kListRead, "00 43"},
        {"page-based, KZP",                "paged",  tvcKzp,       kKzp3, 3, 0, kListRead, "00 43"},
        {"page-based, RVZ, any kind",      "paged",  tvcAny,       kRvz7, 7, 0, kListRead, "00 43"},
        {"page-based, no such session",    "paged",  tvcAny,       kNone, 0, ZRK_ERR_NO_SESSION, kListRead, "00 43"},
        {"page-based, classic query",      "paged",  ClassicQuery, kVz6,  6, 0, kQuery + kListRead, "00 00 43"},
        {"classic, VZ",                    "detail", classicVz,    kVz6,  6, 0, kListRead, "00 43"},
        {"classic, RVZ",                   "detail", classicVz,    kRvz7, 7, 0, kListRead, "00 43"},
        {"classic, KZP",                   "detail", classicKzp,   kKzp3, 3, 0, kListRead, "00 43"},
        {"classic, no such session",       "detail", classicVz,    kNone, 0, ZRK_ERR_NO_SESSION, kListRead, "00 43"},
        {"classic query, KZP after VZ",    "detail", ClassicQuery, kKzp3, 3, 0, kQuery + 2 * kListRead, "00 00 43 00 43"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(Scenario(c.profile) + kSessions);
        NewCall();
        const Outcome o = c.search(c.pair);
        if (c.zrkErrno == 0) {
            EXPECT_EQ(o.iRc, 0) << o.iErrno;
            EXPECT_EQ(o.uId, c.id);
        } else {
            EXPECT_EQ(o.iRc, -1);
            EXPECT_EQ(o.iErrno, c.zrkErrno);
        }
        EXPECT_EQ(sim.cdbLog().size(), c.commands) << PagesRead();
        EXPECT_EQ(PagesRead(), c.pages);
    }
}

TEST_F(SessionSearch, PublicQueryFindsTheSessionBeyondOneFamilysMaximum) {
    Load(Scenario("paged") + kSessions);
    const std::vector<std::pair<CopyPair, unsigned>> sought = {{kVz6, 6}, {kKzp3, 3}, {kRvz7, 7}};
    for (const auto &[pair, id] : sought) {
        SCOPED_TRACE(id);
        FreshCall();
        const Outcome o = PublicQuery(pair);
        ASSERT_EQ(o.iRc, 0) << o.iErrno;
        EXPECT_EQ(o.uId, id);
        // The list is read once, in one page.
        EXPECT_EQ(PageReads(0x43), 1u) << PagesRead();
    }
}

// ---- the other readers of the whole list ------------------------------------------

TEST_F(SessionSearch, IdentifierListsOfBothFamiliesBeyondOneFamilysMaximum) {
    Load(Scenario("paged") + kSessions);
    struct Family {
        int family;
        const char *head; // page, length, the family's maxima
        std::vector<unsigned> ids;
    };
    const Family families[] = {
        {ZRK_FAMILY_VZ, "19000000 00000048 0010000400100004", {4, 5, 6, 7}},
        {ZRK_FAMILY_KZP, "15000000 00000038 0010000400100004", {1, 2, 3}},
    };
    for (const Family &f : families) {
        SCOPED_TRACE(f.family);
        FreshCall();
        unsigned char *list = nullptr;
        ASSERT_EQ(GetTVCSessionIdList(kDisk, f.family, &list), 0) << ZRKerrno;
        const zrk::Buffer owned(list);
        EXPECT_EQ(Bytes(list, list + 16), Hex(f.head));
        for (size_t k = 0; k < f.ids.size(); ++k)
            EXPECT_EQ(zrk::Be16(list + 16 + 16 * k), f.ids[k]) << k;
        // The count page fills the header; the list is read once.
        EXPECT_EQ(PagesRead(), f.family == ZRK_FAMILY_VZ ? "19 00 43" : "15 00 43");
    }
}

TEST_F(SessionSearch, ConcurrentSuspendFindsTheSessionBeyondOneFamilysMaximum) {
    Load(Scenario("paged") + kSessions);
    NewCall();
    const std::vector<CONC_SUS_PAIR_LV> pairs = {ConcSuspendPair(kVz6)};
    uint32_t result[1] = {1};
    unsigned char sense[ZRK_SENSE_LEN];
    ASSERT_EQ(ZRKLVMultiSuspendVZ(kDisk, pairs.data(), 1, 0, result, sense), 0) << ZRKerrno;
    const auto *slot = reinterpret_cast<const unsigned char *>(result);
    EXPECT_EQ(zrksim::toHex({slot, slot + 4}), "0006ffff");
    EXPECT_EQ(SessionField(sim, "A1", 6, "status"), "4");
    EXPECT_EQ(SessionField(sim, "A1", 5, "status"), "2");
    EXPECT_EQ(PageReads(0x43), 1u) << PagesRead();
}

// ---- a list of many pages ------------------------------------------------------------

TEST_F(SessionSearch, TheListGrowsAcrossPagesAndStopsAtSixteenBitIdentifiers) {
    // 200 sessions of each family: 400 in two pages; the RVZ session last.
    Load(Scenario("paged", "16,200,16,200") + "session 1 kzp A1 5 A1 6 count=200\n"
         "session 201 vz A1 5 A1 7 count=199\nsession 400 rvz A1 5 A2 9\n");
    FreshCall();
    Outcome o = TvcSearch(ZRK_ENGINE_ANY, kRvz7);
    ASSERT_EQ(o.iRc, 0) << o.iErrno;
    EXPECT_EQ(o.uId, 400u);
    EXPECT_EQ(PagesRead(), "00 43 43");

    NewCall();
    zrk::DetailList list;
    ASSERT_EQ(zrk::ReadDetailList(kDisk, 0, list), 0) << ZRKerrno;
    ASSERT_EQ(list.Count(), 400);
    for (int i = 0; i < list.Count(); ++i) ASSERT_EQ(zrk::Be16(list[i].ucaSessionID), i + 1) << i;

    // An array whose pages go on claiming 256 sessions each: the 256th page
    // would make 65536, one more than 16-bit identifiers can name.
    FreshCall();
    for (int page = 0; page < 256; ++page) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0100%04x", page + 1);
        sim.corrupt(0x43, 10, hex, 1, page);
    }
    EXPECT_EQ(zrk::ReadDetailList(kDisk, 0, list), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_SCSI);
    EXPECT_EQ(PageReads(0x43), 256u);
    sim.clearFaults();
}

// ---- the search over the session-id lists --------------------------------------------------

TEST_F(SessionSearch, IdListSearchKeepsEveryCandidateOfBothFamilies) {
    // Two sessions in each family at most; three candidates of the pair
    // across the two lists, the one sought last.
    Load(Scenario("paged", "16,2,16,2") +
         "session 1 kzp A1 5 A1 6\n"
         "session 2 vz A1 5 A1 6 srcext=0x100 size=0x100 dstext=0x100\n"
         "session 3 vz A1 5 A1 6 srcext=0x200 size=0x100 dstext=0x200\n");
    for (int b : {7, 15, 23, 31}) ClearSupportBits(b, 0x80); // no detail list
    FreshCall();
    const CopyPair sought{.ullSrcExt = 0x200, .ullSize = 0x100, .ullDstExt = 0x200};
    const Outcome o = TvcSearch(ZRK_ENGINE_ANY, sought);
    ASSERT_EQ(o.iRc, 0) << o.iErrno;
    EXPECT_EQ(o.uId, 3u);
    // Each list read whole (its count page, then the list), then the
    // candidates' details in list order.
    EXPECT_EQ(PagesRead(), "15 15 19 19 44 44 44");
}

// ---- failures on the way -------------------------------------------------------------

// The public query over a list of two pages, each of its commands failing in
// turn: every failure is reported and leaves no device open.
TEST_F(SessionSearch, QueryOverTwoPagesFaultWalk) {
    const std::string scenario = Scenario("paged", "16,200,16,200") +
                                 "session 1 kzp A1 5 A1 6 count=200\n"
                                 "session 201 vz A1 5 A1 7 count=199\nsession 400 rvz A1 5 A2 9\n";
    const FaultWalk walk = WalkFaults(
        sim, [&] { return PublicQuery(kRvz7).iRc; }, ReleasedAndReported(0),
        {.fnBeforeRun = [&] { Reload(scenario); }});
    ASSERT_TRUE(walk.bEnded);
    EXPECT_EQ(walk.iFaultedRuns, static_cast<int>(walk.clean.uiCommands));
    EXPECT_EQ(PageReads(0x43), 2u);
}

}  // namespace
