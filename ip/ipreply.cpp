// The array reply format: lines split at newlines, a hexadecimal status in
// line 1, the array's error code in line 2 of a failed reply; and the mapping
// of array error codes to ZRKerrno.
//
// Counts read from a reply are never taken as sizes on trust: the split
// writes no more entries than its caller's array holds, and every size is
// computed in size_t.
#include "iplink.h"

#include "platform.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>

using namespace zrkip;

namespace {

// Array error codes that map to ZRK_ERR_ARRAY_BASE + code, sorted. The two
// codes that are answered with another code's value follow in kAliases.
constexpr uint16_t kArrayCodes[] = {
    0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007, 0x0008, 0x0010, 0x0020,
    0x0060, 0x0070, 0x0072, 0x0073, 0x0080, 0x0094, 0x0098, 0x0101, 0x0110, 0x0118,
    0x0120, 0x0142, 0x0151, 0x0152, 0x0153, 0x0154, 0x0155, 0x0156, 0x0157, 0x0158,
    0x0159, 0x5100, 0x5200, 0x5201, 0x5300, 0x5301, 0x5302, 0x5303, 0x5304, 0x5305,
    0x5306, 0x5307, 0x5308, 0x5309, 0x5310, 0x5311, 0x5312, 0x5313, 0x5314, 0x5315,
    0x5316, 0x5317, 0x5318, 0x5319, 0x5320, 0x5323, 0x5324, 0x5325, 0x5327, 0x5328,
    0x5329, 0x5330, 0x5331, 0x5332, 0x5333, 0x5334, 0x5335, 0x5336, 0x5337, 0x5338,
    0x5339, 0x5340, 0x5341, 0x5346, 0x5347, 0x5348, 0x5349, 0x5350, 0x5351, 0x5352,
    0x5353, 0x5354, 0x5355, 0x5356, 0x5357, 0x5358, 0x5359, 0x5360, 0x5361, 0x5362,
    0x5363, 0x5364, 0x5365, 0x5366, 0x5367, 0x5368, 0x5369, 0x5370, 0x5371, 0x5372,
    0x5373, 0x5374, 0x5375, 0x5376, 0x5377, 0x5378, 0x5379, 0x5380, 0x5381, 0x5382,
    0x5383, 0x5384, 0x5385, 0x5386, 0x5387, 0x5388, 0x5389, 0x5390, 0x5391, 0x5392,
    0x5393, 0x5394, 0x5395, 0x5400, 0x5401, 0x5402, 0x6007, 0x9403, 0xBE00, 0xBE01,
    0xD801,
};
static_assert(std::size(kArrayCodes) == 131, "array error table");

struct Alias {
    uint16_t usCode;  // array error code
    uint16_t usAs;    // code whose value it takes
};
constexpr Alias kAliases[] = {
    {0x0070, 0x5360},
    {0x5332, 0x5200},
};

// Unsigned hexadecimal as the array writes it. false when the value does not
// fit in 64 bits.
bool ReadPlainHex(const char *text, uint64_t *value) {
    *value = 0;
    if (text == nullptr) return true;
    return zrkip::ScanPlainHex(text, value) != nullptr;
}

}  // namespace

extern "C" int IPArrayErrorValue(uint32_t code) {
    for (const Alias &a : kAliases) {
        if (a.usCode == code) return ZRK_ERR_ARRAY_BASE + a.usAs;
    }
    if (code > 0xFFFF) return 0;
    const uint16_t key = static_cast<uint16_t>(code);
    return std::binary_search(std::begin(kArrayCodes), std::end(kArrayCodes), key)
               ? static_cast<int>(ZRK_ERR_ARRAY_BASE + code)
               : 0;
}

extern "C" int IPReadHex64(const char *text, uint64_t *value) {
    uint64_t v = 0;
    if (!ReadPlainHex(text, &v)) {
        ZRKerrno = ZRK_ERR_REPLY_NUMBER;
        if (value != nullptr) *value = 0;
        return -1;
    }
    if (value != nullptr) *value = v;
    return 0;
}

extern "C" int IPReadHex(const char *text, uint32_t *value) {
    uint64_t v = 0;
    if (IPReadHex64(text, &v) != 0) {
        if (value != nullptr) *value = 0;
        return -1;
    }
    if (value != nullptr) *value = static_cast<uint32_t>(v);
    return 0;
}

extern "C" int IPGetLineNumFromData(const char *data, int *count) {
    static const char name[] = "IPGetLineNumFromData";
    TraceText(2, "INFO", name, "START");
    if (count != nullptr) *count = 0;
    if (data == nullptr || data[0] == '\0' || count == nullptr) {
        TraceText(1, "ERR", name, " cpCmdRes is empty ");
        ZRKerrno = ZRK_ERR_REPLY;
        return zrkplatform::TraceEnd(1, name, -1);
    }
    size_t lines = 1;
    for (const char *p = data + 1; *p != '\0'; ++p) lines += *p == '\n';
    if (lines > INT_MAX) {
        ZRKerrno = ZRK_ERR_REPLY;
        return zrkplatform::TraceEnd(1, name, -1);
    }
    *count = static_cast<int>(lines);
    return zrkplatform::TraceEnd(2, name, 0);
}

