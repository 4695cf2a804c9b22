// The array's side of a SCSI command: what a VASTREL array answers to a CDB
// sent to one of its volumes.
#pragma once

#include "model.h"

#include <cstdint>
#include <vector>

namespace zrksim {

namespace scsi {
constexpr std::uint8_t kGood = 0x00;
constexpr std::uint8_t kCheckCondition = 0x02;
constexpr std::uint8_t kIllegalRequest = 0x05;
constexpr std::uint8_t kAscInvalidOpcode = 0x20;
constexpr std::uint8_t kAscInvalidFieldInCdb = 0x24;
}  // namespace scsi

struct ScsiAnswer {
    std::uint8_t ucStatus = scsi::kGood;  // SCSI status byte
    std::vector<std::uint8_t> sense;       // sense bytes (CHECK CONDITION only)
    std::vector<std::uint8_t> data;        // data-in, already cut to the allocation length
};

struct SimState;

// Answers one command addressed to `volume` of `array`; the copy commands
// read and change the sessions of `state`.
ScsiAnswer answerCommand(SimState &state, const Array &array, const Volume &volume,
                         const std::vector<std::uint8_t> &cdb,
                         const std::vector<std::uint8_t> &dataOut);

// CHECK CONDITION with fixed-format sense data (18 bytes).
ScsiAnswer checkCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq);

}  // namespace zrksim
