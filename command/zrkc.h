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
    uint8_t  ucTransport;            /* ZRKC_TRANSPORT_... */
    uint8_t  ucaReserved[3];
    uint32_t uiReserved3;            /* pads the record to its 1432 bytes */
} CopyPair;

/* CopyPair.ucTransport: the road a command takes to the pair's array. */
#define ZRKC_TRANSPORT_SCSI 0u /* in-band, through the access volume's device */
#define ZRKC_TRANSPORT_LAN  1u /* out-of-band, to the array's address */

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
    uint16_t  uhCommandMax;   /* first entry of a box run: pairs one concurrent suspend takes */
    uint16_t  uhReserved;
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
    uint8_t  ucStatus;        /* ZRKC_SESSION_... */
    uint8_t  ucKind;          /* ZRKC_QKIND_RVZ a remote session, ZRKC_QKIND_VZ a local one */
    uint8_t  ucCommandStatus; /* ZRKC_COMMAND_... */
    uint8_t  ucReserved;
    uint32_t uiRemainingTime; /* seconds as the array reports them; 0xFFFFFFFF not known */
} SuspendStatusEntry;

/* The status of a session: the Status byte of its detail entry and of its
 * status-list entry (SuspendStatusEntry.ucStatus). */
enum {
    ZRKC_SESSION_IDLE          = 0,
    ZRKC_SESSION_RESERVE       = 1,
    ZRKC_SESSION_ACTIVE        = 2,
    ZRKC_SESSION_ERROR_SUSPEND = 3,
    ZRKC_SESSION_SUSPEND       = 4,
    ZRKC_SESSION_HALT          = 5
};

/* The state of the last command to a session (SuspendStatusEntry.ucCommandStatus). */
enum {
    ZRKC_COMMAND_DEFAULT   = 0,
    ZRKC_COMMAND_EXECUTING = 1,
    ZRKC_COMMAND_ERROR     = 2,
    ZRKC_COMMAND_UNKNOWN   = 3
};

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

/* The parts of the suspend, each called by zrkc_suspend_vz only; the
 * results go into ri (a group file's pairs into their PairResult entries).
 * suspend_sub: the forced (ZRK_OPT_FORCE) or the stack-timer
 * (ZRKC_OPT_STACK_TIMER) suspend of every pair; 0, or -1 (1804 when pairs
 * of a group file failed). */
int suspend_sub(CopyPairList *list, uint32_t opt, ReturnInfo *ri);
/* Looks at the sessions until every pair reached the wanted state (mode 1:
 * phase Equivalent; otherwise status Suspend), sleeping interval seconds
 * between looks; *slept counts the sleeps of the whole call, bounded by
 * count (0: no bound). 0 reached, 4 gave up (interval 0: after one look),
 * -1 error. */
int suspend_timeout_check(CopyPairList *list, uint32_t count, uint32_t interval, int mode,
                          uint32_t *slept, ReturnInfo *ri);
/* Forced suspend, change to through mode (the recovery mode kept) and
 * resume of one RVZ pair, so that its buffered data drains; 0 or -1. */
int suspend_flash(ReturnInfo *ri, CopyPair pair, DETAIL_LIST_INFO detail);
/* Every pair between two arrays: suspend_error_return force-suspends it,
 * changes it to mode | recovery and resumes it (after a wait that ran out);
 * suspend_mode_return only changes it back (after the suspend). 0 or -1
 * at the first failure. */
int suspend_error_return(CopyPairList *list, uint32_t mode, uint32_t recovery, ReturnInfo *ri);
int suspend_mode_return(CopyPairList *list, uint32_t mode, uint32_t recovery, ReturnInfo *ri);

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
 * chunks of at most its per-command maximum (uhCommandMax of the run's
 * first entry; 0 takes the run whole); 0, or -1 (1106). */
int suspend_group_make(CopyPairList *list, ConcSuspendSet *set, ReturnInfo *ri);
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
/* Routes, aliases and LAN login                                            */
/* ------------------------------------------------------------------------ */

