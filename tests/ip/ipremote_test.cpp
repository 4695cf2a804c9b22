// The remote BoxID list and the account check of the out-of-band road: the
// list's layout and bounds, the refusals before anything is sent, and the
// account check against the simulator's LAN front, also as a caller that is
// not root.
#include "../../ip/ipremote.h"
#include "child.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string Bytes(const void *data, size_t size) {
    return std::string(static_cast<const char *>(data), size);
}

const std::string kName127(127, 'l');
const std::string kName128(128, 'm');
const std::string kName130(130, 'n');

// A1 has every copy function and reaches B1; B1 has no RVZ.
const std::string kScenario =
    "array A1 boxid=\"BOX-A1\" address=10.0.0.5 remotes=B1 support=" + iptest::SupportHex({}) +
    "\narray B1 boxid=\"BOX-B1\" address=10.0.0.6 support=" + iptest::SupportHex({{31, 0xF0}}) +
    "\nuser admin secret\n"
    "user oper pw role=Monitor\n"
    "user off pw state=0\n"
    "user other pw state=2\n"
    "user " + kName127 + " pw\n"
    "user " + kName128 + " pw\n"
    "user " + kName130 + " pw\n";

const std::string kAuthAdmin = "test authentication -name admin -password secret";

class IpRemoteSim : public iptest::LanSimTest {
protected:
    IpRemoteSim() : LanSimTest(kScenario, {"10.0.0.5", "10.0.0.6"}) {}
    std::vector<std::string> Commands() const { return iptest::LanCommands(sim); }
    void OpenRootToOthers() const {
        std::filesystem::permissions(root.root(), std::filesystem::perms::owner_all |
                                                      std::filesystem::perms::others_exec);
    }
    // The next replies of the LAN front, scripted instead of the model's.
    void Script(const std::vector<std::string> &replies) const {
        for (const std::string &r : replies) sim.commandOk("lanreply 1 " + r);
    }
};

// ---- the account check ---------------------------------------------------------------

struct CheckCase {
    const char *what;
    std::string user;
    std::string password;
    std::vector<std::string> script;    // lanreply bodies, escaped
    int ret;
    int err;
    std::vector<std::string> commands;  // what reached the array
};

std::string Auth(const std::string &user, const std::string &password) {
    return "test authentication -name " + user + " -password " + password;
}

std::vector<CheckCase> CheckCases() {
    const std::vector<std::string> authThenList = {"00\\n0\\n"};
    return {
        {"enabled Software account", "admin", "secret", {}, 0, 0, {kAuthAdmin, "show users"}},
        {"wrong password", "admin", "wrong", {}, -1, 920, {Auth("admin", "wrong")}},
        {"password that begins like an option", "admin", "-x", {}, -1, 920, {Auth("admin", "-x")}},
        {"unknown account", "nobody", "x", {}, -1, 920, {Auth("nobody", "x")}},
        {"another role", "oper", "pw", {}, -1, 921, {Auth("oper", "pw"), "show users"}},
        {"disabled", "off", "pw", {}, -1, 921, {Auth("off", "pw"), "show users"}},
        {"state other than 1", "other", "pw", {}, -1, 921, {Auth("other", "pw"), "show users"}},
        {"name of 127", kName127, "pw", {}, 0, 0, {Auth(kName127, "pw"), "show users"}},
        {"name that fills the field", kName128, "pw", {}, -1, 921,
         {Auth(kName128, "pw"), "show users"}},
        {"name cut by the field", kName130, "pw", {}, -1, 921,
         {Auth(kName130, "pw"), "show users"}},
        {"name differs in case", "ADMIN", "secret", authThenList, -1, 921,
         {Auth("ADMIN", "secret"), "show users"}},
        {"prefix of a listed name", "adm", "secret", authThenList, -1, 921,
         {Auth("adm", "secret"), "show users"}},
        {"listed name is a prefix", "administrator", "secret", authThenList, -1, 921,
         {Auth("administrator", "secret"), "show users"}},
        {"account code 2 is no refusal", "admin", "secret", {"00\\n2\\n"}, 0, 0,
         {kAuthAdmin, "show users"}},
        {"authentication reply of one line", "admin", "secret", {"00"}, -1, 922, {kAuthAdmin}},
        {"account code not a number", "admin", "secret", {"00\\n3x"}, -1, 922, {kAuthAdmin}},
        {"account code beyond 32 bits", "admin", "secret", {"00\\n100000000"}, -1, 922,
         {kAuthAdmin}},
        {"status not a number", "admin", "secret", {"00x\\n0"}, -1, 922, {kAuthAdmin}},
        {"array refuses the test", "admin", "secret", {"02\\n5310"}, -1, 0x15310, {kAuthAdmin}},
        {"service error", "admin", "secret", {"ERROR:\\sbroken"}, -1, ZRK_ERR_RECEIVE,
         {kAuthAdmin}},
        {"array refuses the list", "admin", "secret", {"00\\n0\\n", "02\\n5310"}, -1, 0x15310,
         {kAuthAdmin, "show users"}},
        {"list short of its rows", "admin", "secret",
         {"00\\n0\\n", "00\\n2\\nadmin\\tSoftware\\t1\\t0\\n"}, -1, ZRK_ERR_REPLY_INCOMPLETE,
         {kAuthAdmin, "show users"}},
        {"list of no rows", "admin", "secret", {"00\\n0\\n", "00\\n0\\n"}, -1, 921,
         {kAuthAdmin, "show users"}},
    };
}

