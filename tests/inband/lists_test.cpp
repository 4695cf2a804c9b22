// The session lists against the simulator: the detail list read page by page
// (also across more than one page, into an area too small for it, and from
// hostile pages), the session identifier lists of the families with their
// widening, role filter and length bounds, the identifier list built from
// the detail list, the RVZ buffer list; and the records DETAIL_LIST_INFO,
// COPY_REQ and SESSION_ID_ENTRY with the match of a request in a list.
#include "inband_support.h"
#include "zrkcmd.h"
#include "zrklist.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace inbandtest;

namespace {

constexpr char kDisk[] = "/dev/sdb";

constexpr char kArray[] = R"(
array A1 boxid="BOX-A1" profile=detail
array A2 boxid="BOX-A2" profile=detail
volume A1 5 2097152
volume A1 6 2097152
volume A2 9 2097152
disk /dev/sdb 8:16 A1 5
)";

class Lists : public InbandTest {
protected:
    Lists() : InbandTest(kArray) {}

    // The page 0x43 commands of the log.
    std::vector<zrksim::CdbRecord> DetailPages() const {
        std::vector<zrksim::CdbRecord> pages;
        for (const auto &r : sim.cdbLog())
            if (r.cdb.size() == 10 && r.cdb[0] == 0xEB && r.cdb[2] == 0x43) pages.push_back(r);
        return pages;
    }
};

// ---- the detail list ------------------------------------------------------------

TEST_F(Lists, DetailListOfMoreThanOnePageComesBackWhole) {
    sim.addSession("1 vz A1 5 A1 6 count=300");
    std::vector<DETAIL_LIST_INFO> area(1024);
    int count = -1;
    sim.clearLog();
    ASSERT_EQ(GetDetailList(kDisk, 0, &count, area.data(), static_cast<int>(area.size())), 0)
        << ZRKerrno;
    ASSERT_EQ(count, 300);
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(ShiftBtoI(area[i].ucaSessionID, 2), static_cast<unsigned>(i + 1)) << i;
    const auto pages = DetailPages();
    ASSERT_EQ(pages.size(), 2u);
    // Mode 1, the page, no selection, the start identifier, 40976 bytes.
    EXPECT_EQ(zrksim::toHex(pages[0].cdb), "eb014300000000a01000");
    EXPECT_EQ(zrksim::toHex(pages[1].cdb), "eb014300010100a01000");
}

TEST_F(Lists, EmptyDetailListAndTheListEverySessionMode) {
    std::vector<DETAIL_LIST_INFO> area(4);
    int count = -1;
    sim.clearLog();
    ASSERT_EQ(GetDetailList(kDisk, ZRK_LIST_MODE_ALL, &count, area.data(), 4), 0) << ZRKerrno;
    EXPECT_EQ(count, 0);
    const auto pages = DetailPages();
    ASSERT_EQ(pages.size(), 1u);
    // Bit 7 of the mode goes into byte 3.
    EXPECT_EQ(zrksim::toHex(pages[0].cdb), "eb014380000000a01000");
}

TEST_F(Lists, DetailListNeverWritesPastTheCallersArea) {
    sim.addSession("1 vz A1 5 A1 6 count=300");
    constexpr int kCapacity = 260; // the first page fits, the second does not
    std::vector<DETAIL_LIST_INFO> area(kCapacity + 8);
    std::memset(area.data(), 0xAA, area.size() * sizeof area[0]);
    int count = -1;
    EXPECT_EQ(GetDetailList(kDisk, 0, &count, area.data(), kCapacity), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_SCSI);
    EXPECT_EQ(count, -1);
    // The first page stays, nothing of the second was written.
    EXPECT_EQ(ShiftBtoI(area[255].ucaSessionID, 2), 256u);
    EXPECT_EQ(area[256].ucaSessionID[0], 0xAA);
    EXPECT_EQ(area[kCapacity + 7].ucaStartTime[7], 0xAA);
}

