// Lists an array fills, through the programs against a hostile array: a
// maximum above the 16 bits the volume information carries, and a list
// longer than the maximum the caller sized its area by. Each is refused as
// a broken reply, and nothing is written beyond an area (the programs run
// under AddressSanitizer in the sanitizer build).
#include "program_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

const char *const kBrokenReply = "ZRKC1224 ERROR Communication error occurred.\n";

struct Call {
    const char *pProgram;
    std::vector<std::string> vArgs;
};

// The commands that read a detail list or a generation list of array B1
// ("lb", reached over the LAN).
const std::vector<Call> kLanCalls = {
    {"zrkcvz", {"suspendstatus", "0x1@lb", "0x2@lb"}},
    {"zrkccopy", {"query", "0x1@lb", "0x2@lb"}},
    {"zrkccopy", {"query", "-b", "0x1@lb"}},
    {"zrkccopy", {"query", "0x1@lb"}},
    {"zrkccopy", {"copyinhibit", "-set", "0x1@lb"}},
    {"zrkcskzp", {"stop", "-f", "0x1@lb", "0x2@lb"}},
};

class BoundsProgramSim : public clitest::ProgramSim {
protected:
    BoundsProgramSim()
        : ProgramSim("volume B1 3 4096\n"
                     "session 1 vz B1 1 B1 2 size=4096\n"
                     "session 2 vz B1 2 B1 3 size=4096\n") {}

    void ExpectRefused(const std::vector<Call> &calls) {
        for (const Call &c : calls) {
            std::string line = c.pProgram;
            for (const std::string &a : c.vArgs) line += " " + a;
            SCOPED_TRACE(line);
            const ProgramResult r = RunProgram(c.pProgram, c.vArgs);
            EXPECT_EQ(r.iExit, 4);
            EXPECT_EQ(r.sOut, "");
            EXPECT_EQ(r.sErr, kBrokenReply);
        }
    }
};

TEST_F(BoundsProgramSim, MaximaAboveSixteenBitsAreABrokenReply) {
    sim.setArray("B1", "lanmaxima=0x10400,1024,16");
    ExpectRefused(kLanCalls);
    sim.setArray("B1", "lanmaxima=1024,1024,0x10002");
    ExpectRefused({{"zrkcskzp", {"stop", "-f", "0x1@lb", "0x2@lb"}}});
}

TEST_F(BoundsProgramSim, ListLongerThanTheMaximumIsABrokenReply) {
    // Two sessions on an array that says it keeps one.
    sim.setArray("B1", "lanmaxima=1,1024,16");
    ExpectRefused({{"zrkcvz", {"suspendstatus", "0x1@lb", "0x2@lb"}},
                   {"zrkccopy", {"query", "0x1@lb", "0x2@lb"}},
                   {"zrkccopy", {"query", "0x1@lb"}},
                   {"zrkccopy", {"copyinhibit", "-set", "0x1@lb"}}});
    // The maximum that fits the list: the pair is found.
    sim.setArray("B1", "lanmaxima=2,1024,16");
    const ProgramResult r = RunProgram("zrkcvz", {"suspendstatus", "0x1@lb", "0x2@lb"});
    EXPECT_EQ(r.iExit, 0) << r.sErr;
}

}  // namespace
