// Shared pieces of the in-band tests: the fixture of a simulated host with
// its arrays, copy pairs and the requests made of them, what the arrays
// received, readers of the sense store, and the check of a fault walk over a
// public function.
#pragma once

#include "fault_walk.h"
#include "install_root.h"
#include "sim_client.h"
#include "sim_fixture.h"
#include "test_bytes.h"
#include "zrkcmd.h"
#include "zrkengine.h"
#include "zrkhost.h"
#include "zrklvmain.h"
#include "zrktvc.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace inbandtest {

using namespace zrktest;

// ---- the calls ------------------------------------------------------------------

// The sense store as the transport left it.
struct Stored {
    int key, asc, ascq; // fixed-format sense
    int errorClass;     // pseudo sense: byte 0
    int osErrno;        // pseudo sense: bytes 4-7
};
inline Stored ReadStore() {
    unsigned char s[ZRK_SENSE_STORE_LEN];
    CtrlSenseData(s, sizeof s, ZRK_SENSE_COPY_OUT);
    return {s[2] & 0x0F, s[12], s[13], s[0], static_cast<int>(ShiftBtoI(s + 4, 4))};
}

// A fresh API call: no sense, no error, no open device.
inline void NewCall() {
    CloseSharedDevice();
    CtrlSenseData(nullptr, 0, ZRK_SENSE_CLEAR);
    ZRKerrno = 0;
}

// Connects the simulated host layer (its socket is a descriptor of its own),
// so that counting descriptors afterwards sees only the library's.
inline void ConnectHost() {
    struct stat st {};
    zrk_host_stat("/", &st);
}

inline int OpenDescriptors() {
    int count = 0;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

// The device of a call is closed and no descriptor is left beyond the
// `descriptors` open before it.
inline void ExpectDeviceReleased(int descriptors) {
    EXPECT_EQ(ZRKopenFlag, 0);
    EXPECT_EQ(ZRKopenFd, 0);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

// The check of a fault walk over a public function: every run releases the
// call's device; a run whose call fails returns -1 and a ZRKerrno (one of
// `allowed` when given, else any but 0); the run without a fault returns
// `success`. Counts the descriptors when it is made: make it just before
// the walk.
inline std::function<void(const FaultRun &)> ReleasedAndReported(int success,
                                                                 std::vector<int> allowed = {}) {
    const int descriptors = OpenDescriptors();
    return [=](const FaultRun &run) {
        ExpectDeviceReleased(descriptors);
        if (!run.bFired) {
            EXPECT_EQ(run.iResult, success) << "a run without a fault; ZRKerrno " << run.iErrno;
            return;
        }
        if (run.iResult == success) return; // the failed command was not needed
        EXPECT_EQ(run.iResult, -1);
        if (allowed.empty()) {
            EXPECT_NE(run.iErrno, 0);
        } else {
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), run.iErrno), allowed.end())
                << "ZRKerrno " << run.iErrno;
        }
    };
}

// The check of a run of a walk over a call that needs every command: the run
// without a fault returns 0, a run whose fault fired returns -1 and a
// ZRKerrno. Tells whether the fault fired.
inline bool FailedOnItsFault(const FaultRun &run) {
    if (!run.bFired) {
        EXPECT_EQ(run.iResult, 0) << run.iErrno;
        return false;
    }
    EXPECT_EQ(run.iResult, -1);
    EXPECT_NE(run.iErrno, 0);
    return true;
}

// Runs call with each of its commands failing in turn (MEDIUM ERROR),
// until a run sends all of them unharmed. After every run the device is
// released and no descriptor is left; the run without a fault returns
// `success` and leaves the sense area clear; a failed run returns -1 and
// hands the caller the injected sense.
inline zrktest::FaultWalk WalkWithSense(const zrksim::Simulator &sim,
                                        const std::function<int(unsigned char *sense)> &call, int success) {
    const int descriptors = OpenDescriptors();
    unsigned char sense[ZRK_SENSE_LEN];
    return WalkFaults(
        sim,
        [&] {
            std::memset(sense, 0xAA, sizeof sense);
            return call(sense);
        },
        [&](const FaultRun &run) {
            ExpectDeviceReleased(descriptors);
            if (!run.bFired) {
                EXPECT_EQ(run.iResult, success) << "a run without a fault; ZRKerrno " << run.iErrno;
                EXPECT_TRUE(AllZero(sense, sizeof sense));
            } else if (run.iResult != success) {
                EXPECT_EQ(run.iResult, -1);
                EXPECT_EQ(sense[2] & 0x0F, 3);
                EXPECT_EQ(sense[12], 0x11);
            }
        });
}

