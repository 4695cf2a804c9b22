// Change, resume and suspend of one VZ or RVZ session over the LAN, against
// the simulator's LAN front: the sessions found by copy pair and by session
// identifier, the command texts of the option combinations, the array's
// session state afterwards, the refusals before anything reaches the
// session (option words, identifiers, capabilities) and after the lookup
// (status, session kind), and the stack-timer refusal.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../../ip/iplink.h"
#include "child.h"
#include "ipaction_service.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "sim_client.h"
#include "zrkapi.h"

namespace {

using Fn = int (*)(ZRKIP_COPY_ARGS);

// A1 and B1 are fully equipped; each Cn lacks one capability.
std::string Scenario() {
    std::string s =
        "array A1 boxid=\"BOXA1\" address=10.0.0.5\n"
        "array B1 boxid=\"BOXB1\" address=10.0.0.6\n"
        "array C1 boxid=\"BOXC1\" address=10.0.0.21 support=" +
        iptest::SupportHex({{21, 0x43}}) +
        "\n"
        "array C2 boxid=\"BOXC2\" address=10.0.0.22 support=" +
        iptest::SupportHex({{29, 0xFB}}) +
        "\n"
        "array C3 boxid=\"BOXC3\" address=10.0.0.23 support=" +
        iptest::SupportHex({{29, 0xEF}}) +
        "\n"
        "array C4 boxid=\"BOXC4\" address=10.0.0.24 support=" +
        iptest::SupportHex({{30, 0x00}}) +
        "\n"
        "array C5 boxid=\"BOXC5\" address=10.0.0.25 support=" +
        iptest::SupportHex({{21, 0x4A}}) +
        "\n"
        "array C6 boxid=\"BOXC6\" address=10.0.0.26 support=" +
        iptest::SupportHex({{31, 0x00}}) +
        "\n"
        "array C7 boxid=\"BOXC7\" address=10.0.0.27 support=" +
        iptest::SupportHex({{29, 0xDF}}) +
        "\n"
        "user admin secret\n";
    for (const char *array : {"A1", "B1", "C1", "C4", "C5"}) {
        for (int olu = 1; olu <= 8; ++olu) {
            s += "volume " + std::string(array) + " " + std::to_string(olu) + " 4096\n";
        }
    }
    s += "session 1 vz A1 1 A1 2\n"
         "session 2 rvz A1 3 B1 3 partner=7 transfer=2\n"
         "session 3 rvz A1 4 B1 4 partner=8\n"
         "session 4 vz A1 5 A1 6 srcext=100 size=200 dstext=300 status=suspend\n"
         "session 1 vz C1 1 C1 2 status=suspend\n"
         "session 3 rvz C4 3 B1 5 transfer=2\n"
         "session 1 vz C5 1 C5 2\n";
    return s;
}

// Forwards every request to the simulator but answers the commands that
// begin with a chosen text itself: refusals the array model cannot make.
class Interceptor {
public:
    explicit Interceptor(int upstream) : upstream_(upstream) {}
    Interceptor(const Interceptor &) = delete;
    Interceptor &operator=(const Interceptor &) = delete;

    int port() const { return listener_.port(); }
    void answer(const std::string &prefix, const std::string &body) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_[prefix] = body;
    }

private:
    void Handle(int fd) {
        const std::string request = iptest::ReadMessage(fd, true, 3000);
        std::string reply;
        if (const std::optional<std::string> text = iptest::ProcText(request)) {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const auto &[prefix, body] : answers_) {
                if (text->rfind(prefix, 0) == 0) reply = std::to_string(body.size()) + "\t" + body;
            }
        }
        if (reply.empty()) reply = Forward(request);
        if (::write(fd, reply.data(), reply.size()) < 0) return;
    }

    std::string Forward(const std::string &request) const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(upstream_));
        std::string reply;
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
            ::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            reply = iptest::ReadMessage(fd, false, 3000);
        }
        if (fd >= 0) ::close(fd);
        return reply;
    }

    int upstream_;
    std::mutex mutex_;
    std::map<std::string, std::string> answers_;
    iptest::LoopbackListener listener_{[this](int fd) { Handle(fd); }};
};

