/*
 * zrkc.h - the command layer of libzrkapi: the header the command programs
 * include. It brings in zrkapi.h (the result records ReturnInfo and
 * PairResult live there) and adds the command layer's own vocabulary: the
 * bits of a command's option word, the return classes, the frame's globals,
 * the copy-pair list and its records, and the shared com_ functions.
 *
 * Every command function (zrkc_...) returns 0 on success, 1 for a warning (a
 * result area too small among them) and -1 on an error, and leaves the
 * return class, the message number and the complete message line ("ZRKCnnnn
 * ERROR text\n") in the caller's ReturnInfo. With ZRKC_OPT_GROUP_FILE each
 * line of the group file gets its own PairResult entry in the caller's
 * per-pair area (ReturnInfo.pPairArea, ReturnInfo.uiPairAreaLength bytes):
 * a uint32 count, then the entries packed (ZRK_PAIR_AREA_SIZE).
 */
#ifndef ZRKC_H
#define ZRKC_H

#include "zrkapi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ------------------------------------------------------------------------ */
/* The option word of a command function                                    */
/* ------------------------------------------------------------------------ */

/* The low 16 bits are the API option bits (ZRK_OPT_...), passed on to the
 * copy functions; the bits above are the command layer's own. */
#define ZRKC_OPT_API_MASK       0xFFFFu    /* the bits a command passes on as they are */
#define ZRKC_OPT_CONC_SUSPEND   0x100000u  /* concurrent suspend */
#define ZRKC_OPT_STACK_TIMER    0x200000u  /* suspend with the stack timer */
#define ZRKC_OPT_RECOVERY       0x400000u  /* recovery resume */
#define ZRKC_OPT_ACCESS_PATH    0x800000u  /* send through the alias in ZrkcAccessPath */
#define ZRKC_OPT_OTHER_WAY      0x1000000u /* resolve the pair the other way round */
#define ZRKC_OPT_GROUP_FILE     0x2000000u /* operand 1 names a group file */
#define ZRKC_OPT_PROPERTIES     0x4000000u /* modes, count and interval from zrkc.ini */

/* Extended option bits (uiExOptionFlag), set by the programs. */
#define ZRKC_EXOPT_TFOP         0x1u   /* -tfop */
#define ZRKC_EXOPT_VVOL         0x2u   /* -vvol */
#define ZRKC_EXOPT_VVOL_DELETE  0x4u   /* -vvol_delete */
#define ZRKC_EXOPT_SESSION_LIST 0x8u   /* -sl */
#define ZRKC_EXOPT_REMOTE_VZ    0x10u  /* -remote_vz */

/* ------------------------------------------------------------------------ */
/* Return classes (ReturnInfo.iReturnClass, PairResult.iReturnClass)        */
/* ------------------------------------------------------------------------ */

enum {
    ZRKC_CLASS_OK            = 0,  /* success */
    ZRKC_CLASS_STATE         = 1,  /* the state does not allow the operation */
    ZRKC_CLASS_BUSY          = 2,  /* resource busy or in use, limit reached */
    ZRKC_CLASS_PARAMETER     = 3,  /* parameter, operand or option; area too small */
    ZRKC_CLASS_MEMORY        = 4,  /* memory exhausted */
    ZRKC_CLASS_INTERNAL      = 5,  /* internal error */
    ZRKC_CLASS_ARRAY         = 6,  /* a function or condition of the array */
    ZRKC_CLASS_SCSI          = 7,  /* SCSI-level error */
    ZRKC_CLASS_PROPERTIES    = 8,  /* properties file */
    ZRKC_CLASS_TIMEOUT       = 9,  /* a wait for the array ran out */
    ZRKC_CLASS_UNREGISTERED  = 10, /* array not registered with the management server */
    ZRKC_CLASS_COMMUNICATION = 11, /* communication error */
    ZRKC_CLASS_ALIAS         = 12, /* alias store */
    ZRKC_CLASS_GROUP_LINES   = 13, /* some lines of a group file failed */
    ZRKC_CLASS_GROUP_FILE    = 14, /* group-file error */
    ZRKC_CLASS_LAN_SERVICE   = 15, /* LAN interface management service, LAN log-in */
    ZRKC_CLASS_LAN_ARRAY     = 16, /* the array's error code of a LAN operation */
    ZRKC_CLASS_SESSION_LIST  = 17  /* some identifiers of a session-list file failed */
};

/* ------------------------------------------------------------------------ */
/* Globals of the frame                                                     */
/* ------------------------------------------------------------------------ */

