// The array action commands against a loopback stand-in of the LAN
// interface management service: the command texts as they go out on the
// wire, the reading of status and start replies, and the arguments that are
// refused before any connection is made.
#include "../../ip/ipaction.h"
#include "ipaction_service.h"
#include "lan_fixture.h"
#include "zrktvc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const char *kArray = "192.0.2.10";

class IpActionTest : public iptest::ServiceTest {};

void SetBox(char *field, const std::string &text) {
    std::memset(field, 0, ZRK_BOXID_LEN);
    std::memcpy(field, text.data(), std::min<size_t>(text.size(), ZRK_BOXID_LEN));
}

IPCopyReq WholeVolume(uint32_t src, uint32_t dst) {
    IPCopyReq req{};
    SetBox(req.SrcBoxID, "SRC");
    SetBox(req.DstBoxID, "DST");
    req.SrcOLU = src;
    req.DstOLU = dst;
    req.CopyAttr = ZRK_IPATTR_WHOLE_VOLUME;
    return req;
}

IPCopyReq Extents(uint32_t src, uint32_t dst) {
    IPCopyReq req = WholeVolume(src, dst);
    req.CopyAttr = 0;
    req.SrcSize_low = 2048;
    req.SrcExtAddr_low = 0;
    req.DstExtAddr_high = 1;
    req.DstExtAddr_low = 0;
    return req;
}

struct TextCase {
    const char *what;
    std::function<int()> call;
    std::string text;
};

