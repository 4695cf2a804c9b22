// Debug log: one line per WriteLog call, appended to a daily file
// "<dir>/zrkhaYYYYMMDD.log" when the caller's level is enabled by
// WXAPI_LOG_FLAG. The environment is read once, on the first call; bad
// settings, or a log file that cannot be opened, switch the log off for the
// rest of the process. WriteLog leaves errno as it found it, so that a caller
// may log a failure before it examines errno.
//
// The library runs as root on hosts where other users log in, so the log
// folder must be the caller's own: a directory itself (not a symbolic link),
// owned by the caller and writable by nobody else. The default folder
// "/tmp/zrkapi" is created so (0700) when it is absent; any folder that fails
// the checks gets no log. The file is opened and closed for every line,
// through the folder checked again, and never through a symbolic link. One
// day's file holds at most WXAPI_LOG_MAX KiB: a line that would take it past
// that is not written, and neither is any later line of that day's file in
// this process.
#include "zrklog.h"

#include "fileread.h"
#include "sysio.h"
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

using namespace zrkplatform;

namespace {

constexpr const char *kDefaultLogDir = "/tmp/zrkapi";
constexpr mode_t kLogDirMode = 0700;          // of the default folder when it is created
constexpr mode_t kLogFileMode = 0644;         // of a new day's file
constexpr int32_t kDefaultLogMaxKib = 65536;  // 64 MiB a day when WXAPI_LOG_MAX is unset

enum class LogState { Unread, On, Off };

// Process-wide log settings; read once, then only switched off. Constant
// initialised, so that a WriteLog from any static constructor finds it ready.
struct LogSettings {
    LogState eState = LogState::Unread;   // whether the settings were read, and the outcome
    int32_t iMask = 0;                    // WXAPI_LOG_FLAG, 0 to 31
    char caDir[PATH_MAX] = {};            // log folder, set when the log is enabled
    int32_t iDumpCap = 0;                 // WXAPI_DUMP_SIZE, 0 = no cap
    int32_t iMaxKib = kDefaultLogMaxKib;  // WXAPI_LOG_MAX: KiB one day's file may hold
    long lLineCount = 0;                  // lines this process started to write
    int iFullDay = 0;                     // YYYYMMDD of a file that reached the cap, 0 none
    const char *pDefaultDir = kDefaultLogDir; // the folder when WXAPI_LOG_PATH is unset
};

constinit LogSettings gLog;

void Warn(const char *variable, const char *value, const char *reason) {
    std::fprintf(stderr, "WARNING: %s(%s): %s\n", variable, value, reason);
}

// A numeric variable in the given base (16 or 10), min to max; 0 when unset or
// empty. False, with its warning, when bad.
bool ReadNumber(const char *variable, int base, long min, long max, int32_t &value) {
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
    if (errno == ERANGE || number < min || number > max) {
        Warn(variable, text, "Out of range");
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

// WXAPI_LOG_FLAG: hexadecimal, optional "0x", 0 to 31.
bool ReadFlag(int32_t &mask) { return ReadNumber("WXAPI_LOG_FLAG", 16, 0, 31, mask); }

// Why a folder may not hold the log, or null when it may: anyone else who can
// replace it or write in it could plant the day's file, or send the caller's
// new file elsewhere.
const char *FolderRefusal(const struct stat &st) {
    if (S_ISLNK(st.st_mode)) return "Is a symbolic link";
    if (!S_ISDIR(st.st_mode)) return "Not a directory";
    if (st.st_uid != geteuid()) return "Owned by another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "Writable by group or others";
    return nullptr;
}

// Creates the default folder, private to the caller whatever the umask, when
// it is absent; 0, or the errno of a failure other than its being there.
int CreateDefaultFolder(const char *path) {
    if (sys::Mkdir(path, kLogDirMode) != 0) return errno == EEXIST ? 0 : errno;
    FileDescriptor folder(sys::Open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.Get() < 0 || sys::Fchmod(folder.Get(), kLogDirMode) != 0) return errno;
    return 0;
}

// Opens a log folder that passes the checks; -1 with the reason otherwise.
// The folder is checked again when it is open, in case it was replaced
// between the two looks.
int OpenFolder(const char *path, const char *&reason) {
    struct stat st {};
    if (lstat(path, &st) != 0) {
        reason = std::strerror(errno);
        return -1;
    }
    reason = FolderRefusal(st);
    if (reason != nullptr) return -1;
    const int fd = sys::Open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    reason = fstat(fd, &st) != 0 ? std::strerror(errno) : FolderRefusal(st);
    if (reason != nullptr) {
        sys::Close(fd);
        return -1;
    }
    return fd;
}

// WXAPI_LOG_PATH: an existing folder of the caller's own; the default folder
// when unset or empty, created when absent.
bool ReadPath(char (&dir)[PATH_MAX]) {
    const char *value = std::getenv("WXAPI_LOG_PATH");
    const bool isDefault = value == nullptr || value[0] == '\0';
    const char *path = isDefault ? gLog.pDefaultDir : value;
    if (std::strlen(path) >= sizeof dir) {
        Warn("WXAPI_LOG_PATH", path, std::strerror(ENAMETOOLONG));
        return false;
    }
    if (isDefault) {
        if (int err = CreateDefaultFolder(path); err != 0) {
            Warn("WXAPI_LOG_PATH", path, std::strerror(err));
            return false;
        }
    }
    const char *reason = nullptr;
    if (FileDescriptor folder(OpenFolder(path, reason)); folder.Get() < 0) {
        Warn("WXAPI_LOG_PATH", path, reason);
        return false;
    }
    std::snprintf(dir, sizeof dir, "%s", path);
    return true;
}

// WXAPI_DUMP_SIZE: decimal, 0 to INT_MAX.
bool ReadDumpSize(int32_t &cap) { return ReadNumber("WXAPI_DUMP_SIZE", 10, 0, INT_MAX, cap); }

// WXAPI_LOG_MAX: decimal KiB, 1 to INT_MAX; the default when unset or empty.
bool ReadLogMax(int32_t &kib) {
    if (!ReadNumber("WXAPI_LOG_MAX", 10, 1, INT_MAX, kib)) return false;
    if (kib == 0) kib = kDefaultLogMaxKib;
    return true;
}

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

// Opens the day's log file in the folder for appending: created 0644 when
// absent, never through a symbolic link, and only when it is a regular file
// (a FIFO without reader fails at once instead of blocking); size is its
// length. -1 with the reason otherwise.
int OpenLog(int folder, const char *name, const char *&reason, off_t &size) {
    const int fd = sys::OpenNoFollowAt(folder, name,
                                       O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC,
                                       kLogFileMode);
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
    size = st.st_size;
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

        const int day = (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
        if (day == gLog.iFullDay) return -1;  // the day's file reached the cap
        char name[64];
        std::snprintf(name, sizeof name, "zrkha%08d.log", day);
        const std::string path = std::string(gLog.caDir) + "/" + name;
        const char *reason = nullptr;
        // The folder is checked again for every line: it may have been
        // replaced since the environment was read.
        const FileDescriptor folder(OpenFolder(gLog.caDir, reason));
        if (folder.Get() < 0) {
            Warn("WXAPI_LOG_PATH", gLog.caDir, reason);
            gLog.eState = LogState::Off;
            return -1;
        }
        off_t size = 0;
        const FileDescriptor file(OpenLog(folder.Get(), name, reason, size));
        if (file.Get() < 0) {
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
        const off_t cap = static_cast<off_t>(gLog.iMaxKib) * 1024;
        if (static_cast<off_t>(out.size()) > cap - size) {
            gLog.iFullDay = day;
            std::fprintf(stderr, "WARNING: Write file(%s) failed: %s\n", path.c_str(),
                         std::strerror(EFBIG));
            return -1;
        }
        return sys::WriteAll(file.Get(), out.data(), out.size()) == 0 ? 0 : -1;
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
    if (!ReadLogMax(gLog.iMaxKib)) good = false;
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

void SetDefaultLogDirForTests(const char *dir) { gLog.pDefaultDir = dir; }

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
