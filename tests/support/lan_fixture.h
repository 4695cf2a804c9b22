// The fixtures of the tests of the LAN road. LanSimTest runs against the
// array simulator's LAN front: the root and the simulator of SimTest, the
// properties pointed at the simulator's port, and a log-in to each of the
// test's arrays, so that the test starts with the LAN log empty.
// ServiceTest runs against the loopback stand-in of the LAN service.
//
//   class Lists : public iptest::LanSimTest {
//   protected:
//       Lists() : LanSimTest(kScenario, {"10.0.0.5", "10.0.0.6"}) {}
//   };
#pragma once

#include "ipaction_service.h"
#include "ipsim_support.h"
#include "sim_fixture.h"
#include "zrkapi.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace iptest {

// The trace files of a LAN test: large enough for every line of the test
// (LargeTrace), or the root's own small ones.
enum class LanTrace { kLarge, kRootDefault };

class LanSimTest : public zrktest::SimTest {
protected:
    // logIns: the addresses of the arrays to log in to as admin, in order.
    LanSimTest(const std::string &scenario, std::vector<std::string> logIns,
               LanTrace trace = LanTrace::kLarge)
        : SimTest(scenario, true), logIns_(std::move(logIns)), trace_(trace) {}

    void SetUp() override {
        if (trace_ == LanTrace::kLarge) LargeTrace(root);
        FakeService::usePort(root, sim.lanPort());
        for (const std::string &ip : logIns_) ASSERT_NO_FATAL_FAILURE(LogIn(ip.c_str()));
        sim.commandOk("clearlanlog");
    }

    // A log-in as admin to the array at ip.
    static void LogIn(const char *ip) {
        ASSERT_EQ(0, ZRKIPLogIn(ip, "admin", "secret", 0, nullptr)) << ip << " " << ZRKerrno;
    }

private:
    std::vector<std::string> logIns_;
    LanTrace trace_;
};

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override { service.configure(root); }

    zrktest::InstallRoot root;
    FakeService service;
};

}  // namespace iptest
