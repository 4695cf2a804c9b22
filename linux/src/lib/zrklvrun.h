/*
 * zrklvrun.h - the runner of the large-volume pair functions: one row per
 * public function (zrklvapi.cpp holds the VZ family's table,
 * zrklvapi_kzp.cpp the point-in-time copies') and the steps every row goes
 * through.
 *
 * A pair function opens its call frame and logs its parameters; the common
 * check of the pair (zrkCheckParam_main) chooses the engine; the row's own
 * option rules follow, then the request (the full pair, or with
 * ZRK_OPT_SESSION_ID the session identifier carried in SrcOlu) and the
 * locality tests of the built request; last the engine operation. On arrays
 * without the page-based engine the row's classic operation runs on the
 * classic request, which carries the low halves only (the pair check has
 * refused high halves there); a row without one ends in "not support." (17),
 * after every check of the call has been made, so that the option and
 * locality errors are the same on every array.
 *
 * Whichever engine serves a query, the caller receives the page-based detail
 * record (TVC_DETAIL_INFO): a classic VZ detail is converted into it
 * (DataconvRegTvc) and completed from the array's own detail where the array
 * offers one; a classic record has no high halves, so those stay 0.
 *
 * Return convention: 0, or -1 with ZRKerrno set by the failing step.
 */
#ifndef ZRK_ZRKLVRUN_H
#define ZRK_ZRKLVRUN_H

#include "zrkframe.h"

#include <stdint.h>

namespace zrk {

/* A page-based operation on a session (zrktvc.h). */
using TvcStep = int (*)(const char *volume, unsigned char engineKind, unsigned int optionFlag,
                        const COPY_REQ_LV *request);
/* A classic operation on a session (zrkclassic.h). It may mark the request
 * remote when it learns so from the session it finds. */
using ClassicStep = int (*)(const char *volume, unsigned int optionFlag, COPY_REQ *request);
/* The classic query of the session of a pair (or of the identifier form),
 * into the page-based detail shape. */
using ClassicQuery = int (*)(const char *volume, unsigned int optionFlag, COPY_REQ *request,
                             TVC_DETAIL_INFO *detail);
/* The classic query of a session by its identifier, into the same shape. */
using ClassicSessionQuery = int (*)(const char *volume, uint32_t sessionId,
                                    TVC_DETAIL_INFO *detail);
/* A function's own option rules, after the pair check; local: the pair's
 * BoxIDs are the same. */
using OptionRules = int (*)(uint32_t optionFlag, bool local);

/* One public pair function of a family's table; a row names only what
 * differs from the defaults. */
struct LvRow {
    const char *pName = nullptr;         /* public name, in every log line */
    uint32_t uiMask = 0;                 /* option bits it accepts */
    OptionRules pfnRules = nullptr;      /* its own option rules, or null */
    bool bNoInterval = false;            /* a point-in-time copy: CopyInterval is logged
                                            as given, 0 goes to the check and the request */
    bool bIntervalById = false;          /* the identifier form carries CopyInterval */
    bool bNoQm = false;                  /* refused (17) on QM-family arrays */
    bool bLocalOnly = false;             /* a pair between two arrays is refused (17) */
    uint32_t uiRemoteOnly = 0;           /* bits refused (37) on a pair inside one array */
    bool bStart = false;                 /* logs the new session's identifier */
    unsigned char ucEngineKind = 0;      /* ZRK_ENGINE_ kind of the page-based operation,
                                            the family of a query */
    TvcStep pfnTvc = nullptr;            /* the page-based operation of a session change */
    const char *pClassicName = nullptr;  /* the classic operation, for the log; null: the
                                            page-based engine serves the function whatever
                                            the array announces */
    ClassicStep pfnClassic = nullptr;    /* the classic operation of a session change, or
                                            null: not driven (17) */
    ClassicQuery pfnClassicQuery = nullptr; /* the classic query of a pair's session */
    ClassicSessionQuery pfnClassicSession = nullptr; /* the classic query by identifier */
};

/* The request of a pair function, built for the engine that serves it. */
struct LvRequests {
    COPY_REQ_LV tLv;   /* page-based request, when bTvc */
    COPY_REQ tClassic; /* classic request, when not bTvc */
    bool bTvc;         /* the page-based engine serves the call */
    bool bById;        /* the session-identifier form */
    bool bRemote;      /* RemoteFlag of the built request */
};

/* The steps before the engine: the parameter lines, the pair check with the
 * row's mask, the QM refusal, the row's rules, a missing output area
 * (haveOutputs false: 13), the request and its locality tests. */
int PrepareLvPair(const LvRow &row, const char *volume, const LvPair &pair, uint32_t optionFlag,
                  bool haveOutputs, LvRequests *requests);

/* A whole session-changing function: frame, PrepareLvPair, the engine
 * operation, "SessionID=<%d>" after a start. */
int RunControl(const LvRow &row, const char *volume, const LvPair &pair, uint32_t optionFlag,
               unsigned char *senseData);

/* The detail of the session of a pair, inside the caller's frame: on the
 * page-based engine the query of the row's family with the failover
 * conversion comparing the request's BoxIDs, else the row's classic query. */
int QueryLvPair(const LvRow &row, const char *volume, const LvPair &pair, uint32_t optionFlag,
                bool haveOutputs, TVC_DETAIL_INFO *detail);

/* A whole detail query of a pair: frame, QueryLvPair, the caller's 256-byte
 * Detail area (dumped in the end line). */
int RunDetailQuery(const LvRow &row, const char *volume, const LvPair &pair, uint32_t optionFlag,
                   unsigned char *detailArea, unsigned char *senseData);

/* A whole detail query by session identifier; the function takes no option
 * bit. The session must belong to the row's family (a VZ-family session for
 * ZRK_ENGINE_VZ, any other session otherwise): else 21. */
int RunSessionQuery(const LvRow &row, const char *volume, uint32_t sessionId,
                    uint32_t optionFlag, unsigned char *detailArea, unsigned char *senseData);

/* The page-based detail record of a classic VZ-family detail (zrklvapi.cpp):
 * identifiers, flags, modes, phase, status, arrays, OLUs and extent count,
 * the copied blocks and the extent as low halves; every other byte 0. */
void DataconvRegTvc(const RVZ_DETAIL_INFO &source, TVC_DETAIL_INFO *detail);

/* The bytes of a converted VZ detail that only the array's own detail
 * (page 0x44) holds, copied from it when the array offers that page: the
 * low two bits of the session flags, state bytes 21, 23, 130 and 131 and the
 * tail bytes 144-151. 0 (also when the array has no such page), or -1 with
 * ZRKerrno from the query. */
int SupplementVzDetail(const char *volume, uint16_t sessionId, TVC_DETAIL_INFO *detail);

} // namespace zrk

#endif /* ZRK_ZRKLVRUN_H */
