// Identification of an array against the simulator: the family and the
// refusals of CheckProduct, the BoxID from page 0xF2 or READ BUFFER, the
// copy-support page and what it sets, the session maxima, the OLU status, the
// LU information and the vital product data pages.
#include "inband_support.h"
#include "zrkcmd.h"
#include "zrklvmain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kDisk[] = "/dev/sdb";

std::string Scenario(const std::string &arrayOptions, const std::string &volumeOptions = "") {
    return "array A1 boxid=\"BOX-A1\" " + arrayOptions + "\n" +
           "volume A1 5 2097152 name=vol5 " + volumeOptions + "\n" +
           "disk /dev/sdb 8:16 A1 5\n";
}

class Ident : public InbandTest {
protected:
    Ident() : InbandTest(Scenario("")) {}

    void Load(const std::string &scenario) {
        NewCall();
        sim.load(scenario);
    }
};

TEST_F(Ident, MainFamilyWithSupportPage) {
    const unsigned char before[2] = {0xEE, 0xEE};
    CtrlInqSupportData(const_cast<unsigned char *>(before), ZRK_STORE_WRITE);
    ZRKstorageflg = 1;
    ASSERT_EQ(CheckProduct(kDisk), 0) << ZRKerrno;
    EXPECT_EQ(ZRKstorageflg, 0);
    unsigned char inq[2];
    CtrlInqSupportData(inq, ZRK_STORE_READ);
    EXPECT_EQ(SpanHex(inq, 2), "2800") << "bytes 26-27 of page 0xF0";
    // Standard data, page list probe and read, page 0xF0; then the failover
    // check of a box-information device: page list again and page 0xF2.
    const std::vector<std::string> want = {
        "120000006000", "120100000400", "120100000700", "1201f0002800",
        "120100000400", "120100000700", "1201f2006000",
    };
    EXPECT_EQ(CdbHexes(sim), want);
}

TEST_F(Ident, QmFamilyOnTheStandardDataAlone) {
    Load(Scenario("family=qm role=2"));
    ASSERT_EQ(CheckProduct(kDisk), 0) << ZRKerrno;
    EXPECT_EQ(ZRKstorageflg, 1);
    EXPECT_EQ(ZRKstorage_cluster, 0) << "no failover check on the QM family";
    EXPECT_EQ(CdbHexes(sim), std::vector<std::string>{"120000006000"});
}

TEST_F(Ident, SupportPageWithoutCopyFunctionsIsNotAnArray) {
    Load(Scenario("zrk=no"));
    EXPECT_EQ(CheckProduct(kDisk), -1);
    EXPECT_EQ(ZRKerrno, 22);
}

// Devices without the support page are judged by their INQUIRY names.
struct NameCase {
    const char *options;
    int rc;
};
// clang-format off
const NameCase kNameCases[] = {
    {"product=WX700", -1},
    {"product=WX720", 0},
    {"product=WX900", 0},
    {"product=WX72", -1},
    {"product=V5", 0},
    {"product=VX", -1},
    {"product=X5", -1},
    {"product=QMA00", -1},
    {"vendor=OTHER product=WX900", -1},
    {"vendor=KORVAL product=WX900", -1},
};
// clang-format on

TEST_F(Ident, OlderArraysByTheirNames) {
    for (const auto &c : kNameCases) {
        SCOPED_TRACE(c.options);
        Load(Scenario(std::string("vpd=no ") + c.options));
        const unsigned char before[2] = {0x12, 0x34};
        CtrlInqSupportData(const_cast<unsigned char *>(before), ZRK_STORE_WRITE);
        EXPECT_EQ(CheckProduct(kDisk), c.rc);
        if (c.rc != 0) {
            EXPECT_EQ(ZRKerrno, 22);
        }
        EXPECT_EQ(ZRKstorageflg, 0);
        unsigned char inq[2];
        CtrlInqSupportData(inq, ZRK_STORE_READ);
        EXPECT_EQ(SpanHex(inq, 2), "1234") << "kept without page 0xF0";
    }
}

