// Sense and status mapping: the tables that turn an array's answer to a SCSI
// command into a value of ZRKerrno and a log message. Pure data and one
// lookup; the transport (zrkpform.cpp) owns the state around it.
#include "zrkengine.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace zrk {
namespace {

// One row of the sense table.
struct SenseRow {
    uint8_t     ucKey;    /* sense key */
    uint8_t     ucAsc;    /* ASC */
    uint8_t     ucAscq;   /* ASCQ */
    int         iErrno;   /* ZRKerrno */
    bool        bDone;    /* already status: the command counts as done */
    bool        bShort;   /* also in the short table */
    bool        bCodes;   /* message takes key, ASC and ASCQ */
    const char *pMessage; /* message text or format */
};

// One row of the status table.
struct StatusRow {
    uint8_t     ucStatus; /* masked status */
    int         iErrno;   /* ZRKerrno */
    const char *pMessage; /* message text */
};

// Check conditions the array answers, sorted by key, ASC, ASCQ. Source: the
// array family's vendor sense codes for the copy commands (key 5 ILLEGAL
// REQUEST, ASC 0x26 with the vendor qualifiers, ASC 0x25 LUN not supported).
// bShort marks the rows the older SCSI_IOCTL_SEND_COMMAND transport knows.
#define ZRK_ILLEGAL_REQUEST_FORMAT "SCSI returned Check condition.(Illegal Request). [%x,%x,%x]"
constexpr const char kIllegalRequest[] = ZRK_ILLEGAL_REQUEST_FORMAT;
constexpr const char kAnotherPartner[] =
    "SCSI returned Check condition.(another partner is not supported.)";
constexpr const char kAlreadyStatus[] = "already status";
constexpr const char kInadequateSetup[] = "SCSI returned Check condition.(Inadequate SETUP).";

constexpr std::array kSenseRows{
    //       key   ASC   ASCQ  errno done   short  codes  message
    SenseRow{0x05, 0x25, 0x00, ZRK_ERR_OLU, false, true, false,
             "SCSI returned Check condition.(Logical unit not supported)."},
    SenseRow{0x05, 0x26, 0x00, ZRK_ERR_EXTENT, false, true, false,
             "SCSI returned Check condition.(Invalid field in parameter list)."},
    SenseRow{0x05, 0x26, 0x90, ZRK_ERR_BUSY, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x91, ZRK_ERR_SEQUENCE, false, true, false,
             "SCSI returned Check condition.(Out of sequence). "},
    SenseRow{0x05, 0x26, 0x92, ZRK_ERR_BUSY, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x93, ZRK_ERR_BUSY, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x94, ZRK_ERR_BUSY, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x95, ZRK_ERR_BUSY, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x96, ZRK_ERR_NONE, true, false, false, kAlreadyStatus},
    SenseRow{0x05, 0x26, 0x97, ZRK_ERR_NONE, true, false, false, kAlreadyStatus},
    SenseRow{0x05, 0x26, 0x98, ZRK_ERR_NONE, true, false, false, kAlreadyStatus},
    SenseRow{0x05, 0x26, 0x99, ZRK_ERR_NONE, true, false, false, kAlreadyStatus},
    SenseRow{0x05, 0x26, 0x9A, ZRK_ERR_NONE, true, false, false, kAlreadyStatus},
    SenseRow{0x05, 0x26, 0x9D, ZRK_ERR_SETUP, false, true, false, kInadequateSetup},
    SenseRow{0x05, 0x26, 0x9E, ZRK_ERR_SETUP, false, true, false, kInadequateSetup},
    SenseRow{0x05, 0x26, 0xA4, ZRK_ERR_MOTOR_OFF, false, false, false,
             "SCSI returned Check condition.(disk drive motor off.)"},
    SenseRow{0x05, 0x26, 0xA5, ZRK_ERR_MIGRATION, false, false, false,
             "RAID Migration is currently being performed."},
    SenseRow{0x05, 0x26, 0xA6, ZRK_ERR_RESTORE_READYING, false, false, false,
             "Failed to restore the copy session, because the phase of target session is "
             "readying."},
    SenseRow{0x05, 0x26, 0xA7, ZRK_ERR_CONC_RESTORE, false, false, false,
             "Unable to restore the copy session because of using the Concurrent KZP "
             "function."},
    SenseRow{0x05, 0x26, 0xA8, ZRK_ERR_CONC_READYING, false, false, false,
             "Unable to start the Concurrent KZP function, because the phase of the latest "
             "SnapKZP+ session is readying."},
    SenseRow{0x05, 0x26, 0xA9, ZRK_ERR_CONC_RESTORING, false, false, false,
             "Unable to start the Concurrent KZP function, because the restore copy session "
             "exists."},
    SenseRow{0x05, 0x26, 0xAA, ZRK_ERR_CASCADE_STATUS, false, false, false,
             "The status of the cascade copy session is incorrect."},
    SenseRow{0x05, 0x26, 0xAB, ZRK_ERR_MULTI_ARRAY, false, false, false,
             "The copy logical source volumes are made by multiple VASTREL Disk storage "
             "systems."},
    SenseRow{0x05, 0x26, 0xAC, ZRK_ERR_CASCADE_MODE, false, false, false,
             "The transfer mode of the cascade copy session is incorrect."},
    SenseRow{0x05, 0x26, 0xAD, ZRK_ERR_OFFLOAD, false, false, false,
             "The logical volume is already defined in an Offloaded Data Transfer session."},
    SenseRow{0x05, 0x26, 0xAE, ZRK_ERR_CASCADE_USED, false, false, false,
             "The copy session is used by cascade copy session."},
    SenseRow{0x05, 0x26, 0xB0, ZRK_ERR_BOXID, false, true, false,
             "SCSI returned Check condition.(Invalid BoxID)."},
    SenseRow{0x05, 0x26, 0xB1, ZRK_ERR_ROLE, false, true, false,
             "SCSI returned Check condition.(Invalid ROLE)."},
    SenseRow{0x05, 0x26, 0xB9, ZRK_ERR_PARTNER, false, false, false, kAnotherPartner},
    SenseRow{0x05, 0x26, 0xBA, ZRK_ERR_BITMAP, false, false, false,
             "SCSI returned Check condition.(Bit map resolution disagree)."},
    SenseRow{0x05, 0x26, 0xBC, ZRK_ERR_INTERRUPTED, false, false, false,
             "SCSI returned Check condition.(Communication interrupted)."},
    SenseRow{0x05, 0x26, 0xBE, ZRK_ERR_PARTNER, false, false, false, kAnotherPartner},
    SenseRow{0x05, 0x26, 0xC0, ZRK_ERR_SNAPKZP, false, false, false, kAnotherPartner},
    SenseRow{0x05, 0x26, 0xC1, ZRK_ERR_SNAPKZP, false, false, false, kAnotherPartner},
    SenseRow{0x05, 0x26, 0xC2, ZRK_ERR_NAS, false, false, false,
             "A copy operation cannot be performed because the specified volumes are "
             "unavailable."},
    SenseRow{0x05, 0x26, 0xC3, ZRK_ERR_NAS_IN_USE, false, false, false,
             "This operation cannot be executed for the NAS resource is in use."},
};

// Any other sense: ZRK_ERR_HARDWARE, which the catalogue may rename by the
// sense code.
constexpr const char kUnmappedMessage[] = "SCSI reterned Check condition.";

// Statuses other than CHECK CONDITION, sorted by masked status. Source: SAM
// status codes as SG_IO reports them shifted right by one.
constexpr std::array kStatusRows{
    StatusRow{ZRK_MSTATUS_CONDITION_MET, ZRK_ERR_CONDITION_MET, "SCSI condition met."},
    StatusRow{ZRK_MSTATUS_BUSY, ZRK_ERR_BUSY, "SCSI reterned Busy."},
    StatusRow{ZRK_MSTATUS_RESERVATION_CONFLICT, ZRK_ERR_CONFLICT,
              "SCSI reterned Reservation conflict."},
    StatusRow{ZRK_MSTATUS_QUEUE_FULL, ZRK_ERR_QUEUE_FULL, "SCSI reterned Queue full."},
};
// Any other status: ZRK_ERR_SCSI, "SCSI returned Unsupported status.Status [0x%02x]".

constexpr uint32_t RowKey(const SenseRow &row) {
    return static_cast<uint32_t>(row.ucKey) << 16 | static_cast<uint32_t>(row.ucAsc) << 8 |
           row.ucAscq;
}

static_assert(std::adjacent_find(kSenseRows.begin(), kSenseRows.end(),
                                 [](const SenseRow &a, const SenseRow &b) {
                                     return RowKey(a) >= RowKey(b);
                                 }) == kSenseRows.end(),
              "sense rows sorted and unique");
static_assert(std::adjacent_find(kStatusRows.begin(), kStatusRows.end(),
                                 [](const StatusRow &a, const StatusRow &b) {
                                     return a.ucStatus >= b.ucStatus;
                                 }) == kStatusRows.end(),
              "status rows sorted and unique");

void SetMessage(ScsiVerdict &verdict, const char *text) {
    std::snprintf(verdict.caMessage, sizeof verdict.caMessage, "%s", text);
}

}  // namespace

