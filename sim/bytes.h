// Big-endian fields of the array's answers and of the CDBs and lists it
// receives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zrksim {

using Bytes = std::vector<std::uint8_t>;

// Writes the low `width` bytes of v at `at`, most significant first.
inline void putBe(Bytes &b, std::size_t at, int width, std::uint64_t v) {
    for (int i = 0; i < width; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * (width - 1 - i)));
}
inline void put16(Bytes &b, std::size_t at, std::uint64_t v) { putBe(b, at, 2, v); }
inline void put32(Bytes &b, std::size_t at, std::uint64_t v) { putBe(b, at, 4, v); }
inline void put64(Bytes &b, std::size_t at, std::uint64_t v) { putBe(b, at, 8, v); }

// Reads `width` bytes at `at`; bytes beyond the end read as 0.
inline std::uint64_t getBe(const Bytes &b, std::size_t at, int width) {
    std::uint64_t v = 0;
    for (int i = 0; i < width; ++i) {
        std::size_t k = at + static_cast<std::size_t>(i);
        v = (v << 8) | (k < b.size() ? b[k] : 0);
    }
    return v;
}

// Copies text into `width` bytes at `at`, padded with `pad`.
inline void putText(Bytes &b, std::size_t at, std::size_t width, const std::string &text, char pad = ' ') {
    for (std::size_t i = 0; i < width; ++i)
        b[at + i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : pad);
}

}  // namespace zrksim
