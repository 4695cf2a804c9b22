// The RVZ buffer queries against a loopback stand-in of the LAN interface
// management service: reply shapes, counts against the records' room and
// the lines present, the records byte for byte, and the list cache, proved
// by counting the commands the service receives.
#include "../../ip/ipshow_array.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr const char *kArray = "192.0.2.30";

class IpShowRvzTest : public iptest::ServiceTest {
protected:
    size_t Sent() const { return service.commands().size(); }
    std::string Trace() const { return root.traceText(); }
};

std::string Bytes(const void *data, size_t size) {
    return std::string(static_cast<const char *>(data), size);
}

template <typename T>
std::string Filled(uint8_t byte) {
    return std::string(sizeof(T), static_cast<char>(byte));
}

struct Shape {
    const char *what;
    std::string reply;
    int error;
};

// Shapes every one of the three queries refuses.
const std::vector<Shape> kHeadShapes = {
    {"status line only", "00", 902},
    {"array error", "02\n5310", 0x15310},
    {"status 1 with 2 lines", "01\n5200", 904},
    {"status beyond 32 bits", "100000000\n8\t0", 900},
    {"leading newline", "\n00\n0", 904},
};

// ---- buffer list -----------------------------------------------------------------

const std::string kRow9 = "3\t1\t1FF\t4\t5\t6\t7\tskipped\t9";

TEST_F(IpShowRvzTest, ListReplyShapes) {
    std::vector<Shape> shapes = kHeadShapes;
    const std::vector<Shape> more = {
        {"line 2 with 1 column", "00\n8", 902},
        {"line 2 trailing TAB", "00\n8\t", 902},
        {"rows announced, lines missing", "00\n8\t3\n" + kRow9 + "\n" + kRow9, 902},
        {"nine rows", "00\n8\t9\n" + [] {
             std::string rows;
             for (int i = 0; i < 9; ++i) rows += kRow9 + "\n";
             return rows;
         }(), 902},
        {"row count beyond 32 bits", "00\n8\t100000001\n" + kRow9, 900},
        {"row with 8 columns", "00\n8\t1\n3\t1\t1\t4\t5\t6\t7\t8", 902},
        {"row with 8 columns and a trailing TAB", "00\n8\t1\n3\t1\t1\t4\t5\t6\t7\t8\t", 902},
        {"empty row line", "00\n8\t1\n", 902},
        {"size beyond 64 bits", "00\n8\t1\n3\t1\t1\t4\t5\t6\t7\t8\t10000000000000000", 900},
    };
    shapes.insert(shapes.end(), more.begin(), more.end());
    for (const Shape &shape : shapes) {
        CliRvzBufferList list;
        std::memset(&list, 0xEE, sizeof list);
        service.reply(shape.reply);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ShowRvzBuffer(kArray, nullptr, &list, IP_RVZ_LIST_ROWS)) << shape.what;
        EXPECT_EQ(shape.error, ZRKerrno) << shape.what;
        EXPECT_EQ(Filled<CliRvzBufferList>(0xEE), Bytes(&list, sizeof list)) << shape.what;
    }
    // Nothing was cached: every call asked the array.
    EXPECT_EQ(shapes.size(), Sent());
}

TEST_F(IpShowRvzTest, ListCountAboveTheCallersRoom) {
    CliRvzBufferList list;
    std::memset(&list, 0xEE, sizeof list);
    service.reply("00\n8\t3\n" + kRow9 + "\n" + kRow9 + "\n" + kRow9);
    EXPECT_EQ(-1, ShowRvzBuffer(kArray, nullptr, &list, 2));
    EXPECT_EQ(902, ZRKerrno);
    EXPECT_EQ(Filled<CliRvzBufferList>(0xEE), Bytes(&list, sizeof list));
    EXPECT_EQ(-1, ShowRvzBuffer(kArray, nullptr, nullptr, 8));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(1u, Sent());
}

