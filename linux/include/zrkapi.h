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
#pragma GCC visibility push(default)

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

/* Option bits of the copy functions (OptionFlag), one shared spelling for
 * the in-band and the out-of-band functions. A few bits mean one thing to
 * the list functions and another to the session functions; both names are
 * given. */
#define ZRK_OPT_FORCE          0x2u       /* force */
#define ZRK_OPT_SESSION_ID     0x4u       /* the session is named by its id, in SrcOlu */
#define ZRK_OPT_UNTRANSFERRED  0x10u      /* untransferred-data mode of a concurrent suspend */
#define ZRK_OPT_SYNC           0x20u      /* synchronous transfer */
#define ZRK_OPT_SKIP_COPY      0x40u      /* skip the initial copy */
#define ZRK_OPT_REMAIN         0x80u      /* remain mode on resume */
#define ZRK_OPT_AUTO_SPLIT     0x100u     /* automatic split (only with ZRK_OPT_SYNC) */
#define ZRK_OPT_MANUAL_RCV     0x200u     /* manual recovery */
#define ZRK_OPT_STACK          0x400u     /* stack transfer */
#define ZRK_OPT_CONSISTENCY    0x800u     /* consistency transfer */
#define ZRK_OPT_REVERSE        0x1000u    /* reverse */
#define ZRK_OPT_RESTART        0x2000u    /* restart (QuickKZP) */
#define ZRK_OPT_STOP_TRACKING  0x4000u    /* stop tracking only (QuickKZP) */
#define ZRK_OPT_MONITOR        0x8000u    /* monitor session: no destination */
#define ZRK_OPT_SECONDARY      0x20000u   /* secondary access */
#define ZRK_OPT_LIST_SEL_01    0x80000u   /* lists: selection byte 0x01; KZP stop and detail
                                             query: offloaded sessions; LAN lists: "-mode" */
#define ZRK_OPT_STACK_TIMER    0x100000u  /* RVZ suspend with the stack timer */
#define ZRK_OPT_NO_SWAP        0x200000u  /* no storage-cluster swap in volume information */
#define ZRK_OPT_LIST_NO_CLUSTER 0x400000u /* lists: no storage-cluster selection */
#define ZRK_OPT_LIST_FAILOVER  0x800000u  /* lists: selection byte 0x40 (failover sessions) */
#define ZRK_OPT_LIST_SEL_10    0x1000000u /* lists: selection byte 0x10 */
#define ZRK_OPT_VVOL           0x1000000u /* session functions: a virtual-volume session */
#define ZRK_OPT_VVOL_DELETE    0x2000000u /* virtual-volume delete mode */

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
extern int ZRKsessionid;      /* identifier of the session the last start created */

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

/* ------------------------------------------------------------------------ */
/* Session lists, session details and volume information (big-endian)       */
/* ------------------------------------------------------------------------ */
/* Every field of these records is kept as the array's bytes: multi-byte
 * fields are big-endian byte arrays (read them with ShiftBtoI), except the
 * host-order integers of VOLUME_INFO_RECORD_LV. */

#define ZRK_DETAIL_PAGE_ENTRIES 256 /* DETAIL_LIST_INFO entries of one list page */

/* Bits of the session flag byte (DETAIL_LIST_INFO byte 5, TVC_DETAIL_INFO
 * byte 12, TVC_EXEC byte 20). */
#define ZRK_SESFLAG_WHOLE_VOLUME 0x80u /* the whole volume is copied */
#define ZRK_SESFLAG_SNAPKZP_P    0x40u /* SnapKZP+ */
#define ZRK_SESFLAG_REMOTE       0x20u /* source and destination on two arrays */
#define ZRK_SESFLAG_SNAPKZP      0x10u /* SnapKZP */
#define ZRK_SESFLAG_QUICKKZP     0x08u /* QuickKZP */
#define ZRK_SESFLAG_SECONDARY    0x03u /* secondary-access mode (two bits) */
/* Bits of the mode flag byte (DETAIL_LIST_INFO byte 6, TVC_DETAIL_INFO byte
 * 14, TVC_EXEC byte 22). */
#define ZRK_MODEFLAG_DEST_SIDE   0x10u /* addressed from the destination side */
#define ZRK_MODEFLAG_SYNC        0x04u /* synchronous transfer */
#define ZRK_MODEFLAG_AUTO_SPLIT  0x02u /* automatic split */
#define ZRK_MODEFLAG_MANUAL_RCV  0x01u /* manual recovery */

/* One session of the array's detail list (160 bytes). */
typedef struct DETAIL_LIST_INFO {
    unsigned char ucaSessionID[2];     /* session identifier */
    unsigned char ucaPartnerID[2];     /* partner's identifier; in use with ZRK_MODEFLAG_DEST_SIDE */
    unsigned char ucCopyKind;          /* 1 KZP family, 2 VZ family, 3 monitor session */
    unsigned char ucSessionFlags;      /* ZRK_SESFLAG_... */
    unsigned char ucModeFlags;         /* ZRK_MODEFLAG_... */
    unsigned char ucTransferMode;      /* 2 stack, 3 consistency, 0 other */
    unsigned char Phase;               /* phase code */
    unsigned char Status;              /* status code; 0 no session */
    unsigned char ucModeChange;        /* mode-change state of a remote VZ session */
    unsigned char ucState11;           /* state byte */
    unsigned char ucaLapseTime[4];     /* header bytes: elapsed time */
    unsigned char SrcBoxID[ZRK_BOXID_LEN]; /* source array */
    unsigned char DstBoxID[ZRK_BOXID_LEN]; /* destination array */
    unsigned char SrcOlu[4];           /* source OLU */
    unsigned char DstOlu[4];           /* destination OLU */
    unsigned char ucaExtentCnt[2];     /* extent count */
    unsigned char ucState106;          /* state byte (error code) */
    unsigned char ucState107;          /* state byte */
    unsigned char CopiedBlock_high[4]; /* copied blocks, high half */
    unsigned char CopiedBlock_low[4];  /* copied blocks, low half */
    unsigned char SrcExtent_high[4];   /* source start block, high half */
    unsigned char SrcExtent_low[4];    /* source start block, low half */
    unsigned char SrcSize_high[4];     /* size in blocks, high half */
    unsigned char SrcSize_low[4];      /* size in blocks, low half */
    unsigned char DstExtent_high[4];   /* destination start block, high half */
    unsigned char DstExtent_low[4];    /* destination start block, low half */
    unsigned char ucaState140[7];      /* state bytes 140 to 146 */
    unsigned char ucReserved147;       /* reserved */
    unsigned char ucaValue148[4];      /* value */
    unsigned char ucaStartTime[8];     /* session start, binary-coded decimal */
} DETAIL_LIST_INFO;

/* One session in the page-based shape (184 bytes): the reply of the detail
 * page after its 8-byte header, and every large-volume detail query's output. */
typedef struct TVC_DETAIL_INFO {
    unsigned char ucaSessionID[2];     /* session identifier */
    unsigned char ucaPartnerID[2];     /* partner session identifier */
    unsigned char ucCopyKind;          /* 1 KZP family, 2 VZ family, 3 monitor session */
    unsigned char ucaState5[3];        /* state bytes 5 to 7 */
    unsigned char ucaReserved8[4];     /* reserved */
    unsigned char ucSessionFlags;      /* ZRK_SESFLAG_... */
    unsigned char ucReserved13;        /* reserved */
    unsigned char ucModeFlags;         /* ZRK_MODEFLAG_... */
    unsigned char ucTransferMode;      /* 2 stack, 3 consistency, 0 other */
    unsigned char ucModeChange;        /* mode-change state of a remote VZ session */
    unsigned char ucVolumeRole;        /* 1 */
    unsigned char Phase;               /* phase code */
    unsigned char Status;              /* status code; 0 no session */
    unsigned char ucState20;           /* state byte */
    unsigned char ucState21;           /* state byte */
    unsigned char ucState22;           /* state byte */
    unsigned char ucState23;           /* state byte */
    unsigned char SrcBoxID[ZRK_BOXID_LEN]; /* source array */
    unsigned char ucaReserved64[8];    /* reserved */
    unsigned char DstBoxID[ZRK_BOXID_LEN]; /* destination array */
    unsigned char ucaReserved112[8];   /* reserved */
    unsigned char SrcOlu[4];           /* source OLU */
    unsigned char DstOlu[4];           /* destination OLU */
    unsigned char ucaExtentCnt[2];     /* 0 whole volume, 1 one extent */
    unsigned char ucState130;          /* state byte */
    unsigned char ucState131;          /* state byte */
    unsigned char ucaLapseTime[4];     /* elapsed time of a KZP-family session */
    unsigned char CopiedBlock_high[4]; /* copied blocks, high half */
    unsigned char CopiedBlock_low[4];  /* copied blocks, low half */
    unsigned char ucaTail144[8];       /* the list entry's tail bytes */
    unsigned char SrcExtent_high[4];   /* source start block, high half */
    unsigned char SrcExtent_low[4];    /* source start block, low half */
    unsigned char SrcSize_high[4];     /* size in blocks, high half */
    unsigned char SrcSize_low[4];      /* size in blocks, low half */
    unsigned char DstExtent_high[4];   /* destination start block, high half */
    unsigned char DstExtent_low[4];    /* destination start block, low half */
    unsigned char ucaReserved176[8];   /* reserved */
} TVC_DETAIL_INFO;