// INQUIRY, standard data: the array answers it GOOD.
inline int Inquiry(const char *path, unsigned char (&data)[96]) {
    unsigned char cdb[6] = {0x12, 0, 0, 0, 96, 0};
    std::memset(data, 0, sizeof data);
    return DoScsi(path, 0, cdb, sizeof cdb, data, sizeof data);
}
inline int Inquiry(const char *path) {
    unsigned char data[96];
    return Inquiry(path, data);
}

// What the API's common check of an operation leaves behind: identification,
// support data, the BoxID, the session maxima and the remote support in the
// common data. The CDB log is then cleared.
inline void PrepareOperation(const zrksim::Simulator &sim, const char *volume) {
    NewCall();
    ASSERT_EQ(CheckProduct(volume), 0) << ZRKerrno;
    unsigned char support[ZRK_SUPPORT_DATA_LEN];
    unsigned char remote = 0;
    ASSERT_EQ(GetSupportCopyInfo(volume, support, &remote), 0) << ZRKerrno;
    unsigned char box[ZRK_BOXID_LEN];
    ASSERT_EQ(GetBoxID(volume, box), 0) << ZRKerrno;
    unsigned char counts[ZRK_MAX_SESSION_LEN];
    ASSERT_EQ(GetMaxSessionCount(volume, ZRK_PAGE_REMOTE_VZ_LIST, counts), 0) << ZRKerrno;
    CtrlCommonData(box, ZRK_COMMON_SET_BOXID);
    CtrlCommonData(counts + 2, ZRK_COMMON_SET_MAXSES);
    CtrlCommonData(&remote, ZRK_COMMON_SET_REMOTE);
    sim.clearLog();
}

// Clears bits of one byte of the support data held.
inline void ClearSupportBits(int byte, unsigned char bits) {
    unsigned char support[ZRK_SUPPORT_DATA_LEN];
    CtrlSupportData(support, ZRK_STORE_READ);
    support[byte] &= static_cast<unsigned char>(~bits);
    CtrlSupportData(support, ZRK_STORE_WRITE);
}

// As after an earlier call on a storage cluster: the support read marks its
// CDB from the support data held, and the simulated arrays of a cluster
// refuse an unmarked one.
inline void HoldFailoverSupport() {
    unsigned char support[ZRK_SUPPORT_DATA_LEN] = {};
    support[6] = 0x20;
    CtrlSupportData(support, ZRK_STORE_WRITE);
}

// The BoxID held in the common data, and a new one put there.
inline std::string CachedBoxId() {
    char box[ZRK_BOXID_LEN];
    CtrlCommonData(box, ZRK_COMMON_GET_BOXID);
    return std::string(box, sizeof box);
}
inline void CacheBoxId(const std::string &text) {
    std::string box = BoxId(text);
    CtrlCommonData(nullptr, ZRK_COMMON_CLEAR_BOXID);
    CtrlCommonData(box.data(), ZRK_COMMON_SET_BOXID);
}

// ---- copy pairs ---------------------------------------------------------------------

// A copy pair as a caller gives it: remote when the arrays differ, whole
// volume without extents.
struct CopyPair {
    std::string sSrc = "BOX-A1", sDst = "BOX-A1";
    uint32_t uiSrcOlu = 5, uiDstOlu = 6;
    uint64_t ullSrcExt = 0, ullSize = 0, ullDstExt = 0;
    uint32_t uiInterval = 0;
    bool bNoBox = false; // the destination BoxID all 0xFF
};
using TvcPair = CopyPair;

