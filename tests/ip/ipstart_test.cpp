// Starting sessions over the LAN against the simulator's LAN front: every
// start kind with its option combinations as the array receives them and
// as its sessions show them afterwards, the refusals settled before any
// start command (options, capabilities), the diagnosis of a refused start,
// and the QuickKZP restart. Replies that the simulator does not give come
// from a scripted stand-in of the LAN service.
#include "../../ip/ipframe.h"
#include "../../ip/ipsession.h"
#include "ipaction_service.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using StartFn = int (*)(ZRKIP_COPY_ARGS);

// The arrays' BoxIDs as the simulator pads them.
std::string Padded(const std::string &text) { return text + std::string(40 - text.size(), ' '); }
const std::string kBoxA = Padded("BOXA");
const std::string kBoxB = Padded("BOXB");
const std::string kBoxC = Padded("BOXC");
const std::string kBoxD = Padded("BOXD");
const std::string kNoBox(ZRK_BOXID_LEN, '\xFF');
constexpr uint32_t kNoOlu = 0xFFFFFFFFu;

// C1: KZP, VZ and RVZ, QuickKZP and SnapKZP+, but no secondary access, no
// stack or consistency transfer and no virtual-volume sessions.
// D1: the KZP family's base only.
const std::string kSupportC1 = "0000000009000001" + std::string(16, '0') + "0000000000000001" +
                               "0000000000000001";
const std::string kSupportD1 = "0000000000000001" + std::string(48, '0');

std::string Scenario(const std::string &extra) {
    std::string s =
        "array A1 boxid=\"BOXA\" address=10.0.0.5\n"
        "array B1 boxid=\"BOXB\" address=10.0.0.6\n"
        "array C1 boxid=\"BOXC\" address=10.0.0.7 support=" + kSupportC1 + "\n"
        "array D1 boxid=\"BOXD\" address=10.0.0.8 support=" + kSupportD1 + "\n";
    for (int olu = 1; olu <= 20; ++olu) s += "volume A1 " + std::to_string(olu) + " 2097152\n";
    for (int olu = 1; olu <= 6; ++olu) s += "volume B1 " + std::to_string(olu) + " 2097152\n";
    for (int olu = 1; olu <= 4; ++olu) {
        s += "volume C1 " + std::to_string(olu) + " 2097152\n";
        s += "volume D1 " + std::to_string(olu) + " 2097152\n";
    }
    s += "volume A1 30 2097152 type=sdv\n"
         "volume A1 31 2097152 type=sdv sdvstatus=0x40000000\n"
         "volume A1 32 2097152 type=sdv\n"
         "volume A1 33 2097152 type=sdv\n"
         "user admin secret\n";
    return s + extra;
}

// One call of a start function.
struct Call {
    StartFn fn;
    const char *ip;
    std::string src;
    uint32_t srcOlu;
    std::string dst;
    uint32_t dstOlu;
    uint32_t option = 0;
    uint64_t srcExt = 0;
    uint64_t size = 0;
    uint64_t dstExt = 0;
};

int Start(const Call &c, unsigned char *sense = nullptr) {
    ZRKerrno = 0;
    return c.fn(c.ip, nullptr, c.src.data(), c.srcOlu, static_cast<uint32_t>(c.srcExt >> 32),
                static_cast<uint32_t>(c.srcExt), static_cast<uint32_t>(c.size >> 32),
                static_cast<uint32_t>(c.size), c.dst.data(), c.dstOlu,
                static_cast<uint32_t>(c.dstExt >> 32), static_cast<uint32_t>(c.dstExt), 255,
                c.option, sense);
}

