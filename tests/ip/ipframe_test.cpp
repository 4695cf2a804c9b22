// The frame and common core of the out-of-band API: the copy-parameter
// check, the request builder byte for byte, the common data, the BoxID
// check, and the frame's refusals against the simulator's LAN front.
#include "../../ip/ipframe.h"
#include "../../ip/ipshow_array.h"
#include "../support/child.h"
#include "lan_fixture.h"
#include "platform.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Bytes(const void *data, size_t size) {
    return std::string(static_cast<const char *>(data), size);
}

const std::string kBoxA = "VASTREL-WX900-0000000000000000000000A1  ";
const std::string kBoxB = "VASTREL-WX900-0000000000000000000000B1  ";
const std::string kNoBox(40, '\xFF');

// ---- IPCheckParam ----------------------------------------------------------------

struct ParamCase {
    const char *what;
    const char *src;      // nullptr: no source BoxID
    uint32_t srcOlu;
    uint32_t srcHigh, srcLow, sizeHigh, sizeLow;
    const char *dst;      // nullptr: no destination BoxID
    uint32_t dstOlu;
    uint32_t dstHigh, dstLow;
    int option;
    int error;            // 0: accepted
};

TEST(IpFrame, CheckParamTable) {
    zrktest::InstallRoot root;
    const char *a = kBoxA.c_str();
    const char *b = kBoxB.c_str();
    const char *none = kNoBox.c_str();
    const uint32_t kMax = 0xFFFFFFFFu;
    const ParamCase cases[] = {
        {"ordinary local range", a, 1, 0, 0, 0, 100, a, 2, 0, 0, 0, 0},
        {"no source BoxID", nullptr, 1, 0, 0, 0, 0, a, 2, 0, 0, 0, 4},
        {"no destination BoxID", a, 1, 0, 0, 0, 0, nullptr, 2, 0, 0, 0, 5},
        {"no BoxIDs: the source is named first", nullptr, 1, 0, 0, 0, 0, nullptr, 2, 0, 0, 0, 4},
        {"source OLU above 16 bits", a, 0x10000, 0, 0, 0, 0, a, 2, 0, 0, 0, 6},
        {"source OLU at 16 bits", a, 0xFFFF, 0, 0, 0, 0, a, 2, 0, 0, 0, 0},
        {"destination OLU above 16 bits", a, 1, 0, 0, 0, 0, a, 0x10000, 0, 0, 0, 7},
        {"source checked before destination", a, 0x10000, 0, 0, 0, 0, a, 0x10000, 0, 0, 0, 6},
        {"size 0 with a source start", a, 1, 0, 5, 0, 0, a, 2, 0, 0, 0, 11},
        {"size 0 with a destination start", a, 1, 0, 0, 0, 0, a, 2, 1, 0, 0, 11},
        {"whole volume onto itself", a, 3, 0, 0, 0, 0, a, 3, 0, 0, 0, 48},
        {"whole volume onto itself between arrays", a, 3, 0, 0, 0, 0, b, 3, 0, 0, 0, 0},
        {"same volume, overlap from below", a, 3, 0, 0, 0, 100, a, 3, 0, 99, 0, 8},
        {"same volume, overlap from above", a, 3, 0, 99, 0, 100, a, 3, 0, 0, 0, 8},
        {"same volume, same start", a, 3, 0, 10, 0, 1, a, 3, 0, 10, 0, 8},
        {"same volume, ranges touch", a, 3, 0, 0, 0, 100, a, 3, 0, 100, 0, 0},
        {"same volume, touching from above", a, 3, 0, 100, 0, 100, a, 3, 0, 0, 0, 0},
        {"same volume, 64-bit starts overlap", a, 3, 1, 0, 1, 0, a, 3, 1, kMax, 0, 8},
        {"same volume, 64-bit starts apart", a, 3, 0, 0, 1, 0, a, 3, 1, 0, 0, 0},
        {"ranges at the end of the 64-bit space overlap", a, 3, kMax, kMax - 9, 0, 100, a, 3,
         kMax, kMax - 5, 0, 8},
        {"overlapping ranges between arrays", a, 3, 0, 0, 0, 100, b, 3, 0, 50, 0, 0},
        {"different volumes never overlap", a, 3, 0, 0, 0, 100, a, 4, 0, 50, 0, 0},
        {"monitor, whole volume", a, 1, 0, 0, 0, 0, none, kMax, 0, 0, 2, 0},
        {"monitor, range without destination start", a, 1, 0, 0, 0, 8, none, kMax, kMax, kMax,
         2, 0},
        {"monitor, range with a destination start", a, 1, 0, 0, 0, 8, none, kMax, 0, 0, 2, 8},
        {"monitor, destination BoxID not all 0xFF", a, 1, 0, 0, 0, 0, a, kMax, 0, 0, 2, 5},
        {"monitor, destination OLU given", a, 1, 0, 0, 0, 0, none, 2, 0, 0, 2, 7},
        {"monitor, size 0 with a destination start", a, 1, 0, 0, 0, 0, none, kMax, kMax, kMax,
         2, 11},
        {"monitor bit among others", a, 1, 0, 0, 0, 0, none, kMax, 0, 0, 0x7F, 0},
        {"ordinary check of a monitor destination", a, 1, 0, 0, 0, 0, none, kMax, 0, 0, 0, 7},
        {"other check bits are ignored", a, 1, 0, 0, 0, 100, a, 2, 0, 0, 0x5, 0},
    };
    for (const ParamCase &c : cases) {
        ZRKerrno = 777;
        const int rc = IPCheckParam("192.0.2.1", nullptr, c.src, c.srcOlu, c.srcHigh, c.srcLow,
                                    c.sizeHigh, c.sizeLow, c.dst, c.dstOlu, c.dstHigh, c.dstLow,
                                    255, c.option);
        if (c.error == 0) {
            EXPECT_EQ(0, rc) << c.what;
            EXPECT_EQ(777, ZRKerrno) << c.what;   // a success leaves ZRKerrno alone
        } else {
            EXPECT_EQ(-1, rc) << c.what;
            EXPECT_EQ(c.error, ZRKerrno) << c.what;
        }
    }
}

