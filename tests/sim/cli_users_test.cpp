// The arrays' accounts on their command-line interface: "show users" from
// the scenario's user lines, "test authentication" and its account codes,
// and the refusals of both.
#include "lan_helpers.h"

#include <gtest/gtest.h>

#include <string>

using namespace lantest;

namespace {

const char *const kScenario = R"(
array A1 boxid="BOX A1" address=10.0.0.5
array B1 boxid="BOX B1" address=10.0.0.6
user admin secret
user zed pw role=Monitor state=0 flags=255
user "two words" "pw with blanks" role="Role With Blanks" state=2
user oper first role=Monitor
user oper second
)";

struct Lan : LoggedInLan {
    Lan() : LoggedInLan(kScenario, {"10.0.0.5", "10.0.0.6"}) {}
};

TEST(SimUsers, ShowUsersListsTheAccountsInNameOrder) {
    Lan lan;
    const std::string want = "00\n4\n" + rec({"admin", "Software", "1", "0"}) +
                             rec({"oper", "Software", "1", "0"}) +
                             rec({"two words", "Role With Blanks", "2", "0"}) +
                             rec({"zed", "Monitor", "0", "FF"});
    EXPECT_EQ(lan.run("show users"), want);
    // Every array has the same accounts.
    EXPECT_EQ(lan.run("show users", "10.0.0.6"), want);
}

TEST(SimUsers, AuthenticationCodes) {
    Lan lan;
    struct Case {
        const char *command;
        const char *reply;
    } const cases[] = {
        {"test authentication -name admin -password secret", "00\n0\n"},
        {"test authentication -name admin -password wrong", "00\n1\n"},
        {"test authentication -name nobody -password secret", "00\n1\n"},
        {"test authentication -name ADMIN -password secret", "00\n1\n"},
        {"test authentication -name \"two words\" -password \"pw with blanks\"", "00\n0\n"},
        // A second line for a name replaces the first.
        {"test authentication -name oper -password first", "00\n1\n"},
        {"test authentication -name oper -password second", "00\n0\n"},
        // A disabled account still authenticates; "show users" tells its state.
        {"test authentication -name zed -password pw", "00\n0\n"},
    };
    for (const Case &c : cases) EXPECT_EQ(lan.run(c.command), c.reply) << c.command;
}

TEST(SimUsers, Refusals) {
    Lan lan;
    const char *const refused[] = {
        "show users -name admin",
        "test authentication -name admin",
        "test authentication -password secret",
        "test authentication",
        "test authentication -name admin -password secret -mode x",
        "test authentication -name admin -name admin -password secret",
        "test authentication -name admin -password",
    };
    for (const char *c : refused) EXPECT_EQ(lan.run(c).substr(0, 8), "01\n0001\n") << c;
}

TEST(SimUsers, WithoutAccountsEveryNameAuthenticates) {
    // No user line: the LAN login takes any account, and so does the test.
    zrksim::Simulator sim("array A1 boxid=\"BOX A1\" address=10.0.0.5\n", true);
    const int port = sim.lanPort();
    ASSERT_EQ(ask(port, open("10.0.0.5", "anyone", "x")), "true");
    EXPECT_EQ(ask(port, proc("10.0.0.5", "test authentication -name anyone -password x")), "00\n0\n");
    EXPECT_EQ(ask(port, proc("10.0.0.5", "test authentication -name \"\" -password x")), "00\n1\n");
    EXPECT_EQ(ask(port, proc("10.0.0.5", "show users")), "00\n0\n");
}

TEST(SimUsers, ScenarioLines) {
    struct Case {
        const char *text;
        bool valid;
    } const cases[] = {
        {"user admin pw role=Software state=1 flags=0\n", true},
        {"user admin pw role=\"Role With Blanks\"\n", true},
        {"user admin pw state=FFFFFFFF\n", false},
        {"user admin pw state=4294967296\n", false},
        {"user admin pw kind=x\n", false},
        {"user admin pw state=1 state=2\n", false},
    };
    for (const Case &c : cases) EXPECT_EQ(zrksim::checkScenario(c.text).empty(), c.valid) << c.text;
}

}  // namespace
