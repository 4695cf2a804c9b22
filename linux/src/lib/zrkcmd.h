/*
 * zrkcmd.h - the vendor copy commands (TRAVO IN, TRAVO OUT) and the
 * process-wide stores they read, and the identification of an array and of
 * its copy functions.
 *
 * Every function returns 0 done or -1 failed with ZRKerrno set (the
 * transport's number and sense when a command failed), unless its comment
 * says otherwise. Multi-byte values inside CDBs, pages and the 2-byte
 * identifiers handed in as byte pointers are big-endian.
 *
 * These stand below the storage-cluster helpers (zrkcmulti.h: the failover
 * session, the BoxID swap), which call them; nothing here calls those. The
 * failover role of the checked volume is read by CheckProduct itself
 * (CheckFailoverRole below), and the commands mark their CDBs with it.
 */
#ifndef ZRK_ZRKCMD_H
#define ZRK_ZRKCMD_H

#include "zrkengine.h"
#include "zrklist.h"

#include <stddef.h>
#include <stdint.h>

/* ---- sizes ---------------------------------------------------------------- */

#define ZRK_TRAVO_CDB_LEN        10  /* TRAVO IN and TRAVO OUT CDBs */
#define ZRK_QM_SUPPORT_DATA_LEN  (ZRK_SUPPORT_DATA_LEN + 8) /* QM_SUPPORT_DATA: SUPPORT_DATA, then
                                                              8 bytes of QM page 0x02 */
#define ZRK_INQ_SUPPORT_LEN      2   /* INQUIRY support bytes (page 0xF0, 26-27) */
#define ZRK_MAX_SESSION_LEN      8   /* MAX_SESSION_COUNT */
#define ZRK_LUN_INFO_LEN         144 /* LUN_INFORMATION */

/* Bits of the first INQUIRY support byte. */
#define ZRK_INQ_ARRAY    0x08 /* an array of the family */
#define ZRK_INQ_BOX_INFO 0x20 /* page 0xF2 holds the BoxID and the failover role */

/* Results of GetVPDInfo. */
#define ZRK_VPD_DONE   0 /* the page was read */
#define ZRK_VPD_FAILED 1 /* failed, ZRKerrno set */
#define ZRK_VPD_ABSENT 2 /* the device does not offer the page */

/* Operation codes of CtrlSupportData, CtrlQmSupportData, CtrlInqSupportData. */
#define ZRK_STORE_CLEAR 0 /* clear the store */
#define ZRK_STORE_READ  1 /* copy the store to the buffer (nothing for null) */
#define ZRK_STORE_WRITE 2 /* fill the store from the buffer */

/* Opcodes of the vendor commands. */
#define ZRK_OP_TRAVO_IN      0xEB /* main family (and every buffer-id read) */
#define ZRK_OP_TRAVO_IN_QM   0xEE /* QM family */
#define ZRK_OP_TRAVO_OUT     0xE9 /* main family */
#define ZRK_OP_TRAVO_OUT_QM  0xEC /* QM family */

/* Copy groups in ZRKsession4096, ZRKsession4096out and of the support data. */
#define ZRK_GROUP_REMOTE_KZP 0x01
#define ZRK_GROUP_RVZ        0x02
#define ZRK_GROUP_KZP        0x04
#define ZRK_GROUP_VZ         0x08

/* Bits of the remote-support byte of GetSupportCopyInfo. */
#define ZRK_REMOTE_KZP 0x01
#define ZRK_REMOTE_RVZ 0x02

/* The detail-list selection bits of ZRKOptionFlag (read by the page 0x43 CDB)
 * are the ZRK_OPT_LIST_ bits of the public header. */

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ---- process-wide state ----------------------------------------------------
 * Set by CheckProduct and GetSupportCopyInfo (zrkident.cpp), read by the
 * command builders and the engine's operations. */

extern int ZRKstorageflg;              /* 1 QM family, 0 main family */
extern unsigned char ZRKsession4096;    /* groups taking the large TRAVO IN form */
extern unsigned char ZRKsession4096out; /* groups taking the large TRAVO OUT form */
extern uint32_t ZRKOptionFlag;          /* option word of the current API call */

/* The three stores: SUPPORT_DATA (32 bytes), QM_SUPPORT_DATA (40 bytes) and
 * the INQUIRY support bytes (2). operation ZRK_STORE_CLEAR, ZRK_STORE_READ or
 * ZRK_STORE_WRITE; any other value does nothing. */
