// The alias store through real files in a temporary installation root: the
// bytes of zrkc.alias and zrkc_ext.alias after each kind of change, the
// slot and alias rules, the refusals with their classes and messages, the
// files' modes and links, and the character rule of aliases.
#include "alias_support.h"
#include "child.h"
#include "install_root.h"
#include "platform.h"
#include "zrkcalias.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using zrktest::InstallRoot;
using zrktest::box;
using zrktest::remoteList;

constexpr size_t kMainLength = 1140004;
constexpr size_t kExtLength = 516016;
constexpr size_t kSlot = 1140;
constexpr size_t kExtSlot = 516;

const unsigned char kProduct[16] = {'V', 'A', 'S', 'T', 'R', 'E', 'L', ' ', 'D', 'X', '9', '0', ' ', ' ', ' ', ' '};
const unsigned char kDevId[8] = {'0', '0', '1', '2', '3', '4', '5', '6'};

int setScsi(const std::string &device, const std::string &own, const std::vector<std::string> &remotes,
            ReturnInfo *ri, int option = 0) {
    const std::vector<unsigned char> list = remoteList(own, remotes);
    return com_set_alias(device.c_str(), kProduct, kDevId, list.data(), option, ZRKC_ALIAS_IF_SCSI,
                         nullptr, nullptr, ri);
}

int setLan(const std::string &address, const std::string &own, const char *user, const char *password,
           ReturnInfo *ri, const std::vector<std::string> &remotes = {}) {
    const std::vector<unsigned char> list = remoteList(own, remotes);
    const unsigned char zeros[16] = {};
    return com_set_alias(address.c_str(), zeros, zeros, list.data(), 0, ZRKC_ALIAS_IF_LAN, user,
                         password, ri);
}

// The expected files, built field by field.
struct Image {
    std::unique_ptr<AliasMainFile> main {new AliasMainFile()};
    std::unique_ptr<AliasExtFile> ext {new AliasExtFile()};

    Image() {
        std::memcpy(ext->Magic, "VELK_alias2 ", 12);
        ext->Version = 1;
    }
    AliasEntry &entry(int slot, const std::string &alias, const std::string &boxId) {
        AliasEntry &e = main->Slot[slot];
        e.InUse = 1;
        e.ID = static_cast<uint32_t>(slot);
        std::memcpy(e.Alias, alias.data(), std::min<size_t>(alias.size(), ZRKC_ALIAS_LEN));
        std::memcpy(e.BoxID, boxId.data(), ZRK_BOXID_LEN);
        ++main->Count;
        return e;
    }
    void scsiRoute(int slot, const std::string &device) {
        AliasEntry &e = main->Slot[slot];
        e.Direct = 1;
        e.Interface = 0;
        std::strcpy(e.AccessPath, device.c_str());
        std::memcpy(e.ProductID, kProduct, 16);
        std::memcpy(e.DevIDNo, kDevId, 8);
        ext->Slot[slot].ID = static_cast<uint32_t>(slot);
    }
    void lanRoute(int slot, const std::string &address, const std::string &user, const std::string &password) {
        AliasEntry &e = main->Slot[slot];
        e.Direct = 1;
        e.Interface = 1;
        std::strcpy(e.AccessPath, address.c_str());
        ext->Slot[slot].ID = static_cast<uint32_t>(slot);
        std::strcpy(ext->Slot[slot].User, user.c_str());
        std::strcpy(ext->Slot[slot].Password, password.c_str());
    }
    std::string mainBytes() const { return std::string(reinterpret_cast<const char *>(main.get()), kMainLength); }
    std::string extBytes() const { return std::string(reinterpret_cast<const char *>(ext.get()), kExtLength); }
};

uint32_t u32At(const std::string &bytes, size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// Where two images first differ, for a readable failure.
std::string firstDifference(const std::string &found, const std::string &expected) {
    if (found.size() != expected.size()) {
        return "length " + std::to_string(found.size()) + " instead of " + std::to_string(expected.size());
    }
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i] != expected[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "byte %zu is 0x%02x, expected 0x%02x", i,
                          static_cast<unsigned char>(found[i]), static_cast<unsigned char>(expected[i]));
            return text;
        }
    }
    return "";
}

class AliasStore : public ::testing::Test {
protected:
    std::string mainPath() const { return root_.etc() + "/" ZRKC_ALIAS_FILE; }
    std::string extPath() const { return root_.etc() + "/" ZRKC_ALIAS_EXT_FILE; }
    std::string mainBytes() const { return zrktest::readFile(mainPath()); }
    std::string extBytes() const { return zrktest::readFile(extPath()); }

