/*
 * ipdetail.h - the session detail list of an array read over the LAN
 * (ipdetail.cpp): every copy session, the sessions of virtual volumes, or
 * the sessions of the failover pairs, each written as the 160-byte
 * big-endian DETAIL_LIST_INFO entry that the in-band detail list returns.
 *
 * The caller's area holds room entries: the public function gives the
 * array's maximum session count (the count the caller sizes the area by).
 * A form whose answer holds more sessions than the room writes nothing and
 * fails with ZRK_ERR_REPLY_INCOMPLETE. Each entry is cleared before it is
 * written, so bytes that the rows do not carry are 0.
 *
 * The forms write into the trace that their public function opened and
 * read the option word from ZRKOptionFlag (the option argument is only
 * traced). Return convention: 0 with *ListCnt entries written from the
 * start of the area, or -1 with ZRKerrno and *ListCnt untouched.
 */
#ifndef ZRK_IPDETAIL_H
#define ZRK_IPDETAIL_H

#include "ipshow.h"
#include "ipshow_failover.h"
#include "zrkapi.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define IP_DETAIL_KIND_FAILOVER 18   /* copy kind of a failover pair's entry */

/* Every copy session of the array ("show copy-sessions"; with
 * ZRK_OPT_LIST_SEL_01 in the extended session-list mode when the model
 * offers it). */
int IPGetDetailList(const char *ip, const char *user, uint32_t option, int *ListCnt,
                    DETAIL_LIST_INFO *area, size_t room);
/* The sessions of virtual volumes ("show vvol-copy-session"); an array
 * without virtual-volume copy: ZRK_ERR_NOT_SUPPORT. */
int IPGetVvolDetailList(const char *ip, const char *user, uint32_t option, int *ListCnt,
                        DETAIL_LIST_INFO *area, size_t room);
/* The sessions of the failover pairs ("show tfo-pair"), the details without
 * a session left out; an array without storage-cluster failover:
 * ZRK_ERR_NOT_SUPPORT. */
int IPGetTfopDetailList(const char *ip, const char *user, uint32_t option, int *ListCnt,
                        DETAIL_LIST_INFO *area, size_t room);

/* count copy-session rows into the first count entries of area. */
void IPConvCopySes2DetailList(const CliCopySession *rows, int count, DETAIL_LIST_INFO *area);
/* One detail of a failover pair into one entry. */
void IPConvTfoPair2Detail(const CliTfoPairDetail *detail, DETAIL_LIST_INFO *entry);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrkip {

// The sessions of a failover pair tree (the details whose flag is not 0;
// groups, their pairs, each pair's details in order) into area, which holds
// room entries: more sessions than that is ZRK_ERR_REPLY_INCOMPLETE before
// an entry is written. 0 with *count, or -1 with ZRKerrno.
int TfoDetailList(CliTfoPair *tree, int *count, DETAIL_LIST_INFO *area, size_t room);

// ZRKIPGetDetailList into the caller's List of room entries: the list is
// never written beyond room, nor beyond the array's maximum session count;
// a maximum above what the volume information carries (16 bits) is
// ZRK_ERR_REPLY_INCOMPLETE, and so is a list longer than the room. The
// public function passes SIZE_MAX (its caller sized the area by the
// array's maximum).
int DetailListWithin(const char *ip, const char *user, uint32_t OptionFlag, int *ListCnt,
                     DETAIL_LIST_INFO *List, size_t room, unsigned char *SenseData);

}  // namespace zrkip
#endif

#endif /* ZRK_IPDETAIL_H */