class IpControlSim : public iptest::LanSimTest {
protected:
    IpControlSim()
        : LanSimTest(Scenario(), {"10.0.0.5", "10.0.0.6", "10.0.0.21", "10.0.0.22", "10.0.0.23",
                                  "10.0.0.24", "10.0.0.25", "10.0.0.26", "10.0.0.27"}) {}
    void SetUp() override {
        LanSimTest::SetUp();
        ZRKRVZ_stacktimer = 5;
    }

    // The command texts the arrays received since the last call.
    std::vector<std::string> Commands() const { return iptest::LanCommands(sim); }
    // The commands that acted on or looked for a session (not the
    // capability and BoxID questions that every call may ask first).
    std::vector<std::string> SessionCommands() const { return iptest::LanSessionCommands(sim); }
    std::string LastCommand() const {
        const std::vector<std::string> all = Commands();
        return all.empty() ? std::string() : all.back();
    }

    // The session line of the array, or "" when it is gone.
    std::string SessionLine(const std::string &array, unsigned id) const {
        const std::string head = "session " + std::to_string(id) + " ";
        for (const std::string &line : sim.sessions(array)) {
            if (line.rfind(head, 0) == 0) return line;
        }
        return {};
    }
    std::string Field(const std::string &array, unsigned id, const std::string &key) const {
        return iptest::SessionField(SessionLine(array, id), key);
    }
};

struct Pair {
    const char *ip;
    std::string src;
    uint32_t srcOlu;
    std::string dst;
    uint32_t dstOlu;
    uint32_t srcExt = 0, size = 0, dstExt = 0;
};

int ByPair(Fn fn, const Pair &p, uint32_t option, unsigned char *sense = nullptr) {
    const std::string src = iptest::PaddedBox(p.src), dst = iptest::PaddedBox(p.dst);
    return fn(p.ip, nullptr, src.c_str(), p.srcOlu, 0, p.srcExt, 0, p.size, dst.c_str(), p.dstOlu,
              0, p.dstExt, 255, option, sense);
}

// By identifier nothing but SrcOLU is read: the BoxIDs may be missing.
int ById(Fn fn, const char *ip, uint32_t id, uint32_t option, unsigned char *sense = nullptr) {
    return fn(ip, nullptr, nullptr, id, 7, 7, 7, 7, nullptr, 9, 9, 9, 255, option | 0x4, sense);
}

const Pair kVz{"10.0.0.5", "BOXA1", 1, "BOXA1", 2};
const Pair kRvz{"10.0.0.5", "BOXA1", 3, "BOXB1", 3};
const Pair kRvzAtDestination{"10.0.0.6", "BOXA1", 3, "BOXB1", 3};
const Pair kExtents{"10.0.0.5", "BOXA1", 5, "BOXA1", 6, 100, 200, 300};

