// The KZP operations of the classic engine against the simulator's classic
// arrays: the lists every start and stop sends (golden bytes from the CDB
// log) and what the array then holds, the commands each operation needs, the
// identifier given back after a refused start, the refusals that send
// nothing, the queries and the identifier list, QuickKZP, SnapKZP and the
// initialisation of a snap data volume.
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkcmd.h"
#include "zrktvc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <utility>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kHost[] = "/dev/sdb"; // A1:5

// The classic profiles, and the two of them with SnapKZP (byte 4 0x05) added.
constexpr char kDetail[] = "profile=detail";
constexpr char kIdList[] = "profile=idlist";
constexpr char kSnapDetail[] =
    "support=\"0000 0000 0500 00a1 0000 0000 0000 00a1 0000 0000 004b 00a1 0000 0000 00ff 00a1\"";
constexpr char kSnapIdList[] =
    "support=\"0000 0000 0500 0001 0000 0000 0000 0001 0000 0000 0001 0001 0000 0000 000f 0001\"";
// The identifier-list profile with QuickKZP (byte 4 0x01).
constexpr char kQuickIdList[] =
    "support=\"0000 0000 0100 0001 0000 0000 0000 0001 0000 0000 0001 0001 0000 0000 000f 0001\"";
constexpr char kQm[] = "profile=qm";

// Two arrays of one profile; on A1 the snap data volumes 8 (free) and 12 (in
// use) among ordinary volumes.
std::string Arrays(const std::string &clause, const std::string &extra = "") {
    return TwoArrays(clause + extra,
                     {"5", "6", "7", "8 olustatus=1", "10", "11", "12 olustatus=3", "13", "14", "15", "16"},
                     {"9", "15"});
}

using Operation = int (*)(const char *, unsigned int, COPY_REQ *);

class ClassicKzp : public InbandTest {
protected:
    ClassicKzp() : InbandTest(Arrays(kDetail)) {}

    void Load(const std::string &clause, const std::string &sessions = "",
              const std::string &extra = "") {
        Reload(Arrays(clause, extra) + sessions);
        ZRKsessionid = -7;
    }
    int Run(Operation op, unsigned int option, COPY_REQ request) {
        FreshCall();
        return op(kHost, option, &request);
    }

    // The copy commands sent, without the identification and the
    // copy-support read.
    std::string Trail() const { return CopyTrail(sim); }
    // The lists sent, as hex.
    std::vector<std::string> Lists() const { return SentPagesHex(sim); }
    size_t Sessions(const std::string &array) const { return sim.sessions(array).size(); }
};

const std::string kA1 = BoxIdHex("BOX-A1");
const std::string kA2 = BoxIdHex("BOX-A2");

// ---- KZP and remote KZP ------------------------------------------------------------------

TEST_F(ClassicKzp, KzpStartsAndStopsOnEveryClassicProfile) {
    struct Profile {
        const char *clause;
        bool snap; // the OLU status is read before a start
    };
    struct Case {
        const char *what;
        COPY_REQ request;
        bool remote;
        Patches list;        // the start list beside code, length and identifier 1
        const char *pair;    // as the array holds it
        Patches stopList;    // the stop list beside code and length
    };
    const Profile profiles[] = {{kDetail, false}, {kIdList, false}, {kSnapDetail, true},
                                {kSnapIdList, true}};
    // clang-format off
    const Case cases[] = {
        {"local, whole volume", ClassicRequest("BOX-A1", 5, 6), false,
         {{10, "80"}, {20, "01 00 0005 0006"}}, "A1:5>A1:6",
         {{8, "0001"}, {10, "80"}, {20, "01 00 0005 0006"}}},
        {"local, an extent", ClassicRequest("BOX-A1", 5, 6, 0x100, 0x200, 0x300), false,
         {{20, "01 00 0005 0006 000000 01 0000 00000100 00000200 00000300"}}, "A1:5>A1:6",
         {{8, "0001"}, {20, "01 00 0005 0006 000000 01 0000 00000100 00000200 00000300"}}},
        {"remote, whole volume", ClassicRequest("BOX-A2", 5, 9), true,
         {{12, "a0"}, {24, "01"}, {32, kA1}, {80, kA2}, {128, "00000005 00000009"}}, "A1:5>A2:9",
         {}},
    };
    // clang-format on
    for (const Profile &p : profiles) {
        for (const Case &c : cases) {
            for (const bool byId : {false, true}) {
                SCOPED_TRACE(testing::Message() << p.clause << ", " << c.what
                                                << (byId ? ", stopped by identifier" : ""));
                Load(p.clause);
                ASSERT_EQ(Run(StartKzp, 0, c.request), 0) << ZRKerrno;
                const char *code = c.remote ? "out14" : "out04";
                const std::string olus = p.snap ? (c.remote ? "in31 " : "in31 in31 ") : "";
                EXPECT_EQ(Trail(), olus + "reserve " + code);
                Patches expected = c.list;
                expected.push_back({0, c.remote ? "14" : "04"});
                expected.push_back({6, c.remote ? "0098 0001" : "0028 0001"});
                ASSERT_EQ(Lists().size(), 1u);
                EXPECT_EQ(Lists()[0], GoldenHex(c.remote ? 160 : 48, expected));
                EXPECT_EQ(ZRKsessionid, 1);
                EXPECT_EQ(Field("A1", 1, "kind"), "kzp");
                EXPECT_EQ(Field("A1", 1, "pair"), c.pair);

                ASSERT_EQ(Run(StopKzp, byId ? ZRK_OPT_SESSION_ID : 0,
                              byId ? ClassicById(1, c.remote) : c.request),
                          0)
                    << ZRKerrno;
                ASSERT_EQ(Lists().size(), 1u);
                const std::string stop = Lists()[0];
                EXPECT_EQ(stop.substr(0, 2), c.remote ? "15" : "05");
                if (!c.remote) {
                    Patches stopExpected = c.stopList;
                    stopExpected.push_back({0, "05"});
                    stopExpected.push_back({6, "0028"});
                    EXPECT_EQ(stop, GoldenHex(48, stopExpected));
                }
                EXPECT_EQ(Sessions("A1"), 0u);
                EXPECT_EQ(Sessions("A2"), 0u);
            }
        }
    }
}