// Every wrapper and option combination, with the exact text it sends.
TEST_F(IpActionTest, CommandTextsOnTheWire) {
    static const int one[] = {7};
    static const int three[] = {7, 12, 300};
    static const int pair[] = {3, 4};
    static const unsigned char protect[] = {0x01, 0x00};
    static const unsigned char unprotect[] = {0xFE, 0x01};
    const IPCopyReq whole = WholeVolume(1, 2);
    const IPCopyReq ext = Extents(1, 2);
    IPCopyReq rvzWhole = WholeVolume(10, 20);
    IPCopyReq rvzExt = WholeVolume(10, 20);
    rvzExt.CopyAttr = 0;
    rvzExt.SrcSize_low = 100;
    rvzExt.SrcExtAddr_low = 5;
    rvzExt.DstExtAddr_low = 6;
    IPCopyReq snapNormal = whole;
    snapNormal.CopyAttr |= ZRK_IPATTR_SNAPKZP;
    IPCopyReq monitor = ext;
    monitor.SrcSize_low = 100;
    monitor.SrcExtAddr_low = 5;
    IPCopyReq restart = whole;
    restart.SrcOLU = 77;
    CliRvzBufferSetting buffer{};
    buffer.iPartition = 1;
    buffer.iBuffType = 1;
    buffer.iForwardInterval = 2;
    buffer.iMonitorTime = 3;
    std::memcpy(buffer.caRemoteBoxID, "0123456789012345678901234567890123456789", 40);
    CliRvzBufferSetting receive = buffer;
    receive.iBuffType = 2;
    SetBox(receive.caRemoteBoxID, "BOX");
    CliRvzBufferSetting noType = receive;
    noType.iBuffType = 3;
    ZRKRVZ_stacktimer = 5;

    const std::vector<TextCase> cases = {
        {"change vz", [] { return ChangeCopyVz(kArray, "u", 0, 5); },
         "change copy-vz -session-id 5  "},
        {"change vz reverse", [] { return ChangeCopyVz(kArray, "u", 0x1000, 5); },
         "change copy-vz -session-id 5 -action reverse "},
        {"change rvz", [] { return ChangeCopyRvz(kArray, "u", 0, 5); },
         "change copy-rvz -session-id 5 -action change -xfer-mode 00  -recovery 0"},
        {"change rvz reverse sync", [] { return ChangeCopyRvz(kArray, "u", 0x1000 | 0x20, 5); },
         "change copy-rvz -session-id 5 -action reverse  -split 0 "},
        {"change rvz sync auto manual",
         [] { return ChangeCopyRvz(kArray, "u", 0x20 | 0x100 | 0x200, 5); },
         "change copy-rvz -session-id 5 -action change -xfer-mode 10 -split 1 -recovery 1"},
        {"change rvz stack", [] { return ChangeCopyRvz(kArray, "u", 0x400 | 0x800, 5); },
         "change copy-rvz -session-id 5 -action change -xfer-mode 02  -recovery 0"},
        {"change rvz consistency", [] { return ChangeCopyRvz(kArray, "u", 0x800, 5); },
         "change copy-rvz -session-id 5 -action change -xfer-mode 03  -recovery 0"},
        {"change rvz split without sync", [] { return ChangeCopyRvz(kArray, "u", 0x100, 5); },
         "change copy-rvz -session-id 5 -action change -xfer-mode 00  -recovery 0"},
        {"resume vz", [] { return ResumeCopyVz(kArray, "u", 0x80, 7); },
         "resume copy-vz -session-id 7 "},
        {"resume rvz", [] { return ResumeCopyRvz(kArray, "u", 0, 7); },
         "resume copy-rvz -session-id 7 "},
        {"resume rvz remain", [] { return ResumeCopyRvz(kArray, "u", 0x80, 7); },
         "resume copy-rvz -session-id 7 -remain-mode enable"},
        {"init sdv", [] { return InitializeSnapDataVolume(kArray, "u", 12); },
         "initialize snap-data-volume -volume-number 12 "},
        {"set volume on", [] { return SetVolume(kArray, "u", 3, protect); },
         "set volume -volume-number 3 -copy-protection enable "},
        {"set volume off", [] { return SetVolume(kArray, "u", 3, unprotect); },
         "set volume -volume-number 3 -copy-protection disable "},
        {"set tier volume", [] { return SetMorvicTierVolume(kArray, "u", 4, protect); },
         "set morvic-tier-volume -volume-number 4 -copy-protection enable "},
        {"rvz buffer send, 40-byte box", [&] { return SetRvzBuffer(kArray, "u", buffer); },
         "set rvz-buffer -partition 1 -remote-boxid \"0123456789012345678901234567890123456789\""
         " -buffer-type send -forwarding-interval 2 -monitoring-time 3"},
        {"rvz buffer receive", [&] { return SetRvzBuffer(kArray, "u", receive); },
         "set rvz-buffer -partition 1 -remote-boxid \"BOX\" -buffer-type receive"
         " -forwarding-interval 2 -monitoring-time 3"},
        {"rvz buffer type 3", [&] { return SetRvzBuffer(kArray, "u", noType); },
         "set rvz-buffer -partition 1 -remote-boxid \"BOX\"  -forwarding-interval 2"
         " -monitoring-time 3"},
        {"stop list", [] { return StopCopySession(kArray, "u", 0, 3, three); },
         "stop copy-session -session-id 7,12,300   "},
        {"stop force tracking", [] { return StopCopySession(kArray, "u", 0x2 | 0x4000, 1, one); },
         "stop copy-session -session-id 7 -mode force -mode stop-tracking "},
        {"stop none", [] { return StopCopySession(kArray, "u", 0, 0, nullptr); },
         "stop copy-session -session-id    "},
        {"stop vvol", [] { return StopVvolCopySession(kArray, "u", 0x2, 1, one); },
         "stop vvol-copy-session -vvol-session-id 7 -force"},
        {"suspend vz concurrent", [] { return SuspendCopyVz(kArray, "u", 0, 1, 2, pair); },
         "suspend copy-vz -session-id 3,4 -mode concurrent "},
        {"suspend vz normal", [] { return SuspendCopyVz(kArray, "u", 0x2, 2, 2, pair); },
         "suspend copy-vz -session-id 3,4 -mode normal "},
        {"suspend rvz timer", [] { return SuspendCopyRvz(kArray, "u", 0x100000, 0, 1, pair); },
         "suspend copy-rvz -session-id 3   -timer 5"},
        {"suspend rvz force untrans", [] { return SuspendCopyRvz(kArray, "u", 0x12, 0, 1, pair); },
         "suspend copy-rvz -session-id 3 -mode force -untrans enable "},
        {"suspend rvz concurrent wins", [] { return SuspendCopyRvz(kArray, "u", 0x2, 1, 2, pair); },
         "suspend copy-rvz -session-id 3,4 -mode concurrent  "},
        {"start vz", [&] { return StartCopyVz(kArray, "u", 0, &whole); },
         "start copy-vz -source-volume-number 1 -destination-volume-number 2    "},
        {"start vz secondary", [&] { return StartCopyVz(kArray, "u", 0x20000, &ext); },
         "start copy-vz -source-volume-number 1 -destination-volume-number 2 -size 2048"
         " -source-lba 0 -destination-lba 4294967296 -secondary-access 1 "},
        {"start kzp whole", [&] { return StartCopyKzp(kArray, "u", 0x20000, &whole); },
         "start copy-kzp -source-volume-number 1 -destination-volume-number 2   "},
        {"start kzp extents", [&] { return StartCopyKzp(kArray, "u", 0, &ext); },
         "start copy-kzp -source-volume-number 1 -destination-volume-number 2 -size 2048"
         " -source-lba 0 -destination-lba 4294967296"},
        {"start quick", [&] { return StartCopyQuickKzp(kArray, "u", 0, &whole); },
         "start copy-quick-kzp  -source-volume-number 1 -destination-volume-number 2   "},
        {"start quick vvol", [&] { return StartCopyQuickKzp(kArray, "u", 0x2000000, &whole); },
         "start copy-quick-kzp -vvol-session-delete-mode enable -source-volume-number 1"
         " -destination-volume-number 2   "},
        {"start quick restart", [&] { return StartCopyQuickKzp(kArray, "u", 0x2002000, &restart); },
         "start copy-quick-kzp -restart 77 "},
        {"start rvz whole", [&] { return StartCopyRvz(kArray, "u", 0, &rvzWhole); },
         "start copy-rvz -source-boxid \"SRC\" -destination-boxid \"DST\" -source-volume-number 10"
         " -destination-volume-number 20     -xfer-mode 00   "},
        {"start rvz every option",
         [&] { return StartCopyRvz(kArray, "u", 0x40 | 0x20 | 0x100 | 0x200 | 0x20000, &rvzExt); },
         "start copy-rvz -source-boxid \"SRC\" -destination-boxid \"DST\" -source-volume-number 10"
         " -destination-volume-number 20 -size 100 -source-lba 5 -destination-lba 6 -mode skip"
         " -xfer-mode 10 -split 1 -recovery 1 -secondary-access 1 "},
        {"start rvz consistency", [&] { return StartCopyRvz(kArray, "u", 0x800, &rvzWhole); },
         "start copy-rvz -source-boxid \"SRC\" -destination-boxid \"DST\" -source-volume-number 10"
         " -destination-volume-number 20     -xfer-mode 03   "},
        {"start snap", [&] { return StartCopySnapKzp(kArray, "u", 0, &whole); },
         "start copy-snap-kzp   -source-volume-number 1 -destination-volume-number 2   "},
        {"start snap normal vvol", [&] { return StartCopySnapKzp(kArray, "u", 0x2000000, &snapNormal); },
         "start copy-snap-kzp -vvol-session-delete-mode enable -mode normal -source-volume-number 1"
         " -destination-volume-number 2   "},
        {"start monitor", [&] { return StartCopySnapKzp(kArray, "u", 0x8000 | 0x2000000, &monitor); },
         "start copy-monitor -source-volume-number 1 -size 100 -source-lba 5"},
        {"start monitor whole", [&] { return StartCopySnapKzp(kArray, "u", 0x8000, &snapNormal); },
         "start copy-monitor -source-volume-number 1  "},
        {"test authentication",
         [] {
             int code = -1;
             return TestAuthentication(kArray, "root", "pw", &code);
         },
         "test authentication -name root -password pw"},
    };
    std::vector<std::string> expected;
    for (const TextCase &c : cases) {
        service.reply("00\n1A");
        EXPECT_EQ(0, c.call()) << c.what << " ZRKerrno=" << ZRKerrno;
        expected.push_back(c.text);
    }
    const std::vector<std::string> sent = service.commands();
    ASSERT_EQ(expected.size(), sent.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i], sent[i]) << cases[i].what;
    }
}

