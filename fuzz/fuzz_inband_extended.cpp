// The extended public functions that read the array, each after the
// identification every call starts with: device information of each type,
// the logical-unit information, the OLU status list over one or more pages
// and the copy protection setting, the RVZ buffer pages, the copy priority
// read and setting, and the light volume information. Input:
// inband_driver.h.
#include "inband_driver.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zrkfuzz::inband::PrepareInstallRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return zrkfuzz::inband::Run(data, size, zrkfuzz::inband::DriveExtended);
}
