// zrkccopy query end to end: the real program in a child process against
// the simulator and a temporary install root; standard output, standard
// error and the exit code, byte for byte. The refusals of every subcommand's
// command line, then the copy query of sessions in their states and phases
// over the in-band road ("sa") and the LAN road ("lb").
#include "program_support.h"

#include <string>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

const std::string kUsage =
    "Usage : zrkccopy query [-v | -s] [-odx] [-back] [-csv] [-p Alias]          src_volume trg_volume |\n"
    "        zrkccopy query [-v] [-odx] [-back] [-csv] [-p Alias] -gf           group_file            |\n"
    "        zrkccopy query [-v] [-vz | -kzp | -odx] [-b] [-csv]                volume                |\n"
    "        zrkccopy query -g [-csv]                                           volume                |\n"
    "        zrkccopy query -g [-csv] -gf                                       group_file            |\n"
    "        zrkccopy routeset                                                  volume                |\n"
    "        zrkccopy dest [-csv]                                               volume                |\n"
    "        zrkccopy alias -l [-csv]                                                                 |\n"
    "        zrkccopy alias -m id                                               alias_name            |\n"
    "        zrkccopy alias -d id [user_id]                                                           |\n"
    "        zrkccopy copyinhibit -set | -release                               volume                |\n"
    "        zrkccopy copyinhibit -set | -release [-back] -gf                   group_file            |\n"
    "        zrkccopy lunstatus [-b] [-csv]                                     volume                |\n"
    "        zrkccopy lunstatus [-back] [-csv] -gf                              group_file            |\n"
    "        zrkccopy rvzbuff [-v] [-num buffer_id] [-csv]                      volume                |\n"
    "        zrkccopy rvzbuff -m -num buffer_id -send | -recv                   volume                |\n"
    "        zrkccopy iprouteset                                                ip_address user_id    |\n"
    "        zrkccopy iplogin                                                   alias_name            |\n"
    "        zrkccopy iplogout                                                  alias_name            |\n"
    "        zrkccopy copypriority -q [-csv]                                    volume                |\n"
    "        zrkccopy copypriority -local  speed_level                          volume                |\n"
    "        zrkccopy copypriority -direct speed_level        -box remote_boxid volume                |\n"
    "        zrkccopy copypriority -remote multiplicity_level -box remote_boxid volume                |\n";

std::string Refusal(const std::string &parameter) {
    return "ZRKC0100 ERROR Specified command parameter is incorrect. Parameter=(" + parameter + ").\n";
}

ProgramResult Copy(const std::vector<std::string> &args, const std::string &input = "") {
    return RunProgram("zrkccopy", args, input);
}

const std::string kBox40(40, 'B');

