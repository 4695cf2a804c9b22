// Initialisation of a snap data volume over the LAN: against the
// simulator's LAN front for the array's own answers (success, and the
// refusals that the volume lookups explain: no such volume, not a snap data
// volume, being initialised, or the array's code kept), and against a
// scripted service for replies the array model does not give (duplicate
// and missing rows, a failing lookup).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../../ip/iplink.h"
#include "child.h"
#include "ipaction_service.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "sim_client.h"
#include "zrkapi.h"

namespace {

// E1 has the KZP group without snapshots, E2 snapshots without the group.
std::string Scenario() {
    return "array A1 boxid=\"BOXA1\" address=10.0.0.5 sdvinit=60\n"
           "array E1 boxid=\"BOXE1\" address=10.0.0.41 support=" +
           iptest::SupportHex({{4, 0x03}}) +
           "\n"
           "array E2 boxid=\"BOXE2\" address=10.0.0.42 support=" +
           iptest::SupportHex({{7, 0x00}}) +
           "\n"
           "user admin secret\n"
           "volume A1 1 4096\n"
           "volume A1 2 4096 type=sdv\n"
           "volume A1 3 4096 type=sdv sdvstatus=0x40000000\n"
           "volume A1 4 4096 type=sdv\n"
           "volume A1 5 4096\n"
           "volume A1 6 4096 type=sdpv\n"
           "volume E1 2 4096 type=sdv\n"
           "volume E2 2 4096 type=sdv\n"
           "session 1 snapkzp+ A1 5 A1 4\n";
}

class IpSnapInitSim : public iptest::LanSimTest {
protected:
    IpSnapInitSim() : LanSimTest(Scenario(), {"10.0.0.5", "10.0.0.41", "10.0.0.42"}) {}

    // The command texts the arrays received since the last call.
    std::vector<std::string> Commands() const { return iptest::LanCommands(sim); }

    // The state word of a snap data volume, as the array holds it.
    std::string SdvStatus(unsigned olu) const {
        const std::string head = "volume A1 " + std::to_string(olu) + " ";
        const std::string dump = sim.dump();
        size_t at = dump.find(head);
        if (at == std::string::npos) return {};
        const size_t end = dump.find('\n', at);
        const std::string line = dump.substr(at, end - at);
        at = line.find("sdvstatus=");
        return at == std::string::npos ? std::string()
                                       : line.substr(at + 10, line.find(' ', at) - at - 10);
    }

