// "show users": the conversion of reply lines into CliUser rows, the replies
// that are refused (and never hand out a partial array), and the query
// against the simulator's LAN front.
#include "../../ip/ipshow_users.h"
#include "corpus.h"
#include "ipsim_support.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using iptest::ShowReply;
using iptest::TabLine;

// The rows a parse handed out, released at the end of the scope; the
// sentinel shows that nothing was handed out.
struct Rows {
    ~Rows() {
        if (ptr != Sentinel()) std::free(ptr);
    }
    static CliUser *Sentinel() { return reinterpret_cast<CliUser *>(alignof(CliUser) * 16); }
    CliUser *ptr = Sentinel();
};

int Parse(const std::string &text, int *count, Rows *rows) {
    ZRKerrno = 0;
    return zrkip::ParseUsersText(text.c_str(), count, &rows->ptr);
}

CliUser Row(const std::string &name, const std::string &role, uint32_t status, uint32_t col3) {
    CliUser row;
    std::memset(&row, 0, sizeof row);
    std::memcpy(row.caUserName, name.data(), std::min(name.size(), sizeof row.caUserName));
    std::memcpy(row.caRole, role.data(), std::min(role.size(), sizeof row.caRole));
    row.uiStatus = status;
    row.uiCol3 = col3;
    return row;
}

std::string Bytes(const void *data, size_t size) {
    return std::string(static_cast<const char *>(data), size);
}

TEST(ShowUsers, RowsConvertByteForByte) {
    const std::string longName(130, 'n');
    const std::string fullRole(64, 'r');
    struct Case {
        const char *what;
        std::vector<std::string> columns;
        CliUser want;
    } const cases[] = {
        {"the row the account check accepts", {"admin", "Software", "1", "0"},
         Row("admin", "Software", 1, 0)},
        {"further columns ignored", {"op", "Monitor", "0", "1F", "junk", "more"},
         Row("op", "Monitor", 0, 0x1F)},
        {"name cut to 128, no terminator", {longName, "Software", "1", "0"},
         Row(longName, "Software", 1, 0)},
        {"role of 64 fills the field", {"x", fullRole, "1", "2"}, Row("x", fullRole, 1, 2)},
        {"empty text columns", {"", "", "0", "0"}, Row("", "", 0, 0)},
        {"hex read as the show replies are", {"a", "b", "0x10", " ff"}, Row("a", "b", 16, 255)},
    };
    for (const Case &c : cases) {
        int count = -1;
        Rows rows;
        ASSERT_EQ(0, Parse(ShowReply({TabLine(c.columns)}), &count, &rows)) << c.what << " " << ZRKerrno;
        ASSERT_EQ(1, count) << c.what;
        EXPECT_EQ(Bytes(&c.want, sizeof c.want), Bytes(rows.ptr, sizeof(CliUser))) << c.what;
    }
    // The accepted row: "Software" followed by 56 zero bytes.
    int count = 0;
    Rows rows;
    ASSERT_EQ(0, Parse(ShowReply({"admin\tSoftware\t1\t0"}), &count, &rows));
    EXPECT_EQ(std::string("Software") + std::string(56, '\0'), Bytes(rows.ptr->caRole, 64));
    // A name of 130 characters keeps its first 128 and no terminator.
    Rows longRows;
    ASSERT_EQ(0, Parse(ShowReply({TabLine({longName, "S", "1", "0"})}), &count, &longRows));
    EXPECT_EQ(std::string(128, 'n'), Bytes(longRows.ptr->caUserName, 128));
}

