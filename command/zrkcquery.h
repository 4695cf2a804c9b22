/*
 * zrkcquery.h - the copy query zrkc_query_copy and the records it fills.
 *
 * The caller owns the output area. Every record is host order; the area is
 * cleared before it is filled, so every field that no rule sets is 0.
 * Items follow their header without gaps: item i begins at the header size
 * of the level + i x the item size of the level.
 *
 *   level       option bit               header  item
 *   Normal      neither                  8       CopyQueryEntry (2184)
 *   Detail      ZRKC_OPT_QUERY_DETAIL    24      CopyQueryDetailEntry (2280)
 *   Detail_EX1  ZRKC_OPT_QUERY_DETAIL_EX 24      CopyQueryDetailEntry (2560)
 *
 * The generation query (ZRKC_OPT_QUERY_GENERATIONS) fills a GenerationList:
 * its header, then one GenerationBlock per list entry, each followed by its
 * GenerationInfo items; the next block begins right after them.
 */
#ifndef ZRKC_QUERY_H
#define ZRKC_QUERY_H

#include "zrkc.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* Option bits of the copy query (beside ZRKC_OPT_ACCESS_PATH,
 * ZRKC_OPT_OTHER_WAY and ZRKC_OPT_GROUP_FILE). */
#define ZRKC_OPT_QUERY_DETAIL      0x80000000u /* level Detail */
#define ZRKC_OPT_QUERY_GENERATIONS 0x40000000u /* SnapKZP+ generations */
#define ZRKC_OPT_QUERY_VZ_ONLY     0x20000000u /* volume query: array kind 2 only */
#define ZRKC_OPT_QUERY_KZP_ONLY    0x10000000u /* volume query: array kinds 1, 3, 16, 17 */
#define ZRKC_OPT_QUERY_WHOLE_ARRAY 0x8000000u  /* volume query: every session of the array */
#define ZRKC_OPT_QUERY_EXT_LIST    ZRKC_OPT_STACK_TIMER /* the detail list in its extended mode */
#define ZRKC_OPT_QUERY_DETAIL_EX   0x80000u    /* level Detail_EX1 */
#define ZRKC_OPT_QUERY_SNAPKZP_7   0x40000u    /* SnapKZP without the SnapKZP+ flag as kind 7 */
#define ZRKC_OPT_QUERY_MASK        0xFBAC0000u /* every bit the query takes */
#define ZRKC_EXOPT_QUERY_MASK      (ZRKC_EXOPT_TFOP | ZRKC_EXOPT_VVOL)

/* Sizes of the headers and items. */
#define ZRKC_QUERY_HEADER_NORMAL   8u
#define ZRKC_QUERY_HEADER_DETAIL   24u
#define ZRKC_QUERY_ITEM_NORMAL     2184u
#define ZRKC_QUERY_ITEM_DETAIL     2280u
#define ZRKC_QUERY_ITEM_DETAIL_EX  2560u
#define ZRKC_QUERY_VERSION_LEN     6u    /* "2.0.0" and its terminator */
#define ZRKC_QUERY_PROGRESS_NONE   255u  /* CopyProgress: compute it from the counts */
#define ZRKC_QUERY_ALIAS_LEN       40u   /* an alias field: the alias store's ZRKC_ALIAS_LEN */

/* The names of a pair, as every session and generation record holds them:
 * the two volume names and aliases (an alias is not terminated when all
 * ZRKC_QUERY_ALIAS_LEN bytes are used), then one byte each that says the
 * name is set (ZRKC_QNAME_SET). Byte fields only, so they add no padding. */
#define ZRKC_QUERY_PAIR_NAMES                \
    char     SrcVolume[ZRK_VOLNAME_LEN];      \
    char     TrgVolume[ZRK_VOLNAME_LEN];      \
    char     SrcAlias[ZRKC_QUERY_ALIAS_LEN];  \
    char     TrgAlias[ZRKC_QUERY_ALIAS_LEN];  \
    uint8_t  SrcVolumeSet;                    \
    uint8_t  TrgVolumeSet;                    \
    uint8_t  SrcAliasSet;                     \
    uint8_t  TrgAliasSet;

/* The header of a copy-query result (Normal: the first 8 bytes only). */
typedef struct CopyQueryList {
    uint32_t ItemCount;   /* pair query: list entries; volume query: items written */
    uint32_t FilledCount; /* pair query: items filled; volume query: 0 */
    char     Version[ZRKC_QUERY_VERSION_LEN]; /* Detail_EX1: "1.3.0", "1.4.0" or "2.0.0" */
    uint8_t  Reserved[10];
} CopyQueryList;

