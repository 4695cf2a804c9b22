// Snap data volumes and the snap data pool as the command-line interface
// reports them: the space the snapshot sessions use in a volume and in the
// pool, and the initialisation of a volume on the virtual clock.
#pragma once

#include "model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zrksim {

// The sizes of a snap data volume, in blocks. The volume holds the blocks
// its snapshot sessions saved up to its own size; what does not fit goes to
// the pool. Hosts write nothing to it in this model.
struct SdvUsage {
    std::uint64_t ullLogical = 0;    // the volume's size
    std::uint64_t ullPhysical = 0;   // the space it owns (its size)
    std::uint64_t ullUsedHost = 0;   // used by host writes
    std::uint64_t ullUsedCopy = 0;   // used by saved blocks
    std::uint64_t ullPoolHost = 0;   // pool space taken for it by host writes
    std::uint64_t ullPoolCopy = 0;   // pool space taken for it by saved blocks
};

// The snap data pool of an array, in blocks.
struct PoolUsage {
    std::uint64_t ullTotal = 0;
    std::uint64_t ullHost = 0;  // `poolused`: what the hosts hold besides the snapshots
    std::uint64_t ullCopy = 0;  // the blocks the array's snapshot sessions saved
};

// The snapshot sessions (SnapKZP, SnapKZP+, reserved identifiers without a
// description excluded) whose destination is volume `olu` of `array`.
std::vector<const Session *> snapshotsInto(const Model &model, const std::string &array, std::uint32_t olu);

SdvUsage sdvUsage(const Model &model, const std::string &array, const Volume &volume);
PoolUsage poolUsage(const Model &model, const Array &array);

// Starts the initialisation of a snap data volume at clock `now`: its state
// word is 0x40000000 until `seconds` have passed (at once 0 for 0 seconds).
void startInitialisation(Volume &volume, std::uint64_t now, std::uint64_t seconds);

// Ends every initialisation whose time is up at clock `now`.
void finishInitialisations(Model &model, std::uint64_t now);

}  // namespace zrksim
