// Debug log: one line per WriteLog call, appended to a daily file
// "<dir>/zrkhaYYYYMMDD.log" when the caller's level is enabled by
// WXAPI_LOG_FLAG. The environment is read once, on the first call; bad
// settings, or a log file that cannot be opened, switch the log off for the
// rest of the process. The file is opened and closed for every line and is
// never followed through a symbolic link (the library runs as root and the
// log folder may be shared). WriteLog leaves errno as it found it, so that a
// caller may log a failure before it examines errno.
#include "zrklog.h"
#include "zrkapi.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

namespace {

constexpr const char *kDefaultLogDir = "/tmp/zrkapi";

enum class LogState { Unread, On, Off };

// Process-wide log settings; read once, then only switched off. Constant
// initialised, so that a WriteLog from any static constructor finds it ready.
struct LogSettings {
    LogState state = LogState::Unread;
    int32_t mask = 0;                     // WXAPI_LOG_FLAG, 0 to 31
    char dir[PATH_MAX] = {};              // log folder, set when the log is enabled
    int32_t dumpCap = 0;                  // WXAPI_DUMP_SIZE, 0 = no cap
    long lineCount = 0;                   // lines this process started to write
};

constinit LogSettings gLog;

void warn(const char *variable, const char *value, const char *reason) {
    std::fprintf(stderr, "WARNING: %s(%s): %s\n", variable, value, reason);
}

// WXAPI_LOG_FLAG: hexadecimal, optional "0x", 0 to 31. False when bad.
bool read_flag(int32_t &mask) {
    mask = 0;
    const char *value = std::getenv("WXAPI_LOG_FLAG");
    if (value == nullptr || value[0] == '\0') return true;
    errno = 0;
    char *end = nullptr;
    long number = std::strtol(value, &end, 16);
    if (end == value || *end != '\0') {
        warn("WXAPI_LOG_FLAG", value, "Not a HEX numeric string");
        return false;
    }
    if (errno == ERANGE || number < 0 || number > 31) {
        warn("WXAPI_LOG_FLAG", value, "Out of range");
        return false;
    }
    mask = static_cast<int32_t>(number);
    return true;
}

// WXAPI_LOG_PATH: an existing directory, "/tmp/zrkapi" when unset or empty.
bool read_path(char (&dir)[PATH_MAX]) {
    const char *value = std::getenv("WXAPI_LOG_PATH");
    const char *path = (value != nullptr && value[0] != '\0') ? value : kDefaultLogDir;
    struct stat st {};
    if (std::strlen(path) >= sizeof dir) {
        warn("WXAPI_LOG_PATH", path, std::strerror(ENAMETOOLONG));
        return false;
    }
    if (stat(path, &st) != 0) {
        warn("WXAPI_LOG_PATH", path, std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        warn("WXAPI_LOG_PATH", path, "Not a directory");
        return false;
    }
    std::snprintf(dir, sizeof dir, "%s", path);
    return true;
}

// WXAPI_DUMP_SIZE: decimal, 0 to INT_MAX; 0 when unset or empty.
bool read_dump_size(int32_t &cap) {
    cap = 0;
    const char *value = std::getenv("WXAPI_DUMP_SIZE");
    if (value == nullptr || value[0] == '\0') return true;
    errno = 0;
    char *end = nullptr;
    long number = std::strtol(value, &end, 10);
    if (end == value || *end != '\0') {
        warn("WXAPI_DUMP_SIZE", value, "Not a DEC numeric string");
        return false;
    }
    if (errno == ERANGE || number < 0 || number > INT_MAX) {
        warn("WXAPI_DUMP_SIZE", value, "Out of range");
        return false;
    }
    cap = static_cast<int32_t>(number);
    return true;
}

void append_format(std::string &out, const char *format, va_list args) {
    if (format == nullptr) return;
    va_list sizing;
    va_copy(sizing, args);
    int need = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (need <= 0) return;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(need) + 1);
    std::vsnprintf(out.data() + start, static_cast<size_t>(need) + 1, format, args);
    out.resize(start + static_cast<size_t>(need));
}

// Rows of 16 bytes: offset, the bytes in hex in groups of four, then the
// bytes as characters ("." for those that are not graphic).
void append_dump(std::string &out, const unsigned char *bytes, int length) {
    static const char kHex[] = "0123456789abcdef";
    for (int row = 0; row < length; row += 16) {
        char offset[16];
        std::snprintf(offset, sizeof offset, "%04x  ", static_cast<unsigned>(row));
        out += offset;
        for (int pos = 0; pos < 16; ++pos) {
            if (pos % 4 == 0) out += ' ';
            if (row + pos < length) {
                const unsigned char b = bytes[row + pos];
                out += kHex[b >> 4];
                out += kHex[b & 0x0F];
            } else {
                out += "  ";
            }
        }
        out += "    ";
        for (int pos = 0; pos < 16 && row + pos < length; ++pos) {
            if (pos % 4 == 0) out += ' ';
            const unsigned char b = bytes[row + pos];
            out += std::isgraph(b) ? static_cast<char>(b) : '.';
        }
        out += '\n';
    }
}

// Opens the day's log file for appending: created 0644 when absent, never
// through a symbolic link, and only when it is a regular file (a FIFO without
// reader fails at once instead of blocking). -1 with the reason otherwise.
int open_log(const std::string &path, const char *&reason) {
    int fd;
    do {
        fd = open(path.c_str(),
                  O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        reason = "Not a regular file";
        return -1;
    }
    return fd;
}

bool write_all(int fd, const std::string &text) {
    const char *p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

int write_line(int level, const void *dump, int dumpLength, const char *format, va_list args) {
    try {
        if (gLog.state == LogState::Unread) {
            gLog.state = ReadLogEnvironment() == 0 ? LogState::On : LogState::Off;
        }
        if (gLog.state == LogState::Off) return -1;
        if ((level & gLog.mask) == 0) return 0;

        ++gLog.lineCount;
        struct timeval now {};
        gettimeofday(&now, nullptr);
        struct tm local {};
        localtime_r(&now.tv_sec, &local);

        char name[64];
        std::snprintf(name, sizeof name, "/zrkha%04d%02d%02d.log", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday);
        const std::string path = std::string(gLog.dir) + name;
        const char *reason = "";
        const int fd = open_log(path, reason);
        if (fd < 0) {
            std::fprintf(stderr, "WARNING: Open file(%s) failed: %s\n", path.c_str(), reason);
            gLog.state = LogState::Off;
            return -1;
        }

        std::string out;
        if (gLog.lineCount == 1) out += '\n';  // the first line of a process
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d.%03d: ",
                      local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec, static_cast<int>(now.tv_usec / 1000));
        out += stamp;
        out += "MESG : ";
        append_format(out, format, args);
        out += '\n';
        if (dump != nullptr && dumpLength != 0) {
            int length = dumpLength;
            if (gLog.dumpCap != 0 && gLog.dumpCap < length) length = gLog.dumpCap;
            append_dump(out, static_cast<const unsigned char *>(dump), length);
        }
        const bool written = write_all(fd, out);
        close(fd);
        return written ? 0 : -1;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

}  // namespace

extern "C" int ReadLogEnvironment(void) {
    bool good = read_flag(gLog.mask);
    if (good && gLog.mask == 0) return 0;  // logging off: nothing else matters
    // Once one variable is bad the others are still checked, each with its warning.
    if (!read_path(gLog.dir)) good = false;
    if (!read_dump_size(gLog.dumpCap)) good = false;
    return good ? 0 : -1;
}

extern "C" int WriteLog(int level, const void *dump, int dumpLength, const char *format, ...) {
    const int savedErrno = errno;
    va_list args;
    va_start(args, format);
    const int rc = write_line(level, dump, dumpLength, format, args);
    va_end(args);
    errno = savedErrno;
    return rc;
}

namespace zrkplatform {

void LogIn(int level, const char *name, const char *volume, int line) {
    WriteLog(level, nullptr, 0, "%s in [%s] [%d]", name, LogText(volume), line);
}

int LogOk(int level, const char *name, const char *volume, int line) {
    return LogOk(level, name, volume, line, nullptr, 0);
}

int LogErr(int level, const char *name, const char *volume, int line) {
    WriteLog(level, nullptr, 0, "%s Err end [%s] [%d]", name, LogText(volume), line);
    return -1;
}

void LogIn(int level, const char *name, int line) {
    WriteLog(level, nullptr, 0, "%s in [%d]", name, line);
}

int LogOk(int level, const char *name, int line) {
    return LogOk(level, name, line, nullptr, 0);
}

int LogErr(int level, const char *name, int line) {
    WriteLog(level, nullptr, 0, "%s Err end [%d]", name, line);
    return -1;
}

int LogOk(int level, const char *name, const char *volume, int line, const void *dump,
          int dumpLength) {
    WriteLog(level, dump, dump != nullptr ? dumpLength : 0, "%s OK end [%s] [%d]", name,
             LogText(volume), line);
    return 0;
}

int LogOk(int level, const char *name, int line, const void *dump, int dumpLength) {
    WriteLog(level, dump, dump != nullptr ? dumpLength : 0, "%s OK end [%d]", name, line);
    return 0;
}

} // namespace zrkplatform
