// Debug log: the environment rules, the line and dump layout, the refusal to
// write through anything but a regular file, the log folder that must be the
// caller's own, and the cap on one day's file. Every case runs in a child
// process, because the settings are read once per process.
#include "child.h"
#include "install_root.h"
#include "zrkapi.h"
#include "zrklog.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char *kUnset = nullptr;

// A 40-byte buffer: a row of digits and letters, a row of mostly
// non-graphic bytes, and a short last row.
const unsigned char kDump[40] = {
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f',
    0x00, 0x01, 0x20, 0x7f, 0x80, 0xff, 'x', 'y', 'z', '~', '!', '#', 0x0a, 0x09, 'Q', 'R',
    't', 'a', 'i', 'l', '-', 'e', 'n', 'd'};

const std::string kRow0 = "0000   30313233 34353637 38396162 63646566     0123 4567 89ab cdef";
const std::string kRow1 = "0010   0001207f 80ff7879 7a7e2123 0a095152     .... ..xy z~!# ..QR";
const std::string kRow2 = "0020   7461696c 2d656e64" + std::string(18, ' ') + "     tail -end";
const std::string kRow0Of8 = "0000   30313233 34353637" + std::string(18, ' ') + "     0123 4567";

// The stamp and tag of a line; "0" stands for any digit.
const std::string kStampShape = "0000/00/00 00:00:00.000: MESG : ";

bool stamped(const std::string &line) {
    if (line.size() < kStampShape.size()) return false;
    for (size_t i = 0; i < kStampShape.size(); ++i) {
        const bool ok = kStampShape[i] == '0' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0
                                              : line[i] == kStampShape[i];
        if (!ok) return false;
    }
    return true;
}

// The lines of a log text; a stamped line becomes "@" and its text, other
// lines (empty lines, dump rows) stand as they are. Every line must end
// with a newline.
std::vector<std::string> logLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        EXPECT_NE(end, std::string::npos) << "unterminated last line";
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        lines.push_back(stamped(line) ? "@" + line.substr(kStampShape.size()) : line);
    }
    return lines;
}

void setOrUnset(const char *name, const char *value) {
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value, 1);
    }
}

class DebugLog : public ::testing::Test {
protected:
    // Runs body in a child with the three variables set as given (nullptr
    // unsets one).
    zrktest::ChildResult run(const char *flag, const char *path, const char *dump,
                             const std::function<void()> &body) {
        return zrktest::runChild([&] {
            setOrUnset("WXAPI_LOG_FLAG", flag);
            setOrUnset("WXAPI_LOG_PATH", path);
            setOrUnset("WXAPI_DUMP_SIZE", dump);
            body();
            return 0;
        });
    }

    // Today's log file in the temporary log folder.
    std::string todaysFile() const {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char name[32];
        std::strftime(name, sizeof name, "/zrkha%Y%m%d.log", &local);
        return root_.logDir() + name;
    }

    std::vector<std::string> logFiles() const {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(root_.logDir())) names.push_back(e.path().string());
        return names;
    }

    // The texts of the stamped lines of today's log.
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const std::string &line : logLines(zrktest::readFile(todaysFile()))) {
            if (!line.empty() && line[0] == '@') out.push_back(line.substr(1));
        }
        return out;
    }

    static void writeAllLevels() {
        for (int level : {1, 2, 4, 8, 16}) WriteLog(level, kDump, 40, "level %d", level);
    }

    zrktest::InstallRoot root_;
};

TEST_F(DebugLog, DisabledFlagWritesNothingAndLeavesThePathAlone) {
    const std::string missing = root_.path("no-such-dir");
    const char *const flags[] = {kUnset, "", "0"};
    for (const char *flag : flags) {
        for (const std::string &path : {root_.logDir(), missing}) {
            SCOPED_TRACE(std::string("flag ") + (flag ? flag : "(unset)") + " path " + path);
            auto r = run(flag, path.c_str(), "junk", writeAllLevels);
            EXPECT_EQ(r.err, "");  // neither the path nor the dump size was examined
            EXPECT_TRUE(logFiles().empty());
        }
    }
}

