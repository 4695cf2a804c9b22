// The classic public functions that read the array, each after the
// identification every call starts with: the detail query, the detail list
// and the search in a list the caller holds, the RVZ buffer list and its
// setting's checks, the OLU status, the session-identifier lists, the
// command status list, the count information, the volume information, LU
// mapping, LU information and remote BoxID list, the session queries and the
// concurrent suspend. Input: inband_driver.h.
#include "inband_driver.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zrkfuzz::inband::PrepareInstallRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return zrkfuzz::inband::Run(data, size, zrkfuzz::inband::DriveClassic);
}
