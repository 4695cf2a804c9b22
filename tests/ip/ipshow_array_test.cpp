// The array identity, model and copy-function queries against a loopback
// stand-in of the LAN interface management service: reply shapes, the
// records byte for byte, and the per-address caches, proved by counting the
// commands the service receives.
#include "../../ip/ipshow_array.h"
#include "ipaction_service.h"
#include "lan_fixture.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char *kArray = "192.0.2.20";

class IpShowArrayTest : public iptest::ServiceTest {
protected:
    size_t Sent() const { return service.commands().size(); }
    std::string Trace() const { return root.traceText(); }
};

std::string Bytes(const void *data, size_t size) {
    return std::string(static_cast<const char *>(data), size);
}

// ---- reply shapes common to the three queries ------------------------------------

struct Shape {
    const char *what;
    std::string reply;
    int error;
};

const std::vector<Shape> &HeadShapes() {
    static const std::vector<Shape> shapes = {
        {"status line only", "00", 902},
        {"failed status line only", "02", 902},
        {"empty reply", "", 1905},
        {"leading newline", "\n00\n1", 904},
        {"array error, status 2", "02\n5310", 0x15310},
        {"array error, status 1 with 4 lines", "01\n5200\n\n", 0x15200},
        {"status 1 with 2 lines", "01\n5200", 904},
        {"status beyond 32 bits", "100000000\n0\n0\n0", 900},
        {"status beyond 64 bits", "10000000000000000\n0\n0\n0", 900},
    };
    return shapes;
}

using Query = std::function<int(const char *ip)>;

void ExpectShapes(IpShowArrayTest *, iptest::FakeService &service, const Query &query) {
    for (const Shape &shape : HeadShapes()) {
        service.reply(shape.reply);
        ZRKerrno = 0;
        EXPECT_EQ(-1, query(kArray)) << shape.what;
        EXPECT_EQ(shape.error, ZRKerrno) << shape.what;
    }
}

TEST_F(IpShowArrayTest, BoxIdReplyShapes) {
    char box[ZRK_BOXID_LEN];
    std::memset(box, 'z', sizeof box);
    ExpectShapes(this, service, [&](const char *ip) { return ShowBoxid(ip, nullptr, box, 1); });
    // Nothing was written and nothing cached: every call asked the array.
    EXPECT_EQ(std::string(40, 'z'), Bytes(box, sizeof box));
    EXPECT_EQ(HeadShapes().size(), Sent());
}

TEST_F(IpShowArrayTest, CopyFunctionsReplyShapes) {
    CliCopyFunctions record;
    std::memset(&record, 0x5A, sizeof record);
    ExpectShapes(this, service,
                 [&](const char *ip) { return ShowCopyFunctions(ip, nullptr, &record, 1); });
    const std::string more[][2] = {
        {"00\n1\t0\t1\t1", "902"},                          // no line 3
        {"00\n1\t0\t1\n1\t2\t3\t4\t5", "902"},             // line 2 with 3 columns
        {"00\n1\t0\t1\t1\t\n1\t2\t3\t4\t5", "ok"},          // trailing TAB: still 4
        {"00\n1\t0\t1\t\n1\t2\t3\t4\t5", "902"},           // trailing TAB opens no column
        {"00\n1\t0\t1\t1\n1\t2\t3\t4", "902"},             // line 3 with 4 columns
        {"00\n\t\t\t\t\n\t\t\t\t\t", "ok"},
        {"00\n\t\t\t\n\t\t\t\t\t", "902"},                // 3 columns before the last TAB                     // empty columns read as 0
        {"00\n11111111111111111\t0\t1\t1\n1\t2\t3\t4\t5", "900"},  // 17 characters
        {"00\n1\t0\t1\t1\n10000000000000000\t2\t3\t4\t5", "900"},  // beyond 64 bits
    };
    int n = 0;
    for (const auto &c : more) {
        std::memset(&record, 0x5A, sizeof record);
        service.reply(c[0]);
        ZRKerrno = 0;
        const std::string ip = "shape-" + std::to_string(n++);
        const int rc = ShowCopyFunctions(ip.c_str(), nullptr, &record, 1);
        if (c[1] == "ok") {
            EXPECT_EQ(0, rc) << c[0];
        } else {
            EXPECT_EQ(-1, rc) << c[0];
            EXPECT_EQ(std::stoi(c[1]), ZRKerrno) << c[0];
            // A failed query leaves the caller's record as it was.
            CliCopyFunctions untouched;
            std::memset(&untouched, 0x5A, sizeof untouched);
            EXPECT_EQ(Bytes(&untouched, sizeof untouched), Bytes(&record, sizeof record)) << c[0];
        }
    }
}

