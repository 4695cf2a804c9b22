/*
 * zrkengine.h - internal interface of the in-band engine's lowest layer: the
 * SCSI transport and its process-wide state, the byte-order helpers, the
 * sense and status mapping, and the device-path and extent functions.
 *
 * Return convention of the transport and the device functions: 0 done, -1
 * failed with ZRKerrno set; a local system failure also records a pseudo
 * sense (class in byte 0, the system error number big-endian in bytes 4-7 of
 * SENSE_DATA) unless a failure is already recorded for the current API call.
 */
#ifndef ZRK_ENGINE_H
#define ZRK_ENGINE_H

#include "zrkapi.h"
#include "zrkerrno.h"
#include "zrksupport.h"
#include "zrklog.h"
#include "platform.h"

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

/* Sizes of the transport's buffers. */
#define ZRK_SENSE_STORE_LEN   256  /* SENSE_DATA */
#define ZRK_SG_SENSE_LEN      72   /* the transport's sense buffer */
#define ZRK_SG_TIMEOUT_MS     20000
#define ZRK_DEVNAME_LEN       4096 /* device names and link targets */
#define ZRK_STORAGE_VOL_LEN   1024 /* ZRKstorage_clustervol */

/* Classes of the pseudo sense of a local failure (byte 0 of SENSE_DATA). */
enum {
    ZRK_ERRCLASS_ACCESS       = 2,  /* access check of a volume path */
    ZRK_ERRCLASS_OPEN         = 3,  /* opening a device node or system file */
    ZRK_ERRCLASS_IOCTL        = 4,  /* an ioctl on the device */
    ZRK_ERRCLASS_PATH         = 5,  /* a device path cannot be taken apart */
    ZRK_ERRCLASS_DEVNUM       = 12, /* device number of a volume-manager volume */
    ZRK_ERRCLASS_BLOCKSIZE    = 13, /* partition geometry gives size 0 */
    ZRK_ERRCLASS_NOT_LISTED   = 14, /* volume manager does not list the volume */
    ZRK_ERRCLASS_READLINK     = 18, /* reading a device link */
    ZRK_ERRCLASS_WHOLE_NAME   = 21, /* whole-disk node of a partition not found */
    ZRK_ERRCLASS_WHOLE_OPEN   = 22, /* whole-disk node cannot be opened */
    ZRK_ERRCLASS_WHOLE_IOCTL  = 23  /* ioctl on the whole-disk node */
};

/* The SCSI statuses as the SG_IO header's masked_status gives them. */
enum {
    ZRK_MSTATUS_GOOD                 = 0x00,
    ZRK_MSTATUS_CHECK_CONDITION      = 0x01,
    ZRK_MSTATUS_CONDITION_MET        = 0x02,
    ZRK_MSTATUS_BUSY                 = 0x04,
    ZRK_MSTATUS_RESERVATION_CONFLICT = 0x0C,
    ZRK_MSTATUS_QUEUE_FULL           = 0x14
};

/* Failover roles in ZRKstorage_cluster, as the array reports them. */
#define ZRK_ROLE_NONE      0
#define ZRK_ROLE_PRIMARY   1
#define ZRK_ROLE_SECONDARY 2

/* Data direction argument of DoScsi_sg and DoScsi_sd. */
#define ZRK_DIR_TO_DEVICE   0
#define ZRK_DIR_FROM_DEVICE 1

/* An SG_IO request header in a wider layout: every scalar field in 4 bytes,
 * every pointer in 8, and 8 reserved bytes at the end; Sg_Io_HDR_Convert
 * copies field by field between it and the platform's struct sg_io_hdr. */
typedef struct ZrkSgIoHdrWide {
    int32_t  iInterfaceId;     /* 'S' */
    int32_t  iDxferDirection;  /* SG_DXFER_... */
    uint32_t uiCmdLen;         /* CDB length */
    uint32_t uiMxSbLen;        /* room of the sense buffer */
    uint32_t uiIovecCount;     /* 0: dxferp is a plain buffer */
    uint32_t uiDxferLen;       /* data length */
    uint64_t ullDxferp;        /* data buffer */
    uint64_t ullCmdp;          /* CDB */
    uint64_t ullSbp;           /* sense buffer */
    uint32_t uiTimeout;        /* milliseconds */
    uint32_t uiFlags;          /* SG_FLAG_... */
    int32_t  iPackId;          /* caller's tag */
    uint32_t uiPad1;           /* alignment */
    uint64_t ullUsrPtr;        /* caller's pointer */
    uint32_t uiStatus;         /* SCSI status */
    uint32_t uiMaskedStatus;   /* status shifted right by one */
    uint32_t uiMsgStatus;      /* messaging level */
    uint32_t uiSbLenWr;        /* sense bytes written */
    uint32_t uiHostStatus;     /* host adapter status */
    uint32_t uiDriverStatus;   /* driver status */
    int32_t  iResid;           /* residual count */
    uint32_t uiDuration;       /* milliseconds taken */
    uint32_t uiInfo;           /* SG_INFO_... */
    uint32_t uiPad2;           /* alignment */
    uint64_t ullReserved;      /* reserved */
} ZrkSgIoHdrWide;

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* ---- process-wide state of the transport -------------------------------- */

