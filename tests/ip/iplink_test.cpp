// The LAN service client against a scripted stand-in on loopback TCP: exact
// request bytes, reply framing, judgement of each operation, the automatic
// logout, time-outs and the refusals made before any connection.
#include "child.h"
#include "install_root.h"
#include "ipaction_service.h"
#include "../../ip/iplink.h"
#include "platform.h"
#include "sim_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// What the stand-in does with one connection after reading the request.
struct Step {
    enum Kind { Reply, Reset, Hang, Trickle } kind = Reply;
    std::string bytes;      // raw bytes sent back (framing included), Reset aside
    int delayMs = 0;        // pause before answering; for Trickle, before every byte
};

Step framed(const std::string &body) {
    return Step {Step::Reply, std::to_string(body.size()) + "\t" + body, 0};
}
Step raw(const std::string &bytes) { return Step {Step::Reply, bytes, 0}; }

class StandIn {
public:
    explicit StandIn(std::vector<Step> steps) : steps_(std::move(steps)) {}
    // A connection held by a Hang step lets go first.
    ~StandIn() { stop_ = true; }
    int port() const { return listener_.port(); }
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void serve(int fd) {
        std::string request = readRequest(fd);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        Step step = next_ < steps_.size() ? steps_[next_] : framed("00");
        ++next_;
        if (step.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(step.delayMs));
        if (step.kind == Step::Reset) {
            linger l {1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        } else if (step.kind == Step::Hang) {
            // Send what there is, then hold the connection until the client
            // gives up.
            ::send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL);
            char c;
            while (!stop_) {
                pollfd q {fd, POLLIN, 0};
                if (::poll(&q, 1, 50) > 0 && ::recv(fd, &c, 1, 0) <= 0) break;
            }
        } else if (step.kind == Step::Trickle) {
            // One byte at a time until all are sent or the client is gone.
            for (size_t i = 0; i < step.bytes.size() && !stop_; ++i) {
                if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(step.delayMs));
                if (::send(fd, step.bytes.data() + i, 1, MSG_NOSIGNAL) != 1) break;
            }
        } else if (!step.bytes.empty()) {
            ::send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL);
        }
    }
    // Everything the client sends until it pauses for a reply.
    static std::string readRequest(int fd) {
        std::string out;
        char buf[8192];
        for (;;) {
            pollfd q {fd, POLLIN, 0};
            if (::poll(&q, 1, out.empty() ? 2000 : 150) <= 0) break;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }

    std::vector<Step> steps_;
    size_t next_ = 0;
    std::atomic<bool> stop_ {false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    iptest::LoopbackListener listener_{[this](int fd) { serve(fd); }};
};

// The installed properties with the connection settings replaced.
void setConnection(const zrktest::InstallRoot &root, const std::string &lines) {
    std::istringstream in(zrktest::readFile(root.etc() + "/zrkc.ini"));
    std::string kept;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("ssh_", 0) == 0) continue;
        kept += line + "\n";
    }
    root.writeProperties(kept + lines);
}

void usePort(const zrktest::InstallRoot &root, int port) {
    setConnection(root, "ssh_port_number=" + std::to_string(port) + "\n");
}

// A port on which nothing listens.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

std::string built(IPOperation op, const char *host, const char *port, const char *account,
                  const char *password, const char *text, int *rc = nullptr) {
    char *request = nullptr;
    size_t length = 0;
    int r = IPBuildRequest(op, host, port, account, password, text, &request, &length);
    if (rc != nullptr) *rc = r;
    std::string out = request != nullptr ? std::string(request, length) : std::string();
    std::free(request);
    return out;
}

// ---- request text -----------------------------------------------------------

