// The classic parameter lists as the library builds them, sent to the
// simulated arrays of every classic profile: a session started from a request
// and then suspended, resumed, changed and stopped from the detail the array
// reports; the stop that gives back the identifier of a refused start; the
// QM family's extended lists; QuickKZP, SnapKZP and the monitor session (with
// a destination too).
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkcmd.h"
#include "zrklist.h"
#include "zrktvc.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kHostA1[] = "/dev/sdb"; // A1:5
constexpr char kHostA2[] = "/dev/sdc"; // A2:9
constexpr unsigned char kRemoteSupport = 0x03;

// A1 and A2 list each other; A3 lists only A2, so that A1 cannot copy to it.
std::string Arrays(const std::string &clause) {
    return "clock 1000\n"
           "array A1 boxid=\"BOX-A1\" remotes=A2,A3 " + clause + "\n"
           "array A2 boxid=\"BOX-A2\" " + clause + "\n"
           "array A3 boxid=\"BOX-A3\" remotes=A2 " + clause + "\n"
           "volume A1 5 2097152\nvolume A1 6 2097152\nvolume A1 7 2097152\nvolume A1 8 2097152 type=sdv\n"
           "volume A2 9 2097152\nvolume A2 10 2097152\nvolume A3 11 2097152\n"
           "disk /dev/sdb 8:16 A1 5\ndisk /dev/sdc 8:32 A2 9\n";
}

// The classic profiles of the main family, and the detail-list one with
// SnapKZP (and so the page 0x44 detail) offered.
const char kSnapSupport[] =
    "support=\"0000 0000 0500 00a1 0000 0000 0000 00a1 0000 0000 004b 00a1 0000 0000 00ff 00a1\"";

// A classic request from A1 (OLU src) to dstBox (OLU dst), copy interval 255.
COPY_REQ Request(const char *dstBox, uint16_t src, uint32_t dst, uint32_t srcExt = 0, uint32_t size = 0,
                 uint32_t dstExt = 0) {
    return ClassicRequest({.sDst = dstBox, .uiSrcOlu = src, .uiDstOlu = dst, .ullSrcExt = srcExt, .ullSize = size,
                           .ullDstExt = dstExt, .uiInterval = 255});
}

const std::string kA1 = BoxId("BOX-A1");
const std::string kA2 = BoxId("BOX-A2");
const auto *kOwnA1 = reinterpret_cast<const unsigned char *>(kA1.data());
const auto *kOwnA2 = reinterpret_cast<const unsigned char *>(kA2.data());

using Id = std::array<unsigned char, 2>;
unsigned Value(const Id &id) { return static_cast<unsigned>(id[0] << 8 | id[1]); }

class ClassicSimLists : public InbandTest {
protected:
    ClassicSimLists() : InbandTest(Arrays("profile=detail")) {}

    void Load(const std::string &clause, const std::vector<std::string> &sessions = {}) {
        Reload(Arrays(clause), sessions);
    }
    // A call's common part on a host: product, support data, BoxID.
    void Prepare(const char *host) { PrepareOperation(sim, host); }

    // Reserves an identifier: mode 2 the VZ family, 4 the KZP family.
    Id Reserve(const char *host, unsigned char mode) {
        Prepare(host);
        const unsigned char field[2] = {0x00, 0x01};
        unsigned char reply[16] = {};
        EXPECT_EQ(ExecTravoIn(host, mode, ZRK_PAGE_RESERVE_ID, field, reply, sizeof reply), 0) << ZRKerrno;
        return {reply[8], reply[9]};
    }
    // Sends a list; 0, or the ZRKerrno of the refusal.
    int Send(const char *host, void *list, int length) {
        Prepare(host);
        if (ExecTravoOut(host, list, length) == 0) return 0;
        return ZRKerrno != 0 ? ZRKerrno : -1;
    }
    // The classic detail the array reports of a session (its identifier there).
    RVZ_DETAIL_INFO Detail(const char *host, unsigned id, unsigned char page) {
        Prepare(host);
        RVZ_DETAIL_INFO d{};
        const unsigned char sid[2] = {static_cast<unsigned char>(id >> 8), static_cast<unsigned char>(id)};
        EXPECT_EQ(GetSessionDetailInfo(host, sid, page, kRemoteSupport, 1, &d), 0) << ZRKerrno;
        return d;
    }
    std::string State(const std::string &array, unsigned id) const {
        return Field(array, id, "status") + "/" + Field(array, id, "phase");
    }
};

