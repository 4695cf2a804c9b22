/*
 * ipshow_failover.h - the failover groups of a storage cluster and the
 * pairs and sessions inside them ("show tfo-groups", "show tfo-pair";
 * ipshow_failover.cpp).
 *
 * Two arrays joined in failover groups pair volumes of the one with volumes
 * of the other; in each group one array is the primary and the other the
 * secondary, and copy sessions run between the paired volumes.
 *
 * ShowTfoGroups hands out one allocated block (released with free());
 * ShowTfoPair a tree of allocated arrays (groups, their pairs, the detail
 * entries of each pair), released only with freeCliTfoPair. The array's
 * code 0x9002 is an empty answer: a zeroed block or root of count 0 and
 * the result 0, ZRKerrno keeping the mapped code.
 *
 * Every count of a reply is checked against the lines the reply still
 * holds before anything is allocated for it (each group, pair and detail
 * takes at least two lines), and every size is computed in size_t, so a
 * reply cannot make a block larger than its own text warrants
 * (ZRK_ERR_REPLY_INCOMPLETE).
 *
 * Return convention: 0, or -1 with ZRKerrno and the output untouched; the
 * reply, its lines and any partial result are released on every way out.
 */
#ifndef ZRK_IPSHOW_FAILOVER_H
#define ZRK_IPSHOW_FAILOVER_H

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

#define IP_TFO_EMPTY_CODE      0x9002u  /* array code of an empty failover answer */
#define IP_TFO_ROLE_SECONDARY  2        /* CliTfoGroup.ucTfoRole: this array is the secondary */
#define IP_TFO_STANDBY         0        /* CliTfoGroup.ucTfoActive: on standby in this array */
#define IP_TFO_GROUP_ONE       0x3      /* ShowTfoGroups flags: ask for one group only */
#define IP_TFO_DEST_SIDE       0x10     /* CliTfoPairDetail.ucFlags: uiOlu is the destination */
#define IP_TFO_FLAG_BITS       0x17     /* the bits of ucFlags that are kept */

/* One failover group of "show tfo-groups" (9 columns or more), host order. */
typedef struct CliTfoGroup {
    uint32_t uiTfoGroupNo;            /* col 0: group number */
    uint8_t  ucaReserved1[4];         /* always 0 */
    uint8_t  ucTfoRole;               /* col 2: 2 secondary, else primary */
    uint8_t  ucTfoActive;             /* col 4: 0 on standby here, else active */
    uint8_t  ucaReserved2[30];        /* always 0; cols 1, 3, 5 to 8 are not kept */
} CliTfoGroup;

/* The groups: a header and uiTfoGroupCount rows (room for one row when the
 * count is 0). */
typedef struct CliTfoGroups {
    uint32_t uiTfoGroupCount;         /* line 2: number of groups */
    uint8_t  ucaReserved[12];         /* always 0 */
    CliTfoGroup taTfoGroup[1];        /* uiTfoGroupCount rows, in reply order */
} CliTfoGroups;

/* One detail entry of a failover pair: the detail's number and flag lines,
 * and its 14-column detail line when the flag is not 0. */
typedef struct CliTfoPairDetail {
    uint32_t uiOlu;                   /* number line: volume on the side of col 7 */
    uint32_t uiDetailFlag;            /* flag line: 0 no session, the rest stays 0 */
    uint32_t uiPartnerOlu;            /* col 0: volume on the side of col 8 */
    uint32_t uiSessionID;             /* col 1 */
    uint32_t uiPartnerSessionID;      /* col 2 */
    uint8_t  ucaReserved1[4];         /* always 0 */
    uint8_t  ucFlags;                 /* col 3, bits IP_TFO_FLAG_BITS: IP_TFO_DEST_SIDE */
    uint8_t  ucPhase;                 /* col 4 */
    uint8_t  ucStatus;                /* col 5 */
    uint8_t  ucErrorCode;             /* col 9 */
    uint8_t  ucaReserved2[4];         /* always 0 */
    uint32_t uiElapsedTime;           /* col 6 */
    uint8_t  ucaReserved3[4];         /* always 0 */
    uint8_t  ucaBoxID[ZRK_BOXID_LEN]; /* col 7: the array that holds uiOlu */
    uint8_t  ucaPartnerBoxID[ZRK_BOXID_LEN]; /* col 8: the array that holds uiPartnerOlu */
    uint32_t uiBlockCount_high;       /* col 10: copied blocks, high half */
    uint32_t uiBlockCount_low;        /* col 10: low half */
    uint32_t uiSrcSize_high;          /* col 11: source size, high half */
    uint32_t uiSrcSize_low;           /* col 11: low half */
    uint8_t  ucaStartTime[8];         /* col 12: start time, packed decimal */
    uint32_t uiProgress;              /* col 13: copy progress */
    uint8_t  ucaReserved4[20];        /* always 0 */
} CliTfoPairDetail;

