// Error catalogues: the two installed text files that extend the built-in
// error texts. `.zrk_errinf_wxapi` maps a ZRKerrno value, a sense code or an
// array error code to an error code and its text; `.zrk_errinf_velk` maps a
// message number or a ZRKerrno value to a complete command-layer message.
//
// One entry per line, columns separated by one TAB each; lines beginning with
// "#" and empty lines are skipped. A line is read up to 1023 characters and
// the rest of a longer line is thrown away. A line matches only when it has
// the column that the lookup compares and that column equals the code; the
// first such line wins. Both files are read from the start on every lookup.
#include "fileread.h"
#include "platform.h"
#include "sysio.h"

#include <fcntl.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

using namespace zrkplatform;

namespace {

constexpr size_t kLineMax = 1023;   // characters of a line that are read
constexpr int kColumns = 4;         // columns of both catalogues

// Reads a file line by line, without the newlines. A line longer than
// kLineMax is cut there and the rest of it up to its newline is skipped, so
// that it can never be taken for a line of its own.
class LineReader {
public:
    explicit LineReader(int fd) : stFile(fd) {}

    // The next line, or false at the end of the file or on a read error.
    bool Next(std::string_view &line) {
        size_t length = 0;
        bool any = false;
        for (;;) {
            const int c = stFile.Get();
            if (c < 0) {
                if (!any) return false;
                break;
            }
            any = true;
            if (c == '\n') break;
            if (length < kLineMax) {
                caLine[length++] = static_cast<char>(c);
            }
        }
        line = std::string_view(caLine.data(), length);
        return true;
    }

