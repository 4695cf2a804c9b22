// The IP-service entry points against the simulator's LAN front: one
// command's reply copied, cut to the caller's buffer and always terminated;
// a failed exchange leaving the buffer alone; the integer settings.
#include "cmd_support.h"

#include <unistd.h>

#include <cstring>
#include <string>

namespace {

using CmdIpService = cmdtest::CommandSim;

TEST_F(CmdIpService, ReplyIsCutToTheBufferAndTerminated) {
    // "show boxid" answers "00" and the 40-character BoxID, each on a line.
    const std::string whole = "00\n" + cmdtest::Box("BOXA") + "\n";
    struct Case {
        int iLen;
        std::string sExpected;
    } cases[] = {
        {32, whole.substr(0, 31)},
        {64, whole.substr(0, 63)},
        {1, ""},
    };
    for (const Case &c : cases) {
        char reply[80];
        std::memset(reply, 'x', sizeof reply);
        ASSERT_EQ(0, zrkc_exec_cli("10.0.0.5", "admin", 0, "show boxid", c.iLen, reply)) << ZRKerrno;
        EXPECT_EQ(c.sExpected, std::string(reply)) << c.iLen;
        for (int i = static_cast<int>(c.sExpected.size()); i < c.iLen; ++i) EXPECT_EQ('\0', reply[i]);
        EXPECT_EQ('x', reply[c.iLen]) << "nothing written past the buffer";
    }
}

TEST_F(CmdIpService, AliveStopAndFailedExchange) {
    char reply[32] = {};
    ASSERT_EQ(0, zrkc_exec_cli("127.0.0.1", "zrkcipservice_user", 0, "zrkcipservice_alive", 32, reply));
    EXPECT_STREQ("true", reply);

    // A length below 1 copies nothing, whatever the reply.
    char untouched[4] = {'a', 'b', 'c', '\0'};
    EXPECT_EQ(0, zrkc_exec_cli("127.0.0.1", "zrkcipservice_user", 0, "zrkcipservice_alive", 0, untouched));
    EXPECT_STREQ("abc", untouched);

    ASSERT_EQ(0, zrkc_exec_cli("127.0.0.1", "zrkcipservice_user", 0, "zrkcipservice_stop", 32, reply));
    EXPECT_STREQ("true", reply);

    // The service no longer listens: the call fails and the buffer keeps
    // its former contents.
    std::strcpy(reply, "former");
    ZRKerrno = 0;
    EXPECT_NE(0, zrkc_exec_cli("127.0.0.1", "zrkcipservice_user", 0, "zrkcipservice_alive", 32, reply));
    EXPECT_NE(0, ZRKerrno);
    EXPECT_STREQ("former", reply);
}

TEST_F(CmdIpService, IntegerSettings) {
    ReturnInfo ri{};
    EXPECT_EQ(sim.lanPort(), zrkc_getproperties_int("ssh_port_number", &ri));
    EXPECT_EQ(0, ri.iReturnClass);
}

TEST_F(CmdIpService, UnreadableSettingsLeaveAClass) {
    ASSERT_EQ(0, unlink((root.etc() + "/zrkc.ini").c_str()));
    ReturnInfo bad{};
    zrkc_getproperties_int("ssh_timeout", &bad);
    EXPECT_NE(0, bad.iReturnClass);
    EXPECT_NE('\0', bad.caMessage[0]);
}

} // namespace