TEST_F(IpShowRvzTest, EmptyListIsCached) {
    ASSERT_EQ(0, ZRKC_Com_OpenTrace(1030));
    service.reply("00\n8\t0");
    CliRvzBufferList list{};
    ASSERT_EQ(0, ShowRvzBuffer(kArray, nullptr, &list, IP_RVZ_LIST_ROWS)) << ZRKerrno;
    EXPECT_EQ(8u, list.uiMaxBuffCnt);
    EXPECT_EQ(0u, list.uiRowCnt);
    CliRvzBufferList again{};
    ASSERT_EQ(0, ShowRvzBuffer(kArray, nullptr, &again, IP_RVZ_LIST_ROWS)) << ZRKerrno;
    EXPECT_EQ(Bytes(&list, sizeof list), Bytes(&again, sizeof again));
    EXPECT_EQ((std::vector<std::string>{"show rvz-buffer "}), service.commands());
    ZRKC_Com_CloseTrace();
    const std::string trace = Trace();
    EXPECT_NE(std::string::npos, trace.find("ShowRvzBuffer : cpIPaddress=[192.0.2.30] "));
    EXPECT_NE(std::string::npos, trace.find("ShowRvzBuffer : 0 - 8"));
    EXPECT_NE(std::string::npos, trace.find("INFO : ShowRvzBuffer : END(ret=0, ZRKerrno="));
}

TEST_F(IpShowRvzTest, ListRowsByteForByte) {
    ASSERT_EQ(0, ZRKC_Com_OpenTrace(1030));
    const std::string box = "0123456789ABCDEFGHIJ0123456789ABCDEFGHIJ";
    service.reply("00\n8\t2\tE\n" + kRow9 + "\n" +
                  "11\t2\t3\t100000004\t5\t6\t7\t8\t9\t" + box + "XYZ\textra\n");
    CliRvzBufferList list;
    std::memset(&list, 0xEE, sizeof list);
    ASSERT_EQ(0, ShowRvzBuffer(kArray, nullptr, &list, IP_RVZ_LIST_ROWS)) << ZRKerrno;
    ZRKC_Com_CloseTrace();

    CliRvzBufferList expected;
    std::memset(&expected, 0xEE, sizeof expected);
    expected.uiMaxBuffCnt = 8;
    expected.uiRowCnt = 2;
    CliRvzBufferRow one{};
    one.uiGroupNum = 3;
    one.ucStatus = 1;
    one.ucColumn2 = 0xFF;
    one.uiColumn3 = 4;
    one.uiUse = 5;
    one.uiInterval = 6;
    one.uiWatchTime = 7;
    one.uiSize = 9;   // column 7 is skipped; nine columns leave the box ID zero
    CliRvzBufferRow two{};
    two.uiGroupNum = 0x11;
    two.ucStatus = 2;
    two.ucColumn2 = 3;
    two.uiColumn3 = 4;    // cut to 32 bits
    two.uiUse = 5;
    two.uiInterval = 6;
    two.uiWatchTime = 7;
    two.uiSize = 9;
    std::memcpy(two.caRemoteBoxID, box.data(), 40);
    expected.rows[0] = one;
    expected.rows[1] = two;
    EXPECT_EQ(Bytes(&expected, sizeof expected), Bytes(&list, sizeof list));

    const std::string trace = Trace();
    EXPECT_NE(std::string::npos, trace.find("ShowRvzBuffer : 2 - default"));
    EXPECT_EQ(std::string::npos, trace.find("ShowRvzBuffer : 7 - "));   // skipped
    EXPECT_NE(std::string::npos, trace.find("ShowRvzBuffer : 10 - default"));

    // The cache answers the head and the rows.
    CliRvzBufferList cached;
    std::memset(&cached, 0xEE, sizeof cached);
    ASSERT_EQ(0, ShowRvzBuffer(kArray, nullptr, &cached, IP_RVZ_LIST_ROWS));
    EXPECT_EQ(Bytes(&expected, sizeof expected), Bytes(&cached, sizeof cached));
    EXPECT_EQ(1u, Sent());
    // A cached list with more rows than a smaller room is still refused.
    EXPECT_EQ(-1, ShowRvzBuffer(kArray, nullptr, &cached, 1));
    EXPECT_EQ(902, ZRKerrno);
}

