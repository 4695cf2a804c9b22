/*
 * ipshow_volumes.h - the show commands about volumes and the sessions of
 * virtual volumes (ipshow_volumes.cpp): "show volumes", "show
 * vvol-copy-session", "show snap-data-pool" and "show snap-data-volume".
 *
 * They follow the show-reply conventions of ipshow.h (hex columns, 64-bit
 * values as high and low halves, text columns zero padded). ShowVolumes and
 * ShowVvolCopySession hand out a newly allocated array that the caller
 * releases with free(); the two snap-data parsers write into the caller's
 * rows and take their room, refusing a reply that announces more rows
 * (ZRK_ERR_REPLY_INCOMPLETE) before a row is written.
 *
 * Return convention: 0, or -1 with ZRKerrno; the reply and its lines are
 * released on every way out.
 */
#ifndef ZRK_IPSHOW_VOLUMES_H
#define ZRK_IPSHOW_VOLUMES_H

#include "ipshow.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <cstdlib>
#include <memory>
#include <string>
#endif

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

#define IP_VOLUME_TYPE_SDV       4    /* CliVolume.ucVolumeType of a snap data volume */
#define IP_SDV_INITIALIZING      0x40000000u  /* CliSnapDataVolume.SdvStatus */
#define IP_SDV_BUSY_BITS         0x60000000u  /* initialising, or the further busy state */
#define IP_VVOL_EMPTY_CODE       0x920Bu      /* array code of an empty virtual-volume list */

/* ShowVvolCopySession Option bit: the sessions of the listed volumes. */
#define IP_VVOL_BY_VOLUME        0x1

/* "show volumes" selections (Option) and types (Type). */
#define IP_VOLUMES_ALL           0
#define IP_VOLUMES_ONE           1

/* One volume of "show volumes" (18 columns or more), host order. */
typedef struct CliVolume {
    uint32_t uiVolumeNo;              /* col 0: volume number */
    uint8_t  ucaSpare1[4];            /* never filled */
    uint8_t  ucaVolumeName[16];       /* col 1: name, not terminated when 16 long */
    uint32_t uiColumn2;               /* col 2 */
    uint8_t  ucVolumeType;            /* col 3: 4 snap data volume */
    uint8_t  ucColumn4;               /* col 4 */
    uint8_t  ucaPad1[2];              /* alignment, 0 */
    uint8_t  ucaSpare2[4];            /* never filled */
    uint32_t uiColumn5;               /* col 5 */
    uint8_t  ucaColumn6[16];          /* col 6: second name field */
    uint32_t uiCapacity_high;         /* col 7: capacity, high half */
    uint32_t uiCapacity_low;          /* col 7: low half */
    uint8_t  ucColumn8;               /* col 8 */
    uint8_t  ucaPad2[3];              /* alignment, 0 */
    uint32_t uiColumn9;               /* col 9 */
    uint8_t  ucaSpare3[4];            /* col 10 is not read; never filled */
    uint32_t uiColumn11;              /* col 11 */
    uint8_t  ucColumn12;              /* col 12 */
    uint8_t  ucColumn13;              /* col 13 */
    uint8_t  ucaPad3[2];              /* alignment, 0 */
    uint8_t  ucaSpare4[4];            /* never filled */
    uint32_t uiColumn14;              /* col 14 */
    uint32_t uiColumn15;              /* col 15 */
    uint8_t  ucColumn16;              /* col 16 */
    uint8_t  ucColumn17;              /* col 17 */
    uint8_t  ucTfoGroupNo;            /* col 24: failover group; 255 none or absent */
    uint8_t  ucaPad4[1];              /* alignment, 0 */
} CliVolume;

/* One session of virtual volumes of "show vvol-copy-session" (25 columns
 * or more), host order. */
typedef struct CliVvolCopySession {
    uint32_t uiSessionID;             /* col 0 */
    uint32_t uiSrcOLU;                /* col 3 */
    uint32_t uiDstOLU;                /* col 5 */
    uint8_t  ucaSpare1[4];            /* never filled */
    uint8_t  ucSessionType;           /* col 1 */
    uint8_t  ucSessionStatus;         /* col 2 */
    uint8_t  ucErrorCode;             /* col 7 */
    uint8_t  ucColumn20;              /* col 20 */
    uint8_t  ucPhase;                 /* col 23 */
    uint8_t  ucaSpare2[3];            /* never filled */
    uint8_t  ucaStartTime[8];         /* cols 8 to 13: packed date and time */
    uint32_t uiLapseTime;             /* col 14 */
    uint32_t uiCopiedBlock_high;      /* col 15 x 2048, high half */
    uint32_t uiCopiedBlock_low;       /* col 15 x 2048, low half */
    uint32_t uiSize_high;             /* col 16 x 2048, high half */
    uint32_t uiSize_low;              /* col 16 x 2048, low half */
    uint32_t uiColumn21;              /* col 21 */
    uint32_t uiColumn22;              /* col 22 */
    uint32_t uiCopyProgress;          /* col 24 */
    uint8_t  ucaSpare3[16];           /* never filled */
} CliVvolCopySession;

/* One pool row of "show snap-data-pool" (7 columns or more), host order. */
typedef struct CliSnapDataPool {
    uint32_t SdpNo;                   /* col 0 */
    uint32_t uiReserved;              /* always 0 */
    uint32_t Blk_high, Blk_low;                       /* col 1: total size */
    uint32_t BlkHostUse_high, BlkHostUse_low;         /* col 2: used by host writes */
    uint32_t BlkCopyUse_high, BlkCopyUse_low;         /* col 3: used by copies */
    uint32_t BlkEnc_high, BlkEnc_low;                 /* col 4: encryption part */
    uint32_t BlkEncHostUse_high, BlkEncHostUse_low;   /* col 5 */
    uint32_t BlkEncCopyUse_high, BlkEncCopyUse_low;   /* col 6 */
} CliSnapDataPool;

