// The RVZ commands of the array's command-line interface: "show rvz-path"
// (the array's RVZ copy paths, one per remote array listed in `remotes`)
// and "set rvz-buffer" (the setting of one RVZ buffer, acted on as the
// TRAVO OUT list 0x47 that the SCSI front takes, so both fronts refuse and
// change the same model alike).
#pragma once

#include "cli_command.h"
#include "faults.h"

#include <string>

namespace zrksim {

// "show rvz-path": line 2 the array's BoxID, line 3 the number of paths,
// then one row a path: the remote BoxID, the path number, its state (1
// normal), the local and the remote port and two reserved columns (0).
// Refused (not set up) on an array without RVZ.
std::string showRvzPath(const SimState &state, const Array &array, const clitext::Command &command);

// "set rvz-buffer": defines the buffer or sets it anew; refused as list
// 0x47 is (unknown or unlisted remote array, no room for another buffer,
// RVZ buffers not set up). Options left out keep the buffer's values (a new
// buffer: type send, interval and monitoring time 0).
std::string setRvzBuffer(SimState &state, const Array &array, const clitext::Command &command);

}  // namespace zrksim
