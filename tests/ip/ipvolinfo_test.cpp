// Volume and device information of an array reached over the LAN, against
// the simulator's LAN front: the VOL_INFO area byte for byte from the
// array's copy functions, per option word, and the model record.
#include "../../ip/ipframe.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string Bytes(const void *data, size_t size) {
    return std::string(static_cast<const char *>(data), size);
}

// A1: KZP (QuickKZP, SnapKZP, SnapKZP+), VZ and RVZ with buffers.
// B1: VZ only, no KZP group.
constexpr const char *kScenario =
    "array A1 boxid=\"VASTREL-WX900-0000000000000000000000A1\" address=10.0.0.5"
    " support=000000000D000001000000000000000100000000000200010000000000800001"
    " maxsessions=16,1024,16,2048 generations=32 rvzbuffers=6 rvzdetail=3"
    " modelinfo=0102030405060708090A\n"
    "array B1 boxid=\"VASTREL-WX900-0000000000000000000000B1\" address=10.0.0.6"
    " support=000000000D000000000000000000000000000000000000010000000000000000"
    " maxsessions=16,300,16,400 generations=32\n"
    "user admin secret\n";

const std::string kBoxA = "VASTREL-WX900-0000000000000000000000A1  ";

class IpVolInfoSim : public iptest::LanSimTest {
protected:
    IpVolInfoSim() : LanSimTest(kScenario, {"10.0.0.5", "10.0.0.6"}, iptest::LanTrace::kRootDefault) {}
    std::vector<std::string> Log() const { return sim.commandOk("lanlog"); }
};

// The 256 bytes with the given (offset, bytes) pieces, the rest 0.
std::string Area(const std::vector<std::pair<size_t, std::string>> &pieces) {
    std::string area(256, '\0');
    for (const auto &piece : pieces) area.replace(piece.first, piece.second.size(), piece.second);
    return area;
}

std::string B(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) out += static_cast<char>(b);
    return out;
}

TEST_F(IpVolInfoSim, VolumeInfoFromTheCopyFunctions) {
    const auto maxima = std::vector<std::pair<size_t, std::string>>{
        {16, B({0x08, 0x00, 0x04, 0x00})},                          // KZP maxima
        {24, B({0x08, 0x00, 0x04, 0x00})},                          // VZ maxima
        {64, B({0, 0, 0, 0, 0x0D, 0, 0, 0x01})},                    // KZP group
        {80, B({0, 0, 0, 0, 0, 0x02, 0, 0x01})},                    // VZ group
        {88, B({0, 0, 0, 0, 0, 0x80, 0, 0x01})},                    // RVZ group
        {100, B({0x03})},                                           // VZ group byte
        {112, B({0x00, 0x20})},                                     // generations
    };
    auto all = maxima;
    all.push_back({96, B({0x00, 0x06})});                           // RVZ buffers
    struct Case {
        const char *ip;
        uint32_t option;
        bool boxId;            // the BoxID output is written
        std::string area;
        std::vector<std::string> commands;
    } cases[] = {
        {"10.0.0.5", 3, true, Area(maxima), {"show copy-functions", "show boxid"}},
        {"10.0.0.5", 0, true, Area(all), {"show rvz-buffer"}},
        {"10.0.0.5", 4, false, Area({{96, B({0x00, 0x06})}}), {}},
        {"10.0.0.5", 1, false, Area(maxima), {}},
        {"10.0.0.5", 2, true, Area({}), {}},
        // Without the KZP group: no KZP maxima, group or generations; no
        // buffers to count; the VZ group byte is the default detail flags.
        {"10.0.0.6", 0, true,
         Area({{24, B({0x01, 0x90, 0x01, 0x2C})}, {80, B({0, 0, 0, 0, 0, 0, 0, 0x01})},
               {100, B({0x02})}}),
         {"show copy-functions", "show boxid"}},
    };
    for (const Case &c : cases) {
        sim.commandOk("clearlanlog");
        char box[ZRK_BOXID_LEN];
        std::memset(box, 'z', sizeof box);
        uint32_t words[5] = {9, 9, 9, 9, 9};
        VOL_INFO info;
        std::memset(&info, 0xCC, sizeof info);
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        ASSERT_EQ(1, ZRKIPGetVolumeInfo(c.ip, nullptr, 0, c.option, box, &words[0], &words[1],
                                        &words[2], &words[3], &words[4], &info, sense))
            << c.ip << " " << c.option << " " << ZRKerrno;
        EXPECT_EQ(c.area, Bytes(&info, sizeof info)) << c.ip << " " << c.option;
        if (c.boxId) {
            const std::string expected = std::string(c.ip) == "10.0.0.5"
                                             ? kBoxA
                                             : "VASTREL-WX900-0000000000000000000000B1  ";
            EXPECT_EQ(expected, Bytes(box, sizeof box)) << c.option;
        } else {
            EXPECT_EQ(std::string(40, 'z'), Bytes(box, sizeof box)) << c.option;
        }
        for (uint32_t w : words) EXPECT_EQ(0u, w);
        EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'), Bytes(sense, sizeof sense));
        // What went out: the caches answer repeated questions.
        const std::vector<std::string> log = Log();
        ASSERT_EQ(c.commands.size(), log.size()) << c.ip << " " << c.option;
        for (size_t i = 0; i < log.size(); ++i) {
            EXPECT_NE(std::string::npos, log[i].find(c.commands[i])) << log[i];
        }
    }
}