TEST_F(IpShowArrayTest, ModelReplyShapes) {
    CliModelInfo model;
    std::memset(&model, 0x5A, sizeof model);
    ExpectShapes(this, service, [&](const char *ip) { return ShowModelInfo(ip, nullptr, &model, 1); });
    const std::string more[][2] = {
        {"00\n1\t2\n3\t4", "902"},                        // no line 4
        {"00\n1\t2\n3\t4\n5\t6\t7", "902"},               // line 4 with 3 columns
        {"00\n1\t2\n3\t4\n5\t6\t7\t", "902"},             // trailing TAB opens no column
        {"00\n1\n3\t4\n5\t6\t7\t8", "902"},               // line 2 with 1 column
        {"00\n1\t2\n\n5\t6\t7\t8", "902"},                // empty line 3: no columns
        {"00\n1\t2\n3\t4\n5\t6\t7\t10000000000000000", "900"},
    };
    for (const auto &c : more) {
        service.reply(c[0]);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ShowModelInfo(kArray, nullptr, &model, 1)) << c[0];
        EXPECT_EQ(std::stoi(c[1]), ZRKerrno) << c[0];
    }
    CliModelInfo untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    EXPECT_EQ(Bytes(&untouched, sizeof untouched), Bytes(&model, sizeof model));
}

TEST_F(IpShowArrayTest, RoomAndOutputAreCheckedBeforeSending) {
    char box[ZRK_BOXID_LEN] = {};
    CliCopyFunctions functions{};
    CliModelInfo model{};
    EXPECT_EQ(-1, ShowBoxid(kArray, nullptr, box, 0));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(-1, ShowBoxid(kArray, nullptr, nullptr, 1));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(-1, ShowCopyFunctions(kArray, nullptr, &functions, 0));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(-1, ShowModelInfo(kArray, nullptr, &model, 0));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(0u, Sent());
}

// ---- records byte for byte ---------------------------------------------------------

TEST_F(IpShowArrayTest, BoxIdIsLineTwoWhole) {
    char box[ZRK_BOXID_LEN];
    std::memset(box, 'z', sizeof box);
    service.reply("00\nVX0123456789");
    ASSERT_EQ(0, ShowBoxid("a1", nullptr, box, 1)) << ZRKerrno;
    EXPECT_EQ(std::string("VX0123456789") + std::string(28, '\0'), Bytes(box, sizeof box));
    EXPECT_EQ((std::vector<std::string>{"show boxid"}), service.commands());

    // A TAB is part of the BoxID; a longer line is cut to 40 bytes.
    const std::string longer = "AB\tCD" + std::string(40, 'x');
    service.reply("00\n" + longer + "\n");
    ASSERT_EQ(0, ShowBoxid("a2", nullptr, box, 1)) << ZRKerrno;
    EXPECT_EQ(longer.substr(0, 40), Bytes(box, sizeof box));
}

