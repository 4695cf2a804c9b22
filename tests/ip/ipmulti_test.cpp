// The concurrent KZP start and the multi-session command against a loopback
// stand-in of the LAN interface management service: command texts, the
// phases, the result rows and the failures that hand back no rows.
#include "../../ip/ipaction.h"
#include "lan_fixture.h"
#include "sim_client.h"
#include "zrktvc.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char *kArray = "192.0.2.10";

class IpMultiTest : public iptest::ServiceTest {};

CONC_SES_INFO Entry(uint32_t kind = 0) {
    CONC_SES_INFO e{};
    e.SrcOlu = 1;
    e.DstOlu = 2;
    e.CopyKind = kind;
    return e;
}

// ---- concurrent start -------------------------------------------------------

TEST_F(IpMultiTest, ConcurrentPhases) {
    const std::string head =
        "start copy-concurrent-kzp -session-type kzp -source-volume-number 1 "
        "-destination-volume-number 2";
    uint32_t concId = 0;
    uint32_t rowCount = 99;
    CliConcStartResult *rows = nullptr;

    service.reply("00\n2F");
    ASSERT_EQ(0, StartCopyConcurrentKzp(kArray, "u", 0, nullptr, 0, &concId, Entry(), &rowCount,
                                        &rows));
    EXPECT_EQ(47u, concId);

    service.reply("00");  // the middle phase reads nothing after the status
    ASSERT_EQ(0, StartCopyConcurrentKzp(kArray, "u", 0, nullptr, 1, &concId, Entry(), &rowCount,
                                        &rows));

    service.reply("00\n1\n0\t0\t1A\t1\t2\t0\t0");
    ASSERT_EQ(0, StartCopyConcurrentKzp(kArray, "u", 0, nullptr, 2, &concId, Entry(), &rowCount,
                                        &rows));
    ASSERT_EQ(1u, rowCount);
    ASSERT_NE(nullptr, rows);
    EXPECT_EQ(0u, rows[0].uiResult);
    EXPECT_EQ(0u, rows[0].uiErrCode);
    EXPECT_EQ(26u, rows[0].uiSessionID);
    EXPECT_EQ(1u, rows[0].uiSrcOlu);
    EXPECT_EQ(2u, rows[0].uiDstOlu);
    EXPECT_EQ(0u, rows[0].uiSrcLba_high | rows[0].uiSrcLba_low | rows[0].uiDstLba_high |
                      rows[0].uiDstLba_low);
    std::free(rows);

    const std::vector<std::string> expected = {
        head + "    -mode no-commit ",
        head + "    -mode no-commit -id 47",
        head + "     -id 47",
    };
    EXPECT_EQ(expected, service.commands());
}

TEST_F(IpMultiTest, ConcurrentTexts) {
    CONC_SES_INFO ext = Entry(8);
    ext.SrcExtent_low = 5;
    ext.SrcSize_low = 100;
    ext.DstExtent_high = 1;
    CONC_SES_INFO sizeOnly = Entry(16);
    sizeOnly.SrcSize_high = 1;
    CONC_SES_INFO restart = Entry();
    restart.OptionFlag = 0x2000;
    static const int ids[] = {4, 5, 9};
    uint32_t concId = 7;
    uint32_t count = 0;
    CliConcStartResult *rows = nullptr;
    struct Case {
        CONC_SES_INFO entry;
        int phase;
        uint32_t *id;
        std::string reply;
        std::string text;
    } const cases[] = {
        {Entry(64), 1, &concId, "00",
         "start copy-concurrent-kzp -session-type snap+ -source-volume-number 1 "
         "-destination-volume-number 2    -mode no-commit -id 7"},
        {Entry(3), 1, nullptr, "00",
         "start copy-concurrent-kzp -session-type snap+ -source-volume-number 1 "
         "-destination-volume-number 2    -mode no-commit "},
        {ext, 1, &concId, "00",
         "start copy-concurrent-kzp -session-type quick -source-volume-number 1 "
         "-destination-volume-number 2 -size 100 -source-lba 5 -destination-lba 4294967296 "
         "-mode no-commit -id 7"},
        {sizeOnly, 2, nullptr, "00\n1\n0\t0\t1\t1\t2\t0\t0",
         "start copy-concurrent-kzp -session-type snap -source-volume-number 1 "
         "-destination-volume-number 2 -size 4294967296 -source-lba 0 -destination-lba 0  "},
        {restart, 2, &concId, "00\n1\n0\t0\t4", "start copy-concurrent-kzp -restart 4,5,9"},
    };
    std::vector<std::string> expected;
    for (const Case &c : cases) {
        service.reply(c.reply);
        EXPECT_EQ(0, StartCopyConcurrentKzp(kArray, "u", 3, ids, c.phase, c.id, c.entry, &count,
                                            &rows))
            << c.text << " ZRKerrno=" << ZRKerrno;
        std::free(rows);
        rows = nullptr;
        expected.push_back(c.text);
    }
    EXPECT_EQ(expected, service.commands());
}