TEST_F(Lists, HostileDetailPagesAreRefused) {
    sim.addSession("1 vz A1 5 A1 6 count=3");
    std::vector<DETAIL_LIST_INFO> area(2048);
    struct Corruption {
        size_t offset;
        const char *hex;
        int count, skip;
    };
    struct Case {
        const char *what;
        std::vector<Corruption> corruptions;
        size_t pages; // pages read before the refusal
    };
    // clang-format off
    const Case cases[] = {
        {"1025 entries in a page", {{10, "0401", 1, 0}}, 1},
        {"257 entries in a page", {{10, "0101", 1, 0}}, 1},
        {"next identifier repeats", {{12, "0001", 10, 0}}, 2},
        {"next identifier goes back", {{12, "0005", 1, 0}, {12, "0002", 1, 1}}, 2},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        sim.clearFaults();
        sim.clearLog();
        for (const auto &k : c.corruptions) sim.corrupt(0x43, k.offset, k.hex, k.count, k.skip);
        int count = -1;
        EXPECT_EQ(GetDetailList(kDisk, 0, &count, area.data(), 2048), -1);
        EXPECT_EQ(ZRKerrno, ZRK_ERR_SCSI);
        EXPECT_EQ(count, -1);
        EXPECT_EQ(DetailPages().size(), c.pages);
    }
}

