/*
 * zrklvmain.h - pages and records of the page-based engine: the TRAVO OUT
 * page TVC_EXEC and its two builders, the detail record TVC_DETAIL_INFO and
 * its reader, the large-volume copy request COPY_REQ_LV, the per-process
 * cache of the current array's facts (COMMON_DATA) and the large-volume
 * volume information.
 *
 * Return convention as in zrklist.h: 0 done, -1 failed with ZRKerrno set;
 * GetSessionDetailInfoForLV returns -2 for "no such session" without
 * touching ZRKerrno. The builders cannot fail.
 */
#ifndef ZRK_ZRKLVMAIN_H
#define ZRK_ZRKLVMAIN_H

#include "zrklist.h"

#include <stddef.h>
#include <stdint.h>

/* Page codes of TVC_EXEC. */
#define ZRK_TVC_START   0x44
#define ZRK_TVC_STOP    0x45
#define ZRK_TVC_CHANGE  0x46
#define ZRK_TVC_SUSPEND 0x48
#define ZRK_TVC_RESUME  0x49

/* Bits of the operation byte (ucOperationFlags) and of the action byte
 * (ucActionFlags) of TVC_EXEC. */
#define ZRK_TVC_OP_FORCE          0x80u /* force */
#define ZRK_TVC_OP_REMAIN         0x40u /* remain mode on resume */
#define ZRK_TVC_OP_STACK_TIMER    0x02u /* suspend with the stack timer (ucStackTimer) */
#define ZRK_TVC_ACT_RESTART       0x80u /* QuickKZP restart */
#define ZRK_TVC_ACT_STOP_TRACKING 0x40u /* QuickKZP stop tracking only */
#define ZRK_TVC_ACT_SKIP          0x08u /* skip the initial copy */
#define ZRK_TVC_ACT_REVERSE       0x04u /* change by reversal */
#define ZRK_TVC_ACT_MODE_CHANGE   0x02u /* mode change */

#define ZRK_TVC_EXEC_LEN      192 /* TVC_EXEC */
#define ZRK_TVC_PARAM_LEN     184 /* its parameter length (bytes 6-7) */
#define ZRK_PAGE_GENERATION   0x45 /* TRAVO IN: SnapKZP+ generations of an OLU */
#define ZRK_GENERATION_READ_LEN 32

/* Engine kinds of the page-based operations (not the copy kind byte). */
#define ZRK_ENGINE_ANY      0
#define ZRK_ENGINE_KZP      1
#define ZRK_ENGINE_VZ       2
#define ZRK_ENGINE_SNAPKZP  3
#define ZRK_ENGINE_QUICKKZP 4
#define ZRK_ENGINE_SNAPKZPP 5

/* CtrlCommonData operations. */
#define ZRK_COMMON_CLEAR_BOXID   0
#define ZRK_COMMON_GET_BOXID     1
#define ZRK_COMMON_SET_BOXID     2
#define ZRK_COMMON_CLEAR_MAXSES  3
#define ZRK_COMMON_GET_MAXSES    4
#define ZRK_COMMON_SET_MAXSES    5
#define ZRK_COMMON_CLEAR_REMOTE  6
#define ZRK_COMMON_GET_REMOTE    7
#define ZRK_COMMON_SET_REMOTE    8

/* The large-volume copy request (124 bytes), big-endian except
 * WholeVolumeFlag. */