TEST_F(IpMultiTest, ConcurrentRowColumns) {
    uint32_t count = 0;
    CliConcStartResult *rows = nullptr;
    service.reply("00\n2\n1\t5200\t1A\t3\t4\t123456789\tFFFFFFFF00000001\textra\n"
                  "0\t0\t1B\t5\t6\t\t12345678\n");
    ASSERT_EQ(0, StartCopyConcurrentKzp(kArray, "u", 0, nullptr, 2, nullptr, Entry(), &count,
                                        &rows));
    ASSERT_EQ(2u, count);
    EXPECT_EQ(1u, rows[0].uiResult);
    EXPECT_EQ(0x5200u, rows[0].uiErrCode);
    EXPECT_EQ(0x1Au, rows[0].uiSessionID);
    EXPECT_EQ(3u, rows[0].uiSrcOlu);
    EXPECT_EQ(4u, rows[0].uiDstOlu);
    EXPECT_EQ(0x1u, rows[0].uiSrcLba_high);
    EXPECT_EQ(0x23456789u, rows[0].uiSrcLba_low);
    EXPECT_EQ(0xFFFFFFFFu, rows[0].uiDstLba_high);
    EXPECT_EQ(0x1u, rows[0].uiDstLba_low);
    EXPECT_EQ(0u, rows[0].uiaReserved[0] | rows[0].uiaReserved[1] | rows[0].uiaReserved[2]);
    EXPECT_EQ(0u, rows[1].uiSrcLba_high | rows[1].uiSrcLba_low);
    EXPECT_EQ(0u, rows[1].uiDstLba_high);
    EXPECT_EQ(0x12345678u, rows[1].uiDstLba_low);
    std::free(rows);
}

// Every failure of the last phase hands back no rows and a count of 0.
TEST_F(IpMultiTest, ConcurrentFailuresHandBackNoRows) {
    struct Case {
        const char *reply;
        int err;
    } const cases[] = {
        {"00\n0", 904},
        {"00", 902},
        {"00\n2\n0\t0\t1\t1\t2\t0\t0", 902},
        {"00\n1\n0\t0\t1\t1\t2\t0", 902},
        {"00\n1\n0\t0\t1\t1\t2\t0\t10000000000000000", 900},
        {"00\n1\n100000000\t0\t1\t1\t2\t0\t0", 900},
        {"00\nFFFFFFFF\n0\t0\t1\t1\t2\t0\t0", 902},
        {"02\n5200", 0x15200},
    };
    for (const Case &c : cases) {
        uint32_t count = 77;
        CliConcStartResult *rows = reinterpret_cast<CliConcStartResult *>(&count);
        ZRKerrno = 0;
        service.reply(c.reply);
        EXPECT_EQ(-1, StartCopyConcurrentKzp(kArray, "u", 0, nullptr, 2, nullptr, Entry(), &count,
                                             &rows))
            << c.reply;
        EXPECT_EQ(c.err, ZRKerrno) << c.reply;
        EXPECT_EQ(nullptr, rows) << c.reply;
        EXPECT_EQ(0u, count) << c.reply;
    }
    // A restart row needs 3 columns only, and fewer fail.
    CONC_SES_INFO restart = Entry();
    restart.OptionFlag = 0x2000;
    static const int ids[] = {4};
    uint32_t count = 0;
    CliConcStartResult *rows = nullptr;
    service.reply("00\n1\n0\t0");
    EXPECT_EQ(-1, StartCopyConcurrentKzp(kArray, "u", 1, ids, 2, nullptr, restart, &count, &rows));
    EXPECT_EQ(902, ZRKerrno);
    EXPECT_EQ(nullptr, rows);
}