struct Profile {
    const char *what;
    std::string clause;
    int reverse; // 0, or the ZRKerrno of a change by reversal of a local VZ session (not offered)
};
const Profile kProfiles[] = {
    {"classic with a detail list", "profile=detail", 0},
    {"classic with identifier lists", "profile=idlist", ZRK_ERR_SETUP},
};

}  // namespace

TEST_F(ClassicSimLists, LocalVzFromStartToStop) {
    for (const Profile &p : kProfiles) {
        SCOPED_TRACE(p.what);
        Load(p.clause);
        COPY_REQ request = Request("BOX-A1", 5, 6, 0x100, 0x200, 0x300);
        Id id = Reserve(kHostA1, 2);
        unsigned char list[ZRK_PRM_LOCAL_LEN];
        MakeVzPrmFromCopyReq(ZRK_PRM_VZ_START, id.data(), &request, 1, list);
        ASSERT_EQ(Send(kHostA1, list, sizeof list), 0);
        const unsigned s = Value(id);
        EXPECT_EQ(Field("A1", s, "pair"), "A1:5>A1:6");
        EXPECT_EQ(Field("A1", s, "srcext") + " " + Field("A1", s, "size") + " " + Field("A1", s, "dstext") + " " +
                      Field("A1", s, "interval"),
                  "256 512 768 255");
        sim.advanceClock(1);
        // Suspend, resume and stop by the lists of the detail the array reports.
        RVZ_DETAIL_INFO d = Detail(kHostA1, s, ZRK_PAGE_REMOTE_VZ_DETAIL);
        MakeVzPrmFromDetail(ZRK_PRM_VZ_SUSPEND, &d, list);
        ASSERT_EQ(Send(kHostA1, list, sizeof list), 0);
        EXPECT_EQ(State("A1", s), "4/2");
        // Suspended twice: the array says so, the library takes it as done.
        EXPECT_EQ(Send(kHostA1, list, sizeof list), 0);
        // A change by reversal where the array offers it.
        d = Detail(kHostA1, s, ZRK_PAGE_REMOTE_VZ_DETAIL);
        TVC_EXEC change;
        MakeChgPrmFromDetail(ZRK_TVC_CHANGE, ZRK_OPT_REVERSE, &d, &change);
        EXPECT_EQ(Send(kHostA1, &change, sizeof change), p.reverse);
        EXPECT_EQ(Field("A1", s, "pair"), p.reverse == 0 ? "A1:6>A1:5" : "A1:5>A1:6");
        d = Detail(kHostA1, s, ZRK_PAGE_REMOTE_VZ_DETAIL);
        MakeVzPrmFromDetail(ZRK_PRM_VZ_RESUME, &d, list);
        ASSERT_EQ(Send(kHostA1, list, sizeof list), 0);
        EXPECT_EQ(State("A1", s), "2/1");
        // A detail of other OLUs names no session of the array.
        d = Detail(kHostA1, s, ZRK_PAGE_REMOTE_VZ_DETAIL);
        MakeVzPrmFromDetail(ZRK_PRM_VZ_STOP, &d, list);
        list[27] = 7;
        EXPECT_EQ(Send(kHostA1, list, sizeof list), ZRK_ERR_EXTENT);
        MakeVzPrmFromDetail(ZRK_PRM_VZ_STOP, &d, list);
        list[10] |= ZRK_PRM_FORCED;
        ASSERT_EQ(Send(kHostA1, list, sizeof list), 0);
        EXPECT_TRUE(sim.sessions().empty());
    }
}

