// The concurrent KZP start of the arrays' command-line interface
// ("start copy-concurrent-kzp"): a transaction sent in parts, each part
// preparing one session, the last part starting them all at one instant and
// answering one result row per session; or the restart of several QuickKZP
// sessions at one instant.
#pragma once

#include "cli_command.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zrksim {

// Result of a row: the session started; the session exists but the start
// failed or warns, so the host stops it; any higher value: the session was
// not started.
namespace conc_row {
constexpr std::uint32_t kStarted = 0;
constexpr std::uint32_t kStopIt = 1;
constexpr std::uint32_t kNotStarted = 2;
}  // namespace conc_row

// Array code of a row whose session starts as the target of another
// array's remote copy (a cascade over arrays).
constexpr std::uint32_t kCascadeAcrossArraysCode = 0x5392;

// What the interpreter lends a concurrent start: preparing the session
// that one part describes (its identifier; throws CliError when the array
// refuses it).
using PrepareSession = std::function<std::uint16_t(const clitext::Command &)>;

// Runs one "start copy-concurrent-kzp" command on `array`.
std::string runConcurrentStart(SimState &state, const Array &array, const clitext::Command &c,
                               const PrepareSession &prepare);

// Every command the array receives passes here first: a concurrent start
// that `array` is assembling and that `c` does not continue is discarded,
// its prepared sessions rolled back.
void discardConcurrentStart(SimState &state, const Array &array, const clitext::Command &c);

}  // namespace zrksim
