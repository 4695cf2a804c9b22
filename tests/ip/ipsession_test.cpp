// Finding the session that a copy request describes: the listing asked for
// (by volume, by identifier, of virtual volumes, with or without "-mode"),
// the rules that pick the one row, the capability and BoxID checks that come
// first, and the search in rows the caller already holds. The array's replies
// come from a scripted stand-in of the LAN service, and one lookup runs
// against the simulator's LAN front.
#include "../../ip/ipframe.h"
#include "../../ip/ipsession.h"
#include "../../ip/ipshow_array.h"
#include "ipaction_service.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char *kArray = "192.0.2.10";

std::string Box(const std::string &text) {
    std::string box(ZRK_BOXID_LEN, '\0');
    box.replace(0, text.size(), text);
    return box;
}

const std::string kOwn = Box("BOXA");
const std::string kOther = Box("BOXB");

// The copy-function record: which groups the array has and its most sessions.
struct Groups {
    bool kzp = true;
    bool vz = true;
    bool rvz = true;
    uint32_t maxSessions = 16;
};

void SetCommon(const Groups &g, const std::string &own = kOwn) {
    CliCopyFunctions f{};
    if (g.kzp) f.ucaKzpFunc[7] = 0x01;
    if (g.vz) f.ucaVzFunc[15] = 0x01;
    if (g.rvz) f.ucaRvzFunc[7] = 0x01;
    f.uiMaxSession = g.maxSessions;
    IPCtrlCommonData(IP_COMMON_FUNCS_SET, &f);
    IPCtrlCommonData(IP_COMMON_BOXID_SET, const_cast<char *>(own.data()));
}

// One line of "show copy-sessions".
struct Row {
    uint32_t id = 1;
    uint32_t id2 = 0;
    int type = 1;
    int attr = 0x80;
    int attr2 = 0;
    int status = 2;
    std::string src = "BOXA";
    std::string dst = "BOXA";
    uint32_t srcOlu = 1;
    uint32_t dstOlu = 2;
    uint64_t srcExt = 0;
    uint64_t dstExt = 0;
    uint64_t size = 0;
    int usable = 1;

    std::string Line() const {
        std::vector<std::string> c(40, "0");
        auto hex = [](uint64_t v) {
            char text[24];
            std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(v));
            return std::string(text);
        };
        c[0] = hex(id);
        c[1] = hex(id2);
        c[2] = hex(static_cast<uint64_t>(type));
        c[3] = hex(static_cast<uint64_t>(attr));
        c[4] = hex(static_cast<uint64_t>(attr2));
        c[7] = hex(static_cast<uint64_t>(status));
        c[11] = src;
        c[12] = dst;
        c[13] = hex(srcOlu);
        c[14] = hex(dstOlu);
        c[19] = hex(srcExt);
        c[20] = hex(dstExt);
        c[21] = hex(size);
        c[25] = "2026010112000000";
        c[26] = hex(static_cast<uint64_t>(usable));
        std::string line;
        for (size_t i = 0; i < c.size(); ++i) line += (i == 0 ? "" : "\t") + c[i];
        return line;
    }
};

std::string Listing(const std::vector<std::string> &lines) {
    char count[16];
    std::snprintf(count, sizeof count, "%zX", lines.size());
    std::string out = std::string("00\n") + count;
    for (const std::string &line : lines) out += "\n" + line;
    return out + "\n";
}

std::string Listing(const std::vector<Row> &rows) {
    std::vector<std::string> lines;
    for (const Row &r : rows) lines.push_back(r.Line());
    return Listing(lines);
}

// One line of "show vvol-copy-session" (25 columns).
std::string VvolLine(uint32_t id, int type, int status, uint32_t src, uint32_t dst) {
    std::vector<std::string> c(25, "0");
    c[0] = std::to_string(id);  // decimal digits read as hex: keep ids below 10
    c[1] = std::to_string(type);
    c[2] = std::to_string(status);
    c[3] = std::to_string(src);
    c[5] = std::to_string(dst);
    c[8] = "2026";
    c[9] = "1";
    c[10] = "2";
    c[11] = "3";
    c[12] = "4";
    c[13] = "5";
    std::string line;
    for (size_t i = 0; i < c.size(); ++i) line += (i == 0 ? "" : "\t") + c[i];
    return line;
}