class IpStartSim : public iptest::LanSimTest {
protected:
    explicit IpStartSim(const std::string &extra = "")
        : LanSimTest(Scenario(extra), {"10.0.0.5", "10.0.0.6", "10.0.0.7", "10.0.0.8"}) {}
    // The command texts the arrays received since the last call.
    std::vector<std::string> Commands() const { return iptest::LanCommands(sim); }
    // The commands from the first start command on (the capability and
    // BoxID queries before it are answered from the caches after a while).
    std::vector<std::string> FromStart() {
        std::vector<std::string> all = Commands();
        auto first = std::find_if(all.begin(), all.end(), [](const std::string &c) {
            return c.rfind("start ", 0) == 0 || c.rfind("show copy-sessions", 0) == 0;
        });
        return std::vector<std::string>(first, all.end());
    }
    bool HasSession(const std::string &prefix) const {
        for (const std::string &line : sim.sessions()) {
            if (line.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }
};

std::string Quoted(const std::string &box) { return "\"" + box + "\""; }

// ---- starts that the array takes ----------------------------------------------

TEST_F(IpStartSim, EachKindStartsWithItsCommandText) {
    const std::string rvzHead = "start copy-rvz -source-boxid " + Quoted(kBoxA) +
                                " -destination-boxid " + Quoted(kBoxB);
    struct Case {
        const char *what;
        Call call;
        std::string text;
        std::string session;   // the array's session line starts with this after the id
        std::string options;   // and contains this
    } cases[] = {
        {"VZ", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 2},
         "start copy-vz -source-volume-number 1 -destination-volume-number 2    ", "vz A1 1 A1 2 ",
         "size=0 "},
        {"VZ secondary, extents",
         {ZRKIPStartVZ, "10.0.0.5", kBoxA, 3, kBoxA, 20, 0x20000, 0, 1024, 4096},
         "start copy-vz -source-volume-number 3 -destination-volume-number 20 -size 1024"
         " -source-lba 0 -destination-lba 4096 -secondary-access 1 ",
         "vz A1 3 A1 20 ", "secondary=1 "},
        {"RVZ sync, split, manual recovery",
         {ZRKIPStartVZ, "10.0.0.5", kBoxA, 4, kBoxB, 1, 0x20 | 0x100 | 0x200},
         rvzHead + " -source-volume-number 4 -destination-volume-number 1     -xfer-mode 10"
                   " -split 1 -recovery 1 ",
         "vz A1 4 B1 1 ", "mode=sync,split,manual "},
        {"RVZ skip, stack", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 5, kBoxB, 2, 0x40 | 0x400},
         rvzHead + " -source-volume-number 5 -destination-volume-number 2    -mode skip"
                   " -xfer-mode 02   ",
         "vz A1 5 B1 2 ", "transfer=2 "},
        {"RVZ consistency, secondary",
         {ZRKIPStartVZ, "10.0.0.5", kBoxA, 6, kBoxB, 3, 0x800 | 0x20000},
         rvzHead + " -source-volume-number 6 -destination-volume-number 3     -xfer-mode 03"
                   "   -secondary-access 1 ",
         "vz A1 6 B1 3 ", "transfer=3 "},
        {"KZP", {ZRKIPStartKZP, "10.0.0.5", kBoxA, 7, kBoxA, 8},
         "start copy-kzp -source-volume-number 7 -destination-volume-number 8   ", "kzp A1 7 A1 8 ",
         ""},
        {"KZP extents", {ZRKIPStartKZP, "10.0.0.5", kBoxA, 9, kBoxA, 10, 0, 0, 2048, 4096},
         "start copy-kzp -source-volume-number 9 -destination-volume-number 10 -size 2048"
         " -source-lba 0 -destination-lba 4096",
         "kzp A1 9 A1 10 ", "dstext=4096 "},
        {"KZP from a snap data volume", {ZRKIPStartKZP, "10.0.0.5", kBoxA, 30, kBoxA, 11},
         "start copy-kzp -source-volume-number 30 -destination-volume-number 11   ",
         "kzp A1 30 A1 11 ", ""},
        {"QuickKZP", {ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 12, kBoxA, 13},
         "start copy-quick-kzp  -source-volume-number 12 -destination-volume-number 13   ",
         "quickkzp A1 12 A1 13 ", ""},
        {"QuickKZP delete mode", {ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 14, kBoxA, 15, 0x2000000},
         "start copy-quick-kzp -vvol-session-delete-mode enable -source-volume-number 14"
         " -destination-volume-number 15   ",
         "quickkzp A1 14 A1 15 ", "vvoldelete=yes"},
        {"SnapKZP+", {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 16, kBoxA, 32},
         "start copy-snap-kzp   -source-volume-number 16 -destination-volume-number 32   ",
         "snapkzp+ A1 16 A1 32 ", ""},
        {"SnapKZP+ delete mode", {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 17, kBoxA, 33, 0x2000000},
         "start copy-snap-kzp -vvol-session-delete-mode enable  -source-volume-number 17"
         " -destination-volume-number 33   ",
         "snapkzp+ A1 17 A1 33 ", "vvoldelete=yes"},
        {"copy monitor", {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 18, kNoBox, kNoOlu, 0x8000},
         "start copy-monitor -source-volume-number 18  ", "monitor A1 18 A1 - ", ""},
        {"copy monitor of an extent",
         {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 19, kNoBox, kNoOlu, 0x8000, 5, 100,
          0xFFFFFFFFFFFFFFFFull},
         "start copy-monitor -source-volume-number 19 -size 100 -source-lba 5",
         "monitor A1 19 A1 - ", "srcext=5 size=100 "},
    };
    for (const Case &c : cases) {
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ZRKsessionid = -1;
        ASSERT_EQ(0, Start(c.call, sense)) << c.what << " " << std::hex << ZRKerrno;
        EXPECT_EQ(std::vector<std::string>{c.text}, FromStart()) << c.what;
        EXPECT_GT(ZRKsessionid, 0) << c.what;
        const std::string prefix = "session " + std::to_string(ZRKsessionid) + " " + c.session;
        EXPECT_TRUE(HasSession(prefix)) << c.what << ": " << prefix;
        bool options = false;
        for (const std::string &line : sim.sessions()) {
            if (line.rfind(prefix, 0) == 0) options = line.find(c.options) != std::string::npos;
        }
        EXPECT_TRUE(options) << c.what << ": " << c.options;
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'), std::string(reinterpret_cast<char *>(sense),
                                                                 sizeof sense))
            << c.what;
    }
}

