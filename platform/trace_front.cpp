// The library's two trace front ends, each over one process-wide handle of the
// trace-file facility:
//   - the API trace "WXAPI": records "word : name : text" followed by data,
//     with the caller id and process id remembered at open;
//   - the command trace "ZRKC": printf-formatted lines and hex dumps, with the
//     current process id and caller id 0.
// Callers ignore the results, so a missing or faulty trace definition only
// silences the trace.
#include "platform.h"
#include "trace_internal.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

char caTrcData[4096];

using namespace zrkplatform;

namespace {

struct ApiTrace {
    TraceHandle stHandle; // open between ZRKC_Com_OpenTrace and ZRKC_Com_CloseTrace
    int iCallerId;        // caller id given at open
    int iPid;             // process id at open
};

ApiTrace gApiTrace {};
TraceHandle gCommandTrace {};

constexpr size_t kApiRecordLen = 4096;   // records up to this length need no allocation
constexpr size_t kCommandLineLen = 1024; // one command trace line, terminated
constexpr char kMallocError[] = "malloc error";

// Opens a handle under a name, closing it first when a previous open was not
// closed, so that its descriptors and maps do not leak.
int Reopen(TraceHandle &handle, const char *name) {
    if (handle.pMngMap != nullptr) ZRKC_CloseTrace(&handle);
    std::memset(&handle, 0, sizeof handle);
    return ZRKC_OpenTrace(&handle, name);
}

int WriteCommandLine(int level, const char *line) {
    return ZRKC_OutputTrace(&gCommandTrace, level, static_cast<int>(getpid()), 0, 1,
                            static_cast<int>(strnlen(line, kCommandLineLen - 1)), line);
}

} // namespace

extern "C" int ZRKC_Com_OpenTrace(int callerId) {
    gApiTrace.iCallerId = callerId;
    gApiTrace.iPid = static_cast<int>(getpid());
    return Reopen(gApiTrace.stHandle, "WXAPI");
}

extern "C" int ZRKC_Com_OutputTrace(int level, int kind, const char *word, const char *name,
                                    const char *text, int length, const void *data) {
    if (word == nullptr) word = "";
    if (name == nullptr) name = "";
    if (text == nullptr) text = "";
    size_t dataLen = 0;
    if (kind == 1) {
        dataLen = data != nullptr ? std::strlen(static_cast<const char *>(data)) : 0;
    } else if (length < 0) {
        errno = trace::kOutputClass | trace::kBadLength;
        return -1;
    } else if (length > 0 && data == nullptr) {
        errno = trace::kOutputClass | trace::kNullData;
        return -1;
    } else {
        dataLen = static_cast<size_t>(length);
    }
    const size_t wordLen = std::strlen(word);
    const size_t nameLen = std::strlen(name);
    const size_t textLen = std::strlen(text);
    const size_t total = wordLen + nameLen + 6 + textLen + dataLen;
    if (total > INT_MAX) {
        errno = trace::kOutputClass | trace::kBadLength;
        return -1;
    }

    char local[kApiRecordLen + 1];
    std::unique_ptr<char[]> allocated;
    char *record = local;
    if (total > kApiRecordLen) {
        allocated.reset(new (std::nothrow) char[total]);
        record = allocated.get();
    }
    size_t recordLen = 0;
    if (record != nullptr) {
        auto append = [&](const void *bytes, size_t n) {
            if (n != 0) std::memcpy(record + recordLen, bytes, n);
            recordLen += n;
        };
        append(word, wordLen);
        append(" : ", 3);
        append(name, nameLen);
        append(" : ", 3);
        append(text, textLen);
        append(data, dataLen);
    } else {
        // No memory for the whole record: the prefix and the text, cut so that
        // the marker always fits.
        record = local;
        const size_t room = sizeof local - (sizeof kMallocError - 1);
        int n = std::snprintf(local, room, "%s : %s : %s", word, name, text);
        recordLen = n < 0 ? 0 : (static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room - 1);
        std::memcpy(local + recordLen, kMallocError, sizeof kMallocError);
        recordLen += sizeof kMallocError - 1;
    }
    return ZRKC_OutputTrace(&gApiTrace.stHandle, level, gApiTrace.iPid, gApiTrace.iCallerId, kind,
                            static_cast<int>(recordLen), record);
}

extern "C" int ZRKC_Com_CloseTrace(void) { return ZRKC_CloseTrace(&gApiTrace.stHandle); }

namespace zrkplatform {

void TraceTextV(int level, const char *word, const char *name, const char *format,
                va_list args) {
    std::memset(caTrcData, 0, sizeof caTrcData);
    std::vsnprintf(caTrcData, sizeof caTrcData, format, args);
    ZRKC_Com_OutputTrace(level, 1, word, name, nullptr, 0, caTrcData);
}

void TraceText(int level, const char *word, const char *name, const char *format, ...) {
    va_list args;
    va_start(args, format);
    TraceTextV(level, word, name, format, args);
    va_end(args);
}

void TraceData(int level, const char *name, const void *data, int length) {
    ZRKC_Com_OutputTrace(level, 2, "INFO", name, nullptr, length, data);
}

int TraceEnd(int level, const char *name, int ret) {
    TraceText(level, ret == 0 ? "INFO" : "ERR", name, "END(ret=%d, ZRKerrno=%d)", ret, ZRKerrno);
    return ret;
}

void VelkErrEnd(const char *name, int line) {
    velk_trace(1, "%s error end. [%d]", name, line);
}

void VelkErrEnd(const char *name, const char *cause, int line) {
    velk_trace(1, "%s error end.(%s) [%d]", name, cause, line);
}

} // namespace zrkplatform

extern "C" int velk_trace_init(void) { return Reopen(gCommandTrace, "ZRKC"); }

extern "C" int velk_trace(int level, const char *format, ...) {
    if (level == 6) return 0;
    char line[kCommandLineLen] = {};
    if (format != nullptr) {
        va_list ap;
        va_start(ap, format);
        std::vsnprintf(line, sizeof line, format, ap);
        va_end(ap);
    }
    return WriteCommandLine(level, line);
}

extern "C" int velk_trace_dmp(int level, const char *title, const void *data, int size) {
    int result = WriteCommandLine(level, title != nullptr ? title : "");
    int firstErrno = result != 0 ? errno : 0;
    auto emit = [&](const char *line) {
        if (WriteCommandLine(level, line) != 0 && result == 0) {
            result = -1;
            firstErrno = errno;
        }
    };
    if (data != nullptr && size > 0) {
        const auto *bytes = static_cast<const unsigned char *>(data);
        char line[64] = {};  // "0x%08x : " and 16 bytes in four groups: 49 characters
        size_t used = 0;
        for (int p = 0; p < size; ++p) {
            if (p % 16 == 0) {
                if (p != 0) emit(line);
                used = static_cast<size_t>(std::snprintf(line, sizeof line, "0x%08x : ",
                                                         static_cast<unsigned>(p)));
            }
            used += static_cast<size_t>(std::snprintf(line + used, sizeof line - used, "%02x%s",
                                                      bytes[p], p % 4 == 3 ? " " : ""));
        }
        emit(line);
    }
    if (result != 0) errno = firstErrno;
    return result;
}

extern "C" int velk_trace_term(void) { return ZRKC_CloseTrace(&gCommandTrace); }