/* One failover pair: its detail entries (the pair line itself is not kept). */
typedef struct CliTfoPairEntry {
    uint32_t uiDetailCount;           /* detail count line */
    uint8_t  ucaReserved[12];         /* always 0 */
    CliTfoPairDetail *pDetail;        /* uiDetailCount entries; NULL for none */
} CliTfoPairEntry;

/* One group of the pair tree. */
typedef struct CliTfoPairGroup {
    uint8_t  ucTfoGroupNo;            /* group number line, low 8 bits */
    uint8_t  ucaReserved1[7];         /* always 0 */
    uint32_t uiPairCount;             /* pair count line */
    uint8_t  ucaReserved2[4];         /* alignment, 0 */
    CliTfoPairEntry *pPair;           /* uiPairCount entries; NULL for none */
} CliTfoPairGroup;

/* The root of the pair tree (room for one group when the count is 0). */
typedef struct CliTfoPair {
    uint32_t uiTfoGroupCount;         /* line 2: number of groups */
    uint8_t  ucaReserved[4];          /* alignment, 0 */
    CliTfoPairGroup taGroup[1];       /* uiTfoGroupCount entries, in reply order */
} CliTfoPair;

/* "show tfo-groups", or with (flags & IP_TFO_GROUP_ONE) == IP_TFO_GROUP_ONE
 * the one group *groupNo ("-tfog-number"). option is not read. *result
 * receives a newly allocated block. */
int ShowTfoGroups(const char *cpIPaddress, const char *user, int option,
                  const unsigned char *groupNo, int flags, CliTfoGroups **result);

/* "show tfo-pair". The three selection arguments are not read. *result
 * receives a newly allocated tree. */
int ShowTfoPair(const char *cpIPaddress, const char *user, int option, const void *selection,
                int flags, CliTfoPair **result);

/* Releases a tree of ShowTfoPair, also one built only in part, and sets
 * *tree to NULL. A NULL tree or pointer is left alone. */
void freeCliTfoPair(CliTfoPair **tree);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(CliTfoGroup) == 40, "CliTfoGroup layout");
static_assert(offsetof(CliTfoGroup, ucTfoRole) == 8, "CliTfoGroup layout");
static_assert(offsetof(CliTfoGroup, ucTfoActive) == 9, "CliTfoGroup layout");
static_assert(sizeof(CliTfoGroups) == 56, "CliTfoGroups layout");
static_assert(offsetof(CliTfoGroups, taTfoGroup) == 16, "CliTfoGroups layout");
static_assert(sizeof(CliTfoPairDetail) == 168, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, uiPartnerOlu) == 8, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, ucFlags) == 24, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, ucErrorCode) == 27, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, uiElapsedTime) == 32, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, ucaBoxID) == 40, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, ucaPartnerBoxID) == 80, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, uiBlockCount_high) == 120, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, uiSrcSize_high) == 128, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, ucaStartTime) == 136, "CliTfoPairDetail layout");
static_assert(offsetof(CliTfoPairDetail, uiProgress) == 144, "CliTfoPairDetail layout");
static_assert(sizeof(CliTfoPairEntry) == 24, "CliTfoPairEntry layout");
static_assert(offsetof(CliTfoPairEntry, pDetail) == 16, "CliTfoPairEntry layout");
static_assert(sizeof(CliTfoPairGroup) == 24, "CliTfoPairGroup layout");
static_assert(offsetof(CliTfoPairGroup, uiPairCount) == 8, "CliTfoPairGroup layout");
static_assert(offsetof(CliTfoPairGroup, pPair) == 16, "CliTfoPairGroup layout");
static_assert(sizeof(CliTfoPair) == 32, "CliTfoPair layout");
static_assert(offsetof(CliTfoPair, taGroup) == 8, "CliTfoPair layout");

// The command texts and the reply parsing of the two queries, for a reply
// text as the link hands it over: the same path as the queries themselves.
namespace zrkip {

// "show tfo-groups " and, when flags ask for one group, "-tfog-number N".
std::string TfoGroupsCommand(const unsigned char *groupNo, int flags);

// Bytes of a block of count groups, of a pair-tree root of count groups
// (room for one when count is 0).
size_t TfoGroupsBytes(size_t count);
size_t TfoPairRootBytes(size_t count);

// As the queries after the reply has come: 0 with *result set, or -1 with
// ZRKerrno and *result untouched.
int ParseTfoGroupsText(const char *text, CliTfoGroups **result);
int ParseTfoPairText(const char *text, CliTfoPair **result);

}  // namespace zrkip
#endif

#endif /* ZRK_IPSHOW_FAILOVER_H */
