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
#include "platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr size_t kLineMax = 1023;   // characters of a line that are read
constexpr int kColumns = 4;         // columns of both catalogues

// Reads a file line by line from a descriptor, without the newlines. A line
// longer than kLineMax is cut there and the rest of it up to its newline is
// skipped, so that it can never be taken for a line of its own.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}

    // The next line, or false at the end of the file or on a read error.
    bool next(std::string_view &line) {
        size_t length = 0;
        bool any = false;
        for (;;) {
            if (pos_ == end_ && !fill()) {
                if (!any) return false;
                break;
            }
            char c = buf_[pos_++];
            any = true;
            if (c == '\n') break;
            if (length < kLineMax) {
                line_[length++] = c;
            }
        }
        line = std::string_view(line_.data(), length);
        return true;
    }

    bool failed() const { return failed_; }

private:
    bool fill() {
        if (eof_) return false;
        for (;;) {
            ssize_t n = read(fd_, buf_.data(), buf_.size());
            if (n > 0) {
                pos_ = 0;
                end_ = static_cast<size_t>(n);
                return true;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) failed_ = true;
            eof_ = true;
            return false;
        }
    }

    int fd_;
    std::array<char, 4096> buf_{};
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    std::array<char, kLineMax> line_{};
};

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The columns of one line; the last column runs to the end of the line.
struct Columns {
    std::array<std::string_view, kColumns> text{};
    int count = 0;  // columns present
};

Columns split(std::string_view line) {
    Columns cols;
    for (int i = 0; i < kColumns; ++i) {
        size_t tab = line.find('\t');
        if (i == kColumns - 1 || tab == std::string_view::npos) {
            cols.text[i] = line;
            cols.count = i + 1;
            break;
        }
        cols.text[i] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    return cols;
}

int digit_value(char c, unsigned base) {
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
uint32_t number_column(std::string_view col, bool dashIsNone) {
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
        int d = digit_value(col[i], base);
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
void message_column(std::string_view col, char (&out)[ZRK_MESSAGE_LEN]) {
    std::snprintf(out, sizeof out, "%.*s\n", static_cast<int>(col.size()), col.data());
}

// Runs over the catalogue file and calls take(columns) for each entry line
// until it returns true. 0 when a line was taken, 1 at the end of the file,
// -1 when the file cannot be opened or read.
template <typename Take>
int scan(const char *path, Take take) {
    if (path == nullptr) return -1;
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    FileDescriptor file(fd);
    LineReader reader(file.get());
    std::string_view line;
    while (reader.next(line)) {
        if (line.empty() || line.front() == '#') continue;
        if (take(split(line))) return 0;
    }
    return reader.failed() ? -1 : 1;
}

// Column (0-based) that a lookup mode compares, or -1 for an unknown mode.
int key_column(int mode) {
    switch (mode) {
    case ZRK_ERRINF_BY_ERRNO: return 0;
    case ZRK_ERRINF_BY_SENSE: return 2;
    case ZRK_ERRINF_BY_ARRAY: return 3;
    case ZRK_ERRINF_BY_MSGNO: return 0;
    case ZRK_ERRINF_BY_ZRKERR: return 3;
    default: return -1;
    }
}

bool catalogue_path(const char *name, char (&path)[ZRK_PATH_LEN]) {
    char dir[ZRK_PATH_LEN];
    if (build_directory_path(0, dir) != 0) return false;
    int n = std::snprintf(path, sizeof path, "%s/%s", dir, name);
    return n > 0 && static_cast<size_t>(n) < sizeof path;
}

void set_default(ErrInfoVelk *entry) {
    std::memset(entry, 0, sizeof *entry);
    entry->iReturnClass = 5;
    entry->iMessageNo = 1200;
    std::snprintf(entry->caMessage, sizeof entry->caMessage, "%s",
                  "ZRKC1200 ERROR Unexpected error.\n");
}

}  // namespace

extern "C" int get_err_info_wxapi_file(const char *path, int mode, int code, ErrInfoWxapi *entry) {
    if (entry == nullptr) return -1;
    if (mode != ZRK_ERRINF_BY_ERRNO && mode != ZRK_ERRINF_BY_SENSE && mode != ZRK_ERRINF_BY_ARRAY) {
        return 1;
    }
    const int key = key_column(mode);
    const uint32_t wanted = static_cast<uint32_t>(code);
    return scan(path, [&](const Columns &cols) {
        if (cols.count <= key) return false;
        ErrInfoWxapi work{};
        work.iErrorCode = static_cast<int32_t>(number_column(cols.text[0], false));
        if (cols.count > 1) message_column(cols.text[1], work.caMessage);
        if (cols.count > 2) work.uiSenseCode = number_column(cols.text[2], true);
        if (cols.count > 3) work.uiArrayCode = number_column(cols.text[3], true);
        const uint32_t keys[kColumns] = {static_cast<uint32_t>(work.iErrorCode), 0,
                                         work.uiSenseCode, work.uiArrayCode};
        if (keys[key] != wanted) return false;
        *entry = work;
        return true;
    });
}

extern "C" int get_err_info_velk_file(const char *path, int mode, int code, ErrInfoVelk *entry) {
    if (entry == nullptr) return -1;
    set_default(entry);
    if (mode != ZRK_ERRINF_BY_MSGNO && mode != ZRK_ERRINF_BY_ZRKERR) return 1;
    const int key = key_column(mode);
    const uint32_t wanted = static_cast<uint32_t>(code);
    return scan(path, [&](const Columns &cols) {
        if (cols.count <= key) return false;
        ErrInfoVelk work{};
        work.iMessageNo = static_cast<int32_t>(number_column(cols.text[0], false));
        if (cols.count > 1) message_column(cols.text[1], work.caMessage);
        if (cols.count > 2) work.iReturnClass = static_cast<int32_t>(number_column(cols.text[2], false));
        if (cols.count > 3) work.iZrkErrno = static_cast<int32_t>(number_column(cols.text[3], true));
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
    if (!catalogue_path(".zrk_errinf_wxapi", path)) return -1;
    return get_err_info_wxapi_file(path, mode, code, entry);
}

extern "C" int get_err_info_velk(int mode, int code, ErrInfoVelk *entry) {
    if (entry == nullptr) return -1;
    set_default(entry);
    char path[ZRK_PATH_LEN];
    if (!catalogue_path(".zrk_errinf_velk", path)) return -1;
    return get_err_info_velk_file(path, mode, code, entry);
}
