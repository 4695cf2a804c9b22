// The reply scanner of the show commands: the column kinds and the scan of
// one record line by a member's table. Every show parser reads its record
// lines through here.
#include "ipshow.h"

#include "platform.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

using namespace zrkip;

namespace zrkip {

namespace {

void Store32(void *record, size_t offset, uint32_t value) {
    std::memcpy(static_cast<uint8_t *>(record) + offset, &value, sizeof value);
}

}  // namespace

// ---- column kinds ------------------------------------------------------------

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

// ---- line scanning -------------------------------------------------------------

bool ColumnScanner::Next(std::string_view *column) {
    if (bDone || svRest.empty()) {
        bDone = true;
        return false;
    }
    const size_t tab = svRest.find('\t');
    if (tab == std::string_view::npos) {
        *column = svRest;
        svRest = std::string_view();
        bDone = true;
    } else {
        *column = svRest.substr(0, tab);
        svRest = svRest.substr(tab + 1);
    }
    ++uiCount;
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

// Written straight into the trace line buffer: it is written once per
// column, so it stays clear of printf.
void TraceColumn(const char *name, size_t index, std::string_view text, bool cutText) {
    constexpr size_t kMax = 511;
    char *const line = caTrcData;
    char *p = std::to_chars(line, line + 24, index).ptr;
    std::memcpy(p, " - ", 3);
    p += 3;
    if (text.empty()) text = "NULL";
    const size_t used = static_cast<size_t>(p - line);
    const size_t n = std::min(text.size(), cutText ? kMax : kMax - used);
    std::memcpy(p, text.data(), n);
    p[n] = '\0';
    ZRKC_Com_OutputTrace(3, 1, "INFO", name, nullptr, 0, caTrcData);
}

namespace {

int Convert(const Column &column, std::string_view text, void *record) {
    uint8_t *base = static_cast<uint8_t *>(record);
    uint64_t value = 0;
    switch (column.eKind) {
    case Kind::Skip:
    case Kind::Silent:
    case Kind::Word:
        return 0;
    case Kind::Hex8:
        if (ReadHex(text, &value) != 0) return -1;
        base[column.uiOffset] = static_cast<uint8_t>(value);
        return 0;
    case Kind::Hex16: {
        if (ReadHex(text, &value) != 0) return -1;
        const uint16_t v16 = static_cast<uint16_t>(value);
        std::memcpy(base + column.uiOffset, &v16, sizeof v16);
        return 0;
    }
    case Kind::Hex32:
        if (ReadHex(text, &value) != 0) return -1;
        Store32(record, column.uiOffset, static_cast<uint32_t>(value));
        return 0;
    case Kind::Count32:
        if (ReadHex(text, &value) != 0) return -1;
        if (value > UINT32_MAX) return FailWith(ZRK_ERR_REPLY_NUMBER);
        Store32(record, column.uiOffset, static_cast<uint32_t>(value));
        return 0;
    case Kind::Hex64:
    case Kind::Blocks64: {
        uint32_t high = 0;
        uint32_t low = 0;
        if (ReadHex64(text, &high, &low) != 0) return -1;
        if (column.eKind == Kind::Blocks64) {
            const uint64_t blocks = Join64(high, low) << 11;
            high = static_cast<uint32_t>(blocks >> 32);
            low = static_cast<uint32_t>(blocks);
        }
        Store32(record, column.uiOffset, high);
        Store32(record, column.uiOffset2, low);
        return 0;
    }
    case Kind::Text:
        CopyText(text, base + column.uiOffset, column.uiWidth);
        return 0;
    case Kind::DateTime:
        PackDateTime(text, base + column.uiOffset);
        return 0;
    }
    return 0;
}

}  // namespace

int ScanRecord(const Table &table, const char *line, void *record, size_t *columns) {
    if (table.uiRecordSize != 0) std::memset(record, 0, table.uiRecordSize);
    if (columns != nullptr) *columns = 0;
    if (line == nullptr) return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    ColumnScanner scan(line);
    std::string_view text;
    while (scan.Next(&text)) {
        const size_t index = scan.Count() - 1;
        if (index >= table.uiColumnCount) {
            TraceColumn(table.pName, index, "default", table.bCutText);
            continue;
        }
        if (table.pFixed != nullptr) {
            const char *word = table.pFixed(index, record, table.pContext);
            if (word != nullptr) {
                TraceColumn(table.pName, index, word, table.bCutText);
                continue;
            }
        }
        const Column &column = table.pColumns[index];
        if (column.eKind == Kind::Silent) continue;
        if (column.eKind == Kind::Word) {
            TraceColumn(table.pName, index, column.pWord, table.bCutText);
            continue;
        }
        if (Convert(column, text, record) != 0) return -1;
        TraceColumn(table.pName, index, text, table.bCutText);
    }
    if (columns != nullptr) *columns = scan.Count();
    if (scan.Count() < table.uiMinColumns) {
        TraceText(3, "INFO", table.pName, "%zu - %s", scan.Count(), "Err");
        return FailWith(ZRK_ERR_REPLY_INCOMPLETE);
    }
    return 0;
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
            ZRKerrno = ZRK_ERR_TOO_LONG;
            return false;
        }
        if (i > 0) list->push_back(',');
        list->append(digits, static_cast<size_t>(n));
    }
    return true;
}

}  // namespace zrkip
