/*
 * zrkcmulti.h - storage-cluster (transparent failover) helpers of the in-band
 * engine: the failover role check, the failover session of a volume, the
 * swap of the cached BoxID to the primary array's, and the record searches
 * over the RVZ buffer page 0x24 (the last three are read with the detail
 * list, zrkdetail.cpp).
 *
 * These helpers stand above identification and the vendor commands
 * (zrkcmd.h): they call down into them, and nothing below calls up into
 * them. Include this header where they are called.
 *
 * The role itself lives in ZRKstorage_cluster, ZRKstorage_clustergroup and
 * ZRKstorage_clustervol (ZRK_ROLE_ values, zrkengine.h); CheckProduct reads
 * it and the transport clears it on ZRK_ERR_ROLE_CHANGED.
 */
#ifndef ZRK_ZRKCMULTI_H
#define ZRK_ZRKCMULTI_H

#include <stddef.h>

/* Values of ConvertCheckflg. */
#define ZRK_CONVERT_ALWAYS   0 /* swap whenever the volume is on a secondary */
#define ZRK_CONVERT_NEVER    1 /* never swap */
#define ZRK_CONVERT_MATCHING 2 /* swap when both given BoxIDs match one side */

#define ZRK_DETAIL_LIST_ENTRY_LEN 160 /* one DETAIL_LIST_INFO entry */
#define ZRK_BUFF24_RECORD_LEN     1120 /* one buffer record of page 0x24 */
#define ZRK_CM24_RECORD_LEN       32   /* one CM record of a buffer record */

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

extern int ConvertCheckflg; /* how ConvertPrimaryBoxID behaves in this operation */

/* Reads the failover role of volume from the INQUIRY support bytes stored
 * last (as CheckProduct does with the bytes it has read).
 * ZRK_ERR_ROLE_CHANGED when the role of the held volume changed; the role,
 * group and volume are then cleared. */
int CheckFailOver(const char *volume);
/* The failover session (a 160-byte detail-list entry) whose source or
 * destination side is olu (2 bytes) on the array boxId (40 bytes).
 * ZRK_ERR_NO_TFO when none matches. */
int GetTfoSession(const char *volume, const unsigned char *olu,
                  const unsigned char *boxId, unsigned char *entry);
/* On a secondary volume, replaces the BoxID cached in the common data by the
 * partner's, as ConvertCheckflg says; boxIdA and boxIdB may be null. */
int ConvertPrimaryBoxID(const char *volume, const unsigned char *boxIdA,
                        const unsigned char *boxIdB);
/* Finds the buffer record of buffId in a page 0x24 reply of replyLength
 * bytes and copies its ZRK_BUFF24_RECORD_LEN bytes to record: 0 found, -1
 * not found. Only records that lie wholly inside the reply are read. */
int SearchBuffInfo24_Ex(const unsigned char *reply, size_t replyLength,
                        unsigned char buffId, unsigned char *record);
/* Finds the CM record of cmId (2 bytes) in a buffer record of page 0x24
 * (recordLength bytes) and copies its ZRK_CM24_RECORD_LEN bytes: 0 found,
 * -1 not found. */
int SearchCmInfo24_Ex(const unsigned char *buffRecord, size_t recordLength,
                      const unsigned char *cmId, unsigned char *record);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZRK_ZRKCMULTI_H */
