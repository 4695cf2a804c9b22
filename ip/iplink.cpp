// Client of the LAN interface management service: one TCP connection to
// 127.0.0.1 per request, one request text out, one framed reply back.
//
// Everything a request needs is checked before the connection is made: the
// address is split into its host and port fields without cutting anything,
// and a field that holds a TAB or a newline (which would shift the service's
// fields or run a second array command) is refused with 13. Sends never raise
// SIGPIPE; waits are computed without wrap-around.
//
// Any user may listen on the service's port while the service is down, so
// nothing is sent until the kernel's socket tables show that the other end
// of the connection belongs to root or to the caller's effective user;
// otherwise the call fails as if nothing listened (1903). A reply is bounded
// in time and size: one wait (the receive wait plus 10 seconds) for all of
// it, header and body, and at most kReplyMax bytes of body, received into a
// buffer that grows with what arrives.
#include "iplink.h"

#include "fileread.h"
#include "ipaction.h"
#include "platform.h"
#include "sysio.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

using namespace zrkip;

namespace {

constexpr char kInfo[] = "INFO";
constexpr char kErr[] = "ERR";

constexpr int kTraceLogIn = 1026;
constexpr int kTraceLogOut = 1027;
constexpr int kTraceProc = 1030;

constexpr size_t kHeaderRoom = 11;         // count digits, TAB and first body bytes
constexpr uint32_t kMaxCount = 2147483647; // largest count of a request
constexpr size_t kFirstBodyRoom = 65536;   // body bytes held before the buffer grows
constexpr int kOwnerLookups = 3;           // reads of the socket tables before giving up
constexpr int kOwnerLookupPauseMs = 20;    // pause between two of them
constexpr int kLogShown = 1024;            // body characters shown in the trace

// "END(ret=%d, ZRKerrno=%d)": level 2 after success, 1 after a failure.
int TraceEndOf(const char *name, int ret) {
    return zrkplatform::TraceEnd(ret == 0 ? 2 : 1, name, ret);
}

const char *OperationWord(IPOperation op) {
    switch (op) {
    case IP_OP_OPEN: return "open";
    case IP_OP_CLOSE: return "close";
    case IP_OP_FORCE_CLOSE: return "force_close";
    case IP_OP_PROC: return "proc";
    case IP_OP_ENCRYPT: return "encrypt";
    case IP_OP_DECRYPT: return "decrypt";
    }
    return nullptr;
}

bool HasTab(const char *text) { return std::strchr(text, '\t') != nullptr; }
bool HasBreak(const char *text) { return std::strpbrk(text, "\t\n") != nullptr; }

// Seconds on the monotonic clock, with microseconds.
double NowSeconds() {
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The texts that differ between the four operations in their traces.
struct Texts {
    const char *pName;         // function name of the trace lines
    const char *pMallocText;   // "malloc error. ...=%d"
    int iMallocLevel;          // its level (word INFO)
    const char *pReceiveText;  // failed ReceiveData
    int iReceiveLevel;         // its level
    const char *pReceiveWord;  // and word
};

// Whether the service's end of the connection fd (made to 127.0.0.1 at port)
// belongs to root or to the caller's effective user, as the kernel's socket
// tables tell. Refused, with the reason traced under name, when the end
// belongs to anyone else or cannot be found.
bool ServiceIsTrusted(const char *name, int fd, uint16_t port) {
    sockaddr_in mine {};
    unsigned mineLength = sizeof mine;
    if (zrkplatform::sys::GetSockName(fd, reinterpret_cast<sockaddr *>(&mine), &mineLength) != 0 ||
        mine.sin_family != AF_INET) {
        TraceText(1, kInfo, name, "service owner unknown. port=%u errno=%d", port, errno);
        return false;
    }
    const TcpEnd service {htonl(INADDR_LOOPBACK), port};
    const TcpEnd client {mine.sin_addr.s_addr, ntohs(mine.sin_port)};
    int readError = 0;
    // The end is listed once the handshake is through, which on loopback is
    // before connect returns; the tables are read again a few times anyway.
    for (int attempt = 0; attempt < kOwnerLookups; ++attempt) {
        if (attempt > 0) zrkplatform::sys::Poll(nullptr, 0, kOwnerLookupPauseMs);
        for (const char *path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
            const int tableFd = zrkplatform::sys::Open(path, O_RDONLY | O_CLOEXEC);
            if (tableFd < 0) {
                readError = errno;
                continue;
            }
            const zrkplatform::FileDescriptor owned(tableFd);
            uint32_t uid = 0;
            bool found = false;
            try {
                std::string table;
                readError = zrkplatform::ReadWholeFile(tableFd, table);
                found = readError == 0 && FindTcpOwner(table, service, client, &uid);
            } catch (const std::bad_alloc &) {
                readError = ENOMEM;
            }
            if (!found) continue;
            if (uid == 0 || uid == geteuid()) return true;
            TraceText(1, kInfo, name, "service port is not root's nor the caller's. port=%u uid=%u",
                      port, uid);
            return false;
        }
    }
    TraceText(1, kInfo, name, "service owner unknown. port=%u errno=%d", port, readError);
    return false;
}

// SelectAndReceive with the wait ending at deadline (NowSeconds), however
// many receives came before. waitSeconds only goes into the trace.
int ReceiveBefore(int fd, double deadline, uint32_t waitSeconds, size_t room, int *received,
                  char *buffer) {
    static const char name[] = "SelectAndReceive";
    for (;;) {
        const double left = deadline - NowSeconds();
        if (left <= 0) {
            TraceText(1, kErr, name, "select time out. wait=%u", waitSeconds);
            return IP_RCV_TIMEOUT;
        }
        // poll takes milliseconds in an int; long waits are taken in slices.
        const double ms = left * 1000.0 + 1;
        const int slice = ms > 3600000.0 ? 3600000 : static_cast<int>(ms);
        pollfd p {fd, POLLIN, 0};
        const int n = zrkplatform::sys::Poll(&p, 1, slice);
        if (n < 0) {
            TraceText(1, kErr, name, "select error. errno=%d", errno);
            return IP_RCV_WAIT_FAILED;
        }
        if (n > 0) break;
    }
    const ssize_t got = zrkplatform::sys::Recv(fd, buffer, room, 0);
    if (got < 0) {
        TraceText(1, kErr, name, "recv error. errno=%d", errno);
        return IP_RCV_FAILED;
    }
    *received = static_cast<int>(got);
    return IP_RCV_OK;
}

// A request text, wiped before it is freed: a log-in, an encryption and a
// test of an account carry a clear password.
class RequestText {
public:
    RequestText() = default;
    ~RequestText() {
        if (pText != nullptr) explicit_bzero(pText, uiLength);
        std::free(pText);
    }
    RequestText(const RequestText &) = delete;
    RequestText &operator=(const RequestText &) = delete;
    char **Text() { return &pText; }
    size_t *Length() { return &uiLength; }
    const char *Get() const { return pText; }
    size_t Size() const { return uiLength; }

private:
    char *pText = nullptr; // the request, terminated
    size_t uiLength = 0;   // its bytes before the terminator
};

// One request: connect, send, receive. 0 with *body (count + 1 bytes) and
// *length; -1 with ZRKerrno set. Everything else is released here.
int Exchange(const Texts &texts, IPOperation op, const char *address, const char *account,
             const char *password, const char *text, char **body, int *length) {
    *body = nullptr;
    *length = 0;
    uint32_t wait = 0;
    uint32_t port = 0;
    GetSocketProperty(&wait, &port);

    char host[IP_HOST_MAX + 1] = {};
    char portText[IP_PORT_MAX + 1] = {};
    if (op != IP_OP_ENCRYPT && op != IP_OP_DECRYPT) {
        if (IPSplitAddress(address, host, portText) != 0) {
            TraceText(1, kInfo, texts.pName, "address is not correct. IPaddress=%.*s", kLogShown,
                      zrkip::Safe(address));
            ZRKerrno = ZRK_ERR_PARAMETER;
            return -1;
        }
    }
    RequestText request;
    int rc = IPBuildRequest(op, host, portText, account, password, text, request.Text(),
                            request.Length());
    const size_t requestLen = request.Size();
    if (rc == ZRK_ERR_NO_MEMORY) {
        TraceText(texts.iMallocLevel, kInfo, texts.pName, texts.pMallocText,
                  requestLen > INT_MAX ? INT_MAX : static_cast<int>(requestLen + 1));
        ZRKerrno = ZRK_ERR_NO_MEMORY;
        return -1;
    }
    if (rc != 0) {
        TraceText(1, kInfo, texts.pName, "request text is not correct. rc=%d", rc);
        ZRKerrno = rc;
        return -1;
    }

    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        TraceText(1, kInfo, texts.pName, "socket error for open. errno=%d", errno);
        ZRKerrno = ZRK_ERR_NO_SERVICE;
        return -1;
    }
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (zrkplatform::sys::Connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) {
        TraceText(1, kInfo, texts.pName, "connect error for open. errno=%d", errno);
        CloseSocket(fd);
        ZRKerrno = ZRK_ERR_NO_SERVICE;
        return -1;
    }
    // Nothing is sent (the log-in carries a password) until the other end
    // is known to be root's or the caller's own: any user may listen on the
    // service's port while the service is down.
    if (!ServiceIsTrusted(texts.pName, fd, static_cast<uint16_t>(port))) {
        CloseSocket(fd);
        ZRKerrno = ZRK_ERR_NO_SERVICE;
        return -1;
    }

    // The whole request, however the kernel splits it; a peer that went
    // away is a failed exchange, never a signal.
    size_t sent = 0;
    while (sent < requestLen) {
        const ssize_t n =
            zrkplatform::sys::Send(fd, request.Get() + sent, requestLen - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            TraceText(1, kErr, texts.pName, "send error. errno=%d", n < 0 ? errno : 0);
            CloseSocket(fd);
            ZRKerrno = ZRK_ERR_RECEIVE;
            return -1;
        }
        sent += static_cast<size_t>(n);
    }

    rc = ReceiveData(fd, wait, length, body);
    CloseSocket(fd);
    if (rc != IP_RCV_OK) {
        TraceText(texts.iReceiveLevel, texts.pReceiveWord, texts.pName, "%s", texts.pReceiveText);
        ZRKerrno = rc == IP_RCV_NOMEM ? ZRK_ERR_NO_MEMORY : ZRK_ERR_RECEIVE;
        return -1;
    }
    return 0;
}

// "close" or "force_close" into the trace that is open now. The automatic
// logout runs this inside a command's trace, so it neither opens nor closes
// the trace, and it leaves ZRKerrno as the command left it.
void LogoutQuietly(const char *address) {
    const int keptErrno = ZRKerrno;
    if (geteuid() == 0) {
        static const Texts texts {"ZRKIPLogOut", "malloc error. iComLen=%d", 2,
                                  "ReceiveData error.", 2, kInfo};
        TraceText(3, kInfo, texts.pName, "IPaddress=%.*s OptFlag=%08x", kLogShown, address,
                  ZRK_OPT_FORCE);
        char *body = nullptr;
        int length = 0;
        if (Exchange(texts, IP_OP_FORCE_CLOSE, address, nullptr, nullptr, nullptr, &body,
                     &length) == 0) {
            std::free(body);
        }
    }
    ZRKerrno = keptErrno;
}

}  // namespace