TEST_F(IpControlSim, VzSessionByPairAndById) {
    unsigned char sense[ZRK_SENSE_LEN];
    std::memset(sense, 0xAA, sizeof sense);
    ASSERT_EQ(0, ByPair(ZRKIPSuspendVZ, kVz, 0, sense)) << ZRKerrno;
    EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'),
              std::string(reinterpret_cast<char *>(sense), sizeof sense));
    EXPECT_EQ("suspend copy-vz -session-id 1 -mode normal ", LastCommand());
    EXPECT_EQ("4", Field("A1", 1, "status"));

    ASSERT_EQ(0, ByPair(ZRKIPChangeVZ, kVz, 0x1000)) << ZRKerrno;
    EXPECT_EQ("change copy-vz -session-id 1 -action reverse ", LastCommand());
    EXPECT_EQ(0u, SessionLine("A1", 1).rfind("session 1 vz A1 2 A1 1 ", 0)) << SessionLine("A1", 1);

    // The pair is now the other way round.
    EXPECT_EQ(-1, ByPair(ZRKIPResumeVZ, kVz, 0));
    EXPECT_EQ(21, ZRKerrno);
    const Pair reversed{"10.0.0.5", "BOXA1", 2, "BOXA1", 1};
    ASSERT_EQ(0, ByPair(ZRKIPResumeVZ, reversed, 0)) << ZRKerrno;
    EXPECT_EQ("resume copy-vz -session-id 1 ", LastCommand());
    EXPECT_EQ("2", Field("A1", 1, "status"));

    sim.advanceClock(60);
    ASSERT_EQ(0, ById(ZRKIPSuspendVZ, "10.0.0.5", 1, 0)) << ZRKerrno;
    EXPECT_EQ("4", Field("A1", 1, "status"));
    ASSERT_EQ(0, ById(ZRKIPChangeVZ, "10.0.0.5", 1, 0x1000)) << ZRKerrno;
    EXPECT_EQ(0u, SessionLine("A1", 1).rfind("session 1 vz A1 1 A1 2 ", 0)) << SessionLine("A1", 1);
    ASSERT_EQ(0, ById(ZRKIPResumeVZ, "10.0.0.5", 1, 0)) << ZRKerrno;
    EXPECT_EQ("2", Field("A1", 1, "status"));

    // A pair with extents is found by its extents.
    ASSERT_EQ(0, ByPair(ZRKIPResumeVZ, kExtents, 0)) << ZRKerrno;
    EXPECT_EQ("resume copy-vz -session-id 4 ", LastCommand());
    Pair otherExtent = kExtents;
    otherExtent.dstExt = 301;
    EXPECT_EQ(-1, ByPair(ZRKIPSuspendVZ, otherExtent, 0));
    EXPECT_EQ(21, ZRKerrno);
}

TEST_F(IpControlSim, RvzSessionFromBothArrays) {
    ASSERT_EQ(0, ByPair(ZRKIPSuspendVZ, kRvz, 0)) << ZRKerrno;
    EXPECT_EQ("suspend copy-rvz -session-id 2   ", LastCommand());
    EXPECT_EQ("4", Field("A1", 2, "status"));

    ASSERT_EQ(0, ByPair(ZRKIPChangeVZ, kRvz, 0x20 | 0x100)) << ZRKerrno;
    EXPECT_EQ("change copy-rvz -session-id 2 -action change -xfer-mode 10 -split 1 -recovery 0",
              LastCommand());
    EXPECT_EQ("sync,split", Field("A1", 2, "mode"));

    ASSERT_EQ(0, ByPair(ZRKIPResumeVZ, kRvz, 0x80)) << ZRKerrno;
    EXPECT_EQ("resume copy-rvz -session-id 2 -remain-mode enable", LastCommand());
    EXPECT_EQ("2", Field("A1", 2, "status"));
    sim.advanceClock(60);

    // The destination array knows the session by its second identifier.
    ASSERT_EQ(0, ByPair(ZRKIPSuspendVZ, kRvzAtDestination, 0x2)) << ZRKerrno;
    EXPECT_EQ("suspend copy-rvz -session-id 7 -mode force  ", LastCommand());
    EXPECT_EQ("4", Field("A1", 2, "status"));
    ASSERT_EQ(0, ById(ZRKIPResumeVZ, "10.0.0.6", 7, 0)) << ZRKerrno;
    EXPECT_EQ("resume copy-rvz -session-id 7 ", LastCommand());
    EXPECT_EQ("2", Field("A1", 2, "status"));
    sim.advanceClock(60);
    ASSERT_EQ(0, ById(ZRKIPSuspendVZ, "10.0.0.5", 2, 0)) << ZRKerrno;
    ASSERT_EQ(0, ById(ZRKIPChangeVZ, "10.0.0.6", 7, 0x1000)) << ZRKerrno;
    EXPECT_EQ("change copy-rvz -session-id 7 -action reverse   ", LastCommand());
    // Reversed: B1 is the source now.
    EXPECT_EQ(0u, SessionLine("B1", 7).rfind("session 7 vz B1 3 A1 3 ", 0)) << SessionLine("B1", 7);
}

