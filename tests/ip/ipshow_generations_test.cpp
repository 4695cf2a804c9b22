// "show snap-kzp-gen" and "show snap-kzp-restore-size": the generation
// groups and their identifier lines, counts that the reply cannot hold,
// the restore-size rows and the caller's room, the command texts on the
// wire (through a loopback stand-in of the LAN service) and the refusals
// before anything is sent, and the fuzz target's kept inputs.
#include "../../ip/ipshow_generations.h"
#include "corpus.h"
#include "lan_fixture.h"

#include "platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char *kArray = "192.0.2.10";

// What ShowSnapKzpGen handed out, released at the end of the scope.
struct Groups {
    ~Groups() {
        if (ptr != sentinel()) FreeSnapKzpGen(ptr, count);
    }
    static CliSnapKzpGen *sentinel() {
        return reinterpret_cast<CliSnapKzpGen *>(alignof(CliSnapKzpGen) * 16);
    }
    CliSnapKzpGen *ptr = sentinel();
    int count = -1;
};

int ParseGen(const std::string &text, Groups *groups) {
    ZRKerrno = 0;
    return zrkip::ParseSnapKzpGenText(text.c_str(), &groups->count, &groups->ptr);
}

// A group as the test expects it: start, size, identifiers.
struct Group {
    uint64_t ullStart;
    uint64_t ullSize;
    std::vector<uint32_t> vIds;
};

std::vector<Group> Read(const Groups &groups) {
    std::vector<Group> out;
    for (int g = 0; g < groups.count; ++g) {
        const CliSnapKzpGen &r = groups.ptr[g];
        Group group{(uint64_t{r.ExtAddr_high} << 32) | r.ExtAddr_low,
                    (uint64_t{r.ExtSize_high} << 32) | r.ExtSize_low,
                    {}};
        if (r.SesCnt != 0) group.vIds.assign(r.SesIDs, r.SesIDs + r.SesCnt);
        EXPECT_EQ(r.SesCnt == 0, r.SesIDs == nullptr);
        EXPECT_EQ(0u, r.uiReserved);
        out.push_back(group);
    }
    return out;
}

bool operator==(const Group &a, const Group &b) {
    return a.ullStart == b.ullStart && a.ullSize == b.ullSize && a.vIds == b.vIds;
}

std::ostream &operator<<(std::ostream &os, const Group &g) {
    os << "{" << std::hex << g.ullStart << "," << g.ullSize << ":";
    for (uint32_t id : g.vIds) os << " " << id;
    return os << "}";
}

CliSnapKzpRestoreSize Filled() {
    CliSnapKzpRestoreSize row;
    std::memset(&row, 0xCD, sizeof row);
    return row;
}

bool Untouched(const CliSnapKzpRestoreSize &row) {
    const CliSnapKzpRestoreSize f = Filled();
    return std::memcmp(&f, &row, sizeof row) == 0;
}

// ---- show snap-kzp-gen
// -------------------------------------------------------------------