TEST_F(IpShowArrayTest, CopyFunctionsRecord) {
    CliCopyFunctions record;
    std::memset(&record, 0xCC, sizeof record);
    service.reply("00\n1\tFFFF\t89ABCDEF\t180000001\tE\n10\t20\t30\t1FF03\t40\t3\t77");
    ASSERT_EQ(0, ShowCopyFunctions(kArray, nullptr, &record, 1)) << ZRKerrno;
    EXPECT_EQ((std::vector<std::string>{"show copy-functions"}), service.commands());
    std::string expected(72, '\xCC');
    expected.replace(4, 4, std::string("\x00\x00\x00\x01", 4));
    expected.replace(20, 4, "\x89\xAB\xCD\xEF");
    expected.replace(28, 4, std::string("\x80\x00\x00\x01", 4));
    const uint32_t numbers[] = {0x10, 0x20, 0x30, 0x1FF03, 0x40, 0x3};
    expected.replace(32, sizeof numbers, Bytes(numbers, sizeof numbers));
    EXPECT_EQ(expected, Bytes(&record, sizeof record));
}

TEST_F(IpShowArrayTest, CopyFunctionsMaskColumns) {
    struct Case {
        const char *column;
        uint8_t byte7;
        uint8_t byte4;
    } cases[] = {
        {"1", 0x01, 0x00},
        {"100000001", 0x01, 0x00},          // the ninth digit is the high half, not kept
        {"100000000", 0x00, 0x00},
        {"0x1F000002", 0x02, 0x1F},
        {"FFFFFFFFFFFFFFFF", 0xFF, 0xFF},
    };
    int n = 0;
    for (const Case &c : cases) {
        CliCopyFunctions record{};
        service.reply(std::string("00\n") + c.column + "\t0\t0\t0\n0\t0\t0\t0\t0");
        const std::string ip = "mask-" + std::to_string(n++);
        ASSERT_EQ(0, ShowCopyFunctions(ip.c_str(), nullptr, &record, 1)) << c.column;
        EXPECT_EQ(c.byte7, record.ucaKzpFunc[7]) << c.column;
        EXPECT_EQ(c.byte4, record.ucaKzpFunc[4]) << c.column;
    }
}

TEST_F(IpShowArrayTest, CopyFunctionsOptionalSixthNumberKeepsCallersValue) {
    CliCopyFunctions record{};
    record.uiDetailFlags = 0xAABBCCDD;
    service.reply("00\n1\t0\t1\t1\n1\t2\t3\t4\t5");
    ASSERT_EQ(0, ShowCopyFunctions(kArray, nullptr, &record, 1)) << ZRKerrno;
    EXPECT_EQ(0xAABBCCDDu, record.uiDetailFlags);
    EXPECT_EQ(5u, record.uiMaxConcSuspend);
}

TEST_F(IpShowArrayTest, ModelRecord) {
    CliModelInfo model;
    std::memset(&model, 0xCC, sizeof model);
    service.reply("00\n1\t2\tF0\n3\t1FF\n5\t6\t7\t2\t9\t4\t99");
    ASSERT_EQ(0, ShowModelInfo(kArray, nullptr, &model, 1)) << ZRKerrno;
    EXPECT_EQ(std::string("\x01\x02\x03\xFF\x05\x06\x07\x02\x09\x04", 10) + std::string(22, '\0'),
              Bytes(&model, sizeof model));

    // Four columns on line 4: bytes 8 and 9 are 0.
    service.reply("00\n1\t2\n3\t4\n5\t6\t7\t8\n");
    ASSERT_EQ(0, ShowModelInfo(kArray, nullptr, &model, 1)) << ZRKerrno;
    EXPECT_EQ(std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8) + std::string(24, '\0'),
              Bytes(&model, sizeof model));
    // The model is never cached.
    EXPECT_EQ(2u, Sent());
}

// ---- caches --------------------------------------------------------------------------

