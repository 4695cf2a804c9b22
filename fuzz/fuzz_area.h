// Output areas for the fuzz targets of the show parsers: an area of a given
// size followed by guard bytes, all set to one fill value before the call. A
// parser that writes past its room changes a guard byte; a failing parser
// must leave the whole area as it was.
#pragma once

#include "zrkapi.h"

#include <cstddef>
#include <cstdlib>
#include <vector>

namespace zrkfuzz {

constexpr size_t kGuard = 64;
constexpr unsigned char kFill = 0xA5;

// An output area of `bytes` bytes followed by kGuard guard bytes.
class Area {
public:
    explicit Area(size_t bytes) : bytes_(bytes), data_(bytes + kGuard, kFill) {}
    template <typename T>
    T *As() {
        return reinterpret_cast<T *>(data_.data());
    }
    // The guard is whole; a failure (rc -1 with ZRKerrno) left the area too.
    void Check(int rc) const {
        CheckUnwritten(bytes_);
        if (rc == 0) return;
        if (rc != -1 || ZRKerrno == 0) abort();
        CheckUnwritten(0);
    }
    // Every byte from offset on, the guard included, still holds the fill.
    void CheckUnwritten(size_t offset) const {
        for (size_t i = offset; i < data_.size(); ++i) {
            if (data_[i] != kFill) abort();
        }
    }

private:
    size_t bytes_;
    std::vector<unsigned char> data_;
};

} // namespace zrkfuzz
