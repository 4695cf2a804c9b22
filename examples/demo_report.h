// What the in-band demo programs print of a session and of a failure.
#pragma once

#include "zrkapi.h"

#include <cstdio>
#include <cstring>

namespace demo {

// The status and phase codes of a copy session.
inline const char *const kStatus[] = {"Idle", "Reserve", "Active", "ErrorSuspend", "Suspend", "Halt"};
inline const char *const kPhase[] = {"NoPair",           "Copying", "Equivalent", "Tracking",
                                     "Tracking&Copying", "-",       "Readying"};

inline const char *word(const char *const *table, size_t size, uint32_t code) {
    return code < size ? table[code] : "?";
}

// Prints the failure of a step, its error text and the sense data of a
// refused command; returns the exit code 1.
inline int fail(const char *what, const unsigned char *sense) {
    const char *text = ZRKstrerror(ZRKerrno);
    std::printf("%s: failed, ZRKerrno %d (%s)", what, ZRKerrno, text ? text : "");
    if (sense[0] != 0) {
        std::printf(" sense key %u ASC 0x%02x ASCQ 0x%02x", sense[2] & 0x0Fu, sense[12],
                    sense[13]);
    }
    std::printf("%s", text && std::strchr(text, '\n') ? "" : "\n");
    return 1;
}

// A pair of whole volumes inside one array.
struct Pair {
    char box[ZRK_BOXID_LEN];
    uint32_t src;
    uint32_t dst;
};

}  // namespace demo