TEST_F(IpShowArrayTest, CopyFunctionsAreAskedOncePerAddress) {
    ASSERT_EQ(0, ZRKC_Com_OpenTrace(1001));
    service.reply("00\n1\t0\t3\t80000001\n40\t20\t30\t2\t10\t1");
    CliCopyFunctions first{};
    ASSERT_EQ(0, ShowCopyFunctions(kArray, nullptr, &first, 1)) << ZRKerrno;
    CliCopyFunctions second;
    std::memset(&second, 0xEE, sizeof second);
    ASSERT_EQ(0, ShowCopyFunctions(kArray, "other-user", &second, 1)) << ZRKerrno;
    EXPECT_EQ(Bytes(&first, sizeof first), Bytes(&second, sizeof second));
    EXPECT_EQ(1u, Sent());
    ZRKC_Com_CloseTrace();

    const std::string trace = Trace();
    EXPECT_NE(std::string::npos, trace.find("INFO : ShowCopyFunctions : START"));
    EXPECT_NE(std::string::npos, trace.find("ShowCopyFunctions : cpIPaddress=[192.0.2.20]"));
    EXPECT_NE(std::string::npos, trace.find("ShowCopyFunctions : 0 - 1"));
    EXPECT_EQ(std::string::npos, trace.find("ShowCopyFunctions : 1 - 0"));  // not traced
    EXPECT_NE(std::string::npos, trace.find("ShowCopyFunctions : 3 - 80000001"));
    EXPECT_NE(std::string::npos, trace.find("ShowCopyFunctions : 5 - 1"));
    EXPECT_NE(std::string::npos, trace.find("INFO : ShowCopyFunctions : END(ret=0, ZRKerrno="));
}

TEST_F(IpShowArrayTest, BoxIdCacheKeepsAddressesApart) {
    service.reply("00\nBOX-UPPER");
    service.reply("00\nBOX-LOWER");
    char box[ZRK_BOXID_LEN] = {};
    ASSERT_EQ(0, ShowBoxid("ARRAY-A", nullptr, box, 1));
    EXPECT_EQ("BOX-UPPER", std::string(box, strnlen(box, 40)));
    ASSERT_EQ(0, ShowBoxid("array-a", nullptr, box, 1));
    EXPECT_EQ("BOX-LOWER", std::string(box, strnlen(box, 40)));
    ASSERT_EQ(0, ShowBoxid("ARRAY-A", nullptr, box, 1));
    EXPECT_EQ("BOX-UPPER", std::string(box, strnlen(box, 40)));
    EXPECT_EQ(2u, Sent());
}

TEST_F(IpShowArrayTest, FailedQueryIsNotCached) {
    char box[ZRK_BOXID_LEN] = {};
    service.reply("02\n5310");
    EXPECT_EQ(-1, ShowBoxid(kArray, nullptr, box, 1));
    service.reply("00\nBOX1");
    ASSERT_EQ(0, ShowBoxid(kArray, nullptr, box, 1));
    ASSERT_EQ(0, ShowBoxid(kArray, nullptr, box, 1));
    EXPECT_EQ(2u, Sent());

    CliCopyFunctions record{};
    service.reply("00\n1\t0\t1\n1\t2\t3\t4\t5");   // line 2 with 3 columns
    EXPECT_EQ(-1, ShowCopyFunctions(kArray, nullptr, &record, 1));
    EXPECT_EQ(902, ZRKerrno);
    service.reply("00\n1\t0\t1\t1\n1\t2\t3\t4\t5");
    EXPECT_EQ(0, ShowCopyFunctions(kArray, nullptr, &record, 1));
    EXPECT_EQ(0, ShowCopyFunctions(kArray, nullptr, &record, 1));
    EXPECT_EQ(4u, Sent());
}