    void expectFiles(const Image &image) {
        EXPECT_EQ(firstDifference(mainBytes(), image.mainBytes()), "") << "zrkc.alias";
        EXPECT_EQ(firstDifference(extBytes(), image.extBytes()), "") << "zrkc_ext.alias";
        EXPECT_FALSE(zrktest::exists(mainPath() + ".tmp"));
        EXPECT_FALSE(zrktest::exists(mainPath() + ".new"));
        EXPECT_FALSE(zrktest::exists(extPath() + ".tmp"));
    }

    std::unique_ptr<AliasList> list() {
        std::unique_ptr<AliasList> l(new AliasList());
        ReturnInfo ri {};
        EXPECT_EQ(com_get_aliaslist(l.get(), &ri), 0) << ri.caMessage;
        return l;
    }

    ReturnInfo ri_ {};
    InstallRoot root_;
};

void expectResult(const ReturnInfo &ri, int returnClass, uint32_t number, const std::string &message) {
    EXPECT_EQ(ri.iReturnClass, returnClass);
    EXPECT_EQ(ri.uiMessageNo, number);
    EXPECT_STREQ(ri.caMessage, message.c_str());
}

// ---- the files after each change -------------------------------------------------

TEST_F(AliasStore, FirstScsiRouteCreatesBothFilesWithOwnAndRemoteEntries) {
    ASSERT_EQ(setScsi("/dev/sdb", box("OWN"), {box("R1"), box("R2")}, &ri_), 0) << ri_.caMessage;
    EXPECT_EQ(ri_.iReturnClass, 0);

    Image image;
    image.entry(0, "QX000", box("OWN"));
    image.scsiRoute(0, "/dev/sdb");
    image.entry(1, "QX001", box("R1"));
    image.entry(2, "QX002", box("R2"));
    expectFiles(image);

    // The layout by offset, as other programs read it.
    const std::string bytes = mainBytes();
    ASSERT_EQ(bytes.size(), kMainLength);
    EXPECT_EQ(u32At(bytes, 0) & 0xFFFF, 3u);
    EXPECT_EQ(bytes[4 + 0], 1);                                   // InUse
    EXPECT_EQ(bytes[4 + 8], 1);                                   // Direct
    EXPECT_EQ(bytes.substr(4 + 12, 9), std::string("/dev/sdb\0", 9));
    EXPECT_EQ(bytes.substr(4 + 1036, 16), std::string(reinterpret_cast<const char *>(kProduct), 16));
    EXPECT_EQ(bytes.substr(4 + 1052, 8), "00123456");
    EXPECT_EQ(bytes.substr(4 + kSlot + 1060, 6), std::string("QX001\0", 6));
    EXPECT_EQ(u32At(bytes, 4 + 2 * kSlot + 4), 2u);               // ID of slot 2
    EXPECT_EQ(bytes.substr(4 + 2 * kSlot + 1100, 40), box("R2"));
    const std::string ext = extBytes();
    EXPECT_EQ(ext.substr(0, 16), std::string("VELK_alias2 \x01\0\0\0", 16));

    struct stat st {};
    ASSERT_EQ(stat(mainPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(stat(extPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(AliasStore, BoxIdAliasesUnderTheOption) {
    ASSERT_EQ(setScsi("/dev/sdc", box("OWN"), {box("R1"), box("R2")}, &ri_, ZRKC_OPT_BOXID_ALIAS), 0);
    ASSERT_EQ(com_add_alias(box("R3").c_str(), ZRKC_OPT_BOXID_ALIAS, &ri_), 0);
    Image image;
    image.entry(0, box("OWN"), box("OWN"));
    image.scsiRoute(0, "/dev/sdc");
    image.entry(1, box("R1"), box("R1"));
    image.entry(2, box("R2"), box("R2"));
    image.entry(3, box("R3"), box("R3"));
    expectFiles(image);
}

TEST_F(AliasStore, LanRouteKeepsTheServiceTextsAndALaterRegistrationUpdatesInPlace) {
    ASSERT_EQ(setLan("10.0.0.5", box("OWN"), "Zuser", "Zpass", &ri_, {box("R1")}), 0) << ri_.caMessage;
    Image image;
    image.entry(0, "QX000", box("OWN"));
    image.lanRoute(0, "10.0.0.5", "Zuser", "Zpass");
    image.entry(1, "QX001", box("R1"));
    expectFiles(image);

    // The same array again over the LAN at another address, with new texts;
    // a remote array already known stays as it is, a new one is added.
    ASSERT_EQ(setLan("10.0.0.6", box("OWN"), "Zuser2", "Zpass2", &ri_, {box("R1"), box("R4")}), 0);
    std::memset(image.main->Slot[0].AccessPath, 0, ZRK_VOLNAME_LEN);
    std::memset(image.ext->Slot[0].User, 0, ZRKC_ALIAS_TEXT_LEN);
    std::memset(image.ext->Slot[0].Password, 0, ZRKC_ALIAS_TEXT_LEN);
    image.lanRoute(0, "10.0.0.6", "Zuser2", "Zpass2");
    image.entry(2, "QX002", box("R4"));
    expectFiles(image);
}

TEST_F(AliasStore, RemoteEntryBecomesTheRouteEntryAndKeepsItsAlias) {
    ASSERT_EQ(setScsi("/dev/sdb", box("OWN"), {box("R1")}, &ri_), 0);
    ASSERT_EQ(setScsi("/dev/sdd", box("R1"), {box("OWN")}, &ri_), 0) << ri_.caMessage;
    Image image;
    image.entry(0, "QX000", box("OWN"));
    image.scsiRoute(0, "/dev/sdb");
    image.entry(1, "QX001", box("R1"));
    image.scsiRoute(1, "/dev/sdd");
    image.ext->Slot[1].ID = 0;  // the extension part is written only when an entry is created with its route
    expectFiles(image);

    // The same SCSI route twice: one entry, the second call's device.
    ASSERT_EQ(setScsi("/dev/sde", box("R1"), {}, &ri_), 0);
    std::memset(image.main->Slot[1].AccessPath, 0, ZRK_VOLNAME_LEN);
    std::strcpy(image.main->Slot[1].AccessPath, "/dev/sde");
    expectFiles(image);
}

TEST_F(AliasStore, RemoteListNamingAnArrayTwiceCreatesItOnce) {
    ASSERT_EQ(setScsi("/dev/sdb", box("OWN"), {box("R1"), box("R1"), box("OWN")}, &ri_), 0);
    Image image;
    image.entry(0, "QX000", box("OWN"));
    image.scsiRoute(0, "/dev/sdb");
    image.entry(1, "QX001", box("R1"));
    expectFiles(image);
}

TEST_F(AliasStore, RenameDeleteAndReuseOfASlot) {
    ASSERT_EQ(setScsi("/dev/sdb", box("OWN"), {box("R1"), box("R2")}, &ri_), 0);
    ASSERT_EQ(com_change_alias(2, "second-box_2.#", &ri_), 0) << ri_.caMessage;
    ASSERT_EQ(com_delete_alias(1, nullptr, nullptr, &ri_), 0) << ri_.caMessage;

    Image image;
    image.entry(0, "QX000", box("OWN"));
    image.scsiRoute(0, "/dev/sdb");
    image.entry(2, "second-box_2.#", box("R2"));
    expectFiles(image);

    // The freed slot and its generated alias are taken again; QX002 is free
    // too now but the lowest free number comes first.
    ASSERT_EQ(setScsi("/dev/sdf", box("NEW"), {}, &ri_), 0);
    image.entry(1, "QX001", box("NEW"));
    image.scsiRoute(1, "/dev/sdf");
    expectFiles(image);

    // An added array takes the next free slot and number.
    ASSERT_EQ(com_add_alias(box("ADDED").c_str(), 0, &ri_), 0);
    image.entry(3, "QX002", box("ADDED"));
    expectFiles(image);
    // Adding it again changes nothing.
    ASSERT_EQ(com_add_alias(box("ADDED").c_str(), 0, &ri_), 0);
    expectFiles(image);
}

TEST_F(AliasStore, AddAloneCreatesOnlyTheMainFileAndARenameCreatesTheExtension) {
    ASSERT_EQ(com_add_alias(box("A").c_str(), 0, &ri_), 0) << ri_.caMessage;
    EXPECT_EQ(mainBytes().size(), kMainLength);
    EXPECT_FALSE(zrktest::exists(extPath()));
    ASSERT_EQ(com_change_alias(0, "alpha", &ri_), 0) << ri_.caMessage;
    Image image;
    image.entry(0, "alpha", box("A"));
    expectFiles(image);
}

TEST_F(AliasStore, AliasOfFortyCharactersHasNoTerminator) {
    ASSERT_EQ(com_add_alias(box("A").c_str(), 0, &ri_), 0);
    const std::string forty(40, 'a');
    ASSERT_EQ(com_change_alias(0, forty.c_str(), &ri_), 0) << ri_.caMessage;
    EXPECT_EQ(mainBytes().substr(4 + 1060, 40), forty);
    AliasRecord record {};
    ASSERT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, forty.c_str(), &record, &ri_), 0);
    EXPECT_EQ(std::string(record.Main.BoxID, 40), box("A"));
}

// ---- readers ---------------------------------------------------------------------------

TEST_F(AliasStore, NoStoreIsAnEmptyListAndEveryLookupMisses) {
    auto l = list();
    EXPECT_EQ(l->Count, 0);
    AliasRecord record {};
    std::memset(&record, 0x5A, sizeof record);
    ReturnInfo ri {};
    EXPECT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "QX000", &record, &ri), 1);
    EXPECT_EQ(com_get_alias_info(0, box("A").c_str(), &record, &ri), 1);
    EXPECT_EQ(ri.iReturnClass, 0);
    EXPECT_EQ(ri.caMessage[0], '\0');
    EXPECT_EQ(reinterpret_cast<unsigned char *>(&record)[0], 0x5A);
    EXPECT_FALSE(zrktest::exists(mainPath()));
}

TEST_F(AliasStore, ListAndLookupsCarryEveryField) {
    ASSERT_EQ(setLan("10.0.0.5", box("LAN"), "Zu", "Zp", &ri_, {box("R1")}), 0);
    ASSERT_EQ(setScsi("/dev/sdb", box("SCSI"), {}, &ri_), 0);
    ASSERT_EQ(com_delete_alias(1, nullptr, nullptr, &ri_), 0);  // a gap at slot 1

    auto l = list();
    ASSERT_EQ(l->Count, 2);
    EXPECT_EQ(l->Entry[0].Main.ID, 0u);
    EXPECT_STREQ(l->Entry[0].Main.AccessPath, "10.0.0.5");
    EXPECT_STREQ(l->Entry[0].User, "Zu");
    EXPECT_STREQ(l->Entry[0].Password, "Zp");
    EXPECT_EQ(l->Entry[1].Main.ID, 2u);
    EXPECT_STREQ(l->Entry[1].Main.Alias, "QX002");
    EXPECT_EQ(std::memcmp(l->Entry[1].Main.ProductID, kProduct, 16), 0);
    EXPECT_STREQ(l->Entry[1].User, "");

    const struct {
        int kind;
        std::string key;
        int rc;
        uint32_t id;
    } cases[] = {
        {ZRKC_ALIAS_BY_ALIAS, "QX000", 0, 0},
        {ZRKC_ALIAS_BY_ALIAS, "QX002", 0, 2},
        {ZRKC_ALIAS_BY_ALIAS, "QX001", 1, 0},     // deleted
        {ZRKC_ALIAS_BY_ALIAS, "QX00", 1, 0},      // a prefix is another text
        {ZRKC_ALIAS_BY_ALIAS, box("SCSI"), 1, 0}, // a BoxID is no alias
        {0, box("SCSI"), 0, 2},
        {2, box("LAN"), 0, 0},
        {0, box("R1"), 1, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        AliasRecord record {};
        ReturnInfo ri {};
        ASSERT_EQ(com_get_alias_info(c.kind, c.key.c_str(), &record, &ri), c.rc);
        if (c.rc == 0) {
            EXPECT_EQ(record.Main.ID, c.id);
        }
    }
}

// ---- refusals ------------------------------------------------------------------------

TEST_F(AliasStore, RefusalsLeaveTheStoreAsItWas) {
    ASSERT_EQ(setScsi("/dev/sdb", box("SCSI"), {box("R1")}, &ri_), 0);
    ASSERT_EQ(setLan("10.0.0.9", box("LAN"), "Zu", "Zp", &ri_), 0);
    const std::string mainBefore = mainBytes();
    const std::string extBefore = extBytes();
    const std::string user256(256, 'u');
    const std::string alias41(41, 'a');

    const std::string m1021 = "ZRKC1021 ERROR This VASTREL is already defined in LAN interface.\n";
    const std::string m1022 = "ZRKC1022 ERROR This VASTREL is already defined in SCSI interface.\n";
    const std::string m1023 = "ZRKC1023 ERROR The specification of user information is incorrect.\n";
    const std::string m1411 = "ZRKC1411 ERROR Alias is already defined.\n";
    const std::string m1412 = "ZRKC1412 ERROR Alias identifier does not exist.\n";
    const struct {
        const char *title;
        std::function<int(ReturnInfo *)> call;
        int returnClass;
        uint32_t number;
        std::string message;
    } cases[] = {
        {"SCSI route of a LAN array", [](ReturnInfo *ri) { return setScsi("/dev/sdx", box("LAN"), {}, ri); },
         3, 1021, m1021},
        {"LAN route of a SCSI array", [](ReturnInfo *ri) { return setLan("10.1.1.1", box("SCSI"), "a", "b", ri); },
         3, 1022, m1022},
        {"user text longer than its field",
         [&](ReturnInfo *ri) { return setLan("10.0.0.9", box("LAN"), user256.c_str(), "Zp", ri); }, 3, 1023, m1023},
        {"password text longer than its field",
         [&](ReturnInfo *ri) { return setLan("10.0.0.9", box("NEWLAN"), "Zu", user256.c_str(), ri); }, 3, 1023,
         m1023},
        {"access path longer than its field",
         [](ReturnInfo *ri) { return setScsi(std::string(1024, 'd'), box("SCSI"), {}, ri); }, 3, 1011,
         "ZRKC1011 ERROR Invalid parameter. Parameter=(" + std::string(1024, 'd')},
        {"rename to a taken alias", [](ReturnInfo *ri) { return com_change_alias(0, "QX001", ri); }, 3, 1411, m1411},
        {"rename to its own alias", [](ReturnInfo *ri) { return com_change_alias(1, "QX001", ri); }, 3, 1411, m1411},
        {"rename to an alias longer than its field",
         [&](ReturnInfo *ri) { return com_change_alias(0, alias41.c_str(), ri); }, 3, 1011,
         "ZRKC1011 ERROR Invalid parameter. Parameter=(" + alias41 + ").\n"},
        {"rename of a free slot", [](ReturnInfo *ri) { return com_change_alias(5, "free", ri); }, 3, 1412, m1412},
        {"rename of identifier 1000", [](ReturnInfo *ri) { return com_change_alias(1000, "big", ri); }, 3, 1412,
         m1412},
        {"delete of a free slot", [](ReturnInfo *ri) { return com_delete_alias(999, nullptr, nullptr, ri); }, 3, 1412,
         m1412},
        {"delete of identifier 4294967295",
         [](ReturnInfo *ri) { return com_delete_alias(0xFFFFFFFFu, nullptr, nullptr, ri); }, 3, 1412, m1412},
        {"delete of a SCSI entry with a user", [](ReturnInfo *ri) { return com_delete_alias(0, "u", nullptr, ri); },
         3, 1023, m1023},
        {"delete of a SCSI entry with a password",
         [](ReturnInfo *ri) { return com_delete_alias(0, nullptr, "p", ri); }, 3, 1023, m1023},
        {"delete of a remote entry with a user", [](ReturnInfo *ri) { return com_delete_alias(1, "u", "p", ri); }, 3,
         1023, m1023},
        {"delete of a LAN entry without a password",
         [](ReturnInfo *ri) { return com_delete_alias(2, "u", nullptr, ri); }, 3, 1023, m1023},
        {"delete of a LAN entry without a user", [](ReturnInfo *ri) { return com_delete_alias(2, nullptr, "p", ri); },
         3, 1023, m1023},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        ReturnInfo ri {};
        EXPECT_EQ(c.call(&ri), -1);
        EXPECT_EQ(ri.iReturnClass, c.returnClass);
        EXPECT_EQ(ri.uiMessageNo, c.number);
        if (c.message.back() == '\n') {
            EXPECT_EQ(std::string(ri.caMessage), c.message);
        } else {
            // A line too long for its field is cut and keeps its newline.
            const std::string line = ri.caMessage;
            EXPECT_EQ(line.size(), ZRK_MESSAGE_LEN - 1u);
            EXPECT_EQ(line.substr(0, line.size() - 1), c.message.substr(0, line.size() - 1));
            EXPECT_EQ(line.back(), '\n');
        }
        EXPECT_TRUE(mainBytes() == mainBefore);
        EXPECT_TRUE(extBytes() == extBefore);
    }
}

TEST_F(AliasStore, TextsThatJustFitTheirFieldsAreKept) {
    const std::string user(255, 'u');
    const std::string password(255, 'p');
    ASSERT_EQ(setLan("10.0.0.7", box("LAN"), user.c_str(), password.c_str(), &ri_), 0) << ri_.caMessage;
    const std::string device = "/dev/" + std::string(1018, 'd');
    ASSERT_EQ(setScsi(device, box("SCSI"), {}, &ri_), 0) << ri_.caMessage;
    auto l = list();
    ASSERT_EQ(l->Count, 2);
    EXPECT_EQ(std::string(l->Entry[0].User), user);
    EXPECT_EQ(std::string(l->Entry[0].Password), password);
    EXPECT_EQ(std::string(l->Entry[1].Main.AccessPath), device);
    EXPECT_EQ(extBytes()[16 + 4 + 255], '\0');
    EXPECT_EQ(mainBytes()[4 + kSlot + 12 + 1023], '\0');
}

TEST_F(AliasStore, ChangeAndDeleteWithoutAStore) {
    const std::string m1412 = "ZRKC1412 ERROR Alias identifier does not exist.\n";
    ReturnInfo ri {};
    EXPECT_EQ(com_change_alias(0, "a", &ri), -1);
    expectResult(ri, 12, 1412, m1412);
    ri = {};
    EXPECT_EQ(com_delete_alias(0, nullptr, nullptr, &ri), -1);
    expectResult(ri, 12, 1412, m1412);
    // An empty main file, as a first writer leaves it, is no store either.
    root_.write("etc/" ZRKC_ALIAS_FILE, "");
    ri = {};
    EXPECT_EQ(com_change_alias(0, "a", &ri), -1);
    expectResult(ri, 12, 1412, m1412);
    EXPECT_FALSE(zrktest::exists(mainPath() + ".tmp"));
    EXPECT_EQ(list()->Count, 0);
}

TEST_F(AliasStore, ThousandAndFirstArrayIsRefusedEvenWithOthersNew) {
    // 998 entries: an own array and two new remote arrays need 3 slots.
    Image image;
    for (int i = 0; i < 998; ++i) image.entry(i, "QX" + std::to_string(1000 + i).substr(1), box("B" + std::to_string(i)));
    root_.write("etc/" ZRKC_ALIAS_FILE, image.mainBytes());
    root_.write("etc/" ZRKC_ALIAS_EXT_FILE, image.extBytes());
    const std::string mainBefore = mainBytes();
    const std::string extBefore = extBytes();
    ReturnInfo ri {};
    EXPECT_EQ(setScsi("/dev/sdc", box("OWN"), {box("R1"), box("R2")}, &ri), -1);
    expectResult(ri, 12, 1410, "ZRKC1410 ERROR Alias number reached the maximum.\n");
    EXPECT_TRUE(mainBytes() == mainBefore);
    EXPECT_TRUE(extBytes() == extBefore);

    ASSERT_EQ(setScsi("/dev/sdc", box("OWN"), {box("R1")}, &ri_), 0);
    EXPECT_EQ(u32At(mainBytes(), 0) & 0xFFFF, 1000u);
    EXPECT_EQ(mainBytes().substr(4 + 999 * kSlot + 1060, 6), std::string("QX999\0", 6));
    ri = {};
    EXPECT_EQ(com_add_alias(box("LAST").c_str(), 0, &ri), -1);
    expectResult(ri, 12, 1410, "ZRKC1410 ERROR Alias number reached the maximum.\n");
    // Known arrays still register.
    EXPECT_EQ(com_add_alias(box("R1").c_str(), 0, &ri_), 0);
    EXPECT_EQ(list()->Count, 1000);
}

TEST_F(AliasStore, BrokenFilesAreAccessErrors) {
    ASSERT_EQ(setScsi("/dev/sdb", box("OWN"), {box("R1")}, &ri_), 0);
    const std::string mainGood = mainBytes();
    const std::string extGood = extBytes();
    std::string badMagic = extGood;
    badMagic[11] = '_';
    std::string badVersion = extGood;
    badVersion[12] = 2;
    const std::string m1700 = "ZRKC1700 ERROR Alias management file access error. Cause=(0).\n";

    const struct {
        const char *title;
        std::string main;
        std::string ext;
    } cases[] = {
        {"extension file without the magic", mainGood, badMagic},
        {"extension file of another version", mainGood, badVersion},
        {"extension file one byte short", mainGood, extGood.substr(0, kExtLength - 1)},
        {"extension file one byte long", mainGood, extGood + '\0'},
        {"main file one byte short", mainGood.substr(0, kMainLength - 1), extGood},
        {"main file one byte long", mainGood + '\0', extGood},
        {"main file of one slot", mainGood.substr(0, 4 + kSlot), extGood},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        root_.write("etc/" ZRKC_ALIAS_FILE, c.main);
        root_.write("etc/" ZRKC_ALIAS_EXT_FILE, c.ext);
        const bool mainBroken = c.main.size() != kMainLength;
        std::unique_ptr<AliasList> l(new AliasList());
        ReturnInfo ri {};
        EXPECT_EQ(com_get_aliaslist(l.get(), &ri), -1);
        expectResult(ri, 12, 1700, m1700);
        AliasRecord record {};
        ri = {};
        EXPECT_EQ(com_get_alias_info(1, "QX000", &record, &ri), -1);
        expectResult(ri, 12, 1700, m1700);
        // Every writer that reads the broken file refuses; com_add_alias
        // reads only the main file.
        ri = {};
        EXPECT_EQ(setScsi("/dev/sdb", box("OWN"), {}, &ri), -1);
        expectResult(ri, 12, 1700, m1700);
        ri = {};
        EXPECT_EQ(com_change_alias(0, "x", &ri), -1);
        expectResult(ri, 12, 1700, m1700);
        ri = {};
        EXPECT_EQ(com_delete_alias(1, nullptr, nullptr, &ri), -1);
        expectResult(ri, 12, 1700, m1700);
        ri = {};
        EXPECT_EQ(com_add_alias(box("X").c_str(), 0, &ri), mainBroken ? -1 : 0);
        if (mainBroken) {
            expectResult(ri, 12, 1700, m1700);
            EXPECT_TRUE(mainBytes() == c.main);
        }
        EXPECT_TRUE(extBytes() == c.ext);
    }
}

TEST_F(AliasStore, SlotAndAliasChecksComeBeforeTheExtensionFile) {
    ASSERT_EQ(setScsi("/dev/sdb", box("OWN"), {box("R1")}, &ri_), 0);
    std::string ext = extBytes();
    ext[0] = 'X';
    root_.write("etc/" ZRKC_ALIAS_EXT_FILE, ext);
    ReturnInfo ri {};
    EXPECT_EQ(com_change_alias(7, "free", &ri), -1);
    expectResult(ri, 3, 1412, "ZRKC1412 ERROR Alias identifier does not exist.\n");
    ri = {};
    EXPECT_EQ(com_change_alias(0, "QX001", &ri), -1);
    expectResult(ri, 3, 1411, "ZRKC1411 ERROR Alias is already defined.\n");
    ri = {};
    EXPECT_EQ(com_delete_alias(7, nullptr, nullptr, &ri), -1);
    expectResult(ri, 3, 1412, "ZRKC1412 ERROR Alias identifier does not exist.\n");
}

TEST_F(AliasStore, EmptyExtensionFileIsBrokenForReadersAndMadeAnewByWriters) {
    ASSERT_EQ(setScsi("/dev/sdb", box("OWN"), {}, &ri_), 0);
    root_.write("etc/" ZRKC_ALIAS_EXT_FILE, "");
    // A reader finds no magic in it, as in any other extension file without one.
    std::unique_ptr<AliasList> broken(new AliasList());
    ReturnInfo ri {};
    EXPECT_EQ(com_get_aliaslist(broken.get(), &ri), -1);
    expectResult(ri, 12, 1700, "ZRKC1700 ERROR Alias management file access error. Cause=(0).\n");
    // A writer makes it anew.
    ASSERT_EQ(com_change_alias(0, "own", &ri_), 0) << ri_.caMessage;
    EXPECT_EQ(list()->Count, 1);
    Image image;
    image.entry(0, "own", box("OWN"));
    image.scsiRoute(0, "/dev/sdb");
    image.ext->Slot[0].ID = 0;  // the extension file was made anew
    expectFiles(image);
}

TEST_F(AliasStore, FailedLockIsAnErrorAndChangesNothing) {
    // This process holds a lock on another file; a second process holds the
    // store's lock and waits for ours. Our writer's lock request would close
    // the circle, so the kernel refuses it (EDEADLK) instead of waiting.
    ASSERT_EQ(setScsi("/dev/sdb", box("OWN"), {box("R1")}, &ri_), 0);
    const std::string mainBefore = mainBytes();
    const std::string extBefore = extBytes();
    zrktest::LockCircle circle;
    ASSERT_NO_FATAL_FAILURE(circle.start(mainPath(), root_.path("other.lock")));
    const std::string m1700 = "ZRKC1700 ERROR Alias management file access error. Cause=(" +
                              std::to_string(EDEADLK) + ").\n";
    if (circle.waiting()) {
        const std::vector<std::function<int(ReturnInfo *)>> writers = {
            [](ReturnInfo *ri) { return setScsi("/dev/sdc", box("NEW"), {}, ri); },
            [](ReturnInfo *ri) { return com_add_alias(box("ADD").c_str(), 0, ri); },
            [](ReturnInfo *ri) { return com_change_alias(0, "renamed", ri); },
            [](ReturnInfo *ri) { return com_delete_alias(1, nullptr, nullptr, ri); },
        };
        for (const auto &writer : writers) {
            ReturnInfo ri {};
            EXPECT_EQ(writer(&ri), -1);
            expectResult(ri, 12, 1700, m1700);
        }
    }
    const bool otherEnded = circle.finish();
    ASSERT_TRUE(circle.waiting()) << "the other process never waited for the lock";
    EXPECT_TRUE(otherEnded);
    EXPECT_TRUE(mainBytes() == mainBefore);
    EXPECT_TRUE(extBytes() == extBefore);
}

TEST_F(AliasStore, InstallationWithoutEtcDirectoryIsAFileNameError) {
    root_.write("bin/.zrkc_install.sys", "zrkc_bindir=" + root_.bin() + "\n");
    const std::string m1401 = "ZRKC1401 ERROR The file name of VELK can not be acquired. Cause=(2).\n";
    std::unique_ptr<AliasList> l(new AliasList());
    ReturnInfo ri {};
    EXPECT_EQ(com_get_aliaslist(l.get(), &ri), -1);
    expectResult(ri, 12, 1401, m1401);
    ri = {};
    EXPECT_EQ(com_add_alias(box("A").c_str(), 0, &ri), -1);
    expectResult(ri, 12, 1401, m1401);
    ri = {};
    EXPECT_EQ(setScsi("/dev/sdb", box("A"), {}, &ri), -1);
    expectResult(ri, 12, 1401, m1401);
    ri = {};
    EXPECT_EQ(com_delete_alias(0, nullptr, nullptr, &ri), -1);
    expectResult(ri, 12, 1401, m1401);
}

TEST_F(AliasStore, StoreReachedThroughALinkIsRefused) {
    const std::string elsewhere = root_.path("elsewhere");
    root_.write("elsewhere", "");
    ASSERT_EQ(symlink(elsewhere.c_str(), mainPath().c_str()), 0);
    ReturnInfo ri {};
    EXPECT_EQ(com_add_alias(box("A").c_str(), 0, &ri), -1);
    EXPECT_EQ(ri.iReturnClass, 12);
    EXPECT_EQ(ri.uiMessageNo, 1700u);
    EXPECT_EQ(zrktest::readFile(elsewhere), "");
    std::unique_ptr<AliasList> l(new AliasList());
    ri = {};
    EXPECT_EQ(com_get_aliaslist(l.get(), &ri), -1);
    EXPECT_EQ(ri.uiMessageNo, 1700u);
}

TEST_F(AliasStore, FilesAreCreatedPrivateWhateverTheUmask) {
    const mode_t old = umask(0);
    ASSERT_EQ(setScsi("/dev/sdb", box("OWN"), {}, &ri_), 0);
    umask(old);
    for (const std::string &path : {mainPath(), extPath()}) {
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u) << path;
    }
}

TEST_F(AliasStore, MissingArgumentsAreRefused) {
    const std::vector<unsigned char> remotes = remoteList(box("A"), {});
    ReturnInfo ri {};
    EXPECT_EQ(com_set_alias(nullptr, kProduct, kDevId, remotes.data(), 0, 0, nullptr, nullptr, &ri), -1);
    expectResult(ri, 3, 1008, "ZRKC1008 ERROR Parameter is not specified.\n");
    EXPECT_EQ(com_set_alias("/dev/sdb", kProduct, kDevId, remotes.data(), 0, 0, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(com_get_aliaslist(nullptr, nullptr), -1);
    EXPECT_EQ(com_get_alias_info(1, "a", nullptr, nullptr), -1);
    EXPECT_FALSE(zrktest::exists(mainPath()));
}

// ---- the character rule --------------------------------------------------------------

// ---- the lookups of one command call ------------------------------------------------

// While a call view lives, lookups answer from the store as its first lookup
// read it: a change another process makes meanwhile is not seen, one this
// thread makes is. Without a view, each lookup reads the store.
TEST_F(AliasStore, ACallViewAnswersFromOneReadingOfTheStore) {
    ASSERT_EQ(setScsi("/dev/sdb", box("A"), {}, &ri_), 0);
    ASSERT_EQ(com_change_alias(0, "first", &ri_), 0);
    auto renameElsewhere = [](const char *alias) {
        return zrktest::runChild([alias] {
            ReturnInfo ri {};
            return com_change_alias(0, alias, &ri) == 0 ? 0 : 1;
        }).exitCode;
    };
    AliasRecord record {};
    ReturnInfo ri {};
    {
        zrkc::AliasCallView view;
        ASSERT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "first", &record, &ri), 0);
        EXPECT_EQ(std::string(record.Main.AccessPath), "/dev/sdb");
        ASSERT_EQ(renameElsewhere("second"), 0);
        {
            zrkc::AliasCallView inner;
            EXPECT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "second", &record, &ri), 1);
        }
        EXPECT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "first", &record, &ri), 0);
        EXPECT_EQ(com_get_alias_info(0, box("A").c_str(), &record, &ri), 0);
        EXPECT_EQ(std::string(record.Main.Alias), "first");

        ASSERT_EQ(com_change_alias(0, "third", &ri), 0);
        EXPECT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "third", &record, &ri), 0);
        EXPECT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "first", &record, &ri), 1);
        ASSERT_EQ(renameElsewhere("fourth"), 0);
        EXPECT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "third", &record, &ri), 0);
    }
    EXPECT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "fourth", &record, &ri), 0);
    ASSERT_EQ(renameElsewhere("fifth"), 0);
    EXPECT_EQ(com_get_alias_info(ZRKC_ALIAS_BY_ALIAS, "fifth", &record, &ri), 0);
    EXPECT_EQ(ri.iReturnClass, 0);
}

// A view taken before the store exists answers "not found" from its reading
// until this thread creates the store.
TEST_F(AliasStore, ACallViewOfNoStore) {
    AliasRecord record {};
    ReturnInfo ri {};
    zrkc::AliasCallView view;
    EXPECT_EQ(com_get_alias_info(0, box("A").c_str(), &record, &ri), 1);
    ASSERT_EQ(setScsi("/dev/sdb", box("A"), {}, &ri_), 0);
    EXPECT_EQ(com_get_alias_info(0, box("A").c_str(), &record, &ri), 0);
}

TEST(AliasCheck, CharacterRule) {
    const struct {
        const char *text;
        int rc;
    } cases[] = {
        {"a", 0},       {"Z", 0},           {"a1#-._", 0}, {"Backup-01.x_#", 0},
        {"", -1},       {"1abc", -1},       {"-abc", -1},  {"_abc", -1},
        {"ab c", -1},   {"ab/c", -1},       {"ab@c", -1},  {"\xc3\xa9t\xc3\xa9", -1},
        {"a\xe9", -1},  {" a", -1},         {"a\t", -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(com_alias_check(c.text), c.rc);
    }
    EXPECT_EQ(com_alias_check(nullptr), -1);
}

}  // namespace
