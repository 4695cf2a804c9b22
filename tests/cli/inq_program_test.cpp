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
    struct Case {
        std::vector<std::string> args;
        const char *pParameter;
    };
    const Case cases[] = {
        {{}, "No parameter"},
        {{"start", "a", "b"}, "start"},
        {{"vol", "a", "b"}, "Volume specification"},
        {{"device", "-gf", "group"}, "Volume specification"},
        {{"vol", "-v", "a"}, "Non-permissible option"},
        {{"device", "-f", "a"}, "Non-permissible option"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pParameter);
        const ProgramResult r = Inq(c.args);
        EXPECT_EQ(r.iExit, 2);
        EXPECT_EQ(r.sOut, "");
        EXPECT_EQ(r.sErr, "ZRKC0100 ERROR Specified command parameter is incorrect. Parameter=(" +
                              std::string(c.pParameter) + ").\nUsage : zrkcinq vol [-csv] volume\n");
    }
}

class InqProgramSim : public clitest::ProgramSim {
protected:
    InqProgramSim() : ProgramSim("volume B1 3 4096\n") {}
};

TEST_F(InqProgramSim, VolumeSummary) {
    struct Case {
        const char *pVolume, *pBox, *pAlias;
        const char *pOlu;
    } cases[] = {
        {"/dev/sdb", "BOXA", "sa", "0x1 "},
        {"0x3@lb", "BOXB", "lb", "0x3 "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pVolume);
        const std::string box = cmdtest::Box(c.pBox);
        ProgramResult r = Inq({"vol", c.pVolume});
        EXPECT_EQ(r.iExit, 0);
        EXPECT_EQ(r.sErr, "");
        EXPECT_EQ(r.sOut, "BoxID                                     Volume  ExtentStartAddress  ExtentSize(KB)"
                          "         Type  Alias\n" +
                              box + "  " + c.pOlu + "  0x0                 2048                          " +
                              std::string(c.pAlias) + std::string(16 - std::string(c.pAlias).size(), ' ') + "\n");
        r = Inq({"vol", "-csv", c.pVolume});
        EXPECT_EQ(r.iExit, 0);
        EXPECT_EQ(r.sErr, "");
        EXPECT_EQ(r.sOut, "\"BoxID\",\"Volume\",\"ExtentStartAddress\",\"ExtentSize(KB)\",\"Type\",\"Alias\"\n\"" +
                              box + "\",\"" + std::string(c.pOlu, 3) + "\",\"0x0\",\"2048\",\"\",\"" + c.pAlias +
                              "\"\n");
    }
    // A volume the library cannot resolve: its message, exit 4, no table.
    const ProgramResult r = Inq({"vol", "0x7@nc"});
    EXPECT_EQ(r.iExit, 4);
    EXPECT_EQ(r.sOut, "");
    EXPECT_EQ(r.sErr, "ZRKC1600 ERROR VASTREL is not registered on VASTREL management file.\n");
}

// device is served although the usage text names only vol.
TEST_F(InqProgramSim, DeviceSummary) {
    for (const char *volume : {"0x1@sa", "0x1@lb"}) {
        SCOPED_TRACE(volume);
        ProgramResult r = Inq({"device", volume});
        EXPECT_EQ(r.iExit, 0);
        EXPECT_EQ(r.sErr, "");
        EXPECT_EQ(r.sOut, "MaxSession  MaxSnapGene  SupportFlag\n");
        r = Inq({"device", "-csv", volume});
        EXPECT_EQ(r.iExit, 0);
        EXPECT_EQ(r.sErr, "");
        EXPECT_EQ(r.sOut, "\"MaxSession\",\"MaxSnapGene\",\"SupportFlag\"\n");
    }
}

}  // namespace
