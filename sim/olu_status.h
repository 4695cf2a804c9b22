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

// The failover group of a volume in a storage cluster (its own role and
// group, else the array's), 0xFF when its role is 0 (no cluster).
std::uint8_t failoverGroup(const Array &array, const Volume &volume);

// The 56-byte OLU status record of a volume, as pages 0x31 and 0x33 carry
// it and as the command-line interface describes the same volume: 0-1 the
// OLU; 3 the failover group; 4 the status byte (the volume's `olustatus`
// with 0x01 snap data volume, 0x02 a snap data volume whose state word is
// exactly 0x40000000, 0x08 copy protection on); 5 the failover bits when the
// array offers failover and the volume is in a group (0x80 failover volume,
// 0x40 and 0x20 for role 2: secondary and standing by); 8-55 six 64-bit
// sizes: the capacity twice, or for a snap data volume its logical and
// physical size, the space used by host writes and by copies, and the pool
// space taken for each.
std::vector<std::uint8_t> oluStatusRecord(const Model &model, const Array &array, const Volume &volume);

// Page 0x33 from OLU `from` on, with room for its 8-byte header; after it 0-1 the number of
// records, 4-5 the OLU at which the next page starts (0: none), from byte 8
// at most 512 records (oluStatusRecord) in rising OLU order, one per
// volume. Nothing when the array does not offer the page.
std::optional<std::vector<std::uint8_t>> oluStatusList(const Model &model, const Array &array, std::uint32_t from);

// The 16-byte list 0x33 that sets the copy protection of an OLU: byte 10 1
// on, 0 off. The qualifier of ILLEGAL REQUEST, ASC 0x26, when refused:
// malformed or no such volume (0x00), not offered (0x9D).
std::optional<std::uint8_t> setOluStatus(Array &array, const std::vector<std::uint8_t> &list);

}  // namespace zrksim