void CtrlSupportData(void *buffer, int operation);
void CtrlQmSupportData(void *buffer, int operation);
void CtrlInqSupportData(void *buffer, int operation);

/* ---- the vendor commands ------------------------------------------------- */

/* TRAVO IN: reads page `page` into reply (cleared over length first). The
 * session identifier is 2 bytes as the caller holds them; null reads as 0.
 * Pages 0x44 and 0x31 fail with ZRK_ERR_NOT_SUPPORT when the array does not
 * offer them (ZRK_SUPPORT_SNAP). */
int ExecTravoIn(const char *volume, unsigned char mode, unsigned char page,
                const unsigned char *sessionId, void *reply, int length);
/* TRAVO OUT: sends the parameter list as it is. */
int ExecTravoOut(const char *volume, void *list, int length);
/* TRAVO IN addressed by an RVZ buffer identifier (2 bytes); always 0xEB and
 * the 24-bit length. */
int ExecTravoIn_BuffID(const char *volume, unsigned char mode, unsigned char page,
                       unsigned char flag, const unsigned char *buffId, void *reply,
                       unsigned int length);
/* ExecTravoIn with the entry and end lines of the extended functions. */
int EXECTRAVOIN(const char *volume, unsigned char mode, unsigned char page,
                const unsigned char *sessionId, void *reply, int length);
/* GetOLUStatusInfo with the extended functions' log lines; reply receives
 * ZRK_OLU_STATUS_LEN bytes. */
int GETOLUSTATUSINFO(const char *volume, const unsigned char *olu, void *reply);
/* Entry check of the extended functions: option bits inside mask (else
 * ZRK_ERR_OPTION),
 * the product check, the support data, and the remote-support byte of the
 * common data. */
int CommCheckSet(const char *volume, unsigned int optionFlag, unsigned int mask);

/* ---- identification and copy-support data ------------------------------- */

/* Identifies the array family; on the main family also stores the INQUIRY
 * support bytes and reads the failover role (CheckFailoverRole).
 * ZRK_ERR_NOT_ZRK for a device that is not a supported array. */
int CheckProduct(const char *volume);
/* The array's 40-byte BoxID (no terminator). */
int GetBoxID(const char *volume, unsigned char *boxId);
/* Compares the BoxIDs of a classic copy request with the array's:
 * ZRK_ERR_BOXID remote, ZRK_ERR_DIFFERENT_ZRK local mismatch. boxIdOut may be
 * null. */
int CheckBoxID(const char *volume, const COPY_REQ *request, unsigned char *boxIdOut);
/* Reads the copy-support page: SUPPORT_DATA out (32 bytes, may be null),
 * remote-support byte out (may be null); refills the stores and the large
 * form globals. ZRK_ERR_SETUP when no copy group is set up. */
int GetSupportCopyInfo(const char *volume, unsigned char *support,
                       unsigned char *remoteSupport);
/* MAX_SESSION_COUNT (8 bytes) of the group of page 0x05, 0x09, 0x15 or 0x19. */
int GetMaxSessionCount(const char *volume, unsigned char page, unsigned char *maxCount);
/* OLU_STATUS (56 bytes) of olu after the product and support checks. */
int GetOLUStatus(const char *volume, int olu, unsigned char *status);
/* The bare page 0x31 read; olu 2 bytes; status receives 56 bytes. */
int GetOLUStatusInfo(const char *volume, const unsigned char *olu, unsigned char *status);
/* LUN_INFORMATION (144 bytes) from MODE SENSE page 0x30. */
int GetLunInformation(const char *volume, unsigned char *info);
/* A vital product data page into out (length bytes, 16-bit). Page 0: the
 * page list, at most length bytes of it. Returns ZRK_VPD_DONE, ZRK_VPD_FAILED
 * (ZRKerrno set) or ZRK_VPD_ABSENT. */
int GetVPDInfo(const char *volume, unsigned char page, int length, unsigned char *out);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrk {

/* The failover role of volume, as CheckProduct reads it once it has stored
 * the INQUIRY support bytes (inqSupport, ZRK_INQ_SUPPORT_LEN): without
 * ZRK_INQ_BOX_INFO nothing changes; else page 0xF2 gives the role and group,
 * and the volume becomes the held one. ZRK_ERR_ROLE_CHANGED (role, group and
 * volume cleared) when the role of the held volume changed. Writes the
 * "CheckFailOver" lines into the debug log and the API trace. */
int CheckFailoverRole(const char *volume, const unsigned char *inqSupport);

} // namespace zrk
#endif

#endif /* ZRK_ZRKCMD_H */
