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
#include "fileread.h"
#include "installfile.h"
#include "replacefile.h"
#include "sysio.h"
#include "zrkcsafe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
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
        const int fd = zrkplatform::sys::Open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                                              kFileMode);
        if (fd < 0) return;
        std::string text = pArgv[0];
        for (int i = 1; i < iArgc; ++i) {
            text += ' ';
            text += pArgv[i];
        }
        text += '\n';
        text += message;
        (void)zrkplatform::sys::WriteAll(fd, text.data(), text.size());
        zrkplatform::sys::Close(fd);
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
// kFileMode whatever the umask), which is synced and renamed over path, and
// the folder is synced (a failure there leaves the new file in place, and is
// not one of the run); a failure before removes it again. Messages name the
// file by word. 0, or the errno of the failure after its message.
int ReplaceFile(const std::string &path, const std::string &text, const char *word,
                const Reporter &reporter) {
    using zrkplatform::ReplaceStep;
    const zrkplatform::ReplaceResult result =
        zrkplatform::ReplaceFile(path, std::string(), kFileMode, [&](int fd) {
            return zrkplatform::sys::WriteAll(fd, text.data(), text.size());
        });
    if (result.iError == 0) return 0;
    // The message's operation for each failed step, by ReplaceStep.
    static constexpr const char *kFailed[] = {"open", "write", "write", "close", "update"};
    static_assert(std::size(kFailed) == static_cast<size_t>(ReplaceStep::kRename) + 1);
    reporter.Say(Message(kFailed[static_cast<size_t>(result.eFailed)], word, result.iError));
    return result.iError;
}

int WriteInstallFile(const Options &options, const Reporter &reporter) {
    using zrkplatform::InstallKey;
    using zrkplatform::InstallKeyText;
    std::string text = InstallKeyText(InstallKey::kOptDir) + *options.sOptDir + "\n";
    text += InstallKeyText(InstallKey::kEtcDir) + *options.sEtcDir + "\n";
    if (options.sJreDir) text += InstallKeyText(InstallKey::kJreDir) + *options.sJreDir + "\n";
    const std::string path = zrkplatform::InstallFileUnder(*options.sOptDir);
    return ReplaceFile(path, text, kInstallWord, reporter) == 0 ? kExitOk : kExitInstallFile;
}

// The new trace definition: the path line first, then every line of the old
// file but its path= lines, each as it was read. The old file is read only
// when it is a regular file, never through a link.
int RewriteTraceDefinition(const Options &options, const Reporter &reporter) {
    const std::string path = *options.sEtcDir + "/velkapi_trcdef.ini";
    const int fd = zrkplatform::OpenNoLink(AT_FDCWD, path.c_str(), zrkplatform::PathKind::kFile);
    FILE *old = fd >= 0 ? ::fdopen(fd, "r") : nullptr;
    if (old == nullptr) {
        const int error = errno;
        if (fd >= 0) zrkplatform::sys::Close(fd);
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
