/*
 * ipshow_generations.h - the SnapKZP+ generations of a source volume and
 * the pool capacity that restoring a session takes (ipshow_generations.cpp):
 * "show snap-kzp-gen" and "show snap-kzp-restore-size".
 *
 * "show snap-kzp-gen" departs from the usual show reply: line 2 is a header
 * of at least two hex columns (read and traced, not handed on), line 3 the
 * hex group count, then one block per generation group: the group line
 * (column 0 the 64-bit start of the source extent, column 1 its 64-bit
 * size, further columns ignored), the hex count n of its sessions and n
 * lines of one hex session identifier each (read up to the first non-digit,
 * not split at TABs). Each group line follows the identifiers of the group
 * before it. A count that the lines present cannot hold (every group takes
 * at least two lines, every identifier one) is refused with
 * ZRK_ERR_REPLY_INCOMPLETE before anything is allocated for it.
 *
 * ShowSnapKzpGen hands the caller a newly allocated array of groups, each
 * with its own newly allocated identifier array; FreeSnapKzpGen releases
 * both. ShowSnapKzpRestoreSize writes into the caller's rows and takes
 * their room, refusing a reply of more rows with ZRK_ERR_REPLY_INCOMPLETE
 * before a row is written.
 *
 * Return convention: 0, or -1 with ZRKerrno; the reply and its lines are
 * released on every way out.
 */
#ifndef ZRK_IPSHOW_GENERATIONS_H
#define ZRK_IPSHOW_GENERATIONS_H

#include "ipshow.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <string>
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ShowSnapKzpRestoreSize Option: the listed sessions (the only selection). */
#define IP_RESTORE_BY_ID         2
/* The longest "show snap-kzp-restore-size" command text. */
#define IP_RESTORE_CMD_MAX       511

/* One generation group of "show snap-kzp-gen": the sessions that copy one
 * source extent, host order. */
typedef struct CliSnapKzpGen {
    uint32_t ExtAddr_high, ExtAddr_low;   /* group line col 0: start of the source extent */
    uint32_t ExtSize_high, ExtSize_low;   /* group line col 1: its size */
    uint32_t SesCnt;                      /* count line: identifiers at SesIDs */
    uint32_t uiReserved;                  /* always 0 */
    uint32_t *SesIDs;                     /* the identifiers in reply order; NULL for none */
} CliSnapKzpGen;

/* One row of "show snap-kzp-restore-size" (6 columns or more), host order. */
typedef struct CliSnapKzpRestoreSize {
    uint32_t SesID;                       /* col 0: the session */
    uint32_t uiReserved;                  /* always 0 */
    uint32_t FreeSize_high, FreeSize_low;       /* col 1: free capacity of the snap data pool */
    uint32_t RestoreSize_high, RestoreSize_low; /* col 2: what restoring the session takes */
    uint32_t Col3_high, Col3_low;               /* col 3 */
    uint32_t Col4_high, Col4_low;               /* col 4 */
    uint32_t Col5;                        /* col 5 */
    uint8_t  ucaReserved[12];             /* always 0 */
} CliSnapKzpRestoreSize;

/* "show snap-kzp-gen -volume-number VolumeNo" (Option is only traced).
 * *count receives the group count (0 first); *result a newly allocated
 * array of that many groups (NULL for none), released with FreeSnapKzpGen.
 * On failure *result is untouched and nothing stays allocated. */
int ShowSnapKzpGen(const char *cpIPaddress, const char *user, int VolumeNo, int Option,
                   int *count, CliSnapKzpGen **result);

/* Releases what ShowSnapKzpGen handed out: every group's identifiers, then
 * the groups. NULL does nothing. */
void FreeSnapKzpGen(CliSnapKzpGen *groups, int count);

/* "show snap-kzp-restore-size -session-id LIST" for the SnapCnt identifiers
 * at list: ZRK_ERR_PARAMETER for none, ZRK_ERR_SELECTION for an Option
 * other than IP_RESTORE_BY_ID, ZRK_ERR_TOO_LONG for a command text longer
 * than IP_RESTORE_CMD_MAX; nothing is sent then. Row i of the reply goes to
 * rows[i] in reply order; rows holds room rows. *count receives the row
 * count (0 first). */
int ShowSnapKzpRestoreSize(const char *cpIPaddress, const char *user, int SnapCnt,
                           const int *list, int Option, int *count,
                           CliSnapKzpRestoreSize *rows, size_t room);

