/*
 * iplink.h - the array command link: the client of the LAN interface
 * management service (iplink.cpp) and the array reply format with its error
 * mapping (ipreply.cpp).
 *
 * The service listens on 127.0.0.1 at the port of the property
 * ssh_port_number. Each request is one TCP connection: one request text out,
 * one framed reply back ("<count>\t<count bytes of body>"), then close. A
 * listener that is neither root's nor the caller's is treated as no service
 * (ZRK_ERR_NO_SERVICE) before anything is sent.
 *
 * Request text: seven fields separated by TAB, no terminator:
 *   count \t host \t port \t operation \t account \t password \t text
 * The count is what the service expects for each operation (see
 * IPBuildRequest); it is not always the length of what follows.
 *
 * Return convention: the public operations return 0, or -1 with ZRKerrno set
 * and every buffer and the connection released. Texts that would break the
 * framing (TAB, newline or, for a counted field, anything too long) are
 * refused before any connection is made.
 */
#ifndef ZRK_IPLINK_H
#define ZRK_IPLINK_H

#include "zrkapi.h"
#include "zrkerrno.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include "platform.h"

#include <cstddef>
#include <string>
#include <string_view>
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ---- limits --------------------------------------------------------------- */

#define IP_CMD_MAX          5120      /* longest "proc" command text */
#define IP_HOST_MAX         63        /* longest host field */
#define IP_PORT_MAX         63        /* longest port field */
#define IP_SERVICE_HOST     "127.0.0.1"
#define IP_ZRKCIPSERVICE    "zrkcipservice_" /* commands of the service itself */

/* ZRKerrno values of the link (zrkerrno.h): ZRK_ERR_PARAMETER a text that the
 * framing cannot carry, ZRK_ERR_PERMISSION log-in or log-out by a non-root
 * user, ZRK_ERR_NO_MEMORY, ZRK_ERR_REPLY_NUMBER a hexadecimal number that does
 * not fit, ZRK_ERR_REPLY_INCOMPLETE a reply line that the command needs is
 * missing, ZRK_ERR_REPLY a reply without lines, a bad status or a wrong line
 * count, ZRK_ERR_TOO_LONG a command text longer than IP_CMD_MAX,
 * ZRK_ERR_NO_SERVICE, ZRK_ERR_LOGIN and ZRK_ERR_RECEIVE. */

/* ---- codes of ReceiveData and SelectAndReceive -------------------------------- */

#define IP_RCV_OK           0
#define IP_RCV_TIMEOUT      1     /* the wait expired */
#define IP_RCV_WAIT_FAILED  2     /* poll/select itself failed */
#define IP_RCV_FAILED       3     /* recv failed */
#define IP_RCV_BAD_COUNT    4     /* malformed count header, or a NUL in the body */
#define IP_RCV_SHORT        5     /* the connection ended inside the body */
#define IP_RCV_NOMEM        6     /* no memory for the body */

/* Defaults of the connection settings. */
#define IP_DEFAULT_TIMEOUT  30
#define IP_DEFAULT_PORT     32002
#define IP_DEFAULT_LOOP     15
#define IP_WAIT_EXTRA       10    /* seconds added to every receive wait */

/* ---- public operations (declared again in zrkapi.h) ---------------------------- */

/* "open": log in to the array at address with an account. 0 when the service
 * answers exactly "true". optionFlag and senseData are not used. */
int ZRKIPLogIn(const char *ipAddress, const char *user, const char *password,
               int optionFlag, unsigned char *senseData);
/* "close", or "force_close" with optionFlag bit 0x2. Any body is success. */
int ZRKIPLogOut(const char *ipAddress, const char *user, int optionFlag,
                unsigned char *senseData);
/* "proc": run one array command; *reply receives the body (caller frees),
 * NULL on every failure. A body whose error code is 9403 (the array ended
 * the login) is followed by an automatic "force_close" for the address. */
int IPExecVastrelCLI(const char *ipAddress, const char *user, int optionFlag,
                     const char *command, char **reply);
/* "encrypt" (type 1) or "decrypt" (any other type) a text through the
 * service; *result receives the body (caller frees), NULL on failure. */
int ZRKIPProc(int type, const char *text, char **result, unsigned char *senseData);

/* ---- client pieces --------------------------------------------------------- */