// Every refusal of the command line: the ZRKC0100 line, the usage text,
// exit 2, nothing on standard output. The library is never reached (no
// simulator runs here).
TEST(CopyProgram, CommandLineRefusals) {
    struct Case {
        std::vector<std::string> args;
        const char *pParameter;
    };
    const Case cases[] = {
        {{}, "No parameter"},
        {{"bogus", "a"}, "bogus"},
        {{"start", "a", "b"}, "start"},                          // a subcommand of another program
        {{"query"}, "Volume specification"},
        {{"query", "-sl", "list"}, "Volume specification"},
        {{"query", "-g", "a", "b"}, "Non-permissible option"},
        {{"query", "-b", "-s", "v"}, "Non-permissible option"},
        {{"query", "-tfop", "v"}, "Non-permissible option"},
        {{"query", "-s", "-gf", "g"}, "Non-permissible option"},
        {{"query", "-s", "-v", "a", "b"}, "-s -v"},
        {{"query", "-skzp", "-p", "sa", "a", "b"}, "-skzp -p"},
        {{"query", "-skzp", "-odx", "a", "b"}, "-skzp -odx"},
        {{"query", "-g", "-v", "v"}, "-g"},
        {{"query", "-vz", "-kzp", "v"}, "-vz, -kzp, -odx"},
        {{"query", "-kzp", "-odx", "-b", "v"}, "-vz, -kzp, -odx"},
        {{"query", "-vz", "-skzp", "v"}, "-vz, -skzp"},
        {{"query", "-odx", "-skzp", "-b", "v"}, "-odx, -skzp"},
        {{"query", "-g", "-back", "-gf", "g"}, "-g"},
        {{"query", "-skzp", "-p", "sa", "-gf", "g"}, "-skzp -p"},
        {{"query", "-g", "-p", "sa", "-gf", "g"}, "-g -p"},
        {{"query", "-skzp", "-odx", "-gf", "g"}, "-skzp -odx"},
        {{"query", "-g", "-odx", "-gf", "g"}, "-g -odx"},
        {{"routeset", "a", "b"}, "Volume specification"},
        {{"routeset", "-csv", "v"}, "Non-permissible option"},
        {{"dest", "-n", "v"}, "Non-permissible option"},
        {{"alias"}, "Invalid option"},
        {{"alias", "-csv"}, "Invalid option"},
        {{"alias", "-l", "v"}, "Volume specification"},
        {{"alias", "-m", "5"}, "Volume specification"},
        {{"alias", "-m", "5x", "name"}, "Invalid ID"},
        {{"alias", "-m", "4294967296", "name"}, "Invalid ID"},
        {{"alias", "-d", "+5"}, "Invalid ID"},
        {{"alias", "-d", "", "user"}, "Invalid ID"},
        {{"alias", "-d", "5", "-csv"}, "Non-permissible option"},
        {{"alias", "-a", "short"}, "BoxID"},
        {{"alias", "-a", kBox40 + "B"}, "BoxID"},
        {{"copyinhibit", "v"}, "-set, -release"},
        {{"copyinhibit", "-set", "-release", "v"}, "-set, -release"},
        {{"copyinhibit", "-set", "-back", "v"}, "Non-permissible option"},
        {{"lunstatus", "-v", "v"}, "Non-permissible option"},
        {{"lunstatus", "a", "b"}, "Volume specification"},
        {{"rvzbuff", "-m", "-send", "v"}, "option error"},
        {{"rvzbuff", "-m", "-num", "1", "v"}, "option error"},
        {{"rvzbuff", "-m", "-num", "1", "-send", "-recv", "v"}, "-send, -recv"},
        {{"rvzbuff", "-send", "v"}, "Non-permissible option"},
        {{"iprouteset", "10.0.0.6"}, "ip_address and user_id is necessary"},
        {{"iplogin", "a", "b"}, "alias_name"},
        {{"iplogout"}, "alias_name"},
        {{"iplogin", "-csv", "lb"}, "Non-permissible option"},
        {{"copypriority", "v"}, "-q, -local, -direct, -remote"},
        {{"copypriority", "-q", "-local", "auto", "v"}, "-q, -local, -direct, -remote"},
        {{"copypriority", "-q", "-box", kBox40, "v"}, "-q, -box"},
        {{"copypriority", "-local", "low", "-remote", "2", "v"}, "-local, -direct, -remote"},
        {{"copypriority", "-local", "high", "-csv", "v"}, "-local, -box , -csv"},
        {{"copypriority", "-direct", "1", "-remote", "2", "-box", kBox40, "v"}, "-direct, -remote"},
        {{"copypriority", "-direct", "10", "v"}, "-direct, -box"},
        {{"copypriority", "-direct", "10", "-box", kBox40, "-csv", "v"}, "-direct, -csv"},
        {{"copypriority", "-remote", "3", "v"}, "-remote, -box"},
        {{"copypriority", "-remote", "3", "-box", kBox40, "-csv", "v"}, "-remote, -csv"},
        {{"copypriority", "-q", "-b", "v"}, "Volume specification"},
    };
    for (const Case &c : cases) {
        std::string line;
        for (const std::string &a : c.args) line += a + " ";
        SCOPED_TRACE(line);
        const ProgramResult r = Copy(c.args);
        EXPECT_EQ(r.iExit, 2);
        EXPECT_EQ(r.sOut, "");
        EXPECT_EQ(r.sErr, Refusal(c.pParameter) + kUsage);
    }
}

}  // namespace
