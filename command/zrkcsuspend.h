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

// The mode of suspend_timeout_check that waits for phase Equivalent; the
// command passes kWaitSuspended to wait for status Suspend.
constexpr int kWaitEquivalent = 1;
constexpr int kWaitSuspended = 2;

// The per-command maximum of each box run of a concurrent suspend, kept in
// the run's first entry of the subgroup index. Refuses stack-mode RVZ
// pairs; 0 or -1 with the result filled.
int ConcSuspendPrepare(CommandCall &call, const SuspendModes &modes);
// Sends the chunks, then waits for every session to show Suspend: 0, 1
// (ZRKC1301 warning) or -1.
int ConcSuspendRun(CommandCall &call, uint32_t apiOption, SuspendWait &wait);

} // namespace zrkc
