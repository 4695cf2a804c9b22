// Debug log: one line per WriteLog call, appended to a daily file
// "<dir>/zrkhaYYYYMMDD.log" when the caller's level is enabled by
// WXAPI_LOG_FLAG. The environment is read once, on the first call; bad
// settings, or a log file that cannot be opened, switch the log off for the
// rest of the process. The file is opened and closed for every line and is
// never followed through a symbolic link (the library runs as root and the
// log folder may be shared). WriteLog leaves errno as it found it, so that a
// caller may log a failure before it examines errno.
#include "zrklog.h"

#include "sysio.h"
#include "zrkapi.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/time.h>

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

using namespace zrkplatform;

namespace {

constexpr const char *kDefaultLogDir = "/tmp/zrkapi";

enum class LogState { Unread, On, Off };

// Process-wide log settings; read once, then only switched off. Constant
// initialised, so that a WriteLog from any static constructor finds it ready.
struct LogSettings {
    LogState eState = LogState::Unread;   // whether the settings were read, and the outcome
    int32_t iMask = 0;                    // WXAPI_LOG_FLAG, 0 to 31
    char caDir[PATH_MAX] = {};            // log folder, set when the log is enabled
    int32_t iDumpCap = 0;                 // WXAPI_DUMP_SIZE, 0 = no cap
    long lLineCount = 0;                  // lines this process started to write
};

constinit LogSettings gLog;

void Warn(const char *variable, const char *value, const char *reason) {
    std::fprintf(stderr, "WARNING: %s(%s): %s\n", variable, value, reason);
}

// A numeric variable in the given base (16 or 10), 0 to max; 0 when unset or
// empty. False, with its warning, when bad.
bool ReadNumber(const char *variable, int base, long max, int32_t &value) {
    value = 0;
    const char *text = std::getenv(variable);
    if (text == nullptr || text[0] == '\0') return true;
    errno = 0;
    char *end = nullptr;
    long number = std::strtol(text, &end, base);
    if (end == text || *end != '\0') {
        Warn(variable, text, base == 16 ? "Not a HEX numeric string" : "Not a DEC numeric string");
        return false;
    }
    if (errno == ERANGE || number < 0 || number > max) {
        Warn(variable, text, "Out of range");
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

// WXAPI_LOG_FLAG: hexadecimal, optional "0x", 0 to 31.
bool ReadFlag(int32_t &mask) { return ReadNumber("WXAPI_LOG_FLAG", 16, 31, mask); }

// WXAPI_LOG_PATH: an existing directory, "/tmp/zrkapi" when unset or empty.
bool ReadPath(char (&dir)[PATH_MAX]) {
    const char *value = std::getenv("WXAPI_LOG_PATH");
    const char *path = (value != nullptr && value[0] != '\0') ? value : kDefaultLogDir;
    struct stat st {};
    if (std::strlen(path) >= sizeof dir) {
        Warn("WXAPI_LOG_PATH", path, std::strerror(ENAMETOOLONG));
        return false;
    }
    if (stat(path, &st) != 0) {
        Warn("WXAPI_LOG_PATH", path, std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        Warn("WXAPI_LOG_PATH", path, "Not a directory");
        return false;
    }
    std::snprintf(dir, sizeof dir, "%s", path);
    return true;
}

// WXAPI_DUMP_SIZE: decimal, 0 to INT_MAX.
bool ReadDumpSize(int32_t &cap) { return ReadNumber("WXAPI_DUMP_SIZE", 10, INT_MAX, cap); }

void AppendFormat(std::string &out, const char *format, va_list args) {
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
void AppendDump(std::string &out, const unsigned char *bytes, int length) {
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
int OpenLog(const std::string &path, const char *&reason) {
    const int fd = sys::Open(path.c_str(),
                             O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                             0644);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        sys::Close(fd);
        reason = "Not a regular file";
        return -1;
    }
    return fd;
}

int WriteLine(int level, const void *dump, int dumpLength, const char *format, va_list args) {
    try {
        if (gLog.eState == LogState::Unread) {
            gLog.eState = ReadLogEnvironment() == 0 ? LogState::On : LogState::Off;
        }
        if (gLog.eState == LogState::Off) return -1;
        if ((level & gLog.iMask) == 0) return 0;

        ++gLog.lLineCount;
        struct timeval now {};
        gettimeofday(&now, nullptr);
        struct tm local {};
        localtime_r(&now.tv_sec, &local);

        char name[64];
        std::snprintf(name, sizeof name, "/zrkha%04d%02d%02d.log", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday);
        const std::string path = std::string(gLog.caDir) + name;
        const char *reason = "";
        const int fd = OpenLog(path, reason);
        if (fd < 0) {
            std::fprintf(stderr, "WARNING: Open file(%s) failed: %s\n", path.c_str(), reason);
            gLog.eState = LogState::Off;
            return -1;
        }

        std::string out;
        if (gLog.lLineCount == 1) out += '\n';  // the first line of a process
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d.%03d: ",
                      local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec, static_cast<int>(now.tv_usec / 1000));
        out += stamp;
        out += "MESG : ";
        AppendFormat(out, format, args);
        out += '\n';
        if (dump != nullptr && dumpLength != 0) {
            int length = dumpLength;
            if (gLog.iDumpCap != 0 && gLog.iDumpCap < length) length = gLog.iDumpCap;
            AppendDump(out, static_cast<const unsigned char *>(dump), length);
        }
        const bool written = sys::WriteAll(fd, out.data(), out.size()) == 0;
        sys::Close(fd);
        return written ? 0 : -1;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

} // namespace

extern "C" int ReadLogEnvironment(void) {
    bool good = ReadFlag(gLog.iMask);
    if (good && gLog.iMask == 0) return 0;  // logging off: nothing else matters
    // Once one variable is bad the others are still checked, each with its warning.
    if (!ReadPath(gLog.caDir)) good = false;
    if (!ReadDumpSize(gLog.iDumpCap)) good = false;
    return good ? 0 : -1;
}

extern "C" int WriteLog(int level, const void *dump, int dumpLength, const char *format, ...) {
    const int savedErrno = errno;
    va_list args;
    va_start(args, format);
    const int rc = WriteLine(level, dump, dumpLength, format, args);
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