TEST_F(ClassicSimLists, RvzFromEitherHost) {
    struct Case {
        const char *what;
        const char *host;
        const unsigned char *own;
        std::string array; // where the reserve is
        unsigned option;
        std::string modes;
    } cases[] = {
        {"from the source's host", kHostA1, kOwnA1, "A1", ZRK_OPT_SYNC | ZRK_OPT_MANUAL_RCV | ZRK_OPT_SKIP_COPY,
         "sync,manual"},
        {"from the destination's host", kHostA2, kOwnA2, "A2", ZRK_OPT_SKIP_COPY, "none"},
    };
    for (const Profile &p : kProfiles) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << p.what << ", " << c.what);
            Load(p.clause);
            COPY_REQ request = Request("BOX-A2", 7, 10);
            Id id = Reserve(c.host, 2);
            unsigned char list[ZRK_PRM_REMOTE_LEN];
            MakeRvzPrmFromCopyReq(ZRK_PRM_RVZ_START, id.data(), &request, c.own, c.option, list);
            ASSERT_EQ(Send(c.host, list, sizeof list), 0);
            // The session as the source array holds it, and its identifier on
            // the host's array.
            ASSERT_EQ(sim.sessions("A1").size(), 1u);
            const std::string line = sim.sessions("A1")[0];
            const unsigned onA1 = static_cast<unsigned>(std::stoul(line.substr(8)));
            const unsigned here = c.array == "A1" ? onA1 : Value(id);
            EXPECT_EQ(Field("A1", onA1, "pair"), "A1:7>A2:10");
            EXPECT_EQ(Field("A1", onA1, "mode"), c.modes);
            EXPECT_EQ(State("A1", onA1), "2/2");
            RVZ_DETAIL_INFO d = Detail(c.host, here, ZRK_PAGE_REMOTE_VZ_DETAIL);
            MakeRvzPrmFromDetail(ZRK_PRM_RVZ_SUSPEND, &d, list);
            list[12] |= ZRK_PRM_FORCED;
            ASSERT_EQ(Send(c.host, list, sizeof list), 0);
            EXPECT_EQ(State("A1", onA1), "4/2");
            // A mode change while suspended: the extended list of the detail.
            d = Detail(c.host, here, ZRK_PAGE_REMOTE_VZ_DETAIL);
            TVC_EXEC change;
            MakeChgPrmFromDetail(ZRK_TVC_CHANGE, ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT, &d, &change);
            ASSERT_EQ(Send(c.host, &change, sizeof change), 0);
            EXPECT_EQ(Field("A1", onA1, "mode"), "sync,split");
            d = Detail(c.host, here, ZRK_PAGE_REMOTE_VZ_DETAIL);
            MakeRvzPrmFromDetail(ZRK_PRM_RVZ_RESUME, &d, list);
            list[72] |= ZRK_PRM_REMAIN;
            ASSERT_EQ(Send(c.host, list, sizeof list), 0);
            EXPECT_EQ(State("A1", onA1), "2/1");
            d = Detail(c.host, here, ZRK_PAGE_REMOTE_VZ_DETAIL);
            MakeRvzPrmFromDetail(ZRK_PRM_RVZ_STOP, &d, list);
            ASSERT_EQ(Send(c.host, list, sizeof list), 0);
            EXPECT_TRUE(sim.sessions().empty());
        }
    }
}

