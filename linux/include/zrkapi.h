/*
 * zrkapi.h - public interface of libzrkapi, the VASTREL copy-services library.
 *
 * Every exported function has C linkage. Every record below is a plain struct
 * whose size and field offsets are fixed (and pinned by static assertions when
 * this header is compiled as C++); records marked "host order" hold native
 * integers, records marked "big-endian" hold the array's byte order and are
 * read and written only through the library's byte-order helpers.
 */
#ifndef ZRKAPI_H
#define ZRKAPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Sizes                                                                    */
/* ------------------------------------------------------------------------ */

#define ZRK_BOXID_LEN        40   /* BoxID: 40 bytes, no terminator */
#define ZRK_SENSE_LEN        256  /* caller's sense buffer */
#define ZRK_MESSAGE_LEN      512  /* one ZRKC message line, terminated */
#define ZRK_VOLNAME_LEN      1024 /* volume name as given on a command line */
#define ZRK_TRACE_NAME_LEN   32   /* trace name field of a trace handle */

/* ------------------------------------------------------------------------ */
/* Result records of the command functions (zrkc_...)                       */
/* ------------------------------------------------------------------------ */

/* One entry of the per-pair result area (group-file and session-list runs). */
typedef struct PairResult {
    char     caSource[1024];          /* source name as the group file gives it */
    char     caTarget[1024];          /* target name, empty for volume lines */
    int32_t  iReturnClass;            /* 0 when the entry succeeded */
    uint32_t uiMessageNo;             /* message number (class 16: array code) */
    char     caMessage[ZRK_MESSAGE_LEN]; /* whole message line, terminated */
} PairResult;

/* The per-pair result area: a count followed by packed PairResult entries
 * (entry i starts 4 + i * sizeof(PairResult) bytes into the area). */
#define ZRK_PAIR_AREA_SIZE(n) ((size_t)(n) * sizeof(PairResult) + 4u)

/* Result record of every command function; cleared by the caller. */
typedef struct ReturnInfo {
    int32_t  iReturnClass;            /* 0 success, else a return class */
    uint32_t uiMessageNo;             /* four-digit ZRKC message number */
    char     caMessage[ZRK_MESSAGE_LEN]; /* "ZRKCnnnn CLASS text\n", terminated */
    uint32_t uiNeedPairAreaSize;      /* with message 1015: bytes needed */
    uint32_t uiNeedOutputSize;        /* with message 1001: bytes needed */
    uint32_t uiPairAreaLength;        /* set by the caller: bytes at pPairArea */
    uint32_t uiReserved;              /* alignment before the pointer */
    void    *pPairArea;               /* set by the caller: per-pair result area */
} ReturnInfo;

/* ------------------------------------------------------------------------ */
/* Input records (host order)                                               */
/* ------------------------------------------------------------------------ */

/* Out-of-band copy request. */
typedef struct IPCopyReq {
    char     SrcBoxID[ZRK_BOXID_LEN]; /* source array's BoxID */
    char     DstBoxID[ZRK_BOXID_LEN]; /* destination BoxID; all 0xFF: none */
    uint32_t SrcOLU;                  /* source volume, or a session id */
    uint32_t DstOLU;                  /* destination volume; 0xFFFFFFFF none */
    uint32_t SrcExtAddr_high;         /* source start block, high word */
    uint32_t SrcExtAddr_low;          /* source start block, low word */
    uint32_t DstExtAddr_high;         /* destination start block, high word */
    uint32_t DstExtAddr_low;          /* destination start block, low word */
    uint32_t SrcSize_high;            /* copy size in blocks, high word */
    uint32_t SrcSize_low;             /* copy size in blocks, low word */
    int32_t  CopyInterval;            /* carried unchanged */
    uint8_t  ReqMark;                 /* 1 once the request is built */
    uint8_t  CopyType;                /* 0 any, 1 KZP family, 2 VZ/RVZ, 3 monitor */
    uint8_t  CopyAttr;                /* ZRK_IPATTR_... bits */
    uint8_t  ucReserved;              /* padding */
} IPCopyReq;

#define ZRK_IPATTR_WHOLE_VOLUME 0x80u /* no size and no extents are sent */
#define ZRK_IPATTR_SNAPKZP_P    0x40u /* SnapKZP+ */
#define ZRK_IPATTR_REMOTE       0x20u /* the two BoxIDs differ */
#define ZRK_IPATTR_SNAPKZP      0x10u /* SnapKZP in normal mode */
#define ZRK_IPATTR_QUICKKZP     0x08u /* QuickKZP */
#define ZRK_IPATTR_SECONDARY    0x01u /* secondary access */

