// The host front: answers the calls of the simulated host platform layer
// (host/host_sim.cpp) from the model.
#pragma once

#include "faults.h"
#include "host_proto.h"

namespace zrksim {

// Answers one request (fields as in host_proto.h).
proto::Fields answerHost(SimState &state, const proto::Fields &request);

}  // namespace zrksim