/* The classic detail record of one session (152 bytes): RVZ_DETAIL_INFO for
 * the VZ family, RKZP_DETAIL_INFO for the KZP family; three fields mean
 * different things in the two. */
typedef struct RVZ_DETAIL_INFO {
    unsigned char ucaSessionID[2];     /* session identifier */
    unsigned char ucaPartnerID[2];     /* partner session identifier */
    unsigned char ucFlags;             /* 0x80 whole, 0x20 remote, 0x10 destination side, VZ: 0x07 modes */
    unsigned char ucPhaseMode;         /* VZ: phase. KZP: phase | 0x20 QuickKZP, 0x40 SnapKZP, 0xC0 monitor */
    unsigned char Status;              /* status; 0 no such session */
    unsigned char ucState7;            /* state byte */
    unsigned char ucaFamily8[4];       /* VZ: transfer mode, mode-change state, 0, 0. KZP: elapsed time */
    unsigned char ucaCopiedBlock[4];   /* copied blocks, low 32 bits */
    unsigned char ucVolumeRole;        /* role of the addressed volume */
    unsigned char ucaReserved17[7];    /* reserved */
    unsigned char SrcBoxID[ZRK_BOXID_LEN]; /* source array */
    unsigned char ucaReserved64[8];    /* reserved */
    unsigned char DstBoxID[ZRK_BOXID_LEN]; /* destination array */
    unsigned char ucaReserved112[8];   /* reserved */
    unsigned char SrcOlu[4];           /* source OLU */
    unsigned char DstOlu[4];           /* destination OLU */
    unsigned char ucaExtentCnt[2];     /* extent count */
    unsigned char ucaFamily130[2];     /* VZ: list entry bytes 14-15; KZP: 0 */
    unsigned char ucaReserved132[4];   /* reserved */
    unsigned char SrcExtent[4];        /* source start block */
    unsigned char SrcSize[4];          /* size in blocks */
    unsigned char DstExtent[4];        /* destination start block */
    unsigned char ucaReserved148[4];   /* reserved */
} RVZ_DETAIL_INFO;
typedef RVZ_DETAIL_INFO RKZP_DETAIL_INFO;

/* Header of a session identifier list (16 bytes), entries follow. */
typedef struct SESSION_ID_LIST {
    unsigned char ucPageCode;          /* page the list stands for */
    unsigned char ucaReserved1[3];     /* reserved */
    unsigned char ucaLength[4];        /* bytes after byte 7: 8 + 16 x entries */
    unsigned char ucaMaxSessionCount[8]; /* the family's maximum session counts */
} SESSION_ID_LIST;

/* One entry of a session identifier list (16 bytes). */
typedef struct SESSION_ID_ENTRY {
    unsigned char ucaSessionID[2];     /* session identifier */
    unsigned char ucFlags;             /* 0x80 whole, 0x20 remote, 0x10 destination side, 0x07 modes */
    unsigned char ucVolumeRole;        /* role of the addressed volume */
    unsigned char Status;              /* status code */
    unsigned char Phase;               /* phase code */
    unsigned char ucaReserved6[2];     /* reserved */
    unsigned char SrcOlu[4];           /* source OLU */
    unsigned char DstOlu[4];           /* destination OLU */
} SESSION_ID_ENTRY;

/* The volume-information area (256 bytes); bytes not named are 0. */
typedef struct VOL_INFO {
    unsigned char ucaReserved0[16];    /* 0 */
    unsigned char ucaKzpMaxSession[8]; /* KZP maximum session counts */
    unsigned char ucaVzMaxSession[8];  /* VZ maximum session counts */
    unsigned char ucaReserved32[32];   /* 0 */
    unsigned char ucaSupportData[32];  /* copy-support data: KZP, remote KZP, VZ, RVZ groups */
    unsigned char ucaRvzBuffMax[2];    /* RVZ buffers: maximum count */
    unsigned char ucaRvzBuffCur[2];    /* RVZ buffers: current count */
    unsigned char ucRvzBuffSupport;    /* RVZ buffer support byte */
    unsigned char ucaReserved101[11];  /* 0 */
    unsigned char ucaMaxGeneration[2]; /* maximum SnapKZP+ generations */
    unsigned char ucaReserved114[14];  /* 0 */
    unsigned char ucStorageCluster;    /* failover role: 0 none, 1 primary, 2 secondary */
    unsigned char ucStorageClusterGroup; /* failover group */
    unsigned char ucaReserved130[126]; /* 0 */
} VOL_INFO;

/* The extra volume information (8 bytes). */
typedef struct VOL_INFO_EX {
    unsigned char ucAttribute;         /* volume attribute byte */
    unsigned char ucaReserved1[7];     /* 0 */
} VOL_INFO_EX;

/* Large-volume volume information (324 bytes; the integers in host order). */
typedef struct VOLUME_INFO_RECORD_LV {
    unsigned char BoxID[ZRK_BOXID_LEN]; /* array owning the volume (partner's on a secondary) */
    uint32_t uiOlu;                    /* OLU */
    uint32_t uiExtent_high;            /* volume start block, high half */
    uint32_t uiExtent_low;             /* volume start block, low half */
    uint32_t uiSize_high;              /* size in blocks, high half */
    uint32_t uiSize_low;               /* size in blocks, low half */
    VOL_INFO VolInfo;                  /* volume-information area */
    VOL_INFO_EX VolInfoEx;             /* extra information */
} VOLUME_INFO_RECORD_LV;

/* Classic volume information (316 bytes; the integers in host order). */
typedef struct VOLUME_INFO_RECORD {
    unsigned char BoxID[ZRK_BOXID_LEN]; /* array owning the volume */
    uint32_t uiOlu;                    /* OLU */
    uint32_t uiExtent;                 /* volume start block */
    uint32_t uiSize;                   /* size in blocks */
    VOL_INFO VolInfo;                  /* volume-information area */
    VOL_INFO_EX VolInfoEx;             /* extra information */
} VOLUME_INFO_RECORD;