TEST_F(Ident, BoxIdFromPageF2OrReadBuffer) {
    unsigned char box[ZRK_BOXID_LEN + 1];
    std::memset(box, 0xEE, sizeof box);
    ASSERT_EQ(GetBoxID(kDisk, box), 0) << ZRKerrno;
    EXPECT_EQ(std::string(reinterpret_cast<char *>(box), ZRK_BOXID_LEN), BoxId("BOX-A1"));
    EXPECT_EQ(box[ZRK_BOXID_LEN], 0xEE);
    EXPECT_EQ(CdbHexes(sim).back(), "1201f2006000");

    Load(Scenario("vpd=no"));
    std::memset(box, 0, sizeof box);
    ASSERT_EQ(GetBoxID(kDisk, box), 0) << ZRKerrno;
    EXPECT_EQ(std::string(reinterpret_cast<char *>(box), ZRK_BOXID_LEN), BoxId("BOX-A1"));
    EXPECT_EQ(CdbHexes(sim).back(), "3c0210000000000028" "00");

    Load(Scenario("boxinfo=no"));
    ASSERT_EQ(GetBoxID(kDisk, box), 0) << ZRKerrno;
    EXPECT_EQ(CdbHexes(sim).back(), "3c021000000000002800") << "page 0xF0 without bit 0x20";
}

TEST_F(Ident, BoxIdFailureIsPassedOn) {
    sim.injectSense(1, 5, 0x24, 0, "", 2);
    unsigned char box[ZRK_BOXID_LEN];
    EXPECT_EQ(GetBoxID(kDisk, box), -1);
    EXPECT_EQ(ZRKerrno, 24);
}

TEST_F(Ident, CheckBoxIdOfLocalAndRemoteRequests) {
    struct Case {
        const char *what;
        const char *src, *dst;
        unsigned char remote;
        int rc, err;
    };
    // clang-format off
    const Case cases[] = {
        {"local, own source", "BOX-A1", "BOX-A1", 0, 0, 0},
        {"local, other source", "BOX-B2", "BOX-A1", 0, -1, 33},
        {"remote, own destination", "BOX-B2", "BOX-A1", 1, 0, 0},
        {"remote, own source", "BOX-A1", "BOX-B2", 1, 0, 0},
        {"remote, neither", "BOX-B2", "BOX-C3", 1, -1, 57},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        COPY_REQ req{};
        std::memcpy(req.SrcBoxID, BoxId(c.src).data(), ZRK_BOXID_LEN);
        std::memcpy(req.DstBoxID, BoxId(c.dst).data(), ZRK_BOXID_LEN);
        req.RemoteFlag = c.remote;
        unsigned char out[ZRK_BOXID_LEN] = {};
        EXPECT_EQ(CheckBoxID(kDisk, &req, out), c.rc);
        if (c.rc == 0) {
            EXPECT_EQ(std::string(reinterpret_cast<char *>(out), ZRK_BOXID_LEN), BoxId("BOX-A1"));
            EXPECT_EQ(CheckBoxID(kDisk, &req, nullptr), 0);
        } else {
            EXPECT_EQ(ZRKerrno, c.err);
            EXPECT_EQ(out[0], 0) << "nothing copied out";
        }
    }
}

// What the copy-support page sets, by the array's support bytes.
struct SupportCase {
    const char *options;
    unsigned char remote, in4096, out4096;
};
// clang-format off
const SupportCase kSupportCases[] = {
    {"profile=paged", 0x03, 0x0F, 0x0F},
    {"profile=detail", 0x03, 0x0F, 0x00},
    {"profile=idlist", 0x03, 0x00, 0x00},
    // Only RVZ set up.
    {"support=0000000000000000000000000000000000000000000000000000000000000001", 0x02, 0, 0},
    // Only RVZ, with both large forms.
    {"support=0000000000000000000000000000000000000000000000000000000000000061", 0x02, 0x02, 0x02},
    // Only VZ: bit 0x20 in byte 23, 0x40 in byte 7 (not set up there).
    {"support=0000000000000040000000000000000000000000000000210000000000000000", 0x00, 0x08, 0x04},
};
// clang-format on

TEST_F(Ident, SupportPageSetsRemoteSupportAndLargeForms) {
    for (const auto &c : kSupportCases) {
        SCOPED_TRACE(c.options);
        Load(Scenario(c.options));
        ZRKsession4096 = 0xFF;
        ZRKsession4096out = 0xFF;
        ASSERT_EQ(CheckProduct(kDisk), 0) << ZRKerrno;
        sim.clearLog();
        unsigned char support[ZRK_SUPPORT_DATA_LEN];
        unsigned char remote = 0xFF;
        ASSERT_EQ(GetSupportCopyInfo(kDisk, support, &remote), 0) << ZRKerrno;
        EXPECT_EQ(remote, c.remote);
        EXPECT_EQ(ZRKsession4096, c.in4096);
        EXPECT_EQ(ZRKsession4096out, c.out4096);
        unsigned char stored[ZRK_SUPPORT_DATA_LEN];
        CtrlSupportData(stored, ZRK_STORE_READ);
        EXPECT_EQ(SpanHex(stored, sizeof stored), SpanHex(support, sizeof support));
        EXPECT_EQ(CdbHexes(sim), std::vector<std::string>{"eb010000000000002800"});
    }
}

