// The concurrent start of the arrays' command-line interface as a
// transaction in parts: what ends it (its last part, a refused part, any
// other command the array receives first), and the result rows of its
// last part (started, started but to be stopped by the host, not started).
#include "exec_helpers.h"
#include "lan_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lantest;
using namespace simtest;

namespace {

// Volume 9 of A1 is the target of B1's remote copy; volume 10 is taken.
const char *const kScenario = R"(
array A1 boxid="BOX A1" address=10.0.0.5
array B1 boxid="BOX B1" address=10.0.0.6
volume A1 1 4096
volume A1 2 4096
volume A1 3 4096
volume A1 4 4096
volume A1 5 4096
volume A1 6 4096
volume A1 7 4096
volume A1 8 4096
volume A1 9 4096
volume A1 10 4096
volume A1 11 4096
volume B1 1 4096
volume B1 2 4096
volume B1 3 4096
session 1 rvz B1 1 A1 9
session 20 kzp A1 11 A1 10
user admin secret
)";

struct Lan : LoggedInLan {
    Lan() : LoggedInLan(kScenario, {"10.0.0.5", "10.0.0.6"}) {}
};

std::string part(int src, int dst, const std::string &tail) {
    return "start copy-concurrent-kzp -session-type kzp -source-volume-number " + std::to_string(src) +
           " -destination-volume-number " + std::to_string(dst) + "    " + tail;
}

std::string code(const std::string &reply) {
    if (reply.rfind("01\n", 0) != 0) return "not a failure: " + reply;
    return reply.substr(3, reply.find('\n', 3) - 3);
}

// The identifiers of A1's sessions in the reserve status (prepared).
std::vector<unsigned> prepared(const zrksim::Simulator &sim) {
    std::vector<unsigned> ids;
    for (const std::string &line : sim.sessions("A1"))
        if (field(line, "status") == "1") ids.push_back(static_cast<unsigned>(std::stoul(line.substr(8))));
    return ids;
}

// Each way an open transaction ends before its last part: its prepared
// session is rolled back, and a later part naming it is refused.
TEST(SimConcurrent, OpenTransactionIsDiscarded) {
    struct Case {
        const char *what;
        std::string command;   // sent after the first part
        std::string host;
        std::string reply;     // its reply (prefix)
    } cases[] = {
        {"a show command", "show copy-sessions", "10.0.0.5", "00\n"},
        {"another action", "stop copy-session -session-id 20 ", "10.0.0.5", "00\n"},
        {"a new first part", part(3, 4, "-mode no-commit "), "10.0.0.5", "00\n"},
        {"a refused part", part(3, 10, "-mode no-commit -id ID"), "10.0.0.5", "01\n5302\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Lan lan;
        std::string first = lan.run(part(1, 2, "-mode no-commit "));
        ASSERT_EQ(first.rfind("00\n", 0), 0u) << first;
        const std::string id = first.substr(3, first.size() - 4);
        ASSERT_EQ(prepared(lan.sim).size(), 1u);
        std::string command = c.command;
        if (size_t at = command.find("ID"); at != std::string::npos) command.replace(at, 2, id);
        std::string reply = lan.run(command, c.host);
        EXPECT_EQ(reply.rfind(c.reply, 0), 0u) << reply;
        // Only the session of a new first part may be prepared now.
        const bool fresh = c.command.find("-id") == std::string::npos && c.command.rfind("start", 0) == 0;
        EXPECT_EQ(prepared(lan.sim), fresh ? std::vector<unsigned>{2} : std::vector<unsigned>{});
        EXPECT_EQ(code(lan.run(part(5, 6, "-id " + id))), "5300");
    }
}

// A part that continues its transaction does not end it, nor does a
// command another array receives or a control request; a transaction is
// continued only on its own array.
TEST(SimConcurrent, PartsContinueTheTransaction) {
    Lan lan;
    EXPECT_EQ(lan.run(part(1, 2, "-mode no-commit ")), "00\n1\n");
    lan.sim.sessions("A1");
    EXPECT_EQ(code(lan.run(part(1, 2, "-mode no-commit -id 1"), "10.0.0.6")), "5300");
    EXPECT_EQ(lan.run("show copy-sessions", "10.0.0.6").rfind("00\n", 0), 0u);
    EXPECT_EQ(lan.run(part(3, 4, "-mode no-commit -id 1")), "00\n");
    EXPECT_EQ(lan.run(part(5, 6, "-id 1")),
              "00\n3\n" + rec({"0", "0", "2", "1", "2", "0", "0"}) + rec({"0", "0", "3", "3", "4", "0", "0"}) +
                  rec({"0", "0", "4", "5", "6", "0", "0"}));
    for (unsigned id : {2u, 3u, 4u}) EXPECT_EQ(fields(lan.sim, "A1", id, {"status"}), "status=2");
    EXPECT_EQ(code(lan.run(part(7, 8, "-id 1"))), "5300");
}

// The rows of the last part: a session no longer prepared (another host
// stopped it) is not started (result 2); the others start but are left for
// the host to stop (result 1). A source that is the target of another
// array's copy starts with result 1 and code 5392.
TEST(SimConcurrent, ResultRows) {
    {
        Lan lan;
        EXPECT_EQ(lan.run(part(1, 2, "-mode no-commit ")), "00\n1\n");
        EXPECT_EQ(lan.run(part(3, 4, "-mode no-commit -id 1")), "00\n");
        lan.sim.commandOk("endsession A1 3");
        EXPECT_EQ(lan.run(part(5, 6, "-id 1")),
                  "00\n3\n" + rec({"1", "0", "2", "1", "2", "0", "0"}) + rec({"2", "5300", "3", "3", "4", "0", "0"}) +
                      rec({"1", "0", "3", "5", "6", "0", "0"}));
        // The stop freed identifier 3; the last part's session took it.
        EXPECT_EQ(fields(lan.sim, "A1", 2, {"status"}), "status=2");
        EXPECT_EQ(fields(lan.sim, "A1", 3, {"status"}), "status=2");
        EXPECT_EQ(sessionWithId(lan.sim, "A1", 3).rfind("session 3 kzp A1 5 A1 6 ", 0), 0u)
            << sessionWithId(lan.sim, "A1", 3);
    }
    {
        Lan lan;
        EXPECT_EQ(lan.run(part(9, 2, "-mode no-commit ")), "00\n1\n");
        EXPECT_EQ(lan.run(part(3, 4, "-id 1")),
                  "00\n2\n" + rec({"1", "5392", "2", "9", "2", "0", "0"}) + rec({"0", "0", "3", "3", "4", "0", "0"}));
        EXPECT_EQ(fields(lan.sim, "A1", 2, {"status"}), "status=2");
    }
}

}  // namespace