// Model records: line 4 column 5 is byte 9 (bit 0x04: "-mode" is understood).
const std::string kModeModel = "00\n0\t0\n0\t0\n0\t0\t0\t0\t0\t4\n";
const std::string kPlainModel = "00\n0\t0\n0\t0\n0\t0\t0\t0\t0\t0\n";

IPCopyReq Request(int type, const std::string &src, const std::string &dst, uint32_t srcOlu,
                  uint32_t dstOlu, uint64_t srcExt = 0, uint64_t dstExt = 0, uint64_t size = 0) {
    IPCopyReq req{};
    std::memcpy(req.SrcBoxID, src.data(), ZRK_BOXID_LEN);
    std::memcpy(req.DstBoxID, dst.data(), ZRK_BOXID_LEN);
    req.SrcOLU = srcOlu;
    req.DstOLU = dstOlu;
    req.SrcExtAddr_high = static_cast<uint32_t>(srcExt >> 32);
    req.SrcExtAddr_low = static_cast<uint32_t>(srcExt);
    req.DstExtAddr_high = static_cast<uint32_t>(dstExt >> 32);
    req.DstExtAddr_low = static_cast<uint32_t>(dstExt);
    req.SrcSize_high = static_cast<uint32_t>(size >> 32);
    req.SrcSize_low = static_cast<uint32_t>(size);
    req.ReqMark = 1;
    req.CopyType = static_cast<uint8_t>(type);
    if (srcExt == 0 && dstExt == 0 && size == 0) req.CopyAttr |= ZRK_IPATTR_WHOLE_VOLUME;
    if (src != dst) req.CopyAttr |= ZRK_IPATTR_REMOTE;
    return req;
}

class IpLookup : public iptest::ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        SetCommon(Groups{});
        ZRKOptionFlag = 0;
        ZRKerrno = 0;
    }
    // The commands sent since the last call.
    std::vector<std::string> NewCommands() {
        const std::vector<std::string> all = service.commands();
        std::vector<std::string> out(all.begin() + static_cast<long>(seen_), all.end());
        seen_ = all.size();
        return out;
    }

    size_t seen_ = 0;
};

// ---- which row is chosen -----------------------------------------------------

