// What the tests of the command frame and of the command layer's operations
// share: an installation root of each case's own, a group file in it, its
// trace once closed, and the entries of a per-pair area.
#pragma once

#include "install_root.h"
#include "platform.h"
#include "zrkc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zrktest {

class FrameFixture : public ::testing::Test {
protected:
    // A group file of the given text; its path.
    std::string group(const std::string &text) {
        root_.write("group.txt", text);
        return root_.path("group.txt");
    }

    // The trace, once closed.
    std::string trace() {
        velk_trace_term();
        return root_.traceText();
    }

    // Entry i of a per-pair area.
    static PairResult *entry(std::vector<unsigned char> &area, size_t i) {
        return reinterpret_cast<PairResult *>(area.data() + 4 + i * sizeof(PairResult));
    }

    InstallRoot root_;
};

} // namespace zrktest
