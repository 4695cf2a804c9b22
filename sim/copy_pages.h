// The TRAVO IN pages of an array and the session records inside them, built
// from the model as the array lays them out. Each page function returns the
// whole reply, header included, before it is cut to the allocation length.
#pragma once

#include "bytes.h"
#include "model.h"

#include <cstdint>
#include <string>

namespace zrksim {

// Detail-list selection bits (CDB byte 3 of page 0x43).
constexpr std::uint8_t kSelectReserved = 0x80;  // list reserved identifiers too
constexpr std::uint8_t kSelectFailover = 0x40;  // only failover sessions
constexpr std::uint8_t kSelectVvol = 0x10;      // only virtual-volume sessions

constexpr std::size_t kDetailEntryLen = 160;    // detail-list entry
constexpr std::size_t kPagedRecordLen = 184;    // page-based detail record
constexpr std::size_t kClassicRecordLen = 152;  // classic detail record
constexpr std::size_t kLocalRecordLen = 40;     // local detail record
constexpr std::size_t kDetailListPageMax = 256; // entries per detail-list page

// Session records as `array` reports them (its own identifier, its side) at
// virtual time `clock`.
Bytes detailEntry(const Model &model, const Session &s, const std::string &array, std::uint64_t clock);
Bytes pagedRecord(const Model &model, const Session &s, const std::string &array, std::uint64_t clock);
Bytes classicRecord(const Model &model, const Session &s, const std::string &array, std::uint64_t clock);
Bytes localRecord(const Session &s, std::uint64_t clock);

// An RVZ buffer's share of each of its controller modules: the whole
// divided evenly.
std::uint64_t rvzShare(std::uint64_t whole, std::size_t modules);
// The sessions of the VZ family between `array` and the buffer's remote
// array: the sessions that use the buffer.
std::size_t rvzBufferSessions(const Model &model, const Array &array, const RvzBuffer &buffer);

namespace pages {

// Byte 0 the page code; the length of the bytes after byte 7: 32 bits in
// bytes 4-7 for the large form, else 16 bits in bytes 6-7 (at most 0xFFFF).
void setHeader(Bytes &reply, std::uint8_t page, bool large);

Bytes support(const Array &array);                                      // 0x00, mode 1
Bytes reserved(std::uint16_t id);                                       // 0x00, modes 2 and 4
Bytes qmSupport(const Array &array);                                    // 0x02
Bytes idList(const Model &model, const Array &array, std::uint8_t page);  // 0x05 0x09 0x15 0x19
Bytes localDetail(const Model &model, const Array &array, std::uint8_t page, std::uint16_t id,
                  std::uint64_t clock);  // 0x04 0x08
Bytes classicDetail(const Model &model, const Array &array, std::uint8_t page, std::uint16_t id,
                    std::uint64_t clock);  // 0x16 0x1A
Bytes remoteArrays(const Model &model, const Array &array);             // 0x20
Bytes rvzBufferList(const Model &model, const Array &array);            // 0x21
Bytes rvzBuffer(const Model &model, const Array &array, const RvzBuffer &buffer);  // 0x23
Bytes rvzUsage(const Array &array);                                     // 0x24
Bytes oluStatus(const Model &model, const Array &array, const Volume &volume);  // 0x31
Bytes perCommand(const Model &model, const Array &array);               // 0x40
Bytes detailList(const Model &model, const Array &array, std::uint16_t start, std::uint8_t selection,
                 std::uint64_t clock);  // 0x43
Bytes pagedDetail(const Model &model, const Array &array, std::uint16_t id, std::uint64_t clock);  // 0x44
Bytes generations(const Model &model, const Array &array, std::uint32_t olu, std::size_t allocation);  // 0x45
Bytes poolInfo(const Model &model, const Array &array);                 // 0x32
Bytes poolSize(const Model &model, const Array &array, std::uint16_t id);  // 0x46

}  // namespace pages

}  // namespace zrksim