typedef struct COPY_REQ_LV {
    unsigned char SrcBoxID[ZRK_BOXID_LEN]; /* source array */
    unsigned char DstBoxID[ZRK_BOXID_LEN]; /* destination array */
    unsigned char SrcOlu[4];           /* source OLU (session id in bytes 82-83) */
    unsigned char DstOlu[4];           /* destination OLU; 0xFFFFFFFF none */
    uint32_t WholeVolumeFlag;          /* host order: 1 no extent and no size */
    unsigned char SrcExtent_high[4];   /* source start block, high half */
    unsigned char SrcExtent_low[4];    /* source start block, low half */
    unsigned char DstExtent_high[4];   /* destination start block, high half */
    unsigned char DstExtent_low[4];    /* destination start block, low half */
    unsigned char SrcSize_high[4];     /* size in blocks, high half */
    unsigned char SrcSize_low[4];      /* size in blocks, low half */
    unsigned char CopyInterval[4];     /* copy interval */
    unsigned char RemoteFlag;          /* 1 remote */
    unsigned char ucVolumeRole;        /* 1 in every request of the API */
    unsigned char ucaReserved122[2];   /* 0 */
} COPY_REQ_LV;
#ifdef __cplusplus
static_assert(sizeof(COPY_REQ_LV) == 124, "COPY_REQ_LV layout");
static_assert(offsetof(COPY_REQ_LV, SrcOlu) == 80, "COPY_REQ_LV layout");
static_assert(offsetof(COPY_REQ_LV, WholeVolumeFlag) == 88, "COPY_REQ_LV layout");
static_assert(offsetof(COPY_REQ_LV, DstExtent_high) == 100, "COPY_REQ_LV layout");
static_assert(offsetof(COPY_REQ_LV, SrcSize_high) == 108, "COPY_REQ_LV layout");
static_assert(offsetof(COPY_REQ_LV, CopyInterval) == 116, "COPY_REQ_LV layout");
static_assert(offsetof(COPY_REQ_LV, RemoteFlag) == 120, "COPY_REQ_LV layout");
#endif

/* The TRAVO OUT page of every page-based session command (192 bytes). */
typedef struct TVC_EXEC {
    unsigned char ucPageCode;          /* ZRK_TVC_... */
    unsigned char ucaReserved1[5];     /* 0 */
    unsigned char ucaParamLength[2];   /* 184 */
    unsigned char ucaSessionID[2];     /* identifier on the receiving array */
    unsigned char ucaPartnerID[2];     /* identifier given by the destination array */
    unsigned char ucCopyKind;          /* 1 KZP family, 2 VZ family, 3 monitor */
    unsigned char ucaReserved13[7];    /* 0 */
    unsigned char ucSessionFlags;      /* ZRK_SESFLAG_... */
    unsigned char ucStartFlags;        /* 0x80 virtual-volume delete mode */
    unsigned char ucModeFlags;         /* ZRK_MODEFLAG_... */
    unsigned char ucTransferMode;      /* 2 stack, 3 consistency */
    unsigned char ucOperationFlags;    /* ZRK_TVC_OP_... */
    unsigned char ucActionFlags;       /* ZRK_TVC_ACT_... */
    unsigned char ucReserved26;        /* 0 */
    unsigned char ucStackTimer;        /* stack timer of a suspend */
    unsigned char ucaReserved28[4];    /* 0 */
    unsigned char SrcBoxID[ZRK_BOXID_LEN]; /* source array (remote sessions) */
    unsigned char ucaReserved72[8];    /* 0 */
    unsigned char DstBoxID[ZRK_BOXID_LEN]; /* destination array (remote sessions) */
    unsigned char ucaReserved120[8];   /* 0 */
    unsigned char SrcOlu[4];           /* source OLU */
    unsigned char DstOlu[4];           /* destination OLU */
    unsigned char ucaExtentCnt[2];     /* 0 whole volume, 1 extent below */
    unsigned char ucaCopyInterval[2];  /* copy interval (VZ start) */
    unsigned char ucaReserved140[20];  /* 0 */
    unsigned char ucaSrcExtent[8];     /* source start block */
    unsigned char ucaSize[8];          /* size in blocks */
    unsigned char ucaDstExtent[8];     /* destination start block */
    unsigned char ucaReserved184[8];   /* 0 */
} TVC_EXEC;
#ifdef __cplusplus
static_assert(sizeof(TVC_EXEC) == 192, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, ucaSessionID) == 8, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, ucCopyKind) == 12, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, ucSessionFlags) == 20, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, ucStackTimer) == 27, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, SrcBoxID) == 32, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, DstBoxID) == 80, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, SrcOlu) == 128, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, ucaExtentCnt) == 136, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, ucaSrcExtent) == 160, "TVC_EXEC layout");
static_assert(offsetof(TVC_EXEC, ucaDstExtent) == 176, "TVC_EXEC layout");
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* The per-process cache of the current array: BoxID (40 bytes), MaxSes (2
 * bytes big-endian) and RemoteSupport (1 byte); operation ZRK_COMMON_...;
 * any other operation changes nothing. A null buffer reads and stores
 * nothing. */