/* Option bit of zrkc_set_routeinfo: the array need not be registered with
 * the management server (its device list is not read). The aliases of the
 * entries created are the BoxIDs with ZRKC_OPT_BOXID_ALIAS (zrkcalias.h). */
#define ZRKC_OPT_NO_DEVICE_LIST 0x800000u

/* The area a route command reads an array's REMOTE_BOXID_LIST into: the
 * longest list an array sends (the QM family's, 256 entries). */
#define ZRKC_REMOTE_AREA_LEN    12336u

#define ZRKC_ROUTE_TARGETS      255u  /* remote arrays a RouteInfo holds */
#define ZRKC_REMOTE_NO_AT       47u   /* the number byte of a remote-box list entry */

/* One remote array of a RouteInfo (108 bytes); ProductID, DevIDNo and
 * Alias stay zero when the alias store does not know the array. */
typedef struct RouteTarget {
    uint8_t  No;                 /* byte 47 of its remote-box list entry */
    uint8_t  ucaReserved[3];
    uint8_t  ProductID[16];
    uint8_t  DevIDNo[8];
    char     Alias[40];
    char     BoxID[ZRK_BOXID_LEN]; /* as the remote-box list names it */
} RouteTarget;

/* The output of zrkc_query_routeinfo (28,676 bytes, host order): the route
 * of a device's array and the remote arrays it reaches. */
typedef struct RouteInfo {
    uint8_t     TargetCount;     /* entries of Target in use */
    uint8_t     ucaReserved[7];
    uint8_t     ProductID[16];   /* from the array's alias-store entry */
    uint8_t     DevIDNo[8];
    char        Alias[40];
    char        BoxID[ZRK_BOXID_LEN]; /* as the array reports it */
    char        AccessPath[ZRK_VOLNAME_LEN];
    RouteTarget Target[ZRKC_ROUTE_TARGETS];
} RouteInfo;

/* Registers the SCSI route of the array that holds the device volume and
 * enters the arrays it reaches (options ZRKC_OPT_BOXID_ALIAS,
 * ZRKC_OPT_NO_DEVICE_LIST). */
int zrkc_set_routeinfo(const char *volume, int option, ReturnInfo *ri);
/* The route of the device's array and of its remote arrays into area
 * (length bytes, at least sizeof(RouteInfo); else 1001, 1). Option 0. */
int zrkc_query_routeinfo(const char *volume, int option, ReturnInfo *ri, void *area, int length);
/* The alias store's entries into area (an AliasList, sizeof(AliasList)
 * bytes; else 1001, 1). Option 0. */
int zrkc_query_aliaslist(int option, ReturnInfo *ri, void *area, int length);
/* Enters an array by its BoxID (up to 40 characters); ZRKC_OPT_BOXID_ALIAS. */
int zrkc_add_alias(const char *boxId, int option, ReturnInfo *ri);
/* Gives entry id the alias (at most 16 characters of the alias rule). */
int zrkc_change_alias(unsigned int id, const char *alias, int option, ReturnInfo *ri);
/* Deletes entry id; a LAN entry needs the account's user and password. */
int zrkc_delete_alias(unsigned int id, const char *user, const char *password, int option,
                      ReturnInfo *ri);
/* Registers the LAN route of the array at ip with an array account that
 * this system may use, and enters the arrays it reaches
 * (ZRKC_OPT_BOXID_ALIAS). The account is stored as the LAN interface
 * management service encrypted it. */
int zrkc_set_iprouteinfo(const char *ip, const char *user, const char *password, int option,
                         ReturnInfo *ri);
/* Opens (login) or closes (logout) the LAN interface management service's
 * session to the LAN-registered array of the alias. Option 0. */
int zrkc_iplogin(const char *alias, int option, ReturnInfo *ri);
int zrkc_iplogout(const char *alias, int option, ReturnInfo *ri);
#ifdef __cplusplus
static_assert(sizeof(RouteTarget) == 108, "RouteTarget layout");
static_assert(offsetof(RouteTarget, BoxID) == 68, "RouteTarget layout");
static_assert(offsetof(RouteInfo, BoxID) == 72, "RouteInfo layout");
static_assert(offsetof(RouteInfo, AccessPath) == 112, "RouteInfo layout");
static_assert(offsetof(RouteInfo, Target) == 1136, "RouteInfo layout");
static_assert(sizeof(RouteInfo) == 28676, "RouteInfo layout");
#endif

