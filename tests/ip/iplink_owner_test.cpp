// The LAN service client talks only to a service that is root's or the
// caller's own: a listener of another user on the service's port gets the
// connection but not one byte, and the call fails as if nothing listened.
// The owner is read from the kernel's socket tables (FindTcpOwner).
#include "child.h"
#include "install_root.h"
#include "ipaction_service.h"
#include "../../ip/iplink.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

constexpr uint32_t kNobody = 65534;

// ---- the socket tables ---------------------------------------------------------

const char kTcpHead[] =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
    "timeout inode\n";

// One row of /proc/net/tcp or tcp6 with the given ends, state and uid.
std::string Row(const std::string &local, const std::string &remote, const char *state,
                const std::string &uid) {
    return "   4: " + local + " " + remote + " " + state +
           " 00000000:00000000 00:00000000 00000000 " + uid +
           "        0 53127 1 0000000000000000 20 4 30 10 -1\n";
}

// 127.0.0.1 at 32002 (the service) and at 40000 (the client), as a
// little-endian kernel writes them.
const std::string kService4 = "0100007F:7D02";
const std::string kClient4 = "0100007F:9C40";
const std::string kService6 = "0000000000000000FFFF00000100007F:7D02";
const std::string kClient6 = "0000000000000000FFFF00000100007F:9C40";

TEST(IpServiceOwner, EntryOfTheServiceEnd) {
    if constexpr (std::endian::native != std::endian::little) {
        GTEST_SKIP() << "the rows are written as a little-endian kernel writes them";
    }
    const std::string listener = Row(kService4, "00000000:0000", "0A", "0");
    struct Case {
        const char *what;
        std::string table;
        bool found;
        uint32_t uid;
    } cases[] = {
        {"established, another user", listener + Row(kService4, kClient4, "01", "1000"), true,
         1000},
        {"established, root", Row(kService4, kClient4, "01", "0"), true, 0},
        {"handshake not yet accepted", Row(kService4, kClient4, "03", "65534"), true, 65534},
        {"after the head line", kTcpHead + Row(kService4, kClient4, "01", "7"), true, 7},
        {"v4-mapped in tcp6", Row(kService6, kClient6, "01", "1000"), true, 1000},
        {"the first of two rows that match", Row(kService4, kClient4, "01", "5") +
                                                 Row(kService4, kClient4, "01", "0"),
         true, 5},
        {"only the client's own end", Row(kClient4, kService4, "01", "0"), false, 0},
        {"only the listener", kTcpHead + listener, false, 0},
        {"a closed end (no owner)", Row(kService4, kClient4, "06", "0"), false, 0},
        {"another client port", Row(kService4, "0100007F:9C41", "01", "0"), false, 0},
        {"another address", Row("0200007F:7D02", kClient4, "01", "0"), false, 0},
        {"::1 in tcp6", Row("00000000000000000000000001000000:7D02",
                            "00000000000000000000000001000000:9C40", "01", "0"),
         false, 0},
        {"uid not a number", Row(kService4, kClient4, "01", "x0"), false, 0},
        {"uid beyond 32 bits", Row(kService4, kClient4, "01", "4294967296"), false, 0},
        {"negative uid", Row(kService4, kClient4, "01", "-1"), false, 0},
        {"row cut before the uid", "   4: " + kService4 + " " + kClient4 + " 01 0:0 0:0 0",
         false, 0},
        {"no rows", "", false, 0},
    };
    const zrkip::TcpEnd service {htonl(INADDR_LOOPBACK), 32002};
    const zrkip::TcpEnd client {htonl(INADDR_LOOPBACK), 40000};
    for (const Case &c : cases) {
        uint32_t uid = 0xA5A5A5A5u;
        EXPECT_EQ(zrkip::FindTcpOwner(c.table, service, client, &uid), c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(uid, c.uid) << c.what;
        }
    }
}

// The real table: a connection to a listener of this process is root's.
TEST(IpServiceOwner, LiveConnectionIsFoundInTheKernelsTable) {
    int port = 0;
    const int listener = iptest::ListenLoopback(&port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
    sockaddr_in mine {};
    socklen_t length = sizeof mine;
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr *>(&mine), &length), 0);
    const std::string table = zrktest::readFile("/proc/net/tcp");
    const zrkip::TcpEnd service {htonl(INADDR_LOOPBACK), static_cast<uint16_t>(port)};
    const zrkip::TcpEnd client {mine.sin_addr.s_addr, ntohs(mine.sin_port)};
    uint32_t uid = 0xA5A5A5A5u;
    EXPECT_TRUE(zrkip::FindTcpOwner(table, service, client, &uid));
    EXPECT_EQ(uid, 0u);
    ::close(fd);
    ::close(listener);
}

// ---- a listener of another user ---------------------------------------------------

// A listener on 127.0.0.1 in a child process that dropped to nobody. It
// answers every request with "2\t00" and counts the connections it accepted
// and the bytes that came in on them.
class ForeignListener {
public:
    ForeignListener() {
        if (::pipe2(iaPortPipe, O_CLOEXEC) != 0 || ::pipe2(iaStopPipe, O_CLOEXEC) != 0) {
            std::abort();
        }
        tServe = std::thread([this] { rChild = zrktest::runChild([this] { return Serve(); }); });
        pollfd p {iaPortPipe[0], POLLIN, 0};
        if (::poll(&p, 1, 10000) != 1 ||
            ::read(iaPortPipe[0], &iPort, sizeof iPort) != sizeof iPort) {
            iPort = 0;
        }
    }
    ~ForeignListener() {
        Finish();
        for (int fd : {iaPortPipe[0], iaPortPipe[1], iaStopPipe[0], iaStopPipe[1]}) ::close(fd);
    }
    ForeignListener(const ForeignListener &) = delete;
    ForeignListener &operator=(const ForeignListener &) = delete;

