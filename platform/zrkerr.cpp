// Error texts of the library: the built-in table of codes 1 to 97, with the
// library error catalogue behind it for every other code, and the two public
// functions that turn a ZRKerrno value into a text.
#include "platform.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

int ZRKerrno;
int ZRKRVZ_stacktimer = 5;

namespace {

// Built-in texts, indexed by code. Slot 0 is the empty text; 94 and 95 have
// no text, so those codes are answered like codes outside the table.
constexpr std::array<const char *, 98> kErrorTexts = {
    /*  0 */ "",
    /*  1 */ "unexpected error.",
    /*  2 */ "invalid logical volume name.",
    /*  3 */ "invalid extent number.",
    /*  4 */ "invalid source BoxID.",
    /*  5 */ "invalid destination BoxID.",
    /*  6 */ "invalid source OLU.",
    /*  7 */ "invalid destination OLU.",
    /*  8 */ "invalid extent.",
    /*  9 */ "invalid source extent.",
    /* 10 */ "invalid destination extent.",
    /* 11 */ "invalid source extent size.",
    /* 12 */ "invalid copy interval.",
    /* 13 */ "unexpected parameter error.",
    /* 14 */ "version mismatch.",
    /* 15 */ "invalid header length.",
    /* 16 */ "invalid total length.",
    /* 17 */ "not support.",
    /* 18 */ "invalid sequence.",
    /* 19 */ "UDP retry out.",
    /* 20 */ "re-issued request.",
    /* 21 */ "no such session.",
    /* 22 */ "not ZRK.",
    /* 23 */ "unexpected agent error.",
    /* 24 */ "hardware error requiring CE-CALL.",
    /* 25 */ "SCSI condition met.",
    /* 26 */ "SCSI command busy.",
    /* 27 */ "SCSI command conflict.",
    /* 28 */ "SCSI queue full.",
    /* 29 */ "unexpected SCSI error.",
    /* 30 */ "source not ZRK.",
    /* 31 */ "destination not ZRK.",
    /* 32 */ "same ZRK.",
    /* 33 */ "different ZRK.",
    /* 34 */ "no permission.",
    /* 35 */ "invalid TRNX environment.",
    /* 36 */ "memory allocation error.",
    /* 37 */ "invalid option flag",
    /* 38 */ "invalid BRINDLEX environment.",
    /* 39 */ "out of sequence.",
    /* 40 */ "invalid OS.",
    /* 41 */ "invalid filesystem.",
    /* 42 */ "extent type mismatch.",
    /* 43 */ "system extent specified.",
    /* 44 */ "invalid MLU.",
    /* 45 */ "invalid CC.",
    /* 46 */ "invalid HH.",
    /* 47 */ "invalid Track.",
    /* 48 */ "invalid OLU.",
    /* 49 */ "invalid LBA.",
    /* 50 */ "invalid LBN.",
    /* 51 */ "invalid buffer address.",
    /* 52 */ "invalid memory address.",
    /* 53 */ "invalid memory size.",
    /* 54 */ "not DWF.",
    /* 55 */ "invalid session ID.",
    /* 56 */ "invalid WEFK environment.",
    /* 57 */ "invalid BoxID.",
    /* 58 */ "invalid Role.",
    /* 59 */ "setup is inadequate.",
    /* 60 */ "bit map resolution disagree.",
    /* 61 */ "communication interrupted.",
    /* 62 */ "another partner is not supported.",
    /* 63 */ "the session mode was not changed.",
    /* 64 */ "the session mode crosses.",
    /* 65 */ "the operation of SnapKzp was failed.",
    /* 66 */ "the operation of RVZ Buffer was failed.",
    /* 67 */ "the operation of concurrent suspend was failed.",
    /* 68 */ "invalid Snap Data Volume.",
    /* 69 */ "not support in WX-API.",
    /* 70 */ "disk drive motor off.",
    /* 71 */ "The copy protection cannot be set to Snap Data Volume.",
    /* 72 */ "dmsetup was not found.",
    /* 73 */ "dmsetup detected some error.",
    /* 74 */ "Failed to get the table information of device-mapper device.",
    /* 75 */ "Failed to parse the table information of device-mapper device.",
    /* 76 */ "Invalid type of device-mapper.",
    /* 77 */ "Failed to set the copy priority. Invalid parameter.",
    /* 78 */ "Failed to set the copy priority. The combination of arguments is not supported.",
    /* 79 */ "Unable to restore the copy session because the Concurrent KZP function is being used.",
    /* 80 */ "Unable to start the Concurrent KZP function.",
    /* 81 */ "The copy source logical volume contains invalid data.",
    /* 82 */ "RAID Migration is currently being performed.",
    /* 83 */ "Unable to start the Concurrent KZP function because of invalid parameter.",
    /* 84 */ "The number of specified copy sessions exceeds the maximum.",
    /* 85 */ "Failed to restore the copy session because the phase of the target session is readying.",
    /* 86 */ "Unable to start the Concurrent KZP function because the phase of the latest SnapKZP+ session is readying.",
    /* 87 */ "Unable to start the Concurrent KZP function because a restoration copy session exists.",
    /* 88 */ "The status of the cascade copy session is incorrect.",
    /* 89 */ "The copy logical source volumes are made by multiple VASTREL Disk storage systems.",
    /* 90 */ "The source volumes of cascade copy sessions are made by multiple VASTREL Disk storage systems.",
    /* 91 */ "The transfer mode of the cascade copy session is incorrect.",
    /* 92 */ "The logical volume is already defined in an Offloaded Data Transfer session.",
    /* 93 */ "The copy session is used by cascade copy session.",
    /* 94 */ nullptr,
    /* 95 */ nullptr,
    /* 96 */ "This operation cannot be executed for the NAS resource.",
    /* 97 */ "This operation cannot be executed for the NAS resource is in use.",
};

// Results of ZRKstrerror for codes outside the table; overwritten by the next
// call that needs them.
ErrInfoWxapi gStrerrorEntry;
char gStrerrorText[32];

// The built-in text of a code, or null when the table has none.
const char *builtin_text(int code) {
    if (code < 1 || code >= static_cast<int>(kErrorTexts.size())) return nullptr;
    return kErrorTexts[static_cast<size_t>(code)];
}

// Looks a code up in the library catalogue by ZRKerrno; the caller's errno
// survives the lookup.
bool catalogue_text(int code, ErrInfoWxapi &entry) {
    const int savedErrno = errno;
    ErrInfoWxapi found{};
    const bool ok = get_err_info_wxapi(ZRK_ERRINF_BY_ERRNO, code, &found) == 0;
    errno = savedErrno;
    if (ok) entry = found;
    return ok;
}

}  // namespace

extern "C" char *ZRKstrerror(int code) {
    if (const char *text = builtin_text(code)) return const_cast<char *>(text);
    if (catalogue_text(code, gStrerrorEntry)) return gStrerrorEntry.caMessage;
    std::snprintf(gStrerrorText, sizeof gStrerrorText, "Error %d", code);
    return gStrerrorText;
}

extern "C" void ZRKperror(const char *message) {
    const int savedErrno = errno;
    const int code = ZRKerrno;
    const char *text = builtin_text(code);
    ErrInfoWxapi entry{};
    if (text == nullptr && catalogue_text(code, entry)) text = entry.caMessage;
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