// Every option combination that reaches the array, with its exact text.
TEST_F(IpControlSim, CommandTexts) {
    struct Case {
        Fn fn;
        unsigned id;  // session on A1, by identifier
        uint32_t option;
        const char *before;  // its state before the call
        const char *text;
    } cases[] = {
        {ZRKIPChangeVZ, 4, 0x1000, "status=4", "change copy-vz -session-id 4 -action reverse "},
        {ZRKIPChangeVZ, 3, 0x20 | 0x100, "status=4",
         "change copy-rvz -session-id 3 -action change -xfer-mode 10 -split 1 -recovery 0"},
        {ZRKIPChangeVZ, 3, 0x20, "status=4",
         "change copy-rvz -session-id 3 -action change -xfer-mode 10 -split 0 -recovery 0"},
        {ZRKIPChangeVZ, 3, 0, "status=4",
         "change copy-rvz -session-id 3 -action change -xfer-mode 00  -recovery 0"},
        {ZRKIPChangeVZ, 3, 0x400 | 0x200, "status=4",
         "change copy-rvz -session-id 3 -action change -xfer-mode 02  -recovery 1"},
        {ZRKIPChangeVZ, 3, 0x800, "status=4",
         "change copy-rvz -session-id 3 -action change -xfer-mode 03  -recovery 0"},
        {ZRKIPResumeVZ, 4, 0, "status=4", "resume copy-vz -session-id 4 "},
        {ZRKIPResumeVZ, 3, 0, "status=4", "resume copy-rvz -session-id 3 "},
        {ZRKIPResumeVZ, 3, 0x80, "status=4", "resume copy-rvz -session-id 3 -remain-mode enable"},
        // The stack timer means nothing to a VZ session.
        {ZRKIPSuspendVZ, 1, 0x100000, "status=2 phase=2",
         "suspend copy-vz -session-id 1 -mode normal "},
        {ZRKIPSuspendVZ, 3, 0, "status=2 phase=2", "suspend copy-rvz -session-id 3   "},
        {ZRKIPSuspendVZ, 3, 0x2, "status=2 phase=1",
         "suspend copy-rvz -session-id 3 -mode force  "},
        {ZRKIPSuspendVZ, 2, 0x100000, "status=2 phase=2",
         "suspend copy-rvz -session-id 2   -timer 9"},
        {ZRKIPChangeVZ, 3, 0x1000, "status=4", "change copy-rvz -session-id 3 -action reverse   "},
    };
    ZRKRVZ_stacktimer = 9;
    for (const Case &c : cases) {
        sim.setSession("A1", c.id, c.before);
        Commands();
        EXPECT_EQ(0, ById(c.fn, "10.0.0.5", c.id, c.option)) << c.text << " " << ZRKerrno;
        EXPECT_EQ(c.text, LastCommand());
    }
    EXPECT_EQ("9", Field("A1", 2, "stacktimer"));
}

// Status and session-kind refusals come after the lookup and send nothing.
TEST_F(IpControlSim, RefusedAfterTheLookup) {
    struct Case {
        const char *what;
        Fn fn;
        bool byId;
        uint32_t option;
        const Pair *pair;
        unsigned id;
        int error;
    } cases[] = {
        {"resume of an active session", ZRKIPResumeVZ, false, 0, &kVz, 1, 39},
        {"change of an active session", ZRKIPChangeVZ, true, 0x1000, &kVz, 1, 39},
        {"suspend of a suspended session", ZRKIPSuspendVZ, false, 0, &kExtents, 4, 39},
        {"suspend of a suspended session by id", ZRKIPSuspendVZ, true, 0, &kExtents, 4, 39},
        {"resume of an active RVZ session", ZRKIPResumeVZ, true, 0x80, &kRvz, 2, 39},
        {"VZ change other than a reverse", ZRKIPChangeVZ, false, 0x200, &kExtents, 4, 37},
        {"VZ change without an action", ZRKIPChangeVZ, true, 0, &kExtents, 4, 37},
        {"VZ resume in remain mode", ZRKIPResumeVZ, true, 0x80, &kExtents, 4, 37},
        {"VZ forced suspend", ZRKIPSuspendVZ, true, 0x2, &kVz, 1, 37},
        {"no such pair", ZRKIPSuspendVZ, false, 0, &kExtents, 0, 21},
    };
    Pair missing{"10.0.0.5", "BOXA1", 7, "BOXA1", 8};
    for (const Case &c : cases) {
        const Pair &pair = c.id == 0 ? missing : *c.pair;
        const int ret =
            c.byId ? ById(c.fn, "10.0.0.5", c.id, c.option) : ByPair(c.fn, pair, c.option);
        EXPECT_EQ(-1, ret) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        const std::vector<std::string> sent = SessionCommands();
        ASSERT_EQ(1u, sent.size()) << c.what;
        EXPECT_EQ(0u, sent[0].rfind("show copy-sessions ", 0)) << c.what << ": " << sent[0];
    }
    EXPECT_EQ("2", Field("A1", 1, "status"));
    EXPECT_EQ("4", Field("A1", 4, "status"));
}

