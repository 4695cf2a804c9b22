// zrkc_execcli_sessionlist against the simulator's LAN front: the
// session-list file, the checks of the access path and the result area made
// before anything is sent, the one multi-session command and the entry of
// every identifier.
#include "cmd_support.h"
#include "platform.h"

#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kSessions =
    "volume B1 3 4096\n"
    "volume B1 4 4096\n"
    "session 7 vz B1 1 B1 2 size=4096\n"
    "session 8 vz B1 3 B1 4 size=4096\n";

class CmdSessionList : public cmdtest::CommandSim {
protected:
    CmdSessionList() : CommandSim(kSessions) {}

    void SetUp() override {
        CommandSim::SetUp();
        area.assign(ZRK_PAIR_AREA_SIZE(ZRKC_SESSION_LIST_MAX), 0);
        std::snprintf(ZrkcAccessPath, sizeof ZrkcAccessPath, "%s", "lb");
    }

    ReturnInfo Info() {
        ReturnInfo ri{};
        ri.pPairArea = area.data();
        ri.uiPairAreaLength = static_cast<uint32_t>(area.size());
        return ri;
    }
    uint32_t Count() const {
        uint32_t n = 0;
        std::memcpy(&n, area.data(), 4);
        return n;
    }

    std::string File(const std::string &text) {
        const std::string path = root.path("sessions.txt");
        std::ofstream(path) << text;
        return path;
    }

    std::string Status(unsigned id) {
        const std::string head = "session " + std::to_string(id) + " ";
        for (const std::string &line : sim.sessions("B1"))
            if (line.rfind(head, 0) == 0) return iptest::SessionField(line, "status");
        return "(none)";
    }

    // The multi-session commands the array received.
    std::vector<std::string> Sent() {
        std::vector<std::string> out;
        for (const std::string &c : iptest::LanSessionCommands(sim))
            if (c.find("-multi") != std::string::npos) out.push_back(c);
        return out;
    }

};

TEST_F(CmdSessionList, EverySessionSucceeds) {
    const std::string file = File("7\r\n\n   8\n");
    ReturnInfo ri = Info();
    EXPECT_EQ(0, zrkc_execcli_sessionlist(file.c_str(), 10, 0, &ri)) << ri.caMessage;
    EXPECT_EQ(ri.iReturnClass, 0);
    EXPECT_EQ(Status(7), "4");
    EXPECT_EQ(Status(8), "4");
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].find("suspend copy-vz"), std::string::npos) << sent[0];
    EXPECT_NE(sent[0].find("7,8"), std::string::npos) << sent[0];
    ASSERT_EQ(Count(), 2u);
    EXPECT_STREQ(Entry(0).caSource, "7");
    EXPECT_STREQ(Entry(1).caSource, "8");
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Entry(i).iReturnClass, 0);
        EXPECT_EQ(Entry(i).uiMessageNo, 0u);
        EXPECT_STREQ(Entry(i).caTarget, "");
    }
}

TEST_F(CmdSessionList, FailedSessionsGetTheirOwnMessage) {
    const std::string file = File("7\n00099\n");
    ReturnInfo ri = Info();
    EXPECT_EQ(-1, zrkc_execcli_sessionlist(file.c_str(), 10, 0, &ri));
    EXPECT_EQ(ri.iReturnClass, ZRKC_CLASS_SESSION_LIST);
    EXPECT_EQ(ri.uiMessageNo, 1834u);
    EXPECT_STREQ(ri.caMessage, "");
    EXPECT_EQ(Status(7), "4");
    ASSERT_EQ(Count(), 2u);
    EXPECT_EQ(Entry(0).uiMessageNo, 0u);
    EXPECT_STREQ(Entry(1).caSource, "99");
    EXPECT_NE(Entry(1).uiMessageNo, 0u);
    EXPECT_NE(Entry(1).caMessage[0], '\0');
}

TEST_F(CmdSessionList, CommandTypesAndOptionBits) {
    struct Case {
        int iType, iOption;
        unsigned uiId;
        const char *pHead;
        const char *pWord; // a word the command must hold, or nullptr
    } cases[] = {
        {12, 0, 7, "resume copy-vz", nullptr},
        {14, 0, 7, "change copy-vz", "reverse"},
        {15, 0, 7, "change copy-rvz", "reverse"},
        {16, ZRK_OPT_CONSISTENCY, 7, "change copy-rvz", "change"},
        {11, ZRK_OPT_FORCE, 7, "suspend copy-rvz", "force"},
        {13, ZRK_OPT_REMAIN, 7, "resume copy-rvz", "remain"},
        {1, 0, 8, "stop copy-session", "stop-tracking"},
        {1, ZRK_OPT_FORCE, 7, "stop copy-session", "force"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pHead);
        if (c.iType != 1) sim.setSession("B1", c.uiId, "status=suspend");
        iptest::LanCommands(sim);
        const std::string file = File(std::to_string(c.uiId) + "\n");
        ReturnInfo ri = Info();
        zrkc_execcli_sessionlist(file.c_str(), c.iType, c.iOption, &ri);
        const std::vector<std::string> sent = Sent();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].rfind(c.pHead, 0), 0u) << sent[0];
        if (c.pWord != nullptr) {
            EXPECT_NE(sent[0].find(c.pWord), std::string::npos) << sent[0];
        }
        if (c.iType == 16) {
            EXPECT_EQ(sent[0].find("reverse"), std::string::npos) << sent[0];
        }
        if (c.iType == 1 && c.iOption == 0) {
            EXPECT_EQ(sent[0].find("force"), std::string::npos);
        }
    }
}