TEST_F(ClassicSimLists, KzpLocalAndRemote) {
    struct Case {
        const char *what;
        COPY_REQ request;
        unsigned char stopPage;
        std::string pair;
    } cases[] = {
        {"local KZP of an extent", Request("BOX-A1", 5, 6, 16, 32, 48), ZRK_PAGE_LOCAL_KZP_DETAIL, "A1:5>A1:6"},
        {"remote KZP", Request("BOX-A2", 5, 10), ZRK_PAGE_REMOTE_KZP_DETAIL, "A1:5>A2:10"},
    };
    for (const Profile &p : kProfiles) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << p.what << ", " << c.what);
            Load(p.clause);
            COPY_REQ request = c.request;
            const bool remote = request.RemoteFlag != 0;
            Id id = Reserve(kHostA1, 4);
            unsigned char local[ZRK_PRM_LOCAL_LEN];
            unsigned char far[ZRK_PRM_REMOTE_LEN];
            if (remote) {
                MakeRkzpPrmFromCopyReq(ZRK_PRM_RKZP_START, id.data(), &request, kOwnA1, 0, far);
                ASSERT_EQ(Send(kHostA1, far, sizeof far), 0);
            } else {
                MakeKzpPrmFromCopyReq(ZRK_PRM_KZP_START, id.data(), &request, 1, local);
                ASSERT_EQ(Send(kHostA1, local, sizeof local), 0);
            }
            const unsigned s = Value(id);
            EXPECT_EQ(Field("A1", s, "kind") + " " + Field("A1", s, "pair"), "kzp " + c.pair);
            RKZP_DETAIL_INFO d = Detail(kHostA1, s, c.stopPage);
            if (remote) {
                MakeRkzpPrmFromDetail(ZRK_PRM_RKZP_STOP, &d, far);
                far[12] |= ZRK_PRM_FORCED;
                ASSERT_EQ(Send(kHostA1, far, sizeof far), 0);
            } else {
                MakeKzpPrmFromDetail(ZRK_PRM_KZP_STOP, &d, local);
                ASSERT_EQ(Send(kHostA1, local, sizeof local), 0);
            }
            EXPECT_TRUE(sim.sessions().empty());
        }
    }
}

TEST_F(ClassicSimLists, RefusedStartGivesBackItsIdentifier) {
    struct Case {
        const char *what;
        unsigned char mode;
        unsigned char code;   // of the start
        COPY_REQ request;
        int fault;            // ASCQ injected on the start list, or -1
        int expected;         // ZRKerrno of the start
        unsigned char undo;   // the stop of the reserve
    } cases[] = {
        {"RVZ to an array that does not list this one", 2, ZRK_PRM_RVZ_START, Request("BOX-A3", 5, 11), -1,
         ZRK_ERR_EXTENT, ZRK_PRM_VZ_STOP},
        {"local VZ onto a destination in use", 2, ZRK_PRM_VZ_START, Request("BOX-A1", 7, 6), -1,
         ZRK_ERR_BUSY, ZRK_PRM_VZ_STOP},
        {"KZP refused out of sequence", 4, ZRK_PRM_KZP_START, Request("BOX-A1", 5, 7), 0x91, ZRK_ERR_SEQUENCE,
         ZRK_PRM_KZP_STOP},
        {"remote KZP refused", 4, ZRK_PRM_RKZP_START, Request("BOX-A2", 5, 10), 0x00, ZRK_ERR_EXTENT,
         ZRK_PRM_KZP_STOP},
    };
    for (const Profile &p : kProfiles) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << p.what << ", " << c.what);
            Load(p.clause, {"1 vz A1 5 A1 6"});
            COPY_REQ request = c.request;
            Id id = Reserve(kHostA1, c.mode);
            if (c.fault >= 0) sim.injectSenseOnList(c.code, 1, 5, 0x26, c.fault);
            sim.clearLog();
            std::vector<unsigned char> start(request.RemoteFlag != 0 ? ZRK_PRM_REMOTE_LEN : ZRK_PRM_LOCAL_LEN);
            if (c.code == ZRK_PRM_RVZ_START)
                MakeRvzPrmFromCopyReq(c.code, id.data(), &request, kOwnA1, 0, start.data());
            else if (c.code == ZRK_PRM_RKZP_START)
                MakeRkzpPrmFromCopyReq(c.code, id.data(), &request, kOwnA1, 0, start.data());
            else if (c.code == ZRK_PRM_VZ_START)
                MakeVzPrmFromCopyReq(c.code, id.data(), &request, 1, start.data());
            else
                MakeKzpPrmFromCopyReq(c.code, id.data(), &request, 1, start.data());
            EXPECT_EQ(Send(kHostA1, start.data(), static_cast<int>(start.size())), c.expected);
            EXPECT_EQ(Field("A1", Value(id), "status"), "1");
            // The 48-byte stop of the reserve, for a remote start too.
            unsigned char undo[ZRK_PRM_LOCAL_LEN];
            if (c.undo == ZRK_PRM_VZ_STOP)
                MakeVzPrmFromCopyReq(c.undo, id.data(), nullptr, 1, undo);
            else
                MakeKzpPrmFromCopyReq(c.undo, id.data(), nullptr, 1, undo);
            ASSERT_EQ(Send(kHostA1, undo, sizeof undo), 0);
            EXPECT_EQ(Field("A1", Value(id), "status"), "");
            EXPECT_EQ(sim.sessions("A1").size(), 1u);
        }
    }
}