void CtrlCommonData(void *buffer, unsigned int operation);

/* A start page (ZRK_TVC_START) from a request, or, with request null, the
 * stop page that rolls a failed start back. sessionId and ownBoxId: 2 and
 * 40 bytes. */
void MakePrmFromCopyReqForLv(unsigned char pageCode, const unsigned char *sessionId,
                             unsigned char engineKind, const COPY_REQ_LV *request,
                             const unsigned char *ownBoxId, unsigned int optionFlag,
                             TVC_EXEC *page);
/* The stop, change, suspend and resume pages from a session's detail. */
void MakePrmFromDetailForLv(unsigned char pageCode, unsigned char engineKind,
                            const TVC_DETAIL_INFO *detail, unsigned int optionFlag,
                            TVC_EXEC *page);
/* One session's detail by its identifier (2 bytes): 0, -1, or -2 when the
 * array has no such session (detail untouched). */
int GetSessionDetailInfoForLV(const char *volume, const unsigned char *sessionId,
                              TVC_DETAIL_INFO *detail);
/* The large-volume volume information. */
int GetVolumeInfoForLV(const char *volume, unsigned int optionFlag,
                       VOLUME_INFO_RECORD_LV *record);
/* The RVZ buffer list (page 0x21) after the product and support checks; the
 * caller frees *reply; length, when not null, receives its size. */
