/* The public header must stay valid C for programs written in C. */
#include "zrkapi.h"

_Static_assert(sizeof(ReturnInfo) == 544, "ReturnInfo layout");
_Static_assert(sizeof(PairResult) == 2568, "PairResult layout");
_Static_assert(sizeof(IPCopyReq) == 120, "IPCopyReq layout");
_Static_assert(sizeof(CONC_SES_INFO) == 120, "CONC_SES_INFO layout");
_Static_assert(sizeof(CONC_SUS_PAIR_LV) == 112, "CONC_SUS_PAIR_LV layout");
_Static_assert(sizeof(RVZ_BUFF_SET_REQ) == 52, "RVZ_BUFF_SET_REQ layout");
_Static_assert(sizeof(TraceHandle) == 72, "TraceHandle layout");

int zrk_header_check_c(void) { return ZRKerrno; }