/* ------------------------------------------------------------------------ */
/* LUN status, copy inhibit, RVZ buffers and copy priority                  */
/* ------------------------------------------------------------------------ */

/* Option bits of these commands beside ZRKC_OPT_GROUP_FILE and
 * ZRKC_OPT_OTHER_WAY (with a group file of pairs: each line's target). */
#define ZRKC_OPT_ALL_LUN        0x8000000u  /* every logical unit of the volume's array */
#define ZRKC_OPT_RVZBUFF_DETAIL 0x80000000u /* RVZ buffers with their controller modules */

/* Bits of a logical unit's status word (LunStatusEntry.StatusFlag). */
#define ZRKC_LUN_COPY_INHIBIT   0x8000000u /* copy inhibit (copy protection) */
#define ZRKC_LUN_INITIALIZING   0x2000000u /* snap data volume being initialised */
#define ZRKC_LUN_SDV            0x1000000u /* snap data volume */
#define ZRKC_LUN_TFOV           0x800000u  /* transparent-failover volume */
#define ZRKC_LUN_SECONDARY      0x400000u  /* failover secondary */
#define ZRKC_LUN_STANDBY        0x200000u  /* failover standing by */

/* The status of one logical unit (1088 bytes); sizes in 512-byte blocks. */
typedef struct LunStatusEntry {
    char     VolumeName[ZRK_VOLNAME_LEN]; /* not filled: the caller knows its operands */
    uint16_t Olu;
    uint8_t  TfoGroupNo;                 /* transparent-failover group */
    uint8_t  ucaReserved1[5];
    uint32_t StatusFlag;                 /* ZRKC_LUN_... */
    uint32_t uiReserved2;
    uint64_t LogicalSize;
    uint64_t PhysicalSize;
    uint64_t UsedSdvHost;
    uint64_t UsedSdvCopy;
    uint64_t UsedSdpHost;
    uint64_t UsedSdpCopy;
} LunStatusEntry;

/* The output area of zrkc_query_lunstatus: 8 + items x 1088 bytes (the
 * all-LUN form always ZRKC_LUN_ALL_AREA_LEN). */
typedef struct LunStatusList {
    uint32_t       ItemCount;   /* items processed */
    uint32_t       FilledCount; /* items filled */
    LunStatusEntry taEntry[];
} LunStatusList;
#define ZRKC_LUN_ALL_ITEMS    65536u
#define ZRKC_LUN_ALL_AREA_LEN (8u + ZRKC_LUN_ALL_ITEMS * 1088u)

/* One controller module of an RVZ buffer (detail form; 40 bytes). */
typedef struct CMInfo {
    uint16_t CMID;
    uint16_t uhReserved;
    uint32_t BuffSize;
    uint32_t BuffUseSize;
    uint32_t BuffFreeSize;
    uint64_t DskBuffSize;
    uint64_t DskBuffStrgSize;
    uint64_t DskBuffFreeSize;
} CMInfo;

/* One RVZ buffer (176 bytes). */
typedef struct BuffGroupInfo {
    uint8_t  GroupNum;                   /* the buffer's identifier */
    uint8_t  BuffStat;                   /* 3 active */
    uint16_t uhReserved1;
    uint16_t Use;                        /* ZRKC_RVZBUFF_SEND or ZRKC_RVZBUFF_RECEIVE */
    uint16_t Interval;                   /* forwarding interval */
    uint32_t WatchTime;                  /* monitoring time */
    uint32_t BuffSize;
    char     RemoteBoxID[ZRK_BOXID_LEN]; /* the partner array */
    char     Alias[ZRK_BOXID_LEN];       /* its alias, or "[Other-Storage]" */
    uint16_t BuffSessCnt;
    uint16_t CmCnt;                      /* controller modules, at most ZRKC_RVZBUFF_CMS */
    uint32_t TotalSize;
    uint32_t TotalUseSize;
    uint32_t TotalSpaceSize;
    uint8_t  DskBuffStat;                /* disk buffer state */
    uint8_t  RLUCnt;                     /* RLUN values used, at most 16 */
    uint16_t RLUN[16];
    uint16_t uhReserved2;
    uint32_t ElapsTime;
    uint64_t DskBuffSize;
    uint64_t DskBuffStrgSize;
    uint64_t DskBuffFreeSize;
} BuffGroupInfo;

