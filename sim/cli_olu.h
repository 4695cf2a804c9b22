// The copy protection of a volume on the array's command-line interface:
// "set volume" and "set morvic-tier-volume" with "-volume-number" and
// "-copy-protection enable|disable", and the array's refusals.
#pragma once

#include "cli_command.h"

#include <string>

namespace zrksim {

// Array error codes of the copy protection (line 2 of a failure).
namespace cli_error {
constexpr std::uint32_t kTierVolume = 0x0007;       // "set volume" names a tier volume
constexpr std::uint32_t kProtectRefused = 0xBF0E;   // the storage cluster's secondary side
}  // namespace cli_error

// Runs "set volume" or "set morvic-tier-volume" on `array`; the reply text.
// Throws clitext::CliError when the array refuses: a syntax error, no such
// volume or a snap data volume (kInvalid), a tier volume named by "set
// volume" (kTierVolume), a volume on the secondary side of a storage
// cluster (kProtectRefused). The tier-volume command takes any volume.
std::string runVolumeProtection(SimState &state, const Array &array, const clitext::Command &command);

}  // namespace zrksim
