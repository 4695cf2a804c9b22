// The trace definition file "velkapi_trcdef.ini": the trace directory, the
// size, generations and slots that a new management file gets, and the level
// of each trace name.
//
//   [TRACEDEFINE]
//   path=/var/opt/QRVNzrkc/log   ; directory of the management and trace files
//   size=512                     ; KB per trace file, 1 to 999
//   gen=5                        ; generations per slot, 1 to 99
//   max=200                      ; slots, 1 to 999
//   [ZRKC]
//   level=3                      ; must be the line right after the section
//
// Text from ";" on is a comment, TABs are dropped, blanks are kept except in
// the value of a level line. The keys count on any line that begins with
// them, in any section; a later line overrides an earlier one.
#include "trace_internal.h"

#include "platform.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace zrkplatform::trace {

namespace {

constexpr size_t kLineLen = 1024;  // 1023 characters and the terminator

// Drops the comment, the TABs and the newline in place; returns the length.
size_t CleanLine(char *line) {
    size_t out = 0;
    for (size_t in = 0; line[in] != '\0'; ++in) {
        char c = line[in];
        if (c == ';') break;
        if (c == '\t' || c == '\n') continue;
        line[out++] = c;
    }
    line[out] = '\0';
    return out;
}

// The leading decimal number of a value, as atoi reads it (0 when there is
// none), saturated instead of overflowing.
long LeadingNumber(std::string_view value) {
    char text[kLineLen];
    size_t n = value.size() < sizeof text - 1 ? value.size() : sizeof text - 1;
    std::memcpy(text, value.data(), n);
    text[n] = '\0';
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    return end == text ? 0 : v;
}

// 0 becomes 1; negative values and values above top become top.
uint32_t ClampCount(long v, uint32_t top) {
    if (v == 0) return 1;
    if (v < 0 || v > static_cast<long>(top)) return top;
    return static_cast<uint32_t>(v);
}

// The value of a level line without its blanks; 0 unless it is 1 to 5.
uint32_t LevelValue(std::string_view value) {
    char text[kLineLen];
    size_t n = 0;
    for (char c : value) {
        if (c != ' ' && n < sizeof text - 1) text[n++] = c;
    }
    long v = LeadingNumber(std::string_view(text, n));
    return v >= 1 && v <= 5 ? static_cast<uint32_t>(v) : 0;
}

bool IsSectionOf(std::string_view line, std::string_view name) {
    return line.size() >= name.size() + 2 && line.front() == '[' &&
           line.substr(1, name.size()) == name && line[name.size() + 1] == ']';
}

struct FileCloser {
    void operator()(std::FILE *fp) const { std::fclose(fp); }
};

} // namespace

int ReadTraceDefinition(const char *path, std::string_view name, TraceDefinition &def) {
    def = TraceDefinition{};
    std::unique_ptr<std::FILE, FileCloser> fp(std::fopen(path, "re"));
    if (!fp) return kStepDefOpen + errno;

    char line[kLineLen];
    bool afterSection = false;
    while (std::fgets(line, sizeof line, fp.get()) != nullptr) {
        std::string_view text(line, CleanLine(line));
        bool levelExpected = afterSection;
        afterSection = false;

        if (levelExpected && text.starts_with("level=")) {
            def.uiLevel = LevelValue(text.substr(6));
        }
        if (text.starts_with("path=")) {
            std::string_view value = text.substr(5);
            if (!value.empty()) {
                std::memcpy(def.caPath, value.data(), value.size());
                def.caPath[value.size()] = '\0';
                def.uiPathLen = value.size();
            }
        } else if (text.starts_with("size=")) {
            def.uiSizeKb = ClampCount(LeadingNumber(text.substr(5)), kMaxSizeKb);
        } else if (text.starts_with("gen=")) {
            def.uiGen = ClampCount(LeadingNumber(text.substr(4)), kMaxGenerations);
        } else if (text.starts_with("max=")) {
            def.uiMax = ClampCount(LeadingNumber(text.substr(4)), kMaxSlots);
        }
        if (IsSectionOf(text, name)) afterSection = true;
    }
    return 0;
}

int K8TQ_com_traceinifile(char *out, size_t outLen) {
    char path[ZRK_PATH_LEN];
    switch (buildpathname("velkapi_trcdef.ini", path)) {
    case 0:
        break;
    case 3:
        return kStepDefOpen + ENAMETOOLONG;
    default:  // no installation file, or it names no etc directory
        return kStepDefOpen + ENOENT;
    }
    int n = std::snprintf(out, outLen, "%s", path);
    if (n < 0 || static_cast<size_t>(n) >= outLen) return kStepDefOpen + ENAMETOOLONG;
    return 0;
}

int K8TQ_Com_tracefiledir(char *out, size_t outLen) {
    int n = std::snprintf(out, outLen, "%s%c%s", "/var/opt/QRVNzrkc", '/', "log");
    return n < 0 || static_cast<size_t>(n) >= outLen ? kStepMngOpen + ENAMETOOLONG : 0;
}

} // namespace zrkplatform::trace
