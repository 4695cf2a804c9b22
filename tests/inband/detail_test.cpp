// Classic session details and the session search: golden bytes of every
// conversion into the 152-byte classic record, and against the simulator the
// detail read by identifier from each detail page, the search of a classic
// request through the detail list and through the identifier lists, the
// failover session of a volume, and the record searches of the RVZ buffer
// page 0x24 over replies whose counts exceed what they hold.
#include "inband_support.h"
#include "zrkcmd.h"
#include "zrkcmulti.h"
#include "zrklvmain.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace inbandtest;

namespace {

std::string Hex152(const zrk::ClassicDetail &d) {
    return zrksim::toHex(BytesOf(zrk::EncodeClassicDetail(d)));
}

// ---- conversions -----------------------------------------------------------------

TEST(DetailRecords, ClassicRecordsFromAListEntry) {
    // Entry bytes 0, 1, 2, ...; the second case sets every flag and mode bit.
    const Bytes plain = Counting(sizeof(DETAIL_LIST_INFO));
    Bytes flagged = plain;
    flagged[5] = 0xFF;
    flagged[6] = 0xFF;
    const Patches common = {{0, "0001 0203"},         {6, "09 6a"},
                            {12, "70717273 01"},      {24, CountingHex(16, 40)},
                            {72, CountingHex(56, 40)}, {120, CountingHex(96, 10)},
                            {136, "78797a7b 80818283 88898a8b"}};
    struct Case {
        const char *what;
        const Bytes *entry;
        bool vz;
        Patches expected; // besides the common bytes
    };
    // clang-format off
    const Case cases[] = {
        {"VZ", &plain, true, {{4, "06 08"}, {8, "07 0a"}, {130, "0e0f"}}},
        {"VZ, every flag", &flagged, true, {{4, "b7 08"}, {8, "07 0a"}, {130, "0e0f"}}},
        {"KZP", &plain, false, {{4, "00 08"}, {8, "0c0d0e0f"}}},
        // Flags 0xFF: SnapKZP wins over QuickKZP.
        {"KZP, every flag", &flagged, false, {{4, "b0 48"}, {8, "0c0d0e0f"}}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const zrk::DetailEntry e = zrk::DecodeDetailEntry(RecordOf<DETAIL_LIST_INFO>(*c.entry));
        Patches expected = common;
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(Hex152(c.vz ? zrk::VzDetailFromList(e) : zrk::KzpDetailFromList(e)),
                  zrksim::toHex(Golden(152, expected)));
    }
}

TEST(DetailRecords, KzpModeByte) {
    struct Case {
        const char *what;
        uint8_t kind, flags, phase;
        uint8_t mode;
    };
    // clang-format off
    const Case cases[] = {
        {"KZP", 1, 0x00, 1, 0x01},
        {"QuickKZP", 1, 0x08, 1, 0x21},
        {"monitor", 3, 0x00, 3, 0xC3},
        {"monitor of a QuickKZP", 3, 0x08, 3, 0xC3},
        {"monitor of a SnapKZP", 3, 0x10, 3, 0x43},
        {"SnapKZP", 1, 0x10, 3, 0x43},
        {"SnapKZP and QuickKZP", 1, 0x18, 2, 0x42},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        zrk::DetailEntry e{};
        e.ucCopyKind = c.kind;
        e.ucSessionFlags = c.flags;
        e.ucPhase = c.phase;
        EXPECT_EQ(zrk::KzpDetailFromList(e).ucPhaseMode, c.mode);
    }
}

TEST(DetailRecords, ClassicRecordsOfTheLocalPages) {
    // Record bytes 0, 1, 2, ... with byte 2 = 0xB5: whole volume, VZ phase 3
    // (KZP: QuickKZP), status 5.
    Bytes record = Counting(40);
    record[2] = 0xB5;
    const Patches common = {{0, "0001"}, {4, "80"}, {6, "05 03"}, {12, "08090a0b 0c"},
                            {136, "18191a1b 1c1d1e1f 20212223"}};
    Patches vz = common;
    vz.insert(vz.end(), {{5, "03"}, {120, "00001213 00001617 000d 0e0f"}});
    Patches kzp = common;
    kzp.insert(kzp.end(), {{5, "22"}, {8, "04050607"}, {120, "00000e0f 00001011 0015"}});
    EXPECT_EQ(Hex152(zrk::WidenLocalDetail(record.data(), true)), zrksim::toHex(Golden(152, vz)));
    EXPECT_EQ(Hex152(zrk::WidenLocalDetail(record.data(), false)), zrksim::toHex(Golden(152, kzp)));
}

TEST(DetailRecords, KzpRecordOfAPageBasedDetail) {
    // A monitor session with the SnapKZP flag: the mode byte takes both.
    Bytes detail = Counting(sizeof(TVC_DETAIL_INFO));
    detail[4] = 3;
    detail[12] = 0x9C;
    const zrk::TvcDetail t = zrk::DecodeTvcDetail(RecordOf<TVC_DETAIL_INFO>(detail));
    EXPECT_EQ(Hex152(zrk::KzpDetailFromTvc(t)),
              zrksim::toHex(Golden(152, {{0, "0001"},
                                         {4, "80 d2 13 14 84858687 8c8d8e8f 11"},
                                         {120, CountingHex(120, 10)},
                                         {136, "9c9d9e9f a4a5a6a7 acadaeaf"}})));
}

TEST(DetailRecords, ClassicRecordSurvivesARoundTrip) {
    std::mt19937 random(31337);
    for (int i = 0; i < 50; ++i) {
        const Bytes b = RandomBytes(random, sizeof(RVZ_DETAIL_INFO));
        EXPECT_EQ(BytesOf(zrk::EncodeClassicDetail(zrk::DecodeClassicDetail(RecordOf<RVZ_DETAIL_INFO>(b)))), b);
    }
}

// ---- records of the RVZ buffer page 0x24 ------------------------------------------------

TEST(DetailRecords, BufferPageSearchesWalkOnlyWhatTheReplyHolds) {
    // Two buffer records, but the count claims 300.
    Bytes reply(16 + 2 * ZRK_BUFF24_RECORD_LEN, 0);
    reply[10] = 0x01;
    reply[11] = 0x2C;
    reply[16] = 4;
    reply[16 + ZRK_BUFF24_RECORD_LEN] = 9;
    reply[16 + ZRK_BUFF24_RECORD_LEN + 1] = 0x77;
    Bytes out(ZRK_BUFF24_RECORD_LEN, 0);
    EXPECT_EQ(SearchBuffInfo24_Ex(reply.data(), reply.size(), 9, out.data()), 0);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(out[1], 0x77);
    EXPECT_EQ(SearchBuffInfo24_Ex(reply.data(), reply.size(), 0, out.data()), -1);
    EXPECT_EQ(SearchBuffInfo24_Ex(reply.data(), 15, 4, out.data()), -1);
    // The count bounds the walk as well.
    reply[11] = 1;
    reply[10] = 0;
    EXPECT_EQ(SearchBuffInfo24_Ex(reply.data(), reply.size(), 9, out.data()), -1);

    // A buffer record with room for two module records, claiming 0xFFFF.
    Bytes record(96 + 2 * ZRK_CM24_RECORD_LEN, 0);
    record[64] = 0xFF;
    record[65] = 0xFF;
    record[96 + 32] = 0x12;
    record[96 + 33] = 0x34;
    record[96 + 34] = 0x56;
    const unsigned char cm[2] = {0x12, 0x34};
    const unsigned char absent[2] = {0x00, 0x01};
    Bytes cmOut(ZRK_CM24_RECORD_LEN, 0);
    EXPECT_EQ(SearchCmInfo24_Ex(record.data(), record.size(), cm, cmOut.data()), 0);
    EXPECT_EQ(cmOut[2], 0x56);
    EXPECT_EQ(SearchCmInfo24_Ex(record.data(), record.size(), absent, cmOut.data()), -1);
    EXPECT_EQ(SearchCmInfo24_Ex(record.data(), 95, cm, cmOut.data()), -1);
}

// ---- against the simulator ------------------------------------------------------------------

constexpr char kDisk[] = "/dev/sdb";    // A1:5
constexpr char kRemoteDisk[] = "/dev/sdc"; // A2:9

std::string Arrays(const char *profile) {
    return TwoArrays(std::string("profile=") + profile, {"5", "6", "7"}, {"9"});
}

// A classic request of a pair of volumes.
COPY_REQ Request(const char *dstBox, uint32_t dstOlu, uint32_t srcExt = 0, uint32_t size = 0,
                 uint32_t dstExt = 0) {
    zrk::CopyReq r = ClassicFields(
        {.sDst = dstBox, .uiDstOlu = dstOlu, .ullSrcExt = srcExt, .ullSize = size, .ullDstExt = dstExt});
    r.ucRemoteFlag = std::string(dstBox) != "BOX-A1" && dstOlu != 0xFFFFFFFF ? 1 : 0;
    return zrk::EncodeCopyReq(r);
}

class Details : public InbandTest {
protected:
    Details() : InbandTest(Arrays("idlist")) {}

    // A new model and what an operation's checks leave behind.
    void Load(const std::string &scenario, const char *volume = kDisk) {
        sim.load(scenario);
        NewCall();
        ASSERT_EQ(CheckProduct(volume), 0) << ZRKerrno;
        ASSERT_EQ(GetSupportCopyInfo(volume, nullptr, nullptr), 0) << ZRKerrno;
        sim.clearLog();
    }
    std::vector<int> PagesRead() const {
        std::vector<int> pages;
        for (const auto &r : sim.cdbLog()) pages.push_back(r.cdb[2]);
        return pages;
    }
};

TEST_F(Details, DetailOfOneSessionFromEachPage) {
    Load(Arrays("idlist") + "session 3 rvz A1 5 A2 9 srcext=0x100 size=0x200 dstext=0x300\n"
                            "session 4 vz A1 5 A1 6 status=suspend phase=tracking\n"
                            "session 8 quickkzp A1 5 A1 7\n");
    struct Case {
        const char *what;
        unsigned char id, page, remote;
        std::vector<int> pages; // read
        uint8_t flags, phaseMode, status;
        uint32_t dstOlu;
    };
    // clang-format off
    const Case cases[] = {
        {"remote VZ page", 3, 0x1A, ZRK_REMOTE_RVZ, {0x1A}, 0x20, 2, 2, 9},
        {"local VZ page without RVZ", 4, 0x1A, 0, {0x08}, 0x80, 3, 4, 6},
        {"local KZP page", 8, 0x04, ZRK_REMOTE_RVZ, {0x04}, 0x80, 0x21, 2, 7},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.clearLog();
        const unsigned char id[2] = {0, c.id};
        RVZ_DETAIL_INFO record;
        ASSERT_EQ(GetSessionDetailInfo(kDisk, id, c.page, c.remote, 1, &record), 0) << ZRKerrno;
        EXPECT_EQ(PagesRead(), c.pages);
        const zrk::ClassicDetail d = zrk::DecodeClassicDetail(record);
        EXPECT_EQ(d.uhSessionId, c.id);
        EXPECT_EQ(d.ucFlags, c.flags);
        EXPECT_EQ(d.ucPhaseMode, c.phaseMode);
        EXPECT_EQ(d.ucStatus, c.status);
        EXPECT_EQ(d.ucVolumeRole, 1);
        EXPECT_EQ(d.uiSrcOlu & 0xFFFF, 5u);
        EXPECT_EQ(d.uiDstOlu & 0xFFFF, c.dstOlu);
    }
    // Missing sessions and another role: -2, ZRKerrno and the record untouched.
    struct Missing {
        const char *what;
        unsigned char id, page, role;
    };
    // clang-format off
    const Missing missing[] = {
        {"no session 99 (remote page)", 99, 0x1A, 1},
        {"no session 99 (local page)", 99, 0x04, 1},
        {"role 2 asked", 4, 0x08, 2},
    };
    // clang-format on
    for (const Missing &m : missing) {
        SCOPED_TRACE(m.what);
        const unsigned char id[2] = {0, m.id};
        RVZ_DETAIL_INFO record;
        std::memset(&record, 0x5A, sizeof record);
        ZRKerrno = 4242;
        EXPECT_EQ(GetSessionDetailInfo(kDisk, id, m.page, ZRK_REMOTE_RVZ, m.role, &record), -2);
        EXPECT_EQ(ZRKerrno, 4242);
        EXPECT_EQ(record.Status, 0x5A);
    }
    const unsigned char id[2] = {0, 3};
    RVZ_DETAIL_INFO record;
    sim.injectSense(1, 5, 0x24, 0);
    EXPECT_EQ(GetSessionDetailInfo(kDisk, id, 0x1A, ZRK_REMOTE_RVZ, 1, &record), -1);
}

TEST_F(Details, PageBasedDetailAnswersForMonitorAndSnapshotSessions) {
    Load(Arrays("paged") + "session 20 monitor A1 5 A1 -\n"
                           "session 21 snapkzp A1 5 A1 7\n"
                           "session 22 kzp A1 5 A1 6\n");
    struct Case {
        const char *what;
        unsigned char id;
        std::vector<int> pages;
        uint8_t mode;
    };
    // clang-format off
    const Case cases[] = {
        {"monitor", 20, {0x44}, 0xC3},
        {"SnapKZP", 21, {0x44}, 0x43},
        {"KZP goes on to the classic page", 22, {0x44, 0x16}, 0x01},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.clearLog();
        const unsigned char id[2] = {0, c.id};
        RVZ_DETAIL_INFO record;
        ASSERT_EQ(GetSessionDetailInfo(kDisk, id, 0x16, ZRK_REMOTE_KZP, 1, &record), 0) << ZRKerrno;
        EXPECT_EQ(PagesRead(), c.pages);
        EXPECT_EQ(record.ucPhaseMode, c.mode);
    }
}

TEST_F(Details, SearchThroughTheDetailList) {
    Load(Arrays("detail") + "session 3 vz A1 5 A1 6\n"
                            "session 4 vz A1 5 A1 6 status=suspend\n"
                            "session 5 kzp A1 5 A1 6\n"
                            "session 6 monitor A1 5 A1 -\n"
                            "session 12 rvz A1 5 A2 9 partner=40 srcext=0x100 size=0x200 dstext=0x300\n");
    unsigned char id[2] = {};
    RVZ_DETAIL_INFO vz;
    // The first of two matching entries.
    COPY_REQ local = Request("BOX-A1", 6);
    ASSERT_EQ(SearchVzSession(kDisk, &local, ZRK_REMOTE_RVZ, id, &vz), 0) << ZRKerrno;
    EXPECT_EQ(ShiftBtoI(id, 2), 3u);
    EXPECT_EQ(vz.Status, 2);
    EXPECT_EQ(vz.ucVolumeRole, 1);
    // The KZP family of the same pair, and the monitor session.
    RKZP_DETAIL_INFO kzp;
    ASSERT_EQ(SearchKzpSession(kDisk, &local, ZRK_REMOTE_KZP, id, &kzp), 0) << ZRKerrno;
    EXPECT_EQ(ShiftBtoI(id, 2), 5u);
    COPY_REQ monitor = Request("BOX-A1", 0xFFFFFFFF);
    ASSERT_EQ(SearchKzpSession(kDisk, &monitor, ZRK_REMOTE_KZP, id, &kzp), 0) << ZRKerrno;
    EXPECT_EQ(ShiftBtoI(id, 2), 6u);
    EXPECT_EQ(kzp.ucPhaseMode, 0xC3);
    // No session of another extent.
    COPY_REQ other = Request("BOX-A1", 6, 0x10, 0x20, 0x30);
    EXPECT_EQ(SearchVzSession(kDisk, &other, ZRK_REMOTE_RVZ, id, &vz), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SESSION);

    // The remote session from its destination's host: the partner's identifier.
    Load(Arrays("detail") + "session 12 rvz A1 5 A2 9 partner=40 srcext=0x100 size=0x200 dstext=0x300\n",
         kRemoteDisk);
    COPY_REQ remote = Request("BOX-A2", 9, 0x100, 0x200, 0x300);
    ASSERT_EQ(SearchVzSession(kRemoteDisk, &remote, ZRK_REMOTE_RVZ, id, &vz), 0) << ZRKerrno;
    EXPECT_EQ(ShiftBtoI(id, 2), 40u);
    EXPECT_EQ(vz.ucFlags & 0x30, 0x30);
}

TEST_F(Details, SearchThroughTheIdentifierLists) {
    Load(Arrays("idlist") + "session 3 vz A1 5 A1 6 status=idle\n"
                            "session 4 vz A1 5 A1 6\n"
                            "session 5 vz A1 5 A1 6 srcext=0x10 size=0x20 dstext=0x30\n");
    unsigned char id[2] = {};
    RVZ_DETAIL_INFO vz;
    // Session 3 has ended: its detail says "no such session" and the search
    // moves on.
    COPY_REQ whole = Request("BOX-A1", 6);
    ASSERT_EQ(SearchVzSession(kDisk, &whole, ZRK_REMOTE_RVZ, id, &vz), 0) << ZRKerrno;
    EXPECT_EQ(ShiftBtoI(id, 2), 4u);
    COPY_REQ part = Request("BOX-A1", 6, 0x10, 0x20, 0x30);
    ASSERT_EQ(SearchVzSession(kDisk, &part, ZRK_REMOTE_RVZ, id, &vz), 0) << ZRKerrno;
    EXPECT_EQ(ShiftBtoI(id, 2), 5u);
    COPY_REQ none = Request("BOX-A1", 7);
    EXPECT_EQ(SearchVzSession(kDisk, &none, ZRK_REMOTE_RVZ, id, &vz), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SESSION);
    // An empty list.
    RKZP_DETAIL_INFO kzp;
    EXPECT_EQ(SearchKzpSession(kDisk, &whole, ZRK_REMOTE_KZP, id, &kzp), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SESSION);
}

// ---- the failover session of a volume ----------------------------------------------------

constexpr char kCluster[] = R"(
array P boxid="BOX-P" partner=S role=1
array S boxid="BOX-S" partner=P role=2
volume P 5 2097152
volume P 6 2097152
volume S 7 2097152
volume S 8 2097152
disk /dev/sdb 8:16 S 7
session 1 failover P 6 S 8 count=299
session 300 failover P 5 S 7
)";

TEST_F(Details, FailoverSessionAcrossPagesAndHostilePages) {
    // A cluster array refuses support reads without the failover marks.
    HoldFailoverSupport();
    Load(kCluster);
    const std::string s = BoxId("BOX-S");
    const auto *box = reinterpret_cast<const unsigned char *>(s.data());
    const unsigned char olu7[2] = {0, 7};
    unsigned char entry[sizeof(DETAIL_LIST_INFO)] = {};
    ZRKOptionFlag = 0x80;
    ASSERT_EQ(GetTfoSession(kDisk, olu7, box, entry), 0) << ZRKerrno;
    EXPECT_EQ(ShiftBtoI(entry, 2), 300u);
    EXPECT_EQ(PagesRead(), (std::vector<int>{0x43, 0x43}));
    EXPECT_EQ(ZRKOptionFlag, 0x80u);

    struct Case {
        const char *what;
        size_t offset;
        const char *hex;
        int count;
        int zrkErrno;
        size_t pages;
    };
    // clang-format off
    const Case cases[] = {
        {"no session of the OLU", 0, "", 0, ZRK_ERR_NO_TFO, 2},
        {"next identifier repeats", 12, "0001", 10, ZRK_ERR_SCSI, 2},
        {"a page claims 1025 entries", 10, "0401", 1, ZRK_ERR_SCSI, 1},
    };
    // clang-format on
    const unsigned char olu9[2] = {0, 9};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        sim.clearFaults();
        sim.clearLog();
        if (c.count != 0) sim.corrupt(0x43, c.offset, c.hex, c.count);
        EXPECT_EQ(GetTfoSession(kDisk, olu9, box, entry), -1);
        EXPECT_EQ(ZRKerrno, c.zrkErrno);
        EXPECT_EQ(PagesRead().size(), c.pages);
        EXPECT_EQ(ZRKOptionFlag, 0x80u);
    }
    ZRKOptionFlag = 0;
}

}  // namespace
