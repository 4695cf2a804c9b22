// The array's side of the TRAVO OUT parameter lists that change sessions:
// start, stop, change, suspend and resume of one session (192-byte pages),
// the concurrent suspend of many VZ sessions and the concurrent start of
// prepared KZP-family sessions. Each list is checked whole before anything
// changes, so a refused list leaves every session as it was.
#pragma once

#include "faults.h"
#include "scsi.h"

#include <cstdint>
#include <vector>

namespace zrksim {

// Why the array refuses a list: the qualifier that goes with ILLEGAL
// REQUEST, ASC 0x26 (invalid field in parameter list).
namespace refusal {
constexpr std::uint8_t kInvalid = 0x00;           // malformed, unknown, does not fit
constexpr std::uint8_t kOutOfSequence = 0x91;     // the session's state forbids it
constexpr std::uint8_t kVolumeInUse = 0x92;       // a volume range is taken
constexpr std::uint8_t kGenerationsFull = 0x93;   // no SnapKZP+ generation left
constexpr std::uint8_t kAlreadySuspended = 0x96;  // suspend of a suspended session
constexpr std::uint8_t kAlreadyActive = 0x97;     // resume of an active session
constexpr std::uint8_t kNotSetUp = 0x9D;          // the support data lacks the function
}  // namespace refusal

// Who hands the list over: the SCSI target, or the command-line front that
// builds lists for its own commands (and checks the support data itself).
enum class ListFront { Scsi, Cli };

// Acts on one TRAVO OUT parameter list sent to `array`.
ScsiAnswer actOnList(SimState &state, const Array &array, const std::vector<std::uint8_t> &list,
                     ListFront front = ListFront::Scsi);

}  // namespace zrksim