/* The alias of the program's -p option, copied in before the call. */
extern char ZrkcAccessPath[ZRK_VOLNAME_LEN];
/* 1 once a call of this process has seen ZRKC_OPT_ACCESS_PATH; never cleared. */
extern unsigned char ZrkcAccessPath_Flag;
/* The extended option bits (ZRKC_EXOPT_...), set by the program. */
extern uint32_t uiExOptionFlag;

/* ------------------------------------------------------------------------ */
/* Copy-pair list                                                           */
/* ------------------------------------------------------------------------ */

#define ZRKC_FORM_PAIRS   1u /* every entry has a target */
#define ZRKC_FORM_VOLUMES 2u /* no entry has one */

/* One name of the names array: NUL-terminated within its 1024 bytes; a
 * missing target is 1024 bytes of 0xFF. */
typedef struct CopyPairName {
    char caSource[ZRK_VOLNAME_LEN];
    char caTarget[ZRK_VOLNAME_LEN];
} CopyPairName;

/* The names array: one allocation, the header followed by the entries. */
typedef struct CopyPairNames {
    uint32_t     uiCount;     /* entries stored */
    uint32_t     uiForm;      /* ZRKC_FORM_PAIRS or ZRKC_FORM_VOLUMES */
    CopyPairName taEntry[];   /* uiCount used (room for more in group-file mode) */
} CopyPairNames;

/* One resolved entry of the list: where its source and target lie and how
 * the command reaches the array. */
typedef struct CopyPair {
    char     caAccessVolume[ZRK_VOLNAME_LEN]; /* host device or array address; empty: none */
    uint8_t  ucByTarget;      /* 1: the access volume is the target's (arrays differ) */
    uint8_t  ucVolumeKind;    /* kind of the target name; 0xFF without target */
    uint8_t  ucSuspendMark;   /* set by the suspend commands */
    uint8_t  ucWholeVolume;   /* the matching session covers the whole volume */
    char     caSrcBoxID[ZRK_BOXID_LEN];
    uint32_t SrcOlu;
    uint32_t uiReserved1;
    uint32_t SrcAddr_h, SrcAddr_l;   /* source extent start */
    uint32_t SrcSize_h, SrcSize_l;   /* source size */
    char     caTrgBoxID[ZRK_BOXID_LEN]; /* 0xFF x 40 without target */
    uint32_t TrgOlu;                 /* 0xFFFFFFFF without target */
    uint32_t uiReserved2;
    uint32_t TrgAddr_h, TrgAddr_l;   /* target extent start */
    uint32_t CopySize_h, CopySize_l; /* the source size as resolved */
    uint32_t TrgSize_h, TrgSize_l;   /* the target's own size */
    VOL_INFO tVolInfo;               /* volume information of the side resolved last */
    uint16_t uhMaxSessions;          /* larger maximum session count of the two sides */
    uint16_t uhGenerations;          /* larger SnapKZP+ generation count of the two sides */
    uint8_t  ucTransport;            /* 0 SCSI, 1 LAN */
    uint8_t  ucaReserved[3];
    uint32_t uiReserved3;            /* pads the record to its 1432 bytes */
} CopyPair;

/* The pairs area: a count and the resolved entries. */
typedef struct CopyPairArea {
    uint32_t uiCount;
    CopyPair taPair[];
} CopyPairArea;

/* One entry of the subgroup index. */
typedef struct SubgroupEntry {
    uint32_t  uiSubgroupSize; /* first entry of a subgroup: its pair count, else 0 */
    uint32_t  uiRunSize;      /* first entry of a box run: its pair count, else 0 */
    CopyPair *pPair;          /* the pair */
    uint32_t  uiPairIndex;    /* its position in the list and in the per-pair area */
    uint32_t  uiSameBox;      /* first entry of a subgroup: 1 source and target BoxID equal */
} SubgroupEntry;

/* The subgroup index: the pairs sorted by source BoxID, target BoxID and
 * ucByTarget; a box run shares both BoxIDs, a subgroup the source BoxID
 * (split at every target BoxID when its first pair is reached by its target). */
typedef struct SubgroupIndex {
    uint32_t      uiPairCount;
    uint32_t      uiSubgroups;
    uint32_t      uiBoxRuns;
    uint32_t      uiReserved;
    SubgroupEntry taEntry[];
} SubgroupIndex;

/* The working list of one command call; cleared at its start and released
 * with com_file_release on every way out. */
