// zrkccopy settings end to end: routes and aliases, LAN routes and LAN
// login, LUN status and copy inhibit, RVZ buffers and copy priority. The
// real program runs in a child process against the simulator; its output,
// the alias store's files and the LAN service's operations are compared.
#include "program_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using clitest::ProgramResult;
using clitest::RunProgram;

// One run of the program and what it must show.
struct Expect {
    std::vector<std::string> args;
    int iExit;
    std::string sOut, sErr;
    std::string sInput = "";
};

void Check(const std::vector<Expect> &runs) {
    for (const Expect &e : runs) {
        std::string line;
        for (const std::string &a : e.args) line += a + " ";
        SCOPED_TRACE(line);
        const ProgramResult r = RunProgram("zrkccopy", e.args, e.sInput);
        EXPECT_EQ(r.iExit, e.iExit);
        EXPECT_EQ(r.sOut, e.sOut);
        EXPECT_EQ(r.sErr, e.sErr);
    }
}

// The command tests' arrays with an RVZ buffer on A1 and the copy priority
// offered by A1 and B1.
class CopySettingsSim : public clitest::ProgramSim {
protected:
    CopySettingsSim() {
        std::string text = cmdtest::Scenario("rvzbuffer A1 0 type=1 remote=B1 interval=2 monitor=5 cms=1,2,3 size=300\n");
        const std::string plain = iptest::SupportHex({{4, 0x2F}});
        const std::string priority = iptest::SupportHex({{4, 0x6F}});
        for (size_t at = text.find(plain); at != std::string::npos; at = text.find(plain, at))
            text.replace(at, plain.size(), priority);
        sim.load(text);
    }

    std::string MainFile() const { return zrktest::readFile(root.etc() + "/" + ZRKC_ALIAS_FILE); }
    std::string ExtFile() const { return zrktest::readFile(root.etc() + "/" + ZRKC_ALIAS_EXT_FILE); }

    // The operations (open, close, encrypt, decrypt, proc) the LAN service
    // received since the last look.
    std::vector<std::string> Operations() {
        return iptest::LanOperations(sim);
    }
};

const std::string kAliasHeader =
    "ID   Alias             DevIDNo   ProductID         BoxID                                     AccessPath\n";
const std::string kAliasCsvHeader = "\"ID\",\"Alias\",\"DevIDNo\",\"ProductID\",\"BoxID\",\"AccessPath\"\n";

// The main file with entry id's alias replaced.
std::string WithAlias(std::string file, uint32_t id, const char *alias) {
    auto *main = reinterpret_cast<AliasMainFile *>(file.data());
    for (AliasEntry &e : main->Slot) {
        if (e.InUse && e.ID == id) {
            std::memset(e.Alias, 0, sizeof(e.Alias));
            std::memcpy(e.Alias, alias, std::strlen(alias));
        }
    }
    return file;
}

