// The properties file: loading and checking zrkc.ini through a real file in a
// temporary installation root, lookups as text and as integer, and the list's
// life from one load to its release.
#include "install_root.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

namespace {

using zrktest::InstallRoot;

std::string allowed(const std::string &parameter) {
    return "ZRKC1403 ERROR VELK parameter value is not allowed. Parameter=(" + parameter + ").\n";
}
std::string undefinedName(const std::string &parameter) {
    return "ZRKC1402 ERROR VELK parameter name is not defined. Parameter=(" + parameter + ").\n";
}
std::string outOfRange(const std::string &parameter) {
    return "ZRKC1404 ERROR VELK parameter value is out of range. Parameter=(" + parameter + ").\n";
}
const std::string kTooLong = allowed("The number of limitation characters is exceeded. ");

struct LoadCase {
    const char *title;
    std::string file;     // contents of zrkc.ini
    int returnClass;      // 0: the load succeeds
    uint32_t messageNo;
    std::string message;
};

class PropertiesLoad : public ::testing::Test {
protected:
    void TearDown() override { release_properties(); }
    InstallRoot root_;
};

TEST_F(PropertiesLoad, RefusesAndAcceptsLinesAsTheTableSays) {
    const std::string x1019(1019, 'x');  // "path=" + 1019 = 1024 characters
    const LoadCase cases[] = {
        {"empty list value", "mode=\n", 0, 0, ""},
        {"value not in the list", "mode=async\n", 8, 1403, allowed("mode=async")},
        {"above the range", "interval=601\n", 8, 1404, outOfRange("interval=601")},
        {"below the range", "interval=-1\n", 8, 1404, outOfRange("interval=-1")},
        {"upper bound", "count=86400\ninterval=600\n", 0, 0, ""},
        {"trailing characters", "interval=10s\n", 8, 1403, allowed("interval=10s")},
        {"conversion overflow", "count=99999999999999999999999\n", 8, 1404,
         outOfRange("count=99999999999999999999999")},
        {"empty value below the bound", "max_grouping_ses=\n", 8, 1404,
         outOfRange("max_grouping_ses=")},
        {"empty range value", "interval=\n", 0, 0, ""},
        {"unknown key", "foo=1\n", 8, 1402, undefinedName("foo=1")},
        {"empty key", "=1\n", 8, 1402, undefinedName("=1")},
        {"no equals sign", "mode\n", 8, 1403, allowed("mode")},
        {"key given twice", "mode=sync\ncount=3\nmode=stack\n", 8, 1409,
         "ZRKC1409 ERROR VELK (mode) parameter is already defined.\n"},
        {"carriage return stays in the value", "mode=sync\r\n", 8, 1403, allowed("mode=sync\r")},
        {"comments, blank and CR lines skipped", "# c\n\n\r mode=async\nmode=sync\n", 0, 0, ""},
        {"last line without newline", "# c\nsplit=manual", 0, 0, ""},
        {"empty file", "", 0, 0, ""},
        {"line of 1024 characters", "path=" + x1019 + "\n", 0, 0, ""},
        {"line of 1024 characters, CR LF", "path=" + x1019 + "\r\n", 0, 0, ""},
        {"last line of 1024 characters", "path=" + x1019, 0, 0, ""},
        {"line of 1025 characters", "path=" + x1019 + "y\n", 8, 1403, kTooLong},
        {"comment of 1025 characters", "#" + std::string(1024, 'c') + "\n", 8, 1403, kTooLong},
        {"over-long line after good ones", "mode=sync\npath=" + x1019 + "yy\n", 8, 1403, kTooLong},
        // A CR at the 1025th place passes the first test, but a line that
        // does not end within the read limit is still too long: its tail
        // must not be taken for a line of its own.
        {"CR at 1025, tail beyond the read limit",
         "path=" + x1019 + "\r" + std::string(1100, 'z') + "\ninterval=3\n", 8, 1403, kTooLong},
    };
    for (const LoadCase &c : cases) {
        SCOPED_TRACE(c.title);
        root_.writeProperties(c.file);
        ReturnInfo ri {};
        int rc = expand_properties(&ri);
        EXPECT_EQ(rc, c.returnClass == 0 ? 0 : -1);
        EXPECT_EQ(ri.iReturnClass, c.returnClass);
        EXPECT_EQ(ri.uiMessageNo, c.messageNo);
        EXPECT_EQ(std::string(ri.caMessage), c.message);
        release_properties();
    }
}

TEST_F(PropertiesLoad, ShippedSampleLoadsCleanly) {
    // The install root starts with the sample that the product ships.
    ReturnInfo ri {};
    ASSERT_EQ(expand_properties(&ri), 0) << ri.caMessage;
    EXPECT_EQ(ri.iReturnClass, 0);
    EXPECT_STREQ(get_properties("mode", &ri), "");
    EXPECT_STREQ(get_properties("CompatibleVersion", &ri), "2.0.0");
    EXPECT_EQ(get_properties_int("interval", &ri), 0);
    EXPECT_EQ(get_properties_int("count", &ri), 0);
    EXPECT_EQ(get_properties_int("max_grouping_ses", &ri), 65535);
    EXPECT_EQ(get_properties_int("ssh_port_number", &ri), 32002);
    EXPECT_EQ(get_properties_int("ssh_timeout", &ri), 30);
    EXPECT_EQ(get_properties_int("ssh_logout_timer", &ri), 870);
    EXPECT_EQ(get_properties_int("ssh_loop", &ri), 15);
    EXPECT_EQ(get_properties_int("RVZ_stacktimer", &ri), 5);
    EXPECT_EQ(ri.iReturnClass, 0);
}

TEST_F(PropertiesLoad, MissingFileAndMissingPath) {
    ReturnInfo ri {};
    ASSERT_EQ(unlink(root_.path("etc/zrkc.ini").c_str()), 0);
    EXPECT_EQ(get_properties("mode", &ri), nullptr);
    EXPECT_EQ(ri.iReturnClass, 8);
    EXPECT_EQ(ri.uiMessageNo, 1400u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1400 ERROR File open error. File name=(zrkc.ini). Cause=(2).\n");

    root_.write("bin/.zrkc_install.sys", "zrkc_optdir=/x\n");
    ri = {};
    EXPECT_EQ(expand_properties(&ri), -1);
    EXPECT_EQ(ri.uiMessageNo, 1401u);
    EXPECT_STREQ(ri.caMessage,
                 "ZRKC1401 ERROR The file name of VELK can not be acquired. Cause=(2).\n");

    ASSERT_EQ(unlink(root_.path("bin/.zrkc_install.sys").c_str()), 0);
    ri = {};
    EXPECT_EQ(get_properties_int("interval", &ri), 0);
    EXPECT_EQ(ri.iReturnClass, 8);
    EXPECT_STREQ(ri.caMessage,
                 "ZRKC1401 ERROR The file name of VELK can not be acquired. Cause=(1).\n");
}

TEST_F(PropertiesLoad, LookupsAndDefaults) {
    root_.writeProperties("interval=\nssh_port_number=4000\nmode=sync\nssh_loop=abc\n");
    ReturnInfo ri {};
    EXPECT_STREQ(get_properties("mode", &ri), "sync");
    EXPECT_STREQ(get_properties("split", &ri), "");       // not in the file
    EXPECT_STREQ(get_properties("nonsense", &ri), "");
    EXPECT_EQ(get_properties_int("interval", &ri), 0);    // empty: default
    EXPECT_EQ(get_properties_int("ssh_timeout", &ri), 30); // absent: default
    EXPECT_EQ(get_properties_int("ssh_port_number", &ri), 4000);
    EXPECT_EQ(get_properties_int("ssh_loop", &ri), 0);    // any text is allowed
    EXPECT_EQ(get_properties_int("nonsense", &ri), 0);
    EXPECT_EQ(ri.iReturnClass, 0);

    // A key of the table with neither a value nor a default.
    EXPECT_EQ(get_properties_int("split", &ri), 0);
    EXPECT_EQ(ri.iReturnClass, 8);
    EXPECT_EQ(ri.uiMessageNo, 1407u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1407 ERROR VELK parameter is not defined. Parameter=(split).\n");
}

TEST_F(PropertiesLoad, ListLivesUntilReleasedThenFileIsReadAfresh) {
    root_.writeProperties("mode=sync\n");
    ReturnInfo ri {};
    const char *first = get_properties("mode", &ri);
    ASSERT_STREQ(first, "sync");
    root_.writeProperties("mode=stack\n");
    EXPECT_STREQ(get_properties("mode", &ri), "sync");  // loaded once
    EXPECT_STREQ(first, "sync");                        // still valid
    release_properties();
    EXPECT_STREQ(get_properties("mode", &ri), "stack");
    EXPECT_EQ(ri.iReturnClass, 0);
}

TEST_F(PropertiesLoad, FailedLoadKeepsNoEntries) {
    // Good lines before the refused one are not served later: every failed
    // load leaves the list empty, so the next lookup reads the file again.
    for (const std::string &bad : {std::string("mode=sync\nmode=stack\n"),
                                   "mode=sync\npath=" + std::string(1100, 'p') + "\n",
                                   std::string("mode=sync\nfoo=1\n")}) {
        SCOPED_TRACE(bad.substr(0, 30));
        root_.writeProperties(bad);
        ReturnInfo ri {};
        EXPECT_EQ(get_properties("mode", &ri), nullptr);
        EXPECT_EQ(ri.iReturnClass, 8);
        root_.writeProperties("mode=consistency\n");
        ri = {};
        EXPECT_STREQ(get_properties("mode", &ri), "consistency");
        EXPECT_EQ(ri.iReturnClass, 0);
        release_properties();
    }
}

TEST_F(PropertiesLoad, UnreadableFileIsReportedNotEmpty) {
    // The properties path names a directory: it opens but cannot be read.
    ASSERT_EQ(unlink(root_.path("etc/zrkc.ini").c_str()), 0);
    ASSERT_EQ(mkdir(root_.path("etc/zrkc.ini").c_str(), 0755), 0);
    ReturnInfo ri {};
    EXPECT_EQ(expand_properties(&ri), -1);
    EXPECT_EQ(ri.uiMessageNo, 1400u);
    EXPECT_STREQ(ri.caMessage, "ZRKC1400 ERROR File open error. File name=(zrkc.ini). Cause=(21).\n");
}

TEST(Properties, CheckProperties) {
    struct {
        const char *key;
        const char *value;
        int expected;
    } const cases[] = {
        {"mode", "stack", 0},       {"mode", "consistency", 0}, {"mode", "", 0},
        {"mode", "Stack", -2},      {"split", "automatic", 0},  {"split", "sync", -2},
        {"recovery", "manual", 0},  {"interval", "0", 0},       {"interval", "601", -3},
        {"interval", "", 0},        {"interval", "1.5", -2},    {"count", "86401", -3},
        {"count", "9223372036854775808", -3},                   {"max_grouping_ses", "0", -3},
        {"max_grouping_ses", "1", 0}, {"path", "anything at all", 0},
        {"ssh_loop", "-3", 0},      {"Mode", "stack", -1},      {"", "", -1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(check_properties(c.key, c.value), c.expected) << c.key << "=" << c.value;
    }
}

TEST(Properties, ParseLineKeepsLongMessagesWithinTheRecord) {
    // A parameter longer than the message line is cut, and the line keeps its end.
    std::string line = std::string(1000, 'k') + "=1\n";
    ReturnInfo ri {};
    EXPECT_EQ(parse_line(line.c_str(), &ri), -1);
    EXPECT_EQ(ri.uiMessageNo, 1402u);
    std::string message(ri.caMessage);
    EXPECT_EQ(message.size(), static_cast<size_t>(ZRK_MESSAGE_LEN - 1));
    EXPECT_TRUE(message.starts_with("ZRKC1402 ERROR VELK parameter name is not defined. Parameter=(kkk"));
    EXPECT_TRUE(message.ends_with("kkk).\n"));
    release_properties();
}

}  // namespace