extern unsigned char SENSE_DATA[ZRK_SENSE_STORE_LEN]; /* sense or pseudo sense */
extern int ZRKbvm;                    /* every command through the pass-through */
extern unsigned char ZRKstorage_cluster;      /* failover role: ZRK_ROLE_ */
extern unsigned char ZRKstorage_clustergroup; /* failover group */
extern char ZRKstorage_clustervol[ZRK_STORAGE_VOL_LEN]; /* volume of the role */

/* ---- transport ---------------------------------------------------------- */

/* Sends one command; the data direction follows from the opcode (TRAVO OUT
 * 0xE9 and 0xEC carry data to the device). The request flag is only logged. */
int DoScsi(const char *volume, int requestFlag, unsigned char *cdb,
           unsigned char cdbLength, void *data, int dataLength);
/* The SG_IO transport; direction ZRK_DIR_TO_DEVICE or ZRK_DIR_FROM_DEVICE. */
int DoScsi_sg(const char *volume, int direction, unsigned char *cdb,
              unsigned char cdbLength, void *data, int dataLength);
/* The older SCSI_IOCTL_SEND_COMMAND transport (nothing calls it). */
int DoScsi_sd(const char *volume, int direction, unsigned char *cdb,
              unsigned char cdbLength, void *data, int dataLength);
/* Records a pseudo sense unless a failure is already recorded. */
void SetErrClassCode(int errorClass, int osErrno);
/* Closes the descriptor kept open for the current API call, if any. */
void CloseSharedDevice(void);

/* ---- byte order (the public ShiftBtoI and ShiftAnytoB are in zrkapi.h) --- */

void SetItoB(unsigned char *buffer, int value, int n);
unsigned int CutoutEachByte(const unsigned char *bytes, int i);

/* ---- device paths and extents ------------------------------------------- */

int IsBrindlex(const char *path);
int IsDmDevice(const char *path);
/* Whole-disk node of a partition into out (room for ZRK_DEVNAME_LEN + 1). */
int GetVolumeName(const char *volume, char *out);
int GetDeviceNumber(const char *volume, dev_t *device);
int GetExtentInfo(const char *volume, uint32_t *start, uint32_t *size);
int GetExtentInfoForLV(const char *volume, uint32_t *startHigh, uint32_t *startLow,
                       uint32_t *sizeHigh, uint32_t *sizeLow);
int GetVtocInfo(const char *volume, uint32_t *start, uint32_t *size);
int GetBvmVolumeInfo(const char *volume, uint32_t *startHigh, uint32_t *startLow,
                     uint32_t *sizeHigh, uint32_t *sizeLow);
int GetDmVolumeInfo(const char *volume, uint32_t *startHigh, uint32_t *startLow,
                    uint32_t *sizeHigh, uint32_t *sizeLow);
int GetVtocInfoForLV(const char *volume, uint32_t *startHigh, uint32_t *startLow,
                     uint32_t *sizeHigh, uint32_t *sizeLow);
int GetEnvNumFlag(const char *name);
int Arch_kind(void);
/* direction 1: struct sg_io_hdr to ZrkSgIoHdrWide; 2: back. 0, or -1 for any
 * other direction or a null header. */
int Sg_Io_HDR_Convert(int direction, const void *in, void *out);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(ZrkSgIoHdrWide) == 120, "wide SG_IO header layout");

namespace zrk {

/* The in-band engine speaks the platform's vocabulary unqualified: LogText,
 * LogIn/LogOk/LogErr, FailWith, TraceText. */
using namespace zrkplatform;

/* Forgets the failover role: role, group and held volume cleared. */
void ClearFailoverRole();

/* One fixed-format sense, normalised: the bytes the mapping reads. */
struct SenseRecord {
    uint8_t ucKey;  /* sense key: low 4 bits of byte 2 */
    uint8_t ucAsc;  /* additional sense code: byte 12 */
    uint8_t ucAscq; /* its qualifier: byte 13 */
};

/* Reads the record from sense bytes; a byte past the length reads as 0. */
SenseRecord NormaliseSense(const unsigned char *sense, size_t length);
/* key << 16 | ASC << 8 | ASCQ, the form the error catalogue keys on. */
uint32_t SenseCode(const SenseRecord &record);

/* The full table serves DoScsi_sg, the short one DoScsi_sd. */
enum class SenseTable { Full, Short };

/* The verdict on a command that reported a check. */
struct ScsiVerdict {
    int      iErrno;         /* value for ZRKerrno */
    bool     bDone;          /* the command counts as done (already status) */
    bool     bAskCatalogue;  /* unmapped sense: the catalogue may rename it */
    uint32_t uiSenseCode;    /* SenseCode of the sense, 0 for a status */
    char     caMessage[160]; /* the text the transport logs */
};

/* Maps a check: masked status CHECK CONDITION by the sense, any other status
 * by the status table. Pure: no state is read or written. */
ScsiVerdict MapScsiResult(int maskedStatus, const unsigned char *sense,
                          size_t senseLength, SenseTable table = SenseTable::Full);

/* A descriptor of the host layer, closed when it goes out of scope. */
class HostFd {
public:
    explicit HostFd(int fd = -1) : iFd(fd) {}
    ~HostFd() { Close(); }
    HostFd(const HostFd &) = delete;
    HostFd &operator=(const HostFd &) = delete;
    int Get() const { return iFd; }
    explicit operator bool() const { return iFd >= 0; }
    /* Closes the descriptor now (errno kept); the destructor then does nothing. */
    void Close();
private:
    int iFd; /* open descriptor, or -1 */
};

} // namespace zrk
#endif

#endif /* ZRK_ENGINE_H */
