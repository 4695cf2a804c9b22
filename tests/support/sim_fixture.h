// A test against the array simulator: its own installation root, and a
// simulator started on the test's scenario (ZRK_SIM_SOCKET and
// ZRK_SIM_CONTROL name it while the test runs). The layers add what their
// calls need on top (the in-band host connection, the LAN front).
//
//   class Lists : public zrktest::SimTest {
//   protected:
//       Lists() : SimTest(kArrays) {}
//   };
#pragma once

#include "install_root.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <string>

namespace zrktest {

class SimTest : public ::testing::Test {
protected:
    // withLan: the simulator also serves the LAN front (sim.lanPort()).
    explicit SimTest(const std::string &scenario, bool withLan = false) : sim(scenario, withLan) {}

    // The root comes first: it is in place before the simulator starts and
    // outlives it.
    InstallRoot root;
    zrksim::Simulator sim;
};

// A host call that fails once: the next call `pOp` ("open", "ioctl",
// "read_file", "run", "stat", ...) on `pPath` ("" any path) fails with
// `iErrno`; `ulRequest` narrows an ioctl to one request code. Without pOp
// nothing fails.
struct HostFault {
    const char *pOp = nullptr;
    int iErrno = 0;
    const char *pPath = "";
    unsigned long ulRequest = 0;
};

inline void Inject(const zrksim::Simulator &sim, const HostFault &fault) {
    if (fault.pOp != nullptr) sim.injectErrno(fault.pOp, 1, fault.iErrno, fault.pPath, 0, fault.ulRequest);
}

}  // namespace zrktest