// The route of an array, the alias list, and the alias subcommands: the
// store's files change by exactly what each one does.
TEST_F(CopySettingsSim, RoutesAndAliases) {
    Check({
        {{"dest", "/dev/sdb"}, 0,
         "Source\n"
         "Alias     :sa              \n"
         "DevIDNo   :        \n"
         "ProductID :                \n"
         "BoxID     :BOXA                                    \n"
         "AccessPath:/dev/sdb\n"
         "\n"
         "Target\n"
         "No   Alias             DevIDNo   ProductID         BoxID\n"
         "1    lb                                            BOXB                                    \n"
         "2    nc                                            BOXC                                    \n"
         "3                                                  BOXF                                    \n"
         "4                                                  BOXP                                    \n",
         ""},
        {{"dest", "-csv", "/dev/sdb"}, 0,
         "\"Source\",\"Alias\",\"DevIDNo\",\"ProductID\",\"BoxID\",\"AccessPath\",\"Target\",\"No\",\"Alias\",\"DevIDNo\",\"ProductID\",\"BoxID\"\n"
         "\"\",\"sa\",\"\",\"\",\"BOXA\",\"/dev/sdb\",\"\",\"1\",\"lb\",\"\",\"\",\"BOXB\"\n"
         "\"\",\"sa\",\"\",\"\",\"BOXA\",\"/dev/sdb\",\"\",\"2\",\"nc\",\"\",\"\",\"BOXC\"\n"
         "\"\",\"sa\",\"\",\"\",\"BOXA\",\"/dev/sdb\",\"\",\"3\",\"\",\"\",\"\",\"BOXF\"\n"
         "\"\",\"sa\",\"\",\"\",\"BOXA\",\"/dev/sdb\",\"\",\"4\",\"\",\"\",\"\",\"BOXP\"\n",
         ""},
        {{"dest", "0x7@nc"}, 4, "", "ZRKC1002 ERROR Invalid logical volume name. Volume name=(0x7@nc).\n"},
        {{"alias", "-l"}, 0,
         kAliasHeader +
         "0    sa                                            BOXA                                      /dev/sdb\n"
         "1    lb                                            BOXB                                      10.0.0.6\n"
         "2    nc                                            BOXC                                      \n",
         ""},
        {{"alias", "-l", "-csv"}, 0,
         kAliasCsvHeader +
         "\"0\",\"sa\",\"\",\"\",\"BOXA\",\"/dev/sdb\"\n"
         "\"1\",\"lb\",\"\",\"\",\"BOXB\",\"10.0.0.6\"\n"
         "\"2\",\"nc\",\"\",\"\",\"BOXC\",\"\"\n",
         ""},
    });

    // -m renames one entry and nothing else.
    const std::string before = MainFile();
    Check({{{"alias", "-m", "2", "far"}, 0, "", ""}});
    EXPECT_EQ(MainFile(), WithAlias(before, 2, "far"));
    Check({{{"alias", "-m", "2", "sa"}, 4, "", "ZRKC1411 ERROR Alias is already defined.\n"}});
    EXPECT_EQ(MainFile(), WithAlias(before, 2, "far"));
    // The id is read as an unsigned conversion reads it: blanks and a sign first.
    Check({{{"alias", "-m", " +2", "near"}, 0, "", ""}});
    EXPECT_EQ(MainFile(), WithAlias(before, 2, "near"));
    Check({{{"alias", "-m", "2", "far"}, 0, "", ""}});

    // -a enters an array by its BoxID; -d without a user removes it again
    // and never prompts.
    Check({{{"alias", "-a", cmdtest::Box("BOXD")}, 0, "", ""}});
    AliasRecord record{};
    ReturnInfo ri{};
    ASSERT_EQ(0, com_get_alias_info(0, cmdtest::Box("BOXD").c_str(), &record, &ri)) << ri.caMessage;
    Check({{{"alias", "-d", "+" + std::to_string(record.Main.ID)}, 0, "", ""}});
    EXPECT_EQ(MainFile(), WithAlias(before, 2, "far"));

    // routeset registers the disk's array again without the device list.
    Check({{{"routeset", "-n", "/dev/sdb"}, 0, "", ""}});
}

// A LAN entry: the password is prompted for when -pw is not given; the
// service decrypts the stored account; the extension file's slot is cleared.
TEST_F(CopySettingsSim, DeletingALanEntryAsksForThePassword) {
    Check({{{"alias", "-d", "1", "admin"}, 4, "Password: \n",
            "ZRKC1023 ERROR The specification of user information is incorrect.\n", "wrong\n"}});
    EXPECT_EQ((std::vector<std::string>{"decrypt", "decrypt"}), Operations());
    Check({{{"alias", "-d", "1", "admin"}, 0, "Password: \n", "", "secret\n"}});
    EXPECT_EQ((std::vector<std::string>{"decrypt", "decrypt"}), Operations());
    const std::string ext = ExtFile();
    const auto &slot = reinterpret_cast<const AliasExtFile *>(ext.data())->Slot[1];
    EXPECT_TRUE(std::all_of(reinterpret_cast<const char *>(&slot), reinterpret_cast<const char *>(&slot + 1),
                            [](char c) { return c == 0; }));
}

// LAN route, logout and login: what the service sees of each.
TEST_F(CopySettingsSim, LanRouteAndLogin) {
    Check({{{"iprouteset", "-pw", "secret", "10.0.0.7", "admin"}, 0, "", ""}});
    std::vector<std::string> ops = Operations();
    ASSERT_GE(ops.size(), 3u);
    EXPECT_EQ(ops.front(), "open");
    EXPECT_EQ((std::vector<std::string>(ops.end() - 3, ops.end())),
              (std::vector<std::string>{"close", "encrypt", "encrypt"}));
    const std::string ext = ExtFile();
    const AliasExtEntry &slot = reinterpret_cast<const AliasExtFile *>(ext.data())->Slot[2];
    EXPECT_EQ(std::string(slot.Password, strnlen(slot.Password, sizeof(slot.Password))), cmdtest::Encrypted("secret"));

    // Prompted password, refused by the array: nothing is stored.
    const std::string main = MainFile();
    Check({{{"iprouteset", "10.0.0.7", "admin"}, 4, "Password: \n",
            "ZRKC1904 ERROR Failed to log in to the VASTREL Disk storage system.\n", "wrong\n"}});
    EXPECT_EQ((std::vector<std::string>{"encrypt", "open"}), Operations());
    EXPECT_EQ(MainFile(), main);

    Check({{{"iplogout", "lb"}, 0, "", ""}});
    EXPECT_EQ((std::vector<std::string>{"close"}), Operations());
    Check({{{"iplogin", "lb"}, 0, "", ""}});
    EXPECT_EQ((std::vector<std::string>{"decrypt", "decrypt", "open"}), Operations());
    Check({{{"iplogin", "sa"}, 4, "", "ZRKC1022 ERROR This VASTREL is already defined in SCSI interface.\n"}});
}