TEST(IpRequest, ExactBytesOfEachOperation) {
    struct Case {
        IPOperation op;
        const char *host, *port, *account, *password, *text;
        std::string expected;
    } cases[] = {
        {IP_OP_CLOSE, "10.0.0.5", "", nullptr, nullptr, nullptr,
         std::string("17\t10.0.0.5\t\tclose\t\t\t")},
        {IP_OP_FORCE_CLOSE, "10.0.0.5", "", nullptr, nullptr, nullptr,
         std::string("23\t10.0.0.5\t\tforce_close\t\t\t")},
        {IP_OP_OPEN, "10.0.0.5", ":22", "admin", "pw", nullptr,
         std::string("27\t10.0.0.5\t:22\topen\tadmin\tpw\t")},
        {IP_OP_PROC, "fe80::1", ":2222", nullptr, nullptr, "show copy-sessions",
         std::string("39\tfe80::1\t:2222\tproc\t\t\tshow copy-sessions")},
        {IP_OP_ENCRYPT, "ignored", "x", nullptr, nullptr, "secret",
         std::string("18\t\t\tencrypt\t\t\tsecret")},
        {IP_OP_DECRYPT, nullptr, nullptr, nullptr, nullptr, "ab12",
         std::string("16\t\t\tdecrypt\t\t\tab12")},
    };
    for (const Case &c : cases) {
        int rc = -1;
        EXPECT_EQ(built(c.op, c.host, c.port, c.account, c.password, c.text, &rc), c.expected);
        EXPECT_EQ(rc, 0);
    }
}

TEST(IpRequest, TextsThatWouldBreakTheFramingAreRefused) {
    const std::string host64(64, '1');
    struct Case {
        IPOperation op;
        const char *host, *account, *password, *text;
    } cases[] = {
        {IP_OP_OPEN, "10.0.0.5", "ad\tmin", "pw", nullptr},
        {IP_OP_OPEN, "10.0.0.5", "admin", "p\nw", nullptr},
        {IP_OP_OPEN, "10.0.0.5", "admin", "p\tw", nullptr},
        {IP_OP_PROC, "10.0.0.5", nullptr, nullptr, "show\tx"},
        {IP_OP_PROC, "10.0.0.5", nullptr, nullptr, "show x\nstop copy-session"},
        {IP_OP_PROC, "10.0.\t5", nullptr, nullptr, "show x"},
        {IP_OP_PROC, host64.c_str(), nullptr, nullptr, "show x"},
        {IP_OP_ENCRYPT, nullptr, nullptr, nullptr, "a\tb"},
        {IP_OP_OPEN, "10.0.0.5", nullptr, "pw", nullptr},
    };
    for (const Case &c : cases) {
        int rc = 0;
        EXPECT_EQ(built(c.op, c.host, "", c.account, c.password, c.text, &rc), "");
        EXPECT_EQ(rc, ZRK_ERR_PARAMETER) << (c.text ? c.text : c.host);
    }
}

TEST(IpRequest, AddressSplit) {
    struct Case {
        std::string address;
        int rc;
        const char *host, *port;
    } cases[] = {
        {"10.0.0.5", 0, "10.0.0.5", ""},
        {"10.0.0.5:2222", 0, "10.0.0.5", "2222"},
        {"[fe80::1]:2222", 0, "fe80::1", ":2222"},
        {"[fe80::1]", 0, "fe80::1", ""},
        {"[fe80::1", 0, "fe80::1", ""},
        {"fe80::1", 0, "fe80::1", ""},
        {"", 0, "", ""},
        {std::string(63, 'a'), 0, nullptr, ""},
        {std::string(64, 'a'), -1, "", ""},
        {"[" + std::string(64, 'a') + "]:1", -1, "", ""},
        {"h:" + std::string(64, '1'), -1, "", ""},
        {std::string(70, ':'), -1, "", ""},
    };
    for (const Case &c : cases) {
        char host[IP_HOST_MAX + 1] = "x";
        char port[IP_PORT_MAX + 1] = "x";
        EXPECT_EQ(IPSplitAddress(c.address.c_str(), host, port), c.rc) << c.address;
        EXPECT_EQ(std::string(host), c.host != nullptr ? std::string(c.host) : c.address);
        EXPECT_EQ(std::string(port), c.port);
    }
}

// ---- operations through the stand-in ------------------------------------------

