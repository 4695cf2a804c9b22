// zrkcsetpath - records where the system is installed: writes
// <install>/bin/.zrkc_install.sys and sets the path= line (the log and trace
// directory) of <etc>/velkapi_trcdef.ini.
//
//   zrkcsetpath -o <install dir> -e <etc dir> -l <log dir> [-j <java dir>] [-i]
//
// Exit codes: 0 both files written; 1 invalid command line; 2 the install
// file could not be written; 3 the trace definition could not be rewritten.
// Every value must be an absolute path without a line feed, else the command
// line is invalid. Both files are replaced whole: the new text goes into a
// file of the run's own beside the old one (a unique name, created without
// following a link, 0644 whatever the umask) and is renamed over it, so a
// reader, and any run at the same time, sees one run's whole file. The old
// trace definition is read only as a regular file, never through a link.
#include "zrkcsafe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace {

enum : int { kExitOk = 0, kExitOption = 1, kExitInstallFile = 2, kExitTraceDefinition = 3 };

constexpr const char *kInstallWord = "management file1";
constexpr const char *kTraceWord = "management file2";
constexpr const char *kTraceNewWord = "management file3";
constexpr mode_t kFileMode = 0644;

struct Options {
    std::optional<std::string> sOptDir, sEtcDir, sLogDir, sJreDir;
    bool bLog = false;
};

// Where messages go: standard error, or with -i the log file beside the
// program, which holds the command line and the message.
class Reporter {
public:
    Reporter(int argc, char **argv) : iArgc(argc), pArgv(argv) {}
    void ToLog() { bLog = true; }
    void Say(const std::string &message) const {
        if (!bLog) {
            std::fputs(message.c_str(), stderr);
            return;
        }
        const std::string path = LogPath();
        if (path.empty()) return;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, kFileMode);
        if (fd < 0) return;
        std::string text = pArgv[0];
        for (int i = 1; i < iArgc; ++i) {
            text += ' ';
            text += pArgv[i];
        }
        text += '\n';
        text += message;
        WriteAll(fd, text);
        ::close(fd);
    }
    static bool WriteAll(int fd, std::string_view text) {
        while (!text.empty()) {
            ssize_t n = ::write(fd, text.data(), text.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) errno = EIO;
                return false;
            }
            text.remove_prefix(static_cast<size_t>(n));
        }
        return true;
    }

private:
    // The program's own directory: argv[0] up to its last '/', or, when the
    // program was found through the search path, the directory of the
    // running executable.
    std::string LogPath() const {
        std::string dir;
        const std::string_view self = pArgv[0];
        const size_t slash = self.rfind('/');
        if (slash != std::string_view::npos) {
            dir = self.substr(0, slash);
        } else {
            char exe[4096];
            ssize_t n = ::readlink("/proc/self/exe", exe, sizeof(exe) - 1);
            if (n <= 0) return {};
            std::string_view path(exe, static_cast<size_t>(n));
            const size_t end = path.rfind('/');
            if (end == std::string_view::npos) return {};
            dir = path.substr(0, end);
        }
        return dir + "/zrkcsetpath.log";
    }

    int iArgc;
    char **pArgv;
    bool bLog = false;
};

std::string Message(const char *operation, const char *file, int error) {
    char line[128];
    std::snprintf(line, sizeof(line), "%s error(%s). errno=%d\n", operation, file, error);
    return line;
}

// A value that may stand in the files: an absolute path without a line
// feed (a relative one would be read against whatever folder a program
// later runs in; a line feed would add a line of its own).
bool PathValue(const std::string &value) {
    return !value.empty() && value[0] == '/' && value.find('\n') == std::string::npos;
}

// Reads the options; false on an invalid command line. The last argument is
// read only as the value of the option before it.
bool ParseOptions(int argc, char **argv, Options *options) {
    for (int i = 1; i < argc - 1; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-i") {
            options->bLog = true;
            continue;
        }
        std::optional<std::string> *slot = arg == "-o" ? &options->sOptDir
                                         : arg == "-e" ? &options->sEtcDir
                                         : arg == "-l" ? &options->sLogDir
                                         : arg == "-j" ? &options->sJreDir : nullptr;
        if (slot == nullptr) return false;
        const char *value = argv[++i];
        if (value[0] == '-') return false;
        *slot = value;
    }
    if (!options->sOptDir || !options->sEtcDir || !options->sLogDir) return false;
    for (const auto *value : {&options->sOptDir, &options->sEtcDir, &options->sLogDir, &options->sJreDir}) {
        if (*value && !PathValue(**value)) return false;
    }
    return true;
}