TEST_F(IpShowArrayTest, SixtyFifthAddressIsNeverCached) {
    char box[ZRK_BOXID_LEN] = {};
    for (int i = 0; i < 64; ++i) {
        service.reply("00\nBOX" + std::to_string(i));
        ASSERT_EQ(0, ShowBoxid(("host" + std::to_string(i)).c_str(), nullptr, box, 1));
    }
    ASSERT_EQ(64u, Sent());
    for (int round = 0; round < 2; ++round) {
        service.reply("00\nBOX64-" + std::to_string(round));
        ASSERT_EQ(0, ShowBoxid("host64", nullptr, box, 1));
        EXPECT_EQ("BOX64-" + std::to_string(round), std::string(box, strnlen(box, 40)));
    }
    EXPECT_EQ(66u, Sent());
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(0, ShowBoxid(("host" + std::to_string(i)).c_str(), nullptr, box, 1));
        EXPECT_EQ("BOX" + std::to_string(i), std::string(box, strnlen(box, 40)));
    }
    EXPECT_EQ(66u, Sent());
}

// Keys longer than the key field are never stored, so two such addresses
// that share the first 255 or 256 characters never share an answer.
TEST(IpShowArrayCache, LongAddressesAreNotCached) {
    static zrkip::AddressCache<int> cache;
    const std::string longest(255, 'h');
    const std::string tooLong = longest + "1";
    const std::string tooLong2 = longest + "2";
    cache.Store(tooLong.c_str(), 1);
    EXPECT_EQ(0u, cache.Fill());
    EXPECT_EQ(nullptr, cache.Find(tooLong.c_str()));
    EXPECT_EQ(nullptr, cache.Find(tooLong2.c_str()));
    EXPECT_EQ(nullptr, cache.Find(longest.c_str()));
    cache.Store(longest.c_str(), 7);
    ASSERT_NE(nullptr, cache.Find(longest.c_str()));
    EXPECT_EQ(7, *cache.Find(longest.c_str()));
    EXPECT_EQ(nullptr, cache.Find(tooLong.c_str()));
    EXPECT_EQ(nullptr, cache.Find(longest.substr(0, 254).c_str()));
    cache.Store(nullptr, 3);
    EXPECT_EQ(1u, cache.Fill());
}

// ---- a failed status whose error code maps to nothing ---------------------------------

// Outputs filled with a known pattern, to prove a failed parse leaves them as
// they were.
struct Outputs {
    Outputs() {
        std::memset(box, 'z', sizeof box);
        std::memset(&functions, 0x5A, sizeof functions);
        std::memset(&model, 0x5A, sizeof model);
        std::memset(&list, 0x5A, sizeof list);
        std::memset(&usage, 0x5A, sizeof usage);
        std::memset(&disk, 0x5A, sizeof disk);
    }
    void ExpectUntouched() const {
        EXPECT_EQ(std::string(sizeof box, 'z'), Bytes(box, sizeof box));
        const auto same = [](const void *data, size_t size) {
            return Bytes(data, size) == std::string(size, '\x5A');
        };
        EXPECT_TRUE(same(&functions, sizeof functions));
        EXPECT_TRUE(same(&model, sizeof model));
        EXPECT_TRUE(same(&list, sizeof list));
        EXPECT_TRUE(same(&usage, sizeof usage));
        EXPECT_TRUE(same(&disk, sizeof disk));
    }
    char box[ZRK_BOXID_LEN];
    CliCopyFunctions functions;
    CliModelInfo model;
    CliRvzBufferList list;
    CliRvzBufferUsage usage;
    CliRvzDiskBuffer disk;
};