// ---- IPMakeReq -------------------------------------------------------------------

std::string Hex(const void *data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    const auto *p = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < size; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 0xF];
    }
    return out;
}

TEST(IpFrame, MakeReqGoldenBytes) {
    uint32_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    if (first != 1) GTEST_SKIP() << "the golden bytes are those of a little-endian host";

    zrktest::InstallRoot root;
    const std::string boxA = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    const std::string boxB = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abce";
    const std::string hexA = Hex(boxA.data(), 40);
    const std::string hexB = Hex(boxB.data(), 40);
    struct Case {
        const char *what;
        const std::string *dst;
        uint32_t words[9];      // SrcOLU, SrcExt h/l, SrcSize h/l, DstOLU, DstExt h/l, (unused)
        int interval;
        std::string tail;       // the 40 bytes after the BoxIDs
    } cases[] = {
        {"remote range", &boxB, {0x12, 0x1, 0x2, 0x3, 0x4, 0x34, 0x5, 0x6, 0}, 255,
         "12000000" "34000000" "01000000" "02000000" "05000000" "06000000" "03000000"
         "04000000" "ff000000" "00" "00" "20" "00"},
        {"local whole volume", &boxA, {0x7, 0, 0, 0, 0, 0x8, 0, 0, 0}, -1,
         "07000000" "08000000" "00000000" "00000000" "00000000" "00000000" "00000000"
         "00000000" "ffffffff" "00" "00" "80" "00"},
        {"remote whole volume", &boxB, {0x7, 0, 0, 0, 0, 0x8, 0, 0, 0}, 0,
         "07000000" "08000000" "00000000" "00000000" "00000000" "00000000" "00000000"
         "00000000" "00000000" "00" "00" "a0" "00"},
        {"no destination: never remote", &boxB, {0x1, 0, 0, 0, 0x10, 0xFFFFFFFF, 0xFFFFFFFF,
                                                  0xFFFFFFFF, 0}, 3,
         "01000000" "ffffffff" "00000000" "00000000" "ffffffff" "ffffffff" "00000000"
         "10000000" "03000000" "00" "00" "00" "00"},
        {"one extent word alone is a range", &boxA, {0x1, 0, 0, 0, 0, 0x2, 0, 0x1, 0}, 0,
         "01000000" "02000000" "00000000" "00000000" "00000000" "01000000" "00000000"
         "00000000" "00000000" "00" "00" "00" "00"},
    };
    for (const Case &c : cases) {
        IPCopyReq req;
        std::memset(&req, 0xEE, sizeof req);
        IPMakeReq(boxA.data(), c.words[0], c.words[1], c.words[2], c.words[3], c.words[4],
                  c.dst->data(), c.words[5], c.words[6], c.words[7], c.interval, &req);
        const std::string expected = hexA + (c.dst == &boxA ? hexA : hexB) + c.tail;
        EXPECT_EQ(expected, Hex(&req, sizeof req)) << c.what;
    }
}

// ---- IPCtrlCommonData --------------------------------------------------------------

