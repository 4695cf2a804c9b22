// The result rows of the array's multi-session commands on arbitrary reply
// bodies: the stop, suspend, resume and change of several sessions with one
// command (a head row and one row per session) and the concurrent KZP start
// in its phases and its restart (rows of seven or three columns).
//
// The row readers take the reply only from the link, so the body goes the
// whole way: a LAN interface management service on 127.0.0.1 (a thread of
// this process, at the port the private zrkc.ini names) answers every
// request with the input's body, framed as the service frames it.
//
// Input: byte 0 picks the command (0-6 the multi-session commands, 7-9 the
// concurrent start's phases 0-2, 10 its restart), byte 1 the option bits,
// byte 2 the session count (1-8); the rest is the reply body.
#include "../ip/ipaction.h"
#include "fuzz_root.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// The stand-in service: one connection at a time, one reply each.
class Service {
public:
    Service() {
        iListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        Check(iListen >= 0);
        const int on = 1;
        setsockopt(iListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Check(bind(iListen, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0);
        Check(listen(iListen, 8) == 0);
        socklen_t len = sizeof addr;
        Check(getsockname(iListen, reinterpret_cast<sockaddr *>(&addr), &len) == 0);
        uiPort = ntohs(addr.sin_port);
        std::thread([this] { Serve(); }).detach();
    }

    unsigned Port() const { return uiPort; }

    void SetBody(std::string body) {
        std::lock_guard<std::mutex> lock(mBody);
        sBody = std::move(body);
    }

private:
    // Whether a request is whole: seven fields, and for "proc" as many bytes
    // after the first TAB as its count says.
    static bool Whole(const std::string &request) {
        size_t tabs = 0;
        for (char c : request) tabs += c == '\t';
        if (tabs < 6) return false;
        const size_t first = request.find('\t');
        const size_t opStart = request.find('\t', request.find('\t', first + 1) + 1) + 1;
        if (request.compare(opStart, 5, "proc\t") != 0) return true;
        return request.size() - first - 1 >= std::strtoul(request.c_str(), nullptr, 10);
    }

    void Serve() {
        for (;;) {
            const int fd = accept4(iListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            std::string request;
            char buffer[8192];
            while (!Whole(request)) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 2000) <= 0) break;
                const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, static_cast<size_t>(n));
            }
            std::string reply;
            {
                std::lock_guard<std::mutex> lock(mBody);
                reply = std::to_string(sBody.size()) + "\t" + sBody;
            }
            size_t sent = 0;
            while (sent < reply.size()) {
                const ssize_t n = send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            // Close only once the client has: no reset may cut the reply.
            shutdown(fd, SHUT_WR);
            pollfd p{fd, POLLIN, 0};
            while (poll(&p, 1, 2000) > 0 && recv(fd, buffer, sizeof buffer, 0) > 0) {
            }
            close(fd);
        }
    }

    int iListen = -1;
    unsigned uiPort = 0;
    std::mutex mBody;
    std::string sBody;
};

Service &TheService() {
    static Service *service = [] {
        auto *s = new Service;
        const zrkfuzz::InstallRoot &root = zrkfuzz::InstallRoot::Get();
        Check(zrkfuzz::WriteFile(root.Etc("zrkc.ini"), "ssh_port_number=" + std::to_string(s->Port()) +
                                                           "\nssh_timeout=1\nssh_loop=1\n"));
        std::ifstream in(std::string(ZRK_SOURCE_DIR) + "/data/.zrk_errinf_wxapi", std::ios::binary);
        std::ofstream(root.Bin(".zrk_errinf_wxapi"), std::ios::binary) << in.rdbuf();
        return s;
    }();
    return *service;
}

const int kMultiCommands[] = {IP_MULTI_STOP,       IP_MULTI_SUSPEND_VZ, IP_MULTI_SUSPEND_RVZ,
                              IP_MULTI_RESUME_VZ,  IP_MULTI_RESUME_RVZ, IP_MULTI_CHANGE_VZ,
                              IP_MULTI_CHANGE_RVZ};

