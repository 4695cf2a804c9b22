/*
 * zrksupport.h - the array's copy-support record, by name, as both roads test
 * it. In-band it is SUPPORT_DATA (bytes 8-39 of TRAVO IN page 0x00);
 * out-of-band "show copy-function" is parsed into the same 32 bytes. Four
 * 8-byte groups, one per copy group: bytes 0-7 KZP, 8-15 remote KZP, 16-23
 * VZ, 24-31 RVZ. The last byte of a group holds its general flags; the bytes
 * before it hold the functions of the group.
 *
 * Data only, apart from the two tests every caller needs.
 */
#ifndef ZRK_ZRKSUPPORT_H
#define ZRK_ZRKSUPPORT_H

#include <stddef.h>

#define ZRK_SUPPORT_DATA_LEN 32 /* the record */

/* ---- bytes --------------------------------------------------------------- */
enum {
    ZRK_SUPPORT_KZP_KINDS        = 4,  /* the KZP kinds and pages (ZRK_SUPPORT_QUICK ...) */
    ZRK_SUPPORT_KZP_CLUSTER      = 6,  /* ZRK_SUPPORT_CLUSTER of the KZP group */
    ZRK_SUPPORT_FLAGS_KZP        = 7,  /* group flags: KZP */
    ZRK_SUPPORT_REMOTE_KZP_KINDS = 12, /* the remote KZP kinds */
    ZRK_SUPPORT_FLAGS_REMOTE_KZP = 15, /* group flags: remote KZP */
    ZRK_SUPPORT_VZ_KINDS         = 20, /* ZRK_SUPPORT_VVOL of the VZ group */
    ZRK_SUPPORT_VZ_FUNCS         = 21, /* VZ functions (ZRK_SUPPORT_SUSPEND ...) */
    ZRK_SUPPORT_VZ_CLUSTER       = 22, /* ZRK_SUPPORT_CLUSTER of the VZ group */
    ZRK_SUPPORT_FLAGS_VZ         = 23, /* group flags: VZ */
    ZRK_SUPPORT_RVZ_KINDS        = 28, /* ZRK_SUPPORT_VVOL of the RVZ group */
    ZRK_SUPPORT_RVZ_FUNCS        = 29, /* RVZ functions (ZRK_SUPPORT_SUSPEND ...) */
    ZRK_SUPPORT_RVZ_EXTRA        = 30, /* RVZ timer and storage-cluster bits */
    ZRK_SUPPORT_FLAGS_RVZ        = 31, /* group flags: RVZ */
};

/* ---- bits of a group's flag byte (7, 15, 23, 31) ----------------------------- */
enum {
    ZRK_SUPPORT_KIND        = 0x01, /* the group's copy kind is set up */
    ZRK_SUPPORT_TVC         = 0x10, /* the page-based engine serves it */
    ZRK_SUPPORT_LARGE_IN    = 0x20, /* the large TRAVO IN form */
    ZRK_SUPPORT_LARGE_OUT   = 0x40, /* the large TRAVO OUT form */
    ZRK_SUPPORT_DETAIL_LIST = 0x80, /* the array keeps a detail list */
};

/* ---- bits of the kinds bytes (4, 12, 20, 28) ---------------------------------- */
enum {
    ZRK_SUPPORT_QUICK  = 0x01, /* byte 4: QuickKZP */
    ZRK_SUPPORT_VVOL   = 0x02, /* bytes 4, 20, 28: sessions of virtual volumes */
    ZRK_SUPPORT_SNAP   = 0x04, /* byte 4: SnapKZP; in-band also the OLU status page 0x31
                                  and the session detail page 0x44 */
    ZRK_SUPPORT_SNAP_P = 0x08, /* bytes 4, 12: SnapKZP+ */
    ZRK_SUPPORT_POOL_SIZE = 0x10, /* bytes 4, 12: the pool size of a SnapKZP+ session
                                     (in-band page 0x46) */
    ZRK_SUPPORT_OLU_STATUS = 0x20, /* bytes 4, 12, 20, 28: the OLU status list and the
                                      copy protection of an OLU (in-band page 0x33) */
    ZRK_SUPPORT_COPY_PRIORITY = 0x40, /* bytes 4, 12, 20, 28: copy priority settings */
    ZRK_SUPPORT_CONC_KZP = 0x80, /* byte 4: concurrent KZP start (list 0x51) */
};

/* ---- bits of the function bytes (21 VZ, 29 RVZ) and of byte 30 ---------------- */
enum {
    ZRK_SUPPORT_SUSPEND      = 0x01, /* suspend and resume (QM family, 29: split and
                                        recovery options may be chosen) */
    ZRK_SUPPORT_SECONDARY    = 0x02, /* secondary access */
    ZRK_SUPPORT_MODE_CHANGE  = 0x04, /* 29: mode change */
    ZRK_SUPPORT_REVERSE      = 0x08, /* change by reversal */
    ZRK_SUPPORT_STACK        = 0x10, /* 29: stack mode */
    ZRK_SUPPORT_CONSISTENCY  = 0x20, /* 29: consistency mode */
    ZRK_SUPPORT_CONC_SUSPEND = 0x40, /* concurrent suspend and command status list */
    ZRK_SUPPORT_RVZ_BUFFERS  = 0x80, /* 29: RVZ buffers and untransferred-data suspend */
    ZRK_SUPPORT_TARGET_STATUS = 0x08, /* 30: the VZ status list answers for a pair
                                         reached through its target's array */
    ZRK_SUPPORT_TIMER        = 0x10, /* 30: RVZ suspend with the stack timer */
    ZRK_SUPPORT_CLUSTER      = 0x20, /* 6, 22, 30: storage-cluster failover */
};

/* Bit `bit` of byte `byte` of a support record. */
static inline int zrk_support_has(const unsigned char *support, size_t byte, unsigned bit) {
    return (support[byte] & bit) != 0;
}

/* The array runs sessions of virtual volumes (in any group that has them). */
static inline int zrk_support_vvol(const unsigned char *support) {
    return zrk_support_has(support, ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_VVOL) ||
           zrk_support_has(support, ZRK_SUPPORT_VZ_KINDS, ZRK_SUPPORT_VVOL) ||
           zrk_support_has(support, ZRK_SUPPORT_RVZ_KINDS, ZRK_SUPPORT_VVOL);
}

/* The array offers the OLU status list and the copy protection of an OLU (in
 * the kinds byte of any group). */
static inline int zrk_support_olu_status(const unsigned char *support) {
    return zrk_support_has(support, ZRK_SUPPORT_KZP_KINDS, ZRK_SUPPORT_OLU_STATUS) ||
           zrk_support_has(support, ZRK_SUPPORT_REMOTE_KZP_KINDS, ZRK_SUPPORT_OLU_STATUS) ||
           zrk_support_has(support, ZRK_SUPPORT_VZ_KINDS, ZRK_SUPPORT_OLU_STATUS) ||
           zrk_support_has(support, ZRK_SUPPORT_RVZ_KINDS, ZRK_SUPPORT_OLU_STATUS);
}

#endif /* ZRK_ZRKSUPPORT_H */