const std::string kLunHeader =
    "LUN_V   LogicalSize(KB)        PhysicalSize(KB)       UsedSDV(Host / Copy)(KB)                       "
    "UsedSDP(Host / Copy)(KB)                       StatusInfo(Kind/Initialize/CopyInhibit)  TfovInfo(Type/Status)  TfoGroupNo\n";
std::string LunRow(const char *lun, const char *inhibit) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "%-6s  2048.0                 2048.0                 0.0                   / 0.0                    "
                  "0.0                   / 0.0                    NotSDV/NotSDV/%-7s                    ---/---                ---\n",
                  lun, inhibit);
    return text;
}

// LUN status over both roads and the copy inhibit it shows.
TEST_F(CopySettingsSim, LunStatusAndCopyInhibit) {
    Check({
        {{"lunstatus", "0x3@sa"}, 0, kLunHeader + LunRow("0x3", "Normal"), ""},
        {{"lunstatus", "0x1@lb"}, 0, kLunHeader + LunRow("0x1", "Normal"), ""},
        {{"lunstatus", "-csv", "-bitdsp", "0x3@sa"}, 0,
         "\"LUN_V\",\"LogicalSize(KB)\",\"PhysicalSize(KB)\",\"UsedSDV(Host)(KB)\",\"UsedSDV(Copy)(KB)\","
         "\"UsedSDP(Host)(KB)\",\"UsedSDP(Copy)(KB)\",\"StatusFlag\",\"TfoGroupNo\"\n"
         "\"0x3\",\"2048.0\",\"2048.0\",\"0.0\",\"0.0\",\"0.0\",\"0.0\",\"0x00000000\",\"---\"\n",
         ""},
        {{"copyinhibit", "-set", "0x3@sa"}, 0, "", ""},
        {{"lunstatus", "0x3@sa"}, 0, kLunHeader + LunRow("0x3", "Inhibit"), ""},
        {{"copyinhibit", "-release", "0x3@sa"}, 0, "", ""},
        {{"lunstatus", "0x3@sa"}, 0, kLunHeader + LunRow("0x3", "Normal"), ""},
        {{"copyinhibit", "-set", "0x99@sa"}, 4, "", "ZRKC1250 ERROR Specified LUN_V Number is invalid.\n"},
    });
}

const std::string kBuffHead =
    "MaxBuffCount: 8  CurrentBuffCount: 1\n"
    "BuffGroup: 0\n";
std::string BuffBody(const char *use, const std::string &disk) {
    return std::string(" Status: Inactive  Use: ") + use + "  Interval(s): 2      WatchTime(m): 5         \n"
           " RemoteBoxID: BOXB                                      Alias: lb                                      \n"
           " BuffSize(MB): 300         TotalBuffSize(KB): ----------  TotalUseBuffSize(KB): ----------\n" +
           disk +
           " TotalDiskBuffSize(KB): --------------------  TotalStoredDataSize(KB): --------------------\n"
           " CMCount: 3 \n";
}

