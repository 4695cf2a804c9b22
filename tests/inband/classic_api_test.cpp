// The classic public functions: one table of all of them with their option
// masks, missing outputs, unreadable volumes and callers that are not root,
// and a table of the refusals each function makes of its own; all of these
// happen before any command reaches an array. Against arrays without the
// page-based engine: the detail query by pair and by identifier, the detail
// list and the search in it, the OLU status and the checks of an RVZ buffer
// setting. Last, the clamps of the lists an array hands back.
#include "child.h"
#include "inband_support.h"
#include "zrkclassic.h"
#include "zrkframe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace inbandtest;

// The clamps of the classic functions (zrkapi_classic.cpp).
namespace zrk {
size_t ClampSessionList(unsigned char *list, size_t allocatedLength, bool largeForm);
size_t RvzBuffListData(const unsigned char *list, size_t allocatedLength);
size_t RvzBuffEntries(const unsigned char *list, size_t allocatedLength);
size_t RemoteBoxEntries(const unsigned char *list, bool qmFamily);
size_t StatusListEntries(const unsigned char *list, size_t allocatedLength);
} // namespace zrk

namespace {

constexpr char kDisk[] = "/dev/sdb";      // C1:5
constexpr char kMissing[] = "/dev/sdz";   // no such node
constexpr uint32_t kNoDest = 0xFFFFFFFFu;

// Two classic arrays with a detail list, the second the RVZ partner of the
// first; sessions of every kind on the first.
constexpr char kScenario[] = R"(
array C1 boxid="BOX-C1" profile=detail maxsessions=16,32,16,32
array C2 boxid="BOX-C2" profile=detail
volume C1 5 2097152
volume C1 6 2097152
volume C1 7 2097152
volume C1 8 2097152
volume C1 9 2097152
volume C1 10 2097152
volume C1 11 2097152
volume C1 12 2097152 type=sdv
volume C2 9 2097152
disk /dev/sdb 8:16 C1 5
rvzbuffer C1 3 type=1 remote=C2 interval=2 monitor=5
)";

constexpr char kSessions[] =
    "session 3 rvz C1 5 C2 9 partner=40 mode=sync,split transfer=0 phase=copying copied=0x1234\n"
    "session 4 vz C1 6 C1 7 status=suspend phase=tracking copied=99\n"
    "session 8 quickkzp C1 8 C1 9 copied=5\n"
    "session 9 snapkzp C1 10 C1 11\n"
    "session 10 monitor C1 7 C1 -\n";

// ---- the arguments of every function -----------------------------------------------------

struct Args {
    const char *pVolume = kDisk;
    std::string sSrc = "BOX-C1", sDst = "BOX-C1";
    bool bNoSrcBox = false, bNoDstBox = false; // null BoxIDs
    bool bKeepDstBox = false; // the destination BoxID as named also without a destination
    uint32_t uiSrcOlu = 5, uiSrcExt = 0, uiSize = 0, uiDstOlu = 6, uiDstExt = 0;
    uint32_t uiInterval = 0;
    uint32_t uiOption = 0;
    uint32_t uiExtra = 0;  // ExtentCnt, SessionID, SrcOlu of an OLU function
    uint32_t uiLength = 256; // Length of the detail query
    bool bNullOut = false; // the output areas missing
};

// The areas a call writes into.
struct Areas {
    unsigned char ucaSense[ZRK_SENSE_LEN];
    unsigned char ucaOut[ZRK_REMOTE_BOXID_LIST_LEN];
    char caBox[ZRK_BOXID_LEN];
    uint32_t uiaValues[4];
    DETAIL_LIST_INFO taList[4];
    CONC_SUS_PAIR taPairs[2];
    RVZ_BUFF_SET_REQ tBuffSet;
};

using Call = int (*)(const Args &, Areas &);

// The pair arguments of a classic function.
#define PAIR(a)                                                                                 \
    (a).bNoSrcBox ? nullptr : src.data(), (a).uiSrcOlu, (a).uiSrcExt, (a).uiSize,              \
        (a).bNoDstBox ? nullptr : dst.data(), (a).uiDstOlu, (a).uiDstExt, (a).uiInterval
#define BOXES(a)                                                                                \
    const std::string src = BoxId((a).sSrc);                                                    \
    const std::string dst = (a).uiDstOlu == kNoDest && !(a).bKeepDstBox                         \
                                ? std::string(ZRK_BOXID_LEN, '\xFF')                            \
                                : BoxId((a).sDst)
#define OUT(a, area) ((a).bNullOut ? nullptr : (area))

// One function of the family.
struct Function {
    const char *pName;
    Call pfnCall;
    int64_t llMask;    // accepted option bits; -1: no option word
    bool bCopiesSense; // a refused volume hands its pseudo sense to the caller
    int iNoOutput;     // ZRKerrno without the output areas (0: the function has none)
    int iSuccess;      // what success returns
};

