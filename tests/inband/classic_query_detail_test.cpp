// The detail query of the classic engine against the simulator: one session
// reads as the same page-based detail record through every source an array
// offers (the detail page 0x44 by identifier and through the identifier
// lists, the detail list, the classic VZ and KZP pages), by pair and by
// identifier, each source filling the bytes it carries and no other; and a
// request that names no session fails with "no such session".
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkcmd.h"
#include "zrklvmain.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kDisk[] = "/dev/sdb"; // A1:5

// The page 0x44 detail without a detail list: the identifier lists are read.
constexpr char kPagedIdLists[] =
    "support=\"0000 0000 0400 0001 0000 0000 0000 0001 0000 0000 004b 0001 0000 0000 00ff 0001\"";

std::string Arrays(const std::string &clause) {
    return TwoArrays(clause, {"5", "6", "7", "10", "11", "12", "13"}, {"9"}, false);
}

// Sessions of every family on A1, with fields away from their defaults.
constexpr char kSessions[] =
    "session 3 rvz A1 5 A2 9 partner=40 srcext=0x100 size=0x200 dstext=0x300 mode=split,manual "
    "transfer=2 modechange=1 phase=copying copied=0x1234\n"
    "session 4 vz A1 6 A1 7 status=suspend phase=tracking copied=99\n"
    "session 8 quickkzp A1 10 A1 11 copied=5\n"
    "session 9 kzp A1 12 A1 13 srcext=0x10 size=0x20 dstext=0x30 copied=0x21\n";

// What a source carries of the page 0x44 record: a mask per byte.
// kLocalKzp: the local KZP page 0x04, which names no arrays.
enum class Source { kPage, kList, kVz, kKzp, kLocalKzp };
using Mask = std::array<uint8_t, sizeof(TVC_DETAIL_INFO)>;
struct Span {
    size_t offset, length;
    uint8_t bits;
};
Mask MaskOf(Source source) {
    Mask m{};
    std::vector<Span> spans;
    const std::vector<Span> boxes = {{0, 5, 0xFF}, {24, 40, 0xFF}, {72, 40, 0xFF}, {120, 10, 0xFF}};
    // clang-format off
    switch (source) {
    case Source::kPage: spans = {{0, sizeof m, 0xFF}}; break;
    case Source::kList: spans = {{12, 1, 0xFB}, {14, 8, 0xFF}, {23, 1, 0xFF}, {130, 46, 0xFF}}; break;
    case Source::kVz:   spans = {{12, 1, 0xA0}, {14, 1, 0x17}, {15, 6, 0xFF}, {134, 2, 0xFF}, {140, 4, 0xFF},
                                 {156, 4, 0xFF}, {164, 4, 0xFF}, {172, 4, 0xFF}}; break;
    case Source::kKzp:
    case Source::kLocalKzp: spans = {{12, 1, 0xA8}, {14, 1, 0x10}, {17, 4, 0xFF}, {132, 4, 0xFF}, {140, 4, 0xFF},
                                 {156, 4, 0xFF}, {164, 4, 0xFF}, {172, 4, 0xFF}}; break;
    }
    // clang-format on
    if (source != Source::kPage) spans.push_back(boxes[0]);
    if (source != Source::kPage && source != Source::kLocalKzp)
        spans.insert(spans.end(), boxes.begin() + 1, boxes.end() - 1);
    if (source != Source::kPage) spans.push_back(boxes.back());
    for (const Span &s : spans)
        for (size_t i = s.offset; i < s.offset + s.length; ++i) m[i] = s.bits;
    return m;
}

std::string Hex(const TVC_DETAIL_INFO &d) { return zrksim::toHex(BytesOf(d)); }

class ClassicQueryDetail : public InbandTest {
protected:
    ClassicQueryDetail() : InbandTest(Arrays("profile=paged")) {}

    // The page 0x44 record of session id as the paged array answers it.
    TVC_DETAIL_INFO Reference(uint16_t id) {
        Reload(Arrays("profile=paged") + kSessions);
        PrepareOperation(sim, kDisk);
        TVC_DETAIL_INFO d{};
        unsigned char sid[2];
        zrk::PutBe16(sid, id);
        EXPECT_EQ(GetSessionDetailInfoForLV(kDisk, sid, &d), 0) << ZRKerrno;
        return d;
    }
    int Query(unsigned int option, const COPY_REQ &request, TVC_DETAIL_INFO *out) {
        NewCall();
        std::memset(out, 0xEE, sizeof *out);
        return QueryDetail(kDisk, option, &request, out);
    }
};