TEST_F(IpShowRvzTest, ListCacheIsPerAddress) {
    service.reply("00\n8\t0");
    service.reply("00\n4\t0");
    CliRvzBufferList list{};
    ASSERT_EQ(0, ShowRvzBuffer("array-1", nullptr, &list, 8));
    ASSERT_EQ(0, ShowRvzBuffer("ARRAY-1", nullptr, &list, 8));
    EXPECT_EQ(4u, list.uiMaxBuffCnt);
    ASSERT_EQ(0, ShowRvzBuffer("array-1", nullptr, &list, 8));
    EXPECT_EQ(8u, list.uiMaxBuffCnt);
    EXPECT_EQ(2u, Sent());
}

// ---- usage -----------------------------------------------------------------------

TEST_F(IpShowRvzTest, UsageReplyShapes) {
    std::vector<Shape> shapes = kHeadShapes;
    const std::vector<Shape> more = {
        {"totals with 2 columns", "00\n1\t2\n0\n0", 902},
        {"no count line", "00\n1\t2\t3", 902},
        {"count 0 without closing line", "00\n1\t2\t3\n0", 902},
        {"count line beyond 32 bits", "00\n1\t2\t3\n100000000\n0", 900},
        {"33 rows", "00\n1\t2\t3\n21\n" + [] {
             std::string rows;
             for (int i = 0; i < 34; ++i) rows += "1\t2\t3\t4\n";
             return rows;
         }(), 902},
        {"rows announced, lines missing", "00\n1\t2\t3\n2\n1\t2\t3\t4\n5", 902},
        {"row with 3 columns", "00\n1\t2\t3\n1\n1\t2\t3\n5", 902},
        {"session line beyond 32 bits", "00\n1\t2\t3\n0\n100000000", 900},
    };
    shapes.insert(shapes.end(), more.begin(), more.end());
    for (const Shape &shape : shapes) {
        CliRvzBufferUsage usage;
        std::memset(&usage, 0xEE, sizeof usage);
        service.reply(shape.reply);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ShowRvzBufferUsage(kArray, nullptr, 1, 1, &usage, 1)) << shape.what;
        EXPECT_EQ(shape.error, ZRKerrno) << shape.what;
        EXPECT_EQ(Filled<CliRvzBufferUsage>(0xEE), Bytes(&usage, sizeof usage)) << shape.what;
    }
    CliRvzBufferUsage usage{};
    EXPECT_EQ(-1, ShowRvzBufferUsage(kArray, nullptr, 1, 1, &usage, 0));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(shapes.size(), Sent());
}

