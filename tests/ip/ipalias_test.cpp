// The alias store's LAN entries against the simulator's LAN service: the
// user and password of a LAN route are kept as the service's "encrypt"
// returned them, and a delete hands them back to its "decrypt" to compare
// them with what the caller gives; a service that cannot be reached stops
// the delete with its mapped message and the store unchanged.
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"
#include "zrkcalias.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kScenario =
    "array A1 boxid=\"BOXA\" address=10.0.0.5\n"
    "volume A1 1 2097152\n"
    "user admin secret\n";

std::string box(const std::string &name) { return iptest::PaddedBox(name); }

class IpAlias : public iptest::LanSimTest {
protected:
    IpAlias() : LanSimTest(kScenario, {}) {}
    void SetUp() override {
        LanSimTest::SetUp();
        if (HasFatalFailure()) return;
        user = iptest::Encrypted("admin");
        password = iptest::Encrypted("secret");
        ASSERT_FALSE(user.empty());
        ASSERT_FALSE(password.empty());
        ASSERT_NE(user, "admin");
        std::vector<unsigned char> list(ZRKC_REMOTE_LIST_LEN, 0);
        std::memcpy(list.data(), box("BOXA").data(), ZRK_BOXID_LEN);
        const unsigned char zeros[16] = {};
        ReturnInfo ri {};
        ASSERT_EQ(com_set_alias("10.0.0.5", zeros, zeros, list.data(), 0, ZRKC_ALIAS_IF_LAN, user.c_str(),
                                password.c_str(), &ri),
                  0)
            << ri.caMessage;
        sim.commandOk("clearlanlog");
    }
    std::string mainBytes() const { return zrktest::readFile(root.etc() + "/" ZRKC_ALIAS_FILE); }
    std::string extBytes() const { return zrktest::readFile(root.etc() + "/" ZRKC_ALIAS_EXT_FILE); }

    std::string user, password;
};

TEST_F(IpAlias, StoreKeepsTheServiceTextsAsTheyCame) {
    const std::string ext = extBytes();
    ASSERT_EQ(ext.size(), 516016u);
    EXPECT_EQ(std::string(ext.c_str() + 16 + 4), user);
    EXPECT_EQ(std::string(ext.c_str() + 16 + 260), password);
    EXPECT_EQ(ext.find("secret"), std::string::npos);
    AliasRecord record {};
    ReturnInfo ri {};
    ASSERT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "QX000", &record, &ri), 0);
    EXPECT_EQ(std::string(record.User), user);
    EXPECT_STREQ(record.Main.AccessPath, "10.0.0.5");
    EXPECT_EQ(record.Main.Interface, ZRKC_ALIAS_IF_LAN);
}

TEST_F(IpAlias, DeleteComparesTheClearTextsOfTheService) {
    const std::string mainBefore = mainBytes();
    const std::string extBefore = extBytes();
    const struct {
        const char *user;
        const char *password;
    } wrong[] = {
        {"admin", "secreT"},
        {"admin", "secret "},
        {"Admin", "secret"},
        {"admin", ""},
        {"", "secret"},
    };
    for (const auto &w : wrong) {
        SCOPED_TRACE(std::string(w.user) + "/" + w.password);
        ReturnInfo ri {};
        EXPECT_EQ(com_delete_alias(0, w.user, w.password, &ri), -1);
        EXPECT_EQ(ri.iReturnClass, 3);
        EXPECT_EQ(ri.uiMessageNo, 1023u);
        EXPECT_STREQ(ri.caMessage, "ZRKC1023 ERROR The specification of user information is incorrect.\n");
        EXPECT_EQ(iptest::LanOperations(sim), (std::vector<std::string> {"decrypt", "decrypt"}));
        EXPECT_TRUE(mainBytes() == mainBefore);
        EXPECT_TRUE(extBytes() == extBefore);
    }

    ReturnInfo ri {};
    ASSERT_EQ(com_delete_alias(0, "admin", "secret", &ri), 0) << ri.caMessage;
    EXPECT_EQ(ri.iReturnClass, 0);
    EXPECT_EQ(iptest::LanOperations(sim), (std::vector<std::string> {"decrypt", "decrypt"}));
    const std::string main = mainBytes();
    const std::string ext = extBytes();
    ASSERT_EQ(main.size(), 1140004u);
    ASSERT_EQ(ext.size(), 516016u);
    EXPECT_EQ(main.find_first_not_of('\0'), std::string::npos);
    EXPECT_EQ(ext.substr(0, 16), std::string("VELK_alias2 \x01\0\0\0", 16));
    EXPECT_EQ(ext.find_first_not_of('\0', 16), std::string::npos);
}

