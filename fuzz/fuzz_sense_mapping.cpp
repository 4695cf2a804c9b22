// Arbitrary answers of a device through the sense and status mapping.
// Input: byte 0 the masked status, byte 1 bit 0 the short table, the rest the
// sense bytes as the device returned them (any length).
#include "zrkengine.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    const int status = data[0];
    const auto table = (data[1] & 1) != 0 ? zrk::SenseTable::Short : zrk::SenseTable::Full;
    const unsigned char *sense = size > 2 ? data + 2 : nullptr;
    const size_t length = size - 2;

    const zrk::ScsiVerdict v = zrk::MapScsiResult(status, sense, length, table);

    // The message is always terminated inside its buffer and never empty.
    const size_t textLength = strnlen(v.caMessage, sizeof v.caMessage);
    if (textLength == 0 || textLength == sizeof v.caMessage) abort();
    // Only a CHECK CONDITION can count as done, and then with code 0.
    if (v.bDone && (status != ZRK_MSTATUS_CHECK_CONDITION || v.iErrno != 0)) abort();
    if (!v.bDone && (v.iErrno < 8 || v.iErrno > 97)) abort();
    // The catalogue is asked only for the unexpected-device-error code.
    if (v.bAskCatalogue && (v.iErrno != 24 || table != zrk::SenseTable::Full)) abort();
    // A status carries no sense code; a check carries the one the bytes hold.
    if (status != ZRK_MSTATUS_CHECK_CONDITION) {
        if (v.uiSenseCode != 0) abort();
    } else {
        const zrk::SenseRecord r = zrk::NormaliseSense(sense, length);
        if (v.uiSenseCode != zrk::SenseCode(r)) abort();
        if (length > 13 && r.ucAscq != data[2 + 13]) abort();
    }
    return 0;
}
