// The SnapKZP+ generations of a source volume and the pool capacity that
// restoring one of them takes, as the command-line interface reports them
// ("show snap-kzp-gen", "show snap-kzp-restore-size"); page 0x46 of the SCSI
// front reports the same sizes.
#pragma once

#include "cli_command.h"
#include "faults.h"

#include <cstdint>
#include <string>

namespace zrksim {

// The pool sizes of one SnapKZP+ session, in blocks.
struct RestoreSize {
    std::uint64_t ullFree = 0;     // the snap data pool's capacity still free
    std::uint64_t ullRestore = 0;  // what restoring the session takes: the blocks it holds (its `copied`)
    std::uint64_t ullHeld = 0;     // the blocks all generations of its extent hold
    std::uint64_t ullExtent = 0;   // its extent size (the volume's size for a whole volume)
    std::uint16_t usNumber = 0;    // its generation, 1 the oldest
    std::uint16_t usCount = 0;     // the generations of its extent
};

// The sizes of session `id` of `array`; false when it names no SnapKZP+
// session (reserved identifiers aside).
bool restoreSize(const Model &model, const Array &array, std::uint16_t id, RestoreSize *out);

// Runs "show snap-kzp-gen" or "show snap-kzp-restore-size" on `array` into
// `reply`; false when the command is neither. Throws clitext::CliError for
// a refused command.
bool runGenerationShow(const SimState &state, const Array &array, const clitext::Command &command,
                       std::string &reply);

}  // namespace zrksim