    // The reply the array gives to a command, as the service hands it on.
    std::string ReplyOf(const char *command) const {
        char *reply = nullptr;
        EXPECT_EQ(0, IPExecVastrelCLI("10.0.0.5", nullptr, 0, command, &reply)) << command;
        const std::string text = reply != nullptr ? reply : "";
        std::free(reply);
        return text;
    }
};

// How often piece stands in text.
size_t Count(const std::string &text, const std::string &piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

bool StartsWith(const std::string &text, const std::string &head) {
    return text.rfind(head, 0) == 0;
}

TEST_F(IpSnapInitSim, InitialiseAndDiagnose) {
    struct Case {
        const char *what;
        const char *ip;
        uint32_t olu;
        int ret;
        int error;
        std::vector<std::string> sent;  // after the capability questions
    } cases[] = {
        {"beyond 16 bits", "10.0.0.5", 0x10000, -1, 48, {}},
        {"a ready snap data volume",
         "10.0.0.5",
         2,
         0,
         0,
         {"initialize snap-data-volume -volume-number 2 "}},
        {"the same again while it initialises",
         "10.0.0.5",
         2,
         -1,
         39,
         {"initialize snap-data-volume -volume-number 2 ", "show volumes -volume-number 2",
          "show snap-data-volume -volume-number 2"}},
        {"one being initialised",
         "10.0.0.5",
         3,
         -1,
         39,
         {"initialize snap-data-volume -volume-number 3 ", "show volumes -volume-number 3",
          "show snap-data-volume -volume-number 3"}},
        {"the destination of a snapshot keeps the array's code",
         "10.0.0.5",
         4,
         -1,
         0x15302,
         {"initialize snap-data-volume -volume-number 4 ", "show volumes -volume-number 4",
          "show snap-data-volume -volume-number 4"}},
        {"an open volume",
         "10.0.0.5",
         1,
         -1,
         68,
         {"initialize snap-data-volume -volume-number 1 ", "show volumes -volume-number 1"}},
        {"a snap data pool volume",
         "10.0.0.5",
         6,
         -1,
         68,
         {"initialize snap-data-volume -volume-number 6 ", "show volumes -volume-number 6"}},
        {"no such volume",
         "10.0.0.5",
         9,
         -1,
         48,
         {"initialize snap-data-volume -volume-number 9 ", "show volumes -volume-number 9"}},
        {"the largest number",
         "10.0.0.5",
         0xFFFF,
         -1,
         48,
         {"initialize snap-data-volume -volume-number 65535 ",
          "show volumes -volume-number 65535"}},
        {"no snapshots", "10.0.0.41", 2, -1, 17, {}},
        {"no KZP group", "10.0.0.42", 2, -1, 17, {}},
    };
    for (const Case &c : cases) {
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ZRKerrno = 0;
        EXPECT_EQ(c.ret, ZRKIPSnapDataVolInit(c.ip, nullptr, c.olu, sense)) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'),
                  std::string(reinterpret_cast<char *>(sense), sizeof sense))
            << c.what;
        std::vector<std::string> sent = Commands();
        if (c.olu == 0x10000) {
            EXPECT_TRUE(sent.empty()) << c.what;  // not even the capability questions
            continue;
        }
        std::erase_if(sent, [](const std::string &s) {
            return StartsWith(s, "show copy-functions") || StartsWith(s, "show boxid");
        });
        ASSERT_EQ(c.sent.size(), sent.size()) << c.what;
        for (size_t i = 0; i < sent.size(); ++i)
            EXPECT_TRUE(StartsWith(sent[i], c.sent[i])) << sent[i];
        if (c.olu == 2 && c.ret == 0) {
            EXPECT_EQ("0x40000000", SdvStatus(2));
        }
    }
    // The initialisation ends on the array's clock; then it may start again.
    sim.advanceClock(60);
    EXPECT_EQ("0x0", SdvStatus(2));
    EXPECT_EQ(0, ZRKIPSnapDataVolInit("10.0.0.5", nullptr, 2, nullptr)) << ZRKerrno;
}

TEST_F(IpSnapInitSim, CallsAreTraced) {
    EXPECT_EQ(-1, ZRKIPSnapDataVolInit("10.0.0.5", nullptr, 0x10000, nullptr));
    EXPECT_EQ(-1, ZRKIPSnapDataVolInit("10.0.0.5", nullptr, 3, nullptr));
    ZRKerrno = 0;  // a success leaves the last failure's number alone
    EXPECT_EQ(0, ZRKIPSnapDataVolInit("10.0.0.5", nullptr, 2, nullptr)) << ZRKerrno;
    const std::string trace = root.traceText();
    for (const char *line : {
             "ZRKIPSnapDataVolInit : START",
             "ZRKIPSnapDataVolInit : cpIPaddress=[10.0.0.5] Olu=0x10000",
             "ZRKIPSnapDataVolInit : END(ret=-1, ZRKerrno=48)",
             "IPComInfoCheckSet : cpIPaddress=[10.0.0.5] OptionFlag=0x00, OptionMask=0x00",
             "IPSnapVolInit : cpIPaddress=[10.0.0.5] Olu=0x03",
             "IPSnapVolInit : END(ret=-1, ZRKerrno=39)",
             "IPSnapVolInit : END(ret=0, ZRKerrno=0)",
             "ZRKIPSnapDataVolInit : END(ret=0, ZRKerrno=0)",
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

// A connection failure is the answer; the volume is not looked up.
TEST_F(IpSnapInitSim, TransportFailureEndsTheDiagnosis) {
    ASSERT_EQ(0, ZRKIPSnapDataVolInit("10.0.0.5", nullptr, 2, nullptr)) << ZRKerrno;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr));
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);  // nobody listens there now
    iptest::FakeService::usePort(root, ntohs(addr.sin_port));
    unsigned char sense[ZRK_SENSE_LEN];
    std::memset(sense, 0xAA, sizeof sense);
    EXPECT_EQ(-1, ZRKIPSnapDataVolInit("10.0.0.5", nullptr, 1, sense));
    EXPECT_EQ(1903, ZRKerrno);
    EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'),
              std::string(reinterpret_cast<char *>(sense), sizeof sense));
    const std::string trace = root.traceText();
    EXPECT_NE(std::string::npos, trace.find("IPSnapVolInit : END(ret=-1, ZRKerrno=1903)"));
    EXPECT_EQ(std::string::npos, trace.find("ShowVolumes")) << "the volume was looked up";
    EXPECT_EQ(std::string::npos, trace.find("ShowSnapDataVolume")) << "the volume was looked up";
}