/* One entry of a concurrent KZP start. */
typedef struct CONC_SES_INFO {
    char     SrcBoxID[ZRK_BOXID_LEN]; /* source BoxID (compared bytewise) */
    uint32_t SrcOlu;                  /* source OLU */
    uint32_t SrcExtent_high;          /* source extent, high half */
    uint32_t SrcExtent_low;           /* source extent, low half */
    uint32_t SrcSize_high;            /* source size, high half */
    uint32_t SrcSize_low;             /* source size, low half; 0 whole volume */
    char     DstBoxID[ZRK_BOXID_LEN]; /* destination BoxID */
    uint32_t DstOlu;                  /* destination OLU */
    uint32_t DstExtent_high;          /* destination extent, high half */
    uint32_t DstExtent_low;           /* destination extent, low half */
    uint32_t CopyKind;                /* 0 KZP, 8 QuickKZP, 16 SnapKZP, 64 SnapKZP+ */
    uint32_t OptionFlag;              /* 0x2000 restart, 0x40000 accept cascade */
} CONC_SES_INFO;

/* One entry of a large-volume concurrent VZ suspend. */
typedef struct CONC_SUS_PAIR_LV {
    char     SrcBoxID[ZRK_BOXID_LEN]; /* source BoxID */
    uint32_t SrcOlu;                  /* source OLU */
    uint32_t SrcExtent_high;          /* source extent, high half */
    uint32_t SrcExtent_low;           /* source extent, low half */
    uint32_t SrcSize_high;            /* source size, high half */
    uint32_t SrcSize_low;             /* source size, low half */
    char     DstBoxID[ZRK_BOXID_LEN]; /* destination BoxID */
    uint32_t DstOlu;                  /* destination OLU */
    uint32_t DstExtent_high;          /* destination extent, high half */
    uint32_t DstExtent_low;           /* destination extent, low half */
} CONC_SUS_PAIR_LV;

/* Request of an RVZ buffer setting. */
typedef struct RVZ_BUFF_SET_REQ {
    uint16_t uhBuffID;                /* RVZ buffer identifier */
    uint16_t uhReserved;              /* reserved */
    uint16_t uhBuffType;              /* 1 send, 2 receive */
    uint16_t uhInterval;              /* forwarding interval: 1, 2 or 4 */
    uint32_t uiMonitorTime;           /* monitoring time 0..15 */
    uint8_t  ucaRemoteBoxID[ZRK_BOXID_LEN]; /* partner array's BoxID */
} RVZ_BUFF_SET_REQ;

/* ------------------------------------------------------------------------ */
/* Trace files                                                              */
/* ------------------------------------------------------------------------ */

/* Handle of one open trace; all zero when closed. */
typedef struct TraceHandle {
    char      caTraceName[ZRK_TRACE_NAME_LEN]; /* trace name, zero-filled */
    uint32_t  uiSlot;                 /* slot in the management file, 1..max */
    uint32_t  uiGeneration;           /* the slot's generation as last seen */
    uint32_t  uiLevel;                /* configured level of the trace name */
    int32_t   iMngFd;                 /* descriptor of the management file */
    void     *pMngMap;                /* mapped management file */
    int32_t   iTrcFd;                 /* descriptor of the current trace file */
    int32_t   iTrcSize;               /* bytes mapped of the trace file */
    void     *pTrcMap;                /* mapped current trace file */
} TraceHandle;

int ZRKC_OpenTrace(TraceHandle *handle, const char *name);
int ZRKC_OutputTrace(TraceHandle *handle, int level, int pid, int callerId,
                     int kind, int length, const void *data);
int ZRKC_CloseTrace(TraceHandle *handle);

/* ------------------------------------------------------------------------ */
/* Errors and the debug log                                                 */
/* ------------------------------------------------------------------------ */

extern int ZRKerrno;          /* error code of the last failed call */
extern int ZRKRVZ_stacktimer; /* RVZ stack-mode suspend timer (default 5) */

