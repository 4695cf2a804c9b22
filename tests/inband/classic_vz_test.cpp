// The classic VZ and RVZ operations against the simulator, on the three
// classic profiles (detail list, identifier lists only, the QM family): the
// array commands each operation sends, in order, and what the array holds
// afterwards; the stop that gives back the identifier of a refused start;
// the refusals that send nothing; the diagnosis of a refused remote change;
// the concurrent suspend (a pair given twice is refused); the command status
// list and the identifier list, which hold no more than their areas; and the
// RVZ buffer setting.
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkcmd.h"
#include "zrktvc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kSrcHost[] = "/dev/sdb"; // A1:5
constexpr char kDstHost[] = "/dev/sdc"; // A2:9

// The identifier-list profile with the concurrent suspend and the command
// status list (bytes 21 and 29 bit 0x40).
constexpr char kIdListConc[] =
    "support=\"0000 0000 0000 0001 0000 0000 0000 0001 0000 0000 0041 0001 0000 0000 004f 0001\"";

std::string Arrays(const std::string &clause) {
    return TwoArrays(clause, {"5", "6", "7", "8", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30",
                              "31", "32", "33"},
                     {"9", "40", "41", "42"});
}

struct Profile {
    const char *pName;
    std::string sClause;
    bool bQm;         // the QM family
    bool bDetailList; // the array keeps a detail list
};
const Profile kDetail{"detail", "profile=detail", false, true};
const Profile kIdList{"idlist", "profile=idlist", false, false};
const Profile kQm{"qm", "profile=qm", true, false};
const Profile kProfiles[] = {kDetail, kIdList, kQm};

// A classic request; the QM family takes copy interval 255 only.
COPY_REQ Request(const Profile &p, const char *src, uint16_t srcOlu, const char *dst, uint32_t dstOlu,
                 uint32_t srcExt = 0, uint32_t size = 0, uint32_t dstExt = 0) {
    return ClassicRequest({.sSrc = src, .sDst = dst, .uiSrcOlu = srcOlu, .uiDstOlu = dstOlu, .ullSrcExt = srcExt,
                           .ullSize = size, .ullDstExt = dstExt, .uiInterval = p.bQm ? 255u : 3u});
}
COPY_REQ Local(const Profile &p) { return Request(p, "BOX-A1", 5, "BOX-A1", 6); }
COPY_REQ Remote(const Profile &p) { return Request(p, "BOX-A1", 7, "BOX-A2", 9); }

// The code the transport gives a fixed-format sense (the catalogue renames none).
int SenseErrno(int key, int asc, int ascq) {
    unsigned char s[18] = {0x70, 0, static_cast<unsigned char>(key), 0, 0, 0, 0, 10};
    s[12] = static_cast<unsigned char>(asc);
    s[13] = static_cast<unsigned char>(ascq);
    return zrk::MapScsiResult(ZRK_MSTATUS_CHECK_CONDITION, s, sizeof s).iErrno;
}

class ClassicVz : public InbandTest {
protected:
    ClassicVz() : InbandTest(Arrays(kDetail.sClause)) {}

    // Another profile with these sessions, a fresh call and an empty log.
    void Load(const Profile &p, const std::vector<std::string> &sessions = {}) {
        Load(p.sClause, sessions);
    }
    void Load(const std::string &clause, const std::vector<std::string> &sessions = {}) {
        Reload(Arrays(clause), sessions);
        ZRKsessionid = -7;
    }

    // The copy commands sent, both families' (the copy-support read "in00").
    std::string Trail() const { return CopyTrail(sim, {.bQm = true, .bSupportRead = true}); }
    // The lists sent, in order.
    std::vector<Bytes> Lists() const {
        std::vector<Bytes> lists;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if ((r.cdb[0] == ZRK_OP_TRAVO_OUT || r.cdb[0] == ZRK_OP_TRAVO_OUT_QM) && !r.dataOut.empty())
                lists.push_back(r.dataOut);
        return lists;
    }
};

// The head every operation sends: the support read (and the QM page 0x02).
std::string Head(const Profile &p) { return p.bQm ? "in00 in02" : "in00"; }
// The search of a VZ session by its pair (the detail-list reader reads the
// support data again).
std::string Search(const Profile &p) { return p.bDetailList ? "in00 in43" : "in19 in19 in1a"; }

// ---- start ---------------------------------------------------------------------------------

TEST_F(ClassicVz, StartsSendTheirListsAndTheArrayHoldsTheSession) {
    struct Case {
        const char *what;
        bool remote;
        unsigned int option;
        const char *code; // the list sent, by family: main, QM
        const char *qmCode;
        size_t accessByte;    // where secondary access goes (0: not asked)
    };
    // clang-format off
    const Case cases[] = {
        {"local",                     false, 0,                 "08", "44", 0},
        {"remote",                    true,  0,                 "18", "44", 0},
        {"local, secondary access",   false, ZRK_OPT_SECONDARY, "08", "",   zrk::kVzPrmAccess},
        {"remote, secondary access",  true,  ZRK_OPT_SECONDARY, "18", "",   zrk::kRemotePrmStart},
    };
    // clang-format on
    for (const Profile &p : kProfiles) {
        for (const Case &c : cases) {
            if (p.bQm && c.option != 0) continue; // outside the QM mask: see the refusals
            if (!p.bDetailList && !p.bQm && c.option == ZRK_OPT_SECONDARY && !c.remote) continue;
            SCOPED_TRACE(testing::Message() << p.pName << ", " << c.what);
            Load(p);
            COPY_REQ request = c.remote ? Remote(p) : Local(p);
            ASSERT_EQ(StartVz(kSrcHost, c.option, &request), 0) << ZRKerrno;
            const std::string code = p.bQm ? c.qmCode : c.code;
            EXPECT_EQ(Trail(), Head(p) + " reserve out" + code);
            EXPECT_EQ(ZRKsessionid, 1);
            const std::vector<Bytes> lists = Lists();
            ASSERT_EQ(lists.size(), 1u);
            EXPECT_EQ(lists[0].size(), p.bQm ? 192u : c.remote ? 160u : 48u);
            EXPECT_EQ(Be(lists[0], 8, 2), 1u);
            if (c.accessByte != 0) {
                EXPECT_EQ(lists[0][c.accessByte] & ZRK_SESFLAG_SECONDARY, ZRK_PRM_SECONDARY);
                EXPECT_EQ(Field("A1", 1, "secondary"), "1");
            }
            EXPECT_EQ(Field("A1", 1, "kind"), "vz");
            EXPECT_EQ(Field("A1", 1, "pair"), c.remote ? "A1:7>A2:9" : "A1:5>A1:6");
            EXPECT_EQ(Field("A1", 1, "status"), "2");
        }
    }
}

