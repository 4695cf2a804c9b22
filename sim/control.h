// The control interface: line-based text commands that steer the simulator
// (format in sim/README.md).
#pragma once

#include "faults.h"

#include <string>

namespace zrksim {

// Answers one command line (without its newline): "ok N\n" and N lines, or
// "error TEXT\n". Sets state.bStop for shutdown.
std::string answerControl(SimState &state, const std::string &line);

}  // namespace zrksim
