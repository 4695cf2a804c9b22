// The array's show commands on its command-line interface: the copy
// sessions, the BoxID, the copy functions, the model information, the RVZ
// buffers, the volumes and the snap data volumes and pool, read from the
// same model the SCSI front answers from and written as the array's reply
// lines.
#pragma once

#include "cli_command.h"
#include "faults.h"

#include <string>

namespace zrksim {

// Runs a parsed "show ..." command on `array`; the reply text. Throws
// clitext::CliError for a refused command.
std::string runShowCommand(const SimState &state, const Array &array, const clitext::Command &command);

// The show commands about volumes (cli_show_volumes.cpp): "show volumes",
// "show snap-data-volume", "show snap-data-pool" and "show
// vvol-copy-session". False when the command is none of them.
bool runVolumeShow(const SimState &state, const Array &array, const clitext::Command &command, std::string &reply);

}  // namespace zrksim