int RVZBuffInfo(const char *volume, unsigned char **reply, int *length);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrk {

/* ---- TVC_DETAIL_INFO ------------------------------------------------------- */

struct TvcDetail {
    uint16_t uhSessionId;        /* session identifier */
    uint16_t uhPartnerId;        /* partner session identifier */
    uint8_t  ucCopyKind;         /* copy kind */
    uint8_t  ucaState5[3];       /* state bytes 5-7 */
    uint8_t  ucaReserved8[4];    /* reserved */
    uint8_t  ucSessionFlags;     /* ZRK_SESFLAG_... */
    uint8_t  ucReserved13;       /* reserved */
    uint8_t  ucModeFlags;        /* ZRK_MODEFLAG_... */
    uint8_t  ucTransferMode;     /* transfer mode */
    uint8_t  ucModeChange;       /* mode-change state */
    uint8_t  ucVolumeRole;       /* volume role */
    uint8_t  ucPhase;            /* phase */
    uint8_t  ucStatus;           /* status */
    uint8_t  ucState20;          /* state byte */
    uint8_t  ucState21;          /* state byte */
    uint8_t  ucState22;          /* state byte */
    uint8_t  ucState23;          /* state byte */
    uint8_t  ucaSrcBoxID[ZRK_BOXID_LEN]; /* source array */
    uint8_t  ucaReserved64[8];   /* reserved */
    uint8_t  ucaDstBoxID[ZRK_BOXID_LEN]; /* destination array */
    uint8_t  ucaReserved112[8];  /* reserved */
    uint32_t uiSrcOlu;           /* source OLU */
    uint32_t uiDstOlu;           /* destination OLU */
    uint16_t uhExtentCnt;        /* extent count */
    uint8_t  ucState130;         /* state byte */
    uint8_t  ucState131;         /* state byte */
    uint32_t uiLapseTime;        /* bytes 132-135 */
    uint64_t ullCopiedBlock;     /* copied blocks */
    uint8_t  ucaTail144[8];      /* list entry tail */
    uint64_t ullSrcExtent;       /* source start block */
    uint64_t ullSrcSize;         /* size */
    uint64_t ullDstExtent;       /* destination start block */
    uint8_t  ucaReserved176[8];  /* reserved */
};
TvcDetail DecodeTvcDetail(const TVC_DETAIL_INFO &in);
TVC_DETAIL_INFO EncodeTvcDetail(const TvcDetail &in);

/* The page-based record of a detail-list entry, by the byte map of the
 * page-based engine (the classic detail query has a map of its own). */
TvcDetail TvcDetailFromList(const DetailEntry &entry);

/* ---- COPY_REQ_LV ------------------------------------------------------------- */

struct CopyReqLv {
    uint8_t  ucaSrcBoxID[ZRK_BOXID_LEN]; /* source array */
    uint8_t  ucaDstBoxID[ZRK_BOXID_LEN]; /* destination array */
    uint32_t uiSrcOlu;           /* source OLU */
    uint32_t uiDstOlu;           /* destination OLU */
    uint32_t uiWholeVolumeFlag;  /* 1 whole volume */
    uint32_t uiSrcExtentHigh;    /* source start, high half */
    uint32_t uiSrcExtentLow;     /* source start, low half */
    uint32_t uiDstExtentHigh;    /* destination start, high half */
    uint32_t uiDstExtentLow;     /* destination start, low half */
    uint32_t uiSrcSizeHigh;      /* size, high half */
    uint32_t uiSrcSizeLow;       /* size, low half */
    uint32_t uiCopyInterval;     /* copy interval */
    uint8_t  ucRemoteFlag;       /* 1 remote */
    uint8_t  ucVolumeRole;       /* role */
    uint8_t  ucaReserved122[2];  /* reserved */
};
CopyReqLv DecodeCopyReqLv(const COPY_REQ_LV &in);
COPY_REQ_LV EncodeCopyReqLv(const CopyReqLv &in);

/* ---- TVC_EXEC ------------------------------------------------------------------ */

struct TvcExec {
    uint8_t  ucPageCode;         /* page code */
    uint8_t  ucaReserved1[5];    /* reserved */
    uint16_t uhParamLength;      /* 184 */
    uint16_t uhSessionId;        /* session identifier */
    uint16_t uhPartnerId;        /* partner identifier */
    uint8_t  ucCopyKind;         /* copy kind */
    uint8_t  ucaReserved13[7];   /* reserved */
    uint8_t  ucSessionFlags;     /* session flags */
    uint8_t  ucStartFlags;       /* start flags */
    uint8_t  ucModeFlags;        /* mode flags */
    uint8_t  ucTransferMode;     /* transfer mode */
    uint8_t  ucOperationFlags;   /* operation flags */
    uint8_t  ucActionFlags;      /* action flags */
    uint8_t  ucReserved26;       /* reserved */
    uint8_t  ucStackTimer;       /* stack timer */
    uint8_t  ucaReserved28[4];   /* reserved */
    uint8_t  ucaSrcBoxID[ZRK_BOXID_LEN]; /* source array */
    uint8_t  ucaReserved72[8];   /* reserved */
    uint8_t  ucaDstBoxID[ZRK_BOXID_LEN]; /* destination array */
    uint8_t  ucaReserved120[8];  /* reserved */
    uint32_t uiSrcOlu;           /* source OLU */
    uint32_t uiDstOlu;           /* destination OLU */
    uint16_t uhExtentCnt;        /* extent count */
    uint16_t uhCopyInterval;     /* copy interval */
    uint8_t  ucaReserved140[20]; /* reserved */
    uint64_t ullSrcExtent;       /* source start block */
    uint64_t ullSize;            /* size */
    uint64_t ullDstExtent;       /* destination start block */
    uint8_t  ucaReserved184[8];  /* reserved */
};
TvcExec DecodeTvcExec(const TVC_EXEC &in);
TVC_EXEC EncodeTvcExec(const TvcExec &in);

} // namespace zrk
#endif

#endif /* ZRK_ZRKLVMAIN_H */