TEST_F(IpShowRvzTest, UsageByteForByte) {
    ASSERT_EQ(0, ZRKC_Com_OpenTrace(1030));
    service.reply("00\nA\tB\tC\tD\n2\n0\t100\t40\tC0\n1\t200\t1FFFFFFFF\t0\t9\n7\n");
    CliRvzBufferUsage usage;
    std::memset(&usage, 0xEE, sizeof usage);
    ASSERT_EQ(0, ShowRvzBufferUsage(kArray, nullptr, 5, 1, &usage, 1)) << ZRKerrno;
    ZRKC_Com_CloseTrace();
    EXPECT_EQ((std::vector<std::string>{"show rvz-buffer-usage -partition 5"}), service.commands());

    CliRvzBufferUsage expected{};
    expected.uiTotalSize = 0xA;
    expected.uiTotalUseSize = 0xB;
    expected.uiTotalSpaceSize = 0xC;
    expected.uiCmCnt = 2;
    expected.rows[0] = {0, 0x100, 0x40, 0xC0};
    expected.rows[1] = {1, 0x200, 0xFFFFFFFF, 0};
    expected.uiSessCnt = 7;
    EXPECT_EQ(Bytes(&expected, sizeof expected), Bytes(&usage, sizeof usage));

    const std::string trace = Trace();
    EXPECT_NE(std::string::npos,
              trace.find("ShowRvzBuffUsage : IPaddress=[192.0.2.30], GroupNum=[5], Option=[1]"));
    EXPECT_NE(std::string::npos, trace.find("ShowRvzBuffUsage : 3 - default"));
    EXPECT_NE(std::string::npos, trace.find("ShowRvzBuffUsage : 4 - default"));

    // Count 0: the next line is the session count. Nothing is cached.
    service.reply("00\n1\t2\t3\n0\n4");
    ASSERT_EQ(0, ShowRvzBufferUsage(kArray, nullptr, 5, 1, &usage, 1)) << ZRKerrno;
    EXPECT_EQ(0u, usage.uiCmCnt);
    EXPECT_EQ(4u, usage.uiSessCnt);
    EXPECT_EQ(0u, usage.rows[0].uiBuffSize);
    EXPECT_EQ(2u, Sent());
}

// ---- disk buffers ----------------------------------------------------------------

// One entry: group, status, the values, the detail line and module lines.
std::string Entry(int group, const std::vector<std::string> &values, const std::string &detail,
                  const std::vector<std::string> &modules) {
    std::string text = std::to_string(group) + "\t1\n" + std::to_string(values.size()) + "\n";
    for (const std::string &v : values) text += v + "\n";
    text += detail + "\n";
    char count[16];
    std::snprintf(count, sizeof count, "%zx", modules.size());
    text += std::string(count) + "\n";
    for (const std::string &m : modules) text += m + "\n";
    return text;
}

TEST_F(IpShowRvzTest, DiskBufferReplyShapes) {
    const std::string detail = "1\t2\t3\t4\t5";
    std::vector<Shape> shapes = kHeadShapes;
    const std::vector<Shape> more = {
        {"no count line", "00\n1", 902},
        {"nine entries", "00\n1\n9\n" + Entry(1, {}, detail, {}), 902},
        {"entry count beyond 32 bits", "00\n1\n100000001\n" + Entry(1, {}, detail, {}), 900},
        {"entries announced, lines missing", "00\n1\n2\n" + Entry(1, {}, detail, {}), 902},
        {"entry line with 1 column", "00\n1\n1\n1\n0\n" + detail + "\n0", 902},
        {"17 values", "00\n1\n1\n1\t1\n11\n" + [] {
             std::string lines;
             for (int i = 0; i < 17; ++i) lines += "1\n";
             return lines;
         }() + detail + "\n0",
         902},
        {"values announced, lines missing", "00\n1\n1\n1\t1\n3\n1\n2\n" + detail, 902},
        {"detail with 4 columns", "00\n1\n1\n" + Entry(1, {"5"}, "1\t2\t3\t4", {}), 902},
        {"detail column of 17 characters",
         "00\n1\n1\n" + Entry(1, {}, "1\t2\t11111111111111111\t4\t5", {}), 900},
        {"33 modules", "00\n1\n1\n" + Entry(1, {}, detail, std::vector<std::string>(33, "1\t2\t3\t4")),
         902},
        {"module with 3 columns", "00\n1\n1\n" + Entry(1, {}, detail, {"1\t2\t3"}), 902},
        {"no module count line", "00\n1\n1\n1\t1\n0\n" + detail, 902},
    };
    shapes.insert(shapes.end(), more.begin(), more.end());
    for (const Shape &shape : shapes) {
        auto disk = std::make_unique<CliRvzDiskBuffer>();
        std::memset(disk.get(), 0xEE, sizeof *disk);
        service.reply(shape.reply);
        ZRKerrno = 0;
        EXPECT_EQ(-1, ShowRvzDiskBuffer(kArray, nullptr, disk.get(), 1)) << shape.what;
        EXPECT_EQ(shape.error, ZRKerrno) << shape.what;
        EXPECT_EQ(Filled<CliRvzDiskBuffer>(0xEE), Bytes(disk.get(), sizeof *disk)) << shape.what;
    }
    EXPECT_EQ(shapes.size(), Sent());
}