#ifdef __cplusplus
static_assert(sizeof(DETAIL_LIST_INFO) == 160, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, ucaLapseTime) == 12, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, SrcBoxID) == 16, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, DstBoxID) == 56, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, SrcOlu) == 96, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, ucaExtentCnt) == 104, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, CopiedBlock_high) == 108, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, SrcExtent_high) == 116, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, DstExtent_low) == 136, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, ucaState140) == 140, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, ucaValue148) == 148, "DETAIL_LIST_INFO layout");
static_assert(offsetof(DETAIL_LIST_INFO, ucaStartTime) == 152, "DETAIL_LIST_INFO layout");
static_assert(sizeof(TVC_DETAIL_INFO) == 184, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, ucSessionFlags) == 12, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, Status) == 19, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, SrcBoxID) == 24, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, DstBoxID) == 72, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, SrcOlu) == 120, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, ucaLapseTime) == 132, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, ucaTail144) == 144, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, SrcExtent_high) == 152, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, DstExtent_low) == 172, "TVC_DETAIL_INFO layout");
static_assert(offsetof(TVC_DETAIL_INFO, ucaReserved176) == 176, "TVC_DETAIL_INFO layout");
static_assert(sizeof(RVZ_DETAIL_INFO) == 152, "RVZ_DETAIL_INFO layout");
static_assert(offsetof(RVZ_DETAIL_INFO, ucaCopiedBlock) == 12, "RVZ_DETAIL_INFO layout");
static_assert(offsetof(RVZ_DETAIL_INFO, SrcBoxID) == 24, "RVZ_DETAIL_INFO layout");
static_assert(offsetof(RVZ_DETAIL_INFO, DstBoxID) == 72, "RVZ_DETAIL_INFO layout");
static_assert(offsetof(RVZ_DETAIL_INFO, SrcOlu) == 120, "RVZ_DETAIL_INFO layout");
static_assert(offsetof(RVZ_DETAIL_INFO, ucaExtentCnt) == 128, "RVZ_DETAIL_INFO layout");
static_assert(offsetof(RVZ_DETAIL_INFO, SrcExtent) == 136, "RVZ_DETAIL_INFO layout");
static_assert(offsetof(RVZ_DETAIL_INFO, DstExtent) == 144, "RVZ_DETAIL_INFO layout");
static_assert(sizeof(SESSION_ID_LIST) == 16, "SESSION_ID_LIST layout");
static_assert(offsetof(SESSION_ID_LIST, ucaLength) == 4, "SESSION_ID_LIST layout");
static_assert(sizeof(SESSION_ID_ENTRY) == 16, "SESSION_ID_ENTRY layout");
static_assert(offsetof(SESSION_ID_ENTRY, SrcOlu) == 8, "SESSION_ID_ENTRY layout");
static_assert(offsetof(SESSION_ID_ENTRY, DstOlu) == 12, "SESSION_ID_ENTRY layout");
static_assert(sizeof(VOL_INFO) == 256, "VOL_INFO layout");
static_assert(offsetof(VOL_INFO, ucaKzpMaxSession) == 16, "VOL_INFO layout");
static_assert(offsetof(VOL_INFO, ucaVzMaxSession) == 24, "VOL_INFO layout");
static_assert(offsetof(VOL_INFO, ucaSupportData) == 64, "VOL_INFO layout");
static_assert(offsetof(VOL_INFO, ucaRvzBuffMax) == 96, "VOL_INFO layout");
static_assert(offsetof(VOL_INFO, ucRvzBuffSupport) == 100, "VOL_INFO layout");
static_assert(offsetof(VOL_INFO, ucaMaxGeneration) == 112, "VOL_INFO layout");
static_assert(offsetof(VOL_INFO, ucStorageCluster) == 128, "VOL_INFO layout");
static_assert(sizeof(VOL_INFO_EX) == 8, "VOL_INFO_EX layout");
static_assert(sizeof(VOLUME_INFO_RECORD_LV) == 324, "VOLUME_INFO_RECORD_LV layout");
static_assert(offsetof(VOLUME_INFO_RECORD_LV, uiOlu) == 40, "VOLUME_INFO_RECORD_LV layout");
static_assert(offsetof(VOLUME_INFO_RECORD_LV, uiSize_low) == 56, "VOLUME_INFO_RECORD_LV layout");
static_assert(offsetof(VOLUME_INFO_RECORD_LV, VolInfo) == 60, "VOLUME_INFO_RECORD_LV layout");
static_assert(offsetof(VOLUME_INFO_RECORD_LV, VolInfoEx) == 316, "VOLUME_INFO_RECORD_LV layout");
static_assert(sizeof(VOLUME_INFO_RECORD) == 316, "VOLUME_INFO_RECORD layout");
static_assert(offsetof(VOLUME_INFO_RECORD, uiOlu) == 40, "VOLUME_INFO_RECORD layout");
static_assert(offsetof(VOLUME_INFO_RECORD, uiSize) == 48, "VOLUME_INFO_RECORD layout");
static_assert(offsetof(VOLUME_INFO_RECORD, VolInfo) == 52, "VOLUME_INFO_RECORD layout");
static_assert(offsetof(VOLUME_INFO_RECORD, VolInfoEx) == 308, "VOLUME_INFO_RECORD layout");
#endif

/* ------------------------------------------------------------------------ */
/* In-band engine: option word of the call, trace dump                      */
/* ------------------------------------------------------------------------ */

extern uint32_t ZRKOptionFlag; /* option word of the current in-band call */

/* Writes title (when not null) and then length bytes of data as hex lines of
 * 16 into the API trace at level 3 under the trace name name. */
void API_TRACE_DMP(const char *name, const char *title, const void *data, int length);

/* ------------------------------------------------------------------------ */
/* In-band: classic concurrent-suspend entry; large-volume volume            */
/* information, block size and detail queries                               */
/* ------------------------------------------------------------------------ */

/* One entry of a classic concurrent VZ suspend (100 bytes, host order). */
typedef struct CONC_SUS_PAIR {
    char     SrcBoxID[ZRK_BOXID_LEN]; /* source BoxID */
    uint32_t SrcOlu;                  /* source OLU */
    uint32_t SrcExtent;               /* source start block */
    uint32_t SrcSize;                 /* size in blocks */
    char     DstBoxID[ZRK_BOXID_LEN]; /* destination BoxID */
    uint32_t DstOlu;                  /* destination OLU */
    uint32_t DstExtent;               /* destination start block */
} CONC_SUS_PAIR;

/* Volume information of LogicalVol: its array (BoxID, 40 bytes), OLU,
 * extent start and size in blocks (high and low halves) and the VOL_INFO
 * area (and, for the Ex form, VOL_INFO_EX). ExtentCnt must be 0; OptionFlag
 * takes 0x200000 only (report the volume's own array on a storage-cluster
 * secondary). Returns 1 on success, -1 with ZRKerrno on failure; SenseData
 * (256 bytes, may be null) receives the sense of a failed command. */
int ZRKLVGetVolumeInfo(const char *LogicalVol, uint32_t ExtentCnt, uint32_t OptionFlag,
                       char *BoxID, uint32_t *Olu, uint32_t *Extent_high,
                       uint32_t *Extent_low, uint32_t *Size_high, uint32_t *Size_low,
                       VOL_INFO *VolInfo, unsigned char *SenseData);
int ZRKLVGetVolumeInfoEx(const char *LogicalVol, uint32_t ExtentCnt, uint32_t OptionFlag,
                         char *BoxID, uint32_t *Olu, uint32_t *Extent_high,
                         uint32_t *Extent_low, uint32_t *Size_high, uint32_t *Size_low,
                         VOL_INFO *VolInfo, VOL_INFO_EX *VolInfoEx,
                         unsigned char *SenseData);

/* ---- RVZ buffer information, copy priority, light volume information ---- */

/* One controller module of an RVZ buffer: its record of the buffer detail
 * (bytes 0-1 the module identifier) and of the usage page. */
typedef struct RVZ_BUFF_CM_INFO {
    unsigned char ucaDetail[32]; /* module record of the buffer detail */
    unsigned char ucaUsage[32];  /* the same module's usage record, or 0 */
} RVZ_BUFF_CM_INFO;

/* One RVZ buffer (2240 bytes, big-endian as the array sends it). */
typedef struct RVZ_BUFF_ELEMENT {
    unsigned char ucaEntry[64];  /* the buffer's list entry; byte 1 its identifier */
    unsigned char ucaDetail[32]; /* the buffer detail */
    unsigned char ucaUsage[96];  /* the head of the buffer's usage record, or 0 */
    RVZ_BUFF_CM_INFO Cm[32];     /* its controller modules */
} RVZ_BUFF_ELEMENT;

/* Everything the array reports about its RVZ buffers (17928 bytes). ucaHead:
 * bytes 2-3 the number of buffers, byte 7 the pages offered (0x01 buffer
 * detail, 0x02 usage, 0x04 the long usage form). */
typedef struct RVZ_BUFF_INFO {
    unsigned char ucaHead[8];     /* list head */
    RVZ_BUFF_ELEMENT Buff[8];     /* in the order of the array's list */
} RVZ_BUFF_INFO;

/* One array of the copy priority settings (64 bytes). */
typedef struct COPY_PRIORITY_ENTRY {
    char          BoxID[ZRK_BOXID_LEN]; /* the array */
    unsigned char ucReserved;           /* as the array sends it */
    unsigned char ucSwitch;             /* its current switch (0 off) */
    unsigned char ucaRest[22];          /* as the array sends it */
} COPY_PRIORITY_ENTRY;

/* The array's copy priority settings (1032 bytes). */
typedef struct COPY_PRIORITY_INFO {
    unsigned char ucCapability;   /* capability flags 0x80, 0x40, 0x20, 0x10 */
    unsigned char ucReserved1;    /* not read */
    unsigned char ucCount;        /* number of entries (at most 16) */
    unsigned char ucaReserved2[5];/* not read */
    COPY_PRIORITY_ENTRY Entry[16]; /* the arrays */
} COPY_PRIORITY_INFO;

/* A copy priority setting (120 bytes), sent to the array unchanged. */
typedef struct COPY_PRIORITY_SET {
    unsigned char ucKind;          /* 0 a level for the array, 1 toward one partner */
    unsigned char ucLevel;         /* kind 0: the level */
    unsigned char ucaReserved1[6]; /* passed on */
    char          BoxID[ZRK_BOXID_LEN]; /* kind 1: the partner */
    unsigned char ucSubKind;       /* kind 1: 0 a switch, 1 a partner setting */
    unsigned char ucSwitch;        /* kind 1, sub-kind 0: the new switch (0 off) */
    unsigned char ucaReserved2[70];/* passed on */
} COPY_PRIORITY_SET;