// ---- connection settings ---------------------------------------------------

extern "C" int GetSocketProperty(uint32_t *waitSeconds, uint32_t *port) {
    static const char name[] = "GetSocketProperty";
    TraceText(2, kInfo, name, "START");
    ReturnInfo ri {};
    int timeout = get_properties_int("ssh_timeout", &ri);
    if (ri.iReturnClass != 0 || timeout < 1 || timeout > 86400) {
        TraceText(1, kInfo, name, "ssh_timeout get error");
        timeout = IP_DEFAULT_TIMEOUT;
    }
    ri = ReturnInfo {};
    int portNumber = get_properties_int("ssh_port_number", &ri);
    if (ri.iReturnClass != 0 || portNumber < 0 || portNumber > 65535) {
        TraceText(1, kInfo, name, "ssh_portnum get error");
        portNumber = IP_DEFAULT_PORT;
    }
    ri = ReturnInfo {};
    int loop = get_properties_int("ssh_loop", &ri);
    if (ri.iReturnClass != 0 || loop == 0) {
        TraceText(1, kInfo, name, "ssh_loop get error");
        loop = IP_DEFAULT_LOOP;
    }
    release_properties();

    // The product of the two factors as an unsigned 32-bit number; one that
    // does not fit (a negative loop among them) stays at the longest wait
    // rather than wrapping round to a short one.
    const uint64_t product = static_cast<uint64_t>(static_cast<uint32_t>(timeout)) *
                             static_cast<uint64_t>(static_cast<uint32_t>(loop));
    const uint32_t wait = product > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(product);
    if (waitSeconds != nullptr) *waitSeconds = wait;
    if (port != nullptr) *port = static_cast<uint32_t>(portNumber);
    return zrkplatform::TraceEnd(2, name, 0);
}

