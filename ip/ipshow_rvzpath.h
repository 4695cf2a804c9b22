/*
 * ipshow_rvzpath.h - the array's RVZ copy paths ("show rvz-path"): the
 * BoxID of the remote array at the other end of each path, one 40-byte
 * entry per path row (ipshow_rvzpath.cpp).
 *
 * The reply differs from the other show replies: line 1 the hex status,
 * line 2 not read, line 3 the hex number of path rows, then one row a line
 * with at least IP_RVZ_PATH_MIN_COLUMNS columns; column 0 is the remote
 * BoxID, the others are not kept. A remote array reached by several paths
 * is listed once per path.
 *
 * The caller names the room of its BoxID array in entries (a room above
 * IP_RVZ_PATH_ROOM counts as IP_RVZ_PATH_ROOM); a reply that announces more
 * rows than the room, or than the lines it carries, is refused with
 * ZRK_ERR_REPLY_INCOMPLETE before any entry is written. On failure the
 * caller's count and entries are untouched.
 *
 * Return convention: 0, or -1 with ZRKerrno set.
 */
#ifndef ZRK_IPSHOW_RVZPATH_H
#define ZRK_IPSHOW_RVZPATH_H

#include "iplink.h"
#include "zrkapi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define IP_RVZ_PATH_ROOM         255  /* most path rows a caller keeps: a one-byte count */
#define IP_RVZ_PATH_MIN_COLUMNS  7    /* columns a path row needs */

/* The remote BoxIDs of the array's RVZ paths: *count receives the number of
 * rows, entry i (ZRK_BOXID_LEN bytes at boxIds + 40 i, zero padded, not
 * terminated when the BoxID fills it) the BoxID of row i. boxIds holds room
 * entries; entries beyond *count are not written. NULL count or boxIds:
 * ZRK_ERR_PARAMETER before anything is sent. */
int ShowRvzPath(const char *ip, const char *user, int *count, char *boxIds, size_t room);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrkip {

// ShowRvzPath's reading of a reply text as the link hands it over, with the
// same outputs and room; sends nothing.
int ParseRvzPathText(const char *text, int *count, char *boxIds, size_t room);

}  // namespace zrkip
#endif

#endif /* ZRK_IPSHOW_RVZPATH_H */
