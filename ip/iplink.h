/*
 * iplink.h - the array command link: the client of the LAN interface
 * management service (iplink.cpp) and the array reply format with its error
 * mapping (ipreply.cpp).
 *
 * The service listens on 127.0.0.1 at the port of the property
 * ssh_port_number. Each request is one TCP connection: one request text out,
 * one framed reply back ("<count>\t<count bytes of body>"), then close.
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

#include <stddef.h>
#include <stdint.h>

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

/* ---- ZRKerrno values set by the link ---------------------------------------- */

#define IP_ERR_PARAM        13    /* a text that the framing cannot carry */
#define IP_ERR_NOT_ROOT     34    /* log-in or log-out by a non-root user */
#define IP_ERR_NOMEM        36    /* no memory for a request, body or line */
#define IP_ERR_NUMBER       900   /* a hexadecimal number that does not fit */
#define IP_ERR_NO_LINE      902   /* a reply line that the command needs is missing */
#define IP_ERR_REPLY        904   /* reply format: no line, bad status, wrong line count */
#define IP_ERR_TOO_LONG     923   /* a command text longer than IP_CMD_MAX */
#define IP_ERR_NO_SERVICE   1903  /* socket or connection to the service failed */
#define IP_ERR_LOGIN        1904  /* "open" not answered with exactly "true" */
#define IP_ERR_RECEIVE      1905  /* reply not received, malformed, or "ERROR:" */

/* ---- codes of ReceiveData and SelectAndReceive -------------------------------- */

#define IP_RCV_OK           0
#define IP_RCV_TIMEOUT      1     /* the wait expired */
#define IP_RCV_WAIT_FAILED  2     /* poll/select itself failed */
#define IP_RCV_FAILED       3     /* recv failed */
#define IP_RCV_BAD_COUNT    4     /* malformed count header */
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

/* Receive one framed reply: *body is count + 1 bytes, terminated, *length the
 * count. Returns an IP_RCV_ code; on failure *body is NULL and *length 0. */
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
 * Returns 0; IP_ERR_PARAM (13) for a host, port, account, password or
 * command text with a TAB or newline (a TAB alone for the encrypt/decrypt
 * text), a host or port longer than its field, or a request too long to
 * count; IP_ERR_NOMEM (36) without memory. Sets nothing global. */
int IPBuildRequest(IPOperation op, const char *host, const char *port,
                   const char *account, const char *password, const char *text,
                   char **request, size_t *length);
/* Whether a reply body asks for the automatic logout after command: not a
 * service command, body not starting "00", characters 4 to 7 "9403". */
int IPNeedsAutoLogout(const char *command, const char *body);

/* ---- array reply format and error mapping (ipreply.cpp) ----------------------- */

/* Number of lines of a reply (each newline after the first character ends a
 * line, and the rest is one more). Empty reply: 904, -1. */
int IPGetLineNumFromData(const char *data, int *count);
/* Fill lines (the caller's array of *count NULL entries as reported by
 * IPGetLineNumFromData) with allocated copies of each line; *count becomes
 * the number made. 904 (leading newline, no line, more lines than the array
 * holds) or 36; on failure every line made is freed and its entry set back
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
 * 32 bits. 0, or -1 with ZRKerrno 900 when it does not fit in 64 bits. A
 * NULL text reads as 0. */
int IPReadHex(const char *text, uint32_t *value);
/* The same for 64-bit values. */
int IPReadHex64(const char *text, uint64_t *value);
/* Run one command and split its reply: IPExecVastrelCLI, count, allocate the
 * line array, split, free the reply. 0 with *lines (count entries, each an
 * allocated line) and *count; -1 with ZRKerrno and *lines NULL. Free the
 * result with IPFreeLines. */
int IPRunCommand(const char *ipAddress, const char *user, const char *command,
                 char ***lines, int *count);
/* Free count lines and the array; NULL is fine. */
void IPFreeLines(char **lines, int count);
/* The mapped ZRKerrno of an array error code from the built-in table, or 0
 * when the code is not in it. */
int IPArrayErrorValue(uint32_t code);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZRK_IPLINK_H */