TEST_F(IpStartSim, TraceOfAStart) {
    ASSERT_EQ(0, Start({ZRKIPStartKZP, "10.0.0.5", kBoxA, 1, kBoxA, 2}));
    const int id = ZRKsessionid;
    EXPECT_EQ(-1, Start({ZRKIPStartKZP, "10.0.0.5", kBoxA, 1, kBoxA, 30}));
    const std::string trace = root.traceText();
    for (const std::string &line : {
             std::string("ZRKIPStartKZP : START"),
             std::string("ZRKIPStartKZP : IPaddress=10.0.0.5, CopyInterval=255, OptionFlag=0x00"),
             std::string("IPStartTvc : IPaddress=10.0.0.5, OptionFlag=0x00"),
             "ZRKIPStartKZP : SessionID=<" + std::to_string(id) + ">",
             std::string("ZRKIPStartKZP : END(ret=0, ZRKerrno=0)"),
             std::string("IPStartTvc : END(ret=-1, ZRKerrno=68)"),
             std::string("ZRKIPStartKZP : END(ret=-1, ZRKerrno=68)"),
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

// ---- refused before the array is asked to start ---------------------------------

TEST_F(IpStartSim, OptionsRefusedBeforeAnyStart) {
    struct Case {
        const char *what;
        Call call;
        int remote;   // -1: a mask refusal, no RemoteFlag line
    } cases[] = {
        {"VZ local sync", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x20}, 0},
        {"VZ local skip", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x40 | 0x20000}, 0},
        {"VZ local split", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x100}, 0},
        {"VZ local recovery", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x200}, 0},
        {"VZ local stack", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x400}, 0},
        {"VZ local consistency", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x800}, 0},
        {"RVZ sync with stack", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxB, 2, 0x20 | 0x400}, 1},
        {"RVZ sync with consistency",
         {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxB, 2, 0x20 | 0x800}, 1},
        {"RVZ split without sync", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxB, 2, 0x100}, 1},
        {"RVZ stack with consistency",
         {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxB, 2, 0x400 | 0x800}, 1},
        {"VZ outside its mask", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x1000}, -1},
        {"KZP takes no option", {ZRKIPStartKZP, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x20000}, -1},
        {"QuickKZP outside its mask", {ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x4},
         -1},
        {"SnapKZP+ outside its mask",
         {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 1, kBoxA, 32, 0x2000}, -1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(-1, Start(c.call)) << c.what;
        EXPECT_EQ(37, ZRKerrno) << c.what;
        EXPECT_TRUE(FromStart().empty()) << c.what;
    }
    const std::string trace = root.traceText();
    EXPECT_NE(std::string::npos, trace.find("ZRKIPStartVZ : RemoteFlag=0, OptionFlag=0x20 "));
    EXPECT_NE(std::string::npos, trace.find("ZRKIPStartVZ : RemoteFlag=1, OptionFlag=0xc00 "));
    EXPECT_TRUE(sim.sessions().empty());
}