typedef struct CopyPairList {
    int32_t        iDirection;     /* direction the list was resolved with */
    int32_t        iFromGroupFile; /* 1: the names came from a group file */
    CopyPairNames *pNames;         /* the names array */
    CopyPairArea  *pPairs;         /* the resolved pairs */
    SubgroupIndex *pSubgroups;     /* the subgroup index */
} CopyPairList;

/* ------------------------------------------------------------------------ */
/* Shared functions of the commands                                         */
/* ------------------------------------------------------------------------ */

/* Maps the result of one API call (identifier: which function, 1..71) to a
 * return class, message number and message line; message (512 bytes) is
 * cleared in any case. 0 when apiResult is not -1 (class and number left as
 * they are), else -1 with the three outputs filled from ZRKerrno and the
 * 256 bytes of sense. */
int com_set_return_inf(uint8_t identifier, const char *volume, int apiResult,
                       const unsigned char *senseData, int32_t *returnClass,
                       uint32_t *messageNo, char *message);

/* Builds the names array from the operands, or with ZRKC_OPT_GROUP_FILE
 * from the group file operand1 names, and checks the caller's per-pair area.
 * 0 ready; 1 the area is too small (1015, the size needed in
 * ReturnInfo.uiNeedPairAreaSize); -1 error. */
int com_set_copypair(const char *operand1, const char *operand2, uint32_t optionFlag,
                     CopyPairList *list, ReturnInfo *ri);
/* Reads a group file into the list's names array; 0 or -1. */
int com_file_prepare(const char *path, CopyPairList *list, ReturnInfo *ri);
/* A pair list becomes the list of its targets. */
void com_pair_to_vol(CopyPairList *list);
/* A pair list becomes a volume list of its sources (side 0) or targets (1). */
void com_reset_copypair(int side, CopyPairList *list);
/* Builds the subgroup index over the resolved pairs; 0 or -1 (1106). */
int com_org_subgroup(CopyPairList *list, ReturnInfo *ri);
/* The subgroup sort order, for qsort over SubgroupEntry. */
int com_subgroup_compare(const void *a, const void *b);
/* A start's check that no resolved size is 0 (1020); 0 or -1. */
int start_volume_size_check(CopyPairList *list, ReturnInfo *ri);
/* Frees what the list holds; safe on a cleared list and more than once. */
void com_file_release(CopyPairList *list);

/* ------------------------------------------------------------------------ */
/* Volume resolution                                                        */
/* ------------------------------------------------------------------------ */

/* Resolves every name of the list into its CopyPair (direction 0: the
 * source name feeds the source side; 1: the other way round), checks sizes
 * and overlap, chooses each pair's access volume and transport and builds
 * the subgroup index. 0, or -1 with the pairs area freed and ri filled. */
int com_conv_volinf(CopyPairList *list, int direction, ReturnInfo *ri);
/* Resolves an alias form "OLU@alias" (OLU hexadecimal, "0x" optional)
 * through the alias store. accessVolume (1024 bytes) and transport are
 * written only when the alias has a route that this call may use. 0
 * resolved (or not reachable: size 0, access volume untouched), -1 error,
 * -3 the status read through the route failed, 5 the access-path alias has
 * no route; ri filled on every result but 0. */
int com_volume_alias(const char *name, char *accessVolume, char *boxId, uint32_t *olu,
                     uint32_t *extentHigh, uint32_t *extentLow, uint32_t *sizeHigh,
                     uint32_t *sizeLow, VOL_INFO *volInfo, uint8_t *transport, ReturnInfo *ri);
/* Resolves an extent form "OLU:start:size[.half]@alias" (start hexadecimal
 * blocks, size decimal in units of two blocks, half 0 or 5 for one block
 * more); results as com_volume_alias, without -3. */
int com_volume_alias_extent(const char *name, char *accessVolume, char *boxId, uint32_t *olu,
                            uint32_t *extentHigh, uint32_t *extentLow, uint32_t *sizeHigh,
                            uint32_t *sizeLow, VOL_INFO *volInfo, uint8_t *transport,
                            ReturnInfo *ri);

/* ------------------------------------------------------------------------ */
/* Session and LUN-status lists                                             */
/* ------------------------------------------------------------------------ */

/* The session of one pair as the array's detail list holds it. */
typedef struct SessionRecord {
    uint8_t          ucFound;  /* 1: a matching session was found */
    DETAIL_LIST_INFO tDetail;  /* the entry as the array sent it (big-endian) */
} SessionRecord;

