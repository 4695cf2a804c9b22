// zrkcsuspend.h - the VZ suspend's own parts, shared by its plain road
// (zrkcsuspend.cpp) and its concurrent road in chunks (zrkcconcsuspend.cpp).
#pragma once

#include "zrkc.h"
#include "zrkcframe.h"

#include <cstdint>

namespace zrkc {

// The transfer-mode, split and recovery values of one suspend call, as the
// change function's option bits; -1 while no RVZ session fixed them.
struct SuspendModes {
    int32_t iTransfer = -1; // ZRK_OPT_SYNC, ZRK_OPT_STACK, ZRK_OPT_CONSISTENCY or 0 (through)
    int32_t iSplit = -1;    // ZRK_OPT_AUTO_SPLIT or 0
    int32_t iRecovery = -1; // ZRK_OPT_MANUAL_RCV or 0
};

// What the waits of one call share: count and interval, and one counter of
// the sleeps taken so that count bounds every wait of the call together.
struct SuspendWait {
    uint32_t uiCount = 0;
    uint32_t uiInterval = 0;
    uint32_t uiSlept = 0;
};

// The wanted state of a wait.
enum class WaitFor { Equivalent = 1, Suspended = 2 };

// Looks at the sessions until every pair reached the wanted state: 0
// reached, 4 gave up (count sleeps taken, or interval 0 after one look), -1
// error with the result filled.
int SuspendWaitFor(CopyPairList *list, SuspendWait &wait, WaitFor what, ReturnInfo *ri);

// The per-command maximum of each box run of a concurrent suspend (one
// entry per subgroup-index entry; only the first entry of each run is set).
// Refuses stack-mode RVZ pairs; 0 or -1 with the result filled.
int ConcSuspendPrepare(CommandCall &call, const SuspendModes &modes, uint16_t *maxima);
// Sends the chunks, then waits for every session to show Suspend: 0, 1
// (ZRKC1301 warning) or -1.
int ConcSuspendRun(CommandCall &call, uint32_t apiOption, const uint16_t *maxima,
                   SuspendWait &wait);

} // namespace zrkc
