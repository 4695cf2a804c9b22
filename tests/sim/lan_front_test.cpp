// The LAN interface management service from the service's side: requests
// built by hand over a raw TCP connection, the framing both ways, the login
// state per array address, the scrambling, the service's own commands, and
// the scripted replies and request log of the control interface.
#include "lan_helpers.h"

#include <gtest/gtest.h>

using namespace lantest;
using zrksim::Simulator;

namespace {

const char *const kScenario = R"(
array A1 boxid="BOX-A1" address=10.0.0.5,fe80::1
volume A1 1 100000
volume A1 2 100000
array B1 boxid="BOX-B1" address=10.0.0.6
volume B1 1 100000
user admin secret
user guest "pw with blanks"
)";

TEST(SimLanFront, ReadsExactlyTheAnnouncedCount) {
    Simulator sim(kScenario, true);
    int port = sim.lanPort();
    // "close" announces one byte less than it sends: the service reads the
    // count and answers; the last TAB is never needed.
    std::string closeText = "17\t10.0.0.5\t\tclose\t\t\t";
    ASSERT_EQ(closeText.size() - 3, 18u);
    EXPECT_EQ(ask(port, closeText), "true");
    EXPECT_EQ(ask(port, "24\t10.0.0.5\t\tforce_close\t\t\t"), "true");
    // A request split over several writes and a request whose count covers
    // only part of a longer text: the service reads what the count says.
    int fd = connectTo(port);
    ASSERT_GE(fd, 0);
    std::string login = request("10.0.0.5", "", "open", "admin", "secret", "");
    for (char c : login) ASSERT_EQ(send(fd, &c, 1, MSG_NOSIGNAL), 1);
    std::string got;
    char buf[64];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;) got.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    EXPECT_EQ(got, "4\ttrue");
    std::string cut = proc("10.0.0.5", "zrkcipservice_alive");
    std::string longer = proc("10.0.0.5", "zrkcipservice_aliveXYZ");
    EXPECT_EQ(ask(port, std::to_string(cut.size() - cut.find('\t') - 1) + longer.substr(longer.find('\t'))), "true");
}

TEST(SimLanFront, MalformedOrCutRequestsGetNoReply) {
    Simulator sim(kScenario, true);
    int port = sim.lanPort();
    struct Case {
        const char *name;
        std::string bytes;
    };
    // clang-format off
    const Case cases[] = {
        {"letter in the count", "1a\t10.0.0.5\t\tclose\t\t\t"},
        {"TAB first", "\t10.0.0.5\t\tclose\t\t\t"},
        {"eleven digits without TAB", "12345678901"},
        {"count zero", "0\t"},
        {"sign", "+5\tabcde"},
        {"body shorter than the count", "50\t10.0.0.5\t\tclose\t\t\t"},
        {"no TAB at all", "17"},
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(roundTrip(port, c.bytes, true), "") << c.name;
    // Every one of them is in the log, byte for byte.
    std::vector<std::string> log = sim.commandOk("lanlog hex");
    ASSERT_EQ(log.size(), std::size(cases));
    for (std::size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i], zrksim::toHex({cases[i].bytes.begin(), cases[i].bytes.end()})) << cases[i].name;
    // The service still works afterwards.
    EXPECT_EQ(ask(port, proc("", "zrkcipservice_alive")), "true");
}