// The large-volume copy request of a pair, volume role 1.
inline COPY_REQ_LV TvcRequest(const CopyPair &p, uint32_t copyInterval) {
    zrk::CopyReqLv r{};
    std::memcpy(r.ucaSrcBoxID, BoxId(p.sSrc).data(), ZRK_BOXID_LEN);
    std::memcpy(r.ucaDstBoxID, BoxId(p.sDst).data(), ZRK_BOXID_LEN);
    r.uiSrcOlu = p.uiSrcOlu;
    r.uiDstOlu = p.uiDstOlu;
    r.uiWholeVolumeFlag = p.ullSrcExt == 0 && p.ullSize == 0 && p.ullDstExt == 0 ? 1 : 0;
    r.uiSrcExtentHigh = static_cast<uint32_t>(p.ullSrcExt >> 32);
    r.uiSrcExtentLow = static_cast<uint32_t>(p.ullSrcExt);
    r.uiSrcSizeHigh = static_cast<uint32_t>(p.ullSize >> 32);
    r.uiSrcSizeLow = static_cast<uint32_t>(p.ullSize);
    r.uiDstExtentHigh = static_cast<uint32_t>(p.ullDstExt >> 32);
    r.uiDstExtentLow = static_cast<uint32_t>(p.ullDstExt);
    r.uiCopyInterval = copyInterval;
    r.ucRemoteFlag = p.sSrc != p.sDst ? 1 : 0;
    r.ucVolumeRole = 1;
    return zrk::EncodeCopyReqLv(r);
}
// The session-identifier form: the identifier in bytes 82-83.
inline COPY_REQ_LV TvcRequestById(uint16_t id) {
    zrk::CopyReqLv r{};
    r.uiSrcOlu = id;
    r.ucVolumeRole = 1;
    return zrk::EncodeCopyReqLv(r);
}

// The classic copy request of a pair, volume role 1, left as fields for a
// test that changes one: whole volume when no size is given, remote when
// the arrays differ; the extents and the size keep their low 32 bits.
inline zrk::CopyReq ClassicFields(const CopyPair &p) {
    zrk::CopyReq r{};
    std::memcpy(r.ucaSrcBoxID, BoxId(p.sSrc).data(), ZRK_BOXID_LEN);
    std::memcpy(r.ucaDstBoxID, BoxId(p.sDst).data(), ZRK_BOXID_LEN);
    r.uhSrcOlu = static_cast<uint16_t>(p.uiSrcOlu);
    r.uhDstOlu = static_cast<uint16_t>(p.uiDstOlu);
    r.uiDstOluFull = p.uiDstOlu;
    r.uiWholeVolumeFlag = p.ullSize == 0 ? 1 : 0;
    r.uiSrcExtent = static_cast<uint32_t>(p.ullSrcExt);
    r.uiSrcSize = static_cast<uint32_t>(p.ullSize);
    r.uiDstExtent = static_cast<uint32_t>(p.ullDstExt);
    r.uhCopyInterval = static_cast<uint16_t>(p.uiInterval);
    r.ucRemoteFlag = p.sSrc != p.sDst ? 1 : 0;
    r.ucVolumeRole = 1;
    return r;
}
inline COPY_REQ ClassicRequest(const CopyPair &p) { return zrk::EncodeCopyReq(ClassicFields(p)); }
// The same from A1:srcOlu to dstBox:dstOlu.
inline COPY_REQ ClassicRequest(const char *dstBox, uint16_t srcOlu, uint32_t dstOlu, uint32_t srcExt = 0,
                               uint32_t size = 0, uint32_t dstExt = 0) {
    return ClassicRequest(CopyPair{.sDst = dstBox, .uiSrcOlu = srcOlu, .uiDstOlu = dstOlu, .ullSrcExt = srcExt,
                                   .ullSize = size, .ullDstExt = dstExt});
}
// The identifier form: the identifier in bytes 80-81; a remote KZP session
// is read by identifier from the remote KZP page only when the request says
// remote.
inline COPY_REQ ClassicById(uint16_t id, bool remote = false) {
    zrk::CopyReq r{};
    r.uhSrcOlu = id;
    r.ucRemoteFlag = remote ? 1 : 0;
    r.ucVolumeRole = 1;
    return zrk::EncodeCopyReq(r);
}

