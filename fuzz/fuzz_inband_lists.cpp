// The array's lists and pages as the engine reads them, each after the
// identification every call starts with (INQUIRY, vital product data pages,
// copy-support page, BoxID): the detail list whole and page by page, the
// session identifier lists, the RVZ buffer list and page 0x24 records, the
// classic session details and searches, the session count, OLU status, LU
// information and vital product data pages, the failover role and failover
// session, the BoxID swap of a storage-cluster secondary, the concurrent
// suspend, and any TRAVO IN page. Input: inband_driver.h.
#include "inband_driver.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zrkfuzz::inband::PrepareInstallRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return zrkfuzz::inband::Run(data, size, zrkfuzz::inband::DriveLists);
}