#define ZRKC_RVZBUFF_ITEMS 8u  /* buffers a record holds */
/* The use of an RVZ buffer (BuffGroupInfo.Use, zrkc_change_rvzbuff). */
enum { ZRKC_RVZBUFF_SEND = 1, ZRKC_RVZBUFF_RECEIVE = 2 };
#define ZRKC_RVZBUFF_CMS   32u /* controller modules of a detail item */

/* A buffer of the detail form: the buffer and its modules (1456 bytes). */
typedef struct BuffGroupDetail {
    BuffGroupInfo tGroup;
    CMInfo        taCm[ZRKC_RVZBUFF_CMS];
} BuffGroupDetail;

/* The output of zrkc_query_rvzbuff: this head, then ZRKC_RVZBUFF_ITEMS
 * BuffGroupInfo items (normal form, ZRKC_RVZBUFF_LEN bytes) or
 * BuffGroupDetail items (ZRKC_OPT_RVZBUFF_DETAIL, ZRKC_RVZBUFF_DETAIL_LEN);
 * CurBuffCnt of them are filled. */
typedef struct RvzBuffQueryInfo {
    uint16_t MaxBuffCnt;
    uint16_t CurBuffCnt;   /* items filled, at most ZRKC_RVZBUFF_ITEMS */
    uint8_t  SupptFunc;
    uint8_t  ucaReserved[3];
} RvzBuffQueryInfo;
#define ZRKC_RVZBUFF_LEN        (8u + ZRKC_RVZBUFF_ITEMS * 176u)
#define ZRKC_RVZBUFF_DETAIL_LEN (8u + ZRKC_RVZBUFF_ITEMS * 1456u)

/* One remote array of the copy priority (64 bytes). */
typedef struct CopyPriorityEntry {
    char     caBoxID[ZRK_BOXID_LEN];
    uint8_t  ucConnectionType;  /* ZRKC_CONNECTION_DIRECT, any other value remote */
    uint8_t  ucPriorityLevel;   /* direct: 0 auto */
    uint8_t  ucaReserved1[2];
    uint8_t  ucaCarried[2];     /* block bytes 44 and 45, as the array sends them */
    uint16_t uhaCarried[2];     /* block bytes 46-49, in host order */
    uint16_t uhMultiplicity;    /* remote: 0 auto */
    uint8_t  ucaReserved2[12];
} CopyPriorityEntry;

/* The output of zrkc_query_copypriority (1032 bytes). */
typedef struct CopyPriorityInfo {
    uint8_t           ucHead;       /* block byte 0, as the array sends it */
    uint8_t           ucLCopyRate;  /* 0 Auto, 1 Low, 2 High, 3 Very-Low, 4 Middle */
    uint8_t           ucEntryCount; /* remote entries, at most 16 */
    uint8_t           ucaReserved[5];
    CopyPriorityEntry taEntry[16];
} CopyPriorityInfo;

/* One copy priority setting (120 bytes), built by the program. */
/* What a copy priority setting sets (CopyPriorityParam.ucKind): the local
 * copy rate, or the priority of a remote array. */
enum { ZRKC_PRIORITY_LOCAL = 0, ZRKC_PRIORITY_REMOTE = 1 };
/* How a remote array is connected (ucConnectionType). */
enum { ZRKC_CONNECTION_DIRECT = 0, ZRKC_CONNECTION_REMOTE = 1 };

