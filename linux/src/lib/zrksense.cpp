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

// Check conditions the array answers, sorted by key, ASC, ASCQ. Source: the
// array family's vendor sense codes for the copy commands (key 5 ILLEGAL
// REQUEST, ASC 0x26 with the vendor qualifiers, ASC 0x25 LUN not supported).
// bShort marks the rows the older SCSI_IOCTL_SEND_COMMAND transport knows.
#define ZRK_ILLEGAL_REQUEST_FORMAT "SCSI returned Check condition.(Illegal Request). [%x,%x,%x]"
constexpr const char kIllegalRequest[] = ZRK_ILLEGAL_REQUEST_FORMAT;
constexpr const char kAnotherPartner[] =
    "SCSI returned Check condition.(another partner is not supported.)";

constexpr std::array kSenseRows{
    //       key   ASC   ASCQ  errno done   short  codes  message
    SenseRow{0x05, 0x25, 0x00, 48, false, true, false,
             "SCSI returned Check condition.(Logical unit not supported)."},
    SenseRow{0x05, 0x26, 0x00, 8, false, true, false,
             "SCSI returned Check condition.(Invalid field in parameter list)."},
    SenseRow{0x05, 0x26, 0x90, 26, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x91, 39, false, true, false,
             "SCSI returned Check condition.(Out of sequence). "},
    SenseRow{0x05, 0x26, 0x92, 26, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x93, 26, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x94, 26, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x95, 26, false, true, true, kIllegalRequest},
    SenseRow{0x05, 0x26, 0x96, 0, true, false, false, "already status"},
    SenseRow{0x05, 0x26, 0x97, 0, true, false, false, "already status"},
    SenseRow{0x05, 0x26, 0x98, 0, true, false, false, "already status"},
    SenseRow{0x05, 0x26, 0x99, 0, true, false, false, "already status"},
    SenseRow{0x05, 0x26, 0x9A, 0, true, false, false, "already status"},
    SenseRow{0x05, 0x26, 0x9D, 59, false, true, false,
             "SCSI returned Check condition.(Inadequate SETUP)."},
    SenseRow{0x05, 0x26, 0x9E, 59, false, true, false,
             "SCSI returned Check condition.(Inadequate SETUP)."},
    SenseRow{0x05, 0x26, 0xA4, 70, false, false, false,
             "SCSI returned Check condition.(disk drive motor off.)"},
    SenseRow{0x05, 0x26, 0xA5, 82, false, false, false,
             "RAID Migration is currently being performed."},
    SenseRow{0x05, 0x26, 0xA6, 85, false, false, false,
             "Failed to restore the copy session, because the phase of target session is "
             "readying."},
    SenseRow{0x05, 0x26, 0xA7, 79, false, false, false,
             "Unable to restore the copy session because of using the Concurrent KZP "
             "function."},
    SenseRow{0x05, 0x26, 0xA8, 86, false, false, false,
             "Unable to start the Concurrent KZP function, because the phase of the latest "
             "SnapKZP+ session is readying."},
    SenseRow{0x05, 0x26, 0xA9, 87, false, false, false,
             "Unable to start the Concurrent KZP function, because the restore copy session "
             "exists."},
    SenseRow{0x05, 0x26, 0xAA, 88, false, false, false,
             "The status of the cascade copy session is incorrect."},
    SenseRow{0x05, 0x26, 0xAB, 89, false, false, false,
             "The copy logical source volumes are made by multiple VASTREL Disk storage "
             "systems."},
    SenseRow{0x05, 0x26, 0xAC, 91, false, false, false,
             "The transfer mode of the cascade copy session is incorrect."},
    SenseRow{0x05, 0x26, 0xAD, 92, false, false, false,
             "The logical volume is already defined in an Offloaded Data Transfer session."},
    SenseRow{0x05, 0x26, 0xAE, 93, false, false, false,
             "The copy session is used by cascade copy session."},
    SenseRow{0x05, 0x26, 0xB0, 57, false, true, false,
             "SCSI returned Check condition.(Invalid BoxID)."},
    SenseRow{0x05, 0x26, 0xB1, 58, false, true, false,
             "SCSI returned Check condition.(Invalid ROLE)."},
    SenseRow{0x05, 0x26, 0xB9, 62, false, false, false, kAnotherPartner},
    SenseRow{0x05, 0x26, 0xBA, 60, false, false, false,
             "SCSI returned Check condition.(Bit map resolution disagree)."},
    SenseRow{0x05, 0x26, 0xBC, 61, false, false, false,
             "SCSI returned Check condition.(Communication interrupted)."},
    SenseRow{0x05, 0x26, 0xBE, 62, false, false, false, kAnotherPartner},
    SenseRow{0x05, 0x26, 0xC0, 65, false, false, false, kAnotherPartner},
    SenseRow{0x05, 0x26, 0xC1, 65, false, false, false, kAnotherPartner},
    SenseRow{0x05, 0x26, 0xC2, 96, false, false, false,
             "A copy operation cannot be performed because the specified volumes are "
             "unavailable."},
    SenseRow{0x05, 0x26, 0xC3, 97, false, false, false,
             "This operation cannot be executed for the NAS resource is in use."},
};

// Any other sense: the unexpected-device-error code, which the catalogue may
// rename by the sense code.
constexpr int kUnmappedErrno = 24;
constexpr const char kUnmappedMessage[] = "SCSI reterned Check condition.";

// Statuses other than CHECK CONDITION, sorted by masked status. Source: SAM
// status codes as SG_IO reports them shifted right by one.
constexpr std::array kStatusRows{
    StatusRow{ZRK_MSTATUS_CONDITION_MET, 25, "SCSI condition met."},
    StatusRow{ZRK_MSTATUS_BUSY, 26, "SCSI reterned Busy."},
    StatusRow{ZRK_MSTATUS_RESERVATION_CONFLICT, 27, "SCSI reterned Reservation conflict."},
    StatusRow{ZRK_MSTATUS_QUEUE_FULL, 28, "SCSI reterned Queue full."},
};
constexpr int kUnsupportedStatusErrno = 29;

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
            verdict.iErrno = kUnsupportedStatusErrno;
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
    verdict.iErrno = kUnmappedErrno;
    verdict.bAskCatalogue = table == SenseTable::Full;
    SetMessage(verdict, kUnmappedMessage);
    return verdict;
}

std::span<const SenseRow> SenseRows() { return kSenseRows; }
std::span<const StatusRow> StatusRows() { return kStatusRows; }

}  // namespace zrk
