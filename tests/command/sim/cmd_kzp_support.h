// The KZP-family command tests' view of the simulator: the fixture of the
// command tests plus two arrays with the pool size query, one reached
// in-band through a disk (alias "ss"), one over the LAN service (alias
// "tl"), and more volumes on the LAN array B1.
#pragma once

#include "cmd_support.h"

#include <sstream>
#include <string>

namespace kzptest {

inline std::string Arrays() {
    // Byte 4: SnapKZP+, SnapKZP and the concurrent start (0x80).
    const std::string support = iptest::SupportHex({{4, 0xAF}});
    std::string text = "array S1 boxid=\"BOXS\" address=10.0.0.10 poolsize=yes support=" + support +
                       "\narray T1 boxid=\"BOXT\" address=10.0.0.11 poolsize=yes support=" +
                       support + "\n";
    for (const char *array : {"S1", "T1"}) {
        for (int olu = 1; olu <= 8; ++olu) // 5 to 8: snap data volumes
            text += std::string("volume ") + array + " " + std::to_string(olu) + " 4096" +
                    (olu >= 5 ? " type=sdv\n" : "\n");
    }
    return text + "volume B1 3 4096\nvolume B1 4 4096\ndisk /dev/sdg 8:96 S1 1\n";
}

inline char *Text(const char *text) { return const_cast<char *>(text); }
inline char *Text(const std::string &text) { return const_cast<char *>(text.c_str()); }

class CmdKzp : public cmdtest::CommandSim {
protected:
    explicit CmdKzp(const std::string &sessions = "") : CommandSim(Arrays() + sessions) {}

    void SetUp() override {
        CommandSim::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NO_FATAL_FAILURE(LogIn("10.0.0.11"));
        ASSERT_NO_FATAL_FAILURE(AddDiskRoute("/dev/sdg", "BOXS"));
        ASSERT_NO_FATAL_FAILURE(AddLanRoute("10.0.0.11", "BOXT"));
        Rename("BOXS", "ss");
        Rename("BOXT", "tl");
        sim.clearLog();
        sim.commandOk("clearlanlog");
    }

    std::string Session(const std::string &array, const std::string &pairText) const {
        return cmdtest::SessionOf(sim, array, pairText);
    }
    // The kind word of a session line.
    static std::string Kind(const std::string &line) {
        std::istringstream in(line);
        std::string word, id, kind;
        in >> word >> id >> kind;
        return kind;
    }
    // The stored name of one side of the pair of the two names.
    std::string Stored(const char *source, const char *target, bool targetSide) {
        const cmdtest::Resolved r = Resolve(source, target);
        EXPECT_EQ(r.iResult, 0) << r.tInfo.caMessage;
        return cmdtest::StoredName(r.tPair, targetSide);
    }
    static void ExpectResult(const ReturnInfo &ri, int returnClass, uint32_t number,
                             const char *message) {
        EXPECT_EQ(ri.iReturnClass, returnClass) << ri.caMessage;
        EXPECT_EQ(ri.uiMessageNo, number);
        if (message != nullptr) {
            EXPECT_STREQ(ri.caMessage, message);
        }
    }
};

inline constexpr char kOptionInvalid[] = "ZRKC1010 ERROR Specified option is invalid.\n";
inline constexpr char kPreconditions[] =
    "ZRKC1214 ERROR Preconditions for copy operation are not satisfied.\n";
inline constexpr char kNoSession[] = "ZRKC1100 ERROR Session does not exist.\n";
inline constexpr char kWrongForm[] =
    "ZRKC1016 ERROR The group file of the form not permitted was specified.\n";

} // namespace kzptest
