// Helpers of the copy-command tests: TRAVO IN and TRAVO OUT CDBs built by
// hand, and hex pieces to write expected replies field by field.
#pragma once

#include "sg_helpers.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace simtest {

// Byte 1 bits of the copy commands.
constexpr unsigned char kLarge = 0x08;
constexpr unsigned char kFo = 0x20;       // failover
constexpr unsigned char kFoSecondary = 0x40;

// TRAVO IN, short form: allocation length in bytes 7-8.
inline Bytes travoInShort(unsigned char page, unsigned id, unsigned alloc, unsigned char mode = 1,
                          unsigned char byte3 = 0, unsigned char opcode = 0xEB) {
    return {opcode, mode, page, byte3, static_cast<unsigned char>(id >> 8), static_cast<unsigned char>(id),
            0, static_cast<unsigned char>(alloc >> 8), static_cast<unsigned char>(alloc), 0};
}

// TRAVO IN, large form: mode | 0x08, allocation length in bytes 6-8.
inline Bytes travoInLarge(unsigned char page, unsigned id, unsigned alloc, unsigned char mode = 1,
                          unsigned char opcode = 0xEB) {
    return {opcode, static_cast<unsigned char>(mode | kLarge), page, 0, static_cast<unsigned char>(id >> 8),
            static_cast<unsigned char>(id), static_cast<unsigned char>(alloc >> 16),
            static_cast<unsigned char>(alloc >> 8), static_cast<unsigned char>(alloc), 0};
}

// TRAVO OUT: short (byte 1 0x01, length in 7-8) or large (0x09, 6-8).
inline Bytes travoOut(unsigned length, bool large, unsigned char extra = 0, unsigned char opcode = 0xE9) {
    if (large)
        return {opcode, static_cast<unsigned char>(0x09 | extra), 0, 0, 0, 0,
                static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 8),
                static_cast<unsigned char>(length), 0};
    return {opcode, static_cast<unsigned char>(0x01 | extra), 0, 0, 0, 0, 0,
            static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length), 0};
}

inline SgResult sendOut(const std::string &path, const Bytes &cdb, const Bytes &list) {
    return sg(path, cdb, static_cast<unsigned>(list.size()), SG_DXFER_TO_DEV, 32, list);
}

// Hex pieces of an expected reply.
inline std::string u8(std::uint64_t v) { return zrktest::BeHex(v, 1); }
inline std::string u16(std::uint64_t v) { return zrktest::BeHex(v, 2); }
inline std::string u32(std::uint64_t v) { return zrktest::BeHex(v, 4); }
inline std::string u64(std::uint64_t v) { return zrktest::BeHex(v, 8); }
inline std::string zeros(std::size_t n) { return std::string(2 * n, '0'); }
using zrktest::BoxIdHex;

// The reply bytes [from, from + len) as hex.
inline std::string hexAt(const Bytes &b, std::size_t from, std::size_t len) {
    return zrksim::toHex(Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                               b.begin() + static_cast<std::ptrdiff_t>(from + len)));
}

// The data-in bytes the command delivered (dxfer_len minus resid).
inline Bytes delivered(const SgResult &r) {
    return Bytes(r.data.begin(), r.data.end() - r.hdr.resid);
}

inline void expectGood(const SgResult &r) {
    ASSERT_EQ(r.rc, 0) << r.err;
    ASSERT_EQ(r.hdr.status, 0) << "sense key " << (r.sense[2] & 0x0F) << " asc " << int(r.sense[12]);
}

inline void expectRefused(const SgResult &r, unsigned char asc) {
    ASSERT_EQ(r.rc, 0) << r.err;
    ASSERT_EQ(r.hdr.status, 0x02);
    EXPECT_EQ(r.sense[2] & 0x0F, 0x05);
    EXPECT_EQ(r.sense[12], asc);
}

}  // namespace simtest