// Option words and identifiers are refused before any session is looked up.
TEST_F(IpControlSim, RefusedBeforeTheLookup) {
    struct Case {
        const char *what;
        Fn fn;
        bool byId;
        uint32_t option;
        uint32_t id;
        int error;
    } cases[] = {
        {"reverse with sync", ZRKIPChangeVZ, false, 0x1000 | 0x20, 0, 37},
        {"reverse with split", ZRKIPChangeVZ, true, 0x1000 | 0x100 | 0x20, 1, 37},
        {"reverse with recovery", ZRKIPChangeVZ, false, 0x1000 | 0x200, 0, 37},
        {"reverse with stack", ZRKIPChangeVZ, true, 0x1000 | 0x400, 1, 37},
        {"reverse with consistency", ZRKIPChangeVZ, false, 0x1000 | 0x800, 0, 37},
        {"sync with stack", ZRKIPChangeVZ, false, 0x20 | 0x400, 0, 37},
        {"sync with consistency", ZRKIPChangeVZ, true, 0x20 | 0x800, 1, 37},
        {"split without sync", ZRKIPChangeVZ, false, 0x100, 0, 37},
        {"stack with consistency", ZRKIPChangeVZ, true, 0x400 | 0x800, 1, 37},
        {"change outside its mask", ZRKIPChangeVZ, false, 0x2, 0, 37},
        {"resume outside its mask", ZRKIPResumeVZ, false, 0x2, 0, 37},
        {"suspend outside its mask", ZRKIPSuspendVZ, true, 0x10, 1, 37},
        {"suspend outside its mask (remain)", ZRKIPSuspendVZ, false, 0x80, 0, 37},
        {"remain mode for a local pair", ZRKIPResumeVZ, false, 0x80, 0, 37},
        {"forced suspend of a local pair", ZRKIPSuspendVZ, false, 0x2, 0, 37},
        {"identifier above 16 bits", ZRKIPSuspendVZ, true, 0, 0x10000, 55},
        {"identifier above 16 bits", ZRKIPResumeVZ, true, 0, 0x10000, 55},
        {"identifier above 16 bits", ZRKIPChangeVZ, true, 0x1000, 0xFFFFFFFF, 55},
    };
    for (const Case &c : cases) {
        const int ret =
            c.byId ? ById(c.fn, "10.0.0.5", c.id, c.option) : ByPair(c.fn, kVz, c.option);
        EXPECT_EQ(-1, ret) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        EXPECT_TRUE(SessionCommands().empty()) << c.what;
    }
    // The largest identifier is looked up.
    EXPECT_EQ(-1, ById(ZRKIPSuspendVZ, "10.0.0.5", 0xFFFF, 0));
    EXPECT_EQ(21, ZRKerrno);
    const std::vector<std::string> sent = SessionCommands();
    ASSERT_EQ(1u, sent.size());
    EXPECT_NE(std::string::npos, sent[0].find("-session-id 65535")) << sent[0];
    // A local pair on one volume is refused by the copy-argument check.
    EXPECT_EQ(-1, ByPair(ZRKIPSuspendVZ, Pair{"10.0.0.5", "BOXA1", 1, "BOXA1", 1}, 0));
    EXPECT_EQ(48, ZRKerrno);
    // A pair of other arrays.
    EXPECT_EQ(-1, ByPair(ZRKIPSuspendVZ, Pair{"10.0.0.5", "BOXB1", 1, "BOXB1", 2}, 0));
    EXPECT_EQ(33, ZRKerrno);
    EXPECT_EQ(-1, ByPair(ZRKIPSuspendVZ, Pair{"10.0.0.5", "BOXB1", 1, "BOXC1", 2}, 0));
    EXPECT_EQ(57, ZRKerrno);
    EXPECT_TRUE(SessionCommands().empty());
}

