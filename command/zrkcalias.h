/*
 * zrkcalias.h - the alias store: the host's catalogue of the arrays it knows,
 * kept in two fixed-size files of the etc directory, zrkc.alias (the main
 * file) and zrkc_ext.alias (the extension file). Host byte order.
 *
 * Entries live in slots 0 to 999; the slot number is the entry's identifier.
 * The main file holds, per slot, the BoxID, the alias and the route (SCSI:
 * the device and its INQUIRY identification; LAN: the array's address); the
 * extension file holds, per slot, the array account's user and password as
 * the LAN interface management service's "encrypt" returned them. Readers get
 * entries as AliasRecord items of an AliasList.
 *
 * The files are never changed in place: every change writes complete new
 * files beside them and renames them into place, under the whole-file lock of
 * the main file (see zrkcalias.cpp), so that a process killed at any instant
 * leaves the store as it was before or after its change.
 */
#ifndef ZRKC_ALIAS_H
#define ZRKC_ALIAS_H

#include "zrkc.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define ZRKC_ALIAS_FILE      "zrkc.alias"      /* the main file */
#define ZRKC_ALIAS_EXT_FILE  "zrkc_ext.alias"  /* the extension file */
/* Beside them while a change is made: the next files while they are written
 * (".tmp"), and the next main file once both are complete (".new"). */
#define ZRKC_ALIAS_TEMP_SUFFIX   ".tmp"
#define ZRKC_ALIAS_READY_SUFFIX  ".new"

#define ZRKC_ALIAS_SLOTS     1000  /* entries a store holds */
#define ZRKC_ALIAS_LEN       40    /* alias field; no terminator at 40 characters */
#define ZRKC_ALIAS_TEXT_LEN  256   /* user and password fields, terminated */
#define ZRKC_ALIAS_EXT_MAGIC "VELK_alias2 " /* 12 characters, no terminator */
#define ZRKC_ALIAS_EXT_MAGIC_LEN 12
#define ZRKC_ALIAS_EXT_VERSION   1

/* Route kind of an entry (AliasEntry.Interface). */
#define ZRKC_ALIAS_IF_SCSI   0
#define ZRKC_ALIAS_IF_LAN    1

/* Lookup kinds of com_get_alias_info. */
#define ZRKC_ALIAS_BY_ALIAS  1  /* by alias */
#define ZRKC_ALIAS_BY_BOXID  2  /* by BoxID (any value but ZRKC_ALIAS_BY_ALIAS) */

/* Option bit of com_set_alias and com_add_alias: every entry the call
 * creates gets its BoxID (all 40 bytes) as its alias. */
#define ZRKC_OPT_BOXID_ALIAS 0x200000u

/* The remote-box list that com_set_alias reads (REMOTE_BOXID_LIST as the
 * arrays return it): own BoxID, the number of remote arrays, then one entry
 * per remote array starting with its BoxID. */
#define ZRKC_REMOTE_COUNT_AT   40
#define ZRKC_REMOTE_ENTRY_AT   48
#define ZRKC_REMOTE_ENTRY_LEN  48
#define ZRKC_REMOTE_LIST_LEN   12288 /* the cleared area the callers supply */

/* Main part of one slot; a free slot is all zero. */
typedef struct AliasEntry {
    uint8_t  InUse;                      /* 1: the slot holds an entry */
    uint8_t  ucaReserved1[3];
    uint32_t ID;                         /* the slot number */
    uint8_t  Direct;                     /* 1: a route is registered */
    uint8_t  Interface;                  /* ZRKC_ALIAS_IF_... (0 without a route) */
    uint8_t  ucaReserved2[2];
    char     AccessPath[ZRK_VOLNAME_LEN]; /* SCSI: device name; LAN: IP address */
    uint8_t  ProductID[16];              /* SCSI: INQUIRY bytes 16-31 */
    uint8_t  DevIDNo[8];                 /* SCSI: INQUIRY bytes 36-43 */
    char     Alias[ZRKC_ALIAS_LEN];      /* NUL-padded */
    char     BoxID[ZRK_BOXID_LEN];       /* no terminator */
} AliasEntry;

/* The main file zrkc.alias. */
typedef struct AliasMainFile {
    uint16_t   Count;                    /* slots in use */
    uint16_t   uhReserved;
    AliasEntry Slot[ZRKC_ALIAS_SLOTS];
} AliasMainFile;

/* Extension part of one slot. */
typedef struct AliasExtEntry {
    uint32_t ID;                         /* slot number of an entry created with a route */
    char     User[ZRKC_ALIAS_TEXT_LEN];  /* LAN: as "encrypt" returned it */
    char     Password[ZRKC_ALIAS_TEXT_LEN];
} AliasExtEntry;

/* The extension file zrkc_ext.alias. */
typedef struct AliasExtFile {
    char          Magic[ZRKC_ALIAS_EXT_MAGIC_LEN];
    int32_t       Version;
    AliasExtEntry Slot[ZRKC_ALIAS_SLOTS];
} AliasExtFile;

/* One entry as the readers hand it out. */
typedef struct AliasRecord {
    AliasEntry Main;
    char       User[ZRKC_ALIAS_TEXT_LEN];
    char       Password[ZRKC_ALIAS_TEXT_LEN];
} AliasRecord;