struct SessionCase {
    const char *what;
    uint16_t id;
    bool vz; // the VZ family
    COPY_REQ request;
};
struct ProfileCase {
    const char *what;
    std::string clause;
    Source byPairVz, byPairKzp, byIdVz, byIdKzp;
};

TEST_F(ClassicQueryDetail, OneSessionReadsAlikeThroughEverySource) {
    // clang-format off
    const SessionCase sessions[] = {
        {"remote VZ", 3, true,  ClassicRequest("BOX-A2", 5, 9, 0x100, 0x200, 0x300)},
        {"local VZ",  4, true,  ClassicRequest("BOX-A1", 6, 7)},
        {"QuickKZP",  8, false, ClassicRequest("BOX-A1", 10, 11)},
        {"KZP",       9, false, ClassicRequest("BOX-A1", 12, 13, 0x10, 0x20, 0x30)},
    };
    const ProfileCase profiles[] = {
        // what                           clause            by pair VZ     by pair KZP    by id VZ       by id KZP
        {"page 0x44 and the detail list", "profile=paged",  Source::kList, Source::kList, Source::kPage, Source::kPage},
        {"page 0x44 and the id lists",    kPagedIdLists,    Source::kPage, Source::kPage, Source::kPage, Source::kPage},
        {"classic pages, detail list",    "profile=detail", Source::kVz,   Source::kKzp,      Source::kVz,   Source::kLocalKzp},
        {"classic pages, id lists",       "profile=idlist", Source::kVz,   Source::kLocalKzp, Source::kVz,   Source::kLocalKzp},
    };
    // clang-format on
    for (const SessionCase &s : sessions) {
        const TVC_DETAIL_INFO reference = Reference(s.id);
        for (const ProfileCase &p : profiles) {
            SCOPED_TRACE(testing::Message() << s.what << ", " << p.what);
            Reload(Arrays(p.clause) + kSessions);
            for (const bool byId : {false, true}) {
                SCOPED_TRACE(byId ? "by identifier" : "by pair");
                const Source source = byId ? (s.vz ? p.byIdVz : p.byIdKzp)
                                           : (s.vz ? p.byPairVz : p.byPairKzp);
                TVC_DETAIL_INFO out;
                ASSERT_EQ(Query(byId ? ZRK_OPT_SESSION_ID : 0, byId ? ClassicById(s.id) : s.request, &out), 0)
                    << ZRKerrno;
                const Mask mask = MaskOf(source);
                TVC_DETAIL_INFO expected;
                auto *e = reinterpret_cast<unsigned char *>(&expected);
                const auto *r = reinterpret_cast<const unsigned char *>(&reference);
                for (size_t i = 0; i < sizeof expected; ++i) e[i] = r[i] & mask[i];
                EXPECT_EQ(Hex(out), Hex(expected));
            }
        }
    }
}

TEST_F(ClassicQueryDetail, NoSuchSession) {
    // clang-format off
    const ProfileCase profiles[] = {
        {"page 0x44 and the detail list", "profile=paged",  {}, {}, {}, {}},
        {"page 0x44 and the id lists",    kPagedIdLists,    {}, {}, {}, {}},
        {"classic pages, detail list",    "profile=detail", {}, {}, {}, {}},
        {"classic pages, id lists",       "profile=idlist", {}, {}, {}, {}},
    };
    struct Case {
        const char *what;
        unsigned int option;
        COPY_REQ request;
    };
    const Case cases[] = {
        {"unknown identifier",        ZRK_OPT_SESSION_ID, ClassicById(77)},
        {"ended session",             ZRK_OPT_SESSION_ID, ClassicById(5)},
        {"no session of the pair",    0, ClassicRequest("BOX-A1", 5, 6)},
        {"another extent",            0, ClassicRequest("BOX-A1", 12, 13, 0x10, 0x20, 0x31)},
        {"whole volume, not extent",  0, ClassicRequest("BOX-A1", 12, 13)},
        {"remote pair, local request",0, ClassicRequest("BOX-A1", 5, 9, 0x100, 0x200, 0x300)},
    };
    // clang-format on
    for (const ProfileCase &p : profiles) {
        Reload(Arrays(p.clause) + kSessions + "session 5 vz A1 7 A1 6 status=idle\n");
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << p.what << ", " << c.what);
            TVC_DETAIL_INFO out;
            EXPECT_EQ(Query(c.option, c.request, &out), -1);
            EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SESSION);
        }
    }
}