TEST_F(ClassicSimLists, QmFamilyExtendedLists) {
    struct Case {
        const char *what;
        COPY_REQ request;
        unsigned option;
        std::string pair, modes;
    } cases[] = {
        {"local VZ", Request("BOX-A1", 5, 6), 0, "A1:5>A1:6", "none"},
        {"RVZ with split and recovery, no initial copy", Request("BOX-A2", 5, 10),
         ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV | ZRK_OPT_SKIP_COPY, "A1:5>A2:10", "sync,split,manual"},
        {"RVZ, the array's choice of modes", Request("BOX-A2", 5, 10), ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV,
         "A1:5>A2:10", "sync,split,manual"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load("profile=qm");
        COPY_REQ request = c.request;
        Id id = Reserve(kHostA1, 2);
        TVC_EXEC list;
        MakePrmFromCopyReq(ZRK_TVC_START, id.data(), ZRK_PRM_KIND_VZ, &request, kOwnA1, c.option, &list);
        ASSERT_EQ(Send(kHostA1, &list, sizeof list), 0);
        const unsigned s = Value(id);
        EXPECT_EQ(Field("A1", s, "pair"), c.pair);
        EXPECT_EQ(Field("A1", s, "mode"), c.modes);
        // Every command went as the QM family's (0xEE, 0xEC).
        for (const zrksim::CdbRecord &r : sim.cdbLog()) EXPECT_TRUE(r.cdb[0] == 0xEE || r.cdb[0] == 0xEC);
        sim.advanceClock(100);
        // Suspend and resume by the classic lists, stop by the extended one.
        const bool remote = request.RemoteFlag != 0;
        RVZ_DETAIL_INFO d = Detail(kHostA1, s, ZRK_PAGE_REMOTE_VZ_DETAIL);
        std::vector<unsigned char> classic(remote ? ZRK_PRM_REMOTE_LEN : ZRK_PRM_LOCAL_LEN);
        if (remote)
            MakeRvzPrmFromDetail(ZRK_PRM_RVZ_SUSPEND, &d, classic.data());
        else
            MakeVzPrmFromDetail(ZRK_PRM_VZ_SUSPEND, &d, classic.data());
        ASSERT_EQ(Send(kHostA1, classic.data(), static_cast<int>(classic.size())), 0);
        EXPECT_EQ(State("A1", s), "4/2");
        d = Detail(kHostA1, s, ZRK_PAGE_REMOTE_VZ_DETAIL);
        MakePrmFromDetail(ZRK_TVC_STOP, ZRK_PRM_KIND_VZ, &request, &d, &list);
        list.ucOperationFlags |= ZRK_TVC_OP_FORCE;
        ASSERT_EQ(Send(kHostA1, &list, sizeof list), 0);
        EXPECT_TRUE(sim.sessions().empty());
    }
    // A refused start and the extended stop that gives its reserve back.
    Load("profile=qm");
    COPY_REQ request = Request("BOX-A2", 5, 10);
    Id id = Reserve(kHostA1, 2);
    sim.injectSenseOnList(ZRK_TVC_START, 1, 5, 0x26, 0x00);
    TVC_EXEC list;
    MakePrmFromCopyReq(ZRK_TVC_START, id.data(), ZRK_PRM_KIND_VZ, &request, kOwnA1, ZRK_OPT_AUTO_SPLIT, &list);
    EXPECT_EQ(Send(kHostA1, &list, sizeof list), ZRK_ERR_EXTENT);
    MakePrmFromCopyReq(ZRK_TVC_STOP, id.data(), ZRK_PRM_KIND_VZ, nullptr, kOwnA1, 0, &list);
    ASSERT_EQ(Send(kHostA1, &list, sizeof list), 0);
    EXPECT_TRUE(sim.sessions().empty());
    // The classic start is not the QM family's.
    id = Reserve(kHostA1, 2);
    unsigned char local[ZRK_PRM_LOCAL_LEN];
    request = Request("BOX-A1", 5, 6);
    MakeVzPrmFromCopyReq(ZRK_PRM_VZ_START, id.data(), &request, 1, local);
    EXPECT_EQ(Send(kHostA1, local, sizeof local), ZRK_ERR_EXTENT);
}

TEST_F(ClassicSimLists, QuickSnapAndMonitorSessions) {
    struct Case {
        const char *what;
        std::string clause;
        bool snap;
        unsigned option;
        COPY_REQ request;
        std::string kind, pair;
        unsigned char page; // the detail page the stop reads
    } cases[] = {
        {"QuickKZP", "profile=detail", false, 0, Request("BOX-A1", 5, 6), "quickkzp", "A1:5>A1:6",
         ZRK_PAGE_LOCAL_KZP_DETAIL},
        {"QuickKZP of an extent", "profile=detail", false, 0, Request("BOX-A1", 5, 6, 8, 8, 8), "quickkzp",
         "A1:5>A1:6", ZRK_PAGE_LOCAL_KZP_DETAIL},
        {"SnapKZP into a snap data volume", kSnapSupport, true, 0, Request("BOX-A1", 5, 8), "snapkzp", "A1:5>A1:8",
         ZRK_PAGE_LOCAL_KZP_DETAIL},
        {"monitor session without a destination", kSnapSupport, true, ZRK_OPT_MONITOR,
         Request("BOX-A1", 5, 0xFFFFFFFF), "monitor", "A1:5>A1:-", ZRK_PAGE_LOCAL_KZP_DETAIL},
        {"monitor session with a destination", kSnapSupport, true, ZRK_OPT_MONITOR, Request("BOX-A1", 5, 6),
         "monitor", "A1:5>A1:6", ZRK_PAGE_LOCAL_KZP_DETAIL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.clause);
        COPY_REQ request = c.request;
        Id id = Reserve(kHostA1, 4);
        TVC_EXEC list;
        if (c.snap)
            MakeSnapPrmFromCopyReq(ZRK_TVC_START, id.data(), c.option, &request, &list);
        else
            MakeDifPrmFromCopyReq(ZRK_TVC_START, id.data(), c.option, &request, &list);
        ASSERT_EQ(Send(kHostA1, &list, sizeof list), 0);
        const unsigned s = Value(id);
        EXPECT_EQ(Field("A1", s, "kind") + " " + Field("A1", s, "pair"), c.kind + " " + c.pair);
        RKZP_DETAIL_INFO d = Detail(kHostA1, s, c.page);
        if (c.snap)
            MakeSnapPrmFromDetail(ZRK_TVC_STOP, c.option, &d, &list);
        else
            MakeDifPrmFromDetail(ZRK_TVC_STOP, c.option, &d, &list);
        ASSERT_EQ(Send(kHostA1, &list, sizeof list), 0);
        EXPECT_TRUE(sim.sessions().empty());
    }
}