// Each array lacks one capability; the call fails with 17 and sends no
// session command, or, by identifier, after the lookup when only the kind
// of the found session tells what is needed.
TEST_F(IpControlSim, CapabilityGates) {
    struct Case {
        const char *what;
        Fn fn;
        Pair pair;
        bool byId;
        uint32_t option;
        bool lookedUp;  // refused after the lookup
    } cases[] = {
        {"local reverse without VZ reverse",
         ZRKIPChangeVZ,
         {"10.0.0.21", "BOXC1", 1, "BOXC1", 2},
         false,
         0x1000,
         false},
        {"reverse by id of a VZ session without VZ reverse",
         ZRKIPChangeVZ,
         {"10.0.0.21", "", 1, "", 0},
         true,
         0x1000,
         true},
        {"RVZ mode change without mode change",
         ZRKIPChangeVZ,
         {"10.0.0.22", "BOXC2", 1, "BOXB1", 1},
         false,
         0,
         false},
        {"mode change by id without mode change",
         ZRKIPChangeVZ,
         {"10.0.0.22", "", 1, "", 0},
         true,
         0x20,
         false},
        {"stack transfer without stack mode",
         ZRKIPChangeVZ,
         {"10.0.0.23", "BOXC3", 1, "BOXB1", 1},
         false,
         0x400,
         false},
        {"consistency transfer without consistency mode",
         ZRKIPChangeVZ,
         {"10.0.0.27", "BOXC7", 1, "BOXB1", 1},
         true,
         0x800,
         false},
        {"RVZ suspend with the timer but no timer",
         ZRKIPSuspendVZ,
         {"10.0.0.24", "BOXC4", 3, "BOXB1", 5},
         false,
         0x100000,
         false},
        {"local suspend without VZ suspend",
         ZRKIPSuspendVZ,
         {"10.0.0.25", "BOXC5", 1, "BOXC5", 2},
         false,
         0,
         false},
        {"local resume without VZ resume",
         ZRKIPResumeVZ,
         {"10.0.0.25", "BOXC5", 1, "BOXC5", 2},
         false,
         0,
         false},
        {"suspend by id of a VZ session without VZ suspend",
         ZRKIPSuspendVZ,
         {"10.0.0.25", "", 1, "", 0},
         true,
         0,
         true},
        {"RVZ suspend without RVZ",
         ZRKIPSuspendVZ,
         {"10.0.0.26", "BOXC6", 1, "BOXB1", 1},
         false,
         0,
         false},
    };
    for (const Case &c : cases) {
        const int ret = c.byId ? ById(c.fn, c.pair.ip, c.pair.srcOlu, c.option)
                               : ByPair(c.fn, c.pair, c.option);
        EXPECT_EQ(-1, ret) << c.what;
        EXPECT_EQ(17, ZRKerrno) << c.what;
        const std::vector<std::string> sent = SessionCommands();
        if (c.lookedUp) {
            ASSERT_EQ(1u, sent.size()) << c.what;
            EXPECT_EQ(0u, sent[0].rfind("show copy-sessions ", 0)) << c.what;
        } else {
            EXPECT_TRUE(sent.empty()) << c.what << ": " << sent.front();
        }
    }
    // By identifier the timer is the array's to refuse.
    EXPECT_EQ(-1, ById(ZRKIPSuspendVZ, "10.0.0.24", 3, 0x100000));
    EXPECT_EQ(0x15300, ZRKerrno);
    EXPECT_EQ("suspend copy-rvz -session-id 3   -timer 5", LastCommand());
}

