/*
 * ipolustatus.h - the status of an array's logical units over the LAN
 * (ipolustatus.cpp): the OLU_STATUS record of one volume, the
 * OLU_STATUS_LIST of a range of volumes, and the copy protection of one
 * volume.
 *
 * The records are built from the array's volume rows ("show volumes"), its
 * snap data volume rows ("show snap-data-volume") and its failover groups,
 * in the big-endian form the in-band twins return. What the array offers
 * (failover, copy protection) is read from the copy-function record of the
 * common data as the last refreshing out-of-band call left it; these
 * functions do not refresh it.
 *
 * Return convention: 0, or -1 with ZRKerrno set. The internal functions
 * write into the trace their public function opened.
 */
#ifndef ZRK_IPOLUSTATUS_H
#define ZRK_IPOLUSTATUS_H

#include "ipshow_volumes.h"
#include "zrkapi.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
#pragma GCC visibility push(default)

/* Flag word of OLU_STATUS (bytes 4-7, big-endian). */
#define IP_OLU_SDV           0x01000000u  /* a snap data volume */
#define IP_OLU_INITIALIZING  0x02000000u  /* a snap data volume being initialised */
#define IP_OLU_PROTECTED     0x08000000u  /* copy protection on */
#define IP_OLU_TFO           0x00800000u  /* a failover volume; byte 3 its group */
#define IP_OLU_TFO_SECONDARY 0x00400000u  /* its group is the secondary */
#define IP_OLU_TFO_STANDBY   0x00200000u  /* its group stands by */
#define IP_OLU_COLUMN16      0x00100000u  /* bit 0x40 of the volume row's column 16 */

/* The status of volume Olu into 56 bytes; the area is left alone on failure. */
int IPGetOLUStatus(const char *ip, const char *user, uint32_t Olu, unsigned char *OluStatus);

/* The statuses of the volumes StartOlu..EndOlu in the array's order into
 * OluStatusList (room for ZRK_OLU_STATUS_LIST_LEN(StartOlu, EndOlu) bytes);
 * on failure the head says 0 entries. */
int IPGetOLUStatusList(const char *ip, const char *user, uint32_t StartOlu, uint32_t EndOlu,
                       unsigned char *OluStatusList);

/* Copy protection of volume Olu from bit 0x01 of ucpStatusInfo[0]. */
int IPSetOLUStatus(const char *ip, const char *user, uint32_t Olu,
                   const unsigned char *ucpStatusInfo);

#pragma GCC visibility pop
#ifdef __cplusplus
} /* extern "C" */

namespace zrkip {

// What a volume's failover group tells its status record.
struct TfoGroupFacts {
    bool bSecondary;  // the group's role is the secondary (2)
    bool bStandby;    // the group is not active (0)
};

// One OLU_STATUS record (56 bytes at out, all of them written) from a volume
// row: sdv is the volume's snap data volume row (used only for a snap data
// volume, and then not NULL); tfo the facts of its failover group, or NULL
// when the volume is not reported as a failover volume.
void PackOluStatus(const CliVolume &volume, const CliSnapDataVolume *sdv,
                   const TfoGroupFacts *tfo, unsigned char *out);

}  // namespace zrkip
#endif

#endif /* ZRK_IPOLUSTATUS_H */
