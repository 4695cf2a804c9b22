// The failover groups of a storage cluster on the array's command-line
// interface: "show tfo-groups" and "show tfo-pair", read from the volumes'
// storage-cluster roles and groups and from the failover sessions that the
// SCSI front lists under the failover selection of its detail list.
#pragma once

#include "cli_command.h"
#include "faults.h"

#include <string>

namespace zrksim {

// Array code of a failover answer with nothing to show (no group, or not
// the group asked for).
namespace cli_error {
constexpr std::uint32_t kNoFailoverGroup = 0x9002;
}  // namespace cli_error

// Runs "show tfo-groups" or "show tfo-pair" on `array` into `reply`; false
// when the command is neither. Throws clitext::CliError for a refusal.
bool runFailoverShow(const SimState &state, const Array &array, const clitext::Command &command,
                     std::string &reply);

}  // namespace zrksim