TEST(IpLink, RequestsOfTheFourOperationsOnTheWire) {
    zrktest::InstallRoot root;
    StandIn service({framed("true"), framed("done"), framed("done"), framed("00\n"),
                     framed("XYZ"), framed("plain")});
    usePort(root, service.port());

    EXPECT_EQ(ZRKIPLogIn("10.0.0.5", "admin", "pw", 0, nullptr), 0);
    EXPECT_EQ(ZRKIPLogOut("10.0.0.5", nullptr, 0, nullptr), 0);
    EXPECT_EQ(ZRKIPLogOut("[fe80::1]:2222", nullptr, 0x2, nullptr), 0);
    char *reply = nullptr;
    ASSERT_EQ(IPExecVastrelCLI("10.0.0.5", "u", 0, "show copy-sessions", &reply), 0);
    EXPECT_STREQ(reply, "00\n");
    std::free(reply);
    char *result = nullptr;
    ASSERT_EQ(ZRKIPProc(1, "secret", &result, nullptr), 0);
    EXPECT_STREQ(result, "XYZ");
    std::free(result);
    ASSERT_EQ(ZRKIPProc(2, "XYZ", &result, nullptr), 0);
    EXPECT_STREQ(result, "plain");
    std::free(result);

    const std::vector<std::string> expected = {
        "24\t10.0.0.5\t\topen\tadmin\tpw\t",
        "17\t10.0.0.5\t\tclose\t\t\t",
        "27\tfe80::1\t:2222\tforce_close\t\t\t",
        "35\t10.0.0.5\t\tproc\t\t\tshow copy-sessions",
        "18\t\t\tencrypt\t\t\tsecret",
        "15\t\t\tdecrypt\t\t\tXYZ",
    };
    EXPECT_EQ(service.requests(), expected);
}

TEST(IpLink, LoginNeedsExactlyTrue) {
    struct Case {
        std::string body;
        int ret;
        int err;
    } cases[] = {
        {"true", 0, 0}, {"True", -1, 1904}, {"true\n", -1, 1904}, {"false", -1, 1904},
        {"truex", -1, 1904}, {"tru", -1, 1904},
    };
    for (const Case &c : cases) {
        zrktest::InstallRoot root;
        StandIn service({framed(c.body)});
        usePort(root, service.port());
        ZRKerrno = 0;
        EXPECT_EQ(ZRKIPLogIn("10.0.0.5", "admin", "pw", 0, nullptr), c.ret) << c.body;
        EXPECT_EQ(ZRKerrno, c.err) << c.body;
    }
}

