/*
 * zrkerrno.h - the values the library gives ZRKerrno, by name, for both the
 * in-band and the out-of-band road. Data only: every file that sets ZRKerrno
 * names the value from here, and the built-in error-text table is indexed by
 * the same names.
 *
 * Codes 1 to 97 carry built-in texts (94 and 95 have none); 99 to 104 and the
 * 900 and 1900 ranges are texts of the library error catalogue. Array error
 * codes reported over the LAN arrive as ZRK_ERR_ARRAY_BASE + the array's code
 * (see ipreply.cpp); the two values the out-of-band road names among them are
 * at the end.
 */
#ifndef ZRK_ZRKERRNO_H
#define ZRK_ZRKERRNO_H

enum {
    ZRK_ERR_NONE              = 0,  /* no error */
    ZRK_ERR_UNEXPECTED        = 1,  /* "unexpected error." */
    ZRK_ERR_LOGICAL_VOL       = 2,  /* "invalid logical volume name." */
    ZRK_ERR_EXTENT_CNT        = 3,  /* "invalid extent number." */
    ZRK_ERR_SRC_BOXID         = 4,  /* "invalid source BoxID." */
    ZRK_ERR_DST_BOXID         = 5,  /* "invalid destination BoxID." */
    ZRK_ERR_SRC_OLU           = 6,  /* "invalid source OLU." */
    ZRK_ERR_DST_OLU           = 7,  /* "invalid destination OLU." */
    ZRK_ERR_EXTENT            = 8,  /* "invalid extent." */
    ZRK_ERR_SRC_EXTENT        = 9,  /* "invalid source extent." */
    ZRK_ERR_DST_EXTENT        = 10, /* "invalid destination extent." */
    ZRK_ERR_SIZE              = 11, /* "invalid source extent size." */
    ZRK_ERR_INTERVAL          = 12, /* "invalid copy interval." */
    ZRK_ERR_PARAMETER         = 13, /* "unexpected parameter error." */
    ZRK_ERR_VERSION           = 14, /* "version mismatch." */
    ZRK_ERR_HEADER_LEN        = 15, /* "invalid header length." */
    ZRK_ERR_TOTAL_LEN         = 16, /* "invalid total length." */
    ZRK_ERR_NOT_SUPPORT       = 17, /* "not support." */
    ZRK_ERR_BAD_SEQUENCE      = 18, /* "invalid sequence." */
    ZRK_ERR_UDP_RETRY         = 19, /* "UDP retry out." */
    ZRK_ERR_REISSUED          = 20, /* "re-issued request." */
    ZRK_ERR_NO_SESSION        = 21, /* "no such session." */
    ZRK_ERR_NOT_ZRK           = 22, /* "not ZRK." */
    ZRK_ERR_AGENT             = 23, /* "unexpected agent error." */
    ZRK_ERR_HARDWARE          = 24, /* "hardware error requiring CE-CALL." */
    ZRK_ERR_CONDITION_MET     = 25, /* "SCSI condition met." */
    ZRK_ERR_BUSY              = 26, /* "SCSI command busy." */
    ZRK_ERR_CONFLICT          = 27, /* "SCSI command conflict." */
    ZRK_ERR_QUEUE_FULL        = 28, /* "SCSI queue full." */
    ZRK_ERR_SCSI              = 29, /* "unexpected SCSI error."; also a reply whose counts
                                       or paging are impossible */
    ZRK_ERR_SRC_NOT_ZRK       = 30, /* "source not ZRK." */
    ZRK_ERR_DST_NOT_ZRK       = 31, /* "destination not ZRK." */
    ZRK_ERR_SAME_ZRK          = 32, /* "same ZRK." */
    ZRK_ERR_DIFFERENT_ZRK     = 33, /* "different ZRK.": a local request names another array */
    ZRK_ERR_PERMISSION        = 34, /* "no permission." */
    ZRK_ERR_TRNX              = 35, /* "invalid TRNX environment." */
    ZRK_ERR_NO_MEMORY         = 36, /* "memory allocation error." */
    ZRK_ERR_OPTION            = 37, /* "invalid option flag" */
    ZRK_ERR_VOLUME_MANAGER    = 38, /* "invalid BRINDLEX environment." */
    ZRK_ERR_SEQUENCE          = 39, /* "out of sequence." */
    ZRK_ERR_OS                = 40, /* "invalid OS." */
    ZRK_ERR_FILESYSTEM        = 41, /* "invalid filesystem." */
    ZRK_ERR_EXTENT_TYPE       = 42, /* "extent type mismatch." */
    ZRK_ERR_SYSTEM_EXTENT     = 43, /* "system extent specified." */
    ZRK_ERR_MLU               = 44, /* "invalid MLU." */
    ZRK_ERR_CC                = 45, /* "invalid CC." */
    ZRK_ERR_HH                = 46, /* "invalid HH." */
    ZRK_ERR_TRACK             = 47, /* "invalid Track." */
    ZRK_ERR_OLU               = 48, /* "invalid OLU." */
    ZRK_ERR_LBA               = 49, /* "invalid LBA." */
    ZRK_ERR_LBN               = 50, /* "invalid LBN." */
    ZRK_ERR_BUFFER_ADDRESS    = 51, /* "invalid buffer address." */
    ZRK_ERR_MEMORY_ADDRESS    = 52, /* "invalid memory address." */
    ZRK_ERR_MEMORY_SIZE       = 53, /* "invalid memory size." */
    ZRK_ERR_NOT_DWF           = 54, /* "not DWF." */
    ZRK_ERR_SESSION_ID        = 55, /* "invalid session ID." */
    ZRK_ERR_WEFK              = 56, /* "invalid WEFK environment." */
    ZRK_ERR_BOXID             = 57, /* "invalid BoxID." */
    ZRK_ERR_ROLE              = 58, /* "invalid Role." */
    ZRK_ERR_SETUP             = 59, /* "setup is inadequate." */
    ZRK_ERR_BITMAP            = 60, /* "bit map resolution disagree." */
    ZRK_ERR_INTERRUPTED       = 61, /* "communication interrupted." */
    ZRK_ERR_PARTNER           = 62, /* "another partner is not supported." */
    ZRK_ERR_MODE_UNCHANGED    = 63, /* "the session mode was not changed." */
    ZRK_ERR_MODE_CROSSES      = 64, /* "the session mode crosses." */
    ZRK_ERR_SNAPKZP           = 65, /* "the operation of SnapKzp was failed." */
    ZRK_ERR_RVZ_BUFFER        = 66, /* "the operation of RVZ Buffer was failed." */
    ZRK_ERR_CONC_SUSPEND      = 67, /* "the operation of concurrent suspend was failed." */
    ZRK_ERR_SDV               = 68, /* "invalid Snap Data Volume." */
    ZRK_ERR_BEYOND_32BIT      = 69, /* "not support in WX-API." */
    ZRK_ERR_MOTOR_OFF         = 70, /* "disk drive motor off." */
    ZRK_ERR_SDV_PROTECT       = 71, /* copy protection refused on a snap data volume */
    ZRK_ERR_DMSETUP_MISSING   = 72, /* "dmsetup was not found." */
    ZRK_ERR_DMSETUP_FAILED    = 73, /* "dmsetup detected some error." */
    ZRK_ERR_DM_TABLE          = 74, /* no table of a device-mapper device */
    ZRK_ERR_DM_PARSE          = 75, /* a device-mapper table that cannot be parsed */
    ZRK_ERR_DM_TYPE           = 76, /* "Invalid type of device-mapper." */
    ZRK_ERR_PRIORITY_PARAM    = 77, /* copy priority: invalid parameter */
    ZRK_ERR_PRIORITY_COMBO    = 78, /* copy priority: combination not supported */
    ZRK_ERR_CONC_RESTORE      = 79, /* restore refused while a concurrent KZP runs */
    ZRK_ERR_CONC_START        = 80, /* the concurrent KZP function cannot start */
    ZRK_ERR_INVALID_DATA      = 81, /* the source volume holds invalid data */
    ZRK_ERR_MIGRATION         = 82, /* a RAID migration is running */
    ZRK_ERR_CONC_PARAM        = 83, /* concurrent KZP: invalid parameter */
    ZRK_ERR_PER_COMMAND       = 84, /* more sessions than one command takes */
    ZRK_ERR_RESTORE_READYING  = 85, /* restore of a session in its readying phase */
    ZRK_ERR_CONC_READYING     = 86, /* concurrent KZP: the newest SnapKZP+ is readying */
    ZRK_ERR_CONC_RESTORING    = 87, /* concurrent KZP: a restoration session exists */
    ZRK_ERR_CASCADE_STATUS    = 88, /* cascade session in the wrong state */
    ZRK_ERR_MULTI_ARRAY       = 89, /* source volumes on several arrays */
    ZRK_ERR_CASCADE_ARRAYS    = 90, /* cascade sources on several arrays */
    ZRK_ERR_CASCADE_MODE      = 91, /* cascade transfer mode wrong */
    ZRK_ERR_OFFLOAD           = 92, /* the volume is in an offloaded data transfer session */
    ZRK_ERR_CASCADE_USED      = 93, /* the session is used by a cascade session */
    ZRK_ERR_NAS               = 96, /* not for a NAS resource */
    ZRK_ERR_NAS_IN_USE        = 97, /* not while the NAS resource is in use */
    ZRK_ERR_CLUSTER           = 99, /* not for a volume in a storage cluster */
    ZRK_ERR_NO_TFO            = 100, /* no failover session for the OLU and BoxID */
    ZRK_ERR_CLUSTER_PROTECT   = 101, /* copy protection in a storage cluster failed */
    ZRK_ERR_STACK_TIMER       = 102, /* stack-timer suspend refused */
    ZRK_ERR_ROLE_CHANGED      = 104, /* the storage-cluster role of the volume changed */

