// The classic VZ and RVZ operations.
// Until the operations below are built, each fails as an operation the
// library does not drive yet (17).
#include "zrkclassic.h"
#include "zrkframe.h"

extern "C" int StartVz(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("StartVz", volume, __LINE__);
}

extern "C" int StopVz(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("StopVz", volume, __LINE__);
}

extern "C" int SuspendVz(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("SuspendVz", volume, __LINE__);
}

extern "C" int ResumeVz(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("ResumeVz", volume, __LINE__);
}

extern "C" int ChangeVz(const char *volume, unsigned int, COPY_REQ *) {
    return zrk::ClassicEngineUnavailable("ChangeVz", volume, __LINE__);
}

extern "C" int QueryVz(const char *volume, unsigned int, COPY_REQ *, unsigned int *) {
    return zrk::ClassicEngineUnavailable("QueryVz", volume, __LINE__);
}

extern "C" int QueryVzDetail(const char *volume, unsigned int, COPY_REQ *, RVZ_DETAIL_INFO *) {
    return zrk::ClassicEngineUnavailable("QueryVzDetail", volume, __LINE__);
}

extern "C" int QueryVzSession(const char *volume, unsigned int, int, unsigned char, RVZ_DETAIL_INFO *) {
    return zrk::ClassicEngineUnavailable("QueryVzSession", volume, __LINE__);
}

extern "C" int ListVz(const char *volume, unsigned int, unsigned char, unsigned char **, int *) {
    return zrk::ClassicEngineUnavailable("ListVz", volume, __LINE__);
}

extern "C" int MultiSuspendVz(const char *volume, unsigned int, unsigned int, const CONC_SUS_PAIR *, unsigned char *) {
    return zrk::ClassicEngineUnavailable("MultiSuspendVz", volume, __LINE__);
}

extern "C" int CommandStatusList(const char *volume, unsigned int, unsigned char **, int *) {
    return zrk::ClassicEngineUnavailable("CommandStatusList", volume, __LINE__);
}

extern "C" int RVZBuffSet(const char *volume, const RVZ_BUFF_SET_REQ *) {
    return zrk::ClassicEngineUnavailable("RVZBuffSet", volume, __LINE__);
}