extern "C" void CloseSocket(int fd) {
    if (fd >= 0) zrkplatform::sys::Close(fd);
}

// ---- receiving -------------------------------------------------------------

extern "C" int SelectAndReceive(int fd, uint32_t waitSeconds, int extraMicroseconds, int room,
                                int *received, char *buffer) {
    if (received != nullptr) *received = 0;
    if (room <= 0 || buffer == nullptr || received == nullptr) return IP_RCV_FAILED;
    const double total = static_cast<double>(waitSeconds) + IP_WAIT_EXTRA +
                         (extraMicroseconds > 0 ? extraMicroseconds / 1e6 : 0.0);
    return ReceiveBefore(fd, NowSeconds() + total, waitSeconds, static_cast<size_t>(room),
                         received, buffer);
}

extern "C" int ReceiveData(int fd, uint32_t waitSeconds, int *length, char **body) {
    static const char name[] = "ReceiveData";
    TraceText(2, kInfo, name, "START");
    if (length != nullptr) *length = 0;
    if (body != nullptr) *body = nullptr;
    if (length == nullptr || body == nullptr) {
        return zrkplatform::TraceEnd(1, name, IP_RCV_FAILED);
    }
    // One wait for the whole reply, header and body: a service that sends a
    // byte now and then does not hold the caller any longer.
    const double deadline = NowSeconds() + static_cast<double>(waitSeconds) + IP_WAIT_EXTRA;
    ReplyFrame frame;
    size_t room = 0;
    for (char *space = frame.Space(&room); space != nullptr; space = frame.Space(&room)) {
        int got = 0;
        const int rc = ReceiveBefore(fd, deadline, waitSeconds, room, &got, space);
        if (rc != IP_RCV_OK) {
            TraceText(1, kErr, name,
                      frame.InHeader() ? "SelectAndReceive error. Data Length."
                                       : "SelectAndReceive error. Data.");
            return zrkplatform::TraceEnd(1, name, rc);
        }
        frame.Received(static_cast<size_t>(got));
    }
    if (!frame.Done()) {
        TraceText(1, kErr, name, "%s", frame.Failure().c_str());
        return zrkplatform::TraceEnd(1, name, frame.Code());
    }
    size_t bodyLength = 0;
    *body = frame.TakeBody(&bodyLength);
    *length = static_cast<int>(bodyLength);
    return zrkplatform::TraceEnd(2, name, IP_RCV_OK);
}

