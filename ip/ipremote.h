/*
 * ipremote.h - the remote arrays and the account check of the out-of-band
 * road (ipremote.cpp): the internals of ZRKIPGetRemoteBoxIDList and
 * ZRKIPCheckUsers.
 *
 * The remote BoxID list has the layout of the in-band REMOTE_BOXID_LIST:
 * bytes 0-39 the array's own BoxID, byte 40 the number of remote entries,
 * bytes 41-47 zero, then 48-byte entries from byte 48, each a 40-byte BoxID
 * and 8 zero bytes, one entry per RVZ path row (a remote array reached by
 * two paths is listed twice). The internal fills the long form of
 * IP_REMOTE_LIST_LEN bytes (room for 256 entries, the count byte carries at
 * most 255); the public function hands out the first IP_REMOTE_LIST_OUT_LEN
 * bytes (64 entries), the size of the in-band list of the main family, with
 * the count cut to the entries those bytes hold.
 *
 * The account check passes when the account authenticates at the array
 * ("test authentication" answers an account code other than 1) and "show
 * users" lists it, by its whole name, with the role "Software" and the state
 * 1. User names and passwords travel in the command text as single words:
 * one that is empty, or holds a blank, a double quote or a control
 * character, would change the command's words and is refused
 * (ZRK_ERR_PARAMETER) before anything is sent.
 *
 * Return convention: 0, or -1 with ZRKerrno set.
 */
#ifndef ZRK_IPREMOTE_H
#define ZRK_IPREMOTE_H

#include "ipshow_rvzpath.h"
#include "ipshow_users.h"
#include "zrkapi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define IP_REMOTE_LIST_LEN      12336 /* the long form: head and 256 entries */
#define IP_REMOTE_LIST_OUT_LEN  3120  /* what the public caller receives: head and 64 entries */
#define IP_REMOTE_COUNT_AT      40    /* the entry count byte */
#define IP_REMOTE_HEAD_LEN      48    /* own BoxID, count, zeros */
#define IP_REMOTE_ENTRY_LEN     48    /* BoxID and 8 zero bytes */
#define IP_REMOTE_PATH_ROWS     IP_RVZ_PATH_ROOM  /* most path rows the count byte carries */
#define IP_REMOTE_OUT_ENTRIES   64    /* entries in the caller's bytes */

#define IP_ROLE_SOFTWARE        "Software" /* the role the account check requires */
#define IP_ACCOUNT_REFUSED      1     /* the account code of a refused authentication */

/* The remote BoxID list of the array at ip into List (IP_REMOTE_LIST_LEN
 * bytes, written only on success) from the common data of the last prologue
 * and the array's RVZ paths. OptionFlag is only traced. ZRK_ERR_NOT_SUPPORT
 * when the array offers no RVZ. */
int IPGetRemoteBoxIDList(const char *ip, const char *user, uint32_t OptionFlag,
                         unsigned char *List);

/* Whether the account user with Password may be used to reach the array:
 * 0, or -1 with ZRK_ERR_ACCOUNT_UNUSABLE (authentication refused),
 * ZRK_ERR_ACCOUNT_MISSING (no enabled "Software" account of that name),
 * ZRK_ERR_ACCOUNT_UNCHECKED (the authentication reply could not be read) or
 * the error of the link or of "show users". OptionFlag is only traced. */
int IPCheckUsers(const char *ip, const char *user, const char *Password, uint32_t OptionFlag);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(IP_REMOTE_LIST_LEN == IP_REMOTE_HEAD_LEN + 256 * IP_REMOTE_ENTRY_LEN,
              "remote BoxID list");
static_assert(IP_REMOTE_LIST_OUT_LEN ==
                  IP_REMOTE_HEAD_LEN + IP_REMOTE_OUT_ENTRIES * IP_REMOTE_ENTRY_LEN,
              "remote BoxID list handed out");

// The pieces of the two internals, pure, for the tests.
namespace zrkip {

// The long list (IP_REMOTE_LIST_LEN bytes, cleared first) from the own BoxID
// and rows path BoxIDs of ZRK_BOXID_LEN bytes each. false, and list
// untouched, for more than IP_REMOTE_PATH_ROWS rows.
bool FillRemoteBoxIDList(const unsigned char *ownBox, const unsigned char *boxes, size_t rows,
                         unsigned char *list);
// The caller's IP_REMOTE_LIST_OUT_LEN bytes of a long list: its head and
// first entries, the count cut to IP_REMOTE_OUT_ENTRIES.
void CutRemoteBoxIDList(const unsigned char *list, unsigned char *out);

// A text that the command text carries as one word (see above).
bool CommandWord(const char *text);
// The row names user with the role "Software" and the state 1: whole-text,
// case-sensitive comparisons that read no byte past the fields; a name as
// long as the field or longer never matches, since the field may hold it cut.
bool AccountUsable(const CliUser &row, const char *user);

}  // namespace zrkip
#endif

#endif /* ZRK_IPREMOTE_H */