TEST_F(CmdSessionList, RefusalsSendNothing) {
    const std::string longLine = std::string(128, ' ') + "7\n"; // 129 characters
    struct Case {
        const char *pWhat;
        const char *pAlias;
        const char *pText; // file contents; nullptr: no file
        int iType, iOption;
        int iClass;
        uint32_t uiNumber;
        const char *pMessage; // nullptr: not compared
    } cases[] = {
        {"unknown type", "lb", "7\n", 2, 0, 5, 1201, "ZRKC1201 ERROR Internal inconsistency.\n"},
        {"no access path", "", "7\n", 10, 0, 3, 1010, "ZRKC1010 ERROR Specified option is invalid.\n"},
        {"remain mode with type 12", "lb", "7\n", 12, ZRK_OPT_REMAIN, 3, 1010, nullptr},
        {"unknown alias", "zz", "7\n", 10, 0, 1, 1107, "ZRKC1107 ERROR Alias is not defined.\n"},
        {"alias without route", "nc", "7\n", 10, 0, 10, 1600, nullptr},
        {"SCSI alias", "sa", "7\n", 10, 0, 6, 1037,
         "ZRKC1037 ERROR This command cannot be executed for SCSI interfaces.\n"},
        {"missing file", "lb", nullptr, 10, 0, 6, 1831, "ZRKC1831 ERROR File does not exist.\n"},
        {"empty lines only", "lb", "\n\r\n\n", 10, 0, 6, 1833, "ZRKC1833 ERROR There is no data in file.\n"},
        {"six digits", "lb", "7\n\n123456\n", 10, 0, 6, 1832,
         "ZRKC1832 ERROR Syntax error was detected in file.line=(3).\n"},
        {"a sign", "lb", "+7\n", 10, 0, 6, 1832, nullptr},
        {"blanks only", "lb", "7\n   \n", 10, 0, 6, 1832, nullptr},
        {"text after the digits", "lb", "7x\n", 10, 0, 6, 1832, nullptr},
        {"line too long", "lb", longLine.c_str(), 10, 0, 6, 1832, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        std::snprintf(ZrkcAccessPath, sizeof ZrkcAccessPath, "%s", c.pAlias);
        std::string file = root.path("absent.txt");
        if (c.pText != nullptr) file = File(c.pText);
        iptest::LanCommands(sim);
        ReturnInfo ri = Info();
        EXPECT_EQ(-1, zrkc_execcli_sessionlist(file.c_str(), c.iType, c.iOption, &ri));
        EXPECT_EQ(ri.iReturnClass, c.iClass);
        EXPECT_EQ(ri.uiMessageNo, c.uiNumber) << ri.caMessage;
        if (c.pMessage != nullptr) {
            EXPECT_STREQ(ri.caMessage, c.pMessage);
        }
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(Status(7), "2");
    }
    // A directory is no file, nor is a device or a FIFO that nobody writes
    // to (nothing waits in open, nothing is read).
    const std::string fifo = root.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path : {root.etc(), std::string("/dev/zero"), fifo}) {
        SCOPED_TRACE(path);
        ReturnInfo ri = Info();
        EXPECT_EQ(-1, zrkc_execcli_sessionlist(path.c_str(), 10, 0, &ri));
        EXPECT_EQ(ri.uiMessageNo, 1831u);
        EXPECT_STREQ(ri.caMessage, "ZRKC1831 ERROR File does not exist.\n");
        EXPECT_TRUE(Sent().empty());
    }
}

TEST_F(CmdSessionList, IdentifierLimit) {
    std::string text;
    for (int i = 0; i < 769; ++i) text += std::to_string(1000 + i) + "\n";
    const std::string over = File(text);
    ReturnInfo ri = Info();
    EXPECT_EQ(-1, zrkc_execcli_sessionlist(over.c_str(), 10, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1835u);
    EXPECT_TRUE(Sent().empty());

    uint32_t count = 0;
    std::vector<uint32_t> ids(ZRKC_SESSION_LIST_MAX);
    text.resize(text.rfind('\n', text.size() - 2) + 1); // 768 lines
    const std::string full = File(text);
    ri = ReturnInfo{};
    EXPECT_EQ(0, com_get_ses_list_file(full.c_str(), &count, ids.data(), &ri)) << ri.caMessage;
    EXPECT_EQ(count, 768u);
    EXPECT_EQ(ids[767], 1767u);
}

TEST_F(CmdSessionList, ResultAreaCheckedBeforeSending) {
    const std::string file = File("7\n8\n");
    std::vector<unsigned char> small(ZRK_PAIR_AREA_SIZE(1), 0);
    ReturnInfo ri{};
    ri.pPairArea = small.data();
    ri.uiPairAreaLength = static_cast<uint32_t>(small.size());
    EXPECT_EQ(1, zrkc_execcli_sessionlist(file.c_str(), 10, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1015u);
    EXPECT_EQ(ri.uiNeedPairAreaSize, ZRK_PAIR_AREA_SIZE(2));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Status(7), "2");
}

} // namespace
