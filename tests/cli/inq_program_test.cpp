// zrkcinq end to end: the real program in a child process against the
// simulator; standard output, standard error and the exit code, byte for
// byte. Its refusals, and the vol and device summaries in text and CSV over
// the in-band road ("sa") and the LAN road ("lb").
#include "program_support.h"

#include <string>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

ProgramResult Inq(const std::vector<std::string> &args) { return RunProgram("zrkcinq", args); }

TEST(InqProgram, CommandLineRefusals) {
    clitest::ExpectRefusals("zrkcinq", "Usage : zrkcinq vol [-csv] volume\n", {
        {{}, "No parameter"},
        {{"start", "a", "b"}, "start"},
        {{"vol", "a", "b"}, "Volume specification"},
        {{"device", "-gf", "group"}, "Volume specification"},
        {{"vol", "-v", "a"}, "Non-permissible option"},
        {{"device", "-f", "a"}, "Non-permissible option"},
    });
}

class InqProgramSim : public clitest::ProgramSim {
protected:
    InqProgramSim() : ProgramSim("") {}
};

TEST_F(InqProgramSim, VolumeSummary) {
    const std::string box = cmdtest::Box("BOXA");
    const std::string header =
        "BoxID                                     Volume  ExtentStartAddress  ExtentSize(KB)         Type  Alias\n";
    const std::string csvHeader = "\"BoxID\",\"Volume\",\"ExtentStartAddress\",\"ExtentSize(KB)\",\"Type\",\"Alias\"\n";
    struct Case {
        std::vector<std::string> args;
        std::string sOut;
    } cases[] = {
        {{"vol", "/dev/sdb"},
         header + box + "  0x1     0x0                 2048.0                       sa              \n"},
        {{"vol", "/dev/sdb2"},
         header + box + "  0x1     0x3e8               500.0                        sa              \n"},
        {{"vol", "-csv", "/dev/sdb2"}, csvHeader + "\"BOXA\",\"0x1\",\"0x3e8\",\"500.0\",\"\",\"sa\"\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.back());
        const ProgramResult r = Inq(c.args);
        EXPECT_EQ(r.iExit, 0);
        EXPECT_EQ(r.sErr, "");
        EXPECT_EQ(r.sOut, c.sOut);
    }
    // The summary takes device names only: the alias form is refused with
    // the library's message, exit 4, no table.
    const ProgramResult r = Inq({"vol", "0x7@nc"});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "");
    EXPECT_EQ(r.sErr, "ZRKC1002 ERROR Invalid logical volume name. Volume name=(0x7@nc).\n");
}

// device is served although the usage text names only vol.
TEST_F(InqProgramSim, DeviceSummary) {
    for (const char *volume : {"0x1@sa", "0x1@lb"}) {
        SCOPED_TRACE(volume);
        ProgramResult r = Inq({"device", volume});
        EXPECT_EQ(r.iExit, 0);
        EXPECT_EQ(r.sErr, "");
        EXPECT_EQ(r.sOut, "MaxSession  MaxSnapGene  SupportFlag\n1024        16           0x00000000\n");
        r = Inq({"device", "-csv", volume});
        EXPECT_EQ(r.iExit, 0);
        EXPECT_EQ(r.sErr, "");
        EXPECT_EQ(r.sOut, "\"MaxSession\",\"MaxSnapGene\",\"SupportFlag\"\n\"1024\",\"16\",\"0x00000000\"\n");
    }
}

}  // namespace