TEST_F(IpStartSim, CapabilitiesRefusedBeforeAnyStart) {
    struct Case {
        const char *what;
        Call call;
    } cases[] = {
        {"VZ secondary access", {ZRKIPStartVZ, "10.0.0.7", kBoxC, 1, kBoxC, 2, 0x20000}},
        {"RVZ stack transfer", {ZRKIPStartVZ, "10.0.0.7", kBoxC, 1, kBoxB, 2, 0x400}},
        {"RVZ consistency transfer", {ZRKIPStartVZ, "10.0.0.7", kBoxC, 1, kBoxB, 2, 0x800}},
        {"RVZ secondary access", {ZRKIPStartVZ, "10.0.0.7", kBoxC, 1, kBoxB, 2, 0x20000}},
        {"QuickKZP delete mode", {ZRKIPStartQuickKZP, "10.0.0.7", kBoxC, 1, kBoxC, 2, 0x2000000}},
        {"SnapKZP+ delete mode",
         {ZRKIPStartSnapKZP_p, "10.0.0.7", kBoxC, 1, kBoxC, 2, 0x2000000}},
        {"VZ without VZ", {ZRKIPStartVZ, "10.0.0.8", kBoxD, 1, kBoxD, 2}},
        {"RVZ without RVZ", {ZRKIPStartVZ, "10.0.0.8", kBoxD, 1, kBoxB, 2}},
        {"QuickKZP without it", {ZRKIPStartQuickKZP, "10.0.0.8", kBoxD, 1, kBoxD, 2}},
        {"SnapKZP+ without it", {ZRKIPStartSnapKZP_p, "10.0.0.8", kBoxD, 1, kBoxD, 2}},
        {"copy monitor without SnapKZP+",
         {ZRKIPStartSnapKZP_p, "10.0.0.8", kBoxD, 1, kNoBox, kNoOlu, 0x8000}},
        {"KZP across arrays", {ZRKIPStartKZP, "10.0.0.5", kBoxA, 1, kBoxB, 2}},
        {"QuickKZP across arrays", {ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 1, kBoxB, 2}},
        {"SnapKZP+ across arrays", {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 1, kBoxB, 2}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(-1, Start(c.call)) << c.what;
        EXPECT_EQ(17, ZRKerrno) << c.what;
        EXPECT_TRUE(FromStart().empty()) << c.what;
    }
    // What C1 has it starts.
    EXPECT_EQ(0, Start({ZRKIPStartQuickKZP, "10.0.0.7", kBoxC, 1, kBoxC, 2})) << ZRKerrno;
    EXPECT_EQ(0, Start({ZRKIPStartVZ, "10.0.0.7", kBoxC, 3, kBoxB, 1, 0x20})) << ZRKerrno;
}

// ---- refused by the array: the diagnosis -------------------------------------------

class IpStartRefused : public IpStartSim {
protected:
    IpStartRefused()
        : IpStartSim("session 1 vz A1 5 A1 6\n"
                     "session 2 snapkzp+ A1 7 A1 33\n") {}
};

TEST_F(IpStartRefused, DiagnosisOfTheVolumes) {
    const std::string all = "show volumes  ";
    struct Case {
        const char *what;
        Call call;
        int error;
        std::vector<std::string> asked;   // the commands after the start
    } cases[] = {
        {"VZ from a volume the array lacks", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 50, kBoxA, 2}, 48,
         {all}},
        {"VZ to a volume the array lacks", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 50}, 48,
         {all}},
        {"VZ to a snap data volume", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 30}, 68, {all}},
        {"VZ from a snap data volume", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 30, kBoxA, 1}, 68, {all}},
        {"VZ to a volume in use: the array's error", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 6},
         0x15302, {all}},
        {"VZ inside one volume: the array's error, not 48",
         {ZRKIPStartVZ, "10.0.0.5", kBoxA, 6, kBoxA, 6, 0, 0, 1024, 4096}, 0x15300, {all}},
        {"KZP from a snap data volume being initialised",
         {ZRKIPStartKZP, "10.0.0.5", kBoxA, 31, kBoxA, 1}, 39,
         {all, "show snap-data-volume -volume-number 31"}},
        {"KZP to a snap data volume", {ZRKIPStartKZP, "10.0.0.5", kBoxA, 1, kBoxA, 30}, 68, {all}},
        {"KZP from a snap data volume to a volume in use",
         {ZRKIPStartKZP, "10.0.0.5", kBoxA, 30, kBoxA, 6}, 0x15302,
         {all, "show snap-data-volume -volume-number 30"}},
        {"QuickKZP to a snap data volume", {ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 1, kBoxA, 30},
         68, {all}},
        {"QuickKZP from a volume the array lacks",
         {ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 50, kBoxA, 1}, 48, {all}},
        {"SnapKZP+ to an open volume", {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 1, kBoxA, 2}, 68,
         {}},
        {"SnapKZP+ to a snap data volume of another source",
         {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 1, kBoxA, 33}, 68, {}},
        {"SnapKZP+ to a busy snap data volume",
         {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 1, kBoxA, 31}, 39,
         {"show snap-data-volume -volume-number 31"}},
        {"copy monitor of a volume the array lacks: no diagnosis",
         {ZRKIPStartSnapKZP_p, "10.0.0.5", kBoxA, 50, kNoBox, kNoOlu, 0x8000}, 0x15300, {}},
        {"RVZ from a volume the array lacks", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 50, kBoxB, 1}, 48,
         {"show volumes -volume-number 50 "}},
        {"RVZ from a snap data volume", {ZRKIPStartVZ, "10.0.0.5", kBoxA, 30, kBoxB, 1}, 68,
         {"show volumes -volume-number 30 "}},
        {"RVZ to a volume the partner lacks: this array's volume is fine",
         {ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxB, 50}, 0x15300,
         {"show volumes -volume-number 1 "}},
        {"RVZ asked of the destination array: its own volume is looked at",
         {ZRKIPStartVZ, "10.0.0.6", kBoxA, 1, kBoxB, 50}, 48,
         {"show volumes -volume-number 50 "}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(-1, Start(c.call)) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what << std::hex << " got 0x" << ZRKerrno;
        std::vector<std::string> sent = FromStart();
        ASSERT_FALSE(sent.empty()) << c.what;
        EXPECT_EQ(0u, sent[0].rfind("start ", 0)) << c.what;
        sent.erase(sent.begin());
        EXPECT_EQ(c.asked, sent) << c.what;
    }
}