TEST_F(Lists, DetailListNeedsTheArraysList) {
    sim.load("array A1 boxid=\"BOX-A1\" profile=idlist\n"
             "volume A1 5 2097152\n"
             "disk /dev/sdb 8:16 A1 5\n");
    std::vector<DETAIL_LIST_INFO> area(4);
    int count = -1;
    sim.clearLog();
    EXPECT_EQ(GetDetailList(kDisk, 0, &count, area.data(), 4), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    EXPECT_TRUE(DetailPages().empty());
    // The failover selection on an array outside a storage cluster.
    sim.load(kArray);
    NewCall();
    ZRKOptionFlag = ZRK_OPT_LIST_FAILOVER;
    EXPECT_EQ(GetDetailList(kDisk, 0, &count, area.data(), 4), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    ZRKOptionFlag = 0;
}

TEST_F(Lists, OnePageRefusesACountBeyondThePage) {
    DETAIL_LIST_INFO page[ZRK_DETAIL_PAGE_ENTRIES];
    int count = -1;
    unsigned int next = 7;
    sim.corrupt(0x43, 10, "0101");
    EXPECT_EQ(GetDetailList_sub(kDisk, 0, 0, &count, &next, page), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_SCSI);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(next, 7u);
}

// ---- identifier lists -------------------------------------------------------------

constexpr char kIdList[] = R"(
array A1 boxid="BOX-A1" profile=idlist
volume A1 5 2097152
volume A1 6 2097152
volume A1 7 2097152
disk /dev/sdb 8:16 A1 5
session 3 vz A1 5 A1 6 status=suspend phase=tracking
session 4 vz A1 5 A1 7 volrole=2
session 9 vz A1 6 A1 7 phase=copying
)";

TEST_F(Lists, LocalIdentifierListIsWidenedAndCutToTheRole) {
    sim.load(kIdList);
    ASSERT_EQ(CheckProduct(kDisk), 0) << ZRKerrno;
    ASSERT_EQ(GetSupportCopyInfo(kDisk, nullptr, nullptr), 0) << ZRKerrno;
    unsigned char *list = nullptr;
    int count = -1;
    // Without the RVZ bit of the remote-support byte the local page is read.
    ASSERT_EQ(GetSessionIdList(kDisk, ZRK_PAGE_REMOTE_VZ_LIST, 0, 1, &list, &count), 0)
        << ZRKerrno;
    const zrk::Buffer owned(list);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(ShiftBtoI(list + 6, 2), 2u * 16 + 8);
    const Bytes entries(list + 16, list + 16 + 2 * 16);
    EXPECT_EQ(entries, Hex("0003 00 01 04 03 0000 00000005 00000006"
                           "0009 00 01 02 01 0000 00000006 00000007"));
    EXPECT_EQ(sim.cdbLog().back().cdb[2], ZRK_PAGE_LOCAL_VZ_LIST);
}

TEST_F(Lists, IdentifierListLengthIsBoundedByWhatWasRead) {
    sim.load(kIdList);
    struct Case {
        const char *what;
        unsigned char page;
        const char *length; // laid over bytes 6-7 of the reply
        int count;
    };
    // clang-format off
    const Case cases[] = {
        {"remote list claims 65535 bytes", ZRK_PAGE_REMOTE_VZ_LIST, "ffff", 2},
        {"local list claims 65535 bytes", ZRK_PAGE_LOCAL_VZ_LIST, "ffff", 2},
        {"length below 8", ZRK_PAGE_REMOTE_VZ_LIST, "0004", 0},
        {"length 0", ZRK_PAGE_LOCAL_VZ_LIST, "0000", 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NewCall();
        ASSERT_EQ(GetSupportCopyInfo(kDisk, nullptr, nullptr), 0) << ZRKerrno;
        // The first read of the page is that of its maximum counts.
        sim.corrupt(c.page, 6, c.length, 1, 1);
        unsigned char *list = nullptr;
        int count = -1;
        const unsigned char remote = c.page == ZRK_PAGE_REMOTE_VZ_LIST ? ZRK_REMOTE_RVZ : 0;
        ASSERT_EQ(GetSessionIdList(kDisk, ZRK_PAGE_REMOTE_VZ_LIST, remote, 1, &list, &count), 0)
            << ZRKerrno;
        std::free(list);
        EXPECT_EQ(count, c.count);
    }
}

TEST_F(Lists, IdentifierListAreaIsCappedAndTheShortFormClamped) {
    struct Case {
        const char *what;
        const char *array; // the array line
        const char *cdb;   // the list read
    };
    // clang-format off
    const Case cases[] = {
        // (5000 + 5000 + 1) x 16 bytes do not fit the 16 bits of the short form.
        {"short form", "array A1 boxid=\"BOX-A1\" profile=idlist maxsessions=16,5000,16,5000", "eb011900000000ffff00"},
        // The large form (byte 31 bit 0x20) takes the area, capped at 0x3F000.
        {"large form", "array A1 boxid=\"BOX-A1\" maxsessions=16,60000,16,60000 support=00000000000000010000000000000001000000000001000100000000000f0021", "eb091900000003f00000"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.load(std::string(c.array) + "\nvolume A1 5 2097152\nvolume A1 6 2097152\n"
                                        "disk /dev/sdb 8:16 A1 5\nsession 1 vz A1 5 A1 6\n");
        NewCall();
        ASSERT_EQ(GetSupportCopyInfo(kDisk, nullptr, nullptr), 0) << ZRKerrno;
        unsigned char *list = nullptr;
        int count = -1;
        sim.clearLog();
        ASSERT_EQ(GetSessionIdList(kDisk, ZRK_PAGE_REMOTE_VZ_LIST, ZRK_REMOTE_RVZ, 1, &list,
                                   &count), 0)
            << ZRKerrno;
        std::free(list);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(zrksim::toHex(sim.cdbLog().back().cdb), c.cdb);
    }
}

TEST_F(Lists, IdentifierListFromTheDetailList) {
    sim.addSession("7 vz A1 5 A1 6 mode=sync status=suspend phase=tracking");
    sim.addSession("8 kzp A1 5 A1 6");
    sim.addSession("12 rvz A1 5 A2 9 partner=40");
    ASSERT_EQ(GetSupportCopyInfo(kDisk, nullptr, nullptr), 0) << ZRKerrno;
    unsigned char *list = nullptr;
    ASSERT_EQ(GetTVCSessionIdList(kDisk, ZRK_FAMILY_VZ, &list), 0) << ZRKerrno;
    const zrk::Buffer owned(list);
    // Page 0x19 (RVZ set up), two VZ-family entries, the family's maxima.
    EXPECT_EQ(Bytes(list, list + 16), Hex("19000000 00000028 0010040000100400"));
    EXPECT_EQ(Bytes(list + 16, list + 48), Hex("0007 84 01 04 03 0000 00000005 00000006"
                                                "000c a0 01 02 02 0000 00000005 00000009"));
}

TEST_F(Lists, RvzBufferList) {
    unsigned char *reply = nullptr;
    int length = 0;
    sim.clearLog();
    ASSERT_EQ(GetRVZBuffInfo(kDisk, &reply, &length), 0) << ZRKerrno;
    std::free(reply);
    EXPECT_EQ(length, ZRK_RVZ_BUFF_FIRST_LEN);
    ASSERT_EQ(sim.cdbLog().size(), 1u);

    sim.load(std::string(kArray) + "rvzbuffer A1 1 remote=A2\nrvzbuffer A1 2 remote=A2\n");
    NewCall();
    sim.clearLog();
    ASSERT_EQ(GetRVZBuffInfo(kDisk, &reply, &length), 0) << ZRKerrno;
    const zrk::Buffer owned(reply);
    EXPECT_EQ(length, 8 * 64 + 16);
    EXPECT_EQ(ShiftBtoI(reply + 10, 2), 2u);
    EXPECT_EQ(reply[16 + 1], 1);
    EXPECT_EQ(reply[16 + 64 + 1], 2);
    const auto log = sim.cdbLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(zrksim::toHex(log[1].cdb), "eb012100000000021000");

    // 2000 buffers would take more than the 16 bits of the short form.
    sim.load("array A1 boxid=\"BOX-A1\" profile=detail rvzbuffers=2000\n"
             "array A2 boxid=\"BOX-A2\"\nvolume A1 5 2097152\ndisk /dev/sdb 8:16 A1 5\n"
             "rvzbuffer A1 1 remote=A2\n");
    NewCall();
    sim.clearLog();
    ASSERT_EQ(GetRVZBuffInfo(kDisk, &reply, &length), 0) << ZRKerrno;
    std::free(reply);
    EXPECT_EQ(length, 2000 * 64 + 16);
    EXPECT_EQ(zrksim::toHex(sim.cdbLog().back().cdb), "eb012100000000ffff00");
}

// ---- the records ---------------------------------------------------------------------

TEST(ListRecords, DetailEntryFieldsSitWhereTheArrayPutsThem) {
    const zrk::DetailEntry e = zrk::DecodeDetailEntry(Pattern<DETAIL_LIST_INFO>());
    EXPECT_EQ(e.uhSessionId, 0x0001);
    EXPECT_EQ(e.uhPartnerId, 0x0203);
    EXPECT_EQ(e.ucCopyKind, 4);
    EXPECT_EQ(e.ucPhase, 8);
    EXPECT_EQ(e.ucStatus, 9);
    EXPECT_EQ(e.uiLapseTime, 0x0C0D0E0Fu);
    EXPECT_EQ(e.ucaSrcBoxID[0], 16);
    EXPECT_EQ(e.ucaDstBoxID[0], 56);
    EXPECT_EQ(e.uiSrcOlu, 0x60616263u);
    EXPECT_EQ(e.uiDstOlu, 0x64656667u);
    EXPECT_EQ(e.uhExtentCnt, 0x6869);
    EXPECT_EQ(e.ullCopiedBlock, 0x6C6D6E6F70717273ull);
    EXPECT_EQ(e.ullSrcExtent, 0x7475767778797A7Bull);
    EXPECT_EQ(e.ullSrcSize, 0x7C7D7E7F80818283ull);
    EXPECT_EQ(e.ullDstExtent, 0x8485868788898A8Bull);
    EXPECT_EQ(e.ucaState140[6], 146);
    EXPECT_EQ(e.uiValue148, 0x94959697u);
    EXPECT_EQ(e.ucaStartTime[0], 152);
    // A session addressed from the destination side goes by its partner's id.
    zrk::DetailEntry dest = e;
    dest.ucModeFlags = ZRK_MODEFLAG_DEST_SIDE;
    EXPECT_EQ(dest.IdInUse(), 0x0203);
    dest.ucModeFlags = 0;
    EXPECT_EQ(dest.IdInUse(), 0x0001);
}

TEST(ListRecords, EveryRecordSurvivesARoundTrip) {
    std::mt19937 random(20240611);
    for (int i = 0; i < 50; ++i) {
        const Bytes d = RandomBytes(random, sizeof(DETAIL_LIST_INFO));
        EXPECT_EQ(BytesOf(zrk::EncodeDetailEntry(zrk::DecodeDetailEntry(RecordOf<DETAIL_LIST_INFO>(d)))), d);
        const Bytes r = RandomBytes(random, sizeof(COPY_REQ));
        EXPECT_EQ(BytesOf(zrk::EncodeCopyReq(zrk::DecodeCopyReq(RecordOf<COPY_REQ>(r)))), r);
        const Bytes s = RandomBytes(random, sizeof(SESSION_ID_ENTRY));
        EXPECT_EQ(BytesOf(zrk::EncodeSessionIdEntry(zrk::DecodeSessionIdEntry(RecordOf<SESSION_ID_ENTRY>(s)))), s);
    }
}

TEST(ListRecords, ConversionsIntoIdentifierEntries) {
    struct Case {
        const char *what;
        Bytes in;       // the source bytes
        Bytes expected; // the 16-byte entry
    };
    const Bytes detail = BytesOf(Pattern<DETAIL_LIST_INFO>());
    // clang-format off
    const Case cases[] = {
        // id 01 (byte 6 = 06: no destination side), flags 0x80|0x20 of 05 = 0,
        // 06 & 0x17 = 06, role 1, status 09, phase 08, OLUs 96-99, 100-103.
        {"from a detail-list entry", detail, Hex("0001 06 01 09 08 0000 60616263 64656667")},
        {"a local 8-byte entry", Hex("1234 5a 01 0102 0304"), Hex("1234 00 01 0a 05 0000 00000102 00000304")},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const zrk::SessionIdEntry e =
            c.in.size() == 8 ? zrk::WidenLocalSessionEntry(c.in.data())
                             : zrk::SessionIdFromDetail(
                                   zrk::DecodeDetailEntry(RecordOf<DETAIL_LIST_INFO>(c.in)));
        EXPECT_EQ(BytesOf(zrk::EncodeSessionIdEntry(e)), c.expected);
    }
    // Destination side: the partner's identifier, and bit 4 in the flags.
    Bytes dest = detail;
    dest[5] = 0xA0;
    dest[6] = 0x17;
    const zrk::SessionIdEntry e =
        zrk::SessionIdFromDetail(zrk::DecodeDetailEntry(RecordOf<DETAIL_LIST_INFO>(dest)));
    EXPECT_EQ(BytesOf(zrk::EncodeSessionIdEntry(e)), Hex("0203 b7 01 09 08 0000 60616263 64656667"));
}

// A list entry and the request that names it.
zrk::DetailEntry Entry(uint16_t id, uint8_t kind, bool remote) {
    zrk::DetailEntry e{};
    e.uhSessionId = id;
    e.ucCopyKind = kind;
    e.ucSessionFlags = remote ? ZRK_SESFLAG_REMOTE : 0;
    std::memcpy(e.ucaSrcBoxID, BoxId("BOX-A1").data(), ZRK_BOXID_LEN);
    std::memcpy(e.ucaDstBoxID, BoxId(remote ? "BOX-A2" : "BOX-A1").data(), ZRK_BOXID_LEN);
    e.uiSrcOlu = 5;
    e.uiDstOlu = 0x10006;
    e.ullSrcExtent = 0x1100000100ull;
    e.ullSrcSize = 0x2200000200ull;
    e.ullDstExtent = 0x3300000300ull;
    return e;
}
COPY_REQ Request(bool remote) {
    zrk::CopyReq r{};
    std::memcpy(r.ucaSrcBoxID, BoxId("BOX-A1").data(), ZRK_BOXID_LEN);
    std::memcpy(r.ucaDstBoxID, BoxId(remote ? "BOX-A2" : "BOX-A1").data(), ZRK_BOXID_LEN);
    r.uhSrcOlu = 5;
    r.uhDstOlu = 6;
    r.uiDstOluFull = 0x10006;
    r.uiSrcExtent = 0x100;
    r.uiSrcSize = 0x200;
    r.uiDstExtent = 0x300;
    r.ucRemoteFlag = remote ? 1 : 0;
    r.ucVolumeRole = 1;
    return zrk::EncodeCopyReq(r);
}

TEST(ListRecords, QueryDetailFromListTakesTheFirstMatch) {
    struct Case {
        const char *what;
        std::vector<zrk::DetailEntry> list;
        int family;
        bool remote;
        int found; // identifier of the entry returned, 0 for none (21)
    };
    zrk::DetailEntry otherOlu = Entry(3, 2, false);
    otherOlu.uiSrcOlu = 0x20005; // the low half matches: only bytes 98-99 count
    zrk::DetailEntry otherSize = Entry(4, 2, false);
    otherSize.ullSrcSize = 0x201;
    zrk::DetailEntry otherBox = Entry(5, 2, true);
    otherBox.ucaDstBoxID[39] = 'x';
    zrk::DetailEntry localOtherBox = Entry(6, 2, false);
    localOtherBox.ucaDstBoxID[0] = 'Z'; // a local request does not read BoxIDs
    // clang-format off
    const Case cases[] = {
        {"empty list", {}, ZRK_FAMILY_VZ, false, 0},
        {"two matches", {Entry(1, 2, false), Entry(2, 2, false)}, ZRK_FAMILY_VZ, false, 1},
        {"low half of the source OLU", {otherOlu}, ZRK_FAMILY_VZ, false, 3},
        {"size differs", {otherSize}, ZRK_FAMILY_VZ, false, 0},
        {"VZ family skips KZP", {Entry(7, 1, false), Entry(8, 2, false)}, ZRK_FAMILY_VZ, false, 8},
        {"KZP family skips VZ", {Entry(8, 2, false), Entry(9, 3, false)}, ZRK_FAMILY_KZP, false, 9},
        {"any family", {Entry(10, 3, false)}, 0, false, 10},
        {"remote flag differs", {Entry(11, 2, true)}, ZRK_FAMILY_VZ, false, 0},
        {"remote BoxID differs", {otherBox, Entry(12, 2, true)}, ZRK_FAMILY_VZ, true, 12},
        {"local ignores BoxIDs", {localOtherBox}, ZRK_FAMILY_VZ, false, 6},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<DETAIL_LIST_INFO> list;
        for (const auto &e : c.list) list.push_back(zrk::EncodeDetailEntry(e));
        DETAIL_LIST_INFO out{};
        ZRKerrno = 0;
        const int rc = QueryDetailfromList(static_cast<int>(list.size()), list.data(), c.family,
                                           &out, Request(c.remote));
        if (c.found == 0) {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(ZRKerrno, ZRK_ERR_NO_SESSION);
        } else {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(ShiftBtoI(out.ucaSessionID, 2), static_cast<unsigned>(c.found));
        }
    }
}

}  // namespace