#ifdef __cplusplus
static_assert(sizeof(RVZ_BUFF_CM_INFO) == 64, "RVZ_BUFF_CM_INFO layout");
static_assert(sizeof(RVZ_BUFF_ELEMENT) == 2240, "RVZ_BUFF_ELEMENT layout");
static_assert(offsetof(RVZ_BUFF_ELEMENT, ucaDetail) == 64, "RVZ_BUFF_ELEMENT layout");
static_assert(offsetof(RVZ_BUFF_ELEMENT, ucaUsage) == 96, "RVZ_BUFF_ELEMENT layout");
static_assert(offsetof(RVZ_BUFF_ELEMENT, Cm) == 192, "RVZ_BUFF_ELEMENT layout");
static_assert(sizeof(RVZ_BUFF_INFO) == 17928, "RVZ_BUFF_INFO layout");
static_assert(offsetof(RVZ_BUFF_INFO, Buff) == 8, "RVZ_BUFF_INFO layout");
static_assert(sizeof(COPY_PRIORITY_ENTRY) == 64, "COPY_PRIORITY_ENTRY layout");
static_assert(offsetof(COPY_PRIORITY_ENTRY, ucSwitch) == 41, "COPY_PRIORITY_ENTRY layout");
static_assert(sizeof(COPY_PRIORITY_INFO) == 1032, "COPY_PRIORITY_INFO layout");
static_assert(offsetof(COPY_PRIORITY_INFO, ucCount) == 2, "COPY_PRIORITY_INFO layout");
static_assert(offsetof(COPY_PRIORITY_INFO, Entry) == 8, "COPY_PRIORITY_INFO layout");
static_assert(sizeof(COPY_PRIORITY_SET) == 120, "COPY_PRIORITY_SET layout");
static_assert(offsetof(COPY_PRIORITY_SET, BoxID) == 8, "COPY_PRIORITY_SET layout");
static_assert(offsetof(COPY_PRIORITY_SET, ucSubKind) == 48, "COPY_PRIORITY_SET layout");
static_assert(offsetof(COPY_PRIORITY_SET, ucSwitch) == 49, "COPY_PRIORITY_SET layout");
#endif

/* Everything the array reports about its RVZ buffers. OptionFlag must be 0.
 * 0 or -1 (17 when the array has no RVZ buffers). */
int ZRKGetRVZBuffInfo(const char *LogicalVol, uint32_t OptionFlag, RVZ_BUFF_INFO *Info,
                      unsigned char *SenseData);
/* The array's copy priority settings. 0 or -1 (17 when not offered). */
int ZRKGetCopyPriority(const char *LogicalVol, COPY_PRIORITY_INFO *Info,
                       unsigned char *SenseData);
/* Sends one copy priority setting. 0 or -1: 57 unknown partner, 77 refused
 * as invalid, 78 a combination the array does not offer, 99 in a storage
 * cluster. */
int ZRKSetCopyPriority(const char *LogicalVol, unsigned char *SenseData,
                       COPY_PRIORITY_SET Setting);
/* A volume's BoxID, OLU and extent, without the session counts. ExtentCnt
 * and OptionFlag must be 0; Unused is not read. 1 or -1. */
int ZRKLVGetVolumeInfoLite(const char *LogicalVol, int ExtentCnt, uint32_t OptionFlag,
                           char *BoxID, uint32_t *Olu, uint32_t *Extent_high,
                           uint32_t *Extent_low, uint32_t *Size_high, uint32_t *Size_low,
                           void *Unused, unsigned char *SenseData);
/* The same, and the volume's attribute byte in VolInfoEx. 1 or -1. */
int ZRKLVGetVolumeInfoLiteEx(const char *LogicalVol, int ExtentCnt, uint32_t OptionFlag,
                             char *BoxID, uint32_t *Olu, uint32_t *Extent_high,
                             uint32_t *Extent_low, uint32_t *Size_high, uint32_t *Size_low,
                             void *Unused, VOL_INFO_EX *VolInfoEx,
                             unsigned char *SenseData);
/* Detail of the session of a pair, any copy kind: min(Length, 256) bytes of
 * Detail receive the TVC_DETAIL_INFO (184 bytes) followed by zeros.
 * OptionFlag: 0x4 (the session id in SrcOlu), 0x80000. 0 or -1. */
int ZRKLVQueryDetail(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                     uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                     uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                     uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                     uint32_t OptionFlag, uint32_t Length, unsigned char *Detail,
                     unsigned char *SenseData);
/* Capacity of LogicalVol in blocks (high and low halves) and its block
 * length in bytes. 0 or -1. */
int ZRKLVGetBlockSize(const char *LogicalVol, uint32_t *Capacity_high, uint32_t *Capacity_low,
                      uint32_t *BlockLength, unsigned char *SenseData);
/* The session of a pair out of a detail list the caller holds (ListCnt
 * DETAIL_LIST_INFO entries); CopyKind 0 any, 1 KZP family, 2 VZ family.
 * Detail receives 184 bytes (TVC_DETAIL_INFO), KindOut its copy kind byte.
 * Sends no command. 0 or -1. */
int ZRKLVQueryDetailfromList(uint32_t CopyKind, uint32_t ListCnt, const DETAIL_LIST_INFO *List,
                             const char *SrcBoxID, uint32_t SrcOlu, uint32_t SrcExtent_high,
                             uint32_t SrcExtent_low, uint32_t SrcSize_high,
                             uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                             uint32_t DstExtent_high, uint32_t DstExtent_low,
                             uint32_t CopyInterval, TVC_DETAIL_INFO *Detail,
                             uint32_t *KindOut);

#ifdef __cplusplus
static_assert(sizeof(CONC_SUS_PAIR) == 100, "CONC_SUS_PAIR layout");
static_assert(offsetof(CONC_SUS_PAIR, SrcOlu) == 40, "CONC_SUS_PAIR layout");
static_assert(offsetof(CONC_SUS_PAIR, SrcSize) == 48, "CONC_SUS_PAIR layout");
static_assert(offsetof(CONC_SUS_PAIR, DstBoxID) == 52, "CONC_SUS_PAIR layout");
static_assert(offsetof(CONC_SUS_PAIR, DstOlu) == 92, "CONC_SUS_PAIR layout");
static_assert(offsetof(CONC_SUS_PAIR, DstExtent) == 96, "CONC_SUS_PAIR layout");
#endif

/* ------------------------------------------------------------------------ */
/* In-band: the classic family (ZRK), 32-bit extents and sizes              */
/* ------------------------------------------------------------------------ */

/* The pair of a classic function: source and destination array (40-byte
 * BoxIDs), OLU, start block and size in blocks, and the copy interval. With
 * option 0x4 the session is addressed by its identifier, given in SrcOlu.
 * Every function returns 0, or -1 with the reason in ZRKerrno (the volume
 * information functions return 1 on success); SenseData (256 bytes, may be
 * null) receives the sense data of a failed command. */
#define ZRK_PAIR_PARAMS                                                                    \
    const char *SrcBoxID, uint32_t SrcOlu, uint32_t SrcExtent, uint32_t SrcSize,           \
        const char *DstBoxID, uint32_t DstOlu, uint32_t DstExtent, uint32_t CopyInterval

/* Volume information: BoxID (40 bytes), OLU, start block, size, VOL_INFO
 * (256 bytes) and for the Ex form VOL_INFO_EX (8 bytes). ExtentCnt and
 * OptionFlag must be 0. */
int ZRKGetVolumeInfo(const char *LogicalVol, uint32_t ExtentCnt, uint32_t OptionFlag,
                     char *BoxID, uint32_t *Olu, uint32_t *Extent, uint32_t *Size,
                     unsigned char *VolInfo, unsigned char *SenseData);
int ZRKGetVolumeInfoEx(const char *LogicalVol, uint32_t ExtentCnt, uint32_t OptionFlag,
                       char *BoxID, uint32_t *Olu, uint32_t *Extent, uint32_t *Size,
                       unsigned char *VolInfo, unsigned char *VolInfoEx,
                       unsigned char *SenseData);
/* The array's BoxID and its LU mapping list (1024 bytes). */
int ZRKGetVolumeList(const char *LogicalVol, uint32_t OptionFlag, char *BoxID,
                     unsigned char *List, unsigned char *SenseData);
/* The volume's LU information page (256 bytes). */
int ZRKGetVolumeConstInfo(const char *LogicalVol, uint32_t OptionFlag, unsigned char *Info,
                          unsigned char *SenseData);
