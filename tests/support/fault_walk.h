// The fault walk: one piece of test code run against the simulator again
// and again, failing its 1st, 2nd, 3rd ... SCSI command in turn, until a
// run reaches its end without the fault being hit. Every run is handed to
// the caller's check; the walk reports the run that was left alone.
//
//   const zrktest::FaultWalk walk = zrktest::WalkFaults(
//       sim, [&] { return ZRKLVGetBlockSize(disk, &high, &low, &length, sense); },
//       [&](const zrktest::FaultRun &run) {
//           if (run.bFired) { EXPECT_EQ(run.iResult, -1); }
//           EXPECT_EQ(ZRKopenFlag, 0);
//       });
//   EXPECT_EQ(walk.clean.uiCommands, 2u);
#pragma once

#include "sim_client.h"
#include "zrkapi.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>

namespace zrktest {

// What one run of a walk saw.
struct FaultRun {
    int iStep = 0;         // the command set to fail: 1 the first
    bool bFired = false;   // the fault hit that command
    int iResult = 0;       // what the body returned
    int iErrno = 0;        // ZRKerrno after the body (0 before it)
    size_t uiCommands = 0; // SCSI commands the arrays received in the run
};

// What the walk found.
struct FaultWalk {
    FaultRun clean;        // the run without a fault
    int iFaultedRuns = 0;  // the runs before it, each with its fault hit
    bool bEnded = false;   // false: the walk gave up (a failure is recorded)
};

// Sets the fault of a run on the SCSI command after `skip` others.
using FaultInjector = std::function<void(const zrksim::Simulator &sim, int skip)>;

// MEDIUM ERROR (3/0x11/0x00), which the transport does not retry.
inline void InjectMediumError(const zrksim::Simulator &sim, int skip) {
    sim.injectSense(1, 3, 0x11, 0x00, "", skip);
}

struct FaultWalkOptions {
    // Each run, before its fault is set: bring the arrays back to where the
    // body starts (a scenario load drops faults and logs, so it goes here).
    std::function<void()> fnBeforeRun;
    FaultInjector fnInject = InjectMediumError;
    int iLimit = 64; // the walk gives up after this many faulted runs and one more
};

inline FaultWalk WalkFaults(const zrksim::Simulator &sim, const std::function<int()> &body,
                            const std::function<void(const FaultRun &run)> &check,
                            const FaultWalkOptions &options = {}) {
    FaultWalk walk;
    for (int skip = 0;; ++skip) {
        SCOPED_TRACE(testing::Message() << "failing command " << skip + 1);
        if (options.fnBeforeRun) options.fnBeforeRun();
        sim.clearLog();
        sim.clearFaults();
        options.fnInject(sim, skip);
        FaultRun run;
        run.iStep = skip + 1;
        ZRKerrno = 0;
        run.iResult = body();
        run.iErrno = ZRKerrno;
        run.bFired = sim.faults().empty();
        run.uiCommands = sim.cdbLog().size();
        check(run);
        if (!run.bFired) {
            walk.clean = run;
            walk.bEnded = true;
            return walk;
        }
        ++walk.iFaultedRuns;
        if (skip > options.iLimit) {
            ADD_FAILURE() << "no end of the walk";
            return walk;
        }
    }
}

}  // namespace zrktest
