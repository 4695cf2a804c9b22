// What the host says about a volume's path, on arbitrary answers: the
// whole-disk node of a partition (/dev/disk links, sysfs), device numbers,
// extents from the partition geometry, the sysfs start and size files, the
// device-mapper table (dmsetup) and the volume manager's listing (brxinfo),
// the access check of a volume path; and one command through each transport
// (status, sense, residual, the whole-disk fallback and the volume manager's
// pass-through). Input: inband_driver.h.
#include "inband_driver.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zrkfuzz::inband::PrepareInstallRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return zrkfuzz::inband::Run(data, size, zrkfuzz::inband::DriveHostPaths);
}