TEST_F(IpAlias, ServiceOutOfReachStopsTheDelete) {
    const std::string mainBefore = mainBytes();
    const std::string extBefore = extBytes();
    // Nothing listens on the service's port any more.
    iptest::FakeService::usePort(root, 1);
    ReturnInfo ri {};
    EXPECT_EQ(com_delete_alias(0, "admin", "secret", &ri), -1);
    EXPECT_EQ(ri.iReturnClass, 15);
    EXPECT_EQ(ri.uiMessageNo, 1903u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1903 ERROR The LAN interface management service is not running.\n");
    EXPECT_TRUE(mainBytes() == mainBefore);
    EXPECT_TRUE(extBytes() == extBefore);
    // The store's lock was let go: a writer goes on.
    ri = {};
    EXPECT_EQ(com_add_alias(box("BOXB").c_str(), 0, &ri), 0) << ri.caMessage;
}

TEST_F(IpAlias, StoredTextTheServiceCannotTransformStopsTheDelete) {
    // A store whose user text is not one the service made.
    std::string ext = extBytes();
    std::memcpy(&ext[16 + 4], "not-a-service-text", 19);
    root.write("etc/" ZRKC_ALIAS_EXT_FILE, ext);
    const std::string mainBefore = mainBytes();
    ReturnInfo ri {};
    EXPECT_EQ(com_delete_alias(0, "admin", "secret", &ri), -1);
    EXPECT_NE(ri.iReturnClass, 0);
    EXPECT_NE(ri.caMessage[0], '\0');
    EXPECT_TRUE(mainBytes() == mainBefore);
    EXPECT_TRUE(extBytes() == ext);
}

// A stand-in service whose "decrypt" answers are scripted.
TEST(IpAliasStandIn, ClearTextsLongerThanTheirFieldsMatchNothing) {
    zrktest::InstallRoot root;
    iptest::FakeService service;
    service.configure(root);
    std::vector<unsigned char> list(ZRKC_REMOTE_LIST_LEN, 0);
    std::memcpy(list.data(), box("BOXA").data(), ZRK_BOXID_LEN);
    const unsigned char zeros[16] = {};
    ReturnInfo ri {};
    ASSERT_EQ(com_set_alias("10.0.0.5", zeros, zeros, list.data(), 0, ZRKC_ALIAS_IF_LAN, "Zu", "Zp", &ri), 0)
        << ri.caMessage;
    const std::string longUser(256, 'a');
    const struct {
        const char *title;
        std::string user, password;
        int replies;  // the decrypts asked: a text too long ends the delete at once
        int rc;
    } cases[] = {
        {"user of 256 characters", longUser, "secret", 1, -1},
        {"password of 256 characters", "admin", longUser, 2, -1},
        {"both of 255 characters", longUser.substr(1), longUser.substr(1), 2, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        service.reply(c.user);
        if (c.replies == 2) service.reply(c.password);
        ri = {};
        EXPECT_EQ(com_delete_alias(0, c.user.c_str(), c.password.c_str(), &ri), c.rc) << ri.caMessage;
        if (c.rc != 0) {
            EXPECT_EQ(ri.iReturnClass, 3);
            EXPECT_EQ(ri.uiMessageNo, 1023u);
        }
    }
    // The two requests of each delete asked to decrypt the stored texts.
    int decrypts = 0;
    for (const std::string &request : service.requests()) {
        if (request.find("\tdecrypt\t") != std::string::npos) ++decrypts;
    }
    EXPECT_EQ(decrypts, 5);
    std::unique_ptr<AliasList> aliases(new AliasList());
    ASSERT_EQ(com_get_aliaslist(aliases.get(), &ri), 0);
    EXPECT_EQ(aliases->Count, 0);
}

}  // namespace