/* One snap data volume of "show snap-data-volume" (12 columns or more). */
typedef struct CliSnapDataVolume {
    uint32_t VolNo;                   /* col 0 */
    char     VolName[16];             /* col 1: not terminated when 16 long */
    uint32_t Col2;                    /* col 2 */
    uint32_t Col3_high, Col3_low;                     /* col 3 */
    uint32_t LogicalSize_high, LogicalSize_low;       /* col 4 */
    uint32_t PhysicalSize_high, PhysicalSize_low;     /* col 5 */
    uint32_t SdvUsedHost_high, SdvUsedHost_low;       /* col 6 */
    uint32_t SdvUsedCopy_high, SdvUsedCopy_low;       /* col 7 */
    uint32_t Col8;                    /* col 8 */
    uint32_t SdpUsedHost_high, SdpUsedHost_low;       /* col 9 */
    uint32_t SdpUsedCopy_high, SdpUsedCopy_low;       /* col 10 */
    uint32_t SdvStatus;               /* col 11: state word */
} CliSnapDataVolume;

/* "show volumes": Option 0 all, 1 the volume VolumeNo; Type 0 any, 1 open,
 * 2 sdv, 3 sdpv, 4 tpv (either outside its set: ZRK_ERR_SELECTION). *count
 * receives the number of rows (0 first), *result a newly allocated array
 * (NULL for none). */
int ShowVolumes(const char *cpIPaddress, const char *user, int Type, int VolumeNo, int Option,
                int *count, CliVolume **result);

/* "show vvol-copy-session": Option bit 0x1 the sessions of the volumes
 * list[0..OluCnt-1], anything else all of them. showFlags is not used. The
 * array's code 0x920B is an empty list: 0 with *count 0 and *result left as
 * it was. Otherwise *result receives a newly allocated array (none for 0). */
int ShowVvolCopySession(const char *cpIPaddress, const char *user, int OluCnt, const int *list,
                        int Option, int showFlags, int *count, CliVvolCopySession **result);

/* "show snap-data-pool": Option 0 all pools, 1 pool PoolNo (else
 * ZRK_ERR_SELECTION). *presence receives line 2, *count the row count; rows holds room rows. */
int ShowSnapDataPool(const char *cpIPaddress, const char *user, int PoolNo, int Option,
                     int *presence, int *count, CliSnapDataPool *rows, size_t room);

/* "show snap-data-volume": Option 0 all, 1 the volume VolumeNo (else
 * ZRK_ERR_SELECTION). *count receives the row count; rows holds room rows. */
int ShowSnapDataVolume(const char *cpIPaddress, const char *user, int VolumeNo, int Option,
                       int *count, CliSnapDataVolume *rows, size_t room);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(CliVolume) == 100, "CliVolume layout");
static_assert(offsetof(CliVolume, ucVolumeType) == 28, "CliVolume layout");
static_assert(offsetof(CliVolume, uiCapacity_high) == 56, "CliVolume layout");
static_assert(offsetof(CliVolume, ucTfoGroupNo) == 98, "CliVolume layout");
static_assert(sizeof(CliVvolCopySession) == 80, "CliVvolCopySession layout");
static_assert(offsetof(CliVvolCopySession, ucaStartTime) == 24, "CliVvolCopySession layout");
static_assert(offsetof(CliVvolCopySession, uiCopyProgress) == 60, "CliVvolCopySession layout");
static_assert(sizeof(CliSnapDataPool) == 56, "CliSnapDataPool layout");
static_assert(sizeof(CliSnapDataVolume) == 88, "CliSnapDataVolume layout");
static_assert(offsetof(CliSnapDataVolume, Col3_high) == 24, "CliSnapDataVolume layout");
static_assert(offsetof(CliSnapDataVolume, SdvStatus) == 84, "CliSnapDataVolume layout");

// The command texts and the reply parsing of the four queries, for a reply
// text as the link hands it over: the same path as the queries themselves.
namespace zrkip {

// Owner of an array that a query handed out (released with free()).
struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Freed = std::unique_ptr<T, FreeDeleter>;

// Command texts (no argument checks; an unknown Type adds no type words).
std::string VolumesCommand(int type, int volumeNo, int option);
std::string VvolCopySessionCommand(int option, const std::string &list);
std::string SnapDataPoolCommand(int poolNo, int option);
std::string SnapDataVolumeCommand(int volumeNo, int option);

// As the queries after the reply has come: 0 or -1 with ZRKerrno; nothing
// is handed out or written into rows on failure.
int ParseVolumesText(const char *text, int *count, CliVolume **result);
int ParseVvolCopySessionText(const char *text, int *count, CliVvolCopySession **result);
int ParseSnapDataPoolText(const char *text, int *presence, int *count, CliSnapDataPool *rows,
                          size_t room);
int ParseSnapDataVolumeText(const char *text, int *count, CliSnapDataVolume *rows, size_t room);

// "show snap-data-volume" of the one volume volumeNo, as ShowSnapDataVolume
// (and under its trace name), but the rows are counted before the room is
// looked at: a reply of more rows than room is no error, *count is then the
// number it announces and no row is written.
int CountSnapDataVolume(const char *ip, const char *user, int volumeNo, int *count,
                        CliSnapDataVolume *rows, size_t room);

}  // namespace zrkip
#endif

#endif /* ZRK_IPSHOW_VOLUMES_H */