// "02" with an empty error line carries array code 0, which names no error
// unless the error catalogue does: the parse must still fail with a ZRKerrno
// (904), never with -1 and ZRKerrno 0, and leave its output as it was. No
// install root here, so no catalogue.
TEST(IpShowArrayText, FailedStatusWithEmptyErrorCodeStillFails) {
    const char *const reply = "02\n";
    auto out = std::make_unique<Outputs>();
    const std::vector<std::pair<const char *, std::function<int()>>> texts = {
        {"boxid", [&] { return zrkip::ParseBoxidText(reply, out->box, 1); }},
        {"copy-functions",
         [&] { return zrkip::ParseCopyFunctionsText(reply, &out->functions, 1); }},
        {"model-info", [&] { return zrkip::ParseModelInfoText(reply, &out->model, 1); }},
        {"rvz-buffer", [&] { return zrkip::ParseRvzBufferText(reply, &out->list, 0); }},
        {"rvz-buffer-usage",
         [&] { return zrkip::ParseRvzBufferUsageText(reply, &out->usage, 1); }},
        {"rvz-disk-buffer",
         [&] { return zrkip::ParseRvzDiskBufferText(reply, &out->disk, 1); }},
    };
    for (const auto &text : texts) {
        ZRKerrno = 0;
        EXPECT_EQ(-1, text.second()) << text.first;
        EXPECT_EQ(904, ZRKerrno) << text.first;
    }
    out->ExpectUntouched();
}

// The same reply through the queries fails with a ZRKerrno (here the
// catalogue's value for code 0) and leaves every output as it was.
TEST_F(IpShowArrayTest, FailedStatusWithEmptyErrorCodeFailsEveryQuery) {
    auto out = std::make_unique<Outputs>();
    const std::vector<std::pair<const char *, std::function<int()>>> queries = {
        {"boxid", [&] { return ShowBoxid(kArray, nullptr, out->box, 1); }},
        {"copy-functions", [&] { return ShowCopyFunctions(kArray, nullptr, &out->functions, 1); }},
        {"model-info", [&] { return ShowModelInfo(kArray, nullptr, &out->model, 1); }},
        {"rvz-buffer", [&] { return ShowRvzBuffer(kArray, nullptr, &out->list, 8); }},
        {"rvz-buffer-usage",
         [&] { return ShowRvzBufferUsage(kArray, nullptr, 1, 0, &out->usage, 1); }},
        {"rvz-disk-buffer", [&] { return ShowRvzDiskBuffer(kArray, nullptr, &out->disk, 1); }},
    };
    for (const auto &query : queries) {
        service.reply("02\n");
        ZRKerrno = 0;
        EXPECT_EQ(-1, query.second()) << query.first;
        EXPECT_NE(0, ZRKerrno) << query.first;
    }
    out->ExpectUntouched();
    EXPECT_EQ(6u, Sent());
}

// ---- the text entry points ---------------------------------------------------------------