// The whole request as it leaves the host: count, host, empty port, "proc",
// two empty fields and the command text.
TEST_F(IpActionTest, RequestBytes) {
    EXPECT_EQ(0, ChangeCopyVz(kArray, "u", 0, 5));
    const std::string command = "change copy-vz -session-id 5  ";
    const std::string rest = std::string(kArray) + "\t\tproc\t\t\t" + command;
    ASSERT_EQ(1u, service.requests().size());
    EXPECT_EQ(std::to_string(rest.size()) + "\t" + rest, service.requests()[0]);
}

TEST_F(IpActionTest, StartPublishesSessionId) {
    const IPCopyReq req = WholeVolume(1, 2);
    service.reply("00\n1A");
    ASSERT_EQ(0, StartCopyKzp(kArray, "u", 0, &req));
    EXPECT_EQ(26, ZRKsessionid);
    service.reply("0\n  ff\n");
    ASSERT_EQ(0, StartCopyRvz(kArray, "u", 0, &req));
    EXPECT_EQ(255, ZRKsessionid);
}

TEST_F(IpActionTest, QuickRestartLeavesSessionId) {
    IPCopyReq req = WholeVolume(1, 2);
    req.SrcOLU = 77;
    ZRKsessionid = 99;
    service.reply("00\n1A");
    ASSERT_EQ(0, StartCopyQuickKzp(kArray, "u", 0x2000, &req));
    EXPECT_EQ(99, ZRKsessionid);
    // The restart still needs line 2.
    service.reply("00");
    EXPECT_EQ(-1, StartCopyQuickKzp(kArray, "u", 0x2000, &req));
    EXPECT_EQ(902, ZRKerrno);
    EXPECT_EQ(99, ZRKsessionid);
}