TEST_F(IpVolInfoSim, CallsAreTraced) {
    char box[ZRK_BOXID_LEN];
    uint32_t words[5];
    VOL_INFO info;
    unsigned char model[32];
    ZRKerrno = 0;
    ASSERT_EQ(1, ZRKIPGetVolumeInfo("10.0.0.5", nullptr, 0, 3, box, &words[0], &words[1],
                                    &words[2], &words[3], &words[4], &info, nullptr));
    EXPECT_EQ(-1, ZRKIPGetDeviceInfo("10.0.0.5", nullptr, 2, model, nullptr));
    const std::string trace = root.traceText();
    for (const char *line : {
             "ZRKIPGetVolumeInfo : START",
             "ZRKIPGetVolumeInfo : cpIPaddress=[10.0.0.5] OptionFlag=0x03",
             "IPComInfoCheckSet : cpIPaddress=[10.0.0.5] OptionFlag=0x03, OptionMask=0x07",
             "ZRKIPGetVolumeInfo : BoxID=VASTREL-WX900-0000000000000000000000A1  ",
             "ZRKIPGetVolumeInfo : END(ret=1, ZRKerrno=0)",
             "ZRKIPGetDeviceInfo : cpIPaddress=[10.0.0.5] InfoType=0x02",
             "ZRKIPGetDeviceInfo : END(ret=-1, ZRKerrno=13)",
         }) {
        EXPECT_NE(std::string::npos, trace.find(line)) << line;
    }
}

TEST_F(IpVolInfoSim, ExtentNumberMustBeZero) {
    char box[ZRK_BOXID_LEN];
    std::memset(box, 'z', sizeof box);
    uint32_t words[5] = {9, 9, 9, 9, 9};
    VOL_INFO info;
    std::memset(&info, 0xCC, sizeof info);
    EXPECT_EQ(-1, ZRKIPGetVolumeInfo("10.0.0.5", nullptr, 1, 3, box, &words[0], &words[1],
                                     &words[2], &words[3], &words[4], &info, nullptr));
    EXPECT_EQ(3, ZRKerrno);
    // Outputs are written only on success.
    EXPECT_EQ(std::string(40, 'z'), Bytes(box, sizeof box));
    for (uint32_t w : words) EXPECT_EQ(9u, w);
    EXPECT_EQ(std::string(256, '\xCC'), Bytes(&info, sizeof info));
}

TEST_F(IpVolInfoSim, MissingOutputsAreRefusedBeforeTheArrayIsAsked) {
    char box[ZRK_BOXID_LEN];
    uint32_t w[5];
    VOL_INFO info;
    for (int missing = 0; missing < 7; ++missing) {
        char *b = missing == 0 ? nullptr : box;
        uint32_t *p[5];
        for (int i = 0; i < 5; ++i) p[i] = missing == i + 1 ? nullptr : &w[i];
        VOL_INFO *v = missing == 6 ? nullptr : &info;
        ZRKerrno = 0;
        EXPECT_EQ(-1, ZRKIPGetVolumeInfo("10.0.0.5", nullptr, 0, 3, b, p[0], p[1], p[2], p[3],
                                         p[4], v, nullptr))
            << missing;
        EXPECT_EQ(13, ZRKerrno) << missing;
    }
    unsigned char sense[ZRK_SENSE_LEN];
    std::memset(sense, 0xAA, sizeof sense);
    EXPECT_EQ(-1, ZRKIPGetDeviceInfo("10.0.0.5", nullptr, 0, nullptr, sense));
    EXPECT_EQ(13, ZRKerrno);
    EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'), Bytes(sense, sizeof sense));
    EXPECT_TRUE(Log().empty());
}

TEST_F(IpVolInfoSim, DeviceInfoIsTheModelRecord) {
    unsigned char model[32];
    std::memset(model, 0xCC, sizeof model);
    unsigned char sense[ZRK_SENSE_LEN];
    std::memset(sense, 0xAA, sizeof sense);
    ASSERT_EQ(0, ZRKIPGetDeviceInfo("10.0.0.5", nullptr, 0, model, sense)) << ZRKerrno;
    EXPECT_EQ(B({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) + std::string(22, '\0'),
              Bytes(model, sizeof model));
    EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'), Bytes(sense, sizeof sense));
    const std::vector<std::string> log = Log();
    ASSERT_EQ(1u, log.size());
    EXPECT_NE(std::string::npos, log[0].find("show model-info"));
}

TEST_F(IpVolInfoSim, DeviceInfoServesTypeZeroOnly) {
    unsigned char model[32];
    std::memset(model, 0xCC, sizeof model);
    for (int type : {1, 2, 3, -1}) {
        ZRKerrno = 0;
        EXPECT_EQ(-1, ZRKIPGetDeviceInfo("10.0.0.5", nullptr, type, model, nullptr)) << type;
        EXPECT_EQ(13, ZRKerrno) << type;
    }
    EXPECT_EQ(std::string(32, '\xCC'), Bytes(model, sizeof model));
    EXPECT_TRUE(Log().empty());
}

TEST_F(IpVolInfoSim, DeviceInfoPassesTheArrayErrorOn) {
    sim.commandOk("lanreply 1 02\\n5310");
    unsigned char model[32];
    std::memset(model, 0xCC, sizeof model);
    EXPECT_EQ(-1, ZRKIPGetDeviceInfo("10.0.0.5", nullptr, 0, model, nullptr));
    EXPECT_EQ(0x15310, ZRKerrno);
    EXPECT_EQ(std::string(32, '\xCC'), Bytes(model, sizeof model));
}

}  // namespace