    /* The out-of-band road: reply and link errors. */
    ZRK_ERR_REPLY_NUMBER      = 900, /* a number in the reply does not fit */
    ZRK_ERR_REPLY_INCOMPLETE  = 902, /* a reply line or column is missing, too many rows */
    ZRK_ERR_REPLY             = 904, /* reply format: no line, bad status, wrong line count */
    ZRK_ERR_REPLY_BAD_NUMBER  = 905, /* a number in the reply is not a number */
    ZRK_ERR_SELECTION         = 910, /* a selection or type code outside the set */
    ZRK_ERR_CONC_NOT_LOCAL    = 911, /* concurrent suspend pairs not on one array */
    ZRK_ERR_CONC_DEST         = 912, /* concurrent suspend pairs with several destinations */
    ZRK_ERR_CONC_SOURCE       = 913, /* concurrent suspend pairs with several sources */
    ZRK_ERR_ACCOUNT_UNUSABLE  = 920, /* log-in: the account cannot be used */
    ZRK_ERR_ACCOUNT_MISSING   = 921, /* log-in: no enabled Software account of that name */
    ZRK_ERR_ACCOUNT_UNCHECKED = 922, /* log-in: the account could not be checked */
    ZRK_ERR_TOO_LONG          = 923, /* a command text longer than the service takes */
    ZRK_ERR_SERVICE_RUNNING   = 1901, /* the LAN service is already running */
    ZRK_ERR_SERVICE_START     = 1902, /* the LAN service could not be started */
    ZRK_ERR_NO_SERVICE        = 1903, /* socket or connection to the service failed */
    ZRK_ERR_LOGIN             = 1904, /* "open" not answered with exactly "true" */
    ZRK_ERR_RECEIVE           = 1905, /* reply not received, malformed, or "ERROR:" */