// ---- the reply framing ------------------------------------------------------------

namespace zrkip {

// A body never taken may be a decrypted account: wiped before it goes.
ReplyFrame::~ReplyFrame() {
    if (pBody != nullptr) explicit_bzero(pBody, uiFilled);
    std::free(pBody);
}

int ReplyFrame::Fail(int code, std::string text) {
    iCode = code;
    sFailure = std::move(text);
    return iCode;
}

char *ReplyFrame::Space(size_t *room) {
    *room = 0;
    if (bDone || iCode != IP_RCV_OK) return nullptr;
    if (!bCounted) {
        *room = kHeaderRoom - uiHave;
        return caHeader + uiHave;
    }
    if (uiFilled == uiCapacity && !Grow()) return nullptr;
    *room = uiCapacity - uiFilled;
    return pBody + uiFilled;
}

bool ReplyFrame::Grow() {
    const size_t capacity = std::min(uiCount, std::max(uiCapacity * 2, kFirstBodyRoom));
    char *grown = static_cast<char *>(std::realloc(pBody, capacity + 1));
    if (grown == nullptr) {
        Fail(IP_RCV_NOMEM, Format("malloc error. %u", static_cast<unsigned>(capacity + 1)));
        return false;
    }
    pBody = grown;
    uiCapacity = capacity;
    return true;
}

int ReplyFrame::Received(size_t n) {
    if (bDone || iCode != IP_RCV_OK) return iCode;
    if (bCounted) {
        if (n == 0) {
            return Fail(IP_RCV_SHORT, Format("All data cannot be received. %d",
                                             static_cast<int>(uiCount - uiFilled)));
        }
        return TakeBodyBytes(nullptr, n);
    }
    if (n == 0) return Fail(IP_RCV_BAD_COUNT, "iWkReceiveLen is zero.");
    const size_t before = uiHave;
    uiHave += n;
    return ReadHeader(before);
}

// The header after bytes from before on arrived: the digits up to the TAB,
// the count, and the body bytes that came with it.
int ReplyFrame::ReadHeader(size_t before) {
    const int shown = static_cast<int>(uiHave);
    size_t tab = uiHave;
    for (size_t i = before; i < uiHave && tab == uiHave; ++i) {
        if (caHeader[i] == '\t') {
            tab = i;
        } else if (caHeader[i] < '0' || caHeader[i] > '9') {
            return Fail(IP_RCV_BAD_COUNT, Format("cRcv_Data is not figure. %.*s", shown, caHeader));
        }
    }
    if (tab == uiHave && uiHave < kHeaderRoom) return IP_RCV_OK;  // more digits to come
    if (tab == uiHave || tab == 0) {
        return Fail(IP_RCV_BAD_COUNT,
                    Format("CommaPosition is not correct. %.*s", shown, caHeader));
    }
    if (tab == 10 && caHeader[0] > '2') {
        return Fail(IP_RCV_BAD_COUNT, Format("cRcv_num is not correct. %.*s", shown, caHeader));
    }
    uint64_t count = 0;
    for (size_t i = 0; i < tab; ++i) count = count * 10 + static_cast<uint64_t>(caHeader[i] - '0');
    if (count == 0 || count > kReplyMax) {
        return Fail(IP_RCV_BAD_COUNT,
                    Format("uiRcvNum is not correct. %u", static_cast<unsigned>(count)));
    }
    bCounted = true;
    uiCount = static_cast<size_t>(count);
    if (!Grow()) return iCode;
    const size_t extra = std::min(uiHave - tab - 1, uiCount);
    return extra > 0 ? TakeBodyBytes(caHeader + tab + 1, extra) : IP_RCV_OK;
}

// n body bytes: copied from bytes, or already received in place (NULL).
int ReplyFrame::TakeBodyBytes(const char *bytes, size_t n) {
    if (bytes != nullptr) std::memcpy(pBody + uiFilled, bytes, n);
    const void *nul = std::memchr(pBody + uiFilled, '\0', n);
    if (nul != nullptr) {
        return Fail(IP_RCV_BAD_COUNT,
                    Format("Data has a NUL character. offset=%zu",
                           static_cast<size_t>(static_cast<const char *>(nul) - pBody)));
    }
    uiFilled += n;
    if (uiFilled == uiCount) {
        pBody[uiCount] = '\0';
        bDone = true;
    }
    return IP_RCV_OK;
}

char *ReplyFrame::TakeBody(size_t *length) {
    *length = 0;
    if (!bDone || pBody == nullptr) return nullptr;
    char *body = pBody;
    pBody = nullptr;
    *length = uiCount;
    return body;
}

// ---- who holds the service's port ------------------------------------------------

namespace {

// The address:port column of an end as the kernel writes it: the 32-bit
// words of the address as they lie in memory, then the port, in upper-case
// hex; in the IPv6 table the v4-mapped address.
std::string EndColumn(TcpEnd end, bool mapped) {
    if (!mapped) return Format("%08X:%04X", end.uiAddress, end.usPort);
    return Format("%08X%08X%08X%08X:%04X", 0u, 0u, htonl(0xFFFFu), end.uiAddress, end.usPort);
}

constexpr std::string_view kEstablished = "01";  // TCP_ESTABLISHED
constexpr std::string_view kSynReceived = "03";  // TCP_SYN_RECV, not accepted yet
constexpr size_t kUidColumn = 7;  // after sl, the two ends, st, queues, timer, retransmits

}  // namespace

bool FindTcpOwner(std::string_view table, TcpEnd local, TcpEnd remote, uint32_t *uid) {
    const std::string local4 = EndColumn(local, false);
    const std::string remote4 = EndColumn(remote, false);
    const std::string local6 = EndColumn(local, true);
    const std::string remote6 = EndColumn(remote, true);
    while (!table.empty()) {
        const size_t end = std::min(table.find('\n'), table.size());
        std::string_view line = table.substr(0, end);
        table.remove_prefix(std::min(end + 1, table.size()));
        std::string_view columns[kUidColumn + 1];
        size_t count = 0;
        while (count <= kUidColumn) {
            const size_t start = line.find_first_not_of(" \t");
            if (start == std::string_view::npos) break;
            line.remove_prefix(start);
            const size_t stop = std::min(line.find_first_of(" \t"), line.size());
            columns[count++] = line.substr(0, stop);
            line.remove_prefix(stop);
        }
        if (count <= kUidColumn) continue;
        const bool v4 = columns[1] == local4 && columns[2] == remote4;
        const bool v6 = columns[1] == local6 && columns[2] == remote6;
        if (!v4 && !v6) continue;
        if (columns[3] != kEstablished && columns[3] != kSynReceived) continue;
        const std::string_view text = columns[kUidColumn];
        uint32_t value = 0;
        const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || at != text.data() + text.size()) return false;
        *uid = value;
        return true;
    }
    return false;
}

}  // namespace zrkip