TEST_F(IpActionTest, StartWithoutLineTwoFails) {
    const IPCopyReq req = WholeVolume(1, 2);
    ZRKsessionid = 4;
    service.reply("00");
    EXPECT_EQ(-1, StartCopyVz(kArray, "u", 0, &req));
    EXPECT_EQ(902, ZRKerrno);
    EXPECT_EQ(4, ZRKsessionid);
}

TEST_F(IpActionTest, StatusReplyAloneSucceeds) {
    service.reply("00");
    EXPECT_EQ(0, ResumeCopyVz(kArray, "u", 0, 1));
    service.reply("0\n");
    EXPECT_EQ(0, ResumeCopyVz(kArray, "u", 0, 1));
}

struct ReplyCase {
    const char *reply;
    int ret;
    int err;
};

// Replies to a status command and to a start, and what they give.
TEST_F(IpActionTest, ReplyOutcomes) {
    const ReplyCase status[] = {
        {"02\n5200", -1, 0x15200},
        {"02\n0070", -1, 0x15360},
        {"01\n5201\nline\nline", -1, 0x15201},
        {"01\n5201\n", -1, 904},
        {"03\n5200", -1, 904},
        {"100000000", -1, 900},
        {"10000000000000000", -1, 900},
        {"\n00", -1, 904},
    };
    for (const ReplyCase &c : status) {
        ZRKerrno = 0;
        service.reply(c.reply);
        EXPECT_EQ(c.ret, ChangeCopyRvz(kArray, "u", 0, 1)) << c.reply;
        EXPECT_EQ(c.err, ZRKerrno) << c.reply;
    }
    const IPCopyReq req = WholeVolume(1, 2);
    const ReplyCase start[] = {
        {"02\n5200", -1, 0x15200},
        {"00\n100000000", -1, 900},
        {"02", -1, 904},
        {"00", -1, 902},
    };
    for (const ReplyCase &c : start) {
        ZRKsessionid = 8;
        service.reply(c.reply);
        EXPECT_EQ(c.ret, StartCopySnapKzp(kArray, "u", 0, &req)) << c.reply;
        EXPECT_EQ(c.err, ZRKerrno) << c.reply;
        EXPECT_EQ(8, ZRKsessionid);
    }
}

