// Placeholder until the trace front ends land: every call reports failure,
// which every caller ignores.
#include "platform.h"

char caTrcData[4096];

extern "C" int ZRKC_Com_OpenTrace(int) { return -1; }
extern "C" int ZRKC_Com_OutputTrace(int, int, const char *, const char *, const char *, int,
                                    const void *) { return -1; }
extern "C" int ZRKC_Com_CloseTrace(void) { return -1; }
extern "C" int velk_trace_init(void) { return -1; }
extern "C" int velk_trace(int, const char *, ...) { return -1; }
extern "C" int velk_trace_dmp(int, const char *, const void *, int) { return -1; }
extern "C" int velk_trace_term(void) { return -1; }