TEST_F(IpLookup, PicksTheFirstUsableRowThatFits) {
    const IPCopyReq kzp = Request(IP_COPY_KZP, kOwn, kOwn, 1, 2);
    const IPCopyReq vz = Request(IP_COPY_VZ, kOwn, kOwn, 1, 2);
    const IPCopyReq extents = Request(IP_COPY_KZP, kOwn, kOwn, 1, 2, 0x100000000ull, 200, 100);
    const IPCopyReq remote = Request(IP_COPY_VZ, kOwn, kOther, 1, 2);
    const IPCopyReq atDestination = Request(IP_COPY_VZ, kOther, kOwn, 1, 2);
    IPCopyReq byId = Request(IP_COPY_KZP, kOwn, kOwn, 9, 2);
    IPCopyReq vzById = Request(IP_COPY_VZ, kOwn, kOwn, 9, 2);

    auto row = [](uint32_t id) {
        Row r;
        r.id = id;
        return r;
    };
    auto with = [](Row r, auto change) {
        change(r);
        return r;
    };
    const Row ext = with(row(0), [](Row &r) {
        r.attr = 0;
        r.srcExt = 0x100000000ull;
        r.dstExt = 200;
        r.size = 100;
    });
    const Row rvz = with(row(0), [](Row &r) {
        r.type = 2;
        r.attr = 0xA0;
        r.dst = "BOXB";
    });

    struct Case {
        const char *what;
        IPCopyReq req;
        uint32_t option;
        std::vector<Row> rows;
        int ret;
        int error;
        uint32_t chosen;
        std::string command;
    } cases[] = {
        {"first of two matches", kzp, 0, {row(5), row(6)}, 0, 0, 5,
         "show copy-sessions -volume-number 1 -mode 128"},
        {"state other than 1 passed over", kzp, 0,
         {with(row(5), [](Row &r) { r.usable = 0; }), with(row(6), [](Row &r) { r.usable = 2; }),
          row(7)},
         0, 0, 7, "show copy-sessions -volume-number 1 -mode 128"},
        {"KZP never takes a VZ row", kzp, 0, {with(row(5), [](Row &r) { r.type = 2; })}, -1, 21,
         0, "show copy-sessions -volume-number 1 -mode 128"},
        {"VZ skips the KZP family", vz, 0,
         {row(5), with(row(6), [](Row &r) { r.type = 3; }),
          with(row(7), [](Row &r) { r.type = 2; })},
         0, 0, 7, "show copy-sessions -volume-number 1 -mode 128"},
        {"every extent word compared", extents, 0,
         {with(ext, [](Row &r) { r.id = 5, r.size = 101; }),
          with(ext, [](Row &r) { r.id = 6, r.dstExt = 0x1000000C8ull; }),
          with(ext, [](Row &r) { r.id = 7, r.srcExt = 0; }),
          with(ext, [](Row &r) { r.id = 8, r.dstOlu = 3; }), with(ext, [](Row &r) { r.id = 9; })},
         0, 0, 9, "show copy-sessions -volume-number 1 -mode 128"},
        {"remote, this array the source: listed by source", remote, 0,
         {with(rvz, [](Row &r) { r.id = 4; })}, 0, 0, 4,
         "show copy-sessions -volume-number 1 -mode 128"},
        {"remote, this array the destination: listed by destination", atDestination, 0,
         {with(rvz, [](Row &r) { r.id = 4, r.src = "BOXB", r.dst = "BOXA"; })}, 0, 0, 4,
         "show copy-sessions -volume-number 2 -mode 128"},
        {"remote row of other arrays", remote, 0,
         {with(rvz, [](Row &r) { r.id = 4, r.dst = "BOXC"; })}, -1, 21, 0,
         "show copy-sessions -volume-number 1 -mode 128"},
        {"empty listing", kzp, 0, {}, -1, 21, 0, "show copy-sessions -volume-number 1 -mode 128"},
        {"by identifier: volumes not compared", byId, ZRK_OPT_SESSION_ID,
         {with(row(9), [](Row &r) { r.srcOlu = 40, r.dstOlu = 41; })}, 0, 0, 9,
         "show copy-sessions -session-id 9 -mode 128"},
        {"by identifier: no session there", byId, ZRK_OPT_SESSION_ID,
         {with(row(9), [](Row &r) { r.type = 0, r.status = 0; })}, -1, 21, 0,
         "show copy-sessions -session-id 9 -mode 128"},
        {"by identifier: a remote row by its second identifier", vzById, ZRK_OPT_SESSION_ID,
         {with(rvz, [](Row &r) { r.id = 3, r.id2 = 9, r.attr2 = 0x10; })}, 0, 0, 3,
         "show copy-sessions -session-id 9 -mode 128"},
        {"by identifier: unusable", byId, ZRK_OPT_SESSION_ID,
         {with(row(9), [](Row &r) { r.usable = 0; })}, -1, 21, 0,
         "show copy-sessions -session-id 9 -mode 128"},
    };
    for (const Case &c : cases) {
        service.reply(kModeModel);
        service.reply(Listing(c.rows));
        CliCopySession out;
        std::memset(&out, 0xCD, sizeof out);
        ZRKerrno = 0;
        EXPECT_EQ(c.ret, IPQueryTvc(kArray, nullptr, c.option, 128, &c.req, &out)) << c.what;
        const std::vector<std::string> sent = NewCommands();
        ASSERT_EQ(2u, sent.size()) << c.what;
        EXPECT_EQ("show model-info", sent[0].substr(0, 15)) << c.what;
        EXPECT_EQ(c.command, sent[1]) << c.what;
        if (c.ret == 0) {
            EXPECT_EQ(c.chosen, out.uiSessionID) << c.what;
            EXPECT_EQ(1, out.ucUsable) << c.what;
        } else {
            EXPECT_EQ(c.error, ZRKerrno) << c.what;
        }
    }
}