TEST(IpFrame, CommonDataOperations) {
    unsigned char in[72], out[72];
    for (size_t i = 0; i < sizeof in; ++i) in[i] = static_cast<unsigned char>(i + 1);
    struct Item {
        unsigned clear, get, set;
        size_t size;
    } items[] = {{0, 1, 2, 40}, {3, 4, 5, 72}, {6, 7, 8, 4}};
    for (const Item &item : items) {
        std::memset(out, 0xAA, sizeof out);
        IPCtrlCommonData(item.get, out);
        EXPECT_EQ(std::string(item.size, '\0'), Bytes(out, item.size)) << "zero at load";
        EXPECT_EQ(std::string(72 - item.size, '\xAA'), Bytes(out + item.size, 72 - item.size));
        IPCtrlCommonData(item.set, in);
        std::memset(out, 0, sizeof out);
        IPCtrlCommonData(item.get, out);
        EXPECT_EQ(Bytes(in, item.size), Bytes(out, item.size)) << item.set;
    }
    // Operations beyond 8, and null buffers, change nothing.
    for (unsigned op : {9u, 10u, 100u, 0xFFFFFFFFu}) IPCtrlCommonData(op, out);
    IPCtrlCommonData(2, nullptr);
    IPCtrlCommonData(1, nullptr);
    for (const Item &item : items) {
        IPCtrlCommonData(item.get, out);
        EXPECT_EQ(Bytes(in, item.size), Bytes(out, item.size)) << item.get;
        IPCtrlCommonData(item.clear, in);   // the clears do not read the buffer
        IPCtrlCommonData(item.get, out);
        EXPECT_EQ(std::string(item.size, '\0'), Bytes(out, item.size)) << item.clear;
    }
}

// ---- IPCheckBoxID ------------------------------------------------------------------

TEST(IpFrame, CheckBoxIdTable) {
    zrktest::InstallRoot root;
    const std::string other = "VASTREL-WX900-0000000000000000000000C1  ";
    IPCtrlCommonData(IP_COMMON_BOXID_SET, const_cast<char *>(kBoxA.data()));
    struct Case {
        const char *what;
        const std::string *src;
        const std::string *dst;
        uint32_t dstOlu;
        int error;
    } cases[] = {
        {"local on the own array", &kBoxA, &kBoxA, 2, 0},
        {"local on another array", &kBoxB, &kBoxB, 2, 33},
        {"remote from the own array", &kBoxA, &kBoxB, 2, 0},
        {"remote to the own array", &kBoxB, &kBoxA, 2, 0},
        {"remote between two other arrays", &kBoxB, &other, 2, 57},
        {"monitor on the own array", &kBoxA, &kNoBox, 0xFFFFFFFFu, 0},
        {"monitor on another array", &kBoxB, &kNoBox, 0xFFFFFFFFu, 33},
    };
    for (const Case &c : cases) {
        IPCopyReq req;
        IPMakeReq(c.src->data(), 1, 0, 0, 0, 0, c.dst->data(), c.dstOlu, 0, 0, 255, &req);
        ZRKerrno = 0;
        EXPECT_EQ(c.error == 0 ? 0 : -1, IPCheckBoxID(&req)) << c.what;
        EXPECT_EQ(c.error, ZRKerrno) << c.what;
    }
}

// ---- the frame against the simulator -----------------------------------------------

constexpr const char *kScenario =
    "array A1 boxid=\"VASTREL-WX900-0000000000000000000000A1\" address=10.0.0.5"
    " support=0000000000000001000000000000000000000000000000010000000000800001"
    " maxsessions=16,1024,16,2048 rvzbuffers=6\n"
    "array N1 boxid=\"VASTREL-WX900-0000000000000000000000N1\" address=10.0.0.7"
    " support=0000000000000000000000000000000000000000000000000000000000000000"
    " maxsessions=16,512,16,64\n"
    "user admin secret\n";

class IpFrameSim : public iptest::LanSimTest {
protected:
    IpFrameSim() : LanSimTest(kScenario, {"10.0.0.5", "10.0.0.7"}, iptest::LanTrace::kRootDefault) {}
    std::vector<std::string> Log() const { return sim.commandOk("lanlog"); }
    size_t Logged(const std::string &text) const {
        size_t n = 0;
        for (const std::string &line : Log()) n += line.find(text) != std::string::npos;
        return n;
    }
};