struct BadSettings {
    const char *flag;
    const char *path;  // "<log>" the temporary log folder, "<missing>", "<file>"
    const char *dump;
    const char *warnings;  // standard error, with the same placeholders
};

TEST_F(DebugLog, BadSettingsWarnOnceAndSwitchTheLogOff) {
    root_.write("plain", "x");
    const std::string noent = std::strerror(ENOENT);
    const BadSettings cases[] = {
        {"20", "<log>", kUnset, "WARNING: WXAPI_LOG_FLAG(20): Out of range\n"},
        {"-1", "<log>", kUnset, "WARNING: WXAPI_LOG_FLAG(-1): Out of range\n"},
        {"g", "<log>", kUnset, "WARNING: WXAPI_LOG_FLAG(g): Not a HEX numeric string\n"},
        {"1fz", "<log>", kUnset, "WARNING: WXAPI_LOG_FLAG(1fz): Not a HEX numeric string\n"},
        {"0x", "<log>", kUnset, "WARNING: WXAPI_LOG_FLAG(0x): Not a HEX numeric string\n"},
        {"g", "<missing>", kUnset,
         "WARNING: WXAPI_LOG_FLAG(g): Not a HEX numeric string\n"
         "WARNING: WXAPI_LOG_PATH(<missing>): <noent>\n"},
        {"1", "<file>", kUnset, "WARNING: WXAPI_LOG_PATH(<file>): Not a directory\n"},
        {"1", "<log>", "abc", "WARNING: WXAPI_DUMP_SIZE(abc): Not a DEC numeric string\n"},
        {"1", "<log>", "-1", "WARNING: WXAPI_DUMP_SIZE(-1): Out of range\n"},
        {"1", "<log>", "3000000000", "WARNING: WXAPI_DUMP_SIZE(3000000000): Out of range\n"},
        {"1", "<log>", "99999999999999999999",
         "WARNING: WXAPI_DUMP_SIZE(99999999999999999999): Out of range\n"},
    };
    for (const BadSettings &c : cases) {
        auto expand = [&](std::string s) {
            const std::pair<std::string, std::string> subs[] = {
                {"<log>", root_.logDir()}, {"<missing>", root_.path("missing")},
                {"<file>", root_.path("plain")}, {"<noent>", noent}};
            for (const auto &[from, to] : subs) {
                for (size_t at; (at = s.find(from)) != std::string::npos;) s.replace(at, from.size(), to);
            }
            return s;
        };
        const std::string path = expand(c.path);
        SCOPED_TRACE(expand(c.warnings));
        auto r = run(c.flag, path.c_str(), c.dump, [] {
            writeAllLevels();
            writeAllLevels();
        });
        EXPECT_EQ(r.err, expand(c.warnings));
        EXPECT_TRUE(logFiles().empty());
    }
}