// A refused start sends one stop for the reserved identifier (the 48-byte
// list 0x09 on the main family, for a remote start too; the 192-byte page
// 0x45 on the QM family), leaves no session and reports the start's sense
// and code, even when the stop fails as well.
TEST_F(ClassicVz, RefusedStartGivesItsIdentifierBack) {
    for (const Profile &p : kProfiles) {
        for (const bool remote : {false, true}) {
            for (const bool stopFails : {false, true}) {
                SCOPED_TRACE(testing::Message() << p.pName << (remote ? ", remote" : ", local")
                                                << (stopFails ? ", the stop fails too" : ""));
                Load(p);
                const int start = p.bQm ? ZRK_TVC_START : remote ? ZRK_PRM_RVZ_START : ZRK_PRM_VZ_START;
                const int stop = p.bQm ? ZRK_TVC_STOP : ZRK_PRM_VZ_STOP;
                sim.injectSenseOnList(start, 1, 5, 0x26, 0x00);
                if (stopFails) sim.injectSenseOnList(stop, 1, 5, 0x24, 0x00);
                COPY_REQ request = remote ? Remote(p) : Local(p);
                EXPECT_EQ(StartVz(kSrcHost, 0, &request), -1);
                // The partner's refusal of an RVZ start has its own code.
                EXPECT_EQ(ZRKerrno, remote && !p.bQm ? ZRK_ERR_PARTNER : SenseErrno(5, 0x26, 0x00));
                const Stored s = ReadStore();
                EXPECT_EQ(s.key, 5);
                EXPECT_EQ(s.asc, 0x26);
                EXPECT_EQ(s.ascq, 0x00);
                char codes[16];
                std::snprintf(codes, sizeof codes, "out%02x out%02x", start, stop);
                EXPECT_EQ(Trail(), Head(p) + " reserve " + codes);
                const std::vector<Bytes> lists = Lists();
                ASSERT_EQ(lists.size(), 2u);
                // Only code, length, the reserved identifier (and role or copy kind).
                const Patches undo = p.bQm ? Patches{{0, "45"}, {6, "00b8 0001 0000 02"}}
                                           : Patches{{0, "09"}, {6, "0028 0001"}, {20, "01"}};
                EXPECT_EQ(zrksim::toHex(lists[1]), GoldenHex(p.bQm ? 192 : 48, undo));
                // A stop the array refused too leaves the identifier reserved
                // until it lapses.
                EXPECT_EQ(Field("A1", 1, "status"), stopFails ? "1" : "");
                EXPECT_EQ(sim.sessions("A1").size(), stopFails ? 1u : 0u);
                EXPECT_EQ(ZRKsessionid, -7);
            }
        }
    }
}