TEST_F(IpActionTest, AuthenticationIsStrict) {
    struct Case {
        const char *reply;
        int ret;
        int err;
        int result;
    } const cases[] = {
        {"00\n3\n", 0, 0, 3},
        {"00\nA", 0, 0, 10},
        {"00\n3x", -1, 905, -1},
        {"00x\n3", -1, 905, -1},
        {"00\n100000000", -1, 900, -1},
        {"00", -1, 902, -1},
        {"02\n5200", -1, 0x15200, -1},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        int result = -1;
        service.reply(c.reply);
        EXPECT_EQ(c.ret, TestAuthentication(kArray, "root", "pw", &result)) << c.reply;
        EXPECT_EQ(c.err, ZRKerrno) << c.reply;
        EXPECT_EQ(c.result, result) << c.reply;
    }
}

// Arguments that cannot be carried are refused before the service sees them.
TEST_F(IpActionTest, RefusedBeforeConnecting) {
    static const int ids[] = {1};
    IPCopyReq tab = WholeVolume(1, 2);
    tab.SrcBoxID[2] = '\t';
    IPCopyReq newline = WholeVolume(1, 2);
    newline.DstBoxID[0] = '\n';
    IPCopyReq quote = WholeVolume(1, 2);
    quote.DstBoxID[1] = '"';
    CliRvzBufferSetting buffer{};
    SetBox(buffer.caRemoteBoxID, "BOX\tX");
    const std::string longName(600, 'n');
    int code = 0;
    struct Case {
        const char *what;
        std::function<int()> call;
        int err;
    } const cases[] = {
        {"tab in source box", [&] { return StartCopyRvz(kArray, "u", 0, &tab); }, 13},
        {"newline in destination box", [&] { return StartCopyRvz(kArray, "u", 0, &newline); }, 13},
        {"quote in box", [&] { return StartCopyRvz(kArray, "u", 0, &quote); }, 13},
        {"tab in buffer box", [&] { return SetRvzBuffer(kArray, "u", buffer); }, 13},
        {"no request", [] { return StartCopyKzp(kArray, "u", 0, nullptr); }, 13},
        {"no status bytes", [] { return SetVolume(kArray, "u", 1, nullptr); }, 13},
        {"suspend vz none", [] { return SuspendCopyVz(kArray, "u", 0, 0, 0, ids); }, 13},
        {"suspend rvz none", [] { return SuspendCopyRvz(kArray, "u", 0, 0, 0, ids); }, 13},
        {"stop negative", [] { return StopCopySession(kArray, "u", 0, -1, ids); }, 13},
        {"stop null list", [] { return StopCopySession(kArray, "u", 0, 2, nullptr); }, 13},
        {"long user", [&] { return TestAuthentication(kArray, longName.c_str(), "pw", &code); }, 923},
        {"long password", [&] { return TestAuthentication(kArray, "root", longName.c_str(), &code); },
         923},
        {"no result place", [] { return TestAuthentication(kArray, "root", "pw", nullptr); }, 13},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        EXPECT_EQ(-1, c.call()) << c.what;
        EXPECT_EQ(c.err, ZRKerrno) << c.what;
    }
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(IpActionTest, BoxIdCutAtNul) {
    IPCopyReq req = WholeVolume(1, 2);
    SetBox(req.SrcBoxID, "BOX-A");
    std::memset(req.DstBoxID, ' ', ZRK_BOXID_LEN);
    std::memcpy(req.DstBoxID, "BOX-B", 5);
    service.reply("00\n1");
    ASSERT_EQ(0, StartCopyRvz(kArray, "u", 0, &req));
    ASSERT_EQ(1u, service.commands().size());
    EXPECT_EQ(0u, service.commands()[0].find("start copy-rvz -source-boxid \"BOX-A\" "
                                             "-destination-boxid \"BOX-B" +
                                             std::string(35, ' ') + "\" "));
}

// A BoxID field is its text up to the first NUL: what follows the NUL is
// ignored, while a control character or a double quote before it is refused
// before anything is sent.
TEST_F(IpActionTest, BoxIdFieldIsItsTextUpToTheNul) {
    auto field = [](const std::string &bytes) {
        std::string f(ZRK_BOXID_LEN, '\0');
        f.replace(0, bytes.size(), bytes);
        return f;
    };
    const std::string nul(1, '\0');
    const std::string full(ZRK_BOXID_LEN, 'F');
    struct Case {
        const char *what;
        std::string box;   // the 40 bytes of the field
        int err;           // 0: sent
        std::string text;  // the BoxID as the command text carries it
    } const cases[] = {
        {"letters after the NUL", field("BOX-A" + nul + "XYZ"), 0, "BOX-A"},
        {"a TAB after the NUL", field("BOX-A" + nul + "\tX"), 0, "BOX-A"},
        {"a newline after the NUL", field("BOX-A" + nul + "\n"), 0, "BOX-A"},
        {"a quote after the NUL", field("BOX-A" + nul + "\""), 0, "BOX-A"},
        {"a DEL after the NUL", field("BOX-A" + nul + "\x7f"), 0, "BOX-A"},
        {"the last byte after the NUL", field("BOX-A").substr(0, 39) + "Z", 0, "BOX-A"},
        {"no NUL at all", full, 0, full},
        {"empty, bytes after the NUL", field(nul + "XYZ"), 0, ""},
        {"a TAB before the NUL", field("BO\tX" + nul + "Y"), 13, ""},
        {"a newline before the NUL", field("BO\nX"), 13, ""},
        {"a quote before the NUL", field("BO\"X" + nul + "Y"), 13, ""},
        {"a DEL before the NUL", field("BO\x7fX"), 13, ""},
        {"a control character in the last byte", full.substr(0, 39) + "\x01", 13, ""},
    };
    struct Call {
        const char *what;
        std::function<int(const std::string &)> run;
        std::function<std::string(const std::string &)> expected;
    } const calls[] = {
        {"RVZ start, source",
         [](const std::string &box) {
             IPCopyReq req = WholeVolume(1, 2);
             std::memcpy(req.SrcBoxID, box.data(), ZRK_BOXID_LEN);
             return StartCopyRvz(kArray, "u", 0, &req);
         },
         [](const std::string &text) {
             return "start copy-rvz -source-boxid \"" + text +
                    "\" -destination-boxid \"DST\" -source-volume-number 1"
                    " -destination-volume-number 2     -xfer-mode 00   ";
         }},
        {"RVZ start, destination",
         [](const std::string &box) {
             IPCopyReq req = WholeVolume(1, 2);
             std::memcpy(req.DstBoxID, box.data(), ZRK_BOXID_LEN);
             return StartCopyRvz(kArray, "u", 0, &req);
         },
         [](const std::string &text) {
             return "start copy-rvz -source-boxid \"SRC\" -destination-boxid \"" + text +
                    "\" -source-volume-number 1 -destination-volume-number 2     -xfer-mode 00   ";
         }},
        {"RVZ buffer setting",
         [](const std::string &box) {
             CliRvzBufferSetting setting{};
             setting.iPartition = 4;
             setting.iBuffType = 1;
             setting.iForwardInterval = 2;
             setting.iMonitorTime = 3;
             std::memcpy(setting.caRemoteBoxID, box.data(), ZRK_BOXID_LEN);
             return SetRvzBuffer(kArray, "u", setting);
         },
         [](const std::string &text) {
             return "set rvz-buffer -partition 4 -remote-boxid \"" + text +
                    "\" -buffer-type send -forwarding-interval 2 -monitoring-time 3";
         }},
    };
    for (const Call &call : calls) {
        for (const Case &c : cases) {
            const size_t before = service.commands().size();
            ZRKerrno = 0;
            if (c.err == 0) service.reply("00\n1");
            EXPECT_EQ(c.err == 0 ? 0 : -1, call.run(c.box)) << call.what << ": " << c.what;
            EXPECT_EQ(c.err, ZRKerrno) << call.what << ": " << c.what;
            const std::vector<std::string> sent = service.commands();
            if (c.err != 0) {
                EXPECT_EQ(before, sent.size()) << call.what << ": " << c.what;
                continue;
            }
            ASSERT_EQ(before + 1, sent.size()) << call.what << ": " << c.what;
            EXPECT_EQ(call.expected(c.text), sent.back()) << call.what << ": " << c.what;
        }
    }
}

// The timer piece holds "-timer " and at most 8 characters of number.
TEST_F(IpActionTest, TimerPieceBounds) {
    static const int ids[] = {3};
    struct Case {
        int timer;
        bool sent;
    } const cases[] = {{99999999, true}, {-9999999, true}, {100000000, false},
                       {-10000000, false}, {INT32_MIN, false}};
    std::vector<std::string> expected;
    for (const Case &c : cases) {
        ZRKRVZ_stacktimer = c.timer;
        ZRKerrno = 0;
        if (c.sent) {
            EXPECT_EQ(0, SuspendCopyRvz(kArray, "u", 0x100000, 0, 1, ids)) << c.timer;
            expected.push_back("suspend copy-rvz -session-id 3   -timer " + std::to_string(c.timer));
        } else {
            EXPECT_EQ(-1, SuspendCopyRvz(kArray, "u", 0x100000, 0, 1, ids)) << c.timer;
            EXPECT_EQ(923, ZRKerrno) << c.timer;
        }
    }
    EXPECT_EQ(expected, service.commands());
}

// Ids "1000,1001,..." whose list is exactly length characters (length >= 4).
std::vector<int> IdsExact(size_t length) {
    std::vector<int> ids;
    size_t total = 0;
    while (total + (ids.empty() ? 4 : 5) <= length) {
        total += ids.empty() ? 4 : 5;
        ids.push_back(1000 + static_cast<int>(ids.size() % 9000));
    }
    for (; total < length; ++total) ids.back() *= 10;
    return ids;
}

TEST_F(IpActionTest, SuspendListLimit) {
    // "suspend copy-vz -session-id ", the list and " -mode normal ": a list
    // of 5078 characters makes a text of exactly 5120, which is sent.
    std::vector<int> ids = IdsExact(5078);
    EXPECT_EQ(0, SuspendCopyVz(kArray, "u", 0, 0, static_cast<int>(ids.size()), ids.data()));
    ASSERT_EQ(1u, service.commands().size());
    EXPECT_EQ(std::string("suspend copy-vz -session-id ") + "1000,1001",
              service.commands()[0].substr(0, 37));
    EXPECT_EQ(5120u, service.commands()[0].size());
    // One character more is refused before anything is sent.
    ids.back() *= 10;
    ZRKerrno = 0;
    EXPECT_EQ(-1, SuspendCopyVz(kArray, "u", 0, 0, static_cast<int>(ids.size()), ids.data()));
    EXPECT_EQ(923, ZRKerrno);
    // A list that reaches 5108 characters is refused as soon as it does.
    std::vector<int> many(100000, 123456);
    ZRKerrno = 0;
    EXPECT_EQ(-1, SuspendCopyRvz(kArray, "u", 0, 0, static_cast<int>(many.size()), many.data()));
    EXPECT_EQ(923, ZRKerrno);
    EXPECT_EQ(1u, service.commands().size());
}

TEST_F(IpActionTest, StopTextLimit) {
    // "stop copy-session -session-id ", the list and three blanks: a list of
    // 5087 characters makes a text of exactly 5120.
    std::vector<int> ids = IdsExact(5087);
    EXPECT_EQ(0, StopCopySession(kArray, "u", 0, static_cast<int>(ids.size()), ids.data()));
    ASSERT_EQ(1u, service.commands().size());
    EXPECT_EQ(5120u, service.commands()[0].size());
    ids.back() *= 10;
    ZRKerrno = 0;
    EXPECT_EQ(-1, StopCopySession(kArray, "u", 0, static_cast<int>(ids.size()), ids.data()));
    EXPECT_EQ(923, ZRKerrno);
    // A huge count is refused at the limit, not written past a buffer.
    std::vector<int> many(100000, 123456);
    ZRKerrno = 0;
    EXPECT_EQ(-1, StopCopySession(kArray, "u", 0, static_cast<int>(many.size()), many.data()));
    EXPECT_EQ(923, ZRKerrno);
    EXPECT_EQ(1u, service.commands().size());
}

TEST_F(IpActionTest, NoServiceListening) {
    const IPCopyReq req = WholeVolume(1, 2);
    iptest::FakeService *closed = new iptest::FakeService();
    const int port = closed->port();
    delete closed;
    iptest::FakeService::usePort(root, port);
    ZRKsessionid = 5;
    EXPECT_EQ(-1, StartCopyKzp(kArray, "u", 0, &req));
    EXPECT_EQ(1903, ZRKerrno);
    EXPECT_EQ(5, ZRKsessionid);
}

}  // namespace
