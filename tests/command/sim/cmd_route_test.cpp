// Routes, aliases and LAN login against the simulator: the SCSI route
// through a disk ("sa" road) and the LAN route through the service ("lb"
// road), the alias store's bytes after each change, and the requests the LAN
// interface management service received.
#include "cmd_support.h"

#include "zrkerrno.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

namespace {

using cmdtest::Box;

// An account this system may not use, an array D1 without RVZ support, an
// array Q1 of the QM family (its remote-box list is the long one), and
// disks of D1, P1 and Q1.
const std::string kExtra = "user ops pw role=Admin\n"
                           "array D1 boxid=\"BOXD\" support=" + iptest::SupportHex({{4, 0x2F}, {29, 0}, {30, 0}, {31, 0}}) +
                           "\n"
                           "volume D1 1 4096\n"
                           "array Q1 boxid=\"BOXQ\" family=qm\n"
                           "volume Q1 1 4096\n"
                           "disk /dev/sdi 8:128 Q1 1\n"
                           "disk /dev/sdg 8:96 D1 1\n"
                           "disk /dev/sdh 8:112 P1 1\n";

class CmdRoute : public cmdtest::CommandSim {
protected:
    CmdRoute() : cmdtest::CommandSim(kExtra) {}

    std::string MainFile() const { return zrktest::readFile(root.etc() + "/" + ZRKC_ALIAS_FILE); }
    std::string ExtFile() const { return zrktest::readFile(root.etc() + "/" + ZRKC_ALIAS_EXT_FILE); }

    // The main file's slot holding the BoxID, or null.
    static const AliasEntry *Slot(const std::string &file, const std::string &box) {
        if (file.size() != sizeof(AliasMainFile)) return nullptr;
        const auto *main = reinterpret_cast<const AliasMainFile *>(file.data());
        for (const AliasEntry &e : main->Slot)
            if (e.InUse && std::memcmp(e.BoxID, Box(box).data(), ZRK_BOXID_LEN) == 0) return &e;
        return nullptr;
    }
    static const AliasExtEntry &ExtSlot(const std::string &file, uint32_t id) {
        return reinterpret_cast<const AliasExtFile *>(file.data())->Slot[id];
    }

    // The operations (open, close, force_close, encrypt, decrypt, proc) the
    // service received since the last look.
    std::vector<std::string> Operations() {
        return iptest::LanOperations(sim);
    }
    std::vector<std::string> Logins() { return sim.commandOk("lanlogins"); }
    bool LoggedIn(const std::string &host) {
        const std::vector<std::string> l = Logins();
        return std::any_of(l.begin(), l.end(), [&](const std::string &s) { return s.rfind(host + " ", 0) == 0; });
    }

    void RemoveStore() {
        ::unlink((root.etc() + "/" + ZRKC_ALIAS_FILE).c_str());
        ::unlink((root.etc() + "/" + ZRKC_ALIAS_EXT_FILE).c_str());
    }

    std::unique_ptr<RouteInfo> Query(const char *volume, int *result, ReturnInfo *ri) {
        auto route = std::make_unique<RouteInfo>();
        *result = zrkc_query_routeinfo(volume, 0, ri, route.get(), sizeof(RouteInfo));
        return route;
    }
};

std::string Text(const char *field, size_t n) { return std::string(field, strnlen(field, n)); }
template <size_t N> std::string Text(const char (&f)[N]) { return Text(f, N); }
template <size_t N> std::string Text(const uint8_t (&f)[N]) {
    return Text(reinterpret_cast<const char *>(f), N);
}

// ---- SCSI route ------------------------------------------------------------------------

TEST_F(CmdRoute, SetRouteRegistersTheArrayAndItsRemoteArraysInTheStoreFiles) {
    RemoveStore();
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_set_routeinfo("/dev/sdc", ZRKC_OPT_BOXID_ALIAS | ZRKC_OPT_NO_DEVICE_LIST, &ri))
        << ri.caMessage;
    EXPECT_EQ(ri.uiMessageNo, 0u);
    EXPECT_EQ(ZrkcAccessPath_Flag, 0) << "the device-list bit is not the access-path bit here";