// With the OLU status page (support byte 4 bit 0x04) a start reads the
// status of each of its volumes on this array and refuses a snap data volume.
TEST_F(ClassicVz, StartRefusesASnapDataVolume) {
    const std::string withOluStatus =
        "support=\"0000 0000 0500 00a1 0000 0000 0000 00a1 0000 0000 004b 00a1 0000 0000 00ff 00a1\"";
    struct Case {
        const char *what;
        const char *host;
        COPY_REQ request;
        int code;
        const char *trail;
    };
    // clang-format off
    const Case cases[] = {
        {"local, destination a snap data volume", kSrcHost, Request(kDetail, "BOX-A1", 5, "BOX-A1", 50), ZRK_ERR_SDV, "in00 in31 in31"},
        {"local, source a snap data volume",      kSrcHost, Request(kDetail, "BOX-A1", 50, "BOX-A1", 6), ZRK_ERR_SDV, "in00 in31"},
        {"local, neither",                        kSrcHost, Local(kDetail), 0, "in00 in31 in31 reserve out08"},
        {"remote from the source array",          kSrcHost, Remote(kDetail), 0, "in00 in31 reserve out18"},
        {"remote from the destination array",     kDstHost, Remote(kDetail), 0, "in00 in31 reserve out18"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Reload(Arrays(withOluStatus) + "volume A1 50 2097152 type=sdv\n");
        COPY_REQ request = c.request;
        EXPECT_EQ(StartVz(c.host, 0, &request), c.code == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.code);
        EXPECT_EQ(Trail(), c.trail);
        // Only this array's volume is read.
        for (const zrksim::CdbRecord &r : sim.cdbLog()) {
            if (r.cdb[0] == ZRK_OP_TRAVO_IN && r.cdb[2] == 0x31) {
                EXPECT_EQ(r.path, c.host);
            }
        }
    }
}

// A remote start on the QM family: whether split and recovery may be left
// out is the array's choice (support byte 29 bit 0, QM page 0x02 byte 0).
TEST_F(ClassicVz, QmRemoteStartChoices) {
    const std::string noChoice =
        "family=qm support=\"0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0001 0001 0000 0000 0000 0001\"";
    struct Case {
        const char *what;
        std::string clause;
        unsigned int option;
        int code;
        const char *modes; // byte 22 of the start page
    };
    const unsigned int both = ZRK_OPT_AUTO_SPLIT | ZRK_OPT_MANUAL_RCV;
    // clang-format off
    const Case cases[] = {
        {"choice, both left out",             "profile=qm",                                    0, 0, "04"},
        {"choice, skip",                      "profile=qm",                                    ZRK_OPT_SKIP_COPY | both, 0, "07"},
        {"choice refused: recovery required", "profile=qm qmsupport=\"02 00 00 00 00 00 00 00\"", ZRK_OPT_AUTO_SPLIT, ZRK_ERR_NOT_SUPPORT, ""},
        {"choice refused: split required",    "profile=qm qmsupport=\"01 00 00 00 00 00 00 00\"", ZRK_OPT_MANUAL_RCV, ZRK_ERR_NOT_SUPPORT, ""},
        {"no choice: both given",             noChoice,                                        both, 0, "07"},
        {"no choice: one missing",            noChoice,                                        ZRK_OPT_AUTO_SPLIT, ZRK_ERR_NOT_SUPPORT, ""},
        {"no choice: no skip",                noChoice,                                        ZRK_OPT_SKIP_COPY | both, ZRK_ERR_NOT_SUPPORT, ""},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(c.clause);
        COPY_REQ request = Remote(kQm);
        EXPECT_EQ(StartVz(kSrcHost, c.option, &request), c.code == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.code);
        if (c.code != 0) {
            EXPECT_TRUE(Lists().empty());
            continue;
        }
        const std::vector<Bytes> lists = Lists();
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_EQ(SpanHex(lists[0].data() + 22, 1), c.modes);
        EXPECT_EQ(Field("A1", 1, "status"), "2");
    }
}

// Every command of a start failing in turn: a failed start leaves no
// session running, and the sense of the failure is the caller's.
TEST_F(ClassicVz, StartFaultWalk) {
    for (const Profile &p : kProfiles) {
        for (const bool remote : {false, true}) {
            SCOPED_TRACE(testing::Message() << p.pName << (remote ? ", remote" : ", local"));
            COPY_REQ request{};
            FaultWalkOptions options;
            options.fnBeforeRun = [&] {
                Load(p);
                request = remote ? Remote(p) : Local(p);
            };
            const FaultWalk walk = WalkFaults(
                sim, [&] { return StartVz(kSrcHost, 0, &request); },
                [&](const FaultRun &run) {
                    if (run.iResult == 0) return;
                    EXPECT_EQ(run.iResult, -1);
                    EXPECT_NE(run.iErrno, 0);
                    EXPECT_EQ(ReadStore().key, 3);
                    EXPECT_NE(Field("A1", 1, "status"), "2");
                },
                options);
            EXPECT_TRUE(walk.bEnded);
            EXPECT_EQ(Field("A1", 1, "status"), "2");
        }
    }
}

// The operations' own lines in the debug log.
TEST_F(ClassicVz, LogLines) {
    // The log settings are read once, at the first line of the process.
    setenv("WXAPI_LOG_FLAG", "1F", 1);
    Load(kDetail, {"1 vz A1 5 A1 6 status=suspend", "2 vz A1 7 A2 9 status=suspend"});
    const size_t before = root.logText().size();
    COPY_REQ local = ClassicById(1);
    EXPECT_EQ(ChangeVz(kSrcHost, ZRK_OPT_SESSION_ID, &local), -1);
    sim.injectSenseOnList(ZRK_TVC_CHANGE, 1, 5, 0x26, 0x00);
    COPY_REQ remote = Remote(kDetail);
    EXPECT_EQ(ChangeVz(kSrcHost, ZRK_OPT_SYNC, &remote), -1);
    sim.injectSenseOnList(ZRK_PRM_VZ_START, 1, 5, 0x26, 0x00);
    COPY_REQ start = Request(kDetail, "BOX-A1", 20, "BOX-A1", 21);
    EXPECT_EQ(StartVz(kSrcHost, 0, &start), -1);
    const std::string log = root.logText().substr(before);
    for (const char *line :
         {"ChangeVz in [/dev/sdb]", "ChangeVz Session Flag On  Remote = 0 [/dev/sdb]",
          "ChangeVz Totally = 1  Reverse = 1 [/dev/sdb]", "ChangeVz Flag Err end [/dev/sdb]",
          "ChangeVz Session Flag Off  Remote = 1 [/dev/sdb]", "ChangeVz Remote Change Err [/dev/sdb]",
          "ChangeVz Err end [/dev/sdb]", "StartVz in [/dev/sdb]", "StartVz roll back SessionID=0x3 [/dev/sdb]",
          "StartVz Err end [/dev/sdb]"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

// ---- stop, suspend, resume -------------------------------------------------------------------

using SessionOp = int (*)(const char *, unsigned int, COPY_REQ *);

TEST_F(ClassicVz, StopSuspendResumeByPairAndByIdentifier) {
    const std::vector<std::string> sessions = {"1 vz A1 5 A1 6", "2 vz A1 7 A2 9",
                                               "3 vz A1 20 A1 21 status=suspend",
                                               "4 vz A1 22 A2 40 status=suspend"};
    struct Case {
        const char *what;
        SessionOp op;
        unsigned int option;
        unsigned id; // the session
        bool remote;
        const char *codes; // main family local, remote; QM the same but the stop
        const char *after; // its status afterwards ("" ended)
        size_t bitAt;      // a bit the option sets in the main family's list (0: none)
        unsigned bit;
    };
    // clang-format off
    const Case cases[] = {
        {"stop local",                 StopVz,    0,              1, false, "09", "",  0, 0},
        {"stop remote, forced",        StopVz,    ZRK_OPT_FORCE,  2, true,  "19", "",  zrk::kRemotePrmFlags, ZRK_PRM_FORCED},
        {"stop local, forced",         StopVz,    ZRK_OPT_FORCE,  1, false, "09", "",  zrk::kVzPrmFlags, ZRK_PRM_FORCED},
        {"suspend local",              SuspendVz, 0,              1, false, "0a", "4", 0, 0},
        {"suspend remote, forced",     SuspendVz, ZRK_OPT_FORCE,  2, true,  "1a", "4", zrk::kRemotePrmFlags, ZRK_PRM_FORCED},
        {"resume local",               ResumeVz,  0,              3, false, "0b", "2", 0, 0},
        {"resume remote, remain mode", ResumeVz,  ZRK_OPT_REMAIN, 4, true,  "1b", "2", zrk::kRemotePrmStart, ZRK_PRM_REMAIN},
    };
    // clang-format on
    const COPY_REQ pairs[] = {Local(kDetail), Remote(kDetail), Request(kDetail, "BOX-A1", 20, "BOX-A1", 21),
                              Request(kDetail, "BOX-A1", 22, "BOX-A2", 40)};
    for (const Profile &p : kProfiles) {
        for (const Case &c : cases) {
            for (const bool byId : {false, true}) {
                SCOPED_TRACE(testing::Message() << p.pName << ", " << c.what << (byId ? ", by identifier" : ""));
                Load(p, sessions);
                COPY_REQ request = byId ? ClassicById(static_cast<uint16_t>(c.id)) : pairs[c.id - 1];
                if (!byId && p.bQm) request.CopyInterval[1] = 0xFF;
                const unsigned int option = c.option | (byId ? ZRK_OPT_SESSION_ID : 0);
                ASSERT_EQ(c.op(kSrcHost, option, &request), 0) << ZRKerrno;
                const bool qmStop = p.bQm && c.op == StopVz;
                const std::string code = qmStop ? "45" : c.codes;
                EXPECT_EQ(Trail(), Head(p) + " " + (byId ? "in1a" : Search(p)) + " out" + code);
                EXPECT_EQ(Field("A1", c.id, "status"), c.after);
                // Found by its identifier, a remote session marks the request.
                EXPECT_EQ(request.RemoteFlag, c.remote ? 1 : 0);
                const std::vector<Bytes> lists = Lists();
                ASSERT_EQ(lists.size(), 1u);
                if (qmStop) {
                    EXPECT_EQ(lists[0][24], (c.option & ZRK_OPT_FORCE) != 0 ? ZRK_TVC_OP_FORCE : 0u);
                } else if (c.bitAt != 0) {
                    EXPECT_EQ(lists[0][c.bitAt] & c.bit, c.bit);
                }
            }
        }
    }
}

// Refusals: what each sends before it refuses (nothing after the support
// read and the session's detail).
TEST_F(ClassicVz, RefusalsSendNoList) {
    const std::vector<std::string> sessions = {"1 vz A1 5 A1 6", "2 vz A1 7 A2 9",
                                               "3 vz A1 20 A1 21 status=suspend"};
    struct Case {
        const char *what;
        const Profile *profile;
        SessionOp op;
        unsigned int option;
        COPY_REQ request;
        int code;
        std::string trail;
    };
    COPY_REQ qmInterval = Local(kQm);
    qmInterval.CopyInterval[1] = 3;
    COPY_REQ otherArray = Request(kDetail, "BOX-A2", 5, "BOX-A2", 6);
    // clang-format off
    const Case cases[] = {
        {"suspend of a suspended session",      &kDetail, SuspendVz, 0, Request(kDetail, "BOX-A1", 20, "BOX-A1", 21), ZRK_ERR_SEQUENCE, "in00 in00 in43"},
        {"resume of an active session",         &kIdList, ResumeVz,  ZRK_OPT_SESSION_ID, ClassicById(1), ZRK_ERR_SEQUENCE, "in00 in1a"},
        {"forced suspend of a local session",   &kDetail, SuspendVz, ZRK_OPT_SESSION_ID | ZRK_OPT_FORCE, ClassicById(1), ZRK_ERR_OPTION, "in00 in1a"},
        {"remain-mode resume, local session",   &kIdList, ResumeVz,  ZRK_OPT_SESSION_ID | ZRK_OPT_REMAIN, ClassicById(3), ZRK_ERR_OPTION, "in00 in1a"},
        {"no session of that identifier",       &kQm,     StopVz,    ZRK_OPT_SESSION_ID, ClassicById(9), ZRK_ERR_NO_SESSION, "in00 in02 in1a"},
        {"no session of that pair",             &kIdList, StopVz,    0, Request(kIdList, "BOX-A1", 8, "BOX-A1", 6), ZRK_ERR_NO_SESSION, "in00 in19 in19"},
        {"QM: copy interval not 255",           &kQm,     StopVz,    0, qmInterval, ZRK_ERR_INTERVAL, ""},
        {"QM start: an option outside its mask",&kQm,     StartVz,   ZRK_OPT_SYNC, Local(kQm), ZRK_ERR_OPTION, ""},
        {"QM start: copy interval not 255",     &kQm,     StartVz,   0, qmInterval, ZRK_ERR_INTERVAL, ""},
        {"start: secondary access not offered", &kIdList, StartVz,   ZRK_OPT_SECONDARY, Local(kIdList), ZRK_ERR_NOT_SUPPORT, "in00"},
        {"start: consistency not offered",      &kIdList, StartVz,   ZRK_OPT_CONSISTENCY, Remote(kIdList), ZRK_ERR_NOT_SUPPORT, "in00"},
        {"start of another array's pair",       &kDetail, StartVz,   0, otherArray, ZRK_ERR_DIFFERENT_ZRK, ""},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.profile->pName << ", " << c.what);
        Load(*c.profile, sessions);
        COPY_REQ request = c.request;
        EXPECT_EQ(c.op(kSrcHost, c.option, &request), -1);
        EXPECT_EQ(ZRKerrno, c.code);
        EXPECT_EQ(Trail(), c.trail);
        EXPECT_EQ(Field("A1", 1, "status"), "2");
        EXPECT_EQ(Field("A1", 3, "status"), "4");
    }
}

// ---- change ---------------------------------------------------------------------------------

TEST_F(ClassicVz, ChangeSendsTheModeOrReversalPage) {
    const std::vector<std::string> sessions = {"1 vz A1 5 A1 6 status=suspend",
                                               "2 vz A1 7 A2 9 status=suspend mode=sync"};
    struct Case {
        const char *what;
        unsigned int option;
        unsigned id;
        bool byId;
        const char *field, *value; // of session id afterwards
    };
    // clang-format off
    const Case cases[] = {
        {"reversal of a local session",        ZRK_OPT_REVERSE, 1, false, "pair", "A1:6>A1:5"},
        {"reversal by identifier",             ZRK_OPT_REVERSE | ZRK_OPT_SESSION_ID, 1, true, "pair", "A1:6>A1:5"},
        {"mode change of a remote session",    ZRK_OPT_SYNC | ZRK_OPT_AUTO_SPLIT, 2, false, "mode", "sync,split"},
        {"mode change by identifier",          ZRK_OPT_STACK | ZRK_OPT_SESSION_ID, 2, true, "transfer", "2"},
    };
    // clang-format on
    for (const Profile *p : {&kDetail, &kIdList}) {
        for (const Case &c : cases) {
            // The identifier-list profile offers neither stack mode nor a local reversal.
            if (!p->bDetailList && (c.option & (ZRK_OPT_STACK | ZRK_OPT_REVERSE)) != 0) continue;
            SCOPED_TRACE(testing::Message() << p->pName << ", " << c.what);
            Load(*p, sessions);
            COPY_REQ request = c.byId ? ClassicById(static_cast<uint16_t>(c.id))
                                      : (c.id == 1 ? Local(*p) : Remote(*p));
            ASSERT_EQ(ChangeVz(kSrcHost, c.option, &request), 0) << ZRKerrno;
            EXPECT_EQ(Trail(), Head(*p) + " " + (c.byId ? "in1a" : Search(*p)) + " out46");
            const std::string found = Field("A1", c.id, c.field);
            EXPECT_NE(found.find(c.value), std::string::npos) << found;
        }
    }
}

TEST_F(ClassicVz, ChangeRefusals) {
    const std::vector<std::string> sessions = {"1 vz A1 5 A1 6 status=suspend", "2 vz A1 7 A2 9"};
    struct Case {
        const char *what;
        const Profile *profile;
        unsigned int option;
        COPY_REQ request;
        int code;
        std::string trail;
    };
    // clang-format off
    const Case cases[] = {
        {"local session without reversal",        &kDetail, ZRK_OPT_SYNC, Local(kDetail), ZRK_ERR_OPTION, "in00"},
        {"local by identifier without reversal",  &kIdList, ZRK_OPT_SESSION_ID, ClassicById(1), ZRK_ERR_OPTION, "in00 in1a"},
        {"local reversal not offered",            &kIdList, ZRK_OPT_REVERSE, Local(kIdList), ZRK_ERR_NOT_SUPPORT, "in00"},
        {"stack mode not offered",                &kIdList, ZRK_OPT_STACK, Remote(kIdList), ZRK_ERR_NOT_SUPPORT, "in00"},
        {"the QM family changes nothing",         &kQm,     ZRK_OPT_REVERSE, Local(kQm), ZRK_ERR_NOT_SUPPORT, "in00 in02"},
        {"session not suspended",                 &kDetail, ZRK_OPT_SYNC, Remote(kDetail), ZRK_ERR_SEQUENCE, "in00 in00 in43"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.profile->pName << ", " << c.what);
        Load(*c.profile, sessions);
        COPY_REQ request = c.request;
        EXPECT_EQ(ChangeVz(kSrcHost, c.option, &request), -1);
        EXPECT_EQ(ZRKerrno, c.code);
        EXPECT_EQ(Trail(), c.trail);
    }
}

// A refused change of a remote session: the partner's refusal, a mode left
// unchanged, a change that crossed another, told apart from the session's
// detail read again; the change's sense stays in the store.
TEST_F(ClassicVz, RefusedRemoteChangeIsDiagnosed) {
    struct Case {
        const char *what;
        const char *host;
        int key, asc, ascq;       // the change's sense
        const char *sessionAfter; // setsession options (before the call: the array's state
                                  // when it refuses)
        std::string corrupt;      // "OFFSET HEX" laid over the detail read again
        int code;                 // 0: the code of the change's sense
        bool reread;              // the detail is read again
    };
    // clang-format off
    const Case cases[] = {
        {"partner refused",                       kSrcHost, 5, 0x26, 0x00, "",             "",       ZRK_ERR_PARTNER,        false},
        {"source side, mode change state 0",      kSrcHost, 4, 0xF9, 0xA6, "modechange=0", "",       ZRK_ERR_MODE_UNCHANGED, true},
        {"source side, mode change state 1",      kSrcHost, 5, 0x26, 0xBC, "modechange=1", "",       ZRK_ERR_MODE_CROSSES,   true},
        {"source side, another state",            kSrcHost, 4, 0xF9, 0xA6, "modechange=7", "",       0,                      true},
        {"session gone when read again",          kSrcHost, 4, 0xF9, 0xA6, "",             "14 00",  ZRK_ERR_MODE_CROSSES,   true},
        {"destination side, record unchanged",    kDstHost, 4, 0xF9, 0xA6, "",             "",       ZRK_ERR_MODE_UNCHANGED, true},
        {"destination side, record changed",      kDstHost, 5, 0x26, 0xBC, "",             "20 ff",  ZRK_ERR_MODE_CROSSES,   true},
        {"another sense",                         kSrcHost, 5, 0x26, 0x91, "",             "",       0,                      false},
    };
    // clang-format on
    for (const Profile *p : {&kDetail, &kIdList}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << p->pName << ", " << c.what);
            Load(*p, {"2 vz A1 7 A2 9 status=suspend mode=sync"});
            if (*c.sessionAfter != '\0') sim.setSession("A1", 2, c.sessionAfter);
            // The transport sends a command that fails with a hardware error
            // three times.
            const int attempts = c.key == 4 ? 3 : 1;
            sim.injectSenseOnList(ZRK_TVC_CHANGE, attempts, c.key, c.asc, c.ascq);
            // The first page 0x1A read (by identifier) finds the session; the
            // second is the diagnosis.
            if (!c.corrupt.empty()) {
                const size_t space = c.corrupt.find(' ');
                sim.corrupt(ZRK_PAGE_REMOTE_VZ_DETAIL, std::stoul(c.corrupt.substr(0, space)),
                            c.corrupt.substr(space + 1), 1, 1);
            }
            const bool dstSide = std::string(c.host) == kDstHost;
            COPY_REQ request = ClassicById(dstSide ? 1 : 2); // the partner identifier on A2
            EXPECT_EQ(ChangeVz(c.host, ZRK_OPT_SESSION_ID | ZRK_OPT_SYNC, &request), -1);
            EXPECT_EQ(ZRKerrno, c.code != 0 ? c.code : SenseErrno(c.key, c.asc, c.ascq));
            const Stored s = ReadStore();
            EXPECT_EQ(s.key, c.key);
            EXPECT_EQ(s.asc, c.asc);
            EXPECT_EQ(s.ascq, c.ascq);
            std::string changes;
            for (int i = 0; i < attempts; ++i) changes += " out46";
            EXPECT_EQ(Trail(), Head(*p) + " in1a" + changes + (c.reread ? " in1a" : ""));
        }
    }
}

// ---- queries and the identifier list ---------------------------------------------------------

TEST_F(ClassicVz, QueriesReadTheSession) {
    const std::vector<std::string> sessions = {
        "2 vz A1 7 A2 9 status=suspend phase=equivalent copied=1234", "3 kzp A1 20 A1 21"};
    for (const Profile &p : kProfiles) {
        SCOPED_TRACE(p.pName);
        Load(p, sessions);
        for (const bool byId : {false, true}) {
            FreshCall();
            COPY_REQ request = byId ? ClassicById(2) : Remote(p);
            unsigned int result[3] = {9, 9, 9};
            ASSERT_EQ(QueryVz(kSrcHost, byId ? ZRK_OPT_SESSION_ID : 0, &request, result), 0) << ZRKerrno;
            EXPECT_EQ(result[0], 4u);
            EXPECT_EQ(result[1], 2u);
            EXPECT_EQ(result[2], 1234u);
            EXPECT_EQ(Trail(), Head(p) + " " + (byId ? "in1a" : Search(p)));
        }

        FreshCall();
        COPY_REQ request = Remote(p);
        RVZ_DETAIL_INFO byPair{};
        ASSERT_EQ(QueryVzDetail(kSrcHost, 0, &request, &byPair), 0) << ZRKerrno;
        EXPECT_EQ(Trail(), Head(p) + " " + Search(p));
        FreshCall();
        RVZ_DETAIL_INFO byId{};
        ASSERT_EQ(QueryVzSession(kSrcHost, 0, 2, 1, &byId), 0) << ZRKerrno;
        EXPECT_EQ(Trail(), Head(p) + " in1a");
        for (const RVZ_DETAIL_INFO *d : {&byPair, &byId}) {
            EXPECT_EQ(zrk::Be16(d->ucaSessionID), 2);
            EXPECT_EQ(d->Status, 4);
            EXPECT_EQ(zrk::Be32(d->ucaCopiedBlock), 1234u);
            EXPECT_EQ(zrk::Be32(d->SrcOlu), 7u);
            EXPECT_EQ(zrk::Be32(d->DstOlu), 9u);
            EXPECT_NE(d->ucFlags & ZRK_SESFLAG_REMOTE, 0);
        }

        struct Refusal {
            int id;
            unsigned char role;
            int code;
            const char *trail;
        };
        // A KZP session is no VZ session; a wider identifier is refused unsent.
        const Refusal refusals[] = {{3, 1, ZRK_ERR_NO_SESSION, "in1a"},
                                    {2, 2, ZRK_ERR_NO_SESSION, "in1a"},
                                    {0x10002, 1, ZRK_ERR_SESSION_ID, ""},
                                    {-1, 1, ZRK_ERR_SESSION_ID, ""}};
        for (const Refusal &r : refusals) {
            SCOPED_TRACE(r.id);
            FreshCall();
            RVZ_DETAIL_INFO d{};
            EXPECT_EQ(QueryVzSession(kSrcHost, 0, r.id, r.role, &d), -1);
            EXPECT_EQ(ZRKerrno, r.code);
            EXPECT_EQ(Trail(), *r.trail == '\0' ? "" : Head(p) + " " + r.trail);
        }
    }
}

TEST_F(ClassicVz, ListHoldsTheFamilysSessions) {
    const std::vector<std::string> sessions = {"1 vz A1 5 A1 6", "2 vz A1 7 A2 9", "3 kzp A1 20 A1 21"};
    for (const Profile &p : kProfiles) {
        SCOPED_TRACE(p.pName);
        Load(p, sessions);
        unsigned char *list = nullptr;
        int length = -1;
        ASSERT_EQ(ListVz(kSrcHost, 0, 1, &list, &length), 0) << ZRKerrno;
        const zrk::Buffer held(list);
        EXPECT_EQ(Trail(), Head(p) + (p.bDetailList ? " in19 in00 in43" : " in19 in19"));
        ASSERT_EQ(length, 16 + 2 * 16);
        EXPECT_EQ(zrk::Be32(list + 4), static_cast<uint32_t>(length - 8));
        EXPECT_EQ(zrk::Be16(list + 16), 1);
        EXPECT_EQ(zrk::Be16(list + 32), 2);
        EXPECT_EQ(zrk::Be32(list + 32 + 8), 7u);
    }
}

// An identifier list whose length field claims more than the array sent:
// the list holds the entries that exist, and its head says so.
TEST_F(ClassicVz, ListOfAnOverstatedLengthIsCut) {
    Load(kIdList, {"1 vz A1 5 A1 6", "2 vz A1 7 A2 9"});
    sim.corrupt(ZRK_PAGE_REMOTE_VZ_LIST, 6, "ffff", 1, 1); // the list, not its count read
    unsigned char *list = nullptr;
    int length = -1;
    ASSERT_EQ(ListVz(kSrcHost, 0, 1, &list, &length), 0) << ZRKerrno;
    const zrk::Buffer held(list);
    ASSERT_EQ(length, 16 + 2 * 16);
    EXPECT_EQ(zrk::Be32(list + 4), 40u);
    EXPECT_EQ(zrk::Be16(list + 16), 1);
    EXPECT_EQ(zrk::Be16(list + 32), 2);
}

// ---- concurrent suspend ----------------------------------------------------------------------

const std::vector<std::string> kConcSessions = {
    "1 vz A1 20 A1 21", "2 vz A1 22 A1 23", "3 vz A1 24 A1 25", "4 vz A1 26 A1 27",
    "5 vz A1 28 A1 29", "6 vz A1 30 A2 40", "7 vz A1 31 A2 41", "8 vz A1 32 A1 33 phase=copying"};
std::vector<CONC_SUS_PAIR> LocalPairs(int n) {
    std::vector<CONC_SUS_PAIR> pairs;
    for (int i = 0; i < n; ++i)
        pairs.push_back(ClassicSuspendPair("BOX-A1", 20 + 2 * static_cast<uint32_t>(i), "BOX-A1",
                                           21 + 2 * static_cast<uint32_t>(i)));
    return pairs;
}

struct ConcProfile {
    const char *pName;
    std::string sClause;
    bool bDetailList;
};
const ConcProfile kConcProfiles[] = {{"detail", "profile=detail", true},
                                     {"idlist with the concurrent suspend", kIdListConc, false}};

TEST_F(ClassicVz, ConcurrentSuspendOfFiveLocalPairs) {
    for (const ConcProfile &p : kConcProfiles) {
        SCOPED_TRACE(p.pName);
        Load(p.sClause, kConcSessions);
        const std::vector<CONC_SUS_PAIR> pairs = LocalPairs(5);
        unsigned char result[20];
        std::memset(result, 0xEE, sizeof result);
        ASSERT_EQ(MultiSuspendVz(kSrcHost, 0, 5, pairs.data(), result), 0) << ZRKerrno;
        // The count read, the sessions per command, then the sessions found:
        // the detail list, or the identifier list and each candidate's detail.
        EXPECT_EQ(Trail(), "in00 in09 in40 " + std::string(p.bDetailList ? "in00 in43" : "in19 in19 in1a in1a in1a in1a in1a") +
                               " out50");
        const std::vector<Bytes> lists = Lists();
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_EQ(zrksim::toHex(lists[0]),
                  GoldenHex(48, {{0, "50"}, {6, "0028 0005"}, {16, "0001 0000 0002 0000 0003 0000 0004 0000 0005"}}));
        for (unsigned id = 1; id <= 5; ++id) {
            EXPECT_EQ(Field("A1", id, "status"), "4") << id;
            EXPECT_EQ(Be(result + 4 * (id - 1), 2), id);
            EXPECT_EQ(Be(result + 4 * (id - 1) + 2, 2), 0u);
        }
    }
}

// From either array: the list names each session by the identifier this
// array knows it by (on the destination array its second one).
TEST_F(ClassicVz, ConcurrentSuspendOfRemotePairs) {
    struct Side {
        const char *host;
        const char *slots; // list entries from byte 16
    };
    const Side sides[] = {{kSrcHost, "0007 0000 0006"}, {kDstHost, "0002 0000 0001"}};
    for (const ConcProfile &p : kConcProfiles) {
        for (const Side &side : sides) {
            for (const bool refused : {false, true}) {
                SCOPED_TRACE(testing::Message() << p.pName << ", " << side.host
                                                << (refused ? ", the partner refuses" : ""));
                Load(p.sClause, kConcSessions);
                if (refused) sim.injectSenseOnList(ZRK_PAGE_CONC_SUSPEND, 1, 5, 0x26, 0x00);
                const CONC_SUS_PAIR pairs[] = {ClassicSuspendPair("BOX-A1", 31, "BOX-A2", 41),
                                               ClassicSuspendPair("BOX-A1", 30, "BOX-A2", 40)};
                unsigned char result[8];
                EXPECT_EQ(MultiSuspendVz(side.host, 0, 2, pairs, result), refused ? -1 : 0) << ZRKerrno;
                EXPECT_EQ(ZRKerrno, refused ? ZRK_ERR_PARTNER : 0);
                const std::vector<Bytes> lists = Lists();
                ASSERT_EQ(lists.size(), 1u);
                EXPECT_EQ(zrksim::toHex(lists[0]), GoldenHex(32, {{0, "50"}, {6, "0018 0002 80"}, {16, side.slots}}));
                EXPECT_EQ(SpanHex(result, 2), std::string(side.slots).substr(0, 4));
                EXPECT_EQ(Field("A1", 6, "status"), refused ? "2" : "4");
                EXPECT_EQ(Field("A1", 7, "status"), refused ? "2" : "4");
            }
        }
    }
}

// Refusals send no concurrent suspend and suspend nothing. A pair given
// twice names one session twice: refused as the page-based engine refuses it.
TEST_F(ClassicVz, ConcurrentSuspendRefusals) {
    struct Case {
        const char *what;
        std::vector<CONC_SUS_PAIR> pairs;
        unsigned int option;
        int code;
        const char *detailTrail, *idListTrail; // after "in00"
    };
    std::vector<CONC_SUS_PAIR> twice = LocalPairs(2);
    twice.push_back(twice[0]);
    std::vector<CONC_SUS_PAIR> mixed = LocalPairs(2);
    std::memcpy(mixed[1].SrcBoxID, BoxId("BOX-A2").data(), ZRK_BOXID_LEN);
    std::vector<CONC_SUS_PAIR> unknown = LocalPairs(2);
    unknown[1].DstExtent = 8;
    std::vector<CONC_SUS_PAIR> notOwn = {ClassicSuspendPair("BOX-A2", 9, "BOX-A2", 42)};
    // clang-format off
    const Case cases[] = {
        {"a pair given twice",              twice,   0, ZRK_ERR_CONC_SUSPEND, "in09 in40 in00 in43", "in09 in40 in19 in19 in1a in1a"},
        {"pairs of two arrays",             mixed,   0, ZRK_ERR_CONC_SUSPEND, "in09 in40", "in09 in40"},
        {"a pair without session",          unknown, 0, ZRK_ERR_CONC_SUSPEND, "in09 in40 in00 in43", "in09 in40 in19 in19 in1a in1a"},
        {"pairs of another array",          notOwn,  0, ZRK_ERR_CONC_SUSPEND, "in09 in40", "in09 in40"},
        {"a session still copying",         {ClassicSuspendPair("BOX-A1", 32, "BOX-A1", 33)}, 0, ZRK_ERR_SEQUENCE, "in09 in40 in00 in43", "in09 in40 in19 in19 in1a"},
        {"untransferred data, local pairs", LocalPairs(1), ZRK_OPT_UNTRANSFERRED, ZRK_ERR_OPTION, "", ""},
        {"no pairs",                        {},      0, ZRK_ERR_CONC_SUSPEND, "", ""},
        {"more pairs than one command takes", LocalPairs(3), 0, ZRK_ERR_PER_COMMAND, "in09 in40", "in09 in40"},
    };
    // clang-format on
    for (const ConcProfile &p : kConcProfiles) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << p.pName << ", " << c.what);
            Load(p.sClause, kConcSessions);
            if (c.code == ZRK_ERR_PER_COMMAND) sim.setArray("A1", "percommand=2");
            unsigned char result[16];
            EXPECT_EQ(MultiSuspendVz(kSrcHost, c.option, static_cast<unsigned>(c.pairs.size()),
                                     c.pairs.empty() ? nullptr : c.pairs.data(), result),
                      -1);
            EXPECT_EQ(ZRKerrno, c.code);
            const std::string tail = p.bDetailList ? c.detailTrail : c.idListTrail;
            EXPECT_EQ(Trail(), "in00" + (tail.empty() ? "" : " " + tail));
            for (unsigned id = 1; id <= 8; ++id) EXPECT_NE(Field("A1", id, "status"), "4") << id;
        }
    }
    // The QM and the plain identifier-list profiles offer no concurrent suspend.
    for (const Profile *p : {&kQm, &kIdList}) {
        SCOPED_TRACE(p->pName);
        Load(*p, kConcSessions);
        const std::vector<CONC_SUS_PAIR> pairs = LocalPairs(1);
        unsigned char result[4];
        EXPECT_EQ(MultiSuspendVz(kSrcHost, 0, 1, pairs.data(), result), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
        EXPECT_EQ(Trail(), Head(*p));
    }
}