// What is settled before the array is asked for its sessions.
TEST_F(IpLookup, CapabilityAndBoxIdComeFirst) {
    Groups none;
    none.kzp = none.vz = none.rvz = false;
    Groups rvzOnly = none;
    rvzOnly.rvz = true;
    Groups vzOnly = none;
    vzOnly.vz = true;
    Groups kzpOnly = none;
    kzpOnly.kzp = true;
    struct Case {
        const char *what;
        Groups groups;
        IPCopyReq req;
        uint32_t option;
        int error;   // 0: the lookup goes on to the listing (empty here)
    } cases[] = {
        {"KZP across arrays", Groups{}, Request(IP_COPY_KZP, kOwn, kOther, 1, 2), 0, 17},
        {"KZP without the KZP family", vzOnly, Request(IP_COPY_KZP, kOwn, kOwn, 1, 2), 0, 17},
        {"KZP by identifier without the KZP family", vzOnly,
         Request(IP_COPY_KZP, kOwn, kOwn, 1, 2), ZRK_OPT_SESSION_ID, 17},
        {"VZ without VZ", rvzOnly, Request(IP_COPY_VZ, kOwn, kOwn, 1, 2), 0, 17},
        {"RVZ without RVZ", vzOnly, Request(IP_COPY_VZ, kOwn, kOther, 1, 2), 0, 17},
        {"VZ by identifier with RVZ only", rvzOnly, Request(IP_COPY_VZ, kOwn, kOwn, 1, 2),
         ZRK_OPT_SESSION_ID, 0},
        {"any kind, local, with RVZ only", rvzOnly, Request(IP_COPY_ANY, kOwn, kOwn, 1, 2), 0, 17},
        {"any kind, local, with KZP only", kzpOnly, Request(IP_COPY_ANY, kOwn, kOwn, 1, 2), 0, 0},
        {"any kind by identifier, nothing set up", none, Request(IP_COPY_ANY, kOwn, kOwn, 1, 2),
         ZRK_OPT_SESSION_ID, 0},
        {"local request of another array", Groups{}, Request(IP_COPY_KZP, kOther, kOther, 1, 2),
         0, 33},
        {"remote request between two other arrays", Groups{},
         Request(IP_COPY_VZ, kOther, Box("BOXC"), 1, 2), 0, 57},
        {"by identifier: no BoxID check", Groups{}, Request(IP_COPY_KZP, kOther, kOther, 1, 2),
         ZRK_OPT_SESSION_ID, 0},
    };
    for (const Case &c : cases) {
        SetCommon(c.groups);
        if (c.error == 0) {
            service.reply(kModeModel);
            service.reply(Listing(std::vector<Row>{}));
        }
        CliCopySession out;
        ZRKerrno = 0;
        EXPECT_EQ(-1, IPQueryTvc(kArray, nullptr, c.option, 128, &c.req, &out)) << c.what;
        const std::vector<std::string> sent = NewCommands();
        if (c.error != 0) {
            EXPECT_EQ(c.error, ZRKerrno) << c.what;
            EXPECT_TRUE(sent.empty()) << c.what;
        } else {
            // On to the (empty) listing.
            EXPECT_EQ(2u, sent.size()) << c.what;
        }
    }
}

// "-mode" only for a model that lists that way; the option bit goes with it.
TEST_F(IpLookup, ListingModeFollowsTheModel) {
    const IPCopyReq req = Request(IP_COPY_KZP, kOwn, kOwn, 1, 2);
    struct Case {
        const char *what;
        uint32_t optionFlag;
        int listFlags;
        std::optional<std::string> model;   // none: no model query expected
        std::string command;
        uint32_t optionAfter;
    } cases[] = {
        {"model without the mode form", 0x80000, 128, kPlainModel,
         "show copy-sessions -volume-number 1 ", 0},
        {"model with it, option bit too", 0x80000, 128, kModeModel,
         "show copy-sessions -volume-number 1 -mode 129", 0x80000},
        {"option bit alone", 0x80000, 0, kModeModel,
         "show copy-sessions -volume-number 1 -mode 1", 0x80000},
        {"neither: no model query", 0, 0, std::nullopt, "show copy-sessions -volume-number 1 ",
         0},
    };
    for (const Case &c : cases) {
        if (c.model) service.reply(*c.model);
        service.reply(Listing({Row{}}));
        ZRKOptionFlag = c.optionFlag;
        CliCopySession out;
        EXPECT_EQ(0, IPQueryTvc(kArray, nullptr, 0, c.listFlags, &req, &out)) << c.what;
        const std::vector<std::string> sent = NewCommands();
        ASSERT_EQ(c.model ? 2u : 1u, sent.size()) << c.what;
        EXPECT_EQ(c.command, sent.back()) << c.what;
        EXPECT_EQ(c.optionAfter, ZRKOptionFlag) << c.what;
    }

    // A model query that fails ends the lookup before the listing.
    service.reply("01\n5300\nno\n");
    CliCopySession out;
    EXPECT_EQ(-1, IPQueryTvc(kArray, nullptr, 0, 128, &req, &out));
    EXPECT_EQ(0x15300, ZRKerrno);
    EXPECT_EQ(1u, NewCommands().size());
}