// The entry of a pair in a concurrent suspend.
inline CONC_SUS_PAIR_LV ConcSuspendPair(const CopyPair &p) {
    CONC_SUS_PAIR_LV e{};
    std::memcpy(e.SrcBoxID, BoxId(p.sSrc).data(), ZRK_BOXID_LEN);
    std::memcpy(e.DstBoxID, BoxId(p.sDst).data(), ZRK_BOXID_LEN);
    e.SrcOlu = p.uiSrcOlu;
    e.SrcExtent_high = static_cast<uint32_t>(p.ullSrcExt >> 32);
    e.SrcExtent_low = static_cast<uint32_t>(p.ullSrcExt);
    e.SrcSize_high = static_cast<uint32_t>(p.ullSize >> 32);
    e.SrcSize_low = static_cast<uint32_t>(p.ullSize);
    e.DstOlu = p.uiDstOlu;
    e.DstExtent_high = static_cast<uint32_t>(p.ullDstExt >> 32);
    e.DstExtent_low = static_cast<uint32_t>(p.ullDstExt);
    return e;
}

// The entry of a classic concurrent suspend: a whole-volume pair.
inline CONC_SUS_PAIR ClassicSuspendPair(const char *src, uint32_t srcOlu, const char *dst, uint32_t dstOlu) {
    CONC_SUS_PAIR p{};
    std::memcpy(p.SrcBoxID, BoxId(src).data(), ZRK_BOXID_LEN);
    std::memcpy(p.DstBoxID, BoxId(dst).data(), ZRK_BOXID_LEN);
    p.SrcOlu = srcOlu;
    p.DstOlu = dstOlu;
    return p;
}

// ---- what the arrays received and hold ----------------------------------------------

// A 192-byte session page as hex: `fields`, then the page code when given
// and the parameter length 184.
inline std::string SessionPageHex(Patches fields, const std::string &code = "") {
    if (!code.empty()) fields.push_back({0, code});
    fields.push_back({6, "00b8"});
    return GoldenHex(192, fields);
}

// The CDBs of the simulator's log as hex, in order.
inline std::vector<std::string> CdbHexes(const zrksim::Simulator &sim) {
    std::vector<std::string> out;
    for (const auto &r : sim.cdbLog()) out.push_back(zrksim::toHex(r.cdb));
    return out;
}

// Codes of the TRAVO OUT pages (main family, or both with `qm`) in the
// simulator's CDB log, in order ("44 45").
inline std::string SentPageCodes(const zrksim::Simulator &sim, bool qm = false) {
    std::string codes;
    for (const zrksim::CdbRecord &r : sim.cdbLog()) {
        const bool out = r.cdb[0] == ZRK_OP_TRAVO_OUT || (qm && r.cdb[0] == ZRK_OP_TRAVO_OUT_QM);
        if (!out || r.dataOut.empty()) continue;
        char code[4];
        std::snprintf(code, sizeof code, "%02x", r.dataOut[0]);
        codes += (codes.empty() ? "" : " ") + std::string(code);
    }
    return codes;
}
// The parameter lists of those pages, and the same as hex.
inline std::vector<Bytes> SentPages(const zrksim::Simulator &sim) {
    std::vector<Bytes> pages;
    for (const zrksim::CdbRecord &r : sim.cdbLog())
        if (r.cdb[0] == ZRK_OP_TRAVO_OUT) pages.push_back(r.dataOut);
    return pages;
}
inline std::vector<std::string> SentPagesHex(const zrksim::Simulator &sim) {
    std::vector<std::string> pages;
    for (const Bytes &page : SentPages(sim)) pages.push_back(zrksim::toHex(page));
    return pages;
}

// The copy commands of the simulator's CDB log, one word each: "in31" a
// TRAVO IN of page 0x31, "reserve" the reserve of an identifier (page 0x00 in
// a mode other than 1), "out44" a TRAVO OUT of page or list 0x44. Left out
// unless asked for: the QM family's opcodes, the copy-support read (page
// 0x00 in mode 1, "in00"), and every other command ("op" and its opcode).
struct TrailOf {
    bool bQm = false;
    bool bSupportRead = false;
    bool bOthers = false;
};
inline std::string CopyTrail(const zrksim::Simulator &sim, TrailOf what = {}) {
    std::string words;
    for (const zrksim::CdbRecord &r : sim.cdbLog()) {
        const int op = r.cdb[0];
        const bool in = op == ZRK_OP_TRAVO_IN || (what.bQm && op == ZRK_OP_TRAVO_IN_QM);
        const bool out = op == ZRK_OP_TRAVO_OUT || (what.bQm && op == ZRK_OP_TRAVO_OUT_QM);
        const bool supportRead = in && r.cdb[2] == ZRK_PAGE_RESERVE_ID && (r.cdb[1] & 0x07) == 1;
        char word[16];
        if (supportRead && !what.bSupportRead)
            continue;
        if (in && r.cdb[2] == ZRK_PAGE_RESERVE_ID && !supportRead)
            std::snprintf(word, sizeof word, "reserve");
        else if (in)
            std::snprintf(word, sizeof word, "in%02x", r.cdb[2]);
        else if (out && !r.dataOut.empty())
            std::snprintf(word, sizeof word, "out%02x", r.dataOut[0]);
        else if (what.bOthers)
            std::snprintf(word, sizeof word, "op%02x", op);
        else
            continue;
        words += (words.empty() ? "" : " ") + std::string(word);
    }
    return words;
}