TEST(ShowUsers, ReplyShapes) {
    const std::string row = "admin\tSoftware\t1\t0";
    struct Case {
        const char *what;
        std::string text;
        int rc;
        int err;
        int count;
    } const cases[] = {
        {"no rows", "0\n0", 0, 0, 0},
        {"no rows, trailing newline", "0\n0\n", 0, 0, 0},
        {"three rows", ShowReply({row, "b\tx\t0\t0", "c\ty\t2\t3\textra"}), 0, 0, 3},
        {"status only", "0", -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
        {"more announced than present", "0\n2\n" + row, -1, ZRK_ERR_REPLY_INCOMPLETE, 2},
        {"count beyond 32 bits", "0\n100000000", -1, ZRK_ERR_REPLY_NUMBER, 0},
        {"status beyond 32 bits", "100000000\n0", -1, ZRK_ERR_REPLY_NUMBER, 0},
        {"row of 3 columns", ShowReply({"a\tSoftware\t1"}), -1, ZRK_ERR_REPLY_INCOMPLETE, 1},
        {"later row short, earlier rows released", ShowReply({row, row, "a\tb"}), -1,
         ZRK_ERR_REPLY_INCOMPLETE, 3},
        {"status column beyond 64 bits", ShowReply({"a\tb\t1FFFFFFFFFFFFFFFF\t0"}), -1,
         ZRK_ERR_REPLY_NUMBER, 1},
        {"empty row line", "0\n1\n", -1, ZRK_ERR_REPLY_INCOMPLETE, 1},
        {"array error", "02\n5310", -1, 0x15310, 0},
        {"empty reply", "", -1, ZRK_ERR_REPLY, 0},
    };
    for (const Case &c : cases) {
        int count = -1;
        Rows rows;
        EXPECT_EQ(c.rc, Parse(c.text, &count, &rows)) << c.what;
        EXPECT_EQ(c.count, count) << c.what;
        if (c.rc != 0) {
            EXPECT_EQ(c.err, ZRKerrno) << c.what;
            EXPECT_EQ(nullptr, rows.ptr) << c.what << ": the row pointer is cleared";
            rows.ptr = Rows::Sentinel();
        } else if (c.count == 0) {
            EXPECT_EQ(nullptr, rows.ptr) << c.what;
            rows.ptr = Rows::Sentinel();
        } else {
            EXPECT_EQ(3u, rows.ptr[2].uiCol3) << c.what;
        }
    }
}

// Every kept fuzz input goes through the same path without harm: a success
// hands out exactly the announced rows, a failure none.
TEST(ShowUsers, CorpusReplays) {
    const size_t files = zrktest::ForEachCorpusInput("show_users", 2, [](const std::string &name,
                                                                          const std::string &data) {
        // The fuzz target's layout: name length, name, row count, reply.
        const size_t skip = static_cast<unsigned char>(data[0]) % 140 + 2;
        if (data.size() < skip) return;
        const std::string text(data.c_str() + skip);  // up to the first NUL
        int count = -1;
        Rows rows;
        const int rc = Parse(text, &count, &rows);
        if (rc == 0) {
            EXPECT_GE(count, 0) << name;
            EXPECT_EQ(count == 0, rows.ptr == nullptr) << name;
            if (rows.ptr == nullptr) rows.ptr = Rows::Sentinel();
        } else {
            EXPECT_EQ(nullptr, rows.ptr) << name;
            rows.ptr = Rows::Sentinel();
        }
    });
    EXPECT_GE(files, 3u);
}

TEST(ShowUsers, MissingOutputsAreRefused) {
    int count = 0;
    CliUser *rows = nullptr;
    ZRKerrno = 0;
    EXPECT_EQ(-1, ShowUsers("10.0.0.5", nullptr, nullptr, &rows));
    EXPECT_EQ(ZRK_ERR_PARAMETER, ZRKerrno);
    ZRKerrno = 0;
    EXPECT_EQ(-1, ShowUsers("10.0.0.5", nullptr, &count, nullptr));
    EXPECT_EQ(ZRK_ERR_PARAMETER, ZRKerrno);
}

// ---- against the simulator -----------------------------------------------------------

constexpr const char *kScenario =
    "array A1 boxid=\"BOX-A1\" address=10.0.0.5\n"
    "user admin secret\n"
    "user oper pw role=Monitor state=0 flags=7\n"
    "user \"two words\" pw role=\"Role With Blanks\" state=2\n";

class ShowUsersSim : public iptest::LanSimTest {
protected:
    ShowUsersSim() : LanSimTest(kScenario, {"10.0.0.5"}) {}
};

TEST_F(ShowUsersSim, ListsTheArraysAccounts) {
    int count = -1;
    CliUser *raw = nullptr;
    // The query writes into the trace of the public call that runs it.
    ZRKC_Com_OpenTrace(1031);
    ASSERT_EQ(0, ShowUsers("10.0.0.5", "admin", &count, &raw)) << ZRKerrno;
    ZRKC_Com_CloseTrace();
    Rows rows;
    rows.ptr = raw;
    ASSERT_EQ(3, count);
    const CliUser want[] = {
        Row("admin", "Software", 1, 0),
        Row("oper", "Monitor", 0, 7),
        Row("two words", "Role With Blanks", 2, 0),
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Bytes(&want[i], sizeof want[i]), Bytes(&raw[i], sizeof raw[i])) << i;
    }
    EXPECT_EQ(std::vector<std::string>{"show users"}, iptest::LanCommands(sim));
    const std::string trace = root.traceText();
    for (const char *line : {"ShowUsers : START", "ShowUsers : cpIPaddress=[10.0.0.5] ",
                             "ShowUsers : 1 - Software", "ShowUsers : END(ret=0, ZRKerrno=0)"}) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

TEST_F(ShowUsersSim, ArrayErrorLeavesNoRows) {
    sim.commandOk("lanreply 1 02\\n5310");
    int count = -1;
    CliUser *rows = reinterpret_cast<CliUser *>(16);
    EXPECT_EQ(-1, ShowUsers("10.0.0.5", nullptr, &count, &rows));
    EXPECT_EQ(0x15310, ZRKerrno);
    EXPECT_EQ(nullptr, rows);
}

}  // namespace
