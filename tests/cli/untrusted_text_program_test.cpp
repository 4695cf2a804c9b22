// What an administrator names and what an array says, end to end: a group
// or session-list file that is a device or a FIFO is no file (the programs
// neither hang in open nor read for ever), and control bytes of the array's
// data reach the terminal as "?", the layouts otherwise unchanged.
#include "program_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

class UntrustedTextSim : public clitest::ProgramSim {
protected:
    // A FIFO nobody writes to: an open that waits for a writer never ends.
    std::string Fifo() {
        const std::string path = root.path("fifo");
        ::mkfifo(path.c_str(), 0600);
        return path;
    }

    // Overwrites the BoxID of the alias store's entry id in place (the
    // file keeps its owner and mode).
    void SetBoxId(uint32_t id, const std::string &box) {
        const std::string path = root.etc() + "/" + ZRKC_ALIAS_FILE;
        const std::string file = zrktest::readFile(path);
        const auto *main = reinterpret_cast<const AliasMainFile *>(file.data());
        for (size_t i = 0; i < ZRKC_ALIAS_SLOTS; ++i) {
            const AliasEntry &e = main->Slot[i];
            if (!e.InUse || e.ID != id) continue;
            char field[ZRK_BOXID_LEN];
            std::memset(field, ' ', sizeof field);
            std::memcpy(field, box.data(), box.size());
            const size_t at = offsetof(AliasMainFile, Slot) + i * sizeof(AliasEntry) + offsetof(AliasEntry, BoxID);
            const int fd = ::open(path.c_str(), O_WRONLY);
            ASSERT_GE(fd, 0);
            EXPECT_EQ(::pwrite(fd, field, sizeof field, static_cast<off_t>(at)), static_cast<ssize_t>(sizeof field));
            ::close(fd);
            return;
        }
        FAIL() << "no entry " << id;
    }
};

// A device or a FIFO as the group file, or as the session-list file, gets
// what a file that is not there gets, at once.
TEST_F(UntrustedTextSim, DevicesAndFifosAreNoFiles) {
    const std::string fifo = Fifo();
    const std::string absent = root.path("absent.txt");
    struct Case {
        const char *pProgram;
        std::vector<std::string> args; // "FILE" stands for the file
    };
    const Case cases[] = {
        {"zrkccopy", {"query", "-gf", "FILE"}},
        {"zrkcvz", {"suspendstatus", "-gf", "FILE"}},
        {"zrkcvz", {"suspend", "-sl", "FILE", "-p", "lb"}},
    };
    for (const Case &c : cases) {
        const auto run = [&](const std::string &file) {
            std::vector<std::string> args = c.args;
            for (std::string &a : args) {
                if (a == "FILE") a = file;
            }
            return RunProgram(c.pProgram, args);
        };
        const ProgramResult missing = run(absent);
        ASSERT_NE(missing.sErr.find("does not exist"), std::string::npos) << missing.sErr;
        for (const std::string &file : {std::string("/dev/zero"), fifo}) {
            SCOPED_TRACE(std::string(c.pProgram) + " " + c.args[0] + " " + file);
            const ProgramResult r = run(file);
            EXPECT_EQ(r.iExit, missing.iExit);
            EXPECT_EQ(r.sOut, missing.sOut);
            EXPECT_EQ(r.sErr, missing.sErr);
        }
    }
}

// A BoxID with ESC, BEL, a line feed and DEL: the alias list, text and CSV,
// shows each as "?" and is otherwise the list of the BoxID with "?" there.
TEST_F(UntrustedTextSim, ControlBytesOfABoxIdShowAsQuestionMarks) {
    const std::string hostile = std::string("BOX\x1b[31mRED\x07") + "\nX\x7f" + "END";
    std::string shown = hostile;
    for (char &ch : shown) {
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ch = '?';
    }
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"alias", "-l"}, std::vector<std::string>{"alias", "-l", "-csv"}}) {
        SCOPED_TRACE(args.size());
        SetBoxId(1, hostile);
        const ProgramResult r = RunProgram("zrkccopy", args);
        SetBoxId(1, shown);
        const ProgramResult plain = RunProgram("zrkccopy", args);
        EXPECT_EQ(r.iExit, 0);
        EXPECT_EQ(plain.iExit, 0);
        EXPECT_NE(r.sOut.find(shown), std::string::npos) << r.sOut;
        EXPECT_EQ(r.sOut, plain.sOut);
        EXPECT_EQ(r.sOut.find_first_of("\x1b\x07\x7f"), std::string::npos);
    }
}

}  // namespace