// KEY=VALUE of session ID on ARRAY as the simulator lists it ("kind", and
// "pair": "A1:5>A1:6"); "" when the array has no such session.
inline std::string SessionField(const zrksim::Simulator &sim, const std::string &array, unsigned id,
                                const std::string &key) {
    for (const std::string &line : sim.sessions(array)) {
        std::istringstream in(line);
        std::string word, sid, kind, sa, so, da, dO;
        in >> word >> sid >> kind >> sa >> so >> da >> dO;
        if (sid != std::to_string(id)) continue;
        if (key == "kind") return kind;
        if (key == "pair") return sa + ":" + so + ">" + da + ":" + dO;
        while (in >> word)
            if (word.rfind(key + "=", 0) == 0) return word.substr(key.size() + 1);
    }
    return "";
}

inline bool Contains(const std::vector<std::string> &lines, const std::string &text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string &l) { return l.find(text) != std::string::npos; });
}
inline size_t Count(const std::vector<std::string> &lines, const std::string &text) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string &l) {
        return l.find(text) != std::string::npos;
    }));
}

// ---- the fixture ----------------------------------------------------------------------

// One array with disks, partitions, device-mapper and volume-manager volumes.
inline const char kScenario[] = R"(
array A1 boxid="BOX-A1"
volume A1 5 2097152 name=vol5
volume A1 6 4194304 name=vol6
volume A1 7 8589934600 name=big
disk /dev/sdb 8:16 A1 5
partition /dev/sdb1 8:17 /dev/sdb 2048 1000000
disk /dev/sdc 8:32 A1 6
disk /dev/sdd 8:48 A1 7
partition /dev/sdd1 8:49 /dev/sdd 4294967296 4096
brdlx /dev/brdlx/c1/dsk/vol1:sdc 250:1 out="volume vol1 a b c d 4096 e 1048576"
)";

// Two arrays of one clause, A1 (BOX-A1) and A2 (BOX-A2), with volumes of
// 2097152 blocks ("5", or "8 olustatus=1" with the volume's other words),
// the disk of A1:5 (/dev/sdb) and, unless `a2Disk` is false, that of A2:9
// (/dev/sdc).
inline std::string TwoArrays(const std::string &clause, const std::vector<std::string> &a1Volumes,
                             const std::vector<std::string> &a2Volumes, bool a2Disk = true) {
    std::string s = "array A1 boxid=\"BOX-A1\" " + clause + "\narray A2 boxid=\"BOX-A2\" " + clause + "\n";
    auto volumes = [&s](const char *array, const std::vector<std::string> &list) {
        for (const std::string &v : list) {
            const size_t space = v.find(' ');
            s += "volume " + std::string(array) + " " + v.substr(0, space) + " 2097152" +
                 (space == std::string::npos ? "" : v.substr(space)) + "\n";
        }
    };
    volumes("A1", a1Volumes);
    volumes("A2", a2Volumes);
    s += "disk /dev/sdb 8:16 A1 5\n";
    if (a2Disk) s += "disk /dev/sdc 8:32 A2 9\n";
    return s;
}

// The error catalogue of a test: the one shipped, or one that renames no
// sense code (so that every sense keeps the code the table gives it).
enum class Catalogue { kShipped, kEmpty };

// A simulated host with the arrays of a scenario, its host layer connected;
// every test starts and ends as a fresh API call.
class InbandTest : public SimTest {
protected:
    explicit InbandTest(const std::string &scenario, Catalogue catalogue = Catalogue::kEmpty)
        : SimTest(scenario), eCatalogue(catalogue) {}