TEST_F(IpControlSim, StackTimerRefusal) {
    // Session 3 is not in stack or consistency transfer: the array refuses
    // the timer, which the caller learns as its own code.
    const Pair pair{"10.0.0.5", "BOXA1", 4, "BOXB1", 4};
    EXPECT_EQ(-1, ByPair(ZRKIPSuspendVZ, pair, 0x100000));
    EXPECT_EQ(0x20002, ZRKerrno);
    EXPECT_EQ("suspend copy-rvz -session-id 3   -timer 5", LastCommand());
    EXPECT_EQ("2", Field("A1", 3, "status"));

    // The same refusal of a suspend without the timer keeps the array's code.
    Interceptor interceptor(sim.lanPort());
    interceptor.answer("suspend copy-rvz", "01\n5310\nrefused\n");
    iptest::FakeService::usePort(root, interceptor.port());
    EXPECT_EQ(-1, ByPair(ZRKIPSuspendVZ, pair, 0));
    EXPECT_EQ(0x15310, ZRKerrno);
    EXPECT_EQ(-1, ByPair(ZRKIPSuspendVZ, pair, 0x2));
    EXPECT_EQ(0x15310, ZRKerrno);
    EXPECT_EQ(-1, ById(ZRKIPSuspendVZ, "10.0.0.5", 3, 0x100000));
    EXPECT_EQ(0x20002, ZRKerrno);
    // Another refusal with the timer is passed on as it is.
    interceptor.answer("suspend copy-rvz", "01\n5301\nrefused\n");
    EXPECT_EQ(-1, ByPair(ZRKIPSuspendVZ, pair, 0x100000));
    EXPECT_EQ(0x15301, ZRKerrno);
}

TEST_F(IpControlSim, CallsAreTraced) {
    ASSERT_EQ(0, ByPair(ZRKIPSuspendVZ, kRvz, 0)) << ZRKerrno;
    EXPECT_EQ(-1, ById(ZRKIPResumeVZ, "10.0.0.5", 1, 0));
    EXPECT_EQ(-1, ByPair(ZRKIPChangeVZ, kVz, 0x100));
    const std::string trace = root.traceText();
    for (const char *line : {
             "ZRKIPSuspendVZ : START",
             "ZRKIPSuspendVZ : IPaddress=10.0.0.5, CopyInterval=255, OptionFlag=0x00",
             "ZRKIPSuspendVZ : SrcBoxID=BOXA1",
             "IPComInfoCheckSet : cpIPaddress=[10.0.0.5] OptionFlag=0x00, OptionMask=0x100006",
             "IPSuspendTvc : START",
             "IPSuspendTvc : IPaddress=10.0.0.5, OptionFlag=0x00",
             "IPSuspendTvc : END(ret=0, ZRKerrno=0)",
             "ZRKIPSuspendVZ : END(ret=0, ZRKerrno=0)",
             "IPResumeTvc : IPaddress=10.0.0.5, OptionFlag=0x04",
             "IPResumeTvc : END(ret=-1, ZRKerrno=39)",
             "ZRKIPResumeVZ : END(ret=-1, ZRKerrno=39)",
             "ZRKIPChangeVZ : END(ret=-1, ZRKerrno=37)",
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
    // The change was refused before its internal function.
    EXPECT_EQ(std::string::npos, trace.find("IPChangeTvc")) << "IPChangeTvc traced";
}

TEST_F(IpControlSim, RootOnly) {
    const zrktest::ChildResult child = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 99;
        int failures = 0;
        for (Fn fn : {ZRKIPChangeVZ, ZRKIPResumeVZ, ZRKIPSuspendVZ}) {
            if (ById(fn, "10.0.0.5", 1, 0) != -1 || ZRKerrno != 34) ++failures;
        }
        return failures;
    });
    EXPECT_EQ(0, child.exitCode) << child.err;
    EXPECT_TRUE(SessionCommands().empty());
    EXPECT_EQ("2", Field("A1", 1, "status"));
}

}  // namespace