TEST_F(IpMultiTest, ConcurrentRefusals) {
    uint32_t count = 0;
    CliConcStartResult *rows = nullptr;
    uint32_t id = 0;
    CONC_SES_INFO restart = Entry();
    restart.OptionFlag = 0x2000;
    std::vector<int> ids(1000, 12345);  // "-restart " and 5999 characters
    ZRKerrno = 0;
    EXPECT_EQ(-1, StartCopyConcurrentKzp(kArray, "u", static_cast<int>(ids.size()), ids.data(), 2,
                                         nullptr, restart, &count, &rows));
    EXPECT_EQ(923, ZRKerrno);
    EXPECT_EQ(-1, StartCopyConcurrentKzp(kArray, "u", 0, nullptr, 0, nullptr, Entry(), &count,
                                         &rows));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(-1, StartCopyConcurrentKzp(kArray, "u", 0, nullptr, 3, &id, Entry(), &count, &rows));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(-1, StartCopyConcurrentKzp(kArray, "u", 0, nullptr, 2, &id, Entry(), nullptr, &rows));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_TRUE(service.requests().empty());
}

TEST_F(IpMultiTest, ConcurrentPhaseZeroNeedsLineTwo) {
    uint32_t id = 5;
    service.reply("00");
    EXPECT_EQ(-1, StartCopyConcurrentKzp(kArray, "u", 0, nullptr, 0, &id, Entry(), nullptr,
                                         nullptr));
    EXPECT_EQ(902, ZRKerrno);
    EXPECT_EQ(5u, id);
}

// ---- multi-session command --------------------------------------------------

TEST_F(IpMultiTest, MultiCommandTexts) {
    struct Case {
        int command;
        int option;
        std::string text;
    } const cases[] = {
        {1, 0, "stop copy-session -multi enable  -session-id 3,4"},
        {1, 0x2 | 0x4000, "stop copy-session -multi enable -mode force -session-id 3,4"},
        {1, 0x4000, "stop copy-session -multi enable -mode stop-tracking -session-id 3,4"},
        {10, 0x2, "suspend copy-vz -multi enable -session-id 3,4"},
        {11, 0, "suspend copy-rvz -multi enable  -session-id 3,4"},
        {11, 0x2, "suspend copy-rvz -multi enable -mode force -session-id 3,4"},
        {12, 0x80, "resume copy-vz -multi enable -session-id 3,4"},
        {13, 0, "resume copy-rvz -multi enable  -session-id 3,4"},
        {13, 0x80, "resume copy-rvz -multi enable -remain-mode enable -session-id 3,4"},
        {14, 0, "change copy-vz -multi enable  -session-id 3,4"},
        {14, 0x1000, "change copy-vz -multi enable -action reverse -session-id 3,4"},
        {15, 0x1000 | 0x20, "change copy-rvz -multi enable -action reverse    -session-id 3,4"},
        {15, 0, "change copy-rvz -multi enable -action change -xfer-mode 00  -recovery 0 "
                "-session-id 3,4"},
        {15, 0x20 | 0x100 | 0x200, "change copy-rvz -multi enable -action change -xfer-mode 10 "
                                   "-split 1 -recovery 1 -session-id 3,4"},
        {15, 0x20 | 0x400, "change copy-rvz -multi enable -action change -xfer-mode 10 "
                           "-split 0 -recovery 0 -session-id 3,4"},
        {15, 0x800, "change copy-rvz -multi enable -action change -xfer-mode 03  -recovery 0 "
                    "-session-id 3,4"},
    };
    static const int ids[] = {3, 4};
    std::vector<std::string> expected;
    for (const Case &c : cases) {
        CliMultiSessionResult table[3] = {};
        service.reply("00\n2\n3\t0\t0\n4\t0\t0");
        EXPECT_EQ(0, VastrelCli4MultiOpt(kArray, nullptr, c.option, c.command, 2, ids, table))
            << c.text;
        expected.push_back(c.text);
    }
    EXPECT_EQ(expected, service.commands());
}

void ExpectRow(const CliMultiSessionResult &row, uint32_t a, int32_t b, int32_t c, uint32_t d) {
    EXPECT_EQ(a, row.uiKindOrID);
    EXPECT_EQ(b, row.iResult);
    EXPECT_EQ(c, row.iError);
    EXPECT_EQ(d, row.uiCount);
}

TEST_F(IpMultiTest, MultiRows) {
    static const int ids[] = {3, 4};
    CliMultiSessionResult table[3] = {};
    service.reply("00\n2\n3\t0\t0\n4\t1\t5200\tmore");
    ASSERT_EQ(0, VastrelCli4MultiOpt(kArray, nullptr, 0, 10, 2, ids, table));
    ExpectRow(table[0], 1, 0, 0, 2);
    ExpectRow(table[1], 3, 0, 0, 0);
    ExpectRow(table[2], 4, -1, 0x15200, 0);
    EXPECT_EQ(0x15200, ZRKerrno);
}