// clang-format off
const std::vector<Function> &Family() {
    static const std::vector<Function> kFamily = {
        {"ZRKGetVolumeInfo", [](const Args &a, Areas &o) {
             return ZRKGetVolumeInfo(a.pVolume, a.uiExtra, a.uiOption, OUT(a, o.caBox), &o.uiaValues[0],
                                     &o.uiaValues[1], &o.uiaValues[2], o.ucaOut, o.ucaSense); },
         0, false, 13, 1},
        {"ZRKGetVolumeInfoEx", [](const Args &a, Areas &o) {
             return ZRKGetVolumeInfoEx(a.pVolume, a.uiExtra, a.uiOption, o.caBox, &o.uiaValues[0],
                                       &o.uiaValues[1], &o.uiaValues[2], o.ucaOut,
                                       OUT(a, o.ucaOut + 256), o.ucaSense); },
         0, false, 13, 1},
        {"ZRKGetVolumeList", [](const Args &a, Areas &o) {
             return ZRKGetVolumeList(a.pVolume, a.uiOption, OUT(a, o.caBox), o.ucaOut, o.ucaSense); },
         0, true, 13, 0},
        {"ZRKGetVolumeConstInfo", [](const Args &a, Areas &o) {
             return ZRKGetVolumeConstInfo(a.pVolume, a.uiOption, OUT(a, o.ucaOut), o.ucaSense); },
         0, true, 13, 0},
        {"ZRKGetRemoteBoxIDList", [](const Args &a, Areas &o) {
             return ZRKGetRemoteBoxIDList(a.pVolume, a.uiOption, OUT(a, o.ucaOut), o.ucaSense); },
         0, true, 13, 0},
        {"ZRKStartVZ", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKStartVZ(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0xF60, false, 0, 0},
        {"ZRKStopVZ", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKStopVZ(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0x6, false, 0, 0},
        {"ZRKSuspendVZ", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKSuspendVZ(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0x6, false, 0, 0},
        {"ZRKResumeVZ", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKResumeVZ(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0x84, false, 0, 0},
        {"ZRKChangeVZ", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKChangeVZ(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0x1F24, false, 0, 0},
        {"ZRKQueryVZ", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKQueryVZ(a.pVolume, PAIR(a), a.uiOption, &o.uiaValues[0], &o.uiaValues[1],
                               OUT(a, &o.uiaValues[2]), o.ucaSense); },
         0x4, false, 13, 0},
        {"ZRKQueryVZDetail", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKQueryVZDetail(a.pVolume, PAIR(a), a.uiOption, OUT(a, o.ucaOut), o.ucaSense); },
         0, false, 13, 0},
        {"ZRKQueryVZSession", [](const Args &a, Areas &o) {
             return ZRKQueryVZSession(a.pVolume, a.uiExtra, a.uiOption, OUT(a, o.ucaOut), o.ucaSense); },
         0, false, 13, 0},
        {"ZRKListVZ", [](const Args &a, Areas &o) {
             return ZRKListVZ(a.pVolume, a.uiOption, OUT(a, o.ucaOut), o.ucaSense); },
         0, true, 13, 0},
        {"ZRKMultiSuspendVZ", [](const Args &a, Areas &o) {
             return ZRKMultiSuspendVZ(a.pVolume, o.taPairs, 1, a.uiOption,
                                      OUT(a, reinterpret_cast<unsigned char *>(o.uiaValues)), o.ucaSense); },
         0, false, 67, 0},
        {"ZRKStatusListVZ", [](const Args &a, Areas &o) {
             return ZRKStatusListVZ(a.pVolume, a.uiOption, OUT(a, o.ucaOut), o.ucaSense); },
         0, true, 13, 0},
        {"ZRKRVZBuffInfo", [](const Args &a, Areas &o) {
             return ZRKRVZBuffInfo(a.pVolume, OUT(a, o.ucaOut), o.ucaSense); },
         -1, true, 13, 0},
        {"ZRKRVZBuffSet", [](const Args &a, Areas &o) {
             return ZRKRVZBuffSet(a.pVolume, OUT(a, &o.tBuffSet), o.ucaSense); },
         -1, true, 66, 0},
        {"ZRKStartKZP", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKStartKZP(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0, false, 0, 0},
        {"ZRKStopKZP", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKStopKZP(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0x6, false, 0, 0},
        {"ZRKQueryKZP", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKQueryKZP(a.pVolume, PAIR(a), a.uiOption, OUT(a, &o.uiaValues[0]), &o.uiaValues[1],
                                &o.uiaValues[2], o.ucaSense); },
         0x4, false, 13, 0},
        {"ZRKListKZP", [](const Args &a, Areas &o) {
             return ZRKListKZP(a.pVolume, a.uiOption, OUT(a, o.ucaOut), o.ucaSense); },
         0, true, 13, 0},
        {"ZRKQueryKZPSession", [](const Args &a, Areas &o) {
             return ZRKQueryKZPSession(a.pVolume, a.uiExtra, a.uiOption, OUT(a, o.ucaOut), o.ucaSense); },
         0, false, 13, 0},
        {"ZRKQueryKZPDetail", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKQueryKZPDetail(a.pVolume, PAIR(a), a.uiOption, OUT(a, o.ucaOut), o.ucaSense); },
         0, false, 13, 0},
        {"ZRKStartDiffKZP", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKStartDiffKZP(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0x2000, false, 0, 0},
        {"ZRKStopDiffKZP", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKStopDiffKZP(a.pVolume, PAIR(a), a.uiOption | ZRK_OPT_FORCE, o.ucaSense); },
         0x4006, false, 0, 0},
        {"ZRKStartSnapKZP", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKStartSnapKZP(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0x8000, false, 0, 0},
        {"ZRKStopSnapKZP", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKStopSnapKZP(a.pVolume, PAIR(a), a.uiOption, o.ucaSense); },
         0x8004, false, 0, 0},
        {"ZRKQueryDetail", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKQueryDetail(a.pVolume, PAIR(a), a.uiOption, a.uiLength, OUT(a, o.ucaOut), o.ucaSense); },
         0x4, false, 13, 0},
        {"ZRKSnapDataVolInit", [](const Args &a, Areas &o) {
             return ZRKSnapDataVolInit(a.pVolume, a.uiExtra == 0 ? 12 : a.uiExtra, o.ucaSense); },
         -1, true, 0, 0},
        {"ZRKGetOLUStatus", [](const Args &a, Areas &o) {
             return ZRKGetOLUStatus(a.pVolume, a.uiExtra == 0 ? 12 : a.uiExtra, OUT(a, o.ucaOut), o.ucaSense); },
         -1, true, 13, 0},
        {"ZRKGetCountInfo", [](const Args &a, Areas &o) {
             return ZRKGetCountInfo(a.pVolume, OUT(a, o.ucaOut), o.ucaSense); },
         -1, true, 13, 0},
        {"ZRKGetDetailList", [](const Args &a, Areas &o) {
             return ZRKGetDetailList(a.pVolume, a.uiOption, &o.uiaValues[0], OUT(a, o.taList), o.ucaSense); },
         0x1C80000, true, 13, 0},
        {"ZRKQueryDetailfromList", [](const Args &a, Areas &o) { BOXES(a);
             return ZRKQueryDetailfromList(2, 1, o.taList, PAIR(a), OUT(a, o.ucaOut), &o.uiaValues[0]); },
         -1, false, 13, 0},
    };
    return kFamily;
}
// clang-format on

const Function &Named(const std::string &name) {
    for (const Function &f : Family())
        if (name == f.pName) return f;
    throw std::runtime_error("no function " + name);
}

// The functions that take a volume.
bool HasVolume(const Function &f) { return std::string(f.pName) != "ZRKQueryDetailfromList"; }
bool HasSense(const Function &f) { return HasVolume(f); }

class ClassicApi : public InbandTest {
protected:
    ClassicApi() : InbandTest(kScenario) {}

    // A call with the areas filled with garbage first; the call's device is
    // released after it.
    int Run(const Function &f, const Args &a) {
        std::memset(&areas, 0xEE, sizeof areas);
        areas.taPairs[0] = ClassicSuspendPair("BOX-C1", 5, "BOX-C1", 6);
        areas.tBuffSet = RVZ_BUFF_SET_REQ{3, 0, 1, 2, 5, {}};
        std::memcpy(areas.tBuffSet.ucaRemoteBoxID, BoxId("BOX-C2").data(), ZRK_BOXID_LEN);
        ZRKerrno = 0;
        const int rc = f.pfnCall(a, areas);
        EXPECT_EQ(ZRKopenFlag, 0) << f.pName;
        EXPECT_EQ(ZRKopenFd, 0) << f.pName;
        return rc;
    }
    // A refusal before any command: -1, the code, nothing sent, the
    // device released.
    void ExpectRefused(const Function &f, const Args &a, int expected) {
        SCOPED_TRACE(f.pName);
        sim.clearLog();
        EXPECT_EQ(Run(f, a), -1);
        EXPECT_EQ(ZRKerrno, expected);
        EXPECT_TRUE(sim.cdbLog().empty()) << CdbHexes(sim).size() << " commands";
    }

    Areas areas;
};

// ---- one table of the family -------------------------------------------------------------

TEST_F(ClassicApi, FamilyHasEveryFunction) { EXPECT_EQ(Family().size(), 34u); }

// Each bit outside a function's mask is refused alone (37) before any
// command, also together with a bit the function accepts.
TEST_F(ClassicApi, OptionMasks) {
    for (const Function &f : Family()) {
        if (f.llMask < 0) continue;
        const uint32_t mask = static_cast<uint32_t>(f.llMask);
        for (int bit = 0; bit < 32; ++bit) {
            const uint32_t option = 1u << bit;
            if ((option & mask) != 0) continue;
            SCOPED_TRACE(testing::Message() << "option 0x" << std::hex << option);
            ExpectRefused(f, Args{.uiOption = option}, 37);
            ExpectRefused(f, Args{.uiOption = option | (mask & (0u - mask))}, 37);
        }
    }
}

// The classic start takes no target protection, although the large-volume
// start does.
TEST_F(ClassicApi, StartVzRefusesTargetProtection) {
    ExpectRefused(Named("ZRKStartVZ"), Args{.sDst = "BOX-C2", .uiDstOlu = 9, .uiOption = 0x20000}, 37);
}

// Without the output areas: refused before any command.
TEST_F(ClassicApi, MissingOutputs) {
    for (const Function &f : Family()) {
        if (f.iNoOutput == 0) continue;
        ExpectRefused(f, Args{.bNullOut = true}, f.iNoOutput);
    }
}

// A volume that cannot be read: 2, and the pseudo sense of the access check
// for the functions that hand it over; the others leave the caller's sense
// buffer cleared.
TEST_F(ClassicApi, UnreadableVolume) {
    for (const Function &f : Family()) {
        if (!HasVolume(f)) continue;
        ExpectRefused(f, Args{.pVolume = kMissing}, 2);
        if (f.bCopiesSense) {
            EXPECT_EQ(areas.ucaSense[0], ZRK_ERRCLASS_ACCESS) << f.pName;
            EXPECT_EQ(ShiftBtoI(areas.ucaSense + 4, 4), static_cast<unsigned>(ENOENT)) << f.pName;
        } else {
            EXPECT_TRUE(AllZero(areas.ucaSense, sizeof areas.ucaSense)) << f.pName;
        }
    }
}

// A caller that is not root: 34 from every function, with a cleared sense
// buffer, before any command.
TEST_F(ClassicApi, CallerThatIsNotRoot) {
    sim.clearLog();
    const zrktest::ChildResult r = zrktest::runChild([] {
        ConnectHost();
        if (!zrktest::dropPrivileges()) return 100;
        int failures = 0;
        static Areas out;
        for (const Function &f : Family()) {
            std::memset(&out, 0xEE, sizeof out);
            ZRKerrno = 0;
            const int rc = f.pfnCall(Args{}, out);
            const bool senseOk = !HasSense(f) || AllZero(out.ucaSense, sizeof out.ucaSense);
            if (rc != -1 || ZRKerrno != 34 || !senseOk || ZRKopenFlag != 0) {
                std::printf("%s: rc %d ZRKerrno %d\n", f.pName, rc, ZRKerrno);
                ++failures;
            }
        }
        return failures;
    });
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(sim.cdbLog().empty());
}

// Each function's own refusals, one case a row.
struct Refusal {
    const char *pFunction;
    const char *pWhat;
    Args tArgs;
    int iExpected;
};

const Args kRemote{.sDst = "BOX-C2", .uiDstOlu = 9};
Args Remote(uint32_t option) { Args a = kRemote; a.uiOption = option; return a; }
Args Local(uint32_t option) { return Args{.uiOption = option}; }
Args ById(uint32_t id, uint32_t option = ZRK_OPT_SESSION_ID) {
    return Args{.uiSrcOlu = id, .uiDstOlu = 0, .uiOption = option};
}
Args NoDest(uint32_t srcExt, uint32_t size, uint32_t dstExt, uint32_t option = 0) {
    return Args{.uiSrcExt = srcExt, .uiSize = size, .uiDstOlu = kNoDest, .uiDstExt = dstExt,
                .uiOption = option};
}

// clang-format off
const std::vector<Refusal> kRefusals = {
    // the pair checks, through every pair function's check
    {"ZRKStartVZ", "no source BoxID", Args{.bNoSrcBox = true}, 4},
    {"ZRKStartVZ", "no destination BoxID", Args{.bNoDstBox = true}, 5},
    {"ZRKStartVZ", "source OLU", Args{.uiSrcOlu = 0x10000}, 6},
    {"ZRKStartVZ", "destination OLU", Args{.uiDstOlu = 0x10000}, 7},
    {"ZRKStartVZ", "whole volume onto itself", Args{.uiDstOlu = 5}, 48},
    {"ZRKStartVZ", "overlap", Args{.uiSrcExt = 0x100, .uiSize = 0x100, .uiDstOlu = 5, .uiDstExt = 0x1FF}, 8},
    {"ZRKStartVZ", "size 0 with an extent", Args{.uiSrcExt = 0x100}, 11},
    {"ZRKStartVZ", "interval 11", Args{.uiInterval = 11}, 12},
    {"ZRKStopVZ", "interval 254", Args{.uiInterval = 254}, 12},
    {"ZRKQueryVZDetail", "interval 11", Args{.uiInterval = 11}, 12},
    {"ZRKQueryKZP", "interval checked as given", Args{.uiInterval = 11}, 12},
    {"ZRKQueryKZPDetail", "interval checked", Args{.uiInterval = 11}, 12},
    {"ZRKQueryDetail", "interval checked", Args{.uiInterval = 11}, 12},
    // the no-destination form
    {"ZRKQueryKZP", "no destination: extent without size", NoDest(0x10, 0, 0), 11},
    {"ZRKQueryKZP", "no destination: size without 0xFFFFFFFF", NoDest(0x10, 0x10, 0), 9},
    {"ZRKQueryKZPDetail", "no destination: BoxID not 0xFF", Args{.bKeepDstBox = true, .uiDstOlu = kNoDest}, 5},
    {"ZRKQueryDetail", "no destination: size without 0xFFFFFFFF", NoDest(0x10, 0x10, 0), 9},
    {"ZRKStartSnapKZP", "monitor: a destination BoxID", Args{.uiOption = ZRK_OPT_MONITOR}, 5},
    {"ZRKStopSnapKZP", "monitor: size without 0xFFFFFFFF", NoDest(0x10, 0x10, 0, ZRK_OPT_MONITOR), 9},
    // the identifier form
    {"ZRKStopVZ", "identifier 0x10000, no BoxIDs", Args{.bNoSrcBox = true, .bNoDstBox = true, .uiSrcOlu = 0x10000, .uiOption = 0x4}, 55},
    {"ZRKSuspendVZ", "identifier 0x10000", ById(0x10000), 55},
    {"ZRKResumeVZ", "identifier 0x10000", ById(0x10000), 55},
    {"ZRKChangeVZ", "identifier 0x10000", ById(0x10000), 55},
    {"ZRKQueryVZ", "identifier 0x10000", ById(0x10000), 55},
    {"ZRKStopKZP", "identifier 0x10000", ById(0x10000), 55},
    {"ZRKQueryKZP", "identifier 0x10000", ById(0x10000), 55},
    {"ZRKStopDiffKZP", "identifier 0x10000", ById(0x10000), 55},
    {"ZRKStopSnapKZP", "identifier 0x10000", ById(0x10000), 55},
    {"ZRKQueryDetail", "identifier 0x10000", ById(0x10000), 55},
    {"ZRKQueryVZSession", "identifier 0x10000", Args{.uiExtra = 0x10000}, 55},
    {"ZRKQueryKZPSession", "identifier 0x10000", Args{.uiExtra = 0x10000}, 55},
    // the VZ mode rules
    {"ZRKStartVZ", "local: synchronous", Local(ZRK_OPT_SYNC), 37},
    {"ZRKStartVZ", "local: skip", Local(ZRK_OPT_SKIP_COPY), 37},
    {"ZRKStartVZ", "local: stack", Local(ZRK_OPT_STACK), 37},
    {"ZRKStartVZ", "local: consistency", Local(ZRK_OPT_CONSISTENCY), 37},
    {"ZRKStartVZ", "local: manual recovery", Local(ZRK_OPT_MANUAL_RCV), 37},
    {"ZRKStartVZ", "remote: split without synchronous", Remote(ZRK_OPT_AUTO_SPLIT), 37},
    {"ZRKStartVZ", "remote: synchronous and stack", Remote(ZRK_OPT_SYNC | ZRK_OPT_STACK), 37},
    {"ZRKStartVZ", "remote: synchronous and consistency", Remote(ZRK_OPT_SYNC | ZRK_OPT_CONSISTENCY), 37},
    {"ZRKStartVZ", "remote: stack and consistency", Remote(ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY), 37},
    {"ZRKChangeVZ", "reverse and consistency", Local(ZRK_OPT_REVERSE | ZRK_OPT_CONSISTENCY), 37},
    {"ZRKChangeVZ", "reverse and synchronous, by identifier", ById(7, 0x4 | ZRK_OPT_REVERSE | ZRK_OPT_SYNC), 37},
    {"ZRKChangeVZ", "split without synchronous", Remote(ZRK_OPT_AUTO_SPLIT), 37},
    {"ZRKChangeVZ", "stack and consistency", Remote(ZRK_OPT_STACK | ZRK_OPT_CONSISTENCY), 37},
    {"ZRKSuspendVZ", "local: force", Local(ZRK_OPT_FORCE), 37},
    {"ZRKResumeVZ", "local: remain", Local(ZRK_OPT_REMAIN), 37},
    {"ZRKStopKZP", "local: force", Local(ZRK_OPT_FORCE), 37},
    // the point-in-time copies between two arrays
    {"ZRKStartDiffKZP", "remote", kRemote, 17},
    {"ZRKStopDiffKZP", "remote", kRemote, 17},
    {"ZRKStartSnapKZP", "remote", kRemote, 17},
    {"ZRKStopSnapKZP", "remote", kRemote, 17},
    // the volume information
    {"ZRKGetVolumeInfo", "extent count before the option", Args{.uiOption = 0x80, .uiExtra = 1}, 3},
    {"ZRKGetVolumeInfoEx", "extent count", Args{.uiExtra = 1}, 3},
    // the detail query
    {"ZRKQueryDetail", "length 0", Args{.uiLength = 0}, 36},
    // OLU functions: the OLU before the volume
    {"ZRKSnapDataVolInit", "OLU 0x10000", Args{.pVolume = kMissing, .uiExtra = 0x10000}, 48},
    {"ZRKGetOLUStatus", "OLU 0x10000", Args{.pVolume = kMissing, .uiExtra = 0x10000}, 48},
    // the detail list's selections
    {"ZRKGetDetailList", "0x80000 and 0x800000", Local(0x80000 | 0x800000), 37},
    {"ZRKGetDetailList", "0x80000 and 0x1000000", Local(0x80000 | 0x1000000), 37},
    {"ZRKGetDetailList", "0x800000 and 0x1000000", Local(0x800000 | 0x1000000), 37},
    {"ZRKGetDetailList", "0x400000 and 0x800000", Local(0x400000 | 0x800000), 37},
    {"ZRKGetDetailList", "0x400000 and 0x1000000", Local(0x400000 | 0x1000000), 37},
    {"ZRKGetDetailList", "missing output before the option", Args{.uiOption = 0x1, .bNullOut = true}, 13},
};
// clang-format on

TEST_F(ClassicApi, OwnRefusals) {
    for (const Refusal &r : kRefusals) {
        SCOPED_TRACE(r.pWhat);
        ExpectRefused(Named(r.pFunction), r.tArgs, r.iExpected);
    }
}

// The QuickKZP stop takes exactly one of force and stop tracking.
TEST_F(ClassicApi, StopDiffKzpNeedsOneStopMode) {
    const Function &f = Named("ZRKStopDiffKZP"); // adds ZRK_OPT_FORCE
    ExpectRefused(f, Local(ZRK_OPT_STOP_TRACKING), 37);
    ExpectRefused(f, Remote(0), 17);
    // Option 0 and both bits, called directly.
    for (const uint32_t option : {0u, ZRK_OPT_FORCE | ZRK_OPT_STOP_TRACKING}) {
        const std::string box = BoxId("BOX-C1");
        sim.clearLog();
        EXPECT_EQ(ZRKStopDiffKZP(kDisk, box.data(), 5, 0, 0, box.data(), 6, 0, 0, option, nullptr), -1);
        EXPECT_EQ(ZRKerrno, 37);
        EXPECT_TRUE(sim.cdbLog().empty());
    }
}

// The concurrent suspend's pair array.
TEST_F(ClassicApi, MultiSuspendPairs) {
    uint32_t result[2];
    const std::vector<std::pair<std::vector<CONC_SUS_PAIR>, int>> cases = {
        {{}, 67},
        {{ClassicSuspendPair("BOX-C1", 5, "BOX-C1", 6), ClassicSuspendPair("BOX-C1", 5, "BOX-C2", 9)}, 67},
        {{ClassicSuspendPair("BOX-C1", 5, "BOX-C2", 9), ClassicSuspendPair("BOX-C1", 5, "BOX-C1", 6)}, 67},
        {{ClassicSuspendPair("BOX-C1", 5, "BOX-C1", 5)}, 48},
        {{ClassicSuspendPair("BOX-C1", 0x10000, "BOX-C1", 6)}, 6},
    };
    for (const auto &[pairs, expected] : cases) {
        sim.clearLog();
        ZRKerrno = 0;
        EXPECT_EQ(ZRKMultiSuspendVZ(kDisk, pairs.empty() ? nullptr : pairs.data(),
                                    static_cast<uint32_t>(pairs.size()), 0,
                                    reinterpret_cast<unsigned char *>(result), nullptr),
                  -1);
        EXPECT_EQ(ZRKerrno, expected);
        EXPECT_TRUE(sim.cdbLog().empty());
    }
    const CONC_SUS_PAIR one = ClassicSuspendPair("BOX-C1", 5, "BOX-C1", 6);
    EXPECT_EQ(ZRKMultiSuspendVZ(kDisk, &one, 1, 0, nullptr, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 67);
}

// ---- against the classic arrays --------------------------------------------------------

class ClassicArrays : public ClassicApi {
protected:
    void SetUp() override {
        ClassicApi::SetUp();
        Reload(std::string(kScenario) + kSessions);
    }
};

// The detail of a session in any copy kind: the engine's record, in the
// first Length bytes of the caller's area (at most 256), by pair and by
// identifier alike.
TEST_F(ClassicArrays, QueryDetail) {
    const std::string c1 = BoxId("BOX-C1"), c2 = BoxId("BOX-C2");
    COPY_REQ request{};
    MakeReq(&request, c1.data(), 6, 0, 0, c1.data(), 7, 0, 0);
    request.ucVolumeRole = 1;
    TVC_DETAIL_INFO expected{};
    NewCall();
    ASSERT_EQ(QueryDetail(kDisk, 0, &request, &expected), 0) << ZRKerrno;
    EXPECT_EQ(zrk::Be16(reinterpret_cast<const unsigned char *>(&expected)), 4);
    unsigned char staged[256] = {};
    std::memcpy(staged, &expected, sizeof expected);

    for (const uint32_t length : {1u, 100u, 256u, 300u}) {
        SCOPED_TRACE(length);
        unsigned char area[400];
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(area, 0xEE, sizeof area);
        std::memset(sense, 0xEE, sizeof sense);
        ASSERT_EQ(ZRKQueryDetail(kDisk, c1.data(), 6, 0, 0, c1.data(), 7, 0, 3, 0, length, area, sense), 0)
            << ZRKerrno;
        const size_t written = std::min<size_t>(length, 256);
        EXPECT_EQ(0, std::memcmp(area, staged, written));
        for (size_t i = written; i < sizeof area; ++i) ASSERT_EQ(area[i], 0xEE) << i;
        EXPECT_TRUE(AllZero(sense, sizeof sense));
        EXPECT_EQ(ZRKopenFlag, 0);
    }

    // By identifier: the same record.
    unsigned char area[256];
    std::memset(area, 0xEE, sizeof area);
    ASSERT_EQ(ZRKQueryDetail(kDisk, nullptr, 4, 0, 0, nullptr, 0, 0, 0, ZRK_OPT_SESSION_ID, 256, area,
                             nullptr), 0) << ZRKerrno;
    EXPECT_EQ(0, std::memcmp(area, staged, sizeof area));

    // No such session: 21, and the caller's area untouched.
    std::memset(area, 0xEE, sizeof area);
    EXPECT_EQ(ZRKQueryDetail(kDisk, c1.data(), 5, 0, 0, c1.data(), 11, 0, 0, 0, 256, area, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 21);
    EXPECT_EQ(area[0], 0xEE);
    EXPECT_EQ(ZRKopenFlag, 0);
}

// The detail list of the volume, and each session found in it as a classic
// detail record.
TEST_F(ClassicArrays, DetailListAndTheSearchInIt) {
    std::vector<DETAIL_LIST_INFO> list(32);
    uint32_t count = 0;
    unsigned char sense[ZRK_SENSE_LEN];
    ASSERT_EQ(ZRKGetDetailList(kDisk, 0, &count, list.data(), sense), 0) << ZRKerrno;
    ASSERT_EQ(count, 5u);
    EXPECT_EQ(ZRKOptionFlag, 0u);
    EXPECT_EQ(ZRKopenFlag, 0);
    // The selections that go together pass, and are what the list reads carry.
    uint32_t selected = 0;
    EXPECT_EQ(ZRKGetDetailList(kDisk, 0x80000 | 0x400000, &selected, list.data(), sense), 0) << ZRKerrno;
    EXPECT_EQ(ZRKOptionFlag, 0x80000u | 0x400000u);
    ASSERT_EQ(ZRKGetDetailList(kDisk, 0, &count, list.data(), sense), 0) << ZRKerrno;

    const std::string c1 = BoxId("BOX-C1"), c2 = BoxId("BOX-C2"), none(ZRK_BOXID_LEN, '\xFF');
    struct Case {
        const char *pWhat;
        uint32_t uiKind; // the CopyKind argument
        const std::string &src;
        uint32_t uiSrcOlu;
        const std::string &dst;
        uint32_t uiDstOlu;
        uint16_t uhId;   // the session expected
        uint32_t uiKindOut;
        int iMode;       // byte 5 expected: -1 not checked
    };
    const std::vector<Case> cases = {
        {"rvz", 2, c1, 5, c2, 9, 3, 2, 1},
        {"vz", 2, c1, 6, c1, 7, 4, 2, 3},
        {"quickkzp", 1, c1, 8, c1, 9, 8, 1, 1 | 0x20},
        {"snapkzp", 1, c1, 10, c1, 11, 9, 1, 3 | 0x40},
        {"monitor", 0, c1, 7, none, kNoDest, 10, 3, 3 | 0xC0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        unsigned char detail[256];
        std::memset(detail, 0xEE, sizeof detail);
        uint32_t kind = 0;
        ASSERT_EQ(ZRKQueryDetailfromList(c.uiKind, count, list.data(), c.src.data(), c.uiSrcOlu, 0, 0,
                                         c.dst.data(), c.uiDstOlu, 0, 0, detail, &kind), 0)
            << ZRKerrno;
        EXPECT_EQ(zrk::Be16(detail), c.uhId);
        EXPECT_EQ(kind, c.uiKindOut);
        if (c.iMode >= 0) {
            EXPECT_EQ(detail[5], c.iMode);
        }
        EXPECT_EQ(detail[16], 1); // volume role
        EXPECT_EQ(zrk::Be32(detail + 120), c.uiSrcOlu);
        for (size_t i = 152; i < sizeof detail; ++i) ASSERT_EQ(detail[i], 0xEE) << i;
    }
    // The VZ form carries the mode bits and the transfer mode.
    unsigned char detail[256];
    uint32_t kind = 0;
    ASSERT_EQ(ZRKQueryDetailfromList(2, count, list.data(), c1.data(), 5, 0, 0, c2.data(), 9, 0, 0,
                                     detail, &kind), 0);
    EXPECT_EQ(detail[4] & 0x27, 0x20 | 0x04 | 0x02); // remote, synchronous, split

    // A family that does not hold the session, and a pair of no session.
    EXPECT_EQ(ZRKQueryDetailfromList(1, count, list.data(), c1.data(), 6, 0, 0, c1.data(), 7, 0, 0,
                                     detail, &kind), -1);
    EXPECT_EQ(ZRKerrno, 21);
    EXPECT_EQ(ZRKQueryDetailfromList(2, count, list.data(), c1.data(), 6, 0, 0, c1.data(), 8, 0, 0,
                                     detail, &kind), -1);
    EXPECT_EQ(ZRKerrno, 21);
    // A count without a list.
    EXPECT_EQ(ZRKQueryDetailfromList(2, 1, nullptr, c1.data(), 6, 0, 0, c1.data(), 7, 0, 0, detail,
                                     &kind), -1);
    EXPECT_EQ(ZRKerrno, 13);
}

// The status of an OLU: the array's 56 bytes (on an array with SnapKZP).
TEST_F(ClassicArrays, OluStatus) {
    std::string scenario = kScenario;
    const std::string profile = "profile=detail";
    scenario.replace(scenario.find(profile), profile.size(),
                     "support=" + HexDigits("00000000050000a1 00000000000000a1 00000000004b00a1 "
                                            "0000000000ff00a1"));
    Reload(scenario);
    unsigned char status[64];
    std::memset(status, 0xEE, sizeof status);
    ASSERT_EQ(ZRKGetOLUStatus(kDisk, 12, status, nullptr), 0) << ZRKerrno;
    EXPECT_EQ(status[4] & 0x01, 0x01); // a snap data volume
    for (size_t i = ZRK_OLU_STATUS_LEN; i < sizeof status; ++i) ASSERT_EQ(status[i], 0xEE) << i;
    std::memset(status, 0xEE, sizeof status);
    ASSERT_EQ(ZRKGetOLUStatus(kDisk, 6, status, nullptr), 0) << ZRKerrno;
    EXPECT_EQ(status[4] & 0x01, 0x00);
    EXPECT_EQ(ZRKopenFlag, 0);
}

// The RVZ buffer setting is checked against the array's buffer list: the
// buffer must be one of the array's, type, interval and monitoring time in
// range (66); a request that passes goes on to the partner check.
TEST_F(ClassicArrays, RvzBufferSettingChecks) {
    const RVZ_BUFF_SET_REQ good{3, 0, 2, 4, 15, {}};
    struct Case {
        const char *pWhat;
        RVZ_BUFF_SET_REQ tRequest;
        bool bRefused;
    };
    auto with = [&](auto change) {
        RVZ_BUFF_SET_REQ r = good;
        change(r);
        return r;
    };
    const std::vector<Case> cases = {
        {"unknown buffer", with([](auto &r) { r.uhBuffID = 4; }), true},
        {"type 0", with([](auto &r) { r.uhBuffType = 0; }), true},
        {"type 3", with([](auto &r) { r.uhBuffType = 3; }), true},
        {"interval 3", with([](auto &r) { r.uhInterval = 3; }), true},
        {"interval 0", with([](auto &r) { r.uhInterval = 0; }), true},
        {"monitoring 16", with([](auto &r) { r.uiMonitorTime = 16; }), true},
        {"monitoring 15", good, false},
        {"type 1, interval 1, monitoring 0", with([](auto &r) { r.uhBuffType = 1; r.uhInterval = 1; r.uiMonitorTime = 0; }), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        sim.clearLog();
        ZRKerrno = 0;
        const int rc = ZRKRVZBuffSet(kDisk, &c.tRequest, nullptr);
        EXPECT_EQ(ZRKopenFlag, 0);
        if (c.bRefused) {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ZRKerrno, 66);
        } else {
            EXPECT_NE(ZRKerrno, 66);
        }
        // The buffer list was read, and nothing was set.
        EXPECT_FALSE(sim.cdbLog().empty());
        EXPECT_EQ(SentPageCodes(sim).find("47"), std::string::npos);
    }
}

// The RVZ buffer list reaches the caller as far as it says and holds; the
// call reads page 0x21.
TEST_F(ClassicArrays, RvzBufferList) {
    // The list as the engine reads it.
    NewCall();
    unsigned char *raw = nullptr;
    int length = 0;
    ASSERT_EQ(RVZBuffInfo(kDisk, &raw, &length), 0) << ZRKerrno;
    const zrk::Buffer engine(raw);
    const size_t announced = zrk::Be16(engine.get() + 6);
    const size_t copied = std::min<size_t>(announced, static_cast<size_t>(length) - 8);
    EXPECT_GE(copied, 8u);  // the two counts at least
    FreshCall();

    unsigned char list[1200];
    std::memset(list, 0xEE, sizeof list);
    unsigned char sense[ZRK_SENSE_LEN];
    ASSERT_EQ(ZRKRVZBuffInfo(kDisk, list, sense), 0) << ZRKerrno;
    EXPECT_TRUE(AllZero(sense, sizeof sense));
    EXPECT_EQ(ZRKopenFlag, 0);
    EXPECT_EQ(0, std::memcmp(list, engine.get() + 8, copied));
    for (size_t i = copied; i < sizeof list; ++i) ASSERT_EQ(list[i], 0xEE) << i;
    bool read = false;
    for (const zrksim::CdbRecord &r : sim.cdbLog())
        read = read || (r.cdb[0] == ZRK_OP_TRAVO_IN && r.cdb[2] == ZRK_PAGE_RVZ_BUFF_LIST);
    EXPECT_TRUE(read);
}

// Each command of the functions that the classic arrays answer fails in
// turn: every run releases the device, and a failed run hands the caller the
// sense of the failed command.
TEST_F(ClassicArrays, FaultWalks) {
    const std::string c1 = BoxId("BOX-C1");
    unsigned char area[256];
    std::vector<DETAIL_LIST_INFO> list(32);
    uint32_t count = 0;
    const std::vector<std::pair<const char *, std::function<int(unsigned char *)>>> calls = {
        {"ZRKQueryDetail", [&](unsigned char *sense) {
             return ZRKQueryDetail(kDisk, c1.data(), 6, 0, 0, c1.data(), 7, 0, 0, 0, 256, area, sense);
         }},
        {"ZRKGetDetailList", [&](unsigned char *sense) {
             return ZRKGetDetailList(kDisk, 0, &count, list.data(), sense);
         }},
        {"ZRKRVZBuffInfo", [&](unsigned char *sense) {
             static unsigned char buffers[1200];
             return ZRKRVZBuffInfo(kDisk, buffers, sense);
         }},
    };
    for (const auto &[name, call] : calls) {
        SCOPED_TRACE(name);
        const zrktest::FaultWalk walk = WalkWithSense(sim, call, 0);
        EXPECT_TRUE(walk.bEnded);
        EXPECT_GT(walk.iFaultedRuns, 0);
    }
}

// ---- the clamps of the lists an array hands back -----------------------------------------

TEST(ClassicClamps, SessionList) {
    // Short form: an allocated head and two entries, announcing 0x100 bytes.
    unsigned char list[16 + 2 * 16 + 5] = {};
    zrk::PutBe16(list + 6, 0x100);
    EXPECT_EQ(zrk::ClampSessionList(list, sizeof list, false), 48u);
    EXPECT_EQ(zrk::Be16(list + 6), 40u);
    EXPECT_EQ(zrk::Be32(list + 4), 40u); // bytes 4-5 stay zero
    // Large form, announcing 4 GiB.
    std::memset(list, 0, sizeof list);
    zrk::PutBe32(list + 4, 0xFFFFFFFFu);
    EXPECT_EQ(zrk::ClampSessionList(list, sizeof list, true), 48u);
    EXPECT_EQ(zrk::Be32(list + 4), 40u);
    // A list that fits stays as it is.
    std::memset(list, 0, sizeof list);
    zrk::PutBe16(list + 6, 24);
    EXPECT_EQ(zrk::ClampSessionList(list, sizeof list, false), 32u);
    EXPECT_EQ(zrk::Be16(list + 6), 24u);
    // Not even a head.
    EXPECT_EQ(zrk::ClampSessionList(list, 15, false), 0u);
    EXPECT_EQ(zrk::ClampSessionList(nullptr, 100, false), 0u);
}

TEST(ClassicClamps, RvzBufferList) {
    // The first read of 80 bytes: at most its 72 data bytes.
    unsigned char first[ZRK_RVZ_BUFF_FIRST_LEN] = {};
    zrk::PutBe16(first + 6, 0xFFFF);
    zrk::PutBe16(first + 10, 200);
    EXPECT_EQ(zrk::RvzBuffListData(first, sizeof first), 72u);
    EXPECT_EQ(zrk::RvzBuffEntries(first, sizeof first), 1u);
    zrk::PutBe16(first + 6, 40);
    EXPECT_EQ(zrk::RvzBuffListData(first, sizeof first), 40u);
    EXPECT_EQ(zrk::RvzBuffListData(first, 15), 0u);
    EXPECT_EQ(zrk::RvzBuffEntries(first, 15), 0u);
    std::vector<unsigned char> whole(16 + 8 * 64);
    zrk::PutBe16(whole.data() + 10, 3);
    EXPECT_EQ(zrk::RvzBuffEntries(whole.data(), whole.size()), 3u);
}

TEST(ClassicClamps, RemoteBoxIdsAndStatusList) {
    std::vector<unsigned char> boxes(ZRK_REMOTE_BOXID_LIST_LEN);
    boxes[ZRK_BOXID_LEN] = 255;
    EXPECT_EQ(zrk::RemoteBoxEntries(boxes.data(), false), 64u);
    EXPECT_EQ(zrk::RemoteBoxEntries(boxes.data(), true), 255u);
    boxes[ZRK_BOXID_LEN] = 3;
    EXPECT_EQ(zrk::RemoteBoxEntries(boxes.data(), false), 3u);

    unsigned char status[16 + 3 * 8] = {};
    zrk::PutBe16(status + 10, 0xFFFF);
    EXPECT_EQ(zrk::StatusListEntries(status, sizeof status), 3u);
    zrk::PutBe16(status + 10, 2);
    EXPECT_EQ(zrk::StatusListEntries(status, sizeof status), 2u);
    EXPECT_EQ(zrk::StatusListEntries(status, 12), 0u);
}

} // namespace
