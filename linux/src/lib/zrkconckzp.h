/*
 * zrkconckzp.h - the concurrent start of KZP-family copies: one array session
 * prepared per CONC_SES_INFO entry (or, for a restart, found among the
 * volume's QuickKZP sessions), then one concurrent start list (TRAVO OUT
 * 0x51) that starts or restarts them all at one instant; a refused start
 * rolls the prepared sessions back with stop pages.
 *
 * Return convention: 0 done, -1 failed with ZRKerrno set; after a roll-back
 * the sense store and ZRKerrno are those of the command that failed first.
 * Session identifiers are 2 big-endian bytes.
 */
#ifndef ZRK_ZRKCONCKZP_H
#define ZRK_ZRKCONCKZP_H

#include "zrklvmain.h"

#include <stdint.h>

#ifdef __cplusplus
namespace zrk {

/* Head of the concurrent start list; the identifiers follow, 2 bytes each. */
constexpr uint32_t kConcListHeadLen = 16;
/* The bytes of an entry that a failed preparation clears (all but the copy
 * kind and the option word). */
constexpr size_t kConcEntryClearLen = 112;
/* Byte 12 of the concurrent start list. */
constexpr unsigned char kConcNewSessions = 0x80;
constexpr unsigned char kConcRestart = 0x40;
/* Page code of the concurrent start list. */
constexpr unsigned char kConcStartList = 0x51;

/* Length of the start list of count sessions: the head and the identifiers,
 * padded to a multiple of 8 bytes. */
constexpr uint32_t ConcListLength(uint32_t count) {
    return kConcListHeadLen + (count + 3) / 4 * 8;
}

/* The session page of one entry (the page code is the caller's): flags,
 * OLUs and the extents; an entry whose first 112 bytes are zero gives only
 * the identifier, the length and the copy kind. */
void MakePrmFromConcSes(const unsigned char *sessionId, TVC_EXEC *page, CONC_SES_INFO entry);
/* The engine of the start; count 1 to 0xFFFF, entries already checked. */
int StartConcKZP(const char *volume, CONC_SES_INFO *entries, uint32_t count);
/* Prepares one new session per entry and writes the identifiers into list. */
int MakeConcStartSes(const char *volume, CONC_SES_INFO *entries, uint32_t count,
                     unsigned char *list);
/* Finds the QuickKZP session of each entry and writes its identifier into list. */
int MakeConcReStartSes(const char *volume, const CONC_SES_INFO *entries, uint32_t count,
                       unsigned char *list);
/* Rolls back the first count sessions of list with stop pages; results are
 * not looked at. */
void Some_TravoOut45(const char *volume, const CONC_SES_INFO *entries, uint32_t count,
                     const unsigned char *list);

} // namespace zrk
#endif

#endif /* ZRK_ZRKCONCKZP_H */