/* ---- the internal functions of the public calls (ipgenerations.cpp) ---------------- */

/* The in-band records that they fill (big-endian). */
#define IP_SNAP_LIST_HEAD_LEN    16   /* SnapDetailList head: generation count at 0-1 */
#define IP_SNAP_LIST_SLOT_LEN    256  /* one generation's session detail */
#define IP_POOL_INFO_LEN         64   /* PoolInfo and PoolSizeInfo */

/* The generations of the request's source extent: its BoxID must be the
 * array's own (IPCheckBoxID), "show snap-kzp-gen" names the group of the
 * request's start and size (the first such), "show copy-sessions" its
 * sessions. area receives the SnapDetailList head and one slot per session
 * row and holds room slots: a group of more sessions is refused with
 * ZRK_ERR_REPLY_INCOMPLETE before they are asked for. *count receives the
 * slots written, 0 when no group matches. Option is only traced. */
int IPGetGenerationList(const char *ip, const char *user, uint32_t Option, const IPCopyReq *req,
                        uint32_t *count, unsigned char *area, size_t room);

/* The pool sizes of SnapKZP+ session SessionID into the 64-byte area: bytes
 * 0-7 zero, 8 the pool's free capacity, 16 the capacity its restore takes,
 * 24 and 32 the two further values, 40-63 zero (8 big-endian bytes each).
 * ZRK_ERR_NOT_SUPPORT without the restore-size query, ZRK_ERR_NO_SESSION
 * unless the array reports one row. */
int IPGetPoolSizeInfo(const char *ip, const char *user, int SessionID, unsigned char *area);

/* The snap data pool (pool 0) into bytes 0-47 of the area: total, host use,
 * copy use and the same three of its encryption part, 8 big-endian bytes
 * each (all 0 when the array reports no row); bytes 48-63 untouched.
 * ZRK_ERR_NOT_SUPPORT without the pool query. Option is only traced. */
int IPGetPoolInfo(const char *ip, const char *user, uint32_t Option, unsigned char *area);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(CliSnapKzpGen) == 32, "CliSnapKzpGen layout");
static_assert(offsetof(CliSnapKzpGen, ExtSize_high) == 8, "CliSnapKzpGen layout");
static_assert(offsetof(CliSnapKzpGen, SesCnt) == 16, "CliSnapKzpGen layout");
static_assert(offsetof(CliSnapKzpGen, SesIDs) == 24, "CliSnapKzpGen layout");
static_assert(sizeof(CliSnapKzpRestoreSize) == 56, "CliSnapKzpRestoreSize layout");
static_assert(offsetof(CliSnapKzpRestoreSize, FreeSize_high) == 8,
              "CliSnapKzpRestoreSize layout");
static_assert(offsetof(CliSnapKzpRestoreSize, Col4_low) == 36, "CliSnapKzpRestoreSize layout");
static_assert(offsetof(CliSnapKzpRestoreSize, Col5) == 40, "CliSnapKzpRestoreSize layout");

// The command texts and the reply parsing of the two queries, for a reply
// text as the link hands it over: the same path as the queries themselves.
namespace zrkip {

// ZRKIPGeneraListSnapKZP_p into a SnapDetailList of room slots: never more
// than room slots nor the array's maximum generation count; a maximum above
// what the generation count carries (16 bits), or a list longer than the
// room, is ZRK_ERR_REPLY_INCOMPLETE. The public function passes SIZE_MAX
// (its caller sized the area by the array's maximum).
int GenerationListWithin(const char *ip, const char *user, const char *SrcBoxID, uint32_t SrcOLU,
                         uint32_t SrcExtAddr_high, uint32_t SrcExtAddr_low, uint32_t SrcSize_high,
                         uint32_t SrcSize_low, uint32_t OptionFlag, unsigned char *SnapDetailList,
                         size_t room, unsigned char *SenseData);

// Command texts (no argument checks).
std::string SnapKzpGenCommand(int volumeNo);
std::string SnapKzpRestoreSizeCommand(const std::string &list);

// As the queries after the reply has come: 0 or -1 with ZRKerrno; nothing
// is handed out or written into rows on failure.
int ParseSnapKzpGenText(const char *text, int *count, CliSnapKzpGen **result);
int ParseSnapKzpRestoreSizeText(const char *text, int *count, CliSnapKzpRestoreSize *rows,
                                size_t room);

}  // namespace zrkip
#endif

#endif /* ZRK_IPSHOW_GENERATIONS_H */
