// The array's side of the vendor copy commands: TRAVO IN (0xEB, 0xEE on the
// QM family) reads a page of copy information, TRAVO OUT (0xE9, 0xEC) sends a
// list that orders a copy action. The array takes only the CDB form its own
// support data announces for each page and refuses the other.
#pragma once

#include "faults.h"
#include "scsi.h"

#include <cstdint>
#include <vector>

namespace zrksim {

namespace travo {
constexpr std::uint8_t kIn = 0xEB;
constexpr std::uint8_t kInQm = 0xEE;
constexpr std::uint8_t kOut = 0xE9;
constexpr std::uint8_t kOutQm = 0xEC;
}  // namespace travo

inline bool isTravoIn(std::uint8_t opcode) { return opcode == travo::kIn || opcode == travo::kInQm; }
inline bool isTravoOut(std::uint8_t opcode) { return opcode == travo::kOut || opcode == travo::kOutQm; }

// Answers a TRAVO IN addressed to `volume` of `array`.
ScsiAnswer travoIn(SimState &state, const Array &array, const Volume &volume,
                   const std::vector<std::uint8_t> &cdb);
// Acts on a TRAVO OUT and its parameter list.
ScsiAnswer travoOut(SimState &state, const Array &array, const std::vector<std::uint8_t> &cdb,
                    const std::vector<std::uint8_t> &list);

}  // namespace zrksim