    const std::string main = MainFile();
    ASSERT_EQ(main.size(), sizeof(AliasMainFile));
    EXPECT_EQ(reinterpret_cast<const AliasMainFile *>(main.data())->Count, 7u);
    const AliasEntry *own = Slot(main, "BOXA");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->Direct, 1);
    EXPECT_EQ(own->Interface, ZRKC_ALIAS_IF_SCSI);
    EXPECT_EQ(Text(own->AccessPath), "/dev/sdc");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(own->ProductID), 16), "WX900           ");
    EXPECT_EQ(std::string(own->Alias, ZRKC_ALIAS_LEN), Box("BOXA")) << "alias = BoxID";
    for (const char *remote : {"BOXB", "BOXC", "BOXP", "BOXF", "BOXD", "BOXQ"}) {
        const AliasEntry *e = Slot(main, remote);
        ASSERT_NE(e, nullptr) << remote;
        EXPECT_EQ(e->Direct, 0) << remote;
        EXPECT_EQ(std::string(e->Alias, ZRKC_ALIAS_LEN), Box(remote));
    }
    const std::string ext = ExtFile();
    ASSERT_EQ(ext.size(), sizeof(AliasExtFile));
    EXPECT_EQ(std::string(ext.data(), ZRKC_ALIAS_EXT_MAGIC_LEN), ZRKC_ALIAS_EXT_MAGIC);
    EXPECT_EQ(ExtSlot(ext, own->ID).ID, own->ID);
    EXPECT_EQ(ExtSlot(ext, own->ID).User[0], '\0');
    EXPECT_TRUE(Operations().empty()) << "the SCSI route never asks the LAN service";
}

TEST_F(CmdRoute, SetRouteRefusals) {
    const std::string before = MainFile();
    struct Case {
        const char *volume;
        int option;
        int cls;
        uint32_t number;
        std::string message;
    } cases[] = {
        {"0x1@sa", ZRKC_OPT_NO_DEVICE_LIST, 3, 1002,
         "ZRKC1002 ERROR Invalid logical volume name. Volume name=(0x1@sa).\n"},
        {"0x1:0:100@sa", ZRKC_OPT_NO_DEVICE_LIST, 3, 1002,
         "ZRKC1002 ERROR Invalid logical volume name. Volume name=(0x1:0:100@sa).\n"},
        {"/dev/sdb", ZRKC_OPT_NO_DEVICE_LIST | 0x1000, 3, 1010,
         "ZRKC1010 ERROR Specified option is invalid.\n"},
        {"/dev/sdb", ZRKC_OPT_GROUP_FILE, 3, 1010, "ZRKC1010 ERROR Specified option is invalid.\n"},
        {"/dev/sdf", ZRKC_OPT_NO_DEVICE_LIST, 6, 1216,
         "ZRKC1216 ERROR A logical volume in a storage cluster cannot be used as the access path.\n"},
    };
    for (const Case &c : cases) {
        ReturnInfo ri{};
        EXPECT_EQ(-1, zrkc_set_routeinfo(c.volume, c.option, &ri)) << c.volume;
        EXPECT_EQ(ri.iReturnClass, c.cls) << c.volume;
        EXPECT_EQ(ri.uiMessageNo, c.number) << c.volume;
        EXPECT_STREQ(ri.caMessage, c.message.c_str()) << c.volume;
    }
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_set_routeinfo(nullptr, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_EQ(-1, zrkc_set_routeinfo("/dev/sdb", 0, nullptr));
    EXPECT_EQ(MainFile(), before) << "no refusal changes the store";
}

TEST_F(CmdRoute, SetRouteChecksTheManagementServersDeviceListUnlessTold) {
    struct stat st;
    if (::stat("/var/opt/QRVNzrks/database/KelmorList.xml", &st) == 0)
        GTEST_SKIP() << "this host has a management server's device list";
    const std::string before = MainFile();
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_set_routeinfo("/dev/sdc", 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1500u) << ri.caMessage;
    EXPECT_EQ(MainFile(), before);
    EXPECT_EQ(0, zrkc_set_routeinfo("/dev/sdc", ZRKC_OPT_NO_DEVICE_LIST, &ri)) << ri.caMessage;
    EXPECT_EQ(Text(Slot(MainFile(), "BOXA")->AccessPath), "/dev/sdc");
}

TEST_F(CmdRoute, SetRouteOfALanRegisteredArrayIsRefused) {
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_set_routeinfo("/dev/sde", ZRKC_OPT_NO_DEVICE_LIST, &ri));
    EXPECT_STREQ(ri.caMessage, "ZRKC1021 ERROR This VASTREL is already defined in LAN interface.\n");
}

