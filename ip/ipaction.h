/*
 * ipaction.h - the array's action commands over the LAN interface management
 * service: starting, stopping, suspending, resuming and changing copy
 * sessions, snap data volume initialisation, copy protection, RVZ buffer
 * setting and the account test (ipaction.cpp), and the two commands that
 * answer with one result row per session: the concurrent KZP start and the
 * multi-session command (ipmulti.cpp).
 *
 * Every wrapper builds one command text, runs it with IPExecVastrelCLI and
 * reads the reply in the array's reply format (iplink.h). The command texts
 * are printed piece by piece into one fixed format each; an empty piece keeps
 * the blanks around it, so "change copy-vz -session-id 5  " is what the
 * array expects for a change without reverse.
 *
 * Return convention: 0, or -1 with ZRKerrno set; the reply and its lines are
 * released on every way out. Arguments that the command text cannot carry
 * (a BoxID with a control character or a double quote before its NUL; a
 * piece longer than its field) are refused before any connection is made.
 */
#ifndef ZRK_IPACTION_H
#define ZRK_IPACTION_H

#include "iplink.h"
#include "zrkapi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <cstddef>
#include <string>
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ---- limits --------------------------------------------------------------- */

#define IP_SINGLE_CMD_MAX   511   /* text of a single-session command (512 with NUL) */
#define IP_AUTH_PIECE_MAX   511   /* "-name ..." and "-password ..." pieces */
#define IP_TIMER_PIECE_MAX  15    /* "-timer " and at most 8 characters */
#define IP_SUSPEND_LIST_MAX 5108  /* a suspend id list reaching this is refused */

/* The wrappers read the option bits by their ZRK_OPT_ names (zrkapi.h). */

/* ---- records ---------------------------------------------------------------- */

/* Request of SetRvzBuffer, filled by the out-of-band RVZ buffer setting. */
typedef struct CliRvzBufferSetting {
    int32_t iPartition;               /* RVZ buffer (partition) number */
    int32_t iBuffType;                /* 1 send, 2 receive; others send no type */
    int32_t iForwardInterval;         /* forwarding interval */
    int32_t iMonitorTime;             /* monitoring time */
    char    caRemoteBoxID[ZRK_BOXID_LEN]; /* partner's BoxID, not terminated */
} CliRvzBufferSetting;

/* One result row of a concurrent start (reply columns 0 to 6). */
typedef struct CliConcStartResult {
    uint32_t uiResult;                /* col 0: 0 started, 1 started but to be stopped,
                                         else not started (ipconc.h) */
    uint32_t uiErrCode;               /* col 1: the array's error code */
    uint32_t uiSessionID;             /* col 2: session identifier */
    uint32_t uiSrcOlu;                /* col 3: source volume */
    uint32_t uiDstOlu;                /* col 4: destination volume */
    uint32_t uiSrcLba_high;           /* col 5: source start block, high half */
    uint32_t uiSrcLba_low;            /* col 5: source start block, low half */
    uint32_t uiDstLba_high;           /* col 6: destination start block, high half */
    uint32_t uiDstLba_low;            /* col 6: destination start block, low half */
    uint32_t uiaReserved[3];          /* always 0 */
} CliConcStartResult;

/* One row of the multi-session result table. Row 0 is the head: kind (1 the
 * rows follow, 2 the command failed), result (0 or -1), error (ZRKerrno of
 * the failure) and the number of rows. Rows 1..count: session id, result
 * (0 or -1), the ZRKerrno of the session's array error, and 0. */
typedef struct CliMultiSessionResult {
    uint32_t uiKindOrID;              /* head: kind; row: session identifier */
    int32_t  iResult;                 /* 0 success, -1 failure */
    int32_t  iError;                  /* ZRKerrno of the failure, else 0 */
    uint32_t uiCount;                 /* head: rows that follow; row: 0 */
} CliMultiSessionResult;

#define IP_MULTI_KIND_ROWS   1u
#define IP_MULTI_KIND_FAILED 2u

/* Command numbers of VastrelCli4MultiOpt. */
#define IP_MULTI_STOP        1
#define IP_MULTI_SUSPEND_VZ  10
#define IP_MULTI_SUSPEND_RVZ 11
#define IP_MULTI_RESUME_VZ   12
#define IP_MULTI_RESUME_RVZ  13
#define IP_MULTI_CHANGE_VZ   14
#define IP_MULTI_CHANGE_RVZ  15

