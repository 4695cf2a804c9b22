// The classic volume information.
// Until the operations below are built, each fails as an operation the
// library does not drive yet (17).
#include "zrkclassic.h"
#include "zrkframe.h"

extern "C" int GetVolumeInfo(const char *volume, unsigned int, VOLUME_INFO_RECORD *) {
    return zrk::ClassicEngineUnavailable("GetVolumeInfo", volume, __LINE__);
}

extern "C" int GetVolumeList(const char *volume, unsigned int, unsigned char *) {
    return zrk::ClassicEngineUnavailable("GetVolumeList", volume, __LINE__);
}

extern "C" int GetVolumeConstInfo(const char *volume, unsigned int, unsigned char *) {
    return zrk::ClassicEngineUnavailable("GetVolumeConstInfo", volume, __LINE__);
}

extern "C" int GetRemoteBoxIDList(const char *volume, unsigned int, unsigned char *) {
    return zrk::ClassicEngineUnavailable("GetRemoteBoxIDList", volume, __LINE__);
}

extern "C" int GetLuMapping(const char *volume, unsigned char *) {
    return zrk::ClassicEngineUnavailable("GetLuMapping", volume, __LINE__);
}

extern "C" int GetRemoteBoxID(const char *volume, unsigned char *) {
    return zrk::ClassicEngineUnavailable("GetRemoteBoxID", volume, __LINE__);
}