// ---- query route -----------------------------------------------------------------------

TEST_F(CmdRoute, QueryRouteNamesTheSourceAndEveryRemoteArray) {
    int result = 0;
    ReturnInfo ri{};
    auto route = Query("/dev/sdb", &result, &ri);
    ASSERT_EQ(result, 0) << ri.caMessage;
    EXPECT_EQ(Text(route->Alias), "sa");
    EXPECT_EQ(std::string(route->BoxID, ZRK_BOXID_LEN), Box("BOXA"));
    EXPECT_EQ(Text(route->AccessPath), "/dev/sdb");
    ASSERT_EQ(route->TargetCount, 6);
    const char *boxes[] = {"BOXB", "BOXC", "BOXD", "BOXF", "BOXP", "BOXQ"};
    const char *aliases[] = {"lb", "nc", "", "", "", ""};
    for (int i = 0; i < 6; ++i) {
        const RouteTarget &t = route->Target[i];
        EXPECT_EQ(std::string(t.BoxID, ZRK_BOXID_LEN), Box(boxes[i])) << i;
        EXPECT_EQ(Text(t.Alias), aliases[i]) << i << ": unknown arrays have empty fields";
    }
    EXPECT_TRUE(std::all_of(reinterpret_cast<const char *>(&route->Target[6]),
                            reinterpret_cast<const char *>(route.get() + 1),
                            [](char c) { return c == 0; }));
}

TEST_F(CmdRoute, TheLongRemoteBoxListOfTheQmFamilyIsReadWhole) {
    RemoveStore();
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_set_routeinfo("/dev/sdi", ZRKC_OPT_NO_DEVICE_LIST, &ri)) << ri.caMessage;
    int result = 0;
    auto route = Query("/dev/sdi", &result, &ri);
    ASSERT_EQ(result, 0) << ri.caMessage;
    EXPECT_EQ(route->TargetCount, 6);
    EXPECT_EQ(Text(route->AccessPath), "/dev/sdi");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(route->ProductID), 16), "QM100           ");
    EXPECT_EQ(std::string(route->Target[5].BoxID, ZRK_BOXID_LEN), Box("BOXP"));
    EXPECT_FALSE(Text(route->Target[5].Alias).empty()) << "entered by the route";
}

TEST_F(CmdRoute, QueryRouteOfAnArrayWithoutRvzHasNoTargets) {
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_add_alias(Box("BOXD").c_str(), 0, &ri));
    ASSERT_EQ(0, zrkc_change_alias(3, "nd", 0, &ri)) << ri.caMessage;
    int result = 0;
    auto route = Query("/dev/sdg", &result, &ri);
    ASSERT_EQ(result, 0) << ri.caMessage;
    EXPECT_EQ(route->TargetCount, 0);
    EXPECT_EQ(Text(route->Alias), "nd");
    EXPECT_EQ(std::string(route->BoxID, ZRK_BOXID_LEN), Box("BOXD"));
}

