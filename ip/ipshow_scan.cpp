// The reply scanner of the show commands: the column kinds, the scan of one
// record line by a member's table, and the head of a show reply (status and
// record count). Every show parser runs its reply through here.
#include "ipshow.h"

#include "platform.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zrkshow {

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

void Store32(void *record, size_t offset, uint32_t value) {
    std::memcpy(static_cast<uint8_t *>(record) + offset, &value, sizeof value);
}

}  // namespace

int Fail(int code) {
    ZRKerrno = code;
    return -1;
}

void Trace(int level, const char *word, const char *name, const char *format, ...) {
    // vsnprintf always terminates the line; nothing of an older line is read.
    va_list args;
    va_start(args, format);
    std::vsnprintf(caTrcData, sizeof caTrcData, format, args);
    va_end(args);
    ZRKC_Com_OutputTrace(level, 1, word, name, nullptr, 0, caTrcData);
}

int TraceEnd(const char *name, int ret) {
    Trace(1, ret == 0 ? "INFO" : "ERR", name, "END(ret=%d, ZRKerrno=%d)", ret, ZRKerrno);
    return ret;
}

// ---- column kinds ------------------------------------------------------------

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
        if (v > (UINT64_MAX >> 4)) return Fail(IP_SHOW_ERR_NUMBER);
        v = (v << 4) | static_cast<uint64_t>(digit);
    }
    *value = negative ? 0 - v : v;
    return 0;
}