// ---- request text ------------------------------------------------------------

extern "C" int IPSplitAddress(const char *address, char *host, char *port) {
    if (address == nullptr || host == nullptr || port == nullptr) return -1;
    host[0] = '\0';
    port[0] = '\0';
    size_t colons = 0;
    for (const char *p = address; *p != '\0'; ++p) colons += *p == ':';

    std::string hostText;
    std::string portText;
    if (colons >= 2 && address[0] == '[') {
        const char *start = address + 1;
        const char *close = std::strchr(start, ']');
        if (close != nullptr) {
            hostText.assign(start, close);
            portText.assign(close + 1);
        } else {
            hostText.assign(start);
        }
    } else if (colons >= 2) {
        hostText.assign(address);
    } else {
        const char *colon = std::strchr(address, ':');
        if (colon != nullptr) {
            hostText.assign(address, colon);
            portText.assign(colon + 1);
        } else {
            hostText.assign(address);
        }
    }
    if (hostText.size() > IP_HOST_MAX || portText.size() > IP_PORT_MAX) return -1;
    std::memcpy(host, hostText.c_str(), hostText.size() + 1);
    std::memcpy(port, portText.c_str(), portText.size() + 1);
    return 0;
}

extern "C" int IPBuildRequest(IPOperation op, const char *host, const char *port,
                              const char *account, const char *password, const char *text,
                              char **request, size_t *length) {
    if (request == nullptr || length == nullptr) return ZRK_ERR_PARAMETER;
    *request = nullptr;
    *length = 0;
    const char *word = OperationWord(op);
    if (word == nullptr) return ZRK_ERR_PARAMETER;

    const bool addressed = op != IP_OP_ENCRYPT && op != IP_OP_DECRYPT;
    const char *f2 = addressed && host != nullptr ? host : "";
    const char *f3 = addressed && port != nullptr ? port : "";
    const char *f5 = "";
    const char *f6 = "";
    const char *f7 = "";
    if (op == IP_OP_OPEN) {
        if (account == nullptr || password == nullptr) return ZRK_ERR_PARAMETER;
        f5 = account;
        f6 = password;
    }
    if (op == IP_OP_PROC || op == IP_OP_ENCRYPT || op == IP_OP_DECRYPT) {
        if (text == nullptr) return ZRK_ERR_PARAMETER;
        f7 = text;
    }
    if (addressed && (std::strlen(f2) > IP_HOST_MAX || std::strlen(f3) > IP_PORT_MAX)) {
        return ZRK_ERR_PARAMETER;
    }
    if (HasBreak(f2) || HasBreak(f3) || HasBreak(f5) || HasBreak(f6)) return ZRK_ERR_PARAMETER;
    if (op == IP_OP_PROC ? HasBreak(f7) : HasTab(f7)) return ZRK_ERR_PARAMETER;

    const size_t l2 = std::strlen(f2);
    const size_t l3 = std::strlen(f3);
    const size_t l4 = std::strlen(word);
    const size_t l5 = std::strlen(f5);
    const size_t l6 = std::strlen(f6);
    const size_t l7 = std::strlen(f7);
    // Every field but the count and five TABs follow the first TAB.
    const size_t after = l2 + l3 + l4 + l5 + l6 + l7 + 5;
    if (after > kMaxCount) return ZRK_ERR_PARAMETER;
    size_t count = 0;
    switch (op) {
    case IP_OP_OPEN: count = l2 + l3 + l5 + l6 + 9; break;
    case IP_OP_CLOSE: count = l2 + l3 + 9; break;
    case IP_OP_FORCE_CLOSE: count = l2 + l3 + 15; break;
    case IP_OP_PROC: count = l2 + l3 + l7 + 9; break;
    case IP_OP_ENCRYPT:
    case IP_OP_DECRYPT: count = l4 + l7 + 5; break;
    }
    char digits[24];
    const int nd = std::snprintf(digits, sizeof digits, "%zu", count);
    const size_t total = static_cast<size_t>(nd) + 1 + after;
    char *buffer = static_cast<char *>(std::malloc(total + 1));
    if (buffer == nullptr) {
        *length = total;
        return ZRK_ERR_NO_MEMORY;
    }
    size_t at = 0;
    auto put = [&](const char *s, size_t n, bool tabAfter) {
        std::memcpy(buffer + at, s, n);
        at += n;
        if (tabAfter) buffer[at++] = '\t';
    };
    put(digits, static_cast<size_t>(nd), true);
    put(f2, l2, true);
    put(f3, l3, true);
    put(word, l4, true);
    put(f5, l5, true);
    put(f6, l6, true);
    put(f7, l7, false);
    buffer[at] = '\0';
    *request = buffer;
    *length = at;
    return 0;
}