/* Receive one framed reply (zrkip::ReplyFrame) within one wait of
 * waitSeconds + IP_WAIT_EXTRA seconds for the whole of it: *body is count + 1
 * bytes, terminated, *length the count. Returns an IP_RCV_ code; on failure
 * *body is NULL and *length 0. */
int ReceiveData(int fd, uint32_t waitSeconds, int *length, char **body);
/* Wait up to waitSeconds + IP_WAIT_EXTRA seconds and extraMicroseconds for
 * the socket to become readable, then receive once at most room bytes into
 * buffer. 0 with *received the count (0: the peer closed), 1 time-out, 2 the
 * wait failed, 3 the receive failed. */
int SelectAndReceive(int fd, uint32_t waitSeconds, int extraMicroseconds, int room,
                     int *received, char *buffer);
/* The receive wait (ssh_timeout x ssh_loop, in seconds, saturated at
 * UINT32_MAX) and the service port. Always 0. */
int GetSocketProperty(uint32_t *waitSeconds, uint32_t *port);
void CloseSocket(int fd);

/* Operations of the request text. */
typedef enum IPOperation {
    IP_OP_OPEN = 0,
    IP_OP_CLOSE,
    IP_OP_FORCE_CLOSE,
    IP_OP_PROC,
    IP_OP_ENCRYPT,
    IP_OP_DECRYPT
} IPOperation;

/* Split an address text into the host and port fields (each buffer at least
 * IP_HOST_MAX + 1 / IP_PORT_MAX + 1 bytes): "a.b.c.d[:port]", "[v6]:port",
 * or a bare IPv6 text. -1 when a piece would be longer than its field;
 * nothing is cut silently. */
int IPSplitAddress(const char *address, char *host, char *port);
/* Build the request text of an operation in a new buffer of exactly its
 * length plus a terminator (*request, freed by the caller; *length without
 * the terminator). host and port are ignored by encrypt/decrypt; account and
 * password are read by open only; text by proc, encrypt and decrypt.
 * Returns 0; ZRK_ERR_PARAMETER for a host, port, account, password or
 * command text with a TAB or newline (a TAB alone for the encrypt/decrypt
 * text), a host or port longer than its field, or a request too long to
 * count; ZRK_ERR_NO_MEMORY without memory. Sets nothing global. */
int IPBuildRequest(IPOperation op, const char *host, const char *port,
                   const char *account, const char *password, const char *text,
                   char **request, size_t *length);
/* Whether a reply body asks for the automatic logout after command: not a
 * service command, body not starting "00", characters 4 to 7 "9403". */
int IPNeedsAutoLogout(const char *command, const char *body);

/* ---- array reply format and error mapping (ipreply.cpp) ----------------------- */

/* Number of lines of a reply (each newline after the first character ends a
 * line, and the rest is one more). Empty reply: ZRK_ERR_REPLY, -1. */
int IPGetLineNumFromData(const char *data, int *count);
/* Fill lines (the caller's array of *count NULL entries as reported by
 * IPGetLineNumFromData) with allocated copies of each line; *count becomes
 * the number made. ZRK_ERR_REPLY (leading newline, no line, more lines than
 * the array holds) or ZRK_ERR_NO_MEMORY; on failure every line made is freed and its entry set back
 * to NULL. A positive *count at entry is the size of the array and is never
 * exceeded; 0 leaves the size to the text's own line count. */
int IPSplitDataByLine(const char *data, int *count, char **lines);
/* Judge a failed reply (status not 0) and set ZRKerrno. */
void IPSet_ZRKerrno(int status, char **lines, int count);
/* Map an array error code to ZRKerrno: built-in table, then the library
 * error catalogue (mode 3), then minus the code. */
void IPSet_ZRKerrno_main(int code);
/* Read an unsigned hexadecimal number as the replies carry it: leading
 * blanks skipped, conversion stops at the first non-digit, the value taken as
 * 32 bits. 0, or -1 with ZRKerrno ZRK_ERR_REPLY_NUMBER when it does not fit
 * in 64 bits. A NULL text reads as 0. */
int IPReadHex(const char *text, uint32_t *value);
/* The same for 64-bit values. */
int IPReadHex64(const char *text, uint64_t *value);
/* The mapped ZRKerrno of an array error code from the built-in table, or 0
 * when the code is not in it. */