typedef struct CopyPriorityParam {
    uint8_t  ucKind;            /* ZRKC_PRIORITY_LOCAL or ZRKC_PRIORITY_REMOTE */
    uint8_t  ucLCopyRate;       /* kind 0 */
    uint8_t  ucaReserved1[6];
    char     caBoxID[ZRK_BOXID_LEN]; /* kind 1 */
    uint8_t  ucConnectionType;  /* remote kind: ZRKC_CONNECTION_DIRECT or _REMOTE */
    uint8_t  ucPriorityLevel;   /* direct: 0 auto */
    uint16_t uhMultiplicity;    /* remote: 0 auto */
    uint8_t  ucaReserved2[68];
} CopyPriorityParam;

/* The status of the volume's logical unit, of each group-file line's, or
 * (ZRKC_OPT_ALL_LUN) of every unit of its array. 0, 1 (1001 with the size
 * needed, or the per-pair area), -1. */
int zrkc_query_lunstatus(char *volume, int option, ReturnInfo *ri, LunStatusList *output,
                         int outputLength);
/* Sets (state 1) or releases (0) the copy inhibit of the volume or of each
 * group-file line's; a unit already in the state is left alone. 0, 1, -1. */
int zrkc_set_copyinhibit(char *volume, uint8_t state, int option, ReturnInfo *ri);
/* Refuses the inhibit of a volume that is the target of an active RVZ
 * session in stack or consistency mode: 0, -1 (1111 or an error), -2 (a
 * group run with refused lines, each in its PairResult). */
int copyinhibit_possiblecheck(CopyPairList *list, ReturnInfo *ri);

/* The RVZ buffers of the volume's array. 0, 1 (1001), -1. */
int zrkc_query_rvzbuff(char *volume, int option, ReturnInfo *ri, void *output, int outputLength);
/* Sets buffer id's use (1 send, 2 receive) and partner (NULL: the present
 * one). 0 or -1 (0101 for an unknown buffer). */
int zrkc_change_rvzbuff(char *volume, uint16_t id, uint16_t use, const char *boxId, int option,
                        ReturnInfo *ri);
/* The copy priority of the volume's array (SCSI only). 0 or -1. */
int zrkc_query_copypriority(char *volume, int option, ReturnInfo *ri, CopyPriorityInfo *output);
/* Sends one copy priority setting (SCSI only). 0 or -1 (3005). */
int zrkc_change_copypriority(char *volume, int option, ReturnInfo *ri, CopyPriorityParam param);
#ifdef __cplusplus
static_assert(sizeof(LunStatusEntry) == 1088, "LunStatusEntry layout");
static_assert(offsetof(LunStatusEntry, StatusFlag) == 1032, "LunStatusEntry layout");
static_assert(offsetof(LunStatusEntry, LogicalSize) == 1040, "LunStatusEntry layout");
static_assert(offsetof(LunStatusList, taEntry) == 8, "LunStatusList layout");
static_assert(sizeof(CMInfo) == 40, "CMInfo layout");
static_assert(offsetof(BuffGroupInfo, Alias) == 56, "BuffGroupInfo layout");
static_assert(offsetof(BuffGroupInfo, BuffSessCnt) == 96, "BuffGroupInfo layout");
static_assert(offsetof(BuffGroupInfo, RLUN) == 114, "BuffGroupInfo layout");
static_assert(offsetof(BuffGroupInfo, ElapsTime) == 148, "BuffGroupInfo layout");
static_assert(sizeof(BuffGroupInfo) == 176, "BuffGroupInfo layout");
static_assert(sizeof(BuffGroupDetail) == 1456, "BuffGroupDetail layout");
static_assert(sizeof(RvzBuffQueryInfo) == 8, "RvzBuffQueryInfo layout");
static_assert(offsetof(CopyPriorityEntry, uhMultiplicity) == 50, "CopyPriorityEntry layout");
static_assert(sizeof(CopyPriorityEntry) == 64, "CopyPriorityEntry layout");
static_assert(sizeof(CopyPriorityInfo) == 1032, "CopyPriorityInfo layout");
static_assert(offsetof(CopyPriorityParam, ucConnectionType) == 48, "CopyPriorityParam layout");
static_assert(sizeof(CopyPriorityParam) == 120, "CopyPriorityParam layout");
#endif