extern "C" int IPNeedsAutoLogout(const char *command, const char *body) {
    if (command == nullptr || body == nullptr) return 0;
    if (std::strncmp(command, IP_ZRKCIPSERVICE, sizeof IP_ZRKCIPSERVICE - 1) == 0) return 0;
    if (std::strncmp(body, "00", 2) == 0) return 0;
    if (strnlen(body, 7) < 7) return 0;
    return std::strncmp(body + 3, "9403", 4) == 0 ? 1 : 0;
}

// ---- public operations ---------------------------------------------------------

extern "C" int ZRKIPLogIn(const char *ipAddress, const char *user, const char *password,
                          int optionFlag, unsigned char *senseData) {
    (void)optionFlag;
    (void)senseData;
    static const Texts texts {"ZRKIPLogIn", "malloc error. size=%d", 1,
                              "ReceiveData error for open.", 1, kInfo};
    ZRKC_Com_OpenTrace(kTraceLogIn);
    TraceText(1, kInfo, texts.pName, "START");
    TraceText(3, kInfo, texts.pName, "IPaddress=%.*s", kLogShown, zrkip::Safe(ipAddress));
    int ret = -1;
    char *body = nullptr;
    int length = 0;
    if (geteuid() != 0) {
        ZRKerrno = ZRK_ERR_PERMISSION;
    } else if (ipAddress == nullptr || user == nullptr || password == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
    } else if (Exchange(texts, IP_OP_OPEN, ipAddress, user, password, nullptr, &body, &length) ==
               0) {
        if (std::strcmp(body, "true") == 0 && length == 4) {
            ret = 0;
        } else {
            TraceText(1, kInfo, texts.pName, "Login Error. retval=%.*s", kLogShown, body);
            ZRKerrno = ZRK_ERR_LOGIN;
        }
        std::free(body);
    }
    TraceEndOf(texts.pName, ret);
    ZRKC_Com_CloseTrace();
    return ret;
}