TEST_F(DebugLog, FlagSelectsLevels) {
    struct Case {
        const char *flag;
        std::vector<std::string> lines;
    } const cases[] = {
        {"1F", {"level 1", "level 2", "level 4", "level 8", "level 16"}},
        {"0x1f", {"level 1", "level 2", "level 4", "level 8", "level 16"}},
        {"4", {"level 4"}},
        {"12", {"level 2", "level 16"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.flag);
        fs::remove(todaysFile());
        auto r = run(c.flag, root_.logDir().c_str(), "1", [] {
            for (int level : {1, 2, 4, 8, 16}) WriteLog(level, nullptr, 0, "level %d", level);
        });
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(messages(), c.lines);
    }
}

TEST_F(DebugLog, LineAndDumpLayout) {
    auto first = run("10", root_.logDir().c_str(), kUnset, [] {
        WriteLog(16, nullptr, 0, "%s not found.", "/dev/sdz");
        WriteLog(16, kDump, 40, "BoxID");
    });
    ASSERT_EQ(first.err, "");
    const std::string text = zrktest::readFile(todaysFile());
    const std::vector<std::string> expected = {"", "@/dev/sdz not found.", "@BoxID",
                                               kRow0, kRow1, kRow2};
    EXPECT_EQ(logLines(text), expected) << text;

    // The stamp's date is the file's date.
    const std::string name = fs::path(todaysFile()).filename().string();  // zrkhaYYYYMMDD.log
    EXPECT_EQ(text.substr(1, 10),
              name.substr(5, 4) + "/" + name.substr(9, 2) + "/" + name.substr(11, 2));

    // A second process starts its first line with an empty line again.
    auto second = run("10", root_.logDir().c_str(), kUnset,
                      [] { WriteLog(16, nullptr, 0, "again"); });
    ASSERT_EQ(second.err, "");
    const std::string after = zrktest::readFile(todaysFile());
    ASSERT_EQ(after.substr(0, text.size()), text);
    EXPECT_EQ(logLines(after.substr(text.size())), (std::vector<std::string>{"", "@again"}));
}

TEST_F(DebugLog, DumpSizeCapsTheDump) {
    struct Case {
        const char *dump;
        std::vector<std::string> rows;
    } const cases[] = {
        {"8", {kRow0Of8}},
        {"0", {kRow0, kRow1, kRow2}},
        {kUnset, {kRow0, kRow1, kRow2}},
        {"100", {kRow0, kRow1, kRow2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.dump ? c.dump : "(unset)");
        fs::remove(todaysFile());
        auto r = run("4", root_.logDir().c_str(), c.dump, [] {
            WriteLog(4, kDump, 40, "Request SCSI command");
            WriteLog(4, kDump, 0, "no dump for length 0");
            WriteLog(4, kDump, -3, "no dump for a negative length");
        });
        ASSERT_EQ(r.err, "");
        std::vector<std::string> expected = {"", "@Request SCSI command"};
        expected.insert(expected.end(), c.rows.begin(), c.rows.end());
        expected.push_back("@no dump for length 0");
        expected.push_back("@no dump for a negative length");
        EXPECT_EQ(logLines(zrktest::readFile(todaysFile())), expected);
    }
}

TEST_F(DebugLog, LogFileIsNeverWrittenThroughALinkOrAnythingButAFile) {
    const std::string target = root_.path("target");
    struct Case {
        const char *name;
        std::function<void(const std::string &)> plant;  // puts something at the log's name
        int error;
        std::function<void()> verify;
    } const cases[] = {
        {"symlink to a file",
         [&](const std::string &at) {
             root_.write("target", "precious\n");
             ASSERT_EQ(symlink(target.c_str(), at.c_str()), 0);
         },
         ELOOP, [&] { EXPECT_EQ(zrktest::readFile(target), "precious\n"); }},
        {"dangling symlink",
         [&](const std::string &at) {
             fs::remove(target);
             ASSERT_EQ(symlink(target.c_str(), at.c_str()), 0);
         },
         ELOOP, [&] { EXPECT_FALSE(zrktest::exists(target)); }},
        {"directory", [](const std::string &at) { fs::create_directory(at); }, EISDIR, [] {}},
        {"fifo without reader",
         [](const std::string &at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); }, ENXIO, [] {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = todaysFile();
        fs::remove_all(file);
        c.plant(file);
        auto r = run("1f", root_.logDir().c_str(), kUnset, [] {
            WriteLog(1, nullptr, 0, "first");
            WriteLog(1, nullptr, 0, "second");  // the log is off by now: no second warning
        });
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, "WARNING: Open file(" + file + ") failed: " + std::strerror(c.error) + "\n");
        c.verify();
    }
}

TEST_F(DebugLog, NewFileIsPrivateToItsOwnerForWriting) {
    auto r = run("1", root_.logDir().c_str(), kUnset, [] {
        umask(0);
        WriteLog(1, nullptr, 0, "x");
    });
    ASSERT_EQ(r.err, "");
    struct stat st {};
    ASSERT_EQ(stat(todaysFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(DebugLog, WriteLogLeavesErrnoAlone) {
    for (const char *flag : {kUnset, "1", "20"}) {
        SCOPED_TRACE(flag ? flag : "(unset)");
        auto r = zrktest::runChild([&] {
            setOrUnset("WXAPI_LOG_FLAG", flag);
            setenv("WXAPI_LOG_PATH", root_.logDir().c_str(), 1);
            errno = ENOTTY;
            WriteLog(1, kDump, 40, "ioctl : %s", std::strerror(errno));
            return errno == ENOTTY ? 0 : 1;
        });
        EXPECT_EQ(r.exitCode, 0);
    }
}

// ---- the log folder must be the caller's own ------------------------------------

constexpr uid_t kNobody = 65534;

struct FolderCase {
    const char *what;
    const char *reason;                                    // of the warning line
    std::function<void(const std::string &folder)> make;   // puts the folder in place
};

// Folders that another user could replace or write in; each is refused both
// as WXAPI_LOG_PATH and as the default folder, with one warning line, and
// nothing is written in it or wherever it leads.
TEST_F(DebugLog, FolderThatIsNotTheCallersOwnGetsNoLog) {
    const std::string target = root_.path("target");
    auto makeDir = [](const std::string &at, mode_t mode) {
        ASSERT_TRUE(fs::create_directory(at));
        ASSERT_EQ(chmod(at.c_str(), mode), 0);
    };
    const FolderCase cases[] = {
        {"symbolic link to a private folder", "Is a symbolic link",
         [&](const std::string &at) {
             makeDir(target, 0700);
             ASSERT_EQ(symlink(target.c_str(), at.c_str()), 0);
         }},
        {"owned by another user, the day's file planted", "Owned by another user",
         [&](const std::string &at) {
             makeDir(at, 0755);
             const std::string planted = at + "/" + fs::path(todaysFile()).filename().string();
             { std::ofstream(planted) << "planted\n"; }
             ASSERT_EQ(chmod(planted.c_str(), 0644), 0);
             ASSERT_EQ(chown(planted.c_str(), kNobody, kNobody), 0);
             ASSERT_EQ(chown(at.c_str(), kNobody, kNobody), 0);
         }},
        {"group-writable", "Writable by group or others",
         [&](const std::string &at) { makeDir(at, 0770); }},
        {"world-writable", "Writable by group or others",
         [&](const std::string &at) { makeDir(at, 0707); }},
        {"sticky and world-writable, as /tmp", "Writable by group or others",
         [&](const std::string &at) { makeDir(at, 01777); }},
        {"a regular file", "Not a directory",
         [&](const std::string &at) { std::ofstream(at) << "file\n"; }},
    };
    const std::string folder = root_.path("folder");
    enum class Given { AsLogPath, AsDefault, AsDefaultWithEmptyLogPath };
    for (const FolderCase &c : cases) {
        for (Given given : {Given::AsLogPath, Given::AsDefault, Given::AsDefaultWithEmptyLogPath}) {
            SCOPED_TRACE(std::string(c.what) + " given " + std::to_string(static_cast<int>(given)));
            fs::remove_all(folder);
            fs::remove_all(target);
            c.make(folder);
            std::vector<std::string> before;
            if (fs::is_directory(folder)) {
                for (const auto &e : fs::directory_iterator(folder)) {
                    before.push_back(e.path().string() + "=" + zrktest::readFile(e.path()));
                }
            }
            const char *logPath = given == Given::AsLogPath ? folder.c_str()
                                  : given == Given::AsDefault ? kUnset : "";
            auto r = run("1f", logPath, kUnset, [&] {
                zrkplatform::SetDefaultLogDirForTests(folder.c_str());
                writeAllLevels();
                WriteLog(1, nullptr, 0, "again");
            });
            EXPECT_EQ(r.exitCode, 0);
            EXPECT_EQ(r.err, "WARNING: WXAPI_LOG_PATH(" + folder + "): " + c.reason + "\n");
            std::vector<std::string> after;
            if (fs::is_directory(folder)) {
                for (const auto &e : fs::directory_iterator(folder)) {
                    after.push_back(e.path().string() + "=" + zrktest::readFile(e.path()));
                }
            }
            EXPECT_EQ(after, before);
            if (fs::exists(target)) {
                EXPECT_TRUE(fs::is_empty(target));
            }
            EXPECT_TRUE(logFiles().empty());
        }
    }
}

TEST_F(DebugLog, AbsentDefaultFolderIsCreatedPrivateWhateverTheUmask) {
    const std::string folder = root_.path("zrkapi");
    for (mode_t mask : {0000, 0022, 0077, 0700}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        fs::remove_all(folder);
        auto r = run("1", kUnset, kUnset, [&] {
            umask(mask);
            zrkplatform::SetDefaultLogDirForTests(folder.c_str());
            WriteLog(1, nullptr, 0, "into the default folder");
        });
        ASSERT_EQ(r.err, "");
        struct stat st {};
        ASSERT_EQ(lstat(folder.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0700u);
        EXPECT_EQ(st.st_uid, geteuid());
        const std::string file = folder + "/" + fs::path(todaysFile()).filename().string();
        ASSERT_EQ(lstat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0644u);
        EXPECT_NE(zrktest::readFile(file).find("MESG : into the default folder\n"),
                  std::string::npos);
    }

    // A default folder of the caller's own that is already there is used as
    // it stands.
    fs::remove_all(folder);
    ASSERT_TRUE(fs::create_directory(folder));
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    auto r = run("1", "", kUnset, [&] {
        zrkplatform::SetDefaultLogDirForTests(folder.c_str());
        WriteLog(1, nullptr, 0, "kept");
    });
    EXPECT_EQ(r.err, "");
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_FALSE(fs::is_empty(folder));
}

TEST_F(DebugLog, FolderReplacedByALinkAfterTheFirstLineGetsNoMoreLines) {
    const std::string folder = root_.path("swapped");
    const std::string moved = root_.path("swapped.old");
    const std::string target = root_.path("elsewhere");
    ASSERT_TRUE(fs::create_directory(folder));
    ASSERT_TRUE(fs::create_directory(target));
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
    ASSERT_EQ(chmod(target.c_str(), 0700), 0);
    auto r = run("1", folder.c_str(), kUnset, [&] {
        WriteLog(1, nullptr, 0, "first");
        if (rename(folder.c_str(), moved.c_str()) != 0) std::abort();
        if (symlink(target.c_str(), folder.c_str()) != 0) std::abort();
        WriteLog(1, nullptr, 0, "second");
        WriteLog(1, nullptr, 0, "third");
    });
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "WARNING: WXAPI_LOG_PATH(" + folder + "): Is a symbolic link\n");
    EXPECT_TRUE(fs::is_empty(target));
    const std::string kept =
        zrktest::readFile(moved + "/" + fs::path(todaysFile()).filename().string());
    EXPECT_NE(kept.find("MESG : first\n"), std::string::npos);
    EXPECT_EQ(kept.find("second"), std::string::npos);
}

// ---- the cap on one day's file ----------------------------------------------------

// Lines of 133 bytes (stamp, tag, 100 letters, newline); the first line of a
// process has an empty line before it. Seven of them take 932 bytes of a
// 1 KiB file; the eighth would pass the cap, and from then on the day's file
// gets nothing more from this process, not even a short line that would fit.
TEST_F(DebugLog, DayFileStopsAtTheCap) {
    auto r = run("1", root_.logDir().c_str(), kUnset, [] {
        setenv("WXAPI_LOG_MAX", "1", 1);
        for (int i = 0; i < 10; ++i) {
            WriteLog(1, nullptr, 0, "%s", std::string(100, static_cast<char>('a' + i)).c_str());
        }
        WriteLog(1, nullptr, 0, "x");
    });
    EXPECT_EQ(r.err, "WARNING: Write file(" + todaysFile() + ") failed: " + std::strerror(EFBIG) +
                         "\n");
    EXPECT_EQ(fs::file_size(todaysFile()), 932u);
    std::vector<std::string> expected;
    for (int i = 0; i < 7; ++i) expected.push_back(std::string(100, static_cast<char>('a' + i)));
    EXPECT_EQ(messages(), expected);
}

struct CapCase {
    const char *max;        // WXAPI_LOG_MAX, nullptr unset
    off_t room;             // bytes between the file's length and 64 MiB
    bool written;
};

// The default cap is 64 MiB, and the environment may raise it. The day's
// file is made sparse at its length, and one 38-byte line (with the empty
// line a process starts with) is written or not.
TEST_F(DebugLog, CapIs64MiBUnlessTheEnvironmentSaysOtherwise) {
    constexpr off_t k64MiB = 64 << 20;
    const CapCase cases[] = {
        {kUnset, 38, true},   // exactly up to the cap
        {kUnset, 37, false},  // one byte past it
        {"", 37, false},      // empty means unset
        {"65536", 37, false},
        {"65537", 37, true},  // raised by a KiB
        {"65537", -(1024 - 38), true},
        {"65537", -(1024 - 37), false},
        {"65535", 1024 + 38, true},
        {"65535", 1024 + 37, false},
    };
    for (const CapCase &c : cases) {
        SCOPED_TRACE(std::string(c.max ? c.max : "(unset)") + " room " + std::to_string(c.room));
        const std::string file = todaysFile();
        fs::remove(file);
        { std::ofstream(file).flush(); }
        fs::resize_file(file, static_cast<uintmax_t>(k64MiB - c.room));
        auto r = run("1", root_.logDir().c_str(), kUnset, [&] {
            if (c.max != nullptr) setenv("WXAPI_LOG_MAX", c.max, 1);
            WriteLog(1, nullptr, 0, "%s", "line");
        });
        const uintmax_t grown = c.written ? 38u : 0u;
        EXPECT_EQ(fs::file_size(file), static_cast<uintmax_t>(k64MiB - c.room) + grown);
        EXPECT_EQ(r.err, c.written ? std::string()
                                   : "WARNING: Write file(" + file + ") failed: " +
                                         std::strerror(EFBIG) + "\n");
    }
    fs::remove(todaysFile());
}

TEST_F(DebugLog, BadLogMaxWarnsAndSwitchesTheLogOff) {
    struct Case {
        const char *flag;
        const char *max;
        const char *warning;
    } const cases[] = {
        {"1", "0", "WARNING: WXAPI_LOG_MAX(0): Out of range\n"},
        {"1", "-1", "WARNING: WXAPI_LOG_MAX(-1): Out of range\n"},
        {"1", "3000000000", "WARNING: WXAPI_LOG_MAX(3000000000): Out of range\n"},
        {"1", "abc", "WARNING: WXAPI_LOG_MAX(abc): Not a DEC numeric string\n"},
        {"1", "64k", "WARNING: WXAPI_LOG_MAX(64k): Not a DEC numeric string\n"},
        {"0", "junk", ""},  // the log is off: the variable is not examined
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.max);
        auto r = run(c.flag, root_.logDir().c_str(), kUnset, [&] {
            setenv("WXAPI_LOG_MAX", c.max, 1);
            writeAllLevels();
            writeAllLevels();
        });
        EXPECT_EQ(r.err, c.warning);
        EXPECT_TRUE(logFiles().empty());
    }
}

}  // namespace
