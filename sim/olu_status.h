// The array's side of the OLU status functions: the OLU status list (TRAVO IN
// page 0x33, read in pages that name the OLU at which the next one starts)
// and the copy protection of one OLU (TRAVO OUT list 0x33).
#pragma once

#include "model.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace zrksim {

// The support data announces the OLU status functions: bit 0x20 of byte 4,
// 12, 20 or 28.
bool oluStatusOffered(const Array &array);

// Page 0x33 from OLU `from` on, with room for its 8-byte header; after it 0-1 the number of
// records, 4-5 the OLU at which the next page starts (0: none), from byte 8
// at most 512 records of 56 bytes in rising OLU order, one per volume: 0-1
// the OLU, 4 the OLU status byte, 5 bit 0x01 copy protection. Nothing when
// the array does not offer the page.
std::optional<std::vector<std::uint8_t>> oluStatusList(const Array &array, std::uint32_t from);

// The 16-byte list 0x33 that sets the copy protection of an OLU: byte 10 1
// on, 0 off. The qualifier of ILLEGAL REQUEST, ASC 0x26, when refused:
// malformed or no such volume (0x00), not offered (0x9D).
std::optional<std::uint8_t> setOluStatus(Array &array, const std::vector<std::uint8_t> &list);

}  // namespace zrksim