/* The status of one pair's source logical unit. */
typedef struct LunStatusRecord {
    uint8_t       ucFound;                       /* 1: the OLU was found */
    unsigned char ucaStatus[ZRK_OLU_STATUS_LEN]; /* its OLU_STATUS entry (big-endian) */
} LunStatusRecord;

/* Finds each resolved pair's session, one detail-list read per subgroup
 * (records: one per pair in list order, cleared by the caller). 0 every
 * pair found, 2 some pair has none, -1 error (ri filled). */
int com_get_session_list(CopyPairList *list, int direction, int optionFlag, int *foundCount,
                         SessionRecord *records, ReturnInfo *ri);
/* Finds each pair's source OLU in the array's OLU status list, one read per
 * subgroup over the OLUs it needs. 0 all found, 2 some not, -1 error. */
int com_get_lunstatus_list(CopyPairList *list, int *foundCount, LunStatusRecord *records,
                           ReturnInfo *ri);
/* Asks the array through volume about the session of one resolved pair:
 * 3 it exists (detail, 256 bytes, filled), 2 it does not, -1 error (ri). */
int com_session_check(const char *volume, unsigned char *detail, ReturnInfo *ri, CopyPair pair);

/* ------------------------------------------------------------------------ */
/* VZ and RVZ sessions: start, stop, reverse, change, resume, suspend status */
/* ------------------------------------------------------------------------ */

/* One pair of the suspend status (2056 bytes). An entry whose session was
 * not found in the array's status list stays all zero. */
typedef struct SuspendStatusEntry {
    char     caSource[ZRK_VOLNAME_LEN]; /* source name as given (other way round: the target) */
    char     caTarget[ZRK_VOLNAME_LEN]; /* target name as given (other way round: the source) */
    uint8_t  ucStatus;        /* session status: 0 Idle ... 4 Suspend, 5 Halt */
    uint8_t  ucKind;          /* 5 a remote session (RVZ), 4 a local one (VZ) */
    uint8_t  ucCommandStatus; /* 0 Default, 1 Executing, 2 Error, 3 Unknown */
    uint8_t  ucReserved;
    uint32_t uiRemainingTime; /* seconds as the array reports them; 0xFFFFFFFF not known */
} SuspendStatusEntry;

/* The output area of zrkc_query_suspendstatus: count x 2056 + 8 bytes. */
typedef struct SuspendStatusList {
    uint32_t           uiCount;  /* entries: the pairs of the call */
    uint32_t           uiFilled; /* entries whose session was found */
    SuspendStatusEntry taEntry[];
} SuspendStatusList;
#ifdef __cplusplus
static_assert(sizeof(SuspendStatusEntry) == 2056, "SuspendStatusEntry layout");
static_assert(offsetof(SuspendStatusEntry, uiRemainingTime) == 2052, "SuspendStatusEntry layout");
static_assert(offsetof(SuspendStatusList, taEntry) == 8, "SuspendStatusList layout");
#endif