TEST_F(IpRemoteSim, AccountCheck) {
    for (const CheckCase &c : CheckCases()) {
        Script(c.script);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ZRKerrno = 0;
        EXPECT_EQ(c.ret, ZRKIPCheckUsers("10.0.0.5", c.user.c_str(), c.password.c_str(), 0, sense))
            << c.what;
        EXPECT_EQ(c.err, ZRKerrno) << c.what;
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'), Bytes(sense, sizeof sense)) << c.what;
        EXPECT_EQ(c.commands, Commands()) << c.what;
    }
}

// Names and passwords that the command text cannot carry as one word, and
// option bits, are refused before the array is asked anything.
TEST_F(IpRemoteSim, AccountCheckRefusedBeforeSending) {
    struct Case {
        const char *what;
        const char *user;
        const char *password;
        uint32_t option;
        int err;
    } const cases[] = {
        {"blank in the name", "ad min", "secret", 0, 13},
        {"blank in the password", "admin", "sec ret", 0, 13},
        {"an option in the name", "admin -password secret", "x", 0, 13},
        {"empty name", "", "secret", 0, 13},
        {"empty password", "admin", "", 0, 13},
        {"quote", "ad\"min", "secret", 0, 13},
        {"TAB", "admin", "sec\tret", 0, 13},
        {"newline", "admin\nshow users", "secret", 0, 13},
        {"DEL", "admin\x7f", "secret", 0, 13},
        {"no name", nullptr, "secret", 0, 13},
        {"no password", "admin", nullptr, 0, 13},
        {"option bit 0x1", "admin", "secret", 0x1, 37},
        {"option bit 0x80000000", "admin", "secret", 0x80000000u, 37},
    };
    for (const Case &c : cases) {
        ZRKerrno = 0;
        EXPECT_EQ(-1, ZRKIPCheckUsers("10.0.0.5", c.user, c.password, c.option, nullptr)) << c.what;
        EXPECT_EQ(c.err, ZRKerrno) << c.what;
    }
    ZRKerrno = 0;
    EXPECT_EQ(-1, ZRKIPCheckUsers(nullptr, "admin", "secret", 0, nullptr));
    EXPECT_EQ(ZRK_ERR_PARAMETER, ZRKerrno);
    EXPECT_TRUE(Commands().empty());
    const std::string trace = root.traceText();
    for (const char *line : {"ZRKIPCheckUsers : START",
                             "ZRKIPCheckUsers : cpIPaddress=[10.0.0.5] OptionFlag=0x01",
                             "ZRKIPCheckUsers : END(ret=-1, ZRKerrno=37)",
                             "IPCheckUsers : END(ret=-1, ZRKerrno=13)"}) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

// The account check has no root check: a caller that is not root gets the
// same answers (the login was made by root before).
TEST_F(IpRemoteSim, AccountCheckAsNonRoot) {
    // The installation root, where the properties name the service's port,
    // is open to the unprivileged user.
    OpenRootToOthers();
    struct Case {
        const char *user;
        const char *password;
        const char *script;  // one lanreply body, or NULL
        int err;
    } const cases[] = {
        {"admin", "secret", nullptr, 0},
        {"admin", "wrong", nullptr, 920},
        {"oper", "pw", nullptr, 921},
        {"admin", "secret", "00\\n3x", 922},
    };
    for (const Case &c : cases) {
        if (c.script != nullptr) Script({c.script});
        const zrktest::ChildResult r = zrktest::runChild([&] {
            if (!zrktest::dropPrivileges()) return 100;
            ZRKerrno = 0;
            const int ret = ZRKIPCheckUsers("10.0.0.5", c.user, c.password, 0, nullptr);
            std::printf("%d %d", ret, ZRKerrno);
            return 0;
        });
        ASSERT_EQ(0, r.exitCode) << c.user << " " << r.err;
        EXPECT_EQ(std::to_string(c.err == 0 ? 0 : -1) + " " + std::to_string(c.err), r.out)
            << c.user;
    }
}

// ---- the remote BoxID list ---------------------------------------------------------------

std::string Box(const std::string &text) {
    std::string box = text;
    box.resize(ZRK_BOXID_LEN, '\0');
    return box;
}

// The path BoxIDs "R0", "R1", ...; with twice, every remote array twice.
std::vector<unsigned char> PathBoxes(size_t rows, bool twice = false) {
    std::vector<unsigned char> boxes(rows * ZRK_BOXID_LEN + 1, 0);
    for (size_t i = 0; i < rows; ++i) {
        const std::string box = Box("R" + std::to_string(twice ? i / 2 : i));
        std::memcpy(boxes.data() + i * ZRK_BOXID_LEN, box.data(), ZRK_BOXID_LEN);
    }
    return boxes;
}

TEST(RemoteBoxIdList, LayoutOfTheInBandList) {
    const std::string own = Box("OWN-BOX");
    struct Case {
        const char *what;
        size_t rows;
        bool twice;
        unsigned kept;  // the count the caller receives
    } const cases[] = {
        {"no paths", 0, false, 0},
        {"one path", 1, false, 1},
        {"a remote array with two paths is listed twice", 4, true, 4},
        {"64 paths fill the caller's list", 64, false, 64},
        {"65 paths: the count is cut to the entries handed out", 65, false, 64},
        {"255 paths, the most the count carries", 255, false, 64},
    };
    for (const Case &c : cases) {
        const std::vector<unsigned char> boxes = PathBoxes(c.rows, c.twice);
        std::vector<unsigned char> list(IP_REMOTE_LIST_LEN, 0xCC);
        ASSERT_TRUE(zrkip::FillRemoteBoxIDList(reinterpret_cast<const unsigned char *>(own.data()),
                                               boxes.data(), c.rows, list.data()))
            << c.what;
        std::string want(IP_REMOTE_LIST_LEN, '\0');
        want.replace(0, ZRK_BOXID_LEN, own);
        want[40] = static_cast<char>(c.rows);
        for (size_t i = 0; i < c.rows; ++i) {
            want.replace(48 + 48 * i, ZRK_BOXID_LEN,
                         Box("R" + std::to_string(c.twice ? i / 2 : i)));
        }
        EXPECT_EQ(want, Bytes(list.data(), list.size())) << c.what;

        std::vector<unsigned char> out(IP_REMOTE_LIST_OUT_LEN + 16, 0xCC);
        zrkip::CutRemoteBoxIDList(list.data(), out.data());
        want.resize(IP_REMOTE_LIST_OUT_LEN);
        want[40] = static_cast<char>(c.kept);
        EXPECT_EQ(want, Bytes(out.data(), IP_REMOTE_LIST_OUT_LEN)) << c.what;
        EXPECT_EQ(std::string(16, '\xCC'), Bytes(out.data() + IP_REMOTE_LIST_OUT_LEN, 16))
            << c.what;
    }
}

TEST(RemoteBoxIdList, MoreRowsThanTheCountCarriesAreRefused) {
    const std::string own = Box("OWN-BOX");
    for (size_t rows : {256u, 300u, 1000u}) {
        const std::vector<unsigned char> boxes = PathBoxes(rows);
        std::vector<unsigned char> list(IP_REMOTE_LIST_LEN, 0xCC);
        EXPECT_FALSE(zrkip::FillRemoteBoxIDList(
            reinterpret_cast<const unsigned char *>(own.data()), boxes.data(), rows, list.data()))
            << rows;
        EXPECT_EQ(std::string(IP_REMOTE_LIST_LEN, '\xCC'), Bytes(list.data(), list.size()))
            << rows;
    }
}

TEST_F(IpRemoteSim, RemoteListRefusals) {
    struct Case {
        const char *what;
        const char *ip;
        uint32_t option;
        bool area;
        int err;
        std::vector<std::string> commands;
    } const cases[] = {
        {"option bit", "10.0.0.5", 0x1, true, 37, {}},
        {"high option bit", "10.0.0.5", 0x80000000u, true, 37, {}},
        {"no area", "10.0.0.5", 0, false, 13, {}},
        {"no address", nullptr, 0, true, 13, {}},
        {"array without RVZ", "10.0.0.6", 0, true, 17, {"show copy-functions", "show boxid"}},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> area(IP_REMOTE_LIST_OUT_LEN, 0xCC);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ZRKIPGetRemoteBoxIDList(c.ip, nullptr, c.option,
                                              c.area ? area.data() : nullptr, sense))
            << c.what;
        EXPECT_EQ(c.err, ZRKerrno) << c.what;
        EXPECT_EQ(std::string(IP_REMOTE_LIST_OUT_LEN, '\xCC'), Bytes(area.data(), area.size()))
            << c.what;
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'), Bytes(sense, sizeof sense)) << c.what;
        EXPECT_EQ(c.commands, Commands()) << c.what;
    }
    const std::string trace = root.traceText();
    for (const char *line : {"ZRKIPGetRemoteBoxIDList : START",
                             "ZRKIPGetRemoteBoxIDList : cpIPaddress=[10.0.0.6] OptionFlag=0x00",
                             "IPGetRemoteBoxIDList : END(ret=-1, ZRKerrno=17)",
                             "ZRKIPGetRemoteBoxIDList : END(ret=-1, ZRKerrno=17)"}) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

// The list is the array's own BoxID, the count of its RVZ paths and one
// entry per path ("show rvz-path"): A1 reaches B1.
TEST_F(IpRemoteSim, RemoteListFromThePaths) {
    std::vector<unsigned char> area(IP_REMOTE_LIST_OUT_LEN + 16, 0xCC);
    ZRKerrno = 0;
    ASSERT_EQ(0, ZRKIPGetRemoteBoxIDList("10.0.0.5", nullptr, 0, area.data(), nullptr)) << ZRKerrno;
    std::string want(IP_REMOTE_LIST_OUT_LEN, '\0');
    const std::string own = iptest::PaddedBox("BOX-A1"), remote = iptest::PaddedBox("BOX-B1");
    want.replace(0, own.size(), own);
    want[IP_REMOTE_COUNT_AT] = 1;
    want.replace(IP_REMOTE_HEAD_LEN, remote.size(), remote);
    EXPECT_EQ(want, Bytes(area.data(), IP_REMOTE_LIST_OUT_LEN));
    EXPECT_EQ(std::string(16, '\xCC'), Bytes(area.data() + IP_REMOTE_LIST_OUT_LEN, 16));
    EXPECT_EQ((std::vector<std::string>{"show copy-functions", "show boxid", "show rvz-path"}), Commands());
}

TEST_F(IpRemoteSim, RemoteListIsForRootOnly) {
    OpenRootToOthers();
    const zrktest::ChildResult r = zrktest::runChild([&] {
        if (!zrktest::dropPrivileges()) return 100;
        unsigned char area[IP_REMOTE_LIST_OUT_LEN];
        ZRKerrno = 0;
        const int ret = ZRKIPGetRemoteBoxIDList("10.0.0.5", nullptr, 0, area, nullptr);
        std::printf("%d %d", ret, ZRKerrno);
        return 0;
    });
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("-1 34", r.out);
    EXPECT_TRUE(Commands().empty());
}

}  // namespace