TEST_F(IpMultiTest, MultiFailures) {
    static const int ids[] = {3, 4};
    struct Case {
        const char *reply;
        int err;
        uint32_t headCount;
        uint32_t firstRowId;
    } const cases[] = {
        {"00\n3\n3\t0\t0\n4\t0\t0", 902, 0, 0},
        {"00\n2\n3\t0\t0", 902, 2, 3},
        {"00\n2\n3\t0\t0\n4\t0", 902, 2, 3},
        {"00\n2\n3\t0\t0\n100000000\t0\t0", 900, 2, 3},
        {"00", 902, 0, 0},
        {"02\n5200", 0x15200, 0, 0},
        {"00\n100000002\n3\t0\t0\n4\t0\t0", 900, 0, 0},
    };
    for (const Case &c : cases) {
        CliMultiSessionResult table[3] = {};
        service.reply(c.reply);
        EXPECT_EQ(-1, VastrelCli4MultiOpt(kArray, nullptr, 0, 12, 2, ids, table)) << c.reply;
        EXPECT_EQ(c.err, ZRKerrno) << c.reply;
        ExpectRow(table[0], 2, -1, c.err, c.headCount);
        EXPECT_EQ(c.firstRowId, table[1].uiKindOrID) << c.reply;
    }
}

TEST_F(IpMultiTest, MultiRefusals) {
    static const int ids[] = {3};
    struct Case {
        int command;
        int count;
        const int *ids;
        int err;
    } const cases[] = {
        {2, 1, ids, 13}, {0, 1, ids, 13}, {16, 1, ids, 13}, {10, 0, ids, 13}, {10, 1, nullptr, 13},
    };
    for (const Case &c : cases) {
        CliMultiSessionResult table[2] = {};
        EXPECT_EQ(-1, VastrelCli4MultiOpt(kArray, nullptr, 0, c.command, c.count, c.ids, table));
        EXPECT_EQ(c.err, ZRKerrno);
        ExpectRow(table[0], 2, -1, c.err, 0);
    }
    EXPECT_EQ(-1, VastrelCli4MultiOpt(kArray, nullptr, 0, 10, 1, ids, nullptr));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_TRUE(service.requests().empty());
}

// "suspend copy-vz -multi enable" leaves 5078 characters for the list: the
// text of such a list is exactly 5120 characters; one more is refused.
TEST_F(IpMultiTest, MultiListLimit) {
    std::vector<int> ids;
    size_t total = 0;
    while (total + (ids.empty() ? 4 : 5) <= 5078) {
        total += ids.empty() ? 4 : 5;
        ids.push_back(1000 + static_cast<int>(ids.size()));
    }
    for (; total < 5078; ++total) ids.back() *= 10;
    std::string reply = "00\n" + [&] {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%zx", ids.size());
        return std::string(hex);
    }();
    for (int id : ids) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(id));
        reply += "\n" + std::string(hex) + "\t0\t0";
    }
    std::vector<CliMultiSessionResult> table(ids.size() + 1);
    service.reply(reply);
    ASSERT_EQ(0, VastrelCli4MultiOpt(kArray, nullptr, 0, 10, static_cast<int>(ids.size()),
                                     ids.data(), table.data()));
    ASSERT_EQ(1u, service.commands().size());
    EXPECT_EQ(5120u, service.commands()[0].size());
    EXPECT_EQ(ids.size(), table[0].uiCount);
    EXPECT_EQ(static_cast<uint32_t>(ids.back()), table.back().uiKindOrID);

    ids.back() *= 10;
    std::vector<CliMultiSessionResult> refused(ids.size() + 1);
    EXPECT_EQ(-1, VastrelCli4MultiOpt(kArray, nullptr, 0, 10, static_cast<int>(ids.size()),
                                      ids.data(), refused.data()));
    EXPECT_EQ(923, ZRKerrno);
    EXPECT_EQ(1u, service.commands().size());
}

// ---- against the array simulator's LAN front ----------------------------------

class IpActionSim : public iptest::LanSimTest {
protected:
    IpActionSim()
        : LanSimTest("array A1 boxid=\"VASTREL-WX900-0000000000000000000000A1\" address=10.0.0.5\n"
                     "volume A1 0 4194304\nvolume A1 1 4194304\nvolume A1 2 4194304\n"
                     "user admin secret\n",
                     {"10.0.0.5"}, iptest::LanTrace::kRootDefault) {}
};