/* Snap data volumes, the snap data pool and estimate sessions              */
/* ------------------------------------------------------------------------ */

/* Flags of a volume's OLU status (bytes 4 to 7), as SdvStatusEntry.Flag
 * carries them. */
#define ZRKC_SDV_FLAG_SDV          0x1000000u /* the volume is a snap data volume */
#define ZRKC_SDV_FLAG_INITIALIZING 0x2000000u /* it is being initialised */

/* One volume of the estimate query (1048 bytes). An entry whose volume has
 * no estimate session stays all zero. */
typedef struct EstimateEntry {
    char     caVolume[ZRK_VOLNAME_LEN]; /* the volume name as given */
    uint8_t  ucaReserved[8];
    uint64_t BlkCnt;                    /* blocks the estimate session measured */
    uint64_t Size;                      /* the session's source size in blocks */
} EstimateEntry;

/* The output area of zrkc_query_estimate: count x 1048 + 8 bytes. */
typedef struct EstimateList {
    uint32_t      uiCount;  /* entries: the volumes of the call */
    uint32_t      uiFilled; /* entries whose volume had a session */
    EstimateEntry taEntry[];
} EstimateList;

/* One volume of the snap data volume query (1088 bytes), sizes in blocks.
 * OluNo and Flag are written for every volume whose status was read; the
 * name and the sizes only for a snap data volume. */
typedef struct SdvStatusEntry {
    char     caVolume[ZRK_VOLNAME_LEN]; /* the volume name as given */
    uint16_t OluNo;                     /* the volume's OLU */
    uint8_t  ucaReserved1[6];
    uint32_t Flag;                      /* ZRKC_SDV_FLAG_... */
    uint8_t  ucaReserved2[4];
    uint64_t LogiTmp;                   /* logical size */
    uint64_t PhysiTmp;                  /* physical size */
    uint64_t SnapUsedHost;              /* used in the volume by host writes */
    uint64_t SnapUsedCopy;              /* used in the volume by copies */
    uint64_t PoolCapaHost;              /* pool space used for it by host writes */
    uint64_t PoolCapaCopy;              /* pool space used for it by copies */
} SdvStatusEntry;

/* The output area of zrkc_query_sdv: count x 1088 + 8 bytes. */
typedef struct SdvStatusList {
    uint32_t       uiCount;  /* entries: the volumes of the call */
    uint32_t       uiFilled; /* entries that are snap data volumes */
    SdvStatusEntry taEntry[];
} SdvStatusList;

/* The output of zrkc_query_sdp: the snap data pool of the volume's array
 * and of its encryption part, in blocks. */
typedef struct SdpInfo {
    uint64_t uiBlk;           /* total size */
    uint64_t uiBlkHostUse;    /* used by host writes */
    uint64_t uiBlkCopyUse;    /* used by copies */
    uint64_t uiBlkEnc;        /* total size of the encryption part */
    uint64_t uiBlkEncHostUse; /* its use by host writes */
    uint64_t uiBlkEncCopyUse; /* its use by copies */
} SdpInfo;
#ifdef __cplusplus
static_assert(sizeof(EstimateEntry) == 1048, "EstimateEntry layout");
static_assert(offsetof(EstimateEntry, BlkCnt) == 1032, "EstimateEntry layout");
static_assert(offsetof(EstimateList, taEntry) == 8, "EstimateList layout");
static_assert(sizeof(SdvStatusEntry) == 1088, "SdvStatusEntry layout");
static_assert(offsetof(SdvStatusEntry, Flag) == 1032, "SdvStatusEntry layout");
static_assert(offsetof(SdvStatusEntry, LogiTmp) == 1040, "SdvStatusEntry layout");
static_assert(offsetof(SdvStatusEntry, PoolCapaCopy) == 1080, "SdvStatusEntry layout");
static_assert(offsetof(SdvStatusList, taEntry) == 8, "SdvStatusList layout");
static_assert(sizeof(SdpInfo) == 48, "SdpInfo layout");
#endif