/* REMOTE_BOXID_LIST: 3120 bytes, 12336 on the QM family. */
int ZRKGetRemoteBoxIDList(const char *LogicalVol, uint32_t OptionFlag, unsigned char *List,
                          unsigned char *SenseData);

/* VZ and RVZ. Options: start 0x20 synchronous, 0x40 skip, 0x100 automatic
 * split (with 0x20), 0x200 manual recovery, 0x400 stack, 0x800 consistency
 * (RVZ only); stop 0x2 force, 0x4; suspend 0x2 force (RVZ), 0x4; resume 0x4,
 * 0x80 remain mode (RVZ); change 0x4 and the new mode, or 0x1000 reverse. */
int ZRKStartVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
               unsigned char *SenseData);
int ZRKStopVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
              unsigned char *SenseData);
int ZRKSuspendVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                 unsigned char *SenseData);
int ZRKResumeVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                unsigned char *SenseData);
int ZRKChangeVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                unsigned char *SenseData);
int ZRKQueryVZ(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag, uint32_t *Status,
               uint32_t *Phase, uint32_t *CopiedBlock, unsigned char *SenseData);
/* The classic detail record (152 bytes) in a cleared 256-byte Detail. */
int ZRKQueryVZDetail(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                     unsigned char *Detail, unsigned char *SenseData);
int ZRKQueryVZSession(const char *LogicalVol, uint32_t SessionID, uint32_t OptionFlag,
                      unsigned char *Detail, unsigned char *SenseData);
/* The VZ-family session identifier list (header and 16-byte entries). */
int ZRKListVZ(const char *LogicalVol, uint32_t OptionFlag, unsigned char *List,
              unsigned char *SenseData);
/* One concurrent suspend of Count sessions; Result: 4 bytes per pair. */
int ZRKMultiSuspendVZ(const char *LogicalVol, const CONC_SUS_PAIR *Pairs, uint32_t Count,
                      uint32_t OptionFlag, unsigned char *Result, unsigned char *SenseData);
/* VZ_STATUS_LIST: 8-byte header (entry count in bytes 2-3), 8-byte entries. */
int ZRKStatusListVZ(const char *LogicalVol, uint32_t OptionFlag, unsigned char *List,
                    unsigned char *SenseData);
/* RVZ buffers: the list (the two counts first), and a buffer's setting. */
int ZRKRVZBuffInfo(const char *LogicalVol, unsigned char *List, unsigned char *SenseData);
int ZRKRVZBuffSet(const char *LogicalVol, const RVZ_BUFF_SET_REQ *Request,
                  unsigned char *SenseData);

/* KZP, remote KZP, QuickKZP (Diff), SnapKZP (the copy interval of the start
 * and stop functions is not used). Options: KZP stop 0x2 force (remote),
 * 0x4; QuickKZP start 0x2000 restart; QuickKZP stop 0x4 and exactly one of
 * 0x2 and 0x4000; SnapKZP 0x8000 copy monitor session, stop 0x4. */
int ZRKStartKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                unsigned char *SenseData);
int ZRKStopKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
               unsigned char *SenseData);
int ZRKQueryKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag, uint32_t *Status,
                uint32_t *CopiedBlock, uint32_t *LapseTime, unsigned char *SenseData);
int ZRKListKZP(const char *LogicalVol, uint32_t OptionFlag, unsigned char *List,
               unsigned char *SenseData);
/* 152 bytes of Detail; the rest of the area stays as it was. */
int ZRKQueryKZPSession(const char *LogicalVol, uint32_t SessionID, uint32_t OptionFlag,
                       unsigned char *Detail, unsigned char *SenseData);
int ZRKQueryKZPDetail(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                      unsigned char *Detail, unsigned char *SenseData);
int ZRKStartDiffKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                    unsigned char *SenseData);
int ZRKStopDiffKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                   unsigned char *SenseData);
int ZRKStartSnapKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                    unsigned char *SenseData);
int ZRKStopSnapKZP(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                   unsigned char *SenseData);
/* The session of a pair, any copy kind, as TVC_DETAIL_INFO: min(Length, 256)
 * bytes of Detail. */
int ZRKQueryDetail(const char *LogicalVol, ZRK_PAIR_PARAMS, uint32_t OptionFlag,
                   uint32_t Length, unsigned char *Detail, unsigned char *SenseData);

/* Snap data volumes and OLUs (SrcOlu below 0x10000). */
int ZRKSnapDataVolInit(const char *LogicalVol, uint32_t SrcOlu, unsigned char *SenseData);
/* OLU_STATUS, 56 bytes. */
int ZRKGetOLUStatus(const char *LogicalVol, uint32_t SrcOlu, unsigned char *Status,
                    unsigned char *SenseData);
/* Session and buffer counts of the array (256 bytes). */
int ZRKGetCountInfo(const char *LogicalVol, unsigned char *Info, unsigned char *SenseData);
/* Every session of the volume's detail list; OptionFlag 0, 0x80000 (with
 * 0x400000 or not), 0x400000, 0x800000 or 0x1000000. */
int ZRKGetDetailList(const char *LogicalVol, uint32_t OptionFlag, uint32_t *Count,
                     DETAIL_LIST_INFO *List, unsigned char *SenseData);
/* The session of a pair out of a detail list the caller holds, as a classic
 * detail record (152 bytes); KindOut its copy kind. Sends no command. */
int ZRKQueryDetailfromList(uint32_t CopyKind, uint32_t ListCnt, const DETAIL_LIST_INFO *List,
                           ZRK_PAIR_PARAMS, unsigned char *Detail, uint32_t *KindOut);

/* ---- device, logical-unit and OLU status --------------------------------- */
/* Facts of a device and the status of the array's logical units. No option
 * word; OLUs below 0x10000. Multi-byte values are big-endian. */
#define ZRK_DEVICE_INFO_INQUIRY 1  /* InfoType: standard INQUIRY data */
#define ZRK_DEVICE_INFO_BOX     2  /* InfoType: the array's box information */
#define ZRK_DEVICE_INFO_SUPPORT 3  /* InfoType: the copy-function support page */
#define ZRK_DEVICE_INFO_INQUIRY_LEN 88 /* bytes 8-95 of the standard INQUIRY data */
#define ZRK_DEVICE_INFO_BOX_LEN     92 /* bytes 4-95 of vital product data page 0xF2 */
#define ZRK_DEVICE_INFO_SUPPORT_LEN 60 /* bytes 4-63 of vital product data page 0xF0 */
/* OLU_STATUS: 56 bytes, the OLU in its first 2 bytes. */
#define ZRK_OLU_STATUS_LEN 56
/* OLU_STATUS_LIST: 4 bytes the number of entries, 4 bytes 0, then that many
 * OLU_STATUS records (56 bytes each, the OLU in their first 2 bytes). */
#define ZRK_OLU_STATUS_LIST_HEAD 8
/* The size of the list of the OLUs StartOlu to EndOlu. */
#define ZRK_OLU_STATUS_LIST_LEN(StartOlu, EndOlu) (8 + 56 * ((EndOlu) - (StartOlu) + 1))

/* DEVICE_INFO of InfoType (1, 2 or 3) into Info (88, 92 or 60 bytes). */
int ZRKGetDeviceInfo(const char *LogicalVol, int InfoType, unsigned char *Info,
                     unsigned char *SenseData);
/* The standard INQUIRY data from the vendor identification on (88 bytes). */
int ZRKGetLogicalUnitInfo(const char *LogicalVol, unsigned char *Info,
                          unsigned char *SenseData);
/* OLU_STATUS_LIST of the OLUs StartOlu to EndOlu that the array has; List
 * holds ZRK_OLU_STATUS_LIST_LEN(StartOlu, EndOlu) bytes. */
int ZRKGetOLUStatusList(const char *LogicalVol, uint32_t StartOlu, uint32_t EndOlu,
                        unsigned char *List, unsigned char *SenseData);
/* Copy protection of Olu: Status[0] 1 on, 0 off; Status[1] 0. */
int ZRKSetOLUStatus(const char *LogicalVol, uint32_t Olu, const unsigned char *Status,
                    unsigned char *SenseData);