// A body with a NUL inside is a broken reply, so the log-in fails as a
// receive failure before its answer is judged.
TEST(IpLink, LoginWithATrueFollowedByANulIsRefused) {
    zrktest::InstallRoot root;
    StandIn service({raw(std::string("5\ttrue\0", 7))});
    usePort(root, service.port());
    EXPECT_EQ(ZRKIPLogIn("10.0.0.5", "admin", "pw", 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 1905);
}

TEST(IpLink, ProcErrorBodyFailsAndHandsNothingBack) {
    zrktest::InstallRoot root;
    StandIn service({framed("ERROR: no session")});
    usePort(root, service.port());
    char *reply = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show copy-sessions", &reply), -1);
    EXPECT_EQ(ZRKerrno, 1905);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(service.requests().size(), 1u);
}

TEST(IpLink, AutomaticLogoutSentAndNotSent) {
    struct Case {
        const char *command;
        std::string body;
        bool logout;
    } cases[] = {
        {"show copy-sessions", "01\n9403\n", true},
        {"show copy-sessions", "02\n9403", true},
        {"zrkcipservice_alive", "01\n9403\n", false},
        {"show copy-sessions", "00\n9403", false},
        {"show copy-sessions", "01\n940", false},
        {"show copy-sessions", "01\n9404\n", false},
        {"zrkcipservice", "01\n9403\n", true},
    };
    for (const Case &c : cases) {
        zrktest::InstallRoot root;
        StandIn service({framed(c.body), framed("ok")});
        usePort(root, service.port());
        char *reply = nullptr;
        EXPECT_EQ(IPExecVastrelCLI("[fe80::1]:2222", nullptr, 0, c.command, &reply), 0);
        EXPECT_EQ(reply != nullptr ? std::string(reply) : "", c.body);
        std::free(reply);
        std::vector<std::string> requests = service.requests();
        ASSERT_EQ(requests.size(), c.logout ? 2u : 1u) << c.command << " " << c.body;
        if (c.logout) {
            EXPECT_EQ(requests[1], "27\tfe80::1\t:2222\tforce_close\t\t\t");
        }
    }
}

TEST(IpLink, AutomaticLogoutKeepsTheCallersTraceAndErrno) {
    zrktest::InstallRoot root;
    // The logout's own reply is malformed: its failure must not show.
    StandIn service({framed("01\n9403\n"), raw("x\t")});
    usePort(root, service.port());
    ASSERT_EQ(ZRKC_Com_OpenTrace(0x77), 0);
    ZRKerrno = 4242;
    char *reply = nullptr;
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show copy-sessions", &reply), 0);
    std::free(reply);
    EXPECT_EQ(ZRKerrno, 4242);
    EXPECT_EQ(service.requests().size(), 2u);
    // The caller's trace is still open for its own lines.
    EXPECT_EQ(ZRKC_Com_OutputTrace(1, 1, "INFO", "caller", nullptr, 0, "after"), 0);
    EXPECT_EQ(ZRKC_Com_CloseTrace(), 0);
}

TEST(IpLink, CommandLengthLimit) {
    zrktest::InstallRoot root;
    StandIn service({framed("00")});
    usePort(root, service.port());
    const std::string longest(5120, 'c');
    char *reply = nullptr;
    ASSERT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, longest.c_str(), &reply), 0);
    std::free(reply);
    ASSERT_EQ(service.requests().size(), 1u);
    EXPECT_EQ(service.requests()[0], "5137\t10.0.0.5\t\tproc\t\t\t" + longest);

    const std::string tooLong(5121, 'c');
    reply = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, tooLong.c_str(), &reply), -1);
    EXPECT_EQ(ZRKerrno, 923);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(service.requests().size(), 1u);
}

