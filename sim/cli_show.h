// The array's show commands on its command-line interface: the copy
// sessions, the BoxID, the copy functions, the model information and the RVZ
// buffers, read from the same model the SCSI front answers from and written
// as the array's reply lines.
#pragma once

#include "cli_command.h"
#include "faults.h"

#include <string>

namespace zrksim {

// Runs a parsed "show ..." command on `array`; the reply text. Throws
// clitext::CliError for a refused command.
std::string runShowCommand(const SimState &state, const Array &array, const clitext::Command &command);

}  // namespace zrksim