TEST_F(CmdRoute, QueryRouteAreaChecksAndRefusals) {
    std::vector<unsigned char> area(sizeof(RouteInfo) - 1, 0xEE);
    ReturnInfo ri{};
    EXPECT_EQ(1, zrkc_query_routeinfo("/dev/sdb", 0, &ri, area.data(), static_cast<int>(area.size())));
    EXPECT_STREQ(ri.caMessage, "ZRKC1001 WARNING Insufficient output area.\n");
    EXPECT_EQ(ri.uiNeedOutputSize, 28676u);
    EXPECT_TRUE(std::all_of(area.begin(), area.end(), [](unsigned char c) { return c == 0xEE; }));
    ri = ReturnInfo{};
    EXPECT_EQ(1, zrkc_query_routeinfo("/dev/sdb", 0, &ri, nullptr, 0));
    EXPECT_EQ(ri.uiNeedOutputSize, 28676u);
    EXPECT_EQ(-1, zrkc_query_routeinfo("/dev/sdb", 0, &ri, nullptr, 10));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    int result = 0;
    Query("/dev/sdh", &result, &ri);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ri.iReturnClass, 1);
    EXPECT_STREQ(ri.caMessage, "ZRKC1107 ERROR Alias is not defined.\n");
    Query("/dev/sdf", &result, &ri);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(ri.uiMessageNo, 1217u);
    Query("0x1@sa", &result, &ri);
    EXPECT_EQ(ri.uiMessageNo, 1002u);
    auto route = std::make_unique<RouteInfo>();
    EXPECT_EQ(-1, zrkc_query_routeinfo("/dev/sdb", 1, &ri, route.get(), sizeof(RouteInfo)));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
}

// ---- alias list, add, change, delete -----------------------------------------------------