    /* Array error codes as the LAN link reports them. */
    ZRK_ERR_ARRAY_BASE        = 0x10000, /* + the array's own error code */
    ZRK_ERR_ARRAY_TIMER       = 0x15310, /* the array refused a suspend with the timer */
    ZRK_ERR_TIMER_REPORTED    = 0x20002, /* what a refused timer suspend reports */
    /* The concurrent KZP start's cascade refusals (array codes 0x5391 to
     * 0x5393); the one for a cascade over arrays is reported as 0x25392. */
    ZRK_ERR_ARRAY_CASCADE_STATUS = 0x15391, /* a cascade session in the wrong state */
    ZRK_ERR_ARRAY_CASCADE_ARRAYS = 0x15392, /* a source is the target of another array's copy */
    ZRK_ERR_ARRAY_CASCADE_MODE   = 0x15393, /* a cascade session's transfer mode is wrong */
    ZRK_ERR_CASCADE_REPORTED     = 0x25392, /* what a cascade over arrays reports */
    /* The copy protection setting over the LAN. */
    ZRK_ERR_ARRAY_TIER        = 0x10007, /* "set volume" refused: the volume is a tier volume */
    ZRK_ERR_ARRAY_PROTECT     = 0x1BF0E, /* the array refused a copy protection (catalogue) */
    ZRK_ERR_PROTECT_REPORTED  = 0x2BF0E, /* what a refused copy protection reports */
};

#endif /* ZRK_ZRKERRNO_H */