int OptionOf(uint8_t bits) {
    static const unsigned kBits[] = {ZRK_OPT_FORCE,    ZRK_OPT_STOP_TRACKING, ZRK_OPT_REMAIN,
                                     ZRK_OPT_REVERSE,  ZRK_OPT_SYNC,          ZRK_OPT_AUTO_SPLIT,
                                     ZRK_OPT_MANUAL_RCV, ZRK_OPT_STACK};
    unsigned option = 0;
    for (int i = 0; i < 8; ++i) {
        if ((bits >> i) & 1) option |= kBits[i];
    }
    return static_cast<int>(option);
}

void MultiSession(int command, int option, const std::vector<int> &ids) {
    std::vector<CliMultiSessionResult> table(ids.size() + 1);
    ZRKerrno = 0;
    const int rc = VastrelCli4MultiOpt("192.0.2.10", "admin", option, command,
                                       static_cast<int>(ids.size()), ids.data(), table.data());
    if (rc == 0) {
        Check(table[0].uiKindOrID == IP_MULTI_KIND_ROWS && table[0].uiCount == ids.size());
        for (size_t k = 1; k <= ids.size(); ++k) {
            Check(table[k].iResult == 0 || table[k].iResult == -1);
            Check(table[k].iResult == 0 || table[k].iError != 0);
        }
    } else {
        Check(rc == -1 && ZRKerrno != 0);
        Check(table[0].uiKindOrID == IP_MULTI_KIND_FAILED && table[0].iResult == -1 &&
              table[0].iError == ZRKerrno);
    }
}

void ConcurrentStart(int phase, bool restart, const std::vector<int> &ids) {
    CONC_SES_INFO entry{};
    std::memset(entry.SrcBoxID, ' ', sizeof entry.SrcBoxID);
    std::memset(entry.DstBoxID, ' ', sizeof entry.DstBoxID);
    entry.SrcOlu = 5;
    entry.DstOlu = 6;
    entry.CopyKind = 16;
    entry.OptionFlag = restart ? ZRK_OPT_RESTART : 0;
    uint32_t concId = 0x5A5A5A5Au;
    uint32_t rowCount = 0x5A5A5A5Au;
    CliConcStartResult *rows = nullptr;
    ZRKerrno = 0;
    const int rc = StartCopyConcurrentKzp("192.0.2.10", "admin", static_cast<int>(ids.size()),
                                          ids.data(), phase, &concId, entry, &rowCount, &rows);
    Check(rc == 0 || (rc == -1 && ZRKerrno != 0));
    if (restart || phase == 2) {
        if (rc == 0) {
            Check(rows != nullptr && rowCount > 0);
            const auto *bytes = reinterpret_cast<const volatile unsigned char *>(rows);
            unsigned sum = 0;
            for (size_t i = 0; i < rowCount * sizeof(CliConcStartResult); ++i) sum += bytes[i];
            (void)sum;
            for (uint32_t i = 0; i < rowCount; ++i) Check(rows[i].uiaReserved[0] == 0);
        } else {
            Check(rows == nullptr && rowCount == 0);
        }
    }
    std::free(rows);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    TheService();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3 || size > 16384) return 0;
    Service &service = TheService();
    service.SetBody(std::string(reinterpret_cast<const char *>(data + 3), size - 3));
    std::vector<int> ids;
    for (int i = 0; i < data[2] % 8 + 1; ++i) ids.push_back(i + 1);
    const int pick = data[0] % 11;
    if (pick < 7) {
        MultiSession(kMultiCommands[pick], OptionOf(data[1]), ids);
    } else if (pick < 10) {
        ConcurrentStart(pick - 7, false, ids);
    } else {
        ConcurrentStart(0, true, ids);
    }
    return 0;
}