// RVZ buffers: the list, its detail form and a change of use.
TEST_F(CopySettingsSim, RvzBuffers) {
    const std::string sendDisk = " DiskBuffStatus: Invalid       ElapsedTime(s): 0         \n";
    std::string modules;
    for (int cm = 1; cm <= 3; ++cm) {
        modules += " CM: " + std::to_string(cm) + " \n"
                   "  CM-BuffSize(KB): ----------  CM-UseBuffSize(KB): ----------\n"
                   "  CM-DiskBuffSize(KB): --------------------  CM-StoredDataSize(KB): --------------------\n";
    }
    Check({
        {{"rvzbuff", "0x2@sa"}, 0, kBuffHead + BuffBody("Send", sendDisk), ""},
        {{"rvzbuff", "-v", "0x2@sa"}, 0, kBuffHead + BuffBody("Send", sendDisk) + modules, ""},
        {{"rvzbuff", "-csv", "0x2@sa"}, 0,
         "\"MaxBuffCount\",\"CurrentBuffCount\",\"BuffGroup\",\"Status\",\"Use\",\"Interval(s)\",\"WatchTime(m)\","
         "\"RemoteBoxID\",\"Alias\",\"BuffSize(MB)\",\"TotalBuffSize(KB)\",\"TotalUseBuffSize(KB)\",\"DiskBuffStatus\","
         "\"ElapsedTime(s)\",\"TotalDiskBuffSize(KB)\",\"TotalStoredDataSize(KB)\",\"CMCount\"\n"
         "\"8\",\"1\",\"0\",\"Inactive\",\"Send\",\"2\",\"5\",\"BOXB\",\"lb\",\"300\",\"----------\",\"----------\","
         "\"Invalid\",\"0\",\"--------------------\",\"--------------------\",\"3\"\n",
         ""},
        {{"rvzbuff", "-m", "-num", "0", "-recv", "0x2@sa"}, 0, "", ""},
        {{"rvzbuff", "0x2@sa"}, 0,
         kBuffHead + BuffBody("Recv", " DiskBuffStatus: ------------  ElapsedTime(s): ----------\n"), ""},
        {{"rvzbuff", "-num", "7", "0x2@sa"}, 2, "", "ZRKC0101 ERROR RVZ buffer identifier does not exist.\n"},
    });
}

// Copy priority: the query in text and CSV and the three settings.
TEST_F(CopySettingsSim, CopyPriority) {
    const std::string box = cmdtest::Box("BOXB");
    Check({
        {{"copypriority", "-q", "0x2@sa"}, 0,
         "KIND   L-CopyRate BoxID                                    ConnectionType PriorityLevel Multiplicity\n"
         "VZ/KZP Auto       -----                                    -----          -----         -----       \n"
         "RVZ    -----      BOXB                                     Direct         Auto          -----       \n"
         "RVZ    -----      BOXC                                     Direct         Auto          -----       \n"
         "RVZ    -----      BOXF                                     Direct         Auto          -----       \n"
         "RVZ    -----      BOXP                                     Direct         Auto          -----       \n",
         ""},
        {{"copypriority", "-q", "-csv", "0x2@sa"}, 0,
         "\"KIND\",\"L-CopyRate\",\"BoxID\",\"ConnectionType\",\"PriorityLevel\",\"Multiplicity\"\n"
         "\"VZ/KZP\",\"Auto\",\"-----\",\"-----\",\"-----\",\"-----\"\n"
         "\"RVZ\",\"-----\",\"BOXB                                    \",\"Direct\",\"Auto\",\"-----\"\n"
         "\"RVZ\",\"-----\",\"BOXC                                    \",\"Direct\",\"Auto\",\"-----\"\n"
         "\"RVZ\",\"-----\",\"BOXF                                    \",\"Direct\",\"Auto\",\"-----\"\n"
         "\"RVZ\",\"-----\",\"BOXP                                    \",\"Direct\",\"Auto\",\"-----\"\n",
         ""},
        {{"copypriority", "-local", "high", "0x2@sa"}, 0, "", ""},
        {{"copypriority", "-direct", "10", "-box", box, "0x2@sa"}, 0, "", ""},
        {{"copypriority", "-remote", "3", "-box", box, "0x2@sa"}, 0, "", ""},
        {{"copypriority", "-q", "0x1@lb"}, 4, "", "ZRKC1036 ERROR This command cannot be executed for LAN interfaces.\n"},
    });
}

// A group file whose one line names the target of an RVZ session in stack
// mode: that line is refused with its ZRKC1804 line, the others are done.
TEST_F(CopySettingsSim, CopyInhibitOfAGroupFile) {
    sim.commandOk("session 9 rvz A1 5 B1 1 transfer=2 size=4096");
    root.write("inhibit.txt", "0x3@sa\n0x1@lb\n");
    Check({{{"copyinhibit", "-set", "-gf", root.path("inhibit.txt")}, 4, "",
             "ZRKC1804 ERROR Error occurred with copy operation described in group file. Volume=(0x1@lb).  "
             "Error message=(ZRKC1111 ERROR Logical volume state is not able to be set to the copy protection.).\n"}});
    Check({{{"lunstatus", "-gf", root.path("inhibit.txt")}, 0,
             kLunHeader + LunRow("0x3", "Inhibit") + LunRow("0x1", "Normal"), ""}});
}

}  // namespace
