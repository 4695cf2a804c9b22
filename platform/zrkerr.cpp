// Error texts of the library: the built-in table of codes 1 to 97, with the
// library error catalogue behind it for every other code, and the two public
// functions that turn a ZRKerrno value into a text.
#include "platform.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

int ZRKerrno;
int ZRKRVZ_stacktimer = 5;

namespace {

// The built-in texts, in the order of their codes. Codes 94 and 95 have no
// text, so they are answered like codes outside the table.
struct ErrorText {
    int iCode;          // the ZRKerrno value
    const char *pText;  // its text
};

constexpr ErrorText kErrorTextRows[] = {
    {ZRK_ERR_UNEXPECTED, "unexpected error."},
    {ZRK_ERR_LOGICAL_VOL, "invalid logical volume name."},
    {ZRK_ERR_EXTENT_CNT, "invalid extent number."},
    {ZRK_ERR_SRC_BOXID, "invalid source BoxID."},
    {ZRK_ERR_DST_BOXID, "invalid destination BoxID."},
    {ZRK_ERR_SRC_OLU, "invalid source OLU."},
    {ZRK_ERR_DST_OLU, "invalid destination OLU."},
    {ZRK_ERR_EXTENT, "invalid extent."},
    {ZRK_ERR_SRC_EXTENT, "invalid source extent."},
    {ZRK_ERR_DST_EXTENT, "invalid destination extent."},
    {ZRK_ERR_SIZE, "invalid source extent size."},
    {ZRK_ERR_INTERVAL, "invalid copy interval."},
    {ZRK_ERR_PARAMETER, "unexpected parameter error."},
    {ZRK_ERR_VERSION, "version mismatch."},
    {ZRK_ERR_HEADER_LEN, "invalid header length."},
    {ZRK_ERR_TOTAL_LEN, "invalid total length."},
    {ZRK_ERR_NOT_SUPPORT, "not support."},
    {ZRK_ERR_BAD_SEQUENCE, "invalid sequence."},
    {ZRK_ERR_UDP_RETRY, "UDP retry out."},
    {ZRK_ERR_REISSUED, "re-issued request."},
    {ZRK_ERR_NO_SESSION, "no such session."},
    {ZRK_ERR_NOT_ZRK, "not ZRK."},
    {ZRK_ERR_AGENT, "unexpected agent error."},
    {ZRK_ERR_HARDWARE, "hardware error requiring CE-CALL."},
    {ZRK_ERR_CONDITION_MET, "SCSI condition met."},
    {ZRK_ERR_BUSY, "SCSI command busy."},
    {ZRK_ERR_CONFLICT, "SCSI command conflict."},
    {ZRK_ERR_QUEUE_FULL, "SCSI queue full."},
    {ZRK_ERR_SCSI, "unexpected SCSI error."},
    {ZRK_ERR_SRC_NOT_ZRK, "source not ZRK."},
    {ZRK_ERR_DST_NOT_ZRK, "destination not ZRK."},
    {ZRK_ERR_SAME_ZRK, "same ZRK."},
    {ZRK_ERR_DIFFERENT_ZRK, "different ZRK."},
    {ZRK_ERR_PERMISSION, "no permission."},
    {ZRK_ERR_TRNX, "invalid TRNX environment."},
    {ZRK_ERR_NO_MEMORY, "memory allocation error."},
    {ZRK_ERR_OPTION, "invalid option flag"},
    {ZRK_ERR_VOLUME_MANAGER, "invalid BRINDLEX environment."},
    {ZRK_ERR_SEQUENCE, "out of sequence."},
    {ZRK_ERR_OS, "invalid OS."},
    {ZRK_ERR_FILESYSTEM, "invalid filesystem."},
    {ZRK_ERR_EXTENT_TYPE, "extent type mismatch."},
    {ZRK_ERR_SYSTEM_EXTENT, "system extent specified."},
    {ZRK_ERR_MLU, "invalid MLU."},
    {ZRK_ERR_CC, "invalid CC."},
    {ZRK_ERR_HH, "invalid HH."},
    {ZRK_ERR_TRACK, "invalid Track."},
    {ZRK_ERR_OLU, "invalid OLU."},
    {ZRK_ERR_LBA, "invalid LBA."},
    {ZRK_ERR_LBN, "invalid LBN."},
    {ZRK_ERR_BUFFER_ADDRESS, "invalid buffer address."},
    {ZRK_ERR_MEMORY_ADDRESS, "invalid memory address."},
    {ZRK_ERR_MEMORY_SIZE, "invalid memory size."},
    {ZRK_ERR_NOT_DWF, "not DWF."},
    {ZRK_ERR_SESSION_ID, "invalid session ID."},
    {ZRK_ERR_WEFK, "invalid WEFK environment."},
    {ZRK_ERR_BOXID, "invalid BoxID."},
    {ZRK_ERR_ROLE, "invalid Role."},
    {ZRK_ERR_SETUP, "setup is inadequate."},
    {ZRK_ERR_BITMAP, "bit map resolution disagree."},
    {ZRK_ERR_INTERRUPTED, "communication interrupted."},
    {ZRK_ERR_PARTNER, "another partner is not supported."},
    {ZRK_ERR_MODE_UNCHANGED, "the session mode was not changed."},
    {ZRK_ERR_MODE_CROSSES, "the session mode crosses."},
    {ZRK_ERR_SNAPKZP, "the operation of SnapKzp was failed."},
    {ZRK_ERR_RVZ_BUFFER, "the operation of RVZ Buffer was failed."},
    {ZRK_ERR_CONC_SUSPEND, "the operation of concurrent suspend was failed."},
    {ZRK_ERR_SDV, "invalid Snap Data Volume."},
    {ZRK_ERR_BEYOND_32BIT, "not support in WX-API."},
    {ZRK_ERR_MOTOR_OFF, "disk drive motor off."},
    {ZRK_ERR_SDV_PROTECT, "The copy protection cannot be set to Snap Data Volume."},
    {ZRK_ERR_DMSETUP_MISSING, "dmsetup was not found."},
    {ZRK_ERR_DMSETUP_FAILED, "dmsetup detected some error."},
    {ZRK_ERR_DM_TABLE, "Failed to get the table information of device-mapper device."},
    {ZRK_ERR_DM_PARSE, "Failed to parse the table information of device-mapper device."},
    {ZRK_ERR_DM_TYPE, "Invalid type of device-mapper."},
    {ZRK_ERR_PRIORITY_PARAM, "Failed to set the copy priority. Invalid parameter."},
    {ZRK_ERR_PRIORITY_COMBO, "Failed to set the copy priority. The combination of arguments is not supported."},
    {ZRK_ERR_CONC_RESTORE, "Unable to restore the copy session because the Concurrent KZP function is being used."},
    {ZRK_ERR_CONC_START, "Unable to start the Concurrent KZP function."},
    {ZRK_ERR_INVALID_DATA, "The copy source logical volume contains invalid data."},
    {ZRK_ERR_MIGRATION, "RAID Migration is currently being performed."},
    {ZRK_ERR_CONC_PARAM, "Unable to start the Concurrent KZP function because of invalid parameter."},
    {ZRK_ERR_PER_COMMAND, "The number of specified copy sessions exceeds the maximum."},
    {ZRK_ERR_RESTORE_READYING, "Failed to restore the copy session because the phase of the target session is readying."},
    {ZRK_ERR_CONC_READYING, "Unable to start the Concurrent KZP function because the phase of the latest SnapKZP+ session is readying."},
    {ZRK_ERR_CONC_RESTORING, "Unable to start the Concurrent KZP function because a restoration copy session exists."},
    {ZRK_ERR_CASCADE_STATUS, "The status of the cascade copy session is incorrect."},
    {ZRK_ERR_MULTI_ARRAY, "The copy logical source volumes are made by multiple VASTREL Disk storage systems."},
    {ZRK_ERR_CASCADE_ARRAYS, "The source volumes of cascade copy sessions are made by multiple VASTREL Disk storage systems."},
    {ZRK_ERR_CASCADE_MODE, "The transfer mode of the cascade copy session is incorrect."},
    {ZRK_ERR_OFFLOAD, "The logical volume is already defined in an Offloaded Data Transfer session."},
    {ZRK_ERR_CASCADE_USED, "The copy session is used by cascade copy session."},
    {ZRK_ERR_NAS, "This operation cannot be executed for the NAS resource."},
    {ZRK_ERR_NAS_IN_USE, "This operation cannot be executed for the NAS resource is in use."},
};

constexpr int kLastBuiltin = ZRK_ERR_NAS_IN_USE; // the highest code with a built-in text

// The texts indexed by code; null where a code has none.
constexpr std::array<const char *, kLastBuiltin + 1> BuildErrorTexts() {
    std::array<const char *, kLastBuiltin + 1> texts{};
    for (const ErrorText &row : kErrorTextRows) texts[static_cast<size_t>(row.iCode)] = row.pText;
    return texts;
}

constexpr auto kErrorTexts = BuildErrorTexts();

// The rows run in rising order of code up to kLastBuiltin, one per code, and
// only 94 and 95 (which have no name) are left out: a row cannot stand under
// a code other than its name's.
constexpr bool RowsRiseToLast() {
    int previous = ZRK_ERR_NONE;
    for (const ErrorText &row : kErrorTextRows) {
        if (row.iCode <= previous || row.pText == nullptr) return false;
        previous = row.iCode;
    }
    return previous == kLastBuiltin;
}
static_assert(RowsRiseToLast(), "built-in error texts: one row per code, in rising order");
static_assert(std::size(kErrorTextRows) == kLastBuiltin - 2,
              "built-in error texts: every code but 94 and 95 has one");

// Results of ZRKstrerror for codes outside the table; overwritten by the next
// call that needs them.
ErrInfoWxapi gStrerrorEntry;
char gStrerrorText[32];

// The built-in text of a code, or null when the table has none.
const char *BuiltinText(int code) {
    if (code < ZRK_ERR_UNEXPECTED || code >= static_cast<int>(kErrorTexts.size())) return nullptr;
    return kErrorTexts[static_cast<size_t>(code)];
}

// Looks a code up in the library catalogue by ZRKerrno; the caller's errno
// survives the lookup.
bool CatalogueText(int code, ErrInfoWxapi &entry) {
    const int savedErrno = errno;
    ErrInfoWxapi found{};
    const bool ok = get_err_info_wxapi(ZRK_ERRINF_BY_ERRNO, code, &found) == 0;
    errno = savedErrno;
    if (ok) entry = found;
    return ok;
}

} // namespace

extern "C" char *ZRKstrerror(int code) {
    if (const char *text = BuiltinText(code)) return const_cast<char *>(text);
    if (CatalogueText(code, gStrerrorEntry)) return gStrerrorEntry.caMessage;
    std::snprintf(gStrerrorText, sizeof gStrerrorText, "Error %d", code);
    return gStrerrorText;
}

extern "C" void ZRKperror(const char *message) {
    const int savedErrno = errno;
    const int code = ZRKerrno;
    const char *text = BuiltinText(code);
    ErrInfoWxapi entry{};
    if (text == nullptr && CatalogueText(code, entry)) text = entry.caMessage;
    if (text == nullptr) {
        errno = savedErrno;
        std::perror(message);
        return;
    }
    if (message != nullptr) {
        std::fprintf(stderr, "%s : %s\n", message, text);
    } else {
        std::fprintf(stderr, "%s\n", text);
    }
}