// A forced remote stop carries the forced bit.
TEST_F(ClassicKzp, ForcedRemoteStop) {
    Load(kDetail, "session 3 kzp A1 5 A2 9 partner=4\n");
    ASSERT_EQ(Run(StopKzp, ZRK_OPT_FORCE, ClassicRequest("BOX-A2", 5, 9)), 0) << ZRKerrno;
    ASSERT_EQ(Lists().size(), 1u);
    const Bytes list = Hex(Lists()[0]);
    ASSERT_EQ(list.size(), 160u);
    EXPECT_EQ(list[0], 0x15);
    EXPECT_EQ(zrk::Be16(list.data() + 8), 3);
    EXPECT_EQ(zrk::Be16(list.data() + 10), 4);
    EXPECT_EQ(list[12] & ZRK_PRM_FORCED, ZRK_PRM_FORCED);
    EXPECT_EQ(Sessions("A1"), 0u);
}

// A start the array refuses gives its reserved identifier back with the local
// stop list, whatever its kind, and the caller sees the start's failure, also
// when the stop is refused too.
TEST_F(ClassicKzp, RefusedStartGivesItsIdentifierBack) {
    struct Case {
        const char *what;
        Operation op;
        unsigned int option;
        COPY_REQ request;
        int startCode;
        bool stopRefused;
    };
    // clang-format off
    const Case cases[] = {
        {"KZP",                 StartKzp,     0, ClassicRequest("BOX-A1", 5, 6), 0x04, false},
        {"remote KZP",          StartKzp,     0, ClassicRequest("BOX-A2", 5, 9), 0x14, false},
        {"QuickKZP",            StartDiffKzp, 0, ClassicRequest("BOX-A1", 5, 6), 0x44, false},
        {"SnapKZP",             StartSnapKzp, 0, ClassicRequest("BOX-A1", 5, 8), 0x44, false},
        {"KZP, stop refused",   StartKzp,     0, ClassicRequest("BOX-A1", 5, 6), 0x04, true},
        {"QuickKZP, stop refused", StartDiffKzp, 0, ClassicRequest("BOX-A1", 5, 6), 0x44, true},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(kSnapDetail);
        sim.injectSenseOnList(c.startCode, 1, 5, 0x26, 0x92, kHost);
        if (c.stopRefused) sim.injectSenseOnList(0x05, 1, 5, 0x26, 0x91, kHost);
        EXPECT_EQ(Run(c.op, c.option, c.request), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_BUSY);
        const Stored s = ReadStore();
        EXPECT_EQ(s.key, 5);
        EXPECT_EQ(s.asc, 0x26);
        EXPECT_EQ(s.ascq, 0x92);
        EXPECT_EQ(ZRKsessionid, -7);
        const auto lists = Lists();
        ASSERT_EQ(lists.size(), 2u);
        EXPECT_EQ(lists[0].substr(0, 2), zrksim::toHex(Bytes{static_cast<unsigned char>(c.startCode)}));
        EXPECT_EQ(lists[1], GoldenHex(48, {{0, "05"}, {6, "0028 0001"}, {20, "01"}}));
        if (!c.stopRefused) {
            EXPECT_EQ(Sessions("A1"), 0u) << "the reserved identifier is given back";
        }
    }
}