TEST(SimLanFront, LoginStateIsKeptPerAddress) {
    Simulator sim(kScenario, true);
    int port = sim.lanPort();
    const std::string show = "stop copy-session -session-id 1";
    // Not logged in: the reply begins with "ERROR:".
    EXPECT_EQ(ask(port, proc("10.0.0.5", show)).rfind("ERROR:", 0), 0u);
    struct Case {
        const char *host, *account, *password, *answer;
    };
    // clang-format off
    const Case logins[] = {
        {"10.0.0.5", "admin", "wrong", "false"},
        {"10.0.0.5", "nobody", "secret", "false"},
        {"10.0.0.9", "admin", "secret", "false"}, // no array there
        {"10.0.0.5", "admin", "secret", "true"},
        {"fe80::1", "guest", "pw with blanks", "true"},
    };
    // clang-format on
    for (const Case &c : logins) EXPECT_EQ(ask(port, open(c.host, c.account, c.password)), c.answer) << c.host;
    EXPECT_EQ(sim.commandOk("lanlogins"), (std::vector<std::string>{"10.0.0.5 admin", "fe80::1 guest"}));
    // Logged in: the array answers (an unknown session is an array error).
    EXPECT_EQ(ask(port, proc("10.0.0.5", show)).substr(0, 3), "01\n");
    // The other array's address is not logged in.
    EXPECT_EQ(ask(port, proc("10.0.0.6", show)).rfind("ERROR:", 0), 0u);
    EXPECT_EQ(ask(port, request("10.0.0.5", "", "close", "", "", "", 17)), "true");
    EXPECT_EQ(ask(port, proc("10.0.0.5", show)).rfind("ERROR:", 0), 0u);
    EXPECT_EQ(sim.commandOk("lanlogins"), (std::vector<std::string>{"fe80::1 guest"}));
    EXPECT_EQ(ask(port, request("fe80::1", ":2222", "force_close", "", "", "", 27)), "true");
    EXPECT_TRUE(sim.commandOk("lanlogins").empty());
    EXPECT_EQ(ask(port, request("10.0.0.5", "", "dance", "", "", "")).rfind("ERROR:", 0), 0u);
}

TEST(SimLanFront, EncryptAndDecryptAreReversible) {
    Simulator sim(kScenario, true);
    int port = sim.lanPort();
    // clang-format off
    const std::string texts[] = {
        "a",
        "admin",
        "secret",
        "pw with blanks",
        std::string("tab\there\nline\rcr"),
        std::string("\x01\x7f\x80\xff", 4),
        std::string(127, 'x'),
        std::string(127, '\xff'),
    };
    // clang-format on
    for (const std::string &t : texts) {
        std::string enc = ask(port, scramble("encrypt", t));
        EXPECT_LE(enc.size(), 255u) << t;
        EXPECT_EQ(enc.find_first_of(std::string("\t\n\0", 3)), std::string::npos) << t;
        EXPECT_NE(enc, t);
        EXPECT_EQ(ask(port, scramble("decrypt", enc)), t);
    }
    // Different texts scramble differently; the same text the same way.
    EXPECT_NE(ask(port, scramble("encrypt", "ab")), ask(port, scramble("encrypt", "ba")));
    EXPECT_EQ(ask(port, scramble("encrypt", "ab")), ask(port, scramble("encrypt", "ab")));
    // What cannot be transformed is an error reply.
    for (const std::string &bad : {std::string(128, 'x'), std::string("")})
        EXPECT_EQ(ask(port, scramble("encrypt", bad)).rfind("ERROR:", 0), 0u) << bad.size();
    for (const char *bad : {"", "Z0", "ZGG", "abc", "Z"})
        EXPECT_EQ(ask(port, scramble("decrypt", bad)).rfind("ERROR:", 0), 0u) << bad;
}

TEST(SimLanFront, AliveAndStop) {
    Simulator sim(kScenario, true);
    int port = sim.lanPort();
    EXPECT_EQ(ask(port, proc("", "zrkcipservice_alive")), "true");
    EXPECT_EQ(ask(port, proc("", "zrkcipservice_other")).rfind("ERROR:", 0), 0u);
    EXPECT_EQ(ask(port, proc("10.0.0.5", "zrkcipservice_stop")), "true");
    EXPECT_EQ(connectTo(port), -1);
    // The daemon itself goes on.
    sim.ping();
    EXPECT_EQ(sim.lanPort(), port);
}

TEST(SimLanFront, NoLanFrontWithoutTheOption) {
    Simulator sim(kScenario);
    EXPECT_FALSE(sim.command("lanport").ok);
}