// The text entry points parse as the queries do and never use the caches.
TEST_F(IpShowArrayTest, TextEntryPointsParseLikeTheQueries) {
    char fromText[ZRK_BOXID_LEN];
    std::memset(fromText, 'z', sizeof fromText);
    ASSERT_EQ(0, zrkip::ParseBoxidText("00\nVX0123456789", fromText, 1)) << ZRKerrno;
    EXPECT_EQ(std::string("VX0123456789") + std::string(28, '\0'), Bytes(fromText, sizeof fromText));
    // Nothing was cached for any address: the query still asks the array.
    service.reply("00\nVX-LIVE");
    char live[ZRK_BOXID_LEN] = {};
    ASSERT_EQ(0, ShowBoxid(kArray, nullptr, live, 1)) << ZRKerrno;
    EXPECT_EQ("VX-LIVE", std::string(live, strnlen(live, sizeof live)));
    EXPECT_EQ(1u, Sent());

    const std::string functionsReply = "00\n1\tFFFF\t89ABCDEF\t180000001\tE\n10\t20\t30\t1FF03\t40\t3\t77";
    CliCopyFunctions a;
    CliCopyFunctions b;
    std::memset(&a, 0xCC, sizeof a);
    std::memset(&b, 0xCC, sizeof b);
    ASSERT_EQ(0, zrkip::ParseCopyFunctionsText(functionsReply.c_str(), &a, 1));
    service.reply(functionsReply);
    ASSERT_EQ(0, ShowCopyFunctions("fn-array", nullptr, &b, 1)) << ZRKerrno;
    EXPECT_EQ(Bytes(&a, sizeof a), Bytes(&b, sizeof b));

    const std::string modelReply = "00\n1\t2\n3\t4\n5\t6\t7\t8\t9\tA";
    CliModelInfo m1;
    CliModelInfo m2;
    std::memset(&m1, 0x5A, sizeof m1);
    std::memset(&m2, 0x5A, sizeof m2);
    ASSERT_EQ(0, zrkip::ParseModelInfoText(modelReply.c_str(), &m1, 1));
    service.reply(modelReply);
    ASSERT_EQ(0, ShowModelInfo(kArray, nullptr, &m2, 1)) << ZRKerrno;
    EXPECT_EQ(Bytes(&m1, sizeof m1), Bytes(&m2, sizeof m2));

    const std::string listReply = "00\n8\t1\n1\t2\t3\t4\t5\t6\t7\t8\t9\tREMOTEBOX";
    CliRvzBufferList l1{};
    CliRvzBufferList l2{};
    ASSERT_EQ(0, zrkip::ParseRvzBufferText(listReply.c_str(), &l1, 1));
    EXPECT_EQ(1u, l1.uiRowCnt);
    EXPECT_EQ(9u, l1.rows[0].uiSize);
    // A room of 0 rows refuses the row before reading it.
    EXPECT_EQ(-1, zrkip::ParseRvzBufferText(listReply.c_str(), &l2, 0));
    EXPECT_EQ(902, ZRKerrno);
    service.reply(listReply);
    ASSERT_EQ(0, ShowRvzBuffer("list-array", nullptr, &l2, 1)) << ZRKerrno;
    EXPECT_EQ(Bytes(&l1, sizeof l1), Bytes(&l2, sizeof l2));

    const std::string usageReply = "00\n100\t40\t60\n1\n0\t100\t40\t60\n2";
    CliRvzBufferUsage u1;
    CliRvzBufferUsage u2;
    std::memset(&u1, 0x5A, sizeof u1);
    std::memset(&u2, 0x5A, sizeof u2);
    ASSERT_EQ(0, zrkip::ParseRvzBufferUsageText(usageReply.c_str(), &u1, 1));
    EXPECT_EQ(2u, u1.uiSessCnt);
    service.reply(usageReply);
    ASSERT_EQ(0, ShowRvzBufferUsage(kArray, nullptr, 1, 0, &u2, 1)) << ZRKerrno;
    EXPECT_EQ(Bytes(&u1, sizeof u1), Bytes(&u2, sizeof u2));

    const std::string diskReply = "00\n1\n1\n0\t1\n1\n5\n0\t10\t100\t40\t60\n1\n0\t100\t40\t60";
    static CliRvzDiskBuffer d1;
    static CliRvzDiskBuffer d2;
    std::memset(&d1, 0x5A, sizeof d1);
    std::memset(&d2, 0x5A, sizeof d2);
    ASSERT_EQ(0, zrkip::ParseRvzDiskBufferText(diskReply.c_str(), &d1, 1));
    EXPECT_EQ(1u, d1.uiEntryCnt);
    EXPECT_EQ(5u, d1.entries[0].uiaRlun[0]);
    service.reply(diskReply);
    ASSERT_EQ(0, ShowRvzDiskBuffer(kArray, nullptr, &d2, 1)) << ZRKerrno;
    EXPECT_EQ(Bytes(&d1, sizeof d1), Bytes(&d2, sizeof d2));

    // No output or no room: 13, as the queries.
    EXPECT_EQ(-1, zrkip::ParseBoxidText("00\nX", fromText, 0));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(-1, zrkip::ParseRvzBufferText("00\n0\t0", nullptr, 8));
    EXPECT_EQ(13, ZRKerrno);
}

}  // namespace
