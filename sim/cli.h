// The array's command-line interface as the LAN front reaches it: the action
// commands (start, stop, suspend, resume and change of copy sessions,
// concurrent starts, volume, snap data volume and RVZ buffer settings, the
// account test) executed against the same session model as the SCSI front,
// answered in the array's reply format: a hexadecimal status line, then the
// error code on failure, or the command's own lines on success.
#pragma once

#include "faults.h"

#include <cstdint>
#include <string>

namespace zrksim {

// Array error codes the interface answers with (line 2 of a failure).
namespace cli_error {
constexpr std::uint32_t kSyntax = 0x0001;          // unknown command, option or value
constexpr std::uint32_t kInvalid = 0x5300;         // unknown identifier, volume, kind, BoxID; does not fit
constexpr std::uint32_t kOutOfSequence = 0x5301;   // the session's state forbids it
constexpr std::uint32_t kVolumeInUse = 0x5302;     // a volume range is taken
constexpr std::uint32_t kGenerationsFull = 0x5303; // no SnapKZP+ generation left
constexpr std::uint32_t kAlreadySuspended = 0x5304;
constexpr std::uint32_t kAlreadyActive = 0x5305;
constexpr std::uint32_t kNotSetUp = 0x5306;        // the array lacks the function
constexpr std::uint32_t kNoStackTimer = 0x5310;    // a timer for a session without stack or consistency transfer
constexpr std::uint32_t kNotSnapData = 0x5358;     // a snapshot's destination is no snap data volume
constexpr std::uint32_t kSnapDataTaken = 0x5359;   // the snap data volume serves another source volume
constexpr std::uint32_t kNoVvolSessions = 0x920B;  // the array has no virtual-volume copy session
}  // namespace cli_error

// The array code of a TRAVO OUT refusal with qualifier `ascq`.
std::uint32_t cliErrorOfRefusal(std::uint8_t ascq);

// Runs one command text on `array`; the reply text.
std::string runArrayCommand(SimState &state, const Array &array, const std::string &text);

}  // namespace zrksim