char *ZRKstrerror(int code);
void ZRKperror(const char *message);
int WriteLog(int level, const void *dump, int dumpLength, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

/* ------------------------------------------------------------------------ */
/* In-band transport: the call's open device, sense store, byte order       */
/* ------------------------------------------------------------------------ */

extern int ZRKopenFlag;       /* 1 while the device of the current call is open */
extern int ZRKopenFd;         /* that descriptor; 0 when closed */

#define ZRK_SENSE_CLEAR     0 /* CtrlSenseData: clear all ZRK_SENSE_LEN bytes */
#define ZRK_SENSE_COPY_OUT  1 /* copy length bytes of the store to buffer */
#define ZRK_SENSE_STORE     2 /* store length bytes of buffer at its start */

/* The process-wide sense store; length is clamped to 0..ZRK_SENSE_LEN. */
void CtrlSenseData(void *buffer, int length, int operation);
/* The first n bytes (n 0 or 1: one byte; above 4 or negative: 4) read
 * big-endian; 0 for a null pointer. */
unsigned int ShiftBtoI(const unsigned char *bytes, int n);
/* A host value of 2, 4 or 8 bytes (any other width reads 0) written
 * big-endian into 2, 3, 4 or 8 bytes (any other width writes nothing). */
void ShiftAnytoB(const void *value, int sourceWidth, int targetWidth,
                 unsigned char *buffer);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(PairResult) == 2568, "PairResult layout");
static_assert(offsetof(PairResult, iReturnClass) == 2048, "PairResult layout");
static_assert(offsetof(PairResult, caMessage) == 2056, "PairResult layout");
static_assert(sizeof(ReturnInfo) == 544, "ReturnInfo layout");
static_assert(offsetof(ReturnInfo, caMessage) == 8, "ReturnInfo layout");
static_assert(offsetof(ReturnInfo, uiNeedPairAreaSize) == 520, "ReturnInfo layout");
static_assert(offsetof(ReturnInfo, uiPairAreaLength) == 528, "ReturnInfo layout");
static_assert(offsetof(ReturnInfo, pPairArea) == 536, "ReturnInfo layout");
static_assert(sizeof(IPCopyReq) == 120, "IPCopyReq layout");
static_assert(offsetof(IPCopyReq, SrcOLU) == 80, "IPCopyReq layout");
static_assert(offsetof(IPCopyReq, SrcSize_low) == 108, "IPCopyReq layout");
static_assert(offsetof(IPCopyReq, CopyInterval) == 112, "IPCopyReq layout");
static_assert(offsetof(IPCopyReq, ReqMark) == 116, "IPCopyReq layout");
static_assert(offsetof(IPCopyReq, CopyAttr) == 118, "IPCopyReq layout");
static_assert(sizeof(CONC_SES_INFO) == 120, "CONC_SES_INFO layout");
static_assert(offsetof(CONC_SES_INFO, SrcOlu) == 40, "CONC_SES_INFO layout");
static_assert(offsetof(CONC_SES_INFO, DstBoxID) == 60, "CONC_SES_INFO layout");
static_assert(offsetof(CONC_SES_INFO, DstOlu) == 100, "CONC_SES_INFO layout");
static_assert(offsetof(CONC_SES_INFO, CopyKind) == 112, "CONC_SES_INFO layout");
static_assert(offsetof(CONC_SES_INFO, OptionFlag) == 116, "CONC_SES_INFO layout");
static_assert(sizeof(CONC_SUS_PAIR_LV) == 112, "CONC_SUS_PAIR_LV layout");
static_assert(offsetof(CONC_SUS_PAIR_LV, DstBoxID) == 60, "CONC_SUS_PAIR_LV layout");
static_assert(offsetof(CONC_SUS_PAIR_LV, DstExtent_low) == 108, "CONC_SUS_PAIR_LV layout");
static_assert(sizeof(RVZ_BUFF_SET_REQ) == 52, "RVZ_BUFF_SET_REQ layout");
static_assert(offsetof(RVZ_BUFF_SET_REQ, uhReserved) == 2, "RVZ_BUFF_SET_REQ layout");
static_assert(offsetof(RVZ_BUFF_SET_REQ, uhBuffType) == 4, "RVZ_BUFF_SET_REQ layout");
static_assert(offsetof(RVZ_BUFF_SET_REQ, uiMonitorTime) == 8, "RVZ_BUFF_SET_REQ layout");
static_assert(offsetof(RVZ_BUFF_SET_REQ, ucaRemoteBoxID) == 12, "RVZ_BUFF_SET_REQ layout");
static_assert(sizeof(TraceHandle) == 72, "TraceHandle layout");
static_assert(offsetof(TraceHandle, pMngMap) == 48, "TraceHandle layout");
static_assert(offsetof(TraceHandle, pTrcMap) == 64, "TraceHandle layout");
#endif

#endif /* ZRKAPI_H */