TEST_F(CmdRoute, AliasListAddChangeDelete) {
    auto list = std::make_unique<AliasList>();
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_query_aliaslist(0, &ri, list.get(), sizeof(AliasList))) << ri.caMessage;
    ASSERT_EQ(list->Count, 3);
    EXPECT_EQ(Text(list->Entry[0].Main.Alias), "sa");

    // A BoxID shorter than 40 characters is taken with zeros after it.
    ASSERT_EQ(0, zrkc_add_alias("BOXZ", ZRKC_OPT_BOXID_ALIAS, &ri)) << ri.caMessage;
    std::string main = MainFile();
    std::string boxz("BOXZ", 4);
    boxz.resize(ZRK_BOXID_LEN, '\0');
    const auto *m = reinterpret_cast<const AliasMainFile *>(main.data());
    const AliasEntry *added = nullptr;
    for (const AliasEntry &e : m->Slot)
        if (e.InUse && std::memcmp(e.BoxID, boxz.data(), ZRK_BOXID_LEN) == 0) added = &e;
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(std::string(added->Alias, ZRKC_ALIAS_LEN), boxz);
    const uint32_t id = added->ID;

    ASSERT_EQ(0, zrkc_change_alias(id, "Abcdefghij-1.#_z", 0, &ri)) << ri.caMessage;
    EXPECT_EQ(Text(reinterpret_cast<const AliasMainFile *>(MainFile().data())->Slot[id].Alias),
              "Abcdefghij-1.#_z");
    main = MainFile();
    for (const char *bad : {"Abcdefghij-1.#_zz", "1abc", "a b"}) {
        EXPECT_EQ(-1, zrkc_change_alias(id, bad, 0, &ri)) << bad;
        EXPECT_EQ(ri.uiMessageNo, 1011u);
        EXPECT_EQ(std::string(ri.caMessage),
                  std::string("ZRKC1011 ERROR Invalid parameter. Parameter=(") + bad + ").\n");
    }
    EXPECT_EQ(-1, zrkc_change_alias(id, "ok", 0x1, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
    EXPECT_EQ(MainFile(), main) << "refusals leave the store";

    ASSERT_EQ(0, zrkc_delete_alias(id, nullptr, nullptr, 0, &ri)) << ri.caMessage;
    ASSERT_EQ(0, zrkc_query_aliaslist(0, &ri, list.get(), sizeof(AliasList)));
    EXPECT_EQ(list->Count, 3);
}

TEST_F(CmdRoute, AliasCommandRefusals) {
    ReturnInfo ri{};
    std::vector<unsigned char> small(sizeof(AliasList) - 1, 0xEE);
    EXPECT_EQ(1, zrkc_query_aliaslist(0, &ri, small.data(), static_cast<int>(small.size())));
    EXPECT_EQ(ri.uiNeedOutputSize, 1652004u);
    EXPECT_EQ(small[0], 0xEE);
    EXPECT_EQ(1, zrkc_query_aliaslist(0, &ri, nullptr, 0));
    EXPECT_EQ(-1, zrkc_query_aliaslist(0, &ri, nullptr, 4));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_EQ(-1, zrkc_query_aliaslist(2, &ri, small.data(), 0));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
    EXPECT_EQ(-1, zrkc_query_aliaslist(0, nullptr, nullptr, 0));
    EXPECT_EQ(-1, zrkc_add_alias(nullptr, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_EQ(-1, zrkc_add_alias("BOXY", ZRKC_OPT_NO_DEVICE_LIST, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
    EXPECT_EQ(ZrkcAccessPath_Flag, 0);
    EXPECT_EQ(-1, zrkc_change_alias(1, nullptr, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_EQ(-1, zrkc_delete_alias(1, nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(-1, zrkc_delete_alias(1, nullptr, nullptr, 4, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
}

TEST_F(CmdRoute, DeletingALanEntryChecksTheAccountThroughTheService) {
    AliasRecord lb{};
    ReturnInfo ri{};
    ASSERT_EQ(0, com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "lb", &lb, &ri));
    EXPECT_EQ(-1, zrkc_delete_alias(lb.Main.ID, "admin", "wrong", 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1023u);
    EXPECT_EQ((std::vector<std::string>{"decrypt", "decrypt"}), Operations());
    ASSERT_EQ(0, zrkc_delete_alias(lb.Main.ID, "admin", "secret", 0, &ri)) << ri.caMessage;
    EXPECT_EQ(Slot(MainFile(), "BOXB"), nullptr);
    const std::string ext = ExtFile();
    const AliasExtEntry &slot = ExtSlot(ext, lb.Main.ID);
    EXPECT_TRUE(std::all_of(reinterpret_cast<const char *>(&slot), reinterpret_cast<const char *>(&slot + 1),
                            [](char c) { return c == 0; }));
}

// ---- LAN route -------------------------------------------------------------------------

TEST_F(CmdRoute, LanRouteChecksTheAccountClosesTheSessionAndStoresTheEncryptedAccount) {
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_set_iprouteinfo("10.0.0.7", "admin", "secret", 0, &ri)) << ri.caMessage;
    const std::vector<std::string> ops = Operations();
    ASSERT_GE(ops.size(), 4u);
    EXPECT_EQ(ops.front(), "open");
    const auto close = std::find(ops.begin(), ops.end(), "close");
    ASSERT_NE(close, ops.end());
    EXPECT_TRUE(std::all_of(ops.begin() + 1, close, [](const std::string &o) { return o == "proc"; }));
    EXPECT_EQ((std::vector<std::string>(close, ops.end())),
              (std::vector<std::string>{"close", "encrypt", "encrypt"}));
    EXPECT_FALSE(LoggedIn("10.0.0.7"));

    const std::string main = MainFile();
    const AliasEntry *c = Slot(main, "BOXC");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Direct, 1);
    EXPECT_EQ(c->Interface, ZRKC_ALIAS_IF_LAN);
    EXPECT_EQ(Text(c->AccessPath), "10.0.0.7");
    EXPECT_EQ(Text(c->Alias), "nc") << "an entry keeps its alias";
    EXPECT_TRUE(std::all_of(c->ProductID, c->ProductID + 16, [](uint8_t b) { return b == 0; }));
    const std::string extFile = ExtFile();
    const AliasExtEntry &ext = ExtSlot(extFile, c->ID);
    EXPECT_EQ(Text(ext.User), cmdtest::Encrypted("admin"));
    EXPECT_EQ(Text(ext.Password), cmdtest::Encrypted("secret"));
    EXPECT_NE(Text(ext.Password), "secret");
}

TEST_F(CmdRoute, LanRouteOfAnArrayWithRvzEntersItsRemoteArrays) {
    RemoveStore();
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_set_iprouteinfo("10.0.0.6", "admin", "secret", ZRKC_OPT_BOXID_ALIAS, &ri))
        << ri.caMessage;
    const std::string main = MainFile();
    EXPECT_EQ(reinterpret_cast<const AliasMainFile *>(main.data())->Count, 7u);
    EXPECT_EQ(Slot(main, "BOXB")->Interface, ZRKC_ALIAS_IF_LAN);
    for (const char *remote : {"BOXA", "BOXC", "BOXP", "BOXF", "BOXD", "BOXQ"}) EXPECT_NE(Slot(main, remote), nullptr) << remote;
}

TEST_F(CmdRoute, LanRouteFailuresAndTheSessionTheyLeave) {
    const std::string before = MainFile();
    struct Case {
        const char *name;
        const char *user, *password;
        std::vector<std::string> script;    // lanreply bodies for the first requests
        uint32_t messageNo;
        std::vector<std::string> ops;       // the service's operations
        bool sessionLeft;
    } cases[] = {
        {"login refused", "admin", "wrong", {}, 1904, {"open"}, false},
        {"account not usable", "ops", "pw", {}, 921, {"open", "proc", "proc"}, true},
        {"account check unreadable", "admin", "secret", {"true", "00"}, 922,
         {"open", "proc", "force_close"}, false},
    };
    for (const Case &c : cases) {
        for (const std::string &body : c.script) sim.commandOk("lanreply 1 " + body);
        ReturnInfo ri{};
        EXPECT_EQ(-1, zrkc_set_iprouteinfo("10.0.0.7", c.user, c.password, 0, &ri)) << c.name;
        EXPECT_NE(ri.uiMessageNo, 0u) << c.name;
        EXPECT_EQ(c.ops, Operations()) << c.name << ": " << ri.caMessage;
        EXPECT_EQ(c.sessionLeft, LoggedIn("10.0.0.7")) << c.name;
        EXPECT_EQ(MainFile(), before) << c.name;
        if (c.sessionLeft) {
            ASSERT_EQ(0, ZRKIPLogOut("10.0.0.7", nullptr, 0, nullptr));
        }
        sim.commandOk("clearlanlog");
    }
}

TEST_F(CmdRoute, LanRouteOfAScsiRegisteredArrayIsRefusedAfterTheChecks) {
    const std::string before = MainFile();
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_set_iprouteinfo("10.0.0.5", "admin", "secret", 0, &ri));
    EXPECT_STREQ(ri.caMessage, "ZRKC1022 ERROR This VASTREL is already defined in SCSI interface.\n");
    EXPECT_EQ(MainFile(), before);
    ri = ReturnInfo{};
    EXPECT_EQ(-1, zrkc_set_iprouteinfo("10.0.0.7", nullptr, "secret", 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_EQ(-1, zrkc_set_iprouteinfo("10.0.0.7", "admin", "secret", ZRKC_OPT_NO_DEVICE_LIST, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1010u);
}

// ---- LAN login and logout ----------------------------------------------------------------

TEST_F(CmdRoute, LogoutAndLoginOfALanEntry) {
    ASSERT_TRUE(LoggedIn("10.0.0.6"));
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_iplogout("lb", 0, &ri)) << ri.caMessage;
    EXPECT_EQ((std::vector<std::string>{"close"}), Operations());
    EXPECT_FALSE(LoggedIn("10.0.0.6"));
    ASSERT_EQ(0, zrkc_iplogin("lb", 0, &ri)) << ri.caMessage;
    EXPECT_EQ((std::vector<std::string>{"decrypt", "decrypt", "open"}), Operations());
    EXPECT_TRUE(LoggedIn("10.0.0.6 admin") || LoggedIn("10.0.0.6"));
}

TEST_F(CmdRoute, AServiceReplyLongerThanTheStoresFieldIsRefused) {
    ASSERT_EQ(0, ZRKIPLogOut("10.0.0.6", nullptr, 0, nullptr));
    sim.commandOk("clearlanlog");
    sim.commandOk("lanreply 1 " + std::string(ZRKC_ALIAS_TEXT_LEN, 'u'));
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_iplogin("lb", 0, &ri));
    EXPECT_STREQ(ri.caMessage, "ZRKC1023 ERROR The specification of user information is incorrect.\n");
    EXPECT_EQ((std::vector<std::string>{"decrypt"}), Operations()) << "no login with a cut text";
    EXPECT_FALSE(LoggedIn("10.0.0.6"));
}

TEST_F(CmdRoute, LoginRefusals) {
    struct Case {
        const char *alias;
        int option;
        int cls;
        uint32_t number;
    } cases[] = {
        {"sa", 0, 3, 1022}, {"nc", 0, 10, 1600}, {"zz", 0, 10, 1600}, {"lb", 2, 3, 1010},
    };
    for (const Case &c : cases) {
        for (auto fn : {zrkc_iplogin, zrkc_iplogout}) {
            ReturnInfo ri{};
            EXPECT_EQ(-1, fn(c.alias, c.option, &ri)) << c.alias;
            EXPECT_EQ(ri.iReturnClass, c.cls) << c.alias;
            EXPECT_EQ(ri.uiMessageNo, c.number) << c.alias << " " << ri.caMessage;
        }
    }
    ReturnInfo ri{};
    EXPECT_EQ(-1, zrkc_iplogin(nullptr, 0, &ri));
    EXPECT_EQ(ri.uiMessageNo, 1008u);
    EXPECT_TRUE(Operations().empty());
}

} // namespace

namespace {

// The debug log at its widest (every flag, no dump cap) from the first call
// of the process on; the traces are at level 5 already.
class CmdRouteSecret : public CmdRoute {
protected:
    void SetUp() override {
        setenv("WXAPI_LOG_FLAG", "1F", 1);
        setenv("WXAPI_DUMP_SIZE", "0", 1);
        CmdRoute::SetUp();
    }
    void TearDown() override {
        CmdRoute::TearDown();
        unsetenv("WXAPI_LOG_FLAG");
        unsetenv("WXAPI_DUMP_SIZE");
    }

    // Every file under the trace and the log folders, hidden ones too.
    std::vector<std::pair<std::string, std::string>> Written() const {
        std::vector<std::pair<std::string, std::string>> files;
        for (const std::string &dir : {root.traceDir(), root.logDir()}) {
            std::error_code ec;
            for (const auto &entry : std::filesystem::recursive_directory_iterator(dir, ec))
                if (entry.is_regular_file())
                    files.emplace_back(entry.path().string(), zrktest::readFile(entry.path().string()));
        }
        return files;
    }
};

// The password of a LAN account never reaches a trace or the debug log:
// neither as text nor as the bytes of a dump, through the route, the login
// and the logout of the command layer.
TEST_F(CmdRouteSecret, NoPasswordInAnyTraceOrLog) {
    ReturnInfo ri{};
    ASSERT_EQ(0, zrkc_set_iprouteinfo("10.0.0.7", "admin", "secret", 0, &ri)) << ri.caMessage;
    ASSERT_EQ(0, zrkc_iplogout("lb", 0, &ri)) << ri.caMessage;
    ASSERT_EQ(0, zrkc_iplogin("lb", 0, &ri)) << ri.caMessage;
    EXPECT_EQ(0, zrkc_iplogin("nc", 0, &ri)) << ri.caMessage;
    // A refused account goes the same way.
    EXPECT_EQ(-1, zrkc_set_iprouteinfo("10.0.0.7", "admin", "secreT", 0, &ri));
    // An in-band route as well, so that the debug log is seen to be written.
    EXPECT_EQ(0, zrkc_set_routeinfo("/dev/sdb", ZRKC_OPT_NO_DEVICE_LIST, &ri)) << ri.caMessage;

    const std::vector<std::pair<std::string, std::string>> files = Written();
    ASSERT_FALSE(root.traceText().empty());
    ASSERT_FALSE(root.logText().empty()) << "the debug log is on";
    // The text, the bytes of a hex dump, with and without blanks.
    const std::vector<std::string> forms = {"secret", "736563726574", "73 65 63 72 65 74"};
    for (const auto &[path, text] : files) {
        std::string lower = text;
        for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const std::string &form : forms)
            EXPECT_EQ(lower.find(form), std::string::npos) << path << ": " << form;
    }
}

} // namespace