    bool Failed() const { return stFile.Failed(); }

private:
    BufferedFile stFile;                 // the catalogue file
    std::array<char, kLineMax> caLine{}; // the line handed out last
};

// The columns of one line; the last column runs to the end of the line.
struct Columns {
    std::array<std::string_view, kColumns> svText{}; // the columns' texts
    int iCount = 0;                                  // columns present
};

Columns Split(std::string_view line) {
    Columns cols;
    for (int i = 0; i < kColumns; ++i) {
        size_t tab = line.find('\t');
        if (i == kColumns - 1 || tab == std::string_view::npos) {
            cols.svText[i] = line;
            cols.iCount = i + 1;
            break;
        }
        cols.svText[i] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    return cols;
}

int DigitValue(char c, unsigned base) {
    unsigned d;
    if (c >= '0' && c <= '9') {
        d = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
        d = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
        d = static_cast<unsigned>(c - 'A' + 10);
    } else {
        return -1;
    }
    return d < base ? static_cast<int>(d) : -1;
}

// A number column: hexadecimal when the column holds "0x" (its first two
// characters are then skipped), else decimal; read as far as there are
// digits, the way strtoul reads it, and kept to 32 bits. Where a column may
// say "none", a leading "-" gives 0.
uint32_t NumberColumn(std::string_view col, bool dashIsNone) {
    if (dashIsNone && !col.empty() && col.front() == '-') return 0;
    unsigned base = 10;
    if (col.find("0x") != std::string_view::npos) {
        col.remove_prefix(col.size() < 2 ? col.size() : 2);
        base = 16;
    }
    size_t i = 0;
    while (i < col.size() && (col[i] == ' ' || (col[i] >= '\t' && col[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < col.size() && (col[i] == '+' || col[i] == '-')) {
        negative = col[i] == '-';
        ++i;
    }
    unsigned long long value = 0;
    bool overflow = false;
    for (; i < col.size(); ++i) {
        int d = DigitValue(col[i], base);
        if (d < 0) break;
        if (value > (~0ULL - static_cast<unsigned>(d)) / base) {
            overflow = true;
        } else {
            value = value * base + static_cast<unsigned>(d);
        }
    }
    if (overflow) return ~0U;
    if (negative) value = 0ULL - value;
    return static_cast<uint32_t>(value);
}

// Column 2: its text and a newline, cut to fit the entry's 512 characters.
void MessageColumn(std::string_view col, char (&out)[ZRK_MESSAGE_LEN]) {
    std::snprintf(out, sizeof out, "%.*s\n", static_cast<int>(col.size()), col.data());
}

// Runs over the catalogue file and calls take(columns) for each entry line
// until it returns true. 0 when a line was taken, 1 at the end of the file,
// -1 when the file cannot be opened or read.
template <typename Take>
int Scan(const char *path, Take take) {
    if (path == nullptr) return -1;
    FileDescriptor file(sys::Open(path, O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) return -1;
    LineReader reader(file.Get());
    std::string_view line;
    while (reader.Next(line)) {
        if (line.empty() || line.front() == '#') continue;
        if (take(Split(line))) return 0;
    }
    return reader.Failed() ? -1 : 1;
}

// Column (0-based) that a lookup mode compares, or -1 for an unknown mode.
int KeyColumn(int mode) {
    switch (mode) {
    case ZRK_ERRINF_BY_ERRNO: return 0;
    case ZRK_ERRINF_BY_SENSE: return 2;
    case ZRK_ERRINF_BY_ARRAY: return 3;
    case ZRK_ERRINF_BY_MSGNO: return 0;
    case ZRK_ERRINF_BY_ZRKERR: return 3;
    default: return -1;
    }
}

bool CataloguePath(const char *name, char (&path)[ZRK_PATH_LEN]) {
    char dir[ZRK_PATH_LEN];
    if (build_directory_path(0, dir) != 0) return false;
    int n = std::snprintf(path, sizeof path, "%s/%s", dir, name);
    return n > 0 && static_cast<size_t>(n) < sizeof path;
}

void SetDefault(ErrInfoVelk *entry) {
    std::memset(entry, 0, sizeof *entry);
    entry->iReturnClass = 5;
    entry->iMessageNo = 1200;
    std::snprintf(entry->caMessage, sizeof entry->caMessage, "%s",
                  "ZRKC1200 ERROR Unexpected error.\n");
}

} // namespace

extern "C" int get_err_info_wxapi_file(const char *path, int mode, int code, ErrInfoWxapi *entry) {
    if (entry == nullptr) return -1;
    if (mode != ZRK_ERRINF_BY_ERRNO && mode != ZRK_ERRINF_BY_SENSE && mode != ZRK_ERRINF_BY_ARRAY) {
        return 1;
    }
    const int key = KeyColumn(mode);
    const uint32_t wanted = static_cast<uint32_t>(code);
    return Scan(path, [&](const Columns &cols) {
        if (cols.iCount <= key) return false;
        ErrInfoWxapi work{};
        work.iErrorCode = static_cast<int32_t>(NumberColumn(cols.svText[0], false));
        if (cols.iCount > 1) MessageColumn(cols.svText[1], work.caMessage);
        if (cols.iCount > 2) work.uiSenseCode = NumberColumn(cols.svText[2], true);
        if (cols.iCount > 3) work.uiArrayCode = NumberColumn(cols.svText[3], true);
        const uint32_t keys[kColumns] = {static_cast<uint32_t>(work.iErrorCode), 0,
                                         work.uiSenseCode, work.uiArrayCode};
        if (keys[key] != wanted) return false;
        *entry = work;
        return true;
    });
}

extern "C" int get_err_info_velk_file(const char *path, int mode, int code, ErrInfoVelk *entry) {
    if (entry == nullptr) return -1;
    SetDefault(entry);
    if (mode != ZRK_ERRINF_BY_MSGNO && mode != ZRK_ERRINF_BY_ZRKERR) return 1;
    const int key = KeyColumn(mode);
    const uint32_t wanted = static_cast<uint32_t>(code);
    return Scan(path, [&](const Columns &cols) {
        if (cols.iCount <= key) return false;
        ErrInfoVelk work{};
        work.iMessageNo = static_cast<int32_t>(NumberColumn(cols.svText[0], false));
        if (cols.iCount > 1) MessageColumn(cols.svText[1], work.caMessage);
        if (cols.iCount > 2) work.iReturnClass = static_cast<int32_t>(NumberColumn(cols.svText[2], false));
        if (cols.iCount > 3) work.iZrkErrno = static_cast<int32_t>(NumberColumn(cols.svText[3], true));
        const uint32_t keys[kColumns] = {static_cast<uint32_t>(work.iMessageNo), 0,
                                         static_cast<uint32_t>(work.iReturnClass),
                                         static_cast<uint32_t>(work.iZrkErrno)};
        if (keys[key] != wanted) return false;
        *entry = work;
        return true;
    });
}

extern "C" int get_err_info_wxapi(int mode, int code, ErrInfoWxapi *entry) {
    char path[ZRK_PATH_LEN];
    if (!CataloguePath(".zrk_errinf_wxapi", path)) return -1;
    return get_err_info_wxapi_file(path, mode, code, entry);
}

extern "C" int get_err_info_velk(int mode, int code, ErrInfoVelk *entry) {
    if (entry == nullptr) return -1;
    SetDefault(entry);
    char path[ZRK_PATH_LEN];
    if (!CataloguePath(".zrk_errinf_velk", path)) return -1;
    return get_err_info_velk_file(path, mode, code, entry);
}