extern "C" int ZRKIPLogOut(const char *ipAddress, const char *user, int optionFlag,
                           unsigned char *senseData) {
    (void)user;
    (void)senseData;
    static const Texts texts {"ZRKIPLogOut", "malloc error. iComLen=%d", 2,
                              "ReceiveData error.", 2, kInfo};
    ZRKC_Com_OpenTrace(kTraceLogOut);
    TraceText(1, kInfo, texts.pName, "START");
    TraceText(3, kInfo, texts.pName, "IPaddress=%.*s OptFlag=%08x", kLogShown,
              zrkip::Safe(ipAddress), static_cast<unsigned>(optionFlag));
    int ret = -1;
    char *body = nullptr;
    int length = 0;
    const IPOperation op =
        (static_cast<unsigned>(optionFlag) & ZRK_OPT_FORCE) != 0 ? IP_OP_FORCE_CLOSE : IP_OP_CLOSE;
    if (geteuid() != 0) {
        ZRKerrno = ZRK_ERR_PERMISSION;
    } else if (ipAddress == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
    } else if (Exchange(texts, op, ipAddress, nullptr, nullptr, nullptr, &body, &length) == 0) {
        std::free(body);
        ret = 0;
    }
    zrkplatform::TraceEnd(1, texts.pName, ret);
    ZRKC_Com_CloseTrace();
    return ret;
}

