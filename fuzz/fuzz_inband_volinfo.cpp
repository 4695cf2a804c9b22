// Volume information on arbitrary answers of the device and the host: the
// public volume information (with and without the extra information, with
// and without the storage-cluster swap), the block size, and the common body
// they share, over every kind of device path (disk, partition, device-mapper,
// volume manager, /dev/disk link). Input: inband_driver.h.
#include "inband_driver.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zrkfuzz::inband::PrepareInstallRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return zrkfuzz::inband::Run(data, size, zrkfuzz::inband::DriveVolumeInfo);
}