/* ------------------------------------------------------------------------ */
/* In-band: large-volume copy sessions (ZRKLV), VZ and KZP families         */
/* ------------------------------------------------------------------------ */
/* A pair function names its copy pair by the eleven parameters after
 * LogicalVol (the device through which the array is reached):
 *   SrcBoxID (40 bytes, no terminator), SrcOlu, SrcExtent_high,
 *   SrcExtent_low, SrcSize_high, SrcSize_low, DstBoxID (40 bytes), DstOlu,
 *   DstExtent_high, DstExtent_low, CopyInterval (0..10 or 255);
 * extents and sizes are block counts split into 32-bit halves; all six 0 is
 * the whole volume. Equal BoxIDs make a pair inside one array (VZ), different
 * ones a pair between two arrays (RVZ). With option 0x4 the session is named
 * by its identifier, given in SrcOlu, and the other pair words are not used.
 * DstOlu 0xFFFFFFFF with an all-0xFF DstBoxID is the form without a
 * destination (a copy monitor session, option 0x8000).
 * Every function returns 0, or -1 with the reason in ZRKerrno; SenseData
 * (256 bytes, may be null) receives the sense data of a failed command. The
 * outputs are written only on success; a null output area gives 13. */

/* VZ and RVZ. Options: start 0x20 synchronous, 0x40 skip the initial copy,
 * 0x100 automatic split (with 0x20), 0x200 manual recovery, 0x400 stack,
 * 0x800 consistency (these six for RVZ only), 0x20000 secondary access;
 * stop 0x2 force, 0x4; suspend 0x2 force (RVZ), 0x4, 0x100000 with the stack
 * timer ZRKRVZ_stacktimer; resume 0x4, 0x80 remain mode (RVZ); change 0x4
 * and the new mode (0x20, 0x100, 0x200, 0x400, 0x800) or 0x1000 reverse
 * alone. */