extern "C" int IPSplitDataByLine(const char *data, int *count, char **lines) {
    static const char name[] = "IPSplitDataByLine";
    TraceText(2, "INFO", name, "START");
    // The caller's array holds as many entries as *count says; a count of 0
    // or less leaves the size to the text itself.
    size_t room = SIZE_MAX;
    if (count != nullptr && *count > 0) room = static_cast<size_t>(*count);
    if (count != nullptr) *count = 0;
    size_t made = 0;
    auto fail = [&](int err, const char *why) {
        for (size_t i = 0; i < made; ++i) {
            std::free(lines[i]);
            lines[i] = nullptr;
        }
        if (count != nullptr) *count = 0;
        TraceText(1, "ERR", name, "%s", why);
        ZRKerrno = err;
        return zrkplatform::TraceEnd(1, name, -1);
    };
    if (data == nullptr || count == nullptr || lines == nullptr) {
        return fail(ZRK_ERR_REPLY, " iLineCnt is 0 ");
    }
    if (data[0] == '\n') return fail(ZRK_ERR_REPLY, " cpCmdRes is 0Ah ");
    if (data[0] == '\0') return fail(ZRK_ERR_REPLY, " iLineCnt is 0 ");

    const char *start = data;
    for (const char *p = data;; ++p) {
        if (*p != '\n' && *p != '\0') continue;
        if (made >= room) return fail(ZRK_ERR_REPLY, " line array is too small ");
        const size_t n = static_cast<size_t>(p - start);
        char *line = static_cast<char *>(std::malloc(n + 1));
        if (line == nullptr) return fail(ZRK_ERR_NO_MEMORY, " malloc error ");
        std::memcpy(line, start, n);
        line[n] = '\0';
        lines[made++] = line;
        if (*p == '\0') break;
        start = p + 1;
    }
    *count = static_cast<int>(made);
    return zrkplatform::TraceEnd(2, name, 0);
}

extern "C" void IPSet_ZRKerrno(int status, char **lines, int count) {
    static const char name[] = "IPSet_ZRKerrno";
    TraceText(1, "INFO", name, "START");
    const bool shaped = (status == 1 && (count == 4 || count == 5)) || (status == 2 && count == 2);
    if (shaped && lines != nullptr && lines[1] != nullptr) {
        uint64_t code = 0;
        if (!ReadPlainHex(lines[1], &code)) {
            TraceText(2, "ERR", name, " errno=ERANGE ");
            ZRKerrno = ZRK_ERR_REPLY_NUMBER;
        } else {
            IPSet_ZRKerrno_main(static_cast<int>(static_cast<uint32_t>(code)));
        }
    } else if (status == 1) {
        TraceText(2, "ERR", name, " uiLineNum is not 4 or 5 ");
        ZRKerrno = ZRK_ERR_REPLY;
    } else if (status == 2) {
        TraceText(2, "ERR", name, " uiLineNum is not 2 ");
        ZRKerrno = ZRK_ERR_REPLY;
    } else {
        TraceText(2, "ERR", name, " uiStatus is not 1 or 2 ");
        ZRKerrno = ZRK_ERR_REPLY;
    }
    zrkplatform::TraceEnd(1, name, -1);
}

extern "C" void IPSet_ZRKerrno_main(int code) {
    static const char name[] = "IPSet_ZRKerrno_main";
    TraceText(1, "INFO", name, "START");
    const uint32_t ucode = static_cast<uint32_t>(code);
    int value = IPArrayErrorValue(ucode);
    if (value == 0) {
        ErrInfoWxapi entry {};
        if (get_err_info_wxapi(ZRK_ERRINF_BY_ARRAY, code, &entry) == 0) {
            value = entry.iErrorCode;
        } else {
            // Minus the code, computed without overflow: 0x80000000 stays
            // INT_MIN.
            value = static_cast<int>(0u - ucode);
        }
    }
    ZRKerrno = value;
    zrkplatform::TraceEnd(1, name, 0);
}

// ---- numbers of a reply ------------------------------------------------------------