    // The port, 0 when the child could not drop its privileges or listen.
    int port() const { return iPort; }

    // Stops the child; its "connections bytes" line (empty when it failed).
    std::string Finish() {
        if (tServe.joinable()) {
            const char stop = 's';
            if (::write(iaStopPipe[1], &stop, 1) != 1) std::abort();
            tServe.join();
        }
        return rChild.exitCode == 0 ? rChild.out : std::string();
    }

private:
    int Serve() {
        int port = 0;
        if (!zrktest::dropPrivileges()) {
            if (::write(iaPortPipe[1], &port, sizeof port) != sizeof port) return 91;
            return 90;
        }
        const int listener = iptest::ListenLoopback(&port);
        if (::write(iaPortPipe[1], &port, sizeof port) != sizeof port) return 91;
        size_t connections = 0;
        size_t bytes = 0;
        // Once told to stop, the connections already made are still taken:
        // a caller's connect has completed before its call returns, so the
        // count does not depend on how fast this child is scheduled.
        bool stopping = false;
        for (;;) {
            pollfd p[2] = {{listener, POLLIN, 0}, {iaStopPipe[0], POLLIN, 0}};
            const int ready = ::poll(p, stopping ? 1 : 2, stopping ? 0 : 30000);
            if (ready <= 0) break;
            if (!stopping && p[1].revents != 0) {
                stopping = true;
                continue;
            }
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++connections;
            const std::string request = iptest::ReadMessage(fd, true, 2000);
            bytes += request.size();
            if (!request.empty() && ::write(fd, "2\t00", 4) != 4) return 92;
            ::close(fd);
        }
        std::printf("%zu %zu", connections, bytes);
        return 0;
    }

    int iaPortPipe[2] = {-1, -1};
    int iaStopPipe[2] = {-1, -1};
    int iPort = 0;
    zrktest::ChildResult rChild;
    std::thread tServe;
};

// Root's calls reach the listener of nobody (four connections) and send
// nothing; each fails as a service that cannot be reached, and the trace
// says why.
TEST(IpServiceOwner, RootSendsNothingToAnotherUsersListener) {
    zrktest::InstallRoot root;
    ForeignListener foreign;
    if (foreign.port() == 0) GTEST_SKIP() << "cannot drop privileges here";
    iptest::FakeService::usePort(root, foreign.port());

    char *out = reinterpret_cast<char *>(0x1);
    ZRKerrno = 0;
    EXPECT_EQ(ZRKIPLogIn("10.0.0.5", "admin", "secret", 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SERVICE);
    ZRKerrno = 0;
    EXPECT_EQ(ZRKIPLogOut("10.0.0.5", nullptr, 0, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SERVICE);
    ZRKerrno = 0;
    EXPECT_EQ(IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show copy-sessions", &out), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SERVICE);
    EXPECT_EQ(out, nullptr);
    ZRKerrno = 0;
    EXPECT_EQ(ZRKIPProc(2, "ab12", &out, nullptr), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SERVICE);
    EXPECT_EQ(out, nullptr);

    EXPECT_EQ(foreign.Finish(), "4 0");
    const std::string why = "service port is not root's nor the caller's. port=" +
                            std::to_string(foreign.port()) + " uid=" + std::to_string(kNobody);
    EXPECT_NE(root.traceText().find(why), std::string::npos) << why;
}

// A caller that is not root talks to a service of its own user and to
// root's.
TEST(IpServiceOwner, CallerTalksToItsOwnAndToRootsService) {
    zrktest::InstallRoot root;
    // The properties must be readable by the caller of the child.
    std::filesystem::permissions(root.root(), std::filesystem::perms::owner_all |
                                                  std::filesystem::perms::group_exec |
                                                  std::filesystem::perms::others_exec);
    ForeignListener foreign;
    if (foreign.port() == 0) GTEST_SKIP() << "cannot drop privileges here";
    iptest::FakeService rootService;
    for (int port : {foreign.port(), rootService.port()}) {
        iptest::FakeService::usePort(root, port);
        const zrktest::ChildResult child = zrktest::runChild([] {
            if (!zrktest::dropPrivileges()) return 90;
            char *out = nullptr;
            if (IPExecVastrelCLI("10.0.0.5", nullptr, 0, "show copy-sessions", &out) != 0) {
                std::printf("ZRKerrno=%d", ZRKerrno);
                return 1;
            }
            const bool ok = std::string(out) == "00";
            std::free(out);
            return ok ? 0 : 2;
        });
        EXPECT_EQ(child.exitCode, 0) << "port " << port << ": " << child.out << child.err;
    }
    EXPECT_EQ(rootService.commands(), std::vector<std::string> {"show copy-sessions"});
    const std::string counted = foreign.Finish();
    EXPECT_EQ(counted.substr(0, 2), "1 ") << counted;
    EXPECT_NE(counted, "1 0");
}

}  // namespace