// The row buffer holds the array's most sessions, and at least one.
TEST_F(IpLookup, RowRoomFromTheArraysMaximum) {
    const IPCopyReq req = Request(IP_COPY_KZP, kOwn, kOwn, 1, 2);
    Groups g;
    g.maxSessions = 0;
    SetCommon(g);
    Row second;
    second.id = 2;
    service.reply(Listing({Row{}}));
    CliCopySession out;
    ASSERT_EQ(0, IPQueryTvc(kArray, nullptr, 0, 0, &req, &out)) << ZRKerrno;
    EXPECT_EQ(1u, out.uiSessionID);

    // More rows than the array said it can hold: refused, nothing overrun.
    g.maxSessions = 1;
    SetCommon(g);
    service.reply(Listing({Row{}, second}));
    EXPECT_EQ(-1, IPQueryTvc(kArray, nullptr, 0, 0, &req, &out));
    EXPECT_EQ(902, ZRKerrno);
}

// Sessions of virtual volumes: converted rows, never remote, no BoxIDs.
TEST_F(IpLookup, VirtualVolumeSessions) {
    const IPCopyReq kzp = Request(IP_COPY_KZP, kOwn, kOwn, 7, 8);
    const IPCopyReq byId = Request(IP_COPY_KZP, kOwn, kOwn, 99, 8);
    const uint32_t vvol = ZRK_OPT_VVOL;
    struct Case {
        const char *what;
        IPCopyReq req;
        uint32_t option;
        std::string reply;
        int ret;
        uint32_t chosen;
        std::string command;
    } cases[] = {
        {"by volume", kzp, vvol,
         Listing(std::vector<std::string>{VvolLine(3, 1, 2, 7, 9), VvolLine(4, 1, 2, 7, 8)}), 0,
         4, "show vvol-copy-session -volume-number 7"},
        {"by identifier: the first of the right kind", byId, vvol | ZRK_OPT_SESSION_ID,
         Listing(std::vector<std::string>{VvolLine(3, 2, 2, 1, 2), VvolLine(5, 1, 2, 1, 2)}), 0,
         5, "show vvol-copy-session -vvol-session-id all"},
        {"by identifier: a row in state 0", byId, vvol | ZRK_OPT_SESSION_ID,
         Listing(std::vector<std::string>{VvolLine(5, 1, 0, 1, 2), VvolLine(6, 1, 2, 1, 2)}), -1,
         0, "show vvol-copy-session -vvol-session-id all"},
        {"no virtual-volume session at all", kzp, vvol, "01\n920B\nnone\n", -1, 0,
         "show vvol-copy-session -volume-number 7"},
        {"empty listing", kzp, vvol, Listing(std::vector<std::string>{}), -1, 0,
         "show vvol-copy-session -volume-number 7"},
    };
    for (const Case &c : cases) {
        service.reply(kModeModel);
        service.reply(c.reply);
        CliCopySession out;
        ZRKerrno = 0;
        EXPECT_EQ(c.ret, IPQueryTvc(kArray, nullptr, c.option, 128, &c.req, &out)) << c.what;
        const std::vector<std::string> sent = NewCommands();
        ASSERT_EQ(2u, sent.size()) << c.what;
        EXPECT_EQ(c.command, sent[1]) << c.what;
        if (c.ret == 0) {
            EXPECT_EQ(c.chosen, out.uiSessionID) << c.what;
            EXPECT_EQ(0, out.ucAttr) << c.what;
        } else {
            EXPECT_EQ(21, ZRKerrno) << c.what;
        }
    }
}

TEST_F(IpLookup, NoServiceIsPassedOn) {
    int port = 0;
    {
        iptest::FakeService gone;
        port = gone.port();
    }
    iptest::FakeService::usePort(root, port);
    const IPCopyReq req = Request(IP_COPY_KZP, kOwn, kOwn, 1, 2);
    CliCopySession out;
    EXPECT_EQ(-1, IPQueryTvc(kArray, nullptr, 0, 0, &req, &out));
    EXPECT_EQ(1903, ZRKerrno);
}