/* The command functions: 0, 1 (warning) or -1, the message in ri. */
int zrkc_start_vz(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_stop_vz(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_reverse_vz(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_change_vz(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_resume_vz(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_query_suspendstatus(char *source, char *target, int option, ReturnInfo *ri,
                             SuspendStatusList *output, int outputLength);
/* The API mode word of a start: from the option word's transfer, split and
 * recovery bits, or with ZRKC_OPT_PROPERTIES from the properties "mode",
 * "split" and "recovery"; plus the protection and skip bits. 0 or -1 (1405). */
int start_vz_get_option(int option, int *modeWord, ReturnInfo *ri);
/* The two ways of a resume over a resolved list; 0 or -1. */
int resume_normal(CopyPairList *list, int option, ReturnInfo *ri);
int resume_recovery(CopyPairList *list, int option, ReturnInfo *ri);

/* ------------------------------------------------------------------------ */
/* VZ suspend and session-list runs                                         */
/* ------------------------------------------------------------------------ */

/* Suspends the VZ and RVZ sessions of one pair or of every pair of a group
 * file (ZRKC_OPT_GROUP_FILE). Options: ZRK_OPT_FORCE (no wait),
 * ZRK_OPT_UNTRANSFERRED (with ZRKC_OPT_CONC_SUSPEND), ZRKC_OPT_CONC_SUSPEND,
 * ZRKC_OPT_STACK_TIMER, ZRKC_OPT_ACCESS_PATH, ZRKC_OPT_OTHER_WAY,
 * ZRKC_OPT_GROUP_FILE, ZRKC_OPT_PROPERTIES (count and interval from
 * zrkc.ini). Before the suspend it waits up to count sleeps of interval
 * seconds (count 0: no limit) until every pair is Equivalent. 0, 1 (1015;
 * 1301 when a concurrent suspend was accepted but not seen done), -1. */
int zrkc_suspend_vz(const char *src, const char *dest, uint32_t count, uint32_t interval,
                    uint32_t opt, ReturnInfo *ri);

/* One record of a concurrent suspend: the chunks (the volume each is sent
 * through and its pair count) and the pairs in subgroup-index order. */
typedef struct CONC_SUS_VOL {
    char     caVolume[ZRK_VOLNAME_LEN]; /* access volume of the box run's first pair */
    uint32_t uiCount;                   /* pairs of the chunk */
} CONC_SUS_VOL;

typedef struct ConcSuspendSet {
    uint32_t          uiChunks; /* chunks filled */
    CONC_SUS_VOL     *pVol;     /* room for one chunk per pair */
    CONC_SUS_PAIR_LV *pPair;    /* one entry per pair */
} ConcSuspendSet;

/* Fills the set from the list's subgroup index, cutting each box run into
 * chunks of at most its per-command maximum (maxima: one per index entry,
 * read at the first entry of each run); 0, or -1 (1106). */
int suspend_group_make(CopyPairList *list, const uint16_t *maxima, ConcSuspendSet *set,
                       ReturnInfo *ri);
/* Frees what the set holds; safe on a partly filled or cleared set. */
void suspend_group_close(ConcSuspendSet *set);

/* Session-list run: one copy operation of the array's command line (CLI
 * type 1 stop, 10/11 suspend VZ/RVZ, 12/13 resume, 14/15 reverse, 16 RVZ
 * mode change) for every session identifier of the file, sent in one
 * command through the LAN alias in ZrkcAccessPath. One PairResult entry per
 * identifier. 0, or -1 (17, 1834 when some sessions failed). */
int zrkc_execcli_sessionlist(const char *file, int cliType, int opt, ReturnInfo *ri);
/* Reads the session identifiers of a session-list file (at most
 * ZRKC_SESSION_LIST_MAX); 0 with at least one, or -1 with ri filled. */
int com_get_ses_list_file(const char *file, uint32_t *count, uint32_t *ids, ReturnInfo *ri);
#define ZRKC_SESSION_LIST_MAX 768u

/* ------------------------------------------------------------------------ */
/* Volume and device summaries; the IP-service entry points                 */
/* ------------------------------------------------------------------------ */

/* Where one volume lies in its array (host order; 112 bytes). */
typedef struct VolumeQueryInfo {
    char     BoxID[ZRK_BOXID_LEN];      /* the volume's array */
    uint8_t  Type;                      /* ZRKC_VOLTYPE_... */
    uint8_t  ucaReserved41[3];
    uint32_t Volume;                    /* the volume's OLU */
    uint64_t ExtentStartAddress;        /* in the array's blocks */
    uint64_t ExtentSize;                /* in the array's blocks */
    char     Alias[ZRK_BOXID_LEN];      /* the array's alias, when AliasPresent */
    uint8_t  AliasPresent;              /* 1: Alias filled */
    uint8_t  ucaReserved105[7];
} VolumeQueryInfo;

#define ZRKC_VOLTYPE_NORMAL 1u /* VolumeQueryInfo.Type: an ordinary volume */
#define ZRKC_VOLTYPE_SDV    2u /* a snap data volume (attribute byte 1) */

/* What the array of one volume can do (host order; 64 bytes). */
typedef struct DeviceQueryInfo {
    uint16_t MaxSession;                /* maximum session count of the volume */
    uint16_t MaxSnapGene;               /* maximum SnapKZP+ generation count */
    uint32_t SupportFlag;               /* ZRKC_DEVSUP_... */
    uint8_t  ucaReserved8[56];
} DeviceQueryInfo;

/* DeviceQueryInfo.SupportFlag. */
#define ZRKC_DEVSUP_DEVICE        0x1000000u /* the device information's capability bit */
#define ZRKC_DEVSUP_TARGET_STATUS 0x2000000u /* ZRK_SUPPORT_TARGET_STATUS of the RVZ group */
#define ZRKC_DEVSUP_LAN_FUNCTION  0x4000000u /* LAN: the copy-function word's capability bit */

/* The volume name's kinds, as com_volume_kind answers them. */
#define ZRKC_VOLKIND_DEVICE 1 /* a device name */
#define ZRKC_VOLKIND_ALIAS  3 /* OLU@alias */
#define ZRKC_VOLKIND_EXTENT 4 /* OLU@alias:extent */

/* The summary of a device-named volume (opt must be 0); area NULL with len
 * 0 asks for the size. 0, 1 (1001, the size needed in ri), -1. */
int zrkc_get_volume(const char *vol, uint32_t opt, ReturnInfo *ri, void *area, uint32_t len);
/* The maxima and capabilities of a volume (opt must be 0). 0, 1, -1. */
int zrkc_get_device(const char *vol, uint32_t opt, ReturnInfo *ri, void *area, uint32_t len);
/* The maximum session count and the maximum generation count (two uint16,
 * len at least 8) of a volume or of the first line of a group file. */
int zrkc_get_max_count(const char *vol, uint32_t opt, ReturnInfo *ri, void *area, uint32_t len);
/* Runs one command through the LAN interface management service and copies
 * at most len - 1 bytes of the reply, always terminated (len below 1:
 * nothing is copied). 0, or non-zero with ZRKerrno; a failure leaves reply
 * untouched. */
int zrkc_exec_cli(const char *ipAddress, const char *user, int optionFlag, const char *command,
                  int len, char *reply);
/* The integer value of one property; a failure leaves a non-zero class. */
int zrkc_getproperties_int(const char *key, ReturnInfo *ri);
#ifdef __cplusplus
static_assert(sizeof(VolumeQueryInfo) == 112, "VolumeQueryInfo layout");
static_assert(offsetof(VolumeQueryInfo, Volume) == 44, "VolumeQueryInfo layout");
static_assert(offsetof(VolumeQueryInfo, ExtentStartAddress) == 48, "VolumeQueryInfo layout");
static_assert(offsetof(VolumeQueryInfo, Alias) == 64, "VolumeQueryInfo layout");
static_assert(offsetof(VolumeQueryInfo, AliasPresent) == 104, "VolumeQueryInfo layout");
static_assert(sizeof(DeviceQueryInfo) == 64, "DeviceQueryInfo layout");
static_assert(offsetof(DeviceQueryInfo, SupportFlag) == 4, "DeviceQueryInfo layout");
#endif


#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(CopyPairName) == 2048, "CopyPairName layout");
static_assert(sizeof(CopyPairNames) == 8, "CopyPairNames layout");
static_assert(offsetof(CopyPairNames, taEntry) == 8, "CopyPairNames layout");
static_assert(offsetof(CopyPair, ucByTarget) == 1024, "CopyPair layout");
static_assert(offsetof(CopyPair, caSrcBoxID) == 1028, "CopyPair layout");
static_assert(offsetof(CopyPair, SrcOlu) == 1068, "CopyPair layout");
static_assert(offsetof(CopyPair, SrcSize_l) == 1088, "CopyPair layout");
static_assert(offsetof(CopyPair, caTrgBoxID) == 1092, "CopyPair layout");
static_assert(offsetof(CopyPair, TrgOlu) == 1132, "CopyPair layout");
static_assert(offsetof(CopyPair, TrgAddr_h) == 1140, "CopyPair layout");
static_assert(offsetof(CopyPair, CopySize_h) == 1148, "CopyPair layout");
static_assert(offsetof(CopyPair, TrgSize_l) == 1160, "CopyPair layout");
static_assert(offsetof(CopyPair, tVolInfo) == 1164, "CopyPair layout");
static_assert(offsetof(CopyPair, uhMaxSessions) == 1420, "CopyPair layout");
static_assert(offsetof(CopyPair, ucTransport) == 1424, "CopyPair layout");
static_assert(sizeof(CopyPair) == 1432, "CopyPair layout");
static_assert(offsetof(CopyPairArea, taPair) == 4, "CopyPairArea layout");
static_assert(sizeof(SessionRecord) == 161, "SessionRecord layout");
static_assert(sizeof(LunStatusRecord) == 57, "LunStatusRecord layout");
static_assert(sizeof(SubgroupEntry) == 24, "SubgroupEntry layout");
static_assert(offsetof(SubgroupEntry, pPair) == 8, "SubgroupEntry layout");
static_assert(offsetof(SubgroupEntry, uiSameBox) == 20, "SubgroupEntry layout");
static_assert(offsetof(SubgroupIndex, taEntry) == 16, "SubgroupIndex layout");
static_assert(sizeof(CopyPairList) == 32, "CopyPairList layout");
#endif

#endif /* ZRKC_H */
