// Client of the LAN interface management service: one TCP connection to
// 127.0.0.1 per request, one request text out, one framed reply back.
//
// Everything a request needs is checked before the connection is made: the
// address is split into its host and port fields without cutting anything,
// and a field that holds a TAB or a newline (which would shift the service's
// fields or run a second array command) is refused with 13. Sends never raise
// SIGPIPE; waits are computed without wrap-around.
#include "iplink.h"

#include "platform.h"
#include "sysio.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

using namespace zrkip;

namespace {

constexpr char kInfo[] = "INFO";
constexpr char kErr[] = "ERR";

constexpr int kTraceLogIn = 1026;
constexpr int kTraceLogOut = 1027;
constexpr int kTraceProc = 1030;

constexpr size_t kHeaderRoom = 11;         // count digits, TAB and first body bytes
constexpr uint32_t kMaxCount = 2147483647; // largest reply body
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
    char *request = nullptr;
    size_t requestLen = 0;
    int rc = IPBuildRequest(op, host, portText, account, password, text, &request, &requestLen);
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
        std::free(request);
        ZRKerrno = ZRK_ERR_NO_SERVICE;
        return -1;
    }
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (zrkplatform::sys::Connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) {
        TraceText(1, kInfo, texts.pName, "connect error for open. errno=%d", errno);
        std::free(request);
        CloseSocket(fd);
        ZRKerrno = ZRK_ERR_NO_SERVICE;
        return -1;
    }

    // The whole request, however the kernel splits it; a peer that went
    // away is a failed exchange, never a signal.
    size_t sent = 0;
    while (sent < requestLen) {
        const ssize_t n =
            zrkplatform::sys::Send(fd, request + sent, requestLen - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            TraceText(1, kErr, texts.pName, "send error. errno=%d", n < 0 ? errno : 0);
            std::free(request);
            CloseSocket(fd);
            ZRKerrno = ZRK_ERR_RECEIVE;
            return -1;
        }
        sent += static_cast<size_t>(n);
    }
    std::free(request);

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
    static const char name[] = "SelectAndReceive";
    if (received != nullptr) *received = 0;
    if (room <= 0 || buffer == nullptr || received == nullptr) return IP_RCV_FAILED;

    const double total = static_cast<double>(waitSeconds) + IP_WAIT_EXTRA +
                         (extraMicroseconds > 0 ? extraMicroseconds / 1e6 : 0.0);
    const double deadline = NowSeconds() + total;
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
    const ssize_t got = zrkplatform::sys::Recv(fd, buffer, static_cast<size_t>(room), 0);
    if (got < 0) {
        TraceText(1, kErr, name, "recv error. errno=%d", errno);
        return IP_RCV_FAILED;
    }
    *received = static_cast<int>(got);
    return IP_RCV_OK;
}

extern "C" int ReceiveData(int fd, uint32_t waitSeconds, int *length, char **body) {
    static const char name[] = "ReceiveData";
    TraceText(2, kInfo, name, "START");
    if (length != nullptr) *length = 0;
    if (body != nullptr) *body = nullptr;
    if (length == nullptr || body == nullptr) {
        return zrkplatform::TraceEnd(1, name, IP_RCV_FAILED);
    }
    auto fail = [&](int code) { return zrkplatform::TraceEnd(1, name, code); };

    // Header: the count digits and a TAB, within 11 bytes.
    char header[kHeaderRoom + 1] = {};
    size_t have = 0;
    size_t tab = 0;
    bool found = false;
    while (!found && have < kHeaderRoom) {
        int got = 0;
        int rc = SelectAndReceive(fd, waitSeconds, 0, static_cast<int>(kHeaderRoom - have), &got,
                                  header + have);
        if (rc != IP_RCV_OK) {
            TraceText(1, kErr, name, "SelectAndReceive error. Data Length.");
            return fail(rc);
        }
        if (got == 0) {
            TraceText(1, kErr, name, "iWkReceiveLen is zero.");
            return fail(IP_RCV_BAD_COUNT);
        }
        have += static_cast<size_t>(got);
        for (size_t i = 0; i < have; ++i) {
            if (header[i] == '\t') {
                tab = i;
                found = true;
                break;
            }
            if (header[i] < '0' || header[i] > '9') {
                TraceText(1, kErr, name, "cRcv_Data is not figure. %.*s", static_cast<int>(have),
                          header);
                return fail(IP_RCV_BAD_COUNT);
            }
        }
    }
    if (!found || tab == 0) {
        TraceText(1, kErr, name, "CommaPosition is not correct. %.*s", static_cast<int>(have),
                  header);
        return fail(IP_RCV_BAD_COUNT);
    }
    if (tab == 10 && header[0] > '2') {
        TraceText(1, kErr, name, "cRcv_num is not correct. %.*s", static_cast<int>(have), header);
        return fail(IP_RCV_BAD_COUNT);
    }
    uint64_t count = 0;
    for (size_t i = 0; i < tab; ++i) count = count * 10 + static_cast<uint64_t>(header[i] - '0');
    if (count == 0 || count > kMaxCount) {
        TraceText(1, kErr, name, "uiRcvNum is not correct. %u", static_cast<unsigned>(count));
        return fail(IP_RCV_BAD_COUNT);
    }

    const size_t bodyLen = static_cast<size_t>(count);
    char *data = static_cast<char *>(std::calloc(bodyLen + 1, 1));
    if (data == nullptr) {
        TraceText(1, kErr, name, "malloc error. %u", static_cast<unsigned>(bodyLen + 1));
        return fail(IP_RCV_NOMEM);
    }
    size_t filled = have - tab - 1;
    if (filled > bodyLen) filled = bodyLen;
    std::memcpy(data, header + tab + 1, filled);
    while (filled < bodyLen) {
        int got = 0;
        const size_t missing = bodyLen - filled;
        int rc = SelectAndReceive(fd, waitSeconds, 0, static_cast<int>(missing), &got,
                                  data + filled);
        if (rc != IP_RCV_OK) {
            TraceText(1, kErr, name, "SelectAndReceive error. Data.");
            std::free(data);
            return fail(rc);
        }
        if (got == 0) {
            TraceText(1, kErr, name, "All data cannot be received. %d", static_cast<int>(missing));
            std::free(data);
            return fail(IP_RCV_SHORT);
        }
        filled += static_cast<size_t>(got);
    }
    *length = static_cast<int>(bodyLen);
    *body = data;
    return zrkplatform::TraceEnd(2, name, IP_RCV_OK);
}

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
