// The inputs kept for a fuzz target, for tests that replay them through the
// same parsers as ordinary cases.
#pragma once

#include "install_root.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace zrktest {

// Calls fn(name, bytes) for every input of fuzz/corpus/<target> that holds
// at least minSize bytes; returns how many it called fn for.
template <typename Fn>
size_t ForEachCorpusInput(const std::string &target, size_t minSize, Fn fn) {
    const std::string dir = std::string(ZRK_SOURCE_DIR) + "/fuzz/corpus/" + target;
    size_t files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        const std::string data = readFile(entry.path().string());
        if (data.size() < minSize) continue;
        ++files;
        fn(entry.path().filename().string(), data);
    }
    return files;
}

}  // namespace zrktest