int IPArrayErrorValue(uint32_t code);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

// The out-of-band layer. It takes the platform's helpers (FailWith,
// TraceText, TraceEnd ...) unqualified, as the in-band layer does.
namespace zrkip {

using namespace zrkplatform;

// A text for a trace line: "(null)" (Safe) or "NULL" (Shown) for none, as
// each function has always written it.
inline const char *Safe(const char *text) { return text != nullptr ? text : "(null)"; }
inline const char *Shown(const char *text) { return text != nullptr ? text : "NULL"; }

// The 64-bit number of a high and a low half.
inline uint64_t Join64(uint32_t high, uint32_t low) { return (uint64_t{high} << 32) | low; }

// ---- the reply framing -----------------------------------------------------------

// The largest reply body taken from the service. A count above it is refused
// as a malformed count (IP_RCV_BAD_COUNT) before anything is allocated.
constexpr size_t kReplyMax = 16u * 1024 * 1024;

// The framing of one reply, "<count>\t<count bytes of body>", read from the
// bytes as they arrive, with no I/O of its own: ReceiveData receives into
// Space() and reports every receive to Received(); the fuzz target feeds it
// from memory.
//
// The header is read into at most 11 bytes: decimal digits up to a TAB, a
// count of 1 to kReplyMax (a 10-digit count beginning above '2' is refused
// before it is converted); the header bytes after the TAB are the first body
// bytes. The body buffer grows as the bytes arrive, never ahead of them to
// the announced count. A NUL inside the body is a broken reply
// (IP_RCV_BAD_COUNT), as the caller could not tell the text from its end.
class ReplyFrame {
public:
    ReplyFrame() = default;
    ~ReplyFrame();
    ReplyFrame(const ReplyFrame &) = delete;
    ReplyFrame &operator=(const ReplyFrame &) = delete;

    // Where the next received bytes go, *room how many are wanted (never 0);
    // NULL when nothing more is wanted: the reply is whole (Done), broken, or
    // its body could not grow (Code() IP_RCV_NOMEM).
    char *Space(size_t *room);
    // n bytes (at most the room given) were received into Space(); 0 means
    // the service closed the connection. Returns Code().
    int Received(size_t n);
    // IP_RCV_OK while the reply is incomplete and when it is whole; else
    // IP_RCV_BAD_COUNT, IP_RCV_SHORT or IP_RCV_NOMEM, and Failure() says why
    // in the words of the receive trace.
    int Code() const { return iCode; }
    const std::string &Failure() const { return sFailure; }
    bool Done() const { return bDone; }
    // Whether the count header is still being read.
    bool InHeader() const { return !bCounted; }
    // The whole body, terminated, handed to the caller (who frees it), and
    // its length; NULL unless Done().
    char *TakeBody(size_t *length);

private:
    int Fail(int code, std::string text);
    int ReadHeader(size_t before);
    int TakeBodyBytes(const char *bytes, size_t n);
    bool Grow();