// What a stop refuses sends nothing.
TEST_F(ClassicKzp, StopRefusals) {
    constexpr char kSessions[] =
        "session 3 kzp A1 6 A1 7\nsession 8 quickkzp A1 10 A1 11\nsession 9 snapkzp A1 5 A1 8\n";
    struct Case {
        const char *what;
        const char *clause;
        unsigned int option;
        COPY_REQ request;
        int expected;
    };
    // clang-format off
    const Case cases[] = {
        {"a QuickKZP session by identifier", kSnapDetail, ZRK_OPT_SESSION_ID, ClassicById(8), ZRK_ERR_NO_SESSION},
        {"a SnapKZP session by identifier",  kSnapDetail, ZRK_OPT_SESSION_ID, ClassicById(9), ZRK_ERR_NO_SESSION},
        {"a QuickKZP session by pair",       kDetail,     0, ClassicRequest("BOX-A1", 10, 11), ZRK_ERR_NO_SESSION},
        {"no session of the identifier",     kDetail,     ZRK_OPT_SESSION_ID, ClassicById(77), ZRK_ERR_NO_SESSION},
        {"no session of the pair",           kIdList,     0, ClassicRequest("BOX-A1", 5, 6), ZRK_ERR_NO_SESSION},
        {"forced local stop by identifier",  kDetail,     ZRK_OPT_SESSION_ID | ZRK_OPT_FORCE, ClassicById(3), ZRK_ERR_OPTION},
        {"no KZP on the QM family",          kQm,         0, ClassicRequest("BOX-A1", 6, 7), ZRK_ERR_NOT_SUPPORT},
        {"another array's pair",             kDetail,     0, ClassicRequest("BOX-A1", 6, 7), 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const bool qm = std::string(c.clause) == kQm;
        Load(c.clause, qm ? "" : kSessions);
        COPY_REQ request = c.request;
        if (c.expected == 0) {
            std::memcpy(request.SrcBoxID, BoxId("BOX-A2").data(), ZRK_BOXID_LEN);
            std::memcpy(request.DstBoxID, BoxId("BOX-A2").data(), ZRK_BOXID_LEN);
        }
        EXPECT_EQ(Run(StopKzp, c.option, request), -1);
        EXPECT_EQ(ZRKerrno, c.expected == 0 ? ZRK_ERR_DIFFERENT_ZRK : c.expected);
        EXPECT_TRUE(Lists().empty());
        if (!qm) {
            EXPECT_EQ(Sessions("A1"), 3u);
        }
    }
}

// Every KZP operation of the QM family is refused before any copy command.
TEST_F(ClassicKzp, QmFamilyHasNoKzp) {
    Load(kQm);
    struct Case {
        const char *what;
        Operation op;
    };
    const Case cases[] = {{"StartKzp", StartKzp},         {"StopKzp", StopKzp},
                          {"StartDiffKzp", StartDiffKzp}, {"StopDiffKzp", StopDiffKzp},
                          {"StartSnapKzp", StartSnapKzp}, {"StopSnapKzp", StopSnapKzp}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Run(c.op, 0, ClassicRequest("BOX-A1", 5, 6)), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
        EXPECT_EQ(Trail(), "");
    }
    unsigned int result[3] = {};
    COPY_REQ request = ClassicRequest("BOX-A1", 5, 6);
    NewCall();
    EXPECT_EQ(QueryKzp(kHost, 0, &request, result), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    RKZP_DETAIL_INFO detail{};
    NewCall();
    EXPECT_EQ(QueryKzpDetail(kHost, 0, &request, &detail), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    NewCall();
    EXPECT_EQ(QueryKzpSession(kHost, 0, 1, 1, &detail), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    unsigned char *list = nullptr;
    int length = -1;
    NewCall();
    EXPECT_EQ(ListKzp(kHost, 0, 1, &list, &length), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(length, 0);
    NewCall();
    EXPECT_EQ(SnapVolInit(kHost, 8), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
}

// ---- queries -----------------------------------------------------------------------------

TEST_F(ClassicKzp, QueryKzpReportsStatusCopiedBlocksAndElapsedTime) {
    constexpr char kSessions[] = "clock 1000\n"
                                 "session 3 kzp A1 6 A1 7 copied=0x21 start=100\n"
                                 "session 4 kzp A1 5 A2 9 copied=0x42 status=halt start=400\n";
    struct Case {
        const char *what;
        unsigned int option;
        COPY_REQ request;
        unsigned int status, copied;
        int id;
    };
    // clang-format off
    const Case cases[] = {
        {"local by pair",         0,                  ClassicRequest("BOX-A1", 6, 7), 2, 0x21, 3},
        {"remote by pair",        0,                  ClassicRequest("BOX-A2", 5, 9), 5, 0x42, 4},
        {"local by identifier",   ZRK_OPT_SESSION_ID, ClassicById(3),                 2, 0x21, 3},
        {"remote by identifier",  ZRK_OPT_SESSION_ID, ClassicById(4, true),           5, 0x42, 4},
    };
    // clang-format on
    for (const char *clause : {kDetail, kIdList}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << clause << ", " << c.what);
            Load(clause, kSessions);
            unsigned int result[3] = {9, 9, 9};
            COPY_REQ request = c.request;
            NewCall();
            ASSERT_EQ(QueryKzp(kHost, c.option, &request, result), 0) << ZRKerrno;
            EXPECT_EQ(result[0], c.status);
            EXPECT_EQ(result[1], c.copied);
            // The elapsed time is the detail's, whichever way it was found.
            RKZP_DETAIL_INFO detail{};
            NewCall();
            ASSERT_EQ(QueryKzpSession(kHost, 0, c.id, 1, &detail), 0) << ZRKerrno;
            EXPECT_EQ(result[2], zrk::Be32(detail.ucaFamily8));
            EXPECT_TRUE(Lists().empty());
        }
    }
}

TEST_F(ClassicKzp, QueryKzpDetailAndSession) {
    constexpr char kSessions[] = "session 3 kzp A1 6 A1 7 copied=0x21\n"
                                 "session 4 kzp A1 5 A2 9 copied=0x42\n";
    for (const char *clause : {kDetail, kIdList}) {
        SCOPED_TRACE(clause);
        Load(clause, kSessions);
        RKZP_DETAIL_INFO detail{};
        COPY_REQ request = ClassicRequest("BOX-A2", 5, 9);
        NewCall();
        ASSERT_EQ(QueryKzpDetail(kHost, 0, &request, &detail), 0) << ZRKerrno;
        EXPECT_EQ(zrk::Be16(detail.ucaSessionID), 4);
        EXPECT_EQ(zrk::Be32(detail.ucaCopiedBlock), 0x42u);
        EXPECT_EQ(SpanHex(detail.DstBoxID, ZRK_BOXID_LEN), kA2);

        // A session between two arrays is the page 0x16 record; one inside
        // the array is read again from page 0x04.
        FreshCall();
        std::memset(&detail, 0xEE, sizeof detail);
        ASSERT_EQ(QueryKzpSession(kHost, 0, 4, 1, &detail), 0) << ZRKerrno;
        EXPECT_EQ(Trail(), "in16");
        EXPECT_EQ(SpanHex(detail.SrcBoxID, ZRK_BOXID_LEN), kA1);
        EXPECT_EQ(SpanHex(detail.DstBoxID, ZRK_BOXID_LEN), kA2);

        FreshCall();
        std::memset(&detail, 0xEE, sizeof detail);
        ASSERT_EQ(QueryKzpSession(kHost, 0, 3, 1, &detail), 0) << ZRKerrno;
        EXPECT_EQ(Trail(), "in16 in04");
        EXPECT_EQ(zrk::Be16(detail.ucaSessionID), 3);
        EXPECT_EQ(zrk::Be32(detail.ucaCopiedBlock), 0x21u);
        EXPECT_TRUE(AllZero(detail.SrcBoxID, ZRK_BOXID_LEN)) << "the local page names no arrays";

        struct Refusal {
            int id;
            unsigned char role;
            int expected;
        };
        const Refusal refusals[] = {{77, 1, ZRK_ERR_NO_SESSION},
                                    {3, 2, ZRK_ERR_NO_SESSION},
                                    {-1, 1, ZRK_ERR_SESSION_ID},
                                    {0x10003, 1, ZRK_ERR_SESSION_ID}};
        for (const Refusal &r : refusals) {
            SCOPED_TRACE(r.id);
            FreshCall();
            EXPECT_EQ(QueryKzpSession(kHost, 0, r.id, r.role, &detail), -1);
            EXPECT_EQ(ZRKerrno, r.expected);
            if (r.expected == ZRK_ERR_SESSION_ID) {
                EXPECT_TRUE(sim.cdbLog().empty()) << "refused before any command";
            }
        }
    }
}

// ---- the identifier list -------------------------------------------------------------------

struct IdList {
    std::vector<unsigned> vIds; // the identifiers, in order
    int iLength;                // what ListKzp reported
    uint32_t uiAnnounced;       // the list's own length field
};

TEST_F(ClassicKzp, ListKzpHoldsTheKzpFamilyOfTheRole) {
    constexpr char kSessions[] = "session 3 kzp A1 6 A1 7\n"
                                 "session 4 kzp A1 5 A2 9\n"
                                 "session 8 quickkzp A1 10 A1 11\n"
                                 "session 20 vz A1 5 A1 6\n"
                                 "session 21 kzp A1 5 A1 7 volrole=2\n";
    struct Case {
        const char *clause;
        unsigned char role;
        const char *trail;
        std::vector<unsigned> ids;
    };
    // clang-format off
    const Case cases[] = {
        // The detail list knows no volume roles.
        {kDetail, 1, "in15 in43",  {3, 4, 8, 21}},
        {kIdList, 1, "in15 in15",  {3, 4, 8}},
        {kIdList, 2, "in15 in15",  {21}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.clause << ", role " << int(c.role));
        Load(c.clause, kSessions);
        unsigned char *list = nullptr;
        int length = 0;
        FreshCall();
        ASSERT_EQ(ListKzp(kHost, 0, c.role, &list, &length), 0) << ZRKerrno;
        const std::unique_ptr<unsigned char, decltype(&std::free)> held(list, &std::free);
        EXPECT_EQ(Trail(), c.trail);
        ASSERT_EQ(length, static_cast<int>(16 + 16 * c.ids.size()));
        EXPECT_EQ(zrk::Be32(list + 4), 8 + 16 * c.ids.size());
        std::vector<unsigned> ids;
        for (int i = 0; i < (length - 16) / 16; ++i) ids.push_back(zrk::Be16(list + 16 + 16 * i));
        EXPECT_EQ(ids, c.ids);
    }
}

// An array whose list says more than the area it was read into holds: the
// list is cut to that area, and its length field and the length reported
// agree with what it holds.
TEST_F(ClassicKzp, ListKzpClampsWhatTheArrayAnnounces) {
    std::string sessions;
    for (int id = 1; id <= 6; ++id)
        sessions += "session " + std::to_string(id) + " kzp A1 5 A1 6 size=0x100 dstext=" +
                    std::to_string(id * 0x100) + "\n";
    struct Case {
        const char *what;
        const char *corrupt; // the length field of page 0x15 (bytes 6-7), or null
        size_t entries;
    };
    // clang-format off
    const Case cases[] = {
        {"more sessions than the maxima",   nullptr, 4},
        {"a length beyond the reply",       "fff8",  4},
        {"a length that is no entry count", "0009",  0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(kIdList, sessions, " maxsessions=2,2,2,2");
        if (c.corrupt != nullptr) sim.corrupt(0x15, 6, c.corrupt, 1, 1, "A1");
        unsigned char *list = nullptr;
        int length = 0;
        NewCall();
        ASSERT_EQ(ListKzp(kHost, 0, 1, &list, &length), 0) << ZRKerrno;
        const std::unique_ptr<unsigned char, decltype(&std::free)> held(list, &std::free);
        EXPECT_EQ(length, static_cast<int>(16 + 16 * c.entries));
        EXPECT_EQ(zrk::Be16(list + 6), 8 + 16 * c.entries);
        for (size_t i = 0; i < c.entries; ++i) EXPECT_EQ(zrk::Be16(list + 16 + 16 * i), i + 1);
    }
}

// ---- QuickKZP ----------------------------------------------------------------------------

TEST_F(ClassicKzp, QuickKzpStartRestartAndStop) {
    constexpr char kSessions[] = "session 3 kzp A1 6 A1 7\n"
                                 "session 8 quickkzp A1 10 A1 11 phase=tracking copied=100 diff=40\n";
    struct Case {
        const char *what;
        const char *clause;
        Operation op;
        unsigned int option;
        COPY_REQ request;
        int expected;       // 0 done, else ZRKerrno
        const char *trail;
        Patches list;       // the list beside code and length, when sent
        int sessionId;      // ZRKsessionid after it
    };
    // clang-format off
    const Case cases[] = {
        {"new start", kDetail, StartDiffKzp, 0, ClassicRequest("BOX-A1", 5, 13), 0, "reserve out44",
         {{8, "0001"}, {12, "01"}, {20, "88"}, {128, "00000005 0000000d"}}, 1},
        {"new start of an extent", kDetail, StartDiffKzp, 0, ClassicRequest("BOX-A1", 5, 13, 0x10, 0x20, 0x30), 0,
         "reserve out44", {{8, "0001"}, {12, "01"}, {20, "08"}, {128, "00000005 0000000d 0001"},
         {160, "0000000000000010 0000000000000020 0000000000000030"}}, 1},
        {"new start, snap data volumes checked", kSnapDetail, StartDiffKzp, 0, ClassicRequest("BOX-A1", 5, 13), 0,
         "in31 in31 reserve out44", {{8, "0001"}, {12, "01"}, {20, "88"}, {128, "00000005 0000000d"}}, 1},
        {"restart", kDetail, StartDiffKzp, ZRK_OPT_RESTART, ClassicRequest("BOX-A1", 10, 11), 0, "in43 out44",
         {{8, "0008"}, {12, "01"}, {20, "88"}, {25, "80"}, {128, "0000000a 0000000b"}}, 8},
        {"restart without a detail list", kQuickIdList, StartDiffKzp, ZRK_OPT_RESTART, ClassicRequest("BOX-A1", 10, 11), 0,
         "in15 in15 in04 out44", {{8, "0008"}, {12, "01"}, {20, "88"}, {25, "80"}, {128, "0000000a 0000000b"}}, 8},
        {"restart of a plain KZP session", kDetail, StartDiffKzp, ZRK_OPT_RESTART, ClassicRequest("BOX-A1", 6, 7),
         ZRK_ERR_NO_SESSION, "in43", {}, -7},
        {"start from a snap data volume", kSnapDetail, StartDiffKzp, 0, ClassicRequest("BOX-A1", 8, 6),
         ZRK_ERR_SDV, "in31", {}, -7},
        {"start to a snap data volume", kSnapDetail, StartDiffKzp, 0, ClassicRequest("BOX-A1", 5, 8),
         ZRK_ERR_SDV, "in31 in31", {}, -7},
        {"no QuickKZP on the array", kIdList, StartDiffKzp, 0, ClassicRequest("BOX-A1", 5, 13),
         ZRK_ERR_NOT_SUPPORT, "", {}, -7},
        {"stop by pair", kDetail, StopDiffKzp, 0, ClassicRequest("BOX-A1", 10, 11), 0, "in43 out45",
         {{8, "0008"}, {12, "01"}, {20, "88"}, {128, "0000000a 0000000b"}}, -7},
        {"stop tracking by identifier", kDetail, StopDiffKzp, ZRK_OPT_SESSION_ID | ZRK_OPT_STOP_TRACKING,
         ClassicById(8), 0, "in04 out45", {{8, "0008"}, {12, "01"}, {20, "88"}, {25, "40"}, {128, "0000000a 0000000b"}}, -7},
        {"stop of a plain KZP session", kDetail, StopDiffKzp, ZRK_OPT_SESSION_ID, ClassicById(3),
         ZRK_ERR_NO_SESSION, "in04", {}, -7},
        {"stop of no session", kDetail, StopDiffKzp, ZRK_OPT_SESSION_ID, ClassicById(30),
         ZRK_ERR_NO_SESSION, "in04", {}, -7},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.clause, kSessions);
        EXPECT_EQ(Run(c.op, c.option, c.request), c.expected == 0 ? 0 : -1) << ZRKerrno;
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Trail(), c.trail);
        EXPECT_EQ(ZRKsessionid, c.sessionId);
        if (c.list.empty()) {
            EXPECT_TRUE(Lists().empty());
            continue;
        }
        ASSERT_EQ(Lists().size(), 1u);
        EXPECT_EQ(Lists()[0], SessionPageHex(c.list, c.op == StartDiffKzp ? "44" : "45"));
    }
}

// A refused restart reports the array's failure and sends no stop.
TEST_F(ClassicKzp, RefusedQuickKzpRestartSendsNoStop) {
    Load(kDetail, "session 8 quickkzp A1 10 A1 11 phase=tracking\n");
    sim.injectSenseOnList(0x44, 1, 5, 0x26, 0x91, kHost);
    EXPECT_EQ(Run(StartDiffKzp, ZRK_OPT_RESTART, ClassicRequest("BOX-A1", 10, 11)), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_SEQUENCE);
    EXPECT_EQ(Trail(), "in43 out44");
    EXPECT_EQ(Field("A1", 8, "kind"), "quickkzp");
}

// ---- SnapKZP -----------------------------------------------------------------------------

TEST_F(ClassicKzp, SnapKzpStartAndStop) {
    constexpr char kSessions[] = "session 3 kzp A1 6 A1 7\n"
                                 "session 9 snapkzp A1 10 A1 12\n";
    COPY_REQ monitor = ClassicRequest("BOX-A1", 5, 0xFFFFFFFF);
    struct Case {
        const char *what;
        const char *clause;
        Operation op;
        unsigned int option;
        COPY_REQ request;
        int expected;
        const char *trail;
        Patches list;
    };
    // clang-format off
    const Case cases[] = {
        {"start", kSnapDetail, StartSnapKzp, 0, ClassicRequest("BOX-A1", 5, 8), 0, "in31 in31 reserve out44",
         {{8, "0001"}, {12, "01"}, {20, "90"}, {128, "00000005 00000008"}}},
        {"start without a detail list", kSnapIdList, StartSnapKzp, 0, ClassicRequest("BOX-A1", 5, 8), 0,
         "in31 in31 reserve out44", {{8, "0001"}, {12, "01"}, {20, "90"}, {128, "00000005 00000008"}}},
        {"monitor: no destination read", kSnapDetail, StartSnapKzp, ZRK_OPT_MONITOR, monitor, 0,
         "in31 reserve out44", {{8, "0001"}, {12, "03"}, {20, "80"}, {128, "00000005 ffffffff"}}},
        {"from a snap data volume", kSnapDetail, StartSnapKzp, 0, ClassicRequest("BOX-A1", 8, 12), ZRK_ERR_SDV, "in31", {}},
        {"into an ordinary volume", kSnapDetail, StartSnapKzp, 0, ClassicRequest("BOX-A1", 5, 6), ZRK_ERR_SDV, "in31 in31", {}},
        {"into a snap data volume in use", kSnapDetail, StartSnapKzp, 0, ClassicRequest("BOX-A1", 5, 12),
         ZRK_ERR_SEQUENCE, "in31 in31", {}},
        {"no SnapKZP on the array", kDetail, StartSnapKzp, 0, ClassicRequest("BOX-A1", 5, 8), ZRK_ERR_NOT_SUPPORT, "", {}},
        {"stop by pair", kSnapDetail, StopSnapKzp, 0, ClassicRequest("BOX-A1", 10, 12), 0, "in43 out45",
         {{8, "0009"}, {12, "01"}, {20, "90"}, {128, "0000000a 0000000c"}}},
        {"stop by identifier", kSnapIdList, StopSnapKzp, ZRK_OPT_SESSION_ID, ClassicById(9), 0, "in44 out45",
         {{8, "0009"}, {12, "01"}, {20, "90"}, {128, "0000000a 0000000c"}}},
        {"stop of a KZP session", kSnapDetail, StopSnapKzp, ZRK_OPT_SESSION_ID, ClassicById(3), ZRK_ERR_NO_SESSION,
         "in44 in04", {}},
        {"KZP stop of a SnapKZP session", kSnapDetail, StopKzp, ZRK_OPT_SESSION_ID, ClassicById(9),
         ZRK_ERR_NO_SESSION, "in44", {}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.clause, kSessions);
        EXPECT_EQ(Run(c.op, c.option, c.request), c.expected == 0 ? 0 : -1) << ZRKerrno;
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Trail(), c.trail);
        if (c.list.empty()) {
            EXPECT_TRUE(Lists().empty());
            EXPECT_EQ(Sessions("A1"), 2u);
            continue;
        }
        ASSERT_EQ(Lists().size(), 1u);
        EXPECT_EQ(Lists()[0], SessionPageHex(c.list, c.op == StartSnapKzp ? "44" : "45"));
        if (c.op == StartSnapKzp) {
            EXPECT_EQ(ZRKsessionid, 1);
            EXPECT_EQ(Field("A1", 1, "kind"), c.option == ZRK_OPT_MONITOR ? "monitor" : "snapkzp");
        } else {
            EXPECT_EQ(Field("A1", 9, "kind"), "");
        }
    }
}

// ---- snap data volume initialisation --------------------------------------------------------

TEST_F(ClassicKzp, SnapVolInit) {
    struct Case {
        const char *what;
        const char *clause;
        int olu;
        int expected;
        const char *trail;
    };
    // clang-format off
    const Case cases[] = {
        {"a free snap data volume",      kSnapDetail, 8,       0,                   "in31 out31"},
        {"without a detail list",        kSnapIdList, 8,       0,                   "in31 out31"},
        {"an ordinary volume",           kSnapDetail, 5,       ZRK_ERR_SDV,         "in31"},
        {"a snap data volume in use",    kSnapDetail, 12,      ZRK_ERR_SEQUENCE,    "in31"},
        {"no SnapKZP on the array",      kDetail,     8,       ZRK_ERR_NOT_SUPPORT, ""},
        {"an OLU beyond two bytes",      kSnapDetail, 0x10008, ZRK_ERR_OLU,         ""},
        {"a negative OLU",               kSnapDetail, -1,      ZRK_ERR_OLU,         ""},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.clause);
        FreshCall();
        EXPECT_EQ(SnapVolInit(kHost, c.olu), c.expected == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.expected);
        EXPECT_EQ(Trail(), c.trail);
        if (c.expected == 0) {
            ASSERT_EQ(Lists().size(), 1u);
            EXPECT_EQ(Lists()[0], GoldenHex(16, {{0, "31"}, {6, "0008 0008"}}));
        } else {
            EXPECT_TRUE(Lists().empty());
        }
    }
}

// A volume in a storage cluster is not initialised: refused before the
// support data is read.
TEST_F(ClassicKzp, SnapVolInitRefusedInAStorageCluster) {
    Load(kSnapDetail);
    sim.setRole("A1", ZRK_ROLE_PRIMARY, 1);
    FreshCall();
    EXPECT_EQ(SnapVolInit(kHost, 8), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_CLUSTER);
    EXPECT_EQ(Trail(), "");
    zrk::ClearFailoverRole();
}

// Every operation refuses a missing request before any command.
TEST_F(ClassicKzp, MissingArgumentsAreRefused) {
    const Operation ops[] = {StartKzp, StopKzp, StartDiffKzp, StopDiffKzp, StartSnapKzp, StopSnapKzp};
    for (Operation op : ops) {
        FreshCall();
        EXPECT_EQ(op(kHost, 0, nullptr), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
        EXPECT_TRUE(sim.cdbLog().empty());
    }
    COPY_REQ request = ClassicRequest("BOX-A1", 5, 6);
    NewCall();
    EXPECT_EQ(QueryKzp(kHost, 0, &request, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
    NewCall();
    EXPECT_EQ(QueryKzpDetail(kHost, 0, &request, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
    NewCall();
    EXPECT_EQ(QueryKzpSession(kHost, 0, 1, 1, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
    NewCall();
    EXPECT_EQ(ListKzp(kHost, 0, 1, nullptr, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
    EXPECT_TRUE(sim.cdbLog().empty());
}

}  // namespace

namespace {

// A remote start on the array that holds the destination volume reserves its
// identifier there and names it as the destination side's.
TEST_F(ClassicKzp, RemoteStartFromTheDestinationSide) {
    Load(kDetail);
    COPY_REQ request = ClassicRequest("BOX-A1", 6, 9);
    std::memcpy(request.SrcBoxID, BoxId("BOX-A2").data(), ZRK_BOXID_LEN);
    request.RemoteFlag = 1;
    // A2:9 > A1:6, sent to A1.
    std::swap(request.SrcOlu, request.DstOlu);
    zrk::PutBe32(request.ucaDstOluFull, 6);
    ASSERT_EQ(Run(StartKzp, 0, request), 0) << ZRKerrno;
    EXPECT_EQ(Trail(), "reserve out14");
    ASSERT_EQ(Lists().size(), 1u);
    EXPECT_EQ(Lists()[0], GoldenHex(160, {{0, "14"}, {6, "0098 0000 0001 b0"}, {24, "01"}, {32, kA2},
                                          {80, kA1}, {128, "00000009 00000006"}}));
    EXPECT_EQ(ZRKsessionid, 1);
    EXPECT_EQ(Sessions("A1"), 1u);
    EXPECT_EQ(Sessions("A2"), 1u);
}

// Every operation under a failing command: a failed run reports -1 with an
// error number, a start that failed leaves no session behind, and the run
// without a fault does its work.
TEST_F(ClassicKzp, EveryOperationUnderAFailingCommand) {
    constexpr char kSessions[] = "session 3 kzp A1 6 A1 7\nsession 4 kzp A1 5 A2 9\n"
                                 "session 8 quickkzp A1 10 A1 11 phase=tracking\nsession 9 snapkzp A1 13 A1 12\n";
    unsigned int result[3];
    RKZP_DETAIL_INFO detail;
    unsigned char *list = nullptr;
    int length = 0;
    struct Case {
        const char *what;
        const char *clause;
        bool start;
        std::function<int()> body;
    };
    auto op = [](Operation fn, unsigned int option, COPY_REQ request) {
        return [=]() mutable { return fn(kHost, option, &request); };
    };
    // clang-format off
    const Case cases[] = {
        {"KZP start",           kSnapDetail, true,  op(StartKzp, 0, ClassicRequest("BOX-A1", 5, 14))},
        {"remote KZP start",    kSnapIdList, true,  op(StartKzp, 0, ClassicRequest("BOX-A2", 15, 15))},
        {"QuickKZP start",      kSnapDetail, true,  op(StartDiffKzp, 0, ClassicRequest("BOX-A1", 15, 16))},
        {"QuickKZP restart",    kSnapIdList, false, op(StartDiffKzp, ZRK_OPT_RESTART, ClassicRequest("BOX-A1", 10, 11))},
        {"SnapKZP start",       kSnapDetail, true,  op(StartSnapKzp, 0, ClassicRequest("BOX-A1", 16, 8))},
        {"KZP stop",            kSnapIdList, false, op(StopKzp, 0, ClassicRequest("BOX-A1", 6, 7))},
        {"remote KZP stop",     kSnapDetail, false, op(StopKzp, ZRK_OPT_SESSION_ID, ClassicById(4, true))},
        {"QuickKZP stop",       kSnapIdList, false, op(StopDiffKzp, 0, ClassicRequest("BOX-A1", 10, 11))},
        {"SnapKZP stop",        kSnapDetail, false, op(StopSnapKzp, ZRK_OPT_SESSION_ID, ClassicById(9))},
        {"query",               kSnapIdList, false, [&] { COPY_REQ r = ClassicRequest("BOX-A2", 5, 9); return QueryKzp(kHost, 0, &r, result); }},
        {"detail query",        kSnapDetail, false, [&] { COPY_REQ r = ClassicRequest("BOX-A1", 6, 7); return QueryKzpDetail(kHost, 0, &r, &detail); }},
        {"session query",       kIdList,     false, [&] { return QueryKzpSession(kHost, 0, 3, 1, &detail); }},
        {"list",                kSnapDetail, false, [&] { std::free(list); list = nullptr; return ListKzp(kHost, 0, 1, &list, &length); }},
        {"list, no detail list",kIdList,     false, [&] { std::free(list); list = nullptr; return ListKzp(kHost, 0, 1, &list, &length); }},
        {"initialisation",      kSnapDetail, false, [&] { return SnapVolInit(kHost, 8); }},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FaultWalkOptions options;
        options.fnBeforeRun = [&] {
            Load(c.clause, kSessions);
            NewCall();
        };
        const FaultWalk walk = WalkFaults(
            sim, c.body,
            [&](const FaultRun &run) {
                if (FailedOnItsFault(run) && c.start) {
                    EXPECT_EQ(Sessions("A1"), 4u) << "no session left behind";
                }
            },
            options);
        EXPECT_TRUE(walk.bEnded);
        EXPECT_GT(walk.iFaultedRuns, 2);
    }
    std::free(list);
}

}  // namespace
