// out_support.h - what the output tests share: both streams of a layout
// captured in memory, a parse record, and a per-pair area built from entries.
#pragma once

#include "zrkcargs.h"
#include "zrkcout.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace zrktest {

using zrkcli::CommandParam;

// Both streams of a layout, captured in memory.
class Capture {
public:
    Capture() {
        pOut = open_memstream(&pOutText, &uiOutSize);
        pErr = open_memstream(&pErrText, &uiErrSize);
    }
    ~Capture() {
        Close();
        std::free(pOutText);
        std::free(pErrText);
    }
    zrkcli::Out out() const { return {pOut, pErr}; }
    std::string Stdout() { Close(); return std::string(pOutText, uiOutSize); }
    std::string Stderr() { Close(); return std::string(pErrText, uiErrSize); }

private:
    void Close() {
        if (pOut) std::fclose(pOut);
        if (pErr) std::fclose(pErr);
        pOut = pErr = nullptr;
    }
    FILE *pOut = nullptr, *pErr = nullptr;
    char *pOutText = nullptr, *pErrText = nullptr;
    size_t uiOutSize = 0, uiErrSize = 0;
};

inline CommandParam Param(uint32_t func, uint32_t opt = 0, uint32_t opt2 = 0) {
    CommandParam p{};
    p.uiFuncCode = func;
    p.uiOptFlag = opt;
    p.uiOptFlag2 = opt2;
    return p;
}

// A per-pair area built from entries, as a group-file run leaves it.
struct Area {
    std::vector<unsigned char> vBytes;
    ReturnInfo ri{};
    explicit Area(const std::vector<PairResult> &entries) {
        vBytes.resize(ZRK_PAIR_AREA_SIZE(entries.size()));
        const uint32_t count = static_cast<uint32_t>(entries.size());
        std::memcpy(vBytes.data(), &count, 4);
        for (size_t i = 0; i < entries.size(); ++i) {
            std::memcpy(vBytes.data() + 4 + i * sizeof(PairResult), &entries[i], sizeof(PairResult));
        }
        ri.pPairArea = vBytes.data();
        ri.uiPairAreaLength = static_cast<uint32_t>(vBytes.size());
    }
};

inline PairResult Entry(const char *src, const char *dst, int32_t cls, uint32_t no, const char *msg) {
    PairResult e{};
    std::snprintf(e.caSource, sizeof(e.caSource), "%s", src);
    std::snprintf(e.caTarget, sizeof(e.caTarget), "%s", dst);
    e.iReturnClass = cls;
    e.uiMessageNo = no;
    std::snprintf(e.caMessage, sizeof(e.caMessage), "%s", msg);
    return e;
}

}  // namespace zrktest