    char caHeader[12] = {};     // the count header as received (11 bytes at most)
    size_t uiHave = 0;          // header bytes received
    bool bCounted = false;      // the header is read and uiCount known
    size_t uiCount = 0;         // body length announced by the header
    char *pBody = nullptr;      // body bytes received so far (malloc'd)
    size_t uiCapacity = 0;      // body bytes pBody holds, the terminator not counted
    size_t uiFilled = 0;        // body bytes received
    bool bDone = false;         // all uiCount body bytes are in
    int iCode = IP_RCV_OK;      // IP_RCV_ code of the failure, OK while none
    std::string sFailure;       // trace text of the failure
};

// ---- who holds the service's port -------------------------------------------------

// One end of a TCP connection over IPv4: the address as a sockaddr_in holds
// it (network byte order) and the port in host byte order.
struct TcpEnd {
    uint32_t uiAddress;  // IPv4 address, network byte order
    uint16_t usPort;     // port, host byte order
};

// The owner of one socket in the text of /proc/net/tcp or /proc/net/tcp6:
// the entry whose local address is local and whose remote address is remote
// (in tcp6 through their v4-mapped form ::ffff:a.b.c.d), in the state
// established or, before the accept, the handshake's received SYN; an
// accepted socket carries its listener's owner. true with *uid the entry's
// uid column; false when no such entry is there, or its uid is not a number.
bool FindTcpOwner(std::string_view table, TcpEnd local, TcpEnd remote, uint32_t *uid);

// ---- numbers of a reply -------------------------------------------------------

// The plain hexadecimal number at the start of text (not NULL): blanks, then
// hex digits up to the first other character, whose place is returned; NULL
// when the value needs more than 64 bits (*value is then 0).
const char *ScanPlainHex(const char *text, uint64_t *value);
// A status or value line as the action commands read it (IPReadHex): blanks,
// then hex digits up to the first other character. 0, or -1 with
// ZRK_ERR_REPLY_NUMBER when the value needs more than 32 bits.
int ReadHex32(const char *text, uint32_t *value);

// strtoul(base 16) over the text's bytes only, as the show replies are read:
// blanks, a sign and "0x" accepted, stops at the first non-digit, no digits
// is 0. 0, or -1 with ZRK_ERR_REPLY_NUMBER when the value needs more than
// 64 bits.
int ReadHex(std::string_view text, uint64_t *value);
// A 64-bit column into its halves: empty is 0/0; 1 to 8 characters go to
// the low half; 9 to 16 split into the first (length - 8) and the last 8.
// -1 with ZRK_ERR_REPLY_NUMBER: longer than 16 characters or a group beyond
// 64 bits.
int ReadHex64(std::string_view text, uint32_t *high, uint32_t *low);
// A status or count line of a show reply: ReadHex, and a value beyond 32
// bits is ZRK_ERR_REPLY_NUMBER too. A NULL line reads as 0.
int ReadHex32Line(const char *line, uint32_t *value);

// ---- one reply --------------------------------------------------------------------

// One reply of the array, split into its lines once (IPGetLineNumFromData,
// IPSplitDataByLine): line 1 the hex status; of a failed reply line 2 the
// array's error code; of a show reply line 2 the record count and the
// records from line 3 on. The lines are released with the object.
class Reply {
public:
    Reply() = default;
    ~Reply() { Release(); }
    Reply(const Reply &) = delete;
    Reply &operator=(const Reply &) = delete;

    // Runs the command (IPExecVastrelCLI) and splits its reply: 0, or -1
    // with the link's ZRKerrno or Split's.
    int Run(const char *ipAddress, const char *user, const std::string &command);
    // Splits a reply text as the link hands it over: 0, or -1 with
    // ZRK_ERR_REPLY (no text, empty, leading newline) or ZRK_ERR_NO_MEMORY.
    int Split(const char *text);
    void Release();

    // Lines of the reply.
    size_t Count() const { return uiCount; }
    // Line n counted from 1, or NULL when the reply has no such line.
    const char *Line(size_t n) const {
        return ppLines == nullptr || n == 0 || n > uiCount ? nullptr : ppLines[n - 1];
    }
    // Record line i of a show reply (0-based, line i + 3), or NULL.
    const char *Record(size_t i) const { return Line(i + 3); }
    // Lines from line n on (counted from 1).
    size_t LinesFrom(size_t n) const { return n <= uiCount ? uiCount - n + 1 : 0; }

    // The status of an action command: line 1 read by ReadHex32. 0 when it
    // is 0; else -1 with ZRK_ERR_REPLY_INCOMPLETE (no line 1),
    // ZRK_ERR_REPLY_NUMBER or the array's error (SetError).
    int CheckStatus() const;
    // The head of a show reply: at least 2 lines (ZRK_ERR_REPLY_INCOMPLETE),
    // status line by ReadHex32Line; a failure is the array's error
    // (SetError), ZRK_ERR_REPLY when that maps to no error. 0 or -1.
    int CheckHead() const;
    // CheckHead (" iLineCnt=%zu " traced under name for too few lines), then
    // the record count of line 2 into *records and at least that many record
    // lines (ZRK_ERR_REPLY_INCOMPLETE, traced). 0 or -1.
    int Head(const char *name, uint32_t *records) const;
    // ZRKerrno of a failed reply with the given status, as IPSet_ZRKerrno
    // judges its lines.
    void SetError(uint32_t status) const;

private:
    char **ppLines = nullptr;  // the lines, each allocated
    size_t uiCount = 0;        // lines at ppLines
};

}  // namespace zrkip
#endif

#endif /* ZRK_IPLINK_H */