// Replies the array model does not give, from a scripted service; the
// array's own replies are its pieces.
TEST_F(IpSnapInitSim, MalformedLookups) {
    const std::string functions = ReplyOf("show copy-functions");
    const std::string boxid = ReplyOf("show boxid");
    const std::string volume = ReplyOf("show volumes -volume-number 2 ");
    const std::string sdv = ReplyOf("show snap-data-volume -volume-number 2");
    ASSERT_TRUE(StartsWith(volume, "00\n1\n")) << volume;
    ASSERT_TRUE(StartsWith(sdv, "00\n1\n")) << sdv;
    const std::string volumeRow = volume.substr(5);
    const std::string sdvRow = sdv.substr(5);
    const std::string refused = "01\n5300\nno such volume\n";

    struct Case {
        const char *what;
        std::vector<std::string> replies;  // after the capability questions
        int error;
        const char *traceLine;
    } cases[] = {
        {"two volume rows",
         {refused, "00\n2\n" + volumeRow + volumeRow},
         904,
         " uiVolCount is not 1 "},
        {"no snap data volume row",
         {refused, "00\n1\n" + volumeRow, "00\n0\n"},
         904,
         " uiSDVVolCount is not 1 "},
        {"two snap data volume rows",
         {refused, "00\n1\n" + volumeRow, "00\n2\n" + sdvRow + sdvRow},
         904,
         " uiSDVVolCount is not 1 "},
        {"the volume list refused", {refused, "01\n5301\nbusy\n"}, 0x15301, nullptr},
        {"the snap data volume list refused",
         {refused, "00\n1\n" + volumeRow, "01\n5306\nx\n"},
         0x15306,
         nullptr},
    };
    int address = 50;
    for (const Case &c : cases) {
        iptest::FakeService service;
        service.configure(root);
        // A fresh address: the capability questions are asked again.
        const std::string ip = "10.0.0." + std::to_string(++address);
        service.reply(functions);
        service.reply(boxid);
        for (const std::string &r : c.replies) service.reply(r);
        EXPECT_EQ(-1, ZRKIPSnapDataVolInit(ip.c_str(), nullptr, 2, nullptr)) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
        EXPECT_EQ(c.replies.size() + 2, service.commands().size()) << c.what;
        if (c.traceLine != nullptr) {
            EXPECT_NE(std::string::npos, root.traceText().find(c.traceLine)) << c.what;
        }
    }
}

// The snap data volume lookup counts the rows of its reply before it looks
// at its room (one row): any count but one is a reply error, however many
// rows there are; one row decides between "being initialised" and the
// array's own code.
TEST_F(IpSnapInitSim, SnapDataVolumeRowCounts) {
    const std::string functions = ReplyOf("show copy-functions");
    const std::string boxid = ReplyOf("show boxid");
    const std::string volume = ReplyOf("show volumes -volume-number 2 ");
    const std::string sdv = ReplyOf("show snap-data-volume -volume-number 2");
    ASSERT_TRUE(StartsWith(sdv, "00\n1\n")) << sdv;
    const std::string sdvRow = sdv.substr(5);
    ASSERT_FALSE(sdvRow.empty());
    const std::string busyRow = sdvRow.substr(0, sdvRow.rfind('\t') + 1) + "40000000\n";
    auto rows = [](size_t n, const std::string &row) {
        std::string text = "00\n" + std::to_string(n) + "\n";
        for (size_t i = 0; i < n; ++i) text += row;
        return text;
    };
    struct Case {
        const char *what;
        std::string sdvReply;
        int error;
        bool countTraced;  // " uiSDVVolCount is not 1 "
    } const cases[] = {
        {"one row, being initialised", rows(1, busyRow), 39, false},
        {"one row", rows(1, sdvRow), 0x15300, false},
        {"no row", rows(0, sdvRow), 904, true},
        {"two rows", rows(2, sdvRow), 904, true},
        {"two rows, being initialised", rows(2, busyRow), 904, true},
        {"three rows", rows(3, sdvRow), 904, true},
        {"nine rows", rows(9, busyRow), 904, true},
        {"three rows announced, one present", "00\n3\n" + sdvRow, 902, false},
    };
    int address = 70;
    for (const Case &c : cases) {
        iptest::FakeService service;
        service.configure(root);
        const std::string ip = "10.0.0." + std::to_string(++address);
        service.reply(functions);
        service.reply(boxid);
        service.reply("01\n5300\nno such volume\n");
        service.reply(volume);
        service.reply(c.sdvReply);
        const size_t tracedBefore = Count(root.traceText(), " uiSDVVolCount is not 1 ");
        EXPECT_EQ(-1, ZRKIPSnapDataVolInit(ip.c_str(), nullptr, 2, nullptr)) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what << std::hex << " got 0x" << ZRKerrno;
        const std::vector<std::string> sent = service.commands();
        ASSERT_EQ(5u, sent.size()) << c.what;
        EXPECT_EQ("show snap-data-volume -volume-number 2", sent.back()) << c.what;
        EXPECT_EQ(tracedBefore + (c.countTraced ? 1 : 0),
                  Count(root.traceText(), " uiSDVVolCount is not 1 "))
            << c.what;
    }
}

TEST_F(IpSnapInitSim, RootOnly) {
    const zrktest::ChildResult child = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 99;
        return ZRKIPSnapDataVolInit("10.0.0.5", nullptr, 2, nullptr) == -1 && ZRKerrno == 34 ? 0
                                                                                             : 1;
    });
    EXPECT_EQ(0, child.exitCode) << child.err;
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ("0x0", SdvStatus(2));
}

}  // namespace