TEST(IpConvVVol, EveryNamedFieldAndNothingElse) {
    CliVvolCopySession in[2];
    std::memset(in, 0xEE, sizeof in);
    in[0].uiSessionID = 11;
    in[0].ucSessionType = 1;
    in[0].ucPhase = 3;
    in[0].ucSessionStatus = 2;
    in[0].uiLapseTime = 44;
    in[0].uiSrcOLU = 5;
    in[0].uiDstOLU = 6;
    in[0].ucErrorCode = 7;
    in[0].uiCopiedBlock_high = 8;
    in[0].uiCopiedBlock_low = 9;
    in[0].uiSize_high = 10;
    in[0].uiSize_low = 12;
    std::memcpy(in[0].ucaStartTime, "\x20\x26\x01\x02\x03\x04\x05\x00", 8);
    in[0].uiColumn21 = 21;
    in[0].uiColumn22 = 22;
    in[0].uiCopyProgress = 50;
    in[0].ucColumn20 = 20;
    in[1] = in[0];
    in[1].uiSessionID = 12;
    CliCopySession out[2];
    std::memset(out, 0xCD, sizeof out);
    ASSERT_EQ(2, IPConvVVolSes2CopySes(in, 2, out));

    CliCopySession expected;
    std::memset(&expected, 0, sizeof expected);
    expected.uiSessionID = 11;
    expected.ucSessionType = 1;
    expected.ucPhase = 3;
    expected.ucSessionStatus = 2;
    expected.uiLapseTime = 44;
    expected.uiSrcOLU = 5;
    expected.uiDstOLU = 6;
    expected.ucErrorCode = 7;
    expected.uiCopiedBlock_high = 8;
    expected.uiCopiedBlock_low = 9;
    expected.uiSize_high = 10;
    expected.uiSize_low = 12;
    std::memcpy(expected.ucaStartTime, in[0].ucaStartTime, 8);
    expected.uiColumn28 = 21;
    expected.uiColumn29 = 22;
    expected.uiCopyProgress = 50;
    expected.ucColumn36 = 20;
    expected.ucUsable = 1;
    EXPECT_EQ(0, std::memcmp(&expected, &out[0], sizeof expected));
    expected.uiSessionID = 12;
    EXPECT_EQ(0, std::memcmp(&expected, &out[1], sizeof expected));
}

// ---- search in rows the caller holds -------------------------------------------

CliCopySession Held(uint32_t id, uint8_t type, uint8_t attr, uint32_t src, uint32_t dst) {
    CliCopySession s;
    std::memset(&s, 0, sizeof s);
    s.uiSessionID = id;
    s.ucSessionType = type;
    s.ucAttr = attr;
    s.ucSessionStatus = 2;
    s.ucUsable = 1;
    std::memcpy(s.ucaSrcBoxID, kOwn.data(), ZRK_BOXID_LEN);
    std::memcpy(s.ucaDstBoxID, kOwn.data(), ZRK_BOXID_LEN);
    s.uiSrcOLU = src;
    s.uiDstOLU = dst;
    return s;
}

