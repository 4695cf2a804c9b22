/*
 * ipconc.h - the out-of-band functions that act on several sessions of one
 * array at one instant: the concurrent KZP start (ipconc.cpp) and the
 * concurrent VZ suspend (ipmultisuspend.cpp).
 *
 * The internal functions write into the trace that their public function
 * opened. Entries, requests and rows are host order.
 *
 * Return convention: 0, or -1 with ZRKerrno set.
 */
#ifndef ZRK_IPCONC_H
#define ZRK_IPCONC_H

#include "ipaction.h"
#include "zrkapi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <cstddef>
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* Result of a concurrent start row (CliConcStartResult.uiResult). */
#define IP_CONC_ROW_STARTED  0u   /* the session started */
#define IP_CONC_ROW_STOP     1u   /* the session exists, but the start failed or warns:
                                     the caller's clean-up stops it */
                                  /* any other value: the session was not started */

#define IP_CONC_STOP_CHUNK   500  /* identifiers of one clean-up stop command */
#define IP_CONC_SUSPEND_MAX  845  /* pairs of one concurrent suspend, whatever the array says */

/* Runs the phases of a concurrent start (or one restart) of SessionCnt
 * entries, checks the array's result rows and, after a failed start, stops
 * with force the sessions that the rows name for it. */
int IPStartConcKZP(const char *ip, const char *user, int SessionCnt, const CONC_SES_INFO *SesInfo);

/* Suspends the SessionCnt sessions of req (ReqMark 1, CopyType 2) with one
 * concurrent suspend command; Result receives SessionCnt 4-byte slots. */
int IPMultiSuspendTvc(const char *ip, const char *user, IPCopyReq *req, unsigned int SessionCnt,
                      int OptionFlag, unsigned char *Result);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrkip {

// What the result rows of a concurrent start say about entries
// [0, count), walked in entry order: *error is 0 when every entry has a row
// with result 0. Otherwise it is the ZRKerrno of the array code of the
// first row met whose result is neither 0 nor 1, else of the first row met
// whose result is 1 (IPSet_ZRKerrno_main), or ZRK_ERR_REPLY when an entry
// has no row before a row of the first kind is met (the walk stops at
// either). A restart matches an entry's row by ids[i]; a start by the
// entry's volumes and start blocks. ZRKerrno is left as it was.
void CheckConcRows(const CONC_SES_INFO *entries, size_t count, const int *ids, bool restart,
                   const CliConcStartResult *rows, size_t rowCount, int *error);

}  // namespace zrkip
#endif

#endif /* ZRK_IPCONC_H */
