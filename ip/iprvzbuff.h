/*
 * iprvzbuff.h - the RVZ buffers of an array reached over the LAN
 * (iprvzbuff.cpp): everything the array reports about them, packed into the
 * in-band record RVZ_BUFF_INFO (ZRKIPGetRVZBuffInfo), and the setting of
 * one buffer (ZRKIPRVZBuffSet).
 *
 * The information is gathered from three show commands: the buffer list,
 * the usage of each listed buffer per controller module (its own rows for
 * each buffer), and, when the copy functions announce them, the disk
 * buffers. Every integer of RVZ_BUFF_INFO is big-endian; a 16-bit or
 * 32-bit field takes the low bits of its host value; bytes not named stay 0.
 * The disk part also carries the number of the disk buffer's logical units
 * (element byte 112), which the host reads as it does from the in-band
 * record. The second halves of a buffer's controller-module slots are found
 * by the module numbers of that buffer's own usage rows.
 *
 * A setting names a listed buffer, a type of 1 (send) or 2 (receive) and a
 * remote array that the array reaches by an RVZ path; anything else is
 * refused before the setting is sent.
 *
 * Return convention: 0, or -1 with ZRKerrno set.
 */
#ifndef ZRK_IPRVZBUFF_H
#define ZRK_IPRVZBUFF_H

#include "ipshow_array.h"
#include "zrkapi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define IP_RVZ_INFO_HEAD_LEN    8    /* head of RVZ_BUFF_INFO and of the setting list */
#define IP_RVZ_SET_ENTRY_LEN    64   /* one entry of the setting list */
#define IP_RVZ_SUPPT_DISK       0x02 /* SupptFunc: disk-buffer information present */
#define IP_RVZ_BUFF_SEND        1    /* buffer type: send */
#define IP_RVZ_BUFF_RECEIVE     2    /* buffer type: receive */

/* Everything the array reports about its RVZ buffers into *RvzBuffInfo,
 * which is written only when the whole record is built. OptionFlag is only
 * traced. Reads the copy-function record of the common data:
 * ZRK_ERR_NOT_SUPPORT for an array without RVZ buffers. */
int IPGetRVZBuffInfoAll(const char *ip, const char *user, uint32_t OptionFlag,
                        RVZ_BUFF_INFO *RvzBuffInfo);

/* The first of the DiskBuffer's entries whose group number is GroupNum into
 * *Entry: 0, or -1 (ZRKerrno untouched) when there is none. */
int IPSearchDiskBuffInfo(uint8_t GroupNum, CliRvzDiskBufferEntry *Entry,
                         const CliRvzDiskBuffer *DiskBuffer);

/* The first of the Entry's controller-module rows whose module number is
 * CmId into *Row: 0, or -1 (ZRKerrno untouched) when there is none. Only
 * the rows the entry counts are searched. */
int IPSearchDiskBuffCmInfo(uint32_t CmId, CliRvzDiskCm *Row, const CliRvzDiskBufferEntry *Entry);

/* The buffer list of the setting check into List (room entries after the
 * 8-byte head): bytes 0-1 MaxBuffCnt, 2-3 CurBuffCnt, 7 SupptFunc; entry i
 * at 8 + 64 i laid out as the list part of an RVZ_BUFF_INFO element but
 * with the 16-bit group number at bytes 0-1. At most room entries are
 * written; CurBuffCnt counts the entries written. */
int IPRVZBuffInfo(const char *ip, const char *user, unsigned char *List, size_t room);

/* Sends the setting of *Request ("set rvz-buffer"): the caller has checked
 * the buffer, the type and the remote array. */
int IPRVZBuffSet(const char *ip, const char *user, const RVZ_BUFF_SET_REQ *Request);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZRK_IPRVZBUFF_H */