TEST(IpSearchSession, FirstRowThatFitsInEveryRespect) {
    IPCopyReq kzp = Request(IP_COPY_KZP, kOwn, kOwn, 1, 2);
    IPCopyReq quick = kzp;
    quick.CopyAttr |= ZRK_IPATTR_QUICKKZP;
    const IPCopyReq vz = Request(IP_COPY_VZ, kOwn, kOwn, 1, 2);
    const IPCopyReq rvz = Request(IP_COPY_VZ, kOwn, kOther, 1, 2);
    const IPCopyReq any = Request(IP_COPY_ANY, kOwn, kOwn, 1, 2);

    auto changed = [](CliCopySession s, auto change) {
        change(s);
        return s;
    };
    const CliCopySession plain = Held(0, 1, 0x80, 1, 2);
    const CliCopySession remote = changed(Held(0, 2, 0xA0, 1, 2), [](CliCopySession &s) {
        std::memcpy(s.ucaDstBoxID, kOther.data(), ZRK_BOXID_LEN);
    });
    auto id = [](CliCopySession s, uint32_t n) {
        s.uiSessionID = n;
        return s;
    };
    struct Case {
        const char *what;
        IPCopyReq req;
        std::vector<CliCopySession> rows;
        uint32_t chosen;   // 0: 21
    } cases[] = {
        {"first of two", kzp, {id(plain, 3), id(plain, 4)}, 3},
        {"state not 1, status 0", kzp,
         {changed(id(plain, 3), [](CliCopySession &s) { s.ucUsable = 0; }),
          changed(id(plain, 4), [](CliCopySession &s) { s.ucSessionStatus = 0; }), id(plain, 5)},
         5},
        {"a QuickKZP request wants a QuickKZP row", quick,
         {id(plain, 3), changed(id(plain, 4), [](CliCopySession &s) { s.ucAttr |= 0x08; })}, 4},
        {"a KZP request does not take a SnapKZP+ row", kzp,
         {changed(id(plain, 3), [](CliCopySession &s) { s.ucAttr |= 0x40; })}, 0},
        {"a KZP request wants type 1", kzp,
         {changed(id(plain, 3), [](CliCopySession &s) { s.ucSessionType = 3; })}, 0},
        {"VZ wants type 2", vz,
         {id(plain, 3), changed(id(plain, 4), [](CliCopySession &s) { s.ucSessionType = 2; })}, 4},
        {"remote bit must agree", vz, {id(remote, 3)}, 0},
        {"remote with its BoxIDs", rvz,
         {changed(id(remote, 3), [](CliCopySession &s) { s.ucaDstBoxID[0] = 'X'; }),
          id(remote, 4)},
         4},
        {"any kind takes any type", any,
         {changed(id(plain, 3), [](CliCopySession &s) { s.ucSessionType = 3; })}, 3},
        {"volumes and extents", kzp,
         {changed(id(plain, 3), [](CliCopySession &s) { s.uiDstOLU = 7; }),
          changed(id(plain, 4), [](CliCopySession &s) { s.uiSize_low = 1; }),
          changed(id(plain, 5), [](CliCopySession &s) { s.uiSrcExtAddr_high = 1; })},
         0},
        {"no rows", kzp, {}, 0},
    };
    for (const Case &c : cases) {
        CliCopySession out;
        std::memset(&out, 0xCD, sizeof out);
        ZRKerrno = 0;
        const int ret = IPSearchSession(&c.req, c.rows.data(), static_cast<int>(c.rows.size()),
                                        0x80, &out);
        if (c.chosen == 0) {
            EXPECT_EQ(-1, ret) << c.what;
            EXPECT_EQ(21, ZRKerrno) << c.what;
        } else {
            ASSERT_EQ(0, ret) << c.what;
            EXPECT_EQ(c.chosen, out.uiSessionID) << c.what;
        }
    }
}

// ---- against the simulator -------------------------------------------------------

constexpr const char *kSimScenario =
    "array A1 boxid=\"BOXA\" address=10.0.0.5\n"
    "array B1 boxid=\"BOXB\" address=10.0.0.6 modelinfo=00000000000000000000\n"
    "volume A1 1 2097152\n"
    "volume A1 2 2097152\n"
    "volume B1 1 2097152\n"
    "volume B1 2 2097152\n"
    "volume A1 3 2097152\n"
    "session 3 rvz A1 1 B1 2 partner=7\n"
    "session 4 vz A1 3 A1 2\n"
    "user admin secret\n";

class IpLookupSim : public iptest::LanSimTest {
protected:
    IpLookupSim()
        : LanSimTest(kSimScenario, {"10.0.0.5", "10.0.0.6"}, iptest::LanTrace::kRootDefault) {}
    // The command texts the arrays received since the last call.
    std::vector<std::string> Commands() const { return iptest::LanCommands(sim); }
};

TEST_F(IpLookupSim, FindsTheArraysSession) {
    const std::string boxA = "BOXA" + std::string(36, ' ');
    const std::string boxB = "BOXB" + std::string(36, ' ');
    ASSERT_EQ(0, IPComInfoCheckSet("10.0.0.5", nullptr, 0, 0, IP_REFRESH_BOXID)) << ZRKerrno;
    Commands();

    // The mirror inside A1.
    IPCopyReq vz = Request(IP_COPY_VZ, boxA, boxA, 3, 2);
    CliCopySession out;
    ASSERT_EQ(0, IPQueryTvc("10.0.0.5", nullptr, 0, 128, &vz, &out)) << ZRKerrno;
    EXPECT_EQ(4u, out.uiSessionID);
    EXPECT_EQ(std::vector<std::string>({"show model-info",
                                        "show copy-sessions -volume-number 3 -mode 128"}),
              Commands());

    // B1 holds the destination of the RVZ session: it lists its volume 2,
    // and its model does not take "-mode".
    ASSERT_EQ(0, IPComInfoCheckSet("10.0.0.6", nullptr, 0x80000, 0x80000, IP_REFRESH_BOXID))
        << ZRKerrno;
    Commands();
    IPCopyReq rvz = Request(IP_COPY_VZ, boxA, boxB, 1, 2);
    ASSERT_EQ(0, IPQueryTvc("10.0.0.6", nullptr, 0, 128, &rvz, &out)) << ZRKerrno;
    EXPECT_EQ(3u, out.uiSessionID);
    EXPECT_EQ(7u, out.uiSessionID2);
    EXPECT_EQ(0u, ZRKOptionFlag & 0x80000);
    const std::vector<std::string> sent = Commands();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ("show copy-sessions -volume-number 2 ", sent[1]);

    // A KZP request does not take the mirror.
    IPCopyReq kzp = Request(IP_COPY_KZP, boxA, boxA, 3, 2);
    ASSERT_EQ(0, IPComInfoCheckSet("10.0.0.5", nullptr, 0, 0, IP_REFRESH_BOXID)) << ZRKerrno;
    EXPECT_EQ(-1, IPQueryTvc("10.0.0.5", nullptr, 0, 128, &kzp, &out));
    EXPECT_EQ(21, ZRKerrno);
}

}  // namespace