TEST_F(Ident, NoCopyGroupSetUpKeepsTheStores) {
    Load(Scenario("support=0f00000000000000000000000000000000000000000000000000000000000000"));
    unsigned char before[ZRK_SUPPORT_DATA_LEN];
    std::memset(before, 0x5A, sizeof before);
    CtrlSupportData(before, ZRK_STORE_WRITE);
    ZRKsession4096 = 0x0F;
    unsigned char support[ZRK_SUPPORT_DATA_LEN];
    unsigned char remote = 0xFF;
    EXPECT_EQ(GetSupportCopyInfo(kDisk, support, &remote), -1);
    EXPECT_EQ(ZRKerrno, 59);
    EXPECT_EQ(remote, 0);
    unsigned char stored[ZRK_SUPPORT_DATA_LEN];
    CtrlSupportData(stored, ZRK_STORE_READ);
    EXPECT_EQ(SpanHex(stored, sizeof stored), SpanHex(before, sizeof before));
    EXPECT_EQ(ZRKsession4096, 0x0F);
}

TEST_F(Ident, QmFamilyReadsItsSecondSupportPage) {
    Load(Scenario("family=qm qmsupport=0302010000000000"));
    ASSERT_EQ(CheckProduct(kDisk), 0) << ZRKerrno;
    sim.clearLog();
    unsigned char support[ZRK_SUPPORT_DATA_LEN];
    ASSERT_EQ(GetSupportCopyInfo(kDisk, support, nullptr), 0) << ZRKerrno;
    EXPECT_EQ(CdbHexes(sim),
              (std::vector<std::string>{"ee010000000000002800", "ee010200000000001000"}));
    unsigned char qm[ZRK_QM_SUPPORT_DATA_LEN];
    CtrlQmSupportData(qm, ZRK_STORE_READ);
    EXPECT_EQ(SpanHex(qm, ZRK_SUPPORT_DATA_LEN), SpanHex(support, sizeof support));
    EXPECT_EQ(SpanHex(qm + ZRK_SUPPORT_DATA_LEN, 8), "0302010000000000");

    // Without bytes 21 and 29 bit 0x01 the page is not read and the tail is 0.
    Load(Scenario("family=qm qmsupport=0302010000000000 "
                  "support=0000000000000001000000000000000000000000000000000000000000000000"));
    ASSERT_EQ(CheckProduct(kDisk), 0) << ZRKerrno;
    sim.clearLog();
    ASSERT_EQ(GetSupportCopyInfo(kDisk, support, nullptr), 0) << ZRKerrno;
    EXPECT_EQ(sim.cdbLog().size(), 1u);
    CtrlQmSupportData(qm, ZRK_STORE_READ);
    EXPECT_EQ(SpanHex(qm + ZRK_SUPPORT_DATA_LEN, 8), "0000000000000000");
}

TEST_F(Ident, SessionMaximaInTheFormTheArrayExpects) {
    Load(Scenario("profile=paged maxsessions=1,2,3,4"));
    ASSERT_EQ(CheckProduct(kDisk), 0) << ZRKerrno;
    ASSERT_EQ(GetSupportCopyInfo(kDisk, nullptr, nullptr), 0) << ZRKerrno;
    sim.clearLog();
    for (unsigned char page : {0x05, 0x09, 0x15, 0x19}) {
        SCOPED_TRACE(page);
        unsigned char count[ZRK_MAX_SESSION_LEN + 1];
        std::memset(count, 0xEE, sizeof count);
        ASSERT_EQ(GetMaxSessionCount(kDisk, page, count), 0) << ZRKerrno;
        EXPECT_EQ(SpanHex(count, ZRK_MAX_SESSION_LEN), "0001000200030004");
        EXPECT_EQ(count[ZRK_MAX_SESSION_LEN], 0xEE);
    }
    const std::vector<std::string> want = {
        "eb090500000000001000", "eb090900000000001000",
        "eb091500000000001000", "eb091900000000001000",
    };
    EXPECT_EQ(CdbHexes(sim), want);
}