TEST_F(IpActionSim, StartStopAndMultiSession) {
    const char *array = "10.0.0.5";

    IPCopyReq req{};
    req.SrcOLU = 0;
    req.DstOLU = 1;
    req.CopyAttr = ZRK_IPATTR_WHOLE_VOLUME;
    ZRKsessionid = -1;
    ASSERT_EQ(0, StartCopyKzp(array, "admin", 0, &req)) << ZRKerrno;
    const int first = ZRKsessionid;
    EXPECT_GE(first, 0);
    req.DstOLU = 2;
    ASSERT_EQ(0, StartCopyKzp(array, "admin", 0, &req)) << ZRKerrno;
    const int second = ZRKsessionid;
    EXPECT_NE(first, second);

    // One stop for both, and a stop of a session that is gone.
    const int ids[] = {first, second};
    CliMultiSessionResult table[3] = {};
    ASSERT_EQ(0, VastrelCli4MultiOpt(array, nullptr, 0, 1, 2, ids, table)) << ZRKerrno;
    EXPECT_EQ(1u, table[0].uiKindOrID);
    EXPECT_EQ(2u, table[0].uiCount);
    EXPECT_EQ(static_cast<uint32_t>(first), table[1].uiKindOrID);
    EXPECT_EQ(0, table[1].iResult);
    EXPECT_EQ(static_cast<uint32_t>(second), table[2].uiKindOrID);
    EXPECT_EQ(0, table[2].iResult);

    EXPECT_EQ(-1, StopCopySession(array, "admin", 0, 1, ids));
    EXPECT_EQ(0x15300, ZRKerrno);

    // A concurrent start of two copies: first and last phase.
    CONC_SES_INFO entry{};
    entry.SrcOlu = 0;
    entry.DstOlu = 1;
    uint32_t concId = 0;
    ASSERT_EQ(0, StartCopyConcurrentKzp(array, "admin", 0, nullptr, 0, &concId, entry, nullptr,
                                        nullptr))
        << ZRKerrno;
    entry.DstOlu = 2;
    uint32_t count = 0;
    CliConcStartResult *rows = nullptr;
    ASSERT_EQ(0, StartCopyConcurrentKzp(array, "admin", 0, nullptr, 2, &concId, entry, &count,
                                        &rows))
        << ZRKerrno;
    ASSERT_EQ(2u, count);
    std::vector<uint32_t> dsts;
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(0u, rows[i].uiResult);
        EXPECT_EQ(0u, rows[i].uiSrcOlu);
        dsts.push_back(rows[i].uiDstOlu);
    }
    std::sort(dsts.begin(), dsts.end());
    EXPECT_EQ((std::vector<uint32_t>{1, 2}), dsts);
    const int started[] = {static_cast<int>(rows[0].uiSessionID),
                           static_cast<int>(rows[1].uiSessionID)};
    std::free(rows);
    EXPECT_EQ(0, StopCopySession(array, "admin", 0x2, 2, started)) << ZRKerrno;
    EXPECT_EQ(0, ZRKIPLogOut(array, nullptr, 0, nullptr));
}

}  // namespace

namespace {

std::string TraceBytes(const zrktest::InstallRoot &root) { return root.traceText(); }

// The multi-session command opens the API trace itself and leaves its
// start, parameter, column and end lines there.
TEST_F(IpMultiTest, MultiTracesItsLines) {
    static const int ids[] = {3};
    CliMultiSessionResult table[2] = {};
    service.reply("00\n1\n3\t1\t5200");
    ASSERT_EQ(0, VastrelCli4MultiOpt(kArray, nullptr, 0x2, 1, 1, ids, table));
    const std::string trace = TraceBytes(root);
    EXPECT_NE(std::string::npos, trace.find("INFO : VastrelCli4MultiOpt : START"));
    EXPECT_NE(std::string::npos,
              trace.find("VastrelCli4MultiOpt : cpIPaddress=[192.0.2.10] Option=2 SessionCount=1"));
    EXPECT_NE(std::string::npos, trace.find("VastrelCli4MultiOpt : 2 - 5200"));
    EXPECT_NE(std::string::npos,
              trace.find("INFO : VastrelCli4MultiOpt : END(ret=0, ZRKerrno=86528)"));
}

}  // namespace
