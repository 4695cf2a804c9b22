/*
 * ipstatuslist.h - the VZ status list over the LAN (ipstatuslist.cpp): the
 * state of every VZ and RVZ session of one array in the VZ_STATUS_LIST
 * layout that the in-band ZRKStatusListVZ fills.
 *
 *   bytes 0-7        header: bytes 2-3 the entry count (16-bit big-endian),
 *                    the rest 0
 *   8 + 8k, 2 bytes  entry k: the session identifier (the partner's for a
 *                    remote session that this array knows by it)
 *   10 + 8k          the session's state
 *   11 + 8k          its mode byte
 *   12 + 8k, 4 bytes a 32-bit value, big-endian
 *
 * The list holds at most IP_STATUS_LIST_MAX entries; an array that reports
 * more VZ sessions is refused with ZRK_ERR_REPLY_INCOMPLETE rather than
 * written past that room. Return convention: 0, or -1 with ZRKerrno set.
 */
#ifndef ZRK_IPSTATUSLIST_H
#define ZRK_IPSTATUSLIST_H

#include "ipshow.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define IP_STATUS_LIST_HEAD   8        /* header bytes */
#define IP_STATUS_LIST_ENTRY  8        /* bytes of one entry */
#define IP_STATUS_LIST_MAX    65535    /* entries the 16-bit count can name */
#define IP_STATUS_LIST_AREA   0x80000  /* the header and IP_STATUS_LIST_MAX entries */

/* Builds the complete list in Work (IP_STATUS_LIST_AREA bytes) from "show
 * copy-sessions"; OptionFlag is only traced. ZRK_ERR_NOT_SUPPORT for an
 * array without the VZ status list (copy-function bytes 21 and 29 lack
 * 0x40). */
int IPCommandStatusList(const char *ip, const char *user, uint32_t OptionFlag, unsigned char *Work);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrkip {

// Writes the entries of the VZ-family rows among rows[0..count) into out
// from byte IP_STATUS_LIST_HEAD and their count into header bytes 2-3;
// out holds room entries after the header. 0, or -1 with
// ZRK_ERR_REPLY_INCOMPLETE (nothing written) when they do not fit.
int BuildStatusList(const CliCopySession *rows, size_t count, unsigned char *out, size_t room);

}  // namespace zrkip
#endif

#endif /* ZRK_IPSTATUSLIST_H */