    void SetUp() override {
        if (eCatalogue == Catalogue::kEmpty) root.write("bin/.zrk_errinf_wxapi", "# no sense codes\n");
        ConnectHost();
        NewCall();
    }
    void TearDown() override { NewCall(); }

    // A fresh call and an empty CDB log.
    void FreshCall() {
        NewCall();
        sim.clearLog();
    }
    // Another model, a fresh call and an empty CDB log.
    void Reload(const std::string &scenario, const std::vector<std::string> &sessions = {}) {
        sim.load(scenario);
        for (const std::string &s : sessions) sim.addSession(s);
        FreshCall();
    }

    // KEY=VALUE of session ID on ARRAY as the simulator lists it.
    std::string Field(const std::string &array, unsigned id, const std::string &key) const {
        return SessionField(sim, array, id, key);
    }

    Catalogue eCatalogue;
};

// The tests of the large-volume public functions: each call gets a sense
// buffer filled with garbage first, so that what the function leaves there is
// seen, and the call's device is closed after it.
class LvApiTest : public InbandTest {
protected:
    using InbandTest::InbandTest;

    void Before() {
        std::memset(sense, 0xEE, sizeof sense);
        ZRKerrno = 0;
    }
    int After(int rc) {
        EXPECT_EQ(ZRKopenFlag, 0);
        EXPECT_EQ(ZRKopenFd, 0);
        return rc;
    }
    bool SenseClear() const {
        return AllZero(sense, sizeof sense);
    }
    // TRAVO OUT pages sent since the last clearLog, by page code ("44 45").
    std::string Sent() const { return SentPageCodes(sim); }
    std::vector<Bytes> Pages() const { return SentPages(sim); }
    // The query of a family's session by its identifier.
    using SessionQuery = int (*)(const char *, uint32_t, uint32_t, unsigned char *, unsigned char *);
    int QuerySession(SessionQuery fn, const char *host, uint32_t id, uint32_t option, unsigned char *detail) {
        Before();
        return After(fn(host, id, option, detail, sense));
    }
    // Queries by identifier, one case a row: identifier and option word, 0 or
    // the ZRKerrno of the refusal. An option refused sends nothing; without a
    // detail area the first identifier is refused with 13.
    struct ByIdCase {
        uint32_t id, option;
        int expected;
    };
    void ExpectQueriesById(SessionQuery fn, const char *host, const std::vector<ByIdCase> &cases,
                           unsigned char *detail) {
        for (const ByIdCase &c : cases) {
            SCOPED_TRACE(testing::Message() << c.id << " " << c.option);
            sim.clearLog();
            EXPECT_EQ(QuerySession(fn, host, c.id, c.option, detail), c.expected == 0 ? 0 : -1);
            EXPECT_EQ(ZRKerrno, c.expected);
            if (c.option != 0) {
                EXPECT_TRUE(sim.cdbLog().empty());
            }
        }
        EXPECT_EQ(QuerySession(fn, host, cases.front().id, 0, nullptr), -1);
        EXPECT_EQ(ZRKerrno, 13);
    }

    // What a start refused by the array leaves (rc its result): ZRKerrno
    // `expected`, the start page and the stop of the reserved identifier with
    // copy kind `kind` sent, the caller holding the sense of the refused start
    // (5/0x26/`ascq`), and no session on A1.
    void ExpectRolledBack(int rc, int expected, unsigned char kind, unsigned char ascq) {
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(ZRKerrno, expected);
        EXPECT_EQ(Sent(), "44 45");
        const auto pages = Pages();
        ASSERT_EQ(pages.size(), 2u);
        EXPECT_EQ(zrk::Be16(pages[1].data() + 8), zrk::Be16(pages[0].data() + 8));
        EXPECT_EQ(pages[1][12], kind);
        EXPECT_EQ(sense[2] & 0x0F, 5);
        EXPECT_EQ(sense[12], 0x26);
        EXPECT_EQ(sense[13], ascq);
        EXPECT_TRUE(sim.sessions("A1").empty());
    }

    unsigned char sense[ZRK_SENSE_LEN];
};

}  // namespace inbandtest
