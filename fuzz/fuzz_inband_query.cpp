// The session queries of the public in-band functions on arbitrary answers
// of the device: VZ and KZP status and details by pair and by identifier,
// the detail of any copy kind, the SnapKZP+ generation list and generation
// of a session, the snap data pool pages, and the search of a detail list
// the caller holds. Input: inband_driver.h.
#include "inband_driver.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zrkfuzz::inband::PrepareInstallRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return zrkfuzz::inband::Run(data, size, zrkfuzz::inband::DriveQuery);
}