TEST(IpLink, BadTextsAreRefusedWithoutConnecting) {
    zrktest::InstallRoot root;
    StandIn service({});
    usePort(root, service.port());
    char *reply = nullptr;
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show x\nstop copy-session", &reply), -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_EQ(ZRKIPLogIn("10.0.0.5", "ad\tmin", "pw", 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_EQ(ZRKIPLogIn("10.0.0.5", "admin", "p\nw", 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 13);
    const std::string longAddress(64, '1');
    EXPECT_EQ(ZRKIPLogOut(longAddress.c_str(), nullptr, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_EQ(ZRKIPLogIn(nullptr, "admin", "pw", 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 13);
    EXPECT_TRUE(service.requests().empty());
}

TEST(IpLink, NoListenerGives1903) {
    zrktest::InstallRoot root;
    usePort(root, freePort());
    char *out = nullptr;
    EXPECT_EQ(ZRKIPLogIn("10.0.0.5", "admin", "pw", 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 1903);
    EXPECT_EQ(ZRKIPLogOut("10.0.0.5", nullptr, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 1903);
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show x", &out), -1);
    EXPECT_EQ(ZRKerrno, 1903);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(ZRKIPProc(1, "a", &out, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 1903);
    EXPECT_EQ(out, nullptr);
}

TEST(IpLink, MalformedRepliesGive1905) {
    const std::string cases[] = {
        "0\t", "12345678901", "3000000000\t", "2147483648\t", "5\tabc", "\tabc", "1a\tb",
        "", "10\t", "abc",
        // announced beyond the largest reply taken
        "2147483647\t", "16777217\tabc",
        // a NUL inside the announced body: among the header's bytes, later, last
        std::string("5\tab\0de", 8), "12\t0123456789" + std::string("\0b", 2),
        std::string("3\tab\0", 6),
    };
    for (const std::string &bytes : cases) {
        zrktest::InstallRoot root;
        StandIn service({raw(bytes)});
        usePort(root, service.port());
        char *reply = reinterpret_cast<char *>(0x1);
        EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show x", &reply), -1) << bytes;
        EXPECT_EQ(ZRKerrno, 1905) << bytes;
        EXPECT_EQ(reply, nullptr);
    }
}

TEST(IpLink, PeerResetGives1905WithoutSigpipe) {
    std::signal(SIGPIPE, SIG_DFL);
    zrktest::InstallRoot root;
    StandIn service({Step {Step::Reset, "", 0}, Step {Step::Reset, "", 0}});
    usePort(root, service.port());
    const std::string command(5000, 'c');
    for (int i = 0; i < 2; ++i) {
        char *reply = nullptr;
        EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, command.c_str(), &reply), -1);
        EXPECT_EQ(ZRKerrno, 1905);
    }
}

// ---- receiving -----------------------------------------------------------------

// ReceiveData over a socket pair whose other end wrote bytes and closed.
int receiveFrom(const std::string &bytes, int *length, char **body) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return -100;
    ::send(sv[1], bytes.data(), bytes.size(), MSG_NOSIGNAL);
    ::shutdown(sv[1], SHUT_WR);
    int rc = ReceiveData(sv[0], 1, length, body);
    ::close(sv[0]);
    ::close(sv[1]);
    return rc;
}

TEST(IpReceive, FramingCodes) {
    struct Case {
        std::string bytes;
        int code;
        std::string body;
    } cases[] = {
        {"4\ttrue", 0, "true"},
        {"3\tabcdef", 0, "abc"},
        {"0003\tabc", 0, "abc"},
        {"12\t0123456789ab", 0, "0123456789ab"},
        {"1999999999", 4, ""},
        {"0\t", 4, ""},
        {"12345678901", 4, ""},
        {"3000000000\t", 4, ""},
        {"2147483648\t", 4, ""},
        {"\tabc", 4, ""},
        {"-1\tx", 4, ""},
        {"", 4, ""},
        {"5\tabc", 5, ""},
        {"10\t", 5, ""},
    };
    for (const Case &c : cases) {
        int length = -1;
        char *body = reinterpret_cast<char *>(0x1);
        EXPECT_EQ(receiveFrom(c.bytes, &length, &body), c.code) << c.bytes;
        if (c.code == 0) {
            ASSERT_NE(body, nullptr);
            EXPECT_EQ(std::string(body, static_cast<size_t>(length)), c.body);
            EXPECT_EQ(body[length], '\0');
        } else {
            EXPECT_EQ(body, nullptr) << c.bytes;
            EXPECT_EQ(length, 0);
        }
        std::free(body == reinterpret_cast<char *>(0x1) ? nullptr : body);
    }
}

TEST(IpReceive, HeaderArrivingInPieces) {
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    std::thread writer([&] {
        for (const char *piece : {"1", "1\th", "ello", " world"}) {
            ::send(sv[1], piece, std::strlen(piece), MSG_NOSIGNAL);
            std::this_thread::sleep_for(30ms);
        }
    });
    int length = 0;
    char *body = nullptr;
    EXPECT_EQ(ReceiveData(sv[0], 1, &length, &body), 0);
    writer.join();
    EXPECT_EQ(std::string(body != nullptr ? body : ""), "hello world");
    std::free(body);
    ::close(sv[0]);
    ::close(sv[1]);
}

TEST(IpReceive, LongestWaitDoesNotWrapToAnInstantTimeout) {
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    std::thread writer([&] {
        std::this_thread::sleep_for(300ms);
        ::send(sv[1], "ab", 2, MSG_NOSIGNAL);
    });
    char buffer[4] = {};
    int got = -1;
    EXPECT_EQ(SelectAndReceive(sv[0], UINT32_MAX, 0, 2, &got, buffer), 0);
    writer.join();
    EXPECT_EQ(got, 2);
    ::close(sv[0]);
    ::close(sv[1]);
}

TEST(IpSettings, ConnectionSettingsAndTheirDefaults) {
    struct Case {
        std::string lines;
        uint32_t wait;
        uint32_t port;
    } cases[] = {
        {"", 450, 32002},
        {"ssh_timeout=0\nssh_loop=2\n", 60, 32002},
        {"ssh_timeout=86401\n", 450, 32002},
        {"ssh_timeout=86400\nssh_loop=1\n", 86400, 32002},
        {"ssh_port_number=70000\n", 450, 32002},
        {"ssh_port_number=-1\n", 450, 32002},
        {"ssh_port_number=0\n", 450, 0},
        {"ssh_port_number=65535\n", 450, 65535},
        {"ssh_loop=0\nssh_timeout=2\n", 30, 32002},
        {"ssh_timeout=1\nssh_loop=1\n", 1, 32002},
        {"ssh_timeout=30\nssh_loop=-1\n", UINT32_MAX, 32002},
        {"ssh_timeout=2\nssh_loop=-2147483648\n", UINT32_MAX, 32002},
        {"ssh_timeout=86400\nssh_loop=2147483647\n", UINT32_MAX, 32002},
    };
    for (const Case &c : cases) {
        zrktest::InstallRoot root;
        setConnection(root, c.lines);
        uint32_t wait = 0;
        uint32_t port = 0;
        EXPECT_EQ(GetSocketProperty(&wait, &port), 0);
        EXPECT_EQ(wait, c.wait) << c.lines;
        EXPECT_EQ(port, c.port) << c.lines;
    }
}

TEST(IpLink, ReceiveTimeOutWithTheShortestWait) {
    zrktest::InstallRoot root;
    StandIn service({Step {Step::Hang, "", 0}});
    setConnection(root, "ssh_port_number=" + std::to_string(service.port()) +
                            "\nssh_timeout=1\nssh_loop=1\n");
    const auto start = std::chrono::steady_clock::now();
    char *reply = nullptr;
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show x", &reply), -1);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ZRKerrno, 1905);
    EXPECT_EQ(reply, nullptr);
    // One second of wait plus the ten that every wait adds.
    EXPECT_GE(elapsed, 10900ms);
    EXPECT_LT(elapsed, 20s);
}

// How long a "proc" command takes to fail with 1905 (and no reply) against
// a stand-in that answers with step, with the shortest receive wait (1 + 10
// seconds).
std::chrono::steady_clock::duration TimeToFail(const Step &step) {
    zrktest::InstallRoot root;
    StandIn service({step});
    setConnection(root, "ssh_port_number=" + std::to_string(service.port()) +
                            "\nssh_timeout=1\nssh_loop=1\n");
    const auto start = std::chrono::steady_clock::now();
    char *reply = nullptr;
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show x", &reply), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_RECEIVE);
    EXPECT_EQ(reply, nullptr);
    return std::chrono::steady_clock::now() - start;
}

// The wait covers the whole reply once: a service that sends a byte every
// 400 ms (43 bytes, more than 16 s) is cut off when the wait is over, not
// held for as long as it keeps sending.
TEST(IpLink, TrickledReplyEndsAtTheWait) {
    const auto elapsed = TimeToFail(Step {Step::Trickle, "40\t" + std::string(40, 'x'), 400});
    EXPECT_GE(elapsed, 10900ms);
    EXPECT_LT(elapsed, 14s);
}

// An announced size beyond the cap is refused at once, without waiting for
// (or making room for) the bytes it announces; the stand-in keeps the
// connection open after 64 of them.
TEST(IpLink, HugeAnnouncedReplyIsRefusedAtOnce) {
    EXPECT_LT(TimeToFail(Step {Step::Hang, "2147483647\t" + std::string(64, 'x'), 0}), 5s);
}

TEST(IpLink, DelayedReplyWithinTheWaitIsReceived) {
    zrktest::InstallRoot root;
    Step late = framed("00");
    late.delayMs = 1500;
    StandIn service({late});
    setConnection(root, "ssh_port_number=" + std::to_string(service.port()) +
                            "\nssh_timeout=1\nssh_loop=-1\n");
    char *reply = nullptr;
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show x", &reply), 0);
    EXPECT_STREQ(reply, "00");
    std::free(reply);
}

TEST(IpLink, NonRootCannotLogInOrOut) {
    zrktest::InstallRoot root;
    StandIn service({framed("true"), framed("ok")});
    usePort(root, service.port());
    zrktest::ChildResult child = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 90;
        if (ZRKIPLogIn("10.0.0.5", "admin", "pw", 0, nullptr) != -1 || ZRKerrno != 34) return 1;
        if (ZRKIPLogOut("10.0.0.5", nullptr, 0x2, nullptr) != -1 || ZRKerrno != 34) return 2;
        return 0;
    });
    if (child.exitCode == 90) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(child.exitCode, 0) << child.err;
    EXPECT_TRUE(service.requests().empty());
}

// ---- against the array simulator's LAN front ------------------------------------

const char *const kSimScenario = R"(
array A1 boxid="BOX-A1" address=10.0.0.5,fe80::1
volume A1 1 100000
volume A1 2 100000
user admin secret
)";