namespace zrkip {

namespace {

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

const char *ScanPlainHex(const char *text, uint64_t *value) {
    *value = 0;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    while (*p != '\0' && std::isspace(*p)) ++p;
    uint64_t v = 0;
    for (; std::isxdigit(*p); ++p) {
        const unsigned digit = std::isdigit(*p) ? *p - '0' : (std::tolower(*p) - 'a' + 10);
        if (v > (UINT64_MAX >> 4)) return nullptr;
        v = (v << 4) | digit;
    }
    *value = v;
    return reinterpret_cast<const char *>(p);
}

int ReadHex32(const char *text, uint32_t *value) {
    uint64_t wide = 0;
    if (IPReadHex64(text, &wide) != 0) return -1;
    if (wide > UINT32_MAX) return FailWith(ZRK_ERR_REPLY_NUMBER);
    *value = static_cast<uint32_t>(wide);
    return 0;
}

int ReadHex(std::string_view text, uint64_t *value) {
    *value = 0;
    size_t i = 0;
    const size_t n = text.size();
    auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < n && IsBlank(at(i))) ++i;
    bool negative = false;
    if (i < n && (at(i) == '+' || at(i) == '-')) {
        negative = at(i) == '-';
        ++i;
    }
    // "0x" counts as a prefix only when a hex digit follows it; otherwise
    // the 0 is the number and the x ends it.
    if (i + 2 < n && at(i) == '0' && (at(i + 1) == 'x' || at(i + 1) == 'X') &&
        HexDigit(at(i + 2)) >= 0) {
        i += 2;
    }
    uint64_t v = 0;
    for (; i < n; ++i) {
        const int digit = HexDigit(at(i));
        if (digit < 0) break;
        if (v > (UINT64_MAX >> 4)) return FailWith(ZRK_ERR_REPLY_NUMBER);
        v = (v << 4) | static_cast<uint64_t>(digit);
    }
    *value = negative ? 0 - v : v;
    return 0;
}

int ReadHex64(std::string_view text, uint32_t *high, uint32_t *low) {
    *high = 0;
    *low = 0;
    if (text.size() > 16) return FailWith(ZRK_ERR_REPLY_NUMBER);
    uint64_t h = 0;
    uint64_t l = 0;
    if (text.size() <= 8) {
        if (ReadHex(text, &l) != 0) return -1;
    } else {
        const size_t split = text.size() - 8;
        if (ReadHex(text.substr(0, split), &h) != 0) return -1;
        if (ReadHex(text.substr(split), &l) != 0) return -1;
    }
    *high = static_cast<uint32_t>(h);
    *low = static_cast<uint32_t>(l);
    return 0;
}

int ReadHex32Line(const char *line, uint32_t *value) {
    *value = 0;
    uint64_t wide = 0;
    if (ReadHex(line != nullptr ? std::string_view(line) : std::string_view(), &wide) != 0) {
        return -1;
    }
    if (wide > UINT32_MAX) return FailWith(ZRK_ERR_REPLY_NUMBER);
    *value = static_cast<uint32_t>(wide);
    return 0;
}

// ---- one reply ------------------------------------------------------------------------

void Reply::Release() {
    if (ppLines != nullptr) {
        for (size_t i = 0; i < uiCount; ++i) std::free(ppLines[i]);
        std::free(ppLines);
    }
    ppLines = nullptr;
    uiCount = 0;
}

int Reply::Split(const char *text) {
    Release();
    int n = 0;
    if (text == nullptr || IPGetLineNumFromData(text, &n) != 0 || n <= 0) {
        return FailWith(ZRK_ERR_REPLY);
    }
    char **array = static_cast<char **>(std::calloc(static_cast<size_t>(n), sizeof(char *)));
    if (array == nullptr) return FailWith(ZRK_ERR_NO_MEMORY);
    int made = n;
    if (IPSplitDataByLine(text, &made, array) != 0) {
        std::free(array);
        return -1;
    }
    ppLines = array;
    uiCount = static_cast<size_t>(made);
    return 0;
}

int Reply::Run(const char *ipAddress, const char *user, const std::string &command) {
    Release();
    char *text = nullptr;
    if (IPExecVastrelCLI(ipAddress, user, 0, command.c_str(), &text) != 0) {
        std::free(text);
        return -1;
    }
    const int rc = Split(text);
    std::free(text);
    return rc;
}

void Reply::SetError(uint32_t status) const {
    const int lines = uiCount > INT_MAX ? INT_MAX : static_cast<int>(uiCount);
    IPSet_ZRKerrno(static_cast<int>(status), ppLines, lines);
}

int Reply::CheckStatus() const {
    const char *first = Line(1);
    if (first == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint32_t status = 0;
    if (ReadHex32(first, &status) != 0) return -1;
    if (status != 0) {
        SetError(status);
        return -1;
    }
    return 0;
}

int Reply::CheckHead() const {
    if (uiCount < 2 || Line(1) == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    uint32_t status = 0;
    if (ReadHex32Line(Line(1), &status) != 0) return -1;
    if (status != 0) {
        SetError(status);
        // A failed reply whose error code maps to nothing (code 0, an empty
        // error line) must still fail visibly.
        if (ZRKerrno == 0) ZRKerrno = ZRK_ERR_REPLY;
        return -1;
    }
    return 0;
}

int Reply::Head(const char *name, uint32_t *records) const {
    *records = 0;
    if (uiCount < 2 || Line(1) == nullptr) TraceText(1, "ERR", name, " iLineCnt=%zu ", uiCount);
    if (CheckHead() != 0) return -1;
    uint32_t announced = 0;
    if (ReadHex32Line(Line(2), &announced) != 0) return -1;
    *records = announced;
    if (announced > uiCount - 2) {
        TraceText(1, "ERR", name, " record count %u, record lines %zu ", announced, uiCount - 2);
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    return 0;
}

}  // namespace zrkip