TEST_F(Ident, OluStatusNeedsItsSupportBit) {
    Load(Scenario("profile=paged", "olustatus=3"));
    unsigned char status[ZRK_OLU_STATUS_LEN + 1];
    std::memset(status, 0xEE, sizeof status);
    ASSERT_EQ(GetOLUStatus(kDisk, 5, status), 0) << ZRKerrno;
    EXPECT_EQ(SpanHex(status, 2), "0005");
    EXPECT_EQ(status[4], 3);
    EXPECT_EQ(status[ZRK_OLU_STATUS_LEN], 0xEE);
    EXPECT_EQ(CdbHexes(sim).back(), "eb093100000500004000");
    const unsigned char olu[2] = {0x00, 0x05};
    std::memset(status, 0xEE, sizeof status);
    ASSERT_EQ(GETOLUSTATUSINFO(kDisk, olu, status), 0) << ZRKerrno;
    EXPECT_EQ(status[4], 3);
    EXPECT_EQ(status[ZRK_OLU_STATUS_LEN], 0xEE);

    Load(Scenario("profile=detail"));
    EXPECT_EQ(GetOLUStatus(kDisk, 5, status), -1);
    EXPECT_EQ(ZRKerrno, 17);
    for (const auto &cdb : CdbHexes(sim)) EXPECT_NE(cdb.substr(4, 2), "31") << cdb;
}

TEST_F(Ident, LunInformationFollowsTheModeHeader) {
    Load(Scenario("", "attr=7"));
    unsigned char info[ZRK_LUN_INFO_LEN + 1];
    std::memset(info, 0xEE, sizeof info);
    ASSERT_EQ(GetLunInformation(kDisk, info), 0) << ZRKerrno;
    EXPECT_EQ(SpanHex(info + 8, 2), "0005");
    EXPECT_EQ(info[11], 7);
    EXPECT_EQ(info[ZRK_LUN_INFO_LEN], 0xEE);
    EXPECT_EQ(CdbHexes(sim), std::vector<std::string>{"1a0830009400"});
}

TEST_F(Ident, VpdPagesAndTheirList) {
    unsigned char out[16];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(GetVPDInfo(kDisk, 0x00, sizeof out, out), 0);
    EXPECT_EQ(SpanHex(out, 4), "00f0f2ee") << "only the list, however long the room";

    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(GetVPDInfo(kDisk, 0x00, 2, out), 0);
    EXPECT_EQ(SpanHex(out, 3), "00f0ee");

    ZRKerrno = 0;
    EXPECT_EQ(GetVPDInfo(kDisk, 0x83, sizeof out, out), 2);
    EXPECT_EQ(ZRKerrno, 0);

    sim.clearLog();
    unsigned char page[96];
    EXPECT_EQ(GetVPDInfo(kDisk, 0xF2, sizeof page, page), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(page + 48), ZRK_BOXID_LEN), BoxId("BOX-A1"));
    EXPECT_EQ(CdbHexes(sim).back(), "1201f2006000");

    sim.injectSense(1, 5, 0x24, 0, "", 2); // the page itself, after the list
    EXPECT_EQ(GetVPDInfo(kDisk, 0xF2, sizeof page, page), 1);
    EXPECT_EQ(ZRKerrno, 24);
}

TEST_F(Ident, CommCheckSetFillsTheStores) {
    Load(Scenario("profile=idlist support="
                  "0000000000000000000000000000000000000000000000000000000000000061"));
    unsigned char remote = 0xFF;
    CtrlCommonData(&remote, ZRK_COMMON_SET_REMOTE);
    ZRKstorageflg = 1;
    ASSERT_EQ(CommCheckSet(kDisk, 0x02, 0x02), 0) << ZRKerrno;
    CtrlCommonData(&remote, ZRK_COMMON_GET_REMOTE);
    EXPECT_EQ(remote, ZRK_REMOTE_RVZ);
    EXPECT_EQ(ZRKstorageflg, 0);
    EXPECT_EQ(ZRKsession4096, ZRK_GROUP_RVZ);
    unsigned char stored[ZRK_SUPPORT_DATA_LEN];
    CtrlSupportData(stored, ZRK_STORE_READ);
    EXPECT_EQ(stored[31], 0x61);

    Load(Scenario("zrk=no"));
    EXPECT_EQ(CommCheckSet(kDisk, 0, 0), -1);
    EXPECT_EQ(ZRKerrno, 22);
}

}  // namespace