// Replaces the file at path with text: the text goes into a file of this
// run's own beside it (a unique name, created without following a link,
// kFileMode whatever the umask), which is synced and renamed over path; a
// failure removes it again. Messages name the file by word. 0, or the errno
// of the failure after its message.
int ReplaceFile(const std::string &path, const std::string &text, const char *word,
                const Reporter &reporter) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0 || ::fchmod(fd, kFileMode) != 0) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
        }
        reporter.Say(Message("open", word, error));
        return error;
    }
    const char *failed = nullptr;
    int error = 0;
    if (!Reporter::WriteAll(fd, text) || ::fsync(fd) != 0) {
        failed = "write";
        error = errno;
        ::close(fd);
    } else if (::close(fd) != 0) {
        failed = "close";
        error = errno;
    } else if (::rename(temp.c_str(), path.c_str()) != 0) {
        failed = "update";
        error = errno;
    }
    if (failed != nullptr) {
        ::unlink(temp.c_str());
        reporter.Say(Message(failed, word, error));
        return error;
    }
    // The rename itself on disk: the folder synced (a failure there leaves
    // the new file in place, and is not one of the run).
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    zrkcli::Descriptor dir(zrkcli::OpenNoLink(AT_FDCWD, folder.c_str(), zrkcli::PathKind::kFolder));
    if (dir.Get() >= 0) ::fsync(dir.Get());
    return 0;
}

int WriteInstallFile(const Options &options, const Reporter &reporter) {
    std::string text = "zrkc_optdir=" + *options.sOptDir + "\n";
    text += "zrkc_etcdir=" + *options.sEtcDir + "\n";
    if (options.sJreDir) text += "zrkc_jredir=" + *options.sJreDir + "\n";
    const std::string path = *options.sOptDir + "/bin/.zrkc_install.sys";
    return ReplaceFile(path, text, kInstallWord, reporter) == 0 ? kExitOk : kExitInstallFile;
}

// The new trace definition: the path line first, then every line of the old
// file but its path= lines, each as it was read. The old file is read only
// when it is a regular file, never through a link.
int RewriteTraceDefinition(const Options &options, const Reporter &reporter) {
    const std::string path = *options.sEtcDir + "/velkapi_trcdef.ini";
    const int fd = zrkcli::OpenNoLink(AT_FDCWD, path.c_str(), zrkcli::PathKind::kFile);
    FILE *old = fd >= 0 ? ::fdopen(fd, "r") : nullptr;
    if (old == nullptr) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        reporter.Say(Message("open", kTraceWord, error));
        return kExitTraceDefinition;
    }
    std::string text = "path=" + *options.sLogDir + "\n";
    // Whole lines, however long: a piece in the middle of a long line is
    // never mistaken for a line of its own.
    std::string line;
    int c;
    for (;;) {
        line.clear();
        while ((c = std::fgetc(old)) != EOF) {
            line += static_cast<char>(c);
            if (c == '\n') break;
        }
        if (line.empty()) break;
        if (!line.starts_with("path=")) text += line;
    }
    if (std::ferror(old)) {
        const int error = errno;
        std::fclose(old);
        reporter.Say(Message("read", kTraceWord, error));
        return kExitTraceDefinition;
    }
    if (std::fclose(old) != 0) {
        reporter.Say(Message("close", kTraceWord, errno));
        return kExitTraceDefinition;
    }
    return ReplaceFile(path, text, kTraceNewWord, reporter) == 0 ? kExitOk : kExitTraceDefinition;
}

}  // namespace

int main(int argc, char **argv) {
    zrkcli::OpenStandardDescriptors();
    Options options;
    Reporter reporter(argc, argv);
    const bool valid = ParseOptions(argc, argv, &options);
    if (options.bLog) reporter.ToLog();
    if (!valid) {
        reporter.Say("Invalid Option.\n");
        return kExitOption;
    }
    if (int rc = WriteInstallFile(options, reporter); rc != kExitOk) return rc;
    return RewriteTraceDefinition(options, reporter);
}