TEST(IpLinkSim, LogInRunLogOutAndTransform) {
    zrktest::InstallRoot root;
    zrksim::Simulator sim(kSimScenario, true);
    usePort(root, sim.lanPort());

    char *reply = nullptr;
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show copy-sessions", &reply), -1);
    EXPECT_EQ(ZRKerrno, 1905);  // "ERROR: not logged in"
    EXPECT_EQ(reply, nullptr);

    EXPECT_EQ(ZRKIPLogIn("10.0.0.5", "admin", "wrong", 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, 1904);
    ASSERT_EQ(ZRKIPLogIn("10.0.0.5", "admin", "secret", 0, nullptr), 0);
    EXPECT_EQ(sim.commandOk("lanlogins"), std::vector<std::string>{"10.0.0.5 admin"});

    ASSERT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "zrkcipservice_alive", &reply), 0);
    EXPECT_STREQ(reply, "true");
    std::free(reply);

    char *scrambled = nullptr;
    ASSERT_EQ(ZRKIPProc(1, "secret", &scrambled, nullptr), 0);
    EXPECT_STRNE(scrambled, "secret");
    char *plain = nullptr;
    ASSERT_EQ(ZRKIPProc(2, scrambled, &plain, nullptr), 0);
    EXPECT_STREQ(plain, "secret");
    std::free(scrambled);
    std::free(plain);

    EXPECT_EQ(ZRKIPLogOut("10.0.0.5", nullptr, 0, nullptr), 0);
    EXPECT_TRUE(sim.commandOk("lanlogins").empty());
}