// ---- QuickKZP restart ----------------------------------------------------------------

class IpStartRestart : public IpStartSim {
protected:
    IpStartRestart()
        : IpStartSim("session 5 quickkzp A1 1 A1 2 phase=tracking\n"
                     "session 6 kzp A1 3 A1 4\n"
                     "session 40 quickkzp A1 9 A1 10 phase=tracking status=suspend\n") {}
};

TEST_F(IpStartRestart, RestartOfTheSessionOfThePair) {
    ZRKsessionid = 1234;
    ASSERT_EQ(0, Start({ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 1, kBoxA, 2, 0x2000})) << ZRKerrno;
    EXPECT_EQ(std::vector<std::string>({"show copy-sessions -volume-number 1 -mode 128",
                                        "start copy-quick-kzp -restart 5 "}),
              FromStart());
    EXPECT_EQ(1234, ZRKsessionid);
    EXPECT_TRUE(HasSession("session 5 quickkzp A1 1 A1 2 "));

    struct Case {
        const char *what;
        Call call;
        int error;
        std::vector<std::string> sent;
    } cases[] = {
        {"a KZP session is no QuickKZP session",
         {ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 3, kBoxA, 4, 0x2000}, 21,
         {"show copy-sessions -volume-number 3 -mode 128"}},
        {"no session of the pair", {ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 11, kBoxA, 12, 0x2000},
         21, {"show copy-sessions -volume-number 11 -mode 128"}},
        // The array refuses the restart; the pair's volumes are looked at,
        // not a volume named like the session.
        {"refused restart: the array's error",
         {ZRKIPStartQuickKZP, "10.0.0.5", kBoxA, 9, kBoxA, 10, 0x2000}, 0x15301,
         {"show copy-sessions -volume-number 9 -mode 128", "start copy-quick-kzp -restart 40 ",
          "show volumes  "}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(-1, Start(c.call)) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what << std::hex << " got 0x" << ZRKerrno;
        EXPECT_EQ(c.sent, FromStart()) << c.what;
    }
}

// ---- transport failures and replies the simulator does not give ------------------------

TEST_F(IpStartSim, TransportFailureOfTheStartIsNotDiagnosed) {
    // The capability and BoxID answers are cached by the first call.
    ASSERT_EQ(0, Start({ZRKIPStartVZ, "10.0.0.5", kBoxA, 1, kBoxA, 2}));
    Commands();
    sim.commandOk("lanreply 1 ERROR:\\sbroken");
    EXPECT_EQ(-1, Start({ZRKIPStartVZ, "10.0.0.5", kBoxA, 3, kBoxA, 4}));
    EXPECT_EQ(1905, ZRKerrno);
    EXPECT_EQ(1u, Commands().size());

    int port = 0;
    {
        iptest::FakeService gone;
        port = gone.port();
    }
    iptest::FakeService::usePort(root, port);
    EXPECT_EQ(-1, Start({ZRKIPStartVZ, "10.0.0.5", kBoxA, 3, kBoxA, 4}));
    EXPECT_EQ(1903, ZRKerrno);
    EXPECT_EQ(std::string::npos, root.traceText().find("ShowVolumes"));
}

// A stand-in array for replies the simulator never gives.
class IpStartScripted : public iptest::ServiceTest {
protected:
    void SetUp() override {
        iptest::LargeTrace(root);
        ServiceTest::SetUp();
    }
    // The prologue: copy functions (KZP family with QuickKZP and SnapKZP+,
    // VZ, RVZ) and the BoxID.
    void Prologue() {
        service.reply("00\n0F000001\t0\t00020001\t00FF0001\n10\t10\t10\t2\t40\n");
        service.reply("00\nBOXA\n");
    }
    static std::string Volume(int olu, int type) {
        std::vector<std::string> c(25, "0");
        char text[16];
        std::snprintf(text, sizeof text, "%X", olu);
        c[0] = text;
        c[1] = "v";
        c[3] = std::to_string(type);
        c[24] = "FF";
        std::string line;
        for (size_t i = 0; i < c.size(); ++i) line += (i == 0 ? "" : "\t") + c[i];
        return line;
    }
    static std::string SnapVolume(int olu, uint32_t status) {
        std::vector<std::string> c(12, "0");
        char text[16];
        std::snprintf(text, sizeof text, "%X", olu);
        c[0] = text;
        c[1] = "s";
        std::snprintf(text, sizeof text, "%X", status);
        c[11] = text;
        std::string line;
        for (size_t i = 0; i < c.size(); ++i) line += (i == 0 ? "" : "\t") + c[i];
        return line;
    }
    static std::string Rows(const std::vector<std::string> &lines) {
        std::string out = "00\n" + std::to_string(lines.size());
        for (const std::string &l : lines) out += "\n" + l;
        return out + "\n";
    }
};

TEST_F(IpStartScripted, VolumeListsThatNameAVolumeTwice) {
    const std::string boxA = std::string("BOXA") + std::string(36, '\0');
    const std::string boxB = std::string("BOXB") + std::string(36, '\0');
    struct Case {
        const char *what;
        Call call;
        std::vector<std::string> replies;   // after the refused start
        int error;
        const char *line;
    } cases[] = {
        {"local list", {ZRKIPStartVZ, "192.0.2.1", boxA, 1, boxA, 2},
         {Rows({Volume(1, 1), Volume(2, 1), Volume(1, 1)})}, 904, " uiVolCount is not 1 "},
        {"local list, same volume twice as destination",
         {ZRKIPStartQuickKZP, "192.0.2.2", boxA, 1, boxA, 2},
         {Rows({Volume(1, 1), Volume(2, 1), Volume(2, 4)})}, 904, " uiVolCount is not 1 "},
        {"one volume asked, two given", {ZRKIPStartVZ, "192.0.2.3", boxA, 1, boxB, 2},
         {Rows({Volume(1, 1), Volume(1, 1)})}, 904, " uiVolCount is not 1 "},
        {"snap data volume twice", {ZRKIPStartKZP, "192.0.2.4", boxA, 30, boxA, 2},
         {Rows({Volume(30, 4), Volume(2, 1)}),
          Rows({SnapVolume(30, 0x40000000), SnapVolume(30, 0)})},
         904, " uiSDVVolCount is not 1 "},
        {"the one volume of the same number", {ZRKIPStartVZ, "192.0.2.5", boxA, 7, boxA, 7, 0, 0,
                                               16, 32},
         {Rows({Volume(7, 1)})}, 0x15302, nullptr},
        {"the same number, a snap data volume",
         {ZRKIPStartVZ, "192.0.2.6", boxA, 7, boxA, 7, 0, 0, 16, 32}, {Rows({Volume(7, 4)})}, 68,
         nullptr},
    };
    for (const Case &c : cases) {
        Prologue();
        service.reply("01\n5302\nin use\n");
        for (const std::string &r : c.replies) service.reply(r);
        const size_t before = service.commands().size();
        EXPECT_EQ(-1, Start(c.call)) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        EXPECT_EQ(before + 3 + c.replies.size(), service.commands().size()) << c.what;
        if (c.line != nullptr) {
            EXPECT_NE(std::string::npos, root.traceText().find(c.line)) << c.what;
        }
    }
}

// A snap data volume listed more than once says nothing about the volume:
// the rows are counted whatever room the lookup has. The KZP diagnosis
// answers with a reply error for any count but one; the SnapKZP+ diagnosis
// keeps the start's own error.
TEST_F(IpStartScripted, SnapDataVolumeRowCounts) {
    const std::string boxA = std::string("BOXA") + std::string(36, '\0');
    auto rows = [](size_t n, uint32_t status) {
        return Rows(std::vector<std::string>(n, SnapVolume(30, status)));
    };
    const std::string kzpVolumes = Rows({Volume(30, 4), Volume(2, 1)});
    struct Case {
        const char *what;
        Call call;
        std::vector<std::string> replies;  // after the refused start
        int error;
        const char *line;
    } cases[] = {
        {"KZP: one row, being initialised", {ZRKIPStartKZP, "192.0.2.11", boxA, 30, boxA, 2},
         {kzpVolumes, rows(1, 0x40000000)}, 39, nullptr},
        {"KZP: one row, idle", {ZRKIPStartKZP, "192.0.2.12", boxA, 30, boxA, 2},
         {kzpVolumes, rows(1, 0)}, 0x15302, nullptr},
        {"KZP: no row", {ZRKIPStartKZP, "192.0.2.13", boxA, 30, boxA, 2},
         {kzpVolumes, rows(0, 0)}, 904, " uiSDVVolCount is not 1 "},
        {"KZP: three rows", {ZRKIPStartKZP, "192.0.2.14", boxA, 30, boxA, 2},
         {kzpVolumes, rows(3, 0x40000000)}, 904, " uiSDVVolCount is not 1 "},
        {"KZP: more rows than the lookup holds", {ZRKIPStartKZP, "192.0.2.15", boxA, 30, boxA, 2},
         {kzpVolumes, rows(9, 0x40000000)}, 904, " uiSDVVolCount is not 1 "},
        {"KZP: rows announced but missing", {ZRKIPStartKZP, "192.0.2.16", boxA, 30, boxA, 2},
         {kzpVolumes, "00\n9\n" + SnapVolume(30, 0) + "\n"}, 902, nullptr},
        {"SnapKZP+: one row, busy", {ZRKIPStartSnapKZP_p, "192.0.2.21", boxA, 1, boxA, 30},
         {rows(1, 0x20000000)}, 39, nullptr},
        {"SnapKZP+: one row, idle", {ZRKIPStartSnapKZP_p, "192.0.2.22", boxA, 1, boxA, 30},
         {rows(1, 0)}, 0x15302, nullptr},
        {"SnapKZP+: no row", {ZRKIPStartSnapKZP_p, "192.0.2.23", boxA, 1, boxA, 30},
         {rows(0, 0)}, 0x15302, nullptr},
        {"SnapKZP+: two busy rows", {ZRKIPStartSnapKZP_p, "192.0.2.24", boxA, 1, boxA, 30},
         {rows(2, 0x40000000)}, 0x15302, nullptr},
        {"SnapKZP+: more busy rows than the lookup holds",
         {ZRKIPStartSnapKZP_p, "192.0.2.25", boxA, 1, boxA, 30},
         {rows(9, 0x40000000)}, 0x15302, nullptr},
        {"SnapKZP+: rows announced but missing",
         {ZRKIPStartSnapKZP_p, "192.0.2.26", boxA, 1, boxA, 30},
         {"00\n2\n" + SnapVolume(30, 0x40000000) + "\n"}, 902, nullptr},
    };
    for (const Case &c : cases) {
        Prologue();
        service.reply("01\n5302\nin use\n");
        for (const std::string &r : c.replies) service.reply(r);
        const size_t before = service.commands().size();
        EXPECT_EQ(-1, Start(c.call)) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what << std::hex << " got 0x" << ZRKerrno;
        const std::vector<std::string> sent = service.commands();
        ASSERT_EQ(before + 3 + c.replies.size(), sent.size()) << c.what;
        EXPECT_EQ("show snap-data-volume -volume-number 30", sent.back()) << c.what;
        if (c.line != nullptr) {
            EXPECT_NE(std::string::npos, root.traceText().find(c.line)) << c.what;
        }
    }
}

// A refusal of one line is the array's refusal all the same: mapped, then
// diagnosed. A BoxID that the start command cannot carry is refused before
// anything is sent, and there is nothing to diagnose.
TEST_F(IpStartScripted, ShortRefusalsAndUnsendableRequests) {
    const std::string boxA = std::string("BOXA") + std::string(36, '\0');
    Prologue();
    service.reply("01");
    service.reply(Rows({Volume(1, 1), Volume(2, 1)}));
    EXPECT_EQ(-1, Start({ZRKIPStartVZ, "192.0.2.1", boxA, 1, boxA, 2}));
    EXPECT_EQ(904, ZRKerrno);
    const std::vector<std::string> sent = service.commands();
    ASSERT_EQ(4u, sent.size());
    EXPECT_EQ("show volumes  ", sent.back());

    const std::string quoted = std::string("BO\"B") + std::string(36, '\0');
    Prologue();
    EXPECT_EQ(-1, Start({ZRKIPStartVZ, "192.0.2.2", boxA, 1, quoted, 2}));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(6u, service.commands().size());
}

TEST_F(IpStartScripted, ReceiveFailureEndsTheCall) {
    const std::string boxA = std::string("BOXA") + std::string(36, '\0');
    Prologue();
    service.reply("ERROR: gone");
    EXPECT_EQ(-1, Start({ZRKIPStartKZP, "192.0.2.1", boxA, 1, boxA, 2}));
    EXPECT_EQ(1905, ZRKerrno);
    EXPECT_EQ(3u, service.commands().size());
}

}  // namespace
