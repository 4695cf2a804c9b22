// Sessions on the virtual clock: what the arrays copy and what the hosts
// write while time passes. Tests move the clock explicitly, so every result
// is reproducible.
#pragma once

#include "faults.h"

#include <cstdint>

namespace zrksim {

// Moves the clock by `seconds` and every session with it: copying sessions
// copy at their source array's rate, host writes grow the differences and
// the snapshots, finished copies change phase or end, and reserved
// identifiers that were never used lapse; initialisations of snap data
// volumes whose time is up end.
void advanceClock(SimState &state, std::uint64_t seconds);

// Adds `add` to `value` without passing `limit` (nor overflowing).
std::uint64_t addUpTo(std::uint64_t value, std::uint64_t add, std::uint64_t limit);

}  // namespace zrksim
