// Device information, logical-unit information, the OLU status list and the
// copy protection of an OLU, against the simulated array: what each call
// returns, the commands it sends, and how it stands up to hostile pages.
#include "inband_support.h"

#include "zrkapi.h"

#include <string>
#include <vector>

namespace {

using namespace inbandtest;
using zrk::Be16;
using zrk::Be32;

constexpr char kDisk[] = "/dev/sdb";
constexpr uint32_t kVolumes = 600;      // OLUs 0, 2, 4, ... 1198
constexpr uint32_t kLastOlu = 2 * (kVolumes - 1);
constexpr size_t kRecord = ZRK_OLU_STATUS_LEN;

// KZP kinds with QuickKZP, SnapKZP and the OLU status functions.
const std::string kSupport = "support=" + HexDigits("00000000250000a1 00000000000000a1 "
                                                     "00000000004b00a1 0000000000ff00a1");
// The same without the OLU status functions.
const std::string kNoOluSupport = "support=" + HexDigits("00000000050000a1 00000000000000a1 "
                                                          "00000000004b00a1 0000000000ff00a1");

// An array of kVolumes volumes at the even OLUs; OLU 12 is a snap data
// volume; the host reaches it through OLU 6.
std::string Scenario(const std::string &support = kSupport, const std::string &extra = "") {
    std::string s = "array C1 boxid=\"BOX-C1\" " + support + " " + extra + "\n";
    for (uint32_t i = 0; i < kVolumes; ++i) {
        const uint32_t olu = 2 * i;
        s += "volume C1 " + std::to_string(olu) + " 2097152" + (olu == 12 ? " type=sdv" : "") + "\n";
    }
    s += "disk /dev/sdb 8:16 C1 6\n";
    return s;
}

class OluStatus : public InbandTest {
protected:
    OluStatus() : InbandTest(Scenario(), Catalogue::kShipped) {}

    // The CDBs of the OLU status list reads the array received.
    std::vector<std::vector<unsigned char>> ListReads() const {
        std::vector<std::vector<unsigned char>> reads;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (r.cdb.size() == 10 && r.cdb[0] == ZRK_OP_TRAVO_IN && r.cdb[2] == 0x33) reads.push_back(r.cdb);
        return reads;
    }
    // The TRAVO OUT parameter lists the array received.
    std::vector<std::vector<unsigned char>> Lists() const {
        std::vector<std::vector<unsigned char>> lists;
        for (const zrksim::CdbRecord &r : sim.cdbLog())
            if (!r.cdb.empty() && r.cdb[0] == ZRK_OP_TRAVO_OUT) lists.push_back(r.dataOut);
        return lists;
    }
    // The list of start..end into an area of room for it and 64 guard bytes.
    int ReadList(uint32_t start, uint32_t end, std::vector<unsigned char> &area) {
        area.assign(ZRK_OLU_STATUS_LIST_LEN(size_t{start}, size_t{end}) + 64, 0xEE);
        FreshCall();
        const int rc = ZRKGetOLUStatusList(kDisk, start, end, area.data(), sense);
        EXPECT_EQ(ZRKopenFlag, 0);
        EXPECT_EQ(ZRKopenFd, 0);
        return rc;
    }
    // The OLU status record of olu as the list gives it.
    std::vector<unsigned char> Record(uint32_t olu) {
        std::vector<unsigned char> area;
        EXPECT_EQ(ReadList(olu, olu, area), 0) << ZRKerrno;
        EXPECT_EQ(Be32(area.data()), 1u);
        return {area.begin() + 8, area.begin() + 8 + kRecord};
    }

