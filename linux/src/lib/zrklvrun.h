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
 * without the page-based engine the row's classic step runs; a row without
 * one ends in "not support." (17), after every check of the call has been
 * made, so that the option and locality errors are the same on every array.
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
/* A classic operation on a session. */
using ClassicStep = int (*)(const char *volume, unsigned int optionFlag, const COPY_REQ *request);
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
    ClassicStep pfnClassic = nullptr;    /* the classic operation, or null: not driven (17) */
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

/* The detail of the session of a pair, read by the page-based query of the
 * row's family with the failover conversion comparing the request's BoxIDs;
 * inside the caller's frame. */
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

} // namespace zrk

#endif /* ZRK_ZRKLVRUN_H */
