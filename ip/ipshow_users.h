/*
 * ipshow_users.h - the array's user accounts: "show users"
 * (ipshow_users.cpp).
 *
 * Reply (status 0): line 2 the hex row count N, then N lines of at least four
 * TAB-separated columns: the user name (text, 128), the role (text, 64), the
 * account state (hex; 1 enabled) and one further hex number; columns from 4
 * on are ignored. The text columns follow the show-reply rule of ipshow.h:
 * zero padded, not terminated when the text fills the field.
 *
 * ShowUsers hands out a newly allocated array of N rows that the caller
 * releases with free(); the row pointer is NULL after every failure and
 * after a reply of no rows, so the caller never receives a partial array. A
 * reply that announces more rows than it carries is refused (902) before
 * anything is allocated.
 *
 * Return convention: 0, or -1 with ZRKerrno; the reply and its lines are
 * released on every way out.
 */
#ifndef ZRK_IPSHOW_USERS_H
#define ZRK_IPSHOW_USERS_H

#include "ipshow.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define IP_USER_NAME_LEN     128  /* CliUser.caUserName */
#define IP_USER_ROLE_LEN     64   /* CliUser.caRole */
#define IP_USER_MIN_COLUMNS  4    /* columns a row must have */
#define IP_USER_ENABLED      1    /* CliUser.uiStatus of an account in use */

/* One account of "show users", host order; bytes no column fills are 0. */
typedef struct CliUser {
    char     caUserName[IP_USER_NAME_LEN]; /* col 0: user name, not terminated when full */
    char     caRole[IP_USER_ROLE_LEN];     /* col 1: role, not terminated when full */
    uint32_t uiStatus;                     /* col 2: account state, 1 enabled */
    uint32_t uiCol3;                       /* col 3: read by no caller */
    uint8_t  ucaSpare[8];                  /* never filled, 0 */
} CliUser;

/* Runs "show users" at cpIPaddress: *count receives the reply's row count,
 * *rows the newly allocated rows (NULL for none). */
int ShowUsers(const char *cpIPaddress, const char *user, int *count, CliUser **rows);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(CliUser) == 208, "CliUser layout");
static_assert(offsetof(CliUser, caRole) == 128, "CliUser layout");
static_assert(offsetof(CliUser, uiStatus) == 192, "CliUser layout");
static_assert(offsetof(CliUser, uiCol3) == 196, "CliUser layout");

// The reply parsing of ShowUsers, for a reply text as the link hands it over:
// the same path as the query itself.
namespace zrkip {

// The command text: exactly "show users".
extern const char kShowUsersCommand[];

// As ShowUsers once the reply has come: *count the announced row count (when
// it is an int), *rows the rows or NULL; nothing is handed out on failure.
int ParseUsers(const Reply &reply, int *count, CliUser **rows);
int ParseUsersText(const char *text, int *count, CliUser **rows);

}  // namespace zrkip
#endif

#endif /* ZRK_IPSHOW_USERS_H */