int ZRKLVStartVZ(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                 uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                 uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                 uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                 uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVStopVZ(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVSuspendVZ(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                   uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                   uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                   uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                   uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVResumeVZ(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                  uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                  uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                  uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                  uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVChangeVZ(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                  uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                  uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                  uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                  uint32_t OptionFlag, unsigned char *SenseData);
/* Status, phase and copied blocks of the pair's VZ session (option 0x4). */
int ZRKLVQueryVZ(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                 uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                 uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                 uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                 uint32_t OptionFlag, uint32_t *Status, uint32_t *Phase,
                 uint32_t *CopiedBlock_high, uint32_t *CopiedBlock_low,
                 unsigned char *SenseData);
/* The session's TVC_DETAIL_INFO into the first 184 bytes of Detail (256
 * bytes, zeros after it): ZRKLVQueryVZDetail by pair, ZRKLVQueryVZSession by
 * identifier (below 0x10000; 21 when the array has no VZ-family session of
 * that identifier). OptionFlag must be 0. */
int ZRKLVQueryVZDetail(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                       uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                       uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                       uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                       uint32_t OptionFlag, unsigned char *Detail, unsigned char *SenseData);
int ZRKLVQueryVZSession(const char *LogicalVol, uint32_t SessionID, uint32_t OptionFlag,
                        unsigned char *Detail, unsigned char *SenseData);
/* Suspends Count Active and Equivalent VZ sessions, all inside one array or
 * all between the same two arrays, with one command; Result receives one
 * slot per pair (the session identifier in its first two bytes, 0xFFFF after
 * it; 0xFFFFFFFF for a pair not matched). Option 0x10 untransferred-data
 * mode (RVZ). */
int ZRKLVMultiSuspendVZ(const char *LogicalVol, const CONC_SUS_PAIR_LV *Pairs, int Count,
                        uint32_t OptionFlag, uint32_t *Result, unsigned char *SenseData);

/* KZP, QuickKZP, SnapKZP and SnapKZP+ (the copy interval is not used).
 * Options: KZP stop 0x2 force (remote pairs), 0x4, 0x80000, 0x1000000
 * virtual-volume session; QuickKZP start 0x2000 restart, 0x2000000
 * virtual-volume delete mode; QuickKZP stop 0x4 and exactly one of 0x2 force
 * and 0x4000 stop tracking only; SnapKZP and SnapKZP+ start 0x8000 copy
 * monitor session (SnapKZP+ also 0x2000000); their stops 0x4, 0x8000 (a
 * monitor session), SnapKZP+ 0x2 force (not with 0x8000). QuickKZP, SnapKZP
 * and SnapKZP+ work inside one array only (17 for a remote pair). */
int ZRKLVStartKZP(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                  uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                  uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                  uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                  uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVStopKZP(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                 uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                 uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                 uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                 uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVStartQuickKZP(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                       uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                       uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                       uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                       uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVStopQuickKZP(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                      uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                      uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                      uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                      uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVStartSnapKZP(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                      uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                      uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                      uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                      uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVStopSnapKZP(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                     uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                     uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                     uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                     uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVStartSnapKZP_p(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                        uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                        uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                        uint32_t DstOlu, uint32_t DstExtent_high, uint32_t DstExtent_low,
                        uint32_t CopyInterval, uint32_t OptionFlag, unsigned char *SenseData);
int ZRKLVStopSnapKZP_p(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                       uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                       uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                       uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                       uint32_t OptionFlag, unsigned char *SenseData);
/* Status, copied blocks and elapsed time of the pair's KZP-family session
 * (option 0x4). */
int ZRKLVQueryKZP(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                  uint32_t SrcExtent_high, uint32_t SrcExtent_low, uint32_t SrcSize_high,
                  uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOlu,
                  uint32_t DstExtent_high, uint32_t DstExtent_low, uint32_t CopyInterval,
                  uint32_t OptionFlag, uint32_t *Status, uint32_t *CopiedBlock_high,
                  uint32_t *CopiedBlock_low, uint32_t *LapseTime, unsigned char *SenseData);
/* The session's TVC_DETAIL_INFO into Detail (256 bytes) as for the VZ
 * family: ZRKLVQueryKZPDetail by pair (OptionFlag 0 or 0x80000),
 * ZRKLVQueryKZPSession by identifier (OptionFlag 0). */
int ZRKLVQueryKZPDetail(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                        uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                        uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                        uint32_t DstOlu, uint32_t DstExtent_high, uint32_t DstExtent_low,
                        uint32_t CopyInterval, uint32_t OptionFlag, unsigned char *Detail,
                        unsigned char *SenseData);
int ZRKLVQueryKZPSession(const char *LogicalVol, uint32_t SessionID, uint32_t OptionFlag,
                         unsigned char *Detail, unsigned char *SenseData);

/* ---- concurrent KZP start ------------------------------------------------------ */

/* Option word of a CONC_SES_INFO entry: a refusal of the concurrent start
 * for a cascade condition (ZRKerrno 88, 90 or 91) counts as success. */
#define ZRK_OPT_ACCEPT_CASCADE 0x40000u

/* Starts the KZP-family copies of Count entries out of one array at one
 * instant or, with ZRK_OPT_RESTART in the first entry's option word,
 * restarts Count QuickKZP sessions at one instant. The first entry's option
 * word decides for the whole call. A new session whose preparation fails has
 * the first 112 bytes of its entry cleared; a failed start leaves no
 * prepared session behind. */
int ZRKStartConcKZP(const char *LogicalVol, CONC_SES_INFO *SesInfo, uint32_t SessionCnt,
                    unsigned char *SenseData);
/* The checks of the entries of a concurrent start, shared with the
 * out-of-band start: 0, or -1 with ZRKerrno. */
int CheckParamStartConc(const CONC_SES_INFO *SesInfo, uint32_t SessionCnt);
/* The SnapKZP+ generations of a source area: bytes 0-1 of SnapDetailList the
 * count N (big-endian), from byte 16 one 256-byte slot per generation, oldest
 * first, each a TVC_DETAIL_INFO and zeros. The area must hold 16 + 256 x the
 * array's maximum generation count. OptionFlag must be 0. */
int ZRKLVGeneraListSnapKZP_p(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                             uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                             uint32_t SrcSize_high, uint32_t SrcSize_low, uint32_t OptionFlag,
                             unsigned char *SnapDetailList, unsigned char *SenseData);
/* The generation of one SnapKZP+ session (option 0x4): a 16-byte area whose
 * bytes 0-1 receive the generation count, 2-3 the session's generation (1 the
 * oldest) and 4-5 its identifier, big-endian. */
int ZRKLVGeneraInfoSnapKZP_p(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                             uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                             uint32_t SrcSize_high, uint32_t SrcSize_low,
                             const char *DstBoxID, uint32_t DstOlu, uint32_t DstExtent_high,
                             uint32_t DstExtent_low, uint32_t CopyInterval,
                             uint32_t OptionFlag, unsigned char *ucpSnapDetailInfo,
                             unsigned char *SenseData);
/* The array's snap data pool: PoolInfo receives 64 bytes, big-endian, in the
 * array's layout. OptionFlag must be 0. */
int ZRKLVPoolInfoSnapKZP_p(const char *LogicalVol, uint32_t OptionFlag, unsigned char *PoolInfo,
                           unsigned char *SenseData);
/* The pool use of an Active SnapKZP+ session (option 0x4): PoolSizeInfo
 * receives 64 bytes, big-endian, in the array's layout; 21 for a session of
 * another kind, 39 for one that is not Active. */
int ZRKLVGetPoolExtSize(const char *LogicalVol, const char *SrcBoxID, uint32_t SrcOlu,
                        uint32_t SrcExtent_high, uint32_t SrcExtent_low,
                        uint32_t SrcSize_high, uint32_t SrcSize_low, const char *DstBoxID,
                        uint32_t DstOlu, uint32_t DstExtent_high, uint32_t DstExtent_low,
                        uint32_t CopyInterval, uint32_t OptionFlag,
                        unsigned char *PoolSizeInfo, unsigned char *SenseData);

/* ------------------------------------------------------------------------ */
/* LAN interface management service                                         */
/* ------------------------------------------------------------------------ */

/* Log in to the array at ipAddress ("a.b.c.d", "a.b.c.d:port", "[v6]:port")
 * through the LAN interface management service on 127.0.0.1. Root only.
 * Returns 0 when the service accepts the account, -1 with ZRKerrno (34 not
 * root, 1903 service unreachable, 1904 login refused, 1905 no reply).
 * OptionFlag and SenseData are not used. */
int ZRKIPLogIn(const char *ipAddress, const char *user, const char *password,
               int OptionFlag, unsigned char *SenseData);
/* Log out of the array at ipAddress; OptionFlag bit 0x2 forces the close.
 * Root only. 0 or -1 with ZRKerrno. */
int ZRKIPLogOut(const char *ipAddress, const char *user, int OptionFlag,
                unsigned char *SenseData);
/* Have the service scramble (type 1) or unscramble (other types) a text.
 * *result receives a text that the caller frees, NULL on failure. */
int ZRKIPProc(int type, const char *text, char **result, unsigned char *SenseData);
/* Run one array command (at most 5120 characters). *reply receives the
 * array's reply text, which the caller frees; NULL on failure. */
int IPExecVastrelCLI(const char *ipAddress, const char *user, int OptionFlag,
                     const char *command, char **reply);

/* ------------------------------------------------------------------------ */
/* Out-of-band: volume and device information                               */
/* ------------------------------------------------------------------------ */

/* The array at ip described from its copy functions: its BoxID (40 bytes),
 * and the VOL_INFO area (session maxima, copy-support groups, RVZ buffer
 * count, maximum generation count); Olu, extents and sizes receive 0.
 * ExtentCnt must be 0 (3). OptionFlag selects what is asked and filled:
 * 0 everything, else any of 0x1 maxima and support groups, 0x2 BoxID,
 * 0x4 RVZ buffer count (37 for other bits). Root only (34). Every output
 * must be given (13, before the array is asked). Returns 1 on success, -1
 * with ZRKerrno on failure; SenseData (256 bytes, may be null) is zeroed. */
int ZRKIPGetVolumeInfo(const char *ip, const char *user, int ExtentCnt, uint32_t OptionFlag,
                       char *BoxID, uint32_t *Olu, uint32_t *Extent_high,
                       uint32_t *Extent_low, uint32_t *Size_high, uint32_t *Size_low,
                       VOL_INFO *VolInfo, unsigned char *SenseData);
/* The model of the array at ip ("show model-info"): 32 bytes in host order
 * into DeviceInfo. InfoType must be 0 and DeviceInfo given (13, before the
 * array is asked). Root only (34). 0 or -1 with ZRKerrno. */
int ZRKIPGetDeviceInfo(const char *ip, const char *user, int InfoType,
                       unsigned char *DeviceInfo, unsigned char *SenseData);

/* ------------------------------------------------------------------------ */
/* Out-of-band: copy sessions                                               */
/* ------------------------------------------------------------------------ */

/* The copy functions share one argument list: the array's address and a
 * user text (passed to the LAN service unchanged, NULL from the command
 * layer), the source BoxID (40 bytes), OLU, start block and size (64-bit
 * values as high and low words), the destination BoxID, OLU and start block,
 * the copy interval (carried, never checked), the option word and a 256-byte
 * sense area (may be NULL; always receives zeros: the LAN road stores no
 * sense data). Root only (34); option bits outside the function's mask are
 * refused with 37 before anything is sent. 0, or -1 with ZRKerrno. Option
 * bit 0x4 names the session by its identifier, carried in SrcOLU (55 above
 * 0xFFFF), for the functions that take it. */
#define ZRKIP_COPY_ARGS                                                                    \
    const char *ip, const char *user, const char *SrcBoxID, uint32_t SrcOLU,              \
        uint32_t SrcExtAddr_high, uint32_t SrcExtAddr_low, uint32_t SrcSize_high,          \
        uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOLU,                       \
        uint32_t DstExtAddr_high, uint32_t DstExtAddr_low, int CopyInterval,               \
        uint32_t OptionFlag, unsigned char *SenseData

/* Starts a VZ mirror (same BoxIDs) or an RVZ mirror (BoxIDs differ); the new
 * session's identifier is left in ZRKsessionid. Options: 0x20000 secondary
 * access; RVZ only: 0x20 sync, 0x40 skip, 0x100 split, 0x200 recovery,
 * 0x400 stack, 0x800 consistency transfer. */
int ZRKIPStartVZ(ZRKIP_COPY_ARGS);
/* Starts a KZP session inside the array (no options). */
int ZRKIPStartKZP(ZRKIP_COPY_ARGS);
/* Starts a QuickKZP session; 0x2000 restarts the existing one of the pair,
 * 0x2000000 virtual-volume session delete mode. */
int ZRKIPStartQuickKZP(ZRKIP_COPY_ARGS);
/* Starts a SnapKZP+ session; 0x8000 a copy monitor (no destination: BoxID
 * of forty 0xFF bytes, DstOLU 0xFFFFFFFF), 0x2000000 delete mode. */
int ZRKIPStartSnapKZP_p(ZRKIP_COPY_ARGS);
/* Changes a suspended VZ or RVZ session: 0x1000 reverse; RVZ only: 0x20
 * sync (with 0x100 split), 0x400 stack, 0x800 consistency, 0x200 recovery. */
int ZRKIPChangeVZ(ZRKIP_COPY_ARGS);
/* Resumes a suspended VZ or RVZ session; 0x80 remain mode (RVZ). */
int ZRKIPResumeVZ(ZRKIP_COPY_ARGS);
/* Suspends a VZ or RVZ session; RVZ only: 0x2 forced, 0x100000 with the
 * stack timer ZRKRVZ_stacktimer (a refusal 0x15310 is reported as 0x20002). */
int ZRKIPSuspendVZ(ZRKIP_COPY_ARGS);
/* Stops a VZ or RVZ session; 0x2 forced. */
int ZRKIPStopVZ(ZRKIP_COPY_ARGS);
/* Stops a KZP session; 0x1000000 a session of virtual volumes. */
int ZRKIPStopKZP(ZRKIP_COPY_ARGS);
/* Stops a QuickKZP session: exactly one of 0x2 (whole session) and 0x4000
 * (only its tracking). */
int ZRKIPStopQuickKZP(ZRKIP_COPY_ARGS);
/* Stops a SnapKZP session; 0x8000 a copy monitor. */
int ZRKIPStopSnapKZP(ZRKIP_COPY_ARGS);
/* Stops a SnapKZP+ session; 0x8000 a copy monitor, 0x2 forced. */
int ZRKIPStopSnapKZP_p(ZRKIP_COPY_ARGS);

/* Initialises the snap data volume Olu (below 0x10000, else 48). A refusal
 * is diagnosed: 48 no such volume, 68 not a snap data volume, 39 being
 * initialised, else the array's error. Root only. 0 or -1 with ZRKerrno. */
int ZRKIPSnapDataVolInit(const char *ip, const char *user, uint32_t Olu,
                         unsigned char *SenseData);

/* ---- out-of-band: SnapKZP+ generations and the snap data pool -------------------- */

/* The SnapKZP+ generations of one source extent of the array (SrcBoxID its
 * own; a size of 0 with a start 0 the whole volume) into SnapDetailList:
 * bytes 0-1 the generation count, then from byte 16 one 256-byte session
 * detail per generation. The area holds 16 + 256 x the array's maximum
 * generation count bytes; more sessions than that are refused (902). No
 * option bits. 21 when the extent has no generation. Root only. */
int ZRKIPGeneraListSnapKZP_p(const char *ip, const char *user, const char *SrcBoxID,
                             uint32_t SrcOLU, uint32_t SrcExtAddr_high, uint32_t SrcExtAddr_low,
                             uint32_t SrcSize_high, uint32_t SrcSize_low, uint32_t OptionFlag,
                             unsigned char *SnapDetailList, unsigned char *SenseData);
/* The pool sizes of an Active SnapKZP+ session inside the array (the pair,
 * or with 0x4 the session identifier in SrcOLU) into the 64-byte
 * PoolSizeInfo: bytes 8-15 the snap data pool's free capacity, 16-23 the
 * capacity its restore takes, 24-31 and 32-39 two further values, the rest
 * 0 (big-endian). 21 not a SnapKZP+ session, 39 not Active, 17 a pair
 * between two arrays or an array without the query. Root only. */
int ZRKIPGetPoolExtSize(const char *ip, const char *user, const char *SrcBoxID, uint32_t SrcOLU,
                        uint32_t SrcExtAddr_high, uint32_t SrcExtAddr_low, uint32_t SrcSize_high,
                        uint32_t SrcSize_low, const char *DstBoxID, uint32_t DstOLU,
                        uint32_t DstExtAddr_high, uint32_t DstExtAddr_low, int CopyInterval,
                        uint32_t OptionFlag, unsigned char *PoolSizeInfo,
                        unsigned char *SenseData);
/* The array's snap data pool into bytes 0-47 of the 64-byte PoolInfo: total,
 * host use, copy use and the same three of its encryption part (big-endian);
 * bytes 48-63 are not written. No option bits. Root only. */
int ZRKIPPoolInfoSnapKZP_p(const char *ip, const char *user, uint32_t OptionFlag,
                           unsigned char *PoolInfo, unsigned char *SenseData);

/* ------------------------------------------------------------------------ */
/* Out-of-band: the session detail list                                     */
/* ------------------------------------------------------------------------ */

/* Every copy session of the array at ip as DETAIL_LIST_INFO entries, the
 * entries of the in-band detail list: OptionFlag 0 all sessions, 0x80000
 * all sessions in the extended session-list mode (when the model offers
 * it), 0x800000 the sessions of the failover pairs, 0x1000000 the sessions
 * of virtual volumes (one of the three at most; else 37). List holds the
 * array's maximum session count of entries; an answer of more sessions is
 * refused (902) before an entry is written. *ListCnt receives the number
 * of entries. Root only (34); ListCnt and List must be given (13). 0 or -1
 * with ZRKerrno; SenseData (256 bytes, may be null) is zeroed. */
int ZRKIPGetDetailList(const char *ip, const char *user, uint32_t OptionFlag, int *ListCnt,
                       DETAIL_LIST_INFO *List, unsigned char *SenseData);

/* ---- out-of-band: concurrent start, concurrent suspend, VZ status list ---- */

/* Starts the KZP-family copies of SessionCnt entries on one array at one
 * instant or, with ZRK_OPT_RESTART in the first entry's option word,
 * restarts SessionCnt QuickKZP sessions at one instant (39 for one that
 * cannot restart, 21 for an entry without one). The first entry's option
 * word decides for the whole call; with ZRK_OPT_ACCEPT_CASCADE a cascade
 * refusal (0x15391, 0x25392, 0x15393) returns 0 with ZRKerrno left set. A
 * failed start stops with force the sessions that the array reports as left
 * behind. 17 without the function, 84 for more entries than the array's
 * maximum session count. Root only. 0 or -1 with ZRKerrno. */
int ZRKIPStartConcKZP(const char *ip, const char *user, CONC_SES_INFO *SesInfo, int SessionCnt,
                      unsigned char *SenseData);
/* Suspends the sessions of SessionCnt pairs (at least 1, at most the
 * array's concurrent-suspend count and 845: 84), all on the box pair of the
 * first (911, 912, 913), with one command; every session must exist (21)
 * and not be suspended (39). Result receives one 4-byte slot per pair: the
 * session identifier's low 16 bits big-endian, then 0. Option 0x10
 * untransferred-data mode (RVZ). Root only. 0 or -1 with ZRKerrno. */
int ZRKIPMultiSuspendVZ(const char *ip, const char *user, const CONC_SUS_PAIR_LV *Pairs,
                        int SessionCnt, uint32_t OptionFlag, uint32_t *Result,
                        unsigned char *SenseData);
/* VZ_STATUS_LIST of the array's VZ and RVZ sessions: 8-byte header (entry
 * count in bytes 2-3), 8-byte entries; 8 x (count + 1) bytes are written.
 * The area must hold the header and 65535 entries; an array that lists
 * more is refused (902). OptionFlag must be 0. Root only. 0 or -1 with
 * ZRKerrno. */
int ZRKIPStatusListVZ(const char *ip, const char *user, uint32_t OptionFlag, unsigned char *List,
                      unsigned char *SenseData);

/* ---- RVZ buffers over the LAN ---------------------------------------------- */

/* Everything the array reports about its RVZ buffers (the list, each
 * buffer's usage per controller module, the disk buffers when the array
 * announces them) in the in-band record. OptionFlag must be 0. Root only.
 * 0 or -1 (17 when the array has no RVZ buffers); Info is written only on
 * success. */
int ZRKIPGetRVZBuffInfo(const char *ip, const char *user, uint32_t OptionFlag,
                        RVZ_BUFF_INFO *RvzBuffInfo, unsigned char *SenseData);
/* Sets one of the array's listed RVZ buffers: type 1 send or 2 receive,
 * forwarding interval, monitoring time and the remote array, which must be
 * at the other end of one of the array's RVZ paths. Root only. 0 or -1: 13
 * a buffer not listed, another type or a BoxID the command cannot carry,
 * 57 no RVZ path to that BoxID, 17 no RVZ buffers. */
int ZRKIPRVZBuffSet(const char *ip, const char *user, const RVZ_BUFF_SET_REQ *RvzBuffSetReq,
                    unsigned char *SenseData);

/* ---- out-of-band: OLU status and copy protection -------------------------- */
/* The twins of ZRKGetOLUStatus, ZRKGetOLUStatusList and ZRKSetOLUStatus over
 * the LAN, with the same big-endian records. No option word; OLUs below
 * 0x10000 (else 48). What the array offers is taken from the copy functions
 * that the last refreshing ZRKIP call of the process read. Root only. 0 or
 * -1 with ZRKerrno; the sense area stays all zero. */
/* OLU_STATUS of Olu (56 bytes); 48 when the array has no such volume. */
int ZRKIPGetOLUStatus(const char *ip, const char *user, uint32_t Olu, unsigned char *OluStatus,
                      unsigned char *SenseData);
/* OLU_STATUS_LIST of the volumes StartOlu..EndOlu in the array's order; List
 * holds ZRK_OLU_STATUS_LIST_LEN(StartOlu, EndOlu) bytes. */
int ZRKIPGetOLUStatusList(const char *ip, const char *user, uint32_t StartOlu, uint32_t EndOlu,
                          unsigned char *OluStatusList, unsigned char *SenseData);
/* Copy protection of Olu: ucpStatusInfo[0] 1 on, 0 off; ucpStatusInfo[1] 0
 * (else 13). 17 when the array does not offer it; a tier volume is set
 * through the tier-volume command; 71 protection asked for a snap data
 * volume (removing it from one succeeds); 0x2BF0E the array refused. */
int ZRKIPSetOLUStatus(const char *ip, const char *user, uint32_t Olu,
                      const unsigned char *ucpStatusInfo, unsigned char *SenseData);

/* ---- out-of-band: remote arrays and the account check ---------------------- */

/* REMOTE_BOXID_LIST of the array at ip, 3120 bytes, in the layout of the
 * in-band list: own BoxID, the count at byte 40, 48-byte entries from byte
 * 48, one per RVZ path row; the count never exceeds the 64 entries the
 * area holds. No option bits (37); 17 without RVZ. Root only. Written only
 * on success. 0 or -1 with ZRKerrno. */
int ZRKIPGetRemoteBoxIDList(const char *ip, const char *user, uint32_t OptionFlag,
                            unsigned char *RemoteBoxIDList, unsigned char *SenseData);
/* Whether the array account user with Password may be used for the LAN
 * login: it must authenticate (920 refused) and be an enabled account of
 * the role "Software" (921); 922 when the array's answer cannot be read; 13
 * for an empty name or password, or one with a blank, a double quote or a
 * control character. No option bits (37). Any caller. 0 or -1 with
 * ZRKerrno. */
int ZRKIPCheckUsers(const char *ip, const char *user, const char *Password,
                    uint32_t OptionFlag, unsigned char *SenseData);

#pragma GCC visibility pop
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