SenseRecord NormaliseSense(const unsigned char *sense, size_t length) {
    SenseRecord record{};
    if (sense == nullptr) return record;
    if (length > 2) record.ucKey = sense[2] & 0x0F;
    if (length > 12) record.ucAsc = sense[12];
    if (length > 13) record.ucAscq = sense[13];
    return record;
}

uint32_t SenseCode(const SenseRecord &record) {
    return static_cast<uint32_t>(record.ucKey) << 16 |
           static_cast<uint32_t>(record.ucAsc) << 8 | record.ucAscq;
}

ScsiVerdict MapScsiResult(int maskedStatus, const unsigned char *sense, size_t senseLength,
                          SenseTable table) {
    ScsiVerdict verdict{};
    if (maskedStatus != ZRK_MSTATUS_CHECK_CONDITION) {
        auto row = std::lower_bound(kStatusRows.begin(), kStatusRows.end(), maskedStatus,
                                    [](const StatusRow &r, int status) {
                                        return r.ucStatus < status;
                                    });
        if (row != kStatusRows.end() && row->ucStatus == maskedStatus) {
            verdict.iErrno = row->iErrno;
            SetMessage(verdict, row->pMessage);
        } else {
            verdict.iErrno = ZRK_ERR_SCSI;
            std::snprintf(verdict.caMessage, sizeof verdict.caMessage,
                          "SCSI returned Unsupported status.Status [0x%02x]", maskedStatus);
        }
        return verdict;
    }

    const SenseRecord record = NormaliseSense(sense, senseLength);
    const uint32_t code = SenseCode(record);
    verdict.uiSenseCode = code;
    auto row = std::lower_bound(kSenseRows.begin(), kSenseRows.end(), code,
                                [](const SenseRow &r, uint32_t key) { return RowKey(r) < key; });
    if (row != kSenseRows.end() && RowKey(*row) == code &&
        (table == SenseTable::Full || row->bShort)) {
        verdict.iErrno = row->iErrno;
        verdict.bDone = row->bDone;
        if (row->bCodes) {
            // The one format of the table: key, ASC and ASCQ in hex.
            std::snprintf(verdict.caMessage, sizeof verdict.caMessage,
                          ZRK_ILLEGAL_REQUEST_FORMAT, record.ucKey, record.ucAsc,
                          record.ucAscq);
        } else {
            SetMessage(verdict, row->pMessage);
        }
        return verdict;
    }
    verdict.iErrno = ZRK_ERR_HARDWARE;
    verdict.bAskCatalogue = table == SenseTable::Full;
    SetMessage(verdict, kUnmappedMessage);
    return verdict;
}

}  // namespace zrk