TEST(SimLanFront, ScriptedReplies) {
    Simulator sim(kScenario, true);
    int port = sim.lanPort();
    const std::string alive = proc("", "zrkcipservice_alive");
    sim.commandOk("lanreply 2 01\\n9403\\n");
    sim.commandOk("lanraw 1 0\\t");
    sim.commandOk("landrop 1 bytes=3");
    sim.commandOk("landrop 1");
    sim.commandOk("lanreply 1 two\\swords\\tand\\x41");
    EXPECT_EQ(sim.faults().size(), 5u);
    EXPECT_EQ(roundTrip(port, alive), "8\t01\n9403\n");
    EXPECT_EQ(roundTrip(port, alive), "8\t01\n9403\n");
    EXPECT_EQ(roundTrip(port, alive), "0\t");
    // Cut replies: three bytes, then the header and half the body.
    EXPECT_EQ(roundTrip(port, scramble("encrypt", "abc")), "7\tZ");
    EXPECT_EQ(roundTrip(port, alive), "4\ttr");
    EXPECT_EQ(roundTrip(port, alive), "14\ttwo words\tandA");
    EXPECT_EQ(roundTrip(port, alive), "4\ttrue");
    // A scripted reply replaces the request: an "open" answered by it logs
    // nothing in.
    sim.commandOk("lanreply 1 true");
    EXPECT_EQ(ask(port, open("10.0.0.5", "admin", "wrong")), "true");
    EXPECT_TRUE(sim.commandOk("lanlogins").empty());
    // A delayed reply still comes whole; clearfaults drops what is pending.
    sim.commandOk("landelay 1 20");
    EXPECT_EQ(roundTrip(port, alive), "4\ttrue");
    sim.commandOk("lanreply 5 x");
    sim.commandOk("landelay 5 10");
    sim.clearFaults();
    EXPECT_TRUE(sim.faults().empty());
    EXPECT_EQ(roundTrip(port, alive), "4\ttrue");
    EXPECT_FALSE(sim.command("landrop 1 cut=3").ok);
    EXPECT_FALSE(sim.command("lanreply x y").ok);
    EXPECT_FALSE(sim.command("lanreply 1 bad\\q").ok);
}

TEST(SimLanFront, RequestLogByteForByte) {
    Simulator sim(kScenario, true);
    int port = sim.lanPort();
    std::string a = open("10.0.0.5", "admin", "secret");
    std::string b = scramble("encrypt", std::string("\\ \x01\xff", 4));
    ask(port, a);
    ask(port, b);
    EXPECT_EQ(sim.commandOk("lanlog"),
              (std::vector<std::string>{"28\\t10.0.0.5\\t\\topen\\tadmin\\tsecret\\t",
                                        "16\\t\\t\\tencrypt\\t\\t\\t\\\\ \\x01\\xff"}));
    EXPECT_EQ(sim.commandOk("lanlog hex"),
              (std::vector<std::string>{zrksim::toHex({a.begin(), a.end()}), zrksim::toHex({b.begin(), b.end()})}));
    sim.commandOk("clearlanlog");
    EXPECT_TRUE(sim.commandOk("lanlog").empty());
}

TEST(SimLanFront, LoadDropsLoginsLogAndScriptedReplies) {
    Simulator sim(kScenario, true);
    int port = sim.lanPort();
    EXPECT_EQ(ask(port, open("10.0.0.5", "admin", "secret")), "true");
    sim.commandOk("lanreply 3 x");
    sim.load(kScenario);
    EXPECT_TRUE(sim.commandOk("lanlogins").empty());
    EXPECT_TRUE(sim.commandOk("lanlog").empty());
    EXPECT_TRUE(sim.faults().empty());
    EXPECT_EQ(sim.lanPort(), port);
    EXPECT_EQ(ask(port, proc("10.0.0.5", "stop copy-session -session-id 1")).rfind("ERROR:", 0), 0u);
}

TEST(SimLanFront, ScenarioAddressesAndUsers) {
    struct Case {
        const char *text;
        bool valid;
    };
    // clang-format off
    const Case cases[] = {
        {"array A boxid=A address=10.0.0.1\n", true},
        {"array A boxid=A address=10.0.0.1\narray B boxid=B address=10.0.0.1\n", false},
        {"user admin\n", false},
        {"user admin pw extra\n", false},
        {"user admin pw\n", true},
    };
    // clang-format on
    for (const Case &c : cases) EXPECT_EQ(zrksim::checkScenario(c.text).empty(), c.valid) << c.text;
}

}  // namespace
