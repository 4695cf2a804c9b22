// The arrays' accounts on their command-line interface: "show users" and
// "test authentication", answered from the scenario's `user` lines (every
// array of the model shares them).
#pragma once

#include "cli_command.h"
#include "faults.h"

#include <string>

namespace zrksim {

// "show users" (no options): 00, the account count, then one line per
// account in name order: name, role, state (1 enabled) and column 3, the
// numbers in hexadecimal. Throws clitext::CliError for a refused command.
std::string showUsers(const SimState &state, const clitext::Command &command);

// "test authentication -name NAME -password PW": 00 and the account code,
// 0 for a name and password of a `user` line, else 1 (refused). Throws
// clitext::CliError for a refused command (an option missing or unknown).
std::string testAuthentication(const SimState &state, const clitext::Command &command);

}  // namespace zrksim