TEST_F(IpFrameSim, OptionBitsOutsideTheMaskAreRefusedBeforeAnyCommand) {
    struct Case {
        uint32_t option, mask;
    } cases[] = {{0x1, 0}, {0x8, 0x7}, {0x80000000u, 0x7FFFFFFFu}, {0x6, 0x4}};
    for (const Case &c : cases) {
        ZRKerrno = 0;
        EXPECT_EQ(-1, IPComInfoCheckSet("10.0.0.5", nullptr, c.option, c.mask, -1)) << c.option;
        EXPECT_EQ(37, ZRKerrno) << c.option;
    }
    unsigned char sense[ZRK_SENSE_LEN];
    std::memset(sense, 0xAA, sizeof sense);
    char box[ZRK_BOXID_LEN];
    uint32_t words[5];
    VOL_INFO info;
    // The extent number (3) is checked after the option word.
    EXPECT_EQ(-1, ZRKIPGetVolumeInfo("10.0.0.5", nullptr, 1, 0x8, box, &words[0], &words[1],
                                     &words[2], &words[3], &words[4], &info, sense));
    EXPECT_EQ(37, ZRKerrno);
    EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'), Bytes(sense, sizeof sense));
    EXPECT_TRUE(Log().empty());
}

TEST_F(IpFrameSim, AcceptedOptionWordIsStoredAndTheCommonDataRefreshed) {
    ZRKOptionFlag = 0;
    ASSERT_EQ(0, IPComInfoCheckSet("10.0.0.5", nullptr, 0x5, 0x7, 0x3)) << ZRKerrno;
    EXPECT_EQ(0x5u, ZRKOptionFlag);
    char box[ZRK_BOXID_LEN];
    IPCtrlCommonData(IP_COMMON_BOXID_GET, box);
    EXPECT_EQ(kBoxA, Bytes(box, sizeof box));
    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    EXPECT_EQ(1024u, functions.uiMaxSession);
    EXPECT_EQ(0x80u, functions.ucaRvzFunc[5]);
    uint32_t count = 0;
    IPCtrlCommonData(IP_COMMON_RVZCNT_GET, &count);
    EXPECT_EQ(6u, count);
    EXPECT_EQ(1u, Logged("show copy-functions"));
    EXPECT_EQ(1u, Logged("show boxid"));
    EXPECT_EQ(1u, Logged("show rvz-buffer"));
}

TEST_F(IpFrameSim, ArrayWithoutCopyFunctionsIsRefusedAfterItsRecordIsStored) {
    IPCtrlCommonData(IP_COMMON_BOXID_SET, const_cast<char *>(kBoxA.data()));
    ZRKerrno = 0;
    EXPECT_EQ(-1, IPComInfoCheckSet("10.0.0.7", nullptr, 0, 0x7, -1));
    EXPECT_EQ(59, ZRKerrno);
    CliCopyFunctions functions;
    IPCtrlCommonData(IP_COMMON_FUNCS_GET, &functions);
    EXPECT_EQ(512u, functions.uiMaxSession);
    EXPECT_EQ(64u, functions.uiMaxSession2);
    // Nothing after the copy functions was asked; the own BoxID stays.
    char box[ZRK_BOXID_LEN];
    IPCtrlCommonData(IP_COMMON_BOXID_GET, box);
    EXPECT_EQ(kBoxA, Bytes(box, sizeof box));
    const std::vector<std::string> log = Log();
    ASSERT_EQ(1u, log.size());
    EXPECT_NE(std::string::npos, log[0].find("show copy-functions"));

    // The public frame passes the refusal on, with the sense area zeroed.
    unsigned char sense[ZRK_SENSE_LEN];
    std::memset(sense, 0xAA, sizeof sense);
    uint32_t words[5];
    VOL_INFO info;
    EXPECT_EQ(-1, ZRKIPGetVolumeInfo("10.0.0.7", nullptr, 0, 3, box, &words[0], &words[1],
                                     &words[2], &words[3], &words[4], &info, sense));
    EXPECT_EQ(59, ZRKerrno);
    EXPECT_EQ(std::string(ZRK_SENSE_LEN, '\0'), Bytes(sense, sizeof sense));
}

TEST_F(IpFrameSim, NonRootCallerIsRefusedBeforeAnyCommand) {
    const zrktest::ChildResult child = zrktest::runChild([] {
        if (!zrktest::dropPrivileges()) return 90;
        unsigned char sense[ZRK_SENSE_LEN];
        std::memset(sense, 0xAA, sizeof sense);
        char box[ZRK_BOXID_LEN];
        uint32_t words[5];
        VOL_INFO info;
        unsigned char model[32];
        if (ZRKIPGetVolumeInfo("10.0.0.5", nullptr, 0, 0x8, box, &words[0], &words[1],
                               &words[2], &words[3], &words[4], &info, sense) != -1)
            return 1;
        if (ZRKerrno != 34) return 2;
        if (ZRKIPGetDeviceInfo("10.0.0.5", nullptr, 1, model, sense) != -1) return 3;
        if (ZRKerrno != 34) return 4;
        for (unsigned char byte : sense) {
            if (byte != 0) return 5;
        }
        return 0;
    });
    EXPECT_EQ(0, child.exitCode) << child.err;
    EXPECT_TRUE(Log().empty());
}

}  // namespace