    unsigned char sense[ZRK_SENSE_LEN];
};

// ---- the OLU status list ----------------------------------------------------------------

// Each range: the OLUs stored, in rising order, and the pages read from
// which OLUs. A page holds 512 records; the first page from OLU 0 ends at
// 1022 and names 1024 as the next.
TEST_F(OluStatus, ListsAcrossPages) {
    struct Case {
        const char *pWhat;
        uint32_t uiStart, uiEnd;
        uint32_t uiFirst, uiCount;         // first OLU stored, records stored (every second OLU)
        std::vector<uint32_t> vPagesFrom;  // the OLU each page read starts at
    };
    const Case cases[] = {
        {"one OLU inside the first page", 0x10, 0x10, 0x10, 1, {0x10}},
        {"every OLU", 0, 0xFFFF, 0, kVolumes, {0, 1024}},
        {"two pages ending at the end OLU", 2, 1100, 2, 550, {2, 1026}},
        {"a range inside one page", 1000, 1100, 1000, 51, {1000}},
        {"the end OLU before the next page", 0, 1022, 0, 512, {0}},
        {"an OLU the array lacks", 1, 1, 0, 0, {1}},
        {"beyond the last OLU", kLastOlu + 1, 0xFFFF, 0, 0, {kLastOlu + 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        std::vector<unsigned char> area;
        std::memset(sense, 0xEE, sizeof sense);
        ASSERT_EQ(ReadList(c.uiStart, c.uiEnd, area), 0) << ZRKerrno;
        EXPECT_TRUE(AllZero(sense, sizeof sense));
        EXPECT_EQ(Be32(area.data()), c.uiCount);
        EXPECT_EQ(Be32(area.data() + 4), 0u);
        for (uint32_t i = 0; i < c.uiCount; ++i) {
            const unsigned char *record = area.data() + 8 + i * kRecord;
            ASSERT_EQ(Be16(record), c.uiFirst + 2 * i) << i;
            EXPECT_EQ(record[4], Be16(record) == 12 ? 0x01 : 0x00) << i;
        }
        for (size_t i = 8 + c.uiCount * kRecord; i < area.size(); ++i) ASSERT_EQ(area[i], 0xEE) << i;
        const auto reads = ListReads();
        ASSERT_EQ(reads.size(), c.vPagesFrom.size());
        for (size_t i = 0; i < reads.size(); ++i) {
            EXPECT_EQ(reads[i][1] & 0x0F, 0x09) << "mode 1, large form";
            EXPECT_EQ(Be16(reads[i].data() + 4), c.vPagesFrom[i]);
            EXPECT_EQ(Be32(reads[i].data() + 5) & 0xFFFFFF, 28688u);
        }
    }
}

// Pages that say more than they hold, repeat OLUs or name a next page that
// does not advance: only what lies in the range, in rising order, is stored,
// and the walk ends.
TEST_F(OluStatus, HostilePages) {
    struct Case {
        const char *pWhat;
        size_t uiOffset;   // in the reply, header included
        const char *pHex;
        uint32_t uiStart, uiEnd;
        uint32_t uiCount;  // records stored
        size_t uiPages;    // pages read
    };
    const Case cases[] = {
        // A count of 0xFFFF is read as 512; records past the array's are 0.
        {"count above 512", 8, "ffff", 0, 0xFFFF, kVolumes, 2},
        {"count above 512, a range the zero records fall in", 8, "ffff", 0, 0, 1, 1},
        // The same OLU again and an OLU going back are not stored.
        {"an OLU repeated", 8 + 8 + kRecord, "0000", 0, 10, 5, 1},
        {"an OLU going back", 8 + 8 + 2 * kRecord, "0000", 0, 10, 5, 1},
        // A next page at or before the one read ends the walk.
        {"next OLU pointing back", 8 + 4, "0000", 0, 0xFFFF, 512, 1},
        {"next OLU pointing at itself", 8 + 4, "0002", 2, 0xFFFF, 512, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        sim.corrupt(0x33, c.uiOffset, c.pHex, 1000);
        std::vector<unsigned char> area;
        ASSERT_EQ(ReadList(c.uiStart, c.uiEnd, area), 0) << ZRKerrno;
        EXPECT_EQ(Be32(area.data()), c.uiCount);
        uint32_t previous = 0;
        for (uint32_t i = 0; i < Be32(area.data()) && i < c.uiCount; ++i) {
            const uint32_t olu = Be16(area.data() + 8 + i * kRecord);
            if (i != 0) {
                EXPECT_GT(olu, previous) << i;
            }
            EXPECT_GE(olu, c.uiStart);
            EXPECT_LE(olu, c.uiEnd);
            previous = olu;
        }
        for (size_t i = ZRK_OLU_STATUS_LIST_LEN(size_t{c.uiStart}, size_t{c.uiEnd}); i < area.size(); ++i)
            ASSERT_EQ(area[i], 0xEE) << i;
        EXPECT_EQ(ListReads().size(), c.uiPages);
        sim.clearFaults();
    }
}

// Refusals of the list: the arguments before any command, an array without
// the function after its support data, a failed page read with its sense.
TEST_F(OluStatus, ListRefusals) {
    std::vector<unsigned char> area(ZRK_OLU_STATUS_LIST_LEN(0, 4), 0);
    struct Case {
        const char *pWhat;
        uint32_t uiStart, uiEnd;
        unsigned char *pList;
        int iErrno;
    };
    const Case cases[] = {
        {"start above 0xFFFF", 0x10000, 0x10000, area.data(), ZRK_ERR_OLU},
        {"end above 0xFFFF", 0, 0x10000, area.data(), ZRK_ERR_OLU},
        {"end below start", 4, 3, area.data(), ZRK_ERR_PARAMETER},
        {"no list", 0, 4, nullptr, ZRK_ERR_PARAMETER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        FreshCall();
        EXPECT_EQ(ZRKGetOLUStatusList(kDisk, c.uiStart, c.uiEnd, c.pList, sense), -1);
        EXPECT_EQ(ZRKerrno, c.iErrno);
        EXPECT_TRUE(sim.cdbLog().empty());
    }

    // A failed read: the sense to the caller, the device released.
    sim.injectSenseOnPage(0x33, 1, 3, 0x11, 0);
    std::vector<unsigned char> list;
    EXPECT_EQ(ReadList(0, 4, list), -1);
    EXPECT_NE(ZRKerrno, 0);
    EXPECT_EQ(sense[2] & 0x0F, 3);
    EXPECT_EQ(sense[12], 0x11);

    // No group announces the function.
    Reload(Scenario(kNoOluSupport));
    EXPECT_EQ(ReadList(0, 4, list), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    EXPECT_TRUE(ListReads().empty());
}

// A fault walk: every command failing in turn; the device is released after
// every run and the sense reaches the caller.
TEST_F(OluStatus, ListFaultWalk) {
    std::vector<unsigned char> area(ZRK_OLU_STATUS_LIST_LEN(0, 1100), 0);
    const FaultWalk walk = WalkWithSense(
        sim, [&](unsigned char *s) { return ZRKGetOLUStatusList(kDisk, 0, 1100, area.data(), s); }, 0);
    EXPECT_TRUE(walk.bEnded);
    EXPECT_GE(walk.iFaultedRuns, 3); // at least the support data and two pages
}

// ---- the copy protection of an OLU ------------------------------------------------------

// Setting and removing the protection: one list of function 0x33 each, and
// the array's record changes.
TEST_F(OluStatus, SetsAndRemovesTheProtection) {
    for (const unsigned char on : {1, 0}) {
        SCOPED_TRACE(static_cast<int>(on));
        const unsigned char status[2] = {on, 0};
        FreshCall();
        std::memset(sense, 0xEE, sizeof sense);
        ASSERT_EQ(ZRKSetOLUStatus(kDisk, 0x20, status, sense), 0) << ZRKerrno;
        EXPECT_TRUE(AllZero(sense, sizeof sense));
        EXPECT_EQ(ZRKopenFlag, 0);
        const auto lists = Lists();
        ASSERT_EQ(lists.size(), 1u);
        const std::vector<unsigned char> expected = {0x33, 0, 0, 0, 0, 0, 0, 8, 0x00, 0x20, on, 0, 0, 0, 0, 0};
        EXPECT_EQ(lists[0], expected);
        EXPECT_EQ((Record(0x20)[4] & 0x08) != 0, on == 1);
    }
}

// Refusals of the setting: the arguments before any command (13, 48); a
// snap data volume is not protected (71) and needs no removal; a volume in
// a storage cluster (99); the array's storage-cluster refusal (101); an
// array without the function (17); an OLU the array lacks (its status read
// refused). None but the array's own refusal sends a list.
TEST_F(OluStatus, SetRefusals) {
    struct Case {
        const char *pWhat;
        uint32_t uiOlu;
        std::vector<unsigned char> vStatus;  // empty: no status word
        std::function<void(zrksim::Simulator &)> fnPrepare;
        int iResult, iErrno;
        bool bCommands;  // any command reaches the array
        size_t uiLists;  // TRAVO OUT lists sent
    };
    auto none = [](zrksim::Simulator &) {};
    const Case cases[] = {
        {"status word 2 0", 0x20, {2, 0}, none, -1, ZRK_ERR_PARAMETER, false, 0},
        {"status word 0 1", 0x20, {0, 1}, none, -1, ZRK_ERR_PARAMETER, false, 0},
        {"no status word", 0x20, {}, none, -1, ZRK_ERR_PARAMETER, false, 0},
        {"OLU 0x10000", 0x10000, {1, 0}, none, -1, ZRK_ERR_OLU, false, 0},
        {"protect a snap data volume", 12, {1, 0}, none, -1, ZRK_ERR_SDV_PROTECT, true, 0},
        {"remove from a snap data volume", 12, {0, 0}, none, 0, 0, true, 0},
        {"an OLU the array lacks", 0x21, {1, 0}, none, -1, ZRK_ERR_OLU, true, 0},
        {"a volume in a storage cluster", 0x20, {1, 0},
         [](zrksim::Simulator &s) { s.setRole("C1", ZRK_ROLE_PRIMARY, 1); }, -1, ZRK_ERR_CLUSTER, true, 0},
        {"the array refuses for the storage cluster", 0x20, {1, 0},
         [](zrksim::Simulator &s) { s.injectSenseOnList(0x33, 1, 0x02, 0x04, 0x0B); }, -1,
         ZRK_ERR_CLUSTER_PROTECT, true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        Reload(Scenario());
        c.fnPrepare(sim);
        FreshCall();
        const int rc = ZRKSetOLUStatus(kDisk, c.uiOlu, c.vStatus.empty() ? nullptr : c.vStatus.data(), sense);
        EXPECT_EQ(rc, c.iResult);
        if (c.iResult != 0) {
            EXPECT_EQ(ZRKerrno, c.iErrno);
        }
        EXPECT_EQ(ZRKopenFlag, 0);
        EXPECT_EQ(!sim.cdbLog().empty(), c.bCommands);
        EXPECT_EQ(Lists().size(), c.uiLists);
        zrk::ClearFailoverRole();
    }

    Reload(Scenario(kNoOluSupport));
    const unsigned char status[2] = {1, 0};
    EXPECT_EQ(ZRKSetOLUStatus(kDisk, 0x20, status, sense), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_NOT_SUPPORT);
    EXPECT_TRUE(Lists().empty());
}

// ---- device and logical-unit information ------------------------------------------------

// Each type returns its bytes of its page, and nothing past them.
TEST_F(OluStatus, DeviceInfoTypes) {
    unsigned char inquiry[96];
    FreshCall();
    ASSERT_EQ(Inquiry(kDisk, inquiry), 0);
    struct Case {
        int iType;
        size_t uiLength;
        std::function<void(const unsigned char *)> fnCheck;
    };
    const Case cases[] = {
        {1, 88, [&](const unsigned char *info) { EXPECT_EQ(std::memcmp(info, inquiry + 8, 88), 0); }},
        // The BoxID stands at byte 48 of page 0xF2.
        {2, 92, [](const unsigned char *info) {
             EXPECT_EQ(std::string(reinterpret_cast<const char *>(info) + 44, ZRK_BOXID_LEN), BoxId("BOX-C1"));
         }},
        // Byte 26 of page 0xF0: an array with copy functions and box information.
        {3, 60, [](const unsigned char *info) { EXPECT_EQ(info[22], 0x28); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.iType);
        unsigned char info[128];
        std::memset(info, 0xEE, sizeof info);
        FreshCall();
        ASSERT_EQ(ZRKGetDeviceInfo(kDisk, c.iType, info, sense), 0) << ZRKerrno;
        EXPECT_EQ(ZRKopenFlag, 0);
        c.fnCheck(info);
        for (size_t i = c.uiLength; i < sizeof info; ++i) ASSERT_EQ(info[i], 0xEE) << i;
    }

    // The logical-unit information is type 1.
    unsigned char lu[96];
    std::memset(lu, 0xEE, sizeof lu);
    FreshCall();
    ASSERT_EQ(ZRKGetLogicalUnitInfo(kDisk, lu, sense), 0) << ZRKerrno;
    EXPECT_EQ(std::memcmp(lu, inquiry + 8, 88), 0);
    for (size_t i = 88; i < sizeof lu; ++i) ASSERT_EQ(lu[i], 0xEE) << i;
}

// Refusals: a missing area before any command, an unknown type after the
// volume check, pages the device does not offer (17).
TEST_F(OluStatus, DeviceInfoRefusals) {
    unsigned char info[96];
    struct Case {
        const char *pWhat;
        std::string sExtra;  // array options
        int iType;
        unsigned char *pInfo;
        int iErrno;
        bool bCommands;
    };
    const Case cases[] = {
        {"no area", "", 1, nullptr, ZRK_ERR_PARAMETER, false},
        {"type 0", "", 0, info, ZRK_ERR_PARAMETER, false},
        {"type 4", "", 4, info, ZRK_ERR_PARAMETER, false},
        {"no box information", "boxinfo=no", 2, info, ZRK_ERR_NOT_SUPPORT, true},
        {"no vendor pages, type 2", "vpd=no", 2, info, ZRK_ERR_NOT_SUPPORT, true},
        {"no vendor pages, type 3", "vpd=no", 3, info, ZRK_ERR_NOT_SUPPORT, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pWhat);
        Reload(Scenario(kSupport, c.sExtra));
        EXPECT_EQ(ZRKGetDeviceInfo(kDisk, c.iType, c.pInfo, sense), -1);
        EXPECT_EQ(ZRKerrno, c.iErrno);
        EXPECT_EQ(ZRKopenFlag, 0);
        EXPECT_EQ(!sim.cdbLog().empty(), c.bCommands);
    }
    FreshCall();
    EXPECT_EQ(ZRKGetLogicalUnitInfo(kDisk, nullptr, sense), -1);
    EXPECT_EQ(ZRKerrno, ZRK_ERR_PARAMETER);
    EXPECT_TRUE(sim.cdbLog().empty());
}

} // namespace

namespace {

// Fault walks over the setting and the device information: every command
// failing in turn, the device released after every run, the sense handed on.
TEST_F(OluStatus, SetAndDeviceInfoFaultWalks) {
    const unsigned char status[2] = {1, 0};
    const FaultWalk set =
        WalkWithSense(sim, [&](unsigned char *s) { return ZRKSetOLUStatus(kDisk, 0x20, status, s); }, 0);
    EXPECT_TRUE(set.bEnded);
    EXPECT_GE(set.iFaultedRuns, 3); // at least the support data, the OLU's status and the list
    for (const int type : {1, 2, 3}) {
        SCOPED_TRACE(type);
        unsigned char info[96];
        const FaultWalk walk =
            WalkWithSense(sim, [&](unsigned char *s) { return ZRKGetDeviceInfo(kDisk, type, info, s); }, 0);
        EXPECT_TRUE(walk.bEnded);
        EXPECT_GE(walk.iFaultedRuns, 1);
    }
}

} // namespace