/* ---- action commands (ipaction.cpp) ---------------------------------------- */

int ChangeCopyVz(const char *ipAddress, const char *user, int option, int sessionId);
int ChangeCopyRvz(const char *ipAddress, const char *user, int option, int sessionId);
int ResumeCopyVz(const char *ipAddress, const char *user, int option, int sessionId);
int ResumeCopyRvz(const char *ipAddress, const char *user, int option, int sessionId);
int InitializeSnapDataVolume(const char *ipAddress, const char *user, int volume);
/* Copy protection from bit 0 of statusInfo[0]; statusInfo holds 2 bytes. */
int SetVolume(const char *ipAddress, const char *user, int volume,
              const unsigned char *statusInfo);
int SetMorvicTierVolume(const char *ipAddress, const char *user, int volume,
                        const unsigned char *statusInfo);
int SetRvzBuffer(const char *ipAddress, const char *user, CliRvzBufferSetting setting);
/* The starts store the new session's identifier (reply line 2) in
 * ZRKsessionid; the QuickKZP restart form (ZRK_OPT_RESTART) leaves it. */
int StartCopyVz(const char *ipAddress, const char *user, int option, const IPCopyReq *req);
int StartCopyKzp(const char *ipAddress, const char *user, int option, const IPCopyReq *req);
int StartCopyQuickKzp(const char *ipAddress, const char *user, int option,
                      const IPCopyReq *req);
int StartCopyRvz(const char *ipAddress, const char *user, int option, const IPCopyReq *req);
int StartCopySnapKzp(const char *ipAddress, const char *user, int option,
                     const IPCopyReq *req);
int StopCopySession(const char *ipAddress, const char *user, int option, int count,
                    const int *sessionIds);
int StopVvolCopySession(const char *ipAddress, const char *user, int option, int count,
                        const int *sessionIds);
int SuspendCopyVz(const char *ipAddress, const char *user, int option, int mode, int count,
                  const int *sessionIds);
int SuspendCopyRvz(const char *ipAddress, const char *user, int option, int mode, int count,
                   const int *sessionIds);
/* Tests the account user with password; *result receives reply line 2. */
int TestAuthentication(const char *ipAddress, const char *user, const char *password,
                       int *result);

/* ---- multi-session commands (ipmulti.cpp) ----------------------------------- */

/* One call of a concurrent KZP start: phase 0 first (stores the concurrent
 * identifier), 1 middle, 2 last (hands back *rowCount rows in *rows, which
 * the caller frees with free()). An entry with ZRK_OPT_RESTART restarts the
 * count sessions of sessionIds instead and also hands back rows. */
int StartCopyConcurrentKzp(const char *ipAddress, const char *user, int count,
                           const int *sessionIds, int phase, uint32_t *concId,
                           CONC_SES_INFO entry, uint32_t *rowCount,
                           CliConcStartResult **rows);
/* One stop, suspend, resume or change command for count sessions; table has
 * count + 1 rows cleared by the caller. 0 when every row was read. */
int VastrelCli4MultiOpt(const char *ipAddress, const char *user, int option, int command,
                        int count, const int *sessionIds, CliMultiSessionResult *table);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(CliRvzBufferSetting) == 56, "CliRvzBufferSetting layout");
static_assert(offsetof(CliRvzBufferSetting, caRemoteBoxID) == 16, "CliRvzBufferSetting layout");
static_assert(sizeof(CliConcStartResult) == 48, "CliConcStartResult layout");
static_assert(offsetof(CliConcStartResult, uiDstLba_low) == 32, "CliConcStartResult layout");
static_assert(sizeof(CliMultiSessionResult) == 16, "CliMultiSessionResult layout");
static_assert(offsetof(CliMultiSessionResult, uiCount) == 12, "CliMultiSessionResult layout");

// Pieces shared by the two source files of the action commands.
namespace zrkip {

// printf into a std::string of whatever length it needs.
std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The transfer mode digits of an option word: "10", "02", "03" or "00".
const char *TransferMode(unsigned option);
// The text of a 40-byte BoxID field: the bytes up to the first NUL; what
// follows a NUL is not part of the BoxID. false for a text that a quoted
// command piece cannot carry (control characters, a double quote).
bool BoxIdText(const char *field, std::string *text);

}  // namespace zrkip
#endif

#endif /* ZRK_IPACTION_H */