// ---- command status list ---------------------------------------------------------------------

TEST_F(ClassicVz, CommandStatusListFromTheDetailList) {
    // VZ sessions in list order (a remote one seen from the destination side
    // by its second identifier), the KZP session left out; more sessions than
    // one command takes all fit the list.
    struct Case {
        const char *what;
        const char *host;
        int perCommand;
        std::vector<std::pair<unsigned, unsigned>> entries; // identifier, status
    };
    const std::vector<std::string> sessions = {"1 vz A1 5 A1 6", "2 kzp A1 20 A1 21",
                                               "3 vz A1 7 A2 9 partner=5 status=suspend", "4 vz A1 22 A1 23"};
    // clang-format off
    const Case cases[] = {
        {"source array",                 kSrcHost, 64, {{1, 2}, {3, 4}, {4, 2}}},
        {"more than one command takes",  kSrcHost, 2,  {{1, 2}, {3, 4}, {4, 2}}},
        {"destination array",            kDstHost, 64, {{5, 4}}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(kDetail, sessions);
        sim.setArray(std::string(c.host) == kSrcHost ? "A1" : "A2", "percommand=" + std::to_string(c.perCommand));
        unsigned char *list = nullptr;
        int length = -1;
        ASSERT_EQ(CommandStatusList(c.host, 0, &list, &length), 0) << ZRKerrno;
        const zrk::Buffer held(list);
        EXPECT_EQ(Trail(), "in00 in40 in19 in00 in43");
        const size_t k = c.entries.size();
        ASSERT_EQ(length, static_cast<int>((std::max<size_t>(k, static_cast<size_t>(c.perCommand)) + 2) * 8));
        EXPECT_EQ(zrk::Be32(list + 4), (k + 1) * 8);
        EXPECT_EQ(zrk::Be16(list + 10), c.perCommand);
        for (size_t i = 0; i < k; ++i) {
            EXPECT_EQ(zrk::Be16(list + 16 + 8 * i), c.entries[i].first) << i;
            EXPECT_EQ(list[16 + 8 * i + 2], c.entries[i].second) << i;
        }
        EXPECT_TRUE(AllZero(list + 16 + 8 * k, static_cast<size_t>(length) - 16 - 8 * k));
    }
}

TEST_F(ClassicVz, CommandStatusListAsTheArraySendsIt) {
    for (const bool overstated : {false, true}) {
        SCOPED_TRACE(overstated ? "the reply claims more entries than one command takes" : "as sent");
        Load(kIdListConc, {"1 vz A1 5 A1 6", "2 vz A1 7 A2 9 status=suspend", "3 kzp A1 20 A1 21"});
        sim.setArray("A1", "percommand=4");
        if (overstated) sim.corrupt(ZRK_PAGE_PER_COMMAND, 4, "00001000", 1, 1);
        unsigned char *list = nullptr;
        int length = -1;
        ASSERT_EQ(CommandStatusList(kSrcHost, 0, &list, &length), 0) << ZRKerrno;
        const zrk::Buffer held(list);
        EXPECT_EQ(Trail(), "in00 in40 in40");
        ASSERT_EQ(length, (4 + 2) * 8);
        EXPECT_EQ(zrk::Be32(list + 4), overstated ? 5u * 8 : 3u * 8);
        EXPECT_EQ(zrk::Be16(list + 10), 4);
        EXPECT_EQ(zrk::Be16(list + 16), 1);
        EXPECT_EQ(list[16 + 2], 2);
        EXPECT_EQ(zrk::Be16(list + 24), 2);
        EXPECT_EQ(list[24 + 2], 4);
    }
    for (const Profile *p : {&kQm, &kIdList}) {
        SCOPED_TRACE(p->pName);
        Load(*p);
        unsigned char *list = nullptr;
        int length = -1;
        EXPECT_EQ(CommandStatusList(kSrcHost, 0, &list, &length), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
        EXPECT_EQ(list, nullptr);
        EXPECT_EQ(Trail(), Head(*p));
    }
}

// ---- RVZ buffer setting ----------------------------------------------------------------------

TEST_F(ClassicVz, RvzBufferSetting) {
    RVZ_BUFF_SET_REQ request{};
    request.uhBuffID = 3;
    request.uhBuffType = 2;
    request.uhInterval = 4;
    request.uiMonitorTime = 9;
    std::memcpy(request.ucaRemoteBoxID, BoxId("BOX-A2").data(), ZRK_BOXID_LEN);
    struct Case {
        const char *what;
        const Profile *profile;
        bool refused; // the array refuses the list
        int code;
        const char *trail;
    };
    // clang-format off
    const Case cases[] = {
        {"set",                     &kDetail, false, 0,                    "in00 out47"},
        {"refused by the array",    &kDetail, true,  ZRK_ERR_RVZ_BUFFER,   "in00 out47"},
        {"no RVZ buffers: idlist",  &kIdList, false, ZRK_ERR_NOT_SUPPORT,  "in00"},
        {"no RVZ buffers: QM",      &kQm,     false, ZRK_ERR_NOT_SUPPORT,  "in00 in02"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Load(*c.profile);
        if (c.refused) sim.injectSenseOnList(0x47, 1, 5, 0x26, 0x00);
        EXPECT_EQ(RVZBuffSet(kSrcHost, &request), c.code == 0 ? 0 : -1);
        EXPECT_EQ(ZRKerrno, c.code);
        EXPECT_EQ(Trail(), c.trail);
        if (c.code != 0) continue;
        ASSERT_EQ(Lists().size(), 1u);
        EXPECT_EQ(zrksim::toHex(Lists()[0]),
                  GoldenHex(128, {{0, "47"}, {6, "0078 0003"}, {16, "0002 0004 00000009"}, {24, BoxIdHex("BOX-A2")}}));
        // The array now lists the buffer.
        FreshCall();
        unsigned char *reply = nullptr;
        int length = 0;
        ASSERT_EQ(GetRVZBuffInfo(kSrcHost, &reply, &length), 0) << ZRKerrno;
        const zrk::Buffer held(reply);
        ASSERT_GE(length, 80);
        EXPECT_EQ(zrk::Be16(reply + 10), 1);
        EXPECT_EQ(reply[16 + 1], 3);
        EXPECT_EQ(zrk::Be16(reply + 16 + 8), 2);  // the buffer's type
    }
}

}  // namespace
