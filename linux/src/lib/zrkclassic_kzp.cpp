// The classic KZP, remote KZP, QuickKZP and SnapKZP operations.
// Until the operations below are built, each fails as an operation the
// library does not drive yet (17).
#include "zrkclassic.h"
#include "zrkframe.h"

extern "C" int StartKzp(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("StartKzp", volume, __LINE__);
}

extern "C" int StopKzp(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("StopKzp", volume, __LINE__);
}

extern "C" int StartDiffKzp(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("StartDiffKzp", volume, __LINE__);
}

extern "C" int StopDiffKzp(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("StopDiffKzp", volume, __LINE__);
}

extern "C" int StartSnapKzp(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("StartSnapKzp", volume, __LINE__);
}

extern "C" int StopSnapKzp(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("StopSnapKzp", volume, __LINE__);
}

extern "C" int QueryKzp(const char *volume, unsigned int, COPY_REQ *, unsigned int *) {
    return zrk::ClassicEngineUnavailable("QueryKzp", volume, __LINE__);
}

extern "C" int QueryKzpDetail(const char *volume, unsigned int, COPY_REQ *, RKZP_DETAIL_INFO *) {
    return zrk::ClassicEngineUnavailable("QueryKzpDetail", volume, __LINE__);
}

extern "C" int QueryKzpSession(const char *volume, unsigned int, int, unsigned char, RKZP_DETAIL_INFO *) {
    return zrk::ClassicEngineUnavailable("QueryKzpSession", volume, __LINE__);
}

extern "C" int ListKzp(const char *volume, unsigned int, unsigned char, unsigned char **, int *) {
    return zrk::ClassicEngineUnavailable("ListKzp", volume, __LINE__);
}

extern "C" int SnapVolInit(const char *volume, int) {
    return zrk::ClassicEngineUnavailable("SnapVolInit", volume, __LINE__);
}