TEST_F(IpShowRvzTest, DiskBufferByteForByte) {
    ASSERT_EQ(0, ZRKC_Com_OpenTrace(1030));
    const std::string reply =
        "00\nF\n2\n" +
        Entry(3, {}, "10\t20\t123456789ABC\t5\t\textra", {"0\t1\t2\t3", "1\tABCDEF012\t0\t1"}) +
        Entry(4, {"1FFFFFFFF", "30"}, "0\t0\t0\t0\t0", {});
    service.reply(reply);
    auto disk = std::make_unique<CliRvzDiskBuffer>();
    std::memset(disk.get(), 0xEE, sizeof *disk);
    ASSERT_EQ(0, ShowRvzDiskBuffer(kArray, nullptr, disk.get(), 1)) << ZRKerrno;
    ZRKC_Com_CloseTrace();
    EXPECT_EQ((std::vector<std::string>{"show rvz-disk-buffer"}), service.commands());

    auto expected = std::make_unique<CliRvzDiskBuffer>();
    std::memset(expected.get(), 0, sizeof *expected);
    expected->uiFirstValue = 0xF;
    expected->uiEntryCnt = 2;
    CliRvzDiskBufferEntry &a = expected->entries[0];
    a.uiGroupNum = 3;
    a.uiStatus = 1;
    a.uiDetail0 = 0x10;
    a.uiElapsTime = 0x20;
    a.uiDskBuffSize_high = 0x1234;     // 12 digits: the first 4 are the high half
    a.uiDskBuffSize_low = 0x56789ABC;
    a.uiDskBuffStrgSize_low = 5;
    a.uiCmCnt = 2;
    a.cms[0] = {0, 0, 1, 0, 2, 0, 3};
    a.cms[1] = {1, 0xA, 0xBCDEF012, 0, 0, 0, 1};
    CliRvzDiskBufferEntry &b = expected->entries[1];
    b.uiGroupNum = 4;
    b.uiStatus = 1;
    b.uiRluCnt = 2;
    b.uiaRlun[0] = 0xFFFFFFFF;         // a plain value is cut to 32 bits
    b.uiaRlun[1] = 0x30;
    EXPECT_EQ(Bytes(expected.get(), sizeof *expected), Bytes(disk.get(), sizeof *disk));

    const std::string trace = Trace();
    EXPECT_NE(std::string::npos, trace.find("ShowRvzDiskBuffer : IPaddress=[192.0.2.30]"));
    EXPECT_NE(std::string::npos, trace.find("ShowRvzDiskBuffer : 4 - NULL"));
    EXPECT_NE(std::string::npos, trace.find("ShowRvzDiskBuffer : 5 - default"));
    EXPECT_EQ(std::string::npos, trace.find("ShowRvzDiskBuffer : 0 - 1FFFFFFFF"));   // whole line

    // Nothing is cached.
    service.reply("00\n0\n0");
    ASSERT_EQ(0, ShowRvzDiskBuffer(kArray, nullptr, disk.get(), 1)) << ZRKerrno;
    EXPECT_EQ(0u, disk->uiEntryCnt);
    EXPECT_EQ(2u, Sent());
}

}  // namespace

// ---- against the array simulator's LAN front -------------------------------------

