/*
 * ipsession.h - the session road of the out-of-band API: finding a session
 * that a copy request describes (ipsession.cpp), starting one (ipstart.cpp),
 * changing, resuming and suspending one (ipcontrol.cpp), stopping one
 * (ipstop.cpp) and initialising a snap data volume (ipsnapinit.cpp).
 *
 * The internal functions write into the trace that their public function
 * opened and never open or close it. Requests and rows are host order.
 *
 * Return convention: 0, or -1 with ZRKerrno set.
 */
#ifndef ZRK_IPSESSION_H
#define ZRK_IPSESSION_H

#include "ipshow.h"
#include "ipshow_volumes.h"
#include "zrkapi.h"

#include <stdint.h>

#ifdef __cplusplus
#include <cstddef>
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* IPCopyReq.CopyType */
#define IP_COPY_ANY        0
#define IP_COPY_KZP        1
#define IP_COPY_VZ         2
#define IP_COPY_MONITOR    3

/* IPCopyReq.CopyAttr carries the ZRK_IPATTR_ bits of zrkapi.h, the same
 * bits as CliCopySession.ucAttr. */

/* ---- lookup -------------------------------------------------------------------- */

/* The first usable session of the array that the request describes: by
 * identifier (Option ZRK_OPT_SESSION_ID, the identifier in SrcOLU) or by volume; the
 * virtual-volume sessions with Option ZRK_OPT_VVOL. listFlags is the show flag
 * word (128 from every caller). ZRK_ERR_NO_SESSION when none; *row
 * receives the session. */
int IPQueryTvc(const char *ip, const char *user, uint32_t Option, int listFlags,
               const IPCopyReq *req, CliCopySession *row);

/* The first usable row of rows[0..count-1] that the request describes;
 * option is only traced. ZRK_ERR_NO_SESSION when none. */
int IPSearchSession(const IPCopyReq *req, const CliCopySession *rows, int count,
                    uint32_t option, CliCopySession *row);

/* Converts count virtual-volume rows into copy-session rows; returns count. */
int IPConvVVolSes2CopySes(const CliVvolCopySession *in, int count, CliCopySession *out);

/* ---- start ---------------------------------------------------------------------- */

int IPStartTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req);
int IPStartQuickTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req);
int IPStartSnapTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req);

/* ---- control and stop -------------------------------------------------------------- */

int IPChangeTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req);
int IPResumeTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req);
int IPSuspendTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req);
int IPStopTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req);
int IPStopQuickTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req);
int IPStopSnapTvc(const char *ip, const char *user, uint32_t OptionFlag, IPCopyReq *req);

/* ---- snap data volumes ---------------------------------------------------------------- */

int IPSnapVolInit(const char *ip, const char *user, int olu);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrkip {

// ---- the array's session table ---------------------------------------------------

// The show flags a listing may use on this array: listFlags (and the
// ZRK_OPT_LIST_SEL_01 bit of ZRKOptionFlag) only when the array's model
// lists in the "-mode" form, else 0 (and the bit cleared). Asks "show
// model-info" when a flag is wanted. 0, or -1 with ZRKerrno.
int ListShowFlags(const char *ip, const char *user, int listFlags, int *flags);

// Every session of the array, in reply order.
struct SessionTable {
    Freed<CliCopySession> vRows;  // room rows, count of them filled
    size_t uiRoom = 0;            // the array's maximum session count (at least 1)
    size_t uiCount = 0;           // rows the array listed
};

// Reads the array's whole session list with one "show copy-sessions"
// (with the show flags listFlags as given) into rows sized by the maximum
// session count of the common copy-function record; a reply announcing more
// is refused (ZRK_ERR_REPLY_INCOMPLETE). 0, or -1 with ZRKerrno.
int ListAllSessions(const char *ip, const char *user, int listFlags, SessionTable *table);

// What the starts and the snap data volume initialisation share when the
// array has refused them and its volumes are looked at for a better reason.

// A failure of the link itself (ZRK_ERR_TOO_LONG, ZRK_ERR_NO_SERVICE,
// ZRK_ERR_NO_MEMORY, ZRK_ERR_RECEIVE): the array was not reached, so there is
// nothing to ask it about.
inline bool LinkFailure(int error) {
    return error == ZRK_ERR_TOO_LONG || error == ZRK_ERR_NO_SERVICE ||
           error == ZRK_ERR_NO_MEMORY || error == ZRK_ERR_RECEIVE;
}

// The volume olu of the array: 0 with its type, or -1 with ZRKerrno
// ZRK_ERR_OLU (no such volume), ZRK_ERR_REPLY (listed more than once;
// " uiVolCount is not 1 " traced under name) or the query's own.
int LookUpVolume(const char *name, const char *ip, const char *user, uint32_t olu,
                 uint8_t *type);

// The snap data volume olu, asked with room for room rows (at least 1): 0
// with its state word, or -1 with ZRKerrno ZRK_ERR_REPLY unless the reply
// has exactly one row (counted before the room is looked at;
// " uiSDVVolCount is not 1 " traced under name) or the query's own.
int LookUpSnapVolume(const char *name, const char *ip, const char *user, uint32_t olu,
                     size_t room, uint32_t *status);

}  // namespace zrkip
#endif

#endif /* ZRK_IPSESSION_H */
