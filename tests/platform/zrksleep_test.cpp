// The one sleep of the command layer's waits and its test hook.
#include "platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

std::vector<unsigned> gSlept;
void Record(unsigned seconds) { gSlept.push_back(seconds); }

TEST(ZrkcSleep, HookTakesTheWaitsAndCanBeRemoved) {
    gSlept.clear();
    EXPECT_EQ(zrkc_set_sleep_hook(Record), nullptr);
    zrkc_sleep(600);
    zrkc_sleep(5);
    EXPECT_EQ(gSlept, (std::vector<unsigned>{600, 5}));
    EXPECT_EQ(zrkc_set_sleep_hook(nullptr), &Record);

    // Without the hook the thread really sleeps.
    const auto start = std::chrono::steady_clock::now();
    zrkc_sleep(1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(990));
    EXPECT_EQ(gSlept.size(), 2u);
}

} // namespace