TEST(ShowSnapKzpGen, GroupsAndIdentifierLines) {
    struct Case {
        const char *what;
        std::string text;
        std::vector<Group> groups;
    };
    const Case cases[] = {
        {"no group", "0\n4\t0\n0", {}},
        {"no group, trailing newline", "0\n4\t0\n0\n", {}},
        {"a header of three columns", "0\n4\t1\tEXTRA\n1\n0\t0\n1\n3\n", {{0, 0, {3}}}},
        // The second group line is line 8: line 4, its count 5, ids 6 and 7.
        {"two groups, the first with two identifiers",
         "0\n4\t3\n2\n0\t1000\n2\n2\n1\n0\t0\n1\n3\n",
         {{0, 0x1000, {2, 1}}, {0, 0, {3}}}},
        {"a group without identifiers is followed by the next group line",
         "0\n4\t1\n2\n800\t800\n0\n1000\t800\t9\t9\n1\n1A\tjunk\n",
         {{0x800, 0x800, {}}, {0x1000, 0x800, {0x1A}}}},
        {"64-bit start and size",
         "0\n4\t1\n1\n123456789A\tFFFFFFFFFFFFFFFF\n1\nFFFF\n",
         {{0x123456789AULL, ~0ULL, {0xFFFF}}}},
        {"identifier lines read up to their first non-digit",
         "0\n4\t3\n1\n0\t0\n3\n 5\n0x6 seven\n\n",
         {{0, 0, {5, 6, 0}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Groups groups;
        ASSERT_EQ(0, ParseGen(c.text, &groups)) << ZRKerrno;
        EXPECT_EQ(static_cast<int>(c.groups.size()), groups.count);
        if (c.groups.empty()) {
            EXPECT_EQ(nullptr, groups.ptr);
        } else {
            EXPECT_EQ(c.groups, Read(groups));
        }
    }
}

TEST(ShowSnapKzpGen, RefusedReplies) {
    struct Case {
        const char *what;
        std::string text;
        int error;
    };
    const Case cases[] = {
        {"status only", "0", ZRK_ERR_REPLY_INCOMPLETE},
        {"status and header", "0\n4\t0", ZRK_ERR_REPLY_INCOMPLETE},
        {"a header of one column", "0\n4\n0", ZRK_ERR_REPLY_INCOMPLETE},
        {"a header value beyond 32 bits", "0\n100000000\t0\n0", ZRK_ERR_REPLY_NUMBER},
        {"a group count beyond 32 bits", "0\n4\t0\n100000000", ZRK_ERR_REPLY_NUMBER},
        {"a group announced but missing", "0\n4\t1\n2\n0\t0\n1\n3", ZRK_ERR_REPLY_INCOMPLETE},
        {"a count line missing", "0\n4\t1\n1\n0\t0", ZRK_ERR_REPLY_INCOMPLETE},
        {"an identifier line missing", "0\n4\t2\n1\n0\t0\n2\n3", ZRK_ERR_REPLY_INCOMPLETE},
        {"a group line of one column", "0\n4\t1\n1\n0\n1\n3", ZRK_ERR_REPLY_INCOMPLETE},
        {"an empty group line", "0\n4\t1\n1\n\n1\n3", ZRK_ERR_REPLY_INCOMPLETE},
        {"a group size beyond 64 bits", "0\n4\t1\n1\n0\t11112222333344445\n1\n3",
         ZRK_ERR_REPLY_NUMBER},
        {"an identifier beyond 32 bits", "0\n4\t1\n1\n0\t0\n1\n100000000", ZRK_ERR_REPLY_NUMBER},
        {"a session count beyond 32 bits", "0\n4\t1\n1\n0\t0\n100000000\n1", ZRK_ERR_REPLY_NUMBER},
        // Counts far beyond the lines present are refused before anything
        // is allocated for them.
        {"the largest group count", "0\n4\t1\nFFFFFFFF\n0\t0\n1\n3", ZRK_ERR_REPLY_INCOMPLETE},
        {"more groups than half the lines", "0\n4\t1\n3\n0\t0\n0\n0\t1\n0\n0\t2",
         ZRK_ERR_REPLY_INCOMPLETE},
        {"the largest session count", "0\n4\t1\n1\n0\t0\nFFFFFFFF\n1\n2", ZRK_ERR_REPLY_INCOMPLETE},
        {"the second group fails after the first was built",
         "0\n4\t3\n2\n0\t1000\n2\n2\n1\n0\n1\n3", ZRK_ERR_REPLY_INCOMPLETE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Groups groups;
        EXPECT_EQ(-1, ParseGen(c.text, &groups));
        EXPECT_EQ(c.error, ZRKerrno);
        EXPECT_EQ(0, groups.count);
        EXPECT_EQ(Groups::sentinel(), groups.ptr) << "nothing handed out";
    }
}

// ---- show snap-kzp-restore-size
// ------------------------------------------------------------

TEST(ShowSnapKzpRestoreSize, RowConvertsByteForByte) {
    CliSnapKzpRestoreSize rows[2] = {Filled(), Filled()};
    int count = -1;
    ASSERT_EQ(0, zrkip::ParseSnapKzpRestoreSizeText(
                     "0\n1\n1F\t123456789A\t64\tFFFFFFFFFFFFFFFF\t0\t2\tjunk\n", &count, rows, 1))
        << ZRKerrno;
    ASSERT_EQ(1, count);
    CliSnapKzpRestoreSize want;
    std::memset(&want, 0, sizeof want);
    want.SesID = 0x1F;
    want.FreeSize_high = 0x12;
    want.FreeSize_low = 0x3456789A;
    want.RestoreSize_low = 0x64;
    want.Col3_high = 0xFFFFFFFF;
    want.Col3_low = 0xFFFFFFFF;
    want.Col5 = 2;
    EXPECT_EQ(0, std::memcmp(&want, &rows[0], sizeof want));
    EXPECT_TRUE(Untouched(rows[1]));
}

TEST(ShowSnapKzpRestoreSize, ReplyShapesAndRoom) {
    const std::string row = "5\t1\t2\t3\t4\t6";
    struct Case {
        const char *what;
        std::string text;
        size_t room;
        int rc;
        int error;
        int count;
    };
    const Case cases[] = {
        {"no rows", "0\n0\n", 1, 0, 0, 0},
        {"no rows without room", "0\n0", 0, 0, 0, 0},
        {"one row", "0\n1\n" + row, 1, 0, 0, 1},
        {"rows in reply order", "0\n2\n" + row + "\n7\t1\t2\t3\t4\t6", 2, 0, 0, 2},
        {"more rows than room", "0\n2\n" + row + "\n" + row, 1, -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
        {"a row without room", "0\n1\n" + row, 0, -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
        {"more rows announced than present", "0\n2\n" + row, 2, -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
        {"a row of five columns", "0\n1\n5\t1\t2\t3\t4", 1, -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
        {"the second row short", "0\n2\n" + row + "\n1", 2, -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
        {"a count beyond 32 bits", "0\n100000000", 1, -1, ZRK_ERR_REPLY_NUMBER, 0},
        {"status only", "0", 1, -1, ZRK_ERR_REPLY_INCOMPLETE, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CliSnapKzpRestoreSize rows[3] = {Filled(), Filled(), Filled()};
        int count = -1;
        ZRKerrno = 0;
        EXPECT_EQ(c.rc, zrkip::ParseSnapKzpRestoreSizeText(c.text.c_str(), &count, rows, c.room));
        EXPECT_EQ(c.count, count);
        EXPECT_EQ(c.error, ZRKerrno);
        // Nothing beyond the rows stored; nothing at all on failure.
        for (size_t i = c.rc == 0 ? static_cast<size_t>(c.count) : 0; i < 3; ++i) {
            EXPECT_TRUE(Untouched(rows[i])) << i;
        }
        if (c.count == 2) {
            EXPECT_EQ(7u, rows[1].SesID);
        }
    }
}

// ---- over the LAN service
// ---------------------------------------------------------------

class ShowGenerationsLan : public iptest::ServiceTest {};

TEST_F(ShowGenerationsLan, CommandTexts) {
    // 43 identifiers of ten digits make a list of 472 characters: with the
    // 39 of the command words, the longest command (511).
    const std::vector<int> longest(43, 1000000000);
    std::string longList;
    for (size_t i = 0; i < longest.size(); ++i)
        longList += (i == 0 ? "" : ",") + std::string("1000000000");
    const std::vector<int> ids = {12, 13, 40};
    const std::vector<int> one = {-1};
    struct Case {
        std::string command;
        const std::vector<int> *list;
        int volume;  // ShowSnapKzpGen when the list is null
    };
    const Case cases[] = {
        {"show snap-kzp-gen -volume-number 7", nullptr, 7},
        {"show snap-kzp-gen -volume-number 0", nullptr, 0},
        {"show snap-kzp-restore-size -session-id 12,13,40", &ids, 0},
        {"show snap-kzp-restore-size -session-id -1", &one, 0},
        {"show snap-kzp-restore-size -session-id " + longList, &longest, 0},
    };
    EXPECT_EQ(size_t{IP_RESTORE_CMD_MAX}, cases[4].command.size());
    std::vector<std::string> want;
    for (const Case &c : cases) {
        if (c.list == nullptr) {
            service.reply("0\n4\t0\n0");
            Groups groups;
            EXPECT_EQ(0, ShowSnapKzpGen(kArray, nullptr, c.volume, 0, &groups.count, &groups.ptr))
                << ZRKerrno;
            EXPECT_EQ(0, groups.count);
            EXPECT_EQ(nullptr, groups.ptr);
        } else {
            service.reply("0\n0");
            CliSnapKzpRestoreSize row;
            int count = -1;
            EXPECT_EQ(0, ShowSnapKzpRestoreSize(kArray, nullptr, static_cast<int>(c.list->size()),
                                                c.list->data(), IP_RESTORE_BY_ID, &count, &row, 1))
                << ZRKerrno;
            EXPECT_EQ(0, count);
        }
        want.push_back(c.command);
    }
    EXPECT_EQ(want, service.commands());
}

TEST_F(ShowGenerationsLan, RefusedBeforeSending) {
    const int ids[] = {1, 2};
    const std::vector<int> tooLong(44, 1000000000);  // 483 characters: 522 in all
    struct Case {
        const char *what;
        int count;
        const int *list;
        int option;
        int error;
    };
    const Case cases[] = {
        {"no identifier", 0, ids, IP_RESTORE_BY_ID, ZRK_ERR_PARAMETER},
        {"no identifier whatever the option", 0, ids, 1, ZRK_ERR_PARAMETER},
        {"a negative count", -1, ids, IP_RESTORE_BY_ID, ZRK_ERR_PARAMETER},
        {"no list", 1, nullptr, IP_RESTORE_BY_ID, ZRK_ERR_PARAMETER},
        {"option 1", 1, ids, 1, ZRK_ERR_SELECTION},
        {"option 0", 2, ids, 0, ZRK_ERR_SELECTION},
        {"a command beyond 511 characters", static_cast<int>(tooLong.size()), tooLong.data(),
         IP_RESTORE_BY_ID, ZRK_ERR_TOO_LONG},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CliSnapKzpRestoreSize row = Filled();
        int count = -1;
        ZRKerrno = 0;
        EXPECT_EQ(-1, ShowSnapKzpRestoreSize(kArray, nullptr, c.count, c.list, c.option, &count,
                                             &row, 1));
        EXPECT_EQ(c.error, ZRKerrno);
        EXPECT_EQ(0, count);
        EXPECT_TRUE(Untouched(row));
    }
    Groups groups;
    EXPECT_EQ(-1, ShowSnapKzpGen(kArray, nullptr, 1, 0, nullptr, &groups.ptr));
    EXPECT_EQ(ZRK_ERR_PARAMETER, ZRKerrno);
    EXPECT_EQ(-1, ShowSnapKzpGen(kArray, nullptr, 1, 0, &groups.count, nullptr));
    EXPECT_EQ(ZRK_ERR_PARAMETER, ZRKerrno);
    EXPECT_TRUE(service.commands().empty());
}

TEST_F(ShowGenerationsLan, ArrayRefusalAndRoomOverTheLink) {
    // The array's refusal is its error code.
    service.reply("1\n5300\nno volume\n");
    Groups groups;
    ZRKerrno = 0;
    EXPECT_EQ(-1, ShowSnapKzpGen(kArray, nullptr, 99, 0, &groups.count, &groups.ptr));
    EXPECT_EQ(0x15300, ZRKerrno);
    EXPECT_EQ(Groups::sentinel(), groups.ptr);

    // Two rows for the room of one: refused before a row is written.
    service.reply("0\n2\n1\t2\t3\t4\t5\t6\n1\t2\t3\t4\t5\t6");
    const int id = 1;
    CliSnapKzpRestoreSize row = Filled();
    int count = -1;
    EXPECT_EQ(-1,
              ShowSnapKzpRestoreSize(kArray, nullptr, 1, &id, IP_RESTORE_BY_ID, &count, &row, 1));
    EXPECT_EQ(ZRK_ERR_REPLY_INCOMPLETE, ZRKerrno);
    EXPECT_TRUE(Untouched(row));
}

// ---- trace lines
// ----------------------------------------------------------------------

TEST(ShowGenerationsTrace, ColumnLines) {
    zrktest::InstallRoot root;
    root.writeTraceDefinition("[TRACEDEFINE]\npath=" + root.traceDir() +
                              "\nsize=512\ngen=2\nmax=4\n[WXAPI]\nlevel=5\n");
    ZRKC_Com_OpenTrace(1017);
    Groups groups;
    EXPECT_EQ(0, ParseGen("0\nA\tB\tHEADX\n1\nC\tD\tGROUPX\n1\nIDLINE\n", &groups));
    Groups shortHeader;
    EXPECT_EQ(-1, ParseGen("0\n4\n0", &shortHeader));
    CliSnapKzpRestoreSize row;
    int count = 0;
    EXPECT_EQ(-1, zrkip::ParseSnapKzpRestoreSizeText("0\n1\n1\t2\t3\t4\t5", &count, &row, 1));
    ZRKC_Com_CloseTrace();
    const std::string trace = root.traceText();
    const std::string g = "INFO : ShowSnapKzpGen : ";
    const std::string r = "INFO : ShowSnapKzpRestoreSize : ";
    for (const std::string &want : {g + "0 - A", g + "1 - B", g + "2 - default", g + "0 - C",
                                    g + "2 - default", g + "1 - Err", r + "4 - 5", r + "5 - Err"}) {
        EXPECT_NE(std::string::npos, trace.find(want)) << want;
    }
    // Identifier lines are not traced.
    EXPECT_EQ(std::string::npos, trace.find("IDLINE"));
}

// ---- the fuzz corpus
// ----------------------------------------------------------------

// Every input kept for the fuzz target, through both parsers with the
// target's room (byte 0 modulo 4): a success stays within the room, a
// failure carries its reason, hands nothing out and leaves the rows alone.
TEST(ShowGenerations, FuzzCorpusReplays) {
    const size_t files = zrktest::ForEachCorpusInput(
        "show_generations", 1, [](const std::string &name, const std::string &data) {
            const size_t room = static_cast<unsigned char>(data[0]) % 4;
            const std::string text(data.c_str() + 1);
            Groups groups;
            if (ParseGen(text, &groups) != 0) {
                EXPECT_NE(0, ZRKerrno) << name;
                EXPECT_EQ(Groups::sentinel(), groups.ptr) << name;
            } else {
                Read(groups);
            }
            std::vector<CliSnapKzpRestoreSize> rows(room + 1, Filled());
            int count = -1;
            ZRKerrno = 0;
            const int rc =
                zrkip::ParseSnapKzpRestoreSizeText(text.c_str(), &count, rows.data(), room);
            EXPECT_TRUE(Untouched(rows[room])) << name;
            if (rc == 0) {
                EXPECT_LE(static_cast<size_t>(count), room) << name;
            } else {
                EXPECT_NE(0, ZRKerrno) << name;
                EXPECT_TRUE(room == 0 || Untouched(rows[0])) << name;
            }
        });
    EXPECT_GE(files, 10u);
}

}  // namespace