namespace {

// The whole-table readers (the VZ status list, the concurrent VZ suspend
// and the concurrent KZP restart) list the sessions in the "-mode" form
// without asking the array's model first: one round trip less than the
// session lookup.
constexpr const char *kWholeTableScenario =
    "array A1 boxid=\"BOXA\" address=10.0.0.5 support=%s\n"
    "volume A1 1 4096\n"
    "volume A1 2 4096\n"
    "volume A1 3 4096\n"
    "volume A1 4 4096\n"
    "session 1 vz A1 1 A1 2\n"
    "session 2 quickkzp A1 3 A1 4 phase=tracking\n"
    "user admin secret\n";

std::string WholeTableScenario() {
    char text[1024];
    std::snprintf(text, sizeof text, kWholeTableScenario,
                  iptest::SupportHex({{4, 0x8F}}).c_str());
    return text;
}

class IpWholeTableSim : public iptest::LanSimTest {
protected:
    IpWholeTableSim()
        : LanSimTest(WholeTableScenario(), {"10.0.0.5"}, iptest::LanTrace::kRootDefault) {}
};

TEST_F(IpWholeTableSim, ListedInTheModeFormWithoutAModelQuestion) {
    const std::string box = iptest::PaddedBox("BOXA");
    struct Case {
        const char *pWhat;
        std::function<int()> call;
        const char *pAction; // the command that follows the list
    };
    const Case cases[] = {
        {"VZ status list",
         [] {
             std::vector<unsigned char> list(8 + 8 * 65535, 0);
             unsigned char sense[ZRK_SENSE_LEN];
             return ZRKIPStatusListVZ("10.0.0.5", nullptr, 0, list.data(), sense);
         },
         nullptr},
        {"concurrent VZ suspend",
         [&box] {
             CONC_SUS_PAIR_LV pair{};
             std::memcpy(pair.SrcBoxID, box.data(), ZRK_BOXID_LEN);
             std::memcpy(pair.DstBoxID, box.data(), ZRK_BOXID_LEN);
             pair.SrcOlu = 1;
             pair.DstOlu = 2;
             uint32_t result[2] = {};
             unsigned char sense[ZRK_SENSE_LEN];
             return ZRKIPMultiSuspendVZ("10.0.0.5", nullptr, &pair, 1, 0, result, sense);
         },
         "suspend copy-vz -session-id 1 -mode concurrent "},
        {"concurrent KZP restart",
         [] {
             CONC_SES_INFO entry{};
             entry.SrcOlu = 3;
             entry.DstOlu = 4;
             entry.CopyKind = 8; // QuickKZP
             entry.OptionFlag = ZRK_OPT_RESTART;
             unsigned char sense[ZRK_SENSE_LEN];
             return ZRKIPStartConcKZP("10.0.0.5", nullptr, &entry, 1, sense);
         },
         "start copy-concurrent-kzp -restart 2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        ZRKerrno = 0;
        ASSERT_EQ(0, c.call()) << ZRKerrno;
        std::vector<std::string> sessionCommands;
        for (const std::string &sent : iptest::LanCommands(sim)) {
            EXPECT_NE(0u, sent.rfind("show model-info", 0)) << sent;
            if (sent.rfind("show copy-functions", 0) != 0 && sent.rfind("show boxid", 0) != 0)
                sessionCommands.push_back(sent);
        }
        std::vector<std::string> expected{"show copy-sessions  -mode 128"};
        if (c.pAction != nullptr) expected.push_back(c.pAction);
        EXPECT_EQ(expected, sessionCommands);
    }
}

}  // namespace