/* The list com_get_aliaslist fills: the entries in use, in slot order. */
typedef struct AliasList {
    uint16_t    Count;
    uint16_t    uhReserved;
    AliasRecord Entry[ZRKC_ALIAS_SLOTS];
} AliasList;

/* Registers a route (interface SCSI or LAN, the route's access path and
 * INQUIRY identification) for the array of the remote-box list's own BoxID,
 * and enters every remote array of the list by BoxID. user and password: the
 * service's "encrypt" texts or NULL. 0, or -1 with ri filled and the store
 * unchanged. */
int com_set_alias(const char *accessPath, const unsigned char *productId,
                  const unsigned char *devIdNo, const unsigned char *remoteList,
                  int optionFlag, uint8_t interfaceKind, const char *user,
                  const char *password, ReturnInfo *ri);
/* Enters an array by its BoxID (40 bytes); 0 also when it is there. */
int com_add_alias(const char *boxId, int optionFlag, ReturnInfo *ri);
/* Gives entry id a new alias; 0 or -1. */
int com_change_alias(uint32_t id, const char *alias, ReturnInfo *ri);
/* Deletes entry id; a LAN entry needs its user and password, a SCSI entry
 * neither. 0 or -1. */
int com_delete_alias(uint32_t id, const char *user, const char *password, ReturnInfo *ri);
/* Fills list (cleared by the caller) with the entries in use; 0 or -1. */
int com_get_aliaslist(AliasList *list, ReturnInfo *ri);
/* Looks an entry up by alias (ZRKC_ALIAS_BY_ALIAS) or by BoxID: 0 found
 * (copied to record), 1 not found (ri untouched), -1 error. */
int com_get_alias_info(int kind, const char *key, AliasRecord *record, ReturnInfo *ri);
/* 0 when the text obeys the alias character rule: an ASCII letter, then
 * letters, digits, '#', '-', '.' and '_'; else -1. */
int com_alias_check(const char *alias);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(AliasEntry) == 1140, "AliasEntry layout");
static_assert(offsetof(AliasEntry, ID) == 4, "AliasEntry layout");
static_assert(offsetof(AliasEntry, Direct) == 8, "AliasEntry layout");
static_assert(offsetof(AliasEntry, Interface) == 9, "AliasEntry layout");
static_assert(offsetof(AliasEntry, AccessPath) == 12, "AliasEntry layout");
static_assert(offsetof(AliasEntry, ProductID) == 1036, "AliasEntry layout");
static_assert(offsetof(AliasEntry, DevIDNo) == 1052, "AliasEntry layout");
static_assert(offsetof(AliasEntry, Alias) == 1060, "AliasEntry layout");
static_assert(offsetof(AliasEntry, BoxID) == 1100, "AliasEntry layout");
static_assert(offsetof(AliasMainFile, Slot) == 4, "AliasMainFile layout");
static_assert(sizeof(AliasMainFile) == 1140004, "AliasMainFile layout");
static_assert(sizeof(AliasExtEntry) == 516, "AliasExtEntry layout");
static_assert(offsetof(AliasExtEntry, Password) == 260, "AliasExtEntry layout");
static_assert(offsetof(AliasExtFile, Version) == 12, "AliasExtFile layout");
static_assert(offsetof(AliasExtFile, Slot) == 16, "AliasExtFile layout");
static_assert(sizeof(AliasExtFile) == 516016, "AliasExtFile layout");
static_assert(sizeof(AliasRecord) == 1652, "AliasRecord layout");
static_assert(offsetof(AliasRecord, User) == 1140, "AliasRecord layout");
static_assert(offsetof(AliasRecord, Password) == 1396, "AliasRecord layout");
static_assert(offsetof(AliasList, Entry) == 4, "AliasList layout");
static_assert(sizeof(AliasList) == 1652004, "AliasList layout");

namespace zrkc {

/* The steps of one change of the alias store, in their order. */
enum class AliasStep {
    kLocked,          /* the main file's lock is held, leftovers cleared */
    kMainHalfWritten, /* half of the next main file is written */
    kWritten,         /* the next files are complete and on disk */
    kReady,           /* the next main file carries its ready name */
    kExtRenamed,      /* the next extension file has replaced the old one */
    kRenamed,         /* the next main file has replaced the old one */
};

/* Called at each step of a change when set; for the tests that stop a
 * writer at each step. */
extern void (*gAliasStepHook)(AliasStep step);

/* The alias store as one command call sees it. While an AliasCallView lives
 * on a thread, com_get_alias_info on that thread answers from one reading of
 * the store, made at its first lookup: both files opened, read and closed
 * once, under the readers' turn. A change of the store made on the thread
 * drops the reading, so a later lookup sees it. Views nest: the outermost
 * one owns the reading and drops it when it goes. */
class AliasCallView {
public:
    AliasCallView();
    ~AliasCallView();
    AliasCallView(const AliasCallView &) = delete;
    AliasCallView &operator=(const AliasCallView &) = delete;
};

/* Wipes and frees a text the LAN service's encrypt or decrypt returned
 * (ZRKIPProc); null is nothing. */
void FreeServiceText(char *text);

} // namespace zrkc
#endif

#endif /* ZRKC_ALIAS_H */