/* One session at the Normal level (2184 bytes). */
typedef struct CopyQueryEntry {
    uint32_t SrcOlu;
    uint32_t TrgOlu;
    uint8_t  Phase;
    uint8_t  Status;
    uint8_t  CopyKind;
    uint8_t  Suspending;     /* 1 while a suspend is under way */
    int32_t  LpsTime;        /* elapsed seconds */
    uint64_t BlkCnt;         /* copied blocks */
    uint64_t SrcAddr;        /* source extent start */
    uint64_t SrcSize;        /* size in blocks */
    uint64_t TrgAddr;        /* target extent start */
    ZRKC_QUERY_PAIR_NAMES
    uint8_t  CopyProgress;   /* percent, or ZRKC_QUERY_PROGRESS_NONE */
    uint8_t  Reserved[3];
} CopyQueryEntry;

/* One session at the Detail (2280 bytes) and Detail_EX1 (2560 bytes)
 * levels; the EX1 fields are filled at Detail_EX1 only. */
typedef struct CopyQueryDetailEntry {
    uint16_t SrcSessionId;
    uint16_t TrgSessionId;
    uint8_t  CopyKind;
    uint8_t  TransferMode;     /* RVZ: 1 sync, 2 stack, 3 consistency, 4 through */
    uint8_t  SplitMode;        /* RVZ sync: 1 manual, 2 automatic */
    uint8_t  RecoveryMode;     /* RVZ: 1 automatic, 2 manual */
    uint8_t  Phase;
    uint8_t  Status;
    uint8_t  Suspending;
    uint8_t  TargetProtection;
    int32_t  LpsTime;
    char     SrcBoxID[ZRK_BOXID_LEN];
    char     TrgBoxID[ZRK_BOXID_LEN];
    uint32_t SrcOlu;
    uint32_t TrgOlu;
    uint16_t ExtCnt;
    uint8_t  ErrCode;
    uint8_t  Reserved1[5];
    uint64_t BlkCnt;           /* copied blocks */
    uint64_t SrcAddr;
    uint64_t SrcSize;          /* total blocks */
    uint64_t TrgAddr;
    ZRKC_QUERY_PAIR_NAMES
    uint8_t  TfoInfo;          /* EX1: transparent-failover information */
    uint8_t  TfoGroupNo;       /* EX1: transparent-failover group */
    uint8_t  Reserved2[2];
    /* Detail_EX1 only from here. */
    uint8_t  VolumeInfoFlag;
    uint8_t  LicenseInfo;
    uint8_t  ControlType;
    uint8_t  CopyProgress;
    uint8_t  SupportInfo;
    uint8_t  SubInfo;
    uint8_t  Reserved3[2];
    uint8_t  TimeStamp[8];     /* year (2 bytes), month, day, hour, minute, second, BCD */
    uint8_t  Reserved4[264];
} CopyQueryDetailEntry;

/* The header of the generation query's result. */
typedef struct GenerationList {
    uint32_t ItemCount;   /* list entries (source volumes) */
    uint32_t FilledCount; /* entries whose query succeeded */
} GenerationList;

/* One list entry's block; its GenerationInfo items follow it. */
typedef struct GenerationBlock {
    uint32_t GenerationsCnt;    /* items of the block (0 when its query failed) */
    uint32_t MaxGenerationsCnt; /* generation count of the entry's pair */
} GenerationBlock;

/* One SnapKZP+ generation (2184 bytes). */
typedef struct GenerationInfo {
    uint16_t SrcSesId;
    uint8_t  Reserved1[2];
    uint32_t SrcOlu;
    uint32_t TrgOlu;
    uint8_t  Phase;
    uint8_t  Status;
    uint8_t  Reserved2[2];
    uint64_t BlkCnt;
    uint64_t SrcAddr;
    uint64_t Size;
    uint64_t TrgAddr;
    ZRKC_QUERY_PAIR_NAMES
    uint8_t  Reserved3[4];
} GenerationInfo;

/* ---- Codes the records' bytes hold (read by the query layouts) ---- */
enum {
    ZRKC_QKIND_KZP = 1, ZRKC_QKIND_QUICKKZP = 2, ZRKC_QKIND_SNAPKZP = 3, ZRKC_QKIND_VZ = 4,
    ZRKC_QKIND_RVZ = 5, ZRKC_QKIND_ESTIMATE = 6, ZRKC_QKIND_SNAPKZP_ONLY = 7
};
enum { ZRKC_QPHASE_COPYING = 1 };            /* Phase */
/* Status: the session's own status byte (ZRKC_SESSION_...) */
enum { ZRKC_QSTATUS_ERROR_SUSPEND = ZRKC_SESSION_ERROR_SUSPEND };
enum { ZRKC_QSUSPENDING = 1 };               /* Suspending: a suspend is under way */
enum { ZRKC_QNAME_SET = 1 };                 /* the four ...Set bytes */
enum {                                       /* TransferMode */
    ZRKC_QTRANSFER_SYNC = 1, ZRKC_QTRANSFER_STACK = 2, ZRKC_QTRANSFER_CONSISTENCY = 3,
    ZRKC_QTRANSFER_THROUGH = 4
};
enum { ZRKC_QSPLIT_MANUAL = 1, ZRKC_QSPLIT_AUTO = 2 };        /* SplitMode */
enum { ZRKC_QRECOVERY_AUTO = 1, ZRKC_QRECOVERY_MANUAL = 2 };  /* RecoveryMode */
#define ZRKC_QSUPPORT_SUBINFO   0x2u  /* SupportInfo: SubInfo is meaningful */
#define ZRKC_QSUBINFO_SHOWN     0x6u  /* SubInfo bits that are always shown */
#define ZRKC_QTFO_GROUP_SET     0x80u /* TfoInfo: TfoGroupNo is meaningful */
/* ---- end of the record codes ---- */

