// The one sleep of the command layer's waits, and the hook that replaces it.
#include "platform.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace {

std::atomic<ZrkcSleepHook> gHook{nullptr};

void RealSleep(unsigned int seconds) {
    timespec left{static_cast<time_t>(seconds), 0};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

} // namespace

void zrkc_sleep(unsigned int seconds) {
    const ZrkcSleepHook hook = gHook.load();
    if (hook != nullptr) {
        hook(seconds);
        return;
    }
    RealSleep(seconds);
}

ZrkcSleepHook zrkc_set_sleep_hook(ZrkcSleepHook hook) { return gHook.exchange(hook); }