extern "C" int IPExecVastrelCLI(const char *ipAddress, const char *user, int optionFlag,
                                const char *command, char **reply) {
    (void)user;
    static const Texts texts {"IPExecVastrelCLI", "malloc error. iAllocLen=%d", 1,
                              "ReceiveData error.", 1, kErr};
    if (reply != nullptr) *reply = nullptr;
    TraceText(2, kInfo, texts.pName, "START");
    TraceText(3, kInfo, texts.pName, "IPaddr=%.*s OptFlag=%08x", kLogShown, zrkip::Safe(ipAddress),
              static_cast<unsigned>(optionFlag));
    if (command != nullptr && strnlen(command, IP_CMD_MAX + 1) > IP_CMD_MAX) {
        TraceText(
            1, kInfo, texts.pName, "Command length is too large. iCmdLen = %d",
            std::strlen(command) > INT_MAX ? INT_MAX : static_cast<int>(std::strlen(command)));
        ZRKerrno = ZRK_ERR_TOO_LONG;
        TraceEndOf(texts.pName, -1);
        return -1;
    }
    if (ipAddress == nullptr || command == nullptr || reply == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
        TraceEndOf(texts.pName, -1);
        return -1;
    }
    char *body = nullptr;
    int length = 0;
    if (Exchange(texts, IP_OP_PROC, ipAddress, nullptr, nullptr, command, &body, &length) != 0) {
        TraceEndOf(texts.pName, -1);
        return -1;
    }
    if (std::strncmp(body, "ERROR:", 6) == 0) {
        TraceText(1, kErr, texts.pName, "ReceiveData is ERROR:.");
        std::free(body);
        ZRKerrno = ZRK_ERR_RECEIVE;
        TraceEndOf(texts.pName, -1);
        return -1;
    }
    TraceText(3, kInfo, texts.pName, "ReceiveData. Len=%d", length);
    TraceText(3, kInfo, texts.pName, "len=%d  return=%.*s", length, kLogShown, body);
    if (IPNeedsAutoLogout(command, body)) LogoutQuietly(ipAddress);
    *reply = body;
    TraceEndOf(texts.pName, 0);
    return 0;
}

extern "C" int ZRKIPProc(int type, const char *text, char **result, unsigned char *senseData) {
    (void)senseData;
    static const Texts texts {"ZRKIPProc", "malloc error. iAllocLen=%d", 2,
                              "ReceiveData error.", 2, kErr};
    if (result != nullptr) *result = nullptr;
    ZRKC_Com_OpenTrace(kTraceProc);
    TraceText(1, kInfo, texts.pName, "START");
    TraceText(3, kInfo, texts.pName, "ProcType=%d", type);
    int ret = -1;
    char *body = nullptr;
    int length = 0;
    if (text == nullptr || result == nullptr) {
        ZRKerrno = ZRK_ERR_PARAMETER;
    } else if (Exchange(texts, type == 1 ? IP_OP_ENCRYPT : IP_OP_DECRYPT, nullptr, nullptr, nullptr,
                        text, &body, &length) == 0) {
        TraceText(3, kInfo, texts.pName, "ReceiveData. Len=%d", length);
        *result = body;
        ret = 0;
    }
    zrkplatform::TraceEnd(1, texts.pName, ret);
    ZRKC_Com_CloseTrace();
    return ret;
}
