// Bytes for the tests that talk to the arrays: hex texts, records seen as
// their bytes and back, golden records laid out from (offset, hex) pieces,
// padded BoxIDs and big-endian fields.
#pragma once

#include "sim_client.h"
#include "zrkapi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace zrktest {

using Bytes = std::vector<unsigned char>;
// (offset, hex) pieces laid over a zero-filled record.
using Patches = std::vector<std::pair<size_t, std::string>>;

// A hex text without the blanks written between its digits, and its bytes.
inline std::string HexDigits(const std::string &text) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    return digits;
}
inline Bytes Hex(const std::string &text) { return zrksim::fromHex(HexDigits(text)); }

// n bytes from p as hex.
inline std::string SpanHex(const void *p, size_t n) {
    const auto *bytes = static_cast<const unsigned char *>(p);
    return zrksim::toHex(Bytes(bytes, bytes + n));
}

// Whether n bytes from p are all zero.
inline bool AllZero(const unsigned char *p, size_t n) {
    return std::all_of(p, p + n, [](unsigned char b) { return b == 0; });
}

// A record as its bytes, and bytes as a record (their sizes must agree).
template <typename T> Bytes BytesOf(const T &record) {
    const auto *p = reinterpret_cast<const unsigned char *>(&record);
    return Bytes(p, p + sizeof record);
}
template <typename T> std::string RecordHex(const T &record) { return SpanHex(&record, sizeof record); }
template <typename T> T RecordOf(const Bytes &bytes) {
    T record{};
    EXPECT_EQ(bytes.size(), sizeof record);
    std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
    return record;
}

// n bytes counting up from first (wrapping at 256), so that every field of
// a decoded record names its place; as hex too.
inline Bytes Counting(size_t n, int first = 0) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(first + static_cast<int>(i));
    return b;
}
inline std::string CountingHex(int first, int n) {
    return zrksim::toHex(Counting(static_cast<size_t>(n), first));
}
// A record whose bytes are 0, 1, 2, ...
template <typename T> T Pattern() { return RecordOf<T>(Counting(sizeof(T))); }

// n bytes drawn from random.
inline Bytes RandomBytes(std::mt19937 &random, size_t n) {
    Bytes b(n);
    for (auto &x : b) x = static_cast<unsigned char>(random());
    return b;
}

// Zeros with the given hex laid at their offsets, and the same as hex.
inline Bytes Golden(size_t size, const Patches &patches) {
    Bytes b(size, 0);
    for (const auto &[offset, hex] : patches) {
        const Bytes h = Hex(hex);
        EXPECT_LE(offset + h.size(), size) << offset;
        std::copy(h.begin(), h.end(), b.begin() + static_cast<long>(offset));
    }
    return b;
}
inline std::string GoldenHex(size_t size, const Patches &patches) {
    return zrksim::toHex(Golden(size, patches));
}

// A BoxID as the arrays hold it: the text padded with blanks to 40 bytes;
// and as hex.
inline std::string BoxId(const std::string &text) {
    std::string id = text;
    id.resize(ZRK_BOXID_LEN, ' ');
    return id;
}
inline std::string BoxIdHex(const std::string &text) {
    const std::string id = BoxId(text);
    return zrksim::toHex(Bytes(id.begin(), id.end()));
}

// Big-endian fields: read `width` bytes, write them, or write them as hex.
inline uint64_t Be(const unsigned char *p, int width) {
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = v << 8 | p[i];
    return v;
}
inline uint64_t Be(const Bytes &b, size_t at, int width) {
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = v << 8 | b.at(at + static_cast<size_t>(i));
    return v;
}
inline void PutBe(unsigned char *p, int width, uint64_t value) {
    for (int i = 0; i < width; ++i) p[i] = static_cast<unsigned char>(value >> (8 * (width - 1 - i)));
}
inline std::string BeHex(uint64_t value, int width) {
    Bytes b(static_cast<size_t>(width));
    PutBe(b.data(), width, value);
    return zrksim::toHex(b);
}

}  // namespace zrktest