TEST(IpLinkSim, ArrayEndingTheLoginIsFollowedByAForcedLogout) {
    zrktest::InstallRoot root;
    zrksim::Simulator sim(kSimScenario, true);
    usePort(root, sim.lanPort());
    ASSERT_EQ(ZRKIPLogIn("10.0.0.5", "admin", "secret", 0, nullptr), 0);
    sim.commandOk("clearlanlog");
    sim.commandOk("lanreply 1 01\\n9403\\nsession ended\\n");
    char *reply = nullptr;
    ASSERT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show copy-sessions", &reply), 0);
    EXPECT_STREQ(reply, "01\n9403\nsession ended\n");
    std::free(reply);
    const std::vector<std::string> log = sim.commandOk("lanlog");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "23\\t10.0.0.5\\t\\tforce_close\\t\\t\\t");
    EXPECT_TRUE(sim.commandOk("lanlogins").empty());
}

TEST(IpLinkSim, DroppedAndMalformedRepliesGive1905) {
    zrktest::InstallRoot root;
    zrksim::Simulator sim(kSimScenario, true);
    usePort(root, sim.lanPort());
    for (const char *fault : {"landrop 1", "lanraw 1 0\\t", "lanraw 1 12345678901"}) {
        sim.commandOk(fault);
        char *reply = nullptr;
        EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "zrkcipservice_alive", &reply), -1)
            << fault;
        EXPECT_EQ(ZRKerrno, 1905) << fault;
        EXPECT_EQ(reply, nullptr);
    }
}

}  // namespace