/* Initialises the snap data volume, or every volume of a group file
 * (ZRKC_OPT_GROUP_FILE; of a file of pairs, the targets). 0, 1 (1015), -1. */
int zrkc_init_sdv(char *volume, int option, ReturnInfo *ri);
/* The initialisation of every volume of a resolved volume list; 0 or -1
 * (in a group run after every volume, with 1804). */
int exec_init_sdv(CopyPairList *list, int option, ReturnInfo *ri);
/* The queries: an output of NULL and length 0 asks for the size needed
 * (1001 with ri->uiNeedOutputSize, return 1); 0, 1 (1015, 1001) or -1. */
int zrkc_query_estimate(char *volume, int option, ReturnInfo *ri, EstimateList *output,
                        int outputLength);
int zrkc_query_sdv(char *volume, int option, ReturnInfo *ri, SdvStatusList *output,
                   int outputLength);
int zrkc_query_sdp(char *volume, int option, ReturnInfo *ri, SdpInfo *output, int outputLength);

/* ------------------------------------------------------------------------ */
/* KZP family: start, restore and stop                                      */
/* ------------------------------------------------------------------------ */

/* Command-layer bits of the KZP-family commands; they share values with
 * bits that mean something else to the VZ commands. */
#define ZRKC_OPT_CONC_START     0x100000u  /* group file: start every pair at one instant */
#define ZRKC_OPT_ODX            0x200000u  /* KZP stop: Offloaded Data Transfer sessions */
#define ZRKC_OPT_NO_POST        0x400000u  /* starts: the API gets ZRK_OPT_ACCEPT_CASCADE */

/* The KZP-family commands: 0, 1 (the per-pair area is too small) or -1,
 * the message in ri. With ZRKC_OPT_GROUP_FILE the first operand names a
 * group file. */
int zrkc_start_kzp(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_start_quickkzp(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_start_snapkzp(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_restore_snapkzp(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_stop_kzp(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_stop_quickkzp(char *source, char *target, int option, ReturnInfo *ri);
int zrkc_stop_snapkzp(char *source, char *target, int option, ReturnInfo *ri);
/* CLI types of a session-list run (zrkc_execcli_sessionlist)               */
/* ------------------------------------------------------------------------ */

#define ZRKC_CLI_STOP            1  /* stop */
#define ZRKC_CLI_SUSPEND_VZ      10 /* suspend the local sessions */
#define ZRKC_CLI_SUSPEND_RVZ     11 /* suspend the remote sessions */
#define ZRKC_CLI_RESUME_VZ       12 /* resume the local sessions */
#define ZRKC_CLI_RESUME_RVZ      13 /* resume the remote sessions */
#define ZRKC_CLI_REVERSE_VZ      14 /* reverse the local sessions */
#define ZRKC_CLI_REVERSE_RVZ     15 /* reverse the remote sessions */
#define ZRKC_CLI_CHANGE_RVZ      16 /* change the mode of the remote sessions */
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
/* ucSuspendMark of the pairs of a suspend or a suspend-status query: an
 * alias-form pair so marked also matches a whole-volume session (size 0). */
#define ZRKC_SUSPEND_MARK 14u

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
static_assert(sizeof(SubgroupEntry) == 32, "SubgroupEntry layout");
static_assert(offsetof(SubgroupEntry, uhCommandMax) == 24, "SubgroupEntry layout");
static_assert(offsetof(SubgroupEntry, pPair) == 8, "SubgroupEntry layout");
static_assert(offsetof(SubgroupEntry, uiSameBox) == 20, "SubgroupEntry layout");
static_assert(offsetof(SubgroupIndex, taEntry) == 16, "SubgroupIndex layout");
static_assert(sizeof(CopyPairList) == 32, "CopyPairList layout");
#endif

#endif /* ZRKC_H */

/* ------------------------------------------------------------------------ */
/* Copy query                                                               */
/* ------------------------------------------------------------------------ */
/* zrkc_query_copy and its result records (after the guard: zrkcquery.h
 * builds on everything above). */
#include "zrkcquery.h"