/* The copy query: the session of a pair (or of every pair of a group file),
 * the sessions of one volume, or the SnapKZP+ generations of sources, into
 * output (outputLength bytes; NULL with length 0 asks for the size).
 * 0, 1 (1001 area too small, the size in ri->uiNeedOutputSize; or the
 * per-pair area warning), -1. */
int zrkc_query_copy(char *source, char *target, int option, ReturnInfo *ri, void *output,
                    int outputLength);
/* Writes the output version of the properties' CompatibleVersion into the
 * header; 0, or -1 with the properties reader's message in ri. */
int check_Comp_Version(CopyQueryList *header, ReturnInfo *ri);
/* The three workers over a resolved list; 0, 1 or -1. */
int query_pair(CopyPairList *list, int option, ReturnInfo *ri, void *output, int outputLength);
int query_list(char *volume, int option, ReturnInfo *ri, void *output, int outputLength,
               CopyPair pair);
int query_generation(CopyPairList *list, int option, ReturnInfo *ri, void *output,
                     int outputLength);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(CopyQueryList) == ZRKC_QUERY_HEADER_DETAIL, "CopyQueryList layout");
static_assert(offsetof(CopyQueryList, Version) == 8, "CopyQueryList layout");
static_assert(offsetof(CopyQueryList, Reserved) == 14, "CopyQueryList layout");
static_assert(sizeof(CopyQueryEntry) == ZRKC_QUERY_ITEM_NORMAL, "CopyQueryEntry layout");
static_assert(offsetof(CopyQueryEntry, LpsTime) == 12, "CopyQueryEntry layout");
static_assert(offsetof(CopyQueryEntry, BlkCnt) == 16, "CopyQueryEntry layout");
static_assert(offsetof(CopyQueryEntry, TrgAddr) == 40, "CopyQueryEntry layout");
static_assert(offsetof(CopyQueryEntry, SrcVolume) == 48, "CopyQueryEntry layout");
static_assert(offsetof(CopyQueryEntry, TrgVolume) == 1072, "CopyQueryEntry layout");
static_assert(offsetof(CopyQueryEntry, SrcAlias) == 2096, "CopyQueryEntry layout");
static_assert(offsetof(CopyQueryEntry, TrgAlias) == 2136, "CopyQueryEntry layout");
static_assert(offsetof(CopyQueryEntry, SrcVolumeSet) == 2176, "CopyQueryEntry layout");
static_assert(offsetof(CopyQueryEntry, CopyProgress) == 2180, "CopyQueryEntry layout");
static_assert(sizeof(CopyQueryDetailEntry) == ZRKC_QUERY_ITEM_DETAIL_EX, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, Phase) == 8, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, LpsTime) == 12, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, SrcBoxID) == 16, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, TrgBoxID) == 56, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, SrcOlu) == 96, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, ExtCnt) == 104, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, ErrCode) == 106, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, BlkCnt) == 112, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, TrgAddr) == 136, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, SrcVolume) == 144, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, TrgVolume) == 1168, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, SrcAlias) == 2192, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, TrgAlias) == 2232, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, SrcVolumeSet) == 2272, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, TfoInfo) == 2276, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, VolumeInfoFlag) == ZRKC_QUERY_ITEM_DETAIL,
              "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, CopyProgress) == 2283, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, SubInfo) == 2285, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, TimeStamp) == 2288, "CopyQueryDetailEntry layout");
static_assert(offsetof(CopyQueryDetailEntry, Reserved4) == 2296, "CopyQueryDetailEntry layout");
static_assert(sizeof(GenerationList) == 8, "GenerationList layout");
static_assert(sizeof(GenerationBlock) == 8, "GenerationBlock layout");
static_assert(sizeof(GenerationInfo) == ZRKC_QUERY_ITEM_NORMAL, "GenerationInfo layout");
static_assert(offsetof(GenerationInfo, SrcOlu) == 4, "GenerationInfo layout");
static_assert(offsetof(GenerationInfo, Phase) == 12, "GenerationInfo layout");
static_assert(offsetof(GenerationInfo, BlkCnt) == 16, "GenerationInfo layout");
static_assert(offsetof(GenerationInfo, TrgAddr) == 40, "GenerationInfo layout");
static_assert(offsetof(GenerationInfo, SrcVolume) == 48, "GenerationInfo layout");
static_assert(offsetof(GenerationInfo, SrcAlias) == 2096, "GenerationInfo layout");
static_assert(offsetof(GenerationInfo, SrcVolumeSet) == 2176, "GenerationInfo layout");
#endif

#endif /* ZRKC_QUERY_H */