int ReadHex64(std::string_view text, uint32_t *high, uint32_t *low) {
    *high = 0;
    *low = 0;
    if (text.size() > 16) return Fail(IP_SHOW_ERR_NUMBER);
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

void CopyText(std::string_view text, uint8_t *field, size_t width) {
    size_t n = 0;
    while (n < width && n < text.size() && text[n] != '\0') ++n;
    if (n != 0) std::memcpy(field, text.data(), n);
    if (n < width) std::memset(field + n, 0, width - n);
}

void PackDateTime(std::string_view text, uint8_t field[8]) {
    auto digit = [&](size_t k) -> unsigned {
        if (k >= text.size()) return 0;
        const unsigned char c = static_cast<unsigned char>(text[k]);
        return c >= '0' && c <= '9' ? c - '0' : 0;
    };
    for (size_t k = 0; k < 8; ++k) {
        field[k] = static_cast<uint8_t>(16 * digit(2 * k) + digit(2 * k + 1));
    }
}

int ReadHex32Line(const char *line, uint32_t *value) {
    *value = 0;
    uint64_t wide = 0;
    if (ReadHex(line != nullptr ? std::string_view(line) : std::string_view(), &wide) != 0) {
        return -1;
    }
    if (wide > UINT32_MAX) return Fail(IP_SHOW_ERR_NUMBER);
    *value = static_cast<uint32_t>(wide);
    return 0;
}

// ---- line scanning -------------------------------------------------------------

bool ColumnScanner::Next(std::string_view *column) {
    if (done_ || rest_.empty()) {
        done_ = true;
        return false;
    }
    const size_t tab = rest_.find('\t');
    if (tab == std::string_view::npos) {
        *column = rest_;
        rest_ = std::string_view();
        done_ = true;
    } else {
        *column = rest_.substr(0, tab);
        rest_ = rest_.substr(tab + 1);
    }
    ++count_;
    return true;
}

size_t CountColumns(const char *line) {
    ColumnScanner scan(line);
    std::string_view column;
    while (scan.Next(&column)) {
    }
    return scan.Count();
}

// ---- a member's record table ------------------------------------------------------

namespace {

// One column's trace line, "%d - %s" cut to 511 characters, written
// straight into the trace line buffer: it is written once per column, so it
// stays clear of printf.
void TraceColumn(const char *name, size_t index, std::string_view text) {
    constexpr size_t kLineMax = 511;
    char *const line = caTrcData;
    char *p = std::to_chars(line, line + 24, index).ptr;
    std::memcpy(p, " - ", 3);
    p += 3;
    if (text.empty()) text = "NULL";
    const size_t used = static_cast<size_t>(p - line);
    const size_t n = std::min(text.size(), kLineMax - used);
    std::memcpy(p, text.data(), n);
    p[n] = '\0';
    ZRKC_Com_OutputTrace(3, 1, "INFO", name, nullptr, 0, caTrcData);
}

int Convert(const Column &column, std::string_view text, void *record) {
    uint8_t *base = static_cast<uint8_t *>(record);
    uint64_t value = 0;
    switch (column.kind) {
    case Kind::Skip:
        return 0;
    case Kind::Hex8:
        if (ReadHex(text, &value) != 0) return -1;
        base[column.offset] = static_cast<uint8_t>(value);
        return 0;
    case Kind::Hex16: {
        if (ReadHex(text, &value) != 0) return -1;
        const uint16_t v16 = static_cast<uint16_t>(value);
        std::memcpy(base + column.offset, &v16, sizeof v16);
        return 0;
    }
    case Kind::Hex32:
        if (ReadHex(text, &value) != 0) return -1;
        Store32(record, column.offset, static_cast<uint32_t>(value));
        return 0;
    case Kind::Hex64: {
        uint32_t high = 0;
        uint32_t low = 0;
        if (ReadHex64(text, &high, &low) != 0) return -1;
        Store32(record, column.offset, high);
        Store32(record, column.offset2, low);
        return 0;
    }
    case Kind::Text:
        CopyText(text, base + column.offset, column.width);
        return 0;
    case Kind::DateTime:
        PackDateTime(text, base + column.offset);
        return 0;
    }
    return 0;
}

}  // namespace

int ScanRecord(const Table &table, const char *line, void *record) {
    std::memset(record, 0, table.recordSize);
    if (line == nullptr) return Fail(IP_SHOW_ERR_MALFORMED);
    ColumnScanner scan(line);
    std::string_view text;
    while (scan.Next(&text)) {
        const size_t index = scan.Count() - 1;
        if (index >= table.columnCount) {
            TraceColumn(table.name, index, "default");
            continue;
        }
        if (table.fixed != nullptr) {
            const char *word = table.fixed(index, record, table.context);
            if (word != nullptr) {
                TraceColumn(table.name, index, word);
                continue;
            }
        }
        if (Convert(table.columns[index], text, record) != 0) return -1;
        TraceColumn(table.name, index, text);
    }
    if (scan.Count() < table.minColumns) {
        Trace(3, "INFO", table.name, "%zu - %s", scan.Count(), "Err");
        return Fail(IP_SHOW_ERR_MALFORMED);
    }
    return 0;
}

// ---- the reply ---------------------------------------------------------------------

void Reply::Release() {
    IPFreeLines(lines_, static_cast<int>(count_));
    lines_ = nullptr;
    count_ = 0;
}

int Reply::Split(const char *text) {
    Release();
    int n = 0;
    if (text == nullptr || IPGetLineNumFromData(text, &n) != 0 || n <= 0) {
        return Fail(IP_ERR_REPLY);
    }
    char **array = static_cast<char **>(std::calloc(static_cast<size_t>(n), sizeof(char *)));
    if (array == nullptr) return Fail(IP_SHOW_ERR_NOMEM);
    int made = n;
    if (IPSplitDataByLine(text, &made, array) != 0) {
        std::free(array);
        return -1;
    }
    lines_ = array;
    count_ = static_cast<size_t>(made);
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

int Reply::Head(const char *name, uint32_t *records) {
    *records = 0;
    if (count_ < 2 || lines_ == nullptr || lines_[0] == nullptr) {
        Trace(1, "ERR", name, " iLineCnt=%zu ", count_);
        return Fail(IP_SHOW_ERR_MALFORMED);
    }
    uint32_t status = 0;
    if (ReadHex32Line(lines_[0], &status) != 0) return -1;
    if (status != 0) {
        const int lines = count_ > INT_MAX ? INT_MAX : static_cast<int>(count_);
        IPSet_ZRKerrno(static_cast<int>(status), lines_, lines);
        // A failed reply whose error code maps to nothing must still fail
        // visibly: the array's code 0 says nothing about the failure.
        if (ZRKerrno == 0) ZRKerrno = IP_ERR_REPLY;
        return -1;
    }
    if (lines_[1] == nullptr) return Fail(IP_SHOW_ERR_MALFORMED);
    uint32_t announced = 0;
    if (ReadHex32Line(lines_[1], &announced) != 0) return -1;
    *records = announced;
    if (announced > count_ - 2) {
        Trace(1, "ERR", name, " record count %u, record lines %zu ", announced, count_ - 2);
        return Fail(IP_SHOW_ERR_MALFORMED);
    }
    return 0;
}

const char *Reply::Record(size_t i) const {
    if (lines_ == nullptr || count_ < 2 || i >= count_ - 2) return nullptr;
    return lines_[i + 2];
}

// ---- command text ------------------------------------------------------------------

bool JoinNumbers(const int *numbers, size_t count, std::string *list) {
    list->clear();
    char digits[16];
    for (size_t i = 0; i < count; ++i) {
        const int n = std::snprintf(digits, sizeof digits, "%d", numbers[i]);
        const size_t extra = static_cast<size_t>(n) + (i > 0 ? 1 : 0);
        // The list and its terminator must fit a buffer of IP_CMD_MAX.
        if (list->size() + extra >= IP_CMD_MAX) {
            ZRKerrno = IP_SHOW_ERR_TOO_LONG;
            return false;
        }
        if (i > 0) list->push_back(',');
        list->append(digits, static_cast<size_t>(n));
    }
    return true;
}

}  // namespace zrkshow