namespace {

// Requests of the simulator's LAN log that hold the text.
size_t Logged(const zrksim::Simulator &sim, const std::string &text) {
    size_t n = 0;
    for (const std::string &line : sim.commandOk("lanlog")) n += line.find(text) != std::string::npos;
    return n;
}

class IpShowSim : public iptest::LanSimTest {
protected:
    IpShowSim()
        : LanSimTest("array A1 boxid=\"VASTREL-WX900-0000000000000000000000A1\" address=10.0.0.5\n"
                     "array B1 boxid=\"VASTREL-WX900-0000000000000000000000B1\" address=10.0.0.6\n"
                     "rvzbuffer A1 3 remote=B1 interval=5 monitor=6 cms=0,1 size=1000 used=100"
                     " rlus=10,11 disksize=4886718345 diskused=2\n"
                     "user admin secret\n",
                     {"10.0.0.5"}, iptest::LanTrace::kRootDefault) {}
};

TEST_F(IpShowSim, IdentityAndBuffersFromTheSimulator) {
    const char *array = "10.0.0.5";

    char box[ZRK_BOXID_LEN];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(0, ShowBoxid(array, nullptr, box, 1)) << ZRKerrno;
        EXPECT_EQ("VASTREL-WX900-0000000000000000000000A1  ", Bytes(box, sizeof box));
    }
    CliCopyFunctions functions{};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(0, ShowCopyFunctions(array, nullptr, &functions, 1)) << ZRKerrno;
    }
    CliModelInfo model{};
    for (int i = 0; i < 2; ++i) ASSERT_EQ(0, ShowModelInfo(array, nullptr, &model, 1)) << ZRKerrno;
    EXPECT_EQ(0x04, model.ucaLine4[5]);
    EXPECT_EQ(0x02u, functions.uiRvzBuffFlags);

    CliRvzBufferList list{};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(0, ShowRvzBuffer(array, nullptr, &list, IP_RVZ_LIST_ROWS)) << ZRKerrno;
    }
    ASSERT_EQ(1u, list.uiRowCnt);
    EXPECT_EQ(3u, list.rows[0].uiGroupNum);
    EXPECT_EQ(5u, list.rows[0].uiInterval);
    EXPECT_EQ(6u, list.rows[0].uiWatchTime);
    EXPECT_EQ(1000u, list.rows[0].uiSize);
    EXPECT_EQ("VASTREL-WX900-0000000000000000000000B1  ",
              Bytes(list.rows[0].caRemoteBoxID, ZRK_BOXID_LEN));

    CliRvzBufferUsage usage{};
    ASSERT_EQ(0, ShowRvzBufferUsage(array, nullptr, 3, 1, &usage, 1)) << ZRKerrno;
    EXPECT_EQ(1000u, usage.uiTotalSize);
    EXPECT_EQ(100u, usage.uiTotalUseSize);
    EXPECT_EQ(2u, usage.uiCmCnt);
    EXPECT_EQ(1u, usage.rows[1].uiCmID);
    EXPECT_EQ(500u, usage.rows[1].uiBuffSize);

    auto disk = std::make_unique<CliRvzDiskBuffer>();
    ASSERT_EQ(0, ShowRvzDiskBuffer(array, nullptr, disk.get(), 1)) << ZRKerrno;
    ASSERT_EQ(1u, disk->uiEntryCnt);
    EXPECT_EQ(3u, disk->entries[0].uiGroupNum);
    EXPECT_EQ(2u, disk->entries[0].uiRluCnt);
    EXPECT_EQ(11u, disk->entries[0].uiaRlun[1]);
    EXPECT_EQ(1u, disk->entries[0].uiDskBuffSize_high);     // 0x123456789
    EXPECT_EQ(0x23456789u, disk->entries[0].uiDskBuffSize_low);
    EXPECT_EQ(2u, disk->entries[0].uiCmCnt);

    // The BoxID, the copy functions and the list went out once each; the
    // model every time.
    EXPECT_EQ(1u, Logged(sim, "show boxid"));
    EXPECT_EQ(1u, Logged(sim, "show copy-functions"));
    EXPECT_EQ(2u, Logged(sim, "show model-info"));
    EXPECT_EQ(1u, Logged(sim, "show rvz-buffer "));
    EXPECT_EQ(0, ZRKIPLogOut(array, nullptr, 0, nullptr));
}

}  // namespace