TEST_F(ClassicQueryDetail, ADetailListEntryNeedsVolumeRoleOne) {
    Reload(Arrays("profile=paged") + kSessions);
    TVC_DETAIL_INFO out;
    ASSERT_EQ(Query(0, ClassicRequest("BOX-A1", 6, 7), &out), 0) << ZRKerrno;
    EXPECT_EQ(zrk::Be16(reinterpret_cast<const unsigned char *>(&out)), 4);
    zrk::CopyReq roleTwo = ClassicFields({.uiSrcOlu = 6, .uiDstOlu = 7});
    roleTwo.ucVolumeRole = 2;
    EXPECT_EQ(Query(0, zrk::EncodeCopyReq(roleTwo), &out), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SESSION);
}

// Without a detail list the identifier list of the KZP family is searched
// before that of the VZ family; every way out writes its end line.
TEST_F(ClassicQueryDetail, IdentifierListsInOrderAndTheLogLines) {
    // The log settings are read once, at the first line of the process.
    setenv("WXAPI_LOG_FLAG", "1F", 1);
    struct Case {
        const char *what;
        std::string clause;
        unsigned int option;
        COPY_REQ request;
        int failPage; // a TRAVO IN page refused once, or 0
        std::string pages; // the session pages read, in order (a list: its head, then the whole)
        const char *line;  // in the log
    };
    // clang-format off
    const Case cases[] = {
        {"KZP in the first list",   kPagedIdLists,    0, ClassicRequest("BOX-A1", 10, 11), 0, "15 15 44", "TVC Detail Information"},
        {"VZ in the second list",   kPagedIdLists,    0, ClassicRequest("BOX-A1", 6, 7),   0, "15 15 19 19 44", "QueryDetail OK end [/dev/sdb]"},
        {"through the detail list", "profile=paged",  0, ClassicRequest("BOX-A1", 6, 7),   0, "43",    " tpTvcDetail(TVC_DETAIL_INFO) ["},
        {"no session",              kPagedIdLists,    0, ClassicRequest("BOX-A1", 5, 6),   0, "15 15 19 19", "QueryDetail Err end [/dev/sdb]"},
        {"VZ page refused",         "profile=idlist", ZRK_OPT_SESSION_ID, ClassicById(4), 0x1A, "1a", "QueryDetai Err end [/dev/sdb]"},
        {"KZP page refused",        "profile=idlist", ZRK_OPT_SESSION_ID, ClassicById(8), 0x04, "1a 04", "QueryDetai Err end [/dev/sdb]"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Reload(Arrays(c.clause) + kSessions);
        const size_t before = root.logText().size();
        if (c.failPage != 0) sim.injectSenseOnPage(c.failPage, 1, 5, 0x24, 0, kDisk);
        TVC_DETAIL_INFO out;
        EXPECT_EQ(Query(c.option, c.request, &out), c.failPage == 0 && c.pages != "15 15 19 19" ? 0 : -1);
        std::string pages;
        for (const zrksim::CdbRecord &r : sim.cdbLog()) {
            if (r.cdb[0] != ZRK_OP_TRAVO_IN) continue;
            const int page = r.cdb[2];
            if (page == 0x00 || page == 0x05 || page == 0x09 || page == 0x20) continue;
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x", page);
            pages += (pages.empty() ? "" : " ") + std::string(hex);
        }
        EXPECT_EQ(pages, c.pages);
        const std::string log = root.logText().substr(before);
        EXPECT_NE(log.find("QueryDetail in [/dev/sdb]"), std::string::npos) << log;
        EXPECT_NE(log.find(c.line), std::string::npos) << log;
    }
    unsetenv("WXAPI_LOG_FLAG");
}

}  // namespace
